// Turns of 1-bit images (first pixel in bit 7 of a row's first byte).
#include <cstring>

#include "imaging/core/PicLookupTables.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicSizes.h"

namespace {

inline bool GetBit(const uint8_t* row, uint32_t x) { return (row[x / 8] >> (7 - x % 8)) & 1; }
inline void PutBit(uint8_t* row, uint32_t x, bool on) {
    const uint8_t mask = (uint8_t)(0x80 >> (x % 8));
    row[x / 8] = on ? (uint8_t)(row[x / 8] | mask) : (uint8_t)(row[x / 8] & ~mask);
}

// Writes the eight bits of value (MSB first) at bit offset `at` of row.
inline void PutByteAt(uint8_t* row, uint32_t at, uint8_t value) {
    const uint32_t shift = at % 8;
    uint8_t* p = row + at / 8;
    if (shift == 0) {
        *p = value;
        return;
    }
    p[0] = (uint8_t)((p[0] & (0xFF << (8 - shift))) | value >> shift);
    p[1] = (uint8_t)((p[1] & (0xFF >> shift)) | value << (8 - shift));
}

// Transposes an 8 x 8 bit block: byte t is row t (bit 7 = column 0); the result's
// byte k is column k (bit 7 = row 0).
inline uint64_t Transpose8x8(uint64_t x) {
    uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAULL;
    x ^= t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCULL;
    x ^= t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ULL;
    x ^= t ^ (t << 28);
    return x;
}

// The destination of source pixel (x, y) for a quarter turn.
inline void QuarterTarget(bool clockwise, uint32_t width, uint32_t height, uint32_t x, uint32_t y, uint32_t& column,
                          uint32_t& row) {
    column = clockwise ? height - 1 - y : y;
    row = clockwise ? x : width - 1 - x;
}

}  // namespace

BOOL CPicOperation::Rotate1Bit(const uint8_t* src, uint8_t* dst, uint32_t width, uint32_t height, uint32_t mode,
                               uint32_t srcStride, uint32_t dstStride) {
    const uint32_t kind = mode & 3;
    if (kind == 3) return FALSE;
    if (src == nullptr || dst == nullptr || src == dst) return Fail(PIC_ERR_BAD_PARAM);
    CPicCallDepthGuard depth;
    CPicProgress progress;
    const CPicLookupTables& tables = PicTables();
    const uint32_t rowBytes = (uint32_t)PicPackedRowBytes(width, 1);
    if (kind == 1) {
        const uint32_t shift = rowBytes * 8 - width;
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* in = src + PicRowOffset(y, srcStride);
            uint8_t* out = dst + PicRowOffset(height - 1 - y, dstStride);
            for (uint32_t k = 0; k < rowBytes; ++k) out[k] = tables.reversedBits[in[rowBytes - 1 - k]];
            if (shift != 0)
                for (uint32_t k = 0; k < rowBytes; ++k)
                    out[k] = (uint8_t)(out[k] << shift | (k + 1 < rowBytes ? out[k + 1] : 0) >> (8 - shift));
            if (!progress.Report(y, height)) return Cancelled();
        }
        return TRUE;
    }
    const bool clockwise = kind == 0;
    const uint32_t bands = height / 8, blocks = width / 8;
    for (uint32_t band = 0; band < bands; ++band) {
        const uint32_t y0 = band * 8;
        for (uint32_t block = 0; block < blocks; ++block) {
            uint64_t rows = 0;
            for (uint32_t t = 0; t < 8; ++t) rows = rows << 8 | src[PicRowOffset(y0 + t, srcStride) + block];
            const uint64_t columns = Transpose8x8(rows);
            for (uint32_t k = 0; k < 8; ++k) {
                uint8_t bits = (uint8_t)(columns >> (56 - 8 * k));  // column k, row y0 at bit 7
                uint32_t column, row;
                // The clockwise turn puts the block's last row first, so its bits run backwards.
                QuarterTarget(clockwise, width, height, block * 8 + k, clockwise ? y0 + 7 : y0, column, row);
                if (clockwise) bits = tables.reversedBits[bits];
                PutByteAt(dst + PicRowOffset(row, dstStride), column, bits);
            }
        }
        for (uint32_t x = blocks * 8; x < width; ++x)
            for (uint32_t y = y0; y < y0 + 8; ++y) {
                uint32_t column, row;
                QuarterTarget(clockwise, width, height, x, y, column, row);
                PutBit(dst + PicRowOffset(row, dstStride), column, GetBit(src + PicRowOffset(y, srcStride), x));
            }
        if (!progress.Report(band, bands)) return Cancelled();
    }
    for (uint32_t y = bands * 8; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            uint32_t column, row;
            QuarterTarget(clockwise, width, height, x, y, column, row);
            PutBit(dst + PicRowOffset(row, dstStride), column, GetBit(src + PicRowOffset(y, srcStride), x));
        }
    return TRUE;
}
