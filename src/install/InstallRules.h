// Small rules of the installation run that need no Windows: how an
// instruction entry becomes a target path, how a CopyList target splits into
// path and version, the progress position, and the safe filling of the
// "%s" texts. The Win32 side (Install.cpp, Instructions.cpp) calls these.
#pragma once

#include "TarnStr.h"

// The archive folder of the payload and the length of its prefix "Data\".
extern const char* const PayloadMask;
enum { PayloadPrefixLength = 5 };

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

// The part of Path after its last "\" or ":".
Str FileNamePart(const Str& Path);

// Registry data of an instruction: "#" + number is a DWORD (0 when the rest
// is no number), anything else a string written unchanged.
bool RegDataIsInteger(const Str& Data);
int RegDataInteger(const Str& Data);

// Progress bar position 0..100 for Done of Total bytes, rounded to the
// nearest whole percent with halves to even. Nothing to install (Total 0)
// counts as complete.
int ProgressPercent(unsigned long long Done, unsigned long long Total);

// Format with its first "%s" replaced by Name and "%%" by "%". Every other
// "%" stays as written: the formats come from the setup's own text file, and
// a stray "%d" must not make the program read arguments it was never given.
Str FormatWithName(const Str& Format, const char* Name);

// ---- the uninstaller ----
// The archive entry that carries the uninstaller in a setup (outside Data\,
// so no instruction can name it) and the Presetup file that marks an
// uninstaller's own archive; tarnpack writes both, and keeps projects from
// using the marker's name.
extern const char* const UninstallerEntryName;   // "Uninstall\Uninstall.exe"
extern const char* const UninstallerMarkerName;  // "Tarn.uninstall"
extern const char* const UninstallerDefaultName; // "Uninstall.exe", [Config] UninstallProgram
// Where Windows lists installed programs, below HKLM or HKCU.
extern const char* const UninstallKeysPath;
// A name that can stand below UninstallKeysPath: 1 to 255 characters, no
// backslash, no control character.
bool UninstallKeyIsValid(const Str& Key);
// The uninstaller's file name ([Config] UninstallProgram): a plain file
// name, no folder, none of the characters Windows refuses in names.
bool UninstallProgramNameIsValid(const Str& Name);
