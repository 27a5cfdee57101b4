// Hash-chain match finder over the encoder's history. The main thread inserts
// positions ahead of the parse; each position keeps, from the moment it was
// inserted, links to the earlier positions with the same four-byte hash (a
// chain through the whole 1 MiB window), the same three bytes and the same
// byte pair nearby, and the same 32 bytes (sampled, for copies of earlier
// files). A search at a position reads only those links and older ones, so
// any number of threads can search while the main thread inserts further on.
#pragma once

#include "ArcFormat.h"
#include "StreamHistory.h"

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
    // Positions may be searched until the finder has inserted this many more.
    static constexpr uint32_t LinkSpan = 1u << 20;

    explicit MatchFinder(const StreamHistory& History);

    // Inserts the positions from InsertedCount() up to Pos. Hashes take no
    // byte at or beyond Limit (the end of the entry, so the tables never
    // depend on what follows it); the bytes up to there must be in the history.
    void InsertUpTo(uint32_t Pos, uint32_t Limit);
    uint32_t InsertedCount() const { return Inserted; }

    // Longest match for the bytes at Pos among earlier positions, at most
    // MaxLength bytes and Depth chain steps; only matches a new match can code
    // at their distance. Length 0 when none.
    void FindLongest(uint32_t Pos, uint32_t MaxLength, int Depth, uint32_t NiceLength, uint32_t* Length,
                     uint32_t* Distance) const;

    // Every improvement along the chain (each longer than the last) into
    // Lengths/Distances; returns how many. For the optimal parser.
    int FindAll(uint32_t Pos, uint32_t MaxLength, int Depth, uint32_t NiceLength, uint32_t* Lengths,
                uint32_t* Distances, int MaxCount) const;

    // Distance of the latest earlier position holding the byte pair at Pos,
    // 0 when none within 65,535 bytes.
    uint32_t PairDistance(uint32_t Pos) const;

    // Starts loading what a search at Pos reads first.
    void Prefetch(uint32_t Pos) const;

    // The longest match for Bytes (not in the stream: an entry not added yet)
    // among all inserted positions, at most MaxLength bytes.
    uint32_t LongestMatchOf(const uint8_t* Bytes, uint32_t MaxLength, int Depth) const;

private:
    const StreamHistory& History;
    std::vector<uint32_t> Head;     // four-byte hash -> latest position + 1 (0: none)
    std::vector<uint32_t> Head3;    // three-byte hash -> latest position + 1
    std::vector<uint32_t> PairHead; // byte pair -> latest position + 1
    std::vector<uint32_t> LongHead; // 32-byte hash -> latest sampled position + 1
    std::vector<uint32_t> Prev;     // position -> the latest earlier one on its chain + 1 (the window and LinkSpan)
    std::vector<uint32_t> LongLink; // position -> LongHead of its hash when inserted
    std::vector<uint16_t> Near3;    // position -> distance to the latest earlier with its three bytes (0: none, far)
    std::vector<uint16_t> NearPair; // position -> the same for its byte pair
    uint32_t Inserted = 0;          // positions below this are linked
};

// Number of equal bytes of A and B, at most Limit.
uint32_t CommonLength(const uint8_t* A, const uint8_t* B, uint32_t Limit);
