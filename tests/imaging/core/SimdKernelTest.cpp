#include "tests/QvTest.h"

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "imaging/core/PicBlendRules.h"
#include "imaging/core/PicLogicalBlend.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicRowKernels.h"
#include "tests/imaging/core/ImagingTestSupport.h"

namespace {

using imgtest::kAwkwardLengthCount;
using imgtest::kAwkwardLengths;

typedef bool (CPicSIMDLogicalBufBlend::*ByteOp)(uint8_t*, const uint8_t*, uint32_t);
typedef bool (CPicSIMDLogicalBufBlend::*FloatOp)(float*, const float*, uint32_t, double);

struct ByteCase {
    const char* name;
    ByteOp op;
    uint8_t (*rule)(uint8_t d, uint8_t s);
};

const ByteCase kByteCases[] = {
    {"And", &CPicSIMDLogicalBufBlend::And, [](uint8_t d, uint8_t s) { return (uint8_t)(d & s); }},
    {"Or", &CPicSIMDLogicalBufBlend::Or, [](uint8_t d, uint8_t s) { return (uint8_t)(d | s); }},
    {"Xor", &CPicSIMDLogicalBufBlend::Xor, [](uint8_t d, uint8_t s) { return (uint8_t)(d ^ s); }},
    {"Nand", &CPicSIMDLogicalBufBlend::Nand, [](uint8_t d, uint8_t s) { return (uint8_t)~(d & s); }},
    {"Nor", &CPicSIMDLogicalBufBlend::Nor, [](uint8_t d, uint8_t s) { return (uint8_t)~(d | s); }},
    {"Xnor", &CPicSIMDLogicalBufBlend::Xnor, [](uint8_t d, uint8_t s) { return (uint8_t)~(d ^ s); }},
    {"MaxByte", &CPicSIMDLogicalBufBlend::MaxByte, [](uint8_t d, uint8_t s) { return d > s ? d : s; }},
    {"MinByte", &CPicSIMDLogicalBufBlend::MinByte, [](uint8_t d, uint8_t s) { return d < s ? d : s; }},
    {"AddSatByte", &CPicSIMDLogicalBufBlend::AddSatByte,
     [](uint8_t d, uint8_t s) { return (uint8_t)(d + s > 255 ? 255 : d + s); }},
    {"SubSatByte", &CPicSIMDLogicalBufBlend::SubSatByte,
     [](uint8_t d, uint8_t s) { return (uint8_t)(d > s ? d - s : 0); }},
    {"RevSubSatByte", &CPicSIMDLogicalBufBlend::RevSubSatByte,
     [](uint8_t d, uint8_t s) { return (uint8_t)(s > d ? s - d : 0); }},
    {"DiffByte", &CPicSIMDLogicalBufBlend::DiffByte,
     [](uint8_t d, uint8_t s) { return (uint8_t)(d > s ? d - s : s - d); }},
    {"ScreenByte", &CPicSIMDLogicalBufBlend::ScreenByte,
     [](uint8_t d, uint8_t s) { return (uint8_t)(255 - (((255 - d) * (255 - s)) >> 8)); }},
};

struct FloatCase {
    const char* name;
    FloatOp op;
    float (*result)(float d, float s);
};

const FloatCase kFloatCases[] = {
    {"MaxFloat", &CPicSIMDLogicalBufBlend::MaxFloat, [](float d, float s) { return d > s ? d : s; }},
    {"MinFloat", &CPicSIMDLogicalBufBlend::MinFloat, [](float d, float s) { return d < s ? d : s; }},
    {"AddFloat", &CPicSIMDLogicalBufBlend::AddFloat, [](float d, float s) { return d + s; }},
    {"SubFloat", &CPicSIMDLogicalBufBlend::SubFloat, [](float d, float s) { return d - s; }},
    {"RevSubFloat", &CPicSIMDLogicalBufBlend::RevSubFloat, [](float d, float s) { return s - d; }},
    {"DiffFloat", &CPicSIMDLogicalBufBlend::DiffFloat, [](float d, float s) { return std::fabs(d - s); }},
    {"BlendFloat", &CPicSIMDLogicalBufBlend::BlendFloat, [](float, float s) { return s; }},
};

// A kernel set with the vector width its float rule steps by.
struct KernelSet {
    const char* name;
    std::function<std::unique_ptr<CPicSIMDLogicalBufBlend>()> make;
    uint32_t floatStep;      // 0: every element follows the double rule
    uint16_t byteFeature;    // a bit whose absence makes byte operations refuse
    uint16_t floatFeature;
};

std::vector<KernelSet> SetsOnThisMachine() {
    std::vector<KernelSet> sets;
    sets.push_back({"plain", [] { return std::make_unique<CPicLogicalBufBlendPlain>(); }, 0, 0, 0});
    if (PicHasCpuFeature(PIC_CPU_SSE2 | PIC_CPU_SSE3))
        sets.push_back({"SSE", [] { return std::make_unique<CPicSIMDLogicalBufBlendSSE>(); }, 4, PIC_CPU_SSE2,
                        PIC_CPU_SSE2});
    if (PicHasCpuFeature(PIC_CPU_AVX | PIC_CPU_AVX2))
        sets.push_back({"AVX", [] { return std::make_unique<CPicSIMDLogicalBufBlendAVX>(); }, 8, PIC_CPU_AVX2,
                        PIC_CPU_AVX});
    return sets;
}

TEST(BlendKernels, ThisMachineRunsEverySet) {
    // The SIMD comparisons below are only as good as the sets they reach: say so when one is missing.
    if (SetsOnThisMachine().size() < 3) GTEST_SKIP() << "this processor lacks AVX2: the AVX set is not compared";
    EXPECT_EQ(SetsOnThisMachine().size(), 3u);
}

TEST(BlendKernels, ByteOperationsFollowTheirFormulaAtEveryLength) {
    for (const KernelSet& set : SetsOnThisMachine()) {
        auto kernels = set.make();
        for (const ByteCase& c : kByteCases) {
            for (size_t li = 0; li < kAwkwardLengthCount; ++li) {
                uint32_t n = kAwkwardLengths[li];
                auto d = imgtest::RandomBytes(n + 8, n + 1), s = imgtest::RandomBytes(n + 8, n + 1000);
                auto want = d;
                for (uint32_t i = 0; i < n; ++i) want[i] = c.rule(d[i], s[i]);
                ASSERT_TRUE(((*kernels).*c.op)(d.data(), s.data(), n));
                ASSERT_EQ(d, want) << set.name << " " << c.name << " length " << n;
            }
        }
        EXPECT_EQ(kernels->status, 0);
    }
}

TEST(BlendKernels, ByteOperationsInPlace) {
    for (const KernelSet& set : SetsOnThisMachine()) {
        auto kernels = set.make();
        auto d = imgtest::RandomBytes(77, 5);
        auto want = d;
        for (auto& v : want) v = PicBlendRules::AddSat(v, v);
        ASSERT_TRUE(kernels->AddSatByte(d.data(), d.data(), 77));
        EXPECT_EQ(d, want) << set.name;
    }
}

TEST(BlendKernels, ByteBlendUsesTheTruncatedWeight) {
    for (const KernelSet& set : SetsOnThisMachine()) {
        auto kernels = set.make();
        for (double x : {0.5, 0.3, 0.999, 0.001, 1.0 / 256}) {
            uint16_t c = (uint16_t)(x * 256.0);
            for (size_t li = 0; li < kAwkwardLengthCount; ++li) {
                uint32_t n = kAwkwardLengths[li];
                auto d = imgtest::RandomBytes(n + 4, n + 7), s = imgtest::RandomBytes(n + 4, n + 99);
                auto want = d;
                for (uint32_t i = 0; i < n; ++i)
                    want[i] = (uint8_t)(((uint32_t)s[i] * c + (uint32_t)d[i] * (256 - c)) >> 8);
                ASSERT_TRUE(kernels->BlendByte(d.data(), s.data(), n, x));
                ASSERT_EQ(d, want) << set.name << " x " << x << " length " << n;
            }
        }
        auto d = imgtest::RandomBytes(40, 1), s = imgtest::RandomBytes(40, 2), half = d;
        for (int i = 0; i < 40; ++i) half[i] = (uint8_t)((d[i] + s[i]) >> 1);
        auto untouched = d;
        ASSERT_TRUE(kernels->BlendByte(d.data(), s.data(), 40, 0.0));
        EXPECT_EQ(d, untouched) << "x = 0 writes nothing";
        ASSERT_TRUE(kernels->BlendByte(d.data(), s.data(), 40, 0.5));
        EXPECT_EQ(d, half) << "x = 0.5 is the mean";
        ASSERT_TRUE(kernels->BlendByte(d.data(), s.data(), 40, 1.0));
        EXPECT_EQ(d, s) << "x = 1 copies";
    }
}

TEST(BlendKernels, ScreenAndSaturationEdges) {
    for (const KernelSet& set : SetsOnThisMachine()) {
        auto kernels = set.make();
        std::vector<uint8_t> d(40, 0), s(40, 0);
        kernels->ScreenByte(d.data(), s.data(), 40);
        EXPECT_EQ(d[39], 1) << set.name << ": two zeros screen to 1";
        std::fill(d.begin(), d.end(), 255);
        s = imgtest::RandomBytes(40, 3);
        kernels->ScreenByte(d.data(), s.data(), 40);
        EXPECT_EQ(d, std::vector<uint8_t>(40, 255));
        std::vector<uint8_t> a(33, 10), b(33, 20);
        kernels->SubSatByte(a.data(), b.data(), 33);
        EXPECT_EQ(a[32], 0);
        std::vector<uint8_t> p(33, 200), q(33, 100);
        kernels->AddSatByte(p.data(), q.data(), 33);
        EXPECT_EQ(p[32], 255);
    }
}

// Vector steps follow the single-precision rule, the leftovers the double rule.
float ExpectedFloat(const FloatCase& c, float d, float s, double x, bool inStep) {
    float r = c.result(d, s);
    if (x == 1.0) return r;
    if (!inStep) {
        if (c.op == &CPicSIMDLogicalBufBlend::BlendFloat) return PicBlendRules::TailBlendSource(d, s, x);
        return (float)((1.0 - x) * (double)d + x * (double)r);
    }
    float xf = (float)x, yf = (float)(1.0 - x);
    float a = r * xf;
    float b = d * yf;
    return a + b;
}

TEST(BlendKernels, FloatOperationsFollowTheirOwnRoundingRules) {
    for (const KernelSet& set : SetsOnThisMachine()) {
        auto kernels = set.make();
        for (const FloatCase& c : kFloatCases) {
            for (double x : {0.3, 1.0, 0.7137, 0.0}) {
                for (size_t li = 0; li < kAwkwardLengthCount; ++li) {
                    uint32_t n = kAwkwardLengths[li];
                    auto d = imgtest::RandomFloats(n + 3, n + 11, 1000.0f);
                    auto s = imgtest::RandomFloats(n + 3, n + 12, 1000.0f);
                    auto got = d;
                    ASSERT_TRUE(((*kernels).*c.op)(got.data(), s.data(), n, x));
                    uint32_t stepped = set.floatStep ? n / set.floatStep * set.floatStep : 0;
                    for (uint32_t i = 0; i < n + 3; ++i) {
                        float want = i >= n ? d[i]
                                     : (x == 0.0 && c.op == &CPicSIMDLogicalBufBlend::BlendFloat)
                                         ? d[i]
                                         : ExpectedFloat(c, d[i], s[i], x, i < stepped);
                        ASSERT_EQ(memcmp(&got[i], &want, 4), 0)
                            << set.name << " " << c.name << " x " << x << " length " << n << " element " << i
                            << ": " << got[i] << " vs " << want;
                    }
                }
            }
        }
    }
}

TEST(BlendKernels, SevenFloatsSplitIntoAStepAndALeftover) {
    if (!PicHasCpuFeature(PIC_CPU_SSE2)) GTEST_SKIP();
    // 0.3 is not exact in either precision: the two rules give different last bits here.
    float d[7] = {0.1f, 1.7f, 3.3f, 123.456f, 0.1f, 1.7f, 3.3f};
    float s[7] = {0.9f, 2.2f, 7.7f, 654.321f, 0.9f, 2.2f, 7.7f};
    CPicSIMDLogicalBufBlendSSE sse;
    float got[7];
    memcpy(got, d, sizeof got);
    ASSERT_TRUE(sse.AddFloat(got, s, 7, 0.3));
    for (int i = 0; i < 7; ++i) {
        float r = d[i] + s[i];
        float want = i < 4 ? PicBlendRules::StepBlend(d[i], r, 0.3f, (float)0.7) : PicBlendRules::TailBlend(d[i], r, 0.3);
        EXPECT_EQ(got[i], want) << i;
    }
    memcpy(got, d, sizeof got);
    ASSERT_TRUE(sse.AddFloat(got, s, 7, 1.0));
    for (int i = 0; i < 7; ++i) EXPECT_EQ(got[i], d[i] + s[i]);
}

TEST(BlendKernels, MissingFeatureRefusesWithoutWriting) {
    struct Refusal {
        const char* set;
        uint16_t mask;
        std::function<std::unique_ptr<CPicSIMDLogicalBufBlend>()> make;
        bool byteRefused, floatRefused;
    } cases[] = {
        {"SSE without SSE2", (uint16_t)~PIC_CPU_SSE2, [] { return std::make_unique<CPicSIMDLogicalBufBlendSSE>(); },
         true, true},
        {"AVX without AVX2", (uint16_t)~PIC_CPU_AVX2, [] { return std::make_unique<CPicSIMDLogicalBufBlendAVX>(); },
         true, false},
        {"AVX without AVX", (uint16_t)~PIC_CPU_AVX, [] { return std::make_unique<CPicSIMDLogicalBufBlendAVX>(); },
         false, true},
    };
    for (const Refusal& c : cases) {
        imgtest::FeatureMask mask(c.mask);
        auto kernels = c.make();
        std::vector<uint8_t> d(50, 1), s(50, 2);
        EXPECT_EQ(kernels->Or(d.data(), s.data(), 50), !c.byteRefused) << c.set;
        EXPECT_EQ(d[0], c.byteRefused ? 1 : 3) << c.set;
        std::vector<float> fd(50, 1.0f), fs(50, 2.0f);
        EXPECT_EQ(kernels->AddFloat(fd.data(), fs.data(), 50, 1.0), !c.floatRefused) << c.set;
        EXPECT_EQ(fd[0], c.floatRefused ? 1.0f : 3.0f) << c.set;
        EXPECT_EQ(kernels->status, PIC_ERR_CPU_FEATURE) << c.set << ": a refusal stays in the status";
    }
    imgtest::FeatureMask noSse3((uint16_t)~PIC_CPU_SSE3);
    CPicSIMDLogicalBufBlendSSE sse;
    uint8_t d[4] = {1, 2, 3, 4}, s[4] = {4, 3, 2, 1};
    EXPECT_TRUE(sse.MaxByte(d, s, 4));
    EXPECT_FALSE(sse.DiffByte(d, s, 4)) << "DiffByte needs SSE3";
    EXPECT_EQ(d[0], 4);
}

TEST(BlendKernels, SetChoiceTable) {
    struct Case {
        int32_t mode;
        double opacity;
        int32_t kind;
        bool sse, avx;
    } cases[] = {
        {0, 0.5, 2, true, true},   {5, 0.5, 2, true, true},   {39, 0.2, 2, true, true},
        {12, 1.0, 2, false, false}, {1, 1.0, 2, false, false}, {0, 0.5, 0, true, true},
        {14, 0.5, 0, false, true},  {14, 1.0, 0, true, true},  {2, 0.5, 0, false, false},
        {2, 1.0, 0, true, true},    {19, 1.0, 0, true, true},  {20, 1.0, 0, false, false},
        {0, 1.0, 1, false, false},  {0, 1.0, 3, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsSSEBlendAvailable(c.mode, c.opacity, c.kind), c.sse) << c.mode << "/" << c.kind;
        EXPECT_EQ(IsAVXBlendAvailable(c.mode, c.opacity, c.kind), c.avx) << c.mode << "/" << c.kind;
    }
    imgtest::FeatureMask noAvx2((uint16_t)~PIC_CPU_AVX2);
    EXPECT_FALSE(IsAVXBlendAvailable(0, 1.0, 0));
    EXPECT_TRUE(IsAVXBlendAvailable(0, 1.0, 2)) << "float modes need AVX only";
}

TEST(RowKernels, KindTestsFollowTheFeatureWord) {
    for (int32_t kind = 0; kind <= 4; ++kind) EXPECT_TRUE(IsSimdKernelAvailable(kind)) << kind;
    EXPECT_FALSE(IsSimdKernelAvailable(5));
    EXPECT_FALSE(IsSimdKernelAvailable(-1));
    imgtest::FeatureMask noSse41((uint16_t)~PIC_CPU_SSE41);
    EXPECT_FALSE(IsSimdKernelAvailable(3));
    EXPECT_TRUE(IsSimdKernelAvailable(4));
}

TEST(RowKernels, VectorFormsMatchThePlainFormsAtEveryLength) {
    CPicOperation op;
    for (size_t li = 0; li < kAwkwardLengthCount; ++li) {
        uint32_t n = kAwkwardLengths[li];
        auto rgba = imgtest::RandomBytes(4 * n + 5, n + 1);
        auto rgb = imgtest::RandomBytes(3 * n + 5, n + 2);
        auto mask = imgtest::RandomBytes(n + 5, n + 3);

        auto a = rgb, b = rgb;
        ASSERT_TRUE(op.BlendColorMaskRowSSE41(a.data(), mask.data(), n, 0xAB1234FE));
        BlendColorMaskRow(b.data(), mask.data(), n, 0xAB1234FE);
        ASSERT_EQ(a, b) << "colour mask, length " << n;

        a = rgb, b = rgb;
        ASSERT_TRUE(op.BlendRGBAOverRGBRowSSE41(rgba.data(), a.data(), n));
        BlendRGBAOverRGBRow(rgba.data(), b.data(), n);
        ASSERT_EQ(a, b) << "RGBA over RGB, length " << n;

        std::vector<uint8_t> rgbA(3 * n + 5, 7), rgbB(3 * n + 5, 7), alphaA(n + 5, 7), alphaB(n + 5, 7);
        ASSERT_TRUE(op.SplitRGBARowSSSE3(rgba.data(), rgbA.data(), alphaA.data(), n));
        SplitRGBARow(rgba.data(), rgbB.data(), alphaB.data(), n);
        ASSERT_EQ(rgbA, rgbB) << "split, length " << n;
        ASSERT_EQ(alphaA, alphaB) << "split, length " << n;
        ASSERT_TRUE(op.SplitRGBARowSSSE3(rgba.data(), nullptr, alphaA.data(), n));
        ASSERT_EQ(alphaA, alphaB);

        a = rgb, b = rgb;
        ASSERT_TRUE(op.SwapRBRowSSE41(a.data(), n));
        SwapRBRow(b.data(), n);
        ASSERT_EQ(a, b) << "swap, length " << n;

        std::vector<uint8_t> copyA(3 * n + 5, 9), copyB(3 * n + 5, 9);
        ASSERT_TRUE(op.CopySwapRBRowSSE41(rgb.data(), copyA.data(), n));
        CopySwapRBRow(rgb.data(), copyB.data(), n);
        ASSERT_EQ(copyA, copyB) << "copy-swap, length " << n;
    }
    EXPECT_EQ(op.status, 0);
}

TEST(RowKernels, PlainFormsFollowTheirFormulas) {
    uint8_t black[3] = {0, 0, 0};
    uint8_t m128 = 128;
    BlendColorMaskRow(black, &m128, 1, 0x0000FF);
    EXPECT_EQ(black[0], 128) << "32640 / 255";
    EXPECT_EQ(black[1], 0);
    uint8_t white[3] = {255, 255, 255};
    uint8_t m1 = 1;
    BlendColorMaskRow(white, &m1, 1, 0);
    EXPECT_EQ(white[0], 254);

    const uint8_t over[8] = {10, 20, 30, 0, 200, 100, 50, 255};
    uint8_t under[6] = {1, 2, 3, 4, 5, 6};
    BlendRGBAOverRGBRow(over, under, 2);
    EXPECT_EQ(imgtest::Hex(under, 6), "01 02 03 C8 64 32 ") << "alpha 0 leaves, alpha 255 copies";
    const uint8_t half[4] = {255, 0, 100, 128};
    uint8_t base[3] = {0, 255, 100};
    BlendRGBAOverRGBRow(half, base, 1);
    EXPECT_EQ(imgtest::Hex(base, 3), "80 7F 64 ") << "(255*128)/255, (255*127)/255, 100";

    for (uint32_t p = 0; p <= 255 * 255; ++p) ASSERT_EQ(DivideBy255(p), p / 255) << p;
}

TEST(RowKernels, StandAloneKernelsCheckFeatureBeforePointers) {
    imgtest::FeatureMask noSse41((uint16_t)~PIC_CPU_SSE41);
    CPicOperation op;
    EXPECT_FALSE(op.SwapRBRowSSE41(nullptr, 4));
    EXPECT_EQ(op.status, PIC_ERR_CPU_FEATURE);
    uint8_t px[3] = {1, 2, 3};
    CPicOperation other;
    EXPECT_FALSE(other.CopySwapRBRowSSE41(px, px, 1));
    EXPECT_EQ(other.status, PIC_ERR_CPU_FEATURE);
    EXPECT_EQ(px[0], 1);
    CPicOperation split;
    EXPECT_FALSE(split.SplitRGBARowSSSE3(px, nullptr, nullptr, 1));
    EXPECT_EQ(split.status, PIC_ERR_BAD_PARAM);
}

}  // namespace
