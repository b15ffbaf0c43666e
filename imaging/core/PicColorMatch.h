// Nearest palette colour for an RGB value, with a small cache of recent
// answers. Not safe for concurrent use (the cache changes on every miss):
// each user keeps its own matcher.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

class CPicImgColorMatch {
public:
    CPicImgColorMatch();
    virtual ~CPicImgColorMatch() = default;
    CPicImgColorMatch(const CPicImgColorMatch&) = delete;
    CPicImgColorMatch& operator=(const CPicImgColorMatch&) = delete;

    static constexpr uint32_t kMaxEntries = 256;
    static constexpr size_t kCacheLimit = 255;

    // Copies the first count entries (at most 256) and makes the matcher
    // ready; a null palette only empties the cache.
    void SetPalette(const RGBQUAD* palette, uint32_t count);
    // The index of the entry nearest in squared distance (the first of equal
    // ones); 0 before any palette was given.
    uint8_t FindClosestColor(uint8_t red, uint8_t green, uint8_t blue);

private:
    struct CacheEntry {
        uint32_t key;
        int32_t index;
    };
    int32_t Square(int difference) const { return m_squares[difference + 255]; }

    int32_t m_ready = 0;
    RGBQUAD m_palette[kMaxEntries] = {};
    uint32_t m_count = 0;
    int32_t m_squares[511];
    std::vector<CacheEntry> m_cache;  // insertion order
};
