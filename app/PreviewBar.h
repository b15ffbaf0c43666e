// CPreviewBar: the "Image Preview" pane. It holds the preview window, which
// shows one picture: a plain image file by its path, or an encrypted one
// decrypted into memory. The preview window and its animated-GIF child fill
// the pane's client area. UI thread only; the preview window brings its own
// threads.
#pragma once

#include "framework/windows/CDockablePane.h"
#include "viewers/PreviewWnd.h"

class CPreviewBar : public CDockablePane {
public:
    // Frees the picture shown in the pane (not while a decode runs).
    void ClearPreview();
    // A plain image file to show.
    void ShowPath(const CString& path);
    // An encrypted image file to show, decrypted into memory, as `shownName`.
    void ShowImageFile(const CString& path, const CString& shownName);
    // Stops the pane's decoding threads and waits until they have ended.
    void StopPreview();

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    int OnCreate(CREATESTRUCTW* cs) override;
    void OnSize(UINT type, int cx, int cy) override;

    static const UINT kPreviewId = 1234567;
    static const UINT kGifId = 1234568;

    CPreviewWnd m_wndPreview;
};
