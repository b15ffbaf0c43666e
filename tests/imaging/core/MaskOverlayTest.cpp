#include "tests/QvTest.h"

#include <functional>
#include <vector>

#include "imaging/core/PicCpuFeatures.h"
#include "imaging/core/PicImgBuf.h"
#include "imaging/core/PicLibrarySettings.h"
#include "imaging/core/PicOverlay.h"
#include "tests/imaging/core/ImagingTestSupport.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Offset {
    int32_t x, y;
};
const Offset kOffsets[] = {{0, 0}, {3, 1}, {-5, -2}, {8, 0}, {13, 3}, {-11, 0}, {29, 0}, {-19, 0}, {2, -5}};

uint32_t Bit(const Bytes& b, size_t rowStart, int64_t c) { return (b[rowStart + c / 8] >> (7 - c % 8)) & 1; }
void SetBit(Bytes& b, size_t rowStart, int64_t c, uint32_t v) {
    uint8_t m = (uint8_t)(0x80 >> (c % 8));
    b[rowStart + c / 8] = (uint8_t)(v ? b[rowStart + c / 8] | m : b[rowStart + c / 8] & ~m);
}

// Calls each(c, r, sc, sr) for every destination pixel a source at (x, y) covers.
void ForCovered(int64_t dw, int64_t dh, int64_t sw, int64_t sh, Offset o,
                const std::function<void(int64_t, int64_t, int64_t, int64_t)>& each) {
    for (int64_t r = 0; r < dh; ++r)
        for (int64_t c = 0; c < dw; ++c) {
            const int64_t sc = c - o.x, sr = r - o.y;
            if (sc >= 0 && sc < sw && sr >= 0 && sr < sh) each(c, r, sc, sr);
        }
}

TEST(MaskOverlay, OneBitOnOneBitEveryFlagAndOffset) {
    const int32_t dw = 29, dh = 7, ds = 5, sw = 19, sh = 5, ss = 4;
    const Bytes src = imgtest::RandomBytes(ss * sh, 21), dst0 = imgtest::RandomBytes(ds * dh, 22);
    for (uint32_t flags : {0u, 1u, 3u, 8u, 9u, 11u})
        for (Offset o : kOffsets) {
            Bytes want = dst0;
            ForCovered(dw, dh, sw, sh, o, [&](int64_t c, int64_t r, int64_t sc, int64_t sr) {
                if (flags & 8) sr = sh - 1 - sr;
                const uint32_t s = Bit(src, sr * ss, sc), d = Bit(dst0, r * ds, c);
                SetBit(want, r * ds, c, !(flags & 1) ? s : ((flags & 2) ? (d | s) : (d & s)));
            });
            Bytes dst = dst0;
            CPicImgOverlay overlay;
            EXPECT_EQ(overlay.Overlay1Bit(dst.data(), dw, dh, ds, src.data(), sw, sh, ss, o.x, o.y, flags), 1);
            EXPECT_EQ(dst, want) << "flags " << flags << " at " << o.x << ", " << o.y
                                 << " (bits beside the rectangle must keep their values)";
        }
}

uint8_t Nearest(const Bytes& palette, uint32_t count, uint32_t r, uint32_t g, uint32_t b) {
    uint32_t best = 0;
    int64_t bestDistance = -1;
    for (uint32_t i = 0; i < count; ++i) {
        const int64_t dr = (int64_t)palette[4 * i + 2] - r, dg = (int64_t)palette[4 * i + 1] - g,
                      db = (int64_t)palette[4 * i] - b;
        const int64_t distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) best = i, bestDistance = distance;
    }
    return (uint8_t)best;
}

TEST(MaskOverlay, OneBitOnPaletteMixesAndMatchesEveryPixel) {
    const int32_t dw = 23, dh = 6, sw = 13, sh = 4, ss = 2;
    const uint32_t count = 20;
    Bytes palette = imgtest::RandomBytes(4 * count, 23);
    palette[0] = palette[1] = palette[2] = 0;  // entry 0 black, entry 5 a copy of it
    palette[20] = palette[21] = palette[22] = 0;
    const Bytes src = imgtest::RandomBytes(ss * sh, 24);
    Bytes dst0 = imgtest::RandomBytes(dw * dh, 25);
    for (uint8_t& v : dst0) v %= 30;  // indices at or beyond the count read entry 0
    const Bytes pairs[] = {{0, 0, 0, 0, 200, 100, 50, 255}, {10, 20, 30, 128, 250, 5, 90, 77}};
    for (const Bytes& pair : pairs)
        for (Offset o : kOffsets) {
            Bytes want = dst0;
            ForCovered(dw, dh, sw, sh, o, [&](int64_t c, int64_t r, int64_t sc, int64_t sr) {
                const uint8_t* e = &pair[4 * Bit(src, sr * ss, sc)];
                const uint32_t index = dst0[r * dw + c] < count ? dst0[r * dw + c] : 0, a = e[3];
                const uint8_t* p = &palette[4 * index];
                want[r * dw + c] = Nearest(palette, count, (p[2] * (255 - a) + e[2] * a) / 255,
                                           (p[1] * (255 - a) + e[1] * a) / 255, (p[0] * (255 - a) + e[0] * a) / 255);
            });
            Bytes dst = dst0;
            CPicImgOverlay overlay;
            EXPECT_EQ(overlay.Overlay1BitOn8Bit(dst.data(), dw, dh, dw, src.data(), sw, sh, ss, o.x, o.y, count,
                                                palette.data(), pair.data()),
                      1);
            EXPECT_EQ(dst, want) << "at " << o.x << ", " << o.y;
        }
}

TEST(MaskOverlay, TwoColoursOnRGBAndRGBAEveryFlag) {
    const int32_t dw = 27, dh = 9, sw = 17, sh = 6, ss = 3;
    const Bytes mask = imgtest::RandomBytes(ss * sh, 26);
    const Bytes pair = {10, 20, 30, 100, 200, 150, 90, 222};
    for (uint32_t ch : {3u, 4u})
        for (uint32_t flags : {0u, 1u, 2u, 6u, 7u, 8u, 9u, 0x10u, 0x11u, 0x18u})
            for (Offset o : kOffsets) {
                const uint32_t ds = dw * ch + 1;
                const Bytes dst0 = imgtest::RandomBytes(ds * dh, 27 + ch);
                Bytes want = dst0;
                ForCovered(dw, dh, sw, sh, o, [&](int64_t c, int64_t r, int64_t sc, int64_t sr) {
                    const uint32_t b = Bit(mask, sr * ss, sc);
                    const uint8_t* e = &pair[4 * b];
                    const uint8_t colour[3] = {flags & 1 ? e[0] : e[2], e[1], flags & 1 ? e[2] : e[0]};
                    uint8_t* p = &want[r * ds + c * ch];
                    if (ch == 4 && (flags & 2)) {
                        if (b == 1 && (flags & 4)) p[3] = pair[7];
                    } else if (ch == 4 && (flags & 8)) {
                        p[0] = colour[0], p[1] = colour[1], p[2] = colour[2], p[3] = e[3];
                    } else {
                        for (int k = 0; k < 3; ++k) p[k] = (uint8_t)((colour[k] * e[3] + p[k] * (255 - e[3])) / 255);
                        if (ch == 4 && !(flags & 0x10)) p[3] = e[3];
                    }
                });
                Bytes dst = dst0, mask0 = mask;
                VovIredev::CPicImgBufExtern<uint8_t> d(dw, dh, ch, ds, dst.data());
                VovIredev::CPicImgBufExtern<uint8_t> m(sw, sh, 0, ss, mask0.data());
                CPicImgOverlay overlay;
                EXPECT_EQ(overlay.Overlay1BitTwoColors(d, m, o.x, o.y, pair.data(), flags), 1);
                EXPECT_EQ(dst, want) << ch << " channels, flags " << flags << " at " << o.x << ", " << o.y;
            }
}

TEST(MaskOverlay, TwoColoursInBandsEqualOneThread) {
    const int32_t w = 31, h = 70, ss = 4;
    const Bytes mask = imgtest::RandomBytes(ss * h, 28), dst0 = imgtest::RandomBytes(w * 4 * h, 29);
    const Bytes pair = {1, 2, 3, 90, 200, 150, 90, 180};
    auto run = [&](uint32_t flags) {
        Bytes dst = dst0, m0 = mask;
        VovIredev::CPicImgBufExtern<uint8_t> d(w, h, 4, w * 4, dst.data());
        VovIredev::CPicImgBufExtern<uint8_t> m(w, h, 0, ss, m0.data());
        CPicImgOverlay overlay;
        EXPECT_EQ(overlay.Overlay1BitTwoColors(d, m, 1, -2, pair.data(), flags), 1);
        return dst;
    };
    const Bytes one = run(PIC_FLAG_NO_THREADS);
    for (uint32_t bands = 1; bands <= 8; ++bands) {
        imgtest::BandCount count(bands);
        EXPECT_EQ(run(0), one) << bands << " bands";
    }
}

TEST(MaskOverlay, ColourThroughCoverageOnRGBWithAndWithoutTheKernel) {
    const int32_t dw = 41, dh = 5, mw = 35, mh = 4, ms = 36;
    Bytes mask = imgtest::RandomBytes(ms * mh, 30);
    for (size_t i = 0; i < mask.size(); i += 7) mask[i] = i % 2 ? 0 : 255;
    const Bytes dst0 = imgtest::RandomBytes(dw * 3 * dh, 31);
    const uint32_t colour = 0x00A0B0C0;
    for (uint16_t features : {(uint16_t)0xFFFF, (uint16_t)~PIC_CPU_SSE41})
        for (Offset o : kOffsets) {
            imgtest::FeatureMask hide(features);
            Bytes want = dst0;
            ForCovered(dw, dh, mw, mh, o, [&](int64_t c, int64_t r, int64_t sc, int64_t sr) {
                const uint32_t m = mask[sr * ms + sc];
                for (int k = 0; k < 3; ++k) {
                    uint8_t& p = want[r * dw * 3 + c * 3 + k];
                    p = (uint8_t)((p * (255 - m) + m * ((colour >> (8 * k)) & 0xFF)) / 255);
                }
            });
            Bytes dst = dst0;
            CPicImgOverlay overlay;
            EXPECT_EQ(overlay.BlendColorThroughMask(dst.data(), dw, dh, 3, dw * 3, mask.data(), mw, mh, ms, colour,
                                                    o.x, o.y, 0),
                      1);
            EXPECT_EQ(dst, want) << "at " << o.x << ", " << o.y << " features " << features;
        }
}

TEST(MaskOverlay, ColourThroughCoverageOnRGBAEveryFlag) {
    const int32_t dw = 21, dh = 5, mw = 15, mh = 4;
    Bytes mask = imgtest::RandomBytes(mw * mh, 32);
    for (size_t i = 0; i < mask.size(); i += 3) mask[i] = 0;
    const Bytes dst0 = imgtest::RandomBytes(dw * 4 * dh, 33);
    const uint32_t colour = 0x7F112233, r = 0x33, g = 0x22, b = 0x11;
    for (uint32_t flags : {0u, 1u, 2u, 8u, 9u, 0x10u, 0x11u})
        for (Offset o : kOffsets) {
            Bytes want = dst0;
            ForCovered(dw, dh, mw, mh, o, [&](int64_t c, int64_t row, int64_t sc, int64_t sr) {
                const uint32_t m = mask[sr * mw + sc];
                uint8_t* p = &want[row * dw * 4 + c * 4];
                const uint32_t cb[3] = {flags & 1 ? b : r, g, flags & 1 ? r : b};
                if (flags & 2) {
                    if (m) p[3] = (uint8_t)m;
                } else if (flags & 8) {
                    p[0] = (uint8_t)cb[0], p[1] = (uint8_t)cb[1], p[2] = (uint8_t)cb[2], p[3] = (uint8_t)m;
                } else if (m) {
                    for (int k = 0; k < 3; ++k) p[k] = (uint8_t)((cb[k] * m + p[k] * (255 - m)) / 255);
                    if (!(flags & 0x10)) p[3] = (uint8_t)m;
                }
            });
            Bytes dst = dst0;
            CPicImgOverlay overlay;
            EXPECT_EQ(overlay.BlendColorThroughMaskRGBA(dst.data(), dw, dh, dw * 4, mask.data(), mw, mh, mw, colour,
                                                        o.x, o.y, flags),
                      1);
            EXPECT_EQ(dst, want) << "flags " << flags << " at " << o.x << ", " << o.y;
        }
}

TEST(MaskOverlay, PaletteFrameOnCanvasEveryFlag) {
    const int32_t dw = 19, dh = 6, sw = 11, sh = 4;
    const Bytes palette = imgtest::RandomBytes(1024, 34);
    Bytes src = imgtest::RandomBytes(sw * sh, 35);
    for (size_t i = 0; i < src.size(); i += 4) src[i] = 7;
    const Bytes dst0 = imgtest::RandomBytes(dw * 4 * dh, 36);
    for (int32_t transparent : {-1, 7})
        for (uint32_t flags : {0u, 2u, 4u, 0xCu, 0x14u, 0x1Eu})
            for (Offset o : kOffsets) {
                Bytes want = dst0;
                ForCovered(dw, dh, sw, sh, o, [&](int64_t c, int64_t r, int64_t sc, int64_t sr) {
                    const int32_t i = src[sr * sw + sc];
                    const uint8_t* e = &palette[4 * i];
                    uint8_t* p = &want[r * dw * 4 + c * 4];
                    const bool swap = flags & 2;
                    auto paint = [&] { p[0] = swap ? e[0] : e[2], p[1] = e[1], p[2] = swap ? e[2] : e[0]; };
                    if ((flags & 4) && i == transparent) {
                        if (!(flags & 8)) p[3] = 0;
                        if (flags & 0x10) paint();
                    } else {
                        paint();
                        p[3] = 255;
                    }
                });
                Bytes dst = dst0;
                CPicImgOverlay overlay;
                EXPECT_EQ(overlay.Overlay8BitOnRGBA(dst.data(), dw, dh, dw * 4, src.data(), sw, sh, sw,
                                                    palette.data(), o.x, o.y, transparent, flags),
                          1);
                EXPECT_EQ(dst, want) << "transparent " << transparent << " flags " << flags << " at " << o.x
                                     << ", " << o.y;
            }
}

TEST(MaskOverlay, Refusals) {
    Bytes dst(256, 1), src(256, 2), pal(1024, 3), pair(8, 4);
    CPicImgOverlay o;
    struct Case {
        const char* what;
        std::function<int32_t()> call;
    } cases[] = {
        {"same buffer", [&] { return o.Overlay1Bit(dst.data(), 8, 8, 1, dst.data(), 8, 8, 1, 0, 0, 0); }},
        {"negative width", [&] { return o.Overlay1Bit(dst.data(), -8, 8, 1, src.data(), 8, 8, 1, 0, 0, 0); }},
        {"short stride", [&] { return o.Overlay1Bit(dst.data(), 9, 8, 1, src.data(), 8, 8, 1, 0, 0, 0); }},
        {"null palette",
         [&] { return o.Overlay1BitOn8Bit(dst.data(), 8, 8, 8, src.data(), 8, 8, 1, 0, 0, 4, nullptr, pair.data()); }},
        {"null colour pair",
         [&] { return o.Overlay1BitOn8Bit(dst.data(), 8, 8, 8, src.data(), 8, 8, 1, 0, 0, 4, pal.data(), nullptr); }},
        {"empty palette",
         [&] { return o.Overlay1BitOn8Bit(dst.data(), 8, 8, 8, src.data(), 8, 8, 1, 0, 0, 0, pal.data(), pair.data()); }},
        {"coverage on 4 channels",
         [&] { return o.BlendColorThroughMask(dst.data(), 4, 4, 4, 16, src.data(), 4, 4, 4, 0, 0, 0, 0); }},
        {"negative mask height",
         [&] { return o.BlendColorThroughMaskRGBA(dst.data(), 4, 4, 16, src.data(), 4, -4, 4, 0, 0, 0, 0); }},
        {"null palette of a frame",
         [&] { return o.Overlay8BitOnRGBA(dst.data(), 4, 4, 16, src.data(), 4, 4, 4, nullptr, 0, 0, -1, 0); }},
        {"null colour pair of two colours",
         [&] {
             VovIredev::CPicImgBufExtern<uint8_t> d(4, 4, 3, 12, dst.data()), m(4, 4, 0, 1, src.data());
             return o.Overlay1BitTwoColors(d, m, 0, 0, nullptr, 0);
         }},
        {"two colours on 2 channels",
         [&] {
             VovIredev::CPicImgBufExtern<uint8_t> d(4, 4, 2, 8, dst.data()), m(4, 4, 0, 1, src.data());
             return o.Overlay1BitTwoColors(d, m, 0, 0, pair.data(), 0);
         }},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.call(), 0) << c.what;
        EXPECT_EQ(o.status, 5) << c.what;
        EXPECT_EQ(dst, Bytes(256, 1)) << c.what;
    }
}

}  // namespace
