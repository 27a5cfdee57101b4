// The message window: its text is painted before ShowMessageWindow returns,
// wrapped and centred in the text area, and replaced at once by a new text.
// The pixels are read back from the window itself.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "Common.h"
#include "Msg.h"
#include "ResourceIds.h"

namespace {

struct Found {
    HWND Window;
};

BOOL CALLBACK FindVisibleDialog(HWND Window, LPARAM Param)
{
    char ClassName[32];
    if (IsWindowVisible(Window) && GetClassNameA(Window, ClassName, sizeof ClassName) &&
        lstrcmpA(ClassName, "#32770") == 0) {
        ((Found*)Param)->Window = Window;
        return FALSE;
    }
    return TRUE;
}

HWND VisibleMessageWindow()
{
    Found Result = {0};
    EnumThreadWindows(GetCurrentThreadId(), FindVisibleDialog, (LPARAM)&Result);
    return Result.Window;
}

// Ink of the text area: for each pixel row and column, whether it holds a
// pixel clearly darker than the background.
struct Ink {
    int Width = 0, Height = 0;
    std::vector<bool> Rows, Columns;
    int FirstRow() const
    {
        for (int Y = 0; Y < Height; ++Y)
            if (Rows[Y]) return Y;
        return -1;
    }
    int LastRow() const
    {
        for (int Y = Height - 1; Y >= 0; --Y)
            if (Rows[Y]) return Y;
        return -1;
    }
    int FirstColumn() const
    {
        for (int X = 0; X < Width; ++X)
            if (Columns[X]) return X;
        return -1;
    }
    int LastColumn() const
    {
        for (int X = Width - 1; X >= 0; --X)
            if (Columns[X]) return X;
        return -1;
    }
    // Runs of inked rows separated by blank rows: the painted lines.
    int LineCount() const
    {
        int Count = 0;
        for (int Y = 0; Y < Height; ++Y)
            if (Rows[Y] && (Y == 0 || !Rows[Y - 1])) ++Count;
        return Count;
    }
};

Ink ReadInk(HWND Dialog)
{
    HWND Text = GetDlgItem(Dialog, IDC_MESSAGE_TEXT);
    RECT Area;
    GetClientRect(Text, &Area);
    Ink Result;
    Result.Width = Area.right;
    Result.Height = Area.bottom;
    Result.Rows.assign(Result.Height, false);
    Result.Columns.assign(Result.Width, false);
    // One copy of the area into a 32-bit DIB: far quicker than GetPixel per pixel.
    BITMAPINFO Format = {};
    Format.bmiHeader.biSize = sizeof Format.bmiHeader;
    Format.bmiHeader.biWidth = Result.Width;
    Format.bmiHeader.biHeight = -Result.Height; // top row first
    Format.bmiHeader.biPlanes = 1;
    Format.bmiHeader.biBitCount = 32;
    Format.bmiHeader.biCompression = BI_RGB;
    void* Bits = 0;
    HDC DC = GetDC(Text);
    HDC Memory = CreateCompatibleDC(DC);
    HBITMAP Copy = CreateDIBSection(DC, &Format, DIB_RGB_COLORS, &Bits, 0, 0);
    HGDIOBJ Previous = SelectObject(Memory, Copy);
    BitBlt(Memory, 0, 0, Result.Width, Result.Height, DC, 0, 0, SRCCOPY);
    GdiFlush();
    const unsigned char* Pixels = (const unsigned char*)Bits;
    auto Level = [&](int X, int Y) {
        const unsigned char* Pixel = Pixels + 4 * (Y * Result.Width + X);
        return Pixel[0] + Pixel[1] + Pixel[2];
    };
    int BackgroundLevel = Level(0, 0);
    for (int Y = 0; Y < Result.Height; ++Y) {
        for (int X = 0; X < Result.Width; ++X) {
            if (Level(X, Y) < BackgroundLevel - 150) {
                Result.Rows[Y] = true;
                Result.Columns[X] = true;
            }
        }
    }
    SelectObject(Memory, Previous);
    DeleteObject(Copy);
    DeleteDC(Memory);
    ReleaseDC(Text, DC);
    return Result;
}

class MessageWindow : public ::testing::Test {
protected:
    void SetUp() override { ModuleInstance = GetModuleHandleA(0); }
};

const char* const ShortText = "Reading installation instructions...";
const char* const LongText =
    "Please wait while the setup works out how much room the selected components need on your disk; "
    "this can take a moment for a large product.";

} // namespace

TEST_F(MessageWindow, HideBeforeAnyShowDoesNothing)
{
    HideMessageWindow();
    EXPECT_EQ((HWND)0, VisibleMessageWindow());
}

TEST_F(MessageWindow, ShortTextIsOneCentredLine)
{
    ShowMessageWindow(ShortText);
    HWND Dialog = VisibleMessageWindow();
    ASSERT_NE((HWND)0, Dialog);
    Ink Painted = ReadInk(Dialog);
    EXPECT_EQ(1, Painted.LineCount());
    // Centred both ways, within a few pixels of font metrics.
    EXPECT_NEAR(Painted.FirstColumn(), Painted.Width - 1 - Painted.LastColumn(), 3);
    EXPECT_NEAR(Painted.FirstRow(), Painted.Height - 1 - Painted.LastRow(), 4);
}

TEST_F(MessageWindow, LongTextWrapsAndStaysCentred)
{
    ShowMessageWindow(LongText);
    HWND Dialog = VisibleMessageWindow();
    ASSERT_NE((HWND)0, Dialog);
    Ink Painted = ReadInk(Dialog);
    EXPECT_GE(Painted.LineCount(), 2);
    EXPECT_NEAR(Painted.FirstRow(), Painted.Height - 1 - Painted.LastRow(), 4);
    EXPECT_GT(Painted.FirstRow(), 0);
}

TEST_F(MessageWindow, NewTextReplacesTheOldAtOnce)
{
    ShowMessageWindow(LongText);
    HWND Dialog = VisibleMessageWindow();
    ASSERT_NE((HWND)0, Dialog);
    ASSERT_GE(ReadInk(Dialog).LineCount(), 2);
    // No message is pumped between the calls: the new text must be painted
    // by the call itself.
    ShowMessageWindow(ShortText);
    EXPECT_EQ(Dialog, VisibleMessageWindow());
    EXPECT_EQ(1, ReadInk(Dialog).LineCount());
}

TEST_F(MessageWindow, TooTallTextStartsAtTheTop)
{
    std::string Tall;
    for (int Line = 0; Line < 12; ++Line) Tall += "Many words that fill one more line of the window. ";
    ShowMessageWindow(Tall.c_str());
    HWND Dialog = VisibleMessageWindow();
    ASSERT_NE((HWND)0, Dialog);
    Ink Painted = ReadInk(Dialog);
    EXPECT_LE(Painted.FirstRow(), 3);
    // Filled down to the bottom, where the rest is cut off.
    EXPECT_GE(Painted.LastRow(), Painted.Height - 8);
}

TEST_F(MessageWindow, HideThenShowAgain)
{
    ShowMessageWindow(ShortText);
    HWND Dialog = VisibleMessageWindow();
    ASSERT_NE((HWND)0, Dialog);
    HideMessageWindow();
    EXPECT_FALSE(IsWindowVisible(Dialog));
    ShowMessageWindow(LongText);
    EXPECT_EQ(Dialog, VisibleMessageWindow());
    EXPECT_GE(ReadInk(Dialog).LineCount(), 2);
}
