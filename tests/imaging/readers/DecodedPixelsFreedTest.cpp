// Decoded pictures leave nothing readable in freed memory: for a picture of
// each format, loaded from memory (as an encrypted picture is), converted,
// resized and freed through the image object and the generic reader, no
// freed block holds a run of its decoded pixels. The marker is the first 24
// bytes of the picture's own 24-bit decode, taken before the scan is armed.
// What the scanner cannot see (Wine's GlobalFree of library-owned blocks)
// is wiped by the same calls as what it sees.
#include <cstring>

#include "../../QvTest.h"
#include "ReaderTestSupport.h"
#include "tests/FreedBlockScanner.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicGenericReader.h"
#include "imaging/readers/PicImageEx.h"
#include "imaging/readers/PicSources.h"

using readertest::FixtureBytes;
using readertest::GlobalBlock;
using readertest::Source;

namespace {

// An enhanced metafile of one row of pseudo-random pixels: a marker once drawn.
std::string SpeckledEmf() {
    RECT frame = {0, 0, 1000, 200};
    HDC dc = CreateEnhMetaFileW(nullptr, nullptr, &frame, nullptr);
    uint32_t state = 12345;
    for (int x = 0; x < 16; ++x) {
        state = state * 1103515245 + 12345;
        SetPixelV(dc, x, 0, RGB(state >> 8, state >> 16, state >> 24));
    }
    return readertest::EnhancedMetafileBytes(CloseEnhMetaFile(dc));
}

// A Photo CD pack whose Base image is speckled (the image object reads that one).
std::string SpeckledPhotoCdPack() {
    std::string b(96 * 2048, '\0');
    memcpy(&b[2048], "PCD_IPI", 7);
    uint32_t state = 777;
    for (uint32_t i = 0; i < 768 * 512 * 3 / 2; ++i) {
        state = state * 1103515245 + 12345;
        b += (char)(60 + (state >> 16) % 140);
    }
    return b;
}

// The first 24 bytes of the picture decoded to 24 bits (empty when it does not decode).
std::string MarkerOf(const std::string& bytes) {
    CPicImageEx image;
    if (image.LoadFromMemory(bytes.data(), (uint32_t)bytes.size(), CPicImageEx::FileTypeUnknown, 0, nullptr) != 0 ||
        image.ConvertTo24Bit() != 0 || image.CalcBufferSize() < 24)
        return std::string();
    return std::string((const char*)image.GetPixels(), 24);
}

// Everything a viewer or the thumbnail loader does with a picture.
void LoadConvertResizeFree(const std::string& bytes) {
    CPicImageEx image;
    ASSERT_EQ(image.LoadFromMemory(bytes.data(), (uint32_t)bytes.size(), CPicImageEx::FileTypeUnknown, 0, nullptr), 0);
    CPicImageEx copy, rgb, eight, thumb;
    EXPECT_EQ(copy.CopyFrom(image), 0);
    EXPECT_EQ(image.ConvertTo24BitInto(rgb), 0);
    EXPECT_EQ(rgb.ConvertTo8BitInto(eight, nullptr, 0), 0);
    EXPECT_EQ(thumb.CreateResizedRGB(SIZE{rgb.GetWidth() / 2 + 1, rgb.GetHeight() / 2 + 1}, rgb, 18), 0);
    EXPECT_EQ(rgb.Resize(SIZE{rgb.GetWidth() * 2, rgb.GetHeight() * 2}, CPicImageEx::PIC_RESIZE_TWO_PASS, false), 0);
    EXPECT_EQ(image.ConvertTo24Bit(), 0);
    for (int32_t kind : {PIC_KIND_RGB, PIC_KIND_RGBA, PIC_KIND_1BIT, PIC_KIND_DIB}) {
        Source source(Source::kMemory, bytes);
        int32_t w = 0, h = 0;
        GlobalBlock block(pic_ReadImage(source, &w, &h, kind, 0));
        EXPECT_NE(block.data, nullptr) << "kind " << kind;
    }
}

}  // namespace

TEST(DecodedPixelsFreed, NoPictureOfAnyFormatStaysInFreedMemory) {
    struct Case {
        const char* format;
        std::string bytes;
    } cases[] = {
        {"PSD RGB", FixtureBytes("psd_rgb_rle.psd")},
        {"PSD indexed", FixtureBytes("psd_pal_rle.psd")},
        {"PSD CMYK", FixtureBytes("psd_cmyk_raw.psd")},
        {"PSD 16-bit grey", FixtureBytes("psd_grey16_raw.psd")},
        {"EMF", SpeckledEmf()},
        {"Photo CD", SpeckledPhotoCdPack()},
        {"BMP", FixtureBytes("bmp24_master13x3.bmp")},
        {"BMP 8-bit", FixtureBytes("bmp8_master7x5.bmp")},
        {"PNG", FixtureBytes("png_rgb8.png")},
        {"JPEG", FixtureBytes("jpeg_rgb.jpg")},
        {"GIF", FixtureBytes("gif_master13x3.gif")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        std::string marker = MarkerOf(c.bytes);
        ASSERT_EQ(marker.size(), 24u);
        CFreedBlockScanner scan(marker);
        LoadConvertResizeFree(c.bytes);
        scan.Stop();
        EXPECT_GT(scan.BlocksScanned(), 0u);
        EXPECT_EQ(scan.Hits(), 0u) << scan.Report();
    }
}
