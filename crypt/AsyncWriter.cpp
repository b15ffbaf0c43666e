#include "crypt/AsyncWriter.h"

#include <new>

namespace {

class Locked {
public:
    explicit Locked(CRITICAL_SECTION& lock) : m_lock(lock) { EnterCriticalSection(&m_lock); }
    ~Locked() { LeaveCriticalSection(&m_lock); }

private:
    CRITICAL_SECTION& m_lock;
};

}  // namespace

CAsyncWriter::CAsyncWriter(CRawFile& file, size_t bufferSize, int bufferCount)
    : m_file(file), m_bufferSize(bufferSize), m_bufferCount(bufferCount)
{
    InitializeCriticalSection(&m_lock);
    InitializeConditionVariable(&m_changed);
}

CAsyncWriter::~CAsyncWriter()
{
    Stop();
    EndUnbuffered();
    for (uint8_t* buffer : m_all) {
        SecureZeroMemory(buffer, m_bufferSize);
        VirtualFree(buffer, 0, MEM_RELEASE);
    }
    DeleteCriticalSection(&m_lock);
}

bool CAsyncWriter::Start()
{
    for (int i = 0; i < m_bufferCount; ++i) {
        // Page-aligned, as writes around the cache need.
        uint8_t* buffer = (uint8_t*)VirtualAlloc(nullptr, m_bufferSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (!buffer)
            return false;
        m_all.push_back(buffer);
        m_free.push_back(buffer);
    }
    m_thread = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
    return m_thread != nullptr;
}

uint8_t* CAsyncWriter::AcquireBuffer()
{
    Locked locked(m_lock);
    while (m_free.empty() && !m_failed)
        SleepConditionVariableCS(&m_changed, &m_lock, INFINITE);
    if (m_failed)
        return nullptr;
    uint8_t* buffer = m_free.back();
    m_free.pop_back();
    return buffer;
}

void CAsyncWriter::Submit(uint8_t* buffer, size_t count)
{
    Locked locked(m_lock);
    m_queue.push_back(Pending{buffer, count});
    WakeAllConditionVariable(&m_changed);
}

void CAsyncWriter::Release(uint8_t* buffer)
{
    Locked locked(m_lock);
    m_free.push_back(buffer);
    WakeAllConditionVariable(&m_changed);
}

bool CAsyncWriter::Finish()
{
    Locked locked(m_lock);
    while (!m_queue.empty() || m_writing)
        SleepConditionVariableCS(&m_changed, &m_lock, INFINITE);
    // The caller's own writes that may follow go through the cache.
    EndUnbuffered();
    return !m_failed;
}

DWORD WINAPI CAsyncWriter::ThreadMain(void* self)
{
    static_cast<CAsyncWriter*>(self)->WriteLoop();
    return 0;
}

void CAsyncWriter::WriteLoop()
{
    Locked locked(m_lock);
    for (;;) {
        while (m_queue.empty() && !m_stopping)
            SleepConditionVariableCS(&m_changed, &m_lock, INFINITE);
        if (m_queue.empty())
            return;
        Pending next = m_queue.front();
        m_queue.pop_front();
        if (!m_failed) {
            m_writing = true;
            LeaveCriticalSection(&m_lock);
            bool written = WriteOut(next.buffer, next.count);
            EnterCriticalSection(&m_lock);
            m_writing = false;
            m_failed = m_failed || !written;
        }
        m_free.push_back(next.buffer);
        WakeAllConditionVariable(&m_changed);
    }
}

bool CAsyncWriter::WriteOut(const uint8_t* data, size_t count)
{
    const size_t align = CRawFile::UNBUFFERED_ALIGNMENT;
    // The first write lands where the caller's own writes left the pointer.
    if (m_position < 0)
        m_position = m_file.Position();
    size_t aligned = 0;
    if (m_position >= 0 && m_position % align == 0 && (uintptr_t)data % align == 0)
        aligned = count / align * align;
    if (aligned && !m_unbuffered && m_mayUnbuffer)
        m_mayUnbuffer = m_unbuffered = m_file.SetUnbuffered(true);
    size_t done = 0;
    if (aligned && m_unbuffered) {
        done = m_file.Write(data, aligned);
        // Refused (or the disk is full): the rest goes through the cache,
        // which tells the two apart.
        if (done < aligned)
            m_mayUnbuffer = false;
    }
    if (done < count) {
        EndUnbuffered();
        done += m_file.Write(data + done, count - done);
    }
    if (m_position >= 0)
        m_position += (int64_t)done;
    return done == count;
}

void CAsyncWriter::EndUnbuffered()
{
    if (m_unbuffered && m_file.SetUnbuffered(false))
        m_unbuffered = false;
}

void CAsyncWriter::Stop()
{
    if (!m_thread)
        return;
    {
        Locked locked(m_lock);
        m_stopping = true;
        WakeAllConditionVariable(&m_changed);
    }
    WaitForSingleObject(m_thread, INFINITE);
    CloseHandle(m_thread);
    m_thread = nullptr;
}
