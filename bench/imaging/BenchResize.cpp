// Resizing and quantising against named peers on the same images in one run:
// ImageMagick's plasma at 6000 x 4000 and 1000 x 750 (PPM). Each of our
// calls is reported with its time and, per peer, the peer's time over ours
// (above 1: we are faster).
//   Pillow (python3-pil): timed inside Python around the call alone.
//   ImageMagick: its own -bench figures at 1 and 4 threads.
//   libvips (vips resize) at 1 and 4 threads, and netpbm (pamscale, pnmremap):
//   process times minus the same tool's pass-through run (for netpbm
//   pamtopnm, which reads the image as they do; "pamscale 1" resamples and
//   takes longer than most shrinks).
// Ours run in one band (flag 0x100000) unless the name says "bands 4".
#include "bench/BenchSupport.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "imaging/core/PicEntryPoints.h"
#include "imaging/core/PicLibrarySettings.h"
#include "imaging/core/PicQuantizeEntryPoints.h"
#include "imaging/core/PicResizeBase.h"

namespace {

using benchsupport::CopyBandwidth;
using benchsupport::Now;
using benchsupport::ShellOutput;

struct Rgb {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> pixels;
};

struct Scenario {
    const char* name;
    bool big;  // the 6000 x 4000 source, else 1000 x 750
    uint32_t width, height;
};
const Scenario kScenarios[] = {
    {"6000x4000 to 1200x800", true, 1200, 800},
    {"6000x4000 to 240x160", true, 240, 160},
    {"6000x4000 by 0.37", true, 2220, 1480},
    {"1000x750 to 4000x3000", false, 4000, 3000},
};

struct Method {
    const char* name;
    uint32_t method;
    const char* pillow;  // Pillow filter, or null
    const char* magick;  // ImageMagick -filter, or null
    const char* pamscale;
    const char* vips;  // vips resize --kernel
};
const Method kMethods[] = {
    {"bicubic", PIC_RESIZE_BICUBIC, "BICUBIC", nullptr, nullptr, "cubic"},
    {"bilinear", PIC_RESIZE_BILINEAR, "BILINEAR", nullptr, nullptr, "linear"},
    {"nearest", PIC_RESIZE_NEAREST, "NEAREST", nullptr, nullptr, "nearest"},
    {"Lanczos-3", PIC_RESIZE_LANCZOS3, "LANCZOS", "Lanczos", "lanczos", "lanczos3"},
    {"Mitchell", PIC_RESIZE_MITCHELL, nullptr, "Mitchell", "mitchell", "mitchell"},
    {"Catmull-Rom", PIC_RESIZE_CATMULL_ROM, nullptr, "Catrom", "catrom", nullptr},
    {"box filter", PIC_RESIZE_BOX, nullptr, "Box", "box", nullptr},
    {"method 14", PIC_RESIZE_DECIMATE, nullptr, nullptr, nullptr, nullptr},
    {"method 15", PIC_RESIZE_DECIMATE_EX, "BOX", nullptr, nullptr, nullptr},
};

// Peer seconds by "peer|method|scenario".
std::map<std::string, double> g_peers;
Rgb g_big, g_small;
std::vector<RGBQUAD> g_palette(256);
double g_copyBandwidth = 0;

std::string Key(const std::string& peer, const std::string& what, const std::string& scenario = "") {
    return peer + "|" + what + "|" + scenario;
}

bool ReadPpm(const CString& path, Rgb& image) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    GetFileSizeEx(file, &size);
    std::vector<uint8_t> bytes((size_t)size.QuadPart);
    DWORD got = 0;
    size_t done = 0;
    while (done < bytes.size() && ReadFile(file, bytes.data() + done, (DWORD)std::min<size_t>(bytes.size() - done, 1 << 30), &got, nullptr) && got)
        done += got;
    CloseHandle(file);
    unsigned w = 0, h = 0, max = 0;
    int header = 0;
    if (sscanf((const char*)bytes.data(), "P6 %u %u %u%n", &w, &h, &max, &header) != 3) return false;
    image.width = w, image.height = h;
    image.pixels.assign(bytes.begin() + header + 1, bytes.begin() + header + 1 + (size_t)w * h * 3);
    return true;
}


const char kPillowScript[] = R"(
import sys, time
from PIL import Image
big, small = Image.open(sys.argv[1]), Image.open(sys.argv[2])
big.load(); small.load()
def timed(fn, rounds):
    fn()
    best = []
    for _ in range(rounds):
        t = time.perf_counter(); fn(); best.append(time.perf_counter() - t)
    best.sort()
    return best[len(best) // 2]
scenarios = [("6000x4000 to 1200x800", big, (1200, 800)), ("6000x4000 to 240x160", big, (240, 160)),
             ("6000x4000 by 0.37", big, (2220, 1480)), ("1000x750 to 4000x3000", small, (4000, 3000))]
for f in ["NEAREST", "BILINEAR", "BICUBIC", "LANCZOS", "BOX"]:
    for name, im, size in scenarios:
        print("pillow|%s|%s %.6f" % (f, name, timed(lambda: im.resize(size, getattr(Image, f)), 3)))
q = small.quantize(256, method=Image.Quantize.FASTOCTREE)
print("pillow|quantize| %.6f" % timed(lambda: small.quantize(256, method=Image.Quantize.FASTOCTREE), 5))
print("pillow|map| %.6f" % timed(lambda: small.quantize(palette=q), 5))
)";

void MeasurePillow(const benchsupport::RunFolder& folder) {
    FILE* script = fopen((folder.Unix("peers.py").substr(1, folder.Unix("peers.py").size() - 2)).c_str(), "w");
    if (script == nullptr) return;
    fputs(kPillowScript, script);
    fclose(script);
    // Debian's python3-pil serves the system interpreter.
    std::string out = ShellOutput("/usr/bin/python3 " + folder.Unix("peers.py") + " " + folder.Unix("big.ppm") + " " +
                          folder.Unix("small.ppm"));
    std::regex line(R"((pillow\|[^|]*\|[^\n]*) ([0-9.eE+-]+))");
    for (std::sregex_iterator it(out.begin(), out.end(), line), end; it != end; ++it)
        g_peers[(*it)[1]] = std::stod((*it)[2]);
}

// ImageMagick's -bench prints a line per thread count.
void MeasureMagick(const std::string& what, const std::string& scenario, const std::string& input,
                   const std::string& operation) {
    std::string out = ShellOutput("convert " + input + " -bench 2 " + operation + " null: 2>&1");
    std::regex line(R"(Performance\[(\d+)\]: \S+ ([0-9.]+)ips)");
    for (std::sregex_iterator it(out.begin(), out.end(), line), end; it != end; ++it) {
        std::string threads = (*it)[1];
        double ips = std::stod((*it)[2]);
        if ((threads == "1" || threads == "4") && ips > 0) g_peers[Key("magick" + threads, what, scenario)] = 1 / ips;
    }
}

// A process's time beyond the same tool's pass-through run.
double ProcessBeyond(const std::string& command, const std::string& passThrough) {
    double best = 1e30, pass = 1e30;
    for (int i = 0; i < 2; ++i) {
        best = std::min(best, benchsupport::TimeShell(command));
        pass = std::min(pass, benchsupport::TimeShell(passThrough));
    }
    return std::max(best - pass, 1e-6);
}

void MeasurePeers(const benchsupport::RunFolder& folder) {
    MeasurePillow(folder);
    for (const Scenario& s : kScenarios) {
        const std::string input = folder.Unix(s.big ? "big.ppm" : "small.ppm");
        const std::string size = std::to_string(s.width) + "x" + std::to_string(s.height);
        const double scale = (double)s.width / (s.big ? 6000 : 1000);
        for (const Method& m : kMethods) {
            if (m.magick) MeasureMagick(m.name, s.name, input, std::string("-filter ") + m.magick + " -resize " + size + "!");
            if (m.pamscale)
                g_peers[Key("pamscale", m.name, s.name)] =
                    ProcessBeyond("pamscale -filter=" + std::string(m.pamscale) + " -width=" + std::to_string(s.width) +
                                      " -height=" + std::to_string(s.height) + " " + input + " > /dev/null",
                                  "pamtopnm " + input + " > /dev/null");
            if (m.vips)
                for (int threads : {1, 4}) {
                    const std::string env = "VIPS_CONCURRENCY=" + std::to_string(threads) + " ";
                    g_peers[Key("vips" + std::to_string(threads), m.name, s.name)] =
                        ProcessBeyond(env + "vips resize " + input + " " + folder.Unix("out.v") + " " +
                                          std::to_string(scale) + " --kernel " + m.vips,
                                      env + "vips copy " + input + " " + folder.Unix("out.v"));
                }
        }
    }
    const std::string smallPpm = folder.Unix("small.ppm");
    MeasureMagick("quantize", "", smallPpm, "-dither FloydSteinberg -colors 256");
    g_peers[Key("pnmremap", "map")] = ProcessBeyond("pnmremap -fs -mapfile=" + folder.Unix("palette.ppm") + " " +
                                                        smallPpm + " > /dev/null 2>&1",
                                                    "pamtopnm " + smallPpm + " > /dev/null");
}

void WritePalettePpm(const benchsupport::RunFolder& folder) {
    const std::string path = folder.Unix("palette.ppm");
    FILE* f = fopen(path.substr(1, path.size() - 2).c_str(), "wb");
    if (f == nullptr) return;
    fprintf(f, "P6\n256 1\n255\n");
    for (const RGBQUAD& q : g_palette) fputc(q.rgbRed, f), fputc(q.rgbGreen, f), fputc(q.rgbBlue, f);
    fclose(f);
}

// Peer time over our time for each peer measured for this call.
void ReportAgainstPeers(benchmark::State& state, double ours, const std::string& what, const std::string& scenario,
                        const char* pillowName) {
    state.counters["ms"] = ours * 1e3;
    if (pillowName) {
        auto it = g_peers.find(Key("pillow", pillowName, scenario));
        if (it != g_peers.end()) state.counters["x_pillow"] = it->second / ours;
    }
    for (const char* peer : {"magick1", "magick4", "pamscale", "vips1", "vips4", "pnmremap"}) {
        auto it = g_peers.find(Key(peer, what, scenario));
        if (it != g_peers.end()) state.counters[std::string("x_") + peer] = it->second / ours;
    }
}

void ResizeBenchmark(benchmark::State& state, const Method& m, const Scenario& s, uint32_t bands) {
    const Rgb& src = s.big ? g_big : g_small;
    std::vector<uint8_t> dst((size_t)s.width * s.height * 3);
    PicSetBandCountForTesting(bands);
    const uint32_t flags = bands == 1 ? PIC_FLAG_NO_THREADS : 0;
    double total = 0;
    for (auto _ : state) {
        double start = Now();
        if (!pic_ResizeImage(src.pixels.data(), src.width, src.height, src.width * 3, dst.data(), s.width, s.height,
                             s.width * 3, 3, m.method, flags))
            state.SkipWithError("resize failed");
        total += Now() - start;
    }
    PicSetBandCountForTesting(0);
    const double ours = total / (double)state.iterations();
    ReportAgainstPeers(state, ours, m.name, s.name, m.pillow);
    if (m.method == PIC_RESIZE_DECIMATE && g_copyBandwidth > 0)
        state.counters["of_copy"] = ((double)src.pixels.size() + (double)dst.size()) / ours / g_copyBandwidth;
}

void QuantizeBenchmark(benchmark::State& state) {
    std::vector<uint8_t> dst((size_t)g_small.width * g_small.height);
    std::vector<RGBQUAD> palette(256);
    double total = 0;
    for (auto _ : state) {
        double start = Now();
        pic_QuantizeRGBTo8Bit(g_small.pixels.data(), g_small.width, g_small.height, g_small.width * 3, dst.data(),
                              g_small.width, 256, palette.data(), 1, 20, 0);
        total += Now() - start;
    }
    const double ours = total / (double)state.iterations();
    ReportAgainstPeers(state, ours, "quantize", "", "quantize");
}

void MapBenchmark(benchmark::State& state) {
    std::vector<uint8_t> dst((size_t)g_small.width * g_small.height);
    double total = 0;
    for (auto _ : state) {
        double start = Now();
        pic_RGBTo8BitDithered(g_small.pixels.data(), g_small.width, g_small.height, g_small.width * 3, dst.data(),
                              g_small.width, 256, g_palette.data(), 1, 20, 0);
        total += Now() - start;
    }
    const double ours = total / (double)state.iterations();
    ReportAgainstPeers(state, ours, "map", "", "map");
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    pic_Initialize(nullptr);
    benchsupport::RunFolder folder(L"qvr");
    if (!folder.IsValid()) return 1;
    benchsupport::Shell("convert -size 6000x4000 plasma:fractal " + folder.Unix("big.ppm"));
    benchsupport::Shell("convert -size 1000x750 plasma:fractal " + folder.Unix("small.ppm"));
    if (!ReadPpm(folder / L"big.ppm", g_big) || !ReadPpm(folder / L"small.ppm", g_small)) {
        fprintf(stderr, "the plasma images could not be made\n");
        return 1;
    }
    std::vector<uint8_t> scratch((size_t)g_small.width * g_small.height);
    pic_QuantizeRGBTo8Bit(g_small.pixels.data(), g_small.width, g_small.height, g_small.width * 3, scratch.data(),
                          g_small.width, 256, g_palette.data(), 1, 20, 0);
    WritePalettePpm(folder);
    g_copyBandwidth = CopyBandwidth();
    // QV_BENCH_NO_PEERS=1 times ours alone (for profiling; no ratios).
    if (benchsupport::EnvNumber("QV_BENCH_NO_PEERS", 0) == 0) MeasurePeers(folder);
    benchmark::AddCustomContext("copy_bandwidth_GB_per_s", std::to_string(g_copyBandwidth / 1e9));

    for (const Method& m : kMethods)
        for (const Scenario& s : kScenarios) {
            if ((m.method == PIC_RESIZE_DECIMATE || m.method == PIC_RESIZE_DECIMATE_EX) && !s.big) continue;
            if (m.method == PIC_RESIZE_DECIMATE && s.width == 2220) continue;  // whole ratios only
            benchmark::RegisterBenchmark((std::string(m.name) + " " + s.name).c_str(),
                                         [&m, &s](benchmark::State& st) { ResizeBenchmark(st, m, s, 1); })
                ->Unit(benchmark::kMillisecond)
                ->MinTime(1.0);
        }
    // Four bands against one: the same calls, bands 4.
    for (const Method* m : {&kMethods[0], &kMethods[1], &kMethods[3]})
        benchmark::RegisterBenchmark((std::string(m->name) + " " + kScenarios[0].name + " bands 4").c_str(),
                                     [m](benchmark::State& st) { ResizeBenchmark(st, *m, kScenarios[0], 4); })
            ->Unit(benchmark::kMillisecond)
            ->MinTime(1.0);
    benchmark::RegisterBenchmark("quantize 1000x750 to 256 colours", QuantizeBenchmark)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("map 1000x750 onto 256 colours", MapBenchmark)->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    pic_Shutdown();
    return 0;
}
