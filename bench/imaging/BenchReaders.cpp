// The image readers against named peers on the same files in one run. Each
// decode runs from memory on one thread; each is reported with its time and,
// per peer, the peer's time over ours (above 1: we are faster).
//   djpeg (libjpeg-turbo-progs, the same JPEG library): process time minus
//   djpeg's run on an 8 x 8 JPEG, at 1/1 and 1/8.
//   Pillow (python3-pil): timed inside Python around open and load from bytes,
//   for PNG 24-bit, the first frame of a GIF and every frame of a 20-frame
//   animation.
//   vipsthumbnail (libvips-tools) with one thread: 100 camera-size JPEGs to
//   240-pixel thumbnails, beside the image object's thumbnail path.
//   exiftool -fast (libimage-exiftool-perl) over a folder of 1,000 camera
//   JPEGs (process time beyond its run on one file) and Pillow's getexif
//   (timed inside Python), beside the EXIF reader over the same files.
//   Pillow also for the 4000 x 3000 picture as Targa (plain and run-length,
//   written by netpbm's pamtotga), 24-bit PCX (ppmtopcx) and raw PPM.
// The uncompressed reads (24-bit BMP, plain Targa, raw PPM) are reported as a
// share of this machine's copy bandwidth (bytes read plus written per second,
// against memcpy's).
#include "bench/BenchSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "imaging/core/PicEntryPoints.h"
#include "imaging/readers/PicBmpReader.h"
#include "imaging/readers/PicExifReader.h"
#include "imaging/readers/PicGifAnimation.h"
#include "imaging/readers/PicGifReader.h"
#include "imaging/readers/PicImageEx.h"
#include "imaging/readers/PicJpegReader.h"
#include "imaging/readers/PicPcxReader.h"
#include "imaging/readers/PicPngReader.h"
#include "imaging/readers/PicPnmReader.h"
#include "imaging/readers/PicTgaReader.h"
#include "imaging/readers/PicSources.h"

namespace {

using benchsupport::CopyBandwidth;
using benchsupport::Now;
using benchsupport::ShellOutput;

const int kThumbnailFiles = benchsupport::EnvNumber("QV_BENCH_THUMBNAILS", 100);
constexpr int32_t kThumbnailBox = 240;
const int kExifFiles = benchsupport::EnvNumber("QV_BENCH_EXIF_FILES", 1000);

std::map<std::string, double> g_peers;  // seconds by "peer|what"
std::map<std::string, std::string> g_files;  // bytes by file name
double g_copyBandwidth = 0;

std::string UnquotedUnix(const benchsupport::RunFolder& folder, const std::string& name) {
    std::string quoted = folder.Unix(name);
    return quoted.substr(1, quoted.size() - 2);
}

bool LoadFile(const benchsupport::RunFolder& folder, const std::string& name) {
    FILE* f = fopen(UnquotedUnix(folder, name).c_str(), "rb");
    if (f == nullptr) return false;
    std::string bytes;
    char buffer[1 << 16];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
    fclose(f);
    g_files[name] = bytes;
    return !bytes.empty();
}

bool MakeInputs(const benchsupport::RunFolder& folder) {
    const std::string plasma = "convert -size 4000x3000 plasma:fractal ";
    benchsupport::Shell(plasma + "-quality 90 " + folder.Unix("camera.jpg"));
    benchsupport::Shell("convert " + folder.Unix("camera.jpg") + " BMP3:" + folder.Unix("camera.bmp"));
    benchsupport::Shell("convert " + folder.Unix("camera.jpg") + " " + folder.Unix("camera.ppm"));
    benchsupport::Shell("pamtotga -rgb -norle " + folder.Unix("camera.ppm") + " > " + folder.Unix("camera.tga"));
    benchsupport::Shell("pamtotga -rgb " + folder.Unix("camera.ppm") + " > " + folder.Unix("camera_rle.tga"));
    benchsupport::Shell("ppmtopcx -24bit " + folder.Unix("camera.ppm") + " > " + folder.Unix("camera.pcx") + " 2>/dev/null");
    benchsupport::Shell("convert -size 2000x1500 plasma:fractal " + folder.Unix("photo.png"));
    benchsupport::Shell("convert -size 1000x750 plasma:fractal " + folder.Unix("still.gif"));
    std::string frames;
    for (int i = 0; i < 20; ++i) frames += " plasma:fractal";
    benchsupport::Shell("convert -size 400x300 -delay 5" + frames + " -loop 0 " + folder.Unix("anim.gif"));
    benchsupport::Shell("convert -size 8x8 xc:gray " + folder.Unix("tiny.jpg"));
    benchsupport::Shell("mkdir -p " + folder.Unix("thumbs") + " " + folder.Unix("out"));
    for (int i = 0; i < kThumbnailFiles; ++i) {
        char name[32];
        snprintf(name, sizeof name, "thumbs/cam%03d.jpg", i);
        benchsupport::Shell("ln " + folder.Unix("camera.jpg") + " " + folder.Unix(name));
    }
    // A camera's header: the usual IFD0 and Exif tags, GPS, a thumbnail.
    benchsupport::Shell("convert -size 640x480 plasma:fractal -quality 85 " + folder.Unix("exifcam.jpg"));
    benchsupport::Shell("convert -size 160x120 plasma:fractal " + folder.Unix("exifthumb.jpg"));
    benchsupport::Shell("exiftool -q -overwrite_original -Make=Canon '-Model=Canon EOS 5D' -Orientation=6 -n "
                        "-XResolution=72 -YResolution=72 -ResolutionUnit=2 '-Software=Camera 1.0' "
                        "'-DateTimeOriginal=2026:12:11 10:00:00' '-CreateDate=2026:12:11 10:00:00' "
                        "-ExposureTime=0.004 -FNumber=2.8 -ISO=200 -ExposureProgram=2 -MeteringMode=5 -Flash=16 "
                        "-FocalLength=50 -WhiteBalance=0 -ColorSpace=1 -ExifImageWidth=640 -ExifImageHeight=480 "
                        "-GPSLatitude=47.5 -GPSLatitudeRef=N -GPSLongitude=8.5 -GPSLongitudeRef=E -GPSAltitude=400 "
                        "'-ThumbnailImage<=" + UnquotedUnix(folder, "exifthumb.jpg") + "' " + folder.Unix("exifcam.jpg"));
    benchsupport::Shell("mkdir -p " + folder.Unix("exif"));
    for (int i = 0; i < kExifFiles; ++i) {
        char name[32];
        snprintf(name, sizeof name, "exif/cam%04d.jpg", i);
        benchsupport::Shell("ln " + folder.Unix("exifcam.jpg") + " " + folder.Unix(name));
    }
    for (const char* name : {"camera.jpg", "camera.bmp", "photo.png", "still.gif", "anim.gif", "exifcam.jpg",
                             "camera.ppm", "camera.tga", "camera_rle.tga", "camera.pcx"})
        if (!LoadFile(folder, name)) return false;
    return true;
}

const char kPillowScript[] = R"(
import io, sys, time
from PIL import Image
def timed(fn, rounds):
    fn()
    times = []
    for _ in range(rounds):
        t = time.perf_counter(); fn(); times.append(time.perf_counter() - t)
    times.sort()
    return times[len(times) // 2]
data = {name: open(sys.argv[1] + "/" + name, "rb").read()
        for name in ("photo.png", "still.gif", "anim.gif", "camera.tga", "camera_rle.tga", "camera.pcx", "camera.ppm")}
def first(name):
    im = Image.open(io.BytesIO(data[name])); im.load()
def every_frame(name):
    im = Image.open(io.BytesIO(data[name]))
    for i in range(im.n_frames):
        im.seek(i); im.load()
print("pillow|png24 %.6f" % timed(lambda: first("photo.png"), 7))
print("pillow|gif first frame %.6f" % timed(lambda: first("still.gif"), 7))
print("pillow|gif 20 frames %.6f" % timed(lambda: every_frame("anim.gif"), 7))
import glob
paths = sorted(glob.glob(sys.argv[1] + "/exif/*.jpg"))
def exif_all():
    for p in paths:
        with Image.open(p) as im:
            im.getexif()
print("pillow|exif headers %.6f" % timed(exif_all, 3))
print("pillow|tga %.6f" % timed(lambda: first("camera.tga"), 5))
print("pillow|tga rle %.6f" % timed(lambda: first("camera_rle.tga"), 5))
print("pillow|pcx24 %.6f" % timed(lambda: first("camera.pcx"), 5))
print("pillow|ppm %.6f" % timed(lambda: first("camera.ppm"), 5))
)";

// A process's best time beyond a run of the same tool on a tiny input.
double ProcessBeyond(const std::string& command, const std::string& baseline, int rounds) {
    double best = 1e30, base = 1e30;
    for (int i = 0; i < rounds; ++i) {
        best = std::min(best, benchsupport::TimeShell(command));
        base = std::min(base, benchsupport::TimeShell(baseline));
    }
    return std::max(best - base, 1e-6);
}

void MeasurePeers(const benchsupport::RunFolder& folder) {
    FILE* script = fopen(UnquotedUnix(folder, "peers.py").c_str(), "w");
    if (script != nullptr) {
        fputs(kPillowScript, script);
        fclose(script);
        // Debian's python3-pil serves the system interpreter.
        std::string out = ShellOutput("/usr/bin/python3 " + folder.Unix("peers.py") + " " + folder.Unix());
        std::regex line(R"((pillow\|[^\n]*) ([0-9.eE+-]+))");
        for (std::sregex_iterator it(out.begin(), out.end(), line), end; it != end; ++it)
            g_peers[(*it)[1]] = std::stod((*it)[2]);
    }
    for (int scale : {1, 8}) {
        const std::string option = " -scale 1/" + std::to_string(scale) + " ";
        g_peers["djpeg|jpeg 1/" + std::to_string(scale)] =
            ProcessBeyond("djpeg" + option + folder.Unix("camera.jpg") + " > /dev/null",
                          "djpeg" + option + folder.Unix("tiny.jpg") + " > /dev/null", 5);
    }
    g_peers["exiftool|exif headers"] =
        ProcessBeyond("exiftool -fast -q -j " + folder.Unix("exif") + " > /dev/null",
                      "exiftool -fast -q -j " + folder.Unix("exifcam.jpg") + " > /dev/null", 2);
    const std::string vips = "VIPS_CONCURRENCY=1 vipsthumbnail --size " + std::to_string(kThumbnailBox) + " -o " +
                             UnquotedUnix(folder, "out") + "/%s.jpg ";
    double best = 1e30;
    for (int i = 0; i < 2; ++i) best = std::min(best, benchsupport::TimeShell(vips + folder.Unix("thumbs") + "/*.jpg"));
    g_peers["vipsthumbnail|thumbnails"] = best;
}

// Seconds to get a fresh zero-filled global block of the size and give it
// back: on some machines (virtual ones) the first touch of new pages costs far
// more than the decoding, and every read hands out such a block.
double FreshBlockSeconds(uint64_t bytes) {
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        double start = Now();
        HGLOBAL block = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, (SIZE_T)bytes);
        // A block fresh from the system is zero without being touched: the
        // decoder's writes are what fault its pages in.
        volatile uint8_t* pages = static_cast<uint8_t*>(block);
        for (uint64_t i = 0; pages != nullptr && i < bytes; i += 4096) pages[i] = 1;
        GlobalFree(block);
        times.push_back(Now() - start);
    }
    std::sort(times.begin(), times.end());
    return times[2];
}

// Peer time over ours; with outputBytes, also over ours less the fresh output block's cost.
void ReportAgainstPeers(benchmark::State& state, double ours, const std::string& what, uint64_t outputBytes = 0) {
    state.counters["ms"] = ours * 1e3;
    double fresh = outputBytes > 0 ? FreshBlockSeconds(outputBytes) : 0;
    if (outputBytes > 0) state.counters["fresh_ms"] = fresh * 1e3;
    for (const char* peer : {"djpeg", "pillow", "vipsthumbnail", "exiftool"}) {
        auto it = g_peers.find(std::string(peer) + "|" + what);
        if (it == g_peers.end()) continue;
        state.counters[std::string("x_") + peer] = it->second / ours;
        if (outputBytes > 0 && ours > fresh) state.counters[std::string("x_") + peer + "_net"] = it->second / (ours - fresh);
    }
}

// Times one read from a memory source per iteration; the block it returns is freed outside the time.
template <class Read>
void ReadBenchmark(benchmark::State& state, const char* file, const std::string& what, uint64_t outputBytes,
                   Read read) {
    const std::string& bytes = g_files[file];
    double total = 0;
    for (auto _ : state) {
        double start = Now();
        CPicIO* source = pic_OpenMemorySource(bytes.data(), (uint32_t)bytes.size());
        void* pixels = read(source);
        pic_CloseSource(source);
        total += Now() - start;
        if (pixels == nullptr) {
            state.SkipWithError("the read failed");
            break;
        }
        GlobalFree(pixels);
    }
    ReportAgainstPeers(state, total / (double)std::max<int64_t>(state.iterations(), 1), what, outputBytes);
}

void JpegBenchmark(benchmark::State& state, int32_t scale) {
    pic_SetJPGDCTScaleFactors(1, scale);
    uint64_t side = 8 / scale;
    ReadBenchmark(state, "camera.jpg", "jpeg 1/" + std::to_string(scale), 500 * side * 375 * side * 3,
                  [](CPicIO* source) {
        int32_t w, h;
        return pic_ReadJPG(source, &w, &h, 24, 0);
    });
    pic_SetJPGDCTScaleFactors(1, 1);
}

void PngBenchmark(benchmark::State& state) {
    ReadBenchmark(state, "photo.png", "png24", 2000 * 1500 * 3, [](CPicIO* source) {
        int32_t w, h;
        return pic_ReadPNG(source, &w, &h, 24, nullptr, 0);
    });
}

void GifBenchmark(benchmark::State& state) {
    ReadBenchmark(state, "still.gif", "gif first frame", 1000 * 750, [](CPicIO* source) {
        int32_t w, h, transparent;
        RGBQUAD palette[256];
        return pic_ReadGIF(source, &w, &h, &transparent, palette, 0);
    });
}

void AnimationBenchmark(benchmark::State& state) {
    ReadBenchmark(state, "anim.gif", "gif 20 frames", 0, [](CPicIO* source) -> void* {
        int32_t w = 0, h = 0, delay = 0;
        CPicAnimatedGIFState* animation = pic_InitRenderAnimatedGIF(source, &w, &h, nullptr);
        if (animation == nullptr) return nullptr;
        HGLOBAL canvas = GlobalAlloc(GMEM_FIXED, (SIZE_T)w * h * 4);
        bool played = canvas != nullptr && animation->frameList.frameCount == 20;
        for (int i = 0; played && i < animation->frameList.frameCount; ++i)
            played = pic_AnimatedGIFGetNextFrame(animation, (uint8_t*)canvas, &delay, 0) != FALSE;
        pic_FreeAnimatedGIF(animation);
        if (!played && canvas != nullptr) {
            GlobalFree(canvas);
            return nullptr;
        }
        return canvas;
    });
}

// The read's bytes (the file's and the 24-bit output's) per second as a share of memcpy's.
void ReportCopyShare(benchmark::State& state, const char* file, int32_t width, int32_t height) {
    double ms = state.counters["ms"], fresh = state.counters["fresh_ms"];
    if (g_copyBandwidth > 0 && ms > 0) {
        double bytes = (double)g_files[file].size() + 3.0 * width * height;
        state.counters["of_copy"] = bytes / (ms / 1e3) / g_copyBandwidth;
        if (ms > fresh) state.counters["of_copy_net"] = bytes / ((ms - fresh) / 1e3) / g_copyBandwidth;
    }
}

void BmpBenchmark(benchmark::State& state) {
    int32_t width = 0, height = 0;
    ReadBenchmark(state, "camera.bmp", "bmp24", 4000 * 3000 * 3, [&](CPicIO* source) {
        return pic_ReadBMP(source, &width, &height, 24, nullptr, 0);
    });
    ReportCopyShare(state, "camera.bmp", width, height);
}

void TgaBenchmark(benchmark::State& state, const char* file, const char* what) {
    int32_t width = 0, height = 0;
    ReadBenchmark(state, file, what, 4000 * 3000 * 3, [&](CPicIO* source) {
        return pic_ReadTGA(source, &width, &height, 24, nullptr, 0);
    });
    ReportCopyShare(state, file, width, height);
}

void PcxBenchmark(benchmark::State& state) {
    ReadBenchmark(state, "camera.pcx", "pcx24", 4000 * 3000 * 3, [](CPicIO* source) {
        int32_t w, h;
        return pic_ReadPCX(source, &w, &h, 24, nullptr, 0);
    });
}

void PpmBenchmark(benchmark::State& state) {
    int32_t width = 0, height = 0;
    ReadBenchmark(state, "camera.ppm", "ppm", 4000 * 3000 * 3, [&](CPicIO* source) {
        return pic_ReadPNM(source, &width, &height, 24, 0);
    });
    ReportCopyShare(state, "camera.ppm", width, height);
}

// The browser's thumbnail path: decode reduced by the size hint, to 24 bits,
// then a nearest-neighbour resize into the box keeping the aspect ratio.
bool MakeThumbnail(const CString& path) {
    CPicImageEx image, thumbnail;
    image.SetDecodeSizeHint(kThumbnailBox, kThumbnailBox);
    if (image.LoadFromFile(path, CPicImageEx::TypeFromExtension(path), 0) != PIC_ERR_OK) return false;
    image.ConvertTo24Bit();
    double ratio = std::min((double)kThumbnailBox / image.GetWidth(), (double)kThumbnailBox / image.GetHeight());
    SIZE size = {std::max(1, (int32_t)(image.GetWidth() * ratio)), std::max(1, (int32_t)(image.GetHeight() * ratio))};
    return thumbnail.CreateResizedRGB(size, image, 18) == PIC_ERR_OK;
}

void ThumbnailBenchmark(benchmark::State& state, const benchsupport::RunFolder* folder) {
    std::vector<CString> paths;
    for (int i = 0; i < kThumbnailFiles; ++i) {
        WCHAR name[32];
        wsprintfW(name, L"thumbs\\cam%03d.jpg", i);
        paths.push_back(*folder / name);
    }
    double total = 0;
    for (auto _ : state) {
        double start = Now();
        for (const CString& path : paths)
            if (!MakeThumbnail(path)) {
                state.SkipWithError("a thumbnail failed");
                return;
            }
        total += Now() - start;
    }
    ReportAgainstPeers(state, total / (double)std::max<int64_t>(state.iterations(), 1), "thumbnails");
}

// Every directory of each camera file's EXIF block, one file after another:
// from file sources as the peers read files, or from the bytes in memory
// (the parsing alone, without the file system's open and close).
void ExifBenchmark(benchmark::State& state, const benchsupport::RunFolder* folder, bool fromMemory) {
    const std::string& bytes = g_files["exifcam.jpg"];
    std::vector<CString> paths;
    for (int i = 0; i < kExifFiles; ++i) {
        WCHAR name[32];
        wsprintfW(name, L"exif\\cam%04d.jpg", i);
        paths.push_back(*folder / name);
    }
    double total = 0;
    for (auto _ : state) {
        double start = Now();
        for (const CString& path : paths) {
            CPicIO* source = fromMemory ? pic_OpenMemorySource(bytes.data(), (uint32_t)bytes.size())
                                        : pic_OpenFileSourceW(path);
            CPicEXIFReader reader;
            bool read = source != nullptr && reader.ReadFromSource(*source, 0, 0) && reader.gpsTags.items.size() > 0;
            if (source != nullptr) pic_CloseSource(source);
            if (!read) {
                state.SkipWithError("an EXIF block was not read");
                return;
            }
        }
        total += Now() - start;
    }
    ReportAgainstPeers(state, total / (double)std::max<int64_t>(state.iterations(), 1), "exif headers");
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    pic_Initialize(nullptr);
    benchsupport::RunFolder folder(L"qvd");
    if (!folder.IsValid() || !MakeInputs(folder)) {
        fprintf(stderr, "the input pictures could not be made\n");
        return 1;
    }
    g_copyBandwidth = CopyBandwidth();
    MeasurePeers(folder);
    benchmark::AddCustomContext("copy_bandwidth_GB_per_s", std::to_string(g_copyBandwidth / 1e9));

    auto add = [](const char* name, auto fn) {
        return benchmark::RegisterBenchmark(name, fn)->Unit(benchmark::kMillisecond)->MinTime(1.0);
    };
    add("JPEG 4000x3000 at 1/1", [](benchmark::State& s) { JpegBenchmark(s, 1); });
    add("JPEG 4000x3000 at 1/8", [](benchmark::State& s) { JpegBenchmark(s, 8); });
    add("PNG 2000x1500 24-bit", PngBenchmark);
    add("GIF 1000x750 first frame", GifBenchmark);
    add("GIF 400x300 20 frames", AnimationBenchmark);
    add("BMP 4000x3000 24-bit", BmpBenchmark);
    add("TGA 4000x3000 24-bit", [](benchmark::State& s) { TgaBenchmark(s, "camera.tga", "tga"); });
    add("TGA 4000x3000 24-bit run-length", [](benchmark::State& s) { TgaBenchmark(s, "camera_rle.tga", "tga rle"); });
    add("PCX 4000x3000 24-bit", PcxBenchmark);
    add("PPM 4000x3000 raw", PpmBenchmark);
    const benchsupport::RunFolder* where = &folder;
    benchmark::RegisterBenchmark("thumbnails of camera JPEGs",
                                 [where](benchmark::State& s) { ThumbnailBenchmark(s, where); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(2);
    for (bool fromMemory : {false, true})
        benchmark::RegisterBenchmark(fromMemory ? "EXIF of camera JPEG headers in memory" : "EXIF of camera JPEG headers",
                                     [where, fromMemory](benchmark::State& s) { ExifBenchmark(s, where, fromMemory); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    pic_Shutdown();
    return 0;
}
