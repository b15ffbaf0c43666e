#include "tests/QvTest.h"

#include "crypt/Crc32.h"
#include "crypt/RecoveryRecord.h"

#include <cstring>
#include <string>

namespace {

void PutLe32(std::string& s, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[at + i] = (char)(v >> (8 * i));
}

uint32_t PaddedCrc(const std::string& block, uint32_t blockSize)
{
    std::string padded = block;
    padded.resize(blockSize, '\0');
    Crc32 crc;
    crc.Update(padded.data(), padded.size());
    return crc.GetValue();
}

// A section written by the test itself, after the layout, to check the writer
// and to build sections the writer never makes.
std::string SectionFor(const std::string& data, uint32_t blockSize)
{
    uint64_t count = (data.size() + blockSize - 1) / blockSize;
    std::string section(12, '\0');
    memcpy(&section[0], "\x2B\x16\x80\x08", 4);
    PutLe32(section, 4, blockSize);
    PutLe32(section, 8, (uint32_t)count);
    std::string parity(blockSize, '\0');
    for (uint64_t i = 0; i < count; ++i) {
        std::string block = data.substr(i * blockSize, blockSize);
        uint32_t crc = PaddedCrc(block, blockSize);
        for (int k = 3; k >= 0; --k)
            section += (char)(crc >> (8 * k));
        for (size_t j = 0; j < block.size(); ++j)
            parity[j] ^= block[j];
    }
    section += parity;
    std::string tail(8, '\0');
    PutLe32(tail, 0, (uint32_t)(12 + 4 * count + blockSize));
    memcpy(&tail[4], "\xFF\xE6\x56\x07", 4);
    return section + tail;
}

class RecoveryRecordTest : public ::testing::Test {
protected:
    CString Write(const std::string& bytes) { return m_folder.WriteFile(L"f.dat", bytes); }

    int Verify(const CString& path, int64_t& index, int64_t& count) { return m_record.Verify(path, index, count); }
    int Verify(const CString& path)
    {
        int64_t index = -7, count = -7;
        return m_record.Verify(path, index, count);
    }

    qvtest::TempFolder m_folder;
    CRecoveryRecord m_record;
};

}  // namespace

TEST_F(RecoveryRecordTest, WriterProducesTheLayoutReadersCheck)
{
    for (size_t size : {384u, 512u, 1000u, 4096u, 100000u, 1048576u + 77u}) {
        SCOPED_TRACE(size);
        std::string data = qvtest::PatternBytes(size, (unsigned)size);
        CString path = Write(data);
        ASSERT_EQ(CRecoveryRecord::Append(path), RECOVERY_OK);
        uint32_t bs = CRecoveryRecord::ChooseBlockSize(size);
        EXPECT_EQ(bs % 128, 0u);
        EXPECT_GE(bs, 1024u);
        EXPECT_LE(bs, CRecoveryRecord::MAX_BLOCK_SIZE);
        std::string written = qvtest::ReadFileBytes(path);
        EXPECT_EQ(written, data + SectionFor(data, bs)) << "the writer follows the layout";
        EXPECT_EQ(written.size(), size + CRecoveryRecord::SectionSize(size));
        int64_t index = -7, count = -7;
        EXPECT_EQ(Verify(path, index, count), RECOVERY_OK);
        EXPECT_EQ(index, -1);
        EXPECT_EQ(count, 0);
        EXPECT_EQ(m_record.GetBlockCount(), (int64_t)((size + bs - 1) / bs));
        EXPECT_EQ(m_record.GetBlockSize(), bs);
    }
    EXPECT_EQ(CRecoveryRecord::ChooseBlockSize(1u << 30), 65536u);
    EXPECT_EQ(CRecoveryRecord::ChooseBlockSize(0xFFFFFFFFull), CRecoveryRecord::MAX_BLOCK_SIZE);
}

TEST_F(RecoveryRecordTest, OneDamagedBlockIsFoundAndRepairedByteForByte)
{
    std::string data = qvtest::PatternBytes(10 * 1024 + 300);
    const uint32_t bs = 1024;
    std::string original = data + SectionFor(data, bs);
    // Block 4 in the middle; block 10, the short last one (300 bytes).
    for (size_t offset : {4 * 1024 + 17, 10 * 1024 + 299}) {
        SCOPED_TRACE(offset);
        std::string damaged = original;
        damaged[offset] ^= 0x5A;
        damaged[offset - 9] ^= 0x01;  // two bytes of the same block
        CString path = Write(damaged);
        const FILETIME old = {0, 0x01C30000};  // in 2002
        HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        SetFileTime(file, &old, &old, &old);
        CloseHandle(file);
        int64_t index = 0, count = 0;
        EXPECT_EQ(Verify(path, index, count), RECOVERY_ONE_BAD_BLOCK);
        EXPECT_EQ(index, (int64_t)(offset / bs));
        EXPECT_EQ(count, 1);
        EXPECT_EQ(m_record.Repair(path), RECOVERY_OK);
        EXPECT_EQ(qvtest::ReadFileBytes(path), original) << "only the block's real length is written";
        WIN32_FILE_ATTRIBUTE_DATA after = {};
        GetFileAttributesExW(path, GetFileExInfoStandard, &after);
        EXPECT_EQ(CompareFileTime(&after.ftLastWriteTime, &old), 0) << "a repaired file keeps its times";
        EXPECT_EQ(CompareFileTime(&after.ftCreationTime, &old), 0);
        EXPECT_EQ(Verify(path), RECOVERY_OK);
    }
}

TEST_F(RecoveryRecordTest, TwoDamagedBlocksAreRefusedAndLeftAlone)
{
    std::string data = qvtest::PatternBytes(8 * 1024);
    std::string damaged = data + SectionFor(data, 1024);
    damaged[100] ^= 1;
    damaged[5000] ^= 1;
    CString path = Write(damaged);
    int64_t index = 0, count = 0;
    EXPECT_EQ(Verify(path, index, count), RECOVERY_UNRECOVERABLE);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(index, 4);
    EXPECT_EQ(m_record.Repair(path), RECOVERY_UNRECOVERABLE);
    EXPECT_EQ(qvtest::ReadFileBytes(path), damaged);
}

TEST_F(RecoveryRecordTest, DamageInsideTheSection)
{
    std::string data = qvtest::PatternBytes(4 * 1024);
    std::string good = data + SectionFor(data, 1024);
    const size_t s = data.size();
    struct Case {
        const char* name;
        size_t offset;
        int verify;
        int repair;
    } cases[] = {
        {"a stored CRC shows as a bad block the parity cannot rebuild", s + 12 + 4 + 1, RECOVERY_ONE_BAD_BLOCK,
         RECOVERY_DAMAGED_SECTION},
        {"the parity is not checked by a verification", s + 12 + 16 + 5, RECOVERY_OK, RECOVERY_DAMAGED_SECTION},
        {"head magic", s + 1, RECOVERY_NO_SECTION, RECOVERY_NO_SECTION},
        {"end magic", good.size() - 1, RECOVERY_NO_SECTION, RECOVERY_NO_SECTION},
        {"section length", good.size() - 8, RECOVERY_NO_SECTION, RECOVERY_NO_SECTION},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string damaged = good;
        damaged[c.offset] ^= 0x40;
        CString path = Write(damaged);
        EXPECT_EQ(Verify(path), c.verify);
        int repair = m_record.Repair(path);
        // The parity case: no block is bad, and the result stays "not repaired".
        if (c.verify == RECOVERY_OK)
            EXPECT_NE(repair, RECOVERY_OK);
        else
            EXPECT_EQ(repair, c.repair);
        EXPECT_EQ(qvtest::ReadFileBytes(path), damaged) << "nothing written";
    }
}

TEST_F(RecoveryRecordTest, SectionsThatDoNotFitTheFileAreRefusedBeforeAnythingIsAllocated)
{
    std::string data = qvtest::PatternBytes(3000);
    std::string good = data + SectionFor(data, 1024);
    const size_t s = data.size();
    auto withField = [&](size_t at, uint32_t value) {
        std::string bytes = good;
        PutLe32(bytes, at, value);
        return bytes;
    };
    struct Case {
        const char* name;
        std::string bytes;
        int expected;
    } cases[] = {
        {"negative section length", withField(good.size() - 8, 0xFFFFFFF0u), RECOVERY_NO_SECTION},
        {"section length beyond the file", withField(good.size() - 8, (uint32_t)good.size() - 7), RECOVERY_NO_SECTION},
        {"block size 0", withField(s + 4, 0), RECOVERY_DAMAGED_SECTION},
        {"block size above the limit", withField(s + 4, 102401), RECOVERY_DAMAGED_SECTION},
        {"block size that does not fit the length", withField(s + 4, 512), RECOVERY_DAMAGED_SECTION},
        {"huge block count", withField(s + 8, 0xFFFFFFFFu), RECOVERY_DAMAGED_SECTION},
        {"block count one short", withField(s + 8, 2), RECOVERY_DAMAGED_SECTION},
        {"file under 512 bytes with a valid section", std::string(100, 'x') + SectionFor(std::string(100, 'x'), 128),
         RECOVERY_NO_SECTION},
        {"no section at all", qvtest::PatternBytes(5000), RECOVERY_NO_SECTION},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CString path = Write(c.bytes);
        EXPECT_EQ(Verify(path), c.expected);
        EXPECT_EQ(m_record.Repair(path), c.expected);
    }
    // A 511-byte file whose end looks like a section.
    std::string tiny = std::string(511 - 160, 'y');
    tiny += SectionFor(tiny, 128);
    ASSERT_EQ(tiny.size(), 511u);
    EXPECT_EQ(Verify(Write(tiny)), RECOVERY_NO_SECTION);
    EXPECT_EQ(Verify(m_folder / L"missing.dat"), RECOVERY_CANNOT_OPEN);
}

// Offsets beyond 2 GiB: a sparse file of zeros with a hand-made section; one
// byte damaged past the 2 GiB mark is found and repaired.
TEST_F(RecoveryRecordTest, FilesOver2GiBUse64BitOffsets)
{
    const uint64_t size = (1ull << 31) + 5 * 102400 + 1000;
    const uint32_t bs = CRecoveryRecord::MAX_BLOCK_SIZE;
    const uint64_t count = (size + bs - 1) / bs;
    std::string zeroBlock(bs, '\0');
    std::string section(12, '\0');
    memcpy(&section[0], "\x2B\x16\x80\x08", 4);
    PutLe32(section, 4, bs);
    PutLe32(section, 8, (uint32_t)count);
    uint32_t crc = PaddedCrc(zeroBlock, bs);
    for (uint64_t i = 0; i < count; ++i)
        for (int k = 3; k >= 0; --k)
            section += (char)(crc >> (8 * k));
    section += zeroBlock;
    std::string tail(8, '\0');
    PutLe32(tail, 0, (uint32_t)(12 + 4 * count + bs));
    memcpy(&tail[4], "\xFF\xE6\x56\x07", 4);
    section += tail;

    CString path = m_folder / L"big.dat";
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    auto writeAt = [&](uint64_t offset, const std::string& bytes) {
        LARGE_INTEGER at;
        at.QuadPart = (LONGLONG)offset;
        DWORD wrote = 0;
        return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
               WriteFile(file, bytes.data(), (DWORD)bytes.size(), &wrote, nullptr) && wrote == bytes.size();
    };
    const uint64_t damagedAt = (1ull << 31) + 3 * 102400 + 11;
    ASSERT_TRUE(writeAt(size, section));
    ASSERT_TRUE(writeAt(damagedAt, "\x01"));
    CloseHandle(file);

    int64_t index = 0, badCount = 0;
    EXPECT_EQ(Verify(path, index, badCount), RECOVERY_ONE_BAD_BLOCK);
    EXPECT_EQ(index, (int64_t)(damagedAt / bs));
    EXPECT_EQ(m_record.GetBlockCount(), (int64_t)count);
    EXPECT_EQ(m_record.Repair(path), RECOVERY_OK);
    HANDLE check = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)damagedAt;
    char byte = 'x';
    DWORD got = 0;
    SetFilePointerEx(check, at, nullptr, FILE_BEGIN);
    ReadFile(check, &byte, 1, &got, nullptr);
    CloseHandle(check);
    EXPECT_EQ(byte, 0);
}
