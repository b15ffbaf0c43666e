// Per-thread state of the image library: callbacks, call depth, last error,
// error log and the readers' settings. Every thread that calls the library gets
// its own record on its first call; the record is released when the thread
// ends (or at process exit for threads still running then).
#pragma once

#include <windows.h>

#include <cstdint>
#include <list>
#include <string>

#include "imaging/core/PicFileDataTag.h"
#include "imaging/core/PicResult.h"

// done: 0-based index of the row (or channel) just finished, or a percentage;
// total: the count (or 100). Returning FALSE asks the operation to stop.
typedef BOOL (*CPicProgressCallback)(uint32_t done, uint32_t total, void* user);
typedef void (*CPicErrorCallback)(int32_t code, const char* apiName, void* user);

// Output-buffer memory supplied by the caller instead of global memory.
struct CPicAllocCallbacks {
    void* (*alloc)(uint32_t size, void* user) = nullptr;
    void* (*realloc)(void* block, uint32_t size, void* user) = nullptr;
    int32_t (*free)(void* block, void* user) = nullptr;  // 1 on success
    void* user = nullptr;
};

enum PicLogLevel : int32_t { PIC_LOG_WARNING = 2, PIC_LOG_ERROR = 3 };

struct CPicErrorLogEntry {
    std::string message;
    int32_t code = 0;
    int32_t level = 0;
};
typedef std::list<CPicErrorLogEntry> CPicErrorLog;

// A PNG background colour record.
struct CPicBackgroundColor {
    uint8_t index = 0;
    uint16_t red = 0;
    uint16_t green = 0;
    uint16_t blue = 0;
    uint16_t gray = 0;
};

// Called by progressive decoders after each pass; 0 stops further passes.
typedef int (*CPicProgressivePassCallback)(const void* buffer, uint32_t width, uint32_t height,
                                           uint32_t bitsPerPixel, uint32_t pass, void* user);

// Settings of the image readers; the readers own their meaning.
struct CPicReaderSettings {
    enum TagList { kComments = 0, kMarkers = 2, kTagListCount = 4 };

    CPicProgressivePassCallback progressivePass = nullptr;
    void* progressivePassUser = nullptr;
    int32_t dctScaleNumerator = 1;
    int32_t dctScaleDenominator = 1;
    uint32_t formatFlags = 0;
    PicPtrVector<CFileDataTag> tagLists[kTagListCount];
};

struct CPicThreadState {
    CPicThreadState() { InitReaderSettings(readerSettings); }
    ~CPicThreadState() { DestroyReaderSettings(readerSettings); }
    CPicThreadState(const CPicThreadState&) = delete;
    CPicThreadState& operator=(const CPicThreadState&) = delete;

    static void InitReaderSettings(CPicReaderSettings& settings);
    static void DestroyReaderSettings(CPicReaderSettings& settings);

    CPicProgressCallback progressCallback = nullptr;
    int32_t callDepth = 0;
    void* progressUser = nullptr;
    CPicErrorCallback errorCallback = nullptr;
    void* errorUser = nullptr;
    CPicAllocCallbacks allocCallbacks;

    // Readers' part of the state.
    CPicReaderSettings readerSettings;
    PicPtrVector<CFileDataTag> lastReadTags;  // metadata tags of the last read
    PicPtrVector<CFileDataTag> tlaListTags;   // list chunks of the last TLA stream
    int32_t metafileWidth = 100;
    int32_t metafileHeight = 100;
    uint32_t metafileBackground = 0;
    double textScale = 1.0;
    double screenGamma = 2.9;
    CPicBackgroundColor defaultPngBackground;
    CPicBackgroundColor lastPngBackground;
    int32_t tiffAlpha = -1;

    int32_t dibSectionSwitch = 0;
    int32_t lastError = 0;
    int32_t suppressionDepth = 0;
    CPicErrorLog errorLog;
};

// The calling thread's state, made on first use; null when none can be had.
CPicThreadState* GetThreadState();

// Records a result for the calling thread: a non-zero code is formatted into
// the error log and passed to the error callback; the code becomes the last error.
void ReportError(int32_t code, const char* apiName, const char* detail);

// Appends an entry to the calling thread's error log (at most 50 older entries are kept).
void LogMessage(const char* text, int32_t code, int32_t level, int32_t flag);

// The local time (or the given time) as "hh:mm:ss".
std::string FormatTimestamp();
std::string FormatTimestamp(const SYSTEMTIME& time);

int32_t WINAPI pic_GetLastError();

bool HasProgressCallback();
void SetProgressCallback(CPicProgressCallback callback, void* user);

void IncrementCallDepth();
void DecrementCallDepth();

// Writes at most 1023 formatted characters to the debugger output.
void DebugPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Number of thread states alive (tests watch states being released).
size_t GetThreadStateCount();
