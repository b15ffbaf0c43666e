// COrvantisDoc: opening single files. Plain temporary copies of encrypted
// files for other programs and the player, the preview pane's hand-off and
// the secure viewers.
#include "doc/OrvantisDoc.h"

#include "crypt/EncryptedFileName.h"
#include "crypt/FileCipher.h"
#include "crypt/FileOps.h"
#include "crypt/PathParts.h"
#include "doc/FileKinds.h"
#include "doc/JobSteps.h"
#include "doc/PreviewHost.h"
#include "framework/windows/AfxMessageBox.h"
#include "framework/windows/CWaitCursor.h"
#include "framework/windows/CWinApp.h"

namespace {

// Copies up to this size are decrypted at once on the user-interface thread.
const uint64_t kSynchronousLimit = 10000000;
// Asynchronous copies above this size show their progress in the video window.
const uint64_t kShowProgressSize = 20000000;

const WCHAR kCrcFailedText[] =
    L"CRC failed, the file may be damaged. If the file has a recovery record, you may try to repair it... (Menu "
    L"Tools)";
const WCHAR kCannotUnlockText[] =
    L"The current active password cannot unlock this file. Click on 'Enter Password' to enter the correct password";

bool ReadFileSize(const CString& path, uint64_t& size)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data))
        return false;
    size = ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    return true;
}

bool AsyncVideoSetting()
{
    CWinApp* app = AfxGetApp();
    return app ? app->GetProfileInt(L"Settings", L"AsyncVideo", 1) != 0 : true;
}

// Wipes a copy that must never be opened. A read-only attribute is cleared
// first; the wipe falls back to a plain deletion when the file cannot be
// written.
void WipeFailedCopy(const CString& copy)
{
    DWORD attributes = GetFileAttributesW(copy);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(copy, attributes & ~FILE_ATTRIBUTE_READONLY);
    CFileOps::SecureDeleteFile(copy);
}

}  // namespace

void COrvantisDoc::ClearImagePreview()
{
    m_strLastPreview.Empty();
    if (CPreviewHost* host = CPreviewHost::OfMainWindow()) {
        host->StopImagePreview();
        host->ShowImagePreview(CString());
    }
}

CString COrvantisDoc::OpenTempDecrypted(const CString& path, TempOpenInfo& info, bool videoAllowed)
{
    info = TempOpenInfo();
    m_bMediaFile = 0;
    ClearImagePreview();
    if (m_strPassword.IsEmpty()) {
        EnterPassword();
        info.passwordAsked = 1;
        if (m_strPassword.IsEmpty())
            return CString();
    }
    SetPasswordKey(m_strPassword);
    CWaitCursor wait;

    if (!IsEncryptedFileName(PathFilePart(path))) {
        // Plain files are opened where they lie: the caller must not wipe them.
        if (IsMediaFile(path))
            info.videoKind = TempOpenInfo::VIDEO_MEDIA;
        return path;
    }

    // The copy takes the plain name's extension, except media the program's
    // own player takes; the empty placeholder keeps the unique name reserved.
    const CString placeholder = MakeTempFileName();
    if (placeholder.IsEmpty())
        return CString();
    CString copy = placeholder;
    CString plainName = CFileCipher().ReadOriginalName(path);
    CString extension = FileExtension(PathFilePart(plainName));
    extension.MakeLower();
    if (IsMediaFile(plainName) && videoAllowed) {
        info.videoKind = TempOpenInfo::VIDEO_MEDIA;
        m_bMediaFile = 1;
        extension.Empty();
        CString ending = plainName.Right(4);
        if (ending.MakeLower() == L".wmv")
            info.videoKind = TempOpenInfo::VIDEO_WMV;
    }
    copy += extension;
    // Noted before anything is written: a crash from here on leaves the copy
    // to the next start.
    m_tempCopyJournal.Note(copy);

    uint64_t size = 0;
    if (!ReadFileSize(path, size) || size <= kSynchronousLimit) {
        CString opened = DecryptCopyNow(path, copy);
        info.isTempCopy = !opened.IsEmpty();
        // Nobody will ever learn the name of a failed copy, so its placeholder goes too.
        if (opened.IsEmpty() && copy != placeholder)
            ::DeleteFileW(placeholder);
        return opened;
    }
    m_strSourcePath = path;
    m_strDestPath = copy;
    if (!StartJob(JOB_TEMP_DECRYPT)) {
        // Without a worker nothing would ever write the copy.
        ::DeleteFileW(placeholder);
        return CString();
    }
    info.showProgress = size > kShowProgressSize ? 1 : 0;
    info.asynchronous = 1;
    info.isTempCopy = true;
    return copy;
}

// The synchronous decryption: the copy when it is complete and sound;
// otherwise "" after the message, with whatever was written wiped.
CString COrvantisDoc::DecryptCopyNow(const CString& path, const CString& copy)
{
    // On this thread, nothing could ask it to stop: it watches no flag, so a
    // job's Cancel never reaches it.
    CString storedName;
    int result = CFileCipher().CryptFile(path, copy, CRYPT_MODE_DECRYPT, storedName, nullptr, TRUE);
    if (result == CRYPT_OK && storedName.IsEmpty())
        result = CRYPT_BAD_KEY;
    if (result == CRYPT_OK && CanOpenForReading(copy))
        return copy;
    WipeFailedCopy(copy);
    AfxMessageBox(result == CRYPT_CRC_MISMATCH ? kCrcFailedText : kCannotUnlockText, MB_OK);
    return CString();
}

void COrvantisDoc::NotifyTempDecrypted(int result)
{
    SendJobReport(ReportWindow(), PROGRESS_TEMP_DECRYPTED, (WPARAM)(INT_PTR)result);
}

// The worker's side of OpenTempDecrypted. The copy stays readable by others
// while it grows, so the player may start on it. PROGRESS_TEMP_DECRYPTED
// carries the result: after a success it follows the finish; after a failure
// it comes before the copy is wiped, so the views let go of it first.
bool COrvantisDoc::AsyncTempDecryptJob()
{
    g_StopRequested = 0;
    ProgressSetTitle(L"DeCrypting Temporary");
    const CString& source = m_job.source;
    const CString& copy = m_job.destination;

    ProgressLog(LOG_PLAIN, L"File " + source + L" >>>> " + PathFilePart(copy));
    ProgressLog(LOG_PLAIN, L"ASYNC Decrypting Large file - you can cancel any time");
    bool asyncVideo = AsyncVideoSetting();
    ProgressLog(LOG_INFO, L"Decrypting...");
    // The view has already started the video window on the growing copy in
    // its pre-buffering mode; this line tells the user why it plays early.
    if (asyncVideo && m_job.mediaCopy)
        ProgressLog(LOG_INFO, L"Requesting FAST Asynchronous Playback");

    CString storedName;
    // This job's engine watches the job's flag, which the progress window's
    // Cancel and the closing of the video window it feeds set.
    int result = CFileCipher(&g_AbortRequested).DecryptFileShared(source, copy, storedName);
    bool viewsTold = false;
    if (g_StopRequested) {
        if (CanOpenForReading(copy)) {
            NotifyTempDecrypted(CRYPT_ABORTED);
            viewsTold = true;
            ProgressLog(LOG_ERROR, L"Stop received .... cleaning traces");
            WipeFailedCopy(copy);
        }
        result = CRYPT_ABORTED;
    }
    if (result == CRYPT_OK && storedName.IsEmpty())
        result = CRYPT_BAD_KEY;

    if (result != CRYPT_OK) {
        if (result == CRYPT_CRC_MISMATCH)
            ProgressLog(LOG_ERROR, kCrcFailedText);
        else if (result == CRYPT_ABORTED)
            ProgressLog(LOG_ERROR, L"Aborted during decrypting.");
        else
            ProgressLog(LOG_ERROR, kCannotUnlockText);
        if (!viewsTold)
            NotifyTempDecrypted(result);
        WipeFailedCopy(copy);
        if (result == CRYPT_ABORTED && m_bVideoViewOpen) {
            ProgressClose();
            m_bVideoViewOpen = 0;
            return false;
        }
    } else if (CanOpenForReading(copy)) {
        ProgressLog(LOG_OK, L"Finished decrypting with No Errors");
    }
    ProgressFinish(result != CRYPT_OK, L"Temporary Decrypt: ");
    if (result == CRYPT_OK)
        NotifyTempDecrypted(CRYPT_OK);
    return result == CRYPT_OK;
}

void COrvantisDoc::OpenImagePreview(const CString& path, const CString& shownName)
{
    CPreviewHost* host = CPreviewHost::OfMainWindow();
    if (!host || path == m_strLastPreview)
        return;
    m_strLastPreview = path;
    if (IsEncryptedFileName(PathFilePart(path))) {
        CString name = shownName.IsEmpty() ? CFileCipher().ReadOriginalName(path) : shownName;
        if (name.GetLength() > 1) {
            // The list marks encrypted items with a trailing "*".
            name.TrimRight(L'*');
            if (IsPreviewImageName(name)) {
                host->ShowImagePreviewAs(path, name);
            } else {
                m_strLastPreview.Empty();
                host->ShowImagePreview(CString());
            }
            return;
        }
    }
    if (IsPreviewImageName(path)) {
        host->ShowImagePreview(path);
    } else {
        m_strLastPreview.Empty();
        host->ShowImagePreview(CString());
    }
}
