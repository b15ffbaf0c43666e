// Overlay, threshold and 1-bit histogram speed, as ratios: of the copy
// bandwidth measured in the same run, against ImageMagick's composite on the
// same images (its pass-through run subtracted) at 1 and 4 threads and
// against Pillow (python3-pil, single-threaded) timed inside Python around
// the call alone. Ours run in one band unless the name says bands 4.
#include "bench/BenchSupport.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "imaging/core/PicEntryPoints.h"
#include "imaging/core/PicHistogramEntryPoints.h"
#include "imaging/core/PicLibrarySettings.h"
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

// ImageMagick's seconds for `compose` at a thread count, minus reading and
// writing the same files: the median of rounds run side by side (a busy
// machine moves both alike); 0 when the difference drowns in the noise.
double MagickSeconds(const std::string& dst, const std::string& src, const std::string& compose, int threads) {
    const std::string limit = " -limit thread " + std::to_string(threads);
    const std::string out = std::string(kFolder) + "/out.miff";
    std::vector<double> differences;
    for (int i = 0; i < 5; ++i) {
        const double work = benchsupport::TimeShell("convert" + limit + " " + dst + " " + src + " -compose " + compose +
                                                    " -composite " + out);
        const double pass = benchsupport::TimeShell("convert" + limit + " " + dst + " " + src + " -delete 1 " + out);
        differences.push_back(work - pass);
    }
    std::sort(differences.begin(), differences.end());
    return std::max(differences[differences.size() / 2], 0.0);
}

// Peer seconds over ours, when the peer's time could be measured.
void Ratio(benchmark::State& state, const char* name, double peer, double ours) {
    if (peer > 0) state.counters[name] = peer / ours;
}

// One band (PIC_FLAG_NO_THREADS) against single-threaded peers, or `bands`
// bands on the pool.
uint32_t BandFlags(uint32_t bands) {
    PicSetBandCountForTesting(bands == 1 ? 0 : bands);
    return bands == 1 ? PIC_FLAG_NO_THREADS : 0;
}

const char kPillowScript[] = R"(
import sys, time
from PIL import Image
w, h = int(sys.argv[3]), int(sys.argv[4])
rgb = Image.frombytes("RGB", (w, h), open(sys.argv[1], "rb").read())
rgba = Image.frombytes("RGBA", (w, h), open(sys.argv[2], "rb").read())
under = rgba.copy()
def timed(fn, rounds):
    fn()
    times = []
    for _ in range(rounds):
        t = time.perf_counter(); fn(); times.append(time.perf_counter() - t)
    times.sort()
    return times[len(times) // 2]
print("pillow|rgba over rgb %.6f" % timed(lambda: rgb.paste(rgba, (0, 0), rgba), 5))
print("pillow|rgba over rgba %.6f" % timed(lambda: Image.alpha_composite(under, rgba), 5))
)";

// Pillow's seconds by call, measured once for the run.
std::map<std::string, double> PillowSeconds(const std::string& rgbRaw, const std::string& rgbaRaw) {
    std::map<std::string, double> seconds;
    const std::string script = std::string(kFolder) + "/peers.py";
    if (FILE* f = fopen(script.c_str(), "w")) {
        fputs(kPillowScript, f);
        fclose(f);
    }
    // Debian's python3-pil serves the system interpreter.
    const std::string out = benchsupport::ShellOutput("/usr/bin/python3 " + script + " " + rgbRaw + " " + rgbaRaw +
                                                      " " + std::to_string(kWidth) + " " + std::to_string(kHeight));
    std::regex entry(R"(pillow\|([^\n]*) ([0-9.eE+-]+))");
    for (std::sregex_iterator it(out.begin(), out.end(), entry), end; it != end; ++it)
        seconds[(*it)[1]] = std::stod((*it)[2]);
    return seconds;
}

void WriteRaw(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
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
        WriteRaw(std::string(kFolder) + "/rgb.raw", rgb);
        WriteRaw(std::string(kFolder) + "/rgba.raw", rgba);
        pillow = PillowSeconds(std::string(kFolder) + "/rgb.raw", std::string(kFolder) + "/rgba.raw");
    }
    std::map<std::string, double> pillow;
    ~Images() { benchsupport::Shell(std::string("rm -rf ") + kFolder); }
};

Images& TheImages() {
    static Images images;
    return images;
}

void BM_RGBAOverRGB(benchmark::State& state) {
    Images& im = TheImages();
    const double opacity = state.range(0) / 100.0;
    const uint32_t bands = (uint32_t)state.range(1), flags = BandFlags(bands);
    std::vector<uint8_t> dst = im.rgb;
    CPicImgBufExtern<uint8_t> d(kWidth, kHeight, 3, kWidth * 3, dst.data());
    CPicImgBufExternConst<uint8_t> s(kWidth, kHeight, 4, kWidth * 4, im.rgba.data());
    const double copy = CopySeconds(dst.size() + im.rgba.size());
    double ours = 0;
    for (auto _ : state) {
        ours = TimePerCall([&] {
            CPicImgOverlay o;
            o.OverlayUChar(d, s, 0, 0, opacity, 0, flags);
        });
        state.SetIterationTime(ours);
    }
    PicSetBandCountForTesting(0);
    state.counters["of_copy"] = copy / ours;
    if (opacity == 1.0) {
        const int threads = bands == 1 ? 1 : 4;
        Ratio(state, threads == 1 ? "x_magick1" : "x_magick4",
              MagickSeconds(std::string(kFolder) + "/rgb.ppm", std::string(kFolder) + "/rgba.pam", "over", threads),
              ours);
        if (bands == 1 && im.pillow.count("rgba over rgb")) Ratio(state, "x_pillow", im.pillow["rgba over rgb"], ours);
    }
}
BENCHMARK(BM_RGBAOverRGB)
    ->Args({100, 1})
    ->Args({50, 1})
    ->Args({100, 4})
    ->ArgNames({"opacity", "bands"})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_RGBAOverRGBA(benchmark::State& state) {
    Images& im = TheImages();
    const uint32_t flags = BandFlags(1);
    std::vector<uint8_t> dst = Filled(im.rgba.size(), 6);
    CPicImgBufExtern<uint8_t> d(kWidth, kHeight, 4, kWidth * 4, dst.data());
    CPicImgBufExternConst<uint8_t> s(kWidth, kHeight, 4, kWidth * 4, im.rgba.data());
    const double copy = CopySeconds(dst.size() * 2);
    double ours = 0;
    for (auto _ : state) {
        ours = TimePerCall([&] {
            CPicImgOverlay o;
            o.OverlayUChar(d, s, 0, 0, 1.0, 4, flags);
        });
        state.SetIterationTime(ours);
    }
    state.counters["of_copy"] = copy / ours;
    if (im.pillow.count("rgba over rgba")) Ratio(state, "x_pillow", im.pillow["rgba over rgba"], ours);
    Ratio(state, "x_magick1",
          MagickSeconds(std::string(kFolder) + "/rgba.pam", std::string(kFolder) + "/rgba.pam", "over", 1), ours);
}
BENCHMARK(BM_RGBAOverRGBA)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// Modes 12, 14, 24, 25, 20 (multiply, screen, overlay, soft light, colour dodge) and the copy (40).
void BM_Overlay16(benchmark::State& state) {
    Images& im = TheImages();
    const int32_t mode = (int32_t)state.range(0);
    const uint32_t bands = (uint32_t)state.range(1), flags = BandFlags(bands);
    std::vector<uint16_t> dst = im.rgb16a;
    CPicImgBufExtern<uint16_t> d(kWidth, kHeight, 3, kWidth * 3, dst.data());
    CPicImgBufExternConst<uint16_t> s(kWidth, kHeight, 3, kWidth * 3, im.rgb16b.data());
    const double copy = CopySeconds(dst.size() * 4);
    double ours = 0;
    for (auto _ : state) {
        ours = TimePerCall([&] {
            CPicImgOverlay o;
            o.OverlayUShort(d, s, 0, 0, mode == 40 ? 1.0 : 0.5, 0, mode, flags);
        });
        state.SetIterationTime(ours);
    }
    PicSetBandCountForTesting(0);
    state.counters["of_copy"] = copy / ours;
    const char* compose = mode == 12 ? "multiply" : mode == 14 ? "screen" : mode == 24 ? "overlay"
                        : mode == 25 ? "softlight" : mode == 20 ? "colordodge" : nullptr;
    if (compose != nullptr) {
        const int threads = bands == 1 ? 1 : 4;
        Ratio(state, threads == 1 ? "x_magick1" : "x_magick4",
              MagickSeconds(std::string(kFolder) + "/a16.ppm", std::string(kFolder) + "/b16.ppm", compose, threads),
              ours);
    }
}
BENCHMARK(BM_Overlay16)
    ->Args({12, 1})
    ->Args({14, 1})
    ->Args({24, 1})
    ->Args({25, 1})
    ->Args({20, 1})
    ->Args({40, 1})
    ->Args({12, 4})
    ->ArgNames({"mode", "bands"})
    ->UseManualTime()
    ->Iterations(1)
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
