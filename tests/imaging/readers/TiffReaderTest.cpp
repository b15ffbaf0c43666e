// TIFF reader: compressions, strips, tiles, planes, depths, pages and all
// eight orientations on the raw decoders and the RGBA path, against the
// generator's reference pixels (ImageMagick, tiff2rgba, convert -auto-orient);
// file and memory sources alike; header values, packed bitmaps, the
// library's messages in our log, and the refusals.
#include <cstring>
#include <sstream>

#include "../../QvTest.h"
#include "ReaderTestSupport.h"
#include "TiffTestFiles.h"
#include "framework/base/WipedMemory.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicGenericReader.h"
#include "imaging/readers/PicImageEx.h"
#include "imaging/readers/PicSources.h"
#include "imaging/readers/PicTiffDecode.h"
#include "imaging/readers/PicTiffReader.h"

using readertest::FixtureBytes;
using readertest::GlobalBlock;
using readertest::Source;

namespace {

std::string Tiff(const std::string& name) { return FixtureBytes(("tiff/" + name).c_str()); }

// The delivered pixels in the form the expected file holds: indices of an
// 8-bit read go through the delivered palette to red, green, blue.
std::string Delivered(const uint8_t* pixels, int32_t depth, int32_t w, int32_t h, const RGBQUAD* palette,
                      uint32_t flags) {
    if (depth == 8) {
        std::string rgb;
        for (int32_t i = 0; i < w * h; ++i) {
            const RGBQUAD& q = palette[pixels[i]];
            rgb += {(char)q.rgbRed, (char)q.rgbGreen, (char)q.rgbBlue};
        }
        return rgb;
    }
    uint64_t row = depth == 1 ? (uint64_t)(w + 7) / 8 : (uint64_t)w * depth / 8;
    if ((flags & PIC_TIFF_PADDED) && depth != 32 && depth != 96) row = (row + 3) / 4 * 4;
    return std::string((const char*)pixels, row * h);
}

}  // namespace

TEST(TiffReader, TableOfFilesDepthsAndOrientations) {
    std::istringstream cases(Tiff("cases.txt"));
    std::string file, expectedName;
    int32_t depth, flags, page, width, height, code, count = 0;
    while (cases >> file >> depth >> flags >> page >> width >> height >> code >> expectedName) {
        std::string bytes = Tiff(file);
        for (Source::Kind kind : {Source::kFile, Source::kMemory}) {
            Source source(kind, bytes, L"a.tif");
            int32_t w = 0, h = 0;
            RGBQUAD palette[256] = {};
            GlobalBlock pixels(pic_ReadTIFF(source, &w, &h, depth, palette, page, (uint32_t)flags));
            std::string what = file + " at " + std::to_string(depth) + " flags " + std::to_string(flags);
            ASSERT_EQ(pic_GetLastError(), code) << what;
            if (code != 0) {
                EXPECT_EQ(pixels.data, nullptr) << what;
                continue;
            }
            ASSERT_NE(pixels.data, nullptr) << what;
            ASSERT_EQ(w, width) << what;
            ASSERT_EQ(h, height) << what;
            std::string expected = Tiff(expectedName);
            std::string got = Delivered(pixels.data, depth, w, h, palette, (uint32_t)flags);
            ASSERT_EQ(got.size(), expected.size()) << what;
            EXPECT_EQ(readertest::Hex((const uint8_t*)got.data(), got.size()),
                      readertest::Hex((const uint8_t*)expected.data(), expected.size()))
                << what;
        }
        ++count;
    }
    EXPECT_GT(count, 70);
}

TEST(TiffReader, HeaderValuesOfAPage) {
    struct Case {
        const char* file;
        int32_t page, width, height, bits;
        double x, y;
        int32_t unit;
    } cases[] = {
        {"res.tif", 0, 7, 5, 24, 200, 100, 2},
        {"rgba.tif", 0, 7, 5, 32, -1, -1, -1},  // an alpha sample counts
        {"float.tif", 0, 7, 5, 96, 0, 0, 0},    // no resolution tags: 0, 0, 0
        {"pages.tif", 1, 6, 3, 24, -1, -1, -1},
        {"orient6.tif", 0, 7, 5, 24, -1, -1, -1},  // stored size, not turned
    };
    for (const Case& c : cases) {
        Source source(Source::kMemory, Tiff(c.file));
        int32_t w = 0, h = 0, bits = 0;
        PicResolutionInfo resolution = {-5, -5, -5};
        ASSERT_TRUE(pic_GetTIFFDims(source, c.page, &w, &h, &bits, &resolution, nullptr)) << c.file;
        EXPECT_EQ(w, c.width) << c.file;
        EXPECT_EQ(h, c.height) << c.file;
        EXPECT_EQ(bits, c.bits) << c.file;
        if (c.unit >= 0) {
            EXPECT_EQ(resolution.x, c.x) << c.file;
            EXPECT_EQ(resolution.y, c.y) << c.file;
            EXPECT_EQ(resolution.unit, c.unit) << c.file;
        }
        EXPECT_EQ(readertest::CallDepth(), 0);
    }
}

TEST(TiffReader, PackedBitmapsTakeTheFilesOwnDepth) {
    struct Case {
        const char* file;
        int32_t bits;
        int32_t colours;
    } cases[] = {
        {"grey16.tif", 8, 256}, {"rgb_none.tif", 24, 0}, {"rgba.tif", 32, 0},
        {"cmyk.tif", 32, 0},    {"bits_g4.tif", 1, 2},   {"palette8.tif", 8, 256},
    };
    for (const Case& c : cases) {
        Source source(Source::kMemory, Tiff(c.file));
        int32_t w = 0, h = 0;
        GlobalBlock dib(pic_ReadTIFF(source, &w, &h, 0, nullptr, 0, PIC_TIFF_DIB));
        ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK) << c.file;
        ASSERT_NE(dib.data, nullptr);
        BITMAPINFOHEADER header;
        memcpy(&header, dib.data, sizeof header);
        EXPECT_EQ(header.biSize, 40u);
        EXPECT_EQ(header.biBitCount, c.bits) << c.file;
        EXPECT_EQ((int32_t)header.biClrUsed, c.colours) << c.file;
        EXPECT_EQ(header.biWidth, w);
        EXPECT_EQ(header.biHeight, h);
    }
    // A 1-bit bitmap's rows are the image's rows bottom-up, padded to 4 bytes,
    // a set bit black (entry 1).
    {
        Source bits(Source::kMemory, Tiff("bits_g4.tif"));
        int32_t w = 0, h = 0;
        GlobalBlock dib(pic_ReadTIFF(bits, &w, &h, 0, nullptr, 0, PIC_TIFF_DIB));
        ASSERT_NE(dib.data, nullptr);
        const RGBQUAD* table = (const RGBQUAD*)(dib.data + 40);
        EXPECT_EQ(table[0].rgbRed, 255);
        EXPECT_EQ(table[1].rgbRed, 0);
        std::string expected = Tiff("bits_g4_d1.raw");
        uint32_t row = (w + 7) / 8, padded = (row + 3) / 4 * 4;
        for (int32_t y = 0; y < h; ++y)
            EXPECT_EQ(readertest::Hex(dib.data + 48 + (uint64_t)(h - 1 - y) * padded, row),
                      readertest::Hex((const uint8_t*)expected.data() + (uint64_t)y * row, row))
                << "row " << y;
    }
    // The bottom row of a 24-bit bitmap is the image's last row, blue first,
    // and the resolution is in pixels per metre.
    Source source(Source::kMemory, Tiff("res.tif"));
    int32_t w = 0, h = 0;
    GlobalBlock dib(pic_ReadTIFF(source, &w, &h, 0, nullptr, 0, PIC_TIFF_DIB));
    ASSERT_NE(dib.data, nullptr);
    BITMAPINFOHEADER header;
    memcpy(&header, dib.data, sizeof header);
    EXPECT_EQ(header.biXPelsPerMeter, 7874);  // 200 per inch
    EXPECT_EQ(header.biYPelsPerMeter, 3937);
    std::string rgb = Tiff("rgb_none_d24.raw");
    const uint8_t* bottom = dib.data + 40;
    const uint8_t* last = (const uint8_t*)rgb.data() + 3 * 7 * 4;
    for (int x = 0; x < 7; ++x) {
        EXPECT_EQ(bottom[3 * x], last[3 * x + 2]);
        EXPECT_EQ(bottom[3 * x + 2], last[3 * x]);
    }
}

TEST(TiffReader, RefusalsByDepthAndArguments) {
    struct Case {
        const char* fault;
        const char* file;
        int32_t depth;
        uint32_t flags;
        bool palette;
        int32_t code;
    } cases[] = {
        {"12 bits is no depth", "rgb_none.tif", 12, 0, true, PIC_ERR_BAD_PARAM},
        {"8 bits without a palette", "grey8.tif", 8, 0, false, PIC_ERR_BAD_PARAM},
        {"1 bit without a palette", "bits_g4.tif", 1, 0, false, PIC_ERR_BAD_PARAM},
        {"an 8-bit RGB file at 8 bits", "rgb_none.tif", 8, 0, true, PIC_ERR_BIT_DEPTH},
        {"a grey file at 1 bit", "grey8.tif", 1, 0, true, PIC_ERR_BIT_DEPTH},
        {"CMYK at 8 bits", "cmyk.tif", 8, 0, true, PIC_ERR_BIT_DEPTH},
        {"8-bit samples at 48 bits", "rgb_none.tif", 48, 0, true, PIC_ERR_BIT_DEPTH},
        {"16-bit RGB at 64 bits", "rgb16.tif", 64, 0, true, PIC_ERR_BIT_DEPTH},
        {"a packed and padded 1-bit read", "bits_g4.tif", 1, PIC_TIFF_DIB | PIC_TIFF_PADDED, true, PIC_ERR_BAD_PARAM},
    };
    for (const Case& c : cases) {
        Source source(Source::kMemory, Tiff(c.file));
        int32_t w = 0, h = 0;
        RGBQUAD palette[256];
        GlobalBlock pixels(pic_ReadTIFF(source, &w, &h, c.depth, c.palette ? palette : nullptr, 0, c.flags));
        EXPECT_EQ(pic_GetLastError(), c.code) << c.fault;
        EXPECT_EQ(pixels.data, nullptr) << c.fault;
        EXPECT_EQ(readertest::CallDepth(), 0) << c.fault;
    }
    Source closed(Source::kMemory, Tiff("rgb_none.tif"));
    pic_CloseSource(nullptr);
    int32_t w, h, bits;
    EXPECT_FALSE(pic_GetTIFFDims(nullptr, 0, &w, &h, &bits, nullptr, nullptr));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM);
    EXPECT_FALSE(pic_GetTIFFDims(closed, 0, nullptr, &h, &bits, nullptr, nullptr));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM);
}

TEST(TiffReader, PaletteOfMoreThan256EntriesIsRefused) {
    // A legal palette file of 16-bit indices: its 65536 map entries must not be
    // written into the 256-entry palette.
    Source source(Source::kMemory, tifftest::Palette16());
    int32_t w = 0, h = 0;
    RGBQUAD palette[257];
    memset(palette, 0x5A, sizeof palette);
    GlobalBlock pixels(pic_ReadTIFF(source, &w, &h, 8, palette, 0, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BIT_DEPTH);
    EXPECT_EQ(pixels.data, nullptr);
    EXPECT_EQ(palette[256].rgbRed, 0x5A);
}

TEST(TiffReader, UnreadableStripsDeliverTheImageWithCode3) {
    // Strips 0 and 2 read; strip 1 points past the end of the file. The rows
    // of strip 1 come out 0 and the read says the image is incomplete.
    for (int32_t depth : {8, 24}) {
        Source source(Source::kMemory, tifftest::GreyStrips(4, 6, 2, /*badStrip=*/1));
        int32_t w = 0, h = 0;
        RGBQUAD palette[256];
        GlobalBlock pixels(pic_ReadTIFF(source, &w, &h, depth, palette, 0, 0));
        EXPECT_EQ(pic_GetLastError(), PIC_ERR_FILE_READ) << depth;
        ASSERT_NE(pixels.data, nullptr) << depth;
        ASSERT_EQ(w, 4);
        ASSERT_EQ(h, 6);
        int32_t bpp = depth / 8;
        for (int32_t y = 0; y < 6; ++y)
            for (int32_t x = 0; x < 4; ++x) {
                uint8_t v = pixels.data[(y * 4 + x) * bpp];
                uint8_t expected = (y == 2 || y == 3) ? 0 : tifftest::GreyValue(x, y);
                if (depth == 8) v = palette[v].rgbGreen;
                EXPECT_EQ(v, expected) << depth << " at " << x << "," << y;
            }
    }
}

TEST(TiffReader, LibraryWarningsGoToTheLogAndTheReadSucceeds) {
    // An unknown private tag makes the library warn while the page opens.
    Source source(Source::kMemory, tifftest::GreyWithUnknownTag());
    GetThreadState()->errorLog.clear();
    int32_t w = 0, h = 0;
    RGBQUAD palette[256];
    GlobalBlock pixels(pic_ReadTIFF(source, &w, &h, 8, palette, 0, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_OK);
    EXPECT_NE(pixels.data, nullptr);
    bool found = false;
    for (const CPicErrorLogEntry& e : GetThreadState()->errorLog)
        if (e.message.rfind("LibTiff Warning: ", 0) == 0) {
            found = true;
            EXPECT_EQ(e.message.back(), '\n');
            EXPECT_EQ(e.code, PIC_ERR_BAD_TIFF);
            EXPECT_EQ(e.level, PIC_LOG_WARNING);
        }
    EXPECT_TRUE(found);
}

TEST(TiffReader, ProgressCallbackStopsTheRead) {
    CPicThreadState* state = GetThreadState();
    state->progressCallback = [](uint32_t, uint32_t, void*) -> BOOL { return FALSE; };
    for (int32_t depth : {8, 24}) {
        Source source(Source::kMemory, Tiff("grey8.tif"));
        int32_t w = 0, h = 0;
        RGBQUAD palette[256];
        GlobalBlock pixels(pic_ReadTIFF(source, &w, &h, depth, palette, 0, 0));
        EXPECT_EQ(pic_GetLastError(), PIC_ERR_CANCELLED) << depth;
        EXPECT_EQ(pixels.data, nullptr) << depth;
    }
    state->progressCallback = nullptr;
}

TEST(TiffReader, GenericReaderTakesEveryShape) {
    struct Case {
        const char* file;
        int32_t kind;
        const char* expected;  // the reader's own expected pixels
    } cases[] = {
        {"rgb_lzw_pred.tif", PIC_KIND_RGB, "rgb_lzw_pred_d24.raw"},
        {"rgba.tif", PIC_KIND_RGBA, "rgba_d32.raw"},
        {"bits_g4.tif", PIC_KIND_1BIT, "bits_g4_d1.raw"},  // read at 1 bit, not thresholded
        {"orient6.tif", PIC_KIND_RGB, "orient6_d24.raw"},
    };
    for (const Case& c : cases) {
        for (Source::Kind kind : {Source::kFile, Source::kMemory}) {
            Source source(kind, Tiff(c.file), L"b.tif");
            int32_t w = 0, h = 0;
            GlobalBlock pixels(pic_ReadImage(source, &w, &h, c.kind, 0));
            ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK) << c.file;
            ASSERT_NE(pixels.data, nullptr) << c.file;
            std::string expected = Tiff(c.expected);
            EXPECT_EQ(readertest::Hex(pixels.data, expected.size()),
                      readertest::Hex((const uint8_t*)expected.data(), expected.size()))
                << c.file;
        }
    }
    Source source(Source::kMemory, Tiff("grey16.tif"));
    int32_t w = 0, h = 0;
    GlobalBlock dib(pic_ReadImage(source, &w, &h, PIC_KIND_DIB, 0));
    ASSERT_NE(dib.data, nullptr);
    EXPECT_EQ(((BITMAPINFOHEADER*)dib.data)->biBitCount, 8);
}

TEST(TiffReader, ImageObjectTypesPagesPalettesAndResolution) {
    struct Case {
        const char* file;
        int32_t type;  // as guessed from the bytes
        int32_t page;
        int32_t width, height, bits, paletteCount;
    } cases[] = {
        {"rgb_zip.tif", CPicImageEx::FileTypeTIFF24, 0, 7, 5, 24, 0},
        {"rgba.tif", CPicImageEx::FileTypeTIFF32, 0, 7, 5, 32, 0},
        {"grey8.tif", CPicImageEx::FileTypeTIFF8, 0, 7, 5, 8, 256},
        {"bits_g3.tif", CPicImageEx::FileTypeTIFF1, 0, 37, 35, 1, 2},
        {"pages.tif", CPicImageEx::FileTypeTIFF24, 2, 7, 3, 24, 0},
        {"res.tif", CPicImageEx::FileTypeTIFF24, 0, 7, 10, 24, 0},  // 200 x 100 per inch: stretched to 10 rows
    };
    for (const Case& c : cases) {
        std::string bytes = Tiff(c.file);
        CPicImageEx image;
        ASSERT_EQ(image.LoadFromMemory(bytes.data(), (uint32_t)bytes.size(), CPicImageEx::FileTypeUnknown, c.page,
                                       nullptr),
                  PIC_ERR_OK)
            << c.file;
        EXPECT_EQ(image.GetFileType(), c.type) << c.file;
        EXPECT_EQ(image.GetWidth(), c.width) << c.file;
        EXPECT_EQ(image.GetHeight(), c.height) << c.file;
        EXPECT_EQ(image.GetBitsPerPixel(), c.bits) << c.file;
        EXPECT_EQ(image.GetPaletteCount(), c.paletteCount) << c.file;
        if (c.bits == 1) {
            EXPECT_EQ(image.GetPalette()[0].rgbGreen, 255) << "entry 0 white";
            EXPECT_EQ(image.GetPalette()[1].rgbGreen, 0) << "entry 1 black";
        }
    }
    std::string bytes = Tiff("res.tif");
    CPicImageEx image;
    ASSERT_EQ(image.LoadFromMemory(bytes.data(), (uint32_t)bytes.size(), CPicImageEx::FileTypeTIFF24, 0, nullptr), 0);
    EXPECT_EQ(image.GetResolutionUnit(), 2);
}

TEST(TiffReader, WorkingPixelsAreWipedBeforeRelease) {
    struct Case {
        const char* file;
        int32_t depth;
        uint64_t pixels;
    } cases[] = {
        {"big_tiled.tif", 24, 16 * 16},  // decoded into the caller's block: only the tile buffer
        {"orient6.tif", 24, 7 * 5},      // the stored rows and the turned copy
        {"grey8_tiled.tif", 8, 7 * 5},
        {"orientbits6.tif", 1, 37 * 35 / 8},
        {"rgba.tif", 32, 7 * 5 * 4 / 4},  // the raster
    };
    for (const Case& c : cases) {
        int32_t depth = c.depth;
        Source source(Source::kMemory, Tiff(c.file));
        WipedMemoryTotals before = WipedMemoryCounts();
        int32_t w = 0, h = 0;
        RGBQUAD palette[256];
        GlobalBlock pixels(pic_ReadTIFF(source, &w, &h, depth, palette, 0, 0));
        ASSERT_NE(pixels.data, nullptr);
        WipedMemoryTotals after = WipedMemoryCounts();
        // The stored pixels, the tile buffer, the raster and the turned copy all
        // went through the wiping heap.
        EXPECT_GE(after.allocated - before.allocated, c.pixels * (uint64_t)std::max(1, depth / 8)) << depth;
        EXPECT_EQ(after.allocated - before.allocated, after.wiped - before.wiped) << depth;
    }
}

TEST(TiffReader, IndexedPixelsKeepTheirAlphaSample) {
    Source source(Source::kMemory, Tiff("palalpha.tif"));
    int32_t w = 0, h = 0;
    GlobalBlock pixels(pic_ReadTIFF(source, &w, &h, 32, nullptr, 0, 0));
    ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
    ASSERT_NE(pixels.data, nullptr);
    std::string expected = Tiff("palalpha_im.rgba");
    ASSERT_EQ(expected.size(), (size_t)w * h * 4);
    for (size_t i = 0; i < expected.size(); ++i) {
        int want = (uint8_t)expected[i], got = pixels.data[i];
        if (i % 4 == 3)
            EXPECT_EQ(got, want) << "alpha of pixel " << i / 4;
        else
            EXPECT_LE(std::abs(got - want), 1) << "channel " << i % 4 << " of pixel " << i / 4;
    }
}
