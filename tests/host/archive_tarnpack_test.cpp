// tarnpack list/test/extract as a user runs them: exit statuses 0/1/2, one
// line per failure naming the entry and the reason, files written under DIR.
#include <gtest/gtest.h>

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

std::string Vector(const char* Name)
{
    return std::string(TARN_VECTORS_DIR) + "/" + Name;
}

int CountLines(const std::string& Text)
{
    int Lines = 0;
    for (char C : Text) Lines += C == '\n';
    return Lines;
}

TEST(TarnpackRead, ListShowsEveryFileEntryAndATotal)
{
    ToolRun R = Tarnpack({ "list", Vector("rar20/koni__rar2_solid.rar") });
    EXPECT_EQ(R.Status, 0);
    EXPECT_EQ(R.Err, "");
    EXPECT_NE(R.Out.find("37805"), std::string::npos);
    EXPECT_NE(R.Out.find("5A8D1C1C 0x33"), std::string::npos);
    EXPECT_NE(R.Out.find("REPEAT.TXT"), std::string::npos);
    EXPECT_NE(R.Out.find("yes"), std::string::npos); // the second entry is solid
    EXPECT_NE(R.Out.find("166005"), std::string::npos); // the total of both sizes
    EXPECT_NE(R.Out.find("2 files"), std::string::npos);
    EXPECT_EQ(CountLines(R.Out), 4); // heading, two entries, total
}

TEST(TarnpackRead, TestReportsEachBadEntry)
{
    ToolRun Good = Tarnpack({ "test", Vector("rar20/zxtune__AY.RAR") });
    EXPECT_EQ(Good.Status, 0);
    EXPECT_EQ(Good.Err, "");
    EXPECT_NE(Good.Out.find("87 entries OK"), std::string::npos);

    ToolRun Bad = Tarnpack({ "test", Vector("rar20/sharpcompress__Rar2.multi.r04") });
    EXPECT_EQ(Bad.Status, 1);
    EXPECT_EQ(CountLines(Bad.Err), 2);
    EXPECT_NE(Bad.Err.find("jpg\\test.jpg: split across volumes"), std::string::npos);

    ToolRun Other = Tarnpack({ "test", Vector("other/rarfile__rar3-solid.rar") });
    EXPECT_EQ(Other.Status, 1);
    EXPECT_NE(Other.Err.find("stest1.txt: data error"), std::string::npos);
}

TEST(TarnpackRead, ExtractWritesUnderTheDirectory)
{
    TempDir Dir;
    ToolRun R = Tarnpack({ "extract", Vector("rar20/sharpcompress__Rar2.rar"), Dir.File("out") });
    EXPECT_EQ(R.Status, 0) << R.Err;
    EXPECT_EQ(Crc32Of(ReadFileBytes(Dir.File("out/exe/test.exe"))), 0xCFB109C8u);
    EXPECT_EQ(Crc32Of(ReadFileBytes(Dir.File("out/jpg/test.jpg"))), 0x088814E3u);
    EXPECT_EQ(Crc32Of(ReadFileBytes(Dir.File("out/????.txt"))), 0x9BD160FAu);
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
                           Case{ Dir.File("plain.txt"), "no archive found" },
                           Case{ Vector("other/corkami__mini_rar14.rar"), "old format" },
                           Case{ Vector("other/corkami__mini_rar5.rar"), "no archive found" } }) {
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
