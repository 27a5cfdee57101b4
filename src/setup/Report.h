// What the user learns of a run, and the exit code it ends with. Every error
// box and question of the run goes through here: in a silent run (/S) none
// is shown, the error or the question with its answer goes into the
// diagnostic log, and a failure's exit code is kept for the end of the run.
#pragma once

#include <windows.h>

#include "CommandLineCore.h"

// Set from /S before anything is shown; read everywhere a window would open.
extern bool SilentRun;

// An error: into the diagnostic log with the system's last error code, and,
// unless the run is silent, in a box (owned by Owner when given; else
// captioned with MessageCaption). Code is the exit code the run ends with
// when it fails of this; ExitInstalled for a message after which the run
// goes on as if nothing happened. The first failure reported is kept.
void ReportError(HWND Owner, const char* Text, SetupExitCode Code);
// The same with Subject (a file, a value, an option) after Text.
void ReportErrorOn(HWND Owner, const char* Text, const char* Subject, SetupExitCode Code);
// A failure without a message (the user cancelled): kept as ReportError keeps it.
void NoteFailure(SetupExitCode Code);
// The code of the first failure, ExitFailed when none was reported.
SetupExitCode FailureExitCode();

// A question box (CenteredMessageBox); in a silent run none is shown and the
// answer is SilentAnswer, written to the diagnostic log with the question.
int AskUser(HWND Owner, const char* Caption, const char* Text, UINT Flags, int SilentAnswer);
