// The presetup stage: unpacks the setup resources (the archive's entries
// under "Presetup\") flat into the run's temporary directory behind a small progress
// window, and adds up the unpacked sizes of the entries a mask selects.
#pragma once

#include "TarnStr.h"

// Extracts every leading Presetup\ entry of the archive in ArchiveName (the
// program's own, OwnFileName) into Directory (ending in "\"). False after
// any failure; the messages ("Cannot create init window!", "Archive open
// error!", "Cannot extract file " and the entry's name, the damaged-setup
// message) are shown here.
bool ExtractPresetup(const char* ArchiveName, const char* Directory);

// Adds the unpacked sizes of the entries of the archive in ArchiveName that
// match Mask (case ignored). With a Selection, only entries whose name less
// its first PrefixLength characters is a name in Selection count. With
// StopAtMismatch the walk ends at the first entry that does not match.
// 0 with "Archive open error!" when the archive cannot be opened; the sum so
// far with "File extracting error!" when an entry cannot be passed over.
// 64 bits wide so that no total wraps. *Damaged (when given) tells whether
// the walk ended before the archive's proper end (a cut or damaged header).
unsigned long long SumEntrySizes(const char* ArchiveName, const char* Mask, int PrefixLength, const StrList* Selection,
                                 bool StopAtMismatch, bool* Damaged = 0);

// The full path of the running program (where its archive is).
Str OwnFileName();
