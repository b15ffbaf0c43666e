#include "framework/windows/MemDC2.h"

CMemDC2::CMemDC2(CDC* target, const RECT& rect) : m_pDC(target), m_bMemDC(!target->IsPrinting())
{
    if (m_bMemDC) {
        m_rect = rect;
        CreateCompatibleDC(target);
        m_bitmap.CreateCompatibleBitmap(target->m_hDC, m_rect.Width(), m_rect.Height());
        m_hOldBitmap = SelectObject(&m_bitmap);
        SetWindowOrg(m_rect.left, m_rect.top);
    } else {
        m_bPrinting = target->m_bPrinting;
        m_hDC = target->m_hDC;
        m_hAttribDC = target->m_hAttribDC;
    }
}

CMemDC2::~CMemDC2()
{
    if (m_bMemDC) {
        m_pDC->BitBlt(m_rect.left, m_rect.top, m_rect.Width(), m_rect.Height(), this, m_rect.left, m_rect.top,
                      SRCCOPY);
        SelectObject(m_hOldBitmap);
        m_bitmap.DeleteObject();
    } else {
        // The handles are the target's: the base must leave them alone.
        m_hDC = m_hAttribDC = nullptr;
    }
}
