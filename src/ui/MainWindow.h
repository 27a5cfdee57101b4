// The main window: a borderless popup behind the wizard, shown maximised with
// a colour gradient and the program name when the setup script asks for it,
// and otherwise hidden. It owns every dialog and lends them its icon.
#pragma once

#include <windows.h>

// Posted to the main window by a thread other than the interface thread
// that must end the run (a failure on the installation worker): the window's
// thread then runs EndRunAfterFailure with the message text in lParam.
enum { MainWindowEndRun = WM_APP + 1 };

// The window, created hidden and titled ProgramName; 0 when the class cannot
// be registered ("Cannot register main window class!") or creation fails.
HWND CreateMainWindow();
