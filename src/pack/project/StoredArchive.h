// Writes an archive of stored (uncompressed) entries in the block format the
// stub reads: marker, main header, one file header per entry. Used for
// `tarnpack build --store` and as the simplest possible setup payload.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace PackBuild {

struct StoredEntry {
    std::string Name;          // backslash separators
    const std::vector<uint8_t>* Data;
    uint32_t DosTime;
};

// The whole archive, starting with its marker.
std::vector<uint8_t> WriteStoredArchive(const std::vector<StoredEntry>& Entries);

// Standard reflected CRC-32 (polynomial 0xEDB88320) of the whole buffer.
uint32_t Crc32Of(const uint8_t* Data, size_t Size);
// DOS date (high 16 bits) and time (low 16 bits) in the build host's local
// time; times before 1980 become 1980-01-01 00:00.
uint32_t DosTimeFromUnixTime(int64_t UnixSeconds);

} // namespace PackBuild
