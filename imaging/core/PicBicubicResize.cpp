#include "imaging/core/PicBicubicResize.h"

#include <cmath>

#include "imaging/core/PicBandJobs.h"
#include "imaging/core/PicLibrarySettings.h"

using VovIredev::CPicImgBufBase;

PicCubicWeights PicCubicWeightsOf(double d) {
    return {{-d * (1 - d) * (1 - d), 1 - 2 * d * d + d * d * d, d + d * d - d * d * d, d * d * d - d * d}};
}

void PicCubicTaps(double p, uint32_t n, int32_t taps[4]) {
    const double last = (double)n - 1;  // the thresholds are signed: n of 1 or 2 stays inside
    int32_t f = (int32_t)std::floor(p);
    taps[0] = p < 1 ? 0 : f - 1;
    taps[1] = p >= last ? (int32_t)n - 1 : f;
    taps[2] = p >= last - 1 ? taps[1] : f + 1;
    taps[3] = p >= last - 2 ? taps[2] : f + 2;
}

int32_t BuildBicubicTables(uint32_t srcWidth, uint32_t /*srcHeight*/, uint32_t dstWidth, uint32_t /*dstHeight*/,
                           uint32_t channels, PicBicubicTables& tables) {
    for (int k = 0; k < 4; ++k)
        if (!tables.taps[k].Allocate(dstWidth) || !tables.weights[k].Allocate(dstWidth)) return PIC_ERR_OUT_OF_MEMORY;
    const double scale = (double)srcWidth / dstWidth;
    for (uint32_t x = 0; x < dstWidth; ++x) {
        double p = std::min(std::max(x * scale, 0.0), srcWidth - 1.0);
        PicCubicWeights w = PicCubicWeightsOf(p - std::floor(p));
        int32_t taps[4];
        PicCubicTaps(p, srcWidth, taps);
        for (int k = 0; k < 4; ++k) {
            tables.taps[k][x] = taps[k] * (int32_t)channels;
            tables.weights[k][x] = w.w[k];
        }
    }
    return PIC_ERR_OK;
}

namespace {

// Integer types truncate, then clamp (the kernel overshoots at sharp edges);
// double keeps the value; float keeps it too, except that three-channel float
// images are held within the float range.
template <class T>
inline T StoreCubic(double value, uint32_t channels) {
    if constexpr (std::is_same_v<T, double>) {
        return value;
    } else if constexpr (std::is_same_v<T, float>) {
        if (channels == 3) value = std::min<double>(std::max<double>(value, -FLT_MAX), FLT_MAX);
        return (float)value;
    } else {
        double whole = std::trunc(value);
        if (!(whole > 0)) return 0;
        if (whole > PicChannelMax<T>()) return PicChannelMax<T>();
        return (T)whole;
    }
}

template <class T>
int32_t BicubicJob(VovIredev::CPicThreadData* data) {
    auto* job = static_cast<typename CPicBicubicResizeT<T>::bicubicThreadData*>(data);
    PicRunBand(job, [&] {
        CPicBicubicResizeT<T> resizer;
        resizer.ResizeBand(*job->src, *job->dst, *job->tables, &job->band);
        return resizer.status;
    });
    return 0;
}

}  // namespace

template <class T>
bool CPicBicubicResizeT<T>::Resize(const CPicImgBufBase<T>& src, CPicImgBufBase<T>& dst, uint32_t flags) {
    if (!PicResizeViewsUsable(src, dst) || src.data == dst.data) return this->Fail(PIC_ERR_BAD_PARAM);
    // Copied once here so that no two bands write the same bytes.
    if (this->CopyIfSameGeometry(src, dst)) return this->Succeed();
    PicBicubicTables tables;
    if (BuildBicubicTables(src.width, src.height, dst.width, dst.height, src.channels, tables) != PIC_ERR_OK)
        return this->Fail(PIC_ERR_OUT_OF_MEMORY);
    if (!ShouldRunThreaded(flags, dst.width)) return ResizeBand(src, dst, tables, nullptr);
    PicArray<RECT> bands;
    if (!SplitIntoColumnBands(bands, dst.width, dst.height, GetBandCount())) return this->Fail(PIC_ERR_OUT_OF_MEMORY);
    this->status =
        PicRunBandJobs<bicubicThreadData>(BicubicJob<T>, bands, [&](bicubicThreadData& job, const RECT& band) {
            job.src = &src;
            job.dst = &dst;
            job.flags = flags;
            job.tables = &tables;
            job.band = band;
        });
    return this->status == PIC_ERR_OK;
}

template <class T>
bool CPicBicubicResizeT<T>::ResizeBand(const CPicImgBufBase<T>& src, CPicImgBufBase<T>& dst,
                                       const PicBicubicTables& tables, const RECT* band) {
    if (!PicResizeViewsUsable(src, dst) || src.data == dst.data || tables.IsEmpty())
        return this->Fail(PIC_ERR_BAD_PARAM);
    this->status = PIC_ERR_OK;
    if (this->CopyIfSameGeometry(src, dst)) return this->Succeed();
    const uint32_t channels = src.channels;
    const uint32_t left = band != nullptr ? (uint32_t)band->left : 0;
    const uint32_t right = band != nullptr ? (uint32_t)band->right : dst.width;
    const double rowScale = (double)src.height / dst.height;
    CPicProgress progress;
    for (uint32_t y = 0; y < dst.height; ++y) {
        double q = y * rowScale;
        PicCubicWeights h = PicCubicWeightsOf(q - std::floor(q));
        int32_t rowTaps[4];
        PicCubicTaps(q, src.height, rowTaps);
        const T* rows[4];
        for (int k = 0; k < 4; ++k) rows[k] = src.data + PicRowOffset((uint32_t)rowTaps[k], src.stride);
        T* out = dst.data + PicRowOffset(y, dst.stride);
        for (uint32_t x = left; x < right; ++x) {
            const double w0 = tables.weights[0][x], w1 = tables.weights[1][x], w2 = tables.weights[2][x],
                         w3 = tables.weights[3][x];
            const int32_t t0 = tables.taps[0][x], t1 = tables.taps[1][x], t2 = tables.taps[2][x],
                          t3 = tables.taps[3][x];
            for (uint32_t c = 0; c < channels; ++c) {
                double value = 0;
                for (int k = 0; k < 4; ++k) {
                    const T* r = rows[k] + c;
                    value += h.w[k] * (w0 * r[t0] + w1 * r[t1] + w2 * r[t2] + w3 * r[t3]);
                }
                out[(size_t)x * channels + c] = StoreCubic<T>(value, channels);
            }
        }
        if (!progress.Report(y, dst.height)) return this->Fail(PIC_ERR_CANCELLED);
    }
    return true;
}

template class CPicBicubicResizeT<unsigned char>;
template class CPicBicubicResizeT<unsigned short>;
template class CPicBicubicResizeT<float>;
template class CPicBicubicResizeT<double>;
