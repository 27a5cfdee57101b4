// Helpers for the archive reader tests: an archive builder for hand-made
// block layouts, an MSB-first bit writer with canonical-code helpers for
// hand-made 2.0 streams, a temporary directory, and a file layer backend that
// fails its Nth operation and counts open handles.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "ArcFile.h"
#include "Vectors.h"

typedef std::vector<uint8_t> Bytes;

uint32_t Crc32Of(const Bytes& Data);
Bytes ToBytes(const std::string& Text);
Bytes ReadFileBytes(const std::string& Path);
void WriteFileBytes(const std::string& Path, const Bytes& Data);
bool FileExists(const std::string& Path);

// The shared real archives, as their table of expectations lists them.
struct VectorEntry {
    std::string Name; // as listed: 8-bit names shown as Latin-1 in UTF-8
    uint32_t Size = 0;
    uint32_t Crc = 0;
    uint32_t Method = 0;
    bool Good = false; // tests good (else: a data error)
};
struct VectorArchive {
    std::string Path;                 // full path
    std::vector<VectorEntry> Entries; // empty when it cannot be opened
    std::string OpenFailure;          // "", "old-format" or "not-archive"
    bool AllGood() const;
    bool AnyBad() const;
};
// Reads Dir/EXPECTED.txt; the archives in its order (none when it is missing).
std::vector<VectorArchive> LoadVectors(const std::string& Dir = VectorsDir());
// True when some entry of the archive continues the stream of the one before.
bool HasSolidEntries(const std::string& Path);
// The name as the reader returns it, from the table's Latin-1/UTF-8 form.
std::string VectorNameBytes(const std::string& Listed);

// One file header and its packed data.
struct TestEntry {
    std::string Name;
    Bytes Packed; // the data area
    uint32_t UnpackedSize = 0;
    uint32_t DataCrc = 0;
    uint32_t Flags = 0x8000; // data area present
    uint32_t Method = 0x30;
    uint32_t Host = 2;
    uint32_t Attributes = 0x20;
    uint32_t DosTime = 0x5A8C6000; // 2025-04-12 12:00:00
    uint32_t Version = 20;
    uint32_t ExtraHeaderBytes = 0; // bytes after the name inside the header
    int NameSizeOverride = -1;     // the stored name size, when not Name's length
};

// A stored entry holding Text.
TestEntry StoredEntry(const std::string& Name, const std::string& Text);
// A compressed entry with hand-made packed data for the expected output.
TestEntry PackedEntry(const std::string& Name, const Bytes& Packed, const Bytes& Output, bool Solid);
// A directory entry.
TestEntry DirectoryEntry(const std::string& Name);

class ArchiveBuilder {
public:
    explicit ArchiveBuilder(uint32_t MainFlags = 0, uint32_t MainExtra = 0);
    ArchiveBuilder& Add(const TestEntry& Entry);
    // A block of another type, with a data area when DataSize > 0.
    ArchiveBuilder& AddBlock(uint8_t Type, uint32_t Flags, uint32_t HeaderSize, uint32_t DataSize);
    ArchiveBuilder& AddRaw(const Bytes& Raw);
    const Bytes& Data() const { return Archive; }

private:
    Bytes Archive;
};

// Writes bits most significant first, the order the decoder reads them.
class BitWriter {
public:
    void Put(uint32_t Value, int Count);
    Bytes Finish() const; // pads the last byte with zeros
    size_t BitCount() const { return Bits.size(); }

private:
    std::vector<bool> Bits;
};

// The canonical code of a set of code lengths, as the decoder assigns it:
// shorter codes first, within a length by symbol value.
struct CanonicalCode {
    std::vector<uint8_t> Lengths;
    std::vector<uint32_t> Codes;
    explicit CanonicalCode(const std::vector<uint8_t>& CodeLengths);
    void Put(BitWriter& Out, int Symbol) const { Out.Put(Codes[Symbol], Lengths[Symbol]); }
};

// Writes a table read: the 2 mode bits (plus 2 channel bits in audio mode),
// a level code giving every level symbol 5 bits, and each length as the
// delta to Previous (which it then becomes).
void PutTables(BitWriter& Out, bool Audio, int Channels, bool KeepPrevious, const std::vector<uint8_t>& Lengths,
               std::vector<uint8_t>& Previous);

// LZ lengths of 374 entries where the given literal-table symbols get Length
// bits each, and likewise for the distance and repeat-length tables.
std::vector<uint8_t> LzLengths(const std::vector<int>& Literals, int LiteralLength, const std::vector<int>& Dists,
                               int DistLength, const std::vector<int>& RepLens = {}, int RepLenLength = 0);

// A fresh temporary directory, removed with its contents by the destructor.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return Dir; }
#ifdef _WIN32
    std::string File(const std::string& Name) const { return Dir + "\\" + Name; }
#else
    std::string File(const std::string& Name) const { return Dir + "/" + Name; }
#endif
private:
    std::string Dir;
};

// The platform backend with a counter: the operation numbered FailAt (from 1;
// 0 for none) of the kinds in FailKinds fails. Tracks open handles.
enum FaultKind {
    FaultOpen = 1,
    FaultRead = 2,
    FaultWrite = 4,
    FaultSetTime = 8,
    FaultSetAttributes = 16,
    FaultDelete = 32,
    FaultAlloc = 64,
    FaultClose = 128,
    FaultMakeDir = 256,
    FaultAll = 511,
};
struct FaultPlan {
    int FailAt = 0;
    int FailKinds = FaultAll;
    int Operations = 0; // operations of the kinds counted so far
    int OpenHandles = 0;
    int LiveBlocks = 0;
    bool Failed = false; // the planned failure happened
    int FailedKind = 0;  // its FaultKind
};
// Installs the counting backend (Plan must outlive it); Remove restores the
// platform backend.
void InstallFaultBackend(FaultPlan* Plan);
void RemoveFaultBackend();
