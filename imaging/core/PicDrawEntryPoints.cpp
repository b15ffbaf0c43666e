#include "imaging/core/PicDrawEntryPoints.h"

#include "imaging/core/PicOperation.h"

BOOL WINAPI pic_Draw1Bit(HDC dc, const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride,
                         const RGBQUAD* palette, int32_t x, int32_t y, HPALETTE hpalette) {
    return PicEntryPoint("pic_Draw1Bit", FALSE, [&](CPicOperation& op) {
        return op.Draw1Bit(dc, pixels, width, height, stride, palette, x, y, hpalette);
    });
}

BOOL WINAPI pic_Draw8Bit(HDC dc, const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride,
                         const RGBQUAD* palette, int32_t x, int32_t y, HPALETTE hpalette) {
    return PicEntryPoint("pic_Draw8Bit", FALSE, [&](CPicOperation& op) {
        return op.Draw8Bit(dc, pixels, width, height, stride, palette, x, y, hpalette);
    });
}

BOOL WINAPI pic_DrawRGB(HDC dc, const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride, int32_t x,
                        int32_t y, HPALETTE hpalette) {
    return PicEntryPoint("pic_DrawRGB", FALSE, [&](CPicOperation& op) {
        return op.DrawRGB(dc, pixels, width, height, stride, x, y, hpalette);
    });
}

BOOL WINAPI pic_DrawRGBA(HDC dc, const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride, int32_t x,
                         int32_t y, HPALETTE hpalette, uint32_t flags) {
    return PicEntryPoint("pic_DrawRGBA", FALSE, [&](CPicOperation& op) {
        return op.DrawRGBA(dc, pixels, width, height, stride, x, y, hpalette, flags);
    });
}

BOOL WINAPI pic_StretchDraw1Bit(HDC dc, const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride,
                                const RGBQUAD* palette, int32_t x, int32_t y, int32_t dstWidth, int32_t dstHeight) {
    return PicEntryPoint("pic_StretchDraw1Bit", FALSE, [&](CPicOperation& op) {
        return op.StretchDraw1Bit(dc, pixels, width, height, stride, palette, x, y, dstWidth, dstHeight);
    });
}

BOOL WINAPI pic_StretchDraw8Bit(HDC dc, const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride,
                                const RGBQUAD* palette, int32_t x, int32_t y, int32_t dstWidth, int32_t dstHeight) {
    return PicEntryPoint("pic_StretchDraw8Bit", FALSE, [&](CPicOperation& op) {
        return op.StretchDraw8Bit(dc, pixels, width, height, stride, palette, x, y, dstWidth, dstHeight);
    });
}

BOOL WINAPI pic_StretchDrawRGB(HDC dc, const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride,
                               int32_t x, int32_t y, int32_t dstWidth, int32_t dstHeight) {
    return PicEntryPoint("pic_StretchDrawRGB", FALSE, [&](CPicOperation& op) {
        return op.StretchDrawRGB(dc, pixels, width, height, stride, x, y, dstWidth, dstHeight);
    });
}

HBITMAP WINAPI pic_RGBToBitmap(HDC dc, const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride) {
    HBITMAP bitmap = nullptr;
    PicEntryPoint("pic_RGBToBitmap", FALSE, [&](CPicOperation& op) {
        bitmap = op.RGBToDIBSection(pixels, width, height, stride, nullptr, dc);
        return bitmap != nullptr ? TRUE : FALSE;
    });
    return bitmap;
}

void WINAPI pic_DeleteWipedBitmap(HBITMAP bitmap) {
    if (bitmap != nullptr) PicDeleteWipedBitmap(bitmap);
}
