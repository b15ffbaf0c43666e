// Netpbm bitmaps, greymaps and pixmaps (P1-P6) read into rows of 1, 8, 16,
// 24 or 48 bits, or a packed bitmap at the image's own depth.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/readers/PicIO.h"

enum PicPnmReadFlag : uint32_t {
    PIC_PNM_RAW_SAMPLES = 8,      // samples as stored, not scaled to the full range
    PIC_PNM_BLUE_FIRST = 0x10,    // colour rows in B, G, R order
    PIC_PNM_BOTTOM_UP = 0x20,     // the first image row stored last
    PIC_PNM_PADDED = 0x80000000,  // rows padded to a multiple of 4 bytes
};

// Width, height, maxval (1 for bitmaps) and the magic number (0x5031 "P1" to
// 0x5036 "P6") from the current position; 78 for a bad header.
BOOL WINAPI pic_GetPNMDims(CPicIO* source, int32_t* width, int32_t* height, int32_t* maxval, int32_t* format,
                           uint32_t reserved);
// Bitmaps at 1 bit (0 black, 1 white), greymaps at 8 or 16 bits, pixmaps at
// 24 or 48 bits (16-bit samples native), with the flags above and 2 (packed
// bitmap). Rows that fail come back with 78 and zeros.
void* WINAPI pic_ReadPNM(CPicIO* source, int32_t* width, int32_t* height, int32_t bitDepth, uint32_t flags);
