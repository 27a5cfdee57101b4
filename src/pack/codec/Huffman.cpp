// Length-limited Huffman codes for the encoder. Plain Huffman first; if a
// code comes out longer than the limit, the frequencies are flattened and the
// build repeats, which costs a fraction of a percent on the rare skewed table.
#include "Huffman.h"

#include <algorithm>
#include <vector>

namespace {

// Unlimited Huffman lengths of the used symbols; returns the longest. The
// two-queue method: leaves sorted by weight, inner nodes come out of the
// merging already sorted, so each step takes the two lightest fronts.
int PlainLengths(const std::vector<uint64_t>& Weights, int Count, uint8_t* Lengths)
{
    std::vector<uint32_t> Leaves;
    for (int I = 0; I < Count; I++)
        if (Weights[I] > 0) Leaves.push_back(uint32_t(I));
    std::stable_sort(Leaves.begin(), Leaves.end(), [&](uint32_t A, uint32_t B) { return Weights[A] < Weights[B]; });
    size_t LeafCount = Leaves.size();
    std::vector<uint64_t> InnerWeight(LeafCount);
    std::vector<int> Parent(2 * LeafCount, -1); // leaves 0..n-1 (sorted order), inner nodes n..
    size_t NextLeaf = 0, NextInner = 0, InnerCount = 0;
    auto TakeLightest = [&]() -> size_t {
        bool UseLeaf =
            NextLeaf < LeafCount && (NextInner >= InnerCount || Weights[Leaves[NextLeaf]] <= InnerWeight[NextInner]);
        return UseLeaf ? NextLeaf++ : LeafCount + NextInner++;
    };
    auto WeightOf = [&](size_t Node) {
        return Node < LeafCount ? Weights[Leaves[Node]] : InnerWeight[Node - LeafCount];
    };
    while (InnerCount + 1 < LeafCount) {
        size_t A = TakeLightest();
        size_t B = TakeLightest();
        InnerWeight[InnerCount] = WeightOf(A) + WeightOf(B);
        Parent[A] = int(LeafCount + InnerCount);
        Parent[B] = int(LeafCount + InnerCount);
        InnerCount++;
    }
    // Inner nodes are created after their children: depths fill top-down
    // when walked from the root back.
    size_t Total = LeafCount + InnerCount;
    std::vector<int> Depth(Total, 0);
    for (size_t Node = Total - 1; Node-- > 0;) Depth[Node] = Depth[Parent[Node]] + 1;
    int Longest = 0;
    for (int I = 0; I < Count; I++) Lengths[I] = 0;
    for (size_t K = 0; K < LeafCount; K++) {
        Lengths[Leaves[K]] = uint8_t(Depth[K]);
        Longest = std::max(Longest, Depth[K]);
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
    if (Used == 0) return;
    if (Used == 1) {
        // A one-symbol code would be incomplete; give it a partner.
        Lengths[LastUsed] = 1;
        Lengths[LastUsed == 0 ? 1 : 0] = 1;
        return;
    }
    while (PlainLengths(Weights, Count, Lengths) > MaxLength)
        for (uint64_t& W : Weights)
            if (W > 0) W = (W >> 1) | 1;
}

void BuildCanonicalCodes(const uint8_t* Lengths, int Count, uint16_t* Codes)
{
    int LengthCount[16] = {};
    for (int I = 0; I < Count; I++) LengthCount[Lengths[I] & 15]++;
    LengthCount[0] = 0;
    uint32_t NextCode[16] = {};
    uint32_t Code = 0;
    for (int L = 1; L < 16; L++) {
        Code = (Code + LengthCount[L - 1]) << 1;
        NextCode[L] = Code;
    }
    for (int I = 0; I < Count; I++) Codes[I] = Lengths[I] ? uint16_t(NextCode[Lengths[I]]++) : 0;
}

uint64_t CodedBits(const uint32_t* Freqs, const uint8_t* Lengths, int Count)
{
    uint64_t Bits = 0;
    for (int I = 0; I < Count; I++)
        if (Freqs[I]) Bits += uint64_t(Freqs[I]) * (Lengths[I] ? Lengths[I] : UnusableCost);
    return Bits;
}
