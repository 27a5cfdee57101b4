// Hash-chain match finder over the encoder's history: every position of the
// solid stream is linked to the previous one with the same four-byte hash, so
// a search can walk back through the whole 1 MiB window. Smaller tables keep
// the latest position of each three-byte hash and of each byte pair, for the
// near three-byte matches and the short (length 2) matches.
#pragma once

#include "ArcFormat.h"

#include <cstdint>
#include <vector>

namespace Rar20 {
// The matches the encoder emits: the farthest distance (the whole window but
// one byte) and the longest length that every kind of match can code at any
// distance.
constexpr uint32_t MaxDistance = ArcWindowSize - 1;
constexpr uint32_t MaxMatchLength = 257;
} // namespace Rar20

class MatchFinder {
public:
    MatchFinder();

    // Links every position below Pos into the chains (positions whose four
    // bytes are not all in Data yet wait for the next call).
    void InsertUpTo(const uint8_t* Data, uint32_t Size, uint32_t Pos);

    // Longest match for Data[Pos..] among the previous positions, at most
    // MaxLength bytes and Depth chain steps; a match is taken only if a new
    // match can code its length at its distance. Length 0 when none.
    void FindLongest(const uint8_t* Data, uint32_t Pos, uint32_t MaxLength, int Depth, uint32_t NiceLength,
                     uint32_t* Length, uint32_t* Distance) const;

    // Collects every improvement along the chain (each longer than the last)
    // into Lengths/Distances; returns how many. For the optimal parser.
    int FindAll(const uint8_t* Data, uint32_t Pos, uint32_t MaxLength, int Depth, uint32_t NiceLength,
                uint32_t* Lengths, uint32_t* Distances, int MaxCount) const;

    // Distance of the latest earlier position holding the byte pair at Pos
    // (0 when none). Only valid for Pos + 1 < data size.
    uint32_t PairDistance(const uint8_t* Data, uint32_t Pos) const;

    // Forgets every position from Start on, as if they were never inserted
    // (an entry that ends up stored leaves the window again).
    void RollBack(const uint8_t* Data, uint32_t Start);

    // Leaves the positions below Pos out of the chains (inside long matches,
    // where the fast levels do not look for matches anyway).
    void SkipTo(uint32_t Pos)
    {
        if (Inserted < Pos)
            Inserted = Pos;
    }

    // Positions move down by Delta (a multiple of the window size, so chain
    // slots stay where they are) after the caller dropped that much history.
    void Rebase(uint32_t Delta);

    // Starts loading the table slots a search at Pos will read (Pos + 32
    // must be within the data).
    void Prefetch(const uint8_t* Data, uint32_t Pos) const;

    uint32_t InsertedCount() const { return Inserted; }

private:
    std::vector<uint32_t> Head;  // hash -> latest position + 1 (0: none)
    std::vector<uint32_t> Prev;  // position mod window -> previous position + 1
    std::vector<uint32_t> Head3; // three-byte hash -> latest position + 1
    std::vector<uint32_t> PairHead; // byte pair -> latest position + 1
    std::vector<uint32_t> LongHead; // 32-byte hash -> latest sampled position + 1
    uint32_t Inserted = 0;       // positions below this are linked
};

// Number of equal bytes of A and B, at most Limit.
uint32_t CommonLength(const uint8_t* A, const uint8_t* B, uint32_t Limit);
