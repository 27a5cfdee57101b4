// The installation log: when it is written, where its lines go, and that an
// existing log keeps what it had.
#include <gtest/gtest.h>

#include <windows.h>

#include "InstallTestUtil.h"
#include "Log.h"

class InstallLog : public ::testing::Test {
protected:
    void SetUp() override
    {
        Path = Folder.File("install.log");
        LogEnabled = true;
        LogFileName = Path.c_str();
    }
    void TearDown() override
    {
        LogEnabled = false;
        LogFileName = "";
    }
    TempFolder Folder;
    std::string Path;
};

TEST_F(InstallLog, FilesAndValuesGoToTheirSectionsInCallOrder)
{
    LogCopiedFile("C:\\App\\Demo.txt");
    LogRegistryValue("HKCU\\Software\\Demo\\Path", "C:\\App");
    LogCopiedFile("C:\\App\\Doc\\Guide.txt");
    LogRegistryValue("HKCU\\Software\\Demo\\Runs", "#0");
    EXPECT_EQ((std::vector<std::string>{"C:\\App\\Demo.txt=", "C:\\App\\Doc\\Guide.txt="}), ProfileSectionLines(Path, "CopyFile"));
    EXPECT_EQ((std::vector<std::string>{"HKCU\\Software\\Demo\\Path=C:\\App", "HKCU\\Software\\Demo\\Runs=#0"}),
              ProfileSectionLines(Path, "AddReg"));
}

TEST_F(InstallLog, SameFileTwiceIsOneLine)
{
    LogCopiedFile("C:\\App\\Demo.txt");
    LogCopiedFile("C:\\App\\Other.txt");
    LogCopiedFile("c:\\app\\demo.txt");
    EXPECT_EQ((std::vector<std::string>{"C:\\App\\Demo.txt=", "C:\\App\\Other.txt="}), ProfileSectionLines(Path, "CopyFile"));
}

TEST_F(InstallLog, ExistingLogKeepsItsLines)
{
    WriteWholeFile(Path, "[CopyFile]\r\nC:\\Old\\A.txt=\r\n[Other]\r\nKeep=1\r\n");
    LogCopiedFile("C:\\App\\Demo.txt");
    EXPECT_EQ((std::vector<std::string>{"C:\\Old\\A.txt=", "C:\\App\\Demo.txt="}), ProfileSectionLines(Path, "CopyFile"));
    EXPECT_EQ((std::vector<std::string>{"Keep=1"}), ProfileSectionLines(Path, "Other"));
}

TEST_F(InstallLog, NothingIsWrittenWhenOffOrWithoutName)
{
    LogEnabled = false;
    LogCopiedFile("C:\\App\\Demo.txt");
    LogRegistryValue("HKCU\\Software\\Demo\\Path", "C:\\App");
    EXPECT_FALSE(FileExists(Path));

    LogEnabled = true;
    LogFileName = "";
    LogCopiedFile("C:\\App\\Demo.txt");
    EXPECT_FALSE(FileExists(Path));
    // Nor anywhere else: an empty name must not reach the profile calls.
    char WindowsDir[MAX_PATH];
    GetWindowsDirectoryA(WindowsDir, MAX_PATH);
    EXPECT_EQ(0u, ProfileSectionLines(std::string(WindowsDir) + "\\win.ini", "CopyFile").size());
}

TEST_F(InstallLog, WriteFailuresAreSilent)
{
    LogFileName = Folder.File("NoSuchFolder\\install.log").c_str();
    LogCopiedFile("C:\\App\\Demo.txt");
    EXPECT_FALSE(FileExists(Folder.File("NoSuchFolder\\install.log")));
}
