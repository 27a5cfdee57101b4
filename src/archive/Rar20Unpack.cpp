// The decoder of the 2.0 method: an LZ77 stream with Huffman-coded symbols in
// a 1 MiB window, which can switch to a predictive coding of 1-4 interleaved
// audio channels at any table read. Symbols are decoded through lookup tables;
// every read of the input and every table index is bounded, so damaged input
// ends with ArcDataError instead of running on.
#include <string.h>

#include "ArcFormat.h"
#include "Rar20Format.h"
#include "Unrar.h"
#include "UnrarInternal.h"

using namespace Rar20;

enum {
    QuickBits = 10, // codes up to this long decode in one lookup
    InputBufferSize = 8192,
    InputPadding = 64,   // zeros after the data: reads run past its end unharmed
    RefillMargin = 32,   // more than one main-loop step or table symbol consumes
    FlushDistance = 270, // longer than the longest match (260)
};

// A canonical Huffman code. Quick[] holds, for every QuickBits-bit prefix,
// (Symbol << 4) | Length of the code it starts with, or 0 when the code is
// longer (or the prefix belongs to no code); then Limit and FirstIndex decide.
// Limit[L]: the 16-bit left-aligned codes of length <= L are below it.
// FirstIndex[L]: index in Symbols of the first symbol of length L.
struct DecodeTable {
    uint32_t Limit[MaxCodeLength + 1];
    uint32_t FirstIndex[MaxCodeLength + 1];
    uint32_t SymbolCount;           // symbols with a code
    uint16_t Symbols[LiteralCount]; // by code length, then by value
    uint16_t Quick[1 << QuickBits];
};

// What matches leave for the matches after them.
struct MatchState {
    uint32_t RecentDist[4];
    uint32_t RecentCounter;
    uint32_t LastDist;
    uint32_t LastLength;
};

// The bit reader. Bits holds the next Count bits of the stream from its top
// bit down, and the bytes from Input[Addr] on follow them; the bits below
// the Count are 0 or the stream's next bits, so a refill may OR the same
// bits in again. One refill leaves at least 56 bits: enough for any LZ step
// (a 15-bit code, 5 extra length bits, a 15-bit distance code, 16 extra bits).
struct BitInput {
    uint64_t Bits;
    uint32_t Count;
    uint32_t Addr;
};

static struct Rar20State {
    uint8_t* Window;
    uint32_t WritePos;
    uint32_t FlushedPos;
    uint8_t Input[InputBufferSize + InputPadding];
    BitInput In;
    uint32_t InputTop; // valid bytes in Input
    bool InputEnded;   // the packed data is all in Input
    bool StreamBroken; // a solid entry cannot follow the last one
    int64_t RemainingSize;
    MatchState Matches;
    uint8_t PrevLengths[MaxTableSize];
    DecodeTable LiteralTable, DistTable, RepLenTable, LevelTable;
    DecodeTable AudioTables[MaxChannels];
    bool AudioMode;
    uint32_t ChannelCount;
    uint32_t CurrentChannel;
    AudioState Audio;
} S;

void Rar20Reset()
{
    uint8_t* Window = S.Window;
    memset(&S, 0, sizeof S);
    S.Window = Window;
    S.ChannelCount = 1;
}

// ---- bit input ----

// Tops Bits up from the eight bytes at Addr (the padding after the data
// makes them readable).
static inline void RefillBits(BitInput& In)
{
    const uint8_t* P = S.Input + In.Addr;
    uint64_t Next = ((uint64_t)P[0] << 56) | ((uint64_t)P[1] << 48) | ((uint64_t)P[2] << 40) | ((uint64_t)P[3] << 32) |
                    ((uint64_t)P[4] << 24) | ((uint64_t)P[5] << 16) | ((uint64_t)P[6] << 8) | P[7];
    In.Bits |= Next >> In.Count;
    In.Addr += (63 - In.Count) >> 3;
    In.Count |= 56;
}

static inline void ConsumeBits(BitInput& In, uint32_t Count)
{
    In.Bits <<= Count;
    In.Count -= Count;
}

// An extra-bits value of 1 to 16 bits; 0 bits give 0. The bits must be in Bits.
static inline uint32_t GetBits(BitInput& In, uint32_t Count)
{
    if (Count == 0) return 0;
    uint32_t Value = (uint32_t)(In.Bits >> (64 - Count));
    ConsumeBits(In, Count);
    return Value;
}

// GetBits after a refill, for the reads outside the hot loops.
static uint32_t ReadBits(BitInput& In, uint32_t Count)
{
    RefillBits(In);
    return GetBits(In, Count);
}

// Bits of the packed data consumed from the start of Input.
static inline uint32_t BitPosition(const BitInput& In) { return In.Addr * 8 - In.Count; }

// Moves the unread bytes to the front of Input and fills it up again; the
// reader then starts afresh at the same bit.
static void FillInput()
{
    uint32_t Position = BitPosition(S.In);
    uint32_t Start = Position >> 3;
    uint32_t Keep = Start < S.InputTop ? S.InputTop - Start : 0;
    memmove(S.Input, S.Input + Start, Keep);
    S.InputTop = Keep;
    while (S.InputTop < InputBufferSize && !S.InputEnded) {
        int Got = ReadPacked(S.Input + S.InputTop, (int)(InputBufferSize - S.InputTop));
        if (Got <= 0)
            S.InputEnded = true;
        else
            S.InputTop += (uint32_t)Got;
    }
    memset(S.Input + S.InputTop, 0, InputPadding);
    S.In = BitInput();
    RefillBits(S.In);
    ConsumeBits(S.In, Position & 7);
}

// Keeps RefillMargin bytes ahead of the position when the data has them.
// False once the position has passed the end of the packed data.
static bool CheckInput()
{
    if (S.In.Addr + RefillMargin > S.InputTop) {
        if (!S.InputEnded) FillInput();
        if (S.InputEnded && BitPosition(S.In) > S.InputTop * 8) return false;
    }
    return true;
}

// ---- Huffman tables ----

// False for over-subscribed code lengths (no prefix code has them).
static bool BuildDecodeTable(const uint8_t* Lengths, DecodeTable* Table, uint32_t Count)
{
    uint32_t LengthCount[MaxCodeLength + 1] = {0};
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
// The code's bits must be in Bits.
static inline int DecodeSymbol(BitInput& In, const DecodeTable* Table)
{
    uint32_t Entry = Table->Quick[In.Bits >> (64 - QuickBits)];
    if (Entry) {
        ConsumeBits(In, Entry & 15);
        return (int)(Entry >> 4);
    }
    return DecodeSlow(In, Table, (uint32_t)(In.Bits >> 48));
}

// Reads new code tables (switching between LZ and audio mode); the lengths
// are coded as changes to those of the table read before.
static bool ReadCodeTables()
{
    BitInput& In = S.In;
    if (!CheckInput()) return false;
    uint32_t Mode = ReadBits(In, TableModeBits);
    bool Audio = (Mode & TableAudioBit) != 0;
    if (!(Mode & TableKeepBit)) memset(S.PrevLengths, 0, sizeof S.PrevLengths);

    uint32_t TableSize = LzTableSize;
    uint32_t Channels = S.ChannelCount;
    if (Audio) {
        Channels = ReadBits(In, TableChannelBits) + 1;
        TableSize = AudioCount * Channels;
    }

    uint8_t LevelLengths[LevelCount];
    for (int I = 0; I < LevelCount; ++I) LevelLengths[I] = (uint8_t)ReadBits(In, LevelLengthBits);
    if (!BuildDecodeTable(LevelLengths, &S.LevelTable, LevelCount)) return false;

    // Lengths past the table size stay 0 for the next read that keeps them.
    uint8_t Lengths[MaxTableSize];
    memset(Lengths, 0, sizeof Lengths);
    uint32_t I = 0;
    while (I < TableSize) {
        if (!CheckInput()) return false;
        RefillBits(In); // enough for the code and its extra bits
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
            Count = LevelRepeatMin + GetBits(In, LevelRepeatBits);
            Value = I > 0 ? Lengths[I - 1] : 0; // nothing before: repeat 0
        } else if (Symbol == LevelZeros) {
            Count = LevelZerosMin + GetBits(In, LevelZerosBits);
        } else {
            Count = LevelLongZerosMin + GetBits(In, LevelLongZerosBits);
        }
        while (Count-- > 0 && I < TableSize) Lengths[I++] = Value;
    }
    if (!CheckInput()) return false;

    if (Audio) {
        for (uint32_t C = 0; C < Channels; ++C)
            if (!BuildDecodeTable(Lengths + AudioCount * C, &S.AudioTables[C], AudioCount)) return false;
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
static inline void CopyMatch(MatchState& M, uint8_t* Window, uint32_t& WritePos, uint32_t Length, uint32_t Distance)
{
    M.RecentDist[M.RecentCounter++ & 3] = Distance;
    M.LastDist = Distance;
    M.LastLength = Length;

    uint32_t Source = (WritePos - Distance) & ArcWindowMask;
    if (WritePos + Length <= ArcWindowSize && Source + Length <= ArcWindowSize) {
        uint8_t* To = Window + WritePos;
        const uint8_t* From = Window + Source;
        // Never a byte past the match's end: the window holds bytes there
        // that a later match may still copy.
        if (Length >= 4 && (Source + Length <= WritePos || Source >= WritePos + Length)) {
            // Source and match apart (a source near the window's end may lie
            // just after the match): whole words, the last one ending with
            // the match (it may write some bytes twice). Sizes are constant,
            // so the copies are plain moves even where compiled for size.
            if (Length >= 8) {
                for (uint32_t I = 0; I + 8 < Length; I += 8) memcpy(To + I, From + I, 8);
                memcpy(To + Length - 8, From + Length - 8, 8);
            } else {
                memcpy(To, From, 4);
                memcpy(To + Length - 4, From + Length - 4, 4);
            }
        } else {
            // Eight bytes at a time once the source is that far back: each
            // piece is read before it is written over.
            uint32_t Left = Length;
            if (Distance >= 8)
                for (; Left >= 8; Left -= 8, To += 8, From += 8) memcpy(To, From, 8);
            while (Left--) *To++ = *From++;
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

static inline uint16_t AbsoluteError(int32_t Error) { return (uint16_t)(Error < 0 ? -Error : Error); }

// Adds a byte's errors had the weight of History been one less and one more.
static inline void AddErrors(uint16_t* Sums, int16_t Error, int16_t History)
{
    Sums[0] = (uint16_t)(Sums[0] + AbsoluteError((int16_t)(Error - History)));
    Sums[1] = (uint16_t)(Sums[1] + AbsoluteError((int16_t)(Error + History)));
}

void Rar20::AudioAdaptWeights(AudioChannel* V)
{
    // The error sums of the candidates: no change, then lowering and
    // raising K[0], K[1] ... Exact in 16 bits: each term is at most
    // 8 * 128 + 255, and 32 * 1279 < 65536.
    uint16_t Sums[1 + 2 * AudioWeightCount] = {0};
    for (int T = 0; T < AudioAdaptInterval; ++T) {
        const int16_t* D = V->Deltas + T;                   // D[3] is the difference before byte T
        int16_t Error = (int16_t)((int8_t)V->Coded[T] * 8); // the prediction's error
        Sums[0] = (uint16_t)(Sums[0] + AbsoluteError(Error));
        AddErrors(Sums + 1, Error, D[3]);
        AddErrors(Sums + 3, Error, (int16_t)(D[3] - D[2]));
        AddErrors(Sums + 5, Error, (int16_t)(D[2] - D[1]));
        AddErrors(Sums + 7, Error, (int16_t)(D[1] - D[0]));
        AddErrors(Sums + 9, Error, V->ChannelDeltas[T]);
    }
    memcpy(V->Deltas, V->Deltas + AudioAdaptInterval, AudioPastDeltas * sizeof V->Deltas[0]);
    // The first of the smallest sums wins.
    int Best = 0;
    for (int I = 1; I < 1 + 2 * AudioWeightCount; ++I)
        if (Sums[I] < Sums[Best]) Best = I;
    if (Best == 0) return;
    int32_t& K = V->K[(Best - 1) / 2];
    int32_t Changed = K + (Best % 2 ? -1 : 1);
    if (Changed >= AudioWeightMin && Changed <= AudioWeightMax) K = Changed;
}

// Decodes audio bytes (at least one symbol) until Limit bytes are made, a
// table switch comes, the input needs a refill, or a code is invalid: the
// hot loop of the audio mode.
enum RunEnd { RunMore, RunTables, RunBad };

static inline RunEnd DecodeAudioRun(BitInput& In, uint8_t* Window, uint32_t& WritePos, uint32_t Limit)
{
    AudioChannel* const Channels = S.Audio.Channels;
    int32_t ChannelDelta = S.Audio.ChannelDelta;
    const DecodeTable* const Tables = S.AudioTables;
    const uint32_t Count = S.ChannelCount;
    uint32_t Channel = S.CurrentChannel;
    // A byte is one code of at most 15 bits: the input before the refill
    // margin bounds the run too, and the loop checks only its end.
    uint32_t InputBytes = S.InputTop > In.Addr + RefillMargin ? S.InputTop - In.Addr - RefillMargin : 0;
    if (Limit > 1 + InputBytes * 8 / MaxCodeLength) Limit = 1 + InputBytes * 8 / MaxCodeLength;
    uint8_t* Out = Window + WritePos;
    uint8_t* const OutEnd = Out + Limit;
    RunEnd End = RunMore;
    do {
        RefillBits(In);
        int Symbol = DecodeSymbol(In, &Tables[Channel]);
        if (Symbol < 0 || Symbol == AudioSymTableSwitch) {
            End = Symbol < 0 ? RunBad : RunTables;
            break;
        }
        *Out++ = AudioDecodeByte(&Channels[Channel], &ChannelDelta, (uint32_t)Symbol);
        if (++Channel == Count) Channel = 0;
    } while (Out < OutEnd);
    uint32_t Made = (uint32_t)(Out - (Window + WritePos));
    WritePos += Made;
    S.CurrentChannel = Channel;
    S.Audio.ChannelDelta = ChannelDelta;
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
    S.In = BitInput();
    S.InputTop = 0;
    S.InputEnded = false;
    if (Solid) return;
    S.CurrentChannel = 0;
    memset(&S.Audio, 0, sizeof S.Audio);
    memset(&S.Matches, 0, sizeof S.Matches);
    memset(S.Window, 0, ArcWindowSize);
    memset(S.PrevLengths, 0, sizeof S.PrevLengths);
    S.WritePos = 0;
    S.FlushedPos = 0;
    S.StreamBroken = false;
}

// Decodes LZ symbols (at least one) until Limit bytes are made, a table
// switch comes, the input needs a refill, or a code is invalid: the hot loop
// of the LZ mode, with the match state in locals. A match that starts below
// Limit may run past it: RunLimit leaves room for the longest.
static inline RunEnd DecodeLzRun(BitInput& In, uint8_t* Window, uint32_t& WritePos, uint32_t Limit)
{
    const uint32_t InputTop = S.InputTop;
    MatchState M = S.Matches;
    uint32_t Made = 0;
    RunEnd End = RunMore;
    // The caller has made sure of input for one symbol; more need the margin.
    do {
        RefillBits(In); // enough for the whole step
        int Symbol = DecodeSymbol(In, &S.LiteralTable);
        if (Symbol < 256) {
            if (Symbol < 0) {
                End = RunBad;
                break;
            }
            Window[WritePos++] = (uint8_t)Symbol;
            ++Made;
            continue;
        }
        uint32_t Length, Distance;
        if (Symbol >= SymMatchFirst) {
            uint32_t Slot = (uint32_t)Symbol - SymMatchFirst;
            Length = LengthBase[Slot] + MinNewMatch + GetBits(In, LengthBits[Slot]);
            int DistSlot = DecodeSymbol(In, &S.DistTable);
            if (DistSlot < 0) {
                End = RunBad;
                break;
            }
            Distance = DistBase[DistSlot] + 1 + GetBits(In, DistBits[DistSlot]);
            Length += NewMatchBonus(Distance);
        } else if (Symbol == SymTableSwitch) {
            End = RunTables;
            break;
        } else if (Symbol == SymRepeatLast) {
            Length = M.LastLength;
            Distance = M.LastDist;
        } else if (Symbol < SymShortFirst) {
            Distance = M.RecentDist[(M.RecentCounter - (uint32_t)(Symbol - SymRepeatLast)) & 3];
            int Slot = DecodeSymbol(In, &S.RepLenTable);
            if (Slot < 0) {
                End = RunBad;
                break;
            }
            Length = LengthBase[Slot] + MinRecentMatch + GetBits(In, LengthBits[Slot]) + RecentMatchBonus(Distance);
        } else {
            uint32_t Slot = (uint32_t)Symbol - SymShortFirst;
            Distance = ShortDistBase[Slot] + 1 + GetBits(In, ShortDistBits[Slot]);
            Length = ShortMatchLength;
        }
        CopyMatch(M, Window, WritePos, Length, Distance);
        Made += Length;
    } while (Made < Limit && In.Addr + RefillMargin <= InputTop);
    S.Matches = M;
    S.RemainingSize -= Made;
    return End;
}

// The main loop. Returns false on damaged input. Works on local copies of
// the bit position and write position, handed back to S around the calls
// that use them; the runs decode as much as the window allows at once.
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
        uint32_t Limit = RunLimit(WritePos);
        RunEnd End =
            S.AudioMode ? DecodeAudioRun(In, Window, WritePos, Limit) : DecodeLzRun(In, Window, WritePos, Limit);
        if (End == RunBad) {
            Good = false;
            break;
        }
        if (End == RunTables) {
            S.In = In;
            Good = ReadCodeTables();
            In = S.In;
            if (!Good) break;
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
    if (BitPosition(S.In) / 8 + 5 > S.InputTop) return true;
    RefillBits(S.In);
    const DecodeTable* Table = S.AudioMode ? &S.AudioTables[S.CurrentChannel] : &S.LiteralTable;
    int Symbol = DecodeSymbol(S.In, Table);
    if (Symbol == (S.AudioMode ? AudioSymTableSwitch : SymTableSwitch)) return ReadCodeTables();
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
