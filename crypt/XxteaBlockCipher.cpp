#include "crypt/XxteaBlockCipher.h"

#include "crypt/XxteaLanes.h"

#include <windows.h>

#include <atomic>
#include <cstring>

namespace {

inline uint32_t Mix(uint32_t z, uint32_t y, uint32_t sum, uint32_t key)
{
    return (((z >> 5) ^ (y << 2)) + ((y >> 3) ^ (z << 4))) ^ ((sum ^ y) + (key ^ z));
}

// One block on its own; v holds its 32 words.
void EncryptWords(uint32_t v[32], const uint32_t key[4])
{
    uint32_t sum = 0;
    for (int cycle = 0; cycle < XXTEA_CYCLES; ++cycle) {
        sum += XXTEA_DELTA;
        unsigned e = (sum >> 2) & 3;
        uint32_t z = v[31];
        for (int p = 0; p < 32; ++p)
            z = v[p] += Mix(z, v[(p + 1) & 31], sum, key[(p & 3) ^ e]);
    }
}

void DecryptWords(uint32_t v[32], const uint32_t key[4])
{
    uint32_t sum = XXTEA_DELTA * (uint32_t)XXTEA_CYCLES;
    for (int cycle = 0; cycle < XXTEA_CYCLES; ++cycle, sum -= XXTEA_DELTA) {
        unsigned e = (sum >> 2) & 3;
        uint32_t y = v[0];
        for (int p = 31; p >= 0; --p)
            y = v[p] -= Mix(v[(p + 31) & 31], y, sum, key[(p & 3) ^ e]);
    }
}

void XorWords(uint32_t v[32], const uint32_t w[32])
{
    for (int i = 0; i < 32; ++i)
        v[i] ^= w[i];
}

void EncryptScalar(const uint32_t key[4], const uint32_t whitening[32], const uint8_t* in, uint8_t* out,
                   size_t count)
{
    uint32_t v[32];
    for (; count; --count, in += CIPHER_BLOCK_SIZE, out += CIPHER_BLOCK_SIZE) {
        memcpy(v, in, sizeof v);
        XorWords(v, whitening);
        EncryptWords(v, key);
        memcpy(out, v, sizeof v);
    }
    SecureZeroMemory(v, sizeof v);
}

void DecryptScalar(const uint32_t key[4], const uint32_t whitening[32], const uint8_t* in, uint8_t* out,
                   size_t count)
{
    uint32_t v[32];
    for (; count; --count, in += CIPHER_BLOCK_SIZE, out += CIPHER_BLOCK_SIZE) {
        memcpy(v, in, sizeof v);
        DecryptWords(v, key);
        XorWords(v, whitening);
        memcpy(out, v, sizeof v);
    }
    SecureZeroMemory(v, sizeof v);
}

XxteaPath BestPath()
{
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2"))
        return XXTEA_PATH_AVX2;
    return XXTEA_PATH_SSE2;  // part of every x86-64 processor
}

std::atomic<int> g_forcedPath{XXTEA_PATH_AUTO};

}  // namespace

CXxteaBlockCipher::CXxteaBlockCipher(const uint8_t key[CIPHER_KEY_SIZE], const uint8_t iv[CIPHER_BLOCK_SIZE])
{
    memcpy(m_key, key, sizeof m_key);
    uint8_t white[CIPHER_BLOCK_SIZE];
    for (size_t i = 0; i < CIPHER_BLOCK_SIZE; ++i)
        white[i] = iv[i] ^ key[i % CIPHER_KEY_SIZE];
    memcpy(m_whitening, white, sizeof m_whitening);
    SecureZeroMemory(white, sizeof white);
}

CXxteaBlockCipher::~CXxteaBlockCipher()
{
    SecureZeroMemory(m_key, sizeof m_key);
    SecureZeroMemory(m_whitening, sizeof m_whitening);
}

void CXxteaBlockCipher::ForcePath(XxteaPath path) { g_forcedPath.store(path); }

XxteaPath CXxteaBlockCipher::ActivePath()
{
    static const XxteaPath best = BestPath();
    XxteaPath forced = (XxteaPath)g_forcedPath.load(std::memory_order_relaxed);
    if (forced == XXTEA_PATH_AUTO || (forced == XXTEA_PATH_AVX2 && best != XXTEA_PATH_AVX2))
        return best;
    return forced;
}

namespace {

typedef size_t (*LaneKernel)(const uint32_t*, const uint32_t*, const uint8_t*, uint8_t*, size_t);
typedef void (*ScalarKernel)(const uint32_t*, const uint32_t*, const uint8_t*, uint8_t*, size_t);

// The widest path does whole lane groups, narrower paths the rest.
void RunPaths(LaneKernel avx2, LaneKernel sse2, ScalarKernel scalar, const uint32_t* key, const uint32_t* whitening,
              uint8_t* blocks, size_t count)
{
    size_t done = 0;
    switch (CXxteaBlockCipher::ActivePath()) {
    case XXTEA_PATH_AVX2:
        done = avx2(key, whitening, blocks, blocks, count);
        [[fallthrough]];
    case XXTEA_PATH_SSE2:
        done += sse2(key, whitening, blocks + done * CIPHER_BLOCK_SIZE, blocks + done * CIPHER_BLOCK_SIZE, count - done);
        break;
    default:
        break;
    }
    scalar(key, whitening, blocks + done * CIPHER_BLOCK_SIZE, blocks + done * CIPHER_BLOCK_SIZE, count - done);
}

}  // namespace

void CXxteaBlockCipher::EncryptBlocks(uint8_t* blocks, size_t count) const
{
    RunPaths(xxtea_avx2::EncryptBlocks, xxtea_sse2::EncryptBlocks, EncryptScalar, m_key, m_whitening, blocks, count);
}

void CXxteaBlockCipher::DecryptBlocks(uint8_t* blocks, size_t count) const
{
    RunPaths(xxtea_avx2::DecryptBlocks, xxtea_sse2::DecryptBlocks, DecryptScalar, m_key, m_whitening, blocks, count);
}
