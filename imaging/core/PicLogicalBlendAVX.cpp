// AVX set of the blend kernels: 128 bytes (four registers) per step for the
// byte operations, 32 for screen and blend, 8 floats per step for the float
// operations; leftovers follow the plain formulas.
#include <immintrin.h>

#include <cstring>

#include "imaging/core/PicBlendRules.h"
#include "imaging/core/PicCpuFeatures.h"
#include "imaging/core/PicLogicalBlend.h"
#include "imaging/core/PicResult.h"

namespace {

#define PIC_AVX_BYTE_KERNEL(NAME, TARGET, VECTOR, SCALAR)                                     \
    __attribute__((target(TARGET))) void NAME(uint8_t* dst, const uint8_t* src, uint32_t n) { \
        const __m256i ones = _mm256_set1_epi8(-1);                                               \
        (void)ones;                                                                           \
        uint32_t i = 0;                                                                       \
        for (; i + 128 <= n; i += 128) {                                                        \
            for (uint32_t k = 0; k < 128; k += 32) {                                           \
                __m256i d = _mm256_loadu_si256((const __m256i*)(dst + i + k));                   \
                __m256i s = _mm256_loadu_si256((const __m256i*)(src + i + k));                   \
                _mm256_storeu_si256((__m256i*)(dst + i + k), VECTOR);                            \
            }                                                                                 \
        }                                                                                     \
        for (; i + 32 <= n; i += 32) {                                                        \
            __m256i d = _mm256_loadu_si256((const __m256i*)(dst + i));                           \
            __m256i s = _mm256_loadu_si256((const __m256i*)(src + i));                           \
            _mm256_storeu_si256((__m256i*)(dst + i), VECTOR);                                    \
        }                                                                                     \
        for (; i < n; ++i) {                                                                  \
            uint8_t d = dst[i], s = src[i];                                                   \
            dst[i] = (uint8_t)(SCALAR);                                                       \
        }                                                                                     \
    }

PIC_AVX_BYTE_KERNEL(AndAvx, "avx2", _mm256_and_si256(d, s), d & s)
PIC_AVX_BYTE_KERNEL(OrAvx, "avx2", _mm256_or_si256(d, s), d | s)
PIC_AVX_BYTE_KERNEL(XorAvx, "avx2", _mm256_xor_si256(d, s), d ^ s)
PIC_AVX_BYTE_KERNEL(NandAvx, "avx2", _mm256_xor_si256(_mm256_and_si256(d, s), ones), ~(d & s))
PIC_AVX_BYTE_KERNEL(NorAvx, "avx2", _mm256_xor_si256(_mm256_or_si256(d, s), ones), ~(d | s))
PIC_AVX_BYTE_KERNEL(XnorAvx, "avx2", _mm256_xor_si256(_mm256_xor_si256(d, s), ones), ~(d ^ s))
PIC_AVX_BYTE_KERNEL(MaxByteAvx, "avx2", _mm256_max_epu8(d, s), d > s ? d : s)
PIC_AVX_BYTE_KERNEL(MinByteAvx, "avx2", _mm256_min_epu8(d, s), d < s ? d : s)
PIC_AVX_BYTE_KERNEL(AddSatAvx, "avx2", _mm256_adds_epu8(d, s), PicBlendRules::AddSat(d, s))
PIC_AVX_BYTE_KERNEL(SubSatAvx, "avx2", _mm256_subs_epu8(d, s), PicBlendRules::SubSat(d, s))
PIC_AVX_BYTE_KERNEL(RevSubSatAvx, "avx2", _mm256_subs_epu8(s, d), PicBlendRules::SubSat(s, d))
PIC_AVX_BYTE_KERNEL(DiffAvx, "avx2", _mm256_or_si256(_mm256_subs_epu8(d, s), _mm256_subs_epu8(s, d)),
                    PicBlendRules::Diff(d, s))

__attribute__((target("avx2"))) void ScreenAvx(uint8_t* dst, const uint8_t* src, uint32_t n) {
    const __m256i ones = _mm256_set1_epi8(-1);
    const __m256i zero = _mm256_setzero_si256();
    uint32_t i = 0;
    for (; i + 32 <= n; i += 32) {
        __m256i d = _mm256_xor_si256(_mm256_loadu_si256((const __m256i*)(dst + i)), ones);
        __m256i s = _mm256_xor_si256(_mm256_loadu_si256((const __m256i*)(src + i)), ones);
        __m256i lo = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(d, zero), _mm256_unpacklo_epi8(s, zero)), 8);
        __m256i hi = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(d, zero), _mm256_unpackhi_epi8(s, zero)), 8);
        _mm256_storeu_si256((__m256i*)(dst + i), _mm256_xor_si256(_mm256_packus_epi16(lo, hi), ones));
    }
    for (; i < n; ++i) dst[i] = PicBlendRules::Screen(dst[i], src[i]);
}

__attribute__((target("avx2"))) void BlendByteAvx(uint8_t* dst, const uint8_t* src, uint32_t n, uint16_t c) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i weightS = _mm256_set1_epi16((short)c);
    const __m256i weightD = _mm256_set1_epi16((short)(256 - c));
    uint32_t i = 0;
    for (; i + 32 <= n; i += 32) {
        __m256i d = _mm256_loadu_si256((const __m256i*)(dst + i));
        __m256i s = _mm256_loadu_si256((const __m256i*)(src + i));
        __m256i lo = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(s, zero), weightS),
                                   _mm256_mullo_epi16(_mm256_unpacklo_epi8(d, zero), weightD));
        __m256i hi = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(s, zero), weightS),
                                   _mm256_mullo_epi16(_mm256_unpackhi_epi8(d, zero), weightD));
        _mm256_storeu_si256((__m256i*)(dst + i), _mm256_packus_epi16(_mm256_srli_epi16(lo, 8), _mm256_srli_epi16(hi, 8)));
    }
    for (; i < n; ++i) dst[i] = PicBlendRules::Blend(dst[i], src[i], c);
}

using namespace PicBlendRules;

template <FloatOp op>
__attribute__((target("avx"))) inline __m256 ResultAvx(__m256 d, __m256 s) {
    switch (op) {
    case kMax: return _mm256_max_ps(d, s);
    case kMin: return _mm256_min_ps(d, s);
    case kAdd: return _mm256_add_ps(d, s);
    case kSub: return _mm256_sub_ps(d, s);
    case kRevSub: return _mm256_sub_ps(s, d);
    case kDiff: return _mm256_andnot_ps(_mm256_set1_ps(-0.0f), _mm256_sub_ps(d, s));
    default: return s;
    }
}

template <FloatOp op>
__attribute__((target("avx"))) void FloatAvx(float* dst, const float* src, uint32_t n, double x) {
    uint32_t i = 0;
    if (x == 1.0) {
        for (; i + 8 <= n; i += 8)
            _mm256_storeu_ps(dst + i, ResultAvx<op>(_mm256_loadu_ps(dst + i), _mm256_loadu_ps(src + i)));
        for (; i < n; ++i) dst[i] = Result<op>(dst[i], src[i]);
        return;
    }
    const __m256 xf = _mm256_set1_ps((float)x);
    const __m256 yf = _mm256_set1_ps((float)(1.0 - x));
    for (; i + 8 <= n; i += 8) {
        __m256 d = _mm256_loadu_ps(dst + i);
        __m256 r = ResultAvx<op>(d, _mm256_loadu_ps(src + i));
        _mm256_storeu_ps(dst + i, _mm256_add_ps(_mm256_mul_ps(r, xf), _mm256_mul_ps(d, yf)));
    }
    for (; i < n; ++i) {
        if (op == kSource)
            dst[i] = PicBlendRules::TailBlendSource(dst[i], src[i], x);
        else
            dst[i] = PicBlendRules::TailBlend(dst[i], Result<op>(dst[i], src[i]), x);
    }
}

}  // namespace

#define PIC_AVX_BYTE_OPERATION(METHOD, KERNEL, FEATURE)                                     \
    bool CPicSIMDLogicalBufBlendAVX::METHOD(uint8_t* dst, const uint8_t* src, uint32_t count) { \
        if (!PicHasCpuFeature(FEATURE)) {                                                   \
            status = PIC_ERR_CPU_FEATURE;                                                   \
            return false;                                                                   \
        }                                                                                   \
        KERNEL(dst, src, count);                                                            \
        return true;                                                                        \
    }

PIC_AVX_BYTE_OPERATION(And, AndAvx, PIC_CPU_AVX2)
PIC_AVX_BYTE_OPERATION(Or, OrAvx, PIC_CPU_AVX2)
PIC_AVX_BYTE_OPERATION(Xor, XorAvx, PIC_CPU_AVX2)
PIC_AVX_BYTE_OPERATION(Nand, NandAvx, PIC_CPU_AVX2)
PIC_AVX_BYTE_OPERATION(Nor, NorAvx, PIC_CPU_AVX2)
PIC_AVX_BYTE_OPERATION(Xnor, XnorAvx, PIC_CPU_AVX2)
PIC_AVX_BYTE_OPERATION(MaxByte, MaxByteAvx, PIC_CPU_AVX2)
PIC_AVX_BYTE_OPERATION(MinByte, MinByteAvx, PIC_CPU_AVX2)
PIC_AVX_BYTE_OPERATION(AddSatByte, AddSatAvx, PIC_CPU_AVX2)
PIC_AVX_BYTE_OPERATION(SubSatByte, SubSatAvx, PIC_CPU_AVX2)
PIC_AVX_BYTE_OPERATION(RevSubSatByte, RevSubSatAvx, PIC_CPU_AVX2)
PIC_AVX_BYTE_OPERATION(DiffByte, DiffAvx, PIC_CPU_AVX2)
PIC_AVX_BYTE_OPERATION(ScreenByte, ScreenAvx, PIC_CPU_AVX2)

bool CPicSIMDLogicalBufBlendAVX::BlendByte(uint8_t* dst, const uint8_t* src, uint32_t count, double x) {
    if (!PicHasCpuFeature(PIC_CPU_AVX2)) {
        status = PIC_ERR_CPU_FEATURE;
        return false;
    }
    if (x == 1.0) {
        if (count != 0) memcpy(dst, src, count);
        return true;
    }
    if (x == 0.0) return true;
    BlendByteAvx(dst, src, count, PicBlendRules::ByteBlendWeight(x));
    return true;
}

#define PIC_AVX_FLOAT_OPERATION(METHOD, OP)                                                          \
    bool CPicSIMDLogicalBufBlendAVX::METHOD(float* dst, const float* src, uint32_t count, double x) { \
        if (!PicHasCpuFeature(PIC_CPU_AVX)) {                                                       \
            status = PIC_ERR_CPU_FEATURE;                                                            \
            return false;                                                                            \
        }                                                                                            \
        FloatAvx<OP>(dst, src, count, x);                                                            \
        return true;                                                                                 \
    }

PIC_AVX_FLOAT_OPERATION(MaxFloat, kMax)
PIC_AVX_FLOAT_OPERATION(MinFloat, kMin)
PIC_AVX_FLOAT_OPERATION(AddFloat, kAdd)
PIC_AVX_FLOAT_OPERATION(SubFloat, kSub)
PIC_AVX_FLOAT_OPERATION(RevSubFloat, kRevSub)
PIC_AVX_FLOAT_OPERATION(DiffFloat, kDiff)

bool CPicSIMDLogicalBufBlendAVX::BlendFloat(float* dst, const float* src, uint32_t count, double x) {
    if (!PicHasCpuFeature(PIC_CPU_AVX)) {
        status = PIC_ERR_CPU_FEATURE;
        return false;
    }
    if (x == 1.0) {
        if (count != 0) memcpy(dst, src, (size_t)count * 4);
        return true;
    }
    if (x == 0.0) return true;
    FloatAvx<kSource>(dst, src, count, x);
    return true;
}
