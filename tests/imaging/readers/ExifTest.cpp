// EXIF: tag records and their texts, tag names, the block parser on real
// camera-style blocks (exiftool) and hand-built hostile ones, maker notes,
// the reader's extractions, and JPEG pictures turned upright by their
// orientation through every road that shows them (reader flag, generic
// reader, image object with and without a size hint).
#include <cstring>
#include <fstream>
#include <sstream>

#include "../../QvTest.h"
#include "framework/base/WipedMemory.h"
#include "ReaderTestSupport.h"
#include "imaging/core/PicSizes.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicException.h"
#include "imaging/readers/PicExifNames.h"
#include "imaging/readers/PicExifParser.h"
#include "imaging/readers/PicExifReader.h"
#include "imaging/readers/PicExifTag.h"
#include "imaging/readers/PicExifTiff.h"
#include "imaging/readers/PicGenericReader.h"
#include "imaging/readers/PicImageEx.h"
#include "imaging/readers/PicJpegReader.h"
#include "imaging/readers/PicSources.h"

using namespace CPicEXIFData;
using readertest::FixtureBytes;
using readertest::FixturePath;
using readertest::GlobalBlock;
using readertest::Source;

namespace {

std::string Text(const CEXIFTagBase& record, bool decimal = false) {
    std::string out;
    return record.ToText(out, decimal);
}

// A block as the JPEG reader stores an APP1 segment: 4 leading bytes, then
// "Exif", two zero bytes and the TIFF structure.
std::string Block(const std::string& tiff) { return std::string("\0\0\0\0Exif\0\0", 10) + tiff; }

void Put16(std::string& out, uint32_t v, bool big) {
    if (big) {
        out += (char)(v >> 8);
        out += (char)v;
    } else {
        readertest::Put16(out, v);
    }
}
void Put32(std::string& out, uint32_t v, bool big) {
    if (big) {
        for (int s = 24; s >= 0; s -= 8) out += (char)(v >> s);
    } else {
        readertest::Put32(out, v);
    }
}

struct RawEntry {
    uint16_t tag, type;
    uint32_t count;
    std::string field;  // 4 bytes as stored
};

// A TIFF structure with IFD0 at 8 holding the entries, then `tail`.
std::string Tiff(bool big, const std::vector<RawEntry>& entries, uint32_t next = 0, const std::string& tail = "") {
    std::string t = big ? std::string("MM\0\x2A", 4) : std::string("II\x2A\0", 4);
    Put32(t, 8, big);
    Put16(t, (uint32_t)entries.size(), big);
    for (const RawEntry& e : entries) {
        Put16(t, e.tag, big);
        Put16(t, e.type, big);
        Put32(t, e.count, big);
        t += e.field;
    }
    Put32(t, next, big);
    return t + tail;
}

std::string Field32(uint32_t v, bool big) {
    std::string s;
    Put32(s, v, big);
    return s;
}

struct Lists {
    ExifTagList ifd0, exif, interop, ifd1, gps, maker;
    CPicRawEXIFParse Parser() { return CPicRawEXIFParse(&ifd0, &exif, &interop, &ifd1, &gps, &maker); }
    size_t Total() const {
        return ifd0.items.size() + exif.items.size() + interop.items.size() + ifd1.items.size() + gps.items.size() +
               maker.items.size();
    }
};

}  // namespace

TEST(ExifRecords, TextsOfEveryClass) {
    CEXIFTagU8 bytes;
    const uint8_t raw[] = {0x0F, 0x10, 0xFF};
    bytes.AppendRaw(raw, 3, false);
    EXPECT_EQ(Text(bytes), "x0f, x10, xff");

    CEXIFTagURat rational;
    const uint32_t pair[] = {1, 250, 5, 0};
    rational.AppendRaw(pair, 1, false);
    EXPECT_EQ(Text(rational), "1/250");
    EXPECT_EQ(Text(rational, true), "0.00400");
    rational.ClearItems();
    rational.AppendRaw(pair + 2, 1, false);
    EXPECT_EQ(Text(rational, true), "0.0") << "a zero denominator";

    CEXIFTagSRat signedRational;
    const int32_t third[] = {-1, 3};
    signedRational.AppendRaw(third, 1, false);
    EXPECT_EQ(Text(signedRational), "-1/3");

    CEXIFTagU32 big;
    const uint32_t all = 4294967295u;
    big.AppendRaw(&all, 1, false);
    EXPECT_EQ(Text(big), "-1") << "32-bit values print signed";

    CEXIFTagU16 words, swapped;
    const uint8_t be[] = {0, 1, 0, 2};
    words.AppendRaw(be, 2, true);
    swapped.AppendRaw(be, 2, false);
    EXPECT_EQ(Text(words), "1, 2");
    EXPECT_EQ(Text(swapped), "256, 512");

    CEXIFTagASCII ascii;
    ascii.AppendRaw("Canon\0", 6, false);
    EXPECT_EQ(Text(ascii), "Canon");
    EXPECT_EQ(ascii.count, 6u);

    CEXIFTagR8 real;
    const uint8_t oneBE[] = {0x3F, 0xF0, 0, 0, 0, 0, 0, 0};
    real.AppendRaw(oneBE, 1, true);
    EXPECT_EQ(Text(real), "1.00000") << "8-byte items reversed whole";
}

TEST(ExifRecords, ExportCloneAndWriteBack) {
    CEXIFTagASCII two;
    two.AppendRaw("ab", 2, false);
    two.AppendRaw("cd", 2, false);
    void* block = nullptr;
    uint32_t size = 0;
    two.ExportItems(&block, &size);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(memcmp(block, "ab\0cd\0", 6), 0);
    GlobalFree(block);

    std::unique_ptr<CEXIFTagBase> copy(two.Clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(Text(*copy), "ab, cd");

    CEXIFTagU16 words;
    const uint16_t values[] = {1, 2};
    const void* p = values;
    words.AppendValues(&p, 2, false);
    words.tag = 0x0102;
    words.type = 3;
    uint8_t buffer[64] = {};
    uint32_t dataBytes = 99;
    EXPECT_EQ(words.WriteTag(buffer, 0, 12, sizeof buffer, &dataBytes, true), 12u);
    const uint8_t expectedShort[] = {0x01, 0x02, 0, 3, 0, 0, 0, 2, 0, 1, 0, 2};
    EXPECT_EQ(memcmp(buffer, expectedShort, 12), 0);

    CEXIFTagURat rational;
    const uint32_t pair[] = {1, 60};
    rational.AppendRaw(pair, 1, false);
    rational.tag = 0x829A;
    rational.type = 5;
    memset(buffer, 0, sizeof buffer);
    EXPECT_EQ(rational.WriteTag(buffer, 0, 20, sizeof buffer, &dataBytes, false), 20u);
    EXPECT_EQ(buffer[8], 20) << "the value field holds the data position";
    EXPECT_EQ(buffer[20], 1);
    EXPECT_EQ(buffer[24], 60);

    uint8_t entry[12];
    uint8_t* data = nullptr;
    EXPECT_THROW(rational.WriteEntry(entry, 4, 20, &data, &dataBytes, false), VovIredev::PicException);
    EXPECT_THROW(rational.WriteTag(buffer, 0, 60, sizeof buffer, &dataBytes, false), VovIredev::PicException)
        << "data past the buffer's end";
}

TEST(ExifNames, TablesAndUnknownTags) {
    struct Case {
        uint32_t tag;
        int32_t kind, maker;
        const char* name;
    } cases[] = {
        {0x927C, kExifExif, 0, "MakerNote"},
        {0x0112, kExifIfd0, 0, "Orientation"},
        {0xA302, kExifExif, 0, "CFAPattern"},  // second number of a row
        {0x0005, kExifMakerNote, kMakerOlympus, "Olympus Unknown Tag 0x0005"},
        {0x00FF, kExifMakerNote, 5, ""},
        {0x1F, kExifGps, 0, "GPS Unknown Tag 0x001F"},
        {0x9C40, kExifIfd0, 0, " Unknown Tag 0x9C40"},
        {0x00A0, kExifMakerNote, kMakerCanon, "ProccessingInfo"},
        {0x0000, kExifMakerNote, kMakerCanon, "Canon Unknown Tag 0x0000"},  // no row has a second number 0
        {0x0000, kExifMakerNote, kMakerFuji, "Version"},
        {0x3003, kExifMakerNote, kMakerCasioHeader, "FocusMode"},
        {0x0002, kExifGps, 0, "GPSLatitude"},
    };
    for (const Case& c : cases) EXPECT_EQ(ExifTagName(c.tag, c.kind, c.maker), c.name) << std::hex << c.tag;
}

// Every line of exif_tags.txt: file, tag, directory mask, decimal, text (exiftool's value).
TEST(ExifReader, CommonTagsMatchExiftool) {
    std::ifstream lines(std::string(QV_READER_FIXTURES) + "/exif_tags.txt");
    std::string line;
    int checked = 0;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string file, tag, mask, decimal, expected;
        std::getline(fields, file, '\t');
        std::getline(fields, tag, '\t');
        std::getline(fields, mask, '\t');
        std::getline(fields, decimal, '\t');
        std::getline(fields, expected);
        if (decimal == "size") continue;
        Source source(Source::kMemory, FixtureBytes(file.c_str()));
        CPicEXIFReader reader;
        ASSERT_TRUE(reader.ReadFromSource(*source.get(), 0, 0)) << file;
        std::string text;
        EXPECT_TRUE(reader.GetTagText(std::stoul(tag), std::stoul(mask), text, decimal == "1")) << line;
        EXPECT_EQ(text, expected) << file << " tag " << tag;
        ++checked;
    }
    EXPECT_EQ(checked, 56);
}

TEST(ExifReader, FilterMasksAndRepeatedReads) {
    std::string bytes = FixtureBytes("exif_orient8.jpg");
    Source source(Source::kMemory, bytes);
    CPicEXIFReader reader;
    reader.SetTagFilter(274);
    ASSERT_TRUE(reader.ReadFromSource(*source.get(), 0, 0));
    EXPECT_EQ(reader.ifd0Tags.items.size(), 1u) << "single-tag mode keeps one record";
    EXPECT_EQ(reader.exifTags.items.size() + reader.ifd1Tags.items.size() + reader.gpsTags.items.size(), 0u);
    std::string text;
    EXPECT_TRUE(reader.GetTagText(274, PIC_EXIF_IFD0, text, false));
    EXPECT_EQ(text, "8");
    EXPECT_FALSE(reader.GetTagText(274, PIC_EXIF_EXIF, text, false));
    EXPECT_EQ(reader.error, PIC_ERR_EXIF_TAG_NOT_FOUND);

    CPicEXIFReader all;
    ASSERT_TRUE(all.ReadFromSource(*source.get(), 0, 0));
    size_t once = all.ifd0Tags.items.size() + all.exifTags.items.size();
    ASSERT_TRUE(all.ReadFromSource(*source.get(), 0, 0));
    EXPECT_EQ(all.ifd0Tags.items.size() + all.exifTags.items.size(), 2 * once) << "reads append";
}

TEST(ExifReader, SourcesWithoutExif) {
    CPicEXIFReader reader;
    Source plain(Source::kMemory, FixtureBytes("exif_plain.jpg"));
    EXPECT_FALSE(reader.ReadFromSource(*plain.get(), 0, 0));
    EXPECT_EQ(reader.error, PIC_ERR_OK) << "a JPEG without APP1";
    Source png(Source::kMemory, FixtureBytes("png_rgb8.png"));
    EXPECT_FALSE(reader.ReadFromSource(*png.get(), 0, 0));
    EXPECT_EQ(reader.error, PIC_ERR_BAD_PARAM);
    Source xmpFirst(Source::kMemory, FixtureBytes("exif_xmp_first.jpg"));
    std::string text;
    ASSERT_TRUE(reader.ReadFromSource(*xmpFirst.get(), 0, 0)) << "the EXIF block after an XMP packet";
    EXPECT_TRUE(reader.GetTagText(274, PIC_EXIF_IFD0, text, false));
    EXPECT_EQ(text, "8");
}

TEST(ExifReader, ThumbnailAndUserComment) {
    std::string thumb = FixtureBytes("exif_thumb.bin");
    Source source(Source::kMemory, FixtureBytes("exif_thumb.jpg"));
    CPicEXIFReader reader;
    ASSERT_TRUE(reader.ReadFromSource(*source.get(), PIC_EXIF_THUMBNAIL | PIC_EXIF_USER_COMMENT, 0));
    ASSERT_NE(reader.thumbnail, nullptr);
    ASSERT_EQ(reader.thumbnailSize, thumb.size()) << "exiftool -b -ThumbnailImage";
    EXPECT_EQ(memcmp(reader.thumbnail, thumb.data(), thumb.size()), 0);
    EXPECT_EQ(reader.userComment, nullptr);
    EXPECT_EQ(reader.error, 83) << "no UserComment";

    CPicEXIFReader noThumb;
    Source other(Source::kMemory, FixtureBytes("exif_orient6.jpg"));
    EXPECT_TRUE(noThumb.ReadFromSource(*other.get(), PIC_EXIF_THUMBNAIL, 0));
    EXPECT_EQ(noThumb.thumbnail, nullptr);
    EXPECT_EQ(noThumb.error, PIC_ERR_EXIF_EXTRACT);
}

TEST(ExifParser, MakerNotes) {
    // Canon: three entries, the last pointing past the block; Olympus: its
    // own header and big-endian order inside a little-endian block.
    {
        std::string block = FixtureBytes("exif_canon_note.bin");
        Lists lists;
        CPicRawEXIFParse parser = lists.Parser();
        ASSERT_TRUE(parser.ParseBlock((const uint8_t*)block.data(), (uint32_t)block.size(), true, false));
        ASSERT_EQ(lists.maker.items.size(), 2u) << "the entry crossing the end is lost alone";
        EXPECT_EQ(lists.maker.items[0]->name, "CanonImageType");
        EXPECT_EQ(Text(*lists.maker.items[0]), "EOS");
        EXPECT_EQ(lists.maker.items[1]->name, "CanonModelID");
        EXPECT_EQ(Text(*lists.maker.items[1]), "-2147483647");
        Lists other;
        CPicRawEXIFParse plain = other.Parser();
        ASSERT_TRUE(plain.ParseBlock((const uint8_t*)block.data(), (uint32_t)block.size(), false, false));
        EXPECT_TRUE(other.maker.items.empty()) << "notes only when asked";
    }
    {
        std::string block = FixtureBytes("exif_olympus_note.bin");
        Lists lists;
        CPicRawEXIFParse parser = lists.Parser();
        ASSERT_TRUE(parser.ParseBlock((const uint8_t*)block.data(), (uint32_t)block.size(), true, false));
        ASSERT_EQ(lists.maker.items.size(), 2u);
        EXPECT_EQ(lists.maker.items[0]->name, "SpecialMode");
        EXPECT_EQ(Text(*lists.maker.items[0]), "7");
        EXPECT_EQ(lists.maker.items[1]->name, "Olympus Unknown Tag 0x0005");
        EXPECT_EQ(Text(*lists.maker.items[1]), "9");
        EXPECT_FALSE(parser.bigEndian) << "the block's order is restored after the note";
    }
}

TEST(ExifParser, ValuesInTheFieldAndOutOfLine) {
    for (bool big : {false, true}) {
        std::string shortField = big ? std::string("\0\x05\0\x06", 4) : std::string("\x05\0\x06\0", 4);
        std::vector<RawEntry> entries = {
            {0x0112, 3, 2, shortField},                            // SHORT x2 in the field
            {0x0001, 1, 3, std::string("\x0A\x0B\x0C\0", 4)},    // BYTE x3
            {0x9000, 7, 4, std::string("0220", 4)},               // ExifVersion
            {0x011A, 5, 1, Field32(8 + 2 + 12 * 5 + 4, big)},     // RATIONAL out of line
            {0x011B, 5, 2, Field32(8 + 2 + 12 * 5 + 4, big)},     // two of them run 1 byte past the end: refused
        };
        std::string tail;
        Put32(tail, 72, big);
        Put32(tail, 1, big);
        tail += std::string(7, '\0');
        std::string block = Block(Tiff(big, entries, 0, tail));
        Lists lists;
        CPicRawEXIFParse parser = lists.Parser();
        ASSERT_TRUE(parser.ParseBlock((const uint8_t*)block.data(), (uint32_t)block.size(), false, false));
        ASSERT_EQ(lists.ifd0.items.size(), 4u) << big;
        EXPECT_EQ(Text(*lists.ifd0.items[0]), "5, 6") << big;
        EXPECT_EQ(Text(*lists.ifd0.items[1]), "x0a, x0b, x0c") << big;
        EXPECT_EQ(Text(*lists.ifd0.items[2]), "x30, x32, x32, x30") << big;
        EXPECT_EQ(Text(*lists.ifd0.items[3]), "72/1") << big;
        EXPECT_TRUE(lists.ifd1.items.empty());
    }
}

// Hostile blocks: each ends with a result, reads nothing outside the block
// (the blocks are copied to exact-size heap buffers so that a checker sees
// any overread) and loses only what is damaged.
TEST(ExifParser, HostileBlocks) {
    const bool le = false;
    auto withEntries = [&](std::vector<RawEntry> entries, uint32_t next = 0, const std::string& tail = "") {
        return Block(Tiff(le, entries, next, tail));
    };
    struct Case {
        const char* fault;
        std::string block;
        bool parses;
        size_t records;
    } cases[] = {
        {"9-byte block", std::string("\0\0\0\0Exif\0", 9), false, 0},
        {"10-byte block: header only", std::string("\0\0\0\0Exif\0\0", 10), false, 0},
        {"11-byte block: half a byte order", std::string("\0\0\0\0Exif\0\0I", 11), false, 0},
        {"upper-case EXIF", std::string("\0\0\0\0EXIF\0\0II\x2A\0\x08\0\0\0\0\0\0\0\0\0", 22), false, 0},
        {"II with magic 00 2A as stored", Block(std::string("II\0\x2A\x08\0\0\0", 8) + std::string(8, '\0')), true, 0},
        {"IFD0 offset near 2^32 (would wrap a 32-bit pointer)",
         std::string("\0\0\0\0Exif\0\0II\x2A\0\xFA\xFF\xFF\xFF\0\0\0\0", 20), false, 0},
        {"entry count running past the end", Block(std::string("II\x2A\0\x08\0\0\0\x40\0", 10)), false, 0},
        {"count of 2^31 out of line", withEntries({{0x010E, 2, 0x80000000u, Field32(8, le)}}), true, 0},
        {"SHORT count 2^31 - 1", withEntries({{0x0112, 3, 0x7FFFFFFFu, Field32(8, le)}}), true, 0},
        {"value offset near 2^32", withEntries({{0x011A, 5, 1, Field32(0xFFFFFFF8u, le)}}), true, 0},
        {"value offset wrapping to the header", withEntries({{0x011A, 5, 1, Field32(0xFFFFFFF6u, le)}}), true, 0},
        {"type 13", withEntries({{0x0112, 13, 1, Field32(1, le)}}), true, 0},
        {"Exif pointer beyond the block", withEntries({{0x8769, 4, 1, Field32(0xFFFFFF00u, le)}}), true, 1},
        {"Exif pointer at the last byte", withEntries({{0x8769, 4, 1, Field32(8 + 2 + 12 + 4, le)}}, 0, "\x01"),
         true, 1},
        {"GPS pointer into its own entry", withEntries({{0x8825, 4, 1, Field32(10, le)}}), true, 1},
        {"next IFD equal to the block size", withEntries({{0x0112, 3, 1, Field32(1, le)}}, 36), true, 1},
        {"next IFD near 2^32", withEntries({{0x0112, 3, 1, Field32(1, le)}}, 0xFFFFFFF0u), true, 1},
        {"IFD1 entries past the end", withEntries({{0x0112, 3, 1, Field32(1, le)}}, 22), true, 1},
        {"IFD looping onto itself", withEntries({{0x8769, 4, 1, Field32(8, le)}}, 8), true, 3},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> exact(c.block.begin(), c.block.end());
        std::unique_ptr<uint8_t[]> heap(new uint8_t[exact.size()]);
        memcpy(heap.get(), exact.data(), exact.size());
        Lists lists;
        CPicRawEXIFParse parser = lists.Parser();
        bool parsed = parser.ParseBlock(heap.get(), (uint32_t)exact.size(), true, false);
        EXPECT_EQ(parsed, c.parses) << c.fault;
        if (!parsed) {
            EXPECT_EQ(parser.error, PIC_ERR_BAD_EXIF) << c.fault;
        }
        EXPECT_EQ(lists.Total(), c.records) << c.fault;
        void* out = nullptr;
        uint32_t size = 0;
        EXPECT_NE(parser.ExtractThumbnail(&out, &size), PIC_ERR_OK) << c.fault;
        EXPECT_NE(parser.ExtractUserComment(&out, &size), PIC_ERR_OK) << c.fault;
    }
}

TEST(ExifParser, ThumbnailMustLieInsideTheBlock) {
    // IFD0 with nothing, IFD1 at 26 with offset (513) and length (514); the
    // block holds 26 + 2 + 24 + 4 + 8 bytes of TIFF structure.
    struct Case {
        const char* fault;
        uint32_t offset, length;
        bool extracted;
    } cases[] = {
        {"whole thumbnail inside", 56, 6, true},
        {"offset + length past the end by the header's 10 bytes", 56, 9, false},
        {"length of 2^31", 56, 0x80000000u, false},
        {"offset near 2^32", 0xFFFFFFF0u, 8, false},
        {"offset 0", 0, 4, false},
    };
    for (const Case& c : cases) {
        std::string ifd1;
        Put16(ifd1, 2, false);
        for (auto [tag, v] : {std::pair<uint32_t, uint32_t>{513, c.offset}, {514, c.length}}) {
            Put16(ifd1, tag, false);
            Put16(ifd1, 4, false);
            Put32(ifd1, 1, false);
            Put32(ifd1, v, false);
        }
        Put32(ifd1, 0, false);
        std::string tiff = Tiff(false, {{0x0112, 3, 1, Field32(1, false)}}, 26, ifd1 + "THUMB!++");
        std::string block = Block(tiff);
        Lists lists;
        CPicRawEXIFParse parser = lists.Parser();
        ASSERT_TRUE(parser.ParseBlock((const uint8_t*)block.data(), (uint32_t)block.size(), false, false));
        void* out = nullptr;
        uint32_t size = 0;
        int32_t code = parser.ExtractThumbnail(&out, &size);
        EXPECT_EQ(code == PIC_ERR_OK, c.extracted) << c.fault;
        if (code == PIC_ERR_OK) {
            EXPECT_EQ(std::string((const char*)out, size), "THUMB!") << c.fault;
            GlobalFree(out);
        }
    }
}

namespace {
struct Upright {
    std::string file;
    int32_t width, height;
    std::string rgb;
};
std::vector<Upright> UprightCases() {
    std::vector<Upright> cases;
    for (int n = 1; n <= 8; ++n) {
        std::string name = "exif_orient" + std::to_string(n);
        bool turned = n >= 5;
        cases.push_back({name + ".jpg", turned ? 5 : 7, turned ? 7 : 5, FixtureBytes((name + ".rgb").c_str())});
    }
    return cases;
}
}  // namespace

// Expected: djpeg's pixels turned by ImageMagick's -auto-orient.
TEST(ExifOrientation, JpegReaderTurnsEveryOrientationLikeImageMagick) {
    for (const Upright& c : UprightCases()) {
        std::string bytes = FixtureBytes(c.file.c_str());
        for (Source::Kind kind : {Source::kFile, Source::kMemory}) {
            Source source(kind, bytes, L"camera.jpg");
            int32_t w = 0, h = 0;
            GlobalBlock pixels(pic_ReadJPG(source, &w, &h, 24, PIC_READ_ORIENTATION));
            ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK) << c.file;
            ASSERT_EQ(w, c.width) << c.file;
            ASSERT_EQ(h, c.height) << c.file;
            EXPECT_EQ(memcmp(pixels.data, c.rgb.data(), c.rgb.size()), 0) << c.file;
        }
        Source source(Source::kMemory, bytes);
        int32_t w = 0, h = 0;
        GlobalBlock stored(pic_ReadJPG(source, &w, &h, 24, 0));
        EXPECT_EQ(w, 7) << c.file << ": without the flag the picture stays as stored";
        Source padded(Source::kMemory, bytes);
        GlobalBlock rows(pic_ReadJPG(padded, &w, &h, 24, PIC_READ_ORIENTATION | PIC_READ_DIB_ROWS));
        EXPECT_EQ(w, 7) << c.file << ": padded rows are not turned";
    }
}

TEST(ExifOrientation, SeekBackStillLandsAfterTheImage) {
    std::string bytes = FixtureBytes("exif_orient6.jpg") + "TRAILER";
    Source source(Source::kMemory, bytes);
    int32_t w = 0, h = 0;
    GlobalBlock pixels(pic_ReadJPG(source, &w, &h, 24, PIC_READ_ORIENTATION | 0x10));
    ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
    char after[7] = {};
    ASSERT_EQ(source.get()->Read(after, 7), 7u);
    EXPECT_EQ(std::string(after, 7), "TRAILER");
}

TEST(ExifOrientation, GenericReaderAndPackedBitmaps) {
    for (const Upright& c : UprightCases()) {
        Source source(Source::kMemory, FixtureBytes(c.file.c_str()));
        int32_t w = 0, h = 0;
        GlobalBlock pixels(pic_ReadImage(source, &w, &h, PIC_KIND_RGB, 0));
        ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK) << c.file;
        ASSERT_EQ(w, c.width);
        EXPECT_EQ(memcmp(pixels.data, c.rgb.data(), c.rgb.size()), 0) << c.file;
        GlobalBlock kept(pic_ReadImage(source, &w, &h, PIC_KIND_RGB, 1));
        EXPECT_EQ(w, 7) << c.file << ": flag bit 0 keeps the stored orientation";
        GlobalBlock dib(pic_ReadImage(source, &w, &h, PIC_KIND_DIB, 0));
        ASSERT_NE(dib.data, nullptr) << c.file;
        const BITMAPINFOHEADER* header = (const BITMAPINFOHEADER*)dib.data;
        ASSERT_EQ(header->biWidth, c.width) << c.file;
        ASSERT_EQ(header->biHeight, c.height) << c.file;
        const uint8_t* bottomRow = dib.data + 40 + PicDIBRowBytes(c.width, 24) * 0;
        const uint8_t* lastRgb = (const uint8_t*)c.rgb.data() + 3 * c.width * (c.height - 1);
        EXPECT_EQ(bottomRow[0], lastRgb[2]) << c.file << ": DIB bottom row, blue first";
        EXPECT_EQ(bottomRow[2], lastRgb[0]) << c.file;
    }
}

// The preview, the viewer and the thumbnails all load through the image
// object (from a file, or from decrypted memory, with a size hint for
// thumbnails).
TEST(ExifOrientation, ImageObjectShowsCameraPicturesUpright) {
    for (const Upright& c : UprightCases()) {
        CPicImageEx fromFile, fromMemory;
        ASSERT_EQ(fromFile.LoadFromFile(FixturePath(c.file.c_str()), CPicImageEx::FileTypeUnknown, 0), PIC_ERR_OK);
        std::string bytes = FixtureBytes(c.file.c_str());
        ASSERT_EQ(fromMemory.LoadFromMemory(bytes.data(), (uint32_t)bytes.size(), CPicImageEx::FileTypeJPEG24, 0,
                                            nullptr),
                  PIC_ERR_OK);
        for (CPicImageEx* image : {&fromFile, &fromMemory}) {
            ASSERT_EQ(image->GetWidth(), c.width) << c.file;
            ASSERT_EQ(image->GetHeight(), c.height) << c.file;
            EXPECT_EQ(image->m_originalWidth, c.width) << c.file << ": the caption's size is the upright one";
            EXPECT_EQ(memcmp(image->GetPixels(), c.rgb.data(), c.rgb.size()), 0) << c.file;
        }
    }
}

TEST(ExifOrientation, ThumbnailWithSizeHintIsTurnedToo) {
    // A box of 1 x 1 asks a 7 x 5 picture for the 1/2 reduction: 4 x 3, turned 3 x 4.
    CPicImageEx thumbnail;
    thumbnail.SetDecodeSizeHint(1, 1);
    ASSERT_EQ(thumbnail.LoadFromFile(FixturePath("exif_orient6.jpg"), CPicImageEx::FileTypeJPEG24, 0), PIC_ERR_OK);
    EXPECT_LT(thumbnail.GetWidth(), thumbnail.GetHeight()) << "reduced and turned";
    CPicImageEx same;
    same.SetDecodeSizeHint(1, 1);
    ASSERT_EQ(same.LoadFromFile(FixturePath("exif_orient1.jpg"), CPicImageEx::FileTypeJPEG24, 0), PIC_ERR_OK);
    EXPECT_EQ(thumbnail.GetWidth(), same.GetHeight());
    EXPECT_EQ(thumbnail.GetHeight(), same.GetWidth());
}

TEST(ExifOrientation, TurnedCopyOfThePixelsIsWiped) {
    WipedMemoryTotals before = WipedMemoryCounts();
    Source source(Source::kMemory, FixtureBytes("exif_orient6.jpg"));
    int32_t w = 0, h = 0;
    GlobalBlock pixels(pic_ReadJPG(source, &w, &h, 24, PIC_READ_ORIENTATION));
    ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
    WipedMemoryTotals after = WipedMemoryCounts();
    EXPECT_GE(after.allocated - before.allocated, 3u * 7 * 5) << "the quarter turn's copy in the wiped heap";
    EXPECT_GE(after.wiped - before.wiped, after.allocated - before.allocated);
}

namespace {
// Stands in for the TIFF side: IFD0 gets Make and Orientation, the Exif list
// an ExifVersion that a TIFF file passes as text.
bool FakeTiffExif(ExifTiffCollector& collector, CPicIO&, int32_t page) {
    if (page != 0) return false;
    collector.currentList = collector.ifd0Tags;
    const uint16_t orientation = 6;
    AddEXIFTag(collector, 0x010F, 2, "Make", 6, "Canon");
    AddEXIFTag(collector, 0x0112, 3, "Orientation", 1, &orientation);
    collector.currentList = collector.exifTags;
    AddEXIFTag(collector, 0x9000, 7, "ExifVersion", 4, "0220");
    EXPECT_EQ(AddEXIFTag(collector, 0x9999, 13, "bad type", 1, "x"), 0);
    return true;
}
}  // namespace

TEST(ExifReader, TiffPagesThroughTheTiffSide) {
    std::string tiff = std::string("II\x2A\0\x08\0\0\0", 8) + std::string(32, '\0');
    Source source(Source::kMemory, tiff);
    CPicEXIFReader reader;
    PicExifTiffReadFn installed = PicGetExifTiffReader();
    PicSetExifTiffReader(nullptr);
    EXPECT_FALSE(reader.ReadFromSource(*source.get(), 0, 0));
    EXPECT_EQ(reader.error, PIC_ERR_UNSUPPORTED) << "no TIFF side installed";
    PicSetExifTiffReader(FakeTiffExif);
    ASSERT_TRUE(reader.ReadFromSource(*source.get(), 0, 0));
    PicSetExifTiffReader(installed);
    std::string text;
    EXPECT_TRUE(reader.GetTagText(0x0112, PIC_EXIF_IFD0, text, false));
    EXPECT_EQ(text, "6");
    EXPECT_TRUE(reader.GetTagText(0x9000, PIC_EXIF_EXIF, text, false));
    EXPECT_EQ(text, "0220") << "UNDEFINED from a TIFF file is text";
    ASSERT_EQ(reader.ifd0Tags.items.size(), 2u);
    EXPECT_TRUE(reader.ifd0Tags.items[0]->fromTiff);
    EXPECT_EQ(reader.ifd0Tags.items[0]->value, 0u);
    EXPECT_EQ(reader.ifd0Tags.items[0]->name, "Make");
}

TEST(ExifReader, BareBlockFromASource) {
    Source source(Source::kMemory, FixtureBytes("exif_canon_note.bin"));
    CPicEXIFReader reader;
    ASSERT_TRUE(reader.ReadFromSource(*source.get(), PIC_EXIF_RAW_BLOCK | PIC_EXIF_MAKER_NOTE, 0));
    std::string text;
    EXPECT_TRUE(reader.GetTagText(0x0006, PIC_EXIF_MAKER, text, false));
    EXPECT_EQ(text, "EOS");
    EXPECT_TRUE(reader.GetTagText(271, PIC_EXIF_IFD0 | PIC_EXIF_MAKER, text, false));
    EXPECT_EQ(text, "Canon");
    Source tiny(Source::kMemory, std::string("\0\0\0\0Exif\0", 9));
    EXPECT_FALSE(reader.ReadFromSource(*tiny.get(), PIC_EXIF_RAW_BLOCK, 0));
    EXPECT_EQ(reader.error, PIC_ERR_OK) << "a block that does not parse leaves 0; the answer says it";
}

TEST(ExifOrientation, GreyPicturesAndTheirBitmapsTurnToo) {
    std::string expected = FixtureBytes("exif_grey6.gray");  // djpeg, then -auto-orient
    Source source(Source::kMemory, FixtureBytes("exif_grey6.jpg"));
    int32_t w = 0, h = 0;
    GlobalBlock grey(pic_ReadJPG(source, &w, &h, 8, PIC_READ_ORIENTATION));
    ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
    ASSERT_EQ(w, 5);
    ASSERT_EQ(h, 7);
    EXPECT_EQ(std::string((const char*)grey.data, expected.size()), expected);
    ASSERT_TRUE(pic_Seek(source, 0, 0));
    GlobalBlock dib(pic_ReadJPG(source, &w, &h, 24, PIC_READ_DIB | PIC_READ_ORIENTATION));
    ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
    const BITMAPINFOHEADER* header = (const BITMAPINFOHEADER*)dib.data;
    ASSERT_EQ(header->biBitCount, 8);
    ASSERT_EQ(header->biWidth, 5);
    ASSERT_EQ(header->biHeight, 7);
    const uint8_t* pixels = dib.data + 40 + 1024;
    for (int y = 0; y < 7; ++y)
        EXPECT_EQ(std::string((const char*)pixels + (6 - y) * 8, 5), expected.substr(5 * y, 5)) << "row " << y;
    CPicImageEx image;
    ASSERT_EQ(image.LoadFromFile(FixturePath("exif_grey6.jpg"), CPicImageEx::FileTypeUnknown, 0), PIC_ERR_OK);
    EXPECT_EQ(image.GetBitsPerPixel(), 8);
    EXPECT_EQ(image.GetWidth(), 5);
    for (int y = 0; y < 7; ++y)
        EXPECT_EQ(std::string((const char*)image.GetPixels() + y * image.GetRowBytes(), 5), expected.substr(5 * y, 5));
}

// With the library's TIFF reader: its fixture (hand-built, checked with
// tiffinfo) holds ExposureTime 1/60, ISO 400 and ExifVersion 0230.
TEST(ExifReader, TiffFileThroughTheLibrarysTiffReader) {
    if (PicBuiltInExifTiffReader() == nullptr) GTEST_SKIP() << "built without the TIFF reader";
    Source source(Source::kMemory, FixtureBytes("tiff/exif_mm.tif"));
    CPicEXIFReader reader;
    ASSERT_TRUE(reader.ReadFromSource(*source.get(), 0, 0));
    std::string text;
    EXPECT_TRUE(reader.GetTagText(0x829A, PIC_EXIF_EXIF, text, false));
    EXPECT_EQ(text, "1/60");
    EXPECT_TRUE(reader.GetTagText(0x8827, PIC_EXIF_EXIF, text, false));
    EXPECT_EQ(text, "400");
    EXPECT_TRUE(reader.GetTagText(0x9000, PIC_EXIF_EXIF, text, false));
    EXPECT_EQ(text, "0230");
    EXPECT_TRUE(reader.GetTagText(0x0100, PIC_EXIF_IFD0, text, false));
    EXPECT_EQ(text, "2") << "a SHORT ImageWidth";
    CPicEXIFReader none;
    Source plain(Source::kMemory, FixtureBytes("tiff/grey8.tif"));
    EXPECT_TRUE(none.ReadFromSource(*plain.get(), 0, 0)) << "a page without the EXIF tag";
    EXPECT_TRUE(none.ifd0Tags.items.empty());
    EXPECT_TRUE(none.exifTags.items.empty());
}

TEST(ExifPrivacy, CollectedBlocksAndRecordValuesAreOverwritten) {
    // The marker copies the reader collects are wiped before they are let go.
    PicPtrVector<CFileDataTag> tags;
    CFileDataTag* tag = new CFileDataTag;
    ASSERT_TRUE(tag->bytes.Assign((const unsigned char*)"GPS 47.5N", 9));
    tag->text = "Camera owner";
    ASSERT_TRUE(tags.Add(tag));
    PicWipeFileDataTags(tags);
    EXPECT_EQ(std::string((const char*)tag->bytes.data, 9), std::string(9, '\0'));
    EXPECT_EQ(tag->text, std::string(12, '\0'));
    // A record's values are overwritten when it lets them go (the vector
    // keeps its storage on clear, so the bytes can still be looked at).
    CEXIFTagU16 words;
    const uint16_t values[] = {4750, 850};
    words.AppendRaw(values, 2, false);
    const uint16_t* storage = words.items.data();
    words.ClearItems();
    EXPECT_EQ(storage[0], 0);
    EXPECT_EQ(storage[1], 0);
}
