// The GDI side of text drawing: the font, the measurement and the white-on-
// black rendering of the text into a 1-bit bitmap or a 32-bit DIB section,
// read back as a glyph mask.
#include <cstring>

#include "imaging/core/PicImgUtil.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicText.h"

namespace {

constexpr uint32_t kHeaderSize = sizeof(BITMAPINFOHEADER);
constexpr uint32_t kMonoTableSize = 8;
constexpr BYTE kPitchAndFamily = 48;  // FF_MODERN | DEFAULT_PITCH, as the font has always been asked for

// A memory DC with a font made from a description selected into it; code is
// 10 (no DC), 18 (no font) or 37 (not selected) when it could not be had.
class CFontDC {
public:
    CFontDC(HDC compatible, const LOGFONTA& description) {
        dc = CreateCompatibleDC(compatible);
        if (dc == nullptr) {
            code = PIC_ERR_DC;
            return;
        }
        m_font = CreateFontIndirectA(&description);
        if (m_font == nullptr) {
            code = PIC_ERR_FONT;
            return;
        }
        m_previous = SelectObject(dc, m_font);
        if (m_previous == nullptr || m_previous == HGDI_ERROR) {
            m_previous = nullptr;
            code = PIC_ERR_SELECT_OBJECT;
        }
    }
    ~CFontDC() {
        if (m_previous != nullptr) SelectObject(dc, m_previous);
        if (m_font != nullptr) DeleteObject(m_font);
        if (dc != nullptr) DeleteDC(dc);
    }
    CFontDC(const CFontDC&) = delete;
    CFontDC& operator=(const CFontDC&) = delete;

    HDC dc = nullptr;
    int32_t code = 0;

private:
    HFONT m_font = nullptr;
    HGDIOBJ m_previous = nullptr;
};

// A bitmap owned for the scope, selected into a DC until Deselect.
class CSelectedBitmap {
public:
    CSelectedBitmap(HDC dc, HBITMAP bitmap) : m_dc(dc), bitmap(bitmap) {
        if (bitmap == nullptr) return;
        m_previous = SelectObject(dc, bitmap);
        if (m_previous == HGDI_ERROR) m_previous = nullptr;
    }
    ~CSelectedBitmap() {
        Deselect();
        if (bitmap != nullptr) DeleteObject(bitmap);
    }
    CSelectedBitmap(const CSelectedBitmap&) = delete;
    CSelectedBitmap& operator=(const CSelectedBitmap&) = delete;
    bool Selected() const { return m_previous != nullptr; }
    void Deselect() {
        if (m_previous != nullptr) SelectObject(m_dc, m_previous);
        m_previous = nullptr;
    }

private:
    HDC m_dc;
    HGDIOBJ m_previous = nullptr;

public:
    HBITMAP bitmap;
};

class CDisplayDC {
public:
    CDisplayDC() : dc(CreateDCA("DISPLAY", nullptr, nullptr, nullptr)) {}
    ~CDisplayDC() {
        if (dc != nullptr) DeleteDC(dc);
    }
    CDisplayDC(const CDisplayDC&) = delete;
    CDisplayDC& operator=(const CDisplayDC&) = delete;
    HDC dc;
};

// Black over the whole bitmap, then the text in white with a transparent
// background, one margin in from the left. 0, or 90 without a brush.
int32_t PaintWhiteOnBlack(HDC dc, const void* text, int32_t width, int32_t height, int32_t margin,
                          int32_t textWidth, uint32_t format, uint32_t flags) {
    HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
    if (black == nullptr) return PIC_ERR_BRUSH;
    RECT all = {0, 0, width, height};
    FillRect(dc, &all, black);
    DeleteObject(black);
    SetBkColor(dc, RGB(0, 0, 0));
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    RECT at = {margin, 0, margin + textWidth, height};
    PicDrawTextEx(dc, text, at, (format & ~(uint32_t)DT_CALCRECT) | DT_NOCLIP, flags);
    GdiFlush();
    return 0;
}

bool AllocateMask(CPicTextMask& mask, int32_t width, int32_t height, bool coverage) {
    mask.width = width;
    mask.height = height;
    mask.coverage = coverage;
    const uint64_t bytes = (uint64_t)height * (uint64_t)mask.Stride();
    return bytes <= UINT32_MAX && mask.data.Allocate((uint32_t)bytes);
}

}  // namespace

int PicDrawTextEx(HDC dc, const void* text, RECT& rect, uint32_t format, uint32_t flags) {
    if (flags & PIC_TEXT_UTF16) {
        auto* wide = static_cast<WCHAR*>(const_cast<void*>(text));
        return DrawTextExW(dc, wide, lstrlenW(wide), &rect, format, nullptr);
    }
    auto* narrow = static_cast<char*>(const_cast<void*>(text));
    return DrawTextExA(dc, narrow, lstrlenA(narrow), &rect, format, nullptr);
}

BOOL CPicText::DrawWithFaceName(const CPicTextTarget& target, const CPicTextLayout& layout, const char* face,
                                int32_t fontHeight, const CPicTextInk& ink) {
    status = 0;
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) return Fail(PIC_ERR_DC);
    POINT height = {0, fontHeight};
    DPtoLP(dc, &height, 1);
    DeleteDC(dc);
    HFONT font = CreateFontA(height.y, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, 0, 0, 0, 0, kPitchAndFamily, face);
    if (font == nullptr) return Fail(PIC_ERR_FONT);
    LOGFONTA description = {};
    GetObjectA(font, sizeof description, &description);
    const BOOL drawn = DrawTextWithFont(target, layout, &description, ink);
    DeleteObject(font);
    return drawn;
}

BOOL CPicText::MeasureText(const void* text, const LOGFONTA& font, const RECT& rect, RECT& measured,
                           int32_t* margin, uint32_t format, uint32_t flags) {
    status = 0;
    const bool empty = (flags & PIC_TEXT_UTF16) ? *static_cast<const WCHAR*>(text) == 0
                                                : *static_cast<const char*>(text) == 0;
    if (empty) return TRUE;
    CFontDC measuring(nullptr, font);
    if (measuring.code != 0) return Fail(measuring.code);
    measured = rect;
    PicDrawTextEx(measuring.dc, text, measured, format | DT_CALCRECT, flags);
    if (margin != nullptr) {
        RECT space = {0, 0, 0, 0};
        char blank[] = " ";
        DrawTextExA(measuring.dc, blank, 1, &space, DT_CALCRECT, nullptr);
        *margin = space.right - space.left;
    }
    return TRUE;
}

BOOL CPicText::RenderTextMask(const void* text, const LOGFONTA& font, int32_t textWidth, int32_t textHeight,
                              int32_t margin, uint32_t format, uint32_t flags, CPicTextMask& mask) {
    const BOOL rendered = (flags & PIC_TEXT_ANTIALIAS)
                              ? RenderTextMaskGray(text, font, textWidth, textHeight, margin, format, flags, mask)
                              : RenderTextMask1Bit(text, font, textWidth, textHeight, margin, format, flags, mask);
    if (!rendered) return FALSE;
    if (mask.data.IsEmpty()) return Fail(PIC_ERR_OUT_OF_MEMORY);
    return TRUE;
}

BOOL CPicText::RenderTextMask1Bit(const void* text, const LOGFONTA& font, int32_t textWidth, int32_t textHeight,
                                  int32_t margin, uint32_t format, uint32_t flags, CPicTextMask& mask) {
    status = 0;
    CPicCallDepthGuard depth;
    mask.data.Free();
    CFontDC rendering(nullptr, font);
    if (rendering.code != 0) return Fail(rendering.code);
    const int32_t width = textWidth + 2 * margin, height = textHeight;
    CSelectedBitmap mono(rendering.dc, CreateBitmap(width, height, 1, 1, nullptr));
    if (mono.bitmap == nullptr) return Fail(PIC_ERR_CREATE_BITMAP);
    if (!mono.Selected()) return Fail(PIC_ERR_SELECT_OBJECT);
    if (int32_t code = PaintWhiteOnBlack(rendering.dc, text, width, height, margin, textWidth, format, flags))
        return Fail(code);
    // GetDIBits wants the bitmap out of every DC.
    mono.Deselect();
    CPicOperation converter;
    auto* dib = static_cast<uint8_t*>(converter.HBITMAPToDIB(mono.bitmap, BI_RGB, nullptr));
    if (dib == nullptr) return Fail(converter.status);
    const bool allocated = AllocateMask(mask, width, height, false);
    if (allocated) {
        const uint64_t dibRow = ((uint64_t)width + 31) / 32 * 4;
        const uint8_t* rows = dib + kHeaderSize + kMonoTableSize;
        for (int32_t r = 0; r < height; ++r) {
            const int32_t stored = (flags & PIC_TEXT_BOTTOM_UP) ? r : height - 1 - r;
            memcpy(mask.data.data + (uint64_t)r * mask.Stride(), rows + stored * dibRow, (size_t)mask.Stride());
        }
    }
    GlobalFree(dib);
    return allocated ? TRUE : Fail(PIC_ERR_OUT_OF_MEMORY);
}

BOOL CPicText::RenderTextMaskGray(const void* text, const LOGFONTA& font, int32_t textWidth, int32_t textHeight,
                                  int32_t margin, uint32_t format, uint32_t flags, CPicTextMask& mask) {
    status = 0;
    CPicCallDepthGuard depth;
    mask.data.Free();
    CDisplayDC display;
    if (display.dc == nullptr) return Fail(PIC_ERR_DC);
    CFontDC rendering(display.dc, font);
    if (rendering.code != 0) return Fail(rendering.code);
    const int32_t width = textWidth + 2 * margin, height = textHeight;
    BITMAPINFO info = {};
    info.bmiHeader = {kHeaderSize, width, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    CSelectedBitmap section(rendering.dc, CreateDIBSection(rendering.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (section.bitmap == nullptr || bits == nullptr) return Fail(PIC_ERR_DIB_SECTION);
    if (!section.Selected()) return Fail(PIC_ERR_SELECT_OBJECT);
    if (int32_t code = PaintWhiteOnBlack(rendering.dc, text, width, height, margin, textWidth, format, flags))
        return Fail(code);
    if (!AllocateMask(mask, width, height, true)) return Fail(PIC_ERR_OUT_OF_MEMORY);
    // The section is stored bottom-up: kept so for bottom-up targets, turned otherwise.
    CPicImgUtilT<unsigned char> gray;
    const auto* pixels = static_cast<const uint8_t*>(bits);
    const BOOL converted =
        (flags & PIC_TEXT_BOTTOM_UP)
            ? gray.RGBToGray(pixels, width, height, 4, 4 * width, width, 0, mask.data.data)
            : gray.RGBToGrayBottomUp(pixels, width, height, 4, 4 * width, width, 0, mask.data.data);
    if (!converted) {
        mask.data.Free();
        return Fail(gray.status);
    }
    return TRUE;
}
