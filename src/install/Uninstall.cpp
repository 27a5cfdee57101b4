// The uninstaller and its registration; see Uninstall.h.
//
// A running program cannot delete its own file: the uninstaller removes
// everything else, then leaves its file, renamed, (and the folders that
// still hold it) to be deleted at the next start of Windows. That alone needs no
// restart, so the finish page mentions a restart only for the installed
// files that were in use.
#include "Uninstall.h"

#include <windows.h>
#include <commctrl.h>

#include "Common.h"
#include "DiagLog.h"
#include "Dialogs.h"
#include "SetupRules.h"
#include "Log.h"
#include "LogText.h"
#include "Presetup.h"
#include "Report.h"
#include "ResourceIds.h"
#include "Texts.h"
#include "oxFileUtils.h"
#include "oxRegIni.h"
#include "oxStrUtils.h"

static const char* const RecordUnusableDefault =
    "The uninstall record %s is missing or damaged, so %ProgramName% cannot be removed. Nothing was removed.";
static const char* const RemovingLineDefault = "Removing %s";

// ---- at installation ----

Str UninstallerPath()
{
    // A literal name, which tarnpack has checked (UninstallProgramNameIsValid).
    Str Name = ConfigText("UninstallProgram", UninstallerDefaultName);
    if (Name.Empty()) return Name; // the log is kept, no uninstaller installed
    return AddBackslash(ExpandVariables(InstallDir.c_str())) + Name;
}

// The entry's name, the same in every language: [Config] UninstallKey, else
// ProductName, else %ProgramName%, expanded with the neutral [Variables].
static Str UninstallKeyName()
{
    Str Saved = LanguageCode;
    LanguageCode = Str();
    LoadVariables();
    Str Key = ConfigExpanded("UninstallKey", ConfigText("ProductName", "%ProgramName%").c_str());
    LanguageCode = Saved;
    LoadVariables();
    // tarnpack refuses a bad name it can see; one made by a variable of the
    // target computer is replaced, never written as a path of keys.
    return UninstallKeyIsValid(Key) ? Key : Str("Setup");
}

// The entry's key and root, as the log records them. The root starts null,
// not "HKLM": an initialised pointer would give the stub a data section.
static Str EntryKey;
static const char* EntryRoot = 0;
// The entry's key, as a registry path with the final backslash.
static Str EntryPath;

void RecordUninstaller()
{
    EntryKey = UninstallKeyName();
    EntryRoot = AnsiSameText(ConfigText("ExecutionLevel", "admin").c_str(), "user") ? "HKCU" : "HKLM";
    LogUninstallValue("Key", EntryKey.c_str());
    LogUninstallValue("Root", EntryRoot);
    LogUninstallValue("Language", LanguageCode.c_str());
}

// A text value of the entry; an empty one is deleted, so that a value
// dropped from the script goes too.
static void PutText(const char* Name, const Str& Value)
{
    Str Path = EntryPath + Name;
    if (Value.Empty())
        RegDeleteValuePath(Path.c_str());
    else
        RegWriteString(Path.c_str(), Value.c_str());
}

static void PutNumber(const char* Name, int Value) { RegWriteInteger((EntryPath + Name).c_str(), Value); }

void RegisterUninstaller(unsigned long long InstalledBytes)
{
    EntryPath = EntryRoot ? EntryRoot : "HKLM";
    EntryPath.Append('\\').Append(UninstallKeysPath).Append(EntryKey).Append('\\');
    Str Program = UninstallerPath();
    Str Quoted("\"");
    Quoted.Append(Program).Append('"');

    PutText("DisplayName", ConfigExpanded("UninstallDisplayName", ConfigText("ProductName", "%ProgramName%").c_str()));
    PutText("DisplayVersion", ConfigExpanded("UninstallDisplayVersion", ConfigText("ProductVersion").c_str()));
    PutText("Publisher", ConfigExpanded("UninstallPublisher", ConfigText("Publisher").c_str()));
    PutText("DisplayIcon", ConfigExpanded("UninstallDisplayIcon", Program.c_str()));
    PutText("InstallLocation", RemoveBackslash(ExpandVariables(InstallDir.c_str())));
    PutText("UninstallString", Quoted);
    PutText("QuietUninstallString", Quoted + " /S");
    PutNumber("EstimatedSize", (int)RoundedKiB(InstalledBytes));
    PutNumber("NoModify", 1);
    PutNumber("NoRepair", 1);
}

// ---- the uninstaller ----

bool IsUninstaller() { return PathExists((TempDir + UninstallerMarkerName).c_str()); }

static HWND ProgressDialog = 0;

static INT_PTR CALLBACK ProgressDialogProc(HWND Dialog, UINT Message, WPARAM, LPARAM)
{
    if (Message == WM_INITDIALOG)
        ApplyDialogTexts(Dialog);
    else if (Message == WM_PAINT)
        PaintDialogTitle(Dialog);
    return 0;
}

// FileName: the file's name, or 0 for a step that removes no file.
static void ShowStep(int Done, int Total, const char* FileName)
{
    if (!ProgressDialog) return;
    if (FileName && *FileName) {
        Str Line = FormatWithName(GetText(TextRemovingLine, RemovingLineDefault), FileName);
        SetItemText(ProgressDialog, IDC_PROGRESS_FILE, Line.c_str());
    }
    SendDlgItemMessageA(ProgressDialog, IDC_PROGRESS_BAR, PBM_SETPOS, ProgressPercent(Done, Total), 0);
    // The removal runs on the interface thread: the page is kept painted
    // between the steps. It has no control to type into: no dialog keys.
    MSG Message;
    while (PeekMessageA(&Message, 0, 0, 0, PM_REMOVE)) DispatchMessageA(&Message);
}

// Windows of the NT family delete at restart what is named so; the 95
// family has no such call, and the file stays.
static bool DeleteAtRestart(const char* Path) { return MoveFileExA(Path, 0, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE; }

// Deletes an installed file; one in use goes at the next restart (and the
// run ends with ExitRestartNeeded).
static void RemoveFile(const Str& Path)
{
    SetFileAttributesA(Path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileA(Path.c_str())) {
        DiagLogLine("removed: ", Path.c_str());
        return;
    }
    if (!PathExists(Path.c_str())) return; // already gone
    if (DeleteAtRestart(Path.c_str()))
        DiagLogLine("scheduled for restart: ", Path.c_str());
    else
        DiagLogError("cannot delete ", Path.c_str(), GetLastError());
    RebootNeeded = true;
    FilesAwaitRestart = true;
}

static void RemoveEverything(const UninstallRecord& Record, const Str& RecordPath)
{
    Str Self = OwnFileName();
    int Total = Record.Values.Count() + Record.Files.Count() + Record.Folders.Count();
    int Done = 0;
    // The installation wrote the files first, then the values: back in reverse.
    for (int Index = Record.Values.Count() - 1; Index >= 0; --Index) {
        const char* Value = Record.Values.Get(Index).c_str();
        if (RegDeleteValuePath(Value))
            DiagLogLine("removed value: ", Value);
        else
            DiagLogError("cannot delete registry value ", Value, GetLastError());
        ShowStep(++Done, Total, 0);
    }
    for (int Index = Record.Files.Count() - 1; Index >= 0; --Index) {
        const Str& File = Record.Files.Get(Index);
        if (!AnsiSameText(File.c_str(), Self.c_str())) RemoveFile(File);
        ShowStep(++Done, Total, FileNamePart(File).c_str());
    }
    Str Entry = Str(UninstallKeysPath) + Record.Key;
    RegDeleteKeyA(Record.Root == "HKCU" ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, Entry.c_str());
    DeleteFileA(RecordPath.c_str());
    bool Waiting = RebootNeeded; // something goes only at restart
    // A running program cannot delete its own file, but it can rename it:
    // under a temporary name it waits for the restart, so that a new
    // installation before then puts an uninstaller in its place that the
    // restart does not take away.
    Str Parked = MakeTempFileBeside(Self.c_str());
    if (!Parked.Empty()) {
        if (MoveFileExA(Self.c_str(), Parked.c_str(), MOVEFILE_REPLACE_EXISTING))
            Self = Parked;
        else
            DeleteFileA(Parked.c_str());
    }
    if (!DeleteFileA(Self.c_str()) && PathExists(Self.c_str()) && DeleteAtRestart(Self.c_str())) {
        DiagLogLine("uninstaller scheduled for restart: ", Self.c_str());
        Waiting = true;
    }
    // Innermost first. A folder that still holds what waits for the restart
    // goes after it, if nothing else is left in it by then.
    for (int Index = Record.Folders.Count() - 1; Index >= 0; --Index) {
        const Str& Folder = Record.Folders.Get(Index);
        if (RemoveDirectoryA(Folder.c_str()))
            DiagLogLine("removed folder: ", Folder.c_str());
        else if (Waiting && PathExists(Folder.c_str()) && DeleteAtRestart(Folder.c_str()))
            DiagLogLine("folder scheduled for restart: ", Folder.c_str());
        ShowStep(++Done, Total, 0);
    }
}

bool RunUninstallation()
{
    // The uninstaller lives in the installation folder.
    InstallDir = FolderOfPath(OwnFileName());
    CancelNeedsConfirmation = false;
    LoadVariables();
    Str LogName = ConfigExpanded("LogFile");
    Str RecordPath = LogName.Empty() ? Str() : LogPathOf(LogName);
    Str Text = RecordPath.Empty() ? Str() : LoadTextFile(RecordPath.c_str());
    UninstallRecord Record;
    if (!ReadUninstallRecord(Text.c_str(), Text.Length(), &Record)) {
        Str Message = FormatWithName(GetText(TextRecordUnusable, RecordUnusableDefault), RecordPath.c_str());
        ReportError(0, Message.c_str(), ExitFailed);
        return false;
    }
    DiagLogLine("uninstall record: ", RecordPath.c_str());
    if (LanguageList.IndexOfName(Record.Language.c_str()) >= 0) LanguageCode = Record.Language;
    DiagLogLine("language: ", LanguageCode.c_str());

    if (!SilentRun) {
        DialogSequence.Clear();
        DialogSequence.Add(DlgUninstall);
        if (!RunDialogSequence()) {
            NoteFailure(ExitCancelled);
            return false;
        }
        CurrentDialogName = DlgUninstalling;
        // The bar's range is 0 to 100 from the start.
        ProgressDialog = CreateDialogParamA(ModuleInstance, DlgUninstalling, MainWindow, ProgressDialogProc, 0);
    }
    RemoveEverything(Record, RecordPath);
    DestroyWindow(ProgressDialog); // nothing without one
    ProgressDialog = 0;
    DiagLogLine("uninstalled", FilesAwaitRestart ? ", files in use go at restart" : "");
    DialogSequence.Clear();
    DialogSequence.Add(DlgUninstalled);
    RunDialogSequence(); // no page in a silent run
    return true;
}
