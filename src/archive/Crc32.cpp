// CRC-32 of the archive format (reflected, polynomial 0xEDB88320), computed
// sixteen bytes per step from sixteen derived tables. The tables are built at run
// time so they cost the setup program no file size.
#include <string.h>

#include "ArcFormat.h"
#include "Crc32.h"

enum { CrcSlices = 16 };

// CrcTable[0] is the classic byte table; CrcTable[k][i] is the CRC of byte i
// followed by k zero bytes, which lets eight bytes be folded in at once.
static uint32_t CrcTable[CrcSlices][256];

void BuildCrcTable()
{
    for (uint32_t I = 0; I < 256; ++I) {
        uint32_t Value = I;
        for (int Bit = 0; Bit < 8; ++Bit) Value = (Value & 1) ? (Value >> 1) ^ ArcCrcPolynomial : Value >> 1;
        CrcTable[0][I] = Value;
    }
    for (int Slice = 1; Slice < CrcSlices; ++Slice)
        for (int I = 0; I < 256; ++I)
            CrcTable[Slice][I] = (CrcTable[Slice - 1][I] >> 8) ^ CrcTable[0][CrcTable[Slice - 1][I] & 0xFF];
}

uint32_t Crc32Update(uint32_t Register, const void* Bytes, size_t Count)
{
    const uint8_t* P = (const uint8_t*)Bytes;
    while (Count >= CrcSlices) {
        uint32_t Word[4];
        for (int W = 0; W < 4; ++W)
            Word[W] = (uint32_t)P[4 * W] | ((uint32_t)P[4 * W + 1] << 8) | ((uint32_t)P[4 * W + 2] << 16) |
                      ((uint32_t)P[4 * W + 3] << 24);
        Word[0] ^= Register;
        Register = 0;
        // Byte k of the sixteen folds in through table 15 - k.
        for (int K = 0; K < CrcSlices; ++K)
            Register ^= CrcTable[CrcSlices - 1 - K][(Word[K / 4] >> (8 * (K % 4))) & 0xFF];
        P += CrcSlices;
        Count -= CrcSlices;
    }
    while (Count--) Register = CrcTable[0][(Register ^ *P++) & 0xFF] ^ (Register >> 8);
    return Register;
}
