// A stand-in for the player library with the same nine entry points, whose
// behaviour the video window's tests set and whose calls they read back.
// Like the real library it holds the file it opened (shared for reading and
// writing) until player_close, so the window's wait for a free copy is real.
#pragma once

#include <windows.h>

#include <cstdint>

struct PlayerDoubleState {
    int opensToFail = 0;       // the next this many opens answer 0
    int openCalls = 0;
    int closeCalls = 0;
    int openHandle = 0;        // the open player's handle, 0 for none
    char lastPath[1024] = {};
    HWND lastWindow = nullptr;
    int64_t length = 2000;
    int64_t position = 0;
    int volume = 100;
    int paused = 1;
    int playCalls = 0;
    int pauseCalls = 0;
    int seekCalls = 0;
    int64_t lastSeek = -1;
    RECT rects[2] = {};
    // Whether the opened file still existed when player_close ran.
    int fileExistedAtClose = -1;
};

// Exported by the double besides the nine entry points; the test resolves it.
typedef PlayerDoubleState*(__cdecl* PlayerDoubleStateFunction)();
