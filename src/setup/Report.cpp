// Errors, questions and the exit code of a run; see Report.h.
#include "Report.h"

#include "DiagLog.h"
#include "FixedTexts.h"
#include "TarnStr.h"
#include "oxShell.h"

bool SilentRun = false;
static SetupExitCode FirstFailure = ExitInstalled;

void NoteFailure(SetupExitCode Code)
{
    if (FirstFailure == ExitInstalled) FirstFailure = Code;
}

SetupExitCode FailureExitCode() { return FirstFailure == ExitInstalled ? ExitFailed : FirstFailure; }

void ReportError(HWND Owner, const char* Text, SetupExitCode Code)
{
    DiagLogError(Text, "", GetLastError());
    NoteFailure(Code);
    if (SilentRun) return;
    if (Owner)
        CenteredMessageBox(Owner, ErrorCaption, Text, MB_ICONERROR);
    else
        ShowError(Text);
}

void ReportErrorOn(HWND Owner, const char* Text, const char* Subject, SetupExitCode Code)
{
    ReportError(Owner, (Str(Text) + Subject).c_str(), Code);
}

int AskUser(HWND Owner, const char* Caption, const char* Text, UINT Flags, int SilentAnswer)
{
    int Answer = SilentRun ? SilentAnswer : CenteredMessageBox(Owner, Caption, Text, Flags);
    DiagLogLine(Answer == IDYES ? "answered yes: " : "answered no: ", Text);
    return Answer;
}
