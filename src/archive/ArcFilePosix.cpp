// The file layer on POSIX systems (the host tool and its tests). Paths come
// with "\" separators, as on Windows, and are turned into "/" paths here;
// the read-only attribute maps to the write permission bits. Writes below a
// confined root (ArcConfineWrites) never follow a symbolic link. Files read go
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

// ---- writes confined below a root ----

static bool Confined = false;
static char ConfinedRoot[PosixPathSize]; // as the caller's paths begin
static char ConfinedRootNative[PosixPathSize];

static bool IsPathSeparator(char C) { return C == '\\' || C == '/'; }

void ArcConfineWrites(const char* Root)
{
    Confined = Root && strlen(Root) < PosixPathSize;
    if (!Confined) return;
    strcpy(ConfinedRoot, Root);
    ToPosixPath(Root[0] ? Root : ".", ConfinedRootNative);
}

// The part of Path below the confined root; 0 when writes to Path are not
// confined (no root, or Path is the root, one of its parents or elsewhere).
static const char* BelowRoot(const char* Path)
{
    if (!Confined) return 0;
    size_t RootLength = strlen(ConfinedRoot);
    if (strncmp(Path, ConfinedRoot, RootLength) != 0) return 0;
    const char* Rest = Path + RootLength;
    if (RootLength == 0 && IsPathSeparator(*Rest)) return 0; // rooted, not below "."
    if (RootLength > 0 && !IsPathSeparator(ConfinedRoot[RootLength - 1]) && !IsPathSeparator(*Rest))
        return 0; // "out2" is not below "out"
    while (IsPathSeparator(*Rest)) ++Rest;
    return *Rest ? Rest : 0;
}

// Enters the folder Name below *Folder without following a link; on
// failure closes *Folder and sets errno (ELOOP for a link).
static bool EnterFolder(int* Folder, const char* Name)
{
    int Next = -1;
    if (strcmp(Name, "..") == 0) {
        errno = EACCES;
    } else {
        Next = openat(*Folder, Name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat Info;
        if (Next < 0 && fstatat(*Folder, Name, &Info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(Info.st_mode)) errno = ELOOP;
    }
    int Error = errno;
    close(*Folder);
    *Folder = Next;
    errno = Error;
    return Next >= 0;
}

// Opens the folder that holds the last component of Relative (a path below
// the root), entered component by component. The descriptor, with the last
// component in Last; -1 with errno set on failure.
static int OpenParentBelowRoot(const char* Relative, char* Last)
{
    int Folder = open(ConfinedRootNative, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const char* Part = Relative;
    while (Folder >= 0) {
        size_t Length = strcspn(Part, "\\/");
        memcpy(Last, Part, Length);
        Last[Length] = 0;
        const char* Next = Part + Length;
        while (IsPathSeparator(*Next)) ++Next;
        if (!*Next) return Folder;
        if (Length > 0 && !EnterFolder(&Folder, Last)) return -1;
        Part = Next;
    }
    return -1;
}

// Calls Operation(Folder, Name, Confined) with an *at call's folder and name
// for Path: below the confined root the folder that holds it, entered
// without following a link, and its last component; elsewhere AT_FDCWD and
// the whole path. Its result, or -1 when Path cannot be reached.
template <typename AtOperation>
static int AtPath(const char* Path, AtOperation Operation)
{
    char Name[PosixPathSize];
    const char* Below = BelowRoot(Path);
    int Folder = Below ? OpenParentBelowRoot(Below, Name) : AT_FDCWD;
    if (Below ? Folder < 0 : !ToPosixPath(Path, Name)) return -1;
    int Result = Operation(Folder, Name, Below != 0);
    if (Below) close(Folder);
    return Result;
}

// A plain file opened for writing (made, or emptied) in the folder Folder. A
// link, a pipe or any other non-file in its place is refused: O_NONBLOCK
// keeps a pipe from blocking the open.
static int CreatePlainFile(int Folder, const char* Name)
{
    int Fd = openat(Folder, Name, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (Fd < 0) {
        if (errno == ENXIO) errno = EEXIST; // a pipe that no one reads (or a device) has the name
        return -1;
    }
    struct stat Info;
    bool PlainFile = fstat(Fd, &Info) == 0 && S_ISREG(Info.st_mode);
    if (!PlainFile) errno = EEXIST;
    if (!PlainFile || fcntl(Fd, F_SETFL, fcntl(Fd, F_GETFL) & ~O_NONBLOCK) != 0 || ftruncate(Fd, 0) != 0) {
        int Error = errno;
        close(Fd);
        errno = Error;
        return -1;
    }
    return Fd;
}

// ---- the operations ----

static PosixFile* Of(ArcFile File) { return (PosixFile*)File; }

static ArcFile PosixOpen(const char* Path, int Kind)
{
    int Fd;
    if (Kind == ArcOpenWrite && BelowRoot(Path)) {
        Fd = AtPath(Path, [](int Folder, const char* Name, bool) { return CreatePlainFile(Folder, Name); });
    } else {
        char Native[PosixPathSize];
        if (!ToPosixPath(Path, Native)) return 0;
        int Flags = Kind == ArcOpenWrite ? O_WRONLY | O_CREAT | O_TRUNC : O_RDONLY;
        do Fd = open(Native, Flags | O_CLOEXEC, 0666);
        while (Fd < 0 && errno == EINTR);
    }
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
    return AtPath(Path, [](int Folder, const char* Name, bool) { return unlinkat(Folder, Name, 0); });
}

static int PosixMakeDir(const char* Path)
{
    return AtPath(Path, [](int Folder, const char* Name, bool) { return mkdirat(Folder, Name, 0777); });
}

static bool PosixSetAttributes(const char* Path, uint32_t Attributes)
{
    return AtPath(Path, [Attributes](int Folder, const char* Name, bool Confined) {
               // Below the root a link is refused: its target keeps its mode.
               int Follow = Confined ? AT_SYMLINK_NOFOLLOW : 0;
               struct stat Info;
               if (fstatat(Folder, Name, &Info, Follow) != 0 || S_ISLNK(Info.st_mode)) return -1;
               mode_t Mode = Info.st_mode & 07777;
               if (Attributes & ArcAttrReadOnly)
                   Mode &= ~(mode_t)(S_IWUSR | S_IWGRP | S_IWOTH);
               else
                   Mode |= S_IWUSR;
               return fchmodat(Folder, Name, Mode, Follow);
           }) == 0;
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
    if (Local.tm_mon < 0 || Local.tm_mon > 11 || Local.tm_mday < 1 || Local.tm_hour > 23 || Local.tm_min > 59 ||
        Local.tm_sec > 59)
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

static void* PosixAlloc(size_t Size) { return malloc(Size); }

static void PosixFree(void* Block) { free(Block); }

const ArcFileOps ArcPlatformFileOps = {
    PosixOpen,   PosixClose,   PosixRead,          PosixWrite,   PosixSeek,  PosixTell,
    PosixDelete, PosixMakeDir, PosixSetAttributes, PosixSetTime, PosixAlloc, PosixFree,
};
