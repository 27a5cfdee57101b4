// tarn-driver: drives the windows of another program in the same Wine prefix
// for the end-to-end tests. It runs a script of commands, one per line, logs
// every step with its result on stdout and stops at the first failed
// expectation or timeout. Exit code: 0 every step passed, 1 a step failed,
// 2 the script is wrong (checked whole before its first step runs). The shell side (tests/e2e/lib.sh)
// starts the program under test, runs the driver and checks the log.
//
// Usage:  tarn-driver.exe [--sync DIR] [--timeout MS] [--poll MS] SCRIPT
//         tarn-driver.exe [--sync DIR] [--timeout MS] [--poll MS] -c COMMAND [-c COMMAND ...]
//         tarn-driver.exe --hold-desktop
//   --hold-desktop  stay on the desktop, idle, until ended (see HoldDesktop).
//   --sync DIR    directory (Windows path) where the shell side confirms
//                 screenshots: see `screenshot`.
//   --timeout MS  default wait for windows (30000). A wait that runs out is
//                 retried once before it fails: the first window of a new
//                 prefix has been seen to take over a minute.
//   --poll MS     how often waits and expectations look again (50). Each
//                 look asks the wineserver about every window: a benchmark
//                 that waits for long sets a longer time, so that the
//                 looking does not weigh on what it measures.
//
// Script language. Blank lines and lines starting with # are ignored. Words
// are separated by blanks; a word in double quotes may hold blanks and the
// escapes \" \\ \n \r \t. ID is a control id in decimal or 0x-hex, or one of
// the names ok(1) cancel(2) yes(6) no(7) msgtext(0xFFFF, a message box's text).
// Commands act on the current window, chosen by wait-window.
//   wait-window TARGET [MS]   wait for a visible top-level window and make it
//                             current. TARGET is an exact caption, ~TEXT (the
//                             caption contains TEXT), class:NAME, or * (any).
//   expect-caption TEXT       the current window's caption is exactly TEXT
//   read-text ID              log the control's text
//   expect-text ID TEXT       the control's text is exactly TEXT
//   expect-text-contains ID TEXT   the control's text contains TEXT
//   type ID TEXT              WM_SETTEXT on an edit box, then EN_CHANGE to its parent
//   select-list ID INDEX|TEXT select a list-box or combo-box item by 0-based
//                             index (a bare number) or by its exact text, then
//                             LBN_SELCHANGE / CBN_SELCHANGE to the parent
//   read-list ID              log the items of a list box or combo box
//   expect-selected ID TEXT   the selected item's text is exactly TEXT
//   check ID / uncheck ID     click a check box or radio button (BM_CLICK)
//                             unless it already is in that state
//   expect-checked ID / expect-unchecked ID
//   press ID                  post WM_COMMAND BN_CLICKED for an enabled button
//   answer ok|yes|no|cancel [CAPTION]   wait for a message box (with that
//                             caption), log its caption, text, rectangle and
//                             whether it is centred, press the button and wait
//                             until the box is gone
//   rect                      log the current window's rectangle and centring
//   expect-centred            the current window is centred on the screen (a
//                             window larger than the screen sits at 0,0)
//   visible ID / hidden ID / enabled ID / disabled ID
//   expect-inside             every visible control of the current window lies
//                             inside its client area
//   expect-texts-fit FACE POINTS   the text of every visible static text,
//                             button, radio button, check box and group box
//                             of the current window fits its control, measured
//                             in the font FACE of POINTS points on this display
//                             (the font of the dialog template)
//   dump                      log the current window and all its controls
//   list-windows              log every visible top-level window
//   close                     post WM_CLOSE (what the close box does)
//   wait-gone [MS]            wait until the current window is gone or hidden
//   leave TARGET ID [MS]      wait-window TARGET [MS], press ID, wait-gone:
//                             the common way through a page, logged as those
//                             three steps
//   sleep MS
//   run-windowless MS COMMANDLINE   start a program (COMMANDLINE as the
//                             system takes it, program first) and wait for
//                             its end; log "exit code N" (all 32 bits). Fails,
//                             ending the program, when it shows a visible
//                             top-level window (a message box included) or
//                             runs longer than MS
//   screenshot NAME           print "@@screenshot NAME"; with --sync, wait
//                             until the file DIR\NAME.done appears (the shell
//                             side takes the picture once the screen has
//                             stopped changing, then creates that file)
// Expectations on controls are polled for up to two seconds, since the
// program handles posted commands in its own time.
//
// Log lines: "ok   <command>: <detail>", "FAIL <command>: <detail>",
// "info <detail>". Texts are UTF-8 in and out; controls are read with the W
// messages, which Wine converts for ANSI programs.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const int SettleMs = 2000; // how long expectations on controls are polled
int PollMs = 50;           // --poll
const UINT MessageTimeoutMs = 5000;
const int MessageBoxTextId = 0xFFFF;

std::string Utf8(const std::wstring& Text)
{
    if (Text.empty()) return std::string();
    int Size = WideCharToMultiByte(CP_UTF8, 0, Text.c_str(), (int)Text.size(), nullptr, 0, nullptr, nullptr);
    std::string Out(Size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, Text.c_str(), (int)Text.size(), &Out[0], Size, nullptr, nullptr);
    return Out;
}

std::wstring Wide(const std::string& Text)
{
    if (Text.empty()) return std::wstring();
    int Size = MultiByteToWideChar(CP_UTF8, 0, Text.c_str(), (int)Text.size(), nullptr, 0);
    std::wstring Out(Size, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, Text.c_str(), (int)Text.size(), &Out[0], Size);
    return Out;
}

// Texts in the log are quoted with their line breaks made visible.
std::string Quote(const std::wstring& Text)
{
    std::string Out = "\"";
    for (char Ch : Utf8(Text)) {
        if (Ch == '\r')
            Out += "\\r";
        else if (Ch == '\n')
            Out += "\\n";
        else if (Ch == '\t')
            Out += "\\t";
        else if (Ch == '"' || Ch == '\\') {
            Out += '\\';
            Out += Ch;
        } else
            Out += Ch;
    }
    return Out + "\"";
}

void Log(const char* Format, ...)
{
    va_list Args;
    va_start(Args, Format);
    vprintf(Format, Args);
    va_end(Args);
    putchar('\n');
    fflush(stdout);
}

// ---- windows of the program under test ----

std::wstring ClassOf(HWND Wnd)
{
    wchar_t Name[256] = L"";
    GetClassNameW(Wnd, Name, 256);
    return Name;
}

// A top-level caption is kept by the system; reading it never blocks.
std::wstring CaptionOf(HWND Wnd)
{
    wchar_t Buffer[1024] = L"";
    GetWindowTextW(Wnd, Buffer, 1024);
    return Buffer;
}

// A control's text comes from its owner process: WM_GETTEXT, with a timeout
// so that a hung program fails the step instead of hanging the test.
std::wstring TextOf(HWND Wnd)
{
    DWORD_PTR Length = 0;
    if (!SendMessageTimeoutW(Wnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, MessageTimeoutMs, &Length))
        return std::wstring();
    std::vector<wchar_t> Buffer(Length + 1, L'\0');
    DWORD_PTR Copied = 0;
    SendMessageTimeoutW(Wnd, WM_GETTEXT, Length + 1, (LPARAM)Buffer.data(), SMTO_ABORTIFHUNG, MessageTimeoutMs,
                        &Copied);
    return std::wstring(Buffer.data());
}

LRESULT SendTimeout(HWND Wnd, UINT Message, WPARAM WParam, LPARAM LParam)
{
    DWORD_PTR Result = 0;
    SendMessageTimeoutW(Wnd, Message, WParam, LParam, SMTO_ABORTIFHUNG, MessageTimeoutMs, &Result);
    return (LRESULT)Result;
}

bool IsForeign(HWND Wnd)
{
    DWORD Process = 0;
    GetWindowThreadProcessId(Wnd, &Process);
    return Process != GetCurrentProcessId();
}

struct WindowQuery {
    std::wstring Target;
    bool MessageBoxOnly;
    HWND Found;
};

bool IsMessageBox(HWND Wnd) { return ClassOf(Wnd) == L"#32770" && GetDlgItem(Wnd, MessageBoxTextId) != nullptr; }

bool Matches(HWND Wnd, const std::wstring& Target)
{
    if (Target == L"*") return true;
    if (Target.compare(0, 6, L"class:") == 0) return ClassOf(Wnd) == Target.substr(6);
    if (!Target.empty() && Target[0] == L'~') return CaptionOf(Wnd).find(Target.substr(1)) != std::wstring::npos;
    return CaptionOf(Wnd) == Target;
}

BOOL CALLBACK FindWindowProc(HWND Wnd, LPARAM Param)
{
    WindowQuery* Query = (WindowQuery*)Param;
    if (!IsWindowVisible(Wnd) || !IsForeign(Wnd)) return TRUE;
    if (Query->MessageBoxOnly && !IsMessageBox(Wnd)) return TRUE;
    if (!Query->Target.empty() && !Matches(Wnd, Query->Target)) return TRUE;
    Query->Found = Wnd;
    return FALSE;
}

// The topmost visible window of another process that matches (EnumWindows
// walks the Z order from the top).
HWND FindTopWindow(const std::wstring& Target, bool MessageBoxOnly)
{
    // An exact caption that no top-level window has: one question per window
    // (its caption) instead of several, so that a wait can look often
    // without weighing on the program it waits for.
    bool ExactCaption = !Target.empty() && Target != L"*" && Target[0] != L'~' && Target.compare(0, 6, L"class:") != 0;
    if (ExactCaption && !FindWindowW(nullptr, Target.c_str())) return nullptr;
    WindowQuery Query = {Target, MessageBoxOnly, nullptr};
    EnumWindows(FindWindowProc, (LPARAM)&Query);
    return Query.Found;
}

struct ControlQuery {
    int Id;
    HWND Found;
};

BOOL CALLBACK FindControlProc(HWND Wnd, LPARAM Param)
{
    ControlQuery* Query = (ControlQuery*)Param;
    if (GetDlgCtrlID(Wnd) == Query->Id) {
        Query->Found = Wnd;
        return FALSE;
    }
    return TRUE;
}

// A direct child first, else any descendant (controls inside group panes).
HWND FindControl(HWND Parent, int Id)
{
    HWND Control = GetDlgItem(Parent, Id);
    if (Control) return Control;
    ControlQuery Query = {Id, nullptr};
    EnumChildWindows(Parent, FindControlProc, (LPARAM)&Query);
    return Query.Found;
}

std::string RectText(HWND Wnd, bool* Centred)
{
    RECT Rect;
    GetWindowRect(Wnd, &Rect);
    int Width = Rect.right - Rect.left, Height = Rect.bottom - Rect.top;
    int ScreenWidth = GetSystemMetrics(SM_CXSCREEN), ScreenHeight = GetSystemMetrics(SM_CYSCREEN);
    // Where a centred window sits: a window larger than the screen keeps its
    // top-left corner on the screen. One pixel of rounding is allowed.
    int Left = (ScreenWidth - Width) / 2, Top = (ScreenHeight - Height) / 2;
    if (Left < 0) Left = 0;
    if (Top < 0) Top = 0;
    *Centred = abs(Rect.left - Left) <= 1 && abs(Rect.top - Top) <= 1;
    char Buffer[200];
    snprintf(Buffer, sizeof Buffer, "rect %ld,%ld %dx%d screen %dx%d centred %s", Rect.left, Rect.top, Width, Height,
             ScreenWidth, ScreenHeight, *Centred ? "yes" : "no");
    return Buffer;
}

BOOL CALLBACK DumpChildProc(HWND Wnd, LPARAM)
{
    Log("info   control %d class %s text %s%s%s", GetDlgCtrlID(Wnd), Utf8(ClassOf(Wnd)).c_str(),
        Quote(TextOf(Wnd)).c_str(), IsWindowVisible(Wnd) ? "" : " hidden", IsWindowEnabled(Wnd) ? "" : " disabled");
    return TRUE;
}

void DumpWindow(HWND Wnd)
{
    bool Centred;
    Log("info window %s class %s %s", Quote(CaptionOf(Wnd)).c_str(), Utf8(ClassOf(Wnd)).c_str(),
        RectText(Wnd, &Centred).c_str());
    EnumChildWindows(Wnd, DumpChildProc, 0);
}

BOOL CALLBACK ListWindowProc(HWND Wnd, LPARAM)
{
    if (IsWindowVisible(Wnd) && IsForeign(Wnd)) {
        bool Centred;
        Log("info window %s class %s %s", Quote(CaptionOf(Wnd)).c_str(), Utf8(ClassOf(Wnd)).c_str(),
            RectText(Wnd, &Centred).c_str());
    }
    return TRUE;
}

// ---- list boxes and combo boxes ----

struct ListMessages {
    UINT GetCount, GetTextLen, GetText, SetCurSel, GetCurSel;
    WORD SelChange;
};
const ListMessages ListBoxMessages = {LB_GETCOUNT,  LB_GETTEXTLEN, LB_GETTEXT,
                                      LB_SETCURSEL, LB_GETCURSEL,  LBN_SELCHANGE};
const ListMessages ComboBoxMessages = {CB_GETCOUNT,  CB_GETLBTEXTLEN, CB_GETLBTEXT,
                                       CB_SETCURSEL, CB_GETCURSEL,    CBN_SELCHANGE};

const ListMessages* ListKind(HWND Control)
{
    std::wstring Class = ClassOf(Control);
    if (_wcsicmp(Class.c_str(), L"ListBox") == 0) return &ListBoxMessages;
    if (_wcsicmp(Class.c_str(), L"ComboBox") == 0) return &ComboBoxMessages;
    return nullptr;
}

// Items are read with the W messages: the A ones return only the first
// character across processes.
std::vector<std::wstring> ListItems(HWND Control, const ListMessages* Kind)
{
    std::vector<std::wstring> Items;
    LRESULT Count = SendTimeout(Control, Kind->GetCount, 0, 0);
    for (LRESULT Index = 0; Index < Count; Index++) {
        LRESULT Length = SendTimeout(Control, Kind->GetTextLen, Index, 0);
        if (Length < 0) Length = 0;
        std::vector<wchar_t> Buffer(Length + 1, L'\0');
        SendTimeout(Control, Kind->GetText, Index, (LPARAM)Buffer.data());
        Items.push_back(Buffer.data());
    }
    return Items;
}

// ---- layout: controls inside their window, texts inside their controls ----

struct LayoutCheck {
    HWND Window;
    RECT Client; // the window's client area, screen coordinates
    HDC DC;      // with the template's font selected
    int Dpi;
    std::vector<std::string> Faults;
    int Checked;
};

std::string ControlName(HWND Control)
{
    return "control " + std::to_string(GetDlgCtrlID(Control)) + " " + Quote(TextOf(Control));
}

BOOL CALLBACK InsideProc(HWND Control, LPARAM Param)
{
    LayoutCheck* Check = (LayoutCheck*)Param;
    if (GetParent(Control) != Check->Window || !IsWindowVisible(Control)) return TRUE;
    RECT Rect;
    GetWindowRect(Control, &Rect);
    Check->Checked++;
    if (Rect.left < Check->Client.left || Rect.top < Check->Client.top || Rect.right > Check->Client.right ||
        Rect.bottom > Check->Client.bottom) {
        char Detail[160];
        snprintf(Detail, sizeof Detail, " at %ld,%ld-%ld,%ld outside the client area %ld,%ld-%ld,%ld", Rect.left,
                 Rect.top, Rect.right, Rect.bottom, Check->Client.left, Check->Client.top, Check->Client.right,
                 Check->Client.bottom);
        Check->Faults.push_back(ControlName(Control) + Detail);
    }
    return TRUE;
}

// What the text needs in the template's font, as the control draws it: a
// static text wraps at its width; a button's text is one line beside its
// check mark or inside its frame. Other controls (pictures, frames, edits,
// lists) are not measured.
BOOL CALLBACK TextFitProc(HWND Control, LPARAM Param)
{
    LayoutCheck* Check = (LayoutCheck*)Param;
    if (GetParent(Control) != Check->Window || !IsWindowVisible(Control)) return TRUE;
    std::wstring Text = TextOf(Control), Class = ClassOf(Control);
    if (Text.empty()) return TRUE;
    LONG Style = GetWindowLongW(Control, GWL_STYLE);
    RECT Client;
    GetClientRect(Control, &Client);
    int Scale = Check->Dpi;
    auto Pixels = [Scale](int At96) { return MulDiv(At96, Scale, 96); };
    int ExtraWidth = 0, ExtraHeight = 0;
    UINT Format = DT_CALCRECT | DT_EXPANDTABS;
    if (_wcsicmp(Class.c_str(), L"Static") == 0) {
        int Kind = Style & SS_TYPEMASK;
        if (Kind != SS_LEFT && Kind != SS_CENTER && Kind != SS_RIGHT && Kind != SS_SIMPLE && Kind != SS_LEFTNOWORDWRAP)
            return TRUE;
        if (Kind != SS_SIMPLE && Kind != SS_LEFTNOWORDWRAP) Format |= DT_WORDBREAK;
        if (Style & SS_NOPREFIX) Format |= DT_NOPREFIX;
    } else if (_wcsicmp(Class.c_str(), L"Button") == 0) {
        int Kind = Style & BS_TYPEMASK;
        Format |= DT_SINGLELINE;
        if (Kind == BS_PUSHBUTTON || Kind == BS_DEFPUSHBUTTON) {
            ExtraWidth = Pixels(8); // the frame and its inner margin on both sides
            ExtraHeight = Pixels(4);
        } else if (Kind == BS_CHECKBOX || Kind == BS_AUTOCHECKBOX || Kind == BS_RADIOBUTTON ||
                   Kind == BS_AUTORADIOBUTTON) {
            ExtraWidth = GetSystemMetrics(SM_CXMENUCHECK) + Pixels(4); // the mark and the gap after it
        } else if (Kind == BS_GROUPBOX) {
            ExtraWidth = Pixels(16); // the frame's corner before and after the caption
        } else {
            return TRUE;
        }
    } else {
        return TRUE;
    }
    RECT Need = {0, 0, Client.right - ExtraWidth, 0};
    if (Need.right < 1) Need.right = 1;
    DrawTextW(Check->DC, Text.c_str(), (int)Text.size(), &Need, Format);
    Check->Checked++;
    int NeedWidth = Need.right + ExtraWidth, NeedHeight = Need.bottom + ExtraHeight;
    bool Fits = NeedWidth <= Client.right && NeedHeight <= Client.bottom;
    char Detail[120];
    snprintf(Detail, sizeof Detail, " needs %dx%d, has %ldx%ld", NeedWidth, NeedHeight, Client.right, Client.bottom);
    Log("info   %s%s%s", ControlName(Control).c_str(), Detail, Fits ? "" : " CLIPPED");
    if (!Fits) Check->Faults.push_back(ControlName(Control) + Detail);
    return TRUE;
}

std::string JoinFaults(const std::vector<std::string>& Faults)
{
    std::string All;
    for (const std::string& Fault : Faults) All += (All.empty() ? "" : "; ") + Fault;
    return All;
}

// ---- the script ----

// Control ids by name, for the standard buttons and a message box's text.
bool ParseId(const std::wstring& Text, int* Id)
{
    struct {
        const wchar_t* Name;
        int Id;
    } Names[] = {{L"ok", IDOK}, {L"cancel", IDCANCEL}, {L"yes", IDYES}, {L"no", IDNO}, {L"msgtext", MessageBoxTextId}};
    for (auto& Entry : Names) {
        if (Text == Entry.Name) {
            *Id = Entry.Id;
            return true;
        }
    }
    wchar_t* End = nullptr;
    *Id = (int)wcstol(Text.c_str(), &End, 0);
    return !Text.empty() && *End == 0;
}

bool ParseNumber(const std::wstring& Text, int* Value)
{
    wchar_t* End = nullptr;
    *Value = (int)wcstol(Text.c_str(), &End, 10);
    return !Text.empty() && *End == 0;
}

int AnswerButton(const std::wstring& Text)
{
    return Text == L"ok" ? IDOK : Text == L"yes" ? IDYES : Text == L"no" ? IDNO : Text == L"cancel" ? IDCANCEL : 0;
}

// Every command with its arguments, one letter each: i control id, n number,
// t text, b answer button; an upper-case letter is optional. The whole script
// is checked against this before its first step runs, so a typo near its end
// does not show only after the program under test has been worked half-way.
struct CommandSyntax {
    const wchar_t* Name;
    const char* Args;
};
const CommandSyntax Commands[] = {{L"wait-window", "tN"},
                                  {L"expect-caption", "t"},
                                  {L"read-text", "i"},
                                  {L"expect-text", "it"},
                                  {L"expect-text-contains", "it"},
                                  {L"type", "it"},
                                  {L"select-list", "it"},
                                  {L"read-list", "i"},
                                  {L"expect-selected", "it"},
                                  {L"check", "i"},
                                  {L"uncheck", "i"},
                                  {L"expect-checked", "i"},
                                  {L"expect-unchecked", "i"},
                                  {L"press", "i"},
                                  {L"answer", "bT"},
                                  {L"rect", ""},
                                  {L"expect-centred", ""},
                                  {L"visible", "i"},
                                  {L"hidden", "i"},
                                  {L"enabled", "i"},
                                  {L"disabled", "i"},
                                  {L"dump", ""},
                                  {L"expect-inside", ""},
                                  {L"expect-texts-fit", "tn"},
                                  {L"list-windows", ""},
                                  {L"close", ""},
                                  {L"wait-gone", "N"},
                                  {L"leave", "tiN"},
                                  {L"sleep", "n"},
                                  {L"screenshot", "t"},
                                  {L"run-windowless", "nt"}};

// Empty when the words make a valid command, else what is wrong.
std::string CheckCommand(const std::vector<std::wstring>& Words)
{
    const CommandSyntax* Syntax = nullptr;
    for (const CommandSyntax& Entry : Commands)
        if (Words[0] == Entry.Name) Syntax = &Entry;
    if (!Syntax) return "unknown command";
    size_t Count = Words.size() - 1, Required = 0, Allowed = strlen(Syntax->Args);
    for (const char* Kind = Syntax->Args; *Kind; Kind++)
        if (islower((unsigned char)*Kind)) Required++;
    if (Count < Required || Count > Allowed)
        return "takes " + std::to_string(Required) + (Allowed > Required ? " to " + std::to_string(Allowed) : "") +
               " arguments, not " + std::to_string(Count);
    for (size_t I = 0; I < Count; I++) {
        const std::wstring& Word = Words[I + 1];
        int Value;
        switch (tolower((unsigned char)Syntax->Args[I])) {
        case 'i':
            if (!ParseId(Word, &Value)) return Quote(Word) + " is not a control id";
            break;
        case 'n':
            if (!ParseNumber(Word, &Value)) return Quote(Word) + " is not a number";
            break;
        case 'b':
            if (!AnswerButton(Word)) return Quote(Word) + " is not ok, yes, no or cancel";
            break;
        }
    }
    return std::string();
}

class Driver {
public:
    Driver(int TimeoutMs, const std::wstring& SyncDir) : TimeoutMs(TimeoutMs), SyncDir(SyncDir) {}
    // False at the first failed step.
    bool Run(const std::vector<std::string>& Lines);

private:
    int TimeoutMs;
    std::wstring SyncDir;
    HWND Current = nullptr;
    std::string Step; // the command being run, for the log
    std::vector<std::wstring> Args;

    bool Ok(const std::string& Detail)
    {
        Log("ok   %s: %s", Step.c_str(), Detail.c_str());
        return true;
    }
    bool Fail(const std::string& Detail)
    {
        Log("FAIL %s: %s", Step.c_str(), Detail.c_str());
        return false;
    }

    bool Execute(const std::string& Line);
    std::wstring Arg(size_t Index);
    int IdArg(size_t Index);
    int NumberArg(size_t Index, int Default);
    bool NeedCurrent();
    HWND Control(int Id);
    template <class Condition>
    bool Poll(int Ms, Condition Test);
    bool WaitWindow(const std::wstring& Target, bool MessageBoxOnly, int Ms, HWND* Found);

    bool WaitWindowCommand();
    bool ExpectText(bool Contains);
    bool Type();
    bool SelectList();
    bool ReadList();
    bool ExpectSelected();
    bool Check(bool Checked);
    bool ExpectChecked(bool Checked);
    bool Press();
    bool Answer();
    bool ExpectState(const char* State);
    bool WaitGone();
    bool Screenshot();
    bool ExpectInside();
    bool ExpectTextsFit();
    bool RunWindowless();
};

// The first visible top-level window of a process.
struct ProcessWindow {
    DWORD ProcessId;
    HWND Found;
};

BOOL CALLBACK FindProcessWindowProc(HWND Wnd, LPARAM Param)
{
    ProcessWindow* Search = (ProcessWindow*)Param;
    DWORD Owner = 0;
    GetWindowThreadProcessId(Wnd, &Owner);
    if (Owner != Search->ProcessId || !IsWindowVisible(Wnd)) return TRUE;
    Search->Found = Wnd;
    return FALSE;
}

// The arguments were checked by CheckCommand before the script ran.
std::wstring Driver::Arg(size_t Index) { return Index < Args.size() ? Args[Index] : std::wstring(); }

int Driver::IdArg(size_t Index)
{
    int Id = 0;
    ParseId(Arg(Index), &Id);
    return Id;
}

int Driver::NumberArg(size_t Index, int Default)
{
    int Value = Default;
    if (Index < Args.size()) ParseNumber(Args[Index], &Value);
    return Value;
}

bool Driver::NeedCurrent()
{
    if (Current && IsWindow(Current)) return true;
    return Fail("no current window (wait-window first, or it has gone)");
}

HWND Driver::Control(int Id) { return NeedCurrent() ? FindControl(Current, Id) : nullptr; }

// TARN_TIME_SCALE (a whole number, default 1) stretches every wait, for
// machines where the program under test runs emulated and starts slowly.
static int TimeScale()
{
    static int Scale = 0;
    if (Scale == 0) {
        const char* Text = getenv("TARN_TIME_SCALE");
        Scale = Text ? atoi(Text) : 1;
        if (Scale < 1) Scale = 1;
    }
    return Scale;
}

template <class Condition>
bool Driver::Poll(int Ms, Condition Test)
{
    Ms *= TimeScale();
    DWORD Start = GetTickCount();
    for (;;) {
        if (Test()) return true;
        if ((int)(GetTickCount() - Start) >= Ms) return false;
        Sleep(PollMs);
    }
}

bool Driver::WaitWindow(const std::wstring& Target, bool MessageBoxOnly, int Ms, HWND* Found)
{
    for (int Attempt = 0; Attempt < 2; Attempt++) {
        if (Poll(Ms, [&] { return (*Found = FindTopWindow(Target, MessageBoxOnly)) != nullptr; })) return true;
        if (Attempt == 0) Log("info no window %s after %d ms; waiting once more", Quote(Target).c_str(), Ms);
    }
    return false;
}

bool Driver::WaitWindowCommand()
{
    std::wstring Target = Arg(0);
    DWORD Start = GetTickCount();
    HWND Found = nullptr;
    if (!WaitWindow(Target, false, NumberArg(1, TimeoutMs), &Found)) {
        EnumWindows(ListWindowProc, 0);
        return Fail("no such window");
    }
    Current = Found;
    char Detail[64];
    snprintf(Detail, sizeof Detail, " after %.2f s", (GetTickCount() - Start) / 1000.0);
    return Ok("found " + Quote(CaptionOf(Found)) + " class " + Utf8(ClassOf(Found)) + Detail);
}

bool Driver::ExpectText(bool Contains)
{
    HWND Item = Control(IdArg(0));
    if (!Item) return Current ? Fail("no such control") : false;
    std::wstring Expected = Arg(1), Text;
    bool Good = Poll(SettleMs, [&] {
        Text = TextOf(Item);
        return Contains ? Text.find(Expected) != std::wstring::npos : Text == Expected;
    });
    return Good ? Ok(Quote(Text)) : Fail("text is " + Quote(Text));
}

bool Driver::Type()
{
    int Id = IdArg(0);
    HWND Item = Control(Id);
    if (!Item) return Current ? Fail("no such control") : false;
    std::wstring Text = Arg(1);
    // WM_SETTEXT does not notify the dialog: send the EN_CHANGE it would get
    // from a user's typing.
    SendTimeout(Item, WM_SETTEXT, 0, (LPARAM)Text.c_str());
    SendTimeout(GetParent(Item), WM_COMMAND, MAKEWPARAM(Id, EN_CHANGE), (LPARAM)Item);
    std::wstring Now = TextOf(Item);
    return Now == Text ? Ok(Quote(Now)) : Fail("text is now " + Quote(Now));
}

bool Driver::SelectList()
{
    int Id = IdArg(0);
    HWND Item = Control(Id);
    if (!Item) return Current ? Fail("no such control") : false;
    const ListMessages* Kind = ListKind(Item);
    if (!Kind) return Fail("control is a " + Utf8(ClassOf(Item)) + ", not a list");
    std::vector<std::wstring> Items = ListItems(Item, Kind);
    std::wstring Wanted = Arg(1);
    wchar_t* End = nullptr;
    long Index = wcstol(Wanted.c_str(), &End, 10);
    if (Wanted.empty() || *End != 0) {
        Index = -1;
        for (size_t I = 0; I < Items.size(); I++)
            if (Items[I] == Wanted) {
                Index = (long)I;
                break;
            }
        if (Index < 0) return Fail("no item " + Quote(Wanted) + " among " + std::to_string(Items.size()));
    }
    if (Index < 0 || Index >= (long)Items.size())
        return Fail("index out of range: the list has " + std::to_string(Items.size()) + " items");
    SendTimeout(Item, Kind->SetCurSel, Index, 0);
    SendTimeout(GetParent(Item), WM_COMMAND, MAKEWPARAM(Id, Kind->SelChange), (LPARAM)Item);
    if (SendTimeout(Item, Kind->GetCurSel, 0, 0) != Index) return Fail("the selection did not move");
    return Ok("item " + std::to_string(Index) + " " + Quote(Items[Index]));
}

bool Driver::ReadList()
{
    HWND Item = Control(IdArg(0));
    if (!Item) return Current ? Fail("no such control") : false;
    const ListMessages* Kind = ListKind(Item);
    if (!Kind) return Fail("control is a " + Utf8(ClassOf(Item)) + ", not a list");
    std::vector<std::wstring> Items = ListItems(Item, Kind);
    LRESULT Selected = SendTimeout(Item, Kind->GetCurSel, 0, 0);
    for (size_t I = 0; I < Items.size(); I++)
        Log("info   item %u %s%s", (unsigned)I, Quote(Items[I]).c_str(), (LRESULT)I == Selected ? " selected" : "");
    return Ok(std::to_string(Items.size()) + " items");
}

bool Driver::ExpectSelected()
{
    HWND Item = Control(IdArg(0));
    if (!Item) return Current ? Fail("no such control") : false;
    const ListMessages* Kind = ListKind(Item);
    if (!Kind) return Fail("control is a " + Utf8(ClassOf(Item)) + ", not a list");
    std::wstring Expected = Arg(1), Text;
    bool Good = Poll(SettleMs, [&] {
        LRESULT Selected = SendTimeout(Item, Kind->GetCurSel, 0, 0);
        std::vector<std::wstring> Items = ListItems(Item, Kind);
        Text = Selected >= 0 && Selected < (LRESULT)Items.size() ? Items[Selected] : L"(none)";
        return Text == Expected;
    });
    return Good ? Ok(Quote(Text)) : Fail("selected is " + Quote(Text));
}

bool Driver::Check(bool Checked)
{
    HWND Item = Control(IdArg(0));
    if (!Item) return Current ? Fail("no such control") : false;
    auto InState = [&] { return (SendTimeout(Item, BM_GETCHECK, 0, 0) == BST_CHECKED) == Checked; };
    if (InState()) return Ok("already so");
    if (!IsWindowEnabled(Item)) return Fail("control is disabled");
    // Posted: a click may open a modal dialog, which would block a sender.
    PostMessageW(Item, BM_CLICK, 0, 0);
    return Poll(SettleMs, InState) ? Ok("clicked") : Fail("the state did not change");
}

bool Driver::ExpectChecked(bool Checked)
{
    HWND Item = Control(IdArg(0));
    if (!Item) return Current ? Fail("no such control") : false;
    bool Good = Poll(SettleMs, [&] { return (SendTimeout(Item, BM_GETCHECK, 0, 0) == BST_CHECKED) == Checked; });
    return Good ? Ok(Checked ? "checked" : "unchecked") : Fail(Checked ? "unchecked" : "checked");
}

bool Driver::Press()
{
    int Id = IdArg(0);
    HWND Item = Control(Id);
    if (!Item) return Current ? Fail("no such control") : false;
    if (!IsWindowEnabled(Item)) return Fail("button " + Quote(TextOf(Item)) + " is disabled");
    if (!IsWindowVisible(Item)) return Fail("button " + Quote(TextOf(Item)) + " is hidden");
    // Posted, never sent: a button that opens a modal dialog would block us.
    PostMessageW(GetParent(Item), WM_COMMAND, MAKEWPARAM(Id, BN_CLICKED), (LPARAM)Item);
    return Ok("pressed " + Quote(TextOf(Item)));
}

bool Driver::Answer()
{
    int Id = AnswerButton(Arg(0));
    std::wstring Caption = Args.size() > 1 ? Args[1] : L"";
    HWND Box = nullptr;
    if (!WaitWindow(Caption, true, TimeoutMs, &Box)) {
        EnumWindows(ListWindowProc, 0);
        return Fail("no message box" + (Caption.empty() ? std::string() : " captioned " + Quote(Caption)));
    }
    bool Centred;
    std::string Detail = "box " + Quote(CaptionOf(Box)) + " text " + Quote(TextOf(GetDlgItem(Box, MessageBoxTextId))) +
                         " " + RectText(Box, &Centred);
    HWND Item = GetDlgItem(Box, Id);
    if (!Item) return Fail(Detail + ": the box has no such button");
    PostMessageW(Box, WM_COMMAND, MAKEWPARAM(Id, BN_CLICKED), (LPARAM)Item);
    if (!Poll(TimeoutMs, [&] { return !IsWindow(Box) || !IsWindowVisible(Box); }))
        return Fail(Detail + ": the box stayed open");
    return Ok(Detail);
}

bool Driver::ExpectState(const char* State)
{
    HWND Item = Control(IdArg(0));
    if (!Item) return Current ? Fail("no such control") : false;
    auto Test = [&] {
        if (!strcmp(State, "visible")) return IsWindowVisible(Item) != 0;
        if (!strcmp(State, "hidden")) return IsWindowVisible(Item) == 0;
        if (!strcmp(State, "enabled")) return IsWindowEnabled(Item) != 0;
        return IsWindowEnabled(Item) == 0;
    };
    return Poll(SettleMs, Test) ? Ok(State) : Fail(std::string("not ") + State);
}

bool Driver::WaitGone()
{
    if (!Current) return Fail("no current window");
    HWND Wnd = Current;
    if (!Poll(NumberArg(0, TimeoutMs), [&] { return !IsWindow(Wnd) || !IsWindowVisible(Wnd); }))
        return Fail(Quote(CaptionOf(Wnd)) + " is still there");
    Current = nullptr;
    return Ok("gone");
}

bool Driver::RunWindowless()
{
    int Ms = NumberArg(0, 0);
    std::wstring Line = Arg(1);
    STARTUPINFOW Startup = {};
    Startup.cb = sizeof Startup;
    PROCESS_INFORMATION Process = {};
    if (!CreateProcessW(nullptr, &Line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Startup, &Process))
        return Fail("cannot start " + Quote(Arg(1)) + ", error " + std::to_string(GetLastError()));
    CloseHandle(Process.hThread);
    DWORD Start = GetTickCount();
    std::string Problem;
    for (;;) {
        bool Ended = WaitForSingleObject(Process.hProcess, (DWORD)PollMs) == WAIT_OBJECT_0;
        ProcessWindow Search = {Process.dwProcessId, nullptr};
        EnumWindows(FindProcessWindowProc, (LPARAM)&Search);
        if (Search.Found)
            Problem = "it showed the window " + Quote(CaptionOf(Search.Found));
        else if (!Ended && (int)(GetTickCount() - Start) > Ms)
            Problem = "still running after " + std::to_string(Ms) + " ms";
        if (Ended || !Problem.empty()) break;
    }
    if (!Problem.empty()) {
        Log("info visible windows:");
        EnumWindows(ListWindowProc, 0);
        TerminateProcess(Process.hProcess, 255);
        WaitForSingleObject(Process.hProcess, 5000);
        CloseHandle(Process.hProcess);
        return Fail(Problem);
    }
    DWORD ExitCode = 0;
    GetExitCodeProcess(Process.hProcess, &ExitCode);
    CloseHandle(Process.hProcess);
    return Ok("exit code " + std::to_string(ExitCode) + ", no window");
}

bool Driver::ExpectInside()
{
    if (!NeedCurrent()) return false;
    LayoutCheck Layout = {Current, {}, nullptr, 96, {}, 0};
    GetClientRect(Current, &Layout.Client);
    MapWindowPoints(Current, nullptr, (POINT*)&Layout.Client, 2);
    EnumChildWindows(Current, InsideProc, (LPARAM)&Layout);
    if (!Layout.Faults.empty()) return Fail(JoinFaults(Layout.Faults));
    return Ok(std::to_string(Layout.Checked) + " controls inside");
}

bool Driver::ExpectTextsFit()
{
    if (!NeedCurrent()) return false;
    HDC DC = GetDC(nullptr);
    int Dpi = GetDeviceCaps(DC, LOGPIXELSY);
    HFONT Font = CreateFontW(-MulDiv(NumberArg(1, 8), Dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, 0, 0, 0, 0, Arg(0).c_str());
    HGDIOBJ Old = SelectObject(DC, Font);
    LayoutCheck Layout = {Current, {}, DC, Dpi, {}, 0};
    EnumChildWindows(Current, TextFitProc, (LPARAM)&Layout);
    SelectObject(DC, Old);
    DeleteObject(Font);
    ReleaseDC(nullptr, DC);
    if (!Layout.Faults.empty()) return Fail("clipped at " + std::to_string(Dpi) + " DPI: " + JoinFaults(Layout.Faults));
    return Ok(std::to_string(Layout.Checked) + " texts fit at " + std::to_string(Dpi) + " DPI");
}

bool Driver::Screenshot()
{
    std::wstring Name = Arg(0);
    // The program has handled what came before; the shell side then takes
    // pictures until the screen stops changing, so no fixed wait is needed.
    if (Current && IsWindow(Current)) SendTimeout(Current, WM_NULL, 0, 0);
    Log("@@screenshot %s", Utf8(Name).c_str());
    if (SyncDir.empty()) return Ok("marker only (no --sync)");
    std::wstring Done = SyncDir + L"\\" + Name + L".done";
    bool Taken = Poll(15000, [&] { return GetFileAttributesW(Done.c_str()) != INVALID_FILE_ATTRIBUTES; });
    return Taken ? Ok("taken") : Fail("the shell side did not confirm " + Quote(Done));
}

// Splits a line into words: blanks separate, double quotes group, with the
// escapes \" \\ \n \r \t inside quotes. False for an unterminated quote.
bool SplitWords(const std::wstring& Line, std::vector<std::wstring>* Words)
{
    Words->clear();
    size_t I = 0;
    while (I < Line.size()) {
        while (I < Line.size() && iswspace(Line[I])) I++;
        if (I >= Line.size()) break;
        std::wstring Word;
        if (Line[I] == L'"') {
            for (I++; I < Line.size() && Line[I] != L'"'; I++) {
                if (Line[I] == L'\\' && I + 1 < Line.size()) {
                    wchar_t Next = Line[++I];
                    Word += Next == L'n' ? L'\n' : Next == L'r' ? L'\r' : Next == L't' ? L'\t' : Next;
                } else {
                    Word += Line[I];
                }
            }
            if (I >= Line.size()) return false;
            I++;
        } else {
            while (I < Line.size() && !iswspace(Line[I])) Word += Line[I++];
        }
        Words->push_back(Word);
    }
    return true;
}

bool IsStep(const std::vector<std::wstring>& Words)
{
    return !Words.empty() && !(!Words[0].empty() && Words[0][0] == L'#');
}

// Checks every line before anything runs; logs the first fault.
bool CheckScript(const std::vector<std::string>& Lines)
{
    for (size_t Number = 0; Number < Lines.size(); Number++) {
        std::vector<std::wstring> Words;
        std::string Error = SplitWords(Wide(Lines[Number]), &Words) ? std::string() : "unterminated quote";
        if (Error.empty() && IsStep(Words)) Error = CheckCommand(Words);
        if (!Error.empty()) {
            Log("FAIL line %u: %s: %s", (unsigned)Number + 1, Lines[Number].c_str(), Error.c_str());
            return false;
        }
    }
    return true;
}

bool Driver::Execute(const std::string& Line)
{
    Step = Line;
    std::vector<std::wstring> Words;
    SplitWords(Wide(Line), &Words);
    if (!IsStep(Words)) return true;
    std::wstring Command = Words[0];
    Args.assign(Words.begin() + 1, Words.end());

    if (Command == L"wait-window") return WaitWindowCommand();
    if (Command == L"expect-caption") {
        if (!NeedCurrent()) return false;
        std::wstring Caption = CaptionOf(Current);
        return Caption == Arg(0) ? Ok(Quote(Caption)) : Fail("caption is " + Quote(Caption));
    }
    if (Command == L"read-text") {
        HWND Item = Control(IdArg(0));
        if (!Item) return Current ? Fail("no such control") : false;
        return Ok(Quote(TextOf(Item)));
    }
    if (Command == L"expect-text") return ExpectText(false);
    if (Command == L"expect-text-contains") return ExpectText(true);
    if (Command == L"type") return Type();
    if (Command == L"select-list") return SelectList();
    if (Command == L"read-list") return ReadList();
    if (Command == L"expect-selected") return ExpectSelected();
    if (Command == L"check") return Check(true);
    if (Command == L"uncheck") return Check(false);
    if (Command == L"expect-checked") return ExpectChecked(true);
    if (Command == L"expect-unchecked") return ExpectChecked(false);
    if (Command == L"press") return Press();
    if (Command == L"answer") return Answer();
    if (Command == L"rect" || Command == L"expect-centred") {
        if (!NeedCurrent()) return false;
        bool Centred;
        std::string Detail = RectText(Current, &Centred);
        return Command == L"rect" || Centred ? Ok(Detail) : Fail(Detail);
    }
    if (Command == L"visible") return ExpectState("visible");
    if (Command == L"hidden") return ExpectState("hidden");
    if (Command == L"enabled") return ExpectState("enabled");
    if (Command == L"disabled") return ExpectState("disabled");
    if (Command == L"expect-inside") return ExpectInside();
    if (Command == L"expect-texts-fit") return ExpectTextsFit();
    if (Command == L"dump") {
        if (!NeedCurrent()) return false;
        DumpWindow(Current);
        return Ok("done");
    }
    if (Command == L"list-windows") {
        EnumWindows(ListWindowProc, 0);
        return Ok("done");
    }
    if (Command == L"close") {
        if (!NeedCurrent()) return false;
        PostMessageW(Current, WM_CLOSE, 0, 0);
        return Ok("posted WM_CLOSE to " + Quote(CaptionOf(Current)));
    }
    if (Command == L"wait-gone") return WaitGone();
    if (Command == L"leave") {
        std::vector<std::wstring> Leave = Args;
        std::string Wait = "wait-window " + Quote(Leave[0]) + (Leave.size() > 2 ? " " + Utf8(Leave[2]) : "");
        return Execute(Wait) && Execute("press " + Utf8(Leave[1])) && Execute("wait-gone");
    }
    if (Command == L"run-windowless") return RunWindowless();
    if (Command == L"sleep") {
        Sleep(NumberArg(0, 0));
        return Ok("slept");
    }
    return Screenshot();
}

bool Driver::Run(const std::vector<std::string>& Lines)
{
    for (const std::string& Line : Lines) {
        if (!Execute(Line)) {
            // What was on the screen when it failed.
            Log("info visible windows:");
            EnumWindows(ListWindowProc, 0);
            if (Current && IsWindow(Current)) DumpWindow(Current);
            return false;
        }
    }
    return true;
}

bool ReadScript(const char* Path, std::vector<std::string>* Lines)
{
    FILE* File = fopen(Path, "rb");
    if (!File) return false;
    std::string Text;
    char Buffer[4096];
    size_t Count;
    while ((Count = fread(Buffer, 1, sizeof Buffer, File)) > 0) Text.append(Buffer, Count);
    fclose(File);
    if (Text.compare(0, 3, "\xEF\xBB\xBF") == 0) Text.erase(0, 3);
    size_t Start = 0;
    while (Start < Text.size()) {
        size_t End = Text.find('\n', Start);
        if (End == std::string::npos) End = Text.size();
        std::string Line = Text.substr(Start, End - Start);
        if (!Line.empty() && Line.back() == '\r') Line.pop_back();
        Lines->push_back(Line);
        Start = End + 1;
    }
    return true;
}

// Wine ends its desktop process (explorer.exe /desktop) about a second after
// the last program on the desktop has ended, and the next program starts it
// again. That costs each test program a second or more: the new desktop
// process holds the output pipe of the program that started it until it
// ends. The test session starts this once, with its output on /dev/null, so
// that one desktop process serves every program of the session.
int HoldDesktop()
{
    GetDesktopWindow();
    HWND Idle = CreateWindowExW(0, L"STATIC", L"tarn-driver holds the desktop", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                nullptr, nullptr);
    MSG Message;
    while (GetMessageW(&Message, nullptr, 0, 0) > 0) DispatchMessageW(&Message);
    if (Idle) DestroyWindow(Idle);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && strcmp(argv[1], "--hold-desktop") == 0) return HoldDesktop();
    // The log is read on Linux: plain "\n" line ends.
    _setmode(_fileno(stdout), _O_BINARY);
    int TimeoutMs = 30000;
    std::wstring SyncDir;
    std::vector<std::string> Lines;
    bool HaveScript = false;
    for (int I = 1; I < argc; I++) {
        std::string Option = argv[I];
        if (Option == "--sync" && I + 1 < argc) {
            SyncDir = Wide(argv[++I]);
        } else if (Option == "--timeout" && I + 1 < argc) {
            TimeoutMs = atoi(argv[++I]);
        } else if (Option == "--poll" && I + 1 < argc) {
            PollMs = atoi(argv[++I]);
            if (PollMs < 1) PollMs = 1;
        } else if (Option == "-c" && I + 1 < argc) {
            Lines.push_back(argv[++I]);
            HaveScript = true;
        } else if (!HaveScript && Option[0] != '-') {
            if (!ReadScript(argv[I], &Lines)) {
                fprintf(stderr, "tarn-driver: cannot read %s\n", argv[I]);
                return 2;
            }
            HaveScript = true;
        } else {
            fprintf(stderr, "usage: tarn-driver [--sync DIR] [--timeout MS] [--poll MS] SCRIPT | -c COMMAND ...\n");
            return 2;
        }
    }
    if (!HaveScript) {
        fprintf(stderr, "usage: tarn-driver [--sync DIR] [--timeout MS] [--poll MS] SCRIPT | -c COMMAND ...\n");
        return 2;
    }
    if (!CheckScript(Lines)) return 2;
    Driver Session(TimeoutMs, SyncDir);
    return Session.Run(Lines) ? 0 : 1;
}
