// Byte sources: the file source (own buffer over the system's file calls)
// and the memory source, and the entry points that open and close them.
#include "../../QvTest.h"
#include "ReaderTestSupport.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicIOFile.h"
#include "imaging/readers/PicIOMemory.h"
#include "imaging/readers/PicFileType.h"
#include "imaging/readers/PicSources.h"

using readertest::Source;

namespace {
std::string TenBytes() { return "0123456789"; }
}  // namespace

TEST(MemorySource, SeeksStayInsideTheBlock) {
    std::string bytes = TenBytes();
    CPicIO_Memory source;
    ASSERT_TRUE(source.Open(bytes.data(), 10));
    struct Case {
        const char* fault;
        int64_t offset;
        int origin;
        bool ok;
        uint32_t position;
    } cases[] = {
        {"last byte reachable from the start", 9, 0, true, 9},
        {"one past the end is refused", 10, 0, false, 9},
        {"end with offset 0 lands after the last byte", 0, 2, true, 10},
        {"before the start from the end is refused", -11, 2, false, 10},
        {"positive offset from the end is refused", 1, 2, false, 10},
        {"whole block back from the end reaches the start", -10, 2, true, 0},
        {"relative move forward", 3, 1, true, 3},
        {"relative move before the start is refused", -4, 1, false, 3},
        {"unknown origin is refused", 0, 7, false, 3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(source.Seek(c.offset, c.origin), c.ok) << c.fault;
        EXPECT_EQ(source.position, c.position) << c.fault;
    }
    ASSERT_TRUE(source.Seek(0, 2));
    char byte;
    EXPECT_EQ(source.Read(&byte, 1), 0u);
}

TEST(MemorySource, EndIsReportedWhileTheLastByteIsUnread) {
    std::string bytes = TenBytes();
    CPicIO_Memory source;
    ASSERT_TRUE(source.Open(bytes.data(), 10));
    ASSERT_TRUE(source.Seek(8, 0));
    EXPECT_FALSE(source.IsEOF());
    ASSERT_TRUE(source.Seek(9, 0));
    EXPECT_TRUE(source.IsEOF());
    char byte = 0;
    EXPECT_EQ(source.Read(&byte, 1), 1u);
    EXPECT_EQ(byte, '9');
    EXPECT_STREQ(source.GetName(), "[Memory]");
}

TEST(FileSource, ReadsSeeksAndEndLikeAStream) {
    std::string bytes = qvtest::PatternBytes(200000, 7);  // several buffers long
    Source source(Source::kFile, bytes, L"pattern.jpg");
    ASSERT_NE(source.get(), nullptr);
    CPicIO& io = *source.get();
    uint64_t size = 0;
    ASSERT_TRUE(io.GetSize(&size));
    EXPECT_EQ(size, bytes.size());
    // One byte at a time across a buffer boundary, then a block, then seeks.
    std::string got(70000, '\0');
    for (size_t i = 0; i < 70000; ++i) ASSERT_EQ(io.Read(&got[i], 1), 1u);
    EXPECT_EQ(got, bytes.substr(0, 70000));
    EXPECT_FALSE(io.IsEOF());
    ASSERT_TRUE(io.Seek(-5, 1));
    char five[5];
    ASSERT_TRUE(io.ReadExact(five, 5));
    EXPECT_EQ(std::string(five, 5), bytes.substr(69995, 5));
    ASSERT_TRUE(io.Seek(-1, 2));
    char two[2] = {0, 0};
    EXPECT_EQ(io.Read(two, 2), 1u) << "a 2-byte read with one byte left delivers that byte";
    EXPECT_EQ(two[0], bytes.back());
    EXPECT_TRUE(io.IsEOF());
    EXPECT_TRUE(io.Seek(10, 2)) << "past the end succeeds";
    EXPECT_EQ(io.Read(two, 1), 0u);
    EXPECT_FALSE(io.Seek(-1, 0)) << "before the start fails";
    ASSERT_TRUE(io.Seek(123456, 0));
    uint64_t position = 0;
    ASSERT_TRUE(io.Tell(&position));
    EXPECT_EQ(position, 123456u);
    ASSERT_TRUE(io.ReadExact(five, 5));
    EXPECT_EQ(std::string(five, 5), bytes.substr(123456, 5));
    const char* name = io.GetName();
    EXPECT_EQ(std::string(PicExtensionOf(name)), ".jpg");
}

TEST(FileSource, EndIsFalseUntilAReadMeetsIt) {
    Source source(Source::kFile, TenBytes());
    char buffer[10];
    ASSERT_TRUE(source.get()->ReadExact(buffer, 10));
    EXPECT_FALSE(source.get()->IsEOF());
    EXPECT_EQ(source.get()->Read(buffer, 1), 0u);
    EXPECT_TRUE(source.get()->IsEOF());
}

TEST(FileSource, UnopenablePathsAreRefused) {
    CPicIO_File source;
    CString path(L"Z:\\");
    for (int i = 0; i < 300; ++i) path += L'a';
    EXPECT_FALSE(source.OpenW(path)) << "no such file";
    EXPECT_FALSE(source.OpenW(L""));
    EXPECT_FALSE(source.OpenW(nullptr));
    EXPECT_FALSE(source.IsOpen());
}

TEST(SourceEntryPoints, OpenFailuresAndClosePosition) {
    struct Case {
        const char* fault;
        CPicIO* (*open)();
        int32_t code;
    } cases[] = {
        {"memory of size 0 is a bad parameter", [] { return pic_OpenMemorySource("x", 0); }, PIC_ERR_BAD_PARAM},
        {"null memory is a bad parameter", [] { return pic_OpenMemorySource(nullptr, 4); }, PIC_ERR_BAD_PARAM},
        {"a missing file cannot be opened",
         [] { return pic_OpenFileSourceW(L"Z:\\no\\such\\folder\\file.png"); }, PIC_ERR_FILE_OPEN},
        {"an empty path cannot be opened", [] { return pic_OpenFileSourceW(L""); }, PIC_ERR_FILE_OPEN},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.open(), nullptr) << c.fault;
        EXPECT_EQ(pic_GetLastError(), c.code) << c.fault;
    }
    EXPECT_EQ(pic_CloseSource(nullptr), 0u);
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM);
    EXPECT_FALSE(pic_Seek(nullptr, 0, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM);

    std::string bytes = TenBytes();
    CPicIO* source = pic_OpenMemorySource(bytes.data(), 10);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_OK);
    EXPECT_TRUE(pic_Seek(source, 7, 0));
    EXPECT_EQ(pic_CloseSource(source), 7u) << "close answers where the last reader stopped";
}

TEST(FileSource, FilesOver4GiBHaveTheirTrueSizeAndPositions) {
    qvtest::TempFolder folder;
    CString path = folder / L"sparse.bin";
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end;
    end.QuadPart = (LONGLONG)5 << 30;  // sparse: no disk blocks are written
    ASSERT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
    CPicIO* source = pic_OpenFileSourceW(path);
    ASSERT_NE(source, nullptr);
    uint64_t size = 0;
    ASSERT_TRUE(source->GetSize(&size));
    EXPECT_EQ(size, (uint64_t)5 << 30);
    ASSERT_TRUE(source->Seek(-3, 2));
    uint64_t position = 0;
    ASSERT_TRUE(source->Tell(&position));
    EXPECT_EQ(position, ((uint64_t)5 << 30) - 3);
    EXPECT_EQ(source->BytesLeft(), 3u);
    char bytes[4];
    EXPECT_EQ(source->Read(bytes, 4), 3u);
    EXPECT_EQ(pic_CloseSource(source), (uint64_t)5 << 30);
}
