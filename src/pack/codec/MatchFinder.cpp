// Hash chains for the RAR 2.0 encoder. Chains are walked newest first, so of
// two matches of the same length the nearer (cheaper) one is found first.
#include "MatchFinder.h"

#include "Rar20Format.h"

#include <cstring>

namespace {

constexpr int HashBits = 17;

inline uint32_t Hash3(const uint8_t* P)
{
    uint32_t Value = uint32_t(P[0]) << 16 | uint32_t(P[1]) << 8 | P[2];
    return (Value * 2654435761u) >> (32 - HashBits);
}

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

MatchFinder::MatchFinder() : Head(1u << HashBits, 0), Prev(Rar20::WindowSize, 0), PairHead(1u << 16, 0) {}

void MatchFinder::InsertUpTo(const uint8_t* Data, uint32_t Size, uint32_t Pos)
{
    while (Inserted < Pos && Inserted + 2 < Size) {
        const uint8_t* P = Data + Inserted;
        uint32_t H = Hash3(P);
        Prev[Inserted & Rar20::WindowMask] = Head[H];
        Head[H] = Inserted + 1;
        PairHead[PairKey(P)] = Inserted + 1;
        Inserted++;
    }
}

void MatchFinder::FindLongest(const uint8_t* Data, uint32_t Pos, uint32_t MaxLength, int Depth, uint32_t NiceLength,
                              uint32_t* Length, uint32_t* Distance) const
{
    *Length = 0;
    *Distance = 0;
    if (MaxLength < uint32_t(Rar20::MinNewMatch))
        return;
    const uint8_t* Cur = Data + Pos;
    uint32_t BestLength = Rar20::MinNewMatch - 1;
    uint32_t Link = Head[Hash3(Cur)];
    while (Link != 0 && Depth-- > 0) {
        uint32_t Cand = Link - 1;
        if (Cand >= Pos || Pos - Cand > Rar20::MaxDistance)
            break;
        const uint8_t* Old = Data + Cand;
        if (Old[BestLength] == Cur[BestLength] && Old[0] == Cur[0]) {
            uint32_t Len = CommonLength(Cur, Old, MaxLength);
            uint32_t Dist = Pos - Cand;
            if (Len > BestLength && Len >= uint32_t(Rar20::MinNewMatch + Rar20::NewMatchBonus(Dist))) {
                BestLength = Len;
                *Length = Len;
                *Distance = Dist;
                if (Len >= NiceLength || Len >= MaxLength)
                    break;
            }
        }
        uint32_t Next = Prev[Cand & Rar20::WindowMask];
        if (Next >= Link) // a slot reused by a rolled-back position
            break;
        Link = Next;
    }
}

int MatchFinder::FindAll(const uint8_t* Data, uint32_t Pos, uint32_t MaxLength, int Depth, uint32_t NiceLength,
                         uint32_t* Lengths, uint32_t* Distances, int MaxCount) const
{
    if (MaxLength < uint32_t(Rar20::MinNewMatch))
        return 0;
    int Count = 0;
    const uint8_t* Cur = Data + Pos;
    uint32_t BestLength = Rar20::MinNewMatch - 1;
    uint32_t Link = Head[Hash3(Cur)];
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
            }
        }
        uint32_t Next = Prev[Cand & Rar20::WindowMask];
        if (Next >= Link)
            break;
        Link = Next;
    }
    return Count;
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
        const uint8_t* P = Data + Pos;
        uint32_t H = Hash3(P);
        uint32_t Link = Head[H];
        while (Link != 0 && Link - 1 >= Start) {
            uint32_t Next = Prev[(Link - 1) & Rar20::WindowMask];
            Link = Next < Link ? Next : 0;
        }
        Head[H] = Link;
        uint32_t& Pair = PairHead[PairKey(P)];
        if (Pair != 0 && Pair - 1 >= Start)
            Pair = 0;
    }
    if (Inserted > Start)
        Inserted = Start;
}
