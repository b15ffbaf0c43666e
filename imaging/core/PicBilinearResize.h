// Bilinear resize (method 16) of 8-bit, 16-bit, float and double channels:
// each destination pixel interpolates the 2 x 2 source pixels around its
// position. Runs in row bands on the pool.
#pragma once

#include <windows.h>

#include "imaging/core/PicArray.h"
#include "imaging/core/PicResizeBase.h"
#include "imaging/core/PicThreadPool.h"

// Step between the source positions of consecutive destination pixels along
// one dimension: s / n, and slightly less when enlarging so that the last
// destination pixel stays inside the source.
inline double PicBilinearStep(uint32_t sourceSize, uint32_t destSize) {
    double s = sourceSize, n = destSize;
    return sourceSize >= destSize ? s / n : (s - s / n) / n;
}

// Per destination column: the weight of the second tap and the first tap
// (limited to the last source column). Leaves the tables empty without memory.
void BuildBilinearColumns(uint32_t destWidth, uint32_t sourceWidth, PicArray<double>& weights,
                          PicArray<int32_t>& indices);

template <class T>
class CPicImgResizeBilinearT : public CPicResizeBaseT<T> {
public:
    // One row band's parameters; the views and tables belong to the submitter.
    struct bilinThreadData : VovIredev::CPicThreadData {
        const VovIredev::CPicImgBufBase<T>* src = nullptr;
        VovIredev::CPicImgBufBase<T>* dst = nullptr;
        RECT band = {};
        const PicArray<double>* weights = nullptr;
        const PicArray<int32_t>* indices = nullptr;
    };

    bool Resize(const VovIredev::CPicImgBufBase<T>& src, VovIredev::CPicImgBufBase<T>& dst,
                uint32_t flags) override;
    // Rows band->top to band->bottom - 1, or every row without a band.
    bool ResizeBand(const VovIredev::CPicImgBufBase<T>& src, VovIredev::CPicImgBufBase<T>& dst, const RECT* band,
                    const PicArray<double>& weights, const PicArray<int32_t>& indices);
};

extern template class CPicImgResizeBilinearT<unsigned char>;
extern template class CPicImgResizeBilinearT<unsigned short>;
extern template class CPicImgResizeBilinearT<float>;
extern template class CPicImgResizeBilinearT<double>;
