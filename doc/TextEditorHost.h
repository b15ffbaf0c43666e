// CTextEditorHost: what the document asks of the window that can open the
// secure text editor (the main frame). The editor lives above the document;
// the document finds the main window's offer of this interface and keeps the
// window handle it gets back, so that it can close the editors it opened
// before it goes.
#pragma once

#include "framework/base/CString.h"

#include <windows.h>

class COrvantisDoc;

class CTextEditorHost {
public:
    // A new editor owned by `owner`, shown, that loads the plain text file
    // `path` from disk itself. Its window, or null when it could not be made.
    virtual HWND OpenTextFile(COrvantisDoc* owner, const CString& path) = 0;
    // A new editor owned by `owner`, shown, with its own copy of the `size`
    // plain bytes of `text` (decrypted from `sourcePath`, which its saving
    // encrypts into again) under the plain file name `name`. Its window, or null.
    virtual HWND OpenDecryptedText(COrvantisDoc* owner, const CString& name, const CString& sourcePath,
                                   const BYTE* text, int size) = 0;

    // The main window when it offers the editor, else null.
    static CTextEditorHost* OfMainWindow();

protected:
    ~CTextEditorHost() = default;
};
