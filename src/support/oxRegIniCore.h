// The registry roots a value path may begin with: the portable half of the
// registry access of oxRegIni.h, which the builder's checks read as well.
#pragma once

#include "TarnStr.h"

// In capitals only: "hklm\" names no root.
inline constexpr const char* RegistryRootNames[] = {"HKCR\\", "HKCU\\", "HKLM\\"};
enum { RegistryRootCount = 3, RegistryRootLength = 5 };

// The index in RegistryRootNames of the root that KeyPart (a key path without
// its value name) begins with; -1 when it begins with none or is too short to
// hold a root and its "\".
int RegistryRootIndex(const Str& KeyPart);
