// Parsing of the setup's command line (see CommandLineCore.h). Windows hands
// a program its command line as one text; a path after /D= keeps its blanks
// unquoted, as administrators write it for other installers.
#include "CommandLineCore.h"

#include "FixedTexts.h"

static bool IsBlank(char Ch) { return Ch == ' ' || Ch == '\t'; }

static const char* SkipBlanks(const char* Text)
{
    while (IsBlank(*Text)) ++Text;
    return Text;
}

const char* SkipProgramName(const char* CommandLine)
{
    const char* P = CommandLine ? CommandLine : "";
    if (*P == '"') {
        ++P;
        while (*P && *P != '"') ++P;
        if (*P == '"') ++P;
    } else {
        while (*P && !IsBlank(*P)) ++P;
    }
    return SkipBlanks(P);
}

// Text past Prefix when Text begins with it (ASCII letters in either
// case), else null.
static const char* After(const char* Text, const char* Prefix)
{
    for (; *Prefix; ++Text, ++Prefix) {
        char Ch = *Text;
        if (Ch >= 'a' && Ch <= 'z') Ch = (char)(Ch - 'a' + 'A');
        if (Ch != *Prefix) return 0;
    }
    return Text;
}

// True when Text is Name, in either case.
static bool Is(const char* Text, const char* Name)
{
    const char* Rest = After(Text, Name);
    return Rest && !*Rest;
}

static bool IsLead(char Ch) { return Ch == '/' || Ch == '-'; }

// One word from P: up to the next blank outside quotes, the quotes dropped.
static Str ReadWord(const char** P)
{
    Str Word;
    bool Quoted = false;
    const char* Q = *P;
    for (; *Q && (Quoted || !IsBlank(*Q)); ++Q) {
        if (*Q == '"')
            Quoted = !Quoted;
        else
            Word.Append(*Q);
    }
    *P = Q;
    return Word;
}

// The rest of the line after /D=: trailing blanks dropped, and one pair of
// quotes around the whole path.
static Str RestOfLine(const char* P)
{
    Str Rest(P);
    int Length = Rest.Length();
    while (Length > 0 && IsBlank(Rest.At(Length - 1))) --Length;
    Rest.Truncate(Length);
    if (Length >= 2 && Rest.At(0) == '"' && Rest.Last() == '"') Rest = Rest.Sub(1, Length - 2);
    return Rest;
}

// Keeps the first fault: the words after it are still read, so that a /S
// further on keeps a wrong line silent.
static void Refuse(SetupOptions* Options, const char* Word)
{
    if (Options->Error.Empty()) Options->Error = Str(WrongOptionMessage) + Word;
}

bool ParseSetupOptions(const char* Arguments, SetupOptions* Options)
{
    *Options = SetupOptions();
    const char* P = SkipBlanks(Arguments ? Arguments : "");
    const char* Value;
    while (*P) {
        // /D= before the word is read: its value runs to the end of the line.
        if (IsLead(*P) && (Value = After(P + 1, "D="))) {
            Options->Dir = RestOfLine(Value);
            if (Options->Dir.Empty()) Refuse(Options, P);
            break;
        }
        Str Word = ReadWord(&P);
        P = SkipBlanks(P);
        const char* Name = Word.c_str() + 1;
        if (!IsLead(Word.At(0)))
            Refuse(Options, Word.c_str());
        else if (Is(Name, "S"))
            Options->Silent = true;
        else if (Is(Name, "?"))
            Options->ShowHelp = true;
        else if (Is(Name, "RESTART"))
            Options->AllowRestart = true;
        else if ((Value = After(Name, "LANG=")) && *Value)
            Options->Language = Value;
        else if ((Value = After(Name, "LOG=")) && *Value)
            Options->LogFile = Value;
        // A quoted "/D=path" arrives here as one word.
        else if ((Value = After(Name, "D=")) && *Value)
            Options->Dir = Value;
        else
            Refuse(Options, Word.c_str());
    }
    Options->HasDir = !Options->Dir.Empty();
    return Options->Error.Empty();
}
