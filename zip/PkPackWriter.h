// CPkPackWriter: CPkArchive::AddFiles. The thread that drives the archive
// plans each request, hands its blocks (CPkPackBlock) to the worker pool and
// writes finished blocks strictly in request and block order, so the archive
// is the same whatever the thread count. At most a fixed number of blocks are
// in flight (two per thread), which bounds the memory used. Only the driving
// thread touches the archive; workers touch only their own block.
#pragma once

#include "zip/PkArchive.h"
#include "zip/PkPackBlock.h"
#include "zip/PkWorkerPool.h"

#include <atomic>
#include <deque>
#include <memory>
#include <vector>

class CPkPackWriter {
public:
    CPkPackWriter(CPkArchive& archive, int threads);
    // Stops the blocks still queued and waits for the workers.
    ~CPkPackWriter();
    CPkPackWriter(const CPkPackWriter&) = delete;
    CPkPackWriter& operator=(const CPkPackWriter&) = delete;

    void Add(std::vector<ZipAddRequest>& requests, std::vector<ZipEntryResult>& added);

private:
    // A request on its way through the blocks.
    struct Entry {
        ZipAddRequest* request = nullptr;
        size_t index = 0;
        CString path;
        CPkFileHeader header;
        int level = -1;
        bool check = false;
        uint64_t size = 0;
        bool begun = false;
        bool failed = false;
        CPkActionCallback* callback = nullptr;
    };
    // A block on a worker, or a request AddFile takes when its turn comes.
    struct InFlight {
        std::shared_ptr<Entry> entry;
        std::unique_ptr<CPkPackBlock> block;
        uint64_t ticket = 0;
        ZipAddRequest* inTurn = nullptr;
        size_t index = 0;
    };

    // False: the request takes AddFile's way in its turn.
    bool Plan(ZipAddRequest& request, Entry& entry);
    void Dispatch(const std::shared_ptr<Entry>& entry);
    void WriteOldest();
    void WriteAll();
    // AddFile's way, once everything before it is written.
    void AddInTurn(ZipAddRequest& request, size_t index);
    void WaitForRoom();
    void AddNow(ZipAddRequest& request, size_t index);
    bool BeginEntry(Entry& entry);
    void FinishEntry(Entry& entry);
    void FailEntry(Entry& entry);
    void EndCallback(Entry& entry);

    CPkArchive& m_archive;
    std::vector<ZipEntryResult>* m_added = nullptr;
    size_t m_budget;
    // Declared before the pool, which is destroyed first: its jobs use them.
    // The blocks give their buffers back to the scratch when they go.
    std::atomic<bool> m_cancelled{false};
    CPkPackScratch m_scratch;
    std::deque<InFlight> m_inFlight;
    CPkWorkerPool m_pool;
};
