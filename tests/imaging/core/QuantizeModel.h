// An independent model of the palette mapping with error diffusion, written
// from its description: a whole-image error array indexed by column (so the
// error for the pixel below lands under the same column in either direction),
// serpentine rows, and the one-index-per-15-bit-cell lookup.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

namespace quantizemodel {

// dither 0: half the sum of what the left (in processing order) and upper
// neighbours passed on; otherwise Floyd-Steinberg in sixteenths, rounded.
inline std::vector<uint8_t> MapToPalette(const std::vector<uint8_t>& src, uint32_t width, uint32_t height,
                                         uint32_t stride, uint32_t pixelBytes, const std::vector<RGBQUAD>& palette,
                                         bool paletteOrder, int dither, int limit) {
    const size_t n = palette.size();
    std::vector<int> plane[3];
    for (const RGBQUAD& q : palette) {
        plane[0].push_back(paletteOrder ? q.rgbBlue : q.rgbRed);
        plane[1].push_back(q.rgbGreen);
        plane[2].push_back(paletteOrder ? q.rgbRed : q.rgbBlue);
    }
    limit = std::clamp(limit, 0, 255);
    std::vector<int> received((size_t)(height + 1) * (width + 2) * 3, 0);
    auto at = [&](uint32_t y, long long x, int k) -> int& {
        return received[((size_t)y * (width + 2) + (size_t)(x + 1)) * 3 + k];
    };
    std::map<int, int> firstOfCell;
    std::vector<uint8_t> out((size_t)width * height);
    for (uint32_t y = 0; y < height; ++y) {
        const int d = y % 2 == 0 ? 1 : -1;
        for (uint32_t i = 0; i < width; ++i) {
            const long long x = d == 1 ? i : width - 1 - i;
            int value[3];
            for (int k = 0; k < 3; ++k) {
                int r = at(y, x, k);
                int diffused = dither != 0 ? (r + 8) >> 4 : r >> 1;
                value[k] = std::clamp(src[(size_t)y * stride + (size_t)x * pixelBytes + k] + diffused, 0, 255);
            }
            int cell = (value[0] >> 3) << 10 | (value[1] >> 3) << 5 | (value[2] >> 3);
            if (!firstOfCell.count(cell)) {
                int best = 0, bound = 16581376;
                for (size_t e = 0; e < n; ++e) {
                    int dist = 0;
                    for (int k = 0; k < 3; ++k) dist += (plane[k][e] - value[k]) * (plane[k][e] - value[k]);
                    if (dist < bound) bound = dist, best = (int)e;
                }
                firstOfCell[cell] = best;
            }
            const int index = firstOfCell[cell];
            out[(size_t)y * width + (size_t)x] = (uint8_t)index;
            for (int k = 0; k < 3; ++k) {
                int e = std::clamp(value[k] - plane[k][index], -limit, limit);
                if (dither != 0) {
                    at(y, x + d, k) += 7 * e;
                    at(y + 1, x - d, k) += 3 * e;
                    at(y + 1, x, k) += 5 * e;
                    at(y + 1, x + d, k) += e;
                } else {
                    at(y, x + d, k) += e;
                    at(y + 1, x, k) += e;
                }
            }
        }
    }
    return out;
}

}  // namespace quantizemodel
