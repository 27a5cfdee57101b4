// The 2.0 stream encoder: turns the contents of a list of entries into one
// solid compressed stream, cut into per-entry packed data, that the stub's
// decoder reproduces exactly, carrying its window, tables, recent distances
// and audio state from entry to entry. An entry that would not get smaller is
// stored instead. Container headers are ArchiveWriter's.
#pragma once

#include "Rar20Format.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct EncoderReport {
    uint32_t AudioTableReads[5] = {};             // table reads in audio mode, by channel count
    uint64_t SymbolUse[Rar20::LiteralCount] = {}; // LZ symbols written, table switches included
    uint64_t NewMatchBonusUse[3] = {};            // new matches with length bonus 0, 1, 2
    uint64_t RecentBonusUse[4] = {};              // recent-distance matches with bonus 0..3
};

// What the encoder reads and writes through. Every call comes from the thread
// that runs EncodeSolidStream; a false return stops the encoder.
class EncoderIo {
public:
    virtual ~EncoderIo() = default;
    // Up to Count bytes of entry Index from Offset into Buffer; *Got fewer
    // only at the entry's end. An entry is read forward from offset 0.
    virtual bool ReadEntry(uint32_t Index, uint64_t Offset, uint8_t* Buffer, size_t Count, size_t* Got) = 0;
    // The packed data of entry Index begins. Stored: the entry is stored
    // (method 0x30), and the receiver copies its bytes itself.
    virtual bool BeginEntry(uint32_t Index, bool Stored) = 0;
    virtual bool PackedBytes(const uint8_t* Bytes, size_t Count) = 0;
    // AudioBytes: the entry's bytes coded in audio mode.
    virtual bool EndEntry(uint32_t Index, uint64_t AudioBytes) = 0;
};

struct EncoderSettings {
    int Level = 3;                // 1 (fastest) .. 5 (best)
    int Threads = 1;              // threads that parse; the output is the same for any number
    std::vector<bool> ForceStore; // entries stored whatever they hold (missing ones: not forced)
};

// Encodes entries 0 .. EntryCount - 1 in order. False when Io refused a call.
// Throws what the allocator throws (the caller catches it).
bool EncodeSolidStream(uint32_t EntryCount, const EncoderSettings& Settings, EncoderIo& Io, EncoderReport* Report);
