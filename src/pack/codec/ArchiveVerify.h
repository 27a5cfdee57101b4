// Reads an archive back with the stub's own reader before tarnpack hands it
// out: every entry must decode, pass its CRC and, when the expected entries
// are given, be exactly what was packed, in order, byte for byte.
#pragma once

#include "ArchiveWriter.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using VerifyProgress = std::function<void(uint64_t DoneBytes, uint64_t TotalBytes)>;

// The archive in the file at ArchivePath (a plain archive or a setup with one
// appended). Expected null: only decoding and CRCs are checked. False with
// what went wrong in Problem. Progress may be empty.
bool VerifyArchiveFile(const std::string& ArchivePath, const std::vector<PackEntry>* Expected,
                       const VerifyProgress& Progress, std::string* Problem);

// The same for an archive held in memory.
bool VerifyArchiveBytes(const std::vector<uint8_t>& Archive, const std::vector<PackEntry>* Expected,
                        std::string* Problem);
