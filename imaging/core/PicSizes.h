// Size arithmetic of the image library. Byte counts, row sizes and offsets are
// computed in 64 bits; a block the library makes must stay below
// kPicMaxBlockSize, which is also the largest global-memory block it asks for.
#pragma once

#include <cstdint>

constexpr uint64_t kPicMaxBlockSize = 0x7FFDEFFF;

// True when a block of this many bytes may be allocated.
inline bool PicBlockSizeAllowed(uint64_t bytes) { return bytes < kPicMaxBlockSize; }

// Bytes of one packed-DIB row: width * bits rounded up to 32 bits.
inline uint64_t PicDIBRowBytes(uint32_t width, uint32_t bits) {
    return ((uint64_t)width * bits + 31) / 32 * 4;
}

// Bytes of a row of packed pixels without padding: width * bits rounded up to 8 bits.
inline uint64_t PicPackedRowBytes(uint32_t width, uint32_t bits) {
    return ((uint64_t)width * bits + 7) / 8;
}

// Byte offset of row y in a buffer of the given stride.
inline uint64_t PicRowOffset(uint32_t y, uint64_t stride) { return (uint64_t)y * stride; }

// A stride is large enough when it holds a whole row; a single row needs no stride.
inline bool PicStrideHoldsRow(uint64_t stride, uint64_t rowBytes, uint32_t rows) {
    return rows <= 1 || stride >= rowBytes;
}
