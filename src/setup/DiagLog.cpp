// The diagnostic log; see DiagLog.h. Lines are built whole and written with
// one call on a handle opened for appending, then flushed: the log is small,
// and a line that is only in a buffer is lost with the process.
#include "DiagLog.h"

#include <windows.h>
#include <stdlib.h>

#include "TarnStr.h"

enum {
    StampSize = 32,     // "2026-12-10 11:34:48.123 " and the terminator
    ErrorCodeSize = 40, // " (system error 4294967295)" and the line end
};

static HANDLE LogFile = INVALID_HANDLE_VALUE;

bool DiagLogOpen(const char* Path)
{
    DiagLogClose();
    LogFile = CreateFileA(Path, FILE_APPEND_DATA, FILE_SHARE_READ, 0, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    return LogFile != INVALID_HANDLE_VALUE;
}

// One line: time stamp, What, Detail, the system's error code unless 0.
static void WriteLine(const char* What, const char* Detail, unsigned long SystemError)
{
    if (LogFile == INVALID_HANDLE_VALUE) return;
    SYSTEMTIME Now;
    GetLocalTime(&Now);
    char* Line = (char*)CheckedAlloc(StampSize + lstrlenA(What) + lstrlenA(Detail) + ErrorCodeSize);
    wsprintfA(Line, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", Now.wYear, Now.wMonth, Now.wDay, Now.wHour,
              Now.wMinute, Now.wSecond, Now.wMilliseconds);
    lstrcatA(lstrcatA(Line, What), Detail);
    if (SystemError != 0) wsprintfA(Line + lstrlenA(Line), " (system error %lu)", SystemError);
    lstrcatA(Line, "\r\n");
    DWORD Written = 0;
    WriteFile(LogFile, Line, (DWORD)lstrlenA(Line), &Written, 0);
    FlushFileBuffers(LogFile);
    free(Line);
}

void DiagLogLine(const char* What, const char* Detail) { WriteLine(What, Detail, 0); }

void DiagLogError(const char* Text, unsigned long SystemError) { WriteLine("error: ", Text, SystemError); }

void DiagLogClose()
{
    if (LogFile == INVALID_HANDLE_VALUE) return;
    CloseHandle(LogFile);
    LogFile = INVALID_HANDLE_VALUE;
}
