// The per-element formulas of the blend kernels, shared by the plain code, the
// vector loops' leftovers and the tests.
#pragma once

#include <cmath>
#include <cstdint>

namespace PicBlendRules {

inline uint8_t Screen(uint8_t d, uint8_t s) { return (uint8_t)(255 - (((255 - d) * (255 - s)) >> 8)); }
inline uint8_t AddSat(uint8_t d, uint8_t s) { return (uint8_t)(d + s > 255 ? 255 : d + s); }
inline uint8_t SubSat(uint8_t d, uint8_t s) { return (uint8_t)(d > s ? d - s : 0); }
inline uint8_t Diff(uint8_t d, uint8_t s) { return (uint8_t)(d > s ? d - s : s - d); }

// The weight of the source for an opacity, truncated toward zero; opacities
// outside [0, 1] are held to it.
inline uint16_t ByteBlendWeight(double x) {
    double scaled = x * 256.0;
    if (!(scaled > 0)) return 0;
    if (scaled > 256) return 256;
    return (uint16_t)scaled;
}
// (s * c + d * (256 - c)) >> 8 in 16-bit unsigned arithmetic.
inline uint8_t Blend(uint8_t d, uint8_t s, uint16_t c) {
    uint16_t sum = (uint16_t)((uint16_t)(s * c) + (uint16_t)(d * (uint16_t)(256 - c)));
    return (uint8_t)(sum >> 8);
}

// The float results before blending (single precision).
inline float Max(float d, float s) { return d > s ? d : s; }
inline float Min(float d, float s) { return d < s ? d : s; }
inline float Add(float d, float s) { return d + s; }
inline float Sub(float d, float s) { return d - s; }
inline float RevSub(float d, float s) { return s - d; }
inline float Diff(float d, float s) { return std::fabs(d - s); }

// The float operations of the kernel sets, with their single-precision result.
enum FloatOp { kMax, kMin, kAdd, kSub, kRevSub, kDiff, kSource };

template <FloatOp op>
inline float Result(float d, float s) {
    switch (op) {
    case kMax: return Max(d, s);
    case kMin: return Min(d, s);
    case kAdd: return Add(d, s);
    case kSub: return Sub(d, s);
    case kRevSub: return RevSub(d, s);
    case kDiff: return Diff(d, s);
    default: return s;
    }
}

// Vector steps: fl(fl(r * xf) + fl(d * yf)) with xf = float(x), yf = float(1 - x).
inline float StepBlend(float d, float r, float xf, float yf) {
    float weightedR = r * xf;
    float weightedD = d * yf;
    return weightedR + weightedD;
}
// Elements after the last whole step: (1 - x) * d + x * r in double, rounded once.
inline float TailBlend(float d, float r, double x) { return (float)((1.0 - x) * (double)d + x * (double)r); }
// BlendFloat's leftovers: s * x + d * (1 - x) in double, rounded once.
inline float TailBlendSource(float d, float s, double x) { return (float)((double)s * x + (double)d * (1.0 - x)); }

}  // namespace PicBlendRules
