// COrvantisView: opening the files the list hands over. Previews and the
// secure viewers are the document's; an encrypted file opens through a
// plain temporary copy, which is handed to the application registered for
// its type and watched until the program ends: wiped once that application
// lets go of it, and again whenever it comes back. A file opened where it
// lies is never wiped.
#include "app/OrvantisView.h"

#include "app/CleanUp.h"
#include "crypt/FileCipher.h"
#include "crypt/FileOps.h"
#include "doc/OrvantisDoc.h"
#include "doc/FileKinds.h"

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
    document->OpenImagePreview(m_wndList.m_strSelPath, m_wndList.m_strSelName);
    return 0;
}

LRESULT COrvantisView::OnOpenSecureViewer(WPARAM kind)
{
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
    // The program's own player is not part of this build: media files go to
    // the application registered for their type.
    const bool videoAllowed = false;
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
    if (info.asynchronous) {
        // The job is still writing the copy; its end continues in OnTempDecrypted.
        m_strTempCopy = opened;
        m_bTempCopyIsCopy = copy;
        m_bTempCopyIsMedia = media;
        if (copy)
            m_tempCopies.Expect(opened);
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
    if (m_bVideoMode || m_strTempCopy.IsEmpty())
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
