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

// ---- what the uninstaller reads back ----

static bool ReadRecord(const std::string& Text, UninstallRecord* Record)
{
    return ReadUninstallRecord(Text.data(), (int)Text.size(), Record);
}

static std::string Joined(const StrList& List)
{
    std::string Text;
    for (int Index = 0; Index < List.Count(); ++Index) Text += S(List.Get(Index)) + "|";
    return Text;
}

TEST(InstallUninstallRecord, ReadsEverySectionInFileOrderAndPathsWithEqualsWhole)
{
    // A log as two installations into one folder leave it, new sections
    // written through LogTextSet as the installation writes them.
    LogText Log;
    Loaded(&Log, "[CopyFile]\r\nC:\\Tools=Old\\A.txt=\r\n[AddReg]\r\nHKCU\\Software\\T\\Path=C:\\Tools=Old\r\n");
    LogTextSet(&Log, LogMakeDirSection, "C:\\Tools=Old", "");
    LogTextSet(&Log, LogMakeDirSection, "C:\\Tools=Old\\Doc", "");
    LogTextSet(&Log, LogMakeDirSection, "C:\\Tools=Old", ""); // the second run's folder: once
    LogTextSet(&Log, LogCopyFileSection, "C:\\Tools=Old\\Doc\\B.txt", "");
    LogTextSet(&Log, LogUninstallSection, "Key", "Old Tools");
    LogTextSet(&Log, LogUninstallSection, "Root", "HKCU");
    LogTextSet(&Log, LogUninstallSection, "Language", "ENU");
    LogTextSet(&Log, LogUninstallSection, "Language", "RUS"); // the last run's language wins
    std::string Text = S(LogTextJoin(&Log));

    UninstallRecord Record;
    ASSERT_TRUE(ReadRecord(Text, &Record)) << Text;
    EXPECT_EQ("C:\\Tools=Old\\A.txt|C:\\Tools=Old\\Doc\\B.txt|", Joined(Record.Files));
    EXPECT_EQ("HKCU\\Software\\T\\Path|", Joined(Record.Values));
    EXPECT_EQ("C:\\Tools=Old|C:\\Tools=Old\\Doc|", Joined(Record.Folders));
    EXPECT_EQ("Old Tools", S(Record.Key));
    EXPECT_EQ("HKCU", S(Record.Root));
    EXPECT_EQ("RUS", S(Record.Language));
}

TEST(InstallUninstallRecord, DamagedRecordsAreRefused)
{
    const std::string Good = "[Uninstall]\r\nKey=Demo\r\nRoot=HKLM\r\n[CopyFile]\r\nC:\\App\\A.txt=\r\n";
    UninstallRecord Record;
    EXPECT_TRUE(ReadRecord(Good, &Record));
    const char* const Damaged[] = {
        "",                                                                            // empty (or missing) file
        "[CopyFile]\r\nC:\\App\\A.txt=\r\n",                                           // an older log: no [Uninstall]
        "[Uninstall]\r\nKey=\r\nRoot=HKLM\r\n",                                        // no key name
        "[Uninstall]\r\nKey=A\\B\r\nRoot=HKLM\r\n",                                    // a path of keys
        "[Uninstall]\r\nKey=Demo\r\nRoot=HKCR\r\n",                                    // a root the entry never has
        "[Uninstall]\r\nKey=Demo\r\nRoot=HKLM\r\n[CopyFile]\r\nApp\\A.txt=\r\n",       // relative file
        "[Uninstall]\r\nKey=Demo\r\nRoot=HKLM\r\n[MakeDir]\r\n\\App=\r\n",             // rootless folder
        "[Uninstall]\r\nKey=Demo\r\nRoot=HKLM\r\n[AddReg]\r\nHKXX\\Software\\V=1\r\n", // unknown root
        "[Uninstall]\r\nKey=Demo\r\nRoot=HKLM\r\n[AddReg]\r\nHKLM\\=1\r\n",            // no key at all
    };
    for (const char* Text : Damaged) EXPECT_FALSE(ReadRecord(Text, &Record)) << Text;
    std::string WithZero = Good;
    WithZero[20] = 0;
    EXPECT_FALSE(ReadRecord(WithZero, &Record));
}
