// CReBar: the system's rebar control at the top of a frame. Each band holds
// one child window (a toolbar, the address box) with a gripper and an
// optional text. The rebar passes its children's commands and
// notifications on to the frame, where they are handled like those of the
// frame's own children.
#pragma once

#include "framework/windows/CWnd.h"
#include "framework/windows/Geometry.h"

#include <commctrl.h>

class CReBar : public CWnd {
public:
    BOOL Create(CWnd* parent, DWORD style, UINT id);
    // Adds `child` as a band; `newRow` starts a new row.
    BOOL AddBar(CWnd* child, const WCHAR* text, DWORD bandStyle, bool newRow);
    int GetBandCount() const { return (int)::SendMessageW(m_hWnd, RB_GETBANDCOUNT, 0, 0); }
    int FindBand(CWnd* child) const;
    void ShowBand(CWnd* child, BOOL show);
    BOOL IsBandVisible(CWnd* child) const;
    CString GetBandText(int index) const;
    // Takes the child's new size (a toolbar whose buttons changed).
    void UpdateBandSize(CWnd* child);
    // Places the bar at (x, y) with the width; returns its height.
    int Layout(int x, int y, int width);

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    CSize ChildSize(CWnd* child) const;
};
