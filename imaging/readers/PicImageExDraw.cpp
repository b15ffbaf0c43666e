// CPicImageEx's drawing calls, through the library's draw entry points.
#include <algorithm>

#include "imaging/core/PicDrawEntryPoints.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicImageEx.h"

int32_t CPicImageEx::DrawRows(HDC dc, const uint8_t* rows, int32_t width, uint32_t stride, POINT at,
                              HPALETTE palette) const {
    uint32_t w = (uint32_t)width, h = (uint32_t)m_height;
    switch (m_bitsPerPixel) {
    case 32: pic_DrawRGBA(dc, rows, w, h, stride, at.x, at.y, palette, 0); break;
    case 24: pic_DrawRGB(dc, rows, w, h, stride, at.x, at.y, palette); break;
    case 8: pic_Draw8Bit(dc, rows, w, h, stride, m_palette, at.x, at.y, palette); break;
    case 1: pic_Draw1Bit(dc, rows, w, h, stride, m_palette, at.x, at.y, palette); break;
    default: return PIC_ERR_BIT_DEPTH;
    }
    return pic_GetLastError();
}

int32_t CPicImageEx::Draw(HDC dc, POINT at, HPALETTE palette) const {
    if (!IsValid()) return PIC_ERR_BAD_PARAM;
    return DrawRows(dc, GetPixels(), m_width, GetRowBytes(), at, palette);
}

int32_t CPicImageEx::StretchDraw(HDC dc, const RECT& rect) const {
    if (!IsValid()) return PIC_ERR_BAD_PARAM;
    uint32_t w = (uint32_t)m_width, h = (uint32_t)m_height;
    int32_t width = rect.right - rect.left, height = rect.bottom - rect.top;
    switch (m_bitsPerPixel) {
    case 24: {
        int previous = SetStretchBltMode(dc, COLORONCOLOR);
        pic_StretchDrawRGB(dc, GetPixels(), w, h, GetRowBytes(), rect.left, rect.top, width, height);
        int32_t code = pic_GetLastError();
        if (previous != 0) SetStretchBltMode(dc, previous);
        return code;
    }
    case 8: pic_StretchDraw8Bit(dc, GetPixels(), w, h, GetRowBytes(), m_palette, rect.left, rect.top, width, height); break;
    case 1: pic_StretchDraw1Bit(dc, GetPixels(), w, h, GetRowBytes(), m_palette, rect.left, rect.top, width, height); break;
    default: return PIC_ERR_BIT_DEPTH;  // 32 bits included: not drawn
    }
    return pic_GetLastError();
}

int32_t CPicImageEx::DrawStripFrame(HDC dc, POINT at, int32_t index, int32_t frameCount) const {
    if (!IsValid() || frameCount < 1) return PIC_ERR_BAD_PARAM;
    int32_t frameWidth = m_width / frameCount;
    if (frameWidth < 1) return PIC_ERR_BAD_PARAM;
    index = std::clamp(index, 0, frameCount - 1);
    if (m_bitsPerPixel != 1) {
        const uint8_t* first = GetPixels() + (size_t)frameWidth * index * (m_bitsPerPixel / 8);
        return DrawRows(dc, first, frameWidth, GetRowBytes(), at, nullptr);
    }
    // A 1-bit frame seldom starts on a byte: its bits are moved into a frame of their own.
    CPicImageEx frame;
    int32_t code = frame.Create(frameWidth, m_height, 1);
    if (code != PIC_ERR_OK) return code;
    frame.CopyPaletteAndAttributes(*this);
    uint32_t in = GetRowBytes(), out = frame.GetRowBytes();
    for (int32_t y = 0; y < m_height; ++y) {
        const uint8_t* row = GetPixels() + (size_t)y * in;
        uint8_t* target = frame.GetPixels() + (size_t)y * out;
        std::fill(target, target + out, 0);
        for (int32_t x = 0; x < frameWidth; ++x) {
            int32_t s = frameWidth * index + x;
            if (row[s / 8] >> (7 - s % 8) & 1) target[x / 8] |= (uint8_t)(0x80 >> (x % 8));
        }
    }
    return frame.Draw(dc, at, nullptr);
}
