// String and word-list helpers: see oxStrUtils.h.
// Everything works on bytes of the ANSI code page; only RemoveBackslash and
// AddBackslash need to know about two-byte characters.
#include "oxStrUtils.h"

#include <string.h>

// ---- character sets ----

bool InCharSet(const CharSet& Set, unsigned char Ch) { return (Set.Bits[Ch >> 3] >> (Ch & 7)) & 1; }

static bool IsSeparator(const Str& S, int Index, const CharSet& Separators)
{
    return InCharSet(Separators, (unsigned char)S.At(Index));
}

// ---- words and fields ----

// The start of the first word from I on; the length when there is none.
static int WordFrom(const Str& S, int I, const CharSet& Separators)
{
    while (I < S.Length() && IsSeparator(S, I, Separators)) ++I;
    return I;
}

// The end of the word or field at I: its first separator, or the length.
static int WordEnd(const Str& S, int I, const CharSet& Separators)
{
    while (I < S.Length() && !IsSeparator(S, I, Separators)) ++I;
    return I;
}

int CountWords(const Str& S, const CharSet& Separators)
{
    int Count = 0;
    for (int I = WordFrom(S, 0, Separators); I < S.Length(); I = WordFrom(S, WordEnd(S, I, Separators), Separators))
        ++Count;
    return Count;
}

int WordStart(int N, const Str& S, const CharSet& Separators)
{
    if (N < 1) return 0;
    int I = WordFrom(S, 0, Separators);
    while (--N > 0 && I < S.Length()) I = WordFrom(S, WordEnd(S, I, Separators), Separators);
    return I < S.Length() ? I + 1 : 0;
}

Str GetWord(int N, const Str& S, const CharSet& Separators)
{
    int Start = WordStart(N, S, Separators) - 1;
    return Start < 0 ? Str() : S.Sub(Start, WordEnd(S, Start, Separators) - Start);
}

Str GetField(int N, const Str& S, const CharSet& Separators)
{
    int I = 0;
    for (int Field = 1; I < S.Length() && Field < N; ++I)
        if (IsSeparator(S, I, Separators)) ++Field;
    return S.Sub(I, WordEnd(S, I, Separators) - I);
}

// ---- replacing, padding, cutting ----

Str ReplaceAll(const Str& S, const Str& Find, const Str& Replacement)
{
    if (Find.Empty()) return S;
    Str Result;
    int From = 0;
    for (;;) {
        int Hit = S.Find(Find.c_str(), From);
        if (Hit < 0) break;
        Result.Append(S.c_str() + From, Hit - From);
        Result.Append(Replacement);
        From = Hit + Find.Length();
    }
    Result.Append(S.c_str() + From, S.Length() - From);
    return Result;
}

Str PadLeft(char Fill, const Str& S, int Width)
{
    if (S.Length() >= Width) return S;
    Str Result;
    for (int I = S.Length(); I < Width; ++I) Result.Append(Fill);
    Result.Append(S);
    return Result;
}

static bool IsBlank(char Ch) { return Ch == ' ' || Ch == '\t'; }

Str TrimBlanks(const Str& S)
{
    int Start = 0, End = S.Length();
    while (Start < End && IsBlank(S.At(Start))) ++Start;
    while (End > Start && IsBlank(S.At(End - 1))) --End;
    return S.Sub(Start, End - Start);
}

Str TextBefore(const Str& S, char Ch)
{
    int At = S.Find(Ch);
    return At < 0 ? S : S.Sub(0, At);
}

Str TextAfter(const Str& S, char Ch)
{
    int At = S.Find(Ch);
    return At < 0 ? Str() : S.Sub(At + 1, S.Length());
}

// ---- path backslashes ----

// 0-based index of the first byte of the last whole character of S (-1 for
// an empty text). A lead byte at the very end stands alone.
static int LastCharStart(const Str& S, LeadByteTest IsLeadByte)
{
    int Last = -1;
    int I = 0;
    while (I < S.Length()) {
        Last = I;
        I += (IsLeadByte((unsigned char)S.At(I)) && I + 1 < S.Length()) ? 2 : 1;
    }
    return Last;
}

int LastDelimiter(const Str& S, const CharSet& Delimiters)
{
    int Found = 0;
    int I = 0;
    while (I < S.Length()) {
        unsigned char Ch = (unsigned char)S.At(I);
        if (AnsiIsLeadByte(Ch) && I + 1 < S.Length()) {
            I += 2;
            continue;
        }
        if (InCharSet(Delimiters, Ch)) Found = I + 1;
        ++I;
    }
    return Found;
}

static bool EndsWithBackslash(const Str& S, LeadByteTest IsLeadByte)
{
    // In a double-byte code page a trail byte may have the code of "\"
    // (0x5C), so only a single-byte last character counts.
    int Last = LastCharStart(S, IsLeadByte);
    return Last >= 0 && Last == S.Length() - 1 && S.At(Last) == '\\';
}

Str AddBackslash(const Str& S)
{
    if (S.Empty() || EndsWithBackslash(S, AnsiIsLeadByte)) return S;
    return S + '\\';
}

static bool IsDriveRoot(const Str& S)
{
    char Letter = S.At(0);
    bool IsLetter = (Letter >= 'A' && Letter <= 'Z') || (Letter >= 'a' && Letter <= 'z');
    return S.Length() == 3 && IsLetter && S.At(1) == ':' && S.At(2) == '\\';
}

Str RemoveBackslashWith(const Str& S, LeadByteTest IsLeadByte)
{
    if (S.Length() <= 1 || IsDriveRoot(S) || !EndsWithBackslash(S, IsLeadByte)) return S;
    return S.Sub(0, S.Length() - 1);
}

Str RemoveBackslash(const Str& S) { return RemoveBackslashWith(S, AnsiIsLeadByte); }

// ---- numbers ----

static const int MinBase = 2;
static const int MaxBase = 36;
static const int MaxDigits = 255;

Str IntToBase(int Value, int Digits, int Base)
{
    if (Value < 0 || Base < MinBase || Base > MaxBase) return Str();
    static const char DigitChars[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    char Buffer[40]; // 31 binary digits at most
    int Pos = (int)sizeof(Buffer);
    unsigned Rest = (unsigned)Value;
    do {
        Buffer[--Pos] = DigitChars[Rest % (unsigned)Base];
        Rest /= (unsigned)Base;
    } while (Rest);
    if (Digits > MaxDigits) Digits = MaxDigits;
    return PadLeft('0', Str(Buffer + Pos, (int)sizeof(Buffer) - Pos), Digits);
}

Str IntToText(int Value)
{
    char Buffer[16];
    int Pos = (int)sizeof(Buffer);
    // Work on the magnitude as unsigned so that -2147483648 is safe.
    unsigned Rest = Value < 0 ? 0u - (unsigned)Value : (unsigned)Value;
    do {
        Buffer[--Pos] = (char)('0' + Rest % 10);
        Rest /= 10;
    } while (Rest);
    if (Value < 0) Buffer[--Pos] = '-';
    return Str(Buffer + Pos, (int)sizeof(Buffer) - Pos);
}

static int HexDigitValue(char Ch)
{
    if (Ch >= '0' && Ch <= '9') return Ch - '0';
    if (Ch >= 'a' && Ch <= 'f') return Ch - 'a' + 10;
    if (Ch >= 'A' && Ch <= 'F') return Ch - 'A' + 10;
    return -1;
}

bool TextToInt(const char* Text, int* Value)
{
    if (!Text) return false;
    const char* P = Text;
    while (*P == ' ') ++P;
    unsigned long long Magnitude = 0;
    if (*P == '$') {
        ++P;
        if (!*P) return false;
        for (; *P; ++P) {
            int Digit = HexDigitValue(*P);
            if (Digit < 0) return false;
            Magnitude = Magnitude * 16 + (unsigned)Digit;
            if (Magnitude > 0xFFFFFFFFull) return false;
        }
        // The bit pattern is taken as a signed number: $80000005 is negative.
        *Value = (int)(unsigned)Magnitude;
        return true;
    }
    bool Negative = false;
    if (*P == '+' || *P == '-') Negative = (*P++ == '-');
    if (!*P) return false;
    for (; *P; ++P) {
        if (*P < '0' || *P > '9') return false;
        Magnitude = Magnitude * 10 + (unsigned)(*P - '0');
        if (Magnitude > 2147483647ull) return false;
    }
    *Value = Negative ? -(int)Magnitude : (int)Magnitude;
    return true;
}

int TextToIntDef(const char* Text, int Default)
{
    int Value;
    return TextToInt(Text, &Value) ? Value : Default;
}

// ---- wildcards ----

int WildPos(const Str& Pattern, const Str& S)
{
    if (Pattern.Find('?') < 0) return S.Find(Pattern.c_str()) + 1; // Find gives -1 for empty
    int Last = S.Length() - Pattern.Length();
    for (int Start = 0; Start <= Last; ++Start) {
        int I = 0;
        while (I < Pattern.Length() && (Pattern.At(I) == '?' || Pattern.At(I) == S.At(Start + I))) ++I;
        if (I == Pattern.Length()) return Start + 1;
    }
    return 0;
}

static bool OnlyStars(const Str& S, int From)
{
    for (int I = From; I < S.Length(); ++I)
        if (S.At(I) != '*') return false;
    return true;
}

bool WildMatch(const Str& S, const Str& Mask, bool IgnoreCase)
{
    if (S == Mask) return true;
    Str M = Mask;
    while (M.Find("**") >= 0) M = ReplaceAll(M, "**", "*");
    if (M == "*") return true;
    Str T = S;
    if (IgnoreCase) {
        AnsiUpperBuffer(T.Reserve(T.Length()), T.Length());
        AnsiUpperBuffer(M.Reserve(M.Length()), M.Length());
    }
    if (M.Empty() || T.Empty()) return false;

    int I = 0, J = 0; // 0-based positions in T and M
    while (I < T.Length() && J < M.Length()) {
        char MaskChar = M.At(J);
        if (MaskChar == T.At(I) || MaskChar == '?') {
            ++I;
            ++J;
            continue;
        }
        if (MaskChar != '*') return false;
        int NextStar = M.Find('*', J + 1);
        if (NextStar < 0) {
            // The last segment must match the end of the text, and only
            // within what the earlier segments left over.
            Str Segment = M.Sub(J + 1, M.Length());
            int Rest = T.Length() - I;
            if (Segment.Length() > Rest) return false;
            int Offset = T.Length() - Segment.Length();
            for (int K = Segment.Length() - 1; K >= 0; --K)
                if (Segment.At(K) != '?' && Segment.At(K) != T.At(Offset + K)) return false;
            return true;
        }
        Str Segment = M.Sub(J + 1, NextStar - J - 1); // not empty: "**" was collapsed
        int Hit = WildPos(Segment, T.Sub(I, T.Length()));
        if (Hit == 0) return false;
        I += Hit - 1 + Segment.Length();
        J = NextStar;
    }
    if (I < T.Length()) return false;
    // Mask left over: only stars may remain ("ab*" does not match "a").
    return OnlyStars(M, J);
}
