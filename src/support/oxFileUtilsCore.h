// The portable half of the file module: the arithmetic of KiB, dates,
// temporary names and version words, and the shape of paths. Host-tested;
// oxFileUtils.h adds the operations that call Win32.
#pragma once

#include "TarnStr.h"

// Dividend / Divisor (Divisor > 0) rounded to the nearest whole number, halves
// to the even one (1/2 -> 0, 3/2 -> 2): the one rounding of KiB figures,
// progress percentages and gradient bands.
unsigned long long RoundedQuotient(unsigned long long Dividend, unsigned long long Divisor);
// KiB for a byte count, rounded as RoundedQuotient (1535 -> 1, 1536 -> 2, 2560 -> 2, 511 -> 0).
unsigned long long RoundedKiB(unsigned long long Bytes);
// Day of the year (1..366) of a valid date; 0 when Month or Day is out of range.
int DayOfYear(int Year, int Month, int Day);
// The 8-character temporary name of a local time: IntToBase(day number, 3, 32)
// + IntToBase(hundredths of a second since midnight, 5, 32).
Str TempNameFromTime(int Year, int Month, int Day, int Hour, int Minute, int Second, int Milliseconds);
// A version text "a.b.c.d" as the two version words (missing or malformed
// numbers count as 0): MS = (a shl 16) + b, LS = (c shl 16) + d.
void ParseVersionText(const char* Version, unsigned* MS, unsigned* LS);
// True when FileMS.FileLS is greater than MS.LS (each word compared signed, MS first).
bool VersionIsNewer(unsigned FileMS, unsigned FileLS, unsigned MS, unsigned LS);
// The folder part of a file path: up to its last "\" (kept for a root, as in
// "C:\" or "\"), "C:" for "C:name", "." for a bare name.
Str FolderOfPath(const Str& Path);
// True for a full path: a drive letter, ":" and "\" (or "/"), or a network
// path "\\Server\Share". Empty, relative, rooted ("\Dir") and drive-relative
// ("C:Dir") paths are not.
bool IsFullPath(const Str& Path);
// A date-time (days since 30 December 1899, time of day as fraction) from a
// packed DOS date and time (date in the high word); 0 for an invalid date.
double DosTimeToDateTime(unsigned DosTime);
