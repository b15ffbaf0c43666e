#include "app/MyMFCShellListCtrl.h"

#include "app/MyShellTreeCtrl.h"
#include "crypt/EncryptedFileName.h"
#include "crypt/FileOps.h"
#include "crypt/KeyState.h"
#include "crypt/PathParts.h"
#include "doc/FileKinds.h"
#include "framework/windows/CMenu.h"
#include "framework/windows/CWinApp.h"
#include "framework/windows/GdiObjects.h"
#include "res/resource.h"


namespace {

const WCHAR* const kImageTails[] = {L"jpeg", L".jpg", L".png", L".bmp", L".tif",
                                     L"tiff", L".gif", L".psd", L".pcx", L".tga"};
const WCHAR* const kDoubleClickImages[] = {L".jpeg", L".jpg", L".png", L".bmp",
                                           L".tif",  L".tiff", L".gif", L".psd"};
const WCHAR* const kTextExtensions[] = {L".cs",  L".cpp", L".c",   L".hpp", L".h",   L".txt", L".nfo", L".asp",
                                        L".htm", L".html", L".bas", L".pas", L".asm", L".js",  L".sql", L".xml"};
// Commands of the program's own menus have ids from here on; the shell's
// stay below.
const UINT FIRST_PROGRAM_COMMAND = 32770;

template <size_t N>
bool InList(const WCHAR* const (&list)[N], CString text)
{
    text.MakeLower();
    for (const WCHAR* entry : list) {
        if (text == entry)
            return true;
    }
    return false;
}

bool EndsWithStar(const CString& text) { return !text.IsEmpty() && text[text.GetLength() - 1] == L'*'; }

// Copies the items of `source`, last to first, to the top of `popup`, so
// they stand above what it holds in their own order.
void InsertProgramItems(HMENU popup, HMENU source)
{
    for (int position = ::GetMenuItemCount(source) - 1; position >= 0; --position) {
        WCHAR text[160] = {};
        MENUITEMINFOW item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_ID | MIIM_FTYPE | MIIM_DATA | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = 160;
        if (!::GetMenuItemInfoW(source, (UINT)position, TRUE, &item))
            continue;
        item.dwTypeData = text;
        ::InsertMenuItemW(popup, 0, TRUE, &item);
    }
}

}  // namespace

CMyMFCShellListCtrl::CMyMFCShellListCtrl()
{
    CWinApp* app = AfxGetApp();
    m_bAllowDoubleClick = app ? (int)app->GetProfileInt(L"Settings", L"allowdoubleclick", 1) : 1;
}

bool CMyMFCShellListCtrl::IsImageTail(const CString& name) { return InList(kImageTails, name.Right(4)); }

bool CMyMFCShellListCtrl::IsDoubleClickImage(const CString& extension) { return InList(kDoubleClickImages, extension); }

bool CMyMFCShellListCtrl::IsTextExtension(const CString& extension) { return InList(kTextExtensions, extension); }

CMyMFCShellTreeCtrl* CMyMFCShellListCtrl::RelatedShellTree() const
{
    return dynamic_cast<CMyMFCShellTreeCtrl*>(m_pRelatedTree);
}

void CMyMFCShellListCtrl::OnSetColumns()
{
    while (GetColumnCount() > 0)
        DeleteColumn(0);
    struct ColumnSpec {
        UINT title;
        int width;
        int format;
    };
    const ColumnSpec columns[] = {{IDS_COLUMN_NAME, 250, LVCFMT_LEFT},
                                  {IDS_COLUMN_SIZE, 75, LVCFMT_RIGHT},
                                  {IDS_COLUMN_TYPE, 140, LVCFMT_LEFT},
                                  {IDS_COLUMN_MODIFIED, 140, LVCFMT_LEFT}};
    int index = 0;
    for (const ColumnSpec& column : columns) {
        CString title;
        title.LoadString(column.title);
        InsertColumn(index++, title, column.format, column.width);
    }
}

CString CMyMFCShellListCtrl::TypeExtensionOf(const CString& plainName)
{
    int dot = plainName.ReverseFind(L'.');
    CString extension = dot >= 2 ? plainName.Mid(dot + 1) : plainName;
    extension.MakeUpper();
    return extension;
}

HRESULT CMyMFCShellListCtrl::EnumObjects(IShellFolder* folder, LPCITEMIDLIST parentPidl)
{
    // A listing begins a batch of its own, which drops what an unfinished one
    // would still bring.
    m_nameReader.Begin();
    HRESULT result = CShellListCtrl::EnumObjects(folder, parentPidl);
    m_nameReader.TakeAll([this](LPARAM item, const CString& plain) { ShowStoredName((int)item, plain); });
    return result;
}

void CMyMFCShellListCtrl::ShowStoredName(int item, const CString& plainName)
{
    const ShellItemInfo* info = GetItemInfo(item);
    if (!info)
        return;
    // Without a readable name the shell's texts stand.
    CString name = plainName.IsEmpty() ? OnGetItemText(item, COLUMN_NAME, info) : plainName + L"*";
    CString typeExtension = plainName.IsEmpty() ? CString() : TypeExtensionOf(plainName);
    CString type;
    if (!plainName.IsEmpty() && IsImageTail(plainName))
        type = L"Image File";
    else if (!typeExtension.IsEmpty())
        type = typeExtension + L" File";
    else
        type = OnGetItemText(item, COLUMN_TYPE, info);
    SetItemText(item, COLUMN_NAME, name);
    SetItemText(item, COLUMN_TYPE, type);
}

void CMyMFCShellListCtrl::SetItemTexts(int item, const ShellItemInfo* info, ULONG attributes)
{
    CString name = OnGetItemText(item, COLUMN_NAME, info);
    if (attributes & SFGAO_FOLDER) {
        if (CMyMFCShellTreeCtrl* tree = RelatedShellTree())
            tree->CacheDisplayName(info->pidlFQ, name);
    }
    SetItemText(item, COLUMN_SIZE, OnGetItemText(item, COLUMN_SIZE, info));
    SetItemText(item, COLUMN_MODIFIED, OnGetItemText(item, COLUMN_MODIFIED, info));
    if (IsEncryptedName(name)) {
        CString plain = m_NameCrypt.DecryptName(name);
        if (plain != name)
            name = plain + L"*";
    } else if (IsEncryptedFileName(name) && HasKey() && !m_strListedFolder.IsEmpty()) {
        // Name and Type are set once the stored name is read, before the
        // listing ends. (Without a key no name can be read: the file is left alone.)
        m_nameReader.Add(m_strListedFolder + name, item);
        m_nameReader.TakeReady([this](LPARAM ready, const CString& plain) { ShowStoredName((int)ready, plain); });
        return;
    }
    SetItemText(item, COLUMN_NAME, name);
    SetItemText(item, COLUMN_TYPE, OnGetItemText(item, COLUMN_TYPE, info));
}

void CMyMFCShellListCtrl::Sort(int column, BOOL ascending)
{
    // An encrypted item is shown under its plain name, so that is where the
    // user looks for it: the stored names would give no order one can see.
    m_sortNames.clear();
    if (column == COLUMN_NAME) {
        for (int item = 0; item < GetItemCount(); ++item) {
            const ShellItemInfo* info = GetItemInfo(item);
            if (!info || !info->pParentFolder)
                continue;
            ULONG attributes = SFGAO_FOLDER;
            LPCITEMIDLIST relative = info->pidlRel;
            if (FAILED(info->pParentFolder->GetAttributesOf(1, &relative, &attributes)))
                attributes = 0;
            CString name = GetItemText(item, COLUMN_NAME);
            name.TrimRight(L'*');
            m_sortNames[(LPARAM)info] = SortName{(attributes & SFGAO_FOLDER) != 0, name};
        }
    }
    CShellListCtrl::Sort(column, ascending);
    m_sortNames.clear();
}

// 0 when the names are equal or not known (the shell's order decides).
int CMyMFCShellListCtrl::CompareShownNames(const ShellItemInfo* a, const ShellItemInfo* b) const
{
    auto first = m_sortNames.find((LPARAM)a), second = m_sortNames.find((LPARAM)b);
    if (first == m_sortNames.end() || second == m_sortNames.end())
        return 0;
    if (first->second.folder != second->second.folder)
        return first->second.folder ? -1 : 1;
    int order = ::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, first->second.name,
                                 first->second.name.GetLength(), second->second.name, second->second.name.GetLength());
    return order == 0 ? 0 : order - CSTR_EQUAL;
}

CString CMyMFCShellListCtrl::SortTypeOf(const ShellItemInfo* info)
{
    SHFILEINFOW file = {};
    if (!::SHGetFileInfoW((LPCWSTR)info->pidlFQ, 0, &file, sizeof file, SHGFI_PIDL | SHGFI_TYPENAME | SHGFI_DISPLAYNAME))
        return CString(L"\x01");  // the shell cannot describe it
    CString type = file.szTypeName;
    if (!IsEncryptedFileName(file.szDisplayName))
        return type;
    CString path = PathOfPidl(info->pidlFQ);
    if (path.IsEmpty() || ::GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES)
        return type;
    CString plain = m_FileCipher.ReadOriginalName(path);
    return (plain.IsEmpty() ? CString() : TypeExtensionOf(plain)) + L" File";
}

int CMyMFCShellListCtrl::CompareFileStatus(const ShellItemInfo* a, const ShellItemInfo* b, int column) const
{
    WIN32_FILE_ATTRIBUTE_DATA first = {}, second = {};
    if (!::GetFileAttributesExW(PathOfPidl(a->pidlFQ), GetFileExInfoStandard, &first))
        return -1;
    if (!::GetFileAttributesExW(PathOfPidl(b->pidlFQ), GetFileExInfoStandard, &second))
        return 1;
    if (column == COLUMN_MODIFIED)
        return ::CompareFileTime(&first.ftLastWriteTime, &second.ftLastWriteTime);
    bool firstFolder = (first.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    bool secondFolder = (second.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // Folders come before files; two folders are equal in size.
    if (firstFolder || secondFolder)
        return firstFolder == secondFolder ? 0 : (firstFolder ? -1 : 1);
    ULONGLONG sizeA = ((ULONGLONG)first.nFileSizeHigh << 32) | first.nFileSizeLow;
    ULONGLONG sizeB = ((ULONGLONG)second.nFileSizeHigh << 32) | second.nFileSizeLow;
    return sizeA < sizeB ? -1 : (sizeA > sizeB ? 1 : 0);
}

int CMyMFCShellListCtrl::OnCompareItems(LPARAM item1, LPARAM item2, int column)
{
    auto* a = (const ShellItemInfo*)item1;
    auto* b = (const ShellItemInfo*)item2;
    if (!a || !b)
        return 0;
    switch (column) {
    case COLUMN_NAME: {
        if (int byShownName = CompareShownNames(a, b))
            return byShownName;
        if (!a->pParentFolder)
            return 0;
        HRESULT result = a->pParentFolder->CompareIDs(0, a->pidlRel, b->pidlRel);
        return FAILED(result) ? 0 : (short)HRESULT_CODE(result);
    }
    case COLUMN_TYPE: {
        CString typeA = SortTypeOf(a), typeB = SortTypeOf(b);
        if (typeA == L"\x01" || typeB == L"\x01")
            return 0;
        return typeA.CompareNoCase(typeB);
    }
    case COLUMN_SIZE:
    case COLUMN_MODIFIED:
        return CompareFileStatus(a, b, column);
    default:
        return 0;
    }
}

void CMyMFCShellListCtrl::SendOpenTempDecrypted(const CString& path)
{
    m_strCommandPath = path;
    m_nCommand = ID_OPEN_TEMP_DECRYPTED;
    ::SendMessageW(::GetParent(m_hWnd), UWM_LIST_COMMAND, ID_OPEN_TEMP_DECRYPTED, 0);
}

void CMyMFCShellListCtrl::SendOpenViewer(const CString& path, ViewerKind kind)
{
    m_strSelPath = path;
    ::SendMessageW(::GetParent(m_hWnd), UWM_OPEN_SECURE_VIEWER, (WPARAM)kind, 0);
}

void CMyMFCShellListCtrl::DoDefault(int item)
{
    ShellItemInfo* info = GetItemInfo(item);
    if (!info || !info->pParentFolder || !info->pidlRel)
        return;
    if (IsItemFolder(item)) {
        DisplayFolder(info);
        return;
    }
    if (!m_bAllowDoubleClick)
        return;
    CString path;
    GetItemPath(path, item);
    CString fileName = PathFilePart(path);
    CString extension = FileExtension(fileName);
    // An encrypted file shown under its plain name is tested by that name.
    CString name = GetItemText(item, COLUMN_NAME);
    if (name.GetLength() > 2 && EndsWithStar(name)) {
        name.TrimRight(L'*');
        int dot = name.ReverseFind(L'.');
        if (dot >= 2)
            extension = name.Mid(dot);
    }
    if (m_bImageView && IsDoubleClickImage(extension))
        SendOpenViewer(path, VIEWER_IMAGE);
    else if (m_bTextView && IsTextExtension(extension))
        SendOpenViewer(path, VIEWER_TEXT);
    else if (IsEncryptedFileName(fileName))
        SendOpenTempDecrypted(path);
    else if (m_bVideoPlayer && IsMediaFile(path))
        SendOpenViewer(path, VIEWER_VIDEO);
    else
        RunDefaultShellCommand(info->pParentFolder, info->pidlRel);
}

void CMyMFCShellListCtrl::OnDoubleClick(CPoint point)
{
    int hit = HitTest(point);
    int focused = GetNextItem(-1, LVNI_FOCUSED);
    if (hit < 0 || focused < 0)
        DisplayParentFolder();
    else
        DoDefault(focused);
}

void CMyMFCShellListCtrl::OnContextMenu(CPoint point)
{
    if (!CanShowContextMenu())
        return;
    int clicked = -1;
    if (point.x == -1 && point.y == -1) {
        int first = GetNextItem(-1, LVNI_SELECTED);
        if (first < 0)
            return;
        int last = first;
        for (int next = first; next >= 0; next = GetNextItem(next, LVNI_SELECTED))
            last = next;
        point = MenuPointBelow(last);
        // The menu is the one of the first selected item.
        clicked = first;
    } else {
        CPoint client = point;
        ::ScreenToClient(m_hWnd, &client);
        clicked = HitTest(client);
        if (clicked < 0)
            return;
    }

    // The program's menu for the item: decrypting for encrypted items (or
    // the password first), encrypting for anything else.
    UINT menuId = IDR_LIST_MENU_PLAIN;
    CString clickedPath;
    GetItemPath(clickedPath, clicked);
    CString fileName = PathFilePart(clickedPath);
    if (!fileName.IsEmpty() && (IsEncryptedFileName(fileName) || IsEncryptedName(fileName)))
        menuId = HasKey() ? IDR_LIST_MENU_ENCRYPTED : IDR_LIST_MENU_LOCKED;

    CShellContextMenu shellMenu;
    CMenu popup;
    if (!CreateShellMenu(shellMenu, popup, MenuItems(clicked)))
        return;
    CMenu programMenu;
    if (programMenu.LoadMenu(menuId))
        InsertProgramItems(popup, programMenu.GetSubMenu(0));

    UINT id = TrackShellMenu(shellMenu, popup, point);
    if (!id)
        return;
    if (id >= FIRST_PROGRAM_COMMAND) {
        ::SendMessageW(::GetParent(m_hWnd), WM_COMMAND, MAKEWPARAM(id, 0), 0);
        return;
    }
    if (id == ::GetMenuDefaultItem(popup, FALSE, 0) && GetSelectedCount() == 1) {
        if (IsItemFolder(clicked)) {
            if (ShellItemInfo* info = GetItemInfo(clicked))
                DisplayFolder(info);
            return;
        }
        // With a key the program opens the file itself: plain files where
        // they are, encrypted ones through a temporary copy.
        if (HasKey()) {
            SendOpenTempDecrypted(clickedPath);
            return;
        }
    }
    RunShellCommand(shellMenu, id);
}

bool CMyMFCShellListCtrl::OpenWithDefaultVerb(const CString& path)
{
    CShellContextMenu menu;
    if (!menu.CreateForPath(path, m_hWnd))
        return false;
    UINT id = menu.GetDefaultCommand();
    return id && RunShellCommand(menu, id);
}

CString CMyMFCShellListCtrl::GetFocusedItemPath() const
{
    CString path;
    int focused = GetNextItem(-1, LVNI_FOCUSED);
    if (focused >= 0)
        GetItemPath(path, focused);
    return path;
}

void CMyMFCShellListCtrl::GetSelectedPaths(CStringArray& paths) const
{
    for (int item = GetNextItem(-1, LVNI_SELECTED); item >= 0; item = GetNextItem(item, LVNI_SELECTED)) {
        CString path;
        if (GetItemPath(path, item))
            paths.Add(path);
    }
}

int CMyMFCShellListCtrl::SelectItemByPath(const CString& path)
{
    if (path.IsEmpty())
        return 0;
    CString folder = PathFolderPart(path);
    CString current;
    GetCurrentFolder(current);
    if (current.IsEmpty() || current[current.GetLength() - 1] != L'\\')
        current += L'\\';
    if (folder != current)
        DisplayFolder(folder.GetString());
    SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    int found = -1;
    for (int item = 0; item < GetItemCount() && found < 0; ++item) {
        CString itemPath;
        if (GetItemPath(itemPath, item) && itemPath == path)
            found = item;
    }
    if (found >= 0) {
        SetItemState(found, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        EnsureVisible(found, FALSE);
    }
    return 0;
}

void CMyMFCShellListCtrl::OnItemChanged(const NMLISTVIEW* change)
{
    if (!(change->uChanged & LVIF_STATE) || !(change->uNewState & LVIS_SELECTED))
        return;
    int focused = GetNextItem(-1, LVNI_FOCUSED);
    CString path;
    if (focused < 0 || !GetItemPath(path, focused))
        return;
    m_strSelPath = path;
    m_strSelName = GetItemText(focused, COLUMN_NAME);
    ::SendMessageW(::GetParent(m_hWnd), UWM_LIST_SELCHANGED, 0, 0);
}

void CMyMFCShellListCtrl::OnCustomDraw(NMLVCUSTOMDRAW* draw, LRESULT* result)
{
    NMCUSTOMDRAW& common = draw->nmcd;
    *result = CDRF_DODEFAULT;
    switch (common.dwDrawStage) {
    case CDDS_PREPAINT:
        *result = CDRF_NOTIFYITEMDRAW;
        return;
    case CDDS_ITEMPREPAINT:
        *result = CDRF_NOTIFYSUBITEMDRAW;
        return;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        int row = (int)common.dwItemSpec;
        CString name = GetItemText(row, COLUMN_NAME);
        if (EndsWithStar(name)) {
            draw->clrText = ENCRYPTED_TEXT;
            CString tail = name.Right(5);
            tail.TrimRight(L'*');
            if (name.GetLength() > 4 && IsImageTail(tail)) {
                tail.MakeLower();
                draw->clrText = ENCRYPTED_IMAGE_TEXT;
                draw->clrTextBk = tail == L".gif" ? ENCRYPTED_GIF_BACK : ENCRYPTED_IMAGE_BACK;
            }
        }
        if (GetItemState(row, LVIS_SELECTED) & LVIS_SELECTED)
            *result = CDRF_NOTIFYPOSTPAINT;
        return;
    }
    case CDDS_ITEMPOSTPAINT | CDDS_SUBITEM: {
        int row = (int)common.dwItemSpec;
        UINT state = GetItemState(row, LVIS_SELECTED | LVIS_FOCUSED);
        *result = 0;
        // A selection the list cannot highlight (it has no focus) is framed.
        if (!(state & LVIS_SELECTED) || ::GetFocus() == m_hWnd)
            return;
        CRect bounds;
        GetItemRect(row, &bounds, LVIR_BOUNDS);
        bounds.DeflateRect(2, 1, 2, 1);
        CPen pen(PS_DOT, 1, (state & LVIS_FOCUSED) ? RGB(0, 0, 0) : RGB(255, 0, 0));
        HGDIOBJ oldPen = ::SelectObject(common.hdc, pen.m_hObject);
        HGDIOBJ oldBrush = ::SelectObject(common.hdc, ::GetStockObject(HOLLOW_BRUSH));
        ::Rectangle(common.hdc, bounds.left, bounds.top, bounds.right, bounds.bottom);
        ::SelectObject(common.hdc, oldBrush);
        ::SelectObject(common.hdc, oldPen);
        return;
    }
    default:
        return;
    }
}

BOOL CMyMFCShellListCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_NOTIFY) {
        auto* header = (NMHDR*)lParam;
        switch (header->code) {
        case NM_CLICK:
            *result = 0;
            return TRUE;
        case LVN_ITEMCHANGED:
            OnItemChanged((const NMLISTVIEW*)header);
            *result = 0;
            return TRUE;
        case NM_CUSTOMDRAW:
            OnCustomDraw((NMLVCUSTOMDRAW*)header, result);
            return TRUE;
        case LVN_BEGINDRAG:
            OnBeginDrag();
            return TRUE;
        default:
            break;
        }
    }
    return CShellListCtrl::OnChildNotify(message, wParam, lParam, result);
}

BOOL CMyMFCShellListCtrl::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_LBUTTONDBLCLK) {
        // Handled here alone: the control never reports its own double-click.
        OnDoubleClick(CPoint::FromLParam(lParam));
        *result = 0;
        return TRUE;
    }
    return CShellListCtrl::OnWndMsg(message, wParam, lParam, result);
}
