#include "zip/PkWorkerPool.h"

#include "framework/base/Processors.h"

CPkWorkerPool::CPkWorkerPool(int threads)
{
    InitializeCriticalSection(&m_lock);
    InitializeConditionVariable(&m_queued);
    InitializeConditionVariable(&m_finished);
    if (threads <= 0)
        threads = (int)UsableProcessorCount();
    for (int i = 0; i < threads; ++i) {
        HANDLE thread = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
        if (thread)
            m_threads.push_back(thread);
    }
}

CPkWorkerPool::~CPkWorkerPool()
{
    EnterCriticalSection(&m_lock);
    m_stopping = true;
    WakeAllConditionVariable(&m_queued);
    LeaveCriticalSection(&m_lock);
    for (HANDLE thread : m_threads) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    DeleteCriticalSection(&m_lock);
}

uint64_t CPkWorkerPool::Submit(std::function<void()> job)
{
    EnterCriticalSection(&m_lock);
    uint64_t ticket = m_nextTicket++;
    if (m_threads.empty()) {
        LeaveCriticalSection(&m_lock);
        job();
        EnterCriticalSection(&m_lock);
        m_done.insert(ticket);
    } else {
        m_queue.emplace_back(ticket, std::move(job));
        WakeConditionVariable(&m_queued);
    }
    LeaveCriticalSection(&m_lock);
    return ticket;
}

void CPkWorkerPool::Wait(uint64_t ticket)
{
    EnterCriticalSection(&m_lock);
    while (m_done.find(ticket) == m_done.end())
        SleepConditionVariableCS(&m_finished, &m_lock, INFINITE);
    m_done.erase(ticket);
    LeaveCriticalSection(&m_lock);
}

DWORD WINAPI CPkWorkerPool::ThreadMain(void* self)
{
    static_cast<CPkWorkerPool*>(self)->Loop();
    return 0;
}

void CPkWorkerPool::Loop()
{
    EnterCriticalSection(&m_lock);
    for (;;) {
        while (m_queue.empty() && !m_stopping)
            SleepConditionVariableCS(&m_queued, &m_lock, INFINITE);
        if (m_queue.empty())
            break;
        auto job = std::move(m_queue.front());
        m_queue.pop_front();
        LeaveCriticalSection(&m_lock);
        job.second();
        EnterCriticalSection(&m_lock);
        m_done.insert(job.first);
        WakeAllConditionVariable(&m_finished);
    }
    LeaveCriticalSection(&m_lock);
}
