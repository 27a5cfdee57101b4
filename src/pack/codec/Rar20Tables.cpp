// Table layout and table reads of the RAR 2.0 stream for the encoder: which
// code lengths a block needs, and the cheapest way to send them through the
// level table (deltas against the previous lengths or against zeros, runs).
#include "Rar20Blocks.h"

#include "Huffman.h"

#include <algorithm>
#include <cstring>

namespace Rar20 {

namespace {

struct SlotTables {
    uint8_t LengthSlot[256]; // coded length (after base length and bonus) -> slot
    uint8_t ShortSlot[256];  // short distance - 1 -> slot
    SlotTables()
    {
        for (int Slot = 0; Slot < RepLenCount; Slot++)
            for (int V = LengthBase[Slot]; V < LengthBase[Slot] + (1 << LengthBits[Slot]) && V < 256; V++)
                LengthSlot[V] = uint8_t(Slot);
        for (int Slot = 0; Slot < 8; Slot++)
            for (int V = ShortDistBase[Slot]; V < ShortDistBase[Slot] + (1 << ShortDistBits[Slot]) && V < 256; V++)
                ShortSlot[V] = uint8_t(Slot);
    }
};
const SlotTables Slots;

} // namespace

int DistSlot(uint32_t Distance)
{
    uint32_t V = Distance - 1;
    if (V < 4) return int(V);
    if (V < LengthBonusDist3) {
        int K = 31 - __builtin_clz(V);
        return 2 * K + int((V >> (K - 1)) & 1);
    }
    return 36 + int((V - LengthBonusDist3) >> 16);
}

int SubTablesOf(int Mode, SubTable* Out)
{
    if (Mode == ModeLz) {
        Out[0] = {0, LiteralCount, SymTableSwitch};
        Out[1] = {LiteralCount, DistCount, -1};
        Out[2] = {LiteralCount + DistCount, RepLenCount, -1};
        return 3;
    }
    for (int C = 0; C < Mode; C++) Out[C] = {AudioCount * C, AudioCount, AudioSymTableSwitch};
    return Mode;
}

void BuildTableLengths(int Mode, const uint32_t* Freq, uint8_t* Lengths)
{
    memset(Lengths, 0, MaxTableSize);
    SubTable Subs[MaxChannels];
    int Count = SubTablesOf(Mode, Subs);
    uint32_t Work[AudioCount + LiteralCount];
    for (int I = 0; I < Count; I++) {
        const SubTable& S = Subs[I];
        memcpy(Work, Freq + S.Offset, S.Count * sizeof(uint32_t));
        if (S.Switch >= 0 && Work[S.Switch] == 0) Work[S.Switch] = 1;
        BuildCodeLengths(Work, S.Count, MaxCodeLength, Lengths + S.Offset);
    }
}

void AddTokenStats(int Mode, const Token& T, uint32_t* Freq, uint64_t* ExtraBits)
{
    if (T.Sym == SymEntryEnd) return;
    if (Mode != ModeLz) {
        Freq[AudioCount * T.Dist + T.Sym]++;
        return;
    }
    Freq[T.Sym]++;
    if (T.Sym >= SymMatchFirst) {
        int Slot = T.Sym - SymMatchFirst;
        int DSlot = DistSlot(T.Dist);
        Freq[LiteralCount + DSlot]++;
        *ExtraBits += LengthBits[Slot] + DistBits[DSlot];
    } else if (T.Sym >= SymRecentFirst && T.Sym < SymShortFirst) {
        int Slot = LengthSlotOf(T.Len - MinRecentMatch - RecentMatchBonus(T.Dist));
        Freq[LiteralCount + DistCount + Slot]++;
        *ExtraBits += LengthBits[Slot];
    } else if (T.Sym >= SymShortFirst && T.Sym < SymTableSwitch) {
        *ExtraBits += ShortDistBits[T.Sym - SymShortFirst];
    }
}

// ---- table reads: code lengths through the level table ----

const int LevelExtraBits[LevelCount] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, LevelRepeatBits, LevelZerosBits, LevelLongZerosBits};

// Cheapest sequence of level symbols for Lengths against Base under the
// given symbol costs (backward dynamic programming over the positions).
static uint64_t PlanLevelItems(const uint8_t* Lengths, const uint8_t* Base, int Size, const uint32_t* Cost,
                               std::vector<LevelItem>* Items)
{
    std::vector<uint64_t> Best(Size + 1, 0);
    std::vector<uint16_t> Choice(Size); // Sym << 8 | run length
    std::vector<int> ZeroRun(Size + 1, 0), EqualRun(Size + 1, 0);
    for (int I = Size - 1; I >= 0; I--) {
        ZeroRun[I] = Lengths[I] == 0 ? ZeroRun[I + 1] + 1 : 0;
        EqualRun[I] = (I + 1 < Size && Lengths[I + 1] == Lengths[I]) ? EqualRun[I + 1] + 1 : 1;
    }
    const int RepeatMax = LevelRepeatMin + (1 << LevelRepeatBits) - 1;
    const int ZerosMax = LevelZerosMin + (1 << LevelZerosBits) - 1;
    const int LongZerosMax = LevelLongZerosMin + (1 << LevelLongZerosBits) - 1;
    for (int I = Size - 1; I >= 0; I--) {
        int Delta = (Lengths[I] - Base[I]) & 15;
        uint64_t Cheapest = Cost[Delta] + Best[I + 1];
        uint16_t Pick = uint16_t(Delta << 8 | 1);
        // Symbol Sym with ExtraBits of run length, covering K positions.
        auto Try = [&](int Sym, int ExtraBits, int K) {
            uint64_t C = Cost[Sym] + ExtraBits + Best[I + K];
            if (C < Cheapest) {
                Cheapest = C;
                Pick = uint16_t(Sym << 8 | K);
            }
        };
        if (ZeroRun[I] >= LevelZerosMin) {
            for (int K = LevelZerosMin; K <= std::min(ZeroRun[I], ZerosMax); K++) Try(LevelZeros, LevelZerosBits, K);
            if (ZeroRun[I] >= LevelLongZerosMin)
                Try(LevelLongZeros, LevelLongZerosBits, std::min(ZeroRun[I], LongZerosMax));
        }
        if (I > 0 && Lengths[I] == Lengths[I - 1] && EqualRun[I] >= LevelRepeatMin)
            for (int K = LevelRepeatMin; K <= std::min(EqualRun[I], RepeatMax); K++)
                Try(LevelRepeat, LevelRepeatBits, K);
        Best[I] = Cheapest;
        Choice[I] = Pick;
    }
    Items->clear();
    for (int I = 0; I < Size;) {
        int Sym = Choice[I] >> 8, Run = Choice[I] & 0xFF;
        int Extra = Sym == LevelRepeat      ? Run - LevelRepeatMin
                    : Sym == LevelZeros     ? Run - LevelZerosMin
                    : Sym == LevelLongZeros ? Run - LevelLongZerosMin
                                            : 0;
        Items->push_back({uint8_t(Sym), uint8_t(Extra)});
        I += Run;
    }
    return Best[0];
}

void PlanTable(int Mode, const uint8_t* Lengths, const uint8_t* Prev, int PrevDefined, int Passes, TablePlan* Out)
{
    static const uint8_t Zeros[MaxTableSize] = {};
    int Size = TableSize(Mode);
    Out->Bits = UINT64_MAX;
    for (int Keep = 0; Keep < 2; Keep++) {
        if (Keep && PrevDefined < Size) break;
        const uint8_t* Base = Keep ? Prev : Zeros;
        uint32_t Cost[LevelCount];
        for (uint32_t& C : Cost) C = 4;
        TablePlan Plan;
        Plan.Keep = Keep != 0;
        for (int Pass = 0; Pass < Passes; Pass++) {
            PlanLevelItems(Lengths, Base, Size, Cost, &Plan.Items);
            uint32_t Freq[LevelCount] = {};
            for (const LevelItem& It : Plan.Items) Freq[It.Sym]++;
            BuildCodeLengths(Freq, LevelCount, MaxCodeLength, Plan.LevelLengths);
            for (int S = 0; S < LevelCount; S++) Cost[S] = Plan.LevelLengths[S] ? Plan.LevelLengths[S] : 64;
        }
        uint64_t Bits = 2 + (Mode != ModeLz ? 2 : 0) + 4 * LevelCount;
        for (const LevelItem& It : Plan.Items) Bits += Plan.LevelLengths[It.Sym] + LevelExtraBits[It.Sym];
        Plan.Bits = Bits;
        if (Bits < Out->Bits) *Out = std::move(Plan);
    }
}

int LengthSlotOf(uint32_t Coded) { return Slots.LengthSlot[Coded]; }
int ShortSlotOf(uint32_t DistanceMinusOne) { return Slots.ShortSlot[DistanceMinusOne]; }

} // namespace Rar20
