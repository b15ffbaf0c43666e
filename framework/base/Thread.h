// CThread: the program's worker-thread base. A class that needs a background
// thread derives from it, overrides Run with the thread body and calls Start
// and Stop. Threads report to the user interface with synchronous window
// messages, so every wait here keeps dispatching the waiting thread's
// messages; a plain blocking wait would deadlock with such a thread.
//
// Threads are made with CreateThread: only threads the system knows may call
// it (a bare pthread is not one).
#pragma once

#include <windows.h>

#include <atomic>

class CThread {
public:
    CThread() = default;
    // Stops a thread that still runs (as this class's Stop: the derived parts
    // are gone by then, so a derived class stops its thread in its own destructor).
    virtual ~CThread();
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // Starts a new thread running Run, stopping a running one first. True
    // when the thread was created.
    virtual bool Start();
    // Sets the stop request and waits up to 3000 ms (pumping); then
    // terminates the thread with exit code 1. True when it ended by itself.
    virtual bool Stop();
    // The thread body.
    virtual void Run() = 0;

    bool IsRunning() const { return m_hThread.load() != nullptr; }
    // Waits (pumping) up to `milliseconds` for the thread to end: false when
    // it has ended, true on time-out.
    bool WaitForExit(DWORD milliseconds);

    // The running indicator: the thread's handle while it runs, cleared by the
    // thread itself when Run returns (or by Stop after a termination).
    std::atomic<HANDLE> m_hThread{nullptr};
    DWORD m_dwThreadId = 0;
    // The stop request: Start clears it, Stop sets it; loops of thread bodies test it.
    std::atomic<BYTE> m_bStop{0};

private:
    static DWORD WINAPI ThreadEntry(void* object);
    void CloseEndedHandle();

    // The handle kept apart from the running indicator, so it can be closed
    // once the thread has ended (at the next Start or at destruction).
    HANDLE m_hOwnedHandle = nullptr;
};

// Waits until the handle slot holds 0 or its thread has ended (false), or until
// `milliseconds` have passed (true), dispatching the calling thread's window
// messages meanwhile. Exceptions thrown by message handlers are swallowed.
bool WaitForThreadPumping(const std::atomic<HANDLE>* slot, DWORD milliseconds);
