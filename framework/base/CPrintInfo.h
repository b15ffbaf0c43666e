// CPrintInfo: what a print loop and a printing view share about one print
// job: the page being printed, the pages known to exist, the drawing area
// of the page in the printer's units, and whether another page follows.
#pragma once

#include <windows.h>

class CPrintInfo {
public:
    UINT GetMinPage() const { return m_nMinPage; }
    UINT GetMaxPage() const { return m_nMaxPage; }
    void SetMinPage(UINT page) { m_nMinPage = page; }
    void SetMaxPage(UINT page) { m_nMaxPage = page; }

    RECT m_rectDraw = {};
    UINT m_nCurPage = 1;
    BOOL m_bContinuePrinting = TRUE;

private:
    UINT m_nMinPage = 1;
    UINT m_nMaxPage = 0xFFFF;
};
