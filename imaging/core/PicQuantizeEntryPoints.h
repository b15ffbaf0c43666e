// Entry points that turn 24-bit images into 8-bit palette indices. Flags:
// bit 0 - source in palette order (blue, green, red); bit 1 - four bytes per
// pixel; bit 2 - build the palette with the linked octree. Dither mode 0
// diffuses to two neighbours, any other value Floyd-Steinberg; the error
// limit bounds the diffused error per channel (a negative limit is 0).
#pragma once

#include <windows.h>

#include <cstdint>

// Builds a palette of `colours` entries (below 2 gives 1, above 256 gives
// 256) into palette and maps the image onto it.
BOOL WINAPI pic_QuantizeRGBTo8Bit(const uint8_t* src, uint32_t width, uint32_t height, uint32_t srcStride,
                                  uint8_t* dst, uint32_t dstStride, uint32_t colours, RGBQUAD* palette,
                                  int32_t ditherMode, int32_t errorLimit, uint32_t flags);
// Maps the image onto the first paletteCount entries (at most 256) of a given palette.
BOOL WINAPI pic_RGBTo8BitDithered(const uint8_t* src, uint32_t width, uint32_t height, uint32_t srcStride,
                                  uint8_t* dst, uint32_t dstStride, uint32_t paletteCount, const RGBQUAD* palette,
                                  int32_t ditherMode, int32_t errorLimit, uint32_t flags);
