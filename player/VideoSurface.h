// The child window in which the player draws its pictures: made on the
// caller's UI thread inside the caller's window, transparent to the mouse
// (clicks reach the parent), hidden until the player shows it. The presenter
// thread hands it pictures (Present); the window draws the latest one on
// WM_PAINT under the picture lock, scaled to keep its shape, with black bars.
// Present never sends a message: it posts one that asks for a repaint.
//
// The window shows once it has a picture, so a partial copy that opened
// before its first picture was decoded leaves the caller's window as it was.
//
// Threads: Create, Destroy, Place and Show on the window's thread; Present,
// PictureSize and SetPictureAspect on any thread.
#pragma once

#include "player/FrameQueue.h"
#include "player/Sync.h"

#include <windows.h>

#include <atomic>
#include <memory>

class VideoSurface {
public:
    static bool RegisterWindowClass(HINSTANCE instance);
    static void UnregisterWindowClass(HINSTANCE instance);

    VideoSurface() = default;
    ~VideoSurface() { Destroy(); }
    VideoSurface(const VideoSurface&) = delete;
    VideoSurface& operator=(const VideoSurface&) = delete;

    // A hidden child filling the parent's client area; false without a parent.
    bool Create(HWND parent, HINSTANCE instance);
    void Destroy();
    HWND Window() const { return m_window; }
    void Place(const RECT& area);
    // Shown with a picture: at once when there is one, else with the first.
    void Show(bool show);

    // The picture's shape, width over height, as it should be seen.
    void SetPictureAspect(double aspect) { m_aspect = aspect; }
    // The picture's size inside the current area; 0 x 0 without a window.
    void PictureSize(int& width, int& height) const;
    // Makes `frame` the picture shown and gives back the one it replaces.
    std::unique_ptr<VideoFrame> Present(std::unique_ptr<VideoFrame> frame);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Paint(HDC dc);

    HWND m_window = nullptr;
    std::atomic<int> m_areaWidth{0}, m_areaHeight{0};
    std::atomic<double> m_aspect{4.0 / 3.0};
    std::atomic<bool> m_repaintPosted{false};
    bool m_showWanted = false;  // window thread only
    CriticalSection m_pictureLock;
    std::unique_ptr<VideoFrame> m_picture;  // guarded by m_pictureLock
};

// The largest rectangle of the given shape centred in an area.
RECT FitPicture(int areaWidth, int areaHeight, double aspect);
