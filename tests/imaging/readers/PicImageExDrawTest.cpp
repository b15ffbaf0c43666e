// The image object's drawing calls: each draws into a 32-bit DIB section
// that starts grey, and the pixels read back must be the image's colours
// where it was drawn and grey everywhere else.
#include <cstring>
#include <vector>

#include "../../QvTest.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicImageEx.h"

namespace {

constexpr uint32_t kGrey = 0x808080;

// A memory DC with a top-down 32-bit DIB section selected into it.
class Canvas {
public:
    Canvas(int32_t width, int32_t height) : m_width(width), m_height(height) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        m_dc = CreateCompatibleDC(nullptr);
        m_bitmap = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, (void**)&m_bits, nullptr, 0);
        m_old = SelectObject(m_dc, m_bitmap);
        for (int32_t i = 0; i < width * height; ++i) m_bits[i] = kGrey;
    }
    ~Canvas() {
        SelectObject(m_dc, m_old);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    HDC dc() const { return m_dc; }
    bool ok() const { return m_dc != nullptr && m_bits != nullptr; }
    // 0xRRGGBB of a pixel.
    uint32_t At(int32_t x, int32_t y) const {
        GdiFlush();
        return m_bits[y * m_width + x] & 0xFFFFFF;
    }
    // The colours of a row from x0 for n pixels.
    std::vector<uint32_t> Row(int32_t y, int32_t x0, int32_t n) const {
        std::vector<uint32_t> row;
        for (int32_t x = x0; x < x0 + n; ++x) row.push_back(At(x, y));
        return row;
    }
    int32_t CountNotGrey() const {
        int32_t n = 0;
        for (int32_t y = 0; y < m_height; ++y)
            for (int32_t x = 0; x < m_width; ++x) n += At(x, y) != kGrey;
        return n;
    }

private:
    int32_t m_width, m_height;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
    uint32_t* m_bits = nullptr;
};

// Colours 0xRRGGBB of the test images.
const uint32_t kColours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0x102030, 0xFFFFFF, 0x000000};

// A 24-bit image of width x height whose pixel i is kColours[i % 6].
void MakeRgb(CPicImageEx& image, int32_t width, int32_t height) {
    ASSERT_EQ(image.Create(width, height, 24), PIC_ERR_OK);
    for (int32_t i = 0; i < width * height; ++i) {
        uint32_t c = kColours[i % 6];
        uint8_t* p = image.GetPixels() + 3 * i;
        p[0] = (uint8_t)(c >> 16), p[1] = (uint8_t)(c >> 8), p[2] = (uint8_t)c;
    }
}

}  // namespace

TEST(PicImageExDraw, EveryDepthOneToOne) {
    CPicImageEx rgb, rgba, indexed, bits;
    MakeRgb(rgb, 3, 2);
    ASSERT_EQ(rgba.Create(3, 2, 32), PIC_ERR_OK);
    for (int i = 0; i < 6; ++i) {
        memcpy(rgba.GetPixels() + 4 * i, rgb.GetPixels() + 3 * i, 3);
        rgba.GetPixels()[4 * i + 3] = i % 2 ? 0 : 255;  // odd pixels fully transparent
    }
    ASSERT_EQ(indexed.Create(3, 2, 8), PIC_ERR_OK);
    for (int i = 0; i < 256; ++i) indexed.m_palette[i] = {(BYTE)kColours[i % 6], (BYTE)(kColours[i % 6] >> 8), (BYTE)(kColours[i % 6] >> 16), 0};
    for (int i = 0; i < 6; ++i) indexed.GetPixels()[i] = (uint8_t)(6 * (i + 1) + i);  // entry i mod 6
    ASSERT_EQ(bits.Create(3, 2, 1), PIC_ERR_OK);
    // Black and white: the library draws 1-bit images through a monochrome
    // bitmap, which keeps no other colours.
    bits.m_palette[0] = {0, 0, 0, 0};
    bits.m_palette[1] = {0xFF, 0xFF, 0xFF, 0};
    bits.GetPixels()[0] = 0xA0;                 // 1 0 1
    bits.GetPixels()[1] = 0x40;                 // 0 1 0

    struct Case {
        const char* what;
        const CPicImageEx* image;
        uint32_t expected[6];
    } cases[] = {
        {"24-bit", &rgb, {0xFF0000, 0x00FF00, 0x0000FF, 0x102030, 0xFFFFFF, 0x000000}},
        {"32-bit by alpha", &rgba, {0xFF0000, kGrey, 0x0000FF, kGrey, 0xFFFFFF, kGrey}},
        {"8-bit through the palette", &indexed, {0xFF0000, 0x00FF00, 0x0000FF, 0x102030, 0xFFFFFF, 0x000000}},
        {"1-bit through the palette", &bits, {0xFFFFFF, 0x000000, 0xFFFFFF, 0x000000, 0xFFFFFF, 0x000000}},
    };
    for (const Case& c : cases) {
        Canvas canvas(8, 5);
        ASSERT_TRUE(canvas.ok());
        ASSERT_EQ(c.image->Draw(canvas.dc(), POINT{2, 1}), PIC_ERR_OK) << c.what;
        EXPECT_EQ(canvas.Row(1, 2, 3), std::vector<uint32_t>(c.expected, c.expected + 3)) << c.what;
        EXPECT_EQ(canvas.Row(2, 2, 3), std::vector<uint32_t>(c.expected + 3, c.expected + 6)) << c.what;
        int32_t drawn = 0;
        for (uint32_t e : c.expected) drawn += e != kGrey;
        EXPECT_EQ(canvas.CountNotGrey(), drawn) << c.what << ": nothing outside the image";
    }
    Canvas canvas(4, 4);
    CPicImageEx empty;
    EXPECT_EQ(empty.Draw(canvas.dc(), POINT{0, 0}), PIC_ERR_BAD_PARAM);
}

TEST(PicImageExDraw, StretchKeepsTheStretchModeAndRefuses32Bits) {
    CPicImageEx rgb;
    MakeRgb(rgb, 2, 1);  // red, green
    Canvas canvas(6, 3);
    SetStretchBltMode(canvas.dc(), HALFTONE);
    ASSERT_EQ(rgb.StretchDraw(canvas.dc(), RECT{1, 0, 5, 2}), PIC_ERR_OK);
    // Twice as wide and tall, each pixel repeated (colour-on-colour, no blending).
    for (int y = 0; y < 2; ++y)
        EXPECT_EQ(canvas.Row(y, 0, 6), (std::vector<uint32_t>{kGrey, 0xFF0000, 0xFF0000, 0x00FF00, 0x00FF00, kGrey}));
    EXPECT_EQ(canvas.Row(2, 0, 6), std::vector<uint32_t>(6, kGrey));
    EXPECT_EQ(GetStretchBltMode(canvas.dc()), HALFTONE) << "the mode is put back";

    CPicImageEx rgba;
    ASSERT_EQ(rgba.Create(2, 1, 32), PIC_ERR_OK);
    memset(rgba.GetPixels(), 255, 8);
    Canvas untouched(6, 3);
    EXPECT_EQ(rgba.StretchDraw(untouched.dc(), RECT{0, 0, 6, 3}), PIC_ERR_BIT_DEPTH);
    EXPECT_EQ(untouched.CountNotGrey(), 0);
}

TEST(PicImageExDraw, StripFrames) {
    CPicImageEx strip;
    MakeRgb(strip, 6, 1);  // three frames of two pixels
    struct Case {
        int32_t index;
        uint32_t first, second;
    } cases[] = {{0, 0xFF0000, 0x00FF00}, {1, 0x0000FF, 0x102030}, {20, 0xFFFFFF, 0x000000}, {-3, 0xFF0000, 0x00FF00}};
    for (const Case& c : cases) {
        Canvas canvas(4, 2);
        ASSERT_EQ(strip.DrawStripFrame(canvas.dc(), POINT{1, 1}, c.index, 3), PIC_ERR_OK) << c.index;
        EXPECT_EQ(canvas.Row(1, 0, 4), (std::vector<uint32_t>{kGrey, c.first, c.second, kGrey})) << c.index;
        EXPECT_EQ(canvas.CountNotGrey(), 2);
    }
    Canvas canvas(4, 2);
    EXPECT_EQ(strip.DrawStripFrame(canvas.dc(), POINT{0, 0}, 0, 0), PIC_ERR_BAD_PARAM) << "no frames";
    EXPECT_EQ(strip.DrawStripFrame(canvas.dc(), POINT{0, 0}, 0, 7), PIC_ERR_BAD_PARAM) << "frames narrower than a pixel";
    EXPECT_EQ(canvas.CountNotGrey(), 0);

    // 1 bit: three frames of three pixels, 101 011 110; frame 1 does not start on a byte.
    CPicImageEx bits;
    ASSERT_EQ(bits.Create(9, 1, 1), PIC_ERR_OK);
    bits.GetPixels()[0] = 0xAF;  // 1010 1111
    bits.GetPixels()[1] = 0x00;  // 0
    bits.m_palette[0] = {0, 0, 0, 0};
    bits.m_palette[1] = {255, 255, 255, 0};
    Canvas oneBit(3, 1);
    ASSERT_EQ(bits.DrawStripFrame(oneBit.dc(), POINT{0, 0}, 1, 3), PIC_ERR_OK);
    EXPECT_EQ(oneBit.Row(0, 0, 3), (std::vector<uint32_t>{0x000000, 0xFFFFFF, 0xFFFFFF}));
}
