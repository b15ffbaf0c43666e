// CShellContextMenu: the shell's context menu of some items of one folder
// (IContextMenu), filled into a popup menu the caller may add its own items
// to, and the invocation of the shell's commands.
//
// While the popup is tracked, the shell's owner-drawn submenus need the
// menu messages of the owner window: the object publishes its
// IContextMenu2/3 as the one open menu (HoldOpen) and the owner hands those
// messages to ForwardMenuMessage.
#pragma once

#include "framework/base/CString.h"

#include <shlobj.h>

#include <vector>

class CShellContextMenu {
public:
    // The range of command ids the shell's items get in the popup.
    static constexpr UINT FIRST_ID = 1;
    static constexpr UINT LAST_ID = 0x7FFF;

    CShellContextMenu() = default;
    ~CShellContextMenu();
    CShellContextMenu(const CShellContextMenu&) = delete;
    CShellContextMenu& operator=(const CShellContextMenu&) = delete;

    // The menu of `items` (lists relative to `folder`); false when the shell
    // has none.
    bool Create(IShellFolder* folder, HWND owner, const std::vector<LPCITEMIDLIST>& items);
    // The menu of one file given by its full path; false when the path
    // cannot be parsed or has no menu.
    bool CreateForPath(const CString& path, HWND owner);

    // Fills `popup` with the shell's items (ids FIRST_ID..LAST_ID, CMF_*
    // flags); false on failure.
    bool Fill(HMENU popup, UINT flags);
    // The id of the shell's default command, or 0. Asked with
    // CMF_DEFAULTONLY first; a shell that answers that query with an empty
    // menu is asked for its whole menu.
    UINT GetDefaultCommand();
    // Runs the shell's command `id` (from Fill) with `owner` as the parent
    // of anything it shows; true on success. The default command of one
    // file of the file system runs as the shell's execution of that file
    // (the action registered for its type), which every shell carries out
    // for files, quietly failing when there is none.
    bool Invoke(UINT id, HWND owner, int show = SW_SHOWNORMAL);

    // Publishes this menu as the open one until the returned guard ends.
    class OpenGuard {
    public:
        explicit OpenGuard(CShellContextMenu* menu);
        ~OpenGuard();
        OpenGuard(const OpenGuard&) = delete;
        OpenGuard& operator=(const OpenGuard&) = delete;
    };
    // The IContextMenu2 of the menu open now, or null.
    static IContextMenu2* GetOpenMenu2() { return s_pOpenMenu2; }
    // Hands WM_INITMENUPOPUP, WM_DRAWITEM, WM_MEASUREITEM and WM_MENUCHAR
    // to the open menu; true when it took the message.
    static bool ForwardMenuMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

private:
    void Release();

    // The one file of the file system the menu is for, or "".
    static CString FilePathOf(IShellFolder* folder, LPCITEMIDLIST item);

    IContextMenu* m_pMenu = nullptr;
    CString m_strFilePath;
    UINT m_nDefaultId = 0;
    IContextMenu2* m_pMenu2 = nullptr;
    IContextMenu3* m_pMenu3 = nullptr;

    static IContextMenu2* s_pOpenMenu2;
    static IContextMenu3* s_pOpenMenu3;
};
