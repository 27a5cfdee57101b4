// The file layer on Windows: thin calls to kernel32, the only file of the
// reader that includes <windows.h>.
#include "ArcFile.h"

#include <stdlib.h>
#include <windows.h>

static HANDLE HandleOf(ArcFile File) { return (HANDLE)File; }

// Whether the output file being written lies on a network drive (see
// Win32SetTime), and the drive letter last asked about.
static bool OutputIsRemote = false;
static char LastDrive = 0;
static bool LastDriveIsRemote = false;

static bool IsRemotePath(const char* Path)
{
    bool Slash0 = Path[0] == '\\' || Path[0] == '/', Slash1 = Path[1] == '\\' || Path[1] == '/';
    if (Slash0 && Slash1) return true;                                          // \\Server\Share
    if (!Path[0] || Path[1] != ':') return GetDriveTypeA(NULL) == DRIVE_REMOTE; // the current drive
    // One question per drive, not per file.
    if (Path[0] != LastDrive) {
        char Root[4] = {Path[0], ':', '\\', 0};
        LastDriveIsRemote = GetDriveTypeA(Root) == DRIVE_REMOTE;
        LastDrive = Path[0];
    }
    return LastDriveIsRemote;
}

static ArcFile Win32Open(const char* Path, int Kind)
{
    HANDLE Handle;
    if (Kind == ArcOpenWrite) {
        Handle = CreateFileA(Path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        OutputIsRemote = Handle != INVALID_HANDLE_VALUE && IsRemotePath(Path);
    } else {
        Handle = CreateFileA(Path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    }
    // 0 is the layer's "none"; no valid file handle has that value.
    if (Handle == INVALID_HANDLE_VALUE || Handle == NULL) return 0;
    return (ArcFile)Handle;
}

static bool Win32Close(ArcFile File) { return CloseHandle(HandleOf(File)) != 0; }

static int Win32Read(ArcFile File, void* Buffer, int Count)
{
    DWORD Done = 0;
    if (!ReadFile(HandleOf(File), Buffer, (DWORD)Count, &Done, NULL)) return 0;
    return (int)Done;
}

static int Win32Write(ArcFile File, const void* Buffer, int Count)
{
    DWORD Done = 0;
    if (!WriteFile(HandleOf(File), Buffer, (DWORD)Count, &Done, NULL)) return 0;
    return (int)Done;
}

static void Win32Seek(ArcFile File, int32_t Offset, int Origin)
{
    DWORD Method = Origin == ArcSeekCurrent ? FILE_CURRENT : (Origin == ArcSeekEnd ? FILE_END : FILE_BEGIN);
    SetFilePointer(HandleOf(File), (LONG)Offset, NULL, Method);
}

static int32_t Win32Tell(ArcFile File)
{
    DWORD Position = SetFilePointer(HandleOf(File), 0, NULL, FILE_CURRENT);
    return Position == INVALID_SET_FILE_POINTER || Position > 0x7FFFFFFF ? -1 : (int32_t)Position;
}

static int Win32Delete(const char* Path)
{
    SetFileAttributesA(Path, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(Path) ? 0 : -1;
}

static int Win32MakeDir(const char* Path) { return CreateDirectoryA(Path, NULL) ? 0 : -1; }

static bool Win32SetAttributes(const char* Path, uint32_t Attributes)
{
    // Most files get the attributes they already have (a new file has the
    // archive bit alone); reading them is far cheaper than setting them.
    if (GetFileAttributesA(Path) == (DWORD)Attributes) return true;
    return SetFileAttributesA(Path, (DWORD)Attributes) != 0;
}

static bool Win32SetTime(ArcFile File, uint32_t DosTime)
{
    FILETIME Local, Universal;
    // A network redirector may still hold writes that would change the time
    // again when they arrive: they go first. Local file systems keep the
    // time set, and the flush would cost a disk write per file (5,000 small
    // files: 7 s of a 22 s installation under Wine).
    if (OutputIsRemote) FlushFileBuffers(HandleOf(File));
    if (!DosDateTimeToFileTime((WORD)(DosTime >> 16), (WORD)(DosTime & 0xFFFF), &Local)) return false;
    if (!LocalFileTimeToFileTime(&Local, &Universal)) return false;
    return SetFileTime(HandleOf(File), NULL, NULL, &Universal) != 0;
}

static void* Win32Alloc(size_t Size) { return malloc(Size); }

static void Win32Free(void* Block) { free(Block); }

const ArcFileOps ArcPlatformFileOps = {
    Win32Open,   Win32Close,   Win32Read,          Win32Write,   Win32Seek,  Win32Tell,
    Win32Delete, Win32MakeDir, Win32SetAttributes, Win32SetTime, Win32Alloc, Win32Free,
};
