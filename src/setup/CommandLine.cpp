// The command line of a setup run; see CommandLine.h.
#include "CommandLine.h"

#include <windows.h>

#include "DiagLog.h"
#include "FixedTexts.h"
#include "Report.h"

SetupOptions RunOptions;

bool ReadCommandLine()
{
    const char* Line = GetCommandLineA();
    bool Parsed = ParseSetupOptions(SkipProgramName(Line), &RunOptions);
    // A /S anywhere on a wrong line still keeps every window away: a
    // script must not hang on a box.
    SilentRun = RunOptions.Silent;
    if (!RunOptions.LogFile.Empty() && !DiagLogOpen(RunOptions.LogFile.c_str())) {
        ReportErrorOn(0, CannotWriteLogFile, RunOptions.LogFile.c_str(), ExitBadCommandLine);
        return false;
    }
    DiagLogLine("command line: ", Line);
    if (!Parsed) {
        ReportError(0, RunOptions.Error.c_str(), ExitBadCommandLine);
        return false;
    }
    return true;
}
