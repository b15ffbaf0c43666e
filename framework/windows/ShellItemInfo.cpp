#include "framework/windows/ShellItemInfo.h"

ShellItemInfo* CreateShellItemInfo(IShellFolder* parentFolder, LPCITEMIDLIST parentPidl, LPCITEMIDLIST relative)
{
    auto* info = new ShellItemInfo;
    info->pParentFolder = parentFolder;
    if (parentFolder)
        parentFolder->AddRef();
    info->pidlFQ = ::ILCombine(parentPidl, relative);
    info->pidlRel = ::ILClone(relative);
    return info;
}

void FreeShellItemInfo(ShellItemInfo* info)
{
    if (!info)
        return;
    if (info->pParentFolder)
        info->pParentFolder->Release();
    ::ILFree(info->pidlFQ);
    ::ILFree(info->pidlRel);
    delete info;
}

CString PathOfPidl(LPCITEMIDLIST pidl)
{
    WCHAR path[MAX_PATH] = {};
    if (!pidl || !::SHGetPathFromIDListW(pidl, path))
        return CString();
    return CString(path);
}
