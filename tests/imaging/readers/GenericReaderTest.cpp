// The generic reader: format found from content or name, every output shape,
// the codes of the format reads kept, and the formats whose readers come
// later answering "unsupported".
#include <cstring>

#include "../../QvTest.h"
#include "ReaderTestSupport.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicGenericReader.h"
#include "imaging/readers/PicSources.h"

using readertest::FixtureBytes;
using readertest::GlobalBlock;
using readertest::Source;

namespace {
std::string WithAlpha(const std::string& rgb) {
    std::string rgba;
    for (size_t i = 0; i < rgb.size(); i += 3) rgba += rgb.substr(i, 3) + '\xFF';
    return rgba;
}
}  // namespace

TEST(GenericReader, ShapesOfEveryBuiltFormat) {
    struct Case {
        const char* fault;
        const char* file;
        const WCHAR* name;
        int32_t kind;
        std::string expected;
    } cases[] = {
        {"PNG from memory as RGB", "png_rgb8.png", nullptr, PIC_KIND_RGB, FixtureBytes("png_rgb8_d24_f0.raw")},
        {"PNG as RGBA", "png_rgba8.png", nullptr, PIC_KIND_RGBA, FixtureBytes("png_rgba8_d32_f0.raw")},
        {"BMP as RGB", "bmp24_master7x5.bmp", L"a.bmp", PIC_KIND_RGB, FixtureBytes("bmp24_master7x5.rgb")},
        {"BMP as RGBA", "bmp24_master7x5.bmp", L"a.bmp", PIC_KIND_RGBA,
         WithAlpha(FixtureBytes("bmp24_master7x5.rgb"))},
        {"8-bit BMP through its palette", "bmp8_master13x3.bmp", nullptr, PIC_KIND_RGB,
         FixtureBytes("bmp8_master13x3.rgb")},
        {"GIF through its palette", "gif_master7x5.gif", nullptr, PIC_KIND_RGB, FixtureBytes("gif_master7x5.rgb")},
        {"JPEG at full size", "jpeg_rgb.jpg", L"x.jpg", PIC_KIND_RGB, FixtureBytes("jpeg_rgb_s8.raw")},
        {"grey JPEG as RGBA", "jpeg_grey.jpg", nullptr, PIC_KIND_RGBA, [] {
             std::string grey = FixtureBytes("jpeg_grey_s8.raw"), rgba;
             for (char g : grey) rgba += std::string(3, g) + '\xFF';
             return rgba;
         }()},
        {"1-bit BMP read directly at 1 bit", "bmp1_master7x5.bmp", nullptr, PIC_KIND_1BIT,
         FixtureBytes("bmp1_master7x5.bmp").substr(62)},
    };
    for (const Case& c : cases) {
        for (Source::Kind kind : {Source::kFile, Source::kMemory}) {
            Source source(kind, FixtureBytes(c.file), c.name != nullptr ? c.name : L"noextension");
            int32_t w = -1, h = -1;
            GlobalBlock pixels(pic_ReadImage(source, &w, &h, c.kind, 0));
            ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK) << c.fault;
            ASSERT_NE(pixels.data, nullptr) << c.fault;
            if (c.kind == PIC_KIND_1BIT) {
                // The file's rows are bottom-up and padded to 4 bytes; ours top-down, one byte.
                for (int y = 0; y < h; ++y) EXPECT_EQ(pixels.data[y], (uint8_t)c.expected[(h - 1 - y) * 4]) << c.fault;
                continue;
            }
            EXPECT_EQ(readertest::Hex(pixels.data, c.expected.size()),
                      readertest::Hex((const uint8_t*)c.expected.data(), c.expected.size()))
                << c.fault;
        }
    }
}

TEST(GenericReader, GifTransparencyBecomesAlphaZero) {
    Source source(Source::kMemory, FixtureBytes("gif_local_4x2.gif"));
    int32_t w, h;
    GlobalBlock pixels(pic_ReadImage(source, &w, &h, PIC_KIND_RGBA, 0));
    ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
    std::string indices = FixtureBytes("gif_local_4x2.idx");
    for (int i = 0; i < 8; ++i) EXPECT_EQ(pixels.data[i * 4 + 3], indices[i] == 2 ? 0 : 255) << i;
}

TEST(GenericReader, PackedBitmapsTakeTheirSizeFromTheHeader) {
    for (const char* file : {"bmp8_master7x5.bmp", "png_pal4.png", "gif_master7x5.gif", "jpeg_grey.jpg"}) {
        Source source(Source::kMemory, FixtureBytes(file));
        int32_t w = 0, h = 0;
        GlobalBlock dib(pic_ReadImage(source, &w, &h, PIC_KIND_DIB, 0));
        ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK) << file;
        const BITMAPINFOHEADER* header = (const BITMAPINFOHEADER*)dib.data;
        EXPECT_EQ(header->biSize, 40u) << file;
        EXPECT_EQ(header->biWidth, w) << file;
        EXPECT_EQ(header->biHeight, h) << file;
    }
}

TEST(GenericReader, CodesOfUnknownUnsupportedDamagedAndIncompleteImages) {
    std::string truncated = FixtureBytes("bmp24_master7x5.bmp");
    truncated.resize(truncated.size() - 20);
    std::string damagedJpeg = FixtureBytes("jpeg_rgb.jpg").substr(0, 30);
    struct Case {
        const char* fault;
        std::string bytes;
        const WCHAR* name;
        Source::Kind kind;
        int32_t code;
        bool pixels;
    } cases[] = {
        {"no magic and an unknown extension", std::string(64, 'q'), L"a.xyz", Source::kFile, PIC_ERR_BAD_PARAM, false},
        {"the same bytes named .tga go to the Targa reader", std::string(64, 'q'), L"a.tga", Source::kFile,
         PIC_ERR_BAD_TGA, false},
        {"TIFF waits for its reader", "II*\0" + std::string(60, '\0'), L"a.tif", Source::kMemory,
         PIC_ERR_UNSUPPORTED, false},
        {"TLA with password is unknown", "TLA\x01" + std::string(60, '\0'), L"a.tla", Source::kMemory,
         PIC_ERR_BAD_PARAM, false},
        {"a damaged JPEG keeps the JPEG reader's code", damagedJpeg, L"a.jpg", Source::kMemory, PIC_ERR_BAD_JPG,
         false},
        {"a truncated bitmap stays incomplete", truncated, L"a.bmp", Source::kMemory, PIC_ERR_FILE_READ, true},
        {"a truncated bitmap to 1 bit stays incomplete", truncated, L"a.bmp", Source::kMemory, PIC_ERR_FILE_READ,
         true},
    };
    for (const Case& c : cases) {
        Source source(c.kind, c.bytes, c.name);
        int32_t w, h;
        int32_t kind = strstr(c.fault, "1 bit") != nullptr ? PIC_KIND_1BIT : PIC_KIND_RGB;
        GlobalBlock pixels(pic_ReadImage(source, &w, &h, kind, 0));
        EXPECT_EQ(pic_GetLastError(), c.code) << c.fault;
        EXPECT_EQ(pixels.data != nullptr, c.pixels) << c.fault;
        EXPECT_EQ(readertest::CallDepth(), 0) << c.fault;
    }
    EXPECT_EQ(pic_ReadImage(nullptr, nullptr, nullptr, 0, 0), nullptr);
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM);
}

TEST(GenericReader, AllocationCallbacksArePutBack) {
    static int calls = 0;
    CPicAllocCallbacks callbacks;
    callbacks.alloc = [](uint32_t size, void*) -> void* {
        ++calls;
        return GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size);
    };
    GetThreadState()->allocCallbacks = callbacks;
    Source source(Source::kMemory, FixtureBytes("png_rgb8.png"));
    int32_t w, h;
    GlobalBlock pixels(pic_ReadImage(source, &w, &h, PIC_KIND_RGB, 0));
    EXPECT_EQ(calls, 0) << "every buffer of a generic read is global memory";
    EXPECT_EQ(GetThreadState()->allocCallbacks.alloc, callbacks.alloc);
    GetThreadState()->allocCallbacks = CPicAllocCallbacks();
}

TEST(GenericReader, OneBitThroughGreyAndOtsusThreshold) {
    struct Case {
        const char* file;
        int32_t width, height;
        const char* expected;
    } cases[] = {
        {"png_rgb8.png", 7, 5, "png_rgb8_otsu.bits"},
        {"bmp24_master13x3.bmp", 13, 3, "bmp24_master13x3_otsu.bits"},
    };
    for (const Case& c : cases) {
        Source source(Source::kMemory, FixtureBytes(c.file));
        int32_t w = 0, h = 0;
        GlobalBlock pixels(pic_ReadImage(source, &w, &h, PIC_KIND_1BIT, 0));
        ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK) << c.file;
        ASSERT_NE(pixels.data, nullptr) << c.file;
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(h, c.height);
        std::string expected = FixtureBytes(c.expected);
        EXPECT_EQ(readertest::Hex(pixels.data, expected.size()),
                  readertest::Hex((const uint8_t*)expected.data(), expected.size()))
            << c.file;
    }
}
