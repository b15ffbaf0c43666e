// The SIMD kernels behind CXxteaBlockCipher (internal). Each transforms as
// many whole lane groups of blocks from in to out (the same buffer, or buffers
// that do not overlap) as fit into count and returns the number of blocks
// done; the caller finishes the rest on a narrower path.
#pragma once

#include <cstddef>
#include <cstdint>

const uint32_t XXTEA_DELTA = 0x9E3779B9u;
const int XXTEA_CYCLES = 11;

namespace xxtea_sse2 {
size_t EncryptBlocks(const uint32_t key[4], const uint32_t whitening[32], const uint8_t* in, uint8_t* out, size_t count);
size_t DecryptBlocks(const uint32_t key[4], const uint32_t whitening[32], const uint8_t* in, uint8_t* out, size_t count);
}  // namespace xxtea_sse2

namespace xxtea_avx2 {
size_t EncryptBlocks(const uint32_t key[4], const uint32_t whitening[32], const uint8_t* in, uint8_t* out, size_t count);
size_t DecryptBlocks(const uint32_t key[4], const uint32_t whitening[32], const uint8_t* in, uint8_t* out, size_t count);
}  // namespace xxtea_avx2
