// PNM reader and its format layer: plain and raw bitmaps, greymaps and
// pixmaps of maxval 1, 15, 255, 1000 and 65535 against the scaling rule, the
// layer's messages, and hostile headers.
#include <cstring>

#include "../../QvTest.h"
#include "HostileCases.h"
#include "ReaderTestSupport.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicPnmReader.h"
#include "imaging/readers/PicSources.h"

using readertest::FixtureBytes;
using readertest::GlobalBlock;
using readertest::Source;

namespace {

struct Read {
    GlobalBlock pixels;
    int32_t w = 0, h = 0, code = -1;
};

void ReadPnm(const std::string& bytes, int32_t depth, uint32_t flags, Read& out, Source::Kind kind = Source::kMemory) {
    Source source(kind, bytes, L"picture.pnm");
    out.pixels.reset(pic_ReadPNM(source, &out.w, &out.h, depth, flags));
    out.code = pic_GetLastError();
}

}  // namespace

TEST(PnmReader, EveryFormAndMaxvalMatchesTheScalingRule) {
    for (const char* size : {"master7x5", "master13x3"})
        for (const char* kind : {"ppm", "pgm"})
            for (int maxval : {1, 15, 255, 1000, 65535})
                for (const char* form : {"", "_plain"}) {
                    if (std::string(kind) == "ppm" && maxval == 1) continue;
                    std::string base = std::string(kind) + std::to_string(maxval) + "_" + size;
                    std::string file = base + form + "." + kind;
                    std::string expected = FixtureBytes((base + ".rgb").c_str());
                    bool grey = std::string(kind) == "pgm";
                    for (Source::Kind where : {Source::kFile, Source::kMemory}) {
                        Read r;
                        ReadPnm(FixtureBytes(file.c_str()), grey ? 8 : 24, 0, r, where);
                        ASSERT_EQ(r.code, PIC_ERR_OK) << file;
                        std::string rgb;
                        for (int32_t i = 0; i < r.w * r.h; ++i)
                            rgb += grey ? std::string(3, (char)r.pixels.data[i]) : std::string((char*)r.pixels.data + 3 * i, 3);
                        EXPECT_EQ(rgb, expected) << file;
                    }
                    // At 16 or 48 bits with flag 8 the samples stay as stored.
                    std::string samples = FixtureBytes((base + ".samples").c_str());
                    Read raw;
                    ReadPnm(FixtureBytes(file.c_str()), grey ? 16 : 48, 8, raw);
                    ASSERT_EQ(raw.code, PIC_ERR_OK) << file;
                    EXPECT_EQ(std::string((char*)raw.pixels.data, samples.size()), samples) << file;
                }
}

TEST(PnmReader, BitmapsAndFlags) {
    for (const char* file : {"pbm_master7x5.pbm", "pbm_master7x5_plain.pbm", "pbm_master13x3.pbm"}) {
        std::string name = file;
        std::string expected = FixtureBytes((name.substr(0, name.find(".pbm")).substr(0, name.find("_plain")) + ".rgb").c_str());
        Read r;
        ReadPnm(FixtureBytes(file), 1, 0, r);
        ASSERT_EQ(r.code, PIC_ERR_OK) << file;
        std::string rgb;
        for (int32_t y = 0; y < r.h; ++y)
            for (int32_t x = 0; x < r.w; ++x) {
                bool white = (r.pixels.data[y * ((r.w + 7) / 8) + x / 8] >> (7 - x % 8)) & 1;
                rgb += std::string(3, white ? '\xFF' : '\0');
            }
        EXPECT_EQ(rgb, expected) << file << ": 1 is white";
    }
    Read r;
    ReadPnm(FixtureBytes("pbm_master7x5.pbm"), 8, 0, r);
    EXPECT_EQ(r.code, PIC_ERR_BIT_DEPTH) << "a bitmap at 8 bits";
    // A P3 pixmap with flag 0x10 gives B, G, R; with flag 2 a bottom-up padded B, G, R bitmap.
    std::string ppm = FixtureBytes("ppm255_master7x5_plain.ppm");
    std::string expected = FixtureBytes("ppm255_master7x5.rgb");
    Read bgr;
    ReadPnm(ppm, 24, 0x10, bgr);
    EXPECT_EQ((uint8_t)bgr.pixels.data[0], (uint8_t)expected[2]);
    Read dib;
    ReadPnm(ppm, 0, 2, dib);
    ASSERT_EQ(dib.code, PIC_ERR_OK);
    const uint8_t* lastRow = dib.pixels.data + 40 + 4 * 24;
    EXPECT_EQ(lastRow[0], (uint8_t)expected[2]);
    EXPECT_EQ(lastRow[2], (uint8_t)expected[0]);
}

TEST(PnmReader, HostileHeadersAndData) {
    std::string cut = FixtureBytes("ppm255_master13x3.ppm");
    cut.resize(cut.size() - 20);
    std::vector<readertest::HostileCase> cases = {
        {"P7 magic", "P7\n1 1\n255\n\x01", 8, 0, PIC_ERR_BAD_PNM, false},
        {"empty after the magic", "P5", 8, 0, PIC_ERR_BAD_PNM, false},
        {"one byte", "P", 8, 0, PIC_ERR_BAD_PNM, false},
        {"width 0 is a bad file, not out of memory", "P5 0 3 255\n", 8, 0, PIC_ERR_BAD_PNM, false},
        {"height 0", "P4 8 0\n", 1, 0, PIC_ERR_BAD_PNM, false},
        {"maxval 0", "P5 1 1 0\n\x01", 8, 0, PIC_ERR_BAD_PNM, false},
        {"maxval 65536", "P5 1 1 65536\n\x01\x01", 8, 0, PIC_ERR_BAD_PNM, false},
        {"integer too large", "P5 2147483641 1 255\n", 8, 0, PIC_ERR_BAD_PNM, false},
        {"huge raw image from a few bytes", "P6 60000 60000 255\nabc", 24, 0, PIC_ERR_BAD_PNM, false},
        {"raw size beyond the budget", "P5 20000 20000 255\nabc", 8, 0, PIC_ERR_BAD_PNM, false},
        {"letter in a plain sample", "P2 2 1 255\n1 x", 8, 0, PIC_ERR_BAD_PNM, true},
        {"16 bits with padding", "P2 1 1 255\n1", 16, 0x80000000u, PIC_ERR_BAD_PARAM, false},
        {"greymap at 24 bits", "P2 1 1 255\n1", 24, 0, PIC_ERR_BIT_DEPTH, false},
        {"raw cut in the raster: complete rows and 78", cut, 24, 0, PIC_ERR_BAD_PNM, true},
    };
    readertest::ExpectHostileOutcomes(cases, [](CPicIO* source, const readertest::HostileCase& c) {
        int32_t w = 0, h = 0;
        return pic_ReadPNM(source, &w, &h, c.depth, c.flags);
    });
    // The cut file keeps its complete rows and zeros after them.
    Read r;
    ReadPnm(cut, 24, 0, r);
    std::string expected = FixtureBytes("ppm255_master13x3.rgb");
    EXPECT_EQ(std::string((char*)r.pixels.data, 39), expected.substr(0, 39));
    EXPECT_EQ(std::string((char*)r.pixels.data + 78, 39), std::string(39, '\0'));
}

TEST(PnmReader, HeaderLayerRules) {
    struct Case {
        const char* fault;
        const char* bytes;
        BOOL ok;
        int32_t width, height, maxval;
    } cases[] = {
        {"comment between magic and width", "P2\n# a comment\n3 2 255\n", TRUE, 3, 2, 255},
        {"2147483640 is accepted", "P2 2147483640 1 255\n", TRUE, 2147483640, 1, 255},
        {"bitmaps have maxval 1", "P1 4 4\n", TRUE, 4, 4, 1},
        {"2147483641 is too large", "P2 2147483641 1 255\n", FALSE, 0, 0, 0},
        {"P7", "P7 1 1 255\n", FALSE, 0, 0, 0},
    };
    for (const Case& c : cases) {
        Source source(Source::kMemory, c.bytes);
        int32_t w = 0, h = 0, maxval = 0, format = 0;
        EXPECT_EQ(pic_GetPNMDims(source, &w, &h, &maxval, &format, 0), c.ok) << c.fault;
        if (!c.ok) {
            EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PNM) << c.fault;
            continue;
        }
        EXPECT_EQ(w, c.width) << c.fault;
        EXPECT_EQ(h, c.height) << c.fault;
        EXPECT_EQ(maxval, c.maxval) << c.fault;
    }
    // A plain bitmap row without separators.
    Read r;
    ReadPnm("P1 4 1\n0101", 1, 0, r);
    ASSERT_EQ(r.code, PIC_ERR_OK);
    EXPECT_EQ(r.pixels.data[0], 0xA0) << "0 (white) is bit 1";
}

namespace {

struct ThreadReads {
    std::string bytes;
    std::string expected;
    int32_t depth;
    int mismatches = 0;
};

DWORD WINAPI ReadManyTimes(void* argument) {
    ThreadReads& job = *static_cast<ThreadReads*>(argument);
    for (int i = 0; i < 40; ++i) {
        Read r;
        ReadPnm(job.bytes, job.depth, 0, r);
        if (r.code != PIC_ERR_OK || std::string((char*)r.pixels.data, job.expected.size()) != job.expected)
            ++job.mismatches;
        Read bad;
        ReadPnm("P5 2 2 0\n", 8, 0, bad);  // each thread's failures stay its own
        if (bad.code != PIC_ERR_BAD_PNM) ++job.mismatches;
    }
    return 0;
}

}  // namespace

TEST(PnmReader, ThreadsReadingAtOnceShareNothing) {
    ThreadReads jobs[4] = {
        {FixtureBytes("ppm1000_master7x5.ppm"), FixtureBytes("ppm1000_master7x5.rgb"), 24},
        {FixtureBytes("ppm15_master13x3_plain.ppm"), FixtureBytes("ppm15_master13x3.rgb"), 24},
        {FixtureBytes("ppm65535_master7x5.ppm"), FixtureBytes("ppm65535_master7x5.rgb"), 24},
        {FixtureBytes("ppm255_master13x3.ppm"), FixtureBytes("ppm255_master13x3.rgb"), 24},
    };
    HANDLE threads[4];
    for (int i = 0; i < 4; ++i) threads[i] = CreateThread(nullptr, 0, ReadManyTimes, &jobs[i], 0, nullptr);
    ASSERT_EQ(WaitForMultipleObjects(4, threads, TRUE, 60000), WAIT_OBJECT_0);
    for (int i = 0; i < 4; ++i) {
        CloseHandle(threads[i]);
        EXPECT_EQ(jobs[i].mismatches, 0) << i;
    }
}
