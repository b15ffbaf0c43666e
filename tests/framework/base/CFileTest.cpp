#include "tests/QvTest.h"

#include "framework/base/CFile.h"

namespace {

TEST(CFile, WritesReadsSeeksAndResizes)
{
    qvtest::TempFolder dir;
    CString path = dir / L"data.bin";
    {
        CFile f(path, CFile::modeCreate | CFile::modeReadWrite);
        f.Write("0123456789", 10);
        EXPECT_EQ(f.GetLength(), 10u);
        EXPECT_EQ(f.Seek(-4, CFile::end), 6u);
        char buf[8] = {};
        EXPECT_EQ(f.Read(buf, 8), 4u);
        EXPECT_STREQ(buf, "6789");
        f.SetLength(3);
        EXPECT_EQ(f.GetLength(), 3u);
        EXPECT_EQ(f.GetFileName(), CString(L"data.bin"));
    }
    EXPECT_EQ(qvtest::ReadFileBytes(path), "012");
}

TEST(CFile, OpenFailureReportsCauseAndThrowsByPointer)
{
    qvtest::TempFolder dir;
    CFile f;
    CFileException error;
    EXPECT_FALSE(f.Open(dir / L"missing.bin", CFile::modeRead, &error));
    EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
    EXPECT_EQ(error.m_lOsError, (LONG)ERROR_FILE_NOT_FOUND);

    bool caught = false;
    try {
        CFile g(dir / L"no\\such\\folder.bin", CFile::modeRead);
    } catch (CFileException* e) {
        caught = true;
        EXPECT_EQ(e->m_cause, CFileException::badPath);
        EXPECT_FALSE(e->GetErrorMessage().IsEmpty());
        e->Delete();
    }
    EXPECT_TRUE(caught);
}

TEST(CFile, SharingFlagsAreHonoured)
{
    qvtest::TempFolder dir;
    CString path = dir.WriteFile(L"shared.bin", "abc");
    CFile reader(path, CFile::modeRead | CFile::shareDenyWrite);
    CFile second;
    EXPECT_TRUE(second.Open(path, CFile::modeRead | CFile::shareDenyNone));
    second.Close();
    EXPECT_FALSE(second.Open(path, CFile::modeWrite | CFile::shareDenyNone));
}

}  // namespace
