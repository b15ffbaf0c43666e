// The library's process-wide settings: worker and band counts, wait times, the
// worker pool, the processor features and the lookup tables. Built once, before
// the program's main code runs; nothing changes the values afterwards (except
// the test controls below).
#pragma once

#include <cstdint>

#include "imaging/core/PicCpuFeatures.h"
#include "imaging/core/PicLookupTables.h"
#include "imaging/core/PicThreadPool.h"

// Flag of the processing operations that forbids worker threads.
constexpr uint32_t PIC_FLAG_NO_THREADS = 0x100000;

struct CPicLibrarySettings {
    CPicLibrarySettings();

    uint32_t workerCount = 8;
    uint32_t bandCount = 4;
    uint32_t waitTimeoutMs = INFINITE;
    uint32_t pollIntervalMs = 200;
    CPicThreadPool pool;
    int32_t traceLevel = 2;  // the readers' debug trace prints at 0 or less
    CPicCpuFeatures cpuFeatures;
    CPicLookupTables tables;
};

CPicLibrarySettings& GetLibrarySettings();

// Number of bands an operation is split into.
uint32_t GetBandCount();
// At least two bands, a running pool, no PIC_FLAG_NO_THREADS, and not on a pool worker.
bool CanUseThreads(uint32_t flags);
// CanUseThreads and the split dimension exceeds 5 bands' worth.
bool ShouldRunThreaded(uint32_t flags, uint64_t splitSize);

// Test and benchmark control: the band count to use instead of the setting (0 restores it).
void PicSetBandCountForTesting(uint32_t bands);
