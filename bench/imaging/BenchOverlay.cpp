// Overlay, threshold and 1-bit histogram speed, as ratios: of the copy
// bandwidth measured in the same run, and against ImageMagick's composite on
// the same images (its pass-through run subtracted).
#include "bench/BenchSupport.h"

#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "imaging/core/PicEntryPoints.h"
#include "imaging/core/PicHistogramEntryPoints.h"
#include "imaging/core/PicImgBuf.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicOverlay.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/core/PicThresholdLevels.h"

namespace {

using VovIredev::CPicImgBufExtern;
using VovIredev::CPicImgBufExternConst;

constexpr uint32_t kWidth = 6000, kHeight = 4000;
constexpr char kFolder[] = "/tmp/quorvex-bench-overlay";

std::vector<uint8_t> Filled(size_t n, uint32_t stream) {
    std::vector<uint8_t> v(n);
    uint32_t s = stream * 2654435761u + 1;
    for (auto& b : v) {
        s = s * 1664525u + 1013904223u;
        b = (uint8_t)(s >> 24);
    }
    return v;
}

double TimePerCall(const std::function<void()>& fn, double minSeconds = 0.3) {
    fn();
    int calls = 0;
    double start = benchsupport::Now(), now = start;
    do {
        fn();
        ++calls;
        now = benchsupport::Now();
    } while (now - start < minSeconds);
    return (now - start) / calls;
}

double CopySeconds(size_t bytes) {
    std::vector<uint8_t> src = Filled(bytes, 1), dst(bytes);
    return TimePerCall([&] {
        memcpy(dst.data(), src.data(), bytes);
        benchmark::DoNotOptimize(dst.data());
    });
}

void WriteNetpbm(const std::string& path, const char* magic, uint32_t channels, uint32_t maxValue,
                 const void* data, size_t bytes) {
    std::ofstream out(path, std::ios::binary);
    if (channels == 4)
        out << "P7\nWIDTH " << kWidth << "\nHEIGHT " << kHeight << "\nDEPTH 4\nMAXVAL " << maxValue
            << "\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    else
        out << magic << "\n" << kWidth << " " << kHeight << "\n" << maxValue << "\n";
    out.write(static_cast<const char*>(data), (std::streamsize)bytes);
}

// ImageMagick's seconds for `compose`, minus reading and writing the same files.
double MagickSeconds(const std::string& dst, const std::string& src, const std::string& compose) {
    const std::string threads = " -limit thread " + std::to_string(benchsupport::UsableProcessors());
    const std::string out = std::string(kFolder) + "/out.miff";
    double best = 1e30, pass = 1e30;
    for (int i = 0; i < 3; ++i) {
        best = std::min(best, benchsupport::TimeShell("convert" + threads + " " + dst + " " + src + " -compose " +
                                                      compose + " -composite " + out));
        pass = std::min(pass, benchsupport::TimeShell("convert" + threads + " " + dst + " " + src +
                                                      " -delete 1 " + out));
    }
    return best - pass;
}

struct Images {
    std::vector<uint8_t> rgb = Filled(3ull * kWidth * kHeight, 2), rgba = Filled(4ull * kWidth * kHeight, 3);
    std::vector<uint16_t> rgb16a, rgb16b;
    Images() {
        rgb16a.resize(3ull * kWidth * kHeight);
        rgb16b.resize(3ull * kWidth * kHeight);
        memcpy(rgb16a.data(), Filled(rgb16a.size() * 2, 4).data(), rgb16a.size() * 2);
        memcpy(rgb16b.data(), Filled(rgb16b.size() * 2, 5).data(), rgb16b.size() * 2);
        benchsupport::Shell(std::string("mkdir -p ") + kFolder);
        WriteNetpbm(std::string(kFolder) + "/rgb.ppm", "P6", 3, 255, rgb.data(), rgb.size());
        WriteNetpbm(std::string(kFolder) + "/rgba.pam", "P7", 4, 255, rgba.data(), rgba.size());
        std::vector<uint16_t> bigEndian(rgb16b.size());
        for (size_t i = 0; i < bigEndian.size(); ++i) bigEndian[i] = (uint16_t)((rgb16b[i] << 8) | (rgb16b[i] >> 8));
        WriteNetpbm(std::string(kFolder) + "/a16.ppm", "P6", 3, 65535, bigEndian.data(), bigEndian.size() * 2);
        WriteNetpbm(std::string(kFolder) + "/b16.ppm", "P6", 3, 65535, bigEndian.data(), bigEndian.size() * 2);
    }
    ~Images() { benchsupport::Shell(std::string("rm -rf ") + kFolder); }
};

Images& TheImages() {
    static Images images;
    return images;
}

void BM_RGBAOverRGB(benchmark::State& state) {
    Images& im = TheImages();
    const double opacity = state.range(0) / 100.0;
    std::vector<uint8_t> dst = im.rgb;
    CPicImgBufExtern<uint8_t> d(kWidth, kHeight, 3, kWidth * 3, dst.data());
    CPicImgBufExternConst<uint8_t> s(kWidth, kHeight, 4, kWidth * 4, im.rgba.data());
    const double copy = CopySeconds(dst.size() + im.rgba.size());
    double ours = 0;
    for (auto _ : state) {
        ours = TimePerCall([&] {
            CPicImgOverlay o;
            o.OverlayUChar(d, s, 0, 0, opacity, 0, 0);
        });
        state.SetIterationTime(ours);
    }
    state.counters["of_copy"] = copy / ours;
    if (opacity == 1.0)
        state.counters["x_magick"] =
            MagickSeconds(std::string(kFolder) + "/rgb.ppm", std::string(kFolder) + "/rgba.pam", "over") / ours;
}
BENCHMARK(BM_RGBAOverRGB)->Arg(100)->Arg(50)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_RGBAOverRGBA(benchmark::State& state) {
    Images& im = TheImages();
    std::vector<uint8_t> dst = Filled(im.rgba.size(), 6);
    CPicImgBufExtern<uint8_t> d(kWidth, kHeight, 4, kWidth * 4, dst.data());
    CPicImgBufExternConst<uint8_t> s(kWidth, kHeight, 4, kWidth * 4, im.rgba.data());
    const double copy = CopySeconds(dst.size() * 2);
    double ours = 0;
    for (auto _ : state) {
        ours = TimePerCall([&] {
            CPicImgOverlay o;
            o.OverlayUChar(d, s, 0, 0, 1.0, 4, 0);
        });
        state.SetIterationTime(ours);
    }
    state.counters["of_copy"] = copy / ours;
}
BENCHMARK(BM_RGBAOverRGBA)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// Modes 12, 14, 24, 25, 20 (multiply, screen, overlay, soft light, colour dodge) and the copy (40).
void BM_Overlay16(benchmark::State& state) {
    Images& im = TheImages();
    const int32_t mode = (int32_t)state.range(0);
    std::vector<uint16_t> dst = im.rgb16a;
    CPicImgBufExtern<uint16_t> d(kWidth, kHeight, 3, kWidth * 3, dst.data());
    CPicImgBufExternConst<uint16_t> s(kWidth, kHeight, 3, kWidth * 3, im.rgb16b.data());
    const double copy = CopySeconds(dst.size() * 4);
    double ours = 0;
    for (auto _ : state) {
        ours = TimePerCall([&] {
            CPicImgOverlay o;
            o.OverlayUShort(d, s, 0, 0, mode == 40 ? 1.0 : 0.5, 0, mode, 0);
        });
        state.SetIterationTime(ours);
    }
    state.counters["of_copy"] = copy / ours;
    const char* compose = mode == 12 ? "multiply" : mode == 14 ? "screen" : mode == 24 ? "overlay"
                        : mode == 25 ? "softlight" : mode == 20 ? "colordodge" : nullptr;
    if (compose != nullptr)
        state.counters["x_magick"] =
            MagickSeconds(std::string(kFolder) + "/a16.ppm", std::string(kFolder) + "/b16.ppm", compose) / ours;
}
BENCHMARK(BM_Overlay16)->Arg(12)->Arg(14)->Arg(24)->Arg(25)->Arg(20)->Arg(40)->UseManualTime()->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_Otsu(benchmark::State& state) {
    const std::vector<uint8_t> gray = Filled((size_t)kWidth * kHeight, 7);
    std::vector<uint8_t> bits((size_t)(kWidth / 8) * kHeight);
    const double copy = CopySeconds(gray.size());
    double ours = 0;
    for (auto _ : state) {
        ours = TimePerCall([&] {
            CPicOperation op;
            uint8_t level;
            op.ThresholdTo1Bit(gray.data(), bits.data(), kWidth, kHeight, kWidth, kWidth / 8, PIC_THRESH_OTSU, 0, 0,
                               false, &level);
        });
        state.SetIterationTime(ours);
    }
    state.counters["copies"] = ours / copy;
}
BENCHMARK(BM_Otsu)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_OneBitHistogram(benchmark::State& state) {
    const uint32_t width = 4960, height = 7016;  // an A4 page at 600 dpi
    const std::vector<uint8_t> page = Filled((size_t)width / 8 * height, 8);
    const double copy = CopySeconds(page.size());
    double ours = 0;
    for (auto _ : state) {
        ours = TimePerCall([&] {
            uint32_t counts[2];
            pic_GetOneBitHistogram(page.data(), width, height, width / 8, counts, 0);
        });
        state.SetIterationTime(ours);
    }
    state.counters["of_copy"] = copy / ours;
}
BENCHMARK(BM_OneBitHistogram)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    pic_Initialize(nullptr);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    pic_Shutdown();
    return 0;
}
