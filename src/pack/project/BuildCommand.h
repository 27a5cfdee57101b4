// `tarnpack build PROJECT -o setup.exe [--stub FILE] [--level N] [--store] [--threads N]
// [--no-verify] [--sign-pkcs12 FILE]`: checks a setup project, gives the stub
// the setup's own resources, packs Presetup/ and Data/ into one solid archive,
// appends it to the stub, verifies the result with the stub's reader and signs it.
#pragma once

// Arguments after the word "build". Returns the process exit status:
// 0 built, 1 the checks or the verification failed, 2 wrong usage.
int RunBuildCommand(int ArgCount, char** Args);
