// The presetup stage's arithmetic: the progress percentage and the sums of
// unpacked sizes over a real archive, with and without a selection.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "Presetup.h"
#include "Vectors.h"

namespace {

TEST(PresetupProgress, RoundsToNearestWithHalvesToEven)
{
    EXPECT_EQ(PresetupPercent(1, 200), 0);   // 0.5 -> 0
    EXPECT_EQ(PresetupPercent(3, 200), 2);   // 1.5 -> 2
    EXPECT_EQ(PresetupPercent(2, 3), 67);
    EXPECT_EQ(PresetupPercent(0, 10), 0);
    EXPECT_EQ(PresetupPercent(10, 10), 100);
    // No 32-bit overflow of done x 100 for large groups.
    EXPECT_EQ(PresetupPercent(3000000000ull, 4000000000ull), 75);
}

TEST(PresetupProgress, EmptyTotalShowsTheBarFull)
{
    EXPECT_EQ(PresetupPercent(0, 0), 100);
    EXPECT_EQ(PresetupPercent(5, 0), 100);
}

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
    EXPECT_EQ(SumEntrySizesIn(SolidArchive, "*.*", 0, nullptr, true), 37805u + 128200u);
    EXPECT_EQ(SumEntrySizesIn(SolidArchive, "*.TXT", 0, nullptr, true), 37805u + 128200u);
}

TEST(EntrySizes, SelectionNamesCountWithoutRegardToCase)
{
    SKIP_WITHOUT_VECTORS();
    StrList Selection;
    Selection.Add("repeat.txt=C:\\Target\\Repeat.txt");
    EXPECT_EQ(SumEntrySizesIn(SolidArchive, "*.*", 0, &Selection, false), 128200u);
    // The prefix is cut before the lookup: "RE" off "REPEAT.TXT" is no name.
    EXPECT_EQ(SumEntrySizesIn(SolidArchive, "*.*", 2, &Selection, false), 0u);
}

TEST(EntrySizes, StopAtMismatchEndsAtTheFirstOtherEntry)
{
    SKIP_WITHOUT_VECTORS();
    // PROSE.TXT comes first and does not match, so nothing is counted.
    EXPECT_EQ(SumEntrySizesIn(SolidArchive, "REPEAT.*", 0, nullptr, true), 0u);
    EXPECT_EQ(SumEntrySizesIn(SolidArchive, "REPEAT.*", 0, nullptr, false), 128200u);
}

} // namespace
