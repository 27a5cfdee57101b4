// The portable half of oxShell: the Windows version record from the
// numbers the system reports.
#include "oxShellCore.h"

#include "oxStrUtils.h"

static const char* const KindNames[] = {"32s", "95", "98", "NT", "2000"};

// The 95 family keeps major and minor version in the high word of its
// build number; only the low word is the build.
static const unsigned Win95BuildMask = 0xFFFF;

static Str TrimControl(const Str& S)
{
    int Start = 0, End = S.Length();
    while (Start < End && (unsigned char)S.At(Start) <= ' ') ++Start;
    while (End > Start && (unsigned char)S.At(End - 1) <= ' ') --End;
    return S.Sub(Start, End - Start);
}

void MakeOSInfo(int PlatformId, int Major, int Minor, unsigned BuildNumber, const char* ServicePack, OSInfoRecord* Info)
{
    Info->Major = Major;
    Info->Minor = Minor;
    Info->VersionText = IntToText(Major) + "." + (Minor == 0 ? IntToText(Minor) : PadLeft('0', IntToText(Minor), 2));
    Info->Build = (int)(PlatformId == PlatformWindows ? (BuildNumber & Win95BuildMask) : BuildNumber);
    Info->ServicePack = ServicePack ? ServicePack : "";

    switch (PlatformId) {
    case PlatformWindows: Info->Kind = (Major > 4 || (Major == 4 && Minor >= 10)) ? OSWin98 : OSWin95; break;
    case PlatformNT: Info->Kind = Major > 4 ? OSWin2000 : OSWinNT; break;
    default: // Win32s, and ids no system of ours reports
        Info->Kind = OSWin32s;
        break;
    }

    Str BuildText = Info->Build < 0 ? IntToText(Info->Build) : PadLeft('0', IntToText(Info->Build), 4);
    // Appended in place: a chain of + would make a text for every part.
    Str Description("Windows ");
    Description.Append(KindNames[Info->Kind]).Append(' ').Append(Info->VersionText).Append('.');
    Description.Append(BuildText).Append(' ').Append(Info->ServicePack);
    Info->Description = TrimControl(Description);
}
