// Row helpers of the pixel conversions that cannot fail. The conversions that
// check arguments and report codes are CPicOperation methods (PicOperation.h);
// the red/blue swaps and gray conversion of whole images are in PicImgUtil.h.
#pragma once

#include <windows.h>

#include <cstdint>

// 1-, 2-, 4- or 8-bit indices to one byte each, most significant bits first.
void ExpandIndexRowTo8Bit(const uint8_t* src, uint8_t* dst, uint32_t width, uint32_t bits);

// 2-bit pixels to 4-bit pixels, two per byte (an odd last pixel fills a high
// nibble alone). Only bits == 2 is converted.
void Pack2BitRowTo4Bit(const uint8_t* src, uint8_t* dst, uint32_t bits, uint32_t width);

// Bit-field masks of 16-bit DIB pixels: red, green, blue (low 16 bits used).
struct CPicBitFieldMasks {
    uint32_t red, green, blue;
};

// One DIB row (1, 2, 4, 8, 16, 24 or 32 bits) to red, green, blue, with a
// fourth byte when rgba is set. Palette indices at or beyond paletteCount
// (at most 256 are used) read as entry 0, and as black with no palette.
// keepOrder copies 24- and 32-bit pixels in their stored byte order.
void ConvertPackedRowToRGB(const uint8_t* src, uint8_t* dst, uint32_t width, uint32_t bits,
                           const RGBQUAD* palette, uint32_t paletteCount, const CPicBitFieldMasks* masks,
                           bool rgba, uint8_t alpha, bool keepOrder);

// The channel value of a masked 16-bit pixel: the mask's run of bits moved so
// that its top bit lands on bit 7. An empty mask gives 0.
uint8_t ExtractBitField(uint32_t pixel, uint32_t mask);

// Red/blue exchange over pixels that follow each other without padding.
void SwapRB24InPlace(uint8_t* data, uint32_t width, uint32_t rows);
void SwapRB32InPlace(uint8_t* data, uint32_t width, uint32_t rows);
// Writes blue, green, red for red, green, blue (SSE4.1 when present).
void CopySwapRB24(const uint8_t* src, uint8_t* dst, uint32_t width);

inline void SwapBytes16(uint16_t* value) { *value = (uint16_t)((*value << 8) | (*value >> 8)); }

// Resolution values of the file formats' conventions (kinds 0 to 5).
struct CPicResolution {
    double x;
    double y;
    uint32_t unit;
};
// Rewrites the record from one kind's convention to another's; FALSE when the
// target cannot express the value (the record is then zeroed) or for a null
// record or a source kind above 5 (the record is then unchanged).
BOOL ConvertResolution(CPicResolution* resolution, uint32_t sourceKind, uint32_t targetKind);
