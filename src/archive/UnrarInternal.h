// Interfaces between the parts of the archive reader: the container and
// extraction side (Unrar.cpp) and the 2.0 decoder (Rar20Unpack.cpp). Not for
// other modules; tests use it to reach the decoder.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "Crc32.h"

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
