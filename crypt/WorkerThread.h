// CWorkerThread: runs one job at a time on a thread of its own, so that the
// engine checksums or enciphers one part of a chunk while its own thread does
// another. A job's data must stay as it is until the job is done (Wait).
#pragma once

#include <windows.h>

#include <functional>

class CWorkerThread {
public:
    CWorkerThread();
    // Waits for the running job and ends the thread.
    ~CWorkerThread();
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    // False when the thread cannot be made; Run then does the job at once.
    bool Start();
    // Waits until the previous job is done, then hands this one over.
    void Run(std::function<void()> job);
    // Waits until the job handed over last is done.
    void Wait();

private:
    static DWORD WINAPI ThreadMain(void* self);
    void Loop();

    std::function<void()> m_job;
    bool m_pending = false;
    bool m_stopping = false;
    HANDLE m_thread = nullptr;
    CRITICAL_SECTION m_lock;
    CONDITION_VARIABLE m_changed;
};
