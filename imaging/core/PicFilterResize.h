// The separable filtered resampler behind resize methods 0-13: fourteen
// filter kernels applied first along each row, then down each column, with
// 8-bit rounding between the two passes. It takes 8-bit channels (any count)
// or a packed 1-bit source, which it reads as gray. Runs in column bands.
//
// A CPicFilterResize lives on the stack of one call or one band job; the
// contributor tables are built by the submitting thread and only read by bands.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/core/PicArray.h"
#include "imaging/core/PicResizeBase.h"
#include "imaging/core/PicThreadPool.h"

typedef double (*PicFilterKernel)(double x);

// The kernel and support radius of filter number 0-13; 5 for any other
// number (the outputs are then untouched), else 0.
int32_t SelectResizeFilter(uint32_t filter, PicFilterKernel* kernel, double* support);

// One source sample feeding one output position.
struct PicContributor {
    int32_t byteOffset;  // index x channels
    int32_t index;       // after edge reflection, inside 0..size - 1
    double weight;       // normalised
    uint8_t bitMask;     // 0x80 >> (index mod 8), for 1-bit sources
    int32_t byteIndex;   // index / 8, for 1-bit sources
};

// The contributors of every output position of one direction, in ascending
// source order: position i owns items[start[i]] to items[start[i + 1] - 1].
struct PicContributorTable {
    PicArray<uint32_t> start;
    PicArray<PicContributor> items;
    const PicContributor* Of(uint32_t i) const { return items.data + start[i]; }
    int32_t CountOf(uint32_t i) const { return (int32_t)(start[i + 1] - start[i]); }
};

// Fills the table for `dest` positions over `source` samples (no half-pixel
// offset; reflection at the edges, clamped into the source). False without memory.
bool BuildResizeContributors(PicFilterKernel kernel, double support, uint32_t source, uint32_t dest,
                             uint32_t channels, PicContributorTable& table);

enum PicFilterSourceKind : int32_t { PIC_FILTER_SOURCE_8BIT = 0, PIC_FILTER_SOURCE_1BIT = 1 };

class CPicFilterResize {
public:
    // The resampler is its thread's next call level while it exists.
    CPicFilterResize() = default;
    CPicFilterResize(const CPicFilterResize&) = delete;
    CPicFilterResize& operator=(const CPicFilterResize&) = delete;

    // Flag bit 0 (1-bit sources): a set bit reads as white instead of black.
    bool Resize(const uint8_t* src, uint32_t srcWidth, uint32_t srcHeight, uint8_t* dst, uint32_t dstWidth,
                uint32_t dstHeight, uint32_t channels, uint32_t filter, uint32_t srcStride, uint32_t dstStride,
                uint32_t flags, int32_t sourceKind);

    // One band of the destination's columns: first <= column < end.
    int32_t ResampleColumns(const PicContributorTable& columns, const PicContributorTable& rows, uint32_t first,
                            uint32_t end);

    struct Parameters {
        const uint8_t* src = nullptr;
        uint32_t srcWidth = 0, srcHeight = 0;
        uint8_t* dst = nullptr;
        uint32_t dstWidth = 0, dstHeight = 0;
        uint32_t channels = 0, srcStride = 0, dstStride = 0;
        int32_t sourceKind = 0;
        uint32_t flags = 0;
    };
    void SetParameters(const Parameters& parameters);

    int32_t status = 0;

private:
    uint8_t Sample1Bit(const uint8_t* row, const PicContributor& c) const {
        return m_bitTable[row[c.byteIndex] & c.bitMask];
    }
    void HorizontalPass(const PicContributorTable& columns, uint32_t first, uint32_t count, uint8_t* strip) const;
    void VerticalPass(const PicContributorTable& rows, const uint8_t* strip, uint32_t first, uint32_t count) const;

    CPicCallDepthGuard m_depth;
    Parameters m_p;
    uint8_t m_bitTable[256] = {};
    PicArray<uint8_t> m_strip;  // source height rows of a group of destination columns
};

// The resizer of methods 0-13 for 8-bit channels; the resampler raises the
// call depth itself, so this one takes no guard.
class CPicImgFilterResizeT : public CPicResizeBaseT<unsigned char> {
public:
    explicit CPicImgFilterResizeT(uint32_t filter)
        : CPicResizeBaseT<unsigned char>(PicNoDepthGuard{}), m_filter(filter) {}
    bool Resize(const VovIredev::CPicImgBufBase<unsigned char>& src, VovIredev::CPicImgBufBase<unsigned char>& dst,
                uint32_t flags) override;

private:
    uint32_t m_filter;
};
