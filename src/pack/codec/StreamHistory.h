// The bytes of the solid stream the encoder still needs: the window behind
// the chunks being parsed and the data read ahead of them. A ring indexed by
// stream position (which counts the bytes of packed entries only: stored ones
// never enter the decoder's window), with its first bytes mirrored after its
// end so that MaxRead bytes from any position lie side by side.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

class StreamHistory {
public:
    static constexpr uint32_t Size = 4u << 20; // window + read-ahead + the chunks in flight, with room
    static constexpr uint32_t Mask = Size - 1;
    static constexpr uint32_t MaxRead = 512; // longer than any match or hash reads at once

    StreamHistory() : Bytes(Size + MaxRead, 0) {}

    const uint8_t* At(uint32_t Position) const { return Bytes.data() + (Position & Mask); }
    uint8_t operator[](uint32_t Position) const { return Bytes[Position & Mask]; }
    uint32_t End() const { return Written; } // the next position to be written

    // Appends at End(). Overwrites the bytes Size positions back, which the
    // caller no longer reads.
    void Append(const uint8_t* Data, size_t Count)
    {
        while (Count > 0) {
            uint32_t Slot = Written & Mask;
            size_t Piece = Count < Size - Slot ? Count : Size - Slot;
            std::memcpy(&Bytes[Slot], Data, Piece);
            if (Slot < MaxRead) {
                size_t Mirrored = Piece < MaxRead - Slot ? Piece : MaxRead - Slot;
                std::memcpy(&Bytes[Size + Slot], Data, Mirrored);
            }
            Data += Piece;
            Count -= Piece;
            Written += uint32_t(Piece);
        }
    }

private:
    std::vector<uint8_t> Bytes;
    uint32_t Written = 0;
};
