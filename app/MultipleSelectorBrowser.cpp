// CMultipleSelectorBrowser: construction, the window, listing and navigation,
// layout and the preview overlay.
#include "app/MultipleSelectorBrowser.h"

#include "app/BrowserPictures.h"
#include "crypt/EncryptedFileName.h"
#include "crypt/NameCrypt.h"
#include "framework/windows/CWaitCursor.h"
#include "res/resource.h"

#include <shlobj.h>

#include <algorithm>

namespace {

CString Lower(const CString& text)
{
    CString lower = text;
    lower.MakeLower();
    return lower;
}

bool EndsWithAny(const CString& lowerPath, std::initializer_list<const WCHAR*> endings)
{
    CString tail = lowerPath.Right(4);
    for (const WCHAR* ending : endings) {
        if (tail == ending)
            return true;
    }
    return false;
}

// Sorts by key, keeping entries with equal keys in their order.
template <class T>
void StableSortByKey(std::vector<T>& entries, CString (*key)(const T&))
{
    std::stable_sort(entries.begin(), entries.end(),
                     [key](const T& a, const T& b) { return key(a).Compare(key(b)) < 0; });
}

struct ListedFile {
    CString path;
    CString shownPath;
};

CString FolderKey(const CString& path) { return Lower(path); }
CString FileKey(const ListedFile& file) { return Lower(file.shownPath.IsEmpty() ? file.path : file.shownPath); }

}  // namespace

CMultipleSelectorBrowser::CMultipleSelectorBrowser()
{
    for (int i = 0; i < m_nCacheSize; ++i)
        m_Cache.push_back(new ThumbnailSlot);
    m_strMyPictures = GetSpecialFolderPath(CSIDL_MYPICTURES);
    m_strDesktop = GetSpecialFolderPath(CSIDL_DESKTOP);
    m_hHandCursor = ::LoadCursorW(nullptr, IDC_HAND);
}

CMultipleSelectorBrowser::~CMultipleSelectorBrowser()
{
    // A browser deleted without WM_DESTROY must not leave its loader on the slots.
    if (IsRunning()) {
        m_LoaderAbort = 1;
        Stop();
    }
    if (m_hHandCursor)
        ::DestroyCursor(m_hHandCursor);
    ClearItems();
    FreeCache();
    WipePicture(m_Preview);
    WipePicture(m_WorkImage);
}

void CMultipleSelectorBrowser::CreateAndShow(const RECT& rect, CWnd* parent)
{
    if (!IsWindow()) {
        const WCHAR* windowClass = RegisterWndClass(CS_DBLCLKS, ::LoadCursorW(nullptr, IDC_ARROW));
        CreateEx(0, windowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, rect, parent, CONTROL_ID);
    }
    ShowWindow(SW_SHOW);
}

CString CMultipleSelectorBrowser::GetSpecialFolderPath(int csidl)
{
    typedef HRESULT(WINAPI * GetFolderPath)(HWND, int, HANDLE, DWORD, WCHAR*);
    CString answer;
    for (const WCHAR* library : {L"SHFOLDER.DLL", L"shell32.dll"}) {
        HMODULE module = ::LoadLibraryW(library);
        if (!module)
            continue;
        auto function = (GetFolderPath)(void*)::GetProcAddress(module, "SHGetFolderPathW");
        WCHAR buffer[MAX_PATH] = {};
        if (function && function(nullptr, csidl, nullptr, 0, buffer) >= 0)
            answer = buffer;
        ::FreeLibrary(module);
        if (!answer.IsEmpty())
            break;
    }
    return answer;
}

bool CMultipleSelectorBrowser::IsDirectory(const CString& path)
{
    DWORD attributes = ::GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// "X\.." goes to X's parent: the text before X's last "\" ("" when none).
CString CMultipleSelectorBrowser::ParentRule(const CString& path)
{
    if (path.GetLength() <= 2 || path.Right(3) != L"\\..")
        return path;
    CString folder = path.Left(path.GetLength() - 3);
    int slash = folder.ReverseFind(L'\\');
    return slash < 0 ? CString() : folder.Left(slash);
}

void CMultipleSelectorBrowser::AddTopLevel(bool withSpecialFolders)
{
    if (withSpecialFolders) {
        if (!m_strDesktop.IsEmpty())
            AddItem(m_strDesktop, CString(), 1);
        if (!m_strMyPictures.IsEmpty())
            AddItem(m_strMyPictures, CString(), 1);
    }
    for (WCHAR letter = L'A'; letter <= L'Z'; ++letter) {
        CString drive;
        drive.Format(L"%c:\\", letter);
        UINT type = ::GetDriveTypeW(drive);
        if (type == DRIVE_FIXED || type == DRIVE_REMOVABLE || type == DRIVE_REMOTE)
            AddItem(drive, CString(), 1);
    }
}

void CMultipleSelectorBrowser::NavigateTo(const CString& target)
{
    CWaitCursor wait;
    ClearItems();
    ClearThumbnails();
    m_strSearch.Empty();
    if (IsWindow())
        SetFocus();
    CString path = ParentRule(target);
    if (!path.IsEmpty() && !IsDirectory(path))
        path.Empty();
    m_bTopLevel = path.IsEmpty();
    if (m_bTopLevel)
        AddTopLevel(true);
    else
        ListFolder(path);
    m_nScroll = 0;
    m_nPressed = -1;
    m_nCurrent = -1;
    if (IsWindow())
        Invalidate();
}

bool CMultipleSelectorBrowser::IsBrowsable(const CString& path, CString& shownPath)
{
    CString lower = Lower(path);
    if (EndsWithAny(lower, {L".jpg", L"jpeg", L".png", L".bmp", L".psd", L".pcx", L".tif", L".tga", L".gif", L"tiff",
                            L".mpg"}))
        return true;
    if (!IsEncryptedFilePath(path))
        return false;
    shownPath = m_FileCipher.ReadOriginalName(path);
    if (!shownPath.IsEmpty())
        shownPath = path.Left(path.ReverseFind(L'\\') + 1) + shownPath;
    return EndsWithAny(Lower(shownPath), {L"jpeg", L".jpg", L".png", L".bmp", L".tif", L"tiff", L".gif", L".psd",
                                          L".pcx", L".tga"});
}

void CMultipleSelectorBrowser::ListFolder(const CString& folderPath)
{
    m_strSearch.MakeLower();
    if (IsWindow())
        SetFocus();
    CString folder = folderPath;
    if (folder.IsEmpty() || folder[folder.GetLength() - 1] != L'\\')
        folder += L'\\';
    m_strFolder = folder;

    std::vector<CString> folders;
    std::vector<ListedFile> files;
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(folder + L"*.*", &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            CString name = found.cFileName;
            if (name.IsEmpty() || name == L"." || name == L"..")
                continue;
            bool matches = m_strSearch.IsEmpty() || Lower(name).Find(m_strSearch) >= 0;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name[0] != L'.') {
                if (matches)
                    folders.push_back(folder + name);
            } else if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                // The filter compares the name on disk, so the stored name is read only for matches.
                CString shown;
                if (matches && IsBrowsable(folder + name, shown))
                    files.push_back({folder + name, shown});
            }
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    StableSortByKey<CString>(folders, FolderKey);
    StableSortByKey<ListedFile>(files, FileKey);

    if (m_strSearch.IsEmpty())
        AddItem(folder + L"..", CString(), 1);
    CNameCrypt names;
    for (const CString& path : folders) {
        CString shown;
        if (IsEncryptedPathName(path)) {
            CString decrypted = names.DecryptPathFileName(path);
            if (decrypted != path)
                shown = decrypted;
        }
        AddItem(path, shown, 1);
    }
    for (const ListedFile& file : files)
        AddItem(file.path, file.shownPath, 0);
}

void CMultipleSelectorBrowser::Relist()
{
    ClearItems();
    if (m_bTopLevel) {
        AddTopLevel(true);
        return;
    }
    CString path = ParentRule(m_strFolder);
    if (path.IsEmpty())
        AddTopLevel(false);
    else
        ListFolder(path);
}

void CMultipleSelectorBrowser::OnSearchChanged()
{
    Relist();
    m_nScroll = 0;
    if (IsWindow())
        Invalidate();
}

void CMultipleSelectorBrowser::ClearItems()
{
    for (BrowserItem* item : m_Items)
        delete item;
    m_Items.clear();
}

void CMultipleSelectorBrowser::AddItem(const CString& path, const CString& shownPath, BYTE folder)
{
    m_Items.push_back(new BrowserItem{path, shownPath, folder});
}

const BrowserItem* CMultipleSelectorBrowser::GetItem(int index) const
{
    return index >= 0 && index < (int)m_Items.size() ? m_Items[(size_t)index] : nullptr;
}

CString CMultipleSelectorBrowser::GetItemPath(int index) const
{
    const BrowserItem* item = GetItem(index);
    return item ? item->path : CString();
}

int CMultipleSelectorBrowser::CellWidth() const
{
    CRect client;
    if (IsWindow())
        GetClientRect(&client);
    return m_nColumns > 0 ? (client.Width() - SCROLLBAR_WIDTH) / m_nColumns : 0;
}

int CMultipleSelectorBrowser::CellHeight() const { return (int)(CellWidth() * 0.75); }

int CMultipleSelectorBrowser::HitTest(int x, int y) const
{
    int w = CellWidth(), h = CellHeight();
    // A window too narrow for a cell has none to hit.
    if (w <= 0 || h <= 0)
        return -1;
    x = std::min(x, w * m_nColumns - 1);
    return x / w + ((y - m_nScroll) / h) * m_nColumns;
}

void CMultipleSelectorBrowser::UpdateColumns()
{
    if (!IsWindow())
        return;
    CRect client;
    GetClientRect(&client);
    int columns = std::clamp((client.Width() - SCROLLBAR_WIDTH) / std::max(m_nThumbPixels, 1), 1, 8);
    SetColumns(columns);
    int w = CellWidth();
    std::lock_guard<std::mutex> lock(m_cacheLock);
    m_nThumbWidth = w - 10;
    m_nThumbHeight = (int)(w * 0.75) - 20;
}

void CMultipleSelectorBrowser::UpdateLayout()
{
    if (!m_BusyStrip.IsValid()) {
        m_BusyStrip.LoadFromResource(IDB_BROWSER_BUSY, L"PNG");
        m_nBusyFrame = m_BusyStrip.IsValid() ? 0 : -1;
    }
    m_FolderPicture.LoadFromResource(IDB_BROWSER_FOLDER, L"PNG");
    m_ParentPicture.LoadFromResource(IDB_BROWSER_PARENT, L"PNG");
    int w = CellWidth(), h = CellHeight();
    {
        std::lock_guard<std::mutex> lock(m_cacheLock);
        m_nThumbWidth = w - 10;
        m_nThumbHeight = h - 20;
    }
    if (m_FolderPicture.IsValid()) {
        double ratio = (double)m_FolderPicture.GetHeight() / m_FolderPicture.GetWidth();
        int boxWidth = w - 10, boxHeight = (int)(boxWidth * ratio);
        if (h - 20 < boxHeight) {
            boxHeight = h - 20;
            boxWidth = (int)(boxHeight / ratio);
        }
        if (boxWidth > 0 && boxHeight > 0) {
            ResizeInPlace(m_FolderPicture, boxWidth, boxHeight, 0);
            ResizeInPlace(m_ParentPicture, boxWidth, boxHeight, 0);
        }
    }
    if (!IsRunning()) {
        m_LoaderAbort = 0;
        Start();
    }
}

void CMultipleSelectorBrowser::ShowPreview(int index)
{
    if (m_Preview.IsValid()) {
        WipePicture(m_Preview);
        Invalidate();
        return;
    }
    const BrowserItem* item = GetItem(index);
    if (!item || item->folder)
        return;
    CRect area;
    GetClientRect(&area);
    area.DeflateRect(60, 60);
    if (area.Width() < 180)
        return;
    if (!LoadBrowserPicture(m_Preview, item->path, m_FileCipher, area.Width(), area.Height()))
        return;
    int pw = m_Preview.GetWidth(), ph = m_Preview.GetHeight();
    // Only the JPEG reader records a full size of its own.
    if (m_Preview.m_originalWidth <= 0 || m_Preview.m_originalHeight <= 0) {
        m_Preview.m_originalWidth = pw;
        m_Preview.m_originalHeight = ph;
    }
    m_strPreviewCaption.Format(L"%s (%dx%d)", item->path.GetString(), m_Preview.m_originalWidth,
                               m_Preview.m_originalHeight);
    if (pw > area.Width() || ph > area.Height()) {
        float scale = std::max((float)pw / area.Width(), (float)ph / area.Height());
        ResizeInPlace(m_Preview, (int)(pw / scale), (int)(ph / scale), 17);
    }
    Invalidate();
}

void CMultipleSelectorBrowser::OnSize(UINT type, int cx, int cy)
{
    CWnd::OnSize(type, cx, cy);
    UpdateColumns();
}

void CMultipleSelectorBrowser::OnDestroy()
{
    m_bStop = 1;
    m_LoaderAbort = 1;
    for (int wait = 0; wait < 30 && IsRunning(); ++wait)
        WaitForExit(100);
    // The last resort: a loader that did not end by itself is terminated.
    if (IsRunning())
        m_bLoaderTerminated = !Stop();
    CWnd::OnDestroy();
}
