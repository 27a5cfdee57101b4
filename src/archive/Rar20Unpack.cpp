// The decoder of the 2.0 method: an LZ77 stream with Huffman-coded symbols in
// a 1 MiB window, which can switch to a predictive coding of 1-4 interleaved
// audio channels at any table read. Symbols are decoded through lookup tables;
// every read of the input and every table index is bounded, so damaged input
// ends with ArcDataError instead of running on.
#include <string.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "ArcFormat.h"
#include "Unrar.h"
#include "UnrarInternal.h"

enum {
    LiteralCount = 298,       // 256 bytes, 13 special symbols, 28 length slots
    DistCount = 48,
    RepLenCount = 28,
    LevelCount = 19,          // the code that codes the code lengths
    AudioSymbolCount = 257,   // 256 byte differences and the table switch
    MaxChannels = 4,
    LzTableSize = LiteralCount + DistCount + RepLenCount,
    MaxTableSize = AudioSymbolCount * MaxChannels,
    MaxCodeLength = 15,
    LevelBits = 4,            // each level-code length is stored in 4 bits
    QuickBits = 10,           // codes up to this long decode in one lookup
};

// Literal-table symbols above the bytes.
enum {
    SymRepeatLast = 256,      // the last match again
    SymRecentFirst = 257,     // 257-260: one of the four recent distances
    SymShortFirst = 261,      // 261-268: a 2-byte match at a short distance
    SymNewTables = 269,
    SymMatchFirst = 270,      // 270-297: a new match, by length slot
    AudioNewTables = 256,
};

// Level-table symbols above the 16 length deltas.
enum {
    LevelRepeat = 16,         // the previous length 3-6 times
    LevelZeros = 17,          // 3-10 zero lengths
    LevelLongZeros = 18,      // 11-138 zero lengths
};

enum {
    InputBufferSize = 8192,
    InputPadding = 64,        // zeros after the data: reads run past its end unharmed
    RefillMargin = 32,        // more than one main-loop step or table symbol consumes
    FlushDistance = 270,      // longer than the longest match (260)
    LongDist1 = 0x101,        // recent-distance matches from here are one longer
    LongDist2 = 0x2000,       // matches from here are one longer
    LongDist3 = 0x40000,      // and from here one longer again
    ShortMatchLength = 2,
    MatchMinLength = 3,
    RepMinLength = 2,
};

static const uint8_t LengthBase[RepLenCount] = { 0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 12, 14, 16, 20,
                                                 24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224 };
static const uint8_t LengthBits[RepLenCount] = { 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                                 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5 };
static const uint32_t DistBase[DistCount] = {
    0, 1, 2, 3, 4, 6, 8, 12, 16, 24, 32, 48, 64, 96, 128, 192, 256, 384, 512, 768, 1024, 1536, 2048, 3072,
    4096, 6144, 8192, 12288, 16384, 24576, 32768, 49152, 65536, 98304, 131072, 196608, 262144, 327680,
    393216, 458752, 524288, 589824, 655360, 720896, 786432, 851968, 917504, 983040 };
static const uint8_t DistBits[DistCount] = { 0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10,
                                             11, 11, 12, 12, 13, 13, 14, 14, 15, 15, 16, 16, 16, 16, 16, 16, 16, 16,
                                             16, 16, 16, 16, 16, 16 };
static const uint8_t ShortDistBase[8] = { 0, 4, 8, 16, 32, 64, 128, 192 };
static const uint8_t ShortDistBits[8] = { 2, 2, 3, 4, 5, 6, 6, 6 };

static_assert(sizeof LengthBase == RepLenCount && sizeof LengthBits == RepLenCount, "length slots");
static_assert(sizeof DistBase / sizeof DistBase[0] == DistCount && sizeof DistBits == DistCount, "distance slots");
static_assert(sizeof ShortDistBase == SymNewTables - SymShortFirst && sizeof ShortDistBits == sizeof ShortDistBase,
              "short distance slots");
static_assert(SymMatchFirst + RepLenCount == LiteralCount, "match symbols fill the literal table");

// A canonical Huffman code. Quick[] holds, for every QuickBits-bit prefix,
// (Symbol << 4) | Length of the code it starts with, or 0 when the code is
// longer (or the prefix belongs to no code); then Limit and FirstIndex decide.
// Limit[L]: the 16-bit left-aligned codes of length <= L are below it.
// FirstIndex[L]: index in Symbols of the first symbol of length L.
struct DecodeTable {
    uint32_t Limit[MaxCodeLength + 1];
    uint32_t FirstIndex[MaxCodeLength + 1];
    uint32_t SymbolCount;                 // symbols with a code
    uint16_t Symbols[LiteralCount];       // by code length, then by value
    uint16_t Quick[1 << QuickBits];
};

struct BitInput {
    uint32_t Addr;   // byte position in Input
    uint32_t Bit;    // 0-7 bits of that byte consumed
};

static struct Rar20State {
    uint8_t* Window;
    uint32_t WritePos;
    uint32_t FlushedPos;
    uint8_t Input[InputBufferSize + InputPadding];
    BitInput In;
    uint32_t InputTop;      // valid bytes in Input
    bool InputEnded;        // the packed data is all in Input
    bool StreamBroken;      // a solid entry cannot follow the last one
    int64_t RemainingSize;
    uint32_t RecentDist[4];
    uint32_t RecentCounter;
    uint32_t LastDist;
    uint32_t LastLength;
    uint8_t PrevLengths[MaxTableSize];
    DecodeTable LiteralTable, DistTable, RepLenTable, LevelTable;
    DecodeTable AudioTables[MaxChannels];
    bool AudioMode;
    uint32_t ChannelCount;
    uint32_t CurrentChannel;
    int32_t ChannelDelta;
    AudioChannel Channels[MaxChannels];
} S;

void Rar20Reset()
{
    uint8_t* Window = S.Window;
    memset(&S, 0, sizeof S);
    S.Window = Window;
    S.ChannelCount = 1;
}

// ---- bit input ----

static inline uint32_t PeekBits16(const BitInput& In)
{
    const uint8_t* P = S.Input + In.Addr;
    uint32_t Value = ((uint32_t)P[0] << 16) | ((uint32_t)P[1] << 8) | P[2];
    return (Value >> (8 - In.Bit)) & 0xFFFF;
}

static inline void ConsumeBits(BitInput& In, uint32_t Count)
{
    Count += In.Bit;
    In.Addr += Count >> 3;
    In.Bit = Count & 7;
}

// An extra-bits value of 1 to 16 bits; 0 bits give 0.
static inline uint32_t GetBits(BitInput& In, uint32_t Count)
{
    if (Count == 0) return 0;
    uint32_t Value = PeekBits16(In) >> (16 - Count);
    ConsumeBits(In, Count);
    return Value;
}

// Moves the unread bytes to the front of Input and fills it up again.
static void FillInput()
{
    uint32_t Keep = S.In.Addr < S.InputTop ? S.InputTop - S.In.Addr : 0;
    memmove(S.Input, S.Input + S.In.Addr, Keep);
    S.InputTop = Keep;
    S.In.Addr = 0;
    while (S.InputTop < InputBufferSize && !S.InputEnded) {
        int Got = ReadPacked(S.Input + S.InputTop, (int)(InputBufferSize - S.InputTop));
        if (Got <= 0) S.InputEnded = true;
        else S.InputTop += (uint32_t)Got;
    }
    memset(S.Input + S.InputTop, 0, InputPadding);
}

// Keeps RefillMargin bytes ahead of the position when the data has them.
// False once the position has passed the end of the packed data.
static bool CheckInput()
{
    if (S.In.Addr + RefillMargin > S.InputTop) {
        if (!S.InputEnded) FillInput();
        if (S.InputEnded && S.In.Addr * 8 + S.In.Bit > S.InputTop * 8) return false;
    }
    return true;
}

// ---- Huffman tables ----

// False for over-subscribed code lengths (no prefix code has them).
static bool BuildDecodeTable(const uint8_t* Lengths, DecodeTable* Table, uint32_t Count)
{
    uint32_t LengthCount[MaxCodeLength + 1] = { 0 };
    for (uint32_t I = 0; I < Count; ++I) ++LengthCount[Lengths[I] & 15];
    LengthCount[0] = 0;

    uint32_t Next[MaxCodeLength + 1];
    uint32_t N = 0;
    Table->Limit[0] = 0;
    Table->FirstIndex[0] = 0;
    Next[0] = 0;
    for (int L = 1; L <= MaxCodeLength; ++L) {
        N = 2 * (N + LengthCount[L]);
        Table->Limit[L] = N << (MaxCodeLength - L);
        Table->FirstIndex[L] = Table->FirstIndex[L - 1] + LengthCount[L - 1];
        Next[L] = Table->FirstIndex[L];
    }
    if (Table->Limit[MaxCodeLength] > 0x10000) return false;

    for (uint32_t Symbol = 0; Symbol < Count; ++Symbol) {
        uint32_t L = Lengths[Symbol] & 15;
        if (L) Table->Symbols[Next[L]++] = (uint16_t)Symbol;
    }
    Table->SymbolCount = Table->FirstIndex[MaxCodeLength] + LengthCount[MaxCodeLength];

    memset(Table->Quick, 0, sizeof Table->Quick);
    for (uint32_t L = 1; L <= QuickBits; ++L) {
        uint32_t Code = Table->Limit[L - 1]; // first 16-bit code of length L
        for (uint32_t Index = Table->FirstIndex[L]; Index < Table->FirstIndex[L] + LengthCount[L]; ++Index) {
            uint32_t First = Code >> (16 - QuickBits);
            uint32_t Span = 1u << (QuickBits - L);
            uint16_t Entry = (uint16_t)((Table->Symbols[Index] << 4) | L);
            for (uint32_t K = 0; K < Span; ++K) Table->Quick[First + K] = Entry;
            Code += 1u << (16 - L);
        }
    }
    return true;
}

static int DecodeSlow(BitInput& In, const DecodeTable* Table, uint32_t Bits)
{
    Bits &= 0xFFFE;
    uint32_t L = QuickBits + 1;
    while (L <= MaxCodeLength && Bits >= Table->Limit[L]) ++L;
    if (L > MaxCodeLength) return -1;
    uint32_t Index = Table->FirstIndex[L] + ((Bits - Table->Limit[L - 1]) >> (16 - L));
    if (Index >= Table->SymbolCount) return -1;
    ConsumeBits(In, L);
    return Table->Symbols[Index];
}

// The next symbol, or -1 for a bit pattern that is no code of the table.
static inline int DecodeSymbol(BitInput& In, const DecodeTable* Table)
{
    uint32_t Bits = PeekBits16(In);
    uint32_t Entry = Table->Quick[Bits >> (16 - QuickBits)];
    if (Entry) {
        ConsumeBits(In, Entry & 15);
        return (int)(Entry >> 4);
    }
    return DecodeSlow(In, Table, Bits);
}

// Reads new code tables (switching between LZ and audio mode); the lengths
// are coded as changes to those of the table read before.
static bool ReadCodeTables()
{
    BitInput& In = S.In;
    if (!CheckInput()) return false;
    uint32_t Bits = PeekBits16(In);
    bool Audio = (Bits & 0x8000) != 0;
    if (!(Bits & 0x4000)) memset(S.PrevLengths, 0, sizeof S.PrevLengths);
    ConsumeBits(In, 2);

    uint32_t TableSize = LzTableSize;
    uint32_t Channels = S.ChannelCount;
    if (Audio) {
        Channels = ((Bits >> 12) & 3) + 1;
        ConsumeBits(In, 2);
        TableSize = AudioSymbolCount * Channels;
    }

    uint8_t LevelLengths[LevelCount];
    for (int I = 0; I < LevelCount; ++I) LevelLengths[I] = (uint8_t)GetBits(In, LevelBits);
    if (!BuildDecodeTable(LevelLengths, &S.LevelTable, LevelCount)) return false;

    // Lengths past the table size stay 0 for the next read that keeps them.
    uint8_t Lengths[MaxTableSize];
    memset(Lengths, 0, sizeof Lengths);
    uint32_t I = 0;
    while (I < TableSize) {
        if (!CheckInput()) return false;
        int Symbol = DecodeSymbol(In, &S.LevelTable);
        if (Symbol < 0) return false;
        if (Symbol < LevelRepeat) {
            Lengths[I] = (uint8_t)((Symbol + S.PrevLengths[I]) & 15);
            ++I;
            continue;
        }
        uint32_t Count;
        uint8_t Value = 0;
        if (Symbol == LevelRepeat) {
            Count = 3 + GetBits(In, 2);
            Value = I > 0 ? Lengths[I - 1] : 0; // nothing before: repeat 0
        } else if (Symbol == LevelZeros) {
            Count = 3 + GetBits(In, 3);
        } else {
            Count = 11 + GetBits(In, 7);
        }
        while (Count-- > 0 && I < TableSize) Lengths[I++] = Value;
    }
    if (!CheckInput()) return false;

    if (Audio) {
        for (uint32_t C = 0; C < Channels; ++C)
            if (!BuildDecodeTable(Lengths + AudioSymbolCount * C, &S.AudioTables[C], AudioSymbolCount))
                return false;
        S.ChannelCount = Channels;
        if (S.CurrentChannel >= Channels) S.CurrentChannel = 0;
    } else {
        if (!BuildDecodeTable(Lengths, &S.LiteralTable, LiteralCount) ||
            !BuildDecodeTable(Lengths + LiteralCount, &S.DistTable, DistCount) ||
            !BuildDecodeTable(Lengths + LiteralCount + DistCount, &S.RepLenTable, RepLenCount))
            return false;
    }
    S.AudioMode = Audio;
    memcpy(S.PrevLengths, Lengths, sizeof S.PrevLengths);
    return true;
}

// ---- output ----

static void FlushWindow()
{
    if (S.WritePos < S.FlushedPos) {
        WriteUnpacked(S.Window + S.FlushedPos, (int)(ArcWindowSize - S.FlushedPos));
        WriteUnpacked(S.Window, (int)S.WritePos);
    } else {
        WriteUnpacked(S.Window + S.FlushedPos, (int)(S.WritePos - S.FlushedPos));
    }
    S.FlushedPos = S.WritePos;
}

// Copies Length bytes from Distance back. Overlapping copies repeat the
// bytes just written, so a short distance copies in order.
static inline void CopyMatch(uint8_t* Window, uint32_t& WritePos, uint32_t Length, uint32_t Distance)
{
    S.RecentDist[S.RecentCounter++ & 3] = Distance;
    S.LastDist = Distance;
    S.LastLength = Length;
    S.RemainingSize -= Length;

    uint32_t Source = (WritePos - Distance) & ArcWindowMask;
    if (WritePos + Length <= ArcWindowSize && Source + Length <= ArcWindowSize) {
        uint8_t* To = Window + WritePos;
        const uint8_t* From = Window + Source;
        if (Distance >= Length) {
            memmove(To, From, Length);
        } else if (Distance >= 8) {
            uint32_t Left = Length;
            for (; Left >= 8; Left -= 8, To += 8, From += 8) memcpy(To, From, 8);
            while (Left--) *To++ = *From++;
        } else {
            for (uint32_t I = 0; I < Length; ++I) To[I] = From[I];
        }
        WritePos += Length;
    } else {
        for (uint32_t I = 0; I < Length; ++I) {
            Window[WritePos] = Window[Source];
            WritePos = (WritePos + 1) & ArcWindowMask;
            Source = (Source + 1) & ArcWindowMask;
        }
    }
}

// ---- audio ----

static inline uint32_t AbsoluteValue(int32_t Value)
{
    return Value < 0 ? (uint32_t)-(int64_t)Value : (uint32_t)Value;
}

// Every 32 bytes of a channel: the candidate weight change with the smallest
// error sum is made, and the sums restart.
static void AdaptWeights(AudioChannel* V)
{
    uint32_t Best = 0;
    for (uint32_t I = 1; I < AudioDifCount; ++I)
        if (V->Dif[I] < V->Dif[Best]) Best = I;
    memset(V->Dif, 0, sizeof V->Dif);
    // Odd indexes lower a weight, even ones raise it: 1,2 -> K1 ... 9,10 -> K5.
    int32_t* Weights[5] = { &V->K1, &V->K2, &V->K3, &V->K4, &V->K5 };
    if (Best == 0) return;
    int32_t* K = Weights[(Best - 1) / 2];
    if (Best & 1) {
        if (*K >= -16) --*K;
    } else {
        if (*K < 16) ++*K;
    }
}

static inline uint8_t PredictAudioByte(AudioChannel* V, int32_t* ChannelDelta, uint32_t Delta)
{
    // Locals first: the sums below then need no reloads through V.
    int32_t D1 = V->LastDelta;
    int32_t D2 = V->LastDelta - V->D1;
    int32_t D3 = V->D2;
    int32_t D4 = V->D3;
    int32_t Previous = *ChannelDelta;
    int32_t LastChar = V->LastChar;
    int32_t Prediction = 8 * LastChar + V->K1 * D1 + V->K2 * D2 + V->K3 * D3 + V->K4 * D4 + V->K5 * Previous;
    uint8_t Predicted = (uint8_t)((Prediction >> 3) & 0xFF);
    uint8_t Output = (uint8_t)(Predicted - Delta);

    // Error sums of the eleven candidate weight changes (lane 11 unused).
    int32_t Error = (int32_t)(int8_t)(uint8_t)Delta * 8;
#ifdef __SSE2__
    // Four lanes at a time; |x| as (x ^ s) - s with s the sign mask.
    __m128i E = _mm_set1_epi32(Error);
    __m128i Lanes[3] = { _mm_set_epi32(D2, -D1, D1, 0), _mm_set_epi32(D4, -D3, D3, -D2),
                         _mm_set_epi32(0, -Previous, Previous, -D4) };
    for (int I = 0; I < 3; ++I) {
        __m128i Diff = _mm_sub_epi32(E, Lanes[I]);
        __m128i Sign = _mm_srai_epi32(Diff, 31);
        __m128i Abs = _mm_sub_epi32(_mm_xor_si128(Diff, Sign), Sign);
        __m128i* Sum = (__m128i*)(V->Dif + 4 * I);
        _mm_storeu_si128(Sum, _mm_add_epi32(_mm_loadu_si128(Sum), Abs));
    }
#else
    const int32_t Candidates[AudioDifSlots] = { 0, D1, -D1, D2, -D2, D3, -D3, D4, -D4, Previous, -Previous, 0 };
    for (int I = 0; I < AudioDifSlots; ++I) V->Dif[I] += AbsoluteValue(Error - Candidates[I]);
#endif

    int32_t LastDelta = (int32_t)(int8_t)(uint8_t)(Output - LastChar);
    V->D1 = D1;
    V->D2 = D2;
    V->D3 = D3;
    V->D4 = D4;
    V->LastDelta = LastDelta;
    V->LastChar = Output;
    *ChannelDelta = LastDelta;

    if ((++V->ByteCount & 31) == 0) AdaptWeights(V);
    return Output;
}

uint8_t DecodeAudioByte(AudioChannel* Channel, int32_t* ChannelDelta, uint32_t Delta)
{
    return PredictAudioByte(Channel, ChannelDelta, Delta);
}

// Decodes audio bytes (at least one symbol) until Limit bytes are made, a
// table switch comes, the input needs a refill, or a code is invalid. Keeps the channel state in
// locals: this is the hot loop of the audio mode.
enum AudioRunEnd { AudioRunMore, AudioRunTables, AudioRunBad };

static inline AudioRunEnd DecodeAudioRun(BitInput& In, uint8_t* Window, uint32_t& WritePos, uint32_t Limit)
{
    AudioChannel* const Channels = S.Channels;
    const DecodeTable* const Tables = S.AudioTables;
    const uint32_t InputTop = S.InputTop;
    const uint32_t Count = S.ChannelCount;
    uint32_t Channel = S.CurrentChannel;
    int32_t ChannelDelta = S.ChannelDelta;
    uint32_t Made = 0;
    AudioRunEnd End = AudioRunMore;
    // The caller has made sure of input for one symbol; more need the margin.
    do {
        int Symbol = DecodeSymbol(In, &Tables[Channel]);
        if (Symbol < 0 || Symbol == AudioNewTables) {
            End = Symbol < 0 ? AudioRunBad : AudioRunTables;
            break;
        }
        Window[WritePos++] = PredictAudioByte(&Channels[Channel], &ChannelDelta, (uint32_t)Symbol);
        if (++Channel == Count) Channel = 0;
        ++Made;
    } while (Made < Limit && In.Addr + RefillMargin <= InputTop);
    S.CurrentChannel = Channel;
    S.ChannelDelta = ChannelDelta;
    S.RemainingSize -= Made;
    return End;
}

// How many bytes may be written at WritePos before the window wraps, the
// unflushed bytes come within FlushDistance, or the entry is complete.
static inline uint32_t RunLimit(uint32_t WritePos)
{
    uint32_t Gap = S.FlushedPos == WritePos ? (uint32_t)ArcWindowSize : (S.FlushedPos - WritePos) & ArcWindowMask;
    uint32_t Limit = Gap - FlushDistance + 1;
    if (Limit > ArcWindowSize - WritePos) Limit = ArcWindowSize - WritePos;
    if ((int64_t)Limit > S.RemainingSize) Limit = (uint32_t)S.RemainingSize;
    return Limit;
}

// ---- the entry ----

static void InitUnpack(bool Solid)
{
    S.In.Addr = 0;
    S.In.Bit = 0;
    S.InputTop = 0;
    S.InputEnded = false;
    if (Solid) return;
    S.CurrentChannel = 0;
    S.ChannelDelta = 0;
    memset(S.Channels, 0, sizeof S.Channels);
    memset(S.RecentDist, 0, sizeof S.RecentDist);
    S.RecentCounter = 0;
    S.LastDist = 0;
    S.LastLength = 0;
    memset(S.Window, 0, ArcWindowSize);
    memset(S.PrevLengths, 0, sizeof S.PrevLengths);
    S.WritePos = 0;
    S.FlushedPos = 0;
    S.StreamBroken = false;
}

// The main loop. Returns false on damaged input. Works on local copies of
// the bit position and write position, handed back to S around the calls
// that use them.
static bool DecodeLoop()
{
    uint8_t* const Window = S.Window;
    uint32_t WritePos = S.WritePos;
    BitInput In = S.In;
    bool Good = true;

    while (S.RemainingSize > 0) {
        WritePos &= ArcWindowMask;
        if (In.Addr + RefillMargin > S.InputTop) {
            S.In = In;
            if (!CheckInput()) {
                Good = false;
                break;
            }
            In = S.In;
        }
        if (S.FlushedPos != WritePos && ((S.FlushedPos - WritePos) & ArcWindowMask) < FlushDistance) {
            S.WritePos = WritePos;
            FlushWindow();
        }

        if (S.AudioMode) {
            AudioRunEnd End = DecodeAudioRun(In, Window, WritePos, RunLimit(WritePos));
            if (End == AudioRunBad) {
                Good = false;
                break;
            }
            if (End == AudioRunTables) {
                S.In = In;
                Good = ReadCodeTables();
                In = S.In;
                if (!Good) break;
            }
            continue;
        }

        int Symbol = DecodeSymbol(In, &S.LiteralTable);
        if (Symbol < 0) {
                Good = false;
                break;
            }
        if (Symbol < 256) {
            Window[WritePos++] = (uint8_t)Symbol;
            S.RemainingSize--;
        } else if (Symbol >= SymMatchFirst) {
            uint32_t Slot = (uint32_t)Symbol - SymMatchFirst;
            uint32_t Length = LengthBase[Slot] + MatchMinLength + GetBits(In, LengthBits[Slot]);
            int DistSlot = DecodeSymbol(In, &S.DistTable);
            if (DistSlot < 0) {
                Good = false;
                break;
            }
            uint32_t Distance = DistBase[DistSlot] + 1 + GetBits(In, DistBits[DistSlot]);
            if (Distance >= LongDist2) ++Length;
            if (Distance >= LongDist3) ++Length;
            CopyMatch(Window, WritePos, Length, Distance);
        } else if (Symbol == SymNewTables) {
            S.In = In;
            Good = ReadCodeTables();
            In = S.In;
            if (!Good) break;
        } else if (Symbol == SymRepeatLast) {
            CopyMatch(Window, WritePos, S.LastLength, S.LastDist);
        } else if (Symbol < SymShortFirst) {
            uint32_t Distance = S.RecentDist[(S.RecentCounter - (uint32_t)(Symbol - SymRepeatLast)) & 3];
            int Slot = DecodeSymbol(In, &S.RepLenTable);
            if (Slot < 0) {
                Good = false;
                break;
            }
            uint32_t Length = LengthBase[Slot] + RepMinLength + GetBits(In, LengthBits[Slot]);
            if (Distance >= LongDist1) ++Length;
            if (Distance >= LongDist2) ++Length;
            if (Distance >= LongDist3) ++Length;
            CopyMatch(Window, WritePos, Length, Distance);
        } else {
            uint32_t Slot = (uint32_t)Symbol - SymShortFirst;
            uint32_t Distance = ShortDistBase[Slot] + 1 + GetBits(In, ShortDistBits[Slot]);
            CopyMatch(Window, WritePos, ShortMatchLength, Distance);
        }
    }
    S.WritePos = WritePos & ArcWindowMask;
    S.In = In;
    return Good;
}

// Tables sent right after an entry's last symbol are in force for the next
// entry of a solid stream.
static bool ReadTrailingTables()
{
    if (!CheckInput()) return false;
    if (S.In.Addr + 5 > S.InputTop) return true;
    const DecodeTable* Table = S.AudioMode ? &S.AudioTables[S.CurrentChannel] : &S.LiteralTable;
    int Symbol = DecodeSymbol(S.In, Table);
    if (Symbol == (S.AudioMode ? AudioNewTables : SymNewTables)) return ReadCodeTables();
    return true;
}

int Rar20Unpack(uint8_t* Window, bool Solid, uint32_t UnpackedSize)
{
    S.Window = Window;
    if (Solid && S.StreamBroken) return ArcDataError;
    InitUnpack(Solid);
    FillInput();
    S.RemainingSize = UnpackedSize;
    // An empty entry without packed data leaves the stream as it was.
    if (UnpackedSize == 0 && S.InputTop == 0) return ArcOk;

    bool Good = (Solid || ReadCodeTables()) && DecodeLoop() && CheckInput();
    FlushWindow();
    if (!Good) {
        S.StreamBroken = true;
        return ArcDataError;
    }
    // This entry is complete either way; damaged trailing tables only lose
    // the solid entries after it.
    if (!ReadTrailingTables()) S.StreamBroken = true;
    return ArcOk;
}
