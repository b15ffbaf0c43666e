// Small helpers shared by the library's operations.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

template <class T>
inline T Clamp(T value, T low, T high) {
    return value < low ? low : (value > high ? high : value);
}

// The resizers copy instead of resampling when the sizes are equal.
inline bool SameDimensions(uint32_t width1, uint32_t height1, uint32_t width2, uint32_t height2) {
    return width1 == width2 && height1 == height2;
}

// A wide string in the ANSI code page; empty for null, empty, over-long
// (0x40000000 characters or more) or unconvertible text.
std::string WideToAnsi(const WCHAR* text);
