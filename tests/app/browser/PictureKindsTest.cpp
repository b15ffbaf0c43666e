// Targa and PCX pictures, plain and encrypted, reach the thumbnail browser's
// loader and its painted thumbnails as ImageMagick reads them (sizes and
// colours from expected-kinds.txt).
#include "tests/app/browser/BrowserTestSupport.h"

#include "app/BrowserPictures.h"

using namespace browsertest;

namespace {

const char* const kFixtures[] = {"solid.tga", "solidmap.tga", "solid.pcx", "solid8.pcx"};

}  // namespace

TEST(BrowserPictureKinds, TargaAndPcxLoadPlainAndEncrypted)
{
    KeyScope key(L"kinds password");
    auto references = References("expected-kinds.txt");
    qvtest::TempFolder folder;
    for (const char* fixture : kFixtures) {
        const Reference& reference = references[fixture];
        CString name(fixture);
        for (bool encrypted : {false, true}) {
            CString path = encrypted ? EncryptInto(folder.Path(), L"E" + name, FixtureBytes(fixture))
                                     : folder.WriteFile(name, FixtureBytes(fixture));
            CPicImageEx image;
            CFileCipher cipher;
            ASSERT_TRUE(LoadBrowserPicture(image, path, cipher, 100, 100)) << fixture << (encrypted ? " encrypted" : "");
            EXPECT_EQ(image.GetWidth(), reference.width) << fixture;
            EXPECT_EQ(image.GetHeight(), reference.height) << fixture;
            ASSERT_EQ(image.GetBitsPerPixel(), 24) << fixture;
            const uint8_t* p = (const uint8_t*)image.GetPixels();
            EXPECT_TRUE(Near(RGB(p[0], p[1], p[2]), reference.colour, 0)) << fixture;
            WipePicture(image);
        }
    }
}

TEST(BrowserPictureKinds, ThumbnailsOfPlainAndEncryptedTargaAndPcx)
{
    KeyScope key(L"kinds password");
    auto references = References("expected-kinds.txt");
    qvtest::TempFolder folder;
    struct File {
        CString path;
        std::string fixture;
    };
    std::vector<File> files;
    for (const char* fixture : kFixtures) {
        files.push_back({folder.WriteFile(CString(fixture), FixtureBytes(fixture)), fixture});
        files.push_back({EncryptInto(folder.Path(), L"z" + CString(fixture), FixtureBytes(fixture)), fixture});
    }
    BrowserHost host(1000, 720);
    CMultipleSelectorBrowser browser;
    host.Open(browser, folder.Path(), 120);
    ASSERT_EQ(browser.GetItemCount(), 9) << "\"..\" and the eight pictures";
    std::vector<CString> paths;
    for (const File& file : files)
        paths.push_back(file.path);
    ASSERT_TRUE(WaitUntil([&] {
        for (const CString& path : paths) {
            if (browser.GetSlotState(path).loaded != 1)
                return false;
        }
        return true;
    }));
    const int bw = browser.m_nThumbWidth, bh = browser.m_nThumbHeight;
    for (const File& file : files) {
        auto state = browser.GetSlotState(file.path);
        const Reference& reference = references[file.fixture];
        float s = std::max((float)reference.width / bw, (float)reference.height / bh);
        EXPECT_EQ(state.width, std::max(1, (int)((float)reference.width / s))) << file.fixture;
        EXPECT_EQ(state.height, std::max(1, (int)((float)reference.height / s))) << file.fixture;
        EXPECT_TRUE(Near(state.firstPixel, reference.colour, 2)) << file.fixture << " " << std::hex << state.firstPixel;
    }
    browser.DestroyWindow();
}
