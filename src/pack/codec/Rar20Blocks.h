// Blocks of the RAR 2.0 stream, shared by the encoder's parser and its
// emitter: the token a parse produces, the layout of the code tables, the
// coding of a table read through the level table, and the emitter that turns
// blocks of tokens into per-entry bit streams. Internal to the codec.
#pragma once

#include "BitWriter.h"
#include "Huffman.h"
#include "Rar20Encoder.h"
#include "Rar20Format.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace Rar20 {

constexpr int ModeLz = 0;                // modes 1..4 are audio with that many channels
constexpr uint16_t SymEntryEnd = 0xFFFF; // token marking the end of an entry (Dist = entry index)

// A literal (Sym < 256, Len 1), a match (Sym 256..268 or 270.., Len, Dist),
// an audio byte (Sym = delta, Dist = channel) or an entry end.
struct Token {
    uint32_t Dist;
    uint16_t Len;
    uint16_t Sym;
};

// Code lengths read by a table read in this mode (374 for LZ, 257 per channel).
inline int TableSize(int Mode) { return Mode == ModeLz ? LzTableSize : AudioCount * Mode; }

// Length slot of a coded length 0..255, short-distance slot of distance - 1.
int LengthSlotOf(uint32_t Coded);
int ShortSlotOf(uint32_t DistanceMinusOne);
int DistSlot(uint32_t Distance);

// The separately built code tables inside one table read.
struct SubTable {
    int Offset, Count, Switch; // Switch: the table-switch symbol, -1 for none
};

// The sub-tables of a mode; returns how many.
int SubTablesOf(int Mode, SubTable* Out);

// Code lengths for a block; the switch symbol always gets a code, since the
// next block's table read is announced with it.
void BuildTableLengths(int Mode, const uint32_t* Freq, uint8_t* Lengths);

// Counts the symbols a token codes into Freq (laid out like a table read) and
// its extra bits into ExtraBits.
void AddTokenStats(int Mode, const Token& T, uint32_t* Freq, uint64_t* ExtraBits);

struct LevelItem {
    uint8_t Sym;   // level symbol 0..18
    uint8_t Extra; // run length bits of symbols 16..18
};

struct TablePlan {
    bool Keep = false; // delta against the previous lengths (else against zeros)
    uint8_t LevelLengths[LevelCount] = {};
    std::vector<LevelItem> Items;
    uint64_t Bits = 0;
};

extern const int LevelExtraBits[LevelCount];

// Plans a table read of Lengths: the cheapest level symbols, found in Passes
// rounds of cost refinement. Keep (delta against Prev) is only chosen when
// every position of the new table was defined by the previous read.
void PlanTable(int Mode, const uint8_t* Lengths, const uint8_t* Prev, int PrevDefined, int Passes, TablePlan* Out);

// Writes blocks in order: the first block's table opens the stream (the
// first entry is not solid, so its decoder reads tables first), later ones are
// announced by a switch symbol before their first byte.
class StreamEmitter {
public:
    StreamEmitter(std::vector<EncodedEntry>* Out, EncoderReport* Report) : Out(Out), Report(Report) {}

    void EmitBlock(int Mode, const uint32_t* Freq, const std::vector<Token>& Tokens)
    {
        NextMode = Mode;
        BuildTableLengths(Mode, Freq, NextLengths);
        if (!AnyTable) {
            // The first entry is not solid: its decoder reads tables first.
            WriteTable();
            AnyTable = true;
        } else {
            SwitchPending = true;
        }
        for (const Token& T : Tokens) {
            if (T.Sym == SymEntryEnd) {
                EndEntry(T.Dist);
                continue;
            }
            if (SwitchPending) {
                // Announced with the old table, inside the entry's decode
                // loop (the decoder never reads a switch after the last byte).
                if (CurMode == ModeLz) {
                    PutSymbol(SymTableSwitch);
                    if (Report)
                        Report->SymbolUse[SymTableSwitch]++;
                } else
                    PutSymbol(AudioCount * CurChannel + AudioSymTableSwitch);
                WriteTable();
                SwitchPending = false;
            }
            WriteToken(T);
        }
    }

private:
    void PutSymbol(int Index) { Bits.PutBits(CurCodes[Index], CurLengths[Index]); }

    void WriteTable()
    {
        TablePlan Plan;
        PlanTable(NextMode, NextLengths, PrevLengths, PrevDefined, 3, &Plan);
        uint32_t Header = (NextMode != ModeLz ? TableAudioBit : 0) | (Plan.Keep ? TableKeepBit : 0);
        Bits.PutBits(Header, TableModeBits);
        if (NextMode != ModeLz)
            Bits.PutBits(uint32_t(NextMode - 1), TableChannelBits);
        for (int S = 0; S < LevelCount; S++)
            Bits.PutBits(Plan.LevelLengths[S], LevelLengthBits);
        uint16_t LevelCodes[LevelCount];
        BuildCanonicalCodes(Plan.LevelLengths, LevelCount, LevelCodes);
        for (const LevelItem& It : Plan.Items) {
            Bits.PutBits(LevelCodes[It.Sym], Plan.LevelLengths[It.Sym]);
            if (LevelExtraBits[It.Sym])
                Bits.PutBits(It.Extra, LevelExtraBits[It.Sym]);
        }
        int Size = TableSize(NextMode);
        memcpy(PrevLengths, NextLengths, Size);
        PrevDefined = Size;
        memcpy(CurLengths, NextLengths, MaxTableSize);
        SubTable Subs[MaxChannels];
        int Count = SubTablesOf(NextMode, Subs);
        for (int I = 0; I < Count; I++)
            BuildCanonicalCodes(CurLengths + Subs[I].Offset, Subs[I].Count, CurCodes + Subs[I].Offset);
        CurMode = NextMode;
        if (CurMode != ModeLz) {
            Channels = CurMode;
            if (CurChannel >= Channels)
                CurChannel = 0;
        }
        if (Report) {
            Report->TableReads++;
            if (CurMode != ModeLz)
                Report->AudioTableReads[CurMode]++;
        }
    }

    void WriteToken(const Token& T)
    {
        if (CurMode != ModeLz) {
            if (int(T.Dist) != CurChannel)
                throw std::logic_error("audio channel out of step");
            PutSymbol(AudioCount * CurChannel + T.Sym);
            CurChannel = CurChannel + 1 == Channels ? 0 : CurChannel + 1;
            return;
        }
        PutSymbol(T.Sym);
        if (Report) {
            Report->SymbolUse[T.Sym]++;
            if (T.Sym >= SymMatchFirst)
                Report->NewMatchBonusUse[NewMatchBonus(T.Dist)]++;
            else if (T.Sym >= SymRecentFirst && T.Sym < SymShortFirst)
                Report->RecentBonusUse[RecentMatchBonus(T.Dist)]++;
        }
        if (T.Sym >= SymMatchFirst) {
            int Slot = T.Sym - SymMatchFirst;
            Bits.PutBits(T.Len - MinNewMatch - NewMatchBonus(T.Dist) - LengthBase[Slot], LengthBits[Slot]);
            int DSlot = DistSlot(T.Dist);
            PutSymbol(LiteralCount + DSlot);
            Bits.PutBits(T.Dist - 1 - DistBase[DSlot], DistBits[DSlot]);
        } else if (T.Sym >= SymRecentFirst && T.Sym < SymShortFirst) {
            int Coded = T.Len - MinRecentMatch - RecentMatchBonus(T.Dist);
            int Slot = LengthSlotOf(Coded);
            PutSymbol(LiteralCount + DistCount + Slot);
            Bits.PutBits(Coded - LengthBase[Slot], LengthBits[Slot]);
        } else if (T.Sym >= SymShortFirst && T.Sym < SymTableSwitch) {
            int Slot = T.Sym - SymShortFirst;
            Bits.PutBits(T.Dist - 1 - ShortDistBase[Slot], ShortDistBits[Slot]);
        }
    }

    void EndEntry(uint32_t Index)
    {
        std::vector<uint8_t>& Bytes = Bits.Finish();
        Bytes.push_back(0); // some readers fetch a little ahead of the last bit
        (*Out)[Index].Packed = std::move(Bytes);
        Bits = BitWriter();
    }

    std::vector<EncodedEntry>* Out;
    EncoderReport* Report;
    BitWriter Bits;
    bool AnyTable = false;
    bool SwitchPending = false;
    int CurMode = ModeLz;
    int Channels = 1;
    int CurChannel = 0;
    uint8_t CurLengths[MaxTableSize] = {};
    uint16_t CurCodes[MaxTableSize] = {};
    uint8_t PrevLengths[MaxTableSize] = {};
    int PrevDefined = 0;
    int NextMode = ModeLz;
    uint8_t NextLengths[MaxTableSize] = {};
};


} // namespace Rar20
