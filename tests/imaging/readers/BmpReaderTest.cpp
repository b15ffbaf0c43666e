// BMP reader: every header, depth and coding variant against the pixels that
// ImageMagick decodes (or that the hand-built files' rules give), from file
// and memory sources alike.
#include <cstring>

#include "../../QvTest.h"
#include "ReaderTestSupport.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicBmpReader.h"
#include "imaging/readers/PicSources.h"

using readertest::FixtureBytes;
using readertest::Decoded;
using readertest::GlobalBlock;
using readertest::Source;

namespace {


void Read(CPicIO* source, int32_t depth, uint32_t flags, Decoded& out) {
    out.pixels.reset(pic_ReadBMP(source, &out.width, &out.height, depth, out.palette, flags));
    out.code = pic_GetLastError();
}

// Pixels of a read as packed R, G, B (palette lookups for indexed reads).
std::string AsRgb(const Decoded& d, int32_t depth, uint32_t stride) {
    std::string rgb;
    for (int32_t y = 0; y < d.height; ++y) {
        const uint8_t* row = d.pixels.data + (size_t)y * stride;
        for (int32_t x = 0; x < d.width; ++x) {
            if (depth == 8 || depth == 1) {
                uint8_t index = depth == 8 ? row[x] : (row[x / 8] >> (7 - x % 8)) & 1;
                const RGBQUAD& q = d.palette[index];
                rgb += {(char)q.rgbRed, (char)q.rgbGreen, (char)q.rgbBlue};
            } else {
                rgb.append((const char*)row + x * (depth / 8), 3);
            }
        }
    }
    return rgb;
}

const char* const kSizes[] = {"7x5", "13x3"};

}  // namespace

TEST(BmpReader, EveryVariantMatchesTheReferenceFromFileAndMemory) {
    struct Case {
        const char* fault;
        const char* file;      // %s: size
        const char* expected;  // ImageMagick's or the generator's R, G, B
        int32_t depth;
    } cases[] = {
        {"24-bit bottom-up rows", "bmp24_master%s.bmp", "bmp24_master%s.rgb", 24},
        {"24-bit top-down rows (negative height)", "bmp24top_%s.bmp", "bmp24top_%s.rgb", 24},
        {"24-bit file read at 32 bits", "bmp24_master%s.bmp", "bmp24_master%s.rgb", 32},
        {"8-bit palette through the palette", "bmp8_master%s.bmp", "bmp8_master%s.rgb", 24},
        {"8-bit palette as indices", "bmp8_master%s.bmp", "bmp8_master%s.rgb", 8},
        {"4-bit palette as indices", "bmp4_master%s.bmp", "bmp4_master%s.rgb", 8},
        {"4-bit palette to RGB", "bmp4_master%s.bmp", "bmp4_master%s.rgb", 24},
        {"1-bit as bits", "bmp1_master%s.bmp", "bmp1_master%s.rgb", 1},
        {"1-bit as indices", "bmp1_master%s.bmp", "bmp1_master%s.rgb", 8},
        {"1-bit to RGB", "bmp1_master%s.bmp", "bmp1_master%s.rgb", 24},
        {"RLE8 as indices", "rle8_master%s.bmp", "rle8_master%s.rgb", 8},
        {"RLE8 to RGB", "rle8_master%s.bmp", "rle8_master%s.rgb", 24},
        {"RLE8 to RGBA", "rle8_master%s.bmp", "rle8_master%s.rgb", 32},
        {"OS/2 24-bit", "os2_master%s.bmp", "os2_master%s.rgb", 24},
        {"OS/2 4-bit as indices", "os2pal_master%s.bmp", "os2pal_master%s.rgb", 8},
        {"OS/2 4-bit to RGB", "os2pal_master%s.bmp", "os2pal_master%s.rgb", 24},
        {"16-bit 5-5-5 without masks", "bmp16_%s.bmp", "bmp16_%s.rgb", 24},
        {"16-bit 5-6-5 bit fields", "bmp565_%s.bmp", "bmp565_%s.rgb", 24},
    };
    for (const Case& c : cases) {
        for (const char* size : kSizes) {
            char file[64], expectedName[64];
            snprintf(file, sizeof file, c.file, size);
            snprintf(expectedName, sizeof expectedName, c.expected, size);
            std::string bytes = FixtureBytes(file);
            std::string expected = FixtureBytes(expectedName);
            ASSERT_FALSE(bytes.empty()) << file;
            std::string first;
            for (Source::Kind kind : {Source::kFile, Source::kMemory}) {
                Source source(kind, bytes, L"x.bmp");
                Decoded d;
                Read(source, c.depth, 0, d);
                ASSERT_EQ(d.code, PIC_ERR_OK) << c.fault << " " << file;
                ASSERT_NE(d.pixels.data, nullptr) << c.fault << " " << file;
                uint32_t stride = c.depth == 1 ? (d.width + 7) / 8 : d.width * (c.depth / 8);
                std::string rgb = AsRgb(d, c.depth, stride);
                EXPECT_EQ(rgb, expected) << c.fault << " " << file;
                if (c.depth == 32) {
                    for (int32_t i = 0; i < d.width * d.height; ++i)
                        ASSERT_EQ(d.pixels.data[i * 4 + 3], 255) << c.fault << ": 24-bit files get alpha 255";
                }
                if (kind == Source::kFile)
                    first = std::string((const char*)d.pixels.data, (size_t)stride * d.height);
                else
                    EXPECT_EQ(first, std::string((const char*)d.pixels.data, (size_t)stride * d.height))
                        << c.fault << ": file and memory differ";
            }
        }
    }
}

TEST(BmpReader, ThirtyTwoBitFilesKeepTheirAlpha) {
    for (const char* size : kSizes) {
        char file[64], expectedName[64];
        snprintf(file, sizeof file, "bmp32_%s.bmp", size);
        snprintf(expectedName, sizeof expectedName, "bmp32_%s.rgba", size);
        Source source(Source::kMemory, FixtureBytes(file));
        Decoded d;
        Read(source, 32, 0, d);
        ASSERT_EQ(d.code, PIC_ERR_OK);
        EXPECT_EQ(std::string((const char*)d.pixels.data, (size_t)d.width * d.height * 4), FixtureBytes(expectedName));
    }
}

TEST(BmpReader, HandBuiltRle4WithDeltasAndPadding) {
    Source source(Source::kMemory, FixtureBytes("rle4_9x4.bmp"));
    Decoded d;
    Read(source, 8, 0, d);
    ASSERT_EQ(d.code, PIC_ERR_OK);
    ASSERT_EQ(d.width, 9);
    ASSERT_EQ(d.height, 4);
    EXPECT_EQ(std::string((const char*)d.pixels.data, 36), FixtureBytes("rle4_9x4.idx"));
    for (int i = 16; i < 256; ++i)
        EXPECT_EQ(memcmp(&d.palette[i], &d.palette[0], 4), 0) << "entries past the table repeat entry 0";
    // At 24 bits the skipped pixels take entry 0's colour.
    ASSERT_TRUE(pic_Seek(source, 0, 0));
    Decoded rgb;
    Read(source, 24, 0, rgb);
    ASSERT_EQ(rgb.code, PIC_ERR_OK);
    std::string indices = FixtureBytes("rle4_9x4.idx");
    for (int i = 0; i < 36; ++i) {
        const RGBQUAD& q = d.palette[(uint8_t)indices[i]];
        ASSERT_EQ(rgb.pixels.data[i * 3], q.rgbRed) << i;
        ASSERT_EQ(rgb.pixels.data[i * 3 + 1], q.rgbGreen) << i;
        ASSERT_EQ(rgb.pixels.data[i * 3 + 2], q.rgbBlue) << i;
    }
}

TEST(BmpReader, PaddedRowsKeepTheFilesOrder) {
    // Flag 8: rows padded to 4 bytes; 24-bit files keep B, G, R.
    Source source(Source::kMemory, FixtureBytes("bmp24_master7x5.bmp"));
    Decoded d;
    Read(source, 24, 8, d);
    ASSERT_EQ(d.code, PIC_ERR_OK);
    std::string expected = FixtureBytes("bmp24_master7x5.rgb");
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(d.pixels.data[y * 24 + x * 3 + c], (uint8_t)expected[(y * 7 + x) * 3 + 2 - c]);
    // RLE8 at 8 bits with flag 8: each row starts on its own 8-byte boundary.
    Source rle(Source::kMemory, FixtureBytes("rle8_master7x5.bmp"));
    Decoded r, packed;
    Read(rle, 8, 8, r);
    ASSERT_TRUE(pic_Seek(rle, 0, 0));
    Read(rle, 8, 0, packed);
    ASSERT_EQ(r.code, PIC_ERR_OK);
    for (int y = 0; y < 5; ++y) EXPECT_EQ(memcmp(r.pixels.data + y * 8, packed.pixels.data + y * 7, 7), 0);
}

TEST(BmpReader, PackedBitmapIsTheFilesOwn) {
    std::string bytes = FixtureBytes("bmp8_master7x5.bmp");
    Source source(Source::kMemory, bytes);
    Decoded d;
    Read(source, 0, 2, d);
    ASSERT_EQ(d.code, PIC_ERR_OK);
    EXPECT_EQ(d.width, 7);
    EXPECT_EQ(d.height, 5);
    EXPECT_EQ(memcmp(d.pixels.data, bytes.data() + 14, bytes.size() - 14), 0);
    // An OS/2 file becomes a 40-byte header with four-byte entries.
    std::string os2 = FixtureBytes("os2pal_master7x5.bmp");
    Source core(Source::kMemory, os2);
    Decoded c;
    Read(core, 24, 2, c);
    ASSERT_EQ(c.code, PIC_ERR_OK);
    const BITMAPINFOHEADER* header = (const BITMAPINFOHEADER*)c.pixels.data;
    EXPECT_EQ(header->biSize, 40u);
    EXPECT_EQ(header->biBitCount, 4);
    EXPECT_EQ(header->biClrUsed, 16u);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(c.pixels.data[40 + i * 4], (uint8_t)os2[26 + i * 3]);
        EXPECT_EQ(c.pixels.data[40 + i * 4 + 3], 0);
    }
    EXPECT_EQ(memcmp(c.pixels.data + 40 + 64, os2.data() + 26 + 48, os2.size() - 26 - 48), 0);
}

TEST(BmpReader, DimsAndPalette) {
    Source source(Source::kMemory, FixtureBytes("bmp4_master13x3.bmp"));
    int32_t w = 0, h = 0, bits = 0, count = 0;
    PicResolutionInfo resolution = {0, 0, 0};
    ASSERT_TRUE(pic_GetBMPDims(source, &w, &h, &bits, &resolution, 0));
    EXPECT_EQ(w, 13);
    EXPECT_EQ(h, 3);
    EXPECT_EQ(bits, 4);
    EXPECT_EQ(resolution.unit, 2);
    RGBQUAD palette[256];
    ASSERT_TRUE(pic_Seek(source, 0, 0));
    ASSERT_TRUE(pic_GetBMPPalette(source, &count, palette, 0));
    EXPECT_EQ(count, 16);
    EXPECT_FALSE(pic_GetBMPDims(source, nullptr, &h, &bits, nullptr, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM);
    Source rgb(Source::kMemory, FixtureBytes("bmp24_master7x5.bmp"));
    EXPECT_FALSE(pic_GetBMPPalette(rgb, &count, palette, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BIT_DEPTH);
}

TEST(BmpReader, RefusalsOfRequestsTheFileCannotMeet) {
    struct Case {
        const char* fault;
        const char* file;
        int32_t depth;
        uint32_t flags;
        int32_t code;
    } cases[] = {
        {"1-bit request on an 8-bit file", "bmp8_master7x5.bmp", 1, 0, PIC_ERR_BIT_DEPTH},
        {"8-bit request on a 24-bit file", "bmp24_master7x5.bmp", 8, 0, PIC_ERR_BIT_DEPTH},
        {"16 bits is no output depth", "bmp24_master7x5.bmp", 16, 0, PIC_ERR_BAD_PARAM},
        {"1-bit request on RLE8", "rle8_master7x5.bmp", 1, 0, PIC_ERR_BIT_DEPTH},
    };
    for (const Case& c : cases) {
        Source source(Source::kMemory, FixtureBytes(c.file));
        Decoded d;
        Read(source, c.depth, c.flags, d);
        EXPECT_EQ(d.pixels.data, nullptr) << c.fault;
        EXPECT_EQ(d.code, c.code) << c.fault;
        EXPECT_EQ(readertest::CallDepth(), 0) << c.fault;
    }
    Decoded d;
    Read(nullptr, 24, 0, d);
    EXPECT_EQ(d.code, PIC_ERR_BAD_PARAM);
    Source closed(Source::kMemory, FixtureBytes("bmp8_master7x5.bmp"));
    closed.get()->Close();
    Read(closed, 24, 0, d);
    EXPECT_EQ(d.code, PIC_ERR_SOURCE_NOT_OPEN);
    Source noPalette(Source::kMemory, FixtureBytes("bmp8_master7x5.bmp"));
    EXPECT_EQ(pic_ReadBMP(noPalette, nullptr, nullptr, 8, nullptr, 0), nullptr);
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM);
}
