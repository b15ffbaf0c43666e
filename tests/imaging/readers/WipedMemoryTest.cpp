// Memory that held a picture is wiped before it goes back: every byte the
// PNG and JPEG libraries took for a decode (baseline, progressive,
// interlaced, refused) was overwritten when they gave it back, and so were
// the copies that drawing a picture makes.
#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "../../QvTest.h"
#include "ReaderTestSupport.h"
#include "imaging/core/PicDrawEntryPoints.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicJpegReader.h"
#include "imaging/readers/PicPngReader.h"
#include "imaging/readers/PicSources.h"
#include "imaging/core/PicWipedCopies.h"
#include "framework/base/WipedMemory.h"

using readertest::FixtureBytes;
using readertest::GlobalBlock;
using readertest::Source;

namespace {

enum class Codec { kPng, kJpeg };

struct Decode {
    const char* fixture;
    Codec codec;
    int32_t width, height;  // the fixture's size; 0 when the decode is refused
    size_t smallestWork;    // a floor for the library's own memory in this decode
};

// The bytes the library took and gave back wiped during one decode.
WipedMemoryTotals DecodeAndCount(const Decode& d, int32_t& w, int32_t& h) {
    WipedMemoryTotals before = WipedMemoryCounts();
    {
        Source source(Source::kMemory, FixtureBytes(d.fixture), L"a.bin");
        RGBQUAD palette[256];
        GlobalBlock pixels(d.codec == Codec::kPng ? pic_ReadPNG(source, &w, &h, 24, palette, 0)
                                                  : pic_ReadJPG(source, &w, &h, 24, 0));
    }
    WipedMemoryTotals after = WipedMemoryCounts();
    return WipedMemoryTotals{after.allocated - before.allocated, after.wiped - before.wiped};
}

}  // namespace

TEST(CodecMemory, EveryByteTheLibrariesTookIsWipedBeforeItGoesBack) {
    // Floors: libpng's read structure alone is over 1 KB; libjpeg's memory
    // manager and its per-component tables are over 4 KB, plus at least one
    // output row of the picture.
    const Decode decodes[] = {
        {"png_rgb8.png", Codec::kPng, 7, 5, 1024},
        {"png_grey16i.png", Codec::kPng, 7, 5, 1024},
        {"jpeg_rgb.jpg", Codec::kJpeg, 0, 0, 4096},
        {"jpeg_prog.jpg", Codec::kJpeg, 0, 0, 4096},
        {"jpeg_cut.jpg", Codec::kJpeg, 0, 0, 4096},
    };
    for (const Decode& d : decodes) {
        int32_t w = 0, h = 0;
        WipedMemoryTotals counted = DecodeAndCount(d, w, h);
        if (d.width > 0) {
            EXPECT_EQ(w, d.width) << d.fixture;
            EXPECT_EQ(h, d.height) << d.fixture;
        }
        EXPECT_GE(counted.allocated, d.smallestWork + (size_t)std::max(w, 0) * 3) << d.fixture;
        EXPECT_EQ(counted.wiped, counted.allocated) << d.fixture;
    }
}

TEST(CodecMemory, ARefusedFileGivesBackWipedWhatWasTaken) {
    std::string notAPicture(600, '\x5a');
    for (Codec codec : {Codec::kPng, Codec::kJpeg}) {
        WipedMemoryTotals before = WipedMemoryCounts();
        {
            Source source(Source::kMemory, notAPicture, L"a.bin");
            int32_t w = 0, h = 0;
            RGBQUAD palette[256];
            GlobalBlock pixels(codec == Codec::kPng ? pic_ReadPNG(source, &w, &h, 24, palette, 0)
                                                    : pic_ReadJPG(source, &w, &h, 24, 0));
            EXPECT_EQ(pixels.data, nullptr);
        }
        WipedMemoryTotals after = WipedMemoryCounts();
        EXPECT_EQ(after.wiped - before.wiped, after.allocated - before.allocated);
    }
}

TEST(DrawingCopies, DrawingAPictureWipesTheCopiesItMade) {
    const uint32_t w = 7, h = 5;
    std::vector<uint8_t> rgb(3 * w * h, 0x6b);
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 40, 30, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP target = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, target);
    // A 24-bit copy of the picture with rows padded to 4 bytes, at the least.
    const uint64_t copy = (uint64_t)((3 * w + 3) & ~3u) * h;
    struct Draw {
        const char* name;
        std::function<void()> call;
    } draws[] = {
        {"1:1", [&] { pic_DrawRGB(dc, rgb.data(), w, h, 3 * w, 2, 3, nullptr); }},
        {"stretched", [&] { pic_StretchDrawRGB(dc, rgb.data(), w, h, 3 * w, 0, 0, 30, 20); }},
    };
    for (const Draw& d : draws) {
        uint64_t before = PicWipedCopyBytes();
        d.call();
        EXPECT_EQ(pic_GetLastError(), PIC_ERR_OK) << d.name;
        EXPECT_GE(PicWipedCopyBytes() - before, copy) << d.name;
    }
    // The picture did reach the target.
    EXPECT_EQ(static_cast<const uint32_t*>(bits)[(30 - 1 - 3) * 40 + 2] & 0xFFFFFF, 0x6b6b6bu);
    SelectObject(dc, old);
    DeleteObject(target);
    DeleteDC(dc);
}
