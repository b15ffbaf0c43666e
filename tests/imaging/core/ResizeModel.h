// Independent models of the resize rules, written from their description in
// double precision and plain loops; the tests compare the library against them.
#pragma once

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <type_traits>
#include <vector>

namespace resizemodel {

// A plain image: rows of `stride` elements, `channels` per pixel.
template <class T>
struct Image {
    uint32_t width = 0, height = 0, channels = 0, stride = 0;
    std::vector<T> pixels;
    Image() = default;
    Image(uint32_t w, uint32_t h, uint32_t c, uint32_t padding = 0)
        : width(w), height(h), channels(c), stride(w * c + padding), pixels((size_t)stride * h) {}
    T& at(uint32_t x, uint32_t y, uint32_t c) { return pixels[(size_t)y * stride + (size_t)x * channels + c]; }
    T at(uint32_t x, uint32_t y, uint32_t c) const {
        return pixels[(size_t)y * stride + (size_t)x * channels + c];
    }
};

// Nearest neighbour: the source index is floor(i * s / n), no half-pixel offset.
inline uint32_t NearestSource(uint32_t i, uint32_t s, uint32_t n) {
    return (uint32_t)((unsigned long long)i * s / n);
}

template <class T>
void Nearest(const Image<T>& src, Image<T>& dst) {
    for (uint32_t y = 0; y < dst.height; ++y)
        for (uint32_t x = 0; x < dst.width; ++x)
            for (uint32_t c = 0; c < dst.channels; ++c)
                dst.at(x, y, c) = src.at(NearestSource(x, src.width, dst.width),
                                         NearestSource(y, src.height, dst.height), c);
}


// ---- bilinear ----

// Step k: s / n when reducing or equal, (s - s / n) / n when enlarging.
inline double BilinearStep(double s, double n) { return s >= n ? s / n : (s - s / n) / n; }

template <class T>
void Bilinear(const Image<T>& src, Image<T>& dst) {
    const double kx = BilinearStep(src.width, dst.width), ky = BilinearStep(src.height, dst.height);
    auto limit = [](long long i, uint32_t n) { return (uint32_t)std::clamp<long long>(i, 0, (long long)n - 1); };
    auto sample = [](T v) -> double {
        if (std::is_same_v<T, float>) return std::trunc((double)v);  // float samples read as whole numbers
        return (double)v;
    };
    for (uint32_t y = 0; y < dst.height; ++y) {
        double py = y * ky;
        long long f = (long long)std::floor(py);
        double fy = py - f;
        uint32_t r0 = limit(f, src.height), r1 = limit(f + 1, src.height);
        for (uint32_t x = 0; x < dst.width; ++x) {
            double px = x * kx;
            long long g = (long long)std::floor(px);
            double fx = px - g;
            uint32_t c0 = (uint32_t)std::min<long long>(g, src.width - 1);
            uint32_t c1 = std::min<uint32_t>(c0 + 1, src.width - 1);
            for (uint32_t c = 0; c < dst.channels; ++c) {
                double v = (1 - fy) * (1 - fx) * sample(src.at(c0, r0, c)) + (1 - fy) * fx * sample(src.at(c1, r0, c)) +
                           fy * fx * sample(src.at(c1, r1, c)) + fy * (1 - fx) * sample(src.at(c0, r1, c));
                if (std::is_same_v<T, float>) v = std::trunc(v);
                dst.at(x, y, c) = (T)v;  // integer types truncate toward zero
            }
        }
    }
}

// ---- bicubic (portable) ----

// Cubic convolution with a = -1 for the taps at -1, 0, +1, +2.
inline void CubicWeights(double d, double w[4]) {
    w[0] = -d * (1 - d) * (1 - d);
    w[1] = 1 - 2 * d * d + d * d * d;
    w[2] = d + d * d - d * d * d;
    w[3] = d * d * d - d * d;
}

// Taps of position p in n pixels; thresholds n - 1, n - 2, n - 3 are signed.
inline void CubicTaps(double p, long long n, long long t[4]) {
    long long f = (long long)std::floor(p);
    t[0] = p < 1 ? 0 : f - 1;
    t[1] = p >= n - 1 ? n - 1 : f;
    t[2] = p >= n - 2 ? t[1] : f + 1;
    t[3] = p >= n - 3 ? t[2] : f + 2;
}

template <class T>
T StoreBicubic(double v, uint32_t channels) {
    if constexpr (std::is_same_v<T, double>) {
        return v;
    } else if constexpr (std::is_same_v<T, float>) {
        if (channels == 3) v = std::clamp<double>(v, -FLT_MAX, FLT_MAX);
        return (float)v;
    } else {
        double t = std::trunc(v);
        double top = std::is_same_v<T, uint8_t> ? 255.0 : 65535.0;
        return (T)std::clamp(t, 0.0, top);
    }
}

template <class T>
void Bicubic(const Image<T>& src, Image<T>& dst) {
    const double sx = (double)src.width / dst.width, sy = (double)src.height / dst.height;
    for (uint32_t y = 0; y < dst.height; ++y) {
        double q = y * sy;  // rows are not clamped
        double h[4];
        long long r[4];
        CubicWeights(q - std::floor(q), h);
        CubicTaps(q, src.height, r);
        for (uint32_t x = 0; x < dst.width; ++x) {
            double p = std::clamp(x * sx, 0.0, src.width - 1.0);
            double w[4];
            long long t[4];
            CubicWeights(p - std::floor(p), w);
            CubicTaps(p, src.width, t);
            for (uint32_t c = 0; c < dst.channels; ++c) {
                double v = 0;
                for (int k = 0; k < 4; ++k) {
                    uint32_t row = (uint32_t)r[k];
                    v += h[k] * (w[0] * src.at((uint32_t)t[0], row, c) + w[1] * src.at((uint32_t)t[1], row, c) +
                                 w[2] * src.at((uint32_t)t[2], row, c) + w[3] * src.at((uint32_t)t[3], row, c));
                }
                dst.at(x, y, c) = StoreBicubic<T>(v, dst.channels);
            }
        }
    }
}

// ---- box (method 14) and area coverage (method 15) ----

// Block n x n, n the smaller whole factor; block rows start at floor(y * sy),
// block columns at floor of a running sum of sx; integer types divide with truncation.
template <class T>
void Box(const Image<T>& src, Image<T>& dst) {
    const double sx = (double)src.width / dst.width, sy = (double)src.height / dst.height;
    const uint32_t n = (uint32_t)std::min(std::floor(sx), std::floor(sy));
    for (uint32_t y = 0; y < dst.height; ++y) {
        uint32_t top = (uint32_t)std::floor(y * sy);
        double left = 0;
        for (uint32_t x = 0; x < dst.width; ++x, left += sx)
            for (uint32_t c = 0; c < dst.channels; ++c) {
                unsigned long long whole = 0;
                double real = 0;
                for (uint32_t r = 0; r < n; ++r)
                    for (uint32_t i = 0; i < n; ++i) {
                        T v = src.at((uint32_t)std::floor(left) + i, top + r, c);
                        if (std::is_integral_v<T>) whole += (unsigned long long)v;
                        else real += (double)v;
                    }
                if (std::is_integral_v<T>) dst.at(x, y, c) = (T)(whole / (n * n));
                else dst.at(x, y, c) = (T)(real / (n * n));
            }
    }
}

// The source pixels covered by output i of d from s: first = floor(i s / d),
// end = ceil((i + 1) s / d); the edge weights are the covered fractions.
struct Span {
    long long first, end;
    double firstWeight, lastWeight;
};
inline Span CoverageSpan(long long i, long long s, long long d) {
    Span span;
    span.first = i * s / d;
    span.end = ((i + 1) * s + d - 1) / d;
    span.firstWeight = 1 - (double)((i * s) % d) / d;
    long long rest = ((i + 1) * s) % d;
    span.lastWeight = rest == 0 ? 1 : (double)rest / d;
    return span;
}

// acc = sum over rows of rowWeight * (first * S + inner + last * S);
// value = acc / (column total * row total), column total = first + last +
// (count - 2), row total the sum of the row weights in order.
template <class T>
void Area(const Image<T>& src, Image<T>& dst) {
    for (uint32_t y = 0; y < dst.height; ++y) {
        Span rs = CoverageSpan(y, src.height, dst.height);
        std::vector<double> rw;
        for (long long r = rs.first; r < rs.end; ++r)
            rw.push_back(r == rs.first ? rs.firstWeight : r == rs.end - 1 ? rs.lastWeight : 1.0);
        double rowTotal = 0;
        for (double w : rw) rowTotal += w;
        for (uint32_t x = 0; x < dst.width; ++x) {
            Span cs = CoverageSpan(x, src.width, dst.width);
            double colTotal = cs.firstWeight + cs.lastWeight + (double)(cs.end - cs.first - 2);
            for (uint32_t c = 0; c < dst.channels; ++c) {
                double acc = 0;
                for (size_t k = 0; k < rw.size(); ++k) {
                    uint32_t row = (uint32_t)(rs.first + (long long)k);
                    double line = cs.firstWeight * src.at((uint32_t)cs.first, row, c);
                    if (cs.end - cs.first >= 2) {
                        for (long long j = cs.first + 1; j < cs.end - 1; ++j) line += src.at((uint32_t)j, row, c);
                        line += cs.lastWeight * src.at((uint32_t)(cs.end - 1), row, c);
                    }
                    acc += rw[k] * line;
                }
                dst.at(x, y, c) = (T)(acc / (colTotal * rowTotal));
            }
        }
    }
}

// ---- filtered resampling (methods 0-13) ----

// Kernel k of the table at distance x; the support radius beside it.
inline double Sinc(double x) { return x == 0 ? 1.0 : std::sin(3.141592653589793 * x) / (3.141592653589793 * x); }
inline double FilterKernel(int k, double x) {
    const double pi = 3.141592653589793;
    double a = std::fabs(x);
    switch (k) {
    case 0: return (x > -0.5 && x <= 0.5) ? 1.0 : 0.0;
    case 1: return a < 1 ? 1 - a : 0.0;
    case 2: return a <= 1 ? 0.54 + 0.46 * std::cos(pi * x) : 0.0;
    case 3: return a <= 1.25 ? std::exp(-2 * x * x) * std::sqrt(0.6366197723675814) : 0.0;
    case 4: return a < 0.5 ? 0.75 - x * x : a < 1.5 ? 0.5 * (a - 1.5) * (a - 1.5) : 0.0;
    case 5:
    case 7: return a < 1 ? 0.5 * a * a * a - x * x + 2.0 / 3.0 : a < 2 ? (2 - a) * (2 - a) * (2 - a) / 6 : 0.0;
    case 6:
    case 11: return a < 1 ? 2 * a * a * a - 3 * x * x + 1 : 0.0;
    case 8: return x == 0 ? 1.0 : a < 3 ? Sinc(a) * Sinc(a / 3) : 0.0;
    case 9:
        return a < 1   ? (7 * a * a * a - 12 * x * x + 16.0 / 3.0) / 6
               : a < 2 ? (-7.0 / 3.0 * a * a * a + 12 * x * x - 20 * a + 32.0 / 3.0) / 6
                       : 0.0;
    case 10: return a <= 4 ? Sinc(x) : 0.0;
    case 12: return a <= 1 ? 0.5 + 0.5 * std::cos(pi * x) : 0.0;
    case 13: return a < 1 ? (3 * a * a * a - 5 * x * x + 2) / 2 : a < 2 ? (a * (a * (5 - a) - 8) + 4) / 2 : 0.0;
    }
    return 0;
}
inline double FilterSupport(int k) {
    const double supports[14] = {0.5, 1, 1, 1.25, 1.5, 2, 1, 2, 3, 2, 4, 1, 1, 2};
    return supports[k];
}

struct Tap {
    long long index;
    double weight;
};

// Output i of `dest` from `source`: centre i / scale; shrinking widens the
// reach by 1 / scale and scales the kernel; indices reflect at the edges and
// then stay inside the source; weights are divided by their sum.
inline std::vector<Tap> FilterTaps(int k, long long i, long long source, long long dest) {
    double scale = (double)dest / (double)source, support = FilterSupport(k);
    double centre = i / scale;
    double width = scale < 1 ? support / scale : support, fscale = scale < 1 ? 1 / scale : 1.0;
    long long left = (long long)std::ceil(centre - width), right = (long long)std::floor(centre + width);
    std::vector<Tap> taps;
    double sum = 0;
    for (long long j = left; j <= right; ++j) {
        long long n = j < 0 ? -j : j >= source ? 2 * source - j - 1 : j;
        n = std::clamp<long long>(n, 0, source - 1);
        double w = scale < 1 ? FilterKernel(k, (centre - j) / fscale) / fscale : FilterKernel(k, centre - j);
        taps.push_back({n, w});
        sum += w;
    }
    if (sum != 0)
        for (Tap& t : taps) t.weight /= sum;
    return taps;
}

// One contributor passes its sample; equal samples pass; else trunc, 0..255.
inline uint8_t FilterOutput(const std::vector<Tap>& taps, const std::vector<uint8_t>& samples) {
    if (taps.size() == 1) return samples[0];
    double sum = 0;
    bool equal = true;
    for (size_t t = 0; t < taps.size(); ++t) {
        sum += taps[t].weight * samples[t];
        equal = equal && samples[t] == samples[0];
    }
    if (equal) return samples[0];
    double v = std::trunc(sum);
    return (uint8_t)std::clamp(v, 0.0, 255.0);
}

// Rows first (into 8-bit), then columns; `sample(x, y, c)` reads the source.
template <class Sample>
Image<uint8_t> FilterResize(int k, uint32_t sw, uint32_t sh, uint32_t channels, Sample sample, uint32_t dw,
                            uint32_t dh) {
    Image<uint8_t> across(dw, sh, channels), out(dw, dh, channels);
    for (uint32_t x = 0; x < dw; ++x) {
        std::vector<Tap> taps = FilterTaps(k, x, sw, dw);
        for (uint32_t y = 0; y < sh; ++y)
            for (uint32_t c = 0; c < channels; ++c) {
                std::vector<uint8_t> s;
                for (const Tap& t : taps) s.push_back(sample((uint32_t)t.index, y, c));
                across.at(x, y, c) = FilterOutput(taps, s);
            }
    }
    for (uint32_t y = 0; y < dh; ++y) {
        std::vector<Tap> taps = FilterTaps(k, y, sh, dh);
        for (uint32_t x = 0; x < dw; ++x)
            for (uint32_t c = 0; c < channels; ++c) {
                std::vector<uint8_t> s;
                for (const Tap& t : taps) s.push_back(across.at(x, (uint32_t)t.index, c));
                out.at(x, y, c) = FilterOutput(taps, s);
            }
    }
    return out;
}

// ---- 1-bit and palettised area reductions ----

inline int BitOf(const std::vector<uint8_t>& bytes, uint32_t stride, uint32_t x, uint32_t y) {
    return (bytes[(size_t)y * stride + x / 8] >> (7 - x % 8)) & 1;
}

// Row weights of a span: first, inner 1, last; one row: the first only.
inline std::vector<double> RowWeights(const Span& s) {
    std::vector<double> w;
    for (long long r = s.first; r < s.end; ++r)
        w.push_back(r == s.first ? s.firstWeight : r == s.end - 1 ? s.lastWeight : 1.0);
    return w;
}
// Column weight inside a span: a one-column span takes the last weight.
inline double ColumnWeightOf(const Span& s, long long j) {
    if (s.end - s.first == 1) return s.lastWeight;
    return j == s.first ? s.firstWeight : j == s.end - 1 ? s.lastWeight : 1.0;
}

// acc / (column total x row total) with acc = sum of value(x, y) x row weight x column weight.
template <class Value>
double CoveredAverage(uint32_t x, uint32_t y, uint32_t sw, uint32_t sh, uint32_t dw, uint32_t dh, Value value) {
    Span rs = CoverageSpan(y, sh, dh), cs = CoverageSpan(x, sw, dw);
    std::vector<double> rw = RowWeights(rs);
    double rowTotal = 0;
    for (double w : rw) rowTotal += w;
    double colTotal = cs.firstWeight + cs.lastWeight + (double)(cs.end - cs.first - 2);
    double acc = 0;
    for (size_t k = 0; k < rw.size(); ++k)
        for (long long j = cs.first; j < cs.end; ++j)
            acc += value((uint32_t)j, (uint32_t)(rs.first + (long long)k)) * rw[k] * ColumnWeightOf(cs, j);
    return acc / (colTotal * rowTotal);
}

}  // namespace resizemodel
