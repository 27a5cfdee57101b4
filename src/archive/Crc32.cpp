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
    // Written out: the stub is compiled for size, and a loop over the sixteen
    // tables would stay a loop.
    while (Count >= CrcSlices) {
        uint32_t A = Register ^ ArcGetLe32(P), B = ArcGetLe32(P + 4), C = ArcGetLe32(P + 8), D = ArcGetLe32(P + 12);
        Register = CrcTable[15][A & 0xFF] ^ CrcTable[14][(A >> 8) & 0xFF] ^ CrcTable[13][(A >> 16) & 0xFF] ^
                   CrcTable[12][A >> 24] ^ CrcTable[11][B & 0xFF] ^ CrcTable[10][(B >> 8) & 0xFF] ^
                   CrcTable[9][(B >> 16) & 0xFF] ^ CrcTable[8][B >> 24] ^ CrcTable[7][C & 0xFF] ^
                   CrcTable[6][(C >> 8) & 0xFF] ^ CrcTable[5][(C >> 16) & 0xFF] ^ CrcTable[4][C >> 24] ^
                   CrcTable[3][D & 0xFF] ^ CrcTable[2][(D >> 8) & 0xFF] ^ CrcTable[1][(D >> 16) & 0xFF] ^
                   CrcTable[0][D >> 24];
        P += CrcSlices;
        Count -= CrcSlices;
    }
    while (Count--) Register = CrcTable[0][(Register ^ *P++) & 0xFF] ^ (Register >> 8);
    return Register;
}
