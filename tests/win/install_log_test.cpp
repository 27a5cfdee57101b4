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
    FlushLog();
    EXPECT_EQ((std::vector<std::string>{"C:\\App\\Demo.txt=", "C:\\App\\Doc\\Guide.txt="}),
              ProfileSectionLines(Path, "CopyFile"));
    EXPECT_EQ((std::vector<std::string>{"HKCU\\Software\\Demo\\Path=C:\\App", "HKCU\\Software\\Demo\\Runs=#0"}),
              ProfileSectionLines(Path, "AddReg"));
}

TEST_F(InstallLog, SameFileTwiceIsOneLine)
{
    LogCopiedFile("C:\\App\\Demo.txt");
    LogCopiedFile("C:\\App\\Other.txt");
    LogCopiedFile("c:\\app\\demo.txt");
    FlushLog();
    EXPECT_EQ((std::vector<std::string>{"C:\\App\\Demo.txt=", "C:\\App\\Other.txt="}),
              ProfileSectionLines(Path, "CopyFile"));
}

TEST_F(InstallLog, ExistingLogKeepsItsLines)
{
    WriteWholeFile(Path, "[CopyFile]\r\nC:\\Old\\A.txt=\r\n[Other]\r\nKeep=1\r\n");
    LogCopiedFile("C:\\App\\Demo.txt");
    FlushLog();
    EXPECT_EQ((std::vector<std::string>{"C:\\Old\\A.txt=", "C:\\App\\Demo.txt="}),
              ProfileSectionLines(Path, "CopyFile"));
    EXPECT_EQ((std::vector<std::string>{"Keep=1"}), ProfileSectionLines(Path, "Other"));
}

TEST_F(InstallLog, NothingIsWrittenWhenOffOrWithoutName)
{
    LogEnabled = false;
    LogCopiedFile("C:\\App\\Demo.txt");
    LogRegistryValue("HKCU\\Software\\Demo\\Path", "C:\\App");
    FlushLog();
    EXPECT_FALSE(FileExists(Path));

    LogEnabled = true;
    LogFileName = "";
    LogCopiedFile("C:\\App\\Demo.txt");
    FlushLog();
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
    FlushLog();
    EXPECT_FALSE(FileExists(Folder.File("NoSuchFolder\\install.log")));
}

TEST_F(InstallLog, PathsWithEqualsSignsAreOneLineEachAndWrittenWhole)
{
    LogCopiedFile("C:\\Tools=Old\\file.txt");
    LogCopiedFile("C:\\Tools=Old\\other.txt");
    LogCopiedFile("C:\\TOOLS=OLD\\FILE.TXT");
    FlushLog();
    EXPECT_EQ("[CopyFile]\r\nC:\\Tools=Old\\file.txt=\r\nC:\\Tools=Old\\other.txt=\r\n", ReadWholeFile(Path));
}

TEST_F(InstallLog, EntriesReachTheFileWithoutAFlushOnceTheIntervalHasPassed)
{
    LogCopiedFile("C:\\App\\First.txt");
    Sleep(LogFlushIntervalMs + 100);
    LogCopiedFile("C:\\App\\Second.txt");
    EXPECT_EQ("[CopyFile]\r\nC:\\App\\First.txt=\r\nC:\\App\\Second.txt=\r\n", ReadWholeFile(Path));
}

TEST_F(InstallLog, ALogThatCannotBeReadIsNeverOverwritten)
{
    const std::string Old = "[CopyFile]\r\nC:\\Old\\A.txt=\r\n";
    WriteWholeFile(Path, Old);
    HANDLE Held = CreateFileA(Path.c_str(), GENERIC_READ, 0, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    ASSERT_NE(INVALID_HANDLE_VALUE, Held);
    LogCopiedFile("C:\\App\\Demo.txt");
    FlushLog();
    CloseHandle(Held);
    FlushLog();
    EXPECT_EQ(Old, ReadWholeFile(Path));
    // No temporary file of the writer stays beside it.
    WIN32_FIND_DATAA Found;
    HANDLE Search = FindFirstFileA(Folder.File("Tar*.tmp").c_str(), &Found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, Search);
    if (Search != INVALID_HANDLE_VALUE) FindClose(Search);
}

TEST_F(InstallLog, AReadOnlyLogIsLeftAsItIs)
{
    const std::string Old = "[CopyFile]\r\nC:\\Old\\A.txt=\r\n";
    WriteWholeFile(Path, Old);
    SetFileAttributesA(Path.c_str(), FILE_ATTRIBUTE_READONLY);
    LogCopiedFile("C:\\App\\Demo.txt");
    FlushLog();
    EXPECT_EQ(Old, ReadWholeFile(Path));
    SetFileAttributesA(Path.c_str(), FILE_ATTRIBUTE_NORMAL);
}
