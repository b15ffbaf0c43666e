// Truevision Targa images: colour-mapped, true-colour and grey, plain or
// run-length coded, stored bottom-up or top-down. Known by the footer or the
// ".tga" extension.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/readers/PicIO.h"

// Width, height and pixel depth from the header at the current position.
BOOL WINAPI pic_GetTGADims(CPicIO* source, int32_t* width, int32_t* height, int32_t* bitsPerPixel, uint32_t flags);
// The colour map (or the grey ramp of a grey image) as 256 entries and its count.
BOOL WINAPI pic_GetTGAPalette(CPicIO* source, int32_t* count, RGBQUAD* palette, uint32_t flags);
// Indices or grey levels at 8 bits with the palette, or 24- or 32-bit colour;
// flags 2 (packed bitmap at the file's depth) and 8 (padded B, G, R rows).
// Rows cut short come back with 3.
void* WINAPI pic_ReadTGA(CPicIO* source, int32_t* width, int32_t* height, int32_t bitsPerPixel, RGBQUAD* palette,
                         uint32_t flags);
