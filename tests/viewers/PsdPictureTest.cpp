// Photoshop pictures in the preview pane and the secure image viewer, plain
// and encrypted (decrypted into memory and typed by their first bytes).
#include "tests/viewers/PictureTestSupport.h"

#include "doc/OrvantisDoc.h"
#include "framework/windows/CWinApp.h"
#include "viewers/FullImgView.h"
#include "viewers/PreviewPainting.h"
#include "viewers/PreviewWnd.h"

using namespace picturetest;

namespace {

const COLORREF kSquareColour = RGB(0, 128, 255);  // square10.psd, as its script makes it

}  // namespace

TEST(PsdPictures, PlainAndEncryptedPsdShowInThePreviewPane)
{
    UseTestKey();
    qvtest::TempFolder folder;
    CString encrypted = EncryptAs(folder, ReadFixture("square10.psd"), L"Square.PSD");
    for (const CString& path : {Fixture(L"square10.psd"), encrypted}) {
        SCOPED_TRACE(path == encrypted ? "encrypted" : "plain");
        PictureHost host(200, 100);
        CPreviewWnd preview;
        ASSERT_TRUE(CreatePreviewPane(preview, host, 200, 100));
        preview.ShowFile(path);
        EXPECT_TRUE(PumpUntil([&] { return preview.GetPictureSize() == CSize(10, 10) && !preview.IsRunning(); },
                              kDeadlineMs));
        ::UpdateWindow(preview);
        EXPECT_EQ(PixelAt(preview, {100, 50}), kSquareColour);
        preview.StopThreads();
    }
}

TEST(PsdPictures, PlainAndEncryptedPsdOpenInTheViewerOneToOne)
{
    CWinApp app(L"Quorvex PSD viewer tests");
    app.SetRegistryKey(L"Quorvex tests");
    auto doc = std::make_unique<COrvantisDoc>();
    UseTestKey();
    qvtest::TempFolder folder;
    CString encrypted = EncryptAs(folder, ReadFixture("square10.psd"), L"square.psd");
    for (const CString& path : {Fixture(L"square10.psd"), encrypted}) {
        SCOPED_TRACE(path == encrypted ? "encrypted" : "plain");
        CFullImgView* viewer = CFullImgView::Open(doc.get(), path);
        ASSERT_NE(viewer, nullptr);
        doc->m_pImageViewer = viewer;
        ASSERT_TRUE(PumpUntil([&] { return viewer->m_preview.GetPictureSize() == CSize(10, 10); }, kDeadlineMs));
        ASSERT_TRUE(PumpUntil([&] { return !viewer->m_preview.IsRunning(); }, kDeadlineMs));
        CRect client;
        viewer->m_preview.GetClientRect(&client);
        int left = client.Width() / 2 - 5, top = client.Height() / 2 - 5;
        EXPECT_EQ(PixelAt(viewer->m_preview, {left, top}), kSquareColour);
        EXPECT_EQ(PixelAt(viewer->m_preview, {left + 9, top + 9}), kSquareColour);
        EXPECT_EQ(PixelAt(viewer->m_preview, {left - 1, top}), kPreviewBackground);
        viewer->DestroyWindow();
        EXPECT_EQ(doc->m_pImageViewer, nullptr);
    }
}
