// Turns of 8-bit, 16-bit and float pixel buffers, into a second buffer or in place.
#include "imaging/core/PicRotate.h"

#include <cstring>

#include "imaging/core/PicArray.h"
#include "imaging/core/PicImgUtil.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicSizes.h"

namespace {

BOOL Failed(int32_t& status, int32_t code) {
    status = code;
    return FALSE;
}

template <class T>
BOOL RotateInto(const T* src, uint32_t width, uint32_t height, uint32_t srcStride, T* dst, uint32_t dstStride,
                uint32_t kind, uint32_t pixelSize, int32_t& status) {
    status = PIC_ERR_OK;
    if (src == nullptr || dst == nullptr || kind > 2) return Failed(status, PIC_ERR_BAD_PARAM);
    CPicCallDepthGuard depth;
    CPicProgress progress;
    const size_t pixelBytes = (size_t)pixelSize * sizeof(T);
    for (uint32_t y = 0; y < height; ++y) {
        const T* in = src + PicRowOffset(y, srcStride);
        for (uint32_t x = 0; x < width; ++x) {
            uint64_t column, row;
            if (kind == 0) {
                column = height - 1 - y;
                row = x;
            } else if (kind == 1) {
                column = width - 1 - x;
                row = height - 1 - y;
            } else {
                column = y;
                row = width - 1 - x;
            }
            memcpy(dst + row * dstStride + column * pixelSize, in + (uint64_t)x * pixelSize, pixelBytes);
        }
        if (!progress.Report(y, height)) return Failed(status, PIC_ERR_CANCELLED);
    }
    return TRUE;
}

template <class T>
BOOL RotateInPlace(T* data, uint32_t width, uint32_t height, uint32_t kind, uint32_t pixelSize, int32_t& status) {
    status = PIC_ERR_OK;
    if (data == nullptr || kind > 2) return Failed(status, PIC_ERR_BAD_PARAM);
    const uint64_t rowElements = (uint64_t)width * pixelSize;
    const uint64_t elements = rowElements * height;
    if (rowElements > UINT32_MAX || (uint64_t)height * pixelSize > UINT32_MAX) return Failed(status, PIC_ERR_OUT_OF_MEMORY);
    CPicCallDepthGuard depth;
    if (kind == 1) {
        CPicOperation op;
        if (!op.FlipVerticalInPlace(reinterpret_cast<uint8_t*>(data), (uint32_t)(rowElements * sizeof(T)), height))
            return Failed(status, op.status);
        CPicImgUtilT<T> util;
        if (!util.FlipHorizontal(data, width, height, pixelSize, (uint32_t)rowElements))
            return Failed(status, util.status);
        return TRUE;
    }
    PicArray<T> temp;
    if (!PicBlockSizeAllowed(elements * sizeof(T)) || !temp.Allocate((uint32_t)elements))
        return Failed(status, PIC_ERR_OUT_OF_MEMORY);
    if (!RotateInto<T>(data, width, height, (uint32_t)rowElements, temp.data, height * pixelSize, kind, pixelSize,
                       status))
        return FALSE;
    memcpy(data, temp.data, elements * sizeof(T));
    return TRUE;
}

}  // namespace

BOOL RotateBufferUChar(const uint8_t* src, uint32_t width, uint32_t height, uint32_t srcStride, uint8_t* dst,
                       uint32_t dstStride, uint32_t kind, uint32_t pixelSize, int32_t& status) {
    return RotateInto(src, width, height, srcStride, dst, dstStride, kind, pixelSize, status);
}
BOOL RotateBufferUShort(const uint16_t* src, uint32_t width, uint32_t height, uint32_t srcStride, uint16_t* dst,
                        uint32_t dstStride, uint32_t kind, uint32_t pixelSize, int32_t& status) {
    return RotateInto(src, width, height, srcStride, dst, dstStride, kind, pixelSize, status);
}
BOOL RotateBufferFloat(const float* src, uint32_t width, uint32_t height, uint32_t srcStride, float* dst,
                       uint32_t dstStride, uint32_t kind, uint32_t pixelSize, int32_t& status) {
    return RotateInto(src, width, height, srcStride, dst, dstStride, kind, pixelSize, status);
}
BOOL RotateBufferUCharInPlace(uint8_t* data, uint32_t width, uint32_t height, uint32_t kind, uint32_t pixelSize,
                              int32_t& status) {
    return RotateInPlace(data, width, height, kind, pixelSize, status);
}
BOOL RotateBufferUShortInPlace(uint16_t* data, uint32_t width, uint32_t height, uint32_t kind, uint32_t pixelSize,
                               int32_t& status) {
    return RotateInPlace(data, width, height, kind, pixelSize, status);
}
BOOL RotateBufferFloatInPlace(float* data, uint32_t width, uint32_t height, uint32_t kind, uint32_t pixelSize,
                              int32_t& status) {
    return RotateInPlace(data, width, height, kind, pixelSize, status);
}

BOOL CPicOperation::RotateUChar(const uint8_t* src, uint32_t width, uint32_t height, uint32_t srcStride,
                                uint8_t* dst, uint32_t dstStride, uint32_t kind, uint32_t pixelSize) {
    return RotateBufferUChar(src, width, height, srcStride, dst, dstStride, kind, pixelSize, status);
}
BOOL CPicOperation::RotateUShort(const uint16_t* src, uint32_t width, uint32_t height, uint32_t srcStride,
                                 uint16_t* dst, uint32_t dstStride, uint32_t kind, uint32_t pixelSize) {
    return RotateBufferUShort(src, width, height, srcStride, dst, dstStride, kind, pixelSize, status);
}
BOOL CPicOperation::RotateFloat(const float* src, uint32_t width, uint32_t height, uint32_t srcStride, float* dst,
                                uint32_t dstStride, uint32_t kind, uint32_t pixelSize) {
    return RotateBufferFloat(src, width, height, srcStride, dst, dstStride, kind, pixelSize, status);
}
BOOL CPicOperation::RotateUCharInPlace(uint8_t* data, uint32_t width, uint32_t height, uint32_t kind,
                                       uint32_t pixelSize) {
    return RotateBufferUCharInPlace(data, width, height, kind, pixelSize, status);
}
BOOL CPicOperation::RotateUShortInPlace(uint16_t* data, uint32_t width, uint32_t height, uint32_t kind,
                                        uint32_t pixelSize) {
    return RotateBufferUShortInPlace(data, width, height, kind, pixelSize, status);
}
BOOL CPicOperation::RotateFloatInPlace(float* data, uint32_t width, uint32_t height, uint32_t kind,
                                       uint32_t pixelSize) {
    return RotateBufferFloatInPlace(data, width, height, kind, pixelSize, status);
}
