// CMultipleSelectorBrowser: mouse, wheel, keyboard, type-ahead search and
// the spring-back of a grid pulled past either end.
#include "app/MultipleSelectorBrowser.h"

#include "app/BrowserPictures.h"
#include "app/ListMessages.h"

#include <windowsx.h>

#include <algorithm>

namespace {

POINT PointOf(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

}  // namespace

BOOL CMultipleSelectorBrowser::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    *result = 0;
    switch (message) {
    case WM_LBUTTONDOWN:
        OnLButtonDown(PointOf(lParam));
        return TRUE;
    case WM_LBUTTONUP:
        OnLButtonUp(PointOf(lParam));
        return TRUE;
    case WM_MOUSEMOVE:
        OnMouseMove(PointOf(lParam));
        return TRUE;
    case WM_SETCURSOR:
        if (!OnSetCursor())
            return FALSE;
        *result = TRUE;
        return TRUE;
    case WM_LBUTTONDBLCLK:
        OnLButtonDblClk(PointOf(lParam));
        return TRUE;
    case WM_RBUTTONDOWN:
        OnRButtonDown(PointOf(lParam));
        return TRUE;
    case WM_MOUSELEAVE:
        OnMouseLeave();
        return TRUE;
    case WM_MOUSEHWHEEL:
        *result = DefWindowProc(message, wParam, lParam);
        return TRUE;
    case WM_PRINTCLIENT:
        OnPrintClient((HDC)wParam);
        return TRUE;
    default:
        return CWnd::OnWndMsg(message, wParam, lParam, result);
    }
}

// Offsets above 0 go to 0; below the last row's offset to that offset (0
// when everything fits).
void CMultipleSelectorBrowser::ClampScroll()
{
    m_nScroll = std::min(std::max(m_nScroll, std::min(m_nMinScroll, 0)), 0);
}

bool CMultipleSelectorBrowser::IsScrollOutOfRange() const
{
    return m_nScroll > 0 || (m_nScroll < 0 && m_nScroll < m_nMinScroll);
}

bool CMultipleSelectorBrowser::OnSetCursor()
{
    // A press on the scrollbar shows the hand.
    if (m_bMouseDown && m_nPressed == -1 && !m_bMoved) {
        ::SetCursor(m_hHandCursor);
        return true;
    }
    return false;
}

void CMultipleSelectorBrowser::SetCursorRule()
{
    if (!OnSetCursor())
        ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
}

// The thumb's centre follows the pointer's y over the track.
void CMultipleSelectorBrowser::ApplyScrollbarPosition(int y)
{
    int track = m_rcTrack.Height();
    int thumb = std::max(20, track + m_nMinScroll);
    int freeLength = track - thumb;
    if (freeLength <= 0)
        return;
    m_nScroll = -(int)(-m_nMinScroll * ((double)(y - thumb / 2) / freeLength));
    if (m_nScroll > 0)
        m_nScroll = 0;
    else if (m_nScroll < m_nMinScroll)
        m_nScroll = m_nMinScroll;
}

void CMultipleSelectorBrowser::OnLButtonDown(POINT point)
{
    m_bThumbDrag = 0;
    m_nDragOffset = 0;
    SetFocus();
    if (m_Preview.IsValid()) {
        WipePicture(m_Preview);
        Invalidate();
        return;
    }
    if (!m_strSearch.IsEmpty() && m_rcEsc.PtInRect(point)) {
        m_strSearch.Empty();
        OnSearchChanged();
        return;
    }
    m_bMoved = 0;
    if (m_nMinScroll < 0 && m_rcTrack.PtInRect(point)) {
        m_bScrollHover = 1;
        m_bThumbDrag = 1;
        m_nPressed = -1;
        if (m_rcThumb.PtInRect(point))
            m_nDragOffset = m_rcThumb.Height() / 2 + m_rcThumb.top - point.y;
        else
            ApplyScrollbarPosition(point.y);
        SetCursorRule();
        Invalidate();
        ::SetCapture(m_hWnd);
        m_bMouseDown = 1;
        m_ptDown = m_ptLast = point;
        Default();
        return;
    }
    m_nPressed = HitTest(point.x, point.y);
    m_strCurrentPath = GetItemPath(m_nPressed);
    m_nHot = m_nCurrent = m_nPressed;
    m_bSearchSelected = 1;
    m_bMouseDown = 1;
    m_ptDown = m_ptLast = point;
    ::SetCapture(m_hWnd);
    Invalidate();
    Default();
}

void CMultipleSelectorBrowser::OnMouseMove(POINT point)
{
    if (m_Preview.IsValid()) {
        Default();
        return;
    }
    if (m_bMouseDown && m_bThumbDrag) {
        ApplyScrollbarPosition(point.y + m_nDragOffset);
        m_ptLast.y = point.y;
        m_nPressed = -1;
        Invalidate();
    } else if (m_bMouseDown) {
        if (m_bMoved || std::abs(point.y - m_ptDown.y) > 4) {
            bool wasOnCell = m_nPressed != -1;
            m_nScroll += point.y - m_ptLast.y;
            m_ptLast.y = point.y;
            m_nPressed = -1;
            m_bMoved = 1;
            if (wasOnCell)
                SetCursorRule();
            Invalidate();
        }
    } else {
        if (m_bMoved) {
            m_bMoved = 0;
            SetCursorRule();
        }
        int overScrollbar = 0;
        if (m_nMinScroll < 0 && m_rcTrack.PtInRect(point)) {
            overScrollbar = 1;
            m_nHot = -1;
            if (!m_bTrackingLeave) {
                TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, m_hWnd, 0};
                ::TrackMouseEvent(&track);
                m_bTrackingLeave = 1;
            }
        }
        if (overScrollbar != m_bScrollHover) {
            m_bScrollHover = overScrollbar;
            Invalidate();
        }
        if (!m_bScrollHover) {
            int hot = HitTest(point.x, point.y);
            if (hot != m_nHot) {
                m_nHot = hot;
                Invalidate();
            }
        }
    }
    Default();
}

void CMultipleSelectorBrowser::OnLButtonUp(POINT)
{
    m_bScrollHover = 0;
    m_bThumbDrag = 0;
    ::ReleaseCapture();
    int moved = m_bMoved;
    m_bMoved = 0;
    if (m_bMouseDown && m_nPressed == -1) {
        m_bMouseDown = 0;
        if (moved)
            GetParent()->SendMessage(UWM_LIST_SELCHANGED);
        SetCursorRule();
        Invalidate();
        return;
    }
    if (m_bMouseDown) {
        m_bMouseDown = 0;
        GetParent()->SendMessage(UWM_LIST_SELCHANGED);
    }
    m_bMouseDown = 0;
    Invalidate();
    Default();
}

void CMultipleSelectorBrowser::OnLButtonDblClk(POINT)
{
    if (m_nPressed == -1) {
        m_bMouseDown = 0;
        SetCursorRule();
        Invalidate();
        return;
    }
    OpenItem(m_nPressed);
    m_bMouseDown = 0;
    Default();
}

void CMultipleSelectorBrowser::OpenItem(int index)
{
    const BrowserItem* item = GetItem(index);
    if (!item)
        return;
    if (item->folder) {
        m_strSearch.Empty();
        CString path = item->path;  // the item goes with the listing
        NavigateTo(path);
        GetParent()->SendMessage(UWM_BROWSER_OPEN_FOLDER, 1);
    } else {
        GetParent()->SendMessage(UWM_OPEN_SECURE_VIEWER, VIEWER_IMAGE);
    }
}

void CMultipleSelectorBrowser::OnRButtonDown(POINT point)
{
    int index = HitTest(point.x, point.y);
    if (m_Preview.IsValid()) {
        WipePicture(m_Preview);
        Invalidate();
        return;
    }
    if (!GetItem(index))
        return;
    ShowPreview(index);
    Default();
}

void CMultipleSelectorBrowser::OnMouseLeave()
{
    m_bTrackingLeave = 0;
    m_bScrollHover = 0;
    Invalidate();
}

BOOL CMultipleSelectorBrowser::OnMouseWheel(UINT, short delta, POINT)
{
    if (!IsWindow())
        return FALSE;
    if (delta > 0)
        m_nScroll += m_nCellHeight;
    else if (delta < 0)
        m_nScroll -= m_nCellHeight;
    ClampScroll();
    Invalidate();
    return TRUE;
}

int CMultipleSelectorBrowser::RowStep() const
{
    CRect window;
    GetWindowRect(&window);
    return (int)std::max(2.0, ((window.Width() - SCROLLBAR_WIDTH) / std::max(m_nColumns, 1)) * 0.75);
}

void CMultipleSelectorBrowser::ScrollHome()
{
    m_nScroll = RowStep();
    if (IsScrollOutOfRange() && !m_bMouseDown)
        SetTimer(TIMER_SPRING_BACK, 15);
    Invalidate();
}

void CMultipleSelectorBrowser::ScrollEnd()
{
    m_nScroll = m_nMinScroll - RowStep();
    if (IsScrollOutOfRange() && !m_bMouseDown)
        SetTimer(TIMER_SPRING_BACK, 15);
    Invalidate();
}

void CMultipleSelectorBrowser::PageDown()
{
    CRect client;
    GetClientRect(&client);
    int h = RowStep();
    int page = std::max(1, client.Height() / h);
    m_nScroll = (m_nScroll / h) * h - page * h;
    ClampScroll();
    Invalidate();
}

void CMultipleSelectorBrowser::PageUp()
{
    CRect client;
    GetClientRect(&client);
    int h = RowStep();
    int page = std::max(1, client.Height() / h);
    m_nScroll = (m_nScroll / h + page) * h;
    ClampScroll();
    Invalidate();
}

void CMultipleSelectorBrowser::EditSearch(UINT key)
{
    if (m_bSearchSelected)
        m_strSearch.Empty();
    m_bSearchSelected = 0;
    if (key == VK_BACK) {
        if (!m_strSearch.IsEmpty())
            m_strSearch = m_strSearch.Left(m_strSearch.GetLength() - 1);
    } else if (key == VK_ESCAPE) {
        m_strSearch.Empty();
    } else if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) {
        if (m_strSearch.GetLength() <= 10)
            m_strSearch += (WCHAR)key;
    }
    OnSearchChanged();
    Invalidate();
}

BOOL CMultipleSelectorBrowser::PreTranslateMessage(MSG* msg)
{
    if (msg->message != WM_KEYDOWN || !IsWindowEnabled())
        return CWnd::PreTranslateMessage(msg);
    CRect window;
    GetWindowRect(&window);
    POINT cursor;
    if (!::GetCursorPos(&cursor) || !window.PtInRect(cursor))
        return CWnd::PreTranslateMessage(msg);
    UINT key = (UINT)msg->wParam;
    int row = RowStep();
    switch (key) {
    case VK_HOME:
        ScrollHome();
        break;
    case VK_END:
        ScrollEnd();
        break;
    case VK_NEXT:
        PageDown();
        break;
    case VK_PRIOR:
        PageUp();
        break;
    case VK_SHIFT:
        break;
    case VK_RETURN:
        // Enter opens the current item as a double-click on it would.
        OpenItem(m_nCurrent);
        break;
    case VK_DOWN:
    case VK_RIGHT:
    case VK_UP:
    case VK_LEFT:
        m_nScroll += (key == VK_DOWN || key == VK_RIGHT) ? -row : row;
        ClampScroll();
        Invalidate();
        break;
    default:
        if (!(::GetKeyState(VK_MENU) & 0x8000) && !(::GetKeyState(VK_CONTROL) & 0x8000))
            EditSearch(key);
        break;
    }
    // The key goes on: the browser never swallows one.
    return CWnd::PreTranslateMessage(msg);
}

void CMultipleSelectorBrowser::OnTimer(UINT_PTR id)
{
    KillTimer(id);
    if (id != TIMER_SPRING_BACK)
        return;
    if (m_nScroll < 0 && m_nScroll < m_nMinScroll) {
        int target = m_nMinScroll > 0 ? 0 : m_nMinScroll;
        if (target - m_nScroll > 4)
            m_nScroll = (int)(m_nScroll + (target - m_nScroll) / 5.0);
        else
            m_nScroll = target;
    } else if (m_nScroll > 0) {
        m_nScroll = (int)(m_nScroll / 1.4);
        if (m_nScroll >= 1 && m_nScroll <= 4)
            m_nScroll = 0;
    }
    Invalidate();
}
