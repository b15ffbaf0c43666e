#include "tests/imaging/core/GdiTestSupport.h"

#include "imaging/core/PicGdi.h"
#include "imaging/core/PicThreadState.h"

namespace imgtest {

Canvas::Canvas(int width, int height, Rgb fill) : m_width(width), m_height(height) {
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    m_dc = CreateCompatibleDC(nullptr);
    m_bitmap = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    m_bits = static_cast<uint8_t*>(bits);
    m_previous = SelectObject(m_dc, m_bitmap);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) Set(x, y, fill);
}

Canvas::~Canvas() {
    SelectObject(m_dc, m_previous);
    DeleteObject(m_bitmap);
    DeleteDC(m_dc);
}

Rgb Canvas::At(int x, int y) const {
    GdiFlush();
    const uint8_t* p = m_bits + 4 * ((size_t)y * m_width + x);
    return {p[2], p[1], p[0]};
}

void Canvas::Set(int x, int y, Rgb c) {
    GdiFlush();
    uint8_t* p = m_bits + 4 * ((size_t)y * m_width + x);
    p[0] = c.b;
    p[1] = c.g;
    p[2] = c.r;
    p[3] = 0;
}

std::vector<uint8_t> Canvas::Rows() const {
    std::vector<uint8_t> rows;
    for (int y = 0; y < m_height; ++y)
        for (int x = 0; x < m_width; ++x) {
            const Rgb c = At(x, y);
            rows.insert(rows.end(), {c.r, c.g, c.b});
        }
    return rows;
}

SectionSwitch::SectionSwitch(bool on) : m_previous(GetThreadState()->dibSectionSwitch) {
    GetThreadState()->dibSectionSwitch = on ? 1 : 0;
}

SectionSwitch::~SectionSwitch() { GetThreadState()->dibSectionSwitch = m_previous; }

HiddenCaps::HiddenCaps(int caps) { PicHideRasterCapsForTesting(caps); }

HiddenCaps::~HiddenCaps() { PicHideRasterCapsForTesting(0); }

}  // namespace imgtest
