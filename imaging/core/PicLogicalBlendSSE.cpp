// SSE set of the blend kernels: 64 bytes (four registers) per step for the
// byte operations, 16 for screen and blend, 4 floats per step for the float
// operations; leftovers follow the plain formulas.
#include <immintrin.h>

#include <cstring>

#include "imaging/core/PicBlendRules.h"
#include "imaging/core/PicCpuFeatures.h"
#include "imaging/core/PicLogicalBlend.h"
#include "imaging/core/PicResult.h"

namespace {

#define PIC_SSE_BYTE_KERNEL(NAME, TARGET, VECTOR, SCALAR)                                     \
    __attribute__((target(TARGET))) void NAME(uint8_t* dst, const uint8_t* src, uint32_t n) { \
        const __m128i ones = _mm_set1_epi8(-1);                                               \
        (void)ones;                                                                           \
        uint32_t i = 0;                                                                       \
        for (; i + 64 <= n; i += 64) {                                                        \
            for (uint32_t k = 0; k < 64; k += 16) {                                           \
                __m128i d = _mm_loadu_si128((const __m128i*)(dst + i + k));                   \
                __m128i s = _mm_loadu_si128((const __m128i*)(src + i + k));                   \
                _mm_storeu_si128((__m128i*)(dst + i + k), VECTOR);                            \
            }                                                                                 \
        }                                                                                     \
        for (; i + 16 <= n; i += 16) {                                                        \
            __m128i d = _mm_loadu_si128((const __m128i*)(dst + i));                           \
            __m128i s = _mm_loadu_si128((const __m128i*)(src + i));                           \
            _mm_storeu_si128((__m128i*)(dst + i), VECTOR);                                    \
        }                                                                                     \
        for (; i < n; ++i) {                                                                  \
            uint8_t d = dst[i], s = src[i];                                                   \
            dst[i] = (uint8_t)(SCALAR);                                                       \
        }                                                                                     \
    }

PIC_SSE_BYTE_KERNEL(AndSse, "sse2", _mm_and_si128(d, s), d & s)
PIC_SSE_BYTE_KERNEL(OrSse, "sse2", _mm_or_si128(d, s), d | s)
PIC_SSE_BYTE_KERNEL(XorSse, "sse2", _mm_xor_si128(d, s), d ^ s)
PIC_SSE_BYTE_KERNEL(NandSse, "sse2", _mm_xor_si128(_mm_and_si128(d, s), ones), ~(d & s))
PIC_SSE_BYTE_KERNEL(NorSse, "sse2", _mm_xor_si128(_mm_or_si128(d, s), ones), ~(d | s))
PIC_SSE_BYTE_KERNEL(XnorSse, "sse2", _mm_xor_si128(_mm_xor_si128(d, s), ones), ~(d ^ s))
PIC_SSE_BYTE_KERNEL(MaxByteSse, "sse2", _mm_max_epu8(d, s), d > s ? d : s)
PIC_SSE_BYTE_KERNEL(MinByteSse, "sse2", _mm_min_epu8(d, s), d < s ? d : s)
PIC_SSE_BYTE_KERNEL(AddSatSse, "sse2", _mm_adds_epu8(d, s), PicBlendRules::AddSat(d, s))
PIC_SSE_BYTE_KERNEL(SubSatSse, "sse2", _mm_subs_epu8(d, s), PicBlendRules::SubSat(d, s))
PIC_SSE_BYTE_KERNEL(RevSubSatSse, "sse2", _mm_subs_epu8(s, d), PicBlendRules::SubSat(s, d))
PIC_SSE_BYTE_KERNEL(DiffSse, "sse3", _mm_or_si128(_mm_subs_epu8(d, s), _mm_subs_epu8(s, d)),
                    PicBlendRules::Diff(d, s))

__attribute__((target("sse2"))) void ScreenSse(uint8_t* dst, const uint8_t* src, uint32_t n) {
    const __m128i ones = _mm_set1_epi8(-1);
    const __m128i zero = _mm_setzero_si128();
    uint32_t i = 0;
    for (; i + 16 <= n; i += 16) {
        __m128i d = _mm_xor_si128(_mm_loadu_si128((const __m128i*)(dst + i)), ones);
        __m128i s = _mm_xor_si128(_mm_loadu_si128((const __m128i*)(src + i)), ones);
        __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(s, zero)), 8);
        __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(s, zero)), 8);
        _mm_storeu_si128((__m128i*)(dst + i), _mm_xor_si128(_mm_packus_epi16(lo, hi), ones));
    }
    for (; i < n; ++i) dst[i] = PicBlendRules::Screen(dst[i], src[i]);
}

__attribute__((target("sse2"))) void BlendByteSse(uint8_t* dst, const uint8_t* src, uint32_t n, uint16_t c) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i weightS = _mm_set1_epi16((short)c);
    const __m128i weightD = _mm_set1_epi16((short)(256 - c));
    uint32_t i = 0;
    for (; i + 16 <= n; i += 16) {
        __m128i d = _mm_loadu_si128((const __m128i*)(dst + i));
        __m128i s = _mm_loadu_si128((const __m128i*)(src + i));
        __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), weightS),
                                   _mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), weightD));
        __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), weightS),
                                   _mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), weightD));
        _mm_storeu_si128((__m128i*)(dst + i), _mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8)));
    }
    for (; i < n; ++i) dst[i] = PicBlendRules::Blend(dst[i], src[i], c);
}

using namespace PicBlendRules;

template <FloatOp op>
__attribute__((target("sse2"))) inline __m128 ResultSse(__m128 d, __m128 s) {
    switch (op) {
    case kMax: return _mm_max_ps(d, s);
    case kMin: return _mm_min_ps(d, s);
    case kAdd: return _mm_add_ps(d, s);
    case kSub: return _mm_sub_ps(d, s);
    case kRevSub: return _mm_sub_ps(s, d);
    case kDiff: return _mm_andnot_ps(_mm_set1_ps(-0.0f), _mm_sub_ps(d, s));
    default: return s;
    }
}

template <FloatOp op>
__attribute__((target("sse2"))) void FloatSse(float* dst, const float* src, uint32_t n, double x) {
    uint32_t i = 0;
    if (x == 1.0) {
        for (; i + 4 <= n; i += 4)
            _mm_storeu_ps(dst + i, ResultSse<op>(_mm_loadu_ps(dst + i), _mm_loadu_ps(src + i)));
        for (; i < n; ++i) dst[i] = Result<op>(dst[i], src[i]);
        return;
    }
    const __m128 xf = _mm_set1_ps((float)x);
    const __m128 yf = _mm_set1_ps((float)(1.0 - x));
    for (; i + 4 <= n; i += 4) {
        __m128 d = _mm_loadu_ps(dst + i);
        __m128 r = ResultSse<op>(d, _mm_loadu_ps(src + i));
        _mm_storeu_ps(dst + i, _mm_add_ps(_mm_mul_ps(r, xf), _mm_mul_ps(d, yf)));
    }
    for (; i < n; ++i) {
        if (op == kSource)
            dst[i] = PicBlendRules::TailBlendSource(dst[i], src[i], x);
        else
            dst[i] = PicBlendRules::TailBlend(dst[i], Result<op>(dst[i], src[i]), x);
    }
}

}  // namespace

#define PIC_SSE_BYTE_OPERATION(METHOD, KERNEL, FEATURE)                                     \
    bool CPicSIMDLogicalBufBlendSSE::METHOD(uint8_t* dst, const uint8_t* src, uint32_t count) { \
        if (!PicHasCpuFeature(FEATURE)) {                                                   \
            status = PIC_ERR_CPU_FEATURE;                                                   \
            return false;                                                                   \
        }                                                                                   \
        KERNEL(dst, src, count);                                                            \
        return true;                                                                        \
    }

PIC_SSE_BYTE_OPERATION(And, AndSse, PIC_CPU_SSE2)
PIC_SSE_BYTE_OPERATION(Or, OrSse, PIC_CPU_SSE2)
PIC_SSE_BYTE_OPERATION(Xor, XorSse, PIC_CPU_SSE2)
PIC_SSE_BYTE_OPERATION(Nand, NandSse, PIC_CPU_SSE2)
PIC_SSE_BYTE_OPERATION(Nor, NorSse, PIC_CPU_SSE2)
PIC_SSE_BYTE_OPERATION(Xnor, XnorSse, PIC_CPU_SSE2)
PIC_SSE_BYTE_OPERATION(MaxByte, MaxByteSse, PIC_CPU_SSE2)
PIC_SSE_BYTE_OPERATION(MinByte, MinByteSse, PIC_CPU_SSE2)
PIC_SSE_BYTE_OPERATION(AddSatByte, AddSatSse, PIC_CPU_SSE2)
PIC_SSE_BYTE_OPERATION(SubSatByte, SubSatSse, PIC_CPU_SSE2)
PIC_SSE_BYTE_OPERATION(RevSubSatByte, RevSubSatSse, PIC_CPU_SSE2)
PIC_SSE_BYTE_OPERATION(DiffByte, DiffSse, PIC_CPU_SSE3)
PIC_SSE_BYTE_OPERATION(ScreenByte, ScreenSse, PIC_CPU_SSE2)

bool CPicSIMDLogicalBufBlendSSE::BlendByte(uint8_t* dst, const uint8_t* src, uint32_t count, double x) {
    if (!PicHasCpuFeature(PIC_CPU_SSE2)) {
        status = PIC_ERR_CPU_FEATURE;
        return false;
    }
    if (x == 1.0) {
        if (count != 0) memcpy(dst, src, count);
        return true;
    }
    if (x == 0.0) return true;
    BlendByteSse(dst, src, count, PicBlendRules::ByteBlendWeight(x));
    return true;
}

#define PIC_SSE_FLOAT_OPERATION(METHOD, OP)                                                          \
    bool CPicSIMDLogicalBufBlendSSE::METHOD(float* dst, const float* src, uint32_t count, double x) { \
        if (!PicHasCpuFeature(PIC_CPU_SSE2)) {                                                       \
            status = PIC_ERR_CPU_FEATURE;                                                            \
            return false;                                                                            \
        }                                                                                            \
        FloatSse<OP>(dst, src, count, x);                                                            \
        return true;                                                                                 \
    }

PIC_SSE_FLOAT_OPERATION(MaxFloat, kMax)
PIC_SSE_FLOAT_OPERATION(MinFloat, kMin)
PIC_SSE_FLOAT_OPERATION(AddFloat, kAdd)
PIC_SSE_FLOAT_OPERATION(SubFloat, kSub)
PIC_SSE_FLOAT_OPERATION(RevSubFloat, kRevSub)
PIC_SSE_FLOAT_OPERATION(DiffFloat, kDiff)

bool CPicSIMDLogicalBufBlendSSE::BlendFloat(float* dst, const float* src, uint32_t count, double x) {
    if (!PicHasCpuFeature(PIC_CPU_SSE2)) {
        status = PIC_ERR_CPU_FEATURE;
        return false;
    }
    if (x == 1.0) {
        if (count != 0) memcpy(dst, src, (size_t)count * 4);
        return true;
    }
    if (x == 0.0) return true;
    FloatSse<kSource>(dst, src, count, x);
    return true;
}
