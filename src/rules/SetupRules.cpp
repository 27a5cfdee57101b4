// The setup's portable rules; see SetupRules.h.
#include "SetupRules.h"

#include "oxFileUtilsCore.h"
#include "oxStrUtils.h"

#include <string.h>

bool EntryInGroup(const Str& Name, const char* Mask) { return WildMatch(Name, Str(Mask), true); }

Str DialogNameOf(const Str& Word)
{
    // ASCII letters only: the template names are ASCII.
    Str Upper;
    for (int Index = 0; Index < Word.Length(); ++Index) {
        char Ch = Word.At(Index);
        Upper.Append(Ch >= 'a' && Ch <= 'z' ? (char)(Ch - 'a' + 'A') : Ch);
    }
    return Upper;
}

const DialogTemplateName* FindDialogTemplate(const Str& Name)
{
    for (const DialogTemplateName& Template : DialogTemplateNames)
        if (Name == Template.Name) return &Template;
    return 0;
}

static bool IsPathSeparator(char Ch) { return Ch == '\\' || Ch == ':' || Ch == '/'; }

Str InstructionFileName(const Str& Word)
{
    // The extension starts at the last "." of the file-name part; a "." in
    // a folder name does not count.
    int Cut = Word.Length();
    for (int Index = Word.Length() - 1; Index >= 0; --Index) {
        char Ch = Word.At(Index);
        if (IsPathSeparator(Ch)) break;
        if (Ch == '.') {
            Cut = Index;
            break;
        }
    }
    return Word.Sub(0, Cut) + ".ins";
}

Str CopyTargetSpec(const Str& SourceName, const Str& TargetSpec, const Str& DestinationDirectory)
{
    int Comma = TargetSpec.Find(',');
    if (Comma < 0) Comma = TargetSpec.Length();
    Str TargetName = TargetSpec.Sub(0, Comma);
    if (TargetName.Empty()) TargetName = SourceName;
    return AddBackslash(DestinationDirectory) + TargetName + TargetSpec.Sub(Comma, TargetSpec.Length() - Comma);
}

void SplitCopyTarget(const Str& TargetSpec, Str* TargetPath, Str* Version)
{
    *TargetPath = TextBefore(TargetSpec, ',');
    *Version = GetField(2, TargetSpec, CommaSet);
}

Str FileNamePart(const Str& Path)
{
    int Start = 0;
    for (int Index = 0; Index < Path.Length(); ++Index) {
        char Ch = Path.At(Index);
        if (Ch == '\\' || Ch == ':') Start = Index + 1;
    }
    return Path.Sub(Start, Path.Length() - Start);
}

bool RegDataIsInteger(const Str& Data) { return Data.At(0) == '#'; }

int RegDataInteger(const Str& Data) { return TextToIntDef(Data.Sub(1, Data.Length() - 1).c_str(), 0); }

int ProgressPercent(unsigned long long Done, unsigned long long Total)
{
    // The size scan can stop early and count less than the walk handles.
    if (Done >= Total) return 100;
    return (int)RoundedQuotient(Done * 100, Total);
}

Str FormatWithName(const Str& Format, const char* Name)
{
    Str Result;
    bool NameUsed = false;
    for (int Index = 0; Index < Format.Length(); ++Index) {
        char Ch = Format.At(Index);
        char Next = Format.At(Index + 1);
        if (Ch == '%' && Next == '%') {
            Result += '%';
            ++Index;
        } else if (Ch == '%' && Next == 's' && !NameUsed) {
            Result += Name;
            NameUsed = true;
            ++Index;
        } else {
            Result += Ch;
        }
    }
    return Result;
}

enum { MaxRegistryKeyName = 255 };

// True when Text holds no control character and none of Refused.
static bool HasNoneOf(const Str& Text, const char* Refused)
{
    for (int Index = 0; Index < Text.Length(); ++Index) {
        unsigned char Ch = (unsigned char)Text.At(Index);
        if (Ch < 32 || memchr(Refused, Ch, strlen(Refused))) return false;
    }
    return true;
}

bool UninstallKeyIsValid(const Str& Key)
{
    return !Key.Empty() && Key.Length() <= MaxRegistryKeyName && HasNoneOf(Key, "\\");
}

// "." and ".." end in "." as well.
bool UninstallProgramNameIsValid(const Str& Name)
{
    return !Name.Empty() && HasNoneOf(Name, "\\/<>:\"|?*") && Name.Last() != '.' && Name.Last() != ' ';
}
