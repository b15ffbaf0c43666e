// The writer thread: whatever the offsets and sizes, the file receives the
// caller's bytes and the buffers in order, byte for byte, whether a piece
// goes around the system's file cache or through it; the caller's own writes
// after Finish land where it puts them.
#include "tests/QvTest.h"

#include "crypt/AsyncWriter.h"
#include "crypt/RawFile.h"

#include <cstring>
#include <vector>

namespace {

const size_t kBuffer = 1u << 20;

struct WriterCase {
    const char* what;
    size_t lead;                // bytes the caller writes itself first
    std::vector<size_t> sizes;  // then buffers of these sizes, in order
};

const WriterCase kCases[] = {
    {"aligned whole buffers", 0, {kBuffer, kBuffer, kBuffer}},
    {"aligned, then a short last buffer", 0, {kBuffer, kBuffer, 5000}},
    {"a header first, then buffers ending on whole pieces", 384, {kBuffer - 384, kBuffer, 77}},
    {"a header first and full buffers: nothing aligned", 384, {kBuffer, kBuffer, kBuffer}},
    {"a tiny last buffer after aligned ones", 0, {4096, 1}},
    {"nothing but small pieces", 10, {100, 4096, 3}},
};

}  // namespace

TEST(AsyncWriter, WritesEveryByteInOrderAroundTheCacheOrThroughIt)
{
    qvtest::TempFolder folder;
    for (const WriterCase& c : kCases) {
        SCOPED_TRACE(c.what);
        std::string expected = qvtest::PatternBytes(c.lead, 3);
        CRawFile file;
        ASSERT_TRUE(file.Create(folder / L"out.bin", FILE_SHARE_READ));
        ASSERT_EQ(file.Write(expected.data(), expected.size()), expected.size());
        {
            CAsyncWriter writer(file, kBuffer, 2);
            ASSERT_TRUE(writer.Start());
            unsigned variant = 10;
            for (size_t size : c.sizes) {
                std::string bytes = qvtest::PatternBytes(size, variant++);
                uint8_t* buffer = writer.AcquireBuffer();
                ASSERT_NE(buffer, nullptr);
                memcpy(buffer, bytes.data(), size);
                writer.Submit(buffer, size);
                expected += bytes;
            }
            ASSERT_TRUE(writer.Finish());
            // The caller rewrites a few bytes near the start, as the
            // encryption does with its header, and appends some.
            ASSERT_TRUE(file.Seek(2));
            ASSERT_EQ(file.Write("AB", 2), 2u);
            ASSERT_TRUE(file.Seek(expected.size()));
            ASSERT_EQ(file.Write("tail", 4), 4u);
        }
        file.Close();
        expected.replace(2, 2, "AB");
        expected += "tail";
        EXPECT_TRUE(qvtest::ReadFileBytes(folder / L"out.bin") == expected);
    }
}
