#include "crypt/EncryptedFileHeader.h"

#include "crypt/PathParts.h"
#include "crypt/XxteaBlockCipher.h"

#include <windows.h>

#include <cstring>

namespace {

const int kLongNameUnits = 116;   // names this long are shortened ...
const int kShortNameUnits = 115;  // ... to this many UTF-16 units

inline void PutLe32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = (uint8_t)(v >> (8 * i));
}

int Utf8Length(const CString& text)
{
    if (text.IsEmpty())
        return 0;
    return WideCharToMultiByte(CP_UTF8, 0, text, text.GetLength(), nullptr, 0, nullptr, nullptr);
}

// Removes the last character, keeping surrogate pairs together.
void DropLastCharacter(CString& text)
{
    int length = text.GetLength();
    if (length >= 2 && IS_LOW_SURROGATE(text[length - 1]) && IS_HIGH_SURROGATE(text[length - 2]))
        --length;
    text.Truncate(length - 1);
}

// The first count units, without splitting a surrogate pair.
CString LeftWhole(const CString& text, int count)
{
    if (count > 0 && count < text.GetLength() && IS_HIGH_SURROGATE(text[count - 1]))
        --count;
    return text.Left(count);
}

}  // namespace

EncryptedFileHeader::~EncryptedFileHeader() { SecureZeroMemory(this, sizeof *this); }

void EncryptedFileHeader::MakeStoredBlocks(const CXxteaBlockCipher& cipher, const uint8_t fill1[128],
                                           const uint8_t fill2[128], uint8_t blocks[3 * 128]) const
{
    memcpy(blocks, IV, 128);
    memcpy(blocks + 128, fill1, 128);
    WriteBlock1(blocks + 128);
    memcpy(blocks + 256, fill2, 128);
    WriteBlock2(blocks + 256);
    cipher.EncryptBlocks(blocks + 128, 2);
}

void EncryptedFileHeader::WriteBlock1(uint8_t block[128]) const
{
    for (int i = 0; i < 8; ++i)
        block[i] = (uint8_t)(PlainSize >> (8 * i));
    block[8] = FormatTag;
    block[9] = ReservedByte;
    block[10] = NameLength;
    memcpy(block + 11, OriginalName, NameLength);
}

void EncryptedFileHeader::WriteBlock2(uint8_t block[128]) const
{
    PutLe32(block, CrcTag);
    for (int i = 0; i < 4; ++i)
        PutLe32(block + 4 + 4 * i, CrcBytes[i]);
    PutLe32(block + 20, CrcReserved);
}

bool EncryptedFileHeader::ReadBlock1(const uint8_t block[128])
{
    PlainSize = 0;
    for (int i = 7; i >= 0; --i)
        PlainSize = (PlainSize << 8) | block[i];
    FormatTag = block[8];
    ReservedByte = block[9];
    NameLength = block[10];
    if (NameLength > MAX_STORED_NAME_BYTES)
        return false;
    memcpy(OriginalName, block + 11, NameLength);
    return true;
}

void EncryptedFileHeader::ReadBlock2(const uint8_t block[128])
{
    CrcTag = block[0] | (block[1] << 8) | (block[2] << 16) | ((uint32_t)block[3] << 24);
    for (int i = 0; i < 4; ++i)
        CrcBytes[i] = block[4 + 4 * i];  // the low byte of words 1-4
    CrcReserved = block[20] | (block[21] << 8) | (block[22] << 16) | ((uint32_t)block[23] << 24);
}

void EncryptedFileHeader::SetOriginalName(const CString& fileName)
{
    NameLength = (uint8_t)StoreOriginalName(fileName, OriginalName);
}

CString EncryptedFileHeader::GetOriginalName() const { return ReadStoredName(OriginalName, NameLength); }

uint64_t EncryptedFileSize(uint64_t plainSize) { return ENCRYPTED_HEADER_SIZE + (plainSize + 127) / 128 * 128; }

int StoreOriginalName(const CString& fileName, uint8_t out[MAX_STORED_NAME_BYTES])
{
    CString extension = FileExtension(fileName);
    CString base = fileName.Left(fileName.GetLength() - extension.GetLength());
    if (fileName.GetLength() >= kLongNameUnits)
        base = extension.GetLength() >= kShortNameUnits ? CString()
                                                        : LeftWhole(base, kShortNameUnits - extension.GetLength());
    // Room for the terminating zero; whole characters go, the extension last.
    while (Utf8Length(base + extension) + 1 > (int)MAX_STORED_NAME_BYTES)
        DropLastCharacter(base.IsEmpty() ? extension : base);
    CString stored = base + extension;
    int length = Utf8Length(stored);
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, stored, stored.GetLength(), reinterpret_cast<char*>(out), length, nullptr,
                            nullptr);
    out[length] = 0;
    return length + 1;
}

CString ReadStoredName(const uint8_t* bytes, size_t length)
{
    const char* text = reinterpret_cast<const char*>(bytes);
    int count = (int)strnlen(text, length);
    if (count == 0)
        return CString();
    int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, count, nullptr, 0);
    if (units <= 0)
        return CString();
    CString name;
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, count, name.GetBuffer(units), units);
    name.ReleaseBuffer(units);
    return name;
}
