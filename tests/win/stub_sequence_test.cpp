// The walk through a dialog sequence with scripted page results, the reading
// of sequence values from the setup script, and which names make pages.
#include <gtest/gtest.h>

#include "Common.h"
#include "Dialogs.h"
#include "Setup.h"

namespace {

// The pages a walk showed and the results it is given, in order. A name
// starting with "NO_" has no template.
struct Script {
    const INT_PTR* Results;
    int Count;
    int Next;
    Str Shown; // names of the pages shown, comma-separated
};
Script Current;

INT_PTR ScriptedPage(const char* Name)
{
    if (Str(Name).Find("NO_") == 0) return DialogNotShown;
    if (!Current.Shown.Empty()) Current.Shown += ",";
    Current.Shown += Name;
    // A script that runs out cancels, so a faulty walk cannot loop forever.
    if (Current.Next >= Current.Count) return ResultCancel;
    return Current.Results[Current.Next++];
}

bool Walk(const char* Sequence, const INT_PTR* Results, int Count)
{
    ReadDialogSequence(Sequence, &DialogSequence);
    Current.Results = Results;
    Current.Count = Count;
    Current.Next = 0;
    Current.Shown.Clear();
    return WalkDialogSequence(ScriptedPage);
}

TEST(DialogSequenceWalk, EmptySequenceSucceedsWithoutPages)
{
    EXPECT_TRUE(Walk("", nullptr, 0));
    EXPECT_EQ(Current.Shown, "");
}

TEST(DialogSequenceWalk, NextThroughEveryPage)
{
    const INT_PTR Results[] = {ResultNext, ResultNext, ResultNext};
    EXPECT_TRUE(Walk("A,B,C", Results, 3));
    EXPECT_EQ(Current.Shown, "A,B,C");
}

TEST(DialogSequenceWalk, BackReturnsAndStaysAtTheFirstPage)
{
    const INT_PTR Results[] = {ResultNext, ResultBack, ResultBack, ResultNext, ResultNext};
    EXPECT_TRUE(Walk("A,B", Results, 5));
    EXPECT_EQ(Current.Shown, "A,B,A,A,B");
}

TEST(DialogSequenceWalk, CancelEndsWithFalse)
{
    const INT_PTR Results[] = {ResultNext, ResultCancel};
    EXPECT_FALSE(Walk("A,B,C", Results, 2));
    EXPECT_EQ(Current.Shown, "A,B");
    EXPECT_EQ(CurrentDialogIndex, 1);
    EXPECT_EQ(CurrentDialogName, "B");
}

TEST(DialogSequenceWalk, OtherResultsShowTheSamePageAgain)
{
    const INT_PTR Results[] = {IDCANCEL, 0, ResultNext};
    EXPECT_TRUE(Walk("A", Results, 3));
    EXPECT_EQ(Current.Shown, "A,A,A");
}

TEST(DialogSequenceWalk, UnknownNamesArePassedOverInTheDirectionOfTravel)
{
    // Forward over NO_X; Back from C passes over NO_Y back to A.
    const INT_PTR Results[] = {ResultNext, ResultNext, ResultBack, ResultBack, ResultNext, ResultNext, ResultNext};
    EXPECT_TRUE(Walk("A,NO_X,B,NO_Y,C", Results, 7));
    EXPECT_EQ(Current.Shown, "A,B,C,B,A,B,C");
}

TEST(DialogSequenceWalk, BackOverUnknownFirstPagesTurnsForward)
{
    const INT_PTR Results[] = {ResultBack, ResultNext};
    EXPECT_TRUE(Walk("NO_X,NO_Y,A", Results, 2));
    EXPECT_EQ(Current.Shown, "A,A");
}

TEST(DialogSequenceWalk, OnlyUnknownNamesEndAtOnceWithTrue)
{
    EXPECT_TRUE(Walk("NO_X,NO_Y", nullptr, 0));
    EXPECT_EQ(Current.Shown, "");
}

TEST(DialogSequenceWalk, UnknownLastNameAfterNextEndsTheSequence)
{
    const INT_PTR Results[] = {ResultNext};
    EXPECT_TRUE(Walk("A,NO_X", Results, 1));
}

TEST(DialogSequenceValue, WordsAreUpperCasedAndEmptyWordsDropped)
{
    StrList Sequence;
    ReadDialogSequence(",dlg_welcome,,Dlg_Dir,", &Sequence);
    ASSERT_EQ(Sequence.Count(), 2);
    EXPECT_EQ(Sequence.Get(0), "DLG_WELCOME");
    EXPECT_EQ(Sequence.Get(1), "DLG_DIR");
    // Blanks belong to the words; only ASCII letters change.
    ReadDialogSequence("dlg_start, dlg_finish", &Sequence);
    ASSERT_EQ(Sequence.Count(), 2);
    EXPECT_EQ(Sequence.Get(1), " DLG_FINISH");
}

TEST(WizardPages, TemplatesOfTheModuleArePages)
{
    ModuleInstance = GetModuleHandleA(nullptr);
    const char* Pages[] = {"DLG_LANGUAGE", "DLG_WELCOME", "DLG_LICENSE", "DLG_README",    "DLG_DIR",
                           "DLG_START",    "DLG_REBOOT",  "DLG_FINISH",  "DLG_NOTFINISH", "DLG_PROGRESS"};
    for (const char* Page : Pages) EXPECT_TRUE(IsWizardPage(Page)) << Page;
    EXPECT_FALSE(IsWizardPage("DLG_NOSUCH"));
    EXPECT_FALSE(IsWizardPage(" DLG_FINISH"));
    // Neither has a way out: a page made from them would never end.
    EXPECT_FALSE(IsWizardPage("DLG_MESSAGE"));
    EXPECT_FALSE(IsWizardPage("DLG_PRESETUP"));
}

} // namespace
