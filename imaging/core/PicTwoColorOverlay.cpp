// A 1-bit mask drawn in two colours onto RGB or RGBA, in row bands when large.
#include "imaging/core/PicOverlay.h"
#include "imaging/core/PicOverlayFrame.h"
#include "imaging/core/PicRowKernels.h"

using VovIredev::CPicImgBufBase;

namespace {

uint8_t Mix(uint32_t colour, uint32_t pixel, uint32_t weight) {
    return (uint8_t)DivideBy255(colour * weight + pixel * (255 - weight));
}

void TwoColorsPixel(uint8_t* p, uint32_t channels, uint32_t bit, const uint8_t* pair, uint32_t flags) {
    const uint8_t* e = pair + 4 * bit;
    const bool swap = (flags & 0x1) != 0;
    const uint32_t c[3] = {swap ? e[0] : e[2], e[1], swap ? e[2] : e[0]};
    const uint32_t a = e[3];
    if (channels == 4 && (flags & 0x2)) {
        if (bit == 1 && (flags & 0x4)) p[3] = pair[7];
        return;
    }
    if (channels == 4 && (flags & 0x8)) {
        for (int k = 0; k < 3; ++k) p[k] = (uint8_t)c[k];
        p[3] = (uint8_t)a;
        return;
    }
    for (int k = 0; k < 3; ++k) p[k] = Mix(c[k], p[k], a);
    if (channels == 4 && !(flags & 0x10)) p[3] = (uint8_t)a;
}

int32_t TwoColorsCore(const PicOverlayArgs<uint8_t>& a, const RECT* band, void* extra) {
    const auto* pair = static_cast<const uint8_t*>(extra);
    const uint32_t channels = a.dst->channels;
    if (pair == nullptr || (channels != 3 && channels != 4)) return PIC_ERR_BAD_PARAM;
    if (int32_t refusal = PicOverlayFrameRefusal(a, band)) return refusal;
    RECT rect = a.Clipped();
    if (band != nullptr) IntersectRect(&rect, &rect, band);
    uint8_t* dstData = a.dst->GetData();
    const uint8_t* maskData = a.src->GetConstData();
    return PicWalkRows(rect, [&](int64_t r) {
        const uint8_t* m = maskData + (uint64_t)(r - a.y) * a.src->stride;
        uint8_t* d = dstData + (uint64_t)r * a.dst->stride;
        for (int64_t c = rect.left; c < rect.right; ++c)
            TwoColorsPixel(d + c * channels, channels, PicMaskBit(m, c - a.x), pair, a.flags);
        return 0;
    });
}

}  // namespace

int32_t CPicImgOverlay::Overlay1BitTwoColors(CPicImgBufBase<uint8_t>& dst, const CPicImgBufBase<uint8_t>& mask,
                                             int32_t x, int32_t y, const uint8_t* colourPair, uint32_t flags) {
    status = 0;
    if (dst.width > INT32_MAX || dst.height > INT32_MAX || mask.width > INT32_MAX || mask.height > INT32_MAX ||
        (dst.channels != 3 && dst.channels != 4) ||
        !PicStrideHoldsRow(dst.stride, (uint64_t)dst.width * dst.channels, dst.height) ||
        !PicStrideHoldsRow(mask.stride, ((uint64_t)mask.width + 7) / 8, mask.height))
        return PicOverlayFail(status, PIC_ERR_BAD_PARAM);
    const PicOverlayArgs<uint8_t> args{&dst, &mask, x, y, 1.0, 0.0, 0, flags};
    status = PicDriveOverlay<uint8_t>(args, TwoColorsCore, const_cast<uint8_t*>(colourPair));
    return status == 0 ? 1 : 0;
}
