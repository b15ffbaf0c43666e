// Text drawn into 1-bit, palette, RGB and RGBA buffers. GDI renders the text
// white on black into a private bitmap of the text's size plus a space's width
// on either side; that bitmap becomes a mask (1 bit per pixel, or an 8-bit
// coverage per pixel for anti-aliased text), which is placed by the alignment
// flags in the text rectangle, clipped to it and composed onto the buffer by
// the mask overlays. Runs on the calling thread; nothing outlives a call.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/core/PicArray.h"

// Text flags of the library (the format argument is DrawTextEx's).
enum : uint32_t {
    PIC_TEXT_SWAP_RB = 0x01,     // exchange bits 0-7 and 16-23 of the colour word
    PIC_TEXT_BOTTOM_UP = 0x02,   // the destination's rows are stored bottom-up
    PIC_TEXT_UTF16 = 0x04,       // the text is UTF-16, else 8-bit characters
    PIC_TEXT_RGBA_MODE = 0x18,   // RGBA composition: 0 mix, 0x08 alpha only, 0x10 set, 0x18 mix keeping alpha
    PIC_TEXT_ANTIALIAS = 0x40,   // an 8-bit coverage mask (RGB and RGBA only)
};

// The destination: kind 1 is 1-bit (rows most significant bit first), 8 palette
// indices, 3 RGB, 4 RGBA.
struct CPicTextTarget {
    uint8_t* pixels;
    int32_t width, height, stride;
    int32_t kind;
};

// The text colour: 1-bit: 0 or not; 8-bit: an index of the palette; RGB and
// RGBA: R | G << 8 | B << 16 (| alpha << 24).
struct CPicTextInk {
    uint32_t colour;
    const RGBQUAD* palette;
    int32_t paletteCount;
};

// The text, its rectangle (right and bottom exclusive), format and text flags.
struct CPicTextLayout {
    const void* text;
    RECT rect;
    uint32_t format;
    uint32_t flags;
};

// A glyph mask: 1-bit rows of (width + 7) / 8 bytes, or coverage rows of width bytes.
struct CPicTextMask {
    PicArray<uint8_t> data;
    int32_t width = 0, height = 0;
    bool coverage = false;
    int32_t Stride() const { return coverage ? width : (width + 7) / 8; }
};

class CPicText {
public:
    int32_t status = 0;

    // Entry-point forms: the font from a face name and a height in device units.
    BOOL DrawTextOn1Bit(const CPicTextTarget& target, const CPicTextLayout& layout, const char* face,
                        int32_t fontHeight, uint32_t colour);
    BOOL DrawTextOn8Bit(const CPicTextTarget& target, const CPicTextLayout& layout, const char* face,
                        int32_t fontHeight, uint32_t colourIndex, const RGBQUAD* palette, int32_t paletteCount);
    BOOL DrawTextOnRGBOrRGBA(const CPicTextTarget& target, const CPicTextLayout& layout, const char* face,
                             int32_t fontHeight, uint32_t colour);

    // The core with a font description.
    BOOL DrawTextWithFont(const CPicTextTarget& target, const CPicTextLayout& layout, const LOGFONTA* font,
                          const CPicTextInk& ink);

    // The rectangle GDI needs for the text (DT_CALCRECT); margin: the width of one space.
    BOOL MeasureText(const void* text, const LOGFONTA& font, const RECT& rect, RECT& measured, int32_t* margin,
                     uint32_t format, uint32_t flags);
    BOOL RenderTextMask(const void* text, const LOGFONTA& font, int32_t textWidth, int32_t textHeight,
                        int32_t margin, uint32_t format, uint32_t flags, CPicTextMask& mask);

    // Steps after rendering: place the mask by the format, clip it to the text
    // rectangle (unless DT_NOCLIP) and compose it onto the target.
    BOOL PlaceTextMask(const CPicTextTarget& target, const CPicTextLayout& layout, CPicTextMask& mask,
                       int32_t margin, int32_t textWidth, int32_t textHeight, const CPicTextInk& ink);

    // Where the mask's top-left goes (truncating division, as the format says).
    static void AlignTextOrigin(int32_t& x, int32_t& y, const RECT& rect, int32_t margin, int32_t textWidth,
                                int32_t textHeight, uint32_t format);
    // The left column of a clipped mask of the clipped rectangle's width.
    static int32_t AlignClippedMask(const RECT& rect, const RECT& clipped, uint32_t format);

    // The part of the mask at (x, y) inside `rect` into `clipped`; 0, or 1 when
    // the intersection is empty or no memory was had, or the crop's code.
    int32_t ClipMask(int32_t x, int32_t y, const RECT& rect, RECT& clippedRect, const CPicTextMask& mask,
                     CPicTextMask& clipped);
    // Coverage times opacity through a table; nothing at opacity 1.
    void ScaleMaskByOpacity(uint8_t* mask, int32_t width, int32_t height, int32_t stride, double opacity);

private:
    BOOL RenderTextMask1Bit(const void* text, const LOGFONTA& font, int32_t textWidth, int32_t textHeight,
                            int32_t margin, uint32_t format, uint32_t flags, CPicTextMask& mask);
    BOOL RenderTextMaskGray(const void* text, const LOGFONTA& font, int32_t textWidth, int32_t textHeight,
                            int32_t margin, uint32_t format, uint32_t flags, CPicTextMask& mask);
    BOOL DrawWithFaceName(const CPicTextTarget& target, const CPicTextLayout& layout, const char* face,
                          int32_t fontHeight, const CPicTextInk& ink);
    BOOL Compose(const CPicTextTarget& target, const CPicTextLayout& layout, CPicTextMask& mask, int32_t x,
                 int32_t y, const CPicTextInk& ink);
    BOOL Fail(int32_t code) {
        status = code;
        return FALSE;
    }
};

// DrawTextEx of 8-bit or UTF-16 text (PIC_TEXT_UTF16) into a DC.
int PicDrawTextEx(HDC dc, const void* text, RECT& rect, uint32_t format, uint32_t flags);
