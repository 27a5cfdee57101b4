// The portable half of oxFileUtils: temporary names from a time, KiB
// rounding, version words and DOS dates. Kept free of Win32 so the host
// tests can check the arithmetic.
#include "oxFileUtilsCore.h"

#include "oxStrUtils.h"

static const unsigned long long KiB = 1024;

unsigned long long RoundedQuotient(unsigned long long Dividend, unsigned long long Divisor)
{
    // Long division, a bit at a time: a 64-bit "/" or "%" would link a
    // routine of the compiler's runtime, with a section of its own, into the
    // i686 stub. Carry holds the bit shifted out of a remainder of 2^63 or more.
    unsigned long long Quotient = 0, Remainder = 0;
    for (int Bit = 63; Bit >= 0; --Bit) {
        bool Carry = (Remainder >> 63) != 0;
        Remainder = (Remainder << 1) | ((Dividend >> Bit) & 1);
        Quotient <<= 1;
        if (Carry || Remainder >= Divisor) {
            Remainder -= Divisor;
            Quotient |= 1;
        }
    }
    // Halves go to the even neighbour, like the floating-point rounding of
    // the free-space figure on old systems (DiskFreeKB). Compared without
    // doubling the remainder, which could overflow.
    unsigned long long Rest = Divisor - Remainder;
    if (Remainder > Rest || (Remainder == Rest && (Quotient & 1))) ++Quotient;
    return Quotient;
}

unsigned long long RoundedKiB(unsigned long long Bytes) { return RoundedQuotient(Bytes, KiB); }

static bool IsLeapYear(int Year) { return (Year % 4 == 0 && Year % 100 != 0) || Year % 400 == 0; }

static int DaysInMonth(int Year, int Month)
{
    static const int Days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return (Month == 2 && IsLeapYear(Year)) ? 29 : Days[Month - 1];
}

int DayOfYear(int Year, int Month, int Day)
{
    if (Month < 1 || Month > 12 || Day < 1 || Day > DaysInMonth(Year, Month)) return 0;
    int Result = Day;
    for (int M = 1; M < Month; ++M) Result += DaysInMonth(Year, M);
    return Result;
}

// Temporary names: 3 base-32 digits for the day within a ten-year cycle
// (at most 3653) and 5 for the hundredths of a second since midnight
// (at most 8639999); 32^3 and 32^5 hold them.
static const int TempNameBase = 32;
static const int DayDigits = 3;
static const int TimeDigits = 5;

Str TempNameFromTime(int Year, int Month, int Day, int Hour, int Minute, int Second, int Milliseconds)
{
    int YearInDecade = Year % 10;
    int DayNumber = YearInDecade * 365 + YearInDecade / 4 + DayOfYear(Year, Month, Day);
    int Hundredths = Milliseconds / 10 + Hour * 360000 + Minute * 6000 + Second * 100;
    return IntToBase(DayNumber, DayDigits, TempNameBase) + IntToBase(Hundredths, TimeDigits, TempNameBase);
}

void ParseVersionText(const char* Version, unsigned* MS, unsigned* LS)
{
    unsigned Words[4];
    for (int I = 0; I < 4; ++I) Words[I] = (unsigned)TextToIntDef(GetWord(I + 1, Version, DotSet).c_str(), 0);
    *MS = (Words[0] << 16) + Words[1];
    *LS = (Words[2] << 16) + Words[3];
}

bool VersionIsNewer(unsigned FileMS, unsigned FileLS, unsigned MS, unsigned LS)
{
    // Each word compares as a signed number, as version resources were
    // always compared here.
    if ((int)FileMS != (int)MS) return (int)FileMS > (int)MS;
    return (int)FileLS > (int)LS;
}

// Days from 30 December 1899 (day 0 of the date-time) to 1 January 1980,
// the first day a DOS date can hold.
static const int DaysTo1980 = 29221;

double DosTimeToDateTime(unsigned DosTime)
{
    // High word: bits 0-4 day, 5-8 month, 9-15 years since 1980.
    // Low word: bits 0-4 seconds/2, 5-10 minutes, 11-15 hours.
    int Day = (DosTime >> 16) & 0x1F;
    int Month = (DosTime >> 21) & 0x0F;
    int Year = 1980 + ((DosTime >> 25) & 0x7F);
    int Seconds = (DosTime & 0x1F) * 2;
    int Minutes = (DosTime >> 5) & 0x3F;
    int Hours = (DosTime >> 11) & 0x1F;
    int InYear = DayOfYear(Year, Month, Day);
    if (InYear == 0 || Hours > 23 || Minutes > 59 || Seconds > 59) return 0;
    int Days = DaysTo1980;
    for (int Y = 1980; Y < Year; ++Y) Days += IsLeapYear(Y) ? 366 : 365;
    Days += InYear - 1;
    return Days + (Hours * 3600 + Minutes * 60 + Seconds) / 86400.0;
}

Str FolderOfPath(const Str& Path)
{
    int Cut = LastDelimiter(Path, PathDelimiterSet); // 1-based, 0 when none
    if (Cut == 0) return Str(".");
    // "C:name" means that drive's current folder; "\name" and "C:\name" the root.
    bool KeepDelimiter = Path.At(Cut - 1) == ':' || Cut == 1 || Path.At(Cut - 2) == ':';
    return Path.Sub(0, KeepDelimiter ? Cut : Cut - 1);
}

static bool IsSlash(char Ch) { return Ch == '\\' || Ch == '/'; }

bool IsFullPath(const Str& Path)
{
    char Drive = Path.At(0);
    bool Letter = (Drive >= 'A' && Drive <= 'Z') || (Drive >= 'a' && Drive <= 'z');
    if (Letter && Path.At(1) == ':' && IsSlash(Path.At(2))) return true;
    if (!IsSlash(Path.At(0)) || !IsSlash(Path.At(1))) return false;
    // \\Server\Share: two names, neither empty.
    int Server = 2;
    while (Server < Path.Length() && !IsSlash(Path.At(Server))) ++Server;
    if (Server == 2 || Server >= Path.Length() - 1) return false;
    return !IsSlash(Path.At(Server + 1));
}
