// The installation log; see Log.h. The first entry reads the existing file,
// so a log of an earlier run keeps its lines; a name without a folder is
// placed in the Windows directory, as the platform's profile calls do.
#include "Log.h"

#include <windows.h>

#include "oxFileUtils.h"
#include "oxStrUtils.h"

bool LogEnabled = false;
Str LogFileName;

static LogText Text;
static Str LoadedPath;         // the file Text belongs to; empty before the first entry
static bool Unusable = false;  // the existing file could not be read: never overwrite it
static bool Unwritten = false; // Text holds entries the file does not
static DWORD LastFlushTick = 0;
static DWORD LastFlushCost = 0; // ms the last write of the file took

Str LogPathOf(const Str& Name)
{
    bool HasFolder = Name.Find('\\') >= 0 || Name.Find('/') >= 0 || Name.At(1) == ':';
    if (HasFolder) return Name;
    return AddBackslash(GetWindowsDir()) + Name;
}

// Writes Bytes into a new file beside Path and puts it in Path's place. A
// read-only log is left alone, as the profile calls left it.
static bool WriteWholeLog(const char* Path, const Str& Bytes)
{
    DWORD Attributes = GetFileAttributesA(Path);
    if (Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_READONLY)) return false;
    Str Temporary = MakeTempFileBeside(Path);
    if (Temporary.Empty()) return false;
    HANDLE File = CreateFileA(Temporary.c_str(), GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    bool Written = false;
    if (File != INVALID_HANDLE_VALUE) {
        DWORD Put = 0;
        Written = WriteFile(File, Bytes.c_str(), (DWORD)Bytes.Length(), &Put, 0) && Put == (DWORD)Bytes.Length();
        if (!CloseHandle(File)) Written = false;
    }
    if (Written && PutFileInPlace(Temporary.c_str(), Path)) return true;
    DeleteFileA(Temporary.c_str());
    return false;
}

void FlushLog()
{
    DWORD Start = GetTickCount();
    LastFlushTick = Start;
    if (!Unwritten || Unusable) return;
    // A failed write is tried again with the next flush, with every entry.
    if (WriteWholeLog(LoadedPath.c_str(), LogTextJoin(&Text))) Unwritten = false;
    LastFlushCost = GetTickCount() - Start;
}

// Records Key=Value in the section when the log is on and has a file name;
// an existing key of that name keeps its place.
static void WriteLogEntry(LogSection Section, const char* Key, const char* Value)
{
    if (!LogEnabled || LogFileName.Empty()) return;
    Str Path = LogPathOf(LogFileName);
    if (Path != LoadedPath) {
        if (!LoadedPath.Empty()) FlushLog();
        LoadedPath = Path;
        Str Bytes;
        bool Missing = false;
        Unusable = !ReadWholeFile(Path.c_str(), &Bytes, &Missing) && !Missing;
        LogTextLoad(&Text, Bytes.c_str(), Bytes.Length()); // empty unless read
        Unwritten = false;
        LastFlushTick = GetTickCount();
        LastFlushCost = 0;
    }
    if (LogTextSet(&Text, Section, Key, Value)) Unwritten = true;
    // The next write while entries come in: after LogFlushIntervalMs, or
    // later when a write takes long (a large log), so that writing the whole
    // file stays a small part of the run however many files it lists.
    DWORD Wait = LastFlushCost * LogFlushCostFactor;
    if (Wait < LogFlushIntervalMs) Wait = LogFlushIntervalMs;
    if (GetTickCount() - LastFlushTick >= Wait) FlushLog();
}

void LogCopiedFile(const char* Path) { WriteLogEntry(LogCopyFileSection, Path, ""); }

void LogRegistryValue(const char* Path, const char* Data) { WriteLogEntry(LogAddRegSection, Path, Data); }

void LogMadeFolder(const char* Path) { WriteLogEntry(LogMakeDirSection, Path, ""); }

void LogUninstallValue(const char* Key, const char* Value) { WriteLogEntry(LogUninstallSection, Key, Value); }
