#include "tests/QvTest.h"
#include "tests/app/shell/ShellTestSupport.h"
#include "tests/framework/windows/DialogDriver.h"

#include "app/FolderBar.h"
#include "crypt/KeyState.h"
#include "crypt/NameCrypt.h"
#include "doc/OrvantisDoc.h"

#include <initializer_list>
#include <memory>

namespace {

ULONGLONG LastAccessTime(const CString& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExW(path, GetFileExInfoStandard, &data))
        return 0;
    return ((ULONGLONG)data.ftLastAccessTime.dwHighDateTime << 32) | data.ftLastAccessTime.dwLowDateTime;
}

void ListFolder(const CString& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(folder + L"\\*", &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    while (::FindNextFileW(search, &found)) {
    }
    ::FindClose(search);
}

// A shell item list carries the access times of the folders on its path,
// and the file system moves a folder's access time when it is first listed
// after a change inside it (the tree lists folders as it fills). Two lists of
// one path made at different moments are the same bytes only once listing
// no longer moves those times: each folder is listed until it does not.
bool SettleAccessTimes(std::initializer_list<CString> folders)
{
    DWORD deadline = ::GetTickCount() + 10000;
    for (const CString& folder : folders) {
        for (;;) {
            ULONGLONG before = LastAccessTime(folder);
            ListFolder(folder);
            if (LastAccessTime(folder) == before)
                break;
            if ((LONG)(::GetTickCount() - deadline) > 0)
                return false;
        }
    }
    return true;
}

// The "Folders" pane in a window of its own, over a folder with a plain and
// an encrypted subfolder.
class FolderTreeTest : public testing::Test {
protected:
    void SetUp() override
    {
        ::OleInitialize(nullptr);
        COrvantisDoc::SetPasswordKey(L"tree password");
        encryptedName = CNameCrypt().EncryptName(L"Secret");
        ASSERT_TRUE(IsEncryptedName(encryptedName));
        ASSERT_TRUE(::CreateDirectoryW(folder / L"Alpha", nullptr));
        ASSERT_TRUE(::CreateDirectoryW(folder / encryptedName, nullptr));
        ASSERT_TRUE(::CreateDirectoryW(folder / L"Alpha\\Inner", nullptr));
        ASSERT_TRUE(SettleAccessTimes({folder.Path(), folder / L"Alpha", folder / encryptedName,
                                       folder / L"Alpha\\Inner"}));
        ASSERT_TRUE(host.CreateEx(0, CWnd::RegisterWndClass(0), L"Tree host", WS_POPUP, 0, 0, 300, 500, nullptr,
                                  nullptr));
        ASSERT_TRUE(bar.Create(L"Folders", &host, CRect(0, 0, 300, 500), TRUE, 32822, 0));
        host.ShowWindow(SW_SHOWNOACTIVATE);
    }
    void TearDown() override
    {
        host.DestroyWindow();
        COrvantisDoc::SetPasswordKey(CString());
        ::OleUninitialize();
    }
    CMyMFCShellTreeCtrl& Tree() { return bar.m_wndTree; }
    // The child of `parent` whose text is `text`, or null.
    HTREEITEM Child(HTREEITEM parent, const CString& text)
    {
        for (HTREEITEM child = Tree().GetChildItem(parent); child; child = Tree().GetNextSiblingItem(child)) {
            if (Tree().GetItemText(child) == text)
                return child;
        }
        return nullptr;
    }
    bool SelectFolder(const CString& path, bool expand)
    {
        qvtest::Pidl pidl(path);
        return pidl.get() && Tree().SelectPidl(pidl.get(), expand);
    }
    CString SelectedPath()
    {
        CString path;
        Tree().GetItemPath(path, Tree().GetSelectedItem());
        return path;
    }

    // Not in the temporary folder: a shell item list carries the times of
    // the folders on its path, and other test programs keep changing the
    // temporary folder, so a list made a moment later could differ.
    qvtest::TempFolder folder{L"C:\\"};
    CString encryptedName;
    CWnd host;
    CFolderBar bar;
};

}  // namespace

TEST_F(FolderTreeTest, TheTreeFillsThePaneFromTheDesktop)
{
    CRect client, tree;
    bar.GetClientRect(&client);
    Tree().GetWindowRect(&tree);
    EXPECT_EQ(client.Size(), tree.Size());
    EXPECT_EQ(1, Tree().GetDlgCtrlID());
    HTREEITEM root = Tree().GetRootItem();
    ASSERT_NE(nullptr, root);
    EXPECT_EQ(nullptr, Tree().GetNextSiblingItem(root)) << "one root: the Desktop";
    EXPECT_NE(nullptr, Tree().GetChildItem(root)) << "the Desktop starts expanded";
    EXPECT_TRUE(Tree().GetStyle() & TVS_SHOWSELALWAYS);
    bar.SetFocus();
    EXPECT_EQ(Tree().m_hWnd, ::GetFocus()) << "the pane hands the focus to the tree";
}

TEST_F(FolderTreeTest, SelectingAFolderExpandsThePathAndLaterListingsDecryptNames)
{
    EXPECT_EQ(0, Tree().m_bDecryptNames);
    ASSERT_TRUE(SelectFolder(folder.Path(), true));
    EXPECT_EQ(folder.Path(), SelectedPath());
    EXPECT_EQ(1, Tree().m_bDecryptNames) << "set by the first selection";
    HTREEITEM selected = Tree().GetSelectedItem();
    EXPECT_NE(nullptr, Child(selected, L"Alpha"));
    EXPECT_NE(nullptr, Child(selected, encryptedName)) << "listed before names were decrypted";

    Tree().RefreshSelected();
    EXPECT_EQ(nullptr, Tree().GetChildItem(selected)) << "the refresh drops the children";
    ASSERT_TRUE(SelectFolder(folder.Path(), true));
    selected = Tree().GetSelectedItem();
    EXPECT_NE(nullptr, Child(selected, L"Secret*"));
    EXPECT_EQ(nullptr, Child(selected, encryptedName));

    // Decrypted names are drawn in their own red.
    qvtest::ColourCounts colours = qvtest::CountClientColours(Tree().m_hWnd);
    EXPECT_GT(qvtest::CountOf(colours, CMyMFCShellTreeCtrl::DECRYPTED_NAME_COLOR), 5);

    // A folder below is found through the cached names.
    ASSERT_TRUE(SelectFolder(folder / L"Alpha\\Inner", false));
    EXPECT_EQ(folder / L"Alpha\\Inner", SelectedPath());
}

TEST_F(FolderTreeTest, WithoutAKeyEncryptedNamesStayAsStoredAndPlain)
{
    COrvantisDoc::SetPasswordKey(CString());
    ASSERT_TRUE(SelectFolder(folder.Path(), false));
    Tree().RefreshSelected();
    ASSERT_TRUE(SelectFolder(folder.Path(), true));
    HTREEITEM selected = Tree().GetSelectedItem();
    EXPECT_NE(nullptr, Child(selected, encryptedName));
    qvtest::ColourCounts colours = qvtest::CountClientColours(Tree().m_hWnd);
    EXPECT_EQ(0, qvtest::CountOf(colours, CMyMFCShellTreeCtrl::DECRYPTED_NAME_COLOR));
}

TEST_F(FolderTreeTest, CollapsingABranchThatHoldsTheSelectionSelectsTheBranch)
{
    ASSERT_TRUE(SelectFolder(folder / L"Alpha", false));
    HTREEITEM alpha = Tree().GetSelectedItem();
    HTREEITEM parent = Tree().GetParentItem(alpha);
    NMTREEVIEWW collapse = {};
    collapse.hdr.hwndFrom = Tree().m_hWnd;
    collapse.hdr.idFrom = 1;
    collapse.hdr.code = TVN_ITEMEXPANDINGW;
    collapse.action = TVE_COLLAPSE;
    collapse.itemNew.hItem = parent;
    collapse.itemNew.lParam = (LPARAM)Tree().GetItemInfo(parent);
    EXPECT_EQ(0, bar.SendMessage(WM_NOTIFY, 1, (LPARAM)&collapse)) << "the change goes ahead";
    EXPECT_EQ(parent, Tree().GetSelectedItem());
    EXPECT_EQ(nullptr, Tree().GetChildItem(parent)) << "its children are dropped";
    EXPECT_EQ(folder.Path(), SelectedPath());
}

TEST_F(FolderTreeTest, AFolderMadeByAnotherProgramIsFoundWhenTheListShowsIt)
{
    ASSERT_TRUE(SelectFolder(folder.Path(), true));
    HTREEITEM listed = Tree().GetSelectedItem();
    ASSERT_NE(nullptr, Child(listed, L"Alpha")) << "the folder's children are listed";
    // Another program makes a folder after the listing.
    ASSERT_TRUE(::CreateDirectoryW(folder / L"Later", nullptr));
    ASSERT_TRUE(SelectFolder(folder / L"Later", false)) << "the tree stays on the old listing";
    EXPECT_EQ(folder / L"Later", SelectedPath());
    EXPECT_NE(nullptr, Child(listed, L"Later"));
    EXPECT_NE(nullptr, Child(listed, L"Alpha")) << "the folders listed before stay";
    int alphas = 0;
    for (HTREEITEM child = Tree().GetChildItem(listed); child; child = Tree().GetNextSiblingItem(child))
        alphas += Tree().GetItemText(child) == L"Alpha" ? 1 : 0;
    EXPECT_EQ(1, alphas) << "a folder listed before is not added twice";
}

TEST_F(FolderTreeTest, AListNameReplacesTheShellsName)
{
    {
        qvtest::Pidl alpha(folder / L"Alpha");
        Tree().CacheDisplayName(alpha.get(), L"Alpha as listed");
    }
    ASSERT_TRUE(SelectFolder(folder.Path(), true));
    EXPECT_NE(nullptr, Child(Tree().GetSelectedItem(), L"Alpha as listed"));
    ASSERT_TRUE(SelectFolder(folder / L"Alpha", false)) << "selection matches by the cached names";
}

TEST_F(FolderTreeTest, PumpOneMessageLeavesMessagesThatEndOrScroll)
{
    MSG drain;
    while (::PeekMessageW(&drain, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&drain);
        ::DispatchMessageW(&drain);
    }
    ::PostMessageW(host.m_hWnd, WM_VSCROLL, 0, 0);
    EXPECT_EQ(1, Tree().PumpOneMessage());
    EXPECT_TRUE(::PeekMessageW(&drain, host.m_hWnd, WM_VSCROLL, WM_VSCROLL, PM_REMOVE)) << "left in the queue";
    ::PostMessageW(host.m_hWnd, WM_USER + 5, 0, 0);
    EXPECT_EQ(0, Tree().PumpOneMessage());
    EXPECT_FALSE(::PeekMessageW(&drain, host.m_hWnd, WM_USER + 5, WM_USER + 5, PM_REMOVE)) << "dispatched";
    EXPECT_EQ(0, Tree().PumpOneMessage()) << "nothing waiting";
}

TEST(PidlNameCache, NamesAreKeptByTheWholeItemList)
{
    // Outside the temporary folder, whose times other test programs keep
    // changing: two lists of one path made a moment apart could differ.
    qvtest::TempFolder folder{L"C:\\"};
    ASSERT_TRUE(::CreateDirectoryW(folder / L"One", nullptr));
    ASSERT_TRUE(::CreateDirectoryW(folder / L"Two", nullptr));
    ASSERT_TRUE(SettleAccessTimes({folder.Path(), folder / L"One", folder / L"Two"}));
    qvtest::Pidl one(folder / L"One"), oneAgain(folder / L"One"), two(folder / L"Two");
    ASSERT_NE(nullptr, one.get());
    CPidlNameCache cache;
    EXPECT_EQ(L"", cache.Find(one.get()));
    EXPECT_EQ(L"One", cache.GetName(one.get())) << "the shell's name";
    EXPECT_EQ(1, cache.GetCount());
    EXPECT_EQ(L"One", cache.Find(oneAgain.get())) << "an equal list made separately";
    cache.SetName(oneAgain.get(), L"Renamed");
    EXPECT_EQ(1, cache.GetCount()) << "the entry is replaced, not added";
    EXPECT_EQ(L"Renamed", cache.GetName(one.get()));
    EXPECT_EQ(L"", cache.Find(two.get()));
    cache.SetName(two.get(), L"Second");
    EXPECT_EQ(2, cache.GetCount());

    ITEMIDLIST empty = {};
    EXPECT_EQ(L"", cache.Find(&empty));
    cache.Add(&empty, L"Desktop");
    EXPECT_EQ(L"", cache.Find(&empty)) << "the empty list is never kept";
    cache.Clear();
    EXPECT_EQ(0, cache.GetCount());
}
