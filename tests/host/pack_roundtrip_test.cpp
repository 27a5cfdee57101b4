// Round trips: archives written by the encoder, read back by the stub's reader
// and compared byte for byte. Inputs are generated from fixed seeds.
#include "ArchiveVerify.h"
#include "ArchiveWriter.h"
#include "Crc32.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <cstring>
#include <algorithm>

namespace {

using Bytes = std::vector<uint8_t>;

// The archive of Entries in memory; the test fails when the writer refuses.
Bytes Pack(const std::vector<PackEntry>& Entries, int Level, PackStats* Stats = nullptr)
{
    PackSettings Settings;
    Settings.Level = Level;
    MemoryOutput Out;
    std::string Error;
    EXPECT_TRUE(WriteArchive(Entries, Settings, Out, Stats, &Error)) << Error;
    return Out.Bytes;
}

bool VerifyArchiveContents(const Bytes& Archive, const std::vector<PackEntry>& Entries, std::string* Error)
{
    return VerifyArchiveBytes(Archive, &Entries, Error);
}

// The fields of each file header of an archive written by Pack.
struct HeaderFields {
    uint32_t Flags, Method, Packed, Unpacked;
};

std::vector<HeaderFields> FileHeaders(const Bytes& A)
{
    std::vector<HeaderFields> Headers;
    for (size_t Pos = 20; Pos + 32 <= A.size() && A[Pos + 2] == 0x74;) {
        HeaderFields H;
        H.Flags = A[Pos + 3] | A[Pos + 4] << 8;
        H.Method = A[Pos + 25];
        H.Packed = A[Pos + 7] | A[Pos + 8] << 8 | A[Pos + 9] << 16 | uint32_t(A[Pos + 10]) << 24;
        H.Unpacked = A[Pos + 11] | A[Pos + 12] << 8 | A[Pos + 13] << 16 | uint32_t(A[Pos + 14]) << 24;
        Headers.push_back(H);
        Pos += (A[Pos + 5] | A[Pos + 6] << 8) + H.Packed;
    }
    return Headers;
}

// No entry is larger packed than stored; every entry is solid but the first
// and the first packed one (which starts the compressed stream).
void ExpectLayoutRules(const Bytes& Archive, const std::string& What)
{
    bool SeenPacked = false, First = true;
    for (const HeaderFields& H : FileHeaders(Archive)) {
        EXPECT_TRUE(H.Method == 0x30 || H.Method == 0x35) << What;
        EXPECT_LE(H.Packed, H.Unpacked) << What;
        if (H.Method == 0x30) EXPECT_EQ(H.Packed, H.Unpacked) << What;
        bool FirstPacked = H.Method == 0x35 && !SeenPacked;
        EXPECT_EQ(H.Flags, First || FirstPacked ? 0x8080u : 0x8090u) << What;
        SeenPacked = SeenPacked || H.Method == 0x35;
        First = false;
    }
}

void ExpectRoundTrip(const std::vector<PackEntry>& Entries, int Level, const std::string& What)
{
    Bytes Archive = Pack(Entries, Level);
    std::string Error;
    EXPECT_TRUE(VerifyArchiveContents(Archive, Entries, &Error)) << What << " level " << Level << ": " << Error;
    ExpectLayoutRules(Archive, What + " level " + std::to_string(Level));
}

PackEntry Entry(const std::string& Name, Bytes Data)
{
    PackEntry E;
    E.Name = Name;
    E.Data = std::move(Data);
    E.DosTime = 0x50210000;
    return E;
}

Bytes Text(uint32_t Seed, size_t Size)
{
    static const char* Words[] = {"the ",       "setup ", "program ", "installs ", "files ", "into ",    "a ",
                                  "directory ", "of ",    "your ",    "choice",    ".\r\n",  "Windows ", "registry "};
    std::mt19937 Rng(Seed);
    Bytes Out;
    while (Out.size() < Size) {
        const char* W = Words[Rng() % 14];
        Out.insert(Out.end(), W, W + strlen(W));
    }
    Out.resize(Size);
    return Out;
}

Bytes Random(uint32_t Seed, size_t Size)
{
    std::mt19937 Rng(Seed);
    Bytes Out(Size);
    for (uint8_t& B : Out) B = uint8_t(Rng());
    return Out;
}

// 16-bit PCM with Channels interleaved channels: a few sine tones and noise.
Bytes Pcm16(uint32_t Seed, size_t Frames, int Channels)
{
    std::mt19937 Rng(Seed);
    Bytes Out;
    for (size_t F = 0; F < Frames; F++)
        for (int C = 0; C < Channels; C++) {
            double V = 9000 * sin(F * (0.031 + 0.007 * C)) + 3000 * sin(F * 0.0021) + int(Rng() % 200) - 100;
            int16_t S = int16_t(V);
            Out.push_back(uint8_t(S));
            Out.push_back(uint8_t(S >> 8));
        }
    return Out;
}

Bytes Concat(std::initializer_list<Bytes> Parts)
{
    Bytes Out;
    for (const Bytes& P : Parts) Out.insert(Out.end(), P.begin(), P.end());
    return Out;
}

// Binary-like data: records with small counters, repeated structures and
// short matches at odd distances.
Bytes Records(uint32_t Seed, size_t Size)
{
    std::mt19937 Rng(Seed);
    Bytes Out;
    uint32_t Counter = 0;
    while (Out.size() < Size) {
        uint8_t Rec[12] = {0x8B, 0x45,          uint8_t(Counter),   uint8_t(Counter >> 8), 0,
                           0,    0xE8,          uint8_t(Rng() % 7), uint8_t(Rng() % 3),    0xFF,
                           0xFF, uint8_t(Rng())};
        Out.insert(Out.end(), Rec, Rec + 4 + Rng() % 9);
        Counter += 1 + Rng() % 3;
    }
    Out.resize(Size);
    return Out;
}

// Data with one byte in every Step changed: matches that continue at the
// same distance after a literal (recent-distance symbols).
Bytes Modified(const Bytes& Data, size_t Step)
{
    Bytes Out = Data;
    for (size_t I = Step / 2; I < Out.size(); I += Step) Out[I] ^= 0x5A;
    return Out;
}

// Records of 16 bytes whose first 10 are always the same: the same length at
// the same distance again and again.
Bytes FixedRecords(uint32_t Seed, size_t Count)
{
    std::mt19937 Rng(Seed);
    Bytes Out;
    for (size_t I = 0; I < Count; I++) {
        const char* Head = "RECORD:\x01\x02";
        Out.insert(Out.end(), Head, Head + 10);
        for (int K = 0; K < 6; K++) Out.push_back(uint8_t('a' + Rng() % 26));
    }
    return Out;
}

// Random bytes, then pieces of them 2 to 90 bytes long with random bytes in
// between: new matches of every length slot up to 90, and byte pairs that
// come back at distances up to 256 (short matches).
Bytes CopiedPieces(uint32_t Seed)
{
    std::mt19937 Rng(Seed);
    Bytes Out = Random(Seed, 6000);
    for (uint32_t Len = 2; Len <= 90; Len++)
        for (int Round = 0; Round < 8; Round++) {
            size_t From = Out.size() - (Len == 2 ? 1 + Rng() % 250 : 300 + Rng() % 5000);
            for (uint32_t K = 0; K < Len; K++) Out.push_back(Out[From + K]);
            for (int K = 0; K < 6; K++) Out.push_back(uint8_t(Rng()));
        }
    return Out;
}

TEST(PackRoundTrip, EverySymbolClassIsWrittenAndDecodes)
{
    const int SymShortLast = 268;
    Bytes Near = Text(90, 5000);    // copies at distances below 0x2000
    Bytes Mid = Records(91, 20000); // ... below 0x40000
    Bytes Far = Records(92, 300000);
    Bytes Samples8; // three channels of noisy 8-bit samples, like 24-bit pixels
    std::mt19937 Noise(100);
    for (int I = 0; I < 90000; I++) Samples8.push_back(uint8_t(128 + 50 * sin(I / 3 * 0.02 + I % 3) + Noise() % 9));
    std::vector<PackEntry> Entries = {
        Entry("near.txt", Concat({Near, Modified(Near, 61)})),
        Entry("mid.bin", Concat({Mid, Text(93, 3000), Modified(Mid, 83)})),
        Entry("far.bin", Concat({Far, Text(94, 10000), Modified(Bytes(Far.begin(), Far.begin() + 60000), 97)})),
        Entry("fixed.dat", FixedRecords(95, 5000)),
        Entry("mono16.wav", Pcm16(96, 40000, 1)),
        Entry("stereo16.wav", Pcm16(97, 40000, 2)),
        Entry("rgb.raw", Samples8),
        Entry("pieces.bin", CopiedPieces(99)),
        Entry("tail.txt", Text(98, 4000)),
    };
    for (int Level : {3, 5}) {
        PackStats Stats;
        Bytes Archive = Pack(Entries, Level, &Stats);
        std::string Error;
        EXPECT_TRUE(VerifyArchiveContents(Archive, Entries, &Error)) << "level " << Level << ": " << Error;
        // The cheapest-path parser takes every symbol where it pays; the lazy
        // one skips the far short matches (its estimate finds them too dear).
        std::string Missing;
        for (int Sym = 256; Sym < 292; Sym++) // the longest length slots need longer pieces
            if (Stats.Stream.SymbolUse[Sym] == 0 && (Level == 5 || Sym != SymShortLast))
                Missing += " symbol " + std::to_string(Sym);
        for (int Bonus = 0; Bonus < 3; Bonus++)
            if (Stats.Stream.NewMatchBonusUse[Bonus] == 0) Missing += " new-match bonus " + std::to_string(Bonus);
        for (int Bonus = 0; Bonus < 4; Bonus++)
            if (Stats.Stream.RecentBonusUse[Bonus] == 0) Missing += " recent bonus " + std::to_string(Bonus);
        for (int Channels : {2, 3, 4})
            if (Stats.Stream.AudioTableReads[Channels] == 0) Missing += " audio " + std::to_string(Channels);
        EXPECT_EQ(Missing, "") << "level " << Level;
    }
}

TEST(PackRoundTrip, SmallMixedEntriesAtEveryLevel)
{
    std::vector<PackEntry> Entries = {Entry("Presetup\\Tarn.ini", Text(1, 3000)),
                                      Entry("Data\\empty.txt", {}),
                                      Entry("Data\\one.bin", {0x41}),
                                      Entry("Data\\text.txt", Text(2, 20000)),
                                      Entry("Data\\random.bin", Random(3, 5000)),
                                      Entry("Data\\again.txt", Text(2, 20000)),
                                      Entry("Data\\rec.bin", Records(9, 30000)),
                                      Entry("Data\\zeros.bin", Bytes(70000, 0))};
    for (int Level = PackLevelStore; Level <= PackLevelBest; Level++) ExpectRoundTrip(Entries, Level, "mixed");
}

TEST(PackRoundTrip, EmptyAndTinyEntries)
{
    ExpectRoundTrip({Entry("only.txt", {})}, 3, "one empty entry");
    ExpectRoundTrip({Entry("a", {}), Entry("b", {}), Entry("c", {})}, 3, "all empty");
    ExpectRoundTrip({Entry("a", {}), Entry("b", Text(7, 5000)), Entry("c", {})}, 3, "empty first");
    ExpectRoundTrip({Entry("x", {7})}, 3, "one byte");
    std::vector<PackEntry> Tiny;
    for (int I = 0; I < 40; I++) Tiny.push_back(Entry("t" + std::to_string(I), Random(100 + I, I % 6)));
    ExpectRoundTrip(Tiny, 3, "tiny random entries");
}

TEST(PackRoundTrip, IncompressibleEntriesAreStoredAndTheStreamGoesOn)
{
    // Random data first: stored, and the compressed stream starts with t1.
    Bytes Text1 = Text(20, 40000);
    std::vector<PackEntry> Entries = {Entry("r1", Random(21, 30000)), Entry("t1", Text1),
                                      Entry("r2", Random(22, 70000)), Entry("t2", Concat({Text1, Text(23, 1000)}))};
    PackStats Stats;
    Bytes Archive = Pack(Entries, PackLevelDefault, &Stats);
    ASSERT_EQ(Stats.Entries.size(), 4u);
    EXPECT_TRUE(Stats.Entries[0].Stored);
    EXPECT_FALSE(Stats.Entries[1].Stored);
    EXPECT_TRUE(Stats.Entries[2].Stored);
    ExpectLayoutRules(Archive, "incompressible");
    // The last entry repeats t1, which is still in the window past the stored entry.
    EXPECT_LT(Stats.Entries[3].PackedBytes, 1000u);
    std::string Error;
    EXPECT_TRUE(VerifyArchiveContents(Archive, Entries, &Error)) << Error;
}

// ---- no entry larger packed than stored ----

// A setup's first entry is often a small Tarn.ini: it is stored, and the
// compressed stream (its first table) starts with the entry after it.
TEST(PackStore, SmallFirstEntryIsStoredAndTheStreamStartsAfterIt)
{
    std::string Ini = "[Config]\r\nProgramName=Demo\r\nDefaultInstallPath=%ProgramFiles%\\Demo\r\nLanguages=ENU\r\n";
    std::vector<PackEntry> Entries = {Entry("Presetup\\Tarn.ini", Bytes(Ini.begin(), Ini.end())),
                                      Entry("Presetup\\Tarn.str", Text(110, 3000)),
                                      Entry("Data\\a.txt", Text(111, 3000))};
    for (int Level = PackLevelFastest; Level <= PackLevelBest; Level++) {
        Bytes Archive = Pack(Entries, Level);
        std::vector<HeaderFields> Headers = FileHeaders(Archive);
        ASSERT_EQ(Headers.size(), 3u);
        EXPECT_EQ(Headers[0].Method, 0x30u) << Level;
        EXPECT_EQ(Headers[0].Packed, Ini.size()) << Level;
        EXPECT_EQ(Headers[1].Method, 0x35u) << Level;
        EXPECT_EQ(Headers[1].Flags, 0x8080u) << Level; // reads the first tables
        EXPECT_EQ(Headers[2].Flags, 0x8090u) << Level;
        ExpectRoundTrip(Entries, Level, "small first entry");
    }
}

// Random mixes of the entries that tempt an encoder to write more than it
// stores: tiny ones, empty ones, random ones, text right after audio, a
// repeated entry. Every level; each mix from its own seed.
TEST(PackStore, NoEntryPacksLargerThanStored)
{
    for (uint32_t Seed = 1; Seed <= 8; Seed++) {
        std::mt19937 Rng(Seed);
        std::vector<PackEntry> Entries;
        for (int I = 0; I < 14; I++) {
            std::string Name = "e" + std::to_string(I);
            switch (Rng() % 7) {
            case 0: Entries.push_back(Entry(Name, Text(Seed * 100 + I, Rng() % 300))); break;
            case 1: Entries.push_back(Entry(Name, Random(Seed * 100 + I, Rng() % 3000))); break;
            case 2: Entries.push_back(Entry(Name, {})); break;
            case 3: Entries.push_back(Entry(Name, Pcm16(Seed * 100 + I, 2000 + Rng() % 20000, 1 + Rng() % 2))); break;
            case 4: Entries.push_back(Entry(Name, Records(Seed * 100 + I, Rng() % 9000))); break;
            case 5: Entries.push_back(Entry(Name, Text(Seed * 100 + I, 1000 + Rng() % 30000))); break;
            default:
                if (!Entries.empty()) Entries.push_back(Entry(Name, Entries[Rng() % Entries.size()].Data));
                break;
            }
        }
        for (int Level = PackLevelFastest; Level <= PackLevelBest; Level++)
            ExpectRoundTrip(Entries, Level, "seed " + std::to_string(Seed));
    }
}

// The store decision looks at an entry's head: one whose head gains a little
// and whose tail is random comes out larger than stored, and the stream is
// made again with it stored.
TEST(PackStore, EntryFoundLargerIsStoredInASecondPass)
{
    std::mt19937 Rng(3);
    Bytes Mixed;
    for (int I = 0; I < 256 * 1024; I++) Mixed.push_back(uint8_t(Rng() % 229)); // 7.84 bits a byte: a small gain
    for (int I = 0; I < 9 << 20; I++) Mixed.push_back(uint8_t(Rng()));
    std::vector<PackEntry> Entries = {Entry("t", Text(120, 20000)), Entry("mixed", Mixed),
                                      Entry("u", Text(121, 20000))};
    PackStats Stats;
    Bytes Archive = Pack(Entries, PackLevelFastest, &Stats);
    EXPECT_EQ(Stats.Passes, 2u);
    ASSERT_EQ(Stats.Entries.size(), 3u);
    EXPECT_TRUE(Stats.Entries[1].Stored);
    EXPECT_FALSE(Stats.Entries[2].Stored);
    EXPECT_EQ(Stats.OutputBytes, Archive.size());
    std::string Error;
    EXPECT_TRUE(VerifyArchiveContents(Archive, Entries, &Error)) << Error;
    ExpectLayoutRules(Archive, "second pass");
}

// ---- threads ----

// The bytes do not depend on how many threads compress: each chunk is parsed
// with what the encoder knew a fixed number of chunks before it.
TEST(PackThreads, OutputIsTheSameForEveryThreadCount)
{
    // Longer than the chunks that can be parsed at once (4 of 128 KiB).
    std::vector<PackEntry> Entries = {Entry("a.txt", Text(130, 200000)),    Entry("b.wav", Pcm16(131, 50000, 2)),
                                      Entry("c.bin", Records(132, 250000)), Entry("d.bin", Random(133, 50000)),
                                      Entry("e.txt", Text(134, 200)),       Entry("f.txt", Text(130, 100000))};
    for (int Level : {1, 3, 5}) {
        Bytes One;
        for (int Threads : {1, 2, 3, 5}) {
            PackSettings Settings;
            Settings.Level = Level;
            Settings.Threads = Threads;
            MemoryOutput Out;
            std::string Error;
            ASSERT_TRUE(WriteArchive(Entries, Settings, Out, nullptr, &Error)) << Error;
            if (Threads == 1)
                One = Out.Bytes;
            else
                EXPECT_EQ(Out.Bytes, One) << "level " << Level << ", " << Threads << " threads";
        }
        std::string Error;
        EXPECT_TRUE(VerifyArchiveContents(One, Entries, &Error)) << Error;
    }
}

TEST(PackRoundTrip, LargeIncompressibleEntryIsStored)
{
    // The decision is made on the entry's head; the entry is larger than
    // the window and never enters it, so what comes after it matches t1.
    Bytes Text1 = Text(24, 60000);
    std::vector<PackEntry> Entries = {Entry("t1", Text1), Entry("big", Random(25, 5u << 20)),
                                      Entry("t2", Concat({Text(26, 500), Text1}))};
    PackSettings Settings;
    Settings.Level = 1;
    uint64_t LastDone = 0, LastTotal = 0;
    Settings.Progress = [&](uint64_t Done, uint64_t Total) {
        EXPECT_GE(Done, LastDone);
        LastDone = Done;
        LastTotal = Total;
    };
    PackStats Stats;
    MemoryOutput Out;
    std::string Error;
    ASSERT_TRUE(WriteArchive(Entries, Settings, Out, &Stats, &Error)) << Error;
    const Bytes& Archive = Out.Bytes;
    EXPECT_TRUE(Stats.Entries[1].Stored);
    EXPECT_LT(Stats.Entries[2].PackedBytes, 2000u);
    EXPECT_EQ(LastDone, LastTotal);
    EXPECT_EQ(LastTotal, 60000u + (5u << 20) + 60500u);
    EXPECT_TRUE(VerifyArchiveContents(Archive, Entries, &Error)) << Error;
}

TEST(PackRoundTrip, LongSolidStreamDropsOldHistory)
{
    // 12 MiB in 1 MiB entries, each ending with a copy of the part of the
    // entry before it that still lies within the window.
    std::vector<PackEntry> Entries;
    Bytes Previous;
    for (int I = 0; I < 12; I++) {
        Bytes Data = Records(200 + I, 700 * 1024);
        if (!Previous.empty()) Data.insert(Data.end(), Previous.end() - 300 * 1024, Previous.end());
        Data.resize(1 << 20, uint8_t(I));
        Entries.push_back(Entry("e" + std::to_string(I), Data));
        Previous = Data;
    }
    ExpectRoundTrip(Entries, 1, "12 MiB");
}

TEST(PackRoundTrip, LongInputsWrapTheWindow)
{
    // 2.5 MiB: pieces that come back from near the far end of the window,
    // long runs, and text.
    Bytes Base = Records(30, 600000);
    Bytes Far = Text(31, 300000);
    Bytes Data = Concat({Far, Base, Bytes(300000, 0x20), Random(32, 100000), Far,
                         Bytes(Base.begin(), Base.begin() + 400000), Text(33, 200000), Far});
    std::vector<PackEntry> Entries = {Entry("big.bin", Data),
                                      Entry("tail.bin", Bytes(Far.begin(), Far.begin() + 50000))};
    ExpectRoundTrip(Entries, 3, "2.5 MiB");
    ExpectRoundTrip(Entries, 1, "2.5 MiB");
}

TEST(PackRoundTrip, ManySmallFilesInOneSolidStream)
{
    std::vector<PackEntry> Entries;
    for (int I = 0; I < 300; I++) {
        std::string Head =
            "[Strings]\r\nCode=" + std::to_string(I) + "\r\nName=Language " + std::to_string(I * 7) + "\r\n";
        Bytes Data(Head.begin(), Head.end());
        Bytes More = Text(400 + I, 50 + I % 200);
        Data.insert(Data.end(), More.begin(), More.end());
        Entries.push_back(Entry("Data\\lang\\l" + std::to_string(I) + "\\strings.ini", Data));
    }
    ExpectRoundTrip(Entries, 3, "300 small files");
    ExpectRoundTrip(Entries, 5, "300 small files");
}

TEST(PackRoundTrip, AudioWithOneToFourChannelsAndModeSwitches)
{
    for (int Channels = 1; Channels <= 2; Channels++) {
        // 16-bit PCM: 2 or 4 byte channels. An odd header length puts the
        // samples out of line with the channel the decoder is at.
        Bytes Wav = Concat({Text(40, 45), Pcm16(Channels, 60000, Channels)});
        std::vector<PackEntry> Entries = {Entry("a.txt", Text(41, 3000)), Entry("b.wav", Wav),
                                          Entry("c.txt", Text(42, 3000)),
                                          Entry("d.wav", Pcm16(50 + Channels, 30000, Channels))};
        PackStats Stats;
        Bytes Archive = Pack(Entries, PackLevelDefault, &Stats);
        EXPECT_GT(Stats.Entries[1].AudioBytes, Wav.size() / 2) << "channels " << Channels;
        std::string Error;
        EXPECT_TRUE(VerifyArchiveContents(Archive, Entries, &Error)) << "channels " << Channels << ": " << Error;
    }
    // 8-bit samples with 1, 3 (like 24-bit pixels) and 4 channels, and a
    // switch to LZ and back inside one entry.
    std::mt19937 Rng(60);
    for (int Channels : {1, 3, 4}) {
        Bytes Samples;
        for (int I = 0; I < 200000; I++)
            Samples.push_back(uint8_t(128 + 60 * sin(I / Channels * (0.01 + 0.003 * (I % Channels))) + Rng() % 9));
        Bytes Mixed = Concat({Bytes(Samples.begin(), Samples.begin() + 140000), Text(61, 300000),
                              Bytes(Samples.begin() + 140000, Samples.end())});
        ExpectRoundTrip({Entry("s.raw", Samples), Entry("m.raw", Mixed)}, 3,
                        "8-bit channels " + std::to_string(Channels));
    }
}

TEST(PackRoundTrip, OutputIsDeterministic)
{
    std::vector<PackEntry> Entries = {Entry("a", Text(70, 50000)), Entry("b", Pcm16(71, 20000, 2)),
                                      Entry("c", Records(72, 40000))};
    for (int Level : {1, 3, 5}) EXPECT_EQ(Pack(Entries, Level), Pack(Entries, Level)) << "level " << Level;
}

TEST(PackArchive, HeadersAsTheStubExpects)
{
    std::vector<PackEntry> Entries = {Entry("Presetup\\Tarn.ini", Text(80, 3000)),
                                      Entry("Data\\r.bin", Random(81, 500)), Entry("Data\\t.txt", Text(82, 3000))};
    Bytes A = Pack(Entries, PackLevelDefault);
    const uint8_t Marker[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
    ASSERT_GT(A.size(), 20u);
    EXPECT_TRUE(std::equal(Marker, Marker + 7, A.begin()));
    EXPECT_EQ(A[9], 0x73);
    EXPECT_EQ(A[10] | A[11] << 8, 0x000C);
    // Walk the file headers.
    size_t Pos = 20;
    uint32_t Flags[3], Methods[3];
    for (int I = 0; I < 3; I++) {
        ASSERT_LT(Pos + 32, A.size());
        EXPECT_EQ(A[Pos + 2], 0x74);
        Flags[I] = A[Pos + 3] | A[Pos + 4] << 8;
        uint32_t HeadSize = A[Pos + 5] | A[Pos + 6] << 8;
        uint32_t Packed = A[Pos + 7] | A[Pos + 8] << 8 | A[Pos + 9] << 16 | uint32_t(A[Pos + 10]) << 24;
        EXPECT_EQ(A[Pos + 15], 2);  // Win32
        EXPECT_EQ(A[Pos + 24], 20); // version
        Methods[I] = A[Pos + 25];
        EXPECT_EQ(A[Pos + 28], 0x20);
        EXPECT_EQ(HeadSize, 32 + Entries[I].Name.size());
        Pos += HeadSize + Packed;
    }
    // The end block, readers stop there: type 0x7B, flags 0x4000, 7 bytes.
    ASSERT_EQ(Pos + 7, A.size());
    EXPECT_EQ(A[Pos + 2], 0x7B);
    EXPECT_EQ(A[Pos + 3] | A[Pos + 4] << 8, 0x4000);
    EXPECT_EQ(A[Pos + 5] | A[Pos + 6] << 8, 7);
    uint32_t Crc = ~Crc32Update(0xFFFFFFFFu, &A[Pos + 2], 5);
    EXPECT_EQ(A[Pos] | A[Pos + 1] << 8, int(Crc & 0xFFFF));
    EXPECT_EQ(Flags[0], 0x8080u);
    EXPECT_EQ(Flags[1], 0x8090u);
    EXPECT_EQ(Flags[2], 0x8090u);
    EXPECT_EQ(Methods[0], 0x35u);
    EXPECT_EQ(Methods[1], 0x30u);
    EXPECT_EQ(Methods[2], 0x35u);
    std::string Error;
    EXPECT_TRUE(VerifyArchiveBytes(A, nullptr, &Error)) << Error;
    A[A.size() - 7 - 3] ^= 0x55; // damage the last entry
    EXPECT_FALSE(VerifyArchiveBytes(A, nullptr, &Error));
    // Names the stub cannot hold are refused rather than written.
    PackSettings Settings;
    MemoryOutput Out;
    EXPECT_FALSE(WriteArchive({Entry(std::string(260, 'n'), {1})}, Settings, Out, nullptr, &Error));
    EXPECT_NE(Error.find("longer than 259 bytes"), std::string::npos) << Error;
    EXPECT_FALSE(WriteArchive({Entry("", {1})}, Settings, Out, nullptr, &Error));
    EXPECT_TRUE(WriteArchive({Entry(std::string(259, 'n'), {1})}, Settings, Out, nullptr, &Error)) << Error;
}

} // namespace
