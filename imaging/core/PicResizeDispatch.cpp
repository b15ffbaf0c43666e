// Which resizer a method selects for each buffer kind and channel type.
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicResizeBase.h"
#include "imaging/core/PicSimpleResize.h"

using VovIredev::CPicImgBufBase;
using VovIredev::CPicImgBufExtern;
using VovIredev::CPicImgBufExternConst;

namespace {

// Runs one resizer on the caller's stack and takes its status.
template <class Resizer, class T>
bool RunResizer(CPicOperation& op, const CPicImgBufBase<T>& src, CPicImgBufBase<T>& dst, uint32_t flags) {
    Resizer resizer;
    bool ok = resizer.Resize(src, dst, flags);
    op.status = resizer.status;
    return ok;
}

bool Refuse(CPicOperation& op, int32_t code) {
    op.status = code;
    return false;
}

// Methods whose resizer this build does not have yet answer "unsupported".
bool NotAvailable(CPicOperation& op) { return Refuse(op, PIC_ERR_UNSUPPORTED); }

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
        return NotAvailable(op);
    case PIC_RESIZE_BICUBIC:
        return NotAvailable(op);
    case PIC_RESIZE_NEAREST:
        return RunResizer<CPicSimpleResize<T>>(op, source, dest, flags);
    default:
        return Refuse(op, PIC_ERR_BAD_PARAM);
    }
}

}  // namespace

bool CPicOperation::ResizeImageUChar(const uint8_t* src, uint32_t srcWidth, uint32_t srcHeight, uint8_t* dst,
                                     uint32_t channels, uint32_t dstWidth, uint32_t dstHeight, uint32_t srcStride,
                                     uint32_t dstStride, uint32_t method, uint32_t flags) {
    if (IsFilterMethod(method) || method == PIC_RESIZE_DECIMATE) return NotAvailable(*this);
    if (method == PIC_RESIZE_DECIMATE_EX) return NotAvailable(*this);
    return ResizeByMethod(*this, src, srcWidth, srcHeight, dst, channels, dstWidth, dstHeight, srcStride, dstStride,
                          method, flags);
}

bool CPicOperation::ResizeImageUShort(const uint16_t* src, uint32_t srcWidth, uint32_t srcHeight, uint16_t* dst,
                                      uint32_t channels, uint32_t dstWidth, uint32_t dstHeight, uint32_t srcStride,
                                      uint32_t dstStride, uint32_t method, uint32_t flags) {
    if (IsFilterMethod(method)) return Refuse(*this, PIC_ERR_BAD_PARAM);
    if (method == PIC_RESIZE_DECIMATE || method == PIC_RESIZE_DECIMATE_EX) return NotAvailable(*this);
    return ResizeByMethod(*this, src, srcWidth, srcHeight, dst, channels, dstWidth, dstHeight, srcStride, dstStride,
                          method, flags);
}

bool CPicOperation::ResizeImageFloat(const float* src, uint32_t srcWidth, uint32_t srcHeight, float* dst,
                                     uint32_t channels, uint32_t dstWidth, uint32_t dstHeight, uint32_t srcStride,
                                     uint32_t dstStride, uint32_t method, uint32_t flags) {
    if (IsFilterMethod(method) || method == PIC_RESIZE_DECIMATE) return Refuse(*this, PIC_ERR_BAD_PARAM);
    if (method == PIC_RESIZE_DECIMATE_EX) return NotAvailable(*this);
    return ResizeByMethod(*this, src, srcWidth, srcHeight, dst, channels, dstWidth, dstHeight, srcStride, dstStride,
                          method, flags);
}

bool CPicOperation::ResizeImageDouble(const double* src, uint32_t srcWidth, uint32_t srcHeight, double* dst,
                                      uint32_t channels, uint32_t dstWidth, uint32_t dstHeight, uint32_t srcStride,
                                      uint32_t dstStride, uint32_t method, uint32_t flags) {
    if (IsFilterMethod(method) || method == PIC_RESIZE_DECIMATE) return Refuse(*this, PIC_ERR_BAD_PARAM);
    if (method == PIC_RESIZE_DECIMATE_EX) return NotAvailable(*this);
    return ResizeByMethod(*this, src, srcWidth, srcHeight, dst, channels, dstWidth, dstHeight, srcStride, dstStride,
                          method, flags);
}

bool CPicOperation::ResizeImage1Bit(const uint8_t* /*src*/, uint32_t /*srcWidth*/, uint32_t /*srcHeight*/,
                                    uint8_t* /*dst*/, uint32_t /*dstWidth*/, uint32_t /*dstHeight*/,
                                    uint32_t /*srcStride*/, uint32_t /*dstStride*/, uint32_t /*threshold*/,
                                    uint32_t method, uint32_t /*flags*/) {
    if (method == PIC_RESIZE_DECIMATE || method == PIC_RESIZE_BILINEAR) return NotAvailable(*this);
    return Refuse(*this, PIC_ERR_BAD_PARAM);
}

bool CPicOperation::ResizeImage1BitToGray(const uint8_t* /*src*/, uint32_t /*srcWidth*/, uint32_t /*srcHeight*/,
                                          uint8_t* /*dst*/, uint32_t /*dstWidth*/, uint32_t /*dstHeight*/,
                                          uint32_t /*srcStride*/, uint32_t /*dstStride*/, uint32_t method,
                                          uint32_t /*flags*/) {
    if (IsFilterMethod(method) || method == PIC_RESIZE_DECIMATE || method == PIC_RESIZE_BILINEAR)
        return NotAvailable(*this);
    return Refuse(*this, PIC_ERR_BAD_PARAM);
}

bool CPicOperation::ResizeImage8BitPalette(const uint8_t* src, uint32_t srcWidth, uint32_t srcHeight, uint8_t* dst,
                                           uint32_t dstWidth, uint32_t dstHeight, uint32_t srcStride,
                                           uint32_t dstStride, const RGBQUAD* /*palette*/,
                                           uint32_t /*paletteCount*/, uint32_t method, uint32_t flags) {
    if (method == PIC_RESIZE_DECIMATE || method == PIC_RESIZE_BILINEAR) return NotAvailable(*this);
    if (method != PIC_RESIZE_NEAREST) return Refuse(*this, PIC_ERR_BAD_PARAM);
    // Palette indices are copied as one-channel pixels.
    CPicImgBufExternConst<uint8_t> source(srcWidth, srcHeight, 1, srcStride, src);
    CPicImgBufExtern<uint8_t> dest(dstWidth, dstHeight, 1, dstStride, dst);
    return RunResizer<CPicSimpleResize<uint8_t>>(*this, source, dest, flags);
}
