// The parse of one chunk: symbol costs, the greedy, lazy and optimal
// strategies, the audio trial. See ChunkParser.h.
#include "ChunkParser.h"

#include "Huffman.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Rar20 {

namespace {

constexpr uint32_t MinAudioChunk = 1024;           // audio tables cost too much below this
constexpr uint32_t AudioProbe = 16384;             // bytes a quick audio trial codes
constexpr uint32_t Segment = 4096;                 // the optimal parser's unit
constexpr float Unreachable = 1e30f;
constexpr size_t MaxCachedMatches = 4u << 20;      // bounds the optimal parser's cache
constexpr float MissingSymbolCost = 12.0f;         // a symbol the next table would have to add

const LevelConfig Levels[5] = {
    // Parse                     SearchDepth NiceLength GoodLength      CostPasses
    {&ChunkParser::ParseGreedy,  2,          16,        0,              1},
    {&ChunkParser::ParseLazy,    4,          32,        8,              1},
    {&ChunkParser::ParseLazy,    6,          48,        12,             1},
    {&ChunkParser::ParseOptimal, 16,         64,        MaxMatchLength, 1},
    {&ChunkParser::ParseOptimal, 64,         128,       MaxMatchLength, 2},
};

} // namespace

const LevelConfig& LevelConfigOf(int Level)
{
    return Levels[std::min(std::max(Level, 1), 5) - 1];
}

void SymbolCosts::SetDefaults()
{
    for (int S = 0; S < LiteralCount; S++)
        Literal[S] = S < 256 ? 8.0f : 7.0f;
    for (float& C : Dist)
        C = 5.0f;
    for (float& C : RepLen)
        C = 4.0f;
    AvgLiteral = 8.0f;
    FromTable = false;
}

void SymbolCosts::Update(const uint32_t* Freq, const uint8_t* Lengths)
{
    double LitBits = 0, LitCount = 0;
    for (int S = 0; S < LiteralCount; S++) {
        Literal[S] = Lengths[S] ? float(Lengths[S]) : MissingSymbolCost;
        if (S < 256) {
            LitBits += double(Freq[S]) * Literal[S];
            LitCount += Freq[S];
        }
    }
    for (int S = 0; S < DistCount; S++)
        Dist[S] = Lengths[LiteralCount + S] ? float(Lengths[LiteralCount + S]) : MissingSymbolCost;
    for (int S = 0; S < RepLenCount; S++)
        RepLen[S] = Lengths[LiteralCount + DistCount + S] ? float(Lengths[LiteralCount + DistCount + S]) : MissingSymbolCost;
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
        if (Coded)
            Coded->Tokens.push_back({uint32_t(Channel), 1, Delta});
        Channel = Channel + 1 == Channels ? 0 : Channel + 1;
    }
    return SelfBits(Channels, Freq, Lengths);
}

uint64_t Order0Bits(const uint8_t* Bytes, size_t Count)
{
    uint32_t Counts[256] = {};
    for (size_t I = 0; I < Count; I++)
        Counts[Bytes[I]]++;
    double Bits = 0;
    for (uint32_t C : Counts)
        if (C)
            Bits -= C * std::log2(C / double(Count));
    return uint64_t(Bits);
}

// Order0Bits of a stretch of the history, which may wrap around the ring.
static uint64_t HistoryOrder0Bits(const StreamHistory& History, uint32_t Start, uint32_t End)
{
    std::vector<uint8_t> Bytes(End - Start);
    for (uint32_t P = Start; P < End; P++)
        Bytes[P - Start] = History[P];
    return Order0Bits(Bytes.data(), Bytes.size());
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
{
}

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
    if (Pos >= End)
        return Best;
    Finder.Prefetch(Pos + 1); // the lazy look one byte on, or the next literal
    uint32_t MaxLength = std::min<uint32_t>(MaxMatchLength, End - Pos);
    if (MaxLength < 2)
        return Best;
    const uint8_t* Cur = History.At(Pos);
    for (int I = 0; I < 4; I++) {
        uint32_t Dist = Reps.Rep[(Reps.Counter + 3 - I) & 3];
        if (Dist == 0)
            continue;
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
            Consider(&Best, 2, Pair, uint16_t(SymShortFirst + Slot), Costs.Literal[SymShortFirst + Slot] + ShortDistBits[Slot]);
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
    if (Total >= B.Cost)
        return;
    B.Cost = Total;
    B.From = From;
    B.Len = uint16_t(Len);
    B.Dist = Dist;
    B.Sym = Sym;
    B.Reps = A.Reps;
    if (Dist != 0)
        B.Reps.Push(Len, Dist);
}

// The matches FindAll gives at Pos, searched once per chunk: the cost
// passes of the optimal parser visit the same positions again.
int ChunkParser::FindAllCached(uint32_t Pos, uint32_t MaxLength, uint32_t* Lengths, uint32_t* Distances)
{
    uint32_t Index = Pos - CacheStart;
    if (Index < CacheIndex.size() && CacheIndex[Index] != 0) {
        const uint32_t* Pair = &CachePool[CacheIndex[Index] - 1];
        for (int K = 0; K < CacheCount[Index]; K++) {
            Lengths[K] = Pair[2 * K];
            Distances[K] = Pair[2 * K + 1];
        }
        return CacheCount[Index];
    }
    int Found = Finder.FindAll(Pos, MaxLength, Config.SearchDepth, Config.NiceLength, Lengths, Distances, 64);
    if (Index < CacheIndex.size() && CachePool.size() < 2 * MaxCachedMatches) {
        CacheIndex[Index] = uint32_t(CachePool.size()) + 1;
        CacheCount[Index] = uint8_t(Found);
        for (int K = 0; K < Found; K++) {
            CachePool.push_back(Lengths[K]);
            CachePool.push_back(Distances[K]);
        }
    }
    return Found;
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
        for (uint32_t I = 0; I <= Count; I++)
            Nodes[I].Cost = Unreachable;
        Nodes[0].Cost = 0;
        Nodes[0].Reps = Reps;
        uint32_t SkipUntil = 0;
        for (uint32_t I = 0; I < Count; I++) {
            uint32_t Pos = SegStart + I;
            if (I < SkipUntil || Nodes[I].Cost >= Unreachable)
                continue;
            const RepState N = Nodes[I].Reps;
            const uint8_t* Cur = History.At(Pos);
            Relax(I, I + 1, Costs.Literal[Cur[0]], 1, 0, Cur[0]);
            uint32_t MaxLength = std::min<uint32_t>(MaxMatchLength, SegEnd - Pos);
            if (MaxLength < 2)
                continue;
            uint32_t Longest = 0;
            for (int R = 0; R < 4; R++) {
                uint32_t Dist = N.Rep[(N.Counter + 3 - R) & 3];
                if (Dist == 0)
                    continue;
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
            int Found = FindAllCached(Pos, MaxLength, Lengths, Distances);
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
            if (Longest >= Config.NiceLength)
                SkipUntil = I + Longest;
        }
        // Walk the cheapest path back, then replay it forwards.
        std::vector<uint32_t> Path;
        for (uint32_t I = Count; I > 0; I = Nodes[I].From)
            Path.push_back(I);
        for (size_t K = Path.size(); K-- > 0;) {
            const PathNode& N = Nodes[Path[K]];
            if (N.Dist == 0) {
                C->Tokens.push_back({0, 1, N.Sym});
            } else {
                Candidate M;
                M.Length = N.Len;
                M.Distance = N.Dist;
                M.Sym = N.Sym;
                PushMatch(C, M);
            }
        }
        SegStart = SegEnd;
    }
}

// A trial parse of the chunk whose symbol statistics (with those of the open
// block) become the costs of the real parse. The recent distances are put back.
void ChunkParser::RefineCosts(uint32_t Start, uint32_t End)
{
    RepState Saved = Reps;
    Chunk Trial;
    (this->*Config.Parse)(Start, End, &Trial);
    for (const Token& T : Trial.Tokens)
        AddTokenStats(ModeLz, T, Trial.Freq.data(), &Trial.ExtraBits);
    if (Context->PendingMode == ModeLz && Context->PendingHasBytes)
        for (int I = 0; I < MaxTableSize; I++)
            Trial.Freq[I] += Context->PendingFreq[I];
    uint8_t Lengths[MaxTableSize];
    BuildTableLengths(ModeLz, Trial.Freq.data(), Lengths);
    Costs.Update(Trial.Freq.data(), Lengths);
    Reps = Saved;
}

// ---- audio ----

// True when the chunk repeats much of what came before it (a copy of an
// earlier file): LZ is then worth trying even where audio looks good.
bool ChunkParser::RepeatsEarlierData(uint32_t Start, uint32_t End) const
{
    constexpr int Samples = 32;
    constexpr uint32_t LongMatch = 64;
    if (End - Start < 2 * MaxMatchLength)
        return false;
    int Hits = 0;
    uint32_t Step = (End - Start - MaxMatchLength) / Samples;
    for (int I = 0; I < Samples; I++) {
        uint32_t Len, Dist;
        Finder.FindLongest(Start + I * Step, MaxMatchLength, 16, LongMatch, &Len, &Dist);
        Hits += Len >= LongMatch ? 1 : 0;
    }
    return Hits >= Samples / 8;
}

// Channel counts worth a full audio trial, as bits 1 << N. A quick look at
// the chunk's head picks the best count, or none when no count gets well
// below an order-0 code (binaries, text); small chunks try all.
int ChunkParser::AudioCandidates(uint32_t Start, uint32_t End) const
{
    if (End - Start < 2 * AudioProbe)
        return 0x1E;
    uint64_t Plain = HistoryOrder0Bits(History, Start, Start + AudioProbe);
    uint8_t Lengths[MaxTableSize];
    uint64_t Best = UINT64_MAX;
    int BestN = 0;
    for (int N = 1; N <= MaxChannels; N++) {
        AudioState Trial = Context->Audio;
        int Channel = 0;
        uint64_t Bits = CodeAudio(History, Start, Start + AudioProbe, N, Channel, Trial, Lengths, nullptr);
        if (Bits < Best) {
            Best = Bits;
            BestN = N;
        }
    }
    return Best * 10 < Plain * 9 || Context->LastMode > ModeLz ? 1 << BestN : 0;
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
    Plan->PlainBits = HistoryOrder0Bits(History, Start, End);
    int Candidates = Size >= MinAudioChunk && Plan->PlainBits > uint64_t(Size) * 3 ? AudioCandidates(Start, End) : 0;
    uint64_t BestEstimate = UINT64_MAX;
    for (int N = 1; N <= MaxChannels; N++) {
        if (!(Candidates & (1 << N)))
            continue;
        // Line the channels up with the entry's start (sample frames usually
        // are): a few bytes go as LZ literals if they are not.
        int Channel = Snapshot.Channel < N ? Snapshot.Channel : 0;
        uint32_t Shift = uint32_t(((Channel - int((Start - EntryStart) % N)) % N + N) % N);
        AudioState Trial = Snapshot.Audio;
        uint64_t Bits = CodeAudio(History, Start + Shift, End, N, Channel, Trial, Lengths, nullptr);
        uint64_t Table = TableBits(N, Lengths);
        uint64_t Estimate = Bits + (Snapshot.LastMode != N ? Table : 0) +
                            (Shift > 0 ? Shift * 9 + (Snapshot.LastMode != ModeLz ? 600 : 0) : 0);
        if (Estimate < BestEstimate) {
            BestEstimate = Estimate;
            Plan->AudioMode = N;
            Plan->AudioBits = Bits;
            Plan->AudioTableBits = Table;
        }
    }
    if (Plan->AudioMode && BestEstimate * 5 < Plan->PlainBits * 4 && !RepeatsEarlierData(Start, End))
        return;

    Plan->HaveLz = true;
    if (Config.CostPasses > 1) {
        CacheStart = Start;
        CacheIndex.assign(Size, 0);
        CacheCount.assign(Size, 0);
        CachePool.clear();
    }
    for (int Pass = 1; Pass < Config.CostPasses; Pass++)
        RefineCosts(Start, End);
    (this->*Config.Parse)(Start, End, &Plan->Lz);
    CacheIndex.clear();
    Chunk& Lz = Plan->Lz;
    for (const Token& T : Lz.Tokens)
        AddTokenStats(ModeLz, T, Lz.Freq.data(), &Lz.ExtraBits);
    Lz.ByteTokens = Lz.Tokens.size();
    Plan->LzBits = SelfBits(ModeLz, Lz.Freq.data(), Lengths) + Lz.ExtraBits;
    Plan->LzTableBits = TableBits(ModeLz, Lengths);
}

} // namespace Rar20
