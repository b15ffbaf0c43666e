#include "framework/windows/CListBox.h"

CString CListBox::GetText(int index) const
{
    CString text;
    int length = (int)::SendMessageW(m_hWnd, LB_GETTEXTLEN, (WPARAM)index, 0);
    if (length < 0)
        return text;
    WCHAR* buffer = text.GetBuffer(length + 1);
    int got = (int)::SendMessageW(m_hWnd, LB_GETTEXT, (WPARAM)index, (LPARAM)buffer);
    text.ReleaseBuffer(got < 0 ? 0 : got);
    return text;
}

void CListBox::DrawItem(DRAWITEMSTRUCT*) {}

void CListBox::MeasureItem(MEASUREITEMSTRUCT*) {}

int CListBox::CompareItem(COMPAREITEMSTRUCT*) { return 0; }

BOOL CListBox::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* result)
{
    switch (message) {
    case WM_DRAWITEM:
        DrawItem((DRAWITEMSTRUCT*)lParam);
        *result = TRUE;
        return TRUE;
    case WM_MEASUREITEM:
        MeasureItem((MEASUREITEMSTRUCT*)lParam);
        *result = TRUE;
        return TRUE;
    case WM_COMPAREITEM:
        *result = CompareItem((COMPAREITEMSTRUCT*)lParam);
        return TRUE;
    default:
        return FALSE;
    }
}
