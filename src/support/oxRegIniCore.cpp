// The portable half of oxRegIni: which root a registry path names.
#include "oxRegIniCore.h"

static_assert(sizeof(RegistryRootNames) / sizeof(RegistryRootNames[0]) == RegistryRootCount, "one name per root");

int RegistryRootIndex(const Str& KeyPart)
{
    if (KeyPart.Length() < RegistryRootLength) return -1;
    Str Prefix = KeyPart.Sub(0, RegistryRootLength);
    for (int Index = 0; Index < RegistryRootCount; ++Index)
        if (Prefix == RegistryRootNames[Index]) return Index;
    return -1;
}
