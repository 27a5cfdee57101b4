// Variables and texts of a setup run: the variable table and its expansion,
// the numbered texts of Tarn.str and the dialog texts of Tarn.dlg, and the
// small control-text helpers the dialogs share. All of it reads the run state
// of Common.h (IniPath, StrPath, DlgPath, LanguageCode, InstallDir, ...).
#pragma once

#include <windows.h>

#include "SetupNames.h"
#include "TarnStr.h"

// Rebuilds VariableList: the built-in variables of this computer, then
// [Variables], then [Variables.<LanguageCode>] of the setup script. The
// computer's folders are looked up at the first call only, until
// ForgetBuiltinVariables (the run wrote registry values, which may be some).
void LoadVariables();
void ForgetBuiltinVariables();
// "||" becomes a carriage return, then each %Name% of VariableList its value,
// in list order, one pass; unknown references stay as written.
Str ExpandVariables(const char* Text);
// [Config] Key of the setup script (IniPath), else Default; the second
// with its variables expanded.
Str ConfigText(const char* Key, const char* Default = "");
Str ConfigExpanded(const char* Key, const char* Default = "");

// The numbered texts the program asks for (TextNumber) are in SetupNames.h.

// Numbered text of Tarn.str, the language section over the neutral one,
// expanded. Default (expanded as well) when neither section has it; the
// texts the program has always asked for have none, the later ones an
// English one, so that older setups still say something.
Str GetText(int Number, const char* Default = "");

// The dialog-text step of a wizard page or the progress dialog opening:
// variables reloaded, caption, title (DialogTitle) and control texts taken
// from Tarn.dlg for CurrentDialogName and LanguageCode, every control text
// expanded, then ProgramName, the message caption and the main window's
// title recomputed.
void ApplyDialogTexts(HWND Dialog);

// A control's text set (WM_SETTEXT).
void SetItemText(HWND Dialog, int Id, const char* Text);
// The same, then the whole text selected (only edit controls react).
void SetControlText(HWND Dialog, int Id, const char* Text);
// The control's text, at most 1023 characters.
Str GetControlText(HWND Dialog, int Id);
// A window's whole text, however long (licence and readme boxes).
Str GetWholeWindowText(HWND Window);
// The whole file unchanged; empty when it cannot be opened or read.
Str LoadTextFile(const char* Path);
