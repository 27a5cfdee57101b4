// Most-significant-bit-first bit output, the bit order the RAR 2.0 decoder
// reads. The encoder writes one BitWriter per archive entry, since every
// entry's packed data starts on a byte boundary.
#pragma once

#include <cstdint>
#include <vector>

class BitWriter {
public:
    // Appends the low Count bits of Value (Count 0..24), highest bit first.
    void PutBits(uint32_t Value, int Count)
    {
        Pending = (Pending << Count) | (Value & ((1u << Count) - 1));
        PendingCount += Count;
        while (PendingCount >= 8) {
            PendingCount -= 8;
            Bytes.push_back(uint8_t(Pending >> PendingCount));
        }
        Pending &= (1u << PendingCount) - 1;
    }

    uint64_t BitCount() const { return uint64_t(Bytes.size()) * 8 + PendingCount; }

    // Pads the last byte with zero bits and returns the bytes.
    std::vector<uint8_t>& Finish()
    {
        if (PendingCount > 0)
            PutBits(0, 8 - PendingCount);
        return Bytes;
    }

private:
    std::vector<uint8_t> Bytes;
    uint32_t Pending = 0; // fewer than 8 bits wait here between calls
    int PendingCount = 0;
};
