// Operating-system services other than files: the running Windows version,
// message boxes centred on the screen, whether the process runs elevated,
// ending the Windows session, the folder browser and the shell's special
// folders. The version record and its mapping are in oxShellCore.h.
#pragma once

#include <windows.h>

#include "oxShellCore.h"

// The running system: RunSetup fills it first thing (GetOSInfo); DiskFreeKB,
// PutFileInPlace, ExitWindowsPrivileged and the restart records read it.
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
int AskQuestion(const char* Text); // IDYES or IDNO (0 when no box could be shown)
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
bool RestartWindows(bool Force); // as ExitWindowsPrivileged
// The shell's folder browser among the drives, opened at *Path. True with
// *Path set when the user chose a file-system directory (a drive root keeps
// its backslash, any other folder has none); false (Path unchanged) on
// cancel or when the browser cannot be had.
bool BrowseForDirectory(HWND Owner, const char* Title, Str* Path);
// Number of special folders GetSpecialFolder knows.
enum { SpecialFolderCount = 10 };
// Index 0..9: Desktop, Fonts, NetHood, Personal, ProgramsMenu, Recent,
// SendTo, StartMenu, StartupMenu, Templates. Empty when the system has none.
Str GetSpecialFolder(int Index);
