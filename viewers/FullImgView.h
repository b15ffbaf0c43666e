// CFullImgView: the modeless "Secure Image Viewer" window. One image file,
// plain or encrypted, is viewed at full size in a preview window (and its
// animated-GIF child) that fills the client area, so an encrypted picture is
// decrypted and decoded in memory exactly as in the preview pane; pictures
// smaller than the window are drawn 1:1 in the centre.
//
// The document makes it on the heap and keeps a pointer to the newest one;
// the window clears that pointer (when it still names this window) and
// deletes itself when it is closed, writing where it stood; that placement
// is not applied when a viewer opens again. UI thread only; the preview
// brings its own threads.
#pragma once

#include "framework/base/CString.h"
#include "framework/windows/CDialogEx.h"
#include "viewers/PreviewWnd.h"

class COrvantisDoc;

class CFullImgView : public CDialogEx {
public:
    explicit CFullImgView(CWnd* parent = nullptr);
    ~CFullImgView() override;

    // Makes the window on its template, owned by `parent` or by nobody (the
    // desktop), and shows it. Nonzero on success.
    BOOL CreateModeless(CWnd* parent = nullptr);
    // A new viewer of `path` for `owner`, shown; null when it could not be made.
    static CFullImgView* Open(COrvantisDoc* owner, const CString& path);

    void ShowImageFile(const CString& path);
    void ShowImageFileAs(const CString& path, const CString& shownName);

    BOOL OnInitDialog() override;
    void OnCancel() override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnSize(UINT type, int cx, int cy) override;

    static const UINT kPreviewId = 1234567;
    static const UINT kGifId = 1234568;

    CPreviewWnd m_preview;
    COrvantisDoc* m_pOwner = nullptr;  // its image-viewer pointer is cleared when the window goes
    int m_bShowAs = 0;                 // 1: path and shown name go to the preview; 0: the path alone
    CString m_strPath;
    CString m_strShownName;

protected:
    void PostNcDestroy() override;

private:
    void SizeChildren(int cx, int cy);
};
