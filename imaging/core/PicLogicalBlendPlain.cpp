// Plain set of the blend kernels: one element at a time on any processor.
#include <cstring>

#include "imaging/core/PicBlendRules.h"
#include "imaging/core/PicLogicalBlend.h"

namespace {

template <class Rule>
void EachByte(uint8_t* dst, const uint8_t* src, uint32_t n, Rule rule) {
    for (uint32_t i = 0; i < n; ++i) dst[i] = (uint8_t)rule(dst[i], src[i]);
}

template <class Result>
void EachFloat(float* dst, const float* src, uint32_t n, double x, Result result) {
    if (x == 1.0) {
        for (uint32_t i = 0; i < n; ++i) dst[i] = result(dst[i], src[i]);
        return;
    }
    for (uint32_t i = 0; i < n; ++i) dst[i] = PicBlendRules::TailBlend(dst[i], result(dst[i], src[i]), x);
}

}  // namespace

#define PIC_PLAIN_BYTE_OPERATION(METHOD, EXPRESSION)                                          \
    bool CPicLogicalBufBlendPlain::METHOD(uint8_t* dst, const uint8_t* src, uint32_t count) { \
        EachByte(dst, src, count, [](uint8_t d, uint8_t s) { return EXPRESSION; });           \
        return true;                                                                          \
    }

PIC_PLAIN_BYTE_OPERATION(And, d & s)
PIC_PLAIN_BYTE_OPERATION(Or, d | s)
PIC_PLAIN_BYTE_OPERATION(Xor, d ^ s)
PIC_PLAIN_BYTE_OPERATION(Nand, ~(d & s))
PIC_PLAIN_BYTE_OPERATION(Nor, ~(d | s))
PIC_PLAIN_BYTE_OPERATION(Xnor, ~(d ^ s))
PIC_PLAIN_BYTE_OPERATION(MaxByte, d > s ? d : s)
PIC_PLAIN_BYTE_OPERATION(MinByte, d < s ? d : s)
PIC_PLAIN_BYTE_OPERATION(AddSatByte, PicBlendRules::AddSat(d, s))
PIC_PLAIN_BYTE_OPERATION(SubSatByte, PicBlendRules::SubSat(d, s))
PIC_PLAIN_BYTE_OPERATION(RevSubSatByte, PicBlendRules::SubSat(s, d))
PIC_PLAIN_BYTE_OPERATION(DiffByte, PicBlendRules::Diff(d, s))
PIC_PLAIN_BYTE_OPERATION(ScreenByte, PicBlendRules::Screen(d, s))

bool CPicLogicalBufBlendPlain::BlendByte(uint8_t* dst, const uint8_t* src, uint32_t count, double x) {
    if (x == 1.0) {
        if (count != 0) memcpy(dst, src, count);
        return true;
    }
    if (x == 0.0) return true;
    uint16_t c = PicBlendRules::ByteBlendWeight(x);
    EachByte(dst, src, count, [c](uint8_t d, uint8_t s) { return PicBlendRules::Blend(d, s, c); });
    return true;
}

#define PIC_PLAIN_FLOAT_OPERATION(METHOD, RULE)                                                     \
    bool CPicLogicalBufBlendPlain::METHOD(float* dst, const float* src, uint32_t count, double x) { \
        EachFloat(dst, src, count, x, [](float d, float s) { return PicBlendRules::RULE(d, s); });   \
        return true;                                                                                \
    }

PIC_PLAIN_FLOAT_OPERATION(MaxFloat, Max)
PIC_PLAIN_FLOAT_OPERATION(MinFloat, Min)
PIC_PLAIN_FLOAT_OPERATION(AddFloat, Add)
PIC_PLAIN_FLOAT_OPERATION(SubFloat, Sub)
PIC_PLAIN_FLOAT_OPERATION(RevSubFloat, RevSub)
PIC_PLAIN_FLOAT_OPERATION(DiffFloat, Diff)

bool CPicLogicalBufBlendPlain::BlendFloat(float* dst, const float* src, uint32_t count, double x) {
    if (x == 1.0) {
        if (count != 0) memcpy(dst, src, (size_t)count * 4);
        return true;
    }
    if (x == 0.0) return true;
    for (uint32_t i = 0; i < count; ++i) dst[i] = PicBlendRules::TailBlendSource(dst[i], src[i], x);
    return true;
}
