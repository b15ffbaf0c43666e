// The single-precision bicubic path for 8-bit images of 1, 3 or 4 channels:
// the same taps as the portable resizer, float weights, kernels for SSE3
// (1, 3 and 4 channels) and AVX2 (3 and 4 channels). One channel rounds to
// nearest; three and four channels truncate. Runs in row bands; reports no
// progress. Each kernel carries its own target attribute and tests its
// processor feature when called.
#pragma once

#include <windows.h>

#include "imaging/core/PicArray.h"
#include "imaging/core/PicBicubicResize.h"

// Per destination column: tap offsets (index x channels) and the four weights.
struct PicBicubicSimdTables {
    PicArray<int32_t> taps[4];
    PicArray<float> weights;  // four per column
    bool IsEmpty() const { return weights.IsEmpty(); }
};

// 0, or 1 when an array cannot be allocated.
int32_t BuildBicubicSimdTables(uint32_t srcWidth, uint32_t dstWidth, uint32_t channels, PicBicubicSimdTables& tables);

// 1 channel needs SSE3; 3 or 4 channels SSE3 or AVX2; others never.
bool CanUseSimdBicubic(const VovIredev::CPicImgBufBase<unsigned char>& src);

// The whole resize: checks, copy shortcut, tables, row bands; 71 without the
// processor features.
bool ResizeBicubicSimd(int32_t& status, const VovIredev::CPicImgBufBase<unsigned char>& src,
                       VovIredev::CPicImgBufBase<unsigned char>& dst, uint32_t flags);

// Rows band->top to band->bottom - 1 (every row without a band) with the
// kernel for the source's channel count and the processor; the result code.
typedef int32_t (*PicBicubicRowsKernel)(const VovIredev::CPicImgBufBase<unsigned char>& src,
                                        VovIredev::CPicImgBufBase<unsigned char>& dst,
                                        const PicBicubicSimdTables& tables, const RECT* band);
int32_t BicubicSimdRows(const VovIredev::CPicImgBufBase<unsigned char>& src,
                        VovIredev::CPicImgBufBase<unsigned char>& dst, const PicBicubicSimdTables& tables,
                        const RECT* band);
int32_t BicubicRowsSse1(const VovIredev::CPicImgBufBase<unsigned char>& src,
                        VovIredev::CPicImgBufBase<unsigned char>& dst, const PicBicubicSimdTables& tables,
                        const RECT* band);
int32_t BicubicRowsSse3(const VovIredev::CPicImgBufBase<unsigned char>& src,
                        VovIredev::CPicImgBufBase<unsigned char>& dst, const PicBicubicSimdTables& tables,
                        const RECT* band);
int32_t BicubicRowsSse4(const VovIredev::CPicImgBufBase<unsigned char>& src,
                        VovIredev::CPicImgBufBase<unsigned char>& dst, const PicBicubicSimdTables& tables,
                        const RECT* band);
int32_t BicubicRowsAvx3(const VovIredev::CPicImgBufBase<unsigned char>& src,
                        VovIredev::CPicImgBufBase<unsigned char>& dst, const PicBicubicSimdTables& tables,
                        const RECT* band);
int32_t BicubicRowsAvx4(const VovIredev::CPicImgBufBase<unsigned char>& src,
                        VovIredev::CPicImgBufBase<unsigned char>& dst, const PicBicubicSimdTables& tables,
                        const RECT* band);
