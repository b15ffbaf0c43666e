// Crc32: the CRC-32 of ISO-HDLC / IEEE 802.3 / zlib (reflected polynomial
// 0xEDB88320, initial value and final xor 0xFFFFFFFF). Encrypted files and
// recovery sections store it, so it must match that standard bit for bit.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

class Crc32 {
public:
    Crc32() = default;

    void Reset() { m_value = 0; }
    // Continues over more bytes; the value stays the CRC of everything since Reset.
    void Update(const void* bytes, size_t length);
    uint32_t GetValue() const { return m_value; }
    // Continues with bytes whose own CRC-32 and length are known, as if they
    // had been given to Update (parts checksummed on other threads).
    void Append(uint32_t nextCrc, uint64_t nextLength) { m_value = Combine(m_value, nextCrc, nextLength); }
    // The CRC-32 of A followed by B from the CRC-32s of A and B and B's length.
    static uint32_t Combine(uint32_t crcA, uint32_t crcB, uint64_t lengthB);
    // The value as four bytes, most significant first (the stored order).
    void GetBytes(uint8_t out[4]) const;

    // Test hook: true makes every Update use the tables, as on processors
    // without carry-less multiplication. Process-wide.
    static void UseTablesOnly(bool tablesOnly);

    // CRC of a whole file; false (out untouched) when it cannot be opened or read.
    bool FileCrc(const WCHAR* path, uint8_t out[4]);
    // CRC of a buffer, its four stored-order bytes copied into *out's memory,
    // so that *out compares equal to four CRC bytes read from a file.
    bool BufferCrc(const void* bytes, size_t length, uint32_t* out);

private:
    uint32_t m_value = 0;
};
