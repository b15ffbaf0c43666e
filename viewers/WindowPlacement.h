// Where a viewer window stood when it was last closed, kept in the
// application's profile as value "WindowPlacement" of the window's own
// section: six decimal integers "left,top,right,bottom,show command,flags".
#pragma once

#include <windows.h>

// Writes the window's placement. With `useWindowRect` the window rectangle
// in screen coordinates is written with show command 1 and flags 0,
// otherwise the normal-position rectangle, show command and flags. Nonzero
// when the profile took it.
BOOL SaveWindowPlacement(HWND window, const WCHAR* section, BOOL useWindowRect);

// Applies the stored placement: with `useSetWindowPos` only the window's
// position and size, otherwise the whole placement with the stored show
// command replaced by `showCommand` (-1 keeps it; 0 leaves the window
// hidden). Zero when nothing was stored or the record is incomplete.
BOOL RestoreWindowPlacement(HWND window, const WCHAR* section, BOOL useSetWindowPos, int showCommand = -1);
