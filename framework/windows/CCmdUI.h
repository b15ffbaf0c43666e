// CCmdUI: the state of one command's user-interface item while it is being
// updated: a menu item just before its menu opens, a toolbar button or a
// status-bar indicator at idle time. DoUpdate asks the command targets
// (OnCmdMsg with CN_UPDATE_COMMAND_UI); a command no one answers for is
// enabled when some target handles it (CN_COMMAND_QUERY) and disabled
// otherwise.
#pragma once

#include "framework/windows/CCmdTarget.h"
#include "framework/base/CString.h"

#include <windows.h>

class CWnd;

// Notification code of the question "does a handler for this command exist?"
// (the caller passes a CCmdUI; nothing runs).
constexpr int CN_COMMAND_QUERY = -2;

class CCmdUI {
public:
    CCmdUI() = default;
    virtual ~CCmdUI() = default;

    UINT m_nID = 0;
    UINT m_nIndex = 0;            // position of the item in its menu or bar
    HMENU m_hMenu = nullptr;      // the menu being updated, or null
    CWnd* m_pOther = nullptr;     // the bar being updated, or null
    BOOL m_bEnableChanged = FALSE;

    virtual void Enable(BOOL on = TRUE);
    // 0 cleared, 1 checked, 2 indeterminate.
    virtual void SetCheck(int check = 1);
    // A check shown as a dot (one choice of a group).
    virtual void SetRadio(BOOL on = TRUE);
    virtual void SetText(const WCHAR* text);

    // Asks `target` for the item's state. With `disableIfNoHandler`, an item
    // whose enabled state no update handler set is enabled exactly when a
    // command handler exists.
    BOOL DoUpdate(CCmdTarget* target, BOOL disableIfNoHandler);

    // Updates every item of a menu that is about to open (submenus are
    // updated when they open themselves).
    static void UpdateMenu(HMENU menu, CCmdTarget* target, BOOL disableIfNoHandler);
};
