// Row kernels of the single-precision bicubic path. Each gathers the 4 x 4
// block of every destination pixel at its tap offsets, weighs each source
// row's four samples by the column weights and the four row sums by the row
// weights. Every tap is read at its own offset; no kernel reads past the
// source buffer (a three-channel tap is read as four bytes only where a
// fourth byte exists).
#include <immintrin.h>

#include <cmath>
#include <cstring>

#include "imaging/core/PicBicubicSimd.h"
#include "imaging/core/PicCpuFeatures.h"

using VovIredev::CPicImgBufBase;

namespace {

// The rows of one destination row: their start pointers and float weights.
struct RowTaps {
    const uint8_t* rows[4];
    float weights[4];
};

RowTaps RowTapsOf(const CPicImgBufBase<unsigned char>& src, uint32_t y, double rowScale) {
    const double q = y * rowScale;
    const float e = (float)(q - std::floor(q));
    RowTaps r;
    r.weights[0] = -e * (1 - e) * (1 - e);
    r.weights[1] = 1 - 2 * e * e + e * e * e;
    r.weights[2] = e + e * e - e * e * e;
    r.weights[3] = e * e * e - e * e;
    int32_t taps[4];
    PicCubicTaps(q, src.height, taps);
    for (int k = 0; k < 4; ++k) r.rows[k] = src.data + PicRowOffset((uint32_t)taps[k], src.stride);
    return r;
}

// Checks every kernel makes first; -1 to go on, else the result code.
int32_t KernelPrecheck(const CPicImgBufBase<unsigned char>& src, CPicImgBufBase<unsigned char>& dst,
                       const PicBicubicSimdTables& tables, uint32_t channels, uint16_t feature) {
    if (!PicResizeViewsUsable(src, dst) || src.channels != channels || src.data == dst.data || tables.IsEmpty())
        return PIC_ERR_BAD_PARAM;
    if (src.width == dst.width && src.height == dst.height && src.stride == dst.stride) {
        memmove(dst.data, src.data, PicRowOffset(src.height - 1, src.stride) + (size_t)src.width * src.channels);
        return PIC_ERR_OK;
    }
    if (!PicHasCpuFeature(feature)) return PIC_ERR_CPU_FEATURE;
    return -1;
}

struct RowRange {
    uint32_t top, bottom;
};
RowRange RowsOf(const RECT* band, uint32_t height) {
    if (band == nullptr) return {0, height};
    return {(uint32_t)band->top, (uint32_t)band->bottom};
}

inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
}

// A three-byte pixel as 32 bits: one load where a fourth byte exists, else three.
inline uint32_t LoadPixel3(const uint8_t* p, const uint8_t* end) {
    if (p + 4 <= end) return Load32(p);
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16;
}

// One past the last byte of the source image.
inline const uint8_t* ImageEnd(const CPicImgBufBase<unsigned char>& src) {
    return src.data + PicRowOffset(src.height - 1, src.stride) + (size_t)src.width * src.channels;
}

template <uint32_t Channels>
inline uint32_t LoadTap(const uint8_t* p, const uint8_t* end) {
    if constexpr (Channels == 4) return Load32(p);
    return LoadPixel3(p, end);
}

inline void StorePixel(uint8_t* out, uint32_t packed, uint32_t channels) {
    if (channels == 4)
        memcpy(out, &packed, 4);
    else
        out[0] = (uint8_t)packed, out[1] = (uint8_t)(packed >> 8), out[2] = (uint8_t)(packed >> 16);
}

// ---- SSE3 ----

__attribute__((target("sse3"))) inline __m128 BytesToFloats(uint32_t bytes) {
    const __m128i zero = _mm_setzero_si128();
    __m128i v = _mm_unpacklo_epi8(_mm_cvtsi32_si128((int)bytes), zero);
    return _mm_cvtepi32_ps(_mm_unpacklo_epi16(v, zero));
}

// Truncates toward zero and holds 0..255, four lanes packed into 32 bits.
__attribute__((target("sse3"))) inline uint32_t TruncatePack(__m128 v) {
    __m128i i = _mm_cvttps_epi32(v);
    i = _mm_packs_epi32(i, i);
    return (uint32_t)_mm_cvtsi128_si32(_mm_packus_epi16(i, i));
}

template <uint32_t Channels>
__attribute__((target("sse3"))) int32_t BicubicRowsSseMulti(const CPicImgBufBase<unsigned char>& src,
                                                             CPicImgBufBase<unsigned char>& dst,
                                                             const PicBicubicSimdTables& tables, const RECT* band) {
    const int32_t early = KernelPrecheck(src, dst, tables, Channels, PIC_CPU_SSE3);
    if (early >= 0) return early;
    const uint8_t* end = ImageEnd(src);
    const double rowScale = (double)src.height / dst.height;
    const RowRange range = RowsOf(band, dst.height);
    for (uint32_t y = range.top; y < range.bottom; ++y) {
        const RowTaps r = RowTapsOf(src, y, rowScale);
        uint8_t* out = dst.data + PicRowOffset(y, dst.stride);
        for (uint32_t x = 0; x < dst.width; ++x) {
            const float* w = tables.weights.data + 4 * (size_t)x;
            const int32_t t0 = tables.taps[0][x], t1 = tables.taps[1][x], t2 = tables.taps[2][x],
                          t3 = tables.taps[3][x];
            const __m128 w0 = _mm_set1_ps(w[0]), w1 = _mm_set1_ps(w[1]), w2 = _mm_set1_ps(w[2]),
                         w3 = _mm_set1_ps(w[3]);
            __m128 acc = _mm_setzero_ps();
            for (int k = 0; k < 4; ++k) {
                const uint8_t* row = r.rows[k];
                __m128 sum = _mm_mul_ps(w0, BytesToFloats(LoadTap<Channels>(row + t0, end)));
                sum = _mm_add_ps(sum, _mm_mul_ps(w1, BytesToFloats(LoadTap<Channels>(row + t1, end))));
                sum = _mm_add_ps(sum, _mm_mul_ps(w2, BytesToFloats(LoadTap<Channels>(row + t2, end))));
                sum = _mm_add_ps(sum, _mm_mul_ps(w3, BytesToFloats(LoadTap<Channels>(row + t3, end))));
                acc = _mm_add_ps(acc, _mm_mul_ps(_mm_set1_ps(r.weights[k]), sum));
            }
            StorePixel(out + (size_t)x * Channels, TruncatePack(acc), Channels);
        }
    }
    return PIC_ERR_OK;
}

// The four samples of one source row at the column's taps.
__attribute__((target("sse3"))) inline __m128 RowSamples1(const uint8_t* row, int32_t t0, int32_t t1, int32_t t2,
                                                          int32_t t3) {
    if (t3 == t0 + 3) return BytesToFloats(Load32(row + t0));  // four neighbours: one load
    return BytesToFloats((uint32_t)row[t0] | (uint32_t)row[t1] << 8 | (uint32_t)row[t2] << 16 |
                         (uint32_t)row[t3] << 24);
}

}  // namespace

__attribute__((target("sse3"))) int32_t BicubicRowsSse1(const CPicImgBufBase<unsigned char>& src,
                                                         CPicImgBufBase<unsigned char>& dst,
                                                         const PicBicubicSimdTables& tables, const RECT* band) {
    const int32_t early = KernelPrecheck(src, dst, tables, 1, PIC_CPU_SSE3);
    if (early >= 0) return early;
    const double rowScale = (double)src.height / dst.height;
    const RowRange range = RowsOf(band, dst.height);
    for (uint32_t y = range.top; y < range.bottom; ++y) {
        const RowTaps r = RowTapsOf(src, y, rowScale);
        const __m128 rowWeights = _mm_loadu_ps(r.weights);
        uint8_t* out = dst.data + PicRowOffset(y, dst.stride);
        for (uint32_t x = 0; x < dst.width; ++x) {
            const __m128 w = _mm_loadu_ps(tables.weights.data + 4 * (size_t)x);
            const int32_t t0 = tables.taps[0][x], t1 = tables.taps[1][x], t2 = tables.taps[2][x],
                          t3 = tables.taps[3][x];
            __m128 m[4];
            for (int k = 0; k < 4; ++k) m[k] = _mm_mul_ps(w, RowSamples1(r.rows[k], t0, t1, t2, t3));
            const __m128 rowSums = _mm_hadd_ps(_mm_hadd_ps(m[0], m[1]), _mm_hadd_ps(m[2], m[3]));
            __m128 total = _mm_mul_ps(rowSums, rowWeights);
            total = _mm_hadd_ps(total, total);
            total = _mm_hadd_ps(total, total);
            const int32_t rounded = _mm_cvtss_si32(total);  // to nearest, ties to even
            out[x] = (uint8_t)(rounded < 0 ? 0 : rounded > 255 ? 255 : rounded);
        }
    }
    return PIC_ERR_OK;
}

int32_t BicubicRowsSse3(const CPicImgBufBase<unsigned char>& src, CPicImgBufBase<unsigned char>& dst,
                        const PicBicubicSimdTables& tables, const RECT* band) {
    return BicubicRowsSseMulti<3>(src, dst, tables, band);
}

int32_t BicubicRowsSse4(const CPicImgBufBase<unsigned char>& src, CPicImgBufBase<unsigned char>& dst,
                        const PicBicubicSimdTables& tables, const RECT* band) {
    return BicubicRowsSseMulti<4>(src, dst, tables, band);
}

// ---- AVX2: two source rows per 256-bit register ----

namespace {

__attribute__((target("avx2"))) inline __m256 TwoRowsToFloats(uint32_t upper, uint32_t lower) {
    return _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_set_epi32(0, 0, (int)lower, (int)upper)));
}

template <uint32_t Channels>
__attribute__((target("avx2"))) int32_t BicubicRowsAvxMulti(const CPicImgBufBase<unsigned char>& src,
                                                             CPicImgBufBase<unsigned char>& dst,
                                                             const PicBicubicSimdTables& tables, const RECT* band) {
    const int32_t early = KernelPrecheck(src, dst, tables, Channels, PIC_CPU_AVX2);
    if (early >= 0) return early;
    const uint8_t* end = ImageEnd(src);
    const double rowScale = (double)src.height / dst.height;
    const RowRange range = RowsOf(band, dst.height);
    for (uint32_t y = range.top; y < range.bottom; ++y) {
        const RowTaps r = RowTapsOf(src, y, rowScale);
        // Lanes 0-3 weigh the upper row of a pair, lanes 4-7 the lower.
        const __m256 firstPairWeights = _mm256_setr_ps(r.weights[0], r.weights[0], r.weights[0], r.weights[0],
                                                r.weights[1], r.weights[1], r.weights[1], r.weights[1]);
        const __m256 secondPairWeights = _mm256_setr_ps(r.weights[2], r.weights[2], r.weights[2], r.weights[2],
                                                r.weights[3], r.weights[3], r.weights[3], r.weights[3]);
        uint8_t* out = dst.data + PicRowOffset(y, dst.stride);
        for (uint32_t x = 0; x < dst.width; ++x) {
            const float* w = tables.weights.data + 4 * (size_t)x;
            const int32_t taps[4] = {tables.taps[0][x], tables.taps[1][x], tables.taps[2][x], tables.taps[3][x]};
            __m256 pairs[2];
            for (int pair = 0; pair < 2; ++pair) {
                const uint8_t *a = r.rows[2 * pair], *b = r.rows[2 * pair + 1];
                __m256 sum = _mm256_setzero_ps();
                for (int j = 0; j < 4; ++j) {
                    const __m256 samples =
                        TwoRowsToFloats(LoadTap<Channels>(a + taps[j], end), LoadTap<Channels>(b + taps[j], end));
                    sum = _mm256_add_ps(sum, _mm256_mul_ps(_mm256_set1_ps(w[j]), samples));
                }
                pairs[pair] = sum;
            }
            const __m256 weighted =
                _mm256_add_ps(_mm256_mul_ps(pairs[0], firstPairWeights), _mm256_mul_ps(pairs[1], secondPairWeights));
            const __m128 acc = _mm_add_ps(_mm256_castps256_ps128(weighted), _mm256_extractf128_ps(weighted, 1));
            __m128i i = _mm_cvttps_epi32(acc);
            i = _mm_packs_epi32(i, i);
            StorePixel(out + (size_t)x * Channels, (uint32_t)_mm_cvtsi128_si32(_mm_packus_epi16(i, i)), Channels);
        }
    }
    return PIC_ERR_OK;
}

}  // namespace

int32_t BicubicRowsAvx3(const CPicImgBufBase<unsigned char>& src, CPicImgBufBase<unsigned char>& dst,
                        const PicBicubicSimdTables& tables, const RECT* band) {
    return BicubicRowsAvxMulti<3>(src, dst, tables, band);
}

int32_t BicubicRowsAvx4(const CPicImgBufBase<unsigned char>& src, CPicImgBufBase<unsigned char>& dst,
                        const PicBicubicSimdTables& tables, const RECT* band) {
    return BicubicRowsAvxMulti<4>(src, dst, tables, band);
}
