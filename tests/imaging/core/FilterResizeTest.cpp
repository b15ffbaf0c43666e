// Filtered resampling (methods 0-13) and the 1-bit and palettised area
// reductions, against the models in ResizeModel.h.
#include "tests/QvTest.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/core/PicEntryPoints.h"
#include "imaging/core/PicResizeBase.h"
#include "tests/imaging/core/ImagingTestSupport.h"
#include "tests/imaging/core/ResizeModel.h"

namespace {

using resizemodel::Image;

constexpr uint32_t kNoThreads = 0x100000;

Image<uint8_t> RandomImage(uint32_t w, uint32_t h, uint32_t c, uint32_t padding, uint32_t stream) {
    Image<uint8_t> image(w, h, c, padding);
    image.pixels = imgtest::RandomBytes(image.pixels.size(), stream);
    return image;
}

// A packed 1-bit image with runs of clear and set bytes among random ones.
struct BitImage {
    uint32_t width, height, stride;
    std::vector<uint8_t> bytes;
    BitImage(uint32_t w, uint32_t h, uint32_t stream, uint32_t padding = 1)
        : width(w), height(h), stride((w + 7) / 8 + padding), bytes(imgtest::RandomBytes((size_t)stride * h, stream)) {
        for (size_t i = 0; i < bytes.size(); i += 5) bytes[i] = i % 2 ? 0xFF : 0x00;
    }
    int Bit(uint32_t x, uint32_t y) const { return resizemodel::BitOf(bytes, stride, x, y); }
};

using imgtest::GuardedBuffer;

Image<uint8_t> ModelFilter(int filter, const Image<uint8_t>& src, uint32_t dw, uint32_t dh) {
    return resizemodel::FilterResize(
        filter, src.width, src.height, src.channels, [&](uint32_t x, uint32_t y, uint32_t c) { return src.at(x, y, c); },
        dw, dh);
}

// Model of the 1-bit source: clear bits white, set bits black; flag bit 0 reverses.
Image<uint8_t> ModelFilterOneBit(int filter, const BitImage& src, uint32_t dw, uint32_t dh, bool setIsWhite) {
    return resizemodel::FilterResize(
        filter, src.width, src.height, 1,
        [&](uint32_t x, uint32_t y, uint32_t) -> uint8_t { return (src.Bit(x, y) == 1) == setIsWhite ? 255 : 0; }, dw,
        dh);
}

void ExpectSamePixels(const Image<uint8_t>& actual, const Image<uint8_t>& expected, const std::string& what) {
    for (uint32_t y = 0; y < expected.height; ++y)
        for (uint32_t x = 0; x < expected.width; ++x)
            for (uint32_t c = 0; c < expected.channels; ++c)
                ASSERT_EQ(actual.at(x, y, c), expected.at(x, y, c))
                    << what << " at " << x << "," << y << " channel " << c;
}

// ---- filtered resampling ----

TEST(FilterResize, EveryFilterMatchesTheModelShrinkingAndEnlarging) {
    struct Size {
        uint32_t w, h;
    } targets[] = {{40, 23}, {211, 150}};
    for (uint32_t channels = 1; channels <= 5; ++channels) {
        Image<uint8_t> src = RandomImage(97, 61, channels, 3, 60 + channels);
        for (int filter = 0; filter < 14; ++filter)
            for (const Size& to : targets) {
                Image<uint8_t> actual(to.w, to.h, channels, 2);
                ASSERT_TRUE(pic_ResizeImage(src.pixels.data(), src.width, src.height, src.stride, actual.pixels.data(),
                                            to.w, to.h, actual.stride, channels, filter, kNoThreads))
                    << filter << " " << pic_GetLastError();
                ExpectSamePixels(actual, ModelFilter(filter, src, to.w, to.h),
                                 "filter " + std::to_string(filter) + " to " + std::to_string(to.w) + " channels " +
                                     std::to_string(channels));
            }
    }
}

TEST(FilterResize, OneBitSourceMatchesTheModelInBothReadings) {
    BitImage src(97, 61, 71);
    struct Size {
        uint32_t w, h;
    } targets[] = {{40, 23}, {211, 150}};
    for (int filter = 0; filter < 14; ++filter)
        for (const Size& to : targets)
            for (uint32_t flags : {0u, 1u}) {
                Image<uint8_t> actual(to.w, to.h, 1, 3);
                ASSERT_TRUE(pic_ResizeImage1To8Gray(src.bytes.data(), src.width, src.height, src.stride,
                                                    actual.pixels.data(), to.w, to.h, actual.stride, filter,
                                                    flags | kNoThreads))
                    << filter << " " << pic_GetLastError();
                ExpectSamePixels(actual, ModelFilterOneBit(filter, src, to.w, to.h, flags & 1),
                                 "1-bit filter " + std::to_string(filter) + " flags " + std::to_string(flags));
            }
}

TEST(FilterResize, PinnedCases) {
    Image<uint8_t> src = RandomImage(30, 20, 3, 0, 72);
    auto run = [&](uint32_t filter, uint32_t dw, uint32_t dh, Image<uint8_t>& out) {
        out = Image<uint8_t>(dw, dh, 3);
        return pic_ResizeImage(src.pixels.data(), 30, 20, 90, out.pixels.data(), dw, dh, dw * 3, 3, filter, 0);
    };
    Image<uint8_t> a, b;
    ASSERT_TRUE(run(PIC_RESIZE_BSPLINE_B, 17, 33, a));
    ASSERT_TRUE(run(PIC_RESIZE_BSPLINE, 17, 33, b));
    EXPECT_EQ(a.pixels, b.pixels) << "filters 7 and 5 are one kernel";
    ASSERT_TRUE(run(PIC_RESIZE_HERMITE_B, 17, 33, a));
    ASSERT_TRUE(run(PIC_RESIZE_HERMITE, 17, 33, b));
    EXPECT_EQ(a.pixels, b.pixels) << "filters 11 and 6 are one kernel";

    struct Reach {
        uint32_t filter, smallest;
    } reaches[] = {{0, 1}, {1, 1}, {3, 2}, {4, 2}, {8, 3}, {10, 4}, {13, 2}};
    for (const Reach& r : reaches) {
        if (r.smallest > 1) {
            EXPECT_FALSE(run(r.filter, 10, r.smallest - 1, a)) << r.filter;
            EXPECT_EQ(pic_GetLastError(), PIC_ERR_DEST_TOO_SMALL) << r.filter;
            EXPECT_FALSE(run(r.filter, r.smallest - 1, 10, a)) << r.filter;
            EXPECT_EQ(pic_GetLastError(), PIC_ERR_DEST_TOO_SMALL) << r.filter;
        }
        EXPECT_TRUE(run(r.filter, r.smallest, r.smallest, a)) << r.filter << " " << pic_GetLastError();
    }

    // A flat source stays flat under every filter, negative lobes included.
    Image<uint8_t> flat(23, 17, 2);
    std::fill(flat.pixels.begin(), flat.pixels.end(), 201);
    for (uint32_t filter = 0; filter < 14; ++filter)
        for (uint32_t dw : {5u, 50u}) {
            Image<uint8_t> out(dw, 9, 2);
            ASSERT_TRUE(pic_ResizeImage(flat.pixels.data(), 23, 17, 46, out.pixels.data(), dw, 9, dw * 2, 2, filter, 0));
            for (uint8_t v : out.pixels) ASSERT_EQ(v, 201) << "filter " << filter << " to " << dw;
        }

    // A 1-bit source to gray with the box filter: clear is white, set black; flag bit 0 reverses.
    uint8_t clear[8] = {}, set[8], gray[16];
    memset(set, 0xFF, sizeof set);
    for (uint32_t flags : {0u, 1u}) {
        ASSERT_TRUE(pic_ResizeImage1To8Gray(clear, 16, 4, 2, gray, 4, 4, 4, PIC_RESIZE_BOX, flags));
        for (uint8_t v : gray) EXPECT_EQ(v, flags ? 0 : 255);
        ASSERT_TRUE(pic_ResizeImage1To8Gray(set, 16, 4, 2, gray, 4, 4, 4, PIC_RESIZE_BOX, flags));
        for (uint8_t v : gray) EXPECT_EQ(v, flags ? 255 : 0);
    }
}

TEST(FilterResize, Refusals) {
    uint8_t src[64] = {}, dst[64] = {};
    struct Case {
        const char* name;
        const uint8_t* src;
        uint8_t* dst;
        uint32_t sw, sh, sstride, dw, dh, dstride, channels, flags;
        int32_t code;
    } cases[] = {
        {"null source", nullptr, dst, 4, 4, 4, 2, 2, 2, 1, 0, PIC_ERR_BAD_PARAM},
        {"null destination", src, nullptr, 4, 4, 4, 2, 2, 2, 1, 0, PIC_ERR_BAD_PARAM},
        {"no channels", src, dst, 4, 4, 4, 2, 2, 2, 0, 0, PIC_ERR_BAD_PARAM},
        {"source width 0", src, dst, 0, 4, 4, 2, 2, 2, 1, 0, PIC_ERR_BAD_PARAM},
        {"destination height 0", src, dst, 4, 4, 4, 2, 0, 2, 1, 0, PIC_ERR_BAD_PARAM},
        {"source stride shorter than a row", src, dst, 4, 4, 11, 2, 2, 6, 3, 0, PIC_ERR_BAD_PARAM},
        {"destination stride shorter than a row", src, dst, 4, 4, 12, 2, 2, 5, 3, 0, PIC_ERR_BAD_PARAM},
        {"16-bit channels have no filters", src, dst, 4, 4, 4, 2, 2, 2, 1, 0x200, PIC_ERR_BAD_PARAM},
        {"float channels have no filters", src, dst, 2, 2, 2, 1, 1, 1, 1, 0x600, PIC_ERR_BAD_PARAM},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(pic_ResizeImage(c.src, c.sw, c.sh, c.sstride, c.dst, c.dw, c.dh, c.dstride, c.channels,
                                     PIC_RESIZE_TRIANGLE, c.flags))
            << c.name;
        EXPECT_EQ(pic_GetLastError(), c.code) << c.name;
    }
    EXPECT_FALSE(pic_ResizeImage1To8Gray(src, 16, 4, 1, dst, 4, 4, 4, PIC_RESIZE_TRIANGLE, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM) << "a 1-bit stride shorter than a row";
    EXPECT_FALSE(pic_ResizeImage1To8Gray(src, 16, 4, 2, dst, 4, 4, 3, PIC_RESIZE_TRIANGLE, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM) << "a gray stride shorter than a row";
}

TEST(FilterResize, TinySourcesAndExactSupportReadOnlyTheSource) {
    // Reflection reaches past the far edge for sources no wider than the
    // support and when shrinking to exactly the support; tight buffers fault
    // on any read past them.
    for (int filter = 0; filter < 14; ++filter) {
        for (uint32_t n : {1u, 2u, 3u}) {
            const uint32_t c = 3, dw = 9, dh = 7;
            GuardedBuffer src((size_t)(n - 1) * n * c + n * c), dst((size_t)(dh - 1) * dw * c + dw * c);
            Image<uint8_t> image = RandomImage(n, n, c, 0, 80 + n);
            memcpy(src.data(), image.pixels.data(), image.pixels.size());
            ASSERT_TRUE(pic_ResizeImage(src.data(), n, n, n * c, dst.data(), dw, dh, dw * c, c, filter, 0))
                << filter << " " << n;
            Image<uint8_t> expected = ModelFilter(filter, image, dw, dh);
            EXPECT_EQ(memcmp(dst.data(), expected.pixels.data(), expected.pixels.size()), 0)
                << "filter " << filter << " from " << n;
        }
        // Shrinking to exactly the support reaches index -size from output 0.
        const uint32_t reach = (uint32_t)(resizemodel::FilterSupport(filter) + 0.999999999);
        const uint32_t side = 2 * reach + 3, bitStride = (side + 7) / 8;
        GuardedBuffer src((size_t)side * side), bits((size_t)bitStride * side), dst((size_t)reach * reach);
        Image<uint8_t> image = RandomImage(side, side, 1, 0, 90);
        memcpy(src.data(), image.pixels.data(), image.pixels.size());
        memcpy(bits.data(), image.pixels.data(), (size_t)bitStride * side);
        ASSERT_TRUE(pic_ResizeImage1To8Gray(bits.data(), side, side, bitStride, dst.data(), reach, reach, reach, filter,
                                            0))
            << filter;
        ASSERT_TRUE(pic_ResizeImage(src.data(), side, side, side, dst.data(), reach, reach, reach, 1, filter, 0))
            << filter;
        Image<uint8_t> expected = ModelFilter(filter, image, reach, reach);
        EXPECT_EQ(memcmp(dst.data(), expected.pixels.data(), expected.pixels.size()), 0)
            << "filter " << filter << " to its support";
    }
}

// ---- 1-bit area reduction with a threshold ----

TEST(OneBitAreaReduction, MatchesTheModel) {
    BitImage src(97, 61, 101);
    struct Size {
        uint32_t w, h;
    } targets[] = {{40, 23}, {97, 61}, {1, 1}, {33, 20}, {48, 30}, {96, 13}};
    for (const Size& to : targets)
        for (uint32_t threshold : {0u, 64u, 127u, 192u, 254u, 255u}) {
            const uint32_t dstride = (to.w + 7) / 8 + 1;
            std::vector<uint8_t> dst((size_t)dstride * to.h, 0xA5);
            ASSERT_TRUE(pic_ResizeImage1(src.bytes.data(), src.width, src.height, src.stride, dst.data(), to.w, to.h,
                                         dstride, threshold, PIC_RESIZE_DECIMATE, 0));
            for (uint32_t y = 0; y < to.h; ++y)
                for (uint32_t x = 0; x < to.w; ++x) {
                    double value = resizemodel::CoveredAverage(x, y, src.width, src.height, to.w, to.h,
                                                               [&](uint32_t i, uint32_t j) { return 255.0 * src.Bit(i, j); });
                    int expected = (uint32_t)value > threshold;
                    ASSERT_EQ(resizemodel::BitOf(dst, dstride, x, y), expected)
                        << to.w << "x" << to.h << " threshold " << threshold << " at " << x << "," << y;
                }
            if (to.w != src.width || threshold == 255) continue;
            for (uint32_t y = 0; y < to.h; ++y)
                for (uint32_t x = 0; x < to.w; ++x)
                    ASSERT_EQ(resizemodel::BitOf(dst, dstride, x, y), src.Bit(x, y)) << "equal sizes copy the bits";
        }
}

TEST(OneBitAreaReduction, ThresholdAndRefusals) {
    // 8 x 1 to 1 x 1: k set bits give trunc(255 k / 8); 7 bits give 223 > 192, 6 give 191.
    struct Case {
        uint8_t bits;
        uint32_t threshold;
        int expected;
    } cases[] = {{0xFE, 192, 1}, {0xFC, 192, 0}, {0xFF, 255, 0}, {0xFF, 254, 1}, {0x80, 31, 0}, {0x80, 30, 1}};
    for (const Case& c : cases) {
        uint8_t out = 0x7F;
        ASSERT_TRUE(pic_ResizeImage1(&c.bits, 8, 1, 1, &out, 1, 1, 1, c.threshold, PIC_RESIZE_DECIMATE, 0));
        EXPECT_EQ(out >> 7, c.expected) << std::hex << (int)c.bits << " threshold " << std::dec << c.threshold;
        EXPECT_EQ(out & 0x7F, 0x7F) << "bits past the width stay";
    }
    uint8_t src[8] = {}, dst[8] = {};
    EXPECT_FALSE(pic_ResizeImage1(src, 8, 2, 1, dst, 9, 2, 2, 0, PIC_RESIZE_DECIMATE, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM) << "enlarging";
    EXPECT_FALSE(pic_ResizeImage1(nullptr, 8, 2, 1, dst, 4, 2, 1, 0, PIC_RESIZE_DECIMATE, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM) << "null";
    EXPECT_FALSE(pic_ResizeImage1(src, 16, 2, 1, dst, 4, 2, 1, 0, PIC_RESIZE_DECIMATE, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM) << "short stride";
    EXPECT_FALSE(pic_ResizeImage1(src, 8, 2, 1, dst, 0, 2, 1, 0, PIC_RESIZE_DECIMATE, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_OUT_OF_MEMORY) << "a zero width leaves nothing to allocate";
}

// ---- 1-bit to gray area reduction ----

// The expected gray of output (x, y), from the path the sizes select.
uint8_t ModelGray(const BitImage& src, uint32_t dw, uint32_t dh, uint32_t x, uint32_t y, bool setIsWhite) {
    const uint32_t sw = src.width, sh = src.height;
    auto countBlock = [&](uint32_t bw, uint32_t bh) {
        int k = 0;
        for (uint32_t j = 0; j < bh; ++j)
            for (uint32_t i = 0; i < bw; ++i) k += src.Bit(x * bw + i, y * bh + j);
        return k;
    };
    if (sw == 2 * dw && sh == 2 * dh && dw % 4 == 0) {
        const int clear[5] = {255, 192, 128, 64, 0}, set[5] = {0, 64, 128, 192, 255};
        int k = countBlock(2, 2);
        return (uint8_t)(setIsWhite ? set[k] : clear[k]);
    }
    if (sw == 4 * dw && sh == 4 * dh && dw % 2 == 0) {
        int k = countBlock(4, 4);
        return (uint8_t)(setIsWhite ? (k < 16 ? 16 * k : 255) : (k < 16 ? 255 - 16 * k : 0));
    }
    for (uint32_t ratio : {8u, 16u, 32u})
        if (sw == ratio * dw && sh % dh == 0) {
            int k = countBlock(ratio, sh / dh);
            int v = 255 * k / (int)(ratio * (sh / dh));
            return (uint8_t)(setIsWhite ? v : 255 - v);
        }
    double value = resizemodel::CoveredAverage(x, y, sw, sh, dw, dh,
                                               [&](uint32_t i, uint32_t j) { return 255.0 * src.Bit(i, j); });
    return (uint8_t)(setIsWhite ? value : 255 - value);
}

TEST(OneBitToGrayAreaReduction, EveryPathMatchesTheModel) {
    struct Case {
        const char* path;
        uint32_t sw, sh, dw, dh;
    } cases[] = {
        {"2:1, width a multiple of 4", 96, 40, 48, 20},
        {"2:1, width not a multiple of 4", 92, 40, 46, 20},
        {"4:1, even width", 96, 40, 24, 10},
        {"4:1, odd width", 92, 40, 23, 10},
        {"8:1 across, 3 rows down", 96, 39, 12, 13},
        {"16:1 across, 5 rows down", 96, 40, 6, 8},
        {"32:1 across, 1 row down", 96, 40, 3, 40},
        {"general, 97 x 61 to 40 x 23", 97, 61, 40, 23},
        {"general, equal sizes", 37, 11, 37, 11},
        {"general, to one pixel", 97, 61, 1, 1},
    };
    for (const Case& c : cases) {
        BitImage src(c.sw, c.sh, 110 + c.dw);
        for (uint32_t flags : {0u, 1u}) {
            std::vector<uint8_t> dst((size_t)(c.dw + 3) * c.dh);
            ASSERT_TRUE(pic_ResizeImage1To8Gray(src.bytes.data(), c.sw, c.sh, src.stride, dst.data(), c.dw, c.dh,
                                                c.dw + 3, PIC_RESIZE_DECIMATE, flags))
                << c.path;
            for (uint32_t y = 0; y < c.dh; ++y)
                for (uint32_t x = 0; x < c.dw; ++x)
                    ASSERT_EQ(dst[(size_t)y * (c.dw + 3) + x], ModelGray(src, c.dw, c.dh, x, y, flags & 1))
                        << c.path << " flags " << flags << " at " << x << "," << y;
        }
    }
}

TEST(OneBitToGrayAreaReduction, PinnedLevelsAndRefusals) {
    // 2 x 2 blocks holding 0..4 set bits: the table path and the general path.
    // Rows: bits 00 10 11 11 11 00 10 11 / 00 00 00 10 11 00 00 00 (eight blocks of 2 x 2).
    const uint8_t table[4] = {0x2F, 0xCB, 0x02, 0xC0};  // 16 pixels wide, stride 2
    uint8_t out[8] = {};
    ASSERT_TRUE(pic_ResizeImage1To8Gray(table, 16, 2, 2, out, 8, 1, 8, PIC_RESIZE_DECIMATE, 0));
    EXPECT_EQ(std::vector<uint8_t>(out, out + 8), (std::vector<uint8_t>{255, 192, 128, 64, 0, 255, 192, 128}));
    const uint8_t narrow[2] = {0x2F, 0x03};  // 8 pixels, 4 outputs: not a multiple of 4 -> the general path
    uint8_t general[3] = {};
    ASSERT_TRUE(pic_ResizeImage1To8Gray(narrow, 6, 2, 1, general, 3, 1, 3, PIC_RESIZE_DECIMATE, 0));
    EXPECT_EQ(std::vector<uint8_t>(general, general + 3), (std::vector<uint8_t>{255, 191, 127}));

    uint8_t src[8] = {}, dst[8] = {};
    EXPECT_FALSE(pic_ResizeImage1To8Gray(src, 8, 2, 1, dst, 0, 2, 1, PIC_RESIZE_DECIMATE, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM) << "zero width";
    EXPECT_FALSE(pic_ResizeImage1To8Gray(src, 8, 2, 1, dst, 9, 2, 9, PIC_RESIZE_DECIMATE, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM) << "enlarging";
    EXPECT_FALSE(pic_ResizeImage1To8Gray(src, 8, 2, 1, dst, 4, 2, 3, PIC_RESIZE_DECIMATE, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM) << "short destination stride";
}

// ---- palettised area reduction ----

TEST(PalettedAreaReduction, MatchesTheModelAndANearestSearch) {
    const uint32_t count = 20;
    std::vector<uint8_t> bytes = imgtest::RandomBytes(count * 3, 120);
    std::vector<RGBQUAD> palette(count);
    for (uint32_t i = 0; i < count; ++i) palette[i] = {bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2], 0};
    palette[7] = palette[3];  // a duplicate: the lower index wins
    auto entry = [&](uint8_t i) { return palette[i < count ? i : 0]; };
    Image<uint8_t> src = RandomImage(97, 61, 1, 3, 121);
    for (uint8_t& v : src.pixels) v = v % 24;  // 20..23 are past the palette: they read entry 0
    struct Size {
        uint32_t w, h;
    } targets[] = {{40, 23}, {97, 61}, {1, 1}, {48, 30}};
    for (const Size& to : targets) {
        Image<uint8_t> dst(to.w, to.h, 1, 2);
        ASSERT_TRUE(pic_ResizeImage8(src.pixels.data(), 97, 61, src.stride, dst.pixels.data(), to.w, to.h, dst.stride,
                                     palette.data(), count, PIC_RESIZE_DECIMATE, 0));
        for (uint32_t y = 0; y < to.h; ++y)
            for (uint32_t x = 0; x < to.w; ++x) {
                auto average = [&](auto channel) {
                    return (int)(uint8_t)resizemodel::CoveredAverage(x, y, 97, 61, to.w, to.h, [&](uint32_t i, uint32_t j) {
                        return (double)channel(entry(src.at(i, j, 0)));
                    });
                };
                int red = average([](RGBQUAD q) { return q.rgbRed; });
                int green = average([](RGBQUAD q) { return q.rgbGreen; });
                int blue = average([](RGBQUAD q) { return q.rgbBlue; });
                int best = 0;
                long bound = 1L << 40;
                for (uint32_t i = 0; i < count; ++i) {
                    long dg = palette[i].rgbGreen - green, db = palette[i].rgbBlue - blue, dr = palette[i].rgbRed - red;
                    if (dg * dg + db * db + dr * dr < bound) best = (int)i, bound = dg * dg + db * db + dr * dr;
                }
                ASSERT_EQ(dst.at(x, y, 0), best) << to.w << "x" << to.h << " at " << x << "," << y;
            }
    }
    // A single colour area maps to the first index holding it.
    std::vector<uint8_t> flat(16 * 16, 7), one(1);
    ASSERT_TRUE(pic_ResizeImage8(flat.data(), 16, 16, 16, one.data(), 1, 1, 1, palette.data(), count,
                                 PIC_RESIZE_DECIMATE, 0));
    EXPECT_EQ(one[0], 3);
    EXPECT_FALSE(pic_ResizeImage8(flat.data(), 16, 16, 16, one.data(), 1, 1, 1, nullptr, count, PIC_RESIZE_DECIMATE, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM) << "no palette";
    EXPECT_FALSE(pic_ResizeImage8(flat.data(), 16, 16, 16, one.data(), 1, 1, 1, palette.data(), 0, PIC_RESIZE_DECIMATE, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM) << "an empty palette";
    EXPECT_FALSE(pic_ResizeImage8(flat.data(), 16, 16, 15, one.data(), 1, 1, 1, palette.data(), count,
                                  PIC_RESIZE_DECIMATE, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM) << "short stride";
    EXPECT_FALSE(pic_ResizeImage8(flat.data(), 16, 16, 16, one.data(), 0, 1, 1, palette.data(), count,
                                  PIC_RESIZE_DECIMATE, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_OUT_OF_MEMORY) << "zero width";
}

// ---- bands and cancelling ----

TEST(FilterResize, BandsGiveTheSameBytesAsOneThread) {
    Image<uint8_t> src = RandomImage(97, 61, 3, 1, 130);
    BitImage bits(97, 61, 131);
    for (uint32_t filter : {0u, 8u, 13u}) {
        Image<uint8_t> alone(211, 150, 3), grayAlone(40, 23, 1);
        ASSERT_TRUE(pic_ResizeImage(src.pixels.data(), 97, 61, src.stride, alone.pixels.data(), 211, 150, 633, 3,
                                    filter, kNoThreads));
        ASSERT_TRUE(pic_ResizeImage1To8Gray(bits.bytes.data(), 97, 61, bits.stride, grayAlone.pixels.data(), 40, 23, 40,
                                            filter, kNoThreads));
        for (uint32_t bands = 1; bands <= 8; ++bands) {
            imgtest::BandCount count(bands);
            Image<uint8_t> banded(211, 150, 3), grayBanded(40, 23, 1);
            ASSERT_TRUE(pic_ResizeImage(src.pixels.data(), 97, 61, src.stride, banded.pixels.data(), 211, 150, 633, 3,
                                        filter, 0));
            ASSERT_TRUE(pic_ResizeImage1To8Gray(bits.bytes.data(), 97, 61, bits.stride, grayBanded.pixels.data(), 40,
                                                23, 40, filter, 0));
            EXPECT_EQ(banded.pixels, alone.pixels) << "filter " << filter << " bands " << bands;
            EXPECT_EQ(grayBanded.pixels, grayAlone.pixels) << "1-bit, filter " << filter << " bands " << bands;
        }
    }
}

TEST(FilterResize, ACancelStopsWithTheColumnsDone) {
    Image<uint8_t> src = RandomImage(50, 40, 1, 0, 140);
    for (uint32_t flags : {kNoThreads}) {
        Image<uint8_t> dst(100, 30, 1);
        int calls = 0;
        SetProgressCallback(
            [](uint32_t, uint32_t, void* user) -> BOOL {
                ++*static_cast<int*>(user);
                return FALSE;
            },
            &calls);
        BOOL ok = pic_ResizeImage(src.pixels.data(), 50, 40, 50, dst.pixels.data(), 100, 30, 100, 1, PIC_RESIZE_TRIANGLE,
                                  flags);
        SetProgressCallback(nullptr, nullptr);
        EXPECT_FALSE(ok) << flags;
        EXPECT_EQ(pic_GetLastError(), PIC_ERR_CANCELLED) << flags;
        EXPECT_GE(calls, 1);
    }
}

}  // namespace
