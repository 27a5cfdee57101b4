/* A DLL as an attacker would plant it beside a setup. When it is loaded it
   leaves a marker next to itself (its own path + ".loaded"); every export is
   forwarded to the system's copy (the .def file that make-forwarders.py
   makes from that copy), so a program that loads it goes on working.
   Built by tests/e2e/security_dll_planting.sh with the compiler of the
   setup's architecture, once per DLL name.

   Built with -DPLANTED_VERSION it also serves the three calls an older stub
   imported from version.dll itself, leaving a second marker (path + ".used")
   when a program calls through it: Wine's own advapi32 imports version.dll,
   which no Windows does, so under Wine that DLL is loaded into every
   program and only its use can tell the setup's doing. */
#include <windows.h>

static HINSTANCE Self;

static void LeaveMarker(const char* Suffix)
{
    char Marker[MAX_PATH + 16];
    DWORD Length = GetModuleFileNameA(Self, Marker, MAX_PATH);
    HANDLE File;
    if (Length == 0 || Length >= MAX_PATH) return;
    lstrcatA(Marker, Suffix);
    File = CreateFileA(Marker, GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    if (File != INVALID_HANDLE_VALUE) CloseHandle(File);
}

BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID Reserved)
{
    (void)Reserved;
    if (Reason == DLL_PROCESS_ATTACH) {
        Self = Instance;
        LeaveMarker(".loaded");
    }
    return TRUE;
}

#ifdef PLANTED_VERSION

/* The system's version.dll, by its full path. */
static FARPROC SystemVersionCall(const char* Name)
{
    static HMODULE System;
    char Path[MAX_PATH + 16];
    LeaveMarker(".used");
    if (!System) {
        GetSystemDirectoryA(Path, MAX_PATH);
        lstrcatA(Path, "\\version.dll");
        System = LoadLibraryA(Path);
    }
    return System ? GetProcAddress(System, Name) : 0;
}

typedef DWORD (WINAPI *SizeCall)(LPCSTR, LPDWORD);
typedef BOOL (WINAPI *InfoCall)(LPCSTR, DWORD, DWORD, LPVOID);
typedef BOOL (WINAPI *QueryCall)(LPCVOID, LPCSTR, LPVOID*, PUINT);

DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR File, LPDWORD Handle)
{
    SizeCall Call = (SizeCall)(void*)SystemVersionCall("GetFileVersionInfoSizeA");
    return Call ? Call(File, Handle) : 0;
}

BOOL WINAPI GetFileVersionInfoA(LPCSTR File, DWORD Handle, DWORD Size, LPVOID Data)
{
    InfoCall Call = (InfoCall)(void*)SystemVersionCall("GetFileVersionInfoA");
    return Call ? Call(File, Handle, Size, Data) : FALSE;
}

BOOL WINAPI VerQueryValueA(LPCVOID Block, LPCSTR SubBlock, LPVOID* Buffer, PUINT Length)
{
    QueryCall Call = (QueryCall)(void*)SystemVersionCall("VerQueryValueA");
    return Call ? Call(Block, SubBlock, Buffer, Length) : FALSE;
}

#endif
