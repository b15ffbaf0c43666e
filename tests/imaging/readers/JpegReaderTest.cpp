// JPEG reader: every DCT scale against djpeg on the same file (same library),
// grey, progressive and cut files, packed bitmaps, padded rows and markers.
#include <cstring>

#include "../../QvTest.h"
#include "ReaderTestSupport.h"
#include "imaging/core/PicLookupTables.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicJpegReader.h"
#include "imaging/readers/PicSources.h"

using readertest::FixtureBytes;
using readertest::GlobalBlock;
using readertest::Source;

namespace {
// Puts the thread's scale back to 1/1 when a test ends.
struct ScaleReset {
    ~ScaleReset() { pic_SetJPGDCTScaleFactors(1, 1); }
};

// djpeg's output size for M/8: ceil(size * M / 8).
int32_t Scaled(int32_t size, int m) { return (size * m + 7) / 8; }
}  // namespace

TEST(JpegReader, EveryScaleMatchesDjpegFromFileAndMemory) {
    ScaleReset reset;
    struct Case {
        const char* name;
        int32_t depth;
        int bytesPerPixel;
    } cases[] = {{"jpeg_rgb", 24, 3}, {"jpeg_grey", 8, 1}, {"jpeg_prog", 24, 3}};
    for (const Case& c : cases) {
        std::string bytes = FixtureBytes((std::string(c.name) + ".jpg").c_str());
        for (int m = 1; m <= 8; ++m) {
            pic_SetJPGDCTScaleFactors(m, 8);
            std::string expected = FixtureBytes((std::string(c.name) + "_s" + std::to_string(m) + ".raw").c_str());
            for (Source::Kind kind : {Source::kFile, Source::kMemory}) {
                Source source(kind, bytes, L"a.jpg");
                int32_t w = 0, h = 0;
                GlobalBlock pixels(pic_ReadJPG(source, &w, &h, c.depth, 0));
                ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK) << c.name << " " << m << "/8";
                EXPECT_EQ(w, Scaled(67, m)) << c.name << " " << m << "/8";
                EXPECT_EQ(h, Scaled(45, m)) << c.name << " " << m << "/8";
                ASSERT_EQ(expected.size(), (size_t)w * h * c.bytesPerPixel);
                EXPECT_EQ(memcmp(pixels.data, expected.data(), expected.size()), 0) << c.name << " " << m << "/8";
            }
        }
    }
}

TEST(JpegReader, DepthChoicesForGreyImages) {
    Source source(Source::kMemory, FixtureBytes("jpeg_grey.jpg"));
    std::string grey = FixtureBytes("jpeg_grey_s8.raw");
    int32_t w = 0, h = 0;
    GlobalBlock rgb(pic_ReadJPG(source, &w, &h, 24, 0));
    ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
    for (size_t i = 0; i < grey.size(); ++i)
        for (int c = 0; c < 3; ++c) ASSERT_EQ(rgb.data[i * 3 + c], (uint8_t)grey[i]) << "R = G = B";
    ASSERT_TRUE(pic_Seek(source, 0, 0));
    GlobalBlock refused(pic_ReadJPG(source, &w, &h, 32, 0));
    EXPECT_EQ(refused.data, nullptr);
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BIT_DEPTH);
    // Flag 2 at 24 bits gives an 8-bit packed bitmap with the grey palette.
    ASSERT_TRUE(pic_Seek(source, 0, 0));
    GlobalBlock dib(pic_ReadJPG(source, &w, &h, 24, 2));
    ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
    const BITMAPINFOHEADER* header = (const BITMAPINFOHEADER*)dib.data;
    EXPECT_EQ(header->biBitCount, 8);
    EXPECT_EQ(header->biHeight, 45);
    EXPECT_EQ(memcmp(dib.data + 40, PicTables().grayPalette, 1024), 0);
    const uint8_t* bottomRow = dib.data + 40 + 1024;
    EXPECT_EQ(memcmp(bottomRow, grey.data() + 44 * 67, 67), 0) << "rows are bottom-up";
}

TEST(JpegReader, PaddedRowsArePaddedBlueFirst) {
    Source source(Source::kMemory, FixtureBytes("jpeg_rgb.jpg"));
    std::string rgb = FixtureBytes("jpeg_rgb_s8.raw");
    int32_t w = 0, h = 0;
    GlobalBlock pixels(pic_ReadJPG(source, &w, &h, 24, 8));
    ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
    const int stride = (67 * 3 + 3) & ~3;
    for (int y = 0; y < 45; ++y)
        for (int x = 0; x < 67; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(pixels.data[y * stride + x * 3 + c], (uint8_t)rgb[(y * 67 + x) * 3 + 2 - c]);
    ASSERT_TRUE(pic_Seek(source, 0, 0));
    GlobalBlock both(pic_ReadJPG(source, &w, &h, 24, 10));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM);
}

TEST(JpegReader, CutFileGivesTheLibrarysRowsAndSaysIncomplete) {
    Source source(Source::kMemory, FixtureBytes("jpeg_cut.jpg"));
    int32_t w = 0, h = 0;
    GlobalBlock pixels(pic_ReadJPG(source, &w, &h, 24, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_FILE_READ);
    ASSERT_NE(pixels.data, nullptr);
    std::string expected = FixtureBytes("jpeg_cut.raw");
    EXPECT_EQ(memcmp(pixels.data, expected.data(), expected.size()), 0);
}

namespace {
const uint32_t kRowsBeforeCancel = 10;
BOOL CancelAfterTenRows(uint32_t done, uint32_t, void*) { return done + 1 < kRowsBeforeCancel; }

// Leaves a freed block of `bytes` full of 0xA5 on the heap, where the next
// block of that size is likely to come from.
void LeaveMarkedFreedBlock(size_t bytes) {
    HGLOBAL block = GlobalAlloc(GMEM_FIXED, bytes);
    ASSERT_NE(block, nullptr);
    memset(block, 0xA5, bytes);
    GlobalFree(block);
}
}  // namespace

// The output block is not zero-filled up front: a cancelled decode must still
// zero the rows it never wrote, and padded rows their padding, or the block
// would show whatever the heap held (another picture's pixels).
TEST(JpegReader, RowsNeverWrittenAreZeroNotHeapLeftovers) {
    std::string rgb = FixtureBytes("jpeg_rgb_s8.raw");
    const uint32_t width = 67, height = 45;
    struct Case {
        uint32_t flags;
        uint32_t stride;
        bool cancel;
        const char* fault;
    } cases[] = {
        {0, width * 3, true, "rows after a cancel left unzeroed"},
        {8, (width * 3 + 3) & ~3u, true, "padding or rows after a cancel left unzeroed"},
        {8, (width * 3 + 3) & ~3u, false, "padding of a complete padded picture left unzeroed"},
    };
    CPicThreadState* state = GetThreadState();
    for (const Case& c : cases) {
        for (int round = 0; round < 4; ++round) {
            LeaveMarkedFreedBlock((size_t)c.stride * height);
            state->progressCallback = c.cancel ? CancelAfterTenRows : nullptr;
            Source source(Source::kMemory, FixtureBytes("jpeg_rgb.jpg"));
            int32_t w = 0, h = 0;
            GlobalBlock pixels(pic_ReadJPG(source, &w, &h, 24, c.flags));
            int32_t code = pic_GetLastError();
            state->progressCallback = nullptr;
            EXPECT_EQ(code, c.cancel ? PIC_ERR_CANCELLED : PIC_ERR_OK) << c.fault;
            ASSERT_NE(pixels.data, nullptr) << "a cancelled read hands back the rows it has";
            uint32_t written = c.cancel ? kRowsBeforeCancel : height;
            for (uint32_t y = 0; y < height; ++y) {
                const uint8_t* row = pixels.data + (size_t)y * c.stride;
                for (uint32_t x = 0; x < c.stride; ++x) {
                    uint8_t expected = 0;
                    if (y < written && x < width * 3) {
                        uint32_t pixel = x / 3, channel = x % 3;
                        expected = (uint8_t)rgb[(y * width + pixel) * 3 + (c.flags ? 2 - channel : channel)];
                    }
                    ASSERT_EQ(row[x], expected) << c.fault << " (row " << y << ", byte " << x << ")";
                }
            }
        }
    }
}

TEST(JpegReader, DimsIgnoreTheScaleAndDamageIsReported) {
    ScaleReset reset;
    pic_SetJPGDCTScaleFactors(1, 8);
    Source source(Source::kMemory, FixtureBytes("jpeg_prog.jpg"));
    int32_t w, h, bits, space, process;
    PicResolutionInfo resolution;
    ASSERT_TRUE(pic_GetJPGDims(source, &w, &h, &bits, &space, &process, &resolution, nullptr));
    EXPECT_EQ(w, 67);
    EXPECT_EQ(h, 45);
    EXPECT_EQ(bits, 24);
    EXPECT_EQ(space, 3);
    EXPECT_EQ(process, 1) << "progressive";
    EXPECT_EQ(resolution.unit, 0) << "cjpeg writes an aspect ratio of 1:1 without unit";
    EXPECT_EQ(resolution.x, 1.0);
    EXPECT_FALSE(pic_GetJPGDims(source, nullptr, &h, &bits, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM);
    std::string damaged = FixtureBytes("jpeg_rgb.jpg");
    damaged[3] = 0x01;  // no marker where the library needs one
    Source bad(Source::kMemory, damaged.substr(0, 40));
    int32_t dw = 0, dh = 0;
    GlobalBlock none(pic_ReadJPG(bad, &dw, &dh, 24, 0));
    EXPECT_EQ(none.data, nullptr);
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_JPG);
    EXPECT_EQ(readertest::CallDepth(), 0);
    EXPECT_FALSE(GetThreadState()->errorLog.empty()) << "the library's message is logged";
}

TEST(JpegReader, MarkersAreCollectedAsTags) {
    // A comment and an APP1 marker inserted after SOI.
    std::string bytes = FixtureBytes("jpeg_rgb.jpg");
    std::string comment = std::string("\xFF\xFE\x00\x07hello", 9);
    std::string app1 = std::string("\xFF\xE1\x00\x08" "Exif\0\0", 10);
    bytes.insert(2, comment + app1);
    Source source(Source::kMemory, bytes);
    CPicReaderSettings settings;
    CPicReaderContext context;
    ASSERT_TRUE(JpegCollectMarkers(context, *source.get(), settings));
    ASSERT_EQ(settings.tagLists[CPicReaderSettings::kComments].Size(), 1u);
    EXPECT_EQ(settings.tagLists[CPicReaderSettings::kComments][0]->text, "hello");
    ASSERT_EQ(settings.tagLists[CPicReaderSettings::kMarkers].Size(), 1u);
    CFileDataTag* tag = settings.tagLists[CPicReaderSettings::kMarkers][0];
    EXPECT_EQ(tag->id, 225);
    EXPECT_EQ(tag->bytes.count, 6u + 4u);
    EXPECT_EQ(memcmp(tag->bytes.data + 4, "Exif", 4), 0);
    ASSERT_TRUE(source.get()->Rewind());
    ASSERT_TRUE(JpegCollectMarkers(context, *source.get(), settings));
    EXPECT_EQ(settings.tagLists[CPicReaderSettings::kComments].Size(), 1u) << "a second scan empties first";
    CPicThreadState::DestroyReaderSettings(settings);
}
