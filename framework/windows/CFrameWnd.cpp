#include "framework/windows/CFrameWnd.h"

#include "framework/windows/CCmdUI.h"
#include "framework/windows/CDockColumn.h"
#include "framework/windows/CDockablePane.h"
#include "framework/windows/CDocument.h"
#include "framework/windows/CMenu.h"
#include "framework/windows/CReBar.h"
#include "framework/windows/CStatusBar.h"
#include "framework/windows/CToolBar.h"
#include "framework/windows/CView.h"
#include "framework/windows/CWinAppEx.h"
#include "framework/windows/CommandMap.h"
#include "framework/windows/CommandPrompts.h"
#include "framework/windows/IntList.h"

#include <commctrl.h>

#include <vector>

CFrameWnd::CFrameWnd() = default;

CFrameWnd::~CFrameWnd()
{
    if (m_hAccelTable)
        ::DestroyAcceleratorTable(m_hAccelTable);
}

BOOL CFrameWnd::LoadFrame(UINT resourceId, DWORD style, CWnd* parent, CCreateContext* context)
{
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    m_nIDResource = resourceId;
    m_strTitle = LoadStringPart(resourceId, 0);
    HICON icon = ::LoadIconW(instance, MAKEINTRESOURCEW(resourceId));
    const WCHAR* className = RegisterWndClass(CS_DBLCLKS, ::LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW),
                                              (HBRUSH)(COLOR_3DFACE + 1), icon);
    HMENU menu = ::LoadMenuW(instance, MAKEINTRESOURCEW(resourceId));
    if (!m_hAccelTable)
        m_hAccelTable = ::LoadAcceleratorsW(instance, MAKEINTRESOURCEW(resourceId));
    m_pCreateContext = context;
    // A window that fails in WM_CREATE is destroyed inside CreateEx; the
    // object must survive that, so that the caller can delete it.
    BOOL autoDelete = m_bAutoDelete;
    m_bAutoDelete = FALSE;
    BOOL created = CreateEx(0, className, m_strTitle, style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, parent ? parent->m_hWnd : nullptr, menu, context);
    m_pCreateContext = nullptr;
    m_bAutoDelete = autoDelete;
    if (!created) {
        if (menu && !::IsMenu(menu))
            menu = nullptr;
        if (menu)
            ::DestroyMenu(menu);
        return FALSE;
    }
    if (auto* app = dynamic_cast<CWinAppEx*>(AfxGetApp()))
        app->LoadState(this);
    RecalcLayout();
    return TRUE;
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCTW& cs)
{
    // The title is the frame's business (OnUpdateFrameTitle); the system
    // only sees the window styles.
    cs.style &= ~FWS_ADDTOTITLE;
    cs.style |= WS_CLIPCHILDREN;
    return TRUE;
}

int CFrameWnd::OnCreate(CREATESTRUCTW* cs)
{
    if (CWnd::OnCreate(cs) == -1)
        return -1;
    if (!OnCreateClient(cs, m_pCreateContext))
        return -1;
    return 0;
}

BOOL CFrameWnd::OnCreateClient(CREATESTRUCTW*, CCreateContext* context)
{
    if (!context || !context->m_newView)
        return TRUE;
    CView* view = context->m_newView();
    if (!view)
        return FALSE;
    if (!view->Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, IDW_PANE_FIRST, context)) {
        delete view;  // never had a window, so PostNcDestroy will not run
        return FALSE;
    }
    return TRUE;
}

void CFrameWnd::InitialUpdateFrame(CDocument* document, BOOL makeVisible)
{
    CView* first = nullptr;
    if (document) {
        for (CView* view : std::vector<CView*>(document->GetViews())) {
            if (view->GetParentFrame() != this)
                continue;
            if (!first)
                first = view;
            view->OnInitialUpdate();
        }
    }
    if (first && !m_pActiveView)
        SetActiveView(first);
    OnUpdateFrameTitle(TRUE);
    RecalcLayout();
    if (makeVisible)
        ShowWindow(SW_SHOW);
}

void CFrameWnd::OnUpdateFrameTitle(BOOL addToTitle)
{
    CDocument* document = GetActiveDocument();
    if (addToTitle && document && !document->GetTitle().IsEmpty())
        SetWindowText(document->GetTitle() + L" - " + m_strTitle);
    else
        SetWindowText(m_strTitle);
}

void CFrameWnd::SetActiveView(CView* view, BOOL notify)
{
    CView* previous = m_pActiveView;
    if (view == previous)
        return;
    m_pActiveView = view;
    if (!notify)
        return;
    if (previous)
        previous->OnActivateView(FALSE, view, previous);
    if (view) {
        view->OnActivateView(TRUE, view, previous);
        if (::GetActiveWindow() == m_hWnd)
            view->SetFocus();
    }
}

CDocument* CFrameWnd::GetActiveDocument() const { return m_pActiveView ? m_pActiveView->GetDocument() : nullptr; }

BOOL CFrameWnd::EnableDocking(DWORD)
{
    if (m_dockColumn)
        return TRUE;
    auto column = std::make_unique<CDockColumn>();
    if (!column->Create(this))
        return FALSE;
    m_dockColumn = std::move(column);
    return TRUE;
}

void CFrameWnd::DockPane(CDockablePane* pane)
{
    if (m_dockColumn)
        m_dockColumn->AddPane(pane);
    RecalcLayout();
}

void CFrameWnd::RecalcLayout()
{
    if (!IsWindow())
        return;
    CRect client;
    GetClientRect(&client);
    if (m_pReBar && m_pReBar->IsWindow() && m_pReBar->IsWindowVisible())
        client.top += m_pReBar->Layout(client.left, client.top, client.Width());
    if (m_pStatusBar && m_pStatusBar->IsWindow() && m_pStatusBar->IsWindowVisible())
        client.bottom -= m_pStatusBar->Layout(client);
    if (m_dockColumn && m_dockColumn->IsWindow()) {
        int width = m_dockColumn->GetLayoutWidth(client.Width());
        if (width > 0) {
            m_dockColumn->MoveWindow(client.left, client.top, width, client.Height());
            m_dockColumn->ShowWindow(SW_SHOWNA);
            client.left += width;
        } else {
            m_dockColumn->ShowWindow(SW_HIDE);
        }
    }
    if (client.right < client.left)
        client.right = client.left;
    if (client.bottom < client.top)
        client.bottom = client.top;
    HWND view = m_pActiveView ? m_pActiveView->m_hWnd : ::GetDlgItem(m_hWnd, IDW_PANE_FIRST);
    if (view)
        ::MoveWindow(view, client.left, client.top, client.Width(), client.Height(), TRUE);
}

void CFrameWnd::OnSize(UINT type, int cx, int cy)
{
    CWnd::OnSize(type, cx, cy);
    if (type != SIZE_MINIMIZED)
        RecalcLayout();
}

BOOL CFrameWnd::OnShowPopupMenu(CMenu*, UINT) { return TRUE; }

void CFrameWnd::SetMessageText(const WCHAR* text)
{
    if (m_pStatusBar && m_pStatusBar->IsWindow())
        m_pStatusBar->SetPaneText(0, text);
}

void CFrameWnd::SetMessageText(UINT stringId)
{
    CString text;
    text.LoadString(stringId);
    SetMessageText(text);
}

void CFrameWnd::OnClose()
{
    auto* app = dynamic_cast<CWinAppEx*>(AfxGetApp());
    if (app && app->m_pMainWnd == this)
        app->SaveState(this);
    // Closing the document closes its frames, this one included.
    if (CDocument* document = GetActiveDocument()) {
        document->OnCloseDocument();
        return;
    }
    DestroyWindow();
}

void CFrameWnd::PostNcDestroy()
{
    if (m_bAutoDelete)
        delete this;
}

void CFrameWnd::OnIdleUpdateCmdUI()
{
    for (CToolBar* bar : m_toolBars) {
        if (bar->IsWindow() && bar->IsWindowVisible())
            bar->OnUpdateCmdUI(this, m_bAutoMenuEnable);
    }
    if (m_pStatusBar && m_pStatusBar->IsWindow() && m_pStatusBar->IsWindowVisible())
        m_pStatusBar->OnUpdateCmdUI(this, FALSE);
    if (m_pActiveView && m_pActiveView->IsWindow())
        m_pActiveView->OnIdleUpdateCmdUI();
}

BOOL CFrameWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    switch (message) {
    case WM_IDLEUPDATECMDUI:
        OnIdleUpdateCmdUI();
        *result = 0;
        return TRUE;
    case WM_INITMENUPOPUP:
        OnInitMenuPopup((HMENU)wParam, HIWORD(lParam));
        *result = 0;
        return TRUE;
    case WM_MENUSELECT:
        OnMenuSelect(LOWORD(wParam), HIWORD(wParam), (HMENU)lParam);
        *result = 0;
        return TRUE;
    case WM_EXITMENULOOP:
        SetMessageText(IDS_IDLE_MESSAGE);
        *result = 0;
        return TRUE;
    case WM_FRAME_RECALCLAYOUT:
        RecalcLayout();
        *result = 0;
        return TRUE;
    case WM_FRAME_SETMESSAGETEXT:
        if (wParam)
            SetMessageText((UINT)wParam);
        else
            SetMessageText((const WCHAR*)lParam);
        *result = 0;
        return TRUE;
    case WM_FRAME_SHOWPOPUPMENU:
        *result = OnShowPopupMenu((CMenu*)lParam, (UINT)wParam);
        return TRUE;
    case WM_SETFOCUS:
        if (m_pActiveView && m_pActiveView->IsWindow())
            m_pActiveView->SetFocus();
        *result = 0;
        return TRUE;
    case WM_ERASEBKGND:
        // The children cover the client area.
        *result = 1;
        return TRUE;
    case WM_NOTIFY: {
        NMHDR* header = (NMHDR*)lParam;
        if (header && (header->code == TTN_GETDISPINFOW) && OnToolTipText(header)) {
            *result = 0;
            return TRUE;
        }
        return CWnd::OnWndMsg(message, wParam, lParam, result);
    }
    default:
        return CWnd::OnWndMsg(message, wParam, lParam, result);
    }
}

void CFrameWnd::OnInitMenuPopup(HMENU menu, BOOL systemMenu)
{
    if (systemMenu)
        return;
    CMenu popup(menu);
    if (!OnShowPopupMenu(&popup, 0)) {
        ::EndMenu();
        return;
    }
    CCmdUI::UpdateMenu(menu, this, m_bAutoMenuEnable);
}

void CFrameWnd::OnMenuSelect(UINT item, UINT flags, HMENU menu)
{
    if (flags == 0xFFFF && !menu) {
        SetMessageText(IDS_IDLE_MESSAGE);
        return;
    }
    if (flags & (MF_POPUP | MF_SEPARATOR | MF_SYSMENU) || item == 0) {
        SetMessageText(L"");
        return;
    }
    SetMessageText(LoadStringPart(item, 0));
}

BOOL CFrameWnd::OnToolTipText(NMHDR* header)
{
    auto* info = (NMTTDISPINFOW*)header;
    if (info->uFlags & TTF_IDISHWND)
        return FALSE;
    static thread_local WCHAR buffer[256];
    CString tip = LoadStringPart((UINT)header->idFrom, 1);
    lstrcpynW(buffer, tip, 256);
    info->lpszText = buffer;
    return TRUE;
}

BOOL CFrameWnd::OnCmdMsg(UINT id, int code, CCmdUI* update)
{
    // The active view (and its document) first, then the frame, then the
    // application.
    if (m_pActiveView && m_pActiveView->OnCmdMsg(id, code, update))
        return TRUE;
    if (OnFrameCmdMsg(id, code, update))
        return TRUE;
    CWinApp* app = AfxGetApp();
    return app && app->OnCmdMsg(id, code, update);
}

BOOL CFrameWnd::OnFrameCmdMsg(UINT id, int code, CCmdUI* update)
{
    static const CommandEntry<CFrameWnd> commands[] = {
        Cmd(ID_VIEW_TOOLBAR, &CFrameWnd::OnViewToolBar),
        CmdUpdate(ID_VIEW_TOOLBAR, &CFrameWnd::OnUpdateViewToolBar),
        Cmd(ID_VIEW_STATUS_BAR, &CFrameWnd::OnViewStatusBar),
        CmdUpdate(ID_VIEW_STATUS_BAR, &CFrameWnd::OnUpdateViewStatusBar),
        CmdUpdateRange(ID_INDICATOR_CAPS, ID_INDICATOR_SCRL, &CFrameWnd::OnUpdateKeyIndicator),
    };
    return DispatchCommand(this, commands, id, code, update) || CWnd::OnCmdMsg(id, code, update);
}

void CFrameWnd::OnViewToolBar()
{
    if (m_toolBars.empty() || !m_pReBar)
        return;
    CToolBar* bar = m_toolBars.front();
    m_pReBar->ShowBand(bar, !m_pReBar->IsBandVisible(bar));
    RecalcLayout();
}

void CFrameWnd::OnUpdateViewToolBar(CCmdUI* ui)
{
    bool visible = !m_toolBars.empty() && m_pReBar && m_pReBar->IsBandVisible(m_toolBars.front());
    ui->Enable(!m_toolBars.empty());
    ui->SetCheck(visible);
}

void CFrameWnd::OnViewStatusBar()
{
    if (!m_pStatusBar)
        return;
    m_pStatusBar->ShowWindow(m_pStatusBar->IsWindowVisible() ? SW_HIDE : SW_SHOW);
    RecalcLayout();
}

void CFrameWnd::OnUpdateViewStatusBar(CCmdUI* ui)
{
    ui->Enable(m_pStatusBar != nullptr);
    ui->SetCheck(m_pStatusBar && m_pStatusBar->IsWindowVisible());
}

void CFrameWnd::OnUpdateKeyIndicator(CCmdUI* ui)
{
    int key = ui->m_nID == ID_INDICATOR_CAPS ? VK_CAPITAL : ui->m_nID == ID_INDICATOR_NUM ? VK_NUMLOCK : VK_SCROLL;
    ui->Enable((::GetKeyState(key) & 1) != 0);
}

bool CFrameWnd::IsAcceleratorKey(const ACCEL& accel, const MSG* msg) const
{
    if (!(accel.fVirt & FVIRTKEY) || accel.key != (WORD)msg->wParam)
        return false;
    bool control = ::GetKeyState(VK_CONTROL) < 0;
    bool shift = ::GetKeyState(VK_SHIFT) < 0;
    bool alt = msg->message == WM_SYSKEYDOWN ? (msg->lParam & (1 << 29)) != 0 : ::GetKeyState(VK_MENU) < 0;
    return control == ((accel.fVirt & FCONTROL) != 0) && shift == ((accel.fVirt & FSHIFT) != 0) &&
           alt == ((accel.fVirt & FALT) != 0);
}

namespace {

// Records the state an update gives a command, for accelerators.
class CAcceleratorCmdUI : public CCmdUI {
public:
    void Enable(BOOL on) override
    {
        m_bEnabled = on;
        m_bEnableChanged = TRUE;
    }
    void SetCheck(int) override {}
    void SetRadio(BOOL) override {}
    void SetText(const WCHAR*) override {}
    BOOL m_bEnabled = TRUE;
};

}  // namespace

BOOL CFrameWnd::TranslateFrameAccelerator(const MSG* msg)
{
    if (!m_hAccelTable || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN))
        return FALSE;
    int count = ::CopyAcceleratorTableW(m_hAccelTable, nullptr, 0);
    std::vector<ACCEL> table((size_t)count);
    ::CopyAcceleratorTableW(m_hAccelTable, table.data(), count);
    for (const ACCEL& accel : table) {
        if (!IsAcceleratorKey(accel, msg))
            continue;
        CAcceleratorCmdUI state;
        state.m_nID = accel.cmd;
        state.DoUpdate(this, TRUE);
        if (!state.m_bEnabled)
            return FALSE;
        SendMessage(WM_COMMAND, MAKEWPARAM(accel.cmd, 1), 0);
        return TRUE;
    }
    return FALSE;
}

BOOL CFrameWnd::PreTranslateMessage(MSG* msg)
{
    if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST && IsWindowEnabled() &&
        TranslateFrameAccelerator(msg))
        return TRUE;
    return CWnd::PreTranslateMessage(msg);
}

void CFrameWnd::SaveBarState(const WCHAR* section)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return;
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (::GetWindowPlacement(m_hWnd, &placement)) {
        const RECT& r = placement.rcNormalPosition;
        std::vector<int> values = {(int)r.left, (int)r.top, (int)r.right, (int)r.bottom, (int)placement.showCmd,
                                   (int)placement.flags};
        app->WriteProfileString(section, L"WindowPlacement", FormatIntList(values));
    }
    for (CToolBar* bar : m_toolBars)
        bar->SaveState(section);
    if (m_pReBar && !m_toolBars.empty())
        app->WriteProfileInt(section, L"ToolBarVisible", m_pReBar->IsBandVisible(m_toolBars.front()) ? 1 : 0);
    if (m_pStatusBar)
        app->WriteProfileInt(section, L"StatusBarVisible", m_pStatusBar->IsWindowVisible() ? 1 : 0);
    if (m_dockColumn)
        m_dockColumn->SaveState(section);
}

void CFrameWnd::LoadBarState(const WCHAR* section)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return;
    std::vector<int> values = ParseIntList(app->GetProfileString(section, L"WindowPlacement", L""));
    if (values.size() == 6 && values[2] > values[0] && values[3] > values[1]) {
        WINDOWPLACEMENT placement = {};
        placement.length = sizeof placement;
        placement.rcNormalPosition = CRect(values[0], values[1], values[2], values[3]);
        // The window stays hidden until the application shows it.
        placement.showCmd = SW_HIDE;
        ::SetWindowPlacement(m_hWnd, &placement);
        m_nRestoredShow = values[4] == SW_SHOWMAXIMIZED ? SW_SHOWMAXIMIZED : SW_SHOW;
    }
    for (CToolBar* bar : m_toolBars)
        bar->LoadState(section);
    if (m_pReBar && !m_toolBars.empty())
        m_pReBar->ShowBand(m_toolBars.front(), app->GetProfileInt(section, L"ToolBarVisible", 1) != 0);
    if (m_pStatusBar)
        m_pStatusBar->ShowWindow(app->GetProfileInt(section, L"StatusBarVisible", 1) ? SW_SHOWNA : SW_HIDE);
    if (m_dockColumn)
        m_dockColumn->LoadState(section);
    RecalcLayout();
}
