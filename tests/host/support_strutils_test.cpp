// Word lists, fields, replacing, padding, backslashes, digit texts, integer
// texts and wildcard masks.
#include <gtest/gtest.h>

#include "oxStrUtils.h"

static std::string S(const Str& Text) { return std::string(Text.c_str(), (size_t)Text.Length()); }

TEST(StrUtilsWords, GapsOfSeparatorsMakeNoEmptyWords)
{
    EXPECT_EQ(0, CountWords("", CommaSet));
    EXPECT_EQ(0, CountWords(",,", CommaSet));
    EXPECT_EQ(2, CountWords(",ENG,,RUS,", CommaSet));
    EXPECT_EQ("RUS", S(GetWord(2, ",ENG,,RUS,", CommaSet)));
    EXPECT_EQ("ENG", S(GetWord(1, ",ENG,,RUS,", CommaSet)));
    EXPECT_EQ("", S(GetWord(3, ",ENG,,RUS,", CommaSet)));
    EXPECT_EQ("", S(GetWord(0, ",ENG,,RUS,", CommaSet)));
    EXPECT_EQ("", S(GetWord(-1, ",ENG,,RUS,", CommaSet)));
    // Blanks belong to the words ("Enu, Rus" offers " Rus").
    EXPECT_EQ(" Rus", S(GetWord(2, "Enu, Rus", CommaSet)));
}

TEST(StrUtilsWords, WordStartIsOneBasedAndZeroWhenAbsent)
{
    EXPECT_EQ(2, WordStart(1, ",ENG,,RUS,", CommaSet));
    EXPECT_EQ(7, WordStart(2, ",ENG,,RUS,", CommaSet));
    EXPECT_EQ(0, WordStart(3, ",ENG,,RUS,", CommaSet));
    EXPECT_EQ(0, WordStart(1, "", CommaSet));
}

TEST(StrUtilsWords, OnlySetMembersSeparate)
{
    EXPECT_EQ(" 30", S(GetWord(2, "Times New Roman, 30", CommaSet)));
    EXPECT_EQ("Times New Roman", S(GetWord(1, "Times New Roman, 30", CommaSet)));
    EXPECT_EQ(3, CountWords("1.2.15", DotSet));
    EXPECT_EQ(2, CountWords("a\rb\r", CrSet));
    // Several members, and bytes above 127.
    CharSet Mixed = MakeCharSet(";\xA0");
    EXPECT_EQ("b", S(GetWord(2, "a;\xA0;b", Mixed)));
    EXPECT_TRUE(InCharSet(Mixed, 0xA0));
    EXPECT_FALSE(InCharSet(Mixed, 0xA1));
    EXPECT_FALSE(InCharSet(Mixed, ','));
}

TEST(StrUtilsFields, EverySeparatorEndsAField)
{
    EXPECT_EQ("", S(GetField(2, "a,,b", CommaSet)));
    EXPECT_EQ("b", S(GetField(3, "a,,b", CommaSet)));
    EXPECT_EQ("a", S(GetField(1, "a,,b", CommaSet)));
    EXPECT_EQ("", S(GetField(4, "a,,b", CommaSet)));
    EXPECT_EQ("", S(GetField(2, "abc", CommaSet)));
    EXPECT_EQ("a", S(GetField(0, "a,b", CommaSet)));
    EXPECT_EQ("", S(GetField(3, "a,b,", CommaSet)));
    EXPECT_EQ("1.2.0.0", S(GetField(2, "C:\\x.dll,1.2.0.0", CommaSet)));
}

TEST(StrUtilsReplace, LeftToRightWithoutRescanning)
{
    EXPECT_EQ("ba", S(ReplaceAll("aaa", "aa", "b")));
    EXPECT_EQ("x\ry", S(ReplaceAll("x||y", "||", "\r")));
    EXPECT_EQ("xaay", S(ReplaceAll("xay", "a", "aa"))); // terminates after one pass
    EXPECT_EQ("abc", S(ReplaceAll("abc", "", "z")));
    EXPECT_EQ("C:\\Prog\\A", S(ReplaceAll("%Dir%\\A", "%Dir%", "C:\\Prog")));
    EXPECT_EQ("", S(ReplaceAll("%X%", "%X%", "")));
    EXPECT_EQ("aBc", S(ReplaceAll("aBc", "b", "x"))); // case-sensitive
}

TEST(StrUtilsCut, PadLeftLeftRightBeforeAfter)
{
    EXPECT_EQ("007", S(PadLeft('0', "7", 3)));
    EXPECT_EQ("1234", S(PadLeft('0', "1234", 3)));
    EXPECT_EQ("", S(PadLeft('0', "", 0)));
    // Left and right parts are clipped substrings.
    EXPECT_EQ("ab", S(Str("abc").Sub(0, 2)));
    EXPECT_EQ("abc", S(Str("abc").Sub(0, 9)));
    EXPECT_EQ("", S(Str("abc").Sub(0, -1)));
    EXPECT_EQ("Doc\\Readme.txt", S(Str("Data\\Doc\\Readme.txt").Sub(5, 19)));
    EXPECT_EQ("abc", S(Str("abc").Sub(0, 3)));
    EXPECT_EQ("", S(Str("abc").Sub(3, 3)));
    EXPECT_EQ("", S(Str("").Sub(-5, 5)));
    EXPECT_EQ("Key", S(TextBefore("Key", '=')));
    EXPECT_EQ("", S(TextAfter("Key", '=')));
    EXPECT_EQ("A", S(TextBefore("A=B=D", '=')));
    EXPECT_EQ("B=D", S(TextAfter("A=B=D", '=')));
    EXPECT_EQ("", S(TextBefore("=x", '=')));
    EXPECT_EQ("a b", S(TrimBlanks(" \ta b\t ")));
    EXPECT_EQ("\r\nx", S(TrimBlanks("\r\nx"))); // only spaces and tabs
    EXPECT_EQ("", S(TrimBlanks(" \t ")));
}

static bool ShiftJisLead(unsigned char Byte)
{
    return (Byte >= 0x81 && Byte <= 0x9F) || (Byte >= 0xE0 && Byte <= 0xFC);
}

TEST(StrUtilsBackslash, AddAndRemove)
{
    EXPECT_EQ("", S(AddBackslash("")));
    EXPECT_EQ("C:\\Temp\\", S(AddBackslash("C:\\Temp")));
    EXPECT_EQ("C:\\Temp\\", S(AddBackslash("C:\\Temp\\")));
    EXPECT_EQ("C:\\", S(RemoveBackslash("C:\\")));
    EXPECT_EQ("c:\\", S(RemoveBackslash("c:\\")));
    EXPECT_EQ("\\", S(RemoveBackslash("\\")));
    EXPECT_EQ("", S(RemoveBackslash("")));
    EXPECT_EQ("C:\\Temp", S(RemoveBackslash("C:\\Temp\\")));
    EXPECT_EQ("C:\\Temp", S(RemoveBackslash("C:\\Temp")));
    EXPECT_EQ("\\\\Server\\Share", S(RemoveBackslash("\\\\Server\\Share\\")));
    EXPECT_EQ("1:", S(RemoveBackslash("1:\\")));                 // not a drive letter
    EXPECT_EQ("C:\\Temp\\", S(RemoveBackslash("C:\\Temp\\\\"))); // one only
}

TEST(StrUtilsBackslash, TrailByteWithBackslashCodeIsNoBackslash)
{
    // 0x83 0x5C is one two-byte character whose second byte has the code of "\".
    Str Name("C:\\\x83\x5C");
    EXPECT_EQ(S(Name), S(RemoveBackslashWith(Name, ShiftJisLead)));
    EXPECT_EQ("C:\\\x83\x5C", S(RemoveBackslashWith(Name + "\\", ShiftJisLead)));
    // A lead byte at the very end stands alone; a backslash after it is real.
    EXPECT_EQ("C:\\\x83", S(RemoveBackslashWith("C:\\\x83", ShiftJisLead)));
    // Without a double-byte code page it is an ordinary backslash.
    EXPECT_EQ("C:\\\x83", S(RemoveBackslashWith(Name, [](unsigned char) { return false; })));
}

TEST(StrUtilsBackslash, LastDelimiter)
{
    CharSet PathSet = MakeCharSet("\\:");
    EXPECT_EQ(0, LastDelimiter("", PathSet));
    EXPECT_EQ(0, LastDelimiter("abc", PathSet));
    EXPECT_EQ(2, LastDelimiter("C:abc", PathSet));
    EXPECT_EQ(9, LastDelimiter("C:\\A\\B\\C\\", PathSet));
    EXPECT_EQ(7, LastDelimiter("C:\\A\\B\\C", PathSet));
}

TEST(StrUtilsNumbers, IntToBase)
{
    EXPECT_EQ("00000", S(IntToBase(0, 5, 32)));
    EXPECT_EQ("011", S(IntToBase(33, 3, 32)));
    EXPECT_EQ("", S(IntToBase(-1, 5, 32)));
    EXPECT_EQ("1000", S(IntToBase(32768, 3, 32)));
    EXPECT_EQ("V", S(IntToBase(31, 0, 32)));
    EXPECT_EQ("1111111111111111111111111111111", S(IntToBase(2147483647, 1, 2)));
    EXPECT_EQ("ZIK0ZJ", S(IntToBase(2147483647, 0, 36)));
    EXPECT_EQ("FF", S(IntToBase(255, 1, 16)));
    EXPECT_EQ("", S(IntToBase(5, 3, 1)));
    EXPECT_EQ("", S(IntToBase(5, 3, 37)));
    EXPECT_EQ(255, IntToBase(1, 1000, 10).Length()); // Digits is 0..255
}

TEST(StrUtilsNumbers, IntToText)
{
    EXPECT_EQ("0", S(IntToText(0)));
    EXPECT_EQ("-5", S(IntToText(-5)));
    EXPECT_EQ("2147483647", S(IntToText(2147483647)));
    EXPECT_EQ("-2147483648", S(IntToText(-2147483647 - 1)));
}

TEST(StrUtilsNumbers, TextToIntAcceptsDecimalAndDollarHex)
{
    int V = 0;
    EXPECT_TRUE(TextToInt("12632256", &V));
    EXPECT_EQ(12632256, V);
    EXPECT_TRUE(TextToInt("$FF8000", &V));
    EXPECT_EQ(16744448, V);
    EXPECT_TRUE(TextToInt("$ff8000", &V));
    EXPECT_EQ(16744448, V);
    EXPECT_TRUE(TextToInt("$80000005", &V));
    EXPECT_EQ(-2147483643, V);
    EXPECT_TRUE(TextToInt("$FFFFFFFF", &V));
    EXPECT_EQ(-1, V);
    EXPECT_TRUE(TextToInt("$000000000010", &V));
    EXPECT_EQ(16, V);
    EXPECT_TRUE(TextToInt("-5", &V));
    EXPECT_EQ(-5, V);
    EXPECT_TRUE(TextToInt("+7", &V));
    EXPECT_EQ(7, V);
    EXPECT_TRUE(TextToInt("   42", &V));
    EXPECT_EQ(42, V);
    EXPECT_TRUE(TextToInt("2147483647", &V));
    EXPECT_EQ(2147483647, V);
    EXPECT_TRUE(TextToInt("-2147483647", &V));
    EXPECT_EQ(-2147483647, V);
}

TEST(StrUtilsNumbers, TextToIntRejectsEverythingElse)
{
    const char* Bad[] = {"",    " ",          "$",          "12a",        "0x10",
                         "42 ", "\t1",        "-$5",        "+",          "-",
                         "1-",  "2147483648", "$100000000", "$123456789", "99999999999999999999",
                         "1.5", "$G",         "green"};
    for (const char* Text : Bad) {
        int V = 77;
        EXPECT_FALSE(TextToInt(Text, &V)) << Text;
        EXPECT_EQ(77, V) << Text;
        EXPECT_EQ(-3, TextToIntDef(Text, -3)) << Text;
    }
    EXPECT_EQ(-3, TextToIntDef(nullptr, -3));
}

TEST(StrUtilsWild, WildPos)
{
    EXPECT_EQ(2, WildPos("b?d", "abcde"));
    EXPECT_EQ(0, WildPos("abc", "ab"));
    EXPECT_EQ(0, WildPos("a?c", "ab"));
    EXPECT_EQ(3, WildPos("cd", "abcdcd"));
    EXPECT_EQ(0, WildPos("", "abc"));
    EXPECT_EQ(1, WildPos("???", "abc"));
    EXPECT_EQ(0, WildPos("????", "abc"));
    EXPECT_EQ(0, WildPos("B?d", "abcde")); // case-sensitive
}

TEST(StrUtilsWild, ArchiveEntryMasks)
{
    EXPECT_TRUE(WildMatch("data\\Sub\\File.txt", "Data\\*.*", true));
    EXPECT_FALSE(WildMatch("Data\\File", "Data\\*.*", true));
    EXPECT_FALSE(WildMatch("Presetup\\Tarn.ini", "Data\\*.*", true));
    EXPECT_FALSE(WildMatch("data\\Sub\\File.txt", "Data\\*.*", false));
    EXPECT_TRUE(WildMatch("Presetup\\Tarn.ini", "Presetup\\*.*", true));
    EXPECT_TRUE(WildMatch("Data\\a.b.c", "Data\\*.*", true));
    // Any "." after the prefix will do, also one in a folder's name.
    EXPECT_TRUE(WildMatch("Data\\Sub.d\\File", "Data\\*.*", true));
    // The folder entry itself is not inside the folder.
    EXPECT_FALSE(WildMatch("Data", "Data\\*.*", true));
    EXPECT_FALSE(WildMatch("Data\\", "Data\\*.*", true));
}

TEST(StrUtilsWild, EmptyTextsAndStars)
{
    EXPECT_TRUE(WildMatch("", "*", false));
    EXPECT_TRUE(WildMatch("", "", false));
    EXPECT_FALSE(WildMatch("x", "", false));
    EXPECT_FALSE(WildMatch("", "?", false));
    EXPECT_TRUE(WildMatch("abc", "a**", false));
    EXPECT_TRUE(WildMatch("abc", "***", false));
    EXPECT_TRUE(WildMatch("a", "a*", false));
    EXPECT_TRUE(WildMatch("abc", "*c", false));
    EXPECT_FALSE(WildMatch("abc", "*b", false));
}

TEST(StrUtilsWild, QuestionMarksAndSegments)
{
    EXPECT_TRUE(WildMatch("abc", "a?c", false));
    EXPECT_FALSE(WildMatch("abbc", "a?c", false));
    EXPECT_TRUE(WildMatch("xaYbZc", "*a*b*c", false));
    EXPECT_TRUE(WildMatch("setup.ins", "*.?ns", false));
    EXPECT_TRUE(WildMatch("a.b.c", "*.*.c", false));
    EXPECT_FALSE(WildMatch("a.b", "*.*.c", false));
    EXPECT_TRUE(WildMatch("abXcd", "ab*?d", false));
    EXPECT_FALSE(WildMatch("ab", "ab?", false));
    EXPECT_FALSE(WildMatch("abc", "abcd", false));
    EXPECT_FALSE(WildMatch("abcd", "abc", false));
}

TEST(StrUtilsWild, MaskLongerThanWhatIsLeftDoesNotMatch)
{
    // The last segment may not reuse characters an earlier part consumed.
    EXPECT_FALSE(WildMatch("abcd", "abc*bcd", false));
    EXPECT_TRUE(WildMatch("abcbcd", "abc*bcd", false));
    EXPECT_FALSE(WildMatch("ab", "a*ab", false));
    // A mask with characters left after the text ends needs only stars there.
    EXPECT_FALSE(WildMatch("a", "ab*", false));
    EXPECT_FALSE(WildMatch("a", "a?*", false));
    EXPECT_TRUE(WildMatch("a", "a*", false));
}

// Plain backtracking matcher: the meaning of "*" and "?" without the
// segment shortcuts.
static bool ReferenceMatch(const char* Text, const char* Mask)
{
    if (!*Mask) return !*Text;
    if (*Mask == '*') return ReferenceMatch(Text, Mask + 1) || (*Text && ReferenceMatch(Text + 1, Mask));
    return *Text && (*Mask == '?' || *Mask == *Text) && ReferenceMatch(Text + 1, Mask + 1);
}

TEST(StrUtilsWild, AgreesWithBacktrackingOnRandomMasks)
{
    const unsigned Seed = 20240301;
    unsigned State = Seed;
    auto Next = [&State](unsigned Range) {
        State = State * 1103515245u + 12345u;
        return (State >> 16) % Range;
    };
    const char TextChars[] = "ab.";
    const char MaskChars[] = "ab.*?";
    for (int Round = 0; Round < 20000; ++Round) {
        std::string Text, Mask;
        for (unsigned I = Next(7); I > 0; --I) Text += TextChars[Next(3)];
        for (unsigned I = Next(6); I > 0; --I) Mask += MaskChars[Next(5)];
        ASSERT_EQ(ReferenceMatch(Text.c_str(), Mask.c_str()), WildMatch(Text.c_str(), Mask.c_str(), false))
            << "text '" << Text << "' mask '" << Mask << "' seed " << Seed << " round " << Round;
    }
}
