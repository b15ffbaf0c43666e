// CPreviewWnd: shows one image file, plain or encrypted, scaled into its
// client area. Requests only re-arm a 200 ms timer, so a quick run of them
// (the user moving through the list) starts one decode, of the latest path.
// The decode runs on the window's own thread: an encrypted file is decrypted
// into memory (no plain copy reaches the disk) and decoded from there, a
// plain one is read from its file; a GIF goes to the animated-GIF child.
//
// Threads: requests, the timer, painting and clearing run on the UI thread;
// the decode thread decodes into a picture of its own and swaps it into
// m_image under m_imageLock, under which the UI thread paints. The timer
// never starts a decode while one runs. Stop ends the decode on its own (the
// cipher's abort flag, the readers' progress callback, checks between the
// steps); termination after 3 s stays the last resort.
#pragma once

#include "crypt/FileCipher.h"
#include "framework/base/CString.h"
#include "framework/base/Thread.h"
#include "framework/windows/CWnd.h"
#include "framework/windows/Geometry.h"
#include "viewers/PreviewAniGifWnd.h"
#include "viewers/WipedPicture.h"

#include <atomic>
#include <mutex>

// The decode thread's completion notice to its own window (sent, answered 0).
const UINT UWM_PREVIEW_DECODED = 0x7FC;

class CPreviewWnd : public CWnd, public CThread {
public:
    CPreviewWnd() = default;
    ~CPreviewWnd() override;

    // A child of `parent` with an empty rectangle (WS_CHILD, WS_VISIBLE, WS_CLIPCHILDREN).
    BOOL Create(CWnd* parent, UINT id);

    // Shows `path` once requests pause for 200 ms.
    void ShowFile(const CString& path);
    // The same for an encrypted file shown as `shownName` (the decode reads
    // the plain name from the file itself).
    void ShowFileAs(const CString& path, const CString& shownName);
    // Frees the picture, unless a decode runs (true then, nothing changes).
    // It does not repaint.
    bool ClearImage();
    // Stops the decode thread, then the animated-GIF thread, waiting for each.
    void StopThreads();

    bool Start() override;
    bool Stop() override;
    void Run() override;

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnPaint() override;
    void OnTimer(UINT_PTR id) override;
    void OnDestroy() override;

    // 1: scaled to the client area even when smaller, and JPEG decoding gets
    // the client size as its hint (the pane); 0: 1:1 when it fits, full-size
    // decoding (the image viewer).
    int m_bFitToWindow = 1;
    // The animated-GIF child; its creator makes it a child of this window.
    CPreviewAniGifWnd m_gifWindow;

    // What the window shows: whether it is busy and the picture's size (0 x 0: none).
    bool IsBusy() const { return m_bBusy != 0; }
    CSize GetPictureSize();

protected:
    // The path the decode thread works on; written before it starts.
    CString m_strDecodePath;

    enum class DecodeOutcome { Picture, NoPicture, HandedToGif };

private:
    enum : UINT_PTR { kRequestTimer = 1 };
    static const UINT kRequestPauseMs = 200;

    void ArmRequestTimer();
    // Decrypts or reads m_strDecodePath into `picture` (24-bit when it worked).
    DecodeOutcome DecodeRequested(const CSize& client, CWipedPicture& picture);
    DecodeOutcome DecodeEncrypted(const CSize& client, CWipedPicture& picture);
    DecodeOutcome DecodePlain(const CSize& client, CWipedPicture& picture);
    DecodeOutcome HandToGifWindow();
    // `loaded` (when the load worked) as 24-bit RGB in `picture`.
    void KeepAs24Bit(int32_t loadResult, CWipedPicture& loaded, CWipedPicture& picture);
    // Swaps `picture` in as the one shown; the old one is wiped.
    void ShowPicture(CWipedPicture& picture);
    void FreePicture();
    void RedrawNow();
    static BOOL ContinueUnlessStopped(uint32_t done, uint32_t total, void* self);

    std::mutex m_imageLock;
    CWipedPicture m_image;  // guarded by m_imageLock; 24-bit RGB

    CString m_strWaitingPath;  // the request that waited while a decode ran
    std::atomic<int> m_bBusy{0};
    CString m_strRequestPath;  // the latest request
    AbortFlag m_abort{0};      // the cipher's abort flag, set by Stop
};
