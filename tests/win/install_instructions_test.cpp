// Reading instruction files into CopyList and RegList, and writing RegList
// into the registry with its log lines.
#include <gtest/gtest.h>

#include <windows.h>

#include "Common.h"
#include "InstallTestUtil.h"
#include "Instructions.h"
#include "SupportWinTest.h"
#include "Log.h"
#include "oxShell.h"

static std::vector<std::string> Lines(const StrList& List)
{
    std::vector<std::string> Result;
    for (int Index = 0; Index < List.Count(); ++Index) Result.push_back(List.Get(Index).c_str());
    return Result;
}

class InstructionReading : public ::testing::Test {
protected:
    void SetUp() override
    {
        CopyList.Clear();
        RegList.Clear();
        VariableList.Clear();
        VariableList.Add("InstallPath=C:\\App");
        VariableList.Add("Sub=Docs");
        LanguageCode = "ENU";
    }
    void Read(const std::string& Text, const char* Name = "Test.ins")
    {
        WriteWholeFile(Folder.File(Name), Text);
        ReadInstructionFile(Folder.File(Name).c_str());
    }
    TempFolder Folder;
};

TEST_F(InstructionReading, GroupEntryFormsGiveTargetsAndValuePaths)
{
    Read("[CopyFile]\r\nMainFiles=%InstallPath%\r\n"
         "[MainFiles]\r\nDoc\\Readme.txt=\r\nProg.exe=,1.2.0.7\r\nHelp.txt=Doc\\Help.txt\r\n"
         "[AddReg]\r\nAppKeys=HKLM\\SOFTWARE\\Example\\App\r\n"
         "[AppKeys]\r\nPath=%InstallPath%\r\nRuns=#0\r\n");
    EXPECT_EQ((std::vector<std::string>{"Doc\\Readme.txt=C:\\App\\Doc\\Readme.txt",
                                        "Prog.exe=C:\\App\\Prog.exe,1.2.0.7", "Help.txt=C:\\App\\Doc\\Help.txt"}),
              Lines(CopyList));
    EXPECT_EQ((std::vector<std::string>{"HKLM\\SOFTWARE\\Example\\App\\Path=C:\\App",
                                        "HKLM\\SOFTWARE\\Example\\App\\Runs=#0"}),
              Lines(RegList));
}

TEST_F(InstructionReading, NamesAndValuesAreExpandedButGroupNamesAreNot)
{
    Read("[CopyFile]\r\n%Sub%=%InstallPath%\\%Sub%\r\nDocs=X\r\n"
         "[%Sub%]\r\n%Sub%\\A.txt=%Sub%.txt\r\n"
         "[Docs]\r\nB.txt=\r\n");
    EXPECT_EQ((std::vector<std::string>{"Docs\\A.txt=C:\\App\\Docs\\Docs.txt", "B.txt=X\\B.txt"}), Lines(CopyList));
}

TEST_F(InstructionReading, EmptyDestinationGivesRelativeTargets)
{
    Read("[CopyFile]\r\nG=\r\n[G]\r\nA.txt=\r\nB.txt=Sub\\C.txt\r\n");
    EXPECT_EQ((std::vector<std::string>{"A.txt=A.txt", "B.txt=Sub\\C.txt"}), Lines(CopyList));
}

TEST_F(InstructionReading, LanguageSectionsComeAfterTheNeutralOnesAndWinInPlace)
{
    std::string Text = "[CopyFile]\r\nG=C:\\Neutral\r\n[G]\r\nA.txt=\r\nB.txt=\r\n"
                       "[CopyFile.ENU]\r\nL=C:\\English\r\n[L]\r\nB.txt=\r\nE.txt=\r\n"
                       "[CopyFile.RUS]\r\nR=C:\\Russian\r\n[R]\r\nA.txt=\r\nR.txt=\r\n"
                       "[AddReg]\r\nK=HKCU\\Software\\T\r\n[K]\r\nLanguage=Neutral\r\nKeep=1\r\n"
                       "[AddReg.ENU]\r\nKE=HKCU\\Software\\T\r\n[KE]\r\nLanguage=English\r\n";
    Read(Text);
    // B.txt keeps the place of its first entry; the Russian group is not read.
    EXPECT_EQ(
        (std::vector<std::string>{"A.txt=C:\\Neutral\\A.txt", "B.txt=C:\\English\\B.txt", "E.txt=C:\\English\\E.txt"}),
        Lines(CopyList));
    EXPECT_EQ((std::vector<std::string>{"HKCU\\Software\\T\\Language=English", "HKCU\\Software\\T\\Keep=1"}),
              Lines(RegList));

    CopyList.Clear();
    RegList.Clear();
    LanguageCode = "RUS";
    Read(Text);
    EXPECT_EQ(
        (std::vector<std::string>{"A.txt=C:\\Russian\\A.txt", "B.txt=C:\\Neutral\\B.txt", "R.txt=C:\\Russian\\R.txt"}),
        Lines(CopyList));
}

TEST_F(InstructionReading, EmptyRegistryDataCancelsAnEarlierValue)
{
    Read("[AddReg]\r\nK=HKCU\\Software\\T\r\nL=HKCU\\Software\\T\r\n"
         "[K]\r\nA=1\r\nB=2\r\n[L]\r\nA=\r\nC=\r\n");
    EXPECT_EQ((std::vector<std::string>{"HKCU\\Software\\T\\B=2"}), Lines(RegList));
}

TEST_F(InstructionReading, LaterFilesReplaceEarlierEntriesWhereTheyStand)
{
    Read("[CopyFile]\r\nG=C:\\One\r\n[G]\r\nA.txt=\r\nB.txt=\r\n", "One.ins");
    Read("[CopyFile]\r\nG=C:\\Two\r\n[G]\r\nA.txt=,2.0.0.0\r\n", "Two.ins");
    EXPECT_EQ((std::vector<std::string>{"A.txt=C:\\Two\\A.txt,2.0.0.0", "B.txt=C:\\One\\B.txt"}), Lines(CopyList));
}

TEST_F(InstructionReading, MissingFilesAndSectionsAddNothing)
{
    ReadInstructionFile(Folder.File("Absent.ins").c_str());
    Read("[CopyFile]\r\nNoSuchGroup=C:\\App\r\n[AddReg]\r\nNoSuchKeys=HKCU\\Software\\T\r\n");
    EXPECT_EQ(0, CopyList.Count());
    EXPECT_EQ(0, RegList.Count());
}

// ---- registry values ----

static const char* const TestKey = "Software\\TarnInstallTest";

static bool ReadDword(const std::string& SubKey, const char* Name, DWORD* Value)
{
    DWORD Size = sizeof *Value, Type = 0;
    HKEY Key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SubKey.c_str(), 0, KEY_READ, &Key) != ERROR_SUCCESS) return false;
    LONG Status = RegQueryValueExA(Key, Name, 0, &Type, (BYTE*)Value, &Size);
    RegCloseKey(Key);
    return Status == ERROR_SUCCESS && Type == REG_DWORD;
}

static bool ReadString(const std::string& SubKey, const char* Name, std::string* Value)
{
    char Buffer[1024];
    DWORD Size = sizeof Buffer, Type = 0;
    HKEY Key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SubKey.c_str(), 0, KEY_READ, &Key) != ERROR_SUCCESS) return false;
    LONG Status = RegQueryValueExA(Key, Name, 0, &Type, (BYTE*)Buffer, &Size);
    RegCloseKey(Key);
    if (Status != ERROR_SUCCESS || Type != REG_SZ) return false;
    *Value = std::string(Buffer, Size ? Size - 1 : 0);
    return true;
}

class RegistryValues : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, TestKey);
        RegList.Clear();
        LogFileName = Log.File("install.log").c_str();
        LogEnabled = true;
    }
    void TearDown() override
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, TestKey);
        LogEnabled = false;
        LogFileName = "";
    }
    void Add(const std::string& ValueName, const std::string& Data)
    {
        RegList.SetValue(("HKCU\\" + std::string(TestKey) + "\\" + ValueName).c_str(), Data.c_str());
    }
    TempFolder Log;
};

TEST_F(RegistryValues, HashDataIsADwordAndOtherDataAString)
{
    Add("Twelve", "#12");
    Add("Hex", "#$FF");
    Add("NotANumber", "#abc");
    Add("Text", "12");
    ASSERT_TRUE(ApplyRegistryValues());
    DWORD Number = 99;
    EXPECT_TRUE(ReadDword(TestKey, "Twelve", &Number));
    EXPECT_EQ(12u, Number);
    EXPECT_TRUE(ReadDword(TestKey, "Hex", &Number));
    EXPECT_EQ(255u, Number);
    EXPECT_TRUE(ReadDword(TestKey, "NotANumber", &Number));
    EXPECT_EQ(0u, Number);
    std::string Text;
    EXPECT_TRUE(ReadString(TestKey, "Text", &Text));
    EXPECT_EQ("12", Text);
}

TEST_F(RegistryValues, OnlyNewValuesAreLoggedWithTheirDataAsWritten)
{
    HKEY Key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, TestKey, &Key));
    RegSetValueExA(Key, "Existing", 0, REG_SZ, (const BYTE*)"old", 4);
    RegCloseKey(Key);
    Add("New", "#$10");
    Add("Existing", "new");
    Add("Other", "x y");
    ASSERT_TRUE(ApplyRegistryValues());
    std::string Text;
    EXPECT_TRUE(ReadString(TestKey, "Existing", &Text));
    EXPECT_EQ("new", Text);
    EXPECT_EQ((std::vector<std::string>{"HKCU\\Software\\TarnInstallTest\\New=#$10",
                                        "HKCU\\Software\\TarnInstallTest\\Other=x y"}),
              ProfileSectionLines(Log.File("install.log"), "AddReg"));
}

TEST_F(RegistryValues, PathWithoutKnownRootIsNeitherWrittenNorLogged)
{
    RegList.SetValue("hkcu\\Software\\TarnInstallTest\\Lower", "1");
    RegList.SetValue("HKEY_CURRENT_USER\\Software\\TarnInstallTest\\Long", "1");
    Add("Known", "1");
    ASSERT_TRUE(ApplyRegistryValues());
    std::string Text;
    EXPECT_FALSE(ReadString(TestKey, "Lower", &Text));
    EXPECT_FALSE(ReadString(TestKey, "Long", &Text));
    EXPECT_TRUE(ReadString(TestKey, "Known", &Text));
    EXPECT_EQ((std::vector<std::string>{"HKCU\\Software\\TarnInstallTest\\Known=1"}),
              ProfileSectionLines(Log.File("install.log"), "AddReg"));
}

TEST_F(RegistryValues, FailedWriteEndsTheStepWithAnErrorNamingTheValue)
{
    // A key name longer than the registry allows cannot be created.
    std::string TooLong(300, 'k');
    Add("Before", "1");
    Add(TooLong + "\\Value", "1");
    Add("After", "1");
    DialogAnswerer Answerer("", IDOK);
    EXPECT_FALSE(ApplyRegistryValues());
    SeenWindow Box = Answerer.Wait();
    ASSERT_TRUE(Box.Found);
    EXPECT_EQ("Error", Box.Caption);
    EXPECT_EQ("Cannot write registry value HKCU\\Software\\TarnInstallTest\\" + TooLong + "\\Value", Box.Text);
    std::string Text;
    EXPECT_TRUE(ReadString(TestKey, "Before", &Text));
    EXPECT_FALSE(ReadString(TestKey, "After", &Text));
    EXPECT_EQ((std::vector<std::string>{"HKCU\\Software\\TarnInstallTest\\Before=1"}),
              ProfileSectionLines(Log.File("install.log"), "AddReg"));
}
