// CMemDC2: the drawing context of a custom-painted window's WM_PAINT. Drawing
// goes to an off-screen bitmap of the painted rectangle, in the target's own
// coordinates, and reaches the window in one copy when the object is
// destroyed. On a printer context it draws straight into the target.
#pragma once

#include "framework/windows/CDC.h"

class CMemDC2 : public CDC {
public:
    CMemDC2(CDC* target, const RECT& rect);
    ~CMemDC2() override;

private:
    CBitmap m_bitmap;
    HGDIOBJ m_hOldBitmap = nullptr;  // selected before the off-screen bitmap
    CDC* m_pDC;
    CRect m_rect;
    BOOL m_bMemDC;  // off screen (not printing)
};
