// CVideoView: the modeless "Secure Video Viewer" window. A video or sound
// file plays in it through the player library (VideoPlayerDll); below the
// picture the window paints its own transport bar: the played time, a seek
// track, the length and two volume buttons. An encrypted file plays from a
// temporary decrypted copy, which may still be growing while the window
// retries opening it; when the video is replaced or the window closes, the
// copy is removed once the player and the decryption have let go of it, by
// a secure wipe or a quick one ("VideoCache"). A plain file is never removed.
//
// The owning view makes the window hidden on first use and reuses it; the
// window tells the view when it goes and deletes itself.
//
// UI thread only. The waits for a copy to come free dispatch messages (the
// window and its timers live on), are bounded, hand a copy still held to the
// owner, give a WM_QUIT back to the outer loop, and cannot be re-entered: a
// close that arrives during a wait ends the wait and closes afterwards.
#pragma once

#include "framework/base/CString.h"
#include "framework/windows/CDialogEx.h"
#include "framework/windows/Geometry.h"

#include <cstdint>

class CDC;
class CVideoViewOwner;
class VideoPlayerDll;

class CVideoView : public CDialogEx {
public:
    explicit CVideoView(CWnd* parent = nullptr);
    ~CVideoView() override;

    // Makes the window on its template, owned by `parent` or by nobody (the
    // desktop), and leaves it hidden. Nonzero on success.
    BOOL CreateHidden(CWnd* parent = nullptr);

    // Plays `path`. With `playNow` the file is complete and opens 200 ms
    // later; otherwise it is a copy still being decrypted, tried after
    // 1000 ms and twice more a second apart ("Pre-Buffering 2...", "3..."),
    // or, with `isWmv`, only once OpenAfterDecryption says it is complete.
    // `tempCopy`: the file is a temporary copy, removed when no longer
    // needed. The file played before is closed and its copy removed first.
    void StartPlayback(const CString& path, int playNow, int tempCopy, int isWmv);
    // The decryption writing the copy has ended.
    void OpenAfterDecryption();
    // Removes a temporary copy once it can be opened exclusively, waiting
    // for that at most kRemovalWaitMs; a copy still held then goes to the
    // owner. Nothing for an empty path, a missing file or a file that is not
    // a temporary copy.
    void RemoveCopyAndWait(const CString& path, int temporary);
    // No other handle is open on the file (it opens for reading with no sharing).
    static bool CanOpenExclusively(const CString& path);
    // The program ends: the window closes through its whole close path
    // (player closed, copies removed) before the player library goes.
    void CloseForExit();

    // "hh:mm:ss" with hours, else "mm:ss", of a time in milliseconds.
    static CString FormatPlayTime(int64_t milliseconds);

    BOOL OnInitDialog() override;
    void OnCancel() override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnTimer(UINT_PTR id) override;
    void OnPaint() override;
    void OnSize(UINT type, int cx, int cy) override;

    // Set by the owner before each start.
    CVideoViewOwner* m_pOwner = nullptr;
    VideoPlayerDll* m_pPlayer = nullptr;
    int m_nQuickClean = 0;  // "VideoCache": 0 secure wipe, otherwise quick clean

    // What the window shows and where its buttons are (after a paint).
    const CString& GetStatus() const { return m_strStatus; }
    const CString& GetPath() const { return m_strPath; }
    bool IsPaused() const { return m_bPaused != 0; }
    bool IsDecrypting() const { return m_bDecrypting != 0; }
    bool IsRemoving() const { return m_bRemoving != 0; }
    CRect GetBarRect() const { return m_rcBar; }
    CRect GetTrackRect() const { return m_rcTrack; }
    CRect GetVolumeDownRect() const { return m_rcVolumeDown; }
    CRect GetVolumeUpRect() const { return m_rcVolumeUp; }

    enum Timer : UINT_PTR {
        TIMER_FIRST_OPEN = 1,
        TIMER_STRIPES = 2,
        TIMER_SECOND_OPEN = 4,
        TIMER_THIRD_OPEN = 5,
        TIMER_REMOVE = 10,
    };
    static const int kBarHeight = 40;
    static const int kMinVolume = 25;
    static const int kMaxVolume = 200;
    static const int kVolumeStep = 25;
    // How long a copy is waited for before it is handed to the owner.
    static const DWORD kRemovalWaitMs = 10000;

protected:
    void PostNcDestroy() override;

private:
    void OpenAttempt();
    void OnLButtonDown(CPoint point);
    void OnMouseMove(CPoint point);
    void OnLButtonUp();
    void SeekToPoint(int x);
    void StepVolume(int step);
    void RemoveCopyNow();
    void RedrawNow();
    void RedrawTrack();
    // Dispatches what waits in the queue; false when WM_QUIT came (it is
    // posted again for the outer loop).
    bool PumpPending();
    // Runs the nested wait until the copy is gone, the bound passes, or the
    // window closes or the program quits; a copy left goes to the owner.
    void WaitWhileRemoving();
    // Entered by every entry point that may wait: the object is deleted only
    // when the outermost one leaves, and a close asked for during a wait runs
    // then. True when the object is gone.
    void EnterNested() { ++m_nNestDepth; }
    bool LeaveNested();
    void DeferToOwner(const CString& path);
    void PaintWindow(CDC& dc, const CRect& client);
    void PaintTrack(CDC& dc, int64_t length, int64_t position);
    void PaintVolume(CDC& dc);

    // Members, in the order of the design
    CString m_strPath;
    CString m_strPreviousPath;
    CString m_strStatus;
    CString m_strRemovePath;
    int m_bRemoving = 0;
    CRect m_rcBar;
    CRect m_rcTrack;
    CPoint m_ptDrag;
    int m_bDecrypting = 0;
    int m_nStripePhase = 0;
    int m_bButtonDown = 0;
    int m_bPaused = 0;
    int m_bSeeking = 0;
    int m_bTempCopy = 0;
    int m_bPreviousTempCopy = 0;
    int m_bFirstAttemptMade = 0;
    CRect m_rcVolumeDown;
    CRect m_rcVolumeUp;
    int m_bIsWmv = 0;
    int m_bClosing = 0;

    // Re-entry guard of the waits
    int m_nNestDepth = 0;
    bool m_bWaiting = false;
    bool m_bCloseRequested = false;  // a close came during a wait
    bool m_bDeletePending = false;   // the window went during a wait
};
