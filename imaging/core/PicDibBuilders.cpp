// Packed DIBs from 1-bit, palette, RGB and RGBA buffers, and DIB pixels back
// to RGB rows.
#include <cstring>
#include <utility>

#include "imaging/core/PicConvert.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicSizes.h"

namespace {

constexpr uint32_t kHeaderSize = sizeof(BITMAPINFOHEADER);

bool InInt32Range(uint32_t width, uint32_t height) { return width <= INT32_MAX && height <= INT32_MAX; }

// The caller's block, or a new zeroed one of `bytes` (null when refused or failed).
uint8_t* TakeBlock(void* block, uint64_t bytes, bool& made) {
    made = block == nullptr;
    if (!made) return static_cast<uint8_t*>(block);
    if (!PicBlockSizeAllowed(bytes)) return nullptr;
    return static_cast<uint8_t*>(GlobalAlloc(GPTR, (SIZE_T)bytes));
}

void FillHeader(uint8_t* block, uint32_t width, uint32_t height, uint16_t bits, uint64_t imageBytes,
                uint32_t colours, uint32_t important) {
    BITMAPINFOHEADER header = {};
    header.biSize = kHeaderSize;
    header.biWidth = (LONG)width;
    header.biHeight = (LONG)height;
    header.biPlanes = 1;
    header.biBitCount = bits;
    header.biSizeImage = (DWORD)imageBytes;
    header.biClrUsed = colours;
    header.biClrImportant = important;
    memcpy(block, &header, kHeaderSize);
}

}  // namespace

void* CPicOperation::MakeMonoDIB(const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride,
                                 const RGBQUAD* colours, void* block) {
    status = 0;
    const uint64_t used = PicPackedRowBytes(width, 1);
    if (src == nullptr || colours == nullptr || !InInt32Range(width, height) || !PicStrideHoldsRow(stride, used, 2)) {
        Fail(PIC_ERR_BAD_PARAM);
        return nullptr;
    }
    const uint64_t rowBytes = PicDIBRowBytes(width, 1), imageBytes = rowBytes * height;
    bool made;
    uint8_t* dib = TakeBlock(block, imageBytes + kHeaderSize + 8, made);
    if (dib == nullptr) {
        Fail(PIC_ERR_OUT_OF_MEMORY);
        return nullptr;
    }
    FillHeader(dib, width, height, 1, imageBytes, 2, 0);
    memcpy(dib + kHeaderSize, colours, 8);
    uint8_t* rows = dib + kHeaderSize + 8;
    for (uint32_t i = 0; i < height; ++i) {
        uint8_t* row = rows + i * rowBytes;
        memcpy(row, src + PicRowOffset(height - 1 - i, stride), (size_t)used);
        memset(row + used, 0, (size_t)(rowBytes - used));
    }
    return dib;
}

void* CPicOperation::MakePalettedDIB(const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride,
                                     uint32_t paletteCount, uint32_t bits, const RGBQUAD* palette, void* block) {
    status = 0;
    if (src == nullptr || bits < 1 || bits > 8 || paletteCount > (1u << bits) ||
        (paletteCount != 0 && palette == nullptr) || !InInt32Range(width, height) ||
        !PicStrideHoldsRow(stride, width, height)) {
        Fail(PIC_ERR_BAD_PARAM);
        return nullptr;
    }
    const uint64_t rowBytes = PicDIBRowBytes(width, bits), imageBytes = rowBytes * height;
    bool made;
    uint8_t* dib = TakeBlock(block, imageBytes + 4ull * paletteCount + kHeaderSize, made);
    if (dib == nullptr) {
        Fail(PIC_ERR_OUT_OF_MEMORY);
        return nullptr;
    }
    FillHeader(dib, width, height, (uint16_t)bits, imageBytes, paletteCount, paletteCount);
    if (paletteCount != 0) memcpy(dib + kHeaderSize, palette, 4ull * paletteCount);
    uint8_t* rows = dib + kHeaderSize + 4ull * paletteCount;
    for (uint32_t i = 0; i < height; ++i) {
        uint8_t* row = rows + i * rowBytes;
        memset(row, 0, (size_t)rowBytes);
        if (width != 0 && !PackRowsFrom8Bit(src + PicRowOffset(height - 1 - i, stride), width, 1, stride, row, bits,
                                            false, 0)) {
            if (made) GlobalFree(dib);
            return nullptr;
        }
    }
    return dib;
}

BOOL CPicOperation::ConvertRGBRowsToDIB(const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride,
                                        uint8_t* rows, uint32_t flags) {
    status = 0;
    const uint64_t used = 3ull * width;
    if (src == nullptr || rows == nullptr || width == 0 || height == 0 ||
        (!(flags & 1) && !PicStrideHoldsRow(stride, used, height)))
        return Fail(PIC_ERR_BAD_PARAM);
    const uint64_t rowBytes = PicDIBRowBytes(width, 24);
    // Unswapped rows take at most one DIB row of the caller's stride; the rest is padding.
    const uint64_t copied = (flags & 1) ? (stride < used ? stride : used) : used;
    for (uint32_t i = 0; i < height; ++i) {
        uint8_t* row = rows + i * rowBytes;
        const uint8_t* from = src + PicRowOffset((flags & 2) ? i : height - 1 - i, stride);
        if (flags & 1)
            memcpy(row, from, (size_t)copied);
        else
            CopySwapRB24(from, row, width);
        memset(row + copied, 0, (size_t)(rowBytes - copied));
    }
    return TRUE;
}

void* CPicOperation::MakeRGBDIB(const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride, void* block,
                                uint32_t flags) {
    status = 0;
    const uint64_t used = 3ull * width;
    if (src == nullptr || width == 0 || height == 0 || !InInt32Range(width, height) ||
        (!(flags & 1) && !PicStrideHoldsRow(stride, used, height))) {
        Fail(PIC_ERR_BAD_PARAM);
        return nullptr;
    }
    const uint64_t rowBytes = PicDIBRowBytes(width, 24), imageBytes = rowBytes * height;
    bool made;
    uint8_t* dib = TakeBlock(block, imageBytes + kHeaderSize, made);
    if (dib == nullptr) {
        Fail(PIC_ERR_OUT_OF_MEMORY);
        return nullptr;
    }
    FillHeader(dib, width, height, 24, imageBytes, 0, 0);
    if (!ConvertRGBRowsToDIB(src, width, height, stride, dib + kHeaderSize, flags)) {
        if (made) GlobalFree(dib);
        return nullptr;
    }
    return dib;
}

void* CPicOperation::MakeRGBADIB(const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride,
                                 void* block) {
    status = 0;
    if (src == nullptr || !InInt32Range(width, height)) {
        Fail(PIC_ERR_BAD_PARAM);
        return nullptr;
    }
    const uint64_t rowBytes = 4ull * width, imageBytes = rowBytes * height;
    bool made;
    uint8_t* dib = TakeBlock(block, imageBytes + kHeaderSize, made);
    if (dib == nullptr) {
        Fail(PIC_ERR_OUT_OF_MEMORY);
        return nullptr;
    }
    FillHeader(dib, width, height, 32, imageBytes, 0, 0);
    const uint64_t copied = stride < rowBytes ? stride : rowBytes;
    for (uint32_t i = 0; i < height; ++i) {
        uint8_t* row = dib + kHeaderSize + i * rowBytes;
        memcpy(row, src + PicRowOffset(height - 1 - i, stride), (size_t)copied);
        memset(row + copied, 0, (size_t)(rowBytes - copied));
        for (uint64_t p = 0; p + 4 <= rowBytes; p += 4) std::swap(row[p], row[p + 2]);
    }
    return dib;
}

BOOL CPicOperation::DIBToRGB(const void* dib, uint8_t* dst) {
    status = 0;
    if (dib == nullptr || dst == nullptr) return Fail(PIC_ERR_BAD_PARAM);
    BITMAPINFOHEADER h;
    memcpy(&h, dib, kHeaderSize);
    if (h.biSize != kHeaderSize) return Fail(PIC_ERR_BAD_PARAM);
    if (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS) return Fail(PIC_ERR_UNSUPPORTED);
    const uint32_t bits = h.biBitCount;
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return Fail(PIC_ERR_BAD_PARAM);
    if (h.biWidth < 0 || h.biHeight == INT32_MIN) return Fail(PIC_ERR_BAD_PARAM);
    const bool topDown = h.biHeight < 0;
    const uint32_t width = (uint32_t)h.biWidth, height = (uint32_t)(topDown ? -h.biHeight : h.biHeight);
    const uint8_t* base = static_cast<const uint8_t*>(dib);
    const uint8_t* after = base + kHeaderSize;
    CPicBitFieldMasks masks = {};
    const bool fields = h.biCompression == BI_BITFIELDS;
    if (fields) {
        memcpy(&masks, after, sizeof masks);
        after += sizeof masks;
    }
    const uint32_t colours = bits <= 8 ? (h.biClrUsed != 0 ? h.biClrUsed : 1u << bits) : h.biClrUsed;
    const RGBQUAD* palette = reinterpret_cast<const RGBQUAD*>(after);
    const uint8_t* pixels = after + 4ull * colours;
    const uint64_t rowBytes = PicDIBRowBytes(width, bits);
    CPicCallDepthGuard depth;
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t stored = topDown ? y : height - 1 - y;
        ConvertPackedRowToRGB(pixels + stored * rowBytes, dst + 3ull * width * y, width, bits, palette,
                              bits <= 8 ? colours : 0, fields ? &masks : nullptr, false, 0, false);
    }
    return TRUE;
}
