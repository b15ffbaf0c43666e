// Channel-level conversions: RGB to RGBA and back, 16 to 8 bits per sample,
// red/blue swaps.
#include <immintrin.h>

#include <cstring>

#include "imaging/core/PicConvert.h"
#include "imaging/core/PicCpuFeatures.h"
#include "imaging/core/PicImgUtil.h"
#include "imaging/core/PicLogicalBlend.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicRowKernels.h"
#include "imaging/core/PicSizes.h"

namespace {

void RGBRowToRGBA(const uint8_t* src, uint8_t* dst, uint32_t width, uint8_t alpha) {
    const uint32_t alphaWord = (uint32_t)alpha << 24;
    // Whole 4-byte loads while a byte beyond the pixel is still inside the row.
    uint32_t i = 0;
    for (; i + 1 < width; ++i) {
        uint32_t pixel;
        memcpy(&pixel, src + 3 * (size_t)i, 4);
        pixel = (pixel & 0xFFFFFF) | alphaWord;
        memcpy(dst + 4 * (size_t)i, &pixel, 4);
    }
    for (; i < width; ++i) {
        dst[4 * (size_t)i] = src[3 * (size_t)i];
        dst[4 * (size_t)i + 1] = src[3 * (size_t)i + 1];
        dst[4 * (size_t)i + 2] = src[3 * (size_t)i + 2];
        dst[4 * (size_t)i + 3] = alpha;
    }
}

// The high byte, rounded up when the low byte says the sample is nearer the next
// multiple of 257: the sample divided by 257, rounded.
inline uint8_t SampleTo8Bit(uint16_t sample) {
    int low = sample & 0xFF, high = sample >> 8;
    return (uint8_t)(low - high > 128 ? high + 1 : high);
}

// Eight samples per step: the high byte, minus the compare mask (-1) where it rounds up.
__attribute__((target("sse2"))) uint64_t SamplesTo8BitSse2(const uint16_t* src, uint8_t* dst, uint64_t n) {
    const __m128i lowBytes = _mm_set1_epi16(0xFF);
    const __m128i half = _mm_set1_epi16(128);
    uint64_t i = 0;
    for (; i + 16 <= n; i += 16) {
        __m128i packed[2];
        for (int k = 0; k < 2; ++k) {
            __m128i v = _mm_loadu_si128((const __m128i*)(src + i + 8 * k));
            __m128i high = _mm_srli_epi16(v, 8);
            __m128i roundUp = _mm_cmpgt_epi16(_mm_sub_epi16(_mm_and_si128(v, lowBytes), high), half);
            packed[k] = _mm_sub_epi16(high, roundUp);
        }
        _mm_storeu_si128((__m128i*)(dst + i), _mm_packus_epi16(packed[0], packed[1]));
    }
    return i;
}

// 4-byte pixels as words: bytes 0 and 2 change places, 1 and 3 stay.
inline uint32_t SwapWordRB(uint32_t v) { return (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16); }

void SwapRB32Row(uint8_t* row, uint32_t width) {
    for (uint32_t i = 0; i < width; ++i) {
        uint32_t v;
        memcpy(&v, row + 4 * (size_t)i, 4);
        v = SwapWordRB(v);
        memcpy(row + 4 * (size_t)i, &v, 4);
    }
}

template <class T, int kSamples>
void SwapFirstAndThird(T* data, uint32_t width, uint32_t rows, uint64_t rowStep) {
    if constexpr (sizeof(T) == 1 && kSamples == 4) {
        for (uint32_t y = 0; y < rows; ++y) SwapRB32Row(data + y * rowStep, width);
        return;
    }
    for (uint32_t y = 0; y < rows; ++y) {
        T* p = data + y * rowStep;
        for (uint32_t i = 0; i < width; ++i, p += kSamples) {
            T first = p[0];
            p[0] = p[2];
            p[2] = first;
        }
    }
}

}  // namespace

BOOL CPicOperation::ConvertRGBToRGBA(const uint8_t* src, uint32_t width, uint32_t height, uint32_t srcStride,
                                     uint32_t dstStride, uint8_t alpha, uint8_t* dst) {
    if (src == nullptr || dst == nullptr || width == 0 || height == 0 ||
        !PicStrideHoldsRow(srcStride, 3ull * width, height) || !PicStrideHoldsRow(dstStride, 4ull * width, height))
        return Fail(PIC_ERR_BAD_PARAM);
    CPicCallDepthGuard depth;
    CPicProgress progress;
    for (uint32_t y = 0; y < height; ++y) {
        RGBRowToRGBA(src + PicRowOffset(y, srcStride), dst + PicRowOffset(y, dstStride), width, alpha);
        if (!progress.Report(y, height)) return Cancelled();
    }
    return TRUE;
}

BOOL CPicOperation::SplitRGBAToRGBPlusA(const uint8_t* src, uint32_t width, uint32_t height, uint32_t srcStride,
                                        uint8_t* rgb, uint32_t rgbStride, uint8_t* alpha, uint32_t alphaStride,
                                        uint32_t flags) {
    const bool wide = (flags & 0x600) == 0x200;  // 16-bit samples, strides in samples
    if (src == nullptr || (rgb == nullptr && alpha == nullptr) || width == 0 || height == 0 ||
        !PicStrideHoldsRow(srcStride, 4ull * width, height) ||
        (rgb != nullptr && !PicStrideHoldsRow(rgbStride, 3ull * width, height)) ||
        (alpha != nullptr && !PicStrideHoldsRow(alphaStride, width, height)))
        return Fail(PIC_ERR_BAD_PARAM);
    CPicCallDepthGuard depth;
    if (wide) {
        auto* src16 = reinterpret_cast<const uint16_t*>(src);
        auto* rgb16 = reinterpret_cast<uint16_t*>(rgb);
        auto* alpha16 = reinterpret_cast<uint16_t*>(alpha);
        for (uint32_t y = 0; y < height; ++y)
            SplitRGBASamples(src16 + PicRowOffset(y, srcStride), rgb16 ? rgb16 + PicRowOffset(y, rgbStride) : nullptr,
                     alpha16 ? alpha16 + PicRowOffset(y, alphaStride) : nullptr, width);
        return TRUE;
    }
    const bool simd = IsSimdKernelAvailable(PIC_KERNEL_SPLIT_RGBA);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* s = src + PicRowOffset(y, srcStride);
        uint8_t* r = rgb ? rgb + PicRowOffset(y, rgbStride) : nullptr;
        uint8_t* a = alpha ? alpha + PicRowOffset(y, alphaStride) : nullptr;
        if (simd) {
            if (!SplitRGBARowSSSE3(s, r, a, width)) return FALSE;
        } else {
            SplitRGBARow(s, r, a, width);
        }
    }
    return TRUE;
}

BOOL CPicOperation::Convert16To8Bit(const uint16_t* src, uint32_t width, uint32_t height, uint32_t channels,
                                    uint32_t srcStride, uint8_t* dst, uint32_t dstStride, uint32_t flags) {
    const uint64_t samples = (uint64_t)width * channels;
    if (src == nullptr || dst == nullptr || (const void*)src == (const void*)dst || samples == 0 || height == 0 ||
        !PicStrideHoldsRow(srcStride, samples, height) || !PicStrideHoldsRow(dstStride, samples, height))
        return Fail(PIC_ERR_BAD_PARAM);
    CPicCallDepthGuard depth;
    const bool lowByte = (flags & 1) != 0;
    const bool sse2 = PicHasCpuFeature(PIC_CPU_SSE2);
    for (uint32_t y = 0; y < height; ++y) {
        const uint16_t* s = src + PicRowOffset(y, srcStride);
        uint8_t* d = dst + PicRowOffset(y, dstStride);
        if (lowByte) {
            for (uint64_t i = 0; i < samples; ++i) d[i] = (uint8_t)s[i];
        } else {
            uint64_t i = sse2 ? SamplesTo8BitSse2(s, d, samples) : 0;
            for (; i < samples; ++i) d[i] = SampleTo8Bit(s[i]);
        }
    }
    return TRUE;
}

void CopySwapRB24(const uint8_t* src, uint8_t* dst, uint32_t width) {
    if (IsSimdKernelAvailable(PIC_KERNEL_SWAP_RB)) {
        CPicOperation op;
        op.CopySwapRBRowSSE41(src, dst, width);
    } else {
        CopySwapRBRow(src, dst, width);
    }
}

void SwapRB24InPlace(uint8_t* data, uint32_t width, uint32_t rows) {
    if (data == nullptr) return;
    uint64_t pixels = (uint64_t)width * rows;
    const bool simd = IsSimdKernelAvailable(PIC_KERNEL_SWAP_RB);
    // The kernels take 32-bit counts: go through in pieces.
    for (uint64_t done = 0; done < pixels;) {
        uint32_t n = pixels - done < 0x10000000 ? (uint32_t)(pixels - done) : 0x10000000;
        uint8_t* p = data + 3 * done;
        if (simd) {
            CPicOperation op;
            op.SwapRBRowSSE41(p, n);
        } else {
            SwapRBRow(p, n);
        }
        done += n;
    }
}

void SwapRB32InPlace(uint8_t* data, uint32_t width, uint32_t rows) {
    if (data == nullptr) return;
    SwapFirstAndThird<uint8_t, 4>(data, width, rows, 4ull * width);
}

namespace {
// Checks the arguments of a row swap and runs it: 5 for null data or a step shorter than a row.
template <class T, int kSamples>
BOOL SwapRBRows(CPicImgUtilT<T>& util, T* data, uint32_t width, uint32_t rows, uint32_t rowStep) {
    if (data == nullptr || !PicStrideHoldsRow(rowStep, (uint64_t)kSamples * width, rows)) {
        util.status = PIC_ERR_BAD_PARAM;
        return FALSE;
    }
    SwapFirstAndThird<T, kSamples>(data, width, rows, rowStep);
    return TRUE;
}
}  // namespace

template <>
BOOL CPicImgUtilT<unsigned char>::SwapRBRows32(unsigned char* data, uint32_t width, uint32_t rows,
                                               uint32_t rowStep) {
    return SwapRBRows<unsigned char, 4>(*this, data, width, rows, rowStep);
}

template <>
BOOL CPicImgUtilT<unsigned short>::SwapRBRows64(unsigned short* data, uint32_t width, uint32_t rows,
                                                uint32_t rowStep) {
    return SwapRBRows<unsigned short, 4>(*this, data, width, rows, rowStep);
}

template <>
BOOL CPicImgUtilT<unsigned short>::SwapRBRows48(unsigned short* data, uint32_t width, uint32_t rows,
                                                uint32_t rowStep) {
    return SwapRBRows<unsigned short, 3>(*this, data, width, rows, rowStep);
}
