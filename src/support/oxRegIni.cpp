// INI values through the private-profile calls and registry values named by
// one path text: see oxRegIni.h. No INI text is parsed here, and no file or
// key is kept open between calls.
#include "oxRegIni.h"

#include <stdlib.h>
#include <string.h>

#include "oxRegIniCore.h"
#include "oxStrUtils.h"

// One value: 1023 characters and the terminator. Longer values come back cut.
static const DWORD IniValueBufferSize = 1024;
// A whole section: read into this much first, more when it does not fit.
static const DWORD IniSectionFirstBufferSize = 0x4000;
// A section beyond this is not read whole (a corrupt or hostile file).
static const DWORD IniSectionMaxBufferSize = 64 * 1024 * 1024;
// Registry texts: the data of longer values is not read.
static const DWORD RegStringBufferSize = 1024;
// Subkey names are at most 255 characters.
static const DWORD RegKeyNameBufferSize = 1024;

static const char* const BoolTexts[2] = {"0", "1"};

Str IniReadString(const char* File, const char* Section, const char* Key, const char* Default)
{
    Str Value;
    char* Buffer = Value.Reserve((int)IniValueBufferSize);
    DWORD Length = GetPrivateProfileStringA(Section, Key, Default ? Default : "", Buffer, IniValueBufferSize, File);
    if (Length >= IniValueBufferSize) Length = IniValueBufferSize - 1;
    Value.SetLength((int)Length);
    return Value;
}

int IniReadInteger(const char* File, const char* Section, const char* Key, int Default)
{
    Str Text = IniReadString(File, Section, Key, IntToText(Default).c_str());
    return TextToIntDef(Text.c_str(), Default);
}

bool IniReadBool(const char* File, const char* Section, const char* Key, bool Default)
{
    return IniReadString(File, Section, Key, BoolTexts[Default ? 1 : 0]) == "1";
}

// A value as GetPrivateProfileStringA gives it: one pair of matching quotes
// around it dropped, at most 1023 characters.
static Str ProfileValue(const Str& Text)
{
    char First = Text.At(0);
    bool Quoted = Text.Length() >= 2 && (First == '"' || First == '\'') && Text.Last() == First;
    Str Value = Quoted ? Text.Sub(1, Text.Length() - 2) : Text;
    Value.Truncate((int)IniValueBufferSize - 1);
    return Value;
}

void IniReadSection(const char* File, const char* Section, StrList* List)
{
    // The section is read in one call and taken apart here: reading it key
    // by key made the profile calls open the file again for every key
    // (thousands of times for a large file group). The result is the same:
    // the keys in file order (lines without "=", comments and empty names
    // are no keys), each with the value of the first key of its name.
    DWORD Size = IniSectionFirstBufferSize;
    char* Buffer = 0;
    DWORD Length = 0;
    for (;;) {
        Buffer = (char*)CheckedRealloc(Buffer, Size);
        Length = GetPrivateProfileSectionA(Section, Buffer, Size, File);
        if (Length + 2 < Size || Size >= IniSectionMaxBufferSize) break;
        Size *= 2;
    }
    if (Length >= Size) Length = Size - 1;
    Buffer[Length] = 0;
    StrList FirstValues; // name=value of the first key of each name
    for (DWORD Pos = 0; Pos < Length && Buffer[Pos];) {
        const char* Line = Buffer + Pos;
        int LineLength = (int)strlen(Line);
        Pos += (DWORD)LineLength + 1;
        const char* Equals = (const char*)memchr(Line, '=', (size_t)LineLength);
        if (!Equals || Line[0] == ';') continue;
        Str Name = TrimBlanks(Str(Line, (int)(Equals - Line)));
        if (Name.Empty()) continue;
        Str Value = ProfileValue(TrimBlanks(Str(Equals + 1)));
        int First = FirstValues.IndexOfName(Name.c_str());
        if (First >= 0) Value = FirstValues.ValueAt(First);
        Str Entry = Name + "=" + Value;
        if (First < 0) FirstValues.Add(Entry);

        int Index = List->IndexOfName(Name.c_str());
        if (Index < 0)
            List->Add(Entry); // also with an empty value
        else if (!Value.Empty())
            List->Set(Index, Entry);
        else
            List->Delete(Index); // a language section can remove an entry
    }
    free(Buffer);
}

// ---- registry ----

void SplitRegPath(const char* Path, HKEY* Root, Str* SubKey, Str* ValueName)
{
    Str Whole(Path);
    int Delimiter = LastDelimiter(Whole, PathDelimiterSet); // 1-based, 0 when none
    *ValueName = Whole.Sub(Delimiter, Whole.Length());
    Str KeyPart = RemoveBackslash(Whole.Sub(0, Delimiter));
    static const HKEY Roots[RegistryRootCount] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
    *SubKey = KeyPart.Sub(RegistryRootLength, KeyPart.Length());
    // A key part shorter than the prefix ("HKLM\Value") names no root.
    int Index = RegistryRootIndex(KeyPart);
    *Root = Index < 0 ? 0 : Roots[Index];
}

// Opens the key of Path for reading, or with Create made where missing;
// false when the root is unknown or the key cannot be had.
static bool OpenPathKey(const char* Path, HKEY* Key, Str* ValueName, bool Create = false)
{
    HKEY Root;
    Str SubKey;
    SplitRegPath(Path, &Root, &SubKey, ValueName);
    if (!Root) return false;
    LONG Result = Create ? RegCreateKeyA(Root, SubKey.c_str(), Key) : RegOpenKeyA(Root, SubKey.c_str(), Key);
    return Result == ERROR_SUCCESS;
}

bool RegReadValue(const char* Path, DWORD ValueType, void* Buffer, DWORD* Size)
{
    HKEY Key;
    Str ValueName;
    if (!OpenPathKey(Path, &Key, &ValueName)) return false;
    DWORD Type = ValueType;
    LONG Result = RegQueryValueExA(Key, ValueName.c_str(), 0, &Type, (BYTE*)Buffer, Size);
    RegCloseKey(Key);
    return Result == ERROR_SUCCESS;
}

Str RegReadString(const char* Path, const char* Default)
{
    char Buffer[RegStringBufferSize];
    DWORD Size = sizeof(Buffer);
    if (!RegReadValue(Path, REG_SZ, Buffer, &Size)) return Str(Default);
    // The data size counts the terminator when there is one; a value stored
    // without it must not lose its last character, nor may one with inner
    // zero bytes show them.
    DWORD Length = 0;
    while (Length < Size && Buffer[Length]) ++Length;
    return Str(Buffer, (int)Length);
}

void RegReadSubKeys(const char* Path, StrList* List)
{
    List->Clear();
    Str KeyPath = AddBackslash(Path);
    HKEY Key;
    Str ValueName;
    if (!OpenPathKey(KeyPath.c_str(), &Key, &ValueName)) return;
    char Name[RegKeyNameBufferSize];
    for (DWORD Index = 0;; ++Index) {
        DWORD NameLength = sizeof(Name);
        if (RegEnumKeyExA(Key, Index, Name, &NameLength, 0, 0, 0, 0) != ERROR_SUCCESS) break;
        List->Add(Str(Name, (int)NameLength));
    }
    RegCloseKey(Key);
}

bool RegWriteValue(const char* Path, DWORD ValueType, const void* Data, DWORD Size)
{
    HKEY Key;
    Str ValueName;
    if (!OpenPathKey(Path, &Key, &ValueName, true)) return false;
    LONG Result = RegSetValueExA(Key, ValueName.c_str(), 0, ValueType, (const BYTE*)Data, Size);
    RegCloseKey(Key);
    return Result == ERROR_SUCCESS;
}

bool RegWriteString(const char* Path, const char* Value)
{
    if (!Value) Value = "";
    return RegWriteValue(Path, REG_SZ, Value, (DWORD)strlen(Value) + 1);
}

bool RegWriteInteger(const char* Path, int Value)
{
    // REG_DWORD is the little-endian order every Windows processor uses.
    DWORD Data = (DWORD)Value;
    return RegWriteValue(Path, REG_DWORD, &Data, sizeof(Data));
}

bool RegValueExists(const char* Path)
{
    DWORD Size = 0; // no buffer: only the size is asked for
    return RegReadValue(Path, REG_NONE, 0, &Size);
}

bool RegDeleteValuePath(const char* Path)
{
    HKEY Key;
    Str ValueName;
    if (!OpenPathKey(Path, &Key, &ValueName)) return true; // no key, no value
    LONG Result = RegDeleteValueA(Key, ValueName.c_str());
    RegCloseKey(Key);
    SetLastError((DWORD)Result); // the registry calls return their error
    return Result == ERROR_SUCCESS || Result == ERROR_FILE_NOT_FOUND;
}
