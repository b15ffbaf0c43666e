#include "editctrl/window/CodeEditPrinter.h"
#include "editctrl/window/CodeEditWnd.h"

#include <algorithm>

CCodeEditPrinter::~CCodeEditPrinter() { ReleaseFonts(); }

void CCodeEditPrinter::ReleaseFonts()
{
    if (m_font)
        ::DeleteObject(m_font);
    if (m_linkFont)
        ::DeleteObject(m_linkFont);
    m_font = m_linkFont = nullptr;
    m_textFont = nullptr;
}

void CCodeEditPrinter::BeginPrintPages(HDC dc, CPrintInfo& info)
{
    ReleaseFonts();
    m_dc = dc;
    CCodeEditCtrl& control = m_window.Control();
    HFONT screenFont = control.font ? control.font : (HFONT)::GetStockObject(DEFAULT_GUI_FONT);
    LOGFONTW logical = {}, system = {};
    ::GetObjectW(screenFont, sizeof logical, &logical);
    ::GetObjectW(::GetStockObject(SYSTEM_FONT), sizeof system, &system);
    m_textFont = screenFont;
    if (::lstrcmpiW(logical.lfFaceName, system.lfFaceName) != 0) {
        // The screen font's size at the printer's resolution.
        HDC screen = ::GetDC(nullptr);
        logical.lfHeight = ::MulDiv(logical.lfHeight, ::GetDeviceCaps(dc, LOGPIXELSY), ::GetDeviceCaps(screen, LOGPIXELSY));
        logical.lfWidth = ::MulDiv(logical.lfWidth, ::GetDeviceCaps(dc, LOGPIXELSX), ::GetDeviceCaps(screen, LOGPIXELSX));
        ::ReleaseDC(nullptr, screen);
        m_font = ::CreateFontIndirectW(&logical);
    }
    logical.lfUnderline = TRUE;
    m_linkFont = ::CreateFontIndirectW(&logical);
    control.BeginPrintPages(info);
}

BOOL CCodeEditPrinter::PrintPage(HDC dc, CPrintInfo& info)
{
    m_dc = dc;
    CEditDisplayList list;
    CCodeEditCtrl& control = m_window.Control();
    BOOL printed = control.PrintPage(list, *this, info);
    if (printed)
        m_window.ExecuteDisplayList(dc, list, PrintFont(), m_linkFont);
    return printed;
}

void CCodeEditPrinter::EndPrintPages(HDC, CPrintInfo& info)
{
    m_window.Control().EndPrintPages(info);
    ReleaseFonts();
    m_dc = nullptr;
}

EditFontMetrics CCodeEditPrinter::GetFontMetrics()
{
    EditFontMetrics metrics;
    if (!m_dc)
        return metrics;
    HGDIOBJ old = ::SelectObject(m_dc, PrintFont());
    TEXTMETRICW tm = {};
    ::GetTextMetricsW(m_dc, &tm);
    ::SelectObject(m_dc, old);
    metrics.height = tm.tmHeight;
    metrics.maxCharWidth = tm.tmMaxCharWidth;
    metrics.aveCharWidth = tm.tmAveCharWidth;
    return metrics;
}

SIZE CCodeEditPrinter::MeasureRun(const WCHAR* chars, int count, int tabWidth, bool link)
{
    SIZE size = {0, 0};
    if (!m_dc || count <= 0)
        return size;
    HGDIOBJ old = ::SelectObject(m_dc, link && m_linkFont ? m_linkFont : PrintFont());
    if (tabWidth > 0) {
        int stop = tabWidth;
        DWORD extent = ::GetTabbedTextExtentW(m_dc, chars, count, 1, &stop);
        size.cx = LOWORD(extent);
        size.cy = HIWORD(extent);
    } else {
        ::GetTextExtentPoint32W(m_dc, chars, count, &size);
    }
    ::SelectObject(m_dc, old);
    return size;
}
