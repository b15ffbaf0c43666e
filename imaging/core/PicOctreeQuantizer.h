// 24-bit colour to 8-bit palette indices: the fixed-cube octree quantiser
// that builds an optimal palette, the linked octree that does the same with
// a tree of its own, and the mapping onto a palette with serpentine error
// diffusion. Each object lives for one call on the calling thread.
//
// Flags: bit 0 - source bytes in palette order (blue, green, red) instead of
// red, green, blue; bit 1 - four bytes per source pixel (the fourth is
// skipped); bit 2 - build with the linked octree.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/core/PicArray.h"
#include "imaging/core/PicOperation.h"

constexpr uint32_t PIC_QUANTIZE_PALETTE_ORDER = 1;
constexpr uint32_t PIC_QUANTIZE_FOUR_BYTES = 2;
constexpr uint32_t PIC_QUANTIZE_LINKED_OCTREE = 4;

// Bytes per source pixel under the flags.
inline uint32_t PicQuantizePixelBytes(uint32_t flags) { return (flags & PIC_QUANTIZE_FOUR_BYTES) ? 4 : 3; }

class OctreeQuantizer {
public:
    OctreeQuantizer();

    // Builds at most `colours` entries into palette (exactly `colours` are
    // written, black past the ones built); the number built, 0 on failure.
    uint32_t BuildPalette(const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride, uint32_t colours,
                          RGBQUAD* palette, uint32_t flags);

    // Maps every pixel to the nearest of the first `colours` palette entries
    // with error diffusion: dither mode 0 two neighbours, else Floyd-Steinberg;
    // the diffused error per channel stays within +-errorLimit.
    bool MapToPalette(const uint8_t* src, uint8_t* dst, uint32_t width, uint32_t height, uint32_t srcStride,
                      uint32_t dstStride, uint32_t colours, const RGBQUAD* palette, uint32_t flags);

    int32_t status = 0;
    int32_t ditherMode = 1;
    int32_t errorLimit = 20;

private:
    // One cell of the 15-bit colour cube or of a coarser level above it.
    struct Node {
        uint64_t sum[3];
        uint64_t pixels;
        uint64_t subtree;  // pixels of the node and all its descendants, fixed after the histogram
        uint8_t childMask;
        uint8_t paletteIndex;
    };
    // A heap entry carries its node's subtree count, so sifting compares
    // without visiting the nodes.
    struct HeapItem {
        uint64_t subtree;
        uint8_t level;
        uint16_t index;
    };

    uint32_t CellOf(const uint8_t* pixel) const {
        return m_interleave[0][pixel[0]] + m_interleave[1][pixel[1]] + m_interleave[2][pixel[2]];
    }
    Node& NodeOf(const HeapItem& item) { return m_levels[item.level][item.index]; }
    void Histogram(const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride, uint32_t pixelBytes);
    void FillHeap();
    void SiftDown(uint32_t position);
    void Reduce(uint32_t colours);
    void AssignPalette(uint32_t level, uint32_t index);
    uint8_t NearestEntry(int32_t c0, int32_t c1, int32_t c2, uint32_t colours) const;
    // One row of the mapping: its pixels, indices and the two error rows.
    struct RowMapping {
        const uint8_t* row;
        uint8_t* out;
        int16_t* current;
        int16_t* next;
        uint32_t width, pixelBytes;
        int32_t limit;
        uint32_t colours;
    };
    template <bool kFloydSteinberg, int32_t kStep>
    void MapRow(const RowMapping& m, int16_t* cache) const;

    uint16_t m_interleave[3][256];
    PicArray<Node> m_levels[6];
    PicArray<HeapItem> m_heap;  // used from item 1
    uint32_t m_heapSize = 0;
    uint32_t m_nextIndex = 0;
    uint8_t m_planes[3][256] = {};  // plane k: the palette's value for source byte k
};

class LinkedOctreeQuantizer {
public:
    LinkedOctreeQuantizer() = default;
    ~LinkedOctreeQuantizer();
    LinkedOctreeQuantizer(const LinkedOctreeQuantizer&) = delete;
    LinkedOctreeQuantizer& operator=(const LinkedOctreeQuantizer&) = delete;

    // As OctreeQuantizer::BuildPalette; the tree never holds more than
    // `colours` leaves after a pixel.
    uint32_t BuildPalette(const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride, uint32_t colours,
                          RGBQUAD* palette, uint32_t flags);

    int32_t status = 0;

private:
    struct Node {
        int32_t leaf;
        uint64_t pixels;
        uint64_t sum[3];  // channels A, B, C
        Node* children[8];
        Node* next;  // the reducible list of its level
    };
    bool Insert(uint8_t a, uint8_t b, uint8_t c);
    bool ReduceOnce();
    void Collect(const Node* node, RGBQUAD* palette, uint32_t& count) const;
    void FreeTree(Node* node);

    Node* m_root = nullptr;
    Node* m_reducible[9] = {};
    uint32_t m_leaves = 0;
};

// The two stages of quantising: a palette of at most `colours` entries from
// the image (quantiser chosen by flag bit 2), then the mapping onto all
// `colours` entries. `colours` is 1..256.
bool QuantizeRGBTo8Bit(int32_t& status, const uint8_t* src, uint32_t width, uint32_t height, uint32_t srcStride,
                       uint8_t* dst, uint32_t dstStride, uint32_t colours, RGBQUAD* palette, int32_t ditherMode,
                       int32_t errorLimit, uint32_t flags);
bool MapRGBToPalette(int32_t& status, const uint8_t* src, uint8_t* dst, uint32_t width, uint32_t height,
                     uint32_t srcStride, uint32_t dstStride, uint32_t colours, const RGBQUAD* palette,
                     int32_t ditherMode, int32_t errorLimit, uint32_t flags);
