// Solid fills of 1-bit, 8-bit, RGB and RGBA rectangles.
#include <cstring>
#include <utility>

#include "imaging/core/PicFillRect.h"
#include "imaging/core/PicLookupTables.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicSizes.h"

namespace {

// Sets or clears bits [first, last] (MSB-first numbering) of one byte.
inline void PaintBits(uint8_t& byte, uint32_t first, uint32_t last, bool set) {
    const uint8_t mask = (uint8_t)((0xFFu >> first) & (0xFFu << (7 - last)));
    byte = set ? (uint8_t)(byte | mask) : (uint8_t)(byte & ~mask);
}

void Paint1BitRow(uint8_t* row, uint32_t x, uint32_t w, bool set) {
    const uint32_t last = x + w - 1;
    const uint32_t firstByte = x / 8, lastByte = last / 8;
    if (firstByte == lastByte) {
        PaintBits(row[firstByte], x % 8, last % 8, set);
        return;
    }
    PaintBits(row[firstByte], x % 8, 7, set);
    PaintBits(row[lastByte], 0, last % 8, set);
    if (lastByte > firstByte + 1) memset(row + firstByte + 1, set ? 0xFF : 0x00, lastByte - firstByte - 1);
}

}  // namespace

BOOL CPicOperation::FillSolidRect1Bit(uint8_t* data, uint32_t width, uint32_t height, uint32_t stride, int64_t x,
                                      int64_t y, int64_t w, int64_t h, uint32_t value) {
    CPicFillRect rect;
    if (data == nullptr || !rect.Clip(width, height, x, y, w, h)) return Fail(PIC_ERR_BAD_PARAM);
    if (rect.IsEmpty()) return TRUE;
    CPicCallDepthGuard depth;
    CPicProgress progress;
    const bool set = (value & 0xFF) != 0;
    for (uint32_t row = 0; row < rect.h; ++row) {
        Paint1BitRow(data + PicRowOffset(rect.y + row, stride), rect.x, rect.w, set);
        if (!progress.Report(row, rect.h)) return Cancelled();
    }
    return TRUE;
}

BOOL CPicOperation::FillSolidRect8Bit(uint8_t* data, uint32_t width, uint32_t height, uint32_t stride, int64_t x,
                                      int64_t y, int64_t w, int64_t h, uint32_t index) {
    CPicFillRect rect;
    if (data == nullptr || !rect.Clip(width, height, x, y, w, h)) return Fail(PIC_ERR_BAD_PARAM);
    if (rect.IsEmpty()) return TRUE;
    CPicCallDepthGuard depth;
    CPicProgress progress;
    for (uint32_t row = 0; row < rect.h; ++row) {
        memset(data + PicRowOffset(rect.y + row, stride) + rect.x, (uint8_t)index, rect.w);
        if (!progress.Report(row, rect.h)) return Cancelled();
    }
    return TRUE;
}

BOOL CPicOperation::FillSolidRectRGB(uint8_t* data, uint32_t width, uint32_t height, uint32_t stride, int64_t x,
                                     int64_t y, int64_t w, int64_t h, uint32_t colour, uint32_t channels,
                                     uint32_t flags) {
    CPicFillRect rect;
    if (data == nullptr || (channels != 3 && channels != 4) || !rect.Clip(width, height, x, y, w, h))
        return Fail(PIC_ERR_BAD_PARAM);
    if (rect.IsEmpty()) return TRUE;
    CPicCallDepthGuard depth;
    uint8_t pixel[4] = {(uint8_t)colour, (uint8_t)(colour >> 8), (uint8_t)(colour >> 16), (uint8_t)(colour >> 24)};
    if (flags & 1) std::swap(pixel[0], pixel[2]);
    const bool uniform = pixel[0] == pixel[1] && pixel[1] == pixel[2] && (channels == 3 || pixel[2] == pixel[3]);
    const uint64_t rowBytes = (uint64_t)rect.w * channels;
    if (uniform && rect.x == 0 && rect.y == 0 && rect.w == width && rect.h == height &&
        stride == (uint64_t)width * channels) {
        memset(data, pixel[0], rowBytes * height);
        return TRUE;
    }
    CPicProgress progress;
    for (uint32_t row = 0; row < rect.h; ++row) {
        uint8_t* out = data + PicRowOffset(rect.y + row, stride) + (uint64_t)rect.x * channels;
        if (uniform) {
            memset(out, pixel[0], rowBytes);
        } else {
            for (uint32_t i = 0; i < rect.w; ++i, out += channels) memcpy(out, pixel, channels);
        }
        if (!progress.Report(row, rect.h)) return Cancelled();
    }
    return TRUE;
}
