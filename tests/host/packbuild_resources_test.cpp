// The setup's own resources: the resource section of a real (cross-built)
// stand-in stub rewritten, read back with the tests' own PE reader and with
// binutils (objdump, windres); the .ico and version building blocks; whole
// builds with the [Config] keys, their refusals and warnings.
#include "BuildCommand.h"
#include "PeResources.h"
#include "ProjectChecks.h"
#include "SetupResources.h"
#include "Unrar.h"
#include "packbuild_fixture.h"
#include "pe_test_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;
using namespace PackBuild;

namespace {

const char* const Architectures[] = {"i686", "x86_64"};

fs::path StubPath(const std::string& Architecture)
{
    return fs::path(TARN_RESOURCE_STUB_DIR) / ("resource-stub-" + Architecture + ".exe");
}

std::string RunTool(const std::string& Command)
{
    std::string Output;
    if (FILE* Pipe = popen((Command + " 2>&1").c_str(), "r")) {
        char Buffer[4096];
        size_t Count;
        while ((Count = fread(Buffer, 1, sizeof Buffer, Pipe)) > 0) Output.append(Buffer, Count);
        pclose(Pipe);
    }
    return Output;
}

bool HaveTool(const std::string& Name) { return !RunTool("command -v " + Name).empty(); }

std::vector<uint8_t> Bytes(const std::string& Text) { return std::vector<uint8_t>(Text.begin(), Text.end()); }

void Put16(std::vector<uint8_t>& B, size_t At, uint32_t V)
{
    B[At] = (uint8_t)V;
    B[At + 1] = (uint8_t)(V >> 8);
}
void Put32(std::vector<uint8_t>& B, size_t At, uint32_t V)
{
    Put16(B, At, V & 0xFFFF);
    Put16(B, At + 2, V >> 16);
}

// A 32-bit icon image of Size pixels as Windows stores it: the
// BITMAPINFOHEADER (twice the height: image and mask), the pixels, the mask.
std::vector<uint8_t> IconBitmap(int Size, uint8_t Shade)
{
    std::vector<uint8_t> Image(40 + Size * Size * 4 + ((Size + 31) / 32) * 4 * Size, Shade);
    std::fill(Image.begin(), Image.begin() + 40, 0);
    Put32(Image, 0, 40);
    Put32(Image, 4, Size);
    Put32(Image, 8, 2 * Size);
    Put16(Image, 12, 1);
    Put16(Image, 14, 32);
    return Image;
}

// The start of a PNG file and some bytes: all the builder looks at.
std::vector<uint8_t> IconPng(size_t Size)
{
    std::vector<uint8_t> Image(Size, 0x5A);
    const uint8_t Signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::copy(Signature, Signature + 8, Image.begin());
    return Image;
}

struct IcoImage {
    int Size; // 256 is written as 0
    std::vector<uint8_t> Data;
    bool ZeroPlanesAndBits = false;
};

std::vector<uint8_t> IcoFile(const std::vector<IcoImage>& Images)
{
    std::vector<uint8_t> File(6 + 16 * Images.size(), 0);
    Put16(File, 2, 1);
    Put16(File, 4, (uint32_t)Images.size());
    for (size_t I = 0; I < Images.size(); ++I) {
        size_t At = 6 + 16 * I;
        File[At] = File[At + 1] = (uint8_t)(Images[I].Size & 0xFF);
        Put16(File, At + 4, Images[I].ZeroPlanesAndBits ? 0 : 1);
        Put16(File, At + 6, Images[I].ZeroPlanesAndBits ? 0 : 32);
        Put32(File, At + 8, (uint32_t)Images[I].Data.size());
        Put32(File, At + 12, (uint32_t)File.size());
        File.insert(File.end(), Images[I].Data.begin(), Images[I].Data.end());
    }
    return File;
}

std::vector<IcoImage> FourSizes()
{
    return {{16, IconBitmap(16, 0x11)}, {32, IconBitmap(32, 0x22)}, {48, IconBitmap(48, 0x33)}, {256, IconPng(3000)}};
}

class StubResources : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        Stub = ReadAll(StubPath(GetParam()));
        if (Stub.empty()) GTEST_SKIP() << "no stand-in stub (mingw-w64 cross compilers missing?)";
        std::string Why;
        ASSERT_TRUE(Before.Parse(Stub, Why)) << Why;
        std::string Problem;
        ASSERT_TRUE(ReadResources(Stub, Entries, Problem)) << Problem;
    }
    const TestPe::Section* Find(const TestPe& Pe, const std::string& Name)
    {
        for (const TestPe::Section& S : Pe.Sections)
            if (S.Name == Name) return &S;
        return nullptr;
    }
    // Every resource of the stub is still there with the same bytes, the
    // relocations are the same bytes at the place the header names, and the
    // image's size covers the last section.
    void ExpectSoundImage(const std::vector<uint8_t>& Image, TestPe& After)
    {
        std::string Why;
        ASSERT_TRUE(After.Parse(Image, Why)) << Why;
        const TestPe::Section* OldRelocs = Find(Before, ".reloc");
        const TestPe::Section* Relocs = Find(After, ".reloc");
        ASSERT_TRUE(OldRelocs && Relocs);
        EXPECT_EQ(After.DirectoryRva[5] - Relocs->Rva, Before.DirectoryRva[5] - OldRelocs->Rva);
        EXPECT_EQ(After.DirectorySize[5], Before.DirectorySize[5]);
        EXPECT_TRUE(std::equal(Image.begin() + Relocs->RawOffset, Image.begin() + Relocs->RawOffset + Relocs->RawSize,
                               Stub.begin() + OldRelocs->RawOffset));
        const TestPe::Section* Rsrc = Find(After, ".rsrc");
        ASSERT_TRUE(Rsrc);
        EXPECT_EQ(After.DirectoryRva[2], Rsrc->Rva);
        EXPECT_LE(Rsrc->Rva + After.DirectorySize[2], Relocs->Rva);
        EXPECT_EQ(Relocs->RawOffset, Rsrc->RawOffset + Rsrc->RawSize);
        EXPECT_EQ(Rsrc->RawSize % After.FileAlignment, 0u);
        EXPECT_EQ(Relocs->Rva % After.SectionAlignment, 0u);
        uint32_t End = Relocs->Rva + std::max(Relocs->VirtualSize, Relocs->RawSize);
        EXPECT_EQ(After.ImageSize,
                  (End + After.SectionAlignment - 1) / After.SectionAlignment * After.SectionAlignment);
        EXPECT_EQ(Image.size(), (size_t)Relocs->RawOffset + Relocs->RawSize);
        // Everything before the resources is untouched but for the header.
        const TestPe::Section* Text = Find(After, ".text");
        ASSERT_TRUE(Text);
        EXPECT_TRUE(std::equal(Image.begin() + Text->RawOffset, Image.begin() + Rsrc->RawOffset,
                               Stub.begin() + Text->RawOffset));
    }

    std::vector<uint8_t> Stub;
    TestPe Before;
    std::vector<ResourceEntry> Entries;
};

} // namespace

// ---- the resource section --------------------------------------------------

TEST_P(StubResources, RewrittenUnchangedKeepsEveryResource)
{
    std::vector<std::string> Names = Before.ResourceNames();
    ASSERT_FALSE(Names.empty());
    EXPECT_NE(std::find(Names.begin(), Names.end(), "14/MAINICON"), Names.end());
    EXPECT_NE(std::find(Names.begin(), Names.end(), "24/1"), Names.end());

    std::vector<uint8_t> Image = Stub;
    std::string Problem;
    ASSERT_TRUE(ReplaceResources(Image, Entries, Problem)) << Problem;
    TestPe After;
    ExpectSoundImage(Image, After);
    EXPECT_EQ(After.ResourceNames(), Names);
    for (const std::string& Name : Names) {
        std::string Type = Name.substr(0, Name.find('/')), Id = Name.substr(Name.find('/') + 1);
        std::vector<uint8_t> Old, New;
        EXPECT_TRUE(Before.Resource(Type, Id, Old)) << Name;
        EXPECT_TRUE(After.Resource(Type, Id, New)) << Name;
        EXPECT_EQ(Old, New) << Name;
    }
    EXPECT_EQ(After.Checksum, Before.Checksum); // left to UpdateFileChecksum
}

TEST_P(StubResources, LargerResourcesMoveTheRelocationsBehind)
{
    ResourceEntry Big;
    Big.Type = ResourceId::Of(10); // RT_RCDATA
    Big.Name = ResourceId::Named("payload");
    Big.Data.assign(200001, 0xA5);
    Entries.push_back(Big);
    std::vector<uint8_t> Image = Stub;
    std::string Problem;
    ASSERT_TRUE(ReplaceResources(Image, Entries, Problem)) << Problem;
    TestPe After;
    ExpectSoundImage(Image, After);
    std::vector<uint8_t> Data;
    ASSERT_TRUE(After.Resource("10", "PAYLOAD", Data)); // names are kept in capitals
    EXPECT_EQ(Data, Big.Data);
    const TestPe::Section* OldRsrc = Find(Before, ".rsrc");
    const TestPe::Section* Rsrc = Find(After, ".rsrc");
    EXPECT_EQ(After.InitializedDataSize - Before.InitializedDataSize, Rsrc->RawSize - OldRsrc->RawSize);

    // And back: the section shrinks again.
    std::vector<ResourceEntry> Read;
    ASSERT_TRUE(ReadResources(Image, Read, Problem)) << Problem;
    Read.erase(
        std::remove_if(Read.begin(), Read.end(), [](const ResourceEntry& E) { return E.Type == ResourceId::Of(10); }),
        Read.end());
    ASSERT_TRUE(ReplaceResources(Image, Read, Problem)) << Problem;
    TestPe Shrunk;
    ExpectSoundImage(Image, Shrunk);
    EXPECT_EQ(Image.size(), Stub.size());
}

TEST_P(StubResources, BinutilsReadTheRewrittenProgram)
{
    if (!HaveTool("x86_64-w64-mingw32-objdump") || !HaveTool("x86_64-w64-mingw32-windres"))
        GTEST_SKIP() << "binutils for mingw-w64 missing";
    SetupResourcePlan Plan;
    Plan.LevelGiven = true;
    Plan.Level = ExecutionLevel::Highest;
    Plan.WriteVersion = true;
    Plan.Version.Numbers[0] = 3;
    Plan.Version.Numbers[1] = 14;
    Plan.Version.Strings = {{"ProductName", u"Binutils Check"}, {"ProductVersion", u"3.14"}};
    std::string Problem;
    ASSERT_TRUE(ReadIconFile(IcoFile(FourSizes()), Plan.Icon, Problem)) << Problem;
    StubImage Image{"stub.exe", Stub};
    DiagnosticList Out;
    bool Rewritten = false;
    ASSERT_TRUE(ApplySetupResources(Plan, Image, Out, Rewritten));
    EXPECT_TRUE(Rewritten);
    TempProject Work;
    Work.WriteBytes("setup.exe", Image.Bytes);
    std::string Setup = Work.Path("setup.exe").string();

    std::string Headers = RunTool("x86_64-w64-mingw32-objdump -p '" + Setup + "'");
    EXPECT_NE(Headers.find("Resource Directory [.rsrc]"), std::string::npos) << Headers;
    EXPECT_NE(Headers.find("Base Relocation Directory [.reloc]"), std::string::npos) << Headers;
    std::string Script = RunTool("x86_64-w64-mingw32-windres -i '" + Setup + "' -O rc");
    EXPECT_NE(Script.find("FILEVERSION 3, 14, 0, 0"), std::string::npos) << Script.substr(0, 2000);
    EXPECT_NE(Script.find("VALUE \"ProductName\", \"Binutils Check\""), std::string::npos);
    EXPECT_NE(Script.find("level=\"\"highestAvailable\"\""), std::string::npos);
    EXPECT_NE(Script.find("\"MAINICON\" 14"), std::string::npos);
}

TEST(PeResourcesRefusal, LayoutsThatCannotBeRewritten)
{
    std::vector<uint8_t> Stub = ReadAll(StubPath("i686"));
    if (Stub.empty()) GTEST_SKIP() << "no stand-in stub";
    TestPe Pe;
    std::string Why;
    ASSERT_TRUE(Pe.Parse(Stub, Why)) << Why;
    uint32_t Directories = Pe.ChecksumOffset - 64 + 96;
    std::vector<ResourceEntry> Entries;
    std::string Problem;
    ASSERT_TRUE(ReadResources(Stub, Entries, Problem));

    struct Case {
        const char* What;
        std::vector<uint8_t> Image;
        const char* Expected;
    };
    std::vector<Case> Cases;
    {
        std::vector<uint8_t> Signed = Stub; // a certificate table in the header
        Put32(Signed, Directories + 8 * 4, (uint32_t)Signed.size());
        Put32(Signed, Directories + 8 * 4 + 4, 16);
        Cases.push_back({"signed", Signed, "signed"});
    }
    {
        std::vector<uint8_t> Tail = Stub; // an archive already appended
        Tail.insert(Tail.end(), 100, 0x52);
        Cases.push_back({"data after the sections", Tail, "follows the program's last section"});
    }
    {
        std::vector<uint8_t> Foreign = Stub; // the last section is not the relocations
        Put32(Foreign, Directories + 8 * 5, 0);
        Put32(Foreign, Directories + 8 * 5 + 4, 0);
        Cases.push_back({"other section after", Foreign, "follows the resources"});
    }
    Cases.push_back(
        {"not a program", Bytes("plain text, no header at all........................................."), "MZ"});
    for (const Case& Each : Cases) {
        SCOPED_TRACE(Each.What);
        std::vector<uint8_t> Image = Each.Image;
        EXPECT_FALSE(ReplaceResources(Image, Entries, Problem));
        EXPECT_NE(Problem.find(Each.Expected), std::string::npos) << Problem;
        EXPECT_EQ(Image, Each.Image);
    }
}

TEST(PeResourcesRefusal, DamagedDirectoriesAreRefusedNotFollowed)
{
    std::vector<uint8_t> Stub = ReadAll(StubPath("i686"));
    if (Stub.empty()) GTEST_SKIP() << "no stand-in stub";
    TestPe Pe;
    std::string Why, Problem;
    ASSERT_TRUE(Pe.Parse(Stub, Why)) << Why;
    uint32_t Root = 0;
    for (const TestPe::Section& S : Pe.Sections)
        if (S.Name == ".rsrc") Root = S.RawOffset;
    ASSERT_NE(Root, 0u);
    std::vector<ResourceEntry> Entries;
    for (uint32_t Count : {0xFFFFu, 0x7FFFu}) { // more entries than the section holds
        std::vector<uint8_t> Damaged = Stub;
        Put16(Damaged, Root + 14, Count);
        EXPECT_FALSE(ReadResources(Damaged, Entries, Problem));
    }
    std::vector<uint8_t> Loop = Stub; // the first type points back at the root: too deep
    Put32(Loop, Root + 16 + 4, 0x80000000u);
    EXPECT_FALSE(ReadResources(Loop, Entries, Problem));
    // More resources than a stub could hold (a tree whose entries point at
    // the same directories again and again would list millions).
    ASSERT_TRUE(ReadResources(Stub, Entries, Problem)) << Problem;
    for (uint16_t I = 1; I <= 5000; ++I) {
        ResourceEntry Many;
        Many.Type = ResourceId::Of(10);
        Many.Name = ResourceId::Of(I);
        Many.Data = {1, 2, 3};
        Entries.push_back(Many);
    }
    std::vector<uint8_t> Crowded = Stub;
    ASSERT_TRUE(ReplaceResources(Crowded, Entries, Problem)) << Problem;
    EXPECT_FALSE(ReadResources(Crowded, Entries, Problem));
    std::vector<uint8_t> Cut(Stub.begin(), Stub.begin() + Root + 8);
    EXPECT_FALSE(ReadResources(Cut, Entries, Problem));
}

TEST(PeChecksum, CoversTheWholeFile)
{
    std::vector<uint8_t> Stub = ReadAll(StubPath("i686"));
    if (Stub.empty()) GTEST_SKIP() << "no stand-in stub";
    TestPe Pe;
    std::string Why;
    ASSERT_TRUE(Pe.Parse(Stub, Why)) << Why;
    TempProject Work;
    for (bool Set : {true, false}) {
        SCOPED_TRACE(Set ? "checksum set" : "no checksum");
        std::vector<uint8_t> File = Stub;
        Put32(File, Pe.ChecksumOffset, Set ? 0x12345 : 0);
        for (int I = 0; I < 3000001; ++I) File.push_back((uint8_t)(I * 7 + 3)); // odd length, over a chunk
        Work.WriteBytes("setup.exe", File);
        ASSERT_TRUE(UpdateFileChecksum(Work.Path("setup.exe").string()));
        std::vector<uint8_t> Written = ReadAll(Work.Path("setup.exe"));
        TestPe After;
        ASSERT_TRUE(After.Parse(Written, Why));
        EXPECT_EQ(After.Checksum, Set ? TestPeChecksum(Written, After.ChecksumOffset) : 0u);
        Put32(Written, Pe.ChecksumOffset, Set ? 0x12345 : 0);
        EXPECT_EQ(Written, File); // nothing else changed
    }
}

INSTANTIATE_TEST_SUITE_P(Stubs, StubResources, testing::ValuesIn(Architectures));

// ---- icons, version texts, code pages ----------------------------------------

TEST(IconFile, EveryImageIsKept)
{
    std::vector<IcoImage> Images = FourSizes();
    Images[1].ZeroPlanesAndBits = true; // some tools leave them 0
    std::vector<IconImage> Read;
    std::string Problem;
    ASSERT_TRUE(ReadIconFile(IcoFile(Images), Read, Problem)) << Problem;
    ASSERT_EQ(Read.size(), 4u);
    for (size_t I = 0; I < Read.size(); ++I) {
        EXPECT_EQ(Read[I].Data, Images[I].Data) << I;
        EXPECT_EQ(Read[I].Width, Images[I].Size & 0xFF) << I;
        EXPECT_EQ(Read[I].Planes, 1) << I;
        EXPECT_EQ(Read[I].BitCount, 32) << I;
    }
}

TEST(IconFile, MalformedFilesAreRefused)
{
    std::vector<uint8_t> Good = IcoFile({{32, IconBitmap(32, 1)}});
    auto Changed = [&](size_t At, uint32_t Value, int Width) {
        std::vector<uint8_t> File = Good;
        if (Width == 2)
            Put16(File, At, Value);
        else
            Put32(File, At, Value);
        return File;
    };
    struct Case {
        const char* What;
        std::vector<uint8_t> File;
        const char* Expected;
    } Cases[] = {
        {"empty", {}, "not an .ico"},
        {"a cursor file", Changed(2, 2, 2), "not an .ico"},
        {"no image", Changed(4, 0, 2), "no image"},
        {"list cut short", Changed(4, 0xFFFF, 2), "cut short"},
        {"image past the end", Changed(6 + 12, (uint32_t)Good.size() - 10, 4), "outside"},
        {"image too large", Changed(6 + 8, 0xFFFFFFF0u, 4), "outside"},
        {"neither bitmap nor PNG", Changed(22, 12, 4), "neither"},
    };
    for (const Case& Each : Cases) {
        std::vector<IconImage> Read;
        std::string Problem;
        EXPECT_FALSE(ReadIconFile(Each.File, Read, Problem)) << Each.What;
        EXPECT_NE(Problem.find(Each.Expected), std::string::npos) << Each.What << ": " << Problem;
    }
}

TEST(VersionResource, TextsAndNumbersReadBack)
{
    VersionInfo Version;
    uint16_t Numbers[4] = {65535, 0, 7, 1};
    std::copy(Numbers, Numbers + 4, Version.Numbers);
    Version.Strings = {{"CompanyName", u"Maker"}, {"FileDescription", u"Odd"}, {"ProductName", u"Ab"}, {"X", u""}};
    std::vector<uint8_t> Resource = BuildVersionResource(Version);
    EXPECT_EQ(Resource.size() % 4, 0u);
    std::map<std::string, std::string> Texts;
    uint16_t Read[4] = {};
    ASSERT_TRUE(TestVersionTexts(Resource, Texts, Read));
    EXPECT_EQ(std::vector<uint16_t>(Read, Read + 4), std::vector<uint16_t>(Numbers, Numbers + 4));
    EXPECT_EQ(Texts["CompanyName"], "Maker");
    EXPECT_EQ(Texts["FileDescription"], "Odd"); // odd lengths exercise the padding
    EXPECT_EQ(Texts["ProductName"], "Ab");
    EXPECT_EQ(Texts.count("X"), 1u);
}

TEST(VersionResource, CodePagesOfTheProjectsTexts)
{
    std::u16string Text;
    ASSERT_TRUE(CodePageToUtf16("\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE0", 1251, Text)); // "Программа"
    EXPECT_EQ(Text, u"Программа");
    ASSERT_TRUE(CodePageToUtf16("Caf\xE9", 1252, Text));
    EXPECT_EQ(Text, u"Café");
    ASSERT_TRUE(CodePageToUtf16("Caf\xC3\xA9", 65001, Text));
    EXPECT_EQ(Text, u"Café");
    EXPECT_TRUE(CodePageToUtf16("plain", 99999, Text)); // ASCII needs no table
    EXPECT_FALSE(CodePageToUtf16("Caf\xE9", 99999, Text));
    EXPECT_FALSE(CodePageToUtf16("bad \xC3", 65001, Text));
}

// ---- whole builds --------------------------------------------------------------

namespace {

class ResourceBuild : public testing::Test {
protected:
    void SetUp() override
    {
        Stub = ReadAll(StubPath("i686"));
        if (Stub.empty()) GTEST_SKIP() << "no stand-in stub";
        WriteValidProject(Project);
        Work.WriteBytes("stub.exe", Stub);
    }
    void AddConfig(const std::string& Lines)
    {
        std::vector<uint8_t> Ini = ReadAll(Project.Path("Presetup/Tarn.ini"));
        std::string Text(Ini.begin(), Ini.end());
        Text.replace(Text.find("[Config]\n"), 9, "[Config]\n" + Lines);
        Project.Write("Presetup/Tarn.ini", Text);
    }
    struct Run {
        int Status;
        std::string Errors;
    };
    Run Build()
    {
        std::vector<std::string> Args = {Project.Dir().string(),         "-o",     Setup().string(), "--stub",
                                         Work.Path("stub.exe").string(), "--store"};
        std::vector<char*> Argv;
        for (std::string& Arg : Args) Argv.push_back(Arg.data());
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        int Status = RunBuildCommand((int)Argv.size(), Argv.data());
        testing::internal::GetCapturedStdout();
        return {Status, testing::internal::GetCapturedStderr()};
    }
    fs::path Setup() const { return Work.Path("product-setup.exe"); }
    size_t ArchiveEntries()
    {
        size_t Count = 0;
        ArcHandle Archive = ArcOpen(Setup().c_str(), ArcModeList);
        ArcEntryInfo Info;
        while (Archive && ArcReadEntry(Archive, &Info)) {
            ++Count;
            ArcProcessEntryCode(Archive, false, nullptr, nullptr);
        }
        if (Archive) ArcClose(Archive);
        return Count;
    }

    std::vector<uint8_t> Stub;
    TempProject Project;
    TempProject Work;
};

} // namespace

TEST_F(ResourceBuild, WithoutTheKeysTheStubStaysByteForByte)
{
    Run Result = Build();
    ASSERT_EQ(Result.Status, 0) << Result.Errors;
    std::vector<uint8_t> Image = ReadAll(Setup());
    ASSERT_GT(Image.size(), Stub.size());
    EXPECT_TRUE(std::equal(Stub.begin(), Stub.end(), Image.begin()));
    // admin is what the stub's manifest says already.
    AddConfig("ExecutionLevel=Admin\n");
    fs::remove(Setup());
    Result = Build();
    ASSERT_EQ(Result.Status, 0) << Result.Errors;
    Image = ReadAll(Setup());
    EXPECT_TRUE(std::equal(Stub.begin(), Stub.end(), Image.begin()));
}

TEST_F(ResourceBuild, TheKeysGiveTheSetupItsOwnResources)
{
    std::vector<IcoImage> Icon = FourSizes();
    Project.WriteBytes("Presetup/Product.ico", IcoFile(Icon));
    AddConfig("ExecutionLevel=user\nProductName=%ProgramName% Suite\nProductVersion=2.5.1 beta\n"
              "Publisher=Demo Makers\nDescription=Installs %ProgramName%\nCopyright=(c) Demo Makers\n"
              "Icon=product.ico\n");
    Run Result = Build();
    ASSERT_EQ(Result.Status, 0) << Result.Errors;

    std::vector<uint8_t> Image = ReadAll(Setup());
    TestPe Pe;
    std::string Why;
    ASSERT_TRUE(Pe.Parse(Image, Why)) << Why;
    std::vector<uint8_t> Manifest;
    ASSERT_TRUE(Pe.Resource("24", "1", Manifest));
    std::string ManifestText(Manifest.begin(), Manifest.end());
    EXPECT_NE(ManifestText.find("<requestedExecutionLevel level=\"asInvoker\""), std::string::npos) << ManifestText;
    EXPECT_NE(ManifestText.find("Microsoft.Windows.Common-Controls"), std::string::npos);

    std::vector<uint8_t> Version;
    ASSERT_TRUE(Pe.Resource("16", "1", Version));
    std::map<std::string, std::string> Texts;
    uint16_t Numbers[4] = {};
    ASSERT_TRUE(TestVersionTexts(Version, Texts, Numbers));
    EXPECT_EQ(std::vector<uint16_t>(Numbers, Numbers + 4), (std::vector<uint16_t>{2, 5, 1, 0}));
    EXPECT_EQ(Texts, (std::map<std::string, std::string>{{"CompanyName", "Demo Makers"},
                                                         {"FileDescription", "Installs Demo"},
                                                         {"FileVersion", "2.5.1 beta"},
                                                         {"LegalCopyright", "(c) Demo Makers"},
                                                         {"OriginalFilename", "product-setup.exe"},
                                                         {"ProductName", "Demo Suite"},
                                                         {"ProductVersion", "2.5.1 beta"}}));

    // The group names each image of the .ico by an RT_ICON id that holds it.
    std::vector<uint8_t> Group;
    ASSERT_TRUE(Pe.Resource("14", "MAINICON", Group));
    ASSERT_EQ(Group.size(), 6 + 14 * Icon.size());
    EXPECT_EQ(Group[4], Icon.size());
    for (size_t I = 0; I < Icon.size(); ++I) {
        size_t At = 6 + 14 * I;
        EXPECT_EQ(Group[At], Icon[I].Size & 0xFF);
        uint32_t Size = Group[At + 8] | Group[At + 9] << 8 | Group[At + 10] << 16 | Group[At + 11] << 24;
        EXPECT_EQ(Size, Icon[I].Data.size());
        std::vector<uint8_t> ImageData;
        ASSERT_TRUE(Pe.Resource("3", std::to_string(Group[At + 12] | Group[At + 13] << 8), ImageData)) << I;
        EXPECT_EQ(ImageData, Icon[I].Data) << I;
    }
    // The stub's own icon images are gone with its group.
    size_t IconImages = 0;
    for (const std::string& Name : Pe.ResourceNames()) IconImages += Name.compare(0, 2, "3/") == 0;
    EXPECT_EQ(IconImages, Icon.size());

    EXPECT_EQ(Pe.Checksum, TestPeChecksum(Image, Pe.ChecksumOffset)); // the stub had one: the file's
    EXPECT_EQ(ArchiveEntries(), 8u); // the archive after the larger stub is found and whole
}

TEST_F(ResourceBuild, OneVersionKeyFillsTheRestFromTheScript)
{
    AddConfig("ProductVersion=4\nCodePage=1251\n");
    Project.Write("Presetup/Tarn.ini", [&] {
        std::vector<uint8_t> Ini = ReadAll(Project.Path("Presetup/Tarn.ini"));
        std::string Text(Ini.begin(), Ini.end());
        return Text.replace(Text.find("ProgramName=Demo"), 16, "ProgramName=\xC4\xE5\xEC\xEE"); // "Демо"
    }());
    Run Result = Build();
    ASSERT_EQ(Result.Status, 0) << Result.Errors;
    std::vector<uint8_t> Image = ReadAll(Setup());
    TestPe Pe;
    std::string Why;
    ASSERT_TRUE(Pe.Parse(Image, Why)) << Why;
    std::vector<uint8_t> Version;
    ASSERT_TRUE(Pe.Resource("16", "1", Version));
    std::u16string Wide;
    for (size_t I = 0; I + 1 < Version.size(); I += 2) Wide += (char16_t)(Version[I] | Version[I + 1] << 8);
    EXPECT_NE(Wide.find(u"Демо Setup"), std::u16string::npos);
    EXPECT_NE(Wide.find(u"ProductName"), std::u16string::npos);
    EXPECT_EQ(Wide.find(u"CompanyName"), std::u16string::npos); // no Publisher: left out
    std::map<std::string, std::string> Texts;
    uint16_t Numbers[4] = {};
    ASSERT_TRUE(TestVersionTexts(Version, Texts, Numbers));
    EXPECT_EQ(Numbers[0], 4);
    EXPECT_EQ(Texts["ProductVersion"], "4");
}

TEST_F(ResourceBuild, WrongKeysStopTheBuild)
{
    Project.Write("Presetup/Bad.ico", "not an icon");
    struct Case {
        const char* Config;
        const char* Expected;
    } Cases[] = {
        {"ExecutionLevel=root\n", "ExecutionLevel \"root\" is not admin, highest or user"},
        {"ProductVersion=beta\n", "ProductVersion \"beta\" must start with"},
        {"ProductVersion=1.70000\n", "ProductVersion \"1.70000\" must start with"},
        {"Icon=Missing.ico\n", "Presetup has no such file"},
        {"Icon=Bad.ico\n", "Presetup/Bad.ico: error: the setup's icon: not an .ico file"},
        {"ProductName=x\nCodePage=abc\n", "CodePage \"abc\" is not a code page number"},
        {"ProductName=Caf\x81\n", "is not text of code page 1252"},
    };
    for (const Case& Each : Cases) {
        SCOPED_TRACE(Each.Config);
        WriteValidProject(Project);
        AddConfig(Each.Config);
        Run Result = Build();
        EXPECT_EQ(Result.Status, 1);
        EXPECT_NE(Result.Errors.find(Each.Expected), std::string::npos) << Result.Errors;
        EXPECT_FALSE(fs::exists(Setup()));
    }
}

TEST_F(ResourceBuild, StubsThatCannotCarryThemAreRefused)
{
    Work.WriteBytes("stub.exe", MakeFakeStub(5000));
    AddConfig("ProductName=Demo\n");
    Run Result = Build();
    EXPECT_EQ(Result.Status, 1);
    EXPECT_NE(Result.Errors.find("cannot give the setup its own resources: not a PE program"), std::string::npos)
        << Result.Errors;

    // An icon that pushes the archive past where the setup looks for it.
    Work.WriteBytes("stub.exe", Stub);
    Project.WriteBytes("Presetup/Huge.ico", IcoFile({{256, IconPng(MaxStubSize)}}));
    WriteValidProject(Project);
    AddConfig("Icon=Huge.ico\n");
    Result = Build();
    EXPECT_EQ(Result.Status, 1);
    EXPECT_NE(Result.Errors.find("the setup finds its archive only when it starts below byte"), std::string::npos)
        << Result.Errors;
    EXPECT_FALSE(fs::exists(Setup()));
}

TEST_F(ResourceBuild, SignedStubIsRefusedWithOrWithoutTheKeys)
{
    TestPe Pe;
    std::string Why;
    ASSERT_TRUE(Pe.Parse(Stub, Why)) << Why;
    std::vector<uint8_t> Signed = Stub;
    uint32_t Directories = Pe.ChecksumOffset - 64 + 96; // PE32: the data directories
    Put32(Signed, Directories + 8 * 4, (uint32_t)Signed.size());
    Put32(Signed, Directories + 8 * 4 + 4, 16);
    Work.WriteBytes("stub.exe", Signed);
    for (const char* Config : {"", "ProductName=Demo\n"}) {
        SCOPED_TRACE(Config);
        WriteValidProject(Project);
        AddConfig(Config);
        Run Result = Build();
        EXPECT_EQ(Result.Status, 1);
        EXPECT_NE(Result.Errors.find("the stub is signed"), std::string::npos) << Result.Errors;
        EXPECT_FALSE(fs::exists(Setup()));
    }
}

TEST_F(ResourceBuild, UserLevelWarnsOfMachineWideWrites)
{
    for (const char* Level : {"user", "highest", ""}) {
        SCOPED_TRACE(Level);
        WriteValidProject(Project);
        Project.Write("Presetup/Demo.ins", "[CopyFile]\nMain=%InstallPath%\nShared=%CommonFiles%\\Demo\n"
                                           "[Main]\nDemo.exe=\n[Shared]\nDoc\\Readme.txt=\n"
                                           "[AddReg]\nKeys=HKCU\\Software\\Demo\nMachine=HKLM\\Software\\Demo\n"
                                           "[Keys]\nPath=%InstallPath%\n[Machine]\nPath=%InstallPath%\n");
        if (*Level) AddConfig(std::string("ExecutionLevel=") + Level + "\n");
        DiagnosticList Out;
        ProjectTree Tree = ScanProject(Project.Dir(), Out);
        CheckProject(Tree, Out);
        bool User = std::string(Level) == "user";
        EXPECT_EQ(Out.Contains(Severity::Warning, "cannot write into %ProgramFiles%"), User); // DefaultInstallPath
        EXPECT_EQ(Out.Contains(Severity::Warning, "cannot write into %CommonFiles%"), User);
        EXPECT_EQ(Out.Contains(Severity::Warning, "cannot write \"HKLM\\Software\\Demo\""), User);
        EXPECT_FALSE(Out.Contains(Severity::Warning, "HKCU\\Software\\Demo\""));
        EXPECT_EQ(Out.ErrorCount(), 0);
    }
}
