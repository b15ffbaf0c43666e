// PCX images: run-length coded scan lines of one to four colour planes, read
// into top-down rows of 1, 8 or 24 bits or a packed bitmap at the image's own
// depth.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/readers/PicIO.h"
#include "imaging/readers/PicReaderFrame.h"

// Width, height, pixel depth (planes x bits) and the header's dots per inch
// (unit 0). 22 for a header that is refused.
BOOL WINAPI pic_GetPCXDims(CPicIO* source, int32_t* width, int32_t* height, int32_t* bitsPerPixel,
                           PicResolutionInfo* resolution, uint32_t reserved);
// 256 blue-green-red-0 entries for images of at most 8 bits; the count is 256.
BOOL WINAPI pic_GetPCXPalette(CPicIO* source, int32_t* colourCount, RGBQUAD* palette, uint32_t reserved);
// Pixels at 1 (1-bit images), 8 (indices, with the palette) or 24 bits;
// flags 2 (packed bitmap) and 8 (padded rows, B, G, R). Rows cut short come
// back with 3.
void* WINAPI pic_ReadPCX(CPicIO* source, int32_t* width, int32_t* height, int32_t bitDepth, RGBQUAD* palette,
                         uint32_t flags);
