#include "crypt/WorkerThread.h"

CWorkerThread::CWorkerThread()
{
    InitializeCriticalSection(&m_lock);
    InitializeConditionVariable(&m_changed);
}

CWorkerThread::~CWorkerThread()
{
    if (m_thread) {
        EnterCriticalSection(&m_lock);
        m_stopping = true;
        WakeAllConditionVariable(&m_changed);
        LeaveCriticalSection(&m_lock);
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
    }
    DeleteCriticalSection(&m_lock);
}

bool CWorkerThread::Start()
{
    m_thread = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
    return m_thread != nullptr;
}

void CWorkerThread::Run(std::function<void()> job)
{
    if (!m_thread) {
        job();
        return;
    }
    EnterCriticalSection(&m_lock);
    while (m_pending)
        SleepConditionVariableCS(&m_changed, &m_lock, INFINITE);
    m_job = std::move(job);
    m_pending = true;
    WakeAllConditionVariable(&m_changed);
    LeaveCriticalSection(&m_lock);
}

void CWorkerThread::Wait()
{
    EnterCriticalSection(&m_lock);
    while (m_pending)
        SleepConditionVariableCS(&m_changed, &m_lock, INFINITE);
    LeaveCriticalSection(&m_lock);
}

DWORD WINAPI CWorkerThread::ThreadMain(void* self)
{
    static_cast<CWorkerThread*>(self)->Loop();
    return 0;
}

void CWorkerThread::Loop()
{
    EnterCriticalSection(&m_lock);
    for (;;) {
        while (!m_pending && !m_stopping)
            SleepConditionVariableCS(&m_changed, &m_lock, INFINITE);
        if (!m_pending)
            break;
        LeaveCriticalSection(&m_lock);
        m_job();
        EnterCriticalSection(&m_lock);
        m_job = nullptr;
        m_pending = false;
        WakeAllConditionVariable(&m_changed);
    }
    LeaveCriticalSection(&m_lock);
}
