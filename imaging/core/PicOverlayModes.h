// The overlay modes: numbers, and the per-element rules of the 16-bit and
// float overlays with their opacity mixing.
//
// 16-bit rules work on exact 64-bit integers, divisions truncate toward zero,
// and the result is stored as its low 16 bits. Float rules compute r in
// single precision (several terms in double, rounded once).
#pragma once

#include <cstdint>
#include <cstdlib>

enum PicOverlayMode : int32_t {
    PIC_OVERLAY_BLEND = 0,
    PIC_OVERLAY_BLEND_DOUBLE = 1,
    PIC_OVERLAY_AND = 2,
    PIC_OVERLAY_OR = 3,
    PIC_OVERLAY_XOR = 4,
    PIC_OVERLAY_LIGHTEN = 5,
    PIC_OVERLAY_DARKEN = 6,
    PIC_OVERLAY_ADD = 7,
    PIC_OVERLAY_SUBTRACT = 8,
    PIC_OVERLAY_ABOVE_LEVEL = 9,
    PIC_OVERLAY_BELOW_LEVEL = 10,
    PIC_OVERLAY_DIFFERENCE = 11,
    PIC_OVERLAY_MULTIPLY = 12,
    PIC_OVERLAY_MULTIPLY_LEVEL = 13,
    PIC_OVERLAY_SCREEN = 14,
    PIC_OVERLAY_ADD_LEVEL = 15,
    PIC_OVERLAY_SUBTRACT_LEVEL = 16,
    PIC_OVERLAY_NAND = 17,
    PIC_OVERLAY_NOR = 18,
    PIC_OVERLAY_XNOR = 19,
    PIC_OVERLAY_COLOR_DODGE = 20,
    PIC_OVERLAY_COLOR_BURN = 21,
    PIC_OVERLAY_SOFT_DODGE = 22,
    PIC_OVERLAY_SOFT_BURN = 23,
    PIC_OVERLAY_OVERLAY = 24,
    PIC_OVERLAY_SOFT_LIGHT = 25,
    PIC_OVERLAY_HARD_LIGHT = 26,
    PIC_OVERLAY_REFLECT = 27,
    PIC_OVERLAY_GLOW = 28,
    PIC_OVERLAY_FREEZE = 29,
    PIC_OVERLAY_HEAT = 30,
    PIC_OVERLAY_VIVID_LIGHT = 31,
    PIC_OVERLAY_LINEAR_LIGHT = 32,
    PIC_OVERLAY_PIN_LIGHT = 33,
    PIC_OVERLAY_INVERSE_DIFFERENCE = 34,
    PIC_OVERLAY_GRAIN_EXTRACT = 35,
    PIC_OVERLAY_GRAIN_MERGE = 36,
    PIC_OVERLAY_EXCLUSION = 37,
    PIC_OVERLAY_LINEAR_BURN = 38,
    PIC_OVERLAY_REVERSE_SUBTRACT = 39,
    PIC_OVERLAY_COPY = 40,
    PIC_OVERLAY_DIVIDE = 41,
    PIC_OVERLAY_REVERSE_DIVIDE = 42,
    PIC_OVERLAY_MODE_COUNT = 43,
};

namespace PicOverlayRules {

constexpr int64_t kMax16 = 65535;
constexpr int64_t kHalf16 = 32768;  // (M >> 1) + (M & 1)

inline int64_t Limit16(int64_t v) { return v < 0 ? 0 : (v > kMax16 ? kMax16 : v); }
inline int64_t Min16(int64_t v) { return v > kMax16 ? kMax16 : v; }
inline int64_t Max0(int64_t v) { return v < 0 ? 0 : v; }

// r of a 16-bit mode before the opacity (mode 9 and 10 give s; the caller
// applies their level test). level is the param truncated to int32, param the param itself.
inline int64_t Rule16(int32_t mode, int64_t d, int64_t s, int64_t level, double param) {
    const int64_t M = kMax16, H = kHalf16;
    switch (mode) {
    case PIC_OVERLAY_AND: return d & s;
    case PIC_OVERLAY_OR: return d | s;
    case PIC_OVERLAY_XOR: return d ^ s;
    case PIC_OVERLAY_LIGHTEN: return d > s ? d : s;
    case PIC_OVERLAY_DARKEN: return d < s ? d : s;
    case PIC_OVERLAY_ADD: return Min16(d + s);
    case PIC_OVERLAY_SUBTRACT: return Max0(d - s);
    case PIC_OVERLAY_DIFFERENCE: return d > s ? d - s : s - d;
    case PIC_OVERLAY_MULTIPLY: return d * s / M;
    case PIC_OVERLAY_MULTIPLY_LEVEL: {
        double v = (double)s * param * ((double)d / (double)M);
        if (!(v > 0)) return 0;
        return v > (double)M ? M : (int64_t)v;
    }
    // The byte formula's shift by 8 scaled to the 16-bit range: the product of the complements over M.
    case PIC_OVERLAY_SCREEN: return M - (M - d) * (M - s) / M;
    // Negative intermediates are limited to 0 like the maximum is to M.
    case PIC_OVERLAY_ADD_LEVEL: return Limit16(d + s - level);
    case PIC_OVERLAY_SUBTRACT_LEVEL: return Limit16(d - s + level);
    case PIC_OVERLAY_NAND: return ~(d & s) & 0xFFFF;
    case PIC_OVERLAY_NOR: return ~(d | s) & 0xFFFF;
    case PIC_OVERLAY_XNOR: return ~(d ^ s) & 0xFFFF;
    case PIC_OVERLAY_COLOR_DODGE: return s == M ? M : Min16(M * d / (M - s));
    case PIC_OVERLAY_COLOR_BURN: return s == 0 ? 0 : Max0(M - (M - d) * M / s);
    case PIC_OVERLAY_SOFT_DODGE:
        if (d + s <= M) return s == M ? M : Min16(d * H / (M - s));
        return Max0(M - (M - s) * H / d);
    case PIC_OVERLAY_SOFT_BURN:
        if (d + s <= M) return d == M ? M : Min16(s * H / (M - d));
        return Max0(M - (M - d) * H / s);
    case PIC_OVERLAY_OVERLAY: return d < H ? 2 * d * s / M : M - 2 * (M - s) * (M - d) / M;
    case PIC_OVERLAY_SOFT_LIGHT: {
        const int64_t a = d * s / M, e = M - (M - d) * (M - s) / M;
        return a + d * (e - a) / M;
    }
    case PIC_OVERLAY_HARD_LIGHT: return s < H ? d * s / H : M - (M - d) * (M - s) / H;
    case PIC_OVERLAY_REFLECT: return s == M ? M : Min16(d * d / (M - s));
    case PIC_OVERLAY_GLOW: return d == M ? M : Min16(s * s / (M - d));
    case PIC_OVERLAY_FREEZE: return s == 0 ? 0 : Max0(M - (M - d) * (M - d) / s);
    case PIC_OVERLAY_HEAT: return d == 0 ? 0 : Max0(M - (M - s) * (M - s) / d);
    case PIC_OVERLAY_VIVID_LIGHT: {
        if (s < H) return s == 0 ? 0 : Max0(M - (M - d) * M / (2 * s));
        const int64_t e = 2 * (s - H);
        return e == M ? M : Min16(M * d / (M - e));
    }
    case PIC_OVERLAY_LINEAR_LIGHT:
        if (s < H) return d + 2 * s < M ? 0 : d + 2 * s - M;
        return Min16(d + 2 * (s - H));
    case PIC_OVERLAY_PIN_LIGHT:
        if (s < H) return d < 2 * s ? d : 2 * s;
        return d > 2 * (s - H) ? d : 2 * (s - H);
    case PIC_OVERLAY_INVERSE_DIFFERENCE: return M - (d > s ? d - s : s - d);
    case PIC_OVERLAY_GRAIN_EXTRACT: return Limit16(d - s + H);
    case PIC_OVERLAY_GRAIN_MERGE: return Limit16(d + s - H);
    case PIC_OVERLAY_EXCLUSION: return Limit16(d + s - 2 * d * s / M);
    case PIC_OVERLAY_LINEAR_BURN: return d + s < M ? 0 : d + s - M;
    case PIC_OVERLAY_REVERSE_SUBTRACT: return Max0(s - d);
    case PIC_OVERLAY_DIVIDE: return s == 0 ? 0 : d / s;
    case PIC_OVERLAY_REVERSE_DIVIDE: return d == 0 ? 0 : s / d;
    default: return s;  // 0, 1, 9, 10, 40
    }
}

// Whether the float overlay has a rule for the mode.
inline bool HasFloatRule(int32_t mode) {
    switch (mode) {
    case 0: case 1: case 5: case 6: case 7: case 8: case 9: case 10: case 11: case 12: case 13: case 15: case 16:
    case 39: case 40: case 41: case 42: return true;
    default: return false;
    }
}

// r of a float mode that has a rule, rounded to single.
inline float RuleFloat(int32_t mode, float d, float s, float p) {
    switch (mode) {
    case PIC_OVERLAY_LIGHTEN: return d > s ? d : s;
    case PIC_OVERLAY_DARKEN: return d < s ? d : s;
    case PIC_OVERLAY_ADD: return d + s;
    case PIC_OVERLAY_SUBTRACT: return d - s;
    case PIC_OVERLAY_DIFFERENCE: return d > s ? d - s : s - d;
    case PIC_OVERLAY_MULTIPLY: return d * s;
    case PIC_OVERLAY_MULTIPLY_LEVEL: return (float)((double)s * p * d);
    case PIC_OVERLAY_ADD_LEVEL: return (float)(((double)s - p) + d);
    case PIC_OVERLAY_SUBTRACT_LEVEL: return (float)((double)d - ((double)s - p));
    case PIC_OVERLAY_REVERSE_SUBTRACT: return s - d;
    case PIC_OVERLAY_DIVIDE: return s == 0 ? 0.0f : d / s;
    case PIC_OVERLAY_REVERSE_DIVIDE: return d == 0 ? 0.0f : s / d;
    default: return s;  // 0, 1, 9, 10, 40
    }
}

}  // namespace PicOverlayRules
