// CImageViewerHost: what the document asks of the window that can open the
// secure image viewer (the main frame). The viewer lives above the document;
// the document finds the main window's offer of this interface and keeps the
// viewer it gets back, which clears that pointer when it closes, and its
// window, which the document closes when it goes first.
#pragma once

#include "framework/base/CString.h"

#include <windows.h>

class COrvantisDoc;
class CFullImgView;

class CImageViewerHost {
public:
    // A new viewer of `path` (plain or encrypted) owned by `owner`, shown,
    // with its window in `window`; null (and no window) when it could not be made.
    virtual CFullImgView* OpenImageViewer(COrvantisDoc* owner, const CString& path, HWND& window) = 0;

    // The main window when it offers the viewer, else null.
    static CImageViewerHost* OfMainWindow();

protected:
    ~CImageViewerHost() = default;
};
