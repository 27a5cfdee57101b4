// Colours, fonts, gradient bands and wrapped text on a memory device
// context, under Wine.
#include <gtest/gtest.h>

#include "oxGraphics.h"
#include "oxStrUtils.h"

static std::string S(const Str& Text) { return std::string(Text.c_str(), (size_t)Text.Length()); }

// A memory DC over a 32-bit top-down DIB whose pixels the test reads directly.
class Canvas {
public:
    Canvas(int W, int H) : Width(W), Height(H)
    {
        BITMAPINFO Info = {};
        Info.bmiHeader.biSize = sizeof(Info.bmiHeader);
        Info.bmiHeader.biWidth = W;
        Info.bmiHeader.biHeight = -H;
        Info.bmiHeader.biPlanes = 1;
        Info.bmiHeader.biBitCount = 32;
        Info.bmiHeader.biCompression = BI_RGB;
        DC = CreateCompatibleDC(nullptr);
        Bitmap = CreateDIBSection(DC, &Info, DIB_RGB_COLORS, (void**)&Bits, nullptr, 0);
        Old = SelectObject(DC, Bitmap);
        Fill(RGB(1, 2, 3));
    }
    ~Canvas()
    {
        SelectObject(DC, Old);
        DeleteObject(Bitmap);
        DeleteDC(DC);
    }
    void Fill(COLORREF Color)
    {
        RECT All = {0, 0, Width, Height};
        HBRUSH Brush = CreateSolidBrush(Color);
        FillRect(DC, &All, Brush);
        DeleteObject(Brush);
        GdiFlush();
    }
    COLORREF At(int X, int Y) const
    {
        GdiFlush();
        unsigned Pixel = Bits[Y * Width + X]; // 0x00RRGGBB in a DIB
        return RGB((Pixel >> 16) & 0xFF, (Pixel >> 8) & 0xFF, Pixel & 0xFF);
    }
    // Rows (first, last) holding any pixel other than Background; -1 when none.
    std::pair<int, int> InkRows(COLORREF Background) const
    {
        int First = -1, Last = -1;
        for (int Y = 0; Y < Height; ++Y)
            for (int X = 0; X < Width; ++X)
                if (At(X, Y) != Background) {
                    if (First < 0) First = Y;
                    Last = Y;
                    break;
                }
        return {First, Last};
    }
    HDC DC;
    int Width, Height;

private:
    HBITMAP Bitmap;
    HGDIOBJ Old;
    unsigned* Bits = nullptr;
};

static const COLORREF Untouched = RGB(1, 2, 3);

TEST(SupportColors, SystemColoursResolveAndRgbStays)
{
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), ResolveColor(-2147483633)); // $8000000F
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), ResolveColor((int)0x80000005));
    EXPECT_EQ(255u, ResolveColor(255));
    EXPECT_EQ(0x00C0C0C0u, ResolveColor(12632256));
    RECT R = {10, 20, 110, 70};
    EXPECT_EQ(100, RectWidth(R));
    EXPECT_EQ(50, RectHeight(R));
}

TEST(SupportGradient, OneStepIsASolidFillOfTheFirstColour)
{
    Canvas C(20, 20);
    RECT R = {2, 2, 18, 18};
    FillGradient(C.DC, R, 255, 0xFF0000, 0, 1);
    EXPECT_EQ(RGB(255, 0, 0), C.At(2, 2));
    EXPECT_EQ(RGB(255, 0, 0), C.At(17, 17));
    EXPECT_EQ(Untouched, C.At(1, 1));
    EXPECT_EQ(Untouched, C.At(18, 18));
    RECT Empty = {5, 5, 5, 15};
    C.Fill(Untouched);
    FillGradient(C.DC, Empty, 255, 0, 0, 10);
    EXPECT_EQ(Untouched, C.At(5, 5));
}

TEST(SupportGradient, BandColoursFromBlackToOrangeBlue)
{
    // 256 rows, 256 bands of one pixel: band i starts at row i, and the
    // next band overdraws its extra pixel.
    Canvas C(4, 260);
    RECT R = {0, 0, 4, 256};
    FillGradient(C.DC, R, 0, 16744448, 0, 256);
    EXPECT_EQ(RGB(0, 0, 0), C.At(0, 0));
    EXPECT_EQ(RGB(0, 64, 128), C.At(0, 128)); // MulDiv(128, 255, 256) rounds 127.5 up
    // The last band stops one step short of the end colour.
    EXPECT_EQ(RGB(0, 128, 254), C.At(3, 255));
    for (int Y = 0; Y < 256; ++Y) ASSERT_NE(Untouched, C.At(1, Y)) << Y; // no gaps
}

TEST(SupportGradient, BandsAreLimitedToThePixelExtent)
{
    Canvas C(4, 12);
    RECT R = {0, 0, 4, 10};
    FillGradient(C.DC, R, RGB(0, 0, 0), RGB(100, 0, 0), 0, 100);
    // Ten bands of one pixel: red goes up by 10 per row.
    for (int Y = 0; Y < 10; ++Y) EXPECT_EQ(RGB(10 * Y, 0, 0), C.At(0, Y)) << Y;
}

TEST(SupportGradient, DirectionsSwapColoursAndAxes)
{
    Canvas C(64, 64);
    RECT R = {0, 0, 64, 64};
    FillGradient(C.DC, R, RGB(200, 0, 0), RGB(0, 0, 200), 1, 64);
    EXPECT_EQ(RGB(0, 0, 200), C.At(32, 0)); // direction 1 starts with Color2
    EXPECT_EQ(RGB(0, 0, 200), C.At(0, 0));
    FillGradient(C.DC, R, RGB(200, 0, 0), RGB(0, 0, 200), 2, 64);
    EXPECT_EQ(RGB(200, 0, 0), C.At(0, 40)); // left to right, rows alike
    EXPECT_EQ(C.At(63, 0), C.At(63, 63));
    EXPECT_NE(C.At(0, 0), C.At(63, 0));
    FillGradient(C.DC, R, RGB(200, 0, 0), RGB(0, 0, 200), 3, 64);
    EXPECT_EQ(RGB(0, 0, 200), C.At(0, 40));
}

TEST(SupportGradient, SystemColoursAreResolved)
{
    Canvas C(8, 8);
    RECT R = {0, 0, 8, 8};
    FillGradient(C.DC, R, -2147483633, -2147483633, 0, 4);
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), C.At(4, 4));
}

TEST(SupportFonts, SizeInPointsAndStyles)
{
    HFONT Font = CreateSpecFont(nullptr, "Times New Roman", 30, FontBold | FontUnderline);
    ASSERT_NE(nullptr, Font);
    LOGFONTA Info = {};
    GetObjectA(Font, sizeof(Info), &Info);
    HDC Screen = GetDC(nullptr);
    int Dpi = GetDeviceCaps(Screen, LOGPIXELSY);
    ReleaseDC(nullptr, Screen);
    EXPECT_EQ(-MulDiv(30, Dpi, 72), Info.lfHeight);
    EXPECT_EQ(700, Info.lfWeight);
    EXPECT_TRUE(Info.lfUnderline);
    EXPECT_FALSE(Info.lfItalic);
    EXPECT_FALSE(Info.lfStrikeOut);
    EXPECT_STREQ("Times New Roman", Info.lfFaceName);
    DeleteObject(Font);

    Font = CreateSpecFont(nullptr, "", 8, FontItalic | FontStrikeOut);
    ASSERT_NE(nullptr, Font);
    GetObjectA(Font, sizeof(Info), &Info);
    EXPECT_EQ(400, Info.lfWeight);
    EXPECT_TRUE(Info.lfItalic);
    EXPECT_TRUE(Info.lfStrikeOut);
    DeleteObject(Font);
}

class SupportTextTest : public ::testing::Test {
protected:
    Canvas C{400, 200};
    HFONT Font = CreateSpecFont(nullptr, "Arial", 12, 0);
    HGDIOBJ Old = SelectObject(C.DC, Font);
    ~SupportTextTest() override
    {
        SelectObject(C.DC, Old);
        DeleteObject(Font);
    }
    int Width(const char* Text) { return TextExtent(C.DC, Text).cx; }
};

TEST_F(SupportTextTest, ExtentHasTheLineHeightWhateverTheText)
{
    SIZE Word = TextExtent(C.DC, "Word");
    EXPECT_GT(Word.cx, 0);
    EXPECT_GT(Word.cy, 0);
    EXPECT_EQ(Word.cy, TextExtent(C.DC, "").cy);
    EXPECT_EQ(0, TextExtent(C.DC, "").cx);
}

TEST_F(SupportTextTest, WrapBreaksAtSpacesWithinTheWidth)
{
    EXPECT_EQ("", S(WrapToWidth(C.DC, "", 100)));
    EXPECT_EQ("", S(WrapToWidth(C.DC, "    ", 100)));
    std::string Long(60, 'W');
    EXPECT_EQ(Long, S(WrapToWidth(C.DC, Long.c_str(), 10))); // never broken inside a word
    int Joined = Width("alpha beta");
    EXPECT_EQ("alpha beta", S(WrapToWidth(C.DC, "alpha beta", Joined))); // exactly fits
    EXPECT_EQ("alpha\r\nbeta", S(WrapToWidth(C.DC, "alpha beta", Joined - 1)));
    EXPECT_EQ("alpha beta", S(WrapToWidth(C.DC, "  alpha    beta  ", Joined))); // runs of spaces are one
    EXPECT_EQ("a\r\n" + Long + "\r\nb", S(WrapToWidth(C.DC, ("a " + Long + " b").c_str(), Width("a b") + 2)));
}

TEST_F(SupportTextTest, TextBlockIsAlignedVerticallyAndRestoresTheFont)
{
    HFONT Other = CreateSpecFont(nullptr, "Arial", 20, FontBold);
    RECT R = {0, 0, 400, 200};
    int LineHeight = TextExtent(C.DC, "x").cy;

    DrawTextBlock(C.DC, "Centred line", R, Font, 2, 1, true);
    EXPECT_EQ(Font, (HFONT)GetCurrentObject(C.DC, OBJ_FONT));
    std::pair<int, int> Ink = C.InkRows(Untouched);
    ASSERT_GE(Ink.first, 0);
    int Free = (200 - LineHeight) / 2;
    EXPECT_GE(Ink.first, Free);
    EXPECT_LE(Ink.second, Free + LineHeight);

    C.Fill(Untouched);
    SelectObject(C.DC, Other);
    DrawTextBlock(C.DC, "Bottom line", R, Font, 0, 2, true);
    EXPECT_EQ(Other, (HFONT)GetCurrentObject(C.DC, OBJ_FONT)); // previous font back
    SelectObject(C.DC, Font);
    Ink = C.InkRows(Untouched);
    EXPECT_GE(Ink.first, 200 - LineHeight);

    C.Fill(Untouched);
    DrawTextBlock(C.DC, "Top line", R, Font, 1, 0, true);
    Ink = C.InkRows(Untouched);
    EXPECT_LT(Ink.second, LineHeight);
    DeleteObject(Other);
}

TEST_F(SupportTextTest, TextTallerThanTheBlockStartsAtTheTop)
{
    std::string Many;
    for (int I = 0; I < 40; ++I) Many += "word ";
    RECT R = {0, 0, 60, 40}; // a few words per line, far more lines than fit
    DrawTextBlock(C.DC, Many.c_str(), R, Font, 2, 1, true);
    std::pair<int, int> Ink = C.InkRows(Untouched);
    ASSERT_GE(Ink.first, 0);
    EXPECT_LT(Ink.first, TextExtent(C.DC, "x").cy);
}

// Rightmost column with ink in the top rows, -1 when none.
static int RightmostInk(const Canvas& C)
{
    int Rightmost = -1;
    for (int X = 0; X < C.Width; ++X)
        for (int Y = 0; Y < 40; ++Y)
            if (C.At(X, Y) != Untouched) Rightmost = X;
    return Rightmost;
}

TEST_F(SupportTextTest, AmpersandsAreShownAsWritten)
{
    RECT R = {0, 0, 400, 200};
    DrawTextBlock(C.DC, "R&D", R, Font, 0, 0, true);
    Canvas Literal(400, 200), Prefixed(400, 200);
    for (Canvas* Other : {&Literal, &Prefixed}) {
        HGDIOBJ Previous = SelectObject(Other->DC, Font);
        SetBkMode(Other->DC, TRANSPARENT);
        RECT Box = R;
        DrawTextA(Other->DC, "R&D", -1, &Box, Other == &Literal ? DT_NOPREFIX : 0);
        SelectObject(Other->DC, Previous);
    }
    EXPECT_EQ(RightmostInk(Literal), RightmostInk(C));
    EXPECT_NE(RightmostInk(Prefixed), RightmostInk(C));
}
