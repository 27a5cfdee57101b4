// The setup's command line on Windows: reads it into RunOptions, switches
// the silent mode on and opens the diagnostic log. The parsing itself is
// portable (CommandLineCore.h).
#pragma once

#include "CommandLineCore.h"

extern SetupOptions RunOptions;

// Reads the process's command line. False when it is wrong or the log it
// names cannot be written: then reported (with the options, in a box unless
// silent) and the run ends with ExitBadCommandLine.
bool ReadCommandLine();
