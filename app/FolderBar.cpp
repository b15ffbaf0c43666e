#include "app/FolderBar.h"

int CFolderBar::OnCreate(CREATESTRUCTW* cs)
{
    if (CDockablePane::OnCreate(cs) == -1)
        return -1;
    DWORD style = WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS;
    if (!m_wndTree.Create(style, CRect(0, 0, 0, 0), this, 1))
        return -1;
    return 0;
}

void CFolderBar::OnSize(UINT type, int cx, int cy)
{
    CDockablePane::OnSize(type, cx, cy);
    if (m_wndTree.IsWindow())
        ::SetWindowPos(m_wndTree.m_hWnd, nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
}

void CFolderBar::OnSetFocus(HWND) { m_wndTree.SetFocus(); }

BOOL CFolderBar::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_ERASEBKGND) {
        *result = 1;
        return TRUE;
    }
    return CDockablePane::OnWndMsg(message, wParam, lParam, result);
}
