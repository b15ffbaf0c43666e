#include "imaging/core/PicColorMatch.h"

#include <algorithm>
#include <cstring>

CPicImgColorMatch::CPicImgColorMatch() {
    for (int d = -255; d <= 255; ++d) m_squares[d + 255] = d * d;
}

void CPicImgColorMatch::SetPalette(const RGBQUAD* palette, uint32_t count) {
    m_cache.clear();
    if (m_cache.capacity() < kMaxEntries) m_cache.reserve(kMaxEntries);
    if (palette == nullptr) return;
    m_count = std::min(count, kMaxEntries);
    memcpy(m_palette, palette, m_count * sizeof(RGBQUAD));
    m_ready = 1;
}

uint8_t CPicImgColorMatch::FindClosestColor(uint8_t red, uint8_t green, uint8_t blue) {
    if (!m_ready) return 0;
    const uint32_t key = red | green << 8 | blue << 16;
    for (const CacheEntry& entry : m_cache)
        if (entry.key == key) return (uint8_t)entry.index;
    int32_t best = 0, bound = 0x30000;  // above 3 * 255^2
    for (uint32_t i = 0; i < m_count; ++i) {
        const RGBQUAD& e = m_palette[i];
        int32_t d = Square(e.rgbGreen - green) + Square(e.rgbBlue - blue) + Square(e.rgbRed - red);
        if (d < bound) {
            best = (int32_t)i;
            bound = d;
            if (d == 0) break;
        }
    }
    if (m_cache.size() >= kCacheLimit) m_cache.clear();
    m_cache.push_back({key, best});
    return (uint8_t)best;
}
