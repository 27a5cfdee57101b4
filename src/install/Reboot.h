// Files in use: a new file extracted beside its target under a temporary
// name takes the target's place at the next start of Windows. The NT family
// keeps the pending operation in the registry (MoveFileExA); the 95 family
// reads the [Rename] section of wininit.ini.
#pragma once

// Arranges that at the next start of Windows TargetPath is replaced by
// TemporaryPath. False when the system did not accept the request; then
// nothing will happen at restart.
bool ScheduleReplaceAtRestart(const char* TemporaryPath, const char* TargetPath);

// The 95-family form: appends "NUL=TargetPath" (delete) and then
// "TargetPath=TemporaryPath" (rename) to [Rename] of WininitPath, keeping
// every line already there. False when the file cannot be written.
bool AddWininitRename(const char* WininitPath, const char* TemporaryPath, const char* TargetPath);
