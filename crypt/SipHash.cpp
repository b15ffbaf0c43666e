#include "crypt/SipHash.h"

#include <cstring>

namespace {

inline uint64_t Rotl(uint64_t x, int n) { return (x << n) | (x >> (64 - n)); }

inline uint64_t LoadLe64(const uint8_t* p)
{
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

struct SipState {
    uint64_t v0, v1, v2, v3;

    void Round()
    {
        v0 += v1;
        v1 = Rotl(v1, 13);
        v1 ^= v0;
        v0 = Rotl(v0, 32);
        v2 += v3;
        v3 = Rotl(v3, 16);
        v3 ^= v2;
        v0 += v3;
        v3 = Rotl(v3, 21);
        v3 ^= v0;
        v2 += v1;
        v1 = Rotl(v1, 17);
        v1 ^= v2;
        v2 = Rotl(v2, 32);
    }

    void Absorb(uint64_t m)
    {
        v3 ^= m;
        Round();
        Round();
        v0 ^= m;
    }
};

}  // namespace

uint64_t SipHash24(const uint8_t key[16], const void* bytes, size_t length)
{
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    uint64_t k0 = LoadLe64(key), k1 = LoadLe64(key + 8);
    SipState s{k0 ^ 0x736f6d6570736575ull, k1 ^ 0x646f72616e646f6dull, k0 ^ 0x6c7967656e657261ull,
               k1 ^ 0x7465646279746573ull};
    size_t whole = length & ~(size_t)7;
    for (size_t i = 0; i < whole; i += 8)
        s.Absorb(LoadLe64(p + i));
    // Last word: the remaining bytes, and the length's low byte on top.
    uint64_t last = (uint64_t)(length & 255) << 56;
    for (size_t i = 0; i < (length & 7); ++i)
        last |= (uint64_t)p[whole + i] << (8 * i);
    s.Absorb(last);
    s.v2 ^= 0xff;
    for (int i = 0; i < 4; ++i)
        s.Round();
    return s.v0 ^ s.v1 ^ s.v2 ^ s.v3;
}
