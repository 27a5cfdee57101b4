// tarn-msgbox-probe: shows the support library's centred message boxes one
// after the other, for tests/e2e/harness_msgbox.sh to answer with the driver.
// Each line on stdout names a box and the button that closed it, so the test
// can check that the answer the driver gave is the one the caller received.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "oxShell.h"

namespace {

void Report(const char* Step, int Result)
{
    printf("%s %d\n", Step, Result);
    fflush(stdout);
}

// The installation worker asks its questions from its own thread: the
// centring hook must follow the calling thread.
DWORD WINAPI AskFromWorker(LPVOID) { return (DWORD)AskQuestion("Asked from a worker thread?"); }

// A top-level window put in the corner, centred by CenterWindow and shown
// until the driver closes it.
void ShowCentredWindow(const char* Caption, int Width, int Height)
{
    HWND Wnd = CreateWindowExA(0, "TarnProbeWindow", Caption, WS_OVERLAPPEDWINDOW, 0, 0, Width, Height, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
    CenterWindow(Wnd);
    ShowWindow(Wnd, SW_SHOWNORMAL);
    MSG Message;
    while (IsWindow(Wnd) && GetMessageA(&Message, nullptr, 0, 0) > 0) {
        TranslateMessage(&Message);
        DispatchMessageA(&Message);
    }
}

} // namespace

int main()
{
    _setmode(_fileno(stdout), _O_BINARY);
    WNDCLASSA Class = {};
    Class.lpfnWndProc = DefWindowProcA;
    Class.hInstance = GetModuleHandleA(nullptr);
    Class.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    Class.lpszClassName = "TarnProbeWindow";
    RegisterClassA(&Class);

    // Before any dialog has set MessageCaption.
    ShowError("Archive open error!");
    Report("error-default", 0);
    Report("question-default", AskQuestion("Cancel the installation?"));

    MessageCaption = "Probe Setup";
    ShowError("File extracting error!");
    Report("error-caption", 0);
    Report("question-caption", AskQuestion("Keep the newer file?"));

    // CenterWindow on its own: Wine places message boxes itself after the
    // hook has run, so a window larger than the screen is tried directly.
    ShowCentredWindow("Small window", 300, 200);
    Report("small-window", 0);
    ShowCentredWindow("Large window", 1300, 1000);
    Report("large-window", 0);

    // Centred on the screen, not on an owner that sits in a corner.
    HWND Owner = CreateWindowExA(0, "STATIC", "Probe owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 240, 120, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    Report("owned", CenteredMessageBox(Owner, "Owned box", "Centred on the screen.", MB_OKCANCEL | MB_ICONWARNING));
    DestroyWindow(Owner);

    HANDLE Worker = CreateThread(nullptr, 0, AskFromWorker, nullptr, 0, nullptr);
    DWORD Answer = 0;
    WaitForSingleObject(Worker, INFINITE);
    GetExitCodeThread(Worker, &Answer);
    CloseHandle(Worker);
    Report("worker-question", (int)Answer);

    Report("done", 0);
    return 0;
}
