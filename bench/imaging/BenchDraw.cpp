// Drawing and text speed, informative only (Wine's GDI does most of the work):
// frames per second of 1:1, stretched and alpha-blended drawing of a 1920 x 1080
// picture into a DIB section of the same size, and text calls per second.
#include "bench/BenchSupport.h"

#include <vector>

#include "imaging/core/PicDrawEntryPoints.h"
#include "imaging/core/PicEntryPoints.h"
#include "imaging/core/PicTextEntryPoints.h"

namespace {

constexpr uint32_t kWidth = 1920, kHeight = 1080;

std::vector<uint8_t> Filled(size_t n, uint32_t stream) {
    std::vector<uint8_t> v(n);
    uint32_t s = stream * 2654435761u + 1;
    for (auto& b : v) {
        s = s * 1664525u + 1013904223u;
        b = (uint8_t)(s >> 24);
    }
    return v;
}

// A memory DC over a 32-bit DIB section of the frame's size.
class Screen {
public:
    Screen() {
        BITMAPINFO info = {};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), (LONG)kWidth, -(LONG)kHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        dc = CreateCompatibleDC(nullptr);
        m_bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        m_previous = SelectObject(dc, m_bitmap);
    }
    ~Screen() {
        SelectObject(dc, m_previous);
        DeleteObject(m_bitmap);
        DeleteDC(dc);
    }
    HDC dc;

private:
    HBITMAP m_bitmap;
    HGDIOBJ m_previous;
};

template <class Draw>
void Frames(benchmark::State& state, Draw draw) {
    Screen screen;
    for (auto _ : state) benchmark::DoNotOptimize(draw(screen.dc));
    state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
}

void BM_DrawRGB(benchmark::State& state) {
    const auto rgb = Filled(3ull * kWidth * kHeight, 1);
    Frames(state, [&](HDC dc) { return pic_DrawRGB(dc, rgb.data(), kWidth, kHeight, 3 * kWidth, 0, 0, nullptr); });
}
BENCHMARK(BM_DrawRGB)->Unit(benchmark::kMillisecond);

void BM_StretchDrawRGB(benchmark::State& state) {
    const auto rgb = Filled(3ull * (kWidth / 2) * (kHeight / 2), 2);
    Frames(state, [&](HDC dc) {
        return pic_StretchDrawRGB(dc, rgb.data(), kWidth / 2, kHeight / 2, 3 * (kWidth / 2), 0, 0, kWidth, kHeight);
    });
}
BENCHMARK(BM_StretchDrawRGB)->Unit(benchmark::kMillisecond);

void BM_DrawRGBA(benchmark::State& state) {
    const auto rgba = Filled(4ull * kWidth * kHeight, 3);
    Frames(state, [&](HDC dc) {
        return pic_DrawRGBA(dc, rgba.data(), kWidth, kHeight, 4 * kWidth, 0, 0, nullptr, 0);
    });
}
BENCHMARK(BM_DrawRGBA)->Unit(benchmark::kMillisecond);

void BM_TextOnRGB(benchmark::State& state) {
    std::vector<uint8_t> rgb(3ull * 640 * 480, 0x40);
    const RECT rect = {20, 20, 620, 200};
    const int32_t flags = (int32_t)state.range(0);
    for (auto _ : state)
        benchmark::DoNotOptimize(pic_DrawTextOnRGB(rgb.data(), 640, 480, 3 * 640, "Quarterly figures\nsecond line",
                                                   "Arial", 24, &rect, 0, flags, 0xFFFFFF));
    state.counters["calls_per_s"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TextOnRGB)->Arg(0)->Arg(0x40)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    pic_Initialize(nullptr);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    pic_Shutdown();
    return 0;
}
