// COrvantisView: opening the files the list hands over.
#include "app/OrvantisView.h"

#include "crypt/FileOps.h"
#include "crypt/OrvantisDoc.h"
#include "framework/CWaitCursor.h"

LRESULT COrvantisView::OnListSelChanged() { return 0; }

LRESULT COrvantisView::OnOpenSecureViewer(WPARAM) { return 0; }

LRESULT COrvantisView::OnListCommand(WPARAM) { return 0; }

void COrvantisView::OnTempDecrypted(int) {}

void COrvantisView::ForgetLastPreview() {}

void COrvantisView::OpenAndWatch(const CString&, bool) {}

void COrvantisView::WatchTempCopy(const CString& path)
{
    m_strTempToWipe = path;
    m_tempCopies.push_back({path, WIPE_ATTEMPTS});
    KillTimer(TIMER_WIPE);
    SetTimer(TIMER_WIPE, WIPE_FIRST_DELAY);
}

void COrvantisView::CheckTempCopies() {}

void COrvantisView::WipeAllTempCopies() {}

void COrvantisView::OnPlaybackTimer() {}
