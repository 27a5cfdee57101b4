// Faults of the disk: extraction runs again and again with the Nth file
// operation (open, read, write, close, set time, set attributes, delete,
// make directory, allocation) failing, for every N. Each run must report the
// failure, leave no handle open and no buffer allocated, and never leave a
// wrong file behind that was reported as good.
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "ArcTestKit.h"
#include "Unrar.h"

namespace {

struct Outcome {
    bool Opened = false;
    std::vector<std::string> Good; // names reported ArcOk
    std::vector<std::string> Bad;
    bool WalkDamaged = false;
    bool Stopped = false; // ArcNoMemory ended the run
};

Outcome ExtractAll(const std::string& Archive, const std::string& Dest)
{
    Outcome Result;
    ArcHandle Handle = ArcOpen(Archive.c_str(), ArcModeExtract);
    Result.Opened = Handle != nullptr;
    ArcEntryInfo Info;
    while (Handle && ArcReadEntry(Handle, &Info)) {
        int Code = ArcProcessEntryCode(Handle, true, Dest.c_str(), nullptr);
        EXPECT_TRUE(Code == ArcOk || Code == ArcDataError || Code == ArcCreateError || Code == ArcNoMemory) << Code;
        (Code == ArcOk ? Result.Good : Result.Bad).push_back(Info.Name);
        if (Code == ArcCreateError) ArcProcessEntryCode(Handle, false, nullptr, nullptr);
        if (Code == ArcNoMemory) {
            Result.Stopped = true;
            break;
        }
    }
    if (Handle) Result.WalkDamaged = ArcWalkResult(Handle) != ArcOk;
    ArcClose(Handle);
    return Result;
}

std::string Native(std::string Name)
{
    for (char& C : Name)
        if (C == '\\') C = '/';
    return Name;
}

// Runs the extraction with every operation failing in turn.
void RunWithEveryFault(const std::string& Archive, const std::map<std::string, uint32_t>& Crcs)
{
    for (int N = 1;; ++N) {
        TempDir Out;
        FaultPlan Plan;
        Plan.FailAt = N;
        InstallFaultBackend(&Plan);
        Outcome Result = ExtractAll(Archive, Out.Path() + "/x");
        RemoveFaultBackend();
        SCOPED_TRACE("failing operation " + std::to_string(N) + " of kind " + std::to_string(Plan.FailedKind));
        EXPECT_EQ(Plan.OpenHandles, 0);
        EXPECT_EQ(Plan.LiveBlocks, 0);
        for (const std::string& Name : Result.Good) {
            Bytes Data = ReadFileBytes(Out.Path() + "/x/" + Native(Name));
            EXPECT_EQ(Crc32Of(Data), Crcs.at(Name)) << Name;
        }
        for (const std::string& Name : Result.Bad) {
            // Only a failed delete may leave a damaged file behind.
            if (Plan.FailedKind != FaultDelete) EXPECT_FALSE(FileExists(Out.Path() + "/x/" + Native(Name))) << Name;
        }
        if (!Plan.Failed) {
            EXPECT_EQ(Result.Good.size(), Crcs.size());
            break;
        }
        // Entries may go missing only with a failure reported.
        bool Reported = !Result.Opened || !Result.Bad.empty() || Result.WalkDamaged || Result.Stopped;
        if (!Reported) EXPECT_EQ(Result.Good.size(), Crcs.size()) << "entries lost without a report";
        ASSERT_LT(N, 100000);
    }
}

TEST(ArchiveFaults, StoredEntriesInDirectories)
{
    TempDir Dir;
    Bytes Big(70000);
    for (size_t I = 0; I < Big.size(); ++I) Big[I] = (uint8_t)(I ^ (I >> 8));
    ArchiveBuilder Builder;
    Builder.Add(StoredEntry("top.txt", "top level"))
        .Add(StoredEntry("Sub\\Deeper\\inner.txt", "inside"))
        .Add(StoredEntry("Sub\\big.bin", std::string(Big.begin(), Big.end())))
        .Add(StoredEntry("empty.txt", ""));
    WriteFileBytes(Dir.File("s.rar"), Builder.Data());
    RunWithEveryFault(Dir.File("s.rar"), {{"top.txt", Crc32Of(ToBytes("top level"))},
                                          {"Sub\\Deeper\\inner.txt", Crc32Of(ToBytes("inside"))},
                                          {"Sub\\big.bin", Crc32Of(Big)},
                                          {"empty.txt", Crc32Of(Bytes())}});
}

// The real archive with the fewest entries (to keep the loop short) among
// the good ones with compressed entries that are solid, or not.
const VectorArchive& SmallestVector(bool Solid)
{
    static std::vector<VectorArchive> Vectors = LoadVectors();
    const VectorArchive* Best = nullptr;
    for (const VectorArchive& Archive : Vectors) {
        bool Compressed = false;
        for (const VectorEntry& Entry : Archive.Entries) Compressed = Compressed || Entry.Method != 0x30;
        if (!Archive.AllGood() || !Compressed || Archive.Entries.size() < 2 || HasSolidEntries(Archive.Path) != Solid)
            continue;
        if (!Best || Archive.Entries.size() < Best->Entries.size()) Best = &Archive;
    }
    if (!Best) throw std::runtime_error("no such archive among the vectors");
    return *Best;
}

std::map<std::string, uint32_t> CrcsOf(const VectorArchive& Archive)
{
    std::map<std::string, uint32_t> Crcs;
    for (const VectorEntry& Entry : Archive.Entries) Crcs[VectorNameBytes(Entry.Name)] = Entry.Crc;
    return Crcs;
}

TEST(ArchiveFaults, CompressedSolidEntries)
{
    SKIP_WITHOUT_VECTORS();
    const VectorArchive& Archive = SmallestVector(true);
    RunWithEveryFault(Archive.Path, CrcsOf(Archive));
}

TEST(ArchiveFaults, CompressedNonSolidEntries)
{
    SKIP_WITHOUT_VECTORS();
    const VectorArchive& Archive = SmallestVector(false);
    RunWithEveryFault(Archive.Path, CrcsOf(Archive));
}

// ArcNoMemory closes the archive inside the call; the caller's ArcClose
// must then find nothing to release twice.
TEST(ArchiveFaults, NoMemoryThenClose)
{
    TempDir Dir;
    WriteFileBytes(Dir.File("m.rar"),
                   ArchiveBuilder().Add(StoredEntry("a.txt", "a")).Add(StoredEntry("b.txt", "b")).Data());
    FaultPlan Plan;
    Plan.FailKinds = FaultAlloc;
    Plan.FailAt = 2; // the window is the first allocation, the copy buffer the second
    InstallFaultBackend(&Plan);
    ArcHandle Handle = ArcOpen(Dir.File("m.rar").c_str(), ArcModeExtract);
    ASSERT_TRUE(Handle);
    ArcEntryInfo Info;
    ASSERT_TRUE(ArcReadEntry(Handle, &Info));
    EXPECT_EQ(ArcProcessEntryCode(Handle, true, Dir.Path().c_str(), nullptr), ArcNoMemory);
    EXPECT_FALSE(FileExists(Dir.File("a.txt")));
    EXPECT_FALSE(ArcReadEntry(Handle, &Info));
    ArcClose(Handle);
    ArcClose(Handle);
    RemoveFaultBackend();
    EXPECT_EQ(Plan.OpenHandles, 0);
    EXPECT_EQ(Plan.LiveBlocks, 0);
}

} // namespace
