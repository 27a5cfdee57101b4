// Variables, numbered texts and dialog texts against setup files written in a
// temporary directory: the order of the variable table, expansion, and which
// section wins for a text.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "Common.h"
#include "ResourceIds.h"
#include "Texts.h"
#include "oxShell.h"

namespace {

class SetupFiles : public ::testing::Test {
protected:
    std::string Dir;

    void SetUp() override
    {
        char Temp[MAX_PATH];
        GetTempPathA(MAX_PATH, Temp);
        char Name[MAX_PATH];
        GetTempFileNameA(Temp, "tst", 0, Name);
        DeleteFileA(Name);
        CreateDirectoryA(Name, nullptr);
        Dir = std::string(Name) + "\\";
        IniPath = (Dir + "Tarn.ini").c_str();
        StrPath = (Dir + "Tarn.str").c_str();
        DlgPath = (Dir + "Tarn.dlg").c_str();
        TempDir = Dir.c_str();
        InstallDir = "C:\\Demo\\";
        LanguageCode = "ENU";
        CurrentDialogName = "DLG_DIR";
        ModuleInstance = GetModuleHandleA(nullptr);
        MainWindow = nullptr;
        VariableList.Clear();
    }

    void TearDown() override
    {
        for (const char* File : {"Tarn.ini", "Tarn.str", "Tarn.dlg", "License.txt"}) DeleteFileA((Dir + File).c_str());
        RemoveDirectoryA(Dir.c_str());
    }

    void Write(const char* Name, const std::string& Text)
    {
        FILE* File = fopen((Dir + Name).c_str(), "wb");
        ASSERT_NE(File, nullptr);
        fwrite(Text.data(), 1, Text.size(), File);
        fclose(File);
    }
};

// ---- variables ----

TEST_F(SetupFiles, BuiltinsComeFirstInTheirOrderThenTheScript)
{
    Write("Tarn.ini", "[Variables]\nProgramName=Demo\nAppDir=%InstallPath%\\Bin\n");
    LoadVariables();
    const char* Builtins[] = {
        "InstallPath",   "WindowsPath",        "SystemPath",      "Desktop",          "Fonts",
        "NetHood",       "Personal",           "ProgramsMenu",    "Recent",           "SendTo",
        "StartMenu",     "StartupMenu",        "Templates",       "ProgramFiles",     "CommonFiles",
        "CommonDesktop", "CommonProgramsMenu", "CommonStartMenu", "CommonStartupMenu"};
    for (int I = 0; I < (int)(sizeof(Builtins) / sizeof(Builtins[0])); ++I)
        EXPECT_EQ(VariableList.NameAt(I), Builtins[I]) << I;
    // Stored without the trailing backslash.
    EXPECT_EQ(VariableList.Value("InstallPath"), "C:\\Demo");
    EXPECT_FALSE(VariableList.Value("ProgramFiles").Empty());
    int Count = VariableList.Count();
    EXPECT_EQ(VariableList.NameAt(Count - 2), "ProgramName");
    EXPECT_EQ(VariableList.NameAt(Count - 1), "AppDir");
}

TEST_F(SetupFiles, ScriptNamesReplaceOrDeleteBuiltinsInPlace)
{
    Write("Tarn.ini", "[Variables]\ninstallpath=D:\\X\nFonts=\n");
    LoadVariables();
    EXPECT_EQ(VariableList.Get(0), "installpath=D:\\X");
    EXPECT_EQ(VariableList.IndexOfName("Fonts"), -1);
    // Texts compare names exactly, so %InstallPath% is no longer replaced.
    EXPECT_EQ(ExpandVariables("%InstallPath%|%installpath%"), "%InstallPath%|D:\\X");
}

TEST_F(SetupFiles, LanguageSectionOverridesTheNeutralOne)
{
    Write("Tarn.ini", "[Variables]\nProgramName=Demo\nEdition=Std\n[Variables.RUS]\nProgramName=Demo RU\nEdition=\n");
    LanguageCode = "RUS";
    LoadVariables();
    EXPECT_EQ(ExpandVariables("%ProgramName%"), "Demo RU");
    EXPECT_EQ(ExpandVariables("%Edition%"), "%Edition%");
    LanguageCode = "ENU";
    LoadVariables();
    EXPECT_EQ(ExpandVariables("%ProgramName% %Edition%"), "Demo Std");
}

TEST_F(SetupFiles, ExpansionOfBarsAndReferences)
{
    Write("Tarn.ini", "[Variables]\nProgramName=Demo\nSelf=%Self% 2\nAppDir=%InstallPath%\\Bin\nBars=a||b\n");
    LoadVariables();
    EXPECT_EQ(ExpandVariables("%ProgramName% has been successfully installed.||||Press OK."),
              "Demo has been successfully installed.\r\rPress OK.");
    EXPECT_EQ(ExpandVariables("a|||b"), "a\r|b");
    EXPECT_EQ(ExpandVariables("%Undefined% and %programname%"), "%Undefined% and %programname%");
    // A value is inserted once; its own reference is not replaced again.
    EXPECT_EQ(ExpandVariables("%Self%"), "%Self% 2");
    // One pass in list order: InstallPath stands before AppDir.
    EXPECT_EQ(ExpandVariables("%AppDir%"), "%InstallPath%\\Bin");
    // Bars that come in through a value stay.
    EXPECT_EQ(ExpandVariables("%Bars%"), "a||b");
}

TEST_F(SetupFiles, CommonMenusFallBackToTheUsersMenus)
{
    Write("Tarn.ini", "");
    LoadVariables();
    // Either the registry's common folder or the user's own: never empty,
    // and never the unexpanded fall-back text.
    Str Menu = VariableList.Value("CommonProgramsMenu");
    EXPECT_FALSE(Menu.Empty());
    EXPECT_EQ(Menu.Find('%'), -1);
}

// The computer's folders are looked up once; every rebuild still takes the
// current folder and script, and a script's change to the table is its own.
TEST_F(SetupFiles, RebuildsFollowTheFolderAndTheScript)
{
    Write("Tarn.ini", "[Variables]\nFonts=\nDesktop=D:\\Mine\n");
    LoadVariables();
    EXPECT_EQ(VariableList.IndexOfName("Fonts"), -1);
    EXPECT_EQ(VariableList.Value("Desktop"), "D:\\Mine");

    Write("Other.ini", "[Variables]\nProgramName=Demo\n");
    IniPath = (Dir + "Other.ini").c_str();
    InstallDir = "E:\\Elsewhere\\";
    LoadVariables();
    EXPECT_EQ(VariableList.Value("InstallPath"), "E:\\Elsewhere");
    EXPECT_EQ(VariableList.NameAt(4), "Fonts");
    EXPECT_NE(VariableList.Value("Desktop"), "D:\\Mine");
    StrList Rebuilt = VariableList;

    // Looked up anew, the computer gives the same table.
    ForgetBuiltinVariables();
    LoadVariables();
    ASSERT_EQ(VariableList.Count(), Rebuilt.Count());
    for (int I = 0; I < Rebuilt.Count(); ++I) EXPECT_EQ(VariableList.Get(I), Rebuilt.Get(I)) << I;
    DeleteFileA((Dir + "Other.ini").c_str());
}

// ---- numbered texts ----

TEST_F(SetupFiles, NumberedTextsPreferTheLanguageSection)
{
    Write("Tarn.ini", "[Variables]\nProgramName=Demo\n");
    Write("Tarn.str", "[Strings]\n1=Cancel %ProgramName%?\n150=Pick a folder\n[Strings.Rus]\n1=RU cancel||now\n");
    LoadVariables();
    LanguageCode = "RUS";
    EXPECT_EQ(GetText(1), "RU cancel\rnow");
    EXPECT_EQ(GetText(150), "Pick a folder");
    LanguageCode = "ENU";
    EXPECT_EQ(GetText(1), "Cancel Demo?");
    EXPECT_EQ(GetText(2), "");
}

// ---- dialog texts on a real page ----

class DialogTexts : public SetupFiles {
protected:
    HWND Dialog = nullptr;

    void Open(const char* Template)
    {
        CurrentDialogName = Template;
        Dialog = CreateDialogParamA(ModuleInstance, Template, nullptr, nullptr, 0);
        ASSERT_NE(Dialog, nullptr);
        ShowWindow(Dialog, SW_HIDE);
    }
    void TearDown() override
    {
        if (Dialog) DestroyWindow(Dialog);
        SetupFiles::TearDown();
    }
    Str Caption()
    {
        char Text[256] = "";
        GetWindowTextA(Dialog, Text, sizeof(Text));
        return Str(Text);
    }
};

TEST_F(DialogTexts, SectionsApplyInOrderOfPrecedence)
{
    Write("Tarn.ini", "[Variables]\nProgramName=Demo\n");
    Write("Tarn.dlg", "[Dialogs]\n101=Back D\n102=Next D\n103=Cancel D\n107=Browse D\n"
                      "[DLG_DIR]\n102=Next own\n103=Cancel own\n107=Browse own\n105=\" Folder \"\n"
                      "[Dialogs.RUS]\n103=Cancel RU\n107=Browse RU\n"
                      "[DLG_DIR.RUS]\n107=Browse own RU\nCaption=%ProgramName% folder\n");
    LanguageCode = "RUS";
    Open("DLG_DIR");
    ApplyDialogTexts(Dialog);
    EXPECT_EQ(GetControlText(Dialog, IDC_BACK), "Back D");
    EXPECT_EQ(GetControlText(Dialog, IDC_NEXT), "Next own");
    EXPECT_EQ(GetControlText(Dialog, IDC_CANCEL), "Cancel RU");
    EXPECT_EQ(GetControlText(Dialog, IDC_DIR_BROWSE), "Browse own RU");
    EXPECT_EQ(GetControlText(Dialog, IDC_DIR_GROUP), " Folder ");
    EXPECT_EQ(Caption(), "Demo folder");
    // The template's texts are expanded as well.
    EXPECT_NE(GetControlText(Dialog, IDC_DIR_PROMPT).Find("install Demo."), -1);
    EXPECT_EQ(ProgramName, "Demo");
    EXPECT_EQ(MessageCaption, "Demo");
}

TEST_F(DialogTexts, NeutralTitleLosesToTheTemplateTitleInTheLanguagePass)
{
    Write("Tarn.dlg", "[DLG_DIR]\nTitle=Neutral title\n");
    Open("DLG_DIR");
    ApplyDialogTexts(Dialog);
    EXPECT_EQ(DialogTitle, "Installation directory");
    EXPECT_EQ(Caption(), "Installation directory");

    Write("Tarn.dlg", "[DLG_DIR]\n100=Title by id\n[Dialogs.ENU]\nCaption=\n");
    ApplyDialogTexts(Dialog);
    EXPECT_EQ(DialogTitle, "Title by id");
    EXPECT_EQ(Caption(), "Installation directory"); // an empty caption changes nothing

    Write("Tarn.dlg", "[Dialogs.ENU]\nTitle=Language title\n");
    ApplyDialogTexts(Dialog);
    EXPECT_EQ(DialogTitle, "Language title");
}

TEST_F(DialogTexts, NoProgramNameVariableLeavesTheReference)
{
    Write("Tarn.ini", "");
    Open("DLG_START");
    ApplyDialogTexts(Dialog);
    EXPECT_EQ(ProgramName, "%ProgramName%");
    EXPECT_EQ(MessageCaption, "%ProgramName%");
}

TEST_F(DialogTexts, DirectoryIsShownExpandedAndSelected)
{
    Write("Tarn.ini", "");
    InstallDir = "%ProgramFiles%\\Demo";
    Open("DLG_DIR");
    SetControlText(Dialog, IDC_DIR_EDIT, InstallDir.c_str());
    ApplyDialogTexts(Dialog);
    Str Shown = GetControlText(Dialog, IDC_DIR_EDIT);
    EXPECT_EQ(Shown, VariableList.Value("ProgramFiles") + "\\Demo");
    DWORD Start = 0, End = 0;
    SendDlgItemMessageA(Dialog, IDC_DIR_EDIT, EM_GETSEL, (WPARAM)&Start, (LPARAM)&End);
    EXPECT_EQ(Start, 0u);
    EXPECT_EQ((int)End, Shown.Length());
}

TEST_F(DialogTexts, LongTextsAreExpandedWhole)
{
    Write("Tarn.ini", "[Variables]\nProgramName=Demo\n");
    std::string Long;
    for (int I = 0; I < 300; ++I) Long += "%ProgramName% ";
    Long += "END";
    Write("License.txt", Long);
    Open("DLG_LICENSE");
    SetDlgItemTextA(Dialog, IDC_LICENSE_EDIT, LoadTextFile((Dir + "License.txt").c_str()).c_str());
    ApplyDialogTexts(Dialog);
    Str Shown = GetWholeWindowText(GetDlgItem(Dialog, IDC_LICENSE_EDIT));
    std::string Expected;
    for (int I = 0; I < 300; ++I) Expected += "Demo ";
    Expected += "END";
    EXPECT_EQ(std::string(Shown.c_str()), Expected);
}

TEST_F(SetupFiles, TextFilesAreReadWholeAndUnchanged)
{
    Write("License.txt", std::string("line 1\r\nline 2\n\xC0\xE1\n"));
    EXPECT_EQ(LoadTextFile((Dir + "License.txt").c_str()), "line 1\r\nline 2\n\xC0\xE1\n");
    EXPECT_EQ(LoadTextFile((Dir + "Missing.txt").c_str()), "");
}

} // namespace
