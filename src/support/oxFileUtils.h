// Files and directories through Win32: the system's directories, the run's
// temporary name and folder, recursive deletion, directory paths, free disk
// space and the newer-file test of the installation. The portable half is
// oxFileUtilsCore.h. Nothing here shows a message.
#pragma once

#include <windows.h>

#include "oxFileUtilsCore.h"

// True when Path exists (a file or a directory).
bool PathExists(const char* Path);
// True when Path exists and is a file (not a directory).
bool FileExists(const char* Path);

Str GetTempDir();    // with trailing backslash; empty on failure
Str GetWindowsDir(); // without trailing backslash; empty on failure
Str GetSystemDir();  // without trailing backslash; empty on failure
// An 8-character name (from the local time) that names nothing existing in Dir.
Str MakeTempName(const char* Dir);
// The Temp folder of the Windows folder, with trailing backslash; empty on
// failure. Unlike the user's Temp folder, which the environment names, no
// user can redirect it.
Str GetSystemTempDir();
// Fills Attributes with a security descriptor that lets only Administrators
// (the owner) and SYSTEM in, inherited by everything made below and nothing
// inherited from above. False when the system cannot make one (before
// Windows 2000). Free Attributes->lpSecurityDescriptor with LocalFree.
bool MakeAdminOnlySecurity(SECURITY_ATTRIBUTES* Attributes);
// Makes a new folder for a run's files and returns it with trailing
// backslash; empty when none can be made. The name comes from MakeTempName;
// a name that someone takes before the folder is made is passed over for
// the next, so the run never works in a folder it did not make. AdminOnly
// (an elevated run): in GetSystemTempDir, with MakeAdminOnlySecurity's
// descriptor, or not at all.
Str CreateRunTempDir(bool AdminOnly);
// True when Path exists and is a directory.
bool DirExists(const char* Path);
// Deletes everything below Path, and Path itself when RemoveSelf is set
// (without it, subdirectories are emptied but kept). Junctions are removed,
// never followed. False when Path is no directory or anything could not be
// deleted; deletion goes on after a failure.
bool DeleteDirectory(const char* Path, bool RemoveSelf);
// Creates Path and its missing parents; reports nothing (check with DirExists).
void MakeDirPath(const char* Path);
// A new empty file with a unique name in the folder of Path (GetTempFileNameA,
// "Tar" and a number); empty when none can be made there.
Str MakeTempFileBeside(const char* Path);
// Renames NewFile to Target, replacing a file there (also a read-only one).
// False when Target cannot be replaced (in use, no rights, no such folder):
// then both files are as they were. (On the 95 family the old file is
// deleted first; a rename that fails after that leaves only NewFile.)
bool PutFileInPlace(const char* NewFile, const char* Target);
// The whole file into *Bytes. False (and *Bytes empty) when it cannot be
// opened or read whole; *Missing, when given, then tells whether the reason
// is that the file or its folder does not exist.
bool ReadWholeFile(const char* Path, Str* Bytes, bool* Missing = 0);
// Free KiB available to the caller on the disk of the existing directory
// Path; 0 on failure, 0xFFFFFFFF when more is free than 32 bits can count.
unsigned DiskFreeKB(const char* Path);
// The fixed file version words; false when the file has no version resource.
bool GetFileVersion(const char* FileName, unsigned* MS, unsigned* LS);
// True when FileName exists and is newer than Version ("a.b.c.d"), or, when
// Version is empty or the file has no version resource, when its last-write
// time is later than Date (a date-time as DosTimeToDateTime gives). False
// when no such file exists.
bool ExistingFileIsNewer(const char* Version, const char* FileName, double Date);
