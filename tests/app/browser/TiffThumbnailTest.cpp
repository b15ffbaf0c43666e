// TIFF pictures in the thumbnail browser, plain and encrypted: the loader
// reads them through the image object and stands them as their Orientation
// tag says (the fixture is stored 56x24 with Orientation 6, so 24x56).
#include "tests/app/browser/BrowserTestSupport.h"

using namespace browsertest;

TEST(TiffThumbnail, PlainAndEncryptedTiffsGetTurnedThumbnails)
{
    KeyScope key(L"thumbnail password");
    qvtest::TempFolder folder;
    std::vector<CString> paths = {
        folder.WriteFile(L"a.tif", FixtureBytes("solid.tif")),
        EncryptInto(folder.Path(), L"b.TIFF", FixtureBytes("solid.tif")),
    };
    BrowserHost host(600, 400);
    CMultipleSelectorBrowser browser;
    host.Open(browser, folder.Path(), 120);
    ASSERT_TRUE(WaitUntil([&] {
        for (const CString& path : paths)
            if (browser.GetSlotState(path).loaded != 1)
                return false;
        return true;
    }));
    // The box model: s = max(w / box width, h / box height), each side divided by s.
    const int bw = browser.m_nThumbWidth, bh = browser.m_nThumbHeight;
    float s = std::max(24.0f / (float)bw, 56.0f / (float)bh);
    for (const CString& path : paths) {
        auto state = browser.GetSlotState(path);
        EXPECT_EQ(state.width, std::max(1, (int)(24.0f / s))) << path.ToUtf8();
        EXPECT_EQ(state.height, std::max(1, (int)(56.0f / s))) << path.ToUtf8();
        EXPECT_TRUE(Near(state.firstPixel, RGB(120, 30, 200), 2)) << path.ToUtf8();
    }
}
