// Entry of tarn-setup.exe: the run, then exit code 0 whatever its outcome.
// (A failure that escapes the run exits with 1 from inside it.)
#include <windows.h>

#include "Setup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    RunSetup();
    return 0;
}
