// The resizer family behind pic_ResizeImage and its 1-bit and palettised
// siblings: the method numbers, the base class every resizer derives from and
// the checks and copy shortcut they share.
//
// A resizer lives on the stack of one call (or of one band job); its status
// belongs to the thread that constructed it.
#pragma once

#include <cfloat>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "imaging/core/PicImgBuf.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicResult.h"

enum PicResizeMethod : uint32_t {
    PIC_RESIZE_BOX = 0,
    PIC_RESIZE_TRIANGLE = 1,
    PIC_RESIZE_HAMMING = 2,
    PIC_RESIZE_GAUSSIAN = 3,
    PIC_RESIZE_QUADRATIC_BSPLINE = 4,
    PIC_RESIZE_BSPLINE = 5,
    PIC_RESIZE_HERMITE = 6,
    PIC_RESIZE_BSPLINE_B = 7,
    PIC_RESIZE_LANCZOS3 = 8,
    PIC_RESIZE_MITCHELL = 9,
    PIC_RESIZE_SINC = 10,
    PIC_RESIZE_HERMITE_B = 11,
    PIC_RESIZE_HANNING = 12,
    PIC_RESIZE_CATMULL_ROM = 13,
    PIC_RESIZE_DECIMATE = 14,
    PIC_RESIZE_DECIMATE_EX = 15,
    PIC_RESIZE_BILINEAR = 16,
    PIC_RESIZE_BICUBIC = 17,
    PIC_RESIZE_NEAREST = 18,
};

// The resizers the dispatch chooses between, one kind per admitted cell of its method table.
enum class PicResizerKind : uint32_t {
    None,  // the method was refused
    Filter,
    Decimate,
    DecimateEx,
    Bilinear,
    Bicubic,
    BicubicSimd,
    Nearest,
    OneBitBilinear,
    OneBitArea,
    OneBitToGrayBilinear,
    OneBitToGrayArea,
    OneBitToGrayFilter,
    PalettedBilinear,
    PalettedArea,
};
// Test seam: the resizer the last dispatch on any thread chose.
PicResizerKind PicLastResizerForTesting();

// Largest value of a channel type.
template <class T>
constexpr T PicChannelMax();
template <>
constexpr unsigned char PicChannelMax<unsigned char>() { return 255; }
template <>
constexpr unsigned short PicChannelMax<unsigned short>() { return 65535; }
template <>
constexpr float PicChannelMax<float>() { return FLT_MAX; }
template <>
constexpr double PicChannelMax<double>() { return DBL_MAX; }

// Element offset of row `row` (64-bit so that large images never wrap).
inline size_t PicRowOffset(uint32_t row, uint32_t stride) { return (size_t)row * stride; }

// Non-empty sizes, equal non-zero channel counts, data present and strides
// that hold a row: what every multi-channel resizer needs of its views.
template <class T>
bool PicResizeViewsUsable(const VovIredev::CPicImgBufBase<T>& src, const VovIredev::CPicImgBufBase<T>& dst) {
    if (src.width == 0 || src.height == 0 || dst.width == 0 || dst.height == 0) return false;
    if (src.channels == 0 || src.channels != dst.channels) return false;
    if (src.data == nullptr || dst.data == nullptr) return false;
    return src.stride >= (uint64_t)src.channels * src.width && dst.stride >= (uint64_t)dst.channels * dst.width;
}

// Marks a resizer that raises the call depth through something it runs.
struct PicNoDepthGuard {};

template <class T>
class CPicResizeBaseT {
public:
    // The guard makes the resize one call deeper than its caller; without
    // memory for it the depth is left alone.
    CPicResizeBaseT() : m_depthGuard(new (std::nothrow) CPicCallDepthGuard), reportProgress(HasProgressCallback()) {}
    explicit CPicResizeBaseT(PicNoDepthGuard) : reportProgress(HasProgressCallback()) {}
    virtual ~CPicResizeBaseT() = default;
    CPicResizeBaseT(const CPicResizeBaseT&) = delete;
    CPicResizeBaseT& operator=(const CPicResizeBaseT&) = delete;

    // Resizes src into dst; the result code is left in status.
    virtual bool Resize(const VovIredev::CPicImgBufBase<T>& src, VovIredev::CPicImgBufBase<T>& dst,
                        uint32_t flags) = 0;

private:
    std::unique_ptr<CPicCallDepthGuard> m_depthGuard;

public:
    int32_t status = 0;
    bool reportProgress;
    T maxValue = PicChannelMax<T>();

protected:
    bool Fail(int32_t code) {
        status = code;
        return false;
    }
    bool Succeed() {
        status = PIC_ERR_OK;
        return true;
    }

    // Same size and stride: copies the pixels and answers true. Only the
    // bytes of the image are copied ((h - 1) rows of stride plus one row),
    // so a tightly allocated last row is neither over-read nor over-written.
    static bool CopyIfSameGeometry(const VovIredev::CPicImgBufBase<T>& src, VovIredev::CPicImgBufBase<T>& dst) {
        if (src.width != dst.width || src.height != dst.height || src.stride != dst.stride) return false;
        size_t elements = PicRowOffset(src.height - 1, src.stride) + (size_t)src.width * src.channels;
        memmove(dst.data, src.data, elements * sizeof(T));
        return true;
    }
};
