// Font specifications of the setup script ("Face,Size,Color,Styles"):
// the portable part of the graphics module.
#include "oxGraphicsCore.h"

#include "oxStrUtils.h"

static const int DefaultFontSize = 8;

bool ParseFontSpec(const char* FontText, Str* Face, int* Size, int* Color, FontStyles* Styles)
{
    Str Text(FontText);
    *Face = GetWord(1, Text, CommaSet);
    *Size = TextToIntDef(GetWord(2, Text, CommaSet).c_str(), DefaultFontSize);
    *Styles = 0;
    Str StyleLetters = GetWord(4, Text, CommaSet);
    for (int I = 0; I < StyleLetters.Length(); ++I) {
        switch (StyleLetters.At(I)) {
        case 'B': *Styles |= FontBold; break;
        case 'I': *Styles |= FontItalic; break;
        case 'U': *Styles |= FontUnderline; break;
        case 'S': *Styles |= FontStrikeOut; break;
        default: break; // other letters, lower case included, mean nothing
        }
    }
    return TextToInt(GetWord(3, Text, CommaSet).c_str(), Color);
}
