#include "tests/app/shell/MainWindowSupport.h"
#include "tests/app/view/ViewTestSupport.h"

#include "app/SettingsDlg.h"
#include "crypt/KeyState.h"
#include "crypt/NameCrypt.h"
#include "framework/windows/CCmdUI.h"
#include "framework/windows/CMenu.h"
#include "framework/windows/FolderChooser.h"
#include "res/resource.h"

#include <vector>

namespace {

class ViewTest : public qvtest::ProgramTest {
protected:
    void TearDown() override
    {
        qvtest::ProgramTest::TearDown();
        COrvantisDoc::SetPasswordKey(CString());
    }
    CMyMFCShellListCtrl& List() { return view->GetList(); }
    CString Folder(const CString& name)
    {
        CString path = folder / name;
        ::CreateDirectoryW(path, nullptr);
        return path;
    }
    void Show(const CString& path) { ASSERT_EQ(S_OK, List().DisplayFolder(path.GetString())); }
    CString Current() { return view->GetCurrentFolder(); }
    // The state (MF_*) a menu item of the command would get now.
    UINT MenuState(UINT id)
    {
        HMENU menu = ::CreatePopupMenu();
        ::AppendMenuW(menu, MF_STRING, id, L"x");
        CCmdUI::UpdateMenu(menu, frame, TRUE);
        UINT state = ::GetMenuState(menu, id, MF_BYCOMMAND);
        ::DestroyMenu(menu);
        return state;
    }
    bool IsEnabled(UINT id) { return !(MenuState(id) & MF_GRAYED); }
    void Idle() { frame->SendMessage(WM_IDLEUPDATECMDUI, TRUE); }
    int Find(const CString& name) { return qvtest::FindListItem(List(), name); }
    // Shows "My Computer", a folder without a file-system path.
    void ShowComputer()
    {
        LPITEMIDLIST computer = nullptr;
        ASSERT_EQ(S_OK, ::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer));
        ASSERT_EQ(S_OK, List().DisplayFolderPidl(computer));
        ::ILFree(computer);
        ASSERT_TRUE(Current().IsEmpty());
    }

    qvtest::TempFolder folder;
};

}  // namespace

TEST_F(ViewTest, HistoryKeepsDistinctFoldersAndMovesBackAndForward)
{
    Start();
    CString a = Folder(L"A"), b = Folder(L"B"), c = Folder(L"C"), d = Folder(L"D");
    Command(ID_CLEAR_HISTORY);
    EXPECT_EQ(-1, view->GetHistoryPos());
    EXPECT_FALSE(IsEnabled(ID_GO_BACK));
    EXPECT_FALSE(IsEnabled(ID_GO_FORWARD));

    Show(a);
    Show(b);
    Show(c);
    Command(ID_GO_BACK);
    EXPECT_EQ(b, Current());
    Command(ID_GO_BACK);
    EXPECT_EQ(a, Current());
    EXPECT_FALSE(IsEnabled(ID_GO_BACK));
    EXPECT_TRUE(IsEnabled(ID_GO_FORWARD));
    Show(d);
    const CStringArray& history = view->GetHistory();
    ASSERT_EQ(4, history.GetSize());
    EXPECT_EQ(a, history[0]);
    EXPECT_EQ(d, history[3]);
    EXPECT_EQ(3, view->GetHistoryPos());
    EXPECT_FALSE(IsEnabled(ID_GO_FORWARD));
    Command(ID_GO_BACK);
    EXPECT_EQ(c, Current());

    // Letter case does not make another entry; the first form stays.
    CString lower = a;
    lower.MakeLower();
    Show(lower);
    EXPECT_EQ(4, history.GetSize());
    EXPECT_EQ(0, view->GetHistoryPos());
    EXPECT_EQ(a, history[0]);

    // An entry of the Back drop-down.
    Command(ID_HISTORY_FIRST + 3);
    EXPECT_EQ(d, Current());
    // A folder that is gone is passed over.
    ::RemoveDirectoryW(c);
    Command(ID_GO_BACK);
    EXPECT_EQ(b, Current()) << "C is gone";

    // Twenty distinct folders keep the last nineteen.
    Command(ID_CLEAR_HISTORY);
    for (int i = 0; i < 20; ++i) {
        CString name;
        name.Format(L"F%02d", i);
        Show(Folder(name));
    }
    EXPECT_EQ(19, history.GetSize());
    EXPECT_EQ(folder / L"F01", history[0]);
    EXPECT_EQ(18, view->GetHistoryPos());
}

TEST_F(ViewTest, FoldersWithoutAPathAreShownAgainFromTheHistory)
{
    Start();
    Command(ID_CLEAR_HISTORY);
    ShowComputer();
    CString name = view->GetHistory()[0];
    EXPECT_FALSE(name.IsEmpty());
    EXPECT_EQ(name, frame->m_wndAddressBox.GetEditText());
    EXPECT_FALSE(view->IsWatchingFolder()) << "a folder without a path is not watched";
    Show(folder.Path());
    EXPECT_TRUE(view->IsWatchingFolder());
    Command(ID_GO_BACK);
    EXPECT_TRUE(Current().IsEmpty());
    CString shown;
    List().GetCurrentFolderName(shown);
    EXPECT_EQ(name, shown);
    EXPECT_EQ(0, view->GetHistoryPos());
    EXPECT_TRUE(IsEnabled(ID_GO_UP));
    Command(ID_GO_UP);
    EXPECT_TRUE(List().IsDesktopShown());
    EXPECT_FALSE(IsEnabled(ID_GO_UP)) << "nothing above the Desktop";
}

TEST_F(ViewTest, TheLastFolderIsShownAtStartOrTheDesktopWhenItIsGone)
{
    qvtest::WriteProfileIntValue(L"Settings", L"Appversion", 13);
    auto writeLastPath = [](const CString& path) { qvtest::WriteProfileStringValue(L"Settings", L"LastPath", path); };
    writeLastPath(folder.Path());
    Start();
    EXPECT_EQ(folder.Path(), Current());
    EXPECT_EQ(folder.Path(), frame->m_wndAddressBox.GetEditText());
    ASSERT_EQ(1, view->GetHistory().GetSize());
    Stop();

    writeLastPath(folder / L"gone");
    Start();
    EXPECT_TRUE(List().IsDesktopShown());
    EXPECT_EQ(0, view->GetHistoryPos());
}

TEST_F(ViewTest, TheAddressBoxShowsTheFolderTypedOrChosen)
{
    Start();
    CString a = Folder(L"A"), b = Folder(L"B");
    frame->m_wndAddressBox.SetEditText(a);
    Command(IDOK);
    EXPECT_EQ(a, Current());
    frame->m_wndAddressBox.SetEditText(b);
    Command(IDOK);
    EXPECT_EQ(b, Current());
    EXPECT_EQ(b, frame->m_wndAddressBox.GetEditText());
    ::SendMessageW(frame->m_wndAddressBox.GetComboHwnd(), CB_SETCURSEL, 0, 0);
    frame->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_ADDRESS_BOX, CBN_SELENDOK), (LPARAM)frame->m_wndAddressBox.m_hWnd);
    EXPECT_EQ(a, Current());
}

TEST_F(ViewTest, AFileMadeFromOutsideShowsAtTheNextIdleTime)
{
    Start();
    Show(folder.Path());
    ASSERT_TRUE(view->IsWatchingFolder());
    folder.WriteFile(L"outside.txt", "x");
    qvtest::PumpUntil(
        [&] {
            Idle();
            return Find(L"outside.txt") >= 0;
        },
        5000);
    EXPECT_GE(Find(L"outside.txt"), 0);

    // A shell command refreshes too, whatever it was.
    view->CloseChangeNotification();
    folder.WriteFile(L"second.txt", "x");
    view->SendMessage(AfterShellCommandMessage(), 5, 0);
    Idle();
    EXPECT_GE(Find(L"second.txt"), 0);
}

TEST_F(ViewTest, CommandsOnTheFolderRefuseAFolderWithoutAPath)
{
    Start();
    ShowComputer();
    // Any dialog that opens fails the test and is closed.
    bool dialogOpened = false;
    qvtest::TimerScript guard([&] {
        if (HWND dialog = qvtest::ThreadWindowOfClass(L"#32770")) {
            dialogOpened = true;
            ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        }
        return false;
    });
    const WCHAR* refusal = L"This command works on a folder of the disk: open one in the list first.";
    for (UINT id : {ID_ENCRYPT_FOLDER, ID_DECRYPT_FOLDER, ID_INTEGRITY_TEST, ID_VERIFY_RECOVERY, ID_REPAIR_FILES,
                    ID_ZIP_FOLDER, ID_ENCRYPT_SELECTED_TO, ID_DECRYPT_SELECTED_TO}) {
        qvtest::MessageBoxCapture boxes;
        Command(id);
        ASSERT_EQ(1u, boxes.texts.size()) << id;
        EXPECT_EQ(CString(refusal), boxes.texts[0]) << id;
        EXPECT_FALSE(document->IsRunning());
    }
    // The find box too.
    CToolBarComboBoxButton* find = frame->GetFindCombo();
    find->SetText(L"anything");
    ::SetFocus(find->GetEditHwnd());
    {
        qvtest::MessageBoxCapture boxes;
        Command(ID_FIND_FILE);
        ASSERT_EQ(1u, boxes.texts.size());
        EXPECT_EQ(CString(refusal), boxes.texts[0]);
    }
    EXPECT_FALSE(dialogOpened);
}

TEST_F(ViewTest, CommandsOnTheSelectionNeedOne)
{
    Start();
    Show(folder.Path());
    struct Case {
        UINT id;
        const WCHAR* text;
    };
    const Case cases[] = {
        {ID_ENCRYPT_SELECTED, L"Select files and/or folders in the list first"},
        {ID_DECRYPT_SELECTED, L"Select single file or folder in the list first"},
        {ID_ENCRYPT_SELECTED_TO, L"Select files and/or folders in the list first"},
        {ID_DECRYPT_SELECTED_TO, L"Select files and/or folders in the list first"},
    };
    for (const Case& c : cases) {
        qvtest::MessageBoxCapture boxes;
        Command(c.id);
        ASSERT_EQ(1u, boxes.texts.size()) << c.id;
        EXPECT_EQ(CString(c.text), boxes.texts[0]);
    }

    // A cancelled folder choice ends a "To" command quietly.
    folder.WriteFile(L"one.txt", "1");
    List().Refresh();
    qvtest::SelectOnly(List(), {Find(L"one.txt")});
    CString asked, start;
    AfxSetFolderChooserHook([&](HWND, const CString& title, const CString& from, CString&) {
        asked = title;
        start = from;
        return false;
    });
    {
        qvtest::MessageBoxCapture boxes;
        Command(ID_ENCRYPT_SELECTED_TO);
        EXPECT_TRUE(boxes.texts.empty());
    }
    AfxSetFolderChooserHook(nullptr);
    EXPECT_EQ(CString(L"Copy and Encrypt Selected files/folders to :"), asked);
    EXPECT_EQ(folder.Path(), start);
    EXPECT_EQ(1, document->m_Selection.GetSize());
    EXPECT_FALSE(document->IsRunning());
}

TEST_F(ViewTest, DisplayCommandsAndSettingsAreRemembered)
{
    Start();
    Command(ID_VIEW_LIST);
    EXPECT_EQ((DWORD)LVS_LIST, List().GetViewStyle());
    EXPECT_TRUE(MenuState(ID_VIEW_LIST) & MF_CHECKED);
    EXPECT_FALSE(MenuState(ID_VIEW_DETAILS) & MF_CHECKED);
    Command(ID_VIEW_DETAILS);
    EXPECT_EQ((DWORD)LVS_REPORT, List().GetViewStyle());

    struct Toggle {
        UINT id;
        const WCHAR* name;
    };
    for (const Toggle& toggle : {Toggle{ID_ALLOW_DOUBLE_CLICK, L"allowdoubleclick"},
                                 Toggle{ID_USE_SECURE_PREVIEW, L"Autopreview"},
                                 Toggle{ID_USE_SECURE_TEXT_EDITOR, L"TextView"},
                                 Toggle{ID_USE_SECURE_IMAGE_VIEWER, L"ImageView"}}) {
        EXPECT_TRUE(MenuState(toggle.id) & MF_CHECKED) << toggle.id << ": on by default";
        Command(toggle.id);
        EXPECT_FALSE(MenuState(toggle.id) & MF_CHECKED);
        EXPECT_EQ(0, qvtest::ProfileInt(L"Settings", toggle.name)) << toggle.id;
    }
    EXPECT_EQ(0, List().m_bAllowDoubleClick);
    EXPECT_EQ(0, List().m_bTextView);
    EXPECT_EQ(0, List().m_bImageView);
    Command(ID_THUMB_XLARGE);
    EXPECT_EQ(2, qvtest::ProfileInt(L"Settings", L"ThumbSize"));
    EXPECT_TRUE(MenuState(ID_THUMB_XLARGE) & MF_CHECKED);
    EXPECT_TRUE(IsEnabled(ID_THUMBNAILS));
    EXPECT_FALSE(IsEnabled(ID_THUMB_SIZE)) << "only while the thumbnails are shown";

    // The settings dialog shows the values and stores what OK confirms.
    bool shown = viewtest::WithDialog([&] { Command(ID_SETTINGS); },
                                      [&](HWND dialog) {
                                          EXPECT_EQ(BST_UNCHECKED, ::IsDlgButtonChecked(dialog, IDC_DOUBLE_CLICK));
                                          // The player library lies beside the program.
                                          EXPECT_EQ(CString(L"Ready"), qvtest::Text(dialog, IDC_PLAYER_STATUS));
                                          qvtest::Click(dialog, IDC_DOUBLE_CLICK);
                                          qvtest::Click(dialog, IDC_TEXT_VIEW);
                                          qvtest::Click(dialog, IDC_ALLOW_ROOT);
                                          qvtest::Click(dialog, IDOK);
                                      });
    EXPECT_TRUE(shown);
    EXPECT_EQ(1, List().m_bAllowDoubleClick);
    EXPECT_EQ(1, List().m_bTextView);
    EXPECT_EQ(1, document->m_bAllowRootFolder);
    EXPECT_EQ(1, qvtest::ProfileInt(L"Settings", L"allowdoubleclick"));
    EXPECT_EQ(1, qvtest::ProfileInt(L"Settings", L"TextView"));
    EXPECT_EQ(0, qvtest::ProfileInt(L"Settings", L"VideoCache"));
    Stop();
    Start();
    EXPECT_EQ(1, List().m_bAllowDoubleClick);
    EXPECT_EQ(0, List().m_bImageView);
}

TEST_F(ViewTest, FindCyclesThroughTheMatchesAndStartsOverForNewText)
{
    COrvantisDoc::SetPasswordKey(L"find password");
    Start();
    document->m_strPassword = L"find password";
    folder.WriteFile(L"match1.txt", "1");
    folder.WriteFile(L"other.txt", "2");
    Folder(L"Sub");
    folder.WriteFile(L"Sub\\match2.txt", "3");
    CString secret = viewtest::EncryptInto(folder, L"match3.txt", "secret");
    Show(folder.Path());
    CToolBarComboBoxButton* find = frame->GetFindCombo();
    auto runFind = [&](const WCHAR* text) {
        find->SetText(text);
        ::SetFocus(find->GetEditHwnd());
        Command(ID_FIND_FILE);
        return List().GetFocusedItemPath();
    };
    std::vector<CString> found;
    for (int i = 0; i < 4; ++i)
        found.push_back(runFind(L"MATCH"));
    EXPECT_EQ(found[0], found[3]) << "three results cycle";
    EXPECT_NE(found[0], found[1]);
    EXPECT_NE(found[1], found[2]);
    bool sawSecret = false;
    for (const CString& path : found)
        sawSecret = sawSecret || path == secret;
    EXPECT_TRUE(sawSecret) << "an encrypted file is found by its plain name";
    EXPECT_EQ(1, find->GetComboBox().GetCount()) << "the same text is kept once";
    EXPECT_EQ(CString(L"MATCH"), find->GetComboBox().GetLBText(0));

    EXPECT_EQ(folder / L"other.txt", runFind(L"other"));
    EXPECT_EQ(CString(L"other"), find->GetComboBox().GetLBText(0));

    // An empty box does nothing.
    CString before = List().GetFocusedItemPath();
    runFind(L"");
    EXPECT_EQ(before, List().GetFocusedItemPath());
}
