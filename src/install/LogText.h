// The text of the installation log while a run adds to it, kept in memory
// so that a key costs the same whatever the size of the log: the file's lines
// as they were read, the keys of [CopyFile], and where each of the two
// sections ends. Log.cpp reads and writes the file; this part needs no Windows.
//
// The rules are those of the platform's profile writer (an existing key
// keeps its place, a new key follows the last key of its section, a missing
// section goes to the end of the file), with one exception: a [CopyFile]
// or [MakeDir] line is read whole, its key being the line without its final
// "=", so that a path holding "=" (C:\Tools=Old\File.txt) reads back exactly.
//
// Besides the files ([CopyFile]) and registry values ([AddReg]) a run
// created, the log records for the uninstaller the folders it created
// ([MakeDir], outermost first) and how the product is registered
// ([Uninstall]: Key, Root, Language).
#pragma once

#include "TarnStr.h"

enum LogSection {
    LogCopyFileSection = 0,
    LogAddRegSection = 1,
    LogMakeDirSection = 2,
    LogUninstallSection = 3,
    LogSectionCount = 4
};

struct LogText {
    StrList Lines;                // without their line ends
    int Header[LogSectionCount];  // line of "[Name]"; -1 while missing
    int KeysEnd[LogSectionCount]; // the line after the section's last key
    StrList CopyFileKeys{true};   // whole names: the keys of [CopyFile]
};

// Replaces Log with the lines of Text (CR LF, LF or CR line ends).
void LogTextLoad(LogText* Log, const char* Text, int Length);
// Key=Value in Section. [CopyFile] and [MakeDir] keys have no value (Value is ignored);
// an existing key (case ignored) stays where it stands, an [AddReg] key
// gets the new value. Blanks around Key and Value are dropped. True when the
// text changed.
bool LogTextSet(LogText* Log, int Section, const char* Key, const char* Value);
// The lines, each ended with CR LF.
Str LogTextJoin(const LogText* Log);

// The key of a key line of Section, blanks around it dropped: for [CopyFile]
// and [MakeDir] the line without one final "=", for the others the text
// before the first "=".
Str LogLineKey(const Str& Line, int Section);

// What an uninstall reads back from a log, in the order of the file.
struct UninstallRecord {
    StrList Files;           // [CopyFile]: full paths
    StrList Values;          // [AddReg]: full value paths (the data is not needed)
    StrList Folders;         // [MakeDir]: full paths, outermost first
    Str Key, Root, Language; // [Uninstall]
};
// Reads the log's text. False when it is no usable record: no [Uninstall]
// Key, a root other than HKLM or HKCU, a file or folder that is no full
// path, a value path under no known root, or a zero byte in the text.
bool ReadUninstallRecord(const char* Text, int Length, UninstallRecord* Record);
