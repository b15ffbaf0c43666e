#include "tests/QvTest.h"

#include <cstring>
#include <vector>

#include "imaging/core/PicConvert.h"
#include "imaging/core/PicEntryPoints.h"
#include "imaging/core/PicImgUtil.h"
#include "imaging/core/PicOperation.h"
#include "tests/imaging/core/ImagingTestSupport.h"

namespace {

using imgtest::Hex;
using Bytes = std::vector<uint8_t>;

std::string HexOf(const Bytes& b) { return Hex(b.data(), b.size()); }

TEST(Convert16To8Bit, RoundsTheSampleDividedBy257) {
    struct Case {
        uint16_t sample;
        uint8_t rounded, low;
    } cases[] = {
        {0x10A0, 0x11, 0xA0},  // low - high = 144: rounds up
        {0x80FF, 0x80, 0xFF},  // 127: stays
        {0x0081, 0x01, 0x81},  // 129: rounds up
        {0x0080, 0x00, 0x80},  // 128 exactly: stays
        {0xFFFF, 0xFF, 0xFF},
        {0x0000, 0x00, 0x00},
    };
    for (const Case& c : cases) {
        CPicOperation op;
        uint16_t src[2] = {c.sample, c.sample};
        uint8_t dst[2] = {};
        ASSERT_TRUE(op.Convert16To8Bit(src, 1, 1, 2, 2, dst, 2, 0));
        EXPECT_EQ(dst[1], c.rounded) << std::hex << c.sample;
        ASSERT_TRUE(op.Convert16To8Bit(src, 2, 1, 1, 2, dst, 2, 1));
        EXPECT_EQ(dst[0], c.low) << std::hex << c.sample;
    }
    // Long rows take the vector path: every sample still follows the rule.
    std::vector<uint16_t> samples(1000);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = (uint16_t)(i * 65.537 + (i % 7) * 3);
    for (uint16_t mask : {(uint16_t)0xFFFF, (uint16_t)~PIC_CPU_SSE2}) {
        imgtest::FeatureMask features(mask);
        std::vector<uint8_t> out(1000);
        CPicOperation row;
        ASSERT_TRUE(row.Convert16To8Bit(samples.data(), 333, 1, 3, 999, out.data(), 999, 0));
        for (size_t i = 0; i < 999; ++i) {
            int low = samples[i] & 0xFF, high = samples[i] >> 8;
            ASSERT_EQ(out[i], low - high > 128 ? high + 1 : high) << i << ", features " << mask;
        }
    }
    CPicOperation op;
    uint16_t same[2] = {};
    EXPECT_FALSE(op.Convert16To8Bit(same, 1, 1, 2, 2, (uint8_t*)same, 2, 0));
    EXPECT_EQ(op.status, PIC_ERR_BAD_PARAM);
}

TEST(Unpacking, EveryDepthMostSignificantBitsFirst) {
    struct Case {
        const char* why;
        uint32_t bits, width;
        Bytes src;
        Bytes want;
    } cases[] = {
        {"1 bit, 8 at a time and the rest", 1, 11, {0xA5, 0xC0}, {1, 0, 1, 0, 0, 1, 0, 1, 1, 1, 0}},
        {"2 bits", 2, 5, {0x1B, 0xC0}, {0, 1, 2, 3, 3}},
        {"3 bits straddle bytes", 3, 5, {0b10101101, 0b01110000}, {5, 3, 2, 7, 0}},
        {"4 bits high nibble first", 4, 3, {0x3C, 0xF0}, {3, 12, 15}},
        {"5 bits", 5, 3, {0b11111000, 0b01000110}, {31, 1, 3}},
        {"8 bits copied", 8, 3, {9, 8, 7}, {9, 8, 7}},
    };
    for (const Case& c : cases) {
        CPicOperation op;
        Bytes dst(c.width + 2, 0xEE);
        ASSERT_TRUE(op.UnpackRowTo8Bit(c.src.data(), c.width, c.bits, dst.data())) << c.why;
        Bytes want = c.want;
        want.resize(c.width + 2, 0xEE);
        EXPECT_EQ(HexOf(dst), HexOf(want)) << c.why;
    }
    CPicOperation op;
    uint8_t b = 0;
    EXPECT_FALSE(op.UnpackRowTo8Bit(&b, 1, 9, &b));
    EXPECT_EQ(op.status, PIC_ERR_BAD_PARAM);
}

TEST(Unpacking, BufferEntryPointRowsAndRefusals) {
    const uint8_t src[2 * 2] = {0xF0, 0x00, 0x0F, 0x00};  // 2 rows of 4-bit pixels, stride 2
    uint8_t dst[2 * 4] = {};
    ASSERT_TRUE(pic_UnpackBufferTo8Bit(src, 3, 2, 2, 4, dst, 4, 0));
    EXPECT_EQ(Hex(dst, 8), "0F 00 00 00 00 0F 00 00 ");
    EXPECT_EQ(pic_GetLastError(), 0);
    EXPECT_FALSE(pic_UnpackBufferTo8Bit(src, 0, 2, 2, 4, dst, 4, 0)) << "zero width";
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM);
    EXPECT_FALSE(pic_UnpackBufferTo8Bit(src, 3, 2, 2, 4, dst, 2, 0)) << "destination rows overlap";
    EXPECT_FALSE(pic_UnpackBufferTo8Bit(src, 3, 2, 2, 0, dst, 4, 0)) << "0 bits";
}

TEST(Packing, LowBitsOfEachByteLeftAligned) {
    struct Case {
        const char* why;
        uint32_t bits;
        Bytes src;
        Bytes want;
    } cases[] = {
        {"5 pixels at 1 bit", 1, {1, 0, 1, 1, 1}, {0xB8}},
        {"255 packs to all ones", 1, {255, 255, 255, 255, 255, 255, 255, 255, 255}, {0xFF, 0x80}},
        {"4 bits, odd count", 4, {0x1F, 0x02, 0x03}, {0xF2, 0x30}},
        {"3 bits through the accumulator", 3, {5, 3, 2, 7, 0}, {0b10101101, 0b01110000}},
        {"2 bits", 2, {0, 1, 2, 3, 3}, {0x1B, 0xC0}},
        {"8 bits copied", 8, {1, 2, 3}, {1, 2, 3}},
    };
    for (const Case& c : cases) {
        CPicOperation op;
        Bytes dst(c.want.size() + 1, 0xEE);
        ASSERT_TRUE(op.PackRowsFrom8Bit(c.src.data(), (uint32_t)c.src.size(), 1, 0, dst.data(), c.bits, false, 0))
            << c.why;
        Bytes want = c.want;
        want.push_back(0xEE);
        EXPECT_EQ(HexOf(dst), HexOf(want)) << c.why;
    }
}

TEST(Packing, RowsOnTheirOwnOrAsOneStream) {
    const uint8_t src[2 * 4] = {1, 1, 1, 0, 0, 1, 0, 1};  // 2 rows of 3 pixels, stride 4
    uint8_t rows[2 * 2] = {0xEE, 0xEE, 0xEE, 0xEE};
    CPicOperation op;
    ASSERT_TRUE(op.PackRowsFrom8Bit(src, 3, 2, 4, rows, 1, true, 2));
    EXPECT_EQ(Hex(rows, 4), "E0 EE 40 EE ");
    uint8_t stream[2] = {0xEE, 0xEE};
    ASSERT_TRUE(op.PackRowsFrom8Bit(src, 3, 2, 4, stream, 1, false, 0));
    EXPECT_EQ(Hex(stream, 2), "E8 EE ") << "111 then 010, then two zero bits";
    EXPECT_FALSE(op.PackRowsFrom8Bit(nullptr, 3, 2, 4, rows, 1, true, 2));
    EXPECT_EQ(op.status, PIC_ERR_BAD_PARAM);
}

TEST(Packing, RoundTripOfRandomRowsAtEveryDepth) {
  for (uint16_t mask : {(uint16_t)0xFFFF, (uint16_t)~PIC_CPU_SSE2}) {
    imgtest::FeatureMask features(mask);
    for (uint32_t bits = 1; bits <= 8; ++bits) {
        for (size_t li = 1; li < imgtest::kAwkwardLengthCount; ++li) {
            uint32_t width = imgtest::kAwkwardLengths[li];
            Bytes values = imgtest::RandomBytes(width, width * bits);
            for (auto& v : values) v &= (uint8_t)((1u << bits) - 1);
            Bytes packed((width * bits + 7) / 8), back(width);
            CPicOperation op;
            ASSERT_TRUE(op.PackRowsFrom8Bit(values.data(), width, 1, 0, packed.data(), bits, false, 0));
            ASSERT_TRUE(op.UnpackRowTo8Bit(packed.data(), width, bits, back.data()));
            ASSERT_EQ(back, values) << bits << " bits, width " << width << ", features " << mask;
        }
    }
  }
}

TEST(IndexRows, ExpandAndRepack) {
    const uint8_t nibbles[2] = {0xA3, 0x70};
    uint8_t out[3];
    ExpandIndexRowTo8Bit(nibbles, out, 3, 4);
    EXPECT_EQ(Hex(out, 3), "0A 03 07 ");
    const uint8_t pairs[2] = {0x1B, 0x80};  // 0 1 2 3 | 2
    uint8_t four[3] = {0xEE, 0xEE, 0xEE};
    Pack2BitRowTo4Bit(pairs, four, 2, 5);
    EXPECT_EQ(Hex(four, 3), "01 23 20 ") << "an odd last pixel fills a high nibble alone";
}

TEST(PackedRows, BitFieldMasks) {
    struct Case {
        const char* why;
        uint32_t pixel, mask;
        uint8_t want;
    } cases[] = {
        {"5-6-5 red moves right by 8", 0xF800, 0xF800, 0xF8},
        {"5-6-5 green moves right by 3", 0x07E0, 0x07E0, 0xFC},
        {"5-6-5 blue moves left by 3", 0x001F, 0x001F, 0xF8},
        {"run ending at bit 7 stays", 0x00F0, 0x00F0, 0xF0},
        {"run ending at bit 8 moves right by 1", 0x01F0, 0x01F0, 0xF8},
        {"only the run's bits count", 0x1234, 0x0F00, 0x20},
        {"empty mask gives 0", 0xFFFF, 0, 0},
        {"bits above 15 are ignored", 0xFFFF, 0xFFFF0000, 0},
        {"5-5-5 green", 0x03E0, 0x03E0, 0xF8},
    };
    for (const Case& c : cases) EXPECT_EQ(ExtractBitField(c.pixel, c.mask), c.want) << c.why;
}

TEST(PackedRows, EveryDepthToRGBAndRGBA) {
    RGBQUAD palette[3] = {{1, 2, 3, 0}, {10, 20, 30, 0}, {100, 110, 120, 0}};  // blue, green, red
    const CPicBitFieldMasks masks565 = {0xF800, 0x07E0, 0x001F};
    struct Case {
        const char* why;
        uint32_t bits, width;
        Bytes src;
        const RGBQUAD* pal;
        uint32_t palCount;
        const CPicBitFieldMasks* masks;
        bool rgba, keep;
        Bytes want;
    } cases[] = {
        {"8-bit indices", 8, 2, {2, 1}, palette, 3, nullptr, false, false, {120, 110, 100, 30, 20, 10}},
        {"indices beyond the count read entry 0", 8, 2, {200, 3}, palette, 3, nullptr, false, false,
         {3, 2, 1, 3, 2, 1}},
        {"no palette entries give black", 4, 2, {0x10}, palette, 0, nullptr, false, false, {0, 0, 0, 0, 0, 0}},
        {"4-bit with alpha", 4, 1, {0x10}, palette, 3, nullptr, true, false, {30, 20, 10, 77}},
        {"1-bit", 1, 3, {0x40}, palette, 2, nullptr, false, false, {3, 2, 1, 30, 20, 10, 3, 2, 1}},
        {"16-bit 5-5-5", 16, 1, {0x1F, 0x7C}, nullptr, 0, nullptr, false, false, {255, 0, 255}},
        {"16-bit 5-6-5 masks", 16, 1, {0xE0, 0x07}, nullptr, 0, &masks565, true, false, {0, 252, 0, 77}},
        {"24-bit swapped", 24, 2, {1, 2, 3, 4, 5, 6}, nullptr, 0, nullptr, false, false, {3, 2, 1, 6, 5, 4}},
        {"24-bit kept", 24, 1, {1, 2, 3}, nullptr, 0, nullptr, false, true, {1, 2, 3}},
        {"24-bit to RGBA", 24, 1, {1, 2, 3}, nullptr, 0, nullptr, true, false, {3, 2, 1, 77}},
        {"32-bit takes its own alpha", 32, 1, {1, 2, 3, 4}, nullptr, 0, nullptr, true, false, {3, 2, 1, 4}},
        {"32-bit kept, RGB", 32, 1, {1, 2, 3, 4}, nullptr, 0, nullptr, false, true, {1, 2, 3}},
    };
    for (const Case& c : cases) {
        Bytes dst(c.want.size() + 1, 0xEE);
        ConvertPackedRowToRGB(c.src.data(), dst.data(), c.width, c.bits, c.pal, c.palCount, c.masks, c.rgba, 77,
                              c.keep);
        Bytes want = c.want;
        want.push_back(0xEE);
        EXPECT_EQ(HexOf(dst), HexOf(want)) << c.why;
    }
}

TEST(PaletteExpansion, EightBitToRGBStaysInsideThePalette) {
    RGBQUAD palette[2] = {{1, 2, 3, 9}, {4, 5, 6, 9}};
    const uint8_t src[2 * 4] = {1, 0, 255, 0xEE, 0, 1, 1, 0xEE};  // stride 4
    uint8_t dst[2 * 9];
    ASSERT_TRUE(pic_8BitToRGB(src, 3, 2, 4, dst, 9, 2, palette, 0));
    EXPECT_EQ(Hex(dst, 18), "06 05 04 03 02 01 03 02 01 03 02 01 06 05 04 06 05 04 ")
        << "index 255 of a 2-entry palette reads entry 0";
    ASSERT_TRUE(pic_8BitToRGB(src, 3, 1, 4, dst, 9, 2, palette, 1));
    EXPECT_EQ(Hex(dst, 9), "04 05 06 01 02 03 01 02 03 ") << "flags bit 0 keeps blue first";
    EXPECT_FALSE(pic_8BitToRGB(src, 3, 1, 4, dst, 9, 2, nullptr, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM);
}

TEST(PaletteExpansion, OneBitToRGB) {
    RGBQUAD palette[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    const uint8_t src[2] = {0xA0, 0x00};
    uint8_t dst[3 * 9] = {};
    CPicOperation op;
    ASSERT_TRUE(op.Convert1BitToRGB(src, 9, 1, 2, palette, dst, 27));
    EXPECT_EQ(Hex(dst, 9), "FF FF FF 00 00 00 FF FF FF ");
    EXPECT_FALSE(op.Convert1BitToRGB(src, 0, 1, 2, palette, dst, 27));
    EXPECT_EQ(op.status, PIC_ERR_BAD_PARAM);
}

TEST(Channels, RGBToRGBAAndSplitBack) {
    const uint8_t rgb[2 * 7] = {1, 2, 3, 4, 5, 6, 0xEE, 7, 8, 9, 10, 11, 12, 0xEE};
    uint8_t rgba[2 * 8];
    ASSERT_TRUE(pic_RGBToRGBA(rgb, 2, 2, 7, rgba, 8, 0x80));
    EXPECT_EQ(Hex(rgba, 16), "01 02 03 80 04 05 06 80 07 08 09 80 0A 0B 0C 80 ");

    uint8_t back[2 * 6], alpha[2 * 2];
    ASSERT_TRUE(pic_SplitRGBAToRGBPlusA(rgba, 2, 2, 8, back, 6, alpha, 2, 0));
    EXPECT_EQ(Hex(back, 12), "01 02 03 04 05 06 07 08 09 0A 0B 0C ");
    EXPECT_EQ(Hex(alpha, 4), "80 80 80 80 ");
    EXPECT_FALSE(pic_SplitRGBAToRGBPlusA(rgba, 2, 2, 8, nullptr, 6, nullptr, 2, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM);

    const uint16_t wide[4] = {1000, 2000, 3000, 4000};
    uint16_t wideRgb[3] = {}, wideAlpha = 0;
    ASSERT_TRUE(pic_SplitRGBAToRGBPlusA(wide, 1, 1, 4, wideRgb, 3, &wideAlpha, 1, 0x200));
    EXPECT_EQ(wideRgb[2], 3000);
    EXPECT_EQ(wideAlpha, 4000);

    // Wide rows go through the shuffle kernel, with and without SSE4.1.
    for (uint16_t mask : {(uint16_t)0xFFFF, (uint16_t)~PIC_CPU_SSE41}) {
        imgtest::FeatureMask features(mask);
        auto big = imgtest::RandomBytes(4 * 37, 5);
        Bytes rgbOut(3 * 37), alphaOut(37);
        ASSERT_TRUE(pic_SplitRGBAToRGBPlusA(big.data(), 37, 1, 4 * 37, rgbOut.data(), 111, alphaOut.data(), 37, 0));
        for (int i = 0; i < 37; ++i) {
            ASSERT_EQ(rgbOut[3 * i + 2], big[4 * i + 2]);
            ASSERT_EQ(alphaOut[i], big[4 * i + 3]);
        }
    }
}

TEST(Channels, RedBlueSwaps) {
    for (uint16_t mask : {(uint16_t)0xFFFF, (uint16_t)~PIC_CPU_SSE41}) {
        imgtest::FeatureMask features(mask);
        Bytes rows = {1, 2, 3, 4, 5, 6, 7, 8, 9};
        SwapRB24InPlace(rows.data(), 1, 3);
        EXPECT_EQ(HexOf(rows), "03 02 01 06 05 04 09 08 07 ");
        Bytes copied(6);
        CopySwapRB24(rows.data(), copied.data(), 2);
        EXPECT_EQ(HexOf(copied), "01 02 03 04 05 06 ");
    }
    Bytes quads = {1, 2, 3, 4, 5, 6, 7, 8};
    SwapRB32InPlace(quads.data(), 2, 1);
    EXPECT_EQ(HexOf(quads), "03 02 01 04 07 06 05 08 ");

    CPicImgUtilT<unsigned char> bytes;
    Bytes padded = {1, 2, 3, 4, 0xEE, 5, 6, 7, 8, 0xEE};
    ASSERT_TRUE(bytes.SwapRBRows32(padded.data(), 1, 2, 5));
    EXPECT_EQ(HexOf(padded), "03 02 01 04 EE 07 06 05 08 EE ");
    EXPECT_FALSE(bytes.SwapRBRows32(nullptr, 1, 2, 5));
    EXPECT_EQ(bytes.status, PIC_ERR_BAD_PARAM);

    CPicImgUtilT<unsigned short> words;
    uint16_t w48[4] = {1, 2, 3, 99}, w64[4] = {1, 2, 3, 4};
    ASSERT_TRUE(words.SwapRBRows48(w48, 1, 1, 4));
    ASSERT_TRUE(words.SwapRBRows64(w64, 1, 1, 4));
    EXPECT_EQ(w48[0], 3);
    EXPECT_EQ(w48[3], 99);
    EXPECT_EQ(w64[2], 1);
    EXPECT_EQ(words.maxValue, 65535);

    uint16_t value = 0x1234;
    SwapBytes16(&value);
    EXPECT_EQ(value, 0x3412);
}

TEST(Channels, GrayWeights) {
    struct Case {
        uint8_t r, g, b;
        uint8_t gray;
    } cases[] = {{255, 0, 0, 76}, {0, 255, 0, 149}, {0, 0, 255, 29}, {255, 255, 255, 255}, {10, 20, 30, 18}};
    for (const Case& c : cases) {
        CPicImgUtilT<unsigned char> util;
        const uint8_t rgb[3] = {c.r, c.g, c.b}, bgrx[4] = {c.b, c.g, c.r, 99};
        uint8_t gray = 0, grayBlueFirst = 0;
        ASSERT_TRUE(util.RGBToGray(rgb, 1, 1, 3, 3, 1, 0, &gray));
        ASSERT_TRUE(util.RGBToGray(bgrx, 1, 1, 4, 4, 1, 1, &grayBlueFirst));
        EXPECT_EQ(gray, c.gray);
        EXPECT_EQ(grayBlueFirst, c.gray);
    }
    CPicImgUtilT<unsigned char> util;
    uint8_t px[2] = {};
    EXPECT_FALSE(util.RGBToGray(px, 1, 1, 2, 2, 1, 0, px));
    EXPECT_EQ(util.status, PIC_ERR_BAD_PARAM);
}

TEST(Channels, LookupTablesAndHistograms) {
    uint8_t invert[256], half[256];
    for (int i = 0; i < 256; ++i) invert[i] = (uint8_t)(255 - i), half[i] = (uint8_t)(i / 2);
    Bytes image = {10, 20, 30, 0xEE, 40, 50, 60, 0xEE};  // 1 x 2 pixels of 3 channels, stride 4
    const uint8_t* tables[3] = {invert, nullptr, half};
    CPicOperation op;
    ASSERT_TRUE(op.ApplyChannelLUTs(image.data(), 1, 2, 3, 4, tables));
    EXPECT_EQ(HexOf(image), "F5 14 0F EE D7 32 1E EE ");
    ASSERT_TRUE(op.ApplyLUTToChannel(image.data(), 1, 2, 3, 4, invert, 1));
    EXPECT_EQ(image[1], 235);
    EXPECT_FALSE(op.ApplyLUTToChannel(image.data(), 1, 2, 3, 4, invert, 3)) << "no such channel";

    const uint8_t* none[3] = {};
    Bytes before = image;
    EXPECT_TRUE(op.ApplyChannelLUTs(image.data(), 1, 2, 3, 4, none)) << "no tables: nothing to do";
    EXPECT_EQ(image, before);

    CPicOperation counts;
    std::vector<uint32_t> h0(256, 7), h2(256, 7);
    uint32_t* histograms[3] = {h0.data(), nullptr, h2.data()};
    const uint8_t gray[6] = {5, 0, 5, 5, 0, 9};
    EXPECT_FALSE(counts.GetChannelHistograms(gray, 2, 1, 3, 6, histograms)) << "channel 1 has no array";
    EXPECT_EQ(counts.status, PIC_ERR_BAD_PARAM);
    EXPECT_EQ(h0[5], 2u);
    EXPECT_EQ(h0[0], 0u) << "cleared first";
    EXPECT_EQ(h2[5], 1u) << "the channels after the missing one are still counted";
    EXPECT_EQ(h2[9], 1u);
}

TEST(Crops, BytesAndBits) {
    // 4 x 3 image, 2 bytes per pixel, stride 9.
    Bytes src(9 * 3);
    for (size_t i = 0; i < src.size(); ++i) src[i] = (uint8_t)i;
    Bytes dst(4 * 2, 0xEE);
    CPicOperation op;
    ASSERT_TRUE(op.CropImage(src.data(), dst.data(), 4, 3, 2, 1, 1, 2, 2, 9, 4));
    EXPECT_EQ(HexOf(dst), "0B 0C 0D 0E 14 15 16 17 ");

    struct Refused {
        const char* why;
        uint32_t x, y, w, h, srcStride;
    } refused[] = {
        {"past the right edge", 3, 0, 2, 1, 9},
        {"past the bottom", 0, 2, 1, 2, 9},
        {"x + w wraps around 32 bits", 2, 0, 0xFFFFFFFF, 1, 9},
        {"empty width", 0, 0, 0, 1, 9},
        {"empty height", 0, 0, 1, 0, 9},
        {"stride shorter than a row", 0, 0, 1, 1, 7},
    };
    for (const Refused& r : refused) {
        CPicOperation crop;
        EXPECT_FALSE(crop.CropImage(src.data(), dst.data(), 4, 3, 2, r.x, r.y, r.w, r.h, r.srcStride, 4)) << r.why;
        EXPECT_EQ(crop.status, PIC_ERR_BAD_PARAM) << r.why;
    }

    // 1-bit: 16 x 2, take 5 pixels from x = 3; the destination's later bits keep their values.
    const uint8_t bits[4] = {0b00011010, 0b11000000, 0b11111111, 0b11111111};
    uint8_t out[2] = {0x07, 0x00};
    ASSERT_TRUE(op.Crop1Bit(bits, out, 16, 2, 3, 0, 5, 2, 2, 1));
    EXPECT_EQ(Hex(out, 2), "D7 F8 ") << "11010 then the old 111; 11111 then 000";
    uint8_t aligned[2] = {};
    ASSERT_TRUE(op.Crop1Bit(bits, aligned, 16, 2, 8, 0, 3, 2, 2, 1));
    EXPECT_EQ(Hex(aligned, 2), "C0 FF ") << "whole bytes copied at x = 8";
    EXPECT_FALSE(op.Crop1Bit(bits, out, 16, 2, 14, 0, 3, 1, 2, 1));

    Bytes rows(2 * 3, 0xEE);
    ASSERT_TRUE(op.CopyRows(src.data(), 9, 2, 3, rows.data()));
    EXPECT_EQ(HexOf(rows), "00 01 02 09 0A 0B ");
}

TEST(Resolution, ConventionsTable) {
    struct Case {
        const char* why;
        CPicResolution in;
        uint32_t from, to;
        BOOL ok;
        CPicResolution out;
    } cases[] = {
        {"kind 3 to kind 3", {10, 20, 1}, 3, 3, TRUE, {10, 20, 1}},
        {"kind 4 without unit to kind 3", {10, 20, 0}, 4, 3, FALSE, {0, 0, 0}},
        {"pHYs metres to pixels per metre", {2835, 2835, 1}, 2, 4, TRUE, {2835, 2835, 1}},
        {"pHYs aspect only", {1, 2, 0}, 2, 4, FALSE, {0, 0, 0}},
        {"kind 0 centimetres to kind 2", {10, 10, 2}, 0, 2, TRUE, {1000, 1000, 1}},
        {"kind 0 inches to kind 2", {72, 72, 1}, 0, 2, TRUE, {18200, 18200, 1}},
        {"kind 0 unit 0 to kind 1", {3, 4, 0}, 0, 1, TRUE, {3, 4, 0}},
        {"kind 4 to kind 0", {10000, 10000, 1}, 4, 0, TRUE, {100 * 0.39370079, 100 * 0.39370079, 1}},
        {"target above 5 leaves the record", {5, 6, 1}, 4, 9, TRUE, {5, 6, 1}},
    };
    for (const Case& c : cases) {
        CPicResolution r = c.in;
        EXPECT_EQ(ConvertResolution(&r, c.from, c.to), c.ok) << c.why;
        EXPECT_DOUBLE_EQ(r.x, c.out.x) << c.why;
        EXPECT_DOUBLE_EQ(r.y, c.out.y) << c.why;
        EXPECT_EQ(r.unit, c.out.unit) << c.why;
    }
    CPicResolution r = {1, 2, 1};
    EXPECT_FALSE(ConvertResolution(&r, 6, 0));
    EXPECT_EQ(r.x, 1);
    EXPECT_FALSE(ConvertResolution(nullptr, 0, 0));
}

}  // namespace
