#include "crypt/RecoveryRecord.h"

#include "crypt/Crc32.h"
#include "crypt/RawFile.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

const uint8_t kHeadMagic[4] = {0x2B, 0x16, 0x80, 0x08};
const uint8_t kEndMagic[4] = {0xFF, 0xE6, 0x56, 0x07};
const uint32_t kMinWrittenBlockSize = 1024;
const uint32_t kCipherBlock = 128;
// The protected region is read this many bytes at a time (whole blocks, at least one).
const size_t kReadChunk = 1 << 20;
const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;

uint32_t LoadLe32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | ((uint32_t)p[3] << 24); }
void StoreLe32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = (uint8_t)(v >> (8 * i));
}
uint32_t LoadBe32(const uint8_t* p) { return ((uint32_t)p[0] << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }
void StoreBe32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = (uint8_t)(v >> (24 - 8 * i));
}

uint64_t BlocksFor(uint64_t bytes, uint32_t blockSize) { return (bytes + blockSize - 1) / blockSize; }

uint32_t BlockCrc(const uint8_t* block, uint32_t blockSize)
{
    Crc32 crc;
    crc.Update(block, blockSize);
    return crc.GetValue();
}

void XorInto(uint8_t* target, const uint8_t* source, size_t length)
{
    size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t a, b;
        memcpy(&a, target + i, 8);
        memcpy(&b, source + i, 8);
        a ^= b;
        memcpy(target + i, &a, 8);
    }
    for (; i < length; ++i)
        target[i] ^= source[i];
}

bool ReadAt(CRawFile& file, uint64_t offset, void* buffer, size_t length)
{
    return file.Seek(offset) && file.Read(buffer, length) == (int64_t)length;
}

// A buffer that is zero-filled and freed with its owner; null when it cannot be allocated.
std::unique_ptr<uint8_t[]> Allocate(size_t length) { return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[length]()); }

// A handle opened for writing into an existing file.
class WriteHandle {
public:
    explicit WriteHandle(const CString& path)
        : m_handle(CreateFileW(path, GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr))
    {
    }
    ~WriteHandle()
    {
        if (IsOpen())
            CloseHandle(m_handle);
    }
    WriteHandle(const WriteHandle&) = delete;
    WriteHandle& operator=(const WriteHandle&) = delete;

    bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    bool Seek(uint64_t position)
    {
        LARGE_INTEGER move;
        move.QuadPart = (LONGLONG)position;
        return SetFilePointerEx(m_handle, move, nullptr, FILE_BEGIN) != FALSE;
    }
    bool Write(const void* bytes, size_t length)
    {
        const uint8_t* p = static_cast<const uint8_t*>(bytes);
        while (length > 0) {
            DWORD piece = (DWORD)std::min<size_t>(length, 1 << 24), wrote = 0;
            if (!WriteFile(m_handle, p, piece, &wrote, nullptr) || wrote != piece)
                return false;
            p += piece;
            length -= piece;
        }
        return true;
    }
    bool TruncateAt(uint64_t size) { return Seek(size) && SetEndOfFile(m_handle); }
    bool SetTimes(const WIN32_FILE_ATTRIBUTE_DATA& times)
    {
        return SetFileTime(m_handle, &times.ftCreationTime, &times.ftLastAccessTime, &times.ftLastWriteTime) != FALSE;
    }

private:
    HANDLE m_handle;
};

}  // namespace

struct CRecoveryRecord::Section {
    uint64_t start = 0;  // S: the protected region is [0, S)
    uint32_t blockSize = 0;
    uint64_t blockCount = 0;
    std::unique_ptr<uint8_t[]> parity;
};

struct CRecoveryRecord::BadBlocks {
    int64_t count = 0;
    int64_t lastIndex = -1;
    uint64_t offset = 0;   // of the (last) bad block
    uint32_t length = 0;   // its real length: BS, or less for the last block
    uint32_t storedCrc = 0;
};

// Reads and checks the section of one file and walks its protected blocks.
class CRecoveryRecord::Reader {
public:
    explicit Reader(const CString& path) : m_path(path) {}

    int ReadSection(Section& section)
    {
        int64_t size = CRawFile::SizeOf(m_path);
        if (size >= 0 && size < MIN_FILE_SIZE)
            return RECOVERY_NO_SECTION;
        if (!m_data.OpenRead(m_path, kShareAll) || !m_crcs.OpenRead(m_path, kShareAll))
            return RECOVERY_CANNOT_OPEN;
        size = m_data.Size();
        if (size < MIN_FILE_SIZE)
            return RECOVERY_NO_SECTION;
        uint64_t fileSize = (uint64_t)size;
        uint8_t tail[8];
        if (!ReadAt(m_data, fileSize - 8, tail, 8) || memcmp(tail + 4, kEndMagic, 4) != 0)
            return RECOVERY_NO_SECTION;
        int32_t length = (int32_t)LoadLe32(tail);
        if (length < 0 || (uint64_t)length > fileSize - 8)
            return RECOVERY_NO_SECTION;
        section.start = fileSize - 8 - (uint64_t)length;
        uint8_t head[12];
        if (!ReadAt(m_data, section.start, head, 4) || memcmp(head, kHeadMagic, 4) != 0)
            return RECOVERY_NO_SECTION;
        if (!ReadAt(m_data, section.start + 4, head + 4, 8))
            return RECOVERY_DAMAGED_SECTION;
        section.blockSize = LoadLe32(head + 4);
        section.blockCount = LoadLe32(head + 8);
        if (section.blockSize < 1 || section.blockSize > MAX_BLOCK_SIZE)
            return RECOVERY_DAMAGED_SECTION;
        // The fields must describe exactly this file before anything is allocated for them.
        if (section.blockCount != BlocksFor(section.start, section.blockSize) ||
            (uint64_t)length != 12 + 4 * section.blockCount + section.blockSize)
            return RECOVERY_DAMAGED_SECTION;
        section.parity = Allocate(section.blockSize);
        if (!section.parity)
            return RECOVERY_NO_MEMORY;
        if (!ReadAt(m_data, section.start + 12 + 4 * section.blockCount, section.parity.get(), section.blockSize))
            return RECOVERY_DAMAGED_SECTION;
        return RECOVERY_OK;
    }

    // Walks the protected blocks in order, comparing each with its stored CRC.
    // With an accumulator, every good block (zero-padded) is xored into it and
    // the parity in place of a bad one; the walk then stops at a second bad block.
    int Walk(const Section& section, BadBlocks& bad, uint8_t* accumulator, int64_t& examined)
    {
        const uint32_t bs = section.blockSize;
        const size_t blocksPerChunk = std::max<size_t>(1, kReadChunk / bs);
        auto chunk = Allocate(blocksPerChunk * bs);
        auto stored = Allocate(blocksPerChunk * 4);
        if (!chunk || !stored)
            return RECOVERY_NO_MEMORY;
        if (!m_data.Seek(0) || !m_crcs.Seek(section.start + 12))
            return RECOVERY_DAMAGED_SECTION;
        uint64_t index = 0;
        for (uint64_t done = 0; done < section.start;) {
            size_t want = (size_t)std::min<uint64_t>(section.start - done, blocksPerChunk * bs);
            if (m_data.Read(chunk.get(), want) != (int64_t)want)
                return RECOVERY_DAMAGED_SECTION;
            size_t blocks = (size_t)BlocksFor(want, bs);
            // Pad the last, short block with zeros.
            memset(chunk.get() + want, 0, blocks * bs - want);
            if (m_crcs.Read(stored.get(), blocks * 4) != (int64_t)(blocks * 4))
                return RECOVERY_DAMAGED_SECTION;
            for (size_t b = 0; b < blocks; ++b, ++index) {
                const uint8_t* block = chunk.get() + b * bs;
                uint32_t expected = LoadBe32(stored.get() + 4 * b);
                if (BlockCrc(block, bs) == expected) {
                    if (accumulator)
                        XorInto(accumulator, block, bs);
                    continue;
                }
                ++bad.count;
                bad.lastIndex = (int64_t)index;
                bad.offset = done + b * bs;
                bad.length = (uint32_t)std::min<uint64_t>(bs, section.start - bad.offset);
                bad.storedCrc = expected;
                if (accumulator) {
                    XorInto(accumulator, section.parity.get(), bs);
                    if (bad.count > 1) {
                        examined = (int64_t)index + 1;
                        return RECOVERY_OK;
                    }
                }
            }
            done += want;
        }
        examined = (int64_t)index;
        return RECOVERY_OK;
    }

    void Close()
    {
        m_data.Close();
        m_crcs.Close();
    }

private:
    CString m_path;
    CRawFile m_data;  // walks the protected region
    CRawFile m_crcs;  // walks the stored CRCs alongside
};

// The start of both operations: the section is read, and its block size noted.
int CRecoveryRecord::OpenSection(Reader& reader, Section& section)
{
    m_nBlockCount = 0;
    int result = reader.ReadSection(section);
    if (section.blockSize)
        m_nBlockSize = section.blockSize;
    return result;
}

int CRecoveryRecord::Verify(const CString& path, int64_t& badIndex, int64_t& badCount)
{
    Reader reader(path);
    Section section;
    int result = OpenSection(reader, section);
    if (result != RECOVERY_OK)
        return result;
    BadBlocks bad;
    result = reader.Walk(section, bad, nullptr, m_nBlockCount);
    if (result != RECOVERY_OK)
        return result;
    badIndex = bad.lastIndex;
    badCount = bad.count;
    return bad.count == 0 ? RECOVERY_OK : bad.count == 1 ? RECOVERY_ONE_BAD_BLOCK : RECOVERY_UNRECOVERABLE;
}

int CRecoveryRecord::Repair(const CString& path)
{
    // A repaired file is the file it was: it keeps its times.
    WIN32_FILE_ATTRIBUTE_DATA times;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &times))
        return RECOVERY_CANNOT_OPEN;
    Reader reader(path);
    Section section;
    int result = OpenSection(reader, section);
    if (result != RECOVERY_OK)
        return result;
    auto accumulator = Allocate(section.blockSize);
    if (!accumulator)
        return RECOVERY_NO_MEMORY;
    BadBlocks bad;
    result = reader.Walk(section, bad, accumulator.get(), m_nBlockCount);
    reader.Close();
    if (result != RECOVERY_OK)
        return result;
    if (bad.count > 1)
        return RECOVERY_UNRECOVERABLE;
    // Without a bad block the stored CRC compared is 0 and nothing is written.
    if (BlockCrc(accumulator.get(), section.blockSize) != bad.storedCrc)
        return RECOVERY_DAMAGED_SECTION;
    if (bad.count == 0)
        return RECOVERY_OK;
    WriteHandle file(path);
    if (!file.IsOpen())
        return RECOVERY_CANNOT_WRITE;
    if (!file.Seek(bad.offset) || !file.Write(accumulator.get(), bad.length))
        return RECOVERY_CANNOT_WRITE;
    file.SetTimes(times);
    return RECOVERY_OK;
}

uint32_t CRecoveryRecord::ChooseBlockSize(uint64_t protectedSize)
{
    uint64_t size = (uint64_t)(2.0 * std::sqrt((double)protectedSize));
    size = (size + kCipherBlock - 1) / kCipherBlock * kCipherBlock;
    return (uint32_t)std::clamp<uint64_t>(size, kMinWrittenBlockSize, MAX_BLOCK_SIZE);
}

uint64_t CRecoveryRecord::SectionSize(uint64_t protectedSize)
{
    uint32_t bs = ChooseBlockSize(protectedSize);
    return 12 + 4 * BlocksFor(protectedSize, bs) + bs + 8;
}

int CRecoveryRecord::Append(const CString& path)
{
    CRawFile data;
    if (!data.OpenRead(path, kShareAll))
        return RECOVERY_CANNOT_OPEN;
    WriteHandle out(path);
    if (!out.IsOpen())
        return RECOVERY_CANNOT_OPEN;
    int64_t size = data.Size();
    if (size < 0)
        return RECOVERY_CANNOT_OPEN;
    const uint64_t start = (uint64_t)size;
    const uint32_t bs = ChooseBlockSize(start);
    const uint64_t count = BlocksFor(start, bs);
    const size_t blocksPerChunk = std::max<size_t>(1, kReadChunk / bs);
    auto chunk = Allocate(blocksPerChunk * bs);
    auto crcs = Allocate(blocksPerChunk * 4);
    auto parity = Allocate(bs);
    if (!chunk || !crcs || !parity)
        return RECOVERY_NO_MEMORY;

    uint8_t head[12];
    memcpy(head, kHeadMagic, 4);
    StoreLe32(head + 4, bs);
    StoreLe32(head + 8, (uint32_t)count);
    bool ok = out.Seek(start) && out.Write(head, sizeof head);
    for (uint64_t done = 0; ok && done < start;) {
        size_t want = (size_t)std::min<uint64_t>(start - done, blocksPerChunk * bs);
        if (data.Read(chunk.get(), want) != (int64_t)want) {
            ok = false;
            break;
        }
        size_t blocks = (size_t)BlocksFor(want, bs);
        memset(chunk.get() + want, 0, blocks * bs - want);
        for (size_t b = 0; b < blocks; ++b) {
            const uint8_t* block = chunk.get() + b * bs;
            StoreBe32(crcs.get() + 4 * b, BlockCrc(block, bs));
            XorInto(parity.get(), block, bs);
        }
        ok = out.Write(crcs.get(), blocks * 4);
        done += want;
    }
    uint8_t tail[8];
    StoreLe32(tail, (uint32_t)(12 + 4 * count + bs));
    memcpy(tail + 4, kEndMagic, 4);
    ok = ok && out.Write(parity.get(), bs) && out.Write(tail, sizeof tail);
    if (!ok) {
        out.TruncateAt(start);
        return RECOVERY_CANNOT_WRITE;
    }
    return RECOVERY_OK;
}
