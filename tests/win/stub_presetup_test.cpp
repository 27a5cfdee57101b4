// The presetup stage's arithmetic: the progress percentage and the sums of
// unpacked sizes over a real archive, with and without a selection.
#include <gtest/gtest.h>

#include "Presetup.h"

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

// koni__rar2_solid.rar holds PROSE.TXT (37805 bytes) and REPEAT.TXT (128200).
const char SolidArchive[] = TARN_VECTORS_DIR "/rar20/koni__rar2_solid.rar";

TEST(EntrySizes, AllMatchingEntriesAreAdded)
{
    EXPECT_EQ(SumEntrySizesIn(SolidArchive, "*.*", 0, nullptr, true), 37805u + 128200u);
    EXPECT_EQ(SumEntrySizesIn(SolidArchive, "*.TXT", 0, nullptr, true), 37805u + 128200u);
}

TEST(EntrySizes, SelectionNamesCountWithoutRegardToCase)
{
    StrList Selection;
    Selection.Add("repeat.txt=C:\\Target\\Repeat.txt");
    EXPECT_EQ(SumEntrySizesIn(SolidArchive, "*.*", 0, &Selection, false), 128200u);
    // The prefix is cut before the lookup: "RE" off "REPEAT.TXT" is no name.
    EXPECT_EQ(SumEntrySizesIn(SolidArchive, "*.*", 2, &Selection, false), 0u);
}

TEST(EntrySizes, StopAtMismatchEndsAtTheFirstOtherEntry)
{
    // PROSE.TXT comes first and does not match, so nothing is counted.
    EXPECT_EQ(SumEntrySizesIn(SolidArchive, "REPEAT.*", 0, nullptr, true), 0u);
    EXPECT_EQ(SumEntrySizesIn(SolidArchive, "REPEAT.*", 0, nullptr, false), 128200u);
}

} // namespace
