// INI reading rules and section merging through the private-profile calls,
// and registry values named by path texts, under Wine.
#include <gtest/gtest.h>

#include <algorithm>

#include "SupportWinTest.h"
#include "oxRegIni.h"

static std::string S(const Str& Text) { return std::string(Text.c_str(), (size_t)Text.Length()); }

static std::vector<std::string> Items(const StrList& List)
{
    std::vector<std::string> Result;
    for (int I = 0; I < List.Count(); ++I) Result.push_back(S(List.Get(I)));
    return Result;
}

class SupportIniFileTest : public ::testing::Test {
protected:
    ScratchDir Dir;
    std::string File = Dir / "Tarn.ini";
    const char* F() const { return File.c_str(); }
};

TEST_F(SupportIniFileTest, StringsLoseQuotesAndBlanksAndFallBackOnlyWhenAbsent)
{
    WriteTextFile(File, "[Config]\r\n"
                        "Quoted=\"Tarn Demo\"\r\n"
                        "Single='x y'\r\n"
                        "  Spaced  =   value with inner  blanks   \r\n"
                        "Empty=\r\n"
                        "Pair=a=b=c\r\n"
                        "Dup=first\r\n"
                        "Dup=second\r\n");
    EXPECT_EQ("Tarn Demo", S(IniReadString(F(), "Config", "Quoted", "d")));
    EXPECT_EQ("x y", S(IniReadString(F(), "Config", "Single", "d")));
    EXPECT_EQ("value with inner  blanks", S(IniReadString(F(), "config", "SPACED", "d")));
    EXPECT_EQ("", S(IniReadString(F(), "Config", "Empty", "default")));
    EXPECT_EQ("a=b=c", S(IniReadString(F(), "Config", "Pair", "")));
    EXPECT_EQ("first", S(IniReadString(F(), "Config", "Dup", "")));
    EXPECT_EQ("default", S(IniReadString(F(), "Config", "Missing", "default")));
    EXPECT_EQ("", S(IniReadString(F(), "Config", "Missing", nullptr)));
    EXPECT_EQ("default", S(IniReadString(F(), "NoSection", "Quoted", "default")));
    EXPECT_EQ("default", S(IniReadString((Dir / "missing.ini").c_str(), "Config", "Quoted", "default")));
}

TEST_F(SupportIniFileTest, LongValuesAreCutTo1023Characters)
{
    std::string Long(3000, 'v');
    WriteTextFile(File, "[S]\r\nLong=" + Long + "\r\nAfter=ok\r\n");
    Str Value = IniReadString(F(), "S", "Long", "");
    EXPECT_EQ(1023, Value.Length());
    EXPECT_EQ(std::string(1023, 'v'), S(Value));
    EXPECT_EQ("ok", S(IniReadString(F(), "S", "After", "")));
}

TEST_F(SupportIniFileTest, BooleansAreTrueOnlyForOne)
{
    WriteTextFile(File, "[D]\r\nOne=1\r\nYes=yes\r\nTrue=true\r\nZeroOne=01\r\nTwo=2\r\nEmpty=\r\nZero=0\r\n");
    EXPECT_TRUE(IniReadBool(F(), "D", "One", false));
    for (const char* Key : {"Yes", "True", "ZeroOne", "Two", "Empty", "Zero"}) {
        EXPECT_FALSE(IniReadBool(F(), "D", Key, true)) << Key;
    }
    EXPECT_TRUE(IniReadBool(F(), "D", "Absent", true));
    EXPECT_FALSE(IniReadBool(F(), "D", "Absent", false));
}

TEST_F(SupportIniFileTest, IntegersAndColoursInDecimalOrDollarHex)
{
    WriteTextFile(File, "[Display]\r\n"
                        "Hex=$FF8000\r\nDec=12632256\r\nBad=12a\r\nCHex=0x10\r\n"
                        "Sys=$8000000F\r\nSys5=$80000005\r\nNeg=-5\r\nEmpty=\r\nBlanks=  7  \r\n");
    EXPECT_EQ(16744448, IniReadColor(F(), "Display", "Hex", 1));
    EXPECT_EQ(12632256, IniReadColor(F(), "Display", "Dec", 1));
    EXPECT_EQ(1, IniReadColor(F(), "Display", "Bad", 1));
    EXPECT_EQ(1, IniReadColor(F(), "Display", "CHex", 1));
    EXPECT_EQ(-2147483633, IniReadColor(F(), "Display", "Sys", 1));
    EXPECT_EQ(-2147483643, IniReadColor(F(), "Display", "Sys5", 1));
    EXPECT_EQ(-5, IniReadInteger(F(), "Display", "Neg", 1));
    EXPECT_EQ(9, IniReadInteger(F(), "Display", "Empty", 9));
    EXPECT_EQ(7, IniReadInteger(F(), "Display", "Blanks", 9)); // the profile reader trims
    EXPECT_EQ(-2147483633, IniReadColor(F(), "Display", "Absent", -2147483633));
    EXPECT_EQ(12632256, IniReadColor(F(), "Display", "Absent", 12632256));
}

// The section as the profile calls give it key by key: the key names in
// file order, each read on its own (the way the section reader once worked).
static std::vector<std::string> KeyByKey(const std::string& File, const char* Section)
{
    std::vector<char> Names(1 << 20);
    DWORD Length = GetPrivateProfileStringA(Section, nullptr, "", Names.data(), (DWORD)Names.size(), File.c_str());
    std::vector<std::string> Lines;
    for (DWORD Pos = 0; Pos < Length && Names[Pos];) {
        std::string Name(&Names[Pos]);
        Pos += (DWORD)Name.size() + 1;
        char Value[1024];
        GetPrivateProfileStringA(Section, Name.c_str(), "", Value, sizeof(Value), File.c_str());
        Lines.push_back(Name + "=" + Value);
    }
    return Lines;
}

TEST_F(SupportIniFileTest, SectionReadWholeGivesWhatKeyByKeyReadingGives)
{
    std::string Long(1500, 'v');
    WriteTextFile(File, "[Group]\r\n"
                        "One=1\r\n"
                        "  Spaced  =   inner  blanks   \r\n"
                        "Quoted=\"with blanks \"\r\n"
                        "Single='x'\r\n"
                        "Half=\"open\r\n"
                        "Empty=\r\n"
                        "; a comment=with equals\r\n"
                        "NoEquals\r\n"
                        "Tabbed\t=\tvalue\t\r\n"
                        "Equals=a=b=c\r\n"
                        "one=second of its name\r\n"
                        "Long=" +
                            Long +
                            "\r\n"
                            "Last=end\r\n"
                            "[Other]\r\nX=1\r\n");
    StrList List;
    IniReadSection(F(), "Group", &List);
    // The merge of the key-by-key lines: a known name is replaced in place
    // (its value is the first key's), an empty value deletes it.
    std::vector<std::string> Expected;
    for (const std::string& Line : KeyByKey(File, "Group")) {
        std::string Name = Line.substr(0, Line.find('='));
        auto Known = std::find_if(Expected.begin(), Expected.end(), [&](const std::string& Earlier) {
            return _stricmp(Earlier.substr(0, Earlier.find('=')).c_str(), Name.c_str()) == 0;
        });
        if (Known == Expected.end())
            Expected.push_back(Line);
        else if (Line.size() > Name.size() + 1)
            *Known = Line;
        else
            Expected.erase(Known);
    }
    EXPECT_EQ(Expected, Items(List));
    EXPECT_EQ("one=1", S(List.Get(0))); // the second "one" has the first one's value
    EXPECT_EQ("Long=" + Long.substr(0, 1023), S(List.Get(List.IndexOfName("Long"))));
}

TEST_F(SupportIniFileTest, LongSectionsLoseNoKeys)
{
    // 20,000 entries: well over the 16 KiB of a first read.
    std::string Text = "[CopyFile]\r\n";
    for (int I = 0; I < 20000; ++I) {
        char Line[64];
        snprintf(Line, sizeof(Line), "Dir\\File%011d.txt=x%d\r\n", I, I);
        Text += Line;
    }
    WriteTextFile(File, Text);
    StrList List;
    IniReadSection(F(), "CopyFile", &List);
    ASSERT_EQ(20000, List.Count());
    EXPECT_EQ("Dir\\File00000000000.txt=x0", S(List.Get(0)));
    EXPECT_EQ("Dir\\File00000019999.txt=x19999", S(List.Get(19999)));
    EXPECT_EQ(12345, List.IndexOfName("dir\\file00000012345.TXT"));
}

TEST_F(SupportIniFileTest, SectionMergeAddsReplacesInPlaceAndDeletes)
{
    WriteTextFile(File, "[Variables]\r\nPath=A\r\nOther=1\r\nKeep=k\r\n"
                        "[Variables.RUS]\r\npath=B\r\nOther=\r\nX=\r\n");
    StrList List;
    IniReadSection(F(), "Variables", &List);
    EXPECT_EQ((std::vector<std::string>{"Path=A", "Other=1", "Keep=k"}), Items(List));
    IniReadSection(F(), "Variables.RUS", &List);
    // path=B replaces at the same place with this section's spelling, the
    // empty Other deletes its entry, the new empty X is added at the end.
    EXPECT_EQ((std::vector<std::string>{"path=B", "Keep=k", "X="}), Items(List));
    IniReadSection(F(), "Missing", &List);
    EXPECT_EQ(3, List.Count());
}

// What the platform writes, the reading calls read back.
static bool IniWriteString(const char* File, const char* Section, const char* Key, const char* Value)
{
    return WritePrivateProfileStringA(Section, Key, Value, File) != FALSE;
}

TEST_F(SupportIniFileTest, WritesReadBack)
{
    EXPECT_TRUE(IniWriteString(F(), "CopyFile", "C:\\App\\a.txt", "1"));
    EXPECT_TRUE(IniWriteString(F(), "CopyFile", "Empty", ""));
    EXPECT_TRUE(IniWriteString(F(), "CopyFile", "C:\\App\\a.txt", "2")); // replaces
    EXPECT_EQ("2", S(IniReadString(F(), "CopyFile", "C:\\App\\a.txt", "")));
    StrList Keys;
    IniReadSection(F(), "CopyFile", &Keys);
    EXPECT_EQ((std::vector<std::string>{"C:\\App\\a.txt=2", "Empty="}), Items(Keys));
    EXPECT_FALSE(IniWriteString((Dir / "no\\such\\dir\\x.ini").c_str(), "S", "K", "V"));
}

// ---- registry ----

class SupportRegistryTest : public ::testing::Test {
protected:
    std::string KeyPath; // below HKEY_CURRENT_USER
    std::string Base;    // "HKCU\" + KeyPath + "\"
    void SetUp() override
    {
        char Name[64];
        snprintf(Name, sizeof(Name), "Software\\TarnSupportTest%lu", GetCurrentProcessId());
        KeyPath = Name;
        Base = "HKCU\\" + KeyPath + "\\";
        RegDeleteTreeA(HKEY_CURRENT_USER, KeyPath.c_str());
    }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, KeyPath.c_str()); }
    std::string P(const std::string& Rest) const { return Base + Rest; }
};

TEST(SupportRegistryPaths, SplitIntoRootKeyAndValue)
{
    HKEY Root;
    Str SubKey, Value;
    SplitRegPath("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ProgramFilesDir", &Root, &SubKey, &Value);
    EXPECT_EQ(HKEY_LOCAL_MACHINE, Root);
    EXPECT_EQ("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", S(SubKey));
    EXPECT_EQ("ProgramFilesDir", S(Value));

    SplitRegPath("HKCR\\.txt\\", &Root, &SubKey, &Value);
    EXPECT_EQ(HKEY_CLASSES_ROOT, Root);
    EXPECT_EQ(".txt", S(SubKey));
    EXPECT_EQ("", S(Value));

    SplitRegPath("HKCU\\Software\\App:Name", &Root, &SubKey, &Value); // a colon also starts the value name
    EXPECT_EQ(HKEY_CURRENT_USER, Root);
    EXPECT_EQ("Software\\App:", S(SubKey));
    EXPECT_EQ("Name", S(Value));

    for (const char* NoRoot :
         {"hklm\\Software\\X", "HKLM\\Value", "HKEY_LOCAL_MACHINE\\Software\\X", "Software\\X", "", "HKLM"}) {
        SplitRegPath(NoRoot, &Root, &SubKey, &Value);
        EXPECT_EQ((HKEY)0, Root) << NoRoot;
    }
}

TEST_F(SupportRegistryTest, StringsAndIntegersRoundTrip)
{
    EXPECT_FALSE(RegValueExists(P("Text").c_str()));
    EXPECT_TRUE(RegWriteString(P("Sub\\Deeper\\Text").c_str(), "C:\\Program Files\\Tarn"));
    EXPECT_EQ("C:\\Program Files\\Tarn", S(RegReadString(P("Sub\\Deeper\\Text").c_str(), "d")));
    EXPECT_TRUE(RegValueExists(P("Sub\\Deeper\\Text").c_str()));

    EXPECT_TRUE(RegWriteInteger(P("Number").c_str(), -2));
    DWORD Data = 0, Size = sizeof(Data), Type = 0;
    HKEY Key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_CURRENT_USER, KeyPath.c_str(), &Key));
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(Key, "Number", nullptr, &Type, (BYTE*)&Data, &Size));
    EXPECT_EQ((DWORD)REG_DWORD, Type);
    EXPECT_EQ(0xFFFFFFFEu, Data);

    // The empty text is one zero byte, and reads back empty (not the default).
    EXPECT_TRUE(RegWriteString(P("Empty").c_str(), ""));
    Size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(Key, "Empty", nullptr, &Type, nullptr, &Size));
    EXPECT_EQ(1u, Size);
    EXPECT_EQ("", S(RegReadString(P("Empty").c_str(), "default")));
    RegCloseKey(Key);

    BYTE Raw[16];
    DWORD RawSize = sizeof(Raw);
    EXPECT_TRUE(RegReadValue(P("Number").c_str(), REG_DWORD, Raw, &RawSize));
    EXPECT_EQ(4u, RawSize);
    RawSize = 2; // too small: no overrun, failure
    EXPECT_FALSE(RegReadValue(P("Sub\\Deeper\\Text").c_str(), REG_SZ, Raw, &RawSize));
}

TEST_F(SupportRegistryTest, TrailingBackslashNamesTheDefaultValue)
{
    EXPECT_TRUE(RegWriteString(P("Sub\\").c_str(), "unnamed"));
    EXPECT_EQ("unnamed", S(RegReadString(P("Sub\\").c_str(), "d")));
    EXPECT_TRUE(RegValueExists(P("Sub\\").c_str()));
    EXPECT_EQ("d", S(RegReadString(P("Sub\\Missing").c_str(), "d")));
}

TEST_F(SupportRegistryTest, UnknownRootsReadDefaultAndWriteNothing)
{
    std::string Lower = "hkcu\\" + KeyPath + "\\Value";
    EXPECT_FALSE(RegWriteString(Lower.c_str(), "x"));
    EXPECT_FALSE(RegWriteInteger(Lower.c_str(), 1));
    EXPECT_FALSE(RegValueExists(Lower.c_str()));
    EXPECT_EQ("d", S(RegReadString(Lower.c_str(), "d")));
    HKEY Key;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyA(HKEY_CURRENT_USER, KeyPath.c_str(), &Key));
    // The same path with the right prefix works.
    EXPECT_TRUE(RegWriteString(P("Value").c_str(), "x"));
    EXPECT_EQ("d", S(RegReadString(Lower.c_str(), "d")));
}

TEST_F(SupportRegistryTest, StringsOfMoreThan1024BytesGiveTheDefault)
{
    std::string Long(1500, 'L');
    ASSERT_TRUE(RegWriteString(P("Long").c_str(), Long.c_str()));
    EXPECT_EQ("d", S(RegReadString(P("Long").c_str(), "d")));
    std::string Fits(1023, 'F');
    ASSERT_TRUE(RegWriteString(P("Fits").c_str(), Fits.c_str()));
    EXPECT_EQ(Fits, S(RegReadString(P("Fits").c_str(), "d")));
}

TEST_F(SupportRegistryTest, TextStoredWithoutTerminatorKeepsItsLastCharacter)
{
    ASSERT_TRUE(RegWriteValue(P("Raw").c_str(), REG_SZ, "abc", 3));
    EXPECT_EQ("abc", S(RegReadString(P("Raw").c_str(), "d")));
}

TEST_F(SupportRegistryTest, SubKeysOfTheKeyTheWholePathNames)
{
    ASSERT_TRUE(RegWriteString(P("Delphi\\5.0\\RootDir").c_str(), "a"));
    ASSERT_TRUE(RegWriteString(P("Delphi\\7.0\\RootDir").c_str(), "b"));
    StrList Keys;
    Keys.Add("stale");
    RegReadSubKeys(P("Delphi").c_str(), &Keys);
    EXPECT_EQ((std::vector<std::string>{"5.0", "7.0"}), Items(Keys));
    RegReadSubKeys(P("Delphi\\").c_str(), &Keys);
    EXPECT_EQ(2, Keys.Count());
    RegReadSubKeys(P("Nothing").c_str(), &Keys);
    EXPECT_EQ(0, Keys.Count());
}

TEST(SupportRegistrySystem, ReadsTheProgramFilesFolder)
{
    Str Dir = RegReadString("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ProgramFilesDir", "");
    EXPECT_FALSE(Dir.Empty());
    EXPECT_TRUE(RegValueExists("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ProgramFilesDir"));
    EXPECT_FALSE(RegValueExists("hklm\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ProgramFilesDir"));
}
