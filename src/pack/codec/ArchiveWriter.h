// The archive writer of tarnpack: turns a list of entries into one solid
// archive in the block format the stub reads (marker, main header, one file
// header per entry, packed data), compressed with our 2.0 encoder or stored.
// Finding the project's files, ordering them and checking them are the build
// command's; reading the archive back is ArchiveVerify's.
#pragma once

#include "ArcFormat.h"
#include "Rar20Encoder.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// An entry: its name in the archive and where its bytes come from.
struct PackEntry {
    std::string Name;       // backslash separators, relative
    uint32_t DosTime = 0;   // DOS date (high 16 bits) and time (low 16 bits), local time
    std::string SourcePath; // the file holding the bytes; empty: Data holds them
    std::vector<uint8_t> Data;
};

// What the stub can read: names of at most 259 bytes, an archive (stub
// included) below 2 GiB, since its offsets are signed 32-bit.
constexpr size_t PackMaxNameLength = ArcPathSize - 1;
constexpr uint64_t PackMaxSetupSize = 0x80000000ull;

// Level 0 stores every entry; 1 (fastest) to 5 (best) compress.
enum { PackLevelStore = 0, PackLevelFastest = 1, PackLevelDefault = 3, PackLevelBest = 5 };

struct PackSettings {
    int Level = PackLevelDefault; // out of range values are clamped
    int Threads = 0;              // threads that compress; 0: one per core. The bytes are the same for any number.
    // Called now and then while packing; DoneBytes counts input bytes handled.
    std::function<void(uint64_t DoneBytes, uint64_t TotalBytes)> Progress;
};

struct PackEntryStats {
    uint64_t PackedBytes = 0;
    bool Stored = false;     // written with method 0x30
    uint64_t AudioBytes = 0; // bytes coded in multimedia (audio) mode
};

struct PackStats {
    uint64_t OutputBytes = 0; // size of the whole archive, headers included
    uint32_t Passes = 0;      // times the stream was made (more than one when an entry had to be stored after all)
    EncoderReport Stream;     // what the compressed stream is made of
    std::vector<PackEntryStats> Entries; // one per entry, in archive order
};

// Where the archive goes. Header fields that are known only after an entry's
// data (its sizes and CRCs) are filled in by rewriting bytes already written.
class ArchiveOutput {
public:
    virtual ~ArchiveOutput() = default;
    virtual bool Append(const uint8_t* Bytes, size_t Count) = 0;
    virtual bool Rewrite(uint64_t Offset, const uint8_t* Bytes, size_t Count) = 0; // Offset in the archive
    virtual bool Restart() = 0;                                                    // drops the archive written so far
    virtual uint64_t Size() const = 0;                                             // bytes of the archive so far
    virtual uint64_t Start() const { return 0; } // where the archive starts in its file
};

class MemoryOutput : public ArchiveOutput {
public:
    bool Append(const uint8_t* Bytes, size_t Count) override;
    bool Rewrite(uint64_t Offset, const uint8_t* Bytes, size_t Count) override;
    bool Restart() override;
    uint64_t Size() const override { return Bytes.size(); }
    std::vector<uint8_t> Bytes;
};

// Writes at the end of an open file (after a stub, say); offsets count from
// where the archive starts.
class FileOutput : public ArchiveOutput {
public:
    explicit FileOutput(std::FILE* File);
    bool Append(const uint8_t* Bytes, size_t Count) override;
    bool Rewrite(uint64_t Offset, const uint8_t* Bytes, size_t Count) override;
    bool Restart() override;
    uint64_t Size() const override { return Written; }
    uint64_t Start() const override { return Begin; }

private:
    std::FILE* File;
    uint64_t Begin;
    uint64_t Written = 0;
    bool Moved = true; // the file's position is not where the next append goes
};

// Writes the archive of Entries: marker, main header (flags 0x000C: solid,
// locked), file headers (version 20, method 0x35, or 0x30 for stored
// entries, host 2, attributes 0x20, header CRCs; flags 0x8090, but 0x8080
// for the first entry and the first packed one, which starts the compressed
// stream), packed
// data, and the end block (type 0x7B, flags 0x4000), after which readers stop.
// No entry is larger packed than stored. Sources are read and the output
// written a piece at a time. Stats may be null. False with the reason in
// Error when a name is empty or too long, the setup would reach 2 GiB, a
// source cannot be read, or the output cannot be written.
bool WriteArchive(const std::vector<PackEntry>& Entries, const PackSettings& Settings, ArchiveOutput& Out,
                  PackStats* Stats, std::string* Error);

// DOS date/time of a Unix time, in local time (or UTC when Utc, which does
// not depend on the machine's time zone): times before 1980 give 1980-01-01
// 00:00:00, times after 2107 the last the format holds, 2107-12-31 23:59:58.
uint32_t DosTimeFromUnix(int64_t UnixTime, bool Utc = false);
