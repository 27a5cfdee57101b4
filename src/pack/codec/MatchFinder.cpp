// Hash chains for the RAR 2.0 encoder. Chains are walked newest first, so of
// two matches of the same length the nearer (cheaper) one is found first.
#include "MatchFinder.h"

#include "Rar20Format.h"

#include <cstring>

namespace {

constexpr int HashBits = 17;   // the chains: four-byte hashes
constexpr int Hash3Bits = 16;  // latest position of each three-byte hash

inline uint32_t Hash4(const uint8_t* P)
{
    uint32_t Value;
    memcpy(&Value, P, 4);
    return (Value * 2654435761u) >> (32 - HashBits);
}

// Long matches (a copy of an earlier file) are looked up by a hash of 32
// bytes taken at every 16th position, so a search finds them even where the
// chains are crowded with short nearby matches.
constexpr uint32_t LongSpan = 32;
constexpr uint32_t LongStep = 16;
constexpr int LongHashBits = 16;

inline uint32_t HashLong(const uint8_t* P)
{
    uint64_t A, B, C, D;
    memcpy(&A, P, 8);
    memcpy(&B, P + 8, 8);
    memcpy(&C, P + 16, 8);
    memcpy(&D, P + 24, 8);
    uint64_t H = (A * 0x9E3779B97F4A7C15ull) ^ (B * 0xC2B2AE3D27D4EB4Full) ^ (C * 0x165667B19E3779F9ull) ^
                 (D * 0x27D4EB2F165667C5ull);
    return uint32_t((H ^ (H >> 29)) >> (64 - LongHashBits));
}

inline uint32_t Hash3(const uint8_t* P)
{
    uint32_t Value = uint32_t(P[0]) << 16 | uint32_t(P[1]) << 8 | P[2];
    return (Value * 2654435761u) >> (32 - Hash3Bits);
}

// A match this long makes the rest of the chain walk short.
inline uint32_t GoodLength(uint32_t NiceLength) { return NiceLength / 4 < 16 ? 16 : NiceLength / 4; }

inline uint32_t PairKey(const uint8_t* P) { return uint32_t(P[0]) << 8 | P[1]; }

} // namespace

uint32_t CommonLength(const uint8_t* A, const uint8_t* B, uint32_t Limit)
{
    uint32_t N = 0;
    while (N + 8 <= Limit) {
        uint64_t X, Y;
        memcpy(&X, A + N, 8);
        memcpy(&Y, B + N, 8);
        uint64_t Diff = X ^ Y;
        if (Diff)
            return N + uint32_t(__builtin_ctzll(Diff) >> 3);
        N += 8;
    }
    while (N < Limit && A[N] == B[N])
        N++;
    return N;
}

MatchFinder::MatchFinder()
    : Head(1u << HashBits, 0), Prev(ArcWindowSize, 0), Head3(1u << Hash3Bits, 0), PairHead(1u << 16, 0),
      LongHead(1u << LongHashBits, 0)
{
}

void MatchFinder::InsertUpTo(const uint8_t* Data, uint32_t Size, uint32_t Pos)
{
    while (Inserted < Pos && Inserted + 3 < Size) {
        const uint8_t* P = Data + Inserted;
        uint32_t H = Hash4(P);
        Prev[Inserted & ArcWindowMask] = Head[H];
        Head[H] = Inserted + 1;
        Head3[Hash3(P)] = Inserted + 1;
        PairHead[PairKey(P)] = Inserted + 1;
        if (Inserted % LongStep == 0 && Inserted + LongSpan <= Size)
            LongHead[HashLong(P)] = Inserted + 1;
        Inserted++;
    }
}

void MatchFinder::FindLongest(const uint8_t* Data, uint32_t Pos, uint32_t MaxLength, int Depth, uint32_t NiceLength,
                              uint32_t* Length, uint32_t* Distance) const
{
    uint32_t Lengths[64], Distances[64];
    int Count = FindAll(Data, Pos, MaxLength, Depth, NiceLength, Lengths, Distances, 64);
    *Length = Count ? Lengths[Count - 1] : 0;
    *Distance = Count ? Distances[Count - 1] : 0;
}

int MatchFinder::FindAll(const uint8_t* Data, uint32_t Pos, uint32_t MaxLength, int Depth, uint32_t NiceLength,
                         uint32_t* Lengths, uint32_t* Distances, int MaxCount) const
{
    if (MaxLength < uint32_t(Rar20::MinNewMatch))
        return 0;
    int Count = 0;
    const uint8_t* Cur = Data + Pos;
    uint32_t BestLength = Rar20::MinNewMatch - 1;
    // The nearest three-byte match first: the four-byte chains miss it, and
    // near matches of three bytes are the only ones worth coding.
    uint32_t Near = Head3[Hash3(Cur)];
    if (Near != 0 && Near - 1 < Pos && Pos - (Near - 1) < Rar20::LengthBonusDist2) {
        uint32_t Len = CommonLength(Cur, Data + Near - 1, MaxLength);
        if (Len >= uint32_t(Rar20::MinNewMatch)) {
            BestLength = Len;
            Lengths[Count] = Len;
            Distances[Count] = Pos - (Near - 1);
            Count++;
            if (Len >= NiceLength || Len >= MaxLength)
                return Count;
        }
    }
    if (MaxLength < 4)
        return Count;
    uint32_t Link = Head[Hash4(Cur)];
    while (Link != 0 && Depth-- > 0 && Count < MaxCount) {
        uint32_t Cand = Link - 1;
        if (Cand >= Pos || Pos - Cand > Rar20::MaxDistance)
            break;
        const uint8_t* Old = Data + Cand;
        if (Old[BestLength] == Cur[BestLength] && Old[0] == Cur[0]) {
            uint32_t Len = CommonLength(Cur, Old, MaxLength);
            uint32_t Dist = Pos - Cand;
            if (Len > BestLength && Len >= uint32_t(Rar20::MinNewMatch + Rar20::NewMatchBonus(Dist))) {
                BestLength = Len;
                Lengths[Count] = Len;
                Distances[Count] = Dist;
                Count++;
                if (Len >= NiceLength || Len >= MaxLength)
                    break;
                if (Len >= GoodLength(NiceLength))
                    Depth >>= 2; // long enough: look a little further only
            }
        }
        uint32_t Next = Prev[Cand & ArcWindowMask];
        if (Next >= Link) // a slot reused by a rolled-back position
            break;
        Link = Next;
    }
    if (BestLength < LongSpan && MaxLength >= LongSpan && Count < MaxCount) {
        uint32_t Far = LongHead[HashLong(Cur)];
        if (Far != 0 && Far - 1 < Pos && Pos - (Far - 1) <= Rar20::MaxDistance) {
            uint32_t Len = CommonLength(Cur, Data + Far - 1, MaxLength);
            uint32_t Dist = Pos - (Far - 1);
            if (Len > BestLength && Len >= uint32_t(Rar20::MinNewMatch + Rar20::NewMatchBonus(Dist))) {
                Lengths[Count] = Len;
                Distances[Count] = Dist;
                Count++;
            }
        }
    }
    return Count;
}

void MatchFinder::Rebase(uint32_t Delta)
{
    for (std::vector<uint32_t>* Table : {&Head, &Prev, &Head3, &PairHead, &LongHead})
        for (uint32_t& Link : *Table)
            Link = Link > Delta ? Link - Delta : 0;
    Inserted = Inserted > Delta ? Inserted - Delta : 0;
}

void MatchFinder::Prefetch(const uint8_t* Data, uint32_t Pos) const
{
    const uint8_t* P = Data + Pos;
    __builtin_prefetch(&Head[Hash4(P)]);
    __builtin_prefetch(&Head3[Hash3(P)]);
    __builtin_prefetch(&PairHead[PairKey(P)]);
    __builtin_prefetch(&LongHead[HashLong(P)]);
}

uint32_t MatchFinder::PairDistance(const uint8_t* Data, uint32_t Pos) const
{
    uint32_t Link = PairHead[PairKey(Data + Pos)];
    if (Link == 0 || Link - 1 >= Pos)
        return 0;
    return Pos - (Link - 1);
}

void MatchFinder::RollBack(const uint8_t* Data, uint32_t Start)
{
    for (uint32_t Pos = Inserted; Pos-- > Start;) {
        uint32_t H = Hash4(Data + Pos);
        uint32_t Link = Head[H];
        while (Link != 0 && Link - 1 >= Start) {
            uint32_t Next = Prev[(Link - 1) & ArcWindowMask];
            Link = Next < Link ? Next : 0;
        }
        Head[H] = Link;
    }
    // The single-position tables are small: clear what points past Start.
    for (std::vector<uint32_t>* Table : {&Head3, &PairHead, &LongHead})
        for (uint32_t& Link : *Table)
            if (Link != 0 && Link - 1 >= Start)
                Link = 0;
    if (Inserted > Start)
        Inserted = Start;
}
