// Numbers of the archive format: the marker, block types, header layouts and
// flags, and the sizes of the reader's buffers. One place, so the reader,
// tarnpack's writer and the tests agree on every value.
#pragma once

#include <stdint.h>

// ---- marker and block headers ----
enum {
    ArcMarkerSize = 7,             // "Rar!" 0x1A 0x07 0x00
    ArcOldMarkerSize = 4,          // "RE~^", the refused old format
    ArcMainHeaderSize = 13,        // fixed part of the main header
    ArcCommonHeaderSize = 7,       // CRC, type, flags, header size
    ArcDataSizeEnd = 11,           // common header plus the 32-bit data size
    ArcFileHeaderSize = 32,        // fixed part of a file header, before the name
    ArcMarkerSearchSize = 0x3FFF0, // bytes after offset 7 searched for the marker
    ArcSearchBufferSize = 0x40000, // the search buffer (a little more than read)
    ArcMainTypeOffset = 9,         // the main header's type byte, counted from the "R"
    ArcOldSfxTagOffset = 28,       // "RSFX" at file offset 28 marks an old self-extractor
};

inline constexpr uint8_t ArcMarker[ArcMarkerSize] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};

// Block types (byte 2 of the common header).
enum {
    ArcBlockMain = 0x73,
    ArcBlockFile = 0x74,
    ArcBlockSub = 0x77,
    ArcBlockEnd = 0x7B, // the end of the archive (7 bytes, no data)
};

// Common header flags.
enum {
    ArcFlagHasData = 0x8000,       // a data area of the size at offset 7 follows the header
    ArcFlagSkipIfUnknown = 0x4000, // readers that do not know the block pass over it
};

// Main header flags.
enum {
    ArcMainVolume = 0x0001,
    ArcMainLocked = 0x0004, // written by tarnpack, no effect on reading
    ArcMainSolid = 0x0008,
};

// File header flags.
enum {
    ArcFileSplitBefore = 0x0001, // continued from the previous volume
    ArcFileSplitAfter = 0x0002,  // continued in the next volume
    ArcFileEncrypted = 0x0004,
    ArcFileComment = 0x0008,
    ArcFileSolid = 0x0010,     // continues the stream of the entries before
    ArcFileDictMask = 0x00E0,  // dictionary size code ...
    ArcFileDirectory = 0x00E0, // ... whose all-ones value marks a directory
    ArcFileDict1M = 0x0080,    // ... code 4: the 1 MiB window
};

// Offsets inside the fixed part of a file header.
enum {
    ArcHdrCrcOffset = 0,
    ArcHdrTypeOffset = 2,
    ArcHdrFlagsOffset = 3,
    ArcHdrSizeOffset = 5,
    ArcHdrPackedOffset = 7, // also the data size of any block with ArcFlagHasData
    ArcHdrUnpackedOffset = 11,
    ArcHdrHostOffset = 15,
    ArcHdrDataCrcOffset = 16,
    ArcHdrTimeOffset = 20,
    ArcHdrVersionOffset = 24,
    ArcHdrMethodOffset = 25,
    ArcHdrNameSizeOffset = 26,
    ArcHdrAttrOffset = 28,
};

// Host systems; attributes of the first three are Win32 attribute bits,
// Unix stores its mode bits.
enum {
    ArcHostMsDos = 0,
    ArcHostOs2 = 1,
    ArcHostWin32 = 2,
    ArcHostUnix = 3,
};

enum {
    ArcMethodStored = 0x30,
    ArcMethodBest = 0x35, // what tarnpack writes for packed entries
    ArcVersion20 = 20,    // version needed: the 2.0 method
};

// Win32 attribute bits the reader sets or derives.
enum {
    ArcAttrReadOnly = 0x01,
    ArcAttrDirectory = 0x10,
    ArcAttrArchive = 0x20,
    ArcAttrNormal = 0x80,
};
enum { ArcUnixOwnerWrite = 0200 }; // Unix mode bit: the owner may write

// ---- buffers ----
enum {
    ArcWindowSize = 0x100000, // the 1 MiB sliding window
    ArcWindowMask = ArcWindowSize - 1,
    ArcStoredBufferSize = 32768, // stored entries are copied through this
    ArcPathSize = 260,           // at most 259 path bytes and a terminating zero
};

static const uint32_t ArcCrcPolynomial = 0xEDB88320u;

// Numbers of the format are little-endian.
static inline uint32_t ArcGetLe16(const uint8_t* P) { return (uint32_t)P[0] | ((uint32_t)P[1] << 8); }
static inline uint32_t ArcGetLe32(const uint8_t* P)
{
    return (uint32_t)P[0] | ((uint32_t)P[1] << 8) | ((uint32_t)P[2] << 16) | ((uint32_t)P[3] << 24);
}
