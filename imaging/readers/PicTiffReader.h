// TIFF files through the system's TIFF library over a byte source: the size,
// depth and resolution of a page, and a page's pixels at a requested depth
// or as a packed bitmap (flags of PicTiffDecode.h).
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/readers/PicIO.h"
#include "imaging/readers/PicReaderFrame.h"

BOOL WINAPI pic_GetTIFFDims(CPicIO* source, int32_t page, int32_t* width, int32_t* height, int32_t* bitsPerPixel,
                            PicResolutionInfo* resolution, void* reserved);
// Depths 1 and 8 fill the 256-entry palette; 16, 24, 32, 48, 64 and 96 do not
// use it. width and height receive the size after the page's orientation.
void* WINAPI pic_ReadTIFF(CPicIO* source, int32_t* width, int32_t* height, int32_t bitDepth, RGBQUAD* palette,
                          int32_t page, uint32_t flags);
