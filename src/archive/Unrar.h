// The archive reader: finds the archive appended to a file (or at its start),
// walks its block headers and decodes entries packed with the 2.0 method.
// One process-wide reader: one archive open at a time, used by one thread at
// a time. Portable; all file access goes through the file layer (ArcFile.h).
#pragma once

#include <stdint.h>

enum ArcOpenMode {
    ArcModeList = 0, // ArcProcessEntry only moves to the next block
    ArcModeExtract = 1,
};

// Result codes of the extraction step.
enum ArcResult {
    ArcOk = 0,
    ArcDataError = 3,   // CRC mismatch, damaged data, read or write failure
    ArcCreateError = 6, // the output file cannot be created (or is refused)
    ArcNoMemory = 9,    // a buffer cannot be obtained
};

enum { ArcNameSize = 260 }; // at most 259 name bytes and a terminating zero

// Filled by ArcReadEntry for each file entry.
struct ArcEntryInfo {
    char Name[ArcNameSize]; // cleaned, backslash separators, relative
    uint32_t HeadFlags;
    uint32_t PackedSize;
    uint32_t UnpackedSize;
    uint32_t HostSystem;
    uint32_t DataCrc;
    uint32_t DosTime; // DOS date in the high 16 bits, time in the low
    uint32_t VersionNeeded;
    uint32_t Method;
    uint32_t Attributes;
};

typedef void* ArcHandle; // none is 0

// Why the last ArcOpen returned none.
enum ArcOpenFailure {
    ArcOpenNoFailure = 0,
    ArcOpenCannotOpen = 1, // the file cannot be opened (or its name is too long)
    ArcOpenNoArchive = 2,  // no archive found in the file
    ArcOpenOldFormat = 3,  // an archive in the old format, which is refused
    ArcOpenNoMemory = 4,   // the window cannot be allocated
};

// Opens FileName and finds the archive in it. 0 when the file cannot be
// opened, holds no archive, holds one in the old format, or memory is short.
ArcHandle ArcOpen(const char* FileName, int Mode);
// The next file entry (directory entries are passed over). False at the end
// of the archive. Returns the same entry again until ArcProcessEntry moves on.
bool ArcReadEntry(ArcHandle Handle, ArcEntryInfo* Info);
// Extracts (Extract true) or skips the current entry. DestDir and DestName may
// be null or empty. True exactly when the result code is ArcOk.
// ArcCreateError (the entry stays current): the file cannot be created, the
// destination is longer than 259 characters, or, without DestName, the entry's
// name would leave DestDir (see ArcIsSafeEntryName). ArcDataError: CRC
// mismatch, damaged data, a split or encrypted entry, a failed read or write
// (the file is deleted). ArcNoMemory: the archive is closed; stop.
bool ArcProcessEntry(ArcHandle Handle, bool Extract, const char* DestDir, const char* DestName);
// The same with the result code.
int ArcProcessEntryCode(ArcHandle Handle, bool Extract, const char* DestDir, const char* DestName);
// Closes the archive and releases the window. Safe after ArcNoMemory.
void ArcClose(ArcHandle Handle);
// ArcOpenFailure of the last ArcOpen.
int ArcLastOpenFailure();
// False for an entry name that extraction into a directory refuses: empty,
// rooted, with a drive, or with a ".." component.
bool ArcIsSafeEntryName(const char* Name);

// Decodes the current entry and checks its CRC without writing anything, in
// either open mode and for solid and non-solid entries alike; then moves past
// it. The result code as for ArcProcessEntryCode (never ArcCreateError).
int ArcTestEntryCode(ArcHandle Handle);
// Why the walk ended once ArcReadEntry returned false: ArcOk at the end of
// the archive (its end block, or the end of the file between two blocks),
// ArcDataError when the archive is cut short (inside a block header or an
// entry's data), at a damaged file header (a name longer than ArcNameSize - 1
// bytes, or more name than header) or a failed read.
int ArcWalkResult(ArcHandle Handle);

// Called with the count of bytes decoded, a piece at a time, while entries
// are extracted or tested (for a progress display). 0 for none.
typedef void (*ArcProgressCallback)(uint32_t Bytes);
void ArcSetProgressCallback(ArcProgressCallback Callback);
