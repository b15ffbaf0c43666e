#include "viewers/PreviewAniGifWnd.h"

#include "crypt/EncryptedFileName.h"
#include "framework/windows/CDC.h"
#include "framework/windows/MemDC2.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicGifAnimation.h"
#include "imaging/readers/PicSources.h"
#include "viewers/PreviewPainting.h"

namespace {

// Hundredths of a second a frame of delay 0 is shown.
const int32_t kZeroDelayStandIn = 5;

// The decoded frames and canvases of an animation hold the plain picture:
// overwritten before the readers free them.
void WipeAnimation(CPicAnimatedGIFState* state)
{
    for (CPicGIFFrame& frame : state->frameList.frames) {
        if (!frame.pixels)
            continue;
        if (void* pixels = ::GlobalLock(frame.pixels)) {
            WipeBytes(pixels, ::GlobalSize(frame.pixels));
            ::GlobalUnlock(frame.pixels);
        }
    }
    state->canvas.Fill(0);
    state->savedCanvas.Fill(0);
}

}  // namespace

CPreviewAniGifWnd::CPreviewAniGifWnd() : m_hStopEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CPreviewAniGifWnd::~CPreviewAniGifWnd()
{
    StopAndWait();
    if (IsWindow())
        DestroyWindow();
    if (m_hStopEvent)
        ::CloseHandle(m_hStopEvent);
}

BOOL CPreviewAniGifWnd::Create(CWnd* parent, UINT id)
{
    const WCHAR* windowClass = RegisterWndClass(0, ::LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW));
    return CreateEx(0, windowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, CRect(0, 0, 0, 0), parent, id);
}

void CPreviewAniGifWnd::PlayGif(const CString& path)
{
    StopAndWait();
    m_strPath = path;
    ShowWindow(SW_SHOW);
    Start();
}

void CPreviewAniGifWnd::StopGif()
{
    if (IsRunning())
        Stop();
    if (IsWindow())
        ShowWindow(SW_HIDE);
}

BOOL CPreviewAniGifWnd::DestroyWindow()
{
    StopAndWait();
    return CWnd::DestroyWindow();
}

void CPreviewAniGifWnd::StopAndWait()
{
    if (!IsRunning())
        return;
    Stop();
    while (IsRunning())
        WaitForExit(100);
}

bool CPreviewAniGifWnd::Start()
{
    if (IsRunning())
        StopAndWait();
    m_abort = 0;
    ::ResetEvent(m_hStopEvent);
    return CThread::Start();
}

bool CPreviewAniGifWnd::Stop()
{
    m_abort = 1;
    ::SetEvent(m_hStopEvent);
    return CThread::Stop();
}

BOOL CPreviewAniGifWnd::ContinueUnlessStopped(uint32_t, uint32_t, void* self)
{
    return static_cast<CPreviewAniGifWnd*>(self)->m_bStop ? FALSE : TRUE;
}

CPicAnimatedGIFState* CPreviewAniGifWnd::OpenAnimation(CFileCipher& cipher, int& width, int& height)
{
    CPicIO* source = nullptr;
    if (IsEncryptedFilePath(m_strPath)) {
        CString plainName;
        if (cipher.DecryptFileToMemory(m_strPath, plainName) != CRYPT_OK || cipher.GetMemorySize() == 0)
            return nullptr;
        source = pic_OpenMemorySource(cipher.GetMemoryData(), cipher.GetMemorySize());
    } else {
        source = pic_OpenFileSourceW(m_strPath);
    }
    if (!source)
        return nullptr;
    int32_t canvasWidth = 0, canvasHeight = 0;
    CPicAnimatedGIFState* state = pic_InitRenderAnimatedGIF(source, &canvasWidth, &canvasHeight, nullptr);
    pic_CloseSource(source);
    // Every frame is decoded now: the decrypted file is no longer needed.
    cipher.ReleaseMemory();
    if (state && (m_bStop || canvasWidth <= 0 || canvasHeight <= 0)) {
        WipeAnimation(state);
        pic_FreeAnimatedGIF(state);
        return nullptr;
    }
    width = canvasWidth;
    height = canvasHeight;
    return state;
}

bool CPreviewAniGifWnd::ReplaceBuffers(int width, int height)
{
    size_t pixels = (size_t)width * height;
    if (!m_rgba.Reset(pixels * 4))
        return false;
    std::lock_guard<std::mutex> lock(m_frameLock);
    m_bFrameReady = 0;
    if (!m_rgb.Reset(pixels * 3))
        return false;
    m_nWidth = width;
    m_nHeight = height;
    m_bFrameReady = 1;
    return true;
}

void CPreviewAniGifWnd::PublishFrame()
{
    std::lock_guard<std::mutex> lock(m_frameLock);
    const uint8_t* in = m_rgba.Data();
    uint8_t* out = m_rgb.Data();
    for (size_t i = 0, n = (size_t)m_nWidth * m_nHeight; i < n; ++i, in += 4, out += 3) {
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
    }
}

void CPreviewAniGifWnd::DropFrame()
{
    {
        std::lock_guard<std::mutex> lock(m_frameLock);
        m_bFrameReady = 0;
        m_rgb.Release();
    }
    m_rgba.Release();
}

void CPreviewAniGifWnd::WaitOrStop(DWORD milliseconds)
{
    DWORD start = ::GetTickCount();
    for (;;) {
        DWORD elapsed = ::GetTickCount() - start;
        if (m_bStop || elapsed >= milliseconds)
            return;
        DWORD result = ::MsgWaitForMultipleObjects(1, &m_hStopEvent, FALSE, milliseconds - elapsed, QS_ALLINPUT);
        if (result != WAIT_OBJECT_0 + 1)
            return;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

void CPreviewAniGifWnd::Run()
{
    {
        std::lock_guard<std::mutex> lock(m_frameLock);
        m_bFrameReady = 0;
    }
    SetProgressCallback(ContinueUnlessStopped, this);
    CFileCipher cipher(&m_abort);
    int width = 0, height = 0;
    CPicAnimatedGIFState* state = OpenAnimation(cipher, width, height);
    if (!state)
        return;
    if (ReplaceBuffers(width, height)) {
        while (!m_bStop) {
            int32_t delay = 0;
            pic_AnimatedGIFGetNextFrame(state, m_rgba.Data(), &delay, 0);  // a finished animation replays
            PublishFrame();
            if (delay == 0)
                delay = kZeroDelayStandIn;
            if (!::IsWindow(m_hWnd)) {
                m_bStop = 1;
                break;
            }
            ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
            WaitOrStop((DWORD)delay * 10);
        }
    }
    DropFrame();
    WipeAnimation(state);
    pic_FreeAnimatedGIF(state);
}

bool CPreviewAniGifWnd::HasFrame()
{
    std::lock_guard<std::mutex> lock(m_frameLock);
    return m_bFrameReady && m_rgb.Data();
}

CSize CPreviewAniGifWnd::GetFrameSize()
{
    std::lock_guard<std::mutex> lock(m_frameLock);
    return CSize(m_nWidth, m_nHeight);
}

BOOL CPreviewAniGifWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_ERASEBKGND) {
        *result = 1;
        return TRUE;
    }
    return CWnd::OnWndMsg(message, wParam, lParam, result);
}

void CPreviewAniGifWnd::OnPaint()
{
    CPaintDC paint(m_hWnd);
    CRect client;
    GetClientRect(&client);
    CMemDC2 dc(&paint, client);
    std::lock_guard<std::mutex> lock(m_frameLock);
    bool ready = m_bFrameReady && m_rgb.Data();
    PaintPreviewPicture(dc, client, ready ? m_rgb.Data() : nullptr, m_nWidth, m_nHeight, m_bFitToWindow != 0);
}

void CPreviewAniGifWnd::OnDestroy()
{
    StopAndWait();
    CWnd::OnDestroy();
}
