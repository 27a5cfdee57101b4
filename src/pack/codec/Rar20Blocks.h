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

constexpr int ModeLz = 0;                   // modes 1..4 are audio with that many channels
constexpr uint16_t SymEntryEnd = 0xFFFF;    // token: the end of a packed entry (Dist = entry index)
constexpr uint16_t SymEntryStored = 0xFFFE; // token: an entry stored at this point (Dist = entry index)

// A literal (Sym < 256, Len 1), a match (Sym 256..268 or 270.., Len, Dist),
// an audio byte (Sym = delta, Dist = channel), or an entry marker.
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

// Writes blocks in order into each entry's packed data. A block's table read
// goes before its first byte: the first one opens the first packed entry (it
// is not solid, so its decoder reads tables first), later ones are announced
// by a switch symbol of the table before. Entry ends and stored entries are
// marked in the token stream, so everything reaches the writer in archive order.
class StreamEmitter {
public:
    StreamEmitter(EncoderIo& Io, EncoderReport* Report) : Io(Io), Report(Report) {}

    // False when the writer refused what it was given.
    bool EmitBlock(int Mode, const uint32_t* Freq, const std::vector<Token>& Tokens)
    {
        NextMode = Mode;
        BuildTableLengths(Mode, Freq, NextLengths);
        TablePending = true;
        for (const Token& T : Tokens) {
            if (T.Sym == SymEntryStored) {
                if (!Io.BeginEntry(T.Dist, true) || !Io.EndEntry(T.Dist, 0)) return false;
                CurrentEntry++;
                continue;
            }
            if (!EntryOpen) {
                if (!Io.BeginEntry(CurrentEntry, false)) return false;
                EntryOpen = true;
            }
            if (T.Sym == SymEntryEnd) {
                if (!EndEntry(T.Dist)) return false;
                continue;
            }
            if (TablePending) {
                if (AnyTable) {
                    // Announced with the old table, inside an entry's decode
                    // loop (the decoder reads no switch after an entry's last byte).
                    if (CurMode == ModeLz) {
                        PutSymbol(SymTableSwitch);
                        if (Report) Report->SymbolUse[SymTableSwitch]++;
                    } else {
                        PutSymbol(AudioCount * CurChannel + AudioSymTableSwitch);
                    }
                }
                WriteTable();
                AnyTable = true;
                TablePending = false;
            }
            WriteToken(T);
            if (Bits.FullBytes().size() >= HandOver && !HandOverBytes()) return false;
        }
        return true;
    }

private:
    static constexpr size_t HandOver = 64 * 1024; // packed bytes held before they go to the writer

    void PutSymbol(int Index) { Bits.PutBits(CurCodes[Index], CurLengths[Index]); }

    bool HandOverBytes()
    {
        std::vector<uint8_t>& Bytes = Bits.FullBytes();
        bool Taken = Io.PackedBytes(Bytes.data(), Bytes.size());
        Bytes.clear();
        return Taken;
    }

    void WriteTable()
    {
        TablePlan Plan;
        PlanTable(NextMode, NextLengths, PrevLengths, PrevDefined, 3, &Plan);
        uint32_t Header = (NextMode != ModeLz ? TableAudioBit : 0) | (Plan.Keep ? TableKeepBit : 0);
        Bits.PutBits(Header, TableModeBits);
        if (NextMode != ModeLz) Bits.PutBits(uint32_t(NextMode - 1), TableChannelBits);
        for (int S = 0; S < LevelCount; S++) Bits.PutBits(Plan.LevelLengths[S], LevelLengthBits);
        uint16_t LevelCodes[LevelCount];
        BuildCanonicalCodes(Plan.LevelLengths, LevelCount, LevelCodes);
        for (const LevelItem& It : Plan.Items) {
            Bits.PutBits(LevelCodes[It.Sym], Plan.LevelLengths[It.Sym]);
            if (LevelExtraBits[It.Sym]) Bits.PutBits(It.Extra, LevelExtraBits[It.Sym]);
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
            if (CurChannel >= Channels) CurChannel = 0;
        }
        if (Report && CurMode != ModeLz) Report->AudioTableReads[CurMode]++;
    }

    void WriteToken(const Token& T)
    {
        if (CurMode != ModeLz) {
            if (int(T.Dist) != CurChannel) throw std::logic_error("audio channel out of step");
            PutSymbol(AudioCount * CurChannel + T.Sym);
            CurChannel = CurChannel + 1 == Channels ? 0 : CurChannel + 1;
            EntryAudioBytes++;
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

    // The entry's last bits are padded to a byte; no byte follows them, as
    // the decoder needs none beyond the entry's own.
    bool EndEntry(uint32_t Index)
    {
        if (Index != CurrentEntry) throw std::logic_error("entries out of order");
        Bits.PadToByte();
        if (!HandOverBytes() || !Io.EndEntry(Index, EntryAudioBytes)) return false;
        EntryAudioBytes = 0;
        EntryOpen = false;
        CurrentEntry++;
        return true;
    }

    EncoderIo& Io;
    EncoderReport* Report;
    BitWriter Bits;
    uint32_t CurrentEntry = 0; // the entry the next token belongs to
    bool EntryOpen = false;    // its packed data has begun
    uint64_t EntryAudioBytes = 0;
    bool AnyTable = false;
    bool TablePending = false;
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
