// CUiThreadCall: lets a worker have work done on the thread that made this
// object (the user-interface thread) and wait until it is done. The document
// uses it for the changes that only that thread may make: the password and
// the key state.
//
// The work travels as a synchronous message to a message-only window, so the
// owning thread runs it wherever it dispatches messages, the pumping waits for
// the worker included. Called on the owning thread, the work runs at once.
#pragma once

#include <windows.h>

#include <functional>

class CUiThreadCall {
public:
    // On the thread that is to run the work.
    CUiThreadCall();
    ~CUiThreadCall();
    CUiThreadCall(const CUiThreadCall&) = delete;
    CUiThreadCall& operator=(const CUiThreadCall&) = delete;

    // Runs `work` on the owning thread and returns when it has run.
    void Run(const std::function<void()>& work) const;
    bool IsOwningThread() const { return ::GetCurrentThreadId() == m_threadId; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    DWORD m_threadId;
    HWND m_hWnd = nullptr;
};
