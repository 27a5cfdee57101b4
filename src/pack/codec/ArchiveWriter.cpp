// Archive container for tarnpack: marker, main header and one file header per
// entry around the packed data from the 2.0 encoder (or the entry's bytes
// when it is stored). Every number of the layout comes from ArcFormat.h.
#include "ArchiveWriter.h"

#include "Crc32.h"
#include "Rar20Encoder.h"

#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <new>
#include <stdexcept>

namespace {

constexpr uint8_t HostWin32 = ArcHostWin32;
constexpr uint32_t MainFlags = ArcMainSolid | ArcMainLocked;
constexpr uint32_t FirstFileFlags = ArcFlagHasData | ArcFileDict1M;
constexpr uint32_t SolidFileFlags = FirstFileFlags | ArcFileSolid;

void Put16(uint8_t* At, uint32_t Value)
{
    At[0] = uint8_t(Value);
    At[1] = uint8_t(Value >> 8);
}

void Put32(uint8_t* At, uint32_t Value)
{
    Put16(At, Value & 0xFFFF);
    Put16(At + 2, Value >> 16);
}

uint32_t CrcOf(const uint8_t* Bytes, size_t Count)
{
    return ~Crc32Update(0xFFFFFFFFu, Bytes, Count);
}

// The header CRC: the low 16 bits of the CRC of the header after its CRC field.
void SealHeader(std::vector<uint8_t>& Header)
{
    Put16(Header.data() + ArcHdrCrcOffset, CrcOf(Header.data() + ArcHdrTypeOffset, Header.size() - ArcHdrTypeOffset));
}

std::vector<uint8_t> MainHeader()
{
    std::vector<uint8_t> Block(ArcMarker, ArcMarker + ArcMarkerSize);
    std::vector<uint8_t> Header(ArcMainHeaderSize, 0); // reserved fields stay 0
    Header[ArcHdrTypeOffset] = ArcBlockMain;
    Put16(&Header[ArcHdrFlagsOffset], MainFlags);
    Put16(&Header[ArcHdrSizeOffset], ArcMainHeaderSize);
    SealHeader(Header);
    Block.insert(Block.end(), Header.begin(), Header.end());
    return Block;
}

// The archive's end: readers stop there, so data appended to the setup after
// it (a code-signing certificate) is not taken for a damaged block.
std::vector<uint8_t> EndBlock()
{
    std::vector<uint8_t> Header(ArcCommonHeaderSize, 0);
    Header[ArcHdrTypeOffset] = ArcBlockEnd;
    Put16(&Header[ArcHdrFlagsOffset], ArcFlagSkipIfUnknown);
    Put16(&Header[ArcHdrSizeOffset], ArcCommonHeaderSize);
    SealHeader(Header);
    return Header;
}

struct FileFields {
    bool Solid;
    bool Stored;
    uint32_t PackedSize, UnpackedSize, DataCrc;
};

std::vector<uint8_t> FileHeader(const PackEntry& Entry, const FileFields& F)
{
    std::vector<uint8_t> Header(ArcFileHeaderSize, 0);
    Header[ArcHdrTypeOffset] = ArcBlockFile;
    Put16(&Header[ArcHdrFlagsOffset], F.Solid ? SolidFileFlags : FirstFileFlags);
    Put16(&Header[ArcHdrSizeOffset], uint32_t(ArcFileHeaderSize + Entry.Name.size()));
    Put32(&Header[ArcHdrPackedOffset], F.PackedSize);
    Put32(&Header[ArcHdrUnpackedOffset], F.UnpackedSize);
    Header[ArcHdrHostOffset] = HostWin32;
    Put32(&Header[ArcHdrDataCrcOffset], F.DataCrc);
    Put32(&Header[ArcHdrTimeOffset], Entry.DosTime);
    Header[ArcHdrVersionOffset] = ArcVersion20;
    Header[ArcHdrMethodOffset] = F.Stored ? ArcMethodStored : ArcMethodBest;
    Put16(&Header[ArcHdrNameSizeOffset], uint32_t(Entry.Name.size()));
    Put32(&Header[ArcHdrAttrOffset], ArcAttrArchive);
    Header.insert(Header.end(), Entry.Name.begin(), Entry.Name.end());
    SealHeader(Header);
    return Header;
}

bool ReadSource(const std::string& Path, std::vector<uint8_t>* Bytes)
{
    std::ifstream In(Path, std::ios::binary);
    if (!In)
        return false;
    Bytes->assign(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
    return !In.bad();
}

bool WriteArchiveOrThrow(const std::vector<PackEntry>& Entries, const PackSettings& Settings, ArchiveOutput& Out,
                         PackStats* Stats, std::string* Error)
{
    // The bytes of every entry: its own, or its source file's.
    std::vector<std::vector<uint8_t>> Loaded(Entries.size());
    std::vector<const std::vector<uint8_t>*> Inputs;
    uint64_t Total = 0;
    for (size_t I = 0; I < Entries.size(); I++) {
        const PackEntry& E = Entries[I];
        // The stub's name buffer and its signed 32-bit offsets set these
        // limits; an archive beyond them would be written but could not be read.
        if (E.Name.empty() || E.Name.size() > PackMaxNameLength) {
            *Error = "entry name empty or longer than 259 bytes: " + E.Name.substr(0, 300);
            return false;
        }
        if (!E.SourcePath.empty() && !ReadSource(E.SourcePath, &Loaded[I])) {
            *Error = E.SourcePath + ": cannot be read";
            return false;
        }
        Inputs.push_back(E.SourcePath.empty() ? &E.Data : &Loaded[I]);
        Total += Inputs.back()->size();
    }
    if (Total >= PackMaxSetupSize) {
        *Error = "payload of 2 GiB or more";
        return false;
    }

    std::vector<EncodedEntry> Encoded(Entries.size());
    if (Stats)
        *Stats = PackStats();
    if (Settings.Level == PackLevelStore) {
        for (EncodedEntry& E : Encoded)
            E.Stored = true;
    } else {
        std::function<void(uint64_t)> Progress;
        if (Settings.Progress)
            Progress = [&](uint64_t Done) { Settings.Progress(Done, Total); };
        Encoded = EncodeSolidStream(Inputs, Settings.Level, Progress, Stats ? &Stats->Stream : nullptr);
    }

    std::vector<uint8_t> Head = MainHeader();
    bool Written = Out.Append(Head.data(), Head.size());
    for (size_t I = 0; I < Entries.size() && Written; I++) {
        const std::vector<uint8_t>& Data = *Inputs[I];
        const EncodedEntry& Packed = Encoded[I];
        const std::vector<uint8_t>& Body = Packed.Stored ? Data : Packed.Packed;
        FileFields Fields{I > 0, Packed.Stored, uint32_t(Body.size()), uint32_t(Data.size()),
                          CrcOf(Data.data(), Data.size())};
        std::vector<uint8_t> Header = FileHeader(Entries[I], Fields);
        Written = Out.Append(Header.data(), Header.size()) && Out.Append(Body.data(), Body.size());
        if (Stats) {
            PackEntryStats S;
            S.InputBytes = Data.size();
            S.PackedBytes = Body.size();
            S.Stored = Packed.Stored;
            S.AudioBytes = Packed.AudioBytes;
            Stats->Entries.push_back(S);
            Stats->InputBytes += Data.size();
            Stats->StoredEntries += Packed.Stored ? 1 : 0;
        }
    }
    std::vector<uint8_t> End = EndBlock();
    Written = Written && Out.Append(End.data(), End.size());
    if (!Written) {
        *Error = "cannot write the archive";
        return false;
    }
    if (Stats)
        Stats->OutputBytes = Out.Size();
    return true;
}

} // namespace

bool MemoryOutput::Append(const uint8_t* Data, size_t Count)
{
    Bytes.insert(Bytes.end(), Data, Data + Count);
    return true;
}

bool MemoryOutput::Rewrite(uint64_t Offset, const uint8_t* Data, size_t Count)
{
    if (Offset + Count > Bytes.size())
        return false;
    memcpy(Bytes.data() + Offset, Data, Count);
    return true;
}

FileOutput::FileOutput(std::FILE* File) : File(File)
{
    std::fseek(File, 0, SEEK_END);
    Start = uint64_t(std::ftell(File));
}

bool FileOutput::Append(const uint8_t* Bytes, size_t Count)
{
    if (std::fseek(File, long(Start + Written), SEEK_SET) != 0 || std::fwrite(Bytes, 1, Count, File) != Count)
        return false;
    Written += Count;
    return true;
}

bool FileOutput::Rewrite(uint64_t Offset, const uint8_t* Bytes, size_t Count)
{
    return Offset + Count <= Written && std::fseek(File, long(Start + Offset), SEEK_SET) == 0 &&
           std::fwrite(Bytes, 1, Count, File) == Count;
}

bool WriteArchive(const std::vector<PackEntry>& Entries, const PackSettings& Settings, ArchiveOutput& Out,
                  PackStats* Stats, std::string* Error)
{
    BuildCrcTable();
    try {
        return WriteArchiveOrThrow(Entries, Settings, Out, Stats, Error);
    } catch (const std::bad_alloc&) {
        *Error = "out of memory";
    } catch (const std::exception& Failure) {
        *Error = std::string("internal error: ") + Failure.what();
    }
    return false;
}

uint32_t DosTimeFromUnix(int64_t UnixTime)
{
    const uint32_t Earliest = (0u << 9 | 1u << 5 | 1u) << 16; // 1980-01-01 00:00:00
    const uint32_t Latest = uint32_t(127u << 9 | 12u << 5 | 31u) << 16 | (23u << 11 | 59u << 5 | 29u);
    time_t T = time_t(UnixTime);
    struct tm Local;
    if (UnixTime < 315532800 || !localtime_r(&T, &Local) || Local.tm_year < 80)
        return Earliest;
    if (Local.tm_year > 207) // the 7-bit year ends with 2107
        return Latest;
    uint32_t Date = uint32_t(Local.tm_year - 80) << 9 | uint32_t(Local.tm_mon + 1) << 5 | uint32_t(Local.tm_mday);
    uint32_t Time = uint32_t(Local.tm_hour) << 11 | uint32_t(Local.tm_min) << 5 | uint32_t(Local.tm_sec / 2);
    return Date << 16 | Time;
}
