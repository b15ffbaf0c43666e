#include "framework/windows/CDC.h"

CDC::~CDC()
{
    if (m_owned)
        DeleteDC();
}

BOOL CDC::Attach(HDC dc)
{
    if (m_hDC || !dc)
        return FALSE;
    m_hDC = m_hAttribDC = dc;
    return TRUE;
}

HDC CDC::Detach()
{
    HDC dc = m_hDC;
    m_hDC = m_hAttribDC = nullptr;
    m_owned = false;
    return dc;
}

BOOL CDC::CreateCompatibleDC(CDC* other)
{
    HDC dc = ::CreateCompatibleDC(other ? other->m_hDC : nullptr);
    if (!Attach(dc)) {
        if (dc)
            ::DeleteDC(dc);
        return FALSE;
    }
    m_owned = true;
    return TRUE;
}

BOOL CDC::DeleteDC()
{
    if (!m_hDC)
        return FALSE;
    BOOL deleted = ::DeleteDC(Detach());
    return deleted;
}

CPoint CDC::SetWindowOrg(int x, int y)
{
    POINT previous = {};
    ::SetWindowOrgEx(m_hDC, x, y, &previous);
    return previous;
}

void CDC::FillSolidRect(const RECT& rect, COLORREF colour)
{
    COLORREF previous = ::SetBkColor(m_hDC, colour);
    ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, previous);
}

CPoint CDC::MoveTo(int x, int y)
{
    POINT previous = {};
    ::MoveToEx(m_hDC, x, y, &previous);
    return previous;
}

CSize CDC::TabbedTextOut(int x, int y, const WCHAR* text, int length, int tabCount, const int* tabStops, int origin)
{
    LONG extent = ::TabbedTextOutW(m_hDC, x, y, text, length, tabCount, tabStops, origin);
    return CSize(LOWORD(extent), HIWORD(extent));
}

CSize CDC::GetTextExtent(const WCHAR* text, int length) const
{
    SIZE size = {};
    ::GetTextExtentPoint32W(m_hAttribDC, text, length, &size);
    return size;
}

CSize CDC::GetTabbedTextExtent(const WCHAR* text, int length, int tabCount, const int* tabStops) const
{
    DWORD extent = ::GetTabbedTextExtentW(m_hAttribDC, text, length, tabCount, tabStops);
    return CSize(LOWORD(extent), HIWORD(extent));
}

CPaintDC::CPaintDC(HWND window) : m_hWnd(window) { Attach(::BeginPaint(window, &m_ps)); }

CPaintDC::~CPaintDC()
{
    Detach();
    ::EndPaint(m_hWnd, &m_ps);
}

CClientDC::CClientDC(HWND window) : m_hWnd(window) { Attach(::GetDC(window)); }

CClientDC::~CClientDC() { ::ReleaseDC(m_hWnd, Detach()); }
