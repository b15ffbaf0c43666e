// The histogram methods of the global threshold, the co-occurrence method and
// the dispatch by mode. Counts and level sums are 64-bit: a 24-megapixel image
// overflows 32-bit products and sums.
#include "imaging/core/PicThresholdLevels.h"

#include <cmath>
#include <vector>

#include "imaging/core/PicArray.h"

namespace {

// Count and level sum of the levels first..last (cut to 0..255).
struct ClassSums {
    uint64_t count = 0, sum = 0;
    double squares = 0;
};

ClassSums SumLevels(const PicGrayImage& image, int64_t first, int64_t last) {
    ClassSums s;
    if (first < 0) first = 0;
    if (last > 255) last = 255;
    for (int64_t i = first; i <= last; ++i) {
        s.count += image.histogram[i];
        s.sum += (uint64_t)i * image.histogram[i];
        s.squares += (double)i * i * image.histogram[i];
    }
    return s;
}

// A mean level; an empty class counts as one pixel of sum 0.
double MeanOrZero(const ClassSums& s) { return s.count == 0 ? 0.0 : (double)s.sum / (double)s.count; }

// Remembers the values an iteration has produced, so that a cycle ends it.
class IterationGuard {
public:
    static constexpr int kMaxPasses = 256;
    // False when the value came before or the passes are used up.
    bool Accept(double value) {
        for (double seen : m_values)
            if (seen == value) return false;
        m_values.push_back(value);
        return (int)m_values.size() <= kMaxPasses;
    }

private:
    std::vector<double> m_values;
};

}  // namespace

int32_t PicTruncateLevel(double value) {
    if (!std::isfinite(value)) return -1;
    if (value > 65536.0) return 65536;
    if (value < -65536.0) return -65536;
    return (int32_t)value;
}

int32_t PicTwoPeaksLevel(const PicGrayImage& image) {
    const uint32_t* h = image.histogram;
    int32_t p1 = 0;
    for (int32_t i = 1; i < 256; ++i)
        if (h[i] > h[p1]) p1 = i;
    int32_t p2 = 0;
    for (int32_t i = 1; i <= 254; ++i) {
        if (h[i - 1] > h[i] || h[i + 1] > h[i]) continue;
        const uint64_t best = (uint64_t)h[p2] * (uint64_t)((p2 - p1) * (p2 - p1));
        const uint64_t here = (uint64_t)h[i] * (uint64_t)((i - p1) * (i - p1));
        if (best < here) p2 = i;
    }
    if (p2 == p1) return p1;
    const int32_t low = p1 < p2 ? p1 : p2, high = p1 < p2 ? p2 : p1;
    int32_t valley = p1;
    for (int32_t i = low; i < high; ++i)
        if (h[i] < h[valley]) valley = i;
    return valley;
}

int32_t PicMeanLevel(const PicGrayImage& image) {
    return (int32_t)(SumLevels(image, 0, 255).sum / image.PixelCount());
}

int32_t PicIntermeansLevel(const PicGrayImage& image) {
    double t = (double)PicMeanLevel(image);
    IterationGuard guard;
    guard.Accept(t);
    for (;;) {
        // Pixels below t form the lower class: the levels up to ceil(t) - 1.
        const int64_t lastLower = (int64_t)std::ceil(t) - 1;
        const double next = (MeanOrZero(SumLevels(image, 0, lastLower)) +
                             MeanOrZero(SumLevels(image, lastLower + 1, 255))) * 0.5;
        if (!std::isfinite(next)) return -1;
        if (next == t || !guard.Accept(next)) return PicTruncateLevel(next);
        t = next;
    }
}

int32_t PicOtsuLevel(const PicGrayImage& image) {
    const uint32_t* h = image.histogram;
    const uint64_t n = image.PixelCount();
    const uint64_t total = SumLevels(image, 0, 255).sum;
    uint64_t wB = 0, sumB = 0;
    float best = 0.0f;
    int32_t level = 0;
    for (int32_t i = 0; i < 256; ++i) {
        wB += h[i];
        if (wB == 0) continue;
        const uint64_t wF = n - wB;
        if (wF == 0) break;
        sumB += (uint64_t)i * h[i];
        const float mB = (float)sumB / (float)wB;
        const float mF = (float)(total - sumB) / (float)wF;
        const float between = (float)(wB * wF) * (mB - mF) * (mB - mF);
        if (between > best) {
            best = between;
            level = i;
        }
    }
    return level;
}

// Candidates 1, 2, ... : the lower class holds the levels below the
// candidate, the upper class the rest; the search stops when the halved sum
// of the two mean levels reaches the next candidate.
int32_t PicIterativeHistogramLevel(const PicGrayImage& image) {
    for (int32_t candidate = 1; candidate <= 255; ++candidate) {
        const ClassSums lower = SumLevels(image, 0, candidate - 1), upper = SumLevels(image, candidate, 255);
        const uint64_t lowerMean = lower.count == 0 ? 0 : lower.sum / lower.count;
        const uint64_t upperMean = upper.count == 0 ? 0 : upper.sum / upper.count;
        if ((lowerMean + upperMean) / 2 == (uint64_t)candidate + 1) return candidate + 1;
    }
    return 255;
}

int32_t PicPercentileLevel(const PicGrayImage& image, uint32_t hundredthsOfPercent) {
    const uint64_t target = image.PixelCount() * (hundredthsOfPercent / 100) / 100;
    uint64_t running = 0;
    for (int32_t i = 0; i < 256; ++i) {
        running += image.histogram[i];
        if (running >= target) return i;
    }
    return -1;
}

int32_t PicMinErrorLevel(const PicGrayImage& image) {
    const ClassSums all = SumLevels(image, 0, 255);
    const double n = (double)all.count, s = (double)all.sum, q = all.squares;
    int32_t t = PicTruncateLevel(s / n);
    IterationGuard start;
    start.Accept(t);
    for (;;) {
        const ClassSums low = SumLevels(image, 0, t);
        const double a = (double)low.count, b = (double)low.sum;
        const double value = 0.5 * (b / a + (s - b) / (n - a));
        if (!std::isfinite(value)) return -1;
        const int32_t next = PicTruncateLevel(value);
        if (next == t || !start.Accept(next)) {
            t = next;
            break;
        }
        t = next;
    }
    IterationGuard refine;
    refine.Accept(t);
    for (;;) {
        const ClassSums low = SumLevels(image, 0, t);
        const double a = (double)low.count, b = (double)low.sum, c = low.squares;
        const double mu = b / a, nu = (s - b) / (n - a), p = a / n, qShare = (n - a) / n;
        const double sigma2 = c / a - mu * mu, tau2 = (q - c) / (n - a) - nu * nu;
        const double w0 = 1.0 / sigma2 - 1.0 / tau2;
        const double w1 = mu / sigma2 - nu / tau2;
        const double w2 = mu * mu / sigma2 - nu * nu / tau2 + std::log((sigma2 * qShare * qShare) / (tau2 * p * p));
        const double d = w1 * w1 - w0 * w2;
        if (!std::isfinite(w0) || !std::isfinite(w1) || !std::isfinite(w2) || !std::isfinite(d)) return -1;
        if (d < 0) return t;
        const double value = (w1 + std::sqrt(d)) / w0;
        if (!std::isfinite(value)) return -1;
        const int32_t next = PicTruncateLevel(value);
        if (next == t || !refine.Accept(next)) return next;
        t = next;
    }
}

bool PicCooccurrenceLevel(const PicGrayImage& image, int32_t& level) {
    PicArray<uint64_t> matrix;
    if (!matrix.Allocate(256 * 256)) return false;
    matrix.Fill(0);
    uint64_t* m = matrix.data;
    for (uint32_t y = 0; y < image.height; ++y) {
        const uint8_t* row = image.pixels + (uint64_t)y * image.stride;
        const uint8_t* up = y > 0 ? row - image.stride : nullptr;
        for (uint32_t x = 0; x < image.width; ++x) {
            uint64_t* cell = m + (uint32_t)row[x] * 256;
            if (x + 1 < image.width) ++cell[row[x + 1]];
            if (x > 0) ++cell[row[x - 1]];
            if (up != nullptr) ++cell[up[x]];
        }
    }
    // Rows below t (a < t), columns below t (b < t) and the block of both, grown level by level.
    uint64_t total = 0, rowsBelow = 0, columnsBelow = 0, bothBelow = 0;
    for (uint32_t i = 0; i < 256 * 256; ++i) total += m[i];
    level = 0;
    double bestScore = 0.0;
    bool found = false;
    for (int32_t t = 0; t < 256; ++t) {
        const uint64_t ll = bothBelow, lh = rowsBelow - ll, hl = columnsBelow - ll, hh = total - ll - lh - hl;
        if (ll + lh != 0 && hl + hh != 0) {
            const double score = (double)lh / (double)(ll + lh) + (double)hl / (double)(hl + hh);
            if (!found || score < bestScore || bestScore == 0.0) {
                found = true;
                bestScore = score;
                level = t;
            }
        }
        for (int32_t k = 0; k < 256; ++k) {
            rowsBelow += m[t * 256 + k];
            columnsBelow += m[k * 256 + t];
        }
        for (int32_t k = 0; k < t; ++k) bothBelow += m[t * 256 + k] + m[k * 256 + t];
        bothBelow += m[t * 256 + t];
    }
    return true;
}

bool PicFindThresholdLevel(uint32_t mode, const PicGrayImage& image, uint32_t threshold, int32_t& level) {
    switch (mode) {
    case PIC_THRESH_FIXED: level = (int32_t)(threshold > 65536 ? 65536 : threshold); return true;
    case PIC_THRESH_TWO_PEAKS: level = PicTwoPeaksLevel(image); return true;
    case PIC_THRESH_MEAN: level = PicMeanLevel(image); return true;
    case PIC_THRESH_INTERMEANS: level = PicIntermeansLevel(image); return true;
    case PIC_THRESH_OTSU: level = PicOtsuLevel(image); return true;
    case PIC_THRESH_ITERATIVE_HISTOGRAM: level = PicIterativeHistogramLevel(image); return true;
    case PIC_THRESH_PERCENTILE: level = PicPercentileLevel(image, threshold); return true;
    case PIC_THRESH_ENTROPY: level = PicEntropyLevel(image); return true;
    case PIC_THRESH_MIN_CROSS_ENTROPY: level = PicMinCrossEntropyLevel(image); return true;
    case PIC_THRESH_MIN_ERROR: level = PicMinErrorLevel(image); return true;
    case PIC_THRESH_COOCCURRENCE: return PicCooccurrenceLevel(image, level);
    case PIC_THRESH_ENTROPY_BALANCE: level = PicEntropyBalanceLevel(image); return true;
    case PIC_THRESH_RENYI: level = PicRenyiLevel(image); return true;
    default: level = -1; return true;
    }
}
