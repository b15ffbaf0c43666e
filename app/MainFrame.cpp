#include "app/MainFrame.h"

#include "app/FindComboButton.h"
#include "app/OrvantisView.h"
#include "app/ProgressDlg.h"
#include "doc/JobProtocol.h"
#include "framework/windows/CMenu.h"
#include "framework/windows/CWinApp.h"
#include "framework/windows/CommandImages.h"
#include "framework/windows/CommandMap.h"
#include "res/resource.h"

namespace {

const UINT STATUS_INDICATORS[] = {0, ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL};
const int PANE_WIDTH = 260;
const int PANE_HEIGHT = 200;
// Posted to itself after a refused address: a drop-down that closes after
// its choice was refused writes the chosen text into the box once more.
const UINT UWM_SHOW_LIST_FOLDER = WM_APP + 0x120;

}  // namespace

CMainFrame::CMainFrame() = default;

CMainFrame::~CMainFrame()
{
    // Only a folder on a drive is kept: network paths and names are not.
    if (m_strLastPath.Find(L":\\") > 0) {
        if (CWinApp* app = AfxGetApp())
            app->WriteProfileString(L"Settings", L"LastPath", m_strLastPath);
    }
    if (m_pProgressDlg) {
        CProgressDlg* dialog = m_pProgressDlg;
        m_pProgressDlg = nullptr;
        dialog->Close();
    }
}

BOOL CMainFrame::PreCreateWindow(CREATESTRUCTW& cs)
{
    cs.style &= ~FWS_ADDTOTITLE;
    return CFrameWnd::PreCreateWindow(cs);
}

BOOL CMainFrame::LoadFrame(UINT resourceId, DWORD style, CWnd* parent, CCreateContext* context)
{
    if (!CFrameWnd::LoadFrame(resourceId, style, parent, context))
        return FALSE;
    // The program always starts with the preview pane hidden.
    m_wndPreviewBar.ShowPane(FALSE, FALSE, FALSE);
    return TRUE;
}

int CMainFrame::OnCreate(CREATESTRUCTW* cs)
{
    if (CFrameWnd::OnCreate(cs) == -1)
        return -1;

    // The "Backup" commands stand on the main menu, before "Options".
    CMenu backup;
    if (HMENU menu = ::GetMenu(m_hWnd); menu && backup.LoadMenu(IDR_BACKUP_MENU)) {
        CMenu items;
        items.CreatePopupMenu();
        items.AppendCopyOf(backup.GetSubMenu(0));
        int options = ::GetMenuItemCount(menu) - 2;
        ::InsertMenuW(menu, (UINT)options, MF_BYPOSITION | MF_POPUP | MF_STRING, (UINT_PTR)items.Detach(), L"Backup");
        ::DrawMenuBar(m_hWnd);
    }

    if (!m_wndToolBar.Create(this, 0, IDW_TOOLBAR) ||
        !m_wndToolBar.LoadToolBar(IDR_MAINFRAME, IDB_TOOLBAR_COLD, IDB_TOOLBAR_MENU, IDB_TOOLBAR_HOT))
        return -1;
    AddToolBar(&m_wndToolBar);
    CCommandImages::RegisterToolBar(IDR_EXTRA_IMAGES, IDB_EXTRA_MENU);

    if (!m_wndAddressBox.Create(CBS_DROPDOWN | WS_CHILD, CRect(0, 0, 200, 120), this, IDC_ADDRESS_BOX))
        return -1;

    if (!m_wndReBar.Create(this, RBS_BANDBORDERS, IDW_REBAR))
        return -1;
    const DWORD bandStyle = RBBS_GRIPPERALWAYS | RBBS_FIXEDBMP;
    if (!m_wndReBar.AddBar(&m_wndToolBar, nullptr, bandStyle, false) ||
        !m_wndReBar.AddBar(&m_wndAddressBox, L"Address", bandStyle, true))
        return -1;
    m_wndAddressBox.ShowWindow(SW_SHOW);
    SetReBar(&m_wndReBar);

    if (!m_wndStatusBar.Create(this, 0, IDW_STATUS_BAR) ||
        !m_wndStatusBar.SetIndicators(STATUS_INDICATORS, (int)(sizeof STATUS_INDICATORS / sizeof *STATUS_INDICATORS)))
        return -1;
    SetStatusBar(&m_wndStatusBar);
    SetMessageText(IDS_IDLE_MESSAGE);

    if (!m_wndFolderBar.Create(L"Folders", this, CRect(0, 0, PANE_WIDTH, PANE_HEIGHT), TRUE, ID_VIEW_FOLDERS, 0))
        return -1;
    if (!EnableDocking(0))
        return -1;
    DockPane(&m_wndFolderBar);

    CString name;
    name.LoadString(IDS_TOOLBAR_STANDARD);
    m_wndToolBar.SetWindowText(name);

    if (!m_wndPreviewBar.Create(L"Image Preview", this, CRect(0, 0, PANE_WIDTH, PANE_HEIGHT), TRUE, ID_VIEW_PREVIEW, 0))
        return -1;
    m_wndPreviewBar.DockToWindow(&m_wndFolderBar);
    RecalcLayout();
    return 0;
}

void CMainFrame::OnUpdateFrameTitle(BOOL) { SetWindowText(L"Quorvex"); }

COrvantisView* CMainFrame::GetOrvantisView() const { return dynamic_cast<COrvantisView*>(GetActiveView()); }

LRESULT CMainFrame::OnToolbarReset(WPARAM toolbarId)
{
    if (toolbarId != IDR_MAINFRAME)
        return 0;
    auto imageOf = [this](UINT id) {
        int index = m_wndToolBar.CommandToIndex(id);
        CToolBarButton* button = index >= 0 ? m_wndToolBar.GetButton(index) : nullptr;
        return button ? button->m_iImage : -1;
    };
    m_wndToolBar.ReplaceButton(ID_GO_BACK, std::make_unique<CToolBarMenuButton>(
                                               ID_GO_BACK, IDR_HISTORY_MENU, 0, imageOf(ID_GO_BACK), L"Back", false));
    m_wndToolBar.ReplaceButton(ID_VIEWS_MENU,
                               std::make_unique<CToolBarMenuButton>((UINT)-1, IDR_VIEWS_MENU, 0, imageOf(ID_VIEWS_MENU),
                                                                    L"Views", true));
    m_wndToolBar.ReplaceButton(ID_EDIT_FIND, std::make_unique<CFindComboButton>());
    return 0;
}

BOOL CMainFrame::OnShowPopupMenu(CMenu* popup, UINT buttonCommand)
{
    if (!CFrameWnd::OnShowPopupMenu(popup, buttonCommand))
        return FALSE;
    if (!popup || !popup->m_hMenu)
        return TRUE;
    if (popup->FindCommand(ID_VIEW_TOOLBARS) >= 0) {
        if (m_wndToolBar.IsCustomizing())
            return FALSE;
        popup->RemoveAll();
        CMenu toolbarMenu;
        if (toolbarMenu.LoadMenu(IDR_TOOLBAR_MENU))
            popup->AppendCopyOf(toolbarMenu.GetSubMenu(0));
    }
    if (buttonCommand == ID_GO_BACK || buttonCommand == ID_GO_FORWARD) {
        // The folders of the history above "Clear History".
        if (COrvantisView* view = GetOrvantisView()) {
            const CStringArray& history = view->GetHistory();
            for (int i = 0; i < history.GetSize() && ID_HISTORY_FIRST + i <= ID_HISTORY_LAST; ++i)
                popup->InsertMenu((UINT)i, MF_BYPOSITION | MF_STRING, ID_HISTORY_FIRST + i, history[i]);
            if (history.GetSize() > 0)
                popup->InsertMenu((UINT)std::min(history.GetSize(), ID_HISTORY_LAST - ID_HISTORY_FIRST + 1),
                                  MF_BYPOSITION | MF_SEPARATOR);
        }
    }
    CCommandImages::ApplyToMenu(popup->m_hMenu);
    return TRUE;
}

LRESULT CMainFrame::OnToolbarContextMenu(LPARAM point)
{
    CMenu menu;
    if (!menu.LoadMenu(IDR_TOOLBAR_MENU))
        return 0;
    CMenu popup(menu.GetSubMenu(0));
    popup.TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, (short)LOWORD(point), (short)HIWORD(point), this);
    return 0;
}

void CMainFrame::OnViewCustomize() { m_wndToolBar.Customize(); }

void CMainFrame::OnViewFolders()
{
    bool visible = m_wndFolderBar.IsVisible() != FALSE;
    m_wndFolderBar.ShowPane(!visible, FALSE, TRUE);
    if (!visible) {
        if (COrvantisView* view = GetOrvantisView())
            view->SyncTreeToList();
    }
    RecalcLayout();
}

void CMainFrame::OnUpdateViewFolders(CCmdUI* ui) { ui->SetCheck(m_wndFolderBar.IsVisible() ? 1 : 0); }

void CMainFrame::DisplayFolderInList(const CString& path)
{
    COrvantisView* view = GetOrvantisView();
    if (!view)
        return;
    // Folder commands act on the folder the list shows: a refused address
    // must not stay in the box as if it were that folder.
    if (FAILED(view->GetList().DisplayFolder(path.GetString()))) {
        ShowListFolderInAddress();
        PostMessage(UWM_SHOW_LIST_FOLDER);
    }
}

void CMainFrame::ShowListFolderInAddress()
{
    if (COrvantisView* view = GetOrvantisView(); view && m_wndAddressBox.IsWindow())
        m_wndAddressBox.SetEditText(view->ShownFolderText());
}

void CMainFrame::OnAddressSelEndOk()
{
    int selected = m_wndAddressBox.GetCurSel();
    if (selected >= 0)
        DisplayFolderInList(m_wndAddressBox.GetItemText(selected));
}

void CMainFrame::OnAddressEnter()
{
    CString text = m_wndAddressBox.GetEditText();
    DisplayFolderInList(text);
    m_wndAddressBox.InsertItem(-1, text);
}

void CMainFrame::SetAddressPath(const CString& path)
{
    if (!IsWindow() || !m_wndAddressBox.IsWindow())
        return;
    m_wndAddressBox.SetEditText(path);
    m_strLastPath = path;
    ShowImagePreview(CString());
}

void CMainFrame::ShowImagePreview(const CString& path)
{
    m_wndPreviewBar.ClearPreview();
    if (path.IsEmpty()) {
        if (m_wndPreviewBar.IsVisible())
            m_wndPreviewBar.ShowPane(FALSE, FALSE, FALSE);
        return;
    }
    m_wndPreviewBar.ShowPane(TRUE, FALSE, TRUE);
    m_wndPreviewBar.ShowPath(path);
}

void CMainFrame::ShowImagePreviewAs(const CString& path, const CString& shownName)
{
    m_wndPreviewBar.ShowPane(TRUE, FALSE, TRUE);
    m_wndPreviewBar.ShowImageFile(path, shownName);
}

void CMainFrame::StopImagePreview() { m_wndPreviewBar.StopPreview(); }

CToolBarComboBoxButton* CMainFrame::GetFindCombo() const
{
    for (CToolBar* bar : CToolBar::AllToolBars()) {
        if (CToolBarComboBoxButton* combo = bar->FindComboButton(ID_FIND_FILE))
            return combo;
    }
    return nullptr;
}

CToolBarComboBoxButton* CMainFrame::GetFocusedFindCombo() const
{
    for (CToolBar* bar : CToolBar::AllToolBars()) {
        CToolBarComboBoxButton* combo = bar->FindComboButton(ID_FIND_FILE);
        if (combo && combo->HasFocus())
            return combo;
    }
    return nullptr;
}

void CMainFrame::CycleFocus()
{
    HWND focus = ::GetFocus();
    HWND tree = GetFolderTree()->m_hWnd;
    CView* view = GetActiveView();
    bool inView = focus && view && (focus == view->m_hWnd || ::IsChild(view->m_hWnd, focus));
    bool inTree = focus && tree && (focus == tree || ::IsChild(tree, focus));
    if (inView) {
        if (HWND edit = m_wndAddressBox.GetEditHwnd())
            ::SetFocus(edit);
        else
            m_wndAddressBox.SetFocus();
    } else if (inTree) {
        SetFocus();
    } else if (m_wndFolderBar.IsVisible()) {
        m_wndFolderBar.SetFocus();
    } else {
        SetFocus();
    }
}

BOOL CMainFrame::PreTranslateMessage(MSG* msg)
{
    if (msg->message == WM_KEYUP && msg->wParam == VK_TAB) {
        CycleFocus();
    } else if (msg->message == WM_KEYDOWN && msg->wParam == VK_F3) {
        if (CToolBarComboBoxButton* combo = GetFindCombo()) {
            if (HWND edit = combo->GetEditHwnd())
                ::SetFocus(edit);
            if (CToolBar* bar = combo->GetToolBar(); bar && bar->GetFrame())
                bar->GetFrame()->PostMessage(WM_COMMAND, MAKEWPARAM(ID_FIND_FILE, 0), (LPARAM)combo->GetHwnd());
        }
    }
    return CFrameWnd::PreTranslateMessage(msg);
}

BOOL CMainFrame::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == ToolBarResetMessage()) {
        *result = OnToolbarReset(wParam);
        return TRUE;
    }
    if (message == ToolBarPopupMenuMessage()) {
        *result = OnToolbarContextMenu(lParam);
        return TRUE;
    }
    switch (message) {
    case UWM_JOB_PROGRESS:
        *result = OnJobProgress(ReportOf(lParam));
        return TRUE;
    case UWM_SHOW_LIST_FOLDER:
        ShowListFolderInAddress();
        *result = 0;
        return TRUE;
    case WM_MOUSEHWHEEL:
        *result = DefWindowProc(message, wParam, lParam);
        return TRUE;
    default:
        return CFrameWnd::OnWndMsg(message, wParam, lParam, result);
    }
}

BOOL CMainFrame::OnFrameCmdMsg(UINT id, int code, CCmdUI* update)
{
    static const CommandEntry<CMainFrame> commands[] = {
        Cmd(ID_VIEW_CUSTOMIZE, &CMainFrame::OnViewCustomize),
        Cmd(ID_VIEW_FOLDERS, &CMainFrame::OnViewFolders),
        CmdUpdate(ID_VIEW_FOLDERS, &CMainFrame::OnUpdateViewFolders),
        CmdNotify(IDC_ADDRESS_BOX, CBN_SELENDOK, &CMainFrame::OnAddressSelEndOk),
        Cmd(IDOK, &CMainFrame::OnAddressEnter),
    };
    return DispatchCommand(this, commands, id, code, update) || CFrameWnd::OnFrameCmdMsg(id, code, update);
}
