// Colours, fonts, gradients and wrapped text through GDI: see oxGraphics.h.
// Font specifications are parsed in oxGraphicsCore.cpp.
#include "oxGraphics.h"

#include <string.h>

#include "oxFileUtilsCore.h" // RoundedQuotient
#include "oxStrUtils.h"

// Points per inch: a font of Size points is Size * LOGPIXELSY / 72 pixels high.
static const int PointsPerInch = 72;
// The resolution at which the program's pixel positions are given.
static const int DefaultPixelsPerInch = 96;
static const int NormalWeight = 400;
static const int BoldWeight = 700;
// A negative colour names the system colour of its low byte.
static const int SystemColorIndexMask = 0xFF;

COLORREF ResolveColor(int Color)
{
    if (Color < 0) return GetSysColor(Color & SystemColorIndexMask);
    return (COLORREF)Color;
}

int ScaleToDpi(HDC DC, int Pixels) { return MulDiv(Pixels, GetDeviceCaps(DC, LOGPIXELSY), DefaultPixelsPerInch); }

HFONT CreateSpecFont(HWND Window, const char* Face, int Size, FontStyles Styles)
{
    HDC DC = GetDC(Window);
    int PixelsPerInch = DC ? GetDeviceCaps(DC, LOGPIXELSY) : DefaultPixelsPerInch;
    if (DC) ReleaseDC(Window, DC);
    // A negative height asks for the character height, not the cell height.
    int Height = -MulDiv(Size, PixelsPerInch, PointsPerInch);
    return CreateFontA(Height, 0, 0, 0, (Styles & FontBold) ? BoldWeight : NormalWeight,
                       (Styles & FontItalic) ? TRUE : FALSE, (Styles & FontUnderline) ? TRUE : FALSE,
                       (Styles & FontStrikeOut) ? TRUE : FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, Face ? Face : "");
}

// Origin + Numerator / Bands, to the nearest pixel with halves to even. A
// negative origin is moved by an even number of pixels first: the rounding
// works on whole non-negative numbers, and an even shift keeps the halves'
// choice.
static int BandEdge(int Origin, unsigned long long Numerator, int Bands)
{
    int Shift = Origin < 0 ? (-Origin + 1) & ~1 : 0;
    unsigned long long Dividend = Numerator + (unsigned long long)(Origin + Shift) * Bands;
    return (int)RoundedQuotient(Dividend, (unsigned long long)Bands) - Shift;
}

void DrawTitleText(HDC DC, int X, int Y, const Str& Text, int Color, int ShadowOffset, int ShadowColor)
{
    if (ShadowOffset) {
        SetTextColor(DC, ResolveColor(ShadowColor));
        TextOutA(DC, X + ShadowOffset, Y + ShadowOffset, Text.c_str(), Text.Length());
    }
    SetTextColor(DC, ResolveColor(Color));
    TextOutA(DC, X, Y, Text.c_str(), Text.Length());
}

static void FillSolid(HDC DC, const RECT& R, COLORREF Color)
{
    HBRUSH Brush = CreateSolidBrush(Color);
    if (!Brush) return;
    FillRect(DC, &R, Brush);
    DeleteObject(Brush);
}

void FillGradient(HDC DC, const RECT& R, int Color1, int Color2, int Direction, unsigned short Steps)
{
    if (R.right <= R.left || R.bottom <= R.top) return; // an empty area
    if (Steps < 2) {
        FillSolid(DC, R, ResolveColor(Color1));
        return;
    }
    // Directions 1 and 3 run from the second colour; 2 and 3 run across.
    // Other values draw as 0.
    bool Reversed = Direction == 1 || Direction == 3;
    bool Across = Direction == 2 || Direction == 3;
    COLORREF Start = ResolveColor(Reversed ? Color2 : Color1);
    COLORREF End = ResolveColor(Reversed ? Color1 : Color2);
    int StartRgb[3] = {GetRValue(Start), GetGValue(Start), GetBValue(Start)};
    int DiffRgb[3] = {GetRValue(End) - StartRgb[0], GetGValue(End) - StartRgb[1], GetBValue(End) - StartRgb[2]};

    int Extent = Across ? RectWidth(R) : RectHeight(R);
    int Bands = Steps < Extent ? Steps : Extent;
    if (Bands < 2) Bands = 2;
    if (Extent <= 0) return;

    for (int I = 0; I < Bands; ++I) {
        RECT Band = R;
        // Each band is one pixel longer than its share so neighbours overlap
        // and rounding leaves no gap.
        if (Across) {
            Band.left = BandEdge(R.left, (unsigned long long)Extent * I, Bands);
            Band.right = BandEdge(Band.left, (unsigned long long)Extent, Bands) + 1;
        } else {
            Band.top = BandEdge(R.top, (unsigned long long)Extent * I, Bands);
            Band.bottom = BandEdge(Band.top, (unsigned long long)Extent, Bands) + 1;
        }
        int Rgb[3];
        for (int C = 0; C < 3; ++C) Rgb[C] = (StartRgb[C] + MulDiv(I, DiffRgb[C], Bands)) & 0xFF;
        FillSolid(DC, Band, RGB(Rgb[0], Rgb[1], Rgb[2]));
    }
}

SIZE TextExtent(HDC DC, const char* S)
{
    SIZE Size = {0, 0};
    if (!GetTextExtentPoint32A(DC, S, (int)strlen(S), &Size)) Size.cx = Size.cy = 0;
    if (Size.cy == 0) {
        // Some systems give no height for an empty text; the line height is
        // that of the font whatever the text holds.
        TEXTMETRICA Metrics;
        if (GetTextMetricsA(DC, &Metrics)) Size.cy = Metrics.tmHeight;
    }
    return Size;
}

Str WrapToWidth(HDC DC, const char* S, int MaxWidth)
{
    Str Text(S);
    Str Result, Line;
    int I = 0;
    for (;;) {
        // Words are runs of non-spaces; line breaks belong to the words.
        while (I < Text.Length() && Text.At(I) == ' ') ++I;
        if (I >= Text.Length()) break;
        int Start = I;
        while (I < Text.Length() && Text.At(I) != ' ') ++I;
        Str Word = Text.Sub(Start, I - Start);
        Str Candidate = Line.Empty() ? Word : Line + " " + Word;
        if (!Line.Empty() && TextExtent(DC, Candidate.c_str()).cx > MaxWidth) {
            if (!Result.Empty()) Result += "\r\n";
            Result += Line;
            Line = Word;
        } else {
            Line = Candidate;
        }
    }
    if (!Line.Empty()) {
        if (!Result.Empty()) Result += "\r\n";
        Result += Line;
    }
    return Result;
}

void DrawTextBlock(HDC DC, const char* S, RECT R, HFONT Font, int HAlign, int VAlign, bool Transparent)
{
    static const UINT AlignFormats[3] = {DT_LEFT, DT_RIGHT, DT_CENTER};
    HGDIOBJ OldFont = SelectObject(DC, Font);
    Str Wrapped = WrapToWidth(DC, S, RectWidth(R));
    int LineHeight = TextExtent(DC, Wrapped.c_str()).cy;
    int Lines = CountWords(Wrapped, CrSet);
    int Free = (RectHeight(R) - LineHeight * Lines) / 2;
    if (Free < 0) Free = 0; // too tall: draw from the top
    if (VAlign == 1) {
        R.top += Free;
        R.bottom -= Free;
    } else if (VAlign == 2) {
        R.top += 2 * Free;
    }
    SetBkMode(DC, Transparent ? TRANSPARENT : OPAQUE);
    UINT Format = (HAlign >= 0 && HAlign <= 2) ? AlignFormats[HAlign] : DT_LEFT;
    // No "&" prefixes: file names and messages are shown as they are.
    DrawTextA(DC, Wrapped.c_str(), Wrapped.Length(), &R, Format | DT_NOPREFIX);
    if (OldFont) SelectObject(DC, OldFont);
}
