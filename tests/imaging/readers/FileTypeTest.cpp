// Detection of the format from the first bytes, the extension, a Targa
// footer and a Photo CD signature.
#include "../../QvTest.h"
#include "ReaderTestSupport.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicFileType.h"
#include "imaging/readers/PicSources.h"

using readertest::Source;

namespace {
std::string Padded(const std::string& head, size_t size = 100) {
    std::string bytes = head;
    bytes.resize(std::max(size, head.size()), '\x55');
    return bytes;
}

std::string WithPhotoCdSignature(std::string head) {
    head.resize(3000, '\x11');
    head.replace(2048, 3, "PCD");
    return head;
}

std::string WithTargaFooter(size_t size) {
    std::string bytes(size, '\x22');
    // Eight zero bytes, the signature and its '\0' (the array's own).
    static const char kFooter[] = "\0\0\0\0\0\0\0\0TRUEVISION-XFILE.";
    bytes.append(kFooter, sizeof kFooter);
    return bytes;
}
}  // namespace

TEST(FileType, TableOfSignaturesNamesAndFooters) {
    struct Case {
        const char* fault;
        std::string bytes;
        const WCHAR* name;
        int32_t fromFile;
        int32_t fromMemory;
    } cases[] = {
        {"BM is a bitmap", Padded("BM"), L"a.bin", PIC_FT_BMP, PIC_FT_BMP},
        {"GIF89a", Padded("GIF89a"), L"a.bin", PIC_FT_GIF, PIC_FT_GIF},
        {"GIF87a", Padded("GIF87a"), L"a.bin", PIC_FT_GIF, PIC_FT_GIF},
        {"JFIF JPEG", Padded("\xFF\xD8\xFF\xE0"), L"a.bin", PIC_FT_JPEG, PIC_FT_JPEG},
        {"EXIF JPEG (FF E1) is still JPEG", Padded("\xFF\xD8\xFF\xE1"), L"a.bin", PIC_FT_JPEG, PIC_FT_JPEG},
        {"PNG", Padded("\x89PNG\r\n\x1A\n"), L"a.bin", PIC_FT_PNG, PIC_FT_PNG},
        {"PCX version 5", Padded(std::string("\x0A\x05", 2)), L"a.bin", PIC_FT_PCX, PIC_FT_PCX},
        {"TIFF big-endian", Padded("MM"), L"a.bin", PIC_FT_TIFF, PIC_FT_TIFF},
        {"TIFF little-endian", Padded("II"), L"a.bin", PIC_FT_TIFF, PIC_FT_TIFF},
        {"placeable metafile", Padded("\xD7\xCD\xC6\x9A"), L"a.bin", PIC_FT_WMF, PIC_FT_WMF},
        {"old metafile", Padded(std::string("\x01\x00\x09\x00\x00", 5)), L"a", PIC_FT_WMF, PIC_FT_WMF},
        {"EMF at offset 40", Padded(std::string(40, '\x01').append(" EMF", 4)), L"a", PIC_FT_EMF, PIC_FT_EMF},
        {"EMF needs 44 bytes", std::string(40, '\x01').append(" EM", 3), L"a", PIC_FT_NONE, PIC_FT_NONE},
        {"Photoshop", Padded("8BPS"), L"a", PIC_FT_PSD, PIC_FT_PSD},
        {"TLA with password", Padded("TLA\x01"), L"a", PIC_FT_TLA, PIC_FT_TLA},
        {"TLA without password", Padded("TLAU"), L"a", PIC_FT_TLAU, PIC_FT_TLAU},
        {"Photo CD overview", Padded("PCD_OPA"), L"a", PIC_FT_PCD_OVERVIEW, PIC_FT_PCD_OVERVIEW},
        {"JPEG 2000 file", Padded(std::string("\0\0\0\x0CjP  \r", 9)), L"a", PIC_FT_JP2, PIC_FT_JP2},
        {"compound document", Padded("\xD0\xCF\x11\xE0"), L"a", PIC_FT_COMPOUND, PIC_FT_COMPOUND},
        {"P4 is a bitmap map whatever follows", Padded("P4junk"), L"a", PIC_FT_PBM, PIC_FT_PBM},
        {"P5 grey map", Padded("P5"), L"a", PIC_FT_PGM, PIC_FT_PGM},
        {"P6 pixel map", Padded("P6"), L"a", PIC_FT_PPM, PIC_FT_PPM},
        {"WBMP only by its extension", Padded(std::string(4, '\0')), L"a.WBMP", PIC_FT_WBMP, PIC_FT_NONE},
        {"CALS only by its extension", Padded("xx"), L"a.cal", PIC_FT_CALS, PIC_FT_NONE},
        {"Targa by extension", Padded("xx"), L"pic.tga", PIC_FT_TGA, PIC_FT_NONE},
        {"Targa by footer from memory too", WithTargaFooter(40), L"a.bin", PIC_FT_TGA, PIC_FT_TGA},
        {"Photo CD image pack by content", WithPhotoCdSignature("xx"), L"a.bin", PIC_FT_PCD, PIC_FT_PCD},
        {"Photo CD image pack by name", Padded("xx", 3000), L"img0001.PCD", PIC_FT_PCD, PIC_FT_NONE},
        {"icon magic never decides: no footer test, Photo CD test",
         WithPhotoCdSignature(std::string("\0\0\1\0", 4)), L"x.ico", PIC_FT_PCD, PIC_FT_PCD},
        {"icon magic without Photo CD is unknown", Padded(std::string("\0\0\1\0", 4), 3000), L"x.ico",
         PIC_FT_NONE, PIC_FT_NONE},
        {"shorter than 18 bytes without magic is unknown", "abcdefghij", L"a.bin", PIC_FT_NONE, PIC_FT_NONE},
        {"2048 bytes or fewer cannot be Photo CD", Padded("zz", 2048), L"a.bin", PIC_FT_NONE, PIC_FT_NONE},
        {"single byte", "B", L"a.bin", PIC_FT_NONE, PIC_FT_NONE},
    };
    for (const Case& c : cases) {
        Source file(Source::kFile, c.bytes, c.name);
        Source memory(Source::kMemory, c.bytes);
        ASSERT_NE(file.get(), nullptr) << c.fault;
        ASSERT_NE(memory.get(), nullptr) << c.fault;
        EXPECT_EQ(pic_GuessFileType(file), c.fromFile) << c.fault << " (file)";
        EXPECT_EQ(pic_GetLastError(), PIC_ERR_OK) << c.fault;
        EXPECT_EQ(pic_GuessFileType(memory), c.fromMemory) << c.fault << " (memory)";
        EXPECT_EQ(readertest::CallDepth(), 0) << c.fault;
    }
}

TEST(FileType, NullSourceReportsBadParameterAndClearsOtherwise) {
    EXPECT_EQ(pic_GuessFileType(nullptr), PIC_FT_NONE);
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM);
    std::string bytes = "BM";
    Source memory(Source::kMemory, bytes);
    EXPECT_EQ(pic_GuessFileType(memory), PIC_FT_BMP);
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_OK);
}
