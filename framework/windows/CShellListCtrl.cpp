#include "framework/windows/CShellListCtrl.h"

#include "framework/windows/CMenu.h"
#include "framework/windows/CWaitCursor.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <vector>

UINT ChangeCurrentFolderMessage()
{
    static const UINT message = ::RegisterWindowMessageW(L"AFX_WM_CHANGE_CURRENT_FOLDER");
    return message;
}

UINT AfterShellCommandMessage()
{
    static const UINT message = ::RegisterWindowMessageW(L"AFX_WM_ON_AFTER_SHELL_COMMAND");
    return message;
}

namespace {

struct SortContext {
    CShellListCtrl* list;
    int column;
    BOOL ascending;
};

// The desktop's record: no parent, the empty list both ways.
class DesktopRecord {
public:
    explicit DesktopRecord(LPCITEMIDLIST pidl)
    {
        ::SHGetDesktopFolder(&m_info.pParentFolder);
        m_info.pidlFQ = const_cast<LPITEMIDLIST>(pidl);
        m_info.pidlRel = const_cast<LPITEMIDLIST>(pidl);
    }
    ~DesktopRecord()
    {
        if (m_info.pParentFolder)
            m_info.pParentFolder->Release();
    }
    DesktopRecord(const DesktopRecord&) = delete;
    DesktopRecord& operator=(const DesktopRecord&) = delete;
    const ShellItemInfo* get() const { return &m_info; }
    bool valid() const { return m_info.pParentFolder != nullptr; }

private:
    ShellItemInfo m_info;
};

CString StrRetText(STRRET& answer, LPCITEMIDLIST pidl)
{
    WCHAR buffer[MAX_PATH] = {};
    if (FAILED(::StrRetToBufW(&answer, pidl, buffer, MAX_PATH)))
        return CString();
    return CString(buffer);
}

CString TimeText(const FILETIME& time)
{
    FILETIME local;
    SYSTEMTIME parts;
    if (!::FileTimeToLocalFileTime(&time, &local) || !::FileTimeToSystemTime(&local, &parts))
        return CString();
    WCHAR date[80] = {}, clock[80] = {};
    ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &parts, nullptr, date, 80);
    ::GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &parts, nullptr, clock, 80);
    return CString(date) + L" " + clock;
}

}  // namespace

CShellListCtrl::~CShellListCtrl()
{
    if (IsWindow())
        DestroyWindow();
    ReleaseCurrentFolder();
}

BOOL CShellListCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    // The image lists are the system's: the list must not destroy them.
    if (!CListCtrl::Create(style | LVS_SHAREIMAGELISTS, rect, parent, id))
        return FALSE;
    SHFILEINFOW file = {};
    auto smallIcons = (HIMAGELIST)::SHGetFileInfoW(L"C:\\", 0, &file, sizeof file, SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    auto largeIcons = (HIMAGELIST)::SHGetFileInfoW(L"C:\\", 0, &file, sizeof file, SHGFI_SYSICONINDEX | SHGFI_LARGEICON);
    if (smallIcons)
        SetImageList(smallIcons, LVSIL_SMALL);
    if (largeIcons)
        SetImageList(largeIcons, LVSIL_NORMAL);
    OnSetColumns();
    return TRUE;
}

void CShellListCtrl::OnSetColumns()
{
    while (GetColumnCount() > 0)
        DeleteColumn(0);
    InsertColumn(COLUMN_NAME, L"Name", LVCFMT_LEFT, 200);
    InsertColumn(COLUMN_SIZE, L"Size", LVCFMT_RIGHT, 80);
    InsertColumn(COLUMN_TYPE, L"Type", LVCFMT_LEFT, 120);
    InsertColumn(COLUMN_MODIFIED, L"Modified", LVCFMT_LEFT, 140);
}

void CShellListCtrl::ReleaseCurrentFolder()
{
    if (m_psfCurFolder)
        m_psfCurFolder->Release();
    m_psfCurFolder = nullptr;
    ::ILFree(m_pidlCurFQ);
    m_pidlCurFQ = nullptr;
}

HRESULT CShellListCtrl::SetCurrentFolder(const ShellItemInfo* item)
{
    ReleaseCurrentFolder();
    if (!item->pidlFQ)
        return E_INVALIDARG;
    IShellFolder* folder = nullptr;
    HRESULT result;
    if (item->pidlFQ->mkid.cb == 0) {
        result = ::SHGetDesktopFolder(&folder);
    } else {
        IShellFolder* parent = item->pParentFolder;
        IShellFolder* desktop = nullptr;
        if (!parent) {
            result = ::SHGetDesktopFolder(&desktop);
            if (FAILED(result))
                return result;
            parent = desktop;
        }
        result = parent->BindToObject(item->pidlRel, nullptr, IID_IShellFolder, (void**)&folder);
        if (desktop)
            desktop->Release();
    }
    if (FAILED(result) || !folder)
        return FAILED(result) ? result : E_FAIL;
    m_pidlCurFQ = ::ILClone(item->pidlFQ);
    if (!m_pidlCurFQ) {
        folder->Release();
        return E_OUTOFMEMORY;
    }
    m_psfCurFolder = folder;
    return S_OK;
}

HRESULT CShellListCtrl::DisplayFolder(const ShellItemInfo* item)
{
    HRESULT result = S_OK;
    if (item)
        result = SetCurrentFolder(item);
    DeleteAllItems();
    if (m_psfCurFolder) {
        CWaitCursor wait;
        SetRedraw(FALSE);
        EnumObjects(m_psfCurFolder, m_pidlCurFQ);
        if (GetViewStyle() == LVS_REPORT)
            Sort(COLUMN_NAME, TRUE);
        SetRedraw(TRUE);
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
    if (item && SUCCEEDED(result)) {
        TellRelatedTree();
        if (HWND parent = ::GetParent(m_hWnd))
            ::SendMessageW(parent, ChangeCurrentFolderMessage(), 0, 0);
    }
    return result;
}

HRESULT CShellListCtrl::DisplayFolder(const WCHAR* path)
{
    IShellFolder* desktop = nullptr;
    HRESULT result = ::SHGetDesktopFolder(&desktop);
    if (FAILED(result))
        return result;
    LPITEMIDLIST pidl = nullptr;
    ULONG eaten = 0;
    result = desktop->ParseDisplayName(m_hWnd, nullptr, const_cast<WCHAR*>(path ? path : L""), &eaten, &pidl, nullptr);
    desktop->Release();
    if (FAILED(result) || !pidl)
        return FAILED(result) ? result : E_FAIL;
    result = DisplayFolderPidl(pidl);
    ::CoTaskMemFree(pidl);
    return result;
}

void CShellListCtrl::DisplayFolder(LPCITEMIDLIST pidl) { DisplayFolderPidl(pidl); }

HRESULT CShellListCtrl::DisplayFolderPidl(LPCITEMIDLIST pidl)
{
    if (!pidl)
        return E_INVALIDARG;
    DesktopRecord record(pidl);
    if (!record.valid())
        return E_FAIL;
    // Only folders are shown; a file keeps the current folder as it is.
    if (pidl->mkid.cb) {
        IShellFolder* parent = nullptr;
        LPCITEMIDLIST last = nullptr;
        ULONG attributes = SFGAO_FOLDER;
        HRESULT found = ::SHBindToParent(pidl, IID_IShellFolder, (void**)&parent, &last);
        if (SUCCEEDED(found))
            found = parent->GetAttributesOf(1, &last, &attributes);
        if (parent)
            parent->Release();
        if (FAILED(found) || !(attributes & SFGAO_FOLDER))
            return E_INVALIDARG;
    }
    return DisplayFolder(record.get());
}

HRESULT CShellListCtrl::DisplayParentFolder()
{
    if (!m_pidlCurFQ || m_pidlCurFQ->mkid.cb == 0)
        return E_FAIL;
    LPITEMIDLIST parent = ::ILClone(m_pidlCurFQ);
    if (!parent)
        return E_OUTOFMEMORY;
    ::ILRemoveLastID(parent);
    HRESULT result = DisplayFolderPidl(parent);
    ::ILFree(parent);
    return result;
}

BOOL CShellListCtrl::GetCurrentFolder(CString& path) const
{
    CString found = PathOfPidl(m_pidlCurFQ);
    if (found.IsEmpty())
        return FALSE;
    path = found;
    return TRUE;
}

BOOL CShellListCtrl::GetCurrentFolderName(CString& name) const
{
    SHFILEINFOW file = {};
    if (!m_pidlCurFQ ||
        !::SHGetFileInfoW((LPCWSTR)m_pidlCurFQ, 0, &file, sizeof file, SHGFI_PIDL | SHGFI_DISPLAYNAME))
        return FALSE;
    name = file.szDisplayName;
    return TRUE;
}

BOOL CShellListCtrl::GetItemPath(CString& path, int item) const
{
    ShellItemInfo* info = GetItemInfo(item);
    CString found = info ? PathOfPidl(info->pidlFQ) : CString();
    if (found.IsEmpty())
        return FALSE;
    path = found;
    return TRUE;
}

bool CShellListCtrl::IsItemFolder(int item) const
{
    ShellItemInfo* info = GetItemInfo(item);
    if (!info || !info->pParentFolder || !info->pidlRel)
        return false;
    ULONG attributes = SFGAO_FOLDER;
    LPCITEMIDLIST relative = info->pidlRel;
    return SUCCEEDED(info->pParentFolder->GetAttributesOf(1, &relative, &attributes)) &&
           (attributes & SFGAO_FOLDER);
}

void CShellListCtrl::SetRelatedTree(CShellTreeCtrl* tree)
{
    m_pRelatedTree = tree;
    if (tree)
        tree->SetRelatedList(this);
}

void CShellListCtrl::TellRelatedTree()
{
    if (!m_pRelatedTree || m_bNoNotify || !m_pRelatedTree->IsWindow() || !m_pRelatedTree->IsWindowVisible())
        return;
    // A network folder is selected without listing its children, which
    // may take long.
    CString path;
    bool network = GetCurrentFolder(path) && path.Left(2) == L"\\\\";
    m_pRelatedTree->SelectPidl(m_pidlCurFQ, !network);
}

int CShellListCtrl::InsertShellItem(ShellItemInfo* info, ULONG attributes)
{
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_STATE;
    item.iItem = GetItemCount();
    item.pszText = const_cast<WCHAR*>(L"");
    // Icons are asked of the shell when an item is first drawn: most of a
    // long folder never is.
    item.iImage = I_IMAGECALLBACK;
    item.lParam = (LPARAM)info;
    if (attributes & SFGAO_SHARE) {
        item.state |= INDEXTOOVERLAYMASK(1);
        item.stateMask |= LVIS_OVERLAYMASK;
    }
    if (attributes & SFGAO_GHOSTED) {
        item.state |= LVIS_CUT;
        item.stateMask |= LVIS_CUT;
    }
    int index = InsertItem(item);
    if (index < 0)
        FreeShellItemInfo(info);
    return index;
}

HRESULT CShellListCtrl::EnumObjects(IShellFolder* folder, LPCITEMIDLIST parentPidl)
{
    IEnumIDList* items = nullptr;
    HRESULT result = folder->EnumObjects(::GetParent(m_hWnd), m_dwEnumFlags, &items);
    if (FAILED(result) || !items)
        return result;
    m_strListedFolder = PathOfPidl(parentPidl);
    if (!m_strListedFolder.IsEmpty() && m_strListedFolder[m_strListedFolder.GetLength() - 1] != L'\\')
        m_strListedFolder += L'\\';
    LPITEMIDLIST batch[64];
    ULONG fetched = 0;
    while (SUCCEEDED(items->Next(64, batch, &fetched)) && fetched > 0) {
        for (ULONG i = 0; i < fetched; ++i) {
            ShellItemInfo* info = CreateShellItemInfo(folder, parentPidl, batch[i]);
            ULONG attributes = SFGAO_SHARE | SFGAO_GHOSTED | SFGAO_FOLDER;
            folder->GetAttributesOf(1, (LPCITEMIDLIST*)&batch[i], &attributes);
            ::CoTaskMemFree(batch[i]);
            int index = InsertShellItem(info, attributes);
            if (index >= 0)
                SetItemTexts(index, info, attributes);
        }
        fetched = 0;
    }
    items->Release();
    return S_OK;
}

void CShellListCtrl::SetItemTexts(int item, const ShellItemInfo* info, ULONG)
{
    int columns = GetColumnCount();
    for (int column = 0; column < columns; ++column)
        SetItemText(item, column, OnGetItemText(item, column, info));
}

CString CShellListCtrl::TypeNameOf(const ShellItemInfo* info, const WIN32_FIND_DATAW* data)
{
    SHFILEINFOW file = {};
    if (!data) {
        if (::SHGetFileInfoW((LPCWSTR)info->pidlFQ, 0, &file, sizeof file, SHGFI_PIDL | SHGFI_TYPENAME))
            return CString(file.szTypeName);
        return CString();
    }
    // Plain files and folders are named by their extension alone, which
    // needs no look at the file.
    bool folder = (data->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    CString name = data->cFileName;
    int dot = name.ReverseFind(L'.');
    CString key = folder ? CString(L"\\") : (dot >= 0 ? name.Mid(dot) : CString());
    key.MakeLower();
    auto found = m_typeNames.find(key);
    if (found != m_typeNames.end())
        return found->second;
    CString sample = folder ? CString(L"folder") : L"file" + key;
    DWORD attributes = folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    CString type;
    if (::SHGetFileInfoW(sample, attributes, &file, sizeof file, SHGFI_USEFILEATTRIBUTES | SHGFI_TYPENAME))
        type = file.szTypeName;
    m_typeNames[key] = type;
    return type;
}

bool CShellListCtrl::ReadFindData(const ShellItemInfo* info, WIN32_FIND_DATAW& data)
{
    if (FAILED(::SHGetDataFromIDListW(info->pParentFolder, info->pidlRel, SHGDFIL_FINDDATA, &data, sizeof data)))
        return false;
    // The shell answers for the Desktop's own items (My Computer, Trash, the
    // Unix root, Documents) with an empty record, which would show as a file
    // of 0 KB from 1601; every file and folder has a time or an attribute.
    return data.ftLastWriteTime.dwLowDateTime || data.ftLastWriteTime.dwHighDateTime || data.dwFileAttributes;
}

CString CShellListCtrl::OnGetItemText(int, int column, const ShellItemInfo* info)
{
    if (!info || !info->pParentFolder || !info->pidlRel)
        return CString();
    WIN32_FIND_DATAW data = {};
    bool found = ReadFindData(info, data);
    bool folder = found && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    if (column == COLUMN_NAME) {
        // A file of the file system is shown under its name: asking the
        // shell for each file's display name costs far more in a long
        // folder. Folders and other items may carry names of their own.
        if (found && !folder && data.cFileName[0])
            return CString(data.cFileName);
        STRRET answer = {};
        if (FAILED(info->pParentFolder->GetDisplayNameOf(info->pidlRel, SHGDN_INFOLDER, &answer)))
            return CString();
        return StrRetText(answer, info->pidlRel);
    }
    switch (column) {
    case COLUMN_SIZE: {
        if (!found || folder)
            return CString();
        WCHAR text[64] = {};
        LONGLONG size = ((LONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow;
        ::StrFormatKBSizeW(size, text, 64);
        return CString(text);
    }
    case COLUMN_TYPE:
        return TypeNameOf(info, found ? &data : nullptr);
    case COLUMN_MODIFIED:
        return found ? TimeText(data.ftLastWriteTime) : CString();
    default:
        return CString();
    }
}

int CALLBACK CShellListCtrl::CompareCallback(LPARAM item1, LPARAM item2, LPARAM sort)
{
    auto* context = (const SortContext*)sort;
    int result = context->list->OnCompareItems(item1, item2, context->column);
    return context->ascending ? result : -result;
}

void CShellListCtrl::Sort(int column, BOOL ascending)
{
    m_nSortColumn = column;
    m_bAscending = ascending;
    SortContext context = {this, column, ascending};
    SortItems(CompareCallback, (LPARAM)&context);
}

int CShellListCtrl::OnCompareItems(LPARAM item1, LPARAM item2, int column)
{
    auto* a = (const ShellItemInfo*)item1;
    auto* b = (const ShellItemInfo*)item2;
    if (!a || !b || !m_psfCurFolder)
        return 0;
    HRESULT result = m_psfCurFolder->CompareIDs((LPARAM)column, a->pidlRel, b->pidlRel);
    return FAILED(result) ? 0 : (short)HRESULT_CODE(result);
}

bool CShellListCtrl::RunShellCommand(CShellContextMenu& menu, UINT id)
{
    HWND parent = ::GetParent(m_hWnd);
    if (!menu.Invoke(id, parent, SW_SHOWNORMAL))
        return false;
    if (parent)
        ::SendMessageW(parent, AfterShellCommandMessage(), id, 0);
    return true;
}

bool CShellListCtrl::RunDefaultShellCommand(IShellFolder* folder, LPCITEMIDLIST relative)
{
    CShellContextMenu menu;
    if (!menu.Create(folder, m_hWnd, {relative}))
        return false;
    UINT id = menu.GetDefaultCommand();
    return id && RunShellCommand(menu, id);
}

void CShellListCtrl::DoDefault(int item)
{
    ShellItemInfo* info = GetItemInfo(item);
    if (!info || !info->pParentFolder || !info->pidlRel)
        return;
    if (IsItemFolder(item)) {
        DisplayFolder(info);
        return;
    }
    RunDefaultShellCommand(info->pParentFolder, info->pidlRel);
}

bool CShellListCtrl::CanShowContextMenu()
{
    if (CShellContextMenu::GetOpenMenu2())
        return false;
    if (!m_bContextMenu) {
        Default();
        return false;
    }
    return m_psfCurFolder != nullptr;
}

CPoint CShellListCtrl::MenuPointBelow(int item) const
{
    CRect bounds;
    GetItemRect(item, &bounds, LVIR_BOUNDS);
    CPoint point(bounds.left, bounds.bottom + 1);
    ::ClientToScreen(m_hWnd, &point);
    return point;
}

std::vector<LPCITEMIDLIST> CShellListCtrl::MenuItems(int first) const
{
    std::vector<LPCITEMIDLIST> items;
    if (ShellItemInfo* info = GetItemInfo(first))
        items.push_back(info->pidlRel);
    for (int item = GetNextItem(-1, LVNI_SELECTED); item >= 0; item = GetNextItem(item, LVNI_SELECTED)) {
        ShellItemInfo* info = GetItemInfo(item);
        if (item != first && info)
            items.push_back(info->pidlRel);
    }
    return items;
}

bool CShellListCtrl::CreateShellMenu(CShellContextMenu& shellMenu, CMenu& popup, const std::vector<LPCITEMIDLIST>& items)
{
    return !items.empty() && shellMenu.Create(m_psfCurFolder, m_hWnd, items) && popup.CreatePopupMenu() &&
           shellMenu.Fill(popup, CMF_EXPLORE);
}

UINT CShellListCtrl::TrackShellMenu(CShellContextMenu& shellMenu, CMenu& popup, CPoint point)
{
    CShellContextMenu::OpenGuard open(&shellMenu);
    return popup.TrackPopupMenu(TPM_RETURNCMD | TPM_RIGHTBUTTON, point.x, point.y, this);
}

void CShellListCtrl::OnContextMenu(CPoint point)
{
    if (!CanShowContextMenu())
        return;
    int first = GetNextItem(-1, LVNI_SELECTED);
    if (first < 0)
        return;
    if (point.x == -1 && point.y == -1)
        point = MenuPointBelow(first);
    CShellContextMenu shellMenu;
    CMenu popup;
    if (!CreateShellMenu(shellMenu, popup, MenuItems(first)))
        return;
    if (UINT id = TrackShellMenu(shellMenu, popup, point))
        RunShellCommand(shellMenu, id);
}

void CShellListCtrl::OnGetDispInfo(NMLVDISPINFOW* display)
{
    LVITEMW& item = display->item;
    auto* info = (ShellItemInfo*)item.lParam;
    if (!(item.mask & LVIF_IMAGE) || !info)
        return;
    int icon = -1;
    if (info->pParentFolder && info->pidlRel)
        icon = ::SHMapPIDLToSystemImageListIndex(info->pParentFolder, info->pidlRel, nullptr);
    if (icon < 0) {
        SHFILEINFOW file = {};
        ::SHGetFileInfoW((LPCWSTR)info->pidlFQ, 0, &file, sizeof file, SHGFI_PIDL | SHGFI_SYSICONINDEX);
        icon = file.iIcon;
    }
    item.iImage = icon;
    item.mask |= LVIF_DI_SETITEM;
}

BOOL CShellListCtrl::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* result)
{
    if (message != WM_NOTIFY)
        return FALSE;
    auto* header = (NMHDR*)lParam;
    *result = 0;
    switch (header->code) {
    case LVN_DELETEITEM:
        FreeShellItemInfo((ShellItemInfo*)((NMLISTVIEW*)header)->lParam);
        return TRUE;
    case LVN_DELETEALLITEMS:
        *result = FALSE;  // one LVN_DELETEITEM per item, which frees its record
        return TRUE;
    case LVN_GETDISPINFOW:
        OnGetDispInfo((NMLVDISPINFOW*)header);
        return TRUE;
    case LVN_COLUMNCLICK: {
        int column = ((NMLISTVIEW*)header)->iSubItem;
        Sort(column, column == m_nSortColumn ? !m_bAscending : TRUE);
        return TRUE;
    }
    case NM_RETURN: {
        int focused = GetNextItem(-1, LVNI_FOCUSED);
        if (focused >= 0)
            DoDefault(focused);
        return TRUE;
    }
    case NM_DBLCLK: {
        int item = ((NMITEMACTIVATE*)header)->iItem;
        if (item >= 0)
            DoDefault(item);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

BOOL CShellListCtrl::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    // The shell's submenus draw themselves through the menu's owner.
    if (CShellContextMenu::GetOpenMenu2() &&
        CShellContextMenu::ForwardMenuMessage(message, wParam, lParam, result))
        return TRUE;
    switch (message) {
    case WM_CONTEXTMENU:
        *result = 0;
        OnContextMenu(CPoint::FromLParam(lParam));
        return TRUE;
    case WM_DESTROY:
        // The records go while the parent still hears of each item.
        DeleteAllItems();
        return CListCtrl::OnWndMsg(message, wParam, lParam, result);
    default:
        return CListCtrl::OnWndMsg(message, wParam, lParam, result);
    }
}
