// CPreviewBar: the "Image Preview" pane. It shows one picture: a plain image
// file by its path, or an encrypted one decrypted into memory under the
// name it is shown by. The picture windows come with the image readers;
// until then the pane holds no picture, and its four calls have nothing to
// show, free or stop.
#pragma once

#include "framework/windows/CDockablePane.h"

class CPreviewBar : public CDockablePane {
public:
    // Frees the picture shown in the pane.
    void ClearPreview();
    // A plain image file to show.
    void ShowPath(const CString& path);
    // An encrypted image file to show, decrypted into memory, as `shownName`.
    void ShowImageFile(const CString& path, const CString& shownName);
    // Stops the pane's decoding work and waits until it has ended.
    void StopPreview();

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};
