// Photo CD image packs: one of six resolutions from the base planes (Y and
// half-size chroma), enlarged and corrected by the Huffman-coded residuals
// of the 4Base and 16Base levels, converted from PhotoYCC to red, green,
// blue and turned by the pack's rotation attribute.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/readers/PicIO.h"
#include "imaging/readers/PicReaderFrame.h"

// Sub-images: 1 (or less) 192 x 128, 2 384 x 256, 3 768 x 512, 4 1536 x 1024,
// 5 3072 x 2048, 6 (or more) 6144 x 4096; width and height receive the size
// after the turn. Red-green-blue rows, or a packed 24-bit bitmap with flag 2.
// 63 not an image pack, 64 an overview pack, 3 short base image.
void* WINAPI pic_ReadPCD(CPicIO* source, int32_t* width, int32_t* height, int32_t subImage, uint32_t flags);

// The display curve of a conversion variant (0: "PCDS" packs, 1: others) at
// a channel sum of 0-350; values between the fixed rows are interpolated.
uint8_t PicPhotoCdCurve(uint32_t variant, uint32_t index);
