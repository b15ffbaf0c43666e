// The application's own resampler of 24-bit images: two separable passes
// (rows, then columns) with a triangle filter whose support widens when the
// image shrinks. Output position i sits on input i / scale (no half-pixel
// offset). The scaler allocates only its intermediate image and tables.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "framework/base/WipedMemory.h"

class CGenericFilter {
public:
    explicit CGenericFilter(double filterWidth) : width(filterWidth) {}
    virtual ~CGenericFilter() = default;
    virtual double Filter(double x) const = 0;
    double GetWidth() const { return width; }

protected:
    double width;
};

class CBilinearFilter : public CGenericFilter {
public:
    explicit CBilinearFilter(double filterWidth = 1.0) : CGenericFilter(filterWidth) {}
    double Filter(double x) const override {
        x = std::fabs(x);
        return x < width ? width - x : 0.0;
    }
};

// Three bytes per pixel; sums in single precision, each addition in double.
class CDataRGB_UBYTE {
public:
    uint8_t bytes[3];

    class RGBAccumulator {
    public:
        void Clear() { sum[0] = sum[1] = sum[2] = 0; }
        void AddWeighted(double w, const CDataRGB_UBYTE& p) {
            for (int c = 0; c < 3; ++c) sum[c] = (float)(sum[c] + p.bytes[c] * w);
        }
        // Truncated toward zero; the low byte is stored (no clamping).
        void Store(CDataRGB_UBYTE& p) const {
            for (int c = 0; c < 3; ++c) p.bytes[c] = (uint8_t)(int)sum[c];
        }

    private:
        float sum[3];
    };
};

template <class Filter, class Data>
class C2PassScale {
public:
    // Called with a percentage 0-100; false stops the work.
    typedef bool (*ProgressCallback)(uint8_t percent);

    explicit C2PassScale(ProgressCallback callback = nullptr) : m_callback(callback) {}
    virtual ~C2PassScale() = default;

    // Rows of width x 3 bytes without padding. Null when a size is 0, memory
    // runs out or the callback stopped the work (the destination may then be
    // partly written).
    uint8_t* Scale(const uint8_t* source, uint32_t sourceWidth, uint32_t sourceHeight, uint8_t* destination,
                   uint32_t destinationWidth, uint32_t destinationHeight) {
        m_abort = false;
        if (source == nullptr || destination == nullptr || sourceWidth == 0 || sourceHeight == 0 ||
            destinationWidth == 0 || destinationHeight == 0)
            return nullptr;
        std::vector<Data, WipingAllocator<Data>> intermediate;  // pixels of a picture that may be a decrypted one
        try {
            intermediate.resize((size_t)destinationWidth * sourceHeight);
        } catch (...) {
            return nullptr;
        }
        const Data* in = reinterpret_cast<const Data*>(source);
        Data* out = reinterpret_cast<Data*>(destination);
        if (!ScaleHorizontally(in, sourceWidth, sourceHeight, intermediate.data(), destinationWidth) || m_abort)
            return nullptr;
        if (!ScaleVertically(intermediate.data(), destinationWidth, sourceHeight, out, destinationHeight) || m_abort)
            return nullptr;
        return destination;
    }

private:
    struct Contribution {
        std::vector<double> weights;
        int left = 0;
        int right = 0;
    };
    typedef std::vector<Contribution> ContributionTable;

    bool BuildContributionTable(ContributionTable& table, uint32_t outLength, uint32_t inLength, double scale) {
        Filter filter;
        double w = filter.GetWidth(), support = w, factor = 1.0;
        if (scale < 1.0) {
            support = w / scale;
            factor = scale;
        }
        int window = 2 * (int)std::ceil(support) + 1;
        try {
            table.resize(outLength);
            for (Contribution& c : table) c.weights.assign((size_t)window, 0.0);
        } catch (...) {
            return false;
        }
        int last = (int)inLength - 1;
        for (uint32_t i = 0; i < outLength; ++i) {
            double centre = i / scale;
            int left = std::max(0, (int)std::floor(centre - support));
            int right = std::min(last, (int)std::ceil(centre + support));
            if (right - left + 1 > window) {
                if (left < (int)inLength)
                    ++left;
                else
                    --right;
            }
            double total = 0;
            Contribution& c = table[i];
            c.left = left;
            c.right = right;
            for (int j = left; j <= right; ++j) {
                double weight = filter.Filter((centre - j) * factor) * factor;
                c.weights[(size_t)(j - left)] = weight;
                total += weight;
            }
            if (total > 0)
                for (int j = left; j <= right; ++j) c.weights[(size_t)(j - left)] /= total;
        }
        return true;
    }

    bool Continue(uint32_t done, uint32_t total, int base) {
        if (m_callback == nullptr) return true;
        if (m_callback((uint8_t)((int)((double)done / total * 50) + base))) return true;
        m_abort = true;
        return false;
    }

    bool ScaleHorizontally(const Data* in, uint32_t inWidth, uint32_t height, Data* out, uint32_t outWidth) {
        ContributionTable table;
        if (!BuildContributionTable(table, outWidth, inWidth, (double)outWidth / inWidth)) return false;
        for (uint32_t r = 0; r < height; ++r) {
            if (!Continue(r, height, 0)) return true;
            const Data* row = in + (size_t)r * inWidth;
            Data* target = out + (size_t)r * outWidth;
            for (uint32_t x = 0; x < outWidth; ++x) {
                typename Data::RGBAccumulator sum;
                sum.Clear();
                const Contribution& c = table[x];
                for (int j = c.left; j <= c.right; ++j) sum.AddWeighted(c.weights[(size_t)(j - c.left)], row[j]);
                sum.Store(target[x]);
            }
        }
        return true;
    }

    bool ScaleVertically(const Data* in, uint32_t width, uint32_t inHeight, Data* out, uint32_t outHeight) {
        ContributionTable table;
        if (!BuildContributionTable(table, outHeight, inHeight, (double)outHeight / inHeight)) return false;
        for (uint32_t x = 0; x < width; ++x) {
            if (!Continue(x, width, 50)) return true;
            for (uint32_t y = 0; y < outHeight; ++y) {
                typename Data::RGBAccumulator sum;
                sum.Clear();
                const Contribution& c = table[y];
                for (int j = c.left; j <= c.right; ++j)
                    sum.AddWeighted(c.weights[(size_t)(j - c.left)], in[(size_t)j * width + x]);
                sum.Store(out[(size_t)y * width + x]);
            }
        }
        return true;
    }

    ProgressCallback m_callback;
    bool m_abort = false;
};
