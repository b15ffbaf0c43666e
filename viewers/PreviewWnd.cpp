#include "viewers/PreviewWnd.h"

#include "crypt/EncryptedFileName.h"
#include "framework/windows/CDC.h"
#include "framework/windows/MemDC2.h"
#include "imaging/core/PicThreadState.h"
#include "viewers/PreviewPainting.h"

namespace {

bool HasGifEnding(const CString& name)
{
    return name.GetLength() >= 4 && name.Right(4).MakeLower() == L".gif";
}

}  // namespace

CPreviewWnd::~CPreviewWnd()
{
    StopThreads();
    if (IsWindow())
        DestroyWindow();
}

BOOL CPreviewWnd::Create(CWnd* parent, UINT id)
{
    const WCHAR* windowClass = RegisterWndClass(0, ::LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW));
    return CreateEx(0, windowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, CRect(0, 0, 0, 0), parent, id);
}

void CPreviewWnd::ShowFile(const CString& path)
{
    m_strRequestPath = path;
    ArmRequestTimer();
}

void CPreviewWnd::ShowFileAs(const CString& path, const CString&)
{
    m_strRequestPath = path;
    ArmRequestTimer();
}

void CPreviewWnd::ArmRequestTimer()
{
    if (IsWindow())
        SetTimer(kRequestTimer, kRequestPauseMs);
}

bool CPreviewWnd::ClearImage()
{
    if (IsRunning())
        return true;
    FreePicture();
    return false;
}

void CPreviewWnd::StopThreads()
{
    if (IsRunning()) {
        Stop();
        while (IsRunning())
            WaitForExit(100);
    }
    if (m_gifWindow.IsRunning()) {
        m_gifWindow.Stop();
        while (m_gifWindow.IsRunning())
            m_gifWindow.WaitForExit(100);
    }
}

bool CPreviewWnd::Start()
{
    if (IsRunning())
        StopThreads();
    m_abort = 0;
    return CThread::Start();
}

bool CPreviewWnd::Stop()
{
    m_abort = 1;
    return CThread::Stop();
}

void CPreviewWnd::OnTimer(UINT_PTR id)
{
    KillTimer(id);
    if (IsRunning()) {
        // Taken up when the running decode has ended.
        m_strWaitingPath = m_strRequestPath;
        SetTimer(kRequestTimer, kRequestPauseMs);
        m_bBusy = 1;
        RedrawNow();
    } else {
        KillTimer(kRequestTimer);
        m_strWaitingPath.Empty();
        m_strDecodePath = m_strRequestPath;
        if (m_gifWindow.IsWindow())
            m_gifWindow.StopGif();
        Start();
    }
    CWnd::OnTimer(id);
}

BOOL CPreviewWnd::ContinueUnlessStopped(uint32_t, uint32_t, void* self)
{
    return static_cast<CPreviewWnd*>(self)->m_bStop ? FALSE : TRUE;
}

void CPreviewWnd::Run()
{
    SetProgressCallback(ContinueUnlessStopped, this);
    CRect client;
    GetClientRect(&client);
    m_bBusy = 1;
    RedrawNow();
    CWipedPicture picture;
    DecodeOutcome outcome = DecodeRequested(client.Size(), picture);
    if (outcome == DecodeOutcome::HandedToGif) {
        m_bBusy = 0;
        return;
    }
    // A stopped decode leaves the picture shown before as it was.
    if (!m_bStop) {
        if (outcome == DecodeOutcome::Picture)
            ShowPicture(picture);
        else
            FreePicture();
    }
    m_bBusy = 0;
    RedrawNow();
    if (::IsWindow(m_hWnd))
        ::SendMessageW(m_hWnd, UWM_PREVIEW_DECODED, 0, 0);
}

CPreviewWnd::DecodeOutcome CPreviewWnd::DecodeRequested(const CSize& client, CWipedPicture& picture)
{
    if (IsEncryptedFilePath(m_strDecodePath))
        return DecodeEncrypted(client, picture);
    return DecodePlain(client, picture);
}

CPreviewWnd::DecodeOutcome CPreviewWnd::DecodeEncrypted(const CSize& client, CWipedPicture& picture)
{
    CFileCipher cipher(&m_abort);
    CString plainName;
    // A file that cannot be decrypted shows nothing rather than the picture before.
    if (cipher.DecryptFileToMemory(m_strDecodePath, plainName) != CRYPT_OK || m_bStop)
        return DecodeOutcome::NoPicture;
    if (HasGifEnding(plainName)) {
        cipher.ReleaseMemory();  // the animated-GIF window decrypts again itself
        return HandToGifWindow();
    }
    if (cipher.GetMemorySize() == 0)
        return DecodeOutcome::NoPicture;
    CWipedPicture loaded;
    if (m_bFitToWindow)
        loaded.SetDecodeSizeHint(client.cx, client.cy);
    // The plain name lets a picture known only by its extension (a Targa
    // without footer, a wireless bitmap) be found as the plain file is.
    int32_t result = loaded.LoadFromMemory(cipher.GetMemoryData(), cipher.GetMemorySize(),
                                           CPicImageEx::FileTypeUnknown, 0, plainName);
    cipher.ReleaseMemory();
    KeepAs24Bit(result, loaded, picture);
    return picture.IsValid() ? DecodeOutcome::Picture : DecodeOutcome::NoPicture;
}

CPreviewWnd::DecodeOutcome CPreviewWnd::DecodePlain(const CSize& client, CWipedPicture& picture)
{
    if (HasGifEnding(m_strDecodePath))
        return HandToGifWindow();
    CWipedPicture loaded;
    if (m_bFitToWindow)
        loaded.SetDecodeSizeHint(client.cx, client.cy);
    else
        loaded.SetDecodeSizeHint(0, 0);
    int32_t result = loaded.LoadFromFile(m_strDecodePath, CPicImageEx::FileTypeUnknown, 0);
    KeepAs24Bit(result, loaded, picture);
    return picture.IsValid() ? DecodeOutcome::Picture : DecodeOutcome::NoPicture;
}

CPreviewWnd::DecodeOutcome CPreviewWnd::HandToGifWindow()
{
    FreePicture();
    if (!m_bStop && m_gifWindow.IsWindow())
        m_gifWindow.PlayGif(m_strDecodePath);
    return DecodeOutcome::HandedToGif;
}

void CPreviewWnd::KeepAs24Bit(int32_t loadResult, CWipedPicture& loaded, CWipedPicture& picture)
{
    if (loadResult != 0 || !loaded.IsValid() || m_bStop)
        return;
    if (loaded.GetBitsPerPixel() == 24)
        picture.MoveFrom(loaded);
    else if (loaded.ConvertTo24BitInto(picture) != 0)
        picture.Free();
}

void CPreviewWnd::ShowPicture(CWipedPicture& picture)
{
    std::lock_guard<std::mutex> lock(m_imageLock);
    m_image.MoveFrom(picture);
}

void CPreviewWnd::FreePicture()
{
    std::lock_guard<std::mutex> lock(m_imageLock);
    m_image.Free();
}

CSize CPreviewWnd::GetPictureSize()
{
    std::lock_guard<std::mutex> lock(m_imageLock);
    return m_image.IsValid() ? CSize(m_image.GetWidth(), m_image.GetHeight()) : CSize(0, 0);
}

void CPreviewWnd::RedrawNow()
{
    if (::IsWindow(m_hWnd))
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

BOOL CPreviewWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_ERASEBKGND || message == UWM_PREVIEW_DECODED) {
        *result = 0;
        return TRUE;
    }
    return CWnd::OnWndMsg(message, wParam, lParam, result);
}

void CPreviewWnd::OnPaint()
{
    CPaintDC paint(m_hWnd);
    CRect client;
    GetClientRect(&client);
    CMemDC2 dc(&paint, client);
    std::lock_guard<std::mutex> lock(m_imageLock);
    const uint8_t* pixels = m_image.IsValid() ? m_image.GetPixels() : nullptr;
    PaintPreviewPicture(dc, client, pixels, m_image.GetWidth(), m_image.GetHeight(), m_bFitToWindow != 0);
}

void CPreviewWnd::OnDestroy()
{
    StopThreads();
    CWnd::OnDestroy();
}
