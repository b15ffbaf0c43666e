#include "framework/windows/CDockColumn.h"

#include "framework/windows/CDockablePane.h"
#include "framework/windows/StandardIds.h"
#include "framework/windows/CWinApp.h"
#include "framework/windows/Geometry.h"

#include <algorithm>

BOOL CDockColumn::Create(CWnd* frame)
{
    m_pFrame = frame;
    const WCHAR* className = RegisterWndClass(0, ::LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW), (HBRUSH)(COLOR_3DFACE + 1));
    return CreateEx(0, className, L"", WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, CRect(0, 0, 0, 0), frame, 0);
}

void CDockColumn::Adopt(CDockablePane* pane)
{
    CRect rect;
    pane->GetWindowRect(&rect);
    if (m_width == 0)
        m_width = std::max(rect.Width(), (LONG)MIN_SIZE) + SPLITTER;
    UINT id = (UINT)pane->GetDlgCtrlID();
    if (!m_heights.count(id))
        m_heights[id] = std::max(rect.Height(), (LONG)MIN_SIZE);
    ::SetParent(pane->m_hWnd, m_hWnd);
}

void CDockColumn::AddPane(CDockablePane* pane)
{
    if (std::find(m_panes.begin(), m_panes.end(), pane) != m_panes.end())
        return;
    Adopt(pane);
    m_panes.push_back(pane);
    PanesChanged();
}

void CDockColumn::InsertPaneAfter(CDockablePane* pane, CDockablePane* after)
{
    m_panes.erase(std::remove(m_panes.begin(), m_panes.end(), pane), m_panes.end());
    Adopt(pane);
    auto position = std::find(m_panes.begin(), m_panes.end(), after);
    m_panes.insert(position == m_panes.end() ? position : position + 1, pane);
    PanesChanged();
}

std::vector<CDockablePane*> CDockColumn::VisiblePanes() const
{
    std::vector<CDockablePane*> visible;
    for (CDockablePane* pane : m_panes) {
        if (pane->IsVisible())
            visible.push_back(pane);
    }
    return visible;
}

int CDockColumn::GetLayoutWidth(int available) const
{
    if (VisiblePanes().empty())
        return 0;
    int most = std::max(available - MIN_SIZE, (int)MIN_SIZE);
    return std::clamp(m_width, (int)MIN_SIZE, most);
}

void CDockColumn::SetWidth(int width)
{
    m_width = std::max(width, (int)MIN_SIZE);
    if (m_pFrame)
        m_pFrame->SendMessage(WM_FRAME_RECALCLAYOUT);
}

int CDockColumn::GetPaneHeight(const CDockablePane* pane) const
{
    auto found = m_heights.find((UINT)pane->GetDlgCtrlID());
    return found == m_heights.end() ? MIN_SIZE : found->second;
}

void CDockColumn::SetPaneHeight(const CDockablePane* pane, int height)
{
    m_heights[(UINT)pane->GetDlgCtrlID()] = std::max(height, (int)MIN_SIZE);
    Relayout();
}

void CDockColumn::PanesChanged()
{
    Relayout();
    if (m_pFrame)
        m_pFrame->SendMessage(WM_FRAME_RECALCLAYOUT);
}

void CDockColumn::Relayout()
{
    if (!IsWindow())
        return;
    CRect client;
    GetClientRect(&client);
    int width = std::max(client.Width() - SPLITTER, 0);
    std::vector<CDockablePane*> visible = VisiblePanes();
    int y = 0;
    for (size_t i = 0; i < visible.size(); ++i) {
        int height;
        if (i + 1 == visible.size()) {
            height = client.Height() - y;
        } else {
            int below = (int)(visible.size() - i - 1) * (MIN_SIZE + SPLITTER);
            height = std::min(GetPaneHeight(visible[i]), client.Height() - y - below);
            height = std::max(height, (int)MIN_SIZE);
        }
        ::SetWindowPos(visible[i]->m_hWnd, nullptr, 0, y, width, std::max(height, 0),
                       SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        y += height + SPLITTER;
    }
}

CDockColumn::Drag CDockColumn::HitTest(POINT point, CDockablePane** upper) const
{
    CRect client;
    GetClientRect(&client);
    if (point.x >= client.right - SPLITTER)
        return Drag::Width;
    std::vector<CDockablePane*> visible = VisiblePanes();
    for (size_t i = 0; i + 1 < visible.size(); ++i) {
        CRect rect;
        visible[i]->GetWindowRect(&rect);
        ::MapWindowPoints(nullptr, m_hWnd, (POINT*)&rect, 2);
        if (point.y >= rect.bottom && point.y < rect.bottom + SPLITTER) {
            *upper = visible[i];
            return Drag::Pane;
        }
    }
    return Drag::None;
}

BOOL CDockColumn::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    switch (message) {
    case WM_SIZE:
        Relayout();
        *result = 0;
        return TRUE;
    case WM_SETCURSOR: {
        POINT point;
        ::GetCursorPos(&point);
        ::ScreenToClient(m_hWnd, &point);
        CDockablePane* upper = nullptr;
        Drag hit = (HWND)wParam == m_hWnd ? HitTest(point, &upper) : Drag::None;
        if (hit == Drag::None)
            return CWnd::OnWndMsg(message, wParam, lParam, result);
        ::SetCursor(::LoadCursorW(nullptr, (LPCWSTR)(hit == Drag::Width ? IDC_SIZEWE : IDC_SIZENS)));
        *result = TRUE;
        return TRUE;
    }
    case WM_LBUTTONDOWN: {
        CDockablePane* upper = nullptr;
        m_drag = HitTest(CPoint::FromLParam(lParam), &upper);
        m_dragPane = upper;
        if (m_drag != Drag::None)
            ::SetCapture(m_hWnd);
        *result = 0;
        return TRUE;
    }
    case WM_MOUSEMOVE:
        if (m_drag != Drag::None && ::GetCapture() == m_hWnd) {
            CPoint point = CPoint::FromLParam(lParam);
            if (m_drag == Drag::Width) {
                SetWidth(point.x + SPLITTER / 2 + 1);
            } else if (m_dragPane) {
                CRect rect;
                m_dragPane->GetWindowRect(&rect);
                ::MapWindowPoints(nullptr, m_hWnd, (POINT*)&rect, 2);
                SetPaneHeight(m_dragPane, point.y - rect.top - SPLITTER / 2);
            }
        }
        *result = 0;
        return TRUE;
    case WM_LBUTTONUP:
        if (::GetCapture() == m_hWnd)
            ::ReleaseCapture();
        m_drag = Drag::None;
        *result = 0;
        return TRUE;
    case WM_CAPTURECHANGED:
        m_drag = Drag::None;
        *result = 0;
        return TRUE;
    default:
        return CWnd::OnWndMsg(message, wParam, lParam, result);
    }
}

void CDockColumn::SaveState(const WCHAR* section)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return;
    app->WriteProfileInt(section, L"DockColumnWidth", m_width);
    for (CDockablePane* pane : m_panes) {
        CString name;
        name.Format(L"Pane%d", pane->GetDlgCtrlID());
        app->WriteProfileInt(section, name + L"Visible", pane->IsVisible() ? 1 : 0);
        app->WriteProfileInt(section, name + L"Height", GetPaneHeight(pane));
    }
}

void CDockColumn::LoadState(const WCHAR* section)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return;
    m_width = std::max((int)app->GetProfileInt(section, L"DockColumnWidth", m_width), (int)MIN_SIZE);
    for (CDockablePane* pane : m_panes) {
        CString name;
        name.Format(L"Pane%d", pane->GetDlgCtrlID());
        bool visible = app->GetProfileInt(section, name + L"Visible", pane->IsVisible() ? 1 : 0) != 0;
        pane->ShowWindow(visible ? SW_SHOWNA : SW_HIDE);
        int height = (int)app->GetProfileInt(section, name + L"Height", GetPaneHeight(pane));
        m_heights[(UINT)pane->GetDlgCtrlID()] = std::max(height, (int)MIN_SIZE);
    }
    PanesChanged();
}
