#include "imaging/core/PicWipedCopies.h"

#include "framework/base/WipedMemory.h"

#include <windows.h>

#include <atomic>

namespace {
std::atomic<uint64_t> g_copiesWiped{0};
}  // namespace

void PicWipeCopy(void* bytes, size_t size)
{
    if (bytes == nullptr)
        return;
    WipeBytes(bytes, size);
    g_copiesWiped += size;
}

void PicWipeAndFreeGlobal(void* block)
{
    if (block == nullptr)
        return;
    PicWipeCopy(block, GlobalSize(block));
    GlobalFree(block);
}

uint64_t PicWipedCopyBytes() { return g_copiesWiped.load(); }
