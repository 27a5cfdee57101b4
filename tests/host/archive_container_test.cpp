// The container side of the reader on hand-made archives: finding the
// archive, walking its blocks, the entry records, and extraction to disk
// (destinations, refused names, time and attributes, damaged entries).
#include <gtest/gtest.h>

#include <string.h>
#include <sys/stat.h>
#include <time.h>

#include <filesystem>

#include "ArcTestKit.h"
#include "Unrar.h"

namespace {

// Writes an archive into a temporary directory and opens it.
class ArchiveFile {
public:
    explicit ArchiveFile(const Bytes& Data, int Mode = ArcModeExtract)
    {
        WriteFileBytes(Dir.File("test.rar"), Data);
        Handle = ArcOpen(Dir.File("test.rar").c_str(), Mode);
    }
    ~ArchiveFile() { ArcClose(Handle); }
    ArcHandle Handle = nullptr;
    TempDir Dir;
    std::string Out() const { return Dir.Path() + "/out"; }
};

std::vector<std::string> ListNames(ArcHandle Handle)
{
    std::vector<std::string> Names;
    ArcEntryInfo Info;
    while (ArcReadEntry(Handle, &Info)) {
        Names.push_back(Info.Name);
        ArcProcessEntry(Handle, false, nullptr, nullptr);
    }
    return Names;
}

Bytes TwoFileArchive()
{
    return ArchiveBuilder().Add(StoredEntry("a.txt", "alpha")).Add(StoredEntry("b.txt", "beta")).Data();
}

std::string ReadText(const std::string& Path)
{
    Bytes Data = ReadFileBytes(Path);
    return std::string(Data.begin(), Data.end());
}

// ---- finding the archive ----

TEST(ArchiveOpen, PlainArchiveAndArchiveAfterStubOpenAlike)
{
    Bytes Stub(5000, 'x');
    Stub[100] = 'R'; // a lone "R" in the stub
    Bytes WithStub = Stub;
    Bytes Plain = TwoFileArchive();
    WithStub.insert(WithStub.end(), Plain.begin(), Plain.end());
    ArchiveFile A(Plain), B(WithStub);
    ASSERT_TRUE(A.Handle);
    EXPECT_EQ(ListNames(A.Handle), (std::vector<std::string>{"a.txt", "b.txt"}));
    ArchiveFile C(WithStub);
    ASSERT_TRUE(C.Handle);
    EXPECT_EQ(ListNames(C.Handle), (std::vector<std::string>{"a.txt", "b.txt"}));
}

TEST(ArchiveOpen, FalseMarkerWithoutMainHeaderIsPassedOver)
{
    Bytes Data(300, 'x');
    const uint8_t Fake[] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00, 0x00, 0x00, 0x74};
    Data.insert(Data.begin() + 50, Fake, Fake + sizeof Fake);
    Bytes Plain = TwoFileArchive();
    Data.insert(Data.end(), Plain.begin(), Plain.end());
    ArchiveFile A(Data);
    ASSERT_TRUE(A.Handle);
    EXPECT_EQ(ListNames(A.Handle).size(), 2u);
}

TEST(ArchiveOpen, SearchStopsAtTheEndOfTheSearchRegion)
{
    // The main header's type byte must lie within the 0x3FFF0 bytes read
    // after offset 7, so the last marker found starts at 7 + 0x3FFF0 - 10.
    const size_t LastFound = 7 + 0x3FFF0 - 10;
    for (size_t StubSize : {LastFound, LastFound + 1}) {
        Bytes Data(StubSize, 0);
        Bytes Plain = TwoFileArchive();
        Data.insert(Data.end(), Plain.begin(), Plain.end());
        ArchiveFile A(Data);
        EXPECT_EQ(A.Handle != nullptr, StubSize == LastFound) << StubSize;
        if (!A.Handle) EXPECT_EQ(ArcLastOpenFailure(), ArcOpenNoArchive);
    }
}

TEST(ArchiveOpen, RefusesWhatIsNoUsableArchive)
{
    TempDir Dir;
    EXPECT_EQ(ArcOpen(Dir.File("missing.rar").c_str(), ArcModeList), nullptr);
    EXPECT_EQ(ArcLastOpenFailure(), ArcOpenCannotOpen);
    EXPECT_EQ(ArcOpen(Dir.Path().c_str(), ArcModeList), nullptr); // a directory
    EXPECT_EQ(ArcLastOpenFailure(), ArcOpenCannotOpen);
    EXPECT_EQ(ArcOpen(std::string(300, 'n').c_str(), ArcModeList), nullptr);
    EXPECT_EQ(ArcLastOpenFailure(), ArcOpenCannotOpen);

    struct Case {
        Bytes Data;
        int Failure;
    };
    Bytes OldFormat = {'R', 'E', '~', '^', 0, 0, 0, 0, 0, 0};
    Bytes Short = {'R', 'a', 'r'};
    Bytes NoMain = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00, 0x00, 0x00, 0x73}; // main header cut short
    Bytes NewerFormat = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x01, 0x00, 0x33, 0x92, 0xB5, 0xE5, 0x0A, 0x01};
    for (const Case& C : {Case{OldFormat, ArcOpenOldFormat}, Case{Short, ArcOpenNoArchive},
                          Case{NoMain, ArcOpenNoArchive}, Case{NewerFormat, ArcOpenNoArchive}}) {
        ArchiveFile A(C.Data);
        EXPECT_EQ(A.Handle, nullptr);
        EXPECT_EQ(ArcLastOpenFailure(), C.Failure);
    }
}

TEST(ArchiveOpen, OldSelfExtractorInStubIsRefused)
{
    Bytes Data(200, 'x');
    memcpy(&Data[28], "RSFX", 4);
    memcpy(&Data[60], "RE~^", 4);
    Bytes Plain = TwoFileArchive();
    Data.insert(Data.end(), Plain.begin(), Plain.end());
    ArchiveFile A(Data);
    EXPECT_EQ(A.Handle, nullptr);
    EXPECT_EQ(ArcLastOpenFailure(), ArcOpenOldFormat);
}

// ---- the walk ----

TEST(ArchiveWalk, EmptyArchiveHasNoEntries)
{
    ArchiveFile A(ArchiveBuilder().Data());
    ASSERT_TRUE(A.Handle);
    ArcEntryInfo Info;
    EXPECT_FALSE(ArcReadEntry(A.Handle, &Info));
    EXPECT_EQ(ArcWalkResult(A.Handle), ArcOk);
    EXPECT_FALSE(ArcProcessEntry(A.Handle, true, A.Out().c_str(), nullptr)); // no entry is current
}

TEST(ArchiveWalk, MainHeaderExtraDataAndOtherBlocksArePassedOver)
{
    ArchiveBuilder Builder(0x0002, 40); // a main header with a comment area
    Builder
        .AddBlock(0x77, 0, 14, 84) // old sub-block with data
        .Add(DirectoryEntry("dir"))
        .AddBlock(0x7A, 0, 20, 0) // an unknown block without data
        .Add(StoredEntry("dir\\file.txt", "text"))
        .AddBlock(0x78, 0x4000, 12, 514); // recovery record at the end
    ArchiveFile A(Builder.Data());
    ASSERT_TRUE(A.Handle);
    EXPECT_EQ(ListNames(A.Handle), (std::vector<std::string>{"dir\\file.txt"}));
    EXPECT_EQ(ArcWalkResult(A.Handle), ArcOk);
}

TEST(ArchiveWalk, SameEntryUntilProcessed)
{
    ArchiveFile A(TwoFileArchive());
    ArcEntryInfo First, Again, Next;
    ASSERT_TRUE(ArcReadEntry(A.Handle, &First));
    ASSERT_TRUE(ArcReadEntry(A.Handle, &Again));
    EXPECT_STREQ(First.Name, "a.txt");
    EXPECT_STREQ(Again.Name, "a.txt");
    EXPECT_TRUE(ArcProcessEntry(A.Handle, false, nullptr, nullptr));
    ASSERT_TRUE(ArcReadEntry(A.Handle, &Next));
    EXPECT_STREQ(Next.Name, "b.txt");
}

TEST(ArchiveWalk, RecordCarriesTheHeaderFields)
{
    TestEntry Entry = StoredEntry("x.bin", "12345");
    Entry.Attributes = 0x21;
    Entry.DosTime = 0x12345678;
    Entry.Host = 0;
    ArchiveFile A(ArchiveBuilder().Add(Entry).Data());
    ArcEntryInfo Info;
    ASSERT_TRUE(ArcReadEntry(A.Handle, &Info));
    EXPECT_EQ(Info.HeadFlags, 0x8000u);
    EXPECT_EQ(Info.PackedSize, 5u);
    EXPECT_EQ(Info.UnpackedSize, 5u);
    EXPECT_EQ(Info.HostSystem, 0u);
    EXPECT_EQ(Info.DataCrc, Entry.DataCrc);
    EXPECT_EQ(Info.DosTime, 0x12345678u);
    EXPECT_EQ(Info.VersionNeeded, 20u);
    EXPECT_EQ(Info.Method, 0x30u);
    EXPECT_EQ(Info.Attributes, 0x21u);
}

TEST(ArchiveWalk, OtherHostSystemsBecomeDosWithPlainAttributes)
{
    TestEntry Other = StoredEntry("beos.txt", "b");
    Other.Host = 5;
    Other.Attributes = 0x1FF;
    TestEntry Unix = StoredEntry("unix.txt", "u");
    Unix.Host = 3;
    Unix.Attributes = 0x81A4;
    ArchiveFile A(ArchiveBuilder().Add(Other).Add(Unix).Data());
    ArcEntryInfo Info;
    ASSERT_TRUE(ArcReadEntry(A.Handle, &Info));
    EXPECT_EQ(Info.HostSystem, 0u);
    EXPECT_EQ(Info.Attributes, 0x20u);
    ArcProcessEntry(A.Handle, false, nullptr, nullptr);
    ASSERT_TRUE(ArcReadEntry(A.Handle, &Info));
    EXPECT_EQ(Info.HostSystem, 3u);
    EXPECT_EQ(Info.Attributes, 0x81A4u);
}

TEST(ArchiveWalk, EntryNamesAreCleaned)
{
    ArchiveBuilder Builder;
    for (const char* Name : {"C:\\Dir\\File", ".\\File1", "..\\File2", "/Dir/File3", "\\Root", "..\\..\\Twice"})
        Builder.Add(StoredEntry(Name, "x"));
    ArchiveFile A(Builder.Data());
    EXPECT_EQ(ListNames(A.Handle),
              (std::vector<std::string>{"Dir\\File", "File1", "File2", "Dir\\File3", "Root", "..\\Twice"}));
}

TEST(ArchiveWalk, NameLimits)
{
    std::string Longest(259, 'n');
    TestEntry Encoded = StoredEntry(std::string("short.txt") + '\0' + std::string(300, 'u'), "e");
    ArchiveFile A(ArchiveBuilder().Add(StoredEntry(Longest, "l")).Add(Encoded).Data());
    EXPECT_EQ(ListNames(A.Handle), (std::vector<std::string>{Longest, "short.txt"}));
    EXPECT_EQ(ArcWalkResult(A.Handle), ArcOk);

    // A longer name never reaches the buffer: the walk stops on it.
    ArchiveFile B(ArchiveBuilder().Add(StoredEntry("first", "f")).Add(StoredEntry(std::string(260, 'n'), "x")).Data());
    EXPECT_EQ(ListNames(B.Handle), (std::vector<std::string>{"first"}));
    EXPECT_EQ(ArcWalkResult(B.Handle), ArcDataError);
}

TEST(ArchiveWalk, DamagedHeadersEndTheWalk)
{
    Bytes Good = TwoFileArchive();
    struct Case {
        const char* What;
        Bytes Tail;
        int Walk;
    };
    // The bytes of one more file header (after marker and main header).
    Bytes Third = ArchiveBuilder().Add(StoredEntry("a-long-name.txt", "c")).Data();
    Third.erase(Third.begin(), Third.begin() + 20);
    Bytes Fixed(Third.begin(), Third.begin() + 20);    // 20 of the 32 fixed bytes
    Bytes Name(Third.begin(), Third.begin() + 32 + 6); // 6 of the 15 name bytes
    TestEntry Overlong = StoredEntry("n.txt", "x");
    Overlong.NameSizeOverride = 40; // more name than the header holds
    Bytes OverTail = ArchiveBuilder().Add(Overlong).Data();
    OverTail.erase(OverTail.begin(), OverTail.begin() + 20);
    Bytes ShortBlock = {0x00, 0x00, 0x7A, 0x00};          // 4 bytes of a block at the very end
    Bytes TinyHeader = {0, 0, 0x7A, 0, 0, 6, 0, 1, 2, 3}; // header size below 7
    Bytes HugeData = {0, 0, 0x7A, 0x00, 0x80, 11, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    for (const Case& C :
         {Case{"fixed part cut", Fixed, ArcDataError}, Case{"name cut", Name, ArcDataError},
          Case{"name beyond header", OverTail, ArcDataError}, Case{"short block", ShortBlock, ArcDataError},
          Case{"header size < 7", TinyHeader, ArcOk}, Case{"next block beyond 2 GiB", HugeData, ArcOk}}) {
        SCOPED_TRACE(C.What);
        Bytes Data = Good;
        Data.insert(Data.end(), C.Tail.begin(), C.Tail.end());
        ArchiveFile A(Data);
        EXPECT_EQ(ListNames(A.Handle), (std::vector<std::string>{"a.txt", "b.txt"}));
        EXPECT_EQ(ArcWalkResult(A.Handle), C.Walk);
    }
}

// The end block ends the archive: nothing after it is read, not even bytes
// that look like a file header (a signature appended to a setup, say).
TEST(ArchiveWalk, EndBlockEndsTheArchive)
{
    Bytes EndBlock = {0, 0, 0x7B, 0x00, 0x40, 7, 0};
    Bytes After = ArchiveBuilder().Add(StoredEntry("after.txt", "never read")).Data();
    Bytes Certificate(3000, 0xA5);
    Certificate[2] = 0x74; // a file header's type byte
    for (const Bytes& Tail : {Bytes(), Bytes(After.begin() + 20, After.end()), Certificate}) {
        Bytes Data = TwoFileArchive();
        Data.insert(Data.end(), EndBlock.begin(), EndBlock.end());
        Data.insert(Data.end(), Tail.begin(), Tail.end());
        ArchiveFile A(Data);
        EXPECT_EQ(ListNames(A.Handle), (std::vector<std::string>{"a.txt", "b.txt"})) << Tail.size();
        EXPECT_EQ(ArcWalkResult(A.Handle), ArcOk) << Tail.size();
    }
}

// An archive cut anywhere inside its last block is damage, whether the cut is
// in the header (even in its first seven bytes) or in the entry's data; cut
// between two blocks it simply ends (as archives without an end block do).
TEST(ArchiveWalk, ArchiveCutShortIsDamage)
{
    Bytes Whole = TwoFileArchive();
    size_t SecondStart = ArchiveBuilder().Add(StoredEntry("a.txt", "alpha")).Data().size();
    for (size_t Size = SecondStart; Size < Whole.size(); ++Size) {
        SCOPED_TRACE(Size);
        ArchiveFile A(Bytes(Whole.begin(), Whole.begin() + (long)Size));
        ArcEntryInfo Info;
        ASSERT_TRUE(ArcReadEntry(A.Handle, &Info));
        EXPECT_EQ(ArcProcessEntryCode(A.Handle, false, nullptr, nullptr), ArcOk);
        bool Second = ArcReadEntry(A.Handle, &Info);
        if (Size == SecondStart) {
            EXPECT_FALSE(Second);
            EXPECT_EQ(ArcWalkResult(A.Handle), ArcOk);
            continue;
        }
        // The header is whole once its name is: the entry is listed, and
        // its data is found short.
        EXPECT_EQ(Second, Size >= SecondStart + 32 + 5);
        if (Second) {
            EXPECT_EQ(ArcTestEntryCode(A.Handle), ArcDataError);
            EXPECT_FALSE(ArcReadEntry(A.Handle, &Info));
        }
        EXPECT_EQ(ArcWalkResult(A.Handle), ArcDataError);
    }
}

// ---- extraction ----

TEST(ArchiveExtract, DestinationNameOrDirectory)
{
    ArchiveBuilder Builder;
    for (const char* Name : {"Presetup\\Tarn.ini", "Sub\\Dir\\a.txt", "b.txt", "c.txt"})
        Builder.Add(StoredEntry(Name, std::string("data of ") + Name));
    ArchiveFile A(Builder.Data());
    ArcEntryInfo Info;
    std::string Out = A.Out();
    // A destination name wins over the directory and the entry's own path.
    ASSERT_TRUE(ArcReadEntry(A.Handle, &Info));
    EXPECT_TRUE(ArcProcessEntry(A.Handle, true, "ignored", (Out + "\\Tmp\\Tarn.ini").c_str()));
    EXPECT_EQ(ReadText(Out + "/Tmp/Tarn.ini"), "data of Presetup\\Tarn.ini");
    // The entry's directories are created under the destination directory.
    ASSERT_TRUE(ArcReadEntry(A.Handle, &Info));
    EXPECT_TRUE(ArcProcessEntry(A.Handle, true, Out.c_str(), nullptr));
    EXPECT_EQ(ReadText(Out + "/Sub/Dir/a.txt"), "data of Sub\\Dir\\a.txt");
    // A trailing separator is not doubled.
    ASSERT_TRUE(ArcReadEntry(A.Handle, &Info));
    EXPECT_TRUE(ArcProcessEntry(A.Handle, true, (Out + "\\").c_str(), nullptr));
    EXPECT_EQ(ReadText(Out + "/b.txt"), "data of b.txt");
    ASSERT_TRUE(ArcReadEntry(A.Handle, &Info));
    EXPECT_TRUE(ArcProcessEntry(A.Handle, true, (Out + "/").c_str(), ""));
    EXPECT_EQ(ReadText(Out + "/c.txt"), "data of c.txt");
}

TEST(ArchiveExtract, NamesLeavingTheDirectoryAreRefused)
{
    ArchiveBuilder Builder;
    for (const char* Name :
         {"..\\..\\evil.txt", "a\\..\\..\\evil.txt", "a\\...\\evil.txt", "\\\\server\\evil.txt", "C:C:evil.txt", "C:"})
        Builder.Add(StoredEntry(Name, "evil"));
    Builder.Add(StoredEntry("good.txt", "good"));
    ArchiveFile A(Builder.Data());
    std::string Inner = A.Out() + "/inner";
    ArcEntryInfo Info;
    for (int I = 0; I < 6; ++I) {
        ASSERT_TRUE(ArcReadEntry(A.Handle, &Info));
        SCOPED_TRACE(Info.Name);
        EXPECT_FALSE(ArcIsSafeEntryName(Info.Name));
        EXPECT_EQ(ArcProcessEntryCode(A.Handle, true, Inner.c_str(), nullptr), ArcCreateError);
        // The refused entry stays current until it is skipped.
        ArcEntryInfo Again;
        ASSERT_TRUE(ArcReadEntry(A.Handle, &Again));
        EXPECT_STREQ(Again.Name, Info.Name);
        EXPECT_EQ(ArcProcessEntryCode(A.Handle, false, nullptr, nullptr), ArcOk);
    }
    ASSERT_TRUE(ArcReadEntry(A.Handle, &Info));
    EXPECT_EQ(ArcProcessEntryCode(A.Handle, true, Inner.c_str(), nullptr), ArcOk);
    EXPECT_FALSE(FileExists(A.Out() + "/evil.txt"));
    EXPECT_FALSE(FileExists(A.Dir.File("evil.txt")));
    EXPECT_TRUE(FileExists(Inner + "/good.txt"));
    EXPECT_TRUE(ArcIsSafeEntryName("a\\.\\b..c\\d.txt"));
}

TEST(ArchiveExtract, DestinationsOverThePathLimitAreRefused)
{
    ArchiveFile A(ArchiveBuilder().Add(StoredEntry(std::string(200, 'f'), "x")).Data());
    ArcEntryInfo Info;
    ASSERT_TRUE(ArcReadEntry(A.Handle, &Info));
    std::string LongDir = A.Out() + "/" + std::string(80, 'd');
    EXPECT_EQ(ArcProcessEntryCode(A.Handle, true, LongDir.c_str(), nullptr), ArcCreateError);
    EXPECT_EQ(ArcProcessEntryCode(A.Handle, true, nullptr, (A.Out() + "/" + std::string(300, 'g')).c_str()),
              ArcCreateError);
    EXPECT_FALSE(FileExists(LongDir));
}

TEST(ArchiveExtract, TimeAndAttributesAreRestored)
{
    TestEntry Plain = StoredEntry("plain.txt", "p");
    Plain.DosTime = (uint32_t)((2001 - 1980) << 25 | 7 << 21 | 14 << 16 | 9 << 11 | 30 << 5 | 20);
    TestEntry ReadOnly = StoredEntry("readonly.txt", "r");
    ReadOnly.Attributes = 0x21;
    TestEntry UnixReadOnly = StoredEntry("unix.txt", "u");
    UnixReadOnly.Host = 3;
    UnixReadOnly.Attributes = 0100444;
    ArchiveFile A(ArchiveBuilder().Add(Plain).Add(ReadOnly).Add(UnixReadOnly).Data());
    ArcEntryInfo Info;
    while (ArcReadEntry(A.Handle, &Info)) EXPECT_TRUE(ArcProcessEntry(A.Handle, true, A.Out().c_str(), nullptr));

    struct tm Local = {};
    Local.tm_year = 101, Local.tm_mon = 6, Local.tm_mday = 14, Local.tm_hour = 9, Local.tm_min = 30, Local.tm_sec = 40;
    Local.tm_isdst = -1;
    struct stat Status;
    ASSERT_EQ(stat((A.Out() + "/plain.txt").c_str(), &Status), 0);
    EXPECT_EQ(Status.st_mtime, mktime(&Local));
    EXPECT_NE(Status.st_mode & S_IWUSR, 0u);
    ASSERT_EQ(stat((A.Out() + "/readonly.txt").c_str(), &Status), 0);
    EXPECT_EQ(Status.st_mode & 0222, 0u);
    ASSERT_EQ(stat((A.Out() + "/unix.txt").c_str(), &Status), 0);
    EXPECT_EQ(Status.st_mode & 0222, 0u);
}

TEST(ArchiveExtract, ReadOnlyDestinationIsReplaced)
{
    ArchiveFile A(ArchiveBuilder().Add(StoredEntry("file.txt", "new contents")).Data());
    std::string Target = A.Dir.File("file.txt");
    WriteFileBytes(Target, ToBytes("old"));
    chmod(Target.c_str(), 0444);
    ArcEntryInfo Info;
    ASSERT_TRUE(ArcReadEntry(A.Handle, &Info));
    EXPECT_TRUE(ArcProcessEntry(A.Handle, true, A.Dir.Path().c_str(), nullptr));
    EXPECT_EQ(ReadText(Target), "new contents");
    struct stat Status;
    ASSERT_EQ(stat(Target.c_str(), &Status), 0);
    EXPECT_NE(Status.st_mode & S_IWUSR, 0u);
}

// Entries come ordered by extension and name, so one folder's files are
// spread out: each folder is made for its first file only, and made again
// when it has gone meanwhile.
TEST(ArchiveExtract, FoldersAreMadeForTheirFirstFileOnly)
{
    TempDir Dir;
    WriteFileBytes(Dir.File("test.rar"), ArchiveBuilder()
                                             .Add(StoredEntry("A\\Deep\\1.txt", "a1"))
                                             .Add(StoredEntry("B\\Deep\\1.txt", "b1"))
                                             .Add(StoredEntry("A\\Deep\\2.txt", "a2"))
                                             .Add(StoredEntry("B\\Deep\\2.txt", "b2"))
                                             .Add(StoredEntry("A\\Deep\\3.txt", "a3"))
                                             .Data());
    FaultPlan Plan;
    Plan.FailKinds = FaultMakeDir; // counted, never failed
    InstallFaultBackend(&Plan);
    ArcHandle Handle = ArcOpen(Dir.File("test.rar").c_str(), ArcModeExtract);
    ASSERT_NE(Handle, nullptr);
    std::string Out = Dir.Path() + "/out";
    std::vector<int> MadeFor;
    ArcEntryInfo Info;
    while (ArcReadEntry(Handle, &Info)) {
        if (MadeFor.size() == 4) std::filesystem::remove_all(Out + "/A"); // gone before A\Deep\3.txt
        int Before = Plan.Operations;
        EXPECT_TRUE(ArcProcessEntry(Handle, true, Out.c_str(), nullptr)) << Info.Name;
        MadeFor.push_back(Plan.Operations - Before);
    }
    ArcClose(Handle);
    RemoveFaultBackend();
    ASSERT_EQ(MadeFor.size(), 5u);
    EXPECT_GT(MadeFor[0], 0);
    EXPECT_GT(MadeFor[1], 0);
    EXPECT_EQ(MadeFor[2], 0);
    EXPECT_EQ(MadeFor[3], 0);
    EXPECT_GT(MadeFor[4], 0);
    EXPECT_EQ(ReadText(Out + "/A/Deep/3.txt"), "a3");
    EXPECT_EQ(ReadText(Out + "/B/Deep/2.txt"), "b2");
    EXPECT_EQ(Plan.LiveBlocks, 0);
}

TEST(ArchiveExtract, StoredSizes)
{
    TestEntry Empty = StoredEntry("empty.txt", "");
    TestEntry Longer = StoredEntry("longer.txt", "0123456789");
    Longer.UnpackedSize = 4;
    Longer.DataCrc = Crc32Of(ToBytes("0123"));
    Bytes Big(100000);
    for (size_t I = 0; I < Big.size(); ++I) Big[I] = (uint8_t)(I * 7 + I / 300);
    TestEntry Large = StoredEntry("large.bin", std::string(Big.begin(), Big.end()));
    ArchiveFile A(ArchiveBuilder().Add(Empty).Add(Longer).Add(Large).Data());
    ArcEntryInfo Info;
    while (ArcReadEntry(A.Handle, &Info)) EXPECT_TRUE(ArcProcessEntry(A.Handle, true, A.Out().c_str(), nullptr));
    EXPECT_EQ(ReadFileBytes(A.Out() + "/empty.txt").size(), 0u);
    EXPECT_EQ(ReadText(A.Out() + "/longer.txt"), "0123");
    EXPECT_EQ(ReadFileBytes(A.Out() + "/large.bin"), Big);
}

TEST(ArchiveExtract, DamagedEntriesAreDeletedAndTheWalkGoesOn)
{
    TestEntry BadCrc = StoredEntry("badcrc.txt", "contents");
    BadCrc.DataCrc ^= 1;
    TestEntry Short = StoredEntry("short.txt", "abc");
    Short.UnpackedSize = 10; // more than the packed data holds
    TestEntry Split = StoredEntry("split.txt", "part");
    Split.Flags |= 0x0002;
    TestEntry Encrypted = StoredEntry("secret.txt", "scrambled");
    Encrypted.Flags |= 0x0004;
    ArchiveFile A(
        ArchiveBuilder().Add(BadCrc).Add(Short).Add(Split).Add(Encrypted).Add(StoredEntry("ok.txt", "ok")).Data());
    ArcEntryInfo Info;
    for (const char* Name : {"badcrc.txt", "short.txt", "split.txt", "secret.txt"}) {
        ASSERT_TRUE(ArcReadEntry(A.Handle, &Info));
        EXPECT_STREQ(Info.Name, Name);
        EXPECT_EQ(ArcProcessEntryCode(A.Handle, true, A.Out().c_str(), nullptr), ArcDataError);
        EXPECT_FALSE(FileExists(A.Out() + "/" + Name));
    }
    ASSERT_TRUE(ArcReadEntry(A.Handle, &Info));
    EXPECT_TRUE(ArcProcessEntry(A.Handle, true, A.Out().c_str(), nullptr));
    EXPECT_EQ(ReadText(A.Out() + "/ok.txt"), "ok");
}

TEST(ArchiveExtract, TestingChecksWithoutWriting)
{
    TestEntry BadCrc = StoredEntry("bad.txt", "x");
    BadCrc.DataCrc ^= 1;
    ArchiveFile A(ArchiveBuilder().Add(StoredEntry("good.txt", "g")).Add(BadCrc).Data(), ArcModeList);
    ArcEntryInfo Info;
    ASSERT_TRUE(ArcReadEntry(A.Handle, &Info));
    EXPECT_EQ(ArcTestEntryCode(A.Handle), ArcOk);
    ASSERT_TRUE(ArcReadEntry(A.Handle, &Info));
    EXPECT_EQ(ArcTestEntryCode(A.Handle), ArcDataError);
    EXPECT_FALSE(ArcReadEntry(A.Handle, &Info));
    EXPECT_EQ(ArcTestEntryCode(A.Handle), ArcDataError); // no entry is current
}

TEST(ArchiveExtract, UnwritableDestinationIsACreateError)
{
    ArchiveFile A(TwoFileArchive());
    WriteFileBytes(A.Dir.File("blocker"), ToBytes("a file where a directory should be"));
    ArcEntryInfo Info;
    ASSERT_TRUE(ArcReadEntry(A.Handle, &Info));
    EXPECT_EQ(ArcProcessEntryCode(A.Handle, true, A.Dir.File("blocker").c_str(), nullptr), ArcCreateError);
    ASSERT_TRUE(ArcReadEntry(A.Handle, &Info));
    EXPECT_STREQ(Info.Name, "a.txt");
}

TEST(ArchiveClose, CloseIsSafeWhenRepeated)
{
    ArcHandle Handle;
    {
        ArchiveFile A(TwoFileArchive());
        Handle = A.Handle;
        ArcClose(A.Handle);
        ArcClose(A.Handle);
    }
    ArcClose(nullptr);
    ArcEntryInfo Info;
    EXPECT_FALSE(ArcReadEntry(Handle, &Info));
}

} // namespace
