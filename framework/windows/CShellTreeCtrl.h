// CShellTreeCtrl: the folder tree over the shell's folders, rooted at the
// Desktop. Children are listed when an item is first expanded and dropped
// again when it collapses. Each item keeps a ShellItemInfo in its data.
//
// A derived tree changes what it shows through the virtual hooks: the text
// of an item (OnGetItemText), the selection of a folder (SelectPidl) and
// custom drawing (OnCustomDraw). A related list (SetRelatedList) is shown
// the folder the user selects.
#pragma once

#include "framework/windows/CTreeCtrl.h"
#include "framework/windows/ShellItemInfo.h"

// The list the tree shows its selected folder in.
class CShellTreeListLink {
public:
    virtual ~CShellTreeListLink() = default;
    virtual void DisplayFolder(LPCITEMIDLIST pidl) = 0;
};

class CShellTreeCtrl : public CTreeCtrl {
public:
    CShellTreeCtrl() = default;
    ~CShellTreeCtrl() override;

    // Creates the tree and fills its root (the Desktop, expanded).
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    // Empties the tree and fills the root again.
    void Refresh();

    void SetRelatedList(CShellTreeListLink* list) { m_pRelatedList = list; }

    ShellItemInfo* GetItemInfo(HTREEITEM item) const { return (ShellItemInfo*)GetItemData(item); }
    // The file-system path of the item's folder; FALSE when it has none.
    BOOL GetItemPath(CString& path, HTREEITEM item) const;
    // Collapses the item and drops its children; they are listed again on
    // the next expansion.
    void CollapseAndDiscard(HTREEITEM item);
    // Selects without telling the related list.
    void SelectItemQuietly(HTREEITEM item);
    // Selects (quietly) the item of the folder `pidl` (from the Desktop),
    // listing the folders on the way; with `expand` the folder opens too.
    // True when an item was selected. The related list calls it when it
    // shows another folder.
    virtual bool SelectPidl(LPCITEMIDLIST pidl, bool expand);

    DWORD m_dwEnumFlags = SHCONTF_FOLDERS;

    // Lists the children of an item that has none listed.
    BOOL FillChildren(HTREEITEM item);
    // Adds the children of a listed item that came since it was listed (a
    // folder another program made); those listed stay as they are, selection
    // included. FALSE when the item's folder cannot be bound.
    BOOL AddNewChildren(HTREEITEM item);

    // Hooks
    virtual CString OnGetItemText(const ShellItemInfo* info);
    virtual void OnCustomDraw(NMTVCUSTOMDRAW* draw, LRESULT* result);

    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    // Lists the children of `parent`, whose folder is `parentFolder` (with
    // the list `parentPidl` from the Desktop); with `onlyNew`, those not
    // yet under `parent`.
    HRESULT EnumObjects(HTREEITEM parent, IShellFolder* parentFolder, LPCITEMIDLIST parentPidl, bool onlyNew = false);
    bool HasChildFor(HTREEITEM parent, LPCITEMIDLIST fullPidl) const;
    // Inserts the item last under `parent`. `attributes` are the item's
    // SFGAO_ flags (with SFGAO_FILESYSTEM and SFGAO_FOLDER asked for, plain
    // folders get their icons at once; other items' icons are asked of the
    // shell when first drawn). The record belongs to the item from here on.
    HTREEITEM InsertShellItem(HTREEITEM parent, ShellItemInfo* info, const CString& text, ULONG attributes);
    // Sorts the children of `parent` in the folder's own order.
    void SortChildren(HTREEITEM parent, IShellFolder* folder);
    // The shell folder of an item (the Desktop for the root); the caller
    // releases it. Null when it cannot be bound.
    IShellFolder* BindItemFolder(HTREEITEM item) const;
    // TVN_ITEMEXPANDING: TRUE forbids the change.
    BOOL OnItemExpanding(NMTREEVIEWW* info);
    static int PlainFolderIcon(bool open);
    static bool IsPlainFileSystemFolder(const ShellItemInfo* info, ULONG attributes);
    static int CALLBACK CompareItems(LPARAM first, LPARAM second, LPARAM folder);
    void OnGetDispInfo(NMTVDISPINFOW* info);

    bool m_bQuietSelection = false;
    CShellTreeListLink* m_pRelatedList = nullptr;
};
