#include "app/MyShellTreeCtrl.h"

#include <vector>

CString CMyMFCShellTreeCtrl::OnGetItemText(const ShellItemInfo* info)
{
    CString text = m_NameCache.GetName(info->pidlFQ, info->pParentFolder, info->pidlRel);
    if (m_bDecryptNames && IsEncryptedName(text)) {
        CString plain = m_NameCrypt.DecryptName(text);
        if (plain != text)
            return plain + L"*";
    }
    return text;
}

void CMyMFCShellTreeCtrl::OnCustomDraw(NMTVCUSTOMDRAW* draw, LRESULT* result)
{
    NMCUSTOMDRAW& common = draw->nmcd;
    if (common.dwDrawStage == CDDS_PREPAINT) {
        *result = CDRF_NOTIFYITEMDRAW;
        return;
    }
    *result = CDRF_DODEFAULT;
    if (common.dwDrawStage != CDDS_ITEMPREPAINT)
        return;
    auto item = (HTREEITEM)common.dwItemSpec;
    if (common.uItemState & CDIS_SELECTED) {
        draw->clrText = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
        draw->clrTextBk = ::GetSysColor(COLOR_HIGHLIGHT);
    }
    CString text = GetItemText(item);
    if (text.GetLength() >= 2 && text[text.GetLength() - 1] == L'*')
        draw->clrText = DECRYPTED_NAME_COLOR;
}

bool CMyMFCShellTreeCtrl::SelectPidl(LPCITEMIDLIST pidl, bool expand)
{
    HTREEITEM current = GetRootItem();
    SetRedraw(FALSE);
    if (pidl && pidl->mkid.cb) {
        // The lists from the Desktop's child down to the folder.
        std::vector<LPITEMIDLIST> chain;
        LPITEMIDLIST link = ::ILClone(pidl);
        while (link && link->mkid.cb) {
            chain.insert(chain.begin(), link);
            link = ::ILClone(link);
            if (link)
                ::ILRemoveLastID(link);
        }
        ::CoTaskMemFree(link);  // the empty list the walk ended on
        for (LPITEMIDLIST link : chain) {
            if (!current)
                break;
            bool listedBefore = GetChildItem(current) != nullptr;
            if (!listedBefore) {
                FillChildren(current);
                Expand(current, TVE_EXPAND);
            }
            CString wanted = m_NameCache.GetName(link);
            HTREEITEM found = FindChildNamed(current, wanted);
            // Made by another program since its parent was listed.
            if (!found && listedBefore && AddNewChildren(current))
                found = FindChildNamed(current, wanted);
            current = found;
        }
        for (LPITEMIDLIST link : chain)
            ::CoTaskMemFree(link);
    }
    bool selected = current != nullptr;
    if (current) {
        SelectItemQuietly(current);
        if (expand && !GetChildItem(current)) {
            FillChildren(current);
            Expand(current, TVE_EXPAND);
        }
        EnsureVisible(current);
    }
    SetRedraw(TRUE);
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    m_bDecryptNames = 1;
    return selected;
}

HTREEITEM CMyMFCShellTreeCtrl::FindChildNamed(HTREEITEM parent, const CString& name)
{
    for (HTREEITEM child = GetChildItem(parent); child; child = GetNextSiblingItem(child)) {
        ShellItemInfo* info = GetItemInfo(child);
        if (info && m_NameCache.GetName(info->pidlFQ).CompareNoCase(name) == 0)
            return child;
    }
    return nullptr;
}

void CMyMFCShellTreeCtrl::CacheDisplayName(LPCITEMIDLIST pidl, const CString& name) { m_NameCache.SetName(pidl, name); }

void CMyMFCShellTreeCtrl::RefreshSelected() { CollapseAndDiscard(GetSelectedItem()); }

int CMyMFCShellTreeCtrl::PumpOneMessage()
{
    MSG msg;
    if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))
        return 0;
    switch (msg.message) {
    case WM_QUIT:
    case WM_CLOSE:
    case WM_DESTROY:
    case WM_NCDESTROY:
    case WM_HSCROLL:
    case WM_VSCROLL:
        return 1;
    default:
        break;
    }
    if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
