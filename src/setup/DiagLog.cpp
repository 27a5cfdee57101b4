// The diagnostic log; see DiagLog.h. Lines are built whole and written with
// one call on a handle opened for appending. There is no buffer of ours, so a
// line written stays written if the process dies; the log goes to the disk
// after an error line and at the close, not after every line: a flush per
// installed file would cost an installation of many files minutes.
#include "DiagLog.h"

#include <windows.h>
#include <stdlib.h>
#include <string.h>

#include "TarnStr.h"

enum {
    StampSize = 32,     // "2026-12-10 11:34:48.123 " and the terminator
    ErrorCodeSize = 40, // " (system error 4294967295)" and the line end
};

// Null while no log is open (not INVALID_HANDLE_VALUE: an initialised
// variable would give the stub a data section of its own).
static HANDLE LogFile = 0;

bool DiagLogOpen(const char* Path)
{
    DiagLogClose();
    HANDLE File = CreateFileA(Path, FILE_APPEND_DATA, FILE_SHARE_READ, 0, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    if (File == INVALID_HANDLE_VALUE) return false;
    LogFile = File;
    return true;
}

// One line: time stamp, Prefix, What, Detail, the system's error code unless 0.
static void WriteLine(const char* Prefix, const char* What, const char* Detail, unsigned long SystemError)
{
    if (!LogFile) return;
    SYSTEMTIME Now;
    GetLocalTime(&Now);
    char* Line = (char*)CheckedAlloc(StampSize + strlen(Prefix) + strlen(What) + strlen(Detail) + ErrorCodeSize);
    wsprintfA(Line, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", Now.wYear, Now.wMonth, Now.wDay, Now.wHour, Now.wMinute,
              Now.wSecond, Now.wMilliseconds);
    strcat(strcat(strcat(Line, Prefix), What), Detail);
    if (SystemError != 0) wsprintfA(Line + strlen(Line), " (system error %lu)", SystemError);
    strcat(Line, "\r\n");
    DWORD Written = 0;
    WriteFile(LogFile, Line, (DWORD)strlen(Line), &Written, 0);
    free(Line);
}

void DiagLogLine(const char* What, const char* Detail) { WriteLine("", What, Detail, 0); }

void DiagLogError(const char* What, const char* Detail, unsigned long SystemError)
{
    WriteLine("error: ", What, Detail, SystemError);
    if (LogFile) FlushFileBuffers(LogFile);
}

void DiagLogClose()
{
    if (!LogFile) return;
    FlushFileBuffers(LogFile);
    CloseHandle(LogFile);
    LogFile = 0;
}
