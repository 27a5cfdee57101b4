// Archive container for tarnpack: marker, main header and one file header per
// entry around the packed data from the RAR 2.0 encoder, plus the self-check
// that reads a finished archive back with the stub's own reader.
#include "ArchiveWriter.h"

#include "Rar20Encoder.h"
#include "Unrar.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

static_assert(int(PackLzSymbols) == Rar20::LiteralCount, "symbol counts in the stats");

namespace {

const uint8_t Marker[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};

constexpr uint8_t BlockMain = 0x73;
constexpr uint8_t BlockFile = 0x74;
constexpr uint16_t MainFlagsSolidLocked = 0x000C;
constexpr uint16_t MainHeaderSize = 13;
constexpr uint16_t FileHeaderFixedSize = 32;
constexpr uint16_t FileFlagsFirst = 0x8080;  // data follows, dictionary code 4 (1 MiB)
constexpr uint16_t FileFlagsSolid = 0x8090;  // the same, continuing the solid stream
constexpr uint8_t HostWin32 = 2;
constexpr uint8_t VersionNeeded = 20;
constexpr uint8_t MethodStored = 0x30;
constexpr uint8_t MethodBest = 0x35;
constexpr uint32_t AttributeArchive = 0x20;
constexpr size_t MaxNameBytes = 260;           // 259 name bytes and the reader's terminating zero
constexpr uint64_t MaxPayloadBytes = 1ull << 31;

uint32_t CrcTable[256];

void BuildCrcTable()
{
    for (uint32_t I = 0; I < 256; I++) {
        uint32_t C = I;
        for (int K = 0; K < 8; K++)
            C = (C & 1) ? (C >> 1) ^ 0xEDB88320u : C >> 1;
        CrcTable[I] = C;
    }
}

uint32_t Crc32(const uint8_t* Data, size_t Size)
{
    if (CrcTable[1] == 0)
        BuildCrcTable();
    uint32_t Crc = 0xFFFFFFFFu;
    for (size_t I = 0; I < Size; I++)
        Crc = CrcTable[(Crc ^ Data[I]) & 0xFF] ^ (Crc >> 8);
    return ~Crc;
}

void Put16(std::vector<uint8_t>& Out, uint32_t Value)
{
    Out.push_back(uint8_t(Value));
    Out.push_back(uint8_t(Value >> 8));
}

void Put32(std::vector<uint8_t>& Out, uint32_t Value)
{
    Put16(Out, Value & 0xFFFF);
    Put16(Out, Value >> 16);
}

// Fills in the header CRC of the block that starts at Start.
void SealHeader(std::vector<uint8_t>& Out, size_t Start)
{
    uint32_t Crc = Crc32(Out.data() + Start + 2, Out.size() - Start - 2);
    Out[Start] = uint8_t(Crc);
    Out[Start + 1] = uint8_t(Crc >> 8);
}

// A unique empty directory under the system's temporary directory.
std::string MakeTempDir()
{
    std::string Pattern = (std::filesystem::temp_directory_path() / "tarnpack-XXXXXX").string();
    std::vector<char> Buffer(Pattern.begin(), Pattern.end());
    Buffer.push_back(0);
    if (!mkdtemp(Buffer.data()))
        return std::string();
    return Buffer.data();
}

bool ReadWholeFile(const std::string& Path, std::vector<uint8_t>* Data)
{
    std::ifstream In(Path, std::ios::binary);
    if (!In)
        return false;
    Data->assign(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
    return true;
}

// The check behind VerifyArchive(Contents): Entries null means CRCs only.
bool CheckArchive(const std::vector<uint8_t>& Archive, const std::vector<PackEntry>* Entries, std::string* Error)
{
    std::string Dir = MakeTempDir();
    if (Dir.empty()) {
        *Error = "cannot create a temporary directory";
        return false;
    }
    std::string ArchivePath = Dir + "/archive.rar";
    bool Ok = true;
    {
        std::ofstream Out(ArchivePath, std::ios::binary);
        Out.write(reinterpret_cast<const char*>(Archive.data()), std::streamsize(Archive.size()));
        if (!Out) {
            *Error = "cannot write the temporary archive";
            Ok = false;
        }
    }
    ArcHandle Handle = Ok ? ArcOpen(ArchivePath.c_str(), ArcModeExtract) : 0;
    if (Ok && !Handle) {
        *Error = "the reader finds no archive";
        Ok = false;
    }
    size_t Index = 0;
    ArcEntryInfo Info;
    while (Ok && ArcReadEntry(Handle, &Info)) {
        std::string Name = Info.Name;
        if (Entries && (Index >= Entries->size() || Name != (*Entries)[Index].Name)) {
            *Error = "entry " + std::to_string(Index) + " is \"" + Name + "\", not the expected one";
            Ok = false;
            break;
        }
        int Result;
        std::string OutPath = Dir + "/entry";
        if (Entries)
            Result = ArcProcessEntryCode(Handle, true, nullptr, OutPath.c_str());
        else
            Result = ArcTestEntryCode(Handle);
        if (Result != ArcOk) {
            *Error = "entry \"" + Name + "\" does not decode (result " + std::to_string(Result) + ")";
            Ok = false;
            break;
        }
        if (Entries) {
            std::vector<uint8_t> Data;
            if (!ReadWholeFile(OutPath, &Data) || Data != (*Entries)[Index].Data) {
                *Error = "entry \"" + Name + "\" decodes to different bytes";
                Ok = false;
            }
            std::remove(OutPath.c_str());
        }
        Index++;
    }
    if (Ok && Entries && Index != Entries->size()) {
        *Error = "the archive holds " + std::to_string(Index) + " entries, not " + std::to_string(Entries->size());
        Ok = false;
    }
    if (Handle)
        ArcClose(Handle);
    std::error_code Ignored;
    std::filesystem::remove_all(Dir, Ignored);
    return Ok;
}

} // namespace

std::vector<uint8_t> WriteArchive(const std::vector<PackEntry>& Entries, const PackSettings& Settings, PackStats* Stats)
{
    std::vector<const std::vector<uint8_t>*> Inputs;
    uint64_t Total = 0;
    for (const PackEntry& E : Entries) {
        // The stub's name buffer and its signed 32-bit offsets set these limits;
        // an archive beyond them would be written but could not be read.
        if (E.Name.empty() || E.Name.size() >= MaxNameBytes)
            throw std::invalid_argument("entry name empty or longer than 259 bytes: " + E.Name.substr(0, 300));
        Inputs.push_back(&E.Data);
        Total += E.Data.size();
    }
    if (Total >= MaxPayloadBytes)
        throw std::length_error("payload of 2 GiB or more");
    std::function<void(uint64_t)> Progress;
    if (Settings.Progress)
        Progress = [&](uint64_t Done) { Settings.Progress(Done, Total); };
    EncoderReport Report;
    std::vector<EncodedEntry> Encoded = EncodeSolidStream(Inputs, Settings.Level, Progress, &Report);

    std::vector<uint8_t> Out(Marker, Marker + sizeof(Marker));
    size_t Start = Out.size();
    Out.push_back(0); // CRC, sealed below
    Out.push_back(0);
    Out.push_back(BlockMain);
    Put16(Out, MainFlagsSolidLocked);
    Put16(Out, MainHeaderSize);
    Put16(Out, 0); // reserved
    Put32(Out, 0);
    SealHeader(Out, Start);

    if (Stats) {
        *Stats = PackStats();
        Stats->TableReads = Report.TableReads;
        memcpy(Stats->AudioTableReads, Report.AudioTableReads, sizeof(Report.AudioTableReads));
        memcpy(Stats->SymbolUse, Report.SymbolUse, sizeof(Report.SymbolUse));
        memcpy(Stats->NewMatchBonusUse, Report.NewMatchBonusUse, sizeof(Report.NewMatchBonusUse));
        memcpy(Stats->RecentBonusUse, Report.RecentBonusUse, sizeof(Report.RecentBonusUse));
    }
    for (size_t I = 0; I < Entries.size(); I++) {
        const PackEntry& E = Entries[I];
        const EncodedEntry& Packed = Encoded[I];
        Start = Out.size();
        Out.push_back(0);
        Out.push_back(0);
        Out.push_back(BlockFile);
        Put16(Out, I == 0 ? FileFlagsFirst : FileFlagsSolid);
        Put16(Out, FileHeaderFixedSize + uint32_t(E.Name.size()));
        Put32(Out, uint32_t(Packed.Packed.size()));
        Put32(Out, uint32_t(E.Data.size()));
        Out.push_back(HostWin32);
        Put32(Out, Crc32(E.Data.data(), E.Data.size()));
        Put32(Out, E.DosTime);
        Out.push_back(VersionNeeded);
        Out.push_back(Packed.Stored ? MethodStored : MethodBest);
        Put16(Out, uint32_t(E.Name.size()));
        Put32(Out, AttributeArchive);
        Out.insert(Out.end(), E.Name.begin(), E.Name.end());
        SealHeader(Out, Start);
        Out.insert(Out.end(), Packed.Packed.begin(), Packed.Packed.end());
        if (Stats) {
            PackEntryStats S;
            S.InputBytes = E.Data.size();
            S.PackedBytes = Packed.Packed.size();
            S.Stored = Packed.Stored;
            S.AudioBytes = Packed.AudioBytes;
            Stats->Entries.push_back(S);
            Stats->InputBytes += E.Data.size();
            Stats->StoredEntries += Packed.Stored ? 1 : 0;
        }
    }
    if (Stats)
        Stats->OutputBytes = Out.size();
    return Out;
}

uint32_t DosTimeFromUnix(int64_t UnixTime)
{
    const uint32_t Earliest = (0u << 9 | 1u << 5 | 1u) << 16; // 1980-01-01 00:00:00
    time_t T = time_t(UnixTime);
    struct tm Local;
    if (UnixTime < 315532800 || !localtime_r(&T, &Local) || Local.tm_year < 80)
        return Earliest;
    if (Local.tm_year > 207) // the 7-bit year ends with 2107
        return uint32_t(127u << 9 | 12u << 5 | 31u) << 16 | (23u << 11 | 59u << 5 | 29u);
    uint32_t Date = uint32_t(Local.tm_year - 80) << 9 | uint32_t(Local.tm_mon + 1) << 5 | uint32_t(Local.tm_mday);
    uint32_t Time = uint32_t(Local.tm_hour) << 11 | uint32_t(Local.tm_min) << 5 | uint32_t(Local.tm_sec / 2);
    return Date << 16 | Time;
}

bool VerifyArchive(const std::vector<uint8_t>& Archive, std::string* Error)
{
    return CheckArchive(Archive, nullptr, Error);
}

bool VerifyArchiveContents(const std::vector<uint8_t>& Archive, const std::vector<PackEntry>& Entries,
                           std::string* Error)
{
    return CheckArchive(Archive, &Entries, Error);
}
