#include "tests/QvTest.h"

#include <vector>

#include "imaging/core/PicColorMatch.h"
#include "imaging/core/PicEntryPoints.h"
#include "tests/imaging/core/ImagingTestSupport.h"

namespace {

// Brute force: squared distance summed green, blue, red; a strictly smaller
// distance wins, so the first of equal entries does.
int NearestByBruteForce(const std::vector<RGBQUAD>& palette, int red, int green, int blue) {
    int best = 0;
    long bound = 1L << 40;
    for (size_t i = 0; i < palette.size() && i < 256; ++i) {
        long dg = palette[i].rgbGreen - green, db = palette[i].rgbBlue - blue, dr = palette[i].rgbRed - red;
        long d = dg * dg + db * db + dr * dr;
        if (d < bound) best = (int)i, bound = d;
    }
    return best;
}

std::vector<RGBQUAD> RandomPalette(size_t n, uint32_t stream) {
    std::vector<uint8_t> bytes = imgtest::RandomBytes(n * 3, stream);
    std::vector<RGBQUAD> palette(n);
    for (size_t i = 0; i < n; ++i) palette[i] = {bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2], 0};
    return palette;
}

TEST(ColorMatcher, AgreesWithABruteForceSearch) {
    struct Case {
        const char* name;
        size_t count;
    } cases[] = {{"one entry", 1}, {"sixteen", 16}, {"a full palette", 256}, {"duplicates among few", 5}};
    for (const Case& c : cases) {
        std::vector<RGBQUAD> palette = RandomPalette(c.count, (uint32_t)c.count);
        if (c.count == 5) palette[3] = palette[1];  // the lower index must win
        HGLOBAL matcher = pic_CreateColorMatcher(palette.data(), (uint32_t)palette.size());
        ASSERT_NE(matcher, nullptr) << c.name;
        // More than 255 different colours, each asked twice: misses, cache hits and cache resets.
        std::vector<uint8_t> colours = imgtest::RandomBytes(3 * 700, 77);
        for (int pass = 0; pass < 2; ++pass)
            for (size_t i = 0; i < 700; ++i) {
                int r = colours[3 * i], g = colours[3 * i + 1], b = colours[3 * i + 2];
                ASSERT_EQ(pic_FindClosestColor(matcher, (uint8_t)r, (uint8_t)g, (uint8_t)b),
                          NearestByBruteForce(palette, r, g, b))
                    << c.name << " colour " << i << " pass " << pass;
                ASSERT_EQ(pic_GetLastError(), 0);
            }
        EXPECT_TRUE(pic_DestroyColorMatcher(matcher));
    }
}

TEST(ColorMatcher, DuplicateEntriesGiveTheLowerIndex) {
    RGBQUAD palette[4] = {{0, 0, 0, 0}, {10, 20, 30, 0}, {10, 20, 30, 0}, {255, 255, 255, 0}};
    CPicImgColorMatch matcher;
    matcher.SetPalette(palette, 4);
    EXPECT_EQ(matcher.FindClosestColor(30, 20, 10), 1);
    EXPECT_EQ(matcher.FindClosestColor(30, 20, 10), 1) << "answered again, now from the cache";
    EXPECT_EQ(matcher.FindClosestColor(250, 250, 250), 3);
}

TEST(ColorMatcher, UsesAtMost256Entries) {
    std::vector<RGBQUAD> palette(300, RGBQUAD{0, 0, 0, 0});
    palette[280] = {9, 9, 9, 0};
    CPicImgColorMatch matcher;
    matcher.SetPalette(palette.data(), 300);
    EXPECT_EQ(matcher.FindClosestColor(9, 9, 9), 0) << "entry 280 is past the palette";
}

TEST(ColorMatcher, WithoutAPaletteAnswersZero) {
    CPicImgColorMatch matcher;
    EXPECT_EQ(matcher.FindClosestColor(1, 2, 3), 0);
    RGBQUAD palette[2] = {{0, 0, 0, 0}, {3, 2, 1, 0}};
    matcher.SetPalette(palette, 2);
    EXPECT_EQ(matcher.FindClosestColor(1, 2, 3), 1) << "nothing was cached before the palette";
}

TEST(ColorMatcher, EntryPointsRefuseANullHandle) {
    EXPECT_EQ(pic_FindClosestColor(nullptr, 1, 2, 3), -1);
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM);
    EXPECT_FALSE(pic_DestroyColorMatcher(nullptr));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM);
    HGLOBAL empty = pic_CreateColorMatcher(nullptr, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(pic_GetLastError(), 0);
    EXPECT_EQ(pic_FindClosestColor(empty, 9, 9, 9), 0);
    EXPECT_TRUE(pic_DestroyColorMatcher(empty));
}

}  // namespace
