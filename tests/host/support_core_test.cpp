// The portable halves of the file, shell and graphics modules (temporary
// names, KiB rounding, version words, DOS dates, the OS-version record,
// font specifications) and the name=value behaviour of StrList.
#include <gtest/gtest.h>

#include <strings.h>

#include <string>
#include <vector>

#include "oxFileUtilsCore.h"
#include "oxGraphicsCore.h"
#include "oxShellCore.h"
#include "oxStrUtils.h"

static std::string S(const Str& Text) { return std::string(Text.c_str(), (size_t)Text.Length()); }

TEST(SupportFileCore, RoundedKiBHalvesToEven)
{
    EXPECT_EQ(0u, RoundedKiB(0));
    EXPECT_EQ(0u, RoundedKiB(511));
    EXPECT_EQ(0u, RoundedKiB(512)); // half of 0 stays 0
    EXPECT_EQ(1u, RoundedKiB(513));
    EXPECT_EQ(1u, RoundedKiB(1535));
    EXPECT_EQ(2u, RoundedKiB(1536));                  // 1.5 -> 2
    EXPECT_EQ(2u, RoundedKiB(2560));                  // 2.5 -> 2
    EXPECT_EQ(4u, RoundedKiB(3584));                  // 3.5 -> 4
    EXPECT_EQ(4194304ull, RoundedKiB(4294967296ull)); // beyond 32 bits of bytes
}

// The bitwise long division agrees with 128-bit arithmetic over the whole
// 64-bit range, divisors of 2^63 and more included.
TEST(SupportFileCore, RoundedQuotientOverTheWholeRange)
{
    const unsigned long long Max = ~0ull;
    EXPECT_EQ(Max, RoundedQuotient(Max, 1));
    EXPECT_EQ(1u, RoundedQuotient(Max, Max));
    EXPECT_EQ(1u, RoundedQuotient(1ull << 63, Max));        // just over a half
    EXPECT_EQ(0u, RoundedQuotient((1ull << 63) - 1, Max));  // just under
    EXPECT_EQ(2u, RoundedQuotient(5, 2));                   // halves to even
    EXPECT_EQ(2u, RoundedQuotient(3ull << 62, 1ull << 63)); // 1.5 -> 2
    unsigned long long Seed = 12345;
    for (int Round = 0; Round < 20000; ++Round) {
        Seed = Seed * 6364136223846793005ull + 1442695040888963407ull;
        unsigned long long Dividend = Seed >> (Round % 64);
        Seed = Seed * 6364136223846793005ull + 1442695040888963407ull;
        unsigned long long Divisor = Seed >> (Round / 64 % 64);
        if (Round % 3 == 0) Divisor &= ~1ull; // even divisors give exact halves
        if (Divisor == 0) Divisor = 2;
        unsigned __int128 Twice = (unsigned __int128)(Dividend % Divisor) * 2;
        unsigned long long Expected = Dividend / Divisor;
        if (Twice > Divisor || (Twice == Divisor && (Expected & 1))) ++Expected;
        ASSERT_EQ(Expected, RoundedQuotient(Dividend, Divisor)) << Dividend << " / " << Divisor;
    }
}

TEST(SupportFileCore, DayOfYearKnowsLeapYears)
{
    EXPECT_EQ(61, DayOfYear(2024, 3, 1));
    EXPECT_EQ(60, DayOfYear(2023, 3, 1));
    EXPECT_EQ(60, DayOfYear(1900, 3, 1)); // divisible by 100: no leap year
    EXPECT_EQ(61, DayOfYear(2000, 3, 1)); // divisible by 400: leap year
    EXPECT_EQ(366, DayOfYear(2024, 12, 31));
    EXPECT_EQ(0, DayOfYear(2023, 2, 29));
    EXPECT_EQ(0, DayOfYear(2024, 13, 1));
}

TEST(SupportFileCore, TempNameFromTime)
{
    EXPECT_EQ("1FI3DRK0", S(TempNameFromTime(2024, 3, 1, 10, 0, 0, 0)));
    EXPECT_EQ("00100000", S(TempNameFromTime(2030, 1, 1, 0, 0, 0, 0)));
    // The largest values still give eight characters of 0-9 and A-V.
    Str Last = TempNameFromTime(2029, 12, 31, 23, 59, 59, 999);
    EXPECT_EQ(8, Last.Length());
    EXPECT_EQ(S(IntToBase(9 * 365 + 2 + 365, 3, 32)) + S(IntToBase(8639999, 5, 32)), S(Last));
    // Milliseconds count in hundredths.
    EXPECT_EQ(S(TempNameFromTime(2024, 3, 1, 10, 0, 0, 0)), S(TempNameFromTime(2024, 3, 1, 10, 0, 0, 9)));
    EXPECT_NE(S(TempNameFromTime(2024, 3, 1, 10, 0, 0, 0)), S(TempNameFromTime(2024, 3, 1, 10, 0, 0, 10)));
}

TEST(SupportFileCore, VersionWordsCompareNumerically)
{
    unsigned MS = 1, LS = 1;
    ParseVersionText("1.2.0.0", &MS, &LS);
    EXPECT_EQ(0x00010002u, MS);
    EXPECT_EQ(0u, LS);
    EXPECT_TRUE(VersionIsNewer(0x00010002, 1, MS, LS));       // 1.2.0.1
    EXPECT_FALSE(VersionIsNewer(0x00010002, 0, MS, LS));      // 1.2.0.0
    EXPECT_TRUE(VersionIsNewer(0x0001000A, 0, MS, LS));       // 1.10.0.0
    EXPECT_FALSE(VersionIsNewer(0x00010001, 0xFFFF, MS, LS)); // 1.1.0.65535

    ParseVersionText("2.x.3", &MS, &LS); // malformed and missing words count as 0
    EXPECT_EQ(0x00020000u, MS);
    EXPECT_EQ(0x00030000u, LS);
    ParseVersionText("", &MS, &LS);
    EXPECT_EQ(0u, MS);
    EXPECT_EQ(0u, LS);
    ParseVersionText("$A.1", &MS, &LS);
    EXPECT_EQ(0x000A0001u, MS);
    // Words compare as signed numbers: a major version of 0x8000 is below 1.
    EXPECT_FALSE(VersionIsNewer(0x80000000u, 0, 0x00010000, 0));
}

TEST(SupportFileCore, DosTimeToDateTime)
{
    EXPECT_DOUBLE_EQ(29221.0, DosTimeToDateTime(0x00210000)); // 1 Jan 1980 00:00
    // 1 March 2024 10:00:00: year 44, month 3, day 1; hour 10.
    unsigned DosTime = (44u << 25) | (3u << 21) | (1u << 16) | (10u << 11);
    EXPECT_DOUBLE_EQ(45352.0 + 10.0 / 24, DosTimeToDateTime(DosTime));
    // Seconds are kept in steps of two.
    EXPECT_DOUBLE_EQ(45352.0 + (10 * 3600 + 58) / 86400.0, DosTimeToDateTime(DosTime | 29));
    EXPECT_EQ(0.0, DosTimeToDateTime(0)); // month 0
    EXPECT_EQ(0.0, DosTimeToDateTime((44u << 25) | (2u << 21) | (30u << 16)));
}

TEST(SupportShellCore, OSInfoOfKnownSystems)
{
    OSInfoRecord Info;
    MakeOSInfo(PlatformWindows, 4, 10, 0x040A07CE, " A ", &Info);
    EXPECT_EQ(OSWin98, Info.Kind);
    EXPECT_EQ(1998, Info.Build);
    EXPECT_EQ("4.10", S(Info.VersionText));
    EXPECT_EQ("Windows 98 4.10.1998  A", S(Info.Description));

    MakeOSInfo(PlatformWindows, 4, 90, 0x045A0BB8, "", &Info);
    EXPECT_EQ(OSWin98, Info.Kind);
    EXPECT_EQ("4.90", S(Info.VersionText));

    MakeOSInfo(PlatformWindows, 4, 0, 0x04000457, "", &Info);
    EXPECT_EQ(OSWin95, Info.Kind);
    EXPECT_EQ(1111, Info.Build);
    EXPECT_EQ("Windows 95 4.0.1111", S(Info.Description));

    MakeOSInfo(PlatformNT, 4, 0, 1381, "Service Pack 6", &Info);
    EXPECT_EQ(OSWinNT, Info.Kind);
    EXPECT_EQ("4.0", S(Info.VersionText));
    EXPECT_EQ(1381, Info.Build);
    EXPECT_EQ("Windows NT 4.0.1381 Service Pack 6", S(Info.Description));

    MakeOSInfo(PlatformNT, 5, 1, 2600, "Service Pack 3", &Info);
    EXPECT_EQ(OSWin2000, Info.Kind);
    EXPECT_EQ("5.01", S(Info.VersionText));
    EXPECT_EQ(2600, Info.Build); // NT builds are kept whole

    MakeOSInfo(PlatformNT, 6, 1, 7601, "", &Info);
    EXPECT_EQ(OSWin2000, Info.Kind);
    EXPECT_EQ("Windows 2000 6.01.7601", S(Info.Description));

    MakeOSInfo(PlatformWin32s, 3, 10, 0x1F, nullptr, &Info);
    EXPECT_EQ(OSWin32s, Info.Kind);
    EXPECT_EQ("Windows 32s 3.10.0031", S(Info.Description)); // build to four digits
}

TEST(SupportFontSpec, DefaultsAndFailures)
{
    Str Face;
    int Size = 0, Color = 12345;
    FontStyles Styles = 99;
    EXPECT_TRUE(ParseFontSpec("Times New Roman,30,$FF0000,B", &Face, &Size, &Color, &Styles));
    EXPECT_EQ("Times New Roman", S(Face));
    EXPECT_EQ(30, Size);
    EXPECT_EQ(16711680, Color);
    EXPECT_EQ((FontStyles)FontBold, Styles);

    Color = 12345;
    EXPECT_FALSE(ParseFontSpec("Arial,,,", &Face, &Size, &Color, &Styles));
    EXPECT_EQ("Arial", S(Face));
    EXPECT_EQ(8, Size);
    EXPECT_EQ(12345, Color); // untouched: the caller keeps its default colour

    EXPECT_TRUE(ParseFontSpec("Arial,abc,255,bi", &Face, &Size, &Color, &Styles));
    EXPECT_EQ(8, Size);
    EXPECT_EQ(255, Color);
    EXPECT_EQ(0u, Styles);

    EXPECT_TRUE(ParseFontSpec("Arial,12,0,SUIBx", &Face, &Size, &Color, &Styles));
    EXPECT_EQ((FontStyles)(FontBold | FontItalic | FontUnderline | FontStrikeOut), Styles);

    EXPECT_FALSE(ParseFontSpec("Arial,12,red,B", &Face, &Size, &Color, &Styles));
    EXPECT_EQ((FontStyles)FontBold, Styles);
    EXPECT_FALSE(ParseFontSpec("", &Face, &Size, &Color, &Styles));
    EXPECT_EQ("", S(Face));

    // An empty field in the middle shifts the later ones forward.
    EXPECT_FALSE(ParseFontSpec("Arial,,$FF,B", &Face, &Size, &Color, &Styles));
    EXPECT_EQ(255, Size);
}

// Texts without a buffer of their own (new, empty, moved from) share one
// empty text: none of them may write it or free it.
TEST(StrEmpty, TextsWithoutABufferReadEmptyAndGrowApart)
{
    Str A, B((const char*)0), C("");
    EXPECT_STREQ("", A.c_str());
    EXPECT_STREQ("", B.c_str());
    A += "one";
    B.Append("two", 3);
    EXPECT_EQ("one", S(A));
    EXPECT_EQ("two", S(B));
    EXPECT_STREQ("", C.c_str());
    EXPECT_TRUE(C == Str());

    Str Moved((Str &&) A);
    EXPECT_EQ("one", S(Moved));
    EXPECT_STREQ("", A.c_str());
    EXPECT_EQ(0, A.Length());
    A += 'x';
    EXPECT_EQ("x", S(A));
    B = (Str &&) C; // B's buffer freed, C left empty
    EXPECT_STREQ("", B.c_str());
    C = "three";
    EXPECT_EQ("three", S(C));

    Str D;
    D.SyncLength();
    D.Truncate(0);
    EXPECT_STREQ("", D.c_str());
    D.Clear();
    EXPECT_STREQ("", D.c_str());
    char* Buffer = D.Reserve(4);
    Buffer[0] = 'a';
    Buffer[1] = 'b';
    D.SetLength(2);
    EXPECT_EQ("ab", S(D));
    D = D.c_str() + 1; // from inside its own buffer
    EXPECT_EQ("b", S(D));
    EXPECT_STREQ("", Str().c_str());
}

// A text past MaxTextLength, asked for at once or grown into by an append
// whose length sum would overflow an int, ends in OutOfMemory (exit code 1
// without a handler) before anything is allocated or copied.
TEST(StrLimits, TextsPastTheCapFailCleanly)
{
    EXPECT_EXIT(Str().Reserve(MaxTextLength + 1), ::testing::ExitedWithCode(1), "");
    EXPECT_EXIT(Str().Reserve(0x7FFFFFFF), ::testing::ExitedWithCode(1), "");
    static const char Bytes[16] = "0123456789";
    EXPECT_EXIT(Str("0123456789").Append(Bytes, 0x7FFFFFFF - 5), ::testing::ExitedWithCode(1), "");
    Str Small;
    EXPECT_NE(nullptr, Small.Reserve(1000));
    Small.Append("x");
    EXPECT_EQ("x", S(Small));
}

TEST(StrListPairs, SetValueReplacesInPlaceAndDeletesOnEmpty)
{
    StrList List;
    List.Add("A=1");
    List.Add("Path=X");
    List.Add("Plain");
    List.Add("path=second");
    List.SetValue("PATH", "Y");
    ASSERT_EQ(4, List.Count());
    EXPECT_EQ("PATH=Y", S(List.Get(1))); // first match, same place, new spelling
    EXPECT_EQ("path=second", S(List.Get(3)));
    EXPECT_EQ("Y", S(List.Value("path")));
    EXPECT_EQ(-1, List.IndexOfName("Plain")); // entries without "=" are passed over
    List.SetValue("path", "");
    EXPECT_EQ(3, List.Count());
    EXPECT_EQ("second", S(List.Value("Path")));
    List.SetValue("New", "v=w");
    EXPECT_EQ("New=v=w", S(List.Get(3)));
    EXPECT_EQ("v=w", S(List.Value("new")));
    List.SetValue("Missing", "");
    EXPECT_EQ(4, List.Count());
}

TEST(StrListPairs, SortIgnoresCaseAndKeepsEqualEntriesInOrder)
{
    StrList List;
    List.Add("rus=Russian");
    List.Add("ENU=English");
    List.Add("deu=German");
    List.Add("Enu=Second");
    List.Sort();
    EXPECT_EQ("deu=German", S(List.Get(0)));
    EXPECT_EQ("ENU=English", S(List.Get(1)));
    EXPECT_EQ("Enu=Second", S(List.Get(2)));
    EXPECT_EQ("rus=Russian", S(List.Get(3)));
}

// ---- the name index of long lists ----

// The lookup rule without an index: first entry whose name (text before the
// first "=", or the whole entry) equals Name ignoring ASCII case.
static int ReferenceIndexOfName(const std::vector<std::string>& Entries, const std::string& Name, bool WholeNames)
{
    for (size_t I = 0; I < Entries.size(); ++I) {
        size_t Eq = WholeNames ? Entries[I].size() : Entries[I].find('=');
        if (Eq == std::string::npos || Eq != Name.size()) continue;
        if (strncasecmp(Entries[I].c_str(), Name.c_str(), Eq) == 0) return (int)I;
    }
    return -1;
}

// Random edits of a long list, each followed by lookups, against the rule
// above: every kind of change must leave the index telling the truth.
static void CheckIndexAgainstReference(bool WholeNames, unsigned Seed)
{
    SCOPED_TRACE("seed " + std::to_string(Seed) + (WholeNames ? ", whole names" : ", pairs"));
    srand(Seed);
    StrList List(WholeNames);
    std::vector<std::string> Reference;
    auto RandomName = [] {
        // Few distinct names, so duplicates and case variants are common.
        std::string Name = "Dir\\File" + std::to_string(rand() % 300);
        if (rand() % 3 == 0) Name[0] = 'd';
        if (rand() % 4 == 0) Name += "=Old"; // a name with "=" (whole names only)
        return Name;
    };
    auto RandomEntry = [&] {
        std::string Name = RandomName();
        if (WholeNames) return Name;
        if (rand() % 10 == 0) return Name.substr(0, Name.find('=')); // no "=": no name
        return Name + "=" + std::to_string(rand() % 5);
    };
    for (int Step = 0; Step < 3000; ++Step) {
        int Action = rand() % 100;
        int Where = Reference.empty() ? 0 : rand() % (int)Reference.size();
        if (Action < 60) {
            std::string Entry = RandomEntry();
            List.Add(Entry.c_str());
            Reference.push_back(Entry);
        } else if (Action < 70) {
            std::string Entry = RandomEntry();
            List.Insert(Where, Entry.c_str());
            Reference.insert(Reference.begin() + Where, Entry);
        } else if (Action < 78 && !Reference.empty()) {
            List.Delete(Where);
            Reference.erase(Reference.begin() + Where);
        } else if (Action < 88 && !Reference.empty()) {
            std::string Entry = RandomEntry();
            List.Set(Where, Entry.c_str());
            Reference[Where] = Entry;
        } else if (Action < 98 && !WholeNames) {
            std::string Name = RandomName();
            Name = Name.substr(0, Name.find('='));
            std::string Value = rand() % 4 ? std::to_string(rand() % 5) : "";
            List.SetValue(Name.c_str(), Value.c_str());
            int Found = ReferenceIndexOfName(Reference, Name, false);
            if (Value.empty()) {
                if (Found >= 0) Reference.erase(Reference.begin() + Found);
            } else if (Found >= 0) {
                Reference[Found] = Name + "=" + Value;
            } else {
                Reference.push_back(Name + "=" + Value);
            }
        } else if (Action == 99) {
            List.Clear();
            Reference.clear();
        }
        for (int Probe = 0; Probe < 3; ++Probe) {
            std::string Name = RandomName();
            if (!WholeNames) Name = Name.substr(0, Name.find('='));
            ASSERT_EQ(ReferenceIndexOfName(Reference, Name, WholeNames), List.IndexOfName(Name.c_str()))
                << "step " << Step << ", name " << Name;
        }
    }
    ASSERT_EQ((int)Reference.size(), List.Count());
    for (size_t I = 0; I < Reference.size(); ++I) ASSERT_EQ(Reference[I], S(List.Get((int)I)));
}

TEST(StrListIndex, LookupsAgreeWithAPlainScanThroughEveryKindOfChange)
{
    for (unsigned Seed = 1; Seed <= 4; ++Seed) {
        CheckIndexAgainstReference(false, Seed);
        CheckIndexAgainstReference(true, Seed);
    }
}

TEST(StrListIndex, FirstOfSeveralEqualNamesWinsAlsoAfterSorting)
{
    StrList List;
    for (int I = 0; I < 50; ++I) List.Add(("Key" + std::to_string(I) + "=v").c_str());
    List.Add("key7=second");
    List.Insert(0, "KEY7=first");
    EXPECT_EQ(0, List.IndexOfName("Key7"));
    EXPECT_EQ("first", S(List.Value("key7")));
    List.Sort(); // stable: "KEY7=first" stays before "key7=second"
    EXPECT_EQ("first", S(List.Value("KEY7")));
    EXPECT_EQ("KEY7=first", S(List.Get(List.IndexOfName("Key7"))));
}

TEST(StrListIndex, WholeNamesKeepEqualsSignsInTheName)
{
    StrList Paths(true);
    Paths.Add("C:\\Tools=Old\\File.txt");
    Paths.Add("C:\\Tools");
    EXPECT_EQ(0, Paths.IndexOfName("c:\\tools=old\\file.txt"));
    EXPECT_EQ(1, Paths.IndexOfName("C:\\TOOLS"));
    EXPECT_EQ(-1, Paths.IndexOfName("C:\\Tools=Old"));
    EXPECT_EQ("C:\\Tools=Old\\File.txt", S(Paths.NameAt(0)));
    EXPECT_EQ("", S(Paths.ValueAt(0)));

    StrList Pairs;
    Pairs.Add("C:\\Tools=Old\\File.txt");
    EXPECT_EQ(0, Pairs.IndexOfName("C:\\Tools"));
    EXPECT_EQ(-1, Pairs.IndexOfName("C:\\Tools=Old\\File.txt"));
}

TEST(StrListIndex, CaseInsensitiveComparisonOrdersByUpperCase)
{
    EXPECT_EQ(0, AnsiCompareText("Data\\File.TXT", "data\\file.txt"));
    EXPECT_LT(AnsiCompareText("abc", "ABD"), 0);
    EXPECT_GT(AnsiCompareText("abcd", "ABC"), 0);
    EXPECT_LT(AnsiCompareText("", "a"), 0);
    // "_" (0x5F) sorts after the upper-case letters, as under the mapping.
    EXPECT_GT(AnsiCompareText("_", "a"), 0);
}

TEST(SupportFileCore, FolderOfPathKeepsRootsAndDriveForms)
{
    EXPECT_EQ("C:\\App\\Doc", S(FolderOfPath("C:\\App\\Doc\\Readme.txt")));
    EXPECT_EQ("C:\\", S(FolderOfPath("C:\\Readme.txt")));
    EXPECT_EQ("C:", S(FolderOfPath("C:Readme.txt")));
    EXPECT_EQ("\\", S(FolderOfPath("\\Readme.txt")));
    EXPECT_EQ("\\\\Server\\Share", S(FolderOfPath("\\\\Server\\Share\\Readme.txt")));
    EXPECT_EQ("Sub", S(FolderOfPath("Sub\\Readme.txt")));
    EXPECT_EQ(".", S(FolderOfPath("Readme.txt")));
}

TEST(SupportFileCore, FullPathsNeedADriveOrAServerAndShare)
{
    EXPECT_TRUE(IsFullPath("C:\\Program Files\\Demo"));
    EXPECT_TRUE(IsFullPath("d:\\"));
    EXPECT_TRUE(IsFullPath("E:/Games"));
    EXPECT_TRUE(IsFullPath("\\\\Server\\Share"));
    EXPECT_TRUE(IsFullPath("\\\\Server\\Share\\Demo"));
    EXPECT_FALSE(IsFullPath(""));
    EXPECT_FALSE(IsFullPath("Demo"));
    EXPECT_FALSE(IsFullPath("Demo\\Sub"));
    EXPECT_FALSE(IsFullPath("\\Demo")); // rooted, no drive
    EXPECT_FALSE(IsFullPath("C:Demo")); // relative to the drive's folder
    EXPECT_FALSE(IsFullPath("C:"));
    EXPECT_FALSE(IsFullPath(" C:\\Demo")); // a blank is no drive
    EXPECT_FALSE(IsFullPath("1:\\Demo"));
    EXPECT_FALSE(IsFullPath("\\\\Server"));
    EXPECT_FALSE(IsFullPath("\\\\Server\\"));
    EXPECT_FALSE(IsFullPath("\\\\\\Share"));
    EXPECT_FALSE(IsFullPath("\\\\Server\\\\Share"));
}
