// The wizard pages: the walk through DialogSequence with Back, Next and
// Cancel, the one dialog procedure every page shares, the title area's
// painting (also used by the installation's progress dialog), the drawing of
// a title (the main window's too) and the cancel question.
#pragma once

#include <windows.h>

#include "Common.h"

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
// without one) and DialogTitle in DialogTitleLook.
void PaintDialogTitle(HWND Dialog);
// Text in Look at X, Y of Area, with its shadow ShadowOffset pixels down and
// right when Look has one; the three are pixels at 96 DPI, scaled to DC's
// display. Surface names the title to the test seam.
void DrawTitle(HDC DC, const TitleLook& Look, const Str& Text, const RECT& Area, int X, int Y, int ShadowOffset,
               const char* Surface);
