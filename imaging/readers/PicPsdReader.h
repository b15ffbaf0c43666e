// Photoshop files: the flattened image, raw or PackBits-compressed, in
// bitmap, grey, indexed, duotone, RGB and CMYK modes at 1, 8 and 16 bits
// per channel, read as 8-bit indices with a palette, red-green-blue rows,
// 16-bit samples or a packed device-independent bitmap (flag 2).
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/readers/PicIO.h"
#include "imaging/readers/PicReaderFrame.h"

enum PicPsdColourMode : int32_t {
    PIC_PSD_BITMAP = 0,
    PIC_PSD_GREY = 1,
    PIC_PSD_INDEXED = 2,
    PIC_PSD_RGB = 3,
    PIC_PSD_CMYK = 4,
    PIC_PSD_MULTICHANNEL = 7,
    PIC_PSD_DUOTONE = 8,
    PIC_PSD_LAB = 9,
};

// CMYK files keep their four channels as stored (255: no ink).
constexpr uint32_t PIC_READ_PSD_KEEP_CMYK = 4;

// Width, height, bits per channel and colour mode; with a resolution record
// the whole numbers of the resolution resource (a section that cannot be
// parsed sets 5 or 67 and still answers true). 46 bad signature, 3 short.
BOOL WINAPI pic_GetPSDDims(CPicIO* source, int32_t* width, int32_t* height, int32_t* depth, int32_t* mode,
                           PicResolutionInfo* resolution, uint32_t reserved);
// 256 blue-green-red-x entries for bitmap, grey, indexed and duotone files
// at 1 or 8 bits per channel; 28 for modes without a palette.
BOOL WINAPI pic_GetPSDPalette(CPicIO* source, int32_t* count, RGBQUAD* palette, uint32_t reserved);
// bitDepth 8: one index per pixel (palette required). 24 and 32: red, green,
// blue, three bytes a pixel both (four with flag 4 for CMYK). 48 and 64: the
// 16-bit samples of the merged channels as stored (at most 3 or 4 of them).
// Rows decoded before a read failure (3) or a cancel (14) are returned.
void* WINAPI pic_ReadPSD(CPicIO* source, int32_t* width, int32_t* height, int32_t bitDepth, RGBQUAD* palette,
                         uint32_t flags);
