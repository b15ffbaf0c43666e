// The encrypted-file writer and reader: layout, round trips, failures, aborts
// and size limits, on real files in a temporary folder.
#include "tests/crypt/CryptTestSupport.h"

#include "crypt/Crc32.h"
#include "crypt/EncryptedFileHeader.h"
#include "crypt/FileCipher.h"
#include "crypt/XxteaBlockCipher.h"

#include <cstring>
#include <functional>

using crypttest::Hex;
using crypttest::PasswordScope;
using crypttest::Wide;

namespace {

// The flag the engines of these tests watch.
AbortFlag s_abort{0};

const uint64_t kGiB4 = 0x100000000ull;

// An encrypted file's blocks decrypted with the current key.
struct OpenedFile {
    EncryptedFileHeader header;
    bool nameFits = false;
    std::string data;  // all data blocks, decrypted, pad included
};

OpenedFile OpenEncrypted(const std::string& bytes)
{
    OpenedFile file;
    EXPECT_GE(bytes.size(), 384u);
    memcpy(file.header.IV, bytes.data(), 128);
    std::string rest = bytes.substr(128);
    CXxteaBlockCipher cipher(g_FileKey, file.header.IV);
    cipher.DecryptBlocks(reinterpret_cast<uint8_t*>(&rest[0]), rest.size() / 128);
    file.nameFits = file.header.ReadBlock1(reinterpret_cast<const uint8_t*>(rest.data()));
    file.header.ReadBlock2(reinterpret_cast<const uint8_t*>(rest.data()) + 128);
    file.data = rest.substr(256);
    return file;
}

// An encrypted file made by hand from a header and data (zero fill and pad).
std::string BuildEncrypted(const EncryptedFileHeader& header, const std::string& data)
{
    std::string blocks(256 + (data.size() + 127) / 128 * 128, '\0');
    header.WriteBlock1(reinterpret_cast<uint8_t*>(&blocks[0]));
    header.WriteBlock2(reinterpret_cast<uint8_t*>(&blocks[128]));
    memcpy(&blocks[256], data.data(), data.size());
    CXxteaBlockCipher cipher(g_FileKey, header.IV);
    cipher.EncryptBlocks(reinterpret_cast<uint8_t*>(&blocks[0]), blocks.size() / 128);
    return std::string(reinterpret_cast<const char*>(header.IV), 128) + blocks;
}

// Sets a file's size; the bytes added are a sparse run of zeros.
void SetFileSize(const CString& path, uint64_t size, DWORD disposition = CREATE_ALWAYS)
{
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, disposition, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)size;
    EXPECT_TRUE(SetFilePointerEx(file, at, nullptr, FILE_BEGIN));
    EXPECT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
}

std::string CrcBytesOf(const std::string& data)
{
    Crc32 crc;
    crc.Update(data.data(), data.size());
    uint8_t bytes[4];
    crc.GetBytes(bytes);
    return std::string(reinterpret_cast<char*>(bytes), 4);
}

// Runs a function for every full data block the engine is about to process.
class BlockHookScope {
public:
    explicit BlockHookScope(std::function<void(uint64_t)> hook)
    {
        s_hook = std::move(hook);
        CFileCipher::SetBlockHook([](uint64_t index) { s_hook(index); });
    }
    ~BlockHookScope()
    {
        CFileCipher::SetBlockHook(nullptr);
        s_hook = nullptr;
        s_abort = 0;
    }

private:
    static std::function<void(uint64_t)> s_hook;
};
std::function<void(uint64_t)> BlockHookScope::s_hook;

DWORD WINAPI RequestAbortWhenSignalled(void* event)
{
    WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
    s_abort = 1;
    return 0;
}

class FileCipherTest : public ::testing::Test {
protected:
    FileCipherTest() : m_password(L"correct horse") {}

    CString Encrypt(const std::string& content, const CString& name = L"data.bin", bool crc = true)
    {
        CString plain = m_folder.WriteFile(name, content);
        CString encrypted = m_folder / (name + L".enc");
        CString original;
        EXPECT_EQ(m_cipher.CryptFile(plain, encrypted, CRYPT_MODE_ENCRYPT, original, nullptr, crc), CRYPT_OK);
        EXPECT_EQ(original, name);
        return encrypted;
    }

    int Decrypt(const CString& encrypted, CString& name, uint8_t crcBytes[4] = nullptr, bool check = true)
    {
        return m_cipher.CryptFile(encrypted, m_folder / L"out.bin", CRYPT_MODE_DECRYPT, name, crcBytes, check);
    }

    std::string Output() { return qvtest::ReadFileBytes(m_folder / L"out.bin"); }

    PasswordScope m_password;
    qvtest::TempFolder m_folder;
    CFileCipher m_cipher{&s_abort};
};

}  // namespace

TEST_F(FileCipherTest, LayoutAndRoundTripForEverySizeClass)
{
    // The largest goes through the writer thread.
    for (size_t size : {0u, 1u, 127u, 128u, 129u, 3u * 1024 * 1024 + 5, 6u * 1024 * 1024 + 200}) {
        SCOPED_TRACE(size);
        std::string content = qvtest::PatternBytes(size, (unsigned)size);
        std::string bytes = qvtest::ReadFileBytes(Encrypt(content));
        ASSERT_EQ(bytes.size(), 384 + (size + 127) / 128 * 128);

        OpenedFile file = OpenEncrypted(bytes);
        EXPECT_EQ(file.header.PlainSize, size);
        EXPECT_EQ(file.header.FormatTag, 1);
        EXPECT_EQ(file.header.ReservedByte, 0);
        ASSERT_TRUE(file.nameFits);
        EXPECT_EQ(file.header.NameLength, 9);  // "data.bin" and its zero
        EXPECT_EQ(std::string(reinterpret_cast<char*>(file.header.OriginalName), 9), std::string("data.bin", 9));
        EXPECT_EQ(file.header.CrcTag, 1u);
        EXPECT_EQ(file.header.CrcReserved, 0u);
        std::string crc(reinterpret_cast<char*>(file.header.CrcBytes), 4);
        // An empty content's CRC-32 is 0, which stores "no CRC".
        EXPECT_EQ(Hex(crc), Hex(CrcBytesOf(content)));
        EXPECT_EQ(file.data.substr(0, size) == content, true);

        CString name;
        uint8_t stored[4] = {9, 9, 9, 9};
        EXPECT_EQ(Decrypt(m_folder / L"data.bin.enc", name, stored), CRYPT_OK);
        EXPECT_EQ(name, L"data.bin");
        EXPECT_EQ(Hex(stored, 4), Hex(crc));
        EXPECT_TRUE(Output() == content);
    }
}

TEST_F(FileCipherTest, EveryEncryptionIsNew)
{
    std::string content = qvtest::PatternBytes(1000);
    std::string first = qvtest::ReadFileBytes(Encrypt(content));
    std::string second = qvtest::ReadFileBytes(Encrypt(content));
    ASSERT_EQ(first.size(), second.size());
    EXPECT_NE(first.substr(0, 128), second.substr(0, 128));
    EXPECT_NE(first.substr(384), second.substr(384));
}

TEST_F(FileCipherTest, WrongOrMissingKey)
{
    CString encrypted = Encrypt(qvtest::PatternBytes(5000));
    CString name;
    PasswordScope::Set(L"Correct horse");
    EXPECT_NE(Decrypt(encrypted, name), CRYPT_OK);
    EXPECT_EQ(m_cipher.ReadOriginalName(encrypted), CString());

    PasswordScope::Set(CString());
    EXPECT_EQ(Decrypt(encrypted, name), CRYPT_BAD_KEY);
    EXPECT_EQ(m_cipher.CryptFile(encrypted, m_folder / L"x", CRYPT_MODE_ENCRYPT, name, nullptr, TRUE), CRYPT_BAD_KEY);
    EXPECT_EQ(m_cipher.DecryptFileShared(encrypted, m_folder / L"x", name), CRYPT_BAD_KEY);
    EXPECT_EQ(m_cipher.DecryptFileToMemory(encrypted, name), CRYPT_BAD_KEY);
    EXPECT_EQ(m_cipher.ReadOriginalName(encrypted), CString());

    PasswordScope::Set(L"correct horse");
    EXPECT_EQ(m_cipher.ReadOriginalName(encrypted), L"data.bin");
}

TEST_F(FileCipherTest, TruncatedFilesAreBadKeyEvenWithCrcChecking)
{
    std::string bytes = qvtest::ReadFileBytes(Encrypt(qvtest::PatternBytes(1000)));
    for (size_t cut : {(size_t)100, (size_t)200, (size_t)300, (size_t)384 + 3 * 128 + 50, bytes.size() - 1}) {
        SCOPED_TRACE(cut);
        CString path = m_folder.WriteFile(L"cut.enc", bytes.substr(0, cut));
        CString name;
        EXPECT_EQ(Decrypt(path, name), CRYPT_BAD_KEY);
        EXPECT_EQ(m_cipher.DecryptFileToMemory(path, name), CRYPT_BAD_KEY);
    }
    // Bytes behind the last data block are ignored.
    CString longer = m_folder.WriteFile(L"long.enc", bytes + "recovery section");
    CString name;
    EXPECT_EQ(Decrypt(longer, name), CRYPT_OK);
    EXPECT_EQ(Output(), qvtest::PatternBytes(1000));
}

TEST_F(FileCipherTest, TamperedBlockFailsTheCrc)
{
    std::string content = qvtest::PatternBytes(3000);
    std::string bytes = qvtest::ReadFileBytes(Encrypt(content));
    bytes[384 + 5 * 128 + 17] ^= 0x01;
    CString path = m_folder.WriteFile(L"tampered.enc", bytes);
    CString name;
    uint8_t stored[4];
    EXPECT_EQ(Decrypt(path, name, stored), CRYPT_CRC_MISMATCH);
    EXPECT_EQ(Hex(stored, 4), Hex(CrcBytesOf(content)));
    // Without checking, only that block differs.
    EXPECT_EQ(Decrypt(path, name, stored, false), CRYPT_OK);
    std::string out = Output();
    ASSERT_EQ(out.size(), content.size());
    EXPECT_EQ(out.substr(0, 5 * 128), content.substr(0, 5 * 128));
    EXPECT_NE(out.substr(5 * 128, 128), content.substr(5 * 128, 128));
    EXPECT_EQ(out.substr(6 * 128), content.substr(6 * 128));
}

TEST_F(FileCipherTest, WithoutCrcNothingIsStoredOrChecked)
{
    for (size_t size : {700u, 6u << 20}) {
        SCOPED_TRACE(size);
        std::string content = qvtest::PatternBytes(size);
        CString encrypted = Encrypt(content, L"data.bin", false);
        OpenedFile file = OpenEncrypted(qvtest::ReadFileBytes(encrypted));
        EXPECT_FALSE(file.header.HasCrc());
        CString name;
        uint8_t stored[4] = {1, 1, 1, 1};
        EXPECT_EQ(Decrypt(encrypted, name, stored), CRYPT_OK);
        EXPECT_EQ(Hex(stored, 4), "00000000");
        EXPECT_TRUE(Output() == content);
    }
}

TEST_F(FileCipherTest, MissingInputAndUncreatableOutput)
{
    CString name;
    EXPECT_EQ(m_cipher.CryptFile(m_folder / L"missing", m_folder / L"x", CRYPT_MODE_ENCRYPT, name, nullptr, TRUE),
              CRYPT_OPEN_INPUT_FAILED);
    CString plain = m_folder.WriteFile(L"p.txt", "plain");
    EXPECT_EQ(m_cipher.CryptFile(plain, m_folder / L"no\\such\\folder", CRYPT_MODE_ENCRYPT, name, nullptr, TRUE),
              CRYPT_WRITE_FAILED);
}

TEST_F(FileCipherTest, WriteFailureIsReportedAsSuch)
{
    // Writes to /dev/full fail with "no space"; small files are written
    // directly, large ones by the writer thread.
    for (size_t size : {2000u, 6u << 20}) {
        SCOPED_TRACE(size);
        CString encrypted = Encrypt(qvtest::PatternBytes(size));
        CString name;
        EXPECT_EQ(m_cipher.CryptFile(encrypted, L"Z:\\dev\\full", CRYPT_MODE_DECRYPT, name, nullptr, TRUE),
                  CRYPT_WRITE_FAILED);
        EXPECT_EQ(m_cipher.CryptFile(m_folder / L"data.bin", L"Z:\\dev\\full", CRYPT_MODE_ENCRYPT, name, nullptr,
                                     TRUE),
                  CRYPT_WRITE_FAILED);
    }
}

TEST_F(FileCipherTest, AbortBeforeTheCallCreatesNoOutput)
{
    CString plain = m_folder.WriteFile(L"p.bin", qvtest::PatternBytes(500));
    s_abort = 1;
    CString name;
    EXPECT_EQ(m_cipher.CryptFile(plain, m_folder / L"never", CRYPT_MODE_ENCRYPT, name, nullptr, TRUE), CRYPT_ABORTED);
    EXPECT_FALSE(qvtest::FileExists(m_folder / L"never"));
    // A new engine watching the same flag does not withdraw the request.
    CFileCipher fresh(&s_abort);
    EXPECT_EQ(s_abort.load(), 1);
    EXPECT_EQ(fresh.CryptFile(plain, m_folder / L"never", CRYPT_MODE_ENCRYPT, name, nullptr, TRUE), CRYPT_ABORTED);
    EXPECT_FALSE(qvtest::FileExists(m_folder / L"never"));
    // Engines watching another flag, or none, are not stopped by it.
    AbortFlag otherFlag{0};
    CFileCipher other(&otherFlag), unstoppable;
    EXPECT_EQ(other.CryptFile(plain, m_folder / L"other", CRYPT_MODE_ENCRYPT, name, nullptr, TRUE), CRYPT_OK);
    EXPECT_EQ(unstoppable.CryptFile(plain, m_folder / L"none", CRYPT_MODE_ENCRYPT, name, nullptr, TRUE), CRYPT_OK);
    s_abort = 0;
}

TEST_F(FileCipherTest, AbortDuringEncryptionKeepsTheBlocksBeforeIt)
{
    // A small file, and a large one written by the writer thread.
    const struct {
        size_t size;
        uint64_t abortAt;
    } cases[] = {{20 * 128 + 9, 5}, {(6u << 20) + 9, 30000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        CString plain = m_folder.WriteFile(L"p.bin", qvtest::PatternBytes(c.size));
        BlockHookScope hook([&](uint64_t index) {
            if (index == c.abortAt)
                s_abort = 1;
        });
        CString name;
        EXPECT_EQ(m_cipher.CryptFile(plain, m_folder / L"p.enc", CRYPT_MODE_ENCRYPT, name, nullptr, TRUE),
                  CRYPT_ABORTED);
        EXPECT_EQ(qvtest::ReadFileBytes(m_folder / L"p.enc").size(), 384 + c.abortAt * 128);
    }
}

TEST_F(FileCipherTest, AbortDuringDecryptionIsNotACrcMismatch)
{
    const struct {
        size_t size;
        uint64_t abortAt;
    } cases[] = {{20 * 128 + 9, 7}, {(6u << 20) + 9, 40000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        std::string content = qvtest::PatternBytes(c.size);
        CString encrypted = Encrypt(content);
        BlockHookScope hook([&](uint64_t index) {
            if (index == c.abortAt)
                s_abort = 1;
        });
        CString name;
        EXPECT_EQ(Decrypt(encrypted, name), CRYPT_ABORTED);
        EXPECT_TRUE(Output() == content.substr(0, c.abortAt * 128));
        s_abort = 0;
        EXPECT_EQ(m_cipher.DecryptFileToMemory(encrypted, name), CRYPT_ABORTED);
    }
}

TEST_F(FileCipherTest, AbortFromAnotherThread)
{
    CString encrypted = Encrypt(qvtest::PatternBytes(40 * 128));
    HANDLE reached = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // The engine waits at block 10 until the other thread has asked for the abort.
    BlockHookScope hook([reached](uint64_t index) {
        if (index == 10) {
            SetEvent(reached);
            while (!s_abort.load())
                Sleep(1);
        }
    });
    // A Win32 thread: threads the system does not know cannot call it.
    HANDLE stopper = CreateThread(nullptr, 0, RequestAbortWhenSignalled, reached, 0, nullptr);
    ASSERT_NE(stopper, nullptr);
    CString name;
    EXPECT_EQ(Decrypt(encrypted, name), CRYPT_ABORTED);
    WaitForSingleObject(stopper, INFINITE);
    CloseHandle(stopper);
    CloseHandle(reached);
    EXPECT_EQ(Output().size(), 10u * 128);
}

TEST_F(FileCipherTest, SourceChangingSizeWhileEncryptedFails)
{
    // A file read in one chunk, and one read in many while workers encipher.
    for (uint64_t size : {(uint64_t)30 * 128, (uint64_t)6 << 20}) {
        for (bool grow : {true, false}) {
            SCOPED_TRACE(testing::Message() << size << (grow ? " grows" : " shrinks"));
            CString plain = m_folder.WriteFile(L"changing.bin", qvtest::PatternBytes((size_t)size));
            BlockHookScope hook([&](uint64_t index) {
                if (index != 3)
                    return;
                HANDLE file = CreateFileW(plain, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr);
                LARGE_INTEGER at;
                at.QuadPart = grow ? (LONGLONG)size + 10 * 128 : 2 * 128;
                SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
                SetEndOfFile(file);
                CloseHandle(file);
            });
            CString name;
            EXPECT_EQ(m_cipher.CryptFile(plain, m_folder / L"changing.enc", CRYPT_MODE_ENCRYPT, name, nullptr, TRUE),
                      CRYPT_READ_FAILED);
        }
    }
}

TEST_F(FileCipherTest, SharedDecryptionLetsOthersReadButNotWrite)
{
    std::string content = qvtest::PatternBytes(20 * 128);
    CString encrypted = Encrypt(content);
    CString output = m_folder / L"shared.bin";
    bool readable = false, writable = true;
    BlockHookScope hook([&](uint64_t index) {
        if (index != 0)
            return;
        HANDLE reader = CreateFileW(output, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    0, nullptr);
        readable = reader != INVALID_HANDLE_VALUE;
        if (readable)
            CloseHandle(reader);
        HANDLE writer = CreateFileW(output, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        writable = writer != INVALID_HANDLE_VALUE;
        if (writable)
            CloseHandle(writer);
    });
    CString name;
    EXPECT_EQ(m_cipher.DecryptFileShared(encrypted, output, name), CRYPT_OK);
    EXPECT_EQ(name, L"data.bin");
    EXPECT_TRUE(readable);
    EXPECT_FALSE(writable);
    EXPECT_TRUE(qvtest::ReadFileBytes(output) == content);
}

TEST_F(FileCipherTest, MemoryMode)
{
    // The largest is decrypted in place by the helper threads.
    for (size_t size : {0u, 1u, 128u, 1000u, 2u * 1024 * 1024 + 3, 6u * 1024 * 1024 + 77}) {
        SCOPED_TRACE(size);
        std::string content = qvtest::PatternBytes(size, 11);
        CString encrypted = Encrypt(content, L"picture.png");
        CString name;
        ASSERT_EQ(m_cipher.DecryptFileToMemory(encrypted, name), CRYPT_OK);
        EXPECT_EQ(name, L"picture.png");
        ASSERT_NE(m_cipher.GetMemoryData(), nullptr);
        ASSERT_EQ(m_cipher.GetMemorySize(), size);
        EXPECT_TRUE(std::string(reinterpret_cast<const char*>(m_cipher.GetMemoryData()), size) == content);
    }
    m_cipher.ReleaseMemory();
    EXPECT_EQ(m_cipher.GetMemoryData(), nullptr);
    EXPECT_EQ(m_cipher.GetMemorySize(), 0u);
}

TEST_F(FileCipherTest, MemoryModeLimit)
{
    EncryptedFileHeader header;
    for (int i = 0; i < 128; ++i)
        header.IV[i] = (uint8_t)(i * 7);
    header.SetOriginalName(L"big.bmp");
    for (uint64_t size : {CFileCipher::MEMORY_LIMIT, CFileCipher::MEMORY_LIMIT + 1}) {
        SCOPED_TRACE(size);
        header.PlainSize = size;
        // The header by hand; the data blocks are a sparse run of zero bytes.
        CString path = m_folder.WriteFile(L"big.enc", BuildEncrypted(header, ""));
        SetFileSize(path, EncryptedFileSize(size), OPEN_EXISTING);
        CString name;
        int result = m_cipher.DecryptFileToMemory(path, name);
        EXPECT_EQ(result, size == CFileCipher::MEMORY_LIMIT ? CRYPT_OK : CRYPT_BAD_KEY);
        if (result == CRYPT_OK) {
            EXPECT_EQ(m_cipher.GetMemorySize(), size);
        }
    }
}

TEST_F(FileCipherTest, SizeLimits)
{
    // Sparse inputs; an abort request set after the engine was made shows that
    // the size test was passed without encrypting gigabytes.
    const struct {
        uint64_t size;
        int mode;
        int expected;
    } cases[] = {
        {kGiB4 - 384, CRYPT_MODE_ENCRYPT, CRYPT_ABORTED},   // encrypts to exactly 4 GiB
        {kGiB4 - 383, CRYPT_MODE_ENCRYPT, CRYPT_TOO_BIG},   // would give a file decryption refuses
        {kGiB4, CRYPT_MODE_DECRYPT, CRYPT_ABORTED},
        {kGiB4 + 1, CRYPT_MODE_DECRYPT, CRYPT_TOO_BIG},
    };
    CString path = m_folder / L"sparse.bin";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        SetFileSize(path, c.size);
        CFileCipher cipher(&s_abort);
        s_abort = 1;
        CString name;
        EXPECT_EQ(cipher.CryptFile(path, m_folder / L"out", c.mode, name, nullptr, TRUE), c.expected);
        s_abort = 0;
    }
    // Room kept for a recovery section behind the data counts too.
    m_cipher.SetTrailerSize([](uint64_t) -> uint64_t { return 1000; });
    EXPECT_FALSE(m_cipher.CanEncryptSize(kGiB4 - 384));
    EXPECT_TRUE(m_cipher.CanEncryptSize(kGiB4 - 384 - 1024));
    SetFileSize(path, kGiB4 - 384);
    CString name;
    EXPECT_EQ(m_cipher.CryptFile(path, m_folder / L"out", CRYPT_MODE_ENCRYPT, name, nullptr, TRUE), CRYPT_TOO_BIG);
    DeleteFileW(path);
}

// The engine takes an input's size and times from the handle it opens; an
// input that cannot be opened (held by another handle that shares nothing)
// must still give the outcome of the checks in their order: a size over the
// limit, then an abort, then the failed opening. No input times follow any
// of these failures.
TEST_F(FileCipherTest, ChecksKeepTheirOrderWhetherOrNotTheInputOpens)
{
    const struct {
        uint64_t size;
        int mode;
        bool held, abort;
        int expected;
        const char* fault;
    } cases[] = {
        {1000, CRYPT_MODE_ENCRYPT, true, false, CRYPT_OPEN_INPUT_FAILED, "a held input taken as readable"},
        {1000, CRYPT_MODE_ENCRYPT, true, true, CRYPT_ABORTED, "the failed opening reported before the abort"},
        {kGiB4 - 383, CRYPT_MODE_ENCRYPT, true, true, CRYPT_TOO_BIG, "a held input's size not looked up"},
        {kGiB4 - 383, CRYPT_MODE_ENCRYPT, false, true, CRYPT_TOO_BIG, "the abort reported before the size"},
        {1000, CRYPT_MODE_ENCRYPT, false, true, CRYPT_ABORTED, "an aborted engine went on"},
        {1000, CRYPT_MODE_DECRYPT, true, false, CRYPT_OPEN_INPUT_FAILED, "a held input taken as readable"},
        {1000, CRYPT_MODE_DECRYPT, true, true, CRYPT_ABORTED, "the failed opening reported before the abort"},
        {kGiB4 + 1, CRYPT_MODE_DECRYPT, true, true, CRYPT_TOO_BIG, "a held input's size not looked up"},
        {kGiB4 + 1, CRYPT_MODE_DECRYPT, false, true, CRYPT_TOO_BIG, "the abort reported before the size"},
        {1000, CRYPT_MODE_DECRYPT, false, true, CRYPT_ABORTED, "an aborted engine went on"},
    };
    CString path = m_folder / L"input.bin", output = m_folder / L"out";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        SetFileSize(path, c.size);
        HANDLE holder = c.held ? CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                               : INVALID_HANDLE_VALUE;
        ASSERT_EQ(c.held, holder != INVALID_HANDLE_VALUE);
        CFileCipher cipher(&s_abort);
        s_abort = c.abort ? 1 : 0;
        CString name;
        EXPECT_EQ(cipher.CryptFile(path, output, c.mode, name, nullptr, TRUE), c.expected);
        s_abort = 0;
        FILETIME created, accessed, written;
        EXPECT_FALSE(cipher.GetInputTimes(created, accessed, written));
        EXPECT_EQ(GetFileAttributesW(output), INVALID_FILE_ATTRIBUTES) << "no output before the checks pass";
        if (c.held)
            CloseHandle(holder);
    }
    DeleteFileW(path);
}

TEST(StoredName, CutAtCharacterBoundariesKeepingTheExtension)
{
    auto repeat = [](const char* utf8, int count) {
        std::string s;
        for (int i = 0; i < count; ++i)
            s += utf8;
        return s;
    };
    const struct {
        const char* what;
        std::string name;      // UTF-8
        std::string expected;  // UTF-8 of the stored name, terminator not included
    } cases[] = {
        {"115 ASCII units whole", repeat("a", 111) + ".txt", repeat("a", 111) + ".txt"},
        {"116 ASCII units cut to 115", repeat("a", 112) + ".txt", repeat("a", 111) + ".txt"},
        {"2-byte characters", repeat("\xC3\xA9", 60) + ".txt", repeat("\xC3\xA9", 56) + ".txt"},
        {"3-byte characters", repeat("\xE2\x82\xAC", 50) + ".txt", repeat("\xE2\x82\xAC", 37) + ".txt"},
        {"4-byte characters", repeat("\xF0\x9F\x98\x80", 40) + ".txt", repeat("\xF0\x9F\x98\x80", 28) + ".txt"},
        {"unit cut inside a pair", "a" + repeat("\xF0\x9F\x98\x80", 60) + ".txt",
         "a" + repeat("\xF0\x9F\x98\x80", 27) + ".txt"},
        {"extension alone too long", "x." + repeat("\xC3\xA9", 120), "." + repeat("\xC3\xA9", 57)},
        {"empty", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        uint8_t stored[MAX_STORED_NAME_BYTES];
        int length = StoreOriginalName(Wide(c.name.c_str()), stored);
        ASSERT_EQ(length, (int)c.expected.size() + 1);
        ASSERT_LE(length, (int)MAX_STORED_NAME_BYTES);
        EXPECT_EQ(stored[length - 1], 0);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(stored), length - 1), c.expected);
        EXPECT_EQ(ReadStoredName(stored, length), Wide(c.expected.c_str()));
    }
}

TEST(StoredName, ReadingAcceptsValidUtf8Only)
{
    std::string full(117, 'n');  // 117 bytes without a terminator
    EXPECT_EQ(ReadStoredName(reinterpret_cast<const uint8_t*>(full.data()), 117), Wide(full.c_str()));
    const uint8_t cut[] = {'a', 0xC3};  // cut inside a character
    EXPECT_EQ(ReadStoredName(cut, 2), CString());
    const uint8_t stops[] = {'a', 'b', 0, 'c'};
    EXPECT_EQ(ReadStoredName(stops, 4), L"ab");
    EXPECT_EQ(ReadStoredName(stops, 0), CString());
}

TEST_F(FileCipherTest, LongNonAsciiNameEndToEnd)
{
    std::string utf8;
    for (int i = 0; i < 50; ++i)
        utf8 += "\xE2\x82\xAC";
    CString longName = Wide((utf8 + ".txt").c_str());
    CString encrypted = Encrypt("euro", longName);
    OpenedFile file = OpenEncrypted(qvtest::ReadFileBytes(encrypted));
    EXPECT_EQ(file.header.NameLength, 37 * 3 + 4 + 1);
    CString name;
    EXPECT_EQ(Decrypt(encrypted, name), CRYPT_OK);
    EXPECT_EQ(name, Wide((utf8.substr(0, 37 * 3) + ".txt").c_str()));
    EXPECT_EQ(m_cipher.ReadOriginalName(encrypted), name);
}

TEST_F(FileCipherTest, HandMadeHeadersAreRead)
{
    EncryptedFileHeader header;
    memset(header.IV, 0x5A, 128);
    header.PlainSize = 3;
    header.FormatTag = 9;     // readers ignore the tags
    header.ReservedByte = 7;
    header.NameLength = 117;  // all 117 bytes used, no terminator
    memset(header.OriginalName, 'q', 117);
    CString path = m_folder.WriteFile(L"hand.enc", BuildEncrypted(header, "abc"));
    CString name;
    EXPECT_EQ(Decrypt(path, name), CRYPT_OK);
    EXPECT_EQ(name, CString(L'q', 117));
    EXPECT_EQ(Output(), "abc");

    header.NameLength = 118;
    path = m_folder.WriteFile(L"hand.enc", BuildEncrypted(header, "abc"));
    EXPECT_EQ(Decrypt(path, name), CRYPT_BAD_KEY);
    EXPECT_EQ(m_cipher.ReadOriginalName(path), CString());

    header.NameLength = 2;
    header.OriginalName[0] = 'a';
    header.OriginalName[1] = 0xE2;  // cut inside a character
    path = m_folder.WriteFile(L"hand.enc", BuildEncrypted(header, "abc"));
    EXPECT_EQ(Decrypt(path, name), CRYPT_OK);
    EXPECT_EQ(name, CString());

    header.NameLength = 1;
    header.PlainSize = kGiB4 + 11;
    path = m_folder.WriteFile(L"hand.enc", BuildEncrypted(header, "abc"));
    EXPECT_EQ(Decrypt(path, name), CRYPT_BAD_KEY);
}

TEST(CryptResultName, NamesEveryCode)
{
    EXPECT_EQ(CString(CryptResultName(CRYPT_OK)), L"CRYPT_OK");
    EXPECT_EQ(CString(CryptResultName(CRYPT_ABORTED)), L"CRYPT_ABORTED");
    EXPECT_EQ(CString(CryptResultName(42)), L"CRYPT_UNKNOWN");
}

TEST_F(FileCipherTest, InputTimesAreThoseBeforeTheCall)
{
    CString plain = m_folder.WriteFile(L"dated.txt", "dated");
    SYSTEMTIME st = {2003, 4, 0, 5, 6, 7, 8, 0};
    FILETIME old;
    SystemTimeToFileTime(&st, &old);
    HANDLE file = CreateFileW(plain, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_TRUE(SetFileTime(file, &old, &old, &old));
    CloseHandle(file);
    CString name;
    FILETIME created, accessed, written;
    ASSERT_EQ(m_cipher.CryptFile(plain, m_folder / L"dated.enc", CRYPT_MODE_ENCRYPT, name, nullptr, TRUE), CRYPT_OK);
    ASSERT_TRUE(m_cipher.GetInputTimes(created, accessed, written));
    EXPECT_EQ(CompareFileTime(&written, &old), 0);
    EXPECT_EQ(CompareFileTime(&accessed, &old), 0) << "read before the content";

    // Decryption gives the encrypted file's times; a call that opens nothing gives none.
    FILETIME encryptedWritten;
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExW(m_folder / L"dated.enc", GetFileExInfoStandard, &data));
    encryptedWritten = data.ftLastWriteTime;
    ASSERT_EQ(Decrypt(m_folder / L"dated.enc", name), CRYPT_OK);
    ASSERT_TRUE(m_cipher.GetInputTimes(created, accessed, written));
    EXPECT_EQ(CompareFileTime(&written, &encryptedWritten), 0);
    EXPECT_EQ(Decrypt(m_folder / L"missing.enc", name), CRYPT_OPEN_INPUT_FAILED);
    EXPECT_FALSE(m_cipher.GetInputTimes(created, accessed, written));
    EXPECT_EQ(m_cipher.CryptFile(plain, m_folder / L"never", CRYPT_MODE_ENCRYPT, name, nullptr, TRUE), CRYPT_OK);
    PasswordScope::Set(CString());
    EXPECT_EQ(m_cipher.CryptFile(plain, m_folder / L"never", CRYPT_MODE_ENCRYPT, name, nullptr, TRUE), CRYPT_BAD_KEY);
    EXPECT_FALSE(m_cipher.GetInputTimes(created, accessed, written));
}

// Sets how many helper threads read and transform large files, for one scope.
class HelperLimitScope {
public:
    explicit HelperLimitScope(int count) { CFileCipher::SetHelperThreadLimit(count); }
    ~HelperLimitScope() { CFileCipher::SetHelperThreadLimit(-1); }
};

TEST_F(FileCipherTest, ReadingWithOneOrSeveralThreadsGivesTheSameResults)
{
    // Large enough for the helper threads, with a partial last block.
    const size_t size = (9u << 20) + 77;
    const std::string content = qvtest::PatternBytes(size, 5);
    CString plain = m_folder.WriteFile(L"big.bin", content);
    const int limits[] = {0, 1, 3, 7};
    std::vector<CString> encrypted;
    for (int limit : limits) {
        SCOPED_TRACE(limit);
        HelperLimitScope helpers(limit);
        CFileCipher cipher;
        CString path = m_folder / (Wide(std::to_string(limit).c_str()) + L".enc"), name;
        ASSERT_EQ(cipher.CryptFile(plain, path, CRYPT_MODE_ENCRYPT, name, nullptr, TRUE), CRYPT_OK);
        OpenedFile file = OpenEncrypted(qvtest::ReadFileBytes(path));
        EXPECT_EQ(file.header.PlainSize, size);
        EXPECT_TRUE(file.nameFits);
        EXPECT_EQ(Hex(std::string(reinterpret_cast<char*>(file.header.CrcBytes), 4)), Hex(CrcBytesOf(content)));
        EXPECT_TRUE(file.data.substr(0, size) == content);
        encrypted.push_back(path);
    }
    // Every file, decrypted with every count, gives the content back.
    for (int limit : limits) {
        HelperLimitScope helpers(limit);
        CFileCipher cipher;
        for (const CString& path : encrypted) {
            SCOPED_TRACE(std::to_string(limit) + " " + path.ToUtf8());
            CString name;
            uint8_t stored[4];
            ASSERT_EQ(cipher.CryptFile(path, m_folder / L"out.bin", CRYPT_MODE_DECRYPT, name, stored, TRUE), CRYPT_OK);
            EXPECT_TRUE(Output() == content);
            bool same = false;
            EXPECT_EQ(cipher.VerifyEncryptedFile(path, plain, stored, same), CRYPT_OK);
            EXPECT_TRUE(same);
            EXPECT_EQ(cipher.DecryptFileToMemory(path, name), CRYPT_OK);
            EXPECT_TRUE(std::string((const char*)cipher.GetMemoryData(), cipher.GetMemorySize()) == content);
        }
    }
}

TEST_F(FileCipherTest, TruncationAndAbortStopAtTheSameBlockWithAnyNumberOfThreads)
{
    const size_t size = (9u << 20) + 77;
    const std::string content = qvtest::PatternBytes(size, 6);
    CString plain = m_folder.WriteFile(L"big.bin", content);
    CString encrypted = Encrypt(content);
    // Cut inside block 50000 of the data.
    std::string bytes = qvtest::ReadFileBytes(encrypted);
    CString truncated = m_folder.WriteFile(L"cut.enc", bytes.substr(0, 384 + 50000 * 128 + 5));
    for (int limit : {0, 1, 3, 7}) {
        SCOPED_TRACE(limit);
        HelperLimitScope helpers(limit);
        CFileCipher cipher(&s_abort);
        CString name;
        EXPECT_EQ(cipher.CryptFile(truncated, m_folder / L"out.bin", CRYPT_MODE_DECRYPT, name, nullptr, TRUE),
                  CRYPT_BAD_KEY);
        EXPECT_TRUE(Output() == content.substr(0, 50000 * 128));
        {
            BlockHookScope hook([](uint64_t index) {
                if (index == 30000)
                    s_abort = 1;
            });
            EXPECT_EQ(cipher.CryptFile(plain, m_folder / L"p.enc", CRYPT_MODE_ENCRYPT, name, nullptr, TRUE),
                      CRYPT_ABORTED);
            EXPECT_EQ(qvtest::ReadFileBytes(m_folder / L"p.enc").size(), 384u + 30000 * 128);
        }
        {
            BlockHookScope hook([](uint64_t index) {
                if (index == 40000)
                    s_abort = 1;
            });
            EXPECT_EQ(cipher.CryptFile(encrypted, m_folder / L"out.bin", CRYPT_MODE_DECRYPT, name, nullptr, TRUE),
                      CRYPT_ABORTED);
            EXPECT_TRUE(Output() == content.substr(0, 40000 * 128));
        }
    }
}
