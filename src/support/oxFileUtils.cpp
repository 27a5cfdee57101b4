// Files and directories through Win32: see oxFileUtils.h. The arithmetic
// (names from a time, rounding, version words, dates) is in
// oxFileUtilsCore.cpp. Every buffer the platform fills is grown when the
// platform asks for more, so long paths are read whole.
#include "oxFileUtils.h"

#include <sddl.h>
#include <stdlib.h>

#include "oxShell.h"
#include "oxStrUtils.h"
#include "oxSystemApi.h"

// The size a path buffer starts with (MAX_PATH).
static const DWORD PathBufferSize = MAX_PATH;
// Windows 95 before OSR2 (build 1111) lacks GetDiskFreeSpaceExA.
static const int FirstBuildWithDiskFreeEx = 1111;
// Names tried for a run's temporary folder before giving up: each taken
// name costs a hundredth of a second (MakeTempName).
static const int TempFolderAttempts = 100;
// Administrators own the folder; SYSTEM and Administrators have full access,
// passed on to files and folders below (OICI); the P makes the list
// protected: nothing is inherited from the folder above.
static const char AdminOnlySecurity[] = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
// The attribute of a volume label entry (old FAT file systems list one in
// the root directory); Win32 headers no longer name it.
static const DWORD VolumeLabelAttribute = 0x08;

typedef DWORD(WINAPI* PathQuery)(DWORD Size, char* Buffer);

static DWORD WINAPI QueryWindowsDir(DWORD Size, char* Buffer) { return GetWindowsDirectoryA(Buffer, Size); }
static DWORD WINAPI QuerySystemDir(DWORD Size, char* Buffer) { return GetSystemDirectoryA(Buffer, Size); }

typedef UINT(WINAPI* SystemWindowsDirCall)(char* Buffer, UINT Size);

// The Windows folder shared by all users: on a terminal server the plain
// call gives a program that is not marked as aware of it a folder of the
// user's own.
static DWORD WINAPI QuerySystemWindowsDir(DWORD Size, char* Buffer)
{
    SystemWindowsDirCall Query = (SystemWindowsDirCall)(void*)FindSystemApi(ApiGetSystemWindowsDirectoryA);
    // Before Windows 2000 there are no such per-user folders.
    return Query ? Query(Buffer, Size) : GetWindowsDirectoryA(Buffer, Size);
}

// The calls return the length written, or the size needed (terminator
// included) when the buffer is too small, or 0 on failure.
static Str ReadPath(PathQuery Query)
{
    Str Path;
    DWORD Size = PathBufferSize;
    for (int Attempt = 0; Attempt < 4; ++Attempt) {
        DWORD Length = Query(Size, Path.Reserve((int)Size));
        if (Length == 0) break;
        if (Length < Size) {
            Path.SetLength((int)Length);
            return Path;
        }
        Size = Length + 1;
    }
    return Str();
}

Str GetTempDir() { return ReadPath(GetTempPathA); }
Str GetWindowsDir() { return ReadPath(QueryWindowsDir); }
Str GetSystemDir() { return ReadPath(QuerySystemDir); }

bool ReadWholeFile(const char* Path, Str* Bytes, bool* Missing)
{
    Bytes->Clear();
    HANDLE File = CreateFileA(Path, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    if (File == INVALID_HANDLE_VALUE) {
        DWORD Error = GetLastError();
        if (Missing) *Missing = Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND;
        return false;
    }
    if (Missing) *Missing = false;
    DWORD Size = GetFileSize(File, 0);
    DWORD Read = 0;
    // The files read whole are texts and logs: a size past 2^31 is none of them.
    bool Whole = Size != INVALID_FILE_SIZE && Size < 0x7FFFFFFF &&
                 ReadFile(File, Bytes->Reserve((int)Size), Size, &Read, 0) && Read == Size;
    Bytes->SetLength(Whole ? (int)Size : 0);
    CloseHandle(File);
    return Whole;
}

bool PathExists(const char* Path) { return GetFileAttributesA(Path) != INVALID_FILE_ATTRIBUTES; }

bool FileExists(const char* Path)
{
    DWORD Attributes = GetFileAttributesA(Path);
    return Attributes != INVALID_FILE_ATTRIBUTES && !(Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

Str MakeTempName(const char* Dir)
{
    Str Folder = AddBackslash(Dir);
    for (;;) {
        SYSTEMTIME Now;
        GetLocalTime(&Now);
        Str Name =
            TempNameFromTime(Now.wYear, Now.wMonth, Now.wDay, Now.wHour, Now.wMinute, Now.wSecond, Now.wMilliseconds);
        // A directory of that name counts as taken too: the run creates its
        // temporary directory under this name and deletes it at the end, so
        // it must never be someone else's.
        if (!PathExists((Folder + Name).c_str())) return Name;
        Sleep(10); // the name changes every hundredth of a second
    }
}

Str GetSystemTempDir()
{
    Str Windows = ReadPath(QuerySystemWindowsDir);
    return Windows.Empty() ? Str() : AddBackslash(Windows) + "Temp\\";
}

typedef BOOL(WINAPI* StringToSecurityCall)(const char* Text, DWORD Revision, PSECURITY_DESCRIPTOR* Descriptor,
                                           ULONG* Size);

bool MakeAdminOnlySecurity(SECURITY_ATTRIBUTES* Attributes)
{
    StringToSecurityCall Convert = (StringToSecurityCall)(void*)FindSystemApi(ApiConvertStringSdToSd);
    PSECURITY_DESCRIPTOR Descriptor = 0;
    if (!Convert || !Convert(AdminOnlySecurity, SDDL_REVISION_1, &Descriptor, 0)) return false;
    Attributes->nLength = sizeof(*Attributes);
    Attributes->lpSecurityDescriptor = Descriptor;
    Attributes->bInheritHandle = FALSE;
    return true;
}

Str CreateRunTempDir(bool AdminOnly)
{
    SECURITY_ATTRIBUTES Security;
    if (AdminOnly && !MakeAdminOnlySecurity(&Security)) return Str();
    Str Base = AdminOnly ? GetSystemTempDir() : GetTempDir();
    Str Folder;
    for (int Attempt = 0; Attempt < TempFolderAttempts && !Base.Empty(); ++Attempt) {
        Str Path = Base + MakeTempName(Base.c_str());
        // Fails when the folder exists: it is someone else's.
        if (CreateDirectoryA(Path.c_str(), AdminOnly ? &Security : 0)) {
            Folder = AddBackslash(Path);
            break;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    if (AdminOnly) LocalFree(Security.lpSecurityDescriptor);
    return Folder;
}

bool DirExists(const char* Path)
{
    DWORD Attributes = GetFileAttributesA(Path);
    return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

static bool IsBareDrive(const Str& Path)
{
    return (Path.Length() == 2 && Path.At(1) == ':') || (Path.Length() == 3 && Path.At(1) == ':' && Path.At(2) == '\\');
}

bool DeleteDirectory(const char* Path, bool RemoveSelf)
{
    if (!DirExists(Path)) return false;
    bool Result = true;
    Str Folder = AddBackslash(Path);
    WIN32_FIND_DATAA Found;
    HANDLE Search = FindFirstFileA((Folder + "*.*").c_str(), &Found);
    // An empty drive root finds nothing at all; that is not a failure.
    DWORD EndError = ERROR_NO_MORE_FILES;
    if (Search == INVALID_HANDLE_VALUE) {
        EndError = GetLastError();
        if (EndError == ERROR_FILE_NOT_FOUND) EndError = ERROR_NO_MORE_FILES;
    } else {
        do {
            const char* Name = Found.cFileName;
            bool SelfOrParent = Name[0] == '.' && (Name[1] == 0 || (Name[1] == '.' && Name[2] == 0));
            if (SelfOrParent || Found.dwFileAttributes == VolumeLabelAttribute) continue;
            Str Entry = Folder + Name;
            if (Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (Found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                    // A junction: remove the link, never what it points to.
                    if (RemoveSelf && !RemoveDirectoryA(Entry.c_str())) Result = false;
                } else if (!DeleteDirectory(Entry.c_str(), RemoveSelf)) {
                    Result = false;
                }
            } else if (!(Found.dwFileAttributes & VolumeLabelAttribute)) {
                if (Found.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
                    SetFileAttributesA(Entry.c_str(), FILE_ATTRIBUTE_ARCHIVE);
                if (!DeleteFileA(Entry.c_str())) Result = false;
            }
        } while (FindNextFileA(Search, &Found));
        EndError = GetLastError();
        FindClose(Search);
    }
    if (EndError != ERROR_NO_MORE_FILES) Result = false;
    if (RemoveSelf && Result && !IsBareDrive(Path)) {
        if (!RemoveDirectoryA(Path)) Result = false;
    }
    return Result;
}

void MakeDirPath(const char* Path)
{
    Str Dir = RemoveBackslash(Path);
    if (Dir.Length() < 3 || DirExists(Dir.c_str())) return;
    Str Parent = Dir.Sub(0, LastDelimiter(Dir, PathDelimiterSet));
    if (Parent == Dir) return;
    MakeDirPath(Parent.c_str());
    CreateDirectoryA(Dir.c_str(), 0);
}

Str MakeTempFileBeside(const char* Path)
{
    // GetTempFileNameA keeps three characters of the prefix: "TarXXXX.tmp".
    char Buffer[MAX_PATH];
    if (!GetTempFileNameA(FolderOfPath(Str(Path)).c_str(), "Tarn", 0, Buffer)) return Str();
    return Str(Buffer);
}

bool PutFileInPlace(const char* NewFile, const char* Target)
{
    DWORD OldAttributes = GetFileAttributesA(Target);
    bool Existed = OldAttributes != INVALID_FILE_ATTRIBUTES;
    // A read-only file cannot be replaced; its attributes come back when the
    // replacement fails.
    if (Existed && (OldAttributes & FILE_ATTRIBUTE_READONLY)) SetFileAttributesA(Target, FILE_ATTRIBUTE_NORMAL);
    bool Moved;
    if (OSInfo.Kind >= OSWinNT) {
        Moved = MoveFileExA(NewFile, Target, MOVEFILE_REPLACE_EXISTING) != FALSE;
    } else {
        // The 95 family has no replacing rename.
        Moved = (!Existed || DeleteFileA(Target)) && MoveFileA(NewFile, Target);
    }
    if (!Moved && Existed && (OldAttributes & FILE_ATTRIBUTE_READONLY)) {
        DWORD Error = GetLastError();
        SetFileAttributesA(Target, OldAttributes);
        SetLastError(Error);
    }
    return Moved;
}

// The root of Path ("C:\", "\\Server\Share\"): the old free-space call
// accepts nothing else on the first Windows 95.
static Str RootOf(const Str& Path)
{
    if (Path.At(1) == ':') return Path.Sub(0, 2) + "\\";
    if (Path.At(0) == '\\' && Path.At(1) == '\\') {
        int Share = Path.Find('\\', 2);
        if (Share < 0) return AddBackslash(Path);
        int End = Path.Find('\\', Share + 1);
        return End < 0 ? AddBackslash(Path) : Path.Sub(0, End + 1);
    }
    return Path;
}

static unsigned SaturatedKiB(unsigned long long KiB) { return KiB > 0xFFFFFFFFull ? 0xFFFFFFFFu : (unsigned)KiB; }

typedef BOOL(WINAPI* DiskFreeExCall)(const char* Path, ULARGE_INTEGER* FreeToCaller, ULARGE_INTEGER* Total,
                                     ULARGE_INTEGER* TotalFree);

unsigned DiskFreeKB(const char* Path)
{
    if (!DirExists(Path)) return 0;
    bool OldWindows95 = (OSInfo.Kind == OSWin32s || OSInfo.Kind == OSWin95) && OSInfo.Build < FirstBuildWithDiskFreeEx;
    if (OldWindows95) {
        DWORD SectorsPerCluster, BytesPerSector, FreeClusters, TotalClusters;
        if (!GetDiskFreeSpaceA(RootOf(Path).c_str(), &SectorsPerCluster, &BytesPerSector, &FreeClusters,
                               &TotalClusters))
            return 0;
        DWORD ClusterBytes = SectorsPerCluster * BytesPerSector;
        return SaturatedKiB(RoundedKiB((unsigned long long)ClusterBytes * FreeClusters));
    }
    DiskFreeExCall DiskFreeEx = (DiskFreeExCall)(void*)FindSystemApi(ApiGetDiskFreeSpaceExA);
    ULARGE_INTEGER FreeToCaller, Total, TotalFree;
    if (DiskFreeEx && DiskFreeEx(Path, &FreeToCaller, &Total, &TotalFree))
        return SaturatedKiB(FreeToCaller.QuadPart >> 10); // more than 4 TiB free is "plenty"
    return 0;
}

typedef DWORD(WINAPI* VersionInfoSizeCall)(const char* FileName, DWORD* Handle);
typedef BOOL(WINAPI* VersionInfoCall)(const char* FileName, DWORD Handle, DWORD Size, void* Info);
typedef BOOL(WINAPI* VersionQueryCall)(const void* Info, const char* Block, void** Value, UINT* Size);

bool GetFileVersion(const char* FileName, unsigned* MS, unsigned* LS)
{
    VersionInfoSizeCall InfoSize = (VersionInfoSizeCall)(void*)FindSystemApi(ApiGetFileVersionInfoSizeA);
    VersionInfoCall ReadInfo = (VersionInfoCall)(void*)FindSystemApi(ApiGetFileVersionInfoA);
    VersionQueryCall Query = (VersionQueryCall)(void*)FindSystemApi(ApiVerQueryValueA);
    // Without the version library no file has a version: the caller compares dates.
    if (!InfoSize || !ReadInfo || !Query) return false;
    DWORD Handle = 0;
    DWORD Size = InfoSize(FileName, &Handle);
    if (Size == 0) return false;
    void* Info = CheckedAlloc(Size + 1);
    bool Result = false;
    VS_FIXEDFILEINFO* Fixed = 0;
    UINT FixedSize = 0;
    if (ReadInfo(FileName, 0, Size, Info) && Query(Info, "\\", (void**)&Fixed, &FixedSize) && Fixed &&
        FixedSize >= sizeof(VS_FIXEDFILEINFO)) {
        *MS = Fixed->dwFileVersionMS;
        *LS = Fixed->dwFileVersionLS;
        Result = true;
    }
    free(Info);
    return Result;
}

// The last-write time of FileName as a date-time in local time, to two
// seconds (as the archive keeps its times); false when it cannot be read.
static bool FileDateTime(const char* FileName, double* DateTime)
{
    WIN32_FIND_DATAA Found;
    HANDLE Search = FindFirstFileA(FileName, &Found);
    if (Search == INVALID_HANDLE_VALUE) return false;
    FindClose(Search);
    FILETIME Local;
    WORD DosDate, DosTime;
    if (!FileTimeToLocalFileTime(&Found.ftLastWriteTime, &Local) || !FileTimeToDosDateTime(&Local, &DosDate, &DosTime))
        return false;
    *DateTime = DosTimeToDateTime(((unsigned)DosDate << 16) | DosTime);
    return true;
}

bool ExistingFileIsNewer(const char* Version, const char* FileName, double Date)
{
    if (!FileExists(FileName)) return false;
    unsigned FileMS, FileLS;
    if (Version && *Version && GetFileVersion(FileName, &FileMS, &FileLS)) {
        unsigned MS, LS;
        ParseVersionText(Version, &MS, &LS);
        return VersionIsNewer(FileMS, FileLS, MS, LS);
    }
    double FileDate;
    return FileDateTime(FileName, &FileDate) && FileDate > Date;
}
