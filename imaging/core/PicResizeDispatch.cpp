// Which resizer a method selects for each buffer kind and channel type.
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicResizeBase.h"
#include "imaging/core/PicBicubicResize.h"
#include "imaging/core/PicBicubicSimd.h"
#include "imaging/core/PicBilinearResize.h"
#include "imaging/core/PicDecimateResize.h"
#include "imaging/core/PicFilterResize.h"
#include "imaging/core/PicPackedAreaResize.h"
#include "imaging/core/PicSimpleResize.h"

#include <atomic>

using VovIredev::CPicImgBufBase;
using VovIredev::CPicImgBufExtern;
using VovIredev::CPicImgBufExternConst;

namespace {

// The dispatch's last choice, for tests; written by whichever thread
// resizes, read by a test after its own call.
std::atomic<PicResizerKind> g_lastResizer{PicResizerKind::None};

// Notes the chosen resizer and passes on what runs it.
void Chose(PicResizerKind kind) { g_lastResizer.store(kind); }

// Runs one resizer on the caller's stack and takes its status.
template <class Resizer, class T>
bool RunResizer(CPicOperation& op, const CPicImgBufBase<T>& src, CPicImgBufBase<T>& dst, uint32_t flags,
                PicResizerKind kind) {
    Chose(kind);
    Resizer resizer;
    bool ok = resizer.Resize(src, dst, flags);
    op.status = resizer.status;
    return ok;
}

bool Refuse(CPicOperation& op, int32_t code) {
    op.status = code;
    return false;
}

bool IsFilterMethod(uint32_t method) { return method <= PIC_RESIZE_CATMULL_ROM; }

// The three rows of the table shared by every channel type.
template <class T>
bool ResizeByMethod(CPicOperation& op, const T* src, uint32_t srcWidth, uint32_t srcHeight, T* dst,
                    uint32_t channels, uint32_t dstWidth, uint32_t dstHeight, uint32_t srcStride,
                    uint32_t dstStride, uint32_t method, uint32_t flags) {
    CPicImgBufExternConst<T> source(srcWidth, srcHeight, channels, srcStride, src);
    CPicImgBufExtern<T> dest(dstWidth, dstHeight, channels, dstStride, dst);
    switch (method) {
    case PIC_RESIZE_BILINEAR:
        return RunResizer<CPicImgResizeBilinearT<T>>(op, source, dest, flags, PicResizerKind::Bilinear);
    case PIC_RESIZE_BICUBIC:
        if constexpr (std::is_same_v<T, uint8_t>)
            if (CanUseSimdBicubic(source)) {
                Chose(PicResizerKind::BicubicSimd);
                return ResizeBicubicSimd(op.status, source, dest, flags);
            }
        return RunResizer<CPicBicubicResizeT<T>>(op, source, dest, flags, PicResizerKind::Bicubic);
    case PIC_RESIZE_NEAREST:
        return RunResizer<CPicSimpleResize<T>>(op, source, dest, flags, PicResizerKind::Nearest);
    default:
        return Refuse(op, PIC_ERR_BAD_PARAM);
    }
}

// Method 14 or 15 for the channel types that have them.
template <class T, class Reduction>
bool RunReduction(CPicOperation& op, const T* src, uint32_t srcWidth, uint32_t srcHeight, T* dst, uint32_t channels,
                  uint32_t dstWidth, uint32_t dstHeight, uint32_t srcStride, uint32_t dstStride, uint32_t flags) {
    CPicImgBufExternConst<T> source(srcWidth, srcHeight, channels, srcStride, src);
    CPicImgBufExtern<T> dest(dstWidth, dstHeight, channels, dstStride, dst);
    const bool box = std::is_same_v<Reduction, CPicImgDecimateT<T>>;
    return RunResizer<Reduction>(op, source, dest, flags, box ? PicResizerKind::Decimate : PicResizerKind::DecimateEx);
}

// Method 15 takes the whole-pixel box when both sizes divide exactly; a zero
// destination size does not divide.
bool DividesExactly(uint32_t srcWidth, uint32_t srcHeight, uint32_t dstWidth, uint32_t dstHeight) {
    return dstWidth != 0 && dstHeight != 0 && srcWidth % dstWidth == 0 && srcHeight % dstHeight == 0;
}

template <class T>
bool RunArea(CPicOperation& op, const T* src, uint32_t srcWidth, uint32_t srcHeight, T* dst, uint32_t channels,
             uint32_t dstWidth, uint32_t dstHeight, uint32_t srcStride, uint32_t dstStride, uint32_t flags,
             bool boxWhenWhole) {
    if (boxWhenWhole && DividesExactly(srcWidth, srcHeight, dstWidth, dstHeight))
        return RunReduction<T, CPicImgDecimateT<T>>(op, src, srcWidth, srcHeight, dst, channels, dstWidth,
                                                    dstHeight, srcStride, dstStride, flags);
    return RunReduction<T, CPicImgDecimateExT<T>>(op, src, srcWidth, srcHeight, dst, channels, dstWidth, dstHeight,
                                                  srcStride, dstStride, flags);
}

// Float and double share one table row: no filters and no box reduction.
template <class T>
bool ResizeFloatingPoint(CPicOperation& op, const T* src, uint32_t srcWidth, uint32_t srcHeight, T* dst,
                         uint32_t channels, uint32_t dstWidth, uint32_t dstHeight, uint32_t srcStride,
                         uint32_t dstStride, uint32_t method, uint32_t flags) {
    if (IsFilterMethod(method) || method == PIC_RESIZE_DECIMATE) return Refuse(op, PIC_ERR_BAD_PARAM);
    if (method == PIC_RESIZE_DECIMATE_EX)
        return RunArea(op, src, srcWidth, srcHeight, dst, channels, dstWidth, dstHeight, srcStride, dstStride, flags,
                       true);
    return ResizeByMethod(op, src, srcWidth, srcHeight, dst, channels, dstWidth, dstHeight, srcStride, dstStride,
                          method, flags);
}

}  // namespace

bool CPicOperation::ResizeImageUChar(const uint8_t* src, uint32_t srcWidth, uint32_t srcHeight, uint8_t* dst,
                                     uint32_t channels, uint32_t dstWidth, uint32_t dstHeight, uint32_t srcStride,
                                     uint32_t dstStride, uint32_t method, uint32_t flags) {
    Chose(PicResizerKind::None);
    if (IsFilterMethod(method)) {
        CPicImgBufExternConst<uint8_t> source(srcWidth, srcHeight, channels, srcStride, src);
        CPicImgBufExtern<uint8_t> dest(dstWidth, dstHeight, channels, dstStride, dst);
        Chose(PicResizerKind::Filter);
        CPicImgFilterResizeT resizer(method);
        bool ok = resizer.Resize(source, dest, flags);
        status = resizer.status;
        return ok;
    }
    if (method == PIC_RESIZE_DECIMATE)
        return RunReduction<uint8_t, CPicImgDecimateT<uint8_t>>(*this, src, srcWidth, srcHeight, dst, channels,
                                                                dstWidth, dstHeight, srcStride, dstStride, flags);
    if (method == PIC_RESIZE_DECIMATE_EX)
        return RunArea(*this, src, srcWidth, srcHeight, dst, channels, dstWidth, dstHeight, srcStride, dstStride,
                       flags, true);
    return ResizeByMethod(*this, src, srcWidth, srcHeight, dst, channels, dstWidth, dstHeight, srcStride, dstStride,
                          method, flags);
}

bool CPicOperation::ResizeImageUShort(const uint16_t* src, uint32_t srcWidth, uint32_t srcHeight, uint16_t* dst,
                                      uint32_t channels, uint32_t dstWidth, uint32_t dstHeight, uint32_t srcStride,
                                      uint32_t dstStride, uint32_t method, uint32_t flags) {
    Chose(PicResizerKind::None);
    if (IsFilterMethod(method)) return Refuse(*this, PIC_ERR_BAD_PARAM);
    if (method == PIC_RESIZE_DECIMATE)
        return RunReduction<uint16_t, CPicImgDecimateT<uint16_t>>(*this, src, srcWidth, srcHeight, dst, channels,
                                                                  dstWidth, dstHeight, srcStride, dstStride, flags);
    if (method == PIC_RESIZE_DECIMATE_EX)
        return RunArea(*this, src, srcWidth, srcHeight, dst, channels, dstWidth, dstHeight, srcStride, dstStride,
                       flags, false);
    return ResizeByMethod(*this, src, srcWidth, srcHeight, dst, channels, dstWidth, dstHeight, srcStride, dstStride,
                          method, flags);
}

bool CPicOperation::ResizeImageFloat(const float* src, uint32_t srcWidth, uint32_t srcHeight, float* dst,
                                     uint32_t channels, uint32_t dstWidth, uint32_t dstHeight, uint32_t srcStride,
                                     uint32_t dstStride, uint32_t method, uint32_t flags) {
    Chose(PicResizerKind::None);
    return ResizeFloatingPoint(*this, src, srcWidth, srcHeight, dst, channels, dstWidth, dstHeight, srcStride,
                               dstStride, method, flags);
}

bool CPicOperation::ResizeImageDouble(const double* src, uint32_t srcWidth, uint32_t srcHeight, double* dst,
                                      uint32_t channels, uint32_t dstWidth, uint32_t dstHeight, uint32_t srcStride,
                                      uint32_t dstStride, uint32_t method, uint32_t flags) {
    Chose(PicResizerKind::None);
    return ResizeFloatingPoint(*this, src, srcWidth, srcHeight, dst, channels, dstWidth, dstHeight, srcStride,
                               dstStride, method, flags);
}

bool CPicOperation::ResizeImage1Bit(const uint8_t* src, uint32_t srcWidth, uint32_t srcHeight, uint8_t* dst,
                                    uint32_t dstWidth, uint32_t dstHeight, uint32_t srcStride, uint32_t dstStride,
                                    uint32_t threshold, uint32_t method, uint32_t flags) {
    Chose(PicResizerKind::None);
    if (method == PIC_RESIZE_BILINEAR) {  // the threshold serves method 14 only
        Chose(PicResizerKind::OneBitBilinear);
        return ResizeOneBitBilinear(src, srcWidth, srcHeight, srcStride, dst, dstWidth, dstHeight, dstStride, flags);
    }
    if (method == PIC_RESIZE_DECIMATE) {
        Chose(PicResizerKind::OneBitArea);
        return ResizeOneBitArea(status, src, srcWidth, srcHeight, srcStride, dst, dstWidth, dstHeight, dstStride,
                                threshold, flags);
    }
    return Refuse(*this, PIC_ERR_BAD_PARAM);
}

bool CPicOperation::ResizeImage1BitToGray(const uint8_t* src, uint32_t srcWidth, uint32_t srcHeight, uint8_t* dst,
                                          uint32_t dstWidth, uint32_t dstHeight, uint32_t srcStride,
                                          uint32_t dstStride, uint32_t method, uint32_t flags) {
    Chose(PicResizerKind::None);
    if (method == PIC_RESIZE_BILINEAR) {
        Chose(PicResizerKind::OneBitToGrayBilinear);
        return ResizeOneBitToGrayBilinear(src, srcWidth, srcHeight, srcStride, dst, dstWidth, dstHeight, dstStride,
                                          flags);
    }
    if (method == PIC_RESIZE_DECIMATE) {
        Chose(PicResizerKind::OneBitToGrayArea);
        return ResizeOneBitToGrayArea(status, src, srcWidth, srcHeight, srcStride, dst, dstWidth, dstHeight,
                                      dstStride, flags);
    }
    if (!IsFilterMethod(method)) return Refuse(*this, PIC_ERR_BAD_PARAM);
    Chose(PicResizerKind::OneBitToGrayFilter);
    CPicFilterResize resampler;
    bool ok = resampler.Resize(src, srcWidth, srcHeight, dst, dstWidth, dstHeight, 1, method, srcStride, dstStride,
                               flags, PIC_FILTER_SOURCE_1BIT);
    status = resampler.status;
    return ok;
}

bool CPicOperation::ResizeImage8BitPalette(const uint8_t* src, uint32_t srcWidth, uint32_t srcHeight, uint8_t* dst,
                                           uint32_t dstWidth, uint32_t dstHeight, uint32_t srcStride,
                                           uint32_t dstStride, const RGBQUAD* palette, uint32_t paletteCount,
                                           uint32_t method, uint32_t flags) {
    Chose(PicResizerKind::None);
    if (method == PIC_RESIZE_BILINEAR) {
        Chose(PicResizerKind::PalettedBilinear);
        return ResizePalettedBilinear(dstWidth, dstHeight, srcWidth, srcHeight, src, paletteCount, palette, dst,
                                      srcStride, dstStride);
    }
    if (method == PIC_RESIZE_DECIMATE) {
        Chose(PicResizerKind::PalettedArea);
        return ResizePalettedArea(status, src, srcWidth, srcHeight, srcStride, dst, dstWidth, dstHeight, dstStride,
                                  palette, paletteCount, flags);
    }
    if (method != PIC_RESIZE_NEAREST) return Refuse(*this, PIC_ERR_BAD_PARAM);
    // Palette indices are copied as one-channel pixels.
    CPicImgBufExternConst<uint8_t> source(srcWidth, srcHeight, 1, srcStride, src);
    CPicImgBufExtern<uint8_t> dest(dstWidth, dstHeight, 1, dstStride, dst);
    return RunResizer<CPicSimpleResize<uint8_t>>(*this, source, dest, flags, PicResizerKind::Nearest);
}

PicResizerKind PicLastResizerForTesting() { return g_lastResizer.load(); }
