// Windows and OS/2 bitmaps: uncompressed, bit-field and run-length coded,
// read into top-down rows of 1, 8, 24 or 32 bits, or as the file's own packed
// device-independent bitmap (flag 2).
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/readers/PicIO.h"
#include "imaging/readers/PicReaderFrame.h"

// Width, height as stored (negative: top-down), bit count; the resolution in
// pixels per metre with unit 2 (left alone for OS/2 files). 6 bad file, 3 short.
BOOL WINAPI pic_GetBMPDims(CPicIO* source, int32_t* width, int32_t* height, int32_t* bitsPerPixel,
                           PicResolutionInfo* resolution, uint32_t reserved);
// The colour table as 256 blue-green-red-x entries (1-, 4- and 8-bit files) and its count.
BOOL WINAPI pic_GetBMPPalette(CPicIO* source, int32_t* colourCount, RGBQUAD* palette, uint32_t reserved);
// Pixels at 1 or 8 bits (with the palette) or 24 or 32 bits; flags 2 and 8.
void* WINAPI pic_ReadBMP(CPicIO* source, int32_t* width, int32_t* height, int32_t bitDepth, RGBQUAD* palette,
                         uint32_t flags);
