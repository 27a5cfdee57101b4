// The test seams of TestSeams.h: active only when compiled with TARN_TEST_SEAMS.
#include "TestSeams.h"

#ifdef TARN_TEST_SEAMS

#include "oxStrUtils.h"

bool TestSeamRecordsExit(UINT Flags)
{
    char LogPath[MAX_PATH + 1];
    DWORD Length = GetEnvironmentVariableA("TARN_TEST_RESTART_LOG", LogPath, sizeof(LogPath));
    if (Length == 0 || Length >= sizeof(LogPath)) return false;
    HANDLE File = CreateFileA(LogPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, 0,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    if (File == INVALID_HANDLE_VALUE) return true; // never fall through to a real restart
    Str Line = Str("ExitWindowsEx flags=0x") + IntToBase((int)Flags, 2, 16) + "\r\n";
    DWORD Written;
    WriteFile(File, Line.c_str(), (DWORD)Line.Length(), &Written, 0);
    CloseHandle(File);
    return true;
}

#else

bool TestSeamRecordsExit(UINT)
{
    return false;
}

#endif
