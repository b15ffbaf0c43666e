#include "player/VideoSurface.h"

#include <cmath>

namespace {
const WCHAR kClassName[] = L"TarvioVideoSurface";
const UINT kRepaintMessage = WM_APP + 0x51;
}  // namespace

RECT FitPicture(int areaWidth, int areaHeight, double aspect)
{
    RECT fit = {0, 0, 0, 0};
    if (areaWidth <= 0 || areaHeight <= 0 || !(aspect > 0))
        return fit;
    int width = areaWidth, height = (int)std::lround(areaWidth / aspect);
    if (height > areaHeight) {
        height = areaHeight;
        width = (int)std::lround(areaHeight * aspect);
    }
    width = width < 1 ? 1 : width;
    height = height < 1 ? 1 : height;
    fit.left = (areaWidth - width) / 2;
    fit.top = (areaHeight - height) / 2;
    fit.right = fit.left + width;
    fit.bottom = fit.top + height;
    return fit;
}

bool VideoSurface::RegisterWindowClass(HINSTANCE instance)
{
    WNDCLASSW windowClass = {};
    if (GetClassInfoW(instance, kClassName, &windowClass))
        return true;
    windowClass.lpfnWndProc = &VideoSurface::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW);
    windowClass.lpszClassName = kClassName;
    return RegisterClassW(&windowClass) != 0;
}

void VideoSurface::UnregisterWindowClass(HINSTANCE instance)
{
    UnregisterClassW(kClassName, instance);
}

bool VideoSurface::Create(HWND parent, HINSTANCE instance)
{
    if (!parent || !RegisterWindowClass(instance))
        return false;
    RECT area = {};
    GetClientRect(parent, &area);
    m_window = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, area.right, area.bottom,
                               parent, nullptr, instance, this);
    if (!m_window)
        return false;
    m_areaWidth = area.right;
    m_areaHeight = area.bottom;
    return true;
}

void VideoSurface::Destroy()
{
    if (!m_window)
        return;
    SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
    if (GetWindowThreadProcessId(m_window, nullptr) == GetCurrentThreadId())
        DestroyWindow(m_window);
    else
        PostMessageW(m_window, WM_CLOSE, 0, 0);
    m_window = nullptr;
    SectionLock guard(m_pictureLock);
    m_picture.reset();
}

void VideoSurface::Place(const RECT& area)
{
    int width = area.right > area.left ? area.right - area.left : 0;
    int height = area.bottom > area.top ? area.bottom - area.top : 0;
    m_areaWidth = width;
    m_areaHeight = height;
    if (m_window)
        MoveWindow(m_window, area.left, area.top, width, height, TRUE);
}

void VideoSurface::Show(bool show)
{
    m_showWanted = show;
    if (!m_window)
        return;
    bool pictured;
    {
        SectionLock guard(m_pictureLock);
        pictured = m_picture != nullptr;
    }
    if (!show || pictured)
        ShowWindow(m_window, show ? SW_SHOWNA : SW_HIDE);
}

void VideoSurface::PictureSize(int& width, int& height) const
{
    width = height = 0;
    if (!m_window)
        return;
    RECT fit = FitPicture(m_areaWidth, m_areaHeight, m_aspect);
    width = fit.right - fit.left;
    height = fit.bottom - fit.top;
}

std::unique_ptr<VideoFrame> VideoSurface::Present(std::unique_ptr<VideoFrame> frame)
{
    {
        SectionLock guard(m_pictureLock);
        m_picture.swap(frame);
    }
    HWND window = m_window;
    if (window && !m_repaintPosted.exchange(true))
        PostMessageW(window, kRepaintMessage, 0, 0);
    return frame;
}

void VideoSurface::Paint(HDC dc)
{
    RECT client = {};
    GetClientRect(m_window, &client);
    HBRUSH black = (HBRUSH)GetStockObject(BLACK_BRUSH);
    SectionLock guard(m_pictureLock);
    if (!m_picture || m_picture->width <= 0 || m_picture->pixels.empty()) {
        FillRect(dc, &client, black);
        return;
    }
    RECT fit = FitPicture(client.right, client.bottom, m_aspect);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = m_picture->width;
    info.bmiHeader.biHeight = -m_picture->height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    bool sameSize = fit.right - fit.left == m_picture->width && fit.bottom - fit.top == m_picture->height;
    SetStretchBltMode(dc, sameSize ? COLORONCOLOR : HALFTONE);
    StretchDIBits(dc, fit.left, fit.top, fit.right - fit.left, fit.bottom - fit.top, 0, 0, m_picture->width,
                  m_picture->height, m_picture->pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    RECT bars[4] = {{0, 0, client.right, fit.top},
                    {0, fit.bottom, client.right, client.bottom},
                    {0, fit.top, fit.left, fit.bottom},
                    {fit.right, fit.top, client.right, fit.bottom}};
    for (const RECT& bar : bars)
        if (bar.right > bar.left && bar.bottom > bar.top)
            FillRect(dc, &bar, black);
}

LRESULT CALLBACK VideoSurface::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        CREATESTRUCTW* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, (LONG_PTR)create->lpCreateParams);
    }
    VideoSurface* surface = reinterpret_cast<VideoSurface*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    case WM_ERASEBKGND:
        return 1;
    case kRepaintMessage:
        if (surface) {
            surface->m_repaintPosted = false;
            if (surface->m_showWanted && !IsWindowVisible(window))
                ShowWindow(window, SW_SHOWNA);
        }
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        if (surface)
            surface->Paint(dc);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_PRINTCLIENT:
        if (surface)
            surface->Paint((HDC)wParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
