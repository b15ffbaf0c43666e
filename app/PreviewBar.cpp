#include "app/PreviewBar.h"

void CPreviewBar::ClearPreview() { m_wndPreview.ClearImage(); }

void CPreviewBar::ShowPath(const CString& path) { m_wndPreview.ShowFile(path); }

void CPreviewBar::ShowImageFile(const CString& path, const CString& shownName)
{
    m_wndPreview.ShowFileAs(path, shownName);
}

void CPreviewBar::StopPreview() { m_wndPreview.StopThreads(); }

int CPreviewBar::OnCreate(CREATESTRUCTW* cs)
{
    if (CDockablePane::OnCreate(cs) == -1)
        return -1;
    if (m_wndPreview.Create(this, kPreviewId)) {
        m_wndPreview.m_gifWindow.Create(&m_wndPreview, kGifId);
        m_wndPreview.m_gifWindow.ShowWindow(SW_HIDE);
    }
    return 0;
}

void CPreviewBar::OnSize(UINT type, int cx, int cy)
{
    CDockablePane::OnSize(type, cx, cy);
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (m_wndPreview.IsWindow())
        ::SetWindowPos(m_wndPreview, nullptr, 0, 0, cx, cy, flags);
    if (m_wndPreview.m_gifWindow.IsWindow())
        ::SetWindowPos(m_wndPreview.m_gifWindow, nullptr, 0, 0, cx, cy, flags);
}

BOOL CPreviewBar::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_ERASEBKGND) {
        *result = 1;
        return TRUE;
    }
    return CDockablePane::OnWndMsg(message, wParam, lParam, result);
}
