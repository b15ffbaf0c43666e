#include "tests/QvTest.h"
#include "tests/framework/windows/DialogDriver.h"

#include "framework/windows/COleDataSource.h"
#include "framework/windows/CShellContextMenu.h"
#include "framework/windows/CShellListCtrl.h"
#include "framework/windows/CShellTreeCtrl.h"

#include <shlobj.h>

#include <vector>

namespace {

// The list's parent: counts the list's folder changes and shell commands.
class ListHost : public CWnd {
public:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        if (message == ChangeCurrentFolderMessage()) {
            ++folderChanges;
            *result = 0;
            return TRUE;
        }
        if (message == AfterShellCommandMessage()) {
            shellCommands.push_back((UINT)wParam);
            *result = 0;
            return TRUE;
        }
        return CWnd::OnWndMsg(message, wParam, lParam, result);
    }
    int folderChanges = 0;
    std::vector<UINT> shellCommands;
};

// A list over a folder with two files and a subfolder.
class ShellListTest : public testing::Test {
protected:
    void SetUp() override
    {
        ::OleInitialize(nullptr);
        folder.WriteFile(L"b.txt", std::string(3000, 'b'));
        folder.WriteFile(L"a.log", "a");
        ASSERT_TRUE(::CreateDirectoryW(folder / L"Sub", nullptr));
        folder.WriteFile(L"Sub\\inner.txt", "inner");
        ASSERT_TRUE(host.CreateEx(0, CWnd::RegisterWndClass(0), L"List host", WS_POPUP, 0, 0, 640, 400, nullptr,
                                  nullptr));
        ASSERT_TRUE(list.Create(WS_VISIBLE | LVS_REPORT, CRect(0, 0, 640, 400), &host, 1));
        host.ShowWindow(SW_SHOWNOACTIVATE);
    }
    void TearDown() override
    {
        host.DestroyWindow();
        ::OleUninitialize();
    }
    std::vector<CString> Names() { return qvtest::ListItemTexts(list); }
    int Find(const CString& name) { return qvtest::FindListItem(list, name); }

    qvtest::TempFolder folder;
    ListHost host;
    CShellListCtrl list;
};

}  // namespace

TEST_F(ShellListTest, AFolderIsListedWithItsColumnsAndSortedByName)
{
    EXPECT_EQ(4, list.GetColumnCount());
    ASSERT_EQ(S_OK, list.DisplayFolder(folder.Path().GetString()));
    EXPECT_EQ(1, host.folderChanges);
    CString current;
    ASSERT_TRUE(list.GetCurrentFolder(current));
    EXPECT_EQ(folder.Path(), current);
    // The folder's own order: folders first, then names.
    EXPECT_EQ((std::vector<CString>{L"Sub", L"a.log", L"b.txt"}), Names());
    int b = Find(L"b.txt");
    EXPECT_EQ(CString(L"3 KB"), list.GetItemText(b, CShellListCtrl::COLUMN_SIZE));
    EXPECT_FALSE(list.GetItemText(b, CShellListCtrl::COLUMN_TYPE).IsEmpty());
    EXPECT_FALSE(list.GetItemText(b, CShellListCtrl::COLUMN_MODIFIED).IsEmpty());
    EXPECT_TRUE(list.GetItemText(Find(L"Sub"), CShellListCtrl::COLUMN_SIZE).IsEmpty()) << "folders have no size";
    CString path;
    ASSERT_TRUE(list.GetItemPath(path, b));
    EXPECT_EQ(folder / L"b.txt", path);
    EXPECT_TRUE(list.IsItemFolder(Find(L"Sub")));
    EXPECT_FALSE(list.IsItemFolder(b));

    list.Sort(CShellListCtrl::COLUMN_NAME, FALSE);
    EXPECT_EQ((std::vector<CString>{L"b.txt", L"a.log", L"Sub"}), Names());
    // A click on a header sorts by that column; again, the other way.
    NMLISTVIEW click = {};
    click.hdr.hwndFrom = list.m_hWnd;
    click.hdr.code = LVN_COLUMNCLICK;
    click.iSubItem = CShellListCtrl::COLUMN_SIZE;
    host.SendMessage(WM_NOTIFY, 1, (LPARAM)&click);
    EXPECT_EQ(CShellListCtrl::COLUMN_SIZE, list.GetSortColumn());
    EXPECT_TRUE(list.IsSortAscending());
    host.SendMessage(WM_NOTIFY, 1, (LPARAM)&click);
    EXPECT_FALSE(list.IsSortAscending());
}

TEST_F(ShellListTest, OpeningAFolderItemAndGoingBackUp)
{
    ASSERT_EQ(S_OK, list.DisplayFolder(folder.Path().GetString()));
    list.DoDefault(Find(L"Sub"));
    CString current;
    ASSERT_TRUE(list.GetCurrentFolder(current));
    EXPECT_EQ(folder / L"Sub", current);
    EXPECT_EQ((std::vector<CString>{L"inner.txt"}), Names());
    EXPECT_EQ(2, host.folderChanges);

    ASSERT_EQ(S_OK, list.DisplayParentFolder());
    ASSERT_TRUE(list.GetCurrentFolder(current));
    EXPECT_EQ(folder.Path(), current);
    EXPECT_EQ(3, host.folderChanges);

    // A refresh lists the folder again without telling the parent.
    folder.WriteFile(L"c.txt", "c");
    ASSERT_EQ(S_OK, list.Refresh());
    EXPECT_GE(Find(L"c.txt"), 0);
    EXPECT_EQ(3, host.folderChanges);
}

TEST_F(ShellListTest, TheDesktopHasNoParentAndFilesOrMissingFoldersAreNotShown)
{
    ASSERT_EQ(S_OK, list.DisplayFolder(folder.Path().GetString()));
    // A file is not a folder to show, nor is a path that does not exist.
    EXPECT_TRUE(FAILED(list.DisplayFolder((folder / L"b.txt").GetString())));
    EXPECT_TRUE(FAILED(list.DisplayFolder((folder / L"missing").GetString())));
    CString current;
    ASSERT_TRUE(list.GetCurrentFolder(current));
    EXPECT_EQ(folder.Path(), current) << "the folder shown stays";

    ITEMIDLIST desktop = {};
    ASSERT_EQ(S_OK, list.DisplayFolderPidl(&desktop));
    EXPECT_TRUE(list.IsDesktopShown());
    EXPECT_GT(list.GetItemCount(), 0);
    EXPECT_TRUE(FAILED(list.DisplayParentFolder()));
    EXPECT_TRUE(list.IsDesktopShown());
}

TEST_F(ShellListTest, TheRelatedTreeSelectsTheFolderAndShowsItsChoice)
{
    CShellTreeCtrl tree;
    ASSERT_TRUE(tree.Create(WS_VISIBLE | TVS_HASBUTTONS, CRect(0, 0, 200, 400), &host, 2));
    list.SetRelatedTree(&tree);
    ASSERT_EQ(S_OK, list.DisplayFolder(folder.Path().GetString()));
    CString selected;
    ASSERT_TRUE(tree.GetItemPath(selected, tree.GetSelectedItem()));
    EXPECT_EQ(folder.Path(), selected);

    // Choosing a folder in the tree shows it in the list.
    HTREEITEM sub = tree.GetChildItem(tree.GetSelectedItem());
    ASSERT_NE(nullptr, sub);
    tree.SelectItem(sub);
    CString current;
    ASSERT_TRUE(list.GetCurrentFolder(current));
    EXPECT_EQ(folder / L"Sub", current);
    tree.DestroyWindow();
}

TEST_F(ShellListTest, TheShellMenuOfAFileHasADefaultCommand)
{
    ASSERT_EQ(S_OK, list.DisplayFolder(folder.Path().GetString()));
    ShellItemInfo* info = list.GetItemInfo(Find(L"b.txt"));
    ASSERT_NE(nullptr, info);
    CShellContextMenu menu;
    ASSERT_TRUE(menu.Create(list.GetCurrentShellFolder(), list.m_hWnd, {info->pidlRel}));
    HMENU popup = ::CreatePopupMenu();
    ASSERT_TRUE(menu.Fill(popup, CMF_EXPLORE));
    EXPECT_GT(::GetMenuItemCount(popup), 0);
    ::DestroyMenu(popup);
    UINT id = menu.GetDefaultCommand();
    EXPECT_GE(id, CShellContextMenu::FIRST_ID);
    EXPECT_LE(id, CShellContextMenu::LAST_ID);

    CShellContextMenu byPath;
    EXPECT_TRUE(byPath.CreateForPath(folder / L"b.txt", list.m_hWnd));
    EXPECT_EQ(id, byPath.GetDefaultCommand());
    EXPECT_FALSE(byPath.CreateForPath(folder / L"missing.txt", list.m_hWnd));
    EXPECT_EQ(nullptr, CShellContextMenu::GetOpenMenu2());
}

TEST(OleDataSourceTest, ReceiversGetCopiesOfTheCachedBlocksInEveryFormatOffered)
{
    ::OleInitialize(nullptr);
    auto* source = new COleDataSource;
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE, 4);
    memcpy(::GlobalLock(block), "abc", 4);
    ::GlobalUnlock(block);
    source->CacheGlobalData(CF_TEXT, block);
    FORMATETC format = {CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    EXPECT_EQ(S_OK, source->QueryGetData(&format));
    STGMEDIUM medium = {};
    ASSERT_EQ(S_OK, source->GetData(&format, &medium));
    EXPECT_NE(block, medium.hGlobal) << "the receiver frees what it gets";
    EXPECT_STREQ("abc", (const char*)::GlobalLock(medium.hGlobal));
    ::GlobalUnlock(medium.hGlobal);
    ::ReleaseStgMedium(&medium);

    FORMATETC other = {CF_BITMAP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    EXPECT_EQ(DV_E_FORMATETC, source->QueryGetData(&other));
    EXPECT_EQ(DV_E_FORMATETC, source->GetData(&other, &medium));

    IEnumFORMATETC* formats = nullptr;
    ASSERT_EQ(S_OK, source->EnumFormatEtc(DATADIR_GET, &formats));
    FORMATETC listed[4];
    ULONG count = 0;
    formats->Next(4, listed, &count);
    formats->Release();
    ASSERT_EQ(1u, count);
    EXPECT_EQ(CF_TEXT, listed[0].cfFormat);
    EXPECT_EQ(0u, source->Release());
    ::OleUninitialize();
}
