// The installation log's text in memory; see LogText.h.
#include "LogText.h"

#include "SetupRules.h"
#include "oxFileUtilsCore.h"
#include "oxRegIniCore.h"
#include "oxStrUtils.h"

static const char* const SectionNames[LogSectionCount] = {"CopyFile", "AddReg", "MakeDir", "Uninstall"};

// Sections whose keys are paths of the file system, read as whole lines.
static bool WholeLineKeys(int Section) { return Section == LogCopyFileSection || Section == LogMakeDirSection; }

// The name inside "[Name]", or -1 when the line is no section header.
static int SectionOfHeader(const Str& Line)
{
    Str Trimmed = TrimBlanks(Line);
    if (Trimmed.At(0) != '[') return -1;
    int Close = Trimmed.Find(']');
    if (Close < 0) Close = Trimmed.Length();
    Str Name = TrimBlanks(Trimmed.Sub(1, Close - 1));
    for (int Section = 0; Section < LogSectionCount; ++Section)
        if (AnsiSameText(Name.c_str(), SectionNames[Section])) return Section;
    return LogSectionCount; // another section
}

// Blank lines and comments hold no key.
static bool IsKeyLine(const Str& Line)
{
    Str Trimmed = TrimBlanks(Line);
    return !Trimmed.Empty() && Trimmed.At(0) != ';';
}

Str LogLineKey(const Str& Line, int Section)
{
    Str Key = TrimBlanks(Line);
    if (WholeLineKeys(Section)) {
        if (Key.Last() == '=') Key.Truncate(Key.Length() - 1);
    } else {
        int Equals = Key.Find('=');
        if (Equals >= 0) Key.Truncate(Equals);
    }
    return TrimBlanks(Key);
}

void LogTextLoad(LogText* Log, const char* Text, int Length)
{
    Log->Lines.Clear();
    Log->CopyFileKeys.Clear();
    for (int Section = 0; Section < LogSectionCount; ++Section) Log->Header[Section] = Log->KeysEnd[Section] = -1;

    int Current = -1; // the section being read, when it is one of ours seen first
    int Start = 0;
    for (int Pos = 0; Pos <= Length; ++Pos) {
        bool End = Pos == Length;
        if (!End && Text[Pos] != '\r' && Text[Pos] != '\n') continue;
        if (End && Start == Length) break; // no line after the last line end
        Str Line(Text + Start, Pos - Start);
        int Index = Log->Lines.Count();
        Log->Lines.Add(Line);
        int Section = SectionOfHeader(Line);
        if (Section >= 0) {
            // A second section of the same name is kept, but keys go to the first.
            Current = Section < LogSectionCount && Log->Header[Section] < 0 ? Section : -1;
            if (Current >= 0) {
                Log->Header[Current] = Index;
                Log->KeysEnd[Current] = Index + 1;
            }
        } else if (Current >= 0 && IsKeyLine(Line)) {
            Log->KeysEnd[Current] = Index + 1;
            if (Current == LogCopyFileSection) {
                Str Key = LogLineKey(Line, Current);
                if (Log->CopyFileKeys.IndexOfName(Key.c_str()) < 0) Log->CopyFileKeys.Add(Key);
            }
        }
        if (!End && Text[Pos] == '\r' && Pos + 1 < Length && Text[Pos + 1] == '\n') ++Pos;
        Start = Pos + 1;
    }
}

// Puts Line before line Index and moves the marks of the sections after it.
static void InsertLine(LogText* Log, int Index, const Str& Line)
{
    Log->Lines.Insert(Index, Line);
    for (int Section = 0; Section < LogSectionCount; ++Section) {
        if (Log->Header[Section] >= Index) ++Log->Header[Section];
        if (Log->KeysEnd[Section] >= Index) ++Log->KeysEnd[Section];
    }
}

bool LogTextSet(LogText* Log, int Section, const char* Key, const char* Value)
{
    if (Section < 0 || Section >= LogSectionCount) return false;
    Str KeyText = TrimBlanks(Str(Key));
    Str ValueText = WholeLineKeys(Section) ? Str() : TrimBlanks(Str(Value));
    if (Log->Header[Section] < 0) {
        Log->Header[Section] = Log->Lines.Count();
        Str Header("[");
        Log->Lines.Add(Header.Append(SectionNames[Section]).Append(']'));
        Log->KeysEnd[Section] = Log->Lines.Count();
    }
    if (Section == LogCopyFileSection) {
        if (Log->CopyFileKeys.IndexOfName(KeyText.c_str()) >= 0) return false;
        Log->CopyFileKeys.Add(KeyText);
    } else {
        // Few values and folders are logged: a scan of the section will do.
        for (int Index = Log->Header[Section] + 1; Index < Log->KeysEnd[Section]; ++Index) {
            const Str& Line = Log->Lines.Get(Index);
            if (!IsKeyLine(Line)) continue;
            Str OldKey = LogLineKey(Line, Section);
            if (!AnsiSameText(OldKey.c_str(), KeyText.c_str())) continue;
            Str NewLine = OldKey + "=" + ValueText;
            if (NewLine == Line) return false;
            Log->Lines.Set(Index, NewLine);
            return true;
        }
    }
    InsertLine(Log, Log->KeysEnd[Section], KeyText + "=" + ValueText);
    return true;
}

Str LogTextJoin(const LogText* Log)
{
    Str Text;
    for (int Index = 0; Index < Log->Lines.Count(); ++Index) {
        Text += Log->Lines.Get(Index);
        Text += "\r\n";
    }
    return Text;
}

// The keys of Section's key lines, in file order; with Values set, whole
// "key=value" lines (blanks around the key dropped) for StrList::Value.
static void SectionKeys(const LogText& Log, int Section, StrList* Keys, bool Values = false)
{
    if (Log.Header[Section] < 0) return;
    for (int Index = Log.Header[Section] + 1; Index < Log.KeysEnd[Section]; ++Index) {
        const Str& Line = Log.Lines.Get(Index);
        if (!IsKeyLine(Line)) continue;
        Str Key = LogLineKey(Line, Section);
        Keys->Add(Values ? Key + "=" + TrimBlanks(TextAfter(Line, '=')) : Key);
    }
}

static bool AllFullPaths(const StrList& Paths)
{
    for (int Index = 0; Index < Paths.Count(); ++Index)
        if (!IsFullPath(Paths.Get(Index))) return false;
    return true;
}

static bool HasRegistryRoot(const Str& Path)
{
    return RegistryRootIndex(Path) >= 0 && Path.Length() > RegistryRootLength;
}

bool ReadUninstallRecord(const char* Text, int Length, UninstallRecord* Record)
{
    Record->Files.Clear();
    Record->Values.Clear();
    Record->Folders.Clear();
    for (int Pos = 0; Pos < Length; ++Pos)
        if (Text[Pos] == 0) return false;
    LogText Log;
    LogTextLoad(&Log, Text, Length);
    StrList Settings;
    SectionKeys(Log, LogUninstallSection, &Settings, true);
    Record->Key = Settings.Value("Key");
    Record->Root = Settings.Value("Root");
    Record->Language = Settings.Value("Language");
    if (!UninstallKeyIsValid(Record->Key)) return false;
    if (Record->Root != "HKLM" && Record->Root != "HKCU") return false;
    SectionKeys(Log, LogCopyFileSection, &Record->Files);
    SectionKeys(Log, LogAddRegSection, &Record->Values);
    SectionKeys(Log, LogMakeDirSection, &Record->Folders);
    if (!AllFullPaths(Record->Files) || !AllFullPaths(Record->Folders)) return false;
    for (int Index = 0; Index < Record->Values.Count(); ++Index)
        if (!HasRegistryRoot(Record->Values.Get(Index))) return false;
    return true;
}
