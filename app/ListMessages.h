// The private messages with which the file list and the thumbnail browser
// tell their parent, the view, what the user did. Each is sent
// synchronously; its data wait in public members of the sender, which the
// view reads while it handles the message.
#pragma once

#include "doc/ViewerKind.h"

#include <windows.h>

// wParam: a command id (the list sends only ID_OPEN_TEMP_DECRYPTED); data:
// the list's m_strCommandPath.
const UINT UWM_LIST_COMMAND = WM_USER + 1012;  // 0x7F4
// The selection changed; data: the list's m_strSelPath and m_strSelName.
const UINT UWM_LIST_SELCHANGED = WM_USER + 1013;  // 0x7F5
// wParam: a ViewerKind (doc/ViewerKind.h); data: the list's m_strSelPath.
const UINT UWM_OPEN_SECURE_VIEWER = WM_USER + 1014;  // 0x7F6
// The thumbnail browser opens a folder (wParam 1).
const UINT UWM_BROWSER_OPEN_FOLDER = WM_USER + 1015;  // 0x7F7


// "Open File (Temp Decypt)": open a plain temporary copy of an encrypted file.
const UINT ID_OPEN_TEMP_DECRYPTED = 32788;
