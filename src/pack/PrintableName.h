// Names and paths read from an archive, made safe to print. A name is
// whatever bytes the archive holds: escape sequences in it would move the
// cursor, recolour or retitle the user's terminal, and it carries no code
// page, so its bytes above 127 may be control characters to the terminal
// (C1 codes) or invalid in its encoding. Printable ASCII stays as it is;
// every other byte is shown as \xNN. The archive's backslashes stay.
#pragma once

#include <string>

std::string PrintableName(const char* Name);
