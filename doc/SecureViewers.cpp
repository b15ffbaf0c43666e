// COrvantisDoc: the program's own viewers. The video window belongs to the
// views; the image viewer and the text editor are windows of their own that
// the main window makes for the document (CImageViewerHost,
// CTextEditorHost). The document keeps their windows, marked as its own,
// and closes those still open when it goes, so that none of them calls it
// afterwards.
#include "doc/OrvantisDoc.h"

#include "crypt/EncryptedFileName.h"
#include "crypt/FileCipher.h"
#include "crypt/MemoryEncrypt.h"
#include "crypt/PathParts.h"
#include "doc/ImageViewerHost.h"
#include "doc/TextEditorHost.h"
#include "doc/VideoHost.h"
#include "framework/windows/AfxMessageBox.h"
#include "framework/windows/CView.h"
#include "framework/windows/CWaitCursor.h"
#include "framework/windows/CWnd.h"

#include <algorithm>

namespace {

// The window property that marks a viewer window as opened by a document:
// a closed window loses it, so a handle the system hands out again never
// counts as the viewer's.
const WCHAR kViewerOwnerProperty[] = L"QuorvexViewerOwner";

CString TooLargeText(const CString& name)
{
    CString text;
    text.Format(L"%s is too large for the secure text editor: it takes texts of up to %u MB.", name.GetString(),
                (unsigned)(CFileCipher::MEMORY_LIMIT / (1024 * 1024)));
    return text;
}

int64_t PlainFileSize(const CString& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data))
        return -1;
    return (int64_t)(((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow);
}

// The content size an encrypted file's header states with the key installed; 0 when unknown.
uint64_t StatedPlainSize(const CString& path)
{
    EncryptedFileOptions options;
    return ReadEncryptedFileOptions(path, options) == CRYPT_OK ? options.plainSize : 0;
}

}  // namespace

void COrvantisDoc::OpenSecureViewer(const CString& path, int kind)
{
    switch (kind) {
    case VIEWER_VIDEO:
        // A plain media file plays in the views' video window; an encrypted
        // one is opened through OpenTempDecrypted instead.
        if (IsEncryptedFileName(PathFilePart(path)))
            break;
        for (CView* view : GetViews()) {
            if (CVideoHost* host = dynamic_cast<CVideoHost*>(view))
                host->ShowVideo(path);
        }
        break;
    case VIEWER_TEXT: OpenTextEditor(path); break;
    case VIEWER_IMAGE:
        // The viewer decrypts an encrypted picture into memory itself; it
        // clears m_pImageViewer when it closes.
        if (CImageViewerHost* host = CImageViewerHost::OfMainWindow()) {
            HWND window = nullptr;
            m_pImageViewer = host->OpenImageViewer(this, path, window);
            KeepViewer(window);
        }
        break;
    default: break;
    }
}

HWND COrvantisDoc::OpenTextEditor(const CString& path)
{
    CTextEditorHost* host = CTextEditorHost::OfMainWindow();
    if (!host)
        return nullptr;
    const CString fileName = PathFilePart(path);
    if (!IsEncryptedFileName(fileName)) {
        if (PlainFileSize(path) > (int64_t)CFileCipher::MEMORY_LIMIT) {
            AfxMessageBox(TooLargeText(path), MB_OK | MB_ICONEXCLAMATION);
            return nullptr;
        }
        HWND window = host->OpenTextFile(this, path);
        KeepViewer(window);
        return window;
    }

    if (m_strPassword.IsEmpty()) {
        EnterPassword();
        if (m_strPassword.IsEmpty())
            return nullptr;
    }
    SetPasswordKey(m_strPassword);
    CWaitCursor wait;
    CFileCipher cipher;
    CString plainName;
    int result = cipher.DecryptFileToMemory(path, plainName);
    if (result == CRYPT_OK && plainName.IsEmpty())
        result = CRYPT_BAD_KEY;
    if (result != CRYPT_OK) {
        // The engine refuses a content over its memory limit as it refuses a
        // wrong key; the header tells which it was.
        if (StatedPlainSize(path) > CFileCipher::MEMORY_LIMIT)
            AfxMessageBox(TooLargeText(cipher.ReadOriginalName(path)), MB_OK | MB_ICONEXCLAMATION);
        else
            ShowOpenFailure(result);
        return nullptr;
    }
    // The window takes a copy of its own; the engine's buffer is wiped here.
    HWND window = host->OpenDecryptedText(this, plainName, path, cipher.GetMemoryData(), (int)cipher.GetMemorySize());
    cipher.ReleaseMemory();
    KeepViewer(window);
    return window;
}

void COrvantisDoc::EditorClosed(CEditorWindow* editor)
{
    // Its window is already gone, and so is its mark: only the handle is left to forget.
    (void)editor;
    m_viewerWindows = OpenViewerWindows();
}

std::vector<HWND> COrvantisDoc::OpenViewerWindows() const
{
    std::vector<HWND> open;
    for (HWND window : m_viewerWindows) {
        if (::IsWindow(window) && ::GetPropW(window, kViewerOwnerProperty) == (HANDLE)this)
            open.push_back(window);
    }
    return open;
}

void COrvantisDoc::KeepViewer(HWND window)
{
    if (!window || !::SetPropW(window, kViewerOwnerProperty, (HANDLE)this))
        return;
    m_viewerWindows = OpenViewerWindows();
    m_viewerWindows.push_back(window);
}

bool COrvantisDoc::AskViewersToClose()
{
    // The viewers are dialogs, whose close box only posts IDCANCEL; sent
    // here, the answer is known before the program goes on closing.
    for (HWND window : OpenViewerWindows())
        ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return OpenViewerWindows().empty();
}

void COrvantisDoc::CloseViewers()
{
    // A closing viewer tells this document (EditorClosed, m_pImageViewer),
    // which is still whole here; the list is taken first, as those calls change it.
    std::vector<HWND> open = OpenViewerWindows();
    m_viewerWindows.clear();
    for (HWND window : open) {
        ::RemovePropW(window, kViewerOwnerProperty);
        // Through the viewer's own DestroyWindow, which knows what it must finish first.
        if (CWnd* viewer = CWnd::FromHandlePermanent(window))
            viewer->DestroyWindow();
        else
            ::DestroyWindow(window);
    }
    m_viewerWindows.clear();
}
