// The secure image viewer on real windows: it titles itself by the file's
// name, draws a small picture 1:1 in the centre, plays an encrypted GIF, writes its placement and clears the
// document's pointer when it closes, and its threads end on their own.
#include "tests/viewers/PictureTestSupport.h"

#include "doc/OrvantisDoc.h"
#include "framework/windows/CWinApp.h"
#include "viewers/FullImgView.h"
#include "viewers/PreviewPainting.h"

using namespace picturetest;

namespace {

const WCHAR kSection[] = L"ImageViewSize";
const WCHAR kEntry[] = L"WindowPlacement";

class ImageViewerTest : public ::testing::Test {
protected:
    ImageViewerTest() : m_app(L"Quorvex viewer tests")
    {
        m_app.SetRegistryKey(L"Quorvex tests");
        m_doc = std::make_unique<COrvantisDoc>();
        UseTestKey();
    }
    ~ImageViewerTest() override
    {
        if (m_doc->m_pImageViewer)
            m_doc->m_pImageViewer->DestroyWindow();
    }

    CFullImgView* Open(const CString& path)
    {
        CFullImgView* viewer = CFullImgView::Open(m_doc.get(), path);
        m_doc->m_pImageViewer = viewer;
        return viewer;
    }

    static void Close(CFullImgView* viewer) { ::SendMessageW(*viewer, WM_COMMAND, IDCANCEL, 0); }

    CWinApp m_app;
    std::unique_ptr<COrvantisDoc> m_doc;
};

TEST_F(ImageViewerTest, DrawsASmallPictureOneToOneAndWritesItsPlacementOnClose)
{
    // The placement written on close is not applied on open (the placement
    // tests cover all three viewer windows).
    CFullImgView* viewer = Open(Fixture(L"square10.png"));
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->GetWindowText(), CString(L"Secure Viewer: square10.png"));

    ASSERT_TRUE(PumpUntil([&] { return viewer->m_preview.GetPictureSize() == CSize(10, 10); }, kDeadlineMs));
    ASSERT_TRUE(PumpUntil([&] { return !viewer->m_preview.IsRunning(); }, kDeadlineMs));
    CRect client;
    viewer->m_preview.GetClientRect(&client);
    // 1:1 from (W/2 - 5, H/2 - 5) for ten pixels each way.
    int left = client.Width() / 2 - 5, top = client.Height() / 2 - 5;
    EXPECT_EQ(PixelAt(viewer->m_preview, {left, top}), RGB(0, 128, 255));
    EXPECT_EQ(PixelAt(viewer->m_preview, {left + 9, top + 9}), RGB(0, 128, 255));
    EXPECT_EQ(PixelAt(viewer->m_preview, {left - 1, top}), kPreviewBackground);
    EXPECT_EQ(PixelAt(viewer->m_preview, {left + 10, top + 9}), kPreviewBackground);

    ::SetWindowPos(*viewer, nullptr, 70, 80, 370, 300, SWP_NOZORDER | SWP_NOACTIVATE);
    Close(viewer);
    EXPECT_EQ(m_doc->m_pImageViewer, nullptr) << "the closed viewer clears the document's pointer";
    EXPECT_EQ(m_app.GetProfileString(kSection, kEntry, L""), CString(L"70,80,440,380,1,0"));
}

TEST_F(ImageViewerTest, ClosingAnOlderViewerLeavesThePointerToTheNewest)
{
    CFullImgView* older = Open(Fixture(L"square10.png"));
    CFullImgView* newer = Open(Fixture(L"wide.png"));
    ASSERT_NE(older, nullptr);
    ASSERT_NE(newer, nullptr);
    Close(older);
    EXPECT_EQ(m_doc->m_pImageViewer, newer);
    Close(newer);
    EXPECT_EQ(m_doc->m_pImageViewer, nullptr);
}

TEST_F(ImageViewerTest, EncryptedGifPlaysOneToOneAndClosingEndsItsThreadWithoutTermination)
{
    qvtest::TempFolder folder;
    CFullImgView* viewer = Open(EncryptAs(folder, ReadFixture("blink.gif"), L"blink.gif"));
    ASSERT_NE(viewer, nullptr);
    CPreviewAniGifWnd& gif = viewer->m_preview.m_gifWindow;
    ASSERT_TRUE(PumpUntil([&] { return gif.HasFrame(); }, kDeadlineMs));
    EXPECT_TRUE(gif.IsWindowVisible());
    CRect client;
    gif.GetClientRect(&client);
    int left = client.Width() / 2 - 5, top = client.Height() / 2 - 5;
    COLORREF shown = PixelAt(gif, {left + 4, top + 4});
    EXPECT_TRUE(shown == RGB(255, 0, 0) || shown == RGB(0, 0, 255)) << std::hex << shown;
    EXPECT_EQ(PixelAt(gif, {left - 1, top + 4}), kPreviewBackground);

    ThreadWatch render(gif);
    Close(viewer);
    EXPECT_EQ(render.ExitCode(), 0u) << "the render thread ended by itself";
}

}  // namespace
