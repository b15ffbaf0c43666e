#include "tests/QvTest.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "imaging/core/PicCpuFeatures.h"
#include "imaging/core/PicEntryPoints.h"
#include "imaging/core/PicResizeBase.h"
#include "tests/imaging/core/ImagingTestSupport.h"
#include "tests/imaging/core/ResizeModel.h"

namespace {

using resizemodel::Image;

constexpr uint32_t kNoThreads = 0x100000;

// flags & 0x600 of each channel type.
template <class T>
constexpr uint32_t TypeFlags();
template <>
constexpr uint32_t TypeFlags<uint8_t>() { return 0; }
template <>
constexpr uint32_t TypeFlags<uint16_t>() { return 0x200; }
template <>
constexpr uint32_t TypeFlags<double>() { return 0x400; }
template <>
constexpr uint32_t TypeFlags<float>() { return 0x600; }

template <class T>
Image<T> RandomImage(uint32_t w, uint32_t h, uint32_t c, uint32_t padding, uint32_t stream) {
    Image<T> image(w, h, c, padding);
    std::vector<uint8_t> bytes = imgtest::RandomBytes(image.pixels.size() * 2, stream);
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        uint32_t v = bytes[2 * i] | (bytes[2 * i + 1] << 8);
        if constexpr (sizeof(T) == 1)
            image.pixels[i] = (T)v;
        else if constexpr (std::is_integral_v<T>)
            image.pixels[i] = (T)(v * 3 + 1);
        else
            image.pixels[i] = (T)(v / 7.0 - 2000.0);
    }
    return image;
}

template <class T>
BOOL Resize(const Image<T>& src, Image<T>& dst, uint32_t method, uint32_t flags = kNoThreads) {
    return pic_ResizeImage(src.pixels.data(), src.width, src.height, src.stride, dst.pixels.data(), dst.width,
                           dst.height, dst.stride, src.channels, method, flags | TypeFlags<T>());
}

using imgtest::GuardedBuffer;

// ---- dispatch ----

enum Kind { kUChar, kUShort, kFloat, kDouble };
using RK = PicResizerKind;

// The method table's cell for a channel type, read from the table itself:
// 0-13 filters for bytes only, 14 the box for the integer types, 15 the box
// when both sizes divide (always the coverage form for 16-bit), 16 bilinear,
// 17 bicubic (the SIMD form for bytes of 1, 3 or 4 channels on SSE3 or
// AVX2; one channel needs SSE3), 18 nearest, above that nothing.
RK ExpectedCell(Kind kind, uint32_t method, bool divides, uint32_t channels, bool sse3, bool avx2) {
    if (method <= 13) return kind == kUChar ? RK::Filter : RK::None;
    if (method == 14) return kind == kUChar || kind == kUShort ? RK::Decimate : RK::None;
    if (method == 15) return divides && kind != kUShort ? RK::Decimate : RK::DecimateEx;
    if (method == 16) return RK::Bilinear;
    if (method == 17) {
        const bool simd = kind == kUChar && (channels == 1 ? sse3 : (channels == 3 || channels == 4) && (sse3 || avx2));
        return simd ? RK::BicubicSimd : RK::Bicubic;
    }
    if (method == 18) return RK::Nearest;
    return RK::None;
}

template <class T>
void CheckDispatchRow(Kind kind) {
    struct Features {
        uint16_t mask;
        bool sse3, avx2;
    };
    const Features features[] = {{0xFFFF, PicHasCpuFeature(PIC_CPU_SSE3), PicHasCpuFeature(PIC_CPU_AVX2)},
                                 {(uint16_t)~PIC_CPU_SSE3, false, PicHasCpuFeature(PIC_CPU_AVX2)},
                                 {(uint16_t)~(PIC_CPU_SSE3 | PIC_CPU_AVX2), false, false}};
    for (const Features& f : features) {
        imgtest::FeatureMask mask(f.mask);
        for (uint32_t channels : {1u, 2u, 3u, 4u}) {
            Image<T> src = RandomImage<T>(12, 10, channels, 0, 5);
            for (bool divides : {true, false})
                for (uint32_t method = 0; method <= 21; ++method) {
                    Image<T> dst(divides ? 6 : 5, divides ? 5 : 4, channels, 1);
                    const BOOL ok = Resize(src, dst, method);
                    const int32_t code = pic_GetLastError();
                    const RK want = ExpectedCell(kind, method, divides, channels, f.sse3, f.avx2);
                    const std::string where = "type " + std::to_string(kind) + " method " + std::to_string(method) +
                                              " channels " + std::to_string(channels) +
                                              (divides ? " dividing" : " not dividing") + " mask " +
                                              std::to_string(f.mask);
                    EXPECT_EQ((int)PicLastResizerForTesting(), (int)want) << where;
                    if (want == RK::None) {
                        EXPECT_FALSE(ok) << where;
                        EXPECT_EQ(code, PIC_ERR_BAD_PARAM) << where;
                    } else {
                        EXPECT_TRUE(ok) << where << " code " << code;
                    }
                }
        }
    }
}

TEST(ResizeDispatch, EveryCellOfEveryChannelTypeRunsItsResizerOrRefuses) {
    CheckDispatchRow<uint8_t>(kUChar);
    CheckDispatchRow<uint16_t>(kUShort);
    CheckDispatchRow<float>(kFloat);
    CheckDispatchRow<double>(kDouble);
}

TEST(ResizeDispatch, OneBitAndPalettisedFormsRunTheirResizersOrRefuse) {
    // 32 x 16 pixels, 1-bit or 8-bit; every filter's support fits them.
    std::vector<uint8_t> src = imgtest::RandomBytes(32 * 16, 9), dst(32 * 16);
    for (uint8_t& index : src) index %= 2;
    RGBQUAD palette[2] = {};
    for (uint32_t method = 0; method < 21; ++method) {
        const RK oneBit = method == 14 ? RK::OneBitArea : method == 16 ? RK::OneBitBilinear : RK::None;
        const RK toGray = method <= 13   ? RK::OneBitToGrayFilter
                          : method == 14 ? RK::OneBitToGrayArea
                          : method == 16 ? RK::OneBitToGrayBilinear
                                         : RK::None;
        const RK paletted = method == 14   ? RK::PalettedArea
                            : method == 16 ? RK::PalettedBilinear
                            : method == 18 ? RK::Nearest
                                           : RK::None;
        const struct {
            const char* form;
            RK want;
            std::function<BOOL()> call;
        } forms[] = {
            {"1-bit", oneBit,
             [&] { return pic_ResizeImage1(src.data(), 32, 16, 4, dst.data(), 16, 8, 2, 128, method, kNoThreads); }},
            {"1-bit to gray", toGray,
             [&] { return pic_ResizeImage1To8Gray(src.data(), 32, 16, 4, dst.data(), 16, 8, 16, method, kNoThreads); }},
            {"palettised", paletted,
             [&] {
                 return pic_ResizeImage8(src.data(), 32, 16, 32, dst.data(), 16, 8, 16, palette, 2, method, kNoThreads);
             }},
        };
        for (const auto& f : forms) {
            const BOOL ok = f.call();
            const int32_t code = pic_GetLastError();
            EXPECT_EQ((int)PicLastResizerForTesting(), (int)f.want) << f.form << ", method " << method;
            EXPECT_EQ(ok != FALSE, f.want != RK::None) << f.form << ", method " << method << " code " << code;
            if (f.want == RK::None) {
                EXPECT_EQ(code, PIC_ERR_BAD_PARAM) << f.form << ", method " << method;
            }
        }
    }
}

// ---- nearest neighbour ----

template <class T>
void CheckNearestAgainstModel() {
    struct Size {
        uint32_t w, h;
    } targets[] = {{40, 23}, {211, 150}, {97, 61}, {1, 1}, {97, 1}};
    for (uint32_t channels = 1; channels <= 5; ++channels) {
        Image<T> src = RandomImage<T>(97, 61, channels, 3, channels);
        for (const Size& to : targets) {
            Image<T> expected(to.w, to.h, channels, 2), actual(to.w, to.h, channels, 2);
            resizemodel::Nearest(src, expected);
            ASSERT_TRUE(Resize(src, actual, PIC_RESIZE_NEAREST)) << pic_GetLastError();
            for (uint32_t y = 0; y < to.h; ++y)
                for (uint32_t x = 0; x < to.w; ++x)
                    for (uint32_t c = 0; c < channels; ++c)
                        ASSERT_EQ(actual.at(x, y, c), expected.at(x, y, c))
                            << to.w << "x" << to.h << " channels " << channels << " at " << x << "," << y;
        }
    }
}

TEST(NearestResize, MatchesTheModelForEveryTypeAndChannelCount) {
    CheckNearestAgainstModel<uint8_t>();
    CheckNearestAgainstModel<uint16_t>();
    CheckNearestAgainstModel<float>();
    CheckNearestAgainstModel<double>();
}

TEST(NearestResize, PicksTheLeftEdgeWithoutHalfPixelOffset) {
    struct Case {
        const char* name;
        std::vector<uint8_t> src;
        std::vector<uint8_t> expected;
    } cases[] = {
        {"4 to 2 picks 0 and 2", {10, 11, 12, 13}, {10, 12}},
        {"2 to 5 picks 0, 0, 0, 1, 1", {10, 11}, {10, 10, 10, 11, 11}},
        {"1 to 3 repeats the pixel", {7}, {7, 7, 7}},
        {"3 to 1 keeps the first", {1, 2, 3}, {1}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> out(c.expected.size());
        uint32_t sw = (uint32_t)c.src.size(), dw = (uint32_t)out.size();
        ASSERT_TRUE(pic_ResizeImage(c.src.data(), sw, 1, sw, out.data(), dw, 1, dw, 1, PIC_RESIZE_NEAREST, 0))
            << c.name;
        EXPECT_EQ(out, c.expected) << c.name;
    }
}

TEST(NearestResize, LongRowsPickColumnsWithoutWrappingThePosition) {
    // 100000 x 1 to 50000 must take column 2x everywhere; x * 100000 passes
    // 2^32 from x = 42950 on.
    const uint32_t sw = 100000, dw = 50000;
    std::vector<float> src(sw), dst(dw);
    for (uint32_t i = 0; i < sw; ++i) src[i] = (float)i;
    ASSERT_TRUE(pic_ResizeImage(src.data(), sw, 1, sw, dst.data(), dw, 1, dw, 1, PIC_RESIZE_NEAREST, 0x600));
    for (uint32_t x = 0; x < dw; ++x) ASSERT_EQ(dst[x], (float)(2 * x)) << x;
}

TEST(NearestResize, SameSizeCopiesOnlyTheImageBytes) {
    // Buffers of exactly (h - 1) * stride + w * c bytes before a no-access page.
    const uint32_t w = 13, h = 7, c = 3, stride = 45;
    const size_t bytes = (size_t)(h - 1) * stride + w * c;
    GuardedBuffer src(bytes), dst(bytes);
    std::vector<uint8_t> pattern = imgtest::RandomBytes(bytes, 9);
    memcpy(src.data(), pattern.data(), bytes);
    memset(dst.data(), 0, bytes);
    ASSERT_TRUE(pic_ResizeImage(src.data(), w, h, stride, dst.data(), w, h, stride, c, PIC_RESIZE_NEAREST, 0));
    EXPECT_EQ(memcmp(dst.data(), pattern.data(), bytes), 0) << "an exact copy, padding included";

    // The same size with another stride goes through the resampler and keeps the pixels.
    const uint32_t tight = w * c;
    GuardedBuffer packed((size_t)(h - 1) * tight + w * c);
    ASSERT_TRUE(pic_ResizeImage(src.data(), w, h, stride, packed.data(), w, h, tight, c, PIC_RESIZE_NEAREST, 0));
    for (uint32_t y = 0; y < h; ++y)
        EXPECT_EQ(memcmp(packed.data() + (size_t)y * tight, pattern.data() + (size_t)y * stride, tight), 0) << y;
}

TEST(NearestResize, ReadsAndWritesNothingPastTightBuffers) {
    for (uint32_t c : {1u, 3u, 4u}) {
        const uint32_t sw = 17, sh = 9, dw = 31, dh = 4;
        GuardedBuffer src((size_t)(sh - 1) * sw * c + sw * c), dst((size_t)(dh - 1) * dw * c + dw * c);
        memset(src.data(), 0x5A, (size_t)sh * sw * c);
        ASSERT_TRUE(pic_ResizeImage(src.data(), sw, sh, sw * c, dst.data(), dw, dh, dw * c, c, PIC_RESIZE_NEAREST, 0));
        EXPECT_EQ(dst.data()[(size_t)dh * dw * c - 1], 0x5A) << c;
    }
}

TEST(NearestResize, RefusesUnusableArguments) {
    uint8_t src[64] = {}, dst[64] = {};
    struct Case {
        const char* name;
        const uint8_t* src;
        uint8_t* dst;
        uint32_t sw, sh, sstride, dw, dh, dstride, channels;
    } cases[] = {
        {"null source", nullptr, dst, 4, 4, 4, 2, 2, 2, 1},
        {"null destination", src, nullptr, 4, 4, 4, 2, 2, 2, 1},
        {"no channels", src, dst, 4, 4, 4, 2, 2, 2, 0},
        {"source width 0", src, dst, 0, 4, 4, 2, 2, 2, 1},
        {"source height 0", src, dst, 4, 0, 4, 2, 2, 2, 1},
        {"destination width 0", src, dst, 4, 4, 4, 0, 2, 2, 1},
        {"destination height 0", src, dst, 4, 4, 4, 2, 0, 2, 1},
        {"source stride shorter than a row", src, dst, 4, 4, 11, 2, 2, 6, 3},
        {"destination stride shorter than a row", src, dst, 4, 4, 12, 2, 2, 5, 3},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(pic_ResizeImage(c.src, c.sw, c.sh, c.sstride, c.dst, c.dw, c.dh, c.dstride, c.channels,
                                     PIC_RESIZE_NEAREST, 0))
            << c.name;
        EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM) << c.name;
        if (c.channels != 1) continue;
        RGBQUAD palette[4] = {};
        EXPECT_FALSE(pic_ResizeImage8(c.src, c.sw, c.sh, c.sstride, c.dst, c.dw, c.dh, c.dstride, palette, 4,
                                      PIC_RESIZE_NEAREST, 0))
            << "palettised, " << c.name;
        EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM) << "palettised, " << c.name;
    }
}

TEST(NearestResize, PalettisedFormCopiesIndices) {
    const uint8_t src[] = {0, 1, 2, 3, 9, 4, 5, 6, 7, 9};  // stride 5, one padding byte
    uint8_t dst[4] = {};
    RGBQUAD palette[8] = {};
    ASSERT_TRUE(pic_ResizeImage8(src, 4, 2, 5, dst, 2, 2, 2, palette, 8, PIC_RESIZE_NEAREST, 0));
    EXPECT_EQ(std::vector<uint8_t>(dst, dst + 4), (std::vector<uint8_t>{0, 2, 4, 6}));
}

TEST(NearestResize, ACancelStopsAfterTheFirstChannel) {
    Image<uint8_t> src(8, 8, 3);
    std::fill(src.pixels.begin(), src.pixels.end(), 200);
    Image<uint8_t> dst(4, 4, 3);
    int calls = 0;
    SetProgressCallback(
        [](uint32_t, uint32_t, void* user) -> BOOL {
            ++*static_cast<int*>(user);
            return FALSE;
        },
        &calls);
    BOOL ok = Resize(src, dst, PIC_RESIZE_NEAREST);
    SetProgressCallback(nullptr, nullptr);
    EXPECT_FALSE(ok);
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_CANCELLED);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(dst.at(3, 3, 0), 200) << "the first channel is written";
    EXPECT_EQ(dst.at(0, 0, 1), 0) << "the second is not";
}

// ---- bilinear and bicubic ----

template <class T>
using ModelFn = void (*)(const Image<T>&, Image<T>&);

template <class T>
void CheckAgainstModel(uint32_t method, ModelFn<T> model, const char* name) {
    struct Size {
        uint32_t w, h;
    } targets[] = {{40, 23}, {211, 150}, {97, 61}, {1, 1}, {3, 200}};
    for (uint32_t channels = 1; channels <= 5; ++channels) {
        Image<T> src = RandomImage<T>(97, 61, channels, 3, 11 + channels);
        for (const Size& to : targets) {
            Image<T> expected(to.w, to.h, channels, 2), actual(to.w, to.h, channels, 2);
            model(src, expected);
            ASSERT_TRUE(Resize(src, actual, method)) << name << " " << pic_GetLastError();
            for (uint32_t y = 0; y < to.h; ++y)
                for (uint32_t x = 0; x < to.w; ++x)
                    for (uint32_t c = 0; c < channels; ++c)
                        ASSERT_EQ(actual.at(x, y, c), expected.at(x, y, c))
                            << name << " " << to.w << "x" << to.h << " channels " << channels << " at " << x << ","
                            << y;
        }
    }
}

TEST(BilinearResize, MatchesTheModelForEveryTypeAndChannelCount) {
    CheckAgainstModel<uint8_t>(PIC_RESIZE_BILINEAR, resizemodel::Bilinear<uint8_t>, "8-bit");
    CheckAgainstModel<uint16_t>(PIC_RESIZE_BILINEAR, resizemodel::Bilinear<uint16_t>, "16-bit");
    CheckAgainstModel<float>(PIC_RESIZE_BILINEAR, resizemodel::Bilinear<float>, "float");
    CheckAgainstModel<double>(PIC_RESIZE_BILINEAR, resizemodel::Bilinear<double>, "double");
}

TEST(BicubicResize, PortablePathMatchesTheModelForEveryTypeAndChannelCount) {
    CheckAgainstModel<uint16_t>(PIC_RESIZE_BICUBIC, resizemodel::Bicubic<uint16_t>, "16-bit");
    CheckAgainstModel<float>(PIC_RESIZE_BICUBIC, resizemodel::Bicubic<float>, "float");
    CheckAgainstModel<double>(PIC_RESIZE_BICUBIC, resizemodel::Bicubic<double>, "double");
    // 8-bit with 2 and 5 channels always takes the portable path.
    for (uint32_t channels : {2u, 5u}) {
        Image<uint8_t> src = RandomImage<uint8_t>(97, 61, channels, 1, 3);
        Image<uint8_t> expected(40, 23, channels), actual(40, 23, channels);
        resizemodel::Bicubic(src, expected);
        ASSERT_TRUE(Resize(src, actual, PIC_RESIZE_BICUBIC));
        EXPECT_EQ(actual.pixels, expected.pixels) << channels;
    }
}

TEST(BilinearResize, PinnedRows) {
    struct Case {
        const char* name;
        std::vector<uint8_t> src;
        std::vector<uint8_t> expected;
    } cases[] = {
        {"enlarging 2 to 4 steps by 0.375", {0, 100}, {0, 37, 75, 100}},
        {"reducing 4 to 2 takes whole positions", {0, 100, 200, 255}, {0, 200}},
        {"a single pixel fills the row", {42}, {42, 42, 42}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> out(c.expected.size());
        uint32_t sw = (uint32_t)c.src.size(), dw = (uint32_t)out.size();
        ASSERT_TRUE(pic_ResizeImage(c.src.data(), sw, 1, sw, out.data(), dw, 1, dw, 1, PIC_RESIZE_BILINEAR, 0));
        EXPECT_EQ(out, c.expected) << c.name;
    }
    // Float samples read as whole numbers: 0.5 reads as 0. Double keeps fractions.
    float fsrc[3] = {0.0f, 0.5f, 1.0f}, fdst[5] = {};
    ASSERT_TRUE(pic_ResizeImage(fsrc, 3, 1, 3, fdst, 5, 1, 5, 1, PIC_RESIZE_BILINEAR, 0x600));
    for (float v : fdst) EXPECT_EQ(v, std::trunc(v));
    double dsrc[2] = {0.0, 1.0}, ddst[4] = {};
    ASSERT_TRUE(pic_ResizeImage(dsrc, 2, 1, 2, ddst, 4, 1, 4, 1, PIC_RESIZE_BILINEAR, 0x400));
    EXPECT_DOUBLE_EQ(ddst[1], 0.375);
}

TEST(BicubicResize, PinnedEdges) {
    // A sharp edge overshoots: 8-bit clamps, double keeps the overshoot.
    double dsrc[8] = {0, 0, 0, 0, 255, 255, 255, 255}, ddst[11] = {};
    ASSERT_TRUE(pic_ResizeImage(dsrc, 8, 1, 8, ddst, 11, 1, 11, 1, PIC_RESIZE_BICUBIC, 0x400));
    double lowest = 0, highest = 0;
    for (double v : ddst) lowest = std::min(lowest, v), highest = std::max(highest, v);
    EXPECT_LT(lowest, 0.0);
    EXPECT_GT(highest, 255.0);
    // A 1 x 1 source gives a flat destination; 2 x 2 reads only its own pixels.
    for (uint32_t n : {1u, 2u, 3u}) {
        Image<uint16_t> src = RandomImage<uint16_t>(n, n, 2, 0, n);
        Image<uint16_t> expected(10, 10, 2), actual(10, 10, 2);
        resizemodel::Bicubic(src, expected);
        ASSERT_TRUE(Resize(src, actual, PIC_RESIZE_BICUBIC)) << n;
        EXPECT_EQ(actual.pixels, expected.pixels) << n;
    }
}

TEST(Resizers, SameSizeWithAnotherStrideReproducesTheSource) {
    for (uint32_t method : {PIC_RESIZE_BILINEAR, PIC_RESIZE_BICUBIC, PIC_RESIZE_NEAREST}) {
        for (uint32_t channels : {1u, 3u, 4u}) {
            Image<uint8_t> src = RandomImage<uint8_t>(23, 17, channels, 5, method + channels);
            Image<uint8_t> dst(23, 17, channels, 1);
            ASSERT_TRUE(Resize(src, dst, method)) << method;
            for (uint32_t y = 0; y < 17; ++y)
                for (uint32_t x = 0; x < 23; ++x)
                    for (uint32_t c = 0; c < channels; ++c)
                        ASSERT_EQ(dst.at(x, y, c), src.at(x, y, c)) << method << " " << channels;
        }
    }
}

TEST(Resizers, TinySourcesAndTightBuffersStayInside) {
    for (uint32_t method : {PIC_RESIZE_BILINEAR, PIC_RESIZE_BICUBIC, PIC_RESIZE_NEAREST}) {
        for (uint32_t n : {1u, 2u, 3u}) {
            for (uint32_t c : {1u, 3u, 4u}) {
                // The portable bicubic here; the single-precision kernels have tests of their own.
                imgtest::FeatureMask portable(method == PIC_RESIZE_BICUBIC ? (uint16_t) ~(PIC_CPU_SSE3 | PIC_CPU_AVX2)
                                                                           : (uint16_t)0xFFFF);
                const uint32_t dw = 9, dh = 7;
                GuardedBuffer src((size_t)(n - 1) * n * c + n * c), dst((size_t)(dh - 1) * dw * c + dw * c);
                Image<uint8_t> image = RandomImage<uint8_t>(n, n, c, 0, n + c), expected(dw, dh, c);
                memcpy(src.data(), image.pixels.data(), image.pixels.size());
                if (method == PIC_RESIZE_BILINEAR) resizemodel::Bilinear(image, expected);
                if (method == PIC_RESIZE_BICUBIC) resizemodel::Bicubic(image, expected);
                if (method == PIC_RESIZE_NEAREST) resizemodel::Nearest(image, expected);
                ASSERT_TRUE(pic_ResizeImage(src.data(), n, n, n * c, dst.data(), dw, dh, dw * c, c, method, 0))
                    << method << " " << n;
                EXPECT_EQ(memcmp(dst.data(), expected.pixels.data(), expected.pixels.size()), 0)
                    << "method " << method << " n " << n << " channels " << c;
            }
        }
    }
}

TEST(Resizers, BandsGiveTheSameBytesAsOneThread) {
    for (uint32_t method : {PIC_RESIZE_BILINEAR, PIC_RESIZE_BICUBIC}) {
        Image<uint8_t> src = RandomImage<uint8_t>(97, 61, 3, 1, 21);
        Image<uint8_t> alone(211, 150, 3);
        ASSERT_TRUE(Resize(src, alone, method, kNoThreads));
        for (uint32_t bands = 1; bands <= 8; ++bands) {
            imgtest::BandCount count(bands);
            Image<uint8_t> banded(211, 150, 3);
            ASSERT_TRUE(Resize(src, banded, method, 0)) << method << " " << bands;
            EXPECT_EQ(banded.pixels, alone.pixels) << method << " bands " << bands;
        }
    }
}

// ---- box and area-coverage reductions ----

template <class T>
void CheckReduction(uint32_t method, ModelFn<T> model, const char* name) {
    struct Size {
        uint32_t w, h;
    } targets[] = {{40, 23}, {97, 61}, {1, 1}, {3, 2}, {33, 20}, {48, 30}};
    for (uint32_t channels = 1; channels <= 5; ++channels) {
        Image<T> src = RandomImage<T>(97, 61, channels, 3, 31 + channels);
        for (const Size& to : targets) {
            Image<T> expected(to.w, to.h, channels, 2), actual(to.w, to.h, channels, 2);
            // Method 15 at whole factors is the block average, except for 16-bit channels.
            bool whole = 97 % to.w == 0 && 61 % to.h == 0;
            if (method == PIC_RESIZE_DECIMATE_EX && whole && !std::is_same_v<T, uint16_t>)
                resizemodel::Box(src, expected);
            else
                model(src, expected);
            ASSERT_TRUE(Resize(src, actual, method)) << name << " " << pic_GetLastError();
            for (uint32_t y = 0; y < to.h; ++y)
                for (uint32_t x = 0; x < to.w; ++x)
                    for (uint32_t c = 0; c < channels; ++c)
                        ASSERT_EQ(actual.at(x, y, c), expected.at(x, y, c))
                            << name << " " << to.w << "x" << to.h << " channels " << channels << " at " << x << ","
                            << y;
        }
    }
}

TEST(BoxReduction, MatchesTheModel) {
    CheckReduction<uint8_t>(PIC_RESIZE_DECIMATE, resizemodel::Box<uint8_t>, "8-bit");
    CheckReduction<uint16_t>(PIC_RESIZE_DECIMATE, resizemodel::Box<uint16_t>, "16-bit");
}

TEST(AreaReduction, MatchesTheModel) {
    CheckReduction<uint8_t>(PIC_RESIZE_DECIMATE_EX, resizemodel::Area<uint8_t>, "8-bit");
    CheckReduction<uint16_t>(PIC_RESIZE_DECIMATE_EX, resizemodel::Area<uint16_t>, "16-bit");
    CheckReduction<float>(PIC_RESIZE_DECIMATE_EX, resizemodel::Area<float>, "float");
    CheckReduction<double>(PIC_RESIZE_DECIMATE_EX, resizemodel::Area<double>, "double");
}

TEST(AreaReduction, WholeFactorsAverageWholeBlocksForEveryType) {
    // Method 15 at whole factors: the 8-bit, float and double forms take the block average.
    Image<float> fsrc = RandomImage<float>(96, 60, 3, 0, 4);
    Image<float> fexpected(32, 20, 3), factual(32, 20, 3);
    resizemodel::Box(fsrc, fexpected);
    ASSERT_TRUE(Resize(fsrc, factual, PIC_RESIZE_DECIMATE_EX));
    EXPECT_EQ(factual.pixels, fexpected.pixels);
    Image<uint8_t> bsrc = RandomImage<uint8_t>(640, 480, 1, 0, 4);
    Image<uint8_t> bexpected(320, 240, 1), bactual(320, 240, 1);
    resizemodel::Box(bsrc, bexpected);
    ASSERT_TRUE(Resize(bsrc, bactual, PIC_RESIZE_DECIMATE_EX));
    EXPECT_EQ(bactual.pixels, bexpected.pixels);
}

TEST(AreaReduction, PinnedRows) {
    struct Case {
        const char* name;
        std::vector<uint8_t> src;
        std::vector<uint8_t> expected;
    } cases[] = {
        {"1.5 to one: half of the middle pixel each", {0, 90, 180}, {30, 150}},
        {"7 to 6 gives the last source pixel its full weight", {0, 10, 20, 30, 40, 50, 60}, {1, 11, 21, 31, 41, 58}},
        {"equal sizes reproduce the source", {5, 6, 7}, {5, 6, 7}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> out(c.expected.size());
        uint32_t sw = (uint32_t)c.src.size(), dw = (uint32_t)out.size();
        ASSERT_TRUE(pic_ResizeImage(c.src.data(), sw, 1, sw, out.data(), dw, 1, dw, 1, PIC_RESIZE_DECIMATE_EX, 0))
            << c.name;
        Image<uint8_t> s(sw, 1, 1), d(dw, 1, 1);
        s.pixels = c.src;
        resizemodel::Area(s, d);
        EXPECT_EQ(out, d.pixels) << c.name;
        EXPECT_EQ(out.back(), c.expected.back()) << c.name;
        EXPECT_EQ(out.front(), c.expected.front()) << c.name;
    }
}

TEST(AreaReduction, LongRowsKeepTheLastSpanInsideTheSource) {
    // 131072 pixels to 1000: the last span must end at the last pixel of a tight buffer.
    const uint32_t sw = 131072, dw = 1000;
    GuardedBuffer src(sw), dst(dw);
    for (uint32_t i = 0; i < sw; ++i) src.data()[i] = (uint8_t)(i * 7 >> 9);
    ASSERT_TRUE(pic_ResizeImage(src.data(), sw, 1, sw, dst.data(), dw, 1, dw, 1, PIC_RESIZE_DECIMATE_EX, 0));
    Image<uint8_t> s(sw, 1, 1), d(dw, 1, 1);
    memcpy(s.pixels.data(), src.data(), sw);
    resizemodel::Area(s, d);
    EXPECT_EQ(memcmp(dst.data(), d.pixels.data(), dw), 0);
}

TEST(Reductions, PinnedCasesAndRefusals) {
    uint8_t block[16] = {1, 2, 0, 0, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, out[4] = {};
    ASSERT_TRUE(pic_ResizeImage(block, 4, 4, 4, out, 2, 2, 2, 1, PIC_RESIZE_DECIMATE, 0));
    EXPECT_EQ(out[0], 2) << "truncated mean of 1, 2, 3, 4";

    std::vector<uint16_t> big(300 * 300, 9), one(1);
    EXPECT_FALSE(pic_ResizeImage(big.data(), 300, 300, 300, one.data(), 1, 1, 1, 1, PIC_RESIZE_DECIMATE, 0x200));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM) << "16-bit sums of 90000 samples would not fit";
    std::vector<uint8_t> big8(300 * 300, 9), one8(1);
    EXPECT_TRUE(pic_ResizeImage(big8.data(), 300, 300, 300, one8.data(), 1, 1, 1, 1, PIC_RESIZE_DECIMATE, 0));
    EXPECT_EQ(one8[0], 9);

    uint8_t src[16] = {}, dst[64] = {};
    for (uint32_t method : {PIC_RESIZE_DECIMATE, PIC_RESIZE_DECIMATE_EX}) {
        EXPECT_FALSE(pic_ResizeImage(src, 4, 4, 4, dst, 5, 4, 5, 1, method, 0)) << "enlarging, method " << method;
        EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM);
        EXPECT_FALSE(pic_ResizeImage(src, 4, 4, 3, dst, 2, 2, 2, 1, method, 0)) << "short stride " << method;
        EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM);
        EXPECT_FALSE(pic_ResizeImage(nullptr, 4, 4, 4, dst, 2, 2, 2, 1, method, 0)) << "null " << method;
        EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM);
    }
    EXPECT_FALSE(pic_ResizeImage(src, 4, 4, 4, dst, 0, 2, 2, 1, PIC_RESIZE_DECIMATE_EX, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_OUT_OF_MEMORY) << "method 15 gives 1 for a zero width";
    EXPECT_FALSE(pic_ResizeImage(src, 4, 4, 4, dst, 0, 2, 2, 1, PIC_RESIZE_DECIMATE, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM) << "method 14 gives 5 for a zero width";
}

TEST(Reductions, BandsGiveTheSameBytesAsOneThread) {
    for (uint32_t method : {PIC_RESIZE_DECIMATE, PIC_RESIZE_DECIMATE_EX}) {
        Image<uint8_t> src = RandomImage<uint8_t>(211, 150, 3, 1, 23);
        Image<uint8_t> alone(97, 61, 3);
        ASSERT_TRUE(Resize(src, alone, method, kNoThreads));
        for (uint32_t bands = 1; bands <= 8; ++bands) {
            imgtest::BandCount count(bands);
            Image<uint8_t> banded(97, 61, 3);
            ASSERT_TRUE(Resize(src, banded, method, 0)) << method << " " << bands;
            EXPECT_EQ(banded.pixels, alone.pixels) << method << " bands " << bands;
        }
    }
}

// ---- bilinear for 1-bit and palettised images ----

int Bit(const std::vector<uint8_t>& image, uint32_t stride, uint32_t x, uint32_t y) {
    return (image[(size_t)y * stride + x / 8] >> (7 - x % 8)) & 1;
}

// Interpolation positions of the bilinear rule: (first tap, weight of the second).
std::pair<long long, double> Position(uint32_t i, uint32_t s, uint32_t n) {
    double p = i * resizemodel::BilinearStep(s, n);
    long long f = (long long)std::floor(p);
    return {f, p - f};
}
uint32_t LimitTo(long long i, uint32_t n) { return (uint32_t)std::clamp<long long>(i, 0, (long long)n - 1); }

TEST(BilinearResize, OneBitFormsMatchTheirModels) {
    struct Size {
        uint32_t w, h;
    } targets[] = {{40, 23}, {211, 150}, {97, 61}, {5, 1}};
    const uint32_t sw = 97, sh = 61, sstride = 15;
    std::vector<uint8_t> src = imgtest::RandomBytes((size_t)sstride * sh, 41);
    for (size_t i = 0; i < src.size(); i += 3) src[i] = i % 2 ? 0xFF : 0x00;  // some uniform runs
    for (const Size& to : targets) {
        const uint32_t dstride = (to.w + 7) / 8 + 1;
        std::vector<uint8_t> bits((size_t)dstride * to.h), gray((size_t)to.w * to.h), grayInverse(gray.size());
        ASSERT_TRUE(pic_ResizeImage1(src.data(), sw, sh, sstride, bits.data(), to.w, to.h, dstride, 0,
                                     PIC_RESIZE_BILINEAR, kNoThreads));
        ASSERT_TRUE(pic_ResizeImage1To8Gray(src.data(), sw, sh, sstride, gray.data(), to.w, to.h, to.w,
                                            PIC_RESIZE_BILINEAR, 1));
        ASSERT_TRUE(pic_ResizeImage1To8Gray(src.data(), sw, sh, sstride, grayInverse.data(), to.w, to.h, to.w,
                                            PIC_RESIZE_BILINEAR, 0));
        for (uint32_t y = 0; y < to.h; ++y) {
            auto [fy, wy] = Position(y, sh, to.h);
            uint32_t r0 = LimitTo(fy, sh), r1 = LimitTo(fy + 1, sh);
            long long A = (long long)(wy * 256), B = (long long)((1 - wy) * 256);
            for (uint32_t x = 0; x < to.w; ++x) {
                auto [fx, wx] = Position(x, sw, to.w);
                uint32_t c0 = LimitTo(fx, sw), c1 = LimitTo(fx + 1, sw);
                long long C = (long long)(wx * 256);
                int a = Bit(src, sstride, c0, r0), b = Bit(src, sstride, c1, r0), c = Bit(src, sstride, c0, r1),
                    d = Bit(src, sstride, c1, r1);
                int expected = a + b + c + d == 4 ? 1
                               : a + b + c + d == 0
                                   ? 0
                                   : c * (256 - C) * A + d * C * A + b * C * B + a * (256 - C) * B > 32768;
                ASSERT_EQ(Bit(bits, dstride, x, y), expected) << to.w << "x" << to.h << " at " << x << "," << y;
                double g = (1 - wy) * (1 - wx) * 255 * a + (1 - wy) * wx * 255 * b + wy * wx * 255 * d +
                           wy * (1 - wx) * 255 * c;
                ASSERT_EQ(gray[(size_t)y * to.w + x], (uint8_t)g) << "gray at " << x << "," << y;
                double h = (1 - wy) * (1 - wx) * 255 * (1 - a) + (1 - wy) * wx * 255 * (1 - b) +
                           wy * wx * 255 * (1 - d) + wy * (1 - wx) * 255 * (1 - c);
                ASSERT_EQ(grayInverse[(size_t)y * to.w + x], (uint8_t)h) << "inverse gray at " << x << "," << y;
            }
        }
        for (uint32_t bands = 2; bands <= 8; bands += 3) {
            imgtest::BandCount count(bands);
            std::vector<uint8_t> banded(bits.size());
            ASSERT_TRUE(pic_ResizeImage1(src.data(), sw, sh, sstride, banded.data(), to.w, to.h, dstride, 0,
                                         PIC_RESIZE_BILINEAR, 0));
            for (uint32_t y = 0; y < to.h; ++y)
                for (uint32_t x = 0; x < to.w; ++x)
                    ASSERT_EQ(Bit(banded, dstride, x, y), Bit(bits, dstride, x, y)) << bands << " bands";
        }
    }
    uint8_t clear[4] = {}, out[16] = {};
    ASSERT_TRUE(pic_ResizeImage1To8Gray(clear, 8, 4, 1, out, 4, 4, 4, PIC_RESIZE_BILINEAR, 0));
    for (uint8_t v : out) EXPECT_EQ(v, 255) << "clear bits read as white without flag bit 0";
    EXPECT_FALSE(pic_ResizeImage1(clear, 8, 4, 1, clear, 8, 4, 1, 0, PIC_RESIZE_BILINEAR, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM) << "the same buffer";
    EXPECT_FALSE(pic_ResizeImage1(clear, 16, 4, 1, out, 8, 4, 1, 0, PIC_RESIZE_BILINEAR, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM) << "a stride shorter than a row";
}

TEST(BilinearResize, PalettisedFormMatchesItsModel) {
    const uint32_t sw = 37, sh = 23, sstride = 40, count = 20;
    std::vector<uint8_t> src = imgtest::RandomBytes((size_t)sstride * sh, 43);
    for (uint8_t& v : src) v = v % 24;  // indices 20..23 are past the palette: they read entry 0
    std::vector<uint8_t> bytes = imgtest::RandomBytes(count * 3, 44);
    std::vector<RGBQUAD> palette(count);
    for (uint32_t i = 0; i < count; ++i) palette[i] = {bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2], 0};
    auto entry = [&](uint8_t i) { return palette[i < count ? i : 0]; };
    const uint32_t dw = 50, dh = 11;
    std::vector<uint8_t> dst((size_t)dw * dh);
    ASSERT_TRUE(pic_ResizeImage8(src.data(), sw, sh, sstride, dst.data(), dw, dh, dw, palette.data(), count,
                                 PIC_RESIZE_BILINEAR, 0));
    for (uint32_t y = 0; y < dh; ++y) {
        auto [fy, wy] = Position(y, sh, dh);
        uint32_t r0 = LimitTo(fy, sh), r1 = LimitTo(fy + 1, sh);
        for (uint32_t x = 0; x < dw; ++x) {
            auto [fx, wx] = Position(x, sw, dw);
            uint32_t c0 = LimitTo(fx, sw), c1 = LimitTo(fx + 1, sw);
            RGBQUAD a = entry(src[r0 * sstride + c0]), b = entry(src[r0 * sstride + c1]),
                    c = entry(src[r1 * sstride + c0]), d = entry(src[r1 * sstride + c1]);
            auto mix = [&](int va, int vb, int vc, int vd) {
                return (int)(uint8_t)((1 - wy) * (1 - wx) * va + (1 - wy) * wx * vb + wy * wx * vd +
                                      wy * (1 - wx) * vc);
            };
            int red = mix(a.rgbRed, b.rgbRed, c.rgbRed, d.rgbRed);
            int green = mix(a.rgbGreen, b.rgbGreen, c.rgbGreen, d.rgbGreen);
            int blue = mix(a.rgbBlue, b.rgbBlue, c.rgbBlue, d.rgbBlue);
            int best = 0;
            long bound = 1L << 40;
            for (uint32_t i = 0; i < count; ++i) {
                long dg = palette[i].rgbGreen - green, dbl = palette[i].rgbBlue - blue, dr = palette[i].rgbRed - red;
                long dist = dg * dg + dbl * dbl + dr * dr;
                if (dist < bound) best = (int)i, bound = dist;
            }
            ASSERT_EQ(dst[y * dw + x], best) << x << "," << y;
        }
    }
    // Same size and stride: a byte copy, padding included, of exactly the image's bytes.
    GuardedBuffer tight((size_t)(sh - 1) * sstride + sw);
    ASSERT_TRUE(pic_ResizeImage8(src.data(), sw, sh, sstride, tight.data(), sw, sh, sstride, palette.data(), count,
                                 PIC_RESIZE_BILINEAR, 0));
    EXPECT_EQ(memcmp(tight.data(), src.data(), (size_t)(sh - 1) * sstride + sw), 0);
    EXPECT_FALSE(pic_ResizeImage8(src.data(), sw, sh, sstride, dst.data(), dw, dh, dw, nullptr, count,
                                  PIC_RESIZE_BILINEAR, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM);
    EXPECT_FALSE(pic_ResizeImage8(src.data(), sw, sh, sstride, dst.data(), dw, dh, dw, palette.data(), 0,
                                  PIC_RESIZE_BILINEAR, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM);
}

}  // namespace
