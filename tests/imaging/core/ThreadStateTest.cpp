#include "tests/QvTest.h"

#include <regex>
#include <vector>

#include "imaging/core/PicEntryPoints.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicThreadState.h"
#include "tests/imaging/core/ImagingTestSupport.h"

namespace {

using imgtest::RunOnNewThread;

BOOL CountingProgress(uint32_t, uint32_t, void* user) {
    ++*static_cast<int*>(user);
    return TRUE;
}

const uint8_t kRgb[6] = {1, 2, 3, 4, 5, 6};

TEST(ThreadState, EachThreadKeepsItsOwnLastError) {
    uint8_t out[8];
    EXPECT_FALSE(pic_RGBToRGBA(nullptr, 2, 1, 6, out, 8, 255));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM);

    int32_t seenOnOtherThread = -1;
    RunOnNewThread([&] {
        int32_t before = pic_GetLastError();  // a thread that never called the library
        uint8_t rgba[8];
        BOOL ok = pic_RGBToRGBA(kRgb, 2, 1, 6, rgba, 8, 255);
        seenOnOtherThread = before * 100 + (ok ? pic_GetLastError() : 99);
    });
    EXPECT_EQ(seenOnOtherThread, 0);
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM) << "another thread's success must not clear ours";

    EXPECT_TRUE(pic_RGBToRGBA(kRgb, 2, 1, 6, out, 8, 255));
    EXPECT_EQ(pic_GetLastError(), 0);
}

TEST(ThreadState, ErrorLogTextCallbackAndTrimming) {
    CPicThreadState* state = GetThreadState();
    ASSERT_NE(state, nullptr);
    state->errorLog.clear();

    struct Seen {
        int32_t code = 0;
        std::string api;
        int calls = 0;
    } seen;
    state->errorCallback = [](int32_t code, const char* api, void* user) {
        auto* s = static_cast<Seen*>(user);
        s->code = code;
        s->api = api;
        ++s->calls;
    };
    state->errorUser = &seen;

    ReportError(5, "pic_Test", nullptr);
    ReportError(17, nullptr, "detail text");
    ReportError(0, "pic_Ok", nullptr);  // success: no entry, no callback
    ASSERT_EQ(state->errorLog.size(), 2u);
    EXPECT_TRUE(std::regex_match(state->errorLog.front().message,
                                 std::regex(R"(Error 5 in pic_Test \(\d\d:\d\d:\d\d\))")))
        << state->errorLog.front().message;
    EXPECT_TRUE(std::regex_match(state->errorLog.back().message,
                                 std::regex(R"(Error 17 in \(unspecified function\) \(\d\d:\d\d:\d\d\) \[detail text\])")))
        << state->errorLog.back().message;
    EXPECT_EQ(state->errorLog.back().code, 17);
    EXPECT_EQ(state->errorLog.back().level, PIC_LOG_ERROR);
    EXPECT_EQ(seen.calls, 2);
    EXPECT_EQ(seen.code, 17);
    EXPECT_EQ(seen.api, "(unspecified function)");
    EXPECT_EQ(pic_GetLastError(), 0);

    for (int i = 0; i < 60; ++i) ReportError(100 + i, "pic_Many", nullptr);
    ASSERT_EQ(state->errorLog.size(), 51u) << "50 old entries plus the newest";
    EXPECT_EQ(state->errorLog.front().code, 109);
    EXPECT_EQ(state->errorLog.back().code, 159);

    std::string longDetail(3000, 'x');
    ReportError(1, "pic_Long", longDetail.c_str());
    EXPECT_EQ(state->errorLog.back().message.size(), 999u) << "texts are cut to 999 characters";

    LogMessage("a warning", 15, PIC_LOG_WARNING, 0);
    EXPECT_EQ(state->errorLog.back().message, "a warning");
    EXPECT_EQ(state->errorLog.back().level, PIC_LOG_WARNING);
    EXPECT_EQ(state->errorLog.size(), 51u);

    state->errorCallback = nullptr;
    state->errorUser = nullptr;
    state->errorLog.clear();
}

TEST(ThreadState, SuppressionKeepsThePreviousResult) {
    CPicThreadState* state = GetThreadState();
    ReportError(0, "pic_Ok", nullptr);
    state->suppressionDepth = 1;
    ReportError(5, "pic_Test", nullptr);
    state->suppressionDepth = 0;
    EXPECT_EQ(pic_GetLastError(), 0);
    EXPECT_TRUE(state->errorLog.empty());
}

TEST(ThreadState, TimestampHasTwoDigitsPerField) {
    SYSTEMTIME t = {};
    t.wHour = 9, t.wMinute = 5, t.wSecond = 7;
    EXPECT_EQ(FormatTimestamp(t), "09:05:07");
    t.wHour = 23, t.wMinute = 10, t.wSecond = 0;
    EXPECT_EQ(FormatTimestamp(t), "23:10:00");
}

TEST(ThreadState, OnlyTheOutermostOperationReportsProgress) {
    int calls = 0;
    SetProgressCallback(CountingProgress, &calls);
    uint8_t rgba[4 * 2 * 3];
    const uint8_t rgb[3 * 2 * 3] = {};
    EXPECT_TRUE(pic_RGBToRGBA(rgb, 2, 3, 6, rgba, 8, 255));
    EXPECT_EQ(calls, 3) << "one call per row at depth 1";

    calls = 0;
    IncrementCallDepth();  // as if inside another library operation
    EXPECT_TRUE(pic_RGBToRGBA(rgb, 2, 3, 6, rgba, 8, 255));
    DecrementCallDepth();
    EXPECT_EQ(calls, 0) << "a nested operation never reports";
    SetProgressCallback(nullptr, nullptr);
}

TEST(ThreadState, CancelFromTheProgressCallbackStopsWithCode14) {
    struct Stop {
        uint32_t rows = 0;
    } stop;
    SetProgressCallback([](uint32_t done, uint32_t, void* user) -> BOOL {
        static_cast<Stop*>(user)->rows = done + 1;
        return done < 1;  // stop after the second row
    }, &stop);
    const uint8_t rgb[3 * 4] = {9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
    uint8_t rgba[4 * 4] = {};
    EXPECT_FALSE(pic_RGBToRGBA(rgb, 1, 4, 3, rgba, 4, 7));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_CANCELLED);
    EXPECT_EQ(stop.rows, 2u);
    EXPECT_EQ(rgba[4 + 3], 7) << "rows written before the stop stay written";
    EXPECT_EQ(rgba[8 + 3], 0);
    SetProgressCallback(nullptr, nullptr);
}

TEST(ThreadState, StateIsReleasedWhenItsThreadEnds) {
    GetThreadState();
    size_t before = GetThreadStateCount();
    for (int i = 0; i < 40; ++i) RunOnNewThread([] { pic_GetLastError(); });
    for (int i = 0; i < 8; ++i) RunOnNewThread([] {
        ReportError(5, "pic_Thread", nullptr);
        ExitThread(0);  // an early exit releases the state too
    });
    // A thread counts as ended a moment before the system's last work on it is done.
    EXPECT_TRUE(imgtest::WaitUntil([&] { return GetThreadStateCount() == before; }, 5000))
        << (long long)GetThreadStateCount() - (long long)before << " of 48 short-lived threads left their states behind";
}

TEST(ThreadState, ReadersSettingsStartWithTheirDefaults) {
    CPicThreadState* state = GetThreadState();
    EXPECT_EQ(state->readerSettings.dctScaleNumerator, 1);
    EXPECT_EQ(state->readerSettings.dctScaleDenominator, 1);
    EXPECT_EQ(state->metafileWidth, 100);
    EXPECT_EQ(state->metafileHeight, 100);
    EXPECT_DOUBLE_EQ(state->textScale, 1.0);
    EXPECT_DOUBLE_EQ(state->screenGamma, 2.9);
    EXPECT_EQ(state->tiffAlpha, -1);

    auto* tag = new CFileDataTag;
    tag->id = 254;
    ASSERT_TRUE(tag->bytes.Assign(kRgb, 6));
    state->readerSettings.tagLists[CPicReaderSettings::kComments].Add(tag);
    CPicThreadState::InitReaderSettings(state->readerSettings);
    EXPECT_EQ(state->readerSettings.tagLists[CPicReaderSettings::kComments].Size(), 0u);
}

}  // namespace
