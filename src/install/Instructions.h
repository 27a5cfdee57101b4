// The installation instructions: the [CopyFile] and [AddReg] sections of the
// *.ins files (and their [CopyFile.<language>] / [AddReg.<language>] forms)
// read into CopyList and RegList, and the registry values written after the
// files are in place.
#pragma once

#include "TarnStr.h"

// Called for each entry of each group: entry name, entry value and the
// group's value (destination directory or registry key), all expanded.
typedef void (*InstructionHandler)(const Str& Name, const Str& Value, const Str& GroupValue);

// Adds the file's instructions to CopyList and RegList, in the order
// [CopyFile], [AddReg], [CopyFile.<LanguageCode>], [AddReg.<LanguageCode>].
// A missing file or section adds nothing.
void ReadInstructionFile(const char* Path);
// Calls Handler for every entry of every group section that Section names.
void ForEachInstructionEntry(const char* Path, const char* Section, InstructionHandler Handler);
// SourceName = target path [,version] in CopyList (a later entry for the
// same source replaces the earlier one where it stands).
void AddCopyEntry(const Str& SourceName, const Str& TargetSpec, const Str& DestinationDirectory);
// Key path\ValueName = Data in RegList; empty Data removes an earlier entry.
void AddRegEntry(const Str& ValueName, const Str& Data, const Str& RegistryKeyPath);
// Writes RegList into the registry ("#n" as a DWORD, else a string) and logs
// the values that did not exist before (the log is written when it ends).
// A path without a known root is neither written nor logged. False, after
// an error box naming the value, when a value could not be written; the
// values after it are not written.
bool ApplyRegistryValues();
