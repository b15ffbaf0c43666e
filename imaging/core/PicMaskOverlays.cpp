// The raw small-image overlays: 1-bit onto 1-bit, a two-colour 1-bit mask onto
// palette indices, a coverage mask in one colour onto RGB and RGBA, and
// palette indices onto an RGBA canvas.
#include <cstring>

#include "imaging/core/PicColorMatch.h"
#include "imaging/core/PicLogicalBlend.h"
#include "imaging/core/PicOverlay.h"
#include "imaging/core/PicOverlayFrame.h"
#include "imaging/core/PicRowKernels.h"

namespace {

uint8_t Mix(uint32_t colour, uint32_t pixel, uint32_t weight) {
    return (uint8_t)DivideBy255(colour * weight + pixel * (255 - weight));
}

// Eight bits of a packed row from bit column `first` on (columns outside 0..bytes*8 read 0).
uint32_t BitsFrom(const uint8_t* row, int64_t rowBytes, int64_t first) {
    const int64_t byte = first >= 0 ? first / 8 : -((-first + 7) / 8);
    const int64_t shift = first - byte * 8;
    const uint32_t high = byte >= 0 && byte < rowBytes ? row[byte] : 0;
    const uint32_t low = byte + 1 >= 0 && byte + 1 < rowBytes ? row[byte + 1] : 0;
    return (((high << 8) | low) << shift >> 8) & 0xFF;
}

// The bits of destination byte j that lie in [left, right).
uint32_t CoveredBits(int64_t j, int64_t left, int64_t right) {
    uint32_t mask = 0;
    for (int64_t k = 0; k < 8; ++k)
        if (j * 8 + k >= left && j * 8 + k < right) mask |= 0x80u >> k;
    return mask;
}

// Writes the three colour bytes R, G, B (or B, G, R when swapped).
void PutColour(uint8_t* p, uint32_t r, uint32_t g, uint32_t b, bool swap) {
    p[0] = (uint8_t)(swap ? b : r);
    p[1] = (uint8_t)g;
    p[2] = (uint8_t)(swap ? r : b);
}

}  // namespace

int32_t CPicImgOverlay::Overlay1Bit(uint8_t* dst, int32_t dstW, int32_t dstH, int32_t dstStride, const uint8_t* src,
                                    int32_t srcW, int32_t srcH, int32_t srcStride, int32_t x, int32_t y,
                                    uint32_t flags) {
    status = PicRawGeometryRefusal(dstW, dstH, dstStride, ((uint64_t)dstW + 7) / 8, srcW, srcH, srcStride,
                                   ((uint64_t)srcW + 7) / 8);
    if (status != 0) return 0;
    const RECT rect = ClipOverlayRect(dstW, dstH, srcW, srcH, x, y);
    if (PicRectEmpty(rect)) return 1;
    if (dst == nullptr || src == nullptr || dst == src) return PicOverlayFail(status, PIC_ERR_BAD_PARAM);
    const bool transparent = (flags & 0x1) != 0, drawOnes = (flags & 0x2) != 0, bottomUp = (flags & 0x8) != 0;
    const int64_t srcRowBytes = ((int64_t)srcW + 7) / 8;
    status = PicWalkRows(rect, [&](int64_t r) {
        const int64_t srcRow = bottomUp ? (int64_t)y + srcH - 1 - r : r - y;
        const uint8_t* s = src + (uint64_t)srcRow * (uint32_t)srcStride;
        uint8_t* d = dst + (uint64_t)r * (uint32_t)dstStride;
        for (int64_t j = rect.left / 8; j * 8 < rect.right; ++j) {
            const uint32_t covered = CoveredBits(j, rect.left, rect.right);
            const uint32_t bits = BitsFrom(s, srcRowBytes, j * 8 - x) & covered;
            if (!transparent)
                d[j] = (uint8_t)((d[j] & ~covered) | bits);
            else if (drawOnes)
                d[j] = (uint8_t)(d[j] | bits);
            else
                d[j] = (uint8_t)(d[j] & (bits | ~covered));
        }
        return 0;
    });
    return status == 0 ? 1 : 0;
}

int32_t CPicImgOverlay::Overlay1BitOn8Bit(uint8_t* dst, int32_t dstW, int32_t dstH, int32_t dstStride,
                                          const uint8_t* src, int32_t srcW, int32_t srcH, int32_t srcStride,
                                          int32_t x, int32_t y, int32_t paletteCount, const uint8_t* palette,
                                          const uint8_t* colourPair) {
    status = PicRawGeometryRefusal(dstW, dstH, dstStride, (uint64_t)dstW, srcW, srcH, srcStride,
                                   ((uint64_t)srcW + 7) / 8);
    if (status != 0) return 0;
    const RECT rect = ClipOverlayRect(dstW, dstH, srcW, srcH, x, y);
    if (PicRectEmpty(rect)) return 1;
    if (dst == nullptr || src == nullptr || dst == src || palette == nullptr || colourPair == nullptr ||
        paletteCount < 1)
        return PicOverlayFail(status, PIC_ERR_BAD_PARAM);
    const uint32_t entries = paletteCount > 256 ? 256 : (uint32_t)paletteCount;
    CPicImgColorMatch matcher;
    matcher.SetPalette(reinterpret_cast<const RGBQUAD*>(palette), entries);
    status = PicWalkRows(rect, [&](int64_t r) {
        const uint8_t* s = src + (uint64_t)(r - y) * (uint32_t)srcStride;
        uint8_t* d = dst + (uint64_t)r * (uint32_t)dstStride;
        for (int64_t c = rect.left; c < rect.right; ++c) {
            const uint8_t* e = colourPair + 4 * PicMaskBit(s, c - x);
            const uint8_t* p = palette + 4 * (d[c] < entries ? d[c] : 0);
            const uint32_t a = e[3];
            auto mix = [&](int k) { return (uint8_t)((p[k] * (255 - a) + e[k] * a) / 255); };
            d[c] = matcher.FindClosestColor(mix(2), mix(1), mix(0));
        }
        return 0;
    });
    return status == 0 ? 1 : 0;
}

int32_t CPicImgOverlay::BlendColorThroughMask(uint8_t* dst, int32_t dstW, int32_t dstH, int32_t channels,
                                              int32_t dstStride, const uint8_t* mask, int32_t maskW, int32_t maskH,
                                              int32_t maskStride, uint32_t colour, int32_t x, int32_t y,
                                              uint32_t /*flags*/) {
    if (channels != 3) return PicOverlayFail(status, PIC_ERR_BAD_PARAM);
    status = PicRawGeometryRefusal(dstW, dstH, dstStride, 3ull * (uint32_t)dstW, maskW, maskH, maskStride,
                                   (uint64_t)maskW);
    if (status != 0) return 0;
    const RECT rect = ClipOverlayRect(dstW, dstH, maskW, maskH, x, y);
    if (PicRectEmpty(rect)) return 1;
    if (dst == nullptr || mask == nullptr || dst == mask) return PicOverlayFail(status, PIC_ERR_BAD_PARAM);
    const bool kernel = IsSimdKernelAvailable(PIC_KERNEL_BLEND_COLOR_MASK);
    const uint32_t count = (uint32_t)(rect.right - rect.left);
    status = PicWalkRows(rect, [&](int64_t r) -> int32_t {
        const uint8_t* m = mask + (uint64_t)(r - y) * (uint32_t)maskStride + (rect.left - x);
        uint8_t* d = dst + (uint64_t)r * (uint32_t)dstStride + 3ull * rect.left;
        if (kernel) {
            CPicOperation op;
            return op.BlendColorMaskRowSSE41(d, m, count, colour) ? 0 : op.status;
        }
        const uint32_t c[3] = {colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF};
        for (uint32_t i = 0; i < count; ++i, d += 3)
            for (int k = 0; k < 3; ++k) d[k] = Mix(c[k], d[k], m[i]);
        return 0;
    });
    return status == 0 ? 1 : 0;
}

int32_t CPicImgOverlay::BlendColorThroughMaskRGBA(uint8_t* dst, int32_t dstW, int32_t dstH, int32_t dstStride,
                                                  const uint8_t* mask, int32_t maskW, int32_t maskH,
                                                  int32_t maskStride, uint32_t colour, int32_t x, int32_t y,
                                                  uint32_t flags) {
    status = PicRawGeometryRefusal(dstW, dstH, dstStride, 4ull * (uint32_t)dstW, maskW, maskH, maskStride,
                                   (uint64_t)maskW);
    if (status != 0) return 0;
    const RECT rect = ClipOverlayRect(dstW, dstH, maskW, maskH, x, y);
    if (PicRectEmpty(rect)) return 1;
    if (dst == nullptr || mask == nullptr || dst == mask) return PicOverlayFail(status, PIC_ERR_BAD_PARAM);
    const bool swap = (flags & 0x1) != 0;
    const uint32_t r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    const uint32_t c[3] = {swap ? b : r, g, swap ? r : b};
    status = PicWalkRows(rect, [&](int64_t row) {
        const uint8_t* m = mask + (uint64_t)(row - y) * (uint32_t)maskStride;
        uint8_t* d = dst + (uint64_t)row * (uint32_t)dstStride;
        for (int64_t col = rect.left; col < rect.right; ++col) {
            const uint32_t v = m[col - x];
            uint8_t* p = d + 4 * col;
            if (flags & 0x2) {
                if (v != 0) p[3] = (uint8_t)v;
            } else if (flags & 0x8) {
                PutColour(p, r, g, b, swap);
                p[3] = (uint8_t)v;
            } else if (v != 0) {
                for (int k = 0; k < 3; ++k) p[k] = Mix(c[k], p[k], v);
                if (!(flags & 0x10)) p[3] = (uint8_t)v;
            }
        }
        return 0;
    });
    return status == 0 ? 1 : 0;
}

int32_t CPicImgOverlay::Overlay8BitOnRGBA(uint8_t* dst, int32_t dstW, int32_t dstH, int32_t dstStride,
                                          const uint8_t* src, int32_t srcW, int32_t srcH, int32_t srcStride,
                                          const uint8_t* palette, int32_t x, int32_t y, int32_t transparentIndex,
                                          uint32_t flags) {
    status = PicRawGeometryRefusal(dstW, dstH, dstStride, 4ull * (uint32_t)dstW, srcW, srcH, srcStride,
                                   (uint64_t)srcW);
    if (status != 0) return 0;
    const RECT rect = ClipOverlayRect(dstW, dstH, srcW, srcH, x, y);
    if (PicRectEmpty(rect)) return 1;
    if (dst == nullptr || src == nullptr || dst == src || palette == nullptr)
        return PicOverlayFail(status, PIC_ERR_BAD_PARAM);
    const bool swap = (flags & 0x2) != 0, transparency = (flags & 0x4) != 0;
    status = PicWalkRows(rect, [&](int64_t r) {
        const uint8_t* s = src + (uint64_t)(r - y) * (uint32_t)srcStride;
        uint8_t* d = dst + (uint64_t)r * (uint32_t)dstStride;
        for (int64_t c = rect.left; c < rect.right; ++c) {
            const int32_t index = s[c - x];
            const uint8_t* e = palette + 4 * index;
            uint8_t* p = d + 4 * c;
            if (transparency && index == transparentIndex) {
                if (!(flags & 0x8)) p[3] = 0;
                if (flags & 0x10) PutColour(p, e[2], e[1], e[0], swap);
                continue;
            }
            PutColour(p, e[2], e[1], e[0], swap);
            p[3] = 255;
        }
        return 0;
    });
    return status == 0 ? 1 : 0;
}
