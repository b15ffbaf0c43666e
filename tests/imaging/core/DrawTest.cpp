#include "tests/QvTest.h"

#include <functional>
#include <vector>

#include "imaging/core/PicDrawEntryPoints.h"
#include "imaging/core/PicThreadState.h"
#include "tests/imaging/core/GdiTestSupport.h"
#include "tests/imaging/core/ImagingTestSupport.h"

namespace {

using Bytes = std::vector<uint8_t>;
using imgtest::Canvas;
using imgtest::Rgb;

constexpr Rgb kBackground = {10, 200, 30};
constexpr int kCanvasW = 40, kCanvasH = 30;

// Every canvas pixel outside (x, y, w, h) still shows the background.
void ExpectBackgroundOutside(const Canvas& canvas, int x, int y, int w, int h) {
    for (int cy = 0; cy < canvas.height(); ++cy)
        for (int cx = 0; cx < canvas.width(); ++cx) {
            if (cx >= x && cx < x + w && cy >= y && cy < y + h) continue;
            ASSERT_TRUE(canvas.At(cx, cy) == kBackground) << "pixel " << cx << ", " << cy;
        }
}

// An image of known colours in three layouts: palette indices, 1-bit rows and RGB rows.
struct Picture {
    uint32_t width, height;
    Bytes indices;           // one per pixel, stride width + 3
    Bytes bits;              // 1-bit rows, stride (width + 7) / 8 + 1
    Bytes rgb;               // stride 3 * width + 2
    std::vector<RGBQUAD> palette;
    uint32_t indexStride() const { return width + 3; }
    uint32_t bitStride() const { return (width + 7) / 8 + 1; }
    uint32_t rgbStride() const { return 3 * width + 2; }
    uint8_t Index(uint32_t x, uint32_t y) const { return indices[y * indexStride() + x]; }
    bool Bit(uint32_t x, uint32_t y) const { return bits[y * bitStride() + x / 8] >> (7 - x % 8) & 1; }
    Rgb RgbAt(uint32_t x, uint32_t y) const {
        const uint8_t* p = &rgb[y * rgbStride() + 3 * x];
        return {p[0], p[1], p[2]};
    }
    Rgb Colour(uint32_t index) const { return {palette[index].rgbRed, palette[index].rgbGreen, palette[index].rgbBlue}; }
};

Picture MakePicture(uint32_t width, uint32_t height, uint32_t salt) {
    Picture p{width, height, {}, {}, {}, {}};
    p.indices = imgtest::RandomBytes(p.indexStride() * height, salt);
    p.bits = imgtest::RandomBytes(p.bitStride() * height, salt + 1);
    p.rgb = imgtest::RandomBytes(p.rgbStride() * height, salt + 2);
    const Bytes colours = imgtest::RandomBytes(4 * 256, salt + 3);
    for (int i = 0; i < 256; ++i) p.palette.push_back({colours[4 * i], colours[4 * i + 1], colours[4 * i + 2], 0});
    return p;
}

const RGBQUAD kBlackWhite[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};

TEST(Draw, OneToOneDrawingPutsEveryPixelInPlace) {
    const Picture pic = MakePicture(13, 9, 5);
    const int x = 7, y = 4;
    for (bool sections : {false, true}) {
        imgtest::SectionSwitch on(sections);
        {
            Canvas canvas(kCanvasW, kCanvasH, kBackground);
            ASSERT_TRUE(pic_Draw8Bit(canvas.dc(), pic.indices.data(), 13, 9, pic.indexStride(), pic.palette.data(), x,
                                     y, nullptr));
            EXPECT_EQ(pic_GetLastError(), 0);
            for (uint32_t py = 0; py < 9; ++py)
                for (uint32_t px = 0; px < 13; ++px)
                    ASSERT_TRUE(canvas.At(x + px, y + py) == pic.Colour(pic.Index(px, py))) << px << ", " << py;
            ExpectBackgroundOutside(canvas, x, y, 13, 9);
        }
        {
            Canvas canvas(kCanvasW, kCanvasH, kBackground);
            ASSERT_TRUE(pic_DrawRGB(canvas.dc(), pic.rgb.data(), 13, 9, pic.rgbStride(), x, y, nullptr));
            for (uint32_t py = 0; py < 9; ++py)
                for (uint32_t px = 0; px < 13; ++px)
                    ASSERT_TRUE(canvas.At(x + px, y + py) == pic.RgbAt(px, py)) << px << ", " << py;
            ExpectBackgroundOutside(canvas, x, y, 13, 9);
        }
        {
            // A device-dependent 1-bit bitmap is monochrome, so the colours are black and white.
            Canvas canvas(kCanvasW, kCanvasH, kBackground);
            ASSERT_TRUE(pic_Draw1Bit(canvas.dc(), pic.bits.data(), 13, 9, pic.bitStride(), kBlackWhite, x, y,
                                     nullptr));
            for (uint32_t py = 0; py < 9; ++py)
                for (uint32_t px = 0; px < 13; ++px) {
                    const Rgb want = pic.Bit(px, py) ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
                    ASSERT_TRUE(canvas.At(x + px, y + py) == want) << px << ", " << py << ", sections " << sections;
                }
            ExpectBackgroundOutside(canvas, x, y, 13, 9);
        }
    }
}

TEST(Draw, StretchedDrawingRepeatsEachPixelTwice) {
    const Picture pic = MakePicture(11, 7, 8);
    const int x = 3, y = 2;
    struct Case {
        const char* name;
        std::function<BOOL(HDC)> draw;
        std::function<Rgb(uint32_t, uint32_t)> colour;
    };
    const Case cases[] = {
        {"8-bit",
         [&](HDC dc) {
             return pic_StretchDraw8Bit(dc, pic.indices.data(), 11, 7, pic.indexStride(), pic.palette.data(), x, y,
                                        22, 14);
         },
         [&](uint32_t px, uint32_t py) { return pic.Colour(pic.Index(px, py)); }},
        {"RGB",
         [&](HDC dc) { return pic_StretchDrawRGB(dc, pic.rgb.data(), 11, 7, pic.rgbStride(), x, y, 22, 14); },
         [&](uint32_t px, uint32_t py) { return pic.RgbAt(px, py); }},
        {"1-bit",
         [&](HDC dc) {
             return pic_StretchDraw1Bit(dc, pic.bits.data(), 11, 7, pic.bitStride(), pic.palette.data(), x, y, 22,
                                        14);
         },
         [&](uint32_t px, uint32_t py) { return pic.Colour(pic.Bit(px, py) ? 1 : 0); }},
    };
    for (const Case& c : cases) {
        Canvas canvas(kCanvasW, kCanvasH, kBackground);
        SetStretchBltMode(canvas.dc(), COLORONCOLOR);
        ASSERT_TRUE(c.draw(canvas.dc())) << c.name << ", code " << pic_GetLastError();
        EXPECT_EQ(pic_GetLastError(), 0);
        for (uint32_t py = 0; py < 14; ++py)
            for (uint32_t px = 0; px < 22; ++px)
                ASSERT_TRUE(canvas.At(x + px, y + py) == c.colour(px / 2, py / 2)) << c.name << " " << px << ", " << py;
        ExpectBackgroundOutside(canvas, x, y, 22, 14);
    }
}

TEST(Draw, RgbaIsBlendedOverWhatTheDcShows) {
    const uint32_t width = 17, height = 6, stride = 4 * width + 4;
    Bytes rgba = imgtest::RandomBytes(stride * height, 21);
    for (uint32_t i = 0; i < width; ++i) rgba[4 * i + 3] = (uint8_t)(i * 16);  // 0 through 255 in the first row
    rgba[4 * (width - 1) + 3] = 255;
    for (bool sections : {false, true}) {
        imgtest::SectionSwitch on(sections);
        Canvas canvas(kCanvasW, kCanvasH, kBackground);
        const Bytes shade = imgtest::RandomBytes(3 * kCanvasW * kCanvasH, 22);
        for (int cy = 0; cy < kCanvasH; ++cy)
            for (int cx = 0; cx < kCanvasW; ++cx) {
                const uint8_t* s = &shade[3 * (cy * kCanvasW + cx)];
                canvas.Set(cx, cy, {s[0], s[1], s[2]});
            }
        const Bytes before = canvas.Rows();
        const int x = 5, y = 9;
        ASSERT_TRUE(pic_DrawRGBA(canvas.dc(), rgba.data(), width, height, stride, x, y, nullptr, 0))
            << pic_GetLastError();
        Bytes want = before;
        for (uint32_t py = 0; py < height; ++py)
            for (uint32_t px = 0; px < width; ++px) {
                const uint8_t* s = &rgba[py * stride + 4 * px];
                uint8_t* d = &want[3 * ((y + py) * kCanvasW + x + px)];
                const uint32_t a = s[3];
                for (int c = 0; c < 3; ++c) d[c] = (uint8_t)((s[c] * a + d[c] * (255 - a)) / 255);
            }
        EXPECT_EQ(canvas.Rows(), want) << "sections " << sections;
    }
}

TEST(Draw, MissingCapabilitiesAreRefusedWith26AndNothingIsDrawn) {
    const Picture pic = MakePicture(6, 5, 30);
    Bytes rgba(4 * 6 * 5, 255);
    struct Case {
        const char* name;
        int hidden;
        std::function<BOOL(HDC)> draw;
    };
    const Case cases[] = {
        {"1-bit", RC_DI_BITMAP,
         [&](HDC dc) { return pic_Draw1Bit(dc, pic.bits.data(), 6, 5, pic.bitStride(), kBlackWhite, 1, 1, nullptr); }},
        {"8-bit", RC_DI_BITMAP,
         [&](HDC dc) {
             return pic_Draw8Bit(dc, pic.indices.data(), 6, 5, pic.indexStride(), pic.palette.data(), 1, 1, nullptr);
         }},
        {"RGB", RC_DI_BITMAP, [&](HDC dc) { return pic_DrawRGB(dc, pic.rgb.data(), 6, 5, pic.rgbStride(), 1, 1, nullptr); }},
        {"RGB blit", RC_BITBLT,
         [&](HDC dc) { return pic_DrawRGB(dc, pic.rgb.data(), 6, 5, pic.rgbStride(), 1, 1, nullptr); }},
        {"RGBA 64", RC_BITMAP64, [&](HDC dc) { return pic_DrawRGBA(dc, rgba.data(), 6, 5, 24, 1, 1, nullptr, 0); }},
        {"RGBA blit", RC_BITBLT, [&](HDC dc) { return pic_DrawRGBA(dc, rgba.data(), 6, 5, 24, 1, 1, nullptr, 0); }},
        {"stretch 1-bit", RC_STRETCHDIB,
         [&](HDC dc) {
             return pic_StretchDraw1Bit(dc, pic.bits.data(), 6, 5, pic.bitStride(), kBlackWhite, 1, 1, 12, 10);
         }},
        {"stretch 8-bit", RC_STRETCHDIB,
         [&](HDC dc) {
             return pic_StretchDraw8Bit(dc, pic.indices.data(), 6, 5, pic.indexStride(), pic.palette.data(), 1, 1,
                                        12, 10);
         }},
        {"stretch RGB", RC_STRETCHDIB,
         [&](HDC dc) { return pic_StretchDrawRGB(dc, pic.rgb.data(), 6, 5, pic.rgbStride(), 1, 1, 12, 10); }},
    };
    for (const Case& c : cases) {
        Canvas canvas(kCanvasW, kCanvasH, kBackground);
        {
            imgtest::HiddenCaps hidden(c.hidden);
            EXPECT_FALSE(c.draw(canvas.dc())) << c.name;
            EXPECT_EQ(pic_GetLastError(), 26) << c.name;
        }
        ExpectBackgroundOutside(canvas, 0, 0, 0, 0);
    }
}

TEST(Draw, NullArgumentsAreRefusedWith5) {
    Canvas canvas(8, 8, kBackground);
    const uint8_t pixels[64] = {};
    EXPECT_FALSE(pic_Draw8Bit(canvas.dc(), pixels, 4, 4, 4, nullptr, 0, 0, nullptr));
    EXPECT_EQ(pic_GetLastError(), 5);
    EXPECT_FALSE(pic_Draw1Bit(nullptr, pixels, 4, 4, 1, kBlackWhite, 0, 0, nullptr));
    EXPECT_EQ(pic_GetLastError(), 5);
    EXPECT_FALSE(pic_DrawRGB(canvas.dc(), nullptr, 4, 4, 12, 0, 0, nullptr));
    EXPECT_EQ(pic_GetLastError(), 5);
    EXPECT_FALSE(pic_DrawRGBA(canvas.dc(), nullptr, 4, 4, 16, 0, 0, nullptr, 0));
    EXPECT_EQ(pic_GetLastError(), 5);
    EXPECT_FALSE(pic_StretchDraw8Bit(canvas.dc(), pixels, 4, 4, 4, nullptr, 0, 0, 8, 8));
    EXPECT_EQ(pic_GetLastError(), 5);
    ExpectBackgroundOutside(canvas, 0, 0, 0, 0);
}

}  // namespace
