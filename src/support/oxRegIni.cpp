// INI values through the private-profile calls and registry values named by
// one path text: see oxRegIni.h. No INI text is parsed here, and no file or
// key is kept open between calls.
#include "oxRegIni.h"

#include <stdlib.h>
#include <string.h>

#include "oxStrUtils.h"

// One value: 1023 characters and the terminator. Longer values come back cut.
static const DWORD IniValueBufferSize = 1024;
// Key names of a section: read into this much first, more when they do not fit.
static const DWORD IniKeysFirstBufferSize = 0x4000;
// A section's key names beyond this are not read (a corrupt or hostile file).
static const DWORD IniKeysMaxBufferSize = 16 * 1024 * 1024;
// Registry texts: the data of longer values is not read.
static const DWORD RegStringBufferSize = 1024;
// Subkey names are at most 255 characters.
static const DWORD RegKeyNameBufferSize = 1024;
// Length of the root prefixes "HKCR\", "HKCU\", "HKLM\".
static const int RegRootPrefixLength = 5;

static const char* const BoolTexts[2] = { "0", "1" };

Str IniReadString(const char* File, const char* Section, const char* Key, const char* Default)
{
    Str Value;
    char* Buffer = Value.Reserve((int)IniValueBufferSize);
    DWORD Length = GetPrivateProfileStringA(Section, Key, Default ? Default : "", Buffer,
                                            IniValueBufferSize, File);
    if (Length >= IniValueBufferSize) Length = IniValueBufferSize - 1;
    Value.SetLength((int)Length);
    return Value;
}

int IniReadInteger(const char* File, const char* Section, const char* Key, int Default)
{
    Str Text = IniReadString(File, Section, Key, IntToText(Default).c_str());
    return TextToIntDef(Text.c_str(), Default);
}

int IniReadColor(const char* File, const char* Section, const char* Key, int Default)
{
    return IniReadInteger(File, Section, Key, Default);
}

bool IniReadBool(const char* File, const char* Section, const char* Key, bool Default)
{
    return IniReadString(File, Section, Key, BoolTexts[Default ? 1 : 0]) == "1";
}

void IniReadKeys(const char* File, const char* Section, StrList* List)
{
    List->Clear();
    // The platform cuts the list when the buffer is too small and then
    // returns the buffer size - 2; read again with a larger buffer so that no
    // key of a long section (an instruction file's file group) is lost.
    DWORD Size = IniKeysFirstBufferSize;
    char* Buffer = 0;
    DWORD Length = 0;
    for (;;) {
        Buffer = (char*)CheckedRealloc(Buffer, Size);
        Length = GetPrivateProfileStringA(Section, 0, 0, Buffer, Size, File);
        if (Length + 2 < Size || Size >= IniKeysMaxBufferSize) break;
        Size *= 2;
    }
    if (Length >= Size) Length = Size - 1;
    Buffer[Length] = 0;
    for (DWORD Pos = 0; Pos < Length && Buffer[Pos];) {
        int NameLength = (int)strlen(Buffer + Pos);
        List->Add(Str(Buffer + Pos, NameLength));
        Pos += (DWORD)NameLength + 1;
    }
    free(Buffer);
}

void IniReadSection(const char* File, const char* Section, StrList* List)
{
    StrList Keys;
    IniReadKeys(File, Section, &Keys);
    for (int I = 0; I < Keys.Count(); ++I) {
        const Str& Name = Keys.Get(I);
        Str Value = IniReadString(File, Section, Name.c_str(), "");
        int Index = List->IndexOfName(Name.c_str());
        if (Index < 0)
            List->Add(Name + "=" + Value);      // also with an empty value
        else if (!Value.Empty())
            List->Set(Index, Name + "=" + Value);
        else
            List->Delete(Index);                // a language section can remove an entry
    }
}

bool IniWriteString(const char* File, const char* Section, const char* Key, const char* Value)
{
    return WritePrivateProfileStringA(Section, Key, Value ? Value : "", File) != FALSE;
}

// ---- registry ----

void SplitRegPath(const char* Path, HKEY* Root, Str* SubKey, Str* ValueName)
{
    Str Whole(Path);
    int Delimiter = LastDelimiter(Whole, PathDelimiterSet); // 1-based, 0 when none
    *ValueName = Whole.Sub(Delimiter, Whole.Length());
    Str KeyPart = RemoveBackslash(Whole.Sub(0, Delimiter));
    *Root = 0;
    *SubKey = KeyPart.Sub(RegRootPrefixLength, KeyPart.Length());
    // A key part shorter than the prefix ("HKLM\Value") names no root.
    if (KeyPart.Length() < RegRootPrefixLength) return;
    Str Prefix = KeyPart.Sub(0, RegRootPrefixLength);
    // Case-sensitive: "hklm\" names no root.
    if (Prefix == "HKCR\\") *Root = HKEY_CLASSES_ROOT;
    else if (Prefix == "HKCU\\") *Root = HKEY_CURRENT_USER;
    else if (Prefix == "HKLM\\") *Root = HKEY_LOCAL_MACHINE;
}

// Opens the key of Path for reading; false when the root is unknown or the
// key cannot be opened.
static bool OpenPathKey(const char* Path, HKEY* Key, Str* ValueName)
{
    HKEY Root;
    Str SubKey;
    SplitRegPath(Path, &Root, &SubKey, ValueName);
    if (!Root) return false;
    return RegOpenKeyA(Root, SubKey.c_str(), Key) == ERROR_SUCCESS;
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
    HKEY Root;
    Str SubKey, ValueName;
    SplitRegPath(Path, &Root, &SubKey, &ValueName);
    if (!Root) return false;
    HKEY Key;
    if (RegCreateKeyA(Root, SubKey.c_str(), &Key) != ERROR_SUCCESS) return false;
    LONG Result = RegSetValueExA(Key, ValueName.c_str(), 0, ValueType, (const BYTE*)Data, Size);
    RegCloseKey(Key);
    return Result == ERROR_SUCCESS;
}

bool RegWriteString(const char* Path, const char* Value)
{
    Str Text(Value);
    return RegWriteValue(Path, REG_SZ, Text.c_str(), (DWORD)Text.Length() + 1);
}

bool RegWriteInteger(const char* Path, int Value)
{
    unsigned Bits = (unsigned)Value;
    BYTE Data[4] = { (BYTE)Bits, (BYTE)(Bits >> 8), (BYTE)(Bits >> 16), (BYTE)(Bits >> 24) };
    return RegWriteValue(Path, REG_DWORD, Data, sizeof(Data));
}

bool RegValueExists(const char* Path)
{
    HKEY Key;
    Str ValueName;
    if (!OpenPathKey(Path, &Key, &ValueName)) return false;
    LONG Result = RegQueryValueExA(Key, ValueName.c_str(), 0, 0, 0, 0);
    RegCloseKey(Key);
    return Result == ERROR_SUCCESS;
}
