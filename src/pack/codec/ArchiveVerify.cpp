// The read-back of tarnpack. The reader runs on a file layer of our own
// (ArcFile.h): the archive comes from its file or from memory, and what the
// reader extracts goes to a comparison with the expected entry instead of a
// file, a piece at a time, so nothing is written and nothing is held whole.
#include "ArchiveVerify.h"

#include "ArcFile.h"
#include "Unrar.h"

#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>

namespace {

// The archive when it is in memory.
struct MemoryArchive {
    const std::vector<uint8_t>* Bytes = nullptr;
    int64_t Position = 0;
};

// The output of the entry being extracted, compared with Expected.
struct Comparison {
    const PackEntry* Expected = nullptr;
    std::ifstream Source; // Expected's source file, when it has one
    uint64_t Offset = 0;  // bytes compared so far
    bool Differs = false;
    std::vector<uint8_t> Piece;
};

// One verification at a time, as the reader itself is one per process.
MemoryArchive Memory;
Comparison Compare;
char OutputHandle; // its address stands for the reader's output file

// The output file starts a comparison with the expected entry.
ArcFile Open(const char* Path, int Kind)
{
    if (Kind == ArcOpenWrite) {
        Compare.Offset = 0;
        Compare.Differs = false;
        Compare.Source.close();
        Compare.Source.clear();
        if (Compare.Expected && !Compare.Expected->SourcePath.empty()) {
            Compare.Source.open(Compare.Expected->SourcePath, std::ios::binary);
            Compare.Differs = !Compare.Source;
        }
        return &OutputHandle;
    }
    if (Memory.Bytes) {
        Memory.Position = 0;
        return &Memory;
    }
    return ArcPlatformFileOps.Open(Path, Kind);
}

// Closing the output: true when it was the whole expected entry.
bool Close(ArcFile File)
{
    if (File != &OutputHandle) return File == &Memory ? true : ArcPlatformFileOps.Close(File);
    if (Compare.Expected && !Compare.Differs) {
        const PackEntry& E = *Compare.Expected;
        if (E.SourcePath.empty())
            Compare.Differs = Compare.Offset != E.Data.size();
        else
            Compare.Differs = Compare.Source.peek() != std::ifstream::traits_type::eof();
    }
    Compare.Source.close();
    return !Compare.Differs;
}

int Read(ArcFile File, void* Buffer, int Count)
{
    if (File != &Memory) return ArcPlatformFileOps.Read(File, Buffer, Count);
    int64_t Left = int64_t(Memory.Bytes->size()) - Memory.Position;
    int Got = Left <= 0 ? 0 : Left < Count ? int(Left) : Count;
    memcpy(Buffer, Memory.Bytes->data() + Memory.Position, size_t(Got));
    Memory.Position += Got;
    return Got;
}

// The output's next bytes, compared with the expected entry's.
int Write(ArcFile, const void* Buffer, int Count)
{
    const uint8_t* Bytes = static_cast<const uint8_t*>(Buffer);
    size_t Size = size_t(Count);
    if (Compare.Differs || !Compare.Expected) return Count;
    const PackEntry& E = *Compare.Expected;
    if (E.SourcePath.empty()) {
        Compare.Differs =
            Compare.Offset + Size > E.Data.size() || memcmp(E.Data.data() + Compare.Offset, Bytes, Size) != 0;
    } else {
        Compare.Piece.resize(Size);
        Compare.Source.read(reinterpret_cast<char*>(Compare.Piece.data()), std::streamsize(Size));
        Compare.Differs = size_t(Compare.Source.gcount()) != Size || memcmp(Compare.Piece.data(), Bytes, Size) != 0;
    }
    Compare.Offset += Size;
    return Count;
}

void Seek(ArcFile File, int32_t Offset, int Origin)
{
    if (File != &Memory) return ArcPlatformFileOps.Seek(File, Offset, Origin);
    int64_t Base = Origin == ArcSeekStart ? 0 : Origin == ArcSeekEnd ? int64_t(Memory.Bytes->size()) : Memory.Position;
    Memory.Position = Base + Offset;
}

int32_t Tell(ArcFile File) { return File == &Memory ? int32_t(Memory.Position) : ArcPlatformFileOps.Tell(File); }

int NoFileChange(const char*) { return 0; }
bool KeepAttributes(const char*, uint32_t) { return true; }
bool KeepTime(ArcFile, uint32_t) { return true; }

const ArcFileOps VerifyOps = {Open,
                              Close,
                              Read,
                              Write,
                              Seek,
                              Tell,
                              NoFileChange,
                              NoFileChange,
                              KeepAttributes,
                              KeepTime,
                              ArcPlatformFileOps.Alloc,
                              ArcPlatformFileOps.Free};

uint64_t ExpectedSize(const PackEntry& E)
{
    if (E.SourcePath.empty()) return E.Data.size();
    std::error_code Error;
    uint64_t Size = std::filesystem::file_size(E.SourcePath, Error);
    return Error ? UINT64_MAX : Size;
}

// Every entry decodes and passes its CRC; with Expected, the entries are
// those, in order, of the same sizes and bytes.
bool VerifyEntries(ArcHandle Archive, const std::vector<PackEntry>* Expected, const VerifyProgress& Progress,
                   std::string* Problem)
{
    auto Refuse = [&](const std::string& Text) {
        *Problem = Text;
        return false;
    };
    auto ReaderError = [&](const std::string& Name, int Result) {
        return Refuse(Name + ": the reader reports error " + std::to_string(Result));
    };
    uint64_t Total = 0, Done = 0;
    if (Expected)
        for (const PackEntry& E : *Expected) Total += ExpectedSize(E);
    ArcEntryInfo Info;
    for (size_t Index = 0;; Index++) {
        std::memset(&Info, 0, sizeof Info);
        bool HaveEntry = ArcReadEntry(Archive, &Info);
        const PackEntry* Entry = Expected && Index < Expected->size() ? &(*Expected)[Index] : nullptr;
        if (!HaveEntry && Entry) return Refuse("the archive ends before " + Entry->Name);
        if (!HaveEntry) break;
        if (Expected && !Entry) return Refuse(std::string("unexpected extra entry ") + Info.Name);
        if (!Entry) {
            int Result = ArcTestEntryCode(Archive);
            if (Result != ArcOk) return ReaderError(Info.Name, Result);
            continue;
        }
        if (Entry->Name != Info.Name) return Refuse("expected entry " + Entry->Name + ", found " + Info.Name);
        uint64_t Size = ExpectedSize(*Entry);
        if (Info.UnpackedSize != Size)
            return Refuse(Entry->Name + ": size " + std::to_string(Info.UnpackedSize) + " instead of " +
                          std::to_string(Size));
        Compare.Expected = Entry;
        int Result = ArcProcessEntryCode(Archive, true, nullptr, "entry");
        Compare.Expected = nullptr;
        if (Compare.Differs) return Refuse(Entry->Name + ": decoded data differs from the input");
        if (Result != ArcOk) return ReaderError(Entry->Name, Result);
        Done += Size;
        if (Progress) Progress(Done, Total);
    }
    if (ArcWalkResult(Archive) != ArcOk) return Refuse("the archive is damaged or cut short after its last entry");
    return true;
}

} // namespace

// From memory when Memory.Bytes is set (VerifyArchiveBytes).
bool VerifyArchiveFile(const std::string& ArchivePath, const std::vector<PackEntry>* Expected,
                       const VerifyProgress& Progress, std::string* Problem)
{
    ArcSetFileOps(&VerifyOps);
    bool Ok = false;
    ArcHandle Archive = ArcOpen(ArchivePath.c_str(), ArcModeExtract);
    try {
        if (!Archive)
            *Problem = "the reader finds no archive";
        else
            Ok = VerifyEntries(Archive, Expected, Progress, Problem);
    } catch (const std::exception& Failure) { // the reader's own layer must come back whatever happens
        *Problem = Failure.what();
        Ok = false;
    }
    if (Archive) ArcClose(Archive);
    Compare.Source.close();
    ArcSetFileOps(nullptr);
    Memory.Bytes = nullptr;
    return Ok;
}

bool VerifyArchiveBytes(const std::vector<uint8_t>& Archive, const std::vector<PackEntry>* Expected,
                        std::string* Problem)
{
    Memory.Bytes = &Archive;
    return VerifyArchiveFile("archive", Expected, VerifyProgress(), Problem);
}
