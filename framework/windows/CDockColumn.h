// CDockColumn: the frame's docking area, one fixed column along the left
// edge that stacks its panes from top to bottom. A splitter on its right
// edge sets the column's width and one between two visible panes sets the
// upper pane's height; the last visible pane takes the rest. The column
// vanishes while no pane is visible. Widths, heights and visibility are
// kept in the workspace.
#pragma once

#include "framework/windows/CWnd.h"

#include <map>
#include <vector>

class CDockablePane;

class CDockColumn : public CWnd {
public:
    static const int SPLITTER = 5;     // width of the splitters
    static const int MIN_SIZE = 40;    // smallest pane height and column width

    // A child of `frame`, which answers WM_FRAME_RECALCLAYOUT.
    BOOL Create(CWnd* frame);
    void AddPane(CDockablePane* pane);
    void InsertPaneAfter(CDockablePane* pane, CDockablePane* after);
    const std::vector<CDockablePane*>& GetPanes() const { return m_panes; }

    // The width the column takes in a frame client area of `available`
    // pixels; 0 while no pane is visible.
    int GetLayoutWidth(int available) const;
    void SetWidth(int width);
    int GetPaneHeight(const CDockablePane* pane) const;
    void SetPaneHeight(const CDockablePane* pane, int height);

    // A pane was shown or hidden: the column and the frame lay out again.
    void PanesChanged();
    void Relayout();

    void SaveState(const WCHAR* section);
    void LoadState(const WCHAR* section);

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    enum class Drag { None, Width, Pane };
    std::vector<CDockablePane*> VisiblePanes() const;
    // The splitter under a client point: Width, Pane (with the pane above
    // it) or None.
    Drag HitTest(POINT point, CDockablePane** upper) const;
    void Adopt(CDockablePane* pane);

    CWnd* m_pFrame = nullptr;
    std::vector<CDockablePane*> m_panes;
    std::map<UINT, int> m_heights;  // by pane id
    int m_width = 0;
    Drag m_drag = Drag::None;
    CDockablePane* m_dragPane = nullptr;
};
