// The overlay driver (clipping, bands) and the 16-bit and float scalar cores.
// The 8-bit core and the float SIMD route are in PicOverlayUChar.cpp and
// PicOverlayFloat.cpp; all share the frame in PicOverlayFrame.h.
#include "imaging/core/PicOverlay.h"

#include <array>
#include <cfloat>
#include <cstring>
#include <type_traits>
#include <utility>

#include "imaging/core/PicArray.h"
#include "imaging/core/PicOverlayFrame.h"

using VovIredev::CPicImgBufBase;
using namespace PicOverlayRules;

RECT ClipOverlayRect(int64_t dstW, int64_t dstH, int64_t srcW, int64_t srcH, int64_t x, int64_t y) {
    auto cut = [](int64_t v, int64_t limit) { return v < 0 ? 0 : (v > limit ? limit : v); };
    RECT r;
    r.left = (LONG)cut(x, dstW);
    r.right = (LONG)cut(x + srcW, dstW);
    r.top = (LONG)cut(y, dstH);
    r.bottom = (LONG)cut(y + srcH, dstH);
    return r;
}

namespace {

// ---- 16-bit rows ----

// The opacity of a 16-bit overlay below 1: the source and destination shares
// of every sample value, exact (D) and truncated to 16 bits (S).
struct OpacityTables16 {
    PicArray<double> dx, dy;
    PicArray<uint16_t> sx, sy;
    bool Build(double f) {
        const uint32_t n = (uint32_t)kMax16 + 1;
        if (!dx.Allocate(n) || !dy.Allocate(n) || !sx.Allocate(n) || !sy.Allocate(n)) return false;
        for (uint32_t i = 0; i < n; ++i) {
            dx[i] = f * i;
            dy[i] = (1.0 - f) * i;
            sx[i] = (uint16_t)(int32_t)dx[i];
            sy[i] = (uint16_t)(int32_t)dy[i];
        }
        return true;
    }
};

struct Row16Context {
    int64_t level;
    double param;
    bool opaque;  // f is exactly 1
    const OpacityTables16* tables;
};

template <int32_t Mode>
void Row16(uint16_t* d, const uint16_t* s, uint32_t n, const Row16Context& c) {
    const OpacityTables16* t = c.tables;
    for (uint32_t i = 0; i < n; ++i) {
        const int64_t dv = d[i], sv = s[i];
        if (Mode == PIC_OVERLAY_ABOVE_LEVEL || Mode == PIC_OVERLAY_BELOW_LEVEL) {
            const bool hit = Mode == PIC_OVERLAY_ABOVE_LEVEL ? sv > c.level : sv < c.level;
            if (hit) d[i] = c.opaque ? (uint16_t)sv : (uint16_t)(t->sy[dv] + t->sx[sv]);
        } else if (c.opaque) {
            d[i] = (uint16_t)Rule16(Mode, dv, sv, c.level, c.param);
        } else if (Mode == PIC_OVERLAY_BLEND) {
            d[i] = (uint16_t)(t->sx[sv] + t->sy[dv]);
        } else if (Mode == PIC_OVERLAY_BLEND_DOUBLE) {
            d[i] = (uint16_t)(int64_t)(t->dy[dv] + t->dx[sv]);
        } else {
            const int64_t r = Rule16(Mode, dv, sv, c.level, c.param) & 0xFFFF;
            d[i] = (uint16_t)(t->sx[r] + t->sy[dv]);
        }
    }
}

using Row16Fn = void (*)(uint16_t*, const uint16_t*, uint32_t, const Row16Context&);

template <int32_t... Modes>
constexpr std::array<Row16Fn, sizeof...(Modes)> MakeRow16Table(std::integer_sequence<int32_t, Modes...>) {
    return {&Row16<Modes>...};
}
const auto kRows16 = MakeRow16Table(std::make_integer_sequence<int32_t, PIC_OVERLAY_MODE_COUNT>());

// ---- float rows ----

struct RowFloatContext {
    float level;
    float f, y;
    bool opaque;
};

template <int32_t Mode>
void RowFloat(float* d, const float* s, uint32_t n, const RowFloatContext& c) {
    for (uint32_t i = 0; i < n; ++i) {
        const float dv = d[i], sv = s[i];
        if (Mode == PIC_OVERLAY_ABOVE_LEVEL || Mode == PIC_OVERLAY_BELOW_LEVEL) {
            const bool hit = Mode == PIC_OVERLAY_ABOVE_LEVEL ? sv > c.level : sv < c.level;
            if (!hit) continue;
        }
        const float r = RuleFloat(Mode, dv, sv, c.level);
        d[i] = c.opaque ? r : (float)((double)dv * c.y + (double)r * c.f);
    }
}

using RowFloatFn = void (*)(float*, const float*, uint32_t, const RowFloatContext&);

template <int32_t... Modes>
constexpr std::array<RowFloatFn, sizeof...(Modes)> MakeRowFloatTable(std::integer_sequence<int32_t, Modes...>) {
    return {(HasFloatRule(Modes) ? &RowFloat<Modes> : nullptr)...};
}
const auto kRowsFloat = MakeRowFloatTable(std::make_integer_sequence<int32_t, PIC_OVERLAY_MODE_COUNT>());

bool IsBlendMode(int32_t mode) { return mode == PIC_OVERLAY_BLEND || mode == PIC_OVERLAY_BLEND_DOUBLE; }

template <class T>
int32_t CopyRows(const PicOverlayArgs<T>& a, const RECT* band) {
    const bool bottomUp = (a.flags & PIC_OVERLAY_SOURCE_BOTTOM_UP) != 0;
    return PicOverlayRows(a, band, bottomUp, [](T* d, const T* s, uint32_t n) {
        memcpy(d, s, (size_t)n * sizeof(T));
        return 0;
    });
}

int32_t Core16(const PicOverlayArgs<uint16_t>& a, const RECT* band) {
    if (int32_t refusal = PicOverlayFrameRefusal(a, band)) return refusal;
    if (a.opacity == 0.0 && IsBlendMode(a.mode)) return 0;
    const double f = a.opacity < 0 ? 0.0 : (a.opacity > 1 ? 1.0 : a.opacity);
    if (a.mode == PIC_OVERLAY_COPY || (f == 1.0 && IsBlendMode(a.mode))) return CopyRows(a, band);
    if (a.mode < 0 || a.mode >= PIC_OVERLAY_MODE_COUNT) return PIC_ERR_BAD_PARAM;
    OpacityTables16 tables;
    if (f != 1.0 && !tables.Build(f)) return PIC_ERR_OUT_OF_MEMORY;
    const Row16Context context{(int64_t)PicTruncateParam(a.param), a.param, f == 1.0, &tables};
    const Row16Fn row = kRows16[a.mode];
    return PicOverlayRows(a, band, false, [&](uint16_t* d, const uint16_t* s, uint32_t n) {
        row(d, s, n, context);
        return 0;
    });
}

int32_t CoreFloat(const PicOverlayArgs<float>& a, const RECT* band) {
    if (int32_t refusal = PicOverlayFrameRefusal(a, band)) return refusal;
    const float opacity = (float)a.opacity;
    if (opacity == 0.0f && IsBlendMode(a.mode)) return 0;
    const float f = opacity < 0 ? 0.0f : (opacity > 1 ? 1.0f : opacity);
    if (a.mode == PIC_OVERLAY_COPY || (f == 1.0f && IsBlendMode(a.mode))) return CopyRows(a, band);
    if (a.mode < 0 || a.mode >= PIC_OVERLAY_MODE_COUNT || kRowsFloat[a.mode] == nullptr) return PIC_ERR_BAD_PARAM;
    const RowFloatContext context{(float)a.param, f, (float)(1.0f - f), f == 1.0f};
    const RowFloatFn row = kRowsFloat[a.mode];
    return PicOverlayRows(a, band, false, [&](float* d, const float* s, uint32_t n) {
        row(d, s, n, context);
        return 0;
    });
}

template <class T>
int32_t ScalarCore(const PicOverlayArgs<T>& a, const RECT* band);
template <>
int32_t ScalarCore<uint16_t>(const PicOverlayArgs<uint16_t>& a, const RECT* band) {
    return Core16(a, band);
}
template <>
int32_t ScalarCore<float>(const PicOverlayArgs<float>& a, const RECT* band) {
    return CoreFloat(a, band);
}

template <class T>
int32_t ScalarCoreJob(const PicOverlayArgs<T>& a, const RECT* band, void* /*extra*/) {
    return ScalarCore<T>(a, band);
}

}  // namespace

template <class T>
int32_t CPicImgOverlayT<T>::Overlay(CPicImgBufBase<T>& dst, const CPicImgBufBase<T>& src, int32_t x, int32_t y,
                                    double opacity, double param, int32_t mode, uint32_t flags) {
    status = 0;
    if (std::is_same_v<T, float> && !(maxValue >= FLT_MAX)) return PicOverlayFail(status, PIC_ERR_UNSUPPORTED);
    const PicOverlayArgs<T> args{&dst, &src, x, y, opacity, param, mode, flags};
    if (int32_t refusal = PicOverlayGeometryRefusal(dst, src, src.channels == dst.channels))
        return PicOverlayFail(status, refusal);
    status = PicDriveOverlay<T>(args, ScalarCoreJob<T>, nullptr);
    return status == 0 ? 1 : 0;
}

template <class T>
int32_t CPicImgOverlayT<T>::OverlayCore(CPicImgBufBase<T>& dst, const CPicImgBufBase<T>& src, int32_t x, int32_t y,
                                        double opacity, double param, int32_t mode, uint32_t flags,
                                        const RECT* band) {
    status = 0;
    if (std::is_same_v<T, float> && !(maxValue >= FLT_MAX)) return PicOverlayFail(status, PIC_ERR_UNSUPPORTED);
    const PicOverlayArgs<T> args{&dst, &src, x, y, opacity, param, mode, flags};
    status = ScalarCore<T>(args, band);
    return status == 0 ? 1 : 0;
}

template class CPicImgOverlayT<uint16_t>;
template class CPicImgOverlayT<float>;

int32_t CPicImgOverlay::OverlayUShort(CPicImgBufBase<uint16_t>& dst, const CPicImgBufBase<uint16_t>& src, int32_t x,
                                      int32_t y, double opacity, double param, int32_t mode, uint32_t flags) {
    CPicImgOverlayT<uint16_t> overlay(65535);
    const int32_t result = overlay.Overlay(dst, src, x, y, opacity, param, mode, flags);
    status = overlay.status;
    return result;
}
