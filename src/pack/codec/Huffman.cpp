// Length-limited Huffman codes for the encoder. Plain Huffman first; if a
// code comes out longer than the limit, the frequencies are flattened and the
// build repeats, which costs a fraction of a percent on the rare skewed table.
#include "Huffman.h"

#include <algorithm>
#include <vector>

namespace {

struct HeapNode {
    uint64_t Weight;
    int Id; // leaves 0..Count-1, inner nodes above; ids break ties
    bool operator>(const HeapNode& Other) const
    {
        return Weight != Other.Weight ? Weight > Other.Weight : Id > Other.Id;
    }
};

// Unlimited Huffman lengths of the used symbols; returns the longest.
int PlainLengths(const std::vector<uint64_t>& Weights, int Count, uint8_t* Lengths)
{
    std::vector<HeapNode> Heap;
    std::vector<int> Parent(2 * Count, -1);
    for (int I = 0; I < Count; I++)
        if (Weights[I] > 0)
            Heap.push_back({Weights[I], I});
    auto Greater = [](const HeapNode& A, const HeapNode& B) { return A > B; };
    std::make_heap(Heap.begin(), Heap.end(), Greater);
    int NextId = Count;
    while (Heap.size() > 1) {
        std::pop_heap(Heap.begin(), Heap.end(), Greater);
        HeapNode A = Heap.back();
        Heap.pop_back();
        std::pop_heap(Heap.begin(), Heap.end(), Greater);
        HeapNode B = Heap.back();
        Heap.pop_back();
        Parent[A.Id] = NextId;
        Parent[B.Id] = NextId;
        Heap.push_back({A.Weight + B.Weight, NextId++});
        std::push_heap(Heap.begin(), Heap.end(), Greater);
    }
    // Inner nodes are created after their children, so depths fill top-down
    // when walked from the last id back.
    std::vector<int> Depth(NextId, 0);
    for (int Id = NextId - 2; Id >= 0; Id--)
        if (Parent[Id] >= 0)
            Depth[Id] = Depth[Parent[Id]] + 1;
    int Longest = 0;
    for (int I = 0; I < Count; I++) {
        Lengths[I] = Weights[I] > 0 ? uint8_t(Depth[I]) : 0;
        Longest = std::max(Longest, int(Lengths[I]));
    }
    return Longest;
}

} // namespace

void BuildCodeLengths(const uint32_t* Freqs, int Count, int MaxLength, uint8_t* Lengths)
{
    std::vector<uint64_t> Weights(Count);
    int Used = 0, LastUsed = -1;
    for (int I = 0; I < Count; I++) {
        Weights[I] = Freqs[I];
        Lengths[I] = 0;
        if (Freqs[I] > 0) {
            Used++;
            LastUsed = I;
        }
    }
    if (Used == 0)
        return;
    if (Used == 1) {
        // A one-symbol code would be incomplete; give it a partner.
        Lengths[LastUsed] = 1;
        Lengths[LastUsed == 0 ? 1 : 0] = 1;
        return;
    }
    while (PlainLengths(Weights, Count, Lengths) > MaxLength)
        for (uint64_t& W : Weights)
            if (W > 0)
                W = (W >> 1) | 1;
}

void BuildCanonicalCodes(const uint8_t* Lengths, int Count, uint16_t* Codes)
{
    int LengthCount[16] = {};
    for (int I = 0; I < Count; I++)
        LengthCount[Lengths[I] & 15]++;
    LengthCount[0] = 0;
    uint32_t NextCode[16] = {};
    uint32_t Code = 0;
    for (int L = 1; L < 16; L++) {
        Code = (Code + LengthCount[L - 1]) << 1;
        NextCode[L] = Code;
    }
    for (int I = 0; I < Count; I++)
        Codes[I] = Lengths[I] ? uint16_t(NextCode[Lengths[I]]++) : 0;
}

uint64_t CodedBits(const uint32_t* Freqs, const uint8_t* Lengths, int Count)
{
    uint64_t Bits = 0;
    for (int I = 0; I < Count; I++)
        if (Freqs[I])
            Bits += uint64_t(Freqs[I]) * (Lengths[I] ? Lengths[I] : UnusableCost);
    return Bits;
}
