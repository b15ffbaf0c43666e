#include "imaging/core/PicCpuFeatures.h"
#include "imaging/core/PicLogicalBlend.h"

namespace {

bool IsFloatBlendMode(int32_t mode) {
    switch (mode) {
    case 0: case 5: case 6: case 7: case 8: case 11: case 39: return true;
    default: return false;
    }
}

// Byte modes that the kernels serve only at full opacity.
bool IsOpaqueByteMode(int32_t mode) {
    switch (mode) {
    case 2: case 3: case 4: case 5: case 6: case 7: case 8: case 11: case 17: case 18: case 19: case 39:
        return true;
    default: return false;
    }
}

}  // namespace

bool IsSSEBlendAvailable(int32_t mode, double opacity, int32_t channelKind) {
    bool sse2 = PicHasCpuFeature(PIC_CPU_SSE2);
    if (channelKind == PIC_BLEND_CHANNELS_FLOAT) return IsFloatBlendMode(mode) && sse2;
    if (channelKind != PIC_BLEND_CHANNELS_BYTE) return false;
    if (mode == 0) return sse2;
    if (mode == 14 || IsOpaqueByteMode(mode)) return sse2 && opacity == 1.0;
    return false;
}

bool IsAVXBlendAvailable(int32_t mode, double opacity, int32_t channelKind) {
    if (channelKind == PIC_BLEND_CHANNELS_FLOAT) return IsFloatBlendMode(mode) && PicHasCpuFeature(PIC_CPU_AVX);
    if (channelKind != PIC_BLEND_CHANNELS_BYTE) return false;
    bool avx2 = PicHasCpuFeature(PIC_CPU_AVX2);
    if (mode == 0 || mode == 14) return avx2;
    if (IsOpaqueByteMode(mode)) return avx2 && opacity == 1.0;
    return false;
}

bool IsSimdKernelAvailable(int32_t kind) {
    switch (kind) {
    case PIC_KERNEL_BLEND_COLOR_MASK:
    case PIC_KERNEL_SPLIT_RGBA:
    case PIC_KERNEL_BLEND_RGBA_OVER_RGB:
    case PIC_KERNEL_SWAP_RB: return PicHasCpuFeature(PIC_CPU_SSE41);
    case PIC_KERNEL_SSE2: return PicHasCpuFeature(PIC_CPU_SSE2);
    default: return false;
    }
}
