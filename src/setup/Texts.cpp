// Variables, numbered texts and dialog texts (see Texts.h). The variable
// table is rebuilt before every dialog so it always reflects the current
// installation directory and language.
#include "Texts.h"

#include <string.h>

#include "Common.h"
#include "ResourceIds.h"
#include "oxFileUtils.h"
#include "oxRegIni.h"
#include "oxShell.h"
#include "oxStrUtils.h"

enum { ControlTextSize = 1024 }; // GetControlText reads at most 1023 characters

static_assert(FirstRegistryFolderVariable - FirstSpecialFolderVariable == SpecialFolderCount,
              "one built-in variable per special folder");

// Folders that all users share (the variables from FirstRegistryFolderVariable
// on, in this order): their values under CurrentVersionKey, with the text
// used when the registry has no such value (expanded against the variables
// made before it). The key's path is written once, not in every entry.
struct RegistryFolder {
    const char* Value;
    const char* Fallback;
};
static const char CurrentVersionKey[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
static const RegistryFolder RegistryFolders[RegistryFolderVariableCount] = {
    {"ProgramFilesDir", ""},
    {"CommonFilesDir", ""},
    {"Explorer\\Shell Folders\\Common Desktop", ""},
    {"Explorer\\Shell Folders\\Common Programs", "%ProgramsMenu%"},
    {"Explorer\\Shell Folders\\Common Start Menu", "%StartMenu%"},
    {"Explorer\\Shell Folders\\Common Startup", "%StartupMenu%"},
};

static const char DelphiKey[] = "HKLM\\SOFTWARE\\Borland\\Delphi\\";

static Str VariableEntry(const char* Name, const char* Value)
{
    Str Entry(Name);
    Entry.Append('=').Append(RemoveBackslash(Str(Value)));
    return Entry;
}

static void AddVariable(const char* Name, const char* Value) { VariableList.Add(VariableEntry(Name, Value)); }

static void AddBuiltinVariables()
{
    AddVariable(BuiltinVariableNames[VariableInstallPath], InstallDir.c_str());
    AddVariable(BuiltinVariableNames[VariableWindowsPath], GetWindowsDir().c_str());
    AddVariable(BuiltinVariableNames[VariableSystemPath], GetSystemDir().c_str());
    for (int I = 0; I < SpecialFolderCount; ++I)
        AddVariable(BuiltinVariableNames[FirstSpecialFolderVariable + I], GetSpecialFolder(I).c_str());
    for (int I = 0; I < RegistryFolderVariableCount; ++I) {
        Str Fallback = ExpandVariables(RegistryFolders[I].Fallback);
        AddVariable(
            BuiltinVariableNames[FirstRegistryFolderVariable + I],
            RegReadString((CurrentVersionKey + Str(RegistryFolders[I].Value)).c_str(), Fallback.c_str()).c_str());
    }

    // The root of the newest installed version: subkey names sort as text,
    // so "10.0" comes before "3.0" and the last name wins.
    StrList Versions;
    RegReadSubKeys(DelphiKey, &Versions);
    if (Versions.Count() > 0) {
        Versions.Sort();
        Str Path(DelphiKey);
        Path.Append(Versions.Get(Versions.Count() - 1)).Append("\\RootDir");
        AddVariable(BuiltinVariableNames[VariableDelphiPath], RegReadString(Path.c_str(), "").c_str());
    }
}

// The folders of this computer, as the last full rebuild found them. Asking
// the shell and the registry for them costs tens of milliseconds (under
// Wine), and the table is rebuilt before every page: they are asked once,
// and again only after the run has written registry values.
static StrList BuiltinVariables;

void ForgetBuiltinVariables() { BuiltinVariables.Clear(); }

void LoadVariables()
{
    if (BuiltinVariables.Count() == 0) {
        VariableList.Clear();
        AddBuiltinVariables();
        BuiltinVariables = VariableList;
    } else {
        // The installation folder is the one value a page changes.
        VariableList = BuiltinVariables;
        VariableList.Set(VariableInstallPath,
                         VariableEntry(BuiltinVariableNames[VariableInstallPath], InstallDir.c_str()));
    }
    IniReadSection(IniPath.c_str(), "Variables", &VariableList);
    IniReadSection(IniPath.c_str(), (Str("Variables.") + LanguageCode).c_str(), &VariableList);
}

Str ExpandVariables(const char* Text)
{
    Str Result = ReplaceAll(Str(Text), Str("||"), Str("\r"));
    // Without a "%" no reference can match: most names of an instruction
    // file's groups (thousands of them) have none.
    if (Result.Find('%') < 0) return Result;
    // One pass in list order: a value inserted by entry I is searched only
    // for the entries after I, so expansion always ends.
    for (int I = 0; I < VariableList.Count(); ++I) {
        Str Pattern("%");
        Pattern.Append(VariableList.NameAt(I)).Append('%');
        Result = ReplaceAll(Result, Pattern, VariableList.ValueAt(I));
    }
    return Result;
}

Str ConfigText(const char* Key, const char* Default) { return IniReadString(IniPath.c_str(), "Config", Key, Default); }

Str ConfigExpanded(const char* Key, const char* Default) { return ExpandVariables(ConfigText(Key, Default).c_str()); }

Str GetText(int Number, const char* Default)
{
    Str Key = IntToText(Number);
    Str Text = IniReadString(StrPath.c_str(), "Strings", Key.c_str(), Default);
    Text = IniReadString(StrPath.c_str(), (Str("Strings.") + LanguageCode).c_str(), Key.c_str(), Text.c_str());
    return ExpandVariables(Text.c_str());
}

void SetItemText(HWND Dialog, int Id, const char* Text)
{
    SendDlgItemMessageA(Dialog, Id, WM_SETTEXT, 0, (LPARAM)Text);
}

void SetControlText(HWND Dialog, int Id, const char* Text)
{
    SetItemText(Dialog, Id, Text);
    SendDlgItemMessageA(Dialog, Id, EM_SETSEL, 0, (LPARAM)strlen(Text));
}

Str GetControlText(HWND Dialog, int Id)
{
    Str Text;
    char* Buffer = Text.Reserve(ControlTextSize - 1);
    Buffer[0] = 0;
    SendDlgItemMessageA(Dialog, Id, WM_GETTEXT, ControlTextSize, (LPARAM)Buffer);
    Text.SyncLength();
    return Text;
}

Str GetWholeWindowText(HWND Window)
{
    Str Text;
    int Length = (int)SendMessageA(Window, WM_GETTEXTLENGTH, 0, 0);
    if (Length <= 0) return Text;
    char* Buffer = Text.Reserve(Length);
    Buffer[0] = 0;
    GetWindowTextA(Window, Buffer, Length + 1);
    Text.SyncLength();
    return Text;
}

Str LoadTextFile(const char* Path)
{
    Str Text;
    ReadWholeFile(Path, &Text); // empty when it fails
    return Text;
}

// ---- dialog texts ----

static void ApplyItemTexts(HWND Dialog, const Str& Section)
{
    StrList Items;
    IniReadSection(DlgPath.c_str(), Section.c_str(), &Items);
    for (int I = 0; I < Items.Count(); ++I) {
        // Keys that are not numbers address control 0, which no dialog has.
        int Id = TextToIntDef(Items.NameAt(I).c_str(), 0);
        SetControlText(Dialog, Id, Items.ValueAt(I).c_str());
    }
}

// Reads the whole text, so a licence longer than 1023 characters is expanded
// whole instead of being cut to its first part.
static BOOL CALLBACK ExpandChildText(HWND Child, LPARAM)
{
    Str Text = GetWholeWindowText(Child);
    Str Expanded = ExpandVariables(Text.c_str());
    if (Expanded != Text) {
        SetWindowTextA(Child, Expanded.c_str());
        SendMessageA(Child, EM_SETSEL, 0, (LPARAM)Expanded.Length());
    }
    return TRUE;
}

static void ApplyDialogSection(HWND Dialog, const char* Suffix)
{
    Str Common = Str("Dialogs") + Suffix;
    Str Own = CurrentDialogName + Suffix;

    Str Caption = IniReadString(DlgPath.c_str(), Common.c_str(), "Caption", "");
    Caption = IniReadString(DlgPath.c_str(), Own.c_str(), "Caption", Caption.c_str());
    Caption = ExpandVariables(Caption.c_str());
    if (!Caption.Empty()) SetWindowTextA(Dialog, Caption.c_str());

    // Each pass starts again from the title control, so a neutral Title is
    // overridden by the template's title in the language pass.
    Str Title = GetControlText(Dialog, IDC_TITLE);
    Title = IniReadString(DlgPath.c_str(), Common.c_str(), "Title", Title.c_str());
    Title = IniReadString(DlgPath.c_str(), Own.c_str(), "Title", Title.c_str());
    DialogTitle = ExpandVariables(Title.c_str());

    ApplyItemTexts(Dialog, Common);
    ApplyItemTexts(Dialog, Own);
    EnumChildWindows(Dialog, ExpandChildText, 0);
}

void ApplyDialogTexts(HWND Dialog)
{
    LoadVariables();
    ApplyDialogSection(Dialog, "");
    ApplyDialogSection(Dialog, (Str(".") + LanguageCode).c_str());
    Str NewName = ExpandVariables("%ProgramName%");
    // The backdrop shows the name: repaint it when a language changes it.
    if (MainWindow && NewName != ProgramName) InvalidateRect(MainWindow, 0, FALSE);
    ProgramName = NewName;
    MessageCaption = ProgramName;
    if (MainWindow) SetWindowTextA(MainWindow, ProgramName.c_str());
}
