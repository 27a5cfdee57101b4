// tarnpack list/test/extract as a user runs them: exit statuses 0/1/2, one
// line per failure naming the entry and the reason, names shown escaped,
// files written under DIR and never through a link found there.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ArcTestKit.h"
#include "Unrar.h"

namespace {

struct ToolRun {
    int Status = -1;
    std::string Out, Err;
};

std::string Quote(const std::string& Text)
{
    std::string Quoted = "'";
    for (char C : Text) Quoted += C == '\'' ? std::string("'\\''") : std::string(1, C);
    return Quoted + "'";
}

ToolRun Tarnpack(const std::vector<std::string>& Args)
{
    TempDir Dir;
    std::string Command = Quote(TARNPACK_PATH);
    for (const std::string& Arg : Args) Command += " " + Quote(Arg);
    Command += " >" + Quote(Dir.File("out")) + " 2>" + Quote(Dir.File("err")) + " </dev/null";
    int Raw = system(Command.c_str());
    ToolRun Result;
    Result.Status = WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -1;
    Bytes Out = ReadFileBytes(Dir.File("out")), Err = ReadFileBytes(Dir.File("err"));
    Result.Out.assign(Out.begin(), Out.end());
    Result.Err.assign(Err.begin(), Err.end());
    return Result;
}

const std::vector<VectorArchive>& Vectors()
{
    static std::vector<VectorArchive> All = LoadVectors();
    return All;
}

std::string Hex(uint32_t Value)
{
    char Text[16];
    snprintf(Text, sizeof Text, "%08X", Value);
    return Text;
}

// A name as tarnpack shows it: printable ASCII as it is, any other byte as \xNN.
std::string Shown(const std::string& Name)
{
    std::string Text;
    for (unsigned char C : Name) {
        char Escape[8];
        snprintf(Escape, sizeof Escape, "\\x%02X", C);
        Text += (C >= 0x20 && C < 0x7F) ? std::string(1, (char)C) : std::string(Escape);
    }
    return Text;
}

int CountLines(const std::string& Text)
{
    int Lines = 0;
    for (char C : Text) Lines += C == '\n';
    return Lines;
}

TEST(TarnpackRead, ListShowsEveryFileEntryAndATotal)
{
    SKIP_WITHOUT_VECTORS();
    const VectorArchive* Solid = nullptr;
    for (const VectorArchive& Archive : Vectors())
        if (!Solid && Archive.AllGood() && Archive.Entries.size() >= 2 && HasSolidEntries(Archive.Path))
            Solid = &Archive;
    ASSERT_TRUE(Solid);
    ToolRun R = Tarnpack({"list", Solid->Path});
    EXPECT_EQ(R.Status, 0);
    EXPECT_EQ(R.Err, "");
    uint64_t Total = 0;
    for (const VectorEntry& Entry : Solid->Entries) {
        EXPECT_NE(R.Out.find(std::to_string(Entry.Size)), std::string::npos);
        EXPECT_NE(R.Out.find(Hex(Entry.Crc)), std::string::npos);
        EXPECT_NE(R.Out.find(Shown(VectorNameBytes(Entry.Name)) + "\n"), std::string::npos);
        Total += Entry.Size;
    }
    EXPECT_NE(R.Out.find("yes"), std::string::npos); // a solid entry
    EXPECT_NE(R.Out.find(std::to_string(Total)), std::string::npos);
    EXPECT_NE(R.Out.find(std::to_string(Solid->Entries.size()) + " files"), std::string::npos);
    EXPECT_EQ(CountLines(R.Out), (int)Solid->Entries.size() + 2); // heading, entries, total
}

// Every real archive: status 0 when all is well, 1 with one line per bad
// entry, 2 with one line when it cannot be used at all.
TEST(TarnpackRead, TestReportsEachBadEntry)
{
    SKIP_WITHOUT_VECTORS();
    for (const VectorArchive& Archive : Vectors()) {
        SCOPED_TRACE(Archive.Path);
        ToolRun R = Tarnpack({"test", Archive.Path});
        if (!Archive.OpenFailure.empty()) {
            EXPECT_EQ(R.Status, 2);
            EXPECT_EQ(CountLines(R.Err), 1);
            EXPECT_NE(R.Err.find(Archive.OpenFailure == "old-format" ? "old format" : "no archive found"),
                      std::string::npos)
                << R.Err;
            continue;
        }
        int Bad = 0;
        for (const VectorEntry& Entry : Archive.Entries) {
            if (Entry.Good) continue;
            ++Bad;
            EXPECT_NE(R.Err.find(": " + Shown(VectorNameBytes(Entry.Name)) + ": "), std::string::npos) << R.Err;
        }
        EXPECT_EQ(R.Status, Bad ? 1 : 0);
        EXPECT_EQ(CountLines(R.Err), Bad);
        if (!Bad) EXPECT_NE(R.Out.find(std::to_string(Archive.Entries.size()) + " entries OK"), std::string::npos);
    }
}

TEST(TarnpackRead, ExtractWritesUnderTheDirectory)
{
    SKIP_WITHOUT_VECTORS();
    const VectorArchive* Nested = nullptr;
    for (const VectorArchive& Archive : Vectors())
        for (const VectorEntry& Entry : Archive.Entries)
            if (!Nested && Archive.AllGood() && Entry.Name.find('\\') != std::string::npos) Nested = &Archive;
    ASSERT_TRUE(Nested);
    TempDir Dir;
    ToolRun R = Tarnpack({"extract", Nested->Path, Dir.File("out")});
    EXPECT_EQ(R.Status, 0) << R.Err;
    for (const VectorEntry& Entry : Nested->Entries) {
        std::string Relative = VectorNameBytes(Entry.Name);
        for (char& C : Relative)
            if (C == '\\') C = '/';
        EXPECT_EQ(Crc32Of(ReadFileBytes(Dir.File("out/" + Relative))), Entry.Crc) << Entry.Name;
    }
}

TEST(TarnpackRead, ExtractRefusesEscapingNamesAndGoesOn)
{
    TempDir Dir;
    WriteFileBytes(Dir.File("a.rar"),
                   ArchiveBuilder().Add(StoredEntry("..\\..\\up.txt", "u")).Add(StoredEntry("ok.txt", "ok")).Data());
    ToolRun R = Tarnpack({"extract", Dir.File("a.rar"), Dir.File("out")});
    EXPECT_EQ(R.Status, 1);
    EXPECT_EQ(CountLines(R.Err), 1);
    EXPECT_NE(R.Err.find("..\\up.txt: refused"), std::string::npos) << R.Err;
    EXPECT_TRUE(FileExists(Dir.File("out/ok.txt")));
    EXPECT_FALSE(FileExists(Dir.File("up.txt")));
}

// A name from an archive never reaches the terminal raw: an escape
// sequence in it (here one that sets the window title), a line break, or a
// byte of some code page is shown as \xNN, in list, test and extract alike.
TEST(TarnpackRead, NamesAreShownEscaped)
{
    const std::string Hostile = "e\x1B]0;owned\x07\xE9\nx.txt";
    const std::string Expected = "e\\x1B]0;owned\\x07\\xE9\\x0Ax.txt";
    TempDir Dir;
    TestEntry Damaged = StoredEntry(Hostile, "data");
    Damaged.DataCrc ^= 1;
    WriteFileBytes(Dir.File("a.rar"), ArchiveBuilder().Add(Damaged).Data());
    WriteFileBytes(Dir.File("b.rar"), ArchiveBuilder().Add(StoredEntry("..\\..\\" + Hostile, "up")).Data());

    ToolRun List = Tarnpack({"list", Dir.File("a.rar")});
    ToolRun Test = Tarnpack({"test", Dir.File("a.rar")});
    ToolRun Extract = Tarnpack({"extract", Dir.File("b.rar"), Dir.File("out")});
    EXPECT_NE(List.Out.find(" " + Expected + "\n"), std::string::npos) << List.Out;
    EXPECT_NE(Test.Err.find(": " + Expected + ": data error"), std::string::npos) << Test.Err;
    EXPECT_NE(Extract.Err.find(": ..\\" + Expected + ": refused"), std::string::npos) << Extract.Err;
    for (const std::string* Output : {&List.Out, &List.Err, &Test.Out, &Test.Err, &Extract.Out, &Extract.Err})
        for (char C : *Output)
            EXPECT_TRUE(C == '\n' || ((unsigned char)C >= 0x20 && (unsigned char)C < 0x7F)) << (int)C;
    EXPECT_EQ(CountLines(List.Out), 3); // heading, the entry, total
}

// Links that someone put into the destination before: a folder link, a file
// link and a link to nothing where entries go. None is written through; each
// entry is reported as refused; the other entries are extracted.
TEST(TarnpackRead, ExtractNeverWritesThroughALink)
{
    TempDir Dir;
    std::string Out = Dir.File("out"), Outside = Dir.File("outside");
    ASSERT_EQ(0, mkdir(Out.c_str(), 0777));
    ASSERT_EQ(0, mkdir(Outside.c_str(), 0777));
    WriteFileBytes(Outside + "/victim.txt", ToBytes("victim"));
    ASSERT_EQ(0, chmod((Outside + "/victim.txt").c_str(), 0444));
    ASSERT_EQ(0, symlink("../outside", (Out + "/dir").c_str()));
    ASSERT_EQ(0, symlink("../outside/victim.txt", (Out + "/file.txt").c_str()));
    ASSERT_EQ(0, symlink("../outside/new.txt", (Out + "/dangling.txt").c_str()));
    WriteFileBytes(Dir.File("a.rar"), ArchiveBuilder()
                                          .Add(StoredEntry("dir\\inner.txt", "inner"))
                                          .Add(StoredEntry("dir\\deeper\\inner.txt", "deeper"))
                                          .Add(StoredEntry("file.txt", "overwritten"))
                                          .Add(StoredEntry("dangling.txt", "created"))
                                          .Add(StoredEntry("sub\\ok.txt", "ok"))
                                          .Data());
    ToolRun R = Tarnpack({"extract", Dir.File("a.rar"), Out});
    EXPECT_EQ(R.Status, 1);
    EXPECT_EQ(CountLines(R.Err), 4) << R.Err;
    for (const char* Name : {"dir\\inner.txt", "dir\\deeper\\inner.txt", "file.txt", "dangling.txt"})
        EXPECT_NE(R.Err.find(std::string(": ") + Name + ": refused: a symbolic link is in the way"), std::string::npos)
            << Name << "\n"
            << R.Err;
    EXPECT_NE(R.Out.find("4 of 5 entries not extracted"), std::string::npos) << R.Out;
    EXPECT_EQ(ReadFileBytes(Outside + "/victim.txt"), ToBytes("victim"));
    struct stat Info;
    ASSERT_EQ(0, stat((Outside + "/victim.txt").c_str(), &Info));
    EXPECT_EQ(0444u, Info.st_mode & 0777); // not made writable through the link either
    EXPECT_FALSE(FileExists(Outside + "/inner.txt"));
    EXPECT_FALSE(FileExists(Outside + "/deeper"));
    EXPECT_FALSE(FileExists(Outside + "/new.txt"));
    EXPECT_EQ(ReadFileBytes(Out + "/sub/ok.txt"), ToBytes("ok"));
    ASSERT_EQ(0, lstat((Out + "/file.txt").c_str(), &Info));
    EXPECT_TRUE(S_ISLNK(Info.st_mode)); // the link itself stays as it was
}

// A pipe where a file goes would block the open for writing until someone
// reads it: it is refused at once instead.
TEST(TarnpackRead, ExtractRefusesAPipeWithoutWaiting)
{
    TempDir Dir;
    std::string Out = Dir.File("out");
    ASSERT_EQ(0, mkdir(Out.c_str(), 0777));
    ASSERT_EQ(0, mkfifo((Out + "/pipe.txt").c_str(), 0666));
    WriteFileBytes(Dir.File("a.rar"),
                   ArchiveBuilder().Add(StoredEntry("pipe.txt", "pipe")).Add(StoredEntry("ok.txt", "ok")).Data());
    ToolRun R = Tarnpack({"extract", Dir.File("a.rar"), Out});
    EXPECT_EQ(R.Status, 1);
    EXPECT_NE(R.Err.find(": pipe.txt: refused: something other than a file has that name"), std::string::npos) << R.Err;
    EXPECT_EQ(ReadFileBytes(Out + "/ok.txt"), ToBytes("ok"));
}

// DIR itself is the user's choice and may be a link; a file already there
// (read-only too) is replaced as before.
TEST(TarnpackRead, ExtractIntoALinkedDirectoryAndOverExistingFiles)
{
    TempDir Dir;
    std::string Real = Dir.File("real"), Linked = Dir.File("linked");
    ASSERT_EQ(0, mkdir(Real.c_str(), 0777));
    ASSERT_EQ(0, symlink(Real.c_str(), Linked.c_str()));
    WriteFileBytes(Real + "/old.txt", ToBytes("old contents, longer than the new"));
    ASSERT_EQ(0, chmod((Real + "/old.txt").c_str(), 0444));
    WriteFileBytes(Dir.File("a.rar"),
                   ArchiveBuilder().Add(StoredEntry("old.txt", "new")).Add(StoredEntry("a\\b.txt", "b")).Data());
    for (const std::string& Dest : {Linked, Linked + "/"}) {
        ToolRun R = Tarnpack({"extract", Dir.File("a.rar"), Dest});
        EXPECT_EQ(R.Status, 0) << Dest << "\n" << R.Err;
        EXPECT_EQ(ReadFileBytes(Real + "/old.txt"), ToBytes("new"));
        EXPECT_EQ(ReadFileBytes(Real + "/a/b.txt"), ToBytes("b"));
    }
}

TEST(TarnpackRead, SetupProgramWithAppendedArchive)
{
    TempDir Dir;
    Bytes Setup(3000, 0);
    Setup[0] = 'M';
    Setup[1] = 'Z';
    Bytes Archive = ArchiveBuilder(0x000C).Add(StoredEntry("Presetup\\Tarn.ini", "[Config]\r\n")).Data();
    Setup.insert(Setup.end(), Archive.begin(), Archive.end());
    WriteFileBytes(Dir.File("setup.exe"), Setup);
    ToolRun R = Tarnpack({"list", Dir.File("setup.exe")});
    EXPECT_EQ(R.Status, 0);
    EXPECT_NE(R.Out.find("Presetup\\Tarn.ini"), std::string::npos);
}

TEST(TarnpackRead, FilesThatHoldNoUsableArchive)
{
    TempDir Dir;
    WriteFileBytes(Dir.File("plain.txt"), ToBytes("just text, no archive"));
    struct Case {
        std::string File;
        const char* Reason;
    };
    for (const Case& C :
         {Case{Dir.File("missing.rar"), "cannot open the file"}, Case{Dir.File("plain.txt"), "no archive found"}}) {
        for (const char* Command : {"list", "test"}) {
            ToolRun R = Tarnpack({Command, C.File});
            EXPECT_EQ(R.Status, 2) << Command << " " << C.File;
            EXPECT_EQ(CountLines(R.Err), 1);
            EXPECT_NE(R.Err.find(C.Reason), std::string::npos) << R.Err;
            EXPECT_NE(R.Err.find(C.File), std::string::npos);
        }
    }
}

TEST(TarnpackRead, DamagedArchiveEndIsReported)
{
    TempDir Dir;
    Bytes Data = ArchiveBuilder().Add(StoredEntry("a.txt", "a")).Data();
    Bytes Cut = ArchiveBuilder().Add(StoredEntry("b.txt", "b")).Data();
    Data.insert(Data.end(), Cut.begin() + 20, Cut.begin() + 40); // a header cut short
    WriteFileBytes(Dir.File("d.rar"), Data);
    for (const char* Command : {"list", "test"}) {
        ToolRun R = Tarnpack({Command, Dir.File("d.rar")});
        EXPECT_EQ(R.Status, 1) << Command;
        EXPECT_NE(R.Err.find("damaged or cut short"), std::string::npos) << R.Err;
    }
}

// ---- the archive's proper end ----

// A setup as tarnpack builds it: a small project behind a stand-in stub.
// Blocks gets the offset and size of every block after the main header.
struct BuiltSetup {
    Bytes Image;
    std::vector<std::pair<size_t, size_t>> Blocks;
};

BuiltSetup BuildSetup(const TempDir& Dir)
{
    std::string Project = Dir.File("project");
    mkdir(Project.c_str(), 0755);
    mkdir((Project + "/Presetup").c_str(), 0755);
    mkdir((Project + "/Data").c_str(), 0755);
    WriteFileBytes(Project + "/Presetup/Tarn.ini", ToBytes("[Config]\r\nProgramName=End\r\n"));
    std::string Text;
    for (int I = 0; I < 300; ++I) Text += "line " + std::to_string(I * 7919 % 1000) + " of the readme\r\n";
    WriteFileBytes(Project + "/Data/Readme.txt", ToBytes(Text));
    WriteFileBytes(Project + "/Data/Other.txt", ToBytes(Text.substr(0, 2000)));
    Bytes Stub(4096, 0);
    Stub[0] = 'M';
    Stub[1] = 'Z';
    WriteFileBytes(Dir.File("stub.exe"), Stub);
    ToolRun R = Tarnpack({"build", Project, "-o", Dir.File("setup.exe"), "--stub", Dir.File("stub.exe")});
    EXPECT_EQ(R.Status, 0) << R.Err;
    BuiltSetup Setup;
    Setup.Image = ReadFileBytes(Dir.File("setup.exe"));
    const Bytes& A = Setup.Image;
    for (size_t At = Stub.size() + 7 + 13; At + 7 <= A.size();) {
        size_t Size = A[At + 5] | A[At + 6] << 8;
        if (A[At + 4] & 0x80) Size += A[At + 7] | A[At + 8] << 8 | A[At + 9] << 16 | (size_t)A[At + 10] << 24;
        Setup.Blocks.push_back({At, Size});
        At += Size;
    }
    return Setup;
}

// How `tarnpack test` and the reader's walk judge Image.
void ExpectJudged(const TempDir& Dir, const Bytes& Image, int Status, int Walk)
{
    WriteFileBytes(Dir.File("judged.exe"), Image);
    ToolRun R = Tarnpack({"test", Dir.File("judged.exe")});
    EXPECT_EQ(R.Status, Status) << R.Err;
    ArcHandle Handle = ArcOpen(Dir.File("judged.exe").c_str(), ArcModeExtract);
    ASSERT_TRUE(Handle);
    ArcEntryInfo Info;
    while (ArcReadEntry(Handle, &Info)) ArcTestEntryCode(Handle);
    EXPECT_EQ(ArcWalkResult(Handle), Walk);
    ArcClose(Handle);
}

TEST(TarnpackEnd, DataAppendedAfterTheArchiveIsNotRead)
{
    TempDir Dir;
    BuiltSetup Setup = BuildSetup(Dir);
    ASSERT_EQ(Setup.Blocks.size(), 4u); // three entries and the end block
    EXPECT_EQ(Setup.Image[Setup.Blocks.back().first + 2], 0x7B);
    ExpectJudged(Dir, Setup.Image, 0, ArcOk);
    // A signing tool's certificate, and bytes that look like one more entry.
    Bytes Signed = Setup.Image;
    Bytes Certificate(5000, 0);
    for (size_t I = 0; I < Certificate.size(); ++I) Certificate[I] = (uint8_t)(I * 37 + 11);
    Signed.insert(Signed.end(), Certificate.begin(), Certificate.end());
    ExpectJudged(Dir, Signed, 0, ArcOk);
    Bytes Entry = ArchiveBuilder().Add(StoredEntry("Data\\extra.txt", "not ours")).Data();
    Bytes Appended = Setup.Image;
    Appended.insert(Appended.end(), Entry.begin() + 20, Entry.end());
    ExpectJudged(Dir, Appended, 0, ArcOk);
    ToolRun Listed = Tarnpack({"list", Dir.File("judged.exe")});
    EXPECT_EQ(Listed.Out.find("extra.txt"), std::string::npos) << Listed.Out;
}

TEST(TarnpackEnd, ArchiveCutShortIsDamage)
{
    TempDir Dir;
    BuiltSetup Setup = BuildSetup(Dir);
    ASSERT_EQ(Setup.Blocks.size(), 4u);
    for (size_t Block : {1, 2}) { // a middle entry and the last one
        size_t Start = Setup.Blocks[Block].first, Size = Setup.Blocks[Block].second;
        for (size_t Cut : {(size_t)3, (size_t)20, (size_t)34, Size / 2 + 20, Size - 1}) {
            SCOPED_TRACE("block " + std::to_string(Block) + " cut after " + std::to_string(Cut));
            ExpectJudged(Dir, Bytes(Setup.Image.begin(), Setup.Image.begin() + (long)(Start + Cut)), 1, ArcDataError);
        }
    }
}

TEST(TarnpackRead, WrongCommandLines)
{
    for (const std::vector<std::string>& Args : std::vector<std::vector<std::string>>{
             {}, {"frobnicate"}, {"list"}, {"test", "a", "b"}, {"extract", "a.rar"}}) {
        ToolRun R = Tarnpack(Args);
        EXPECT_EQ(R.Status, 2);
        EXPECT_NE(R.Err.find("usage"), std::string::npos) << R.Err;
    }
}

} // namespace
