// The setup's command line and exit codes, without the system: parsing the
// options an administrator gives for an unattended run. The Win32 side
// (CommandLine.h) reads the process's command line and acts on the result.
#pragma once

#include "TarnStr.h"

// How the process ends, the same with and without /S.
enum SetupExitCode {
    ExitInstalled = 0,
    ExitFailed = 1,         // the error is in the diagnostic log (and was shown unless silent)
    ExitCancelled = 2,      // by the user
    ExitArchiveDamaged = 3, // the setup's own archive is missing, cut or damaged
    ExitBadCommandLine = 4,
    ExitRestartNeeded = 3010, // installed; files wait for a restart that was not made
};

// The options of one run. Options are case-insensitive and begin with "/"
// or "-". /D= takes the rest of the line (blanks included) and so comes last.
struct SetupOptions {
    bool Silent = false;       // /S: no window, every choice its default
    bool ShowHelp = false;     // /?
    bool AllowRestart = false; // /RESTART: a silent run may restart Windows
    bool HasDir = false;       // /D=path given
    Str Dir;
    Str Language; // /LANG=code; empty for the automatic choice
    Str LogFile;  // /LOG=file: the diagnostic log
    Str Error;    // why the line was refused; empty when it was not
};

// Parses Arguments, the command line after the program's name. A value may
// be quoted ("/LOG=C:\My Logs\setup.log" or /LOG="C:\My Logs\setup.log").
// False with Options->Error set for an unknown option, an option without its
// value, or a word that is no option.
bool ParseSetupOptions(const char* Arguments, SetupOptions* Options);

// The text after the program's name in a whole command line (the name may
// be quoted), its leading blanks skipped.
const char* SkipProgramName(const char* CommandLine);
