#include "player/WorkerThread.h"

bool WorkerThread::Start(std::function<void()> body)
{
    m_body = std::move(body);
    m_thread = CreateThread(nullptr, 0, &WorkerThread::Run, this, 0, nullptr);
    return m_thread != nullptr;
}

void WorkerThread::Join()
{
    if (!m_thread)
        return;
    WaitForSingleObject(m_thread, INFINITE);
    CloseHandle(m_thread);
    m_thread = nullptr;
}

DWORD WINAPI WorkerThread::Run(void* self)
{
    try {
        static_cast<WorkerThread*>(self)->m_body();
    } catch (...) {
        // A failed thread ends quietly; the session sees its work stop.
    }
    return 0;
}
