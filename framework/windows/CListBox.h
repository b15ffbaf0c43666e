// CListBox: a list box. A list box made owner-drawn gets its WM_DRAWITEM,
// WM_MEASUREITEM and WM_COMPAREITEM back from its parent (DrawItem,
// MeasureItem, CompareItem).
#pragma once

#include "framework/windows/CWnd.h"

class CListBox : public CWnd {
public:
    int GetCount() const { return (int)::SendMessageW(m_hWnd, LB_GETCOUNT, 0, 0); }
    int AddString(const WCHAR* text) { return (int)SendMessage(LB_ADDSTRING, 0, (LPARAM)text); }
    int DeleteString(int index) { return (int)SendMessage(LB_DELETESTRING, (WPARAM)index); }
    CString GetText(int index) const;
    virtual void ResetContent() { SendMessage(LB_RESETCONTENT); }
    int SetTopIndex(int index) { return (int)SendMessage(LB_SETTOPINDEX, (WPARAM)index); }
    int GetCurSel() const { return (int)::SendMessageW(m_hWnd, LB_GETCURSEL, 0, 0); }
    int SetCurSel(int index) { return (int)SendMessage(LB_SETCURSEL, (WPARAM)index); }
    void SetHorizontalExtent(int extent) { SendMessage(LB_SETHORIZONTALEXTENT, (WPARAM)extent); }
    void SetRedraw(BOOL redraw) { SendMessage(WM_SETREDRAW, redraw); }

    virtual void DrawItem(DRAWITEMSTRUCT* item);
    virtual void MeasureItem(MEASUREITEMSTRUCT* item);
    virtual int CompareItem(COMPAREITEMSTRUCT* item);

    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};
