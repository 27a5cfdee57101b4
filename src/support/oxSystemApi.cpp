// The table of run-time system calls: see oxSystemApi.h. A DLL is loaded
// once and kept for the whole run; entry points are looked up on each call,
// which is cheap. (The interface thread and the installation worker may both
// look up: at worst a DLL is loaded twice, which only counts it twice.)
#include "oxSystemApi.h"

#include "oxFileUtils.h"
#include "oxStrUtils.h"

enum SystemDll { DllKernel32, DllAdvapi32, DllComctl32, DllVersion, SystemDllCount };

static const char* const SystemDllNames[SystemDllCount] = {
    "kernel32.dll",
    "advapi32.dll",
    "comctl32.dll",
    "version.dll",
};

struct SystemApiEntry {
    unsigned char Dll; // SystemDll
    const char* Name;
};

static const SystemApiEntry SystemApis[] = {
    {DllKernel32, "SetDefaultDllDirectories"},   {DllKernel32, "SetDllDirectoryA"},
    {DllKernel32, "GetSystemWindowsDirectoryA"}, {DllKernel32, "FindActCtxSectionStringA"},
    {DllKernel32, "GetDiskFreeSpaceExA"},        {DllAdvapi32, "GetTokenInformation"},
    {DllAdvapi32, "ConvertStringSecurityDescriptorToSecurityDescriptorA"},
    {DllComctl32, "InitCommonControls"},         {DllVersion, "GetFileVersionInfoSizeA"},
    {DllVersion, "GetFileVersionInfoA"},         {DllVersion, "VerQueryValueA"},
};
static_assert(sizeof(SystemApis) / sizeof(SystemApis[0]) == SystemApiCount, "one entry per SystemApi");

static HMODULE SystemDlls[SystemDllCount];
static bool SystemDllTried[SystemDllCount];
// Set once the system searches only its own folder for every load.
static bool SearchRestricted = false;

typedef BOOL(WINAPI* FindActCtxSectionStringCall)(DWORD Flags, const GUID* Extension, ULONG Section, const char* Name,
                                                  ACTCTX_SECTION_KEYED_DATA* Data);

// Whether the process's activation context (the manifest) redirects the DLL
// to an assembly of the system's store. The loader then resolves a load by
// name there and never searches the program's folder.
static bool RedirectedByManifest(const char* DllName)
{
    FindActCtxSectionStringCall Find = (FindActCtxSectionStringCall)(void*)FindSystemApi(ApiFindActCtxSectionStringA);
    ACTCTX_SECTION_KEYED_DATA Data = {};
    Data.cbSize = sizeof(Data);
    return Find && Find(0, 0, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, DllName, &Data);
}

static HMODULE LoadSystemDll(int Dll)
{
    if (SystemDllTried[Dll]) return SystemDlls[Dll];
    SystemDllTried[Dll] = true;
    if (Dll == DllComctl32 && RedirectedByManifest(SystemDllNames[Dll])) {
        SystemDlls[Dll] = LoadLibraryExA(SystemDllNames[Dll], 0, 0);
        return SystemDlls[Dll];
    }
    Str Folder = GetSystemDir();
    if (Folder.Empty()) return 0;
    // Where the search is not restricted, LOAD_WITH_ALTERED_SEARCH_PATH makes
    // the DLL's own imports come from its folder too, not from the program's.
    DWORD Flags = SearchRestricted ? 0 : LOAD_WITH_ALTERED_SEARCH_PATH;
    SystemDlls[Dll] = LoadLibraryExA((AddBackslash(Folder) + SystemDllNames[Dll]).c_str(), 0, Flags);
    return SystemDlls[Dll];
}

FARPROC FindSystemApi(SystemApi Api)
{
    if ((unsigned)Api >= SystemApiCount) return 0;
    HMODULE Module = LoadSystemDll(SystemApis[Api].Dll);
    return Module ? GetProcAddress(Module, SystemApis[Api].Name) : 0;
}

typedef BOOL(WINAPI* SetDefaultDllDirectoriesCall)(DWORD Flags);
typedef BOOL(WINAPI* SetDllDirectoryCall)(const char* Folder);

void RestrictDllSearch()
{
    SetDefaultDllDirectoriesCall SetDefault =
        (SetDefaultDllDirectoriesCall)(void*)FindSystemApi(ApiSetDefaultDllDirectories);
    if (SetDefault && SetDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) SearchRestricted = true;
    // Without the call above (XP, Vista and 7 without the update) the
    // program's folder stays in the search: there the full paths of
    // FindSystemApi are what keeps the program's own loads safe.
    SetDllDirectoryCall SetDirectory = (SetDllDirectoryCall)(void*)FindSystemApi(ApiSetDllDirectoryA);
    if (SetDirectory) SetDirectory("");
}
