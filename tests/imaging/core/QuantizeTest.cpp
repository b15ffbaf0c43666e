// Quantising 24-bit images to 8-bit: the mapping against the model in
// QuantizeModel.h, both palette builders through their stated outcomes.
#include "tests/QvTest.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "imaging/core/PicEntryPoints.h"
#include "imaging/core/PicQuantizeEntryPoints.h"
#include "imaging/core/PicResult.h"
#include "tests/imaging/core/ImagingTestSupport.h"
#include "tests/imaging/core/QuantizeModel.h"

namespace {

struct RgbImage {
    uint32_t width, height, pixelBytes, stride;
    std::vector<uint8_t> bytes;
    RgbImage(uint32_t w, uint32_t h, uint32_t pixel = 3, uint32_t padding = 0)
        : width(w), height(h), pixelBytes(pixel), stride(w * pixel + padding), bytes((size_t)stride * h) {}
    uint8_t* At(uint32_t x, uint32_t y) { return bytes.data() + (size_t)y * stride + (size_t)x * pixelBytes; }
};

// Smooth ramps with noise: error diffusion has something to carry.
RgbImage Ramp(uint32_t w, uint32_t h, uint32_t padding, uint32_t stream) {
    RgbImage image(w, h, 3, padding);
    std::vector<uint8_t> noise = imgtest::RandomBytes(image.bytes.size(), stream);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            uint8_t* p = image.At(x, y);
            p[0] = (uint8_t)(x * 255 / std::max(w - 1, 1u));
            p[1] = (uint8_t)(y * 255 / std::max(h - 1, 1u));
            p[2] = (uint8_t)(((x + y) * 3 + noise[(size_t)y * image.stride + x] % 17) & 0xFF);
        }
    return image;
}

std::vector<RGBQUAD> RandomPalette(uint32_t count, uint32_t stream) {
    std::vector<uint8_t> bytes = imgtest::RandomBytes(count * 3, stream);
    std::vector<RGBQUAD> palette(count);
    for (uint32_t i = 0; i < count; ++i) palette[i] = {bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2], 0};
    return palette;
}

// Index of the 15-bit cell: the top five bits of the bytes interleaved, byte 0 highest.
uint32_t CellIndex(const uint8_t* p) {
    uint32_t cell = 0;
    for (int b = 7; b >= 3; --b)
        for (int k = 0; k < 3; ++k) cell = cell << 1 | ((p[k] >> b) & 1);
    return cell;
}

bool SameEntry(const RGBQUAD& a, const RGBQUAD& b) {
    return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
}

// ---- the mapping ----

TEST(PaletteMapping, BothDitherModesMatchTheModel) {
    struct Case {
        const char* name;
        uint32_t colours, flags;
        int dither, limit;
    } cases[] = {
        {"Floyd-Steinberg, limit 20", 16, 0, 1, 20},
        {"Floyd-Steinberg, palette order", 16, 1, 1, 20},
        {"two neighbours, limit 20", 16, 0, 0, 20},
        {"two neighbours, palette order, limit 127", 7, 1, 0, 127},
        {"Floyd-Steinberg, limit 0 diffuses nothing", 16, 0, 2, 0},
        {"Floyd-Steinberg, limit 200 works as given", 5, 0, 1, 200},
        {"a negative limit is 0", 16, 0, 1, -30},
        {"one colour", 1, 0, 1, 20},
        {"256 colours", 256, 0, 1, 20},
        {"a count past 256 uses 256", 300, 0, 1, 20},
    };
    for (const Case& c : cases) {
        for (uint32_t w : {1u, 2u, 61u}) {
            RgbImage image = Ramp(w, 37, 5, 7 + w);
            std::vector<RGBQUAD> palette = RandomPalette(c.colours, 200 + c.colours);
            std::vector<uint8_t> dst((size_t)(w + 3) * 37, 0xEE);
            ASSERT_TRUE(pic_RGBTo8BitDithered(image.bytes.data(), w, 37, image.stride, dst.data(), w + 3, c.colours,
                                              palette.data(), c.dither, c.limit, c.flags))
                << c.name << " " << pic_GetLastError();
            palette.resize(std::min<size_t>(palette.size(), 256));
            std::vector<uint8_t> expected = quantizemodel::MapToPalette(image.bytes, w, 37, image.stride, 3, palette,
                                                                        c.flags & 1, c.dither, c.limit);
            for (uint32_t y = 0; y < 37; ++y) {
                for (uint32_t x = 0; x < w; ++x)
                    ASSERT_EQ(dst[(size_t)y * (w + 3) + x], expected[(size_t)y * w + x])
                        << c.name << " width " << w << " at " << x << "," << y;
                EXPECT_EQ(dst[(size_t)y * (w + 3) + w], 0xEE) << "padding is left alone";
            }
        }
    }
}

TEST(PaletteMapping, ErrorsLandUnderTheirOwnColumn) {
    // A grey ramp onto black and white: with the errors of right-to-left rows
    // kept by column, the second row sees the first row's errors under each
    // pixel; mirrored rows would put a long run of one index on the wrong side.
    RgbImage image(40, 2);
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 40; ++x) memset(image.At(x, y), (int)(x < 20 ? 40 : 200), 3);
    std::vector<RGBQUAD> palette = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    std::vector<uint8_t> dst(80);
    ASSERT_TRUE(pic_RGBTo8BitDithered(image.bytes.data(), 40, 2, 120, dst.data(), 40, 2, palette.data(), 1, 127, 0));
    EXPECT_EQ(dst, quantizemodel::MapToPalette(image.bytes, 40, 2, 120, 3, palette, false, 1, 127));
}

TEST(PaletteMapping, Refusals) {
    RgbImage image(8, 4);
    std::vector<RGBQUAD> palette = RandomPalette(4, 3);
    std::vector<uint8_t> dst(64);
    struct Case {
        const char* name;
        const uint8_t* src;
        uint8_t* dst;
        uint32_t w, h, sstride, dstride, count;
        const RGBQUAD* palette;
    } cases[] = {
        {"no palette entries", image.bytes.data(), dst.data(), 8, 4, 24, 8, 0, palette.data()},
        {"null palette", image.bytes.data(), dst.data(), 8, 4, 24, 8, 4, nullptr},
        {"null source", nullptr, dst.data(), 8, 4, 24, 8, 4, palette.data()},
        {"null destination", image.bytes.data(), nullptr, 8, 4, 24, 8, 4, palette.data()},
        {"zero width", image.bytes.data(), dst.data(), 0, 4, 24, 8, 4, palette.data()},
        {"zero height", image.bytes.data(), dst.data(), 8, 0, 24, 8, 4, palette.data()},
        {"short source stride", image.bytes.data(), dst.data(), 8, 4, 23, 8, 4, palette.data()},
        {"short destination stride", image.bytes.data(), dst.data(), 8, 4, 24, 7, 4, palette.data()},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(pic_RGBTo8BitDithered(c.src, c.w, c.h, c.sstride, c.dst, c.dstride, c.count, c.palette, 1, 20, 0))
            << c.name;
        EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM) << c.name;
        if (c.palette == nullptr || c.count == 0) continue;
        RGBQUAD out[4];
        EXPECT_FALSE(pic_QuantizeRGBTo8Bit(c.src, c.w, c.h, c.sstride, c.dst, c.dstride, 4, out, 1, 20, 0)) << c.name;
        EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM) << "quantising, " << c.name;
    }
    EXPECT_FALSE(pic_QuantizeRGBTo8Bit(image.bytes.data(), 8, 4, 24, dst.data(), 8, 4, nullptr, 1, 20, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM) << "no palette to fill";
}

TEST(PaletteMapping, ACancelStopsWith14) {
    RgbImage image = Ramp(30, 20, 0, 5);
    std::vector<RGBQUAD> palette = RandomPalette(8, 5);
    std::vector<uint8_t> dst(600);
    SetProgressCallback([](uint32_t, uint32_t, void*) -> BOOL { return FALSE; }, nullptr);
    BOOL ok = pic_RGBTo8BitDithered(image.bytes.data(), 30, 20, 90, dst.data(), 30, 8, palette.data(), 1, 20, 0);
    SetProgressCallback(nullptr, nullptr);
    EXPECT_FALSE(ok);
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_CANCELLED);
}

// ---- palette builders ----

constexpr uint32_t kLinked = 4;

TEST(Quantize, OneColourGivesThatColourFirstAndBlackAfter) {
    for (uint32_t flags : {0u, kLinked}) {
        RgbImage image(13, 7);
        for (uint32_t y = 0; y < 7; ++y)
            for (uint32_t x = 0; x < 13; ++x) {
                uint8_t* p = image.At(x, y);
                p[0] = 201, p[1] = 17, p[2] = 99;
            }
        std::vector<RGBQUAD> palette(257, RGBQUAD{1, 2, 3, 4});
        std::vector<uint8_t> dst(13 * 7, 0xEE);
        ASSERT_TRUE(pic_QuantizeRGBTo8Bit(image.bytes.data(), 13, 7, 39, dst.data(), 13, 256, palette.data(), 1, 20,
                                          flags));
        EXPECT_TRUE(SameEntry(palette[0], RGBQUAD{99, 17, 201, 0})) << flags;
        for (uint32_t i = 1; i < 256; ++i) ASSERT_TRUE(SameEntry(palette[i], RGBQUAD{0, 0, 0, 0})) << flags << " " << i;
        EXPECT_TRUE(SameEntry(palette[256], RGBQUAD{1, 2, 3, 4})) << "nothing past 256 entries is written";
        for (uint8_t v : dst) ASSERT_EQ(v, 0);
    }
}

TEST(Quantize, ColourCountsBelowTwoGiveTheRoundedMeanAndAboveTwoFiftySixGive256) {
    RgbImage image = Ramp(17, 9, 2, 11);
    uint64_t sum[3] = {};
    for (uint32_t y = 0; y < 9; ++y)
        for (uint32_t x = 0; x < 17; ++x)
            for (int k = 0; k < 3; ++k) sum[k] += image.At(x, y)[k];
    const uint64_t n = 17 * 9;
    RGBQUAD mean = {(uint8_t)((sum[2] + n / 2) / n), (uint8_t)((sum[1] + n / 2) / n), (uint8_t)((sum[0] + n / 2) / n), 0};
    for (uint32_t colours : {0u, 1u}) {
        RGBQUAD palette[2] = {{7, 7, 7, 7}, {7, 7, 7, 7}};
        std::vector<uint8_t> dst(17 * 9, 0xEE);
        ASSERT_TRUE(pic_QuantizeRGBTo8Bit(image.bytes.data(), 17, 9, image.stride, dst.data(), 17, colours, palette, 1,
                                          20, 0));
        EXPECT_TRUE(SameEntry(palette[0], mean)) << colours;
        EXPECT_EQ(palette[1].rgbRed, 7) << "only one entry is written";
        for (uint8_t v : dst) ASSERT_EQ(v, 0);
    }
    std::vector<RGBQUAD> palette(300, RGBQUAD{7, 7, 7, 7});
    std::vector<uint8_t> dst(17 * 9);
    ASSERT_TRUE(pic_QuantizeRGBTo8Bit(image.bytes.data(), 17, 9, image.stride, dst.data(), 17, 1000, palette.data(), 1,
                                      20, 0));
    EXPECT_EQ(palette[255].rgbReserved, 0) << "256 entries are written";
    EXPECT_EQ(palette[256].rgbReserved, 7) << "and no more";
}

// An image of a few colours, each covering a run of pixels.
RgbImage FewColours(const std::vector<std::array<uint8_t, 3>>& colours, uint32_t w, uint32_t h) {
    RgbImage image(w, h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) memcpy(image.At(x, y), colours[(x * 7 + y * 3) % colours.size()].data(), 3);
    return image;
}

TEST(Quantize, FixedCubeGivesCellMeansInDescendingCellOrder) {
    // Colours that share a cell merge; cells take their rounded means and
    // come out from the highest cell index down, in either pixel order.
    std::vector<std::array<uint8_t, 3>> colours = {{10, 200, 30}, {12, 201, 31}, {250, 5, 90}, {0, 0, 0},
                                                   {128, 128, 128}, {129, 130, 131}, {40, 41, 250}};
    for (uint32_t order : {0u, 1u}) {
        RgbImage image = FewColours(colours, 23, 11);
        if (order == 1)
            for (uint32_t y = 0; y < 11; ++y)
                for (uint32_t x = 0; x < 23; ++x) std::swap(image.At(x, y)[0], image.At(x, y)[2]);
        std::map<uint32_t, std::array<uint64_t, 4>> cells;  // sums and count
        for (uint32_t y = 0; y < 11; ++y)
            for (uint32_t x = 0; x < 23; ++x) {
                auto& c = cells[CellIndex(image.At(x, y))];
                for (int k = 0; k < 3; ++k) c[k] += image.At(x, y)[k];
                ++c[3];
            }
        std::vector<RGBQUAD> expected;
        for (auto it = cells.rbegin(); it != cells.rend(); ++it) {
            auto& c = it->second;
            auto mean = [&](int k) { return (uint8_t)((c[k] + c[3] / 2) / c[3]); };
            expected.push_back(order == 0 ? RGBQUAD{mean(2), mean(1), mean(0), 0} : RGBQUAD{mean(0), mean(1), mean(2), 0});
        }
        ASSERT_EQ(expected.size(), 5u) << "two pairs share a cell";
        std::vector<RGBQUAD> palette(16);
        std::vector<uint8_t> dst(23 * 11);
        ASSERT_TRUE(
            pic_QuantizeRGBTo8Bit(image.bytes.data(), 23, 11, 69, dst.data(), 23, 16, palette.data(), 1, 0, order));
        for (size_t i = 0; i < expected.size(); ++i) EXPECT_TRUE(SameEntry(palette[i], expected[i])) << order << " " << i;
    }
}

TEST(Quantize, LinkedOctreeKeepsColoursApartWhileTheBudgetAllows) {
    std::vector<std::array<uint8_t, 3>> colours = {{10, 200, 30}, {12, 201, 33}, {250, 5, 90}, {128, 128, 128},
                                                   {129, 130, 131}};
    RgbImage image = FewColours(colours, 23, 11);
    std::vector<RGBQUAD> palette(8);
    std::vector<uint8_t> dst(23 * 11);
    ASSERT_TRUE(pic_QuantizeRGBTo8Bit(image.bytes.data(), 23, 11, 69, dst.data(), 23, 8, palette.data(), 1, 0, kLinked));
    // Depth-first, children 0 to 7: ordered by the colours' bits interleaved red, green, blue from the top.
    std::vector<std::array<uint8_t, 3>> sorted = colours;
    auto key = [](const std::array<uint8_t, 3>& c) {
        uint32_t k = 0;
        for (int b = 7; b >= 0; --b)
            for (int i = 0; i < 3; ++i) k = k << 1 | ((c[i] >> b) & 1);
        return k;
    };
    std::sort(sorted.begin(), sorted.end(), [&](auto& a, auto& b) { return key(a) < key(b); });
    for (size_t i = 0; i < sorted.size(); ++i)
        EXPECT_TRUE(SameEntry(palette[i], RGBQUAD{sorted[i][2], sorted[i][1], sorted[i][0], 0})) << i;
    for (size_t i = sorted.size(); i < 8; ++i) EXPECT_TRUE(SameEntry(palette[i], RGBQUAD{0, 0, 0, 0})) << i;
    // Without diffusion the mapping finds each colour's own entry, except where two colours share a 15-bit cell of its lookup.
    for (uint32_t y = 0; y < 11; ++y)
        for (uint32_t x = 0; x < 23; ++x) {
            const RGBQUAD& q = palette[dst[y * 23 + x]];
            const uint8_t* p = image.At(x, y);
            if (p[0] >= 128 && p[0] <= 129) continue;
            ASSERT_TRUE(q.rgbRed == p[0] && q.rgbGreen == p[1] && q.rgbBlue == p[2]) << x << "," << y;
        }
    // A budget of 4 merges; no more than 4 entries hold colours.
    std::vector<RGBQUAD> four(4);
    ASSERT_TRUE(pic_QuantizeRGBTo8Bit(image.bytes.data(), 23, 11, 69, dst.data(), 23, 4, four.data(), 1, 20, kLinked));
    for (uint8_t v : dst) ASSERT_LT(v, 4);
}

TEST(Quantize, PixelOrderAndFourBytePixelsGiveTheSameResult) {
    RgbImage rgb = Ramp(45, 29, 3, 21);
    RgbImage bgr(45, 29, 3, 3), rgbx(45, 29, 4, 1);
    for (uint32_t y = 0; y < 29; ++y)
        for (uint32_t x = 0; x < 45; ++x) {
            const uint8_t* p = rgb.At(x, y);
            uint8_t* q = bgr.At(x, y);
            q[0] = p[2], q[1] = p[1], q[2] = p[0];
            memcpy(rgbx.At(x, y), p, 3);
            rgbx.At(x, y)[3] = (uint8_t)(x * 13);
        }
    for (uint32_t builder : {0u, kLinked})
        for (int dither : {0, 1}) {
            std::vector<RGBQUAD> a(64), b(64), c(64);
            std::vector<uint8_t> da(45 * 29), db(45 * 29), dc(45 * 29);
            ASSERT_TRUE(pic_QuantizeRGBTo8Bit(rgb.bytes.data(), 45, 29, rgb.stride, da.data(), 45, 64, a.data(), dither,
                                              20, builder));
            ASSERT_TRUE(pic_QuantizeRGBTo8Bit(bgr.bytes.data(), 45, 29, bgr.stride, db.data(), 45, 64, b.data(), dither,
                                              20, builder | 1));
            ASSERT_TRUE(pic_QuantizeRGBTo8Bit(rgbx.bytes.data(), 45, 29, rgbx.stride, dc.data(), 45, 64, c.data(),
                                              dither, 20, builder | 2));
            // The fixed cube spreads byte 0 highest, so only the linked octree
            // builds the same tree from the other pixel order.
            for (int i = 0; i < 64; ++i) {
                if (builder == kLinked) {
                    EXPECT_TRUE(SameEntry(a[i], b[i])) << "palette order, entry " << i;
                }
                EXPECT_TRUE(SameEntry(a[i], c[i])) << "four bytes, builder " << builder << " entry " << i;
            }
            if (builder == kLinked) {
                EXPECT_EQ(da, db);
            }
            EXPECT_EQ(da, dc) << builder;
            EXPECT_EQ(db, quantizemodel::MapToPalette(bgr.bytes, 45, 29, bgr.stride, 3, b, true, dither, 20));
            // The mapping stage is the model's mapping onto the built palette, all 64 entries taking part.
            EXPECT_EQ(da, quantizemodel::MapToPalette(rgb.bytes, 45, 29, rgb.stride, 3, a, false, dither, 20));
        }
}

TEST(Quantize, SumsOfALargeWhiteImageDoNotWrap) {
    // 4096 x 4200 pixels of 255 sum past 2^32 in one cell.
    const uint32_t w = 4096, h = 4200;
    std::vector<uint8_t> white((size_t)w * h * 3, 255), dst((size_t)w * h);
    for (uint32_t builder : {0u, kLinked})
        for (uint32_t colours : {1u, 256u}) {
            std::vector<RGBQUAD> palette(colours);
            ASSERT_TRUE(pic_QuantizeRGBTo8Bit(white.data(), w, h, w * 3, dst.data(), w, colours, palette.data(), 1, 20,
                                              builder));
            EXPECT_TRUE(SameEntry(palette[0], RGBQUAD{255, 255, 255, 0}))
                << "builder " << builder << " colours " << colours << ": " << (int)palette[0].rgbRed;
        }
}

}  // namespace
