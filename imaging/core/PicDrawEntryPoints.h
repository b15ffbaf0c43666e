// Entry points that draw image buffers into device contexts. Rows go top to
// bottom; a palette is an RGBQUAD array (2 entries for 1 bit, 256 for 8 bits);
// an hpalette, when given, is selected and realised while drawing. Each
// returns FALSE and leaves its code as the thread's last error on failure.
#pragma once

#include <windows.h>

#include <cstdint>

// 1:1 at (x, y).
BOOL WINAPI pic_Draw1Bit(HDC dc, const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride,
                         const RGBQUAD* palette, int32_t x, int32_t y, HPALETTE hpalette);
BOOL WINAPI pic_Draw8Bit(HDC dc, const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride,
                         const RGBQUAD* palette, int32_t x, int32_t y, HPALETTE hpalette);
BOOL WINAPI pic_DrawRGB(HDC dc, const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride, int32_t x,
                        int32_t y, HPALETTE hpalette);
// Over what the DC already shows, by the pixels' alpha (byte 3). flags: 0x100000 forbids threads.
BOOL WINAPI pic_DrawRGBA(HDC dc, const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride, int32_t x,
                         int32_t y, HPALETTE hpalette, uint32_t flags);

// The whole buffer stretched onto (x, y, dstWidth, dstHeight) in the DC's stretch mode.
BOOL WINAPI pic_StretchDraw1Bit(HDC dc, const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride,
                                const RGBQUAD* palette, int32_t x, int32_t y, int32_t dstWidth, int32_t dstHeight);
BOOL WINAPI pic_StretchDraw8Bit(HDC dc, const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride,
                                const RGBQUAD* palette, int32_t x, int32_t y, int32_t dstWidth, int32_t dstHeight);
BOOL WINAPI pic_StretchDrawRGB(HDC dc, const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride,
                               int32_t x, int32_t y, int32_t dstWidth, int32_t dstHeight);

// A 24-bit buffer as a bitmap to blit again and again (a thumbnail painted on
// every frame of scrolling); null on failure. It holds a copy of the pixels:
// give it back through pic_DeleteWipedBitmap, which wipes them first.
HBITMAP WINAPI pic_RGBToBitmap(HDC dc, const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride);
void WINAPI pic_DeleteWipedBitmap(HBITMAP bitmap);
