// Byte containers, the memory file, the disk file and the exception texts.
#include "tests/zip/ZipTestSupport.h"
#include "framework/base/ZipCodePage.h"

#include <cerrno>

namespace {

TEST(PkAutoBuffer, SameSizeKeepsBytesAndZeroFillClearsThem)
{
    CPkAutoBuffer buffer(8, false);
    char* bytes = buffer.GetBuffer();
    memcpy(bytes, "abcdefgh", 8);
    EXPECT_EQ(buffer.Allocate(8, true), bytes);
    EXPECT_EQ(std::string(bytes, 8), std::string(8, '\0'));
    EXPECT_EQ(buffer.Allocate(0, false), nullptr);
    EXPECT_EQ(buffer.GetSize(), 0u);

    CPkAutoBuffer a(3, true), b;
    memcpy(a.GetBuffer(), "xyz", 3);
    b = a;
    EXPECT_NE(a.GetBuffer(), b.GetBuffer()) << "copies never share bytes";
    EXPECT_EQ(std::string(b.GetBuffer(), 3), "xyz");
}

TEST(ZipCodePage, ConvertsWithoutTerminatorAndRefusesLossyText)
{
    CPkAutoBuffer bytes;
    EXPECT_EQ(ZipStringToBytes(CString(), bytes, CP_UTF8), 0);
    EXPECT_EQ(bytes.GetSize(), 0u);
    CString text = CString::FromUtf8("Grüße 日本");
    int n = ZipStringToBytes(text, bytes, CP_UTF8);
    EXPECT_EQ(n, (int)strlen("Grüße 日本"));
    CString back;
    EXPECT_EQ(ZipBytesToString(bytes, back, CP_UTF8), text.GetLength());
    EXPECT_EQ(back, text);

    EXPECT_EQ(ZipStringToBytesExact(CString::FromUtf8("Привет"), bytes, 437), -1) << "no '?' for lost characters";
    EXPECT_EQ(bytes.GetSize(), 0u);
    EXPECT_EQ(ZipStringToBytesExact(CString::FromUtf8("é"), bytes, 437), 1);
    EXPECT_EQ((uint8_t)bytes.GetBuffer()[0], 0x82);
}

TEST(PkMemFile, GrowsInStepsThenGeometrically)
{
    CPkMemFile file;
    EXPECT_TRUE(file.IsClosed());
    EXPECT_EQ(file.GetLength(), 0u);
    EXPECT_TRUE(file.GetFilePath().IsEmpty());
    EXPECT_FALSE(file.HasFilePath());
    file.Write("x", 1);
    EXPECT_EQ(file.GetCapacity(), 1024u);

    CPkMemFile big;
    std::string bytes(3000, 'a');
    big.Write(bytes.data(), 3000);
    EXPECT_EQ(big.GetCapacity(), 3072u) << "one growth of three steps";
    // Appending byte by byte must not reallocate at every step.
    int growths = 0;
    uint32_t capacity = big.GetCapacity();
    for (int i = 0; i < 1 << 20; ++i) {
        big.Write("b", 1);
        if (big.GetCapacity() != capacity) {
            ++growths;
            capacity = big.GetCapacity();
        }
    }
    EXPECT_LT(growths, 20);
    EXPECT_EQ(big.GetLength(), 3000u + (1u << 20));
}

TEST(PkMemFile, SeeksReadsAndRefusesWhatItCannotHold)
{
    CPkMemFile file;
    file.Write("0123456789", 10);
    EXPECT_EQ(file.Seek(10, CFile::end), 20u);
    char buf[4];
    EXPECT_EQ(file.Read(buf, 4), 0u);
    file.Write("ab", 2);
    EXPECT_EQ(file.GetLength(), 22u);
    file.SetLength(5);
    EXPECT_EQ(file.GetPosition(), 5u);
    EXPECT_EQ(ziptest::CauseOf([&] { file.Seek(-6, CFile::current); }), ZipCauseMemError);
    EXPECT_EQ(ziptest::CauseOf([&] { file.Seek(0x100000000ll, CFile::begin); }), ZipCauseMemError);
    EXPECT_EQ(ziptest::CauseOf([&] { file.Seek(0xFFFFFFF0ll, CFile::begin); file.Write(buf, 32); }),
              ZipCauseMemError);
    EXPECT_EQ(ziptest::CauseOf([&] { file.SetLength(0x100000001ull); }), ZipCauseMemError);
}

TEST(PkAbstractFile, SeekDirectedCountsFromEitherEnd)
{
    CPkMemFile file;
    std::string bytes(100, 'z');
    file.Write(bytes.data(), 100);
    EXPECT_EQ(file.SeekDirected(90, true), 90u);
    EXPECT_EQ(file.SeekDirected(10, false), 90u);
}

TEST(PkFile, OpenFailureThrowsOnlyWhenAsked)
{
    qvtest::TempFolder dir;
    CPkFile file;
    EXPECT_FALSE(file.Open(dir / L"missing.zip", CFile::modeRead, false));
    bool thrown = false;
    try {
        file.Open(dir / L"missing.zip", CFile::modeRead, true);
    } catch (CFileException* e) {
        thrown = true;
        e->Delete();
    }
    EXPECT_TRUE(thrown);
}

TEST(PkException, CarriesCausePathAndSystemError)
{
    SetLastError(0);
    CPkException memory(ZipCauseMemError, nullptr);
    EXPECT_EQ(memory.m_uSystemError, 0u);
    EXPECT_TRUE(memory.m_szFileName.IsEmpty());
    EXPECT_EQ(memory.DescribeCause(), CString(L"Not enough memory."));

    SetLastError(ERROR_FILE_NOT_FOUND);
    CPkException missing(ZipCauseNotFound, L"a.z03");
    EXPECT_EQ(missing.DescribeCause(), missing.DescribeSystemError());
    EXPECT_FALSE(missing.DescribeCause().IsEmpty());
    SetLastError(0);
    errno = 0;
    CPkException unspecified(ZipCauseNotFound, nullptr);
    EXPECT_EQ(unspecified.DescribeCause(), CString(L"Unspecified error"));

    CPkException damaged(ZipCauseBadZipFile, nullptr);
    WCHAR buf[10];
    EXPECT_TRUE(damaged.GetErrorMessage(buf, 10));
    EXPECT_EQ(CString(buf), CString(L"Damaged o"));
    EXPECT_FALSE(damaged.GetErrorMessage(nullptr, 10));

    SetLastError(ERROR_ACCESS_DENIED);
    CPkException removing(ZipCauseNotRemoved, L"x");
    CString text = removing.DescribeCause();
    EXPECT_EQ(text.Left(29), CString(L"Error while removing a file ("));
    EXPECT_EQ(text.Right(2), CString(L")."));
}

}  // namespace
