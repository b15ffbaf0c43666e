// ShellItemInfo: the record the shell tree and the shell list keep in each
// of their items; and the file-system path of a shell item list.
#pragma once

#include "framework/base/CString.h"

#include <shlobj.h>

struct ShellItemInfo {
    IShellFolder* pParentFolder = nullptr;  // holds a reference; null for the Desktop
    LPITEMIDLIST pidlFQ = nullptr;          // from the Desktop
    LPITEMIDLIST pidlRel = nullptr;         // relative to the parent folder
};

// A new record for child `relative` of `parentFolder`, whose list from the
// Desktop is `parentPidl` (copies of the lists; the folder's reference
// count is raised).
ShellItemInfo* CreateShellItemInfo(IShellFolder* parentFolder, LPCITEMIDLIST parentPidl, LPCITEMIDLIST relative);
// Releases the folder and frees the lists and the record; null does nothing.
void FreeShellItemInfo(ShellItemInfo* info);

// The file-system path of an item list from the Desktop; "" when it has none.
CString PathOfPidl(LPCITEMIDLIST pidl);
