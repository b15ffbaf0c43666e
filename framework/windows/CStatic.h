// CStatic: a label, or an icon shown by a static control.
#pragma once

#include "framework/windows/CWnd.h"

class CStatic : public CWnd {
public:
    BOOL Create(const WCHAR* text, DWORD style, const RECT& rect, CWnd* parent, UINT id = 0xFFFF);
    // Returns the icon shown before.
};
