// Plain forms of the stand-alone row kernels. The SSE4.1 forms are methods of
// CPicOperation and give the same bytes; callers ask IsSimdKernelAvailable
// first and fall back to these.
#pragma once

#include <cstdint>

// A solid colour (bits 0-7 to byte 0, 8-15 to byte 1, 16-23 to byte 2) painted
// into count 3-byte pixels through an 8-bit coverage mask.
void BlendColorMaskRow(uint8_t* dst, const uint8_t* mask, uint32_t count, uint32_t color);
// count 4-byte pixels drawn over 3-byte pixels by their fourth byte.
void BlendRGBAOverRGBRow(const uint8_t* src, uint8_t* dst, uint32_t count);
// The same with each alpha taken as (alpha * multiplier) >> 16, on SSE4.1
// (none without it); returns the pixels done, a multiple of 16.
uint32_t BlendRGBAOverRGBScaledSSE41(const uint8_t* src, uint8_t* dst, uint32_t count, uint16_t multiplier);
// Bytes 0-2 of count 4-byte pixels to rgb, byte 3 to alpha (either may be null).
void SplitRGBARow(const uint8_t* src, uint8_t* rgb, uint8_t* alpha, uint32_t count);
// The same for samples of any size (bytes, 16-bit samples).
template <class T>
void SplitRGBASamples(const T* src, T* rgb, T* alpha, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i, src += 4) {
        if (rgb != nullptr) {
            rgb[0] = src[0];
            rgb[1] = src[1];
            rgb[2] = src[2];
            rgb += 3;
        }
        if (alpha != nullptr) *alpha++ = src[3];
    }
}
// Exchanges bytes 0 and 2 of count 3-byte pixels in place.
void SwapRBRow(uint8_t* pixels, uint32_t count);
// dst pixel i = (src byte 2, byte 1, byte 0) of pixel i; the rows do not overlap.
void CopySwapRBRow(const uint8_t* src, uint8_t* dst, uint32_t count);

// (p + 1 + (p >> 8)) >> 8 equals p / 255 for every p up to 255 * 255.
inline uint32_t DivideBy255(uint32_t p) { return (p + 1 + (p >> 8)) >> 8; }
