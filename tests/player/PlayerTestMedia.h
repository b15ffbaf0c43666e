// What the player tests share: media files made once per test program with
// the ffmpeg command (2 s of test pattern at 160x120 with a tone, in three
// containers; a sound file; files that cannot play), their lengths and
// pictures as ffprobe and ffmpeg give them, the library loaded by full path
// from the program's folder, a host window, and screen captures.
#pragma once

#include "tests/QvTest.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace playertest {

// Runs a command line of the host system's shell; its exit status.
int RunHost(const std::string& command);

class Media {
public:
    // Makes the files on first use; an empty folder when ffmpeg failed.
    static const Media& Get();
    bool Ready() const { return m_ready; }
    CString Path(const char* name) const;
    // The path in the ANSI code page, as player_open takes it.
    std::string AnsiPath(const char* name) const;
    std::string UnixPath(const char* name) const { return m_unixFolder + "/" + name; }
    // The length ffprobe states for the file, in milliseconds (-1 on failure).
    int64_t ProbedLengthMs(const char* name) const;
    // Picture `index` of the file scaled by ffmpeg to width x height, 32-bit BGRA rows.
    std::vector<uint8_t> ReferencePicture(const char* name, int index, int width, int height) const;
    void Remove() const;

private:
    Media();
    std::string m_unixFolder;
    bool m_ready = false;
};

// The library's nine entry points, loaded once by full path.
struct PlayerLibrary {
    typedef int(__cdecl* OpenFunction)(const char*, HWND);
    typedef int(__cdecl* HandleFunction)(int);
    typedef int(__cdecl* SeekFunction)(int, unsigned int, int, int);
    typedef int(__cdecl* RectFunction)(int, int, int, int, int, int);
    typedef int(__cdecl* SnapshotFunction)();
    typedef int(__cdecl* ParamFunction)(int, int, void*);

    HMODULE module = nullptr;
    OpenFunction open = nullptr;
    HandleFunction close = nullptr, play = nullptr, pause = nullptr;
    SeekFunction seek = nullptr;
    RectFunction setrect = nullptr;
    SnapshotFunction snapshot = nullptr;
    ParamFunction setparam = nullptr, getparam = nullptr;

    static const PlayerLibrary& Get();
    int64_t Length(int player) const;
    int64_t Position(int player) const;
    int SeekTo(int player, int64_t ms) const;
};

// The folder of the running program, ending in "\".
CString ProgramFolder();

// Dispatches this thread's messages until `done` holds or `milliseconds` pass.
bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds);

// A visible top-level window painted magenta, client area width x height,
// kept above other windows so screen captures see it; destroyed with the object.
class HostWindow {
public:
    static const COLORREF kBackground = RGB(255, 0, 255);
    HostWindow(int width, int height);
    ~HostWindow();
    HWND Handle() const { return m_window; }
    // The player's child window inside, or null.
    HWND VideoChild() const;

private:
    HWND m_window = nullptr;
};

// The pixels drawn in a client rectangle of `window`, 32-bit BGRX rows.
std::vector<uint8_t> CaptureClient(HWND window, const RECT& area);
// Mean absolute difference of the colour channels of two same-sized BGRX
// pictures; a picture of `width` pixels a row, compared in `area` of `a`
// against all of `b`.
double MeanDifference(const std::vector<uint8_t>& a, int aWidth, const RECT& area, const std::vector<uint8_t>& b);
// Whether every pixel of `area` in a capture of `width` pixels a row is `colour`.
bool AreaIs(const std::vector<uint8_t>& capture, int width, const RECT& area, COLORREF colour);

}  // namespace playertest
