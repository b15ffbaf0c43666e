// The entropy methods of the global threshold, on the normalised histogram
// p[i] = h[i] / N (natural logarithms throughout).
#include <algorithm>
#include <cmath>

#include "imaging/core/PicThresholdLevels.h"

namespace {

double EntropyTerm(double x) { return x > 0 ? -x * std::log(x) : 0.0; }
double LogOrZero(double x) { return x > 0 ? std::log(x) : 0.0; }

struct NormalisedHistogram {
    double p[256];
    explicit NormalisedHistogram(const PicGrayImage& image) {
        const double n = (double)image.PixelCount();
        for (int i = 0; i < 256; ++i) p[i] = image.histogram[i] / n;
    }
    int32_t First() const {
        for (int32_t i = 0; i < 256; ++i)
            if (p[i] > 0) return i;
        return -1;
    }
    int32_t Last() const {
        for (int32_t i = 255; i >= 0; --i)
            if (p[i] > 0) return i;
        return -1;
    }
};

// Entropy of the shares p[first..last] / total, zero terms skipped.
double ClassEntropy(const double* p, int32_t first, int32_t last, double total) {
    double h = 0.0;
    for (int32_t i = first; i <= last; ++i)
        if (p[i] > 0) h -= (p[i] / total) * std::log(p[i] / total);
    return h;
}

// The Renyi score of split s for order alpha; false when a class is empty.
bool RenyiScore(const double* p, int32_t s, double alpha, double& score) {
    double low = 0.0, high = 0.0;
    for (int32_t i = 0; i < s; ++i) low += p[i];
    for (int32_t i = s; i < 256; ++i) high += p[i];
    if (low == 0.0 || high == 0.0) return false;
    double lowSum = 0.0, highSum = 0.0;
    for (int32_t i = 0; i < s; ++i) lowSum += std::pow(p[i] / low, alpha);
    for (int32_t i = s; i < 256; ++i) highSum += std::pow(p[i] / high, alpha);
    score = std::log(lowSum) / (1.0 - alpha) + std::log(highSum) / (1.0 - alpha);
    return true;
}

// The best level (s - 1) of one series of orders: alpha = first, first + step, ... while within.
template <class Within>
int32_t RenyiSeriesLevel(const double* p, double first, double step, Within within) {
    double best = 0.0;
    int32_t level = 0;
    for (double alpha = first; within(alpha); alpha += step)
        for (int32_t s = 1; s < 256; ++s) {
            double score;
            if (RenyiScore(p, s, alpha, score) && score > best) {
                best = score;
                level = s - 1;
            }
        }
    return level;
}

}  // namespace

int32_t PicEntropyLevel(const PicGrayImage& image) {
    const NormalisedHistogram hist(image);
    const double* p = hist.p;
    double cumulative[256], tail[256];
    double running = 0.0;
    for (int i = 0; i < 256; ++i) cumulative[i] = running += p[i];
    running = 0.0;
    for (int i = 255; i >= 0; --i) tail[i] = running += p[i];
    const int32_t first = hist.First(), last = hist.Last();
    if (first < 0) return -1;
    int32_t level = -1;
    double best = 0.0;
    for (int32_t t = first + 1; t <= last - 1; ++t) {
        if (!(p[t] > 0)) continue;
        const double score = (EntropyTerm(cumulative[t - 1]) + EntropyTerm(p[t])) / cumulative[t] +
                             LogOrZero(cumulative[t]) + (EntropyTerm(tail[t + 1]) + EntropyTerm(p[t])) / tail[t] +
                             LogOrZero(tail[t]);
        if (level < 0 || score < best) {
            best = score;
            level = t;
        }
    }
    return level;
}

int32_t PicMinCrossEntropyLevel(const PicGrayImage& image) {
    const uint32_t* h = image.histogram;
    // Count and level sum of levels 1..k-1, for k = 1..256.
    uint64_t countBelow[257] = {0}, sumBelow[257] = {0};
    for (int32_t k = 1; k < 256; ++k) {
        countBelow[k + 1] = countBelow[k] + h[k];
        sumBelow[k + 1] = sumBelow[k] + (uint64_t)k * h[k];
    }
    const uint64_t n1 = countBelow[256], s1 = sumBelow[256];
    const double mu = n1 == 0 ? 0.0 : (double)s1 / (double)n1;
    if (mu == 0.0) return -1;
    int32_t level = -1;
    double best = 0.0;
    for (int32_t t = 1; t < 256; ++t) {
        const uint64_t lowCount = countBelow[t] - countBelow[1], lowSum = sumBelow[t] - sumBelow[1];
        const uint64_t highCount = n1 - lowCount, highSum = s1 - lowSum;
        const double mu1 = lowCount == 0 ? 0.0 : (double)lowSum / (double)lowCount;
        const double mu2 = highCount == 0 ? 0.0 : (double)highSum / (double)highCount;
        double eta = 0.0;
        for (int32_t i = 1; i < 256; ++i) {
            if (h[i] == 0) continue;
            const double mean = i < t ? mu1 : mu2;
            if (mean != 0.0) eta += (double)i * h[i] * std::log(i / mean);
        }
        if (level < 0 || eta < best) {
            best = eta;
            level = t;
        }
    }
    return level;
}

int32_t PicEntropyBalanceLevel(const PicGrayImage& image) {
    const NormalisedHistogram hist(image);
    const double* p = hist.p;
    const int32_t first = hist.First();
    if (first < 0) return -1;
    int32_t level = first;
    double best = 0.0, share = 0.0;
    for (int32_t i = 0; i < first; ++i) share += p[i];
    for (int32_t t = first; t < 256; ++t) {
        share += p[t];
        const double below = ClassEntropy(p, 0, t, share);
        const double above = t == 255 ? 0.0 : ClassEntropy(p, t + 1, 255, 1.0 - share);
        const double difference = std::fabs(below - above);
        if (t == first || difference < best) {
            best = difference;
            level = t;
        }
    }
    return level;
}

int32_t PicRenyiLevel(const PicGrayImage& image) {
    const NormalisedHistogram hist(image);
    const double* p = hist.p;
    int32_t levels[3] = {
        RenyiSeriesLevel(p, 0.1, 0.1, [](double a) { return a <= 0.9; }),
        RenyiSeriesLevel(p, 0.9995, 0.0002, [](double a) { return a <= 1.0005; }),
        RenyiSeriesLevel(p, 5.0, 10.0, [](double a) { return a < 100.0; }),
    };
    std::sort(levels, levels + 3);
    const int32_t a = levels[0], b = levels[1], c = levels[2];
    double beta1 = 1, beta2 = 2, beta3 = 1;
    if (b - a <= 5 && c - b > 5) {
        beta1 = 0, beta2 = 1, beta3 = 3;
    } else if (b - a > 5 && c - b <= 5) {
        beta1 = 3, beta2 = 1, beta3 = 0;
    }
    double pa = 0.0, pc = 0.0;
    for (int32_t i = 0; i <= a; ++i) pa += p[i];
    for (int32_t i = 0; i <= c; ++i) pc += p[i];
    const double omega = pc - pa;
    return PicTruncateLevel(a * (pa + 0.25 * omega * beta1) + 0.25 * b * omega * beta2 +
                            c * (1.0 - pc + 0.25 * omega * beta3));
}
