#include "framework/windows/CDockablePane.h"

#include "framework/windows/CDC.h"
#include "framework/windows/CDockColumn.h"

int CDockablePane::CaptionHeight() { return ::GetSystemMetrics(SM_CYSMCAPTION) + 2; }

BOOL CDockablePane::PreCreateWindow(CREATESTRUCTW& cs)
{
    if (!cs.lpszClass)
        cs.lpszClass = RegisterWndClass(CS_DBLCLKS, ::LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW), (HBRUSH)(COLOR_WINDOW + 1));
    return TRUE;
}

BOOL CDockablePane::Create(const WCHAR* caption, CWnd* parentFrame, const RECT& rect, BOOL, UINT id, DWORD)
{
    return CreateEx(0, nullptr, caption, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, rect, parentFrame,
                    id);
}

CDockColumn* CDockablePane::GetColumn() const
{
    return dynamic_cast<CDockColumn*>(FromHandlePermanent(::GetParent(m_hWnd)));
}

void CDockablePane::ShowPane(BOOL show, BOOL, BOOL activate)
{
    if (!IsWindow())
        return;
    ShowWindow(show ? SW_SHOWNA : SW_HIDE);
    if (CDockColumn* column = GetColumn())
        column->PanesChanged();
    if (show && activate)
        SetFocus();
}

BOOL CDockablePane::DockToWindow(CDockablePane* target)
{
    CDockColumn* column = target ? target->GetColumn() : nullptr;
    if (!column)
        return FALSE;
    column->InsertPaneAfter(this, target);
    return TRUE;
}

CRect CDockablePane::GetCloseButtonRect() const
{
    CRect window;
    GetWindowRect(&window);
    int size = CaptionHeight() - 4;
    int right = window.Width() - 3;
    return CRect(right - size, 2, right, 2 + size);
}

void CDockablePane::OnSetFocus(HWND) {}

void CDockablePane::DrawCaption()
{
    HDC windowDc = ::GetWindowDC(m_hWnd);
    if (!windowDc)
        return;
    CDC dc;
    dc.Attach(windowDc);
    CRect window;
    GetWindowRect(&window);
    CRect caption(0, 0, window.Width(), CaptionHeight());
    dc.FillSolidRect(caption, ::GetSysColor(COLOR_3DFACE));
    HGDIOBJ oldFont = dc.SelectObject(::GetStockObject(DEFAULT_GUI_FONT));
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(::GetSysColor(COLOR_BTNTEXT));
    CRect text = caption;
    text.left += 4;
    CRect close = GetCloseButtonRect();
    text.right = close.left - 2;
    dc.DrawText(GetCaption(), &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS | DT_NOPREFIX);
    dc.SelectObject(oldFont);
    // The close button: a cross.
    CPen pen(PS_SOLID, 1, ::GetSysColor(COLOR_BTNTEXT));
    HGDIOBJ oldPen = dc.SelectObject(&pen);
    CRect cross = close;
    cross.DeflateRect(3, 3);
    for (int offset = 0; offset < 2; ++offset) {
        dc.MoveTo(cross.left + offset, cross.top);
        dc.LineTo(cross.right + offset, cross.bottom);
        dc.MoveTo(cross.right - 1 + offset, cross.top);
        dc.LineTo(cross.left - 1 + offset, cross.bottom);
    }
    dc.SelectObject(oldPen);
    ::ReleaseDC(m_hWnd, dc.Detach());
}

BOOL CDockablePane::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    switch (message) {
    case WM_NCCALCSIZE: {
        auto* rect = (RECT*)lParam;
        rect->top += CaptionHeight();
        if (rect->bottom < rect->top)
            rect->bottom = rect->top;
        *result = 0;
        return TRUE;
    }
    case WM_NCPAINT:
        DrawCaption();
        *result = 0;
        return TRUE;
    case WM_NCACTIVATE:
        *result = TRUE;
        return TRUE;
    case WM_NCHITTEST: {
        CPoint point = CPoint::FromLParam(lParam);
        CRect window;
        GetWindowRect(&window);
        point.x -= window.left;
        point.y -= window.top;
        if (point.y < CaptionHeight())
            *result = GetCloseButtonRect().PtInRect(point) ? HTCLOSE : HTCAPTION;
        else
            *result = HTCLIENT;
        return TRUE;
    }
    case WM_NCLBUTTONDOWN:
        if (wParam == HTCLOSE)
            ShowPane(FALSE, FALSE, FALSE);
        else if (wParam == HTCAPTION)
            SetFocus();
        *result = 0;
        return TRUE;
    case WM_NCLBUTTONDBLCLK:
    case WM_NCRBUTTONDOWN:
        *result = 0;
        return TRUE;
    case WM_SETTEXT:
        *result = Default();
        DrawCaption();
        return TRUE;
    case WM_SETFOCUS:
        OnSetFocus((HWND)wParam);
        *result = 0;
        return TRUE;
    default:
        return CWnd::OnWndMsg(message, wParam, lParam, result);
    }
}
