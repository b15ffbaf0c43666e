#include "crypt/Crc32.h"

#include "crypt/RawFile.h"

#include <cstring>
#include <memory>

namespace {

struct CrcTables {
    uint32_t t[8][256];
};

constexpr CrcTables MakeTables()
{
    CrcTables tables{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        tables.t[0][i] = c;
    }
    for (int k = 1; k < 8; ++k)
        for (int i = 0; i < 256; ++i) {
            uint32_t previous = tables.t[k - 1][i];
            tables.t[k][i] = (previous >> 8) ^ tables.t[0][previous & 255];
        }
    return tables;
}

constexpr CrcTables kTables = MakeTables();

inline uint32_t LoadLe32(const uint8_t* p)
{
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
}

// Polynomials modulo the CRC polynomial, bit-reflected as the CRC register is
// (bit 31 is x^0). Feeding n zero bytes to the register multiplies it by x^(8n).
const uint32_t kPolynomial = 0xEDB88320u;

uint32_t MultiplyModP(uint32_t a, uint32_t b)
{
    uint32_t product = 0;
    for (uint32_t m = 1u << 31; m; m >>= 1) {
        if (a & m)
            product ^= b;
        b = (b & 1) ? (b >> 1) ^ kPolynomial : b >> 1;
    }
    return product;
}

struct PowerTable {
    uint32_t x2n[64];  // x^(2^k) mod P
};

PowerTable MakePowers()
{
    PowerTable table;
    table.x2n[0] = 1u << 30;  // x^1
    for (int k = 1; k < 64; ++k)
        table.x2n[k] = MultiplyModP(table.x2n[k - 1], table.x2n[k - 1]);
    return table;
}

// x^(8 n) mod P.
uint32_t ZeroBytesOperator(uint64_t n)
{
    static const PowerTable powers = MakePowers();
    uint32_t result = 1u << 31;  // x^0
    for (int k = 3; n; n >>= 1, ++k)
        if (n & 1)
            result = MultiplyModP(powers.x2n[k], result);
    return result;
}

}  // namespace

uint32_t Crc32::Combine(uint32_t crcA, uint32_t crcB, uint64_t lengthB)
{
    // crc(A B) = crc(A) x^(8 |B|) + crc(B): the conditioning of both cancels out.
    return MultiplyModP(ZeroBytesOperator(lengthB), crcA) ^ crcB;
}

void Crc32::Update(const void* bytes, size_t length)
{
    const auto& T = kTables.t;
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    uint32_t c = m_value ^ 0xFFFFFFFFu;
    // Slicing by eight: two words per step.
    while (length >= 8) {
        uint32_t a = LoadLe32(p) ^ c;
        uint32_t b = LoadLe32(p + 4);
        c = T[7][a & 255] ^ T[6][(a >> 8) & 255] ^ T[5][(a >> 16) & 255] ^ T[4][a >> 24] ^ T[3][b & 255] ^
            T[2][(b >> 8) & 255] ^ T[1][(b >> 16) & 255] ^ T[0][b >> 24];
        p += 8;
        length -= 8;
    }
    while (length--)
        c = (c >> 8) ^ T[0][(c ^ *p++) & 255];
    m_value = c ^ 0xFFFFFFFFu;
}

void Crc32::GetBytes(uint8_t out[4]) const
{
    out[0] = (uint8_t)(m_value >> 24);
    out[1] = (uint8_t)(m_value >> 16);
    out[2] = (uint8_t)(m_value >> 8);
    out[3] = (uint8_t)m_value;
}

bool Crc32::FileCrc(const WCHAR* path, uint8_t out[4])
{
    CRawFile file;
    if (!file.OpenRead(path, FILE_SHARE_READ | FILE_SHARE_WRITE))
        return false;
    const size_t chunk = 65536;
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[chunk]);
    if (!buffer)
        return false;
    Reset();
    bool ok = true;
    for (;;) {
        int64_t got = file.Read(buffer.get(), chunk);
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        Update(buffer.get(), (size_t)got);
    }
    // The file may hold decrypted content.
    SecureZeroMemory(buffer.get(), chunk);
    if (ok)
        GetBytes(out);
    return ok;
}

bool Crc32::BufferCrc(const void* bytes, size_t length, uint32_t* out)
{
    Reset();
    Update(bytes, length);
    uint8_t stored[4];
    GetBytes(stored);
    memcpy(out, stored, 4);
    return true;
}
