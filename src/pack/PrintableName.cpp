// See PrintableName.h.
#include "PrintableName.h"

#include <stdio.h>

std::string PrintableName(const char* Name)
{
    std::string Shown;
    for (const unsigned char* P = (const unsigned char*)Name; *P; ++P) {
        if (*P >= 0x20 && *P < 0x7F) {
            Shown += (char)*P;
        } else {
            char Escape[8];
            snprintf(Escape, sizeof Escape, "\\x%02X", *P);
            Shown += Escape;
        }
    }
    return Shown;
}
