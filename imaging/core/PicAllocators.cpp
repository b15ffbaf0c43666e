#include "imaging/core/PicAllocators.h"

#include "imaging/core/PicSizes.h"
#include "imaging/core/PicThreadState.h"

namespace {

HGLOBAL AllocGlobal(uint32_t size, UINT flags = GMEM_ZEROINIT) {
    if (size == 0 || !PicBlockSizeAllowed(size)) return nullptr;
    return GlobalAlloc(flags, size);
}

// Grows or shrinks a global block. A failed shrink keeps the old block, which
// still holds the requested size; a failed growth fails.
bool ReallocGlobal(HGLOBAL& block, void*& data, uint32_t size) {
    if (size == 0) return false;
    if (block == nullptr) {
        block = AllocGlobal(size);
        data = block;
        return block != nullptr;
    }
    if (HGLOBAL grown = SafeGlobalReAlloc(block, size)) {
        block = grown;
        data = grown;
        return true;
    }
    return GlobalSize(block) >= size;
}

}  // namespace

HGLOBAL SafeGlobalReAlloc(HGLOBAL block, uint32_t size) {
    if (!PicBlockSizeAllowed(size)) return nullptr;
    return GlobalReAlloc(block, size, GMEM_MOVEABLE);
}

void CPicOutBufAllocator::Reset() {
    fromCallback = false;
    globalBlock = nullptr;
    data = nullptr;
}

bool CPicOutBufAllocator::Alloc(uint32_t size) { return AllocBlock(size, GMEM_ZEROINIT); }

bool CPicOutBufAllocator::AllocUnfilled(uint32_t size) { return AllocBlock(size, GMEM_FIXED); }

bool CPicOutBufAllocator::AllocBlock(uint32_t size, UINT globalFlags) {
    Reset();
    CPicThreadState* state = GetThreadState();
    if (state != nullptr && state->allocCallbacks.alloc != nullptr) {
        void* block = state->allocCallbacks.alloc(size, state->allocCallbacks.user);
        if (block == nullptr || IsBadWritePtr(block, size)) return false;
        data = block;
        fromCallback = true;
        return true;
    }
    globalBlock = AllocGlobal(size, globalFlags);
    data = globalBlock;
    return globalBlock != nullptr;
}

bool CPicOutBufAllocator::Realloc(uint32_t size) {
    if (fromCallback) {
        CPicThreadState* state = GetThreadState();
        if (state == nullptr || state->allocCallbacks.realloc == nullptr) return false;
        void* block = state->allocCallbacks.realloc(data, size, state->allocCallbacks.user);
        if (block == nullptr) return false;  // the old block stays valid
        data = block;
        return true;
    }
    return ReallocGlobal(globalBlock, data, size);
}

bool CPicOutBufAllocator::Free() {
    if (fromCallback) {
        CPicThreadState* state = GetThreadState();
        bool freed = false;
        if (state != nullptr && state->allocCallbacks.free != nullptr)
            freed = state->allocCallbacks.free(data, state->allocCallbacks.user) == 1;
        Reset();
        return freed;
    }
    if (globalBlock != nullptr) GlobalFree(globalBlock);
    Reset();
    return true;
}

void CPicOutBufAllocator::TakeFrom(CPicOutBufAllocator& other) {
    if (&other == this || (other.globalBlock == globalBlock && other.data == data)) return;
    Free();
    fromCallback = other.fromCallback;
    globalBlock = other.globalBlock;
    data = other.data;
    other.Reset();
}

CPicInternalAllocator::~CPicInternalAllocator() { CPicInternalAllocator::Free(); }

bool CPicInternalAllocator::Alloc(uint32_t size) {
    Free();
    globalBlock = AllocGlobal(size);
    data = globalBlock;
    return globalBlock != nullptr;
}

bool CPicInternalAllocator::Realloc(uint32_t size) { return ReallocGlobal(globalBlock, data, size); }

bool CPicInternalAllocator::Free() {
    if (globalBlock != nullptr) GlobalFree(globalBlock);
    Reset();
    return true;
}
