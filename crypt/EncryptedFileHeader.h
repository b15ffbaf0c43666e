// The encrypted-file format: 128-byte blocks, multi-byte numbers little-endian.
//   block 0      the IV: 128 random bytes, stored plain
//   block 1      header 1: PlainSize (u64), FormatTag 1, ReservedByte 0,
//                NameLength (0..117), the original name in UTF-8, random fill
//   block 2      header 2 as 32 u32 words: CrcTag 1, the plain content's CRC-32
//                one byte per word (most significant first, all zero: none
//                stored), CrcReserved 0, random fill
//   block 3 ...  the plain content, 128 bytes per block, the last block padded
// Blocks 1 onwards pass through CXxteaBlockCipher. Anything after the last data
// block (a recovery section) is not part of the format and is ignored.
#pragma once

#include "framework/base/CString.h"

#include <cstddef>
#include <cstdint>

class CXxteaBlockCipher;

const size_t ENCRYPTED_HEADER_SIZE = 3 * 128;
const size_t MAX_STORED_NAME_BYTES = 117;

struct EncryptedFileHeader {
    uint8_t IV[128];
    uint64_t PlainSize = 0;
    uint8_t FormatTag = 1;
    uint8_t ReservedByte = 0;
    uint8_t NameLength = 0;
    uint8_t OriginalName[MAX_STORED_NAME_BYTES] = {};
    uint32_t CrcTag = 1;
    uint8_t CrcBytes[4] = {};
    uint32_t CrcReserved = 0;

    // Lays the fields over the start of a block that already holds its fill bytes.
    void WriteBlock1(uint8_t block[128]) const;
    void WriteBlock2(uint8_t block[128]) const;
    // Reads the fields of decrypted blocks; false when NameLength is above 117.
    bool ReadBlock1(const uint8_t block[128]);
    void ReadBlock2(const uint8_t block[128]);

    // The IV and header blocks 1 and 2 as a new file stores them: the fields
    // laid over `fill1` and `fill2` (a block of random bytes each) and enciphered.
    void MakeStoredBlocks(const CXxteaBlockCipher& cipher, const uint8_t fill1[128], const uint8_t fill2[128],
                          uint8_t blocks[3 * 128]) const;

    bool HasCrc() const { return CrcBytes[0] | CrcBytes[1] | CrcBytes[2] | CrcBytes[3]; }
    // Stores the name (see StoreOriginalName).
    void SetOriginalName(const CString& fileName);
    // The stored name: UTF-8 up to the first zero byte; "" when it is not valid UTF-8.
    CString GetOriginalName() const;

    ~EncryptedFileHeader();
};

// Size of the encrypted form of a plain file: the header blocks and
// ceil(plainSize / 128) data blocks.
uint64_t EncryptedFileSize(uint64_t plainSize);

// The name as stored: name and extension of the file, in UTF-8 with a
// terminating zero, at most 117 bytes, returning the byte count. A name of 116
// or more UTF-16 units keeps its extension and the first 115 - (extension
// length) units of the rest; a name whose UTF-8 form is still too long loses
// whole characters before its extension (from the extension's end when the
// extension alone is too long), so the bytes are always valid UTF-8.
int StoreOriginalName(const CString& fileName, uint8_t out[MAX_STORED_NAME_BYTES]);
CString ReadStoredName(const uint8_t* bytes, size_t length);
