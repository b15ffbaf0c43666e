// Verification of a new encrypted file against its plain source without a
// plain copy: every case must give the verdict of the two-step way (decrypt
// into a file with the CRC check, then compare the files byte by byte).
#include "tests/crypt/CryptTestSupport.h"

#include "crypt/FileCipher.h"
#include "crypt/FileOps.h"

#include <functional>

using crypttest::Hex;
using crypttest::PasswordScope;

namespace {

// The flag the engines of these tests watch.
AbortFlag s_abort{0};

// The two-step verdict, through a decrypted copy.
struct Verdict {
    int result;
    std::string crc;  // hex of the four CRC bytes given back
    bool same;
};

void PrintTo(const Verdict& v, std::ostream* os)
{
    *os << CString(CryptResultName(v.result)).ToUtf8() << " crc " << v.crc << (v.same ? " same" : " different");
}

bool operator==(const Verdict& a, const Verdict& b)
{
    return a.result == b.result && a.crc == b.crc && a.same == b.same;
}

class FileVerifyTest : public ::testing::Test {
protected:
    FileVerifyTest() : m_password(L"verify password") {}

    CString Encrypt(const std::string& content, bool crc = true)
    {
        CString plain = m_folder.WriteFile(L"source.bin", content);
        CString encrypted = m_folder / L"source.enc";
        CString name;
        EXPECT_EQ(m_cipher.CryptFile(plain, encrypted, CRYPT_MODE_ENCRYPT, name, nullptr, crc), CRYPT_OK);
        return encrypted;
    }

    Verdict Verify(const CString& encrypted, const CString& plain)
    {
        uint8_t crc[4] = {7, 7, 7, 7};
        bool same = true;
        int result = m_cipher.VerifyEncryptedFile(encrypted, plain, crc, same);
        return {result, Hex(crc, 4), same};
    }

    Verdict TwoStep(const CString& encrypted, const CString& plain)
    {
        CFileCipher cipher;
        CString copy = m_folder / L"decrypted.bin", name;
        uint8_t crc[4] = {7, 7, 7, 7};
        int result = cipher.CryptFile(encrypted, copy, CRYPT_MODE_DECRYPT, name, crc, TRUE);
        bool same = result == CRYPT_OK && CFileOps::FilesEqual(plain, copy);
        DeleteFileW(copy);
        return {result, Hex(crc, 4), same};
    }

    PasswordScope m_password;
    qvtest::TempFolder m_folder;
    CFileCipher m_cipher{&s_abort};
};

}  // namespace

TEST_F(FileVerifyTest, SameVerdictAsDecryptingAndComparing)
{
    const size_t large = (6u << 20) + 200;  // handled by the helper threads
    const struct {
        const char* what;
        size_t size;
        bool storeCrc;
        std::function<void(std::string& plain)> changePlain;
        std::function<void(std::string& encrypted)> changeEncrypted;
        int result;
        bool same;
    } cases[] = {
        {"equal, empty", 0, true, nullptr, nullptr, CRYPT_OK, true},
        {"equal, one whole block", 128, true, nullptr, nullptr, CRYPT_OK, true},
        {"equal, partial last block", 1000, true, nullptr, nullptr, CRYPT_OK, true},
        {"equal, large", large, true, nullptr, nullptr, CRYPT_OK, true},
        {"plain byte differs in the last block", 1000, true, [](std::string& p) { p[990] ^= 1; }, nullptr, CRYPT_OK,
         false},
        {"plain byte differs, large", large, true, [](std::string& p) { p[5000000] ^= 1; }, nullptr, CRYPT_OK, false},
        {"plain one byte longer", 1000, true, [](std::string& p) { p += 'x'; }, nullptr, CRYPT_OK, false},
        {"plain one byte shorter", 1000, true, [](std::string& p) { p.pop_back(); }, nullptr, CRYPT_OK, false},
        {"plain one block longer", 1024, true, [](std::string& p) { p += std::string(128, 'x'); }, nullptr,
         CRYPT_OK, false},
        {"encrypted cut inside the data", 1000, true, nullptr, [](std::string& e) { e.resize(e.size() - 200); },
         CRYPT_BAD_KEY, false},
        {"encrypted cut in the last block", 1000, true, nullptr, [](std::string& e) { e.pop_back(); },
         CRYPT_BAD_KEY, false},
        {"encrypted cut in the header", 1000, true, nullptr, [](std::string& e) { e.resize(300); }, CRYPT_BAD_KEY,
         false},
        {"large encrypted cut", large, true, nullptr, [](std::string& e) { e.resize(e.size() / 2); }, CRYPT_BAD_KEY,
         false},
        {"data block tampered", 3000, true, nullptr, [](std::string& e) { e[384 + 700] ^= 4; }, CRYPT_CRC_MISMATCH,
         false},
        {"large data block tampered", large, true, nullptr, [](std::string& e) { e[384 + 3000000] ^= 4; },
         CRYPT_CRC_MISMATCH, false},
        {"tampered and the plain changed alike is still caught", 3000, true,
         [](std::string& p) { p[700] = 0; }, [](std::string& e) { e[384 + 700] ^= 4; }, CRYPT_CRC_MISMATCH, false},
        {"bytes after the last block (a recovery section)", 1000, true, nullptr,
         [](std::string& e) { e += "recovery"; }, CRYPT_OK, true},
        {"no CRC stored, equal", 1000, false, nullptr, nullptr, CRYPT_OK, true},
        {"no CRC stored, tampered", 1000, false, nullptr, [](std::string& e) { e[384 + 130] ^= 4; }, CRYPT_OK,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string content = qvtest::PatternBytes(c.size, (unsigned)c.size + 3);
        CString encrypted = Encrypt(content, c.storeCrc);
        if (c.changeEncrypted) {
            std::string bytes = qvtest::ReadFileBytes(encrypted);
            c.changeEncrypted(bytes);
            qvtest::WriteFileBytes(encrypted, bytes);
        }
        std::string plain = content;
        if (c.changePlain)
            c.changePlain(plain);
        CString plainPath = m_folder.WriteFile(L"source.bin", plain);
        Verdict verdict = Verify(encrypted, plainPath);
        EXPECT_EQ(verdict.result, c.result);
        EXPECT_EQ(verdict.same, c.same);
        EXPECT_EQ(verdict, TwoStep(encrypted, plainPath));
    }
}

TEST_F(FileVerifyTest, MissingFilesKeysAndWritersGiveTheTwoStepVerdicts)
{
    std::string content = qvtest::PatternBytes(5000);
    CString encrypted = Encrypt(content);
    CString plain = m_folder / L"source.bin";
    Verdict verdict = Verify(encrypted, m_folder / L"missing.bin");
    EXPECT_EQ(verdict, (Verdict{CRYPT_OK, Verify(encrypted, plain).crc, false}));
    EXPECT_EQ(verdict, TwoStep(encrypted, m_folder / L"missing.bin"));
    EXPECT_EQ(Verify(m_folder / L"missing.enc", plain), (Verdict{CRYPT_OPEN_INPUT_FAILED, "00000000", false}));
    EXPECT_EQ(Verify(m_folder / L"missing.enc", plain), TwoStep(m_folder / L"missing.enc", plain));

    // A plain file someone may be writing to is not trusted.
    HANDLE writer = CreateFileW(plain, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(Verify(encrypted, plain).same);
    EXPECT_EQ(Verify(encrypted, plain), TwoStep(encrypted, plain));
    CloseHandle(writer);
    EXPECT_TRUE(Verify(encrypted, plain).same);

    PasswordScope::Set(L"another password");
    Verdict wrongKey = Verify(encrypted, plain);
    EXPECT_NE(wrongKey.result, CRYPT_OK);
    EXPECT_EQ(wrongKey, TwoStep(encrypted, plain));
    PasswordScope::Set(CString());
    EXPECT_EQ(Verify(encrypted, plain), (Verdict{CRYPT_BAD_KEY, "00000000", false}));
}

TEST_F(FileVerifyTest, AbortsAndWritesNothing)
{
    for (size_t size : {(size_t)40 * 128, (size_t)(6u << 20) + 9}) {
        SCOPED_TRACE(size);
        CString encrypted = Encrypt(qvtest::PatternBytes(size));
        CString plain = m_folder / L"source.bin";
        std::vector<std::string> before = {qvtest::ReadFileBytes(encrypted), qvtest::ReadFileBytes(plain)};
        static uint64_t s_abortAt;
        s_abortAt = size / 128 / 2;
        CFileCipher::SetBlockHook([](uint64_t index) {
            if (index == s_abortAt)
                s_abort = 1;
        });
        EXPECT_EQ(Verify(encrypted, plain), (Verdict{CRYPT_ABORTED, "00000000", false}));
        CFileCipher::SetBlockHook(nullptr);
        EXPECT_EQ(Verify(encrypted, plain), (Verdict{CRYPT_ABORTED, "00000000", false})) << "still requested";
        s_abort = 0;
        EXPECT_TRUE(Verify(encrypted, plain).same);
        // Only the two files: no plain copy was made anywhere beside them.
        std::vector<std::string> after = {qvtest::ReadFileBytes(encrypted), qvtest::ReadFileBytes(plain)};
        EXPECT_TRUE(before == after);
        WIN32_FIND_DATAW entry;
        HANDLE find = FindFirstFileW(m_folder / L"*", &entry);
        int files = 0;
        do {
            files += (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
        } while (FindNextFileW(find, &entry));
        FindClose(find);
        EXPECT_EQ(files, 2);
    }
}

namespace {

// True when no one else holds the file open.
bool OpensAlone(const CString& path)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

}  // namespace

// A small new encrypted file stays open in its engine on request, and its
// verification reads it there, with the verdicts of a new opening.
TEST_F(FileVerifyTest, AKeptOutputIsVerifiedThroughItsHandle)
{
    m_cipher.SetKeepOutput(true);
    const struct {
        size_t size;
        bool kept;  // a large output goes around the file cache and is not kept
    } cases[] = {{0, true}, {1000, true}, {(3u << 20) + 77, true}, {(6u << 20) + 5, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        std::string content = qvtest::PatternBytes(c.size, (unsigned)c.size + 5);
        CString encrypted = Encrypt(content);
        CString plain = m_folder / L"source.bin";
        EXPECT_EQ(m_cipher.HasKeptOutput(), c.kept);
        EXPECT_EQ(OpensAlone(encrypted), !c.kept);
        Verdict fresh = TwoStep(encrypted, plain);
        EXPECT_TRUE(fresh.same);
        EXPECT_EQ(Verify(encrypted, plain), fresh);
        CString other = m_folder.WriteFile(L"other.bin", content + "x");
        EXPECT_EQ(Verify(encrypted, other), TwoStep(encrypted, other)) << "a different plain file";
        EXPECT_EQ(Verify(encrypted, plain), fresh) << "read again from the start";
        EXPECT_EQ(m_cipher.HasKeptOutput(), c.kept) << "still kept after its verifications";
        m_cipher.CloseKeptOutput();
        EXPECT_FALSE(m_cipher.HasKeptOutput());
        EXPECT_TRUE(OpensAlone(encrypted));
    }

    // The next operation closes a kept output; a decryption keeps none.
    CString first = Encrypt("first");
    CString copy = m_folder / L"copy.bin", name;
    ASSERT_EQ(m_cipher.CryptFile(first, copy, CRYPT_MODE_DECRYPT, name, nullptr, TRUE), CRYPT_OK);
    EXPECT_FALSE(m_cipher.HasKeptOutput());
    EXPECT_TRUE(OpensAlone(first));
    EXPECT_TRUE(OpensAlone(copy));
    // Without the request nothing is kept.
    m_cipher.SetKeepOutput(false);
    EXPECT_TRUE(OpensAlone(Encrypt("second")));
    EXPECT_FALSE(m_cipher.HasKeptOutput());
}
