#include "app/AddressBox.h"

BOOL CAddressBox::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* result)
{
    if (message != WM_NOTIFY)
        return FALSE;
    auto* header = (NMHDR*)lParam;
    if (header->code != CBEN_ENDEDITW)
        return FALSE;
    auto* edit = (NMCBEENDEDITW*)header;
    if (edit->iWhy == CBENF_RETURN) {
        if (HWND frame = ::GetAncestor(m_hWnd, GA_ROOT))
            ::PostMessageW(frame, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    }
    *result = FALSE;
    return TRUE;
}
