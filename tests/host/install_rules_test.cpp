// The portable rules of the installation run: instruction file names, the
// target forms of a CopyFile entry, registry data, the progress position and
// the filling of the "%s" texts.
#include <gtest/gtest.h>

#include "SetupRules.h"

#include <string>

static std::string S(const Str& Text) { return std::string(Text.c_str(), (size_t)Text.Length()); }

TEST(InstallRulesNames, InsFilesWordsBecomeInsFiles)
{
    EXPECT_EQ("Demo.ins", S(InstructionFileName("Demo")));
    EXPECT_EQ("Demo.ins", S(InstructionFileName("Demo.txt")));
    EXPECT_EQ("Demo.v2.ins", S(InstructionFileName("Demo.v2.inf")));
    EXPECT_EQ("Demo.ins", S(InstructionFileName("Demo.")));
    // A dot in a folder name is no extension.
    EXPECT_EQ("Sub.d\\Demo.ins", S(InstructionFileName("Sub.d\\Demo")));
}

TEST(InstallRulesTargets, GroupEntryFormsOfTheExample)
{
    // [MainFiles] of a group whose destination is C:\App.
    EXPECT_EQ("C:\\App\\Doc\\Readme.txt", S(CopyTargetSpec("Doc\\Readme.txt", "", "C:\\App")));
    EXPECT_EQ("C:\\App\\Prog.exe,1.2.0.7", S(CopyTargetSpec("Prog.exe", ",1.2.0.7", "C:\\App")));
    EXPECT_EQ("C:\\App\\Doc\\Help.txt", S(CopyTargetSpec("Help.txt", "Doc\\Help.txt", "C:\\App")));
    EXPECT_EQ("C:\\App\\New.exe,2.0.0.0", S(CopyTargetSpec("Prog.exe", "New.exe,2.0.0.0", "C:\\App")));
}

TEST(InstallRulesTargets, DestinationDirectoryEdges)
{
    // A trailing backslash is not doubled; an empty directory stays relative.
    EXPECT_EQ("C:\\A.txt", S(CopyTargetSpec("A.txt", "", "C:\\")));
    EXPECT_EQ("A.txt", S(CopyTargetSpec("A.txt", "", "")));
    EXPECT_EQ("Sub\\B.txt,1.0.0.0", S(CopyTargetSpec("A.txt", "Sub\\B.txt,1.0.0.0", "")));
    // Only the first comma separates; the rest is carried as written.
    EXPECT_EQ("D\\A.txt,1.0,x", S(CopyTargetSpec("A.txt", ",1.0,x", "D")));
}

TEST(InstallRulesTargets, TargetSplitsIntoPathAndVersion)
{
    Str Path, Version;
    SplitCopyTarget("C:\\App\\Prog.exe,1.2.0.7", &Path, &Version);
    EXPECT_EQ("C:\\App\\Prog.exe", S(Path));
    EXPECT_EQ("1.2.0.7", S(Version));
    SplitCopyTarget("C:\\App\\Readme.txt", &Path, &Version);
    EXPECT_EQ("C:\\App\\Readme.txt", S(Path));
    EXPECT_EQ("", S(Version));
    SplitCopyTarget("C:\\App\\X.dll,", &Path, &Version);
    EXPECT_EQ("C:\\App\\X.dll", S(Path));
    EXPECT_EQ("", S(Version));
}

TEST(InstallRulesTargets, FileNamePartFollowsLastBackslashOrColon)
{
    EXPECT_EQ("Readme.txt", S(FileNamePart("C:\\App\\Doc\\Readme.txt")));
    EXPECT_EQ("x.txt", S(FileNamePart("C:x.txt")));
    EXPECT_EQ("x.txt", S(FileNamePart("x.txt")));
    EXPECT_EQ("", S(FileNamePart("C:\\App\\")));
}

TEST(InstallRulesRegistry, HashMarksADwordAndAnythingElseIsText)
{
    EXPECT_TRUE(RegDataIsInteger("#12"));
    EXPECT_EQ(12, RegDataInteger("#12"));
    EXPECT_EQ(255, RegDataInteger("#$FF"));
    EXPECT_EQ(255, RegDataInteger("#$ff"));
    EXPECT_EQ(0, RegDataInteger("#abc"));
    EXPECT_EQ(0, RegDataInteger("#"));
    EXPECT_EQ(0, RegDataInteger("#12abc"));
    EXPECT_EQ(7, RegDataInteger("#  7"));
    EXPECT_EQ(-5, RegDataInteger("#-5"));
    EXPECT_EQ(-1, RegDataInteger("#$FFFFFFFF"));
    EXPECT_EQ(0, RegDataInteger("#99999999999"));
    EXPECT_FALSE(RegDataIsInteger("12"));
    EXPECT_FALSE(RegDataIsInteger(""));
    EXPECT_FALSE(RegDataIsInteger(" #12"));
}

// One rule for the presetup stage's bar and the installation's.
TEST(InstallRulesProgress, WholePercentWithHalvesToEven)
{
    EXPECT_EQ(0, ProgressPercent(1, 200)); // 0.5 -> 0
    EXPECT_EQ(2, ProgressPercent(3, 200)); // 1.5 -> 2
    EXPECT_EQ(0, ProgressPercent(0, 10));
    EXPECT_EQ(100, ProgressPercent(10, 10));
    EXPECT_EQ(75, ProgressPercent(3000000000ULL, 4000000000ULL));
    EXPECT_EQ(0, ProgressPercent(0, 1000));
    EXPECT_EQ(50, ProgressPercent(500, 1000));
    EXPECT_EQ(100, ProgressPercent(1000, 1000));
    EXPECT_EQ(0, ProgressPercent(5, 1000));  // 0.5 -> 0
    EXPECT_EQ(2, ProgressPercent(25, 1000)); // 2.5 -> 2
    EXPECT_EQ(4, ProgressPercent(35, 1000)); // 3.5 -> 4
    EXPECT_EQ(33, ProgressPercent(1, 3));
    EXPECT_EQ(67, ProgressPercent(2, 3));
    EXPECT_EQ(98, ProgressPercent(985, 1000));  // 98.5 -> 98
    EXPECT_EQ(100, ProgressPercent(995, 1000)); // 99.5 -> 100
    EXPECT_EQ(99, ProgressPercent(994, 1000));
    // Sizes beyond 32 bits do not wrap.
    EXPECT_EQ(50, ProgressPercent(3000000000ULL, 6000000000ULL));
    EXPECT_EQ(100, ProgressPercent((1ULL << 40) - 1, 1ULL << 40));
    EXPECT_EQ(1, ProgressPercent(1ULL << 33, 100ULL << 33));
}

TEST(InstallRulesProgress, NothingToInstallAndOvershootEndFull)
{
    EXPECT_EQ(100, ProgressPercent(0, 0));
    EXPECT_EQ(100, ProgressPercent(10, 0));
    EXPECT_EQ(100, ProgressPercent(5, 0));
    // The size scan may have stopped early and counted less than the walk.
    EXPECT_EQ(100, ProgressPercent(1500, 1000));
}

TEST(InstallRulesFormat, FirstPercentSTakesTheName)
{
    EXPECT_EQ("Copying Demo.txt...", S(FormatWithName("Copying %s...", "Demo.txt")));
    EXPECT_EQ("Demo.txt", S(FormatWithName("%s", "Demo.txt")));
    EXPECT_EQ("No name here", S(FormatWithName("No name here", "Demo.txt")));
    EXPECT_EQ("", S(FormatWithName("", "Demo.txt")));
}

TEST(InstallRulesFormat, OtherPercentSignsAreNeverArguments)
{
    EXPECT_EQ("100% of A.txt", S(FormatWithName("100%% of %s", "A.txt")));
    EXPECT_EQ("A.txt then %s", S(FormatWithName("%s then %s", "A.txt")));
    EXPECT_EQ("%d %p A.txt %", S(FormatWithName("%d %p %s %", "A.txt")));
    // A name holding "%s" is inserted once and not read again.
    EXPECT_EQ("[%s] x", S(FormatWithName("[%s] x", "%s")));
}

TEST(InstallRules, UninstallNames)
{
    EXPECT_TRUE(UninstallKeyIsValid("Tarn Demo"));
    EXPECT_TRUE(UninstallKeyIsValid(Str(std::string(255, 'k').c_str())));
    EXPECT_FALSE(UninstallKeyIsValid(Str(std::string(256, 'k').c_str())));
    EXPECT_FALSE(UninstallKeyIsValid(""));
    EXPECT_FALSE(UninstallKeyIsValid("Vendor\\Demo"));
    EXPECT_FALSE(UninstallKeyIsValid("Demo\t1"));

    EXPECT_TRUE(UninstallProgramNameIsValid("Uninstall.exe"));
    EXPECT_TRUE(UninstallProgramNameIsValid("Remove Demo.exe"));
    for (const char* Bad : {"", ".", "..", "Bin\\Uninstall.exe", "C:Un.exe", "Un?.exe", "Un.exe.", "a/b.exe"})
        EXPECT_FALSE(UninstallProgramNameIsValid(Bad)) << Bad;
}
