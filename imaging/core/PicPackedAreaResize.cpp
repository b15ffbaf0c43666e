#include "imaging/core/PicPackedAreaResize.h"

#include <algorithm>

#include "imaging/core/PicColorMatch.h"
#include "imaging/core/PicDecimateResize.h"
#include "imaging/core/PicOperation.h"

namespace {

bool Fail(int32_t& status, int32_t code) {
    status = code;
    return false;
}

// The covered rows of one destination row: their weights (the first, 1 for
// inner rows, the last; a one-row span holds the first only) and their total,
// summed in order.
class RowCoverage {
public:
    bool Allocate(uint32_t source, uint32_t dest) { return m_weights.Allocate((uint32_t)(source / dest + 2)); }
    void Build(uint32_t y, uint32_t source, uint32_t dest) {
        PicCoverageSpan span = PicCoverageSpanOf(y, source, dest);
        first = (uint32_t)span.first;
        count = (uint32_t)(span.end - span.first);
        total = 0;
        for (uint32_t k = 0; k < count; ++k) {
            m_weights[k] = k == 0 ? span.firstWeight : k + 1 == count ? span.lastWeight : 1.0;
            total += m_weights[k];
        }
    }
    double Weight(uint32_t k) const { return m_weights[k]; }

    uint32_t first = 0, count = 0;
    double total = 0;

private:
    PicArray<double> m_weights;
};

// Inside a column span the first column has the first weight, inner ones 1,
// the last the last weight; a one-column span takes the last weight.
inline double ColumnWeight(const PicCoverageSpan& span, int32_t j) {
    if (j == span.end - 1) return span.lastWeight;
    return j == span.first ? span.firstWeight : 1.0;
}

inline bool BitSet(const uint8_t* row, uint32_t x) { return (row[x >> 3] & (0x80 >> (x & 7))) != 0; }

// Sum of 255 x row weight x column weight over the set bits under one
// destination pixel; a zero byte is passed over whole.
double CoveredOnes(const uint8_t* src, uint32_t stride, const RowCoverage& rows, const PicCoverageSpan& span) {
    double acc = 0;
    for (uint32_t k = 0; k < rows.count; ++k) {
        const uint8_t* row = src + (size_t)(rows.first + k) * stride;
        const double rowWeight = rows.Weight(k);
        for (int32_t j = span.first; j < span.end; ++j) {
            if (row[j >> 3] == 0) {
                j |= 7;
                continue;
            }
            if (BitSet(row, (uint32_t)j)) acc += 255 * rowWeight * ColumnWeight(span, j);
        }
    }
    return acc;
}

inline void WriteBit(uint8_t* row, uint32_t x, bool on) {
    const uint8_t mask = (uint8_t)(0x80 >> (x & 7));
    row[x >> 3] = on ? (uint8_t)(row[x >> 3] | mask) : (uint8_t)(row[x >> 3] & ~mask);
}

// Arguments every reducer needs: data, a destination no larger than the
// source, and strides that hold a row.
bool ReductionUsable(const uint8_t* src, uint32_t sw, uint32_t sh, uint64_t srcRow, uint32_t sstride,
                     const uint8_t* dst, uint32_t dw, uint32_t dh, uint64_t dstRow, uint32_t dstride) {
    if (src == nullptr || dst == nullptr || sw < dw || sh < dh) return false;
    return sstride >= srcRow && dstride >= dstRow;
}

// ---- the exact gray paths: integer counts of the set bits of whole blocks ----

inline uint8_t GrayOf(uint32_t v, bool setIsWhite) { return (uint8_t)(setIsWhite ? v : 255 - v); }

bool Gray2x(int32_t& status, const uint8_t* src, uint32_t sw, uint32_t sh, uint32_t sstride, uint8_t* dst,
            uint32_t dw, uint32_t dh, uint32_t dstride, bool setIsWhite) {
    if (sw != 2 * dw || sh != 2 * dh || dw % 4 != 0) return Fail(status, PIC_ERR_UNSUPPORTED);
    static const uint8_t kClear[5] = {255, 192, 128, 64, 0}, kSet[5] = {0, 64, 128, 192, 255};
    const uint8_t* values = setIsWhite ? kSet : kClear;
    CPicProgress progress;
    for (uint32_t y = 0; y < dh; ++y) {
        const uint8_t *r0 = src + (size_t)(2 * y) * sstride, *r1 = r0 + sstride;
        uint8_t* out = dst + (size_t)y * dstride;
        for (uint32_t b = 0; b < dw / 4; ++b)
            for (int q = 0; q < 4; ++q) {
                const int shift = 6 - 2 * q;
                out[4 * b + q] = values[__builtin_popcount((r0[b] >> shift) & 3) + __builtin_popcount((r1[b] >> shift) & 3)];
            }
        if (!progress.Report(y, dh)) return Fail(status, PIC_ERR_CANCELLED);
    }
    status = PIC_ERR_OK;
    return true;
}

bool Gray4x(int32_t& status, const uint8_t* src, uint32_t sw, uint32_t sh, uint32_t sstride, uint8_t* dst,
            uint32_t dw, uint32_t dh, uint32_t dstride, bool setIsWhite) {
    if (sw != 4 * dw || sh != 4 * dh || dw % 2 != 0) return Fail(status, PIC_ERR_UNSUPPORTED);
    CPicProgress progress;
    for (uint32_t y = 0; y < dh; ++y) {
        const uint8_t* top = src + (size_t)(4 * y) * sstride;
        uint8_t* out = dst + (size_t)y * dstride;
        for (uint32_t b = 0; b < dw / 2; ++b)
            for (int half = 0; half < 2; ++half) {
                const int shift = half == 0 ? 4 : 0;
                uint32_t k = 0;
                for (int r = 0; r < 4; ++r) k += __builtin_popcount((top[(size_t)r * sstride + b] >> shift) & 0xF);
                out[2 * b + half] = setIsWhite ? (uint8_t)(k < 16 ? 16 * k : 255) : (uint8_t)(k < 16 ? 255 - 16 * k : 0);
            }
        if (!progress.Report(y, dh)) return Fail(status, PIC_ERR_CANCELLED);
    }
    status = PIC_ERR_OK;
    return true;
}

// Ratios 8, 16 and 32 across (bytesPerOutput 1, 2, 4) and any whole ratio down.
bool GrayWholeBytes(int32_t& status, const uint8_t* src, uint32_t sw, uint32_t sh, uint32_t sstride, uint8_t* dst,
                    uint32_t dw, uint32_t dh, uint32_t dstride, bool setIsWhite, uint32_t bytesPerOutput) {
    if (sw != 8 * bytesPerOutput * dw || sh % dh != 0) return Fail(status, PIC_ERR_UNSUPPORTED);
    int32_t counts[256];
    MakeBitCountTable(counts, 255);
    const uint32_t rowsPerOutput = sh / dh;
    const uint64_t n = 8ull * bytesPerOutput * rowsPerOutput;
    CPicProgress progress;
    for (uint32_t y = 0; y < dh; ++y) {
        const uint8_t* top = src + (size_t)y * rowsPerOutput * sstride;
        uint8_t* out = dst + (size_t)y * dstride;
        for (uint32_t x = 0; x < dw; ++x) {
            uint64_t sum = 0;
            for (uint32_t r = 0; r < rowsPerOutput; ++r) {
                const uint8_t* bytes = top + (size_t)r * sstride + (size_t)x * bytesPerOutput;
                for (uint32_t b = 0; b < bytesPerOutput; ++b) sum += (uint32_t)counts[bytes[b]];
            }
            out[x] = GrayOf((uint32_t)(sum / n), setIsWhite);
        }
        if (!progress.Report(y, dh)) return Fail(status, PIC_ERR_CANCELLED);
    }
    status = PIC_ERR_OK;
    return true;
}

bool GrayGeneral(int32_t& status, const uint8_t* src, uint32_t sw, uint32_t sh, uint32_t sstride, uint8_t* dst,
                 uint32_t dw, uint32_t dh, uint32_t dstride, bool setIsWhite) {
    PicArray<PicCoverageSpan> columns;
    RowCoverage rows;
    if (!BuildCoverageSpans(dw, sw, columns) || !rows.Allocate(sh, dh)) return Fail(status, PIC_ERR_OUT_OF_MEMORY);
    CPicProgress progress;
    for (uint32_t y = 0; y < dh; ++y) {
        rows.Build(y, sh, dh);
        uint8_t* out = dst + (size_t)y * dstride;
        for (uint32_t x = 0; x < dw; ++x) {
            double value = CoveredOnes(src, sstride, rows, columns[x]) / (columns[x].total * rows.total);
            if (!setIsWhite) value = 255 - value;
            out[x] = (uint8_t)value;
        }
        if (!progress.Report(y, dh)) return Fail(status, PIC_ERR_CANCELLED);
    }
    status = PIC_ERR_OK;
    return true;
}

}  // namespace

void MakeBitCountTable(int32_t table[256], int32_t factor) {
    for (int b = 0; b < 256; ++b) table[b] = __builtin_popcount((unsigned)b) * factor;
}

bool ResizeOneBitArea(int32_t& status, const uint8_t* src, uint32_t sw, uint32_t sh, uint32_t sstride, uint8_t* dst,
                      uint32_t dw, uint32_t dh, uint32_t dstride, uint32_t threshold, uint32_t /*flags*/) {
    if (!ReductionUsable(src, sw, sh, (sw + 7ull) / 8, sstride, dst, dw, dh, (dw + 7ull) / 8, dstride))
        return Fail(status, PIC_ERR_BAD_PARAM);
    CPicCallDepthGuard depth;
    PicArray<PicCoverageSpan> columns;
    RowCoverage rows;
    if (dh == 0 || !BuildCoverageSpans(dw, sw, columns) || !rows.Allocate(sh, dh))
        return Fail(status, PIC_ERR_OUT_OF_MEMORY);
    CPicProgress progress;
    for (uint32_t y = 0; y < dh; ++y) {
        rows.Build(y, sh, dh);
        uint8_t* out = dst + (size_t)y * dstride;
        for (uint32_t x = 0; x < dw; ++x) {
            const double value = CoveredOnes(src, sstride, rows, columns[x]) / (columns[x].total * rows.total);
            WriteBit(out, x, (uint32_t)value > threshold);
        }
        if (!progress.Report(y, dh)) return Fail(status, PIC_ERR_CANCELLED);
    }
    status = PIC_ERR_OK;
    return true;
}

bool ResizeOneBitToGrayArea(int32_t& status, const uint8_t* src, uint32_t sw, uint32_t sh, uint32_t sstride,
                            uint8_t* dst, uint32_t dw, uint32_t dh, uint32_t dstride, uint32_t flags) {
    if (dw == 0 || dh == 0 || !ReductionUsable(src, sw, sh, (sw + 7ull) / 8, sstride, dst, dw, dh, dw, dstride))
        return Fail(status, PIC_ERR_BAD_PARAM);
    CPicCallDepthGuard depth;
    const bool setIsWhite = (flags & 1) != 0;
    if (sw == 2ull * dw && sh == 2ull * dh && dw % 4 == 0)
        return Gray2x(status, src, sw, sh, sstride, dst, dw, dh, dstride, setIsWhite);
    if (sw == 4ull * dw && sh == 4ull * dh && dw % 2 == 0)
        return Gray4x(status, src, sw, sh, sstride, dst, dw, dh, dstride, setIsWhite);
    if (sh % dh == 0)
        for (uint32_t bytes : {1u, 2u, 4u})
            if (sw == 8ull * bytes * dw)
                return GrayWholeBytes(status, src, sw, sh, sstride, dst, dw, dh, dstride, setIsWhite, bytes);
    return GrayGeneral(status, src, sw, sh, sstride, dst, dw, dh, dstride, setIsWhite);
}

bool ResizePalettedArea(int32_t& status, const uint8_t* src, uint32_t sw, uint32_t sh, uint32_t sstride,
                        uint8_t* dst, uint32_t dw, uint32_t dh, uint32_t dstride, const RGBQUAD* palette,
                        uint32_t paletteCount, uint32_t /*flags*/) {
    if (palette == nullptr || paletteCount == 0 || !ReductionUsable(src, sw, sh, sw, sstride, dst, dw, dh, dw, dstride))
        return Fail(status, PIC_ERR_BAD_PARAM);
    CPicCallDepthGuard depth;
    PicArray<PicCoverageSpan> columns;
    RowCoverage rows;
    if (dh == 0 || !BuildCoverageSpans(dw, sw, columns) || !rows.Allocate(sh, dh))
        return Fail(status, PIC_ERR_OUT_OF_MEMORY);
    CPicImgColorMatch matcher;
    matcher.SetPalette(palette, paletteCount);
    const uint32_t entries = std::min(paletteCount, CPicImgColorMatch::kMaxEntries);
    CPicProgress progress;
    for (uint32_t y = 0; y < dh; ++y) {
        rows.Build(y, sh, dh);
        uint8_t* out = dst + (size_t)y * dstride;
        for (uint32_t x = 0; x < dw; ++x) {
            const PicCoverageSpan& span = columns[x];
            double red = 0, green = 0, blue = 0;
            for (uint32_t k = 0; k < rows.count; ++k) {
                const uint8_t* row = src + (size_t)(rows.first + k) * sstride;
                const double rowWeight = rows.Weight(k);
                for (int32_t j = span.first; j < span.end; ++j) {
                    const RGBQUAD& e = palette[row[j] < entries ? row[j] : 0];
                    const double columnWeight = ColumnWeight(span, j);
                    red += e.rgbRed * rowWeight * columnWeight;
                    green += e.rgbGreen * rowWeight * columnWeight;
                    blue += e.rgbBlue * rowWeight * columnWeight;
                }
            }
            const double area = span.total * rows.total;
            out[x] = matcher.FindClosestColor((uint8_t)(red / area), (uint8_t)(green / area), (uint8_t)(blue / area));
        }
        if (!progress.Report(y, dh)) return Fail(status, PIC_ERR_CANCELLED);
    }
    status = PIC_ERR_OK;
    return true;
}
