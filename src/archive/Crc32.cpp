// CRC-32 of the archive format (reflected, polynomial 0xEDB88320), computed
// eight bytes per step from eight derived tables. The tables are built at run
// time so they cost the setup program no file size.
#include <string.h>

#include "ArcFormat.h"
#include "Crc32.h"

enum { CrcSlices = 8 };

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
        uint32_t Low = Register ^ ((uint32_t)P[0] | ((uint32_t)P[1] << 8) | ((uint32_t)P[2] << 16) | ((uint32_t)P[3] << 24));
        uint32_t High = (uint32_t)P[4] | ((uint32_t)P[5] << 8) | ((uint32_t)P[6] << 16) | ((uint32_t)P[7] << 24);
        Register = CrcTable[7][Low & 0xFF] ^ CrcTable[6][(Low >> 8) & 0xFF] ^ CrcTable[5][(Low >> 16) & 0xFF] ^
                   CrcTable[4][Low >> 24] ^ CrcTable[3][High & 0xFF] ^ CrcTable[2][(High >> 8) & 0xFF] ^
                   CrcTable[1][(High >> 16) & 0xFF] ^ CrcTable[0][High >> 24];
        P += CrcSlices;
        Count -= CrcSlices;
    }
    while (Count--) Register = CrcTable[0][(Register ^ *P++) & 0xFF] ^ (Register >> 8);
    return Register;
}
