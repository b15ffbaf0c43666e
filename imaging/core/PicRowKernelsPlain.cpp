#include "imaging/core/PicRowKernels.h"

namespace {
inline uint8_t Mix(uint32_t over, uint32_t under, uint32_t weight) {
    return (uint8_t)((over * weight + under * (255 - weight)) / 255);
}
}  // namespace

void BlendColorMaskRow(uint8_t* dst, const uint8_t* mask, uint32_t count, uint32_t color) {
    const uint8_t c[3] = {(uint8_t)color, (uint8_t)(color >> 8), (uint8_t)(color >> 16)};
    for (uint32_t i = 0; i < count; ++i, dst += 3) {
        uint32_t m = mask[i];
        if (m == 0) continue;
        for (int k = 0; k < 3; ++k) dst[k] = m == 255 ? c[k] : Mix(c[k], dst[k], m);
    }
}

void BlendRGBAOverRGBRow(const uint8_t* src, uint8_t* dst, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i, src += 4, dst += 3) {
        uint32_t a = src[3];
        if (a == 0) continue;
        for (int k = 0; k < 3; ++k) dst[k] = a == 255 ? src[k] : Mix(src[k], dst[k], a);
    }
}

void SplitRGBARow(const uint8_t* src, uint8_t* rgb, uint8_t* alpha, uint32_t count) {
    SplitRGBASamples(src, rgb, alpha, count);
}

void SwapRBRow(uint8_t* pixels, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i, pixels += 3) {
        uint8_t first = pixels[0];
        pixels[0] = pixels[2];
        pixels[2] = first;
    }
}

void CopySwapRBRow(const uint8_t* src, uint8_t* dst, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i, src += 3, dst += 3) {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
    }
}
