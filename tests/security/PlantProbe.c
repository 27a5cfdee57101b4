/* The two programs that tell tests/e2e/security_dll_planting.sh what the
   planted DLLs do where the test runs, built with the setup's compiler:
   - plain: imports the DLLs the setup stub may import (KnownDLLs only).
     A planted DLL that it loads is loaded by the platform itself (Wine's own
     DLLs import DLLs that no Windows imports), so the setup's part in that
     load cannot be seen.
   - with -DIMPORT_PLANTED: imports version.dll and comctl32.dll as well, as
     an older stub did. It must load the planted copies (else the test proves
     nothing), and its calls must reach the system's copies through them:
     it prints "version calls: ok" and "comctl32 calls: ok". */
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <stdio.h>

/* One entry of each allowed DLL, so that each stays imported. */
void* volatile AllowedImports[] = {
    (void*)GetStockObject, (void*)GetDesktopWindow, (void*)RegCloseKey,
    (void*)SHGetSpecialFolderLocation, (void*)CoTaskMemFree,
};

int main(void)
{
#ifdef IMPORT_PLANTED
    char Kernel[MAX_PATH + 16];
    DWORD Handle = 0;
    INITCOMMONCONTROLSEX Controls = { sizeof(Controls), ICC_PROGRESS_CLASS };
    GetSystemDirectoryA(Kernel, MAX_PATH);
    lstrcatA(Kernel, "\\kernel32.dll");
    printf("version calls: %s\n", GetFileVersionInfoSizeA(Kernel, &Handle) ? "ok" : "failed");
    InitCommonControls();
    printf("comctl32 calls: %s\n", InitCommonControlsEx(&Controls) ? "ok" : "failed");
#endif
    return 0;
}
