// Project checks; see ProjectChecks.h. Each check names the file and line it is
// about, and says what the setup would do, so the message can be acted on.
#include "ProjectChecks.h"

#include "IniReader.h"
#include "SetupRules.h"
#include "PeResources.h"
#include "SetupResources.h"
#include "oxFileUtilsCore.h"

#include "oxRegIniCore.h"
#include "oxStrUtils.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

namespace PackBuild {

namespace {

// What the uninstaller's own archive carries of the project's Presetup files.
const char* const UninstallerResources[] = {"Tarn.ini", "Tarn.str", "Tarn.dlg", "Tarn.bmp"};

const char* const ColorKeys[] = {
    "GradientTopColor",
    "GradientBottomColor",
    "MainTitleShadowColor",
    "DialogTitleShadowColor",
};
const char* const FontKeys[] = {"MainTitleFont", "DialogTitleFont"};
struct BoolKey {
    const char* Section;
    const char* Key;
};
const BoolKey BoolKeys[] = {
    {"Config", "Uninstall"},
    {"Display", "ShowMainWindow"},
    {"Display", "MainTitleShadow"},
    {"Display", "DialogTitleShadow"},
};
const char DefaultLanguage[] = "ENG";
const size_t LanguageCodeLength = 3;
const char InstructionExtension[] = ".ins";
// Folders only administrators may write to (and HKLM): a setup that runs with
// the user's rights fails there.
const char* const MachineFolderVariables[] = {
    "ProgramFiles",  "CommonFiles",        "WindowsPath",     "SystemPath",
    "CommonDesktop", "CommonProgramsMenu", "CommonStartMenu", "CommonStartupMenu",
};
const int MachineRegistryRoot = 2; // HKLM\ in RegistryRootNames
// Characters Windows does not allow in a file name.
const char ForbiddenNameChars[] = "<>:\"|?*";
// Device names Windows reserves, with or without an extension.
const char* const ReservedNames[] = {
    "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
    "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9",
};

// A loaded INI file of the Presetup group, and where its messages go.
struct ScriptFile {
    const ProjectFile* File = nullptr;
    IniDocument Doc;
    DiagnosticList* Out = nullptr;

    void Error(int Line, const std::string& Text) const { Out->Error(File->RelativePath, Line, Text); }
    void Warning(int Line, const std::string& Text) const { Out->Warning(File->RelativePath, Line, Text); }
};

struct CheckContext {
    const ProjectTree& Tree;
    DiagnosticList& Out;
    std::vector<std::string> Languages;
    ScriptVariables VariableOrder;
    std::set<const ProjectFile*> Installed;
    bool UserLevel = false; // ExecutionLevel=user: no administrator rights
};

const ProjectFile* FindDataFile(const ProjectTree& Tree, const std::string& Source)
{
    for (const ProjectFile& File : Tree.Data)
        if (SameText(File.ArchiveName.substr(PayloadPrefixLength), Source)) return &File;
    return nullptr;
}

bool LoadScriptFile(const ProjectFile* File, ScriptFile& Script, DiagnosticList& Out)
{
    Script.File = File;
    Script.Out = &Out;
    if (!Script.Doc.Load(File->SourcePath.string())) {
        Script.Error(0, "cannot be read");
        return false;
    }
    if (Script.Doc.HadByteOrderMark())
        Script.Warning(1, "starts with a UTF-8 byte-order mark; the setup reads 8-bit text and may not see the "
                          "first section");
    return true;
}

bool LoadScript(const ProjectTree& Tree, const std::string& Name, ScriptFile& Script, DiagnosticList& Out)
{
    const ProjectFile* File = FindPresetupFile(Tree, Name);
    Script.File = File;
    return File && LoadScriptFile(File, Script, Out);
}

std::string ExpandKnown(const CheckContext& Context, const std::string& Text)
{
    return ExpandScriptVariables(Context.VariableOrder, Text);
}

std::string BlankHint(const std::string& Word)
{
    if (!Word.empty() && (Word.front() == ' ' || Word.back() == ' ' || Word.front() == '\t'))
        return " (blanks around a word belong to it: write the list without spaces)";
    return "";
}

// --- names and sizes ---------------------------------------------------------

void CheckNameChars(const ProjectFile& File, DiagnosticList& Out)
{
    if (File.ArchiveName.size() > MaxArchiveNameLength)
        Out.Error(File.RelativePath, 0,
                  "archive name is " + std::to_string(File.ArchiveName.size()) +
                      " bytes long; the setup reads at most " + std::to_string(MaxArchiveNameLength));
    bool NonAscii = false;
    std::string Component;
    for (size_t I = 0; I <= File.ArchiveName.size(); ++I) {
        char Ch = I < File.ArchiveName.size() ? File.ArchiveName[I] : '\\';
        if (Ch == '\\') {
            if (!Component.empty() && (Component.back() == '.' || Component.back() == ' '))
                Out.Error(File.RelativePath, 0,
                          "\"" + Component + "\" ends in a dot or blank, which Windows drops from names");
            for (const char* Reserved : ReservedNames)
                if (SameText(Component.substr(0, Component.find('.')), Reserved))
                    Out.Error(File.RelativePath, 0, "\"" + Component + "\" is a device name on Windows");
            Component.clear();
            continue;
        }
        Component += Ch;
        unsigned char Code = (unsigned char)Ch;
        if (Code < 32 || std::strchr(ForbiddenNameChars, Ch)) {
            Out.Error(File.RelativePath, 0, "name holds a character Windows does not allow in file names");
            return;
        }
        if (Code >= 128) NonAscii = true;
    }
    if (NonAscii)
        Out.Warning(File.RelativePath, 0,
                    "name is not plain ASCII; Windows reads its bytes in the system's ANSI code page");
}

void CheckNamesAndSizes(CheckContext& Context)
{
    const ProjectTree& Tree = Context.Tree;
    DiagnosticList& Out = Context.Out;
    uint64_t DataSize = 0, AllSize = 0;
    for (const std::vector<ProjectFile>* Group : {&Tree.Presetup, &Tree.Data})
        for (const ProjectFile& File : *Group) {
            CheckNameChars(File, Out);
            AllSize += File.Size;
        }
    for (const ProjectFile& File : Tree.Data) DataSize += File.Size;
    if (DataSize >= MaxPayloadSize)
        Out.Error(DataFolder, 0,
                  "payload is " + std::to_string(DataSize) +
                      " bytes; the setup counts sizes in signed 32 bits "
                      "and needs it below 2 GiB");
    else if (AllSize >= MaxPayloadSize)
        Out.Error("", 0,
                  "the project's files come to " + std::to_string(AllSize) +
                      " bytes; the setup file must stay below 2 GiB");

    // The presetup stage stops at the first entry its mask does not select, and
    // puts every entry into one folder under its file-name part.
    std::map<std::string, const ProjectFile*> Flat;
    for (const ProjectFile& File : Tree.Presetup) {
        if (!EntryInGroup(ToStr(File.ArchiveName), PresetupMask))
            Out.Error(File.RelativePath, 0,
                      "Presetup file without \".\" in its name: the setup's unpacking would stop there "
                      "and leave the rest of Presetup behind");
        auto [Found, First] = Flat.emplace(UpperAscii(FileNamePart(File.ArchiveName)), &File);
        if (!First)
            Out.Error(File.RelativePath, 0,
                      "same file name as " + Found->second->RelativePath +
                          ": Presetup files are unpacked into one folder and would overwrite each other");
    }

    std::map<std::string, const ProjectFile*> DataNames;
    for (const ProjectFile& File : Tree.Data) {
        if (!EntryInGroup(ToStr(File.ArchiveName), PayloadMask))
            Out.Warning(File.RelativePath, 0,
                        "Data file without \".\" in its name can never be installed (the setup selects "
                        "\"Data\\*.*\")");
        auto [Found, First] = DataNames.emplace(UpperAscii(File.ArchiveName), &File);
        if (!First)
            Out.Error(File.RelativePath, 0,
                      "differs from " + Found->second->RelativePath + " only in case; on Windows they are one file");
    }
}

// --- Tarn.ini ------------------------------------------------------------------

void CheckColor(const ScriptFile& Ini, const std::string& Key)
{
    const IniEntry* Entry = Ini.Doc.Find("Display", Key);
    int32_t Value;
    if (Entry && !ParseScriptInteger(Entry->Value, Value))
        Ini.Warning(Entry->Line, Key + " \"" + Entry->Value +
                                     "\" is not a number (decimal, or hexadecimal after \"$\"); "
                                     "the setup uses the default colour");
}

void CheckFontSpec(const ScriptFile& Ini, const std::string& Key)
{
    const IniEntry* Entry = Ini.Doc.Find("Display", Key);
    if (!Entry) return;
    std::vector<std::string> Words = SplitWords(Entry->Value, ',');
    int32_t Value;
    if (Words.size() < 3 || !ParseScriptInteger(Words[2], Value))
        Ini.Warning(Entry->Line, Key + " \"" + Entry->Value +
                                     "\": the colour (third field) is not a number; "
                                     "write face,size,colour,styles without empty fields");
}

void CheckBooleans(const ScriptFile& Ini)
{
    for (const BoolKey& Key : BoolKeys) {
        const IniEntry* Entry = Ini.Doc.Find(Key.Section, Key.Key);
        if (Entry && Entry->Value != "0" && Entry->Value != "1")
            Ini.Warning(Entry->Line,
                        std::string(Key.Key) + " \"" + Entry->Value + "\" reads as false: only \"1\" is true");
    }
}

// Returns the dialog names (upper-cased) of every sequence.
std::vector<std::string> CheckSequences(const ScriptFile& Ini)
{
    std::vector<std::string> Names;
    for (const char* Key : {"PreInstallDialogSequence", "PostInstallDialogSequence"}) {
        const IniEntry* Entry = Ini.Doc.Find("Config", Key);
        if (!Entry) continue;
        for (const std::string& Word : SplitWords(Entry->Value, ',')) {
            std::string Name = FromStr(DialogNameOf(ToStr(Word)));
            Names.push_back(Name);
            if (Name == DlgReboot && std::strcmp(Key, "PostInstallDialogSequence") == 0)
                Ini.Warning(Entry->Line,
                            "PostInstallDialogSequence: the setup adds DLG_REBOOT itself when a restart is "
                            "needed; listed here it shows twice or without need");
            const DialogTemplateName* Template = FindDialogTemplate(ToStr(Name));
            if (Template && Template->WizardPage) continue;
            if (Template)
                Ini.Error(Entry->Line,
                          std::string(Key) + ": " + Name + " is not a wizard page and cannot be left from a sequence");
            else
                Ini.Error(Entry->Line,
                          std::string(Key) + ": the setup has no dialog template \"" + Name + "\"" + BlankHint(Word));
        }
    }
    return Names;
}

std::vector<const ProjectFile*> CheckInsFiles(CheckContext& Context, const ScriptFile& Ini)
{
    std::vector<const ProjectFile*> Files;
    const IniEntry* Entry = Ini.Doc.Find("Config", "InsFiles");
    if (!Entry) return Files;
    for (const std::string& Word : SplitWords(Entry->Value, ',')) {
        // The stub reads that file from the folder the Presetup files were unpacked into.
        std::string Name = FromStr(InstructionFileName(ToStr(Word)));
        const ProjectFile* File =
            Name.find_first_of("\\:") == std::string::npos ? FindPresetupFile(Context.Tree, Name) : nullptr;
        if (!File) {
            Ini.Error(Entry->Line, "InsFiles names \"" + Word + "\", but Presetup has no \"" + Name +
                                       "\" (the setup reads that file)" + BlankHint(Word));
            continue;
        }
        if (std::find(Files.begin(), Files.end(), File) == Files.end()) Files.push_back(File);
    }
    return Files;
}

void LoadLanguagesAndVariables(CheckContext& Context, const ScriptFile* Ini)
{
    if (Ini) {
        const IniEntry* Entry = Ini->Doc.Find("Config", "Languages");
        if (Entry)
            for (const std::string& Word : SplitWords(Entry->Value, ',')) {
                Context.Languages.push_back(Word);
                if (Word.size() != LanguageCodeLength)
                    Ini->Warning(Entry->Line,
                                 "Languages: \"" + Word + "\" is not a three-letter language code" + BlankHint(Word));
            }
        Context.VariableOrder = ReadScriptVariables(Ini->Doc);
    }
    if (Context.Languages.empty()) Context.Languages.push_back(DefaultLanguage);
}

// Licence and readme pages read <Base>.<code>, else <Base>.txt.
void CheckPageText(CheckContext& Context, const ScriptFile& Ini, const std::vector<std::string>& Sequence,
                   const char* Dialog, const char* Base)
{
    bool Shown = std::find(Sequence.begin(), Sequence.end(), Dialog) != Sequence.end();
    if (!Shown || FindPresetupFile(Context.Tree, std::string(Base) + ".txt")) return;
    for (const std::string& Code : Context.Languages)
        if (!FindPresetupFile(Context.Tree, std::string(Base) + "." + Code))
            Ini.Warning(0, std::string(Dialog) + " shows an empty text in language " + Code + ": Presetup has no " +
                               Base + "." + Code + " or " + Base + ".txt");
}

// --- Tarn.dlg --------------------------------------------------------------------

void CheckDialogTexts(const ScriptFile& Dlg)
{
    for (const IniSection& Section : Dlg.Doc.Sections()) {
        if (Section.Name.find('.') != std::string::npos) continue; // a language section
        for (const IniEntry& Entry : Section.Entries)
            if (SameText(Entry.Name, "Title"))
                Dlg.Warning(Entry.Line, "Title in [" + Section.Name +
                                            "] is never shown: the language pass starts again "
                                            "from the title control; use key 100 here or Title in a language section");
    }
}

// A section [Kind] or [Kind.code]; Language gets the code.
bool IsSectionOfKind(const std::string& Name, const std::string& Kind, std::string& Language)
{
    Language.clear();
    if (SameText(Name, Kind)) return true;
    if (Name.size() <= Kind.size() + 1 || Name[Kind.size()] != '.' || !SameText(Name.substr(0, Kind.size()), Kind))
        return false;
    Language = Name.substr(Kind.size() + 1);
    return true;
}

// --- Tarn.str --------------------------------------------------------------------

// Texts 100 and 111 go through a printf-style format with one file name: any
// other conversion would read an argument that is not there.
void CheckFormatTexts(const CheckContext& Context, const ScriptFile& Str)
{
    for (const IniSection& Section : Str.Doc.Sections()) {
        std::string Language;
        if (!IsSectionOfKind(Section.Name, "Strings", Language)) continue;
        for (const IniEntry& Entry : Section.Entries) {
            auto IsNumber = [&](int Number) { return Entry.Name == std::to_string(Number); };
            if (std::none_of(std::begin(FormatTextNumbers), std::end(FormatTextNumbers), IsNumber)) continue;
            std::string Text = ExpandKnown(Context, Entry.Value);
            for (const char* Name : BuiltinVariableNames) {
                std::string Pattern = std::string("%") + Name + "%";
                for (size_t At; (At = Text.find(Pattern)) != std::string::npos;) Text.erase(At, Pattern.size());
            }
            int Names = 0;
            bool Other = false;
            for (size_t At = Text.find('%'); At != std::string::npos; At = Text.find('%', At + 2)) {
                char Next = At + 1 < Text.size() ? Text[At + 1] : 0;
                if (Next == 's')
                    ++Names;
                else if (Next != '%')
                    Other = true;
            }
            if (Other || Names > 1)
                Str.Warning(Entry.Line, "text " + Entry.Name +
                                            " is used as a format with one \"%s\" for the file name; "
                                            "other \"%\" signs (or an undefined %Variable%) would show garbage");
        }
    }
}

// --- execution level ------------------------------------------------------------------

// A setup that runs with the user's rights (ExecutionLevel=user) cannot write
// where only administrators may; Windows no longer redirects such writes.
void CheckUserLevelFolder(CheckContext& Context, const ScriptFile& Script, int Line, const std::string& Path)
{
    if (!Context.UserLevel) return;
    std::string Text = ExpandKnown(Context, Path);
    for (const char* Name : MachineFolderVariables)
        if (Text.find(std::string("%") + Name + "%") != std::string::npos) {
            Script.Warning(Line, "ExecutionLevel=user: the setup runs with the user's rights and cannot write into %" +
                                     std::string(Name) + "% (\"" + Path + "\"); use admin or highest");
            return;
        }
}

// A silent run (/S) takes DefaultInstallPath (default "Test") as the folder
// and refuses one that is no full path: without /D= only the directory
// page could set it. A value that still holds a reference after the
// project's own variables begins with a folder of the machine
// (%ProgramFiles%, ...) and is taken as full.
void CheckSilentFolder(CheckContext& Context, const ScriptFile& Ini)
{
    const IniEntry* Entry = Ini.Doc.Find("Config", "DefaultInstallPath");
    std::string Path = Entry ? Entry->Value : "Test";
    std::string Text = ExpandKnown(Context, Path);
    if (HasReference(Text) || IsFullPath(Str(Text.c_str()))) return;
    Ini.Warning(Entry ? Entry->Line : 0, "DefaultInstallPath \"" + Path +
                                             "\" is no full path: a silent install (/S) fails unless "
                                             "the command line gives the folder with /D=");
}

// --- instruction files -------------------------------------------------------------

void CheckLanguageSuffix(CheckContext& Context, const ScriptFile& Ins, const IniSection& Section,
                         const std::string& Language)
{
    if (Language.empty()) return;
    for (const std::string& Code : Context.Languages)
        if (SameText(Code, Language)) return;
    Ins.Warning(Section.Line,
                "[" + Section.Name + "] is never read: " + Language + " is not among the Languages offered");
}

void CheckCopySource(CheckContext& Context, const ScriptFile& Ins, const IniEntry& Entry)
{
    std::string Source = ExpandKnown(Context, Entry.Name);
    if (HasReference(Source)) {
        Ins.Warning(Entry.Line, "CopyFile source \"" + Entry.Name + "\" depends on variables and cannot be checked");
        return;
    }
    const ProjectFile* File = FindDataFile(Context.Tree, Source);
    if (!File) {
        std::string Hint = Source.find('/') != std::string::npos ? " (archive names use \"\\\")" : "";
        Ins.Error(Entry.Line, "CopyFile source \"" + Source + "\" is not in Data/" + Hint);
        return;
    }
    Context.Installed.insert(File);
    if (!EntryInGroup(ToStr(File->ArchiveName), PayloadMask))
        Ins.Error(Entry.Line, "CopyFile source \"" + Source + "\" has no \".\" in its name and is never installed");
}

void CheckRegistryGroup(CheckContext& Context, const ScriptFile& Ins, const IniEntry& Group)
{
    std::string Path = ExpandKnown(Context, Group.Value);
    if (!Path.empty() && Path[0] == '%' && HasReference(Path)) {
        Ins.Warning(Group.Line, "registry path \"" + Group.Value + "\" depends on variables and cannot be checked");
        return;
    }
    int Root = RegistryRootIndex(ToStr(Path));
    if (Context.UserLevel && Root == MachineRegistryRoot)
        Ins.Warning(Group.Line, "ExecutionLevel=user: the setup runs with the user's rights and cannot write \"" +
                                    Path + "\"; use admin or highest, or HKCU\\");
    if (Root < 0) {
        Ins.Error(Group.Line, "registry path \"" + Path +
                                  "\" does not start with HKCR\\, HKCU\\ or HKLM\\ "
                                  "(in capitals); the setup would write none of its values");
        return;
    }
    if (Path.size() <= RegistryRootLength)
        Ins.Error(Group.Line, "registry path \"" + Path +
                                  "\" names no key below the root; the setup would write "
                                  "none of its values");
}

void CheckRegistryValue(CheckContext& Context, const ScriptFile& Ins, const IniEntry& Entry)
{
    std::string Data = ExpandKnown(Context, Entry.Value);
    if (Data.empty() || Data[0] != '#' || HasReference(Data)) return;
    int32_t Value;
    if (!ParseScriptInteger(Data.substr(1), Value))
        Ins.Warning(Entry.Line, "DWORD value \"" + Data + "\" is not a number; the setup writes 0");
}

void CheckInstructionFile(CheckContext& Context, const ScriptFile& Ins)
{
    for (const IniSection& Section : Ins.Doc.Sections()) {
        std::string Language;
        bool Copy = IsSectionOfKind(Section.Name, "CopyFile", Language);
        bool Reg = !Copy && IsSectionOfKind(Section.Name, "AddReg", Language);
        if (!Copy && !Reg) continue;
        if (Ins.Doc.SectionLine(Section.Name) != Section.Line) continue; // a repeated header: read once
        CheckLanguageSuffix(Context, Ins, Section, Language);
        for (const IniEntry& Group : Ins.Doc.ReadSection(Section.Name)) {
            if (Ins.Doc.SectionLine(Group.Name) == 0) {
                Ins.Warning(Group.Line, "group section [" + Group.Name + "] does not exist; this entry does nothing");
                continue;
            }
            if (Copy) CheckUserLevelFolder(Context, Ins, Group.Line, Group.Value);
            if (Copy && Group.Value.empty())
                Ins.Warning(Group.Line, "empty destination folder: targets would be relative to the setup's "
                                        "working folder");
            if (Reg) CheckRegistryGroup(Context, Ins, Group);
            for (const IniEntry& Entry : Ins.Doc.ReadSection(Group.Name)) {
                if (Copy)
                    CheckCopySource(Context, Ins, Entry);
                else
                    CheckRegistryValue(Context, Ins, Entry);
            }
        }
    }
}

// --- the uninstaller ----------------------------------------------------------

// The keys of the uninstaller and its entry in "Apps & features".
void CheckUninstaller(CheckContext& Context, const ScriptFile& Ini)
{
    if (const ProjectFile* Marker = FindPresetupFile(Context.Tree, UninstallerMarkerName))
        Context.Out.Error(Marker->RelativePath, 0,
                          std::string("the name ") + UninstallerMarkerName +
                              " is the uninstaller's own: rename the file");
    const IniEntry* Uninstall = Ini.Doc.Find("Config", "Uninstall");
    if (!Uninstall || Uninstall->Value != "1") return;
    const IniEntry* LogFile = Ini.Doc.Find("Config", "LogFile");
    if (!LogFile || LogFile->Value.empty()) {
        Ini.Warning(Uninstall->Line, "Uninstall=1 without a LogFile: no log is kept and no uninstaller is made");
        return;
    }
    if (LogFile->Value.compare(0, 14, "%InstallPath%\\") != 0)
        Ini.Warning(LogFile->Line,
                    "LogFile is not inside the installation folder (%InstallPath%\\...): the uninstaller, "
                    "which runs from that folder, may not find the log, and the log is left behind");
    const IniEntry* Program = Ini.Doc.Find("Config", "UninstallProgram");
    if (Program && Program->Value.empty()) return; // the log without an uninstaller
    if (Program && !UninstallProgramNameIsValid(Str(Program->Value.c_str())))
        Ini.Error(Program->Line,
                  "UninstallProgram \"" + Program->Value + "\" is no plain file name for the uninstaller");
    const IniEntry* KeyEntry = Ini.Doc.Find("Config", "UninstallKey");
    if (!KeyEntry) KeyEntry = Ini.Doc.Find("Config", "ProductName");
    std::string Key = KeyEntry ? KeyEntry->Value : "%ProgramName%";
    std::string Expanded = ExpandKnown(Context, Key);
    int Line = KeyEntry ? KeyEntry->Line : 0;
    if (HasReference(Expanded))
        Ini.Warning(Line, "the uninstall key \"" + Expanded +
                              "\" holds a variable the script does not define; "
                              "the setup makes the name on the target computer");
    else if (!UninstallKeyIsValid(Str(Expanded.c_str())))
        Ini.Error(Line, "the uninstall key \"" + Expanded +
                            "\" is no registry key name (1 to 255 characters, "
                            "no backslash, no control character); set [Config] UninstallKey");
}

} // namespace

// --- public helpers ----------------------------------------------------------------

ScriptVariables ReadScriptVariables(const IniDocument& Script)
{
    ScriptVariables Variables;
    for (const IniEntry& Variable : Script.ReadSection("Variables"))
        if (!Variable.Value.empty()) Variables.push_back({Variable.Name, Variable.Value});
    return Variables;
}

std::string ExpandScriptVariables(const ScriptVariables& Variables, const std::string& Text)
{
    std::string Result = Text;
    for (const auto& [Name, Value] : Variables) {
        // A value put in is not searched again.
        std::string Pattern = "%" + Name + "%";
        for (size_t At = Result.find(Pattern); At != std::string::npos; At = Result.find(Pattern, At + Value.size()))
            Result.replace(At, Pattern.size(), Value);
    }
    return Result;
}

bool HasReference(const std::string& Text)
{
    size_t Open = Text.find('%');
    return Open != std::string::npos && Text.find('%', Open + 1) != std::string::npos;
}

bool ParseScriptInteger(const std::string& Text, int32_t& Value)
{
    int Parsed;
    // A zero byte would end the stub's text early: such a value is no number.
    if (Text.find('\0') != std::string::npos || !TextToInt(Text.c_str(), &Parsed)) return false;
    Value = Parsed;
    return true;
}

std::vector<std::string> SplitWords(const std::string& Text, char Separator)
{
    const char Chars[2] = {Separator, 0};
    CharSet Separators = MakeCharSet(Chars);
    Str Whole = ToStr(Text);
    std::vector<std::string> Words;
    int Count = CountWords(Whole, Separators);
    for (int Index = 1; Index <= Count; ++Index) Words.push_back(FromStr(GetWord(Index, Whole, Separators)));
    return Words;
}

void CheckStub(const StubImage& Stub, DiagnosticList& Out)
{
    const std::vector<uint8_t>& Bytes = Stub.Bytes;
    if (Bytes.size() < 64 || Bytes[0] != 'M' || Bytes[1] != 'Z') {
        Out.Error(Stub.Path, 0, "the stub is not a Windows program (no \"MZ\" header)");
        return;
    }
    if (Bytes.size() > MaxStubSize)
        Out.Error(Stub.Path, 0,
                  "the stub is " + std::to_string(Bytes.size()) +
                      " bytes; the setup finds its archive only "
                      "when it starts below byte " +
                      std::to_string(MarkerSearchEnd) + " (stub at most " + std::to_string(MaxStubSize) + " bytes)");
    if (HasCertificateTable(Bytes))
        Out.Error(Stub.Path, 0,
                  "the stub is signed: the archive appended to it would break the signature (Windows then calls "
                  "the setup damaged); use an unsigned stub and sign the built setup (--sign-pkcs12)");
    for (size_t At = 0; At + ArcMainTypeOffset < Bytes.size(); ++At)
        if (std::memcmp(&Bytes[At], ArcMarker, ArcMarkerSize) == 0 && Bytes[At + ArcMainTypeOffset] == ArcBlockMain) {
            Out.Error(Stub.Path, 0,
                      "the stub holds an archive marker at offset " + std::to_string(At) +
                          "; the setup would read that archive instead of its own");
            break;
        }
}

void CheckProject(const ProjectTree& Tree, DiagnosticList& Out)
{
    CheckContext Context{Tree, Out, {}, {}, {}};
    if (!Tree.HasPresetup) {
        Out.Error(PresetupFolder, 0, "the project has no Presetup folder (Tarn.ini, texts, instruction files)");
        return;
    }
    if (!Tree.HasData) Out.Warning(DataFolder, 0, "the project has no Data folder: the setup installs no files");
    CheckNamesAndSizes(Context);

    ScriptFile Ini, Dlg;
    bool HaveIni = LoadScript(Tree, "Tarn.ini", Ini, Out);
    if (!HaveIni && !Ini.File)
        Out.Warning(PresetupFolder, 0, "no Tarn.ini: the setup shows no pages and installs nothing");
    LoadLanguagesAndVariables(Context, HaveIni ? &Ini : nullptr);

    std::vector<const ProjectFile*> Instructions;
    if (HaveIni) {
        // An unknown level is reported with the setup's own resources.
        ExecutionLevel Level = DefaultExecutionLevel;
        if (const IniEntry* Entry = Ini.Doc.Find("Config", "ExecutionLevel")) ParseExecutionLevel(Entry->Value, Level);
        Context.UserLevel = Level == ExecutionLevel::User;
        if (const IniEntry* Entry = Ini.Doc.Find("Config", "DefaultInstallPath"))
            CheckUserLevelFolder(Context, Ini, Entry->Line, Entry->Value);
        CheckSilentFolder(Context, Ini);
        for (const char* Key : ColorKeys) CheckColor(Ini, Key);
        for (const char* Key : FontKeys) CheckFontSpec(Ini, Key);
        CheckBooleans(Ini);
        std::vector<std::string> Sequence = CheckSequences(Ini);
        CheckPageText(Context, Ini, Sequence, DlgLicense, "License");
        CheckPageText(Context, Ini, Sequence, DlgReadme, "Readme");
        Instructions = CheckInsFiles(Context, Ini);
        CheckUninstaller(Context, Ini);
    }
    if (LoadScript(Tree, "Tarn.dlg", Dlg, Out)) CheckDialogTexts(Dlg);
    ScriptFile Str;
    if (LoadScript(Tree, "Tarn.str", Str, Out)) CheckFormatTexts(Context, Str);
    if (HaveIni && !FindPresetupFile(Tree, "Tarn.bmp"))
        Out.Warning(PresetupFolder, 0, "no Tarn.bmp: the dialogs' title area has no picture");

    for (const ProjectFile* File : Instructions) {
        ScriptFile Ins;
        if (LoadScriptFile(File, Ins, Out)) CheckInstructionFile(Context, Ins);
    }
    for (const ProjectFile& File : Tree.Presetup) {
        if (!SameText("." + ExtensionOf(File.ArchiveName), InstructionExtension)) continue;
        if (std::find(Instructions.begin(), Instructions.end(), &File) == Instructions.end())
            Out.Warning(File.RelativePath, 0,
                        "instruction file not named by [Config] InsFiles; the setup never reads it");
    }
    for (const ProjectFile& File : Tree.Data)
        if (EntryInGroup(ToStr(File.ArchiveName), PayloadMask) && !Context.Installed.count(&File))
            Out.Warning(File.RelativePath, 0, "no CopyFile instruction installs this file");
}

bool ProjectMakesUninstaller(const ProjectTree& Tree)
{
    DiagnosticList Ignored;
    ScriptFile Ini;
    if (!LoadScript(Tree, "Tarn.ini", Ini, Ignored)) return false;
    const IniEntry* Uninstall = Ini.Doc.Find("Config", "Uninstall");
    const IniEntry* LogFile = Ini.Doc.Find("Config", "LogFile");
    const IniEntry* Program = Ini.Doc.Find("Config", "UninstallProgram");
    return Uninstall && Uninstall->Value == "1" && LogFile && !LogFile->Value.empty() &&
           !(Program && Program->Value.empty());
}

std::vector<const ProjectFile*> UninstallerPresetupFiles(const ProjectTree& Tree)
{
    std::vector<const ProjectFile*> Files;
    for (const char* Name : UninstallerResources)
        if (const ProjectFile* File = FindPresetupFile(Tree, Name)) Files.push_back(File);
    return Files;
}

} // namespace PackBuild
