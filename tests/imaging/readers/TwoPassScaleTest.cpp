// The two-pass scaler against hand-computed triangle-filter results.
#include <vector>

#include "../../QvTest.h"
#include "imaging/readers/TwoPassScale.h"

namespace {
typedef C2PassScale<CBilinearFilter, CDataRGB_UBYTE> Scaler;

std::vector<uint8_t> Grey(std::initializer_list<int> values) {
    std::vector<uint8_t> out;
    for (int v : values) out.insert(out.end(), 3, (uint8_t)v);
    return out;
}
}  // namespace

TEST(TwoPassScale, HandComputedRows) {
    struct Case {
        const char* fault;
        std::vector<uint8_t> in;
        uint32_t outWidth;
        std::vector<uint8_t> expected;
    } cases[] = {
        // Output 1 sits at input 0.5, output 3 at 1.5 beyond the last sample.
        {"doubling [0, 200]", Grey({0, 200}), 4, Grey({0, 100, 200, 200})},
        {"equal size is the identity", Grey({9, 80, 255}), 3, Grey({9, 80, 255})},
        // Output x centred on input 2x: weights 1/4, 1/2, 1/4; output 0 uses inputs 0, 1 at 2/3, 1/3.
        {"halving", Grey({30, 60, 90, 120, 150, 180}), 3, Grey({40, 90, 150})},
    };
    for (const Case& c : cases) {
        uint32_t inWidth = (uint32_t)c.in.size() / 3;
        std::vector<uint8_t> out(c.outWidth * 3, 0xEE);
        Scaler scaler;
        ASSERT_EQ(scaler.Scale(c.in.data(), inWidth, 1, out.data(), c.outWidth, 1), out.data()) << c.fault;
        EXPECT_EQ(out, c.expected) << c.fault;
    }
}

TEST(TwoPassScale, ColumnsFollowTheSameRule) {
    std::vector<uint8_t> in = Grey({0, 200});  // one column of two rows
    std::vector<uint8_t> out(4 * 3);
    Scaler scaler;
    ASSERT_NE(scaler.Scale(in.data(), 1, 2, out.data(), 1, 4), nullptr);
    EXPECT_EQ(out, Grey({0, 100, 200, 200}));
}

TEST(TwoPassScale, StopAndRefusals) {
    std::vector<uint8_t> in = Grey({1, 2, 3, 4}), out(6 * 3, 7);
    static int calls = 0;
    Scaler stopped([](uint8_t) {
        ++calls;
        return false;
    });
    EXPECT_EQ(stopped.Scale(in.data(), 2, 2, out.data(), 3, 2), nullptr);
    EXPECT_EQ(calls, 1) << "the vertical pass never starts";
    EXPECT_EQ(out[0], 7);
    Scaler scaler;
    EXPECT_EQ(scaler.Scale(in.data(), 0, 2, out.data(), 3, 2), nullptr) << "zero source width";
    EXPECT_EQ(scaler.Scale(in.data(), 2, 0, out.data(), 3, 2), nullptr) << "zero source height";
}
