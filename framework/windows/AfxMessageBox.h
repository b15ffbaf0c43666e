// Message boxes for people, with a seam for tests: while a hook is installed
// it receives every box instead of the system, and its answer is returned.
#pragma once

#include "framework/base/CException.h"
#include "framework/base/CString.h"

#include <windows.h>

#include <functional>

// Receives the owner, the text, the caption and the MB_* type; returns the
// button the user would have pressed (IDOK, IDYES ...).
using MessageBoxHook = std::function<int(HWND owner, const CString& text, const CString& caption, UINT type)>;

// Installs a hook (an empty one removes it) and returns the one it replaces.
MessageBoxHook AfxSetMessageBoxHook(MessageBoxHook hook);

// A box owned by `owner`; a null caption is the application's name.
int AfxShowMessageBox(HWND owner, const WCHAR* text, const WCHAR* caption, UINT type);

// A box owned by the active window of this thread, or the main window.
int AfxMessageBox(const WCHAR* text, UINT type = MB_OK, UINT helpId = 0);
// The same with a string resource as the text.
int AfxMessageBox(UINT promptId, UINT type = MB_OK, UINT helpId = UINT(-1));

// Shows the exception's message (or the string resource, or a general text)
// in a box owned by the active window; returns the box's result.
int AfxReportException(const CException& e, UINT type = MB_OK, UINT defaultMessageId = 0);
