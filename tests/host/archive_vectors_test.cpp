// The reader against real archives made by other software: every entry lists
// with the expected name, size, CRC and method, tests with the expected
// result, and the good ones extract to files with the right contents. The
// archives are picked by what the table of expectations says about them.
#include <gtest/gtest.h>

#include "ArcTestKit.h"
#include "Unrar.h"

namespace {

class ArchiveVectors : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Vectors = LoadVectors(); }
    void SetUp() override { SKIP_WITHOUT_VECTORS(); }
    static std::vector<VectorArchive> Vectors;
};
std::vector<VectorArchive> ArchiveVectors::Vectors;

TEST_F(ArchiveVectors, TableIsPresent)
{
    // Guards against a silently empty run.
    EXPECT_GE(Vectors.size(), 30u);
}

TEST_F(ArchiveVectors, EveryEntryListsAndTestsAsExpected)
{
    for (const VectorArchive& Archive : Vectors) {
        SCOPED_TRACE(Archive.Path);
        ArcHandle Handle = ArcOpen(Archive.Path.c_str(), ArcModeExtract);
        if (!Archive.OpenFailure.empty()) {
            EXPECT_EQ(Handle, nullptr);
            EXPECT_EQ(ArcLastOpenFailure(), Archive.OpenFailure == "old-format" ? ArcOpenOldFormat : ArcOpenNoArchive);
            continue;
        }
        ASSERT_NE(Handle, nullptr);
        ArcEntryInfo Info;
        size_t Index = 0;
        while (ArcReadEntry(Handle, &Info)) {
            ASSERT_LT(Index, Archive.Entries.size()) << "extra entry " << Info.Name;
            const VectorEntry& Want = Archive.Entries[Index++];
            EXPECT_EQ(Info.Name, VectorNameBytes(Want.Name));
            EXPECT_NE(Info.HeadFlags & 0xE0, 0xE0u) << "a directory entry was returned";
            EXPECT_EQ(Info.UnpackedSize, Want.Size) << Want.Name;
            EXPECT_EQ(Info.DataCrc, Want.Crc) << Want.Name;
            EXPECT_EQ(Info.Method, Want.Method) << Want.Name;
            EXPECT_EQ(ArcTestEntryCode(Handle), Want.Good ? ArcOk : ArcDataError) << Want.Name;
        }
        EXPECT_EQ(Index, Archive.Entries.size());
        EXPECT_EQ(ArcWalkResult(Handle), ArcOk);
        ArcClose(Handle);
    }
}

// Windows cannot create some names the real archives hold ("????.txt"):
// the i686 run passes over those entries, and only that run.
bool CreatableHere(const std::string& Name)
{
#ifdef _WIN32
    return Name.find_first_of("?*:<>|\"") == std::string::npos;
#else
    (void)Name;
    return true;
#endif
}

TEST_F(ArchiveVectors, GoodArchivesExtractToTheirContents)
{
    for (const VectorArchive& Archive : Vectors) {
        if (!Archive.AllGood()) continue;
        SCOPED_TRACE(Archive.Path);
        TempDir Dir;
        ArcHandle Handle = ArcOpen(Archive.Path.c_str(), ArcModeExtract);
        ASSERT_NE(Handle, nullptr);
        ArcEntryInfo Info;
        // An entry that fails stays the current one: stop at once rather
        // than meet it again and again.
        while (ArcReadEntry(Handle, &Info))
            ASSERT_EQ(ArcProcessEntryCode(Handle, CreatableHere(Info.Name), Dir.Path().c_str(), nullptr), ArcOk)
                << Info.Name;
        ArcClose(Handle);
        for (const VectorEntry& Entry : Archive.Entries) {
            if (!CreatableHere(VectorNameBytes(Entry.Name))) continue;
            std::string Relative = VectorNameBytes(Entry.Name);
            for (char& C : Relative)
                if (C == '\\') C = '/';
            Bytes Data = ReadFileBytes(Dir.File(Relative));
            EXPECT_EQ(Data.size(), Entry.Size) << Entry.Name;
            EXPECT_EQ(Crc32Of(Data), Entry.Crc) << Entry.Name;
        }
    }
}

// Skipping in a solid archive must still decode, or the entry after a
// skipped one comes out wrong.
TEST_F(ArchiveVectors, SkippingInSolidArchivesKeepsTheStream)
{
    int Solid = 0;
    for (const VectorArchive& Archive : Vectors) {
        if (!Archive.AllGood() || Archive.Entries.size() < 2 || !HasSolidEntries(Archive.Path)) continue;
        SCOPED_TRACE(Archive.Path);
        ++Solid;
        TempDir Dir;
        ArcHandle Handle = ArcOpen(Archive.Path.c_str(), ArcModeExtract);
        ASSERT_NE(Handle, nullptr);
        ArcEntryInfo First, Second;
        ASSERT_TRUE(ArcReadEntry(Handle, &First));
        EXPECT_EQ(ArcProcessEntryCode(Handle, false, nullptr, nullptr), ArcOk);
        ASSERT_TRUE(ArcReadEntry(Handle, &Second));
        EXPECT_EQ(ArcProcessEntryCode(Handle, true, Dir.Path().c_str(), nullptr), ArcOk);
        EXPECT_FALSE(FileExists(Dir.File(First.Name)));
        EXPECT_EQ(Crc32Of(ReadFileBytes(Dir.File(Second.Name))), Second.DataCrc);
        ArcClose(Handle);
    }
    EXPECT_GE(Solid, 3);
}

// List mode only adds up sizes: nothing is decoded or written.
TEST_F(ArchiveVectors, ListModeTouchesNothing)
{
    const VectorArchive* Largest = &Vectors[0];
    for (const VectorArchive& Archive : Vectors)
        if (Archive.Entries.size() > Largest->Entries.size()) Largest = &Archive;
    uint64_t Expected = 0;
    for (const VectorEntry& Entry : Largest->Entries) Expected += Entry.Size;

    TempDir Dir;
    ArcHandle Handle = ArcOpen(Largest->Path.c_str(), ArcModeList);
    ASSERT_NE(Handle, nullptr);
    ArcEntryInfo Info;
    uint64_t Total = 0;
    size_t Count = 0;
    while (ArcReadEntry(Handle, &Info)) {
        Total += Info.UnpackedSize;
        ++Count;
        EXPECT_EQ(ArcProcessEntryCode(Handle, true, Dir.Path().c_str(), nullptr), ArcOk);
        EXPECT_FALSE(FileExists(Dir.File(Info.Name)));
    }
    ArcClose(Handle);
    EXPECT_EQ(Count, Largest->Entries.size());
    EXPECT_EQ(Total, Expected);
}

// A Unix entry keeps its mode bits in the record; the other host systems of
// the real archives are 0-3 and keep what they store as well.
TEST_F(ArchiveVectors, UnixEntriesKeepTheirAttributes)
{
    int Unix = 0;
    for (const VectorArchive& Archive : Vectors) {
        ArcHandle Handle = ArcOpen(Archive.Path.c_str(), ArcModeList);
        ArcEntryInfo Info;
        while (Handle && ArcReadEntry(Handle, &Info)) {
            EXPECT_LE(Info.HostSystem, 3u);
            // A regular file's mode bits, not the 0x20 other systems get.
            if (Info.HostSystem == 3 && (Info.Attributes & 0xF000) == 0x8000) ++Unix;
            ArcProcessEntry(Handle, false, nullptr, nullptr);
        }
        ArcClose(Handle);
    }
    EXPECT_GE(Unix, 1);
}

} // namespace
