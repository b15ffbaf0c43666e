// The PSD, Photo CD and metafile readers under damaged input and stops: every cut of
// a real file and a bounded, seeded mutation run end with a code, in bounded
// time, with the call depth restored, through the readers' own calls and
// the generic reader alike; a stop from the progress callback ends with 14.
#include <chrono>
#include <functional>
#include <random>

#include "../../QvTest.h"
#include "ReaderTestSupport.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicGenericReader.h"
#include "imaging/readers/PicImageEx.h"
#include "imaging/readers/PicMetafileReader.h"
#include "imaging/readers/PicPhotoCdReader.h"
#include "imaging/readers/PicPsdReader.h"
#include "imaging/readers/PicSources.h"

using readertest::FixtureBytes;
using readertest::Source;

namespace {

struct ReaderCall {
    const char* name;
    std::function<void*(CPicIO*)> call;
};

std::vector<ReaderCall> Calls() {
    static RGBQUAD palette[256];
    static int32_t w, h, depth, mode;
    static PicResolutionInfo resolution;
    auto flag = [](BOOL b) -> void* { return b ? nullptr : nullptr; };
    return {
        {"PSD dims", [=](CPicIO* s) { return flag(pic_GetPSDDims(s, &w, &h, &depth, &mode, &resolution, 0)); }},
        {"PSD palette", [=](CPicIO* s) { return flag(pic_GetPSDPalette(s, &depth, palette, 0)); }},
        {"PSD 8", [](CPicIO* s) { return pic_ReadPSD(s, &w, &h, 8, palette, 0); }},
        {"PSD 24", [](CPicIO* s) { return pic_ReadPSD(s, &w, &h, 24, palette, 0); }},
        {"PSD 24 CMYK kept", [](CPicIO* s) { return pic_ReadPSD(s, &w, &h, 24, palette, 4); }},
        {"PSD 64", [](CPicIO* s) { return pic_ReadPSD(s, &w, &h, 64, palette, 0); }},
        {"PSD DIB", [](CPicIO* s) { return pic_ReadPSD(s, &w, &h, 0, palette, 2); }},
        {"PCD 1", [](CPicIO* s) { return pic_ReadPCD(s, &w, &h, 1, 0); }},
        {"PCD 4 DIB", [](CPicIO* s) { return pic_ReadPCD(s, &w, &h, 4, 2); }},
        {"metafile", [](CPicIO* s) { return pic_ReadMetafileSource(s, &w, &h, 100, 100, 0, 0); }},
        {"generic RGB", [](CPicIO* s) { return pic_ReadImage(s, &w, &h, PIC_KIND_RGB, 0); }},
        {"generic 1 bit", [](CPicIO* s) { return pic_ReadImage(s, &w, &h, PIC_KIND_1BIT, 0); }},
        {"generic DIB", [](CPicIO* s) { return pic_ReadImage(s, &w, &h, PIC_KIND_DIB, 0); }},
        {"image object", [](CPicIO* s) -> void* {
             CPicImageEx image;
             if (image.ReadFromSource(s, CPicImageEx::GuessTypeOfSource(s, nullptr), 0) == 0 && image.IsValid())
                 image.ConvertTo24Bit();
             return nullptr;
         }},
    };
}

void RunAll(const std::string& bytes, const char* what) {
    if (bytes.empty()) return;
    for (const ReaderCall& reader : Calls()) {
        Source source(Source::kMemory, bytes);
        void* block = reader.call(source);
        EXPECT_EQ(readertest::CallDepth(), 0) << reader.name << ": " << what;
        if (block != nullptr) GlobalFree(block);
    }
}

// A small enhanced metafile drawn here: two rectangles.
std::string SmallEmf() {
    RECT frame = {0, 0, 500, 300};
    HDC dc = CreateEnhMetaFileW(nullptr, nullptr, &frame, nullptr);
    Rectangle(dc, 1, 1, 10, 8);
    HBRUSH brush = CreateSolidBrush(RGB(0, 200, 0));
    RECT r = {2, 2, 6, 5};
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    return readertest::EnhancedMetafileBytes(CloseEnhMetaFile(dc));
}

// The Photo CD fixture's header and the first rows of its Base/16 image.
std::string PhotoCdStart() { return FixtureBytes("pcd_base16.pcd").substr(0, 4 * 2048 + 3 * 192 * 4); }

const char* const kPsdFiles[] = {"psd_rgb_rle.psd", "psd_pal_rle.psd", "psd_bitmap_rle.psd", "psd_cmyk_raw.psd",
                                 "psd_rgb16_raw.psd", "psd_grey_rle.psd", "psd_resolution.psd", "psd_duotone.psd"};

}  // namespace

TEST(PsdPhotoCdMetafileHostile, EveryCutOfRealFilesEndsWithACode) {
    for (const char* name : kPsdFiles) {
        std::string whole = FixtureBytes(name);
        for (size_t cut = 0; cut < whole.size(); ++cut) RunAll(whole.substr(0, cut), name);
    }
    std::string pcd = FixtureBytes("pcd_base16.pcd");
    for (size_t cut = 0; cut < pcd.size(); cut += 1999) RunAll(pcd.substr(0, cut), "pcd_base16.pcd");
    std::string emf = SmallEmf();
    for (size_t cut = 0; cut < emf.size(); cut += 4) RunAll(emf.substr(0, cut), "metafile");
}

TEST(PsdPhotoCdMetafileHostile, BoundedMutationRunOverTheReaders) {
    std::vector<std::string> bases;
    for (const char* name : kPsdFiles) bases.push_back(FixtureBytes(name));
    bases.push_back(PhotoCdStart());
    std::mt19937 random(20261211);
    auto start = std::chrono::steady_clock::now();
    for (int inputs = 0; inputs < 600; ++inputs) {
        std::string bytes = bases[inputs % bases.size()];
        // Photo CD headers are three sectors: damage lands where the reader looks.
        bool photoCd = bytes.size() > 6144;
        int changes = 1 + (int)(random() % 4);
        for (int k = 0; k < changes && !bytes.empty(); ++k) {
            size_t at = photoCd ? (random() % 2 == 0 ? 2048 + random() % 8 : 3586 + random() % 4)
                                : random() % bytes.size();
            at %= bytes.size();
            readertest::MutateOnce(bytes, at, random);
        }
        RunAll(bytes, "mutation");
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 60.0);
}

TEST(PsdPhotoCdMetafileHostile, MetafileHeadersUnderMutation) {
    // The records themselves are the system's to play; their header fields
    // (sizes, frame, millimetres, counts) are what this reader reads.
    std::string emf = SmallEmf();
    std::mt19937 random(1211);
    for (int inputs = 0; inputs < 300; ++inputs) {
        std::string bytes = emf;
        size_t at = random() % 88;
        bytes[at] = (char)(random() % 3 == 0 ? 0xFF : random() % 3 == 1 ? 0 : bytes[at] ^ (1 << (random() % 8)));
        Source source(Source::kMemory, bytes);
        int32_t w, h;
        void* block = pic_ReadMetafileSource(source, &w, &h, 100, 100, 0, 0);
        if (block != nullptr) {
            EXPECT_LE(w, kPicMetafileMaxSide);
            EXPECT_LE(h, kPicMetafileMaxSide);
            GlobalFree(block);
        }
        EXPECT_EQ(readertest::CallDepth(), 0);
    }
}

namespace {

// Answers true `allowed` times, then false.
BOOL StopAfter(uint32_t, uint32_t, void* user) {
    int* allowed = static_cast<int*>(user);
    return (*allowed)-- > 0;
}

}  // namespace

TEST(PsdPhotoCdMetafileHostile, AStopFromTheProgressCallbackEndsWithCode14) {
    struct Case {
        const char* what;
        std::string bytes;
        std::function<void*(CPicIO*)> read;
        bool partial;  // the rows decoded before the stop come back
    } cases[] = {
        {"PSD indices", FixtureBytes("psd_grey_rle.psd"),
         [](CPicIO* s) {
             int32_t w, h;
             RGBQUAD palette[256];
             return pic_ReadPSD(s, &w, &h, 8, palette, 0);
         },
         true},
        {"PSD colour", FixtureBytes("psd_rgb_raw.psd"),
         [](CPicIO* s) {
             int32_t w, h;
             return pic_ReadPSD(s, &w, &h, 24, nullptr, 0);
         },
         true},
        {"Photo CD conversion", FixtureBytes("pcd_base16.pcd"),
         [](CPicIO* s) {
             int32_t w, h;
             return pic_ReadPCD(s, &w, &h, 1, 0);
         },
         true},
        {"metafile", SmallEmf(),
         [](CPicIO* s) {
             int32_t w, h;
             return pic_ReadMetafileSource(s, &w, &h, 100, 100, 0, 0);
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int allowed = 2;
        SetProgressCallback(StopAfter, &allowed);
        Source source(Source::kMemory, c.bytes);
        void* block = c.read(source);
        int32_t code = pic_GetLastError();
        SetProgressCallback(nullptr, nullptr);
        EXPECT_EQ(code, PIC_ERR_CANCELLED);
        EXPECT_EQ(block != nullptr, c.partial);
        if (block != nullptr) GlobalFree(block);
        EXPECT_EQ(readertest::CallDepth(), 0);
    }
}
