// Wireless bitmaps (type 0: one bit per pixel, no compression). The format has
// no signature; it is known by its extension only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/readers/PicIO.h"

// Width and height from the header at the current position; 53 for a bad header.
BOOL WINAPI pic_GetWBMPDims(CPicIO* source, int32_t* width, int32_t* height, uint32_t flags);
// Pixels at 1 bit, or one byte (0 black, 1 white) per pixel for any other
// depth, with the two-entry palette; flags 2 (1-bit packed bitmap) and 8.
// Rows cut short come back with 3.
void* WINAPI pic_ReadWBMP(CPicIO* source, int32_t* width, int32_t* height, RGBQUAD* palette, int32_t bitsPerPixel,
                          uint32_t flags);
