#include "imaging/core/PicTextEntryPoints.h"

#include "imaging/core/PicOperation.h"
#include "imaging/core/PicText.h"

namespace {

// Runs draw(text, target, layout) when the RECT and the sizes can be read; 5 otherwise.
template <class Draw>
BOOL DrawTextInto(CPicOperation& op, uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride, int32_t kind,
              const void* text, const RECT* rect, int32_t format, int32_t textFlags, Draw&& draw) {
    if (rect == nullptr || width > INT32_MAX || height > INT32_MAX || stride > INT32_MAX) {
        op.status = PIC_ERR_BAD_PARAM;
        return FALSE;
    }
    const CPicTextTarget target = {pixels, (int32_t)width, (int32_t)height, (int32_t)stride, kind};
    const CPicTextLayout layout = {text, *rect, (uint32_t)format, (uint32_t)textFlags};
    CPicText drawer;
    const BOOL drawn = draw(drawer, target, layout);
    op.status = drawer.status;
    return drawn;
}

}  // namespace

BOOL WINAPI pic_DrawTextOn1Bit(uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride, const void* text,
                               const char* face, int32_t fontHeight, const RECT* rect, int32_t format,
                               int32_t textFlags, int32_t colour) {
    return PicEntryPoint("pic_DrawTextOn1Bit", FALSE, [&](CPicOperation& op) {
        return DrawTextInto(op, pixels, width, height, stride, 1, text, rect, format, textFlags,
                        [&](CPicText& drawer, const CPicTextTarget& target, const CPicTextLayout& layout) {
                            return drawer.DrawTextOn1Bit(target, layout, face, fontHeight, (uint32_t)colour);
                        });
    });
}

BOOL WINAPI pic_DrawTextOn8Bit(uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride, const void* text,
                               const char* face, int32_t fontHeight, const RECT* rect, int32_t format,
                               int32_t textFlags, int32_t colourIndex, const RGBQUAD* palette, int32_t paletteCount) {
    return PicEntryPoint("pic_DrawTextOn8Bit", FALSE, [&](CPicOperation& op) {
        return DrawTextInto(op, pixels, width, height, stride, 8, text, rect, format, textFlags,
                        [&](CPicText& drawer, const CPicTextTarget& target, const CPicTextLayout& layout) {
                            return drawer.DrawTextOn8Bit(target, layout, face, fontHeight, (uint32_t)colourIndex,
                                                         palette, paletteCount);
                        });
    });
}

BOOL WINAPI pic_DrawTextOnRGB(uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride, const void* text,
                              const char* face, int32_t fontHeight, const RECT* rect, int32_t format,
                              int32_t textFlags, int32_t colour) {
    return PicEntryPoint("pic_DrawTextOnRGB", FALSE, [&](CPicOperation& op) {
        return DrawTextInto(op, pixels, width, height, stride, 3, text, rect, format, textFlags,
                        [&](CPicText& drawer, const CPicTextTarget& target, const CPicTextLayout& layout) {
                            return drawer.DrawTextOnRGBOrRGBA(target, layout, face, fontHeight, (uint32_t)colour);
                        });
    });
}

BOOL WINAPI pic_DrawTextOnRGBA(uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride, const void* text,
                               const char* face, int32_t fontHeight, const RECT* rect, int32_t format,
                               int32_t textFlags, int32_t colour) {
    return PicEntryPoint("pic_DrawTextOnRGBA", FALSE, [&](CPicOperation& op) {
        return DrawTextInto(op, pixels, width, height, stride, 4, text, rect, format, textFlags,
                        [&](CPicText& drawer, const CPicTextTarget& target, const CPicTextLayout& layout) {
                            return drawer.DrawTextOnRGBOrRGBA(target, layout, face, fontHeight, (uint32_t)colour);
                        });
    });
}
