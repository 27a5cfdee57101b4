// `tarnpack build PROJECT -o setup.exe [--stub FILE] [--level N]`.
#pragma once

// Arguments after the word "build". Returns the process exit status.
int RunBuildCommand(int ArgCount, char** Args);
