// Replacement of files in use at restart; see Reboot.h.
#include "Reboot.h"

#include <windows.h>

#include "TarnStr.h"
#include "oxFileUtils.h"
#include "oxShell.h"
#include "oxStrUtils.h"

static const char* const WininitName = "wininit.ini";
static const char* const RenameSection = "Rename";

bool AddWininitRename(const char* WininitPath, const char* TemporaryPath, const char* TargetPath)
{
    // [Rename] holds one "NUL=" line per file to delete, so the key-wise
    // profile write (which replaces a key of the same name) would drop the
    // deletion of every earlier file. The section is read and written whole.
    DWORD Capacity = 4096;
    Str Section;
    DWORD Used;
    for (;;) {
        Used = GetPrivateProfileSectionA(RenameSection, Section.Reserve(Capacity), Capacity, WininitPath);
        if (Used < Capacity - 2) break; // Capacity - 2 means "cut short"
        Capacity *= 2;
    }
    // Section holds Used bytes of zero-ended lines; ours follow, and the
    // text's own terminator is the final zero.
    Section.SetLength(Used);
    Section.Append("NUL=").Append(TargetPath).Append('\0');
    Section.Append(TargetPath).Append('=').Append(TemporaryPath).Append('\0');
    return WritePrivateProfileSectionA(RenameSection, Section.c_str(), WininitPath) != FALSE;
}

bool ScheduleReplaceAtRestart(const char* TemporaryPath, const char* TargetPath)
{
    if (OSInfo.Kind >= OSWinNT) {
        // One operation that replaces the target. Registering a delayed
        // delete first and the rename second could leave the delete alone
        // when the second call fails: the product file would vanish at
        // restart with nothing in its place.
        return MoveFileExA(TemporaryPath, TargetPath, MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING) != FALSE;
    }
    Str Wininit = AddBackslash(GetWindowsDir()) + WininitName;
    return AddWininitRename(Wininit.c_str(), TemporaryPath, TargetPath);
}
