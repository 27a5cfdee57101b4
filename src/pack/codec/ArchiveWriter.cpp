// Archive container for tarnpack: marker, main header and one file header per
// entry around the packed data from the 2.0 encoder (or the entry's bytes
// when it is stored). Every number of the layout comes from ArcFormat.h.
#include "ArchiveWriter.h"

#include "Crc32.h"
#include "Rar20Encoder.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <functional>
#include <new>
#include <stdexcept>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace {

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

uint32_t CrcOf(const uint8_t* Bytes, size_t Count) { return ~Crc32Update(0xFFFFFFFFu, Bytes, Count); }

// A block header of Size bytes with its common fields set; the others stay 0.
std::vector<uint8_t> NewHeader(uint8_t Type, uint32_t Flags, size_t Size)
{
    std::vector<uint8_t> Header(Size, 0);
    Header[ArcHdrTypeOffset] = Type;
    Put16(&Header[ArcHdrFlagsOffset], Flags);
    Put16(&Header[ArcHdrSizeOffset], uint32_t(Size));
    return Header;
}

// Sets the header CRC: the low 16 bits of the CRC of the header after its CRC field.
std::vector<uint8_t> Sealed(std::vector<uint8_t> Header)
{
    Put16(Header.data() + ArcHdrCrcOffset, CrcOf(Header.data() + ArcHdrTypeOffset, Header.size() - ArcHdrTypeOffset));
    return Header;
}

std::vector<uint8_t> MainHeader()
{
    std::vector<uint8_t> Block(ArcMarker, ArcMarker + ArcMarkerSize);
    std::vector<uint8_t> Header = Sealed(NewHeader(ArcBlockMain, MainFlags, ArcMainHeaderSize));
    Block.insert(Block.end(), Header.begin(), Header.end());
    return Block;
}

// The archive's end: readers stop there, so data appended to the setup after
// it (a code-signing certificate) is not taken for a damaged block.
std::vector<uint8_t> EndBlock() { return Sealed(NewHeader(ArcBlockEnd, ArcFlagSkipIfUnknown, ArcCommonHeaderSize)); }

struct FileFields {
    bool Solid;
    bool Stored;
    uint32_t PackedSize, UnpackedSize, DataCrc;
};

std::vector<uint8_t> FileHeader(const PackEntry& Entry, const FileFields& F)
{
    std::vector<uint8_t> Header =
        NewHeader(ArcBlockFile, F.Solid ? SolidFileFlags : FirstFileFlags, ArcFileHeaderSize + Entry.Name.size());
    Put32(&Header[ArcHdrPackedOffset], F.PackedSize);
    Put32(&Header[ArcHdrUnpackedOffset], F.UnpackedSize);
    Header[ArcHdrHostOffset] = ArcHostWin32;
    Put32(&Header[ArcHdrDataCrcOffset], F.DataCrc);
    Put32(&Header[ArcHdrTimeOffset], Entry.DosTime);
    Header[ArcHdrVersionOffset] = ArcVersion20;
    Header[ArcHdrMethodOffset] = F.Stored ? ArcMethodStored : ArcMethodBest;
    Put16(&Header[ArcHdrNameSizeOffset], uint32_t(Entry.Name.size()));
    Put32(&Header[ArcHdrAttrOffset], ArcAttrArchive);
    memcpy(&Header[ArcFileHeaderSize], Entry.Name.data(), Entry.Name.size());
    return Sealed(Header);
}

// The writer's side of the encoder: it serves the entries' bytes, from memory
// or read from their files a piece at a time, and lays out each entry around
// its packed data, writing the header first and its sizes and CRCs once they
// are known. Stored entries are copied from their sources as they come.
class EntryWriter : public EncoderIo {
public:
    EntryWriter(const std::vector<PackEntry>& Entries, const PackSettings& Settings, ArchiveOutput& Out)
        : Entries(Entries), Settings(Settings), Out(Out), Crcs(Entries.size()), Sizes(Entries.size()),
          Read(Entries.size())
    {
        Larger.assign(Entries.size(), false);
        for (const PackEntry& E : Entries) Total += E.SourcePath.empty() ? E.Data.size() : FileSize(E.SourcePath);
    }

    ~EntryWriter() override
    {
        Reading.Close();
        Copying.Close();
    }

    bool ReadEntry(uint32_t Index, uint64_t Offset, uint8_t* Buffer, size_t Count, size_t* Got) override
    {
        if (!ReadSource(Reading, Index, Offset, Buffer, Count, Got)) return false;
        if (Offset == 0) Crcs[Index] = 0xFFFFFFFFu;
        Crcs[Index] = Crc32Update(Crcs[Index], Buffer, *Got);
        Sizes[Index] = Offset + *Got;
        return CountProgress(Index, Offset + *Got);
    }

    bool BeginEntry(uint32_t Index, bool Stored) override
    {
        // Solid, except the first entry and the first packed one: that one
        // starts the compressed stream (its decoder reads tables first).
        Fields = FileFields{Index > 0 && (Stored || SawPacked), Stored, 0, 0, 0};
        SawPacked = SawPacked || !Stored;
        HeaderAt = Out.Size();
        std::vector<uint8_t> Header = FileHeader(Entries[Index], Fields);
        if (!Put(Header.data(), Header.size())) return false;
        if (!Stored) return true;
        // The stored copy: its bytes, size and CRC as they are now.
        uint32_t Crc = 0xFFFFFFFFu;
        uint64_t Offset = 0;
        std::vector<uint8_t> Buffer(CopyPiece);
        for (size_t Got = CopyPiece; Got == CopyPiece; Offset += Got) {
            if (!ReadSource(Copying, Index, Offset, Buffer.data(), CopyPiece, &Got) || !Put(Buffer.data(), Got) ||
                !CountProgress(Index, Offset + Got))
                return false;
            Crc = Crc32Update(Crc, Buffer.data(), Got);
        }
        Crcs[Index] = Crc;
        Sizes[Index] = Offset;
        return true;
    }

    bool PackedBytes(const uint8_t* Bytes, size_t Count) override { return Put(Bytes, Count); }

    bool EndEntry(uint32_t Index, uint64_t AudioBytes) override
    {
        uint64_t Packed = Out.Size() - HeaderAt - ArcFileHeaderSize - Entries[Index].Name.size();
        if (Sizes[Index] >= PackMaxSetupSize) return Fail(Entries[Index].Name + ": 2 GiB or more");
        Fields.PackedSize = uint32_t(Packed);
        Fields.UnpackedSize = uint32_t(Sizes[Index]);
        Fields.DataCrc = ~Crcs[Index];
        std::vector<uint8_t> Header = FileHeader(Entries[Index], Fields);
        if (!Out.Rewrite(HeaderAt, Header.data(), Header.size())) return Fail("cannot write the archive");
        // The rule that makes the writer run the encoder again.
        Larger[Index] = Packed > Sizes[Index];
        Stats.push_back({Packed, Fields.Stored, AudioBytes});
        return true;
    }

    std::string Error;
    std::vector<bool> Larger; // entries that came out larger packed than stored
    std::vector<PackEntryStats> Stats;

private:
    static constexpr size_t CopyPiece = 64 * 1024;

    bool Fail(const std::string& Text)
    {
        Error = Text;
        return false;
    }

    struct Source {
        std::FILE* File = nullptr;
        uint32_t Index = UINT32_MAX;
        void Close()
        {
            if (File) std::fclose(File);
            File = nullptr;
        }
    };

    static uint64_t FileSize(const std::string& Path)
    {
        struct stat Info;
        return stat(Path.c_str(), &Info) == 0 ? uint64_t(Info.st_size) : 0;
    }

    // Reads from entry Index, through Through's open file when it has one.
    bool ReadSource(Source& Through, uint32_t Index, uint64_t Offset, uint8_t* Buffer, size_t Count, size_t* Got)
    {
        const PackEntry& E = Entries[Index];
        if (E.SourcePath.empty()) {
            *Got = Offset < E.Data.size() ? std::min<uint64_t>(Count, E.Data.size() - Offset) : 0;
            if (*Got > 0) // an empty entry's bytes may be a null pointer
                std::memcpy(Buffer, E.Data.data() + Offset, *Got);
            return true;
        }
        if (Through.Index != Index) {
            Through.Close();
            Through.File = std::fopen(E.SourcePath.c_str(), "rb");
            Through.Index = Index;
        }
        if (!Through.File || std::fseek(Through.File, long(Offset), SEEK_SET) != 0)
            return Fail(E.SourcePath + ": cannot be read");
        *Got = std::fread(Buffer, 1, Count, Through.File);
        if (*Got < Count && std::ferror(Through.File)) return Fail(E.SourcePath + ": cannot be read");
        return true;
    }

    bool Put(const uint8_t* Bytes, size_t Count)
    {
        if (Out.Start() + Out.Size() + Count + ArcCommonHeaderSize >= PackMaxSetupSize)
            return Fail("the setup would reach 2 GiB");
        if (!Out.Append(Bytes, Count)) return Fail("cannot write the archive");
        return true;
    }

    // Counts the bytes reached in entry Index, and refuses a payload the
    // stub could not read (the stream's positions then stay within 32 bits).
    bool CountProgress(uint32_t Index, uint64_t Reached)
    {
        if (Reached > Read[Index]) {
            Done += Reached - Read[Index];
            Read[Index] = Reached;
            if (Settings.Progress) Settings.Progress(Done, std::max(Done, Total));
        }
        if (Done >= PackMaxSetupSize) return Fail("payload of 2 GiB or more");
        return true;
    }

    const std::vector<PackEntry>& Entries;
    const PackSettings& Settings;
    ArchiveOutput& Out;
    std::vector<uint32_t> Crcs;  // data CRC registers
    std::vector<uint64_t> Sizes; // bytes of each entry
    std::vector<uint64_t> Read;  // bytes of each entry counted for the progress
    uint64_t Done = 0, Total = 0;
    Source Reading, Copying; // the encoder reads ahead of the copies of stored entries
    bool SawPacked = false;  // a packed entry has started the compressed stream
    FileFields Fields = {};
    uint64_t HeaderAt = 0; // offset of the current entry's header
};

bool WriteArchiveOrThrow(const std::vector<PackEntry>& Entries, const PackSettings& Settings, ArchiveOutput& Out,
                         PackStats* Stats, std::string* Error)
{
    // The stub's name buffer and its signed 32-bit offsets set these limits;
    // an archive beyond them would be written but could not be read.
    for (const PackEntry& E : Entries)
        if (E.Name.empty() || E.Name.size() > PackMaxNameLength) {
            *Error = "entry name empty or longer than 259 bytes: " + E.Name.substr(0, 300);
            return false;
        }
    EncoderSettings Encoding;
    Encoding.Level = Settings.Level;
    Encoding.Threads = Settings.Threads > 0 ? Settings.Threads : int(std::max(1u, std::thread::hardware_concurrency()));
    if (Settings.Level == PackLevelStore) Encoding.ForceStore.assign(Entries.size(), true);
    // Made again, with those entries stored, while some entry comes out
    // larger than stored: the estimates that decide storing are not exact.
    for (uint32_t Pass = 1;; Pass++) {
        if (Stats) *Stats = PackStats();
        EntryWriter Writer(Entries, Settings, Out);
        std::vector<uint8_t> Head = MainHeader(), End = EndBlock();
        bool Written =
            Out.Restart() && Out.Append(Head.data(), Head.size()) &&
            EncodeSolidStream(uint32_t(Entries.size()), Encoding, Writer, Stats ? &Stats->Stream : nullptr) &&
            Out.Append(End.data(), End.size());
        if (!Written) {
            *Error = Writer.Error.empty() ? "cannot write the archive" : Writer.Error;
            return false;
        }
        bool Again = false;
        for (size_t I = 0; I < Entries.size(); I++)
            if (Writer.Larger[I]) {
                Encoding.ForceStore.resize(Entries.size());
                Encoding.ForceStore[I] = true;
                Again = true;
            }
        if (Again) continue;
        if (Stats) {
            Stats->Entries = Writer.Stats;
            Stats->Passes = Pass;
            Stats->OutputBytes = Out.Size();
        }
        return true;
    }
}

} // namespace

bool MemoryOutput::Append(const uint8_t* Data, size_t Count)
{
    Bytes.insert(Bytes.end(), Data, Data + Count);
    return true;
}

bool MemoryOutput::Rewrite(uint64_t Offset, const uint8_t* Data, size_t Count)
{
    if (Offset + Count > Bytes.size()) return false;
    memcpy(Bytes.data() + Offset, Data, Count);
    return true;
}

bool MemoryOutput::Restart()
{
    Bytes.clear();
    return true;
}

FileOutput::FileOutput(std::FILE* File) : File(File)
{
    std::fseek(File, 0, SEEK_END);
    Begin = uint64_t(std::ftell(File));
}

// Appends go where the last one ended: a rewrite in between moves the file's
// position, so the position is set only then.
bool FileOutput::Append(const uint8_t* Bytes, size_t Count)
{
    if (Moved && std::fseek(File, long(Begin + Written), SEEK_SET) != 0) return false;
    Moved = false;
    if (std::fwrite(Bytes, 1, Count, File) != Count) return false;
    Written += Count;
    return true;
}

bool FileOutput::Rewrite(uint64_t Offset, const uint8_t* Bytes, size_t Count)
{
    Moved = true;
    return Offset + Count <= Written && std::fseek(File, long(Begin + Offset), SEEK_SET) == 0 &&
           std::fwrite(Bytes, 1, Count, File) == Count;
}

bool FileOutput::Restart()
{
    Written = 0;
    Moved = true;
    return std::fflush(File) == 0 && ftruncate(fileno(File), off_t(Begin)) == 0;
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

uint32_t DosTimeFromUnix(int64_t UnixTime, bool Utc)
{
    const uint32_t Earliest = (0u << 9 | 1u << 5 | 1u) << 16; // 1980-01-01 00:00:00
    const uint32_t Latest = uint32_t(127u << 9 | 12u << 5 | 31u) << 16 | (23u << 11 | 59u << 5 | 29u);
    time_t T = time_t(UnixTime);
    struct tm Local;
    bool Converted = Utc ? gmtime_r(&T, &Local) != nullptr : localtime_r(&T, &Local) != nullptr;
    if (UnixTime < 315532800 || !Converted || Local.tm_year < 80) return Earliest;
    if (Local.tm_year > 207) // the 7-bit year ends with 2107
        return Latest;
    uint32_t Date = uint32_t(Local.tm_year - 80) << 9 | uint32_t(Local.tm_mon + 1) << 5 | uint32_t(Local.tm_mday);
    uint32_t Time = uint32_t(Local.tm_hour) << 11 | uint32_t(Local.tm_min) << 5 | uint32_t(Local.tm_sec / 2);
    return Date << 16 | Time;
}
