// Shared helpers of the image library's tests.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "imaging/core/PicCpuFeatures.h"

namespace imgtest {

// Deterministic pseudo-random bytes.
std::vector<uint8_t> RandomBytes(size_t n, uint32_t start);
// Deterministic floats in [-range, range], with a few special values mixed in.
std::vector<float> RandomFloats(size_t n, uint32_t start, float range);

// Row lengths that catch vector-step and leftover mistakes.
extern const uint32_t kAwkwardLengths[];
extern const size_t kAwkwardLengthCount;

// Hides processor features for its lifetime.
class FeatureMask {
public:
    explicit FeatureMask(uint16_t mask) { PicSetCpuFeatureMaskForTesting(mask); }
    ~FeatureMask() { PicSetCpuFeatureMaskForTesting(0xFFFF); }
    FeatureMask(const FeatureMask&) = delete;
    FeatureMask& operator=(const FeatureMask&) = delete;
};

// Sets the band count for its lifetime.
class BandCount {
public:
    explicit BandCount(uint32_t n);
    ~BandCount();
    BandCount(const BandCount&) = delete;
    BandCount& operator=(const BandCount&) = delete;
};

// Starts a Win32 thread that runs body (which must outlive the thread).
HANDLE StartThread(std::function<void()>& body);
// Runs body on a new Win32 thread and waits for it to end.
void RunOnNewThread(std::function<void()> body);

// Looks at `done` every few milliseconds until it holds or `milliseconds` passed; its last answer.
bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds);

// Bytes as hex for failure messages.
std::string Hex(const uint8_t* bytes, size_t n);

// A buffer of exactly `bytes` bytes whose end touches a no-access page, so a
// read or write past it faults.
class GuardedBuffer {
public:
    explicit GuardedBuffer(size_t bytes);
    ~GuardedBuffer();
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;
    uint8_t* data() const { return m_data; }

private:
    uint8_t* m_base = nullptr;
    uint8_t* m_data = nullptr;
};

}  // namespace imgtest
