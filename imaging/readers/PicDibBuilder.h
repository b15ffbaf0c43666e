// Packed device-independent bitmaps made from top-down reader rows: a
// 40-byte header, the colour table, then the rows bottom-up, each padded to
// a multiple of 4 bytes, colour pixels in blue, green, red order.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/readers/PicReaderFrame.h"

// The block size for width x height at 1, 4, 8, 24 or 32 bits with `colours`
// table entries (0 for another depth).
uint64_t PicDibBlockSize(uint32_t width, uint32_t height, uint32_t bits, uint32_t colours);

// Writes the header and the table into block; the caller fills the rows.
void PicWriteDibHeader(uint8_t* block, uint32_t width, uint32_t height, uint32_t bits, uint32_t colours,
                       const RGBQUAD* palette, int32_t xPerMetre = 0, int32_t yPerMetre = 0);

// One packed bitmap in `output` from 8-bit rows (with the palette) or 24-bit
// red-green-blue rows.
bool PicBuildDib(CPicReaderContext& context, CPicReaderOutput& output, const uint8_t* rows, uint32_t width,
                 uint32_t height, uint64_t stride, uint32_t bits, const RGBQUAD* palette, uint32_t colours);
