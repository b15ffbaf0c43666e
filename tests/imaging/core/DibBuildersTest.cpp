#include "tests/QvTest.h"

#include <cstring>
#include <vector>

#include "imaging/core/PicOperation.h"
#include "tests/imaging/core/ImagingTestSupport.h"

namespace {

using Bytes = std::vector<uint8_t>;

BITMAPINFOHEADER HeaderOf(const void* dib) {
    BITMAPINFOHEADER h;
    memcpy(&h, dib, sizeof h);
    return h;
}

uint32_t DibRow(uint32_t width, uint32_t bits) { return (width * bits + 31) / 32 * 4; }

TEST(DibBuilders, OnePixelMonoDibIs52Bytes) {
    const uint8_t pixel = 0x80;
    const RGBQUAD colours[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    CPicOperation op;
    void* dib = op.MakeMonoDIB(&pixel, 1, 1, 1, colours, nullptr);
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(GlobalSize(dib), 52u);
    const BITMAPINFOHEADER h = HeaderOf(dib);
    EXPECT_EQ(h.biBitCount, 1);
    EXPECT_EQ(h.biClrUsed, 2u);
    EXPECT_EQ(h.biSizeImage, 4u);
    EXPECT_EQ(static_cast<uint8_t*>(dib)[48], 0x80);
    GlobalFree(dib);
}

TEST(DibBuilders, PalettedRowsArePackedBottomUpForEveryDepth) {
    for (uint32_t bits : {1u, 2u, 4u, 8u})
        for (uint32_t width : {1u, 7u, 9u, 33u}) {
            const uint32_t height = 3, stride = width + 2, count = 1u << bits;
            Bytes src = imgtest::RandomBytes(stride * height, width + bits);
            for (uint8_t& v : src) v = (uint8_t)(v % count);
            const Bytes palette = imgtest::RandomBytes(4 * count, 40);
            CPicOperation op;
            auto* dib = static_cast<uint8_t*>(op.MakePalettedDIB(src.data(), width, height, stride, count, bits,
                                                                 reinterpret_cast<const RGBQUAD*>(palette.data()),
                                                                 nullptr));
            ASSERT_NE(dib, nullptr) << bits << " bits";
            const BITMAPINFOHEADER h = HeaderOf(dib);
            EXPECT_EQ(h.biClrUsed, count);
            EXPECT_EQ(h.biClrImportant, count);
            EXPECT_EQ(memcmp(dib + 40, palette.data(), 4 * count), 0);
            const uint32_t rowBytes = DibRow(width, bits);
            for (uint32_t i = 0; i < height; ++i) {
                Bytes want(rowBytes, 0);
                for (uint32_t x = 0; x < width; ++x) {
                    const uint32_t v = src[(height - 1 - i) * stride + x], bit = x * bits;
                    want[bit / 8] |= (uint8_t)(v << (8 - bits - bit % 8));
                }
                const uint8_t* row = dib + 40 + 4 * count + i * rowBytes;
                EXPECT_EQ(Bytes(row, row + rowBytes), want) << bits << " bits, width " << width << ", row " << i;
            }
            GlobalFree(dib);
        }
}

TEST(DibBuilders, RGBRowsSwappedFlippedAndPadded) {
    const uint32_t width = 3, height = 2, stride = 11;
    const Bytes src = imgtest::RandomBytes(stride * height, 41);
    for (uint32_t flags : {0u, 1u, 2u, 3u}) {
        CPicOperation op;
        auto* dib = static_cast<uint8_t*>(op.MakeRGBDIB(src.data(), width, height, stride, nullptr, flags));
        ASSERT_NE(dib, nullptr);
        EXPECT_EQ(GlobalSize(dib), 40u + 12 * height);
        for (uint32_t i = 0; i < height; ++i) {
            const uint32_t from = (flags & 2) ? i : height - 1 - i;
            Bytes want(12, 0);
            for (uint32_t k = 0; k < 9; ++k) {
                const uint32_t pixel = k / 3, byte = k % 3;
                want[k] = src[from * stride + pixel * 3 + ((flags & 1) ? byte : 2 - byte)];
            }
            EXPECT_EQ(Bytes(dib + 40 + 12 * i, dib + 52 + 12 * i), want) << "flags " << flags << " row " << i;
        }
        GlobalFree(dib);
    }
}

TEST(DibBuilders, UnswappedRowsNeverWritePastTheirDibRow) {
    // A caller's stride of 20 bytes for 3-pixel rows: only 9 bytes of each are pixels.
    const uint32_t width = 3, height = 4, stride = 20;
    const Bytes src = imgtest::RandomBytes(stride * height, 42);
    Bytes block(40 + 12 * height + 16, 0xCD);
    CPicOperation op;
    ASSERT_EQ(op.MakeRGBDIB(src.data(), width, height, stride, block.data(), 1), block.data());
    for (uint32_t i = 0; i < height; ++i) {
        Bytes want(src.begin() + (height - 1 - i) * stride, src.begin() + (height - 1 - i) * stride + 9);
        want.resize(12, 0);
        EXPECT_EQ(Bytes(block.begin() + 40 + 12 * i, block.begin() + 52 + 12 * i), want) << "row " << i;
    }
    EXPECT_EQ(Bytes(block.end() - 16, block.end()), Bytes(16, 0xCD)) << "written past the block";
}

TEST(DibBuilders, RGBAFlippedWithRedAndBlueExchanged) {
    const uint32_t width = 5, height = 3, stride = 22;
    const Bytes src = imgtest::RandomBytes(stride * height, 43);
    CPicOperation op;
    auto* dib = static_cast<uint8_t*>(op.MakeRGBADIB(src.data(), width, height, stride, nullptr));
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(HeaderOf(dib).biBitCount, 32);
    for (uint32_t i = 0; i < height; ++i)
        for (uint32_t p = 0; p < width; ++p) {
            const uint8_t* s = &src[(height - 1 - i) * stride + 4 * p];
            const uint8_t* d = dib + 40 + i * 4 * width + 4 * p;
            EXPECT_EQ(Bytes(d, d + 4), (Bytes{s[2], s[1], s[0], s[3]})) << "row " << i << " pixel " << p;
        }
    GlobalFree(dib);
}

TEST(DibBuilders, DibToRGBReadsBottomUpTopDownAndPalettes) {
    const uint32_t width = 7, height = 5;
    const Bytes rgb = imgtest::RandomBytes(width * 3 * height, 44);
    CPicOperation op;
    auto* dib = static_cast<uint8_t*>(op.MakeRGBDIB(rgb.data(), width, height, width * 3, nullptr, 0));
    ASSERT_NE(dib, nullptr);
    Bytes out(rgb.size(), 0);
    EXPECT_TRUE(op.DIBToRGB(dib, out.data()));
    EXPECT_EQ(out, rgb) << "bottom-up 24 bits";
    // The same pixels stored top-down.
    const uint32_t rowBytes = DibRow(width, 24);
    Bytes topDown(dib, dib + 40 + rowBytes * height);
    for (uint32_t i = 0; i < height; ++i)
        memcpy(&topDown[40 + i * rowBytes], dib + 40 + (height - 1 - i) * rowBytes, rowBytes);
    reinterpret_cast<BITMAPINFOHEADER*>(topDown.data())->biHeight = -(LONG)height;
    std::fill(out.begin(), out.end(), 0);
    EXPECT_TRUE(op.DIBToRGB(topDown.data(), out.data()));
    EXPECT_EQ(out, rgb) << "top-down 24 bits";
    reinterpret_cast<BITMAPINFOHEADER*>(topDown.data())->biCompression = BI_RLE8;
    EXPECT_FALSE(op.DIBToRGB(topDown.data(), out.data()));
    EXPECT_EQ(op.status, 17);
    reinterpret_cast<BITMAPINFOHEADER*>(topDown.data())->biSize = 12;
    EXPECT_FALSE(op.DIBToRGB(topDown.data(), out.data()));
    EXPECT_EQ(op.status, 5);
    GlobalFree(dib);

    Bytes indices = imgtest::RandomBytes(width * height, 45);
    for (uint8_t& v : indices) v %= 16;
    const Bytes palette = imgtest::RandomBytes(64, 46);
    auto* paletted = static_cast<uint8_t*>(op.MakePalettedDIB(indices.data(), width, height, width, 16, 4,
                                                              reinterpret_cast<const RGBQUAD*>(palette.data()),
                                                              nullptr));
    ASSERT_NE(paletted, nullptr);
    EXPECT_TRUE(op.DIBToRGB(paletted, out.data()));
    for (uint32_t i = 0; i < width * height; ++i) {
        const uint8_t* e = &palette[4 * indices[i]];
        EXPECT_EQ(Bytes(out.begin() + 3 * i, out.begin() + 3 * i + 3), (Bytes{e[2], e[1], e[0]})) << "pixel " << i;
    }
    GlobalFree(paletted);
}

TEST(DibBuilders, Refusals) {
    Bytes src(64, 1);
    const RGBQUAD palette[256] = {};
    CPicOperation op;
    struct Case {
        const char* what;
        void* dib;
    } cases[] = {
        {"mono without source", op.MakeMonoDIB(nullptr, 8, 8, 1, palette, nullptr)},
        {"mono stride shorter than a row", op.MakeMonoDIB(src.data(), 9, 1, 1, palette, nullptr)},
        {"paletted with 0 bits", op.MakePalettedDIB(src.data(), 4, 4, 4, 2, 0, palette, nullptr)},
        {"paletted with 9 bits", op.MakePalettedDIB(src.data(), 4, 4, 4, 2, 9, palette, nullptr)},
        {"more colours than 1 << bits", op.MakePalettedDIB(src.data(), 4, 4, 4, 17, 4, palette, nullptr)},
        {"negative RGB width", op.MakeRGBDIB(src.data(), 0x80000000u, 1, 4, nullptr, 0)},
        {"RGB of no rows", op.MakeRGBDIB(src.data(), 4, 0, 12, nullptr, 0)},
        {"RGB at the size limit", op.MakeRGBDIB(src.data(), 0x7FFFFFF0u, 2, 0, nullptr, 1)},
        {"RGBA at the size limit", op.MakeRGBADIB(src.data(), 0x10000, 0x10000, 0, nullptr)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.dib, nullptr) << c.what;
        if (c.dib) GlobalFree(c.dib);
    }
    // Each refusal leaves its own code: run them again one by one.
    EXPECT_EQ(op.MakePalettedDIB(src.data(), 4, 4, 4, 17, 4, palette, nullptr), nullptr);
    EXPECT_EQ(op.status, 5);
    EXPECT_EQ(op.MakeRGBADIB(src.data(), 0x10000, 0x10000, 0, nullptr), nullptr);
    EXPECT_EQ(op.status, 1);
    EXPECT_EQ(op.MakeRGBDIB(src.data(), 0x80000000u, 1, 4, nullptr, 0), nullptr);
    EXPECT_EQ(op.status, 5);
}

}  // namespace
