// Whole `tarnpack build` runs: a refused project leaves no file behind, a
// sound one gives a setup that is the stub followed directly by the archive,
// and the stub's reader gives back every file byte for byte, in packing order.
#include "ArchiveVerify.h"
#include "ArchiveWriter.h"
#include "BuildCommand.h"
#include "ProjectChecks.h"
#include "Unrar.h"
#include "packbuild_fixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <filesystem>
#include <random>

namespace fs = std::filesystem;

namespace {

struct BuildRun {
    int Status;
    std::string Errors; // what went to stderr
};

BuildRun RunBuild(std::vector<std::string> Args)
{
    std::vector<char*> Argv;
    for (std::string& Arg : Args) Argv.push_back(Arg.data());
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    int Status = RunBuildCommand((int)Argv.size(), Argv.data());
    std::string Printed = testing::internal::GetCapturedStdout();
    return {Status, testing::internal::GetCapturedStderr()};
}

struct ReadBack {
    std::string Name;
    std::vector<uint8_t> Data;
    ArcEntryInfo Info;
};

// Every entry of the setup, extracted with the stub's reader.
std::vector<ReadBack> ReadSetup(const fs::path& Setup, const fs::path& Scratch)
{
    std::vector<ReadBack> Entries;
    ArcHandle Archive = ArcOpen(Setup.c_str(), ArcModeExtract);
    EXPECT_NE(Archive, nullptr);
    if (!Archive) return Entries;
    ArcEntryInfo Info;
    while (ArcReadEntry(Archive, &Info)) {
        fs::path Out = Scratch / "entry";
        EXPECT_EQ(ArcProcessEntryCode(Archive, true, nullptr, Out.c_str()), ArcOk) << Info.Name;
        Entries.push_back({Info.Name, ReadAll(Out), Info});
    }
    ArcClose(Archive);
    return Entries;
}

class PackBuildRun : public testing::Test {
protected:
    void SetUp() override
    {
        WriteValidProject(Project);
        Work.Write("stub.exe", "");
        Work.WriteBytes("stub.exe", MakeFakeStub(5000));
    }
    std::vector<std::string> Args(std::vector<std::string> Extra = {})
    {
        std::vector<std::string> All = {Project.Dir().string(), "-o", Setup().string(), "--stub",
                                        Work.Path("stub.exe").string()};
        All.insert(All.end(), Extra.begin(), Extra.end());
        return All;
    }
    fs::path Setup() const { return Work.Path("setup.exe"); }
    bool LeftoverFiles() const { return fs::exists(Setup()) || fs::exists(Work.Path("setup.exe.partial")); }

    TempProject Project;
    TempProject Work;
};

} // namespace

TEST_F(PackBuildRun, SetupIsStubThenArchiveAndReadsBackExactly)
{
    // Varied content: text, a long run, random bytes, an empty file, a
    // second file of a kind seen before.
    std::mt19937 Random(4);
    std::vector<uint8_t> Noise(70000);
    for (uint8_t& Byte : Noise) Byte = (uint8_t)Random();
    Project.WriteBytes("Data/Bin/noise.dat", Noise);
    Project.Write("Data/Bin/run.dat", std::string(200000, 'a'));
    Project.Write("Data/Empty.txt", "");
    Project.Write("Data/Doc/Other.txt", "Another text.\r\n");
    Project.Write("Presetup/Demo.ins",
                  "[CopyFile]\nMain=%InstallPath%\n[Main]\nDemo.exe=\nDoc\\Readme.txt=\nDoc\\Other.txt=\n"
                  "Bin\\noise.dat=\nBin\\run.dat=\nEmpty.txt=\n");

    for (const char* Mode : {"--store", ""}) {
        SCOPED_TRACE(Mode);
        fs::remove(Setup());
        std::vector<std::string> Extra;
        if (*Mode) Extra.push_back(Mode);
        BuildRun Run = RunBuild(Args(Extra));
        ASSERT_EQ(Run.Status, 0) << Run.Errors;
        EXPECT_EQ(Run.Errors, "");

        std::vector<uint8_t> Image = ReadAll(Setup());
        std::vector<uint8_t> Stub = ReadAll(Work.Path("stub.exe"));
        ASSERT_GT(Image.size(), Stub.size() + 7);
        EXPECT_TRUE(std::equal(Stub.begin(), Stub.end(), Image.begin()));
        EXPECT_EQ(std::memcmp(&Image[Stub.size()], "Rar!\x1A\x07\x00", 7), 0);

        std::vector<ReadBack> Entries = ReadSetup(Setup(), Work.Dir());
        std::vector<std::string> Names;
        for (const ReadBack& Entry : Entries) Names.push_back(Entry.Name);
        EXPECT_EQ(Names, (std::vector<std::string>{"Presetup\\Tarn.bmp", "Presetup\\Tarn.dlg", "Presetup\\Tarn.ini",
                                                   "Presetup\\Demo.ins", "Presetup\\Tarn.str", "Data\\Bin\\noise.dat",
                                                   "Data\\Bin\\run.dat", "Data\\Demo.exe", "Data\\Empty.txt",
                                                   "Data\\Doc\\Other.txt", "Data\\Doc\\Readme.txt"}));
        // Every entry is solid but the first and the first packed one.
        bool SeenPacked = false;
        for (size_t I = 0; I < Entries.size(); ++I) {
            std::string Relative = Entries[I].Name;
            std::replace(Relative.begin(), Relative.end(), '\\', '/');
            EXPECT_EQ(Entries[I].Data, ReadAll(Project.Path(Relative))) << Relative;
            bool FirstPacked = Entries[I].Info.Method != 0x30 && !SeenPacked;
            EXPECT_EQ(Entries[I].Info.HeadFlags, I == 0 || FirstPacked ? 0x8080u : 0x8090u) << Relative;
            SeenPacked = SeenPacked || Entries[I].Info.Method != 0x30;
            EXPECT_EQ(Entries[I].Info.HostSystem, 2u);
            EXPECT_EQ(Entries[I].Info.Attributes, 0x20u);
        }
        EXPECT_EQ(SeenPacked, *Mode == 0); // --store packs nothing
    }
}

TEST_F(PackBuildRun, SameProjectGivesTheSameSetup)
{
    ASSERT_EQ(RunBuild(Args()).Status, 0);
    std::vector<uint8_t> First = ReadAll(Setup());
    fs::remove(Setup());
    ASSERT_EQ(RunBuild(Args()).Status, 0);
    EXPECT_EQ(ReadAll(Setup()), First);
}

TEST_F(PackBuildRun, FileTimeIsCarriedAsDosTime)
{
    fs::path Readme = Project.Path("Data/Doc/Readme.txt");
    std::tm Local{};
    Local.tm_year = 2021 - 1900;
    Local.tm_mon = 5;
    Local.tm_mday = 14;
    Local.tm_hour = 13;
    Local.tm_min = 7;
    Local.tm_sec = 42;
    Local.tm_isdst = -1;
    std::time_t When = std::mktime(&Local);
    struct timespec Times[2] = {{When, 0}, {When, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, Readme.c_str(), Times, 0), 0);
    ASSERT_EQ(RunBuild(Args()).Status, 0);
    for (const ReadBack& Entry : ReadSetup(Setup(), Work.Dir()))
        if (Entry.Name == "Data\\Doc\\Readme.txt")
            EXPECT_EQ(Entry.Info.DosTime, (41u << 9 | 6u << 5 | 14u) << 16 | (13u << 11 | 7u << 5 | 21u));
}

// Reproducible builds: with SOURCE_DATE_EPOCH set, no time written is later
// than it and times are written in UTC, so two checkouts of a project (the
// files' times differ) built in different time zones give the same bytes.
TEST_F(PackBuildRun, SourceDateEpochMakesTheSetupReproducible)
{
    auto SetTimes = [&](std::time_t When) {
        for (const auto& Item : fs::recursive_directory_iterator(Project.Dir()))
            if (Item.is_regular_file()) {
                struct timespec Times[2] = {{When, 0}, {When, 0}};
                utimensat(AT_FDCWD, Item.path().c_str(), Times, 0);
            }
    };
    auto DosTimeOf = [&](const std::string& Name) {
        for (const ReadBack& Entry : ReadSetup(Setup(), Work.Dir()))
            if (Entry.Name == Name) return Entry.Info.DosTime;
        return 0u;
    };
    setenv("SOURCE_DATE_EPOCH", "1600000000", 1); // 2020-09-13 12:26:40 UTC
    SetTimes(1700000000);
    ASSERT_EQ(RunBuild(Args()).Status, 0);
    std::vector<uint8_t> First = ReadAll(Setup());
    EXPECT_EQ(DosTimeOf("Data\\Demo.exe"), (40u << 9 | 9u << 5 | 13u) << 16 | (12u << 11 | 26u << 5 | 20u));
    fs::remove(Setup());
    SetTimes(1750000000);
    const char* Zone = getenv("TZ");
    std::string SavedZone = Zone ? Zone : "";
    setenv("TZ", "JST-9", 1);
    tzset();
    ASSERT_EQ(RunBuild(Args()).Status, 0);
    EXPECT_EQ(ReadAll(Setup()), First);
    // A file older than the epoch keeps its time (in UTC).
    fs::remove(Setup());
    struct timespec Old[2] = {{1500000000, 0}, {1500000000, 0}}; // 2017-07-14 02:40:00 UTC
    utimensat(AT_FDCWD, Project.Path("Data/Doc/Readme.txt").c_str(), Old, 0);
    ASSERT_EQ(RunBuild(Args()).Status, 0);
    EXPECT_EQ(DosTimeOf("Data\\Doc\\Readme.txt"), (37u << 9 | 7u << 5 | 14u) << 16 | (2u << 11 | 40u << 5));
    // Not a number of seconds: a usage error, nothing written.
    fs::remove(Setup());
    setenv("SOURCE_DATE_EPOCH", "yesterday", 1);
    BuildRun Bad = RunBuild(Args());
    EXPECT_EQ(Bad.Status, 2);
    EXPECT_NE(Bad.Errors.find("SOURCE_DATE_EPOCH"), std::string::npos) << Bad.Errors;
    EXPECT_FALSE(LeftoverFiles());
    unsetenv("SOURCE_DATE_EPOCH");
    if (Zone)
        setenv("TZ", SavedZone.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST_F(PackBuildRun, ErrorsStopBeforeAnythingIsWritten)
{
    Project.Write("Presetup/Demo.ins", "[CopyFile]\nMain=%InstallPath%\n[Main]\nMissing.dll=\n");
    BuildRun Run = RunBuild(Args());
    EXPECT_EQ(Run.Status, 1);
    EXPECT_NE(Run.Errors.find("Presetup/Demo.ins:4: error: CopyFile source \"Missing.dll\" is not in Data/"),
              std::string::npos)
        << Run.Errors;
    EXPECT_NE(Run.Errors.find("nothing written"), std::string::npos) << Run.Errors;
    EXPECT_FALSE(LeftoverFiles());
}

TEST_F(PackBuildRun, WarningsDoNotStopTheBuild)
{
    Project.Write("Data/Unused.txt", "nobody installs me");
    BuildRun Run = RunBuild(Args({"--store"}));
    EXPECT_EQ(Run.Status, 0) << Run.Errors;
    EXPECT_NE(Run.Errors.find("Data/Unused.txt: warning: no CopyFile instruction"), std::string::npos) << Run.Errors;
    EXPECT_TRUE(fs::exists(Setup()));
}

TEST_F(PackBuildRun, OversizedStubIsRefused)
{
    Work.WriteBytes("stub.exe", MakeFakeStub(300000));
    BuildRun Run = RunBuild(Args());
    EXPECT_EQ(Run.Status, 1);
    EXPECT_NE(Run.Errors.find("the stub is 300000 bytes"), std::string::npos) << Run.Errors;
    EXPECT_FALSE(LeftoverFiles());
}

TEST_F(PackBuildRun, UsageErrors)
{
    EXPECT_EQ(RunBuild({}).Status, 2);
    EXPECT_EQ(RunBuild({Project.Dir().string()}).Status, 2); // no -o
    EXPECT_EQ(RunBuild(Args({"--level"})).Status, 2);
    EXPECT_EQ(RunBuild(Args({"--level", "x"})).Status, 2);
    EXPECT_EQ(RunBuild(Args({"--threads", "0"})).Status, 2);
    EXPECT_EQ(RunBuild(Args({"--threads", "two"})).Status, 2);
    EXPECT_EQ(RunBuild(Args({"--fast"})).Status, 2);
    EXPECT_EQ(RunBuild(Args({"second-project"})).Status, 2);
    EXPECT_FALSE(LeftoverFiles());
}

TEST_F(PackBuildRun, MissingProjectOrStubFails)
{
    std::vector<std::string> NoProject = Args();
    NoProject[0] = Work.Path("nowhere").string();
    EXPECT_EQ(RunBuild(NoProject).Status, 1);
    std::vector<std::string> NoStub = Args();
    NoStub[4] = Work.Path("missing.exe").string();
    BuildRun Run = RunBuild(NoStub);
    EXPECT_EQ(Run.Status, 1);
    EXPECT_NE(Run.Errors.find("cannot read the stub"), std::string::npos) << Run.Errors;
    EXPECT_FALSE(LeftoverFiles());
}

TEST_F(PackBuildRun, StubAtTheSizeLimitIsStillFound)
{
    Work.WriteBytes("stub.exe", MakeFakeStub(PackBuild::MaxStubSize));
    BuildRun Run = RunBuild(Args({"--store"}));
    ASSERT_EQ(Run.Status, 0) << Run.Errors; // the build's own read-back found the marker
    EXPECT_EQ(ReadSetup(Setup(), Work.Dir()).size(), 7u);
}

TEST_F(PackBuildRun, StubFromTheEnvironment)
{
    std::vector<std::string> NoStubOption = {Project.Dir().string(), "-o", Setup().string()};
    setenv("TARN_STUB", Work.Path("stub.exe").c_str(), 1);
    BuildRun Found = RunBuild(NoStubOption);
    unsetenv("TARN_STUB");
    EXPECT_EQ(Found.Status, 0) << Found.Errors;
    fs::remove(Setup());
    BuildRun Missing = RunBuild(NoStubOption); // none beside the test program either
    EXPECT_EQ(Missing.Status, 2);
    EXPECT_NE(Missing.Errors.find("--stub"), std::string::npos) << Missing.Errors;
    EXPECT_FALSE(LeftoverFiles());
}

TEST_F(PackBuildRun, UnwritableOutputLeavesNothing)
{
    std::vector<std::string> Into = Args();
    Into[2] = Work.Path("no-such-folder/setup.exe").string();
    BuildRun Run = RunBuild(Into);
    EXPECT_EQ(Run.Status, 1);
    EXPECT_NE(Run.Errors.find("cannot write"), std::string::npos) << Run.Errors;
}

// The read-back of a setup file: what differs is named. Expected entries
// come from memory or from files, as the build gives them.
TEST(PackBuildVerify, ReportsWhatDiffers)
{
    TempProject Work;
    PackEntry A{"Data\\a.txt", 0, "", {'a', 'b', 'c'}}, B{"Data\\b.txt", 0, "", {}};
    PackEntry OtherA = A, C{"Data\\c.txt", 0, "", {}};
    OtherA.Data[2] = 'd';
    Work.WriteBytes("a.txt", A.Data);
    PackEntry FromFile = A;
    FromFile.Data.clear();
    FromFile.SourcePath = Work.Path("a.txt").string();

    Work.WriteBytes("setup.exe", MakeFakeStub(1000));
    Work.WriteBytes("plain.exe", MakeFakeStub(1000));
    std::FILE* File = std::fopen(Work.Path("setup.exe").c_str(), "r+b");
    ASSERT_NE(File, nullptr);
    FileOutput Out(File);
    PackSettings Store;
    Store.Level = PackLevelStore;
    std::string Problem;
    ASSERT_TRUE(WriteArchive({A, B}, Store, Out, nullptr, &Problem)) << Problem;
    std::fclose(File);
    std::string Setup = Work.Path("setup.exe").string();
    using List = std::vector<PackEntry>;
    auto Verify = [&](const List& Expected) { return VerifyArchiveFile(Setup, &Expected, {}, &Problem); };

    EXPECT_TRUE(Verify({A, B})) << Problem;
    EXPECT_TRUE(Verify({FromFile, B})) << Problem;
    EXPECT_FALSE(Verify({OtherA, B}));
    EXPECT_NE(Problem.find("Data\\a.txt: decoded data differs"), std::string::npos) << Problem;
    Work.WriteBytes("a.txt", {'a', 'b', 'c', 'd'});
    EXPECT_FALSE(Verify({FromFile, B}));
    EXPECT_NE(Problem.find("Data\\a.txt: size 3 instead of 4"), std::string::npos) << Problem;
    EXPECT_FALSE(Verify({A}));
    EXPECT_NE(Problem.find("unexpected extra entry Data\\b.txt"), std::string::npos) << Problem;
    EXPECT_FALSE(Verify({A, B, C}));
    EXPECT_NE(Problem.find("ends before Data\\c.txt"), std::string::npos) << Problem;
    EXPECT_FALSE(Verify({B, A}));
    EXPECT_NE(Problem.find("expected entry Data\\b.txt, found Data\\a.txt"), std::string::npos) << Problem;
    EXPECT_TRUE(VerifyArchiveFile(Setup, nullptr, {}, &Problem)) << Problem;
    EXPECT_FALSE(VerifyArchiveFile(Work.Path("plain.exe").string(), nullptr, {}, &Problem));
    EXPECT_NE(Problem.find("finds no archive"), std::string::npos) << Problem;
}

TEST_F(PackBuildRun, RecordOnCarriesTheUninstallerBetweenPresetupAndData)
{
    std::string Script = "[Config]\nInsFiles=Demo.ins\nUninstall=1\nLogFile=%InstallPath%\\install.log\n"
                         "[Variables]\nProgramName=Demo\n";
    Project.Write("Presetup/Tarn.ini", Script);
    Project.Write("Presetup/License.txt", "terms");
    BuildRun Run = RunBuild(Args());
    ASSERT_EQ(Run.Status, 0) << Run.Errors;
    EXPECT_FALSE(fs::exists(Work.Path("setup.exe.uninstall"))) << "the uninstaller is left beside the setup";

    std::vector<ReadBack> Entries = ReadSetup(Setup(), Work.Dir());
    std::vector<std::string> Names;
    for (const ReadBack& Entry : Entries) Names.push_back(Entry.Name);
    EXPECT_EQ(Names, (std::vector<std::string>{"Presetup\\Tarn.bmp", "Presetup\\Tarn.dlg", "Presetup\\Tarn.ini",
                                               "Presetup\\Demo.ins", "Presetup\\Tarn.str", "Presetup\\License.txt",
                                               "Uninstall\\Uninstall.exe", "Data\\Demo.exe", "Data\\Doc\\Readme.txt"}));
    // The uninstaller: the same stub, then an archive of the script, the
    // texts, the picture and the marker; no instructions, no payload.
    const std::vector<uint8_t>& Uninstaller = Entries[6].Data;
    std::vector<uint8_t> Stub = ReadAll(Work.Path("stub.exe"));
    ASSERT_GT(Uninstaller.size(), Stub.size());
    EXPECT_TRUE(std::equal(Stub.begin(), Stub.end(), Uninstaller.begin()));
    Work.WriteBytes("uninstaller.exe", Uninstaller);
    std::vector<ReadBack> Own = ReadSetup(Work.Path("uninstaller.exe"), Work.Dir());
    std::vector<std::string> OwnNames;
    for (const ReadBack& Entry : Own) OwnNames.push_back(Entry.Name);
    EXPECT_EQ(OwnNames, (std::vector<std::string>{"Presetup\\Tarn.ini", "Presetup\\Tarn.str", "Presetup\\Tarn.dlg",
                                                  "Presetup\\Tarn.bmp", "Presetup\\Tarn.uninstall"}));
    ASSERT_FALSE(Own.empty());
    EXPECT_EQ(std::string(Own[0].Data.begin(), Own[0].Data.end()), Script);

    // An empty UninstallProgram keeps the log without an uninstaller.
    Project.Write("Presetup/Tarn.ini", "[Config]\nInsFiles=Demo.ins\nUninstall=1\nLogFile=%InstallPath%\\install.log\n"
                                       "UninstallProgram=\n[Variables]\nProgramName=Demo\n");
    ASSERT_EQ(RunBuild(Args()).Status, 0);
    for (const ReadBack& Entry : ReadSetup(Setup(), Work.Dir())) EXPECT_NE(Entry.Name, "Uninstall\\Uninstall.exe");
}
