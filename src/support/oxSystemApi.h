// The system calls the program finds at run time, in one table: those that
// older Windows lacks, and those of comctl32 and version. Windows takes a DLL
// on its KnownDLLs list from the system folder whatever the search order, but
// looks for any other DLL a program imports first in the program's own
// folder, where a planted copy would run before the program's first line. So
// the program imports only KnownDLLs and loads the others here, by their full
// system-folder path. comctl32 is the exception where the program's manifest
// is in force: its activation context names Common Controls 6 from the
// system's assembly store, and only a load by name goes there (a full path
// would load the old copy beside it). Each caller keeps its fallback next to
// its lookup.
#pragma once

#include <windows.h>

enum SystemApi {
    ApiSetDefaultDllDirectories,   // kernel32: Windows 8; 7 and Vista with update KB2533623
    ApiSetDllDirectoryA,           // kernel32: XP SP1
    ApiGetSystemWindowsDirectoryA, // kernel32: 2000
    ApiFindActCtxSectionStringA,   // kernel32: XP
    ApiGetDiskFreeSpaceExA,        // kernel32: 95 OSR2, NT 4
    ApiGetTokenInformation,        // advapi32: the NT family
    ApiConvertStringSdToSd,        // advapi32 ConvertStringSecurityDescriptorToSecurityDescriptorA: 2000
    ApiInitCommonControls,         // comctl32
    ApiGetFileVersionInfoSizeA,    // version
    ApiGetFileVersionInfoA,        // version
    ApiVerQueryValueA,             // version
    SystemApiCount
};

// Narrows the DLL search of the whole process, the system's own DLLs
// included, to the system folder where Windows allows it, and takes the
// current folder out of it. Called first thing at start.
void RestrictDllSearch();
// The entry point, or 0 when this Windows lacks it (or its DLL).
FARPROC FindSystemApi(SystemApi Api);
