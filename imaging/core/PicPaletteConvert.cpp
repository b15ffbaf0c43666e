// Palette expansion to RGB, and DIB rows of every depth to RGB or RGBA.
#include <cstring>

#include "imaging/core/PicArray.h"
#include "imaging/core/PicConvert.h"
#include "imaging/core/PicLogicalBlend.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicRowKernels.h"
#include "imaging/core/PicSizes.h"

namespace {

constexpr uint32_t kMaxPalette = 256;

// A palette's colours as 3 output bytes (plus a spare byte) per index, padded
// to 256 entries so that every index reads inside it: indices at or beyond the
// caller's count read as entry 0 (black when there is none).
struct CExpandedPalette {
    uint32_t colors[kMaxPalette];

    CExpandedPalette(const RGBQUAD* palette, uint32_t count, bool keepOrder) {
        if (palette == nullptr) count = 0;
        if (count > kMaxPalette) count = kMaxPalette;
        for (uint32_t i = 0; i < count; ++i) colors[i] = Pack(palette[i], keepOrder);
        uint32_t fill = count > 0 ? colors[0] : 0;
        for (uint32_t i = count; i < kMaxPalette; ++i) colors[i] = fill;
    }

    static uint32_t Pack(const RGBQUAD& entry, bool keepOrder) {
        uint8_t first = keepOrder ? entry.rgbBlue : entry.rgbRed;
        uint8_t third = keepOrder ? entry.rgbRed : entry.rgbBlue;
        return first | (uint32_t)entry.rgbGreen << 8 | (uint32_t)third << 16;
    }

    // Writes width pixels of 3 bytes; each pixel but the last is stored as a
    // 4-byte word whose spare byte the next pixel overwrites.
    void ExpandRow(const uint8_t* indices, uint32_t width, uint8_t* dst) const {
        if (width == 0) return;
        for (uint32_t i = 0; i + 1 < width; ++i) memcpy(dst + 3 * (size_t)i, &colors[indices[i]], 4);
        memcpy(dst + 3 * (size_t)(width - 1), &colors[indices[width - 1]], 3);
    }

    void ExpandRowWithAlpha(const uint8_t* indices, uint32_t width, uint8_t* dst, uint8_t alpha) const {
        for (uint32_t i = 0; i < width; ++i) {
            uint32_t color = colors[indices[i]] | (uint32_t)alpha << 24;
            memcpy(dst + 4 * (size_t)i, &color, 4);
        }
    }
};

uint32_t TopOfRun(uint32_t mask, uint32_t lowest) {
    uint32_t top = lowest;
    while (top < 15 && ((mask >> (top + 1)) & 1)) ++top;
    return top;
}

}  // namespace

uint8_t ExtractBitField(uint32_t pixel, uint32_t mask) {
    mask &= 0xFFFF;
    if (mask == 0) return 0;
    uint32_t lowest = (uint32_t)__builtin_ctz(mask);
    uint32_t top = TopOfRun(mask, lowest);
    uint32_t value = pixel & mask;
    // The top of the run lands on bit 7: up for runs ending at bit 7 or below, down above it.
    value = top <= 7 ? value << (7 - top) : value >> (top - 7);
    return (uint8_t)value;
}

BOOL CPicOperation::Convert8BitToRGB(const uint8_t* src, uint8_t* dst, uint32_t width, uint32_t height,
                                     uint32_t srcStride, uint32_t dstStride, uint32_t paletteCount,
                                     const RGBQUAD* palette, uint32_t flags) {
    if (src == nullptr || dst == nullptr || palette == nullptr || width == 0 || height == 0 ||
        !PicStrideHoldsRow(srcStride, width, height) || !PicStrideHoldsRow(dstStride, 3ull * width, height))
        return Fail(PIC_ERR_BAD_PARAM);
    CPicCallDepthGuard depth;
    CPicProgress progress;
    const CExpandedPalette colors(palette, paletteCount, (flags & 1) != 0);
    for (uint32_t y = 0; y < height; ++y) {
        colors.ExpandRow(src + PicRowOffset(y, srcStride), width, dst + PicRowOffset(y, dstStride));
        if (!progress.Report(y, height)) return Cancelled();
    }
    return TRUE;
}

BOOL CPicOperation::Convert1BitToRGB(const uint8_t* src, uint32_t width, uint32_t height, uint32_t srcStride,
                                     const RGBQUAD* palette, uint8_t* dst, uint32_t dstStride) {
    if (src == nullptr || dst == nullptr || palette == nullptr || width == 0 || height == 0 ||
        !PicStrideHoldsRow(srcStride, PicPackedRowBytes(width, 1), height) ||
        !PicStrideHoldsRow(dstStride, 3ull * width, height))
        return Fail(PIC_ERR_BAD_PARAM);
    CPicCallDepthGuard depth;
    PicArray<uint8_t> row;
    if (!row.Allocate(width)) return Fail(PIC_ERR_OUT_OF_MEMORY);
    const CExpandedPalette colors(palette, 2, false);
    for (uint32_t y = 0; y < height; ++y) {
        if (!UnpackRowTo8Bit(src + PicRowOffset(y, srcStride), width, 1, row.data)) return FALSE;
        colors.ExpandRow(row.data, width, dst + PicRowOffset(y, dstStride));
    }
    return TRUE;
}

void ConvertPackedRowToRGB(const uint8_t* src, uint8_t* dst, uint32_t width, uint32_t bits,
                           const RGBQUAD* palette, uint32_t paletteCount, const CPicBitFieldMasks* masks,
                           bool rgba, uint8_t alpha, bool keepOrder) {
    if (src == nullptr || dst == nullptr || width == 0) return;
    const size_t outSize = rgba ? 4 : 3;
    switch (bits) {
    case 1:
    case 2:
    case 4:
    case 8: {
        const CExpandedPalette colors(palette, paletteCount, false);
        uint8_t indices[256];
        for (uint32_t done = 0; done < width;) {
            uint32_t n = width - done < 256 ? width - done : 256;
            // Start each chunk on a whole byte: 256 pixels always end on one.
            ExpandIndexRowTo8Bit(src + (size_t)done * bits / 8, indices, n, bits);
            uint8_t* out = dst + done * outSize;
            if (rgba)
                colors.ExpandRowWithAlpha(indices, n, out, alpha);
            else
                colors.ExpandRow(indices, n, out);
            done += n;
        }
        break;
    }
    case 16:
        for (uint32_t i = 0; i < width; ++i, dst += outSize) {
            uint32_t pixel = src[2 * (size_t)i] | (uint32_t)src[2 * (size_t)i + 1] << 8;
            if (masks != nullptr) {
                dst[0] = ExtractBitField(pixel, masks->red);
                dst[1] = ExtractBitField(pixel, masks->green);
                dst[2] = ExtractBitField(pixel, masks->blue);
            } else {
                dst[0] = (uint8_t)(((pixel >> 10) & 31) * 255 / 31);
                dst[1] = (uint8_t)(((pixel >> 5) & 31) * 255 / 31);
                dst[2] = (uint8_t)((pixel & 31) * 255 / 31);
            }
            if (rgba) dst[3] = alpha;
        }
        break;
    case 24:
        if (!rgba) {
            if (keepOrder)
                memcpy(dst, src, 3 * (size_t)width);
            else
                CopySwapRB24(src, dst, width);
            break;
        }
        for (uint32_t i = 0; i < width; ++i, src += 3, dst += 4) {
            dst[0] = keepOrder ? src[0] : src[2];
            dst[1] = src[1];
            dst[2] = keepOrder ? src[2] : src[0];
            dst[3] = alpha;
        }
        break;
    case 32:
        for (uint32_t i = 0; i < width; ++i, src += 4, dst += outSize) {
            dst[0] = keepOrder ? src[0] : src[2];
            dst[1] = src[1];
            dst[2] = keepOrder ? src[2] : src[0];
            if (rgba) dst[3] = src[3];
        }
        break;
    default:
        if (rgba)
            for (uint32_t i = 0; i < width; ++i) dst[4 * (size_t)i + 3] = alpha;
        break;
    }
}
