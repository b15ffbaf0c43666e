#include "framework/windows/CScrollBar.h"

BOOL CScrollBar::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateEx(0, L"SCROLLBAR", nullptr, style, rect, parent, id);
}

BOOL CScrollBar::SetScrollInfo(SCROLLINFO& info, BOOL redraw)
{
    info.cbSize = sizeof info;
    ::SetScrollInfo(m_hWnd, SB_CTL, &info, redraw);
    return TRUE;
}

BOOL CScrollBar::GetScrollInfo(SCROLLINFO& info, UINT mask)
{
    info.cbSize = sizeof info;
    info.fMask = mask;
    return ::GetScrollInfo(m_hWnd, SB_CTL, &info);
}

int CScrollBar::GetTrackPos()
{
    SCROLLINFO info = {};
    return GetScrollInfo(info, SIF_TRACKPOS) ? info.nTrackPos : 0;
}
