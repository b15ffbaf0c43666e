// Reductions that average the source area under each destination pixel:
// method 14 averages whole n x n blocks, method 15 weighs partly covered edge
// pixels by their covered fraction. Both only reduce and run in row bands.
#pragma once

#include <windows.h>

#include "imaging/core/PicArray.h"
#include "imaging/core/PicResizeBase.h"
#include "imaging/core/PicThreadPool.h"

// The source pixels under output position i when `source` pixels shrink to
// `dest`: [first, end) with partial weights for the two edge pixels. Formed
// from 64-bit integers so that spans never drift off the source.
struct PicCoverageSpan {
    int32_t first = 0;
    int32_t end = 0;
    double firstWeight = 1;
    double lastWeight = 1;
    double total = 1;  // first + last + the inner pixels
};
PicCoverageSpan PicCoverageSpanOf(uint32_t i, uint32_t source, uint32_t dest);
// One span per destination position; false without memory (or for dest 0).
bool BuildCoverageSpans(uint32_t dest, uint32_t source, PicArray<PicCoverageSpan>& spans);

namespace CPicImgResizeDecimate {
// One row band's parameters; the views belong to the submitter.
template <class T>
struct decimateThreadData : VovIredev::CPicThreadData {
    const VovIredev::CPicImgBufBase<T>* src = nullptr;
    VovIredev::CPicImgBufBase<T>* dst = nullptr;
    uint32_t flags = 0;
    RECT band = {};
};
}  // namespace CPicImgResizeDecimate

template <class T>
class CPicImgDecimateT : public CPicResizeBaseT<T> {
public:
    bool Resize(const VovIredev::CPicImgBufBase<T>& src, VovIredev::CPicImgBufBase<T>& dst,
                uint32_t flags) override;
    bool ResizeBand(const VovIredev::CPicImgBufBase<T>& src, VovIredev::CPicImgBufBase<T>& dst, uint32_t flags,
                    const RECT* band);
};

template <class T>
class CPicImgDecimateExT : public CPicResizeBaseT<T> {
public:
    bool Resize(const VovIredev::CPicImgBufBase<T>& src, VovIredev::CPicImgBufBase<T>& dst,
                uint32_t flags) override;
    bool ResizeBand(const VovIredev::CPicImgBufBase<T>& src, VovIredev::CPicImgBufBase<T>& dst, uint32_t flags,
                    const RECT* band);
};

extern template class CPicImgDecimateT<unsigned char>;
extern template class CPicImgDecimateT<unsigned short>;
extern template class CPicImgDecimateT<float>;
extern template class CPicImgDecimateT<double>;
extern template class CPicImgDecimateExT<unsigned char>;
extern template class CPicImgDecimateExT<unsigned short>;
extern template class CPicImgDecimateExT<float>;
extern template class CPicImgDecimateExT<double>;
