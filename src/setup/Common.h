// The run state: process-wide variables that RunSetup creates and releases and
// every other stub module reads or writes under these names. The text helpers
// of the run (variables, numbered and dialog texts) are in Texts.h.
#pragma once

#include <windows.h>

#include "TarnStr.h"

// ---- the run state ----
extern HINSTANCE ModuleInstance; // dialog templates, icon and window class come from it

extern Str TempDir;     // always ends in "\"
extern Str IniPath;     // TempDir + "Tarn.ini"
extern Str StrPath;     // TempDir + "Tarn.str"
extern Str DlgPath;     // TempDir + "Tarn.dlg"
extern Str InstallDir;  // may hold variable references
extern Str ProgramName; // "Setup" until the first dialog applies its texts

extern HWND MainWindow;
// How a title is drawn, as [Display] sets it: the main window's program name
// and the pages' titles. No font in a silent run.
struct TitleLook {
    HFONT Font;
    COLORREF Color;
    bool Shadow;
    COLORREF ShadowColor;
};
extern TitleLook MainTitleLook;
extern TitleLook DialogTitleLook;
extern HBITMAP TitlePicture; // 0 when Tarn.bmp is missing

extern StrList LanguageList;   // code=language name, kept sorted
extern Str LanguageCode;       // three letters, selects the language sections
extern StrList VariableList;   // name=value, in expansion order
extern StrList DialogSequence; // upper-cased template names
extern StrList CopyList;       // source=target[,version]
extern StrList RegList;        // full value path=data

// Single bytes: shared with the installation worker without locks.
extern volatile bool RebootNeeded;
// Set with RebootNeeded when a file waits for a restart; the restart page's
// "later" leaves it set, since the files still wait.
extern volatile bool FilesAwaitRestart;
extern bool CancelNeedsConfirmation;

extern Str DialogTitle;       // title of the dialog shown last
extern Str CurrentDialogName; // template name of the dialog being shown
extern int CurrentDialogIndex;
