// The engine's buffers hold plain data (decrypted chunks, the plain file a
// verification reads, the memory buffer): none of it may be left in memory
// the engine gives back.
#include "tests/crypt/CryptTestSupport.h"

#include "crypt/FileCipher.h"
#include "tests/FreedBlockScanner.h"

using crypttest::PasswordScope;

TEST(FileCipherFreedMemory, PlainDataIsWipedBeforeItsBuffersAreFreed)
{
    PasswordScope password(L"freed memory password");
    qvtest::TempFolder folder;
    const std::string marker = MakeFreedBlockMarker("QVCIPH");
    // Whole chunks' worth of the marker, at every offset within a block.
    std::string content;
    while (content.size() < 300000)
        content += marker + std::string(content.size() % 7, '.');
    CString plain = folder.WriteFile(L"plain.bin", content);
    CString encrypted = folder / L"plain.enc", decrypted = folder / L"plain.dec", name;
    const uint64_t plainSize = content.size();
    std::string().swap(content);

    CFreedBlockScanner scan(marker);
    CFileCipher cipher;
    cipher.SetKeepOutput(true);
    ASSERT_EQ(cipher.CryptFile(plain, encrypted, CRYPT_MODE_ENCRYPT, name, nullptr, TRUE), CRYPT_OK);
    bool same = false;
    EXPECT_EQ(cipher.VerifyEncryptedFile(encrypted, plain, nullptr, same), CRYPT_OK);
    EXPECT_TRUE(same);
    cipher.CloseKeptOutput();
    EXPECT_EQ(cipher.CryptFile(encrypted, decrypted, CRYPT_MODE_DECRYPT, name, nullptr, TRUE), CRYPT_OK);
    EXPECT_EQ(cipher.DecryptFileToMemory(encrypted, name), CRYPT_OK);
    EXPECT_EQ(cipher.GetMemorySize(), plainSize);
    cipher.ReleaseMemory();
    scan.Stop();
    EXPECT_GT(scan.BlocksScanned(), 0u);
    EXPECT_EQ(scan.Hits(), 0u) << scan.Report();
    EXPECT_EQ(qvtest::ReadFileBytes(decrypted), qvtest::ReadFileBytes(plain));
}
