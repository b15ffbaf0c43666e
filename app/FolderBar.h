// CFolderBar: the "Folders" pane, which holds the folder tree over its whole
// client area and hands it the focus.
#pragma once

#include "app/MyShellTreeCtrl.h"
#include "framework/windows/CDockablePane.h"

class CFolderBar : public CDockablePane {
public:
    CMyMFCShellTreeCtrl m_wndTree;

    int OnCreate(CREATESTRUCTW* cs) override;
    void OnSize(UINT type, int cx, int cy) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    void OnSetFocus(HWND previous) override;
};
