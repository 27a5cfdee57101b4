// ANSI upper-case mapping through the system's code page.
#include <windows.h>

#include "TarnStr.h"
#include "oxStrUtils.h"

void AnsiUpperBuffer(char* Text, int Length)
{
    if (Length > 0) CharUpperBuffA(Text, (DWORD)Length);
}

bool AnsiIsLeadByte(unsigned char Byte) { return IsDBCSLeadByte(Byte) != 0; }
