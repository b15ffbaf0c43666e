// No plain copy of an encrypted picture reaches the disk. A JPEG and an
// animated GIF carry a marker made for this run in a comment; they are
// encrypted, shown in a preview window as the pane shows them (fitted) and
// in the image viewer, and then the Wine prefix (which holds the program's
// and the system's temporary folders) and the unix temporary folder are
// searched for the marker and for bytes of the plain JPEG: nothing may be
// found. The same pictures kept plain show the same way and stay unchanged.
// While the encrypted pictures show, every block the program frees is
// searched for the marker too: no plain byte may stay in freed memory.
#include "tests/viewers/PictureTestSupport.h"

#include "doc/OrvantisDoc.h"
#include "tests/FreedBlockScanner.h"
#include "framework/windows/CWinApp.h"
#include "viewers/FullImgView.h"

#include <cstdlib>
#include <ctime>

using namespace picturetest;

namespace {

// 32 printable bytes unlikely to exist anywhere else.
std::string MakeMarker()
{
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    char text[40];
    snprintf(text, sizeof text, "QVPRIV%08lx%08lx%010llx", (unsigned long)::GetCurrentProcessId(),
             (unsigned long)::GetTickCount(), (unsigned long long)counter.QuadPart & 0xFFFFFFFFFFull);
    return std::string(text, 32);
}

// A JPEG comment segment (FF FE, length 2 + 32) right after the start-of-image marker.
std::string JpegWithComment(const std::string& jpeg, const std::string& marker)
{
    std::string segment = std::string("\xFF\xFE", 2) + char(0) + char(2 + marker.size()) + marker;
    return jpeg.substr(0, 2) + segment + jpeg.substr(2);
}

// A GIF comment extension (21 FE, one sub-block, terminator) after the
// header, the logical screen and the global colour table.
std::string GifWithComment(const std::string& gif, const std::string& marker)
{
    unsigned char packed = (unsigned char)gif[10];
    size_t tableBytes = (packed & 0x80) ? 3u << ((packed & 7) + 1) : 0;
    size_t at = 13 + tableBytes;
    std::string extension = std::string("\x21\xFE", 2) + char(marker.size()) + marker + char(0);
    return gif.substr(0, at) + extension + gif.substr(at);
}

std::string Utf16(const std::string& ascii)
{
    std::string wide;
    for (char c : ascii)
        wide += std::string(1, c) + char(0);
    return wide;
}

class PicturePrivacyTest : public ::testing::Test {
protected:
    PicturePrivacyTest() : m_app(L"Quorvex privacy tests"), m_host(240, 160)
    {
        m_app.SetRegistryKey(L"Quorvex tests");
        m_doc = std::make_unique<COrvantisDoc>();
        UseTestKey();
        EXPECT_TRUE(m_pane.Create(m_host.Window(), 11));
        EXPECT_TRUE(m_pane.m_gifWindow.Create(&m_pane, 12));
        m_pane.m_gifWindow.ShowWindow(SW_HIDE);
        ::SetWindowPos(m_pane, nullptr, 0, 0, 240, 160, SWP_NOZORDER | SWP_NOACTIVATE);
        ::SetWindowPos(m_pane.m_gifWindow, nullptr, 0, 0, 240, 160, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ~PicturePrivacyTest() override { m_pane.StopThreads(); }

    // Shows a still picture in the pane and in a viewer, each until decoded.
    void ShowStill(const CString& path)
    {
        m_pane.ClearImage();
        m_pane.ShowFile(path);
        ASSERT_TRUE(PumpUntil([&] { return m_pane.GetPictureSize() == CSize(64, 48) && !m_pane.IsRunning(); },
                              kDeadlineMs));
        CFullImgView* viewer = CFullImgView::Open(m_doc.get(), path);
        ASSERT_NE(viewer, nullptr);
        m_doc->m_pImageViewer = viewer;
        ASSERT_TRUE(PumpUntil([&] { return viewer->m_preview.GetPictureSize() == CSize(64, 48); }, kDeadlineMs));
        ::SendMessageW(*viewer, WM_COMMAND, IDCANCEL, 0);
        EXPECT_EQ(m_doc->m_pImageViewer, nullptr);
    }

    // Plays an animation in the pane and in a viewer, each until a frame was painted.
    void ShowAnimation(const CString& path)
    {
        m_pane.ShowFile(path);
        ASSERT_TRUE(PumpUntil([&] { return m_pane.m_gifWindow.HasFrame(); }, kDeadlineMs));
        CFullImgView* viewer = CFullImgView::Open(m_doc.get(), path);
        ASSERT_NE(viewer, nullptr);
        m_doc->m_pImageViewer = viewer;
        ASSERT_TRUE(PumpUntil([&] { return viewer->m_preview.m_gifWindow.HasFrame(); }, kDeadlineMs));
        PumpFor(150);  // a few frames go by
        ::SendMessageW(*viewer, WM_COMMAND, IDCANCEL, 0);
        m_pane.StopThreads();
    }

    CWinApp m_app;
    std::unique_ptr<COrvantisDoc> m_doc;
    PictureHost m_host;
    CPreviewWnd m_pane;
};

TEST_F(PicturePrivacyTest, EncryptedPicturesLeaveNoPlainBytesOnDiskAndPlainOnesStayUnchanged)
{
    long long start = (long long)std::time(nullptr) - 2;
    const std::string marker = MakeMarker();
    const std::string jpeg = JpegWithComment(ReadFixture("photo.jpg"), marker);
    const std::string gif = GifWithComment(ReadFixture("blink.gif"), marker);
    ASSERT_EQ(jpeg.substr(jpeg.size() - 2), std::string("\xFF\xD9", 2));
    // 32 bytes of the compressed picture just before the end-of-image marker.
    const std::string jpegTail = jpeg.substr(jpeg.size() - 34, 32);

    // The plain pictures live beside the test program, outside every folder searched.
    qvtest::TempFolder plainFolder(ProgramFolder());
    qvtest::TempFolder encryptedFolder;
    CString encryptedJpeg = EncryptAs(encryptedFolder, jpeg, L"Holiday.JPG", plainFolder.Path());
    CString encryptedGif = EncryptAs(encryptedFolder, gif, L"wave.gif", plainFolder.Path());
    CString plainJpeg = plainFolder.WriteFile(L"plain.jpg", jpeg);
    CString plainGif = plainFolder.WriteFile(L"plain.gif", gif);

    ShowStill(encryptedJpeg);
    ShowAnimation(encryptedGif);
    ShowStill(plainJpeg);
    ShowAnimation(plainGif);
    EXPECT_EQ(qvtest::ReadFileBytes(plainJpeg), jpeg) << "a plain picture is never modified";
    EXPECT_EQ(qvtest::ReadFileBytes(plainGif), gif);
    ::DeleteFileW(plainJpeg);
    ::DeleteFileW(plainGif);

    const char* prefix = std::getenv("WINEPREFIX");
    ASSERT_NE(prefix, nullptr) << "the tests run in a Wine prefix of their own";
    const char* unixTemp = std::getenv("TMPDIR");
    std::vector<std::string> roots = {prefix, unixTemp && *unixTemp ? unixTemp : "/tmp"};
    std::vector<std::string> found = FilesHolding(roots, {marker, Utf16(marker), jpegTail}, start);
    EXPECT_TRUE(found.empty()) << found.size() << " file(s) hold plain picture bytes, the first: "
                               << (found.empty() ? std::string() : found[0]);
}

TEST_F(PicturePrivacyTest, EncryptedPicturesLeaveNoPlainBytesInFreedMemory)
{
    const std::string marker = MakeMarker();
    const std::string jpeg = JpegWithComment(ReadFixture("photo.jpg"), marker);
    const std::string gif = GifWithComment(ReadFixture("blink.gif"), marker);
    qvtest::TempFolder plainFolder(ProgramFolder());
    qvtest::TempFolder encryptedFolder;
    CString encryptedJpeg = EncryptAs(encryptedFolder, jpeg, L"Holiday.JPG", plainFolder.Path());
    CString encryptedGif = EncryptAs(encryptedFolder, gif, L"wave.gif", plainFolder.Path());

    CFreedBlockScanner scan(marker);
    ShowStill(encryptedJpeg);
    ShowAnimation(encryptedGif);
    scan.Stop();
    EXPECT_GT(scan.BlocksScanned(), 0u);
    EXPECT_EQ(scan.Hits(), 0u) << scan.Report();
}

}  // namespace
