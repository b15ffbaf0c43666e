// The shell's folder chooser, with a seam for tests: while a hook is
// installed it answers every request instead of the shell's dialog.
#pragma once

#include "framework/base/CString.h"

#include <windows.h>

#include <functional>

// Receives the owner, the title and the starting folder; returns true with
// the chosen folder, false for a cancelled choice.
using FolderChooserHook = std::function<bool(HWND owner, const CString& title, const CString& start, CString& chosen)>;

// Installs a hook (an empty one removes it) and returns the one it replaces.
FolderChooserHook AfxSetFolderChooserHook(FolderChooserHook hook);

// Lets the user choose a file-system folder, starting at `start`; true with
// its path in `chosen`, false when the user cancelled or chose something
// without a path.
bool AfxChooseFolder(HWND owner, const CString& title, const CString& start, CString& chosen);
