// Wizard pages (see Dialogs.h). All pages share WizardDialogProc: first the
// behaviour of the known pages, chosen by CurrentDialogName, then the common
// behaviour (title area, texts, Back/Next/Cancel). A page stores its values
// before the common handling ends it.
#include "Dialogs.h"

#include "Common.h"
#include "Report.h"
#include "ResourceIds.h"
#include "SetupRules.h"
#include "TestSeams.h"
#include "Texts.h"
#include "oxFileUtils.h"
#include "oxGraphics.h"
#include "oxShell.h"

// Offsets of the dialog title and its shadow inside the title area, pixels
// at 96 DPI (scaled to the display's resolution, as the font is).
enum {
    TitleTextX = 10,
    TitleTextY = 5,
    TitleShadowOffset = 2,
};

bool IsWizardPage(const char* TemplateName)
{
    // A page made from a template that no button or close box can leave
    // (DLG_MESSAGE, DLG_PRESETUP) could never end.
    const DialogTemplateName* Known = FindDialogTemplate(DialogNameOf(TemplateName));
    if (Known && !Known->CanEnd) return false;
    return FindResourceA(ModuleInstance, TemplateName, (LPCSTR)RT_DIALOG) != 0;
}

bool WalkDialogSequence(ShowPageFunction ShowPage)
{
    int Count = DialogSequence.Count();
    if (Count == 0) return true;
    CurrentDialogIndex = 0;
    bool Forward = true; // the direction of the last move, for passing over
    for (;;) {
        CurrentDialogName = DialogSequence.Get(CurrentDialogIndex);
        INT_PTR Result = ShowPage(CurrentDialogName.c_str());
        // Passed over in the direction of travel. Backward at the first
        // entry turns forward again, so the walk comes back to the page the
        // user left and never circles over unknown names.
        if (Result == DialogNotShown) Result = Forward || CurrentDialogIndex == 0 ? ResultNext : ResultBack;
        switch (Result) {
        case ResultBack:
            Forward = false;
            if (CurrentDialogIndex > 0) --CurrentDialogIndex;
            break;
        case ResultNext:
            Forward = true;
            if (CurrentDialogIndex >= Count - 1) return true;
            ++CurrentDialogIndex;
            break;
        case ResultCancel: return false;
        default: break; // the same page again
        }
    }
}

static INT_PTR ShowWizardPage(const char* TemplateName)
{
    if (!IsWizardPage(TemplateName)) return DialogNotShown;
    // A page that cannot be made ends with -1, which is DialogNotShown.
    return DialogBoxParamA(ModuleInstance, TemplateName, MainWindow, WizardDialogProc, 0);
}

bool RunDialogSequence()
{
    // A silent run shows no page: every page's value keeps its default (the
    // run has checked the folder), the licence counts as accepted.
    if (SilentRun) return true;
    return WalkDialogSequence(ShowWizardPage);
}

// True when a page that can be shown stands before the current one, so Back
// leads somewhere.
static bool HasPageBefore()
{
    for (int I = 0; I < CurrentDialogIndex; ++I)
        if (IsWizardPage(DialogSequence.Get(I).c_str())) return true;
    return false;
}

// Cancel and the close box: asks text 1 while CancelNeedsConfirmation is set
// and ends the page with ResultCancel unless the answer is No.
static void AskCancel(HWND Dialog)
{
    // Only a clear Yes cancels: a question box that could not be shown
    // leaves the page open.
    if (CancelNeedsConfirmation) {
        if (AskQuestion(GetText(TextCancelQuestion).c_str()) != IDYES) return;
        NoteFailure(ExitCancelled);
    }
    EndDialog(Dialog, ResultCancel);
}

void PaintDialogTitle(HWND Dialog)
{
    HWND TitleArea = GetDlgItem(Dialog, IDC_TITLE);
    if (!TitleArea) return;
    PAINTSTRUCT Paint;
    HDC DC = BeginPaint(TitleArea, &Paint);
    RECT Client;
    GetClientRect(TitleArea, &Client);
    if (TitlePicture) {
        HDC PictureDC = CreateCompatibleDC(DC);
        HGDIOBJ OldBitmap = SelectObject(PictureDC, TitlePicture);
        BITMAP Picture;
        GetObjectA(TitlePicture, sizeof(Picture), &Picture);
        // Averaged, not pixel-doubled, where the area is larger than the
        // picture (a display above 96 DPI). HALFTONE wants the brush origin
        // set; systems without the mode stretch as before.
        SetStretchBltMode(DC, HALFTONE);
        SetBrushOrgEx(DC, 0, 0, 0);
        StretchBlt(DC, 0, 0, RectWidth(Client) - 1, RectHeight(Client) - 1, PictureDC, 0, 0, Picture.bmWidth,
                   Picture.bmHeight, SRCCOPY);
        SelectObject(PictureDC, OldBitmap);
        DeleteDC(PictureDC);
    } else {
        FillRect(DC, &Client, SystemColorBrush(COLOR_BTNFACE));
    }
    DrawTitle(DC, DialogTitleLook, DialogTitle, Client, TitleTextX, TitleTextY, TitleShadowOffset,
              CurrentDialogName.c_str());
    EndPaint(TitleArea, &Paint);
}

void DrawTitle(HDC DC, const TitleLook& Look, const Str& Text, const RECT& Area, int X, int Y, int ShadowOffset,
               const char* Surface)
{
    SetBkMode(DC, TRANSPARENT);
    HGDIOBJ OldFont = Look.Font ? SelectObject(DC, Look.Font) : 0;
    int TextX = ScaleToDpi(DC, X), TextY = ScaleToDpi(DC, Y);
    int Shadow = Look.Shadow ? ScaleToDpi(DC, ShadowOffset) : 0;
    DrawTitleText(DC, TextX, TextY, Text, (int)Look.Color, Shadow, (int)Look.ShadowColor);
    TestSeamNoteTitle(Surface, DC, Area, TextX, TextY, Text.c_str());
    if (OldFont) SelectObject(DC, OldFont);
}

static void FocusControl(HWND Dialog, int Id)
{
    HWND Control = GetDlgItem(Dialog, Id);
    if (Control) SetFocus(Control);
}

// ---- the known pages ----

static const char* const NoFullPathDefault =
    "Please enter the full path of the installation folder: a drive and a folder "
    "(C:\\Program Files\\Product) or a network folder (\\\\Server\\Share\\Product).";

// DLG_DIR: 106 the directory edit, 107 Browse. True when the page stays:
// Next with a folder that is no full path (an empty or relative one would
// install wherever the setup was started from) asks for one.
static bool DirectoryPage(HWND Dialog, UINT Message, int Id)
{
    if (Message == WM_INITDIALOG) {
        SetControlText(Dialog, IDC_DIR_EDIT, InstallDir.c_str());
        FocusControl(Dialog, IDC_DIR_EDIT);
    } else if (Message == WM_COMMAND) {
        if (Id == IDC_BACK || Id == IDC_NEXT) {
            InstallDir = GetControlText(Dialog, IDC_DIR_EDIT);
            if (Id == IDC_NEXT && !IsFullPath(InstallDir)) {
                ReportError(0, GetText(TextNoFullPath, NoFullPathDefault).c_str(), ExitInstalled);
                SetControlText(Dialog, IDC_DIR_EDIT, InstallDir.c_str()); // selects it whole
                FocusControl(Dialog, IDC_DIR_EDIT);
                return true;
            }
        } else if (Id == IDC_DIR_BROWSE) {
            InstallDir = GetControlText(Dialog, IDC_DIR_EDIT);
            if (BrowseForDirectory(Dialog, GetText(TextBrowsePrompt).c_str(), &InstallDir)) {
                SetControlText(Dialog, IDC_DIR_EDIT, InstallDir.c_str());
                FocusControl(Dialog, IDC_DIR_EDIT);
            }
        }
    }
    return false;
}

static const char* const RestartStillReplacesDefault =
    "Some files were in use. They will still be replaced with their new versions when Windows restarts.";
static const char* const RemovedAtRestartDefault =
    "Some files were in use. They will be removed when Windows restarts.";

// DLG_FINISH, DLG_NOTFINISH and DLG_UNINSTALLED: 104 OK; 107 shown only when
// files wait for the next restart (DLG_NOTFINISH: replacements scheduled by
// the failed run; DLG_UNINSTALLED: files in use that go then).
static void FinishPage(HWND Dialog, UINT Message, int Id)
{
    if (Message == WM_INITDIALOG) {
        FocusControl(Dialog, IDC_FINISH_OK);
        Str Restart;
        if (RebootNeeded && CurrentDialogName == DlgNotFinish)
            Restart = GetText(TextRestartStillReplaces, RestartStillReplacesDefault);
        if (RebootNeeded && CurrentDialogName == DlgUninstalled)
            Restart = GetText(TextRemovedAtRestart, RemovedAtRestartDefault);
        if (!Restart.Empty()) {
            SetItemText(Dialog, IDC_NOTFINISH_RESTART, Restart.c_str());
            ShowWindow(GetDlgItem(Dialog, IDC_NOTFINISH_RESTART), SW_SHOW);
        }
    } else if (Message == WM_COMMAND && Id == IDC_FINISH_OK) {
        EndDialog(Dialog, ResultNext);
    }
}

// DLG_REBOOT: 106 restart now, 107 restart later. Cancel keeps RebootNeeded.
static void RebootPage(HWND Dialog, UINT Message, int Id)
{
    if (Message == WM_INITDIALOG) {
        SendDlgItemMessageA(Dialog, RebootNeeded ? IDC_REBOOT_NOW : IDC_REBOOT_LATER, BM_SETCHECK, BST_CHECKED, 0);
    } else if (Message == WM_COMMAND && (Id == IDC_BACK || Id == IDC_NEXT)) {
        RebootNeeded = SendDlgItemMessageA(Dialog, IDC_REBOOT_NOW, BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
}

// DLG_LANGUAGE: 106 the list of language names; list position i is
// LanguageList entry i.
static void LanguagePage(HWND Dialog, UINT Message, int Id)
{
    if (Message == WM_INITDIALOG) {
        for (int I = 0; I < LanguageList.Count(); ++I)
            SendDlgItemMessageA(Dialog, IDC_LANGUAGE_LIST, LB_ADDSTRING, 0, (LPARAM)LanguageList.ValueAt(I).c_str());
        int Current = LanguageList.IndexOfName(LanguageCode.c_str());
        if (Current >= 0) SendDlgItemMessageA(Dialog, IDC_LANGUAGE_LIST, LB_SETCURSEL, Current, 0);
        FocusControl(Dialog, IDC_LANGUAGE_LIST);
    } else if (Message == WM_COMMAND && (Id == IDC_BACK || Id == IDC_NEXT)) {
        LRESULT Selected = SendDlgItemMessageA(Dialog, IDC_LANGUAGE_LIST, LB_GETCURSEL, 0, 0);
        if (Selected >= 0 && Selected < LanguageList.Count()) LanguageCode = LanguageList.NameAt((int)Selected);
    }
}

// The language's file (License.ENU), else the neutral one (License.txt).
static Str LoadLanguageFile(const char* BaseName)
{
    Str Path = TempDir + BaseName;
    int NameLength = Path.Length();
    Str Text = LoadTextFile(Path.Append('.').Append(LanguageCode).c_str());
    if (Text.Empty()) {
        Path.Truncate(NameLength);
        Text = LoadTextFile(Path.Append(".txt").c_str());
    }
    return Text;
}

// DLG_LICENSE: 105 Yes, 106 No (cancels without the question), 108 the text.
static void LicensePage(HWND Dialog, UINT Message, int Id)
{
    if (Message == WM_INITDIALOG) {
        FocusControl(Dialog, IDC_LICENSE_YES);
        SetItemText(Dialog, IDC_LICENSE_EDIT, LoadLanguageFile("License").c_str());
    } else if (Message == WM_COMMAND) {
        if (Id == IDC_LICENSE_YES)
            EndDialog(Dialog, ResultNext);
        else if (Id == IDC_LICENSE_NO) {
            NoteFailure(ExitCancelled);
            EndDialog(Dialog, ResultCancel);
        }
    }
}

// DLG_README: 106 the text.
static void ReadmePage(HWND Dialog, UINT Message, int)
{
    if (Message == WM_INITDIALOG) SetItemText(Dialog, IDC_README_EDIT, LoadLanguageFile("Readme").c_str());
}

// Controls: 100 title area, 101 Back, 102 Next, 103 Cancel, 104 separator;
// the page's own controls are listed at its function above. Always returns
// 0: the default dialog processing runs as well, and focus is set here.
INT_PTR CALLBACK WizardDialogProc(HWND Dialog, UINT Message, WPARAM WParam, LPARAM)
{
    int Id = LOWORD(WParam);
    if (Message == WM_INITDIALOG) FocusControl(Dialog, IDC_NEXT);

    const Str& Name = CurrentDialogName;
    bool Stay = false; // the page keeps the command from ending it
    if (Name == DlgDir) Stay = DirectoryPage(Dialog, Message, Id);
    if (Name == DlgFinish || Name == DlgNotFinish || Name == DlgUninstalled) FinishPage(Dialog, Message, Id);
    if (Name == DlgReboot) RebootPage(Dialog, Message, Id);
    if (Name == DlgLanguage) LanguagePage(Dialog, Message, Id);
    if (Name == DlgLicense) LicensePage(Dialog, Message, Id);
    if (Name == DlgReadme) ReadmePage(Dialog, Message, Id);

    switch (Message) {
    case WM_PAINT: PaintDialogTitle(Dialog); break;
    case WM_CLOSE: AskCancel(Dialog); break;
    case WM_INITDIALOG:
        if (!HasPageBefore()) ShowWindow(GetDlgItem(Dialog, IDC_BACK), SW_HIDE);
        if (MainWindow) SetClassLongPtrA(Dialog, GCLP_HICON, GetClassLongPtrA(MainWindow, GCLP_HICON));
        ApplyDialogTexts(Dialog);
        TestSeamNoteControls(Dialog);
        if (TestSeamFails("page")) OutOfMemory();
        break;
    case WM_COMMAND:
        // Escape sends id 2 (IDCANCEL), which is deliberately not handled here.
        if (Stay) break;
        if (Id == IDC_BACK)
            EndDialog(Dialog, ResultBack);
        else if (Id == IDC_NEXT)
            EndDialog(Dialog, ResultNext);
        else if (Id == IDC_CANCEL)
            AskCancel(Dialog);
        break;
    }
    return 0;
}
