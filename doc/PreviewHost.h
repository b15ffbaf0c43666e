// CPreviewHost: what the document asks of the window that holds the "Image
// Preview" pane (the main frame). The document finds it by asking the main
// window for this interface, so it needs no more of the frame than these
// three calls.
#pragma once

#include "framework/base/CString.h"

class CPreviewHost {
public:
    // An empty path clears and hides the pane; a path of a plain image shows it there.
    virtual void ShowImagePreview(const CString& path) = 0;
    // An encrypted image, decrypted into memory by the pane, shown as `shownName`.
    virtual void ShowImagePreviewAs(const CString& path, const CString& shownName) = 0;
    // Stops the pane's decoding threads and waits for them.
    virtual void StopImagePreview() = 0;

    // The main window when it offers the pane, else null.
    static CPreviewHost* OfMainWindow();

protected:
    ~CPreviewHost() = default;
};
