#include "framework/windows/CView.h"

#include "framework/windows/CDC.h"
#include "framework/windows/CDocTemplate.h"
#include "framework/windows/CDocument.h"
#include "framework/windows/CFrameWnd.h"

CView::~CView()
{
    if (m_pDocument)
        m_pDocument->RemoveView(this);
}

CFrameWnd* CView::GetParentFrame() const
{
    for (HWND hwnd = ::GetParent(m_hWnd); hwnd; hwnd = ::GetParent(hwnd)) {
        if (auto* frame = dynamic_cast<CFrameWnd*>(FromHandlePermanent(hwnd)))
            return frame;
    }
    return nullptr;
}

BOOL CView::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id, CCreateContext* context)
{
    if (context && context->m_pCurrentDoc)
        context->m_pCurrentDoc->AddView(this);
    return CreateEx(0, nullptr, L"", style | WS_CHILD, rect, parent, id, context);
}

BOOL CView::PreCreateWindow(CREATESTRUCTW& cs)
{
    if (!cs.lpszClass)
        cs.lpszClass = RegisterWndClass(CS_DBLCLKS, ::LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW));
    cs.style |= WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    return TRUE;
}

void CView::OnInitialUpdate() { OnUpdate(nullptr, 0); }

void CView::OnUpdate(CView*, LPARAM) { Invalidate(TRUE); }

void CView::OnDraw(CDC*) {}

void CView::OnActivateView(BOOL, CView*, CView*) {}

void CView::OnIdleUpdateCmdUI() {}

BOOL CView::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    switch (message) {
    case WM_PRINTCLIENT: {
        // Drawn into a given context (a picture of the window).
        CDC dc;
        dc.Attach((HDC)wParam);
        OnDraw(&dc);
        dc.Detach();
        *result = 0;
        return TRUE;
    }
    case WM_IDLEUPDATECMDUI:
        OnIdleUpdateCmdUI();
        *result = 0;
        return TRUE;
    case WM_MOUSEACTIVATE: {
        // A click makes this the frame's active view.
        *result = Default();
        if (CFrameWnd* frame = GetParentFrame()) {
            if (frame->GetActiveView() != this)
                frame->SetActiveView(this);
        }
        return TRUE;
    }
    default:
        return CWnd::OnWndMsg(message, wParam, lParam, result);
    }
}

BOOL CView::OnCmdMsg(UINT id, int code, CCmdUI* update)
{
    if (CWnd::OnCmdMsg(id, code, update))
        return TRUE;
    return m_pDocument && m_pDocument->OnCmdMsg(id, code, update);
}

void CView::OnPaint()
{
    CPaintDC dc(m_hWnd);
    OnDraw(&dc);
}

void CView::OnDestroy()
{
    if (CFrameWnd* frame = GetParentFrame()) {
        if (frame->GetActiveView() == this)
            frame->SetActiveView(nullptr, FALSE);
    }
    CWnd::OnDestroy();
}

void CView::PostNcDestroy()
{
    if (m_pDocument)
        m_pDocument->RemoveView(this);
    delete this;
}
