// WBMP reader: pbmtowbmp's files against the bitmap they came from, the
// header's multi-byte integers, and hostile headers.
#include <cstring>

#include "../../QvTest.h"
#include "HostileCases.h"
#include "ReaderTestSupport.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicSources.h"
#include "imaging/readers/PicWbmpReader.h"

using readertest::FixtureBytes;
using readertest::GlobalBlock;
using readertest::Source;

TEST(WbmpReader, MatchesTheBitmapItWasMadeFrom) {
    for (const char* size : {"master7x5", "master13x3"}) {
        std::string bytes = FixtureBytes((std::string("wbmp_") + size + ".wbmp").c_str());
        std::string expected = FixtureBytes((std::string("wbmp_") + size + ".rgb").c_str());
        for (Source::Kind kind : {Source::kFile, Source::kMemory})
            for (int32_t depth : {8, 1}) {
                Source source(kind, bytes, L"picture.wbmp");
                RGBQUAD palette[256] = {};
                int32_t w = 0, h = 0;
                GlobalBlock block(pic_ReadWBMP(source, &w, &h, palette, depth, 0));
                ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK) << size;
                std::string rgb;
                for (int32_t y = 0; y < h; ++y)
                    for (int32_t x = 0; x < w; ++x) {
                        uint8_t v = depth == 8 ? block.data[y * w + x]
                                               : (block.data[y * ((w + 7) / 8) + x / 8] >> (7 - x % 8)) & 1;
                        rgb += {(char)palette[v].rgbRed, (char)palette[v].rgbGreen, (char)palette[v].rgbBlue};
                    }
                EXPECT_EQ(rgb, expected) << size << " at " << depth;
            }
    }
}

TEST(WbmpReader, HeaderIntegersAndLayouts) {
    // Width 200 is 81 48.
    std::string wide = std::string("\0\0\x81\x48\x01", 5) + std::string(25, '\xFF');
    Source source(Source::kMemory, wide);
    int32_t w = 0, h = 0;
    ASSERT_TRUE(pic_GetWBMPDims(source, &w, &h, 0));
    EXPECT_EQ(w, 200);
    EXPECT_EQ(h, 1);
    // 1 x 1 with 0x80: white. Width 5 at 8 bits with flag 8: rows of 8 bytes.
    std::string five = std::string("\0\0\x05\x02\xA8\x50", 6);
    Source s5(Source::kMemory, five);
    RGBQUAD palette[256];
    GlobalBlock padded(pic_ReadWBMP(s5, &w, &h, palette, 8, 8));
    ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
    EXPECT_EQ(std::string((char*)padded.data, 16), std::string("\x01\x00\x01\x00\x01\x00\x00\x00\x00\x01\x00\x01\x00\x00\x00\x00", 16));
    EXPECT_EQ(palette[1].rgbReserved, 255);
    Source s5b(Source::kMemory, five);
    GlobalBlock dib(pic_ReadWBMP(s5b, &w, &h, nullptr, 8, 2));
    ASSERT_NE(dib.data, nullptr);
    EXPECT_EQ(reinterpret_cast<BITMAPINFOHEADER*>(dib.data)->biBitCount, 1);
    EXPECT_EQ(dib.data[48], 0x50) << "bottom-up: the last file row first";
}

TEST(WbmpReader, HostileHeadersAndData) {
    std::vector<readertest::HostileCase> cases = {
        {"type 1", std::string("\x01\0\x01\x01\x80", 5), 8, 0, PIC_ERR_BAD_WBMP, false},
        {"fixed header 1", std::string("\0\x01\x01\x01\x80", 5), 8, 0, PIC_ERR_BAD_WBMP, false},
        {"integer of 6 bytes refused", std::string("\0\0\x81\x81\x81\x81\x81\x01\x01", 9) + std::string(40, 'x'), 8, 0,
         PIC_ERR_BAD_WBMP, false},
        {"source ends inside an integer", std::string("\0\0\x81", 3), 8, 0, PIC_ERR_BAD_WBMP, false},
        {"zero width", std::string("\0\0\0\x01", 4), 8, 0, PIC_ERR_BAD_WBMP, false},
        {"huge from a few bytes", std::string("\0\0\x87\xFF\x7F\x87\xFF\x7F", 8) + "abc", 8, 0, PIC_ERR_BAD_WBMP, false},
        {"flags 2 and 8", std::string("\0\0\x01\x01\x80", 5), 8, 10, PIC_ERR_BAD_PARAM, false},
        {"null palette", std::string("\0\0\x01\x01\x80", 5), 8, 0, PIC_ERR_BAD_PARAM, false},
        {"cut in the rows: partial image with 3", std::string("\0\0\x08\x04\xFF\xFF", 6), 8, 0, PIC_ERR_FILE_READ, true},
    };
    readertest::ExpectHostileOutcomes(cases, [](CPicIO* source, const readertest::HostileCase& c) {
        RGBQUAD palette[256];
        int32_t w = 0, h = 0;
        bool nullPalette = std::string(c.fault) == "null palette";
        return pic_ReadWBMP(source, &w, &h, nullPalette ? nullptr : palette, c.depth, c.flags);
    });
}
