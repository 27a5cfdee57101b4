// `tarnpack list|test|extract`: one line per entry or per failure, exit
// status 0/1/2 (see ReadCommands.h). A progress figure goes to stderr while
// decoding, only when stderr is a terminal.
#include "ReadCommands.h"

#include <errno.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "ArcFile.h"
#include "ArcFormat.h"
#include "Unrar.h"

// A name read from an archive, made safe to print. A name is whatever bytes
// the archive holds: escape sequences in it would move the cursor, recolour
// or retitle the user's terminal, and it carries no code page, so its bytes
// above 127 may be control characters to the terminal (C1 codes) or invalid
// in its encoding. Printable ASCII stays as it is; every other byte is shown
// as \xNN. The archive's backslashes stay.
static std::string PrintableName(const char* Name)
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

// ---- progress on a terminal ----

static bool ProgressShown = false;
static uint64_t ProgressTotal = 0;
static uint64_t ProgressDone = 0;
static int ProgressPercent = -1;

static void OnProgress(uint32_t Bytes)
{
    ProgressDone += Bytes;
    int Percent = ProgressTotal ? (int)(ProgressDone * 100 / ProgressTotal) : 100;
    if (Percent > 100) Percent = 100;
    if (Percent == ProgressPercent) return;
    ProgressPercent = Percent;
    fprintf(stderr, "\r%3d%%", Percent);
    fflush(stderr);
}

static void ClearProgress()
{
    if (ProgressShown && ProgressPercent >= 0) fprintf(stderr, "\r    \r");
    ProgressPercent = -1;
}

// Sums the unpacked sizes for the percentage (a list-mode walk, which reads
// headers only) and installs the callback. Call before opening the archive
// for the real work: the reader holds one archive at a time.
static void StartProgress(const char* FileName)
{
    ProgressShown = isatty(2) != 0;
    if (!ProgressShown) return;
    ProgressTotal = 0;
    ProgressDone = 0;
    ArcHandle Handle = ArcOpen(FileName, ArcModeList);
    if (!Handle) return;
    ArcEntryInfo Info;
    while (ArcReadEntry(Handle, &Info)) {
        ProgressTotal += Info.UnpackedSize;
        ArcProcessEntry(Handle, false, 0, 0);
    }
    ArcClose(Handle);
    ArcSetProgressCallback(OnProgress);
}

static void StopProgress()
{
    ArcSetProgressCallback(0);
    ClearProgress();
}

// Progress must not garble a message line.
__attribute__((format(printf, 1, 2))) static void Failure(const char* Format, ...)
{
    ClearProgress();
    fprintf(stderr, "tarnpack: ");
    va_list Args;
    va_start(Args, Format);
    vfprintf(stderr, Format, Args);
    va_end(Args);
    fputc('\n', stderr);
}

// ---- shared parts ----

static ArcHandle OpenOrReport(const char* FileName, int Mode)
{
    ArcHandle Handle = ArcOpen(FileName, Mode);
    if (Handle) return Handle;
    const char* Reason = "no archive found in it";
    switch (ArcLastOpenFailure()) {
    case ArcOpenCannotOpen: Reason = "cannot open the file"; break;
    case ArcOpenOldFormat: Reason = "archive in the old format, which is not supported"; break;
    case ArcOpenNoMemory: Reason = "out of memory"; break;
    default: break;
    }
    Failure("%s: %s", FileName, Reason);
    return 0;
}

// The reason an entry cannot be decoded, judged from its header and result.
static const char* DamageReason(const ArcEntryInfo& Info, int Result)
{
    if (Result == ArcNoMemory) return "out of memory";
    if (Info.HeadFlags & (ArcFileSplitBefore | ArcFileSplitAfter))
        return "split across volumes, which is not supported";
    if (Info.HeadFlags & ArcFileEncrypted) return "encrypted, which is not supported";
    if (Info.Method != ArcMethodStored && Info.VersionNeeded != 20)
        return "data error (packed by another method version, or damaged)";
    return "data error (CRC mismatch or damaged data)";
}

// Reports a walk that stopped at damage (a damaged header, or the archive
// cut short); true when it did.
static bool ReportWalkEnd(ArcHandle Handle, const char* FileName)
{
    if (ArcWalkResult(Handle) == ArcOk) return false;
    Failure("%s: the archive is damaged or cut short after the last entry listed", FileName);
    return true;
}

static bool Usage(const char* Command, int ArgCount, int Wanted, const char* Form)
{
    if (ArgCount == Wanted) return true;
    fprintf(stderr, "tarnpack: usage: tarnpack %s %s\n", Command, Form);
    return false;
}

// ---- the commands ----

int RunListCommand(int ArgCount, char** Args)
{
    if (!Usage("list", ArgCount, 1, "FILE")) return ExitNoArchive;
    const char* FileName = Args[0];
    ArcHandle Handle = OpenOrReport(FileName, ArcModeList);
    if (!Handle) return ExitNoArchive;

    printf("%10s %10s %-8s %-6s %-5s %-16s %s\n", "Size", "Packed", "CRC32", "Method", "Solid", "Date", "Name");
    ArcEntryInfo Info;
    uint64_t TotalSize = 0, TotalPacked = 0;
    unsigned Count = 0;
    while (ArcReadEntry(Handle, &Info)) {
        uint32_t Time = Info.DosTime; // the date as YYYY-MM-DD HH:MM
        printf("%10u %10u %08X 0x%02X   %-5s %04u-%02u-%02u %02u:%02u %s\n", Info.UnpackedSize, Info.PackedSize,
               Info.DataCrc, Info.Method, (Info.HeadFlags & ArcFileSolid) ? "yes" : "no", (Time >> 25) + 1980,
               (Time >> 21) & 15, (Time >> 16) & 31, (Time >> 11) & 31, (Time >> 5) & 63,
               PrintableName(Info.Name).c_str());
        TotalSize += Info.UnpackedSize;
        TotalPacked += Info.PackedSize;
        ++Count;
        ArcProcessEntry(Handle, false, 0, 0);
    }
    printf("%10llu %10llu %u file%s\n", (unsigned long long)TotalSize, (unsigned long long)TotalPacked, Count,
           Count == 1 ? "" : "s");
    int Status = ReportWalkEnd(Handle, FileName) ? ExitDamaged : ExitOk;
    ArcClose(Handle);
    return Status;
}

// Decodes every entry with Process, which returns a result code and may say
// why it failed (else the entry's damage is judged); reports each failure and
// prints one summary line. Shared by `test` and `extract`.
static int ProcessEveryEntry(const char* FileName, const char* DoneWord, const char* BadWord,
                             const std::function<int(ArcHandle, const ArcEntryInfo&, const char*&)>& Process)
{
    StartProgress(FileName);
    ArcHandle Handle = OpenOrReport(FileName, ArcModeExtract);
    if (!Handle) {
        StopProgress();
        return ExitNoArchive;
    }

    ArcEntryInfo Info;
    unsigned Count = 0, Bad = 0;
    while (ArcReadEntry(Handle, &Info)) {
        ++Count;
        const char* Reason = 0;
        int Result = Process(Handle, Info, Reason);
        if (Result == ArcOk) continue;
        Failure("%s: %s: %s", FileName, PrintableName(Info.Name).c_str(), Reason ? Reason : DamageReason(Info, Result));
        ++Bad;
        if (Result == ArcNoMemory) break;
    }
    bool DamagedHeader = ReportWalkEnd(Handle, FileName);
    StopProgress();
    ArcClose(Handle);
    if (Bad)
        printf("%u of %u entries %s\n", Bad, Count, BadWord);
    else
        printf("%u entries %s\n", Count, DoneWord);
    return (Bad || DamagedHeader) ? ExitDamaged : ExitOk;
}

int RunTestCommand(int ArgCount, char** Args)
{
    if (!Usage("test", ArgCount, 1, "FILE")) return ExitNoArchive;
    const char* FileName = Args[0];
    return ProcessEveryEntry(FileName, "OK", "damaged", [](ArcHandle Handle, const ArcEntryInfo&, const char*&) {
        return ArcTestEntryCode(Handle);
    });
}

// Why an entry's file could not be created.
static const char* CreateFailureReason(const char* DestDir, const ArcEntryInfo& Info, int Error)
{
    if (!ArcIsSafeEntryName(Info.Name)) return "refused: the name leaves the destination directory";
    if (strlen(DestDir) + 1 + strlen(Info.Name) > ArcNameSize - 1)
        return "refused: the destination path is longer than 259 characters";
    // The writes below DIR follow no link (ArcConfineWrites).
    if (Error == ELOOP) return "refused: a symbolic link is in the way";
    if (Error == EEXIST) return "refused: something other than a file has that name";
    return Error ? strerror(Error) : "cannot create the file";
}

int RunExtractCommand(int ArgCount, char** Args)
{
    if (!Usage("extract", ArgCount, 2, "FILE DIR")) return ExitNoArchive;
    const char* FileName = Args[0];
    const char* DestDir = Args[1];
    // DIR may hold links someone else made: nothing below it is written through one.
    ArcConfineWrites(DestDir);
    int Status = ProcessEveryEntry(FileName, "extracted", "not extracted",
                                   [&](ArcHandle Handle, const ArcEntryInfo& Info, const char*& Reason) {
                                       errno = 0;
                                       int Result = ArcProcessEntryCode(Handle, true, DestDir, 0);
                                       if (Result == ArcCreateError) {
                                           Reason = CreateFailureReason(DestDir, Info, errno);
                                           // The entry is still current: move past it (a solid archive decodes it).
                                           ArcProcessEntryCode(Handle, false, 0, 0);
                                       }
                                       return Result;
                                   });
    ArcConfineWrites(0);
    return Status;
}
