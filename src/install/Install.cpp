// The installation run: instruction files, size scan, disk check, the
// progress dialog with its worker thread, then the registry values. The
// worker walks the archive appended to the program and extracts each payload
// entry that CopyList names into its target; a new version of an existing
// file is written beside it and takes its place only when complete, so a
// failure never costs the old file. Files in use are replaced at the next
// start of Windows (Reboot.h), installed files logged (Log.h). A walk that
// ends before the archive's proper end fails the run.
//
// Threads: the worker is created suspended and resumed by the progress
// dialog's initialisation, so ProgressDialog is valid before it is used. The
// two share single-byte flags and the dialog handle; the worker reaches the
// dialog only through messages (control updates, boxes it owns, and the
// posted WorkerDoneCommand that ends it). A silent run has no dialog: the
// walk runs on the calling thread, and every box goes through Report.h.
#include "Install.h"

#include <windows.h>
#include <commctrl.h>

#include "Common.h"
#include "DiagLog.h"
#include "Dialogs.h"
#include "FixedTexts.h"
#include "SetupRules.h"
#include "Instructions.h"
#include "Log.h"
#include "Msg.h"
#include "Presetup.h"
#include "Reboot.h"
#include "Report.h"
#include "ResourceIds.h"
#include "TestSeams.h"
#include "Texts.h"
#include "Uninstall.h"
#include "Unrar.h"
#include "oxFileUtils.h"
#include "oxRegIni.h"
#include "oxStrUtils.h"

static const char* const DamagedArchiveDefault =
    "This setup is damaged or incomplete: its data ends before the end of its archive. "
    "Please get a new copy of the setup and run it again.";

// The command that ends the progress dialog. Only the worker sends it, as
// its last act; the dialog has no control with this id.
enum { WorkerDoneCommand = 102 };
// Posted by the dialog to itself at its start: it arrives once the dialog's
// message loop runs.
enum { ProgressLoopRunning = WM_APP + 2 };
// Pause between the last entry and the end of the dialog, so the full bar is seen.
enum { WorkerEndPauseMs = 100 };
// The line naming the current file changes at most this often: sending it
// for every one of many small files cost more than installing them.
enum { FileLineIntervalMs = 50 };

// Written before the worker starts, only read afterwards.
static unsigned long long TotalBytes = 0;
static Str ProgressLineFormat; // text 100
// Set by the dialog before it resumes the worker.
static HWND ProgressDialog = 0;
static volatile bool CancelRequested = false;
static HANDLE WorkerThread = 0;
// WorkerResumed: the dialog came up and let the worker run. When it did not
// (no template, no window), the worker is resumed without it and ends at
// once without touching anything.
static volatile bool WorkerResumed = false;
// Set once the dialog's message loop runs. Before that a message sent to the
// dialog would hold the worker until the window has come up (a good part of
// a second on a slow display): the routine updates of the line and the bar
// are left out meanwhile, so the walk starts at once.
static volatile bool ProgressLoopStarted = false;

// The worker's record of the target folders: those that were there before
// the run, those it made, and the files it wrote into the latter. A target
// in a folder the run made exists only if the run wrote it, so most targets
// of an installation need no look at the disk; and a look for a file that
// is not there is the dearest kind (Wine searches the folder for the name
// in any case).
static StrList FoldersThere(true);
static StrList FoldersMade(true);
static StrList WrittenInFoldersMade(true);

// Where the uninstaller goes (empty: the run installs none), and whether it did.
static Str UninstallerTarget;
static bool UninstallerInstalled = false;

// The folders of Folder that do not exist yet, outermost first, into the
// log, so that an uninstall removes them again once they are empty. Called
// before they are made.
static void LogFoldersToMake(const Str& Folder)
{
    if (!LogEnabled) return;
    StrList Missing;
    Str Current = RemoveBackslash(Folder);
    while (IsFullPath(Current) && !DirExists(Current.c_str())) {
        Missing.Insert(0, Current);
        Str Parent = FolderOfPath(Current);
        if (Parent.Length() >= Current.Length()) break;
        Current = Parent;
    }
    for (int Index = 0; Index < Missing.Count(); ++Index) LogMadeFolder(Missing.Get(Index).c_str());
}

static bool TargetFileExists(const Str& Target)
{
    Str Folder = FolderOfPath(Target);
    if (FoldersMade.IndexOfName(Folder.c_str()) >= 0) return WrittenInFoldersMade.IndexOfName(Target.c_str()) >= 0;
    if (FoldersThere.IndexOfName(Folder.c_str()) < 0) {
        if (!DirExists(Folder.c_str())) {
            LogFoldersToMake(Folder);
            FoldersMade.Add(Folder);
            return false;
        }
        FoldersThere.Add(Folder);
    }
    return FileExists(Target.c_str());
}

// Extracts the current entry to Target. Over an existing file it goes beside
// it under a temporary name and, once complete and its CRC checked, takes the
// old file's place; an old file that cannot be replaced now (in use) is
// replaced at the next start of Windows by the new file, which waits under
// its temporary name. On any failure the temporary file goes and the old file
// stays as it was. A new file is written under its own name: the reader
// deletes what it wrote when the entry fails.
static bool ExtractToTarget(ArcHandle Handle, const Str& Target, bool TargetExists)
{
    const char* Done = "installed: ";
    if (!TargetExists) {
        if (!ArcProcessEntry(Handle, true, 0, Target.c_str())) return false;
        if (FoldersMade.IndexOfName(FolderOfPath(Target).c_str()) >= 0) WrittenInFoldersMade.Add(Target);
    } else {
        Str Temporary = MakeTempFileBeside(Target.c_str());
        // No temporary file: the folder cannot be written (no rights, a full disk).
        if (Temporary.Empty()) return false;
        if (!ArcProcessEntry(Handle, true, 0, Temporary.c_str())) {
            DeleteFileA(Temporary.c_str());
            return false;
        }
        if (!PutFileInPlace(Temporary.c_str(), Target.c_str())) {
            // Only a file can wait for its replacement; without the scheduled
            // replacement the update would be lost without a word.
            if (!FileExists(Target.c_str()) || !ScheduleReplaceAtRestart(Temporary.c_str(), Target.c_str())) {
                DeleteFileA(Temporary.c_str());
                return false;
            }
            RebootNeeded = true;
            FilesAwaitRestart = true;
            Done = "scheduled for restart: ";
        }
    }
    LogCopiedFile(Target.c_str());
    DiagLogLine(Done, Target.c_str());
    return true;
}

// What the progress dialog shows, as the worker last set it. (A silent run
// has no dialog: ProgressDialog is 0 and the updates go nowhere.)
static bool FileLineShown = false;
static DWORD FileLineTick = 0;
static int ProgressShown = 0;

// The line naming the current file: at most every FileLineIntervalMs, unless
// Now is set (a question or an error about this file follows).
static void ShowCurrentFile(const Str& FileName, bool Now)
{
    DWORD Tick = GetTickCount();
    if (!Now && !ProgressLoopStarted) return;
    if (!Now && FileLineShown && Tick - FileLineTick < FileLineIntervalMs) return;
    FileLineShown = true;
    FileLineTick = Tick;
    SetItemText(ProgressDialog, IDC_PROGRESS_FILE, FormatWithName(ProgressLineFormat, FileName.c_str()).c_str());
}

// The bar's position, sent only when it changes; unless Now, only once the
// dialog's loop runs.
static void ShowProgress(int Percent, bool Now)
{
    if (Percent == ProgressShown || (!Now && !ProgressLoopStarted)) return;
    ProgressShown = Percent;
    SendDlgItemMessageA(ProgressDialog, IDC_PROGRESS_BAR, PBM_SETPOS, Percent, 0);
}

// Installs or skips the current entry. False when the reader failed on it
// (or its file could not be put in place); DoneBytes grows by the size of
// every selected entry, kept or not.
static bool HandleEntry(ArcHandle Handle, const ArcEntryInfo& Info, unsigned long long* DoneBytes)
{
    Str Name(Info.Name);
    if (!UninstallerTarget.Empty() && AnsiSameText(Info.Name, UninstallerEntryName)) {
        if (!ExtractToTarget(Handle, UninstallerTarget, TargetFileExists(UninstallerTarget))) return false;
        UninstallerInstalled = true;
        return true;
    }
    Str Source = Name.Sub(PayloadPrefixLength, Name.Length() - PayloadPrefixLength);
    int Index = EntryInGroup(Name, PayloadMask) ? CopyList.IndexOfName(Source.c_str()) : -1;
    if (Index < 0) return ArcProcessEntry(Handle, false, 0, 0);

    Str Target, Version;
    SplitCopyTarget(CopyList.ValueAt(Index), &Target, &Version);
    Str FileName = FileNamePart(Target);
    ShowCurrentFile(FileName, false);
    *DoneBytes += Info.UnpackedSize;

    bool TargetExists = TargetFileExists(Target);
    if (TargetExists && ExistingFileIsNewer(Version.c_str(), Target.c_str(), DosTimeToDateTime(Info.DosTime))) {
        ShowCurrentFile(FileName, true);
        Str Question = FormatWithName(GetText(TextNewerQuestion), FileName.c_str());
        // The safe answer, a silent run's: keep it.
        int Answer = AskUser(ProgressDialog, GetText(TextNewerCaption).c_str(), Question.c_str(),
                             MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2, IDNO);
        // Only a clear Yes replaces the newer file.
        if (Answer != IDYES) {
            DiagLogLine("kept, newer: ", Target.c_str());
            return ArcProcessEntry(Handle, false, 0, 0);
        }
    }
    if (ExtractToTarget(Handle, Target, TargetExists)) return true;
    ShowCurrentFile(FileName, true); // the error box names the file: so does the line
    return false;
}

// The worker's walk. False after a failed entry, a confirmed cancel, a walk
// that ends before the archive's proper end (a damaged or cut download), or
// when the archive cannot be opened; every box it shows is owned by the dialog.
static bool ExtractPayload()
{
    ArcHandle Handle = ArcOpen(OwnFileName().c_str(), ArcModeExtract);
    if (!Handle) {
        ReportError(ProgressDialog, ArchiveOpenError, ExitArchiveDamaged);
        return false;
    }
    unsigned long long DoneBytes = 0;
    bool Result = true;
    ArcEntryInfo Info;
    while (ArcReadEntry(Handle, &Info)) {
        if (CancelRequested) {
            int Answer = AskUser(ProgressDialog, ProgramName.c_str(), GetText(TextCancelQuestion).c_str(),
                                 MB_YESNO | MB_ICONQUESTION, IDNO);
            if (Answer == IDYES) {
                NoteFailure(ExitCancelled);
                Result = false;
                break;
            }
            CancelRequested = false;
        }
        if (!HandleEntry(Handle, Info, &DoneBytes)) {
            ReportErrorOn(ProgressDialog, CannotExtractFile, Info.Name, ExitFailed);
            Result = false;
            break;
        }
        ShowProgress(ProgressPercent(DoneBytes, TotalBytes), false);
    }
    if (Result && ArcWalkResult(Handle) != ArcOk) {
        ReportError(ProgressDialog, GetText(TextDamagedArchive, DamagedArchiveDefault).c_str(), ExitArchiveDamaged);
        Result = false;
    }
    // Also for an archive without entries: the bar ends full.
    if (Result) ShowProgress(ProgressPercent(DoneBytes, TotalBytes), true);
    ArcClose(Handle);
    // What was installed is in the log before the run goes on, whatever its end.
    FlushLog();
    return Result;
}

static DWORD WINAPI InstallWorker(LPVOID)
{
    if (!WorkerResumed) return 0;
    ProgressShown = 0;
    FileLineShown = false;
    if (TestSeamFails("worker")) OutOfMemory();
    bool Ok = ExtractPayload();
    Sleep(WorkerEndPauseMs);
    PostMessageA(ProgressDialog, WM_COMMAND, MAKEWPARAM(WorkerDoneCommand, 0), 0);
    return Ok ? 1 : 0;
}

static void OnProgressInit(HWND Dialog)
{
    ApplyDialogTexts(Dialog); // the bar starts as every progress bar does: at 0 of 0 to 100
    CancelRequested = false;
    ProgressDialog = Dialog;
    ProgressLoopStarted = false;
    PostMessageA(Dialog, ProgressLoopRunning, 0, 0);
    WorkerResumed = true;
    ResumeThread(WorkerThread);
}

// Controls: IDC_TITLE (painted), IDC_PROGRESS_TEXT, IDC_PROGRESS_FILE (the
// current file), IDC_PROGRESS_BAR, IDC_CANCEL (asks the worker to stop).
// Neither Escape nor the close box end it: only the worker's command does.
static INT_PTR CALLBACK ProgressDialogProc(HWND Dialog, UINT Message, WPARAM WParam, LPARAM)
{
    switch (Message) {
    case WM_INITDIALOG: OnProgressInit(Dialog); break;
    case WM_PAINT: PaintDialogTitle(Dialog); break;
    case ProgressLoopRunning: ProgressLoopStarted = true; break;
    case WM_COMMAND:
        if (LOWORD(WParam) == WorkerDoneCommand)
            EndDialog(Dialog, WorkerDoneCommand);
        else if (LOWORD(WParam) == IDC_CANCEL)
            CancelRequested = true; // the worker asks the question
        break;
    }
    return 0;
}

// When no worker can run there is no walk to report the failure from: name
// the entry it would have started with, as a failed walk does.
static void ReportNoWorker()
{
    if (CopyList.Count() == 0)
        ReportError(0, ArchiveOpenError, ExitFailed);
    else
        ReportErrorOn(0, CannotExtractFile, ("Data\\" + CopyList.NameAt(0)).c_str(), ExitFailed);
}

// Shows the progress dialog while the worker extracts; the worker's result.
static bool RunWorker()
{
    ProgressDialog = 0;
    CancelRequested = false;
    if (SilentRun) return ExtractPayload();
    WorkerResumed = false;
    DWORD ThreadId;
    WorkerThread = CreateThread(0, 0, InstallWorker, 0, CREATE_SUSPENDED, &ThreadId);
    if (!WorkerThread) {
        // Nothing would ever end the dialog, so it is not shown.
        ReportNoWorker();
        return false;
    }
    CurrentDialogName = DlgProgress;
    DialogBoxParamA(ModuleInstance, DlgProgress, MainWindow, ProgressDialogProc, 0);
    if (!WorkerResumed) ResumeThread(WorkerThread);
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
    LogFoldersToMake(Directory);
    MakeDirPath(Directory.c_str());
    if (DiskFreeKB(Directory.c_str()) >= RoundedKiB(TotalBytes)) return true;
    ReportError(0, GetText(TextNoDiskSpace).c_str(), ExitFailed);
    return false;
}

static void ReadInstructions()
{
    Str InsFiles = ConfigText("InsFiles");
    int Count = CountWords(InsFiles, CommaSet);
    for (int Word = 1; Word <= Count; ++Word) {
        Str FileName = InstructionFileName(GetWord(Word, InsFiles, CommaSet));
        DiagLogLine("instruction file: ", FileName.c_str());
        ReadInstructionFile((TempDir + FileName).c_str());
    }
}

bool RunInstallation()
{
    LoadVariables();
    DiagLogLine("language: ", LanguageCode.c_str());
    DiagLogLine("folder: ", ExpandVariables(InstallDir.c_str()).c_str());
    if (IniReadBool(IniPath.c_str(), "Config", "Uninstall", false)) {
        LogFileName = ConfigExpanded("LogFile");
        LogEnabled = true;
    }
    // The uninstaller needs the log: without one it would have nothing to go by.
    UninstallerTarget = LogEnabled && !LogFileName.Empty() ? UninstallerPath() : Str();
    UninstallerInstalled = false;
    if (!UninstallerTarget.Empty()) RecordUninstaller();

    ShowMessageWindow(GetText(TextReadingInstructions).c_str());
    ReadInstructions();

    ShowMessageWindow(GetText(TextMeasuringSize).c_str());
    bool Damaged = false;
    TotalBytes = SumEntrySizes(OwnFileName().c_str(), PayloadMask, PayloadPrefixLength, &CopyList, false, &Damaged);
    HideMessageWindow();
    // A cut or damaged archive found by the headers alone: nothing is touched.
    if (Damaged) {
        ReportError(0, GetText(TextDamagedArchive, DamagedArchiveDefault).c_str(), ExitArchiveDamaged);
        return false;
    }

    if (!CheckDiskSpace()) return false;
    ProgressLineFormat = GetText(TextProgressLine);
    bool Result = RunWorker();
    if (Result && RegList.Count() > 0) {
        ShowMessageWindow(GetText(TextWritingRegistry).c_str());
        Result = ApplyRegistryValues();
    }
    if (Result && UninstallerInstalled) RegisterUninstaller(TotalBytes);
    return Result;
}
