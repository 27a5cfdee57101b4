// The installation log: an INI file that records, for a later uninstall,
// every file the run installed ([CopyFile], full path as key) and every
// registry value it created ([AddReg], value path = data). The run switches
// it on; nothing here shows a message, and write failures are silent.
//
// Entries are gathered in memory (LogText.h) and the file is written whole:
// while entries come in at most every LogFlushIntervalMs (and not before
// LogFlushCostFactor times the last write's duration has passed, so a large
// log costs no more than a small one per entry), and by FlushLog, which the
// run calls when the files are done and when the registry values are
// written. The file is replaced only by a complete new one.
#pragma once

#include "LogText.h"
#include "TarnStr.h"

// Set on the interface thread before the worker starts, only read afterwards.
extern bool LogEnabled;
extern Str LogFileName;

enum { LogFlushIntervalMs = 500, LogFlushCostFactor = 20 };

// "Path=" under [CopyFile]: the final path of an installed file.
void LogCopiedFile(const char* Path);
// "Path=Data" under [AddReg]: a registry value that did not exist before.
void LogRegistryValue(const char* Path, const char* Data);
// "Path=" under [MakeDir]: a folder the run created.
void LogMadeFolder(const char* Path);
// "Key=Value" under [Uninstall]: how the uninstaller finds the product.
void LogUninstallValue(const char* Key, const char* Value);
// Writes the entries not yet in the file. Nothing when there are none.
void FlushLog();
// Where the log of Name lies: a name without a folder is placed in the
// Windows directory, as the platform's profile calls place it.
Str LogPathOf(const Str& Name);
