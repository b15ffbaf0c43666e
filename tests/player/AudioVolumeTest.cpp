// The volume's gain on 16-bit samples: scaled by percent, saturating at the
// sample range instead of wrapping. Expected values computed by hand.
#include "tests/QvTest.h"

#include "player/AudioOutput.h"

#include <vector>

namespace {

TEST(AudioVolume, GainScalesAndSaturates)
{
    struct Case {
        const char* name;
        int percent;
        std::vector<int16_t> in, out;
    } cases[] = {
        {"unchanged at 100", 100, {32767, -32768, 1, 0}, {32767, -32768, 1, 0}},
        {"doubled", 200, {1000, -1000, 16383}, {2000, -2000, 32766}},
        {"doubled past the top saturates, not wraps", 200, {16384, 30000}, {32767, 32767}},
        {"doubled past the bottom saturates", 200, {-16385, -32768}, {-32768, -32768}},
        {"quartered, truncated towards zero", 25, {1000, -1000, 3, -3}, {250, -250, 0, 0}},
        {"one and a half", 150, {30000, -30000, 100}, {32767, -32768, 150}},
    };
    for (const Case& c : cases) {
        std::vector<int16_t> samples = c.in;
        AudioOutput::ApplyVolume(samples.data(), samples.size(), c.percent);
        EXPECT_EQ(samples, c.out) << c.name;
    }
}

}  // namespace
