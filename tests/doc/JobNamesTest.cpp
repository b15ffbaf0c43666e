#include "tests/doc/JobTestSupport.h"

#include "crypt/EncryptedFileName.h"
#include "doc/JobNames.h"

using namespace jobtest;

TEST(JobNames, OnlyTheExactGeneratedShapeCountsAsEncrypted)
{
    struct Case {
        const WCHAR* name;
        bool generated;
    } cases[] = {
        {L"3a{0F12A9BC44-7E01}.dat", true},
        {L"3A{0f12a9bc44-7e01}.DAT", true},
        {L"Setup{1234-5678}.log", false},
        {L"x{1234567890-ABCD}.dat", false},
        {L"3a{0F12A9BC44-7E01}.dat.txt", false},
        {L"3a{0F12A9BC4-7E01}.dat", false},
        {L"3a{0F12A9BC44_7E01}.dat", false},
        {L"3a{0F12A9BC4G-7E01}.dat", false},
        {L"3a(0F12A9BC44-7E01).dat", false},
        {L"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsGeneratedEncryptedFileName(c.name), c.generated) << CString(c.name).ToUtf8();
    for (int i = 0; i < 20; ++i) {
        EXPECT_TRUE(IsGeneratedEncryptedFileName(MakeRandomEncryptedFileName()));
        CString plain;
        plain.Format(L"file %d.txt", i);
        EXPECT_TRUE(IsGeneratedEncryptedFileName(MakeStaticEncryptedFileName(plain)));
    }
}

TEST(JobNames, NamePartsAndShortNames)
{
    for (const WCHAR* bad : {L"", L".", L"..", L"a\\b", L"a/b", L"c:", L"tab\there", L"bell\x07", L"del\x7F"})
        EXPECT_FALSE(IsUsableNamePart(bad)) << CString(bad).ToUtf8();
    for (const WCHAR* good : {L"a", L"...", L".profile", L"name with spaces.txt", L"\x00E4\x00F6.txt"})
        EXPECT_TRUE(IsUsableNamePart(good)) << CString(good).ToUtf8();

    struct Case {
        const WCHAR* stored;
        const WCHAR* shortName;
    } cases[] = {
        {L"report.txt", L"_file.txt"},
        {L"abcdefghijklmnopqrstuvwxyz.txt", L"abcdefghijklmnopqrst.txt"},
        {L"no extension", L"_file.ZZZ"},
        {L".hidden", L"_file.ZZZ"},
        {L"..\\..\\evil.txt", L"_file.txt"},
        {L"a\\b\\c\\d\\e\\f\\g\\h\\i\\j.doc", L"_file.doc"},
        {L"weird.ext\\..", L"_file.ZZZ"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ShortenedStoredName(c.stored), CString(c.shortName)) << CString(c.stored).ToUtf8();

    EXPECT_EQ(NetworkLongPath(L"\\\\server\\share\\x.dat"), CString(L"\\\\?\\UNC\\server\\share\\x.dat"));
    EXPECT_EQ(NetworkLongPath(L"\\\\?\\UNC\\server\\share\\x.dat"), CString(L"\\\\?\\UNC\\server\\share\\x.dat"));
    EXPECT_EQ(NetworkLongPath(L"C:\\folder\\x.dat"), CString(L"C:\\folder\\x.dat"));
}

TEST(JobNames, UniqueNamesCountUpFromTwo)
{
    qvtest::TempFolder folder;
    CString base = folder.Path() + L"\\";
    EXPECT_EQ(UniqueNameInFolder(base, L"a.txt"), CString(L"a.txt"));
    folder.WriteFile(L"a.txt", "1");
    folder.WriteFile(L"a (2).txt", "2");
    CreateDirectoryW(folder / L"a (3).txt", nullptr);
    EXPECT_EQ(UniqueNameInFolder(base, L"a.txt"), CString(L"a (4).txt")) << "folders count as taken";
    EXPECT_EQ(UniqueNameInFolder(base, L"A.TXT"), CString(L"A (4).TXT")) << "names compare without regard to case";
    folder.WriteFile(L".profile", "");
    EXPECT_EQ(UniqueNameInFolder(base, L".profile"), CString(L".profile (2)"));
    folder.WriteFile(L"archive.tar.gz", "");
    EXPECT_EQ(UniqueNameInFolder(base, L"archive.tar.gz"), CString(L"archive.tar (2).gz"));
}
