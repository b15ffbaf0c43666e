#include "tests/QvTest.h"

#include "framework/base/Processors.h"

#include <bitset>

// A process narrowed to fewer processors (as `taskset` does) counts only those.
TEST(UsableProcessorCount, FollowsTheProcessAffinity)
{
    DWORD_PTR process = 0, system = 0;
    ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &process, &system));
    EXPECT_EQ(UsableProcessorCount(), std::bitset<sizeof(DWORD_PTR) * 8>(process).count());
    DWORD_PTR lowest = process & (~process + 1);
    if (lowest == process)
        GTEST_SKIP() << "this process may run on one processor only";
    ASSERT_TRUE(SetProcessAffinityMask(GetCurrentProcess(), lowest));
    unsigned narrowed = UsableProcessorCount();
    SetProcessAffinityMask(GetCurrentProcess(), process);
    EXPECT_EQ(narrowed, 1u);
}
