// The frame every overlay core shares: its arguments, the refusals, the walk
// over the clipped rows with progress, and the split into row bands.
// Internal to the overlay's own files.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "imaging/core/PicBandJobs.h"
#include "imaging/core/PicImgBuf.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicOverlay.h"
#include "imaging/core/PicResult.h"
#include "imaging/core/PicSizes.h"

template <class T>
struct PicOverlayArgs {
    VovIredev::CPicImgBufBase<T>* dst;
    const VovIredev::CPicImgBufBase<T>* src;
    int32_t x, y;
    double opacity, param;
    int32_t mode;
    uint32_t flags;

    RECT Clipped() const {
        return ClipOverlayRect(dst->width, dst->height, src->width, src->height, x, y);
    }
};

inline int32_t PicOverlayFail(int32_t& status, int32_t code) {
    status = code;
    return 0;
}

// The param of the 16-bit level modes, truncated toward zero and held to int32.
inline int32_t PicTruncateParam(double param) {
    if (!(param == param)) return 0;
    if (param >= 2147483647.0) return 2147483647;
    if (param <= -2147483648.0) return INT32_MIN;
    return (int32_t)param;
}

// 5 for sizes that were negative int32 values, no channels, strides shorter
// than a row, or a channel layout the overlay does not take.
template <class T>
int32_t PicOverlayGeometryRefusal(const VovIredev::CPicImgBufBase<T>& dst, const VovIredev::CPicImgBufBase<T>& src,
                                  bool layoutTaken) {
    for (const VovIredev::CPicImgBufBase<T>* view : {&dst, &src}) {
        if (view->width > INT32_MAX || view->height > INT32_MAX || view->channels == 0) return PIC_ERR_BAD_PARAM;
        if (!PicStrideHoldsRow(view->stride, (uint64_t)view->width * view->channels, view->height))
            return PIC_ERR_BAD_PARAM;
    }
    return layoutTaken ? 0 : PIC_ERR_BAD_PARAM;
}

// 5 for null data, one buffer as both source and destination, or a band outside the clipped area.
template <class T>
int32_t PicOverlayFrameRefusal(const PicOverlayArgs<T>& a, const RECT* band) {
    if (a.dst->data == nullptr || a.src->data == nullptr || a.dst->data == a.src->data) return PIC_ERR_BAD_PARAM;
    if (band != nullptr) {
        const RECT rect = a.Clipped();
        if (band->left >= rect.right || band->right <= rect.left || band->top >= rect.bottom ||
            band->bottom <= rect.top)
            return PIC_ERR_BAD_PARAM;
    }
    return 0;
}

// Runs row(dstRow, srcRow, elements) -> code over the clipped rows (of the band
// when one is given), reporting progress per row. The source row of
// destination row r is r - y, or y + srcH - 1 - r when bottomUp.
template <class T, class Row>
int32_t PicOverlayRows(const PicOverlayArgs<T>& a, const RECT* band, bool bottomUp, Row&& row) {
    CPicCallDepthGuard depth;
    CPicProgress progress;
    RECT rect = a.Clipped();
    if (band != nullptr) {
        rect.left = std::max(rect.left, band->left);
        rect.right = std::min(rect.right, band->right);
        rect.top = std::max(rect.top, band->top);
        rect.bottom = std::min(rect.bottom, band->bottom);
    }
    const uint32_t channels = a.dst->channels;
    const uint32_t count = (uint32_t)(rect.right - rect.left) * channels;
    const uint32_t rows = (uint32_t)(rect.bottom - rect.top);
    T* dstData = a.dst->GetData();
    const T* srcData = a.src->GetConstData();
    for (int64_t r = rect.top; r < rect.bottom; ++r) {
        const int64_t srcRow = bottomUp ? (int64_t)a.y + a.src->height - 1 - r : r - a.y;
        T* d = dstData + (uint64_t)r * a.dst->stride + (uint64_t)rect.left * channels;
        const T* s = srcData + (uint64_t)srcRow * a.src->stride + (uint64_t)(rect.left - a.x) * a.src->channels;
        if (int32_t code = row(d, s, count)) return code;
        if (!progress.Report((uint32_t)(r - rect.top), rows)) return PIC_ERR_CANCELLED;
    }
    return 0;
}

template <class T>
using PicOverlayCoreFn = int32_t (*)(const PicOverlayArgs<T>&, const RECT* band, void* extra);

template <class T>
struct PicOverlayBandRecord : VovIredev::CPicThreadData {
    PicOverlayArgs<T> args{};
    PicOverlayCoreFn<T> core = nullptr;
    void* extra = nullptr;
    RECT band{};
};

template <class T>
int32_t PicOverlayBandJob(VovIredev::CPicThreadData* data) {
    auto* record = static_cast<PicOverlayBandRecord<T>*>(data);
    PicRunBand(record, [&] { return record->core(record->args, &record->band, record->extra); });
    return 0;
}

// Clips; an empty area is success with nothing written. More rows than five
// bands' worth run as row bands on the pool, the rest on the calling thread.
template <class T>
int32_t PicDriveOverlay(const PicOverlayArgs<T>& a, PicOverlayCoreFn<T> core, void* extra) {
    const RECT rect = a.Clipped();
    if (rect.right <= rect.left || rect.bottom <= rect.top) return 0;
    const uint32_t rows = (uint32_t)(rect.bottom - rect.top);
    if (!ShouldRunThreaded(a.flags, rows)) return core(a, nullptr, extra);
    CPicCallDepthGuard depth;
    PicArray<RECT> bands;
    if (!SplitIntoRowBands(bands, (uint32_t)(rect.right - rect.left), rows, GetBandCount()))
        return PIC_ERR_OUT_OF_MEMORY;
    return PicRunBandJobs<PicOverlayBandRecord<T>>(
        PicOverlayBandJob<T>, bands, [&](PicOverlayBandRecord<T>& record, const RECT& band) {
            record.args = a;
            record.core = core;
            record.extra = extra;
            record.band = band;
            OffsetRect(&record.band, rect.left, rect.top);
        });
}

// ---- the frame of the small-image overlays over raw rows ----

// 5 for a negative size or stride, or a stride shorter than a row (row bytes
// given for the pixel size of each image).
inline int32_t PicRawGeometryRefusal(int32_t dstW, int32_t dstH, int32_t dstStride, uint64_t dstRowBytes, int32_t srcW,
                                     int32_t srcH, int32_t srcStride, uint64_t srcRowBytes) {
    if (dstW < 0 || dstH < 0 || srcW < 0 || srcH < 0 || dstStride < 0 || srcStride < 0) return PIC_ERR_BAD_PARAM;
    if (!PicStrideHoldsRow((uint64_t)dstStride, dstRowBytes, (uint32_t)dstH) ||
        !PicStrideHoldsRow((uint64_t)srcStride, srcRowBytes, (uint32_t)srcH))
        return PIC_ERR_BAD_PARAM;
    return 0;
}

inline bool PicRectEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

// Calls row(r) -> code for every row of rect with the call depth raised and
// progress reported after each row.
template <class Row>
int32_t PicWalkRows(const RECT& rect, Row&& row) {
    CPicCallDepthGuard depth;
    CPicProgress progress;
    const uint32_t rows = (uint32_t)(rect.bottom - rect.top);
    for (int64_t r = rect.top; r < rect.bottom; ++r) {
        if (int32_t code = row(r)) return code;
        if (!progress.Report((uint32_t)(r - rect.top), rows)) return PIC_ERR_CANCELLED;
    }
    return 0;
}

// Bit c of a packed 1-bit row (most significant bit first).
inline uint32_t PicMaskBit(const uint8_t* row, int64_t c) { return (row[c >> 3] >> (7 - (c & 7))) & 1; }
