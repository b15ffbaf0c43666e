#include "crypt/MemoryEncrypt.h"

#include "crypt/Crc32.h"
#include "crypt/EncryptedFileHeader.h"
#include "crypt/FileCipher.h"
#include "crypt/KeyState.h"
#include "crypt/RawFile.h"
#include "crypt/SystemRandom.h"
#include "crypt/XxteaBlockCipher.h"

#include <algorithm>
#include <cstring>

namespace {

const size_t kBlock = CIPHER_BLOCK_SIZE;
// Blocks enciphered and written at a time.
const size_t kChunkBlocks = 512;

// A working buffer of plain bytes on their way to the cipher, wiped when it goes.
class WipedChunk {
public:
    WipedChunk() { memset(m_bytes, 0, sizeof m_bytes); }
    ~WipedChunk() { SecureZeroMemory(m_bytes, sizeof m_bytes); }
    uint8_t* Bytes() { return m_bytes; }

private:
    uint8_t m_bytes[kChunkBlocks * kBlock];
};

// The key copy of one operation, wiped when it goes.
struct KeyCopy {
    uint8_t key[CIPHER_KEY_SIZE];
    KeyCopy() { memcpy(key, g_FileKey, sizeof key); }
    ~KeyCopy() { SecureZeroMemory(key, sizeof key); }
};

// The content in whole blocks, the last one padded with random bytes.
int WriteDataBlocks(const CXxteaBlockCipher& cipher, const uint8_t* data, size_t size, CRawFile& file)
{
    WipedChunk chunk;
    for (size_t done = 0; done < size;) {
        size_t bytes = std::min(size - done, sizeof(WipedChunk));
        size_t padded = (bytes + kBlock - 1) / kBlock * kBlock;
        memcpy(chunk.Bytes(), data + done, bytes);
        if (padded > bytes && !FillSystemRandom(chunk.Bytes() + bytes, padded - bytes))
            return CRYPT_WRITE_FAILED;
        cipher.EncryptBlocks(chunk.Bytes(), padded / kBlock);
        if (file.Write(chunk.Bytes(), padded) != padded)
            return CRYPT_WRITE_FAILED;
        done += bytes;
    }
    return CRYPT_OK;
}

}  // namespace

int ReadEncryptedFileOptions(const CString& path, EncryptedFileOptions& options)
{
    options = EncryptedFileOptions();
    if (!HasKey())
        return CRYPT_BAD_KEY;
    CRawFile file;
    if (!file.OpenRead(path, FILE_SHARE_READ | FILE_SHARE_WRITE))
        return CRYPT_OPEN_INPUT_FAILED;
    uint8_t blocks[3 * kBlock];
    int64_t fileSize = file.Size();
    if (file.Read(blocks, sizeof blocks) != (int64_t)sizeof blocks)
        return CRYPT_BAD_KEY;
    KeyCopy key;
    CXxteaBlockCipher cipher(key.key, blocks);
    cipher.DecryptBlocks(blocks + kBlock, 2);
    EncryptedFileHeader header;
    bool nameFits = header.ReadBlock1(blocks + kBlock);
    header.ReadBlock2(blocks + 2 * kBlock);
    SecureZeroMemory(blocks, sizeof blocks);
    // A recovery section may follow the data, so the file may be longer.
    bool sizeFits = header.PlainSize <= CFileCipher::SIZE_LIMIT && EncryptedFileSize(header.PlainSize) <= (uint64_t)fileSize;
    CString name = nameFits ? header.GetOriginalName() : CString();
    if (!sizeFits || name.IsEmpty())
        return CRYPT_BAD_KEY;
    options.storedName = name;
    options.plainSize = header.PlainSize;
    options.crcStored = header.HasCrc();
    return CRYPT_OK;
}

int EncryptMemoryToFile(const uint8_t* data, size_t size, const CString& storedName, bool storeCrc,
                        const CString& output)
{
    if (!HasKey())
        return CRYPT_BAD_KEY;
    if (EncryptedFileSize(size) > CFileCipher::SIZE_LIMIT)
        return CRYPT_TOO_BIG;
    EncryptedFileHeader header;
    if (!FillSystemRandom(header.IV, sizeof header.IV))
        return CRYPT_WRITE_FAILED;  // no safe IV, so no output can be made
    header.PlainSize = size;
    header.SetOriginalName(storedName);
    if (storeCrc) {
        Crc32 crc;
        crc.Update(data, size);
        crc.GetBytes(header.CrcBytes);
    }
    KeyCopy key;
    CXxteaBlockCipher cipher(key.key, header.IV);

    CRawFile file;
    if (!file.Create(output, 0))
        return CRYPT_WRITE_FAILED;
    uint8_t fill[2][kBlock];
    if (!FillSystemRandom(fill, sizeof fill))
        return CRYPT_WRITE_FAILED;
    uint8_t blocks[3 * kBlock];
    header.MakeStoredBlocks(cipher, fill[0], fill[1], blocks);
    if (file.Write(blocks, sizeof blocks) != sizeof blocks)
        return CRYPT_WRITE_FAILED;
    return WriteDataBlocks(cipher, data, size, file);
}
