// SipHash-2-4 (Aumasson and Bernstein): a keyed 64-bit hash with a 128-bit key.
#pragma once

#include <cstddef>
#include <cstdint>

// The key is 16 bytes read as two little-endian 64-bit words.
uint64_t SipHash24(const uint8_t key[16], const void* bytes, size_t length);
