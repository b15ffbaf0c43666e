#include "framework/windows/CMenu.h"

#include "framework/windows/CWnd.h"

CMenu::CMenu(CMenu&& other) noexcept : m_hMenu(other.m_hMenu), m_owned(other.m_owned)
{
    other.m_hMenu = nullptr;
    other.m_owned = false;
}

CMenu& CMenu::operator=(CMenu&& other) noexcept
{
    if (this != &other) {
        DestroyMenu();
        m_hMenu = other.m_hMenu;
        m_owned = other.m_owned;
        other.m_hMenu = nullptr;
        other.m_owned = false;
    }
    return *this;
}

BOOL CMenu::LoadMenu(UINT resourceId)
{
    return Attach(::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId)));
}

BOOL CMenu::CreatePopupMenu() { return Attach(::CreatePopupMenu()); }

BOOL CMenu::Attach(HMENU menu)
{
    if (!menu || m_hMenu)
        return FALSE;
    m_hMenu = menu;
    m_owned = true;
    return TRUE;
}

HMENU CMenu::Detach()
{
    HMENU menu = m_hMenu;
    m_hMenu = nullptr;
    m_owned = false;
    return menu;
}

BOOL CMenu::DestroyMenu()
{
    HMENU menu = m_hMenu;
    bool owned = m_owned;
    Detach();
    return owned && menu ? ::DestroyMenu(menu) : FALSE;
}

CString CMenu::GetMenuString(UINT item, UINT flags) const
{
    CString text;
    int length = ::GetMenuStringW(m_hMenu, item, nullptr, 0, flags);
    if (length > 0) {
        WCHAR* buffer = text.GetBuffer(length + 1);
        int got = ::GetMenuStringW(m_hMenu, item, buffer, length + 1, flags);
        text.ReleaseBuffer(got);
    }
    return text;
}

void CMenu::RemoveAll()
{
    for (int i = GetMenuItemCount() - 1; i >= 0; --i)
        ::DeleteMenu(m_hMenu, (UINT)i, MF_BYPOSITION);
}

int CMenu::FindCommand(UINT id) const
{
    int count = GetMenuItemCount();
    for (int i = 0; i < count; ++i) {
        if (!GetSubMenu(i) && GetMenuItemID(i) == id)
            return i;
    }
    return -1;
}

bool CMenu::ContainsCommand(HMENU menu, UINT id)
{
    int count = ::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if (HMENU sub = ::GetSubMenu(menu, i)) {
            if (ContainsCommand(sub, id))
                return true;
        } else if (::GetMenuItemID(menu, i) == id) {
            return true;
        }
    }
    return false;
}

void CMenu::AppendCopyOf(HMENU source)
{
    CMenu from(source);
    int count = from.GetMenuItemCount();
    for (int i = 0; i < count; ++i) {
        UINT state = from.GetMenuState((UINT)i, MF_BYPOSITION);
        CString text = from.GetMenuString((UINT)i, MF_BYPOSITION);
        if (HMENU sub = from.GetSubMenu(i)) {
            CMenu copy;
            copy.CreatePopupMenu();
            copy.AppendCopyOf(sub);
            AppendMenu(MF_POPUP | MF_STRING, (UINT_PTR)copy.Detach(), text);
        } else if (state & MF_SEPARATOR) {
            AppendMenu(MF_SEPARATOR);
        } else {
            AppendMenu(MF_STRING | (state & (MF_GRAYED | MF_CHECKED)), from.GetMenuItemID(i), text);
        }
    }
}

UINT CMenu::TrackPopupMenu(UINT flags, int x, int y, CWnd* owner) const
{
    return (UINT)::TrackPopupMenu(m_hMenu, flags, x, y, 0, owner ? owner->m_hWnd : nullptr, nullptr);
}
