// RAR 2.0 encoder: the parser. The input is handled in chunks (a part of one
// entry each): a chunk whose bytes look like samples is tried in audio mode
// with 1 to 4 channels, and parsed as LZ unless audio clearly wins; the
// cheaper coding is kept. Chunks of the same mode are merged into blocks while
// one code table serves them better than two. Blocks go to the emitter
// (Rar20Blocks.h), which writes the per-entry bit streams.
#include "Rar20Encoder.h"

#include "Huffman.h"
#include "MatchFinder.h"
#include "Rar20Blocks.h"
#include "Rar20Format.h"
#include "ArcFormat.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <stdexcept>

using namespace Rar20;

namespace {

constexpr uint32_t ChunkSize = 128 * 1024; // unit of the LZ/audio decision
constexpr uint32_t MinAudioChunk = 1024;   // audio tables cost too much below this
constexpr uint32_t StoreTrialBytes = 4u << 20; // an entry compressible this far is never stored
constexpr size_t MaxBlockTokens = 4u << 20;    // bounds the memory a block holds
constexpr uint32_t SmallChunk = 2048;      // always shares the current table
// ---- the parser ----

constexpr uint32_t TailInsert = 16;

class Encoder;
struct Chunk;
// A parse strategy: the tokens for the bytes from Start to End.
using ParseFunction = void (Encoder::*)(uint32_t Start, uint32_t End, Chunk* C);

// How a level parses: its strategy and the limits of its match search.
struct LevelConfig {
    ParseFunction Parse;  // greedy, lazy or optimal
    int SearchDepth;      // hash-chain steps per match search
    uint32_t NiceLength;  // a match this long ends the search (optimal: and is taken at once)
    uint32_t GoodLength;  // lazy: a match this long is taken without looking one byte on
    uint32_t SkipLength;  // greedy, lazy: the inside of a match this long is not searched
    int CostPasses;       // optimal: parses of each chunk, each with the costs the last one found
};

// Levels 1..5, defined after the encoder whose strategies they name.
extern const LevelConfig LevelConfigs[5];

struct Chunk {
    int Mode = ModeLz;
    std::vector<Token> Tokens;
    std::vector<uint32_t> Freq = std::vector<uint32_t>(MaxTableSize, 0);
    uint64_t ExtraBits = 0;
    uint64_t ByteTokens = 0;
    uint64_t EstimatedBits = 0;
};

// What the decoder carries from symbol to symbol that the parse depends on.
struct ParseState {
    uint32_t Rep[4] = {};
    uint32_t RepCounter = 0;
    uint32_t LastLength = 0, LastDistance = 0;
    AudioState Audio = {};
    int CurrentChannel = 0; // of the next audio byte
    int LastMode = -1; // mode of the last chunk handed to the blocks
};

struct Candidate {
    float Score = 0; // bits saved against coding the bytes as literals
    uint32_t Length = 0, Distance = 0;
    uint16_t Sym = 0;
};

class Encoder {
public:
    Encoder(int Level, std::vector<EncodedEntry>* Out, EncoderReport* Report)
        : Config(LevelConfigs[std::min(std::max(Level, 1), 5) - 1]), Out(Out), Emitter(Out, Report)
    {
        SetDefaultCosts();
    }

    void AddEntry(uint32_t Index, const std::vector<uint8_t>& Data, const std::function<void(uint64_t)>& Progress,
                  uint64_t* Done)
    {
        if (Data.empty()) {
            AddEntryEnd(Index);
            return;
        }
        DropOldHistory();
        bool MayStore = Index > 0;
        ParseState Saved = State;
        uint32_t Start = uint32_t(Stream.size());
        Stream.insert(Stream.end(), Data.begin(), Data.end());
        uint32_t End = uint32_t(Stream.size());
        std::vector<Chunk> Held;
        uint64_t HeldBits = 0;
        bool Committed = !MayStore;
        bool GiveUp = false;
        for (uint32_t S = Start; S < End; S += ChunkSize) {
            uint32_t E = std::min(End, S + ChunkSize);
            std::vector<Chunk> Parts;
            ParseChunk(S, E, Start, &Parts);
            for (Chunk& C : Parts) {
                if (Committed) {
                    Feed(std::move(C));
                } else {
                    HeldBits += C.EstimatedBits;
                    Held.push_back(std::move(C));
                }
            }
            *Done += E - S;
            if (Progress)
                Progress(*Done);
            if (!Committed && E - Start >= StoreTrialBytes && E < End) {
                if (HeldBits / 8 < uint64_t(E - Start) * 98 / 100) {
                    Committed = true;
                    for (Chunk& C : Held)
                        Feed(std::move(C));
                    Held.clear();
                } else {
                    GiveUp = true;
                    *Done += End - E;
                    break;
                }
            }
        }
        if (!Committed && (GiveUp || HeldBits / 8 + 1 >= Data.size())) {
            State = Saved;
            Finder.RollBack(Stream.data(), Start);
            Stream.resize(Start);
            (*Out)[Index].Stored = true;
            (*Out)[Index].Packed = Data;
            return;
        }
        for (Chunk& C : Held)
            Feed(std::move(C));
        AddEntryEnd(Index);
    }

    void Finish()
    {
        if (HavePending)
            Flush();
    }

private:
    // Keeps the history buffer from growing with the whole payload: what lies
    // more than a window back can never be matched again.
    void DropOldHistory()
    {
        constexpr uint32_t KeepSlack = 8 * ArcWindowSize;
        if (Stream.size() < ArcWindowSize + KeepSlack)
            return;
        uint32_t Delta = uint32_t((Stream.size() - ArcWindowSize) / ArcWindowSize * ArcWindowSize);
        Stream.erase(Stream.begin(), Stream.begin() + Delta);
        Finder.Rebase(Delta);
    }

    // ---- LZ ----

    void SetDefaultCosts()
    {
        for (int S = 0; S < LiteralCount; S++)
            LitCost[S] = S < 256 ? 8.0f : 7.0f;
        for (float& C : DistCost)
            C = 5.0f;
        for (float& C : RepLenCost)
            C = 4.0f;
        AvgLiteral = 8.0f;
    }

    void UpdateCosts(const uint32_t* Freq, const uint8_t* Lengths)
    {
        const float Missing = 12.0f; // a symbol the next table would have to add
        double LitBits = 0, LitCount = 0;
        for (int S = 0; S < LiteralCount; S++) {
            LitCost[S] = Lengths[S] ? float(Lengths[S]) : Missing;
            if (S < 256) {
                LitBits += double(Freq[S]) * LitCost[S];
                LitCount += Freq[S];
            }
        }
        for (int S = 0; S < DistCount; S++)
            DistCost[S] = Lengths[LiteralCount + S] ? float(Lengths[LiteralCount + S]) : Missing;
        for (int S = 0; S < RepLenCount; S++)
            RepLenCost[S] = Lengths[LiteralCount + DistCount + S] ? float(Lengths[LiteralCount + DistCount + S]) : Missing;
        AvgLiteral = LitCount > 0 ? float(LitBits / LitCount) : 8.0f;
    }

    void Consider(Candidate* Best, uint32_t Length, uint32_t Distance, uint16_t Sym, float Cost)
    {
        float Score = float(Length) * AvgLiteral - Cost;
        if (Score > Best->Score) {
            Best->Score = Score;
            Best->Length = Length;
            Best->Distance = Distance;
            Best->Sym = Sym;
        }
    }

    Candidate FindCandidate(uint32_t Pos, uint32_t End)
    {
        Candidate Best;
        if (Pos >= End)
            return Best;
        const uint8_t* Data = Stream.data();
        if (Pos + 33 <= Stream.size())
            Finder.Prefetch(Data, Pos + 1); // the lazy look one byte on, or the next literal
        Finder.InsertUpTo(Data, uint32_t(Stream.size()), Pos);
        uint32_t MaxLength = std::min<uint32_t>(MaxMatchLength, End - Pos);
        if (MaxLength < 2)
            return Best;
        for (int I = 0; I < 4; I++) {
            uint32_t Dist = State.Rep[(State.RepCounter + 3 - I) & 3];
            if (Dist == 0 || Dist > Pos)
                continue;
            uint32_t Len = CommonLength(Data + Pos, Data + Pos - Dist, MaxLength);
            if (I == 0 && State.LastLength >= 2 && Dist == State.LastDistance && Len >= State.LastLength)
                Consider(&Best, State.LastLength, Dist, SymRepeatLast, LitCost[SymRepeatLast]);
            uint32_t MinLen = MinRecentMatch + RecentMatchBonus(Dist);
            if (Len >= MinLen) {
                int Slot = LengthSlotOf(Len - MinLen);
                Consider(&Best, Len, Dist, uint16_t(SymRecentFirst + I),
                         LitCost[SymRecentFirst + I] + RepLenCost[Slot] + LengthBits[Slot]);
            }
        }
        uint32_t Len, Dist;
        Finder.FindLongest(Data, Pos, MaxLength, Config.SearchDepth, Config.NiceLength, &Len, &Dist);
        if (Len > 0 && Len > Best.Length) {
            int Slot = LengthSlotOf(Len - MinNewMatch - NewMatchBonus(Dist));
            int DSlot = DistSlot(Dist);
            Consider(&Best, Len, Dist, uint16_t(SymMatchFirst + Slot),
                     LitCost[SymMatchFirst + Slot] + LengthBits[Slot] + DistCost[DSlot] + DistBits[DSlot]);
        }
        if (Best.Length < 3) {
            uint32_t Pair = Finder.PairDistance(Data, Pos);
            if (Pair > 0 && Pair <= MaxShortDistance && Data[Pos] == Data[Pos - Pair] &&
                Data[Pos + 1] == Data[Pos + 1 - Pair]) {
                int Slot = ShortSlotOf(Pair - 1);
                Consider(&Best, 2, Pair, uint16_t(SymShortFirst + Slot), LitCost[SymShortFirst + Slot] + ShortDistBits[Slot]);
            }
        }
        return Best;
    }

    void PushMatch(Chunk* C, const Candidate& M)
    {
        C->Tokens.push_back({M.Distance, uint16_t(M.Length), M.Sym});
        State.Rep[State.RepCounter & 3] = M.Distance;
        State.RepCounter++;
        State.LastLength = M.Length;
        State.LastDistance = M.Distance;
    }

    // Pushes the match at Pos and returns the position after it.
    uint32_t TakeMatch(Chunk* C, uint32_t Pos, const Candidate& Match)
    {
        const uint8_t* Data = Stream.data();
        if (Pos + Match.Length + 32 <= Stream.size())
            Finder.Prefetch(Data, Pos + Match.Length);
        PushMatch(C, Match);
        if (Match.Length >= Config.SkipLength) {
            // The tail of a long match still goes into the chains, so
            // what follows it can match across its end.
            Finder.InsertUpTo(Data, uint32_t(Stream.size()), Pos + 1);
            Finder.SkipTo(Pos + Match.Length - TailInsert);
        }
        return Pos + Match.Length;
    }

public:
    // The best match at each position, taken at once.
    void ParseGreedy(uint32_t Start, uint32_t End, Chunk* C)
    {
        const uint8_t* Data = Stream.data();
        for (uint32_t Pos = Start; Pos < End;) {
            Candidate Cur = FindCandidate(Pos, End);
            if (Cur.Length == 0)
                C->Tokens.push_back({0, 1, Data[Pos++]});
            else
                Pos = TakeMatch(C, Pos, Cur);
        }
    }

    // The best match at each position, unless the next position has a
    // clearly better one: then this byte goes as a literal.
    void ParseLazy(uint32_t Start, uint32_t End, Chunk* C)
    {
        const uint8_t* Data = Stream.data();
        uint32_t Pos = Start;
        Candidate Cur = FindCandidate(Pos, End);
        while (Pos < End) {
            if (Cur.Length == 0) {
                C->Tokens.push_back({0, 1, Data[Pos]});
                Pos++;
                Cur = FindCandidate(Pos, End);
                continue;
            }
            if (Cur.Length < Config.GoodLength && Pos + 1 < End) {
                Candidate Next = FindCandidate(Pos + 1, End);
                if (Next.Score > Cur.Score + 0.5f) {
                    C->Tokens.push_back({0, 1, Data[Pos]});
                    Pos++;
                    Cur = Next;
                    continue;
                }
            }
            Pos = TakeMatch(C, Pos, Cur);
            Cur = FindCandidate(Pos, End);
        }
    }

private:
    // ---- optimal parsing (best level) ----

    // A position of the cheapest-path search: how it is best reached and the
    // recent distances on that path (they decide which symbols are possible
    // from here on).
    struct PathNode {
        float Cost;
        uint32_t From;
        uint32_t Dist;
        uint16_t Len;
        uint16_t Sym;
        uint32_t Rep[4];
        uint32_t RepCounter;
        uint32_t LastLength, LastDistance;
    };

    void Relax(std::vector<PathNode>& Nodes, uint32_t From, uint32_t To, float Cost, uint32_t Len, uint32_t Dist,
               uint16_t Sym)
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
        memcpy(B.Rep, A.Rep, sizeof(B.Rep));
        B.RepCounter = A.RepCounter;
        B.LastLength = A.LastLength;
        B.LastDistance = A.LastDistance;
        if (Dist != 0) {
            B.Rep[B.RepCounter & 3] = Dist;
            B.RepCounter++;
            B.LastLength = Len;
            B.LastDistance = Dist;
        }
    }

public:
    // Cheapest token sequence for Data[Start, End) under the current symbol
    // costs, found segment by segment; a match as long as NiceLength is taken
    // at once, which keeps long repeats fast.
    void ParseOptimal(uint32_t Start, uint32_t End, Chunk* C)
    {
        constexpr uint32_t Segment = 4096;
        const uint8_t* Data = Stream.data();
        std::vector<PathNode> Nodes(Segment + 1);
        uint32_t Lengths[64], Distances[64];
        for (uint32_t SegStart = Start; SegStart < End;) {
            uint32_t SegEnd = std::min(End, SegStart + Segment);
            uint32_t Count = SegEnd - SegStart;
            for (uint32_t I = 0; I <= Count; I++)
                Nodes[I].Cost = 1e30f;
            PathNode& First = Nodes[0];
            First.Cost = 0;
            memcpy(First.Rep, State.Rep, sizeof(First.Rep));
            First.RepCounter = State.RepCounter;
            First.LastLength = State.LastLength;
            First.LastDistance = State.LastDistance;
            uint32_t SkipUntil = 0;
            for (uint32_t I = 0; I < Count; I++) {
                uint32_t Pos = SegStart + I;
                Finder.InsertUpTo(Data, uint32_t(Stream.size()), Pos);
                if (I < SkipUntil || Nodes[I].Cost >= 1e30f)
                    continue;
                const PathNode N = Nodes[I];
                Relax(Nodes, I, I + 1, LitCost[Data[Pos]], 1, 0, Data[Pos]);
                uint32_t MaxLength = std::min<uint32_t>(MaxMatchLength, SegEnd - Pos);
                if (MaxLength < 2)
                    continue;
                uint32_t Longest = 0;
                for (int R = 0; R < 4; R++) {
                    uint32_t Dist = N.Rep[(N.RepCounter + 3 - R) & 3];
                    if (Dist == 0 || Dist > Pos)
                        continue;
                    uint32_t Len = CommonLength(Data + Pos, Data + Pos - Dist, MaxLength);
                    Longest = std::max(Longest, Len);
                    if (R == 0 && N.LastLength >= 2 && Dist == N.LastDistance && Len >= N.LastLength)
                        Relax(Nodes, I, I + N.LastLength, LitCost[SymRepeatLast], N.LastLength, Dist, SymRepeatLast);
                    uint32_t MinLen = MinRecentMatch + RecentMatchBonus(Dist);
                    for (uint32_t L = MinLen; L <= Len; L++) {
                        int Slot = LengthSlotOf(L - MinLen);
                        Relax(Nodes, I, I + L, LitCost[SymRecentFirst + R] + RepLenCost[Slot] + LengthBits[Slot], L,
                              Dist, uint16_t(SymRecentFirst + R));
                    }
                }
                int Found =
                    Finder.FindAll(Data, Pos, MaxLength, Config.SearchDepth, Config.NiceLength, Lengths, Distances, 64);
                uint32_t Covered = 0;
                for (int K = 0; K < Found; K++) {
                    uint32_t Dist = Distances[K];
                    int DSlot = DistSlot(Dist);
                    float DistPart = DistCost[DSlot] + DistBits[DSlot];
                    uint32_t MinLen = MinNewMatch + NewMatchBonus(Dist);
                    for (uint32_t L = std::max(Covered + 1, MinLen); L <= Lengths[K]; L++) {
                        int Slot = LengthSlotOf(L - MinLen);
                        Relax(Nodes, I, I + L, LitCost[SymMatchFirst + Slot] + LengthBits[Slot] + DistPart, L, Dist,
                              uint16_t(SymMatchFirst + Slot));
                    }
                    Covered = Lengths[K];
                    Longest = std::max(Longest, Lengths[K]);
                }
                uint32_t Pair = Finder.PairDistance(Data, Pos);
                if (Pair > 0 && Pair <= MaxShortDistance && Data[Pos] == Data[Pos - Pair] &&
                    Data[Pos + 1] == Data[Pos + 1 - Pair]) {
                    int Slot = ShortSlotOf(Pair - 1);
                    Relax(Nodes, I, I + 2, LitCost[SymShortFirst + Slot] + ShortDistBits[Slot], 2, Pair,
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

private:
    // A trial parse of the chunk whose symbol statistics (together with the
    // pending block's) become the costs of the real parse. The match finder
    // and the parse state are put back afterwards.
    void RefineCosts(uint32_t Start, uint32_t End)
    {
        MatchFinder SavedFinder = Finder;
        ParseState SavedState = State;
        Chunk Trial;
        (this->*Config.Parse)(Start, End, &Trial);
        for (const Token& T : Trial.Tokens)
            AddTokenStats(ModeLz, T, Trial.Freq.data(), &Trial.ExtraBits);
        if (HavePending && Pending.Mode == ModeLz)
            for (int I = 0; I < MaxTableSize; I++)
                Trial.Freq[I] += Pending.Freq[I];
        uint8_t Lengths[MaxTableSize];
        BuildTableLengths(ModeLz, Trial.Freq.data(), Lengths);
        UpdateCosts(Trial.Freq.data(), Lengths);
        Finder = std::move(SavedFinder);
        State = SavedState;
    }

    // ---- chunks and modes ----

    static uint64_t SelfBits(int Mode, const uint32_t* Freq, uint8_t* Lengths)
    {
        BuildTableLengths(Mode, Freq, Lengths);
        return CodedBits(Freq, Lengths, TableSize(Mode));
    }

    uint64_t TableBits(int Mode, const uint8_t* Lengths, const uint8_t* Prev, int PrevDefined)
    {
        TablePlan Plan;
        PlanTable(Mode, Lengths, Prev, PrevDefined, 1, &Plan);
        return Plan.Bits + 8; // the switch symbol
    }

    // Bits of the chunk's bytes under an ideal order-0 code.
    uint64_t Order0Bits(uint32_t Start, uint32_t End) const
    {
        uint32_t Count[256] = {};
        for (uint32_t P = Start; P < End; P++)
            Count[Stream[P]]++;
        double Bits = 0, Total = End - Start;
        for (uint32_t C : Count)
            if (C)
                Bits -= C * std::log2(C / Total);
        return uint64_t(Bits);
    }

    // True when the chunk repeats much of what came before it (a copy of an
    // earlier file): LZ is then worth trying even where audio looks good.
    bool RepeatsEarlierData(uint32_t Start, uint32_t End)
    {
        constexpr int Samples = 32;
        constexpr uint32_t LongMatch = 64;
        if (End - Start < 2 * MaxMatchLength)
            return false;
        const uint8_t* Data = Stream.data();
        Finder.InsertUpTo(Data, uint32_t(Stream.size()), Start);
        int Hits = 0;
        uint32_t Step = (End - Start - MaxMatchLength) / Samples;
        for (int I = 0; I < Samples; I++) {
            uint32_t Len, Dist;
            Finder.FindLongest(Data, Start + I * Step, MaxMatchLength, 16, LongMatch, &Len, &Dist);
            Hits += Len >= LongMatch ? 1 : 0;
        }
        return Hits >= Samples / 8;
    }

    void ParseChunk(uint32_t Start, uint32_t End, uint32_t EntryStart, std::vector<Chunk>* Parts)
    {
        ParseState Before = State;
        uint32_t Size = End - Start;
        uint8_t Lengths[MaxTableSize];

        // Audio first: its trial is cheap, and where it clearly beats an
        // order-0 code of the bytes, LZ cannot win and is not tried.
        int BestMode = ModeLz;
        uint64_t BestBits = UINT64_MAX;
        uint32_t BestShift = 0;
        Chunk BestAudio;
        AudioState BestAudioState = {};
        int BestAudioChannel = 0;
        uint64_t PlainBits = Order0Bits(Start, End);
        int Candidates = Size >= MinAudioChunk && PlainBits > uint64_t(Size) * 3
                             ? AudioCandidates(Start, End)
                             : 0;
        for (int N = 1; N <= MaxChannels; N++) {
            if (!(Candidates & (1 << N)))
                continue;
            int Channel = State.CurrentChannel < N ? State.CurrentChannel : 0;
            // Line the channels up with the entry's start (sample frames
            // usually are): a few bytes go as LZ literals if they are not.
            uint32_t Shift = uint32_t(((Channel - int((Start - EntryStart) % N)) % N + N) % N);
            Chunk Coded;
            AudioState After;
            int NextChannel;
            uint64_t Bits = SimulateAudio(Start + Shift, End, N, Channel, Lengths, &Coded, &After, &NextChannel);
            if (State.LastMode != N)
                Bits += TableBits(N, Lengths, Lengths, 0);
            if (Shift > 0)
                Bits += Shift * 9 + (State.LastMode != ModeLz ? 600 : 0);
            if (Bits < BestBits) {
                BestBits = Bits;
                BestMode = N;
                BestShift = Shift;
                BestAudio = std::move(Coded);
                BestAudioState = After;
                BestAudioChannel = NextChannel;
            }
        }
        bool SkipLz = BestMode != ModeLz && BestBits * 5 < PlainBits * 4 && !RepeatsEarlierData(Start, End);
        Chunk Lz;
        if (!SkipLz) {
            Lz.Mode = ModeLz;
            for (int Pass = 1; Pass < Config.CostPasses; Pass++)
                RefineCosts(Start, End);
            (this->*Config.Parse)(Start, End, &Lz);
            for (const Token& T : Lz.Tokens)
                AddTokenStats(ModeLz, T, Lz.Freq.data(), &Lz.ExtraBits);
            Lz.ByteTokens = Lz.Tokens.size();
            uint64_t LzBits = SelfBits(ModeLz, Lz.Freq.data(), Lengths) + Lz.ExtraBits;
            if (State.LastMode != ModeLz)
                LzBits += TableBits(ModeLz, Lengths, Lengths, 0);
            // A small chunk joins the pending block whatever it costs there.
            uint64_t Marginal = MarginalBits(Lz);
            Lz.EstimatedBits = Marginal != UINT64_MAX && Size < SmallChunk ? Marginal : std::min(LzBits, Marginal);
            if (LzBits <= BestBits) {
                BestBits = LzBits;
                BestMode = ModeLz;
            }
        } else {
            Finder.InsertUpTo(Stream.data(), uint32_t(Stream.size()), End);
        }
        if (BestMode == ModeLz) {
            State.LastMode = ModeLz;
            Parts->push_back(std::move(Lz));
            return;
        }
        // Audio wins: the LZ parse is dropped, and with it its effect on the
        // recent distances (the match finder keeps the positions: audio bytes
        // enter the window as well).
        AudioState AudioNow = State.Audio;
        int ChannelNow = State.CurrentChannel;
        State = Before;
        State.Audio = AudioNow;
        State.CurrentChannel = ChannelNow;
        const uint8_t* Data = Stream.data();
        if (BestShift > 0) {
            Chunk Lead;
            for (uint32_t P = Start; P < Start + BestShift; P++)
                Lead.Tokens.push_back({0, 1, Data[P]});
            for (const Token& T : Lead.Tokens)
                AddTokenStats(ModeLz, T, Lead.Freq.data(), &Lead.ExtraBits);
            Lead.ByteTokens = BestShift;
            Lead.EstimatedBits = BestShift * 9;
            State.LastMode = ModeLz;
            Parts->push_back(std::move(Lead));
        }
        State.Audio = BestAudioState;
        State.CurrentChannel = BestAudioChannel;
        State.LastMode = BestMode;
        BestAudio.EstimatedBits = BestBits;
        Parts->push_back(std::move(BestAudio));
    }

    // Bits the chunk adds to the pending block if it joins it (a small chunk
    // always does); the cost its own table would hide.
    uint64_t MarginalBits(const Chunk& C)
    {
        if (!HavePending || Pending.Mode != C.Mode || Pending.ByteTokens == 0)
            return UINT64_MAX;
        std::vector<uint32_t> Merged(MaxTableSize);
        for (int I = 0; I < MaxTableSize; I++)
            Merged[I] = Pending.Freq[I] + C.Freq[I];
        uint8_t Lengths[MaxTableSize];
        uint64_t MergedBits = SelfBits(C.Mode, Merged.data(), Lengths);
        return MergedBits - std::min(MergedBits, PendingBits) + C.ExtraBits;
    }

    // Channel counts worth a full audio trial, as bits 1 << N. A quick look
    // at the chunk's head picks the best count, or none when no count gets
    // well below an order-0 code (binaries, text); small chunks try all.
    int AudioCandidates(uint32_t Start, uint32_t End)
    {
        constexpr uint32_t ProbeSize = 16384;
        if (End - Start < 2 * ProbeSize)
            return 0x1E;
        uint64_t Plain = Order0Bits(Start, Start + ProbeSize);
        uint8_t Lengths[MaxTableSize];
        uint64_t Best = UINT64_MAX;
        int BestN = 0;
        for (int N = 1; N <= MaxChannels; N++) {
            uint64_t Bits = SimulateAudio(Start, Start + ProbeSize, N, 0, Lengths);
            if (Bits < Best) {
                Best = Bits;
                BestN = N;
            }
        }
        return Best * 10 < Plain * 9 || State.LastMode > ModeLz ? 1 << BestN : 0;
    }

    // Bits of coding Data[Start, End) in audio mode with Channels channels,
    // starting at channel Channel, from a copy of the current predictor.
    // With Coded given, also keeps the tokens, the predictor state after the
    // last byte and the channel of the next one, ready to be used as they are.
    uint64_t SimulateAudio(uint32_t Start, uint32_t End, int Channels, int Channel, uint8_t* Lengths,
                           Chunk* Coded = nullptr, AudioState* After = nullptr, int* NextChannel = nullptr)
    {
        AudioState Sim = State.Audio;
        std::vector<uint32_t> Freq(MaxTableSize, 0);
        const uint8_t* Data = Stream.data();
        if (Coded)
            Coded->Tokens.reserve(End - Start);
        for (uint32_t P = Start; P < End; P++) {
            uint8_t Delta = AudioEncodeByte(&Sim.Channels[Channel], &Sim.ChannelDelta, Data[P]);
            Freq[AudioCount * Channel + Delta]++;
            if (Coded)
                Coded->Tokens.push_back({uint32_t(Channel), 1, Delta});
            Channel = Channel + 1 == Channels ? 0 : Channel + 1;
        }
        if (Coded) {
            Coded->Mode = Channels;
            Coded->Freq = Freq;
            Coded->ByteTokens = End - Start;
            *After = Sim;
            *NextChannel = Channel;
        }
        return SelfBits(Channels, Freq.data(), Lengths);
    }

    // ---- blocks ----

    void Feed(Chunk&& C)
    {
        if (C.Mode != ModeLz)
            (*Out)[CurrentEntry].AudioBytes += C.ByteTokens;
        if (!HavePending) {
            Pending = std::move(C);
            HavePending = true;
            RefreshPending();
            return;
        }
        bool Merge;
        if (Pending.ByteTokens == 0) {
            Pending.Mode = C.Mode; // entry ends only: no table yet to keep
            Merge = true;
        } else if (Pending.Mode != C.Mode || Pending.Tokens.size() + C.Tokens.size() > MaxBlockTokens) {
            Merge = false;
        } else if (C.ByteTokens < SmallChunk) {
            Merge = true;
        } else {
            std::vector<uint32_t> Merged(MaxTableSize);
            for (int I = 0; I < MaxTableSize; I++)
                Merged[I] = Pending.Freq[I] + C.Freq[I];
            uint8_t MergedLengths[MaxTableSize], OwnLengths[MaxTableSize];
            uint64_t MergedBits = SelfBits(C.Mode, Merged.data(), MergedLengths);
            uint64_t OwnBits = SelfBits(C.Mode, C.Freq.data(), OwnLengths);
            uint64_t Separate = PendingBits + OwnBits + TableBits(C.Mode, OwnLengths, PendingLengths, TableSize(C.Mode));
            Merge = MergedBits <= Separate;
        }
        if (Merge) {
            Pending.Tokens.insert(Pending.Tokens.end(), C.Tokens.begin(), C.Tokens.end());
            for (int I = 0; I < MaxTableSize; I++)
                Pending.Freq[I] += C.Freq[I];
            Pending.ExtraBits += C.ExtraBits;
            Pending.ByteTokens += C.ByteTokens;
        } else {
            Flush();
            Pending = std::move(C);
            HavePending = true;
        }
        RefreshPending();
    }

    void RefreshPending()
    {
        PendingBits = SelfBits(Pending.Mode, Pending.Freq.data(), PendingLengths);
        if (Pending.Mode == ModeLz && Pending.ByteTokens > 0)
            UpdateCosts(Pending.Freq.data(), PendingLengths);
    }

    void AddEntryEnd(uint32_t Index)
    {
        if (!HavePending) {
            Pending = Chunk();
            HavePending = true;
        }
        Pending.Tokens.push_back({Index, 0, SymEntryEnd});
    }

    void Flush()
    {
        Emitter.EmitBlock(Pending.Mode, Pending.Freq.data(), Pending.Tokens);
        HavePending = false;
        Pending = Chunk();
    }

public:
    uint32_t CurrentEntry = 0;

private:
    LevelConfig Config;
    std::vector<EncodedEntry>* Out;
    StreamEmitter Emitter;
    std::vector<uint8_t> Stream; // everything that enters the decoder's window, in order
    MatchFinder Finder;
    ParseState State;
    float LitCost[LiteralCount], DistCost[DistCount], RepLenCost[RepLenCount];
    float AvgLiteral = 8.0f;
    Chunk Pending;
    bool HavePending = false;
    uint8_t PendingLengths[MaxTableSize] = {};
    uint64_t PendingBits = 0;
};

const LevelConfig LevelConfigs[5] = {
    // Parse                 SearchDepth NiceLength GoodLength      SkipLength CostPasses
    {&Encoder::ParseGreedy,  2,          16,        0,              16,        1},
    {&Encoder::ParseLazy,    4,          32,        8,              32,        1},
    {&Encoder::ParseLazy,    6,          48,        12,             64,        1},
    {&Encoder::ParseOptimal, 16,         64,        MaxMatchLength, 1000,      1},
    {&Encoder::ParseOptimal, 64,         128,       MaxMatchLength, 1000,      2},
};

} // namespace

std::vector<EncodedEntry> EncodeSolidStream(const std::vector<const std::vector<uint8_t>*>& Inputs, int Level,
                                            const std::function<void(uint64_t)>& Progress, EncoderReport* Report)
{
    std::vector<EncodedEntry> Out(Inputs.size());
    auto Coder = std::make_unique<Encoder>(Level, &Out, Report);
    uint64_t Done = 0;
    for (size_t I = 0; I < Inputs.size(); I++) {
        Coder->CurrentEntry = uint32_t(I);
        Coder->AddEntry(uint32_t(I), *Inputs[I], Progress, &Done);
    }
    Coder->Finish();
    return Out;
}
