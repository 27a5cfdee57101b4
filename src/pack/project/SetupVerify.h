// Reads a finished setup file back with the stub's own archive reader and
// compares every entry with what was packed, before the file is handed out.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace PackBuild {

struct ExpectedEntry {
    std::string Name;
    const std::vector<uint8_t>* Data;
};

// True when the reader finds the archive in SetupPath and gives back exactly
// the expected entries, in order, byte for byte. Otherwise false and Problem
// says what differed. Progress (may be empty) gets bytes done and total.
bool VerifySetupFile(const std::string& SetupPath, const std::vector<ExpectedEntry>& Expected,
                     const std::function<void(uint64_t, uint64_t)>& Progress, std::string& Problem);

} // namespace PackBuild
