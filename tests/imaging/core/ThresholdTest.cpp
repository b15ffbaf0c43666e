#include "tests/QvTest.h"

#include <cstdint>
#include <vector>

#include "imaging/core/PicOperation.h"
#include "imaging/core/PicThresholdLevels.h"
#include "tests/imaging/core/ImagingTestSupport.h"

namespace {

using Bytes = std::vector<uint8_t>;

#include "tests/imaging/core/fixtures/threshold_cases.inc"

// The image with a stride two bytes wider than its rows, the gap filled with a level the image lacks.
Bytes Padded(const Bytes& pixels, uint32_t width, uint32_t height, uint32_t stride) {
    Bytes out((size_t)stride * height, 0xEE);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) out[y * stride + x] = pixels[y * width + x];
    return out;
}

uint8_t ComputeCut(const Bytes& pixels, uint32_t width, uint32_t height, uint32_t mode, uint32_t threshold) {
    const uint32_t stride = width + 2;
    const Bytes padded = Padded(pixels, width, height, stride);
    CPicOperation op;
    uint8_t cut = 0xAB;
    EXPECT_TRUE(op.ThresholdTo1Bit(padded.data(), nullptr, width, height, stride, 0, mode, threshold, 0, true, &cut));
    EXPECT_EQ(op.status, 0);
    return cut;
}

// Packed rows in which bit (7 - x % 8) of byte x / 8 says pixel x is at least `cut`.
Bytes PackedModel(const Bytes& pixels, uint32_t width, uint32_t height, uint32_t cut, uint32_t stride) {
    Bytes out((size_t)stride * height, 0x5A);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t k = 0; k < (width + 7) / 8; ++k) out[y * stride + k] = 0;
        for (uint32_t x = 0; x < width; ++x)
            if (pixels[y * width + x] >= cut) out[y * stride + x / 8] |= (uint8_t)(0x80 >> (x % 8));
    }
    return out;
}

Bytes Convert(const Bytes& pixels, uint32_t width, uint32_t height, uint32_t mode, uint32_t threshold,
              uint32_t dstStride) {
    const uint32_t stride = width + 3;
    const Bytes padded = Padded(pixels, width, height, stride);
    Bytes out((size_t)dstStride * height, 0x5A);
    CPicOperation op;
    uint8_t cut = 0xAB;
    EXPECT_TRUE(op.ThresholdTo1Bit(padded.data(), out.data(), width, height, stride, dstStride, mode, threshold, 0,
                                   false, &cut));
    EXPECT_EQ(op.status, 0);
    EXPECT_EQ(cut, 0) << "the level byte is only filled in when computing";
    return out;
}

TEST(Threshold, EveryAutomaticMethodFindsTheLevelOfTheModel) {
    for (const ThresholdImage& image : kThresholdImages)
        for (uint32_t mode = 1; mode < 14; ++mode) {
            if (image.cut[mode] < 0) continue;
            EXPECT_EQ(ComputeCut(image.pixels, image.width, image.height, mode, 0), image.cut[mode])
                << image.name << ", mode " << mode;
        }
}

TEST(Threshold, PercentileReachesTheShareOfPixels) {
    const uint32_t shares[4] = {0, 2500, 5000, 10001};
    for (const ThresholdImage& image : kThresholdImages)
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(ComputeCut(image.pixels, image.width, image.height, PIC_THRESH_PERCENTILE, shares[k]),
                      image.percentileCut[k])
                << image.name << ", share " << shares[k];
}

TEST(Threshold, ConversionSetsExactlyThePixelsAtOrAboveTheLevel) {
    for (const ThresholdImage& image : kThresholdImages)
        for (uint32_t mode : {PIC_THRESH_OTSU, PIC_THRESH_ENTROPY, PIC_THRESH_RENYI}) {
            const uint32_t dstStride = (image.width + 7) / 8 + 1;
            EXPECT_EQ(Convert(image.pixels, image.width, image.height, mode, 0, dstStride),
                      PackedModel(image.pixels, image.width, image.height, (uint32_t)image.cut[mode], dstStride))
                << image.name << ", mode " << mode;
        }
}

TEST(Threshold, FixedLevelsAndUnknownModes) {
    struct Case {
        const char* fault;
        uint32_t mode, threshold, cut;
    } cases[] = {
        {"level 100 sets 101 and above", PIC_THRESH_FIXED, 100, 101},
        {"level 254 keeps only 255", PIC_THRESH_FIXED, 254, 255},
        {"level 255 is held at 255", PIC_THRESH_FIXED, 255, 255},
        {"a huge level is held at 255", PIC_THRESH_FIXED, 0xFFFFFFFF, 255},
        {"mode 14 finds nothing and sets every pixel", 14, 100, 0},
        {"mode 200 likewise", 200, 0, 0},
    };
    const uint32_t width = 50, height = 6;
    Bytes pixels = imgtest::RandomBytes(width * height, 1401);
    pixels[0] = 0, pixels[1] = 100, pixels[2] = 101, pixels[3] = 254, pixels[4] = 255;
    for (const Case& c : cases) {
        EXPECT_EQ(ComputeCut(pixels, width, height, c.mode, c.threshold), c.cut) << c.fault;
        EXPECT_EQ(Convert(pixels, width, height, c.mode, c.threshold, 8), PackedModel(pixels, width, height, c.cut, 8))
            << c.fault;
    }
}

TEST(Threshold, OtsuOnTwoLevelsAboveTheThirtyTwoBitProduct) {
    // 305 x 305 pixels: wB * wF passes 2^32 / 2, which a 32-bit product turns negative.
    const uint32_t side = 305;
    Bytes pixels((size_t)side * side);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = i % 2 ? 200 : 10;
    EXPECT_EQ(ComputeCut(pixels, side, side, PIC_THRESH_OTSU, 0), 11);
}

TEST(Threshold, AdaptiveRunningAverageOnNarrowAndUniformImages) {
    for (const AdaptiveCase& c : kAdaptiveCases) {
        const uint32_t dstStride = (c.width + 7) / 8 + 1;
        Bytes expected((size_t)dstStride * c.height, 0x5A);
        for (uint32_t y = 0; y < c.height; ++y)
            for (uint32_t k = 0; k < (c.width + 7) / 8; ++k)
                expected[y * dstStride + k] = c.packed[y * ((c.width + 7) / 8) + k];
        EXPECT_EQ(Convert(c.pixels, c.width, c.height, PIC_THRESH_ADAPTIVE, c.share, dstStride), expected)
            << "width " << c.width << ", share " << c.share;
    }
}

TEST(Threshold, Refusals) {
    Bytes pixels(64, 9), out(64, 0);
    uint8_t cut = 0xAB;
    CPicOperation op;
    EXPECT_FALSE(op.ThresholdTo1Bit(pixels.data(), nullptr, 8, 8, 8, 1, PIC_THRESH_ADAPTIVE, 0, 0, true, &cut));
    EXPECT_EQ(op.status, PIC_ERR_BAD_PARAM) << "the adaptive method has no single level";
    EXPECT_EQ(cut, 0);
    EXPECT_FALSE(op.ThresholdTo1Bit(pixels.data(), out.data(), 0, 8, 8, 1, PIC_THRESH_MEAN, 0, 0, false, &cut));
    EXPECT_EQ(op.status, PIC_ERR_OUT_OF_MEMORY) << "an empty image has no mean";
    EXPECT_FALSE(op.ThresholdTo1Bit(pixels.data(), out.data(), 8, 0, 8, 1, PIC_THRESH_INTERMEANS, 0, 0, true, &cut));
    EXPECT_EQ(op.status, PIC_ERR_OUT_OF_MEMORY);
    EXPECT_FALSE(op.ThresholdTo1Bit(nullptr, out.data(), 8, 8, 8, 1, PIC_THRESH_OTSU, 0, 0, false, &cut));
    EXPECT_EQ(op.status, PIC_ERR_BAD_PARAM);
    EXPECT_FALSE(op.ThresholdTo1Bit(pixels.data(), nullptr, 8, 8, 8, 1, PIC_THRESH_OTSU, 0, 0, false, &cut));
    EXPECT_EQ(op.status, PIC_ERR_BAD_PARAM);
    EXPECT_FALSE(op.ThresholdTo1Bit(pixels.data(), out.data(), 8, 8, 7, 1, PIC_THRESH_OTSU, 0, 0, false, &cut));
    EXPECT_EQ(op.status, PIC_ERR_BAD_PARAM) << "a source stride shorter than a row";
    EXPECT_FALSE(op.ThresholdTo1Bit(pixels.data(), out.data(), 9, 4, 9, 1, PIC_THRESH_OTSU, 0, 0, false, &cut));
    EXPECT_EQ(op.status, PIC_ERR_BAD_PARAM) << "a destination stride shorter than a packed row";
    EXPECT_EQ(out, Bytes(64, 0)) << "refusals write nothing";
}

}  // namespace
