// The wizard pages: the walk through DialogSequence with Back, Next and
// Cancel, the one dialog procedure every page shares, the title area's
// painting (also used by the installation's progress dialog) and the cancel
// question.
#pragma once

#include <windows.h>

// Results a wizard page ends with; equal to the ids of its three buttons.
enum DialogResult {
    ResultBack = 101,
    ResultNext = 102,
    ResultCancel = 103,
};

// Shows the pages of DialogSequence modally (owner MainWindow). True when the
// last page was left with Next or the list is empty; false after a cancel.
// A name with no page template is passed over in the direction of travel.
bool RunDialogSequence();

// What RunDialogSequence shows a page with: the page's result, or
// DialogNotShown when no page can be made from the name.
enum { DialogNotShown = -1 };
typedef INT_PTR (*ShowPageFunction)(const char* TemplateName);
// The walk itself, with the page display supplied by the caller.
bool WalkDialogSequence(ShowPageFunction ShowPage);

// True when the module holds a template of that name that works as a page.
bool IsWizardPage(const char* TemplateName);

INT_PTR CALLBACK WizardDialogProc(HWND Dialog, UINT Message, WPARAM WParam, LPARAM LParam);
// Paints control 100 of Dialog: the title picture (or the button-face colour
// without one) and DialogTitle in DialogTitleFont, with its shadow if asked.
void PaintDialogTitle(HWND Dialog);
// Cancel and the close box: asks text 1 while CancelNeedsConfirmation is set
// and ends the page with ResultCancel unless the answer is No.
void AskCancel(HWND Dialog);
