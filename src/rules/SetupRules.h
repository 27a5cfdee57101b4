// The setup's rules that need no Windows: which archive entries a group
// selects, how an instruction entry becomes a target path, how a CopyList
// target splits into path and version, the progress position, the safe
// filling of the "%s" texts and the names of dialogs. The stub runs them;
// tarnpack's project checks call the same code to say what the stub will do.
#pragma once

#include "SetupNames.h"
#include "TarnStr.h"

// Whether the archive entry Name belongs to the group of Mask (PresetupMask,
// PayloadMask): the mask matched without regard to case.
bool EntryInGroup(const Str& Name, const char* Mask);
// A dialog-sequence word as a template name: ASCII letters upper-cased.
Str DialogNameOf(const Str& Word);
// The stub's template of that name (exact, upper case); null when it has none.
const DialogTemplateName* FindDialogTemplate(const Str& Name);

// The instruction file named by one word of [Config] InsFiles: the word
// with its file extension replaced by ".ins" (appended when it has none).
Str InstructionFileName(const Str& Word);

// The CopyList value for one group entry: DestinationDirectory with a
// trailing backslash (none for an empty directory) + TargetName + the rest
// of TargetSpec from its first comma on. An empty TargetName stands for
// SourceName, so the source's subfolders reappear below the directory.
Str CopyTargetSpec(const Str& SourceName, const Str& TargetSpec, const Str& DestinationDirectory);
// A CopyList value "path[,version]" split in its two parts.
void SplitCopyTarget(const Str& TargetSpec, Str* TargetPath, Str* Version);

// The part of Path after its last "\" or ":" (also the name a Presetup entry
// is unpacked under).
Str FileNamePart(const Str& Path);

// Registry data of an instruction: "#" + number is a DWORD (0 when the rest
// is no number), anything else a string written unchanged.
bool RegDataIsInteger(const Str& Data);
int RegDataInteger(const Str& Data);

// Progress bar position 0..100 for Done of Total bytes (the presetup stage
// and the installation), rounded to the nearest whole percent with halves to
// even. Nothing to do (Total 0) and Done past Total count as complete.
int ProgressPercent(unsigned long long Done, unsigned long long Total);

// Format with its first "%s" replaced by Name and "%%" by "%". Every other
// "%" stays as written: the formats come from the setup's own text file, and
// a stray "%d" must not make the program read arguments it was never given.
Str FormatWithName(const Str& Format, const char* Name);

// ---- the uninstaller (names in SetupNames.h) ----
// A name that can stand below UninstallKeysPath: 1 to 255 characters, no
// backslash, no control character.
bool UninstallKeyIsValid(const Str& Key);
// The uninstaller's file name ([Config] UninstallProgram): a plain file
// name, no folder, none of the characters Windows refuses in names.
bool UninstallProgramNameIsValid(const Str& Name);
