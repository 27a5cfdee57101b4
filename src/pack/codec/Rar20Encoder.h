// The RAR 2.0 stream encoder: turns the contents of a list of entries into
// one solid compressed stream, cut into per-entry packed data, that the stub's
// decoder reproduces exactly, carrying its window, tables, recent distances
// and audio state from entry to entry. Container headers are ArchiveWriter's.
#pragma once

#include "Rar20Format.h"

#include <cstdint>
#include <functional>
#include <vector>

struct EncodedEntry {
    std::vector<uint8_t> Packed; // the entry's packed data (or its bytes when stored)
    bool Stored = false;         // method 0x30: the data does not enter the window
    uint64_t AudioBytes = 0;     // bytes coded in audio mode
};

struct EncoderReport {
    uint32_t TableReads = 0;           // code tables written (stream start and switches)
    uint32_t AudioTableReads[5] = {};  // of them in audio mode, by channel count
    uint64_t SymbolUse[Rar20::LiteralCount] = {}; // LZ symbols written, table switches included
    uint64_t NewMatchBonusUse[3] = {}; // new matches with length bonus 0, 1, 2
    uint64_t RecentBonusUse[4] = {};   // recent-distance matches with bonus 0..3
};

// Level 1 (fastest) .. 5 (best). The first entry is never stored: it starts
// the stream and carries the first code tables. Progress gets input bytes done.
std::vector<EncodedEntry> EncodeSolidStream(const std::vector<const std::vector<uint8_t>*>& Inputs, int Level,
                                            const std::function<void(uint64_t)>& Progress,
                                            EncoderReport* Report);
