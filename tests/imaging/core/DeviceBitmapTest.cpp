#include "tests/QvTest.h"

#include <cstring>
#include <vector>

#include "imaging/core/PicOperation.h"
#include "tests/imaging/core/GdiTestSupport.h"
#include "tests/imaging/core/ImagingTestSupport.h"

namespace {

using Bytes = std::vector<uint8_t>;
using imgtest::Rgb;

// A packed DIB written field by field, with the colours a reader must see (top-down).
struct HandDib {
    Bytes block;
    Bytes expected;  // R, G, B per pixel, top row first
};

uint32_t DibRow(uint32_t width, uint32_t bits) { return (width * bits + 31) / 32 * 4; }

HandDib MakeHandDib(uint32_t bits, uint32_t width, uint32_t height, uint32_t salt, bool blackAndWhite) {
    const uint32_t colours = bits <= 8 ? 1u << bits : 0, rowBytes = DibRow(width, bits);
    HandDib d;
    d.block.assign(40 + 4 * colours + rowBytes * height, 0);
    BITMAPINFOHEADER h = {40, (LONG)width, (LONG)height, 1, (WORD)bits, BI_RGB, rowBytes * height, 0, 0, 0, 0};
    memcpy(d.block.data(), &h, 40);
    Bytes palette = imgtest::RandomBytes(4 * colours, salt + 1);
    if (blackAndWhite) palette = {0, 0, 0, 0, 255, 255, 255, 0};
    for (uint32_t i = 0; i < colours; ++i) palette[4 * i + 3] = 0;
    std::copy(palette.begin(), palette.end(), d.block.begin() + 40);
    uint8_t* rows = d.block.data() + 40 + 4 * colours;
    const Bytes random = imgtest::RandomBytes(rowBytes * height, salt);
    std::copy(random.begin(), random.end(), rows);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = rows + (height - 1 - y) * rowBytes;
        for (uint32_t x = 0; x < width; ++x) {
            if (bits <= 8) {
                const uint32_t bit = x * bits, index = (row[bit / 8] >> (8 - bits - bit % 8)) & (colours - 1);
                d.expected.insert(d.expected.end(),
                                  {palette[4 * index + 2], palette[4 * index + 1], palette[4 * index]});
            } else {
                const uint8_t* p = row + x * (bits / 8);
                d.expected.insert(d.expected.end(), {p[2], p[1], p[0]});
            }
        }
    }
    return d;
}

class ScreenDC {
public:
    ScreenDC() : dc(GetDC(nullptr)) {}
    ~ScreenDC() { ReleaseDC(nullptr, dc); }
    HDC dc;
};

TEST(DeviceBitmaps, DibToBitmapToDibToRgbKeepsEveryColour) {
    for (bool sections : {false, true})
        for (uint32_t bits : {1u, 4u, 8u, 24u, 32u})
            for (uint32_t width : {1u, 5u, 33u}) {
                imgtest::SectionSwitch on(sections);
                // A device-dependent 1-bit bitmap is monochrome: only black and white survive it.
                const HandDib dib = MakeHandDib(bits, width, 3, bits * 7 + width, bits == 1 && !sections);
                CPicOperation op;
                HBITMAP bitmap = op.DIBToHBITMAP(dib.block.data(), nullptr, nullptr);
                ASSERT_NE(bitmap, nullptr) << bits << " bits, sections " << sections << ", status " << op.status;
                void* back = op.HBITMAPToDIB(bitmap, BI_RGB, nullptr);
                ASSERT_NE(back, nullptr) << op.status;
                Bytes rgb(3 * width * 3, 0xEE);
                EXPECT_TRUE(op.DIBToRGB(back, rgb.data()));
                EXPECT_EQ(rgb, dib.expected) << bits << " bits, width " << width << ", sections " << sections;
                GlobalFree(back);

                ScreenDC screen;
                Bytes direct(rgb.size(), 0xEE);
                EXPECT_TRUE(op.HBITMAPToRGB(bitmap, screen.dc, nullptr, direct.data()));
                EXPECT_EQ(op.status, 0);
                EXPECT_EQ(direct, dib.expected);
                DeleteObject(bitmap);
            }
}

TEST(DeviceBitmaps, RgbToBitmapAndBackIsTheSource) {
    for (bool sections : {false, true})
        for (uint32_t width : {1u, 3u, 5u, 17u})
            for (uint32_t height : {1u, 2u, 7u}) {
                imgtest::SectionSwitch on(sections);
                const uint32_t stride = 3 * width + 5;
                const Bytes src = imgtest::RandomBytes(stride * height, width * 31 + height);
                CPicOperation op;
                HBITMAP bitmap = op.RGBToHBITMAP(src.data(), width, height, stride, nullptr, 0, nullptr);
                ASSERT_NE(bitmap, nullptr) << op.status;
                ScreenDC screen;
                Bytes rgb(3 * width * height);
                ASSERT_TRUE(op.HBITMAPToRGB(bitmap, screen.dc, nullptr, rgb.data())) << op.status;
                for (uint32_t y = 0; y < height; ++y)
                    EXPECT_EQ(Bytes(rgb.begin() + 3 * width * y, rgb.begin() + 3 * width * (y + 1)),
                              Bytes(src.begin() + stride * y, src.begin() + stride * y + 3 * width))
                        << "width " << width << ", row " << y << ", sections " << sections;
                DeleteObject(bitmap);
            }
}

TEST(DeviceBitmaps, RgbToBitmapTakesBottomUpRowsWithFlagTwo) {
    const uint32_t width = 4, height = 3, stride = 12;
    const Bytes src = imgtest::RandomBytes(stride * height, 9);
    CPicOperation op;
    HBITMAP bitmap = op.RGBToHBITMAP(src.data(), width, height, stride, nullptr, 2, nullptr);
    ASSERT_NE(bitmap, nullptr);
    ScreenDC screen;
    Bytes rgb(3 * width * height);
    ASSERT_TRUE(op.HBITMAPToRGB(bitmap, screen.dc, nullptr, rgb.data()));
    for (uint32_t y = 0; y < height; ++y)
        EXPECT_EQ(Bytes(rgb.begin() + 12 * y, rgb.begin() + 12 * (y + 1)),
                  Bytes(src.begin() + 12 * (height - 1 - y), src.begin() + 12 * (height - y)));
    DeleteObject(bitmap);
}

TEST(DeviceBitmaps, RefusalsAndTheirCodes) {
    const HandDib dib = MakeHandDib(8, 4, 4, 3, false);
    CPicOperation op;
    Bytes oldStyle = dib.block;
    oldStyle[0] = 12;
    EXPECT_EQ(op.DIBToHBITMAP(oldStyle.data(), nullptr, nullptr), nullptr);
    EXPECT_EQ(op.status, 5);

    HBITMAP bitmap = op.DIBToHBITMAP(dib.block.data(), nullptr, nullptr);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(op.HBITMAPToDIB(bitmap, BI_BITFIELDS, nullptr), nullptr);
    EXPECT_EQ(op.status, 17);
    EXPECT_EQ(op.HBITMAPToDIB(nullptr, BI_BITFIELDS, nullptr), nullptr);
    EXPECT_EQ(op.status, 17) << "the compression is refused before the bitmap is looked at";

    Bytes rgb(48);
    EXPECT_FALSE(op.HBITMAPToRGB(bitmap, nullptr, nullptr, rgb.data()));
    EXPECT_EQ(op.status, 26);
    EXPECT_EQ(op.RGBToHBITMAP(nullptr, 4, 4, 12, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(op.status, 5);
    ScreenDC screen;
    EXPECT_FALSE(op.BlitBitmap(screen.dc, nullptr, 0, 0, 0, 0, 4, 4, nullptr));
    EXPECT_EQ(op.status, 5);
    EXPECT_FALSE(op.CaptureDCToRGB(nullptr, 0, 0, 4, 4, rgb.data()));
    EXPECT_EQ(op.status, 5);
    DeleteObject(bitmap);
}

TEST(DeviceBitmaps, CaptureReadsTheDcArea) {
    imgtest::Canvas canvas(9, 7, {1, 2, 3});
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x) canvas.Set(x, y, {(uint8_t)(x * 20), (uint8_t)(y * 30), (uint8_t)(x + y)});
    CPicOperation op;
    Bytes rgb(3 * 4 * 3);
    ASSERT_TRUE(op.CaptureDCToRGB(canvas.dc(), 2, 3, 4, 3, rgb.data())) << op.status;
    Bytes want;
    for (int y = 3; y < 6; ++y)
        for (int x = 2; x < 6; ++x) want.insert(want.end(), {(uint8_t)(x * 20), (uint8_t)(y * 30), (uint8_t)(x + y)});
    EXPECT_EQ(rgb, want);
}

}  // namespace
