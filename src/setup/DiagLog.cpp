// The diagnostic log; see DiagLog.h. Lines are built whole and written with
// one call on a handle opened for appending, then flushed: the log is small,
// and a line that is only in a buffer is lost with the process.
#include "DiagLog.h"

#include <windows.h>
#include <stdlib.h>

#include "TarnStr.h"

enum { StampSize = 32 }; // "2026-12-10 11:34:48.123 " and the terminator

static HANDLE LogFile = INVALID_HANDLE_VALUE;

bool DiagLogOpen(const char* Path)
{
    DiagLogClose();
    LogFile = CreateFileA(Path, FILE_APPEND_DATA, FILE_SHARE_READ, 0, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    return LogFile != INVALID_HANDLE_VALUE;
}

void DiagLogLine(const char* What, const char* Detail)
{
    if (LogFile == INVALID_HANDLE_VALUE) return;
    SYSTEMTIME Now;
    GetLocalTime(&Now);
    char* Line = (char*)CheckedAlloc(StampSize + lstrlenA(What) + lstrlenA(Detail) + 2);
    wsprintfA(Line, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", Now.wYear, Now.wMonth, Now.wDay, Now.wHour,
              Now.wMinute, Now.wSecond, Now.wMilliseconds);
    lstrcatA(lstrcatA(lstrcatA(Line, What), Detail), "\r\n");
    DWORD Written = 0;
    WriteFile(LogFile, Line, (DWORD)lstrlenA(Line), &Written, 0);
    FlushFileBuffers(LogFile);
    free(Line);
}

void DiagLogError(const char* Text, unsigned long SystemError)
{
    char Code[StampSize] = "";
    if (SystemError != 0) wsprintfA(Code, " (system error %lu)", SystemError);
    DiagLogLine("error: ", (Str(Text) + Code).c_str());
}

void DiagLogClose()
{
    if (LogFile == INVALID_HANDLE_VALUE) return;
    CloseHandle(LogFile);
    LogFile = INVALID_HANDLE_VALUE;
}
