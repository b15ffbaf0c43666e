#include "framework/windows/CShellContextMenu.h"

#include <shellapi.h>
#include <shlwapi.h>

IContextMenu2* CShellContextMenu::s_pOpenMenu2 = nullptr;
IContextMenu3* CShellContextMenu::s_pOpenMenu3 = nullptr;

CShellContextMenu::~CShellContextMenu() { Release(); }

void CShellContextMenu::Release()
{
    if (m_pMenu3)
        m_pMenu3->Release();
    if (m_pMenu2)
        m_pMenu2->Release();
    if (m_pMenu)
        m_pMenu->Release();
    m_pMenu3 = nullptr;
    m_pMenu2 = nullptr;
    m_pMenu = nullptr;
    m_strFilePath.Empty();
    m_nDefaultId = 0;
}

CString CShellContextMenu::FilePathOf(IShellFolder* folder, LPCITEMIDLIST item)
{
    ULONG attributes = SFGAO_FILESYSTEM | SFGAO_FOLDER;
    STRRET answer = {};
    WCHAR path[MAX_PATH] = {};
    if (FAILED(folder->GetAttributesOf(1, &item, &attributes)) || !(attributes & SFGAO_FILESYSTEM) ||
        (attributes & SFGAO_FOLDER) || FAILED(folder->GetDisplayNameOf(item, SHGDN_FORPARSING, &answer)) ||
        FAILED(::StrRetToBufW(&answer, item, path, MAX_PATH)))
        return CString();
    return CString(path);
}

bool CShellContextMenu::Create(IShellFolder* folder, HWND owner, const std::vector<LPCITEMIDLIST>& items)
{
    Release();
    if (!folder || items.empty())
        return false;
    std::vector<LPCITEMIDLIST> copy(items);
    if (FAILED(folder->GetUIObjectOf(owner, (UINT)copy.size(), copy.data(), IID_IContextMenu, nullptr,
                                     (void**)&m_pMenu)) ||
        !m_pMenu) {
        m_pMenu = nullptr;
        return false;
    }
    if (FAILED(m_pMenu->QueryInterface(IID_IContextMenu2, (void**)&m_pMenu2)))
        m_pMenu2 = nullptr;
    if (FAILED(m_pMenu->QueryInterface(IID_IContextMenu3, (void**)&m_pMenu3)))
        m_pMenu3 = nullptr;
    if (items.size() == 1)
        m_strFilePath = FilePathOf(folder, items[0]);
    return true;
}

bool CShellContextMenu::CreateForPath(const CString& path, HWND owner)
{
    Release();
    int slash = path.ReverseFind(L'\\');
    if (slash < 0)
        return false;
    CString folderPath = path.Left(slash + 1);
    CString name = path.Mid(slash + 1);
    if (name.IsEmpty())
        return false;
    IShellFolder* desktop = nullptr;
    if (FAILED(::SHGetDesktopFolder(&desktop)))
        return false;
    bool created = false;
    LPITEMIDLIST folderPidl = nullptr;
    ULONG eaten = 0;
    if (SUCCEEDED(desktop->ParseDisplayName(owner, nullptr, const_cast<WCHAR*>(folderPath.GetString()), &eaten,
                                            &folderPidl, nullptr))) {
        IShellFolder* folder = nullptr;
        HRESULT bound = folderPidl->mkid.cb
                            ? desktop->BindToObject(folderPidl, nullptr, IID_IShellFolder, (void**)&folder)
                            : desktop->QueryInterface(IID_IShellFolder, (void**)&folder);
        if (SUCCEEDED(bound) && folder) {
            LPITEMIDLIST item = nullptr;
            if (SUCCEEDED(folder->ParseDisplayName(owner, nullptr, const_cast<WCHAR*>(name.GetString()), &eaten,
                                                   &item, nullptr))) {
                created = Create(folder, owner, {item});
                ::CoTaskMemFree(item);
            }
            folder->Release();
        }
        ::CoTaskMemFree(folderPidl);
    }
    desktop->Release();
    return created;
}

bool CShellContextMenu::Fill(HMENU popup, UINT flags)
{
    if (!m_pMenu || FAILED(m_pMenu->QueryContextMenu(popup, 0, FIRST_ID, LAST_ID, flags)))
        return false;
    UINT id = ::GetMenuDefaultItem(popup, FALSE, 0);
    if (id != (UINT)-1)
        m_nDefaultId = id;
    return true;
}

UINT CShellContextMenu::GetDefaultCommand()
{
    if (!m_pMenu)
        return 0;
    UINT flagSets[] = {CMF_DEFAULTONLY | CMF_EXPLORE, CMF_EXPLORE};
    for (UINT flags : flagSets) {
        HMENU popup = ::CreatePopupMenu();
        if (!popup)
            return 0;
        UINT id = 0;
        if (Fill(popup, flags)) {
            UINT found = ::GetMenuDefaultItem(popup, FALSE, 0);
            if (found != (UINT)-1)
                id = found;
        }
        int count = ::GetMenuItemCount(popup);
        ::DestroyMenu(popup);
        if (id || count > 0)
            return id;
    }
    return 0;
}

bool CShellContextMenu::Invoke(UINT id, HWND owner, int show)
{
    if (!m_pMenu || id < FIRST_ID || id > LAST_ID)
        return false;
    if (id == m_nDefaultId && !m_strFilePath.IsEmpty()) {
        SHELLEXECUTEINFOW execute = {};
        execute.cbSize = sizeof execute;
        execute.fMask = SEE_MASK_FLAG_NO_UI;
        execute.hwnd = owner;
        execute.lpFile = m_strFilePath;
        execute.nShow = show;
        return ::ShellExecuteExW(&execute) != FALSE;
    }
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof info;
    info.hwnd = owner;
    info.lpVerb = MAKEINTRESOURCEA(id - FIRST_ID);
    info.nShow = show;
    return SUCCEEDED(m_pMenu->InvokeCommand(&info));
}

CShellContextMenu::OpenGuard::OpenGuard(CShellContextMenu* menu)
{
    s_pOpenMenu2 = menu ? menu->m_pMenu2 : nullptr;
    s_pOpenMenu3 = menu ? menu->m_pMenu3 : nullptr;
}

CShellContextMenu::OpenGuard::~OpenGuard()
{
    s_pOpenMenu2 = nullptr;
    s_pOpenMenu3 = nullptr;
}

bool CShellContextMenu::ForwardMenuMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    switch (message) {
    case WM_INITMENUPOPUP:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_MENUCHAR:
        break;
    default:
        return false;
    }
    // Items the program drew itself are not the shell's.
    if (message == WM_DRAWITEM && ((const DRAWITEMSTRUCT*)lParam)->CtlType != ODT_MENU)
        return false;
    if (message == WM_MEASUREITEM && ((const MEASUREITEMSTRUCT*)lParam)->CtlType != ODT_MENU)
        return false;
    LRESULT answer = 0;
    if (s_pOpenMenu3) {
        if (FAILED(s_pOpenMenu3->HandleMenuMsg2(message, wParam, lParam, &answer)))
            return false;
    } else if (s_pOpenMenu2 && message != WM_MENUCHAR) {
        if (FAILED(s_pOpenMenu2->HandleMenuMsg(message, wParam, lParam)))
            return false;
        answer = message == WM_INITMENUPOPUP ? 0 : TRUE;
    } else {
        return false;
    }
    if (result)
        *result = answer;
    return true;
}
