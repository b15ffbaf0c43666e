#include "imaging/core/PicThreadPool.h"

#include <new>

#include "imaging/core/PicLibrarySettings.h"

namespace {

constexpr DWORD kWorkerStopWaitMs = 2000;

// Thread-local variables are touched only in functions of the C calling
// convention and never inlined into WINAPI ones: this compiler's thread-local
// access from a WINAPI function clobbers a register the function keeps live.
thread_local bool t_onPoolWorker = false;

__attribute__((noinline)) void MarkPoolWorkerThread() { t_onPoolWorker = true; }

void CloseAll(HANDLE* events, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i)
        if (events[i] != nullptr) CloseHandle(events[i]);
}

}  // namespace

__attribute__((noinline)) bool IsPoolWorkerThread() { return t_onPoolWorker; }

VovIredev::CPicThreadData::CPicThreadData() : reportProgress(HasProgressCallback()) {}

// ---- worker ----

CPicThreadPoolWorker::CPicThreadPoolWorker(CPicThreadPool* pool, HANDLE idleEvent, HANDLE workEvent,
                                           HANDLE quitEvent)
    : m_pool(pool), m_idleEvent(idleEvent), m_workEvent(workEvent), m_quitEvent(quitEvent) {
    m_thread = CreateThread(nullptr, 0, ThreadProc, this, CREATE_SUSPENDED, &m_threadId);
}

CPicThreadPoolWorker::~CPicThreadPoolWorker() {
    if (m_thread != nullptr) CloseHandle(m_thread);
}

bool CPicThreadPoolWorker::Resume() {
    if (m_thread == nullptr) return false;
    m_started = ResumeThread(m_thread) != (DWORD)-1;
    return m_started;
}

bool CPicThreadPoolWorker::WaitForEnd(DWORD milliseconds) {
    if (m_thread == nullptr || !m_started) return true;
    return WaitForSingleObject(m_thread, milliseconds) == WAIT_OBJECT_0;
}

DWORD WINAPI CPicThreadPoolWorker::ThreadProc(void* worker) {
    static_cast<CPicThreadPoolWorker*>(worker)->Loop();
    return 0;
}

void CPicThreadPoolWorker::Loop() {
    MarkPoolWorkerThread();
    HANDLE waitFor[2] = {m_quitEvent, m_workEvent};
    for (;;) {
        SetEvent(m_idleEvent);
        DWORD woken = WaitForMultipleObjects(2, waitFor, FALSE, INFINITE);
        ResetEvent(m_idleEvent);
        if (woken != WAIT_OBJECT_0 + 1) break;  // quit, or the wait failed
        if (!m_pool->PopJob(m_current)) continue;
        ResetEvent(m_current.doneEvent);
        m_current.run(m_current.job);
        m_pool->m_jobsRun.fetch_add(1);
        HANDLE done = m_current.doneEvent;
        m_current = CPicThreadJob();
        SetEvent(done);  // the submitter may free the record from here on
    }
}

// ---- pool ----

CPicThreadPool::CPicThreadPool() = default;

CPicThreadPool::~CPicThreadPool() { Stop(); }

bool CPicThreadPool::Start() {
    if (m_started) return IsRunning();
    m_started = true;
    const CPicLibrarySettings& settings = GetLibrarySettings();
    m_waitTimeoutMs = settings.waitTimeoutMs;
    m_pollIntervalMs = settings.pollIntervalMs;
    m_workEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_quitEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    InitializeCriticalSection(&m_queueLock);
    m_lockReady = true;
    CreateWorkers(settings.workerCount);
    return IsRunning();
}

bool CPicThreadPool::CreateWorkers(uint32_t n) {
    if (m_workEvent == nullptr || m_quitEvent == nullptr) return false;
    if (m_workers.size() == n) return true;
    SetEvent(m_quitEvent);
    StopWorkers();
    ResetEvent(m_quitEvent);

    m_idleEvents = new (std::nothrow) HANDLE[n];
    if (m_idleEvents == nullptr) return false;
    m_idleEventCount = n;
    bool allMade = true;
    try {
        for (uint32_t i = 0; i < n; ++i) {
            m_idleEvents[i] = CreateEventW(nullptr, TRUE, TRUE, nullptr);
            auto* worker = new CPicThreadPoolWorker(this, m_idleEvents[i], m_workEvent, m_quitEvent);
            m_workers.push_back(worker);
        }
    } catch (...) {
        allMade = false;
    }
    for (CPicThreadPoolWorker* worker : m_workers) {
        if (worker->Resume())
            m_runningWorkers.fetch_add(1);
        else
            allMade = false;
    }
    return allMade;
}

bool CPicThreadPool::IsRunning() const {
    return m_workEvent != nullptr && m_quitEvent != nullptr && m_idleEventCount > 0 &&
           m_runningWorkers.load() > 0;
}

// Waits for the old workers; a worker whose thread does not end in time is
// left allocated (with the handles it uses), since its thread may still touch it.
void CPicThreadPool::StopWorkers() {
    bool allEnded = true;
    for (CPicThreadPoolWorker* worker : m_workers) {
        if (worker->WaitForEnd(kWorkerStopWaitMs))
            delete worker;
        else
            allEnded = false;
    }
    m_workers.clear();
    m_runningWorkers.store(0);
    if (allEnded) {
        CloseAll(m_idleEvents, m_idleEvents != nullptr ? m_idleEventCount : 0);
        delete[] m_idleEvents;
    }
    m_idleEvents = nullptr;
    m_idleEventCount = 0;
    if (!allEnded) m_workEvent = m_quitEvent = nullptr;  // left to the stragglers
}

void CPicThreadPool::Stop() {
    if (m_quitEvent == nullptr && m_workEvent == nullptr && m_workers.empty()) {
        if (m_lockReady) {
            DeleteCriticalSection(&m_queueLock);
            m_lockReady = false;
        }
        return;
    }
    m_runningWorkers.store(0);
    if (m_quitEvent != nullptr) SetEvent(m_quitEvent);
    StopWorkers();
    if (m_workEvent != nullptr) CloseHandle(m_workEvent);
    if (m_quitEvent != nullptr) CloseHandle(m_quitEvent);
    m_workEvent = m_quitEvent = nullptr;
    m_queue.clear();
    if (m_lockReady) {
        DeleteCriticalSection(&m_queueLock);
        m_lockReady = false;
    }
}

bool CPicThreadPool::PopJob(CPicThreadJob& entry) {
    entry = CPicThreadJob();
    EnterCriticalSection(&m_queueLock);
    if (m_queue.empty()) {
        ResetEvent(m_workEvent);
    } else {
        entry = m_queue.front();
        m_queue.pop_front();
    }
    LeaveCriticalSection(&m_queueLock);
    return entry.IsRunnable();
}

// Waits in chunks of the system's handle limit; chunksDone remembers the chunks
// whose (auto-reset) events were already consumed by an earlier call.
bool CPicThreadPool::WaitForJobs(HANDLE* events, uint32_t n, uint32_t& chunksDone, DWORD timeout) {
    const uint32_t chunk = MAXIMUM_WAIT_OBJECTS;
    for (;;) {
        uint32_t first = chunksDone * chunk;
        if (first >= n) return true;
        uint32_t size = n - first < chunk ? n - first : chunk;
        DWORD result = WaitForMultipleObjects(size, events + first, TRUE, timeout);
        if (result == WAIT_TIMEOUT) return false;
        if (result == WAIT_FAILED) {
            for (uint32_t i = 0; i < size; ++i) WaitForSingleObject(events[first + i], INFINITE);
        }
        ++chunksDone;
    }
}

int32_t CPicThreadPool::RunJobsInline(CPicThreadJobProc run, PicArray<VovIredev::CPicThreadData*>& jobs) {
    for (uint32_t i = 0; i < jobs.count; ++i) {
        jobs[i]->index = (int32_t)i;
        run(jobs[i]);
    }
    return FirstJobError(jobs);
}

int32_t CPicThreadPool::RunJobs(CPicThreadJobProc run, PicArray<VovIredev::CPicThreadData*>& jobs) {
    if (!IsRunning() || !m_lockReady) return PIC_ERR_NO_THREADS;
    PicArray<HANDLE> events(jobs.count);
    if (events.IsEmpty() || run == nullptr) {
        OutputDebugStringA("No jobs in thread pool.\n");
        return PIC_ERR_BAD_PARAM;
    }
    // A band that runs on a worker must not wait for the pool that runs it.
    if (IsPoolWorkerThread()) return RunJobsInline(run, jobs);

    // Every event and queue entry is made before any job is queued.
    events.Fill(0);
    std::list<CPicThreadJob> entries;
    try {
        for (uint32_t i = 0; i < jobs.count; ++i) {
            events[i] = CreateEventW(nullptr, FALSE, FALSE, nullptr);
            if (events[i] == nullptr) throw std::bad_alloc();
            jobs[i]->index = (int32_t)i;
            entries.push_back(CPicThreadJob{jobs[i], run, events[i], (int32_t)i});
        }
    } catch (...) {
        CloseAll(events.data, events.count);
        return PIC_ERR_OUT_OF_MEMORY;
    }
    EnterCriticalSection(&m_queueLock);
    m_queue.splice(m_queue.end(), entries);
    LeaveCriticalSection(&m_queueLock);
    SetEvent(m_workEvent);

    int32_t result = 0;
    uint32_t chunksDone = 0;
    CPicThreadState* state = GetThreadState();
    if (state != nullptr && state->progressCallback != nullptr) {
        while (!WaitForJobs(events.data, events.count, chunksDone, m_pollIntervalMs)) {
            if (state->callDepth != 1 || state->progressCallback == nullptr) continue;
            uint32_t mean = (uint32_t)AverageJobProgress(jobs);
            if (!state->progressCallback(mean, 100, state->progressUser)) {
                CancelAllJobs(jobs);
                WaitForJobs(events.data, events.count, chunksDone, INFINITE);
                result = PIC_ERR_CANCELLED;
                break;
            }
        }
    } else if (!WaitForJobs(events.data, events.count, chunksDone, m_waitTimeoutMs)) {
        // The records belong to the caller: they must outlive the bands.
        CancelAllJobs(jobs);
        WaitForJobs(events.data, events.count, chunksDone, INFINITE);
        result = PIC_ERR_THREAD_TIMEOUT;
    }
    CloseAll(events.data, events.count);
    return result != 0 ? result : FirstJobError(jobs);
}

// ---- band helpers ----

BOOL JobProgressCallback(uint32_t done, uint32_t total, void* user) {
    auto* record = static_cast<VovIredev::CPicThreadData*>(user);
    if (record == nullptr) return TRUE;
    record->percentDone.store(total != 0 ? done * 100.0 / total : 100.0);
    return record->cancel.load() ? FALSE : TRUE;
}

int32_t AverageJobProgress(const PicArray<VovIredev::CPicThreadData*>& jobs) {
    if (jobs.count == 0) return 0;
    double sum = 0;
    for (uint32_t i = 0; i < jobs.count; ++i) sum += jobs[i]->percentDone.load();
    return (int32_t)(sum / jobs.count);
}

int32_t FirstJobError(const PicArray<VovIredev::CPicThreadData*>& jobs) {
    for (uint32_t i = 0; i < jobs.count; ++i)
        if (jobs[i]->error != 0) return jobs[i]->error;
    return 0;
}

void CancelAllJobs(PicArray<VovIredev::CPicThreadData*>& jobs) {
    for (uint32_t i = 0; i < jobs.count; ++i) jobs[i]->cancel.store(true);
}

namespace {
bool SplitBands(PicArray<RECT>& bands, uint32_t length, uint32_t n, bool rows, uint32_t across) {
    if (n == 0 || !bands.Allocate(n)) return false;
    uint32_t start = 0;
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t end = i + 1 == n ? length : (length / n) * (i + 1);
        RECT& band = bands[i];
        if (rows)
            band = RECT{0, (LONG)start, (LONG)across, (LONG)end};
        else
            band = RECT{(LONG)start, 0, (LONG)end, (LONG)across};
        start = end;
    }
    return true;
}
}  // namespace

bool SplitIntoRowBands(PicArray<RECT>& bands, uint32_t width, uint32_t height, uint32_t n) {
    return SplitBands(bands, height, n, true, width);
}

bool SplitIntoColumnBands(PicArray<RECT>& bands, uint32_t width, uint32_t height, uint32_t n) {
    return SplitBands(bands, width, n, false, height);
}
