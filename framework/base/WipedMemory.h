// The one home for memory that holds plaintext: decrypted text, decoded
// pixels and samples, keys. Every block here is overwritten before it goes
// back to the heap, so nothing plain outlives its use in freed memory.
// Nothing here calls Win32: the codec libraries' own threads (not Wine
// threads) release such memory too. Any thread may call these; the totals
// are atomic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

// Overwrites `size` bytes in a way the compiler may not drop (null is ignored).
void WipeBytes(void* bytes, size_t size);

// A block of `size` bytes (null when the heap has none) that is given back
// with its size, for callers and libraries that free with the size.
void* WipedAlloc(size_t size);
void WipedFree(void* block, size_t size);

// A block that remembers its size, for libraries that free without one.
void* WipedAllocSized(size_t size);
void WipedFreeSized(void* block);

// Bytes handed out and wiped through this heap since the process started:
// a test's view of the wiping.
struct WipedMemoryTotals {
    uint64_t allocated = 0;
    uint64_t wiped = 0;
};
WipedMemoryTotals WipedMemoryCounts();

// A standard allocator whose blocks are wiped before they are freed, also
// when a container grows and moves its elements.
template <class T>
struct WipingAllocator {
    using value_type = T;
    WipingAllocator() = default;
    template <class U>
    WipingAllocator(const WipingAllocator<U>&) {}
    T* allocate(size_t count)
    {
        if (count > SIZE_MAX / sizeof(T))
            throw std::bad_alloc();
        void* block = WipedAlloc(count * sizeof(T));
        if (block == nullptr)
            throw std::bad_alloc();
        return static_cast<T*>(block);
    }
    void deallocate(T* block, size_t count) { WipedFree(block, count * sizeof(T)); }
    template <class U>
    bool operator==(const WipingAllocator<U>&) const { return true; }
};

using WipedBytes = std::vector<uint8_t, WipingAllocator<uint8_t>>;

// A byte buffer that wipes its contents when replaced or destroyed. Not
// shared between threads by itself: its owner's lock guards it.
class CWipedBuffer {
public:
    CWipedBuffer() = default;
    ~CWipedBuffer() { Release(); }
    CWipedBuffer(const CWipedBuffer&) = delete;
    CWipedBuffer& operator=(const CWipedBuffer&) = delete;

    // Wipes and drops the old contents, then holds `size` zeroed bytes; false
    // (and empty) when they cannot be had.
    bool Reset(size_t size);
    void Release();
    uint8_t* Data() const { return m_bytes; }
    size_t Size() const { return m_size; }

private:
    uint8_t* m_bytes = nullptr;
    size_t m_size = 0;
};
