// Hostile inputs: every reader ends each of them with a code, in bounded time
// and memory, with the call depth restored. Truncated images whose pixels
// are returned say so (3) instead of reporting success.
#include <chrono>
#include <cstring>
#include <functional>
#include <random>

#include "../../QvTest.h"
#include "ReaderTestSupport.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicBmpReader.h"
#include "imaging/readers/PicExifReader.h"
#include "imaging/readers/PicGenericReader.h"
#include "imaging/readers/PicGifAnimation.h"
#include "imaging/readers/PicGifReader.h"
#include "imaging/readers/PicJpegReader.h"
#include "imaging/readers/PicPcxReader.h"
#include "imaging/readers/PicPngReader.h"
#include "imaging/readers/PicPnmReader.h"
#include "imaging/readers/PicTgaReader.h"
#include "imaging/readers/PicWbmpReader.h"
#include "imaging/readers/PicReaderFrame.h"
#include "imaging/readers/PicSources.h"
#include "imaging/readers/PicTlaReader.h"

using readertest::FixtureBytes;
using readertest::GlobalBlock;
using readertest::Put16;
using readertest::Put32;
using readertest::Source;

namespace {

// Each reader call on the bytes: (source) -> returned block (may be null).
struct ReaderCall {
    const char* name;
    std::function<void*(CPicIO*)> call;
};

std::vector<ReaderCall> AllReaderCalls() {
    static RGBQUAD palette[256];
    static int32_t w, h, bits;
    return {
        {"BMP dims", [](CPicIO* s) -> void* { return (void*)(intptr_t)pic_GetBMPDims(s, &w, &h, &bits, nullptr, 0), nullptr; }},
        {"BMP palette", [](CPicIO* s) -> void* { return (void*)(intptr_t)pic_GetBMPPalette(s, &bits, palette, 0), nullptr; }},
        {"BMP 1", [](CPicIO* s) { return pic_ReadBMP(s, &w, &h, 1, palette, 0); }},
        {"BMP 8", [](CPicIO* s) { return pic_ReadBMP(s, &w, &h, 8, palette, 8); }},
        {"BMP 24", [](CPicIO* s) { return pic_ReadBMP(s, &w, &h, 24, palette, 0); }},
        {"BMP 32", [](CPicIO* s) { return pic_ReadBMP(s, &w, &h, 32, palette, 8); }},
        {"BMP DIB", [](CPicIO* s) { return pic_ReadBMP(s, &w, &h, 24, palette, 2); }},
        {"TGA dims", [](CPicIO* s) -> void* { pic_GetTGADims(s, &w, &h, &bits, 0); return nullptr; }},
        {"TGA palette", [](CPicIO* s) -> void* { pic_GetTGAPalette(s, &bits, palette, 0); return nullptr; }},
        {"TGA 8", [](CPicIO* s) { return pic_ReadTGA(s, &w, &h, 8, palette, 8); }},
        {"TGA 32", [](CPicIO* s) { return pic_ReadTGA(s, &w, &h, 32, palette, 0); }},
        {"TGA DIB", [](CPicIO* s) { return pic_ReadTGA(s, &w, &h, 24, palette, 2); }},
        {"PCX palette", [](CPicIO* s) -> void* { pic_GetPCXPalette(s, &bits, palette, 0); return nullptr; }},
        {"PCX 8", [](CPicIO* s) { return pic_ReadPCX(s, &w, &h, 8, palette, 8); }},
        {"PCX 24", [](CPicIO* s) { return pic_ReadPCX(s, &w, &h, 24, palette, 0); }},
        {"PCX DIB", [](CPicIO* s) { return pic_ReadPCX(s, &w, &h, 0, palette, 2); }},
        {"PNM dims", [](CPicIO* s) -> void* {
             int32_t m, f;
             pic_GetPNMDims(s, &w, &h, &m, &f, 0);
             return nullptr;
         }},
        {"PNM 8", [](CPicIO* s) { return pic_ReadPNM(s, &w, &h, 8, 0); }},
        {"PNM 48", [](CPicIO* s) { return pic_ReadPNM(s, &w, &h, 48, 0x30); }},
        {"PNM DIB", [](CPicIO* s) { return pic_ReadPNM(s, &w, &h, 0, 2); }},
        {"WBMP 8", [](CPicIO* s) { return pic_ReadWBMP(s, &w, &h, palette, 8, 8); }},
        {"WBMP DIB", [](CPicIO* s) { return pic_ReadWBMP(s, &w, &h, palette, 1, 2); }},
        {"GIF dims", [](CPicIO* s) -> void* {
             int32_t b, t, i;
             return (void*)(intptr_t)pic_GetGIFDims(s, &w, &h, &bits, &b, &t, palette, &i, 0), nullptr;
         }},
        {"GIF", [](CPicIO* s) { return pic_ReadGIF(s, &w, &h, nullptr, palette, 0); }},
        {"GIF DIB", [](CPicIO* s) { return pic_ReadGIF(s, &w, &h, nullptr, palette, 2); }},
        {"JPEG dims", [](CPicIO* s) -> void* {
             return (void*)(intptr_t)pic_GetJPGDims(s, &w, &h, &bits, nullptr, nullptr, nullptr, nullptr), nullptr;
         }},
        {"JPEG 24", [](CPicIO* s) { return pic_ReadJPG(s, &w, &h, 24, 0); }},
        {"JPEG 8 DIB", [](CPicIO* s) { return pic_ReadJPG(s, &w, &h, 8, 2); }},
        {"PNG dims", [](CPicIO* s) -> void* {
             int32_t d, t, i, r, g, b, y;
             return (void*)(intptr_t)pic_GetPNGDims(s, &w, &h, &d, &t, &i, nullptr, &r, &g, &b, &y, nullptr, nullptr),
                    nullptr;
         }},
        {"PNG 8", [](CPicIO* s) { return pic_ReadPNG(s, &w, &h, 8, palette, 0); }},
        {"PNG 32", [](CPicIO* s) { return pic_ReadPNG(s, &w, &h, 32, palette, 8); }},
        {"PNG DIB", [](CPicIO* s) { return pic_ReadPNG(s, &w, &h, 0, nullptr, 2); }},
        {"JPEG 24 upright", [](CPicIO* s) { return pic_ReadJPG(s, &w, &h, 24, PIC_READ_ORIENTATION); }},
        {"TLA dims", [](CPicIO* s) -> void* {
             pic_GetTLADims_(s, &w, &h, &bits, "secret", nullptr);
             return nullptr;
         }},
        {"TLA 3", [](CPicIO* s) { return pic_ReadTLA(s, &w, &h, "secret", 3, nullptr, 0); }},
        {"TLA 1", [](CPicIO* s) { return pic_ReadTLA(s, &w, &h, nullptr, 1, palette, 8); }},
        {"TLA DIB", [](CPicIO* s) { return pic_ReadTLA(s, &w, &h, "secret", 0, nullptr, 2); }},
        {"EXIF every directory", [](CPicIO* s) -> void* {
             CPicEXIFReader reader;
             reader.ReadFromSource(*s, PIC_EXIF_THUMBNAIL | PIC_EXIF_MAKER_NOTE | PIC_EXIF_USER_COMMENT, 0);
             return nullptr;
         }},
        {"EXIF raw block", [](CPicIO* s) -> void* {
             CPicEXIFReader reader;
             reader.ReadFromSource(*s, PIC_EXIF_RAW_BLOCK | PIC_EXIF_THUMBNAIL | PIC_EXIF_MAKER_NOTE, 0);
             return nullptr;
         }},
        {"generic RGB", [](CPicIO* s) { return pic_ReadImage(s, &w, &h, PIC_KIND_RGB, 0); }},
        {"generic RGBA", [](CPicIO* s) { return pic_ReadImage(s, &w, &h, PIC_KIND_RGBA, 0); }},
        {"generic DIB", [](CPicIO* s) { return pic_ReadImage(s, &w, &h, PIC_KIND_DIB, 0); }},
        {"GIF animation", [](CPicIO* s) -> void* {
             CPicAnimatedGIFState* state = pic_InitRenderAnimatedGIF(s, &w, &h, nullptr);
             if (state != nullptr) {
                 std::vector<uint8_t> canvas((size_t)w * h * 4);
                 int32_t delay;
                 for (int i = 0; i < 6; ++i) pic_AnimatedGIFGetNextFrame(state, canvas.data(), &delay, 0);
                 pic_FreeAnimatedGIF(state);
             }
             return nullptr;
         }},
    };
}

// Runs every reader on the bytes from memory; answers how many returned a block.
int RunAll(const std::string& bytes, const char* what) {
    int blocks = 0;
    for (const ReaderCall& reader : AllReaderCalls()) {
        if (bytes.empty()) break;
        Source source(Source::kMemory, bytes);
        void* block = reader.call(source);
        int32_t code = pic_GetLastError();
        EXPECT_EQ(readertest::CallDepth(), 0) << reader.name << ": " << what;
        if (block != nullptr) {
            ++blocks;
            GlobalFree(block);
        }
        (void)code;
    }
    return blocks;
}

std::string BmpHeader(int32_t width, int32_t height, uint16_t bits, uint32_t compression, uint32_t offBits,
                      uint32_t coloursUsed = 0) {
    std::string b = "BM";
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, offBits);
    Put32(b, 40);
    Put32(b, (uint32_t)width);
    Put32(b, (uint32_t)height);
    Put16(b, 1);
    Put16(b, bits);
    Put32(b, compression);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, coloursUsed);
    Put32(b, 0);
    return b;
}

}  // namespace

TEST(HostileInputs, BmpHeadersThatLieAreRefusedQuickly) {
    struct Case {
        const char* fault;
        std::string bytes;
        int32_t depth;
        int32_t code;
    } cases[] = {
        {"huge square in a 60-byte file", BmpHeader(65535, 65535, 24, 0, 54) + "123456", 24, PIC_ERR_BAD_BMP},
        {"width x height wraps 32 bits", BmpHeader(65536, 65537, 24, 0, 54) + "123456", 24, PIC_ERR_BAD_BMP},
        {"stride x height wraps 32 bits", BmpHeader(0x40000001, 4, 32, 0, 54) + "123456", 24, PIC_ERR_BAD_BMP},
        {"largest positive height", BmpHeader(1, 0x7FFFFFFF, 24, 0, 54) + "123456", 24, PIC_ERR_BAD_BMP},
        {"most negative height", BmpHeader(1, (int32_t)0x80000000, 24, 0, 54) + "123456", 24, PIC_ERR_BAD_BMP},
        {"zero width", BmpHeader(0, 5, 24, 0, 54) + "123456", 24, PIC_ERR_BAD_BMP},
        {"zero height", BmpHeader(5, 0, 24, 0, 54) + "123456", 24, PIC_ERR_BAD_BMP},
        {"negative width", BmpHeader(-5, 5, 8, 0, 54) + "123456", 8, PIC_ERR_BAD_BMP},
        {"colours used 0xFFFFFFFF", BmpHeader(2, 2, 8, 0, 54, 0xFFFFFFFF) + "123456", 8, PIC_ERR_BAD_BMP},
        {"colours used beyond 2^bits", BmpHeader(2, 2, 4, 0, 54, 17) + std::string(80, 'x'), 8, PIC_ERR_BAD_BMP},
        {"2-bit indexed file", BmpHeader(2, 2, 2, 0, 54) + std::string(80, 'x'), 8, PIC_ERR_BAD_BMP},
        {"top-down RLE8", BmpHeader(4, -2, 8, 1, 0) + std::string(1024, '\0') + std::string("\x04\x01\0\1", 4),
         8, PIC_ERR_BAD_BMP},
        {"huge RLE8 with few codes", BmpHeader(60000, 60000, 8, 1, 0) + std::string(1024, '\0') + "\x04\x01", 8,
         PIC_ERR_BAD_BMP},
        {"RLE4 with 8 bits", BmpHeader(4, 2, 8, 2, 0) + std::string(1024, '\0') + "\x04\x01", 24, PIC_ERR_BAD_BMP},
        {"offset 0xFFFFFFFF", BmpHeader(2, 2, 24, 0, 0xFFFFFFFF) + std::string(16, 'x'), 24, PIC_ERR_FILE_READ},
        {"unknown header size", std::string("BM") + std::string(12, '\0') + std::string("\x7C\0\0\0", 4) + std::string(120, 'x'),
         24, PIC_ERR_BAD_BMP},
    };
    for (const Case& c : cases) {
        auto start = std::chrono::steady_clock::now();
        Source source(Source::kMemory, c.bytes);
        RGBQUAD palette[256];
        int32_t w = 0, h = 0;
        GlobalBlock block(pic_ReadBMP(source, &w, &h, c.depth, palette, 0));
        EXPECT_EQ(pic_GetLastError(), c.code) << c.fault;
        EXPECT_EQ(block.data, nullptr) << c.fault;
        EXPECT_EQ(readertest::CallDepth(), 0) << c.fault;
        RunAll(c.bytes, c.fault);
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 2.0) << c.fault;
    }
}

std::string GifWithCodes(uint8_t minimumCodeSize, const std::string& codeBytes, uint32_t width = 4,
                        uint32_t height = 2) {
    std::string g = "GIF89a";
    Put16(g, width);
    Put16(g, height);
    g += std::string("\x81\0\0", 3);
    g += std::string(12, '\x40');  // 4-entry global table
    g += ',';
    Put16(g, 0);
    Put16(g, 0);
    Put16(g, width);
    Put16(g, height);
    g += '\0';
    g += (char)minimumCodeSize;
    for (size_t i = 0; i < codeBytes.size(); i += 255) {
        std::string chunk = codeBytes.substr(i, 255);
        g += (char)chunk.size();
        g += chunk;
    }
    return g + std::string("\0;", 2);
}

TEST(HostileInputs, GifStreamsThatLie) {
    struct Case {
        const char* fault;
        std::string bytes;
        int32_t code;
        bool pixels;
    } cases[] = {
        {"minimum code size 12 is refused before the tables", GifWithCodes(12, "\xFF\xFF\xFF"), PIC_ERR_BAD_GIF, true},
        {"minimum code size 1 is refused", GifWithCodes(1, "\xFF\xFF"), PIC_ERR_BAD_GIF, true},
        {"no clear and no end code: stops when the data ends", GifWithCodes(2, "\x11"), PIC_ERR_FILE_READ, true},
        {"first code beyond the empty table", GifWithCodes(2, "\x07"), PIC_ERR_FILE_READ, true},
        {"huge declared image with three code bytes", GifWithCodes(2, "\x44\x11\x05", 65535, 65535),
         PIC_ERR_BAD_GIF, false},
        {"index equal to the table's count", GifWithCodes(3, std::string("\x08\x04\x12", 3), 2, 1),
         PIC_ERR_BAD_GIF, true},
        {"codes only of garbage (prefix chains)", GifWithCodes(2, std::string(300, '\xB7')), PIC_ERR_FILE_READ,
         true},
        {"no image before the trailer", std::string("GIF89a\2\0\1\0\0\0\0;", 14), PIC_ERR_FILE_READ, false},
        {"zero screen size", std::string("GIF89a\0\0\1\0\0\0\0;", 14), PIC_ERR_BAD_GIF, false},
        {"version 88a", std::string("GIF88a\2\0\1\0\0\0\0;", 14), PIC_ERR_BAD_GIF, false},
    };
    for (const Case& c : cases) {
        auto start = std::chrono::steady_clock::now();
        Source source(Source::kMemory, c.bytes);
        RGBQUAD palette[256];
        int32_t w = 0, h = 0;
        GlobalBlock block(pic_ReadGIF(source, &w, &h, nullptr, palette, 0));
        EXPECT_EQ(pic_GetLastError(), c.code) << c.fault;
        EXPECT_EQ(block.data != nullptr, c.pixels) << c.fault;
        EXPECT_EQ(readertest::CallDepth(), 0) << c.fault;
        RunAll(c.bytes, c.fault);
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 2.0) << c.fault;
    }
}

TEST(HostileInputs, JpegHeadersThatLie) {
    // The start-of-frame of a real file rewritten to 65535 x 65535 and cut after the header.
    std::string bytes = FixtureBytes("jpeg_rgb.jpg");
    size_t sof = bytes.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    bytes[sof + 5] = bytes[sof + 6] = bytes[sof + 7] = bytes[sof + 8] = '\xFF';
    size_t scan = bytes.find("\xFF\xDA");
    auto start = std::chrono::steady_clock::now();
    Source source(Source::kMemory, bytes.substr(0, scan + 40));
    int32_t w = 0, h = 0;
    GlobalBlock block(pic_ReadJPG(source, &w, &h, 24, 0));
    EXPECT_EQ(block.data, nullptr);
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_JPG);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);
    for (const char* tiny : {"", "\xFF", "\xFF\xD8", "\xFF\xD8\xFF\xE0"}) RunAll(tiny, "tiny JPEG");
}

TEST(HostileInputs, PngHeadersThatLie) {
    for (uint32_t size : {65535u, 0x7FFFFFFFu, 0x10000u}) {
        std::string bytes = FixtureBytes("png_rgb8.png");
        for (int i = 0; i < 4; ++i) {
            bytes[16 + i] = (char)(size >> (24 - 8 * i));
            bytes[20 + i] = (char)(size >> (24 - 8 * i));
        }
        auto start = std::chrono::steady_clock::now();
        Source source(Source::kMemory, bytes);
        int32_t w = 0, h = 0;
        GlobalBlock block(pic_ReadPNG(source, &w, &h, 24, nullptr, 0));
        EXPECT_EQ(block.data, nullptr) << size;
        EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PNG) << size;
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);
    }
}

TEST(HostileInputs, EveryCutOfRealFilesEndsWithACode) {
    for (const char* name : {"png_pal2i.png", "png_rgba16.png", "jpeg_grey.jpg", "jpeg_prog.jpg", "gif_master7x5.gif", "gifi_master13x3.gif", "gif_anim.gif", "bmp24_master7x5.bmp", "bmp8_master13x3.bmp", "rle8_master7x5.bmp", "rle4_9x4.bmp",
                             "os2pal_master7x5.bmp", "bmp565_7x5.bmp", "exif_thumb.jpg", "tla_pal_pw.tla",
                             "tla_555.tla", "tga9_master7x5.tga", "pcx8_master7x5.pcx",
                             "ppm65535_master7x5_plain.ppm", "wbmp_master7x5.wbmp", "bmpv5565_master7x5.bmp"}) {
        std::string whole = FixtureBytes(name);
        for (size_t cut = 0; cut < whole.size(); ++cut) RunAll(whole.substr(0, cut), name);
    }
}

TEST(HostileInputs, TruncatedPixelsAreReportedIncomplete) {
    struct Case {
        const char* name;
        int32_t depth;
        size_t cut;  // bytes removed from the end
    } cases[] = {
        {"bmp24_master7x5.bmp", 24, 10},
        {"bmp24_master7x5.bmp", 32, 30},
        {"bmp8_master13x3.bmp", 8, 5},
        {"rle8_master7x5.bmp", 8, 4},
        {"rle8_master7x5.bmp", 24, 4},
    };
    for (const Case& c : cases) {
        std::string bytes = FixtureBytes(c.name);
        bytes.resize(bytes.size() - c.cut);
        Source source(Source::kMemory, bytes);
        RGBQUAD palette[256];
        int32_t w = 0, h = 0;
        GlobalBlock block(pic_ReadBMP(source, &w, &h, c.depth, palette, 0));
        EXPECT_EQ(pic_GetLastError(), PIC_ERR_FILE_READ) << c.name << " at " << c.depth;
        EXPECT_NE(block.data, nullptr) << c.name << ": the rows that came are returned";
    }
}

TEST(HostileInputs, BoundedMutationRunOverEveryReader) {
    std::vector<std::string> bases;
    for (const char* name : {"bmp24_master7x5.bmp", "bmp8_master13x3.bmp", "rle8_master7x5.bmp", "rle4_9x4.bmp",
                             "bmp4_master7x5.bmp", "os2_master7x5.bmp", "bmp565_13x3.bmp", "bmp32_7x5.bmp",
                             "gif_master7x5.gif", "gifi_master13x3.gif", "gif_anim.gif", "gif_local_4x2.gif",
                             "jpeg_rgb.jpg", "jpeg_prog.jpg",
                             "png_rgb8i.png", "png_pal8.png", "png_ga16.png", "png_grey2i.png",
                             "exif_orient6.jpg", "exif_canon_note.bin", "exif_olympus_note.bin", "tla_pal.tla",
                             "tla_rgb_pw.tla", "tla_rgba.tla",
                             "tga10_master7x5.tga", "tga9_master13x3.tga", "tgamap16first5_7x5.tga",
                             "tga32rle_footer_7x5.tga", "pcx24_master7x5.pcx", "pcx8_master13x3.pcx",
                             "pcx4p_master7x5.pcx", "pcx1_master13x3.pcx", "ppm1000_master7x5.ppm",
                             "pgm15_master7x5_plain.pgm", "pbm_master13x3.pbm", "wbmp_master7x5.wbmp",
                             "bmpv5pal_master7x5.bmp"})
        bases.push_back(FixtureBytes(name));
    std::mt19937 random(20261211);
    auto start = std::chrono::steady_clock::now();
    int inputs = 0;
    for (; inputs < 1200; ++inputs) {
        std::string bytes = bases[inputs % bases.size()];
        int changes = 1 + (int)(random() % 4);
        for (int k = 0; k < changes && !bytes.empty(); ++k) {
            size_t at = random() % bytes.size();
            switch (random() % 6) {
            case 0: bytes[at] = (char)(bytes[at] ^ (1 << (random() % 8))); break;
            case 1: bytes[at] = (char)0xFF; break;
            case 2: bytes[at] = 0; break;
            case 3: bytes.resize(at); break;
            case 4: bytes.insert(at, 1 + random() % 8, (char)random()); break;
            default: bytes.erase(at, 1 + random() % 8); break;
            }
        }
        RunAll(bytes, "mutation");
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 60.0);
}

TEST(HostileInputs, ZeroBitFieldMaskReadsZero) {
    // 2 x 1 pixels, 16 bits, masks red 0xF800, green 0, blue 0x001F: a channel
    // with no mask bits is 0; the others put the mask's top bit on bit 7.
    std::string b = "BM";
    Put32(b, 14 + 40 + 12 + 4);
    Put32(b, 0);
    Put32(b, 14 + 40 + 12);
    for (uint32_t v : {40u, 2u, 1u}) Put32(b, v);
    Put16(b, 1);
    Put16(b, 16);
    for (uint32_t v : {3u, 4u, 2835u, 2835u, 0u, 0u, 0xF800u, 0u, 0x001Fu}) Put32(b, v);
    Put16(b, 0xFFFF);
    Put16(b, 0x8410);
    Source source(Source::kMemory, b);
    int32_t w = 0, h = 0;
    GlobalBlock block(pic_ReadBMP(source, &w, &h, 24, nullptr, 0));
    ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
    ASSERT_NE(block.data, nullptr);
    EXPECT_EQ(readertest::Hex(block.data, 6), "f800f880 0080");
}

namespace {
// An animation of `frames` images of width x height, every pixel index 0,
// coded with a clear code before every two pixels so the code width stays 3.
std::string Animation(uint32_t canvasWidth, uint32_t canvasHeight, uint32_t width, uint32_t height, int frames) {
    std::string g = "GIF89a";
    Put16(g, canvasWidth);
    Put16(g, canvasHeight);
    g += std::string("\x81\0\0", 3);
    g += std::string("\0\0\0\xFF\xFF\xFF\0\0\0\0\0\0", 12);
    std::string codes;
    uint32_t acc = 0, bits = 0;
    auto put = [&](uint32_t code) {
        acc |= code << bits;
        for (bits += 3; bits >= 8; bits -= 8, acc >>= 8) codes += (char)(acc & 0xFF);
    };
    for (uint32_t i = 0; i < width * height; ++i) {
        if (i % 2 == 0) put(4);
        put(0);
    }
    put(5);
    if (bits > 0) codes += (char)(acc & 0xFF);
    for (int f = 0; f < frames; ++f) {
        g += ',';
        Put16(g, 0);
        Put16(g, 0);
        Put16(g, width);
        Put16(g, height);
        g += '\0';
        g += '\2';
        for (size_t i = 0; i < codes.size(); i += 255) {
            std::string chunk = codes.substr(i, 255);
            g += (char)chunk.size();
            g += chunk;
        }
        g += '\0';
    }
    return g + ";";
}
}  // namespace

TEST(HostileInputs, AnimationCanvasAndFramesHaveABudget) {
    {
        Source good(Source::kMemory, Animation(16, 16, 16, 16, 2));
        CPicAnimatedGIFState* state = pic_InitRenderAnimatedGIF(good, nullptr, nullptr, nullptr);
        ASSERT_NE(state, nullptr) << "the stream itself is sound";
        EXPECT_EQ(state->frameList.frameCount, 2);
        pic_FreeAnimatedGIF(state);
    }
    auto start = std::chrono::steady_clock::now();
    Source huge(Source::kMemory, Animation(65535, 65535, 2, 2, 1));
    EXPECT_EQ(pic_InitRenderAnimatedGIF(huge, nullptr, nullptr, nullptr), nullptr) << "a canvas beyond the budget";
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_GIF);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);

    uint64_t budget = PicGetPixelBudget();
    PicSetPixelBudget(300);  // one 16 x 16 frame fits, two do not
    Source two(Source::kMemory, Animation(16, 16, 16, 16, 2));
    EXPECT_EQ(pic_InitRenderAnimatedGIF(two, nullptr, nullptr, nullptr), nullptr) << "the frames' sum";
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_GIF);
    PicSetPixelBudget(budget);
    EXPECT_EQ(readertest::CallDepth(), 0);
}
