// Str and StrList: see TarnStr.h.
#include "TarnStr.h"

#include <stdlib.h>
#include <string.h>

#include <new> // placement new only

#include "oxStrUtils.h" // AnsiIsLeadByte

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

// The upper-case mapping of every single byte, made once: calling the
// system per character made name lookups the main cost of large installs.
// Lead bytes of double-byte characters are marked; they and the byte after
// them are compared as they are.
static unsigned char UpperOfByte[256];
static bool LeadByte[256];
static volatile bool CaseTablesReady = false;

static void MakeCaseTables()
{
    // Two threads may both get here; they write the same values.
    for (int Byte = 0; Byte < 256; ++Byte) {
        char Ch = (char)Byte;
        AnsiUpperBuffer(&Ch, 1);
        LeadByte[Byte] = AnsiIsLeadByte((unsigned char)Byte);
        UpperOfByte[Byte] = LeadByte[Byte] ? (unsigned char)Byte : (unsigned char)Ch;
    }
    CaseTablesReady = true;
}

// Compares Length bytes of A with B (which must not end earlier) without
// regard to case: <0, 0, >0.
static int CompareFolded(const char* A, const char* B, int Length)
{
    if (!CaseTablesReady) MakeCaseTables();
    bool Trail = false; // the byte after a lead byte compares exactly
    for (int I = 0; I < Length; ++I) {
        unsigned char UA = (unsigned char)A[I], UB = (unsigned char)B[I];
        if (Trail) {
            Trail = false;
        } else {
            Trail = LeadByte[UA];
            UA = UpperOfByte[UA];
            UB = UpperOfByte[UB];
        }
        if (UA != UB) return UA < UB ? -1 : 1;
        if (!UA) return 0;
    }
    return 0;
}

// FNV-1a over the case-folded bytes, folded as CompareFolded does.
static unsigned HashFolded(const char* Text, int Length)
{
    if (!CaseTablesReady) MakeCaseTables();
    unsigned Hash = 2166136261u;
    bool Trail = false;
    for (int I = 0; I < Length; ++I) {
        unsigned char Byte = (unsigned char)Text[I];
        if (Trail) {
            Trail = false;
        } else {
            Trail = LeadByte[Byte];
            Byte = UpperOfByte[Byte];
        }
        Hash = (Hash ^ Byte) * 16777619u;
    }
    return Hash;
}

int AnsiCompareText(const char* A, const char* B)
{
    int LengthA = (int)strlen(A), LengthB = (int)strlen(B);
    // One byte more than the shorter text: its terminator ends the comparison.
    return CompareFolded(A, B, (LengthA < LengthB ? LengthA : LengthB) + 1);
}

bool AnsiSameText(const char* A, const char* B) { return AnsiCompareText(A, B) == 0; }

// ---- Str ----

char Str::NoText[1];

Str::Str() : Data(NoText), Len(0), Cap(0) {}

Str::Str(const char* Text) : Data(NoText), Len(0), Cap(0) { Append(Text); }

Str::Str(const char* Text, int Length) : Data(NoText), Len(0), Cap(0) { Append(Text, Length); }

Str::Str(const Str& Other) : Data(NoText), Len(0), Cap(0) { Append(Other.c_str(), Other.Len); }

Str::Str(Str&& Other) : Data(Other.Data), Len(Other.Len), Cap(Other.Cap)
{
    Other.Data = NoText;
    Other.Len = Other.Cap = 0;
}

Str::~Str()
{
    if (Cap) free(Data);
}

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
        if (Cap) free(Data);
        Data = Other.Data;
        Len = Other.Len;
        Cap = Other.Cap;
        Other.Data = NoText;
        Other.Len = Other.Cap = 0;
    }
    return *this;
}

Str& Str::operator=(const char* Text)
{
    if (Text && Text >= Data && Text < Data + Cap) {
        Str Copy(Text); // the source lies inside our own buffer
        return *this = (Str &&) Copy;
    }
    Len = 0;
    if (Cap) Data[0] = 0;
    return Append(Text);
}

char* Str::Reserve(int Length)
{
    if (Length < 0) Length = 0;
    // Past the cap the doubling below would overflow an int and never end.
    if (Length > MaxTextLength) OutOfMemory();
    if (Length + 1 > Cap) {
        int NewCap = Cap ? Cap : 16;
        while (NewCap < Length + 1) NewCap = NewCap > MaxTextLength / 2 ? MaxTextLength + 1 : NewCap * 2;
        Data = (char*)CheckedRealloc(Cap ? Data : 0, (size_t)NewCap);
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
    if (!Cap) {
        Len = 0;
        return;
    }
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
    if (!Text || Length <= 0) return *this;
    if (Text >= Data && Text < Data + Cap) {
        Str Copy(Text, Length); // appending a part of ourselves
        return Append(Copy.c_str(), Copy.Len);
    }
    if (Length > MaxTextLength - Len) OutOfMemory(); // Len + Length would overflow
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

Str Str::Sub(int Index, int Count) const
{
    if (Index < 0) {
        Count += Index;
        Index = 0;
    }
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

bool Str::operator==(const Str& Other) const
{
    return Len == Other.Len && memcmp(c_str(), Other.c_str(), (size_t)Len) == 0;
}

bool Str::operator==(const char* Text) const { return strcmp(c_str(), Text ? Text : "") == 0; }

template <typename Left, typename Right>
static Str Joined(const Left& A, const Right& B)
{
    Str Result(A);
    Result.Append(B);
    return Result;
}

Str operator+(const Str& A, const Str& B) { return Joined(A, B); }
Str operator+(const Str& A, const char* B) { return Joined(A, B); }
Str operator+(const char* A, const Str& B) { return Joined(A, B); }
Str operator+(const Str& A, char B) { return Joined(A, B); }

// ---- StrList ----

static const Str EmptyStr;

// Lists up to this long are searched entry by entry; longer ones get the
// name index on their first lookup.
enum { IndexFromCount = 8 };

StrList::StrList(bool WholeNames)
    : Items(0), Size(0), Cap(0), WholeNames(WholeNames), Buckets(0), NextInChain(0), BucketCount(0)
{}

StrList::StrList(const StrList& Other)
    : Items(0), Size(0), Cap(0), WholeNames(Other.WholeNames), Buckets(0), NextInChain(0), BucketCount(0)
{
    *this = Other;
}

StrList::~StrList()
{
    Clear();
    free(Items);
    free(Buckets);
    free(NextInChain);
}

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
    if (BucketCount) NextInChain = (int*)CheckedRealloc(NextInChain, sizeof(int) * (size_t)NewCap);
    Cap = NewCap;
}

int StrList::NameLength(const Str& Entry) const { return WholeNames ? Entry.Length() : Entry.Find('='); }

void StrList::DropIndex()
{
    free(Buckets);
    free(NextInChain);
    Buckets = 0;
    NextInChain = 0;
    BucketCount = 0;
}

// Puts entry Index at the head of its chain; a chain may hold several
// entries of the same name, and a lookup takes the lowest index.
void StrList::IndexEntry(int Index)
{
    NextInChain[Index] = -1;
    int Length = NameLength(Items[Index]);
    if (Length < 0) return;
    unsigned Bucket = HashFolded(Items[Index].c_str(), Length) & (unsigned)(BucketCount - 1);
    NextInChain[Index] = Buckets[Bucket];
    Buckets[Bucket] = Index;
}

void StrList::BuildIndex()
{
    DropIndex();
    // At least twice as many chains as entries: chains stay about one long.
    int Count = 16;
    while (Count < Size * 2) Count *= 2;
    Buckets = (int*)CheckedAlloc(sizeof(int) * (size_t)Count);
    NextInChain = (int*)CheckedAlloc(sizeof(int) * (size_t)(Cap > 0 ? Cap : 1));
    BucketCount = Count;
    memset(Buckets, 0xFF, sizeof(int) * (size_t)Count); // every chain empty (-1)
    for (int I = 0; I < Size; ++I) IndexEntry(I);
}

const Str& StrList::Get(int Index) const { return (Index >= 0 && Index < Size) ? Items[Index] : EmptyStr; }

void StrList::Set(int Index, const Str& Text)
{
    if (Index < 0 || Index >= Size) return;
    int OldLength = NameLength(Items[Index]);
    int NewLength = NameLength(Text);
    // A new value under the same name (SetValue) keeps the entry in its
    // chain; another name would sit in the wrong one.
    bool SameName =
        OldLength >= 0 && OldLength == NewLength && CompareFolded(Items[Index].c_str(), Text.c_str(), OldLength) == 0;
    Items[Index] = Text;
    if (!SameName) DropIndex();
}

void StrList::Add(const Str& Text) { Insert(Size, Text); }

void StrList::Insert(int Index, const Str& Text)
{
    if (Index < 0) Index = 0;
    if (Index > Size) Index = Size;
    Str Copy(Text); // Text may be one of our own entries
    Grow(Size + 1);
    memmove((void*)(Items + Index + 1), (void*)(Items + Index), sizeof(Str) * (size_t)(Size - Index));
    new (Items + Index) Str((Str &&) Copy);
    ++Size;
    // An entry at the end changes no other index; it joins the index while
    // the chains are still short, else the next lookup rebuilds it.
    if (!BucketCount) return;
    if (Index == Size - 1 && Size * 2 <= BucketCount)
        IndexEntry(Index);
    else
        DropIndex();
}

void StrList::Delete(int Index)
{
    if (Index < 0 || Index >= Size) return;
    Items[Index].~Str();
    memmove((void*)(Items + Index), (void*)(Items + Index + 1), sizeof(Str) * (size_t)(Size - Index - 1));
    --Size;
    DropIndex();
}

void StrList::Clear()
{
    for (int I = 0; I < Size; ++I) Items[I].~Str();
    Size = 0;
    DropIndex();
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
    DropIndex();
}

Str StrList::NameAt(int Index) const
{
    const Str& Entry = Get(Index);
    int Length = NameLength(Entry);
    return Length < 0 ? Entry : Entry.Sub(0, Length);
}

Str StrList::ValueAt(int Index) const
{
    const Str& Entry = Get(Index);
    int Length = NameLength(Entry);
    return Length < 0 ? Str() : Entry.Sub(Length + 1, Entry.Length());
}

int StrList::IndexOfName(const char* Name) const
{
    if (!Name) Name = "";
    int Length = (int)strlen(Name);
    // Names compare in place: no entry is copied.
    if (Size <= IndexFromCount) {
        for (int I = 0; I < Size; ++I) {
            if (NameLength(Items[I]) == Length && CompareFolded(Items[I].c_str(), Name, Length) == 0) return I;
        }
        return -1;
    }
    // The index is a cache of the entries: building it changes nothing a
    // caller can see.
    if (!BucketCount) const_cast<StrList*>(this)->BuildIndex();
    int Found = -1;
    unsigned Bucket = HashFolded(Name, Length) & (unsigned)(BucketCount - 1);
    for (int I = Buckets[Bucket]; I >= 0; I = NextInChain[I]) {
        if ((Found < 0 || I < Found) && NameLength(Items[I]) == Length &&
            CompareFolded(Items[I].c_str(), Name, Length) == 0)
            Found = I;
    }
    return Found;
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
    if (Index >= 0)
        Set(Index, Entry);
    else
        Add(Entry);
}
