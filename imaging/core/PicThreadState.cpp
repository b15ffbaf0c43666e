#include "imaging/core/PicThreadState.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <new>

namespace {

constexpr size_t kErrorLogKeep = 50;
constexpr size_t kErrorTextSize = 1000;

// Owns every thread state. A thread finds its state through a fiber-local
// slot, whose callback releases the state while the thread is ending, before
// the system counts the thread as ended (a thread_local destructor would run
// only after that under Wine). The list lets process exit release the states
// of threads that are still running. The list is guarded by m_lock; a slot is
// read and written only by its own thread.
class CPicThreadStateStore {
public:
    CPicThreadStateStore() {
        InitializeCriticalSection(&m_lock);
        m_flsIndex = FlsAlloc(OnThreadEnd);
        s_alive.store(true);
    }

    ~CPicThreadStateStore() {
        // Callbacks that come after this point find the store gone and leave the states to the loop below.
        s_alive.store(false);
        if (m_flsIndex != FLS_OUT_OF_INDEXES) FlsFree(m_flsIndex);
        EnterCriticalSection(&m_lock);
        for (CPicThreadState* state : m_states) delete state;
        m_states.clear();
        LeaveCriticalSection(&m_lock);
        DeleteCriticalSection(&m_lock);
    }

    static bool IsAlive() { return s_alive.load(); }
    // The one store, made on first use.
    static CPicThreadStateStore& Store();

    CPicThreadState* Get() {
        if (m_flsIndex == FLS_OUT_OF_INDEXES) return nullptr;
        return static_cast<CPicThreadState*>(FlsGetValue(m_flsIndex));
    }

    CPicThreadState* Create() {
        if (m_flsIndex == FLS_OUT_OF_INDEXES) return nullptr;
        CPicThreadState* state = new (std::nothrow) CPicThreadState;
        if (state == nullptr) return nullptr;
        bool listed = false;
        EnterCriticalSection(&m_lock);
        try {
            m_states.push_back(state);
            listed = true;
        } catch (...) {
        }
        LeaveCriticalSection(&m_lock);
        if (!listed) {
            delete state;
            return nullptr;
        }
        if (!FlsSetValue(m_flsIndex, state)) {
            Release(state);
            return nullptr;
        }
        return state;
    }

    // The state leaves the list and is freed.
    void Release(CPicThreadState* state) {
        bool found = false;
        EnterCriticalSection(&m_lock);
        for (auto it = m_states.begin(); it != m_states.end(); ++it) {
            if (*it == state) {
                m_states.erase(it);
                found = true;
                break;
            }
        }
        LeaveCriticalSection(&m_lock);
        if (found) delete state;
    }

    size_t Count() {
        EnterCriticalSection(&m_lock);
        size_t n = m_states.size();
        LeaveCriticalSection(&m_lock);
        return n;
    }

private:
    // Runs on the ending thread (or fiber) with its slot's value.
    static void WINAPI OnThreadEnd(void* value) {
        if (value != nullptr && IsAlive()) Store().Release(static_cast<CPicThreadState*>(value));
    }

    static std::atomic<bool> s_alive;
    DWORD m_flsIndex = FLS_OUT_OF_INDEXES;
    std::list<CPicThreadState*> m_states;
    CRITICAL_SECTION m_lock;
};

std::atomic<bool> CPicThreadStateStore::s_alive{false};

CPicThreadStateStore& CPicThreadStateStore::Store() {
    static CPicThreadStateStore store;
    return store;
}

CPicThreadStateStore& Store() { return CPicThreadStateStore::Store(); }

std::string TwoDigits(int value) {
    char text[16];
    snprintf(text, sizeof text, value > 9 ? "%d" : "0%d", value);
    return text;
}

void AppendToLog(CPicErrorLog& log, const char* text, int32_t code, int32_t level) {
    try {
        while (log.size() > kErrorLogKeep) log.pop_front();
        CPicErrorLogEntry entry;
        entry.message = text != nullptr ? text : "";
        entry.code = code;
        entry.level = level;
        log.push_back(std::move(entry));
    } catch (...) {
        // A log entry that finds no memory is dropped; the code still counts.
    }
}

}  // namespace

void CPicThreadState::InitReaderSettings(CPicReaderSettings& settings) {
    DestroyReaderSettings(settings);
    settings.progressivePass = nullptr;
    settings.progressivePassUser = nullptr;
    settings.dctScaleNumerator = 1;
    settings.dctScaleDenominator = 1;
    settings.formatFlags = 0;
}

void CPicThreadState::DestroyReaderSettings(CPicReaderSettings& settings) {
    for (auto& list : settings.tagLists) list.DeleteAll();
}

CPicThreadState* GetThreadState() {
    CPicThreadStateStore& store = Store();
    if (!CPicThreadStateStore::IsAlive()) return nullptr;  // process exit has begun
    CPicThreadState* state = store.Get();
    if (state != nullptr) return state;
    return store.Create();
}

std::string FormatTimestamp(const SYSTEMTIME& time) {
    return TwoDigits(time.wHour) + ":" + TwoDigits(time.wMinute) + ":" + TwoDigits(time.wSecond);
}

std::string FormatTimestamp() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return FormatTimestamp(now);
}

void ReportError(int32_t code, const char* apiName, const char* detail) {
    CPicThreadState* state = GetThreadState();
    if (state == nullptr || state->suppressionDepth > 0) return;
    if (code != 0) {
        if (apiName == nullptr) apiName = "(unspecified function)";
        char text[kErrorTextSize];
        std::string time;
        try {
            time = FormatTimestamp();
        } catch (...) {
        }
        if (detail != nullptr)
            snprintf(text, sizeof text, "Error %d in %s (%s) [%s]", code, apiName, time.c_str(), detail);
        else
            snprintf(text, sizeof text, "Error %d in %s (%s)", code, apiName, time.c_str());
        if (state->errorCallback != nullptr) state->errorCallback(code, apiName, state->errorUser);
        AppendToLog(state->errorLog, text, code, PIC_LOG_ERROR);
    }
    state->lastError = code;
}

void LogMessage(const char* text, int32_t code, int32_t level, int32_t /*flag*/) {
    CPicThreadState* state = GetThreadState();
    if (state != nullptr) AppendToLog(state->errorLog, text, code, level);
}

int32_t WINAPI pic_GetLastError() {
    CPicThreadState* state = GetThreadState();
    return state != nullptr ? state->lastError : 0;
}

bool HasProgressCallback() {
    CPicThreadState* state = GetThreadState();
    return state != nullptr && state->progressCallback != nullptr;
}

void SetProgressCallback(CPicProgressCallback callback, void* user) {
    CPicThreadState* state = GetThreadState();
    if (state == nullptr) return;
    state->progressCallback = callback;
    state->progressUser = user;
}

void IncrementCallDepth() {
    if (CPicThreadState* state = GetThreadState()) ++state->callDepth;
}

void DecrementCallDepth() {
    if (CPicThreadState* state = GetThreadState()) --state->callDepth;
}

void DebugPrint(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    OutputDebugStringA(text);
}

size_t GetThreadStateCount() { return CPicThreadStateStore::IsAlive() ? Store().Count() : 0; }
