// Operating-system services through Win32: see oxShell.h. The version
// record's mapping is in oxShellCore.cpp.
#include "oxShell.h"

#include <shlobj.h>
#include <string.h>

#include "FixedTexts.h"
#include "oxStrUtils.h"
#include "oxSystemApi.h"
#include "TestSeams.h"

OSInfoRecord OSInfo;
Str MessageCaption;

void GetOSInfo(OSInfoRecord* Info)
{
    OSVERSIONINFOA Version;
    memset(&Version, 0, sizeof(Version));
    Version.dwOSVersionInfoSize = sizeof(Version);
    if (!GetVersionExA(&Version)) {
        MakeOSInfo(-1, 0, 0, 0, "", Info);
        return;
    }
    // The service-pack text is a fixed array; do not trust a terminator.
    int ServicePackLength = 0;
    while (ServicePackLength < (int)sizeof(Version.szCSDVersion) && Version.szCSDVersion[ServicePackLength])
        ++ServicePackLength;
    Str ServicePack(Version.szCSDVersion, ServicePackLength);
    MakeOSInfo((int)Version.dwPlatformId, (int)Version.dwMajorVersion, (int)Version.dwMinorVersion,
               Version.dwBuildNumber, ServicePack.c_str(), Info);
}

// ---- centred message boxes ----

// The hook of each thread that has a box opening. The program opens one box
// at a time, but the installation worker and the interface thread both may,
// so each thread finds its own hook here instead of sharing one handle.
struct MessageHookSlot {
    volatile LONG ThreadId; // 0 when free
    HHOOK Hook;
};
enum { MessageHookSlots = 4 };
static MessageHookSlot MessageHooks[MessageHookSlots];

static MessageHookSlot* FindHookSlot(DWORD ThreadId)
{
    for (int I = 0; I < MessageHookSlots; ++I)
        if ((DWORD)MessageHooks[I].ThreadId == ThreadId) return &MessageHooks[I];
    return 0;
}

static LRESULT CALLBACK CenterOnActivate(int Code, WPARAM WParam, LPARAM LParam)
{
    MessageHookSlot* Slot = FindHookSlot(GetCurrentThreadId());
    HHOOK Hook = Slot ? Slot->Hook : 0;
    if (Code != HCBT_ACTIVATE) return CallNextHookEx(Hook, Code, WParam, LParam);
    CenterWindow((HWND)WParam);
    LRESULT Result = CallNextHookEx(Hook, Code, WParam, LParam);
    // One activation is enough: later ones (the user moving back to the box)
    // must not move it again.
    if (Slot && Slot->Hook) {
        UnhookWindowsHookEx(Slot->Hook);
        Slot->Hook = 0;
    }
    return Result;
}

int CenteredMessageBox(HWND Owner, const char* Caption, const char* Text, UINT Flags)
{
    DWORD ThreadId = GetCurrentThreadId();
    MessageHookSlot* Slot = 0;
    for (int I = 0; I < MessageHookSlots && !Slot; ++I)
        if (InterlockedCompareExchange(&MessageHooks[I].ThreadId, (LONG)ThreadId, 0) == 0) Slot = &MessageHooks[I];
    // Without a free slot the box still appears, only not centred.
    if (Slot) Slot->Hook = SetWindowsHookExA(WH_CBT, CenterOnActivate, 0, ThreadId);
    int Result = MessageBoxA(Owner, Text ? Text : "", Caption ? Caption : "", Flags | MB_TASKMODAL);
    if (Slot) {
        if (Slot->Hook) UnhookWindowsHookEx(Slot->Hook);
        Slot->Hook = 0;
        InterlockedExchange(&Slot->ThreadId, 0);
    }
    return Result;
}

void ShowError(const char* Text)
{
    CenteredMessageBox(0, MessageCaption.Empty() ? ErrorCaption : MessageCaption.c_str(), Text, MB_OK | MB_ICONERROR);
}

int AskQuestion(const char* Text)
{
    return CenteredMessageBox(0, MessageCaption.Empty() ? QuestionCaption : MessageCaption.c_str(), Text,
                              MB_YESNO | MB_ICONQUESTION);
}

void CenterWindow(HWND Wnd)
{
    RECT R;
    if (!GetWindowRect(Wnd, &R)) return;
    SIZE Screen = GetScreenSize();
    int Left = (Screen.cx - (R.right - R.left)) / 2;
    int Top = (Screen.cy - (R.bottom - R.top)) / 2;
    // A window larger than the screen keeps its top-left corner visible.
    if (Left < 0) Left = 0;
    if (Top < 0) Top = 0;
    SetWindowPos(Wnd, 0, Left, Top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE GetScreenSize()
{
    SIZE Size = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return Size;
}

// ---- elevation ----

typedef BOOL(WINAPI* TokenInformationCall)(HANDLE Token, TOKEN_INFORMATION_CLASS Class, void* Information, DWORD Size,
                                           DWORD* Returned);

// The pseudo handle that GetCurrentProcess returns, a constant on every
// Windows: one import less.
static const HANDLE ThisProcess = (HANDLE)-1;

bool ProcessIsElevated()
{
    TokenInformationCall GetInformation = (TokenInformationCall)(void*)FindSystemApi(ApiGetTokenInformation);
    if (!GetInformation) return false; // the Windows 95 family: no tokens
    HANDLE Token;
    if (!OpenProcessToken(ThisProcess, TOKEN_QUERY, &Token)) return false;
    TOKEN_ELEVATION Elevation;
    DWORD Returned = 0;
    // Before Vista the class is unknown and the call fails.
    bool Elevated =
        GetInformation(Token, TokenElevation, &Elevation, sizeof(Elevation), &Returned) && Elevation.TokenIsElevated;
    CloseHandle(Token);
    return Elevated;
}

// ---- ending the session ----

// The flags that end the session and so need the shutdown privilege on NT.
static const UINT SessionEndingFlags = EWX_SHUTDOWN | EWX_REBOOT | EWX_POWEROFF;

bool ExitWindowsPrivileged(UINT Flags)
{
    bool NTFamily = OSInfo.Kind == OSWinNT || OSInfo.Kind == OSWin2000;
    if (NTFamily && (Flags & SessionEndingFlags)) {
        HANDLE Token;
        bool Refused = false;
        if (OpenProcessToken(ThisProcess, TOKEN_ADJUST_PRIVILEGES, &Token)) {
            TOKEN_PRIVILEGES Privileges;
            Privileges.PrivilegeCount = 1;
            Privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
            Refused = LookupPrivilegeValueA(0, "SeShutdownPrivilege", &Privileges.Privileges[0].Luid) &&
                      !AdjustTokenPrivileges(Token, FALSE, &Privileges, 0, 0, 0);
            CloseHandle(Token);
        }
        // Without the token or the privilege value go on: ExitWindowsEx
        // decides.
        if (Refused) return false;
    }
    if (TestSeamRecordsExit(Flags)) return true;
    return ExitWindowsEx(Flags, 0) != FALSE;
}

bool RestartWindows(bool Force)
{
    static const UINT RestartModes[2] = {EWX_REBOOT, EWX_REBOOT | EWX_FORCE};
    return ExitWindowsPrivileged(RestartModes[Force ? 1 : 0]);
}

// ---- folder browser and special folders ----

// The folder the open browser preselects (one browser at a time).
static Str BrowseInitialPath;

static int CALLBACK BrowseCallback(HWND Wnd, UINT Message, LPARAM, LPARAM)
{
    if (Message == BFFM_INITIALIZED) SendMessageA(Wnd, BFFM_SETSELECTIONA, TRUE, (LPARAM)BrowseInitialPath.c_str());
    return 0;
}

// The file-system path of Item, which is then freed; false (*Path
// unchanged) when Item is none or no file-system folder.
static bool TakeItemPath(LPITEMIDLIST Item, Str* Path)
{
    char ItemPath[MAX_PATH];
    bool Found = Item && SHGetPathFromIDListA(Item, ItemPath);
    if (Found) {
        ItemPath[MAX_PATH - 1] = 0;
        *Path = ItemPath;
    }
    CoTaskMemFree(Item);
    return Found;
}

bool BrowseForDirectory(HWND Owner, const char* Title, Str* Path)
{
    LPITEMIDLIST Drives = 0;
    if (SHGetSpecialFolderLocation(0, CSIDL_DRIVES, &Drives) != S_OK || !Drives) return false;
    BrowseInitialPath = *Path;
    char DisplayName[MAX_PATH];
    BROWSEINFOA Browse;
    memset(&Browse, 0, sizeof(Browse));
    Browse.hwndOwner = Owner;
    Browse.pidlRoot = Drives;
    Browse.pszDisplayName = DisplayName;
    Browse.lpszTitle = Title;
    Browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS;
    Browse.lpfn = BrowseCallback;
    bool Chosen = TakeItemPath(SHBrowseForFolderA(&Browse), Path);
    CoTaskMemFree(Drives);
    if (Chosen) *Path = RemoveBackslash(*Path);
    return Chosen;
}

Str GetSpecialFolder(int Index)
{
    static const int SpecialFolders[SpecialFolderCount] = {
        CSIDL_DESKTOPDIRECTORY, CSIDL_FONTS,  CSIDL_NETHOOD,   CSIDL_PERSONAL, CSIDL_PROGRAMS,
        CSIDL_RECENT,           CSIDL_SENDTO, CSIDL_STARTMENU, CSIDL_STARTUP,  CSIDL_TEMPLATES,
    };
    if (Index < 0 || Index >= SpecialFolderCount) return Str();
    LPITEMIDLIST Item = 0;
    Str Path;
    if (SHGetSpecialFolderLocation(0, SpecialFolders[Index], &Item) == S_OK) TakeItemPath(Item, &Path);
    return Path;
}
