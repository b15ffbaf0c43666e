#include "framework/base/WipedMemory.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<uint64_t> g_allocated{0};
std::atomic<uint64_t> g_wiped{0};

// Room before a sized block for its size, keeping malloc's alignment.
constexpr size_t kSizeHeader = 16;

}  // namespace

void WipeBytes(void* bytes, size_t size)
{
    if (bytes == nullptr || size == 0)
        return;
    memset(bytes, 0, size);
    // The memory is about to be freed: without this the store may be dropped.
    __asm__ __volatile__("" : : "r"(bytes) : "memory");
}

void* WipedAlloc(size_t size)
{
    void* block = malloc(size == 0 ? 1 : size);
    if (block != nullptr)
        g_allocated += size;
    return block;
}

void WipedFree(void* block, size_t size)
{
    if (block == nullptr)
        return;
    WipeBytes(block, size);
    g_wiped += size;
    free(block);
}

void* WipedAllocSized(size_t size)
{
    if (size > SIZE_MAX - kSizeHeader)
        return nullptr;
    auto* base = static_cast<unsigned char*>(malloc(size + kSizeHeader));
    if (base == nullptr)
        return nullptr;
    memcpy(base, &size, sizeof size);
    g_allocated += size;
    return base + kSizeHeader;
}

void WipedFreeSized(void* block)
{
    if (block == nullptr)
        return;
    unsigned char* base = static_cast<unsigned char*>(block) - kSizeHeader;
    size_t size = 0;
    memcpy(&size, base, sizeof size);
    WipeBytes(block, size);
    g_wiped += size;
    free(base);
}

WipedMemoryTotals WipedMemoryCounts()
{
    WipedMemoryTotals totals;
    totals.allocated = g_allocated.load();
    totals.wiped = g_wiped.load();
    return totals;
}

bool CWipedBuffer::Reset(size_t size)
{
    Release();
    if (size == 0)
        return true;
    m_bytes = static_cast<uint8_t*>(WipedAlloc(size));
    if (m_bytes == nullptr)
        return false;
    memset(m_bytes, 0, size);
    m_size = size;
    return true;
}

void CWipedBuffer::Release()
{
    WipedFree(m_bytes, m_size);
    m_bytes = nullptr;
    m_size = 0;
}
