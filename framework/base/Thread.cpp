#include "framework/base/Thread.h"

namespace {

// Wake on every kind of input, as the system's newest input mask does; a
// system that refuses that mask gets QS_ALLINPUT instead.
const DWORD kWakeMaskAll = 0x1CFF;

// Dispatches every waiting message; a WM_QUIT is taken out and remembered so
// that the wait does not wake for it again, and posted back by the caller.
void DispatchWaitingMessages(bool& quitSeen, int& quitCode)
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quitSeen = true;
            quitCode = (int)msg.wParam;
            continue;
        }
        try {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        } catch (...) {
            // A failing handler must not end the wait for the worker.
        }
    }
}

}  // namespace

bool WaitForThreadPumping(const std::atomic<HANDLE>* slot, DWORD milliseconds)
{
    static std::atomic<DWORD> s_wakeMask{kWakeMaskAll};
    DWORD start = ::GetTickCount();
    bool quitSeen = false, timedOut = true;
    int quitCode = 0;
    for (;;) {
        DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= milliseconds)
            break;
        HANDLE thread = slot->load();
        if (!thread) {
            timedOut = false;
            break;
        }
        DWORD mask = s_wakeMask.load();
        DWORD result =
            ::MsgWaitForMultipleObjectsEx(1, &thread, milliseconds - elapsed, mask, MWMO_INPUTAVAILABLE);
        if (result == WAIT_FAILED && mask != QS_ALLINPUT) {
            s_wakeMask.store(QS_ALLINPUT);
            continue;
        }
        if (result == WAIT_TIMEOUT)
            break;
        if (result == WAIT_OBJECT_0) {
            timedOut = false;
            break;
        }
        if (result == WAIT_FAILED)
            ::Sleep(1);  // not expected; never spin at full speed
        DispatchWaitingMessages(quitSeen, quitCode);
    }
    if (quitSeen)
        ::PostQuitMessage(quitCode);
    return timedOut;
}

CThread::~CThread()
{
    CThread::Stop();
    CloseEndedHandle();
}

void CThread::CloseEndedHandle()
{
    if (m_hOwnedHandle && !IsRunning()) {
        ::CloseHandle(m_hOwnedHandle);
        m_hOwnedHandle = nullptr;
    }
}

bool CThread::Start()
{
    if (IsRunning())
        Stop();
    CloseEndedHandle();
    m_bStop = 0;
    DWORD id = 0;
    // Suspended until the handle is stored, so that the thread's own clearing
    // of the indicator always comes after it was set.
    HANDLE thread = ::CreateThread(nullptr, 0, ThreadEntry, this, CREATE_SUSPENDED, &id);
    if (!thread)
        return false;
    m_hOwnedHandle = thread;
    m_dwThreadId = id;
    m_hThread = thread;
    ::SetThreadPriority(thread, THREAD_PRIORITY_ABOVE_NORMAL);
    ::ResumeThread(thread);
    return true;
}

bool CThread::Stop()
{
    m_bStop = 1;
    if (!WaitForExit(3000))
        return true;
    HANDLE thread = m_hThread.load();
    if (thread && ::TerminateThread(thread, 1))
        m_hThread = nullptr;
    return false;
}

bool CThread::WaitForExit(DWORD milliseconds) { return WaitForThreadPumping(&m_hThread, milliseconds); }

DWORD WINAPI CThread::ThreadEntry(void* object)
{
    CThread* self = static_cast<CThread*>(object);
    self->Run();
    self->m_hThread = nullptr;
    return 0;
}
