#include "tests/QvTest.h"

#include <atomic>
#include <vector>

#include "imaging/core/PicBandJobs.h"
#include "imaging/core/PicImgUtil.h"
#include "imaging/core/PicLibrarySettings.h"
#include "imaging/core/PicOperation.h"
#include "tests/imaging/core/ImagingTestSupport.h"

namespace {

using VovIredev::CPicThreadData;

std::vector<std::pair<LONG, LONG>> RowsOf(const PicArray<RECT>& bands) {
    std::vector<std::pair<LONG, LONG>> rows;
    for (uint32_t i = 0; i < bands.count; ++i) rows.emplace_back(bands[i].top, bands[i].bottom);
    return rows;
}

TEST(BandSplit, LastBandTakesTheRemainder) {
    PicArray<RECT> bands;
    ASSERT_TRUE(SplitIntoRowBands(bands, 7, 103, 4));
    EXPECT_EQ(RowsOf(bands), (std::vector<std::pair<LONG, LONG>>{{0, 25}, {25, 50}, {50, 75}, {75, 103}}));
    EXPECT_EQ(bands[0].left, 0);
    EXPECT_EQ(bands[3].right, 7);
    ASSERT_TRUE(SplitIntoRowBands(bands, 7, 21, 4));
    EXPECT_EQ(RowsOf(bands), (std::vector<std::pair<LONG, LONG>>{{0, 5}, {5, 10}, {10, 15}, {15, 21}}));
    ASSERT_TRUE(SplitIntoColumnBands(bands, 10, 3, 3));
    EXPECT_EQ(bands[0].left, 0);
    EXPECT_EQ(bands[0].right, 3);
    EXPECT_EQ(bands[2].left, 6);
    EXPECT_EQ(bands[2].right, 10);
    EXPECT_EQ(bands[2].bottom, 3);
    EXPECT_FALSE(SplitIntoRowBands(bands, 7, 21, 0));
}

TEST(BandSplit, ThreadsOnlyForTallEnoughImagesAndWhenAllowed) {
    ASSERT_TRUE(PicPool().IsRunning());
    EXPECT_FALSE(ShouldRunThreaded(0, 20)) << "20 rows is not more than 5 x 4 bands";
    EXPECT_TRUE(ShouldRunThreaded(0, 21));
    EXPECT_FALSE(ShouldRunThreaded(PIC_FLAG_NO_THREADS, 1000));
    imgtest::BandCount one(1);
    EXPECT_FALSE(CanUseThreads(0)) << "a single band runs on the calling thread";
}

// A band that records where it ran and can fail, wait, or watch its cancel flag.
struct TestBand : CPicThreadData {
    int32_t failWith = 0;
    DWORD sleepMs = 0;
    bool watchCancel = false;
    std::atomic<DWORD> ranOn{0};
    std::atomic<bool> finished{false};
    std::atomic<bool>* anyRunning = nullptr;
};

int32_t TestBandProc(CPicThreadData* data) {
    auto* band = static_cast<TestBand*>(data);
    band->ranOn = GetCurrentThreadId();
    for (DWORD waited = 0; waited < band->sleepMs; waited += 5) {
        if (band->watchCancel && band->cancel.load()) {
            band->error = PIC_ERR_CANCELLED;
            band->finished = true;
            return 0;
        }
        band->percentDone.store(50.0);
        Sleep(5);
    }
    band->error = band->failWith;
    band->finished = true;
    return 0;
}

int32_t RunTestBands(std::vector<TestBand>& bands) {
    PicArray<CPicThreadData*> jobs((uint32_t)bands.size());
    for (size_t i = 0; i < bands.size(); ++i) jobs[(uint32_t)i] = &bands[i];
    return PicPool().RunJobs(TestBandProc, jobs);
}

TEST(ThreadPool, RunsBandsOnWorkersAndReturnsTheFirstErrorInBandOrder) {
    std::vector<TestBand> bands(4);
    bands[1].failWith = 17;
    bands[1].sleepMs = 60;  // finishes last, yet its code wins over band 3's
    bands[3].failWith = 28;
    EXPECT_EQ(RunTestBands(bands), 17);
    for (auto& band : bands) {
        EXPECT_TRUE(band.finished);
        EXPECT_NE(band.ranOn.load(), GetCurrentThreadId());
    }
    EXPECT_EQ(bands[2].index, 2);
}

TEST(ThreadPool, EmptyJobListIsABadParameter) {
    PicArray<CPicThreadData*> none;
    EXPECT_EQ(PicPool().RunJobs(TestBandProc, none), PIC_ERR_BAD_PARAM);
}

TEST(ThreadPool, MoreBandsThanOneWaitCanWatch) {
    std::vector<TestBand> bands(150);
    bands[149].failWith = 5;
    EXPECT_EQ(RunTestBands(bands), 5);
    for (auto& band : bands) EXPECT_TRUE(band.finished);
}

TEST(ThreadPool, ManyThreadsSubmitAtOnce) {
    std::atomic<int> failures{0};
    std::vector<std::function<void()>> bodies;
    for (int id = 0; id < 12; ++id) {
        bodies.push_back([id, &failures] {
            for (int round = 0; round < 20; ++round) {
                std::vector<TestBand> bands(4);
                int32_t expected = (id + round) % 3 == 0 ? 0 : 40 + id;
                bands[2].failWith = expected;
                bands[0].sleepMs = round % 4 == 0 ? 5 : 0;
                if (RunTestBands(bands) != expected) ++failures;
                for (auto& band : bands)
                    if (!band.finished) ++failures;
            }
        });
    }
    std::vector<HANDLE> threads;
    for (auto& body : bodies) threads.push_back(imgtest::StartThread(body));
    WaitForMultipleObjects((DWORD)threads.size(), threads.data(), TRUE, INFINITE);
    for (HANDLE h : threads) CloseHandle(h);
    EXPECT_EQ(failures.load(), 0);
}

TEST(ThreadPool, CancelFromTheSubmittersCallbackStopsEveryBand) {
    struct Calls {
        int count = 0;
        uint32_t lastPercent = 0;
    } calls;
    SetProgressCallback([](uint32_t done, uint32_t total, void* user) -> BOOL {
        auto* c = static_cast<Calls*>(user);
        ++c->count;
        c->lastPercent = done;
        return total == 100 && c->count < 2;
    }, &calls);
    std::vector<TestBand> bands(4);
    for (auto& band : bands) {
        band.sleepMs = 20000;  // would take 20 s without the cancel
        band.watchCancel = true;
    }
    CPicCallDepthGuard depth;  // the submitting operation's own depth
    DWORD start = GetTickCount();
    EXPECT_EQ(RunTestBands(bands), PIC_ERR_CANCELLED);
    EXPECT_LT(GetTickCount() - start, 5000u);
    for (auto& band : bands) EXPECT_TRUE(band.finished) << "no band may still run after the call";
    EXPECT_EQ(calls.count, 2);
    EXPECT_EQ(calls.lastPercent, 50u) << "the mean of the bands' progress";
    SetProgressCallback(nullptr, nullptr);
}

TEST(ThreadPool, BandProgressReachesTheSubmitterAndItsCancel) {
    // A band running a library operation reports through JobProgressCallback.
    struct Record : CPicThreadData {
        std::vector<uint8_t> rgb, rgba;
    };
    auto proc = [](CPicThreadData* data) -> int32_t {
        auto* r = static_cast<Record*>(data);
        PicRunBand(r, [&] {
            CPicOperation op;
            op.ConvertRGBToRGBA(r->rgb.data(), 1, 400, 3, 4, 255, r->rgba.data());
            return op.status;
        });
        return 0;
    };
    SetProgressCallback([](uint32_t, uint32_t, void*) -> BOOL { return TRUE; }, nullptr);
    PicArray<RECT> bands;
    ASSERT_TRUE(SplitIntoRowBands(bands, 1, 400, 4));
    int32_t result = PicRunBandJobs<Record>(proc, bands, [](Record& r, const RECT&) {
        r.rgb.assign(3 * 400, 1);
        r.rgba.assign(4 * 400, 0);
        r.cancel = true;  // already cancelled: the band's first row report stops it
    });
    EXPECT_EQ(result, PIC_ERR_CANCELLED);
    SetProgressCallback(nullptr, nullptr);
}

TEST(ThreadPool, ABandOnAWorkerRunsNestedJobsItselfInsteadOfWaiting) {
    // Every worker runs a band that submits more bands: waiting on the pool
    // from inside it would never end.
    auto outer = [](CPicThreadData* data) -> int32_t {
        EXPECT_FALSE(CanUseThreads(0));
        std::vector<TestBand> inner(3);
        inner[1].failWith = 9;
        data->error = RunTestBands(inner);
        for (auto& band : inner) EXPECT_EQ(band.ranOn.load(), GetCurrentThreadId());
        return 0;
    };
    std::vector<TestBand> bands(16);
    PicArray<CPicThreadData*> jobs(16);
    for (uint32_t i = 0; i < 16; ++i) jobs[i] = &bands[i];
    EXPECT_EQ(PicPool().RunJobs(outer, jobs), 9);
}

TEST(ThreadPool, GrayConversionGivesTheSameBytesThreadedAndNot) {
    for (uint32_t height : {20u, 21u, 103u}) {
        const uint32_t width = 37, stride = 4 * width + 3;
        auto src = imgtest::RandomBytes((size_t)stride * height, height);
        std::vector<uint8_t> threaded(width * height), single(width * height);
        uint64_t jobsBefore = PicPool().JobsRunByWorkers();
        CPicImgUtilT<unsigned char> util;
        ASSERT_TRUE(util.RGBToGray(src.data(), width, height, 4, stride, width, 1, threaded.data()));
        uint64_t jobsRun = PicPool().JobsRunByWorkers() - jobsBefore;
        EXPECT_EQ(jobsRun, height > 20 ? 4u : 0u) << height << " rows";
        ASSERT_TRUE(util.RGBToGray(src.data(), width, height, 4, stride, width, 1 | PIC_FLAG_NO_THREADS,
                                   single.data()));
        EXPECT_EQ(threaded, single);
        EXPECT_EQ(util.status, 0);
    }
}

TEST(ThreadPool, SecondStartAndStopOfAPoolChangeNothing) {
    CPicThreadPool pool;
    EXPECT_FALSE(pool.IsRunning());
    PicArray<CPicThreadData*> jobs(1);
    TestBand band;
    jobs[0] = &band;
    EXPECT_EQ(pool.RunJobs(TestBandProc, jobs), PIC_ERR_NO_THREADS);
    ASSERT_TRUE(pool.Start());
    EXPECT_TRUE(pool.Start());
    band.failWith = 3;
    EXPECT_EQ(pool.RunJobs(TestBandProc, jobs), 3);
    pool.Stop();
    pool.Stop();
    EXPECT_FALSE(pool.IsRunning());
    EXPECT_FALSE(pool.Start()) << "a stopped pool stays stopped";
    EXPECT_EQ(pool.RunJobs(TestBandProc, jobs), PIC_ERR_NO_THREADS);
}

}  // namespace
