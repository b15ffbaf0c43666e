// The private sub-directory reader: entries reach the callback checked
// against the field table; unknown tags, wrong types and counts lose only
// their entry; counts the file cannot hold are refused before allocation.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "../../QvTest.h"
#include "ReaderTestSupport.h"
#include "TiffTestFiles.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicSources.h"
#include "imaging/readers/PicTiffPage.h"
#include "imaging/readers/PicTiffSubDirectory.h"

using readertest::Source;
using namespace tifftest;

namespace {

#define ROW(tag, type, count, name) {tag, count, count, type, FIELD_CUSTOM, 1, 1, const_cast<char*>(name)}
const TIFFFieldInfo kTable[] = {
    ROW(0x0100, TIFF_LONG, 1, "ImageWidth"),   ROW(0x0100, TIFF_SHORT, 1, "ImageWidth"),
    ROW(0x010E, TIFF_ASCII, -1, "ImageDescription"), ROW(0x0211, TIFF_RATIONAL, 3, "YCbCrCoefficients"),
    ROW(0x829A, TIFF_RATIONAL, 1, "ExposureTime"), ROW(0x8827, TIFF_SHORT, -1, "ISOSpeedRatings"),
    ROW(0x9000, TIFF_UNDEFINED, 4, "ExifVersion"),
};

struct Seen {
    uint32_t tag;
    uint32_t count;
    std::string bytes;
};

int Record(TIFF*, void* user, uint32_t tag, ...) {
    va_list args;
    va_start(args, tag);
    uint32_t count = va_arg(args, uint32_t);
    const uint8_t* values = va_arg(args, const uint8_t*);
    va_end(args);
    uint32_t width = 0;
    for (const TIFFFieldInfo& row : kTable)
        if (row.field_tag == tag) width = row.field_type == TIFF_RATIONAL ? 8 : row.field_type == TIFF_LONG ? 4
                                           : row.field_type == TIFF_SHORT ? 2 : 1;
    // A tag with rows of two types: the value's width is found by the caller's test.
    if (tag == 0x0100) width = 0;
    auto* seen = static_cast<std::vector<Seen>*>(user);
    uint32_t bytes = width == 1 ? count + 1 : width * count;
    seen->push_back({tag, count, width == 0 ? std::string() : std::string((const char*)values, bytes)});
    return 1;
}

std::string U16(uint16_t v) { return std::string((const char*)&v, 2); }
std::string U32(uint32_t v) { return std::string((const char*)&v, 4); }

struct Reading {
    int result = -1;
    std::vector<Seen> seen;
    std::vector<std::string> messages;
};

Reading ReadDirectory(const std::vector<Entry>& entries, uint32_t offsetShift = 0) {
    std::string file = GreyStrips(2, 2, 2);
    uint32_t at = AppendDirectory(file, entries) + offsetShift;
    Source source(Source::kMemory, file);
    int32_t code = 0;
    TiffPage* page = OpenTiffPage(source, 0, 0, &code);
    Reading reading;
    if (page == nullptr) return reading;
    GetThreadState()->errorLog.clear();
    reading.result = ReadPrivateSubdirectory(page->tiff, at, kTable, sizeof kTable / sizeof kTable[0], Record,
                                             &reading.seen);
    for (const CPicErrorLogEntry& e : GetThreadState()->errorLog) reading.messages.push_back(e.message);
    CloseTiffPage(page);
    return reading;
}

int CountContaining(const Reading& r, const char* text) {
    int n = 0;
    for (const std::string& m : r.messages) n += m.find(text) != std::string::npos;
    return n;
}

}  // namespace

TEST(TiffSubDirectory, EntriesReachTheCallbackByTheTable) {
    Reading r = ReadDirectory({
        Values(0x8827, 3, 2, U16(100) + U16(200)),              // ISO, out of order with the next
        Values(0x829A, 5, 1, U32(1) + U32(60)),                 // ExposureTime 1/60
        Values(0xA401, 3, 1, U16(1)),                           // CustomRendered: not in the table
        Values(0x9000, 7, 4, "0230"),                           // ExifVersion with its 4 bytes
    });
    ASSERT_EQ(r.result, 1);
    ASSERT_EQ(r.seen.size(), 3u);
    EXPECT_EQ(r.seen[0].tag, 0x8827u);
    EXPECT_EQ(r.seen[0].bytes, U16(100) + U16(200));
    EXPECT_EQ(r.seen[1].tag, 0x829Au);
    EXPECT_EQ(r.seen[1].count, 1u);
    EXPECT_EQ(r.seen[1].bytes, U32(1) + U32(60));
    EXPECT_EQ(r.seen[2].bytes, std::string("0230\0", 5));
    EXPECT_EQ(CountContaining(r, "tags are not sorted in ascending order"), 1);
    EXPECT_EQ(CountContaining(r, "unknown field with tag 41985 (0xa401) in private subdirectory ignored"), 1);
    for (const std::string& m : r.messages) EXPECT_EQ(m.rfind("LibTiff Warning: ", 0), 0u) << m;
}

TEST(TiffSubDirectory, TypesAndCountsDecideEachEntry) {
    Reading r = ReadDirectory({
        Values(0x0100, 3, 1, U16(640)),                         // SHORT ImageWidth: the SHORT row
        Values(0x010E, 2, 6, "hello"),                          // ASCII, out of line
        Values(0x0211, 5, 3, U32(299) + U32(1000) + U32(587) + U32(1000) + U32(114) + U32(1000)),
        Values(0x829A, 3, 1, U16(5)),                           // a SHORT where a RATIONAL belongs
        Values(0x9000, 7, 5, "02300"),                          // ExifVersion with 5 bytes
    });
    ASSERT_EQ(r.result, 1);
    ASSERT_EQ(r.seen.size(), 3u);
    EXPECT_EQ(r.seen[0].tag, 0x0100u);
    EXPECT_EQ(r.seen[1].bytes, std::string("hello\0\0", 7));
    EXPECT_EQ(r.seen[2].count, 3u);
    EXPECT_EQ(r.seen[2].bytes.substr(0, 8), U32(299) + U32(1000));
    EXPECT_EQ(CountContaining(r, "wrong data type 3 for \"ExposureTime\"; tag ignored"), 1);
    EXPECT_EQ(CountContaining(r, "incorrect count for field"), 1);
}

TEST(TiffSubDirectory, HostileCountsAndOffsetsAreRefusedBeforeAllocation) {
    struct Case {
        const char* fault;
        std::vector<Entry> entries;
        uint32_t shift;
        const char* message;
    } cases[] = {
        {"a SHORT any-count tag with 2^31 values", {Raw(0x8827, 3, 0x80000000u, 8)}, 0, "Error fetching data"},
        {"an ASCII count of 0xFFFFFFFF", {Raw(0x010E, 2, 0xFFFFFFFFu, 8)}, 0, "Error fetching data"},
        {"a RATIONAL array whose data lies past the end", {Raw(0x0211, 5, 3, 0xFFFFFFF0u)}, 0, "Error fetching data"},
        {"a directory offset past the end", {Values(0x0100, 4, 1, U32(1))}, 0x10000, "TIFF private subdirectory"},
    };
    for (const Case& c : cases) {
        Reading r = ReadDirectory(c.entries, c.shift);
        EXPECT_EQ(r.result, 0) << c.fault;
        EXPECT_TRUE(r.seen.empty()) << c.fault;
        EXPECT_EQ(CountContaining(r, c.message), 1) << c.fault;
    }
    // An entry count of 65535 in a file that holds a few bytes after it.
    std::string file = GreyStrips(2, 2, 2);
    uint32_t at = (uint32_t)file.size();
    file += std::string("\xFF\xFF", 2) + std::string(20, '\0');
    Source source(Source::kMemory, file);
    int32_t code = 0;
    TiffPage* page = OpenTiffPage(source, 0, 0, &code);
    ASSERT_NE(page, nullptr);
    std::vector<Seen> seen;
    EXPECT_EQ(ReadPrivateSubdirectory(page->tiff, at, kTable, 7, Record, &seen), 0);
    CloseTiffPage(page);
}

TEST(TiffSubDirectory, ExifDirectoryOfATiffIsReachedThroughItsOffsetTag) {
    // The way the EXIF reader goes: the page's "EXIF Offset" tag (34665; the
    // library hands it out as a 64-bit offset), then the private directory.
    std::vector<Entry> exif = {Values(0x829A, 5, 1, U32(1) + U32(250)), Values(0x9000, 7, 4, "0231")};
    std::string file = Build({Long(256, 2), Long(257, 2), Short(258, 8), Short(259, 1), Short(262, 1), Short(277, 1),
                              Long(278, 2), Long(34665, 0)},
                             {std::string("\x10\x20\x30\x40", 4)});
    uint32_t exifAt = AppendDirectory(file, exif);
    // Point the tag at the directory: its value field is the last entry's.
    size_t entry = file.find(std::string("\x69\x87\x04\x00\x01\x00\x00\x00", 8));
    ASSERT_NE(entry, std::string::npos);
    memcpy(&file[entry + 8], &exifAt, 4);
    Source source(Source::kMemory, file);
    int32_t code = 0;
    TiffPage* page = OpenTiffPage(source, 0, 0, &code);
    ASSERT_NE(page, nullptr);
    uint64_t offset = 0;
    ASSERT_TRUE(TIFFGetField(page->tiff, TIFFTAG_EXIFIFD, &offset));
    EXPECT_EQ(offset, exifAt);
    std::vector<Seen> seen;
    EXPECT_EQ(ReadPrivateSubdirectory(page->tiff, offset, kTable, 7, Record, &seen), 1);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].bytes, U32(1) + U32(250));
    // The handle's own directory is unchanged.
    EXPECT_EQ(TIFFCurrentDirOffset(page->tiff), 8u);
    CloseTiffPage(page);
}

TEST(TiffSubDirectory, BigEndianValuesArriveInHostOrder) {
    // Built by the generator and checked with tiffinfo: ExposureTime 1/60
    // out of line, ISO 400 and ExifVersion in their value fields.
    Source source(Source::kMemory, readertest::FixtureBytes("tiff/exif_mm.tif"));
    int32_t code = 0;
    TiffPage* page = OpenTiffPage(source, 0, 0, &code);
    ASSERT_NE(page, nullptr);
    uint64_t offset = 0;
    ASSERT_TRUE(TIFFGetField(page->tiff, TIFFTAG_EXIFIFD, &offset));
    std::vector<Seen> seen;
    EXPECT_EQ(ReadPrivateSubdirectory(page->tiff, offset, kTable, 7, Record, &seen), 1);
    CloseTiffPage(page);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].bytes, U32(1) + U32(60));
    EXPECT_EQ(seen[1].count, 1u);
    EXPECT_EQ(seen[1].bytes, U16(400));
    EXPECT_EQ(seen[2].bytes, std::string("0230\0", 5));
}
