#include "tests/QvTest.h"

#include <vector>

#include "imaging/core/PicOperation.h"
#include "imaging/core/PicRotate.h"
#include "imaging/core/PicThreadState.h"
#include "tests/imaging/core/ImagingTestSupport.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The turn's mapping of a source pixel, written out from its description.
void Target(uint32_t kind, uint32_t w, uint32_t h, uint32_t x, uint32_t y, uint32_t& column, uint32_t& row) {
    switch (kind) {
        case 0: column = h - 1 - y; row = x; break;
        case 1: column = w - 1 - x; row = h - 1 - y; break;
        default: column = y; row = w - 1 - x; break;
    }
}

template <class T>
std::vector<T> TurnModel(const std::vector<T>& src, uint32_t w, uint32_t h, uint32_t srcStride, uint32_t px,
                         uint32_t kind, uint32_t dstStride, size_t dstSize, T fill) {
    std::vector<T> out(dstSize, fill);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            uint32_t c, r;
            Target(kind, w, h, x, y, c, r);
            for (uint32_t k = 0; k < px; ++k) out[(size_t)r * dstStride + c * px + k] = src[(size_t)y * srcStride + x * px + k];
        }
    return out;
}

template <class T, class Into, class InPlace>
void CheckTurns(const std::vector<T>& pool, Into into, InPlace inPlace, std::vector<uint32_t> pixelSizes) {
    for (uint32_t px : pixelSizes)
        for (uint32_t kind = 0; kind < 3; ++kind)
            for (uint32_t w : {1u, 2u, 5u, 9u, 17u})
                for (uint32_t h : {1u, 3u, 8u, 13u}) {
                    const uint32_t srcStride = w * px + 3;
                    const uint32_t outW = kind == 1 ? w : h, outH = kind == 1 ? h : w;
                    const uint32_t dstStride = outW * px + 2;
                    std::vector<T> src(pool.begin(), pool.begin() + (size_t)srcStride * h);
                    const T fill = pool[7];
                    const std::vector<T> expect = TurnModel(src, w, h, srcStride, px, kind, dstStride,
                                                            (size_t)dstStride * outH, fill);
                    std::vector<T> dst((size_t)dstStride * outH, fill);
                    int32_t status = -1;
                    EXPECT_TRUE(into(src.data(), w, h, srcStride, dst.data(), dstStride, kind, px, status));
                    EXPECT_EQ(status, 0);
                    EXPECT_TRUE(dst == expect) << "kind " << kind << " w " << w << " h " << h << " px " << px;

                    std::vector<T> packed(pool.begin(), pool.begin() + (size_t)w * h * px);
                    const std::vector<T> packedExpect =
                        TurnModel(packed, w, h, w * px, px, kind, outW * px, packed.size(), fill);
                    EXPECT_TRUE(inPlace(packed.data(), w, h, kind, px, status));
                    EXPECT_EQ(status, 0);
                    EXPECT_TRUE(packed == packedExpect) << "in place: kind " << kind << " w " << w << " h " << h;
                }
}

TEST(Turns, EveryKindOfEverySampleTypeFollowsTheMapping) {
    const Bytes bytes = imgtest::RandomBytes(4096, 21);
    CheckTurns(bytes, RotateBufferUChar, RotateBufferUCharInPlace, {1, 3, 4});
    std::vector<uint16_t> shorts(4096);
    for (size_t i = 0; i < shorts.size(); ++i) shorts[i] = (uint16_t)(i * 40503u);
    CheckTurns(shorts, RotateBufferUShort, RotateBufferUShortInPlace, {1, 3, 4});
    CheckTurns(imgtest::RandomFloats(4096, 8, 50.0f), RotateBufferFloat, RotateBufferFloatInPlace, {1, 3, 4});
}

TEST(Turns, ThreeByTwoClockwisePutsTheBottomLeftPixelFirst) {
    const Bytes src = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5, 6, 6, 6};
    Bytes dst(2 * 3 * 3, 0);
    CPicOperation op;
    EXPECT_TRUE(op.RotateUChar(src.data(), 3, 2, 9, dst.data(), 6, 0, 3));
    EXPECT_EQ(dst, (Bytes{4, 4, 4, 1, 1, 1, 5, 5, 5, 2, 2, 2, 6, 6, 6, 3, 3, 3}));
}

TEST(Turns, RefusalsAndCancellation) {
    Bytes src(16, 1), dst(16, 0);
    CPicOperation op;
    EXPECT_FALSE(op.RotateUChar(src.data(), 2, 2, 2, dst.data(), 2, 3, 1));
    EXPECT_EQ(op.status, PIC_ERR_BAD_PARAM) << "kind 3";
    EXPECT_FALSE(op.RotateUChar(nullptr, 2, 2, 2, dst.data(), 2, 0, 1));
    EXPECT_EQ(op.status, PIC_ERR_BAD_PARAM);
    EXPECT_FALSE(op.RotateFloatInPlace(nullptr, 2, 2, 0, 1));
    EXPECT_EQ(op.status, PIC_ERR_BAD_PARAM);
    EXPECT_FALSE(op.RotateUShortInPlace(reinterpret_cast<uint16_t*>(src.data()), 0x10000, 0x10000, 0, 4));
    EXPECT_EQ(op.status, PIC_ERR_OUT_OF_MEMORY) << "the temporary's size is counted in 64 bits";
    SetProgressCallback([](uint32_t, uint32_t, void*) -> BOOL { return FALSE; }, nullptr);
    EXPECT_FALSE(op.RotateUChar(src.data(), 2, 2, 2, dst.data(), 2, 0, 1));
    EXPECT_EQ(op.status, PIC_ERR_CANCELLED);
    SetProgressCallback(nullptr, nullptr);
}

// ---- 1 bit ----

bool BitAt(const Bytes& b, uint32_t stride, uint32_t x, uint32_t y) {
    return (b[(size_t)y * stride + x / 8] >> (7 - x % 8)) & 1;
}

TEST(OneBitTurns, EverySizeUpToFortyMatchesABitByBitModel) {
    for (uint32_t kind = 0; kind < 3; ++kind)
        for (uint32_t w = 1; w <= 40; ++w)
            for (uint32_t h = 1; h <= 40; ++h) {
                const uint32_t srcStride = (w + 7) / 8 + 1;
                const uint32_t outW = kind == 1 ? w : h, outH = kind == 1 ? h : w;
                const uint32_t dstStride = (outW + 7) / 8 + 2;
                const Bytes src = imgtest::RandomBytes((size_t)srcStride * h, w * 41 + h + kind);
                Bytes dst((size_t)dstStride * outH, 0xA5);
                CPicOperation op;
                ASSERT_TRUE(op.Rotate1Bit(src.data(), dst.data(), w, h, kind | 0x10, srcStride, dstStride));
                for (uint32_t y = 0; y < h; ++y)
                    for (uint32_t x = 0; x < w; ++x) {
                        uint32_t c, r;
                        Target(kind, w, h, x, y, c, r);
                        ASSERT_EQ(BitAt(dst, dstStride, c, r), BitAt(src, srcStride, x, y))
                            << "kind " << kind << " w " << w << " h " << h << " x " << x << " y " << y;
                    }
            }
}

TEST(OneBitTurns, HalfTurnOfTenPixelsPutsTheLastPixelInBitSeven) {
    const Bytes src = {0x00, 0x40};  // pixel 9 set
    Bytes dst(2, 0);
    CPicOperation op;
    EXPECT_TRUE(op.Rotate1Bit(src.data(), dst.data(), 10, 1, 1, 2, 2));
    EXPECT_EQ(dst, (Bytes{0x80, 0x00}));
}

TEST(OneBitTurns, ClockwiseReportsProgressPerBandOfEightRows) {
    std::vector<std::pair<uint32_t, uint32_t>> calls;
    SetProgressCallback(
        [](uint32_t done, uint32_t total, void* user) -> BOOL {
            static_cast<std::vector<std::pair<uint32_t, uint32_t>>*>(user)->push_back({done, total});
            return TRUE;
        },
        &calls);
    Bytes src(2 * 17, 0xFF), dst(3 * 9, 0);
    CPicOperation op;
    EXPECT_TRUE(op.Rotate1Bit(src.data(), dst.data(), 9, 17, 0, 2, 3));
    SetProgressCallback(nullptr, nullptr);
    EXPECT_EQ(calls, (std::vector<std::pair<uint32_t, uint32_t>>{{0, 2}, {1, 2}}));
}

TEST(OneBitTurns, ModeThreeDoesNothingAndSameBufferIsRefused) {
    Bytes buf(8, 0x11), other(8, 0);
    CPicOperation op;
    op.status = 77;
    EXPECT_FALSE(op.Rotate1Bit(buf.data(), other.data(), 8, 8, 3, 1, 1));
    EXPECT_EQ(op.status, 77) << "status left as it was";
    EXPECT_EQ(other, Bytes(8, 0));
    EXPECT_FALSE(op.Rotate1Bit(buf.data(), buf.data(), 8, 8, 0, 1, 1));
    EXPECT_EQ(op.status, PIC_ERR_BAD_PARAM);
}

}  // namespace
