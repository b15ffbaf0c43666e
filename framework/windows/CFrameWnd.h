// CFrameWnd: a top-level window with a menu, accelerators, bars, a docking
// column and a view.
//
// Commands travel view (then its document), frame, application: OnCmdMsg
// asks each in turn; the same road answers update queries (CCmdUI) and the
// question whether a handler exists. Menu items are updated when their menu
// opens and toolbar buttons and status indicators at idle time
// (WM_IDLEUPDATECMDUI); commands no one handles are shown disabled.
//
// Layout: the rebar on top, the status bar at the bottom, the docking column
// on the left, the view in the rest.
#pragma once

#include "framework/windows/CWnd.h"
#include "framework/windows/StandardIds.h"

#include <functional>
#include <memory>
#include <vector>

class CDocument;
class CView;
class CMenu;
class CReBar;
class CToolBar;
class CStatusBar;
class CDockColumn;
class CDockablePane;

// What a frame needs to make its view: the document and the view's factory.
struct CCreateContext {
    CDocument* m_pCurrentDoc = nullptr;
    std::function<CView*()> m_newView;
};

// Frame style bit: the title shows the document's name.
constexpr DWORD FWS_ADDTOTITLE = 0x00008000;

class CFrameWnd : public CWnd {
public:
    CFrameWnd();
    ~CFrameWnd() override;

    // Creates the window from the resources of `resourceId` (menu,
    // accelerators, icon, title string); with a context the view is made
    // in OnCreateClient.
    virtual BOOL LoadFrame(UINT resourceId, DWORD style = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                           CWnd* parent = nullptr, CCreateContext* context = nullptr);
    BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
    virtual BOOL OnCreateClient(CREATESTRUCTW* cs, CCreateContext* context);
    // The views' first update, the active view and the title.
    void InitialUpdateFrame(CDocument* document, BOOL makeVisible);
    virtual void OnUpdateFrameTitle(BOOL addToTitle);

    CView* GetActiveView() const { return m_pActiveView; }
    void SetActiveView(CView* view, BOOL notify = TRUE);
    CDocument* GetActiveDocument() const;

    // Bars and panes
    void SetReBar(CReBar* rebar) { m_pReBar = rebar; }
    void AddToolBar(CToolBar* bar) { m_toolBars.push_back(bar); }
    void SetStatusBar(CStatusBar* bar) { m_pStatusBar = bar; }
    // Makes the docking column (the left side is the only one).
    BOOL EnableDocking(DWORD sides);
    CDockColumn* GetDockColumn() const { return m_dockColumn.get(); }
    // Puts a pane at the end of the column.
    void DockPane(CDockablePane* pane);
    virtual void RecalcLayout();

    // A menu about to open: a popup of the window menu (buttonCommand 0) or a
    // toolbar button's drop-down (the button's command). FALSE keeps it
    // closed.
    virtual BOOL OnShowPopupMenu(CMenu* popup, UINT buttonCommand);

    // The status bar's message pane.
    void SetMessageText(const WCHAR* text);
    void SetMessageText(UINT stringId);

    // The workspace: window placement, bars, panes. `section` is the
    // profile section that holds it.
    virtual void SaveBarState(const WCHAR* section);
    virtual void LoadBarState(const WCHAR* section);
    // The show command of the restored placement (SW_SHOW when none).
    int GetRestoredShowCommand() const { return m_nRestoredShow; }

    // Runs the command of an accelerator key when that command is enabled;
    // true when one ran. A key whose command is disabled goes on to the
    // window that has the focus.
    BOOL TranslateFrameAccelerator(const MSG* msg);

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    // The route: the active view (and its document), the frame's own
    // commands (OnFrameCmdMsg), the application.
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* update) override;
    // The frame's own commands; a derived frame adds its table here and
    // chains to the base.
    virtual BOOL OnFrameCmdMsg(UINT id, int code, CCmdUI* update);
    BOOL PreTranslateMessage(MSG* msg) override;
    int OnCreate(CREATESTRUCTW* cs) override;
    void OnClose() override;
    void OnSize(UINT type, int cx, int cy) override;

    HACCEL m_hAccelTable = nullptr;
    BOOL m_bAutoMenuEnable = TRUE;  // menu items without a handler are disabled
    BOOL m_bAutoDelete = TRUE;      // the frame deletes itself when its window is gone

protected:
    void PostNcDestroy() override;
    virtual void OnIdleUpdateCmdUI();

    void OnViewToolBar();
    void OnUpdateViewToolBar(CCmdUI* ui);
    void OnViewStatusBar();
    void OnUpdateViewStatusBar(CCmdUI* ui);
    void OnUpdateKeyIndicator(CCmdUI* ui);

    UINT m_nIDResource = 0;
    CString m_strTitle;

private:
    void OnInitMenuPopup(HMENU menu, BOOL systemMenu);
    void OnMenuSelect(UINT item, UINT flags, HMENU menu);
    BOOL OnToolTipText(NMHDR* header);
    bool IsAcceleratorKey(const ACCEL& accel, const MSG* msg) const;

    CView* m_pActiveView = nullptr;
    CReBar* m_pReBar = nullptr;
    std::vector<CToolBar*> m_toolBars;
    CStatusBar* m_pStatusBar = nullptr;
    std::unique_ptr<CDockColumn> m_dockColumn;
    int m_nRestoredShow = SW_SHOW;
    CCreateContext* m_pCreateContext = nullptr;
};
