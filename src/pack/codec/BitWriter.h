// Most-significant-bit-first bit output, the bit order the 2.0 decoder reads.
// Every entry's packed data starts on a byte boundary; the emitter takes the
// whole bytes now and then and pads at the end of each entry.
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

    // Whole bytes written and not yet taken.
    std::vector<uint8_t>& FullBytes() { return Bytes; }

    // Pads the last byte with zero bits.
    void PadToByte()
    {
        if (PendingCount > 0) PutBits(0, 8 - PendingCount);
    }

private:
    std::vector<uint8_t> Bytes;
    uint32_t Pending = 0; // fewer than 8 bits wait here between calls
    int PendingCount = 0;
};
