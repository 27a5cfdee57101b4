// The running system's version, centred message boxes and their captions,
// the session-end request and its privilege, special folders and the folder
// browser, under Wine. Message boxes are answered by a second thread.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "SupportWinTest.h"
#include "oxShell.h"

static std::string S(const Str& Text) { return std::string(Text.c_str(), (size_t)Text.Length()); }

TEST(SupportOSVersion, RecordFollowsTheSystem)
{
    OSVERSIONINFOA Version = {};
    Version.dwOSVersionInfoSize = sizeof(Version);
    ASSERT_TRUE(GetVersionExA(&Version));
    OSInfoRecord Info;
    GetOSInfo(&Info);
    EXPECT_EQ((int)Version.dwMajorVersion, Info.Major);
    EXPECT_EQ((int)Version.dwMinorVersion, Info.Minor);
    EXPECT_EQ((int)Version.dwBuildNumber, Info.Build);
    EXPECT_EQ(OSWin2000, Info.Kind); // every NT version from 5 on
    EXPECT_EQ(0, S(Info.Description).find("Windows 2000 "));
}

static void ExpectCentred(const RECT& R)
{
    int Width = GetSystemMetrics(SM_CXSCREEN), Height = GetSystemMetrics(SM_CYSCREEN);
    int BoxWidth = R.right - R.left, BoxHeight = R.bottom - R.top;
    EXPECT_EQ((Width - BoxWidth) / 2, R.left);
    EXPECT_EQ((Height - BoxHeight) / 2, R.top);
}

// MessageCaption is global: each test leaves it empty.
class SupportMessageBoxTest : public ::testing::Test {
protected:
    void TearDown() override { MessageCaption = ""; }
};

TEST_F(SupportMessageBoxTest, ErrorAndQuestionCaptionsBeforeAndAfterTheProgramName)
{
    MessageCaption = "";
    {
        DialogAnswerer Answer("Error", IDOK);
        ShowError("Archive open error!");
        SeenWindow Seen = Answer.Wait();
        ASSERT_TRUE(Seen.Found);
        ExpectCentred(Seen.Rect);
    }
    {
        DialogAnswerer Answer("Question", IDNO);
        EXPECT_EQ(IDNO, AskQuestion("Cancel the installation?"));
        ASSERT_TRUE(Answer.Wait().Found);
    }
    MessageCaption = "Tarn Demo";
    {
        DialogAnswerer Answer("Tarn Demo", IDOK);
        ShowError("File extracting error!");
        EXPECT_EQ("Tarn Demo", Answer.Wait().Caption);
    }
    {
        DialogAnswerer Answer("Tarn Demo", IDYES);
        EXPECT_EQ(IDYES, AskQuestion("Keep the newer file?"));
        SeenWindow Seen = Answer.Wait();
        ASSERT_TRUE(Seen.Found);
        ExpectCentred(Seen.Rect);
    }
}

TEST_F(SupportMessageBoxTest, OwnedBoxIsCentredOnTheScreenAndUnhooked)
{
    HWND Owner = CreateWindowExA(0, "STATIC", "Owner", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr, nullptr,
                                 nullptr);
    DialogAnswerer Answer("Overwrite", IDNO);
    EXPECT_EQ(IDNO, CenteredMessageBox(Owner, "Overwrite", "Replace the file?", MB_YESNO | MB_ICONQUESTION));
    SeenWindow Seen = Answer.Wait();
    ASSERT_TRUE(Seen.Found);
    ExpectCentred(Seen.Rect);
    // The hook is gone: a window activated afterwards stays where it was put.
    HWND Later = CreateWindowExA(0, "STATIC", "Later", WS_POPUP | WS_VISIBLE, 10, 10, 200, 100, nullptr, nullptr,
                                 nullptr, nullptr);
    SetActiveWindow(Later);
    SetForegroundWindow(Later);
    RECT R;
    GetWindowRect(Later, &R);
    EXPECT_EQ(10, R.left);
    EXPECT_EQ(10, R.top);
    DestroyWindow(Later);
    DestroyWindow(Owner);
}

static DWORD WINAPI AskFromThread(LPVOID Caption)
{
    return (DWORD)CenteredMessageBox(nullptr, (const char*)Caption, "From a worker", MB_YESNO);
}

TEST_F(SupportMessageBoxTest, BoxesOfTwoThreadsAtOnceAreBothCentred)
{
    DialogAnswerer First("Worker one", IDYES);
    DialogAnswerer Second("Worker two", IDNO);
    HANDLE One = CreateThread(nullptr, 0, AskFromThread, (LPVOID) "Worker one", 0, nullptr);
    HANDLE Two = CreateThread(nullptr, 0, AskFromThread, (LPVOID) "Worker two", 0, nullptr);
    SeenWindow SeenOne = First.Wait(), SeenTwo = Second.Wait();
    WaitForSingleObject(One, 20000);
    WaitForSingleObject(Two, 20000);
    DWORD ResultOne = 0, ResultTwo = 0;
    GetExitCodeThread(One, &ResultOne);
    GetExitCodeThread(Two, &ResultTwo);
    CloseHandle(One);
    CloseHandle(Two);
    ASSERT_TRUE(SeenOne.Found);
    ASSERT_TRUE(SeenTwo.Found);
    EXPECT_EQ((DWORD)IDYES, ResultOne);
    EXPECT_EQ((DWORD)IDNO, ResultTwo);
    ExpectCentred(SeenOne.Rect);
    ExpectCentred(SeenTwo.Rect);
}

TEST(SupportCenterWindowTest, CentresAndKeepsLargeWindowsOnScreen)
{
    HWND Small = CreateWindowExA(0, "STATIC", "", WS_POPUP, 3, 5, 301, 201, nullptr, nullptr, nullptr, nullptr);
    CenterWindow(Small);
    RECT R;
    GetWindowRect(Small, &R);
    ExpectCentred(R);
    EXPECT_EQ(301, R.right - R.left); // the size stays
    SIZE Screen = GetScreenSize();
    HWND Large = CreateWindowExA(0, "STATIC", "", WS_POPUP, 50, 50, Screen.cx + 400, Screen.cy + 300, nullptr, nullptr,
                                 nullptr, nullptr);
    CenterWindow(Large);
    GetWindowRect(Large, &R);
    EXPECT_EQ(0, R.left);
    EXPECT_EQ(0, R.top);
    DestroyWindow(Small);
    DestroyWindow(Large);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), Screen.cx);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), Screen.cy);
}

// ---- ending the session (observed through the restart log) ----

static bool ShutdownPrivilegeEnabled()
{
    HANDLE Token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &Token)) return false;
    LUID Shutdown;
    LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &Shutdown);
    BYTE Buffer[4096];
    DWORD Size = 0;
    bool Enabled = false;
    if (GetTokenInformation(Token, TokenPrivileges, Buffer, sizeof(Buffer), &Size)) {
        TOKEN_PRIVILEGES* List = (TOKEN_PRIVILEGES*)Buffer;
        for (DWORD I = 0; I < List->PrivilegeCount; ++I)
            if (List->Privileges[I].Luid.LowPart == Shutdown.LowPart &&
                List->Privileges[I].Luid.HighPart == Shutdown.HighPart)
                Enabled = (List->Privileges[I].Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
    CloseHandle(Token);
    return Enabled;
}

static void DisableShutdownPrivilege()
{
    HANDLE Token;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &Token));
    TOKEN_PRIVILEGES Privileges = {};
    Privileges.PrivilegeCount = 1;
    LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &Privileges.Privileges[0].Luid);
    Privileges.Privileges[0].Attributes = 0;
    AdjustTokenPrivileges(Token, FALSE, &Privileges, 0, nullptr, nullptr);
    CloseHandle(Token);
}

static std::string ReadWholeFile(const std::string& Path)
{
    std::string Content;
    HANDLE File =
        CreateFileA(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (File == INVALID_HANDLE_VALUE) return Content;
    char Buffer[4096];
    DWORD Read = 0;
    while (ReadFile(File, Buffer, sizeof(Buffer), &Read, nullptr) && Read) Content.append(Buffer, Read);
    CloseHandle(File);
    return Content;
}

class SupportRestartTest : public ::testing::Test {
protected:
    ScratchDir Dir;
    std::string Log = Dir / "restart.log";
    void SetUp() override { SetEnvironmentVariableA("TARN_TEST_RESTART_LOG", Log.c_str()); }
    void TearDown() override { SetEnvironmentVariableA("TARN_TEST_RESTART_LOG", nullptr); }
};

TEST_F(SupportRestartTest, RestartEnablesTheShutdownPrivilegeAndAsksForAReboot)
{
    DisableShutdownPrivilege();
    ASSERT_FALSE(ShutdownPrivilegeEnabled());
    EXPECT_TRUE(RestartWindows(false));
    EXPECT_TRUE(ShutdownPrivilegeEnabled());
    EXPECT_TRUE(RestartWindows(true));
    EXPECT_EQ("ExitWindowsEx flags=0x02\r\nExitWindowsEx flags=0x06\r\n", ReadWholeFile(Log));
}

TEST_F(SupportRestartTest, LogOffNeedsNoPrivilege)
{
    DisableShutdownPrivilege();
    EXPECT_TRUE(ExitWindowsPrivileged(EWX_LOGOFF));
    EXPECT_FALSE(ShutdownPrivilegeEnabled());
    EXPECT_TRUE(ExitWindowsPrivileged(EWX_POWEROFF | EWX_FORCE));
    EXPECT_TRUE(ShutdownPrivilegeEnabled());
    EXPECT_EQ("ExitWindowsEx flags=0x00\r\nExitWindowsEx flags=0x0C\r\n", ReadWholeFile(Log));
}

TEST_F(SupportRestartTest, TheWindows95FamilyAsksWithoutPrivileges)
{
    OSInfoRecord Saved = OSInfo;
    OSInfo.Kind = OSWin98;
    DisableShutdownPrivilege();
    bool Result = RestartWindows(false);
    bool Enabled = ShutdownPrivilegeEnabled();
    OSInfo = Saved;
    EXPECT_TRUE(Result);
    EXPECT_FALSE(Enabled);
    EXPECT_EQ("ExitWindowsEx flags=0x02\r\n", ReadWholeFile(Log));
}

// ---- shell folders ----

TEST(SupportSpecialFolders, TableOfTenShellFolders)
{
    static const int Expected[SpecialFolderCount] = {
        CSIDL_DESKTOPDIRECTORY, CSIDL_FONTS,  CSIDL_NETHOOD,   CSIDL_PERSONAL, CSIDL_PROGRAMS,
        CSIDL_RECENT,           CSIDL_SENDTO, CSIDL_STARTMENU, CSIDL_STARTUP,  CSIDL_TEMPLATES,
    };
    for (int I = 0; I < SpecialFolderCount; ++I) {
        char Path[MAX_PATH] = "";
        SHGetSpecialFolderPathA(nullptr, Path, Expected[I], FALSE);
        // Through an item-ID list some folders end with a backslash.
        std::string Got = S(GetSpecialFolder(I));
        if (!Got.empty() && Got.back() == '\\' && Got.size() > 3) Got.pop_back();
        std::string Want = Path;
        if (!Want.empty() && Want.back() == '\\' && Want.size() > 3) Want.pop_back();
        EXPECT_EQ(Want, Got) << I;
    }
    EXPECT_FALSE(GetSpecialFolder(1).Empty());
    EXPECT_EQ("", S(GetSpecialFolder(-1)));
    EXPECT_EQ("", S(GetSpecialFolder(SpecialFolderCount)));
}

class SupportBrowseTest : public ::testing::Test {
protected:
    void SetUp() override { CoInitialize(nullptr); }
    void TearDown() override { CoUninitialize(); }
};

TEST_F(SupportBrowseTest, CancelLeavesThePathAlone)
{
    Str Path("C:\\windows");
    DialogAnswerer Answer("", IDCANCEL);
    EXPECT_FALSE(BrowseForDirectory(nullptr, "Choose the folder", &Path));
    ASSERT_TRUE(Answer.Wait().Found);
    EXPECT_EQ("C:\\windows", S(Path));
}

TEST_F(SupportBrowseTest, OkReturnsThePreselectedFolderWithoutBackslash)
{
    char Windows[MAX_PATH];
    GetWindowsDirectoryA(Windows, sizeof(Windows));
    Str Path(Windows);
    Path += "\\";
    DialogAnswerer Answer("", IDOK);
    ASSERT_TRUE(BrowseForDirectory(nullptr, "Choose the folder", &Path));
    ASSERT_TRUE(Answer.Wait().Found);
    EXPECT_EQ(0, lstrcmpiA(Windows, Path.c_str())) << S(Path);
}

TEST_F(SupportBrowseTest, ADriveKeepsItsBackslash)
{
    Str Path("C:\\");
    DialogAnswerer Answer("", IDOK);
    ASSERT_TRUE(BrowseForDirectory(nullptr, "Choose the folder", &Path));
    ASSERT_TRUE(Answer.Wait().Found);
    EXPECT_EQ(0, lstrcmpiA("C:\\", Path.c_str())) << S(Path);
}
