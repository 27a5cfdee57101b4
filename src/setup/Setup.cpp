// The main sequence of a setup run: command line, temporary directory,
// presetup, setup script, main window and look, languages, the wizard and the
// installation, and the closing steps. A silent run (/S) makes no window: the
// pages are passed over with their defaults (Dialogs.cpp). A failure that
// escapes the run (memory exhaustion, a fault) still runs the closing steps,
// then reports and exits with code 1.
#include "Setup.h"

#include <windows.h>
#include <stdlib.h>

#include "CommandLine.h"
#include "Common.h"
#include "DiagLog.h"
#include "Dialogs.h"
#include "FixedTexts.h"
#include "Install.h"
#include "Log.h"
#include "MainWindow.h"
#include "Presetup.h"
#include "Report.h"
#include "SetupRules.h"
#include "Texts.h"
#include "Uninstall.h"
#include "oxFileUtils.h"
#include "oxGraphics.h"
#include "oxRegIni.h"
#include "oxShell.h"
#include "oxStrUtils.h"
#include "oxSystemApi.h"

static const char DefaultMainTitleFont[] = "Times New Roman,30,$FF0000,B";
static const char DefaultDialogTitleFont[] = "Times New Roman,20,$FF5C5C,B";
enum {
    DefaultShadowColor = 0xC0C0C0, // silver
    LanguageCodeSize = 4,          // three letters and the terminator
    LanguageNameSize = 100,
    EmergencyReserveSize = 64 * 1024, // freed so the closing steps can run
};

// ---- languages ----

// A text of the locale that fits Size bytes with its terminator; empty when
// there is none.
static Str LocaleText(LCID Locale, LCTYPE Type, int Size)
{
    char Text[LanguageNameSize];
    int Length = GetLocaleInfoA(Locale, Type, Text, Size);
    return Length > 1 ? Str(Text, Length - 1) : Str();
}

// The system's locales name the offered codes. EnumSystemLocalesA passes no
// context, so the callback works on LanguageList directly.
static BOOL CALLBACK NameLanguage(LPSTR LocaleNumber)
{
    LCID Locale = (LCID)(strtoul(LocaleNumber, 0, 16) & 0xFFFF);
    Str Code = LocaleText(Locale, LOCALE_SABBREVLANGNAME, LanguageCodeSize);
    int Index = Code.Empty() ? -1 : LanguageList.IndexOfName(Code.c_str());
    if (Index >= 0) LanguageList.Set(Index, Code + "=" + LocaleText(Locale, LOCALE_SLANGUAGE, LanguageNameSize));
    return TRUE;
}

void BuildLanguageList(const char* Languages)
{
    LanguageList.Clear();
    Str Value(Languages);
    int Count = CountWords(Value, CommaSet);
    for (int I = 1; I <= Count; ++I) LanguageList.Add(GetWord(I, Value, CommaSet) + "=");
    if (Count == 0) LanguageList.Add("ENG=");
    EnumSystemLocalesA(NameLanguage, LCID_SUPPORTED);
    LanguageList.Sort();
}

void ChooseLanguageCode()
{
    LanguageCode = LocaleText(LOCALE_USER_DEFAULT, LOCALE_SABBREVLANGNAME, LanguageCodeSize);
    if (LanguageCode.Empty() || LanguageList.IndexOfName(LanguageCode.c_str()) < 0)
        LanguageCode = LanguageList.NameAt(0);
}

void ReadDialogSequence(const char* Value, StrList* Sequence)
{
    Sequence->Clear();
    Str Text(Value);
    int Count = CountWords(Text, CommaSet);
    for (int I = 1; I <= Count; ++I) {
        Sequence->Add(DialogNameOf(GetWord(I, Text, CommaSet)));
    }
}

// ---- look ----

// A title's look from the [Display] keys Name + "Font", Name + "Shadow" and
// Name + "ShadowColor". A font colour that is not a number keeps the colour
// of DefaultFont.
static void ReadTitleLook(TitleLook* Look, const char* Name, const char* DefaultFont, bool DefaultShadow)
{
    const char* Ini = IniPath.c_str();
    Str Key(Name);
    Str FontText = IniReadString(Ini, "Display", (Key + "Font").c_str(), DefaultFont);
    Look->Shadow = IniReadBool(Ini, "Display", Key.Append("Shadow").c_str(), DefaultShadow);
    Look->ShadowColor = (COLORREF)IniReadColor(Ini, "Display", Key.Append("Color").c_str(), DefaultShadowColor);
    Str Face;
    int Size = 0, Color = 0;
    FontStyles Styles = 0;
    ParseFontSpec(DefaultFont, &Face, &Size, &Color, &Styles);
    ParseFontSpec(FontText.c_str(), &Face, &Size, &Color, &Styles);
    Look->Color = (COLORREF)Color;
    Look->Font = CreateSpecFont(MainWindow, Face.c_str(), Size, Styles);
}

// ---- closing ----

static void* EmergencyReserve = 0;

// Everything the run holds, released; the temporary directory deleted.
static void ReleaseRunState()
{
    RegList.Clear();
    CopyList.Clear();
    VariableList.Clear();
    LanguageList.Clear();
    if (TitlePicture) DeleteObject(TitlePicture);
    TitlePicture = 0;
    if (DialogTitleLook.Font) DeleteObject(DialogTitleLook.Font);
    DialogTitleLook.Font = 0;
    if (MainTitleLook.Font) DeleteObject(MainTitleLook.Font);
    MainTitleLook.Font = 0;
    DialogSequence.Clear();
    if (MainWindow) DestroyWindow(MainWindow);
    MainWindow = 0;
    if (!TempDir.Empty()) DeleteDirectory(TempDir.c_str(), true);
    TempDir.Clear();
}

// Set when the installation run itself failed or was cancelled.
static bool InstallationFailed = false;
// The outcome as it stood: what the last step of the wizard phase returned.
// A failure that escapes the phase closes the run with it.
static bool RunOutcome = false;
// The thread that runs the wizard and owns every window.
static DWORD InterfaceThread = 0;

// Set once the closing steps run: a failure in them skips to the release.
static bool Closing = false;

// This program is an uninstaller: its run shows its own pages and never
// restarts. Its exit codes are the setup's: 0 removed, 1 failed, 2
// cancelled, 4 wrong command line, 3010 removed but installed files that were
// in use go at the next restart (its own file waiting for that restart is no
// reason: nothing of the product is left in use).
static bool Uninstalling = false;

// The closing steps; true when Windows is being restarted.
static bool CloseRun(bool Outcome)
{
    Closing = true;
    if (Uninstalling) {
        ReleaseRunState();
        return false;
    }
    // After a failed installation that had already scheduled a replacement,
    // the user still learns how the run ended: DLG_NOTFINISH, which then
    // says that a restart will replace files (Dialogs.cpp). No restart follows.
    if (!RebootNeeded || InstallationFailed) {
        CancelNeedsConfirmation = false;
        DialogSequence.Clear();
        DialogSequence.Add(Outcome ? DlgFinish : DlgNotFinish);
        RunDialogSequence();
    }
    ReleaseRunState();
    // A silent run restarts only when the command line allows it.
    if (Outcome && RebootNeeded && (!SilentRun || RunOptions.AllowRestart)) return RestartWindows(false);
    return false;
}

// The last line of the diagnostic log; the code the process ends with.
static SetupExitCode EndRun(SetupExitCode Code)
{
    DiagLogLine("exit code ", IntToText(Code).c_str());
    DiagLogClose();
    return Code;
}

// Ends a run that a failure escaped: the closing steps with the outcome as it
// stood (the final page and the restart included, on the reserve freed for
// them), the error (a box unless silent), exit code 1. Windows and GDI objects belong to the
// interface thread, so another thread (the installation worker) hands the
// ending to it through the main window and waits there for the process to
// end. A second failure on the way ends the process at once.
void EndRunAfterFailure(const char* Message)
{
    if (GetCurrentThreadId() != InterfaceThread && InterfaceThread) {
        if (PostMessageA(MainWindow, MainWindowEndRun, 0, (LPARAM)Message))
            for (;;) Sleep(INFINITE);
        FlushLog(); // no interface thread to hand it to: keep at least the log
        ExitProcess(1);
    }
    static bool Ending = false;
    if (Ending) ExitProcess(1);
    Ending = true;
    bool ShowFinalPage = MainWindow && !Closing;
    free(EmergencyReserve);
    EmergencyReserve = 0;
    FlushLog(); // an uninstall must know what was installed
    // Before the main window exists, or once the closing steps have begun,
    // no page is shown: the run state is released.
    if (ShowFinalPage)
        CloseRun(RunOutcome);
    else
        ReleaseRunState();
    // Destroying the main window posted a quit message, which would close
    // the error box at once.
    MSG Quit;
    while (PeekMessageA(&Quit, 0, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
    ReportError(0, Message, ExitFailed);
    EndRun(ExitFailed);
    ExitProcess(ExitFailed);
}

static void OnOutOfMemory() { EndRunAfterFailure(NotEnoughMemoryMessage); }

static LONG WINAPI OnUnhandledFault(EXCEPTION_POINTERS*)
{
    EndRunAfterFailure(InternalErrorMessage);
    return EXCEPTION_EXECUTE_HANDLER;
}

// ---- the run ----

static bool RunWizard()
{
    if (Uninstalling) return RunUninstallation();
    ReadDialogSequence(ConfigText("PreInstallDialogSequence").c_str(), &DialogSequence);
    RunOutcome = RunDialogSequence();
    if (!RunOutcome) return false;
    // Until the installation returns, the run counts as failed: a failure
    // that escapes it must not end on DLG_FINISH.
    RunOutcome = false;
    InstallationFailed = true;
    RunOutcome = RunInstallation();
    if (!RunOutcome) return false;
    InstallationFailed = false;
    ReadDialogSequence(ConfigText("PostInstallDialogSequence").c_str(), &DialogSequence);
    if (RebootNeeded) DialogSequence.Add(DlgReboot);
    RunOutcome = RunDialogSequence();
    return RunOutcome;
}

// /LANG= over the automatic choice: a code the setup offers, taken in the
// list's spelling.
static bool ApplyLanguageOption()
{
    if (RunOptions.Language.Empty()) return true;
    int Index = LanguageList.IndexOfName(RunOptions.Language.c_str());
    if (Index >= 0) {
        LanguageCode = LanguageList.NameAt(Index);
        return true;
    }
    ReportErrorOn(0, UnknownLanguageMessage, RunOptions.Language.c_str(), ExitBadCommandLine);
    return false;
}

// The folder of a run that no directory page will ask: /D= in any run, and
// the default folder of a silent one. Its variables are expanded as the page
// would show them; a folder that is no full path would install wherever the
// setup was started from.
static bool CheckInstallDir()
{
    if (!SilentRun && !RunOptions.HasDir) return true;
    LoadVariables();
    Str Folder = ExpandVariables(InstallDir.c_str());
    if (IsFullPath(Folder)) {
        InstallDir = Folder; // what the page would show (and store) as well
        return true;
    }
    ReportErrorOn(0, NoFullPathFolderMessage, Folder.c_str(), RunOptions.HasDir ? ExitBadCommandLine : ExitFailed);
    return false;
}

// The uninstaller takes its folder from its own place and its language from
// the installation's record: a script that gives it /D= or /LANG= expects
// what it cannot do, and learns so from the exit code.
static bool RefuseSetupOnlyOptions()
{
    if (!RunOptions.HasDir && RunOptions.Language.Empty()) return true;
    ReportError(0, SetupOnlyOptionsMessage, ExitBadCommandLine);
    return false;
}

typedef void(WINAPI* InitCommonControlsCall)();

// The start-up steps up to the wizard. False when the run cannot go on; the
// step that failed has said why.
static bool StartRun()
{
    // An elevated run keeps its files where only administrators and SYSTEM
    // can write: in the user's Temp folder any program of the user could
    // change the instruction files (and so the values written under HKLM)
    // while the setup waits on its pages.
    TempDir = CreateRunTempDir(ProcessIsElevated());
    if (TempDir.Empty()) {
        ReportError(0, NoTempFolderMessage, ExitFailed);
        return false;
    }
    RebootNeeded = false;
    if (!ExtractPresetup(OwnFileName().c_str(), TempDir.c_str())) return false;

    IniPath = TempDir + "Tarn.ini";
    StrPath = TempDir + "Tarn.str";
    DlgPath = TempDir + "Tarn.dlg";
    Uninstalling = IsUninstaller();
    const char* Ini = IniPath.c_str();
    InstallDir = RunOptions.HasDir ? RunOptions.Dir : ConfigText("DefaultInstallPath", "Test");
    ProgramName = "Setup";
    CancelNeedsConfirmation = true;

    // A silent run has no window, so nothing of the look is made.
    if (!SilentRun) {
        MainWindow = CreateMainWindow();
        if (!MainWindow) {
            // No box either: it would wait for an answer on a display that
            // could not give the setup a window. The log keeps the reason.
            DiagLogError("the main window cannot be made", "", GetLastError());
            return false;
        }
        if (IniReadBool(Ini, "Display", "ShowMainWindow", false)) ShowWindow(MainWindow, SW_SHOWMAXIMIZED);
        ReadTitleLook(&MainTitleLook, "MainTitle", DefaultMainTitleFont, false);
        ReadTitleLook(&DialogTitleLook, "DialogTitle", DefaultDialogTitleFont, true);
        // The shown window was painted before its font existed.
        InvalidateRect(MainWindow, 0, FALSE);
        TitlePicture = (HBITMAP)LoadImageA(0, (TempDir + "Tarn.bmp").c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
    }

    BuildLanguageList(ConfigText("Languages").c_str());
    ChooseLanguageCode();
    if (Uninstalling) return RefuseSetupOnlyOptions();
    return ApplyLanguageOption() && CheckInstallDir();
}

SetupExitCode RunSetup()
{
    // Before anything loads a DLL: from here on only the system folder is
    // searched, never the folder the setup was started from.
    RestrictDllSearch();
    GetOSInfo(&OSInfo);
    ModuleInstance = GetModuleHandleA(0);
    InterfaceThread = GetCurrentThreadId();
    EmergencyReserve = malloc(EmergencyReserveSize);
    SetOutOfMemoryHandler(OnOutOfMemory);
    SetUnhandledExceptionFilter(OnUnhandledFault);

    if (!ReadCommandLine()) return EndRun(ExitBadCommandLine);
    // The progress bars' class (comctl32 is part of every Windows). A silent
    // run shows no window and saves loading the library.
    if (!SilentRun) {
        InitCommonControlsCall InitControls = (InitCommonControlsCall)(void*)FindSystemApi(ApiInitCommonControls);
        if (InitControls) InitControls();
    }
    DiagLogLine("Windows: ", OSInfo.Description.c_str());
    if (RunOptions.ShowHelp) {
        // The options and exit codes, in a box; nothing in a silent run.
        if (!SilentRun) CenteredMessageBox(0, UsageCaption, UsageText, MB_OK | MB_ICONINFORMATION);
        return EndRun(ExitInstalled);
    }
    if (!StartRun()) {
        // Whatever the start-up made goes again (the temporary folder and
        // what the presetup stage put in it, a main window without fonts).
        ReleaseRunState();
        return EndRun(FailureExitCode());
    }
    VariableList.Clear();

    bool Outcome = RunWizard();
    bool Restarting = CloseRun(Outcome);
    if (!Outcome) return EndRun(FailureExitCode());
    return EndRun(FilesAwaitRestart && !Restarting ? ExitRestartNeeded : ExitInstalled);
}
