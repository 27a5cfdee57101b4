// Reading and rewriting the resource section of a PE program; see
// PeResources.h. Every offset and count read from the file is checked
// against the file's size before it is used.
#include "PeResources.h"

#include "Diagnostics.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>

namespace PackBuild {

namespace {

// ---- the PE format ----
const size_t DosNewHeaderOffset = 0x3C;  // e_lfanew: offset of "PE\0\0"
const uint32_t PeSignature = 0x00004550; // "PE\0\0"
const size_t CoffHeaderSize = 20;
const size_t CoffSectionCount = 2; // in the COFF header
const size_t CoffOptionalSize = 16;
const uint16_t OptionalMagicPe32 = 0x10B;
const uint16_t OptionalMagicPe32Plus = 0x20B;
// Offsets in the optional header (the same for PE32 and PE32+ up to the
// data directories).
const size_t OptInitializedDataSize = 8;
const size_t OptSectionAlignment = 32;
const size_t OptFileAlignment = 36;
const size_t OptImageSize = 56;
const size_t OptChecksum = 64;
const size_t OptDirectoryCountPe32 = 92;
const size_t OptDirectoryCountPe32Plus = 108;
const size_t DataDirectorySize = 8; // RVA, size
const size_t DirectorySecurity = 4; // the certificate table (a file offset, not an RVA)
const size_t DirectoryResource = 2;
const size_t DirectoryRelocation = 5;
const size_t SectionHeaderSize = 40;
const size_t SecVirtualSize = 8;
const size_t SecVirtualAddress = 12;
const size_t SecRawSize = 16;
const size_t SecRawOffset = 20;
const size_t SecCharacteristics = 36;
const uint32_t SectionInitializedData = 0x00000040; // IMAGE_SCN_CNT_INITIALIZED_DATA
// The checksum pass reads the headers from the first bytes, then the file in chunks.
const size_t HeaderReadSize = 64 * 1024;
const size_t ChecksumChunkSize = 1 << 20; // even: only the last chunk can end in half a word

// ---- the resource directory ----
// A directory: characteristics, time, version (4 + 4 + 2 + 2), then the
// counts of named and numbered entries; its entries follow, 8 bytes each:
// the name (bit 31: offset of a counted UTF-16 text, else the number) and
// the target (bit 31: offset of a subdirectory, else of a data entry).
// Levels: type, name, language. A data entry: RVA, size, code page, 0.
const size_t ResDirectorySize = 16;
const size_t ResDirNamedCount = 12;
const size_t ResDirNumberedCount = 14;
const size_t ResEntrySize = 8;
const size_t ResDataEntrySize = 16;
const uint32_t ResHighBit = 0x80000000u;
const int ResLevels = 3;
// A stub holds about twenty resources; a damaged tree whose entries point at
// the same directories again and again could list millions.
const size_t MaxResourceEntries = 4096;
const size_t ResDataAlignment = 8;

void Put32(std::vector<uint8_t>& B, size_t At, uint32_t V)
{
    for (int I = 0; I < 4; ++I) B[At + I] = (uint8_t)(V >> (8 * I));
}
uint32_t AlignUp(uint32_t Value, uint32_t Alignment) { return (Value + Alignment - 1) / Alignment * Alignment; }
bool Fits(const std::vector<uint8_t>& B, uint64_t At, uint64_t Size) { return At <= B.size() && Size <= B.size() - At; }

struct Section {
    size_t HeaderAt;
    std::string Name;
    uint32_t VirtualSize, VirtualAddress, RawSize, RawOffset, Characteristics;
};

struct Layout {
    size_t OptionalAt = 0;
    size_t DirectoriesAt = 0;
    uint32_t DirectoryCount = 0;
    uint32_t FileAlignment = 0, SectionAlignment = 0;
    std::vector<Section> Sections;

    uint32_t DirectoryRva(size_t Index, const std::vector<uint8_t>& B) const
    {
        return Index < DirectoryCount ? Get32(B, DirectoriesAt + Index * DataDirectorySize) : 0;
    }
    uint32_t DirectorySize(size_t Index, const std::vector<uint8_t>& B) const
    {
        return Index < DirectoryCount ? Get32(B, DirectoriesAt + Index * DataDirectorySize + 4) : 0;
    }
};

// The headers and the section table, from the first bytes of the file; with
// WholeFile, B is the whole file and every section must lie inside it.
bool ReadLayout(const std::vector<uint8_t>& B, Layout& Out, std::string& Problem, bool WholeFile = true)
{
    if (!Fits(B, 0, DosNewHeaderOffset + 4) || B[0] != 'M' || B[1] != 'Z')
        return Refuse(Problem, "not a Windows program (no \"MZ\" header)");
    size_t PeAt = Get32(B, DosNewHeaderOffset);
    if (!Fits(B, PeAt, 4 + CoffHeaderSize) || Get32(B, PeAt) != PeSignature)
        return Refuse(Problem, "not a PE program (no \"PE\" header)");
    size_t CoffAt = PeAt + 4;
    uint16_t SectionCount = Get16(B, CoffAt + CoffSectionCount);
    uint16_t OptionalSize = Get16(B, CoffAt + CoffOptionalSize);
    Out.OptionalAt = CoffAt + CoffHeaderSize;
    if (!Fits(B, Out.OptionalAt, OptionalSize) || OptionalSize < OptChecksum + 4)
        return Refuse(Problem, "the PE header is cut short");
    uint16_t Magic = Get16(B, Out.OptionalAt);
    if (Magic != OptionalMagicPe32 && Magic != OptionalMagicPe32Plus)
        return Refuse(Problem, "unknown kind of PE optional header");
    size_t CountAt = Magic == OptionalMagicPe32 ? OptDirectoryCountPe32 : OptDirectoryCountPe32Plus;
    if (OptionalSize < CountAt + 4) return Refuse(Problem, "the PE header has no data directories");
    Out.DirectoryCount = Get32(B, Out.OptionalAt + CountAt);
    Out.DirectoriesAt = Out.OptionalAt + CountAt + 4;
    if ((uint64_t)Out.DirectoryCount * DataDirectorySize > OptionalSize - CountAt - 4)
        return Refuse(Problem, "the PE header's data directories are cut short");
    Out.SectionAlignment = Get32(B, Out.OptionalAt + OptSectionAlignment);
    Out.FileAlignment = Get32(B, Out.OptionalAt + OptFileAlignment);
    if (Out.FileAlignment == 0 || Out.SectionAlignment == 0) return Refuse(Problem, "the PE header gives no alignment");
    size_t TableAt = Out.OptionalAt + OptionalSize;
    if (!Fits(B, TableAt, (uint64_t)SectionCount * SectionHeaderSize))
        return Refuse(Problem, "the section table is cut short");
    for (size_t I = 0; I < SectionCount; ++I) {
        size_t At = TableAt + I * SectionHeaderSize;
        Section S;
        S.HeaderAt = At;
        S.Name.assign((const char*)&B[At], strnlen((const char*)&B[At], 8));
        S.VirtualSize = Get32(B, At + SecVirtualSize);
        S.VirtualAddress = Get32(B, At + SecVirtualAddress);
        S.RawSize = Get32(B, At + SecRawSize);
        S.RawOffset = Get32(B, At + SecRawOffset);
        S.Characteristics = Get32(B, At + SecCharacteristics);
        if (WholeFile && S.RawSize && !Fits(B, S.RawOffset, S.RawSize))
            return Refuse(Problem, "section " + S.Name + " lies beyond the end of the file");
        Out.Sections.push_back(S);
    }
    return true;
}

// The section whose address range holds Rva, or -1.
int SectionOf(const Layout& L, uint32_t Rva)
{
    for (size_t I = 0; I < L.Sections.size(); ++I) {
        const Section& S = L.Sections[I];
        uint32_t Extent = std::max(S.VirtualSize, S.RawSize);
        if (Rva >= S.VirtualAddress && Rva - S.VirtualAddress < Extent) return (int)I;
    }
    return -1;
}

// ---- reading the resource tree ----

class TreeReader {
public:
    TreeReader(const std::vector<uint8_t>& Image, const Section& Sec) : B(Image), S(Sec) {}
    bool ReadDirectory(uint32_t Offset, int Level, ResourceEntry& Path, std::vector<ResourceEntry>& Entries);

private:
    const std::vector<uint8_t>& B;
    const Section& S;

    // Offset in the section → offset in the file, if Size bytes fit.
    bool At(uint32_t Offset, uint32_t Size, size_t& FileAt)
    {
        if ((uint64_t)Offset + Size > S.RawSize) return false;
        FileAt = S.RawOffset + Offset;
        return true;
    }
    bool ReadId(uint32_t NameField, ResourceId& Id);
};

bool TreeReader::ReadId(uint32_t NameField, ResourceId& Id)
{
    Id = ResourceId();
    if (!(NameField & ResHighBit)) {
        Id.Number = (uint16_t)NameField;
        return true;
    }
    size_t FileAt;
    if (!At(NameField & ~ResHighBit, 2, FileAt)) return false;
    uint16_t Length = Get16(B, FileAt);
    if (Length == 0 || !At((NameField & ~ResHighBit) + 2, 2u * Length, FileAt)) return false;
    for (uint16_t I = 0; I < Length; ++I) Id.Text += (char16_t)Get16(B, FileAt + 2 * I);
    return true;
}

bool TreeReader::ReadDirectory(uint32_t Offset, int Level, ResourceEntry& Path, std::vector<ResourceEntry>& Entries)
{
    size_t DirAt;
    if (!At(Offset, ResDirectorySize, DirAt)) return false;
    uint32_t Count = (uint32_t)Get16(B, DirAt + ResDirNamedCount) + Get16(B, DirAt + ResDirNumberedCount);
    size_t EntriesAt;
    if (!At(Offset + ResDirectorySize, Count * ResEntrySize, EntriesAt)) return false;
    for (uint32_t I = 0; I < Count; ++I) {
        uint32_t NameField = Get32(B, EntriesAt + I * ResEntrySize);
        uint32_t Target = Get32(B, EntriesAt + I * ResEntrySize + 4);
        bool IsDirectory = (Target & ResHighBit) != 0;
        // Types and names lead to directories, languages to data.
        if (IsDirectory != (Level < ResLevels - 1)) return false;
        if (Level == 0 && !ReadId(NameField, Path.Type)) return false;
        if (Level == 1 && !ReadId(NameField, Path.Name)) return false;
        if (Level == ResLevels - 1) {
            Path.Language = (uint16_t)NameField;
            size_t DataEntryAt, DataAt;
            if (!At(Target, ResDataEntrySize, DataEntryAt)) return false;
            uint32_t DataRva = Get32(B, DataEntryAt), DataSize = Get32(B, DataEntryAt + 4);
            if (DataRva < S.VirtualAddress || !At(DataRva - S.VirtualAddress, DataSize, DataAt)) return false;
            Path.CodePage = Get32(B, DataEntryAt + 8);
            Path.Data.assign(B.begin() + DataAt, B.begin() + DataAt + DataSize);
            if (Entries.size() >= MaxResourceEntries) return false;
            Entries.push_back(Path);
        } else if (!ReadDirectory(Target & ~ResHighBit, Level + 1, Path, Entries)) {
            return false;
        }
    }
    return true;
}

// ---- writing the resource tree ----

// Directories first (types, then each type's names, then each name's
// languages), then the data entries, the name texts and the data. Offsets
// are known before anything is written, so each part is written once.
std::vector<uint8_t> BuildTree(std::vector<ResourceEntry> Entries, uint32_t SectionRva)
{
    std::stable_sort(Entries.begin(), Entries.end(), [](const ResourceEntry& A, const ResourceEntry& B) {
        if (!(A.Type == B.Type)) return A.Type < B.Type;
        if (!(A.Name == B.Name)) return A.Name < B.Name;
        return A.Language < B.Language;
    });
    // Groups: the types, and per type its names, each with its languages.
    struct NameGroup {
        ResourceId Name;
        std::vector<size_t> Items;
    };
    struct TypeGroup {
        ResourceId Type;
        std::vector<NameGroup> Names;
    };
    std::vector<TypeGroup> Types;
    for (size_t I = 0; I < Entries.size(); ++I) {
        if (Types.empty() || !(Types.back().Type == Entries[I].Type)) Types.push_back({Entries[I].Type, {}});
        std::vector<NameGroup>& Names = Types.back().Names;
        if (Names.empty() || !(Names.back().Name == Entries[I].Name)) Names.push_back({Entries[I].Name, {}});
        Names.back().Items.push_back(I);
    }
    auto DirectoryBytes = [](size_t Count) { return ResDirectorySize + Count * ResEntrySize; };

    // Offsets of every part.
    uint32_t Offset = (uint32_t)DirectoryBytes(Types.size());
    std::vector<uint32_t> TypeDirAt, NameDirAt;
    for (const TypeGroup& T : Types) {
        TypeDirAt.push_back(Offset);
        Offset += (uint32_t)DirectoryBytes(T.Names.size());
    }
    for (const TypeGroup& T : Types)
        for (const NameGroup& N : T.Names) {
            NameDirAt.push_back(Offset);
            Offset += (uint32_t)DirectoryBytes(N.Items.size());
        }
    uint32_t DataEntriesAt = Offset;
    Offset += (uint32_t)(Entries.size() * ResDataEntrySize);
    std::map<std::u16string, uint32_t> TextAt;
    for (const ResourceEntry& E : Entries)
        for (const ResourceId* Id : {&E.Type, &E.Name})
            if (Id->IsNamed() && !TextAt.count(Id->Text)) {
                TextAt[Id->Text] = Offset;
                Offset += (uint32_t)(2 + 2 * Id->Text.size());
            }
    std::vector<uint32_t> DataAt;
    for (const ResourceEntry& E : Entries) {
        Offset = AlignUp(Offset, ResDataAlignment);
        DataAt.push_back(Offset);
        Offset += (uint32_t)E.Data.size();
    }

    // A directory's entries: the id and the target (with ResHighBit: a directory).
    using DirectoryEntries = std::vector<std::pair<ResourceId, uint32_t>>;
    std::vector<uint8_t> Out;
    auto WriteDirectory = [&](const DirectoryEntries& Items) {
        uint16_t Named = 0;
        for (const auto& Item : Items) Named += Item.first.IsNamed();
        Append32(Out, 0); // characteristics
        Append32(Out, 0); // time stamp: 0 keeps the output the same for the same input
        Append32(Out, 0); // version
        Append16(Out, Named);
        Append16(Out, (uint16_t)(Items.size() - Named));
        for (const auto& [Id, Target] : Items) {
            Append32(Out, Id.IsNamed() ? (TextAt[Id.Text] | ResHighBit) : Id.Number);
            Append32(Out, Target);
        }
    };
    DirectoryEntries TypeDirectory;
    for (size_t T = 0; T < Types.size(); ++T) TypeDirectory.push_back({Types[T].Type, TypeDirAt[T] | ResHighBit});
    WriteDirectory(TypeDirectory);
    size_t NameIndex = 0;
    for (const TypeGroup& T : Types) {
        DirectoryEntries NameDirectory;
        for (const NameGroup& N : T.Names) NameDirectory.push_back({N.Name, NameDirAt[NameIndex++] | ResHighBit});
        WriteDirectory(NameDirectory);
    }
    for (const TypeGroup& T : Types)
        for (const NameGroup& N : T.Names) {
            DirectoryEntries LanguageDirectory;
            for (size_t Item : N.Items)
                LanguageDirectory.push_back(
                    {ResourceId::Of(Entries[Item].Language), DataEntriesAt + (uint32_t)(Item * ResDataEntrySize)});
            WriteDirectory(LanguageDirectory);
        }
    for (size_t I = 0; I < Entries.size(); ++I) {
        Append32(Out, SectionRva + DataAt[I]);
        Append32(Out, (uint32_t)Entries[I].Data.size());
        Append32(Out, Entries[I].CodePage);
        Append32(Out, 0);
    }
    // Texts in the order their offsets were given.
    std::vector<std::pair<uint32_t, std::u16string>> Texts;
    for (const auto& [Text, At] : TextAt) Texts.push_back({At, Text});
    std::sort(Texts.begin(), Texts.end());
    for (const auto& [At, Text] : Texts) {
        (void)At;
        Append16(Out, (uint32_t)Text.size());
        for (char16_t Ch : Text) Append16(Out, Ch);
    }
    for (size_t I = 0; I < Entries.size(); ++I) {
        while (Out.size() % ResDataAlignment) Out.push_back(0);
        Out.insert(Out.end(), Entries[I].Data.begin(), Entries[I].Data.end());
    }
    return Out;
}

} // namespace

ResourceId ResourceId::Of(uint16_t Number)
{
    ResourceId Id;
    Id.Number = Number;
    return Id;
}

ResourceId ResourceId::Named(const std::string& Ascii)
{
    ResourceId Id;
    for (char Ch : Ascii) Id.Text += (char16_t)(Ch >= 'a' && Ch <= 'z' ? Ch - 'a' + 'A' : (unsigned char)Ch);
    return Id;
}

bool ResourceId::operator<(const ResourceId& Other) const
{
    if (IsNamed() != Other.IsNamed()) return IsNamed();
    if (IsNamed()) return Text < Other.Text;
    return Number < Other.Number;
}

bool ReadResources(const std::vector<uint8_t>& Image, std::vector<ResourceEntry>& Entries, std::string& Problem)
{
    Entries.clear();
    Layout L;
    if (!ReadLayout(Image, L, Problem)) return false;
    uint32_t Rva = L.DirectoryRva(DirectoryResource, Image);
    if (Rva == 0) return true; // no resources at all
    int Index = SectionOf(L, Rva);
    if (Index < 0 || L.Sections[Index].VirtualAddress != Rva)
        return Refuse(Problem, "the resource directory does not start a section");
    ResourceEntry Path;
    if (TreeReader(Image, L.Sections[Index]).ReadDirectory(0, 0, Path, Entries)) return true;
    return Refuse(Problem, "the resource directory is damaged");
}

bool HasCertificateTable(const std::vector<uint8_t>& Image)
{
    Layout L;
    std::string Problem;
    return ReadLayout(Image, L, Problem, false) &&
           (L.DirectoryRva(DirectorySecurity, Image) || L.DirectorySize(DirectorySecurity, Image));
}

bool ReplaceResources(std::vector<uint8_t>& Image, const std::vector<ResourceEntry>& Entries, std::string& Problem)
{
    Layout L;
    if (!ReadLayout(Image, L, Problem)) return false;
    uint32_t ResourceRva = L.DirectoryRva(DirectoryResource, Image);
    int ResourceIndex = ResourceRva ? SectionOf(L, ResourceRva) : -1;
    if (ResourceIndex < 0 || L.Sections[ResourceIndex].VirtualAddress != ResourceRva)
        return Refuse(Problem, "the program has no resource section of its own");
    if (HasCertificateTable(Image))
        return Refuse(Problem, "the program is signed; its signature would not survive (sign the built setup instead)");
    // What may follow the resources: only the base relocations, which no
    // address in the program points into.
    uint32_t RelocationRva = L.DirectoryRva(DirectoryRelocation, Image);
    int RelocationIndex = RelocationRva ? SectionOf(L, RelocationRva) : -1;
    const Section& Resources = L.Sections[ResourceIndex];
    std::vector<size_t> Moved;
    for (size_t I = 0; I < L.Sections.size(); ++I) {
        const Section& S = L.Sections[I];
        if ((int)I == ResourceIndex) continue;
        bool After = S.VirtualAddress > Resources.VirtualAddress || S.RawOffset > Resources.RawOffset;
        if (!After) continue;
        if ((int)I != RelocationIndex || S.VirtualAddress < Resources.VirtualAddress ||
            S.RawOffset < Resources.RawOffset)
            return Refuse(Problem, "section " + S.Name + " follows the resources; only the relocations may");
        Moved.push_back(I);
    }
    for (size_t Directory = 0; Directory < L.DirectoryCount; ++Directory) {
        if (Directory == DirectoryResource || Directory == DirectoryRelocation || Directory == DirectorySecurity)
            continue;
        uint32_t Rva = L.DirectoryRva(Directory, Image);
        int Index = Rva ? SectionOf(L, Rva) : -1;
        if (Index == ResourceIndex || (Index >= 0 && Index == RelocationIndex))
            return Refuse(Problem,
                          "data directory " + std::to_string(Directory) + " points into the resources or relocations");
    }
    uint64_t FileEnd = 0;
    for (const Section& S : L.Sections)
        if (S.RawSize) FileEnd = std::max<uint64_t>(FileEnd, (uint64_t)S.RawOffset + S.RawSize);
    if (FileEnd != Image.size()) return Refuse(Problem, "data follows the program's last section");

    std::vector<uint8_t> Tree = BuildTree(Entries, Resources.VirtualAddress);
    uint32_t NewRawSize = AlignUp((uint32_t)Tree.size(), L.FileAlignment);
    std::vector<uint8_t> Out(Image.begin(), Image.begin() + Resources.RawOffset);
    Out.insert(Out.end(), Tree.begin(), Tree.end());
    Out.resize(Resources.RawOffset + NewRawSize, 0);

    // The new section, then the moved ones behind it in file and address order.
    Put32(Out, Resources.HeaderAt + SecVirtualSize, (uint32_t)Tree.size());
    Put32(Out, Resources.HeaderAt + SecRawSize, NewRawSize);
    uint32_t NextRaw = Resources.RawOffset + NewRawSize;
    uint32_t NextRva = AlignUp(Resources.VirtualAddress + (uint32_t)Tree.size(), L.SectionAlignment);
    for (size_t I : Moved) {
        const Section& S = L.Sections[I];
        Out.insert(Out.end(), Image.begin() + S.RawOffset, Image.begin() + S.RawOffset + S.RawSize);
        Put32(Out, S.HeaderAt + SecRawOffset, NextRaw);
        Put32(Out, S.HeaderAt + SecVirtualAddress, NextRva);
        if ((int)I == RelocationIndex)
            Put32(Out, L.DirectoriesAt + DirectoryRelocation * DataDirectorySize,
                  RelocationRva - S.VirtualAddress + NextRva);
        NextRaw += S.RawSize;
        NextRva = AlignUp(NextRva + std::max(S.VirtualSize, S.RawSize), L.SectionAlignment);
    }
    // The image ends where its last section ends in memory, whichever it is.
    uint32_t ImageEnd = NextRva;
    for (const Section& S : L.Sections)
        if (S.VirtualAddress < Resources.VirtualAddress)
            ImageEnd =
                std::max(ImageEnd, AlignUp(S.VirtualAddress + std::max(S.VirtualSize, S.RawSize), L.SectionAlignment));
    Put32(Out, L.DirectoriesAt + DirectoryResource * DataDirectorySize, Resources.VirtualAddress);
    Put32(Out, L.DirectoriesAt + DirectoryResource * DataDirectorySize + 4, (uint32_t)Tree.size());
    Put32(Out, L.OptionalAt + OptImageSize, ImageEnd);
    if (Resources.Characteristics & SectionInitializedData) {
        uint32_t Initialized = Get32(Image, L.OptionalAt + OptInitializedDataSize);
        Put32(Out, L.OptionalAt + OptInitializedDataSize, Initialized - Resources.RawSize + NewRawSize);
    }
    Image.swap(Out);
    return true;
}

// Adds bytes that start at an even offset of the file to the PE checksum:
// 16-bit little-endian words with the carries folded back in; an odd count
// (only at the file's end) ends in a zero byte.
uint32_t AddChecksumWords(uint32_t Sum, const uint8_t* Bytes, size_t Count)
{
    for (size_t I = 0; I < Count; I += 2) {
        Sum += Bytes[I] | (I + 1 < Count ? Bytes[I + 1] << 8 : 0);
        Sum = (Sum & 0xFFFF) + (Sum >> 16);
    }
    return Sum;
}

bool UpdateFileChecksum(const std::string& Path)
{
    std::fstream File(Path, std::ios::binary | std::ios::in | std::ios::out);
    if (!File) return false;
    // The headers lie in the first pages; the checksum is looked for there.
    std::vector<uint8_t> Head(HeaderReadSize);
    File.read((char*)Head.data(), (std::streamsize)Head.size());
    Head.resize((size_t)File.gcount());
    File.clear();
    Layout L;
    std::string Problem;
    if (!ReadLayout(Head, L, Problem, false)) return true; // not a PE file: no checksum to keep right
    size_t ChecksumAt = L.OptionalAt + OptChecksum;
    if (Get32(Head, ChecksumAt) == 0) return true; // none set: Windows checks none
    uint32_t Sum = 0;
    std::vector<uint8_t> Chunk(ChecksumChunkSize);
    uint64_t Length = 0;
    File.seekg(0);
    for (;;) {
        File.read((char*)Chunk.data(), (std::streamsize)Chunk.size());
        size_t Count = (size_t)File.gcount();
        if (Count == 0) break;
        // The field counts as zero.
        for (size_t I = 0; I < 4; ++I)
            if (ChecksumAt + I >= Length && ChecksumAt + I < Length + Count) Chunk[ChecksumAt + I - Length] = 0;
        Sum = AddChecksumWords(Sum, Chunk.data(), Count);
        Length += Count;
    }
    File.clear();
    uint32_t Value = (uint32_t)(Sum + Length);
    uint8_t Bytes[4] = {(uint8_t)Value, (uint8_t)(Value >> 8), (uint8_t)(Value >> 16), (uint8_t)(Value >> 24)};
    File.seekp((std::streamoff)ChecksumAt);
    File.write((const char*)Bytes, sizeof Bytes);
    File.flush();
    return (bool)File;
}

// ---- little-endian fields ----

uint16_t Get16(const std::vector<uint8_t>& B, size_t At) { return (uint16_t)(B[At] | B[At + 1] << 8); }
uint32_t Get32(const std::vector<uint8_t>& B, size_t At)
{
    return (uint32_t)B[At] | (uint32_t)B[At + 1] << 8 | (uint32_t)B[At + 2] << 16 | (uint32_t)B[At + 3] << 24;
}
void Append16(std::vector<uint8_t>& B, uint32_t V)
{
    B.push_back((uint8_t)V);
    B.push_back((uint8_t)(V >> 8));
}
void Append32(std::vector<uint8_t>& B, uint32_t V)
{
    Append16(B, V & 0xFFFF);
    Append16(B, V >> 16);
}

} // namespace PackBuild
