#include "framework/windows/CStatic.h"

BOOL CStatic::Create(const WCHAR* text, DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateEx(0, L"STATIC", text, style, rect, parent, id);
}
