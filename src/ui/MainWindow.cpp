// The main window (see MainWindow.h). It has no message loop of its own: its
// messages are dispatched by the modal loops of the dialogs and message boxes
// it owns. The gradient colours are read at every paint.
#include "MainWindow.h"

#include "Common.h"
#include "Dialogs.h"
#include "FixedTexts.h"
#include "Report.h"
#include "Setup.h"
#include "TestSeams.h"
#include "oxGraphics.h"
#include "oxRegIni.h"

static const char MainWindowClass[] = "TarnMainWindow";

enum {
    DefaultGradientTop = 0,           // black
    DefaultGradientBottom = 0xFF8000, // blue 255, green 128, red 0
    GradientBandHeight = 3,           // pixels per colour band
    MainTitleX = 20,                  // pixels from the client's corner at 96 DPI
    MainTitleY = 20,
    MainTitleShadowOffset = 3,
};

static void PaintMainWindow(HWND Window)
{
    RECT Client;
    GetClientRect(Window, &Client);
    PAINTSTRUCT Paint;
    HDC DC = BeginPaint(Window, &Paint);
    int Bottom = IniReadColor(IniPath.c_str(), "Display", "GradientBottomColor", DefaultGradientBottom);
    int Top = IniReadColor(IniPath.c_str(), "Display", "GradientTopColor", DefaultGradientTop);
    FillGradient(DC, Client, Top, Bottom, 0, (unsigned short)(RectHeight(Client) / GradientBandHeight));
    DrawTitle(DC, MainTitleLook, ProgramName, Client, MainTitleX, MainTitleY, MainTitleShadowOffset, "main-window");
    EndPaint(Window, &Paint);
}

static LRESULT CALLBACK MainWindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam)
{
    switch (Message) {
    case WM_DESTROY: PostQuitMessage(0); return 0;
    case WM_PAINT: PaintMainWindow(Window); break;                  // the default processing runs as well
    case MainWindowEndRun: EndRunAfterFailure((const char*)LParam); // does not return
    }
    return DefWindowProcA(Window, Message, WParam, LParam);
}

HWND CreateMainWindow()
{
    WNDCLASSA Class = {};
    Class.lpfnWndProc = MainWindowProc;
    Class.hInstance = ModuleInstance;
    // What LoadIconA does, through the call that loads the pictures as well.
    // The small icon is made from it, as the extended call would make it.
    Class.hIcon = (HICON)LoadImageA(ModuleInstance, "MAINICON", IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED);
    Class.lpszClassName = MainWindowClass;
    if (!RegisterClassA(&Class)) {
        ReportError(0, NoWindowClassMessage, ExitFailed);
        return 0;
    }
    if (TestSeamFails("main-window")) return 0;
    // A popup made with default sizes has no size at all, and some systems
    // keep it that way when it is maximised: it starts as large as the screen.
    return CreateWindowExA(0, MainWindowClass, ProgramName.c_str(), WS_POPUP | WS_CLIPCHILDREN, 0, 0,
                           GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 0, 0, ModuleInstance, 0);
}
