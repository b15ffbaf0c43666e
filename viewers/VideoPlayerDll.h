// VideoPlayerDll: loads the player library "tarvio-6.dll" from the
// program's folder at run time, resolves its nine entry points by name and
// forwards calls to the one player that is open in the process. Without the
// library every operation does nothing; callers test IsLoaded before they
// offer playback.
//
// The player handle belongs to all VideoPlayerDll objects together: there is
// at most one open player in the process. UI thread only; the handle is
// shared without a lock.
#pragma once

#include "framework/base/CString.h"

#include <windows.h>

#include <cstdint>
#include <string>

class VideoPlayerDll {
public:
    // Parameter ids of GetParam / SetParam.
    enum Param {
        PARAM_LENGTH = 0x1000,    // get: int64 milliseconds
        PARAM_POSITION = 0x1001,  // get: int64 milliseconds
        PARAM_OPTION_1005 = 0x1005,
        PARAM_VOLUME = 0x1006,    // get and set: int32 percent
        PARAM_INFO_FIRST = 0x100B,  // 0x100B to 0x1010: get, int32
        PARAM_INFO_LAST = 0x1010,
        PARAM_OPTION_3001 = 0x3001,
    };
    static const WCHAR kLibraryName[];

    VideoPlayerDll() = default;
    // Unloads.
    ~VideoPlayerDll();
    VideoPlayerDll(const VideoPlayerDll&) = delete;
    VideoPlayerDll& operator=(const VideoPlayerDll&) = delete;

    // Loads the library from the running program's folder: 1 when it is
    // loaded (also when it was before), 0 when it is missing or does not load.
    int Load();
    // The same with the library beside `programPath` instead.
    int LoadBeside(const CString& programPath);
    // The same with the library file at `libraryPath` (a library of another
    // name that offers the same entry points serves the window's tests).
    int LoadFile(const CString& libraryPath);
    // Closes the player, then frees the library.
    void Unload();
    bool IsLoaded() const { return m_module != nullptr; }
    bool LoadFailed() const { return m_loadFailed != 0; }
    static bool IsPlayerOpen() { return s_player != 0; }
    bool IsPaused() const { return m_paused != 0; }
    static bool FileExists(const CString& path);

    // Closes an open player and opens `ansiPath` in `window`; the new handle (0: none).
    int OpenPlayer(const char* ansiPath, HWND window);
    void ClosePlayer();
    void Play();
    void Pause();
    // A signed 64-bit count of milliseconds as its low and high words, then 0.
    void Seek(uint32_t low, uint32_t high, uint32_t reserved);
    void SetRect(int index, int left, int top, int right, int bottom);
    void SetParam(int id, void* value);
    // Leaves *value as it was when the library does not fill it.
    void GetParam(int id, void* value);
    // The picture of both rectangles placed in `area`.
    void SetVideoRect(const RECT& area);
    // Plays `path` in `window` (may be null) at `area`: closes an open player,
    // opens the file, sets the options a video starts with, places it and plays.
    void OpenVideo(const CString& path, HWND window, const RECT& area);

    // The whole path of a module's file, however long (null: the program).
    static CString ModuleFileName(HMODULE module);
    // `path` in the ANSI code page for player_open. When the code page cannot
    // hold every character, the short form of the path (which the system
    // makes of plain letters) is converted instead.
    static std::string AnsiPathForPlayer(const CString& path);

private:
    typedef int(__cdecl* OpenFunction)(const char*, HWND);
    typedef int(__cdecl* HandleFunction)(int);
    typedef int(__cdecl* SeekFunction)(int, uint32_t, uint32_t, uint32_t);
    typedef int(__cdecl* RectFunction)(int, int, int, int, int, int);
    typedef int(__cdecl* SnapshotFunction)();
    typedef int(__cdecl* ParamFunction)(int, int, void*);

    void ResolveEntryPoints();

    int m_loadFailed = 0;
    HMODULE m_module = nullptr;
    OpenFunction m_open = nullptr;
    HandleFunction m_close = nullptr;
    HandleFunction m_play = nullptr;
    HandleFunction m_pause = nullptr;
    SeekFunction m_seek = nullptr;
    RectFunction m_setRect = nullptr;
    SnapshotFunction m_snapshot = nullptr;  // resolved, never called
    ParamFunction m_setParam = nullptr;
    ParamFunction m_getParam = nullptr;
    int m_paused = 1;

    static int s_player;  // the process's one player handle, 0 for none
};
