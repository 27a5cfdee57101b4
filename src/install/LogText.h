// The text of the installation log while a run adds to it, kept in memory
// so that a key costs the same whatever the size of the log: the file's lines
// as they were read, the keys of [CopyFile], and where each of the two
// sections ends. Log.cpp reads and writes the file; this part needs no Windows.
//
// The rules are those of the platform's profile writer (an existing key
// keeps its place, a new key follows the last key of its section, a missing
// section goes to the end of the file), with one exception: a [CopyFile]
// line is read whole, its key being the line without its final "=", so that
// a path holding "=" (C:\Tools=Old\File.txt) reads back exactly.
#pragma once

#include "TarnStr.h"

enum LogSection {
    LogCopyFileSection = 0,
    LogAddRegSection = 1,
    LogSectionCount = 2
};

struct LogText {
    StrList Lines;                     // without their line ends
    int Header[LogSectionCount];       // line of "[Name]"; -1 while missing
    int KeysEnd[LogSectionCount];      // the line after the section's last key
    StrList CopyFileKeys{true};        // whole names: the keys of [CopyFile]
};

// Replaces Log with the lines of Text (CR LF, LF or CR line ends).
void LogTextLoad(LogText* Log, const char* Text, int Length);
// Key=Value in Section. [CopyFile] keys have no value (Value is ignored);
// an existing key (case ignored) stays where it stands, an [AddReg] key
// gets the new value. Blanks around Key and Value are dropped. True when the
// text changed.
bool LogTextSet(LogText* Log, int Section, const char* Key, const char* Value);
// The lines, each ended with CR LF.
Str LogTextJoin(const LogText* Log);

// The key of a key line of Section, blanks around it dropped: for [CopyFile]
// the line without one final "=", for [AddReg] the text before the first "=".
Str LogLineKey(const Str& Line, int Section);
