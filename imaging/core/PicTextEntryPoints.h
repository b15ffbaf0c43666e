// Entry points that draw text into image buffers (PicText.h tells how). The
// RECT is the text rectangle, right and bottom exclusive; format holds
// DrawTextEx's flags, textFlags the library's (PIC_TEXT_*). The font is the
// face GDI gives for the name at fontHeight device units. A null or inverted
// RECT gives 5; a rectangle outside the buffer or an empty text draws nothing
// and succeeds.
#pragma once

#include <windows.h>

#include <cstdint>

// colour 0 clears the text's bits, any other value sets them.
BOOL WINAPI pic_DrawTextOn1Bit(uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride, const void* text,
                               const char* face, int32_t fontHeight, const RECT* rect, int32_t format,
                               int32_t textFlags, int32_t colour);
// The text takes palette entry colourIndex (entry 0 when it is beyond paletteCount).
BOOL WINAPI pic_DrawTextOn8Bit(uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride, const void* text,
                               const char* face, int32_t fontHeight, const RECT* rect, int32_t format,
                               int32_t textFlags, int32_t colourIndex, const RGBQUAD* palette, int32_t paletteCount);
// colour R | G << 8 | B << 16 (RGBA: | alpha << 24 for the composition modes 0x08 and 0x10).
BOOL WINAPI pic_DrawTextOnRGB(uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride, const void* text,
                              const char* face, int32_t fontHeight, const RECT* rect, int32_t format,
                              int32_t textFlags, int32_t colour);
BOOL WINAPI pic_DrawTextOnRGBA(uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride, const void* text,
                               const char* face, int32_t fontHeight, const RECT* rect, int32_t format,
                               int32_t textFlags, int32_t colour);
