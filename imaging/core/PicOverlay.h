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
