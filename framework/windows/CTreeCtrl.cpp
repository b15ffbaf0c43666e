#include "framework/windows/CTreeCtrl.h"

BOOL CTreeCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateEx(0, WC_TREEVIEWW, L"", style | WS_CHILD, rect, parent, id);
}

CString CTreeCtrl::GetItemText(HTREEITEM item) const
{
    WCHAR buffer[1024] = {};
    TVITEMW info = {};
    info.mask = TVIF_TEXT;
    info.hItem = item;
    info.pszText = buffer;
    info.cchTextMax = 1024;
    ::SendMessageW(m_hWnd, TVM_GETITEMW, 0, (LPARAM)&info);
    return CString(info.pszText ? info.pszText : L"");
}

BOOL CTreeCtrl::SetItemText(HTREEITEM item, const WCHAR* text)
{
    TVITEMW info = {};
    info.mask = TVIF_TEXT;
    info.hItem = item;
    info.pszText = const_cast<WCHAR*>(text);
    return (BOOL)SendMessage(TVM_SETITEMW, 0, (LPARAM)&info);
}

DWORD_PTR CTreeCtrl::GetItemData(HTREEITEM item) const
{
    TVITEMW info = {};
    info.mask = TVIF_PARAM;
    info.hItem = item;
    if (!::SendMessageW(m_hWnd, TVM_GETITEMW, 0, (LPARAM)&info))
        return 0;
    return (DWORD_PTR)info.lParam;
}

BOOL CTreeCtrl::SetItemChildren(HTREEITEM item, int children)
{
    TVITEMW info = {};
    info.mask = TVIF_CHILDREN;
    info.hItem = item;
    info.cChildren = children;
    return (BOOL)SendMessage(TVM_SETITEMW, 0, (LPARAM)&info);
}

void CTreeCtrl::DeleteChildren(HTREEITEM item)
{
    HTREEITEM child = GetChildItem(item);
    while (child) {
        HTREEITEM next = GetNextSiblingItem(child);
        DeleteItem(child);
        child = next;
    }
}
