// TGA, PCX, WBMP and PNM pictures through the generic reader and the image
// object, from files and from memory, as the thumbnail browser and the
// preview load them; and bitmaps with the 108- and 124-byte headers.
#include <cstring>
#include <functional>

#include "../../QvTest.h"
#include "HostileCases.h"
#include "ReaderTestSupport.h"
#include "framework/base/WipedMemory.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicBmpReader.h"
#include "imaging/readers/PicGenericReader.h"
#include "imaging/readers/PicImageEx.h"
#include "imaging/readers/PicPcxReader.h"
#include "imaging/readers/PicPnmReader.h"
#include "imaging/readers/PicSources.h"
#include "imaging/readers/PicTgaReader.h"
#include "imaging/readers/PicWbmpReader.h"

using readertest::FixtureBytes;
using readertest::FixturePath;
using readertest::GlobalBlock;
using readertest::Source;

namespace {

// The image's pixels as R, G, B after converting a copy to 24 bits.
std::string RgbOf(CPicImageEx& image) {
    CPicImageEx rgb;
    EXPECT_EQ(image.ConvertTo24BitInto(rgb), PIC_ERR_OK);
    return std::string((const char*)rgb.GetPixels(), (size_t)rgb.GetWidth() * rgb.GetHeight() * 3);
}

}  // namespace

TEST(NewFormatsLoad, ImageObjectFromFileAndMemoryAsTheBrowserAsks) {
    struct Case {
        const char* fault;
        const char* file;
        const char* expected;
        const WCHAR* storedName;  // the plain name the browser passes for an encrypted file
        int32_t detectedType;     // of a file load with detection
    } cases[] = {
        {"true-colour TGA", "tga2_master7x5.tga", "tga2_master7x5.rgb", L"a.tga", CPicImageEx::FileTypeTGA24},
        {"run-length grey TGA loads at 8 bits", "tga11_master13x3.tga", "tga11_master13x3.rgb", L"a.TGA",
         CPicImageEx::FileTypeTGA8},
        {"colour-mapped TGA", "tga9_master7x5.tga", "tga9_master7x5.rgb", L"a.tga", CPicImageEx::FileTypeTGA8},
        {"32-bit TGA with footer", "tga32rle_footer_7x5.tga", nullptr, L"a.tga", CPicImageEx::FileTypeTGA32},
        {"24-bit PCX", "pcx24_master7x5.pcx", "pcx24_master7x5.rgb", L"b.pcx", CPicImageEx::FileTypePCX24},
        {"8-bit PCX", "pcx8_master13x3.pcx", "pcx8_master13x3.rgb", L"b.pcx", CPicImageEx::FileTypePCX8},
        {"16-colour PCX", "pcx4p_master7x5.pcx", "pcx4p_master7x5.rgb", L"b.pcx", CPicImageEx::FileTypePCX8},
        {"WBMP", "wbmp_master7x5.wbmp", "wbmp_master7x5.rgb", L"c.wbmp", CPicImageEx::FileTypeWBMP},
    };
    for (const Case& c : cases) {
        std::string bytes = FixtureBytes(c.file);
        std::string name = c.file;
        CString path = FixturePath(c.file);
        CPicImageEx fromFile, byType, fromMemory;
        ASSERT_EQ(fromFile.LoadFromFile(path, CPicImageEx::FileTypeUnknown, 0), PIC_ERR_OK) << c.fault;
        EXPECT_EQ(fromFile.GetFileType(), c.detectedType) << c.fault;
        // The thumbnail loader passes the type of the extension itself.
        ASSERT_EQ(byType.LoadFromFile(path, CPicImageEx::TypeFromExtension(path), 0), PIC_ERR_OK) << c.fault;
        ASSERT_EQ(fromMemory.LoadFromMemory(bytes.data(), (uint32_t)bytes.size(),
                                            CPicImageEx::TypeFromExtension(c.storedName), 0, c.storedName),
                  PIC_ERR_OK)
            << c.fault;
        std::string rgb = RgbOf(fromFile);
        if (c.expected != nullptr) {
            EXPECT_EQ(rgb, FixtureBytes(c.expected)) << c.fault;
        }
        EXPECT_EQ(RgbOf(byType), rgb) << c.fault;
        EXPECT_EQ(RgbOf(fromMemory), rgb) << c.fault;
    }
}

TEST(NewFormatsLoad, PreviewDetectsFromMemoryWithoutAName) {
    // PCX is known by its first bytes, TGA from memory only by its footer.
    for (const char* file : {"pcx24_master7x5.pcx", "tga32rle_footer_7x5.tga"}) {
        std::string bytes = FixtureBytes(file);
        CPicImageEx image;
        EXPECT_EQ(image.LoadFromMemory(bytes.data(), (uint32_t)bytes.size(), CPicImageEx::FileTypeUnknown, 0, nullptr),
                  PIC_ERR_OK)
            << file;
        EXPECT_TRUE(image.IsValid()) << file;
    }
}

TEST(NewFormatsLoad, GenericReaderFromFileAndMemory) {
    struct Case {
        const char* fault;
        const char* file;
        const WCHAR* fileName;  // how the file source is named
        const char* expected;
        bool fromMemoryToo;  // known without a name
    } cases[] = {
        {"TGA by extension", "tga10_master7x5.tga", L"x.tga", "tga10_master7x5.rgb", false},
        {"PCX by magic", "pcx8_master7x5.pcx", L"x.bin", "pcx8_master7x5.rgb", true},
        {"WBMP by extension, through 8 bits", "wbmp_master13x3.wbmp", L"x.wbmp", "wbmp_master13x3.rgb", false},
        {"PBM through 1 bit", "pbm_master7x5.pbm", L"x.bin", "pbm_master7x5.rgb", true},
        {"plain PGM through 8 bits", "pgm1000_master7x5_plain.pgm", L"x.bin", "pgm1000_master7x5.rgb", true},
        {"PPM", "ppm15_master13x3.ppm", L"x.bin", "ppm15_master13x3.rgb", true},
    };
    for (const Case& c : cases) {
        std::string bytes = FixtureBytes(c.file);
        std::string expected = FixtureBytes(c.expected);
        for (Source::Kind kind : {Source::kFile, Source::kMemory}) {
            if (kind == Source::kMemory && !c.fromMemoryToo) continue;
            Source source(kind, bytes, c.fileName);
            int32_t w = 0, h = 0;
            GlobalBlock rgb(pic_ReadImage(source, &w, &h, PIC_KIND_RGB, 0));
            ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK) << c.fault;
            EXPECT_EQ(std::string((char*)rgb.data, (size_t)w * h * 3), expected) << c.fault;
            GlobalBlock rgba(pic_ReadImage(source, &w, &h, PIC_KIND_RGBA, 0));
            EXPECT_EQ(pic_GetLastError(), PIC_ERR_OK) << c.fault;
            EXPECT_EQ(rgba.data[4 * 1 + 1], (uint8_t)expected[3 * 1 + 1]) << c.fault;
            GlobalBlock dib(pic_ReadImage(source, &w, &h, PIC_KIND_DIB, 0));
            EXPECT_EQ(pic_GetLastError(), PIC_ERR_OK) << c.fault;
            EXPECT_NE(dib.data, nullptr) << c.fault;
        }
    }
    // A bitmap's 1-bit read is direct: black stays 0 and white 1.
    Source pbm(Source::kMemory, FixtureBytes("pbm_master13x3.pbm"));
    int32_t w, h;
    GlobalBlock bits(pic_ReadImage(pbm, &w, &h, PIC_KIND_1BIT, 0));
    ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
    std::string expected = FixtureBytes("pbm_master13x3.rgb");
    for (int32_t x = 0; x < w; ++x)
        EXPECT_EQ((bits.data[x / 8] >> (7 - x % 8)) & 1, (uint8_t)expected[3 * x] == 255 ? 1 : 0) << x;
}

TEST(BmpLongHeaders, VersionFourAndFiveHeadersRead) {
    struct Case {
        const char* fault;
        const char* name;
        int32_t depth;
    } cases[] = {
        {"124-byte header, 24 bits", "bmpv5", 24},
        {"124-byte header at 32 bits", "bmpv5", 32},
        {"108-byte header", "bmpv4", 24},
        {"colour table after the 124-byte header", "bmpv5pal", 8},
        {"colour table after the 124-byte header at 24 bits", "bmpv5pal", 24},
        {"5-6-5 masks from the header", "bmpv5565", 24},
    };
    for (const Case& c : cases)
        for (const char* size : {"master7x5", "master13x3"}) {
            std::string base = std::string(c.name) + "_" + size;
            std::string expected = FixtureBytes((base + ".rgb").c_str());
            Source source(Source::kMemory, FixtureBytes((base + ".bmp").c_str()));
            RGBQUAD palette[256] = {};
            int32_t w = 0, h = 0;
            GlobalBlock block(pic_ReadBMP(source, &w, &h, c.depth, palette, 0));
            ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK) << c.fault << " " << size;
            std::string rgb;
            for (int32_t i = 0; i < w * h; ++i) {
                if (c.depth == 8) {
                    const RGBQUAD& q = palette[block.data[i]];
                    rgb += {(char)q.rgbRed, (char)q.rgbGreen, (char)q.rgbBlue};
                } else {
                    rgb.append((char*)block.data + (size_t)i * (c.depth / 8), 3);
                }
            }
            EXPECT_EQ(rgb, expected) << c.fault << " " << size;
            // The packed bitmap has a 40-byte header and draws the same picture.
            Source again(Source::kMemory, FixtureBytes((base + ".bmp").c_str()));
            GlobalBlock dib(pic_ReadBMP(again, &w, &h, 24, nullptr, 2));
            ASSERT_NE(dib.data, nullptr) << c.fault;
            EXPECT_EQ(reinterpret_cast<BITMAPINFOHEADER*>(dib.data)->biSize, 40u) << c.fault;
            CPicImageEx image;
            std::string bytes = FixtureBytes((base + ".bmp").c_str());
            ASSERT_EQ(image.LoadFromMemory(bytes.data(), (uint32_t)bytes.size(), CPicImageEx::FileTypeUnknown, 0, nullptr),
                      PIC_ERR_OK)
                << c.fault;
            EXPECT_EQ(RgbOf(image), expected) << c.fault;
        }
}

TEST(BmpLongHeaders, HostileLongHeaders) {
    std::string v5 = FixtureBytes("bmpv5_master7x5.bmp");
    std::string otherSize = v5;
    otherSize[14] = 64;  // a 64-byte header is still refused
    std::string cutHeader = v5.substr(0, 14 + 100);
    std::string cutPixels = v5.substr(0, v5.size() - 10);
    std::vector<readertest::HostileCase> cases = {
        {"header size 64 refused", otherSize, 24, 0, PIC_ERR_BAD_BMP, false},
        {"124-byte header cut short", cutHeader, 24, 0, PIC_ERR_FILE_READ, false},
        {"pixels cut short: partial image with 3", cutPixels, 24, 0, PIC_ERR_FILE_READ, true},
        {"packed bitmap of a cut header", cutHeader, 24, 2, PIC_ERR_FILE_READ, false},
    };
    readertest::ExpectHostileOutcomes(cases, [](CPicIO* source, const readertest::HostileCase& c) {
        RGBQUAD palette[256];
        int32_t w = 0, h = 0;
        return pic_ReadBMP(source, &w, &h, c.depth, palette, c.flags);
    });
}

TEST(NewFormatsMemory, WorkingRowsComeFromTheWipingHeapAndGoBackWiped) {
    struct Case {
        const char* file;
        std::function<void*(CPicIO*)> read;
    } cases[] = {
        {"tga10_master7x5.tga", [](CPicIO* s) { int32_t w, h; return pic_ReadImage(s, &w, &h, PIC_KIND_RGB, 0); }},
        {"tgamap16first5_7x5.tga", [](CPicIO* s) { int32_t w, h; return pic_ReadImage(s, &w, &h, PIC_KIND_RGBA, 0); }},
        {"pcx4p_master7x5.pcx", [](CPicIO* s) { int32_t w, h; return pic_ReadImage(s, &w, &h, PIC_KIND_RGB, 0); }},
        {"ppm1000_master7x5_plain.ppm", [](CPicIO* s) { int32_t w, h; return pic_ReadImage(s, &w, &h, PIC_KIND_RGB, 0); }},
        {"pbm_master7x5.pbm", [](CPicIO* s) { int32_t w, h; return pic_ReadImage(s, &w, &h, PIC_KIND_RGB, 0); }},
        {"wbmp_master7x5.wbmp", [](CPicIO* s) { int32_t w, h; return pic_ReadImage(s, &w, &h, PIC_KIND_RGB, 0); }},
    };
    for (const Case& c : cases) {
        CString name(c.file);
        WipedMemoryTotals before = WipedMemoryCounts();
        {
            Source source(Source::kFile, FixtureBytes(c.file), name);
            GlobalBlock pixels(c.read(source));
            ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK) << c.file;
        }
        WipedMemoryTotals after = WipedMemoryCounts();
        EXPECT_GT(after.allocated, before.allocated) << c.file << ": the working rows";
        EXPECT_EQ(after.wiped - before.wiped, after.allocated - before.allocated) << c.file;
    }
}

TEST(NewFormatsDib, PackedBitmapsHaveTheImagesOwnDepthAndTable) {
    struct Case {
        const char* fault;
        const char* file;
        std::function<void*(CPicIO*)> read;
        uint16_t bits;
        uint32_t colours;
        uint8_t firstEntryRed;  // colour table entry 0 (black for bitmaps)
    } cases[] = {
        {"colour-mapped Targa: 8 bits, 256 entries", "tga1_master7x5.tga",
         [](CPicIO* s) { int32_t w, h; return pic_ReadTGA(s, &w, &h, 0, nullptr, 2); }, 8, 256, 0xFF},
        {"32-bit Targa stays 32 bits", "tga32rle_footer_7x5.tga",
         [](CPicIO* s) { int32_t w, h; return pic_ReadTGA(s, &w, &h, 0, nullptr, 2); }, 32, 0, 0},
        {"1-bit PCX: 2 entries", "pcx1_master7x5.pcx",
         [](CPicIO* s) { int32_t w, h; return pic_ReadPCX(s, &w, &h, 0, nullptr, 2); }, 1, 2, 0},
        {"raw bitmap: 1 bit, black is entry 0", "pbm_master7x5.pbm",
         [](CPicIO* s) { int32_t w, h; return pic_ReadPNM(s, &w, &h, 0, 2); }, 1, 2, 0},
        {"greymap: 8 bits, grey ramp", "pgm15_master7x5.pgm",
         [](CPicIO* s) { int32_t w, h; return pic_ReadPNM(s, &w, &h, 0, 2); }, 8, 256, 0},
        {"WBMP: 1 bit", "wbmp_master7x5.wbmp",
         [](CPicIO* s) { int32_t w, h; return pic_ReadWBMP(s, &w, &h, nullptr, 8, 2); }, 1, 2, 0},
    };
    for (const Case& c : cases) {
        Source source(Source::kMemory, FixtureBytes(c.file));
        GlobalBlock dib(c.read(source));
        ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK) << c.fault;
        const BITMAPINFOHEADER* header = reinterpret_cast<const BITMAPINFOHEADER*>(dib.data);
        EXPECT_EQ(header->biSize, 40u) << c.fault;
        EXPECT_EQ(header->biWidth, 7) << c.fault;
        EXPECT_EQ(header->biHeight, 5) << c.fault;
        EXPECT_EQ(header->biBitCount, c.bits) << c.fault;
        EXPECT_EQ(header->biClrUsed, c.colours) << c.fault;
        uint32_t stride = ((7 * c.bits + 31) / 32) * 4;
        EXPECT_EQ(header->biSizeImage, stride * 5) << c.fault;
        if (c.colours != 0 && c.firstEntryRed != 0xFF) {
            EXPECT_EQ(dib.data[40 + 2], c.firstEntryRed) << c.fault;
        }
    }
}
