// Entry of tarn-setup.exe: the run, then its exit code (CommandLineCore.h).
// (A failure that escapes the run exits with 1 from inside it.)
#include <windows.h>

#include "Setup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return RunSetup();
}
