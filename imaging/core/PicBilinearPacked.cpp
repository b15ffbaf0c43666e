// The bilinear forms for packed 1-bit and palettised 8-bit images.
#include <cmath>
#include <cstring>

#include "imaging/core/PicBandJobs.h"
#include "imaging/core/PicBilinearResize.h"
#include "imaging/core/PicColorMatch.h"
#include "imaging/core/PicLibrarySettings.h"
#include "imaging/core/PicOperation.h"

namespace {

inline uint32_t Limit(int64_t i, uint32_t size) {
    return (uint32_t)std::max<int64_t>(0, std::min<int64_t>(i, (int64_t)size - 1));
}

inline uint8_t BitAt(const uint8_t* row, uint32_t x) { return (row[x >> 3] >> (7 - (x & 7))) & 1; }

inline void SetBit(uint8_t* row, uint32_t x, bool on) {
    uint8_t mask = (uint8_t)(0x80 >> (x & 7));
    if (on)
        row[x >> 3] |= mask;
    else
        row[x >> 3] &= (uint8_t)~mask;
}

// Packed rows hold (width + 7) / 8 bytes; buffers must not overlap by being the same.
bool PackedArgumentsUsable(const uint8_t* src, uint32_t sw, uint32_t sh, uint32_t sstride, const uint8_t* dst,
                           uint32_t dw, uint32_t dh, uint32_t dstride, uint64_t srcRow, uint64_t dstRow) {
    if (src == nullptr || dst == nullptr || src == dst) return false;
    if (sw == 0 || sh == 0 || dw == 0 || dh == 0) return false;
    return sstride >= srcRow && dstride >= dstRow;
}

// The two source rows destination row y reads and the weight of the lower one.
struct SourceRows {
    const uint8_t* row0;
    const uint8_t* row1;
    double fy;
};

inline SourceRows SourceRowsFor(uint32_t y, double rowStep, const uint8_t* src, uint32_t sh, uint32_t sstride) {
    double p = y * rowStep;
    double whole = std::floor(p);
    return {src + (size_t)Limit((int64_t)whole, sh) * sstride, src + (size_t)Limit((int64_t)whole + 1, sh) * sstride,
            p - whole};
}

// For each destination column, the left source column and the weight of its right neighbour.
void FillColumnSteps(uint32_t sw, uint32_t dw, PicArray<int32_t>& indices, PicArray<double>& weights) {
    const double step = PicBilinearStep(sw, dw);
    for (uint32_t x = 0; x < dw; ++x) {
        double p = x * step;
        indices[x] = (int32_t)std::floor(p);
        weights[x] = p - std::floor(p);
    }
}

// The four weights of one destination pixel, in the order of the sum.
inline double Interpolate(double fx, double fy, double s00, double s01, double s10, double s11) {
    return (1 - fy) * (1 - fx) * s00 + (1 - fy) * fx * s01 + fy * fx * s11 + fy * (1 - fx) * s10;
}

struct OneBitBand : VovIredev::CPicThreadData {
    const uint8_t* src = nullptr;
    uint32_t sw = 0, sh = 0, sstride = 0;
    uint8_t* dst = nullptr;
    uint32_t dw = 0, dh = 0, dstride = 0;
    const PicArray<int32_t>* fractions = nullptr;
    const PicArray<int32_t>* indices = nullptr;
    uint32_t top = 0, bottom = 0;
};

// Rows band.top to band.bottom - 1 of the 1-bit bilinear resize.
int32_t OneBitBilinearRows(const OneBitBand& b) {
    const double rowStep = PicBilinearStep(b.sh, b.dh);
    CPicProgress progress;
    for (uint32_t y = b.top; y < b.bottom; ++y) {
        const auto [row0, row1, fy] = SourceRowsFor(y, rowStep, b.src, b.sh, b.sstride);
        const int32_t A = (int32_t)(fy * 256), B = (int32_t)((1 - fy) * 256);
        uint8_t* out = b.dst + (size_t)y * b.dstride;
        for (uint32_t x = 0; x < b.dw; ++x) {
            const int32_t C = (*b.fractions)[x];
            const uint32_t c0 = Limit((*b.indices)[x], b.sw), c1 = Limit((int64_t)(*b.indices)[x] + 1, b.sw);
            const int32_t a = BitAt(row0, c0), bb = BitAt(row0, c1), c = BitAt(row1, c0), d = BitAt(row1, c1);
            const int32_t set = a + bb + c + d;
            bool on = set == 4 ||
                      (set != 0 && c * (256 - C) * A + d * C * A + bb * C * B + a * (256 - C) * B > 0x8000);
            SetBit(out, x, on);
        }
        if (!progress.Report(y - b.top, b.bottom - b.top)) return PIC_ERR_CANCELLED;
    }
    return PIC_ERR_OK;
}

int32_t OneBitBilinearJob(VovIredev::CPicThreadData* data) {
    auto* band = static_cast<OneBitBand*>(data);
    PicRunBand(band, [&] {
        CPicCallDepthGuard depth;  // the band is its worker's outermost operation
        return OneBitBilinearRows(*band);
    });
    return 0;
}

}  // namespace

bool CPicOperation::ResizeOneBitBilinear(const uint8_t* src, uint32_t sw, uint32_t sh, uint32_t sstride,
                                         uint8_t* dst, uint32_t dw, uint32_t dh, uint32_t dstride, uint32_t flags) {
    if (!PackedArgumentsUsable(src, sw, sh, sstride, dst, dw, dh, dstride, (sw + 7ull) / 8, (dw + 7ull) / 8))
        return Fail(PIC_ERR_BAD_PARAM);
    CPicCallDepthGuard depth;
    PicArray<int32_t> fractions, indices;
    if (!fractions.Allocate(dw) || !indices.Allocate(dw)) return Fail(PIC_ERR_OUT_OF_MEMORY);
    const double step = PicBilinearStep(sw, dw);
    for (uint32_t x = 0; x < dw; ++x) {
        double p = x * step;
        double whole = std::floor(p);
        indices[x] = (int32_t)whole;
        fractions[x] = (int32_t)((p - whole) * 256);
    }
    auto describe = [&](OneBitBand& b, uint32_t top, uint32_t bottom) {
        b.src = src, b.sw = sw, b.sh = sh, b.sstride = sstride;
        b.dst = dst, b.dw = dw, b.dh = dh, b.dstride = dstride;
        b.fractions = &fractions, b.indices = &indices;
        b.top = top, b.bottom = bottom;
    };
    if (!ShouldRunThreaded(flags, dh)) {
        OneBitBand whole;
        describe(whole, 0, dh);
        status = OneBitBilinearRows(whole);
        return status == PIC_ERR_OK;
    }
    PicArray<RECT> bands;
    if (!SplitIntoRowBands(bands, dw, dh, GetBandCount())) return Fail(PIC_ERR_OUT_OF_MEMORY);
    status = PicRunBandJobs<OneBitBand>(OneBitBilinearJob, bands, [&](OneBitBand& b, const RECT& band) {
        describe(b, (uint32_t)band.top, (uint32_t)band.bottom);
    });
    return status == PIC_ERR_OK;
}

bool CPicOperation::ResizeOneBitToGrayBilinear(const uint8_t* src, uint32_t sw, uint32_t sh, uint32_t sstride,
                                               uint8_t* dst, uint32_t dw, uint32_t dh, uint32_t dstride,
                                               uint32_t flags) {
    if (!PackedArgumentsUsable(src, sw, sh, sstride, dst, dw, dh, dstride, (sw + 7ull) / 8, dw))
        return Fail(PIC_ERR_BAD_PARAM);
    CPicCallDepthGuard depth;
    PicArray<double> weights;
    PicArray<int32_t> indices;
    if (!weights.Allocate(dw) || !indices.Allocate(dw)) return Fail(PIC_ERR_OUT_OF_MEMORY);
    const double rowStep = PicBilinearStep(sh, dh);
    FillColumnSteps(sw, dw, indices, weights);
    // Flag bit 0: a set bit is white; otherwise a set bit is black.
    const double setValue = (flags & 1) ? 255 : 0, clearValue = 255 - setValue;
    auto value = [&](const uint8_t* row, uint32_t x) { return BitAt(row, x) ? setValue : clearValue; };
    CPicProgress progress;
    for (uint32_t y = 0; y < dh; ++y) {
        const auto [row0, row1, fy] = SourceRowsFor(y, rowStep, src, sh, sstride);
        uint8_t* out = dst + (size_t)y * dstride;
        for (uint32_t x = 0; x < dw; ++x) {
            uint32_t c0 = Limit(indices[x], sw), c1 = Limit((int64_t)indices[x] + 1, sw);
            out[x] = (uint8_t)Interpolate(weights[x], fy, value(row0, c0), value(row0, c1), value(row1, c0),
                                          value(row1, c1));
        }
        if (!progress.Report(y, dh)) return Fail(PIC_ERR_CANCELLED);
    }
    status = PIC_ERR_OK;
    return true;
}

bool CPicOperation::ResizePalettedBilinear(uint32_t dw, uint32_t dh, uint32_t sw, uint32_t sh, const uint8_t* src,
                                           uint32_t paletteCount, const RGBQUAD* palette, uint8_t* dst,
                                           uint32_t sstride, uint32_t dstride) {
    // No entry to read without a palette.
    if (palette == nullptr || paletteCount == 0 || !PackedArgumentsUsable(src, sw, sh, sstride, dst, dw, dh, dstride, sw, dw))
        return Fail(PIC_ERR_BAD_PARAM);
    if (sw == dw && sh == dh && sstride == dstride) {
        memmove(dst, src, (size_t)(sh - 1) * sstride + sw);
        status = PIC_ERR_OK;
        return true;
    }
    CPicCallDepthGuard depth;
    CPicImgColorMatch matcher;
    matcher.SetPalette(palette, paletteCount);
    const uint32_t entries = std::min(paletteCount, CPicImgColorMatch::kMaxEntries);
    PicArray<double> weights;
    PicArray<int32_t> indices;
    if (!weights.Allocate(dw) || !indices.Allocate(dw)) return Fail(PIC_ERR_OUT_OF_MEMORY);
    const double rowStep = PicBilinearStep(sh, dh);
    FillColumnSteps(sw, dw, indices, weights);
    // An index past the palette reads entry 0.
    auto entry = [&](uint8_t index) -> const RGBQUAD& { return palette[index < entries ? index : 0]; };
    CPicProgress progress;
    for (uint32_t y = 0; y < dh; ++y) {
        const auto [row0, row1, fy] = SourceRowsFor(y, rowStep, src, sh, sstride);
        uint8_t* out = dst + (size_t)y * dstride;
        for (uint32_t x = 0; x < dw; ++x) {
            uint32_t c0 = Limit(indices[x], sw), c1 = Limit((int64_t)indices[x] + 1, sw);
            const RGBQUAD &e00 = entry(row0[c0]), &e01 = entry(row0[c1]), &e10 = entry(row1[c0]),
                          &e11 = entry(row1[c1]);
            double fx = weights[x];
            auto red = (uint8_t)Interpolate(fx, fy, e00.rgbRed, e01.rgbRed, e10.rgbRed, e11.rgbRed);
            auto green = (uint8_t)Interpolate(fx, fy, e00.rgbGreen, e01.rgbGreen, e10.rgbGreen, e11.rgbGreen);
            auto blue = (uint8_t)Interpolate(fx, fy, e00.rgbBlue, e01.rgbBlue, e10.rgbBlue, e11.rgbBlue);
            out[x] = matcher.FindClosestColor(red, green, blue);
        }
        if (!progress.Report(y, dh)) return Fail(PIC_ERR_CANCELLED);
    }
    status = PIC_ERR_OK;
    return true;
}
