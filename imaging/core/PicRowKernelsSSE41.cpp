// SSE4.1 forms of the stand-alone row kernels: 16 pixels per step through
// byte shuffles, the pixels left over through the plain forms.
#include <immintrin.h>

#include "imaging/core/PicCpuFeatures.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicRowKernels.h"

namespace {

struct ShuffleTable {
    uint8_t bytes[16];
};
constexpr uint8_t kZero = 0x80;  // a shuffle index that yields 0

// 16 RGB pixels are 48 bytes in three registers r = 0..2 and 64 RGBA bytes in
// four registers; output register r draws on RGBA registers r and r + 1.
constexpr ShuffleTable GatherFromRGBA(int r, int half, bool alpha) {
    ShuffleTable t{};
    for (int j = 0; j < 16; ++j) {
        int g = 16 * r + j, pixel = g / 3, component = alpha ? 3 : g % 3;
        t.bytes[j] = pixel / 4 == r + half ? (uint8_t)(4 * (pixel % 4) + component) : kZero;
    }
    return t;
}

// Output register r of a red/blue swap takes from RGB register q.
constexpr ShuffleTable SwapFrom(int r, int q) {
    ShuffleTable t{};
    for (int j = 0; j < 16; ++j) {
        int g = 16 * r + j, pixel = g / 3, source = 3 * pixel + 2 - g % 3;
        t.bytes[j] = source / 16 == q ? (uint8_t)(source % 16) : kZero;
    }
    return t;
}

// Register r of 48 RGB bytes: the mask byte of each byte's pixel.
constexpr ShuffleTable MaskPerByte(int r) {
    ShuffleTable t{};
    for (int j = 0; j < 16; ++j) t.bytes[j] = (uint8_t)((16 * r + j) / 3);
    return t;
}

// Register r of 48 RGB bytes: which colour component each byte takes.
constexpr ShuffleTable ColorPattern(int r) {
    ShuffleTable t{};
    for (int j = 0; j < 16; ++j) t.bytes[j] = (uint8_t)((16 * r + j) % 3);
    return t;
}

// Alpha bytes of RGBA register k to bytes 4k..4k+3.
constexpr ShuffleTable AlphaQuarter(int k) {
    ShuffleTable t{};
    for (int j = 0; j < 16; ++j) t.bytes[j] = j / 4 == k ? (uint8_t)(4 * (j % 4) + 3) : kZero;
    return t;
}

constexpr ShuffleTable kGatherRGB[3][2] = {{GatherFromRGBA(0, 0, false), GatherFromRGBA(0, 1, false)},
                                           {GatherFromRGBA(1, 0, false), GatherFromRGBA(1, 1, false)},
                                           {GatherFromRGBA(2, 0, false), GatherFromRGBA(2, 1, false)}};
constexpr ShuffleTable kGatherAlpha[3][2] = {{GatherFromRGBA(0, 0, true), GatherFromRGBA(0, 1, true)},
                                             {GatherFromRGBA(1, 0, true), GatherFromRGBA(1, 1, true)},
                                             {GatherFromRGBA(2, 0, true), GatherFromRGBA(2, 1, true)}};
constexpr ShuffleTable kSwap[3][3] = {{SwapFrom(0, 0), SwapFrom(0, 1), SwapFrom(0, 2)},
                                      {SwapFrom(1, 0), SwapFrom(1, 1), SwapFrom(1, 2)},
                                      {SwapFrom(2, 0), SwapFrom(2, 1), SwapFrom(2, 2)}};
constexpr ShuffleTable kMaskPerByte[3] = {MaskPerByte(0), MaskPerByte(1), MaskPerByte(2)};
constexpr ShuffleTable kColorPattern[3] = {ColorPattern(0), ColorPattern(1), ColorPattern(2)};
constexpr ShuffleTable kAlphaQuarter[4] = {AlphaQuarter(0), AlphaQuarter(1), AlphaQuarter(2), AlphaQuarter(3)};

__attribute__((target("ssse3"))) inline __m128i Shuffle(__m128i v, const ShuffleTable& t) {
    return _mm_shuffle_epi8(v, _mm_loadu_si128((const __m128i*)t.bytes));
}

// (over * w + under * (255 - w)) / 255 per byte.
__attribute__((target("sse4.1"))) inline __m128i Mix(__m128i over, __m128i under, __m128i weight) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi16(255);
    const __m128i one = _mm_set1_epi16(1);
    __m128i halves[2];
    for (int h = 0; h < 2; ++h) {
        __m128i o = h ? _mm_unpackhi_epi8(over, zero) : _mm_unpacklo_epi8(over, zero);
        __m128i u = h ? _mm_unpackhi_epi8(under, zero) : _mm_unpacklo_epi8(under, zero);
        __m128i w = h ? _mm_unpackhi_epi8(weight, zero) : _mm_unpacklo_epi8(weight, zero);
        __m128i p = _mm_add_epi16(_mm_mullo_epi16(o, w), _mm_mullo_epi16(u, _mm_sub_epi16(full, w)));
        halves[h] = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(p, one), _mm_srli_epi16(p, 8)), 8);
    }
    return _mm_packus_epi16(halves[0], halves[1]);
}

__attribute__((target("sse4.1"))) uint32_t BlendColorMask16(uint8_t* dst, const uint8_t* mask, uint32_t count,
                                                           uint32_t color) {
    const __m128i components = _mm_cvtsi32_si128((int)(color & 0xFFFFFF));
    __m128i colors[3];
    for (int r = 0; r < 3; ++r) colors[r] = Shuffle(components, kColorPattern[r]);
    uint32_t i = 0;
    for (; i + 16 <= count; i += 16, dst += 48) {
        __m128i m = _mm_loadu_si128((const __m128i*)(mask + i));
        for (int r = 0; r < 3; ++r) {
            __m128i d = _mm_loadu_si128((const __m128i*)(dst + 16 * r));
            _mm_storeu_si128((__m128i*)(dst + 16 * r), Mix(colors[r], d, Shuffle(m, kMaskPerByte[r])));
        }
    }
    return i;
}

// (v * multiplier) >> 16 per byte.
__attribute__((target("sse4.1"))) inline __m128i ScaleBytes(__m128i v, __m128i multiplier) {
    const __m128i zero = _mm_setzero_si128();
    return _mm_packus_epi16(_mm_mulhi_epu16(_mm_unpacklo_epi8(v, zero), multiplier),
                            _mm_mulhi_epu16(_mm_unpackhi_epi8(v, zero), multiplier));
}

template <bool kScaled>
__attribute__((target("sse4.1"))) uint32_t BlendRGBAOverRGB16(const uint8_t* src, uint8_t* dst, uint32_t count,
                                                             uint16_t multiplier) {
    const __m128i scale = _mm_set1_epi16((short)multiplier);
    uint32_t i = 0;
    for (; i + 16 <= count; i += 16, src += 64, dst += 48) {
        __m128i s[4];
        for (int k = 0; k < 4; ++k) s[k] = _mm_loadu_si128((const __m128i*)(src + 16 * k));
        for (int r = 0; r < 3; ++r) {
            __m128i rgb = _mm_or_si128(Shuffle(s[r], kGatherRGB[r][0]), Shuffle(s[r + 1], kGatherRGB[r][1]));
            __m128i a = _mm_or_si128(Shuffle(s[r], kGatherAlpha[r][0]), Shuffle(s[r + 1], kGatherAlpha[r][1]));
            if (kScaled) a = ScaleBytes(a, scale);
            __m128i d = _mm_loadu_si128((const __m128i*)(dst + 16 * r));
            _mm_storeu_si128((__m128i*)(dst + 16 * r), Mix(rgb, d, a));
        }
    }
    return i;
}

__attribute__((target("ssse3"))) uint32_t SplitRGBA16(const uint8_t* src, uint8_t* rgb, uint8_t* alpha,
                                                     uint32_t count) {
    uint32_t i = 0;
    for (; i + 16 <= count; i += 16, src += 64) {
        __m128i s[4];
        for (int k = 0; k < 4; ++k) s[k] = _mm_loadu_si128((const __m128i*)(src + 16 * k));
        if (rgb != nullptr) {
            for (int r = 0; r < 3; ++r)
                _mm_storeu_si128((__m128i*)(rgb + 16 * r),
                                 _mm_or_si128(Shuffle(s[r], kGatherRGB[r][0]), Shuffle(s[r + 1], kGatherRGB[r][1])));
            rgb += 48;
        }
        if (alpha != nullptr) {
            __m128i a = _mm_or_si128(_mm_or_si128(Shuffle(s[0], kAlphaQuarter[0]), Shuffle(s[1], kAlphaQuarter[1])),
                                     _mm_or_si128(Shuffle(s[2], kAlphaQuarter[2]), Shuffle(s[3], kAlphaQuarter[3])));
            _mm_storeu_si128((__m128i*)alpha, a);
            alpha += 16;
        }
    }
    return i;
}

__attribute__((target("sse4.1"))) uint32_t CopySwapRB16(const uint8_t* src, uint8_t* dst, uint32_t count) {
    uint32_t i = 0;
    for (; i + 16 <= count; i += 16, src += 48, dst += 48) {
        __m128i s[3];
        for (int q = 0; q < 3; ++q) s[q] = _mm_loadu_si128((const __m128i*)(src + 16 * q));
        __m128i out[3];
        for (int r = 0; r < 3; ++r) {
            out[r] = Shuffle(s[r], kSwap[r][r]);
            if (r > 0) out[r] = _mm_or_si128(out[r], Shuffle(s[r - 1], kSwap[r][r - 1]));
            if (r < 2) out[r] = _mm_or_si128(out[r], Shuffle(s[r + 1], kSwap[r][r + 1]));
        }
        for (int r = 0; r < 3; ++r) _mm_storeu_si128((__m128i*)(dst + 16 * r), out[r]);
    }
    return i;
}

}  // namespace

bool CPicOperation::BlendColorMaskRowSSE41(uint8_t* dst, const uint8_t* mask, uint32_t count, uint32_t color) {
    if (!PicHasCpuFeature(PIC_CPU_SSE41)) return Fail(PIC_ERR_CPU_FEATURE);
    if (dst == nullptr || mask == nullptr) return Fail(PIC_ERR_BAD_PARAM);
    uint32_t done = BlendColorMask16(dst, mask, count, color);
    BlendColorMaskRow(dst + 3 * (size_t)done, mask + done, count - done, color);
    return true;
}

bool CPicOperation::BlendRGBAOverRGBRowSSE41(const uint8_t* src, uint8_t* dst, uint32_t count) {
    if (!PicHasCpuFeature(PIC_CPU_SSE41)) return Fail(PIC_ERR_CPU_FEATURE);
    if (src == nullptr || dst == nullptr) return Fail(PIC_ERR_BAD_PARAM);
    uint32_t done = BlendRGBAOverRGB16<false>(src, dst, count, 0);
    BlendRGBAOverRGBRow(src + 4 * (size_t)done, dst + 3 * (size_t)done, count - done);
    return true;
}

uint32_t BlendRGBAOverRGBScaledSSE41(const uint8_t* src, uint8_t* dst, uint32_t count, uint16_t multiplier) {
    return PicHasCpuFeature(PIC_CPU_SSE41) ? BlendRGBAOverRGB16<true>(src, dst, count, multiplier) : 0;
}

bool CPicOperation::SplitRGBARowSSSE3(const uint8_t* src, uint8_t* rgb, uint8_t* alpha, uint32_t count) {
    if (src == nullptr || (rgb == nullptr && alpha == nullptr)) return Fail(PIC_ERR_BAD_PARAM);
    // Callers test for SSE4.1 first; a processor without byte shuffles gets the plain loop.
    uint32_t done = PicHasCpuFeature(PIC_CPU_SSSE3) ? SplitRGBA16(src, rgb, alpha, count) : 0;
    SplitRGBARow(src + 4 * (size_t)done, rgb != nullptr ? rgb + 3 * (size_t)done : nullptr,
                 alpha != nullptr ? alpha + done : nullptr, count - done);
    return true;
}

bool CPicOperation::SwapRBRowSSE41(uint8_t* pixels, uint32_t count) {
    if (!PicHasCpuFeature(PIC_CPU_SSE41)) return Fail(PIC_ERR_CPU_FEATURE);
    if (pixels == nullptr) return Fail(PIC_ERR_BAD_PARAM);
    // Each 48-byte block is read whole before it is written, so in place is safe.
    uint32_t done = CopySwapRB16(pixels, pixels, count);
    SwapRBRow(pixels + 3 * (size_t)done, count - done);
    return true;
}

bool CPicOperation::CopySwapRBRowSSE41(const uint8_t* src, uint8_t* dst, uint32_t count) {
    if (!PicHasCpuFeature(PIC_CPU_SSE41)) return Fail(PIC_ERR_CPU_FEATURE);
    if (src == nullptr || dst == nullptr) return Fail(PIC_ERR_BAD_PARAM);
    uint32_t done = CopySwapRB16(src, dst, count);
    CopySwapRBRow(src + 3 * (size_t)done, dst + 3 * (size_t)done, count - done);
    return true;
}
