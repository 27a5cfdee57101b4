// Font specifications of the setup script ("Face,Size,Color,Styles"): the
// portable half of the graphics module (oxGraphics.h draws with them).
#pragma once

#include "TarnStr.h"

// FontStyles flags.
enum { FontBold = 1, FontItalic = 2, FontUnderline = 4, FontStrikeOut = 8 };
typedef unsigned FontStyles;

// Splits "Face,Size,Color,Styles" (comma words). Size is 8 when missing or
// not a number; Styles takes the letters B, I, U, S. Returns false when the
// colour is missing or not a number (Face, Size and Styles are still set,
// *Color is left untouched) so the caller can use its default colour.
bool ParseFontSpec(const char* FontText, Str* Face, int* Size, int* Color, FontStyles* Styles);
