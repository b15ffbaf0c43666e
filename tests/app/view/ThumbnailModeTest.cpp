// Thumbnail mode in the running program: the browser replaces the list,
// follows and leads the view's folder, keeps its own top level, and hands
// its current item to the commands.
#include "tests/app/view/ViewProgramTest.h"

#include "framework/windows/FolderChooser.h"
#include "res/resource.h"

namespace {

class ThumbnailModeTest : public viewtest::ViewProgramTest {
protected:
    CMultipleSelectorBrowser* Browser() { return view->GetBrowser(); }
    // Presses (and with `twice` double-clicks) the browser's cell `index`.
    void PressCell(int index, bool twice)
    {
        CMultipleSelectorBrowser* browser = Browser();
        int w = browser->CellWidth(), h = browser->CellHeight(), c = browser->m_nColumns;
        LPARAM at = MAKELPARAM((index % c) * w + w / 2, (index / c) * h + browser->m_nScroll + h / 2);
        browser->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at);
        browser->SendMessage(WM_LBUTTONUP, 0, at);
        if (twice)
            browser->SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        qvtest::PumpPostedSoFar();
    }
};

}  // namespace

TEST_F(ThumbnailModeTest, TheBrowserReplacesTheListAndFollowsItsFolder)
{
    folder.WriteFile(L"one.png", "not decoded here");
    ::CreateDirectoryW(folder / L"inner", nullptr);
    Start();
    ASSERT_TRUE(SUCCEEDED(List().DisplayFolder(folder.Path().GetString())));
    qvtest::PumpPostedSoFar();
    Command(ID_THUMBNAILS);
    ASSERT_NE(Browser(), nullptr);
    EXPECT_FALSE(List().IsWindowVisible());
    EXPECT_EQ(Browser()->m_strFolder, folder.Path() + L"\\");
    ASSERT_EQ(Browser()->GetItemCount(), 3);

    // A double-click on a folder takes the list there too.
    PressCell(1, true);
    EXPECT_EQ(view->GetCurrentFolder(), folder / L"inner");
    EXPECT_EQ(Browser()->m_strFolder, folder / L"inner\\");

    // The size command cycles and lays the browser out again.
    int before = Browser()->m_nThumbPixels;
    Command(ID_THUMB_SIZE);
    EXPECT_NE(Browser()->m_nThumbPixels, before);

    Command(ID_THUMBNAILS);
    EXPECT_EQ(Browser(), nullptr);
    EXPECT_TRUE(List().IsWindowVisible());
}

TEST_F(ThumbnailModeTest, TheParentOfADriveRootShowsTheTopLevelAndItStays)
{
    Start();
    ASSERT_TRUE(SUCCEEDED(List().DisplayFolder(L"C:\\")));
    qvtest::PumpPostedSoFar();
    Command(ID_THUMBNAILS);
    ASSERT_NE(Browser(), nullptr);
    ASSERT_EQ(Browser()->GetItemPath(0), L"C:\\..");
    PressCell(0, true);
    EXPECT_TRUE(Browser()->IsTopLevel());
    qvtest::PumpPostedSoFar();
    EXPECT_TRUE(Browser()->IsTopLevel());
    std::vector<CString> items;
    for (int i = 0; i < Browser()->GetItemCount(); ++i)
        items.push_back(Browser()->GetItemPath(i));
    EXPECT_NE(std::find(items.begin(), items.end(), CString(L"C:\\")), items.end());
}

TEST_F(ThumbnailModeTest, DecryptSelectedToTakesTheBrowsersCurrentItem)
{
    CString listed = folder.WriteFile(L"a-listed.png", "1");
    CString pressed = folder.WriteFile(L"b-pressed.png", "2");
    Start();
    ASSERT_TRUE(SUCCEEDED(List().DisplayFolder(folder.Path().GetString())));
    qvtest::PumpPostedSoFar();
    qvtest::SelectOnly(List(), {Find(L"a-listed.png")});
    Command(ID_THUMBNAILS);
    ASSERT_NE(Browser(), nullptr);
    // "..", then the two files.
    PressCell(2, false);
    ASSERT_EQ(Browser()->m_strCurrentPath, pressed);

    AfxSetFolderChooserHook([](HWND, const CString&, const CString&, CString&) { return false; });
    for (UINT command : {ID_ENCRYPT_SELECTED_TO, ID_DECRYPT_SELECTED_TO}) {
        Command(command);
        ASSERT_EQ(document->m_Selection.GetSize(), 1) << command;
        EXPECT_EQ(document->m_Selection[0], pressed) << command;
    }
    AfxSetFolderChooserHook(nullptr);
}
