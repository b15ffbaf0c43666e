// Mirror flips in place: rows of 8-bit, 16-bit and float pixels, whole
// images top to bottom, and 1-bit rows.
#include <cstring>

#include "imaging/core/PicArray.h"
#include "imaging/core/PicImgUtil.h"
#include "imaging/core/PicLookupTables.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicResult.h"
#include "imaging/core/PicSizes.h"

template <class T>
BOOL CPicImgUtilT<T>::FlipHorizontal(T* data, uint32_t width, uint32_t height, uint32_t pixelSize,
                                     uint32_t stride) {
    status = PIC_ERR_OK;
    const uint64_t rowElements = (uint64_t)width * pixelSize;
    if (data == nullptr || !PicStrideHoldsRow(stride, rowElements, height)) {
        status = PIC_ERR_BAD_PARAM;
        return FALSE;
    }
    if (width == 0 || height == 0 || pixelSize == 0) return TRUE;
    // A single row may come with a stride of 0: the temporary then holds that row.
    const uint64_t tempElements = stride != 0 ? stride : rowElements;
    PicArray<T> temp;
    if (!PicBlockSizeAllowed(tempElements * sizeof(T)) || !temp.Allocate((uint32_t)tempElements)) {
        status = PIC_ERR_OUT_OF_MEMORY;
        return FALSE;
    }
    CPicCallDepthGuard depth;
    CPicProgress progress;
    for (uint32_t y = 0; y < height; ++y) {
        T* row = data + PicRowOffset(y, stride);
        memcpy(temp.data, row, rowElements * sizeof(T));
        for (uint32_t x = 0; x < width; ++x)
            memcpy(row + (uint64_t)x * pixelSize, temp.data + (uint64_t)(width - 1 - x) * pixelSize,
                   pixelSize * sizeof(T));
        if (!progress.Report(y, height)) {
            status = PIC_ERR_CANCELLED;
            return FALSE;
        }
    }
    return TRUE;
}

template BOOL CPicImgUtilT<unsigned char>::FlipHorizontal(unsigned char*, uint32_t, uint32_t, uint32_t, uint32_t);
template BOOL CPicImgUtilT<unsigned short>::FlipHorizontal(unsigned short*, uint32_t, uint32_t, uint32_t, uint32_t);
template BOOL CPicImgUtilT<float>::FlipHorizontal(float*, uint32_t, uint32_t, uint32_t, uint32_t);

BOOL CPicOperation::FlipVerticalInPlace(uint8_t* data, uint32_t stride, uint32_t height) {
    if (data == nullptr) return Fail(PIC_ERR_BAD_PARAM);
    PicArray<uint8_t> temp;
    if (stride == 0 || !temp.Allocate(stride)) return Fail(PIC_ERR_OUT_OF_MEMORY);
    CPicCallDepthGuard depth;
    CPicProgress progress;
    for (uint32_t i = 0; i < (height + 1) / 2; ++i) {
        uint8_t* top = data + PicRowOffset(i, stride);
        uint8_t* bottom = data + PicRowOffset(height - 1 - i, stride);
        memcpy(temp.data, top, stride);
        memmove(top, bottom, stride);
        memcpy(bottom, temp.data, stride);
        if (!progress.Report(2 * i, height)) return Cancelled();
    }
    return TRUE;
}

BOOL CPicOperation::Mirror1BitInPlace(uint8_t* data, uint32_t width, uint32_t height, uint32_t stride) {
    if (width == 0 || height == 0) return TRUE;
    if (data == nullptr) return Fail(PIC_ERR_BAD_PARAM);
    const uint32_t rowBytes = (uint32_t)PicPackedRowBytes(width, 1);
    if (height > 1 && stride < rowBytes) return Fail(PIC_ERR_BAD_PARAM);
    CPicCallDepthGuard depth;
    CPicImgUtilT<unsigned char> util;
    if (!util.FlipHorizontal(data, rowBytes, height, 1, height > 1 ? stride : rowBytes)) return Fail(util.status);
    const CPicLookupTables& tables = PicTables();
    const uint32_t shift = rowBytes * 8 - width;  // padding bits now at the row's start
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = data + PicRowOffset(y, stride);
        for (uint32_t k = 0; k < rowBytes; ++k) row[k] = tables.reversedBits[row[k]];
        if (shift == 0) continue;
        for (uint32_t k = 0; k < rowBytes; ++k) {
            const uint8_t next = k + 1 < rowBytes ? row[k + 1] : 0;
            row[k] = (uint8_t)(row[k] << shift | next >> (8 - shift));
        }
    }
    return TRUE;
}
