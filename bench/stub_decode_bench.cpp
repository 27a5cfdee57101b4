// The setup stub's decoding speed: the stub's own reader (Win32 file layer,
// the stub's compile flags) tests every entry of a setup program, as the
// stub reads it when it installs, and prints MB/s of decoded output. Built
// as an i686 program in the win32 build and run under Wine by
// bench/bench-decode.sh. Usage: tarn_stub_decode_bench SETUP.EXE [RUNS]
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include "Unrar.h"

static double Now()
{
    LARGE_INTEGER Count, Frequency;
    QueryPerformanceCounter(&Count);
    QueryPerformanceFrequency(&Frequency);
    return (double)Count.QuadPart / (double)Frequency.QuadPart;
}

// CPU seconds of this process so far (user and kernel).
static double CpuSeconds()
{
    FILETIME Created, Ended, Kernel, User;
    GetProcessTimes(GetCurrentProcess(), &Created, &Ended, &Kernel, &User);
    ULARGE_INTEGER K, U;
    K.LowPart = Kernel.dwLowDateTime;
    K.HighPart = Kernel.dwHighDateTime;
    U.LowPart = User.dwLowDateTime;
    U.HighPart = User.dwHighDateTime;
    return (double)(K.QuadPart + U.QuadPart) / 1e7;
}

int main(int ArgCount, char** Args)
{
    if (ArgCount < 2) {
        fprintf(stderr, "usage: tarn_stub_decode_bench SETUP.EXE [RUNS]\n");
        return 2;
    }
    int Runs = ArgCount > 2 ? atoi(Args[2]) : 3;
    double BestWall = 1e9, BestCpu = 1e9;
    unsigned long long Bytes = 0;
    int Bad = 0;
    for (int Run = 0; Run < Runs; ++Run) {
        double Wall = Now(), Cpu = CpuSeconds();
        ArcHandle Archive = ArcOpen(Args[1], ArcModeExtract);
        if (!Archive) {
            fprintf(stderr, "no archive in %s\n", Args[1]);
            return 2;
        }
        ArcEntryInfo Info;
        Bytes = 0;
        Bad = 0;
        while (ArcReadEntry(Archive, &Info)) {
            Bytes += Info.UnpackedSize;
            if (ArcTestEntryCode(Archive) != ArcOk) ++Bad;
        }
        if (ArcWalkResult(Archive) != ArcOk) ++Bad;
        ArcClose(Archive);
        Wall = Now() - Wall;
        Cpu = CpuSeconds() - Cpu;
        if (Wall < BestWall) BestWall = Wall;
        if (Cpu < BestCpu) BestCpu = Cpu;
    }
#ifdef _WIN64
    const char* Build = "x86_64";
#else
    const char* Build = "i686";
#endif
    printf("stub decoder (%s): %llu bytes, best of %d: %.3f s (cpu %.3f s), %.1f MB/s (cpu %.1f MB/s), %s\n", Build,
           Bytes, Runs, BestWall, BestCpu, Bytes / 1e6 / BestWall, BestCpu > 0 ? Bytes / 1e6 / BestCpu : 0.0,
           Bad ? "DAMAGED" : "all entries OK");
    return Bad ? 1 : 0;
}
