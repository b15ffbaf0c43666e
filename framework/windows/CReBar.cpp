#include "framework/windows/CReBar.h"

#include "framework/windows/CToolBar.h"
#include "framework/windows/StandardIds.h"

BOOL CReBar::Create(CWnd* parent, DWORD style, UINT id)
{
    DWORD all = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | CCS_NODIVIDER | CCS_NORESIZE |
                CCS_NOPARENTALIGN | RBS_VARHEIGHT | style;
    if (!CreateEx(0, REBARCLASSNAMEW, L"", all, CRect(0, 0, 0, 0), parent, id))
        return FALSE;
    REBARINFO info = {};
    info.cbSize = sizeof info;
    SendMessage(RB_SETBARINFO, 0, (LPARAM)&info);
    return TRUE;
}

CSize CReBar::ChildSize(CWnd* child) const
{
    if (auto* bar = dynamic_cast<CToolBar*>(child))
        return bar->CalcSize();
    CRect rect;
    child->GetWindowRect(&rect);
    return rect.Size();
}

BOOL CReBar::AddBar(CWnd* child, const WCHAR* text, DWORD bandStyle, bool newRow)
{
    CSize size = ChildSize(child);
    REBARBANDINFOW band = {};
    band.cbSize = sizeof band;
    band.fMask = RBBIM_STYLE | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_IDEALSIZE | RBBIM_ID;
    band.fStyle = bandStyle | (newRow ? RBBS_BREAK : 0);
    band.hwndChild = child->m_hWnd;
    band.cxMinChild = size.cx;
    band.cyMinChild = size.cy;
    band.cx = size.cx;
    band.cxIdeal = size.cx;
    band.wID = (UINT)child->GetDlgCtrlID();
    if (text && *text) {
        band.fMask |= RBBIM_TEXT;
        band.lpText = const_cast<WCHAR*>(text);
    }
    return SendMessage(RB_INSERTBANDW, (WPARAM)-1, (LPARAM)&band) != 0;
}

int CReBar::FindBand(CWnd* child) const
{
    int count = GetBandCount();
    for (int i = 0; i < count; ++i) {
        REBARBANDINFOW band = {};
        band.cbSize = sizeof band;
        band.fMask = RBBIM_CHILD;
        if (::SendMessageW(m_hWnd, RB_GETBANDINFOW, i, (LPARAM)&band) && band.hwndChild == child->m_hWnd)
            return i;
    }
    return -1;
}

void CReBar::ShowBand(CWnd* child, BOOL show)
{
    int index = FindBand(child);
    if (index >= 0)
        SendMessage(RB_SHOWBAND, (WPARAM)index, show);
}

BOOL CReBar::IsBandVisible(CWnd* child) const
{
    int index = FindBand(child);
    if (index < 0)
        return FALSE;
    REBARBANDINFOW band = {};
    band.cbSize = sizeof band;
    band.fMask = RBBIM_STYLE;
    ::SendMessageW(m_hWnd, RB_GETBANDINFOW, index, (LPARAM)&band);
    return !(band.fStyle & RBBS_HIDDEN);
}

CString CReBar::GetBandText(int index) const
{
    WCHAR buffer[256] = {};
    REBARBANDINFOW band = {};
    band.cbSize = sizeof band;
    band.fMask = RBBIM_TEXT;
    band.lpText = buffer;
    band.cch = 256;
    ::SendMessageW(m_hWnd, RB_GETBANDINFOW, index, (LPARAM)&band);
    return CString(buffer);
}

void CReBar::UpdateBandSize(CWnd* child)
{
    int index = FindBand(child);
    if (index < 0)
        return;
    CSize size = ChildSize(child);
    REBARBANDINFOW band = {};
    band.cbSize = sizeof band;
    band.fMask = RBBIM_CHILDSIZE | RBBIM_IDEALSIZE | RBBIM_SIZE;
    band.cxMinChild = size.cx;
    band.cyMinChild = size.cy;
    band.cxIdeal = size.cx;
    band.cx = size.cx;
    SendMessage(RB_SETBANDINFOW, (WPARAM)index, (LPARAM)&band);
}

int CReBar::Layout(int x, int y, int width)
{
    CRect rect;
    GetWindowRect(&rect);
    ::SetWindowPos(m_hWnd, nullptr, x, y, width, rect.Height() > 0 ? rect.Height() : 1,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    int height = (int)SendMessage(RB_GETBARHEIGHT);
    ::SetWindowPos(m_hWnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    return height;
}

BOOL CReBar::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    // The bands' children talk to the frame, as if they were its own.
    if (message == WM_COMMAND || message == WM_NOTIFY) {
        HWND parent = ::GetParent(m_hWnd);
        *result = parent ? ::SendMessageW(parent, message, wParam, lParam) : 0;
        return TRUE;
    }
    return CWnd::OnWndMsg(message, wParam, lParam, result);
}

BOOL CReBar::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* result)
{
    if (message != WM_NOTIFY)
        return FALSE;
    NMHDR* header = (NMHDR*)lParam;
    if (header->code == RBN_HEIGHTCHANGE) {
        // The frame lays itself out again once the rebar has settled.
        ::SendMessageW(::GetParent(m_hWnd), WM_FRAME_RECALCLAYOUT, 0, 0);
        *result = 0;
        return TRUE;
    }
    if (header->code == NM_RCLICK) {
        POINT point;
        ::GetCursorPos(&point);
        ::SendMessageW(::GetParent(m_hWnd), ToolBarPopupMenuMessage(), 0, MAKELPARAM(point.x, point.y));
        *result = TRUE;
        return TRUE;
    }
    return FALSE;
}
