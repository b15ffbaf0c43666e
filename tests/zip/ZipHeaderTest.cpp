// Entry headers: flags, levels, times, attributes; the traditional cipher.
#include "tests/zip/ZipTestSupport.h"

#include <ctime>

namespace {

TEST(PkFileHeader, LevelsGiveFlagBitsAndBack)
{
    struct Case {
        int level;
        uint16_t bits;
        int back;
    } cases[] = {{1, 6, 1}, {2, 4, 2}, {5, 0, -1}, {8, 2, 9}, {9, 2, 9}, {-1, 0, -1}};
    for (const Case& c : cases) {
        CPkFileHeader header;
        header.SetEntryName(L"f.txt");
        header.PrepareForWriting(c.level, false);
        EXPECT_EQ(header.m_uFlag & 6, c.bits) << "level " << c.level;
        EXPECT_EQ(header.GetCompressionLevel(), c.back) << "level " << c.level;
        EXPECT_EQ(header.m_uVersionNeeded, 20);
    }
    CPkFileHeader stored;
    stored.m_uMethod = 0;
    stored.PrepareForWriting(9, false);
    EXPECT_EQ(stored.m_uFlag & 6, 0);
    CPkFileHeader encrypted;
    encrypted.m_uEncryptionMethod = 0;
    encrypted.PrepareForWriting(6, false);
    EXPECT_EQ(encrypted.m_uFlag & 9, 9) << "encrypted entries carry a data descriptor";
}

TEST(PkFileHeader, DosTimesFollowLocalTime)
{
    uint16_t date, time;
    struct tm t1979 = {};
    t1979.tm_year = 79;
    t1979.tm_mday = 5;
    t1979.tm_mon = 3;
    t1979.tm_isdst = -1;
    SecondsToDosTime(mktime(&t1979), date, time);
    EXPECT_EQ(date >> 9, 0);
    struct tm jan1980 = {};
    jan1980.tm_year = 80;
    jan1980.tm_mday = 1;
    jan1980.tm_isdst = -1;
    EXPECT_EQ(DosTimeToSeconds(0x21, 0), (int64_t)mktime(&jan1980));
    int64_t now = 1700000000;
    SecondsToDosTime(now, date, time);
    EXPECT_EQ(DosTimeToSeconds(date, time), now - now % 2);
}

TEST(PkFileHeader, UnixModesBecomeWindowsAttributes)
{
    struct Case {
        uint32_t mode;
        DWORD attributes;
    } cases[] = {{0x81A4, 0x20}, {0x41ED, 0x10}, {0x8100, 0x23}, {0x81ED, 0}};
    for (const Case& c : cases) {
        CPkFileHeader header;
        header.m_iSystemCompatibility = 3;
        header.m_uComprSize = 10;
        header.m_uExternalAttr = c.mode << 16;
        header.SetEntryName(L"file");
        EXPECT_EQ(header.GetSystemAttributes(), c.attributes) << std::hex << c.mode;
    }
    CPkFileHeader folder;
    folder.m_iSystemCompatibility = 3;
    folder.SetEntryName(L"dir/");
    EXPECT_TRUE(folder.IsDirectory()) << "a trailing slash makes a folder when nothing else tells";

    CPkFileHeader header;
    header.SetSystemAttributes(FILE_ATTRIBUTE_DIRECTORY);
    header.SetEntryName(L"d");
    header.PrepareForWriting(0, false);
    EXPECT_EQ(header.m_uVersionNeeded, 10);
    EXPECT_EQ(header.m_uExternalAttr, 0x10u | (0x41FDu << 16)) << "rwxrwxr-x folder";
}

TEST(PkCrc32Cryptograph, RoundTripsInPiecesOfAnySize)
{
    CPkAutoBuffer password(6, false);
    memcpy(password.GetBuffer(), "secret", 6);
    std::string plain = qvtest::PatternBytes(1000, 3), whole = plain, pieces = plain;
    CPkCrc32Cryptograph a, b;
    a.InitKeys(password);
    a.Encrypt(&whole[0], 1000);
    b.InitKeys(password);
    for (size_t at = 0, n = 1; at < 1000; at += n, n = n * 2 + 1)
        b.Encrypt(&pieces[at], (uint32_t)std::min<size_t>(n, 1000 - at));
    EXPECT_EQ(whole, pieces);
    EXPECT_NE(whole, plain);
    CPkCrc32Cryptograph c;
    c.InitKeys(password);
    c.Decrypt(&whole[0], 1000);
    EXPECT_EQ(whole, plain);
}

TEST(PkCrc32Cryptograph, EncryptionHeadersNeverRepeat)
{
    // Same file, password and second: only the random bytes can differ.
    std::string data = "the same content";
    std::string one = ziptest::PackInMemory({{L"a.txt", data}}, L"pw");
    std::string two = ziptest::PackInMemory({{L"a.txt", data}}, L"pw");
    size_t header = 30 + 5;
    ASSERT_GT(one.size(), header + 12);
    EXPECT_NE(one.substr(header, 12), two.substr(header, 12));
    EXPECT_EQ(ziptest::TestAllInMemory(one, L"pw"), 0);
    EXPECT_EQ(ziptest::TestAllInMemory(one, L"wrong"), ZipCauseBadPassword);
}

TEST(DeflateCompressor, EmptyAndStoredEncryptedEntriesHaveTheirSizes)
{
    std::string empty = ziptest::PackInMemory({{L"e", ""}}, nullptr, 6);
    CPkMemFile memory;
    memory.Write(empty.data(), (UINT)empty.size());
    CPkArchive archive;
    archive.OpenArchive(memory, CPkStorage::omOpen);
    CPkFileHeader header;
    ASSERT_TRUE(archive.GetEntryInfo(header, 0));
    EXPECT_EQ(header.m_uMethod, 8);
    EXPECT_EQ(header.m_uComprSize, 2u) << "an empty raw deflate stream";
    EXPECT_EQ(header.m_uUncomprSize, 0u);
    archive.CloseArchive();

    std::string stored = ziptest::PackInMemory({{L"s", std::string(100, 'q')}}, L"pw", 0);
    CPkMemFile memory2;
    memory2.Write(stored.data(), (UINT)stored.size());
    archive.OpenArchive(memory2, CPkStorage::omOpen);
    archive.SetPassword(L"pw");
    ASSERT_TRUE(archive.GetEntryInfo(header, 0));
    EXPECT_EQ(header.m_uComprSize, 112u);
    ASSERT_TRUE(archive.BeginEntryRead(0));
    char buf[30];
    uint32_t total = 0, got;
    while ((got = archive.ReadEntryData(buf, sizeof buf)) > 0) {
        EXPECT_LE(got, sizeof buf);
        total += got;
    }
    EXPECT_EQ(total, 100u);
    EXPECT_EQ(archive.EndEntryRead(), 1);
    archive.CloseArchive();
}

}  // namespace
