// The 2.0 compressed stream: its symbols, slot tables and table-read fields,
// and the audio predictor, shared by the stub's decoder and tarnpack's
// encoder so that both speak one vocabulary. Portable and C-style (the stub
// includes it); the container's numbers are in ArcFormat.h.
#pragma once

#include <stdint.h>

namespace Rar20 {

// ---- code tables ----
enum {
    LiteralCount = 298, // 256 bytes, 14 special symbols, 28 length slots
    DistCount = 48,
    RepLenCount = 28,
    LevelCount = 19,  // the code that codes the code lengths
    AudioCount = 257, // 256 byte differences and the table switch
    MaxChannels = 4,
    LzTableSize = LiteralCount + DistCount + RepLenCount, // one table read in LZ mode: 374
    MaxTableSize = AudioCount * MaxChannels,              // four audio tables: 1,028
    MaxCodeLength = 15,
};

// Literal-table symbols above the bytes.
enum {
    SymRepeatLast = 256,  // the last length at the last distance again
    SymRecentFirst = 257, // 257-260: a recent distance, 1 to 4 matches back
    SymShortFirst = 261,  // 261-268: a 2-byte match at a distance up to 256
    SymTableSwitch = 269, // new code tables follow
    SymMatchFirst = 270,  // 270-297: a new match, by length slot
    AudioSymTableSwitch = 256,
};

// Level-table symbols: 0-15 add to the previous length (mod 16), then runs.
enum {
    LevelRepeat = 16,    // the length before, 3-6 times
    LevelZeros = 17,     // 3-10 zero lengths
    LevelLongZeros = 18, // 11-138 zero lengths
    LevelRepeatBits = 2,
    LevelRepeatMin = 3,
    LevelZerosBits = 3,
    LevelZerosMin = 3,
    LevelLongZerosBits = 7,
    LevelLongZerosMin = 11,
};

// A table read opens with two mode bits (audio, keep the previous lengths
// as the base of the new ones), in audio mode two bits of channel count - 1,
// then 19 level-code lengths of four bits each.
enum {
    TableModeBits = 2,
    TableAudioBit = 2,
    TableKeepBit = 1,
    TableChannelBits = 2,
    LevelLengthBits = 4,
};

// Match lengths. The decoder adds one to a match's coded length at each
// bonus distance it reaches: new matches from the second, recent-distance
// matches from the first.
enum {
    MinNewMatch = 3,    // before the bonus
    MinRecentMatch = 2, // before the bonus
    ShortMatchLength = 2,
    MaxShortDistance = 256,
    LengthBonusDist1 = 0x101,
    LengthBonusDist2 = 0x2000,
    LengthBonusDist3 = 0x40000,
};

inline constexpr uint8_t LengthBase[RepLenCount] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  10,  12,  14,  16,  20,
                                                    24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224};
inline constexpr uint8_t LengthBits[RepLenCount] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                                    2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};
inline constexpr uint32_t DistBase[DistCount] = {
    0,      1,      2,      3,      4,      6,      8,      12,     16,     24,     32,     48,
    64,     96,     128,    192,    256,    384,    512,    768,    1024,   1536,   2048,   3072,
    4096,   6144,   8192,   12288,  16384,  24576,  32768,  49152,  65536,  98304,  131072, 196608,
    262144, 327680, 393216, 458752, 524288, 589824, 655360, 720896, 786432, 851968, 917504, 983040};
inline constexpr uint8_t DistBits[DistCount] = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                                7,  7,  8,  8,  9,  9,  10, 10, 11, 11, 12, 12, 13, 13, 14, 14,
                                                15, 15, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16};
enum { ShortSlotCount = SymTableSwitch - SymShortFirst };
inline constexpr uint8_t ShortDistBase[ShortSlotCount] = {0, 4, 8, 16, 32, 64, 128, 192};
inline constexpr uint8_t ShortDistBits[ShortSlotCount] = {2, 2, 3, 4, 5, 6, 6, 6};

static_assert(sizeof LengthBase == RepLenCount && sizeof LengthBits == RepLenCount, "length slots");
static_assert(sizeof DistBase / sizeof DistBase[0] == DistCount && sizeof DistBits == DistCount, "distance slots");
static_assert(sizeof ShortDistBase == ShortSlotCount && sizeof ShortDistBits == ShortSlotCount, "short slots");
static_assert(SymMatchFirst + RepLenCount == LiteralCount, "match symbols fill the literal table");

// Length the decoder adds to a new match's coded length at Distance.
inline uint32_t NewMatchBonus(uint32_t Distance)
{
    return (Distance >= LengthBonusDist2 ? 1 : 0) + (Distance >= LengthBonusDist3 ? 1 : 0);
}

// Length the decoder adds to a recent-distance match's coded length.
inline uint32_t RecentMatchBonus(uint32_t Distance)
{
    return (Distance >= LengthBonusDist1 ? 1 : 0) + NewMatchBonus(Distance);
}

// ---- the audio predictor ----
// Each output byte of a channel is predicted from the channel's history by
// five weights; only the difference is coded. Every 32 bytes the weight
// change that would have erred least over those bytes is made. Decoder and
// encoder run the same steps, so they stay in step byte for byte.

enum {
    AudioWeightCount = 5,
    AudioAdaptInterval = 32, // bytes of a channel between weight changes
    AudioPastDeltas = 4,     // differences before a block that its history reaches
    AudioWeightMin = -17,    // weights stay within -17..16
    AudioWeightMax = 16,
};

// The history of a byte is D1, the channel's last output difference, D2 its
// change, D3 and D4 the two changes before, and the channel delta: the last
// difference made in any channel. The weights K[0..4] multiply them in this
// order. A channel records what each byte of the current block of 32 was
// made from, and sums the errors of the candidate weight changes once at the
// block's end, in one pass that compilers turn into vector code.
struct AudioChannel {
    int32_t K[AudioWeightCount];
    // Output differences as signed bytes: the four before the block, then
    // one per byte of the block made so far (ByteCount % 32 of them).
    int16_t Deltas[AudioPastDeltas + AudioAdaptInterval];
    uint8_t Coded[AudioAdaptInterval];         // the coded differences
    int16_t ChannelDeltas[AudioAdaptInterval]; // the channel delta each byte was predicted with
    uint32_t ByteCount;
    int32_t LastChar;
};

struct AudioState {
    AudioChannel Channels[MaxChannels];
    int32_t ChannelDelta; // the output difference of the byte made last, in any channel
};

// The byte the predictor expects next in channel V. AudioRecord for the
// same channel must follow.
inline uint8_t AudioPredict(const AudioChannel* V, int32_t ChannelDelta)
{
    const int16_t* D = V->Deltas + V->ByteCount % AudioAdaptInterval; // D[3] is the last
    int32_t Sum = 8 * V->LastChar + V->K[0] * D[3] + V->K[1] * (D[3] - D[2]) + V->K[2] * (D[2] - D[1]) +
                  V->K[3] * (D[1] - D[0]) + V->K[4] * ChannelDelta;
    return (uint8_t)(Sum >> 3);
}

// At the end of every block of 32 bytes of a channel: the candidate weight
// change with the smallest error sum is made. Out of line (in the decoder)
// and never inlined: it would crowd the registers of the loops that predict.
__attribute__((noinline)) void AudioAdaptWeights(AudioChannel* V);

// Records that channel V has made Output from the coded difference Delta,
// predicted with ChannelDelta, and updates ChannelDelta.
inline void AudioRecord(AudioChannel* V, int32_t* ChannelDelta, uint32_t Delta, uint8_t Output)
{
    uint32_t Index = V->ByteCount % AudioAdaptInterval;
    int32_t OutputDelta = (int8_t)(uint8_t)(Output - V->LastChar);
    V->Coded[Index] = (uint8_t)Delta;
    V->ChannelDeltas[Index] = (int16_t)*ChannelDelta;
    V->Deltas[AudioPastDeltas + Index] = (int16_t)OutputDelta;
    V->LastChar = Output;
    *ChannelDelta = OutputDelta;
    ++V->ByteCount;
    if (Index == AudioAdaptInterval - 1) AudioAdaptWeights(V);
}

// Channel V's next byte from the coded difference Delta (0..255).
// ChannelDelta is AudioState's (a pointer, so a hot loop can keep it local).
inline uint8_t AudioDecodeByte(AudioChannel* V, int32_t* ChannelDelta, uint32_t Delta)
{
    uint8_t Output = (uint8_t)(AudioPredict(V, *ChannelDelta) - Delta);
    AudioRecord(V, ChannelDelta, Delta, Output);
    return Output;
}

// The difference that makes the decoder reproduce Byte in channel V.
inline uint8_t AudioEncodeByte(AudioChannel* V, int32_t* ChannelDelta, uint8_t Byte)
{
    uint8_t Delta = (uint8_t)(AudioPredict(V, *ChannelDelta) - Byte);
    AudioRecord(V, ChannelDelta, Delta, Byte);
    return Delta;
}

} // namespace Rar20
