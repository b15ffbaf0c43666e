#include "zip/PkCryptograph.h"

#include "zip/PkException.h"
#include "zip/PkFileHeader.h"
#include "zip/PkStorage.h"

#include <windows.h>
#include <ntsecapi.h>
#include <zlib.h>

namespace {
const uint32_t* CrcTable() { return (const uint32_t*)get_crc_table(); }

// Random bytes from the system's cryptographic generator, so that no two
// encryption headers repeat.
void SystemRandomBytes(char* bytes, uint32_t count)
{
    if (!RtlGenRandom(bytes, count))
        ThrowZipException(ZipCauseInternal);
}
}  // namespace

CPkCrc32Cryptograph::~CPkCrc32Cryptograph() { SecureZeroMemory(m_keys, sizeof m_keys); }

void CPkCrc32Cryptograph::InitKeys(const CPkAutoBuffer& password)
{
    m_keys[0] = 0x12345678;
    m_keys[1] = 0x23456789;
    m_keys[2] = 0x34567890;
    for (uint32_t i = 0; i < password.GetSize(); ++i)
        UpdateKeys((uint8_t)password.GetBuffer()[i]);
}

inline void CPkCrc32Cryptograph::UpdateKeys(uint8_t plain)
{
    const uint32_t* table = CrcTable();
    m_keys[0] = (m_keys[0] >> 8) ^ table[(m_keys[0] ^ plain) & 0xFF];
    m_keys[1] = (m_keys[1] + (m_keys[0] & 0xFF)) * 134775813u + 1;
    m_keys[2] = (m_keys[2] >> 8) ^ table[(m_keys[2] ^ (m_keys[1] >> 24)) & 0xFF];
}

inline uint8_t CPkCrc32Cryptograph::StreamByte() const
{
    uint32_t t = (m_keys[2] & 0xFFFF) | 2;
    return (uint8_t)(((t * (t ^ 1)) >> 8) & 0xFF);
}

void CPkCrc32Cryptograph::Encrypt(char* bytes, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t plain = (uint8_t)bytes[i];
        uint8_t key = StreamByte();
        UpdateKeys(plain);
        bytes[i] = (char)(plain ^ key);
    }
}

void CPkCrc32Cryptograph::Decrypt(char* bytes, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t plain = (uint8_t)bytes[i] ^ StreamByte();
        bytes[i] = (char)plain;
        UpdateKeys(plain);
    }
}

void CPkCrc32Cryptograph::BeginEncryption(const CPkAutoBuffer& password, CPkFileHeader& header, CPkStorage& storage)
{
    InitKeys(password);
    char block[CPkFileHeader::kEncryptionHeaderSize];
    SystemRandomBytes(block, 10);
    block[10] = (char)(header.m_uModTime & 0xFF);
    block[11] = (char)(header.m_uModTime >> 8);
    Encrypt(block, sizeof block);
    if (storage.IsSegmented()) {
        uint32_t done = 0;
        while (done < sizeof block) {
            uint32_t room = storage.AssureFree(1);
            uint32_t n = room < sizeof block - done ? room : (uint32_t)sizeof block - done;
            storage.Write(block + done, n, false);
            done += n;
        }
    } else {
        storage.Write(block, sizeof block, true);
    }
    header.m_uComprSize += CPkFileHeader::kEncryptionHeaderSize;
}

bool CPkCrc32Cryptograph::BeginDecryption(const CPkAutoBuffer& password, CPkFileHeader& header, CPkStorage& storage,
                                          bool skipCheck)
{
    InitKeys(password);
    char block[CPkFileHeader::kEncryptionHeaderSize];
    storage.Read(block, sizeof block, false);
    Decrypt(block, sizeof block);
    if (skipCheck)
        return true;
    uint8_t expected = header.HasDataDescriptor() ? (uint8_t)(header.m_uModTime >> 8) : (uint8_t)(header.m_uCrc32 >> 24);
    return (uint8_t)block[11] == expected;
}
