// Library start-up and shutdown: the pool starts once per process, so this
// program walks the whole life of the library in order.
#include "tests/QvTest.h"

#include <vector>

#include "imaging/core/PicEntryPoints.h"
#include "imaging/core/PicImgUtil.h"
#include "imaging/core/PicLibrarySettings.h"

namespace {

// Converts a 60-row image and says how many bands ran on workers.
uint64_t GrayJobsOnWorkers() {
    const uint32_t width = 9, height = 60;
    std::vector<uint8_t> src(3 * width * height, 100), dst(width * height);
    uint64_t before = PicPool().JobsRunByWorkers();
    CPicImgUtilT<unsigned char> util;
    EXPECT_TRUE(util.RGBToGray(src.data(), width, height, 3, 3 * width, width, 0, dst.data()));
    EXPECT_EQ(dst.back(), 100);
    return PicPool().JobsRunByWorkers() - before;
}

TEST(Lifecycle, OperationsWorkBeforeStartUpDuringAndAfterShutdown) {
    EXPECT_FALSE(CanUseThreads(0));
    EXPECT_EQ(GrayJobsOnWorkers(), 0u) << "before pic_Initialize: unthreaded";

    ReportError(5, "pic_Before", nullptr);
    EXPECT_TRUE(pic_Initialize(nullptr));
    EXPECT_EQ(pic_GetLastError(), 0) << "start-up reports 0";
    EXPECT_TRUE(pic_Initialize(nullptr)) << "a second start changes nothing";
    EXPECT_EQ(GrayJobsOnWorkers(), 4u);

    // Bands that use the library give their workers states of their own.
    size_t statesBefore = GetThreadStateCount();
    struct Band : VovIredev::CPicThreadData {};
    Band bands[4];
    PicArray<VovIredev::CPicThreadData*> jobs(4);
    for (uint32_t i = 0; i < 4; ++i) jobs[i] = &bands[i];
    auto useLibrary = [](VovIredev::CPicThreadData* job) -> int32_t {
        job->error = GetThreadState() != nullptr ? 0 : 1;
        Sleep(20);
        return 0;
    };
    EXPECT_EQ(PicPool().RunJobs(useLibrary, jobs), 0);
    size_t statesWithWorkers = GetThreadStateCount();
    EXPECT_GT(statesWithWorkers, statesBefore);
    pic_Shutdown();
    pic_Shutdown();
    EXPECT_FALSE(PicPool().IsRunning());
    EXPECT_EQ(GetThreadStateCount(), statesBefore) << "the workers' states went with them";
    EXPECT_EQ(GrayJobsOnWorkers(), 0u) << "after pic_Shutdown: unthreaded";
    EXPECT_FALSE(pic_Initialize(nullptr)) << "the pool does not start again";
}

}  // namespace
