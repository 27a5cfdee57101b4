// The archive writer of tarnpack: turns a list of entries into one solid
// archive in the block format the stub reads (marker, main header, one file
// header per entry, packed data), compressed with our RAR 2.0 encoder.
// Reading the project, ordering entries and appending to the stub are left to
// the build command.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct PackEntry {
    std::string Name;          // archive name, backslash separators, relative
    std::vector<uint8_t> Data; // file contents
    uint32_t DosTime = 0;      // DOS date (high 16 bits) and time (low 16 bits), local time
};

enum { PackLevelFastest = 1, PackLevelDefault = 3, PackLevelBest = 5 };
enum { PackLzSymbols = 298 }; // symbols of the LZ literal/length table

struct PackSettings {
    int Level = PackLevelDefault; // 1 fastest .. 5 best; out of range values are clamped
    // Called now and then while packing; DoneBytes counts input bytes handled.
    std::function<void(uint64_t DoneBytes, uint64_t TotalBytes)> Progress;
};

struct PackEntryStats {
    uint64_t InputBytes = 0;
    uint64_t PackedBytes = 0;
    bool Stored = false;       // written with method 0x30
    uint64_t AudioBytes = 0;   // bytes coded in multimedia (audio) mode
};

struct PackStats {
    uint64_t InputBytes = 0;   // sum of the entries' sizes
    uint64_t OutputBytes = 0;  // size of the whole archive, headers included
    uint32_t StoredEntries = 0;
    uint32_t TableReads = 0;   // code tables written (stream start and switches)
    uint32_t AudioTableReads[5] = {};  // of them in audio mode, by channel count
    uint64_t SymbolUse[PackLzSymbols] = {};      // LZ symbols written (0-255 literals, 256 last match
                                       // again, 257-260 recent distances, 261-268 short
                                       // matches, 269 table switch, 270-297 new matches)
    uint64_t NewMatchBonusUse[3] = {}; // new matches with length bonus 0, 1, 2
    uint64_t RecentBonusUse[4] = {};   // recent-distance matches with bonus 0..3
    std::vector<PackEntryStats> Entries; // one per entry, in archive order
};

// The whole archive: marker, main header (flags 0x000C: solid, locked), file
// headers (version 20, method 0x35 or 0x30 for stored entries, host 2,
// attributes 0x20, first entry flags 0x8080 and then 0x8090, header CRCs),
// packed data. Stats may be null. The caller checks the input first: an empty
// name or one of 260 bytes or more throws std::invalid_argument, a total of
// 2 GiB or more std::length_error (the stub could not read such an archive).
std::vector<uint8_t> WriteArchive(const std::vector<PackEntry>& Entries, const PackSettings& Settings,
                                  PackStats* Stats);

// DOS date/time (local time) of a Unix time; times before 1980 give 1980-01-01 00:00.
uint32_t DosTimeFromUnix(int64_t UnixTime);

// Decodes Archive with the stub's reader (through a temporary file) and checks
// that every entry passes its CRC. False with a message in Error otherwise.
bool VerifyArchive(const std::vector<uint8_t>& Archive, std::string* Error);

// Same check, and also that the entries are exactly Entries (names and bytes).
bool VerifyArchiveContents(const std::vector<uint8_t>& Archive, const std::vector<PackEntry>& Entries,
                           std::string* Error);
