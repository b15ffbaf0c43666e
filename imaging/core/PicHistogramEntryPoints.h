// Entry point of the 1-bit pixel count.
#pragma once

#include <windows.h>

#include <cstdint>

// counts[0] receives the number of 0 pixels, counts[1] the number of 1 pixels; flags are not used.
BOOL WINAPI pic_GetOneBitHistogram(const uint8_t* data, uint32_t width, uint32_t height, uint32_t stride,
                                   uint32_t* counts, uint32_t flags);
