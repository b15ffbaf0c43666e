// Gray to 1 bit by a global level (PicThresholdLevels.h) or by the adaptive
// running average. The conversion compares and packs in one pass, with no
// work copy: a 1 bit means at or above the level T.
#include <emmintrin.h>

#include <algorithm>
#include <cstring>

#include "imaging/core/PicArray.h"
#include "imaging/core/PicCpuFeatures.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicSizes.h"
#include "imaging/core/PicThresholdLevels.h"

namespace {

struct ReversedBits {
    uint8_t of[256];
    ReversedBits() {
        for (uint32_t b = 0; b < 256; ++b) {
            uint8_t r = 0;
            for (uint32_t k = 0; k < 8; ++k) r |= (uint8_t)(((b >> k) & 1) << (7 - k));
            of[b] = r;
        }
    }
};
const ReversedBits kReversed;

// Four tables side by side so that runs of one value do not wait on one
// counter; eight pixels per load.
void CountRun(const uint8_t* pixels, size_t count, uint32_t (&local)[4][256]) {
    size_t x = 0;
    for (; x + 8 <= count; x += 8) {
        uint64_t word;
        memcpy(&word, pixels + x, 8);
        ++local[0][word & 0xFF];
        ++local[1][(word >> 8) & 0xFF];
        ++local[2][(word >> 16) & 0xFF];
        ++local[3][(word >> 24) & 0xFF];
        ++local[0][(word >> 32) & 0xFF];
        ++local[1][(word >> 40) & 0xFF];
        ++local[2][(word >> 48) & 0xFF];
        ++local[3][word >> 56];
    }
    for (; x < count; ++x) ++local[0][pixels[x]];
}

void CountLevels(const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride, uint32_t* histogram) {
    uint32_t local[4][256];
    memset(local, 0, sizeof local);
    if (stride == width) {
        CountRun(pixels, (size_t)width * height, local);  // rows without padding: one run
    } else {
        for (uint32_t y = 0; y < height; ++y) CountRun(pixels + PicRowOffset(y, stride), width, local);
    }
    for (int i = 0; i < 256; ++i) histogram[i] = local[0][i] + local[1][i] + local[2][i] + local[3][i];
}

__attribute__((target("sse2"))) uint32_t ThresholdRowSse2(const uint8_t* src, uint32_t width, uint8_t level,
                                                          uint8_t* dst) {
    const __m128i t = _mm_set1_epi8((char)level);
    uint32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m128i v = _mm_loadu_si128((const __m128i*)(src + x));
        const uint32_t bits = (uint32_t)_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(v, t), v));
        dst[x / 8] = kReversed.of[bits & 0xFF];
        dst[x / 8 + 1] = kReversed.of[bits >> 8];
    }
    return x;
}

// Packs one row: bit (7 - x % 8) of byte x / 8 is set when src[x] >= level; padding bits are 0.
void ThresholdRow(const uint8_t* src, uint32_t width, uint32_t level, uint8_t* dst) {
    if (level == 0) {
        memset(dst, 0xFF, width / 8);
        if (width % 8) dst[width / 8] = (uint8_t)(0xFF00 >> (width % 8));
        return;
    }
    uint32_t x = PicHasCpuFeature(PIC_CPU_SSE2) ? ThresholdRowSse2(src, width, (uint8_t)level, dst) : 0;
    for (; x < width; x += 8) {
        uint8_t byte = 0;
        for (uint32_t k = 0; k < 8 && x + k < width; ++k) byte |= (uint8_t)((src[x + k] >= level) << (7 - k));
        dst[x / 8] = byte;
    }
}

}  // namespace

bool CPicOperation::ThresholdTo1Bit(const uint8_t* src, uint8_t* dst, uint32_t width, uint32_t height,
                                    uint32_t srcStride, uint32_t dstStride, uint32_t mode, uint32_t threshold,
                                    uint32_t /*reserved*/, bool computeOnly, uint8_t* outThreshold) {
    status = 0;
    if (outThreshold != nullptr) *outThreshold = 0;
    if (mode == PIC_THRESH_ADAPTIVE && computeOnly) return Fail(PIC_ERR_BAD_PARAM);
    if (src == nullptr || (dst == nullptr && !computeOnly)) return Fail(PIC_ERR_BAD_PARAM);
    if (!PicStrideHoldsRow(srcStride, width, height) ||
        (!computeOnly && !PicStrideHoldsRow(dstStride, PicPackedRowBytes(width, 1), height)))
        return Fail(PIC_ERR_BAD_PARAM);
    // An empty image has no level and no work copy; larger than a block the library makes is refused too.
    const uint64_t pixels = (uint64_t)width * height;
    if (pixels == 0 || !PicBlockSizeAllowed(pixels)) return Fail(PIC_ERR_OUT_OF_MEMORY);
    CPicCallDepthGuard depth;
    if (mode == PIC_THRESH_ADAPTIVE) return ThresholdAdaptive(src, dst, width, height, srcStride, dstStride, threshold);

    PicGrayImage image{src, width, height, srcStride, {}};
    CountLevels(src, width, height, srcStride, image.histogram);
    int32_t level = -1;
    if (!PicFindThresholdLevel(mode, image, threshold, level)) return Fail(PIC_ERR_OUT_OF_MEMORY);
    const uint32_t cut = (uint32_t)std::clamp<int64_t>((int64_t)level + 1, 0, 255);
    if (computeOnly) {
        if (outThreshold != nullptr) *outThreshold = (uint8_t)cut;
        return true;
    }
    CPicProgress progress;
    for (uint32_t y = 0; y < height; ++y) {
        ThresholdRow(src + PicRowOffset(y, srcStride), width, cut, dst + PicRowOffset(y, dstStride));
        if (!progress.Report(y, height)) return Cancelled();
    }
    return true;
}

// The running average follows one serpentine path through the image: row 0
// left to right, row 1 right to left, and so on. The threshold argument is
// the allowed darkening below the average in hundredths of a percent.
bool CPicOperation::ThresholdAdaptive(const uint8_t* src, uint8_t* dst, uint32_t width, uint32_t height,
                                      uint32_t srcStride, uint32_t dstStride, uint32_t threshold) {
    const double factor = (100.0 - threshold / 100.0) / 100.0;
    // Narrow images average over one pixel instead of dividing by zero.
    const int64_t span = std::max<int64_t>(1, width / 8);
    int64_t sum = 127 * span;
    PicArray<uint8_t> row;
    if (!row.Allocate(width)) return Fail(PIC_ERR_OUT_OF_MEMORY);
    CPicProgress progress;
    for (uint32_t y = 0; y < height; ++y) {
        memcpy(row.data, src + PicRowOffset(y, srcStride), width);
        for (uint32_t i = 0; i < width; ++i) {
            uint8_t& v = row[y % 2 == 0 ? i : width - 1 - i];
            sum = sum - sum / span + v;
            v = v >= factor * (double)(sum / span) ? 1 : 0;
        }
        ThresholdRow(row.data, width, 1, dst + PicRowOffset(y, dstStride));
        if (!progress.Report(y, height)) return Cancelled();
    }
    return true;
}
