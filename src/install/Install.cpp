// The installation run: instruction files, size scan, disk check, the
// progress dialog with its worker thread, then the registry values. The
// worker walks the archive appended to the program and extracts each payload
// entry that CopyList names into its target; files in use are replaced at
// the next start of Windows (Reboot.h), installed files logged (Log.h).
//
// Threads: the worker is created suspended and resumed by the progress
// dialog's initialisation, so ProgressDialog is valid before it is used. The
// two share single-byte flags and the dialog handle; the worker reaches the
// dialog only through messages (control updates, boxes it owns, and the
// posted WorkerDoneCommand that ends it).
#include "Install.h"

#include <windows.h>
#include <commctrl.h>

#include "Common.h"
#include "Dialogs.h"
#include "InstallRules.h"
#include "Instructions.h"
#include "Log.h"
#include "Msg.h"
#include "Presetup.h"
#include "Reboot.h"
#include "ResourceIds.h"
#include "Texts.h"
#include "Unrar.h"
#include "oxFileUtils.h"
#include "oxRegIni.h"
#include "oxShell.h"
#include "oxStrUtils.h"

static const char* const ProgressTemplate = "DLG_PROGRESS";
static const char* const ArchiveOpenError = "Archive open error!";
static const char* const CannotExtractFile = "Cannot extract file ";
static const char* const ErrorCaption = "Error";
// Name prefix of the successor of a file in use (GetTempFileNameA keeps its
// first three characters: "TarXXXX.tmp").
static const char* const TempFilePrefix = "Tarn";

// Numbered texts of Tarn.str.
enum {
    TextCancelQuestion = 1,
    TextReadingInstructions = 2,
    TextMeasuringSize = 3,
    TextNoDiskSpace = 4,
    TextWritingRegistry = 5,
    TextProgressLine = 100,   // format, %s = file name
    TextNewerCaption = 110,
    TextNewerQuestion = 111,  // format, %s = file name
};

// The command that ends the progress dialog. Only the worker sends it, as
// its last act; the dialog has no control with this id.
enum { WorkerDoneCommand = 102 };
// Pause between the last entry and the end of the dialog, so the full bar is seen.
enum { WorkerEndPauseMs = 100 };
enum { ProgressRangeMax = 100 };

// Written before the worker starts, only read afterwards.
static unsigned long long TotalBytes = 0;
// Set by the dialog before it resumes the worker.
static HWND ProgressDialog = 0;
static volatile bool CancelRequested = false;
static HANDLE WorkerThread = 0;
// WorkerResumed: the dialog came up and let the worker run. When it did not
// (no template, no window), the worker is resumed with WorkerAbandoned set
// and ends at once without touching anything.
static volatile bool WorkerResumed = false;
static volatile bool WorkerAbandoned = false;

static bool FileExists(const char* Path)
{
    DWORD Attributes = GetFileAttributesA(Path);
    return Attributes != INVALID_FILE_ATTRIBUTES && !(Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A fresh empty file beside Target for the new version of a file in use;
// empty when none can be made (the directory is not writable, the path too long).
static Str TemporaryNameBeside(const Str& Target)
{
    int Cut = -1;
    for (int Index = 0; Index < Target.Length(); ++Index) {
        if (Target.At(Index) == '\\' || Target.At(Index) == ':') Cut = Index;
    }
    Str Directory;
    if (Cut < 0) Directory = ".";
    else if (Target.At(Cut) == ':') Directory = Target.Sub(0, Cut + 1); // "C:name": the drive's current folder
    else Directory = Target.Sub(0, Cut == 0 ? 1 : Cut);
    char Buffer[MAX_PATH];
    if (!GetTempFileNameA(Directory.c_str(), TempFilePrefix, 0, Buffer)) return Str();
    return Str(Buffer);
}

// Extracts the current entry to RealTarget, or, when an existing file there
// cannot be deleted, beside it with the replacement scheduled for restart.
static bool ExtractToTarget(ArcHandle Handle, const Str& RealTarget)
{
    Str Target = RealTarget;
    bool InUse = false;
    if (FileExists(RealTarget.c_str())) {
        // A read-only file must be able to go as well.
        SetFileAttributesA(RealTarget.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileA(RealTarget.c_str())) {
            InUse = true;
            Target = TemporaryNameBeside(RealTarget);
            // Without a name the reader would place the entry relative to
            // the current directory: stop instead.
            if (Target.Empty()) return false;
        }
    }
    if (!ArcProcessEntry(Handle, true, 0, Target.c_str())) {
        if (InUse) DeleteFileA(Target.c_str());
        return false;
    }
    if (InUse) {
        if (!ScheduleReplaceAtRestart(Target.c_str(), RealTarget.c_str())) {
            // Nothing would replace the old file: the update would be lost
            // without a word, so this entry counts as failed.
            DeleteFileA(Target.c_str());
            return false;
        }
        RebootNeeded = true;
    }
    LogCopiedFile(RealTarget.c_str());
    return true;
}

// Installs or skips the current entry. False when the reader failed on it
// (or its file could not be put in place); DoneBytes grows by the size of
// every selected entry, kept or not.
static bool HandleEntry(ArcHandle Handle, const ArcEntryInfo& Info, unsigned long long* DoneBytes)
{
    Str Name(Info.Name);
    if (!WildMatch(Name, PayloadMask, true)) return ArcProcessEntry(Handle, false, 0, 0);
    Str Source = Name.Sub(PayloadPrefixLength, Name.Length() - PayloadPrefixLength);
    int Index = CopyList.IndexOfName(Source.c_str());
    if (Index < 0) return ArcProcessEntry(Handle, false, 0, 0);

    Str Target, Version;
    SplitCopyTarget(CopyList.ValueAt(Index), &Target, &Version);
    Str FileName = FileNamePart(Target);
    SetDlgItemTextA(ProgressDialog, IDC_PROGRESS_FILE, FormatWithName(GetText(TextProgressLine), FileName.c_str()).c_str());
    *DoneBytes += Info.UnpackedSize;

    if (ExistingFileIsNewer(Version.c_str(), Target.c_str(), DosTimeToDateTime(Info.DosTime))) {
        Str Question = FormatWithName(GetText(TextNewerQuestion), FileName.c_str());
        int Answer = CenteredMessageBox(ProgressDialog, GetText(TextNewerCaption).c_str(), Question.c_str(),
                                        MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2);
        // Only a clear Yes replaces the newer file.
        if (Answer != IDYES) return ArcProcessEntry(Handle, false, 0, 0);
    }
    return ExtractToTarget(Handle, Target);
}

// The worker's walk. False after a failed entry, a confirmed cancel or when
// the archive cannot be opened; every box it shows is owned by the dialog.
static bool ExtractPayload()
{
    ArcHandle Handle = ArcOpen(OwnFileName().c_str(), ArcModeExtract);
    if (!Handle) {
        CenteredMessageBox(ProgressDialog, ErrorCaption, ArchiveOpenError, MB_ICONERROR);
        return false;
    }
    unsigned long long DoneBytes = 0;
    bool Result = true;
    ArcEntryInfo Info;
    while (ArcReadEntry(Handle, &Info)) {
        if (CancelRequested) {
            int Answer = CenteredMessageBox(ProgressDialog, ProgramName.c_str(), GetText(TextCancelQuestion).c_str(),
                                            MB_YESNO | MB_ICONQUESTION);
            if (Answer == IDYES) {
                Result = false;
                break;
            }
            CancelRequested = false;
        }
        if (!HandleEntry(Handle, Info, &DoneBytes)) {
            Str Message = Str(CannotExtractFile) + Info.Name;
            CenteredMessageBox(ProgressDialog, ErrorCaption, Message.c_str(), MB_ICONERROR);
            Result = false;
            break;
        }
        SendDlgItemMessageA(ProgressDialog, IDC_PROGRESS_BAR, PBM_SETPOS, ProgressPercent(DoneBytes, TotalBytes), 0);
    }
    if (Result) {
        // Also for an archive without entries: the bar ends full.
        SendDlgItemMessageA(ProgressDialog, IDC_PROGRESS_BAR, PBM_SETPOS, ProgressPercent(DoneBytes, TotalBytes), 0);
    }
    ArcClose(Handle);
    // What was installed is in the log before the run goes on, whatever its end.
    FlushLog();
    return Result;
}

static DWORD WINAPI InstallWorker(LPVOID)
{
    if (WorkerAbandoned) return 0;
    SendDlgItemMessageA(ProgressDialog, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, ProgressRangeMax));
    SendDlgItemMessageA(ProgressDialog, IDC_PROGRESS_BAR, PBM_SETSTEP, 1, 0);
    SendDlgItemMessageA(ProgressDialog, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
    bool Ok = ExtractPayload();
    Sleep(WorkerEndPauseMs);
    PostMessageA(ProgressDialog, WM_COMMAND, MAKEWPARAM(WorkerDoneCommand, 0), 0);
    return Ok ? 1 : 0;
}

static void OnProgressInit(HWND Dialog)
{
    ApplyDialogTexts(Dialog);
    CancelRequested = false;
    ProgressDialog = Dialog;
    WorkerResumed = true;
    ResumeThread(WorkerThread);
}

// Controls: IDC_TITLE (painted), IDC_PROGRESS_TEXT, IDC_PROGRESS_FILE (the
// current file), IDC_PROGRESS_BAR, IDC_CANCEL (asks the worker to stop).
// Neither Escape nor the close box end it: only the worker's command does.
static INT_PTR CALLBACK ProgressDialogProc(HWND Dialog, UINT Message, WPARAM WParam, LPARAM)
{
    switch (Message) {
    case WM_INITDIALOG:
        OnProgressInit(Dialog);
        break;
    case WM_PAINT:
        PaintDialogTitle(Dialog);
        break;
    case WM_COMMAND:
        if (LOWORD(WParam) == WorkerDoneCommand) EndDialog(Dialog, WorkerDoneCommand);
        else if (LOWORD(WParam) == IDC_CANCEL) CancelRequested = true; // the worker asks the question
        break;
    }
    return 0;
}

// When no worker can run there is no walk to report the failure from: name
// the entry it would have started with, as a failed walk does.
static void ReportNoWorker()
{
    if (CopyList.Count() == 0) ShowError(ArchiveOpenError);
    else ShowError((Str(CannotExtractFile) + "Data\\" + CopyList.NameAt(0)).c_str());
}

// Shows the progress dialog while the worker extracts; the worker's result.
static bool RunWorker()
{
    ProgressDialog = 0;
    CancelRequested = false;
    WorkerResumed = false;
    WorkerAbandoned = false;
    DWORD ThreadId;
    WorkerThread = CreateThread(0, 0, InstallWorker, 0, CREATE_SUSPENDED, &ThreadId);
    if (!WorkerThread) {
        // Nothing would ever end the dialog, so it is not shown.
        ReportNoWorker();
        return false;
    }
    CurrentDialogName = ProgressTemplate;
    DialogBoxParamA(ModuleInstance, ProgressTemplate, MainWindow, ProgressDialogProc, 0);
    if (!WorkerResumed) {
        WorkerAbandoned = true;
        ResumeThread(WorkerThread);
    }
    WaitForSingleObject(WorkerThread, INFINITE);
    DWORD ExitCode = 0;
    if (!GetExitCodeThread(WorkerThread, &ExitCode)) ExitCode = 0;
    CloseHandle(WorkerThread);
    WorkerThread = 0;
    if (!WorkerResumed) {
        ReportNoWorker();
        return false;
    }
    return ExitCode != 0;
}

// Creates the installation directory and compares its disk's free space
// with the payload, rounded to whole KiB. Shows text 4 when it is short.
static bool CheckDiskSpace()
{
    // InstallDir still holds DefaultInstallPath as written when no page
    // asked for it: taken literally it would make a folder named
    // "%ProgramFiles%" and measure the wrong drive.
    Str Directory = ExpandVariables(InstallDir.c_str());
    MakeDirPath(Directory.c_str());
    unsigned long long FreeKB = DiskFreeKB(Directory.c_str());
    unsigned long long NeededKB = RoundedKiB(TotalBytes);
    if (FreeKB >= NeededKB) return true;
    ShowError(GetText(TextNoDiskSpace).c_str());
    return false;
}

static void ReadInstructions()
{
    Str InsFiles = IniReadString(IniPath.c_str(), "Config", "InsFiles", "");
    int Count = CountWords(InsFiles, CommaSet);
    for (int Word = 1; Word <= Count; ++Word) {
        Str FileName = InstructionFileName(GetWord(Word, InsFiles, CommaSet));
        ReadInstructionFile((TempDir + FileName).c_str());
    }
}

bool RunInstallation()
{
    LoadVariables();
    if (IniReadBool(IniPath.c_str(), "Config", "Uninstall", false)) {
        LogFileName = ExpandVariables(IniReadString(IniPath.c_str(), "Config", "LogFile", "").c_str());
        LogEnabled = true;
    }

    ShowMessageWindow(GetText(TextReadingInstructions).c_str());
    ReadInstructions();

    ShowMessageWindow(GetText(TextMeasuringSize).c_str());
    TotalBytes = SumEntrySizes(PayloadMask, PayloadPrefixLength, &CopyList, false);
    HideMessageWindow();

    if (!CheckDiskSpace()) return false;
    bool Result = RunWorker();
    if (Result && RegList.Count() > 0) {
        ShowMessageWindow(GetText(TextWritingRegistry).c_str());
        Result = ApplyRegistryValues();
    }
    return Result;
}
