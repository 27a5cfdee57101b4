// Fuzz target of the archive reader. Property: whatever the bytes, opening,
// walking, testing, skipping and extracting never crash, hang or touch memory
// outside a buffer. The archive is served from memory and extraction writes
// into a sink, through a file layer of this file's own.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "ArcFile.h"
#include "Unrar.h"

namespace {

const uint8_t* Input = nullptr;
size_t InputSize = 0;
int64_t Position = 0;

// Handles: 1 is the archive, 2 an output file.
enum { ArchiveHandle = 1, OutputHandle = 2 };

ArcFile MemOpen(const char* Path, int Kind)
{
    if (Kind == ArcOpenWrite) return (ArcFile)(intptr_t)OutputHandle;
    if (strcmp(Path, "archive") != 0) return 0;
    Position = 0;
    return (ArcFile)(intptr_t)ArchiveHandle;
}

bool MemClose(ArcFile) { return true; }

int MemRead(ArcFile File, void* Buffer, int Count)
{
    if ((intptr_t)File != ArchiveHandle || Count <= 0 || Position < 0 || Position >= (int64_t)InputSize) return 0;
    size_t Take = (size_t)Count;
    if (Take > InputSize - (size_t)Position) Take = InputSize - (size_t)Position;
    memcpy(Buffer, Input + Position, Take);
    Position += (int64_t)Take;
    return (int)Take;
}

int MemWrite(ArcFile, const void*, int Count) { return Count; }

void MemSeek(ArcFile File, int32_t Offset, int Origin)
{
    if ((intptr_t)File != ArchiveHandle) return;
    if (Origin == ArcSeekStart)
        Position = Offset;
    else if (Origin == ArcSeekCurrent)
        Position += Offset;
    else
        Position = (int64_t)InputSize + Offset;
}

int32_t MemTell(ArcFile File)
{
    if ((intptr_t)File != ArchiveHandle || Position < 0 || Position > INT32_MAX) return -1;
    return (int32_t)Position;
}

int MemDelete(const char*) { return 0; }

int MemMakeDir(const char*) { return 0; }

bool MemSetAttributes(const char*, uint32_t) { return true; }

bool MemSetTime(ArcFile, uint32_t) { return true; }

void* MemAlloc(size_t Size) { return malloc(Size); }

void MemFree(void* Block) { free(Block); }

const ArcFileOps MemoryOps = {
    MemOpen,   MemClose,   MemRead,          MemWrite,   MemSeek,  MemTell,
    MemDelete, MemMakeDir, MemSetAttributes, MemSetTime, MemAlloc, MemFree,
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    Input = Data;
    InputSize = Size;
    ArcSetFileOps(&MemoryOps);
    // The low bits of the size pick how entries are handled, so one input
    // exercises testing, skipping and extraction alike.
    int Style = (int)(Size % 3);
    ArcHandle Handle = ArcOpen("archive", Style == 2 ? ArcModeList : ArcModeExtract);
    ArcEntryInfo Info;
    int Entries = 0;
    while (Handle && ArcReadEntry(Handle, &Info) && Entries < 10000) {
        ++Entries;
        int Result;
        if (Style == 0)
            Result = ArcTestEntryCode(Handle);
        else if (Entries % 2)
            Result = ArcProcessEntryCode(Handle, true, "out", nullptr);
        else
            Result = ArcProcessEntryCode(Handle, false, nullptr, nullptr);
        if (Result == ArcCreateError) Result = ArcProcessEntryCode(Handle, false, nullptr, nullptr);
        if (Result == ArcNoMemory) break;
        if (strlen(Info.Name) >= ArcNameSize) abort();
    }
    ArcClose(Handle);
    ArcSetFileOps(nullptr);
    return 0;
}
