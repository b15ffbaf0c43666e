// The 8-bit overlay: RGBA pixels drawn by their alpha over RGB or RGBA pixels.
// All divisions by 255 and by the composite alpha truncate.
#include <cstring>

#include "imaging/core/PicArray.h"
#include "imaging/core/PicLogicalBlend.h"
#include "imaging/core/PicOverlay.h"
#include "imaging/core/PicOverlayFrame.h"
#include "imaging/core/PicRowKernels.h"

using VovIredev::CPicImgBufBase;

namespace {

// The alpha a source pixel counts with: its own, scaled by the opacity
// (truncated) when that is not exactly 1. Opacities outside [0, 1] are held to it.
struct AlphaTable {
    uint8_t of[256];
    explicit AlphaTable(double opacity) {
        const double f = opacity < 0 ? 0.0 : (opacity > 1 ? 1.0 : opacity);
        for (uint32_t i = 0; i < 256; ++i) of[i] = (uint8_t)(uint32_t)(i * f);
        multiplier = FindMultiplier(f);
    }
    // A 16-bit m with (i * m) >> 16 == of[i] for every i, so the SIMD row can
    // scale alphas itself; 0 when no m near f * 65536 gives every entry.
    uint16_t multiplier = 0;

private:
    uint16_t FindMultiplier(double f) const {
        for (uint32_t m = (uint32_t)(f * 65536); m <= (uint32_t)(f * 65536) + 2 && m < 65536; ++m) {
            uint32_t i = 0;
            while (i < 256 && (i * m) >> 16 == of[i]) ++i;
            if (i == 256) return (uint16_t)m;
        }
        return 0;
    }
};

// n / a for n < 65536 and a in 1..255, as a multiplication (exact in that range).
struct Reciprocals {
    uint64_t of[256];
    Reciprocals() {
        of[0] = 0;
        for (uint64_t a = 1; a < 256; ++a) of[a] = ((1ull << 32) + a - 1) / a;
    }
    uint32_t Divide(uint32_t n, uint32_t a) const { return (uint32_t)((n * of[a]) >> 32); }
};
const Reciprocals kReciprocals;

uint8_t Mix(uint32_t s, uint32_t d, uint32_t a) { return (uint8_t)DivideBy255(s * a + d * (255 - a)); }

// Compositing over a destination with alpha: A = a + (255 - a) D / 255, colour weight k = 255 a / A.
void OverRGBARow(uint8_t* d, const uint8_t* s, uint32_t pixels, const uint8_t* alpha) {
    for (uint32_t i = 0; i < pixels; ++i, d += 4, s += 4) {
        const uint32_t a = alpha != nullptr ? alpha[s[3]] : s[3], D = d[3];
        const uint32_t A = a + DivideBy255((255 - a) * D);
        const uint32_t k = A == 0 ? 0 : kReciprocals.Divide(a * 255, A);
        for (int c = 0; c < 3; ++c) d[c] = Mix(s[c], d[c], k);
        d[3] = (uint8_t)A;
    }
}

uint32_t ModeAlpha(int32_t mode, uint32_t D, uint32_t a) {
    switch (mode) {
    case 1: return a;
    case 2: return D > a ? D : a;
    case 3: return D + a > 255 ? 255 : D + a;
    case 5: return 255 - DivideBy255((255 - D) * (255 - a));
    default: return D;
    }
}

void MixRGBARow(uint8_t* d, const uint8_t* s, uint32_t pixels, const uint8_t* alpha, int32_t mode) {
    for (uint32_t i = 0; i < pixels; ++i, d += 4, s += 4) {
        const uint32_t a = alpha != nullptr ? alpha[s[3]] : s[3];
        if (a == 0) continue;
        for (int c = 0; c < 3; ++c) d[c] = Mix(s[c], d[c], a);
        d[3] = (uint8_t)ModeAlpha(mode, d[3], a);
    }
}

void MixRGBRow(uint8_t* d, const uint8_t* s, uint32_t pixels, const uint8_t* alpha) {
    for (uint32_t i = 0; i < pixels; ++i, d += 3, s += 4) {
        const uint32_t a = alpha != nullptr ? alpha[s[3]] : s[3];
        if (a == 0) continue;
        for (int c = 0; c < 3; ++c) d[c] = Mix(s[c], d[c], a);
    }
}

// Over RGB with SSE4.1. Below full opacity the kernel scales the alphas by
// the table's multiplier; without one, the source row is copied with its
// alphas scaled first. Either gives the same bytes as scaling per pixel.
int32_t KernelRGBRow(uint8_t* d, const uint8_t* s, uint32_t pixels, const AlphaTable* table,
                     PicArray<uint8_t>& scaled) {
    CPicOperation op;
    if (table != nullptr && table->multiplier != 0) {
        const uint32_t done = BlendRGBAOverRGBScaledSSE41(s, d, pixels, table->multiplier);
        MixRGBRow(d + 3 * (size_t)done, s + 4 * (size_t)done, pixels - done, table->of);
        return 0;
    }
    if (table != nullptr) {
        if (!scaled.Allocate(pixels * 4)) return PIC_ERR_OUT_OF_MEMORY;
        memcpy(scaled.data, s, (size_t)pixels * 4);
        for (uint32_t i = 3; i < pixels * 4; i += 4) scaled[i] = table->of[s[i]];
        s = scaled.data;
    }
    return op.BlendRGBAOverRGBRowSSE41(s, d, pixels) ? 0 : op.status;
}

int32_t CoreUChar(const PicOverlayArgs<uint8_t>& a, const RECT* band, void* /*extra*/) {
    if (int32_t refusal = PicOverlayFrameRefusal(a, band)) return refusal;
    const bool scaled = a.opacity != 1.0;
    const AlphaTable table(a.opacity);
    const uint8_t* alpha = scaled ? table.of : nullptr;
    const uint32_t channels = a.dst->channels;
    const bool kernel = channels == 3 && IsSimdKernelAvailable(PIC_KERNEL_BLEND_RGBA_OVER_RGB);
    PicArray<uint8_t> scaledRow;
    // The frame counts elements of the destination row.
    return PicOverlayRows(a, band, false, [&](uint8_t* d, const uint8_t* s, uint32_t n) -> int32_t {
        const uint32_t pixels = n / channels;
        if (channels == 4 && a.mode == 4)
            OverRGBARow(d, s, pixels, alpha);
        else if (channels == 4)
            MixRGBARow(d, s, pixels, alpha, a.mode);
        else if (kernel)
            return KernelRGBRow(d, s, pixels, scaled ? &table : nullptr, scaledRow);
        else
            MixRGBRow(d, s, pixels, alpha);
        return 0;
    });
}

}  // namespace

int32_t CPicImgOverlay::OverlayUChar(CPicImgBufBase<uint8_t>& dst, const CPicImgBufBase<uint8_t>& src, int32_t x,
                                     int32_t y, double opacity, int32_t mode, uint32_t flags) {
    status = 0;
    const bool layout = src.channels == 4 && (dst.channels == 3 || dst.channels == 4);
    if (int32_t refusal = PicOverlayGeometryRefusal(dst, src, layout)) return PicOverlayFail(status, refusal);
    const PicOverlayArgs<uint8_t> args{&dst, &src, x, y, opacity, 0.0, mode, flags};
    status = PicDriveOverlay<uint8_t>(args, CoreUChar, nullptr);
    return status == 0 ? 1 : 0;
}
