#include "tests/QvTest.h"

#include "framework/windows/CScrollBar.h"

// A child scroll bar keeps the range, page and position it is given and
// goes with its parent.
TEST(CScrollBarTest, KeepsItsRangePageAndPosition)
{
    const WCHAR* cls = CWnd::RegisterWndClass(0);
    CWnd parent;
    ASSERT_TRUE(parent.CreateEx(0, cls, L"bar host", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr, nullptr));
    CScrollBar bar;
    RECT r = {180, 0, 196, 150};
    ASSERT_TRUE(bar.Create(WS_CHILD | WS_VISIBLE | SBS_VERT, r, &parent, 7));
    EXPECT_EQ(::GetDlgItem(parent.m_hWnd, 7), bar.m_hWnd);
    SCROLLINFO info = {};
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = 99;
    info.nPage = 10;
    info.nPos = 42;
    bar.SetScrollInfo(info);
    SCROLLINFO read = {};
    ASSERT_TRUE(bar.GetScrollInfo(read));
    EXPECT_EQ(read.nMax, 99);
    EXPECT_EQ(read.nPage, 10u);
    EXPECT_EQ(read.nPos, 42);
    info.nPos = 1000;
    bar.SetScrollInfo(info);
    bar.GetScrollInfo(read, SIF_POS);
    EXPECT_EQ(read.nPos, 90) << "the position stops where the last page begins";
    EXPECT_EQ(bar.GetTrackPos(), 90) << "no drag: the track position is the position";
    HWND handle = bar.m_hWnd;
    parent.DestroyWindow();
    EXPECT_FALSE(::IsWindow(handle)) << "the bar went with its parent";
}
