// JPEG files through the system's JPEG library: header values, pixels at 8,
// 24 or 32 bits (reduced by the DCT scale the thread has set), packed
// bitmaps, and the comment and application markers for the EXIF reader.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicIO.h"
#include "imaging/readers/PicReaderFrame.h"

enum PicJpegFlag : uint32_t {
    PIC_JPEG_CMYK = 1,         // CMYK and YCCK images as raw 32-bit CMYK
    PIC_JPEG_KEEP_YCBCR = 4,   // no colour conversion
    PIC_JPEG_SEEK_BACK = 0x10, // leave the source right after the image
    PIC_JPEG_PASSES = 0x20,    // progressive passes to the thread's pass callback
};

// Every later JPEG read on this thread decodes at numerator/denominator.
void WINAPI pic_SetJPGDCTScaleFactors(int32_t numerator, int32_t denominator);
BOOL WINAPI pic_GetJPGDims(CPicIO* source, int32_t* width, int32_t* height, int32_t* bitsPerPixel,
                           int32_t* colourSpace, int32_t* processFlags, PicResolutionInfo* resolution,
                           void* reserved);
void* WINAPI pic_ReadJPG(CPicIO* source, int32_t* width, int32_t* height, int32_t bitDepth, uint32_t flags);

// Stores the comments (id 0, text) and APP1..APP14 markers (id = marker,
// bytes = 4 leading bytes + payload) of the header into the settings' lists.
bool JpegCollectMarkers(CPicReaderContext& context, CPicIO& source, CPicReaderSettings& settings);
