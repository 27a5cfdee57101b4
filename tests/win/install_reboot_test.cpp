// Files in use: the pending replacement that the NT family records, and the
// [Rename] lines of wininit.ini for the 95 family.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "InstallTestUtil.h"
#include "Reboot.h"
#include "oxShell.h"

TEST(WininitRename, DeleteThenRenameLinesAreAppendedForEveryFile)
{
    TempFolder Folder;
    std::string Wininit = Folder.File("wininit.ini");
    WriteWholeFile(Wininit, "[Rename]\r\nNUL=C:\\Earlier.dll\r\n[Other]\r\nKeep=1\r\n");
    EXPECT_TRUE(AddWininitRename(Wininit.c_str(), "C:\\App\\TARN1.tmp", "C:\\App\\A.dll"));
    EXPECT_TRUE(AddWininitRename(Wininit.c_str(), "C:\\App\\TARN2.tmp", "C:\\App\\B.dll"));
    // Several NUL= lines: each file's deletion survives the next one's.
    EXPECT_EQ(
        (std::vector<std::string>{"NUL=C:\\Earlier.dll", "NUL=C:\\App\\A.dll", "C:\\App\\A.dll=C:\\App\\TARN1.tmp",
                                  "NUL=C:\\App\\B.dll", "C:\\App\\B.dll=C:\\App\\TARN2.tmp"}),
        ProfileSectionLines(Wininit, "Rename"));
    EXPECT_EQ((std::vector<std::string>{"Keep=1"}), ProfileSectionLines(Wininit, "Other"));
}

TEST(WininitRename, MissingFileIsCreated)
{
    TempFolder Folder;
    std::string Wininit = Folder.File("wininit.ini");
    EXPECT_TRUE(AddWininitRename(Wininit.c_str(), "C:\\App\\TARN1.tmp", "C:\\App\\A.dll"));
    EXPECT_EQ((std::vector<std::string>{"NUL=C:\\App\\A.dll", "C:\\App\\A.dll=C:\\App\\TARN1.tmp"}),
              ProfileSectionLines(Wininit, "Rename"));
}

TEST(WininitRename, UnwritableFileIsAFailure)
{
    TempFolder Folder;
    EXPECT_FALSE(AddWininitRename(Folder.File("NoSuchFolder\\wininit.ini").c_str(), "C:\\T.tmp", "C:\\A.dll"));
}

static const char* const SessionManagerKey = "System\\CurrentControlSet\\Control\\Session Manager";
static const char* const PendingValue = "PendingFileRenameOperations";

// The pending operations as a list of texts (REG_MULTI_SZ); false when absent.
static bool ReadPending(std::vector<char>* Raw)
{
    HKEY Key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SessionManagerKey, 0, KEY_READ, &Key) != ERROR_SUCCESS) return false;
    DWORD Size = 0, Type = 0;
    LONG Status = RegQueryValueExA(Key, PendingValue, 0, &Type, 0, &Size);
    if (Status == ERROR_SUCCESS) {
        Raw->resize(Size);
        Status = RegQueryValueExA(Key, PendingValue, 0, &Type, (BYTE*)Raw->data(), &Size);
    }
    RegCloseKey(Key);
    return Status == ERROR_SUCCESS;
}

static void WritePending(const std::vector<char>* Raw)
{
    HKEY Key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SessionManagerKey, 0, KEY_WRITE, &Key) != ERROR_SUCCESS) return;
    if (Raw)
        RegSetValueExA(Key, PendingValue, 0, REG_MULTI_SZ, (const BYTE*)Raw->data(), (DWORD)Raw->size());
    else
        RegDeleteValueA(Key, PendingValue);
    RegCloseKey(Key);
}

static std::vector<std::string> Texts(const std::vector<char>& Raw)
{
    std::vector<std::string> Result;
    size_t Start = 0;
    while (Start < Raw.size()) {
        size_t End = Start;
        while (End < Raw.size() && Raw[End]) ++End;
        Result.push_back(std::string(&Raw[Start], End - Start));
        Start = End + 1;
    }
    return Result;
}

TEST(ScheduleReplace, NtFamilyRecordsOneReplacingRename)
{
    GetOSInfo(&OSInfo);
    ASSERT_GE(OSInfo.Kind, OSWinNT);
    std::vector<char> Before;
    bool HadBefore = ReadPending(&Before);

    TempFolder Folder;
    std::string Target = Folder.File("InUse.dll"), Temporary = Folder.File("TARN1.tmp");
    WriteWholeFile(Target, "old");
    WriteWholeFile(Temporary, "new");
    bool Scheduled = ScheduleReplaceAtRestart(Temporary.c_str(), Target.c_str());
    std::vector<char> After;
    bool HasAfter = ReadPending(&After);
    // Leave the prefix as it was: these files are gone after the test.
    WritePending(HadBefore ? &Before : 0);

    EXPECT_TRUE(Scheduled);
    ASSERT_TRUE(HasAfter);
    std::vector<std::string> Operations = Texts(After);
    // Source then destination; "!" asks for the existing target to be replaced.
    auto Source = std::find(Operations.begin(), Operations.end(), "\\??\\" + Temporary);
    ASSERT_NE(Operations.end(), Source);
    ASSERT_NE(Operations.end(), Source + 1);
    EXPECT_EQ("!\\??\\" + Target, *(Source + 1));
    // Nothing deletes the target on its own.
    EXPECT_EQ(Operations.end(), std::find(Operations.begin(), Operations.end(), "\\??\\" + Target));
}
