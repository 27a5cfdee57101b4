// The installation instructions: the [CopyFile] and [AddReg] sections of the
// *.ins files (and their [CopyFile.<language>] / [AddReg.<language>] forms)
// read into CopyList and RegList, and the registry values written after the
// files are in place.
#pragma once

// Adds the file's instructions to CopyList and RegList, in the order
// [CopyFile], [AddReg], [CopyFile.<LanguageCode>], [AddReg.<LanguageCode>].
// A missing file or section adds nothing.
void ReadInstructionFile(const char* Path);
// Writes RegList into the registry ("#n" as a DWORD, else a string) and logs
// the values that did not exist before (the log is written when it ends).
// A path without a known root is neither written nor logged. False, after
// an error box naming the value, when a value could not be written; the
// values after it are not written.
bool ApplyRegistryValues();
