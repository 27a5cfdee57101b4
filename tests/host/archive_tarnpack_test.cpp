// tarnpack list/test/extract as a user runs them: exit statuses 0/1/2, one
// line per failure naming the entry and the reason, files written under DIR.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "ArcTestKit.h"

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
        if (!Solid && Archive.AllGood() && Archive.Entries.size() >= 2 && HasSolidEntries(Archive.Path)) Solid = &Archive;
    ASSERT_TRUE(Solid);
    ToolRun R = Tarnpack({ "list", Solid->Path });
    EXPECT_EQ(R.Status, 0);
    EXPECT_EQ(R.Err, "");
    uint64_t Total = 0;
    for (const VectorEntry& Entry : Solid->Entries) {
        EXPECT_NE(R.Out.find(std::to_string(Entry.Size)), std::string::npos);
        EXPECT_NE(R.Out.find(Hex(Entry.Crc)), std::string::npos);
        EXPECT_NE(R.Out.find(VectorNameBytes(Entry.Name) + "\n"), std::string::npos);
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
        ToolRun R = Tarnpack({ "test", Archive.Path });
        if (!Archive.OpenFailure.empty()) {
            EXPECT_EQ(R.Status, 2);
            EXPECT_EQ(CountLines(R.Err), 1);
            EXPECT_NE(R.Err.find(Archive.OpenFailure == "old-format" ? "old format" : "no archive found"),
                      std::string::npos) << R.Err;
            continue;
        }
        int Bad = 0;
        for (const VectorEntry& Entry : Archive.Entries) {
            if (Entry.Good) continue;
            ++Bad;
            EXPECT_NE(R.Err.find(": " + VectorNameBytes(Entry.Name) + ": "), std::string::npos) << R.Err;
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
    ToolRun R = Tarnpack({ "extract", Nested->Path, Dir.File("out") });
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
    ToolRun R = Tarnpack({ "extract", Dir.File("a.rar"), Dir.File("out") });
    EXPECT_EQ(R.Status, 1);
    EXPECT_EQ(CountLines(R.Err), 1);
    EXPECT_NE(R.Err.find("..\\up.txt: refused"), std::string::npos) << R.Err;
    EXPECT_TRUE(FileExists(Dir.File("out/ok.txt")));
    EXPECT_FALSE(FileExists(Dir.File("up.txt")));
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
    ToolRun R = Tarnpack({ "list", Dir.File("setup.exe") });
    EXPECT_EQ(R.Status, 0);
    EXPECT_NE(R.Out.find("Presetup\\Tarn.ini"), std::string::npos);
}

TEST(TarnpackRead, FilesThatHoldNoUsableArchive)
{
    TempDir Dir;
    WriteFileBytes(Dir.File("plain.txt"), ToBytes("just text, no archive"));
    struct Case { std::string File; const char* Reason; };
    for (const Case& C : { Case{ Dir.File("missing.rar"), "cannot open the file" },
                           Case{ Dir.File("plain.txt"), "no archive found" } }) {
        for (const char* Command : { "list", "test" }) {
            ToolRun R = Tarnpack({ Command, C.File });
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
    for (const char* Command : { "list", "test" }) {
        ToolRun R = Tarnpack({ Command, Dir.File("d.rar") });
        EXPECT_EQ(R.Status, 1) << Command;
        EXPECT_NE(R.Err.find("damaged file header"), std::string::npos) << R.Err;
    }
}

TEST(TarnpackRead, WrongCommandLines)
{
    for (const std::vector<std::string>& Args : std::vector<std::vector<std::string>>{
             {}, { "frobnicate" }, { "list" }, { "test", "a", "b" }, { "extract", "a.rar" } }) {
        ToolRun R = Tarnpack(Args);
        EXPECT_EQ(R.Status, 2);
        EXPECT_NE(R.Err.find("usage"), std::string::npos) << R.Err;
    }
}

} // namespace
