#include "tests/QvTest.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/core/PicCpuFeatures.h"
#include "imaging/core/PicImgBuf.h"
#include "imaging/core/PicLibrarySettings.h"
#include "imaging/core/PicOverlay.h"
#include "tests/imaging/core/ImagingTestSupport.h"

namespace {

using VovIredev::CPicImgBufExtern;
using VovIredev::CPicImgBufExternConst;
using Words = std::vector<uint16_t>;
using Floats = std::vector<float>;
using Bytes = std::vector<uint8_t>;

const double kOpacities[] = {1.0, 0.5, 0.0, 1.5, -0.5};

// ---- the 16-bit model, one mode at a time as the rules read ----

long long Clamp(long long v, long long lo, long long hi) { return v < lo ? lo : (v > hi ? hi : v); }

long long Result16(int mode, long long d, long long s, double param) {
    const long long M = 65535, H = 32768, t = (long long)std::trunc(param);
    switch (mode) {
    case 0: case 1: case 9: case 10: case 40: return s;
    case 2: return d & s;
    case 3: return d | s;
    case 4: return d ^ s;
    case 5: return std::max(d, s);
    case 6: return std::min(d, s);
    case 7: return std::min(d + s, M);
    case 8: return std::max(d - s, 0LL);
    case 11: return std::llabs(d - s);
    case 12: return (d * s) / M;
    case 13: return (long long)Clamp((long long)std::trunc(std::min(std::max((double)s * param * ((double)d / M), 0.0), (double)M)), 0, M);
    case 14: return M - ((M - d) * (M - s)) / M;
    case 15: return Clamp(std::min(d + s - t, M), 0, M);
    case 16: return Clamp(std::min(d - s + t, M), 0, M);
    case 17: return 0xFFFF & ~(d & s);
    case 18: return 0xFFFF & ~(d | s);
    case 19: return 0xFFFF & ~(d ^ s);
    case 20: return s == M ? M : std::min((M * d) / (M - s), M);
    case 21: return s == 0 ? 0 : std::max(M - ((M - d) * M) / s, 0LL);
    case 22: return d + s <= M ? (s == M ? M : std::min((d * H) / (M - s), M)) : std::max(M - ((M - s) * H) / d, 0LL);
    case 23: return d + s <= M ? (d == M ? M : std::min((s * H) / (M - d), M)) : std::max(M - ((M - d) * H) / s, 0LL);
    case 24: return d < H ? (2 * d * s) / M : M - (2 * (M - s) * (M - d)) / M;
    case 25: {
        long long a = (d * s) / M, e = M - ((M - d) * (M - s)) / M;
        return a + (d * (e - a)) / M;
    }
    case 26: return s < H ? (d * s) / H : M - ((M - d) * (M - s)) / H;
    case 27: return s == M ? M : std::min((d * d) / (M - s), M);
    case 28: return d == M ? M : std::min((s * s) / (M - d), M);
    case 29: return s == 0 ? 0 : std::max(M - ((M - d) * (M - d)) / s, 0LL);
    case 30: return d == 0 ? 0 : std::max(M - ((M - s) * (M - s)) / d, 0LL);
    case 31:
        if (s < H) return s == 0 ? 0 : std::max(M - ((M - d) * M) / (2 * s), 0LL);
        return 2 * (s - H) == M ? M : std::min((M * d) / (M - 2 * (s - H)), M);
    case 32: return s < H ? (d + 2 * s < M ? 0 : d + 2 * s - M) : std::min(d + 2 * (s - H), M);
    case 33: return s < H ? std::min(d, 2 * s) : std::max(d, 2 * (s - H));
    case 34: return M - std::llabs(d - s);
    case 35: return Clamp(d - s + H, 0, M);
    case 36: return Clamp(d + s - H, 0, M);
    case 37: return Clamp(d + s - (2 * d * s) / M, 0, M);
    case 38: return d + s < M ? 0 : d + s - M;
    case 39: return std::max(s - d, 0LL);
    case 41: return s == 0 ? 0 : d / s;
    case 42: return d == 0 ? 0 : s / d;
    default: return -1;
    }
}

uint16_t Model16(int mode, uint16_t d, uint16_t s, double opacity, double param) {
    const double f = std::min(std::max(opacity, 0.0), 1.0);
    const long long t = (long long)std::trunc(param);
    if (mode == 40 || f == 1.0) {
        if (mode == 9) return s > t ? s : d;
        if (mode == 10) return s < t ? s : d;
        return (uint16_t)Result16(mode, d, s, param);
    }
    auto sx = [&](long long i) { return (long long)(f * i); };
    auto sy = [&](long long i) { return (long long)((1 - f) * i); };
    if (mode == 0) return (uint16_t)(sx(s) + sy(d));
    if (mode == 1) return (uint16_t)(long long)((1 - f) * d + f * s);
    if (mode == 9) return s > t ? (uint16_t)(sy(d) + sx(s)) : d;
    if (mode == 10) return s < t ? (uint16_t)(sy(d) + sx(s)) : d;
    return (uint16_t)(sx(Result16(mode, d, s, param) & 0xFFFF) + sy(d));
}

// ---- the float models ----

bool FloatRule(int mode, float d, float s, float p, float& r) {
    switch (mode) {
    case 0: case 1: case 9: case 10: case 40: r = s; return true;
    case 5: r = d > s ? d : s; return true;
    case 6: r = d < s ? d : s; return true;
    case 7: r = d + s; return true;
    case 8: r = d - s; return true;
    case 11: r = std::fabs(d - s); return true;
    case 12: r = d * s; return true;
    case 13: r = (float)((double)s * (double)p * (double)d); return true;
    case 15: r = (float)(((double)s - (double)p) + (double)d); return true;
    case 16: r = (float)((double)d - ((double)s - (double)p)); return true;
    case 39: r = s - d; return true;
    case 41: r = s == 0 ? 0.0f : d / s; return true;
    case 42: r = d == 0 ? 0.0f : s / d; return true;
    default: return false;
    }
}

float ModelFloatScalar(int mode, float d, float s, float opacity, float p) {
    const float f = std::min(std::max(opacity, 0.0f), 1.0f);
    const float y = 1.0f - f;
    if ((mode == 0 || mode == 1) && opacity == 0.0f) return d;
    if ((mode == 9 && !(s > p)) || (mode == 10 && !(s < p))) return d;
    float r = 0;
    FloatRule(mode, d, s, p, r);
    if (f == 1.0f || mode == 40) return r;
    return (float)((double)d * (double)y + (double)r * (double)f);
}

// The kernels' rounding: whole vectors of `width` elements mix in single
// precision, the elements after them once in double.
Floats ModelFloatSimdRow(int mode, Floats d, const Floats& s, double x, size_t width) {
    const size_t whole = d.size() / width * width;
    for (size_t i = 0; i < d.size(); ++i) {
        float r = 0;
        FloatRule(mode, d[i], s[i], 0, r);
        if (x == 1.0) {
            d[i] = r;
        } else if (mode == 0 && x == 0.0) {
        } else if (i < whole) {
            d[i] = (float)(r * (float)x) + (float)(d[i] * (float)(1.0 - x));
        } else if (mode == 0) {
            d[i] = (float)((double)s[i] * x + (double)d[i] * (1.0 - x));
        } else {
            d[i] = (float)((1.0 - x) * (double)d[i] + x * (double)r);
        }
    }
    return d;
}

bool SameFloat(float a, float b) { return (std::isnan(a) && std::isnan(b)) || memcmp(&a, &b, 4) == 0; }

Words EdgeWords(size_t n, uint32_t start) {
    Bytes bytes = imgtest::RandomBytes(n * 2, start);
    Words w(n);
    memcpy(w.data(), bytes.data(), n * 2);
    const uint16_t edges[] = {0, 1, 2, 3, 4, 9, 1000, 1001, 32767, 32768, 32769, 40000, 65534, 65535};
    for (size_t i = 0; i < n; i += 5) w[i] = edges[(i / 5 + start) % 14];
    return w;
}

Floats FiniteFloats(size_t n, uint32_t start) {
    Floats f = imgtest::RandomFloats(n, start, 3.0f);
    for (float& v : f)
        if (!std::isfinite(v) || std::fabs(v) > 1e6f) v = 0.25f;
    return f;
}

// ---- 16-bit ----

TEST(Overlay16, EveryModeAndOpacityMatchesTheRules) {
    const uint32_t w = 13, h = 5, ch = 3, stride = w * ch + 2;
    const Words dst0 = EdgeWords(stride * h, 1), src = EdgeWords(stride * h, 2);
    for (int mode = 0; mode < 43; ++mode)
        for (double opacity : kOpacities) {
            Words dst = dst0;
            CPicImgBufExtern<uint16_t> d(w, h, ch, stride, dst.data());
            CPicImgBufExternConst<uint16_t> s(w, h, ch, stride, src.data());
            CPicImgOverlay overlay;
            ASSERT_EQ(overlay.OverlayUShort(d, s, 0, 0, opacity, 1000.9, mode, 0), 1) << "mode " << mode;
            ASSERT_EQ(overlay.status, 0);
            int wrong = 0;
            for (uint32_t y = 0; y < h; ++y)
                for (uint32_t i = 0; i < w * ch; ++i) {
                    const size_t k = y * stride + i;
                    const uint16_t want = Model16(mode, dst0[k], src[k], opacity, 1000.9);
                    if (dst[k] != want && wrong++ < 3)
                        ADD_FAILURE() << "mode " << mode << " opacity " << opacity << " d " << dst0[k] << " s "
                                      << src[k] << ": " << dst[k] << " instead of " << want;
                }
            for (uint32_t y = 0; y < h; ++y)
                EXPECT_EQ(dst[y * stride + w * ch], dst0[y * stride + w * ch]) << "stride gap written";
        }
}

TEST(Overlay16, WorkedValues) {
    struct Case {
        const char* what;
        int mode;
        uint16_t d, s;
        double opacity, param;
        uint16_t want;
    } cases[] = {
        {"multiply of two full samples", 12, 65535, 65535, 1, 0, 65535},
        {"multiply by 0", 12, 65535, 0, 1, 0, 0},
        {"add saturates", 7, 60000, 10000, 1, 0, 65535},
        {"subtract stops at 0", 8, 100, 200, 1, 0, 0},
        {"colour dodge with a full source", 20, 1234, 65535, 1, 0, 65535},
        {"colour burn with a zero source", 21, 1234, 0, 1, 0, 0},
        {"pin light above half", 33, 1000, 40000, 1, 0, 14464},
        {"inverse difference of equals", 34, 777, 777, 1, 0, 65535},
        {"divide by zero gives 0", 41, 500, 0, 1, 0, 0},
        {"reverse divide of zero gives 0", 42, 0, 9, 1, 0, 0},
        {"reverse divide 9 / 4", 42, 4, 9, 1, 0, 2},
        {"above level 1000.9: 1001 replaces", 9, 5, 1001, 1, 1000.9, 1001},
        {"above level 1000.9: 1000 does not", 9, 5, 1000, 1, 1000.9, 5},
        {"blend at half: 1 and 2", 0, 1, 2, 0.5, 0, 1},
        {"double blend at half: 1 and 2", 1, 1, 2, 0.5, 0, 1},
        {"blend at half: 3 and 3", 0, 3, 3, 0.5, 0, 2},
        {"double blend at half: 3 and 3", 1, 3, 3, 0.5, 0, 3},
        {"nand at half", 17, 65535, 65535, 0.5, 0, 32767},
        {"screen of two halves", 14, 32768, 32768, 1, 0, 65535 - (32767LL * 32767) / 65535},
        {"add level below zero is held at 0", 15, 10, 10, 1, 100, 0},
        {"subtract level below zero is held at 0", 16, 10, 100, 1, 5, 0},
    };
    for (const Case& c : cases) {
        Words dst = {c.d}, src = {c.s};
        CPicImgBufExtern<uint16_t> d(1, 1, 1, 1, dst.data());
        CPicImgBufExternConst<uint16_t> s(1, 1, 1, 1, src.data());
        CPicImgOverlay overlay;
        EXPECT_EQ(overlay.OverlayUShort(d, s, 0, 0, c.opacity, c.param, c.mode, 0), 1) << c.what;
        EXPECT_EQ(dst[0], c.want) << c.what;
    }
}

// ---- float ----

struct FeatureRoute {
    const char* name;
    uint16_t mask;
    size_t vector;  // 0: the scalar core
};
const FeatureRoute kRoutes[] = {
    {"AVX", 0xFFFF, 8},
    {"SSE", (uint16_t)~(PIC_CPU_AVX | PIC_CPU_AVX2), 4},
    {"scalar", 0, 0},
};

bool SimdMode(int mode) {
    return mode == 0 || mode == 5 || mode == 6 || mode == 7 || mode == 8 || mode == 11 || mode == 39;
}

TEST(OverlayFloat, EveryModeOnEveryRouteFollowsItsRounding) {
    const uint32_t w = 11, h = 4, ch = 3, stride = w * ch + 1;  // 33 elements a row: vector leftovers
    const Floats dst0 = FiniteFloats(stride * h, 3), src = FiniteFloats(stride * h, 4);
    for (const FeatureRoute& route : kRoutes) {
        imgtest::FeatureMask features(route.mask);
        for (int mode = 0; mode < 43; ++mode)
            for (double opacity : kOpacities) {
                Floats dst = dst0;
                CPicImgBufExtern<float> d(w, h, ch, stride, dst.data());
                CPicImgBufExternConst<float> s(w, h, ch, stride, src.data());
                CPicImgOverlay overlay;
                const int32_t result = overlay.OverlayFloat(d, s, 0, 0, (float)opacity, 0.3f, mode, 0);
                float ignored;
                if (!FloatRule(mode, 0, 0, 0, ignored)) {
                    EXPECT_EQ(result, 0) << route.name << " mode " << mode;
                    EXPECT_EQ(overlay.status, 5);
                    EXPECT_EQ(dst, dst0) << "a refused mode writes nothing";
                    continue;
                }
                ASSERT_EQ(result, 1) << route.name << " mode " << mode;
                const bool simd = route.vector != 0 && SimdMode(mode);
                int wrong = 0;
                for (uint32_t y = 0; y < h; ++y) {
                    Floats want;
                    if (simd) {
                        Floats drow(dst0.begin() + y * stride, dst0.begin() + y * stride + w * ch);
                        Floats srow(src.begin() + y * stride, src.begin() + y * stride + w * ch);
                        want = ModelFloatSimdRow(mode, drow, srow, (double)(float)opacity, route.vector);
                    } else {
                        for (uint32_t i = 0; i < w * ch; ++i)
                            want.push_back(ModelFloatScalar(mode, dst0[y * stride + i], src[y * stride + i],
                                                            (float)opacity, 0.3f));
                    }
                    for (uint32_t i = 0; i < w * ch; ++i)
                        if (!SameFloat(dst[y * stride + i], want[i]) && wrong++ < 3)
                            ADD_FAILURE() << route.name << " mode " << mode << " opacity " << opacity << " element "
                                          << i << ": " << dst[y * stride + i] << " instead of " << want[i];
                    EXPECT_TRUE(SameFloat(dst[y * stride + w * ch], dst0[y * stride + w * ch]));
                }
            }
    }
}

TEST(OverlayFloat, WorkedValues) {
    struct Case {
        int mode;
        float d, s, want;
    } cases[] = {{8, 0.1f, 0.2f, 0.1f - 0.2f}, {42, 4.0f, 9.0f, 2.25f}, {41, 3.0f, 0.0f, 0.0f}, {42, 0.0f, 5.0f, 0.0f}};
    for (const FeatureRoute& route : kRoutes) {
        imgtest::FeatureMask features(route.mask);
        for (const Case& c : cases) {
            Floats dst = {c.d}, src = {c.s};
            CPicImgBufExtern<float> d(1, 1, 1, 1, dst.data());
            CPicImgBufExternConst<float> s(1, 1, 1, 1, src.data());
            CPicImgOverlay overlay;
            EXPECT_EQ(overlay.OverlayFloat(d, s, 0, 0, 1.0f, 0.0f, c.mode, 0), 1);
            EXPECT_EQ(dst[0], c.want) << route.name << " mode " << c.mode;
        }
    }
}

TEST(OverlayFloat, ObjectWithoutTheLargestFloatIsRefused) {
    Floats dst(4, 1.0f), src(4, 2.0f);
    CPicImgBufExtern<float> d(2, 2, 1, 2, dst.data());
    CPicImgBufExternConst<float> s(2, 2, 1, 2, src.data());
    CPicImgOverlayT<float> overlay(1.0f);
    EXPECT_EQ(overlay.Overlay(d, s, 0, 0, 1.0, 0.0, 12, 0), 0);
    EXPECT_EQ(overlay.status, 17);
    EXPECT_EQ(dst, Floats(4, 1.0f));
}

// ---- 8-bit ----

Bytes ModelUChar(const Bytes& dst0, const Bytes& src, uint32_t pixels, uint32_t ch, double opacity, int mode) {
    Bytes d = dst0;
    const double f = std::min(std::max(opacity, 0.0), 1.0);
    for (uint32_t i = 0; i < pixels; ++i) {
        const uint8_t* s = &src[i * 4];
        uint8_t* p = &d[i * ch];
        const uint32_t a = opacity == 1.0 ? s[3] : (uint32_t)(s[3] * f);
        if (ch == 4 && mode == 4) {
            const uint32_t D = p[3], A = a + ((255 - a) * D) / 255, k = A == 0 ? 0 : (a * 255) / A;
            for (int c = 0; c < 3; ++c) p[c] = (uint8_t)((k * s[c] + (255 - k) * p[c]) / 255);
            p[3] = (uint8_t)A;
            continue;
        }
        if (a == 0) continue;
        for (int c = 0; c < 3; ++c) p[c] = (uint8_t)((s[c] * a + p[c] * (255 - a)) / 255);
        if (ch == 3) continue;
        const uint32_t D = p[3];
        switch (mode) {
        case 1: p[3] = (uint8_t)a; break;
        case 2: p[3] = (uint8_t)std::max(D, a); break;
        case 3: p[3] = (uint8_t)std::min(D + a, 255u); break;
        case 5: p[3] = (uint8_t)(255 - ((255 - D) * (255 - a)) / 255); break;
        default: break;
        }
    }
    return d;
}

TEST(OverlayUChar, ModesOpacitiesAndKernelAgreeWithTheDivisionBy255) {
    const uint32_t w = 37, h = 3;
    Bytes src = imgtest::RandomBytes(w * h * 4, 5);
    for (size_t i = 3; i < src.size(); i += 4 * 5) src[i] = (i / 20) % 2 ? 0 : 255;
    for (uint16_t mask : {(uint16_t)0xFFFF, (uint16_t)~PIC_CPU_SSE41})
        for (uint32_t ch : {3u, 4u})
            for (int mode = 0; mode <= 5; ++mode)
                for (double opacity : {1.0, 0.5, 0.0, 0.3, 0.7, 1.0 / 3, 0.999, 0.99999}) {
                    imgtest::FeatureMask features(mask);
                    const Bytes dst0 = imgtest::RandomBytes(w * h * ch, 6 + ch);
                    Bytes dst = dst0;
                    CPicImgBufExtern<uint8_t> d(w, h, ch, w * ch, dst.data());
                    CPicImgBufExternConst<uint8_t> s(w, h, 4, w * 4, src.data());
                    CPicImgOverlay overlay;
                    ASSERT_EQ(overlay.OverlayUChar(d, s, 0, 0, opacity, mode, 0), 1);
                    EXPECT_EQ(dst, ModelUChar(dst0, src, w * h, ch, opacity, mode))
                        << "channels " << ch << " mode " << mode << " opacity " << opacity << " mask " << mask;
                }
}

TEST(OverlayUChar, WorkedPixels) {
    struct Case {
        const char* what;
        uint32_t ch;
        int mode;
        double opacity;
        Bytes src, dst, want;
    } cases[] = {
        {"alpha 0 over RGB leaves it", 3, 0, 1, {9, 9, 9, 0}, {1, 2, 3}, {1, 2, 3}},
        {"alpha 255 over RGB copies", 3, 0, 1, {9, 8, 7, 255}, {1, 2, 3}, {9, 8, 7}},
        {"over an empty RGBA pixel takes the source colour", 4, 4, 1, {90, 80, 70, 128}, {1, 2, 3, 0},
         {90, 80, 70, 128}},
        {"mode 3 adds alphas up to 255", 4, 3, 1, {0, 0, 0, 100}, {0, 0, 0, 200}, {0, 0, 0, 255}},
        {"mode 5 screens alphas", 4, 5, 1, {0, 0, 0, 128}, {0, 0, 0, 128}, {0, 0, 0, 192}},
        {"opacity 0.5 makes alpha 255 count as 127", 3, 0, 0.5, {255, 255, 255, 255}, {0, 0, 0},
         {127, 127, 127}},
    };
    for (const Case& c : cases) {
        Bytes dst = c.dst, src = c.src;
        CPicImgBufExtern<uint8_t> d(1, 1, c.ch, c.ch, dst.data());
        CPicImgBufExternConst<uint8_t> s(1, 1, 4, 4, src.data());
        CPicImgOverlay overlay;
        EXPECT_EQ(overlay.OverlayUChar(d, s, 0, 0, c.opacity, c.mode, 0), 1) << c.what;
        EXPECT_EQ(dst, c.want) << c.what;
    }
}

// ---- placement, bands, refusals ----

TEST(OverlayPlacement, OffsetsPlaceAndClipTheSource) {
    struct Case {
        int32_t x, y;
    } cases[] = {{0, 0}, {-5, 0}, {3, -2}, {90, 4}, {-9, -4}, {100, 0}, {0, 20}, {-10, 0}, {INT32_MAX, 0},
                 {INT32_MIN, INT32_MIN}, {INT32_MAX - 3, INT32_MAX - 3}};
    const uint32_t dw = 100, dh = 20, sw = 10, sh = 4;
    const Words src = EdgeWords(sw * sh, 7), dst0 = EdgeWords(dw * dh, 8);
    for (const Case& c : cases) {
        Words dst = dst0;
        CPicImgBufExtern<uint16_t> d(dw, dh, 1, dw, dst.data());
        CPicImgBufExternConst<uint16_t> s(sw, sh, 1, sw, src.data());
        CPicImgOverlay overlay;
        ASSERT_EQ(overlay.OverlayUShort(d, s, c.x, c.y, 1.0, 0, 40, 0), 1) << c.x << ", " << c.y;
        Words want = dst0;
        for (int64_t r = 0; r < dh; ++r)
            for (int64_t col = 0; col < dw; ++col) {
                const int64_t sx = col - c.x, sy = r - c.y;
                if (sx >= 0 && sx < sw && sy >= 0 && sy < sh) want[r * dw + col] = src[sy * sw + sx];
            }
        EXPECT_EQ(dst, want) << "offset " << c.x << ", " << c.y;
    }
}

TEST(OverlayPlacement, BottomUpCopyTakesTheLastSourceRowFirst) {
    const Words src = {1, 2, 3};
    Words dst(3, 0);
    CPicImgBufExtern<uint16_t> d(1, 3, 1, 1, dst.data());
    CPicImgBufExternConst<uint16_t> s(1, 3, 1, 1, src.data());
    CPicImgOverlay overlay;
    EXPECT_EQ(overlay.OverlayUShort(d, s, 0, 0, 1.0, 0, 0, PIC_OVERLAY_SOURCE_BOTTOM_UP), 1);
    EXPECT_EQ(dst, (Words{3, 2, 1}));
    Floats fsrc = {1, 2, 3}, fdst(3, 0);
    CPicImgBufExtern<float> fd(1, 3, 1, 1, fdst.data());
    CPicImgBufExternConst<float> fs(1, 3, 1, 1, fsrc.data());
    EXPECT_EQ(overlay.OverlayFloat(fd, fs, 0, 0, 1.0f, 0, 0, PIC_OVERLAY_SOURCE_BOTTOM_UP), 1);
    EXPECT_EQ(fdst, (Floats{3, 2, 1}));
}

TEST(OverlayBands, AnyBandCountGivesTheBytesOfOneThread) {
    const uint32_t w = 23, h = 61;
    const Words src16 = EdgeWords(w * h * 3, 9), dst16 = EdgeWords(w * h * 3, 10);
    const Floats srcF = FiniteFloats(w * h * 3, 11), dstF = FiniteFloats(w * h * 3, 12);
    Bytes src8 = imgtest::RandomBytes(w * h * 4, 13);
    const Bytes dst8 = imgtest::RandomBytes(w * h * 4, 14);
    auto run = [&](uint32_t flags, Words& o16, Floats& oF, Floats& oFs, Bytes& o8) {
        o16 = dst16, oF = dstF, oFs = dstF, o8 = dst8;
        CPicImgOverlay overlay;
        CPicImgBufExtern<uint16_t> d16(w, h, 3, w * 3, o16.data());
        CPicImgBufExternConst<uint16_t> s16(w, h - 3, 3, w * 3, src16.data());
        EXPECT_EQ(overlay.OverlayUShort(d16, s16, 2, 1, 0.5, 0, 24, flags), 1);
        CPicImgBufExtern<float> dF(w, h, 3, w * 3, oF.data()), dFs(w, h, 3, w * 3, oFs.data());
        CPicImgBufExternConst<float> sF(w, h, 3, w * 3, srcF.data());
        EXPECT_EQ(overlay.OverlayFloat(dF, sF, -1, 2, 0.5f, 0, 12, flags), 1);
        EXPECT_EQ(overlay.OverlayFloat(dFs, sF, -1, 2, 0.5f, 0, 7, flags), 1);
        CPicImgBufExtern<uint8_t> d8(w, h, 4, w * 4, o8.data());
        CPicImgBufExternConst<uint8_t> s8(w, h, 4, w * 4, src8.data());
        EXPECT_EQ(overlay.OverlayUChar(d8, s8, 0, -3, 0.5, 4, flags), 1);
    };
    Words one16, many16;
    Floats oneF, manyF, oneFs, manyFs;
    Bytes one8, many8;
    run(PIC_FLAG_NO_THREADS, one16, oneF, oneFs, one8);
    for (uint32_t bands = 1; bands <= 8; ++bands) {
        imgtest::BandCount count(bands);
        run(0, many16, manyF, manyFs, many8);
        EXPECT_EQ(many16, one16) << bands << " bands";
        EXPECT_EQ(memcmp(manyF.data(), oneF.data(), oneF.size() * 4), 0) << bands << " bands";
        EXPECT_EQ(memcmp(manyFs.data(), oneFs.data(), oneFs.size() * 4), 0) << bands << " bands";
        EXPECT_EQ(many8, one8) << bands << " bands";
    }
}

TEST(OverlayRefusals, BadGeometryAndLayoutsWriteNothing) {
    Words dst(64, 7), src(64, 9);
    struct Case {
        const char* what;
        uint32_t dw, dh, dch, dstride, sw, sh, sch, sstride;
        bool sameBuffer;
    } cases[] = {
        {"same buffer", 4, 4, 1, 4, 4, 4, 1, 4, true},
        {"negative width", 0x80000000u, 4, 1, 4, 4, 4, 1, 4, false},
        {"negative source height", 4, 4, 1, 4, 4, 0xFFFFFFFFu, 1, 4, false},
        {"no channels", 4, 4, 0, 4, 4, 4, 0, 4, false},
        {"destination stride shorter than a row", 4, 4, 2, 7, 4, 4, 2, 8, false},
        {"source stride shorter than a row", 4, 4, 1, 4, 4, 4, 1, 3, false},
        {"channel counts differ", 4, 4, 1, 4, 4, 4, 2, 8, false},
    };
    for (const Case& c : cases) {
        CPicImgBufExtern<uint16_t> d(c.dw, c.dh, c.dch, c.dstride, dst.data());
        CPicImgBufExternConst<uint16_t> s(c.sw, c.sh, c.sch, c.sstride, c.sameBuffer ? dst.data() : src.data());
        CPicImgOverlay overlay;
        EXPECT_EQ(overlay.OverlayUShort(d, s, 0, 0, 1.0, 0, 12, 0), 0) << c.what;
        EXPECT_EQ(overlay.status, 5) << c.what;
        EXPECT_EQ(dst, Words(64, 7)) << c.what;
    }
    Bytes d8(48, 1), s8(48, 2);
    for (uint32_t sch : {3u, 4u})
        for (uint32_t dch : {1u, 2u, 3u, 4u}) {
            CPicImgBufExtern<uint8_t> d(2, 2, dch, 12, d8.data());
            CPicImgBufExternConst<uint8_t> s(2, 2, sch, 12, s8.data());
            CPicImgOverlay overlay;
            const bool taken = sch == 4 && (dch == 3 || dch == 4);
            EXPECT_EQ(overlay.OverlayUChar(d, s, 0, 0, 1.0, 0, 0), taken ? 1 : 0) << sch << " on " << dch;
        }
    CPicImgBufExtern<uint16_t> d(4, 4, 1, 4, dst.data());
    CPicImgBufExternConst<uint16_t> s(4, 4, 1, 4, src.data());
    CPicImgOverlay overlay;
    EXPECT_EQ(overlay.OverlayUShort(d, s, 0, 0, 1.0, 0, 43, 0), 0);
    EXPECT_EQ(overlay.status, 5) << "mode 43";
    EXPECT_EQ(overlay.OverlayUShort(d, s, 0, 0, 1.0, 0, -1, 0), 0);
    EXPECT_EQ(overlay.status, 5) << "mode -1";
    EXPECT_EQ(overlay.OverlayUShort(d, s, 4, 0, 1.0, 0, 12, 0), 1) << "outside: nothing to do";
    EXPECT_EQ(dst, Words(64, 7));
}

}  // namespace
