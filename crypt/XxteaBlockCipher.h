// CXxteaBlockCipher: the block transform of encrypted files.
//
// Every 128-byte block is whitened with the file's IV and the repeated key
// (W = IV xor key pattern), then enciphered as one XXTEA block of 32
// little-endian words under the 16-byte key with 11 cycles:
//   encrypt: C = XXTEA(P xor W)      decrypt: P = XXTEA^-1(C) xor W
// Blocks are independent (one IV for the whole file, no chaining), so many
// blocks are processed side by side in SIMD lanes; every path gives the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>

const size_t CIPHER_BLOCK_SIZE = 128;
const size_t CIPHER_BLOCK_WORDS = 32;
const size_t CIPHER_KEY_SIZE = 16;

enum XxteaPath {
    XXTEA_PATH_AUTO,    // the widest path the processor supports
    XXTEA_PATH_SCALAR,
    XXTEA_PATH_SSE2,
    XXTEA_PATH_AVX2,
};

class CXxteaBlockCipher {
public:
    CXxteaBlockCipher(const uint8_t key[CIPHER_KEY_SIZE], const uint8_t iv[CIPHER_BLOCK_SIZE]);
    ~CXxteaBlockCipher();
    CXxteaBlockCipher(const CXxteaBlockCipher&) = delete;
    CXxteaBlockCipher& operator=(const CXxteaBlockCipher&) = delete;

    // In place over count consecutive 128-byte blocks.
    void EncryptBlocks(uint8_t* blocks, size_t count) const;
    void DecryptBlocks(uint8_t* blocks, size_t count) const;

    // Chooses the path for all ciphers of the process (tests and benchmarks);
    // a path the processor lacks falls back to the best one it has.
    static void ForcePath(XxteaPath path);
    // The path EncryptBlocks and DecryptBlocks use now.
    static XxteaPath ActivePath();

private:
    uint32_t m_whitening[CIPHER_BLOCK_WORDS];
    uint32_t m_key[4];
};
