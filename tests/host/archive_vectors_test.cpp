// The reader against real archives made by other software: every entry lists
// with the expected name, size, CRC and method, tests with the expected
// result, and the good ones extract to files with the right contents.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "ArcTestKit.h"
#include "Unrar.h"

namespace {

struct ExpectedEntry {
    std::string Name;
    uint32_t Size = 0;
    uint32_t Crc = 0;
    uint32_t Method = 0;
    std::string Result; // "ok", "data-error" or "cannot open (...)"
};

std::string Trim(const std::string& Text)
{
    size_t First = Text.find_first_not_of(' ');
    size_t Last = Text.find_last_not_of(' ');
    return First == std::string::npos ? "" : Text.substr(First, Last - First + 1);
}

// Archive path (relative to the vectors directory) -> its entries in order.
std::map<std::string, std::vector<ExpectedEntry>> LoadExpected()
{
    std::map<std::string, std::vector<ExpectedEntry>> Table;
    std::ifstream In(std::string(TARN_VECTORS_DIR) + "/EXPECTED.txt");
    std::string Line;
    while (std::getline(In, Line)) {
        if (Line.empty() || Line[0] == '#') continue;
        std::vector<std::string> Fields;
        std::stringstream Split(Line);
        std::string Field;
        while (std::getline(Split, Field, '|')) Fields.push_back(Trim(Field));
        if (Fields.size() != 6) continue;
        ExpectedEntry Entry;
        Entry.Result = Fields[5];
        if (Fields[1] != "-") {
            Entry.Name = Fields[1];
            Entry.Size = (uint32_t)std::stoul(Fields[2]);
            Entry.Crc = (uint32_t)std::stoul(Fields[3], nullptr, 16);
            Entry.Method = (uint32_t)std::stoul(Fields[4], nullptr, 16);
        }
        Table[Fields[0]].push_back(Entry);
    }
    return Table;
}

// The table shows 8-bit names as Latin-1 turned into UTF-8.
std::string Latin1ToUtf8(const std::string& Text)
{
    std::string Out;
    for (unsigned char C : Text) {
        if (C < 0x80) {
            Out += (char)C;
        } else {
            Out += (char)(0xC0 | (C >> 6));
            Out += (char)(0x80 | (C & 0x3F));
        }
    }
    return Out;
}

std::string VectorPath(const std::string& Relative)
{
    return std::string(TARN_VECTORS_DIR) + "/" + Relative;
}

class ArchiveVectors : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Expected = LoadExpected(); }
    static std::map<std::string, std::vector<ExpectedEntry>> Expected;
};
std::map<std::string, std::vector<ExpectedEntry>> ArchiveVectors::Expected;

TEST_F(ArchiveVectors, TableIsPresent)
{
    // Guards against a silently empty run.
    EXPECT_GE(Expected.size(), 30u);
}

TEST_F(ArchiveVectors, EveryEntryListsAndTestsAsExpected)
{
    for (const auto& Item : Expected) {
        SCOPED_TRACE(Item.first);
        const std::vector<ExpectedEntry>& Entries = Item.second;
        ArcHandle Handle = ArcOpen(VectorPath(Item.first).c_str(), ArcModeExtract);
        if (Entries.size() == 1 && Entries[0].Result.rfind("cannot open", 0) == 0) {
            EXPECT_EQ(Handle, nullptr);
            int Failure = ArcLastOpenFailure();
            if (Entries[0].Result.find("old-format") != std::string::npos)
                EXPECT_EQ(Failure, ArcOpenOldFormat);
            else
                EXPECT_EQ(Failure, ArcOpenNoArchive);
            continue;
        }
        ASSERT_NE(Handle, nullptr);
        ArcEntryInfo Info;
        size_t Index = 0;
        while (ArcReadEntry(Handle, &Info)) {
            ASSERT_LT(Index, Entries.size()) << "extra entry " << Info.Name;
            const ExpectedEntry& Want = Entries[Index++];
            EXPECT_EQ(Latin1ToUtf8(Info.Name), Want.Name);
            EXPECT_EQ(Info.UnpackedSize, Want.Size) << Want.Name;
            EXPECT_EQ(Info.DataCrc, Want.Crc) << Want.Name;
            EXPECT_EQ(Info.Method, Want.Method) << Want.Name;
            int Result = ArcTestEntryCode(Handle);
            EXPECT_EQ(Result, Want.Result == "ok" ? ArcOk : ArcDataError) << Want.Name;
        }
        EXPECT_EQ(Index, Entries.size());
        EXPECT_EQ(ArcWalkResult(Handle), ArcOk);
        ArcClose(Handle);
    }
}

TEST_F(ArchiveVectors, GoodArchivesExtractToTheirContents)
{
    for (const auto& Item : Expected) {
        bool AllGood = true;
        for (const ExpectedEntry& Entry : Item.second) AllGood = AllGood && Entry.Result == "ok";
        if (!AllGood) continue;
        SCOPED_TRACE(Item.first);
        TempDir Dir;
        ArcHandle Handle = ArcOpen(VectorPath(Item.first).c_str(), ArcModeExtract);
        ASSERT_NE(Handle, nullptr);
        ArcEntryInfo Info;
        while (ArcReadEntry(Handle, &Info)) EXPECT_EQ(ArcProcessEntryCode(Handle, true, Dir.Path().c_str(), nullptr), ArcOk);
        ArcClose(Handle);
        for (const ExpectedEntry& Entry : Item.second) {
            std::string Relative = Entry.Name;
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
    for (const char* Name : { "rar20/koni__rar2_solid.rar", "rar20/rarresearch__250_SOLID.RAR",
                              "rar20/zxtune__test_v2solid5.rar" }) {
        SCOPED_TRACE(Name);
        TempDir Dir;
        ArcHandle Handle = ArcOpen(VectorPath(Name).c_str(), ArcModeExtract);
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
}

// List mode only adds up sizes: nothing is decoded or written.
TEST_F(ArchiveVectors, ListModeTouchesNothing)
{
    TempDir Dir;
    ArcHandle Handle = ArcOpen(VectorPath("rar20/zxtune__AY.RAR").c_str(), ArcModeList);
    ASSERT_NE(Handle, nullptr);
    ArcEntryInfo Info;
    uint64_t Total = 0;
    int Count = 0;
    while (ArcReadEntry(Handle, &Info)) {
        Total += Info.UnpackedSize;
        ++Count;
        EXPECT_EQ(ArcProcessEntryCode(Handle, true, Dir.Path().c_str(), nullptr), ArcOk);
    }
    ArcClose(Handle);
    EXPECT_EQ(Count, 87);
    EXPECT_GT(Total, 400000u);
    EXPECT_FALSE(FileExists(Dir.File("180.AY")));
}

// Directory entries are never returned; the files inside them are.
TEST_F(ArchiveVectors, DirectoryEntriesArePassedOver)
{
    ArcHandle Handle = ArcOpen(VectorPath("rar20/sharpcompress__Rar2.rar").c_str(), ArcModeList);
    ASSERT_NE(Handle, nullptr);
    ArcEntryInfo Info;
    std::vector<std::string> Names;
    while (ArcReadEntry(Handle, &Info)) {
        EXPECT_NE(Info.HeadFlags & 0xE0, 0xE0u);
        Names.push_back(Info.Name);
        ArcProcessEntry(Handle, false, nullptr, nullptr);
    }
    ArcClose(Handle);
    EXPECT_EQ(Names, (std::vector<std::string>{ "exe\\test.exe", "jpg\\test.jpg", "????.txt" }));
}

// A Unix entry keeps its mode bits in the record.
TEST_F(ArchiveVectors, UnixEntryKeepsItsAttributes)
{
    ArcHandle Handle = ArcOpen(VectorPath("rar20/rarfile__rar2-unix-owner.rar").c_str(), ArcModeList);
    ASSERT_NE(Handle, nullptr);
    ArcEntryInfo Info;
    ASSERT_TRUE(ArcReadEntry(Handle, &Info));
    EXPECT_EQ(Info.HostSystem, 3u);
    EXPECT_EQ(Info.Attributes, 0x81B4u);
    ArcClose(Handle);
}

} // namespace
