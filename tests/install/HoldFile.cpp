// tarn-hold-file: keeps a file open without sharing, as a running program
// holds its own files, so that the setup under test cannot delete or
// overwrite it. Usage: tarn-hold-file FILE STOPFILE
// Prints "holding" once the file is open and holds it until STOPFILE exists
// (or ten minutes have passed, so that nothing is left behind for good).
#include <windows.h>

#include <cstdio>

int main(int Argc, char** Argv)
{
    if (Argc != 3) {
        fprintf(stderr, "usage: tarn-hold-file FILE STOPFILE\n");
        return 2;
    }
    HANDLE File = CreateFileA(Argv[1], GENERIC_READ, 0, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    if (File == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "cannot open %s: error %lu\n", Argv[1], GetLastError());
        return 1;
    }
    printf("holding\n");
    fflush(stdout);
    const DWORD LimitMs = 10 * 60 * 1000, PollMs = 100;
    for (DWORD Waited = 0; Waited < LimitMs; Waited += PollMs) {
        if (GetFileAttributesA(Argv[2]) != INVALID_FILE_ATTRIBUTES) break;
        Sleep(PollMs);
    }
    CloseHandle(File);
    printf("released\n");
    return 0;
}
