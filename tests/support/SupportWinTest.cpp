// Helpers of the support library's Wine tests: see SupportWinTest.h.
#include "SupportWinTest.h"

#include <stdio.h>

static std::string TempRoot()
{
    char Buffer[MAX_PATH + 1];
    DWORD Length = GetTempPathA(sizeof(Buffer), Buffer);
    return std::string(Buffer, Length);
}

ScratchDir::ScratchDir()
{
    static LONG Counter = 0;
    char Name[64];
    snprintf(Name, sizeof(Name), "tarnsup%lu_%ld", GetCurrentProcessId(), InterlockedIncrement(&Counter));
    Dir = TempRoot() + Name;
    ForceRemoveTree(Dir);
    CreateDirectoryA(Dir.c_str(), nullptr);
}

ScratchDir::~ScratchDir() { ForceRemoveTree(Dir); }

void WriteTextFile(const std::string& Path, const std::string& Content)
{
    HANDLE File = CreateFileA(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (File == INVALID_HANDLE_VALUE) return;
    DWORD Written = 0;
    WriteFile(File, Content.data(), (DWORD)Content.size(), &Written, nullptr);
    CloseHandle(File);
}

bool PathExistsW32(const std::string& Path) { return GetFileAttributesA(Path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void ForceRemoveTree(const std::string& Path)
{
    DWORD Attributes = GetFileAttributesA(Path.c_str());
    if (Attributes == INVALID_FILE_ATTRIBUTES) return;
    SetFileAttributesA(Path.c_str(), FILE_ATTRIBUTE_NORMAL | (Attributes & FILE_ATTRIBUTE_DIRECTORY));
    if (!(Attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileA(Path.c_str());
        return;
    }
    WIN32_FIND_DATAA Found;
    HANDLE Search = FindFirstFileA((Path + "\\*").c_str(), &Found);
    if (Search != INVALID_HANDLE_VALUE) {
        do {
            std::string Name = Found.cFileName;
            if (Name != "." && Name != "..") ForceRemoveTree(Path + "\\" + Name);
        } while (FindNextFileA(Search, &Found));
        FindClose(Search);
    }
    RemoveDirectoryA(Path.c_str());
}

DialogAnswerer::DialogAnswerer(const std::string& CaptionText, int ButtonId, DWORD Timeout)
    : Caption(CaptionText), Button(ButtonId), TimeoutMs(Timeout)
{
    Thread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

DialogAnswerer::~DialogAnswerer()
{
    if (Thread) {
        WaitForSingleObject(Thread, INFINITE);
        CloseHandle(Thread);
    }
}

SeenWindow DialogAnswerer::Wait()
{
    if (Thread) {
        WaitForSingleObject(Thread, INFINITE);
        CloseHandle(Thread);
        Thread = nullptr;
    }
    return Seen;
}

// Other test programs may show boxes of the same caption at the same time:
// only dialogs of this process count.
struct DialogSearch {
    const std::string* Caption;
    HWND Found;
};

static BOOL CALLBACK MatchDialog(HWND Wnd, LPARAM Param)
{
    DialogSearch* Search = (DialogSearch*)Param;
    DWORD ProcessId = 0;
    GetWindowThreadProcessId(Wnd, &ProcessId);
    char ClassName[16] = "";
    GetClassNameA(Wnd, ClassName, sizeof(ClassName));
    if (ProcessId != GetCurrentProcessId() || lstrcmpA(ClassName, "#32770") != 0 || !IsWindowVisible(Wnd)) return TRUE;
    char Text[512] = "";
    GetWindowTextA(Wnd, Text, sizeof(Text));
    if (!Search->Caption->empty() && *Search->Caption != Text) return TRUE;
    Search->Found = Wnd;
    return FALSE;
}

// A box is centred when it is activated (the support library's hook): its
// place counts once it is the active window of its thread and has stayed
// where it is for one more look, at most two seconds after it appeared.
static void WaitUntilSettled(HWND Box)
{
    DWORD Thread = GetWindowThreadProcessId(Box, nullptr);
    RECT Before = {0, 0, 0, 0}, Now;
    for (DWORD Start = GetTickCount(); GetTickCount() - Start < 2000; Sleep(10)) {
        GUITHREADINFO Info = {};
        Info.cbSize = sizeof(Info);
        bool Active = GetGUIThreadInfo(Thread, &Info) && Info.hwndActive == Box;
        GetWindowRect(Box, &Now);
        if (Active && EqualRect(&Now, &Before)) return;
        Before = Now;
    }
}

DWORD WINAPI DialogAnswerer::Run(LPVOID SelfPointer)
{
    DialogAnswerer* Self = (DialogAnswerer*)SelfPointer;
    DWORD Start = GetTickCount();
    while (GetTickCount() - Start < Self->TimeoutMs) {
        DialogSearch Search = {&Self->Caption, nullptr};
        EnumWindows(MatchDialog, (LPARAM)&Search);
        HWND Box = Search.Found;
        if (Box) {
            WaitUntilSettled(Box);
            char Text[512] = "";
            GetWindowTextA(Box, Text, sizeof(Text));
            Self->Seen.Caption = Text;
            char Message[2048] = "";
            GetDlgItemTextA(Box, 0xFFFF, Message, sizeof(Message));
            Self->Seen.Text = Message;
            GetWindowRect(Box, &Self->Seen.Rect);
            Self->Seen.Found = true;
            PostMessageA(Box, WM_COMMAND, MAKEWPARAM(Self->Button, BN_CLICKED), 0);
            return 0;
        }
        Sleep(20);
    }
    return 0;
}
