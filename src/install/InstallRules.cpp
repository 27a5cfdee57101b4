// The portable rules of the installation run; see InstallRules.h.
#include "InstallRules.h"

#include "oxStrUtils.h"

#include <string.h>

const char* const PayloadMask = "Data\\*.*";

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

int RegDataInteger(const Str& Data)
{
    return TextToIntDef(Data.Sub(1, Data.Length() - 1).c_str(), 0);
}

int ProgressPercent(unsigned long long Done, unsigned long long Total)
{
    if (Total == 0) return 100;
    unsigned long long Scaled = Done * 100;
    unsigned long long Percent = Scaled / Total;
    unsigned long long Remainder = Scaled % Total;
    if (Remainder * 2 > Total || (Remainder * 2 == Total && (Percent & 1))) ++Percent;
    // The size scan can stop early and count less than the walk handles.
    return Percent > 100 ? 100 : (int)Percent;
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

const char* const UninstallerEntryName = "Uninstall\\Uninstall.exe";
const char* const UninstallerMarkerName = "Tarn.uninstall";
const char* const UninstallerDefaultName = "Uninstall.exe";
const char* const UninstallKeysPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

enum { MaxRegistryKeyName = 255 };

bool UninstallKeyIsValid(const Str& Key)
{
    if (Key.Empty() || Key.Length() > MaxRegistryKeyName) return false;
    for (int Index = 0; Index < Key.Length(); ++Index) {
        unsigned char Ch = (unsigned char)Key.At(Index);
        if (Ch < 32 || Ch == '\\') return false;
    }
    return true;
}

bool UninstallProgramNameIsValid(const Str& Name)
{
    if (Name.Empty() || Name == "." || Name == "..") return false;
    for (int Index = 0; Index < Name.Length(); ++Index) {
        unsigned char Ch = (unsigned char)Name.At(Index);
        if (Ch < 32 || strchr("\\/<>:\"|?*", Ch)) return false;
    }
    return Name.Last() != '.' && Name.Last() != ' ';
}
