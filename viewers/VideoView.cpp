#include "viewers/VideoView.h"

#include "crypt/FileOps.h"
#include "framework/windows/CDC.h"
#include "framework/windows/CWaitCursor.h"
#include "framework/windows/MemDC2.h"
#include "res/resource.h"
#include "viewers/VideoPlayerDll.h"
#include "viewers/VideoViewOwner.h"
#include "viewers/WindowPlacement.h"

namespace {

const WCHAR kPlacementSection[] = L"VideoViewSize";
const WCHAR kTitle[] = L"Secure Video Viewer";
const WCHAR kPreBuffering[] = L"Pre-Buffering...";
const WCHAR kPaused[] = L"PAUSED";

const COLORREF kBackground = RGB(16, 16, 16);
const COLORREF kBarColour = RGB(32, 32, 32);
const COLORREF kTrackWaiting = RGB(255, 255, 197);
const COLORREF kStripe = RGB(130, 130, 130);
const COLORREF kTrackColour = RGB(191, 191, 191);
const COLORREF kPlayedColour = RGB(115, 184, 224);
const COLORREF kVolumeColour = RGB(192, 192, 192);
const COLORREF kWhite = RGB(255, 255, 255);

const int kStripePhases = 20;  // 0 to 19
const int kStripeStep = 20;
const int kStripeWidth = 10;

bool FileExists(const CString& path) { return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

// The system's menu font at 11 pixels.
HFONT MakeBarFont()
{
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    LOGFONTW font = metrics.lfMenuFont;
    font.lfHeight = -11;
    return ::CreateFontIndirectW(&font);
}

// A triangle of four columns 1, 3, 5 and 7 pixels high, centred on `y`,
// from `x` growing in `direction` (+1 right, -1 left).
void PaintTriangle(CDC& dc, int x, int y, int direction)
{
    for (int column = 0; column < 4; ++column) {
        int half = column;
        CRect line(x + direction * column, y - half, x + direction * column + 1, y + half + 1);
        dc.FillSolidRect(line, kVolumeColour);
    }
}

}  // namespace

CVideoView::CVideoView(CWnd* parent) : CDialogEx(IDD_VIDEO_VIEW, parent) {}

CVideoView::~CVideoView() = default;

BOOL CVideoView::CreateHidden(CWnd* parent)
{
    if (!Create(IDD_VIDEO_VIEW, parent))
        return FALSE;
    ShowWindow(SW_HIDE);
    return TRUE;
}

BOOL CVideoView::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    // Where it stood last time, still hidden.
    RestoreWindowPlacement(m_hWnd, kPlacementSection, FALSE, SW_HIDE);
    m_bButtonDown = 0;
    return TRUE;
}

CString CVideoView::FormatPlayTime(int64_t milliseconds)
{
    int64_t seconds = milliseconds / 1000;
    int hours = (int)(seconds / 3600);
    int minutes = (int)(seconds / 60 - 60 * (int64_t)hours);
    int rest = (int)(seconds % 60);
    CString text;
    if (hours > 0)
        text.Format(L"%02d:%02d:%02d", hours, minutes, rest);
    else
        text.Format(L"%02d:%02d", minutes, rest);
    return text;
}

bool CVideoView::CanOpenExclusively(const CString& path)
{
    HANDLE file = ::CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(file);
    return true;
}

void CVideoView::StartPlayback(const CString& path, int playNow, int tempCopy, int isWmv)
{
    EnterNested();
    m_nStripePhase = 0;
    m_bButtonDown = 0;
    m_bFirstAttemptMade = 0;
    m_bPaused = 0;
    m_bRemoving = 0;
    m_strPreviousPath = m_strPath;
    m_bPreviousTempCopy = m_bTempCopy;
    m_strPath = path;
    m_bTempCopy = tempCopy;
    m_bIsWmv = isWmv;
    m_strStatus.Empty();

    if (m_pPlayer)
        m_pPlayer->ClosePlayer();
    KillTimer(TIMER_STRIPES);
    m_bDecrypting = 1;
    RemoveCopyAndWait(m_strPreviousPath, m_bPreviousTempCopy);
    // The window may have gone while it waited.
    if (!m_bDeletePending) {
        if (m_bTempCopy) {
            m_strStatus = kPreBuffering;
            Invalidate();
        }
        if (m_bIsWmv) {
            ::SetWindowPos(m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            ShowWindow(SW_SHOW);
            m_strStatus = L"No Quick Start with WMV file type. Waiting for Full Decryption...";
            Invalidate();
        }
        SetWindowText(kTitle);
        if (playNow) {
            m_bDecrypting = 0;
            SetTimer(TIMER_FIRST_OPEN, 200);
        } else if (!m_bIsWmv) {
            SetTimer(TIMER_FIRST_OPEN, 1000);
        }
    }
    LeaveNested();
}

void CVideoView::OpenAttempt()
{
    ShowWindow(SW_SHOW);
    ::SetWindowPos(m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    CRect area;
    GetClientRect(&area);
    area.bottom -= kBarHeight;
    m_pPlayer->OpenVideo(m_strPath, m_hWnd, area);
}

void CVideoView::OpenAfterDecryption()
{
    m_bDecrypting = 0;
    bool playerOpen = m_pPlayer && VideoPlayerDll::IsPlayerOpen();
    // The attempts still to come take the finished copy.
    if ((playerOpen || !m_bFirstAttemptMade) && !m_bIsWmv)
        return;
    KillTimer(TIMER_SECOND_OPEN);
    KillTimer(TIMER_THIRD_OPEN);
    if (m_pPlayer)
        OpenAttempt();
}

void CVideoView::OnTimer(UINT_PTR id)
{
    switch (id) {
    case TIMER_FIRST_OPEN:
        KillTimer(id);
        m_bFirstAttemptMade = 1;
        if (m_pPlayer) {
            OpenAttempt();
            if (!VideoPlayerDll::IsPlayerOpen()) {
                SetTimer(TIMER_SECOND_OPEN, 1000);
                m_strStatus = L"Pre-Buffering 2...";
                Invalidate();
            }
            SetTimer(TIMER_STRIPES, 100);
        }
        break;
    case TIMER_SECOND_OPEN:
        KillTimer(id);
        if (m_pPlayer && !VideoPlayerDll::IsPlayerOpen()) {
            OpenAttempt();
            if (!VideoPlayerDll::IsPlayerOpen()) {
                SetTimer(TIMER_THIRD_OPEN, 1000);
                m_strStatus = L"Pre-Buffering 3...";
                Invalidate();
            }
            SetTimer(TIMER_STRIPES, 100);
        }
        break;
    case TIMER_THIRD_OPEN:
        KillTimer(id);
        // The last attempt; OpenAfterDecryption may still try once more.
        if (m_pPlayer && !VideoPlayerDll::IsPlayerOpen()) {
            OpenAttempt();
            SetTimer(TIMER_STRIPES, 100);
        }
        break;
    case TIMER_STRIPES:
        m_nStripePhase = (m_nStripePhase + 1) % kStripePhases;
        ::InvalidateRect(m_hWnd, &m_rcBar, FALSE);
        break;
    case TIMER_REMOVE:
        EnterNested();
        RemoveCopyNow();
        if (LeaveNested())
            return;
        break;
    default:
        break;
    }
    CDialogEx::OnTimer(id);
}

// Timer 10: the copy goes once nothing holds it any more.
void CVideoView::RemoveCopyNow()
{
    if (m_strRemovePath.IsEmpty() || !FileExists(m_strRemovePath)) {
        m_strStatus.Empty();
        m_bRemoving = 0;
        KillTimer(TIMER_REMOVE);
        return;
    }
    if (!CanOpenExclusively(m_strRemovePath))
        return;  // the next tick tries again
    KillTimer(TIMER_REMOVE);
    m_strStatus = L"Removing Traces...";
    m_bRemoving = 1;
    RedrawNow();
    {
        CWaitCursor wait;
        if (m_nQuickClean)
            CFileOps::SecureDeleteFileQuick(m_strRemovePath);
        else
            CFileOps::SecureDeleteFile(m_strRemovePath);
    }
    // A copy the wipe could not delete is not forgotten.
    if (FileExists(m_strRemovePath))
        DeferToOwner(m_strRemovePath);
    m_strRemovePath.Empty();
    m_bRemoving = 0;
    m_strStatus.Empty();
}

void CVideoView::RemoveCopyAndWait(const CString& path, int temporary)
{
    if (path.IsEmpty() || !FileExists(path) || !temporary)
        return;
    // A removal asked for while one is awaited (a message dispatched by the
    // wait) is not nested: the owner takes that copy.
    if (m_bWaiting) {
        DeferToOwner(path);
        return;
    }
    EnterNested();
    KillTimer(TIMER_SECOND_OPEN);
    KillTimer(TIMER_FIRST_OPEN);
    KillTimer(TIMER_THIRD_OPEN);
    m_strStatus = L"Waiting for Decryption thread to finish";
    m_bRemoving = 1;
    RedrawNow();
    m_strRemovePath = path;
    SetTimer(TIMER_REMOVE, 200);
    WaitWhileRemoving();
    m_strStatus.Empty();
    LeaveNested();
}

void CVideoView::WaitWhileRemoving()
{
    m_bWaiting = true;
    const ULONGLONG deadline = ::GetTickCount64() + kRemovalWaitMs;
    bool quit = false;
    while (m_bRemoving && !m_bCloseRequested && !m_bDeletePending && !quit && ::GetTickCount64() < deadline) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        quit = !PumpPending();
    }
    m_bWaiting = false;
    if (!m_bRemoving)
        return;
    // Still held (or the wait was cut short): the owner wipes it once free.
    if (m_hWnd)
        KillTimer(TIMER_REMOVE);
    m_bRemoving = 0;
    DeferToOwner(m_strRemovePath);
    m_strRemovePath.Empty();
}

bool CVideoView::PumpPending()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage((int)msg.wParam);
            return false;
        }
        if (m_hWnd && PreTranslateMessage(&msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return true;
}

bool CVideoView::LeaveNested()
{
    if (--m_nNestDepth > 0)
        return false;
    if (m_bDeletePending) {
        delete this;
        return true;
    }
    if (m_bCloseRequested && m_hWnd) {
        m_bCloseRequested = false;
        PostMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    return false;
}

void CVideoView::DeferToOwner(const CString& path)
{
    if (path.IsEmpty())
        return;
    // The owner has it now: the window does not wait for it again.
    if (path.CompareNoCase(m_strPreviousPath) == 0)
        m_bPreviousTempCopy = 0;
    if (path.CompareNoCase(m_strPath) == 0)
        m_bTempCopy = 0;
    if (m_pOwner)
        m_pOwner->DeferCopyRemoval(path);
}

void CVideoView::OnCancel()
{
    if (m_bClosing)
        return;
    if (m_nNestDepth > 0) {
        // Inside a wait: the wait ends, and the close runs after it.
        m_bCloseRequested = true;
        return;
    }
    m_bClosing = 1;
    EnterNested();
    SaveWindowPlacement(m_hWnd, kPlacementSection, TRUE);
    if (m_pPlayer)
        m_pPlayer->ClosePlayer();
    if (m_pOwner)
        m_pOwner->OnVideoViewClosing(this);
    RemoveCopyAndWait(m_strPreviousPath, m_bPreviousTempCopy);
    RemoveCopyAndWait(m_strPath, m_bTempCopy);
    if (!m_bDeletePending)
        DestroyWindow();
    LeaveNested();
}

void CVideoView::CloseForExit()
{
    if (m_nNestDepth == 0) {
        m_bCloseRequested = false;
        OnCancel();
        return;
    }
    // The program ends while one of the window's waits runs: the player
    // closes, the copies go to the owner, and the window goes; the wait
    // sees that and the object is deleted when it returns.
    m_bClosing = 1;
    if (m_pPlayer)
        m_pPlayer->ClosePlayer();
    if (m_pOwner)
        m_pOwner->OnVideoViewClosing(this);
    if (m_bPreviousTempCopy && FileExists(m_strPreviousPath))
        DeferToOwner(m_strPreviousPath);
    if (m_bTempCopy && FileExists(m_strPath))
        DeferToOwner(m_strPath);
    DestroyWindow();
}

void CVideoView::PostNcDestroy()
{
    CDialogEx::PostNcDestroy();
    if (m_pOwner) {
        m_pOwner->OnVideoViewDestroyed(this);
        m_pOwner = nullptr;
    }
    if (m_nNestDepth > 0)
        m_bDeletePending = true;
    else
        delete this;
}

void CVideoView::OnSize(UINT type, int cx, int cy)
{
    CDialogEx::OnSize(type, cx, cy);
    if (!m_pPlayer)
        return;
    CRect client;
    GetClientRect(&client);
    m_pPlayer->SetRect(0, 0, 0, cx, client.bottom - kBarHeight);
    m_pPlayer->SetRect(1, 0, 0, cx, client.bottom - kBarHeight);
}

BOOL CVideoView::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    CPoint point((short)LOWORD(lParam), (short)HIWORD(lParam));
    switch (message) {
    case WM_ERASEBKGND:
        *result = 1;
        return TRUE;
    case WM_LBUTTONDOWN:
        OnLButtonDown(point);
        break;
    case WM_MOUSEMOVE:
        OnMouseMove(point);
        break;
    case WM_LBUTTONUP:
        OnLButtonUp();
        break;
    default:
        break;
    }
    return CDialogEx::OnWndMsg(message, wParam, lParam, result);
}

void CVideoView::OnLButtonDown(CPoint point)
{
    m_bButtonDown = 1;
    m_bSeeking = 0;
    m_ptDrag = point;
    if (m_pPlayer) {
        if (!m_bDecrypting && m_rcBar.PtInRect(point)) {
            if (point.x < m_rcTrack.right + 5) {
                m_bSeeking = 1;
                SeekToPoint(point.x);
            }
            if (m_rcVolumeDown.PtInRect(point))
                StepVolume(-kVolumeStep);
            if (m_rcVolumeUp.PtInRect(point))
                StepVolume(kVolumeStep);
            RedrawTrack();
        } else {
            m_bPaused = !m_bPaused;
            if (m_bPaused) {
                m_pPlayer->Pause();
            } else {
                m_pPlayer->Play();
                CRect client;
                GetClientRect(&client);
                m_pPlayer->SetRect(0, 0, 0, client.Width(), client.Height() - kBarHeight);
                m_pPlayer->SetRect(1, 0, 0, client.Width(), client.Height() - kBarHeight);
            }
        }
    }
    ::SetCapture(m_hWnd);
}

void CVideoView::OnMouseMove(CPoint point)
{
    if (!m_bButtonDown || !m_pPlayer || !m_bSeeking || m_bDecrypting)
        return;
    m_ptDrag = point;
    // Beyond the track's ends the position is passed on as computed; the
    // player keeps it within the media.
    SeekToPoint(point.x);
    RedrawTrack();
}

void CVideoView::OnLButtonUp()
{
    ::ReleaseCapture();
    m_bSeeking = 0;
    m_bButtonDown = 0;
}

void CVideoView::SeekToPoint(int x)
{
    int width = m_rcTrack.Width();
    double fraction = width > 0 ? (double)(x - m_rcTrack.left) / width : 0.0;
    int64_t length = 1;
    m_pPlayer->GetParam(VideoPlayerDll::PARAM_LENGTH, &length);
    int64_t target = (int64_t)((double)length * fraction);
    m_pPlayer->Seek((uint32_t)((uint64_t)target & 0xFFFFFFFFu), (uint32_t)((uint64_t)target >> 32), 0);
}

void CVideoView::StepVolume(int step)
{
    int volume = 100;
    m_pPlayer->GetParam(VideoPlayerDll::PARAM_VOLUME, &volume);
    volume += step;
    if (volume < kMinVolume)
        volume = kMinVolume;
    if (volume > kMaxVolume)
        volume = kMaxVolume;
    m_pPlayer->SetParam(VideoPlayerDll::PARAM_VOLUME, &volume);
}

void CVideoView::RedrawNow() { ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); }

void CVideoView::RedrawTrack()
{
    ::RedrawWindow(m_hWnd, &m_rcTrack, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CVideoView::OnPaint()
{
    CPaintDC paint(m_hWnd);
    CRect client;
    GetClientRect(&client);
    CMemDC2 dc(&paint, client);
    PaintWindow(dc, client);
}

void CVideoView::PaintWindow(CDC& dc, const CRect& client)
{
    dc.FillSolidRect(client, kBackground);
    HFONT font = MakeBarFont();
    HGDIOBJ oldFont = dc.SelectObject(font);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(kWhite);
    if (!m_strStatus.IsEmpty()) {
        CRect area = client;
        dc.DrawText(m_strStatus, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    CRect bar(client.left, client.bottom - kBarHeight, client.right, client.bottom);
    dc.FillSolidRect(bar, kBarColour);
    m_rcBar = bar;
    m_rcBar.DeflateRect(10, 10);

    if (m_pPlayer) {
        int64_t length = 1;
        int64_t position = 0;
        m_pPlayer->GetParam(VideoPlayerDll::PARAM_LENGTH, &length);
        m_pPlayer->GetParam(VideoPlayerDll::PARAM_POSITION, &position);
        if (length == 0)
            length = 1;
        PaintTrack(dc, length, position);

        dc.SetTextColor(kWhite);
        CRect playedArea(m_rcBar.left, m_rcBar.top, m_rcTrack.left - 2, m_rcBar.bottom);
        dc.DrawText(FormatPlayTime(position), &playedArea, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        CRect lengthArea(m_rcTrack.right + 2, m_rcBar.top, m_rcBar.right - 50, m_rcBar.bottom);
        dc.DrawText(FormatPlayTime(length), &lengthArea, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        PaintVolume(dc);

        // Blinks: shown 100 ms of every 500.
        if (m_bPaused && m_nStripePhase % 5 == 0) {
            dc.SetTextColor(kBackground);
            CRect label = m_rcTrack;
            ::OffsetRect(&label, 0, -2);
            dc.DrawText(kPaused, &label, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        }
    }
    dc.SelectObject(oldFont);
    ::DeleteObject(font);
}

void CVideoView::PaintTrack(CDC& dc, int64_t length, int64_t position)
{
    double fraction = (double)position / (double)length;
    if (fraction > 1.0)
        fraction = 1.0;
    m_rcTrack = m_rcBar;
    m_rcTrack.DeflateRect(50, 4);
    m_rcTrack.right -= 50;

    if (m_bDecrypting || m_bRemoving) {
        dc.FillSolidRect(m_rcTrack, kTrackWaiting);
        int width = m_rcTrack.Width();
        for (int i = 0; i <= width / kStripeStep + 1; ++i) {
            int x0 = m_rcTrack.left + kStripeStep * i + m_nStripePhase - kStripeStep;
            CRect stripe(x0, m_rcTrack.top, x0 + kStripeWidth, m_rcTrack.bottom);
            CRect visible;
            if (::IntersectRect(&visible, &stripe, &m_rcTrack))
                dc.FillSolidRect(visible, kStripe);
        }
        dc.SetTextColor(kBackground);
        CRect label = m_rcTrack;
        ::OffsetRect(&label, 0, -2);
        if (m_bPaused && m_nStripePhase % 5 == 0)
            dc.DrawText(kPaused, &label, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        else if (m_bDecrypting)
            dc.DrawText(kPreBuffering, &label, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    } else {
        dc.FillSolidRect(m_rcTrack, kTrackColour);
    }

    if (!m_bDecrypting) {
        int x = (int)(m_rcTrack.left + m_rcTrack.Width() * fraction);
        if (m_bSeeking && m_bButtonDown)
            x = m_ptDrag.x;
        if (x < m_rcTrack.left)
            x = m_rcTrack.left;
        if (x > m_rcTrack.right)
            x = m_rcTrack.right;
        dc.FillSolidRect(CRect(m_rcTrack.left, m_rcTrack.top, x, m_rcTrack.bottom), kPlayedColour);
    }
}

void CVideoView::PaintVolume(CDC& dc)
{
    CRect area(m_rcBar.right - 50, m_rcTrack.top, m_rcBar.right, m_rcTrack.bottom);
    m_rcVolumeDown = CRect(area.left, area.top, area.left + 10, area.bottom);
    m_rcVolumeUp = CRect(area.right - 10, area.top, area.right, area.bottom);
    // The down button's point is its left end, the up button's its right end.
    PaintTriangle(dc, m_rcVolumeDown.left + 2, m_rcVolumeDown.top + 5, +1);
    PaintTriangle(dc, m_rcVolumeUp.left + 6, m_rcVolumeUp.top + 5, -1);
    int volume = 100;
    m_pPlayer->GetParam(VideoPlayerDll::PARAM_VOLUME, &volume);
    CString text;
    text.Format(L"%d%%", volume);
    CRect label(m_rcVolumeDown.right, area.top, m_rcVolumeUp.left, area.bottom);
    ::OffsetRect(&label, 0, -2);
    dc.SetTextColor(kWhite);
    dc.DrawText(text, &label, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}
