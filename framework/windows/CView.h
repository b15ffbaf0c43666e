// CView: a child window of a frame that shows a document. The frame sends
// it the commands first (the view passes what it does not handle to its
// document), gives it the keyboard focus, and tells it when it becomes the
// active view. Views live on the heap and delete themselves when their
// window is gone.
#pragma once

#include "framework/windows/CWnd.h"
#include "framework/windows/StandardIds.h"

class CDC;
class CDocument;
class CFrameWnd;
struct CCreateContext;

class CView : public CWnd {
public:
    CView() = default;
    ~CView() override;

    CDocument* GetDocument() const { return m_pDocument; }
    CFrameWnd* GetParentFrame() const;

    // Creates the view as a child of `parent` and attaches it to the
    // context's document.
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id, CCreateContext* context);

    // The first update after the document and frame exist.
    virtual void OnInitialUpdate();
    // The document changed; the base repaints.
    virtual void OnUpdate(CView* sender, LPARAM hint);
    virtual void OnDraw(CDC* dc);
    virtual void OnActivateView(BOOL activate, CView* activated, CView* deactivated);
    // Idle time (WM_IDLEUPDATECMDUI from the frame).
    virtual void OnIdleUpdateCmdUI();

    BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    // The view's own commands, then its document's.
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* update) override;
    void OnPaint() override;
    void OnDestroy() override;

    CDocument* m_pDocument = nullptr;

protected:
    void PostNcDestroy() override;
};
