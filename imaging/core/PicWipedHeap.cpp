#include "imaging/core/PicWipedHeap.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<uint64_t> g_allocated{0};
std::atomic<uint64_t> g_wiped{0};
std::atomic<uint64_t> g_copiesWiped{0};

// Room before a sized block for its size, keeping the block's alignment.
constexpr size_t kSizeHeader = 16;

}  // namespace

void PicWipe(void* bytes, size_t size)
{
    if (bytes == nullptr || size == 0)
        return;
    memset(bytes, 0, size);
    // The memory is about to be freed: without this the store may be dropped.
    __asm__ __volatile__("" : : "r"(bytes) : "memory");
}

void* PicWipedAlloc(size_t size)
{
    void* block = malloc(size);
    if (block != nullptr)
        g_allocated += size;
    return block;
}

void PicWipedFree(void* block, size_t size)
{
    if (block == nullptr)
        return;
    PicWipe(block, size);
    g_wiped += size;
    free(block);
}

void* PicWipedAllocSized(size_t size)
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

void PicWipedFreeSized(void* block)
{
    if (block == nullptr)
        return;
    unsigned char* base = static_cast<unsigned char*>(block) - kSizeHeader;
    size_t size = 0;
    memcpy(&size, base, sizeof size);
    PicWipe(block, size);
    g_wiped += size;
    free(base);
}

void PicWipeCopy(void* bytes, size_t size)
{
    if (bytes == nullptr)
        return;
    PicWipe(bytes, size);
    g_copiesWiped += size;
}

void PicWipeAndFreeGlobal(void* block)
{
    if (block == nullptr)
        return;
    PicWipeCopy(block, GlobalSize(block));
    GlobalFree(block);
}

PicWipedHeapTotals PicWipedHeapCounts()
{
    PicWipedHeapTotals totals;
    totals.copiesWiped = g_copiesWiped.load();
    totals.allocated = g_allocated.load();
    totals.wiped = g_wiped.load();
    return totals;
}
