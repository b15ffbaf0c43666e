// Whole-image utilities per sample type: red/blue swaps, colour to gray, mirroring.
#pragma once

#include <windows.h>

#include <cstdint>
#include <limits>

#include "imaging/core/PicThreadPool.h"

template <class T>
class CPicImgUtilT {
public:
    T maxValue = std::numeric_limits<T>::max();
    int32_t status = 0;

    // Exchange the first and third sample of every pixel in place; rowStep is
    // in elements of T. 8-bit: 4-sample pixels; 16-bit: 4 (64) or 3 (48) samples.
    BOOL SwapRBRows32(T* data, uint32_t width, uint32_t rows, uint32_t rowStep);
    BOOL SwapRBRows64(T* data, uint32_t width, uint32_t rows, uint32_t rowStep);
    BOOL SwapRBRows48(T* data, uint32_t width, uint32_t rows, uint32_t rowStep);

    // gray = (601 G + 306 R + 117 B) >> 10 from 3- or 4-byte pixels (R first,
    // or B first with flags bit 0); split into bands on the pool when allowed.
    BOOL RGBToGray(const T* src, uint32_t width, uint32_t height, uint32_t bytesPerPixel, uint32_t srcStride,
                   uint32_t dstStride, uint32_t flags, T* dst);

    // The same gray, destination row i from source row height - 1 - i; one pass on the calling thread.
    BOOL RGBToGrayBottomUp(const T* src, uint32_t width, uint32_t height, uint32_t bytesPerPixel, uint32_t srcStride,
                           uint32_t dstStride, uint32_t flags, T* dst);

    // Mirrors every row in place; pixelSize and stride are in elements of T.
    BOOL FlipHorizontal(T* data, uint32_t width, uint32_t height, uint32_t pixelSize, uint32_t stride);

    // Band record of the threaded gray conversion.
    struct graySingleStruct : VovIredev::CPicThreadData {
        const T* src = nullptr;
        uint32_t width = 0;
        uint32_t height = 0;
        uint32_t bytesPerPixel = 0;
        uint32_t srcStride = 0;
        uint32_t dstStride = 0;
        uint32_t flags = 0;
        T* dst = nullptr;
        const RECT* band = nullptr;
    };
};
