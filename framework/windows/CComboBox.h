// CComboBox: a combo box; CComboBoxEx: the extended combo box with an edit
// field of its own (the address box).
#pragma once

#include "framework/windows/CWnd.h"

#include <commctrl.h>

class CComboBox : public CWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    int GetCount() const { return (int)::SendMessageW(m_hWnd, CB_GETCOUNT, 0, 0); }
    int GetCurSel() const { return (int)::SendMessageW(m_hWnd, CB_GETCURSEL, 0, 0); }
    int SetCurSel(int index) { return (int)SendMessage(CB_SETCURSEL, (WPARAM)index); }
    int AddString(const WCHAR* text) { return (int)SendMessage(CB_ADDSTRING, 0, (LPARAM)text); }
    int InsertString(int index, const WCHAR* text) { return (int)SendMessage(CB_INSERTSTRING, (WPARAM)index, (LPARAM)text); }
    int DeleteString(int index) { return (int)SendMessage(CB_DELETESTRING, (WPARAM)index); }
    CString GetLBText(int index) const;
    // The edit field of a drop-down combo box, or null.
    HWND GetEditHwnd() const;
};

class CComboBoxEx : public CWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    int GetCount() const { return (int)::SendMessageW(m_hWnd, CB_GETCOUNT, 0, 0); }
    int GetCurSel() const { return (int)::SendMessageW(m_hWnd, CB_GETCURSEL, 0, 0); }
    // Inserts `text` at `index` (-1: at the end); the item's index.
    int InsertItem(int index, const WCHAR* text);
    CString GetItemText(int index) const;
    HWND GetEditHwnd() const { return (HWND)::SendMessageW(m_hWnd, CBEM_GETEDITCONTROL, 0, 0); }
    HWND GetComboHwnd() const { return (HWND)::SendMessageW(m_hWnd, CBEM_GETCOMBOCONTROL, 0, 0); }
    CString GetEditText() const;
    void SetEditText(const WCHAR* text);
};
