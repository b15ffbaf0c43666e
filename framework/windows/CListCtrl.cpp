#include "framework/windows/CListCtrl.h"

BOOL CListCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateEx(0, WC_LISTVIEWW, L"", style | WS_CHILD, rect, parent, id);
}

CString CListCtrl::GetItemText(int item, int subItem) const
{
    // The control copies at most the buffer's size; grow until the text fits.
    CString text;
    for (int size = 256;; size *= 4) {
        LVITEMW info = {};
        info.iSubItem = subItem;
        info.pszText = text.GetBuffer(size);
        info.cchTextMax = size;
        int length = (int)::SendMessageW(m_hWnd, LVM_GETITEMTEXTW, (WPARAM)item, (LPARAM)&info);
        text.ReleaseBuffer(length);
        if (length < size - 1 || size >= 65536)
            return text;
    }
}

BOOL CListCtrl::SetItemText(int item, int subItem, const WCHAR* text)
{
    LVITEMW info = {};
    info.iSubItem = subItem;
    info.pszText = const_cast<WCHAR*>(text);
    return (BOOL)SendMessage(LVM_SETITEMTEXTW, (WPARAM)item, (LPARAM)&info);
}

DWORD_PTR CListCtrl::GetItemData(int item) const
{
    LVITEMW info = {};
    info.mask = LVIF_PARAM;
    info.iItem = item;
    if (!::SendMessageW(m_hWnd, LVM_GETITEMW, 0, (LPARAM)&info))
        return 0;
    return (DWORD_PTR)info.lParam;
}

BOOL CListCtrl::SetItemState(int item, UINT state, UINT mask)
{
    LVITEMW info = {};
    info.state = state;
    info.stateMask = mask;
    return (BOOL)SendMessage(LVM_SETITEMSTATE, (WPARAM)item, (LPARAM)&info);
}

int CListCtrl::HitTest(POINT point, UINT* flags) const
{
    LVHITTESTINFO info = {};
    info.pt = point;
    int item = (int)::SendMessageW(m_hWnd, LVM_HITTEST, 0, (LPARAM)&info);
    if (flags)
        *flags = info.flags;
    return item;
}

BOOL CListCtrl::GetItemRect(int item, RECT* rect, UINT code) const
{
    rect->left = (LONG)code;
    return (BOOL)::SendMessageW(m_hWnd, LVM_GETITEMRECT, (WPARAM)item, (LPARAM)rect);
}

int CListCtrl::InsertColumn(int index, const WCHAR* heading, int format, int width)
{
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH | LVCF_SUBITEM;
    column.fmt = format;
    column.cx = width;
    column.pszText = const_cast<WCHAR*>(heading);
    column.iSubItem = index;
    return (int)SendMessage(LVM_INSERTCOLUMNW, (WPARAM)index, (LPARAM)&column);
}

int CListCtrl::GetColumnCount() const
{
    HWND header = GetHeaderCtrl();
    return header ? (int)::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0) : 0;
}

void CListCtrl::SetViewStyle(DWORD style)
{
    ModifyStyle(LVS_TYPEMASK, style & LVS_TYPEMASK);
    Invalidate();
}
