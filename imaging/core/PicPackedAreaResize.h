// Area-coverage reductions (method 14) of images that are not plain channels:
// packed 1-bit to 1-bit through a threshold, packed 1-bit to 8-bit gray (with
// exact integer paths for the ratios 2, 4, 8, 16 and 32), and palettised 8-bit
// through the palette's colours and back to the nearest entry. They share the
// coverage spans of method 15. Each runs on the calling thread and leaves its
// result code in `status`.
#pragma once

#include <windows.h>

#include <cstdint>

// 1-bit rows hold their first pixel in the most significant bit.
// A destination bit is set when trunc(255 x covered fraction) > threshold.
bool ResizeOneBitArea(int32_t& status, const uint8_t* src, uint32_t srcWidth, uint32_t srcHeight, uint32_t srcStride,
                      uint8_t* dst, uint32_t dstWidth, uint32_t dstHeight, uint32_t dstStride, uint32_t threshold,
                      uint32_t flags);

// Flag bit 0: set bits are white (255) instead of black.
bool ResizeOneBitToGrayArea(int32_t& status, const uint8_t* src, uint32_t srcWidth, uint32_t srcHeight,
                            uint32_t srcStride, uint8_t* dst, uint32_t dstWidth, uint32_t dstHeight,
                            uint32_t dstStride, uint32_t flags);

// Indices at or past the palette count read entry 0; at most 256 entries are used.
bool ResizePalettedArea(int32_t& status, const uint8_t* src, uint32_t srcWidth, uint32_t srcHeight,
                        uint32_t srcStride, uint8_t* dst, uint32_t dstWidth, uint32_t dstHeight, uint32_t dstStride,
                        const RGBQUAD* palette, uint32_t paletteCount, uint32_t flags);

// table[b] = (set bits of b) x factor.
void MakeBitCountTable(int32_t table[256], int32_t factor);
