// Unit tests of the encoder's parts: bit order, Huffman codes as the stub's
// decoder reads them, DOS times.
#include "ArchiveWriter.h"
#include "BitWriter.h"
#include "Huffman.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

namespace {

// The decoder's table rule: limits per length, capped at 0xFFFF, and the
// symbol lookup from a 16-bit window with its lowest bit cleared.
struct DecoderModel {
    uint32_t Limit[16] = {}, FirstIndex[16] = {};
    std::vector<int> Symbols;

    explicit DecoderModel(const std::vector<uint8_t>& Lengths)
    {
        uint32_t Count[16] = {};
        for (uint8_t L : Lengths) Count[L & 15]++;
        Count[0] = 0;
        uint32_t N = 0;
        for (int L = 1; L < 16; L++) {
            N = 2 * (N + Count[L]);
            Limit[L] = std::min<uint32_t>(N << (15 - L), 0xFFFF);
            FirstIndex[L] = FirstIndex[L - 1] + Count[L - 1];
        }
        Symbols.resize(Lengths.size());
        uint32_t Next[16];
        for (int L = 0; L < 16; L++) Next[L] = FirstIndex[L];
        for (size_t S = 0; S < Lengths.size(); S++)
            if (Lengths[S]) Symbols[Next[Lengths[S]]++] = int(S);
    }

    // Symbol and length consumed for a 16-bit window.
    int Decode(uint32_t Window, int* Length) const
    {
        uint32_t Value = Window & 0xFFFE;
        int L = 1;
        while (L < 15 && Value >= Limit[L]) L++;
        *Length = L;
        uint32_t Index = FirstIndex[L] + ((Value - Limit[L - 1]) >> (16 - L));
        return Index < Symbols.size() ? Symbols[Index] : Symbols[0];
    }
};

// Every used symbol's code, followed by any bits, decodes to the symbol.
void ExpectDecodable(const std::vector<uint8_t>& Lengths, uint32_t Seed)
{
    std::vector<uint16_t> Codes(Lengths.size());
    BuildCanonicalCodes(Lengths.data(), int(Lengths.size()), Codes.data());
    DecoderModel Model(Lengths);
    std::mt19937 Rng(Seed);
    for (size_t S = 0; S < Lengths.size(); S++) {
        if (!Lengths[S]) continue;
        int L = Lengths[S];
        uint32_t Window = uint32_t(Codes[S]) << (16 - L) | (Rng() & ((1u << (16 - L)) - 1));
        int Got = 0;
        ASSERT_EQ(Model.Decode(Window, &Got), int(S)) << "seed " << Seed << " symbol " << S;
        ASSERT_EQ(Got, L) << "seed " << Seed << " symbol " << S;
    }
}

double KraftSum(const std::vector<uint8_t>& Lengths)
{
    double Sum = 0;
    for (uint8_t L : Lengths)
        if (L) Sum += 1.0 / (1u << L);
    return Sum;
}

TEST(PackBitWriter, WritesMostSignificantBitFirstAndPadsWithZeros)
{
    BitWriter W;
    W.PutBits(1, 1);
    W.PutBits(0x5, 3);    // 101
    W.PutBits(0x3FF, 10); // ten ones
    W.PutBits(0xABCDEF, 24);
    EXPECT_EQ(W.FullBytes().size(), 4u); // 38 bits: four whole bytes, six bits pending
    W.PadToByte();
    std::vector<uint8_t> Bytes = W.FullBytes();
    // 1 101 1111111111 101010111100110111101111 00
    std::vector<uint8_t> Expected = {0xDF, 0xFE, 0xAF, 0x37, 0xBC};
    EXPECT_EQ(Bytes, Expected);
}

TEST(PackHuffman, CodesDecodeUnderTheDecoderRule)
{
    std::mt19937 Rng(11);
    for (int Round = 0; Round < 200; Round++) {
        int Count = 2 + int(Rng() % 400);
        std::vector<uint32_t> Freqs(Count);
        for (uint32_t& F : Freqs) F = (Rng() % 3 == 0) ? 0 : 1 + (Rng() % (1u << (Rng() % 20)));
        std::vector<uint8_t> Lengths(Count);
        BuildCodeLengths(Freqs.data(), Count, 15, Lengths.data());
        int Used = 0;
        for (uint32_t F : Freqs) Used += F != 0;
        for (int S = 0; S < Count; S++) {
            EXPECT_LE(Lengths[S], 15);
            if (Used >= 2) EXPECT_EQ(Lengths[S] != 0, Freqs[S] != 0) << "round " << Round;
        }
        if (Used >= 1) EXPECT_DOUBLE_EQ(KraftSum(Lengths), 1.0) << "round " << Round;
        ExpectDecodable(Lengths, uint32_t(Round));
    }
}

TEST(PackHuffman, SkewedFrequenciesStayWithinFifteenBits)
{
    // Fibonacci weights would need codes as long as the alphabet.
    std::vector<uint32_t> Freqs(40);
    uint32_t A = 1, B = 1;
    for (uint32_t& F : Freqs) {
        F = A;
        uint32_t C = A + B;
        A = B;
        B = C > 0x7FFFFFFF ? 0x7FFFFFFF : C;
    }
    std::vector<uint8_t> Lengths(40);
    BuildCodeLengths(Freqs.data(), 40, 15, Lengths.data());
    for (uint8_t L : Lengths) {
        EXPECT_GE(L, 1);
        EXPECT_LE(L, 15);
    }
    EXPECT_DOUBLE_EQ(KraftSum(Lengths), 1.0);
    ExpectDecodable(Lengths, 1);
    // Fifteen-bit codes sit where the decoder's cleared low bit cannot reach.
    std::vector<uint8_t> Full(1 << 15, 15);
    ExpectDecodable(Full, 2);
}

TEST(PackHuffman, LoneAndMissingSymbols)
{
    uint32_t One[5] = {0, 0, 7, 0, 0};
    uint8_t Lengths[5];
    BuildCodeLengths(One, 5, 15, Lengths);
    EXPECT_EQ(Lengths[2], 1);
    EXPECT_EQ(Lengths[0], 1); // the partner that keeps the code complete
    uint32_t None[5] = {};
    BuildCodeLengths(None, 5, 15, Lengths);
    for (uint8_t L : Lengths) EXPECT_EQ(L, 0);
    uint32_t Last[3] = {0, 0, 9};
    BuildCodeLengths(Last, 3, 15, Lengths);
    EXPECT_EQ(Lengths[0] + Lengths[2], 2);
}

TEST(PackDosTime, ConvertsLocalTimeAndClampsTheRange)
{
    setenv("TZ", "UTC", 1);
    tzset();
    // 2020-01-01 00:00:00: year 40, month 1, day 1.
    EXPECT_EQ(DosTimeFromUnix(1577836800), uint32_t((40u << 9 | 1u << 5 | 1u) << 16));
    // 2021-07-15 13:45:31: seconds go in two-second steps.
    EXPECT_EQ(DosTimeFromUnix(1626356731), uint32_t((41u << 9 | 7u << 5 | 15u) << 16 | (13u << 11 | 45u << 5 | 15u)));
    EXPECT_EQ(DosTimeFromUnix(0), uint32_t((1u << 5 | 1u) << 16));
    EXPECT_EQ(DosTimeFromUnix(-5), uint32_t((1u << 5 | 1u) << 16));
    // Past 2107 the latest time the format holds, not a date of 2107 with
    // the month and day of the real one: a later time never comes out earlier.
    const uint32_t Latest = uint32_t((127u << 9 | 12u << 5 | 31u) << 16 | (23u << 11 | 59u << 5 | 29u));
    EXPECT_EQ(DosTimeFromUnix(4354819198), Latest); // 2107-12-31 23:59:58
    EXPECT_EQ(DosTimeFromUnix(4367995200), Latest); // 2108-06-01 12:00:00
}

} // namespace
