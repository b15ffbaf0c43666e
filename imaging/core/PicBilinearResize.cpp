#include "imaging/core/PicBilinearResize.h"

#include <cmath>

#include "imaging/core/PicBandJobs.h"
#include "imaging/core/PicLibrarySettings.h"

using VovIredev::CPicImgBufBase;

void BuildBilinearColumns(uint32_t destWidth, uint32_t sourceWidth, PicArray<double>& weights,
                          PicArray<int32_t>& indices) {
    if (!weights.Allocate(destWidth) || !indices.Allocate(destWidth)) {
        weights.Free();
        indices.Free();
        return;
    }
    double step = PicBilinearStep(sourceWidth, destWidth);
    for (uint32_t x = 0; x < destWidth; ++x) {
        double p = x * step;
        double whole = std::floor(p);
        weights[x] = p - whole;
        indices[x] = (int32_t)std::min<double>(whole, sourceWidth - 1.0);
    }
}

namespace {

// Float samples are cut to whole numbers before and after weighting, so float
// results are always whole; the integer types truncate the result.
template <class T>
inline double Sample(T value) {
    if constexpr (std::is_same_v<T, float>) return std::trunc(value);
    return value;
}

template <class T>
inline T Store(double value) {
    if constexpr (std::is_same_v<T, double>) return value;
    if constexpr (std::is_same_v<T, float>) return (float)std::trunc(value);
    return (T)value;  // truncates; the value lies between its four samples
}

inline uint32_t Clamp(int64_t i, uint32_t size) { return (uint32_t)std::max<int64_t>(0, std::min<int64_t>(i, size - 1)); }

template <class T>
int32_t BilinearJob(VovIredev::CPicThreadData* data) {
    auto* job = static_cast<typename CPicImgResizeBilinearT<T>::bilinThreadData*>(data);
    PicRunBand(job, [&] {
        CPicImgResizeBilinearT<T> resizer;
        resizer.ResizeBand(*job->src, *job->dst, &job->band, *job->weights, *job->indices);
        return resizer.status;
    });
    return 0;
}

}  // namespace

template <class T>
bool CPicImgResizeBilinearT<T>::Resize(const CPicImgBufBase<T>& src, CPicImgBufBase<T>& dst, uint32_t flags) {
    if (!PicResizeViewsUsable(src, dst)) return this->Fail(PIC_ERR_BAD_PARAM);
    // Copied once here so that no two bands write the same bytes.
    if (this->CopyIfSameGeometry(src, dst)) return this->Succeed();
    PicArray<double> weights;
    PicArray<int32_t> indices;
    BuildBilinearColumns(dst.width, src.width, weights, indices);
    if (!ShouldRunThreaded(flags, dst.height)) return ResizeBand(src, dst, nullptr, weights, indices);
    PicArray<RECT> bands;
    if (!SplitIntoRowBands(bands, dst.width, dst.height, GetBandCount())) return this->Fail(PIC_ERR_OUT_OF_MEMORY);
    this->status = PicRunBandJobs<bilinThreadData>(BilinearJob<T>, bands, [&](bilinThreadData& job, const RECT& band) {
        job.src = &src;
        job.dst = &dst;
        job.band = band;
        job.weights = &weights;
        job.indices = &indices;
    });
    return this->status == PIC_ERR_OK;
}

template <class T>
bool CPicImgResizeBilinearT<T>::ResizeBand(const CPicImgBufBase<T>& src, CPicImgBufBase<T>& dst, const RECT* band,
                                           const PicArray<double>& weights, const PicArray<int32_t>& indices) {
    if (!PicResizeViewsUsable(src, dst) || weights.IsEmpty() || indices.IsEmpty())
        return this->Fail(PIC_ERR_BAD_PARAM);
    this->status = PIC_ERR_OK;
    if (this->CopyIfSameGeometry(src, dst)) return this->Succeed();
    const uint32_t channels = src.channels;
    const uint32_t top = band != nullptr ? (uint32_t)band->top : 0;
    const uint32_t bottom = band != nullptr ? (uint32_t)band->bottom : dst.height;
    const double rowStep = PicBilinearStep(src.height, dst.height);
    CPicProgress progress;
    for (uint32_t y = top; y < bottom; ++y) {
        double p = y * rowStep;
        double whole = std::floor(p);
        double fy = p - whole;
        const T* row0 = src.data + PicRowOffset(Clamp((int64_t)whole, src.height), src.stride);
        const T* row1 = src.data + PicRowOffset(Clamp((int64_t)whole + 1, src.height), src.stride);
        T* out = dst.data + PicRowOffset(y, dst.stride);
        for (uint32_t x = 0; x < dst.width; ++x) {
            double fx = weights[x];
            size_t c0 = (size_t)indices[x] * channels;
            size_t c1 = (size_t)std::min<uint32_t>(indices[x] + 1, src.width - 1) * channels;
            for (uint32_t c = 0; c < channels; ++c) {
                double value = (1 - fy) * (1 - fx) * Sample(row0[c0 + c]) + (1 - fy) * fx * Sample(row0[c1 + c]) +
                               fy * fx * Sample(row1[c1 + c]) + fy * (1 - fx) * Sample(row1[c0 + c]);
                out[(size_t)x * channels + c] = Store<T>(value);
            }
        }
        if (!progress.Report(y - top, bottom - top)) return this->Fail(PIC_ERR_CANCELLED);
    }
    return true;
}

template class CPicImgResizeBilinearT<unsigned char>;
template class CPicImgResizeBilinearT<unsigned short>;
template class CPicImgResizeBilinearT<float>;
template class CPicImgResizeBilinearT<double>;
