// Reading an image of any supported format from a source into one of four
// shapes without knowing the format: 24-bit RGB, 32-bit RGBA, 1-bit, or a
// packed device-independent bitmap.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/readers/PicIO.h"

enum PicReadKind : int32_t {
    PIC_KIND_RGB = 0,     // any other value too
    PIC_KIND_RGBA = 1,
    PIC_KIND_DIB = 2,
    PIC_KIND_1BIT = 3,
};

// flags bit 0: JPEG images are not turned by their EXIF orientation.
void* WINAPI pic_ReadImage(CPicIO* source, int32_t* width, int32_t* height, int32_t kind, uint32_t flags);
