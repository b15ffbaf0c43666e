// CToolTipCtrl: the common tooltip control, with the calls the edit control
// makes: one tool per window area, its text asked for when needed
// (LPSTR_TEXTCALLBACKW), mouse messages relayed to it, shown tips popped,
// the whole control switched on and off.
#pragma once

#include "framework/windows/CWnd.h"

#include <commctrl.h>

class CToolTipCtrl : public CWnd {
public:
    // A top-most pop-up owned by `parent`, with TTS_* `style`.
    BOOL Create(CWnd* parent, DWORD style);
    // A tool over `rect` of `window`, with `text` or LPSTR_TEXTCALLBACKW.
    BOOL AddTool(CWnd* window, const WCHAR* text, const RECT& rect, UINT id);
    void SetToolRect(CWnd* window, UINT id, const RECT& rect);
    void Activate(BOOL on) { SendMessage(TTM_ACTIVATE, on ? TRUE : FALSE); }
    void Pop() { SendMessage(TTM_POP); }
    int SetMaxTipWidth(int width) { return (int)SendMessage(TTM_SETMAXTIPWIDTH, 0, width); }
    void RelayEvent(MSG* message) { SendMessage(TTM_RELAYEVENT, 0, (LPARAM)message); }
    // The tool whose tip is shown; false when none is.
    BOOL HasCurrentTool();
};
