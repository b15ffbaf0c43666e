#include "tests/app/shell/MainWindowSupport.h"
#include "tests/app/shell/ShellTestSupport.h"

#include "framework/windows/CDockColumn.h"
#include "framework/windows/CMenu.h"
#include "framework/windows/CommandImages.h"
#include "res/resource.h"

#include <vector>

namespace {

using qvtest::ProfileInt;
using qvtest::ProfileString;

class MainWindowTest : public qvtest::ProgramTest {
protected:
    HMENU TopMenu(const WCHAR* text)
    {
        CMenu bar(::GetMenu(frame->m_hWnd));
        for (int i = 0; i < bar.GetMenuItemCount(); ++i) {
            if (bar.GetMenuString((UINT)i, MF_BYPOSITION) == text)
                return bar.GetSubMenu(i);
        }
        return nullptr;
    }
    // Opens a popup as the user would (its items are updated).
    void Open(HMENU menu) { frame->SendMessage(WM_INITMENUPOPUP, (WPARAM)menu, 0); }
    bool Enabled(HMENU menu, UINT id) { return !(::GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED); }
    bool Checked(HMENU menu, UINT id) { return (::GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) != 0; }
    CToolBar& Bar() { return frame->m_wndToolBar; }
    bool ButtonEnabled(UINT id) { return Bar().SendMessage(TB_ISBUTTONENABLED, id) != 0; }
    bool ButtonChecked(UINT id) { return Bar().SendMessage(TB_ISBUTTONCHECKED, id) != 0; }
    CString AddressText() { return frame->m_wndAddressBox.GetEditText(); }
    // The path of the tree's selected folder, or "" when none is selected.
    CString TreeSelection()
    {
        CMyMFCShellTreeCtrl* tree = frame->GetFolderTree();
        HTREEITEM selected = tree->GetSelectedItem();
        CString path;
        if (!selected || !tree->GetItemPath(path, selected))
            path.Empty();
        return path;
    }
};

// Whether `inner` is centred on `outer` (to a pixel of rounding).
testing::AssertionResult CentredOn(HWND inner, HWND outer)
{
    CRect a, b;
    ::GetWindowRect(inner, &a);
    ::GetWindowRect(outer, &b);
    CPoint ca = a.CenterPoint(), cb = b.CenterPoint();
    if (std::abs(ca.x - cb.x) <= 1 && std::abs(ca.y - cb.y) <= 1)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "centre (" << ca.x << ", " << ca.y << ") instead of (" << cb.x << ", "
                                       << cb.y << ")";
}

}  // namespace

TEST_F(MainWindowTest, FirstStartShowsTheDefaultLayout)
{
    Start();
    EXPECT_EQ(13, ProfileInt(L"Settings", L"Appversion"));
    EXPECT_TRUE(frame->IsWindowVisible());
    EXPECT_EQ(L"Quorvex", frame->GetWindowText());

    std::vector<CString> menus;
    CMenu bar(::GetMenu(frame->m_hWnd));
    for (int i = 0; i < bar.GetMenuItemCount(); ++i)
        menus.push_back(bar.GetMenuString((UINT)i, MF_BYPOSITION));
    EXPECT_EQ(std::vector<CString>({L"&File", L"&Edit", L"&View", L"&Tools", L"Backup", L"Options", L"&Help"}),
              menus);

    // Toolbar: 17 places, Back with a split arrow, "Views" only a drop-down,
    // the find box in the last place.
    std::vector<int> ids;
    for (int i = 0; i < Bar().GetCount(); ++i)
        ids.push_back((int)Bar().GetButton(i)->m_nID);
    EXPECT_EQ(std::vector<int>({32824, 32825, 32822, 0, 32823, 32777, 32795, 32778, 32796, 0, 32779, 0, -1, 32821,
                                32836, 0, 103}),
              ids);
    auto* back = dynamic_cast<CToolBarMenuButton*>(Bar().GetButton(0));
    ASSERT_NE(nullptr, back);
    EXPECT_FALSE(back->m_bWholeDropDown);
    EXPECT_EQ(L"Back", back->m_strText);
    auto* views = dynamic_cast<CToolBarMenuButton*>(Bar().GetButton(12));
    ASSERT_NE(nullptr, views);
    EXPECT_TRUE(views->m_bWholeDropDown);
    EXPECT_EQ(L"Views", views->m_strText);
    EXPECT_EQ(9, views->m_iImage) << "the image of the button it replaced";
    ASSERT_NE(nullptr, frame->GetFindCombo());
    EXPECT_EQ(L"Standard", Bar().GetWindowText());

    EXPECT_EQ(2, frame->m_wndReBar.GetBandCount()) << "toolbar and address box; the menu is the window's";
    EXPECT_EQ(L"Address", frame->m_wndReBar.GetBandText(1));
    EXPECT_EQ(4, frame->m_wndStatusBar.GetCount());
    EXPECT_EQ((UINT)ID_INDICATOR_SCRL, frame->m_wndStatusBar.GetItemID(3));

    EXPECT_TRUE(frame->m_wndFolderBar.IsVisible());
    EXPECT_EQ(L"Folders", frame->m_wndFolderBar.GetCaption());
    EXPECT_FALSE(frame->m_wndPreviewBar.IsVisible()) << "the preview pane always starts hidden";
    EXPECT_EQ(L"Image Preview", frame->m_wndPreviewBar.GetCaption());
    const auto& panes = frame->GetDockColumn()->GetPanes();
    ASSERT_EQ(2u, panes.size());
    EXPECT_EQ(&frame->m_wndFolderBar, panes[0]);
    EXPECT_EQ(&frame->m_wndPreviewBar, panes[1]) << "the preview pane docks below the folders";
    CRect column, viewRect;
    frame->GetDockColumn()->GetWindowRect(&column);
    view->GetWindowRect(&viewRect);
    EXPECT_EQ(260 + CDockColumn::SPLITTER, column.Width());
    EXPECT_EQ(column.right, viewRect.left);
}

TEST_F(MainWindowTest, MenusShowWhatTheHandlersAllow)
{
    Start();
    HMENU edit = TopMenu(L"&Edit");
    Open(edit);
    for (UINT id : {ID_EDIT_UNDO, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, ID_EDIT_FIND})
        EXPECT_FALSE(Enabled(edit, id)) << id << ": no handler in the main window";

    HMENU viewMenu = TopMenu(L"&View");
    Open(viewMenu);
    EXPECT_TRUE(Checked(viewMenu, ID_VIEW_STATUS_BAR));
    EXPECT_TRUE(Checked(viewMenu, ID_VIEW_FOLDERS));
    EXPECT_FALSE(Enabled(viewMenu, ID_VIEW_PREVIEW)) << "Preview has no handler";

    // The "Toolbars" submenu is replaced by the toolbar menu when it opens.
    HMENU toolbars = ::GetSubMenu(viewMenu, 0);
    Open(toolbars);
    CMenu items(toolbars);
    ASSERT_EQ(3, items.GetMenuItemCount());
    EXPECT_EQ(L"Standard Toolbar", items.GetMenuString(0, MF_BYPOSITION));
    EXPECT_EQ(L"&Customize...", items.GetMenuString(2, MF_BYPOSITION));
    EXPECT_TRUE(Checked(toolbars, ID_VIEW_TOOLBAR));
    EXPECT_TRUE(Enabled(toolbars, ID_VIEW_CUSTOMIZE));

    HMENU backup = TopMenu(L"Backup");
    ASSERT_NE(nullptr, backup);
    CMenu backupItems(backup);
    EXPECT_EQ(L"zip Folder", backupItems.GetMenuString(0, MF_BYPOSITION));
    EXPECT_EQ(L"Allow Encrypt Root Folder", backupItems.GetMenuString(9, MF_BYPOSITION));
    HMENU help = TopMenu(L"&Help");
    Open(help);
    EXPECT_TRUE(Enabled(help, ID_APP_ABOUT));
    HMENU file = TopMenu(L"&File");
    Open(file);
    EXPECT_TRUE(Enabled(file, ID_APP_EXIT));
    EXPECT_NE(nullptr, CCommandImages::GetMenuBitmap(ID_INTEGRITY_TEST)) << "images for commands off the toolbar";
    EXPECT_NE(nullptr, CCommandImages::GetMenuBitmap(ID_ENCRYPT_FOLDER));

    // Toolbar at idle: Folders is checked while its pane shows.
    app->OnIdle(0);
    EXPECT_TRUE(ButtonEnabled(ID_VIEW_FOLDERS));
    EXPECT_TRUE(ButtonChecked(ID_VIEW_FOLDERS));
    Command(ID_VIEW_FOLDERS);
    EXPECT_FALSE(frame->m_wndFolderBar.IsVisible());
    app->OnIdle(0);
    EXPECT_FALSE(ButtonChecked(ID_VIEW_FOLDERS));
    Command(ID_VIEW_FOLDERS);
    EXPECT_TRUE(frame->m_wndFolderBar.IsVisible());
}

TEST_F(MainWindowTest, ToolbarMenusWhileCustomisingAndTheBackDropDown)
{
    Start();
    CMenu placeholder;
    placeholder.CreatePopupMenu();
    placeholder.AppendMenu(MF_STRING, ID_VIEW_TOOLBARS, L"View");
    NMHDR begin = {Bar().m_hWnd, IDW_TOOLBAR, (UINT)TBN_BEGINADJUST};
    frame->SendMessage(WM_NOTIFY, IDW_TOOLBAR, (LPARAM)&begin);
    EXPECT_TRUE(Bar().IsCustomizing());
    EXPECT_FALSE(frame->OnShowPopupMenu(&placeholder, 0)) << "no Toolbars submenu while customising";
    NMHDR end = {Bar().m_hWnd, IDW_TOOLBAR, (UINT)TBN_ENDADJUST};
    frame->SendMessage(WM_NOTIFY, IDW_TOOLBAR, (LPARAM)&end);
    EXPECT_TRUE(frame->OnShowPopupMenu(&placeholder, 0));

    // Back's drop-down with an empty history: only "Clear History".
    Command(ID_CLEAR_HISTORY);
    auto* back = dynamic_cast<CToolBarMenuButton*>(Bar().GetButton(0));
    CMenu history = back->CreatePopup();
    EXPECT_TRUE(frame->OnShowPopupMenu(&history, ID_GO_BACK));
    ASSERT_EQ(1, history.GetMenuItemCount());
    EXPECT_EQ(L"&Clear History", history.GetMenuString(0, MF_BYPOSITION));

    // The system's customisation dialog opens from the menu command.
    bool sawDialog = false;
    qvtest::TimerScript script([&] {
        for (const WCHAR* title : {L"Customize Toolbar", L"Customize toolbar"}) {
            if (HWND dialog = qvtest::FindThreadWindow(title)) {
                sawDialog = Bar().IsCustomizing();
                ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                return true;
            }
        }
        return false;
    });
    Command(ID_VIEW_CUSTOMIZE);
    EXPECT_TRUE(sawDialog);
    EXPECT_FALSE(Bar().IsCustomizing());
}

TEST_F(MainWindowTest, AddressBoxKeepsConfirmedAddressesAndTheLastDrivePath)
{
    Start();
    frame->m_wndAddressBox.SetEditText(L"C:\\windows");
    Command(IDOK);
    Command(IDOK);
    EXPECT_EQ(2, frame->m_wndAddressBox.GetCount()) << "no duplicate test";
    EXPECT_EQ(L"C:\\windows", frame->m_wndAddressBox.GetItemText(1));
    // Enter in the edit field is the same command.
    frame->m_wndAddressBox.SetEditText(L"C:\\users");
    ::SendMessageW(frame->m_wndAddressBox.GetEditHwnd(), WM_KEYDOWN, VK_RETURN, 0);
    qvtest::PumpUntil([&] { return frame->m_wndAddressBox.GetCount() == 3; }, 5000);
    ASSERT_EQ(3, frame->m_wndAddressBox.GetCount());
    EXPECT_EQ(L"C:\\users", frame->m_wndAddressBox.GetItemText(2));

    frame->SetAddressPath(L"C:\\users");
    EXPECT_EQ(L"C:\\users", frame->m_wndAddressBox.GetEditText());
    EXPECT_EQ(L"C:\\users", frame->m_strLastPath);
    frame->ShowImagePreview(L"C:\\picture.png");
    EXPECT_TRUE(frame->m_wndPreviewBar.IsVisible());
    // The pane's picture window and its animated-GIF child fill the pane; the latter waits hidden.
    CPreviewWnd& preview = frame->m_wndPreviewBar.m_wndPreview;
    EXPECT_EQ(::GetDlgItem(frame->m_wndPreviewBar, 1234567), preview.m_hWnd);
    EXPECT_EQ(::GetDlgItem(preview, 1234568), preview.m_gifWindow.m_hWnd);
    CRect paneClient, previewClient, gifClient;
    frame->m_wndPreviewBar.GetClientRect(&paneClient);
    preview.GetClientRect(&previewClient);
    preview.m_gifWindow.GetClientRect(&gifClient);
    EXPECT_EQ(paneClient.Size(), previewClient.Size());
    EXPECT_EQ(paneClient.Size(), gifClient.Size());
    EXPECT_FALSE(preview.m_gifWindow.IsWindowVisible());
    frame->SetAddressPath(L"C:\\users");
    EXPECT_FALSE(frame->m_wndPreviewBar.IsVisible()) << "a new folder clears and hides the preview";
    Stop();
    EXPECT_EQ(L"C:\\users", ProfileString(L"Settings", L"LastPath"));

    Start();
    frame->SetAddressPath(L"\\\\server\\share");
    Stop();
    EXPECT_EQ(L"C:\\users", ProfileString(L"Settings", L"LastPath")) << "network paths are not kept";
}

TEST_F(MainWindowTest, ARefusedAddressGivesWayToTheFolderTheListShows)
{
    qvtest::TempFolder shown;
    CString file = shown.WriteFile(L"file.txt", "not a folder");
    Start();
    ASSERT_EQ(S_OK, view->GetList().DisplayFolder(shown.Path().GetString()));
    const CString folder = view->GetCurrentFolder();
    ASSERT_EQ(0, folder.CompareNoCase(shown.Path()));
    struct Case {
        const char* name;
        CString typed;
    };
    const Case cases[] = {
        {"no such folder", shown / L"missing"},
        {"a file, not a folder", file},
        {"not a path at all", L"::{nonsense}"},
    };
    for (const Case& c : cases) {
        // Typed and confirmed with Enter.
        frame->m_wndAddressBox.SetEditText(c.typed);
        Command(IDOK);
        EXPECT_EQ(folder, view->GetCurrentFolder()) << c.name << ": the list stays";
        EXPECT_EQ(folder, AddressText()) << c.name << ": typed";
        // Chosen again from the drop-down, where Enter put it.
        int item = frame->m_wndAddressBox.GetCount() - 1;
        ASSERT_EQ(c.typed, frame->m_wndAddressBox.GetItemText(item));
        frame->m_wndAddressBox.SendMessage(CB_SETCURSEL, (WPARAM)item);
        frame->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_ADDRESS_BOX, CBN_SELENDOK), (LPARAM)frame->m_wndAddressBox.m_hWnd);
        qvtest::PumpPostedSoFar();
        EXPECT_EQ(folder, view->GetCurrentFolder()) << c.name << ": the list stays";
        EXPECT_EQ(folder, AddressText()) << c.name << ": chosen from the drop-down";
    }
    // The user opens the drop-down, moves to the refused address with the
    // keys and takes it with Enter: the drop-down closes after the choice.
    HWND combo = frame->m_wndAddressBox.GetComboHwnd();
    ::SetFocus(combo);
    ::SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    ::SendMessageW(combo, WM_KEYDOWN, VK_HOME, 0);
    for (int i = 0; i < frame->m_wndAddressBox.GetCount() - 1; ++i)
        ::SendMessageW(combo, WM_KEYDOWN, VK_DOWN, 0);
    ::SendMessageW(combo, WM_KEYDOWN, VK_RETURN, 0);
    qvtest::PumpPostedSoFar();
    EXPECT_FALSE(::SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(folder, view->GetCurrentFolder()) << "chosen with the keys: the list stays";
    EXPECT_EQ(folder, AddressText()) << "chosen with the keys";

    // An address that is shown goes on as before.
    frame->m_wndAddressBox.SetEditText(L"C:\\");
    Command(IDOK);
    EXPECT_EQ(L"C:\\", view->GetCurrentFolder());
    EXPECT_EQ(L"C:\\", AddressText());
}

TEST_F(MainWindowTest, AfterARestartTheTreeSelectsAndShowsTheLastFolder)
{
    // Not in the temporary folder, whose times other test programs keep
    // changing (a shell item list carries the times of its folders).
    qvtest::TempFolder outer{L"C:\\"};
    ASSERT_TRUE(::CreateDirectoryW(outer / L"Inner", nullptr));
    const CString last = outer / L"Inner";
    Start();
    ASSERT_EQ(S_OK, view->GetList().DisplayFolder(last.GetString()));
    Stop();
    ASSERT_EQ(last, ProfileString(L"Settings", L"LastPath"));

    Start();
    EXPECT_EQ(0, view->GetCurrentFolder().CompareNoCase(last)) << "the list returns to the last folder";
    EXPECT_TRUE(qvtest::PumpUntil([&] { return TreeSelection().CompareNoCase(last) == 0; }, 5000))
        << "the tree selects it too, not " << TreeSelection().ToUtf8();
    CMyMFCShellTreeCtrl* tree = frame->GetFolderTree();
    CRect item, client;
    ASSERT_TRUE(TreeView_GetItemRect(tree->m_hWnd, tree->GetSelectedItem(), &item, TRUE));
    tree->GetClientRect(&client);
    EXPECT_TRUE(client.PtInRect(item.TopLeft()) && client.PtInRect(CPoint(item.left, item.bottom - 1)))
        << "scrolled into sight";
}

TEST_F(MainWindowTest, SettingsAndWorkspaceSurviveARestartAndAnOtherLayoutVersionIsDropped)
{
    Start();
    document->m_Options.m_bVerify = 0;
    document->m_Options.m_bRandomNames = 0;
    Command(ID_VIEW_FOLDERS);
    Command(ID_VIEW_STATUS_BAR);
    Stop();
    EXPECT_EQ(0, ProfileInt(L"Settings", L"VerifyEnc"));
    EXPECT_EQ(0, ProfileInt(L"Settings", L"RandomFileNames"));
    EXPECT_EQ(0, ProfileInt(L"Workspace", L"Pane32822Visible"));

    Start();
    EXPECT_EQ(0, document->m_Options.m_bVerify) << "read back by the document";
    EXPECT_FALSE(frame->m_wndFolderBar.IsVisible()) << "layout version 13: the workspace is kept";
    EXPECT_FALSE(frame->m_wndStatusBar.IsWindowVisible());
    Stop();

    qvtest::WriteProfileIntValue(L"Settings", L"Appversion", 12);
    Start();
    EXPECT_TRUE(frame->m_wndFolderBar.IsVisible()) << "another layout version: the workspace is dropped";
    EXPECT_TRUE(frame->m_wndStatusBar.IsWindowVisible());
    EXPECT_EQ(13, ProfileInt(L"Settings", L"Appversion"));
    EXPECT_EQ(0, document->m_Options.m_bVerify) << "the program's own settings stay";
}

TEST_F(MainWindowTest, KeysTabF3AndAcceleratorsOfDisabledCommands)
{
    Start();
    ::SetActiveWindow(frame->m_hWnd);
    HWND addressEdit = frame->m_wndAddressBox.GetEditHwnd();
    ASSERT_NE(nullptr, addressEdit);

    // Ctrl+C in the address box: the command has no handler here, so the
    // key goes on to the edit field.
    {
        qvtest::KeyboardState keys;
        keys.Set(VK_CONTROL, 0x80);
        MSG copy = {addressEdit, WM_KEYDOWN, 'C', 0, 0, {0, 0}};
        EXPECT_FALSE(AfxPreTranslateMessage(&copy));
    }

    // Tab cycles tree, view, address box.
    MSG tab = {nullptr, WM_KEYUP, VK_TAB, 0, 0, {0, 0}};
    ::SetFocus(addressEdit);
    tab.hwnd = ::GetFocus();
    AfxPreTranslateMessage(&tab);
    EXPECT_EQ(frame->GetFolderTree()->m_hWnd, ::GetFocus()) << "from the address box to the folder tree";
    tab.hwnd = ::GetFocus();
    AfxPreTranslateMessage(&tab);
    EXPECT_EQ(view->GetList().m_hWnd, ::GetFocus()) << "from the tree through the frame to the view's list";
    tab.hwnd = ::GetFocus();
    AfxPreTranslateMessage(&tab);
    EXPECT_EQ(addressEdit, ::GetFocus()) << "from the view to the address box";
    Command(ID_VIEW_FOLDERS);
    tab.hwnd = ::GetFocus();
    AfxPreTranslateMessage(&tab);
    EXPECT_EQ(view->GetList().m_hWnd, ::GetFocus()) << "folders hidden: from the address box to the view's list";

    // F3: the find box gets the focus and its command is posted again.
    MSG drain;
    while (::PeekMessageW(&drain, frame->m_hWnd, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
    }
    MSG f3 = {view->m_hWnd, WM_KEYDOWN, VK_F3, 0, 0, {0, 0}};
    AfxPreTranslateMessage(&f3);
    CToolBarComboBoxButton* find = frame->GetFindCombo();
    EXPECT_EQ(find->GetEditHwnd(), ::GetFocus());
    EXPECT_EQ(find, frame->GetFocusedFindCombo());
    MSG posted;
    ASSERT_TRUE(::PeekMessageW(&posted, frame->m_hWnd, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    EXPECT_EQ((WPARAM)ID_FIND_FILE, posted.wParam);
    EXPECT_EQ((LPARAM)find->GetHwnd(), posted.lParam);
}

TEST_F(MainWindowTest, AboutBoxShowsTheVersion)
{
    Start();
    CString version;
    qvtest::TimerScript script([&] {
        HWND about = qvtest::FindThreadWindow(L"About Quorvex");
        if (!about)
            return false;
        for (HWND child = ::GetWindow(about, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
            CString text;
            CWnd::GetWindowTextOf(child, text);
            if (text.Find(L"Version") >= 0)
                version = text;
        }
        qvtest::Click(about, IDOK);
        return true;
    });
    Command(ID_APP_ABOUT);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(L"Quorvex, Version 2.04", version);
}

TEST_F(MainWindowTest, TheAboutBoxOpensCentredOnTheMainWindow)
{
    Start();
    // Away from the screen's corner, where a window placed at 0, 0 would
    // also be.
    frame->MoveWindow(240, 160, 820, 640);
    bool centred = false;
    qvtest::TimerScript script([&] {
        HWND about = qvtest::FindThreadWindow(L"About Quorvex");
        if (!about)
            return false;
        testing::AssertionResult result = CentredOn(about, frame->m_hWnd);
        centred = static_cast<bool>(result);
        EXPECT_TRUE(result);
        qvtest::Click(about, IDOK);
        return true;
    });
    Command(ID_APP_ABOUT);
    EXPECT_TRUE(script.Done() && !script.TimedOut());
    EXPECT_TRUE(centred);
}

TEST_F(MainWindowTest, TheWindowLooksLikeTheProgram)
{
    Start();
    // The tree draws its folders, the view's list the Desktop's items.
    qvtest::ColourCounts tree = qvtest::CountClientColours(frame->GetFolderTree()->m_hWnd);
    CRect treeRect;
    frame->GetFolderTree()->GetClientRect(&treeRect);
    int window = qvtest::CountOf(tree, ::GetSysColor(COLOR_WINDOW));
    EXPECT_GT(treeRect.Width() * treeRect.Height() - window, 300) << "the tree has drawn its items";
    HWND list = view->GetList().m_hWnd;
    qvtest::ColourCounts listColours = qvtest::CountClientColours(list);
    CRect listRect, viewRect;
    ::GetClientRect(list, &listRect);
    view->GetClientRect(&viewRect);
    EXPECT_EQ(viewRect.Size(), listRect.Size()) << "the list fills the view";
    EXPECT_GT(listRect.Width() * listRect.Height() - qvtest::CountOf(listColours, ::GetSysColor(COLOR_WINDOW)), 300)
        << "the list has drawn its items";
}
