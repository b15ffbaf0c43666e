// Image library core benchmarks, reported as ratios measured in the same run:
// memory-bound conversions as a fraction of this machine's copy bandwidth
// (bytes read plus bytes written per second, against memcpy's), SIMD kernels
// as speed-ups over their plain paths, and the pool's band split as a speed-up
// over one band.
#include <benchmark/benchmark.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/PicConvert.h"
#include "imaging/core/PicCpuFeatures.h"
#include "imaging/core/PicEntryPoints.h"
#include "imaging/core/PicImgUtil.h"
#include "imaging/core/PicLibrarySettings.h"
#include "imaging/core/PicLogicalBlend.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicRowKernels.h"

namespace {

constexpr uint32_t kWidth = 4096, kHeight = 4096;  // 16 M pixels: well beyond the caches
constexpr size_t kPixels = (size_t)kWidth * kHeight;

std::vector<uint8_t> Filled(size_t n) {
    std::vector<uint8_t> v(n);
    uint32_t x = 12345;
    for (auto& b : v) b = (uint8_t)((x = x * 1103515245 + 12345) >> 16);
    return v;
}

double Seconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return (double)now.QuadPart / (double)frequency.QuadPart;
}

// Mean seconds per call of fn over at least minSeconds (after one warm-up call).
double TimePerCall(const std::function<void()>& fn, double minSeconds = 0.3) {
    fn();
    int calls = 0;
    double start = Seconds(), elapsed = 0;
    do {
        fn();
        ++calls;
        elapsed = Seconds() - start;
    } while (elapsed < minSeconds);
    return elapsed / calls;
}

// Bytes read plus written per second by memcpy over a large block.
double CopyBandwidth() {
    static double bandwidth = [] {
        const size_t n = 64 << 20;
        auto src = Filled(n);
        std::vector<uint8_t> dst(n);
        double t = TimePerCall([&] {
            memcpy(dst.data(), src.data(), n);
            benchmark::DoNotOptimize(dst.data());
        }, 1.0);
        return 2.0 * n / t;
    }();
    return bandwidth;
}

// Reports bytes moved per iteration as bytes/s and as a fraction of copy bandwidth.
void ReportTraffic(benchmark::State& state, double bytesPerIteration) {
    state.counters["bytes_per_s"] =
        benchmark::Counter(bytesPerIteration, benchmark::Counter::kIsIterationInvariantRate, benchmark::Counter::kIs1024);
    state.counters["of_copy"] =
        benchmark::Counter(bytesPerIteration / CopyBandwidth(), benchmark::Counter::kIsIterationInvariantRate);
}

// Reports reference seconds per iteration as a speed-up over the reference.
void ReportSpeedup(benchmark::State& state, const char* name, double referenceSeconds) {
    state.counters[name] = benchmark::Counter(referenceSeconds, benchmark::Counter::kIsIterationInvariantRate);
}

// ---- copy reference ----

void BM_Memcpy(benchmark::State& state) {
    const size_t n = 3 * kPixels;
    auto src = Filled(n);
    std::vector<uint8_t> dst(n);
    for (auto _ : state) {
        memcpy(dst.data(), src.data(), n);
        benchmark::DoNotOptimize(dst.data());
    }
    ReportTraffic(state, 2.0 * n);
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

// ---- memory-bound conversions, single-threaded ----

void BM_SwapRB24InPlace(benchmark::State& state) {
    auto rgb = Filled(3 * kPixels);
    for (auto _ : state) SwapRB24InPlace(rgb.data(), kWidth, kHeight);
    ReportTraffic(state, 2.0 * 3 * kPixels);
}
BENCHMARK(BM_SwapRB24InPlace)->Unit(benchmark::kMillisecond);

void BM_CopySwapRB24(benchmark::State& state) {
    auto rgb = Filled(3 * kPixels);
    std::vector<uint8_t> out(3 * kPixels);
    for (auto _ : state) CopySwapRB24(rgb.data(), out.data(), (uint32_t)kPixels);
    ReportTraffic(state, 2.0 * 3 * kPixels);
}
BENCHMARK(BM_CopySwapRB24)->Unit(benchmark::kMillisecond);

void BM_SwapRB32InPlace(benchmark::State& state) {
    auto rgba = Filled(4 * kPixels);
    for (auto _ : state) SwapRB32InPlace(rgba.data(), kWidth, kHeight);
    ReportTraffic(state, 2.0 * 4 * kPixels);
}
BENCHMARK(BM_SwapRB32InPlace)->Unit(benchmark::kMillisecond);

void BM_CopyRows(benchmark::State& state) {
    auto src = Filled(3 * kPixels);
    std::vector<uint8_t> dst(3 * kPixels);
    CPicOperation op;
    for (auto _ : state) op.CopyRows(src.data(), 3 * kWidth, kHeight, 3 * kWidth, dst.data());
    ReportTraffic(state, 2.0 * 3 * kPixels);
}
BENCHMARK(BM_CopyRows)->Unit(benchmark::kMillisecond);

void BM_RGBToRGBA(benchmark::State& state) {
    auto rgb = Filled(3 * kPixels);
    std::vector<uint8_t> rgba(4 * kPixels);
    for (auto _ : state) pic_RGBToRGBA(rgb.data(), kWidth, kHeight, 3 * kWidth, rgba.data(), 4 * kWidth, 255);
    ReportTraffic(state, 7.0 * kPixels);
}
BENCHMARK(BM_RGBToRGBA)->Unit(benchmark::kMillisecond);

void BM_SplitRGBA(benchmark::State& state) {
    auto rgba = Filled(4 * kPixels);
    std::vector<uint8_t> rgb(3 * kPixels), alpha(kPixels);
    for (auto _ : state)
        pic_SplitRGBAToRGBPlusA(rgba.data(), kWidth, kHeight, 4 * kWidth, rgb.data(), 3 * kWidth, alpha.data(),
                                kWidth, 0);
    ReportTraffic(state, 8.0 * kPixels);
}
BENCHMARK(BM_SplitRGBA)->Unit(benchmark::kMillisecond);

void BM_16To8Bit(benchmark::State& state) {
    auto bytes = Filled(2 * 3 * kPixels);
    auto* src = reinterpret_cast<const uint16_t*>(bytes.data());
    std::vector<uint8_t> dst(3 * kPixels);
    CPicOperation op;
    for (auto _ : state) op.Convert16To8Bit(src, kWidth, kHeight, 3, 3 * kWidth, dst.data(), 3 * kWidth, 0);
    ReportTraffic(state, 9.0 * kPixels);
}
BENCHMARK(BM_16To8Bit)->Unit(benchmark::kMillisecond);

void BM_8BitToRGB(benchmark::State& state) {
    auto src = Filled(kPixels);
    std::vector<uint8_t> dst(3 * kPixels);
    RGBQUAD palette[256];
    memcpy(palette, Filled(1024).data(), sizeof palette);
    for (auto _ : state) pic_8BitToRGB(src.data(), kWidth, kHeight, kWidth, dst.data(), 3 * kWidth, 256, palette, 0);
    ReportTraffic(state, 4.0 * kPixels);
}
BENCHMARK(BM_8BitToRGB)->Unit(benchmark::kMillisecond);

void BM_Unpack(benchmark::State& state) {
    const uint32_t bits = (uint32_t)state.range(0);
    const uint32_t stride = (kWidth * bits + 7) / 8;
    auto src = Filled((size_t)stride * kHeight);
    std::vector<uint8_t> dst(kPixels);
    for (auto _ : state) pic_UnpackBufferTo8Bit(src.data(), kWidth, kHeight, stride, bits, dst.data(), kWidth, 0);
    ReportTraffic(state, (double)stride * kHeight + kPixels);
}
BENCHMARK(BM_Unpack)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);

void BM_Pack(benchmark::State& state) {
    const uint32_t bits = (uint32_t)state.range(0);
    const uint32_t stride = (kWidth * bits + 7) / 8;
    auto src = Filled(kPixels);
    std::vector<uint8_t> dst((size_t)stride * kHeight);
    CPicOperation op;
    for (auto _ : state) op.PackRowsFrom8Bit(src.data(), kWidth, kHeight, kWidth, dst.data(), bits, true, stride);
    ReportTraffic(state, (double)stride * kHeight + kPixels);
}
BENCHMARK(BM_Pack)->Arg(1)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);

void BM_RGBToGray(benchmark::State& state) {
    auto rgb = Filled(3 * kPixels);
    std::vector<uint8_t> gray(kPixels);
    CPicImgUtilT<unsigned char> util;
    const uint32_t flags = PIC_FLAG_NO_THREADS;
    for (auto _ : state) util.RGBToGray(rgb.data(), kWidth, kHeight, 3, 3 * kWidth, kWidth, flags, gray.data());
    ReportTraffic(state, 4.0 * kPixels);
}
BENCHMARK(BM_RGBToGray)->Unit(benchmark::kMillisecond);

// ---- the pool: 4 bands against one ----

void BM_RGBToGrayBands(benchmark::State& state) {
    const uint32_t bands = (uint32_t)state.range(0);
    auto rgb = Filled(3 * kPixels);
    std::vector<uint8_t> gray(kPixels);
    CPicImgUtilT<unsigned char> util;
    auto run = [&](uint32_t flags) {
        util.RGBToGray(rgb.data(), kWidth, kHeight, 3, 3 * kWidth, kWidth, flags, gray.data());
    };
    static const double oneBand = TimePerCall([&] { run(PIC_FLAG_NO_THREADS); });
    PicSetBandCountForTesting(bands);
    for (auto _ : state) run(0);
    PicSetBandCountForTesting(0);
    ReportSpeedup(state, "x_one_band", oneBand);
}
BENCHMARK(BM_RGBToGrayBands)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- SIMD kernels against their plain paths (rows that stay in the cache) ----

constexpr uint32_t kRowBytes = 16 << 10;

enum SetKind { kPlain, kSse, kAvx };
const char* const kSetNames[] = {"plain", "SSE", "AVX"};

std::unique_ptr<CPicSIMDLogicalBufBlend> MakeSet(int kind) {
    switch (kind) {
    case kSse: return std::make_unique<CPicSIMDLogicalBufBlendSSE>();
    case kAvx: return std::make_unique<CPicSIMDLogicalBufBlendAVX>();
    default: return std::make_unique<CPicLogicalBufBlendPlain>();
    }
}

struct BlendKernel {
    const char* name;
    std::function<void(CPicSIMDLogicalBufBlend&, uint8_t*, const uint8_t*)> run;
};

const std::vector<BlendKernel>& BlendKernels() {
    static const std::vector<BlendKernel> kernels = {
        {"And", [](auto& k, uint8_t* d, const uint8_t* s) { k.And(d, s, kRowBytes); }},
        {"AddSatByte", [](auto& k, uint8_t* d, const uint8_t* s) { k.AddSatByte(d, s, kRowBytes); }},
        {"DiffByte", [](auto& k, uint8_t* d, const uint8_t* s) { k.DiffByte(d, s, kRowBytes); }},
        {"ScreenByte", [](auto& k, uint8_t* d, const uint8_t* s) { k.ScreenByte(d, s, kRowBytes); }},
        {"BlendByte", [](auto& k, uint8_t* d, const uint8_t* s) { k.BlendByte(d, s, kRowBytes, 0.3); }},
        {"MaxFloat", [](auto& k, uint8_t* d, const uint8_t* s) {
             k.MaxFloat((float*)d, (const float*)s, kRowBytes / 4, 0.6);
         }},
        {"BlendFloat", [](auto& k, uint8_t* d, const uint8_t* s) {
             k.BlendFloat((float*)d, (const float*)s, kRowBytes / 4, 0.6);
         }},
    };
    return kernels;
}

void BM_BlendKernel(benchmark::State& state) {
    const BlendKernel& kernel = BlendKernels()[(size_t)state.range(0)];
    const int set = (int)state.range(1);
    state.SetLabel(std::string(kernel.name) + " " + kSetNames[set]);
    auto src = Filled(kRowBytes);
    // Floats of moderate size; byte kernels see the same bytes.
    for (size_t i = 0; i + 4 <= src.size(); i += 4) {
        float v = (float)(src[i] % 100) * 0.37f;
        memcpy(&src[i], &v, 4);
    }
    auto dst = src;
    std::reverse(dst.begin(), dst.end());
    static std::map<size_t, double> plainSeconds;
    if (!plainSeconds.count((size_t)state.range(0))) {
        auto plain = MakeSet(kPlain);
        auto work = dst;
        plainSeconds[(size_t)state.range(0)] = TimePerCall([&] { kernel.run(*plain, work.data(), src.data()); }, 0.2);
    }
    auto kernels = MakeSet(set);
    for (auto _ : state) {
        kernel.run(*kernels, dst.data(), src.data());
        benchmark::ClobberMemory();
    }
    ReportSpeedup(state, "x_plain", plainSeconds[(size_t)state.range(0)]);
}
BENCHMARK(BM_BlendKernel)->ArgsProduct({benchmark::CreateDenseRange(0, 6, 1), {kPlain, kSse, kAvx}});

struct RowKernel {
    const char* name;
    std::function<void(uint8_t*, const uint8_t*, const uint8_t*)> plain;
    std::function<void(CPicOperation&, uint8_t*, const uint8_t*, const uint8_t*)> vector;
};

constexpr uint32_t kRowPixels = 4096;

const std::vector<RowKernel>& RowKernels() {
    static const std::vector<RowKernel> kernels = {
        {"SwapRB", [](uint8_t* d, const uint8_t*, const uint8_t*) { SwapRBRow(d, kRowPixels); },
         [](CPicOperation& op, uint8_t* d, const uint8_t*, const uint8_t*) { op.SwapRBRowSSE41(d, kRowPixels); }},
        {"CopySwapRB", [](uint8_t* d, const uint8_t* s, const uint8_t*) { CopySwapRBRow(s, d, kRowPixels); },
         [](CPicOperation& op, uint8_t* d, const uint8_t* s, const uint8_t*) {
             op.CopySwapRBRowSSE41(s, d, kRowPixels);
         }},
        {"SplitRGBA", [](uint8_t* d, const uint8_t* s, const uint8_t*) { SplitRGBARow(s, d, d + 3 * kRowPixels, kRowPixels); },
         [](CPicOperation& op, uint8_t* d, const uint8_t* s, const uint8_t*) {
             op.SplitRGBARowSSSE3(s, d, d + 3 * kRowPixels, kRowPixels);
         }},
        {"BlendRGBAOverRGB", [](uint8_t* d, const uint8_t* s, const uint8_t*) { BlendRGBAOverRGBRow(s, d, kRowPixels); },
         [](CPicOperation& op, uint8_t* d, const uint8_t* s, const uint8_t*) {
             op.BlendRGBAOverRGBRowSSE41(s, d, kRowPixels);
         }},
        {"BlendColorMask", [](uint8_t* d, const uint8_t*, const uint8_t* m) { BlendColorMaskRow(d, m, kRowPixels, 0x336699); },
         [](CPicOperation& op, uint8_t* d, const uint8_t*, const uint8_t* m) {
             op.BlendColorMaskRowSSE41(d, m, kRowPixels, 0x336699);
         }},
    };
    return kernels;
}

void BM_RowKernel(benchmark::State& state) {
    const RowKernel& kernel = RowKernels()[(size_t)state.range(0)];
    const bool vector = state.range(1) != 0;
    state.SetLabel(std::string(kernel.name) + (vector ? " SSE4.1" : " plain"));
    auto src = Filled(4 * kRowPixels), mask = Filled(kRowPixels);
    std::vector<uint8_t> dst(4 * kRowPixels);
    static std::map<size_t, double> plainSeconds;
    if (!plainSeconds.count((size_t)state.range(0)))
        plainSeconds[(size_t)state.range(0)] =
            TimePerCall([&] { kernel.plain(dst.data(), src.data(), mask.data()); }, 0.2);
    CPicOperation op;
    for (auto _ : state) {
        if (vector)
            kernel.vector(op, dst.data(), src.data(), mask.data());
        else
            kernel.plain(dst.data(), src.data(), mask.data());
        benchmark::ClobberMemory();
    }
    ReportSpeedup(state, "x_plain", plainSeconds[(size_t)state.range(0)]);
}
BENCHMARK(BM_RowKernel)->ArgsProduct({benchmark::CreateDenseRange(0, 4, 1), {0, 1}});

}  // namespace

int main(int argc, char** argv) {
    pic_Initialize(nullptr);
    benchmark::Initialize(&argc, argv);
    benchmark::AddCustomContext("copy_bandwidth_GB_per_s", std::to_string(CopyBandwidth() / 1e9));
    benchmark::AddCustomContext("cpu_features", std::to_string(PicCpuFeatureWord()));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    pic_Shutdown();
    return 0;
}
