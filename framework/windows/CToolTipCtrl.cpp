#include "framework/windows/CToolTipCtrl.h"

BOOL CToolTipCtrl::Create(CWnd* parent, DWORD style)
{
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&classes);
    HWND owner = parent ? parent->m_hWnd : nullptr;
    BOOL made = CreateEx(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | style, CW_USEDEFAULT, CW_USEDEFAULT,
                         CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr);
    if (made)
        ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return made;
}

BOOL CToolTipCtrl::AddTool(CWnd* window, const WCHAR* text, const RECT& rect, UINT id)
{
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    tool.uFlags = 0;  // the owner relays the mouse messages (RelayEvent)
    tool.hwnd = window->m_hWnd;
    tool.uId = id;
    tool.rect = rect;
    tool.lpszText = const_cast<WCHAR*>(text);
    return SendMessage(TTM_ADDTOOLW, 0, (LPARAM)&tool) != 0;
}

void CToolTipCtrl::SetToolRect(CWnd* window, UINT id, const RECT& rect)
{
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    tool.hwnd = window->m_hWnd;
    tool.uId = id;
    tool.rect = rect;
    SendMessage(TTM_NEWTOOLRECTW, 0, (LPARAM)&tool);
}

BOOL CToolTipCtrl::HasCurrentTool()
{
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    return SendMessage(TTM_GETCURRENTTOOLW, 0, (LPARAM)&tool) != 0;
}
