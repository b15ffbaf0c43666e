#include "viewers/WindowPlacement.h"

#include "framework/base/CString.h"
#include "framework/windows/CWinApp.h"

#include <cstdio>

namespace {

const WCHAR kPlacementValue[] = L"WindowPlacement";

}  // namespace

BOOL SaveWindowPlacement(HWND window, const WCHAR* section, BOOL useWindowRect)
{
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    CWinApp* app = AfxGetApp();
    if (!app || !::GetWindowPlacement(window, &placement))
        return FALSE;
    RECT rect = placement.rcNormalPosition;
    int showCommand = (int)placement.showCmd;
    int flags = (int)placement.flags;
    if (useWindowRect) {
        ::GetWindowRect(window, &rect);
        showCommand = 1;
        flags = 0;
    }
    CString text;
    text.Format(L"%d,%d,%d,%d,%d,%d", (int)rect.left, (int)rect.top, (int)rect.right, (int)rect.bottom, showCommand,
                flags);
    return app->WriteProfileString(section, kPlacementValue, text);
}

BOOL RestoreWindowPlacement(HWND window, const WCHAR* section, BOOL useSetWindowPos, int showCommand)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return FALSE;
    CString text = app->GetProfileString(section, kPlacementValue, L"");
    if (text.IsEmpty())
        return FALSE;
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    if (!::GetWindowPlacement(window, &placement))
        return FALSE;
    // The record is plain ASCII digits, commas and minus signs.
    std::string narrow = text.ToUtf8();
    int left = 0, top = 0, right = 0, bottom = 0, show = 0, flags = 0;
    if (std::sscanf(narrow.c_str(), "%d,%d,%d,%d,%d,%d", &left, &top, &right, &bottom, &show, &flags) < 6)
        return FALSE;
    if (useSetWindowPos)
        return ::SetWindowPos(window, nullptr, left, top, right - left, bottom - top,
                              SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    placement.rcNormalPosition = {left, top, right, bottom};
    placement.showCmd = (UINT)(showCommand >= 0 ? showCommand : show);
    placement.flags = (UINT)flags;
    return ::SetWindowPlacement(window, &placement);
}
