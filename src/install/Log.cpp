// The installation log; see Log.h. The file is written through the
// platform's profile calls, so an existing log keeps its old lines and a
// name without a folder lands in the Windows directory.
#include "Log.h"

#include "oxRegIni.h"

bool LogEnabled = false;
Str LogFileName;

static const char* const LogSectionNames[] = {"CopyFile", "AddReg"};

void WriteLogEntry(int Section, const char* Key, const char* Value)
{
    if (!LogEnabled || LogFileName.Empty()) return;
    if (Section < LogCopyFileSection || Section > LogAddRegSection) return;
    // An empty value is written as "", so the key line stays.
    IniWriteString(LogFileName.c_str(), LogSectionNames[Section], Key, Value ? Value : "");
}

void LogCopiedFile(const char* Path) { WriteLogEntry(LogCopyFileSection, Path, ""); }

void LogRegistryValue(const char* Path, const char* Data) { WriteLogEntry(LogAddRegSection, Path, Data); }
