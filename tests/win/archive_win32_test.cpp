// The reader's Win32 file layer under Wine: the entry's time and attributes
// on the extracted file, read-only destinations replaced, damaged entries
// deleted, locked destinations refused, directories created along the path.
#include <gtest/gtest.h>

#include <windows.h>

#include "ArcTestKit.h"
#include "Unrar.h"

namespace {

// Writes the archive and opens it; closed by the destructor.
struct OpenArchive {
    explicit OpenArchive(const Bytes& Data)
    {
        WriteFileBytes(Dir.File("test.rar"), Data);
        Handle = ArcOpen(Dir.File("test.rar").c_str(), ArcModeExtract);
    }
    ~OpenArchive() { ArcClose(Handle); }
    int ExtractNext(const std::string& DestDir)
    {
        ArcEntryInfo Info;
        if (!ArcReadEntry(Handle, &Info)) return -1;
        return ArcProcessEntryCode(Handle, true, DestDir.c_str(), nullptr);
    }
    TempDir Dir;
    ArcHandle Handle = nullptr;
};

std::string ReadText(const std::string& Path)
{
    Bytes Data = ReadFileBytes(Path);
    return std::string(Data.begin(), Data.end());
}

TEST(ArchiveWin32, TimeAndAttributesOfTheEntry)
{
    TestEntry Entry = StoredEntry("Sub\\dated.txt", "dated");
    Entry.DosTime = (uint32_t)((2003 - 1980) << 25 | 11 << 21 | 23 << 16 | 17 << 11 | 45 << 5 | 10);
    Entry.Attributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE;
    TestEntry Unix = StoredEntry("unix.txt", "u");
    Unix.Host = 3;
    Unix.Attributes = 0100444; // no owner write: read-only
    OpenArchive A(ArchiveBuilder().Add(Entry).Add(Unix).Data());
    ASSERT_TRUE(A.Handle);
    EXPECT_EQ(A.ExtractNext(A.Dir.Path()), ArcOk);
    EXPECT_EQ(A.ExtractNext(A.Dir.Path()), ArcOk);

    std::string Path = A.Dir.File("Sub\\dated.txt");
    EXPECT_EQ(GetFileAttributesA(Path.c_str()), (DWORD)(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(GetFileAttributesA(A.Dir.File("unix.txt").c_str()),
              (DWORD)(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    FILETIME Local, Expected, Actual;
    ASSERT_TRUE(DosDateTimeToFileTime((WORD)(Entry.DosTime >> 16), (WORD)Entry.DosTime, &Local));
    ASSERT_TRUE(LocalFileTimeToFileTime(&Local, &Expected));
    HANDLE File = CreateFileA(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(File, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(GetFileTime(File, NULL, NULL, &Actual));
    CloseHandle(File);
    EXPECT_EQ(CompareFileTime(&Expected, &Actual), 0);

    // The created directory keeps the system's default attributes.
    DWORD DirAttributes = GetFileAttributesA(A.Dir.File("Sub").c_str());
    EXPECT_TRUE(DirAttributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(DirAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), 0u);
}

TEST(ArchiveWin32, ReadOnlyDestinationIsReplaced)
{
    OpenArchive A(ArchiveBuilder().Add(StoredEntry("target.txt", "fresh contents")).Data());
    std::string Target = A.Dir.File("target.txt");
    WriteFileBytes(Target, ToBytes("stale"));
    ASSERT_TRUE(SetFileAttributesA(Target.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(A.ExtractNext(A.Dir.Path()), ArcOk);
    EXPECT_EQ(ReadText(Target), "fresh contents");
    EXPECT_EQ(GetFileAttributesA(Target.c_str()), (DWORD)FILE_ATTRIBUTE_ARCHIVE);
}

TEST(ArchiveWin32, CrcFailureDeletesTheFile)
{
    TestEntry Bad = StoredEntry("bad.txt", "damaged");
    Bad.DataCrc ^= 0x80;
    Bad.Attributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE;
    OpenArchive A(ArchiveBuilder().Add(Bad).Add(StoredEntry("next.txt", "next")).Data());
    std::string Target = A.Dir.File("bad.txt");
    WriteFileBytes(Target, ToBytes("an older file of that name"));
    EXPECT_EQ(A.ExtractNext(A.Dir.Path()), ArcDataError);
    EXPECT_EQ(GetFileAttributesA(Target.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(A.ExtractNext(A.Dir.Path()), ArcOk);
    EXPECT_EQ(ReadText(A.Dir.File("next.txt")), "next");
}

TEST(ArchiveWin32, LockedDestinationIsACreateError)
{
    OpenArchive A(ArchiveBuilder().Add(StoredEntry("locked.txt", "new")).Data());
    std::string Target = A.Dir.File("locked.txt");
    WriteFileBytes(Target, ToBytes("in use"));
    HANDLE Holder = CreateFileA(Target.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(Holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(A.ExtractNext(A.Dir.Path()), ArcCreateError);
    CloseHandle(Holder);
    EXPECT_EQ(ReadText(Target), "in use");
    // The entry is still current and extracts once the file is free.
    EXPECT_EQ(A.ExtractNext(A.Dir.Path()), ArcOk);
    EXPECT_EQ(ReadText(Target), "new");
}

TEST(ArchiveWin32, DestinationNameAndTrailingSeparator)
{
    OpenArchive A(
        ArchiveBuilder().Add(StoredEntry("Presetup\\Tarn.ini", "ini")).Add(StoredEntry("Data\\x.txt", "x")).Data());
    ArcEntryInfo Info;
    ASSERT_TRUE(ArcReadEntry(A.Handle, &Info));
    std::string Named = A.Dir.File("Tmp\\Tarn.ini");
    EXPECT_TRUE(ArcProcessEntry(A.Handle, true, "", Named.c_str()));
    EXPECT_EQ(ReadText(Named), "ini");
    EXPECT_EQ(A.ExtractNext(A.Dir.Path() + "\\"), ArcOk);
    EXPECT_EQ(ReadText(A.Dir.File("Data\\x.txt")), "x");
}

TEST(ArchiveWin32, RealSolidArchives)
{
    SKIP_WITHOUT_VECTORS();
    int Solid = 0;
    for (const VectorArchive& Archive : LoadVectors()) {
        if (!Archive.AllGood() || !HasSolidEntries(Archive.Path)) continue;
        SCOPED_TRACE(Archive.Path);
        ++Solid;
        TempDir Out;
        ArcHandle Handle = ArcOpen(Archive.Path.c_str(), ArcModeExtract);
        ASSERT_TRUE(Handle);
        ArcEntryInfo Info;
        while (ArcReadEntry(Handle, &Info)) {
            EXPECT_EQ(ArcProcessEntryCode(Handle, true, Out.Path().c_str(), nullptr), ArcOk) << Info.Name;
            EXPECT_EQ(Crc32Of(ReadFileBytes(Out.File(Info.Name))), Info.DataCrc);
        }
        ArcClose(Handle);
    }
    EXPECT_GE(Solid, 1);
}

} // namespace
