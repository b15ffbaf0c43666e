// Memory that is overwritten before it goes back to the heap: the codec
// libraries' (PNG, JPEG) working memory, where they keep decoded rows,
// palettes, coefficient blocks and decompression windows, and the copies
// that drawing makes of a picture. For an encrypted picture that is its
// plain content, which must not linger in freed memory. Any thread may call
// these; the totals are atomic.
#pragma once

#include <cstddef>
#include <cstdint>

// A block of `size` bytes (null when the heap has none) that is given back
// with its size (PicWipedFree), for libraries that free with the size.
void* PicWipedAlloc(size_t size);
void PicWipedFree(void* block, size_t size);

// A block that remembers its size, for libraries that free without one.
void* PicWipedAllocSized(size_t size);
void PicWipedFreeSized(void* block);

// Overwrites `size` bytes in a way the compiler may not drop.
void PicWipe(void* bytes, size_t size);

// Copies of a picture made for drawing: wiped (and counted), and a
// GlobalAlloc block wiped whole, then freed (null is ignored).
void PicWipeCopy(void* bytes, size_t size);
void PicWipeAndFreeGlobal(void* block);

// Bytes handed out and wiped by PicWipedAlloc/PicWipedAllocSized and their
// frees, and bytes of drawing copies wiped, since the process started (a
// test's view of the wiping).
struct PicWipedHeapTotals {
    uint64_t allocated = 0;
    uint64_t wiped = 0;
    uint64_t copiesWiped = 0;
};
PicWipedHeapTotals PicWipedHeapCounts();
