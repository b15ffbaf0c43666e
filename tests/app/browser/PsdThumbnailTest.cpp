// Photoshop pictures as the thumbnail loader reads them, plain and
// encrypted (decrypted into memory, typed by the stored name's ending): the
// size and colour ImageMagick reads back from the fixtures.
#include "tests/app/browser/BrowserTestSupport.h"

#include "app/BrowserPictures.h"

using namespace browsertest;

namespace {

std::map<std::string, Reference> PsdReferences()
{
    std::map<std::string, Reference> table;
    std::string text = FixtureBytes("psd-expected.txt");
    char name[64] = {};
    int w = 0, h = 0, r = 0, g = 0, b = 0, used = 0;
    for (const char* at = text.c_str(); sscanf(at, "%63s %d %d %d %d %d%n", name, &w, &h, &r, &g, &b, &used) == 6;
         at += used)
        table[name] = Reference{w, h, RGB(r, g, b)};
    return table;
}

}  // namespace

TEST(PsdThumbnails, PlainAndEncryptedPsdFilesGiveTheirPictures)
{
    KeyScope key(L"thumbnail password");
    auto references = PsdReferences();
    ASSERT_EQ(references.size(), 2u);
    qvtest::TempFolder folder;
    for (const auto& [name, reference] : references) {
        CString shown(name.c_str());
        std::string bytes = FixtureBytes(name.c_str());
        CString plain = folder.WriteFile(L"plain-" + shown, bytes);
        CString encrypted = EncryptInto(folder.Path(), L"Stored-" + shown.MakeUpper(), bytes);
        for (const CString& path : {plain, encrypted}) {
            SCOPED_TRACE(name + (path == plain ? " (plain)" : " (encrypted)"));
            CPicImageEx image;
            CFileCipher cipher;
            ASSERT_TRUE(LoadBrowserPicture(image, path, cipher, 100, 75));
            EXPECT_EQ(image.GetBitsPerPixel(), 24);
            EXPECT_EQ(image.GetWidth(), reference.width);
            EXPECT_EQ(image.GetHeight(), reference.height);
            const uint8_t* p = image.GetPixels();
            EXPECT_EQ(RGB(p[0], p[1], p[2]), reference.colour);
            WipePicture(image);
        }
    }
}
