// The placement record of the three viewer windows: each writes its window
// rectangle with show command 1 and flags 0 under its own section when it
// closes; the editor applies it when it opens, the video window applies it
// but stays hidden, and the image viewer does not read it. Also the record's
// own rules: six fields or nothing, the normal-position form.
#include "tests/viewers/EditorTestSupport.h"

#include "framework/windows/CWinApp.h"
#include "viewers/FullImgView.h"
#include "viewers/VideoView.h"
#include "viewers/WindowPlacement.h"

#include <functional>

using namespace editortest;

namespace {

const WCHAR kValue[] = L"WindowPlacement";

struct ViewerWindow {
    const char* name;
    const WCHAR* section;
    std::function<CWnd*()> open;
    bool restoredOnOpen;
    bool visibleOnOpen;
};

CWnd* OpenEditor() { return OpenMemoryText("placed text", L"placed.txt"); }

CWnd* OpenImageViewer()
{
    auto* viewer = new CFullImgView(nullptr);
    viewer->m_strPath = L"C:\\no such picture.png";
    if (viewer->CreateModeless(nullptr))
        return viewer;
    if (!viewer->IsWindow())
        delete viewer;
    return nullptr;
}

CWnd* OpenVideoWindow()
{
    auto* video = new CVideoView(nullptr);
    if (video->CreateHidden(nullptr))
        return video;
    if (!video->IsWindow())
        delete video;
    return nullptr;
}

RECT WindowRectOf(HWND window)
{
    RECT r;
    ::GetWindowRect(window, &r);
    return r;
}

CString Record(const RECT& r, int show, int flags)
{
    CString text;
    text.Format(L"%d,%d,%d,%d,%d,%d", (int)r.left, (int)r.top, (int)r.right, (int)r.bottom, show, flags);
    return text;
}

TEST(WindowPlacement, EachViewerWritesItsRectangleOnCloseAndReadsItAsItsOwnRuleSays)
{
    EditorApp app;
    const ViewerWindow windows[] = {
        {"secure text editor", L"EditorSize", OpenEditor, true, true},
        {"secure image viewer", L"ImageViewSize", OpenImageViewer, false, true},
        {"video window", L"VideoViewSize", OpenVideoWindow, true, false},
    };
    const RECT stored = {70, 60, 570, 420};
    const RECT moved = {90, 100, 610, 480};
    for (const ViewerWindow& w : windows) {
        SCOPED_TRACE(w.name);
        ASSERT_TRUE(app.App().WriteProfileString(w.section, kValue, Record(stored, 1, 0)));
        CWnd* window = w.open();
        ASSERT_NE(window, nullptr);
        HWND handle = *window;
        RECT opened = WindowRectOf(handle);
        EXPECT_EQ(::EqualRect(&opened, &stored) != 0, w.restoredOnOpen);
        EXPECT_EQ(::IsWindowVisible(handle) != 0, w.visibleOnOpen);

        ::SetWindowPos(handle, nullptr, moved.left, moved.top, moved.right - moved.left, moved.bottom - moved.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        ::SendMessageW(handle, WM_COMMAND, IDCANCEL, 0);
        PumpUntil([&] { return !::IsWindow(handle); });
        ASSERT_FALSE(::IsWindow(handle));
        EXPECT_EQ(app.App().GetProfileString(w.section, kValue, L""), Record(moved, 1, 0));
    }
}

struct RecordCase {
    const char* name;
    const WCHAR* stored;
    bool applied;
};

TEST(WindowPlacement, OnlyACompleteRecordIsApplied)
{
    EditorApp app;
    const RecordCase cases[] = {
        {"nothing stored", L"", false},
        {"five fields", L"10,20,310,220,1", false},
        {"not numbers", L"left,top,right,bottom,1,0", false},
        {"six fields", L"10,20,310,220,1,0", true},
        {"negative coordinates", L"-5,-6,295,194,1,0", true},
    };
    CWnd host;
    ASSERT_TRUE(host.CreateEx(0, L"STATIC", L"", WS_POPUP, 200, 200, 100, 100, nullptr, nullptr));
    for (const RecordCase& c : cases) {
        SCOPED_TRACE(c.name);
        ::SetWindowPos(host, nullptr, 200, 200, 100, 100, SWP_NOZORDER | SWP_NOACTIVATE);
        app.App().WriteProfileString(L"PlacementRecordTest", kValue, c.stored);
        EXPECT_EQ(RestoreWindowPlacement(host, L"PlacementRecordTest", TRUE) != 0, c.applied);
        RECT r = WindowRectOf(host);
        if (c.applied)
            EXPECT_EQ(Record(r, 1, 0), CString(c.stored));
        else
            EXPECT_EQ(r.left, 200);
    }
    host.DestroyWindow();
}

TEST(WindowPlacement, WithoutTheWindowRectangleTheNormalPlacementIsWritten)
{
    EditorApp app;
    CWnd host;
    ASSERT_TRUE(host.CreateEx(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr));
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    ::GetWindowPlacement(host, &placement);
    placement.rcNormalPosition = {11, 22, 133, 144};
    placement.showCmd = SW_SHOWMINIMIZED;
    ::SetWindowPlacement(host, &placement);
    ::GetWindowPlacement(host, &placement);
    ASSERT_TRUE(SaveWindowPlacement(host, L"PlacementRecordTest", FALSE));
    EXPECT_EQ(app.App().GetProfileString(L"PlacementRecordTest", kValue, L""),
              Record({11, 22, 133, 144}, SW_SHOWMINIMIZED, (int)placement.flags));
    host.DestroyWindow();
}

}  // namespace
