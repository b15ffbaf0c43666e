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

}  // namespace resizemodel
