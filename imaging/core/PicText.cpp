// Text drawing: the checks, the placement of the glyph mask by the format,
// its clipping to the text rectangle and its composition onto the target.
#include "imaging/core/PicText.h"

#include <cmath>

#include "imaging/core/PicImgBuf.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicOverlay.h"
#include "imaging/core/PicThreadState.h"

namespace {

constexpr int32_t kOneBit = 1, kPalette = 8, kRGB = 3, kRGBA = 4;

bool IsEmptyText(const void* text, uint32_t flags) {
    return (flags & PIC_TEXT_UTF16) ? *static_cast<const WCHAR*>(text) == 0 : *static_cast<const char*>(text) == 0;
}

// The thread's text opacity (1.0 unless a caller changed it).
double TextOpacity() {
    const CPicThreadState* state = GetThreadState();
    return state != nullptr ? state->textScale : 1.0;
}

// The alpha of a mono mask's text colour: the low byte of the truncated product.
uint8_t OpacityAlpha(double opacity) { return (uint8_t)(int64_t)std::trunc(opacity * 255.0); }

uint32_t SwapRedBlue(uint32_t colour) {
    return (colour & 0xFF00FF00u) | (colour & 0xFFu) << 16 | (colour >> 16 & 0xFFu);
}

// Colour pair entry 1 (B, G, R, alpha) of a colour word R | G << 8 | B << 16.
void SetTextEntry(uint8_t* pair, uint32_t colour, uint8_t alpha) {
    pair[4] = (uint8_t)(colour >> 16);
    pair[5] = (uint8_t)(colour >> 8);
    pair[6] = (uint8_t)colour;
    pair[7] = alpha;
}

// Overlay flags of a 1-bit mask and of a coverage mask by the RGBA composition mode.
uint32_t MonoRGBAFlags(uint32_t mode) { return mode == 0x08 ? 0x6 : mode == 0x10 ? 0x8 : mode == 0x18 ? 0x10 : 0; }
uint32_t CoverageRGBAFlags(uint32_t mode) { return mode == 0x08 ? 0x2 : mode == 0x10 ? 0x8 : mode == 0x18 ? 0x10 : 0; }

}  // namespace

BOOL CPicText::DrawTextOn1Bit(const CPicTextTarget& target, const CPicTextLayout& layout, const char* face,
                              int32_t fontHeight, uint32_t colour) {
    return DrawWithFaceName(target, layout, face, fontHeight, {colour, nullptr, 0});
}

BOOL CPicText::DrawTextOn8Bit(const CPicTextTarget& target, const CPicTextLayout& layout, const char* face,
                              int32_t fontHeight, uint32_t colourIndex, const RGBQUAD* palette, int32_t paletteCount) {
    return DrawWithFaceName(target, layout, face, fontHeight, {colourIndex, palette, paletteCount});
}

BOOL CPicText::DrawTextOnRGBOrRGBA(const CPicTextTarget& target, const CPicTextLayout& layout, const char* face,
                                   int32_t fontHeight, uint32_t colour) {
    return DrawWithFaceName(target, layout, face, fontHeight, {colour, nullptr, 0});
}

BOOL CPicText::DrawTextWithFont(const CPicTextTarget& target, const CPicTextLayout& layout, const LOGFONTA* font,
                                const CPicTextInk& ink) {
    status = 0;
    const RECT& r = layout.rect;
    if (r.right < r.left || r.bottom < r.top || layout.text == nullptr || font == nullptr ||
        target.pixels == nullptr || target.width < 0 || target.height < 0 || target.stride < 0 ||
        (target.kind == kPalette && ink.palette == nullptr))
        return Fail(PIC_ERR_BAD_PARAM);
    if (r.left > target.width || r.top > target.height || r.right < 0 || r.bottom < 0) return TRUE;
    if (IsEmptyText(layout.text, layout.flags)) return TRUE;
    CPicTextLayout used = layout;
    used.format &= ~(uint32_t)DT_CALCRECT;
    if (target.kind == kOneBit || target.kind == kPalette) used.flags &= ~(uint32_t)PIC_TEXT_ANTIALIAS;
    RECT measured = {};
    int32_t margin = 0;
    if (!MeasureText(used.text, *font, r, measured, &margin, used.format, used.flags)) return FALSE;
    const int32_t textWidth = measured.right - measured.left, textHeight = measured.bottom - measured.top;
    CPicTextMask mask;
    if (!RenderTextMask(used.text, *font, textWidth, textHeight, margin, used.format, used.flags, mask))
        return FALSE;
    return PlaceTextMask(target, used, mask, margin, textWidth, textHeight, ink);
}

void CPicText::AlignTextOrigin(int32_t& x, int32_t& y, const RECT& rect, int32_t margin, int32_t textWidth,
                               int32_t textHeight, uint32_t format) {
    if (format & DT_CENTER)
        x = (rect.right - rect.left - textWidth) / 2 + rect.left - margin;
    else if (format & DT_RIGHT)
        x = rect.right - margin - textWidth;
    if (!(format & DT_SINGLELINE)) return;
    if (format & DT_BOTTOM)
        y = rect.bottom - textHeight;
    else if (format & DT_VCENTER)
        y = (rect.bottom - rect.top - textHeight) / 2 + rect.top;
}

int32_t CPicText::AlignClippedMask(const RECT& rect, const RECT& clipped, uint32_t format) {
    const int32_t clippedWidth = clipped.right - clipped.left;
    if (format & DT_CENTER) return rect.left + (rect.right - rect.left - clippedWidth) / 2;
    if (format & DT_RIGHT) return rect.right - clippedWidth;
    return rect.left;
}

BOOL CPicText::PlaceTextMask(const CPicTextTarget& target, const CPicTextLayout& layout, CPicTextMask& mask,
                             int32_t margin, int32_t textWidth, int32_t textHeight, const CPicTextInk& ink) {
    status = 0;
    int32_t x = layout.rect.left - margin, y = layout.rect.top;
    AlignTextOrigin(x, y, layout.rect, margin, textWidth, textHeight, layout.format);
    RECT bounds = layout.rect;
    if (layout.flags & PIC_TEXT_BOTTOM_UP) {
        y = target.height - mask.height - layout.rect.top;
        // Rows count from the bottom, so the rectangle the mask is clipped to is mirrored with them.
        bounds.top = target.height - layout.rect.bottom;
        bounds.bottom = target.height - layout.rect.top;
    }
    if (layout.format & DT_NOCLIP) return Compose(target, layout, mask, x, y, ink);
    RECT clippedRect = {};
    CPicTextMask clipped;
    const int32_t code = ClipMask(x, y, bounds, clippedRect, mask, clipped);
    if (IsRectEmpty(&clippedRect)) return TRUE;
    if (code != 0) return Fail(code);
    return Compose(target, layout, clipped, AlignClippedMask(bounds, clippedRect, layout.format), clippedRect.top,
                   ink);
}

int32_t CPicText::ClipMask(int32_t x, int32_t y, const RECT& rect, RECT& clippedRect, const CPicTextMask& mask,
                           CPicTextMask& clipped) {
    CPicCallDepthGuard depth;
    const RECT maskRect = {x, y, x + mask.width, y + mask.height};
    if (!IntersectRect(&clippedRect, &maskRect, &rect)) clippedRect = {0, 0, 0, 0};
    const int32_t width = clippedRect.right - clippedRect.left, height = clippedRect.bottom - clippedRect.top;
    clipped.width = width;
    clipped.height = height;
    clipped.coverage = mask.coverage;
    const uint64_t bytes = (uint64_t)height * (uint64_t)clipped.Stride();
    if (bytes == 0 || bytes > UINT32_MAX) {
        clipped.data.Free();
        return PIC_ERR_OUT_OF_MEMORY;
    }
    if (!clipped.data.Allocate((uint32_t)bytes)) return PIC_ERR_OUT_OF_MEMORY;
    CPicOperation crop;
    const uint32_t left = (uint32_t)(clippedRect.left - x), top = (uint32_t)(clippedRect.top - y);
    const BOOL cut = mask.coverage
                         ? crop.CropImage(mask.data.data, clipped.data.data, mask.width, mask.height, 1, left, top,
                                          width, height, mask.Stride(), clipped.Stride())
                         : crop.Crop1Bit(mask.data.data, clipped.data.data, mask.width, mask.height, left, top, width,
                                         height, mask.Stride(), clipped.Stride());
    return cut ? 0 : crop.status;
}

void CPicText::ScaleMaskByOpacity(uint8_t* mask, int32_t width, int32_t height, int32_t stride, double opacity) {
    CPicCallDepthGuard depth;
    if (opacity == 1.0) return;
    uint8_t table[256];
    for (int i = 0; i < 256; ++i) table[i] = (uint8_t)(int64_t)std::trunc(i * opacity);
    const uint8_t* tables[1] = {table};
    CPicOperation lookup;
    lookup.ApplyChannelLUTs(mask, width, height, 1, stride, tables);
    status = lookup.status;
}

BOOL CPicText::Compose(const CPicTextTarget& target, const CPicTextLayout& layout, CPicTextMask& mask, int32_t x,
                       int32_t y, const CPicTextInk& ink) {
    const double opacity = TextOpacity();
    const uint32_t colour = (layout.flags & PIC_TEXT_SWAP_RB) ? SwapRedBlue(ink.colour) : ink.colour;
    uint8_t pair[8] = {};
    CPicImgOverlay overlay;
    int32_t drawn = 0;
    if (target.kind == kOneBit) {
        uint32_t flags = 0x3;
        if (ink.colour == 0) {
            for (uint32_t i = 0; i < mask.data.count; ++i) mask.data[i] = (uint8_t)~mask.data[i];
            flags = 0x1;
        }
        drawn = overlay.Overlay1Bit(target.pixels, target.width, target.height, target.stride, mask.data.data,
                                    mask.width, mask.height, mask.Stride(), x, y, flags);
        status = overlay.status;
        return drawn;
    }
    if (target.kind == kPalette) {
        // An index beyond the palette reads entry 0, as the overlay does for pixels.
        const bool inside = ink.paletteCount > 0 && ink.colour < (uint32_t)ink.paletteCount;
        const RGBQUAD& entry = ink.palette[inside ? ink.colour : 0];
        SetTextEntry(pair, entry.rgbRed | entry.rgbGreen << 8 | entry.rgbBlue << 16, OpacityAlpha(opacity));
        drawn = overlay.Overlay1BitOn8Bit(target.pixels, target.width, target.height, target.stride, mask.data.data,
                                          mask.width, mask.height, mask.Stride(), x, y, ink.paletteCount,
                                          reinterpret_cast<const uint8_t*>(ink.palette), pair);
        status = overlay.status;
        return drawn;
    }
    const uint32_t mode = layout.flags & PIC_TEXT_RGBA_MODE;
    if (mask.coverage) {
        ScaleMaskByOpacity(mask.data.data, mask.width, mask.height, mask.Stride(), opacity);
        drawn = target.kind == kRGB
                    ? overlay.BlendColorThroughMask(target.pixels, target.width, target.height, 3, target.stride,
                                                    mask.data.data, mask.width, mask.height, mask.Stride(), colour, x,
                                                    y, 0)
                    : overlay.BlendColorThroughMaskRGBA(target.pixels, target.width, target.height, target.stride,
                                                        mask.data.data, mask.width, mask.height, mask.Stride(),
                                                        colour, x, y, CoverageRGBAFlags(mode));
    } else {
        const bool ownAlpha = target.kind == kRGBA && (mode == 0x08 || mode == 0x10);
        SetTextEntry(pair, colour, ownAlpha ? (uint8_t)(colour >> 24) : OpacityAlpha(opacity));
        VovIredev::CPicImgBufExtern<uint8_t> destination((uint32_t)target.width, (uint32_t)target.height,
                                                         (uint32_t)target.kind, (uint32_t)target.stride,
                                                         target.pixels);
        VovIredev::CPicImgBufExternConst<uint8_t> glyphs((uint32_t)mask.width, (uint32_t)mask.height, 0,
                                                         (uint32_t)mask.Stride(), mask.data.data);
        drawn = overlay.Overlay1BitTwoColors(destination, glyphs, x, y, pair,
                                             target.kind == kRGBA ? MonoRGBAFlags(mode) : 0);
    }
    if (!drawn) status = overlay.status;
    return drawn;
}
