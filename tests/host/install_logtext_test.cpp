// The installation log's text in memory: where new keys go, which keys count
// as present, and that paths holding "=" read back exactly.
#include <gtest/gtest.h>

#include <string>

#include "LogText.h"

static std::string S(const Str& Text) { return std::string(Text.c_str(), (size_t)Text.Length()); }

static std::string Loaded(LogText* Log, const std::string& Text)
{
    LogTextLoad(Log, Text.data(), (int)Text.size());
    return S(LogTextJoin(Log));
}

TEST(InstallLogText, NewLogGetsItsSectionsInTheOrderOfTheirFirstEntries)
{
    LogText Log;
    EXPECT_EQ("", Loaded(&Log, ""));
    EXPECT_TRUE(LogTextSet(&Log, LogCopyFileSection, "C:\\App\\Demo.txt", ""));
    EXPECT_TRUE(LogTextSet(&Log, LogAddRegSection, "HKCU\\Software\\Demo\\Path", "C:\\App"));
    EXPECT_TRUE(LogTextSet(&Log, LogCopyFileSection, "C:\\App\\Doc\\Guide.txt", ""));
    EXPECT_TRUE(LogTextSet(&Log, LogAddRegSection, "HKCU\\Software\\Demo\\Runs", "#0"));
    EXPECT_EQ("[CopyFile]\r\nC:\\App\\Demo.txt=\r\nC:\\App\\Doc\\Guide.txt=\r\n"
              "[AddReg]\r\nHKCU\\Software\\Demo\\Path=C:\\App\r\nHKCU\\Software\\Demo\\Runs=#0\r\n",
              S(LogTextJoin(&Log)));
}

TEST(InstallLogText, ExistingTextStaysAndNewKeysFollowTheLastKeyOfTheirSection)
{
    LogText Log;
    // LF line ends, blanks, a comment, another section and a final line
    // without its end: all of it stays (with CR LF line ends).
    Loaded(&Log, "; old log\n[copyfile]\nC:\\Old\\A.txt=\n\n[Other]\nKeep=1\n[AddReg]\nHKCU\\X=1");
    EXPECT_TRUE(LogTextSet(&Log, LogCopyFileSection, "C:\\App\\B.txt", ""));
    EXPECT_TRUE(LogTextSet(&Log, LogAddRegSection, "HKCU\\Y", "2"));
    EXPECT_TRUE(LogTextSet(&Log, LogCopyFileSection, "C:\\App\\C.txt", ""));
    EXPECT_EQ("; old log\r\n[copyfile]\r\nC:\\Old\\A.txt=\r\nC:\\App\\B.txt=\r\nC:\\App\\C.txt=\r\n\r\n"
              "[Other]\r\nKeep=1\r\n[AddReg]\r\nHKCU\\X=1\r\nHKCU\\Y=2\r\n",
              S(LogTextJoin(&Log)));
}

TEST(InstallLogText, KnownKeysKeepTheirPlace)
{
    LogText Log;
    Loaded(&Log, "[CopyFile]\r\nC:\\App\\Demo.txt=\r\n[AddReg]\r\nHKCU\\Demo\\Path=Old\r\nHKCU\\Demo\\Keep=1\r\n");
    // A file installed again (any case): one line, unchanged.
    EXPECT_FALSE(LogTextSet(&Log, LogCopyFileSection, "c:\\app\\DEMO.TXT", ""));
    // A value written again: the new data where the key stands, its spelling kept.
    EXPECT_TRUE(LogTextSet(&Log, LogAddRegSection, "hkcu\\demo\\path", "New"));
    EXPECT_FALSE(LogTextSet(&Log, LogAddRegSection, "HKCU\\Demo\\Keep", "1"));
    EXPECT_EQ("[CopyFile]\r\nC:\\App\\Demo.txt=\r\n[AddReg]\r\nHKCU\\Demo\\Path=New\r\nHKCU\\Demo\\Keep=1\r\n",
              S(LogTextJoin(&Log)));
}

TEST(InstallLogText, PathsHoldingEqualsSignsReadBackExactly)
{
    LogText Log;
    Loaded(&Log, "");
    const char* Paths[] = {"C:\\Tools=Old\\file.txt", "C:\\Tools", "C:\\Tools=Old\\other.txt", "C:\\a=b=c\\d.txt"};
    for (const char* Path : Paths) EXPECT_TRUE(LogTextSet(&Log, LogCopyFileSection, Path, ""));
    EXPECT_FALSE(LogTextSet(&Log, LogCopyFileSection, "C:\\TOOLS=OLD\\FILE.TXT", ""));
    ASSERT_EQ(5, Log.Lines.Count());
    for (int Index = 0; Index < 4; ++Index)
        EXPECT_EQ(Paths[Index], S(LogLineKey(Log.Lines.Get(Index + 1), LogCopyFileSection)));

    // Read back from the file's text, the same keys again.
    LogText Again;
    Loaded(&Again, S(LogTextJoin(&Log)));
    for (const char* Path : Paths) EXPECT_FALSE(LogTextSet(&Again, LogCopyFileSection, Path, ""));
    EXPECT_TRUE(LogTextSet(&Again, LogCopyFileSection, "C:\\Tools=Old", ""));
}

TEST(InstallLogText, LineKeysDropBlanksAndOneFinalEquals)
{
    EXPECT_EQ("C:\\A.txt", S(LogLineKey(" C:\\A.txt = ", LogCopyFileSection)));
    EXPECT_EQ("C:\\A=", S(LogLineKey("C:\\A==", LogCopyFileSection)));
    EXPECT_EQ("C:\\Plain", S(LogLineKey("C:\\Plain", LogCopyFileSection)));
    EXPECT_EQ("HKCU\\X", S(LogLineKey("HKCU\\X = a=b", LogAddRegSection)));
}

TEST(InstallLogText, OnlyTheFirstSectionOfANameTakesKeys)
{
    LogText Log;
    Loaded(&Log, "[CopyFile]\r\nA=\r\n[CopyFile]\r\nB=\r\n");
    EXPECT_TRUE(LogTextSet(&Log, LogCopyFileSection, "B", ""));
    EXPECT_FALSE(LogTextSet(&Log, LogCopyFileSection, "A", ""));
    EXPECT_EQ("[CopyFile]\r\nA=\r\nB=\r\n[CopyFile]\r\nB=\r\n", S(LogTextJoin(&Log)));
}

TEST(InstallLogText, ManyEntriesStayInOrder)
{
    // 20,000 files into a log that has an [AddReg] section after [CopyFile].
    LogText Log;
    Loaded(&Log, "[CopyFile]\r\n[AddReg]\r\nHKCU\\X=1\r\n");
    for (int Index = 0; Index < 20000; ++Index)
        ASSERT_TRUE(LogTextSet(&Log, LogCopyFileSection, ("C:\\App\\F" + std::to_string(Index)).c_str(), ""));
    EXPECT_FALSE(LogTextSet(&Log, LogCopyFileSection, "c:\\app\\f123", ""));
    ASSERT_EQ(20003, Log.Lines.Count());
    EXPECT_EQ("C:\\App\\F0=", S(Log.Lines.Get(1)));
    EXPECT_EQ("C:\\App\\F19999=", S(Log.Lines.Get(20000)));
    EXPECT_EQ("[AddReg]", S(Log.Lines.Get(20001)));
}
