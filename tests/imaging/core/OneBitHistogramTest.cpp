#include "tests/QvTest.h"

#include <vector>

#include "imaging/core/PicCpuFeatures.h"
#include "imaging/core/PicHistogramEntryPoints.h"
#include "imaging/core/PicThreadState.h"
#include "tests/imaging/core/ImagingTestSupport.h"

namespace {

TEST(OneBitHistogram, CountsPixelBitsOnlyForWidthsOneToSeventy) {
    for (uint32_t w = 1; w <= 70; ++w) {
        const uint32_t h = 3, stride = (w + 7) / 8 + 2;
        std::vector<uint8_t> image = imgtest::RandomBytes(stride * h, w);
        for (uint32_t y = 0; y < h; ++y) image[y * stride + (w + 7) / 8 - 1] |= (uint8_t)(0xFF >> (w % 8 ? w % 8 : 8));
        uint32_t ones = 0;
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) ones += (image[y * stride + x / 8] >> (7 - x % 8)) & 1;
        uint32_t counts[2] = {99, 99};
        EXPECT_TRUE(pic_GetOneBitHistogram(image.data(), w, h, stride, counts, 0));
        EXPECT_EQ(counts[1], ones) << "width " << w << ": set padding bits must not count";
        EXPECT_EQ(counts[0], w * h - ones) << "width " << w;
    }
}

// Wide rows, padded and tightly packed, with and without the word counter.
TEST(OneBitHistogram, CountsWideRowsWithAndWithoutPopcnt) {
    struct Case {
        uint32_t width, height, padding;
    };
    const Case cases[] = {{256, 5, 0}, {256, 5, 3}, {263, 4, 1}, {4960, 9, 0}, {1000, 7, 0}, {8 * 37, 11, 0}};
    for (uint16_t mask : {(uint16_t)0xFFFF, (uint16_t)~PIC_CPU_SSE42}) {
        PicSetCpuFeatureMaskForTesting(mask);
        for (const Case& c : cases) {
            const uint32_t stride = (c.width + 7) / 8 + c.padding;
            std::vector<uint8_t> image = imgtest::RandomBytes((size_t)stride * c.height, c.width + c.padding);
            uint32_t ones = 0;
            for (uint32_t y = 0; y < c.height; ++y)
                for (uint32_t x = 0; x < c.width; ++x) ones += (image[y * stride + x / 8] >> (7 - x % 8)) & 1;
            uint32_t counts[2] = {0, 0};
            EXPECT_TRUE(pic_GetOneBitHistogram(image.data(), c.width, c.height, stride, counts, 0));
            EXPECT_EQ(counts[1], ones) << c.width << "x" << c.height << " padding " << c.padding << " mask " << mask;
            EXPECT_EQ(counts[0], c.width * c.height - ones) << c.width << "x" << c.height;
        }
    }
    PicSetCpuFeatureMaskForTesting(0xFFFF);
}

TEST(OneBitHistogram, TenPixelRowOfSetBytesAndRefusals) {
    const uint8_t row[2] = {0xFF, 0xFF};
    uint32_t counts[2] = {7, 7};
    EXPECT_TRUE(pic_GetOneBitHistogram(row, 10, 1, 2, counts, 0));
    EXPECT_EQ(counts[0], 0u);
    EXPECT_EQ(counts[1], 10u);
    EXPECT_FALSE(pic_GetOneBitHistogram(nullptr, 10, 1, 2, counts, 0));
    EXPECT_EQ(pic_GetLastError(), 5);
    EXPECT_FALSE(pic_GetOneBitHistogram(row, 10, 1, 2, nullptr, 0));
    EXPECT_EQ(pic_GetLastError(), 5);
}

}  // namespace
