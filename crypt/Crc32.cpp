#include "crypt/Crc32.h"

#include "crypt/RawFile.h"

#include <atomic>
#include <cstring>
#include <memory>

#include <wmmintrin.h>

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

// x^n mod P.
uint32_t XPowerModP(uint64_t n)
{
    static const PowerTable powers = MakePowers();
    uint32_t result = 1u << 31;  // x^0
    for (int k = 0; n; n >>= 1, ++k)
        if (n & 1)
            result = MultiplyModP(powers.x2n[k], result);
    return result;
}

// x^(8 n) mod P.
uint32_t ZeroBytesOperator(uint64_t n) { return XPowerModP(8 * n); }

}  // namespace

uint32_t Crc32::Combine(uint32_t crcA, uint32_t crcB, uint64_t lengthB)
{
    // crc(A B) = crc(A) x^(8 |B|) + crc(B): the conditioning of both cancels out.
    return MultiplyModP(ZeroBytesOperator(lengthB), crcA) ^ crcB;
}

namespace {

// The register (before the final xor) continued over the bytes by tables.
uint32_t TableUpdate(uint32_t c, const uint8_t* p, size_t length)
{
    const auto& T = kTables.t;
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
    return c;
}

// Carry-less multiplication folds 16-byte blocks: a 128-bit value V stands
// for the data so far, modulo P. Loaded little-endian, bit m of V is the
// coefficient of x^(127 - m); its low quadword L carries x^127..x^64 and its
// high one H x^63..x^0. Moving V s bits further (V x^s) replaces both halves
// by products with constants congruent to x^(s+64) and x^s. A product of two
// quadwords comes out one place short of that layout, which the constants
// absorb: each holds x^(n-1) mod P, bit j the coefficient of x^(63-j).
struct FoldConstants {
    __m128i by512, by128;  // low quadword for L, high for H
};

uint64_t PowerConstant(uint64_t power) { return (uint64_t)XPowerModP(power - 1) << 32; }

const FoldConstants& Constants()
{
    static const FoldConstants constants = {
        _mm_set_epi64x((long long)PowerConstant(512), (long long)PowerConstant(512 + 64)),
        _mm_set_epi64x((long long)PowerConstant(128), (long long)PowerConstant(128 + 64)),
    };
    return constants;
}

__attribute__((target("pclmul"))) inline __m128i Fold(__m128i v, __m128i constant)
{
    return _mm_xor_si128(_mm_clmulepi64_si128(v, constant, 0x00), _mm_clmulepi64_si128(v, constant, 0x11));
}

inline __m128i Load(const uint8_t* p) { return _mm_loadu_si128((const __m128i*)p); }

// The register continued over `length` bytes, a multiple of 16 and at least
// 64: four values fold side by side, 64 bytes apart, then into one, whose 16
// bytes, read by the tables from a zero register, give the register (the
// starting register counts as xored into the first four bytes).
__attribute__((target("pclmul"))) uint32_t FoldUpdate(uint32_t c, const uint8_t* p, size_t length)
{
    const FoldConstants& k = Constants();
    __m128i a0 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128((int)c));
    __m128i a1 = Load(p + 16), a2 = Load(p + 32), a3 = Load(p + 48);
    for (p += 64, length -= 64; length >= 64; p += 64, length -= 64) {
        a0 = _mm_xor_si128(Fold(a0, k.by512), Load(p));
        a1 = _mm_xor_si128(Fold(a1, k.by512), Load(p + 16));
        a2 = _mm_xor_si128(Fold(a2, k.by512), Load(p + 32));
        a3 = _mm_xor_si128(Fold(a3, k.by512), Load(p + 48));
    }
    a1 = _mm_xor_si128(Fold(a0, k.by128), a1);
    a2 = _mm_xor_si128(Fold(a1, k.by128), a2);
    a3 = _mm_xor_si128(Fold(a2, k.by128), a3);
    for (; length >= 16; p += 16, length -= 16)
        a3 = _mm_xor_si128(Fold(a3, k.by128), Load(p));
    uint8_t rest[16];
    _mm_storeu_si128((__m128i*)rest, a3);
    return TableUpdate(0, rest, sizeof rest);
}

bool ProcessorFolds()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
}

const bool kProcessorFolds = ProcessorFolds();
std::atomic<bool> s_tablesOnly{false};

// Shorter runs cost less by tables than setting up the fold.
const size_t kFoldMinimum = 256;

}  // namespace

void Crc32::UseTablesOnly(bool tablesOnly) { s_tablesOnly.store(tablesOnly); }

void Crc32::Update(const void* bytes, size_t length)
{
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    uint32_t c = m_value ^ 0xFFFFFFFFu;
    if (length >= kFoldMinimum && kProcessorFolds && !s_tablesOnly.load(std::memory_order_relaxed)) {
        size_t folded = length & ~(size_t)15;
        c = FoldUpdate(c, p, folded);
        p += folded;
        length -= folded;
    }
    m_value = TableUpdate(c, p, length) ^ 0xFFFFFFFFu;
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
