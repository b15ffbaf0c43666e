// CProgressCtrl: a progress bar.
#pragma once

#include "framework/windows/CWnd.h"

#include <commctrl.h>

class CProgressCtrl : public CWnd {
public:
    void SetRange32(int lower, int upper) { SendMessage(PBM_SETRANGE32, (WPARAM)lower, (LPARAM)upper); }
    void GetRange(int& lower, int& upper) const;
    // The previous position.
    int SetPos(int position) { return (int)SendMessage(PBM_SETPOS, (WPARAM)position); }
    int GetPos() const { return (int)::SendMessageW(m_hWnd, PBM_GETPOS, 0, 0); }
    int SetStep(int step) { return (int)SendMessage(PBM_SETSTEP, (WPARAM)step); }
};
