#include "tests/QvTest.h"

#include <climits>
#include <cstring>
#include <utility>
#include <vector>

#include "imaging/core/PicFillEntryPoints.h"
#include "imaging/core/PicImgUtil.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicThreadState.h"
#include "tests/imaging/core/ImagingTestSupport.h"

namespace {

using Bytes = std::vector<uint8_t>;

// ---- independent models ----

// Whether pixel (px, py) lies in the RECT after cutting it to the image (right/bottom exclusive).
bool InRect(const RECT& r, int64_t px, int64_t py) {
    return px >= r.left && px < r.right && py >= r.top && py < r.bottom;
}

bool BitAt(const Bytes& b, uint32_t stride, uint32_t x, uint32_t y) {
    return (b[(size_t)y * stride + x / 8] >> (7 - x % 8)) & 1;
}
void SetBit(Bytes& b, uint32_t stride, uint32_t x, uint32_t y, bool v) {
    uint8_t& byte = b[(size_t)y * stride + x / 8];
    const uint8_t m = (uint8_t)(0x80 >> (x % 8));
    byte = v ? (uint8_t)(byte | m) : (uint8_t)(byte & ~m);
}

// Collects the progress calls of one operation.
struct ProgressLog {
    std::vector<std::pair<uint32_t, uint32_t>> calls;
    static BOOL Record(uint32_t done, uint32_t total, void* user) {
        static_cast<ProgressLog*>(user)->calls.push_back({done, total});
        return TRUE;
    }
    ProgressLog() { SetProgressCallback(&Record, this); }
    ~ProgressLog() { SetProgressCallback(nullptr, nullptr); }
};

struct RectCase {
    const char* fault;
    RECT rect;
};
// Rectangles on a 21 x 7 image.
const RectCase kRects[] = {
    {"inside, partial first and last bytes", {3, 1, 5, 4}},
    {"within one byte", {9, 0, 14, 7}},
    {"whole image", {0, 0, 21, 7}},
    {"reaches past the right and bottom", {15, 5, 40, 90}},
    {"starts left of and above the image", {-6, -3, 10, 2}},
    {"starts right of the image", {21, 0, 30, 7}},
    {"starts below the image", {0, 7, 21, 9}},
    {"huge right edge must not wrap", {4, 2, INT_MAX, 3}},
    {"far negative left", {INT_MIN, 1, 2, 3}},
    {"empty width", {5, 1, 5, 6}},
    {"whole bytes in the middle", {7, 2, 18, 3}},
};

TEST(SolidFills, OneBitRectanglesMatchAPerPixelModel) {
    const uint32_t w = 21, h = 7, stride = 5;
    for (const RectCase& c : kRects) {
        for (uint32_t value : {1u, 0x100u}) {  // only the low byte counts: 0x100 clears
            Bytes image = imgtest::RandomBytes(stride * h, 7);
            Bytes expect = image;
            for (uint32_t y = 0; y < h; ++y)
                for (uint32_t x = 0; x < w; ++x)
                    if (InRect(c.rect, x, y)) SetBit(expect, stride, x, y, value == 1);
            EXPECT_TRUE(pic_FillSolidRect1Bit(image.data(), w, h, stride, &c.rect, value)) << c.fault;
            EXPECT_EQ(pic_GetLastError(), 0) << c.fault;
            EXPECT_EQ(image, expect) << c.fault << " value " << value;
        }
    }
}

TEST(SolidFills, ByteRectanglesMatchAPerPixelModelForOneThreeAndFourChannels) {
    const uint32_t w = 21, h = 7;
    const uint32_t colour = 0x44332211;
    for (uint32_t channels : {1u, 3u, 4u}) {
        for (uint32_t flags : {0u, 1u}) {
            const uint8_t rgba[4] = {(uint8_t)(flags ? 0x33 : 0x11), 0x22, (uint8_t)(flags ? 0x11 : 0x33), 0x44};
            const uint32_t stride = w * channels + 3;
            for (const RectCase& c : kRects) {
                Bytes image = imgtest::RandomBytes(stride * h, 11);
                Bytes expect = image;
                for (uint32_t y = 0; y < h; ++y)
                    for (uint32_t x = 0; x < w; ++x)
                        if (InRect(c.rect, x, y))
                            for (uint32_t k = 0; k < channels; ++k)
                                expect[y * stride + x * channels + k] = channels == 1 ? 0x11 : rgba[k]  /* an index fill writes the low byte */;
                EXPECT_TRUE(pic_FillSolidRect(image.data(), w, h, channels, stride, &c.rect, colour, flags))
                    << c.fault;
                EXPECT_EQ(image, expect) << c.fault << " channels " << channels << " flags " << flags;
            }
        }
    }
}

TEST(SolidFills, UniformColourOverAPackedImageFillsEveryByteWithoutProgress) {
    const uint32_t w = 5, h = 3;
    Bytes image(w * 3 * h, 0);
    RECT all = {0, 0, 5, 3};
    ProgressLog log;
    EXPECT_TRUE(pic_FillSolidRect(image.data(), w, h, 3, w * 3, &all, 0x00808080, 0));
    EXPECT_EQ(image, Bytes(w * 3 * h, 0x80));
    EXPECT_TRUE(log.calls.empty());
    RECT part = {1, 1, 3, 3};
    EXPECT_TRUE(pic_FillSolidRect(image.data(), w, h, 3, w * 3, &part, 0x00010203, 0));
    EXPECT_EQ(log.calls, (std::vector<std::pair<uint32_t, uint32_t>>{{0, 2}, {1, 2}}))
        << "progress per painted row, counted from 0";
}

TEST(SolidFills, RefusalsLeaveTheImageUntouched) {
    const uint32_t w = 8, h = 4;
    struct Case {
        const char* fault;
        bool oneBit;
        uint32_t channels;
        bool nullRect;
        RECT rect;
        bool nullData;
    } cases[] = {
        {"inverted horizontally, 1 bit", true, 1, false, {6, 0, 2, 4}, false},
        {"inverted vertically, 1 bit", true, 1, false, {0, 3, 8, 1}, false},
        {"null RECT, 1 bit", true, 1, true, {}, false},
        {"null pixels, 1 bit", true, 1, false, {0, 0, 2, 2}, true},
        {"inverted, RGB", false, 3, false, {6, 0, 2, 4}, false},
        {"inverted, index", false, 1, false, {0, 4, 8, 0}, false},
        {"null RECT, RGBA", false, 4, true, {}, false},
        {"two channels", false, 2, false, {0, 0, 2, 2}, false},
        {"null pixels, RGB", false, 3, false, {0, 0, 2, 2}, true},
    };
    for (const Case& c : cases) {
        Bytes image(32 * h, 0x5A);
        const Bytes before = image;
        uint8_t* data = c.nullData ? nullptr : image.data();
        const RECT* rect = c.nullRect ? nullptr : &c.rect;
        BOOL ok = c.oneBit ? pic_FillSolidRect1Bit(data, w, h, 32, rect, 1)
                           : pic_FillSolidRect(data, w, h, c.channels, 32, rect, 0xFFFFFF, 0);
        EXPECT_FALSE(ok) << c.fault;
        EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM) << c.fault;
        EXPECT_EQ(image, before) << c.fault;
    }
    CPicOperation op;
    Bytes image(32, 0);
    EXPECT_FALSE(op.FillSolidRect8Bit(image.data(), 8, 4, 8, 0, 0, -1, 2, 1)) << "negative size";
    EXPECT_EQ(op.status, PIC_ERR_BAD_PARAM);
}

TEST(SolidFills, ThreeFromXWithTwoSetsExactlyPixelsThreeAndFour) {
    Bytes image(2 * 3, 0);
    CPicOperation op;
    EXPECT_TRUE(op.FillSolidRect1Bit(image.data(), 12, 3, 2, 3, 0, 2, 3, 0xFF));
    for (uint32_t y = 0; y < 3; ++y) {
        EXPECT_EQ(image[y * 2], 0x18);
        EXPECT_EQ(image[y * 2 + 1], 0x00);
    }
}

// ---- flips ----

template <class T>
std::vector<T> MirrorModel(const std::vector<T>& in, uint32_t w, uint32_t h, uint32_t px, uint32_t stride) {
    std::vector<T> out = in;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            for (uint32_t k = 0; k < px; ++k) out[y * stride + x * px + k] = in[y * stride + (w - 1 - x) * px + k];
    return out;
}

template <class T>
void CheckHorizontalFlip(const std::vector<T>& source) {
    for (uint32_t px : {1u, 3u, 4u})
        for (uint32_t w : {1u, 2u, 3u, 7u, 8u, 9u, 17u, 33u})
            for (uint32_t h : {1u, 2u, 5u}) {
                const uint32_t stride = w * px + 2;
                std::vector<T> data(source.begin(), source.begin() + (size_t)stride * h);
                const std::vector<T> expect = MirrorModel(data, w, h, px, stride);
                CPicImgUtilT<T> util;
                EXPECT_TRUE(util.FlipHorizontal(data.data(), w, h, px, stride));
                EXPECT_EQ(util.status, 0);
                EXPECT_TRUE(data == expect) << "w " << w << " h " << h << " px " << px;
            }
}

TEST(Flips, HorizontalFlipsMirrorEveryRowForEachSampleType) {
    const Bytes bytes = imgtest::RandomBytes(4096, 3);
    CheckHorizontalFlip(bytes);
    std::vector<uint16_t> shorts(4096);
    for (size_t i = 0; i < shorts.size(); ++i) shorts[i] = (uint16_t)(bytes[i] * 257 + i);
    CheckHorizontalFlip(shorts);
    CheckHorizontalFlip(imgtest::RandomFloats(4096, 5, 100.0f));
    CPicImgUtilT<float> util;
    EXPECT_FALSE(util.FlipHorizontal(nullptr, 2, 2, 1, 2));
    EXPECT_EQ(util.status, PIC_ERR_BAD_PARAM);
}

TEST(Flips, VerticalFlipSwapsRowsAndReportsEverySecondRow) {
    const uint32_t stride = 3, h = 5;
    Bytes image = imgtest::RandomBytes(stride * h, 9);
    Bytes expect(image.size());
    for (uint32_t y = 0; y < h; ++y) memcpy(&expect[y * stride], &image[(h - 1 - y) * stride], stride);
    ProgressLog log;
    CPicOperation op;
    EXPECT_TRUE(op.FlipVerticalInPlace(image.data(), stride, h));
    EXPECT_EQ(image, expect);
    EXPECT_EQ(log.calls, (std::vector<std::pair<uint32_t, uint32_t>>{{0, 5}, {2, 5}, {4, 5}}));
    EXPECT_FALSE(op.FlipVerticalInPlace(image.data(), 0, h));
    EXPECT_EQ(op.status, PIC_ERR_OUT_OF_MEMORY) << "a zero stride has no row temporary";
    EXPECT_FALSE(op.FlipVerticalInPlace(nullptr, 3, h));
    EXPECT_EQ(op.status, PIC_ERR_BAD_PARAM);
}

TEST(Flips, OneBitMirrorMatchesABitByBitModelAndKeepsNoPaddingJunk) {
    for (uint32_t w = 1; w <= 40; ++w)
        for (uint32_t h : {1u, 3u}) {
            const uint32_t stride = (w + 7) / 8 + 1;
            Bytes image = imgtest::RandomBytes(stride * h, w * 31 + h);
            Bytes expect(image.size(), 0);
            for (uint32_t y = 0; y < h; ++y)
                for (uint32_t x = 0; x < w; ++x) SetBit(expect, stride, x, y, BitAt(image, stride, w - 1 - x, y));
            CPicOperation op;
            EXPECT_TRUE(op.Mirror1BitInPlace(image.data(), w, h, stride));
            for (uint32_t y = 0; y < h; ++y)
                for (uint32_t x = 0; x < w; ++x)
                    ASSERT_EQ(BitAt(image, stride, x, y), BitAt(expect, stride, x, y)) << "w " << w << " x " << x;
        }
    CPicOperation op;
    EXPECT_TRUE(op.Mirror1BitInPlace(nullptr, 0, 4, 1)) << "an empty image succeeds at once";
    EXPECT_FALSE(op.Mirror1BitInPlace(nullptr, 3, 4, 1));
    EXPECT_EQ(op.status, PIC_ERR_BAD_PARAM);
}

}  // namespace
