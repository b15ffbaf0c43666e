#include "imaging/core/PicOctreeQuantizer.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kCells = 32768;  // the 15-bit colour cube
constexpr uint32_t kLevelSizes[6] = {1, 8, 64, 512, 4096, 32768};

// Plane k of a palette holds the value matching source byte k.
void PlanesOf(const RGBQUAD* palette, uint32_t colours, uint32_t flags, uint8_t planes[3][256]) {
    const bool paletteOrder = (flags & PIC_QUANTIZE_PALETTE_ORDER) != 0;
    for (uint32_t i = 0; i < colours; ++i) {
        planes[0][i] = paletteOrder ? palette[i].rgbBlue : palette[i].rgbRed;
        planes[1][i] = palette[i].rgbGreen;
        planes[2][i] = paletteOrder ? palette[i].rgbRed : palette[i].rgbBlue;
    }
}

RGBQUAD EntryOf(uint8_t byte0, uint8_t byte1, uint8_t byte2, uint32_t flags) {
    if (flags & PIC_QUANTIZE_PALETTE_ORDER) return RGBQUAD{byte0, byte1, byte2, 0};
    return RGBQUAD{byte2, byte1, byte0, 0};
}

bool SourceUsable(const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride, uint32_t flags) {
    return src != nullptr && width != 0 && height != 0 && stride >= (uint64_t)width * PicQuantizePixelBytes(flags);
}

}  // namespace

// ---- the fixed-cube octree ----

OctreeQuantizer::OctreeQuantizer() {
    // The top five bits of byte k land on every third bit from bit 14 - k down.
    for (uint32_t k = 0; k < 3; ++k)
        for (uint32_t v = 0; v < 256; ++v) {
            uint16_t spread = 0;
            for (uint32_t b = 0; b < 5; ++b)
                if (v & (0x80 >> b)) spread |= (uint16_t)(1 << (14 - k - 3 * b));
            m_interleave[k][v] = spread;
        }
}

void OctreeQuantizer::Histogram(const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride,
                                uint32_t pixelBytes) {
    Node* cells = m_levels[5].data;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* p = src + (size_t)y * stride;
        for (uint32_t x = 0; x < width; ++x, p += pixelBytes) {
            Node& cell = cells[CellOf(p)];
            cell.sum[0] += p[0];
            cell.sum[1] += p[1];
            cell.sum[2] += p[2];
            ++cell.pixels;
        }
    }
}

void OctreeQuantizer::FillHeap() {
    m_heapSize = 0;
    for (uint32_t index = 0; index < kCells; ++index) {
        Node& cell = m_levels[5][index];
        if (cell.pixels == 0) continue;
        m_heap[++m_heapSize] = {cell.pixels, 5, (uint16_t)index};
        cell.subtree = cell.pixels;
        uint32_t child = index;
        for (int level = 4; level >= 0; --level) {
            Node& parent = m_levels[level][child >> 3];
            parent.subtree += cell.pixels;
            parent.childMask |= (uint8_t)(1 << (child & 7));
            child >>= 3;
        }
    }
    for (uint32_t position = m_heapSize; position >= 1; --position) SiftDown(position);
}

// Min-heap on the subtree counts: the right child only when strictly
// smaller, and the item stops once it is not greater than that child.
void OctreeQuantizer::SiftDown(uint32_t position) {
    const HeapItem item = m_heap[position];
    const uint64_t count = item.subtree;
    for (;;) {
        uint32_t child = 2 * position;
        if (child > m_heapSize) break;
        if (child + 1 <= m_heapSize && m_heap[child + 1].subtree < m_heap[child].subtree) ++child;
        if (count <= m_heap[child].subtree) break;
        m_heap[position] = m_heap[child];
        position = child;
    }
    m_heap[position] = item;
}

// Merges the cell with the fewest pixels in its whole subtree into its parent
// until no more than `colours` cells hold pixels.
void OctreeQuantizer::Reduce(uint32_t colours) {
    while (m_heapSize > colours) {
        const HeapItem top = m_heap[1];
        if (top.level == 0) break;  // the root has no parent to merge into
        HeapItem up = {0, (uint8_t)(top.level - 1), (uint16_t)(top.index >> 3)};
        Node& child = NodeOf(top);
        Node& parent = NodeOf(up);
        up.subtree = parent.subtree;
        if (parent.pixels != 0)
            m_heap[1] = m_heap[m_heapSize--];
        else
            m_heap[1] = up;
        parent.pixels += child.pixels;
        for (int k = 0; k < 3; ++k) parent.sum[k] += child.sum[k];
        parent.childMask &= (uint8_t)~(1 << (top.index & 7));
        SiftDown(1);
    }
}

// Post-order from child 7 down to child 0; each node holding pixels takes
// the next index and its rounded mean colour.
void OctreeQuantizer::AssignPalette(uint32_t level, uint32_t index) {
    Node& node = m_levels[level][index];
    for (int c = 7; c >= 0; --c)
        if (node.childMask & (1 << c)) AssignPalette(level + 1, index * 8 + (uint32_t)c);
    if (node.pixels == 0 || m_nextIndex >= 256) return;
    node.paletteIndex = (uint8_t)m_nextIndex;
    for (int k = 0; k < 3; ++k) m_planes[k][m_nextIndex] = (uint8_t)((node.sum[k] + node.pixels / 2) / node.pixels);
    ++m_nextIndex;
}

uint32_t OctreeQuantizer::BuildPalette(const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride,
                                       uint32_t colours, RGBQUAD* palette, uint32_t flags) {
    if (!SourceUsable(src, width, height, stride, flags) || palette == nullptr) {
        status = PIC_ERR_BAD_PARAM;
        return 0;
    }
    m_heapSize = m_nextIndex = 0;
    memset(m_planes, 0, sizeof m_planes);
    for (int level = 0; level < 6; ++level) {
        if (!m_levels[level].Allocate(kLevelSizes[level])) {
            status = PIC_ERR_OUT_OF_MEMORY;
            return 0;
        }
        m_levels[level].Fill(0);
    }
    if (!m_heap.Allocate(kCells + 1)) {
        status = PIC_ERR_OUT_OF_MEMORY;
        return 0;
    }
    Histogram(src, width, height, stride, PicQuantizePixelBytes(flags));
    FillHeap();
    Reduce(colours);
    AssignPalette(0, 0);
    for (uint32_t i = 0; i < colours; ++i)
        palette[i] = EntryOf(m_planes[0][i], m_planes[1][i], m_planes[2][i], flags);
    for (auto& level : m_levels) level.Free();
    m_heap.Free();
    status = PIC_ERR_OK;
    return m_heapSize;
}

// ---- the mapping ----

namespace {

// The first entry at the least squared distance, eight entries per step
// (SSE2, part of every x86-64 processor); entries past the last whole eight
// are left to the caller. Distances and indices are kept per lane and the
// lanes merged at the end, lowest index first among equal distances.
void NearestInEights(const uint8_t (&planes)[3][256], int32_t c0, int32_t c1, int32_t c2, uint32_t eights,
                     int32_t& bestDistance, int32_t& bestIndex) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i colour[3] = {_mm_set1_epi16((short)c0), _mm_set1_epi16((short)c1), _mm_set1_epi16((short)c2)};
    __m128i best[2] = {_mm_set1_epi32(0x7FFFFFFF), _mm_set1_epi32(0x7FFFFFFF)};
    __m128i index[2] = {zero, zero};
    __m128i lane[2] = {_mm_setr_epi32(0, 1, 2, 3), _mm_setr_epi32(4, 5, 6, 7)};
    const __m128i eight = _mm_set1_epi32(8);
    for (uint32_t e = 0; e < eights; ++e) {
        __m128i d[3];
        for (int k = 0; k < 3; ++k)
            d[k] = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64((const __m128i*)(planes[k] + 8 * e)), zero),
                                 colour[k]);
        const __m128i pairs[2] = {_mm_unpacklo_epi16(d[0], d[1]), _mm_unpackhi_epi16(d[0], d[1])};
        const __m128i thirds[2] = {_mm_unpacklo_epi16(d[2], zero), _mm_unpackhi_epi16(d[2], zero)};
        for (int h = 0; h < 2; ++h) {
            const __m128i distance =
                _mm_add_epi32(_mm_madd_epi16(pairs[h], pairs[h]), _mm_madd_epi16(thirds[h], thirds[h]));
            const __m128i closer = _mm_cmplt_epi32(distance, best[h]);
            best[h] = _mm_or_si128(_mm_and_si128(closer, distance), _mm_andnot_si128(closer, best[h]));
            index[h] = _mm_or_si128(_mm_and_si128(closer, lane[h]), _mm_andnot_si128(closer, index[h]));
            lane[h] = _mm_add_epi32(lane[h], eight);
        }
    }
    int32_t distances[8], indices[8];
    for (int h = 0; h < 2; ++h) {
        _mm_storeu_si128((__m128i*)(distances + 4 * h), best[h]);
        _mm_storeu_si128((__m128i*)(indices + 4 * h), index[h]);
    }
    for (int j = 0; j < 8; ++j)
        if (distances[j] < bestDistance || (distances[j] == bestDistance && indices[j] < bestIndex))
            bestDistance = distances[j], bestIndex = indices[j];
}

}  // namespace

uint8_t OctreeQuantizer::NearestEntry(int32_t c0, int32_t c1, int32_t c2, uint32_t colours) const {
    int32_t bound = 16581376, best = 0;
    const uint32_t eights = colours / 8;
    if (eights != 0) NearestInEights(m_planes, c0, c1, c2, eights, bound, best);
    for (uint32_t i = eights * 8; i < colours; ++i) {
        const int32_t d0 = m_planes[0][i] - c0, d1 = m_planes[1][i] - c1, d2 = m_planes[2][i] - c2;
        const int32_t distance = d0 * d0 + d1 * d1 + d2 * d2;
        if (distance < bound) bound = distance, best = (int32_t)i;
    }
    return (uint8_t)best;
}

// One row of the mapping, the dither form and direction fixed at compile
// time: the pixel's colour plus its share of the error, the nearest entry
// through the 15-bit cache, the clamped error handed on.
template <bool kFloydSteinberg, int32_t kStep>
void OctreeQuantizer::MapRow(const RowMapping& m, int16_t* cache) const {
    for (uint32_t n = 0; n < m.width; ++n) {
        const uint32_t x = kStep > 0 ? n : m.width - 1 - n;
        const uint8_t* pixel = m.row + (size_t)x * m.pixelBytes;
        int16_t* here = m.current + 3 * (x + 1);
        int16_t* below = m.next + 3 * (x + 1);
        int32_t adjusted[3];
        for (int k = 0; k < 3; ++k) {
            const int32_t diffused = kFloydSteinberg ? (here[k] + 8) >> 4 : here[k] >> 1;
            adjusted[k] = std::min(std::max(pixel[k] + diffused, 0), 255);
        }
        const uint32_t key =
            (uint32_t)(adjusted[0] >> 3) << 10 | (uint32_t)(adjusted[1] >> 3) << 5 | (uint32_t)(adjusted[2] >> 3);
        if (cache[key] < 0) cache[key] = NearestEntry(adjusted[0], adjusted[1], adjusted[2], m.colours);
        const uint8_t index = (uint8_t)cache[key];
        m.out[x] = index;
        for (int k = 0; k < 3; ++k) {
            const int32_t e = std::min(std::max(adjusted[k] - m_planes[k][index], -m.limit), m.limit);
            if (kFloydSteinberg) {
                here[3 * kStep + k] = (int16_t)(here[3 * kStep + k] + 7 * e);
                below[-3 * kStep + k] = (int16_t)(below[-3 * kStep + k] + 3 * e);
                below[k] = (int16_t)(below[k] + 5 * e);
                below[3 * kStep + k] = (int16_t)e;
            } else {
                here[3 * kStep + k] = (int16_t)(here[3 * kStep + k] + e);
                below[k] = (int16_t)e;
            }
        }
    }
}

bool OctreeQuantizer::MapToPalette(const uint8_t* src, uint8_t* dst, uint32_t width, uint32_t height,
                                   uint32_t srcStride, uint32_t dstStride, uint32_t colours, const RGBQUAD* palette,
                                   uint32_t flags) {
    colours = std::min(colours, 256u);
    if (!SourceUsable(src, width, height, srcStride, flags) || dst == nullptr || dstStride < width ||
        palette == nullptr || colours == 0) {
        status = PIC_ERR_BAD_PARAM;
        return false;
    }
    PlanesOf(palette, colours, flags, m_planes);
    // Errors are kept per image column, with a border slot each side, so the
    // error for the pixel below lands under the same column in either direction.
    const uint32_t slots = 3 * (width + 2);
    PicArray<int16_t> cache(kCells), rowA(slots), rowB(slots);
    if (cache.IsEmpty() || rowA.IsEmpty() || rowB.IsEmpty()) {
        status = PIC_ERR_OUT_OF_MEMORY;
        return false;
    }
    cache.Fill(0xFF);  // -1: no index yet
    rowA.Fill(0);
    rowB.Fill(0);
    int16_t* current = rowA.data;
    int16_t* next = rowB.data;
    const int32_t limit = std::min(std::max(errorLimit, 0), 255);
    const bool floydSteinberg = ditherMode != 0;
    const uint32_t pixelBytes = PicQuantizePixelBytes(flags);
    CPicProgress progress;
    for (uint32_t y = 0; y < height; ++y) {
        const bool leftToRight = y % 2 == 0;
        memset(next, 0, slots * sizeof(int16_t));
        const uint8_t* row = src + (size_t)y * srcStride;
        uint8_t* out = dst + (size_t)y * dstStride;
        const RowMapping mapping{row, out, current, next, width, pixelBytes, limit, colours};
        if (floydSteinberg)
            leftToRight ? MapRow<true, 1>(mapping, cache.data) : MapRow<true, -1>(mapping, cache.data);
        else
            leftToRight ? MapRow<false, 1>(mapping, cache.data) : MapRow<false, -1>(mapping, cache.data);
        std::swap(current, next);
        if (!progress.Report(y, height)) {
            status = PIC_ERR_CANCELLED;
            return false;
        }
    }
    status = PIC_ERR_OK;
    return true;
}

// ---- the linked octree ----

LinkedOctreeQuantizer::~LinkedOctreeQuantizer() { FreeTree(m_root); }

void LinkedOctreeQuantizer::FreeTree(Node* node) {
    if (node == nullptr) return;
    for (Node* child : node->children) FreeTree(child);
    HeapFree(GetProcessHeap(), 0, node);
}

bool LinkedOctreeQuantizer::Insert(uint8_t a, uint8_t b, uint8_t c) {
    Node** slot = &m_root;
    for (uint32_t level = 0;; ++level) {
        if (*slot == nullptr) {
            Node* created = static_cast<Node*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(Node)));
            if (created == nullptr) return false;
            *slot = created;
            if (level == 8) {
                created->leaf = 1;
                ++m_leaves;
            } else {
                created->next = m_reducible[level];
                m_reducible[level] = created;
            }
        }
        Node* node = *slot;
        if (node->leaf) {
            ++node->pixels;
            node->sum[0] += a;
            node->sum[1] += b;
            node->sum[2] += c;
            return true;
        }
        const uint8_t mask = (uint8_t)(0x80 >> level);
        const int child = ((a & mask) ? 4 : 0) | ((b & mask) ? 2 : 0) | ((c & mask) ? 1 : 0);
        slot = &node->children[child];
    }
}

// Folds the most recently made node of the deepest level that has one into a leaf.
bool LinkedOctreeQuantizer::ReduceOnce() {
    int level = 7;
    while (level > 0 && m_reducible[level] == nullptr) --level;
    Node* node = m_reducible[level];
    if (node == nullptr) return false;
    m_reducible[level] = node->next;
    uint32_t children = 0;
    for (Node*& child : node->children) {
        if (child == nullptr) continue;
        node->pixels += child->pixels;
        for (int k = 0; k < 3; ++k) node->sum[k] += child->sum[k];
        FreeTree(child);
        child = nullptr;
        ++children;
    }
    node->leaf = 1;
    m_leaves -= children - 1;
    return true;
}

void LinkedOctreeQuantizer::Collect(const Node* node, RGBQUAD* palette, uint32_t& count) const {
    if (node == nullptr) return;
    if (node->leaf) {
        palette[count++] = RGBQUAD{(uint8_t)(node->sum[2] / node->pixels), (uint8_t)(node->sum[1] / node->pixels),
                                   (uint8_t)(node->sum[0] / node->pixels), 0};
        return;
    }
    for (const Node* child : node->children) Collect(child, palette, count);
}

uint32_t LinkedOctreeQuantizer::BuildPalette(const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride,
                                             uint32_t colours, RGBQUAD* palette, uint32_t flags) {
    if (!SourceUsable(src, width, height, stride, flags) || palette == nullptr) {
        status = PIC_ERR_BAD_PARAM;
        return 0;
    }
    const uint32_t pixelBytes = PicQuantizePixelBytes(flags);
    // Channel A is red and C blue in either pixel order.
    const int first = (flags & PIC_QUANTIZE_PALETTE_ORDER) ? 2 : 0, last = 2 - first;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* p = src + (size_t)y * stride;
        for (uint32_t x = 0; x < width; ++x, p += pixelBytes) {
            if (!Insert(p[first], p[1], p[last])) {
                status = PIC_ERR_OUT_OF_MEMORY;
                return 0;
            }
            while (m_leaves > colours && ReduceOnce()) {
            }
        }
    }
    uint32_t count = 0;
    Collect(m_root, palette, count);
    FreeTree(m_root);
    m_root = nullptr;
    status = PIC_ERR_OK;
    return count;
}

// ---- the two stages ----

bool MapRGBToPalette(int32_t& status, const uint8_t* src, uint8_t* dst, uint32_t width, uint32_t height,
                     uint32_t srcStride, uint32_t dstStride, uint32_t colours, const RGBQUAD* palette,
                     int32_t ditherMode, int32_t errorLimit, uint32_t flags) {
    CPicCallDepthGuard depth;
    OctreeQuantizer mapper;
    mapper.ditherMode = ditherMode;
    mapper.errorLimit = errorLimit;
    bool ok = mapper.MapToPalette(src, dst, width, height, srcStride, dstStride, colours, palette, flags);
    status = mapper.status;
    return ok;
}

bool QuantizeRGBTo8Bit(int32_t& status, const uint8_t* src, uint32_t width, uint32_t height, uint32_t srcStride,
                       uint8_t* dst, uint32_t dstStride, uint32_t colours, RGBQUAD* palette, int32_t ditherMode,
                       int32_t errorLimit, uint32_t flags) {
    if (dst == nullptr || palette == nullptr || dstStride < width) {
        status = PIC_ERR_BAD_PARAM;
        return false;
    }
    {
        // The palette stage runs one level down: it reports no progress.
        CPicCallDepthGuard depth;
        memset(palette, 0, colours * sizeof(RGBQUAD));
        if (flags & PIC_QUANTIZE_LINKED_OCTREE) {
            LinkedOctreeQuantizer builder;
            builder.BuildPalette(src, width, height, srcStride, colours, palette, flags);
            status = builder.status;
        } else {
            OctreeQuantizer builder;
            builder.BuildPalette(src, width, height, srcStride, colours, palette, flags);
            status = builder.status;
        }
        if (status != PIC_ERR_OK) return false;
    }
    return MapRGBToPalette(status, src, dst, width, height, srcStride, dstStride, colours, palette, ditherMode,
                           errorLimit, flags);
}
