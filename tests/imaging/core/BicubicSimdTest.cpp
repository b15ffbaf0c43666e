// The single-precision bicubic kernels, each forced in turn through the
// processor feature mask, against a float model of their rule and the
// portable double-precision path.
#include "tests/QvTest.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/core/PicBicubicSimd.h"
#include "imaging/core/PicEntryPoints.h"
#include "imaging/core/PicResizeBase.h"
#include "tests/imaging/core/ImagingTestSupport.h"
#include "tests/imaging/core/ResizeModel.h"

namespace {

using imgtest::GuardedBuffer;
using resizemodel::Image;

constexpr uint32_t kNoThreads = 0x100000;
constexpr uint16_t kAll = 0xFFFF;
constexpr uint16_t kNoAvx2 = (uint16_t)~PIC_CPU_AVX2;

Image<uint8_t> RandomImage(uint32_t w, uint32_t h, uint32_t c, uint32_t padding, uint32_t stream) {
    Image<uint8_t> image(w, h, c, padding);
    image.pixels = imgtest::RandomBytes(image.pixels.size(), stream);
    return image;
}

// The rule in single precision: column weights of the double fraction, row
// weights of the fraction first rounded to float; the row sums weighed by the
// row weights; one channel rounds to nearest, more channels truncate.
Image<uint8_t> FloatModel(const Image<uint8_t>& src, uint32_t dw, uint32_t dh) {
    Image<uint8_t> out(dw, dh, src.channels);
    const double sx = (double)src.width / dw, sy = (double)src.height / dh;
    for (uint32_t y = 0; y < dh; ++y) {
        double q = y * sy;
        float e = (float)(q - std::floor(q));
        float h[4] = {-e * (1 - e) * (1 - e), 1 - 2 * e * e + e * e * e, e + e * e - e * e * e, e * e * e - e * e};
        long long r[4];
        resizemodel::CubicTaps(q, src.height, r);
        for (uint32_t x = 0; x < dw; ++x) {
            double p = std::min(std::max(x * sx, 0.0), src.width - 1.0);
            double wd[4];
            resizemodel::CubicWeights(p - std::floor(p), wd);
            long long t[4];
            resizemodel::CubicTaps(p, src.width, t);
            for (uint32_t c = 0; c < src.channels; ++c) {
                float total = 0;
                for (int k = 0; k < 4; ++k) {
                    float rowSum = 0;
                    for (int j = 0; j < 4; ++j) rowSum += (float)wd[j] * src.at((uint32_t)t[j], (uint32_t)r[k], c);
                    total += h[k] * rowSum;
                }
                float v = src.channels == 1 ? std::nearbyint(total) : std::trunc(total);
                out.at(x, y, c) = (uint8_t)std::min(255.0f, std::max(0.0f, v));
            }
        }
    }
    return out;
}

void ExpectWithinOne(const uint8_t* actual, uint32_t stride, const Image<uint8_t>& expected, const std::string& what) {
    for (uint32_t y = 0; y < expected.height; ++y)
        for (uint32_t x = 0; x < expected.width; ++x)
            for (uint32_t c = 0; c < expected.channels; ++c) {
                int a = actual[(size_t)y * stride + (size_t)x * expected.channels + c], e = expected.at(x, y, c);
                ASSERT_LE(std::abs(a - e), 1) << what << " at " << x << "," << y << " channel " << c;
            }
}

struct Kernel {
    const char* name;
    PicBicubicRowsKernel rows;
    uint32_t channels;
    uint16_t mask;      // what the dispatch may see so that it picks this kernel
    uint16_t required;  // the feature the kernel needs
};
const Kernel kKernels[] = {
    {"Sse1", BicubicRowsSse1, 1, kAll, PIC_CPU_SSE3},
    {"Sse3", BicubicRowsSse3, 3, kNoAvx2, PIC_CPU_SSE3},
    {"Sse4", BicubicRowsSse4, 4, kNoAvx2, PIC_CPU_SSE3},
    {"Avx3", BicubicRowsAvx3, 3, kAll, PIC_CPU_AVX2},
    {"Avx4", BicubicRowsAvx4, 4, kAll, PIC_CPU_AVX2},
};

bool Present(const Kernel& k) { return PicHasCpuFeature(k.required); }

// Runs the kernel alone over the whole destination.
int32_t RunKernel(const Kernel& k, const uint8_t* src, uint32_t sw, uint32_t sh, uint32_t sstride, uint8_t* dst,
                  uint32_t dw, uint32_t dh, uint32_t dstride) {
    VovIredev::CPicImgBufExternConst<uint8_t> source(sw, sh, k.channels, sstride, src);
    VovIredev::CPicImgBufExtern<uint8_t> dest(dw, dh, k.channels, dstride, dst);
    PicBicubicSimdTables tables;
    if (BuildBicubicSimdTables(sw, dw, k.channels, tables) != PIC_ERR_OK) return -1;
    return k.rows(source, dest, tables, nullptr);
}

TEST(BicubicSimd, EveryKernelStaysWithinOneOfTheFloatModelAndThePortablePath) {
    struct Size {
        uint32_t w, h;
    } targets[] = {{40, 23}, {211, 150}, {97, 61}, {1, 1}, {3, 200}};
    for (const Kernel& k : kKernels) {
        if (!Present(k)) continue;
        imgtest::FeatureMask mask(k.mask);
        Image<uint8_t> src = RandomImage(97, 61, k.channels, 3, 300 + k.channels);
        for (const Size& to : targets) {
            Image<uint8_t> direct(to.w, to.h, k.channels, 2), dispatched(to.w, to.h, k.channels, 2),
                portable(to.w, to.h, k.channels);
            ASSERT_EQ(RunKernel(k, src.pixels.data(), 97, 61, src.stride, direct.pixels.data(), to.w, to.h,
                                direct.stride),
                      PIC_ERR_OK)
                << k.name;
            ASSERT_TRUE(pic_ResizeImage(src.pixels.data(), 97, 61, src.stride, dispatched.pixels.data(), to.w, to.h,
                                        dispatched.stride, k.channels, PIC_RESIZE_BICUBIC, kNoThreads));
            EXPECT_EQ(direct.pixels, dispatched.pixels) << k.name << ": the dispatch takes this kernel";
            resizemodel::Bicubic(src, portable);
            const std::string what = std::string(k.name) + " to " + std::to_string(to.w) + "x" + std::to_string(to.h);
            ExpectWithinOne(direct.pixels.data(), direct.stride, FloatModel(src, to.w, to.h), what + ", float model");
            ExpectWithinOne(direct.pixels.data(), direct.stride, portable, what + ", portable path");
        }
    }
}

TEST(BicubicSimd, SameSizeWithAnotherStrideReproducesTheSource) {
    for (const Kernel& k : kKernels) {
        if (!Present(k)) continue;
        Image<uint8_t> src = RandomImage(23, 17, k.channels, 5, 310);
        Image<uint8_t> dst(23, 17, k.channels, 1);
        ASSERT_EQ(RunKernel(k, src.pixels.data(), 23, 17, src.stride, dst.pixels.data(), 23, 17, dst.stride), 0);
        for (uint32_t y = 0; y < 17; ++y)
            ASSERT_EQ(memcmp(&dst.at(0, y, 0), &src.at(0, y, 0), 23 * k.channels), 0) << k.name << " row " << y;
    }
}

TEST(BicubicSimd, TinySourcesAndTightBuffersStayInside) {
    // Buffers of exactly (h - 1) * stride + w * c bytes before a no-access
    // page: the last pixel of the last row has no fourth byte to read.
    struct Shape {
        uint32_t sw, sh, dw, dh;
    } shapes[] = {{1, 1, 9, 7}, {2, 2, 9, 7}, {3, 3, 9, 7}, {3, 1, 10, 3}, {17, 9, 31, 4}, {31, 12, 7, 5}};
    for (const Kernel& k : kKernels) {
        if (!Present(k)) continue;
        for (const Shape& s : shapes) {
            const uint32_t c = k.channels;
            GuardedBuffer src((size_t)(s.sh - 1) * s.sw * c + s.sw * c), dst((size_t)(s.dh - 1) * s.dw * c + s.dw * c);
            Image<uint8_t> image = RandomImage(s.sw, s.sh, c, 0, 320 + s.sw);
            memcpy(src.data(), image.pixels.data(), image.pixels.size());
            ASSERT_EQ(RunKernel(k, src.data(), s.sw, s.sh, s.sw * c, dst.data(), s.dw, s.dh, s.dw * c), 0) << k.name;
            ExpectWithinOne(dst.data(), s.dw * c, FloatModel(image, s.dw, s.dh),
                            std::string(k.name) + " from " + std::to_string(s.sw) + "x" + std::to_string(s.sh));
        }
    }
}

TEST(BicubicSimd, MissingFeaturesGive71AndTheDispatchFallsBack) {
    Image<uint8_t> src = RandomImage(20, 10, 3, 0, 330);
    for (const Kernel& k : kKernels) {
        imgtest::FeatureMask mask((uint16_t)~k.required);
        Image<uint8_t> dst(9, 7, k.channels);
        Image<uint8_t> source = RandomImage(20, 10, k.channels, 0, 331);
        EXPECT_EQ(RunKernel(k, source.pixels.data(), 20, 10, source.stride, dst.pixels.data(), 9, 7, dst.stride),
                  PIC_ERR_CPU_FEATURE)
            << k.name;
    }
    imgtest::FeatureMask none((uint16_t) ~(PIC_CPU_SSE3 | PIC_CPU_AVX2));
    VovIredev::CPicImgBufExternConst<uint8_t> source(20, 10, 3, 60, src.pixels.data());
    Image<uint8_t> dst(9, 7, 3), expected(9, 7, 3);
    VovIredev::CPicImgBufExtern<uint8_t> dest(9, 7, 3, 27, dst.pixels.data());
    int32_t status = 0;
    EXPECT_FALSE(ResizeBicubicSimd(status, source, dest, kNoThreads));
    EXPECT_EQ(status, PIC_ERR_CPU_FEATURE);
    ASSERT_TRUE(pic_ResizeImage(src.pixels.data(), 20, 10, 60, dst.pixels.data(), 9, 7, 27, 3, PIC_RESIZE_BICUBIC, 0));
    resizemodel::Bicubic(src, expected);
    EXPECT_EQ(dst.pixels, expected.pixels) << "without the features the portable path runs";
}

TEST(BicubicSimd, RowBandsGiveTheSameBytesAsOneThread) {
    struct Size {
        uint32_t w, h;
    } targets[] = {{211, 150}, {21, 3}, {40, 23}};
    for (uint32_t channels : {1u, 3u, 4u}) {
        Image<uint8_t> src = RandomImage(97, 61, channels, 1, 340 + channels);
        for (const Size& to : targets) {
            Image<uint8_t> alone(to.w, to.h, channels);
            ASSERT_TRUE(pic_ResizeImage(src.pixels.data(), 97, 61, src.stride, alone.pixels.data(), to.w, to.h,
                                        alone.stride, channels, PIC_RESIZE_BICUBIC, kNoThreads));
            for (uint32_t bands = 1; bands <= 8; ++bands) {
                imgtest::BandCount count(bands);
                Image<uint8_t> banded(to.w, to.h, channels);
                ASSERT_TRUE(pic_ResizeImage(src.pixels.data(), 97, 61, src.stride, banded.pixels.data(), to.w, to.h,
                                            banded.stride, channels, PIC_RESIZE_BICUBIC, 0));
                EXPECT_EQ(banded.pixels, alone.pixels) << channels << " channels to " << to.w << " bands " << bands;
            }
        }
    }
}

TEST(BicubicSimd, KernelsRefuseWhatTheyDoNotServe) {
    Image<uint8_t> src = RandomImage(8, 8, 4, 0, 350), dst(4, 4, 4);
    for (const Kernel& k : kKernels) {
        if (!Present(k)) continue;
        EXPECT_EQ(RunKernel(k, src.pixels.data(), 8, 8, 8 * k.channels, src.pixels.data(), 4, 4, 4 * k.channels),
                  PIC_ERR_BAD_PARAM)
            << k.name << ": the same buffer";
        EXPECT_EQ(RunKernel(k, nullptr, 8, 8, 8 * k.channels, dst.pixels.data(), 4, 4, 4 * k.channels),
                  PIC_ERR_BAD_PARAM)
            << k.name << ": no source";
        EXPECT_EQ(RunKernel(k, src.pixels.data(), 8, 8, 8 * k.channels - 1, dst.pixels.data(), 4, 4, 4 * k.channels),
                  PIC_ERR_BAD_PARAM)
            << k.name << ": a short stride";
    }
    // The other channel counts take the portable path.
    Image<uint8_t> two = RandomImage(9, 9, 2, 0, 351);
    VovIredev::CPicImgBufExternConst<uint8_t> source(9, 9, 2, 18, two.pixels.data());
    EXPECT_FALSE(CanUseSimdBicubic(source));
}

}  // namespace
