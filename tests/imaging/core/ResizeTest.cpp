#include "tests/QvTest.h"

#include <cstring>
#include <string>
#include <vector>

#include "imaging/core/PicEntryPoints.h"
#include "imaging/core/PicResizeBase.h"
#include "tests/imaging/core/ImagingTestSupport.h"
#include "tests/imaging/core/ResizeModel.h"

namespace {

using resizemodel::Image;

constexpr uint32_t kNoThreads = 0x100000;

// flags & 0x600 of each channel type.
template <class T>
constexpr uint32_t TypeFlags();
template <>
constexpr uint32_t TypeFlags<uint8_t>() { return 0; }
template <>
constexpr uint32_t TypeFlags<uint16_t>() { return 0x200; }
template <>
constexpr uint32_t TypeFlags<double>() { return 0x400; }
template <>
constexpr uint32_t TypeFlags<float>() { return 0x600; }

template <class T>
Image<T> RandomImage(uint32_t w, uint32_t h, uint32_t c, uint32_t padding, uint32_t seed) {
    Image<T> image(w, h, c, padding);
    std::vector<uint8_t> bytes = imgtest::RandomBytes(image.pixels.size() * 2, seed);
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        uint32_t v = bytes[2 * i] | (bytes[2 * i + 1] << 8);
        if constexpr (sizeof(T) == 1)
            image.pixels[i] = (T)v;
        else if constexpr (std::is_integral_v<T>)
            image.pixels[i] = (T)(v * 3 + 1);
        else
            image.pixels[i] = (T)(v / 7.0 - 2000.0);
    }
    return image;
}

template <class T>
BOOL Resize(const Image<T>& src, Image<T>& dst, uint32_t method, uint32_t flags = kNoThreads) {
    return pic_ResizeImage(src.pixels.data(), src.width, src.height, src.stride, dst.pixels.data(), dst.width,
                           dst.height, dst.stride, src.channels, method, flags | TypeFlags<T>());
}

// A buffer of exactly `bytes` bytes whose end touches a no-access page, so a
// read or write past it faults.
class GuardedBuffer {
public:
    explicit GuardedBuffer(size_t bytes) {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        size_t page = info.dwPageSize;
        size_t span = (bytes + page - 1) / page * page;
        m_base = static_cast<uint8_t*>(VirtualAlloc(nullptr, span + page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        DWORD old = 0;
        VirtualProtect(m_base + span, page, PAGE_NOACCESS, &old);
        m_data = m_base + span - bytes;
    }
    ~GuardedBuffer() { VirtualFree(m_base, 0, MEM_RELEASE); }
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;
    uint8_t* data() const { return m_data; }

private:
    uint8_t* m_base = nullptr;
    uint8_t* m_data = nullptr;
};

// ---- dispatch ----

enum Kind { kUChar, kUShort, kFloat, kDouble };

// Cells of the method table that refuse with 5 whatever the sizes.
bool RefusedByTable(Kind kind, uint32_t method) {
    if (method >= 19) return true;
    if (method <= 13) return kind != kUChar;
    if (method == 14) return kind == kFloat || kind == kDouble;
    return false;
}

template <class T>
void CheckDispatchRow(Kind kind) {
    Image<T> src = RandomImage<T>(12, 10, 3, 0, 5);
    for (uint32_t method : {0u, 5u, 13u, 14u, 15u, 16u, 17u, 18u, 19u, 20u, 1000u}) {
        Image<T> dst(6, 5, 3, 1);
        BOOL ok = Resize(src, dst, method);
        int32_t code = pic_GetLastError();
        if (RefusedByTable(kind, method)) {
            EXPECT_FALSE(ok) << "type " << kind << " method " << method;
            EXPECT_EQ(code, PIC_ERR_BAD_PARAM) << "type " << kind << " method " << method;
        } else {
            EXPECT_NE(code, PIC_ERR_BAD_PARAM) << "an admitted cell, type " << kind << " method " << method;
        }
    }
}

TEST(ResizeDispatch, EveryChannelTypeRefusesTheCellsTheTableDoesNotAdmit) {
    CheckDispatchRow<uint8_t>(kUChar);
    CheckDispatchRow<uint16_t>(kUShort);
    CheckDispatchRow<float>(kFloat);
    CheckDispatchRow<double>(kDouble);
}

TEST(ResizeDispatch, OneBitAndPalettisedFormsRefuseMethodsTheyDoNotHave) {
    uint8_t src[16] = {}, dst[16] = {};
    RGBQUAD palette[2] = {};
    for (uint32_t method = 0; method < 21; ++method) {
        bool oneBit = method == 14 || method == 16;
        bool toGray = method <= 14 || method == 16;
        bool paletted = method == 14 || method == 16 || method == 18;
        pic_ResizeImage1(src, 8, 4, 1, dst, 8, 2, 1, 128, method, kNoThreads);
        EXPECT_EQ(pic_GetLastError() == PIC_ERR_BAD_PARAM, !oneBit) << "1-bit, method " << method;
        pic_ResizeImage1To8Gray(src, 8, 4, 1, dst, 4, 2, 4, method, kNoThreads);
        EXPECT_EQ(pic_GetLastError() == PIC_ERR_BAD_PARAM, !toGray) << "1-bit to gray, method " << method;
        pic_ResizeImage8(src, 4, 4, 4, dst, 2, 2, 2, palette, 2, method, kNoThreads);
        EXPECT_EQ(pic_GetLastError() == PIC_ERR_BAD_PARAM, !paletted) << "palettised, method " << method;
    }
}

// ---- nearest neighbour ----

template <class T>
void CheckNearestAgainstModel() {
    struct Size {
        uint32_t w, h;
    } targets[] = {{40, 23}, {211, 150}, {97, 61}, {1, 1}, {97, 1}};
    for (uint32_t channels = 1; channels <= 5; ++channels) {
        Image<T> src = RandomImage<T>(97, 61, channels, 3, channels);
        for (const Size& to : targets) {
            Image<T> expected(to.w, to.h, channels, 2), actual(to.w, to.h, channels, 2);
            resizemodel::Nearest(src, expected);
            ASSERT_TRUE(Resize(src, actual, PIC_RESIZE_NEAREST)) << pic_GetLastError();
            for (uint32_t y = 0; y < to.h; ++y)
                for (uint32_t x = 0; x < to.w; ++x)
                    for (uint32_t c = 0; c < channels; ++c)
                        ASSERT_EQ(actual.at(x, y, c), expected.at(x, y, c))
                            << to.w << "x" << to.h << " channels " << channels << " at " << x << "," << y;
        }
    }
}

TEST(NearestResize, MatchesTheModelForEveryTypeAndChannelCount) {
    CheckNearestAgainstModel<uint8_t>();
    CheckNearestAgainstModel<uint16_t>();
    CheckNearestAgainstModel<float>();
    CheckNearestAgainstModel<double>();
}

TEST(NearestResize, PicksTheLeftEdgeWithoutHalfPixelOffset) {
    struct Case {
        const char* name;
        std::vector<uint8_t> src;
        std::vector<uint8_t> expected;
    } cases[] = {
        {"4 to 2 picks 0 and 2", {10, 11, 12, 13}, {10, 12}},
        {"2 to 5 picks 0, 0, 0, 1, 1", {10, 11}, {10, 10, 10, 11, 11}},
        {"1 to 3 repeats the pixel", {7}, {7, 7, 7}},
        {"3 to 1 keeps the first", {1, 2, 3}, {1}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> out(c.expected.size());
        uint32_t sw = (uint32_t)c.src.size(), dw = (uint32_t)out.size();
        ASSERT_TRUE(pic_ResizeImage(c.src.data(), sw, 1, sw, out.data(), dw, 1, dw, 1, PIC_RESIZE_NEAREST, 0))
            << c.name;
        EXPECT_EQ(out, c.expected) << c.name;
    }
}

TEST(NearestResize, LongRowsPickColumnsWithoutWrappingThePosition) {
    // 100000 x 1 to 50000 must take column 2x everywhere; x * 100000 passes
    // 2^32 from x = 42950 on.
    const uint32_t sw = 100000, dw = 50000;
    std::vector<float> src(sw), dst(dw);
    for (uint32_t i = 0; i < sw; ++i) src[i] = (float)i;
    ASSERT_TRUE(pic_ResizeImage(src.data(), sw, 1, sw, dst.data(), dw, 1, dw, 1, PIC_RESIZE_NEAREST, 0x600));
    for (uint32_t x = 0; x < dw; ++x) ASSERT_EQ(dst[x], (float)(2 * x)) << x;
}

TEST(NearestResize, SameSizeCopiesOnlyTheImageBytes) {
    // Buffers of exactly (h - 1) * stride + w * c bytes before a no-access page.
    const uint32_t w = 13, h = 7, c = 3, stride = 45;
    const size_t bytes = (size_t)(h - 1) * stride + w * c;
    GuardedBuffer src(bytes), dst(bytes);
    std::vector<uint8_t> pattern = imgtest::RandomBytes(bytes, 9);
    memcpy(src.data(), pattern.data(), bytes);
    memset(dst.data(), 0, bytes);
    ASSERT_TRUE(pic_ResizeImage(src.data(), w, h, stride, dst.data(), w, h, stride, c, PIC_RESIZE_NEAREST, 0));
    EXPECT_EQ(memcmp(dst.data(), pattern.data(), bytes), 0) << "an exact copy, padding included";

    // The same size with another stride goes through the resampler and keeps the pixels.
    const uint32_t tight = w * c;
    GuardedBuffer packed((size_t)(h - 1) * tight + w * c);
    ASSERT_TRUE(pic_ResizeImage(src.data(), w, h, stride, packed.data(), w, h, tight, c, PIC_RESIZE_NEAREST, 0));
    for (uint32_t y = 0; y < h; ++y)
        EXPECT_EQ(memcmp(packed.data() + (size_t)y * tight, pattern.data() + (size_t)y * stride, tight), 0) << y;
}

TEST(NearestResize, ReadsAndWritesNothingPastTightBuffers) {
    for (uint32_t c : {1u, 3u, 4u}) {
        const uint32_t sw = 17, sh = 9, dw = 31, dh = 4;
        GuardedBuffer src((size_t)(sh - 1) * sw * c + sw * c), dst((size_t)(dh - 1) * dw * c + dw * c);
        memset(src.data(), 0x5A, (size_t)sh * sw * c);
        ASSERT_TRUE(pic_ResizeImage(src.data(), sw, sh, sw * c, dst.data(), dw, dh, dw * c, c, PIC_RESIZE_NEAREST, 0));
        EXPECT_EQ(dst.data()[(size_t)dh * dw * c - 1], 0x5A) << c;
    }
}

TEST(NearestResize, RefusesUnusableArguments) {
    uint8_t src[64] = {}, dst[64] = {};
    struct Case {
        const char* name;
        const uint8_t* src;
        uint8_t* dst;
        uint32_t sw, sh, sstride, dw, dh, dstride, channels;
    } cases[] = {
        {"null source", nullptr, dst, 4, 4, 4, 2, 2, 2, 1},
        {"null destination", src, nullptr, 4, 4, 4, 2, 2, 2, 1},
        {"no channels", src, dst, 4, 4, 4, 2, 2, 2, 0},
        {"source width 0", src, dst, 0, 4, 4, 2, 2, 2, 1},
        {"source height 0", src, dst, 4, 0, 4, 2, 2, 2, 1},
        {"destination width 0", src, dst, 4, 4, 4, 0, 2, 2, 1},
        {"destination height 0", src, dst, 4, 4, 4, 2, 0, 2, 1},
        {"source stride shorter than a row", src, dst, 4, 4, 11, 2, 2, 6, 3},
        {"destination stride shorter than a row", src, dst, 4, 4, 12, 2, 2, 5, 3},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(pic_ResizeImage(c.src, c.sw, c.sh, c.sstride, c.dst, c.dw, c.dh, c.dstride, c.channels,
                                     PIC_RESIZE_NEAREST, 0))
            << c.name;
        EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM) << c.name;
        if (c.channels != 1) continue;
        RGBQUAD palette[4] = {};
        EXPECT_FALSE(pic_ResizeImage8(c.src, c.sw, c.sh, c.sstride, c.dst, c.dw, c.dh, c.dstride, palette, 4,
                                      PIC_RESIZE_NEAREST, 0))
            << "palettised, " << c.name;
        EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM) << "palettised, " << c.name;
    }
}

TEST(NearestResize, PalettisedFormCopiesIndices) {
    const uint8_t src[] = {0, 1, 2, 3, 9, 4, 5, 6, 7, 9};  // stride 5, one padding byte
    uint8_t dst[4] = {};
    RGBQUAD palette[8] = {};
    ASSERT_TRUE(pic_ResizeImage8(src, 4, 2, 5, dst, 2, 2, 2, palette, 8, PIC_RESIZE_NEAREST, 0));
    EXPECT_EQ(std::vector<uint8_t>(dst, dst + 4), (std::vector<uint8_t>{0, 2, 4, 6}));
}

TEST(NearestResize, ACancelStopsAfterTheFirstChannel) {
    Image<uint8_t> src(8, 8, 3);
    std::fill(src.pixels.begin(), src.pixels.end(), 200);
    Image<uint8_t> dst(4, 4, 3);
    int calls = 0;
    SetProgressCallback(
        [](uint32_t, uint32_t, void* user) -> BOOL {
            ++*static_cast<int*>(user);
            return FALSE;
        },
        &calls);
    BOOL ok = Resize(src, dst, PIC_RESIZE_NEAREST);
    SetProgressCallback(nullptr, nullptr);
    EXPECT_FALSE(ok);
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_CANCELLED);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(dst.at(3, 3, 0), 200) << "the first channel is written";
    EXPECT_EQ(dst.at(0, 0, 1), 0) << "the second is not";
}

}  // namespace
