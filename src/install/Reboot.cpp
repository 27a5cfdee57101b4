// Replacement of files in use at restart; see Reboot.h.
#include "Reboot.h"

#include <windows.h>
#include <string.h>

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
    char* Section = 0;
    DWORD Used;
    for (;;) {
        Section = (char*)CheckedRealloc(Section, Capacity);
        Used = GetPrivateProfileSectionA(RenameSection, Section, Capacity, WininitPath);
        if (Used < Capacity - 2) break; // Capacity - 2 means "cut short"
        Capacity *= 2;
    }
    // Section holds Used bytes of zero-ended lines; add ours and the final zero.
    size_t TargetLength = strlen(TargetPath);
    size_t TemporaryLength = strlen(TemporaryPath);
    size_t Needed = Used + 4 + TargetLength + 1 + TargetLength + 1 + TemporaryLength + 1 + 1;
    Section = (char*)CheckedRealloc(Section, Needed);
    char* Out = Section + Used;
    memcpy(Out, "NUL=", 4);
    Out += 4;
    memcpy(Out, TargetPath, TargetLength + 1);
    Out += TargetLength + 1;
    memcpy(Out, TargetPath, TargetLength);
    Out += TargetLength;
    *Out++ = '=';
    memcpy(Out, TemporaryPath, TemporaryLength + 1);
    Out += TemporaryLength + 1;
    *Out = 0;
    bool Written = WritePrivateProfileSectionA(RenameSection, Section, WininitPath) != FALSE;
    free(Section);
    return Written;
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
