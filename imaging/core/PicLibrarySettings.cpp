#include "imaging/core/PicLibrarySettings.h"

#include <atomic>

namespace {
std::atomic<uint32_t> g_bandCountOverride{0};
}  // namespace

CPicLibrarySettings::CPicLibrarySettings() {
    cpuFeatures = DetectCpuFeatures();
    BuildLookupTables(tables);
}

CPicLibrarySettings& GetLibrarySettings() {
    // The thread-state store is made first so that it is destroyed last:
    // the pool's workers and the states they use go before it.
    static bool storeFirst = (GetThreadStateCount(), true);
    (void)storeFirst;
    static CPicLibrarySettings settings;
    return settings;
}

namespace {
// Builds the settings (processor features, tables) before main runs.
const bool g_settingsBuilt = (GetLibrarySettings(), true);
}  // namespace

CPicThreadPool& PicPool() { return GetLibrarySettings().pool; }

uint32_t GetBandCount() {
    uint32_t overridden = g_bandCountOverride.load(std::memory_order_relaxed);
    return overridden != 0 ? overridden : GetLibrarySettings().bandCount;
}

bool CanUseThreads(uint32_t flags) {
    return GetBandCount() >= 2 && (flags & PIC_FLAG_NO_THREADS) == 0 && !IsPoolWorkerThread() &&
           PicPool().IsRunning();
}

bool ShouldRunThreaded(uint32_t flags, uint64_t splitSize) {
    return CanUseThreads(flags) && splitSize > 5ull * GetBandCount();
}

void PicSetBandCountForTesting(uint32_t bands) { g_bandCountOverride.store(bands); }
