// CButton: a push button, check box or radio button.
#pragma once

#include "framework/windows/CWnd.h"

class CButton : public CWnd {
public:
    BOOL Create(const WCHAR* caption, DWORD style, const RECT& rect, CWnd* parent, UINT id);
    int GetCheck() const { return (int)::SendMessageW(m_hWnd, BM_GETCHECK, 0, 0); }
    void SetCheck(int check) { SendMessage(BM_SETCHECK, (WPARAM)check); }
};
