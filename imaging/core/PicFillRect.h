// The rectangle of a solid fill cut to the image. Coordinates arrive as 64-bit
// values so that a rectangle given by a RECT (which may start left of or above
// the image) and one given by unsigned sizes are clipped alike without wrapping.
#pragma once

#include <cstdint>

struct CPicFillRect {
    uint32_t x = 0, y = 0, w = 0, h = 0;  // inside the image; w or h 0 when nothing is drawn

    // False for a negative size. Otherwise the part of (x, y, w, h) inside
    // width x height, which may be empty.
    bool Clip(uint32_t width, uint32_t height, int64_t left, int64_t top, int64_t cx, int64_t cy) {
        if (cx < 0 || cy < 0) return false;
        ClipAxis(width, left, cx, x, w);
        ClipAxis(height, top, cy, y, h);
        if (w == 0 || h == 0) w = h = 0;
        return true;
    }
    bool IsEmpty() const { return w == 0 || h == 0; }

private:
    static void ClipAxis(uint32_t limit, int64_t start, int64_t size, uint32_t& outStart, uint32_t& outSize) {
        int64_t end = start + size;  // both are at most 2^32 apart from 0 in practice; no overflow in 64 bits
        if (start < 0) start = 0;
        if (end > (int64_t)limit) end = limit;
        outStart = start < (int64_t)limit ? (uint32_t)start : limit;
        outSize = end > start ? (uint32_t)(end - start) : 0;
    }
};
