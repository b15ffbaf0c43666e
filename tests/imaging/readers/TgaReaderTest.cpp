// TGA reader: netpbm's Targa files of every image type against tgatoppm's
// pixels, hand-built files (16-bit values, a colour map from index 5, run
// packets over row ends, footers) against the reading rules, and hostile
// headers.
#include <cstring>

#include "../../QvTest.h"
#include "HostileCases.h"
#include "ReaderTestSupport.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicSources.h"
#include "imaging/readers/PicTgaReader.h"

using readertest::FixtureBytes;
using readertest::GlobalBlock;
using readertest::Put16;
using readertest::Source;

namespace {

std::string Rgb(const uint8_t* pixels, int32_t w, int32_t h, int32_t depth, const RGBQUAD* palette, bool blueFirst) {
    std::string rgb;
    for (int32_t i = 0; i < w * h; ++i) {
        if (depth == 8) {
            const RGBQUAD& q = palette[pixels[i]];
            rgb += {(char)q.rgbRed, (char)q.rgbGreen, (char)q.rgbBlue};
        } else {
            const uint8_t* p = pixels + (size_t)i * (depth / 8);
            rgb += blueFirst ? std::string{(char)p[2], (char)p[1], (char)p[0]} : std::string((const char*)p, 3);
        }
    }
    return rgb;
}

std::string Header(uint8_t type, uint16_t w, uint16_t h, uint8_t bits, uint8_t descriptor = 0, uint16_t first = 0,
                   uint16_t length = 0, uint8_t entryBits = 0) {
    std::string b;
    b += (char)0;
    b += (char)(length ? 1 : 0);
    b += (char)type;
    Put16(b, first);
    Put16(b, length);
    b += (char)entryBits;
    Put16(b, 0);
    Put16(b, 0);
    Put16(b, w);
    Put16(b, h);
    b += (char)bits;
    b += (char)descriptor;
    return b;
}

}  // namespace

TEST(TgaReader, EveryImageTypeMatchesTheReferenceFromFileAndMemory) {
    struct Case {
        const char* fault;
        const char* file;
        const char* expected;
        int32_t depth;
    } cases[] = {
        {"plain true colour bottom-up rows", "tga2_master7x5.tga", "tga2_master7x5.rgb", 24},
        {"plain true colour at 32 bits", "tga2_master13x3.tga", "tga2_master13x3.rgb", 32},
        {"run-length true colour", "tga10_master7x5.tga", "tga10_master7x5.rgb", 24},
        {"run-length true colour, 13 wide", "tga10_master13x3.tga", "tga10_master13x3.rgb", 24},
        {"colour map at 8 bits", "tga1_master7x5.tga", "tga1_master7x5.rgb", 8},
        {"colour map looked up at 24 bits", "tga1_master13x3.tga", "tga1_master13x3.rgb", 24},
        {"run-length colour map at 8 bits", "tga9_master7x5.tga", "tga9_master7x5.rgb", 8},
        {"run-length colour map at 32 bits", "tga9_master13x3.tga", "tga9_master13x3.rgb", 32},
        {"grey at 8 bits", "tga3_master7x5.tga", "tga3_master7x5.rgb", 8},
        {"grey at 24 bits", "tga3_master13x3.tga", "tga3_master13x3.rgb", 24},
        {"run-length grey accepted at 8 bits", "tga11_master7x5.tga", "tga11_master7x5.rgb", 8},
        {"run-length grey at 24 bits", "tga11_master13x3.tga", "tga11_master13x3.rgb", 24},
        {"16-bit values times 8, no replication", "tga16_7x5.tga", "tga16_7x5.rgb", 24},
        {"map from index 5 read into entries 5 on, top-down", "tgamap16first5_7x5.tga", "tgamap16first5_7x5.rgb", 8},
        {"map from index 5 looked up at 24 bits", "tgamap16first5_7x5.tga", "tgamap16first5_7x5.rgb", 24},
    };
    for (const Case& c : cases) {
        std::string bytes = FixtureBytes(c.file);
        std::string expected = FixtureBytes(c.expected);
        for (Source::Kind kind : {Source::kFile, Source::kMemory}) {
            Source source(kind, bytes, L"picture.tga");
            RGBQUAD palette[256] = {};
            int32_t w = 0, h = 0;
            GlobalBlock block(pic_ReadTGA(source, &w, &h, c.depth, palette, 0));
            ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK) << c.fault;
            ASSERT_NE(block.data, nullptr) << c.fault;
            EXPECT_EQ(Rgb(block.data, w, h, c.depth, palette, false), expected) << c.fault;
        }
    }
}

TEST(TgaReader, PacketsOverRowEndsAlphaFooterAndBitmapOrder) {
    std::string bytes = FixtureBytes("tga32rle_footer_7x5.tga");
    std::string rgba = FixtureBytes("tga32rle_footer_7x5.rgba");
    Source source(Source::kMemory, bytes);
    int32_t w = 0, h = 0;
    GlobalBlock block(pic_ReadTGA(source, &w, &h, 32, nullptr, 0));
    ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
    EXPECT_EQ(std::string((const char*)block.data, rgba.size()), rgba);
    // A bad extension offset in the footer is only a warning: the whole image, code 0.
    Source bad(Source::kMemory, FixtureBytes("tga32rle_badfooter_7x5.tga"));
    GlobalBlock whole(pic_ReadTGA(bad, &w, &h, 32, nullptr, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_OK);
    ASSERT_NE(whole.data, nullptr);
    EXPECT_EQ(std::string((const char*)whole.data, rgba.size()), rgba);
    // Flag 2: a bottom-up packed bitmap in B, G, R order of a bottom-up file.
    Source dibSource(Source::kMemory, FixtureBytes("tga2_master7x5.tga"));
    GlobalBlock dib(pic_ReadTGA(dibSource, &w, &h, 24, nullptr, 2));
    ASSERT_NE(dib.data, nullptr);
    std::string expected = FixtureBytes("tga2_master7x5.rgb");
    const BITMAPINFOHEADER* header = reinterpret_cast<const BITMAPINFOHEADER*>(dib.data);
    EXPECT_EQ(header->biBitCount, 24);
    const uint8_t* lastRow = dib.data + 40 + 4 * 24;  // the DIB's last row is the picture's first
    EXPECT_EQ(Rgb(lastRow, 7, 1, 24, nullptr, true), expected.substr(0, 21));
}

TEST(TgaReader, PaletteCallAgreesWithTheRead) {
    for (const char* file : {"tga1_master7x5.tga", "tgamap16first5_7x5.tga", "tga3_master7x5.tga", "tga11_master7x5.tga"}) {
        std::string bytes = FixtureBytes(file);
        Source a(Source::kMemory, bytes), b(Source::kMemory, bytes);
        RGBQUAD fromRead[256] = {}, fromCall[256] = {};
        int32_t w, h, count = 0;
        GlobalBlock block(pic_ReadTGA(a, &w, &h, 8, fromRead, 0));
        ASSERT_TRUE(pic_GetTGAPalette(b, &count, fromCall, 0)) << file;
        EXPECT_EQ(memcmp(fromRead, fromCall, 4 * count), 0) << file;
    }
    // The grey ramp is i, i, i, 255 with 256 entries.
    Source grey(Source::kMemory, FixtureBytes("tga3_master7x5.tga"));
    RGBQUAD palette[256];
    int32_t count = 0;
    ASSERT_TRUE(pic_GetTGAPalette(grey, &count, palette, 0));
    EXPECT_EQ(count, 256);
    EXPECT_EQ(palette[77].rgbRed, 77);
    EXPECT_EQ(palette[77].rgbReserved, 255);
}

TEST(TgaReader, HostileHeadersAndData) {
    std::string map5 = FixtureBytes("tgamap16first5_7x5.tga");
    std::string cut = FixtureBytes("tga10_master7x5.tga");
    cut.resize(cut.size() - 20);
    std::vector<readertest::HostileCase> cases = {
        {"short header", std::string(10, '\0'), 24, 0, PIC_ERR_FILE_READ, false},
        {"image type 4", Header(4, 2, 2, 24) + std::string(12, 'x'), 24, 0, PIC_ERR_BAD_TGA, false},
        {"pixel depth 12", Header(2, 2, 2, 12) + std::string(12, 'x'), 24, 0, PIC_ERR_BAD_TGA, false},
        {"zero width", Header(2, 0, 2, 24), 24, 0, PIC_ERR_BAD_TGA, false},
        {"65535 x 65535 from a few bytes", Header(2, 65535, 65535, 24) + "abc", 24, 0, PIC_ERR_BAD_TGA, false},
        {"16-bit request", Header(2, 2, 2, 24) + std::string(12, 'x'), 16, 0, PIC_ERR_BAD_PARAM, false},
        {"flags 2 and 8 together", Header(2, 2, 2, 24) + std::string(12, 'x'), 24, 10, PIC_ERR_BAD_PARAM, false},
        {"true colour at 8 bits", Header(2, 2, 2, 24) + std::string(12, 'x'), 8, 0, PIC_ERR_BIT_DEPTH, false},
        {"colour-mapped type without a map at 8 bits", Header(1, 2, 2, 8) + "abcd", 8, 0, PIC_ERR_BAD_TGA, false},
        {"map entry size 12", Header(1, 2, 2, 8, 0, 0, 2, 12) + std::string(8, 'x'), 8, 0, PIC_ERR_BAD_TGA, false},
        {"map longer than the file", Header(1, 2, 2, 8, 0, 0, 300, 24) + "abc", 8, 0, PIC_ERR_FILE_READ, false},
        {"run-length data cut: partial image with 3", cut, 24, 0, PIC_ERR_FILE_READ, true},
        {"mapped file cut in the pixels", map5.substr(0, map5.size() - 10), 8, 0, PIC_ERR_FILE_READ, true},
    };
    readertest::ExpectHostileOutcomes(cases, [](CPicIO* source, const readertest::HostileCase& c) {
        RGBQUAD palette[256];
        int32_t w = 0, h = 0;
        return pic_ReadTGA(source, &w, &h, c.depth, palette, c.flags);
    });
}

TEST(TgaReader, MapIndexBeyondTheMapReadsEntryZero) {
    // Map of 2 entries (red, green) from index 0; pixel indices 0, 1, 2, 255.
    std::string b = Header(1, 4, 1, 8, 0x20, 0, 2, 24);
    b += std::string("\x00\x00\xFF\x00\xFF\x00", 6);
    b += std::string("\x00\x01\x02\xFF", 4);
    Source source(Source::kMemory, b);
    int32_t w, h;
    GlobalBlock rgb(pic_ReadTGA(source, &w, &h, 24, nullptr, 0));
    ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
    EXPECT_EQ(std::string((const char*)rgb.data, 12), std::string("\xFF\x00\x00\x00\xFF\x00\xFF\x00\x00\xFF\x00\x00", 12));
    Source again(Source::kMemory, b);
    RGBQUAD palette[256];
    GlobalBlock idx(pic_ReadTGA(again, &w, &h, 8, palette, 0));
    EXPECT_EQ(std::string((const char*)idx.data, 4), std::string("\x00\x01\x00\x00", 4));
}

TEST(TgaReader, AMapOfThreeHundredEntriesKeepsTheFirst256AndThePixelsInPlace) {
    // Entry i is (i % 256) grey; the 44 entries past 256 are read and dropped,
    // then the pixels 7, 255 and 0 follow.
    std::string b = Header(1, 3, 1, 8, 0x20, 0, 300, 24);
    for (int i = 0; i < 300; ++i) b += std::string(3, (char)(i % 256 == 7 ? 70 : i % 256));
    b += std::string("\x07\xFF\x00", 3);
    Source source(Source::kMemory, b);
    int32_t w, h, count = 0;
    RGBQUAD palette[256];
    GlobalBlock rgb(pic_ReadTGA(source, &w, &h, 24, nullptr, 0));
    ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
    EXPECT_EQ(std::string((const char*)rgb.data, 9), std::string("\x46\x46\x46\xFF\xFF\xFF\x00\x00\x00", 9));
    Source again(Source::kMemory, b);
    ASSERT_TRUE(pic_GetTGAPalette(again, &count, palette, 0));
    EXPECT_EQ(count, 256);
}

TEST(TgaReader, ColourMappedPixelsAreOpaqueAt32Bits) {
    // The 24-bit map's entries have alpha 0 in the palette (as a palette's
    // reserved byte), but the pixels they colour are opaque.
    Source source(Source::kMemory, FixtureBytes("tga9_master13x3.tga"));
    int32_t w = 0, h = 0;
    GlobalBlock rgba(pic_ReadTGA(source, &w, &h, 32, nullptr, 0));
    ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
    for (int32_t i = 0; i < w * h; ++i) EXPECT_EQ(rgba.data[4 * i + 3], 255) << i;
    Source again(Source::kMemory, FixtureBytes("tga9_master13x3.tga"));
    RGBQUAD palette[256];
    int32_t count = 0;
    ASSERT_TRUE(pic_GetTGAPalette(again, &count, palette, 0));
    EXPECT_EQ(palette[0].rgbReserved, 0);
}
