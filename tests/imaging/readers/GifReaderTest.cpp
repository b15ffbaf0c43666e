// GIF reader and animation renderer: ImageMagick's files against its own
// decoding, hand-built streams against the indices they code, animation
// canvases against the compositing rules.
#include <cstring>

#include "../../QvTest.h"
#include "ReaderTestSupport.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicGifAnimation.h"
#include "imaging/readers/PicGifReader.h"
#include "imaging/readers/PicSources.h"

using readertest::FixtureBytes;
using readertest::GlobalBlock;
using readertest::Source;

namespace {
struct GifRead {
    GlobalBlock pixels;
    int32_t width = 0, height = 0, transparent = 0, code = -1;
    RGBQUAD palette[256] = {};
};

void ReadGif(CPicIO* source, uint32_t flags, GifRead& r) {
    r.pixels.reset(pic_ReadGIF(source, &r.width, &r.height, &r.transparent, r.palette, flags));
    r.code = pic_GetLastError();
}
}  // namespace

TEST(GifReader, ImageMagickFilesMatchItsDecodingFromFileAndMemory) {
    for (const char* base : {"gif_master7x5", "gif_master13x3", "gifi_master7x5", "gifi_master13x3"}) {
        std::string bytes = FixtureBytes((std::string(base) + ".gif").c_str());
        std::string expected = FixtureBytes((std::string(base) + ".rgb").c_str());
        std::string first;
        for (Source::Kind kind : {Source::kFile, Source::kMemory}) {
            Source source(kind, bytes, L"a.gif");
            GifRead r;
            ReadGif(source, 0, r);
            ASSERT_EQ(r.code, PIC_ERR_OK) << base;
            std::string rgb;
            for (int i = 0; i < r.width * r.height; ++i) {
                const RGBQUAD& q = r.palette[r.pixels.data[i]];
                rgb += {(char)q.rgbRed, (char)q.rgbGreen, (char)q.rgbBlue};
            }
            EXPECT_EQ(rgb, expected) << base;
            std::string pixels((const char*)r.pixels.data, (size_t)r.width * r.height);
            if (kind == Source::kFile)
                first = pixels;
            else
                EXPECT_EQ(pixels, first) << base << ": file and memory differ";
        }
    }
}

TEST(GifReader, HandBuiltStreams) {
    struct Case {
        const char* fault;
        const char* file;
        std::string indices;
        int32_t code;
        int32_t transparent;
    } cases[] = {
        {"clear, 1, 2, end gives 1, 2", "gif_2x1.gif", std::string("\1\2", 2), PIC_ERR_OK, -1},
        {"interlaced rows of height 3 are 0, 2, 1", "gif_interlaced_5x3.gif", FixtureBytes("gif_interlaced_5x3.idx"),
         PIC_ERR_OK, -1},
        {"local table with transparency", "gif_local_4x2.gif", FixtureBytes("gif_local_4x2.idx"), PIC_ERR_OK, 2},
        {"data that stops early leaves zeros and says incomplete", "gif_cut_4x2.gif",
         std::string("\0\1\2\3\3\0\0\0", 8), PIC_ERR_FILE_READ, -1},
    };
    for (const Case& c : cases) {
        Source source(Source::kMemory, FixtureBytes(c.file));
        GifRead r;
        ReadGif(source, 0, r);
        EXPECT_EQ(r.code, c.code) << c.fault;
        ASSERT_NE(r.pixels.data, nullptr) << c.fault;
        EXPECT_EQ(std::string((const char*)r.pixels.data, (size_t)r.width * r.height), c.indices) << c.fault;
        EXPECT_EQ(r.transparent, c.transparent) << c.fault;
    }
}

TEST(GifReader, PaletteAlphaAndLocalTable) {
    Source source(Source::kMemory, FixtureBytes("gif_local_4x2.gif"));
    GifRead r;
    ReadGif(source, 0, r);
    ASSERT_EQ(r.code, PIC_ERR_OK);
    // The local table (yellow first), alpha 0 only at the transparent index 2.
    EXPECT_EQ(r.palette[0].rgbRed, 255);
    EXPECT_EQ(r.palette[0].rgbGreen, 255);
    EXPECT_EQ(r.palette[0].rgbBlue, 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(r.palette[i].rgbReserved, i == 2 ? 0 : 255) << i;
    // Without a control extension entry 0 gets alpha 0 and the others 255.
    Source plain(Source::kMemory, FixtureBytes("gif_2x1.gif"));
    GifRead p;
    ReadGif(plain, 0, p);
    EXPECT_EQ(p.palette[0].rgbReserved, 0);
    EXPECT_EQ(p.palette[1].rgbReserved, 255);
    // The dims call reports the global depth and the local table.
    ASSERT_TRUE(pic_Seek(source, 0, 0));
    int32_t w, h, bits, background, transparent, interlaced;
    RGBQUAD palette[256];
    ASSERT_TRUE(pic_GetGIFDims(source, &w, &h, &bits, &background, &transparent, palette, &interlaced, 0));
    EXPECT_EQ(bits, 2);
    EXPECT_EQ(transparent, 2);
    EXPECT_EQ(palette[1].rgbGreen, 255);
    Source interlacedSource(Source::kMemory, FixtureBytes("gif_interlaced_5x3.gif"));
    ASSERT_TRUE(pic_GetGIFDims(interlacedSource, &w, &h, &bits, &background, &transparent, palette, &interlaced, 1));
    EXPECT_EQ(interlaced, 1);
    EXPECT_EQ(w, 5);
    EXPECT_EQ(transparent, -1);
}

TEST(GifReader, PackedBitmapAndPaddedRows) {
    Source source(Source::kMemory, FixtureBytes("gif_interlaced_5x3.gif"));
    GifRead r;
    ReadGif(source, 2, r);
    ASSERT_EQ(r.code, PIC_ERR_OK);
    const BITMAPINFOHEADER* header = (const BITMAPINFOHEADER*)r.pixels.data;
    EXPECT_EQ(header->biWidth, 5);
    EXPECT_EQ(header->biHeight, 3);
    EXPECT_EQ(header->biBitCount, 8);
    EXPECT_EQ(header->biClrUsed, 256u);
    const RGBQUAD* table = (const RGBQUAD*)(r.pixels.data + 40);
    EXPECT_EQ(table[1].rgbRed, 200);
    std::string indices = FixtureBytes("gif_interlaced_5x3.idx");
    const uint8_t* rows = r.pixels.data + 40 + 1024;
    for (int y = 0; y < 3; ++y)
        EXPECT_EQ(memcmp(rows + (2 - y) * 8, indices.data() + y * 5, 5), 0) << "bottom-up row " << y;
    ASSERT_TRUE(pic_Seek(source, 0, 0));
    GifRead padded;
    ReadGif(source, 8, padded);
    for (int y = 0; y < 3; ++y) EXPECT_EQ(memcmp(padded.pixels.data + y * 8, indices.data() + y * 5, 5), 0);
    ASSERT_TRUE(pic_Seek(source, 0, 0));
    GifRead both;
    ReadGif(source, 10, both);
    EXPECT_EQ(both.code, PIC_ERR_BAD_PARAM);
}

TEST(GifAnimation, FramesFollowCompositingAndDisposal) {
    for (const char* file : {"gif_anim.gif", "gif_anim_notrailer.gif"}) {
        Source source(Source::kMemory, FixtureBytes(file));
        int32_t w = 0, h = 0;
        CPicAnimatedGIFState* state = pic_InitRenderAnimatedGIF(source, &w, &h, nullptr);
        ASSERT_NE(state, nullptr) << file << ": a missing trailer after complete frames is accepted";
        ASSERT_EQ(w, 6);
        ASSERT_EQ(h, 4);
        std::string expected = FixtureBytes("gif_anim.rgba");
        const int32_t delays[] = {10, 20, 0, 7};
        std::vector<uint8_t> buffer(6 * 4 * 4);
        // Loop count 2: all of pass one answers 1, pass two ends with 0 and 79.
        for (int pass = 0; pass < 2; ++pass) {
            for (int f = 0; f < 4; ++f) {
                int32_t delay = -1;
                BOOL more = pic_AnimatedGIFGetNextFrame(state, buffer.data(), &delay, 0);
                bool last = pass == 1 && f == 3;
                EXPECT_EQ(more, last ? FALSE : TRUE) << file << " pass " << pass << " frame " << f;
                EXPECT_EQ(pic_GetLastError(), last ? PIC_ERR_NO_MORE_FRAMES : PIC_ERR_OK);
                EXPECT_EQ(delay, delays[f]);
                if (pass == 0) {
                    EXPECT_EQ(readertest::Hex(buffer.data(), 96), readertest::Hex((const uint8_t*)expected.data() + f * 96, 96))
                        << file << " frame " << f;
                }
            }
        }
        EXPECT_EQ(state->currentFrame, 0u) << "the next call shows frame 0 again";
        EXPECT_TRUE(pic_FreeAnimatedGIF(state));
    }
}

TEST(GifAnimation, NoWrapFlagAndRefusals) {
    Source source(Source::kMemory, FixtureBytes("gif_2x1.gif"));
    CPicAnimatedGIFState* state = pic_InitRenderAnimatedGIF(source, nullptr, nullptr, nullptr);
    ASSERT_NE(state, nullptr);
    uint8_t buffer[8];
    int32_t delay;
    EXPECT_FALSE(pic_AnimatedGIFGetNextFrame(state, buffer, &delay, 1));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_NO_MORE_FRAMES);
    EXPECT_TRUE(pic_AnimatedGIFGetNextFrame(state, buffer, &delay, 0)) << "one frame, no loop count: endless";
    EXPECT_EQ(buffer[0], 200);
    EXPECT_EQ(buffer[3], 255);
    EXPECT_FALSE(pic_AnimatedGIFGetNextFrame(state, nullptr, &delay, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM);
    pic_FreeAnimatedGIF(state);
    EXPECT_FALSE(pic_FreeAnimatedGIF(nullptr));
    // A trailer right after the screen: no frames is refused at set-up.
    std::string empty = FixtureBytes("gif_2x1.gif").substr(0, 13 + 12) + ";";
    Source none(Source::kMemory, empty);
    EXPECT_EQ(pic_InitRenderAnimatedGIF(none, nullptr, nullptr, nullptr), nullptr);
    EXPECT_NE(pic_GetLastError(), PIC_ERR_OK);
    std::string version = FixtureBytes("gif_2x1.gif");
    version[4] = '8';
    Source wrongVersion(Source::kMemory, version);
    EXPECT_EQ(pic_InitRenderAnimatedGIF(wrongVersion, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_GIF_VERSION);
}
