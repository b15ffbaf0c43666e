// The processing side's entry points: library start-up and shutdown, the last
// error, conversions and the packed-DIB header queries. Each returns a plain
// value and leaves a result code as the calling thread's last error
// (pic_GetLastError, declared in PicThreadState.h).
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/core/PicThreadState.h"

// Starts the worker pool; nonzero when it runs. The argument is reserved.
BOOL WINAPI pic_Initialize(void* reserved);
// Stops the worker pool; operations run on the calling thread afterwards.
void WINAPI pic_Shutdown();

BOOL WINAPI pic_8BitToRGB(const uint8_t* src, uint32_t width, uint32_t height, uint32_t srcStride, uint8_t* dst,
                          uint32_t dstStride, uint32_t paletteCount, const RGBQUAD* palette, uint32_t flags);
BOOL WINAPI pic_RGBToRGBA(const uint8_t* src, uint32_t width, uint32_t height, uint32_t srcStride, uint8_t* dst,
                          uint32_t dstStride, uint8_t alpha);
// flags & 0x600 == 0x200: 16-bit samples with strides in samples.
BOOL WINAPI pic_SplitRGBAToRGBPlusA(const void* src, uint32_t width, uint32_t height, uint32_t srcStride,
                                    void* rgb, uint32_t rgbStride, void* alpha, uint32_t alphaStride,
                                    uint32_t flags);
BOOL WINAPI pic_UnpackBufferTo8Bit(const uint8_t* src, uint32_t width, uint32_t height, uint32_t srcStride,
                                   uint32_t bitsPerPixel, uint8_t* dst, uint32_t dstStride, uint32_t unused);

// Packed-DIB header queries (BITMAPINFOHEADER blocks).
BOOL WINAPI pic_DIBWidth(const void* dib, int32_t* width);
BOOL WINAPI pic_DIBHeight(const void* dib, int32_t* height);
BOOL WINAPI pic_DIBBitCount(const void* dib, uint32_t* bitCount);
void* WINAPI pic_DIBPixelStart(const void* dib);
RGBQUAD* WINAPI pic_GetDIBPalette(const void* dib, int32_t* count);

// Resizing; method is a PicResizeMethod number. pic_ResizeImage takes the
// channel type from flags & 0x600 (0 8-bit, 0x200 16-bit, 0x400 double,
// 0x600 float) with strides in elements; the others take byte strides.
BOOL WINAPI pic_ResizeImage(const void* src, uint32_t srcWidth, uint32_t srcHeight, uint32_t srcStride, void* dst,
                            uint32_t dstWidth, uint32_t dstHeight, uint32_t dstStride, uint32_t channels,
                            uint32_t method, uint32_t flags);
BOOL WINAPI pic_ResizeImage1(const uint8_t* src, uint32_t srcWidth, uint32_t srcHeight, uint32_t srcStride,
                             uint8_t* dst, uint32_t dstWidth, uint32_t dstHeight, uint32_t dstStride,
                             uint32_t threshold, uint32_t method, uint32_t flags);
BOOL WINAPI pic_ResizeImage1To8Gray(const uint8_t* src, uint32_t srcWidth, uint32_t srcHeight, uint32_t srcStride,
                                    uint8_t* dst, uint32_t dstWidth, uint32_t dstHeight, uint32_t dstStride,
                                    uint32_t method, uint32_t flags);
BOOL WINAPI pic_ResizeImage8(const uint8_t* src, uint32_t srcWidth, uint32_t srcHeight, uint32_t srcStride,
                             uint8_t* dst, uint32_t dstWidth, uint32_t dstHeight, uint32_t dstStride,
                             const RGBQUAD* palette, uint32_t paletteCount, uint32_t method, uint32_t flags);

// Nearest palette colours. The handle is a global-memory cell holding the
// matcher; destroy it with pic_DestroyColorMatcher. One thread at a time.
HGLOBAL WINAPI pic_CreateColorMatcher(const RGBQUAD* palette, uint32_t count);
BOOL WINAPI pic_DestroyColorMatcher(HGLOBAL matcher);
// A palette index 0..255, or -1 for a null handle.
int32_t WINAPI pic_FindClosestColor(HGLOBAL matcher, uint8_t red, uint8_t green, uint8_t blue);
