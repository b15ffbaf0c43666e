// Lookup tables built once at start and read-only afterwards, so that 1-bit
// unpacking, bit reversal and mask building need no per-pixel shifting.
#pragma once

#include <windows.h>

#include <cstdint>

struct CPicLookupTables {
    RGBQUAD grayPalette[256];          // entry i = (i, i, i, 0)
    uint8_t bitMasks[16];              // [j] = 1 << j; [8 + k] = 0x80 >> k
    uint8_t inverseBitMasks[8];        // [j] = ~(1 << j)
    uint8_t reversedBits[512];         // [b] = b bit-reversed; [256 + b] = its complement
    uint8_t bitRangeMasks[8][8];       // [n][k] = bits k..n set, 0 when k > n
    uint8_t unpack1Bit[256][8];        // the bits of b as bytes 0/1, most significant first
    uint32_t unpack1BitWords[256][2];  // the same eight bytes as two words
};

void BuildLookupTables(CPicLookupTables& tables);

// The library's tables (built with the library settings).
const CPicLookupTables& PicTables();
