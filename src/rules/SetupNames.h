// The names the setup knows and the builder checks against: the archive's
// two groups, the numbered texts it asks for, its built-in variables and its
// dialog templates (resources/Tarn.rc holds the templates themselves; the
// registry roots are in oxRegIniCore.h). One
// table each, read by the stub, by tarnpack's project checks and by the
// tests. Portable: plain constants, no <windows.h>.
#pragma once

// ---- the archive's groups ----
inline constexpr char PresetupMask[] = "Presetup\\*.*"; // the setup resources, unpacked flat
inline constexpr char PayloadMask[] = "Data\\*.*";      // the files to install
enum {
    PresetupPrefixLength = 9, // "Presetup\"
    PayloadPrefixLength = 5,  // "Data\"
};

// ---- numbered texts of Tarn.str ----
enum TextNumber {
    TextCancelQuestion = 1,
    TextReadingInstructions = 2,
    TextMeasuringSize = 3,
    TextNoDiskSpace = 4,
    TextWritingRegistry = 5,
    TextDamagedArchive = 6,       // the walk over the payload ended before the archive's end
    TextRestartStillReplaces = 7, // DLG_NOTFINISH after a replacement was scheduled
    TextProgressLine = 100,       // format, %s = file name
    TextNewerCaption = 110,
    TextNewerQuestion = 111, // format, %s = file name
    TextBrowsePrompt = 150,
    TextNoFullPath = 151,       // DLG_DIR: the folder is no full path
    TextRecordUnusable = 160,   // uninstall: the log cannot be used; format, %s = its path
    TextRemovedAtRestart = 161, // DLG_UNINSTALLED: files in use go at restart
    TextRemovingLine = 162,     // DLG_UNINSTALLING: format, %s = file name
};
// The texts that are formats with one "%s" for a file name (FormatWithName).
inline constexpr int FormatTextNumbers[] = {TextProgressLine, TextNewerQuestion, TextRecordUnusable, TextRemovingLine};

// ---- built-in variables, in the order the setup defines them ----
enum BuiltinVariable {
    VariableInstallPath = 0,
    VariableWindowsPath = 1,
    VariableSystemPath = 2,
    FirstSpecialFolderVariable = 3,   // the ten of GetSpecialFolder, in its order
    FirstRegistryFolderVariable = 13, // the six folders all users share
    RegistryFolderVariableCount = 6,
    VariableDelphiPath = 19,
    BuiltinVariableCount = 20,
};
inline constexpr const char* BuiltinVariableNames[BuiltinVariableCount] = {
    "InstallPath",
    "WindowsPath",
    "SystemPath",
    "Desktop",
    "Fonts",
    "NetHood",
    "Personal",
    "ProgramsMenu",
    "Recent",
    "SendTo",
    "StartMenu",
    "StartupMenu",
    "Templates",
    "ProgramFiles",
    "CommonFiles",
    "CommonDesktop",
    "CommonProgramsMenu",
    "CommonStartMenu",
    "CommonStartupMenu",
    "DelphiPath",
};

// ---- dialog templates of the stub ----
// Their names, one definition each for the code that opens or recognises a
// template, and for the table below.
inline constexpr char DlgLanguage[] = "DLG_LANGUAGE";
inline constexpr char DlgWelcome[] = "DLG_WELCOME";
inline constexpr char DlgLicense[] = "DLG_LICENSE";
inline constexpr char DlgReadme[] = "DLG_README";
inline constexpr char DlgDir[] = "DLG_DIR";
inline constexpr char DlgStart[] = "DLG_START";
inline constexpr char DlgReboot[] = "DLG_REBOOT";
inline constexpr char DlgFinish[] = "DLG_FINISH";
inline constexpr char DlgNotFinish[] = "DLG_NOTFINISH";
inline constexpr char DlgProgress[] = "DLG_PROGRESS";
inline constexpr char DlgMessage[] = "DLG_MESSAGE";
inline constexpr char DlgPresetup[] = "DLG_PRESETUP";
inline constexpr char DlgUninstall[] = "DLG_UNINSTALL";
inline constexpr char DlgUninstalled[] = "DLG_UNINSTALLED";
inline constexpr char DlgUninstalling[] = "DLG_UNINSTALLING";

// WizardPage: offered to the dialog sequences. CanEnd: a page made from it
// can be left (every template with a Cancel button); the stub passes over
// the others, which no button or close box could ever end.
struct DialogTemplateName {
    const char* Name;
    bool WizardPage;
    bool CanEnd;
};
inline constexpr DialogTemplateName DialogTemplateNames[] = {
    {DlgLanguage, true, true},
    {DlgWelcome, true, true},
    {DlgLicense, true, true},
    {DlgReadme, true, true},
    {DlgDir, true, true},
    {DlgStart, true, true},
    {DlgReboot, true, true},
    {DlgFinish, true, true},
    {DlgNotFinish, true, true},
    {DlgProgress, false, true},
    {DlgMessage, false, false},
    {DlgPresetup, false, false},
    // The uninstaller's pages: shown by it alone, never from a sequence.
    {DlgUninstall, false, true},
    {DlgUninstalled, false, true},
    {DlgUninstalling, false, false},
};

// ---- the uninstaller ----
// The archive entry that carries the uninstaller in a setup (outside Data\,
// so no instruction can name it) and the Presetup file that marks an
// uninstaller's own archive; tarnpack writes both, and keeps projects from
// using the marker's name.
inline constexpr char UninstallerEntryName[] = "Uninstall\\Uninstall.exe";
inline constexpr char UninstallerMarkerName[] = "Tarn.uninstall";
inline constexpr char UninstallerDefaultName[] = "Uninstall.exe"; // [Config] UninstallProgram
// Where Windows lists installed programs, below HKLM or HKCU.
inline constexpr char UninstallKeysPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
