// The parse of one chunk: symbol costs, the greedy, lazy and optimal
// strategies, the audio trial. See ChunkParser.h.
#include "ChunkParser.h"

#include "Huffman.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Rar20 {

namespace {

constexpr uint32_t MinAudioChunk = 1024; // audio tables cost too much below this
constexpr uint32_t AudioProbe = 4096;    // bytes the look for sampled sound takes
constexpr uint32_t Segment = 4096;       // the optimal parser's unit
constexpr float Unreachable = 1e30f;
constexpr float MissingSymbolCost = 12.0f; // a symbol the next table would have to add

// Small chunks let the coding follow the data: speech switches between audio
// (voice) and LZ (silence), binaries between tables for code and for data.
// On the bench corpus, 16 KiB instead of 128 KiB chunks make level 3 1.2 %
// smaller at no cost in time, the search being shallower; the optimal
// levels gain 2.5 % with 8 KiB chunks. Measured so, not reasoned.
const LevelConfig Levels[5] = {
    // Parse                     SearchDepth NiceLength GoodLength      ChunkSize
    {&ChunkParser::ParseGreedy, 2, 16, 0, MaxChunkSize},
    {&ChunkParser::ParseGreedy, 2, 16, 0, 16 * 1024},
    {&ChunkParser::ParseLazy, 4, 32, 8, 16 * 1024},
    {&ChunkParser::ParseOptimal, 16, 64, MaxMatchLength, 8 * 1024},
    {&ChunkParser::ParseOptimal, 32, 128, MaxMatchLength, 8 * 1024},
};

} // namespace

const LevelConfig& LevelConfigOf(int Level) { return Levels[std::min(std::max(Level, 1), 5) - 1]; }

void SymbolCosts::SetDefaults()
{
    for (int S = 0; S < LiteralCount; S++) Literal[S] = S < 256 ? 8.0f : 7.0f;
    for (float& C : Dist) C = 5.0f;
    for (float& C : RepLen) C = 4.0f;
    AvgLiteral = 8.0f;
    FromTable = false;
}

void SymbolCosts::Update(const uint32_t* Freq, const uint8_t* Lengths)
{
    double LitBits = 0, LitCount = 0;
    auto Cost = [&](int Index) { return Lengths[Index] ? float(Lengths[Index]) : MissingSymbolCost; };
    for (int S = 0; S < LiteralCount; S++) {
        Literal[S] = Cost(S);
        if (S < 256) {
            LitBits += double(Freq[S]) * Literal[S];
            LitCount += Freq[S];
        }
    }
    for (int S = 0; S < DistCount; S++) Dist[S] = Cost(LiteralCount + S);
    for (int S = 0; S < RepLenCount; S++) RepLen[S] = Cost(LiteralCount + DistCount + S);
    AvgLiteral = LitCount > 0 ? float(LitBits / LitCount) : 8.0f;
    FromTable = true;
}

uint64_t TableBits(int Mode, const uint8_t* Lengths)
{
    TablePlan Plan;
    PlanTable(Mode, Lengths, Lengths, 0, 1, &Plan);
    return Plan.Bits + 8; // the switch symbol
}

uint64_t SelfBits(int Mode, const uint32_t* Freq, uint8_t* Lengths)
{
    BuildTableLengths(Mode, Freq, Lengths);
    return CodedBits(Freq, Lengths, TableSize(Mode));
}

uint64_t CodeAudio(const StreamHistory& History, uint32_t Start, uint32_t End, int Channels, int& Channel,
                   AudioState& State, uint8_t* Lengths, Chunk* Coded)
{
    std::vector<uint32_t> Counts;
    uint32_t* Freq;
    if (Coded) {
        Coded->Mode = Channels;
        Coded->Tokens.reserve(Coded->Tokens.size() + (End - Start));
        Coded->ByteTokens += End - Start;
        Freq = Coded->Freq.data();
    } else {
        Counts.assign(MaxTableSize, 0);
        Freq = Counts.data();
    }
    for (uint32_t P = Start; P < End; P++) {
        uint8_t Delta = AudioEncodeByte(&State.Channels[Channel], &State.ChannelDelta, History[P]);
        Freq[AudioCount * Channel + Delta]++;
        if (Coded) Coded->Tokens.push_back({uint32_t(Channel), 1, Delta});
        Channel = Channel + 1 == Channels ? 0 : Channel + 1;
    }
    return SelfBits(Channels, Freq, Lengths);
}

uint32_t AudioLead(int Channels, int& Channel, uint32_t Start, uint32_t EntryStart, int LastMode, uint64_t& LeadBits)
{
    if (Channel >= Channels) Channel = 0;
    uint32_t Shift = uint32_t(((Channel - int((Start - EntryStart) % Channels)) % Channels + Channels) % Channels);
    LeadBits = Shift > 0 ? Shift * 9 + (LastMode != ModeLz ? 600 : 0) : 0;
    return Shift;
}

void Chunk::CountLz()
{
    for (const Token& T : Tokens) AddTokenStats(ModeLz, T, Freq.data(), &ExtraBits);
    ByteTokens = Tokens.size();
}

// N log2 N, from a table for the small counts that most histograms hold.
static double NLog2N(uint32_t N)
{
    constexpr uint32_t TableSize = 1 << 15;
    static const std::vector<float> Table = [] {
        std::vector<float> Values(TableSize, 0.0f);
        for (uint32_t I = 1; I < TableSize; I++) Values[I] = float(I * std::log2(double(I)));
        return Values;
    }();
    return N < TableSize ? Table[N] : N * std::log2(double(N));
}

// Bits of bytes with these 256 counts under an ideal order-0 code: the sum of
// -c log2(c / total) over the counts, as total log2 total - sum c log2 c.
static uint64_t EntropyBits(const uint32_t* Counts)
{
    uint32_t Total = 0;
    double Sum = 0;
    for (int B = 0; B < 256; B++) {
        Total += Counts[B];
        Sum += NLog2N(Counts[B]);
    }
    double Bits = NLog2N(Total) - Sum;
    return Bits > 0 ? uint64_t(Bits) : 0;
}

uint64_t Order0Bits(const uint8_t* Bytes, size_t Count)
{
    uint32_t Counts[256] = {};
    for (size_t I = 0; I < Count; I++) Counts[Bytes[I]]++;
    return EntropyBits(Counts);
}

// Order0Bits of a stretch of the history.
static uint64_t HistoryOrder0Bits(const StreamHistory& History, uint32_t Start, uint32_t End)
{
    uint32_t Counts[256] = {};
    for (uint32_t P = Start; P < End; P++) Counts[History[P]]++;
    return EntropyBits(Counts);
}

void ChunkParser::RepState::Push(uint32_t Length, uint32_t Distance)
{
    Rep[Counter & 3] = Distance;
    Counter++;
    LastLength = Length;
    LastDistance = Distance;
}

ChunkParser::ChunkParser(const LevelConfig& Config, const StreamHistory& History, const MatchFinder& Finder)
    : Config(Config), History(History), Finder(Finder), Nodes(Segment + 1)
{}

// ---- greedy and lazy ----

void ChunkParser::Consider(Candidate* Best, uint32_t Length, uint32_t Distance, uint16_t Sym, float Cost) const
{
    float Score = float(Length) * Costs.AvgLiteral - Cost;
    if (Score > Best->Score) {
        Best->Score = Score;
        Best->Length = Length;
        Best->Distance = Distance;
        Best->Sym = Sym;
    }
}

// The match at Pos that saves most bits against literals: a recent distance,
// the last match again, a new match or a short one.
ChunkParser::Candidate ChunkParser::FindCandidate(uint32_t Pos, uint32_t End) const
{
    Candidate Best;
    if (Pos >= End) return Best;
    if (Pos + 1 < End)            // past the chunk the main thread may be inserting
        Finder.Prefetch(Pos + 1); // the lazy look one byte on, or the next literal
    uint32_t MaxLength = std::min<uint32_t>(MaxMatchLength, End - Pos);
    if (MaxLength < 2) return Best;
    const uint8_t* Cur = History.At(Pos);
    for (int I = 0; I < 4; I++) {
        uint32_t Dist = Reps.Rep[(Reps.Counter + 3 - I) & 3];
        if (Dist == 0) continue;
        uint32_t Len = CommonLength(Cur, History.At(Pos - Dist), MaxLength);
        if (I == 0 && Reps.LastLength >= 2 && Dist == Reps.LastDistance && Len >= Reps.LastLength)
            Consider(&Best, Reps.LastLength, Dist, SymRepeatLast, Costs.Literal[SymRepeatLast]);
        uint32_t MinLen = MinRecentMatch + RecentMatchBonus(Dist);
        if (Len >= MinLen) {
            int Slot = LengthSlotOf(Len - MinLen);
            Consider(&Best, Len, Dist, uint16_t(SymRecentFirst + I),
                     Costs.Literal[SymRecentFirst + I] + Costs.RepLen[Slot] + LengthBits[Slot]);
        }
    }
    uint32_t Len, Dist;
    Finder.FindLongest(Pos, MaxLength, Config.SearchDepth, Config.NiceLength, &Len, &Dist);
    if (Len > 0 && Len > Best.Length) {
        int Slot = LengthSlotOf(Len - MinNewMatch - NewMatchBonus(Dist));
        int DSlot = DistSlot(Dist);
        Consider(&Best, Len, Dist, uint16_t(SymMatchFirst + Slot),
                 Costs.Literal[SymMatchFirst + Slot] + LengthBits[Slot] + Costs.Dist[DSlot] + DistBits[DSlot]);
    }
    if (Best.Length < 3) {
        uint32_t Pair = Finder.PairDistance(Pos);
        if (Pair > 0 && Pair <= MaxShortDistance) {
            int Slot = ShortSlotOf(Pair - 1);
            Consider(&Best, 2, Pair, uint16_t(SymShortFirst + Slot),
                     Costs.Literal[SymShortFirst + Slot] + ShortDistBits[Slot]);
        }
    }
    return Best;
}

void ChunkParser::PushMatch(Chunk* C, const Candidate& Match)
{
    C->Tokens.push_back({Match.Distance, uint16_t(Match.Length), Match.Sym});
    Reps.Push(Match.Length, Match.Distance);
}

// The best match at each position, taken at once.
void ChunkParser::ParseGreedy(uint32_t Start, uint32_t End, Chunk* C)
{
    for (uint32_t Pos = Start; Pos < End;) {
        Candidate Cur = FindCandidate(Pos, End);
        if (Cur.Length == 0) {
            C->Tokens.push_back({0, 1, History[Pos++]});
        } else {
            PushMatch(C, Cur);
            Pos += Cur.Length;
        }
    }
}

// The best match at each position, unless the next position has a clearly
// better one: then this byte goes as a literal.
void ChunkParser::ParseLazy(uint32_t Start, uint32_t End, Chunk* C)
{
    uint32_t Pos = Start;
    Candidate Cur = FindCandidate(Pos, End);
    while (Pos < End) {
        if (Cur.Length == 0) {
            C->Tokens.push_back({0, 1, History[Pos++]});
            Cur = FindCandidate(Pos, End);
            continue;
        }
        if (Cur.Length < Config.GoodLength && Pos + 1 < End) {
            Candidate Next = FindCandidate(Pos + 1, End);
            if (Next.Score > Cur.Score + 0.5f) {
                C->Tokens.push_back({0, 1, History[Pos++]});
                Cur = Next;
                continue;
            }
        }
        PushMatch(C, Cur);
        Pos += Cur.Length;
        Cur = FindCandidate(Pos, End);
    }
}

// ---- optimal parsing ----

void ChunkParser::Relax(uint32_t From, uint32_t To, float Cost, uint32_t Len, uint32_t Dist, uint16_t Sym)
{
    const PathNode& A = Nodes[From];
    PathNode& B = Nodes[To];
    float Total = A.Cost + Cost;
    if (Total >= B.Cost) return;
    B.Cost = Total;
    B.From = From;
    B.Len = uint16_t(Len);
    B.Dist = Dist;
    B.Sym = Sym;
    B.Reps = A.Reps;
    if (Dist != 0) B.Reps.Push(Len, Dist);
}

// Cheapest token sequence under the current symbol costs, found segment by
// segment; a match as long as NiceLength is taken at once, which keeps long
// repeats fast.
void ChunkParser::ParseOptimal(uint32_t Start, uint32_t End, Chunk* C)
{
    uint32_t Lengths[64], Distances[64];
    for (uint32_t SegStart = Start; SegStart < End;) {
        uint32_t SegEnd = std::min(End, SegStart + Segment);
        uint32_t Count = SegEnd - SegStart;
        for (uint32_t I = 0; I <= Count; I++) Nodes[I].Cost = Unreachable;
        Nodes[0].Cost = 0;
        Nodes[0].Reps = Reps;
        uint32_t SkipUntil = 0;
        for (uint32_t I = 0; I < Count; I++) {
            uint32_t Pos = SegStart + I;
            if (I < SkipUntil || Nodes[I].Cost >= Unreachable) continue;
            const RepState N = Nodes[I].Reps;
            const uint8_t* Cur = History.At(Pos);
            Relax(I, I + 1, Costs.Literal[Cur[0]], 1, 0, Cur[0]);
            uint32_t MaxLength = std::min<uint32_t>(MaxMatchLength, SegEnd - Pos);
            if (MaxLength < 2) continue;
            uint32_t Longest = 0;
            for (int R = 0; R < 4; R++) {
                uint32_t Dist = N.Rep[(N.Counter + 3 - R) & 3];
                if (Dist == 0) continue;
                uint32_t Len = CommonLength(Cur, History.At(Pos - Dist), MaxLength);
                Longest = std::max(Longest, Len);
                if (R == 0 && N.LastLength >= 2 && Dist == N.LastDistance && Len >= N.LastLength)
                    Relax(I, I + N.LastLength, Costs.Literal[SymRepeatLast], N.LastLength, Dist, SymRepeatLast);
                uint32_t MinLen = MinRecentMatch + RecentMatchBonus(Dist);
                for (uint32_t L = MinLen; L <= Len; L++) {
                    int Slot = LengthSlotOf(L - MinLen);
                    Relax(I, I + L, Costs.Literal[SymRecentFirst + R] + Costs.RepLen[Slot] + LengthBits[Slot], L, Dist,
                          uint16_t(SymRecentFirst + R));
                }
            }
            int Found = Finder.FindAll(Pos, MaxLength, Config.SearchDepth, Config.NiceLength, Lengths, Distances, 64);
            uint32_t Covered = 0;
            for (int K = 0; K < Found; K++) {
                uint32_t Dist = Distances[K];
                int DSlot = DistSlot(Dist);
                float DistPart = Costs.Dist[DSlot] + DistBits[DSlot];
                uint32_t MinLen = MinNewMatch + NewMatchBonus(Dist);
                for (uint32_t L = std::max(Covered + 1, MinLen); L <= Lengths[K]; L++) {
                    int Slot = LengthSlotOf(L - MinLen);
                    Relax(I, I + L, Costs.Literal[SymMatchFirst + Slot] + LengthBits[Slot] + DistPart, L, Dist,
                          uint16_t(SymMatchFirst + Slot));
                }
                Covered = Lengths[K];
                Longest = std::max(Longest, Lengths[K]);
            }
            uint32_t Pair = Finder.PairDistance(Pos);
            if (Pair > 0 && Pair <= MaxShortDistance) {
                int Slot = ShortSlotOf(Pair - 1);
                Relax(I, I + 2, Costs.Literal[SymShortFirst + Slot] + ShortDistBits[Slot], 2, Pair,
                      uint16_t(SymShortFirst + Slot));
            }
            if (Longest >= Config.NiceLength) SkipUntil = I + Longest;
        }
        // Walk the cheapest path back, then replay it forwards.
        std::vector<uint32_t> Path;
        for (uint32_t I = Count; I > 0; I = Nodes[I].From) Path.push_back(I);
        for (size_t K = Path.size(); K-- > 0;) {
            const PathNode& N = Nodes[Path[K]];
            if (N.Dist == 0) {
                C->Tokens.push_back({0, 1, N.Sym});
            } else {
                PushMatch(C, {0, N.Len, N.Dist, N.Sym});
            }
        }
        SegStart = SegEnd;
    }
}

// ---- audio ----

// True when the chunk repeats much of what came before it (a copy of an
// earlier file): LZ is then worth trying even where audio looks good.
bool ChunkParser::RepeatsEarlierData(uint32_t Start, uint32_t End) const
{
    constexpr int Samples = 32;
    constexpr uint32_t LongMatch = 64;
    if (End - Start < 2 * MaxMatchLength) return false;
    int Hits = 0;
    uint32_t Step = (End - Start - MaxMatchLength) / Samples;
    for (int I = 0; I < Samples; I++) {
        uint32_t Len, Dist;
        Finder.FindLongest(Start + I * Step, MaxMatchLength, 16, LongMatch, &Len, &Dist);
        Hits += Len >= LongMatch ? 1 : 0;
    }
    return Hits >= Samples / 8;
}

// The channel count worth a full audio trial, as bit 1 << N (0: none).
// Sampled sound changes little from one sample to the next: where the
// differences of bytes N apart are clearly cheaper than the bytes themselves,
// N interleaved channels are likely (binaries and text show no such N). A
// look at the chunk's head, far cheaper than running the predictor.
int ChunkParser::AudioCandidates(uint32_t Start, uint32_t End) const
{
    uint32_t Probe = std::min(End - Start, AudioProbe);
    uint32_t Plain[256] = {}, Differences[MaxChannels][256] = {};
    for (uint32_t P = Start + MaxChannels; P < Start + Probe; P++) {
        uint8_t Byte = History[P];
        Plain[Byte]++;
        for (int N = 1; N <= MaxChannels; N++) Differences[N - 1][uint8_t(Byte - History[P - N])]++;
    }
    uint64_t PlainBits = EntropyBits(Plain), Best = UINT64_MAX;
    int BestN = 0;
    for (int N = 1; N <= MaxChannels; N++) {
        uint64_t Bits = EntropyBits(Differences[N - 1]);
        if (Bits < Best) {
            Best = Bits;
            BestN = N;
        }
    }
    return Best < PlainBits || Context->LastMode > ModeLz ? 1 << BestN : 0;
}

void ChunkParser::Run(const ParseContext& Snapshot, uint32_t Start, uint32_t End, uint32_t EntryStart, ChunkPlan* Plan)
{
    Context = &Snapshot;
    Costs = Snapshot.Costs;
    Reps = RepState();
    uint32_t Size = End - Start;
    uint8_t Lengths[MaxTableSize];

    // Audio first: its trial is cheap, and where it clearly beats an order-0
    // code of the bytes, LZ cannot win and is not tried.
    uint64_t PlainBits = HistoryOrder0Bits(History, Start, End); // the bytes under an ideal order-0 code
    int Candidates = Size >= MinAudioChunk && PlainBits > uint64_t(Size) * 3 ? AudioCandidates(Start, End) : 0;
    uint64_t BestEstimate = UINT64_MAX;
    for (int N = 1; N <= MaxChannels; N++) {
        if (!(Candidates & (1 << N))) continue;
        int Channel = Snapshot.Channel;
        uint64_t LeadBits;
        uint32_t Shift = AudioLead(N, Channel, Start, EntryStart, Snapshot.LastMode, LeadBits);
        AudioState Trial = Snapshot.Audio;
        uint64_t Bits = CodeAudio(History, Start + Shift, End, N, Channel, Trial, Lengths, nullptr);
        uint64_t Table = TableBits(N, Lengths);
        uint64_t Estimate = Bits + (Snapshot.LastMode != N ? Table : 0) + LeadBits;
        if (Estimate < BestEstimate) {
            BestEstimate = Estimate;
            Plan->AudioMode = N;
            Plan->AudioBits = Bits;
            Plan->AudioTableBits = Table;
        }
    }
    if (Plan->AudioMode && BestEstimate * 5 < PlainBits * 4 && !RepeatsEarlierData(Start, End)) return;

    Plan->HaveLz = true;
    (this->*Config.Parse)(Start, End, &Plan->Lz);
    Plan->Lz.CountLz();
    Plan->LzBits = SelfBits(ModeLz, Plan->Lz.Freq.data(), Lengths) + Plan->Lz.ExtraBits;
}

} // namespace Rar20
