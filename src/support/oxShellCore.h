// The Windows version record and its mapping from the numbers the system
// reports: the portable half of the shell module (oxShell.h fills it).
#pragma once

#include "TarnStr.h"

enum OSKind {
    OSWin32s = 0,
    OSWin95 = 1,
    OSWin98 = 2, // also ME (4.90)
    OSWinNT = 3,
    OSWin2000 = 4 // 2000 and every later NT version
};

struct OSInfoRecord {
    unsigned char Kind; // OSKind
    int Major;
    int Minor;
    Str VersionText; // "4.0", "4.10", "5.01"
    int Build;       // on the 95 family only the low 16 bits
    Str ServicePack;
    Str Description; // "Windows NT 4.0.1381 Service Pack 6"
};

// Platform ids as the system's version information gives them.
enum {
    PlatformWin32s = 0,
    PlatformWindows = 1, // the 95 family
    PlatformNT = 2
};

// Fills Info from the version numbers (other platform ids leave Kind 0).
void MakeOSInfo(int PlatformId, int Major, int Minor, unsigned BuildNumber, const char* ServicePack,
                OSInfoRecord* Info);
