// Global threshold levels of a gray image: the fixed level and the automatic
// methods of ThresholdTo1Bit (the adaptive method has no single level and
// lives with the conversion). Pure functions of the histogram, except the
// co-occurrence method, which looks at neighbouring pixels.
#pragma once

#include <cstdint>

enum PicThresholdMode : uint32_t {
    PIC_THRESH_FIXED = 0,
    PIC_THRESH_TWO_PEAKS = 1,
    PIC_THRESH_MEAN = 2,
    PIC_THRESH_INTERMEANS = 3,
    PIC_THRESH_OTSU = 4,
    PIC_THRESH_ITERATIVE_HISTOGRAM = 5,
    PIC_THRESH_PERCENTILE = 6,
    PIC_THRESH_ENTROPY = 7,
    PIC_THRESH_ADAPTIVE = 8,
    PIC_THRESH_MIN_CROSS_ENTROPY = 9,
    PIC_THRESH_MIN_ERROR = 10,
    PIC_THRESH_COOCCURRENCE = 11,
    PIC_THRESH_ENTROPY_BALANCE = 12,
    PIC_THRESH_RENYI = 13,
};

// An 8-bit gray image and its 256-bin histogram (at least one pixel).
struct PicGrayImage {
    const uint8_t* pixels;
    uint32_t width, height, stride;
    uint32_t histogram[256];
    uint64_t PixelCount() const { return (uint64_t)width * height; }
};

// The level t of `mode` (the last level of the lower class; -1 when the
// method finds none, and for unknown modes). `threshold` is the fixed level
// of mode 0 and the share in hundredths of a percent of mode 6. False only
// when a work array cannot be had.
bool PicFindThresholdLevel(uint32_t mode, const PicGrayImage& image, uint32_t threshold, int32_t& level);

// The methods one by one (the histogram ones take the image for its counts).
int32_t PicTwoPeaksLevel(const PicGrayImage& image);
int32_t PicMeanLevel(const PicGrayImage& image);
int32_t PicIntermeansLevel(const PicGrayImage& image);
int32_t PicOtsuLevel(const PicGrayImage& image);
int32_t PicIterativeHistogramLevel(const PicGrayImage& image);
int32_t PicPercentileLevel(const PicGrayImage& image, uint32_t hundredthsOfPercent);
int32_t PicMinErrorLevel(const PicGrayImage& image);
bool PicCooccurrenceLevel(const PicGrayImage& image, int32_t& level);
int32_t PicEntropyLevel(const PicGrayImage& image);
int32_t PicMinCrossEntropyLevel(const PicGrayImage& image);
int32_t PicEntropyBalanceLevel(const PicGrayImage& image);
int32_t PicRenyiLevel(const PicGrayImage& image);

// A real-valued level truncated toward zero; -1 for a value that is not finite.
// Values far outside 0..255 are held at +-65536 so that they stay representable.
int32_t PicTruncateLevel(double value);
