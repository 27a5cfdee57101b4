// Small string and string-list types for the setup stub.
// The stub cannot afford the standard containers (each pulls in ~120-235 KB of
// exception and locale machinery), so texts and lists are built on malloc here.
// Portable: no <windows.h>. Texts are 8-bit ANSI; lengths count bytes.
#pragma once

#include <stddef.h>

// Called when an allocation fails. The run installs a handler (see
// SetOutOfMemoryHandler); without one the process is ended with exit code 1.
typedef void (*OutOfMemoryHandler)(void);
void SetOutOfMemoryHandler(OutOfMemoryHandler Handler);
void OutOfMemory(void);

// malloc/realloc that never return null: they call OutOfMemory instead.
void* CheckedAlloc(size_t Size);
void* CheckedRealloc(void* Block, size_t Size);

// ANSI upper-case mapping of a buffer in place (CharUpperBuffA on Windows,
// ASCII letters on other systems).
void AnsiUpperBuffer(char* Text, int Length);
// Case-insensitive comparison under the same mapping, byte by byte (the two
// bytes of a double-byte character compare exactly): <0, 0, >0.
int AnsiCompareText(const char* A, const char* B);
bool AnsiSameText(const char* A, const char* B);

// The longest text a Str holds (1 GiB); asking for more calls OutOfMemory.
enum { MaxTextLength = 1 << 30 };

// An owned, zero-terminated 8-bit text. Copying copies the bytes.
class Str {
public:
    Str();
    Str(const char* Text);
    Str(const char* Text, int Length);
    Str(const Str& Other);
    Str(Str&& Other);
    ~Str();
    Str& operator=(const Str& Other);
    Str& operator=(Str&& Other);
    Str& operator=(const char* Text);

    const char* c_str() const { return Data; }
    int Length() const { return Len; }
    bool Empty() const { return Len == 0; }
    // 0-based byte access; out of range gives 0.
    char At(int Index) const { return (Index >= 0 && Index < Len) ? Data[Index] : 0; }
    char Last() const { return Len > 0 ? Data[Len - 1] : 0; }

    Str& Append(const char* Text);
    Str& Append(const char* Text, int Length);
    Str& Append(const Str& Other) { return Append(Other.c_str(), Other.Length()); }
    Str& Append(char Ch);
    Str& operator+=(const char* Text) { return Append(Text); }
    Str& operator+=(const Str& Other) { return Append(Other); }
    Str& operator+=(char Ch) { return Append(Ch); }

    void Clear();
    void Truncate(int NewLength); // keeps the first NewLength bytes
    // Room for Length bytes (plus the terminator); the caller fills it and
    // calls SetLength. Returns the buffer. Above MaxTextLength: OutOfMemory.
    char* Reserve(int Length);
    void SetLength(int Length); // after writing into Reserve's buffer
    // Length from strlen of the buffer (after a platform call filled it).
    void SyncLength();

    Str Sub(int Index, int Count) const;            // 0-based substring, clipped
    int Find(char Ch, int From = 0) const;          // 0-based, -1 when absent
    int Find(const char* Text, int From = 0) const; // 0-based, -1 when absent

    bool operator==(const Str& Other) const;
    bool operator==(const char* Text) const;
    bool operator!=(const Str& Other) const { return !(*this == Other); }
    bool operator!=(const char* Text) const { return !(*this == Text); }

private:
    // Never null: a text without a buffer of its own (Cap 0) points at a
    // shared empty text, which is never written. c_str() is then a plain
    // load, which the stub calls in hundreds of places.
    char* Data;
    int Len;
    int Cap;
    static char NoText[1];
};

Str operator+(const Str& A, const Str& B);
Str operator+(const Str& A, const char* B);
Str operator+(const char* A, const Str& B);
Str operator+(const Str& A, char B);

// An ordered list of texts: the one container of the stub's tables.
// Entries of the form name=value are found by name without regard to case
// (entries without "=" are passed over), first match wins. Lookups by name
// go through a hash index once the list is longer than a few entries, so
// tables of tens of thousands of entries (CopyList) stay fast.
class StrList {
public:
    // WholeNames: every entry is a name as a whole, "=" included; such a
    // list has no values (a set of names, such as paths).
    explicit StrList(bool WholeNames = false);
    StrList(const StrList& Other);
    ~StrList();
    StrList& operator=(const StrList& Other);

    int Count() const { return Size; }
    const Str& Get(int Index) const; // out of range gives an empty text
    void Set(int Index, const Str& Text);
    void Add(const Str& Text);
    void Insert(int Index, const Str& Text);
    void Delete(int Index);
    void Clear();

    // Sorted lists (LanguageList) keep entries in case-insensitive order.
    void Sort();

    // name=value access.
    int IndexOfName(const char* Name) const; // -1 when absent
    Str NameAt(int Index) const;
    Str ValueAt(int Index) const;
    Str Value(const char* Name) const; // empty when absent
    // Replaces the entry of that name where it stands (taking Name as
    // written), appends when new; an empty value deletes the entry.
    void SetValue(const char* Name, const char* Value);

private:
    Str* Items;
    int Size;
    int Cap;
    bool WholeNames;
    // The name index: BucketCount chain heads (a power of two, 0 while there
    // is none) and, per entry, the next entry of its chain (-1 ends it).
    // Appending keeps it current; other changes drop it until the next lookup.
    int* Buckets;
    int* NextInChain;
    int BucketCount;
    void Grow(int Needed);
    int NameLength(const Str& Entry) const; // -1 for an entry without a name
    void DropIndex();
    void BuildIndex();
    void IndexEntry(int Index);
};
