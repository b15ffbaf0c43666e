// Photo CD reader: base images against the generator's model of the format
// (chroma doubled by rounded means, PhotoYCC through each variant's formula
// and display curve, the rotation attribute), residual passes built bit by
// bit, and packs that lie. A flat pack (one Y, C1, C2 everywhere) keeps the
// expected pixels to the curve's fixed rows: variant 1 maps Y 37 to 52 and
// Y 100 to 144 with neutral chroma (156, 137).
#include <chrono>
#include <cstring>

#include "../../QvTest.h"
#include "ReaderTestSupport.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicGenericReader.h"
#include "imaging/readers/PicImageEx.h"
#include "imaging/readers/PicPhotoCdReader.h"
#include "imaging/readers/PicSources.h"

using readertest::FixtureBytes;
using readertest::Decoded;
using readertest::GlobalBlock;
using readertest::Source;

namespace {

constexpr size_t kSector = 2048;


void ReadPcd(CPicIO* source, int32_t subImage, uint32_t flags, Decoded& out) {
    out.pixels.reset(pic_ReadPCD(source, &out.width, &out.height, subImage, flags));
    out.code = pic_GetLastError();
}

// A pack whose three base images are flat.
std::string FlatPack(uint8_t y, uint8_t c1, uint8_t c2, const char* signature = "PCD_IPI") {
    std::string b(384 * kSector, '\0');
    memcpy(&b[kSector], signature, strlen(signature));
    struct Base {
        size_t sector;
        uint32_t width, height;
    } const bases[] = {{4, 192, 128}, {23, 384, 256}, {96, 768, 512}};
    for (const Base& base : bases) {
        size_t at = base.sector * kSector;
        for (uint32_t pair = 0; pair < base.height / 2; ++pair) {
            memset(&b[at], y, 2 * base.width);
            memset(&b[at + 2 * base.width], c1, base.width / 2);
            memset(&b[at + 2 * base.width + base.width / 2], c2, base.width / 2);
            at += 3 * base.width;
        }
    }
    return b;
}

// Residual bits, most significant first.
class BitWriter {
public:
    void Put(uint32_t value, uint32_t bits) {
        for (uint32_t i = bits; i-- > 0;) {
            if (m_used % 8 == 0) bytes += '\0';
            if ((value >> i) & 1) bytes.back() = (char)(bytes.back() | (0x80 >> (m_used % 8)));
            ++m_used;
        }
    }
    // A row header: the sync, the plane, the row number, a spare bit.
    void Sync(uint32_t plane, uint32_t row) {
        Put(0xFFFFFE, 24);
        Put(plane, 2);
        Put(row, 13);
        Put(0, 1);
    }
    std::string bytes;

private:
    uint32_t m_used = 0;
};

// One table: '0' adds 63, '10' subtracts 37.
void PutTable(BitWriter& w) {
    w.Put(1, 8);  // two entries
    w.Put(0, 8), w.Put(0x0000, 16), w.Put(63, 8);
    w.Put(1, 8), w.Put(0x8000, 16), w.Put((uint8_t)-37, 8);
}

std::string WithResidual(const std::string& pack, const std::string& residual) {
    std::string b = pack;
    b.resize(388 * kSector, '\0');  // the 4Base section starts 4 sectors after the Base image
    return b + residual;
}

uint32_t Pixel(const Decoded& d, uint32_t x, uint32_t y) {
    const uint8_t* p = d.pixels.data + 3 * ((size_t)y * d.width + x);
    return (uint32_t)p[0] << 16 | (uint32_t)p[1] << 8 | p[2];
}

// Every pixel equals `rgb` except those listed.
int CountOthers(const Decoded& d, uint32_t rgb) {
    int others = 0;
    for (int32_t y = 0; y < d.height; ++y)
        for (int32_t x = 0; x < d.width; ++x) others += Pixel(d, (uint32_t)x, (uint32_t)y) != rgb;
    return others;
}

std::string RotatedClockwise(const std::string& rgb, uint32_t w, uint32_t h) {
    std::string out(rgb.size(), '\0');
    for (uint32_t y = 0; y < w; ++y)      // rows of the turned picture
        for (uint32_t x = 0; x < h; ++x)  // its columns
            memcpy(&out[3 * (y * h + x)], &rgb[3 * ((h - 1 - x) * w + y)], 3);
    return out;
}

}  // namespace

TEST(PhotoCdReader, BaseImagesMatchTheModelFromFileAndMemory) {
    std::string base16 = FixtureBytes("pcd_base16.pcd");
    std::string turned = base16;
    turned[3586] = 3 | 0x20;  // only the low two bits are the rotation
    struct Case {
        const char* fault;
        std::string bytes;
        int32_t subImage;
        uint32_t width, height;
        std::string expected;
    } cases[] = {
        {"variant 1, no turn", base16, 1, 192, 128, FixtureBytes("pcd_base16.rgb")},
        {"sub-image 0 is the smallest", base16, 0, 192, 128, FixtureBytes("pcd_base16.rgb")},
        {"sub-image -5 is the smallest", base16, -5, 192, 128, FixtureBytes("pcd_base16.rgb")},
        {"PCDS variant 0, a quarter counter-clockwise", FixtureBytes("pcd_pcds_rot1.pcd"), 1, 128, 192,
         FixtureBytes("pcd_pcds_rot1.rgb")},
        {"a quarter clockwise", turned, 1, 128, 192, RotatedClockwise(FixtureBytes("pcd_base16.rgb"), 192, 128)},
    };
    for (const Case& c : cases) {
        for (Source::Kind kind : {Source::kFile, Source::kMemory}) {
            SCOPED_TRACE(std::string(c.fault) + (kind == Source::kFile ? " (file)" : " (memory)"));
            Source source(kind, c.bytes, L"picture.pcd");
            Decoded d;
            ReadPcd(source, c.subImage, 0, d);
            ASSERT_EQ(d.code, PIC_ERR_OK);
            EXPECT_EQ((uint32_t)d.width, c.width);
            EXPECT_EQ((uint32_t)d.height, c.height);
            EXPECT_TRUE(std::string((const char*)d.pixels.data, c.expected.size()) == c.expected);
        }
    }
    Source source(Source::kMemory, base16);
    Decoded dib;
    ReadPcd(source, 1, 2, dib);
    ASSERT_EQ(dib.code, PIC_ERR_OK);
    const BITMAPINFOHEADER* header = (const BITMAPINFOHEADER*)dib.pixels.data;
    EXPECT_EQ(header->biBitCount, 24);
    EXPECT_EQ(header->biWidth, 192);
    const uint8_t* bottomLeft = dib.pixels.data + 40;  // last row of the picture, blue first
    std::string expected = FixtureBytes("pcd_base16.rgb");
    const uint8_t* want = (const uint8_t*)expected.data() + 3 * 192 * 127;
    EXPECT_EQ(bottomLeft[0], want[2]);
    EXPECT_EQ(bottomLeft[2], want[0]);
}

TEST(PhotoCdReader, CurvesHoldTheirFixedRows) {
    struct Row {
        uint32_t variant, index, value;
    } rows[] = {{0, 29, 29},   {0, 50, 49},   {0, 100, 101}, {0, 140, 143}, {0, 150, 153}, {0, 200, 199},
                {0, 250, 233}, {0, 300, 249}, {0, 344, 255}, {0, 350, 255}, {1, 30, 30},   {1, 50, 52},
                {1, 100, 107}, {1, 135, 144}, {1, 150, 159}, {1, 200, 206}, {1, 250, 241}, {1, 300, 254},
                {1, 319, 255}, {1, 350, 255}, {0, 10, 10},   {1, 0, 0}};
    for (const Row& r : rows) EXPECT_EQ(PicPhotoCdCurve(r.variant, r.index), r.value) << r.variant << "/" << r.index;
    for (uint32_t v = 0; v < 2; ++v)
        for (uint32_t i = 1; i <= 350; ++i) EXPECT_LE(PicPhotoCdCurve(v, i - 1), PicPhotoCdCurve(v, i));
}

TEST(PhotoCdReader, ResidualsCorrectTheEnlargedBase) {
    std::string flat = FlatPack(37, 156, 137);
    {
        Source source(Source::kMemory, flat);
        Decoded d;
        ReadPcd(source, 3, 0, d);
        ASSERT_EQ(d.code, PIC_ERR_OK);
        EXPECT_EQ(d.width, 768);
        EXPECT_EQ(CountOthers(d, 0x343434), 0) << "Y 37 with neutral chroma is 52 everywhere";
    }
    BitWriter w;
    PutTable(w);
    w.Sync(0, 5);
    w.Put(0, 1), w.Put(0, 1), w.Put(0, 1), w.Put(2, 2);  // +63 three times, then -37
    w.Sync(2, 10);                                      // a chroma row: the pass has no table for it
    w.Put(0, 4);
    w.Sync(0, 1024);  // the stop row
    w.Put(0x5A5A, 16);
    Source source(Source::kMemory, WithResidual(flat, w.bytes));
    Decoded d;
    ReadPcd(source, 4, 0, d);
    ASSERT_EQ(d.code, PIC_ERR_OK);
    ASSERT_EQ(d.width, 1536);
    ASSERT_EQ(d.height, 1024);
    EXPECT_EQ(Pixel(d, 0, 5), 0x909090u) << "Y 100 is 144";
    EXPECT_EQ(Pixel(d, 2, 5), 0x909090u);
    EXPECT_EQ(Pixel(d, 3, 5), 0x000000u) << "37 + 63 - ... clamped: 37 - 37 is 0";
    EXPECT_EQ(Pixel(d, 4, 5), 0x343434u);
    EXPECT_EQ(CountOthers(d, 0x343434), 4);
}

TEST(PhotoCdReader, CorruptResidualsNeverFailTheRead) {
    std::string flat = FlatPack(37, 156, 137);
    BitWriter tableOnly;
    PutTable(tableOnly);
    BitWriter endsEarly;
    PutTable(endsEarly);
    endsEarly.Sync(0, 7);
    endsEarly.Put(0, 1);
    struct Case {
        const char* fault;
        std::string residual;
        int others;  // pixels that are not 52
    } cases[] = {
        {"a section without a sync ends instead of spinning", tableOnly.bytes + std::string(3 * kSector, '\0'), 0},
        {"ones without the closing zero", tableOnly.bytes + std::string(kSector, '\xFF'), 0},
        {"nothing after the Base image", std::string(), 0},
        // The code and the seven zero bits that fill its byte: eight '0' codes.
        {"data that ends before the stop row", endsEarly.bytes, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        auto start = std::chrono::steady_clock::now();
        std::string pack = c.residual.empty() ? flat : WithResidual(flat, c.residual);
        Source source(Source::kMemory, pack);
        Decoded d;
        ReadPcd(source, 4, 0, d);
        if (c.residual.empty()) {
            EXPECT_EQ(d.code, PIC_ERR_FILE_READ) << "the 4Base section lies past the end";
            continue;
        }
        ASSERT_EQ(d.code, PIC_ERR_OK);
        EXPECT_EQ(CountOthers(d, 0x343434), c.others);
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0);
    }
}

TEST(PhotoCdReader, HostilePacksEndWithTheirCodes) {
    std::string flat = FlatPack(37, 156, 137);
    std::string overview = flat;
    memcpy(&overview[0], "PCD_OPA", 7);
    std::string unsigned_ = flat;
    unsigned_[kSector] = 'X';
    BitWriter plane1;
    PutTable(plane1);
    plane1.Sync(1, 3);
    BitWriter longCode;
    longCode.Put(0, 8);
    longCode.Put(16, 8), longCode.Put(0, 16), longCode.Put(1, 8);  // a length of 17
    struct Case {
        const char* fault;
        std::string bytes;
        int32_t subImage;
        int32_t code;
    } cases[] = {
        {"header shorter than three sectors", flat.substr(0, 5000), 3, PIC_ERR_BAD_PCD},
        {"an overview pack", overview, 3, PIC_ERR_PCD_OVERVIEW},
        {"no PCD at 2048", unsigned_, 3, PIC_ERR_BAD_PCD},
        {"Base image cut short", flat.substr(0, 200 * kSector), 3, PIC_ERR_FILE_READ},
        {"Base/16 only, Base asked", FixtureBytes("pcd_base16.pcd"), 3, PIC_ERR_FILE_READ},
        {"a residual row of plane 1", WithResidual(flat, plane1.bytes), 4, PIC_ERR_BAD_PCD},
        {"a Huffman code of 17 bits", WithResidual(flat, longCode.bytes), 4, PIC_ERR_BAD_PCD},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        Source source(Source::kMemory, c.bytes);
        Decoded d;
        ReadPcd(source, c.subImage, 0, d);
        EXPECT_EQ(d.code, c.code);
        EXPECT_EQ(d.pixels.data, nullptr);
        EXPECT_EQ(readertest::CallDepth(), 0);
    }
}

TEST(PhotoCdReader, LoadsThroughTheImageObjectAndTheGenericReader) {
    std::string flat = FlatPack(37, 156, 137);
    qvtest::TempFolder folder;
    CString path = folder.WriteFile(L"flat.pcd", flat);
    CPicImageEx fromFile, fromMemory;
    ASSERT_EQ(fromFile.LoadFromFile(path, CPicImageEx::FileTypeUnknown, 0), PIC_ERR_OK);
    ASSERT_EQ(fromMemory.LoadFromMemory(flat.data(), (uint32_t)flat.size(), CPicImageEx::FileTypeUnknown, 0, nullptr),
              PIC_ERR_OK);
    for (CPicImageEx* image : {&fromFile, &fromMemory}) {
        EXPECT_EQ(image->GetFileType(), CPicImageEx::FileTypePCD24);
        EXPECT_EQ(image->GetWidth(), 768);
        EXPECT_EQ(image->GetHeight(), 512);
        EXPECT_EQ(image->GetPixels()[3 * 1000], 52);
    }
    Source source(Source::kMemory, flat);
    int32_t w = 0, h = 0;
    GlobalBlock rgb(pic_ReadImage(source, &w, &h, PIC_KIND_RGB, 0));
    ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
    EXPECT_EQ(w, 768);
    EXPECT_EQ(rgb.data[0], 52);
    GlobalBlock dib(pic_ReadImage(source, &w, &h, PIC_KIND_DIB, 0));
    ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
    EXPECT_EQ(h, 512);
}

TEST(PhotoCdReader, LargestSubImagesPassBothResidualLevels) {
    // 4Base: one table and the stop row at once; the pass has read one
    // sector, so 16Base starts 12 sectors after it (at sector 401).
    BitWriter fourBase;
    PutTable(fourBase);
    fourBase.Sync(0, 1024);
    BitWriter sixteenBase;
    for (int t = 0; t < 3; ++t) PutTable(sixteenBase);
    sixteenBase.Sync(0, 3);
    sixteenBase.Put(0, 1);  // Y 37 + 63 at (0, 3), then seven more from the byte's padding
    sixteenBase.Put(0x7F, 7);
    sixteenBase.Sync(0, 2048);
    std::string pack = WithResidual(FlatPack(37, 156, 137), fourBase.bytes);
    pack.resize(401 * kSector, '\0');
    pack += sixteenBase.bytes;
    struct Case {
        int32_t subImage;
        int32_t width, height;
        int others;
    } cases[] = {
        {5, 3072, 2048, 1},
        // Doubled once more, Y 100 among 37s gives 100 at (0, 6) and means
        // at (1, 6), (0, 5), (1, 5), (0, 7) and (1, 7).
        {9, 6144, 4096, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.subImage);
        Source source(Source::kMemory, pack);
        Decoded d;
        ReadPcd(source, c.subImage, 0, d);
        ASSERT_EQ(d.code, PIC_ERR_OK);
        ASSERT_EQ(d.width, c.width);
        ASSERT_EQ(d.height, c.height);
        EXPECT_EQ(Pixel(d, 0, c.subImage == 5 ? 3 : 6), 0x909090u) << "the 16Base residual, enlarged once more at 6";
        EXPECT_EQ(CountOthers(d, 0x343434), c.others);
    }
}
