// The test seams of TestSeams.h: active only when compiled with TARN_TEST_SEAMS.
#include "TestSeams.h"

#ifdef TARN_TEST_SEAMS

#include "oxStrUtils.h"

// DllGetVersion's record (shlwapi.h's DLLVERSIONINFO, without the header).
struct ControlsVersionInfo {
    DWORD Size, Major, Minor, Build, PlatformId;
};
typedef HRESULT(CALLBACK* DllGetVersionCall)(ControlsVersionInfo* Info);
// A message only the buttons of Common Controls 6 answer (commctrl.h).
static const UINT ButtonGetIdealSize = 0x1601; // BCM_GETIDEALSIZE

// Appends Line and CR LF to the file named by the environment variable.
// False when the variable is not set.
static bool AppendToSeamLog(const char* Variable, const Str& Line)
{
    char LogPath[MAX_PATH + 1];
    DWORD Length = GetEnvironmentVariableA(Variable, LogPath, sizeof(LogPath));
    if (Length == 0 || Length >= sizeof(LogPath)) return false;
    HANDLE File = CreateFileA(LogPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, 0);
    if (File == INVALID_HANDLE_VALUE) return true;
    Str Text = Line + "\r\n";
    DWORD Written;
    WriteFile(File, Text.c_str(), (DWORD)Text.Length(), &Written, 0);
    CloseHandle(File);
    return true;
}

bool TestSeamRecordsExit(UINT Flags)
{
    // Never fall through to a real restart once the variable is set.
    return AppendToSeamLog("TARN_TEST_RESTART_LOG", Str("ExitWindowsEx flags=0x") + IntToBase((int)Flags, 2, 16));
}

bool TestSeamFails(const char* Place)
{
    static bool Failed = false;
    char Wanted[32];
    DWORD Length = GetEnvironmentVariableA("TARN_TEST_FAIL_AT", Wanted, sizeof(Wanted));
    if (Failed || Length == 0 || Length >= sizeof(Wanted) || lstrcmpA(Wanted, Place) != 0) return false;
    Failed = true;
    return true;
}

void TestSeamNoteTitle(const char* Surface, HDC DC, const RECT& Area, int TextX, int TextY, const char* Text)
{
    SIZE Extent = {0, 0};
    GetTextExtentPoint32A(DC, Text, lstrlenA(Text), &Extent);
    AppendToSeamLog("TARN_TEST_UI_LOG", Str("title ") + Surface + " area " + IntToText(Area.right - Area.left) + "x" +
                                            IntToText(Area.bottom - Area.top) + " text " + IntToText(TextX) + "," +
                                            IntToText(TextY) + " " + IntToText(Extent.cx) + "x" + IntToText(Extent.cy) +
                                            " dpi " + IntToText(GetDeviceCaps(DC, LOGPIXELSY)));
}

void TestSeamNoteControls(HWND Page)
{
    static bool Noted = false;
    if (Noted) return;
    Noted = true;
    HMODULE Controls = GetModuleHandleA("comctl32.dll");
    char Path[MAX_PATH] = "";
    ControlsVersionInfo Version = {sizeof(ControlsVersionInfo), 0, 0, 0, 0};
    if (Controls) {
        GetModuleFileNameA(Controls, Path, MAX_PATH);
        DllGetVersionCall GetVersion = (DllGetVersionCall)(void*)GetProcAddress(Controls, "DllGetVersion");
        if (GetVersion) GetVersion(&Version);
    }
    HWND Button = FindWindowExA(Page, 0, "Button", 0);
    SIZE Ideal = {0, 0};
    bool Version6Buttons = Button && SendMessageA(Button, ButtonGetIdealSize, 0, (LPARAM)&Ideal);
    AppendToSeamLog("TARN_TEST_UI_LOG", Str("controls comctl32 ") + (Controls ? Path : "(not loaded)") + " version " +
                                            IntToText((int)Version.Major) + "." + IntToText((int)Version.Minor) +
                                            " buttons " + (Version6Buttons ? "v6" : "classic"));
}

#else

bool TestSeamRecordsExit(UINT) { return false; }

bool TestSeamFails(const char*) { return false; }

void TestSeamNoteTitle(const char*, HDC, const RECT&, int, int, const char*) {}

void TestSeamNoteControls(HWND) {}

#endif
