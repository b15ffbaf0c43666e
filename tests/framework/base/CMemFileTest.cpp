// The memory file and the archive: reads past the end, seeks, growth and
// shortening, and values stored and loaded back in order; a short archive
// throws instead of inventing values. Expected bytes written out by hand.
#include "tests/QvTest.h"

#include "framework/base/CArchive.h"
#include "framework/base/CMemFile.h"

#include <vector>

namespace {
std::vector<uint8_t> Contents(const CMemFile& file) { return {file.Data(), file.Data() + file.GetLength()}; }
}  // namespace

TEST(CMemFileTest, ReadsWritesSeeksAndLength)
{
    const uint8_t start[] = {1, 2, 3};
    CMemFile file(start, sizeof start);
    uint8_t buffer[8] = {};
    EXPECT_EQ(file.Read(buffer, 8), 3u) << "a read past the end gives what there is";
    EXPECT_EQ(file.Read(buffer, 8), 0u);
    file.Seek(5, CFile::begin);
    file.Write("\x09", 1);  // beyond the end: the gap reads as zeros
    EXPECT_EQ(Contents(file), (std::vector<uint8_t>{1, 2, 3, 0, 0, 9}));
    EXPECT_EQ(file.Seek(-2, CFile::end), 4u);
    EXPECT_EQ(file.Seek(1, CFile::current), 5u);
    file.SetLength(2);
    EXPECT_EQ(file.GetPosition(), 2u);
    file.SetLength(4);
    EXPECT_EQ(Contents(file), (std::vector<uint8_t>{1, 2, 0, 0}));
    bool thrown = false;
    try {
        file.Seek(-1, CFile::begin);
    } catch (CFileException* e) {
        thrown = e->m_cause == CFileException::badSeek;
        e->Delete();
    }
    EXPECT_TRUE(thrown);
    std::vector<uint8_t> big(100000, 7);
    file.SeekToEnd();
    file.Write(big.data(), (UINT)big.size());
    EXPECT_EQ(file.GetLength(), 100004u);
    EXPECT_FALSE(file.Open(L"C:\\x", CFile::modeRead));
}

TEST(CMemFileTest, AnArchiveStoresLittleEndianValuesAndCountedStrings)
{
    CMemFile file;
    {
        CArchive out(&file, CArchive::store);
        out << (int32_t)-2 << (uint32_t)0x01020304 << CString(L"\x00E9z") << CString();
    }
    EXPECT_EQ(Contents(file), (std::vector<uint8_t>{0xFE, 0xFF, 0xFF, 0xFF, 4, 3, 2, 1, 2, 0, 0, 0, 0xE9, 0, 'z', 0,
                                                    0, 0, 0, 0}));
    file.SeekToBegin();
    CArchive in(&file, CArchive::load);
    int32_t a = 0;
    uint32_t b = 0;
    CString c(L"old"), d(L"old");
    in >> a >> b >> c >> d;
    EXPECT_EQ(a, -2);
    EXPECT_EQ(b, 0x01020304u);
    EXPECT_EQ(c, CString(L"\x00E9z"));
    EXPECT_TRUE(d.IsEmpty());
    // A string longer than what is left, and a value cut short, throw.
    for (std::vector<uint8_t> bad : {std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0x7F, 'a', 0}, std::vector<uint8_t>{1, 2}}) {
        CMemFile cut(bad.data(), bad.size());
        CArchive load(&cut, CArchive::load);
        bool thrown = false;
        try {
            CString s;
            load >> s;
        } catch (CFileException* e) {
            thrown = e->m_cause == CFileException::endOfFile;
            e->Delete();
        }
        EXPECT_TRUE(thrown);
    }
}
