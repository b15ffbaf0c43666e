// SSE2 (4 lanes) and AVX2 (8 lanes) builds of the lane kernel. The AVX2 build
// is compiled for that instruction set only inside its own namespace, and is
// called only after the processor check in CXxteaBlockCipher.
#include "crypt/XxteaLanes.h"

#include <immintrin.h>

namespace xxtea_sse2 {

struct Lanes {
    typedef __m128i V;
    static const int kCount = 4;
    static V Set1(uint32_t x) { return _mm_set1_epi32((int)x); }
    static V Add(V a, V b) { return _mm_add_epi32(a, b); }
    static V Sub(V a, V b) { return _mm_sub_epi32(a, b); }
    static V Xor(V a, V b) { return _mm_xor_si128(a, b); }
    template <int N> static V Shl(V a) { return _mm_slli_epi32(a, N); }
    template <int N> static V Shr(V a) { return _mm_srli_epi32(a, N); }

    // 4 x 4 transpose: rows (4 words of one block) <-> columns (one word of 4 blocks).
    static void Transpose(V& r0, V& r1, V& r2, V& r3)
    {
        V t0 = _mm_unpacklo_epi32(r0, r1), t1 = _mm_unpackhi_epi32(r0, r1);
        V t2 = _mm_unpacklo_epi32(r2, r3), t3 = _mm_unpackhi_epi32(r2, r3);
        r0 = _mm_unpacklo_epi64(t0, t2);
        r1 = _mm_unpackhi_epi64(t0, t2);
        r2 = _mm_unpacklo_epi64(t1, t3);
        r3 = _mm_unpackhi_epi64(t1, t3);
    }
    static void LoadWords(const uint8_t* blocks, V w[32])
    {
        for (int q = 0; q < 8; ++q) {
            V r[4];
            for (int j = 0; j < 4; ++j)
                r[j] = _mm_loadu_si128(reinterpret_cast<const V*>(blocks + 128 * j + 16 * q));
            Transpose(r[0], r[1], r[2], r[3]);
            for (int j = 0; j < 4; ++j)
                w[4 * q + j] = r[j];
        }
    }
    static void StoreWords(const V w[32], uint8_t* blocks)
    {
        for (int q = 0; q < 8; ++q) {
            V r[4] = {w[4 * q], w[4 * q + 1], w[4 * q + 2], w[4 * q + 3]};
            Transpose(r[0], r[1], r[2], r[3]);
            for (int j = 0; j < 4; ++j)
                _mm_storeu_si128(reinterpret_cast<V*>(blocks + 128 * j + 16 * q), r[j]);
        }
    }
};

#include "crypt/XxteaLaneKernel.inl"

}  // namespace xxtea_sse2

#pragma GCC push_options
#pragma GCC target("avx2")

namespace xxtea_avx2 {

struct Lanes {
    typedef __m256i V;
    static const int kCount = 8;
    static V Set1(uint32_t x) { return _mm256_set1_epi32((int)x); }
    static V Add(V a, V b) { return _mm256_add_epi32(a, b); }
    static V Sub(V a, V b) { return _mm256_sub_epi32(a, b); }
    static V Xor(V a, V b) { return _mm256_xor_si256(a, b); }
    template <int N> static V Shl(V a) { return _mm256_slli_epi32(a, N); }
    template <int N> static V Shr(V a) { return _mm256_srli_epi32(a, N); }

    // 8 x 8 transpose: rows (8 words of one block) <-> columns (one word of 8 blocks).
    static void Transpose(V r[8])
    {
        V t[8], u[8];
        for (int i = 0; i < 4; ++i) {
            t[2 * i] = _mm256_unpacklo_epi32(r[2 * i], r[2 * i + 1]);
            t[2 * i + 1] = _mm256_unpackhi_epi32(r[2 * i], r[2 * i + 1]);
        }
        for (int i = 0; i < 2; ++i) {
            u[4 * i] = _mm256_unpacklo_epi64(t[4 * i], t[4 * i + 2]);
            u[4 * i + 1] = _mm256_unpackhi_epi64(t[4 * i], t[4 * i + 2]);
            u[4 * i + 2] = _mm256_unpacklo_epi64(t[4 * i + 1], t[4 * i + 3]);
            u[4 * i + 3] = _mm256_unpackhi_epi64(t[4 * i + 1], t[4 * i + 3]);
        }
        for (int i = 0; i < 4; ++i) {
            r[i] = _mm256_permute2x128_si256(u[i], u[i + 4], 0x20);
            r[i + 4] = _mm256_permute2x128_si256(u[i], u[i + 4], 0x31);
        }
    }
    static void LoadWords(const uint8_t* blocks, V w[32])
    {
        for (int q = 0; q < 4; ++q) {
            V r[8];
            for (int j = 0; j < 8; ++j)
                r[j] = _mm256_loadu_si256(reinterpret_cast<const V*>(blocks + 128 * j + 32 * q));
            Transpose(r);
            for (int j = 0; j < 8; ++j)
                w[8 * q + j] = r[j];
        }
    }
    static void StoreWords(const V w[32], uint8_t* blocks)
    {
        for (int q = 0; q < 4; ++q) {
            V r[8];
            for (int j = 0; j < 8; ++j)
                r[j] = w[8 * q + j];
            Transpose(r);
            for (int j = 0; j < 8; ++j)
                _mm256_storeu_si256(reinterpret_cast<V*>(blocks + 128 * j + 32 * q), r[j]);
        }
    }
};

#include "crypt/XxteaLaneKernel.inl"

}  // namespace xxtea_avx2

#pragma GCC pop_options
