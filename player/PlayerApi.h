// The C entry points of the player library "tarvio-6.dll". One player may be
// open in the process at a time; it is named by a small 32-bit handle that
// player_open returns (0 when the file cannot be played). Calls with a handle
// that is not the open player's answer -1. Every call is made on the thread
// that opened the player (the window's UI thread); the video is drawn into a
// child of the window given to player_open, which lets clicks through to it.
#pragma once

#include <windows.h>

// Parameter ids of player_getparam / player_setparam.
enum PlayerParam {
    PLAYER_PARAM_LENGTH = 0x1000,    // get: int64 milliseconds
    PLAYER_PARAM_POSITION = 0x1001,  // get: int64 milliseconds
    PLAYER_PARAM_OPTION_1005 = 0x1005,  // set: int32, accepted without effect
    PLAYER_PARAM_VOLUME = 0x1006,    // get and set: int32 percent, 25 to 200
    PLAYER_PARAM_VIDEO_WIDTH = 0x100B,   // get: int32, 0 without video
    PLAYER_PARAM_VIDEO_HEIGHT = 0x100C,  // get: int32, 0 without video
    PLAYER_PARAM_HAS_VIDEO = 0x100D,     // get: int32, 1 or 0
    PLAYER_PARAM_HAS_AUDIO = 0x100E,     // get: int32, 1 or 0
    PLAYER_PARAM_SAMPLE_RATE = 0x100F,   // get: int32 hertz, 0 without sound
    PLAYER_PARAM_CHANNELS = 0x1010,      // get: int32, 0 without sound
    PLAYER_PARAM_OPTION_3001 = 0x3001,   // set: int32, accepted without effect
};

extern "C" {
// `path` in the ANSI code page.
int __cdecl player_open(const char* path, HWND window);
// Stops playing, destroys the child window and closes the file.
int __cdecl player_close(int player);
// Plays on; at the end, plays again from the start.
int __cdecl player_play(int player);
int __cdecl player_pause(int player);
// Milliseconds as a signed 64-bit value in two words; clamped to [0, length].
int __cdecl player_seek(int player, unsigned int low, int high, int reserved);
// Places the picture in that client rectangle of the window; index 0 or 1.
int __cdecl player_setrect(int player, int index, int left, int top, int right, int bottom);
// Not offered: answers -1.
int __cdecl player_snapshot(void);
// 0 when the id is known (the value is taken or filled), else -1 with
// *value unchanged.
int __cdecl player_setparam(int player, int id, void* value);
int __cdecl player_getparam(int player, int id, void* value);
}
