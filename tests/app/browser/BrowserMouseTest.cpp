// The thumbnail browser's mouse on a real window: the scrollbar (a press on
// the track jumps, the thumb follows a drag, the hand cursor and the thumb's
// colours meanwhile) and presses on the grid (within 4 pixels a click,
// farther a drag that keeps the pressed item current and springs back when
// let go past either end). Expected offsets come from a model of the
// browser's geometry written from its design.
#include "tests/app/browser/BrowserTestSupport.h"

#include <algorithm>
#include <set>

using namespace browsertest;

namespace {

const COLORREF TRACK_SCROLLING = RGB(230, 237, 250);
const COLORREF TRACK_FITS = RGB(112, 117, 130);
const COLORREF THUMB_NORMAL = RGB(162, 167, 180);
const COLORREF THUMB_DRAGGED = RGB(42, 130, 216);
const COLORREF THUMB_HOVER = RGB(49, 152, 255);
const int kThumbPixels = 120;

// The grid of `count` items in the browser's client area.
struct GridModel {
    int W = 0, H = 0, columns = 1, cellWidth = 0, cellHeight = 0, rows = 0, lowest = 0;

    GridModel() = default;
    GridModel(CMultipleSelectorBrowser& browser, int count)
    {
        CRect client;
        browser.GetClientRect(&client);
        W = client.Width();
        H = client.Height();
        columns = std::clamp((W - 10) / kThumbPixels, 1, 8);
        cellWidth = (W - 10) / columns;
        cellHeight = (int)(cellWidth * 0.75);
        rows = (count - 1) / columns + 1;
        lowest = H - rows * cellHeight;
    }
    int ThumbLength() const { return std::max(20, H + lowest); }
    // The offset for a pointer at y on the track (the thumb's centre there).
    int OffsetForTrack(int y) const
    {
        int t = ThumbLength(), free = H - t;
        int offset = -(int)(-lowest * ((double)(y - t / 2) / free));
        return std::clamp(offset, lowest, 0);
    }
    // The thumb's hit rectangle at an offset.
    CRect ThumbHit(int offset) const
    {
        int t = ThumbLength();
        int p = (int)(((double)-offset / -lowest) * (H - t));
        return CRect(W - 10, std::max(p + 1, 0), W, std::min(H, p + t));
    }
};

// Offsets of the spring-back from `offset` until it is back in range.
std::vector<int> SpringBack(int offset, int lowest)
{
    std::vector<int> steps{offset};
    while (offset > 0 || (offset < 0 && offset < lowest)) {
        if (offset > 0) {
            offset = (int)(offset / 1.4);
            if (offset >= 1 && offset <= 4)
                offset = 0;
        } else {
            int target = lowest > 0 ? 0 : lowest;
            offset = target - offset > 4 ? (int)(offset + (target - offset) / 5.0) : target;
        }
        steps.push_back(offset);
    }
    return steps;
}

CString FillFolder(qvtest::TempFolder& folder, int count)
{
    for (int i = 0; i < count; ++i) {
        CString name;
        name.Format(L"f%02d.png", i);
        folder.WriteFile(name, FixtureBytes("solid.png"));
    }
    return folder.Path();
}

void Move(CWnd& window, int x, int y, bool pressed)
{
    window.SendMessage(WM_MOUSEMOVE, pressed ? MK_LBUTTON : 0, MAKELPARAM(x, y));
}

void Press(CWnd& window, int x, int y) { window.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
void Release(CWnd& window, int x, int y) { window.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }

// Whether the browser shows the hand cursor for the pointer over it now.
bool ShowsHand(CMultipleSelectorBrowser& browser)
{
    ::SetCursor(::LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW));
    browser.SendMessage(WM_SETCURSOR, (WPARAM)browser.m_hWnd, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return ::GetCursor() == ::LoadCursorW(nullptr, (LPCWSTR)IDC_HAND);
}

// The colour painted in the middle of the thumb.
COLORREF ThumbColour(CMultipleSelectorBrowser& browser)
{
    browser.UpdateWindow();
    CRect hit = browser.m_rcThumb;
    return ClientPicture(browser.m_hWnd).At(hit.left + 5, (hit.top + hit.bottom) / 2);
}

// The offsets seen while the grid springs back, until it rests at `rest`.
std::vector<int> WatchSpringBack(CMultipleSelectorBrowser& browser, int rest)
{
    std::vector<int> seen{browser.m_nScroll};
    WaitUntil([&] {
        if (browser.m_nScroll != seen.back())
            seen.push_back(browser.m_nScroll);
        return browser.m_nScroll == rest;
    });
    return seen;
}

bool IsSubsequence(const std::vector<int>& part, const std::vector<int>& whole)
{
    size_t at = 0;
    for (int value : part) {
        while (at < whole.size() && whole[at] != value)
            ++at;
        if (at == whole.size())
            return false;
    }
    return true;
}

}  // namespace

// A browser in a 420x320 window listing `pictures` files after its ".." cell.
class BrowserMouse : public ::testing::Test {
protected:
    void Open(int pictures)
    {
        host.Open(browser, FillFolder(folder, pictures), kThumbPixels);
        m = GridModel(browser, pictures + 1);
    }

    qvtest::TempFolder folder;
    BrowserHost host{420, 320};
    CMultipleSelectorBrowser browser;
    GridModel m;
};

TEST_F(BrowserMouse, TrackPressJumpsAndTheThumbFollowsItsDrag)
{
    Open(90);
    ASSERT_EQ(browser.m_nMinScroll, m.lowest);
    ASSERT_LT(m.lowest, 0);
    ASSERT_LT(m.ThumbLength(), m.H / 2);
    EXPECT_EQ(browser.m_rcTrack, CRect(m.W - 10, 0, m.W, m.H));
    EXPECT_EQ(browser.m_rcThumb, m.ThumbHit(0));
    EXPECT_TRUE(Near(ClientPicture(browser.m_hWnd).At(m.W - 10, m.H - 3), TRACK_SCROLLING, 0));
    EXPECT_TRUE(Near(ThumbColour(browser), THUMB_NORMAL, 0));

    // The pointer over the track: no hot cell, the hover colour; leaving ends it.
    Move(browser, m.W - 5, m.H - 20, false);
    EXPECT_EQ(browser.m_bScrollHover, 1);
    EXPECT_EQ(browser.m_nHot, -1);
    EXPECT_TRUE(Near(ThumbColour(browser), THUMB_HOVER, 0));
    browser.SendMessage(WM_MOUSELEAVE);
    EXPECT_EQ(browser.m_bScrollHover, 0);

    // A press on the track below the thumb puts the thumb's centre there.
    const int jumpY = m.H * 3 / 4;
    Press(browser, m.W - 5, jumpY);
    EXPECT_EQ(browser.m_nScroll, m.OffsetForTrack(jumpY));
    EXPECT_EQ(browser.m_bThumbDrag, 1);
    EXPECT_TRUE(ShowsHand(browser));
    EXPECT_TRUE(Near(ThumbColour(browser), THUMB_DRAGGED, 0));
    EXPECT_EQ(browser.m_rcThumb, m.ThumbHit(m.OffsetForTrack(jumpY)));
    Move(browser, m.W - 5, jumpY - 30, true);
    EXPECT_EQ(browser.m_nScroll, m.OffsetForTrack(jumpY - 30));
    Release(browser, m.W - 5, jumpY - 30);
    EXPECT_EQ(browser.m_bThumbDrag, 0);
    EXPECT_EQ(browser.m_bScrollHover, 0);
    EXPECT_FALSE(ShowsHand(browser));
    EXPECT_TRUE(Near(ThumbColour(browser), THUMB_NORMAL, 0));

    // A press on the thumb itself does not move it; a drag carries it by
    // the pointer's movement, and the offset stops at either end.
    const int before = browser.m_nScroll;
    const CRect hit = browser.m_rcThumb;
    const int grabY = (hit.top + hit.bottom) / 2 + 1;
    const int grabOffset = hit.Height() / 2 + hit.top - grabY;
    Press(browser, m.W - 5, grabY);
    EXPECT_EQ(browser.m_nScroll, before);
    Move(browser, m.W - 5, grabY + 40, true);
    EXPECT_EQ(browser.m_nScroll, m.OffsetForTrack(grabY + 40 + grabOffset));
    Move(browser, m.W - 5, m.H + 200, true);
    EXPECT_EQ(browser.m_nScroll, m.lowest);
    Move(browser, m.W - 5, -200, true);
    EXPECT_EQ(browser.m_nScroll, 0);
    Move(browser, m.W - 5, grabY + 25, true);
    const int dropped = browser.m_nScroll;
    EXPECT_EQ(dropped, m.OffsetForTrack(grabY + 25 + grabOffset));
    Release(browser, m.W - 5, grabY + 25);

    // Scrollbar presses select nothing and tell the view nothing; the offset
    // stays where the thumb was let go.
    EXPECT_TRUE(host.heard.empty());
    EXPECT_TRUE(WaitUntil([&] { return ::GetUpdateRect(browser.m_hWnd, nullptr, FALSE) == FALSE; }));
    EXPECT_EQ(browser.m_nScroll, dropped);
}

TEST_F(BrowserMouse, WithEverythingShownTheScrollbarHasNoThumbAndPressesGoToTheGrid)
{
    Open(2);
    ASSERT_GE(browser.m_nMinScroll, 0);
    EXPECT_TRUE(browser.m_rcThumb.IsRectEmpty());
    EXPECT_TRUE(Near(ClientPicture(browser.m_hWnd).At(m.W - 5, m.H / 2), TRACK_FITS, 0));

    // On the scrollbar's strip the press lands on the last column's cell.
    Press(browser, m.W - 5, m.cellHeight / 2);
    EXPECT_EQ(browser.m_bThumbDrag, 0);
    EXPECT_EQ(browser.m_nCurrent, m.columns - 1);
    Move(browser, m.W - 5, m.cellHeight / 2 + 60, true);
    Release(browser, m.W - 5, m.cellHeight / 2 + 60);
    ASSERT_EQ(host.heard.size(), 1u);
    EXPECT_EQ(host.heard[0].message, UWM_LIST_SELCHANGED);
    // The drag pulled the grid down; it springs back to the top.
    EXPECT_TRUE(WaitUntil([&] { return browser.m_nScroll == 0; }));
    browser.OnMouseWheel(0, -WHEEL_DELTA, POINT{});
    EXPECT_EQ(browser.m_nScroll, 0);
}

TEST_F(BrowserMouse, PressesWithinFourPixelsClickAndFartherOnesDragTheGrid)
{
    Open(90);
    ASSERT_EQ(browser.m_nMinScroll, m.lowest);
    const int item = m.columns + 1;  // second row, second column
    const CString itemPath = browser.GetItemPath(item);
    const POINT at = CentreOf(CellRect(browser, item));

    // Up to 4 pixels up or down, or any sideways movement, is still a click.
    Press(browser, at.x, at.y);
    Move(browser, at.x + 40, at.y + 4, true);
    Move(browser, at.x - 40, at.y - 4, true);
    EXPECT_EQ(browser.m_nScroll, 0);
    EXPECT_EQ(browser.m_bMoved, 0);
    EXPECT_FALSE(ShowsHand(browser));
    Release(browser, at.x - 40, at.y - 4);
    ASSERT_EQ(host.heard.size(), 1u);
    EXPECT_EQ(host.heard[0].message, UWM_LIST_SELCHANGED);
    EXPECT_EQ(host.heard[0].currentPath, itemPath);
    EXPECT_EQ(browser.m_nCurrent, item);

    // Farther, the grid follows the pointer from where it was pressed; the
    // pressed item stays current and the view hears of it once, at the release.
    Press(browser, at.x, at.y);
    Move(browser, at.x, at.y - 5, true);
    EXPECT_EQ(browser.m_nScroll, -5);
    Move(browser, at.x, at.y - 45, true);
    EXPECT_EQ(browser.m_nScroll, -45);
    EXPECT_EQ(browser.m_bMoved, 1);
    EXPECT_EQ(browser.m_nPressed, -1);
    EXPECT_FALSE(ShowsHand(browser));
    EXPECT_EQ(host.heard.size(), 1u);
    Release(browser, at.x, at.y - 45);
    ASSERT_EQ(host.heard.size(), 2u);
    EXPECT_EQ(host.heard[1].message, UWM_LIST_SELCHANGED);
    EXPECT_EQ(host.heard[1].currentPath, itemPath);
    EXPECT_EQ(browser.m_nCurrent, item);
    EXPECT_EQ(browser.m_bMoved, 0);

    // Let go past the top, the grid springs back to 0 in the steps of its design.
    Press(browser, at.x, at.y);
    Move(browser, at.x, at.y + 100, true);
    EXPECT_EQ(browser.m_nScroll, 55);
    Release(browser, at.x, at.y + 100);
    std::vector<int> seen = WatchSpringBack(browser, 0);
    EXPECT_TRUE(IsSubsequence(seen, SpringBack(55, m.lowest))) << ::testing::PrintToString(seen);

    // Past the end, back to the last row's offset.
    const int pastEnd = m.lowest - 150;
    Press(browser, at.x, at.y);
    Move(browser, at.x, at.y + pastEnd, true);
    EXPECT_EQ(browser.m_nScroll, pastEnd);
    Release(browser, at.x, at.y + pastEnd);
    seen = WatchSpringBack(browser, m.lowest);
    EXPECT_TRUE(IsSubsequence(seen, SpringBack(pastEnd, m.lowest))) << ::testing::PrintToString(seen);
    EXPECT_EQ(browser.m_nScroll, m.lowest);
    EXPECT_EQ(host.heard.size(), 4u);
}
