// The library's pool of worker threads. A long operation splits its image into
// bands, hands one job record per band to the pool, waits for all of them and
// takes the first error a band reported. Several threads may submit at once.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <list>
#include <vector>

#include "imaging/core/PicArray.h"
#include "imaging/core/PicThreadState.h"

namespace VovIredev {

// Base of every band record; derived records add their band's parameters.
class CPicThreadData {
public:
    CPicThreadData();
    virtual ~CPicThreadData() = default;
    CPicThreadData(const CPicThreadData&) = delete;
    CPicThreadData& operator=(const CPicThreadData&) = delete;

    uint32_t unused = 0;
    bool reportProgress;                   // the submitter had a progress callback
    std::atomic<bool> cancel{false};       // set by the pool to stop the band
    std::atomic<double> percentDone{0.0};  // 0 to 100, written by the band
    int32_t index = -1;                    // position in the job array
    int32_t error = 0;                     // the band's result code
};

}  // namespace VovIredev

// Runs one band and stores its result code in the record's error.
typedef int32_t (*CPicThreadJobProc)(VovIredev::CPicThreadData* job);

struct CPicThreadJob {
    VovIredev::CPicThreadData* job = nullptr;
    CPicThreadJobProc run = nullptr;
    HANDLE doneEvent = nullptr;
    int32_t index = -1;
    bool IsRunnable() const { return job != nullptr && run != nullptr; }
};

class CPicThreadPool;

class CPicThreadPoolWorker {
public:
    CPicThreadPoolWorker(CPicThreadPool* pool, HANDLE idleEvent, HANDLE workEvent, HANDLE quitEvent);
    ~CPicThreadPoolWorker();
    CPicThreadPoolWorker(const CPicThreadPoolWorker&) = delete;
    CPicThreadPoolWorker& operator=(const CPicThreadPoolWorker&) = delete;

    bool Resume();
    bool IsStarted() const { return m_started; }
    // True when the thread ended within the time (or never existed).
    bool WaitForEnd(DWORD milliseconds);

private:
    static DWORD WINAPI ThreadProc(void* worker);
    void Loop();

    CPicThreadPool* m_pool;
    CPicThreadJob m_current;
    DWORD m_threadId = 0;
    HANDLE m_thread = nullptr;
    HANDLE m_idleEvent;
    HANDLE m_workEvent;
    HANDLE m_quitEvent;
    bool m_started = false;
};

class CPicThreadPool {
public:
    CPicThreadPool();
    ~CPicThreadPool();
    CPicThreadPool(const CPicThreadPool&) = delete;
    CPicThreadPool& operator=(const CPicThreadPool&) = delete;

    // Starts the workers the first time; later calls change nothing.
    // True when at least one worker runs.
    bool Start();
    bool IsRunning() const;
    // Queues one entry per job, waits for all of them and returns the first
    // non-zero band error in job order, or the pool's own failure code.
    int32_t RunJobs(CPicThreadJobProc run, PicArray<VovIredev::CPicThreadData*>& jobs);
    // Stops the workers and releases the handles; the pool cannot start again.
    void Stop();

    // Jobs run so far by worker threads (tests and benchmarks watch the split).
    uint64_t JobsRunByWorkers() const { return m_jobsRun.load(); }

private:
    friend class CPicThreadPoolWorker;

    bool CreateWorkers(uint32_t n);
    void StopWorkers();
    bool PopJob(CPicThreadJob& entry);
    int32_t RunJobsInline(CPicThreadJobProc run, PicArray<VovIredev::CPicThreadData*>& jobs);
    bool WaitForJobs(HANDLE* events, uint32_t n, uint32_t& chunksDone, DWORD timeout);

    uint32_t m_pollIntervalMs = 200;
    uint32_t m_waitTimeoutMs = INFINITE;
    std::vector<CPicThreadPoolWorker*> m_workers;
    uint32_t m_idleEventCount = 0;
    HANDLE* m_idleEvents = nullptr;
    HANDLE m_workEvent = nullptr;
    HANDLE m_quitEvent = nullptr;
    std::list<CPicThreadJob> m_queue;
    CRITICAL_SECTION m_queueLock;
    bool m_lockReady = false;
    bool m_started = false;
    std::atomic<uint32_t> m_runningWorkers{0};
    std::atomic<uint64_t> m_jobsRun{0};
};

// The library's pool (part of the library settings).
CPicThreadPool& PicPool();

// Band jobs of the calling thread: installed by a band on its worker so that
// its operation reports into the record and sees the submitter's cancel.
BOOL JobProgressCallback(uint32_t done, uint32_t total, void* record);
int32_t AverageJobProgress(const PicArray<VovIredev::CPicThreadData*>& jobs);
int32_t FirstJobError(const PicArray<VovIredev::CPicThreadData*>& jobs);
void CancelAllJobs(PicArray<VovIredev::CPicThreadData*>& jobs);

// Fill n band rectangles (the array is allocated to n entries); false without memory.
bool SplitIntoRowBands(PicArray<RECT>& bands, uint32_t width, uint32_t height, uint32_t n);
bool SplitIntoColumnBands(PicArray<RECT>& bands, uint32_t width, uint32_t height, uint32_t n);

// True on a worker thread of the pool: operations there run unthreaded, so a
// band never waits on the pool that runs it.
bool IsPoolWorkerThread();
