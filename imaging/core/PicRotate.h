// Quarter and half turns of 8-bit (1, 3 or 4 bytes), 16-bit and float pixels.
// kind 0 turns clockwise, 1 half way, 2 counter-clockwise: the pixel at (x, y)
// of a w x h image goes to (h - 1 - y, x), (w - 1 - x, h - 1 - y) or
// (y, w - 1 - x); quarter turns give an h x w image. Pixel sizes and strides
// count elements (bytes for 8-bit). status receives the result code.
#pragma once

#include <windows.h>

#include <cstdint>

BOOL RotateBufferUChar(const uint8_t* src, uint32_t width, uint32_t height, uint32_t srcStride, uint8_t* dst,
                       uint32_t dstStride, uint32_t kind, uint32_t pixelSize, int32_t& status);
BOOL RotateBufferUShort(const uint16_t* src, uint32_t width, uint32_t height, uint32_t srcStride, uint16_t* dst,
                        uint32_t dstStride, uint32_t kind, uint32_t pixelSize, int32_t& status);
BOOL RotateBufferFloat(const float* src, uint32_t width, uint32_t height, uint32_t srcStride, float* dst,
                       uint32_t dstStride, uint32_t kind, uint32_t pixelSize, int32_t& status);

// The buffer's rows are packed (stride = width x pixel size) before and after.
BOOL RotateBufferUCharInPlace(uint8_t* data, uint32_t width, uint32_t height, uint32_t kind, uint32_t pixelSize,
                              int32_t& status);
BOOL RotateBufferUShortInPlace(uint16_t* data, uint32_t width, uint32_t height, uint32_t kind, uint32_t pixelSize,
                               int32_t& status);
BOOL RotateBufferFloatInPlace(float* data, uint32_t width, uint32_t height, uint32_t kind, uint32_t pixelSize,
                              int32_t& status);
