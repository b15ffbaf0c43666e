// The first image of a GIF file: its header values and its pixels as 8-bit
// colour indices with the palette of the table it uses.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/readers/PicIO.h"

// flags bit 0: the logical screen's size instead of the first image's.
// bitsPerPixel is the global table's depth; transparentIndex -1 without one.
BOOL WINAPI pic_GetGIFDims(CPicIO* source, int32_t* width, int32_t* height, int32_t* bitsPerPixel,
                           int32_t* backgroundIndex, int32_t* transparentIndex, RGBQUAD* palette,
                           int32_t* interlaced, uint32_t flags);
// One byte per pixel; flag 2 a bottom-up packed bitmap, flag 8 rows padded to 4 bytes.
void* WINAPI pic_ReadGIF(CPicIO* source, int32_t* width, int32_t* height, int32_t* transparentIndex,
                         RGBQUAD* palette, uint32_t flags);
