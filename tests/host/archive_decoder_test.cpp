// The 2.0 decoder on hand-made streams: table reads, matches and the window,
// solid continuation, the audio mode, and damaged streams, which must end
// with ArcDataError instead of hanging or reading out of bounds.
#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "ArcTestKit.h"
#include "Unrar.h"
#include "Rar20Format.h"
#include "UnrarInternal.h"

namespace {

const uint32_t LengthBase[28] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  10,  12,  14,  16,  20,
                                 24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224};
const uint32_t LengthBits[28] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};

uint32_t DistBaseOf(int Slot, uint32_t* Bits)
{
    uint32_t Base = 0;
    for (int I = 0; I < Slot; ++I) Base += 1u << (I < 4 ? 0 : (I < 34 ? I / 2 - 1 : 16));
    *Bits = Slot < 4 ? 0 : (Slot < 34 ? (uint32_t)Slot / 2 - 1 : 16);
    return Base;
}

// An LZ stream with a flat code: every literal-table symbol 9 bits, every
// distance slot 6 bits, every repeat-length slot 5 bits, so a symbol's code is
// its own value. Expected keeps the output a correct decoder produces.
struct LzStream {
    BitWriter Out;
    Bytes Expected;
    std::vector<uint8_t> Previous;

    void Tables(bool KeepPrevious = false)
    {
        std::vector<uint8_t> Lengths(374, 0);
        std::fill(Lengths.begin(), Lengths.begin() + 298, 9);
        std::fill(Lengths.begin() + 298, Lengths.begin() + 346, 6);
        std::fill(Lengths.begin() + 346, Lengths.end(), 5);
        PutTables(Out, false, 0, KeepPrevious, Lengths, Previous);
    }
    void Symbol(int Value) { Out.Put((uint32_t)Value, 9); }
    void Literal(uint8_t Byte)
    {
        Symbol(Byte);
        Expected.push_back(Byte);
    }
    void Literals(const std::string& Text)
    {
        for (char C : Text) Literal((uint8_t)C);
    }
    void CopyExpected(uint32_t Length, uint32_t Distance)
    {
        for (uint32_t I = 0; I < Length; ++I) {
            size_t Size = Expected.size();
            // Before the start the window holds zeros.
            Expected.push_back(Distance <= Size ? Expected[Size - Distance] : 0);
        }
    }
    // A new match (symbols 270-297); Length is the total copied.
    void Match(uint32_t Length, uint32_t Distance)
    {
        uint32_t Coded = Length - 3 - (Distance >= 0x2000) - (Distance >= 0x40000);
        int Slot = 27;
        while (LengthBase[Slot] > Coded) --Slot;
        ASSERT_LT(Coded - LengthBase[Slot], 1u << LengthBits[Slot]);
        Symbol(270 + Slot);
        Out.Put(Coded - LengthBase[Slot], (int)LengthBits[Slot]);
        int DistSlot = 47;
        uint32_t Bits;
        while (DistBaseOf(DistSlot, &Bits) > Distance - 1) --DistSlot;
        Out.Put((uint32_t)DistSlot, 6);
        Out.Put(Distance - 1 - DistBaseOf(DistSlot, &Bits), (int)Bits);
        CopyExpected(Length, Distance);
    }
    Bytes Packed() const { return Out.Finish(); }
};

// Writes the entries into an archive and tests each in turn.
std::vector<int> TestEntries(const std::vector<TestEntry>& Entries, uint32_t MainFlags = 0x0008)
{
    ArchiveBuilder Builder(MainFlags);
    for (const TestEntry& Entry : Entries) Builder.Add(Entry);
    TempDir Dir;
    WriteFileBytes(Dir.File("t.rar"), Builder.Data());
    ArcHandle Handle = ArcOpen(Dir.File("t.rar").c_str(), ArcModeExtract);
    std::vector<int> Results;
    ArcEntryInfo Info;
    while (Handle && ArcReadEntry(Handle, &Info)) Results.push_back(ArcTestEntryCode(Handle));
    ArcClose(Handle);
    return Results;
}

// Extracts the only entry and returns its contents (empty when it failed
// and the file was deleted).
Bytes ExtractToDir(const TestEntry& Entry, int* Result)
{
    TempDir Dir;
    WriteFileBytes(Dir.File("t.rar"), ArchiveBuilder().Add(Entry).Data());
    ArcHandle Handle = ArcOpen(Dir.File("t.rar").c_str(), ArcModeExtract);
    ArcEntryInfo Info;
    *Result = -1;
    Bytes Data;
    if (Handle && ArcReadEntry(Handle, &Info)) {
        *Result = ArcProcessEntryCode(Handle, true, Dir.Path().c_str(), nullptr);
        if (FileExists(Dir.File(Entry.Name))) Data = ReadFileBytes(Dir.File(Entry.Name));
    }
    ArcClose(Handle);
    return Data;
}

// ---- valid streams ----

TEST(Rar20Lz, LiteralsAndMatches)
{
    LzStream S;
    S.Tables();
    S.Literals("abcdefgh");
    S.Match(5, 3);  // overlapping copy
    S.Match(20, 1); // run of one byte
    S.Match(100, 9);
    S.Symbol(256); // the last match again
    S.CopyExpected(100, 9);
    S.Literal('z');
    int Result;
    Bytes Out = ExtractToDir(PackedEntry("lz.bin", S.Packed(), S.Expected, false), &Result);
    EXPECT_EQ(Result, ArcOk);
    EXPECT_EQ(Out, S.Expected);
}

TEST(Rar20Lz, RecentDistancesAndShortMatches)
{
    LzStream S;
    S.Tables();
    S.Literals("0123456789abcdefghijklmnopqrstuvwxyz");
    S.Match(4, 10);
    S.Match(4, 20);
    S.Match(4, 30);
    S.Match(4, 5);
    // 257 takes the distance used last, 260 the one four matches back; the
    // repeat length is LengthBase + 2 (+1 from distance 257 on).
    S.Symbol(257);
    S.Out.Put(3, 5); // repeat-length slot 3: length 5
    S.CopyExpected(5, 5);
    S.Symbol(260); // four back from the counter: distance 20
    S.Out.Put(0, 5);
    S.CopyExpected(2, 20);
    // Short match 263: distance ShortDistBase[2] (8) + 1 + 3 extra bits.
    S.Symbol(263);
    S.Out.Put(5, 3);
    S.CopyExpected(2, 14);
    int Result;
    Bytes Out = ExtractToDir(PackedEntry("r.bin", S.Packed(), S.Expected, false), &Result);
    EXPECT_EQ(Result, ArcOk);
    EXPECT_EQ(Out, S.Expected);
}

TEST(Rar20Lz, FirstSymbolRepeatingNothingAndDistancesBeforeTheStart)
{
    LzStream S;
    S.Tables();
    S.Symbol(256); // last length 0 at distance 0: nothing
    S.Literal('q');
    S.Match(6, 100); // the window starts zeroed
    int Result;
    Bytes Out = ExtractToDir(PackedEntry("z.bin", S.Packed(), S.Expected, false), &Result);
    EXPECT_EQ(Result, ArcOk);
    EXPECT_EQ(Out, (Bytes{'q', 0, 0, 0, 0, 0, 0}));
}

TEST(Rar20Lz, LongOutputWrapsTheWindow)
{
    LzStream S;
    S.Tables();
    for (int I = 0; I < 997; ++I) S.Literal((uint8_t)(I * 31 + I / 7));
    while (S.Expected.size() < 1100000) {
        S.Match(258, 997);
        S.Symbol(256);
        S.CopyExpected(258, 997);
    }
    // Far matches reach back across the wrap, up to the whole window.
    S.Match(255, 1048576 - 3);
    S.Match(200, 700001);
    S.Literal('e');
    int Result;
    Bytes Out = ExtractToDir(PackedEntry("big.bin", S.Packed(), S.Expected, false), &Result);
    EXPECT_EQ(Result, ArcOk);
    ASSERT_EQ(Out.size(), S.Expected.size());
    EXPECT_TRUE(Out == S.Expected);
}

TEST(Rar20Lz, TableReadEdgeCases)
{
    // A table read whose first level symbol is the repeat code (it repeats
    // 0), and zero runs that would pass the table's end.
    BitWriter Out;
    Out.Put(0, 2);
    for (int I = 0; I < 19; ++I) Out.Put(5, 4);
    CanonicalCode Level(std::vector<uint8_t>(19, 5));
    Level.Put(Out, 16);
    Out.Put(0, 2); // 3 lengths of "the previous"
    for (int I = 3; I < 298; ++I) Level.Put(Out, 9);
    for (int I = 0; I < 48; ++I) Level.Put(Out, 6);
    Level.Put(Out, 18);
    Out.Put(127, 7); // 138 zeros where 28 remain
    // Literal table: symbols 3..297 have 9-bit codes 0..294.
    Out.Put('A' - 3, 9);
    Out.Put('B' - 3, 9);
    int Result;
    Bytes Data = ExtractToDir(PackedEntry("t.bin", Out.Finish(), ToBytes("AB"), false), &Result);
    EXPECT_EQ(Result, ArcOk);
    EXPECT_EQ(Data, ToBytes("AB"));
}

TEST(Rar20Solid, StateCarriesOverAndTrailingTablesApply)
{
    // Entry 1: its tables, text, and new tables after its last symbol with
    // other code lengths (literals 8 bits, only 256 symbols).
    LzStream First;
    First.Tables();
    First.Literals("solid ");
    First.Symbol(269);
    std::vector<uint8_t> Lengths(374, 0);
    std::fill(Lengths.begin(), Lengths.begin() + 256, 8);
    std::fill(Lengths.begin() + 298, Lengths.begin() + 346, 6);
    PutTables(First.Out, false, 0, true, Lengths, First.Previous);
    // Entry 2 (solid): 8-bit literals, then a match into entry 1's data.
    BitWriter Second;
    for (char C : std::string("stream")) Second.Put((uint8_t)C, 8);
    Bytes Output2 = ToBytes("stream");
    // No length-slot symbols have codes now: go on with literals only.
    Bytes Output1 = First.Expected;
    TestEntry E1 = PackedEntry("1", First.Packed(), Output1, false);
    TestEntry E2 = PackedEntry("2", Second.Finish(), Output2, true);
    EXPECT_EQ(TestEntries({E1, E2}), (std::vector<int>{ArcOk, ArcOk}));

    // The empty entry still reads the tables the next one uses.
    LzStream Empty;
    Empty.Tables();
    LzStream Next;
    Next.Literals("xy");
    TestEntry E0 = PackedEntry("0", Empty.Packed(), Bytes(), false);
    TestEntry E3 = PackedEntry("3", Next.Packed(), Next.Expected, true);
    EXPECT_EQ(TestEntries({E0, E3}), (std::vector<int>{ArcOk, ArcOk}));
}

TEST(Rar20Solid, MatchesReachIntoTheEntryBefore)
{
    LzStream S;
    S.Tables();
    S.Literals("the first entry's text");
    Bytes Output1 = S.Expected;
    Bytes Packed1 = S.Packed();
    LzStream T; // same tables, continued
    T.Expected = Output1;
    T.Match(9, 22);
    Bytes Output2(T.Expected.begin() + (long)Output1.size(), T.Expected.end());
    EXPECT_EQ(Output2, ToBytes("the first"));
    TestEntry E1 = PackedEntry("1", Packed1, Output1, false);
    TestEntry E2 = PackedEntry("2", T.Packed(), Output2, true);
    EXPECT_EQ(TestEntries({E1, E2}), (std::vector<int>{ArcOk, ArcOk}));
    // Decoded on its own, the solid entry has no tables: a data error.
    EXPECT_EQ(TestEntries({E2}), (std::vector<int>{ArcDataError}));
}

// ---- the audio mode ----

// Bytes coded for one or more channels, with the expected output computed
// by a predictor per channel.
struct AudioStream {
    BitWriter Out;
    Bytes Expected;
    std::vector<uint8_t> Previous;
    Rar20::AudioState Predictor = {};
    int Current = 0;
    int Count = 1;

    void Tables(int ChannelCount, bool KeepPrevious = false)
    {
        Count = ChannelCount;
        if (Current >= Count) Current = 0;
        PutTables(Out, true, ChannelCount, KeepPrevious, std::vector<uint8_t>(257 * (size_t)ChannelCount, 9), Previous);
    }
    void Delta(uint32_t Value)
    {
        Out.Put(Value, 9);
        Expected.push_back(Rar20::AudioDecodeByte(&Predictor.Channels[Current], &Predictor.ChannelDelta, Value));
        if (++Current == Count) Current = 0;
    }
};

TEST(Rar20Audio, ChannelsInterleaveAndSurviveTableReads)
{
    AudioStream S;
    S.Tables(2);
    for (uint32_t I = 0; I < 300; ++I) S.Delta((I * 37) & 0xFF);
    S.Out.Put(256, 9); // new tables, now four channels
    S.Tables(4, true); // 1,028 code lengths
    for (uint32_t I = 0; I < 301; ++I) S.Delta((I * 11 + 3) & 0xFF);
    S.Out.Put(256, 9);
    S.Tables(3, true); // fewer channels: the current one restarts only if beyond
    for (uint32_t I = 0; I < 100; ++I) S.Delta(I & 0xFF);
    int Result;
    Bytes Out = ExtractToDir(PackedEntry("a.raw", S.Out.Finish(), S.Expected, false), &Result);
    EXPECT_EQ(Result, ArcOk);
    EXPECT_EQ(Out, S.Expected);
}

TEST(Rar20Audio, SwitchesToLzAndBack)
{
    AudioStream S;
    S.Tables(1);
    for (uint32_t I = 0; I < 40; ++I) S.Delta(I);
    S.Out.Put(256, 9);
    // LZ tables kept relative to the audio lengths: positions past 374 are
    // 0 for the next audio read.
    std::vector<uint8_t> Lz(374, 0);
    std::fill(Lz.begin(), Lz.begin() + 298, 9);
    std::fill(Lz.begin() + 298, Lz.begin() + 346, 6);
    std::fill(Lz.begin() + 346, Lz.end(), 5);
    PutTables(S.Out, false, 0, true, Lz, S.Previous);
    S.Out.Put('L', 9);
    S.Expected.push_back('L');
    S.Out.Put(269, 9);
    S.Tables(1, true);
    for (uint32_t I = 0; I < 40; ++I) S.Delta(200 + I % 50);
    int Result;
    Bytes Out = ExtractToDir(PackedEntry("m.raw", S.Out.Finish(), S.Expected, false), &Result);
    EXPECT_EQ(Result, ArcOk);
    EXPECT_EQ(Out, S.Expected);
}

TEST(Rar20Audio, PredictorBasics)
{
    using namespace Rar20;
    AudioState A = {};
    EXPECT_EQ(AudioDecodeByte(&A.Channels[0], &A.ChannelDelta, 0), 0);
    A = {};
    EXPECT_EQ(AudioDecodeByte(&A.Channels[0], &A.ChannelDelta, 1), 255);
    // A delta of 200 counts as -56. Channel 1 has its own record.
    A = {};
    AudioDecodeByte(&A.Channels[1], &A.ChannelDelta, 200);
    const AudioChannel& V = A.Channels[1];
    EXPECT_EQ(V.Coded[0], 200);
    EXPECT_EQ(V.ByteCount, 1u);
    EXPECT_EQ(V.LastChar, 56);
    EXPECT_EQ(V.Deltas[AudioPastDeltas], 56);
    EXPECT_EQ(A.ChannelDelta, 56);
    EXPECT_EQ(A.Channels[0].ByteCount, 0u);
}

TEST(Rar20Audio, WeightsStayWithinTheirLimits)
{
    using namespace Rar20;
    struct Case {
        int32_t Start;
        int16_t Delta; // every output difference before the block's last byte: D1
        uint8_t Coded; // every coded difference of the block
        int32_t After;
    };
    // Errors (8 * Coded) equal to D1 are undone by lowering K[0], equal to
    // -D1 by raising it; -17 and 16 are the limits. With no error at all,
    // keeping the weights ties with every change and wins.
    for (const Case& C : {Case{3, 8, 1, 2}, Case{-17, 8, 1, -17}, Case{-16, 8, 1, -17}, Case{3, -8, 1, 4},
                          Case{16, -8, 1, 16}, Case{15, -8, 1, 16}, Case{3, 0, 0, 3}}) {
        AudioState A = {};
        AudioChannel& V = A.Channels[0];
        V.K[0] = C.Start;
        V.ByteCount = AudioAdaptInterval - 1;
        for (int16_t& D : V.Deltas) D = C.Delta;
        for (uint8_t& Coded : V.Coded) Coded = C.Coded;
        V.LastChar = 100;
        uint8_t Output = AudioDecodeByte(&V, &A.ChannelDelta, C.Coded);
        EXPECT_EQ(V.K[0], C.After) << C.Start << " " << C.Delta;
        // The next block's history starts with this block's last differences.
        EXPECT_EQ(V.Deltas[AudioPastDeltas - 1], (int8_t)(Output - 100));
        EXPECT_EQ(V.Deltas[0], C.Delta);
    }
    // Any stream keeps every weight within -17..16.
    AudioState A = {};
    uint32_t Seed = 12345;
    for (int I = 0; I < 200000; ++I) {
        Seed = Seed * 1103515245 + 12345;
        AudioDecodeByte(&A.Channels[0], &A.ChannelDelta, (Seed >> 16) & 0xFF);
        for (int32_t K : A.Channels[0].K) ASSERT_TRUE(K >= -17 && K <= 16) << K;
    }
}

// The predictor stated byte by byte, as plainly as it can be: eleven error
// sums updated with every byte. The decoder's block-wise form must make the
// same bytes and the same weight changes.
struct PlainPredictor {
    struct Channel {
        int32_t K[5], D[4], LastDelta, LastChar;
        uint32_t Dif[11], ByteCount;
    } Channels[4] = {};
    int32_t ChannelDelta = 0;

    uint8_t Decode(int C, uint8_t Coded)
    {
        Channel& V = Channels[C];
        V.D[3] = V.D[2];
        V.D[2] = V.D[1];
        V.D[1] = V.LastDelta - V.D[0];
        V.D[0] = V.LastDelta;
        int32_t History[5] = {V.D[0], V.D[1], V.D[2], V.D[3], ChannelDelta};
        int32_t Sum = 8 * V.LastChar;
        for (int I = 0; I < 5; ++I) Sum += V.K[I] * History[I];
        uint8_t Output = (uint8_t)((uint8_t)(Sum >> 3) - Coded);
        int32_t E = (int8_t)Coded * 8;
        V.Dif[0] += (uint32_t)abs(E);
        for (int I = 0; I < 5; ++I) {
            V.Dif[1 + 2 * I] += (uint32_t)abs(E - History[I]);
            V.Dif[2 + 2 * I] += (uint32_t)abs(E + History[I]);
        }
        V.LastDelta = (int8_t)(uint8_t)(Output - V.LastChar);
        V.LastChar = Output;
        ChannelDelta = V.LastDelta;
        if (++V.ByteCount % 32 == 0) {
            int Best = 0;
            for (int I = 1; I < 11; ++I)
                if (V.Dif[I] < V.Dif[Best]) Best = I;
            memset(V.Dif, 0, sizeof V.Dif);
            if (Best > 0) {
                int32_t& K = V.K[(Best - 1) / 2];
                if (Best % 2 && K > -17) --K;
                if (Best % 2 == 0 && K < 16) ++K;
            }
        }
        return Output;
    }
};

TEST(Rar20Audio, BlockwiseSumsMatchTheByteByByteRule)
{
    using namespace Rar20;
    for (int Channels = 1; Channels <= 4; ++Channels) {
        uint32_t Seed = 77 + (uint32_t)Channels;
        PlainPredictor Plain;
        AudioState Decoder = {};
        for (int I = 0; I < 60000; ++I) {
            int C = I % Channels;
            Seed = Seed * 1103515245 + 12345;
            // Small differences (a good prediction), wild ones, and runs of
            // equal ones that tie the sums.
            int Phase = (I / 2000) % 3;
            uint8_t Coded = Phase == 0 ? (uint8_t)((Seed >> 16) % 9 - 4) : Phase == 1 ? (uint8_t)(Seed >> 16) : 0;
            ASSERT_EQ(AudioDecodeByte(&Decoder.Channels[C], &Decoder.ChannelDelta, Coded), Plain.Decode(C, Coded))
                << "channels " << Channels << " byte " << I;
            for (int K = 0; K < 5; ++K) ASSERT_EQ(Decoder.Channels[C].K[K], Plain.Channels[C].K[K]) << I;
        }
    }
}

// The encoder's side of the predictor: the difference it codes makes the
// decoder give back the byte, with 1 to 4 channels, smooth and wild input.
TEST(Rar20Audio, EncodeByteIsUndoneByDecodeByte)
{
    using namespace Rar20;
    uint32_t Seed = 5;
    for (uint32_t Channels = 1; Channels <= 4; Channels++) {
        AudioState Enc = {}, Dec = {};
        for (int I = 0; I < 20000; I++) {
            uint32_t C = (uint32_t)I % Channels;
            Seed = Seed * 1103515245 + 12345;
            // Alternate smooth stretches with wild ones to push the weights around.
            uint8_t Byte = (I / 3000) % 2 ? (uint8_t)(Seed >> 16) : (uint8_t)(128 + 100 * sin(I * 0.05) + C * 7);
            uint8_t Delta = AudioEncodeByte(&Enc.Channels[C], &Enc.ChannelDelta, Byte);
            ASSERT_EQ(AudioDecodeByte(&Dec.Channels[C], &Dec.ChannelDelta, Delta), Byte)
                << "channels " << Channels << " byte " << I;
        }
        EXPECT_EQ(memcmp(&Enc, &Dec, sizeof Enc), 0) << "channels " << Channels;
    }
}

// ---- damaged streams ----

TEST(Rar20Damaged, OverSubscribedCodesAreRejected)
{
    BitWriter Out;
    std::vector<uint8_t> Previous;
    std::vector<uint8_t> Lengths(374, 0);
    Lengths['a'] = Lengths['b'] = Lengths['c'] = 1; // three 1-bit codes
    PutTables(Out, false, 0, false, Lengths, Previous);
    Out.Put(0, 8);
    EXPECT_EQ(TestEntries({PackedEntry("o", Out.Finish(), ToBytes("a"), false)}), (std::vector<int>{ArcDataError}));
}

TEST(Rar20Damaged, BitsNoCodeStandsForAreRejected)
{
    BitWriter Out;
    std::vector<uint8_t> Previous;
    std::vector<uint8_t> Lengths(374, 0);
    Lengths['a'] = 2; // only code 00 exists
    PutTables(Out, false, 0, false, Lengths, Previous);
    Out.Put(3, 2);
    Out.Put(0xFFFF, 16);
    EXPECT_EQ(TestEntries({PackedEntry("i", Out.Finish(), ToBytes("a"), false)}), (std::vector<int>{ArcDataError}));
}

TEST(Rar20Damaged, OutputExpectedPastTheDataIsADataError)
{
    // A stream that ends tight after "abc" while 5 bytes are announced.
    LzStream S;
    S.Tables();
    S.Literals("abc");
    TestEntry Entry = PackedEntry("short", S.Packed(), ToBytes("abcde"), false);
    int Result;
    Bytes Out = ExtractToDir(Entry, &Result);
    EXPECT_EQ(Result, ArcDataError);
    EXPECT_TRUE(Out.empty()); // deleted
    // The same without the last byte of packed data.
    LzStream T;
    T.Tables();
    T.Literals("abcdefgh");
    Bytes Cut = T.Packed();
    Cut.pop_back();
    EXPECT_EQ(TestEntries({PackedEntry("cut", Cut, T.Expected, false)}), (std::vector<int>{ArcDataError}));
    // Zero bits past the end decode as literals here: decoding must stop at
    // the end of the data, not run on through the announced 100 MB.
    static uint64_t Produced;
    Produced = 0;
    ArcSetProgressCallback([](uint32_t Bytes) { Produced += Bytes; });
    EXPECT_EQ(TestEntries({PackedEntry("huge", S.Packed(), Bytes(100 << 20, 0), false)}),
              (std::vector<int>{ArcDataError}));
    ArcSetProgressCallback(nullptr);
    EXPECT_LT(Produced, 1000u);
    // A solid entry after a damaged one cannot be decoded either.
    LzStream Next;
    Next.Literals("x");
    EXPECT_EQ(
        TestEntries({PackedEntry("cut", Cut, T.Expected, false), PackedEntry("n", Next.Packed(), ToBytes("x"), true)}),
        (std::vector<int>{ArcDataError, ArcDataError}));
}

TEST(Rar20Damaged, EndlessTableSwitchesEnd)
{
    // Table reads produce nothing; without a bound on the input they would
    // run on. Here every table read ends in the switch symbol again.
    LzStream S;
    for (int I = 0; I < 200; ++I) {
        S.Tables(I > 0);
        S.Symbol(269);
    }
    EXPECT_EQ(TestEntries({PackedEntry("loop", S.Packed(), ToBytes("never"), false)}),
              (std::vector<int>{ArcDataError}));
}

TEST(Rar20Damaged, NoiseNeverCrashesOrHangs)
{
    uint32_t Seed = 99;
    for (int Round = 0; Round < 300; ++Round) {
        Bytes Noise(1 + Round * 7 % 3000);
        for (uint8_t& B : Noise) {
            Seed = Seed * 1664525 + 1013904223;
            B = (uint8_t)(Seed >> 24);
        }
        // Audio and LZ, solid and not, with big announced sizes.
        std::vector<int> Results = TestEntries(
            {PackedEntry("n1", Noise, Bytes(5000, 1), false), PackedEntry("n2", Noise, Bytes(70000, 2), true)});
        ASSERT_EQ(Results.size(), 2u) << "seed round " << Round;
        EXPECT_EQ(Results[1], ArcDataError) << "seed round " << Round;
    }
}

} // namespace
