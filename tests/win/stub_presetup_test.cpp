// The presetup stage's sums of unpacked sizes over a real archive, with and
// without a selection (its progress percentage is ProgressPercent's, tested
// with the setup's rules).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

#include "ArcTestKit.h"
#include "Presetup.h"
#include "Vectors.h"

namespace {

// The real solid archive of two text entries, PROSE.TXT (37805 bytes) then
// REPEAT.TXT (128200), found through the vectors' table of expected results.
std::string FindSolidArchive()
{
    std::ifstream Table(VectorsDir() + "/EXPECTED.txt");
    std::string Line;
    while (std::getline(Table, Line)) {
        if (Line.find("| PROSE.TXT | 37805 |") == std::string::npos) continue;
        return VectorsDir() + "/" + Line.substr(0, Line.find(" |"));
    }
    return std::string();
}

const std::string SolidArchivePath = FindSolidArchive();
const char* const SolidArchive = SolidArchivePath.c_str();

TEST(EntrySizes, AllMatchingEntriesAreAdded)
{
    SKIP_WITHOUT_VECTORS();
    ASSERT_FALSE(SolidArchivePath.empty()) << "no solid two-entry archive among the vectors";
    EXPECT_EQ(SumEntrySizes(SolidArchive, "*.*", 0, nullptr, true), 37805u + 128200u);
    EXPECT_EQ(SumEntrySizes(SolidArchive, "*.TXT", 0, nullptr, true), 37805u + 128200u);
}

TEST(EntrySizes, SelectionNamesCountWithoutRegardToCase)
{
    SKIP_WITHOUT_VECTORS();
    StrList Selection;
    Selection.Add("repeat.txt=C:\\Target\\Repeat.txt");
    EXPECT_EQ(SumEntrySizes(SolidArchive, "*.*", 0, &Selection, false), 128200u);
    // The prefix is cut before the lookup: "RE" off "REPEAT.TXT" is no name.
    EXPECT_EQ(SumEntrySizes(SolidArchive, "*.*", 2, &Selection, false), 0u);
}

TEST(EntrySizes, StopAtMismatchEndsAtTheFirstOtherEntry)
{
    SKIP_WITHOUT_VECTORS();
    // PROSE.TXT comes first and does not match, so nothing is counted.
    EXPECT_EQ(SumEntrySizes(SolidArchive, "REPEAT.*", 0, nullptr, true), 0u);
    EXPECT_EQ(SumEntrySizes(SolidArchive, "REPEAT.*", 0, nullptr, false), 128200u);
}

// A copy of the solid archive cut Keep bytes into the file header of its
// second entry (read from the first one's header sizes).
std::string CutInSecondHeader(const std::string& Name, size_t Keep)
{
    std::ifstream In(SolidArchivePath, std::ios::binary);
    std::string Data((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
    auto Le16 = [&](size_t At) { return (size_t)(unsigned char)Data[At] | (size_t)(unsigned char)Data[At + 1] << 8; };
    auto Le32 = [&](size_t At) { return Le16(At) | Le16(At + 2) << 16; };
    size_t First = 7 + Le16(7 + 5);                            // after the marker and the main header
    size_t Second = First + Le16(First + 5) + Le32(First + 7); // header size + packed size
    std::string Path = std::string(getenv("TEMP") ? getenv("TEMP") : ".") + "\\" + Name;
    std::ofstream(Path, std::ios::binary).write(Data.data(), (std::streamsize)(Second + Keep));
    return Path;
}

TEST(EntrySizes, AWalkCutShortInAHeaderIsDamaged)
{
    SKIP_WITHOUT_VECTORS(); // the cut copy is made from a real archive
    bool Damaged = true;
    EXPECT_EQ(SumEntrySizes(SolidArchive, "*.*", 0, nullptr, false, &Damaged), 37805u + 128200u);
    EXPECT_FALSE(Damaged);

    std::string Cut = CutInSecondHeader("tarn-cut-header.rar", 12);
    EXPECT_EQ(SumEntrySizes(Cut.c_str(), "*.*", 0, nullptr, false, &Damaged), 37805u);
    EXPECT_TRUE(Damaged);
    // Stopping at a mismatch before the damage is no damage.
    EXPECT_EQ(SumEntrySizes(Cut.c_str(), "NONE.*", 0, nullptr, true, &Damaged), 0u);
    EXPECT_FALSE(Damaged);
    DeleteFileA(Cut.c_str());
}

// Archives the builder refuses to make, as the presetup stage takes them: an
// entry in a subfolder lands flat in the folder, the group's name is matched
// without regard to case, and the stage stops at the first entry its mask
// does not select (a name without ".", or a Data entry first).
TEST(PresetupStage, UnpacksWhatTheBuilderWouldRefuse)
{
    struct Case {
        const char* What;
        std::vector<const char*> Names;
        std::vector<const char*> Unpacked; // file names in the folder afterwards
    };
    const Case Cases[] = {
        {"subfolder", {"Presetup\\Sub\\Deep.txt", "Presetup\\Tarn.ini"}, {"Deep.txt", "Tarn.ini"}},
        {"upper case", {"PRESETUP\\Tarn.ini", "presetup\\Tarn.str"}, {"Tarn.ini", "Tarn.str"}},
        {"no dot", {"Presetup\\Tarn.ini", "Presetup\\README", "Presetup\\Tarn.str"}, {"Tarn.ini"}},
        {"data first", {"Data\\Payload.txt", "Presetup\\Tarn.ini"}, {}},
    };
    for (const Case& Each : Cases) {
        ArchiveBuilder Archive;
        for (const char* Name : Each.Names) Archive.Add(StoredEntry(Name, std::string("text of ") + Name));
        TempDir Work;
        std::string ArchivePath = Work.File("setup.rar");
        WriteFileBytes(ArchivePath, Archive.Data());
        std::string Folder = Work.File("out");
        CreateDirectoryA(Folder.c_str(), nullptr);
        EXPECT_TRUE(ExtractPresetup(ArchivePath.c_str(), (Folder + "\\").c_str())) << Each.What;

        std::vector<std::string> Found;
        WIN32_FIND_DATAA Data;
        HANDLE Find = FindFirstFileA((Folder + "\\*").c_str(), &Data);
        for (bool More = Find != INVALID_HANDLE_VALUE; More; More = FindNextFileA(Find, &Data) != 0)
            if (!(Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) Found.push_back(Data.cFileName);
        if (Find != INVALID_HANDLE_VALUE) FindClose(Find);
        std::sort(Found.begin(), Found.end());
        EXPECT_EQ(Found, std::vector<std::string>(Each.Unpacked.begin(), Each.Unpacked.end())) << Each.What;
        for (const std::string& Name : Found) DeleteFileA((Folder + "\\" + Name).c_str());
        RemoveDirectoryA(Folder.c_str());
    }
}

} // namespace
