#include "framework/windows/CShellTreeCtrl.h"

#include "framework/windows/CWaitCursor.h"

#include <shellapi.h>
#include <shlwapi.h>

CShellTreeCtrl::~CShellTreeCtrl()
{
    // The items' records are freed by TVN_DELETEITEM while the window goes.
    if (IsWindow())
        DestroyWindow();
}

BOOL CShellTreeCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    if (!CTreeCtrl::Create(style, rect, parent, id))
        return FALSE;
    SHFILEINFOW file = {};
    auto images = (HIMAGELIST)::SHGetFileInfoW(L"C:\\", 0, &file, sizeof file, SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    if (images)
        SetImageList(images, TVSIL_NORMAL);
    Refresh();
    return TRUE;
}

void CShellTreeCtrl::Refresh()
{
    SendMessage(TVM_DELETEITEM, 0, (LPARAM)TVI_ROOT);
    auto* info = new ShellItemInfo;
    // The Desktop's list is the empty one: just the terminator.
    info->pidlFQ = (LPITEMIDLIST)::CoTaskMemAlloc(sizeof(ITEMIDLIST));
    info->pidlRel = (LPITEMIDLIST)::CoTaskMemAlloc(sizeof(ITEMIDLIST));
    if (!info->pidlFQ || !info->pidlRel) {
        FreeShellItemInfo(info);
        return;
    }
    ZeroMemory(info->pidlFQ, sizeof(ITEMIDLIST));
    ZeroMemory(info->pidlRel, sizeof(ITEMIDLIST));
    CString text = OnGetItemText(info);
    HTREEITEM root = InsertShellItem(TVI_ROOT, info, text, SFGAO_HASSUBFOLDER);
    if (root)
        Expand(root, TVE_EXPAND);
}

BOOL CShellTreeCtrl::GetItemPath(CString& path, HTREEITEM item) const
{
    ShellItemInfo* info = item ? GetItemInfo(item) : nullptr;
    CString found = info ? PathOfPidl(info->pidlFQ) : CString();
    if (found.IsEmpty())
        return FALSE;
    path = found;
    return TRUE;
}

void CShellTreeCtrl::CollapseAndDiscard(HTREEITEM item)
{
    if (!item)
        return;
    Expand(item, TVE_COLLAPSE);
    DeleteChildren(item);
    SetItemChildren(item, 1);
    TVITEMW state = {};
    state.mask = TVIF_STATE;
    state.hItem = item;
    state.stateMask = TVIS_EXPANDEDONCE;
    SendMessage(TVM_SETITEMW, 0, (LPARAM)&state);
}

void CShellTreeCtrl::SelectItemQuietly(HTREEITEM item)
{
    bool previous = m_bQuietSelection;
    m_bQuietSelection = true;
    SelectItem(item);
    m_bQuietSelection = previous;
}

bool CShellTreeCtrl::SelectPidl(LPCITEMIDLIST pidl, bool expand)
{
    HTREEITEM current = GetRootItem();
    // Walk down one identifier at a time: the item of each level has the
    // list made of the identifiers up to that level.
    for (LPCITEMIDLIST link = pidl; current && link && link->mkid.cb;) {
        link = (LPCITEMIDLIST)((const BYTE*)link + link->mkid.cb);
        if (!GetChildItem(current)) {
            FillChildren(current);
            Expand(current, TVE_EXPAND);
        }
        size_t length = (size_t)((const BYTE*)link - (const BYTE*)pidl);
        auto prefix = (LPITEMIDLIST)::CoTaskMemAlloc(length + sizeof(USHORT));
        if (!prefix)
            return false;
        memcpy(prefix, pidl, length);
        *(USHORT*)((BYTE*)prefix + length) = 0;
        HTREEITEM found = nullptr;
        for (HTREEITEM child = GetChildItem(current); child && !found; child = GetNextSiblingItem(child)) {
            ShellItemInfo* info = GetItemInfo(child);
            if (info && ::ILIsEqual(info->pidlFQ, prefix))
                found = child;
        }
        ::CoTaskMemFree(prefix);
        current = found;
    }
    if (!current)
        return false;
    SelectItemQuietly(current);
    if (expand && !GetChildItem(current)) {
        FillChildren(current);
        Expand(current, TVE_EXPAND);
    }
    EnsureVisible(current);
    return true;
}

CString CShellTreeCtrl::OnGetItemText(const ShellItemInfo* info)
{
    STRRET answer = {};
    WCHAR buffer[MAX_PATH] = {};
    if (info->pParentFolder && SUCCEEDED(info->pParentFolder->GetDisplayNameOf(info->pidlRel, SHGDN_NORMAL, &answer)) &&
        SUCCEEDED(::StrRetToBufW(&answer, info->pidlRel, buffer, MAX_PATH)))
        return CString(buffer);
    SHFILEINFOW file = {};
    if (::SHGetFileInfoW((LPCWSTR)info->pidlFQ, 0, &file, sizeof file, SHGFI_PIDL | SHGFI_DISPLAYNAME))
        return CString(file.szDisplayName);
    return CString(L"???");
}

int CShellTreeCtrl::PlainFolderIcon(bool open)
{
    static int icons[2] = {-2, -2};
    int& icon = icons[open ? 1 : 0];
    if (icon == -2) {
        SHFILEINFOW file = {};
        UINT flags = SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | (open ? SHGFI_OPENICON : 0);
        icon = ::SHGetFileInfoW(L"C:\\Folder", FILE_ATTRIBUTE_DIRECTORY, &file, sizeof file, flags) ? file.iIcon : -1;
    }
    return icon;
}

bool CShellTreeCtrl::IsPlainFileSystemFolder(const ShellItemInfo* info, ULONG attributes)
{
    const ULONG wanted = SFGAO_FILESYSTEM | SFGAO_FOLDER;
    if (!info->pParentFolder || (attributes & wanted) != wanted || PlainFolderIcon(false) < 0)
        return false;
    // Read-only and system folders may carry icons of their own; drives
    // and other items without find data are asked too.
    WIN32_FIND_DATAW data = {};
    if (FAILED(::SHGetDataFromIDListW(info->pParentFolder, info->pidlRel, SHGDFIL_FINDDATA, &data, sizeof data)))
        return false;
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(data.dwFileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_REPARSE_POINT));
}

HTREEITEM CShellTreeCtrl::InsertShellItem(HTREEITEM parent, ShellItemInfo* info, const CString& text, ULONG attributes)
{
    TVINSERTSTRUCTW insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    TVITEMW& item = insert.item;
    item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN;
    item.pszText = const_cast<WCHAR*>(text.GetString());
    item.iImage = I_IMAGECALLBACK;
    item.iSelectedImage = I_IMAGECALLBACK;
    // A plain folder of the file system shows the common folder icons, known
    // without asking the shell for each item (which is slow); others are
    // asked when they are first drawn.
    if (IsPlainFileSystemFolder(info, attributes)) {
        item.iImage = PlainFolderIcon(false);
        item.iSelectedImage = PlainFolderIcon(true);
    }
    item.lParam = (LPARAM)info;
    item.cChildren = (attributes & (SFGAO_HASSUBFOLDER | SFGAO_FILESYSANCESTOR)) ? 1 : 0;
    if (attributes & SFGAO_SHARE) {
        item.mask |= TVIF_STATE;
        item.state = INDEXTOOVERLAYMASK(1);
        item.stateMask = TVIS_OVERLAYMASK;
    }
    HTREEITEM inserted = InsertItem(insert);
    if (!inserted)
        FreeShellItemInfo(info);
    return inserted;
}

bool CShellTreeCtrl::HasChildFor(HTREEITEM parent, LPCITEMIDLIST fullPidl) const
{
    for (HTREEITEM child = GetChildItem(parent); child; child = GetNextSiblingItem(child)) {
        ShellItemInfo* info = GetItemInfo(child);
        if (info && ::ILIsEqual(info->pidlFQ, fullPidl))
            return true;
    }
    return false;
}

HRESULT CShellTreeCtrl::EnumObjects(HTREEITEM parent, IShellFolder* parentFolder, LPCITEMIDLIST parentPidl,
                                    bool onlyNew)
{
    IEnumIDList* items = nullptr;
    HRESULT result = parentFolder->EnumObjects(m_hWnd, m_dwEnumFlags, &items);
    if (FAILED(result) || !items)
        return result;
    LPITEMIDLIST relative = nullptr;
    ULONG fetched = 0;
    while (items->Next(1, &relative, &fetched) == S_OK && fetched == 1) {
        ShellItemInfo* info = CreateShellItemInfo(parentFolder, parentPidl, relative);
        if (onlyNew && info && HasChildFor(parent, info->pidlFQ)) {
            FreeShellItemInfo(info);
            ::CoTaskMemFree(relative);
            relative = nullptr;
            continue;
        }
        CString text = OnGetItemText(info);
        ULONG attributes = SFGAO_HASSUBFOLDER | SFGAO_FILESYSANCESTOR | SFGAO_SHARE | SFGAO_FILESYSTEM | SFGAO_FOLDER;
        parentFolder->GetAttributesOf(1, (LPCITEMIDLIST*)&relative, &attributes);
        InsertShellItem(parent, info, text, attributes);
        ::CoTaskMemFree(relative);
        relative = nullptr;
    }
    items->Release();
    return S_OK;
}

IShellFolder* CShellTreeCtrl::BindItemFolder(HTREEITEM item) const
{
    ShellItemInfo* info = GetItemInfo(item);
    if (!info)
        return nullptr;
    IShellFolder* folder = nullptr;
    if (!info->pParentFolder) {
        if (FAILED(::SHGetDesktopFolder(&folder)))
            return nullptr;
    } else if (FAILED(info->pParentFolder->BindToObject(info->pidlRel, nullptr, IID_IShellFolder, (void**)&folder))) {
        return nullptr;
    }
    return folder;
}

BOOL CShellTreeCtrl::FillChildren(HTREEITEM item)
{
    CWaitCursor wait;
    if (!GetItemInfo(item))
        return FALSE;
    SetRedraw(FALSE);
    IShellFolder* folder = BindItemFolder(item);
    if (!folder) {
        SetRedraw(TRUE);
        return FALSE;
    }
    EnumObjects(item, folder, GetItemInfo(item)->pidlFQ);
    SortChildren(item, folder);
    SetRedraw(TRUE);
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    folder->Release();
    return TRUE;
}

BOOL CShellTreeCtrl::AddNewChildren(HTREEITEM item)
{
    if (!GetItemInfo(item))
        return FALSE;
    IShellFolder* folder = BindItemFolder(item);
    if (!folder)
        return FALSE;
    CWaitCursor wait;
    EnumObjects(item, folder, GetItemInfo(item)->pidlFQ, true);
    SortChildren(item, folder);
    folder->Release();
    return TRUE;
}

int CALLBACK CShellTreeCtrl::CompareItems(LPARAM first, LPARAM second, LPARAM folder)
{
    auto* a = (ShellItemInfo*)first;
    auto* b = (ShellItemInfo*)second;
    HRESULT result = ((IShellFolder*)folder)->CompareIDs(0, a->pidlRel, b->pidlRel);
    return (short)HRESULT_CODE(result);
}

void CShellTreeCtrl::SortChildren(HTREEITEM parent, IShellFolder* folder)
{
    TVSORTCB sort = {};
    sort.hParent = parent;
    sort.lpfnCompare = CompareItems;
    sort.lParam = (LPARAM)folder;
    SendMessage(TVM_SORTCHILDRENCB, 0, (LPARAM)&sort);
}

BOOL CShellTreeCtrl::OnItemExpanding(NMTREEVIEWW* info)
{
    HTREEITEM item = info->itemNew.hItem;
    if (info->action & TVE_EXPAND) {
        if (!GetChildItem(item)) {
            FillChildren(item);
            if (!GetChildItem(item))
                SetItemChildren(item, 0);
        }
        return FALSE;
    }
    if (info->action & TVE_COLLAPSE) {
        for (HTREEITEM selected = GetSelectedItem(); selected; selected = GetParentItem(selected)) {
            if (selected == item) {
                if (GetSelectedItem() != item)
                    SelectItem(item);
                break;
            }
        }
        DeleteChildren(item);
        SetItemChildren(item, 1);
    }
    return FALSE;
}

void CShellTreeCtrl::OnCustomDraw(NMTVCUSTOMDRAW*, LRESULT* result) { *result = CDRF_DODEFAULT; }

void CShellTreeCtrl::OnGetDispInfo(NMTVDISPINFOW* display)
{
    TVITEMW& item = display->item;
    auto* info = (ShellItemInfo*)item.lParam;
    if (!info || !(item.mask & (TVIF_IMAGE | TVIF_SELECTEDIMAGE)))
        return;
    // Asked of the parent folder where there is one: finding the folder
    // again from the Desktop for every item costs far more.
    int normal = -1, open = -1;
    if (info->pParentFolder)
        normal = ::SHMapPIDLToSystemImageListIndex(info->pParentFolder, info->pidlRel, &open);
    if (normal < 0) {
        SHFILEINFOW file = {};
        ::SHGetFileInfoW((LPCWSTR)info->pidlFQ, 0, &file, sizeof file, SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
        normal = file.iIcon;
        file = {};
        ::SHGetFileInfoW((LPCWSTR)info->pidlFQ, 0, &file, sizeof file,
                         SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_OPENICON);
        open = file.iIcon;
    }
    item.iImage = normal;
    item.iSelectedImage = open >= 0 ? open : normal;
    item.mask |= TVIF_DI_SETITEM;
}

BOOL CShellTreeCtrl::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* result)
{
    if (message != WM_NOTIFY)
        return FALSE;
    NMHDR* header = (NMHDR*)lParam;
    *result = 0;
    switch (header->code) {
    case TVN_ITEMEXPANDINGW:
        *result = OnItemExpanding((NMTREEVIEWW*)header);
        return TRUE;
    case TVN_DELETEITEMW:
        FreeShellItemInfo((ShellItemInfo*)((NMTREEVIEWW*)header)->itemOld.lParam);
        return TRUE;
    case TVN_GETDISPINFOW:
        OnGetDispInfo((NMTVDISPINFOW*)header);
        return TRUE;
    case TVN_SELCHANGEDW: {
        auto* info = (ShellItemInfo*)((NMTREEVIEWW*)header)->itemNew.lParam;
        if (!m_bQuietSelection && m_pRelatedList && info)
            m_pRelatedList->DisplayFolder(info->pidlFQ);
        return TRUE;
    }
    case NM_CUSTOMDRAW:
        OnCustomDraw((NMTVCUSTOMDRAW*)header, result);
        return TRUE;
    default:
        return FALSE;
    }
}
