// Round trips: archives written by the encoder, read back by the stub's reader
// and compared byte for byte. Inputs are generated from fixed seeds.
#include "ArchiveWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

using Bytes = std::vector<uint8_t>;

void ExpectRoundTrip(const std::vector<PackEntry>& Entries, int Level, const std::string& What)
{
    PackSettings Settings;
    Settings.Level = Level;
    PackStats Stats;
    Bytes Archive = WriteArchive(Entries, Settings, &Stats);
    std::string Error;
    EXPECT_TRUE(VerifyArchiveContents(Archive, Entries, &Error)) << What << " level " << Level << ": " << Error;
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
    static const char* Words[] = {"the ", "setup ", "program ", "installs ", "files ", "into ", "a ",
                                  "directory ", "of ", "your ", "choice", ".\r\n", "Windows ", "registry "};
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
    for (uint8_t& B : Out)
        B = uint8_t(Rng());
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

TEST(PackRoundTrip, SmallMixedEntries)
{
    std::vector<PackEntry> Entries = {Entry("Presetup\\Tarn.ini", Text(1, 3000)), Entry("Data\\empty.txt", {}),
                                      Entry("Data\\one.bin", {0x41}), Entry("Data\\text.txt", Text(2, 20000)),
                                      Entry("Data\\random.bin", Random(3, 5000)),
                                      Entry("Data\\again.txt", Text(2, 20000))};
    for (int Level = 1; Level <= 5; Level++)
        ExpectRoundTrip(Entries, Level, "mixed");
}

TEST(PackRoundTrip, Audio)
{
    for (int Channels = 1; Channels <= 2; Channels++) {
        std::vector<PackEntry> Entries = {Entry("a.txt", Text(4, 1000)),
                                          Entry("b.wav", Pcm16(Channels, 40000, Channels)),
                                          Entry("c.txt", Text(5, 1000))};
        ExpectRoundTrip(Entries, 3, "pcm" + std::to_string(Channels));
    }
}

} // namespace
