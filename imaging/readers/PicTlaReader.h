// TLA pictures: a chunked, zlib-compressed raster of 1 to 4 bytes per pixel
// with an optional palette and metadata blocks; protected streams are
// decrypted with the key made from the caller's password. The list chunk's
// blocks of the last stream opened stay on the thread state.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/readers/PicIO.h"

// Width, height and bits per pixel (bytes per pixel x 8); non-zero on success.
BOOL WINAPI pic_GetTLADims_(CPicIO* source, int32_t* width, int32_t* height, int32_t* bitsPerPixel,
                            const char* password, void* reserved);
// Pixels at outputCode bytes per pixel (1 indices with the palette's 256
// entries, 2 as 1-5-5-5 words, 3 red-green-blue, 4 with alpha); flag 2: one
// packed bitmap at the image's own depth; flag 8: rows padded to 4 bytes.
void* WINAPI pic_ReadTLA(CPicIO* source, int32_t* width, int32_t* height, const char* password,
                         int32_t outputCode, RGBQUAD* palette, uint32_t flags);
