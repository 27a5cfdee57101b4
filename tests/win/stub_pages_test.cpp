// Page behaviour of WizardDialogProc on real pages made from the templates:
// what the restart page does with RebootNeeded on Next and on Cancel, and
// which pages have a Back button.
#include <gtest/gtest.h>

#include <string>

#include "Common.h"
#include "Dialogs.h"
#include "ResourceIds.h"

namespace {

class Page : public ::testing::Test {
protected:
    HWND Dialog = nullptr;

    void SetUp() override
    {
        ModuleInstance = GetModuleHandleA(nullptr);
        MainWindow = nullptr;
        CancelNeedsConfirmation = false; // no question box in a unit test
        DialogSequence.Clear();
    }
    void TearDown() override
    {
        if (Dialog) DestroyWindow(Dialog);
    }
    // Opens the page at Index of a sequence, as RunDialogSequence would.
    void Open(const char* Sequence[], int Count, int Index)
    {
        for (int I = 0; I < Count; ++I) DialogSequence.Add(Sequence[I]);
        CurrentDialogIndex = Index;
        CurrentDialogName = Sequence[Index];
        Dialog = CreateDialogParamA(ModuleInstance, Sequence[Index], nullptr, WizardDialogProc, 0);
        ASSERT_NE(Dialog, nullptr);
    }
    void Press(int Id) { SendMessageA(Dialog, WM_COMMAND, MAKEWPARAM(Id, BN_CLICKED), 0); }
    bool Checked(int Id) { return IsDlgButtonChecked(Dialog, Id) == BST_CHECKED; }
    bool Visible(int Id) { return IsWindowVisible(GetDlgItem(Dialog, Id)) != FALSE; }
};

TEST_F(Page, RestartLaterOnNextClearsRebootNeeded)
{
    const char* Sequence[] = {"DLG_REBOOT"};
    RebootNeeded = true;
    Open(Sequence, 1, 0);
    EXPECT_TRUE(Checked(IDC_REBOOT_NOW));
    EXPECT_FALSE(Checked(IDC_REBOOT_LATER));
    CheckRadioButton(Dialog, IDC_REBOOT_NOW, IDC_REBOOT_LATER, IDC_REBOOT_LATER);
    Press(IDC_NEXT);
    EXPECT_FALSE(RebootNeeded);
}

TEST_F(Page, CancelOnTheRestartPageKeepsRebootNeeded)
{
    const char* Sequence[] = {"DLG_REBOOT"};
    RebootNeeded = true;
    Open(Sequence, 1, 0);
    CheckRadioButton(Dialog, IDC_REBOOT_NOW, IDC_REBOOT_LATER, IDC_REBOOT_LATER);
    Press(IDC_CANCEL);
    EXPECT_TRUE(RebootNeeded);
}

TEST_F(Page, RestartNowIsOfferedOnlyWhenNeeded)
{
    const char* Sequence[] = {"DLG_REBOOT"};
    RebootNeeded = false;
    Open(Sequence, 1, 0);
    EXPECT_TRUE(Checked(IDC_REBOOT_LATER));
    Press(IDC_NEXT);
    EXPECT_FALSE(RebootNeeded);
}

// A failed run that had scheduled a replacement ends on the not-finished
// page with RebootNeeded still set: then, and only then, the page says that
// a restart will replace files.
TEST_F(Page, NotFinishedTellsOfAPendingRestartOnlyWhenOneIsScheduled)
{
    const char* Sequence[] = {"DLG_NOTFINISH"};
    RebootNeeded = false;
    Open(Sequence, 1, 0);
    EXPECT_FALSE(Visible(IDC_NOTFINISH_RESTART));
    DestroyWindow(Dialog);
    DialogSequence.Clear();

    RebootNeeded = true;
    Open(Sequence, 1, 0);
    EXPECT_TRUE(Visible(IDC_NOTFINISH_RESTART));
    char Text[256] = "";
    GetDlgItemTextA(Dialog, IDC_NOTFINISH_RESTART, Text, sizeof(Text));
    EXPECT_NE(std::string(Text).find("replaced with their new versions when Windows restarts"), std::string::npos)
        << Text;
    RebootNeeded = false;
}

TEST_F(Page, BackIsShownOnlyWithAPageToGoBackTo)
{
    const char* First[] = {"DLG_WELCOME", "DLG_START"};
    Open(First, 2, 0);
    EXPECT_FALSE(Visible(IDC_BACK));
    DestroyWindow(Dialog);
    DialogSequence.Clear();
    Open(First, 2, 1);
    EXPECT_TRUE(Visible(IDC_BACK));
    DestroyWindow(Dialog);
    DialogSequence.Clear();
    const char* AfterUnknown[] = {"DLG_NOSUCH", "DLG_MESSAGE", "DLG_START"};
    Open(AfterUnknown, 3, 2);
    EXPECT_FALSE(Visible(IDC_BACK));
}

} // namespace
