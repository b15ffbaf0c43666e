// A player thread made with CreateThread that runs one function; Join waits
// for it to end. The function itself watches its owner's stop flag.
// Unlike the framework's CThread, the wait dispatches no messages and never
// terminates the thread: the player's threads send no messages, and a
// pumped wait would let the caller's window call into the library again
// while a player closes.
#pragma once

#include <windows.h>

#include <functional>

class WorkerThread {
public:
    WorkerThread() = default;
    ~WorkerThread() { Join(); }
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    bool Start(std::function<void()> body);
    // Waits until the thread has ended; nothing when it never started.
    void Join();

private:
    static DWORD WINAPI Run(void* self);

    std::function<void()> m_body;
    HANDLE m_thread = nullptr;
};
