// CDockablePane: a pane of the frame's docking column: a caption strip with
// the pane's name and a close button (which hides the pane) above a client
// area that the derived class fills. The caption is the pane's non-client
// area, so the client rectangle is the content's.
#pragma once

#include "framework/windows/CWnd.h"
#include "framework/windows/Geometry.h"

class CDockColumn;

class CDockablePane : public CWnd {
public:
    // Made as a child of the frame; CFrameWnd::DockPane or DockToWindow puts
    // it into the docking column. `gripper` and the style bits are accepted
    // for the layout the program asks for: panes neither float nor hide
    // automatically.
    virtual BOOL Create(const WCHAR* caption, CWnd* parentFrame, const RECT& rect, BOOL gripper, UINT id, DWORD style);

    // Shows or hides the pane and lays the column and the frame out again;
    // `activate` gives a shown pane the focus. `delay` is accepted for the
    // callers' sake: the layout always changes at once.
    virtual void ShowPane(BOOL show, BOOL delay, BOOL activate);
    BOOL IsVisible() const { return IsWindow() && (GetStyle() & WS_VISIBLE) != 0; }
    // Docks this pane in the column right after (below) `target`.
    BOOL DockToWindow(CDockablePane* target);

    CString GetCaption() const { return GetWindowText(); }
    // The caption strip's height in pixels.
    static int CaptionHeight();
    // The close button in window coordinates.
    CRect GetCloseButtonRect() const;

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
    // The pane received the focus; the base keeps it.
    virtual void OnSetFocus(HWND previous);

private:
    void DrawCaption();
    CDockColumn* GetColumn() const;
};
