// PNG reader: the colour type x bit depth x requested depth matrix, plain and
// interlaced, with tRNS and bKGD, against the generator's model; file and
// memory sources alike; refusals, packed bitmaps and truncation.
#include <cstring>
#include <sstream>

#include "../../QvTest.h"
#include "ReaderTestSupport.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicPngReader.h"
#include "imaging/readers/PicSources.h"

using readertest::FixtureBytes;
using readertest::GlobalBlock;
using readertest::Source;

TEST(PngReader, MatrixOfColourTypesDepthsAndRequests) {
    std::istringstream cases(FixtureBytes("png_cases.txt"));
    std::string file, raw;
    int depth, flags, count = 0;
    while (cases >> file >> depth >> flags >> raw) {
        std::string bytes = FixtureBytes(file.c_str());
        std::string expected = FixtureBytes(raw.c_str());
        for (Source::Kind kind : {Source::kFile, Source::kMemory}) {
            Source source(kind, bytes, L"a.png");
            int32_t w = 0, h = 0;
            RGBQUAD palette[256];
            GlobalBlock pixels(pic_ReadPNG(source, &w, &h, depth, palette, (uint32_t)flags));
            ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK) << file << " at " << depth;
            ASSERT_EQ(w, 7);
            ASSERT_EQ(h, 5);
            EXPECT_EQ(readertest::Hex(pixels.data, expected.size()),
                      readertest::Hex((const uint8_t*)expected.data(), expected.size()))
                << file << " at " << depth << " flags " << flags;
        }
        ++count;
    }
    EXPECT_GT(count, 80);
}

TEST(PngReader, PalettesOfIndexedReads) {
    // A palette image with tRNS: the alphas ride in the fourth bytes.
    Source source(Source::kMemory, FixtureBytes("png_pal8.png"));
    RGBQUAD palette[256];
    int32_t w, h;
    GlobalBlock pixels(pic_ReadPNG(source, &w, &h, 8, palette, 0));
    ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
    EXPECT_EQ(palette[3].rgbRed, 3 * 37 % 256);
    EXPECT_EQ(palette[3].rgbBlue, 3 * 13);
    EXPECT_EQ(palette[3].rgbReserved, 150);
    // A 4-bit grey image: values 0..15 with the ramp 0, 17, ..., 255, then copies of entry 0.
    Source grey(Source::kMemory, FixtureBytes("png_grey4.png"));
    GlobalBlock greyPixels(pic_ReadPNG(grey, &w, &h, 8, palette, 0));
    ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(palette[i].rgbGreen, i * 17);
    EXPECT_EQ(palette[16].rgbGreen, 0);
    EXPECT_EQ(palette[16].rgbReserved, 255);
    int32_t count = 0;
    ASSERT_TRUE(pic_Seek(grey, 0, 0));
    ASSERT_TRUE(pic_GetPNGPalette(grey, &count, palette, nullptr));
    EXPECT_EQ(count, 16);
}

TEST(PngReader, RefusalsByDepthAndRowSize) {
    struct Case {
        const char* fault;
        const char* file;
        int32_t depth;
        uint32_t flags;
        int32_t code;
    } cases[] = {
        {"8-bit RGB at 48 bits", "png_rgb8.png", 48, 0, PIC_ERR_UNSUPPORTED},
        {"8-bit RGB at 64 bits", "png_rgb8.png", 64, 0, PIC_ERR_UNSUPPORTED},
        {"1-bit grey at 16 bits with flag 4", "png_grey1.png", 16, 4, PIC_ERR_BIT_DEPTH},
        {"RGB at 8 bits", "png_rgb8.png", 8, 0, PIC_ERR_BIT_DEPTH},
        {"grey plus alpha at 1 bit", "png_ga8.png", 1, 0, PIC_ERR_BIT_DEPTH},
        {"2-bit palette at 1 bit", "png_pal2.png", 1, 0, PIC_ERR_UNSUPPORTED},
        {"RGB at 16 bits without flag 4", "png_rgb16.png", 16, 0, PIC_ERR_BIT_DEPTH},
        {"12 bits is no depth", "png_rgb8.png", 12, 0, PIC_ERR_BAD_PARAM},
        {"flags 2 and 8 together", "png_rgb8.png", 24, 10, PIC_ERR_BAD_PARAM},
    };
    for (const Case& c : cases) {
        Source source(Source::kMemory, FixtureBytes(c.file));
        int32_t w, h;
        RGBQUAD palette[256];
        GlobalBlock pixels(pic_ReadPNG(source, &w, &h, c.depth, palette, c.flags));
        EXPECT_EQ(pic_GetLastError(), c.code) << c.fault;
        EXPECT_EQ(pixels.data, nullptr) << c.fault;
        EXPECT_EQ(readertest::CallDepth(), 0) << c.fault;
    }
}

TEST(PngReader, PackedBitmapsAtTheImagesOwnDepth) {
    struct Case {
        const char* file;
        uint16_t bits;
        uint32_t colours;
    } cases[] = {{"png_pal1.png", 1, 2}, {"png_pal2i.png", 4, 16}, {"png_pal4.png", 4, 16}, {"png_grey2.png", 8, 256},
                 {"png_rgb16.png", 24, 0}, {"png_ga8.png", 32, 0}};
    for (const Case& c : cases) {
        Source source(Source::kMemory, FixtureBytes(c.file));
        int32_t w, h;
        GlobalBlock dib(pic_ReadPNG(source, &w, &h, 0, nullptr, 2));
        ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK) << c.file;
        const BITMAPINFOHEADER* header = (const BITMAPINFOHEADER*)dib.data;
        EXPECT_EQ(header->biBitCount, c.bits) << c.file;
        EXPECT_EQ(header->biClrUsed, c.colours) << c.file;
        EXPECT_EQ(header->biHeight, 5);
    }
    // The 2-bit palette image as a 4-bit bitmap: the bottom row is image row 4.
    Source pal(Source::kMemory, FixtureBytes("png_pal2i.png"));
    int32_t w, h;
    RGBQUAD palette[256];
    GlobalBlock indices(pic_ReadPNG(pal, &w, &h, 8, palette, 0));
    ASSERT_TRUE(pic_Seek(pal, 0, 0));
    GlobalBlock dib(pic_ReadPNG(pal, &w, &h, 0, nullptr, 2));
    const uint8_t* bottom = dib.data + 40 + 64;
    for (int x = 0; x < 7; ++x) EXPECT_EQ((bottom[x / 2] >> (x % 2 ? 0 : 4)) & 15, indices.data[4 * 7 + x]) << x;
    // 24-bit rows are blue first and padded.
    Source rgb(Source::kMemory, FixtureBytes("png_rgb8.png"));
    GlobalBlock plain(pic_ReadPNG(rgb, &w, &h, 24, nullptr, 0));
    ASSERT_TRUE(pic_Seek(rgb, 0, 0));
    GlobalBlock padded(pic_ReadPNG(rgb, &w, &h, 24, nullptr, 8));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            for (int c = 0; c < 3; ++c) ASSERT_EQ(padded.data[y * 24 + x * 3 + c], plain.data[(y * 7 + x) * 3 + 2 - c]);
}

TEST(PngReader, DimsTransparencyAndTruncation) {
    Source source(Source::kMemory, FixtureBytes("png_rgb8.png"));
    int32_t w, h, depth, type, interlace, index, red, green, blue, grey;
    PicResolutionInfo resolution = {1, 1, 1};
    ASSERT_TRUE(pic_GetPNGDims(source, &w, &h, &depth, &type, &interlace, &index, &red, &green, &blue, &grey,
                               &resolution, nullptr));
    EXPECT_EQ(depth, 8);
    EXPECT_EQ(type, 2);
    EXPECT_EQ(red, -1);
    EXPECT_EQ(grey, -1);
    EXPECT_EQ(resolution.unit, 0);
    EXPECT_EQ(resolution.x, 0.0);
    EXPECT_FALSE(pic_GetPNGDims(source, &w, &h, &depth, &type, &interlace, &index, nullptr, &green, &blue, &grey,
                                nullptr, nullptr));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM);
    std::string cut = FixtureBytes("png_rgb8.png");
    cut.resize(cut.size() - 40);
    Source truncated(Source::kMemory, cut);
    GlobalBlock pixels(pic_ReadPNG(truncated, &w, &h, 24, nullptr, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PNG);
    EXPECT_NE(pixels.data, nullptr) << "the rows decoded so far come back";
    bool logged = false;
    for (const CPicErrorLogEntry& entry : GetThreadState()->errorLog)
        logged = logged || entry.message.find("read Error") != std::string::npos;
    EXPECT_TRUE(logged);
}
