#include "tests/imaging/core/ImagingTestSupport.h"

#include <cstdio>
#include <limits>

#include "imaging/core/PicEntryPoints.h"
#include "imaging/core/PicLibrarySettings.h"
#include "tests/QvTest.h"

namespace imgtest {

namespace {
uint32_t Next(uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

// The pool runs for the whole test program, as it does in the application.
class PoolEnvironment : public ::testing::Environment {
public:
    void SetUp() override { pic_Initialize(nullptr); }
    void TearDown() override { pic_Shutdown(); }
};
[[maybe_unused]] const auto* g_environment = ::testing::AddGlobalTestEnvironment(new PoolEnvironment);
}  // namespace

const uint32_t kAwkwardLengths[] = {0, 1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 32, 33, 47, 48, 49, 63,
                                    64, 65, 127, 128, 129, 130, 255, 256, 257, 1000};
const size_t kAwkwardLengthCount = sizeof kAwkwardLengths / sizeof kAwkwardLengths[0];

std::vector<uint8_t> RandomBytes(size_t n, uint32_t start) {
    uint32_t state = start * 2654435761u + 1;
    std::vector<uint8_t> bytes(n);
    for (auto& b : bytes) b = (uint8_t)Next(state);
    // Extremes appear often enough to hit the saturation and special cases.
    for (size_t i = 0; i < n; i += 7) bytes[i] = (i / 7) % 2 ? 255 : 0;
    return bytes;
}

std::vector<float> RandomFloats(size_t n, uint32_t start, float range) {
    uint32_t state = start * 2246822519u + 3;
    std::vector<float> values(n);
    for (auto& v : values) v = ((float)(Next(state) % 2000001) / 1000000.0f - 1.0f) * range;
    const float specials[] = {0.0f, -0.0f, 1.0f, 1e-30f, -3.0e38f, std::numeric_limits<float>::denorm_min()};
    for (size_t i = 0; i < n; i += 11) values[i] = specials[(i / 11) % 6];
    return values;
}

namespace {
DWORD WINAPI ThreadBody(void* body) {
    (*static_cast<std::function<void()>*>(body))();
    return 0;
}
}  // namespace

HANDLE StartThread(std::function<void()>& body) { return CreateThread(nullptr, 0, ThreadBody, &body, 0, nullptr); }

void RunOnNewThread(std::function<void()> body) {
    HANDLE thread = StartThread(body);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > milliseconds) return done();
        Sleep(5);
    }
    return true;
}

BandCount::BandCount(uint32_t n) { PicSetBandCountForTesting(n); }
BandCount::~BandCount() { PicSetBandCountForTesting(0); }

std::string Hex(const uint8_t* bytes, size_t n) {
    std::string out;
    char cell[4];
    for (size_t i = 0; i < n; ++i) {
        snprintf(cell, sizeof cell, "%02X ", bytes[i]);
        out += cell;
    }
    return out;
}

GuardedBuffer::GuardedBuffer(size_t bytes) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const size_t page = info.dwPageSize, span = (bytes + page - 1) / page * page;
    m_base = static_cast<uint8_t*>(VirtualAlloc(nullptr, span + page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    DWORD old = 0;
    VirtualProtect(m_base + span, page, PAGE_NOACCESS, &old);
    m_data = m_base + span - bytes;
}

GuardedBuffer::~GuardedBuffer() { VirtualFree(m_base, 0, MEM_RELEASE); }

}  // namespace imgtest
