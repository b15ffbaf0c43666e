// CPreviewAniGifWnd: plays an animated GIF, plain or encrypted, inside the
// preview window whose child it is. Its render thread decrypts an encrypted
// file into memory (never onto the disk), builds the animation with the
// image readers, then renders frame after frame, repaints and waits each
// frame's delay (hundredths of a second; 0 counts as 5) until it is stopped.
//
// Threads: PlayGif is called by the preview window's decode thread, StopGif
// and destruction by the UI thread, never at the same time (the preview
// window starts its decode thread only when none runs, and stops it before
// the render thread). The render thread hands each frame to the painting
// under m_frameLock; the UI thread paints under the same lock. Stop ends the
// render thread on its own: the cipher's abort flag, the readers' progress
// callback and the wait between frames all answer the stop request.
#pragma once

#include "crypt/FileCipher.h"
#include "framework/base/CString.h"
#include "framework/base/Thread.h"
#include "framework/windows/CWnd.h"
#include "framework/windows/Geometry.h"
#include "viewers/WipedPicture.h"

#include <atomic>
#include <mutex>

class CPreviewAniGifWnd : public CWnd, public CThread {
public:
    CPreviewAniGifWnd();
    ~CPreviewAniGifWnd() override;

    // A child of `parent` with an empty rectangle (WS_CHILD, WS_VISIBLE,
    // WS_CLIPCHILDREN); the creator hides it until a GIF plays.
    BOOL Create(CWnd* parent, UINT id);

    // Stops an animation that plays (waiting for its thread), shows the
    // window and plays `path`.
    void PlayGif(const CString& path);
    // Asks a playing animation to stop (without waiting) and hides the window.
    void StopGif();
    // Stops the render thread and waits for it before the window goes.
    BOOL DestroyWindow() override;

    bool Start() override;
    bool Stop() override;
    void Run() override;

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnPaint() override;
    void OnDestroy() override;

    // 1: the animation is scaled to the window even when smaller (the
    // pane); 0: drawn 1:1 unless it does not fit (the image viewer).
    int m_bFitToWindow = 1;

    // Whether a rendered frame is ready to paint, and the canvas size.
    bool HasFrame();
    CSize GetFrameSize();

private:
    // Stops the render thread and waits in 100 ms steps until it has ended.
    void StopAndWait();
    // Opens the animation of m_strPath; null when it cannot be had or the
    // thread was asked to stop.
    struct CPicAnimatedGIFState* OpenAnimation(CFileCipher& cipher, int& width, int& height);
    // New frame buffers for a canvas of width x height; false without memory.
    bool ReplaceBuffers(int width, int height);
    // Copies the red, green and blue of the rendered RGBA frame for painting.
    void PublishFrame();
    void DropFrame();
    // Waits `milliseconds`, or less when a stop is asked for.
    void WaitOrStop(DWORD milliseconds);
    // The readers' progress callback of the render thread: false once a stop was asked for.
    static BOOL ContinueUnlessStopped(uint32_t done, uint32_t total, void* self);

    CString m_strPath;  // written before the render thread starts, read by it

    // Guarded by m_frameLock: written by the render thread, painted by the UI thread.
    std::mutex m_frameLock;
    int m_bFrameReady = 0;
    int m_nWidth = 0;
    int m_nHeight = 0;
    CWipedBuffer m_rgb;

    CWipedBuffer m_rgba;      // the renderer's output; the render thread's own
    AbortFlag m_abort{0};    // the cipher's abort flag, set by Stop
    HANDLE m_hStopEvent;     // set by Stop: ends the wait between frames
};
