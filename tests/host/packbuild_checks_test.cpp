// The builder's project checks, INI reading and packing order, without
// writing any archive: each broken project must give its error at the right
// file and line, each doubtful one its warning, and a sound one neither.
#include "IniReader.h"
#include "ProjectChecks.h"
#include "ProjectScan.h"
#include "packbuild_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace PackBuild;

namespace {

DiagnosticList CheckOf(const TempProject& Project)
{
    DiagnosticList Out;
    ProjectTree Tree = ScanProject(Project.Dir(), Out);
    CheckProject(Tree, Out);
    return Out;
}

std::string AllText(const DiagnosticList& List)
{
    std::string Text;
    for (const Diagnostic& Item : List.Items()) Text += FormatDiagnostic(Item) + "\n";
    return Text;
}

#define EXPECT_ERROR(List, Fragment)                                                                                   \
    EXPECT_TRUE((List).Contains(Severity::Error, Fragment)) << "missing error: " << (Fragment) << "\n" << AllText(List)
#define EXPECT_WARNING(List, Fragment)                                                                                 \
    EXPECT_TRUE((List).Contains(Severity::Warning, Fragment)) << "missing warning: " << (Fragment) << "\n"             \
                                                              << AllText(List)

} // namespace

TEST(PackBuildIni, ReadsNamesAndValuesAsTheStubDoes)
{
    IniDocument Doc;
    Doc.Parse("; comment\r\n"
              "orphan=before any section\r\n"
              "[Config]\r\n"
              "  ShowMainWindow =  1  \r\n"
              "showmainwindow=0\r\n"
              "Caption=\" Installation directory \"\r\n"
              "Single='x'\r\n"
              "Half=\"open\r\n"
              "   ; indented comment\r\n"
              "Empty=\r\n"
              "[ config ]\r\n"
              "Later=2\r\n"
              "Caption=ignored\r\n");
    const IniEntry* Show = Doc.Find("CONFIG", "ShowMainWindow");
    ASSERT_NE(Show, nullptr);
    EXPECT_EQ(Show->Value, "1");
    EXPECT_EQ(Show->Line, 4);
    EXPECT_EQ(Doc.Find("Config", "Caption")->Value, " Installation directory ");
    EXPECT_EQ(Doc.Find("Config", "Single")->Value, "x");
    EXPECT_EQ(Doc.Find("Config", "Half")->Value, "\"open");
    EXPECT_EQ(Doc.Find("Config", "Later")->Value, "2");
    EXPECT_EQ(Doc.Find("Config", "orphan"), nullptr);
    EXPECT_EQ(Doc.Find("Missing", "Later"), nullptr);

    std::vector<IniEntry> Section = Doc.ReadSection("config");
    std::vector<std::string> Names;
    for (const IniEntry& Entry : Section) Names.push_back(Entry.Name);
    EXPECT_EQ(Names, (std::vector<std::string>{"ShowMainWindow", "Caption", "Single", "Half", "Empty", "Later"}));
}

TEST(PackBuildIni, CutsLongValuesLikeTheStubBuffer)
{
    IniDocument Doc;
    Doc.Parse("[S]\nK=" + std::string(1500, 'v') + "\n");
    EXPECT_EQ(Doc.Find("S", "K")->Value.size(), 1023u);
}

// A script on the disk is read whole; what cannot be read as a file (a
// folder in its place, no file) is refused, never parsed as an empty script.
TEST(PackBuildIni, LoadsAFileAndRefusesWhatIsNoFile)
{
    std::filesystem::path Dir = std::filesystem::temp_directory_path() / ("tarn-ini-" + std::to_string(getpid()));
    std::filesystem::create_directories(Dir / "Folder.ini");
    std::ofstream(Dir / "Tarn.ini", std::ios::binary) << "\xEF\xBB\xBF[Config]\r\nLanguages=ENU";
    IniDocument Doc;
    ASSERT_TRUE(Doc.Load((Dir / "Tarn.ini").string()));
    EXPECT_TRUE(Doc.HadByteOrderMark());
    EXPECT_EQ(Doc.Find("Config", "Languages")->Value, "ENU");
    EXPECT_FALSE(Doc.Load((Dir / "Folder.ini").string()));
    EXPECT_EQ(Doc.Find("Config", "Languages"), nullptr);
    EXPECT_FALSE(Doc.Load((Dir / "Missing.ini").string()));
    std::filesystem::remove_all(Dir);
}

// The checks read values through the stub's own rules (tested with them in
// support_strutils_test and install_rules_test); what is left to see here is
// the adapter: whole std::string texts, zero bytes included.
TEST(PackBuildValues, TheStubsRulesOverWholeTexts)
{
    int32_t Value = 0;
    EXPECT_TRUE(ParseScriptInteger("  -5", Value));
    EXPECT_EQ(Value, -5);
    EXPECT_FALSE(ParseScriptInteger(std::string("12\0", 3), Value));
    EXPECT_EQ(SplitWords("Enu, Rus", ','), (std::vector<std::string>{"Enu", " Rus"}));
    EXPECT_TRUE(SplitWords(",,", ',').empty());
    EXPECT_TRUE(EntryInGroup(ToStr("data\\Sub\\File.txt"), PayloadMask));
    EXPECT_FALSE(EntryInGroup(ToStr("Data\\File"), PayloadMask));
}

TEST(PackBuildOrder, GroupsByExtensionThenNameWhateverTheInputOrder)
{
    std::vector<std::string> Names = {"Data\\b.txt",  "Data\\Sub\\a.TXT", "Data\\z.dll", "Data\\a.dll",
                                      "Data\\README", "Data\\Sub\\b.txt", "Data\\A.dll"};
    std::vector<std::string> First;
    for (int Round = 0; Round < 5; ++Round) {
        std::vector<ProjectFile> Files;
        for (const std::string& Name : Names) Files.push_back(ProjectFile{Name, Name, {}, 0, 0});
        OrderForPacking(Files);
        std::vector<std::string> Order;
        for (const ProjectFile& File : Files) Order.push_back(File.ArchiveName);
        if (Round == 0) First = Order;
        EXPECT_EQ(Order, First);
        std::rotate(Names.begin(), Names.begin() + 3, Names.end());
    }
    EXPECT_EQ(First, (std::vector<std::string>{"Data\\README", "Data\\A.dll", "Data\\a.dll", "Data\\z.dll",
                                               "Data\\Sub\\a.TXT", "Data\\b.txt", "Data\\Sub\\b.txt"}));
}

// A Data folder the builder cannot read is an error: its files are never
// left out in silence. Root reads every folder, so the scan runs as nobody.
TEST(PackBuildScan, FolderThatCannotBeReadIsAnError)
{
    TempProject Project;
    WriteValidProject(Project);
    Project.Write("Data/Locked/Inside.txt", "x");
    namespace fs = std::filesystem;
    fs::permissions(Project.Dir(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions(Project.Path("Data/Locked"), fs::perms::none);
    pid_t Child = fork();
    if (Child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
        DiagnosticList Problems;
        ScanProject(Project.Dir(), Problems);
        _exit(Problems.Contains(Severity::Error, "Data: error: cannot read the folder") ? 0 : 1);
    }
    int Status = -1;
    waitpid(Child, &Status, 0);
    fs::permissions(Project.Path("Data/Locked"), fs::perms::owner_all);
    EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0) << "status " << Status;
}

TEST(PackBuildChecks, SoundProjectPassesWithoutMessages)
{
    TempProject Project;
    WriteValidProject(Project);
    DiagnosticList Out = CheckOf(Project);
    EXPECT_TRUE(Out.Items().empty()) << AllText(Out);
}

// A silent run takes DefaultInstallPath as it is and refuses a folder that
// is no full path; the sound project's %ProgramFiles%\Demo passes (above).
TEST(PackBuildChecks, FolderThatOnlyThePageCouldSetWarnsForSilentRuns)
{
    struct Case {
        const char* Lines;   // [Config] DefaultInstallPath and [Variables]
        const char* Warning; // empty: none expected
    };
    const Case Cases[] = {
        {"[Config]\nDefaultInstallPath=Demo\n",
         "Presetup/Tarn.ini:2: warning: DefaultInstallPath \"Demo\" is no full path"},
        {"[Config]\nInsFiles=Demo.ins\n", "Presetup/Tarn.ini: warning: DefaultInstallPath \"Test\" is no full path"},
        {"[Config]\nDefaultInstallPath=%Base%\\Demo\n[Variables]\nBase=Apps\n", "\"%Base%\\Demo\" is no full path"},
        {"[Config]\nDefaultInstallPath=%Base%\\Demo\n[Variables]\nBase=D:\\Apps\n", ""},
        {"[Config]\nDefaultInstallPath=\\\\Server\\Share\\Demo\n", ""},
    };
    for (const Case& Each : Cases) {
        TempProject Project;
        WriteValidProject(Project);
        Project.Write("Presetup/Tarn.ini", std::string(Each.Lines) + "InsFiles=Demo.ins\n");
        DiagnosticList Out = CheckOf(Project);
        if (*Each.Warning)
            EXPECT_WARNING(Out, Each.Warning);
        else
            EXPECT_FALSE(Out.Contains(Severity::Warning, "silent install")) << Each.Lines << AllText(Out);
    }
}

TEST(PackBuildChecks, PresetupNamesThatBreakTheUnpacking)
{
    TempProject Project;
    WriteValidProject(Project);
    Project.Write("Presetup/README", "no dot");
    Project.Write("Presetup/Sub/Demo.INS", "same file name as Demo.ins");
    DiagnosticList Out = CheckOf(Project);
    EXPECT_ERROR(Out, "Presetup/README: error: Presetup file without \".\"");
    EXPECT_ERROR(Out, "would overwrite each other");
    EXPECT_EQ(Out.ErrorCount(), 2) << AllText(Out);
}

TEST(PackBuildChecks, ScriptReferencesThatCannotWork)
{
    TempProject Project;
    WriteValidProject(Project);
    Project.Write("Presetup/Tarn.ini", "[Config]\n"
                                       "PreInstallDialogSequence=DLG_WELCOME,DLG_WELCOM\n"
                                       "PostInstallDialogSequence=dlg_progress, DLG_FINISH\n"
                                       "InsFiles=Demo.txt,Missing.ins\n");
    DiagnosticList Out = CheckOf(Project);
    EXPECT_ERROR(
        Out, "Presetup/Tarn.ini:2: error: PreInstallDialogSequence: the setup has no dialog template \"DLG_WELCOM\"");
    EXPECT_ERROR(Out, "Presetup/Tarn.ini:3: error: PostInstallDialogSequence: DLG_PROGRESS is not a wizard page");
    EXPECT_ERROR(Out, "\" DLG_FINISH\" (blanks around a word");
    EXPECT_ERROR(Out, "Presetup/Tarn.ini:4: error: InsFiles names \"Missing.ins\"");
    EXPECT_EQ(Out.ErrorCount(), 4) << AllText(Out); // Demo.txt means Demo.ins, which exists
}

TEST(PackBuildChecks, InstructionsThatInstallNothing)
{
    TempProject Project;
    WriteValidProject(Project);
    Project.Write("Data/LICENSE", "no dot");
    Project.Write("Presetup/Demo.ins", "[CopyFile]\nMain=%InstallPath%\nGone=%InstallPath%\n"
                                       "[Main]\nDemo.exe=\nDOC\\README.TXT=\nDoc/Readme.txt=\nMissing.dll=\nLICENSE=\n"
                                       "[AddReg]\nLower=hklm\\Software\\Demo\nBare=HKCU\\\nGood=HKLM\\Software\\Demo\n"
                                       "[Lower]\nA=1\n[Bare]\nB=2\n"
                                       "[Good]\nN1=#12\nN2=#abc\nN3=#\nS=12\n");
    DiagnosticList Out = CheckOf(Project);
    EXPECT_ERROR(Out,
                 "Presetup/Demo.ins:7: error: CopyFile source \"Doc/Readme.txt\" is not in Data/ (archive names use");
    EXPECT_ERROR(Out, "Presetup/Demo.ins:8: error: CopyFile source \"Missing.dll\" is not in Data/");
    EXPECT_ERROR(Out, "Presetup/Demo.ins:9: error: CopyFile source \"LICENSE\" has no \".\"");
    EXPECT_ERROR(Out, "Presetup/Demo.ins:11: error: registry path \"hklm\\Software\\Demo\" does not start");
    EXPECT_ERROR(Out, "Presetup/Demo.ins:12: error: registry path \"HKCU\\\" names no key");
    EXPECT_EQ(Out.ErrorCount(), 5) << AllText(Out);
    EXPECT_WARNING(Out, "Presetup/Demo.ins:3: warning: group section [Gone] does not exist");
    EXPECT_WARNING(Out, "Presetup/Demo.ins:20: warning: DWORD value \"#abc\"");
    EXPECT_WARNING(Out, "Presetup/Demo.ins:21: warning: DWORD value \"#\"");
    EXPECT_WARNING(Out, "Data/LICENSE: warning: Data file without \".\"");
    // DOC\README.TXT found the file in another case: no "not installed" warning.
    EXPECT_FALSE(Out.Contains(Severity::Warning, "Data/Doc/Readme.txt")) << AllText(Out);
}

TEST(PackBuildChecks, InstructionChecksFollowVariablesAndLanguages)
{
    TempProject Project;
    WriteValidProject(Project);
    Project.Write("Presetup/Tarn.ini", "[Config]\nLanguages=ENU\nInsFiles=Demo\n[Variables]\nRoot=HKLM\nSrc=Doc\n");
    Project.Write("Presetup/Demo.ins",
                  "[CopyFile.ENU]\nMain=%InstallPath%\n[CopyFile.DEU]\nMain=%InstallPath%\n"
                  "[Main]\n%Src%\\Readme.txt=\n%Unknown%\\Demo.exe=\n"
                  "[AddReg]\nKeys=%Root%\\Software\\Demo\nOther=%Base%\\X\n[Keys]\nA=1\n[Other]\nB=2\n");
    DiagnosticList Out = CheckOf(Project);
    EXPECT_EQ(Out.ErrorCount(), 0) << AllText(Out);
    EXPECT_WARNING(Out, "Presetup/Demo.ins:3: warning: [CopyFile.DEU] is never read");
    EXPECT_WARNING(Out, "\"%Unknown%\\Demo.exe\" depends on variables");
    EXPECT_WARNING(Out, "\"%Base%\\X\" depends on variables");
    EXPECT_WARNING(Out, "Data/Demo.exe: warning: no CopyFile instruction installs this file");
    EXPECT_FALSE(Out.Contains(Severity::Warning, "Data/Doc/Readme.txt")) << AllText(Out);
}

TEST(PackBuildChecks, DisplayAndTextMistakesWarn)
{
    TempProject Project;
    WriteValidProject(Project);
    Project.Write("Presetup/Tarn.ini",
                  "[Config]\nInsFiles=Demo.ins\nPreInstallDialogSequence=DLG_LICENSE\nLanguages=ENU,RUS,EN\n"
                  "Uninstall=yes\nPostInstallDialogSequence=DLG_REBOOT\n"
                  "[Display]\nGradientTopColor=green\nMainTitleShadowColor= $C0C0C0\n"
                  "MainTitleFont=Times New Roman,,$FF,B\n");
    Project.Write("Presetup/License.ENU", "terms");
    Project.Write("Presetup/Tarn.dlg", "[Dialogs]\nTitle=Setup\n[DLG_DIR]\n100=Dir\n[DLG_DIR.RUS]\nTitle=ok\n");
    Project.Write("Presetup/Extra.ins", "[CopyFile]\n");
    Project.Write("Presetup/Demo.ins",
                  "\xEF\xBB\xBF[CopyFile]\nMain=%InstallPath%\n[Main]\nDemo.exe=\nDoc\\Readme.txt=\n");
    Project.Write("Presetup/Tarn.str", "[Strings.RUS]\n100=%s: %d%%\n111=Replace %s?\n[Strings]\n111=%s or %s\n");
    std::filesystem::remove(Project.Path("Presetup/Tarn.bmp"));
    DiagnosticList Out = CheckOf(Project);
    EXPECT_EQ(Out.ErrorCount(), 0) << AllText(Out);
    EXPECT_WARNING(Out, "Presetup/Tarn.ini:8: warning: GradientTopColor \"green\" is not a number");
    EXPECT_FALSE(Out.Contains(Severity::Warning, "MainTitleShadowColor")) << AllText(Out);
    EXPECT_WARNING(Out, "Presetup/Tarn.ini:10: warning: MainTitleFont");
    EXPECT_WARNING(Out, "Presetup/Tarn.ini:5: warning: Uninstall \"yes\" reads as false");
    EXPECT_WARNING(Out, "DLG_LICENSE shows an empty text in language RUS");
    EXPECT_FALSE(Out.Contains(Severity::Warning, "language ENU")) << AllText(Out);
    EXPECT_WARNING(Out, "Presetup/Tarn.dlg:2: warning: Title in [Dialogs] is never shown");
    EXPECT_FALSE(Out.Contains(Severity::Warning, "Tarn.dlg:6")) << AllText(Out);
    EXPECT_WARNING(Out, "Presetup/Extra.ins: warning: instruction file not named");
    EXPECT_WARNING(Out, "Presetup/Tarn.ini:4: warning: Languages: \"EN\" is not a three-letter");
    EXPECT_WARNING(Out, "Presetup/Tarn.ini:6: warning: PostInstallDialogSequence: the setup adds DLG_REBOOT");
    EXPECT_WARNING(Out, "Presetup/Tarn.str:2: warning: text 100 is used as a format");
    EXPECT_WARNING(Out, "Presetup/Tarn.str:5: warning: text 111");
    EXPECT_FALSE(Out.Contains(Severity::Warning, "Tarn.str:3")) << AllText(Out);
    EXPECT_WARNING(Out, "no Tarn.bmp");
    EXPECT_WARNING(Out, "Presetup/Demo.ins:1: warning: starts with a UTF-8 byte-order mark");
    EXPECT_FALSE(Out.Contains(Severity::Warning, "no CopyFile instruction")) << AllText(Out);
}

TEST(PackBuildChecks, NamesAndSizesWindowsCannotTake)
{
    TempProject Project;
    WriteValidProject(Project);
    std::string Deep =
        "Data/" + std::string(120, 'd') + "/" + std::string(120, 'e') + "/" + std::string(20, 'f') + ".txt";
    Project.Write(Deep, "x");
    Project.Write("Data/Doc/README.TXT", "case twin");
    Project.Write("Data/what?.txt", "x");
    Project.Write("Data/trailing./a.txt", "x");
    Project.Write("Data/Aux.txt", "x");
    DiagnosticList Out = CheckOf(Project);
    EXPECT_ERROR(Out, "bytes long; the setup reads at most 259");
    EXPECT_ERROR(Out, "only in case");
    EXPECT_ERROR(Out, "Data/what?.txt: error: name holds a character");
    EXPECT_ERROR(Out, "\"trailing.\" ends in a dot");
    EXPECT_ERROR(Out, "\"Aux.txt\" is a device name");
    EXPECT_EQ(Out.ErrorCount(), 5) << AllText(Out);
}

TEST(PackBuildChecks, PayloadOfTwoGigabytesIsRefused)
{
    TempProject Project;
    WriteValidProject(Project);
    Project.Write("Data/Big.bin", "");
    std::filesystem::resize_file(Project.Path("Data/Big.bin"), MaxPayloadSize - 3000); // sparse
    DiagnosticList Out = CheckOf(Project);
    EXPECT_ERROR(Out, "Data: error: payload is");
}

TEST(PackBuildChecks, ProjectWithoutPresetupFolder)
{
    TempProject Project;
    Project.Write("Data/a.txt", "x");
    DiagnosticList Out = CheckOf(Project);
    EXPECT_ERROR(Out, "no Presetup folder");
}

TEST(PackBuildStub, SizeLimitMarkerAndHeader)
{
    DiagnosticList AtLimit, OverLimit, Marker, NotProgram;
    CheckStub({"stub.exe", MakeFakeStub(MaxStubSize)}, AtLimit);
    EXPECT_EQ(AtLimit.ErrorCount(), 0) << AllText(AtLimit);
    CheckStub({"stub.exe", MakeFakeStub(MaxStubSize + 1)}, OverLimit);
    EXPECT_ERROR(OverLimit, "stub.exe: error: the stub is 262126 bytes");

    std::vector<uint8_t> WithMarker = MakeFakeStub(4096);
    const uint8_t Fake[] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00, 0, 0, 0x73};
    std::copy(std::begin(Fake), std::end(Fake), WithMarker.begin() + 1000);
    CheckStub({"stub.exe", WithMarker}, Marker);
    EXPECT_ERROR(Marker, "archive marker at offset 1000");

    std::vector<uint8_t> Text(4096, 'x');
    CheckStub({"stub.exe", Text}, NotProgram);
    EXPECT_ERROR(NotProgram, "not a Windows program");
}

TEST(PackBuildMessages, RepeatedMessagesAreCappedAndDuplicatesDropped)
{
    DiagnosticList List;
    for (int I = 0; I < 25; ++I) List.Warning("Data/f" + std::to_string(I) + ".txt", 0, "not installed");
    List.Warning("Data/f0.txt", 0, "not installed"); // the same message again
    List.Error("Presetup/Tarn.ini", 3, "broken");
    EXPECT_EQ(List.WarningCount(), 25);
    EXPECT_EQ(List.ErrorCount(), 1);

    std::FILE* Out = std::tmpfile();
    List.Print(Out);
    std::rewind(Out);
    std::string Printed;
    for (int Ch; (Ch = std::fgetc(Out)) != EOF;) Printed += (char)Ch;
    std::fclose(Out);
    EXPECT_NE(Printed.find("Data/f9.txt: warning: not installed\n"), std::string::npos) << Printed;
    EXPECT_EQ(Printed.find("Data/f10.txt"), std::string::npos) << Printed;
    EXPECT_NE(Printed.find("warning: 15 more like: not installed"), std::string::npos) << Printed;
    EXPECT_NE(Printed.find("Presetup/Tarn.ini:3: error: broken"), std::string::npos) << Printed;
}

TEST(PackBuildChecks, UninstallerKeys)
{
    TempProject Project;
    WriteValidProject(Project);
    auto Script = [&](const std::string& Config) {
        // A full DefaultInstallPath after the lines under test, whose numbers stay.
        Project.Write("Presetup/Tarn.ini", "[Config]\nInsFiles=Demo.ins\nUninstall=1\n" + Config +
                                               "DefaultInstallPath=%ProgramFiles%\\Demo\n"
                                               "[Variables]\nProgramName=Demo\\Tools\nPublisher=%Who%\n");
        return CheckOf(Project);
    };
    DiagnosticList Out = Script("LogFile=%InstallPath%\\install.log\nUninstallKey=Demo\n");
    EXPECT_EQ(Out.ErrorCount() + Out.WarningCount(), 0) << AllText(Out);

    Out = Script("LogFile=%WindowsPath%\\demo.log\nUninstallProgram=Bin\\Remove.exe\n");
    EXPECT_WARNING(Out, "Presetup/Tarn.ini:4: warning: LogFile is not inside the installation folder");
    EXPECT_ERROR(Out, "Presetup/Tarn.ini:5: error: UninstallProgram \"Bin\\Remove.exe\" is no plain file name");
    // The default key is %ProgramName%: here a path of keys.
    EXPECT_ERROR(Out, "error: the uninstall key \"Demo\\Tools\" is no registry key name");

    Out = Script("LogFile=%InstallPath%\\install.log\nUninstallKey=%Who%\n");
    EXPECT_WARNING(Out, "Presetup/Tarn.ini:5: warning: the uninstall key \"%Who%\" holds a variable");
    Out = Script("");
    EXPECT_WARNING(Out, "Presetup/Tarn.ini:3: warning: Uninstall=1 without a LogFile");

    Project.Write("Presetup/Tarn.uninstall", "mine");
    Out = Script("LogFile=%InstallPath%\\install.log\nUninstallKey=Demo\n");
    EXPECT_ERROR(Out, "Presetup/Tarn.uninstall: error: the name Tarn.uninstall is the uninstaller's own");
}
