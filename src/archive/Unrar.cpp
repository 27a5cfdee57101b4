// The archive reader: opens a file, finds the archive in it, walks its block
// headers and extracts, skips or tests the entries one at a time. Decoding of
// packed entries is in Rar20Unpack.cpp; every disk access goes through the
// file layer (ArcFile.h). One process-wide reader, used by one thread at a time.
#include "Unrar.h"

#include <string.h>

#include "ArcFile.h"
#include "ArcFormat.h"
#include "UnrarInternal.h"

enum FindResult { FoundArchive, NotArchive, OldFormat };

enum { ArcNameLimit = ArcNameSize - 1 };

static const uint8_t OldMarker[ArcOldMarkerSize] = {0x52, 0x45, 0x7E, 0x5E};
static const uint8_t OldSfxTag[4] = {'R', 'S', 'F', 'X'};

static struct ArchiveReader {
    ArcFile File;
    int64_t FileSize; // a short read before this offset is a read failure
    char ArchiveName[ArcPathSize];
    int Mode;
    bool Solid;
    int32_t BlockStart; // header of the current entry, or the next block to read
    int32_t DataStart;  // packed data of the current entry
    int32_t NextBlock;  // the block after the current entry
    bool HaveEntry;     // an entry was read and not yet processed
    int WalkResult;     // why the walk ended: ArcOk or ArcDataError
    // Folders of the files created since ArcOpen (see FolderIsKnown).
    char** KnownFolders; // KnownFolderSlots slots, 0 for an empty one
    uint32_t KnownFolderSlots;
    uint32_t KnownFolderCount;
    ArcEntryInfo Entry; // the current file header, normalised
    uint8_t* Window;

    // Per-entry extraction state.
    ArcFile Output;
    bool Skipping;
    bool WriteFailed;
    bool ReadFailed;
    uint32_t PackedLeft;
    uint32_t CrcRegister;
} Reader;

static ArcProgressCallback Progress = 0;
static int OpenFailure = ArcOpenNoFailure;

static const ArcFileOps* Ops() { return ArcGetFileOps(); }

// ---- folders known to exist ----
// An archive's entries are ordered by extension and name, so files of one
// folder rarely come one after another: every file had its folders made
// again, one system call per path component that fails as "exists". The
// folders of the files created since ArcOpen are remembered in an
// open-addressed hash table of copies of their paths; without memory for it
// the reader simply remembers nothing.

static uint32_t HashFolder(const char* Path, size_t Length)
{
    uint32_t Hash = 2166136261u;
    for (size_t I = 0; I < Length; ++I) Hash = (Hash ^ (uint8_t)Path[I]) * 16777619u;
    return Hash;
}

// The slot of the folder Path[0..Length), or of the empty slot where it belongs.
static uint32_t FolderSlot(char** Slots, uint32_t SlotCount, const char* Path, size_t Length)
{
    uint32_t Slot = HashFolder(Path, Length) & (SlotCount - 1);
    while (Slots[Slot] && !(strlen(Slots[Slot]) == Length && memcmp(Slots[Slot], Path, Length) == 0))
        Slot = (Slot + 1) & (SlotCount - 1);
    return Slot;
}

static void ForgetFolders()
{
    for (uint32_t Slot = 0; Slot < Reader.KnownFolderSlots; ++Slot)
        if (Reader.KnownFolders[Slot]) Ops()->Free(Reader.KnownFolders[Slot]);
    if (Reader.KnownFolders) Ops()->Free(Reader.KnownFolders);
    Reader.KnownFolders = 0;
    Reader.KnownFolderSlots = Reader.KnownFolderCount = 0;
}

static bool FolderIsKnown(const char* Path, size_t Length)
{
    if (!Reader.KnownFolderCount) return false;
    return Reader.KnownFolders[FolderSlot(Reader.KnownFolders, Reader.KnownFolderSlots, Path, Length)] != 0;
}

static void RememberFolder(const char* Path, size_t Length)
{
    if (FolderIsKnown(Path, Length)) return;
    // At most half the slots used: probes stay short.
    if ((Reader.KnownFolderCount + 1) * 2 > Reader.KnownFolderSlots) {
        uint32_t SlotCount = Reader.KnownFolderSlots ? Reader.KnownFolderSlots * 2 : 64;
        char** Slots = (char**)Ops()->Alloc(SlotCount * sizeof(char*));
        if (!Slots) return;
        memset(Slots, 0, SlotCount * sizeof(char*));
        for (uint32_t Old = 0; Old < Reader.KnownFolderSlots; ++Old) {
            char* Folder = Reader.KnownFolders[Old];
            if (Folder) Slots[FolderSlot(Slots, SlotCount, Folder, strlen(Folder))] = Folder;
        }
        if (Reader.KnownFolders) Ops()->Free(Reader.KnownFolders);
        Reader.KnownFolders = Slots;
        Reader.KnownFolderSlots = SlotCount;
    }
    char* Copy = (char*)Ops()->Alloc(Length + 1);
    if (!Copy) return;
    memcpy(Copy, Path, Length);
    Copy[Length] = 0;
    Reader.KnownFolders[FolderSlot(Reader.KnownFolders, Reader.KnownFolderSlots, Path, Length)] = Copy;
    ++Reader.KnownFolderCount;
}

static void CloseArchiveFile()
{
    ForgetFolders();
    if (Reader.File) Ops()->Close(Reader.File);
    Reader.File = 0;
    Reader.HaveEntry = false;
}

// ---- finding the archive ----

static bool ReadMainHeader(int32_t ArchiveStart)
{
    uint8_t Head[ArcMarkerSize + ArcMainHeaderSize];
    Ops()->Seek(Reader.File, ArchiveStart, ArcSeekStart);
    if (Ops()->Read(Reader.File, Head, (int)sizeof Head) < (int)sizeof Head) return false;
    const uint8_t* Main = Head + ArcMarkerSize;
    uint32_t HeaderSize = ArcGetLe16(Main + ArcHdrSizeOffset);
    if (HeaderSize < ArcCommonHeaderSize) return false;
    Reader.Solid = (ArcGetLe16(Main + ArcHdrFlagsOffset) & ArcMainSolid) != 0;
    Reader.BlockStart = ArchiveStart + ArcMarkerSize + (int32_t)HeaderSize;
    return true;
}

// Scans the bytes after a stub for the marker followed by a main header.
static FindResult SearchAfterStub()
{
    uint8_t* Buffer = (uint8_t*)Ops()->Alloc(ArcSearchBufferSize);
    if (!Buffer) return NotArchive;
    int Count = Ops()->Read(Reader.File, Buffer, ArcMarkerSearchSize);
    FindResult Result = NotArchive;
    int32_t Start = 0;
    for (int I = 0; I < Count; ++I) {
        if (Buffer[I] != 'R') continue;
        if (I + 3 < Count && memcmp(Buffer + I + 1, OldMarker + 1, ArcOldMarkerSize - 1) == 0 &&
            Count >= ArcOldSfxTagOffset + 4 - ArcMarkerSize &&
            memcmp(Buffer + ArcOldSfxTagOffset - ArcMarkerSize, OldSfxTag, 4) == 0) {
            Result = OldFormat;
            break;
        }
        if (I + ArcMainTypeOffset < Count && memcmp(Buffer + I, ArcMarker, ArcMarkerSize) == 0 &&
            Buffer[I + ArcMainTypeOffset] == ArcBlockMain) {
            Result = FoundArchive;
            Start = ArcMarkerSize + I;
            break;
        }
    }
    Ops()->Free(Buffer);
    if (Result == FoundArchive && !ReadMainHeader(Start)) Result = NotArchive;
    return Result;
}

static FindResult FindMarker()
{
    uint8_t Head[ArcMarkerSize];
    Reader.Solid = false;
    if (Ops()->Read(Reader.File, Head, ArcMarkerSize) < ArcMarkerSize) return NotArchive;
    if (memcmp(Head, OldMarker, ArcOldMarkerSize) == 0) return OldFormat;
    if (memcmp(Head, ArcMarker, ArcMarkerSize) == 0) return ReadMainHeader(0) ? FoundArchive : NotArchive;
    return SearchAfterStub();
}

ArcHandle ArcOpen(const char* FileName, int Mode)
{
    if (Reader.File) ArcClose(&Reader); // one archive at a time
    BuildCrcTable();
    Reader.Mode = Mode;
    Reader.HaveEntry = false;
    Reader.WalkResult = ArcOk;
    ForgetFolders();
    OpenFailure = ArcOpenCannotOpen;
    if (!FileName || strlen(FileName) > ArcNameLimit) return 0;
    if (!Reader.Window) Reader.Window = (uint8_t*)Ops()->Alloc(ArcWindowSize);
    if (!Reader.Window) {
        OpenFailure = ArcOpenNoMemory;
        return 0;
    }
    // A first entry marked solid must not see the previous archive's data.
    memset(Reader.Window, 0, ArcWindowSize);
    Rar20Reset();
    strcpy(Reader.ArchiveName, FileName);
    Reader.File = Ops()->Open(FileName, ArcOpenRead);
    FindResult Found = NotArchive;
    if (Reader.File) {
        // Offsets are signed 32-bit: a larger file is read up to 2 GiB.
        Ops()->Seek(Reader.File, 0, ArcSeekEnd);
        int32_t Size = Ops()->Tell(Reader.File);
        Reader.FileSize = Size < 0 ? INT32_MAX : Size;
        Ops()->Seek(Reader.File, 0, ArcSeekStart);
        Found = FindMarker();
    }
    if (Found != FoundArchive) {
        if (Reader.File) OpenFailure = Found == OldFormat ? ArcOpenOldFormat : ArcOpenNoArchive;
        ArcClose(&Reader);
        return 0;
    }
    OpenFailure = ArcOpenNoFailure;
    return (ArcHandle)&Reader;
}

int ArcLastOpenFailure() { return OpenFailure; }

void ArcClose(ArcHandle)
{
    // The handle stands for the one reader; after ArcNoMemory its file and
    // window are gone already and nothing is released twice.
    CloseArchiveFile();
    if (Reader.Window) Ops()->Free(Reader.Window);
    Reader.Window = 0;
}

// ---- walking the blocks ----

static bool IsSeparator(char C) { return C == '\\' || C == '/'; }

// Ends the walk on a damaged or cut archive.
static bool WalkDamaged()
{
    Reader.WalkResult = ArcDataError;
    return false;
}

// Reads the block at Reader.BlockStart and those after it up to the next file
// header. False at the end of the archive (WalkResult tells whether it ended
// on damage). The archive ends at its end block, where tarnpack's archives
// end, so whatever follows it (a signature added to the setup) is never
// read; without one (archives of other software) at the end of the file.
static bool ReadBlockHeader()
{
    for (;;) {
        uint8_t Head[ArcFileHeaderSize];
        Ops()->Seek(Reader.File, Reader.BlockStart, ArcSeekStart);
        int Count = Ops()->Read(Reader.File, Head, ArcFileHeaderSize);
        int64_t Left = Reader.FileSize - Reader.BlockStart;
        // A failed read, or the file ends inside the block before (its data
        // runs past the end) or inside this block's common header: the
        // archive is cut short.
        if ((Count < ArcFileHeaderSize && Count < Left) || (Count == 0 && Left < 0) ||
            (Count > 0 && Count < ArcCommonHeaderSize))
            return WalkDamaged();
        if (Count == 0 || Head[ArcHdrTypeOffset] == ArcBlockEnd) return false;
        uint32_t Flags = ArcGetLe16(Head + ArcHdrFlagsOffset);
        uint32_t HeaderSize = ArcGetLe16(Head + ArcHdrSizeOffset);
        bool IsFile = Head[ArcHdrTypeOffset] == ArcBlockFile;
        if (HeaderSize < ArcCommonHeaderSize) return false;
        uint32_t DataSize = 0;
        if (Flags & ArcFlagHasData) {
            if (Count < ArcDataSizeEnd) return WalkDamaged();
            DataSize = ArcGetLe32(Head + ArcHdrPackedOffset);
        }
        int64_t Next = (int64_t)Reader.BlockStart + HeaderSize + DataSize;
        if (Next > INT32_MAX) return false;
        if (!IsFile) {
            Reader.BlockStart = (int32_t)Next;
            continue;
        }

        // A file header cut short by the end of the file ends the archive.
        uint32_t NameSize = ArcGetLe16(Head + ArcHdrNameSizeOffset);
        if (Count < ArcFileHeaderSize || ArcFileHeaderSize + NameSize > HeaderSize) return WalkDamaged();
        // Names may carry a zero and an encoded form after it; the name is
        // the part before the zero and must fit the buffer.
        char Name[ArcNameSize + 1];
        int Want = NameSize < (uint32_t)ArcNameSize ? (int)NameSize : ArcNameSize;
        if (Ops()->Read(Reader.File, Name, Want) < Want) return WalkDamaged();
        Name[Want] = 0;
        if (strlen(Name) > ArcNameLimit) return WalkDamaged();

        ArcEntryInfo* E = &Reader.Entry;
        E->HeadFlags = Flags;
        E->PackedSize = ArcGetLe32(Head + ArcHdrPackedOffset);
        E->UnpackedSize = ArcGetLe32(Head + ArcHdrUnpackedOffset);
        E->HostSystem = Head[ArcHdrHostOffset];
        E->DataCrc = ArcGetLe32(Head + ArcHdrDataCrcOffset);
        E->DosTime = ArcGetLe32(Head + ArcHdrTimeOffset);
        E->VersionNeeded = Head[ArcHdrVersionOffset];
        E->Method = Head[ArcHdrMethodOffset];
        E->Attributes = ArcGetLe32(Head + ArcHdrAttrOffset);
        if (E->HostSystem > ArcHostUnix) {
            E->Attributes = (Flags & ArcFileDictMask) == ArcFileDirectory ? ArcAttrDirectory : ArcAttrArchive;
            E->HostSystem = ArcHostMsDos;
        }
        for (char* P = Name; *P; ++P)
            if (*P == '/') *P = '\\';
        strcpy(E->Name, Name);
        // The data area is the data size of the common header; a file header
        // without one has no packed data.
        Reader.DataStart = Reader.BlockStart + (int32_t)HeaderSize;
        Reader.NextBlock = (int32_t)Next;
        return true;
    }
}

// Drops a drive prefix, a leading ".\" or "..\" and a leading "\", each once.
static void CleanEntryName(char* Name)
{
    char* P = Name;
    if (P[0] && P[1] == ':') P += 2;
    if (P[0] == '.' && P[1] == '\\') P += 1;
    if (P[0] == '.' && P[1] == '.' && P[2] == '\\') P += 2;
    if (P[0] == '\\') P += 1;
    memmove(Name, P, strlen(P) + 1);
}

bool ArcReadEntry(ArcHandle Handle, ArcEntryInfo* Info)
{
    if (!Handle || !Reader.File || !Info) return false;
    while (!Reader.HaveEntry) {
        if (!ReadBlockHeader()) return false;
        if ((Reader.Entry.HeadFlags & ArcFileDictMask) == ArcFileDirectory) {
            Reader.BlockStart = Reader.NextBlock;
            continue;
        }
        CleanEntryName(Reader.Entry.Name);
        Reader.HaveEntry = true;
    }
    *Info = Reader.Entry;
    return true;
}

int ArcWalkResult(ArcHandle) { return Reader.WalkResult; }

static void MoveToNextBlock()
{
    Reader.BlockStart = Reader.NextBlock;
    Reader.HaveEntry = false;
}

// ---- decoding and writing ----

int ReadPacked(uint8_t* Buffer, int Count)
{
    if (Reader.ReadFailed || Reader.PackedLeft == 0 || Count <= 0) return 0;
    if ((uint32_t)Count > Reader.PackedLeft) Count = (int)Reader.PackedLeft;
    int Got = Ops()->Read(Reader.File, Buffer, Count);
    // A failed or short read (the archive ends early) leaves the entry damaged.
    if (Got <= 0) {
        Reader.ReadFailed = true;
        return 0;
    }
    Reader.PackedLeft -= (uint32_t)Got;
    return Got;
}

void WriteUnpacked(const uint8_t* Bytes, int Count)
{
    if (Count <= 0) return;
    if (!Reader.Skipping) {
        if (Reader.WriteFailed) return;
        int Written = Ops()->Write(Reader.Output, Bytes, Count);
        if (Written != Count) {
            Reader.WriteFailed = true;
            if (Written < 0) Written = 0;
            Count = Written;
        }
    }
    Reader.CrcRegister = Crc32Update(Reader.CrcRegister, Bytes, (size_t)Count);
    if (Progress) Progress((uint32_t)Count);
}

static int CopyStored(uint8_t* Buffer)
{
    uint32_t Remaining = Reader.Entry.UnpackedSize;
    while (Remaining > 0) {
        int Count = ReadPacked(Buffer, ArcStoredBufferSize);
        if (Count == 0) return ArcDataError; // the packed data is shorter than the entry
        uint32_t Take = (uint32_t)Count < Remaining ? (uint32_t)Count : Remaining;
        WriteUnpacked(Buffer, (int)Take);
        Remaining -= Take;
    }
    return ArcOk;
}

// Split entries need the other volumes, which are not read; encrypted ones
// need a password, which the reader does not have.
static bool IsUndecodable(const ArcEntryInfo* E)
{
    return (E->HeadFlags & (ArcFileSplitBefore | ArcFileSplitAfter | ArcFileEncrypted)) != 0;
}

// Decodes the current entry (StoredBuffer is given for stored entries) to
// the output or, when Reader.Skipping, only through the CRC.
static int DecodeEntry(uint8_t* StoredBuffer)
{
    const ArcEntryInfo* E = &Reader.Entry;
    if (IsUndecodable(E)) return ArcDataError;
    Reader.WriteFailed = false;
    Reader.ReadFailed = false;
    Reader.CrcRegister = 0xFFFFFFFFu;
    uint32_t Available = (uint32_t)(Reader.NextBlock - Reader.DataStart);
    Reader.PackedLeft = E->PackedSize < Available ? E->PackedSize : Available;
    Ops()->Seek(Reader.File, Reader.DataStart, ArcSeekStart);
    int Result;
    if (E->Method == ArcMethodStored)
        Result = CopyStored(StoredBuffer);
    else
        Result = Rar20Unpack(Reader.Window, (E->HeadFlags & ArcFileSolid) != 0, E->UnpackedSize);
    if (Reader.WriteFailed || Reader.ReadFailed) Result = ArcDataError;
    if (Reader.CrcRegister != ~E->DataCrc) Result = ArcDataError;
    return Result;
}

// ---- destination paths ----

// True for a name that would leave the destination directory: empty, rooted,
// with a drive, or with a ".." component (Windows also drops trailing dots
// and blanks of a component, so "..." and ".. " count as "..").
static bool IsUnsafeName(const char* Name)
{
    if (!Name[0] || IsSeparator(Name[0]) || (Name[0] && Name[1] == ':')) return true;
    const char* Part = Name;
    for (;;) {
        int Dots = 0;
        bool OnlyDots = true;
        const char* P = Part;
        for (; *P && !IsSeparator(*P); ++P) {
            if (*P == '.')
                ++Dots;
            else if (*P != ' ')
                OnlyDots = false;
        }
        if (OnlyDots && Dots >= 2) return true;
        if (!*P) return false;
        Part = P + 1;
    }
}

bool ArcIsSafeEntryName(const char* Name) { return Name && !IsUnsafeName(Name); }

static bool BuildDestination(const char* DestDir, const char* DestName, char* Path)
{
    if (DestName && DestName[0]) {
        if (strlen(DestName) > ArcNameLimit) return false;
        strcpy(Path, DestName);
        return true;
    }
    const char* Name = Reader.Entry.Name;
    if (IsUnsafeName(Name)) return false;
    size_t DirLength = DestDir ? strlen(DestDir) : 0;
    bool NeedSeparator = DirLength > 0 && !IsSeparator(DestDir[DirLength - 1]);
    size_t Total = DirLength + (NeedSeparator ? 1 : 0) + strlen(Name);
    if (Total > ArcNameLimit) return false;
    Path[0] = 0;
    if (DirLength) strcpy(Path, DestDir);
    if (NeedSeparator) strcat(Path, "\\");
    strcat(Path, Name);
    return true;
}

// Creates every directory of Path (not its last component). Existing
// directories, a drive prefix and failures are passed over: the creation of
// the file itself reports a path that could not be made.
static void MakePath(char* Path)
{
    for (char* P = Path + 1; *P; ++P) {
        if (!IsSeparator(*P) || P[-1] == ':' || IsSeparator(P[-1])) continue;
        char Separator = *P;
        *P = 0;
        Ops()->MakeDir(Path);
        *P = Separator;
    }
}

// The length of Path's folder part (up to its last separator), 0 for none.
static size_t FolderLength(const char* Path)
{
    size_t Length = 0;
    for (size_t I = 0; Path[I]; ++I)
        if (IsSeparator(Path[I])) Length = I;
    return Length;
}

// Creates the output file at Path with its folders. A read-only file of that
// name is replaced: only when the first try fails are its attributes reset
// (resetting them first would cost every new file a call).
static ArcFile CreateOutput(char* Path)
{
    size_t Folder = FolderLength(Path);
    bool Known = FolderIsKnown(Path, Folder);
    if (!Known) MakePath(Path);
    ArcFile Output = Ops()->Open(Path, ArcOpenWrite);
    if (!Output && Known) {
        // The folder has gone since: it is made after all.
        ForgetFolders();
        MakePath(Path);
        Output = Ops()->Open(Path, ArcOpenWrite);
    }
    if (!Output) {
        Ops()->SetAttributes(Path, ArcAttrNormal);
        Output = Ops()->Open(Path, ArcOpenWrite);
    }
    if (Output && Folder > 0) RememberFolder(Path, Folder);
    return Output;
}

// Attributes for the extracted file: Unix entries store mode bits, which
// become the archive bit plus read-only when the owner may not write.
static uint32_t FileAttributesOf(const ArcEntryInfo* E)
{
    if (E->HostSystem != ArcHostUnix) return E->Attributes;
    return ArcAttrArchive | ((E->Attributes & ArcUnixOwnerWrite) ? 0 : ArcAttrReadOnly);
}

// ---- processing an entry ----

// Extracts the current entry; without Extract, decodes it only through the
// CRC (Decode) or passes over it.
static int ProcessEntry(ArcHandle Handle, bool Extract, bool Decode, const char* DestDir, const char* DestName)
{
    if (!Handle || !Reader.File || !Reader.HaveEntry) return ArcDataError;
    if (!Extract && !Decode) {
        MoveToNextBlock();
        return ArcOk;
    }
    const ArcEntryInfo* E = &Reader.Entry;
    // The copy buffer of a stored entry, obtained before any output file
    // exists so that running out of memory leaves nothing behind. Without it
    // the archive is closed: the caller must stop, and its ArcClose finds
    // nothing left to release.
    uint8_t* StoredBuffer = 0;
    if (E->Method == ArcMethodStored && !IsUndecodable(E)) {
        StoredBuffer = (uint8_t*)Ops()->Alloc(ArcStoredBufferSize);
        if (!StoredBuffer) {
            ArcClose(Handle);
            return ArcNoMemory;
        }
    }

    char Path[ArcPathSize];
    Reader.Skipping = !Extract;
    Reader.Output = 0;
    int Result = ArcOk;
    // A refused or failed destination leaves the position at the entry; an
    // undecodable entry makes no file and is passed over.
    bool KeepPosition = false;
    if (Extract) {
        if (!BuildDestination(DestDir, DestName, Path))
            Result = ArcCreateError;
        else if (IsUndecodable(E))
            Result = ArcDataError;
        else if (!(Reader.Output = CreateOutput(Path)))
            Result = ArcCreateError;
        KeepPosition = Result == ArcCreateError;
    }
    if (Result == ArcOk) Result = DecodeEntry(StoredBuffer);
    if (StoredBuffer) Ops()->Free(StoredBuffer);
    if (Reader.Output) {
        Ops()->SetTime(Reader.Output, E->DosTime);
        if (!Ops()->Close(Reader.Output)) Result = ArcDataError;
        Reader.Output = 0;
        if (Result == ArcOk)
            Ops()->SetAttributes(Path, FileAttributesOf(E));
        else
            Ops()->Delete(Path);
    }
    if (!KeepPosition) MoveToNextBlock();
    return Result;
}

int ArcProcessEntryCode(ArcHandle Handle, bool Extract, const char* DestDir, const char* DestName)
{
    // A listing passes over every entry; a skipped entry is decoded only in a
    // solid archive, where the entries after it need its data.
    bool Listing = Reader.Mode == ArcModeList;
    return ProcessEntry(Handle, Extract && !Listing, Reader.Solid && !Listing, DestDir, DestName);
}

bool ArcProcessEntry(ArcHandle Handle, bool Extract, const char* DestDir, const char* DestName)
{
    return ArcProcessEntryCode(Handle, Extract, DestDir, DestName) == ArcOk;
}

int ArcTestEntryCode(ArcHandle Handle) { return ProcessEntry(Handle, false, true, 0, 0); }

void ArcSetProgressCallback(ArcProgressCallback Callback) { Progress = Callback; }
