// Word lists, name=value pairs, padding, path backslashes, digit texts and
// wildcard masks: the string helpers every part of the stub and the builder
// uses. Portable: no <windows.h>; the platform's upper-case mapping and
// lead-byte test come from the Ansi* hooks. Positions are 1-based and count bytes.
#pragma once

#include "TarnStr.h"

// A set of 8-bit character codes: bit (c mod 8) of byte (c div 8) is set
// when code c belongs to the set.
struct CharSet {
    unsigned char Bits[32];
};

// The set of the characters of Chars (a zero byte cannot be a member).
// constexpr, so the sets below are ready before any start-up code runs.
constexpr CharSet MakeCharSet(const char* Chars)
{
    CharSet Set = {};
    for (; Chars && *Chars; ++Chars) {
        unsigned char Ch = (unsigned char)*Chars;
        Set.Bits[Ch >> 3] = (unsigned char)(Set.Bits[Ch >> 3] | (1u << (Ch & 7)));
    }
    return Set;
}
bool InCharSet(const CharSet& Set, unsigned char Ch);

// The separator sets the program uses.
inline constexpr CharSet CommaSet = MakeCharSet(",");           // lists of the setup script, font fields
inline constexpr CharSet DotSet = MakeCharSet(".");             // the four numbers of a version text
inline constexpr CharSet CrSet = MakeCharSet("\r");             // lines of a wrapped text
inline constexpr CharSet PathDelimiterSet = MakeCharSet("\\:"); // ends a path's folder part

// Words: runs of separators form one gap, so there are no empty words.
int CountWords(const Str& S, const CharSet& Separators);       // 0 for an empty text
int WordStart(int N, const Str& S, const CharSet& Separators); // 0 when there is no word N
Str GetWord(int N, const Str& S, const CharSet& Separators);   // empty when there is no word N
// Fields: every separator ends a field, so fields may be empty.
Str GetField(int N, const Str& S, const CharSet& Separators); // empty when there is no field N

// Case-sensitive, left to right, non-overlapping; an empty Find changes nothing.
Str ReplaceAll(const Str& S, const Str& Find, const Str& Replacement);
Str PadLeft(char Fill, const Str& S, int Width); // never cuts S
Str TrimBlanks(const Str& S);                    // without leading and trailing spaces and tabs
Str TextBefore(const Str& S, char Ch);           // all of S when Ch is absent
Str TextAfter(const Str& S, char Ch);            // empty when Ch is absent

// 1-based position of the last whole character of S that is in Delimiters
// (a trail byte of a two-byte character never counts); 0 when there is none.
int LastDelimiter(const Str& S, const CharSet& Delimiters);
// The empty text stays empty.
Str AddBackslash(const Str& S);
// Keeps a drive root ("C:\") and a lone character; the last character is
// judged as a whole character of the ANSI code page (AnsiIsLeadByte).
Str RemoveBackslash(const Str& S);
// The same with a given lead-byte test (lets the host test double-byte texts).
typedef bool (*LeadByteTest)(unsigned char Byte);
Str RemoveBackslashWith(const Str& S, LeadByteTest IsLeadByte);
// True when Byte starts a two-byte character of the ANSI code page
// (IsDBCSLeadByte on Windows; never on other systems).
bool AnsiIsLeadByte(unsigned char Byte);

// Digits of Value in Base (2..36, letters from "A" for 10), left-padded with
// "0" to Digits; empty for a negative Value or a Base out of range.
Str IntToBase(int Value, int Digits, int Base);
// Decimal text of Value ("-5", "0", "2147483647").
Str IntToText(int Value);
// Whole-text integer conversion: optional leading spaces, then an optional
// sign and decimal digits (up to 2147483647 in magnitude), or "$" and up to
// 32 bits of hexadecimal digits taken as a signed 32-bit number. False (and
// *Value untouched) for anything else: empty, "$" alone, trailing characters,
// out of range.
bool TextToInt(const char* Text, int* Value);
int TextToIntDef(const char* Text, int Default);

// Position of Pattern in S, "?" matching any one character; 0 when absent
// or when Pattern is empty.
int WildPos(const Str& Pattern, const Str& S);
// Whether S matches Mask ("*" any run, "?" any one character).
bool WildMatch(const Str& S, const Str& Mask, bool IgnoreCase);
