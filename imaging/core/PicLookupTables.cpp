#include "imaging/core/PicLookupTables.h"

#include <cstring>

#include "imaging/core/PicLibrarySettings.h"

void BuildLookupTables(CPicLookupTables& t) {
    for (int i = 0; i < 256; ++i) {
        t.grayPalette[i].rgbBlue = (BYTE)i;
        t.grayPalette[i].rgbGreen = (BYTE)i;
        t.grayPalette[i].rgbRed = (BYTE)i;
        t.grayPalette[i].rgbReserved = 0;
    }
    for (int j = 0; j < 8; ++j) {
        t.bitMasks[j] = (uint8_t)(1 << j);
        t.bitMasks[8 + j] = (uint8_t)(0x80 >> j);
        t.inverseBitMasks[j] = (uint8_t)~(1 << j);
    }
    for (int b = 0; b < 256; ++b) {
        uint8_t reversed = 0;
        for (int bit = 0; bit < 8; ++bit)
            if (b & (1 << bit)) reversed |= (uint8_t)(0x80 >> bit);
        t.reversedBits[b] = reversed;
        t.reversedBits[256 + b] = (uint8_t)~reversed;
    }
    for (int n = 0; n < 8; ++n)
        for (int k = 0; k < 8; ++k) {
            uint8_t mask = 0;
            for (int bit = k; bit <= n; ++bit) mask |= (uint8_t)(1 << bit);
            t.bitRangeMasks[n][k] = mask;
        }
    for (int b = 0; b < 256; ++b) {
        for (int i = 0; i < 8; ++i) t.unpack1Bit[b][i] = (uint8_t)((b >> (7 - i)) & 1);
        memcpy(t.unpack1BitWords[b], t.unpack1Bit[b], 8);
    }
}

const CPicLookupTables& PicTables() { return GetLibrarySettings().tables; }
