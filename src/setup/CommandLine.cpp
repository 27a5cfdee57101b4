// The command line of a setup run; see CommandLine.h.
#include "CommandLine.h"

#include <windows.h>

#include "DiagLog.h"
#include "Report.h"
#include "oxShell.h"

static const char* const UsageCaption = "Setup";
// Kept short: every byte is in the stub.
static const char* const UsageText =
    "/S\t\tsilent, licence accepted\r\n"
    "/LANG=code\tlanguage (ENU, ...)\r\n"
    "/LOG=file\tdiagnostic log\r\n"
    "/RESTART\tsilent run may restart\r\n"
    "/D=folder\tfolder, last\r\n\r\n"
    "Exit codes: 0 installed, 1 failed, 2 cancelled, 3 setup damaged, "
    "4 wrong option, 3010 restart needed";

SetupOptions RunOptions;

bool ReadCommandLine()
{
    const char* Line = GetCommandLineA();
    bool Parsed = ParseSetupOptions(SkipProgramName(Line), &RunOptions);
    // A /S anywhere on a wrong line still keeps every window away: a
    // script must not hang on a box.
    SilentRun = RunOptions.Silent;
    if (!RunOptions.LogFile.Empty() && !DiagLogOpen(RunOptions.LogFile.c_str())) {
        ReportError(0, (Str("Cannot write the log file ") + RunOptions.LogFile).c_str(), ExitBadCommandLine);
        return false;
    }
    DiagLogLine("command line: ", Line);
    if (!Parsed) {
        ReportError(0, RunOptions.Error.c_str(), ExitBadCommandLine);
        return false;
    }
    return true;
}

void ShowUsage()
{
    if (!SilentRun) CenteredMessageBox(0, UsageCaption, UsageText, MB_OK | MB_ICONINFORMATION);
}
