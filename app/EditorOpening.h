// Making a secure editor window for the document: a window of its own on
// the heap, without a parent, that deletes itself when it closes and tells
// its owner then. The main frame offers these to the document
// (CTextEditorHost).
#pragma once

#include "framework/base/CString.h"

#include <windows.h>

class COrvantisDoc;

// An editor owned by `owner` that loads the plain file `path` itself; its
// window, or null when none could be made.
HWND OpenPlainTextEditor(COrvantisDoc* owner, const CString& path);
// An editor owned by `owner` with its own copy of `size` decrypted bytes,
// shown under the plain file name `name` and saved back into `sourcePath`.
HWND OpenMemoryTextEditor(COrvantisDoc* owner, const CString& name, const CString& sourcePath, const BYTE* text,
                          int size);
