// Constants and fixed tables of the RAR 2.0 compressed stream, as the
// encoder needs them. The decoder in src/archive has its own copy; both must
// agree with the format, and the round-trip tests hold them to it.
#pragma once

#include <cstdint>

namespace Rar20 {

constexpr uint32_t WindowSize = 0x100000;     // 1 MiB sliding window
constexpr uint32_t WindowMask = WindowSize - 1;
constexpr uint32_t MaxDistance = WindowSize - 1; // farthest distance we emit

// Table sizes: literal/length table, distances, repeat lengths, level table,
// one audio channel table; LZ tables are read as one run of 374 lengths.
constexpr int LiteralCount = 298;
constexpr int DistCount = 48;
constexpr int RepLenCount = 28;
constexpr int LevelCount = 19;
constexpr int AudioCount = 257;
constexpr int LzTableSize = LiteralCount + DistCount + RepLenCount; // 374
constexpr int MaxTableSize = AudioCount * 4;                        // 1028
constexpr int MaxChannels = 4;
constexpr int MaxCodeLength = 15;

// Literal table symbols.
constexpr int SymRepeatLast = 256;   // last length and last distance again
constexpr int SymRecentFirst = 257;  // 257..260: distance 1..4 matches back
constexpr int SymShortFirst = 261;   // 261..268: length 2, distance up to 256
constexpr int SymTableSwitch = 269;  // new code tables follow
constexpr int SymMatchFirst = 270;   // 270..297: new match, length slot
constexpr int AudioSymTableSwitch = 256;

// Level table symbols: 0..15 are length deltas, then the runs.
constexpr int LevelRepeatPrev = 16;  // previous length 3..6 times (2 extra bits)
constexpr int LevelZeros3 = 17;      // 3..10 zero lengths (3 extra bits)
constexpr int LevelZeros11 = 18;     // 11..138 zero lengths (7 extra bits)

// Match lengths grow by one at each of these distances (new matches: the
// last two; recent-distance matches: all three).
constexpr uint32_t LengthBonusDist1 = 0x101;
constexpr uint32_t LengthBonusDist2 = 0x2000;
constexpr uint32_t LengthBonusDist3 = 0x40000;

constexpr int MinNewMatch = 3;      // before the distance bonus
constexpr int MinRecentMatch = 2;   // before the distance bonus
constexpr int MaxMatchLength = 257; // every kind can code this at any distance
constexpr uint32_t MaxShortDistance = 256;

// Stream header bits of a table read.
constexpr uint32_t HeaderAudioBit = 2;  // of the first two bits: audio mode
constexpr uint32_t HeaderKeepBit = 1;   // keep the previous lengths as delta base

static const uint8_t LengthBase[RepLenCount] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  10,  12,  14,  16,  20,
                                                24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224};
static const uint8_t LengthBits[RepLenCount] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                                2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};
static const uint32_t DistBase[DistCount] = {
    0,      1,      2,      3,      4,      6,      8,      12,     16,     24,     32,     48,
    64,     96,     128,    192,    256,    384,    512,    768,    1024,   1536,   2048,   3072,
    4096,   6144,   8192,   12288,  16384,  24576,  32768,  49152,  65536,  98304,  131072, 196608,
    262144, 327680, 393216, 458752, 524288, 589824, 655360, 720896, 786432, 851968, 917504, 983040};
static const uint8_t DistBits[DistCount] = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                            7,  7,  8,  8,  9,  9,  10, 10, 11, 11, 12, 12, 13, 13, 14, 14,
                                            15, 15, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16};
static const uint8_t ShortDistBase[8] = {0, 4, 8, 16, 32, 64, 128, 192};
static const uint8_t ShortDistBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};

static_assert(sizeof(LengthBase) == RepLenCount && sizeof(LengthBits) == RepLenCount, "length tables");
static_assert(sizeof(DistBase) / sizeof(DistBase[0]) == DistCount && sizeof(DistBits) == DistCount,
              "distance tables");
static_assert(SymMatchFirst + RepLenCount == LiteralCount, "literal table layout");

// Length added to a new match's coded length at distance Distance.
inline int NewMatchBonus(uint32_t Distance)
{
    return (Distance >= LengthBonusDist2 ? 1 : 0) + (Distance >= LengthBonusDist3 ? 1 : 0);
}

// Length added to a recent-distance match's coded length.
inline int RecentMatchBonus(uint32_t Distance)
{
    return (Distance >= LengthBonusDist1 ? 1 : 0) + NewMatchBonus(Distance);
}

} // namespace Rar20
