// Helpers of the application shell's window tests: pictures of windows
// counted by colour, top-level windows of this thread, shell item lists of
// paths, the temporary folder moved aside, and the job reports and the job
// log as the main window sees them.
#pragma once

#include "tests/QvTest.h"

#include "app/ColorListBox.h"
#include "app/LogDlg.h"
#include "doc/JobProtocol.h"
#include "framework/windows/CDC.h"
#include "framework/windows/CWnd.h"

#include <shlobj.h>

#include <functional>
#include <map>
#include <set>
#include <utility>

namespace qvtest {

// The colour of a pixel of a 32-bit bitmap (blue in the low byte).
inline COLORREF PixelColour(uint32_t pixel) { return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF); }

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
    CDC memory;
    memory.CreateCompatibleDC(nullptr);
    CBitmap bitmap;
    void* bits = nullptr;
    bitmap.CreateDibSection32(width, height, &bits);
    HGDIOBJ old = memory.SelectObject(&bitmap);
    ::SendMessageW(window, WM_PRINTCLIENT, (WPARAM)memory.m_hDC, PRF_CLIENT | PRF_ERASEBKGND);
    ::GdiFlush();
    const uint32_t* pixels = (const uint32_t*)bits;
    for (int i = 0; i < width * height; ++i)
        ++counts[PixelColour(pixels[i])];
    memory.SelectObject(old);
    return counts;
}

inline int CountOf(const ColourCounts& counts, COLORREF colour)
{
    auto found = counts.find(colour);
    return found == counts.end() ? 0 : found->second;
}

struct ThreadWindowSearch {
    const std::function<bool(HWND)>* matches;
    HWND found;
};

inline BOOL CALLBACK MatchThreadWindow(HWND hwnd, LPARAM param)
{
    auto* search = (ThreadWindowSearch*)param;
    if (::IsWindowVisible(hwnd) && (*search->matches)(hwnd)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The first visible top-level window of this thread that `matches`, or null.
inline HWND FindThreadWindowWhere(const std::function<bool(HWND)>& matches)
{
    ThreadWindowSearch search = {&matches, nullptr};
    ::EnumThreadWindows(::GetCurrentThreadId(), MatchThreadWindow, (LPARAM)&search);
    return search.found;
}

// A visible top-level window of this thread with the title, or null.
inline HWND FindThreadWindow(const WCHAR* title)
{
    return FindThreadWindowWhere([title](HWND hwnd) {
        CString text;
        CWnd::GetWindowTextOf(hwnd, text);
        return text == title;
    });
}

// A visible, enabled top-level window of this thread of the class, or null.
inline HWND ThreadWindowOfClass(const WCHAR* className)
{
    return FindThreadWindowWhere([className](HWND hwnd) {
        WCHAR name[32] = {};
        ::GetClassNameW(hwnd, name, 32);
        return ::IsWindowEnabled(hwnd) && CString(name) == className;
    });
}

// The job log dialog shown now, or null.
inline CLogDlg* ShownLogDialog() { return dynamic_cast<CLogDlg*>(CWnd::FromHandlePermanent(FindThreadWindow(L"Log"))); }

// Closes the job log dialog when it shows; whether it did.
inline bool CloseShownLogDialog()
{
    CLogDlg* log = ShownLogDialog();
    if (log)
        log->EndDialog(IDOK);
    return log != nullptr;
}

// The colours (text, background) of a stored log line.
inline std::pair<int, int> LogLineColours(const CString& encoded)
{
    int text = -1, background = -1;
    CString line;
    CColorListBox::DecodeLine(encoded, text, background, line);
    return {text, background};
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

// The names of the files (not folders) a pattern such as "C:\\dir\\ENC*" matches.
inline std::set<CString> FileNamesMatching(const CString& pattern)
{
    std::set<CString> names;
    WIN32_FIND_DATAW found = {};
    HANDLE search = ::FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.insert(found.cFileName);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return names;
}

// The user's temporary folder (TMP) moved to a folder of the test alone
// while the object lives, so that the copies and temporary files the
// program makes can be counted and never mix with other programs'.
class MovedTempFolder {
public:
    MovedTempFolder()
    {
        WCHAR saved[MAX_PATH] = {};
        ::GetEnvironmentVariableW(L"TMP", saved, MAX_PATH);
        m_saved = saved;
        ::SetEnvironmentVariableW(L"TMP", m_folder.Path());
    }
    ~MovedTempFolder() { ::SetEnvironmentVariableW(L"TMP", m_saved.IsEmpty() ? nullptr : m_saved.GetString()); }
    MovedTempFolder(const MovedTempFolder&) = delete;
    MovedTempFolder& operator=(const MovedTempFolder&) = delete;

    const CString& Path() const { return m_folder.Path(); }
    CString operator/(const CString& name) const { return m_folder / name; }

private:
    TempFolder m_folder;
    CString m_saved;
};

// Sees every job report (UWM_JOB_PROGRESS) the main window receives while
// it lives: `before` runs before the window handles it, `after` once it has.
class JobReportSpy {
public:
    using Hook = std::function<void(const JobReport& report)>;

    explicit JobReportSpy(HWND frame) : m_frame(frame)
    {
        s_current = this;
        m_previous = (WNDPROC)::SetWindowLongPtrW(frame, GWLP_WNDPROC, (LONG_PTR)Proc);
    }
    ~JobReportSpy()
    {
        ::SetWindowLongPtrW(m_frame, GWLP_WNDPROC, (LONG_PTR)m_previous);
        s_current = nullptr;
    }
    JobReportSpy(const JobReportSpy&) = delete;
    JobReportSpy& operator=(const JobReportSpy&) = delete;

    Hook before;
    Hook after;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        JobReportSpy* spy = s_current;
        bool report = message == UWM_JOB_PROGRESS;
        if (report && spy->before)
            spy->before(ReportOf(lParam));
        LRESULT result = ::CallWindowProcW(spy->m_previous, hwnd, message, wParam, lParam);
        if (report && spy->after)
            spy->after(ReportOf(lParam));
        return result;
    }

    static inline JobReportSpy* s_current = nullptr;
    HWND m_frame;
    WNDPROC m_previous = nullptr;
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
