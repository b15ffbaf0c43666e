// CShellListCtrl: the items of one shell folder in a list-view control,
// with the system's icons and the columns Name, Size, Type and Modified.
// Each item keeps a ShellItemInfo in its data (freed when the item goes).
//
// A derived list changes what it shows through the virtual hooks: the
// columns (OnSetColumns), the texts of a listed item (SetItemTexts, with the
// shell's texts from OnGetItemText), the order of a sort (OnCompareItems),
// what opening an item does (DoDefault, reached by a double-click and by
// Enter) and the context menu (OnContextMenu).
//
// The list tells its parent when it shows another folder (the registered
// ChangeCurrentFolderMessage) and after it ran one of the shell's commands
// (AfterShellCommandMessage, wParam the command's id). A related tree
// (SetRelatedTree) shows the list the folder the user selects and is told
// to select the folder the list shows.
#pragma once

#include "framework/windows/CListCtrl.h"
#include "framework/windows/CMenu.h"
#include "framework/windows/CShellContextMenu.h"
#include "framework/windows/CShellTreeCtrl.h"
#include "framework/windows/Geometry.h"

#include <map>
#include <vector>

// Sent to the parent after the list showed another folder.
UINT ChangeCurrentFolderMessage();
// Sent to the parent after a command of the shell's context menu ran;
// wParam is the command's id in the menu.
UINT AfterShellCommandMessage();

class CShellListCtrl : public CListCtrl, public CShellTreeListLink {
public:
    enum Column { COLUMN_NAME = 0, COLUMN_SIZE = 1, COLUMN_TYPE = 2, COLUMN_MODIFIED = 3 };

    CShellListCtrl() = default;
    ~CShellListCtrl() override;

    // Creates the list with the system's image lists and the columns; it
    // shows nothing until a folder is displayed.
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);

    // Showing a folder. With an item record: the record's folder becomes
    // the current one (bound through its parent folder; the Desktop when it
    // has none), is listed, the related tree selects it and the parent is
    // told. A null record lists the current folder again, telling no one.
    // A folder that cannot be bound leaves the list empty and without a
    // current folder; the error is returned.
    HRESULT DisplayFolder(const ShellItemInfo* item);
    // A folder by its path (parsed from the Desktop).
    HRESULT DisplayFolder(const WCHAR* path);
    // A folder by its list from the Desktop (the related tree's choice).
    void DisplayFolder(LPCITEMIDLIST pidl) override;
    HRESULT DisplayFolderPidl(LPCITEMIDLIST pidl);
    // The current folder's parent; fails at the Desktop.
    HRESULT DisplayParentFolder();
    // Lists the current folder again.
    HRESULT Refresh() { return DisplayFolder((const ShellItemInfo*)nullptr); }

    // The current folder: its file-system path (FALSE when there is no
    // current folder or it has no path), its display name, its shell folder
    // and its list from the Desktop (both null when there is none).
    BOOL GetCurrentFolder(CString& path) const;
    BOOL GetCurrentFolderName(CString& name) const;
    IShellFolder* GetCurrentShellFolder() const { return m_psfCurFolder; }
    LPCITEMIDLIST GetCurrentPidl() const { return m_pidlCurFQ; }
    bool IsDesktopShown() const { return m_pidlCurFQ && m_pidlCurFQ->mkid.cb == 0; }

    // Items
    ShellItemInfo* GetItemInfo(int item) const { return item < 0 ? nullptr : (ShellItemInfo*)GetItemData(item); }
    // The item's file-system path; FALSE when it has none.
    BOOL GetItemPath(CString& path, int item) const;
    // Whether the item is a folder (or a container the shell opens like one).
    bool IsItemFolder(int item) const;

    // The related tree; both learn of each other.
    void SetRelatedTree(CShellTreeCtrl* tree);
    BOOL m_bNoNotify = FALSE;     // the related tree is not told of folder changes
    BOOL m_bContextMenu = TRUE;   // the shell's context menu is offered
    DWORD m_dwEnumFlags = SHCONTF_FOLDERS | SHCONTF_NONFOLDERS;

    // Sorts by a column (the parent folder's order unless OnCompareItems
    // says otherwise). A click on a column header sorts by it, the same
    // column again in the other direction.
    virtual void Sort(int column, BOOL ascending = TRUE);
    int GetSortColumn() const { return m_nSortColumn; }
    BOOL IsSortAscending() const { return m_bAscending; }

    // Hooks
    virtual void OnSetColumns();
    // Sets the texts of an item just listed; `attributes` are its SFGAO_
    // flags (SFGAO_FOLDER among them). The shell's texts by default.
    virtual void SetItemTexts(int item, const ShellItemInfo* info, ULONG attributes);
    // Compares two item records (item data) for a column: negative, 0 or
    // positive; a descending sort negates it.
    virtual int OnCompareItems(LPARAM item1, LPARAM item2, int column);
    // Opens the item: a folder is shown, anything else gets the shell's
    // default command.
    virtual void DoDefault(int item);
    // The context menu at a screen point ((-1,-1) from the keyboard): the
    // shell's menu of the selected items.
    virtual void OnContextMenu(CPoint point);

    // Building blocks
    // The shell's text of an item's column: its name, the size ("12 KB"),
    // the type name and the time of the last change.
    CString OnGetItemText(int item, int column, const ShellItemInfo* info);
    // Runs the shell's default command of the item, owned by the parent
    // window, and tells the parent; true when a command ran.
    bool RunDefaultShellCommand(IShellFolder* folder, LPCITEMIDLIST relative);
    // Runs command `id` of a filled shell menu and tells the parent.
    bool RunShellCommand(CShellContextMenu& menu, UINT id);
    // Whether a context menu may show now: none is open, the shell's menu
    // is enabled (else the default handling runs) and a folder is shown.
    bool CanShowContextMenu();
    // The screen point just below the item's lower-left corner.
    CPoint MenuPointBelow(int item) const;
    // The relative lists of `first` and of the other selected items.
    std::vector<LPCITEMIDLIST> MenuItems(int first) const;
    // The shell's menu of the items in a new popup; false on any failure.
    bool CreateShellMenu(CShellContextMenu& shellMenu, CMenu& popup, const std::vector<LPCITEMIDLIST>& items);
    // Tracks the popup with the shell's menu open: the command chosen, or 0.
    UINT TrackShellMenu(CShellContextMenu& shellMenu, CMenu& popup, CPoint point);

    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    // Lists the items of `folder` (whose list from the Desktop is `parentPidl`),
    // setting each item's texts with SetItemTexts; a derived list may finish
    // its texts once all items are in, before they are sorted.
    virtual HRESULT EnumObjects(IShellFolder* folder, LPCITEMIDLIST parentPidl);

    CShellTreeCtrl* m_pRelatedTree = nullptr;
    // While a folder is listed: its path ending in "\\", or "" when it has
    // none; found once per listing, as the path of each item costs the shell
    // a walk of its whole item list.
    CString m_strListedFolder;

private:
    // Makes the folder current (the record's folder bound), or none on failure.
    HRESULT SetCurrentFolder(const ShellItemInfo* item);
    void ReleaseCurrentFolder();
    void TellRelatedTree();
    // Appends an item for the record (which the item owns from here on);
    // `attributes` are its SFGAO_* flags (shared and ghosted items are
    // marked). The item's index, or -1 (the record is then freed).
    int InsertShellItem(ShellItemInfo* info, ULONG attributes);
    CString TypeNameOf(const ShellItemInfo* info, const WIN32_FIND_DATAW* data);
    // The item's find data; false when the shell has none for it (the
    // Desktop's own items: My Computer, Trash, the Unix root, Documents).
    static bool ReadFindData(const ShellItemInfo* info, WIN32_FIND_DATAW& data);
    static int CALLBACK CompareCallback(LPARAM item1, LPARAM item2, LPARAM sort);
    void OnGetDispInfo(NMLVDISPINFOW* info);

    IShellFolder* m_psfCurFolder = nullptr;
    LPITEMIDLIST m_pidlCurFQ = nullptr;
    int m_nSortColumn = COLUMN_NAME;
    BOOL m_bAscending = TRUE;

    // Type names of plain files by lower-case extension ("" for none), and
    // of file-system folders under L"\\".
    std::map<CString, CString> m_typeNames;
};
