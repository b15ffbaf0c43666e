#include "imaging/core/PicFilterResize.h"

#include <cmath>

#include "imaging/core/PicBandJobs.h"
#include "imaging/core/PicLibrarySettings.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoOverPi = 0.6366197723675814;

double Sinc(double x) { return x == 0 ? 1.0 : std::sin(kPi * x) / (kPi * x); }

double BoxKernel(double x) { return x > -0.5 && x <= 0.5 ? 1.0 : 0.0; }
double TriangleKernel(double x) {
    double a = std::fabs(x);
    return a < 1 ? 1 - a : 0.0;
}
// Hamming, Gaussian, sinc and Hanning are not cut off inside their support:
// they take their formula up to the support and 0 beyond.
double HammingKernel(double x) { return std::fabs(x) <= 1 ? 0.54 + 0.46 * std::cos(kPi * x) : 0.0; }
double GaussianKernel(double x) { return std::fabs(x) <= 1.25 ? std::exp(-2 * x * x) * std::sqrt(kTwoOverPi) : 0.0; }
double QuadraticBSplineKernel(double x) {
    double a = std::fabs(x);
    if (a < 0.5) return 0.75 - x * x;
    if (a < 1.5) return 0.5 * (a - 1.5) * (a - 1.5);
    return 0.0;
}
double BSplineKernel(double x) {
    double a = std::fabs(x);
    if (a < 1) return 0.5 * a * a * a - x * x + 2.0 / 3.0;
    if (a < 2) return (2 - a) * (2 - a) * (2 - a) / 6;
    return 0.0;
}
double HermiteKernel(double x) {
    double a = std::fabs(x);
    return a < 1 ? 2 * a * a * a - 3 * x * x + 1 : 0.0;
}
double Lanczos3Kernel(double x) {
    if (x == 0) return 1.0;
    double a = std::fabs(x);
    return a < 3 ? Sinc(a) * Sinc(a / 3) : 0.0;
}
double MitchellKernel(double x) {
    double a = std::fabs(x);
    if (a < 1) return (7 * a * a * a - 12 * x * x + 16.0 / 3.0) / 6;
    if (a < 2) return (-7.0 / 3.0 * a * a * a + 12 * x * x - 20 * a + 32.0 / 3.0) / 6;
    return 0.0;
}
double SincKernel(double x) { return std::fabs(x) <= 4 ? Sinc(x) : 0.0; }
double HanningKernel(double x) { return std::fabs(x) <= 1 ? 0.5 + 0.5 * std::cos(kPi * x) : 0.0; }
double CatmullRomKernel(double x) {
    double a = std::fabs(x);
    if (a < 1) return (3 * a * a * a - 5 * x * x + 2) / 2;
    if (a < 2) return (a * (a * (5 - a) - 8) + 4) / 2;
    return 0.0;
}

struct FilterEntry {
    PicFilterKernel kernel;
    double support;
};
const FilterEntry kFilters[14] = {
    {BoxKernel, 0.5},       {TriangleKernel, 1},   {HammingKernel, 1},          {GaussianKernel, 1.25},
    {QuadraticBSplineKernel, 1.5}, {BSplineKernel, 2}, {HermiteKernel, 1},      {BSplineKernel, 2},
    {Lanczos3Kernel, 3},    {MitchellKernel, 2},   {SincKernel, 4},             {HermiteKernel, 1},
    {HanningKernel, 1},     {CatmullRomKernel, 2},
};

// Reflects j at the edges (-j below, 2 size - j - 1 above), then holds the
// result inside the source: a filter reaching further than one source length
// (tiny sources, or shrinking to exactly the support) reads the edge pixel.
int64_t ReflectIntoSource(int64_t j, int64_t size) {
    const int64_t reflected = j < 0 ? -j : j >= size ? 2 * size - j - 1 : j;
    return std::max<int64_t>(0, std::min<int64_t>(reflected, size - 1));
}

// The source positions and how they weigh output i.
struct Reach {
    int64_t left, right;
    double centre, divisor;  // weight of j = kernel((centre - j) / divisor) / divisor
};
Reach ReachOf(uint32_t i, double scale, double support) {
    Reach r;
    r.centre = i / scale;
    double width = support;
    r.divisor = 1;
    if (scale < 1) {
        width = support / scale;
        r.divisor = 1 / scale;
    }
    r.left = (int64_t)std::ceil(r.centre - width);
    r.right = (int64_t)std::floor(r.centre + width);
    return r;
}

// One output value: a lone contributor passes its sample; equal samples pass
// unchanged; otherwise the weighted sum truncated toward zero, held in 0..255.
template <class Sample>
inline uint8_t FilteredValue(const PicContributor* list, int32_t n, Sample&& sample) {
    const uint8_t first = sample(list[0]);
    if (n == 1) return first;
    double sum = 0;
    bool same = true;
    for (int32_t k = 0; k < n; ++k) {
        const uint8_t s = sample(list[k]);
        sum += list[k].weight * s;
        same &= s == first;
    }
    if (same) return first;
    if (!(sum > 0)) return 0;
    if (sum >= 255) return 255;
    return (uint8_t)sum;
}

// FilteredValue for every channel of one pixel at once: the same sums in the
// same order per channel, kept side by side so they do not wait on each other.
template <uint32_t kChannels>
inline void FilteredPixel(const PicContributor* list, int32_t n, const uint8_t* row, uint8_t* out) {
    const uint8_t* firstPixel = row + list[0].byteOffset;
    uint8_t first[kChannels];
    for (uint32_t c = 0; c < kChannels; ++c) first[c] = firstPixel[c];
    if (n == 1) {
        for (uint32_t c = 0; c < kChannels; ++c) out[c] = first[c];
        return;
    }
    double sum[kChannels] = {};
    bool same[kChannels];
    for (uint32_t c = 0; c < kChannels; ++c) same[c] = true;
    for (int32_t k = 0; k < n; ++k) {
        const uint8_t* pixel = row + list[k].byteOffset;
        const double weight = list[k].weight;
        for (uint32_t c = 0; c < kChannels; ++c) {
            const uint8_t s = pixel[c];
            sum[c] += weight * s;
            same[c] &= s == first[c];
        }
    }
    for (uint32_t c = 0; c < kChannels; ++c)
        out[c] = same[c] ? first[c] : !(sum[c] > 0) ? 0 : sum[c] >= 255 ? 255 : (uint8_t)sum[c];
}

// Destination columns handled per pass over the source rows.
constexpr uint32_t kColumnGroup = 32;

// Strip elements filtered together down the rows, each with its own sum in
// FilteredValue's order.
constexpr uint32_t kVerticalGroup = 8;
inline void VerticalGroup(const PicContributor* list, int32_t n, const uint8_t* strip, uint32_t rowLength,
                          uint8_t* out) {
    const uint8_t* firstRow = strip + (size_t)list[0].index * rowLength;
    if (n == 1) {
        for (uint32_t j = 0; j < kVerticalGroup; ++j) out[j] = firstRow[j];
        return;
    }
    double sum[kVerticalGroup] = {};
    bool same[kVerticalGroup];
    for (uint32_t j = 0; j < kVerticalGroup; ++j) same[j] = true;
    for (int32_t k = 0; k < n; ++k) {
        const uint8_t* line = strip + (size_t)list[k].index * rowLength;
        const double weight = list[k].weight;
        for (uint32_t j = 0; j < kVerticalGroup; ++j) {
            sum[j] += weight * line[j];
            same[j] &= line[j] == firstRow[j];
        }
    }
    for (uint32_t j = 0; j < kVerticalGroup; ++j)
        out[j] = same[j] ? firstRow[j] : !(sum[j] > 0) ? 0 : sum[j] >= 255 ? 255 : (uint8_t)sum[j];
}

struct FilterBand : VovIredev::CPicThreadData {
    CPicFilterResize::Parameters parameters;
    const PicContributorTable* columns = nullptr;
    const PicContributorTable* rows = nullptr;
    RECT band = {};
};

int32_t FilterResizeJob(VovIredev::CPicThreadData* data) {
    auto* job = static_cast<FilterBand*>(data);
    PicRunBand(job, [&] {
        CPicFilterResize resampler;
        resampler.SetParameters(job->parameters);
        return resampler.ResampleColumns(*job->columns, *job->rows, (uint32_t)job->band.left,
                                         (uint32_t)job->band.right);
    });
    return 0;
}

bool StridesHoldRows(const CPicFilterResize::Parameters& p) {
    const uint64_t srcRow = p.sourceKind == PIC_FILTER_SOURCE_1BIT ? (p.srcWidth + 7ull) / 8
                                                                   : (uint64_t)p.srcWidth * p.channels;
    return p.srcStride >= srcRow && p.dstStride >= (uint64_t)p.dstWidth * p.channels;
}

}  // namespace

int32_t SelectResizeFilter(uint32_t filter, PicFilterKernel* kernel, double* support) {
    if (filter >= 14) return PIC_ERR_BAD_PARAM;
    *kernel = kFilters[filter].kernel;
    *support = kFilters[filter].support;
    return PIC_ERR_OK;
}

bool BuildResizeContributors(PicFilterKernel kernel, double support, uint32_t source, uint32_t dest,
                             uint32_t channels, PicContributorTable& table) {
    const double scale = (double)dest / source;
    if (!table.start.Allocate(dest + 1)) return false;
    uint64_t total = 0;
    for (uint32_t i = 0; i < dest; ++i) {
        table.start[i] = (uint32_t)total;
        Reach r = ReachOf(i, scale, support);
        total += (uint64_t)(r.right - r.left + 1);
        if (total > 0x7FFFFFFF) return false;
    }
    table.start[dest] = (uint32_t)total;
    if (!table.items.Allocate((uint32_t)total)) return false;
    for (uint32_t i = 0; i < dest; ++i) {
        Reach r = ReachOf(i, scale, support);
        PicContributor* list = table.items.data + table.start[i];
        double sum = 0;
        for (int64_t j = r.left; j <= r.right; ++j) {
            const int32_t index = (int32_t)ReflectIntoSource(j, source);
            const double weight = kernel((r.centre - j) / r.divisor) / r.divisor;
            *list++ = {index * (int32_t)channels, index, weight, (uint8_t)(0x80 >> (index & 7)), index >> 3};
            sum += weight;
        }
        if (sum != 0)
            for (PicContributor* c = table.items.data + table.start[i]; c != list; ++c) c->weight /= sum;
    }
    return true;
}

void CPicFilterResize::SetParameters(const Parameters& parameters) {
    m_p = parameters;
    if (m_p.sourceKind != PIC_FILTER_SOURCE_1BIT) return;
    // By default a clear bit is white and a set bit black; flag bit 0 reverses that.
    const bool setIsWhite = (m_p.flags & 1) != 0;
    m_bitTable[0] = setIsWhite ? 0 : 255;
    for (int b = 1; b < 256; ++b) m_bitTable[b] = setIsWhite ? 255 : 0;
}

bool CPicFilterResize::Resize(const uint8_t* src, uint32_t srcWidth, uint32_t srcHeight, uint8_t* dst,
                              uint32_t dstWidth, uint32_t dstHeight, uint32_t channels, uint32_t filter,
                              uint32_t srcStride, uint32_t dstStride, uint32_t flags, int32_t sourceKind) {
    Parameters p;
    p.src = src, p.srcWidth = srcWidth, p.srcHeight = srcHeight;
    p.dst = dst, p.dstWidth = dstWidth, p.dstHeight = dstHeight;
    p.channels = channels, p.srcStride = srcStride, p.dstStride = dstStride;
    p.sourceKind = sourceKind, p.flags = flags;
    status = PIC_ERR_BAD_PARAM;
    if (src == nullptr || dst == nullptr || channels == 0 || srcWidth == 0 || srcHeight == 0 || dstWidth == 0 ||
        dstHeight == 0 || !StridesHoldRows(p))
        return false;
    PicFilterKernel kernel = nullptr;
    double support = 0;
    if ((status = SelectResizeFilter(filter, &kernel, &support)) != PIC_ERR_OK) return false;
    const uint32_t reach = (uint32_t)(support + 0.999999999);
    if (dstWidth < reach || dstHeight < reach) {
        status = PIC_ERR_DEST_TOO_SMALL;
        return false;
    }
    if (sourceKind != PIC_FILTER_SOURCE_8BIT && sourceKind != PIC_FILTER_SOURCE_1BIT) {
        status = PIC_ERR_UNSUPPORTED;
        return false;
    }
    const uint32_t sampleWidth = sourceKind == PIC_FILTER_SOURCE_1BIT ? 1 : channels;
    PicContributorTable columns, rows;
    if (!BuildResizeContributors(kernel, support, srcWidth, dstWidth, sampleWidth, columns) ||
        !BuildResizeContributors(kernel, support, srcHeight, dstHeight, 1, rows)) {
        status = PIC_ERR_OUT_OF_MEMORY;
        return false;
    }
    SetParameters(p);
    if (!ShouldRunThreaded(flags, dstWidth)) {
        status = ResampleColumns(columns, rows, 0, dstWidth);
        return status == PIC_ERR_OK;
    }
    PicArray<RECT> bands;
    if (!SplitIntoColumnBands(bands, dstWidth, dstHeight, GetBandCount())) {
        status = PIC_ERR_OUT_OF_MEMORY;
        return false;
    }
    status = PicRunBandJobs<FilterBand>(FilterResizeJob, bands, [&](FilterBand& job, const RECT& band) {
        job.parameters = p;
        job.columns = &columns;
        job.rows = &rows;
        job.band = band;
    });
    return status == PIC_ERR_OK;
}

// Rows of the strip: every source row, for `count` destination columns.
void CPicFilterResize::HorizontalPass(const PicContributorTable& columns, uint32_t first, uint32_t count,
                                      uint8_t* strip) const {
    const uint32_t channels = m_p.channels, rowLength = kColumnGroup * channels;
    for (uint32_t y = 0; y < m_p.srcHeight; ++y) {
        const uint8_t* row = m_p.src + PicRowOffset(y, m_p.srcStride);
        uint8_t* out = strip + (size_t)y * rowLength;
        for (uint32_t g = 0; g < count; ++g) {
            const PicContributor* list = columns.Of(first + g);
            const int32_t n = columns.CountOf(first + g);
            if (m_p.sourceKind == PIC_FILTER_SOURCE_1BIT) {
                out[g] = FilteredValue(list, n, [&](const PicContributor& c) { return Sample1Bit(row, c); });
                continue;
            }
            switch (channels) {
            case 1: FilteredPixel<1>(list, n, row, out + g); continue;
            case 3: FilteredPixel<3>(list, n, row, out + g * 3); continue;
            case 4: FilteredPixel<4>(list, n, row, out + g * 4); continue;
            default: break;
            }
            for (uint32_t c = 0; c < channels; ++c) {
                const uint8_t* base = row + c;
                out[g * channels + c] =
                    FilteredValue(list, n, [&](const PicContributor& k) { return base[k.byteOffset]; });
            }
        }
    }
}

void CPicFilterResize::VerticalPass(const PicContributorTable& rows, const uint8_t* strip, uint32_t first,
                                    uint32_t count) const {
    const uint32_t channels = m_p.channels, rowLength = kColumnGroup * channels;
    for (uint32_t r = 0; r < m_p.dstHeight; ++r) {
        const PicContributor* list = rows.Of(r);
        const int32_t n = rows.CountOf(r);
        uint8_t* out = m_p.dst + PicRowOffset(r, m_p.dstStride) + (size_t)first * channels;
        const uint32_t elements = count * channels;
        uint32_t e = 0;
        for (; e + kVerticalGroup <= elements; e += kVerticalGroup) VerticalGroup(list, n, strip + e, rowLength, out + e);
        for (; e < elements; ++e) {
            const uint8_t* base = strip + e;
            out[e] = FilteredValue(list, n, [&](const PicContributor& k) { return base[(size_t)k.index * rowLength]; });
        }
    }
}

int32_t CPicFilterResize::ResampleColumns(const PicContributorTable& columns, const PicContributorTable& rows,
                                          uint32_t first, uint32_t end) {
    const uint32_t channels = m_p.channels;
    const uint64_t stripBytes = (uint64_t)m_p.srcHeight * kColumnGroup * channels;
    if (stripBytes > 0xFFFFFFFFull || !m_strip.Allocate((uint32_t)stripBytes)) return status = PIC_ERR_OUT_OF_MEMORY;
    CPicProgress progress;
    uint32_t done = 0;
    for (uint32_t group = first; group < end; group += kColumnGroup) {
        const uint32_t count = std::min(kColumnGroup, end - group);
        HorizontalPass(columns, group, count, m_strip.data);
        VerticalPass(rows, m_strip.data, group, count);
        for (uint32_t k = 0; k < count; ++k)
            if (!progress.Report(done++, end - first)) return status = PIC_ERR_CANCELLED;
    }
    return status = PIC_ERR_OK;
}

bool CPicImgFilterResizeT::Resize(const VovIredev::CPicImgBufBase<unsigned char>& src,
                                  VovIredev::CPicImgBufBase<unsigned char>& dst, uint32_t flags) {
    if (src.channels != dst.channels) return Fail(PIC_ERR_UNSUPPORTED);
    CPicFilterResize resampler;
    bool ok = resampler.Resize(src.data, src.width, src.height, dst.data, dst.width, dst.height, src.channels,
                               m_filter, src.stride, dst.stride, flags, PIC_FILTER_SOURCE_8BIT);
    status = resampler.status;
    return ok;
}
