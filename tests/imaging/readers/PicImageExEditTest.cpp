// The image object's fills, conversions to 8 bits and resizes. Where a resize
// goes through the library, the expected pixels are the library's resize
// called with the method and threshold the object must choose, and each such
// case also differs from what the other choice would give.
#include <cstring>
#include <vector>

#include "../../QvTest.h"
#include "imaging/core/PicEntryPoints.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicImageEx.h"

namespace {

// An image of the depth whose bytes are a fixed pattern.
void MakePatterned(CPicImageEx& image, int32_t width, int32_t height, int32_t bits, uint32_t stream) {
    ASSERT_EQ(image.Create(width, height, bits), PIC_ERR_OK);
    uint8_t* p = image.GetPixels();
    for (uint64_t i = 0; i < image.CalcBufferSize(); ++i) {
        stream = stream * 1103515245u + 12345u;
        p[i] = (uint8_t)(stream >> 16);
    }
    for (int i = 0; i < 256; ++i) image.m_palette[i] = {(BYTE)(255 - i), (BYTE)(i / 2), (BYTE)i, 0};
    image.m_paletteCount = bits <= 8 ? 256 : 0;
}

std::vector<uint8_t> Pixels(const CPicImageEx& image) {
    return std::vector<uint8_t>(image.GetPixels(), image.GetPixels() + image.CalcBufferSize());
}

// The pixel bits of a 1-bit image (padding bits past the width left out).
std::vector<int> Bits(const CPicImageEx& image) {
    std::vector<int> bits;
    for (int32_t y = 0; y < image.GetHeight(); ++y)
        for (int32_t x = 0; x < image.GetWidth(); ++x)
            bits.push_back(image.GetPixels()[y * image.GetRowBytes() + x / 8] >> (7 - x % 8) & 1);
    return bits;
}

}  // namespace

TEST(PicImageExFill, EveryDepthTakesTheWindowsColour) {
    CPicImageEx rgb, rgba, indexed, bits;
    MakePatterned(rgb, 5, 3, 24, 1);
    MakePatterned(rgba, 5, 3, 32, 2);
    ASSERT_EQ(rgb.Fill(0x958B84), PIC_ERR_OK);
    for (int i = 0; i < 15; ++i) ASSERT_EQ(memcmp(rgb.GetPixels() + 3 * i, "\x84\x8B\x95", 3), 0) << i;
    ASSERT_EQ(rgba.Fill(0x80112233), PIC_ERR_OK);
    for (int i = 0; i < 15; ++i) ASSERT_EQ(memcmp(rgba.GetPixels() + 4 * i, "\x33\x22\x11\x80", 4), 0) << i;

    MakePatterned(indexed, 5, 3, 8, 3);
    const RGBQUAD palette[4] = {{0, 0, 0, 0}, {0, 0, 250, 0}, {250, 0, 0, 0}, {128, 128, 128, 0}};
    memcpy(indexed.m_palette, palette, sizeof palette);
    indexed.m_paletteCount = 4;
    ASSERT_EQ(indexed.Fill(RGB(240, 10, 5)), PIC_ERR_OK);  // nearest: entry 1, red 250
    EXPECT_EQ(Pixels(indexed), std::vector<uint8_t>(15, 1));
    ASSERT_EQ(indexed.Fill(RGB(5, 20, 230)), PIC_ERR_OK);  // entry 2, blue 250
    EXPECT_EQ(Pixels(indexed), std::vector<uint8_t>(15, 2));

    MakePatterned(bits, 13, 3, 1, 4);
    ASSERT_EQ(bits.Fill(1), PIC_ERR_OK);
    EXPECT_EQ(Bits(bits), std::vector<int>(39, 1));
    ASSERT_EQ(bits.Fill(0x000100), PIC_ERR_OK) << "only the low byte counts";
    EXPECT_EQ(Bits(bits), std::vector<int>(39, 0));

    CPicImageEx empty;
    EXPECT_EQ(empty.Fill(0), PIC_ERR_BAD_PARAM);
}

TEST(PicImageExConvert, ToEightBits) {
    // Colours that are palette entries map to those entries exactly.
    const RGBQUAD palette[3] = {{10, 20, 30, 0}, {200, 100, 50, 0}, {0, 255, 0, 0}};
    const uint8_t entry[6] = {0, 2, 1, 1, 0, 2};
    CPicImageEx rgb;
    ASSERT_EQ(rgb.Create(3, 2, 24), PIC_ERR_OK);
    for (int i = 0; i < 6; ++i) {
        const RGBQUAD& q = palette[entry[i]];
        uint8_t* p = rgb.GetPixels() + 3 * i;
        p[0] = q.rgbRed, p[1] = q.rgbGreen, p[2] = q.rgbBlue;
    }
    rgb.m_xResolution = 96;
    CPicImageEx mapped;
    ASSERT_EQ(rgb.ConvertTo8BitInto(mapped, palette, 3), PIC_ERR_OK);
    EXPECT_EQ(mapped.GetBitsPerPixel(), 8);
    EXPECT_EQ(mapped.GetPaletteCount(), 3);
    EXPECT_EQ(Pixels(mapped), std::vector<uint8_t>(entry, entry + 6));
    EXPECT_EQ(mapped.GetXResolution(), 96.0);

    // Without a palette one is built: four colours come back as they were.
    CPicImageEx built;
    ASSERT_EQ(rgb.ConvertTo8BitInto(built, nullptr, 0), PIC_ERR_OK);
    EXPECT_EQ(built.GetPaletteCount(), 256);
    ASSERT_EQ(built.ConvertTo24Bit(), PIC_ERR_OK);
    EXPECT_EQ(Pixels(built), Pixels(rgb));

    // 32 bits go through 24; the alpha is dropped.
    CPicImageEx rgba;
    ASSERT_EQ(rgba.Create(3, 2, 32), PIC_ERR_OK);
    for (int i = 0; i < 6; ++i) {
        memcpy(rgba.GetPixels() + 4 * i, rgb.GetPixels() + 3 * i, 3);
        rgba.GetPixels()[4 * i + 3] = (uint8_t)(i * 40);
    }
    ASSERT_EQ(rgba.ConvertTo8Bit(palette, 3), PIC_ERR_OK);
    EXPECT_EQ(rgba.GetBitsPerPixel(), 8);
    EXPECT_EQ(Pixels(rgba), std::vector<uint8_t>(entry, entry + 6));

    // 1 bit: one byte per pixel, 0 or 1, the palette kept.
    CPicImageEx bits;
    ASSERT_EQ(bits.Create(10, 2, 1), PIC_ERR_OK);
    const uint8_t rows[4] = {0xA5, 0xC0, 0x01, 0x40};
    memcpy(bits.GetPixels(), rows, 4);
    bits.m_palette[1] = {1, 2, 3, 0};
    ASSERT_EQ(bits.ConvertTo8Bit(nullptr, 0), PIC_ERR_OK);
    const uint8_t expected[20] = {1, 0, 1, 0, 0, 1, 0, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1};
    EXPECT_EQ(Pixels(bits), std::vector<uint8_t>(expected, expected + 20));
    EXPECT_EQ(bits.GetPaletteCount(), 256);
    EXPECT_EQ(bits.GetPalette()[1].rgbRed, 3);

    CPicImageEx empty;
    EXPECT_EQ(empty.ConvertTo8Bit(nullptr, 0), PIC_ERR_BAD_PARAM);
}

TEST(PicImageExResize, MethodsAndThresholdsByDepth) {
    enum { kPlain, kOneBitGrey, kOneBitMostlyZero };
    struct Case {
        const char* what;
        int32_t bits;
        int kind;
        int32_t width, height;  // of the result; the source is 12 x 9
        int32_t method;
        int32_t expectedMethod, otherMethod;
        uint32_t threshold;  // 1-bit resizes
    } cases[] = {
        {"24-bit enlarged with decimation is bicubic", 24, kPlain, 19, 14, 14, 17, 16, 0},
        {"24-bit shrunk with decimation stays", 24, kPlain, 5, 4, 14, 14, 17, 0},
        {"32-bit enlarged with 15 is bicubic", 32, kPlain, 13, 10, 15, 17, 16, 0},
        {"32-bit with the two-pass method is bilinear", 32, kPlain, 7, 4, 20, 16, 17, 0},
        {"8-bit enlarged with decimation is bilinear", 8, kPlain, 19, 14, 14, 16, 18, 0},
        {"8-bit shrunk with 15 decimates", 8, kPlain, 5, 4, 15, 14, 16, 0},
        {"8-bit bicubic becomes bilinear", 8, kPlain, 5, 4, 17, 16, 18, 0},
        {"8-bit filters become bilinear", 8, kPlain, 5, 4, 3, 16, 18, 0},
        {"1-bit shrunk with 18 is bilinear", 1, kOneBitMostlyZero, 5, 4, 18, 16, 14, 64},
        {"1-bit enlarged with decimation is bilinear", 1, kOneBitMostlyZero, 19, 14, 14, 16, 14, 192},
        {"1-bit shrunk with 15 decimates, threshold 64 when mostly 0", 1, kOneBitMostlyZero, 5, 4, 15, 14, 16, 64},
        {"1-bit shrunk with decimation, mostly 1: threshold 192", 1, kPlain, 5, 4, 14, 14, 16, 192},
        {"1-bit to grey with 17 is bilinear", 1, kOneBitGrey, 5, 4, 17, 16, 14, 0},
        {"1-bit to grey with 15 decimates", 1, kOneBitGrey, 5, 4, 15, 14, 16, 0},
    };
    for (const Case& c : cases) {
        CPicImageEx source;
        MakePatterned(source, 12, 9, c.bits, 7);
        if (c.kind == kOneBitMostlyZero)
            for (uint64_t i = 0; i < source.CalcBufferSize(); ++i) source.GetPixels()[i] &= 0x1C;
        if (c.kind == kPlain && c.bits == 1)
            for (uint64_t i = 0; i < source.CalcBufferSize(); ++i) source.GetPixels()[i] |= 0xC6;
        source.m_xResolution = 72.9;
        source.m_yResolution = 300.2;
        source.m_resolutionUnit = 2;
        source.m_fileType = CPicImageEx::FileTypePNG24;
        bool grey = c.kind == kOneBitGrey;
        CPicImageEx resized;
        ASSERT_EQ(resized.ResizeFrom(source, c.width, c.height, c.method, grey), PIC_ERR_OK) << c.what;
        ASSERT_EQ(resized.GetWidth(), c.width);
        ASSERT_EQ(resized.GetHeight(), c.height);

        auto model = [&](int32_t method) {
            CPicImageEx out;
            out.Create(c.width, c.height, grey ? 8 : c.bits);
            const uint8_t* in = source.GetPixels();
            if (grey)
                pic_ResizeImage1To8Gray(in, 12, 9, source.GetRowBytes(), out.GetPixels(), c.width, c.height,
                                        out.GetRowBytes(), method, source.m_palette[0].rgbRed == 0);
            else if (c.bits == 1)
                pic_ResizeImage1(in, 12, 9, source.GetRowBytes(), out.GetPixels(), c.width, c.height,
                                 out.GetRowBytes(), c.threshold, method, 0);
            else if (c.bits == 8)
                pic_ResizeImage8(in, 12, 9, 12, out.GetPixels(), c.width, c.height, c.width, source.m_palette, 256,
                                 method, 0);
            else
                pic_ResizeImage(in, 12, 9, source.GetRowBytes(), out.GetPixels(), c.width, c.height,
                                out.GetRowBytes(), c.bits / 8, method, 0);
            EXPECT_EQ(pic_GetLastError(), PIC_ERR_OK) << c.what;
            return c.bits == 1 && !grey ? std::vector<uint8_t>() : Pixels(out);
        };
        if (c.bits == 1 && !grey) {
            // Compare the pixel bits; the threshold must matter here too.
            CPicImageEx expected, other;
            expected.Create(c.width, c.height, 1);
            other.Create(c.width, c.height, 1);
            pic_ResizeImage1(source.GetPixels(), 12, 9, source.GetRowBytes(), expected.GetPixels(), c.width, c.height,
                             expected.GetRowBytes(), c.threshold, c.expectedMethod, 0);
            pic_ResizeImage1(source.GetPixels(), 12, 9, source.GetRowBytes(), other.GetPixels(), c.width, c.height,
                             other.GetRowBytes(), c.threshold == 64 ? 192 : 64, c.expectedMethod, 0);
            EXPECT_EQ(Bits(resized), Bits(expected)) << c.what;
            // The library's threshold serves decimation only.
            if (c.expectedMethod == 14) {
                EXPECT_NE(Bits(expected), Bits(other)) << c.what << ": the threshold shows";
            }
        } else {
            std::vector<uint8_t> expected = model(c.expectedMethod);
            EXPECT_EQ(Pixels(resized), expected) << c.what;
            EXPECT_NE(model(c.otherMethod), expected) << c.what << ": the method shows";
        }
        EXPECT_EQ(resized.GetBitsPerPixel(), grey ? 8 : c.bits);
        if (grey) {
            EXPECT_EQ(resized.GetPalette()[200].rgbGreen, 200) << "a grey palette";
        } else {
            EXPECT_EQ(resized.GetPaletteCount(), source.GetPaletteCount());
            EXPECT_EQ(memcmp(resized.GetPalette(), source.GetPalette(), sizeof(RGBQUAD) * 256), 0);
        }
        EXPECT_EQ(resized.GetXResolution(), 72.0) << "truncated";
        EXPECT_EQ(resized.GetYResolution(), 300.0);
        EXPECT_EQ(resized.GetResolutionUnit(), 2);
        EXPECT_EQ(resized.GetFileType(), CPicImageEx::FileTypePNG24);
    }
}

TEST(PicImageExResize, TwoPassMethodAndInPlaceResize) {
    CPicImageEx image;
    ASSERT_EQ(image.Create(2, 1, 24), PIC_ERR_OK);
    memcpy(image.GetPixels(), "\x00\x00\x00\xC8\xC8\xC8", 6);
    // Output 1 sits at input 0.5, output 3 beyond the last sample.
    ASSERT_EQ(image.Resize(SIZE{4, 1}, CPicImageEx::PIC_RESIZE_TWO_PASS, false), PIC_ERR_OK);
    const uint8_t expected[12] = {0, 0, 0, 100, 100, 100, 200, 200, 200, 200, 200, 200};
    EXPECT_EQ(Pixels(image), std::vector<uint8_t>(expected, expected + 12));
    EXPECT_EQ(image.GetSize().cx, 4);

    std::vector<uint8_t> before = Pixels(image);
    EXPECT_EQ(image.Resize(SIZE{0, 3}, 16, false), PIC_ERR_BAD_PARAM) << "a zero size";
    EXPECT_EQ(image.Resize(SIZE{3, 3}, 19, false), PIC_ERR_BAD_PARAM) << "no such method";
    EXPECT_EQ(Pixels(image), before) << "a failed resize leaves the image as it was";
    CPicImageEx empty;
    EXPECT_EQ(empty.Resize(SIZE{3, 3}, 16, false), PIC_ERR_BAD_PARAM);
}

TEST(PicImageExResize, ResizedRgbCopies) {
    CPicImageEx source, thumb, expected;
    MakePatterned(source, 40, 30, 24, 9);
    ASSERT_EQ(thumb.CreateResizedRGB(SIZE{8, 6}, source, 18), PIC_ERR_OK);
    ASSERT_EQ(expected.Create(8, 6, 24), PIC_ERR_OK);
    pic_ResizeImage(source.GetPixels(), 40, 30, 120, expected.GetPixels(), 8, 6, 24, 3, 18, 0);
    EXPECT_EQ(Pixels(thumb), Pixels(expected));

    CPicImageEx indexed, empty;
    MakePatterned(indexed, 40, 30, 8, 9);
    EXPECT_EQ(thumb.CreateResizedRGB(SIZE{8, 6}, indexed, 18), PIC_ERR_BIT_DEPTH)
        << "an 8-bit source is not read as 3-byte pixels";
    EXPECT_EQ(thumb.CreateResizedRGB(SIZE{8, 6}, empty, 18), PIC_ERR_BAD_PARAM);
    EXPECT_EQ(thumb.CreateResizedRGB(SIZE{0, 6}, source, 18), PIC_ERR_BAD_PARAM);
    EXPECT_FALSE(thumb.IsValid());
}

TEST(PicImageExResize, NonSquarePixels) {
    struct Case {
        double x, y;
        int32_t height, expectedHeight;
    } cases[] = {
        {200, 100, 10, 20},  // twice as tall
        {100, 200, 10, 5},
        {110, 100, 10, 10},  // within 25 %
        {100, 0, 10, 10},    // no ratio
        {0, 100, 10, 10},
        {100, 1000, 10, 10},  // beyond 8: a damaged header
        {1000, 100, 10, 10},  // beyond 1/8
        {100, 800, 8, 1},     // exactly 8
        {100, 800, 7, 7},     // no row would be left
    };
    for (const Case& c : cases) {
        CPicImageEx image;
        MakePatterned(image, 6, c.height, 24, 5);
        image.m_xResolution = c.x;
        image.m_yResolution = c.y;
        EXPECT_EQ(image.CorrectNonSquarePixels(), PIC_ERR_OK);
        EXPECT_EQ(image.GetHeight(), c.expectedHeight) << c.x << " x " << c.y << ", " << c.height << " rows";
        EXPECT_EQ(image.GetWidth(), 6);
    }
}
