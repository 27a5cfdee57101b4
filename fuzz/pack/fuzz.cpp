// Fuzz target of tarnpack's archive writer. Property: whatever the entries,
// the level and the thread count, the archive reads back with the stub's
// reader exactly as written, and no entry is larger packed than stored.
// Input: a byte for the level (mod 6), a byte for the threads (1 or 2), then
// entries as a 16-bit length and that many bytes, each repeated (the low
// two bits of the length's high byte, +1) so that long entries cost little.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "ArchiveVerify.h"
#include "ArchiveWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    if (Size < 2) return 0;
    PackSettings Settings;
    Settings.Level = Data[0] % 6;
    Settings.Threads = 1 + (Data[1] & 1);
    std::vector<PackEntry> Entries;
    for (size_t At = 2; At + 2 <= Size && Entries.size() < 64;) {
        size_t Length = Data[At] | (size_t)(Data[At + 1] & 0x3F) << 8;
        int Copies = 1 + (Data[At + 1] >> 6);
        At += 2;
        if (Length > Size - At) Length = Size - At;
        PackEntry Entry;
        Entry.Name = "e" + std::to_string(Entries.size());
        for (int C = 0; C < Copies; ++C) Entry.Data.insert(Entry.Data.end(), Data + At, Data + At + Length);
        Entries.push_back(Entry);
        At += Length;
    }
    MemoryOutput Out;
    std::string Problem;
    if (!WriteArchive(Entries, Settings, Out, nullptr, &Problem)) abort();
    if (!VerifyArchiveBytes(Out.Bytes, &Entries, &Problem)) abort();
    // Packed size against unpacked size, header by header.
    const std::vector<uint8_t>& A = Out.Bytes;
    for (size_t Pos = 20; Pos + 32 <= A.size() && A[Pos + 2] == 0x74;) {
        uint32_t Packed = A[Pos + 7] | A[Pos + 8] << 8 | A[Pos + 9] << 16 | (uint32_t)A[Pos + 10] << 24;
        uint32_t Unpacked = A[Pos + 11] | A[Pos + 12] << 8 | A[Pos + 13] << 16 | (uint32_t)A[Pos + 14] << 24;
        if (Packed > Unpacked) abort();
        Pos += (A[Pos + 5] | A[Pos + 6] << 8) + Packed;
    }
    return 0;
}
