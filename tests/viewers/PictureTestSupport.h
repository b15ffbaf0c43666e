// What the preview, viewer and privacy tests share: message pumping with
// deadlines, a visible host window, reading painted pixels back, the
// fixture pictures, encrypting a picture under a stored plain name, and a
// watch on a thread's exit code (0 when it ended by itself, 1 when it was
// terminated).
#pragma once

#include "tests/QvTest.h"

#include "framework/base/Thread.h"
#include "framework/windows/CWnd.h"
#include "framework/windows/Geometry.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

class CPreviewWnd;

inline std::ostream& operator<<(std::ostream& os, const CSize& size) { return os << size.cx << "x" << size.cy; }
inline std::ostream& operator<<(std::ostream& os, const CRect& r)
{
    return os << r.left << "," << r.top << "," << r.right << "," << r.bottom;
}

namespace picturetest {

const DWORD kDeadlineMs = 10000;

// Dispatches this thread's messages until `done` holds (true) or the time is up (false).
bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds);
// Dispatches this thread's messages for the given time.
void PumpFor(DWORD milliseconds);
// Like PumpFor, but timers stay due: a busy machine that stalls the pump
// cannot make them fire between steps a test means to be quick.
void PumpAllButTimersFor(DWORD milliseconds);

// A visible top-most popup with a client area of width x height at (40, 40).
class PictureHost {
public:
    PictureHost(int width, int height);
    ~PictureHost();
    CWnd* Window() { return &m_window; }

private:
    CWnd m_window;
};

// Creates the preview pane (control 11) with its hidden GIF window (12) in
// the host, sized width x height; false when a window cannot be made.
bool CreatePreviewPane(CPreviewWnd& pane, PictureHost& host, int width, int height);

// The colour the window shows at a client point.
COLORREF PixelAt(HWND window, POINT point);

// A fixture picture's path and bytes.
CString Fixture(const CString& name);
std::string ReadFixture(const char* name);

// The folder of the running test program, ending in "\\".
CString ProgramFolder();

// Installs the key of a fixed test password.
void UseTestKey();
// `bytes` encrypted into `folder` under a random encrypted name, with
// `plainName` stored inside; the plain file is made in `plainFolder` (the
// folder itself when empty) and removed.
CString EncryptAs(const qvtest::TempFolder& folder, const std::string& bytes, const CString& plainName,
                  const CString& plainFolder = CString());

// The unix paths of regular files under `roots` (symbolic links are not
// followed) changed at or after `since` (unix seconds) whose bytes hold any
// of `patterns`.
std::vector<std::string> FilesHolding(const std::vector<std::string>& roots,
                                      const std::vector<std::string>& patterns, long long since);

// Holds a running thread's handle so its exit code can be read after it ended.
class ThreadWatch {
public:
    explicit ThreadWatch(const CThread& thread);
    ~ThreadWatch();
    // Waits (up to the deadline) for the thread and gives its exit code; ~0u when unknown.
    DWORD ExitCode() const;

private:
    HANDLE m_handle = nullptr;
};

}  // namespace picturetest
