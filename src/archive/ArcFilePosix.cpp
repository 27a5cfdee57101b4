// The file layer on POSIX systems (the host tool and its tests). Paths come
// with "\" separators, as on Windows, and are turned into "/" paths here;
// the read-only attribute maps to the write permission bits. Files read go
// through a buffer of their own: the reader asks for 8 KiB at a time and
// seeks to every block, and each system call costs more than the copy.
#include "ArcFile.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "ArcFormat.h"

enum {
    PosixPathSize = 4096,
    ReadAhead = 256 * 1024,
};

// An open file. Reading: Buffer holds the file's bytes from BufferStart on
// (Filled of them), and Position is where the next read starts.
struct PosixFile {
    int Fd;
    bool Reading;
    int64_t Position;
    int64_t BufferStart;
    uint32_t Filled;
    uint8_t Buffer[1]; // ReadAhead bytes when reading
};

// Copies Path with "/" separators; false when it does not fit.
static bool ToPosixPath(const char* Path, char* Out)
{
    size_t Length = strlen(Path);
    if (Length >= PosixPathSize) return false;
    for (size_t I = 0; I <= Length; ++I) Out[I] = Path[I] == '\\' ? '/' : Path[I];
    return true;
}

static PosixFile* Of(ArcFile File)
{
    return (PosixFile*)File;
}

static ArcFile PosixOpen(const char* Path, int Kind)
{
    char Native[PosixPathSize];
    if (!ToPosixPath(Path, Native)) return 0;
    int Flags = Kind == ArcOpenWrite ? O_WRONLY | O_CREAT | O_TRUNC : O_RDONLY;
    int Fd;
    do Fd = open(Native, Flags | O_CLOEXEC, 0666);
    while (Fd < 0 && errno == EINTR);
    if (Fd < 0) return 0;
    struct stat Info;
    bool Reading = Kind == ArcOpenRead;
    PosixFile* File = (PosixFile*)malloc(sizeof(PosixFile) + (Reading ? ReadAhead : 0));
    if (!File || (Reading && (fstat(Fd, &Info) != 0 || S_ISDIR(Info.st_mode)))) {
        free(File);
        close(Fd);
        return 0;
    }
    File->Fd = Fd;
    File->Reading = Reading;
    File->Position = File->BufferStart = 0;
    File->Filled = 0;
    return (ArcFile)File;
}

static bool PosixClose(ArcFile File)
{
    bool Closed = close(Of(File)->Fd) == 0;
    free(File);
    return Closed;
}

// Reads Count bytes at Offset (fewer at the end of the file); -1 on failure.
static ssize_t ReadAt(int Fd, void* Buffer, size_t Count, int64_t Offset)
{
    size_t Done = 0;
    while (Done < Count) {
        ssize_t Got = pread(Fd, (char*)Buffer + Done, Count - Done, (off_t)(Offset + (int64_t)Done));
        if (Got < 0 && errno == EINTR) continue;
        if (Got < 0) return -1;
        if (Got == 0) break;
        Done += (size_t)Got;
    }
    return (ssize_t)Done;
}

static int PosixRead(ArcFile Handle, void* Buffer, int Count)
{
    PosixFile* File = Of(Handle);
    int Done = 0;
    while (Done < Count) {
        int64_t Into = File->Position - File->BufferStart;
        if (Into < 0 || Into >= (int64_t)File->Filled) {
            ssize_t Got = ReadAt(File->Fd, File->Buffer, ReadAhead, File->Position);
            if (Got < 0) return 0;
            File->BufferStart = File->Position;
            File->Filled = (uint32_t)Got;
            if (Got == 0) break;
            Into = 0;
        }
        int Piece = (int)(File->Filled - Into) < Count - Done ? (int)(File->Filled - Into) : Count - Done;
        memcpy((char*)Buffer + Done, File->Buffer + Into, (size_t)Piece);
        Done += Piece;
        File->Position += Piece;
    }
    return Done;
}

static int PosixWrite(ArcFile File, const void* Buffer, int Count)
{
    int Done = 0;
    while (Done < Count) {
        ssize_t Put = write(Of(File)->Fd, (const char*)Buffer + Done, (size_t)(Count - Done));
        if (Put < 0 && errno == EINTR) continue;
        if (Put <= 0) return 0;
        Done += (int)Put;
    }
    return Done;
}

static void PosixSeek(ArcFile File, int32_t Offset, int Origin)
{
    PosixFile* Open = Of(File);
    if (!Open->Reading) {
        int Whence = Origin == ArcSeekCurrent ? SEEK_CUR : (Origin == ArcSeekEnd ? SEEK_END : SEEK_SET);
        lseek(Open->Fd, (off_t)Offset, Whence);
        return;
    }
    int64_t Base = Open->Position;
    if (Origin == ArcSeekStart) {
        Base = 0;
    } else if (Origin == ArcSeekEnd) {
        struct stat Info;
        Base = fstat(Open->Fd, &Info) == 0 ? (int64_t)Info.st_size : 0;
    }
    Open->Position = Base + Offset;
}

static int32_t PosixTell(ArcFile File)
{
    PosixFile* Open = Of(File);
    int64_t Position = Open->Reading ? Open->Position : (int64_t)lseek(Open->Fd, 0, SEEK_CUR);
    return Position < 0 || Position > INT32_MAX ? -1 : (int32_t)Position;
}

static int PosixDelete(const char* Path)
{
    char Native[PosixPathSize];
    if (!ToPosixPath(Path, Native)) return -1;
    return unlink(Native) == 0 ? 0 : -1;
}

static int PosixMakeDir(const char* Path)
{
    char Native[PosixPathSize];
    if (!ToPosixPath(Path, Native)) return -1;
    return mkdir(Native, 0777) == 0 ? 0 : -1;
}

static bool PosixSetAttributes(const char* Path, uint32_t Attributes)
{
    char Native[PosixPathSize];
    struct stat Info;
    if (!ToPosixPath(Path, Native) || stat(Native, &Info) != 0) return false;
    mode_t Mode = Info.st_mode & 07777;
    if (Attributes & ArcAttrReadOnly)
        Mode &= ~(mode_t)(S_IWUSR | S_IWGRP | S_IWOTH);
    else
        Mode |= S_IWUSR;
    return chmod(Native, Mode) == 0;
}

// DOS date in the high half: year-1980 (7 bits), month, day; time in the low
// half: hours, minutes, seconds/2. Taken as local time, like on Windows.
static bool PosixSetTime(ArcFile File, uint32_t DosTime)
{
    struct tm Local;
    memset(&Local, 0, sizeof Local);
    Local.tm_year = (int)(DosTime >> 25) + 80;
    Local.tm_mon = (int)((DosTime >> 21) & 15) - 1;
    Local.tm_mday = (int)((DosTime >> 16) & 31);
    Local.tm_hour = (int)((DosTime >> 11) & 31);
    Local.tm_min = (int)((DosTime >> 5) & 63);
    Local.tm_sec = (int)(DosTime & 31) * 2;
    Local.tm_isdst = -1;
    if (Local.tm_mon < 0 || Local.tm_mon > 11 || Local.tm_mday < 1 || Local.tm_hour > 23 ||
        Local.tm_min > 59 || Local.tm_sec > 59)
        return false;
    time_t Seconds = mktime(&Local);
    if (Seconds == (time_t)-1) return false;
    struct timespec Times[2];
    Times[0].tv_sec = 0;
    Times[0].tv_nsec = UTIME_OMIT;
    Times[1].tv_sec = Seconds;
    Times[1].tv_nsec = 0;
    return futimens(Of(File)->Fd, Times) == 0;
}

static void* PosixAlloc(size_t Size)
{
    return malloc(Size);
}

static void PosixFree(void* Block)
{
    free(Block);
}

const ArcFileOps ArcPlatformFileOps = {
    PosixOpen, PosixClose, PosixRead, PosixWrite, PosixSeek, PosixTell, PosixDelete,
    PosixMakeDir, PosixSetAttributes, PosixSetTime, PosixAlloc, PosixFree,
};
