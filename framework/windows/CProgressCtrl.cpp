#include "framework/windows/CProgressCtrl.h"

void CProgressCtrl::GetRange(int& lower, int& upper) const
{
    PBRANGE range = {};
    ::SendMessageW(m_hWnd, PBM_GETRANGE, FALSE, (LPARAM)&range);
    lower = range.iLow;
    upper = range.iHigh;
}
