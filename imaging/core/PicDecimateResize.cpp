#include "imaging/core/PicDecimateResize.h"

#include <emmintrin.h>

#include <cmath>

#include "imaging/core/PicBandJobs.h"
#include "imaging/core/PicLibrarySettings.h"

using VovIredev::CPicImgBufBase;
using CPicImgResizeDecimate::decimateThreadData;

PicCoverageSpan PicCoverageSpanOf(uint32_t i, uint32_t source, uint32_t dest) {
    const uint64_t start = (uint64_t)i * source, stop = (uint64_t)(i + 1) * source;
    PicCoverageSpan span;
    span.first = (int32_t)(start / dest);
    span.end = (int32_t)((stop + dest - 1) / dest);
    span.firstWeight = 1 - (double)(start % dest) / dest;
    span.lastWeight = stop % dest == 0 ? 1 : (double)(stop % dest) / dest;
    span.total = span.firstWeight + span.lastWeight + (span.end - span.first - 2);
    return span;
}

bool BuildCoverageSpans(uint32_t dest, uint32_t source, PicArray<PicCoverageSpan>& spans) {
    if (dest == 0 || !spans.Allocate(dest)) return false;
    for (uint32_t i = 0; i < dest; ++i) spans[i] = PicCoverageSpanOf(i, source, dest);
    return true;
}

namespace {

// Both reductions take views that hold their rows, a destination no larger
// than the source, and equal non-zero channel counts.
template <class T>
bool ReductionViewsUsable(const CPicImgBufBase<T>& src, const CPicImgBufBase<T>& dst) {
    if (src.data == nullptr || dst.data == nullptr || src.channels == 0 || src.channels != dst.channels)
        return false;
    if (src.width < dst.width || src.height < dst.height) return false;
    return src.stride >= (uint64_t)src.channels * src.width && dst.stride >= (uint64_t)dst.channels * dst.width;
}

struct BandRows {
    uint32_t top, bottom;
};
template <class T>
BandRows RowsOf(const RECT* band, const CPicImgBufBase<T>& dst) {
    if (band == nullptr) return {0, dst.height};
    return {(uint32_t)band->top, (uint32_t)band->bottom};
}

template <class Resizer, class T>
int32_t DecimateJob(VovIredev::CPicThreadData* data) {
    auto* job = static_cast<decimateThreadData<T>*>(data);
    PicRunBand(job, [&] {
        Resizer resizer;
        resizer.ResizeBand(*job->src, *job->dst, job->flags, &job->band);
        return resizer.status;
    });
    return 0;
}

// Both reductions: row bands when the destination is tall enough, otherwise
// one band on the calling thread.
template <class Resizer, class T>
bool RunReduction(Resizer& resizer, const CPicImgBufBase<T>& src, CPicImgBufBase<T>& dst, uint32_t flags) {
    if (!ShouldRunThreaded(flags, dst.height)) return resizer.ResizeBand(src, dst, flags, nullptr);
    PicArray<RECT> bands;
    if (!SplitIntoRowBands(bands, dst.width, dst.height, GetBandCount())) {
        resizer.status = PIC_ERR_OUT_OF_MEMORY;
        return false;
    }
    resizer.status = PicRunBandJobs<decimateThreadData<T>>(
        DecimateJob<Resizer, T>, bands, [&](decimateThreadData<T>& job, const RECT& band) {
            job.src = &src;
            job.dst = &dst;
            job.flags = flags;
            job.band = band;
        });
    return resizer.status == PIC_ERR_OK;
}

// Block sums: 32-bit for the integer types (the size limit keeps them in
// range), double otherwise.
template <class T>
using BlockSum = std::conditional_t<std::is_integral_v<T>, uint32_t, double>;

template <class T>
T BlockAverage(BlockSum<T> sum, uint32_t divisor) {
    if constexpr (std::is_integral_v<T>) return (T)(sum / divisor);
    return (T)(sum / (double)divisor);
}

// floor(n / d) for every 32-bit n as one multiplication by ceil(2^64 / d)
// (exact for d >= 2; 1 divides nothing).
struct ExactDivisor {
    explicit ExactDivisor(uint32_t d) : m(d > 1 ? UINT64_C(0xFFFFFFFFFFFFFFFF) / d + 1 : 0) {}
    uint32_t operator()(uint32_t n) const { return m ? (uint32_t)(((unsigned __int128)m * n) >> 64) : n; }
    uint64_t m;
};

// Column sums of the n source rows under one destination row, over the first
// `count` elements. Bytes sum in 16 bits (n <= 257), wider samples in 32.
template <class T, class Sum>
void SumRows(const T* first, uint64_t stride, uint32_t n, size_t count, Sum* sums) {
    for (size_t j = 0; j < count; ++j) sums[j] = first[j];
    for (uint32_t r = 1; r < n; ++r) {
        const T* line = first + PicRowOffset(r, stride);
        for (size_t j = 0; j < count; ++j) sums[j] = (Sum)(sums[j] + line[j]);
    }
}

// The bytes' form with SSE2 (part of every x86-64 processor), two rows per pass.
void SumByteRows(const uint8_t* first, uint64_t stride, uint32_t n, size_t count, uint16_t* sums) {
    const __m128i zero = _mm_setzero_si128();
    const size_t vectors = count / 16 * 16;
    uint32_t r = 0;
    for (size_t j = 0; j < vectors; j += 16) {
        const __m128i v = _mm_loadu_si128((const __m128i*)(first + j));
        _mm_storeu_si128((__m128i*)(sums + j), _mm_unpacklo_epi8(v, zero));
        _mm_storeu_si128((__m128i*)(sums + j + 8), _mm_unpackhi_epi8(v, zero));
    }
    for (r = 1; r + 1 < n; r += 2) {
        const uint8_t* a = first + PicRowOffset(r, stride);
        const uint8_t* b = a + stride;
        for (size_t j = 0; j < vectors; j += 16) {
            const __m128i va = _mm_loadu_si128((const __m128i*)(a + j));
            const __m128i vb = _mm_loadu_si128((const __m128i*)(b + j));
            const __m128i lo = _mm_add_epi16(_mm_unpacklo_epi8(va, zero), _mm_unpacklo_epi8(vb, zero));
            const __m128i hi = _mm_add_epi16(_mm_unpackhi_epi8(va, zero), _mm_unpackhi_epi8(vb, zero));
            __m128i* out = (__m128i*)(sums + j);
            _mm_storeu_si128(out, _mm_add_epi16(_mm_loadu_si128(out), lo));
            _mm_storeu_si128(out + 1, _mm_add_epi16(_mm_loadu_si128(out + 1), hi));
        }
    }
    for (; r < n; ++r) {
        const uint8_t* a = first + PicRowOffset(r, stride);
        for (size_t j = 0; j < vectors; j += 16) {
            const __m128i va = _mm_loadu_si128((const __m128i*)(a + j));
            __m128i* out = (__m128i*)(sums + j);
            _mm_storeu_si128(out, _mm_add_epi16(_mm_loadu_si128(out), _mm_unpacklo_epi8(va, zero)));
            _mm_storeu_si128(out + 1, _mm_add_epi16(_mm_loadu_si128(out + 1), _mm_unpackhi_epi8(va, zero)));
        }
    }
    if (vectors < count) {
        SumRows(first + vectors, stride, n, count - vectors, sums + vectors);
    }
}

// One destination row from its column sums: n sums per sample from each
// block's first column, over a channel count fixed at compile time (0: any).
template <uint32_t kChannels, class T, class Sum>
void AverageBlocks(const Sum* sums, const size_t* blockStarts, uint32_t width, uint32_t channelCount, uint32_t n,
                   const ExactDivisor& divide, T* out) {
    const uint32_t channels = kChannels ? kChannels : channelCount;
    for (uint32_t x = 0; x < width; ++x, out += channels) {
        const Sum* block = sums + blockStarts[x];
        uint32_t total[kChannels ? kChannels : 1] = {};
        if constexpr (kChannels != 0) {
            for (uint32_t i = 0; i < n; ++i, block += kChannels)
                for (uint32_t c = 0; c < kChannels; ++c) total[c] += block[c];
            for (uint32_t c = 0; c < kChannels; ++c) out[c] = (T)divide(total[c]);
        } else {
            for (uint32_t c = 0; c < channels; ++c) {
                uint32_t sum = 0;
                for (uint32_t i = 0; i < n; ++i) sum += block[(size_t)i * channels + c];
                out[c] = (T)divide(sum);
            }
        }
    }
}

template <class T, class Sum>
void AverageBlocksAnyChannels(const Sum* sums, const size_t* blockStarts, uint32_t width, uint32_t channels,
                              uint32_t n, const ExactDivisor& divide, T* out) {
    switch (channels) {
    case 1: return AverageBlocks<1>(sums, blockStarts, width, channels, n, divide, out);
    case 3: return AverageBlocks<3>(sums, blockStarts, width, channels, n, divide, out);
    case 4: return AverageBlocks<4>(sums, blockStarts, width, channels, n, divide, out);
    default: return AverageBlocks<0>(sums, blockStarts, width, channels, n, divide, out);
    }
}

// Integer samples: the n source rows of a destination row are summed column
// by column first (every source byte read once, in SIMD for bytes), then each
// block adds n of those sums. Integer sums are exact, so this order gives the
// bytes of the block-by-block order. Returns the status.
template <class T>
int32_t DecimateBySums(const CPicImgBufBase<T>& src, CPicImgBufBase<T>& dst, BandRows rows, double sx, double sy,
                       uint32_t n) {
    const uint32_t channels = src.channels;
    PicArray<size_t> blockStarts;
    if (!blockStarts.Allocate(dst.width)) return PIC_ERR_OUT_OF_MEMORY;
    // The running sum of the block-by-block order, so every block starts where it did.
    double column = 0;
    for (uint32_t x = 0; x < dst.width; ++x, column += sx) blockStarts[x] = (size_t)(uint32_t)column * channels;
    const size_t count = blockStarts[dst.width - 1] + (size_t)n * channels;
    const bool byteSums = sizeof(T) == 1 && n <= 257;
    PicArray<uint16_t> narrow;
    PicArray<uint32_t> wide;
    if (byteSums ? !narrow.Allocate(count) : !wide.Allocate(count)) return PIC_ERR_OUT_OF_MEMORY;
    const ExactDivisor divide(n * n);
    CPicProgress progress;
    for (uint32_t y = rows.top; y < rows.bottom; ++y) {
        const T* first = src.data + PicRowOffset((uint32_t)(y * sy), src.stride);
        T* out = dst.data + PicRowOffset(y, dst.stride);
        if constexpr (sizeof(T) == 1) {
            if (byteSums) {
                SumByteRows(first, src.stride, n, count, narrow.data);
                AverageBlocksAnyChannels(narrow.data, blockStarts.data, dst.width, channels, n, divide, out);
            }
        }
        if (!byteSums) {
            SumRows(first, src.stride, n, count, wide.data);
            AverageBlocksAnyChannels(wide.data, blockStarts.data, dst.width, channels, n, divide, out);
        }
        if (!progress.Report(y - rows.top, rows.bottom - rows.top)) return PIC_ERR_CANCELLED;
    }
    return PIC_ERR_OK;
}

template <class T>
T AreaValue(double value) {
    return (T)value;  // integer types truncate toward zero
}

}  // namespace

template <class T>
bool CPicImgDecimateT<T>::Resize(const CPicImgBufBase<T>& src, CPicImgBufBase<T>& dst, uint32_t flags) {
    return RunReduction(*this, src, dst, flags);
}

template <class T>
bool CPicImgDecimateT<T>::ResizeBand(const CPicImgBufBase<T>& src, CPicImgBufBase<T>& dst, uint32_t /*flags*/,
                                     const RECT* band) {
    if (dst.width == 0 || dst.height == 0 || !ReductionViewsUsable(src, dst)) return this->Fail(PIC_ERR_BAD_PARAM);
    const double sx = (double)src.width / dst.width, sy = (double)src.height / dst.height;
    // The sum of a block must fit 32 bits.
    if (std::is_integral_v<T> && 4294967295.0 / (double)this->maxValue < sx * sy) return this->Fail(PIC_ERR_BAD_PARAM);
    const uint32_t n = (uint32_t)std::min(std::floor(sx), std::floor(sy));
    const uint32_t divisor = n * n, channels = src.channels;
    const BandRows rows = RowsOf(band, dst);
    if constexpr (std::is_integral_v<T>) {
        const int32_t result = DecimateBySums(src, dst, rows, sx, sy, n);
        return result == PIC_ERR_OK ? this->Succeed() : this->Fail(result);
    }
    CPicProgress progress;
    for (uint32_t y = rows.top; y < rows.bottom; ++y) {
        // The product, not a running sum, so every band split gives the same rows.
        const T* block = src.data + PicRowOffset((uint32_t)(y * sy), src.stride);
        T* out = dst.data + PicRowOffset(y, dst.stride);
        double column = 0;
        for (uint32_t x = 0; x < dst.width; ++x, column += sx) {
            const T* corner = block + (size_t)(uint32_t)column * channels;
            for (uint32_t c = 0; c < channels; ++c) {
                BlockSum<T> sum = 0;
                for (uint32_t r = 0; r < n; ++r) {
                    const T* line = corner + PicRowOffset(r, src.stride) + c;
                    for (uint32_t i = 0; i < n; ++i) sum += line[(size_t)i * channels];
                }
                out[(size_t)x * channels + c] = BlockAverage<T>(sum, divisor);
            }
        }
        if (!progress.Report(y - rows.top, rows.bottom - rows.top)) return this->Fail(PIC_ERR_CANCELLED);
    }
    return this->Succeed();
}

template <class T>
bool CPicImgDecimateExT<T>::Resize(const CPicImgBufBase<T>& src, CPicImgBufBase<T>& dst, uint32_t flags) {
    return RunReduction(*this, src, dst, flags);
}

template <class T>
bool CPicImgDecimateExT<T>::ResizeBand(const CPicImgBufBase<T>& src, CPicImgBufBase<T>& dst, uint32_t /*flags*/,
                                       const RECT* band) {
    if (!ReductionViewsUsable(src, dst)) return this->Fail(PIC_ERR_BAD_PARAM);
    PicArray<PicCoverageSpan> columns;
    PicArray<double> rowWeights, rowSums;
    const uint32_t rowSlots = dst.height == 0 ? 0 : (uint32_t)((double)src.height / dst.height + 2);
    if (!BuildCoverageSpans(dst.width, src.width, columns) || rowSlots == 0 || !rowWeights.Allocate(rowSlots) ||
        !rowSums.Allocate(rowSlots))
        return this->Fail(PIC_ERR_OUT_OF_MEMORY);
    const uint32_t channels = src.channels;
    const BandRows rows = RowsOf(band, dst);
    CPicProgress progress;
    for (uint32_t y = rows.top; y < rows.bottom; ++y) {
        const PicCoverageSpan rowSpan = PicCoverageSpanOf(y, src.height, dst.height);
        const uint32_t count = (uint32_t)(rowSpan.end - rowSpan.first);
        for (uint32_t k = 0; k < count; ++k)
            rowWeights[k] = k == 0 ? rowSpan.firstWeight : k + 1 == count ? rowSpan.lastWeight : 1.0;
        double rowTotal = 0;
        for (uint32_t k = 0; k < count; ++k) rowSums[k] = rowTotal += rowWeights[k];
        T* out = dst.data + PicRowOffset(y, dst.stride);
        for (uint32_t x = 0; x < dst.width; ++x) {
            const PicCoverageSpan& span = columns[x];
            const size_t first = (size_t)span.first * channels, last = (size_t)(span.end - 1) * channels;
            for (uint32_t c = 0; c < channels; ++c) {
                double acc = 0;
                for (uint32_t k = 0; k < count; ++k) {
                    const T* line = src.data + PicRowOffset(rowSpan.first + k, src.stride) + c;
                    double sum = span.firstWeight * line[first];
                    if (span.end - span.first >= 2) {
                        for (size_t j = first + channels; j < last; j += channels) sum += line[j];
                        sum += span.lastWeight * line[last];
                    }
                    acc += rowWeights[k] * sum;
                }
                out[(size_t)x * channels + c] = AreaValue<T>(acc / (span.total * rowTotal));
            }
        }
        bool goOn = channels == 3 ? progress.Report(y, dst.height)
                                  : progress.Report(y - rows.top, rows.bottom - rows.top);
        if (!goOn) return this->Fail(PIC_ERR_CANCELLED);
    }
    return this->Succeed();
}

template class CPicImgDecimateT<unsigned char>;
template class CPicImgDecimateT<unsigned short>;
template class CPicImgDecimateT<float>;
template class CPicImgDecimateT<double>;
template class CPicImgDecimateExT<unsigned char>;
template class CPicImgDecimateExT<unsigned short>;
template class CPicImgDecimateExT<float>;
template class CPicImgDecimateExT<double>;
