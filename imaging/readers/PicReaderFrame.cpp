#include "imaging/readers/PicReaderFrame.h"

#include <atomic>
#include <cstdarg>

#include "framework/base/WipedMemory.h"
#include "imaging/core/PicSizes.h"

namespace {
std::atomic<uint64_t> g_pixelBudget{uint64_t(1) << 28};
// Images this small are allocated whatever the source holds.
constexpr uint64_t kAlwaysAllowedBytes = 1 << 20;
}  // namespace

uint64_t PicGetPixelBudget() { return g_pixelBudget.load(std::memory_order_relaxed); }
void PicSetPixelBudget(uint64_t pixels) { g_pixelBudget.store(pixels, std::memory_order_relaxed); }

CPicReaderOutput::~CPicReaderOutput() {
    if (m_handedOver) return;
    WipeBytes(m_allocator.GetData(), (size_t)m_size);  // rows decoded before the failure
    m_allocator.Free();
}

bool CPicReaderOutput::Allocate(CPicReaderContext& context, uint64_t bytes) {
    if (bytes == 0 || !PicBlockSizeAllowed(bytes) || !m_allocator.Alloc((uint32_t)bytes))
        return context.Fail(PIC_ERR_OUT_OF_MEMORY);
    m_size = bytes;
    return true;
}

bool CPicReaderOutput::AllocateUnfilled(CPicReaderContext& context, uint64_t bytes) {
    if (bytes == 0 || !PicBlockSizeAllowed(bytes) || !m_allocator.AllocUnfilled((uint32_t)bytes))
        return context.Fail(PIC_ERR_OUT_OF_MEMORY);
    return true;
}

bool PicCheckDeclaredImage(CPicReaderContext& context, uint64_t width, uint64_t height, uint64_t outputBytes,
                           int32_t code) {
    uint64_t budget = PicGetPixelBudget();
    if (width == 0 || height == 0 || width > budget || height > budget || width * height > budget)
        return context.Fail(code);
    if (!PicBlockSizeAllowed(outputBytes)) return context.Fail(PIC_ERR_OUT_OF_MEMORY);
    return true;
}

bool PicCheckCodedBytes(CPicReaderContext& context, uint64_t decodedBytes, uint64_t codedBytesLeft,
                        uint32_t expansion, int32_t code) {
    if (decodedBytes > kAlwaysAllowedBytes && decodedBytes / expansion > codedBytesLeft) return context.Fail(code);
    return true;
}

void PicTrace(const char*, ...) {}

void PicFreeWipedGlobal(void* block) {
    if (block == nullptr) return;
    WipeBytes(block, GlobalSize(block));
    GlobalFree(block);
}
