// The resources of a Windows program (a PE file) as a flat list: read from
// its resource section, and written back as a new section in place of the
// old one. tarnpack uses it to give a setup its own manifest level, version
// information and icon. What the setup means by them is SetupResources'
// concern; this module only knows the file format.
//
// The rewrite needs the resource section to be the program's last section,
// followed at most by the base relocations, which refer to no address of
// their own and are moved behind the new section. The stub is linked so.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace PackBuild {

// Resource types used here (winuser.h RT_...).
enum : uint16_t {
    ResourceTypeIcon = 3,       // one image of an icon
    ResourceTypeGroupIcon = 14, // an icon: its images by size and colour depth
    ResourceTypeVersion = 16,   // version information
    ResourceTypeManifest = 24,  // the manifest (name 1: the one read at start)
};

// A resource type or name: a number, or a text (stored in capitals, as the
// resource compilers do; Windows compares names without regard to case).
struct ResourceId {
    uint16_t Number = 0;
    std::u16string Text; // a named id when not empty

    static ResourceId Of(uint16_t Number);
    static ResourceId Named(const std::string& Ascii);
    bool IsNamed() const { return !Text.empty(); }
    bool operator==(const ResourceId& Other) const { return Number == Other.Number && Text == Other.Text; }
    // The order of a resource directory: names first (by their characters),
    // then numbers (ascending).
    bool operator<(const ResourceId& Other) const;
};

struct ResourceEntry {
    ResourceId Type;
    ResourceId Name;
    uint16_t Language = 0;
    uint32_t CodePage = 0;
    std::vector<uint8_t> Data;

    bool Is(uint16_t TypeNumber) const { return Type == ResourceId::Of(TypeNumber); }
};

// Every resource of the program Image, in directory order. False, with
// Problem set, when Image is not a PE program or its resource directory is
// damaged.
bool ReadResources(const std::vector<uint8_t>& Image, std::vector<ResourceEntry>& Entries, std::string& Problem);

// Replaces Image's resource section by one holding Entries; section sizes,
// the image size, the size of initialised data, the resource and relocation
// directories follow. The checksum is left alone (see UpdateImageChecksum).
// False, with Problem set and Image unchanged, when Image's layout does not
// allow it (see the top of this file) or data follows its last section.
bool ReplaceResources(std::vector<uint8_t>& Image, const std::vector<ResourceEntry>& Entries, std::string& Problem);

// Whether Image's header names a certificate table (the program is signed).
bool HasCertificateTable(const std::vector<uint8_t>& Image);

// When the program file at Path holds a checksum in its header (not 0), sets
// it for the whole file, whatever follows the image (the archive): what
// CheckSumMappedFile computes, 16-bit sums with the carries folded in, the
// checksum field counted as zero, plus the file's length. False when the
// file cannot be read or written.
bool UpdateFileChecksum(const std::string& Path);

// Little-endian fields of a byte image (the PE and resource formats): read
// at At (which must lie inside B), or appended.
uint16_t Get16(const std::vector<uint8_t>& B, size_t At);
uint32_t Get32(const std::vector<uint8_t>& B, size_t At);
void Append16(std::vector<uint8_t>& B, uint32_t V);
void Append32(std::vector<uint8_t>& B, uint32_t V);

} // namespace PackBuild
