// CTreeCtrl: the system's tree-view control.
#pragma once

#include "framework/windows/CWnd.h"

#include <commctrl.h>

class CTreeCtrl : public CWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);

    HTREEITEM InsertItem(const TVINSERTSTRUCTW& insert)
    {
        return (HTREEITEM)SendMessage(TVM_INSERTITEMW, 0, (LPARAM)&insert);
    }
    BOOL DeleteItem(HTREEITEM item) { return (BOOL)SendMessage(TVM_DELETEITEM, 0, (LPARAM)item); }
    HTREEITEM GetNextItem(HTREEITEM item, UINT code) const
    {
        return (HTREEITEM)::SendMessageW(m_hWnd, TVM_GETNEXTITEM, code, (LPARAM)item);
    }
    HTREEITEM GetRootItem() const { return GetNextItem(nullptr, TVGN_ROOT); }
    HTREEITEM GetChildItem(HTREEITEM item) const { return GetNextItem(item, TVGN_CHILD); }
    HTREEITEM GetNextSiblingItem(HTREEITEM item) const { return GetNextItem(item, TVGN_NEXT); }
    HTREEITEM GetParentItem(HTREEITEM item) const { return GetNextItem(item, TVGN_PARENT); }
    HTREEITEM GetSelectedItem() const { return GetNextItem(nullptr, TVGN_CARET); }
    BOOL SelectItem(HTREEITEM item) { return (BOOL)SendMessage(TVM_SELECTITEM, TVGN_CARET, (LPARAM)item); }
    BOOL Expand(HTREEITEM item, UINT code) { return (BOOL)SendMessage(TVM_EXPAND, code, (LPARAM)item); }
    BOOL EnsureVisible(HTREEITEM item) { return (BOOL)SendMessage(TVM_ENSUREVISIBLE, 0, (LPARAM)item); }
    CString GetItemText(HTREEITEM item) const;
    BOOL SetItemText(HTREEITEM item, const WCHAR* text);
    DWORD_PTR GetItemData(HTREEITEM item) const;
    UINT GetItemState(HTREEITEM item, UINT mask) const
    {
        return (UINT)::SendMessageW(m_hWnd, TVM_GETITEMSTATE, (WPARAM)item, mask);
    }
    // The item's "has children" mark (the expand button).
    BOOL SetItemChildren(HTREEITEM item, int children);
    int GetCount() const { return (int)::SendMessageW(m_hWnd, TVM_GETCOUNT, 0, 0); }
    void SetImageList(HIMAGELIST list, int type) { SendMessage(TVM_SETIMAGELIST, (WPARAM)type, (LPARAM)list); }
    void SetRedraw(BOOL redraw) { SendMessage(WM_SETREDRAW, redraw); }
    // Removes every child of `item`.
    void DeleteChildren(HTREEITEM item);
};
