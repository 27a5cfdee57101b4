// Str and StrList: see TarnStr.h.
#include "TarnStr.h"

#include <stdlib.h>
#include <string.h>

#include <new> // placement new only

static OutOfMemoryHandler CurrentOutOfMemoryHandler = 0;

void SetOutOfMemoryHandler(OutOfMemoryHandler Handler) { CurrentOutOfMemoryHandler = Handler; }

void OutOfMemory(void)
{
    if (CurrentOutOfMemoryHandler) CurrentOutOfMemoryHandler();
    // A handler must not return; if there is none (or it does), stop here
    // rather than work on with a missing buffer.
    exit(1);
}

void* CheckedAlloc(size_t Size)
{
    void* Block = malloc(Size ? Size : 1);
    if (!Block) OutOfMemory();
    return Block;
}

void* CheckedRealloc(void* Block, size_t Size)
{
    void* Moved = realloc(Block, Size ? Size : 1);
    if (!Moved) OutOfMemory();
    return Moved;
}

int AnsiCompareText(const char* A, const char* B)
{
    // Compare byte by byte after the upper-case mapping; a small stack
    // buffer per character keeps this free of allocations.
    for (;; ++A, ++B) {
        char CharA = *A, CharB = *B;
        AnsiUpperBuffer(&CharA, 1);
        AnsiUpperBuffer(&CharB, 1);
        unsigned char UA = (unsigned char)CharA, UB = (unsigned char)CharB;
        if (UA != UB) return UA < UB ? -1 : 1;
        if (!UA) return 0;
    }
}

bool AnsiSameText(const char* A, const char* B) { return AnsiCompareText(A, B) == 0; }

// ---- Str ----

Str::Str() : Data(0), Len(0), Cap(0) {}

Str::Str(const char* Text) : Data(0), Len(0), Cap(0) { Append(Text); }

Str::Str(const char* Text, int Length) : Data(0), Len(0), Cap(0) { Append(Text, Length); }

Str::Str(const Str& Other) : Data(0), Len(0), Cap(0) { Append(Other.c_str(), Other.Len); }

Str::Str(Str&& Other) : Data(Other.Data), Len(Other.Len), Cap(Other.Cap)
{
    Other.Data = 0;
    Other.Len = Other.Cap = 0;
}

Str::~Str() { free(Data); }

Str& Str::operator=(const Str& Other)
{
    if (this != &Other) {
        Len = 0;
        Append(Other.c_str(), Other.Len);
    }
    return *this;
}

Str& Str::operator=(Str&& Other)
{
    if (this != &Other) {
        free(Data);
        Data = Other.Data; Len = Other.Len; Cap = Other.Cap;
        Other.Data = 0; Other.Len = Other.Cap = 0;
    }
    return *this;
}

Str& Str::operator=(const char* Text)
{
    if (Text && Data && Text >= Data && Text < Data + Cap) {
        Str Copy(Text); // the source lies inside our own buffer
        return *this = (Str&&)Copy;
    }
    Len = 0;
    if (Data) Data[0] = 0;
    return Append(Text);
}

char* Str::Reserve(int Length)
{
    if (Length < 0) Length = 0;
    if (Length + 1 > Cap) {
        int NewCap = Cap ? Cap : 16;
        while (NewCap < Length + 1) NewCap *= 2;
        Data = (char*)CheckedRealloc(Data, (size_t)NewCap);
        Cap = NewCap;
        Data[Len] = 0;
    }
    return Data;
}

void Str::SetLength(int Length)
{
    if (Length < 0) Length = 0;
    Reserve(Length);
    Len = Length;
    Data[Len] = 0;
}

void Str::SyncLength()
{
    if (!Data) { Len = 0; return; }
    Data[Cap - 1] = 0;
    Len = (int)strlen(Data);
}

Str& Str::Append(const char* Text)
{
    if (!Text) return *this;
    return Append(Text, (int)strlen(Text));
}

Str& Str::Append(const char* Text, int Length)
{
    if (!Text || Length <= 0) {
        if (!Data) Reserve(0);
        return *this;
    }
    if (Data && Text >= Data && Text < Data + Cap) {
        Str Copy(Text, Length); // appending a part of ourselves
        return Append(Copy.c_str(), Copy.Len);
    }
    Reserve(Len + Length);
    memcpy(Data + Len, Text, (size_t)Length);
    Len += Length;
    Data[Len] = 0;
    return *this;
}

Str& Str::Append(char Ch) { return Append(&Ch, 1); }

void Str::Clear() { SetLength(0); }

void Str::Truncate(int NewLength)
{
    if (NewLength < Len) SetLength(NewLength);
}

void Str::Delete(int Index, int Count)
{
    if (Index < 0) { Count += Index; Index = 0; }
    if (Index >= Len || Count <= 0) return;
    if (Count > Len - Index) Count = Len - Index;
    memmove(Data + Index, Data + Index + Count, (size_t)(Len - Index - Count));
    SetLength(Len - Count);
}

Str Str::Sub(int Index, int Count) const
{
    if (Index < 0) { Count += Index; Index = 0; }
    if (Index >= Len || Count <= 0) return Str();
    if (Count > Len - Index) Count = Len - Index;
    return Str(Data + Index, Count);
}

int Str::Find(char Ch, int From) const
{
    for (int I = From < 0 ? 0 : From; I < Len; ++I)
        if (Data[I] == Ch) return I;
    return -1;
}

int Str::Find(const char* Text, int From) const
{
    int TextLen = Text ? (int)strlen(Text) : 0;
    if (TextLen == 0) return -1;
    for (int I = From < 0 ? 0 : From; I + TextLen <= Len; ++I)
        if (memcmp(Data + I, Text, (size_t)TextLen) == 0) return I;
    return -1;
}

int Str::FindLast(char Ch) const
{
    for (int I = Len - 1; I >= 0; --I)
        if (Data[I] == Ch) return I;
    return -1;
}

bool Str::operator==(const Str& Other) const
{
    return Len == Other.Len && memcmp(c_str(), Other.c_str(), (size_t)Len) == 0;
}

bool Str::operator==(const char* Text) const { return strcmp(c_str(), Text ? Text : "") == 0; }

Str operator+(const Str& A, const Str& B) { Str R(A); R.Append(B); return R; }
Str operator+(const Str& A, const char* B) { Str R(A); R.Append(B); return R; }
Str operator+(const char* A, const Str& B) { Str R(A); R.Append(B); return R; }
Str operator+(const Str& A, char B) { Str R(A); R.Append(B); return R; }

// ---- StrList ----

static const Str EmptyStr;

StrList::StrList() : Items(0), Size(0), Cap(0) {}

StrList::StrList(const StrList& Other) : Items(0), Size(0), Cap(0) { *this = Other; }

StrList::~StrList() { Clear(); free(Items); }

StrList& StrList::operator=(const StrList& Other)
{
    if (this == &Other) return *this;
    Clear();
    for (int I = 0; I < Other.Size; ++I) Add(Other.Items[I]);
    return *this;
}

void StrList::Grow(int Needed)
{
    if (Needed <= Cap) return;
    int NewCap = Cap ? Cap * 2 : 8;
    while (NewCap < Needed) NewCap *= 2;
    // Str is trivially relocatable (a pointer and two ints), so the entries
    // may move with realloc.
    Items = (Str*)CheckedRealloc(Items, sizeof(Str) * (size_t)NewCap);
    Cap = NewCap;
}

const Str& StrList::Get(int Index) const
{
    return (Index >= 0 && Index < Size) ? Items[Index] : EmptyStr;
}

void StrList::Set(int Index, const Str& Text)
{
    if (Index >= 0 && Index < Size) Items[Index] = Text;
}

void StrList::Add(const Str& Text) { Insert(Size, Text); }

void StrList::Insert(int Index, const Str& Text)
{
    if (Index < 0) Index = 0;
    if (Index > Size) Index = Size;
    Str Copy(Text); // Text may be one of our own entries
    Grow(Size + 1);
    memmove((void*)(Items + Index + 1), (void*)(Items + Index), sizeof(Str) * (size_t)(Size - Index));
    new (Items + Index) Str((Str&&)Copy);
    ++Size;
}

void StrList::Delete(int Index)
{
    if (Index < 0 || Index >= Size) return;
    Items[Index].~Str();
    memmove((void*)(Items + Index), (void*)(Items + Index + 1), sizeof(Str) * (size_t)(Size - Index - 1));
    --Size;
}

void StrList::Clear()
{
    for (int I = 0; I < Size; ++I) Items[I].~Str();
    Size = 0;
}

int StrList::IndexOf(const Str& Text) const
{
    for (int I = 0; I < Size; ++I)
        if (Items[I] == Text) return I;
    return -1;
}

void StrList::Sort()
{
    // Insertion sort: lists are short (languages), and it is stable.
    for (int I = 1; I < Size; ++I) {
        int J = I;
        while (J > 0 && AnsiCompareText(Items[J - 1].c_str(), Items[J].c_str()) > 0) {
            char Swap[sizeof(Str)];
            memcpy(Swap, (void*)(Items + J), sizeof(Str));
            memcpy((void*)(Items + J), (void*)(Items + J - 1), sizeof(Str));
            memcpy((void*)(Items + J - 1), Swap, sizeof(Str));
            --J;
        }
    }
}

Str StrList::NameAt(int Index) const
{
    const Str& Entry = Get(Index);
    int Eq = Entry.Find('=');
    return Eq < 0 ? Entry : Entry.Sub(0, Eq);
}

Str StrList::ValueAt(int Index) const
{
    const Str& Entry = Get(Index);
    int Eq = Entry.Find('=');
    return Eq < 0 ? Str() : Entry.Sub(Eq + 1, Entry.Length());
}

int StrList::IndexOfName(const char* Name) const
{
    for (int I = 0; I < Size; ++I) {
        int Eq = Items[I].Find('=');
        if (Eq < 0) continue;
        Str EntryName = Items[I].Sub(0, Eq);
        if (AnsiSameText(EntryName.c_str(), Name)) return I;
    }
    return -1;
}

Str StrList::Value(const char* Name) const
{
    int Index = IndexOfName(Name);
    return Index < 0 ? Str() : ValueAt(Index);
}

void StrList::SetValue(const char* Name, const char* Value)
{
    int Index = IndexOfName(Name);
    if (!Value || !*Value) {
        if (Index >= 0) Delete(Index);
        return;
    }
    Str Entry(Name);
    Entry.Append('=');
    Entry.Append(Value);
    if (Index >= 0) Set(Index, Entry);
    else Add(Entry);
}
