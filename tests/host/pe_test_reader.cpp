// The tests' own PE reader; see pe_test_reader.h.
#include "pe_test_reader.h"

#include <cstring>

namespace {

uint32_t U16(const std::vector<uint8_t>& B, size_t At) { return At + 2 <= B.size() ? B[At] | B[At + 1] << 8 : 0; }
uint32_t U32(const std::vector<uint8_t>& B, size_t At)
{
    return At + 4 <= B.size() ? U16(B, At) | U16(B, At + 2) << 16 : 0;
}

bool IsNumber(const std::string& Text)
{
    return !Text.empty() && Text.find_first_not_of("0123456789") == std::string::npos;
}

} // namespace

bool TestPe::Parse(const std::vector<uint8_t>& Bytes, std::string& Why)
{
    File = Bytes;
    if (U16(File, 0) != 0x5A4D) return Why = "no MZ", false;
    uint32_t Pe = U32(File, 0x3C);
    if (U32(File, Pe) != 0x4550) return Why = "no PE signature", false;
    uint32_t SectionCount = U16(File, Pe + 6), OptionalSize = U16(File, Pe + 20);
    uint32_t Opt = Pe + 24;
    Plus = U16(File, Opt) == 0x20B;
    InitializedDataSize = U32(File, Opt + 8);
    SectionAlignment = U32(File, Opt + 32);
    FileAlignment = U32(File, Opt + 36);
    ImageSize = U32(File, Opt + 56);
    ChecksumOffset = Opt + 64;
    Checksum = U32(File, ChecksumOffset);
    uint32_t Directories = Opt + (Plus ? 112 : 96);
    for (int I = 0; I < 16; ++I) {
        DirectoryRva[I] = U32(File, Directories + 8 * I);
        DirectorySize[I] = U32(File, Directories + 8 * I + 4);
    }
    uint32_t Table = Opt + OptionalSize;
    for (uint32_t I = 0; I < SectionCount; ++I) {
        uint32_t At = Table + 40 * I;
        if (At + 40 > File.size()) return Why = "section table cut short", false;
        Section S;
        S.Name.assign((const char*)&File[At], strnlen((const char*)&File[At], 8));
        S.VirtualSize = U32(File, At + 8);
        S.Rva = U32(File, At + 12);
        S.RawSize = U32(File, At + 16);
        S.RawOffset = U32(File, At + 20);
        if ((uint64_t)S.RawOffset + S.RawSize > File.size()) return Why = S.Name + " outside the file", false;
        Sections.push_back(S);
    }
    return true;
}

const uint8_t* TestPe::AtRva(uint32_t Rva, uint32_t Size) const
{
    for (const Section& S : Sections)
        if (Rva >= S.Rva && (uint64_t)Rva + Size <= (uint64_t)S.Rva + S.RawSize)
            return &File[S.RawOffset + (Rva - S.Rva)];
    return nullptr;
}

namespace {

// One directory of the resource tree at Rva: the target of the entry whose
// id matches Key (a number, or a name compared as ASCII), or of the first
// entry when Key is empty. 0 when not found.
uint32_t Lookup(const TestPe& Pe, uint32_t Base, uint32_t Offset, const std::string& Key)
{
    const uint8_t* Dir = Pe.AtRva(Base + Offset, 16);
    if (!Dir) return 0;
    uint32_t Count = (Dir[12] | Dir[13] << 8) + (Dir[14] | Dir[15] << 8);
    for (uint32_t I = 0; I < Count; ++I) {
        const uint8_t* Entry = Pe.AtRva(Base + Offset + 16 + 8 * I, 8);
        if (!Entry) return 0;
        uint32_t Id, Target;
        std::memcpy(&Id, Entry, 4);
        std::memcpy(&Target, Entry + 4, 4);
        bool Match = Key.empty();
        if (!Match && (Id & 0x80000000u)) {
            const uint8_t* Text = Pe.AtRva(Base + (Id & 0x7FFFFFFF), 2);
            uint32_t Length = Text ? (Text[0] | Text[1] << 8) : 0;
            const uint8_t* Chars = Pe.AtRva(Base + (Id & 0x7FFFFFFF) + 2, 2 * Length);
            std::string Name;
            for (uint32_t C = 0; Chars && C < Length; ++C) Name += (char)Chars[2 * C];
            Match = Name == Key;
        } else if (!Match && IsNumber(Key)) {
            Match = Id == (uint32_t)std::stoul(Key);
        }
        if (Match) return Target; // never 0: offset 0 is the root directory
    }
    return 0;
}

} // namespace

bool TestPe::Resource(const std::string& Type, const std::string& Name, std::vector<uint8_t>& Data) const
{
    uint32_t Base = DirectoryRva[2];
    if (!Base) return false;
    uint32_t Names = Lookup(*this, Base, 0, Type);
    if (!(Names & 0x80000000u)) return false;
    uint32_t Languages = Lookup(*this, Base, Names & 0x7FFFFFFF, Name);
    if (!(Languages & 0x80000000u)) return false;
    uint32_t DataEntry = Lookup(*this, Base, Languages & 0x7FFFFFFF, "");
    if (DataEntry == 0 || (DataEntry & 0x80000000u)) return false;
    const uint8_t* Entry = AtRva(Base + DataEntry, 16);
    if (!Entry) return false;
    uint32_t Rva, Size;
    std::memcpy(&Rva, Entry, 4);
    std::memcpy(&Size, Entry + 4, 4);
    const uint8_t* Bytes = AtRva(Rva, Size);
    if (!Bytes) return false;
    Data.assign(Bytes, Bytes + Size);
    return true;
}

std::vector<std::string> TestPe::ResourceNames() const
{
    std::vector<std::string> Names;
    uint32_t Base = DirectoryRva[2];
    auto IdText = [&](uint32_t Id) {
        if (!(Id & 0x80000000u)) return std::to_string(Id);
        const uint8_t* Text = AtRva(Base + (Id & 0x7FFFFFFF), 2);
        uint32_t Length = Text ? (Text[0] | Text[1] << 8) : 0;
        std::string Name;
        for (uint32_t C = 0; C < Length; ++C) Name += (char)Text[2 + 2 * C];
        return Name;
    };
    const uint8_t* Types = AtRva(Base, 16);
    uint32_t TypeCount = Types ? (Types[12] | Types[13] << 8) + (Types[14] | Types[15] << 8) : 0;
    for (uint32_t T = 0; T < TypeCount; ++T) {
        const uint8_t* TypeEntry = AtRva(Base + 16 + 8 * T, 8);
        uint32_t TypeId, NamesAt;
        std::memcpy(&TypeId, TypeEntry, 4);
        std::memcpy(&NamesAt, TypeEntry + 4, 4);
        const uint8_t* NameDir = AtRva(Base + (NamesAt & 0x7FFFFFFF), 16);
        uint32_t NameCount = NameDir ? (NameDir[12] | NameDir[13] << 8) + (NameDir[14] | NameDir[15] << 8) : 0;
        for (uint32_t N = 0; N < NameCount; ++N) {
            const uint8_t* NameEntry = AtRva(Base + (NamesAt & 0x7FFFFFFF) + 16 + 8 * N, 8);
            uint32_t NameId;
            std::memcpy(&NameId, NameEntry, 4);
            Names.push_back(IdText(TypeId) + "/" + IdText(NameId));
        }
    }
    return Names;
}

uint32_t TestPeChecksum(const std::vector<uint8_t>& File, uint32_t ChecksumOffset)
{
    uint64_t Sum = 0;
    for (size_t At = 0; At < File.size(); At += 2) {
        uint32_t Word = File[At] | (At + 1 < File.size() ? File[At + 1] << 8 : 0);
        if (At >= ChecksumOffset && At < ChecksumOffset + 4) Word = 0;
        Sum += Word;
        Sum = (Sum & 0xFFFF) + (Sum >> 16);
    }
    return (uint32_t)(Sum + File.size());
}

namespace {

// One VS_VERSIONINFO node at At: its key, value and children (recursively).
bool WalkVersionNode(const std::vector<uint8_t>& B, size_t At, size_t End, int Depth,
                     std::map<std::string, std::string>& Texts, uint16_t FileVersion[4])
{
    uint32_t Length = U16(B, At), ValueLength = U16(B, At + 2), Type = U16(B, At + 4);
    if (Length < 6 || At + Length > End || Depth > 4) return false;
    size_t P = At + 6;
    std::string Key;
    while (P + 2 <= At + Length && U16(B, P) != 0) {
        Key += (char)U16(B, P);
        P += 2;
    }
    P = (P + 2 + 3) & ~(size_t)3;
    size_t ValueBytes = Type == 1 ? 2 * ValueLength : ValueLength;
    if (Depth == 0) {
        if (Key != "VS_VERSION_INFO" || ValueLength != 52 || U32(B, P) != 0xFEEF04BD) return false;
        uint32_t Ms = U32(B, P + 8), Ls = U32(B, P + 12);
        FileVersion[0] = (uint16_t)(Ms >> 16);
        FileVersion[1] = (uint16_t)Ms;
        FileVersion[2] = (uint16_t)(Ls >> 16);
        FileVersion[3] = (uint16_t)Ls;
    } else if (Type == 1 && ValueLength > 0) {
        std::string Value;
        for (size_t C = 0; C + 1 < ValueLength; ++C) Value += (char)U16(B, P + 2 * C);
        Texts[Key] = Value;
    }
    P = (P + ValueBytes + 3) & ~(size_t)3;
    while (P + 6 <= At + Length) {
        if (!WalkVersionNode(B, P, At + Length, Depth + 1, Texts, FileVersion)) return false;
        P = (P + U16(B, P) + 3) & ~(size_t)3;
    }
    return true;
}

} // namespace

bool TestVersionTexts(const std::vector<uint8_t>& Resource, std::map<std::string, std::string>& Texts,
                      uint16_t FileVersion[4])
{
    return WalkVersionNode(Resource, 0, Resource.size(), 0, Texts, FileVersion);
}
