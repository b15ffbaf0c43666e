// CPkWorkerPool: the threads the library compresses and inflates on. Jobs are
// queued by one thread (the one that drives the archive) and run in any order
// on the pool's threads; that thread then waits for each job by its ticket,
// in whatever order it writes results. Jobs must not throw.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <set>
#include <vector>

class CPkWorkerPool {
public:
    // `threads` <= 0: one thread per core this process may run on.
    explicit CPkWorkerPool(int threads);
    // Runs what is still queued, then ends the threads.
    ~CPkWorkerPool();
    CPkWorkerPool(const CPkWorkerPool&) = delete;
    CPkWorkerPool& operator=(const CPkWorkerPool&) = delete;

    // Queues a job; tickets ascend from 0. Without threads the job runs at once.
    uint64_t Submit(std::function<void()> job);
    // Waits until the job of this ticket has run.
    void Wait(uint64_t ticket);
    int GetThreadCount() const { return (int)m_threads.size(); }

private:
    static DWORD WINAPI ThreadMain(void* self);
    void Loop();

    // Guarded by m_lock: the queue, the finished tickets, the stop request.
    CRITICAL_SECTION m_lock;
    CONDITION_VARIABLE m_queued;
    CONDITION_VARIABLE m_finished;
    std::deque<std::pair<uint64_t, std::function<void()>>> m_queue;
    std::set<uint64_t> m_done;
    uint64_t m_nextTicket = 0;
    bool m_stopping = false;
    std::vector<HANDLE> m_threads;
};
