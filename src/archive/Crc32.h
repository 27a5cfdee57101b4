// CRC-32 of the archive format (reflected, polynomial ArcCrcPolynomial): the
// reader checks entries with it, tarnpack computes header and data CRCs.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Fills the tables; ArcOpen does it, other users once before their first update.
void BuildCrcTable();
// Register update without the final complement: start from 0xFFFFFFFF and
// complement the last register to get the CRC.
uint32_t Crc32Update(uint32_t Register, const void* Bytes, size_t Count);
