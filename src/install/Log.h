// The installation log: an INI file that records, for a later uninstall,
// every file the run installed ([CopyFile], full path as key) and every
// registry value it created ([AddReg], value path = data). The run switches
// it on; nothing here shows a message, and write failures are silent.
#pragma once

#include "TarnStr.h"

// Set on the interface thread before the worker starts, only read afterwards.
extern bool LogEnabled;
extern Str LogFileName;

// Section indexes of WriteLogEntry.
enum LogSection {
    LogCopyFileSection = 0,
    LogAddRegSection = 1
};

// Writes Key=Value into the section when the log is on and has a file name;
// an existing key of that name is replaced where it stands.
void WriteLogEntry(int Section, const char* Key, const char* Value);
// "Path=" under [CopyFile]: the final path of an installed file.
void LogCopiedFile(const char* Path);
// "Path=Data" under [AddReg]: a registry value that did not exist before.
void LogRegistryValue(const char* Path, const char* Data);
