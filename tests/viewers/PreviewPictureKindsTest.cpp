// The preview pane shows Targa and PCX pictures, plain and encrypted, as the
// browser lists them: the encrypted ones decoded in memory, a Targa without
// footer found by its plain name's extension.
#include "tests/viewers/PictureTestSupport.h"

#include "crypt/FileCipher.h"
#include "viewers/PreviewWnd.h"

using namespace picturetest;

namespace {

class DecodeCountingPreview : public CPreviewWnd {
public:
    void Run() override
    {
        ++started;
        CPreviewWnd::Run();
    }
    int started = 0;
};

}  // namespace

TEST(PreviewPictureKinds, TargaAndPcxShowPlainAndEncrypted)
{
    PictureHost host(200, 100);
    DecodeCountingPreview preview;
    ASSERT_TRUE(CreatePreviewPane(preview, host, 200, 100));
    UseTestKey();
    qvtest::TempFolder folder;
    struct Case {
        const char* fault;
        CString path;
        COLORREF colour;
    } cases[] = {
        {"plain Targa", Fixture(L"square10.tga"), RGB(200, 100, 50)},
        {"plain PCX", Fixture(L"square10.pcx"), RGB(90, 30, 160)},
        {"encrypted Targa without footer", EncryptAs(folder, ReadFixture("square10.tga"), L"Square.TGA"),
         RGB(200, 100, 50)},
        {"encrypted PCX", EncryptAs(folder, ReadFixture("square10.pcx"), L"square.pcx"), RGB(90, 30, 160)},
    };
    for (const Case& c : cases) {
        int before = preview.started;
        preview.ShowFile(c.path);
        ASSERT_TRUE(PumpUntil([&] { return preview.started > before && !preview.IsRunning(); }, kDeadlineMs))
            << c.fault;
        ::UpdateWindow(preview);
        EXPECT_EQ(preview.GetPictureSize(), CSize(10, 10)) << c.fault;
        EXPECT_EQ(PixelAt(preview, {100, 50}), c.colour) << c.fault;
    }
    preview.StopThreads();
}
