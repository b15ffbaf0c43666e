// Helpers of the application shell's window tests: pictures of windows
// counted by colour, dialogs of this thread, shell item lists of paths.
#pragma once

#include "tests/QvTest.h"

#include "framework/CWnd.h"

#include <shlobj.h>

#include <functional>
#include <map>

namespace qvtest {

// The colours of a picture and how many pixels have each.
using ColourCounts = std::map<COLORREF, int>;

// Draws the client area of `window` into a bitmap (WM_PRINTCLIENT, so the
// picture does not depend on what covers the window on the screen) and
// counts its colours.
inline ColourCounts CountClientColours(HWND window)
{
    RECT client;
    ::GetClientRect(window, &client);
    int width = client.right, height = client.bottom;
    ColourCounts counts;
    if (width <= 0 || height <= 0)
        return counts;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::SendMessageW(window, WM_PRINTCLIENT, (WPARAM)memory, PRF_CLIENT | PRF_ERASEBKGND);
    ::GdiFlush();
    const uint32_t* pixels = (const uint32_t*)bits;
    for (int i = 0; i < width * height; ++i) {
        uint32_t p = pixels[i];
        ++counts[RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF)];
    }
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return counts;
}

inline int CountOf(const ColourCounts& counts, COLORREF colour)
{
    auto found = counts.find(colour);
    return found == counts.end() ? 0 : found->second;
}

struct ThreadWindowSearch {
    const WCHAR* title;
    HWND found;
};

inline BOOL CALLBACK MatchThreadWindow(HWND hwnd, LPARAM param)
{
    auto* search = (ThreadWindowSearch*)param;
    CString text;
    CWnd::GetWindowTextOf(hwnd, text);
    if (::IsWindowVisible(hwnd) && text == search->title) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level window of this thread with the title, or null.
inline HWND FindThreadWindow(const WCHAR* title)
{
    ThreadWindowSearch search = {title, nullptr};
    ::EnumThreadWindows(::GetCurrentThreadId(), MatchThreadWindow, (LPARAM)&search);
    return search.found;
}

// The shell's item list of a path (freed with CoTaskMemFree), or null.
inline LPITEMIDLIST PidlOfPath(const CString& path)
{
    LPITEMIDLIST pidl = nullptr;
    if (FAILED(::SHParseDisplayName(path, nullptr, &pidl, 0, nullptr)))
        return nullptr;
    return pidl;
}

// Owns an item list.
class Pidl {
public:
    explicit Pidl(const CString& path) : m_pidl(PidlOfPath(path)) {}
    ~Pidl() { ::CoTaskMemFree(m_pidl); }
    Pidl(const Pidl&) = delete;
    Pidl& operator=(const Pidl&) = delete;
    LPITEMIDLIST get() const { return m_pidl; }

private:
    LPITEMIDLIST m_pidl;
};

// Runs `step` from a thread timer every 20 ms until it returns true (or 10 s
// pass); the timer fires inside any message loop of this thread, modal ones
// included. Returns the timer, to be killed by the caller.
class TimerScript {
public:
    explicit TimerScript(std::function<bool()> step) : m_step(std::move(step)), m_deadline(GetTickCount() + 10000)
    {
        s_current = this;
        m_timer = ::SetTimer(nullptr, 0, 20, Tick);
    }
    ~TimerScript()
    {
        ::KillTimer(nullptr, m_timer);
        s_current = nullptr;
    }
    TimerScript(const TimerScript&) = delete;
    TimerScript& operator=(const TimerScript&) = delete;
    bool Done() const { return m_done; }
    bool TimedOut() const { return m_timedOut; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        TimerScript* script = s_current;
        if (!script || script->m_done || script->m_running)
            return;
        if ((LONG)(GetTickCount() - script->m_deadline) > 0) {
            script->m_timedOut = true;
            script->m_done = true;
            return;
        }
        script->m_running = true;
        script->m_done = script->m_step();
        script->m_running = false;
    }

    static inline TimerScript* s_current = nullptr;
    std::function<bool()> m_step;
    DWORD m_deadline;
    UINT_PTR m_timer = 0;
    bool m_done = false;
    bool m_timedOut = false;
    bool m_running = false;
};

}  // namespace qvtest
