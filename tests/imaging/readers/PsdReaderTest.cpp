// PSD reader: ImageMagick's files and hand-built ones against the pixels
// ImageMagick decodes or the format's rules give, from file and memory
// sources; the hostile table holds the headers that lie and the faults the
// reader must not repeat (channel counts below the mode's, 16-bit output
// sized from the merged channels, section lengths at 32-bit limits).
#include <chrono>
#include <cstring>

#include "../../QvTest.h"
#include "ReaderTestSupport.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicGenericReader.h"
#include "imaging/readers/PicImageEx.h"
#include "imaging/readers/PicPsdReader.h"
#include "imaging/readers/PicPsdResources.h"
#include "imaging/readers/PicSources.h"

using readertest::FixtureBytes;
using readertest::Decoded;
using readertest::GlobalBlock;
using readertest::Source;

namespace {


void ReadPsd(CPicIO* source, int32_t depth, uint32_t flags, Decoded& out) {
    out.pixels.reset(pic_ReadPSD(source, &out.width, &out.height, depth, out.palette, flags));
    out.code = pic_GetLastError();
}

std::string Bytes(const Decoded& d, size_t n) {
    return d.pixels.data != nullptr ? std::string((const char*)d.pixels.data, n) : std::string();
}

std::string IndicesAsRgb(const Decoded& d) {
    std::string rgb;
    for (int32_t i = 0; i < d.width * d.height; ++i) {
        const RGBQUAD& q = d.palette[d.pixels.data[i]];
        rgb += {(char)q.rgbRed, (char)q.rgbGreen, (char)q.rgbBlue};
    }
    return rgb;
}

// Red = C x K / 255 and so on, from the channels as stored.
std::string CmykProducts(const std::string& cmyk) {
    std::string rgb;
    for (size_t i = 0; i + 3 < cmyk.size(); i += 4) {
        uint32_t k = (uint8_t)cmyk[i + 3];
        for (int c = 0; c < 3; ++c) rgb += (char)((uint8_t)cmyk[i + c] * k / 255);
    }
    return rgb;
}

// Index 1 (black) where the reference grey is 0.
std::string BitmapIndices(const std::string& grey) {
    std::string out;
    for (char v : grey) out += (char)(v == 0 ? 1 : 0);
    return out;
}

// Big-endian writers and a PSD builder for the hand-made cases.
void Be16(std::string& s, uint32_t v) { s += {(char)(v >> 8), (char)v}; }
void Be32(std::string& s, uint32_t v) { s += {(char)(v >> 24), (char)(v >> 16), (char)(v >> 8), (char)v}; }

struct PsdSpec {
    uint32_t channels = 1;
    uint32_t width = 3;
    uint32_t height = 2;
    uint32_t depth = 8;
    uint32_t mode = 1;
    uint32_t compression = 0;
    std::string colourData{};
    std::string resources{};
    uint32_t version = 1;
};

std::string PsdHeaderAndSections(const PsdSpec& s) {
    std::string b = "8BPS";
    Be16(b, s.version);
    b += std::string(6, '\0');
    Be16(b, s.channels);
    Be32(b, s.height);
    Be32(b, s.width);
    Be16(b, s.depth);
    Be16(b, s.mode);
    Be32(b, (uint32_t)s.colourData.size());
    b += s.colourData;
    Be32(b, (uint32_t)s.resources.size());
    b += s.resources;
    Be32(b, 0);
    Be16(b, s.compression);
    return b;
}

// A raw file whose sample bytes count up from `first`.
std::string RawPsd(const PsdSpec& s, uint8_t first = 1) {
    std::string b = PsdHeaderAndSections(s);
    uint64_t bytes = (uint64_t)s.channels * s.height * (s.depth == 1 ? (s.width + 7) / 8 : s.width * s.depth / 8);
    for (uint64_t i = 0; i < bytes; ++i) b += (char)(first + i);
    return b;
}

// PackBits rows: each a literal of the row's bytes.
std::string PackBitsPsd(const PsdSpec& s) {
    std::string b = PsdHeaderAndSections(s);
    uint32_t rowBytes = s.width * s.depth / 8;
    for (uint32_t i = 0; i < s.channels * s.height; ++i) Be16(b, rowBytes + 1);
    for (uint32_t i = 0; i < s.channels * s.height; ++i) {
        b += (char)(rowBytes - 1);
        for (uint32_t x = 0; x < rowBytes; ++x) b += (char)(i * 16 + x);
    }
    return b;
}

}  // namespace

TEST(PsdReader, EveryModeAndCodingMatchesTheReferenceFromFileAndMemory) {
    enum Expect { kRgb, kGrey, kIndicesThroughPalette, kCmykStored, kCmykProducts, kBitmapIndices, kSamples16 };
    struct Case {
        const char* fault;
        const char* file;
        int32_t depth;
        uint32_t flags;
        Expect expect;
        const char* reference;
    } cases[] = {
        {"raw RGB planes merged", "psd_rgb_raw", 24, 0, kRgb, "psd_rgb_raw.rgb"},
        {"PackBits RGB", "psd_rgb_rle", 24, 0, kRgb, "psd_rgb_rle.rgb"},
        {"32 asked gives the same three bytes", "psd_rgb_rle", 32, 0, kRgb, "psd_rgb_rle.rgb"},
        {"alpha plane left out at 24", "psd_rgba_rle", 24, 0, kRgb, "psd_rgba_rle.rgb"},
        {"RGB with two extra planes", "psd_rgb5", 24, 0, kRgb, "psd_rgb5.rgb"},
        {"grey at 24 through the ramp", "psd_grey_rle", 24, 0, kRgb, "psd_grey_rle.rgb"},
        {"grey at 8 gives its levels", "psd_grey_rle", 8, 0, kGrey, "psd_grey_rle.grey"},
        {"indexed at 8 with the file's table", "psd_pal_rle", 8, 0, kIndicesThroughPalette, "psd_pal_rle.rgb"},
        {"indexed at 24", "psd_pal_rle", 24, 0, kRgb, "psd_pal_rle.rgb"},
        {"CMYK kept as stored", "psd_cmyk_raw", 24, 4, kCmykStored, "psd_cmyk_raw.cmyk"},
        {"CMYK products", "psd_cmyk_raw", 24, 0, kCmykProducts, "psd_cmyk_raw.cmyk"},
        {"PackBits CMYK kept", "psd_cmyk_rle", 24, 4, kCmykStored, "psd_cmyk_rle.cmyk"},
        {"CMYK with a spot plane kept to four", "psd_cmyk5", 24, 4, kCmykStored, "psd_cmyk5.cmyk"},
        {"CMYK with a spot plane to RGB", "psd_cmyk5", 24, 0, kRgb, "psd_cmyk5.rgb"},
        {"bitmap at 8: 1 is black", "psd_bitmap_raw", 8, 0, kBitmapIndices, "psd_bitmap_raw.grey"},
        {"bitmap at 24", "psd_bitmap_raw", 24, 0, kRgb, "psd_bitmap_raw.rgb"},
        {"PackBits bitmap", "psd_bitmap_rle", 8, 0, kBitmapIndices, "psd_bitmap_rle.grey"},
        {"PackBits bitmap at 24", "psd_bitmap_rle", 24, 0, kRgb, "psd_bitmap_rle.rgb"},
        {"16-bit RGB high bytes", "psd_rgb16_raw", 24, 0, kRgb, "psd_rgb16_raw.rgb"},
        {"16-bit RGB samples", "psd_rgb16_raw", 48, 0, kSamples16, "psd_rgb16_raw.rgb48"},
        {"16-bit grey high bytes at 8", "psd_grey16_raw", 8, 0, kGrey, "psd_grey16_raw.grey"},
        {"16-bit grey samples", "psd_grey16_raw", 48, 0, kSamples16, "psd_grey16_raw.rgb48"},
        {"duotone through the ramp", "psd_duotone", 24, 0, kRgb, "psd_duotone.rgb"},
        {"PackBits -128 skipped, long run cut at the width", "psd_packbits_edges", 8, 0, kGrey,
         "psd_packbits_edges.grey"},
    };
    for (const Case& c : cases) {
        for (Source::Kind kind : {Source::kFile, Source::kMemory}) {
            SCOPED_TRACE(std::string(c.fault) + (kind == Source::kFile ? " (file)" : " (memory)"));
            Source source(kind, FixtureBytes((std::string(c.file) + ".psd").c_str()), L"picture.psd");
            Decoded d;
            ReadPsd(source, c.depth, c.flags, d);
            ASSERT_EQ(d.code, PIC_ERR_OK);
            ASSERT_NE(d.pixels.data, nullptr);
            EXPECT_EQ(d.width, 7);
            EXPECT_EQ(d.height, 5);
            std::string reference = FixtureBytes(c.reference);
            size_t pixels = 35;
            switch (c.expect) {
            case kRgb: EXPECT_EQ(Bytes(d, 3 * pixels), reference); break;
            case kGrey: EXPECT_EQ(Bytes(d, pixels), reference); break;
            case kIndicesThroughPalette: EXPECT_EQ(IndicesAsRgb(d), reference); break;
            case kCmykStored: EXPECT_EQ(Bytes(d, 4 * pixels), reference); break;
            case kCmykProducts: EXPECT_EQ(Bytes(d, 3 * pixels), CmykProducts(reference)); break;
            case kBitmapIndices:
                EXPECT_EQ(Bytes(d, pixels), BitmapIndices(reference));
                EXPECT_EQ(d.palette[0].rgbRed, 255);
                EXPECT_EQ(d.palette[1].rgbRed, 0);
                break;
            case kSamples16:
                EXPECT_EQ(GlobalSize(d.pixels.data) >= reference.size(), true);
                EXPECT_EQ(Bytes(d, reference.size()), reference);
                break;
            }
        }
    }
}

TEST(PsdReader, PackedBitmapsByMode) {
    struct Case {
        const char* file;
        uint32_t flags;
        int32_t bits;
        const char* reference;  // R, G, B (or the stored CMYK for 32 bits)
    } cases[] = {
        {"psd_rgb_rle", 2, 24, "psd_rgb_rle.rgb"},
        {"psd_pal_rle", 2, 8, "psd_pal_rle.rgb"},
        {"psd_bitmap_rle", 2, 8, "psd_bitmap_rle.rgb"},
        {"psd_cmyk_raw", 2 | 4, 32, "psd_cmyk_raw.cmyk"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Source source(Source::kMemory, FixtureBytes((std::string(c.file) + ".psd").c_str()));
        Decoded d;
        ReadPsd(source, 0, c.flags, d);
        ASSERT_EQ(d.code, PIC_ERR_OK);
        const BITMAPINFOHEADER* header = (const BITMAPINFOHEADER*)d.pixels.data;
        ASSERT_EQ(header->biSize, 40u);
        EXPECT_EQ(header->biWidth, 7);
        EXPECT_EQ(header->biHeight, 5);
        ASSERT_EQ(header->biBitCount, c.bits);
        const RGBQUAD* table = (const RGBQUAD*)(d.pixels.data + 40);
        const uint8_t* rows = d.pixels.data + 40 + 4 * header->biClrUsed;
        uint32_t stride = (7 * c.bits + 31) / 32 * 4;
        std::string got;
        for (int y = 0; y < 5; ++y) {
            const uint8_t* row = rows + (4 - y) * stride;  // bottom-up
            for (int x = 0; x < 7; ++x) {
                if (c.bits == 8) {
                    const RGBQUAD& q = table[row[x]];
                    got += {(char)q.rgbRed, (char)q.rgbGreen, (char)q.rgbBlue};
                } else if (c.bits == 24) {
                    got += {(char)row[3 * x + 2], (char)row[3 * x + 1], (char)row[3 * x]};
                } else {
                    got += {(char)row[4 * x + 2], (char)row[4 * x + 1], (char)row[4 * x], (char)row[4 * x + 3]};
                }
            }
        }
        EXPECT_EQ(got, FixtureBytes(c.reference));
    }
}

TEST(PsdReader, DimensionsPaletteAndResolution) {
    Source rgb(Source::kMemory, FixtureBytes("psd_rgb16_raw.psd"));
    int32_t w = 0, h = 0, depth = 0, mode = -1;
    ASSERT_TRUE(pic_GetPSDDims(rgb, &w, &h, &depth, &mode, nullptr, 0));
    EXPECT_EQ(w, 7);
    EXPECT_EQ(h, 5);
    EXPECT_EQ(depth, 16);
    EXPECT_EQ(mode, PIC_PSD_RGB);

    Source withResolution(Source::kMemory, FixtureBytes("psd_resolution.psd"));
    PicResolutionInfo resolution = {0, 0, -1};
    ASSERT_TRUE(pic_GetPSDDims(withResolution, &w, &h, &depth, &mode, &resolution, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_OK);
    EXPECT_EQ(resolution.x, 72.0) << "the fraction of 16.16 is dropped";
    EXPECT_NEAR(resolution.y, 30 * 0.39370079, 1e-9) << "per centimetre down, per inch across";
    EXPECT_EQ(resolution.unit, 1);

    RGBQUAD palette[256];
    int32_t count = -1;
    Source rgbAgain(Source::kMemory, FixtureBytes("psd_rgb_rle.psd"));
    EXPECT_FALSE(pic_GetPSDPalette(rgbAgain, &count, palette, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BIT_DEPTH);
    EXPECT_EQ(count, 0);
    Source grey16(Source::kMemory, FixtureBytes("psd_grey16_raw.psd"));
    EXPECT_FALSE(pic_GetPSDPalette(grey16, &count, palette, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_PSD_UNSUPPORTED);
    Source grey(Source::kMemory, FixtureBytes("psd_grey_rle.psd"));
    ASSERT_TRUE(pic_GetPSDPalette(grey, &count, palette, 0));
    EXPECT_EQ(count, 256);
    EXPECT_EQ(palette[77].rgbRed, 77);
    EXPECT_EQ(palette[77].rgbBlue, 77);
}

TEST(PsdReader, LoadsThroughTheImageObjectAndTheGenericReader) {
    struct Case {
        const char* file;
        int32_t type;  // detected
        const char* reference;
    } cases[] = {
        {"psd_rgb_rle", CPicImageEx::FileTypePSD24, "psd_rgb_rle.rgb"},
        {"psd_cmyk_rle", CPicImageEx::FileTypePSD24, nullptr},
        {"psd_pal_rle", CPicImageEx::FileTypePSD8, "psd_pal_rle.rgb"},
        {"psd_grey_rle", CPicImageEx::FileTypePSD8, "psd_grey_rle.rgb"},
        {"psd_grey16_raw", CPicImageEx::FileTypePSD8, "psd_grey16_raw.rgb"},
        {"psd_bitmap_rle", CPicImageEx::FileTypePSD8, "psd_bitmap_rle.rgb"},
        {"psd_duotone", CPicImageEx::FileTypePSD24, "psd_duotone.rgb"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::string bytes = FixtureBytes((std::string(c.file) + ".psd").c_str());
        std::string expected = c.reference != nullptr ? FixtureBytes(c.reference)
                                                      : CmykProducts(FixtureBytes("psd_cmyk_rle.cmyk"));
        CPicImageEx fromMemory, fromFile;
        ASSERT_EQ(fromMemory.LoadFromMemory(bytes.data(), (uint32_t)bytes.size(), CPicImageEx::FileTypeUnknown, 0,
                                            nullptr),
                  PIC_ERR_OK);
        ASSERT_EQ(fromFile.LoadFromFile(readertest::FixturePath((std::string(c.file) + ".psd").c_str()),
                                        CPicImageEx::FileTypeUnknown, 0),
                  PIC_ERR_OK);
        for (CPicImageEx* image : {&fromMemory, &fromFile}) {
            EXPECT_EQ(image->GetFileType(), c.type);
            ASSERT_EQ(image->ConvertTo24Bit(), PIC_ERR_OK);
            EXPECT_EQ(std::string((const char*)image->GetPixels(), 105), expected);
        }
        Source source(Source::kMemory, bytes);
        int32_t w = 0, h = 0;
        GlobalBlock rgb(pic_ReadImage(source, &w, &h, PIC_KIND_RGB, 0));
        ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
        EXPECT_EQ(std::string((const char*)rgb.data, 105), expected);
        GlobalBlock rgba(pic_ReadImage(source, &w, &h, PIC_KIND_RGBA, 0));
        ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
        EXPECT_EQ(rgba.data[3], 255);
        GlobalBlock dib(pic_ReadImage(source, &w, &h, PIC_KIND_DIB, 0));
        ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
        EXPECT_EQ(w, 7);
        EXPECT_EQ(h, 5);
    }
}

TEST(PsdReader, HostileFilesEndWithTheirCodes) {
    auto withLength = [](const std::string& file, size_t at, uint32_t value) {
        std::string b = file;
        std::string v;
        Be32(v, value);
        b.replace(at, 4, v);
        return b;
    };
    std::string plain = RawPsd(PsdSpec());
    struct Case {
        const char* fault;
        std::string bytes;
        int32_t depth;
        uint32_t flags;
        int32_t code;
        bool pixels;
    } cases[] = {
        {"bad signature", "8BPX" + plain.substr(4), 24, 0, PIC_ERR_BAD_PSD, false},
        {"version 2", RawPsd(PsdSpec{.version = 2}), 24, 0, PIC_ERR_BAD_PSD, false},
        {"RGB with two channels read past its planes", RawPsd(PsdSpec{.channels = 2, .mode = 3}), 24, 0,
         PIC_ERR_PSD_UNSUPPORTED, false},
        {"CMYK with three channels", RawPsd(PsdSpec{.channels = 3, .mode = 4}), 24, 0, PIC_ERR_PSD_UNSUPPORTED, false},
        {"CMYK with three channels as a bitmap", RawPsd(PsdSpec{.channels = 3, .mode = 4}), 24, 2,
         PIC_ERR_PSD_UNSUPPORTED, false},
        {"no channels", RawPsd(PsdSpec{.channels = 0}), 8, 0, PIC_ERR_PSD_UNSUPPORTED, false},
        {"Lab at 8", RawPsd(PsdSpec{.channels = 3, .mode = 9}), 8, 0, PIC_ERR_PSD_UNSUPPORTED, false},
        {"Lab at 24", RawPsd(PsdSpec{.channels = 3, .mode = 9}), 24, 0, PIC_ERR_PSD_UNSUPPORTED, false},
        {"Lab as a bitmap", RawPsd(PsdSpec{.channels = 3, .mode = 9}), 24, 2, PIC_ERR_BAD_PSD, false},
        {"16-bit PackBits grey at 8", PackBitsPsd(PsdSpec{.depth = 16, .compression = 1}), 8, 0, PIC_ERR_BAD_PSD,
         false},
        {"16-bit PackBits indexed at 8", PackBitsPsd(PsdSpec{.depth = 16, .mode = 2, .compression = 1}), 8, 0,
         PIC_ERR_UNSUPPORTED, false},
        {"16-bit PackBits RGB at 24", PackBitsPsd(PsdSpec{.channels = 3, .depth = 16, .mode = 3, .compression = 1}), 24,
         0, PIC_ERR_BAD_PSD, false},
        {"8-bit data asked at 48", RawPsd(PsdSpec{.channels = 3, .mode = 3}), 48, 0, PIC_ERR_BAD_PARAM, false},
        {"depth 5", RawPsd(PsdSpec{.depth = 5}), 8, 0, PIC_ERR_PSD_UNSUPPORTED, false},
        {"compression 2", RawPsd(PsdSpec{.compression = 2}), 8, 0, PIC_ERR_FILE_READ, false},
        {"raw 16000 x 16000 header", PsdHeaderAndSections(PsdSpec{.width = 16000, .height = 16000}) + "abcdef", 24, 0,
         PIC_ERR_FILE_READ, false},
        {"PackBits 16000 x 16000 without its counts",
         PsdHeaderAndSections(PsdSpec{.width = 16000, .height = 16000, .compression = 1}) + "abcdef", 24, 0,
         PIC_ERR_FILE_READ, false},
        {"zero width", RawPsd(PsdSpec{.width = 0}), 24, 0, PIC_ERR_BAD_PSD, false},
        {"width x height beyond the budget",
         PsdHeaderAndSections(PsdSpec{.width = 0x7FFFFFFF, .height = 0x7FFFFFFF}) + "abcdef", 8, 0, PIC_ERR_BAD_PSD,
         false},
        {"colour data length 0xFFFFFFFF", withLength(plain, 26, 0xFFFFFFFF), 24, 0, PIC_ERR_FILE_READ, false},
        {"resources length 0xFFFFFFFF", withLength(plain, 30, 0xFFFFFFFF), 24, 0, PIC_ERR_FILE_READ, false},
        {"resources length 0xFFFFFFFF as a bitmap", withLength(plain, 30, 0xFFFFFFFF), 24, 2, PIC_ERR_FILE_READ, false},
        {"layer length 0xFFFFFFFF", withLength(plain, 34, 0xFFFFFFFF), 8, 0, PIC_ERR_FILE_READ, false},
        {"raw planes cut short", plain.substr(0, plain.size() - 1), 8, 0, PIC_ERR_FILE_READ, false},
        {"PackBits literal past its row", FixtureBytes("psd_packbits_bad.psd"), 8, 0, PIC_ERR_FILE_READ, true},
        {"PackBits data cut short",
         FixtureBytes("psd_rgb_rle.psd").substr(0, FixtureBytes("psd_rgb_rle.psd").size() - 20), 24, 0,
         PIC_ERR_FILE_READ, true},
        {"no palette for 8 bits", plain, 8, 0, PIC_ERR_BAD_PARAM, false},
        {"depth 16 asked", plain, 16, 0, PIC_ERR_BAD_PARAM, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        auto start = std::chrono::steady_clock::now();
        Source source(Source::kMemory, c.bytes);
        RGBQUAD palette[256];
        int32_t w = 0, h = 0;
        bool noPalette = std::string(c.fault) == "no palette for 8 bits";
        GlobalBlock block(pic_ReadPSD(source, &w, &h, c.depth, noPalette ? nullptr : palette, c.flags));
        EXPECT_EQ(pic_GetLastError(), c.code);
        EXPECT_EQ(block.data != nullptr, c.pixels);
        EXPECT_EQ(readertest::CallDepth(), 0);
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);
    }
    // A file whose bad literal comes in row 3 keeps rows 0-2.
    Source bad(Source::kMemory, FixtureBytes("psd_packbits_bad.psd"));
    Decoded d;
    ReadPsd(bad, 8, 0, d);
    EXPECT_EQ(Bytes(d, 35), FixtureBytes("psd_packbits_bad.grey"));
}

TEST(PsdReader, SixteenBitOutputHoldsExactlyTheMergedChannels) {
    // 16-bit RGB with alpha asked at 48 and 64: 6 and 8 bytes a pixel, each
    // block exactly as large as what was written into it.
    PsdSpec s;
    s.mode = 3;
    s.channels = 4;
    s.depth = 16;
    std::string file = RawPsd(s, 0);
    std::string header = PsdHeaderAndSections(s);
    auto stored = [&](uint32_t plane, uint32_t pixel, uint32_t byte) {
        return (uint8_t)file[header.size() + plane * 12 + 2 * pixel + byte];
    };
    for (int32_t depth : {48, 64}) {
        SCOPED_TRACE(depth);
        uint32_t channels = depth / 16;
        Source source(Source::kMemory, file);
        Decoded d;
        ReadPsd(source, depth, 0, d);
        ASSERT_EQ(d.code, PIC_ERR_OK);
        EXPECT_EQ(GlobalSize(d.pixels.data), 6u * 2 * channels);
        for (uint32_t p = 0; p < 6; ++p)
            for (uint32_t c = 0; c < channels; ++c)
                for (uint32_t b = 0; b < 2; ++b)
                    EXPECT_EQ(d.pixels.data[2 * (p * channels + c) + b], stored(c, p, b));
    }
}

TEST(PsdReader, ResourceRecordsAreParsedIn64Bits) {
    auto record = [](uint16_t id, uint32_t size, const std::string& data) {
        std::string r = "8BIM";
        Be16(r, id);
        r += std::string(2, '\0');
        Be32(r, size);
        return r + data;
    };
    std::string resolution;
    Be32(resolution, 300u << 16);
    Be16(resolution, 1);
    Be16(resolution, 1);
    Be32(resolution, 300u << 16);
    Be16(resolution, 1);
    Be16(resolution, 1);
    struct Case {
        const char* fault;
        std::string section;
        bool parsed;
        size_t records;
    } cases[] = {
        {"size 0xFFFFFFFF raised to even wraps to 0 in 32 bits", record(1005, 0xFFFFFFFF, "abcd"), false, 0},
        {"a record before an overlong one stays", record(1005, 16, resolution) + record(1000, 0xFFFFFFFF, "x"), true,
         1},
        {"odd size raised by one", record(1001, 3, "abc") + std::string(1, '\0') + record(1005, 16, resolution), true,
         2},
        {"garbage before the signature", "xyz" + record(1005, 16, resolution), true, 1},
        {"four bytes", "8BIM", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        ImageResourceBlock block;
        EXPECT_EQ(block.Parse((const uint8_t*)c.section.data(), c.section.size()), c.parsed);
        EXPECT_EQ(block.records.size(), c.records);
        if (!c.parsed) {
            EXPECT_EQ(block.result, PIC_ERR_BAD_RESOURCES);
        }
    }
    // Through the dimension call: the size stands and the code says the resources were bad.
    PsdSpec s;
    s.resources = record(1005, 0xFFFFFFFF, "abcd");
    Source source(Source::kMemory, RawPsd(s));
    int32_t w, h, depth, mode;
    PicResolutionInfo info = {0, 0, 0};
    EXPECT_TRUE(pic_GetPSDDims(source, &w, &h, &depth, &mode, &info, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_RESOURCES);
    EXPECT_EQ(w, 3);
}

TEST(PsdReader, GenericReaderRefusesUnsupportedDepthsBeforeReading) {
    PsdSpec s;
    s.depth = 5;
    Source source(Source::kMemory, RawPsd(s));
    int32_t w, h;
    GlobalBlock block(pic_ReadImage(source, &w, &h, PIC_KIND_RGB, 0));
    EXPECT_EQ(block.data, nullptr);
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_PSD_UNSUPPORTED);
}
