// Operating-system services other than files: the running Windows version,
// message boxes centred on the screen, whether the process runs elevated,
// ending the Windows session, the folder browser and the shell's special
// folders. The version mapping is
// portable (host-tested); the rest needs Win32.
#pragma once

#include "TarnStr.h"

enum OSKind {
    OSWin32s = 0,
    OSWin95 = 1,
    OSWin98 = 2,     // also ME (4.90)
    OSWinNT = 3,
    OSWin2000 = 4    // 2000 and every later NT version
};

struct OSInfoRecord {
    unsigned char Kind;  // OSKind
    int Major;
    int Minor;
    Str VersionText;     // "4.0", "4.10", "5.01"
    int Build;           // on the 95 family only the low 16 bits
    Str ServicePack;
    Str Description;     // "Windows NT 4.0.1381 Service Pack 6"
};

// Platform ids as the system's version information gives them.
enum {
    PlatformWin32s = 0,
    PlatformWindows = 1, // the 95 family
    PlatformNT = 2
};

// Fills Info from the version numbers (other platform ids leave Kind 0).
void MakeOSInfo(int PlatformId, int Major, int Minor, unsigned BuildNumber,
                const char* ServicePack, OSInfoRecord* Info);

#ifdef _WIN32
#include <windows.h>

// The running system, filled once before the run starts.
extern OSInfoRecord OSInfo;
// Caption of error and question boxes; empty until a dialog sets it to the
// program name ("Error" / "Question" are used while it is empty).
extern Str MessageCaption;

// Fills Info from GetVersionExA.
void GetOSInfo(OSInfoRecord* Info);
// A task-modal message box centred on the screen; the chosen button
// (IDOK, IDYES, ...), 0 when the box could not be shown. One at a time.
int CenteredMessageBox(HWND Owner, const char* Caption, const char* Text, UINT Flags);
void ShowError(const char* Text);
int AskQuestion(const char* Text);   // IDYES or IDNO (0 when no box could be shown)
// Centres Wnd on the screen, its top-left corner kept on the screen.
void CenterWindow(HWND Wnd);
SIZE GetScreenSize();
// True when the process runs elevated: with the full administrator token
// that the user's other programs lack (Vista and later). False on older
// Windows, which has no such split, and when the token cannot be read.
bool ProcessIsElevated();
// Ends the session with ExitWindowsEx(Flags), enabling the shutdown
// privilege first on the NT family. False when the privilege could not be
// enabled or the system refused.
bool ExitWindowsPrivileged(UINT Flags);
bool RestartWindows(bool Force);     // as ExitWindowsPrivileged
// The shell's folder browser rooted at the CSIDL Root, opened at *Path.
// True with *Path set when the user chose a folder; false (Path unchanged)
// on cancel or when the folder cannot be had.
bool BrowseForFolder(HWND Owner, const char* Title, int Root, Str* Path, UINT Flags);
// A file-system directory among the drives; a chosen drive root keeps its
// backslash, any other folder has none.
bool BrowseForDirectory(HWND Owner, const char* Title, Str* Path);
// Number of special folders GetSpecialFolder knows.
enum { SpecialFolderCount = 10 };
// Index 0..9: Desktop, Fonts, NetHood, Personal, ProgramsMenu, Recent,
// SendTo, StartMenu, StartupMenu, Templates. Empty when the system has none.
Str GetSpecialFolder(int Index);
#endif
