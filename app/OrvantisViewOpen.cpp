// COrvantisView: opening the files the list hands over. Previews and the
// secure viewers are the document's; an encrypted file opens through a
// plain temporary copy, which plays in the program's video window when it
// is media and the player library is there (the window removes it), and is
// otherwise handed to the application registered for its type and watched
// until the program ends: wiped once that application lets go of it, and
// again whenever it comes back. A file opened where it lies is never wiped.
#include "app/OrvantisView.h"

#include "app/CleanUp.h"
#include "app/MainFrame.h"
#include "crypt/FileCipher.h"
#include "crypt/FileOps.h"
#include "doc/OrvantisDoc.h"
#include "doc/FileKinds.h"
#include "viewers/VideoView.h"

void COrvantisView::ForgetLastPreview()
{
    if (COrvantisDoc* document = GetDocument())
        document->m_strLastPreview.Empty();
}

LRESULT COrvantisView::OnListSelChanged()
{
    COrvantisDoc* document = GetDocument();
    if (!m_bAutopreview || !document)
        return 0;
    if (m_pBrowser) {
        m_wndList.m_strSelPath = m_pBrowser->m_strCurrentPath;
        m_wndList.m_strSelName.Empty();
    }
    document->OpenImagePreview(m_wndList.m_strSelPath, m_wndList.m_strSelName);
    return 0;
}

LRESULT COrvantisView::OnOpenSecureViewer(WPARAM kind)
{
    // In thumbnail mode the browser's current item, not the list's last selection.
    if (m_pBrowser)
        m_wndList.m_strSelPath = m_pBrowser->m_strCurrentPath;
    if (COrvantisDoc* document = GetDocument())
        document->OpenSecureViewer(m_wndList.m_strSelPath, (int)kind);
    return 0;
}

LRESULT COrvantisView::OnListCommand(WPARAM command)
{
    COrvantisDoc* document = GetDocument();
    if (command != ID_OPEN_TEMP_DECRYPTED || !document)
        return 0;
    CString path = m_wndList.m_strCommandPath;
    m_nPlaybackState = 0;
    m_bVideoMode = 0;
    if (path.IsEmpty())
        return 0;
    TempOpenInfo info;
    const bool videoAllowed = m_Player.IsLoaded();
    CString opened = document->OpenTempDecrypted(path, info, videoAllowed);
    if (opened.IsEmpty())
        return 0;
    if (info.passwordAsked)
        RefreshAll();
    // Only a copy made for this open is wiped: a plain file is opened where
    // it lies.
    bool copy = info.isTempCopy && opened.CompareNoCase(path) != 0;
    // Without the program's player a media copy keeps its extension.
    bool media = info.videoKind != TempOpenInfo::VIDEO_NONE || IsMediaFile(opened);
    bool video = info.videoKind != TempOpenInfo::VIDEO_NONE;
    if (info.asynchronous) {
        // The job is still writing the copy; its end continues in OnTempDecrypted.
        m_strTempCopy = opened;
        m_bTempCopyIsCopy = copy;
        m_bTempCopyIsMedia = media;
        if (video && videoAllowed) {
            // The window starts on the growing copy and removes it itself.
            m_bVideoMode = 1;
            document->m_bVideoViewOpen = 1;
            PlayInVideoWindow(opened, 0, copy ? 1 : 0, info.videoKind == TempOpenInfo::VIDEO_WMV ? 1 : 0);
        } else if (copy) {
            m_tempCopies.Expect(opened);
        }
        return 0;
    }
    if (video && m_Player.IsLoaded()) {
        m_bVideoMode = 1;
        document->m_bVideoViewOpen = 1;
        PlayInVideoWindow(opened, 1, copy ? 1 : 0, 0);
        return 0;
    }
    if (copy)
        HandOverCopy(opened, media, true);
    else
        m_wndList.OpenWithDefaultVerb(opened);
    return 0;
}

void COrvantisView::HandOverCopy(const CString& copy, bool media, bool openNow)
{
    m_strTempToWipe = copy;
    // Noted before the program starts: a crash from here on leaves it to the next start.
    m_tempCopies.Expect(copy);
    bool started = !openNow || m_wndList.OpenWithDefaultVerb(copy);
    m_tempCopies.HandOver(copy, started);
    KillTimer(TIMER_WIPE);
    SetTimer(TIMER_WIPE, CTempCopyWatch::CHECK_INTERVAL);
    if (media) {
        // A media player holds its file for long: the monitor wipes it once free.
        CCleanUp monitor(this);
        monitor.m_strPath = copy;
        monitor.m_pWatch = &m_tempCopies;
        m_tempCopies.BeginMonitor(copy);
        monitor.DoModal();
        m_tempCopies.EndMonitor(copy);
    }
}

void COrvantisView::OnTempDecrypted(int result)
{
    if (m_bVideoMode) {
        // A copy whose decryption failed is not played from its end: the
        // job wipes it, or the window does when it closes.
        if (m_pVideoView && result == CRYPT_OK)
            m_pVideoView->OpenAfterDecryption();
        return;
    }
    if (m_strTempCopy.IsEmpty())
        return;
    if (m_nPlaybackState == 1)
        KillTimer(TIMER_PLAYBACK);
    CString copy = m_strTempCopy;
    m_strTempCopy.Empty();
    if (result != CRYPT_OK) {
        // A copy that failed to decrypt is never opened: what it holds is
        // not the file's content. The job wipes it once the views have let
        // go of it; its placeholder goes here.
        if (m_bTempCopyIsCopy) {
            m_tempCopies.Forget(copy);
            CString placeholder = CTempCopyWatch::PlaceholderOf(copy);
            if (!placeholder.IsEmpty())
                ::DeleteFileW(placeholder);
        }
        return;
    }
    if (!CFileOps::CanReadFile(copy))
        return;
    bool openNow = m_nPlaybackState != 2;
    if (m_bTempCopyIsCopy)
        HandOverCopy(copy, m_bTempCopyIsMedia, openNow);
    else if (openNow)
        m_wndList.OpenWithDefaultVerb(copy);
}

void COrvantisView::CheckTempCopies()
{
    if (m_tempCopies.Check())
        SetTimer(TIMER_WIPE, CTempCopyWatch::CHECK_INTERVAL);
}

void COrvantisView::OnPlaybackTimer()
{
    COrvantisDoc::ProgressLog(LOG_HEADING, L"Asynchronous playback is ON: Streaming of partial file started");
    // "untill": the misspelling is intended.
    COrvantisDoc::ProgressLog(LOG_INFO,
                              L"Continue decrypting... don't move forward the video untill the full decryption finished");
    m_nPlaybackState = 2;
    m_wndList.OpenWithDefaultVerb(m_strTempCopy);
}

void COrvantisView::PrepareVideoWindow()
{
    if (!m_pVideoView) {
        m_pVideoView = new CVideoView();
        // A failed creation deletes the object with its window (PostNcDestroy).
        if (!m_pVideoView->CreateHidden()) {
            if (m_pVideoView && !m_pVideoView->m_hWnd)
                delete m_pVideoView;
            m_pVideoView = nullptr;
            return;
        }
    }
    m_pVideoView->m_nQuickClean = m_nVideoCache;
    m_pVideoView->m_pPlayer = &m_Player;
    m_pVideoView->m_pOwner = this;
}

void COrvantisView::PlayInVideoWindow(const CString& path, int playNow, int tempCopy, int isWmv)
{
    PrepareVideoWindow();
    if (m_pVideoView)
        m_pVideoView->StartPlayback(path, playNow, tempCopy, isWmv);
}

void COrvantisView::ShowVideo(const CString& path)
{
    if (!m_Player.IsLoaded())
        return;
    if (COrvantisDoc* document = GetDocument())
        document->m_bVideoViewOpen = 1;
    PlayInVideoWindow(path, 1, 0, 0);
}

void COrvantisView::OnVideoViewClosing(CVideoView* window)
{
    // Only the temporary decryption that writes this window's copy is
    // stopped; any other job runs on.
    COrvantisDoc* document = GetDocument();
    if (!document || !document->IsDecryptingInto(window->GetPath()))
        return;
    if (CMainFrame* frame = GetMainFrame())
        frame->RequestStop();
}

void COrvantisView::DeferCopyRemoval(const CString& path)
{
    // At exit the watch's wipe at the view's end takes it.
    if (m_bClosingVideoForExit || !m_hWnd) {
        m_tempCopies.Expect(path);
        m_tempCopies.HandOver(path, false);
        return;
    }
    m_videoCopiesLeft.push_back(path);
    SetTimer(TIMER_VIDEO_COPY, 0);
}

void COrvantisView::HandOverVideoCopies()
{
    std::vector<CString> copies;
    copies.swap(m_videoCopiesLeft);
    for (const CString& copy : copies) {
        if (::GetFileAttributesW(copy) != INVALID_FILE_ATTRIBUTES)
            HandOverCopy(copy, true, false);
    }
}

void COrvantisView::OnVideoViewDestroyed(CVideoView* window)
{
    if (window == m_pVideoView)
        m_pVideoView = nullptr;
}

void COrvantisView::CloseVideoWindow()
{
    if (!m_pVideoView)
        return;
    m_bClosingVideoForExit = true;
    m_pVideoView->CloseForExit();
    // A window that could not go now no longer reaches this view.
    if (m_pVideoView) {
        m_pVideoView->m_pOwner = nullptr;
        m_pVideoView->m_pPlayer = nullptr;
        m_pVideoView = nullptr;
    }
    for (const CString& copy : m_videoCopiesLeft) {
        m_tempCopies.Expect(copy);
        m_tempCopies.HandOver(copy, false);
    }
    m_videoCopiesLeft.clear();
}
