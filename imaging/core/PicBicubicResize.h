// Bicubic resize (method 17), the portable form for 8-bit, 16-bit, float and
// double channels: separable cubic convolution (a = -1) over 4 x 4 source
// pixels, in double precision. Runs in column bands on the pool.
#pragma once

#include <windows.h>

#include "imaging/core/PicArray.h"
#include "imaging/core/PicResizeBase.h"
#include "imaging/core/PicThreadPool.h"

// The four weights of the taps at -1, 0, +1, +2 for a fractional offset d.
struct PicCubicWeights {
    double w[4];
};
PicCubicWeights PicCubicWeightsOf(double d);

// The four tap indices of position p in a dimension of n pixels; the last
// source interval is held (taps move onto the last pixels), so every index
// lies inside 0..n - 1.
void PicCubicTaps(double p, uint32_t n, int32_t taps[4]);

// Per destination column: tap offsets (index x channels, in elements) and weights.
struct PicBicubicTables {
    PicArray<int32_t> taps[4];
    PicArray<double> weights[4];
    bool IsEmpty() const { return taps[0].IsEmpty(); }
};

// 0, or 1 when an array cannot be allocated.
int32_t BuildBicubicTables(uint32_t srcWidth, uint32_t srcHeight, uint32_t dstWidth, uint32_t dstHeight,
                           uint32_t channels, PicBicubicTables& tables);

template <class T>
class CPicBicubicResizeT : public CPicResizeBaseT<T> {
public:
    // One column band's parameters; the views and tables belong to the submitter.
    struct bicubicThreadData : VovIredev::CPicThreadData {
        const VovIredev::CPicImgBufBase<T>* src = nullptr;
        VovIredev::CPicImgBufBase<T>* dst = nullptr;
        uint32_t flags = 0;
        const PicBicubicTables* tables = nullptr;
        RECT band = {};
    };

    bool Resize(const VovIredev::CPicImgBufBase<T>& src, VovIredev::CPicImgBufBase<T>& dst,
                uint32_t flags) override;
    // Columns band->left to band->right - 1 of every row, or the whole destination without a band.
    bool ResizeBand(const VovIredev::CPicImgBufBase<T>& src, VovIredev::CPicImgBufBase<T>& dst,
                    const PicBicubicTables& tables, const RECT* band);
};

extern template class CPicBicubicResizeT<unsigned char>;
extern template class CPicBicubicResizeT<unsigned short>;
extern template class CPicBicubicResizeT<float>;
extern template class CPicBicubicResizeT<double>;
