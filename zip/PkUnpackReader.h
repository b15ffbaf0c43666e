// CPkUnpackReader: CPkArchive::TestEntries and ExtractEntries. The driving
// thread checks each entry's local header and target in order and hands the
// entry to a worker (CPkEntryInflater) with the data's offset; it then takes
// the results strictly in entry order: a tested entry is judged, an extracted
// file replaces an existing target (a file whose target was free was written
// there by the worker, so that nothing queues behind one thread). Each target
// folder is looked at and created once; in a folder this run created only an
// earlier entry can stand at a target, which the worker's create answers, so
// such targets are not looked up beforehand.
// At most two entries per thread are in flight. When the batch ends early,
// files the workers placed for entries whose turn never came are removed.
// Entries the workers cannot read alone (encrypted ones, segmented archives,
// other methods) go through TestEntry or ExtractEntry in their turn.
#pragma once

#include "zip/PkArchive.h"
#include "zip/PkEntryInflater.h"
#include "zip/PkWorkerPool.h"

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <vector>

class CPkUnpackReader {
public:
    CPkUnpackReader(CPkArchive& archive, int threads);
    // Stops the entries still queued and waits for the workers.
    ~CPkUnpackReader();
    CPkUnpackReader(const CPkUnpackReader&) = delete;
    CPkUnpackReader& operator=(const CPkUnpackReader&) = delete;

    bool Test(uint16_t first, uint16_t count, uint32_t bufferSize);
    void Extract(const std::vector<ZipExtractRequest>& requests, std::vector<ZipEntryResult>& results);

    // The archive file's own read handle, closed after the workers ended.
    struct ReadHandle {
        HANDLE handle = INVALID_HANDLE_VALUE;
        ReadHandle() = default;
        ~ReadHandle();
        ReadHandle(const ReadHandle&) = delete;
        ReadHandle& operator=(const ReadHandle&) = delete;
    };

private:
    enum Kind { kInflate, kFolder, kInTurn, kSkipped, kRefused };
    struct Pending {
        Kind kind = kRefused;
        size_t request = 0;
        uint16_t index = 0;
        CString name, target, folder;
        bool targetExists = false;
        uint32_t bufferSize = 0;
        std::unique_ptr<CPkEntryInflater> work;
        uint64_t ticket = 0;
        CException* error = nullptr;  // thrown when the entry's turn comes
    };

    bool CanInflateAlone(CPkFileHeader& header) const;
    // Reads the local header; the data's offset in the archive file.
    uint64_t LocateData(uint16_t index);
    std::unique_ptr<CPkEntryInflater> MakeWork(const Pending& pending, CPkFileHeader& header,
                                               const CString& freeTarget);
    void Submit(Pending& pending, CPkFileHeader& header);
    void PlanTest(Pending& pending, uint32_t bufferSize);
    void PlanExtract(Pending& pending, const ZipExtractRequest& request);
    // Skipped, refused (ExtractEntry would refuse it) or to be replaced.
    Kind JudgeExistingTarget(const Pending& pending, const ZipExtractRequest& request, CPkFileHeader& header);
    // Makes sure the folder exists; true when this run created it.
    bool PrepareFolder(const CString& folder);
    // The worker found its free target taken: judged again and done here.
    void RedoOverExisting(Pending& pending, const ZipExtractRequest& request, CPkFileHeader& header);
    bool JudgeTest(Pending& pending, uint32_t bufferSize);
    bool JudgeOldestTest(uint32_t bufferSize);
    bool PlaceExtracted(Pending& pending, const ZipExtractRequest& request);
    void PlaceOldest();
    bool IsTargetInFlight(const CString& target) const;
    void Cancel();

    CPkArchive& m_archive;
    size_t m_budget;
    const std::vector<ZipExtractRequest>* m_requests = nullptr;
    std::vector<ZipEntryResult>* m_results = nullptr;
    // Declared before the pool, which is destroyed first: its jobs use them.
    ReadHandle m_file;
    std::atomic<bool> m_cancelled{false};
    CPkShelf<CPkInflateScratch> m_scratch;
    std::deque<Pending> m_inFlight;
    // Folders made sure of, by the driving thread: true for those this run created.
    struct NoCaseLess {
        bool operator()(const CString& a, const CString& b) const { return a.CompareNoCase(b) < 0; }
    };
    std::map<CString, bool, NoCaseLess> m_folders;
    CPkWorkerPool m_pool;
};
