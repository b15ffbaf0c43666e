#include "framework/windows/CButton.h"

BOOL CButton::Create(const WCHAR* caption, DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateEx(0, L"BUTTON", caption, style, rect, parent, id);
}
