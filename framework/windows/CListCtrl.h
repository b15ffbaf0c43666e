// CListCtrl: the system's list-view control (icons, list and report views
// with columns).
#pragma once

#include "framework/windows/CWnd.h"

#include <commctrl.h>

class CListCtrl : public CWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);

    // Items
    int GetItemCount() const { return (int)::SendMessageW(m_hWnd, LVM_GETITEMCOUNT, 0, 0); }
    int InsertItem(const LVITEMW& item) { return (int)SendMessage(LVM_INSERTITEMW, 0, (LPARAM)&item); }
    BOOL DeleteItem(int item) { return (BOOL)SendMessage(LVM_DELETEITEM, (WPARAM)item); }
    BOOL DeleteAllItems() { return (BOOL)SendMessage(LVM_DELETEALLITEMS); }
    CString GetItemText(int item, int subItem) const;
    BOOL SetItemText(int item, int subItem, const WCHAR* text);
    DWORD_PTR GetItemData(int item) const;
    UINT GetItemState(int item, UINT mask) const
    {
        return (UINT)::SendMessageW(m_hWnd, LVM_GETITEMSTATE, (WPARAM)item, mask);
    }
    // Item -1 changes every item.
    BOOL SetItemState(int item, UINT state, UINT mask);
    // The next item after `start` (-1: from the first) with the LVNI_* flags, or -1.
    int GetNextItem(int start, UINT flags) const
    {
        return (int)::SendMessageW(m_hWnd, LVM_GETNEXTITEM, (WPARAM)start, MAKELPARAM(flags, 0));
    }
    int GetSelectedCount() const { return (int)::SendMessageW(m_hWnd, LVM_GETSELECTEDCOUNT, 0, 0); }
    // The item at a client point, or -1; `flags` receives the LVHT_* part hit.
    int HitTest(POINT point, UINT* flags = nullptr) const;
    // `code` is LVIR_BOUNDS, LVIR_ICON, LVIR_LABEL or LVIR_SELECTBOUNDS.
    BOOL GetItemRect(int item, RECT* rect, UINT code) const;
    BOOL EnsureVisible(int item, BOOL partialOK) { return (BOOL)SendMessage(LVM_ENSUREVISIBLE, (WPARAM)item, partialOK); }
    BOOL SortItems(PFNLVCOMPARE compare, LPARAM data) { return (BOOL)SendMessage(LVM_SORTITEMS, (WPARAM)data, (LPARAM)compare); }

    // Columns
    int InsertColumn(int index, const WCHAR* heading, int format, int width);
    BOOL DeleteColumn(int index) { return (BOOL)SendMessage(LVM_DELETECOLUMN, (WPARAM)index); }
    HWND GetHeaderCtrl() const { return (HWND)::SendMessageW(m_hWnd, LVM_GETHEADER, 0, 0); }
    int GetColumnCount() const;

    // Appearance
    DWORD GetExtendedStyle() const { return (DWORD)::SendMessageW(m_hWnd, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0); }
    DWORD SetExtendedStyle(DWORD style) { return (DWORD)SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style); }
    HIMAGELIST SetImageList(HIMAGELIST list, int type)
    {
        return (HIMAGELIST)SendMessage(LVM_SETIMAGELIST, (WPARAM)type, (LPARAM)list);
    }
    // LVS_ICON, LVS_SMALLICON, LVS_LIST or LVS_REPORT.
    DWORD GetViewStyle() const { return GetStyle() & LVS_TYPEMASK; }
    void SetViewStyle(DWORD style);
    void SetRedraw(BOOL redraw) { SendMessage(WM_SETREDRAW, redraw); }
};
