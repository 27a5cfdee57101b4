// Colours, title fonts, gradient backgrounds and word-wrapped text blocks:
// the drawing helpers of the main window, the wizard titles and the message
// window (font specifications are parsed in oxGraphicsCore.h). Nothing here
// shows a message; a failed brush or font leaves the area unpainted.
#pragma once

#include <windows.h>

#include "oxGraphicsCore.h"

// The RGB colour of a colour value: negative values name the system colour
// of their low byte.
COLORREF ResolveColor(int Color);
// The brush of a system colour (COLOR_...) as FillRect and window classes
// take it, which saves an import and a lookup.
inline HBRUSH SystemColorBrush(int Index) { return (HBRUSH)(INT_PTR)(Index + 1); }
inline int RectWidth(const RECT& R) { return R.right - R.left; }
inline int RectHeight(const RECT& R) { return R.bottom - R.top; }
// Pixels of a 96 DPI (100 %) display in pixels of DC's display: positions
// next to text in points grow with it. (The setup is DPI-aware, so Windows
// does not scale its windows itself.)
int ScaleToDpi(HDC DC, int Pixels);
// A font of Size points on the display of Window (0: the screen); owned by
// the caller (DeleteObject). 0 when the platform cannot create it.
HFONT CreateSpecFont(HWND Window, const char* Face, int Size, FontStyles Styles);
// Direction 0/1: top to bottom from Color1 to Color2 / Color2 to Color1;
// 2/3: the same left to right. Steps < 2 fills with Color1 alone.
void FillGradient(HDC DC, const RECT& R, int Color1, int Color2, int Direction, unsigned short Steps);
// Text at X, Y in the DC's current font and Color; first, when ShadowOffset
// is not 0, its shadow that many pixels down and right in ShadowColor. The
// colours are colour values (ResolveColor); the DC's text colour is changed.
void DrawTitleText(HDC DC, int X, int Y, const Str& Text, int Color, int ShadowOffset, int ShadowColor);
// Width and line height of S in the DC's current font ({0,0} on failure).
SIZE TextExtent(HDC DC, const char* S);
// S broken at spaces into lines of at most MaxWidth pixels, joined by CR LF;
// a word wider than MaxWidth stands alone on its line.
Str WrapToWidth(HDC DC, const char* S, int MaxWidth);
// Draws S wrapped to R in Font; HAlign 0 left, 1 right, 2 centre; VAlign
// 0 top, 1 centre, 2 bottom. The DC's previous font is restored.
void DrawTextBlock(HDC DC, const char* S, RECT R, HFONT Font, int HAlign, int VAlign, bool Transparent);
