// Huffman code lengths limited to 15 bits and the canonical codes the RAR 2.0
// decoder derives from them (shorter codes first, equal lengths in symbol
// order, codes counting up), so the encoder and decoder tables agree.
#pragma once

#include <cstdint>

// Code lengths (0 = unused) for Count symbols with the given frequencies, no
// length above MaxLength. A lone used symbol gets a partner of length 1 so the
// code is always complete or empty. Deterministic: ties go to the lower symbol.
void BuildCodeLengths(const uint32_t* Freqs, int Count, int MaxLength, uint8_t* Lengths);

// Canonical code values (to be written MSB first with the symbol's length).
void BuildCanonicalCodes(const uint8_t* Lengths, int Count, uint16_t* Codes);

// Bits needed to code the symbols with these frequencies and lengths; a used
// symbol without a code counts as UnusableCost bits.
uint64_t CodedBits(const uint32_t* Freqs, const uint8_t* Lengths, int Count);

constexpr uint64_t UnusableCost = 1u << 24;
