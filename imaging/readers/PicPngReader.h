// PNG files: header values, palette, and pixels at 1, 8, 16, 24, 32, 48 or
// 64 bits, or a packed bitmap at the image's own depth. 16-bit samples read
// at 8 bits per sample keep their high byte.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/readers/PicIO.h"
#include "imaging/readers/PicReaderFrame.h"

enum PicPngFlag : uint32_t {
    PIC_PNG_GAMMA = 1,   // correct by the file's gamma when it has no sRGB chunk
    PIC_PNG_GREY16 = 4,  // 16 bits: 16-bit grey samples instead of grey plus alpha
};

// Transparency values are -1 without a tRNS chunk; the resolution is the pHYs
// chunk's (unit 1: metre), zero without one.
BOOL WINAPI pic_GetPNGDims(CPicIO* source, int32_t* width, int32_t* height, int32_t* bitDepth,
                           int32_t* colourType, int32_t* interlace, int32_t* transIndex, int32_t* transRed,
                           int32_t* transGreen, int32_t* transBlue, int32_t* transGrey,
                           PicResolutionInfo* resolution, void* reserved);
BOOL WINAPI pic_GetPNGPalette(CPicIO* source, int32_t* colourCount, RGBQUAD* palette, void* reserved);
void* WINAPI pic_ReadPNG(CPicIO* source, int32_t* width, int32_t* height, int32_t bitDepth, RGBQUAD* palette,
                         uint32_t flags);
