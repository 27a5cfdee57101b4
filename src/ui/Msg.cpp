// The message window: a modeless DLG_MESSAGE box with the program icon and
// one status text, shown while the run works without a dialog (reading the
// instructions, measuring the payload, writing registry values). There is no
// message loop meanwhile, so every change of text is painted before the call
// returns. The window lives until the program ends.
#include "Msg.h"

#include <windows.h>

#include "Common.h"
#include "FixedTexts.h"
#include "Report.h"
#include "ResourceIds.h"
#include "SetupNames.h"
#include "oxGraphics.h"

// DrawTextBlock alignments: centred both ways.
enum { MessageHAlignCentre = 2, MessageVAlignCentre = 1 };

static HWND MessageWindow = 0;
static Str MessageText;

// Controls: IDC_MESSAGE_ICON (MAINICON), IDC_MESSAGE_TEXT (an empty static
// whose area receives MessageText, wrapped and centred).
static INT_PTR CALLBACK MessageWindowProc(HWND Dialog, UINT Message, WPARAM, LPARAM)
{
    if (Message == WM_PAINT) {
        // Painting the text control here validates it, so its own (empty)
        // paint does not wipe the text afterwards.
        HWND TextControl = GetDlgItem(Dialog, IDC_MESSAGE_TEXT);
        PAINTSTRUCT Paint;
        HDC DC = BeginPaint(TextControl, &Paint);
        if (DC) {
            RECT Area;
            GetClientRect(TextControl, &Area);
            // The static's own painting is skipped, and with it the
            // clearing of its background: the old text goes here.
            HBRUSH Background = (HBRUSH)SendMessageA(Dialog, WM_CTLCOLORSTATIC, (WPARAM)DC, (LPARAM)TextControl);
            FillRect(DC, &Area, Background ? Background : SystemColorBrush(COLOR_BTNFACE));
            HFONT Font = (HFONT)SendMessageA(Dialog, WM_GETFONT, 0, 0);
            DrawTextBlock(DC, MessageText.c_str(), Area, Font, MessageHAlignCentre, MessageVAlignCentre, true);
            EndPaint(TextControl, &Paint);
        }
    }
    // The default dialog processing paints the rest of the window.
    return 0;
}

void ShowMessageWindow(const char* Text)
{
    if (SilentRun) return;
    if (!MessageWindow) {
        MessageWindow = CreateDialogParamA(ModuleInstance, DlgMessage, MainWindow, MessageWindowProc, 0);
        if (!MessageWindow) {
            // The next call tries again.
            ReportError(0, NoMessageWindowMessage, ExitInstalled);
            return;
        }
    }
    MessageText = Text ? Text : "";
    // The whole window is invalidated and painted before the caller goes
    // on. (Hiding and showing it again would invalidate it as well, but
    // costs a round trip to the display server each time.)
    ShowWindow(MessageWindow, SW_SHOW);
    RedrawWindow(MessageWindow, 0, 0, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void HideMessageWindow()
{
    if (MessageWindow) ShowWindow(MessageWindow, SW_HIDE);
}
