// SHA-256 (FIPS 180-4). The password digest and the static file names depend
// on it, so it follows the standard exactly.
#pragma once

#include <cstddef>
#include <cstdint>

const size_t SHA256_DIGEST_SIZE = 32;

struct Sha256Context {
    uint32_t state[8];
    uint8_t block[64];
    size_t blockFill;       // bytes waiting in block
    uint64_t bytesDone;     // bytes already compressed
};

void Sha256Init(Sha256Context& ctx);
void Sha256Update(Sha256Context& ctx, const void* bytes, size_t length);
// Writes the digest (state words big-endian) and wipes the context.
void Sha256Final(Sha256Context& ctx, uint8_t digest[SHA256_DIGEST_SIZE]);
// Compresses whole 64-byte blocks into the state.
void Sha256Transform(uint32_t state[8], const uint8_t* blocks, size_t blockCount);

// One-call digest of a buffer.
void Sha256Digest(const void* bytes, size_t length, uint8_t digest[SHA256_DIGEST_SIZE]);
