#include "framework/windows/FolderChooser.h"

#include "framework/windows/ShellItemInfo.h"

#include <shlobj.h>

namespace {

FolderChooserHook& Hook()
{
    static FolderChooserHook hook;
    return hook;
}

int CALLBACK StartAt(HWND dialog, UINT message, LPARAM, LPARAM start)
{
    if (message == BFFM_INITIALIZED && start)
        ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, start);
    return 0;
}

}  // namespace

FolderChooserHook AfxSetFolderChooserHook(FolderChooserHook hook)
{
    FolderChooserHook previous = std::move(Hook());
    Hook() = std::move(hook);
    return previous;
}

bool AfxChooseFolder(HWND owner, const CString& title, const CString& start, CString& chosen)
{
    if (Hook())
        return Hook()(owner, title, start, chosen);
    WCHAR name[MAX_PATH] = {};
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.pszDisplayName = name;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = StartAt;
    info.lParam = (LPARAM)start.GetString();
    LPITEMIDLIST pidl = ::SHBrowseForFolderW(&info);
    if (!pidl)
        return false;
    CString path = PathOfPidl(pidl);
    ::CoTaskMemFree(pidl);
    if (path.IsEmpty())
        return false;
    chosen = path;
    return true;
}
