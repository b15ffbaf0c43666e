#include "tests/FreedBlockScanner.h"

#include <dlfcn.h>
#include <execinfo.h>
#include <malloc.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

#include <time.h>
#include <unistd.h>

// The C library's own entry points, under the names glibc exports for this.
extern "C" {
void __libc_free(void* block);
void* __libc_malloc(size_t size);
}

namespace {

constexpr size_t kMaxMarker = 128;
constexpr int kMaxFrames = 16;

// Everything here is set up before `armed` turns on and read by whichever
// thread frees; nothing in the free path allocates or takes a lock.
// Constant-initialised, so it works for frees made before main too.
struct ScanState {
    std::atomic<bool> armed{false};
    unsigned char marker[kMaxMarker] = {};
    size_t markerSize = 0;
    unsigned char wideMarker[2 * kMaxMarker] = {};
    size_t wideMarkerSize = 0;
    std::atomic<uint64_t> blocks{0};
    std::atomic<uint64_t> hits{0};
    // The first hit, written by the one thread that claims it.
    std::atomic<bool> firstClaimed{false};
    std::atomic<bool> firstWritten{false};
    size_t firstBlockSize = 0;
    size_t firstOffset = 0;
    bool firstWide = false;
    void* firstFrames[kMaxFrames] = {};
    int firstFrameCount = 0;
};

ScanState g_scan;
std::atomic<bool> g_scannerExists{false};

// Set while this thread records a hit, whose stack walk may free memory itself.
thread_local bool t_recording = false;

void RecordFirstHit(size_t blockSize, const unsigned char* block, const unsigned char* found, bool wide)
{
    if (g_scan.firstClaimed.exchange(true))
        return;
    g_scan.firstBlockSize = blockSize;
    g_scan.firstOffset = (size_t)(found - block);
    g_scan.firstWide = wide;
    t_recording = true;
    g_scan.firstFrameCount = backtrace(g_scan.firstFrames, kMaxFrames);
    t_recording = false;
    g_scan.firstWritten = true;
}

void Scan(const unsigned char* block, size_t size)
{
    ++g_scan.blocks;
    const void* found = memmem(block, size, g_scan.marker, g_scan.markerSize);
    bool wide = false;
    if (found == nullptr) {
        found = memmem(block, size, g_scan.wideMarker, g_scan.wideMarkerSize);
        wide = true;
    }
    if (found == nullptr)
        return;
    ++g_scan.hits;
    RecordFirstHit(size, block, static_cast<const unsigned char*>(found), wide);
}

// The one release path of every hooked free.
void Release(void* block)
{
    if (block == nullptr)
        return;
    size_t size = malloc_usable_size(block);
    if (g_scan.armed.load(std::memory_order_acquire) && !t_recording)
        Scan(static_cast<const unsigned char*>(block), size);
    memset(block, 0, size);
    __asm__ __volatile__("" : : "r"(block) : "memory");
    __libc_free(block);
}

std::string Caller(void* address)
{
    Dl_info info = {};
    char line[512];
    if (dladdr(address, &info) && info.dli_fname) {
        const char* name = strrchr(info.dli_fname, '/');
        snprintf(line, sizeof line, "    %s+0x%lx%s%s\n", name ? name + 1 : info.dli_fname,
                 (unsigned long)((char*)address - (char*)info.dli_fbase), info.dli_sname ? " " : "",
                 info.dli_sname ? info.dli_sname : "");
    } else {
        snprintf(line, sizeof line, "    %p\n", address);
    }
    return line;
}

}  // namespace

CFreedBlockScanner::CFreedBlockScanner(const std::string& marker)
{
    if (marker.size() < 8 || marker.size() > kMaxMarker)
        throw std::invalid_argument("a freed-block marker has 8 to 128 bytes");
    if (g_scannerExists.exchange(true))
        throw std::logic_error("one freed-block scanner at a time");
    // The first stack walk loads the unwinder; let that happen outside a free.
    void* warmUp[2];
    backtrace(warmUp, 2);
    memcpy(g_scan.marker, marker.data(), marker.size());
    g_scan.markerSize = marker.size();
    for (size_t i = 0; i < marker.size(); ++i) {
        g_scan.wideMarker[2 * i] = (unsigned char)marker[i];
        g_scan.wideMarker[2 * i + 1] = 0;
    }
    g_scan.wideMarkerSize = 2 * marker.size();
    g_scan.blocks = 0;
    g_scan.hits = 0;
    g_scan.firstWritten = false;
    g_scan.firstClaimed = false;
    g_scan.armed.store(true, std::memory_order_release);
}

CFreedBlockScanner::~CFreedBlockScanner()
{
    Stop();
    g_scannerExists = false;
}

void CFreedBlockScanner::Stop() { g_scan.armed.store(false, std::memory_order_release); }

uint64_t CFreedBlockScanner::Hits() const { return g_scan.hits.load(); }

uint64_t CFreedBlockScanner::BlocksScanned() const { return g_scan.blocks.load(); }

std::string MakeFreedBlockMarker(const char* tag)
{
    static std::atomic<unsigned> s_counter{0};
    struct timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    unsigned long long nanoseconds = (unsigned long long)now.tv_sec * 1000000000ull + (unsigned long long)now.tv_nsec;
    char text[40];
    snprintf(text, sizeof text, "%-6.6s%08x%06x%012llx", tag, (unsigned)getpid(), ++s_counter & 0xFFFFFFu,
             nanoseconds & 0xFFFFFFFFFFFFull);
    return std::string(text, 32);
}

std::string CFreedBlockScanner::Report() const
{
    uint64_t hits = Hits();
    if (hits == 0)
        return "no freed block held the marker (" + std::to_string(BlocksScanned()) + " blocks searched)";
    std::string text = std::to_string(hits) + " freed block(s) held the marker";
    if (!g_scan.firstWritten.load())
        return text + "\n";
    text += "; the first, " + std::to_string(g_scan.firstBlockSize) + " bytes, at offset " +
            std::to_string(g_scan.firstOffset) + (g_scan.firstWide ? " as UTF-16" : "") + ", freed by:\n";
    // Frame 0 is the scan itself.
    for (int i = 1; i < g_scan.firstFrameCount; ++i)
        text += Caller(g_scan.firstFrames[i]);
    return text;
}

// The program's release path (see the header).
extern "C" void free(void* block) noexcept { Release(block); }

extern "C" void* realloc(void* block, size_t size) noexcept
{
    if (block == nullptr)
        return __libc_malloc(size);
    if (size == 0) {
        Release(block);
        return nullptr;
    }
    void* moved = __libc_malloc(size);
    if (moved == nullptr)
        return nullptr;
    size_t old = malloc_usable_size(block);
    memcpy(moved, block, old < size ? old : size);
    Release(block);
    return moved;
}

void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, size_t) noexcept { Release(block); }
void operator delete[](void* block, size_t) noexcept { Release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete(void* block, std::align_val_t) noexcept { Release(block); }
void operator delete[](void* block, std::align_val_t) noexcept { Release(block); }
void operator delete(void* block, size_t, std::align_val_t) noexcept { Release(block); }
void operator delete[](void* block, size_t, std::align_val_t) noexcept { Release(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept { Release(block); }
