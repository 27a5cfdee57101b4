/* A stand-in for the setup stub in the host tests of the setup's own
   resources: a Windows program linked as the stub is (relocations, DEP,
   ASLR) that carries the stub's resources (resources/Tarn.rc). */
#include <windows.h>

int WINAPI WinMain(HINSTANCE Instance, HINSTANCE Previous, LPSTR CommandLine, int Show)
{
    (void)Previous;
    (void)CommandLine;
    (void)Show;
    return LoadIconA(Instance, "MAINICON") ? 0 : 1;
}
