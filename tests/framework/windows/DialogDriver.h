// Driving real windows from tests: RunModal starts a modal dialog and runs a
// script inside the dialog's own message loop once the dialog is on screen;
// the script types, clicks and reads controls as a user would (the helpers
// take any window, a CWnd or a bare handle). Message boxes are captured
// (MessageBoxCapture) instead of shown; keys are held through the keyboard
// state (KeyboardState); lists are searched and selected by their items' texts.
#pragma once

#include "tests/QvTest.h"

#include "framework/windows/AfxMessageBox.h"
#include "framework/windows/CDialog.h"
#include "framework/windows/CListCtrl.h"
#include "framework/windows/CWinApp.h"
#include "framework/base/MessagePump.h"

#include <functional>
#include <initializer_list>
#include <vector>

namespace qvtest {

struct ModalRun {
    CDialog* dialog;
    std::function<void()> script;
    DWORD deadline;
    bool started = false;
    bool timedOut = false;
};

inline thread_local ModalRun* t_modalRun = nullptr;

inline void CALLBACK ModalTick(HWND, UINT, UINT_PTR, DWORD)
{
    ModalRun* run = t_modalRun;
    if (!run)
        return;
    HWND hwnd = run->dialog->m_hWnd;
    if (!run->started) {
        if (hwnd && ::IsWindowVisible(hwnd)) {
            run->started = true;
            run->script();
        }
    } else if (hwnd && (LONG)(GetTickCount() - run->deadline) > 0) {
        run->timedOut = true;
        run->dialog->EndDialog(IDABORT);
    }
}

// Runs dialog.DoModal(); `script` runs once the dialog is visible and is
// expected to close it. A dialog still open after `timeoutMs` is ended with
// IDABORT and the test fails.
inline INT_PTR RunModal(CDialog& dialog, std::function<void()> script, DWORD timeoutMs = 10000)
{
    ModalRun run{&dialog, std::move(script), GetTickCount() + timeoutMs};
    ModalRun* previous = t_modalRun;
    t_modalRun = &run;
    UINT_PTR timer = ::SetTimer(nullptr, 0, 10, ModalTick);
    INT_PTR result = dialog.DoModal();
    ::KillTimer(nullptr, timer);
    t_modalRun = previous;
    EXPECT_FALSE(run.timedOut) << "the script left the dialog open";
    EXPECT_FALSE(run.started == false && result != -1) << "the dialog ended before it was shown";
    return result;
}

// Dispatches this thread's messages for a while.
inline void PumpFor(DWORD milliseconds)
{
    DWORD start = GetTickCount();
    do {
        PumpPendingMessages();
        Sleep(1);
    } while (GetTickCount() - start < milliseconds);
}

// A sync point: dispatches this thread's messages until a marker posted now
// comes out of the queue, so that everything posted before it (and what was
// sent meanwhile) has been handled. At most 10 s.
inline void PumpPostedSoFar()
{
    const UINT marker = ::RegisterWindowMessageW(L"QvTest posted-so-far marker");
    ::PostThreadMessageW(::GetCurrentThreadId(), marker, 0, 0);
    for (DWORD start = GetTickCount(); GetTickCount() - start < 10000;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.hwnd == nullptr && msg.message == marker)
                return;
            if (msg.message == WM_QUIT) {
                ::PostQuitMessage((int)msg.wParam);
                return;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// Dispatches messages until `done` holds or `milliseconds` pass; the last answer.
inline bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds)
{
    DWORD deadline = GetTickCount() + milliseconds;
    while (!done()) {
        if ((LONG)(GetTickCount() - deadline) > 0)
            return false;
        PumpFor(10);
    }
    return true;
}

// Closes the application's main window as the user does and takes back the
// quit message its end leaves for the program's loop.
inline void CloseMainWindow(CWinApp& app)
{
    if (app.m_pMainWnd)
        app.m_pMainWnd->SendMessage(WM_CLOSE);
    PumpPendingMessages();
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

inline HWND Item(HWND dialog, int id) { return ::GetDlgItem(dialog, id); }

// A click of the user on a button, check box or radio button.
inline void Click(HWND dialog, int id) { ::SendMessageW(Item(dialog, id), BM_CLICK, 0, 0); }

// Replaces an edit field's text, which the control reports with EN_CHANGE.
inline void SetText(HWND dialog, int id, const WCHAR* text) { ::SetWindowTextW(Item(dialog, id), text); }

// Types one character at the end of an edit field.
inline void TypeChar(HWND dialog, int id, WCHAR ch)
{
    HWND edit = Item(dialog, id);
    int end = ::GetWindowTextLengthW(edit);
    ::SendMessageW(edit, EM_SETSEL, (WPARAM)end, end);
    ::SendMessageW(edit, WM_CHAR, ch, 1);
}

inline CString Text(HWND dialog, int id)
{
    CString text;
    CWnd::GetWindowTextOf(Item(dialog, id), text);
    return text;
}

// Whether the control has all the style bits of `style`.
inline bool HasStyle(HWND dialog, int id, LONG_PTR style)
{
    return (::GetWindowLongPtrW(Item(dialog, id), GWL_STYLE) & style) == style;
}
inline bool Visible(HWND dialog, int id) { return HasStyle(dialog, id, WS_VISIBLE); }
inline bool Enabled(HWND dialog, int id) { return ::IsWindowEnabled(Item(dialog, id)) != FALSE; }
inline int Checked(HWND dialog, int id) { return (int)::SendMessageW(Item(dialog, id), BM_GETCHECK, 0, 0); }

// The list's item whose first column reads `text`, or -1.
inline int FindListItem(const CListCtrl& list, const CString& text)
{
    for (int i = 0; i < list.GetItemCount(); ++i) {
        if (list.GetItemText(i, 0) == text)
            return i;
    }
    return -1;
}

// The texts of the list's first column, top to bottom.
inline std::vector<CString> ListItemTexts(const CListCtrl& list)
{
    std::vector<CString> texts;
    for (int i = 0; i < list.GetItemCount(); ++i)
        texts.push_back(list.GetItemText(i, 0));
    return texts;
}

// Selects and focuses the items, and only them, as clicks with Ctrl do.
inline void SelectOnly(CListCtrl& list, std::initializer_list<int> items)
{
    list.SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (int item : items)
        list.SetItemState(item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

// This thread's keyboard state as the program reads it (GetKeyState), with
// keys held or toggled while the object lives; restored at its end.
class KeyboardState {
public:
    KeyboardState() { ::GetKeyboardState(m_saved); }
    ~KeyboardState() { Restore(); }
    KeyboardState(const KeyboardState&) = delete;
    KeyboardState& operator=(const KeyboardState&) = delete;

    // 0x80 holds a key down, 0x01 toggles it on (Caps Lock), 0 releases it.
    void Set(int key, BYTE state)
    {
        BYTE keys[256];
        ::GetKeyboardState(keys);
        keys[key] = state;
        ::SetKeyboardState(keys);
    }
    void Restore() { ::SetKeyboardState(m_saved); }

private:
    BYTE m_saved[256] = {};
};

// Caps Lock as the user presses it (simulated key strokes). Its state is
// shared by every program on the display, so a test that changes it holds
// this session, which keeps other such tests out (a named mutex) and leaves
// Caps Lock off at its end.
class CapsLockSession {
public:
    CapsLockSession() : m_mutex(::CreateMutexW(nullptr, FALSE, L"QuorvexTestCapsLock"))
    {
        ::WaitForSingleObject(m_mutex, 60000);
    }
    ~CapsLockSession()
    {
        Set(false);
        ::ReleaseMutex(m_mutex);
        ::CloseHandle(m_mutex);
    }
    CapsLockSession(const CapsLockSession&) = delete;
    CapsLockSession& operator=(const CapsLockSession&) = delete;

    static bool IsOn() { return (::GetKeyState(VK_CAPITAL) & 1) != 0; }
    // Presses the key until Caps Lock is in the wanted state; false when it
    // does not follow.
    bool Set(bool on)
    {
        for (int attempt = 0; attempt < 3 && IsOn() != on; ++attempt) {
            keybd_event(VK_CAPITAL, 0x3a, 0, 0);
            keybd_event(VK_CAPITAL, 0x3a, KEYEVENTF_KEYUP, 0);
            for (int i = 0; i < 100 && IsOn() != on; ++i)
                PumpFor(5);
        }
        return IsOn() == on;
    }

private:
    HANDLE m_mutex;
};

// Captures every message box while it lives, answering each with `answer`.
class MessageBoxCapture {
public:
    explicit MessageBoxCapture(int answer = IDOK)
    {
        m_previous = AfxSetMessageBoxHook([this, answer](HWND, const CString& text, const CString& caption, UINT type) {
            texts.push_back(text);
            captions.push_back(caption);
            types.push_back(type);
            return answer;
        });
    }
    ~MessageBoxCapture() { AfxSetMessageBoxHook(std::move(m_previous)); }
    MessageBoxCapture(const MessageBoxCapture&) = delete;
    MessageBoxCapture& operator=(const MessageBoxCapture&) = delete;

    std::vector<CString> texts;
    std::vector<CString> captions;
    std::vector<UINT> types;

private:
    MessageBoxHook m_previous;
};

}  // namespace qvtest
