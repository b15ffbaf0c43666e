// Hostile TIFF files: each ends with a code, in bounded time and memory,
// with nothing handed out unless the image is there; truncated data says 3.
#include "../../QvTest.h"
#include "ReaderTestSupport.h"
#include "TiffTestFiles.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicSources.h"
#include "imaging/readers/PicTiffReader.h"

using readertest::GlobalBlock;
using readertest::Source;
using namespace tifftest;

namespace {

std::vector<Entry> GreyHeader(uint32_t w, uint32_t h) {
    return {Long(256, w), Long(257, h), Short(258, 8), Short(259, 1), Short(262, 1), Short(277, 1)};
}

std::vector<Entry> With(std::vector<Entry> entries, std::initializer_list<Entry> more) {
    entries.insert(entries.end(), more);
    return entries;
}

}  // namespace

TEST(TiffHostile, TableOfDamagedFiles) {
    std::string rows(4 * 3, '\x33');
    struct Case {
        const char* fault;
        std::string file;
        int32_t page;
        int32_t code8;   // at 8 bits
        int32_t code24;  // through the RGBA path
    } cases[] = {
        {"a directory whose next offset is itself (page 1 loops)",
         Build(With(GreyHeader(4, 3), {Long(278, 3)}), {rows}, -1, 8), 1, PIC_ERR_BAD_PARAM, PIC_ERR_BAD_PARAM},
        {"a strip offset past the end of the file", Build(With(GreyHeader(4, 3), {Long(278, 3)}), {rows}, 0), 0,
         PIC_ERR_FILE_READ, PIC_ERR_FILE_READ},
        {"RowsPerStrip 0", Build(With(GreyHeader(4, 3), {Long(278, 0)}), {rows}), 0, PIC_ERR_BAD_TIFF,
         PIC_ERR_BAD_TIFF},
        {"tile sizes 0",
         Build(With(GreyHeader(4, 3), {Long(322, 0), Long(323, 0), Long(324, 8), Long(325, 12)}), {}), 0,
         PIC_ERR_BAD_TIFF, PIC_ERR_BAD_TIFF},
        {"65537 x 65537 pixels in a tiny file", Build(With(GreyHeader(65537, 65537), {Long(278, 1)}), {rows}), 0,
         PIC_ERR_BAD_TIFF, PIC_ERR_BAD_TIFF},
        {"4000 x 4000 raw pixels in 12 bytes", Build(With(GreyHeader(4000, 4000), {Long(278, 4000)}), {rows}), 0,
         PIC_ERR_FILE_READ, PIC_ERR_FILE_READ},
        {"StripOffsets with a count of 2^31", Build(With(GreyHeader(4, 3), {Long(278, 3), Raw(273, 4, 0x80000000u, 64),
                                                                          Long(279, 12)}),
                                                     {}),
         0, PIC_ERR_FILE_READ, PIC_ERR_FILE_READ},
        // The library drops the map and reads the 8-bit samples as grey.
        {"a colour map with a count of 2^31",
         Build({Long(256, 4), Long(257, 3), Short(258, 8), Short(259, 1), Short(262, 3), Short(277, 1), Long(278, 3),
                Raw(320, 3, 0x80000000u, 64)},
               {rows}),
         0, PIC_ERR_OK, PIC_ERR_OK},
        {"65535 samples per pixel: 4 GiB of stored rows, LZW-coded in a tiny file",
         Build({Long(256, 256), Long(257, 256), Short(258, 8), Short(259, 5), Short(262, 1), Short(277, 65535),
                Long(278, 256)},
               {rows}),
         0, PIC_ERR_OUT_OF_MEMORY, PIC_ERR_OUT_OF_MEMORY},
        {"a width of 0", Build(With(GreyHeader(0, 3), {Long(278, 3)}), {rows}), 0, PIC_ERR_BAD_TIFF,
         PIC_ERR_BAD_TIFF},
        {"only the header", std::string("II*\0\x08\0\0\0", 8), 0, PIC_ERR_BAD_TIFF, PIC_ERR_BAD_TIFF},
        {"a directory offset past the end", std::string("II*\0\xF0\xFF\xFF\x7F", 8), 0, PIC_ERR_BAD_TIFF,
         PIC_ERR_BAD_TIFF},
    };
    for (const Case& c : cases) {
        for (int32_t depth : {8, 24}) {
            int32_t expected = depth == 8 ? c.code8 : c.code24;
            Source source(Source::kMemory, c.file);
            int32_t w = 0, h = 0;
            RGBQUAD palette[256];
            GlobalBlock pixels(pic_ReadTIFF(source, &w, &h, depth, palette, c.page, 0));
            EXPECT_EQ(pic_GetLastError(), expected) << c.fault << " at " << depth;
            bool handed = expected == PIC_ERR_OK || (expected == PIC_ERR_FILE_READ && w > 0 && w < 100);
            if (!handed) {
                EXPECT_EQ(pixels.data, nullptr) << c.fault << " at " << depth;
            }
            if (expected == PIC_ERR_OK) {
                EXPECT_NE(pixels.data, nullptr) << c.fault << " at " << depth;
            }
            EXPECT_EQ(readertest::CallDepth(), 0);
        }
    }
}
