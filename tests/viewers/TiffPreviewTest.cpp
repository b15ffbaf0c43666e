// TIFF pictures in the preview pane and the secure image viewer, plain and
// encrypted: decoded through the image object and turned by their
// Orientation tag (the fixture is stored 12x6 with Orientation 8: 6x12).
#include "tests/viewers/PictureTestSupport.h"

#include "crypt/FileCipher.h"
#include "doc/OrvantisDoc.h"
#include "framework/windows/CWinApp.h"
#include "viewers/FullImgView.h"
#include "viewers/PreviewWnd.h"

using namespace picturetest;

namespace {
const COLORREF kColour = RGB(200, 40, 90);
}

TEST(TiffPreview, PlainAndEncryptedTiffsShowTurnedInThePane)
{
    PictureHost host(200, 100);
    CPreviewWnd preview;
    ASSERT_TRUE(CreatePreviewPane(preview, host, 200, 100));
    UseTestKey();
    qvtest::TempFolder folder;
    CString encrypted = EncryptAs(folder, ReadFixture("turned.tif"), L"Turned.TIF");
    for (const CString& path : {Fixture(L"turned.tif"), encrypted}) {
        SCOPED_TRACE(path.ToUtf8());
        preview.ClearImage();
        preview.m_bFitToWindow = 0;
        preview.ShowFile(path);
        ASSERT_TRUE(PumpUntil([&] { return preview.GetPictureSize() == CSize(6, 12) && !preview.IsRunning(); },
                              kDeadlineMs));
        ::UpdateWindow(preview);
        // 1:1 in the centre: x 97..102, y 44..55.
        EXPECT_EQ(PixelAt(preview, {97, 44}), kColour);
        EXPECT_EQ(PixelAt(preview, {102, 55}), kColour);
    }
    preview.StopThreads();
}

TEST(TiffPreview, TheViewerShowsATurnedTiff)
{
    CWinApp app(L"Quorvex viewer tests");
    app.SetRegistryKey(L"Quorvex tests");
    auto doc = std::make_unique<COrvantisDoc>();
    CFullImgView* viewer = CFullImgView::Open(doc.get(), Fixture(L"turned.tif"));
    ASSERT_NE(viewer, nullptr);
    doc->m_pImageViewer = viewer;
    ASSERT_TRUE(PumpUntil([&] { return viewer->m_preview.GetPictureSize() == CSize(6, 12); }, kDeadlineMs));
    ASSERT_TRUE(PumpUntil([&] { return !viewer->m_preview.IsRunning(); }, kDeadlineMs));
    ::UpdateWindow(viewer->m_preview);
    CRect client;
    viewer->m_preview.GetClientRect(&client);
    int left = client.Width() / 2 - 3, top = client.Height() / 2 - 6;
    EXPECT_EQ(PixelAt(viewer->m_preview, {left, top}), kColour);
    EXPECT_EQ(PixelAt(viewer->m_preview, {left + 5, top + 11}), kColour);
    viewer->DestroyWindow();
}
