// CCodeEditTips: the edit control window's tooltip. It creates the tooltip
// control with one tool over the client area whose text is asked for each
// time, answers TTN_NEEDTEXT and mouse moves through the core's tip
// protocol, and is the core's CEditTipWindow. Window thread only.
#pragma once

#include "editctrl/CodeEditCtrl.h"
#include "editctrl/EditTipWindow.h"
#include "framework/windows/CToolTipCtrl.h"

class CCodeEditTips : public CEditTipWindow {
public:
    CCodeEditTips(CCodeEditCtrl& control, CWnd& window) : m_control(control), m_window(window) {}
    ~CCodeEditTips() override;

    // With the window; attaches itself to the core.
    void Create(UINT toolId);
    void Destroy();
    // True when the message was the tooltip's request and is answered in *result.
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    CToolTipCtrl* Control() { return m_tip.m_hWnd ? &m_tip : nullptr; }

    // CEditTipWindow
    void Activate(bool on) override;
    void Pop() override;
    void SetMaxWidth(int width) override;

private:
    CCodeEditCtrl& m_control;
    CWnd& m_window;
    CToolTipCtrl m_tip;
    UINT m_toolId = 0;
    POINT m_lastMouse = {-1, -1};
};
