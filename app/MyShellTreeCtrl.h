// CMyMFCShellTreeCtrl: the folder tree of the "Folders" pane. Beyond the
// framework's shell tree it shows folder names encrypted by the program
// decrypted, marked with a trailing "*" in red (once the list has made the
// tree select a folder), takes item texts from a name cache that the file
// list fills too, and selects folders by those cached names.
#pragma once

#include "app/PidlNameCache.h"
#include "crypt/NameCrypt.h"
#include "framework/windows/CShellTreeCtrl.h"

class CMyMFCShellTreeCtrl : public CShellTreeCtrl {
public:
    // The cached name; once names are decrypted, a folder name the key
    // decrypts is shown as the plain name and "*".
    CString OnGetItemText(const ShellItemInfo* info) override;
    void OnCustomDraw(NMTVCUSTOMDRAW* draw, LRESULT* result) override;

    // Selects the tree item of the folder, expanding the path to it; with
    // `expand` the folder opens too. True when an item was selected. From
    // the first call on, folder names are shown decrypted.
    bool SelectPidl(LPCITEMIDLIST pidl, bool expand) override;
    // The list's name for an item replaces the shell's.
    void CacheDisplayName(LPCITEMIDLIST pidl, const CString& name);
    // Collapses the selected folder and drops its children; they are listed
    // again on the next expansion.
    void RefreshSelected();
    // Dispatches at most one waiting message; 1 (leaving it queued) when
    // that message ends the program or scrolls.
    int PumpOneMessage();

    BYTE m_bDecryptNames = 0;
    CNameCrypt m_NameCrypt;
    CPidlNameCache m_NameCache;

    // The colour of decrypted names.
    static const COLORREF DECRYPTED_NAME_COLOR = RGB(205, 55, 55);

private:
    // The child whose cached name is `name` (ignoring case), or null.
    HTREEITEM FindChildNamed(HTREEITEM parent, const CString& name);
};
