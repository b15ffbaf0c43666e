// PCX reader: netpbm's PCX files of every plane and bit layout against
// pcxtoppm's pixels, and hostile headers and data.
#include <cstring>

#include "../../QvTest.h"
#include "HostileCases.h"
#include "ReaderTestSupport.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicPcxReader.h"
#include "imaging/readers/PicSources.h"

using readertest::FixtureBytes;
using readertest::GlobalBlock;
using readertest::Put16;
using readertest::Source;

namespace {

std::string Rgb(const uint8_t* pixels, int32_t w, int32_t h, int32_t depth, const RGBQUAD* palette) {
    std::string rgb;
    uint32_t stride = depth == 1 ? (w + 7) / 8 : w * depth / 8;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const uint8_t* row = pixels + (size_t)y * stride;
            if (depth == 24) {
                rgb.append((const char*)row + 3 * x, 3);
                continue;
            }
            uint8_t index = depth == 8 ? row[x] : (row[x / 8] >> (7 - x % 8)) & 1;
            const RGBQUAD& q = palette[index];
            rgb += {(char)q.rgbRed, (char)q.rgbGreen, (char)q.rgbBlue};
        }
    return rgb;
}

// A 128-byte header: version 5, encoding 1.
std::string Header(uint8_t bits, uint16_t xmax, uint16_t ymax, uint8_t planes, uint16_t bytesPerLine,
                   uint8_t version = 5, uint16_t xmin = 0) {
    std::string b = {10, (char)version, 1, (char)bits};
    Put16(b, xmin);
    Put16(b, 0);
    Put16(b, xmax);
    Put16(b, ymax);
    Put16(b, 72);
    Put16(b, 72);
    b += std::string(48, '\0');
    b += '\0';
    b += (char)planes;
    Put16(b, bytesPerLine);
    Put16(b, 1);
    b += std::string(58, '\0');
    return b;
}

}  // namespace

TEST(PcxReader, EveryLayoutMatchesPcxtoppmFromFileAndMemory) {
    struct Case {
        const char* fault;
        const char* name;
        int32_t depth;
    } cases[] = {
        {"three 8-bit planes interleaved", "pcx24", 24},
        {"one 8-bit plane with the palette at the end", "pcx8", 8},
        {"8-bit looked up at 24 bits", "pcx8", 24},
        {"four 1-bit planes: bit i from plane i", "pcx4p", 8},
        {"four 1-bit planes at 24 bits", "pcx4p", 24},
        {"one 4-bit plane", "pcx4", 8},
        {"three 1-bit planes", "pcx3p", 24},
        {"one 2-bit plane decoded", "pcx2", 24},
        {"two 1-bit planes decoded", "pcx2p", 8},
        {"1-bit image at 1 bit", "pcx1", 1},
        {"1-bit image at 24 bits", "pcx1", 24},
    };
    for (const Case& c : cases)
        for (const char* size : {"master7x5", "master13x3"}) {
            std::string base = std::string(c.name) + "_" + size;
            std::string bytes = FixtureBytes((base + ".pcx").c_str());
            std::string expected = FixtureBytes((base + ".rgb").c_str());
            for (Source::Kind kind : {Source::kFile, Source::kMemory}) {
                Source source(kind, bytes, L"picture.pcx");
                RGBQUAD palette[256] = {};
                int32_t w = 0, h = 0;
                GlobalBlock block(pic_ReadPCX(source, &w, &h, c.depth, palette, 0));
                ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK) << c.fault << " " << size;
                ASSERT_NE(block.data, nullptr);
                EXPECT_EQ(Rgb(block.data, w, h, c.depth, palette), expected) << c.fault << " " << size;
            }
        }
}

TEST(PcxReader, DimsPaletteAndPackedBitmap) {
    Source source(Source::kMemory, FixtureBytes("pcx4p_master13x3.pcx"));
    int32_t w, h, bits;
    PicResolutionInfo resolution = {0, 0, 9};
    ASSERT_TRUE(pic_GetPCXDims(source, &w, &h, &bits, &resolution, 0));
    EXPECT_EQ(w, 13);
    EXPECT_EQ(h, 3);
    EXPECT_EQ(bits, 4);
    EXPECT_EQ(resolution.unit, 0);
    RGBQUAD palette[256];
    int32_t count = 0;
    ASSERT_TRUE(pic_GetPCXPalette(source, &count, palette, 0));
    EXPECT_EQ(count, 256);
    EXPECT_EQ(memcmp(&palette[16], &palette[0], 4), 0) << "entries after the 16 repeat entry 0";
    // Flag 2 on a 16-colour image: an 8-bit bitmap with 256 entries.
    GlobalBlock dib(pic_ReadPCX(source, &w, &h, 0, nullptr, 2));
    ASSERT_NE(dib.data, nullptr);
    const BITMAPINFOHEADER* header = reinterpret_cast<const BITMAPINFOHEADER*>(dib.data);
    EXPECT_EQ(header->biBitCount, 8);
    EXPECT_EQ(header->biClrUsed, 256u);
    EXPECT_EQ(header->biHeight, 3);
    // Flag 8 on an 8-bit image pads rows to 4 bytes and keeps the indices.
    RGBQUAD p8[256];
    Source eight(Source::kMemory, FixtureBytes("pcx8_master13x3.pcx"));
    GlobalBlock padded(pic_ReadPCX(eight, &w, &h, 8, p8, 8));
    Source plain(Source::kMemory, FixtureBytes("pcx8_master13x3.pcx"));
    GlobalBlock packed(pic_ReadPCX(plain, &w, &h, 8, p8, 0));
    for (int y = 0; y < 3; ++y) EXPECT_EQ(memcmp(padded.data + 16 * y, packed.data + 13 * y, 13), 0);
}

TEST(PcxReader, HostileHeadersAndData) {
    std::string cut = FixtureBytes("pcx24_master7x5.pcx");
    cut.resize(140);
    std::string good = Header(8, 3, 1, 1, 4) + std::string(8, '\x01');
    std::vector<readertest::HostileCase> cases = {
        {"a good 4 x 2 image", good, 8, 0, PIC_ERR_OK, true},
        {"version 4 refused", Header(8, 3, 1, 1, 4, 4) + std::string(8, '\x01'), 8, 0, PIC_ERR_BAD_PCX, false},
        {"short header", good.substr(0, 100), 8, 0, PIC_ERR_BAD_PCX, false},
        {"bytes per line below the width", Header(8, 3, 1, 1, 2) + std::string(8, '\x01'), 8, 0, PIC_ERR_BAD_PCX, false},
        {"bytes per line 0", Header(8, 3, 1, 1, 0), 8, 0, PIC_ERR_BAD_PCX, false},
        {"2 planes of 8 bits", Header(8, 3, 1, 2, 4) + std::string(16, '\x01'), 24, 0, PIC_ERR_BAD_PCX, false},
        {"1 plane of 3 bits", Header(3, 3, 1, 1, 4) + std::string(16, '\x01'), 24, 0, PIC_ERR_BAD_PCX, false},
        {"4 planes of 8 bits", Header(8, 3, 1, 4, 4) + std::string(32, '\x01'), 24, 0, PIC_ERR_BAD_PCX, false},
        {"xmax below xmin", Header(8, 3, 1, 1, 4, 5, 9) + std::string(8, '\x01'), 8, 0, PIC_ERR_BAD_PCX, false},
        {"65535 x 65535 from a few bytes", Header(8, 65534, 65534, 1, 65535) + "ab", 8, 0, PIC_ERR_BAD_PCX, false},
        {"24-bit at 8 bits", Header(8, 3, 1, 3, 4) + std::string(24, '\x01'), 8, 0, PIC_ERR_BIT_DEPTH, false},
        {"flags 2 and 8", good, 8, 10, PIC_ERR_BAD_PARAM, false},
        {"depth 16 asked", good, 16, 0, PIC_ERR_BAD_PARAM, false},
        {"data cut: partial image with 3", cut, 24, 0, PIC_ERR_FILE_READ, true},
        {"header only: 3, not billions of reads", good.substr(0, 128), 8, 0, PIC_ERR_FILE_READ, true},
    };
    readertest::ExpectHostileOutcomes(cases, [](CPicIO* source, const readertest::HostileCase& c) {
        RGBQUAD palette[256];
        int32_t w = 0, h = 0;
        return pic_ReadPCX(source, &w, &h, c.depth, palette, c.flags);
    });
}

TEST(PcxReader, RunsStopAtTheLineEnd) {
    // 4 x 2, one 8-bit plane: a run of 6 (C6 07) fills line 1 and is cut; line 2 is 1, 2, 3, 4.
    std::string b = Header(8, 3, 1, 1, 4, 3) + std::string("\xC6\x07\x01\x02\x03\x04", 6);
    Source source(Source::kMemory, b);
    RGBQUAD palette[256];
    int32_t w, h;
    GlobalBlock block(pic_ReadPCX(source, &w, &h, 8, palette, 0));
    ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
    EXPECT_EQ(std::string((const char*)block.data, 8), std::string("\x07\x07\x07\x07\x01\x02\x03\x04", 8));
    EXPECT_EQ(palette[9].rgbGreen, 9) << "version 3: the grey ramp";
}
