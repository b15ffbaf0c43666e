#include "tests/QvTest.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "imaging/core/PicImgUtil.h"
#include "imaging/core/PicText.h"
#include "imaging/core/PicTextEntryPoints.h"
#include "imaging/core/PicThreadState.h"
#include "tests/imaging/core/ImagingTestSupport.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int32_t kW = 40, kH = 30;

// A mask of known values (0/1, or 0..255 for coverage) in the library's layout.
CPicTextMask MakeMask(int32_t width, int32_t height, bool coverage, const Bytes& values) {
    CPicTextMask mask;
    mask.width = width;
    mask.height = height;
    mask.coverage = coverage;
    mask.data.Allocate((uint32_t)(height * mask.Stride()));
    memset(mask.data.data, 0, mask.data.count);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t v = values[y * width + x];
            if (coverage)
                mask.data[(uint32_t)(y * width + x)] = v;
            else if (v)
                mask.data[(uint32_t)(y * mask.Stride() + x / 8)] |= (uint8_t)(0x80 >> (x % 8));
        }
    return mask;
}

Bytes MaskValues(int32_t width, int32_t height, bool coverage, uint32_t salt) {
    Bytes v = imgtest::RandomBytes((size_t)width * height, salt);
    if (!coverage)
        for (uint8_t& b : v) b = b & 1;
    return v;
}

// Where the mask lands and what it may touch: the origin and the clip (none with DT_NOCLIP).
struct Placement {
    int32_t x, y;
    bool clipped;
    RECT clip;
};

// Calls f(px, py, value) for every destination pixel a mask value reaches.
void ForCovered(const Placement& p, int32_t maskW, int32_t maskH, const Bytes& values,
                const std::function<void(int32_t, int32_t, uint8_t)>& f) {
    for (int32_t py = 0; py < kH; ++py)
        for (int32_t px = 0; px < kW; ++px) {
            const int32_t mx = px - p.x, my = py - p.y;
            if (mx < 0 || my < 0 || mx >= maskW || my >= maskH) continue;
            if (p.clipped && (px < p.clip.left || px >= p.clip.right || py < p.clip.top || py >= p.clip.bottom))
                continue;
            f(px, py, values[my * maskW + mx]);
        }
}

// Mask 14 x 6 (text 10 x 6, margin 2) in a 40 x 30 image; origins worked out by hand from the alignment rules.
struct AlignCase {
    RECT rect;
    uint32_t format, flags;
    Placement want;
};

const AlignCase kAlignCases[] = {
    {{5, 4, 35, 20}, 0, 0, {3, 4, true, {5, 4, 35, 20}}},
    {{5, 4, 35, 20}, DT_CENTER, 0, {13, 4, true, {5, 4, 35, 20}}},
    {{5, 4, 36, 20}, DT_CENTER, 0, {13, 4, true, {5, 4, 36, 20}}},
    {{5, 4, 35, 20}, DT_RIGHT, 0, {23, 4, true, {5, 4, 35, 20}}},
    {{5, 4, 35, 20}, DT_CENTER | DT_RIGHT, 0, {13, 4, true, {5, 4, 35, 20}}},
    {{5, 4, 35, 20}, DT_SINGLELINE | DT_BOTTOM, 0, {3, 14, true, {5, 4, 35, 20}}},
    {{5, 4, 35, 20}, DT_SINGLELINE | DT_VCENTER, 0, {3, 9, true, {5, 4, 35, 20}}},
    {{5, 4, 35, 20}, DT_SINGLELINE | DT_VCENTER | DT_BOTTOM, 0, {3, 14, true, {5, 4, 35, 20}}},
    {{5, 4, 35, 20}, DT_VCENTER, 0, {3, 4, true, {5, 4, 35, 20}}},
    {{5, 4, 35, 20}, DT_NOCLIP, 0, {3, 4, false, {}}},
    {{5, 4, 35, 20}, DT_NOCLIP | DT_RIGHT, 0, {23, 4, false, {}}},
    {{8, 4, 15, 20}, DT_CENTER, 0, {5, 4, true, {8, 4, 15, 20}}},
    {{8, 4, 15, 7}, DT_RIGHT, 0, {3, 4, true, {8, 4, 15, 7}}},
    {{-4, -3, 20, 10}, 0, 0, {-6, -3, true, {-4, -3, 20, 10}}},
    {{30, 25, 60, 50}, 0, 0, {28, 25, true, {30, 25, 60, 50}}},
    // Bottom-up rows: the mask goes to row 30 - 6 - top and is clipped to the mirrored rectangle.
    {{5, 4, 35, 20}, 0, PIC_TEXT_BOTTOM_UP, {3, 20, true, {5, 10, 35, 26}}},
    {{5, 4, 35, 20}, DT_SINGLELINE | DT_BOTTOM, PIC_TEXT_BOTTOM_UP, {3, 20, true, {5, 10, 35, 26}}},
    {{5, 4, 35, 8}, 0, PIC_TEXT_BOTTOM_UP, {3, 20, true, {5, 22, 35, 26}}},
};

TEST(TextPlacement, MaskGoesWhereTheFormatSaysAndIsCutToTheRectangle) {
    const int32_t margin = 2, textW = 10, textH = 6, maskW = 14, maskH = 6;
    const uint32_t colour = 0x00C08040;
    int n = 0;
    for (const AlignCase& c : kAlignCases) {
        const Bytes values = MaskValues(maskW, maskH, false, 100 + n);
        CPicTextMask mask = MakeMask(maskW, maskH, false, values);
        Bytes image = imgtest::RandomBytes(3 * kW * kH, 200 + n);
        Bytes want = image;
        ForCovered(c.want, maskW, maskH, values, [&](int32_t px, int32_t py, uint8_t v) {
            if (!v) return;
            uint8_t* p = &want[3 * (py * kW + px)];
            p[0] = 0x40, p[1] = 0x80, p[2] = 0xC0;
        });
        CPicText text;
        const CPicTextTarget target = {image.data(), kW, kH, 3 * kW, 3};
        const CPicTextLayout layout = {"x", c.rect, c.format, c.flags};
        EXPECT_TRUE(text.PlaceTextMask(target, layout, mask, margin, textW, textH, {colour, nullptr, 0})) << n;
        EXPECT_EQ(text.status, 0);
        EXPECT_EQ(image, want) << "case " << n;
        ++n;
    }
}

TEST(TextPlacement, ClippedMaskColumnIsTheClippedLeftEdge) {
    // 200 rectangles and text widths: the column AlignClippedMask gives equals
    // the clipped rectangle's left edge wherever AlignTextOrigin put the mask.
    for (int32_t left = -3; left < 7; ++left)
        for (int32_t width = 0; width < 20; width += 3)
            for (uint32_t format : {0u, (uint32_t)DT_CENTER, (uint32_t)DT_RIGHT})
                for (int32_t textW : {1, 4, 9, 15}) {
                    const int32_t margin = 3;
                    const RECT rect = {left, 0, left + width, 10};
                    int32_t x = left - margin, y = 0;
                    CPicText::AlignTextOrigin(x, y, rect, margin, textW, 5, format);
                    const RECT maskRect = {x, 0, x + textW + 2 * margin, 5};
                    RECT clipped;
                    if (!IntersectRect(&clipped, &maskRect, &rect)) continue;
                    EXPECT_EQ(CPicText::AlignClippedMask(rect, clipped, format), clipped.left)
                        << left << " " << width << " " << format << " " << textW;
                }
}

// The compositions below draw the whole mask at (3, 4): rectangle (5, 4, ...), margin 2, DT_NOCLIP.
Placement WholeMaskAt3And4() { return {3, 4, false, {}}; }

TEST(TextComposition, RgbAndRgbaFollowTheModeTables) {
    const int32_t maskW = 14, maskH = 6;
    const uint32_t colour = 0x80C08040;  // alpha 0x80, blue 0xC0, green 0x80, red 0x40
    struct Case {
        int32_t channels;
        bool coverage;
        uint32_t flags;
    };
    std::vector<Case> cases;
    for (bool coverage : {false, true}) {
        cases.push_back({3, coverage, 0});
        cases.push_back({3, coverage, PIC_TEXT_SWAP_RB});
        for (uint32_t mode : {0x00u, 0x08u, 0x10u, 0x18u}) {
            cases.push_back({4, coverage, mode});
            cases.push_back({4, coverage, mode | PIC_TEXT_SWAP_RB});
        }
    }
    int n = 0;
    for (const Case& c : cases) {
        const Bytes values = MaskValues(maskW, maskH, c.coverage, 300 + n);
        CPicTextMask mask = MakeMask(maskW, maskH, c.coverage, values);
        const int32_t ch = c.channels;
        Bytes image = imgtest::RandomBytes((size_t)ch * kW * kH, 400 + n);
        Bytes want = image;
        const uint32_t word = (c.flags & PIC_TEXT_SWAP_RB)
                                  ? (colour & 0xFF00FF00u) | (colour & 0xFF) << 16 | (colour >> 16 & 0xFF)
                                  : colour;
        const uint8_t rgb[3] = {(uint8_t)word, (uint8_t)(word >> 8), (uint8_t)(word >> 16)};
        const uint32_t mode = c.flags & 0x18;
        ForCovered(WholeMaskAt3And4(), maskW, maskH, values, [&](int32_t px, int32_t py, uint8_t v) {
            uint8_t* p = &want[(size_t)ch * (py * kW + px)];
            auto mix = [&](uint32_t a) {
                for (int i = 0; i < 3; ++i) p[i] = (uint8_t)((rgb[i] * a + p[i] * (255 - a)) / 255);
            };
            if (!c.coverage) {
                // The colour pair: bit 0 is (0, 0, 0, 0), bit 1 the colour with alpha 255 or the word's own.
                const uint8_t a = v ? (ch == 4 && (mode == 0x08 || mode == 0x10) ? (uint8_t)(colour >> 24) : 255) : 0;
                if (ch == 3) return mix(a);
                if (mode == 0x08) {
                    if (v) p[3] = a;
                } else if (mode == 0x10) {
                    for (int i = 0; i < 3; ++i) p[i] = v ? rgb[i] : 0;
                    p[3] = a;
                } else {
                    mix(a);
                    if (mode == 0x00) p[3] = a;
                }
                return;
            }
            if (ch == 3) return mix(v);
            if (mode == 0x08) {
                if (v) p[3] = v;
            } else if (mode == 0x10) {
                for (int i = 0; i < 3; ++i) p[i] = rgb[i];
                p[3] = v;
            } else if (v) {
                mix(v);
                if (mode == 0x00) p[3] = v;
            }
        });
        CPicText text;
        const CPicTextTarget target = {image.data(), kW, kH, ch * kW, ch};
        const CPicTextLayout layout = {"x", {5, 4, 35, 20}, DT_NOCLIP, c.flags};
        EXPECT_TRUE(text.PlaceTextMask(target, layout, mask, 2, 10, 6, {colour, nullptr, 0}));
        EXPECT_EQ(image, want) << "channels " << ch << ", coverage " << c.coverage << ", flags " << c.flags;
        ++n;
    }
}

TEST(TextComposition, OpacityScalesTheColourAlphaAndTheCoverage) {
    const int32_t maskW = 14, maskH = 6;
    const double previous = GetThreadState()->textScale;
    GetThreadState()->textScale = 0.5;
    for (bool coverage : {false, true}) {
        const Bytes values = MaskValues(maskW, maskH, coverage, 77);
        CPicTextMask mask = MakeMask(maskW, maskH, coverage, values);
        Bytes image = imgtest::RandomBytes(3 * kW * kH, 78);
        Bytes want = image;
        const uint8_t rgb[3] = {0x10, 0xF0, 0x70};
        ForCovered(WholeMaskAt3And4(), maskW, maskH, values, [&](int32_t px, int32_t py, uint8_t v) {
            // trunc(0.5 x 255) = 127 for a mono mask; trunc(m x 0.5) for coverage.
            const uint32_t a = coverage ? v / 2 : (v ? 127 : 0);
            uint8_t* p = &want[3 * (py * kW + px)];
            for (int i = 0; i < 3; ++i) p[i] = (uint8_t)((rgb[i] * a + p[i] * (255 - a)) / 255);
        });
        CPicText text;
        const CPicTextTarget target = {image.data(), kW, kH, 3 * kW, 3};
        const CPicTextLayout layout = {"x", {5, 4, 35, 20}, DT_NOCLIP, 0};
        EXPECT_TRUE(text.PlaceTextMask(target, layout, mask, 2, 10, 6, {0x70F010, nullptr, 0}));
        EXPECT_EQ(image, want) << "coverage " << coverage;
    }
    GetThreadState()->textScale = previous;
}

TEST(TextComposition, OneBitAndPaletteTargets) {
    const int32_t maskW = 14, maskH = 6, stride1 = (kW + 7) / 8 + 1;
    const Bytes values = MaskValues(maskW, maskH, false, 55);
    for (uint32_t colour : {0u, 1u, 7u}) {
        CPicTextMask mask = MakeMask(maskW, maskH, false, values);
        Bytes image = imgtest::RandomBytes(stride1 * kH, 56 + colour);
        Bytes want = image;
        ForCovered(WholeMaskAt3And4(), maskW, maskH, values, [&](int32_t px, int32_t py, uint8_t v) {
            if (!v) return;
            uint8_t& byte = want[py * stride1 + px / 8];
            const uint8_t bit = (uint8_t)(0x80 >> (px % 8));
            byte = colour ? byte | bit : byte & ~bit;
        });
        CPicText text;
        const CPicTextTarget target = {image.data(), kW, kH, stride1, 1};
        const CPicTextLayout layout = {"x", {5, 4, 35, 20}, DT_NOCLIP, 0};
        EXPECT_TRUE(text.PlaceTextMask(target, layout, mask, 2, 10, 6, {colour, nullptr, 0}));
        EXPECT_EQ(image, want) << "colour " << colour;
    }
    // 16 distinct grays: text pixels take the index's entry (entry 0 beyond the count), others keep theirs.
    RGBQUAD palette[16];
    for (int i = 0; i < 16; ++i) palette[i] = {(uint8_t)(i * 16), (uint8_t)(i * 16), (uint8_t)(i * 16), 0};
    for (uint32_t index : {5u, 15u, 16u, 200u}) {
        CPicTextMask mask = MakeMask(maskW, maskH, false, values);
        Bytes image = imgtest::RandomBytes(kW * kH, 60);
        for (uint8_t& b : image) b &= 15;
        Bytes want = image;
        ForCovered(WholeMaskAt3And4(), maskW, maskH, values, [&](int32_t px, int32_t py, uint8_t v) {
            if (v) want[py * kW + px] = (uint8_t)(index < 16 ? index : 0);
        });
        CPicText text;
        const CPicTextTarget target = {image.data(), kW, kH, kW, 8};
        const CPicTextLayout layout = {"x", {5, 4, 35, 20}, DT_NOCLIP, 0};
        EXPECT_TRUE(text.PlaceTextMask(target, layout, mask, 2, 10, 6, {index, palette, 16}));
        EXPECT_EQ(image, want) << "index " << index;
    }
}

// ---- real rendering through GDI: geometry and composition rules only, no glyph shapes ----

constexpr uint32_t kBufW = 120, kBufH = 70;
const RECT kRect = {10, 8, 100, 60};

struct Depth {
    const char* name;
    uint32_t bytesPerRow;
    std::function<BOOL(uint8_t*, const void*, const RECT*, int32_t, int32_t)> draw;
};

RGBQUAD g_palette[256];

std::vector<Depth> Depths() {
    for (int i = 0; i < 256; ++i) g_palette[i] = {(uint8_t)i, (uint8_t)(255 - i), (uint8_t)(i * 7), 0};
    return {
        {"1-bit", (kBufW + 7) / 8,
         [](uint8_t* p, const void* t, const RECT* r, int32_t format, int32_t flags) {
             return pic_DrawTextOn1Bit(p, kBufW, kBufH, (kBufW + 7) / 8, t, "Arial", 16, r, format, flags, 1);
         }},
        {"8-bit", kBufW,
         [](uint8_t* p, const void* t, const RECT* r, int32_t format, int32_t flags) {
             return pic_DrawTextOn8Bit(p, kBufW, kBufH, kBufW, t, "Arial", 16, r, format, flags, 3, g_palette, 256);
         }},
        {"RGB", 3 * kBufW,
         [](uint8_t* p, const void* t, const RECT* r, int32_t format, int32_t flags) {
             return pic_DrawTextOnRGB(p, kBufW, kBufH, 3 * kBufW, t, "Arial", 16, r, format, flags, 0x2050F0);
         }},
        {"RGBA", 4 * kBufW,
         [](uint8_t* p, const void* t, const RECT* r, int32_t format, int32_t flags) {
             return pic_DrawTextOnRGBA(p, kBufW, kBufH, 4 * kBufW, t, "Arial", 16, r, format, flags,
                                       (int32_t)0x902050F0);
         }},
    };
}

// True when no pixel outside the rectangle differs between the two images.
bool SameOutside(const Bytes& a, const Bytes& b, const Depth& d, const RECT& r) {
    const uint32_t bitsPerPixel = d.bytesPerRow * 8 / kBufW;
    for (uint32_t y = 0; y < kBufH; ++y)
        for (uint32_t x = 0; x < kBufW; ++x) {
            if ((int)x >= r.left && (int)x < r.right && (int)y >= r.top && (int)y < r.bottom) continue;
            const size_t bit = (size_t)y * d.bytesPerRow * 8 + x * bitsPerPixel;
            for (uint32_t k = 0; k < bitsPerPixel; ++k) {
                const size_t at = bit + k;
                if (((a[at / 8] ^ b[at / 8]) >> (7 - at % 8)) & 1) return false;
            }
        }
    return true;
}

TEST(TextRendering, EveryDepthModeAndEncodingDrawsInsideTheRectangleOnly) {
    for (const Depth& d : Depths())
        for (int32_t extra : {0, 0x40, 0x08, 0x10, 0x18, 0x48, 0x50, 0x58})
            for (bool wide : {false, true}) {
                const int32_t flags = extra | (wide ? (int32_t)PIC_TEXT_UTF16 : 0);
                const Bytes before = imgtest::RandomBytes(d.bytesPerRow * kBufH, 5);
                Bytes image = before;
                const void* text = wide ? (const void*)L"Ag Wq\nbj pX" : (const void*)"Ag Wq\nbj pX";
                ASSERT_TRUE(d.draw(image.data(), text, &kRect, 0, flags)) << d.name << " " << pic_GetLastError();
                EXPECT_EQ(pic_GetLastError(), 0);
                EXPECT_NE(image, before) << d.name << " flags " << flags << ": nothing was drawn";
                EXPECT_TRUE(SameOutside(image, before, d, kRect)) << d.name << " flags " << flags;
            }
}

TEST(TextRendering, MonoMaskOnRgbWritesExactlyTheColour) {
    Bytes image(3 * kBufW * kBufH, 0x11);
    ASSERT_TRUE(pic_DrawTextOnRGB(image.data(), kBufW, kBufH, 3 * kBufW, "Hello\nworld", "Tahoma", 18, &kRect, 0, 0,
                                  0x2050F0));
    size_t textPixels = 0;
    for (size_t i = 0; i < image.size(); i += 3) {
        if (image[i] == 0x11 && image[i + 1] == 0x11 && image[i + 2] == 0x11) continue;
        ++textPixels;
        ASSERT_EQ(image[i], 0xF0) << "pixel " << i / 3;
        ASSERT_EQ(image[i + 1], 0x50);
        ASSERT_EQ(image[i + 2], 0x20);
    }
    EXPECT_GT(textPixels, 20u);
}

TEST(TextRendering, BottomUpRowsDrawTheMirrorOfTopDownRows) {
    for (const Depth& d : Depths())
        for (int32_t aa : {0, 0x40}) {
            const Bytes before = imgtest::RandomBytes(d.bytesPerRow * kBufH, 9);
            Bytes topDown = before, bottomUp = before;
            // The rows of `bottomUp` are stored last row first.
            for (uint32_t y = 0; y < kBufH; ++y)
                memcpy(&bottomUp[y * d.bytesPerRow], &before[(kBufH - 1 - y) * d.bytesPerRow], d.bytesPerRow);
            ASSERT_TRUE(d.draw(topDown.data(), "Mirror\ntext", &kRect, 0, aa));
            ASSERT_TRUE(d.draw(bottomUp.data(), "Mirror\ntext", &kRect, 0, aa | PIC_TEXT_BOTTOM_UP));
            EXPECT_NE(topDown, before) << d.name;
            Bytes flipped(bottomUp.size());
            for (uint32_t y = 0; y < kBufH; ++y)
                memcpy(&flipped[y * d.bytesPerRow], &bottomUp[(kBufH - 1 - y) * d.bytesPerRow], d.bytesPerRow);
            EXPECT_EQ(flipped, topDown) << d.name << " aa " << aa;
        }
}

// The size GDI gives the text and a space, measured here with the font the library asks for.
SIZE MeasuredMask(const char* text, const char* face, int height) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontA(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 48, face);
    HGDIOBJ old = SelectObject(dc, font);
    RECT r = kRect, space = {0, 0, 0, 0};
    DrawTextExA(dc, const_cast<char*>(text), lstrlenA(text), &r, DT_CALCRECT, nullptr);
    char blank[] = " ";
    DrawTextExA(dc, blank, 1, &space, DT_CALCRECT, nullptr);
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
    return {r.right - r.left + 2 * (space.right - space.left), r.bottom - r.top};
}

TEST(TextRendering, MaskIsTheMeasuredTextPlusTwoSpaces) {
    // Mode 0x10 sets every pixel of the mask, background too: with DT_NOCLIP the
    // changed area is the whole mask, one space left of the rectangle.
    const SIZE want = MeasuredMask("Wide text\nline", "Arial", 16);
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontA(16, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 48, "Arial");
    HGDIOBJ old = SelectObject(dc, font);
    RECT space = {0, 0, 0, 0};
    char blank[] = " ";
    DrawTextExA(dc, blank, 1, &space, DT_CALCRECT, nullptr);
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
    for (int32_t aa : {0, 0x40}) {
        Bytes image(4 * kBufW * kBufH, 0x33);
        ASSERT_TRUE(pic_DrawTextOnRGBA(image.data(), kBufW, kBufH, 4 * kBufW, "Wide text\nline", "Arial", 16, &kRect,
                                       DT_NOCLIP, 0x10 | aa, (int32_t)0x902050F0));
        int32_t left = kBufW, right = -1, top = kBufH, bottom = -1;
        for (int32_t y = 0; y < (int32_t)kBufH; ++y)
            for (int32_t x = 0; x < (int32_t)kBufW; ++x)
                if (memcmp(&image[4 * (y * kBufW + x)], "\x33\x33\x33\x33", 4) != 0) {
                    left = std::min(left, x), right = std::max(right, x + 1);
                    top = std::min(top, y), bottom = std::max(bottom, y + 1);
                }
        EXPECT_EQ(left, kRect.left - (space.right - space.left)) << "aa " << aa;
        EXPECT_EQ(top, kRect.top);
        EXPECT_EQ(right - left, want.cx);
        EXPECT_EQ(bottom - top, want.cy);
    }
}

TEST(TextRendering, EmptyTextsOutsideRectanglesAndRefusals) {
    for (const Depth& d : Depths()) {
        const Bytes before = imgtest::RandomBytes(d.bytesPerRow * kBufH, 3);
        Bytes image = before;
        EXPECT_TRUE(d.draw(image.data(), "", &kRect, 0, 0)) << d.name;
        EXPECT_EQ(pic_GetLastError(), 0);
        EXPECT_TRUE(d.draw(image.data(), L"", &kRect, 0, PIC_TEXT_UTF16)) << d.name;
        EXPECT_EQ(pic_GetLastError(), 0);
        const RECT atRightEdge = {(LONG)kBufW, 0, (LONG)kBufW + 50, 20};
        EXPECT_TRUE(d.draw(image.data(), "text", &atRightEdge, 0, 0));
        EXPECT_EQ(pic_GetLastError(), 0);
        EXPECT_EQ(image, before) << d.name;

        const RECT inverted = {50, 10, 20, 30};
        EXPECT_FALSE(d.draw(image.data(), "text", &inverted, 0, 0));
        EXPECT_EQ(pic_GetLastError(), 5);
        EXPECT_FALSE(d.draw(image.data(), "text", nullptr, 0, 0));
        EXPECT_EQ(pic_GetLastError(), 5);
        EXPECT_FALSE(d.draw(image.data(), nullptr, &kRect, 0, 0));
        EXPECT_EQ(pic_GetLastError(), 5);
        EXPECT_EQ(image, before);
    }
}

}  // namespace

namespace {

TEST(TextPlacement, BottomUpMaskOfTwentyRowsUnderTopTenLandsOnRowSeventy) {
    const int32_t width = 4, height = 100;
    CPicTextMask mask = MakeMask(2, 20, false, Bytes(40, 1));
    Bytes image(3 * width * height, 0);
    CPicText text;
    const CPicTextTarget target = {image.data(), width, height, 3 * width, 3};
    const CPicTextLayout layout = {"x", {0, 10, 4, 100}, 0, PIC_TEXT_BOTTOM_UP};
    ASSERT_TRUE(text.PlaceTextMask(target, layout, mask, 0, 2, 20, {0xFFFFFF, nullptr, 0}));
    for (int32_t y = 0; y < height; ++y)
        EXPECT_EQ(image[3 * width * y], y >= 70 && y < 90 ? 0xFF : 0) << "row " << y;
}

TEST(TextGray, BottomUpGrayTakesTheRowsInReverse) {
    // Rows of pure red, green and blue: gray (601 G + 306 R + 117 B) >> 10 is 76, 149 and 29.
    const uint8_t rgbx[3 * 4] = {255, 0, 0, 9, 0, 255, 0, 9, 0, 0, 255, 9};
    uint8_t gray[3] = {};
    CPicImgUtilT<unsigned char> util;
    ASSERT_TRUE(util.RGBToGrayBottomUp(rgbx, 1, 3, 4, 4, 1, 0, gray));
    EXPECT_EQ(gray[0], 29);
    EXPECT_EQ(gray[1], 149);
    EXPECT_EQ(gray[2], 76);
    EXPECT_FALSE(util.RGBToGrayBottomUp(rgbx, 1, 3, 2, 4, 1, 0, gray));
    EXPECT_EQ(util.status, 5);
}

}  // namespace
