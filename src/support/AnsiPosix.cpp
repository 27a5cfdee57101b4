// ANSI upper-case mapping for hosts without the Windows code-page tables:
// ASCII letters only, which is what archive and script names use there.
#include "TarnStr.h"
#include "oxStrUtils.h"

void AnsiUpperBuffer(char* Text, int Length)
{
    for (int I = 0; I < Length; ++I)
        if (Text[I] >= 'a' && Text[I] <= 'z') Text[I] = (char)(Text[I] - 'a' + 'A');
}

// Hosts use single-byte texts only.
bool AnsiIsLeadByte(unsigned char) { return false; }
