// Entry points of the solid fills. The RECT is right- and bottom-exclusive;
// a null or inverted RECT gives 5, a RECT reaching outside the image is cut to it.
#pragma once

#include <windows.h>

#include <cstdint>

// value's low byte not 0 sets the bits, else clears them.
BOOL WINAPI pic_FillSolidRect1Bit(uint8_t* data, uint32_t width, uint32_t height, uint32_t stride, const RECT* rect,
                                  uint32_t value);
// channels 1 (colour's low byte is the index), 3 or 4 (colour 0xAABBGGRR; flags bit 0 swaps red and blue).
BOOL WINAPI pic_FillSolidRect(uint8_t* data, uint32_t width, uint32_t height, uint32_t channels, uint32_t stride,
                              const RECT* rect, uint32_t colour, uint32_t flags);
