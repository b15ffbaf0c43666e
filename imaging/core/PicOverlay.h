// The overlay: a source image placed with its top-left pixel at (x, y) of a
// destination, clipped to it, each covered destination sample combined with
// the source sample under it by a mode (PicOverlayModes.h) and an opacity.
// Large overlays run in row bands on the pool (flag 0x100000 forbids it).
//
// Every operation returns 1 on success and 0 on failure and leaves its code
// in status. Objects live on their caller's stack, one call at a time.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/core/PicImgBuf.h"
#include "imaging/core/PicOverlayModes.h"

// Flag of the 16-bit and float copy path: source rows are taken bottom-up.
constexpr uint32_t PIC_OVERLAY_SOURCE_BOTTOM_UP = 0x4;

// The destination rectangle a source at (x, y) covers, cut to the destination
// (all arithmetic in 64 bits, so x + srcW cannot wrap). Destination column c
// takes source column c - x, row r source row r - y.
RECT ClipOverlayRect(int64_t dstW, int64_t dstH, int64_t srcW, int64_t srcH, int64_t x, int64_t y);

class CPicImgOverlay {
public:
    int32_t status = 0;

    // An RGBA source (byte 3 the alpha) drawn by its alpha over an RGB or RGBA
    // destination. Modes 1-5 choose the destination alpha (PicOverlayModes.h);
    // other layouts give 5.
    int32_t OverlayUChar(VovIredev::CPicImgBufBase<uint8_t>& dst, const VovIredev::CPicImgBufBase<uint8_t>& src,
                         int32_t x, int32_t y, double opacity, int32_t mode, uint32_t flags);
    // The 43 modes on 16-bit samples; the source has the destination's channel count.
    int32_t OverlayUShort(VovIredev::CPicImgBufBase<uint16_t>& dst, const VovIredev::CPicImgBufBase<uint16_t>& src,
                          int32_t x, int32_t y, double opacity, double param, int32_t mode, uint32_t flags);
    // The float modes; 0, 5-8, 11 and 39 run on the SSE or AVX kernels when the processor has them.
    int32_t OverlayFloat(VovIredev::CPicImgBufBase<float>& dst, const VovIredev::CPicImgBufBase<float>& src,
                         int32_t x, int32_t y, float opacity, float param, int32_t mode, uint32_t flags);

    // ---- small images placed on larger ones (strides in bytes; 1-bit rows most
    //      significant bit first; a colour entry is B, G, R, alpha; a colour pair is
    //      the entries for mask bits 0 and 1; a colour word is R | G << 8 | B << 16) ----

    // 1-bit onto 1-bit. Flags: 0x1 transparent (destination AND source), with 0x2
    // destination OR source; 0x8 source rows bottom-up. Bits beside the rectangle keep their values.
    int32_t Overlay1Bit(uint8_t* dst, int32_t dstW, int32_t dstH, int32_t dstStride, const uint8_t* src, int32_t srcW,
                        int32_t srcH, int32_t srcStride, int32_t x, int32_t y, uint32_t flags);
    // A 1-bit mask in two colours onto palette indices: each pixel's palette colour
    // mixed with the entry by its alpha, then matched to the nearest entry. An index
    // at or beyond the count reads entry 0; at most 256 entries are used.
    int32_t Overlay1BitOn8Bit(uint8_t* dst, int32_t dstW, int32_t dstH, int32_t dstStride, const uint8_t* src,
                              int32_t srcW, int32_t srcH, int32_t srcStride, int32_t x, int32_t y,
                              int32_t paletteCount, const uint8_t* palette, const uint8_t* colourPair);
    // A 1-bit mask (a view with channels 0) in two colours onto RGB or RGBA, in bands
    // when large. Flags: 0x1 B, G, R order; RGBA: 0x2 alpha only (0x4: set entry 1's
    // alpha under 1-bits), 0x8 set colour and alpha, 0x10 mix and keep the alpha.
    int32_t Overlay1BitTwoColors(VovIredev::CPicImgBufBase<uint8_t>& dst, const VovIredev::CPicImgBufBase<uint8_t>& mask,
                                 int32_t x, int32_t y, const uint8_t* colourPair, uint32_t flags);
    // An 8-bit coverage mask painted in a colour word onto RGB (channels must be 3).
    int32_t BlendColorThroughMask(uint8_t* dst, int32_t dstW, int32_t dstH, int32_t channels, int32_t dstStride,
                                  const uint8_t* mask, int32_t maskW, int32_t maskH, int32_t maskStride,
                                  uint32_t colour, int32_t x, int32_t y, uint32_t flags);
    // The same onto RGBA. Flags: 0x1 B, G, R order, 0x2 alpha only, 0x8 set the colour
    // with the coverage as alpha, 0x10 keep the destination alpha.
    int32_t BlendColorThroughMaskRGBA(uint8_t* dst, int32_t dstW, int32_t dstH, int32_t dstStride,
                                      const uint8_t* mask, int32_t maskW, int32_t maskH, int32_t maskStride,
                                      uint32_t colour, int32_t x, int32_t y, uint32_t flags);
    // Palette indices (a 256-entry palette) onto an RGBA canvas. Flags: 0x2 B, G, R
    // order; 0x4 transparency on; 0x8 keep the canvas alpha under transparent pixels;
    // 0x10 paint transparent pixels in their entry's colour.
    int32_t Overlay8BitOnRGBA(uint8_t* dst, int32_t dstW, int32_t dstH, int32_t dstStride, const uint8_t* src,
                              int32_t srcW, int32_t srcH, int32_t srcStride, const uint8_t* palette, int32_t x,
                              int32_t y, int32_t transparentIndex, uint32_t flags);
};

// The scalar overlay of 16-bit (maxValue 65535) and float (maxValue the
// largest finite float) samples.
template <class T>
class CPicImgOverlayT {
public:
    explicit CPicImgOverlayT(T maxValue) : maxValue(maxValue) {}

    int32_t status = 0;
    T maxValue;

    // Clips, splits into bands when large, and runs OverlayCore.
    int32_t Overlay(VovIredev::CPicImgBufBase<T>& dst, const VovIredev::CPicImgBufBase<T>& src, int32_t x,
                    int32_t y, double opacity, double param, int32_t mode, uint32_t flags);
    // The overlay of the clipped area, or of its part in band (null: all of it).
    int32_t OverlayCore(VovIredev::CPicImgBufBase<T>& dst, const VovIredev::CPicImgBufBase<T>& src, int32_t x,
                        int32_t y, double opacity, double param, int32_t mode, uint32_t flags, const RECT* band);
};
