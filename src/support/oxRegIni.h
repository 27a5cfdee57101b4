// Typed reads of INI files (the setup script, the texts, the instruction
// files) through the platform's private-profile calls, and registry values
// named by one path text "HKCR\...", "HKCU\..." or "HKLM\..." whose last
// component is the value name. Nothing here shows a message or raises.
#pragma once

#include <windows.h>

#include "TarnStr.h"

// ---- INI files (a missing file, section or key gives the default) ----
// The value (cut to 1023 characters), or Default when the key is absent.
Str IniReadString(const char* File, const char* Section, const char* Key, const char* Default);
// Decimal or "$" hexadecimal (see TextToInt); Default when absent or not a number.
int IniReadInteger(const char* File, const char* Section, const char* Key, int Default);
// A colour value (0x00BBGGRR, negative for a system colour): as IniReadInteger.
inline int IniReadColor(const char* File, const char* Section, const char* Key, int Default)
{
    return IniReadInteger(File, Section, Key, Default);
}
// True only for the exact text "1"; Default when the key is absent.
bool IniReadBool(const char* File, const char* Section, const char* Key, bool Default);
// Merges the section's name=value pairs into List, in file order: new names
// are added, known names replaced in place, and an empty value deletes the
// entry. Each key has the value of the first key of its name, as
// IniReadString gives it (quotes dropped, at most 1023 characters).
void IniReadSection(const char* File, const char* Section, StrList* List);

// ---- registry (unknown root prefix, missing key or value: failure) ----
// Root is 0 when the path names no known root (the prefix is case-sensitive).
// ValueName is empty when Path ends with a backslash (the default value).
void SplitRegPath(const char* Path, HKEY* Root, Str* SubKey, Str* ValueName);
// In: *Size = the buffer size; out: the data size. False on any failure.
bool RegReadValue(const char* Path, DWORD ValueType, void* Buffer, DWORD* Size);
// The stored text, or Default (also for data longer than 1024 bytes).
Str RegReadString(const char* Path, const char* Default);
// Replaces List with the names of the subkeys of the key the whole path
// names, in enumeration order; empty when the key cannot be opened.
void RegReadSubKeys(const char* Path, StrList* List);
// Creates missing keys on the way. False on any failure.
bool RegWriteValue(const char* Path, DWORD ValueType, const void* Data, DWORD Size);
bool RegWriteString(const char* Path, const char* Value); // REG_SZ; false on failure
bool RegWriteInteger(const char* Path, int Value);        // REG_DWORD; false on failure
// True when the value can be read.
bool RegValueExists(const char* Path);
// Deletes the value; true when it is gone (also when it was never there),
// else false with the registry's error code for GetLastError.
bool RegDeleteValuePath(const char* Path);
