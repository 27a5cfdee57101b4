// The setup's command line: options in either case and with either lead,
// quoted values, /D= taking the rest of the line, and what is refused.
#include <gtest/gtest.h>

#include "CommandLineCore.h"

namespace {

SetupOptions Parse(const char* Arguments)
{
    SetupOptions Options;
    EXPECT_TRUE(ParseSetupOptions(Arguments, &Options)) << Arguments << ": " << Options.Error.c_str();
    return Options;
}

std::string Refusal(const char* Arguments)
{
    SetupOptions Options;
    EXPECT_FALSE(ParseSetupOptions(Arguments, &Options)) << Arguments;
    return Options.Error.c_str();
}

TEST(SetupCommandLine, NoArgumentsIsTheDoubleClickedRun)
{
    for (const char* Line : {"", "   ", "\t"}) {
        SetupOptions Options = Parse(Line);
        EXPECT_FALSE(Options.Silent || Options.ShowHelp || Options.AllowRestart || Options.HasDir);
        EXPECT_TRUE(Options.Language.Empty() && Options.LogFile.Empty() && Options.Dir.Empty());
    }
}

TEST(SetupCommandLine, OptionsIgnoreCaseAndTakeEitherLead)
{
    SetupOptions Options = Parse("-s /Lang=rus -restart /log=C:\\Logs\\setup.log");
    EXPECT_TRUE(Options.Silent);
    EXPECT_TRUE(Options.AllowRestart);
    EXPECT_STREQ(Options.Language.c_str(), "rus");
    EXPECT_STREQ(Options.LogFile.c_str(), "C:\\Logs\\setup.log");
    EXPECT_TRUE(Parse("/?").ShowHelp);
    EXPECT_TRUE(Parse("-?").ShowHelp);
}

TEST(SetupCommandLine, QuotedValuesKeepTheirBlanks)
{
    EXPECT_STREQ(Parse("\"/LOG=C:\\My Logs\\a.log\" /S").LogFile.c_str(), "C:\\My Logs\\a.log");
    EXPECT_STREQ(Parse("/LOG=\"C:\\My Logs\\a.log\" /S").LogFile.c_str(), "C:\\My Logs\\a.log");
}

TEST(SetupCommandLine, DirectoryTakesTheRestOfTheLine)
{
    SetupOptions Options = Parse("/S /D=C:\\Program Files\\My App  ");
    EXPECT_TRUE(Options.Silent);
    EXPECT_TRUE(Options.HasDir);
    EXPECT_STREQ(Options.Dir.c_str(), "C:\\Program Files\\My App");
    // What looks like an option after /D= is part of the path.
    EXPECT_STREQ(Parse("-d=D:\\A /S").Dir.c_str(), "D:\\A /S");
    EXPECT_FALSE(Parse("-d=D:\\A /S").Silent);
    EXPECT_STREQ(Parse("/D=\"C:\\Quoted Dir\"").Dir.c_str(), "C:\\Quoted Dir");
    EXPECT_STREQ(Parse("\"/D=C:\\Quoted Dir\" /S").Dir.c_str(), "C:\\Quoted Dir");
    EXPECT_TRUE(Parse("\"/D=C:\\Quoted Dir\" /S").Silent);
}

TEST(SetupCommandLine, WrongLinesAreRefusedWithTheWord)
{
    EXPECT_EQ(Refusal("/S /X"), "Wrong option (/? lists them): /X");
    EXPECT_EQ(Refusal("/SILENT"), "Wrong option (/? lists them): /SILENT");
    EXPECT_EQ(Refusal("/S=1"), "Wrong option (/? lists them): /S=1");
    EXPECT_EQ(Refusal("/LANG"), "Wrong option (/? lists them): /LANG");
    EXPECT_EQ(Refusal("/LANG= /S"), "Wrong option (/? lists them): /LANG=");
    EXPECT_EQ(Refusal("/LOG=\"\""), "Wrong option (/? lists them): /LOG=");
    EXPECT_EQ(Refusal("/S /D=  "), "Wrong option (/? lists them): /D=  ");
    EXPECT_EQ(Refusal("C:\\target"), "Wrong option (/? lists them): C:\\target");
    EXPECT_EQ(Refusal("/"), "Wrong option (/? lists them): /");
    EXPECT_EQ(Refusal("\"\""), "Wrong option (/? lists them): ");
    // The first fault is named; a /S after it is still seen, so that a
    // wrong line in a script never brings up a box.
    SetupOptions Options;
    EXPECT_FALSE(ParseSetupOptions("/LANG= /SILENT /S", &Options));
    EXPECT_STREQ(Options.Error.c_str(), "Wrong option (/? lists them): /LANG=");
    EXPECT_TRUE(Options.Silent);
}

TEST(SetupCommandLine, ProgramNameIsSkippedQuotedOrNot)
{
    EXPECT_STREQ(SkipProgramName("\"C:\\Down loads\\setup.exe\"  /S /D=C:\\A B"), "/S /D=C:\\A B");
    EXPECT_STREQ(SkipProgramName("setup.exe /S"), "/S");
    EXPECT_STREQ(SkipProgramName("setup.exe"), "");
    EXPECT_STREQ(SkipProgramName("\"unterminated"), "");
    EXPECT_STREQ(SkipProgramName(nullptr), "");
}

} // namespace
