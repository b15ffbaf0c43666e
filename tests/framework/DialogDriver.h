// Driving real dialogs from tests: RunModal starts a modal dialog and runs a
// script inside the dialog's own message loop once the dialog is on screen;
// the script types, clicks and reads controls as a user would. Message boxes
// are captured (MessageBoxCapture) instead of shown.
#pragma once

#include "tests/QvTest.h"

#include "framework/AfxMessageBox.h"
#include "framework/CDialog.h"
#include "framework/MessagePump.h"

#include <functional>
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

inline HWND Item(const CWnd& dialog, int id) { return ::GetDlgItem(dialog.m_hWnd, id); }

// A click of the user on a button, check box or radio button.
inline void Click(const CWnd& dialog, int id) { ::SendMessageW(Item(dialog, id), BM_CLICK, 0, 0); }

// Replaces an edit field's text, which the control reports with EN_CHANGE.
inline void SetText(const CWnd& dialog, int id, const WCHAR* text) { ::SetWindowTextW(Item(dialog, id), text); }

// Types one character at the end of an edit field.
inline void TypeChar(const CWnd& dialog, int id, WCHAR ch)
{
    HWND edit = Item(dialog, id);
    int end = ::GetWindowTextLengthW(edit);
    ::SendMessageW(edit, EM_SETSEL, (WPARAM)end, end);
    ::SendMessageW(edit, WM_CHAR, ch, 1);
}

inline CString Text(const CWnd& dialog, int id)
{
    CString text;
    CWnd::GetWindowTextOf(Item(dialog, id), text);
    return text;
}

inline bool Visible(const CWnd& dialog, int id) { return (::GetWindowLongPtrW(Item(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0; }
inline bool Enabled(const CWnd& dialog, int id) { return ::IsWindowEnabled(Item(dialog, id)) != FALSE; }
inline int Checked(const CWnd& dialog, int id) { return (int)::SendMessageW(Item(dialog, id), BM_GETCHECK, 0, 0); }

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
