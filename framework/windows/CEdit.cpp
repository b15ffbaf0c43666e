#include "framework/windows/CEdit.h"

BOOL CEdit::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateEx(WS_EX_CLIENTEDGE, L"EDIT", L"", style, rect, parent, id);
}

void CEdit::SetSel(int start, int end, BOOL noScroll)
{
    SendMessage(EM_SETSEL, (WPARAM)start, (LPARAM)end);
    if (!noScroll)
        SendMessage(EM_SCROLLCARET);
}
