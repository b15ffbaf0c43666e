// CMyMFCShellListCtrl: the file list of the view. Beyond the framework's
// shell list it shows encrypted files under the plain name stored in their
// header and encrypted folder names decrypted, both followed by "*" and
// drawn in colour; takes the Type column of encrypted files from the stored
// name; routes a double-click or Enter to the secure viewers, the temporary
// opening of encrypted files or the shell; puts the program's commands on
// top of the shell's context menu; lets its items be dragged out to other
// programs as files; and tells the view of selections and open requests
// with the messages of ListMessages.h.
#pragma once

#include "app/ListMessages.h"
#include "app/StoredNameReader.h"
#include "crypt/FileCipher.h"
#include "crypt/NameCrypt.h"
#include "framework/windows/CShellListCtrl.h"
#include "framework/base/Collections.h"

#include <map>

class CMyMFCShellTreeCtrl;

class CMyMFCShellListCtrl : public CShellListCtrl {
public:
    CMyMFCShellListCtrl();

    using CShellListCtrl::DisplayFolder;

    // The full path of the focused item, or "".
    CString GetFocusedItemPath() const;
    // Appends the paths of the selected items that have one, first selected
    // position onwards; the array is not emptied first.
    void GetSelectedPaths(CStringArray& paths) const;
    // Shows the file's folder when another one is shown and selects the
    // file (only it), scrolled into view; an empty path does nothing. 0.
    int SelectItemByPath(const CString& path);
    // Runs the shell's default command of a file given by its path, owned by
    // the view; quiet on any failure. True when a command was started.
    bool OpenWithDefaultVerb(const CString& path);

    // Hooks of the framework's list
    void OnSetColumns() override;
    // The shell's texts, with encrypted names shown decrypted and the type
    // of an encrypted file taken from its stored name; folder names go to
    // the related tree's name cache.
    void SetItemTexts(int item, const ShellItemInfo* info, ULONG attributes) override;
    // By Name the names shown (the plain names of encrypted items), folders first.
    void Sort(int column, BOOL ascending = TRUE) override;
    int OnCompareItems(LPARAM item1, LPARAM item2, int column) override;
    void DoDefault(int item) override;
    void OnContextMenu(CPoint point) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    // Data of the messages to the view
    CString m_strCommandPath;   // UWM_LIST_COMMAND
    int m_nCommand = 0;
    // Copies of the view's settings
    int m_bTextView = 0;        // a double-click on a text file opens the secure editor
    int m_bImageView = 0;       // ... on an image, the secure image viewer
    int m_bVideoPlayer = 0;     // ... on a media file, the program's player (when loaded)
    int m_bAllowDoubleClick;    // "Settings"/"allowdoubleclick": 0 leaves files alone
    CNameCrypt m_NameCrypt;
    CFileCipher m_FileCipher;   // reads the plain names of encrypted files

private:
    // Reads the stored names of the listed folder's encrypted files on helper
    // threads while the folder is listed; the names are shown before the
    // listing ends. Used from the UI thread.
    CStoredNameReader m_nameReader;
    // Sets the Name and Type texts of an encrypted file from its stored
    // plain name, or the shell's texts when none could be read.
    void ShowStoredName(int item, const CString& plainName);

public:
    CString m_strSelPath;       // UWM_LIST_SELCHANGED, UWM_OPEN_SECURE_VIEWER
    CString m_strSelName;

    // Text colours of decrypted names, and the colours of encrypted images.
    static const COLORREF ENCRYPTED_TEXT = RGB(205, 55, 55);
    static const COLORREF ENCRYPTED_IMAGE_TEXT = RGB(190, 55, 39);
    static const COLORREF ENCRYPTED_GIF_BACK = RGB(230, 229, 255);
    static const COLORREF ENCRYPTED_IMAGE_BACK = RGB(253, 255, 208);

    // Name lists (lower case)
    // The last four characters of an image's name.
    static bool IsImageTail(const CString& name);
    // A whole extension, dot included.
    static bool IsDoubleClickImage(const CString& extension);
    static bool IsTextExtension(const CString& extension);

protected:
    // Lists the folder and shows the stored names read meanwhile.
    HRESULT EnumObjects(IShellFolder* folder, LPCITEMIDLIST parentPidl) override;
    // LVN_BEGINDRAG: the selected items leave as files (ShellListDragDrop.cpp).
    void OnBeginDrag();

private:
    CMyMFCShellTreeCtrl* RelatedShellTree() const;
    // The Type text of an encrypted file from its stored plain name.
    static CString TypeExtensionOf(const CString& plainName);
    void OnCustomDraw(NMLVCUSTOMDRAW* draw, LRESULT* result);
    void OnItemChanged(const NMLISTVIEW* change);
    void OnDoubleClick(CPoint point);
    // Sends UWM_LIST_COMMAND with ID_OPEN_TEMP_DECRYPTED for the path.
    void SendOpenTempDecrypted(const CString& path);
    void SendOpenViewer(const CString& path, ViewerKind kind);
    int CompareFileStatus(const ShellItemInfo* a, const ShellItemInfo* b, int column) const;
    CString SortTypeOf(const ShellItemInfo* info);
    int CompareShownNames(const ShellItemInfo* a, const ShellItemInfo* b) const;

    // What a sort by Name compares, by item record; only while Sort runs.
    struct SortName {
        bool folder;
        CString name;  // as shown, without the trailing "*"
    };
    std::map<LPARAM, SortName> m_sortNames;
};
