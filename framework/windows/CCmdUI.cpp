#include "framework/windows/CCmdUI.h"

void CCmdUI::Enable(BOOL on)
{
    if (m_hMenu)
        ::EnableMenuItem(m_hMenu, m_nIndex, MF_BYPOSITION | (on ? MF_ENABLED : (MF_DISABLED | MF_GRAYED)));
    m_bEnableChanged = TRUE;
}

namespace {

// Checks or clears a menu item, with the dot of a radio choice or a tick.
void CheckMenuItemAt(HMENU menu, UINT index, bool on, bool radio)
{
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE;
    ::GetMenuItemInfoW(menu, index, TRUE, &info);
    info.fType = radio ? (info.fType | MFT_RADIOCHECK) : (info.fType & ~MFT_RADIOCHECK);
    info.fState = (info.fState & ~MFS_CHECKED) | (on ? MFS_CHECKED : 0);
    ::SetMenuItemInfoW(menu, index, TRUE, &info);
}

}  // namespace

void CCmdUI::SetCheck(int check)
{
    if (m_hMenu)
        CheckMenuItemAt(m_hMenu, m_nIndex, check != 0, false);
}

void CCmdUI::SetRadio(BOOL on)
{
    if (m_hMenu)
        CheckMenuItemAt(m_hMenu, m_nIndex, on != FALSE, true);
}

void CCmdUI::SetText(const WCHAR* text)
{
    if (!m_hMenu)
        return;
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = const_cast<WCHAR*>(text);
    ::SetMenuItemInfoW(m_hMenu, m_nIndex, TRUE, &info);
}

BOOL CCmdUI::DoUpdate(CCmdTarget* target, BOOL disableIfNoHandler)
{
    m_bEnableChanged = FALSE;
    BOOL answered = target->OnCmdMsg(m_nID, CN_UPDATE_COMMAND_UI, this);
    if (disableIfNoHandler && !m_bEnableChanged)
        Enable(target->OnCmdMsg(m_nID, CN_COMMAND_QUERY, this));
    return answered;
}

void CCmdUI::UpdateMenu(HMENU menu, CCmdTarget* target, BOOL disableIfNoHandler)
{
    CCmdUI state;
    state.m_hMenu = menu;
    int count = ::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        UINT id = ::GetMenuItemID(menu, i);
        // Separators (0) and submenus (-1) have no command.
        if (id == 0 || id == (UINT)-1)
            continue;
        state.m_nIndex = (UINT)i;
        state.m_nID = id;
        state.DoUpdate(target, disableIfNoHandler);
    }
}
