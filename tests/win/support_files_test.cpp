// System directories, temporary names and the run's temporary folder,
// recursive deletion, directory paths, free disk space, version resources
// and the newer-file test, under Wine.
#include <gtest/gtest.h>

#include <set>

#include "SupportWinTest.h"
#include "oxFileUtils.h"
#include "oxShell.h"
#include "oxStrUtils.h"

static std::string S(const Str& Text) { return std::string(Text.c_str(), (size_t)Text.Length()); }

static std::string OwnProgram()
{
    char Path[MAX_PATH + 1];
    DWORD Length = GetModuleFileNameA(nullptr, Path, sizeof(Path));
    return std::string(Path, Length);
}

TEST(SupportSystemDirs, FormsOfTheThreeDirectories)
{
    Str Temp = GetTempDir();
    ASSERT_FALSE(Temp.Empty());
    EXPECT_EQ('\\', Temp.Last());
    EXPECT_TRUE(DirExists(Temp.c_str()));

    char Expected[MAX_PATH + 1];
    GetWindowsDirectoryA(Expected, sizeof(Expected));
    EXPECT_EQ(Expected, S(GetWindowsDir()));
    EXPECT_NE('\\', GetWindowsDir().Last());
    GetSystemDirectoryA(Expected, sizeof(Expected));
    EXPECT_EQ(Expected, S(GetSystemDir()));
    EXPECT_TRUE(DirExists(GetSystemDir().c_str()));
}

TEST(SupportTempNames, EightBase32CharactersNamingNothingThatExists)
{
    ScratchDir Dir;
    for (const std::string& Folder : {Dir.Path(), Dir.Path() + "\\"}) {
        Str Name = MakeTempName(Folder.c_str());
        ASSERT_EQ(8, Name.Length());
        for (int I = 0; I < 8; ++I) {
            char Ch = Name.At(I);
            EXPECT_TRUE((Ch >= '0' && Ch <= '9') || (Ch >= 'A' && Ch <= 'V')) << S(Name);
        }
        EXPECT_FALSE(PathExistsW32(Dir / S(Name)));
    }
    // The name is today's: its day part matches the local date.
    SYSTEMTIME Now;
    GetLocalTime(&Now);
    Str Today = TempNameFromTime(Now.wYear, Now.wMonth, Now.wDay, 0, 0, 0, 0);
    EXPECT_EQ(S(Today).substr(0, 3), S(MakeTempName(Dir.Path().c_str())).substr(0, 3));
}

// ---- the run's temporary folder ----

// The principals a descriptor's list admits, by name; "other" for any SID
// besides SYSTEM, Administrators and those that stand for ordinary users.
static std::multiset<std::string> Admitted(PSECURITY_DESCRIPTOR Descriptor)
{
    std::multiset<std::string> Names;
    BOOL Present = FALSE, Defaulted = FALSE;
    PACL List = nullptr;
    if (!GetSecurityDescriptorDacl(Descriptor, &Present, &List, &Defaulted) || !Present || !List) {
        Names.insert("everyone (no list)");
        return Names;
    }
    for (DWORD I = 0; I < List->AceCount; ++I) {
        ACE_HEADER* Ace = nullptr;
        if (!GetAce(List, I, (void**)&Ace) || Ace->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        PSID Sid = &((ACCESS_ALLOWED_ACE*)Ace)->SidStart;
        if (IsWellKnownSid(Sid, WinLocalSystemSid))
            Names.insert("SYSTEM");
        else if (IsWellKnownSid(Sid, WinBuiltinAdministratorsSid))
            Names.insert("Administrators");
        else if (IsWellKnownSid(Sid, WinWorldSid))
            Names.insert("Everyone");
        else if (IsWellKnownSid(Sid, WinBuiltinUsersSid))
            Names.insert("Users");
        else if (IsWellKnownSid(Sid, WinAuthenticatedUserSid))
            Names.insert("Authenticated Users");
        else if (IsWellKnownSid(Sid, WinInteractiveSid))
            Names.insert("Interactive");
        else
            Names.insert("other");
    }
    return Names;
}

TEST(SupportRunTempDir, AdminOnlySecurityAdmitsOnlyAdministratorsAndSystem)
{
    SECURITY_ATTRIBUTES Security;
    ASSERT_TRUE(MakeAdminOnlySecurity(&Security));
    PSECURITY_DESCRIPTOR Descriptor = Security.lpSecurityDescriptor;
    EXPECT_EQ(sizeof(Security), Security.nLength);
    EXPECT_FALSE(Security.bInheritHandle);
    PSID Owner = nullptr;
    BOOL Defaulted = FALSE;
    ASSERT_TRUE(GetSecurityDescriptorOwner(Descriptor, &Owner, &Defaulted));
    ASSERT_TRUE(Owner);
    EXPECT_TRUE(IsWellKnownSid(Owner, WinBuiltinAdministratorsSid));
    // Protected: the user's rights on the folder above are not inherited.
    SECURITY_DESCRIPTOR_CONTROL Control = 0;
    DWORD Revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(Descriptor, &Control, &Revision));
    EXPECT_TRUE(Control & SE_DACL_PROTECTED);
    EXPECT_EQ((std::multiset<std::string>{"Administrators", "SYSTEM"}), Admitted(Descriptor));
    // Full access, passed on to every file and folder made inside.
    BOOL Present = FALSE;
    PACL List = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(Descriptor, &Present, &List, &Defaulted));
    for (DWORD I = 0; List && I < List->AceCount; ++I) {
        ACCESS_ALLOWED_ACE* Ace = nullptr;
        ASSERT_TRUE(GetAce(List, I, (void**)&Ace));
        EXPECT_EQ((DWORD)FILE_ALL_ACCESS, Ace->Mask);
        EXPECT_EQ(OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, Ace->Header.AceFlags);
    }
    LocalFree(Descriptor);
}

TEST(SupportRunTempDir, ANewFolderEachTimeInTheUsersTemp)
{
    Str Temp = GetTempDir();
    Str First = CreateRunTempDir(false);
    Str Second = CreateRunTempDir(false);
    ASSERT_FALSE(First.Empty());
    ASSERT_FALSE(Second.Empty());
    EXPECT_NE(S(First), S(Second));
    for (const Str& Folder : {First, Second}) {
        EXPECT_EQ(S(Temp), S(Folder).substr(0, (size_t)Temp.Length()));
        EXPECT_EQ(Temp.Length() + 9, Folder.Length()); // eight characters and a backslash
        EXPECT_TRUE(DirExists(Folder.c_str()));
        EXPECT_TRUE(DeleteDirectory(Folder.c_str(), true));
    }
}

TEST(SupportRunTempDir, AdminOnlyFolderLivesInTheSystemTempAndAdmitsNoUsers)
{
    Str SystemTemp = GetSystemTempDir();
    EXPECT_EQ(S(GetWindowsDir()) + "\\Temp\\", S(SystemTemp));
    Str Folder = CreateRunTempDir(true);
    ASSERT_FALSE(Folder.Empty());
    EXPECT_EQ(S(SystemTemp), S(Folder).substr(0, (size_t)SystemTemp.Length()));
    EXPECT_EQ(SystemTemp.Length() + 9, Folder.Length());
    // Read back from the disk. Wine keeps no lists: it maps them to Unix
    // permissions (and passes nothing on to files made inside) and reports
    // the Unix owner as the user, so only the absence of the principals
    // that stand for other users is checked here.
    char Buffer[4096];
    DWORD Needed = 0;
    ASSERT_TRUE(GetFileSecurityA(Folder.c_str(), DACL_SECURITY_INFORMATION, Buffer, sizeof(Buffer), &Needed));
    std::multiset<std::string> Names = Admitted(Buffer);
    for (const char* User : {"everyone (no list)", "Everyone", "Users", "Authenticated Users", "Interactive"})
        EXPECT_EQ(0u, Names.count(User)) << User;
    EXPECT_TRUE(DeleteDirectory(Folder.c_str(), true));
}

TEST(SupportRunTempDir, NothingWhereNoFolderCanBeMade)
{
    ScratchDir Dir;
    std::string Missing = Dir / "missing";
    char Saved[MAX_PATH + 1] = "";
    DWORD SavedLength = GetEnvironmentVariableA("TMP", Saved, sizeof(Saved));
    SetEnvironmentVariableA("TMP", Missing.c_str());
    Str Folder = CreateRunTempDir(false);
    SetEnvironmentVariableA("TMP", SavedLength ? Saved : nullptr);
    EXPECT_EQ("", S(Folder));
    EXPECT_FALSE(PathExistsW32(Missing));
}

TEST(SupportDirectoryTests, DirExistsOnlyForDirectories)
{
    ScratchDir Dir;
    WriteTextFile(Dir / "file.txt", "x");
    EXPECT_TRUE(DirExists(Dir.Path().c_str()));
    EXPECT_TRUE(DirExists((Dir.Path() + "\\").c_str()));
    EXPECT_FALSE(DirExists((Dir / "file.txt").c_str()));
    EXPECT_FALSE(DirExists((Dir / "missing").c_str()));
    EXPECT_FALSE(DirExists(""));
}

class SupportDeleteDirectoryTest : public ::testing::Test {
protected:
    ScratchDir Dir;
    std::string Root = Dir / "tree";
    void MakeTree()
    {
        CreateDirectoryA(Root.c_str(), nullptr);
        CreateDirectoryA((Root + "\\sub").c_str(), nullptr);
        CreateDirectoryA((Root + "\\sub\\deeper").c_str(), nullptr);
        WriteTextFile(Root + "\\a.txt", "a");
        WriteTextFile(Root + "\\.profile", "dot");
        WriteTextFile(Root + "\\sub\\readonly.txt", "r");
        SetFileAttributesA((Root + "\\sub\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
        WriteTextFile(Root + "\\sub\\deeper\\hidden.txt", "h");
        SetFileAttributesA((Root + "\\sub\\deeper\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    }
};

TEST_F(SupportDeleteDirectoryTest, MissingPathIsFalse)
{
    EXPECT_FALSE(DeleteDirectory((Dir / "missing").c_str(), true));
    WriteTextFile(Dir / "file", "x");
    EXPECT_FALSE(DeleteDirectory((Dir / "file").c_str(), true));
    EXPECT_TRUE(PathExistsW32(Dir / "file"));
}

TEST_F(SupportDeleteDirectoryTest, RemovesEverythingWithRemoveSelf)
{
    MakeTree();
    EXPECT_TRUE(DeleteDirectory(Root.c_str(), true));
    EXPECT_FALSE(PathExistsW32(Root));
    EXPECT_TRUE(DirExists(Dir.Path().c_str())); // the parent stays
}

TEST_F(SupportDeleteDirectoryTest, KeepsTheFoldersWithoutRemoveSelf)
{
    MakeTree();
    EXPECT_TRUE(DeleteDirectory((Root + "\\").c_str(), false));
    EXPECT_TRUE(DirExists(Root.c_str()));
    EXPECT_TRUE(DirExists((Root + "\\sub\\deeper").c_str()));
    EXPECT_FALSE(PathExistsW32(Root + "\\a.txt"));
    EXPECT_FALSE(PathExistsW32(Root + "\\.profile"));
    EXPECT_FALSE(PathExistsW32(Root + "\\sub\\readonly.txt"));
    EXPECT_FALSE(PathExistsW32(Root + "\\sub\\deeper\\hidden.txt"));
}

TEST_F(SupportDeleteDirectoryTest, GoesOnAfterAFileInUse)
{
    MakeTree();
    HANDLE Held = CreateFileA((Root + "\\sub\\held.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, Held);
    EXPECT_FALSE(DeleteDirectory(Root.c_str(), true));
    EXPECT_TRUE(PathExistsW32(Root + "\\sub\\held.txt"));
    EXPECT_FALSE(PathExistsW32(Root + "\\a.txt"));
    EXPECT_FALSE(PathExistsW32(Root + "\\sub\\deeper"));
    CloseHandle(Held);
    EXPECT_TRUE(DeleteDirectory(Root.c_str(), true));
    EXPECT_FALSE(PathExistsW32(Root));
}

TEST(SupportMakeDirPathTest, CreatesEveryMissingParent)
{
    ScratchDir Dir;
    std::string Path = Dir / "A\\B\\C\\";
    MakeDirPath(Path.c_str());
    EXPECT_TRUE(DirExists((Dir / "A").c_str()));
    EXPECT_TRUE(DirExists((Dir / "A\\B").c_str()));
    EXPECT_TRUE(DirExists((Dir / "A\\B\\C").c_str()));
    MakeDirPath(Path.c_str()); // again: nothing to do
    EXPECT_TRUE(DirExists((Dir / "A\\B\\C").c_str()));
    MakeDirPath("");
    MakeDirPath("C:");
    MakeDirPath("C:\\");
    // A file in the way: nothing below it appears, and nothing breaks.
    WriteTextFile(Dir / "F", "x");
    MakeDirPath((Dir / "F\\G\\H").c_str());
    EXPECT_FALSE(DirExists((Dir / "F\\G").c_str()));
}

TEST(SupportDiskFree, MatchesThePlatformAndIsZeroForNoDirectory)
{
    ScratchDir Dir;
    ULARGE_INTEGER FreeToCaller, Total, TotalFree;
    ASSERT_TRUE(GetDiskFreeSpaceExA(Dir.Path().c_str(), &FreeToCaller, &Total, &TotalFree));
    unsigned long long Expected = FreeToCaller.QuadPart >> 10;
    if (Expected > 0xFFFFFFFFull) Expected = 0xFFFFFFFFull;
    unsigned Free = DiskFreeKB(Dir.Path().c_str());
    EXPECT_GT(Free, 0u);
    // Other programs write meanwhile: allow 64 MiB of drift.
    EXPECT_NEAR((double)Expected, (double)Free, 65536.0);
    EXPECT_EQ(0u, DiskFreeKB((Dir / "missing").c_str()));
    WriteTextFile(Dir / "file", "x");
    EXPECT_EQ(0u, DiskFreeKB((Dir / "file").c_str()));
}

TEST(SupportDiskFree, FirstWindows95UsesClustersOfTheRoot)
{
    // Pretend to run on Windows 95 before OSR2, which lacks the extended call.
    OSInfoRecord Saved = OSInfo;
    OSInfo.Kind = OSWin95;
    OSInfo.Build = 950;
    ScratchDir Dir;
    DWORD SectorsPerCluster = 0, BytesPerSector = 0, FreeClusters = 0, TotalClusters = 0;
    ASSERT_TRUE(GetDiskFreeSpaceA("C:\\", &SectorsPerCluster, &BytesPerSector, &FreeClusters, &TotalClusters));
    unsigned long long Expected = RoundedKiB((unsigned long long)(SectorsPerCluster * BytesPerSector) * FreeClusters);
    unsigned Free = DiskFreeKB(Dir.Path().c_str()); // a folder, not the root
    OSInfo = Saved;
    EXPECT_GT(Free, 0u);
    EXPECT_NEAR((double)Expected, (double)Free, 65536.0);
}

TEST(SupportFileVersion, ReadsTheFixedVersionWords)
{
    unsigned MS = 0, LS = 0;
    ASSERT_TRUE(GetFileVersion(OwnProgram().c_str(), &MS, &LS));
    EXPECT_EQ(0x0001000Au, MS);
    EXPECT_EQ(0u, LS);
    ScratchDir Dir;
    WriteTextFile(Dir / "plain.txt", "no resources");
    EXPECT_FALSE(GetFileVersion((Dir / "plain.txt").c_str(), &MS, &LS));
    EXPECT_FALSE(GetFileVersion((Dir / "missing.dll").c_str(), &MS, &LS));
}

TEST(SupportNewerFile, VersionsCompareNumerically)
{
    std::string Program = OwnProgram(); // version 1.10.0.0
    EXPECT_TRUE(ExistingFileIsNewer("1.2.0.0", Program.c_str(), 0));
    EXPECT_TRUE(ExistingFileIsNewer("1.9.65535.65535", Program.c_str(), 0));
    EXPECT_FALSE(ExistingFileIsNewer("1.10.0.0", Program.c_str(), 0));
    EXPECT_FALSE(ExistingFileIsNewer("1.10.0.1", Program.c_str(), 0));
    EXPECT_FALSE(ExistingFileIsNewer("2", Program.c_str(), 0));
    // With a version the date is not looked at, even a very old one.
    EXPECT_FALSE(ExistingFileIsNewer("1.10", Program.c_str(), 1.0));
}

TEST(SupportNewerFile, WithoutVersionTheDatesDecide)
{
    ScratchDir Dir;
    std::string File = Dir / "readme.txt";
    WriteTextFile(File, "text");
    // Last write: 1 March 2024 10:00:00 local time.
    SYSTEMTIME Local = {};
    Local.wYear = 2024;
    Local.wMonth = 3;
    Local.wDay = 1;
    Local.wHour = 10;
    FILETIME LocalTime, Utc;
    SystemTimeToFileTime(&Local, &LocalTime);
    LocalFileTimeToFileTime(&LocalTime, &Utc);
    HANDLE Handle = CreateFileA(File.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, Handle);
    SetFileTime(Handle, nullptr, nullptr, &Utc);
    CloseHandle(Handle);

    double FileDate = 45352.0 + 10.0 / 24;
    EXPECT_TRUE(ExistingFileIsNewer("", File.c_str(), FileDate - 1.0 / 86400 * 2));
    EXPECT_FALSE(ExistingFileIsNewer("", File.c_str(), FileDate));
    EXPECT_FALSE(ExistingFileIsNewer("", File.c_str(), FileDate + 1));
    // A version asked for, but the file has no version resource: dates.
    EXPECT_TRUE(ExistingFileIsNewer("9.9.9.9", File.c_str(), FileDate - 1));
    // No such file, or a directory: never newer.
    EXPECT_FALSE(ExistingFileIsNewer("", (Dir / "missing").c_str(), 0));
    EXPECT_FALSE(ExistingFileIsNewer("", Dir.Path().c_str(), 0));
    EXPECT_FALSE(ExistingFileIsNewer("1.0", (Dir / "missing").c_str(), 0));
}

// ---- putting a new file in the place of an old one ----

static std::string ReadText(const std::string& Path)
{
    std::string Text;
    HANDLE File = CreateFileA(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (File == INVALID_HANDLE_VALUE) return "<missing>";
    char Buffer[256];
    DWORD Got = 0;
    while (ReadFile(File, Buffer, sizeof(Buffer), &Got, nullptr) && Got > 0) Text.append(Buffer, Got);
    CloseHandle(File);
    return Text;
}

TEST(SupportPutFileInPlace, ReplacesAnOldFileAlsoWhenReadOnly)
{
    ScratchDir Dir;
    WriteTextFile(Dir / "new.tmp", "new");
    WriteTextFile(Dir / "target.txt", "old");
    SetFileAttributesA((Dir / "target.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(PutFileInPlace((Dir / "new.tmp").c_str(), (Dir / "target.txt").c_str()));
    EXPECT_EQ("new", ReadText(Dir / "target.txt"));
    EXPECT_FALSE(PathExistsW32(Dir / "new.tmp"));
    EXPECT_EQ(0u, GetFileAttributesA((Dir / "target.txt").c_str()) & FILE_ATTRIBUTE_READONLY);

    // No old file: the new one simply takes the name.
    WriteTextFile(Dir / "second.tmp", "second");
    ASSERT_TRUE(PutFileInPlace((Dir / "second.tmp").c_str(), (Dir / "fresh.txt").c_str()));
    EXPECT_EQ("second", ReadText(Dir / "fresh.txt"));
}

TEST(SupportPutFileInPlace, AFileInUseStaysAsItWasWithBothFiles)
{
    ScratchDir Dir;
    WriteTextFile(Dir / "new.tmp", "new");
    WriteTextFile(Dir / "target.txt", "old");
    SetFileAttributesA((Dir / "target.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE Held = CreateFileA((Dir / "target.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, Held);
    EXPECT_FALSE(PutFileInPlace((Dir / "new.tmp").c_str(), (Dir / "target.txt").c_str()));
    CloseHandle(Held);
    EXPECT_EQ("old", ReadText(Dir / "target.txt"));
    EXPECT_EQ("new", ReadText(Dir / "new.tmp"));
    // Its attributes came back too.
    EXPECT_NE(0u, GetFileAttributesA((Dir / "target.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA((Dir / "target.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A file that is there but cannot be read is not missing: the installation
// log treats a missing file as empty and never overwrites an unreadable one.
TEST(SupportReadWholeFile, TheBytesOrWhetherTheFileIsMissing)
{
    ScratchDir Dir;
    WriteTextFile(Dir / "log.txt", "line 1\r\n\xE1");
    Str Bytes("stale");
    bool Missing = true;
    EXPECT_TRUE(ReadWholeFile((Dir / "log.txt").c_str(), &Bytes, &Missing));
    EXPECT_EQ("line 1\r\n\xE1", S(Bytes));
    EXPECT_FALSE(Missing);
    EXPECT_FALSE(ReadWholeFile((Dir / "none.txt").c_str(), &Bytes, &Missing));
    EXPECT_TRUE(Missing);
    EXPECT_EQ("", S(Bytes));
    Missing = false;
    EXPECT_FALSE(ReadWholeFile((Dir / "none\\log.txt").c_str(), &Bytes, &Missing));
    EXPECT_TRUE(Missing);

    HANDLE Held = CreateFileA((Dir / "log.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, Held);
    Bytes = "stale";
    EXPECT_FALSE(ReadWholeFile((Dir / "log.txt").c_str(), &Bytes, &Missing));
    EXPECT_FALSE(Missing);
    EXPECT_EQ("", S(Bytes));
    CloseHandle(Held);
    EXPECT_FALSE(ReadWholeFile(Dir.Path().c_str(), &Bytes)); // a folder, no flag asked for
    EXPECT_TRUE(ReadWholeFile((Dir / "log.txt").c_str(), &Bytes));
}

TEST(SupportTempFileBeside, AnEmptyNewFileInTheTargetsFolderOrNone)
{
    ScratchDir Dir;
    Str Made = MakeTempFileBeside((Dir / "target.txt").c_str());
    ASSERT_FALSE(Made.Empty());
    std::string Path = S(Made);
    EXPECT_EQ(Dir.Path() + "\\", Path.substr(0, Dir.Path().size() + 1));
    EXPECT_EQ("", ReadText(Path));
    EXPECT_NE(Path, S(MakeTempFileBeside((Dir / "target.txt").c_str())));
    // A folder that does not exist, or that is a file: no name.
    EXPECT_TRUE(MakeTempFileBeside((Dir / "missing\\target.txt").c_str()).Empty());
    WriteTextFile(Dir / "plain", "x");
    EXPECT_TRUE(MakeTempFileBeside((Dir / "plain\\target.txt").c_str()).Empty());
}
