// The file layer: every disk access (and every buffer) of the archive reader
// goes through this table of functions. The platform backend (Win32 or POSIX)
// is the default; tests install a backend of their own that can fail its Nth
// call, or serve an archive from memory.
#pragma once

#include <stddef.h>
#include <stdint.h>

typedef void* ArcFile; // an open file; none is 0

enum ArcOpenKind {
    ArcOpenRead = 0,  // existing file, shared read access
    ArcOpenWrite = 1, // created or truncated, no sharing
};

enum ArcSeekOrigin {
    ArcSeekStart = 0,
    ArcSeekCurrent = 1,
    ArcSeekEnd = 2,
};

// Paths use "\" between components; the POSIX backend turns it into "/".
struct ArcFileOps {
    ArcFile (*Open)(const char* Path, int Kind); // 0 on failure
    bool (*Close)(ArcFile File);
    int (*Read)(ArcFile File, void* Buffer, int Count);        // bytes read, 0 on failure
    int (*Write)(ArcFile File, const void* Buffer, int Count); // bytes written, 0 on failure
    void (*Seek)(ArcFile File, int32_t Offset, int Origin);
    int32_t (*Tell)(ArcFile File);
    int (*Delete)(const char* Path);                              // 0, or -1 on failure
    int (*MakeDir)(const char* Path);                             // 0, or -1 on failure
    bool (*SetAttributes)(const char* Path, uint32_t Attributes); // Win32 attribute bits
    bool (*SetTime)(ArcFile File, uint32_t DosTime);              // last-write time, local DOS time
    void* (*Alloc)(size_t Size);                                  // 0 when memory is short
    void (*Free)(void* Block);
};

// The backend of this platform.
extern const ArcFileOps ArcPlatformFileOps;

// The backend in use. ArcSetFileOps(0) restores the platform backend; change it
// only while no archive is open.
const ArcFileOps* ArcGetFileOps();
void ArcSetFileOps(const ArcFileOps* Ops);

#ifndef _WIN32
// POSIX backend: until called again with 0, whatever is written below Root
// (files opened for writing, folders made, attributes set, files deleted;
// Root as the paths will begin) is reached without following a symbolic
// link, since a link that someone else put below Root would carry the write
// to wherever it points. A path through a link fails with errno ELOOP, a
// name held by anything but a plain file (a link, a pipe, a device) with
// ELOOP or EEXIST. Root itself may be a link: it is the caller's choice.
void ArcConfineWrites(const char* Root);
#endif
