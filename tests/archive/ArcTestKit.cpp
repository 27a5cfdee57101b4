// Helpers for the archive reader tests (see ArcTestKit.h).
#include "ArcTestKit.h"

#include <stdlib.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "ArcFormat.h"
#include "Unrar.h"
#include "UnrarInternal.h"

uint32_t Crc32Of(const Bytes& Data)
{
    BuildCrcTable();
    return ~Crc32Update(0xFFFFFFFFu, Data.data(), Data.size());
}

Bytes ToBytes(const std::string& Text) { return Bytes(Text.begin(), Text.end()); }

Bytes ReadFileBytes(const std::string& Path)
{
    std::ifstream In(Path, std::ios::binary);
    if (!In) throw std::runtime_error("cannot read " + Path);
    return Bytes(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& Path, const Bytes& Data)
{
    std::ofstream Out(Path, std::ios::binary);
    Out.write((const char*)Data.data(), (std::streamsize)Data.size());
    if (!Out) throw std::runtime_error("cannot write " + Path);
}

bool FileExists(const std::string& Path)
{
    struct stat Info;
    return stat(Path.c_str(), &Info) == 0;
}

// ---- the shared real archives ----

bool VectorArchive::AllGood() const
{
    if (Entries.empty()) return false;
    for (const VectorEntry& Entry : Entries)
        if (!Entry.Good) return false;
    return true;
}

bool VectorArchive::AnyBad() const
{
    for (const VectorEntry& Entry : Entries)
        if (!Entry.Good) return true;
    return false;
}

static std::string Trim(const std::string& Text)
{
    size_t First = Text.find_first_not_of(' ');
    size_t Last = Text.find_last_not_of(' ');
    return First == std::string::npos ? "" : Text.substr(First, Last - First + 1);
}

// Lines: archive | entry | unpacked size | CRC | method | result.
std::vector<VectorArchive> LoadVectors(const std::string& Dir)
{
    std::vector<VectorArchive> Archives;
    std::ifstream In(Dir + "/EXPECTED.txt");
    std::string Line;
    while (std::getline(In, Line)) {
        if (Line.empty() || Line[0] == '#') continue;
        std::vector<std::string> Fields;
        std::stringstream Split(Line);
        std::string Field;
        while (std::getline(Split, Field, '|')) Fields.push_back(Trim(Field));
        if (Fields.size() != 6) continue;
        std::string Path = Dir + "/" + Fields[0];
        if (Archives.empty() || Archives.back().Path != Path) {
            Archives.push_back(VectorArchive());
            Archives.back().Path = Path;
        }
        VectorArchive& Archive = Archives.back();
        const std::string& Result = Fields[5];
        if (Result.rfind("cannot open", 0) == 0) {
            Archive.OpenFailure = Result.find("old-format") != std::string::npos ? "old-format" : "not-archive";
            continue;
        }
        VectorEntry Entry;
        Entry.Name = Fields[1];
        Entry.Size = (uint32_t)std::stoul(Fields[2]);
        Entry.Crc = (uint32_t)std::stoul(Fields[3], nullptr, 16);
        Entry.Method = (uint32_t)std::stoul(Fields[4], nullptr, 16);
        Entry.Good = Result == "ok";
        Archive.Entries.push_back(Entry);
    }
    return Archives;
}

bool HasSolidEntries(const std::string& Path)
{
    ArcHandle Handle = ArcOpen(Path.c_str(), ArcModeList);
    ArcEntryInfo Info;
    bool Solid = false;
    while (Handle && ArcReadEntry(Handle, &Info)) {
        Solid = Solid || (Info.HeadFlags & ArcFileSolid) != 0;
        ArcProcessEntry(Handle, false, nullptr, nullptr);
    }
    ArcClose(Handle);
    return Solid;
}

std::string VectorNameBytes(const std::string& Listed)
{
    std::string Bytes;
    for (size_t I = 0; I < Listed.size(); ++I) {
        unsigned char C = (unsigned char)Listed[I];
        if ((C & 0xE0) == 0xC0 && I + 1 < Listed.size()) {
            Bytes += (char)(((C & 0x1F) << 6) | ((unsigned char)Listed[I + 1] & 0x3F));
            ++I;
        } else {
            Bytes += (char)C;
        }
    }
    return Bytes;
}

// ---- archive building ----

static void PutLe(Bytes& Out, uint32_t Value, int Size)
{
    for (int I = 0; I < Size; ++I) Out.push_back((uint8_t)(Value >> (8 * I)));
}

TestEntry StoredEntry(const std::string& Name, const std::string& Text)
{
    TestEntry Entry;
    Entry.Name = Name;
    Entry.Packed = ToBytes(Text);
    Entry.UnpackedSize = (uint32_t)Text.size();
    Entry.DataCrc = Crc32Of(Entry.Packed);
    return Entry;
}

TestEntry PackedEntry(const std::string& Name, const Bytes& Packed, const Bytes& Output, bool Solid)
{
    TestEntry Entry;
    Entry.Name = Name;
    Entry.Packed = Packed;
    Entry.UnpackedSize = (uint32_t)Output.size();
    Entry.DataCrc = Crc32Of(Output);
    Entry.Method = 0x35;
    Entry.Flags = 0x8000 | (Solid ? ArcFileSolid : 0);
    return Entry;
}

TestEntry DirectoryEntry(const std::string& Name)
{
    TestEntry Entry;
    Entry.Name = Name;
    Entry.Flags = 0x8000 | ArcFileDirectory;
    Entry.Attributes = ArcAttrDirectory;
    return Entry;
}

ArchiveBuilder::ArchiveBuilder(uint32_t MainFlags, uint32_t MainExtra)
{
    Archive = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
    PutLe(Archive, 0, 2); // header CRC (not checked)
    Archive.push_back(ArcBlockMain);
    PutLe(Archive, MainFlags, 2);
    PutLe(Archive, ArcMainHeaderSize + MainExtra, 2);
    PutLe(Archive, 0, 2); // reserved
    PutLe(Archive, 0, 4);
    Archive.insert(Archive.end(), MainExtra, 0xEE); // extra main-header data
}

ArchiveBuilder& ArchiveBuilder::Add(const TestEntry& Entry)
{
    uint32_t NameSize = Entry.NameSizeOverride >= 0 ? (uint32_t)Entry.NameSizeOverride : (uint32_t)Entry.Name.size();
    PutLe(Archive, 0, 2);
    Archive.push_back(ArcBlockFile);
    PutLe(Archive, Entry.Flags, 2);
    PutLe(Archive, ArcFileHeaderSize + (uint32_t)Entry.Name.size() + Entry.ExtraHeaderBytes, 2);
    PutLe(Archive, (uint32_t)Entry.Packed.size(), 4);
    PutLe(Archive, Entry.UnpackedSize, 4);
    Archive.push_back((uint8_t)Entry.Host);
    PutLe(Archive, Entry.DataCrc, 4);
    PutLe(Archive, Entry.DosTime, 4);
    Archive.push_back((uint8_t)Entry.Version);
    Archive.push_back((uint8_t)Entry.Method);
    PutLe(Archive, NameSize, 2);
    PutLe(Archive, Entry.Attributes, 4);
    Archive.insert(Archive.end(), Entry.Name.begin(), Entry.Name.end());
    Archive.insert(Archive.end(), Entry.ExtraHeaderBytes, 0xCC);
    Archive.insert(Archive.end(), Entry.Packed.begin(), Entry.Packed.end());
    return *this;
}

ArchiveBuilder& ArchiveBuilder::AddBlock(uint8_t Type, uint32_t Flags, uint32_t HeaderSize, uint32_t DataSize)
{
    size_t Start = Archive.size();
    PutLe(Archive, 0, 2);
    Archive.push_back(Type);
    PutLe(Archive, Flags | (DataSize ? ArcFlagHasData : 0), 2);
    PutLe(Archive, HeaderSize, 2);
    if (DataSize) PutLe(Archive, DataSize, 4);
    while (Archive.size() < Start + HeaderSize) Archive.push_back(0xAB);
    Archive.insert(Archive.end(), DataSize, 0xAB);
    return *this;
}

ArchiveBuilder& ArchiveBuilder::AddRaw(const Bytes& Raw)
{
    Archive.insert(Archive.end(), Raw.begin(), Raw.end());
    return *this;
}

// ---- bit streams ----

void BitWriter::Put(uint32_t Value, int Count)
{
    for (int I = Count - 1; I >= 0; --I) Bits.push_back(((Value >> I) & 1) != 0);
}

Bytes BitWriter::Finish() const
{
    Bytes Out((Bits.size() + 7) / 8, 0);
    for (size_t I = 0; I < Bits.size(); ++I)
        if (Bits[I]) Out[I / 8] |= (uint8_t)(0x80 >> (I % 8));
    return Out;
}

CanonicalCode::CanonicalCode(const std::vector<uint8_t>& CodeLengths) : Lengths(CodeLengths), Codes(CodeLengths.size())
{
    uint32_t Code = 0;
    for (int L = 1; L <= 15; ++L) {
        for (size_t Symbol = 0; Symbol < Lengths.size(); ++Symbol)
            if (Lengths[Symbol] == L) Codes[Symbol] = Code++;
        Code <<= 1;
    }
}

void PutTables(BitWriter& Out, bool Audio, int Channels, bool KeepPrevious, const std::vector<uint8_t>& Lengths,
               std::vector<uint8_t>& Previous)
{
    Previous.resize(1028, 0);
    if (!KeepPrevious) std::fill(Previous.begin(), Previous.end(), 0);
    Out.Put(Audio ? 1 : 0, 1);
    Out.Put(KeepPrevious ? 1 : 0, 1);
    if (Audio) Out.Put((uint32_t)Channels - 1, 2);
    for (int I = 0; I < 19; ++I) Out.Put(5, 4); // every level symbol: 5 bits
    CanonicalCode Level(std::vector<uint8_t>(19, 5));
    for (size_t I = 0; I < Lengths.size(); ++I) {
        Level.Put(Out, (Lengths[I] - Previous[I]) & 15);
        Previous[I] = Lengths[I];
    }
    for (size_t I = Lengths.size(); I < Previous.size(); ++I) Previous[I] = 0;
}

std::vector<uint8_t> LzLengths(const std::vector<int>& Literals, int LiteralLength, const std::vector<int>& Dists,
                               int DistLength, const std::vector<int>& RepLens, int RepLenLength)
{
    std::vector<uint8_t> Lengths(374, 0);
    for (int Symbol : Literals) Lengths[Symbol] = (uint8_t)LiteralLength;
    for (int Symbol : Dists) Lengths[298 + Symbol] = (uint8_t)DistLength;
    for (int Symbol : RepLens) Lengths[346 + Symbol] = (uint8_t)RepLenLength;
    return Lengths;
}

// ---- temporary directories ----

#ifdef _WIN32

TempDir::TempDir()
{
    char Base[MAX_PATH], Name[MAX_PATH];
    if (!GetTempPathA(MAX_PATH, Base) || !GetTempFileNameA(Base, "tar", 0, Name))
        throw std::runtime_error("no temporary name");
    DeleteFileA(Name);
    if (!CreateDirectoryA(Name, NULL)) throw std::runtime_error("cannot create a temporary directory");
    Dir = Name;
}

static void RemoveTree(const std::string& Path)
{
    WIN32_FIND_DATAA Item;
    HANDLE Find = FindFirstFileA((Path + "\\*").c_str(), &Item);
    if (Find != INVALID_HANDLE_VALUE) {
        do {
            std::string Name = Item.cFileName;
            if (Name == "." || Name == "..") continue;
            std::string Full = Path + "\\" + Name;
            SetFileAttributesA(Full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (Item.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(Full);
            else
                DeleteFileA(Full.c_str());
        } while (FindNextFileA(Find, &Item));
        FindClose(Find);
    }
    RemoveDirectoryA(Path.c_str());
}

#else

TempDir::TempDir()
{
    std::string Pattern = std::filesystem::temp_directory_path().string() + "/tarn-archive-XXXXXX";
    std::vector<char> Buffer(Pattern.begin(), Pattern.end());
    Buffer.push_back(0);
    if (!mkdtemp(Buffer.data())) throw std::runtime_error("mkdtemp failed");
    Dir = Buffer.data();
}

static void RemoveTree(const std::string& Path)
{
    struct stat Info;
    if (lstat(Path.c_str(), &Info) != 0) return;
    if (S_ISDIR(Info.st_mode)) {
        chmod(Path.c_str(), 0700);
        if (DIR* D = opendir(Path.c_str())) {
            while (struct dirent* Item = readdir(D)) {
                std::string Name = Item->d_name;
                if (Name != "." && Name != "..") RemoveTree(Path + "/" + Name);
            }
            closedir(D);
        }
        rmdir(Path.c_str());
    } else {
        unlink(Path.c_str());
    }
}

#endif

TempDir::~TempDir() { RemoveTree(Dir); }

// ---- the failing backend ----

static FaultPlan* Plan = 0;

static bool ShouldFail(int Kind)
{
    if (!(Plan->FailKinds & Kind)) return false;
    ++Plan->Operations;
    if (Plan->Operations != Plan->FailAt) return false;
    Plan->Failed = true;
    Plan->FailedKind = Kind;
    return true;
}

static ArcFile FaultOpenFile(const char* Path, int Kind)
{
    if (ShouldFail(FaultOpen)) return 0;
    ArcFile File = ArcPlatformFileOps.Open(Path, Kind);
    if (File) ++Plan->OpenHandles;
    return File;
}

static bool FaultCloseFile(ArcFile File)
{
    --Plan->OpenHandles;
    bool Closed = ArcPlatformFileOps.Close(File);
    return ShouldFail(FaultClose) ? false : Closed;
}

static int FaultReadFile(ArcFile File, void* Buffer, int Count)
{
    return ShouldFail(FaultRead) ? 0 : ArcPlatformFileOps.Read(File, Buffer, Count);
}

static int FaultWriteFile(ArcFile File, const void* Buffer, int Count)
{
    return ShouldFail(FaultWrite) ? 0 : ArcPlatformFileOps.Write(File, Buffer, Count);
}

static int FaultDeleteFile(const char* Path) { return ShouldFail(FaultDelete) ? -1 : ArcPlatformFileOps.Delete(Path); }

static int FaultMakeDirectory(const char* Path)
{
    return ShouldFail(FaultMakeDir) ? -1 : ArcPlatformFileOps.MakeDir(Path);
}

static bool FaultSetFileAttributes(const char* Path, uint32_t Attributes)
{
    return ShouldFail(FaultSetAttributes) ? false : ArcPlatformFileOps.SetAttributes(Path, Attributes);
}

static bool FaultSetFileTime(ArcFile File, uint32_t DosTime)
{
    return ShouldFail(FaultSetTime) ? false : ArcPlatformFileOps.SetTime(File, DosTime);
}

static void* FaultAllocBlock(size_t Size)
{
    if (ShouldFail(FaultAlloc)) return 0;
    void* Block = ArcPlatformFileOps.Alloc(Size);
    if (Block) ++Plan->LiveBlocks;
    return Block;
}

static void FaultFreeBlock(void* Block)
{
    if (Block) --Plan->LiveBlocks;
    ArcPlatformFileOps.Free(Block);
}

static const ArcFileOps FaultOps = {
    FaultOpenFile,           FaultCloseFile,          FaultReadFile,   FaultWriteFile,
    ArcPlatformFileOps.Seek, ArcPlatformFileOps.Tell, FaultDeleteFile, FaultMakeDirectory,
    FaultSetFileAttributes,  FaultSetFileTime,        FaultAllocBlock, FaultFreeBlock,
};

void InstallFaultBackend(FaultPlan* NewPlan)
{
    Plan = NewPlan;
    ArcSetFileOps(&FaultOps);
}

void RemoveFaultBackend()
{
    ArcSetFileOps(0);
    Plan = 0;
}
