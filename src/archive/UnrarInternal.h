// Interfaces between the parts of the archive reader: the container and
// extraction side (Unrar.cpp), the 2.0 decoder (Rar20Unpack.cpp) and the
// CRC-32 routine. Not for other modules; tests use it to reach the decoder.
#pragma once

#include <stddef.h>
#include <stdint.h>

// ---- CRC-32 (reflected, polynomial ArcCrcPolynomial) ----
void BuildCrcTable();
// Register update without the final complement: start from 0xFFFFFFFF.
uint32_t Crc32Update(uint32_t Register, const void* Bytes, size_t Count);

// ---- provided by the extraction step for the decoder ----
// Up to Count bytes of the current entry's packed data; 0 when it is
// exhausted or the read failed.
int ReadPacked(uint8_t* Buffer, int Count);
// Hands decoded bytes to the output (or only to the CRC when testing).
void WriteUnpacked(const uint8_t* Bytes, int Count);

// ---- the 2.0 decoder ----
// Clears every part of the decoder state (at ArcOpen).
void Rar20Reset();
// Decodes the current entry into Window (ArcWindowSize bytes), handing the
// output to WriteUnpacked. Returns ArcOk, or ArcDataError when the stream is
// found damaged (an invalid code, over-subscribed code lengths, or more bits
// needed than the packed data holds).
int Rar20Unpack(uint8_t* Window, bool Solid, uint32_t UnpackedSize);

// ---- the audio predictor, one per channel ----
enum {
    AudioDifCount = 11, // candidate weight changes: none, then -/+ for K1..K5
    AudioDifSlots = 12, // Dif is padded to a multiple of 4 lanes
};
struct AudioChannel {
    int32_t K1, K2, K3, K4, K5; // weights, kept within -17..16
    int32_t D1, D2, D3, D4;     // delta history
    int32_t LastDelta;          // last output difference, as a signed byte
    uint32_t Dif[AudioDifSlots]; // error sums of the candidate weight changes
    uint32_t ByteCount;
    int32_t LastChar;
};
// Reconstructs one byte of Channel from the coded difference Delta (0..255).
// ChannelDelta is the LastDelta of the byte decoded last in any channel.
uint8_t DecodeAudioByte(AudioChannel* Channel, int32_t* ChannelDelta, uint32_t Delta);
