// Hash chains for the 2.0 encoder. Chains are walked newest first, so of two
// matches of the same length the nearer (cheaper) one is found first.
#include "MatchFinder.h"

#include "Rar20Format.h"

#include <cstring>

namespace {

constexpr int HashBits = 17;  // the chains: four-byte hashes
constexpr int Hash3Bits = 16; // latest position of each three-byte hash
constexpr uint32_t PrevSize = ArcWindowSize + MatchFinder::LinkSpan;
constexpr uint32_t PrevMask = PrevSize - 1;
constexpr uint32_t LinkMask = MatchFinder::LinkSpan - 1;
constexpr uint32_t NearLimit = 0xFFFF; // farthest distance the near links hold
static_assert((PrevSize & PrevMask) == 0, "a power of two");
static_assert(ArcWindowSize + MatchFinder::LinkSpan + Rar20::MaxMatchLength < StreamHistory::Size,
              "the history holds the window of every position that can be searched");

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

inline uint32_t PairKey(const uint8_t* P) { return uint32_t(P[0]) << 8 | P[1]; }

// A match this long makes the rest of the chain walk short.
inline uint32_t GoodLength(uint32_t NiceLength) { return NiceLength / 4 < 16 ? 16 : NiceLength / 4; }

// Distance from Pos back to a position + 1 in a head table, for the near links.
inline uint16_t NearDistance(uint32_t Pos, uint32_t Link)
{
    return Link != 0 && Pos - (Link - 1) <= NearLimit ? uint16_t(Pos - (Link - 1)) : 0;
}

} // namespace

uint32_t CommonLength(const uint8_t* A, const uint8_t* B, uint32_t Limit)
{
    uint32_t N = 0;
    while (N + 8 <= Limit) {
        uint64_t X, Y;
        memcpy(&X, A + N, 8);
        memcpy(&Y, B + N, 8);
        uint64_t Diff = X ^ Y;
        if (Diff) return N + uint32_t(__builtin_ctzll(Diff) >> 3);
        N += 8;
    }
    while (N < Limit && A[N] == B[N]) N++;
    return N;
}

MatchFinder::MatchFinder(const StreamHistory& History)
    : History(History), Head(1u << HashBits, 0), Head3(1u << Hash3Bits, 0), PairHead(1u << 16, 0),
      LongHead(1u << LongHashBits, 0), Prev(PrevSize, 0), LongLink(LinkSpan, 0), Near3(LinkSpan, 0),
      NearPair(LinkSpan, 0)
{}

void MatchFinder::InsertUpTo(uint32_t Pos, uint32_t Limit)
{
    for (; Inserted < Pos; Inserted++) {
        const uint8_t* P = History.At(Inserted);
        uint32_t Slot = Inserted & LinkMask;
        uint32_t& Chain = Prev[Inserted & PrevMask];
        // Near the end of an entry, only the hashes whose bytes it holds.
        uint32_t Left = Limit - Inserted;
        Chain = 0;
        Near3[Slot] = NearPair[Slot] = 0;
        LongLink[Slot] = 0;
        if (Left >= 2) {
            uint32_t& Pair = PairHead[PairKey(P)];
            NearPair[Slot] = NearDistance(Inserted, Pair);
            Pair = Inserted + 1;
        }
        if (Left >= 3) {
            uint32_t& Near = Head3[Hash3(P)];
            Near3[Slot] = NearDistance(Inserted, Near);
            Near = Inserted + 1;
        }
        if (Left >= 4) {
            uint32_t& Latest = Head[Hash4(P)];
            Chain = Latest;
            Latest = Inserted + 1;
        }
        if (Left >= LongSpan) {
            uint32_t& Far = LongHead[HashLong(P)];
            LongLink[Slot] = Far;
            if (Inserted % LongStep == 0) Far = Inserted + 1;
        }
    }
}

void MatchFinder::FindLongest(uint32_t Pos, uint32_t MaxLength, int Depth, uint32_t NiceLength, uint32_t* Length,
                              uint32_t* Distance) const
{
    uint32_t Lengths[64], Distances[64];
    int Count = FindAll(Pos, MaxLength, Depth, NiceLength, Lengths, Distances, 64);
    *Length = Count ? Lengths[Count - 1] : 0;
    *Distance = Count ? Distances[Count - 1] : 0;
}

int MatchFinder::FindAll(uint32_t Pos, uint32_t MaxLength, int Depth, uint32_t NiceLength, uint32_t* Lengths,
                         uint32_t* Distances, int MaxCount) const
{
    if (MaxLength < uint32_t(Rar20::MinNewMatch)) return 0;
    int Count = 0;
    const uint8_t* Cur = History.At(Pos);
    uint32_t BestLength = Rar20::MinNewMatch - 1;
    // Takes the match with Old at Dist when it is longer than every one
    // before and long enough to be coded there; its length, 0 when not taken.
    auto Offer = [&](uint32_t Dist, const uint8_t* Old) -> uint32_t {
        uint32_t Len = CommonLength(Cur, Old, MaxLength);
        if (Len <= BestLength || Len < Rar20::MinNewMatch + Rar20::NewMatchBonus(Dist)) return 0;
        Lengths[Count] = BestLength = Len;
        Distances[Count++] = Dist;
        return Len;
    };
    // The nearest three-byte match first: the four-byte chains miss it, and
    // near matches of three bytes are the only ones worth coding.
    uint32_t Near = Near3[Pos & LinkMask];
    if (Near != 0 && Near < Rar20::LengthBonusDist2) {
        uint32_t Len = Offer(Near, History.At(Pos - Near));
        if (Len >= NiceLength || Len >= MaxLength) return Count;
    }
    if (MaxLength < 4) return Count;
    uint32_t Link = Prev[Pos & PrevMask];
    while (Link != 0 && Depth-- > 0 && Count < MaxCount) {
        uint32_t Cand = Link - 1;
        if (Pos - Cand > Rar20::MaxDistance) break;
        const uint8_t* Old = History.At(Cand);
        if (Old[BestLength] == Cur[BestLength] && Old[0] == Cur[0]) {
            uint32_t Len = Offer(Pos - Cand, Old);
            if (Len >= NiceLength || Len >= MaxLength) break;
            if (Len >= GoodLength(NiceLength)) Depth >>= 2; // long enough: look a little further only
        }
        Link = Prev[Cand & PrevMask];
    }
    if (BestLength < LongSpan && MaxLength >= LongSpan && Count < MaxCount) {
        uint32_t Far = LongLink[Pos & LinkMask];
        if (Far != 0 && Pos - (Far - 1) <= Rar20::MaxDistance) Offer(Pos - (Far - 1), History.At(Far - 1));
    }
    return Count;
}

uint32_t MatchFinder::PairDistance(uint32_t Pos) const { return NearPair[Pos & LinkMask]; }

void MatchFinder::Prefetch(uint32_t Pos) const
{
    uint32_t Link = Prev[Pos & PrevMask];
    if (Link != 0) __builtin_prefetch(History.At(Link - 1));
    __builtin_prefetch(&Near3[Pos & LinkMask]);
}

uint32_t MatchFinder::LongestMatchOf(const uint8_t* Bytes, uint32_t MaxLength, int Depth) const
{
    if (MaxLength < 4) return 0;
    uint32_t Best = 0;
    for (uint32_t Link = Head[Hash4(Bytes)]; Link != 0 && Depth-- > 0; Link = Prev[(Link - 1) & PrevMask]) {
        if (Inserted - (Link - 1) > Rar20::MaxDistance) break;
        uint32_t Len = CommonLength(Bytes, History.At(Link - 1), MaxLength);
        if (Len > Best) Best = Len;
    }
    if (MaxLength >= LongSpan) {
        uint32_t Far = LongHead[HashLong(Bytes)];
        if (Far != 0 && Inserted - (Far - 1) <= Rar20::MaxDistance) {
            uint32_t Len = CommonLength(Bytes, History.At(Far - 1), MaxLength);
            if (Len > Best) Best = Len;
        }
    }
    return Best;
}
