#include "imaging/core/PicEntryPoints.h"

#include <new>

#include "imaging/core/PicColorMatch.h"

#include "imaging/core/PicLibrarySettings.h"
#include "imaging/core/PicOperation.h"

BOOL WINAPI pic_Initialize(void* /*reserved*/) {
    if (GetThreadState() == nullptr) return FALSE;
    ReportError(PIC_ERR_OK, "pic_Initialize", nullptr);
    return PicPool().Start() ? TRUE : FALSE;
}

void WINAPI pic_Shutdown() { PicPool().Stop(); }

BOOL WINAPI pic_8BitToRGB(const uint8_t* src, uint32_t width, uint32_t height, uint32_t srcStride, uint8_t* dst,
                          uint32_t dstStride, uint32_t paletteCount, const RGBQUAD* palette, uint32_t flags) {
    return PicEntryPoint("pic_8BitToRGB", FALSE, [&](CPicOperation& op) {
        return op.Convert8BitToRGB(src, dst, width, height, srcStride, dstStride, paletteCount, palette, flags);
    });
}

BOOL WINAPI pic_RGBToRGBA(const uint8_t* src, uint32_t width, uint32_t height, uint32_t srcStride, uint8_t* dst,
                          uint32_t dstStride, uint8_t alpha) {
    return PicEntryPoint("pic_RGBToRGBA", FALSE, [&](CPicOperation& op) {
        return op.ConvertRGBToRGBA(src, width, height, srcStride, dstStride, alpha, dst);
    });
}

BOOL WINAPI pic_SplitRGBAToRGBPlusA(const void* src, uint32_t width, uint32_t height, uint32_t srcStride,
                                    void* rgb, uint32_t rgbStride, void* alpha, uint32_t alphaStride,
                                    uint32_t flags) {
    return PicEntryPoint("pic_SplitRGBAToRGBPlusA", FALSE, [&](CPicOperation& op) {
        return op.SplitRGBAToRGBPlusA(static_cast<const uint8_t*>(src), width, height, srcStride,
                                      static_cast<uint8_t*>(rgb), rgbStride, static_cast<uint8_t*>(alpha),
                                      alphaStride, flags);
    });
}

BOOL WINAPI pic_UnpackBufferTo8Bit(const uint8_t* src, uint32_t width, uint32_t height, uint32_t srcStride,
                                   uint32_t bitsPerPixel, uint8_t* dst, uint32_t dstStride, uint32_t /*unused*/) {
    return PicEntryPoint("pic_UnpackBufferTo8Bit", FALSE, [&](CPicOperation& op) {
        return op.UnpackBufferTo8Bit(src, width, height, srcStride, bitsPerPixel, dst, dstStride);
    });
}

BOOL WINAPI pic_ResizeImage(const void* src, uint32_t srcWidth, uint32_t srcHeight, uint32_t srcStride, void* dst,
                            uint32_t dstWidth, uint32_t dstHeight, uint32_t dstStride, uint32_t channels,
                            uint32_t method, uint32_t flags) {
    return PicEntryPoint("pic_ResizeImage", FALSE, [&](CPicOperation& op) -> BOOL {
        switch (flags & 0x600) {
        case 0x400:
            return op.ResizeImageDouble(static_cast<const double*>(src), srcWidth, srcHeight,
                                        static_cast<double*>(dst), channels, dstWidth, dstHeight, srcStride,
                                        dstStride, method, flags);
        case 0x600:
            return op.ResizeImageFloat(static_cast<const float*>(src), srcWidth, srcHeight, static_cast<float*>(dst),
                                       channels, dstWidth, dstHeight, srcStride, dstStride, method, flags);
        case 0x200:
            return op.ResizeImageUShort(static_cast<const uint16_t*>(src), srcWidth, srcHeight,
                                        static_cast<uint16_t*>(dst), channels, dstWidth, dstHeight, srcStride,
                                        dstStride, method, flags);
        default:
            return op.ResizeImageUChar(static_cast<const uint8_t*>(src), srcWidth, srcHeight,
                                       static_cast<uint8_t*>(dst), channels, dstWidth, dstHeight, srcStride,
                                       dstStride, method, flags);
        }
    });
}

BOOL WINAPI pic_ResizeImage1(const uint8_t* src, uint32_t srcWidth, uint32_t srcHeight, uint32_t srcStride,
                             uint8_t* dst, uint32_t dstWidth, uint32_t dstHeight, uint32_t dstStride,
                             uint32_t threshold, uint32_t method, uint32_t flags) {
    return PicEntryPoint("pic_ResizeImage1", FALSE, [&](CPicOperation& op) -> BOOL {
        return op.ResizeImage1Bit(src, srcWidth, srcHeight, dst, dstWidth, dstHeight, srcStride, dstStride,
                                  threshold, method, flags);
    });
}

BOOL WINAPI pic_ResizeImage1To8Gray(const uint8_t* src, uint32_t srcWidth, uint32_t srcHeight, uint32_t srcStride,
                                    uint8_t* dst, uint32_t dstWidth, uint32_t dstHeight, uint32_t dstStride,
                                    uint32_t method, uint32_t flags) {
    return PicEntryPoint("pic_ResizeImage1To8Gray", FALSE, [&](CPicOperation& op) -> BOOL {
        return op.ResizeImage1BitToGray(src, srcWidth, srcHeight, dst, dstWidth, dstHeight, srcStride, dstStride,
                                        method, flags);
    });
}

BOOL WINAPI pic_ResizeImage8(const uint8_t* src, uint32_t srcWidth, uint32_t srcHeight, uint32_t srcStride,
                             uint8_t* dst, uint32_t dstWidth, uint32_t dstHeight, uint32_t dstStride,
                             const RGBQUAD* palette, uint32_t paletteCount, uint32_t method, uint32_t flags) {
    return PicEntryPoint("pic_ResizeImage8", FALSE, [&](CPicOperation& op) -> BOOL {
        return op.ResizeImage8BitPalette(src, srcWidth, srcHeight, dst, dstWidth, dstHeight, srcStride, dstStride,
                                         palette, paletteCount, method, flags);
    });
}

// The cell holds the matcher's address (pointer-sized: the program is 64-bit).
static CPicImgColorMatch*& MatcherIn(HGLOBAL cell) { return *static_cast<CPicImgColorMatch**>(cell); }

HGLOBAL WINAPI pic_CreateColorMatcher(const RGBQUAD* palette, uint32_t count) {
    return PicEntryPoint("pic_CreateColorMatcher", (HGLOBAL) nullptr, [&](CPicOperation& op) -> HGLOBAL {
        HGLOBAL cell = GlobalAlloc(GPTR, sizeof(CPicImgColorMatch*));
        CPicImgColorMatch* matcher = cell != nullptr ? new (std::nothrow) CPicImgColorMatch : nullptr;
        if (matcher == nullptr) {
            if (cell != nullptr) GlobalFree(cell);
            op.status = PIC_ERR_OUT_OF_MEMORY;
            return nullptr;
        }
        MatcherIn(cell) = matcher;
        matcher->SetPalette(palette, count);
        return cell;
    });
}

BOOL WINAPI pic_DestroyColorMatcher(HGLOBAL cell) {
    return PicEntryPoint("pic_DestroyColorMatcher", FALSE, [&](CPicOperation& op) -> BOOL {
        if (cell == nullptr) {
            op.status = PIC_ERR_BAD_PARAM;
            return FALSE;
        }
        delete MatcherIn(cell);
        GlobalFree(cell);
        return TRUE;
    });
}

int32_t WINAPI pic_FindClosestColor(HGLOBAL cell, uint8_t red, uint8_t green, uint8_t blue) {
    return PicEntryPoint("pic_FindClosestColor", -1, [&](CPicOperation& op) -> int32_t {
        if (cell == nullptr) {
            op.status = PIC_ERR_BAD_PARAM;
            return -1;
        }
        return MatcherIn(cell)->FindClosestColor(red, green, blue);
    });
}
