// Allocators of global memory. CPicOutBufAllocator makes blocks that leave the
// library (the receiver frees them with GlobalFree; the thread's output-buffer
// callbacks may supply them instead); dropping the allocator frees nothing.
// CPicInternalAllocator makes working buffers and frees them when it ends.
// Every Alloc and Realloc answers false when the caller does not get its memory.
#pragma once

#include <windows.h>

#include <cstdint>

class CPicOutBufAllocator {
public:
    CPicOutBufAllocator() = default;
    virtual ~CPicOutBufAllocator() = default;
    CPicOutBufAllocator(const CPicOutBufAllocator&) = delete;
    CPicOutBufAllocator& operator=(const CPicOutBufAllocator&) = delete;

    // A zero-filled block of size bytes (or the callbacks' block).
    virtual bool Alloc(uint32_t size);
    // The same without the zero fill, for a caller that writes every byte
    // itself (or zeroes what it leaves): filling a large block first costs a
    // pass over memory that the decoder's stores would fault in anyway.
    bool AllocUnfilled(uint32_t size);
    // Resizes the block; false (old block kept) unless a block of at least size bytes is held.
    virtual bool Realloc(uint32_t size);
    virtual bool Free();
    // Takes over other's block after freeing its own.
    virtual void TakeFrom(CPicOutBufAllocator& other);

    // Forgets the block without freeing it (it has been handed over).
    void Reset();
    void* GetData() const { return fromCallback ? data : (void*)globalBlock; }

    bool fromCallback = false;
    HGLOBAL globalBlock = nullptr;
    void* data = nullptr;

private:
    bool AllocBlock(uint32_t size, UINT globalFlags);
};

class CPicInternalAllocator : public CPicOutBufAllocator {
public:
    CPicInternalAllocator() = default;
    ~CPicInternalAllocator() override;

    bool Alloc(uint32_t size) override;
    bool Realloc(uint32_t size) override;
    bool Free() override;
};

// GlobalReAlloc under the library's size limit; null when refused or failed.
HGLOBAL SafeGlobalReAlloc(HGLOBAL block, uint32_t size);
