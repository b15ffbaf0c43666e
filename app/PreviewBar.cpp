#include "app/PreviewBar.h"

#include "framework/windows/CDC.h"

void CPreviewBar::ClearPreview()
{
    if (IsWindow())
        Invalidate();
}

void CPreviewBar::ShowPath(const CString&) {}

void CPreviewBar::ShowImageFile(const CString&, const CString&) {}

void CPreviewBar::StopPreview() {}

BOOL CPreviewBar::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_PAINT) {
        CPaintDC dc(m_hWnd);
        CRect client;
        GetClientRect(&client);
        dc.FillSolidRect(client, ::GetSysColor(COLOR_WINDOW));
        *result = 0;
        return TRUE;
    }
    return CDockablePane::OnWndMsg(message, wParam, lParam, result);
}
