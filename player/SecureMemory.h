// Wiping of decoded and demuxed media before its memory is released: the
// player may be playing a decrypted copy, so its plaintext must not linger
// in freed memory. These helpers call no Win32 function, because the codec
// library's own worker threads (not Wine threads) release buffers too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct AVFrame;
struct AVPacket;

// Overwrites bytes so that the compiler cannot drop the write.
void WipeBytes(void* data, size_t size);

// An allocator whose blocks are wiped before they are freed (also when a
// vector grows and moves its elements).
template <class T>
struct WipingAllocator {
    using value_type = T;
    WipingAllocator() = default;
    template <class U>
    WipingAllocator(const WipingAllocator<U>&) {}
    T* allocate(size_t count) { return static_cast<T*>(::operator new(count * sizeof(T))); }
    void deallocate(T* block, size_t count)
    {
        WipeBytes(block, count * sizeof(T));
        ::operator delete(block);
    }
    template <class U>
    bool operator==(const WipingAllocator<U>&) const { return true; }
};

using WipedBytes = std::vector<uint8_t, WipingAllocator<uint8_t>>;

// Puts the packet's payload behind a reference that wipes it when the last
// holder (the player or the decoder) lets it go. False when out of memory;
// the packet is unchanged then.
bool WipePayloadOnRelease(AVPacket* packet);

// Wipes the frame's sample or pixel buffers that no one else references.
void WipeUnsharedFrameBuffers(AVFrame* frame);
