// A second, deliberately small reader of PE files for the tests of the
// setup's own resources: written apart from src/pack/project/PeResources.cpp
// (walking the resource tree by lookup, not by listing it), so that a
// mistake made twice in the same way is unlikely to hide itself.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct TestPe {
    struct Section {
        std::string Name;
        uint32_t Rva, VirtualSize, RawOffset, RawSize;
    };
    bool Plus = false; // PE32+
    uint32_t ImageSize = 0, InitializedDataSize = 0, Checksum = 0, ChecksumOffset = 0;
    uint32_t FileAlignment = 0, SectionAlignment = 0;
    uint32_t DirectoryRva[16] = {}, DirectorySize[16] = {};
    std::vector<Section> Sections;
    std::vector<uint8_t> File;

    // False, with Why set, when File is not a PE file with its sections inside it.
    bool Parse(const std::vector<uint8_t>& Bytes, std::string& Why);
    // Size bytes at Rva, or null when they are not inside one section's file data.
    const uint8_t* AtRva(uint32_t Rva, uint32_t Size) const;
    // The data of resource Type/Name in its first language; a key that is
    // not a number ("MAINICON") is looked up as a name.
    bool Resource(const std::string& Type, const std::string& Name, std::vector<uint8_t>& Data) const;
    // "type/name" of every resource, numbers in decimal.
    std::vector<std::string> ResourceNames() const;
};

// The PE checksum of a whole file, computed the plain way: 16-bit words,
// carries folded, the checksum field skipped, plus the length.
uint32_t TestPeChecksum(const std::vector<uint8_t>& File, uint32_t ChecksumOffset);

// The texts of a VS_VERSIONINFO resource (key → value, ASCII only) and its
// file version numbers; false when the block is not well formed.
bool TestVersionTexts(const std::vector<uint8_t>& Resource, std::map<std::string, std::string>& Texts,
                      uint16_t FileVersion[4]);
