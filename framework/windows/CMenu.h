// CMenu: a menu handle, owned (loaded or created here: destroyed with the
// object) or borrowed (a submenu, a window's menu).
#pragma once

#include "framework/base/CString.h"

#include <windows.h>

class CWnd;

class CMenu {
public:
    CMenu() = default;
    // Borrows `menu`.
    explicit CMenu(HMENU menu) : m_hMenu(menu) {}
    ~CMenu() { DestroyMenu(); }
    CMenu(CMenu&& other) noexcept;
    CMenu& operator=(CMenu&& other) noexcept;
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    HMENU m_hMenu = nullptr;
    operator HMENU() const { return m_hMenu; }

    BOOL LoadMenu(UINT resourceId);
    BOOL CreatePopupMenu();
    // Takes ownership of `menu`.
    BOOL Attach(HMENU menu);
    HMENU Detach();
    // Destroys an owned menu; a borrowed one is only forgotten.
    BOOL DestroyMenu();

    int GetMenuItemCount() const { return ::GetMenuItemCount(m_hMenu); }
    // The command at `position`; 0 for a separator, -1 for a submenu.
    UINT GetMenuItemID(int position) const { return ::GetMenuItemID(m_hMenu, position); }
    HMENU GetSubMenu(int position) const { return ::GetSubMenu(m_hMenu, position); }
    CString GetMenuString(UINT item, UINT flags) const;
    UINT GetMenuState(UINT item, UINT flags) const { return ::GetMenuState(m_hMenu, item, flags); }

    BOOL AppendMenu(UINT flags, UINT_PTR idOrSubMenu = 0, const WCHAR* text = nullptr)
    {
        return ::AppendMenuW(m_hMenu, flags, idOrSubMenu, text);
    }
    BOOL InsertMenu(UINT position, UINT flags, UINT_PTR idOrSubMenu = 0, const WCHAR* text = nullptr)
    {
        return ::InsertMenuW(m_hMenu, position, flags, idOrSubMenu, text);
    }
    void RemoveAll();

    // Position of the item with command `id` in this menu (not its
    // submenus), or -1.
    int FindCommand(UINT id) const;
    // Whether `id` is an item of `menu` or of any of its submenus.
    static bool ContainsCommand(HMENU menu, UINT id);
    // Appends copies of every item of `source`, submenus included.
    void AppendCopyOf(HMENU source);

    // Shows the menu at a screen point; with TPM_RETURNCMD the chosen
    // command is returned instead of being sent to `owner`.
    UINT TrackPopupMenu(UINT flags, int x, int y, CWnd* owner) const;

private:
    bool m_owned = false;
};
