// CScrollBar: a scroll bar control of its own (SBS_HORZ or SBS_VERT), as a
// window that places its bars itself uses them.
#pragma once

#include "framework/windows/CWnd.h"

class CScrollBar : public CWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    // Range, page and position as `info` names them (its cbSize is set here).
    BOOL SetScrollInfo(SCROLLINFO& info, BOOL redraw = TRUE);
    BOOL GetScrollInfo(SCROLLINFO& info, UINT mask = SIF_ALL);
    // Where the thumb is being dragged, for SB_THUMBTRACK.
    int GetTrackPos();
    BOOL EnableScrollBar(UINT arrows = ESB_ENABLE_BOTH) { return ::EnableScrollBar(m_hWnd, SB_CTL, arrows); }
};
