#include "framework/windows/CComboBox.h"

#include <commctrl.h>

BOOL CComboBox::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateEx(0, L"COMBOBOX", L"", style | WS_CHILD, rect, parent, id);
}

CString CComboBox::GetLBText(int index) const
{
    CString text;
    int length = (int)::SendMessageW(m_hWnd, CB_GETLBTEXTLEN, (WPARAM)index, 0);
    if (length < 0)
        return text;
    WCHAR* buffer = text.GetBuffer(length + 1);
    int got = (int)::SendMessageW(m_hWnd, CB_GETLBTEXT, (WPARAM)index, (LPARAM)buffer);
    text.ReleaseBuffer(got < 0 ? 0 : got);
    return text;
}

HWND CComboBox::GetEditHwnd() const
{
    COMBOBOXINFO info = {};
    info.cbSize = sizeof info;
    return ::GetComboBoxInfo(m_hWnd, &info) ? info.hwndItem : nullptr;
}

BOOL CComboBoxEx::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateEx(0, WC_COMBOBOXEXW, L"", style | WS_CHILD, rect, parent, id);
}

int CComboBoxEx::InsertItem(int index, const WCHAR* text)
{
    COMBOBOXEXITEMW item = {};
    item.mask = CBEIF_TEXT;
    item.iItem = index;
    item.pszText = const_cast<WCHAR*>(text);
    return (int)SendMessage(CBEM_INSERTITEMW, 0, (LPARAM)&item);
}

CString CComboBoxEx::GetItemText(int index) const
{
    WCHAR buffer[1024] = {};
    COMBOBOXEXITEMW item = {};
    item.mask = CBEIF_TEXT;
    item.iItem = index;
    item.pszText = buffer;
    item.cchTextMax = 1024;
    if (!::SendMessageW(m_hWnd, CBEM_GETITEMW, 0, (LPARAM)&item))
        return CString();
    return CString(item.pszText);
}

CString CComboBoxEx::GetEditText() const
{
    CString text;
    if (HWND edit = GetEditHwnd())
        GetWindowTextOf(edit, text);
    return text;
}

void CComboBoxEx::SetEditText(const WCHAR* text)
{
    if (HWND edit = GetEditHwnd())
        ::SetWindowTextW(edit, text);
}
