#include "tests/QvTest.h"
#include "tests/framework/windows/DialogDriver.h"
#include "tests/framework/windows/test_dialogs.h"

#include "framework/windows/CDocTemplate.h"
#include "framework/windows/CDocument.h"
#include "framework/windows/CDockColumn.h"
#include "framework/windows/CDockablePane.h"
#include "framework/windows/CFrameWnd.h"
#include "framework/windows/CMenu.h"
#include "framework/windows/CReBar.h"
#include "framework/windows/CStatusBar.h"
#include "framework/windows/CToolBar.h"
#include "framework/windows/CView.h"
#include "framework/windows/CWinAppEx.h"
#include "framework/windows/CommandMap.h"
#include "framework/windows/PngImage.h"

#include <memory>
#include <vector>

namespace {

std::vector<CString> g_ran;  // handlers in the order they ran

class TestDoc : public CDocument {
public:
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* ui) override
    {
        static const CommandEntry<TestDoc> commands[] = {
            Cmd(ID_DOC_COMMAND, &TestDoc::OnDoc),
            Cmd(ID_SHARED_COMMAND, &TestDoc::OnShared),
        };
        return DispatchCommand(this, commands, id, code, ui) || CDocument::OnCmdMsg(id, code, ui);
    }
    void OnDoc() { g_ran.push_back(L"document"); }
    void OnShared() { g_ran.push_back(L"document shared"); }
};

class TestView : public CView {
public:
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* ui) override
    {
        static const CommandEntry<TestView> commands[] = {
            Cmd(ID_VIEW_COMMAND, &TestView::OnView),
            Cmd(ID_SHARED_COMMAND, &TestView::OnShared),
            CmdUpdate(ID_CHECKED_COMMAND, &TestView::OnUpdateChecked),
            CmdUpdate(ID_RADIO_COMMAND, &TestView::OnUpdateRadio),
            Cmd(ID_TEST_COPY, &TestView::OnCopy),
            CmdUpdate(ID_TEST_COPY, &TestView::OnUpdateCopy),
        };
        return DispatchCommand(this, commands, id, code, ui) || CView::OnCmdMsg(id, code, ui);
    }
    void OnView() { g_ran.push_back(L"view"); }
    void OnShared() { g_ran.push_back(L"view shared"); }
    void OnCopy() { g_ran.push_back(L"copy"); }
    void OnUpdateChecked(CCmdUI* ui)
    {
        ui->Enable(TRUE);
        ui->SetCheck(1);
    }
    void OnUpdateRadio(CCmdUI* ui)
    {
        ui->Enable(TRUE);
        ui->SetRadio(TRUE);
    }
    void OnUpdateCopy(CCmdUI* ui) { ui->Enable(copyEnabled); }
    void OnIdleUpdateCmdUI() override { ++idleUpdates; }

    BOOL copyEnabled = FALSE;
    int idleUpdates = 0;
};

class TestPane : public CDockablePane {};

class TestFrame : public CFrameWnd {
public:
    int OnCreate(CREATESTRUCTW* cs) override
    {
        if (CFrameWnd::OnCreate(cs) == -1)
            return -1;
        static const UINT indicators[] = {0, ID_INDICATOR_CAPS};
        if (!toolBar.Create(this, 0, IDW_TOOLBAR) ||
            !toolBar.LoadToolBar(IDR_TEST_FRAME, IDB_TEST_STRIP, IDB_TEST_STRIP, IDB_TEST_STRIP) ||
            !rebar.Create(this, RBS_BANDBORDERS, IDW_REBAR) ||
            !rebar.AddBar(&toolBar, nullptr, RBBS_GRIPPERALWAYS, false) || !status.Create(this, 0, IDW_STATUS_BAR) ||
            !status.SetIndicators(indicators, 2) ||
            !paneA.Create(L"Pane A", this, CRect(0, 0, 200, 150), TRUE, 801, 0) || !EnableDocking(0) ||
            !paneB.Create(L"Pane B", this, CRect(0, 0, 200, 150), TRUE, 802, 0))
            return -1;
        AddToolBar(&toolBar);
        SetReBar(&rebar);
        SetStatusBar(&status);
        DockPane(&paneA);
        paneB.DockToWindow(&paneA);
        return 0;
    }
    BOOL OnFrameCmdMsg(UINT id, int code, CCmdUI* ui) override
    {
        static const CommandEntry<TestFrame> commands[] = {
            Cmd(ID_FRAME_COMMAND, &TestFrame::OnFrame),
            Cmd(ID_SHARED_COMMAND, &TestFrame::OnShared),
        };
        return DispatchCommand(this, commands, id, code, ui) || CFrameWnd::OnFrameCmdMsg(id, code, ui);
    }
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        if (message == ToolBarResetMessage() && wParam == IDR_TEST_FRAME) {
            ++resets;
            int image = toolBar.GetButton(toolBar.CommandToIndex(ID_DROPDOWN_COMMAND))->m_iImage;
            toolBar.ReplaceButton(ID_DROPDOWN_COMMAND, std::make_unique<CToolBarMenuButton>(
                                                           ID_DROPDOWN_COMMAND, IDR_TEST_POPUP, 0, image, L"Drop", false));
            toolBar.ReplaceButton(ID_COMBO_COMMAND, std::make_unique<CToolBarComboBoxButton>(ID_COMBO_COMMAND, 0));
            *result = 0;
            return TRUE;
        }
        if (message == ToolBarPopupMenuMessage()) {
            ++contextMenus;
            *result = 0;
            return TRUE;
        }
        return CFrameWnd::OnWndMsg(message, wParam, lParam, result);
    }
    BOOL OnShowPopupMenu(CMenu* popup, UINT buttonCommand) override
    {
        popups.push_back({popup->GetMenuItemCount(), buttonCommand});
        return CFrameWnd::OnShowPopupMenu(popup, buttonCommand);
    }
    void OnFrame() { g_ran.push_back(L"frame"); }
    void OnShared() { g_ran.push_back(L"frame shared"); }

    CToolBar toolBar;
    CReBar rebar;
    CStatusBar status;
    TestPane paneA;
    TestPane paneB;
    int resets = 0;
    int contextMenus = 0;
    std::vector<std::pair<int, UINT>> popups;
};

class TestApp : public CWinAppEx {
public:
    TestApp() : CWinAppEx(L"FrameTest") {}
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* ui) override
    {
        static const CommandEntry<TestApp> commands[] = {
            Cmd(ID_APP_COMMAND, &TestApp::OnApp),
            Cmd(ID_SHARED_COMMAND, &TestApp::OnShared),
        };
        return DispatchCommand(this, commands, id, code, ui) || CWinAppEx::OnCmdMsg(id, code, ui);
    }
    void OnApp() { g_ran.push_back(L"application"); }
    void OnShared() { g_ran.push_back(L"application shared"); }
};

void CALLBACK CloseMenu(HWND, UINT, UINT_PTR, DWORD) { ::EndMenu(); }

const WCHAR* const kProfileKey = L"Software\\Halvercombe\\QuorvexFrameTest";

// The state of a menu item.
UINT ItemState(HMENU menu, UINT id) { return ::GetMenuState(menu, id, MF_BYCOMMAND); }

class FrameTest : public testing::Test {
protected:
    void SetUp() override
    {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kProfileKey);
        g_ran.clear();
        app = std::make_unique<TestApp>();
        app->SetRegistryKey(L"Halvercombe");
        app->SetProfileName(L"QuorvexFrameTest");
        app->AddDocTemplate(CSingleDocTemplate::Create<TestDoc, TestFrame, TestView>(IDR_TEST_FRAME));
        OpenFrame();
    }
    void TearDown() override
    {
        CloseFrame();
        app->ExitInstance();
        app.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kProfileKey);
    }
    void OpenFrame()
    {
        ASSERT_TRUE(app->ProcessShellCommand());
        frame = dynamic_cast<TestFrame*>(app->m_pMainWnd);
        ASSERT_NE(nullptr, frame);
        view = dynamic_cast<TestView*>(frame->GetActiveView());
        ASSERT_NE(nullptr, view);
        frame->ShowWindow(app->m_nCmdShow);
        qvtest::PumpFor(20);
    }
    void CloseFrame()
    {
        qvtest::CloseMainWindow(*app);
        frame = nullptr;
        view = nullptr;
    }
    HMENU CommandsMenu() const { return ::GetSubMenu(::GetMenu(frame->m_hWnd), 0); }
    void OpenMenu(HMENU menu) { frame->SendMessage(WM_INITMENUPOPUP, (WPARAM)menu, 0); }

    std::unique_ptr<TestApp> app;
    TestFrame* frame = nullptr;
    TestView* view = nullptr;
};

}  // namespace

TEST_F(FrameTest, TemplateMakesDocumentFrameAndViewFromOneResourceId)
{
    EXPECT_EQ(L"Test Frame", frame->GetWindowText()) << "title from string 700";
    EXPECT_NE(nullptr, ::GetMenu(frame->m_hWnd));
    EXPECT_NE(nullptr, dynamic_cast<TestDoc*>(view->GetDocument()));
    EXPECT_EQ(IDW_PANE_FIRST, (UINT)view->GetDlgCtrlID());
    EXPECT_EQ(frame, view->GetParentFrame());
    EXPECT_EQ(1, frame->resets) << "loading the toolbar asks the frame for its replacements";
}

TEST_F(FrameTest, CommandsTravelViewDocumentFrameApplication)
{
    struct Case {
        UINT id;
        const WCHAR* ran;
    };
    const Case cases[] = {
        {ID_VIEW_COMMAND, L"view"},
        {ID_DOC_COMMAND, L"document"},
        {ID_FRAME_COMMAND, L"frame"},
        {ID_APP_COMMAND, L"application"},
        {ID_SHARED_COMMAND, L"view shared"},  // everyone handles it: the view is asked first
    };
    for (const Case& c : cases) {
        g_ran.clear();
        frame->SendMessage(WM_COMMAND, MAKEWPARAM(c.id, 0), 0);
        ASSERT_EQ(1u, g_ran.size()) << c.id;
        EXPECT_EQ(CString(c.ran), g_ran[0]) << c.id;
    }
    g_ran.clear();
    frame->SendMessage(WM_COMMAND, MAKEWPARAM(ID_UNHANDLED_COMMAND, 0), 0);
    EXPECT_TRUE(g_ran.empty());
}

TEST_F(FrameTest, MenuItemsAreUpdatedWhenTheirMenuOpens)
{
    HMENU menu = CommandsMenu();
    OpenMenu(menu);
    for (UINT id : {ID_VIEW_COMMAND, ID_DOC_COMMAND, ID_FRAME_COMMAND, ID_APP_COMMAND})
        EXPECT_FALSE(ItemState(menu, id) & MF_GRAYED) << id << " has a handler";
    EXPECT_TRUE(ItemState(menu, ID_UNHANDLED_COMMAND) & MF_GRAYED) << "no handler: disabled";
    EXPECT_TRUE(ItemState(menu, ID_CHECKED_COMMAND) & MF_CHECKED);
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE;
    ASSERT_TRUE(::GetMenuItemInfoW(menu, ID_RADIO_COMMAND, FALSE, &info));
    EXPECT_TRUE(info.fType & MFT_RADIOCHECK);
    EXPECT_TRUE(info.fState & MFS_CHECKED);
    // A submenu is updated when it opens itself.
    HMENU more = ::GetSubMenu(menu, 8);
    ASSERT_NE(nullptr, more);
    ::EnableMenuItem(more, ID_SHARED_COMMAND, MF_BYCOMMAND | MF_GRAYED);
    OpenMenu(more);
    EXPECT_FALSE(ItemState(more, ID_SHARED_COMMAND) & MF_GRAYED);
}

TEST_F(FrameTest, ToolbarButtonsFollowTheHandlersAtIdleTime)
{
    HWND bar = frame->toolBar.m_hWnd;
    ::SendMessageW(bar, TB_ENABLEBUTTON, ID_VIEW_COMMAND, FALSE);
    int idleBefore = view->idleUpdates;
    app->OnIdle(0);
    EXPECT_TRUE(::SendMessageW(bar, TB_ISBUTTONENABLED, ID_VIEW_COMMAND, 0));
    EXPECT_FALSE(::SendMessageW(bar, TB_ISBUTTONENABLED, ID_UNHANDLED_COMMAND, 0));
    EXPECT_TRUE(::SendMessageW(bar, TB_ISBUTTONCHECKED, ID_CHECKED_COMMAND, 0));
    EXPECT_EQ(idleBefore + 1, view->idleUpdates) << "the view takes part in idle time";
    CToolBarComboBoxButton* combo = frame->toolBar.FindComboButton(ID_COMBO_COMMAND);
    ASSERT_NE(nullptr, combo);
    EXPECT_FALSE(::IsWindowEnabled(combo->GetHwnd())) << "a combo box without a handler is disabled too";
    // A click on an enabled button runs its command.
    g_ran.clear();
    frame->toolBar.RunButtonCommand(frame->toolBar.GetButton(frame->toolBar.CommandToIndex(ID_VIEW_COMMAND)));
    EXPECT_EQ(std::vector<CString>({L"view"}), g_ran);
}

TEST_F(FrameTest, ToolbarButtonsAreReplacedAndTheirMenusOfferedToTheFrame)
{
    CToolBar& bar = frame->toolBar;
    EXPECT_EQ(7, bar.GetCount());
    auto* menuButton = dynamic_cast<CToolBarMenuButton*>(bar.GetButton(bar.CommandToIndex(ID_DROPDOWN_COMMAND)));
    ASSERT_NE(nullptr, menuButton);
    EXPECT_EQ(3, menuButton->m_iImage) << "the image of the button it replaced";
    TBBUTTON item = {};
    bar.SendMessage(TB_GETBUTTON, bar.CommandToIndex(ID_DROPDOWN_COMMAND), (LPARAM)&item);
    EXPECT_EQ(BTNS_DROPDOWN, item.fsStyle & (BTNS_DROPDOWN | BTNS_WHOLEDROPDOWN));

    // The combo box stands over its slot.
    CToolBarComboBoxButton* combo = bar.FindComboButton(ID_COMBO_COMMAND);
    ASSERT_NE(nullptr, combo);
    CRect slot, box;
    bar.SendMessage(TB_GETITEMRECT, bar.CommandToIndex(ID_COMBO_COMMAND), (LPARAM)&slot);
    ::GetWindowRect(combo->GetHwnd(), &box);
    ::MapWindowPoints(nullptr, bar.m_hWnd, (POINT*)&box, 2);
    EXPECT_EQ(slot.left, box.left);
    EXPECT_EQ(combo->m_nWidth, slot.Width());

    // The arrow of the split button: the frame sees the menu with the button's command.
    NMTOOLBARW drop = {};
    drop.hdr.hwndFrom = bar.m_hWnd;
    drop.hdr.idFrom = IDW_TOOLBAR;
    drop.hdr.code = TBN_DROPDOWN;
    drop.iItem = ID_DROPDOWN_COMMAND;
    bar.SendMessage(TB_GETITEMRECT, bar.CommandToIndex(ID_DROPDOWN_COMMAND), (LPARAM)&drop.rcButton);
    // The menu closes itself shortly after it opens.
    UINT_PTR closer = ::SetTimer(nullptr, 0, 100, CloseMenu);
    frame->SendMessage(WM_NOTIFY, IDW_TOOLBAR, (LPARAM)&drop);
    ::KillTimer(nullptr, closer);
    ASSERT_FALSE(frame->popups.empty());
    EXPECT_EQ(2, frame->popups.front().first);
    EXPECT_EQ((UINT)ID_DROPDOWN_COMMAND, frame->popups.front().second);

    // A right click asks the frame for the bar's menu.
    NMHDR click = {bar.m_hWnd, IDW_TOOLBAR, (UINT)NM_RCLICK};
    frame->SendMessage(WM_NOTIFY, IDW_TOOLBAR, (LPARAM)&click);
    EXPECT_EQ(1, frame->contextMenus);
}

TEST_F(FrameTest, AnAcceleratorRunsOnlyWhenItsCommandIsEnabled)
{
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"text", WS_CHILD | WS_VISIBLE, 0, 0, 80, 20, view->m_hWnd, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(nullptr, edit);
    qvtest::KeyboardState keys;
    keys.Set(VK_CONTROL, 0x80);
    MSG copy = {edit, WM_KEYDOWN, 'C', 0, 0, {0, 0}};

    view->copyEnabled = FALSE;
    g_ran.clear();
    EXPECT_FALSE(AfxPreTranslateMessage(&copy)) << "a disabled command leaves the key to the edit field";
    EXPECT_TRUE(g_ran.empty());

    view->copyEnabled = TRUE;
    EXPECT_TRUE(AfxPreTranslateMessage(&copy));
    EXPECT_EQ(std::vector<CString>({L"copy"}), g_ran);

    keys.Restore();
    g_ran.clear();
    EXPECT_FALSE(AfxPreTranslateMessage(&copy)) << "plain C is not the accelerator";
    MSG f5 = {edit, WM_KEYDOWN, VK_F5, 0, 0, {0, 0}};
    EXPECT_TRUE(AfxPreTranslateMessage(&f5));
    EXPECT_EQ(std::vector<CString>({L"frame"}), g_ran);
    ::DestroyWindow(edit);
}

TEST_F(FrameTest, PanesStackInTheColumnAndTheViewTakesTheRest)
{
    CDockColumn* column = frame->GetDockColumn();
    ASSERT_NE(nullptr, column);
    CRect a, b, viewRect, columnRect;
    frame->paneA.GetWindowRect(&a);
    frame->paneB.GetWindowRect(&b);
    column->GetWindowRect(&columnRect);
    view->GetWindowRect(&viewRect);
    EXPECT_EQ(a.left, b.left);
    EXPECT_EQ(a.bottom + CDockColumn::SPLITTER, b.top) << "B below A";
    EXPECT_EQ(150, a.Height()) << "the upper pane keeps its height";
    EXPECT_EQ(columnRect.right, viewRect.left);
    CRect client;
    frame->paneA.GetClientRect(&client);
    EXPECT_EQ(a.Height() - CDockablePane::CaptionHeight(), client.Height()) << "the caption is not client area";

    // Hiding A: B fills the column. Hiding both: the view takes the width.
    frame->paneA.ShowPane(FALSE, FALSE, FALSE);
    frame->paneB.GetWindowRect(&b);
    EXPECT_EQ(columnRect.top, b.top);
    EXPECT_EQ(columnRect.bottom, b.bottom);
    frame->paneB.ShowPane(FALSE, FALSE, FALSE);
    CRect frameClient;
    frame->GetClientRect(&frameClient);
    view->GetWindowRect(&viewRect);
    EXPECT_EQ(frameClient.Width(), viewRect.Width());
    frame->paneA.ShowPane(TRUE, FALSE, FALSE);
    frame->paneB.ShowPane(TRUE, FALSE, FALSE);

    // The close button of the caption hides the pane.
    CRect close = frame->paneA.GetCloseButtonRect();
    frame->paneA.GetWindowRect(&a);
    frame->paneA.SendMessage(WM_NCLBUTTONDOWN, HTCLOSE, MAKELPARAM(a.left + close.left + 2, a.top + close.top + 2));
    EXPECT_FALSE(frame->paneA.IsVisible());
    frame->paneA.ShowPane(TRUE, FALSE, FALSE);
}

TEST_F(FrameTest, SplittersSetTheColumnWidthAndThePaneHeight)
{
    CDockColumn* column = frame->GetDockColumn();
    CRect columnClient;
    column->GetClientRect(&columnClient);
    int edge = columnClient.right - 2;
    column->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(edge, 50));
    column->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(edge + 60, 50));
    column->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(edge + 60, 50));
    CRect wider;
    column->GetClientRect(&wider);
    EXPECT_NEAR(columnClient.Width() + 60, wider.Width(), 2);

    CRect a;
    frame->paneA.GetWindowRect(&a);
    ::MapWindowPoints(nullptr, column->m_hWnd, (POINT*)&a, 2);
    int gap = a.bottom + 2;
    column->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, gap));
    column->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(20, gap + 40));
    column->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(20, gap + 40));
    EXPECT_NEAR(a.Height() + 40, column->GetPaneHeight(&frame->paneA), 2);
}

TEST_F(FrameTest, WorkspaceIsRestoredAtTheNextStartAndCleanStateDropsIt)
{
    frame->MoveWindow(40, 30, 700, 500);
    frame->SendMessage(WM_COMMAND, ID_VIEW_TOOLBAR);
    frame->SendMessage(WM_COMMAND, ID_VIEW_STATUS_BAR);
    frame->paneB.ShowPane(FALSE, FALSE, FALSE);
    frame->GetDockColumn()->SetWidth(321);
    // The toolbar loses a button (as in the customisation dialog).
    frame->toolBar.SendMessage(TB_DELETEBUTTON, 1);
    CloseFrame();
    EXPECT_NE(L"", app->GetProfileString(CWinAppEx::WorkspaceSection(), L"WindowPlacement", L""));

    OpenFrame();
    CRect rect;
    frame->GetWindowRect(&rect);
    EXPECT_EQ(CRect(40, 30, 740, 530), rect);
    EXPECT_FALSE(frame->rebar.IsBandVisible(&frame->toolBar));
    EXPECT_FALSE(frame->status.IsWindowVisible());
    EXPECT_TRUE(frame->paneA.IsVisible());
    EXPECT_FALSE(frame->paneB.IsVisible());
    EXPECT_EQ(321, frame->GetDockColumn()->GetLayoutWidth(1000));
    EXPECT_EQ(6, frame->toolBar.GetCount());
    EXPECT_EQ(-1, frame->toolBar.CommandToIndex(ID_UNHANDLED_COMMAND));
    EXPECT_NE(nullptr, frame->toolBar.FindComboButton(ID_COMBO_COMMAND)) << "replaced buttons come back too";
    // The update handler of the standard toggles shows the state.
    HMENU popup = ::CreatePopupMenu();
    ::AppendMenuW(popup, MF_STRING, ID_VIEW_TOOLBAR, L"Toolbar");
    ::AppendMenuW(popup, MF_STRING, ID_VIEW_STATUS_BAR, L"Status");
    OpenMenu(popup);
    EXPECT_FALSE(ItemState(popup, ID_VIEW_TOOLBAR) & MF_CHECKED);
    EXPECT_FALSE(ItemState(popup, ID_VIEW_STATUS_BAR) & MF_CHECKED);
    ::DestroyMenu(popup);

    CloseFrame();
    EXPECT_TRUE(app->CleanState());
    OpenFrame();
    EXPECT_TRUE(frame->rebar.IsBandVisible(&frame->toolBar));
    EXPECT_TRUE(frame->status.IsWindowVisible());
    EXPECT_TRUE(frame->paneB.IsVisible());
    EXPECT_EQ(7, frame->toolBar.GetCount());
}

TEST_F(FrameTest, AButtonUnderThePointerShowsItsPromptOnTheStatusLine)
{
    CToolBar& bar = frame->toolBar;
    ASSERT_GE(bar.CommandToIndex(ID_VIEW_COMMAND), 0);
    NMTBHOTITEM hot = {};
    hot.hdr = {bar.m_hWnd, IDW_TOOLBAR, (UINT)TBN_HOTITEMCHANGE};
    hot.idNew = ID_VIEW_COMMAND;
    hot.dwFlags = HICF_MOUSE | HICF_ENTERING;
    frame->SendMessage(WM_NOTIFY, IDW_TOOLBAR, (LPARAM)&hot);
    EXPECT_EQ(L"Runs the view's command", frame->status.GetPaneText(0)) << "the prompt, without the tip";
    hot.dwFlags = HICF_MOUSE | HICF_LEAVING;
    frame->SendMessage(WM_NOTIFY, IDW_TOOLBAR, (LPARAM)&hot);
    EXPECT_EQ(L"Ready", frame->status.GetPaneText(0));
}

TEST_F(FrameTest, StatusIndicatorShowsItsTextWhileTheKeyIsLocked)
{
    qvtest::KeyboardState keys;
    keys.Set(VK_CAPITAL, 0x01);
    app->OnIdle(0);
    EXPECT_EQ(L"CAP", frame->status.GetPaneText(1));
    keys.Set(VK_CAPITAL, 0);
    app->OnIdle(0);
    EXPECT_EQ(L"", frame->status.GetPaneText(1));
    keys.Restore();
    // Menu prompts reach the message pane; leaving the menu restores it.
    frame->SendMessage(WM_MENUSELECT, MAKEWPARAM(ID_VIEW_COMMAND, 0), (LPARAM)CommandsMenu());
    EXPECT_EQ(L"Runs the view's command", frame->status.GetPaneText(0));
    frame->SendMessage(WM_EXITMENULOOP);
    EXPECT_EQ(L"Ready", frame->status.GetPaneText(0)) << "the framework's idle message, string 57345";
}

TEST(PngImage, DecodesAStripIntoPremultipliedPixels)
{
    CPngImage strip;
    ASSERT_TRUE(strip.LoadResource(IDB_TEST_STRIP));
    EXPECT_EQ(24, strip.Height());
    EXPECT_EQ(13 * 24, strip.Width());
    uint32_t corner = strip.Pixels()[0];
    EXPECT_EQ(0u, corner) << "transparent corner";
    bool opaque = false;
    for (uint32_t pixel : strip.Pixels()) {
        uint32_t alpha = pixel >> 24;
        EXPECT_LE((pixel >> 16) & 0xFF, alpha) << "premultiplied: no channel above alpha";
        opaque = opaque || alpha == 255;
    }
    EXPECT_TRUE(opaque);
    HIMAGELIST list = strip.CreateImageList(24, false);
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(13, ::ImageList_GetImageCount(list));
    ::ImageList_Destroy(list);
    CPngImage missing;
    EXPECT_FALSE(missing.LoadResource(9999));
}

namespace {

DWORD WINAPI SignalLater(void* event)
{
    Sleep(50);
    ::SetEvent((HANDLE)event);
    return 0;
}

// Idle time that ends the loop once the wake handle has brought it back.
class WakeApp : public CWinApp {
public:
    WakeApp() : CWinApp(L"WakeTest") {}
    BOOL OnIdle(LONG count) override
    {
        if (::WaitForSingleObject(event, 0) == WAIT_OBJECT_0) {
            woken = true;
            ::ResetEvent(event);
            window.DestroyWindow();
            return FALSE;
        }
        if (count == 0 && !armed) {
            armed = true;
            // Signalled from another thread: no message reaches this one.
            ::CloseHandle(::CreateThread(nullptr, 0, SignalLater, event, 0, nullptr));
        }
        CWinApp::OnIdle(count);
        return FALSE;
    }
    HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CWnd window;
    bool armed = false;
    bool woken = false;
};

}  // namespace

TEST(MessageLoop, AWakeHandleBringsIdleTimeBackWithoutAMessage)
{
    WakeApp app;
    ASSERT_TRUE(app.window.CreateEx(0, CWnd::RegisterWndClass(0), L"Wake", WS_OVERLAPPED, 0, 0, 50, 50, nullptr,
                                    nullptr));
    app.m_pMainWnd = &app.window;
    app.AddWakeHandle(app.event);
    // A safety net: a loop that never wakes is ended by a timer after 5 s.
    UINT_PTR timer = ::SetTimer(app.window.m_hWnd, 1, 5000, nullptr);
    app.Run();
    ::KillTimer(nullptr, timer);
    EXPECT_TRUE(app.woken);
    app.RemoveWakeHandle(app.event);
    ::CloseHandle(app.event);
}
