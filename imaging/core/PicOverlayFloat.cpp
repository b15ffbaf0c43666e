// The float overlay's choice of route: the SSE or AVX kernel set for the
// modes it serves (with the kernels' own rounding), the scalar core for the rest.
#include <cfloat>
#include <memory>
#include <new>

#include "imaging/core/PicLogicalBlend.h"
#include "imaging/core/PicOverlay.h"
#include "imaging/core/PicOverlayFrame.h"

using VovIredev::CPicImgBufBase;

namespace {

int32_t BlendRow(CPicSIMDLogicalBufBlend& blend, int32_t mode, float* d, const float* s, uint32_t n, double x) {
    bool done;
    switch (mode) {
    case PIC_OVERLAY_BLEND: done = blend.BlendFloat(d, s, n, x); break;
    case PIC_OVERLAY_LIGHTEN: done = blend.MaxFloat(d, s, n, x); break;
    case PIC_OVERLAY_DARKEN: done = blend.MinFloat(d, s, n, x); break;
    case PIC_OVERLAY_ADD: done = blend.AddFloat(d, s, n, x); break;
    case PIC_OVERLAY_SUBTRACT: done = blend.SubFloat(d, s, n, x); break;
    case PIC_OVERLAY_DIFFERENCE: done = blend.DiffFloat(d, s, n, x); break;
    case PIC_OVERLAY_REVERSE_SUBTRACT: done = blend.RevSubFloat(d, s, n, x); break;
    default: return PIC_ERR_BAD_PARAM;
    }
    return done ? 0 : (blend.status != 0 ? blend.status : PIC_ERR_BAD_PARAM);
}

// One band (or all) of the SIMD route; extra is the shared kernel set. The
// opacity goes to the kernels as given.
int32_t SimdCore(const PicOverlayArgs<float>& a, const RECT* band, void* extra) {
    auto* blend = static_cast<CPicSIMDLogicalBufBlend*>(extra);
    if (blend == nullptr || a.src->channels != a.dst->channels) return PIC_ERR_BAD_PARAM;
    if (int32_t refusal = PicOverlayFrameRefusal(a, band)) return refusal;
    const double x = (double)(float)a.opacity;
    const bool bottomUp = a.mode == PIC_OVERLAY_BLEND && x == 1.0 && (a.flags & PIC_OVERLAY_SOURCE_BOTTOM_UP) != 0;
    return PicOverlayRows(a, band, bottomUp,
                          [&](float* d, const float* s, uint32_t n) { return BlendRow(*blend, a.mode, d, s, n, x); });
}

std::unique_ptr<CPicSIMDLogicalBufBlend> KernelSetFor(int32_t mode, double opacity) {
    if (IsAVXBlendAvailable(mode, opacity, PIC_BLEND_CHANNELS_FLOAT))
        return std::unique_ptr<CPicSIMDLogicalBufBlend>(new (std::nothrow) CPicSIMDLogicalBufBlendAVX);
    if (IsSSEBlendAvailable(mode, opacity, PIC_BLEND_CHANNELS_FLOAT))
        return std::unique_ptr<CPicSIMDLogicalBufBlend>(new (std::nothrow) CPicSIMDLogicalBufBlendSSE);
    return nullptr;
}

}  // namespace

int32_t CPicImgOverlay::OverlayFloat(CPicImgBufBase<float>& dst, const CPicImgBufBase<float>& src, int32_t x,
                                     int32_t y, float opacity, float param, int32_t mode, uint32_t flags) {
    status = 0;
    if (std::unique_ptr<CPicSIMDLogicalBufBlend> blend = KernelSetFor(mode, opacity)) {
        if (int32_t refusal = PicOverlayGeometryRefusal(dst, src, src.channels == dst.channels))
            return PicOverlayFail(status, refusal);
        const PicOverlayArgs<float> args{&dst, &src, x, y, (double)opacity, (double)param, mode, flags};
        status = PicDriveOverlay<float>(args, SimdCore, blend.get());
        return status == 0 ? 1 : 0;
    }
    CPicImgOverlayT<float> overlay(FLT_MAX);
    const int32_t result = overlay.Overlay(dst, src, x, y, opacity, param, mode, flags);
    status = overlay.status;
    return result;
}
