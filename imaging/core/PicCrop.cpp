// Row copies and crops of byte and 1-bit images.
#include <cstring>

#include "imaging/core/PicLookupTables.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicSizes.h"

namespace {

// The rectangle lies inside the image and is not empty.
bool RectInside(uint32_t width, uint32_t height, uint32_t x, uint32_t y, uint32_t w, uint32_t h) {
    return w != 0 && h != 0 && x < width && y < height && (uint64_t)x + w <= width && (uint64_t)y + h <= height;
}

// Eight source bits starting at bit offset `shift` of src[0], the second byte read only when present.
inline uint8_t BitsAt(const uint8_t* src, uint32_t shift, bool haveNext) {
    uint32_t window = (uint32_t)src[0] << 8 | (haveNext ? src[1] : 0);
    return (uint8_t)(window >> (8 - shift));
}

}  // namespace

BOOL CPicOperation::CopyRows(const uint8_t* src, uint32_t srcStride, uint32_t rows, uint32_t dstStride, uint8_t* dst) {
    if (src == nullptr || dst == nullptr) return Fail(PIC_ERR_BAD_PARAM);
    CPicCallDepthGuard depth;
    const uint32_t bytes = srcStride < dstStride ? srcStride : dstStride;
    for (uint32_t y = 0; y < rows; ++y) memcpy(dst + PicRowOffset(y, dstStride), src + PicRowOffset(y, srcStride), bytes);
    return TRUE;
}

BOOL CPicOperation::CropImage(const uint8_t* src, uint8_t* dst, uint32_t width, uint32_t height,
                              uint32_t bytesPerPixel, uint32_t x, uint32_t y, uint32_t w, uint32_t h,
                              uint32_t srcStride, uint32_t dstStride) {
    const uint64_t n = bytesPerPixel;
    if (src == nullptr || dst == nullptr || src == dst || n == 0 || !RectInside(width, height, x, y, w, h) ||
        srcStride < n * width || dstStride < n * w)
        return Fail(PIC_ERR_BAD_PARAM);
    CPicCallDepthGuard depth;
    CPicProgress progress;
    for (uint32_t row = 0; row < height; ++row) {
        if (row >= y && row < y + h)
            memcpy(dst + PicRowOffset(row - y, dstStride), src + PicRowOffset(row, srcStride) + n * x, n * w);
        if (!progress.Report(row, height)) return Cancelled();
    }
    return TRUE;
}

BOOL CPicOperation::Crop1Bit(const uint8_t* src, uint8_t* dst, uint32_t width, uint32_t height, uint32_t x,
                             uint32_t y, uint32_t w, uint32_t h, uint32_t srcStride, uint32_t dstStride) {
    const uint64_t srcRowBytes = PicPackedRowBytes(width, 1);
    const uint32_t dstRowBytes = (uint32_t)PicPackedRowBytes(w, 1);
    if (src == nullptr || dst == nullptr || src == dst || !RectInside(width, height, x, y, w, h) ||
        srcStride < srcRowBytes || dstStride < dstRowBytes)
        return Fail(PIC_ERR_BAD_PARAM);
    CPicCallDepthGuard depth;
    if (x % 8 == 0) {
        for (uint32_t row = 0; row < h; ++row)
            memcpy(dst + PicRowOffset(row, dstStride), src + PicRowOffset(y + row, srcStride) + x / 8, dstRowBytes);
        return TRUE;
    }
    CPicProgress progress;
    const CPicLookupTables& tables = PicTables();
    const uint32_t shift = x % 8;
    for (uint32_t row = 0; row < height; ++row) {
        if (row >= y && row < y + h) {
            const uint8_t* s = src + PicRowOffset(row, srcStride);
            uint8_t* d = dst + PicRowOffset(row - y, dstStride);
            for (uint32_t k = 0; k < dstRowBytes; ++k) {
                uint64_t first = x / 8 + (uint64_t)k;
                uint8_t bits = BitsAt(s + first, shift, first + 1 < srcRowBytes);
                uint32_t count = w - 8 * k < 8 ? w - 8 * k : 8;
                // Destination bits beyond the copied width keep their values.
                uint8_t keep = count == 8 ? 0 : tables.bitRangeMasks[7 - count][0];
                d[k] = (uint8_t)((d[k] & keep) | (bits & ~keep));
            }
        }
        if (!progress.Report(row, height)) return Cancelled();
    }
    return TRUE;
}
