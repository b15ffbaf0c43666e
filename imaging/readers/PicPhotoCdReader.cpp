#include "imaging/readers/PicPhotoCdReader.h"

#include <algorithm>
#include <cstring>

#include "framework/base/WipedMemory.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicSizes.h"
#include "imaging/readers/PicDibBuilder.h"

namespace {

constexpr uint32_t kSector = 2048;
constexpr uint32_t kHeaderBytes = 3 * kSector;
constexpr uint32_t kRotationOffset = 3586;

// ---- display curves: the fixed rows; straight lines between them ----

struct CurvePoint {
    uint16_t index;
    uint8_t value;
};
const CurvePoint kCurve0[] = {{0, 0},     {29, 29},    {50, 49},    {100, 101}, {140, 143}, {150, 153},
                              {200, 199}, {250, 233}, {300, 249}, {344, 255}, {350, 255}};
const CurvePoint kCurve1[] = {{0, 0},     {30, 30},    {50, 52},    {100, 107}, {135, 144}, {150, 159},
                              {200, 206}, {250, 241}, {300, 254}, {319, 255}, {350, 255}};

template <size_t N>
uint8_t Interpolate(const CurvePoint (&points)[N], uint32_t index) {
    for (size_t i = 1; i < N; ++i) {
        if (index > points[i].index) continue;
        uint32_t x0 = points[i - 1].index, x1 = points[i].index;
        uint32_t y0 = points[i - 1].value, y1 = points[i].value;
        return (uint8_t)(y0 + ((y1 - y0) * (index - x0) + (x1 - x0) / 2) / (x1 - x0));
    }
    return 255;
}

// ---- planes ----

struct Plane {
    WipedBytes bytes;
    uint8_t* Row(uint64_t y, uint64_t stride) { return bytes.data() + y * stride; }
};

// Doubles a w x h plane in place to 2w x 2h (row stride s): samples between
// two take their rounded mean.
void Enlarge(uint8_t* p, uint32_t w, uint32_t h, uint64_t s) {
    for (uint32_t i = h; i-- > 0;) {
        const uint8_t* src = p + i * s;
        uint8_t* dst = p + 2ull * i * s;
        dst[2 * w - 1] = dst[2 * w - 2] = src[w - 1];
        for (uint32_t x = w - 1; x-- > 0;) {
            uint8_t a = src[x], b = src[x + 1];
            dst[2 * x + 1] = (uint8_t)((a + b + 1) / 2);
            dst[2 * x] = a;
        }
    }
    for (uint32_t i = 0; i + 1 < h; ++i) {
        uint8_t* q = p + 2ull * i * s;
        const uint8_t* r = q + 2 * s;
        uint8_t* o = q + s;
        for (uint32_t x = 0; x + 2 < 2 * w; x += 2) {
            o[x] = (uint8_t)((q[x] + r[x] + 1) / 2);
            o[x + 1] = (uint8_t)((q[x] + q[x + 2] + r[x] + r[x + 2] + 2) / 4);
        }
        for (uint32_t x = 2 * w - 2; x < 2 * w; ++x) o[x] = (uint8_t)((q[x] + r[x] + 1) / 2);
    }
    memcpy(p + (2ull * h - 1) * s, p + (2ull * h - 2) * s, 2ull * w);
}

// ---- residuals ----

struct HuffmanEntry {
    uint32_t length;
    uint32_t code;  // left-aligned in 32 bits
    int32_t delta;
};

// The residual bits: read in blocks of a sector into a 32-bit register that
// is filled from its most significant end.
class ResidualBits {
public:
    explicit ResidualBits(CPicIO& source) : m_source(source) { Fill(); }

    uint32_t reg = 0;
    // No bit of the data is left in the register.
    bool Exhausted() const { return m_bits <= 0; }
    void Drop(uint32_t n) {
        reg = n >= 32 ? 0 : reg << n;
        m_bits -= (int32_t)n;
        Fill();
    }
    uint8_t TakeByte() {
        uint8_t b = (uint8_t)(reg >> 24);
        Drop(8);
        return b;
    }
    // Every step of the search tests the end of the data: a section
    // without a sync ends instead of spinning.
    bool FindSync() {
        while ((reg & 0x00FFF000) != 0x00FFF000) {
            if (Exhausted()) return false;
            Drop(8);
        }
        while ((reg & 0xFFFFFF00) != 0xFFFFFE00) {
            if (Exhausted()) return false;
            Drop(1);
        }
        return true;
    }

private:
    void Fill() {
        while (m_bits <= 24) {
            if (m_at == m_length) {
                m_length = m_ended ? 0 : m_source.Read(m_block, kSector);
                m_at = 0;
                if (m_length == 0) {
                    m_ended = true;
                    return;
                }
            }
            int32_t shift = 24 - std::max(m_bits, 0);
            reg |= (uint32_t)m_block[m_at++] << shift;
            m_bits = std::max(m_bits, 0) + 8;
        }
    }

    CPicIO& m_source;
    uint8_t m_block[kSector];
    uint32_t m_length = 0;
    uint32_t m_at = 0;
    int32_t m_bits = 0;
    bool m_ended = false;
};

bool ReadTable(CPicReaderContext& context, ResidualBits& bits, std::vector<HuffmanEntry>& table) {
    uint32_t count = (uint32_t)bits.TakeByte() + 1;
    table.resize(count);
    for (HuffmanEntry& e : table) {
        e.length = (uint32_t)bits.TakeByte() + 1;
        if (e.length > 16) return context.Fail(PIC_ERR_BAD_PCD);
        uint32_t high = bits.TakeByte();
        e.code = (high << 8 | bits.TakeByte()) << 16;
        e.delta = (int8_t)bits.TakeByte();
    }
    return true;
}

const HuffmanEntry* Match(const std::vector<HuffmanEntry>& table, uint32_t reg) {
    for (const HuffmanEntry& e : table) {
        uint32_t mask = ~0u << (32 - e.length);
        if ((reg & mask) == (e.code & mask)) return &e;
    }
    return nullptr;
}

// Adds the residuals of one level to the planes; rows from `stopRow` on
// end the pass, as does the end of the data.
bool ResidualPass(CPicReaderContext& context, CPicIO& source, Plane* planes, uint64_t stride, uint64_t planeBytes,
                  uint32_t stopRow, uint32_t tableCount) {
    ResidualBits bits(source);
    std::vector<HuffmanEntry> tables[3];
    for (uint32_t t = 0; t < tableCount; ++t)
        if (!ReadTable(context, bits, tables[t])) return false;
    if (!bits.FindSync()) return true;
    while (!bits.Exhausted()) {
        bits.Drop(16);
        uint32_t row = (bits.reg >> 9) & 0x1FFF;
        if (row >= stopRow) return true;
        bits.Drop(8);
        uint32_t plane = bits.reg >> 30;
        bits.Drop(16);
        if (plane == 1) return context.Fail(PIC_ERR_BAD_PCD);
        uint32_t index = plane == 0 ? 0 : plane - 1;  // Y, C1, C2
        uint8_t* samples = planes[index].bytes.data();
        uint64_t at = (plane == 0 ? row : row / 2) * stride;
        const std::vector<HuffmanEntry>& table = tables[index];
        for (;;) {
            if (bits.Exhausted()) return true;
            if ((bits.reg & 0xFFFFFF00) == 0xFFFFFE00) break;  // the next row
            const HuffmanEntry* e = Match(table, bits.reg);
            if (e == nullptr) {
                if (!bits.FindSync()) return true;
                break;
            }
            if (at < planeBytes) samples[at] = (uint8_t)std::clamp((int32_t)samples[at] + e->delta, 0, 255);
            ++at;
            bits.Drop(e->length);
        }
    }
    return true;
}

// ---- conversion ----

struct YccVariant {
    double luma;
    double red;     // × (C2 − 137)
    double greenC1; // × (C1 − 156)
    double greenC2; // × (C2 − 137)
    double blue;    // × (C1 − 156)
};
const YccVariant kVariants[2] = {{1.402, 1.88, 0.444066, 0.95692, 2.289},
                                 {1.3584, 1.8215, 0.4302726, 0.9271435, 2.2179}};

bool ConvertToRgb(CPicReaderContext& context, uint8_t* pixels, uint32_t width, uint32_t height, uint32_t variant) {
    if (variant > 1) return context.Fail(PIC_ERR_UNSUPPORTED);
    const YccVariant& v = kVariants[variant];
    // Per input byte its share of red, green and blue.
    std::vector<double> fromY(3 * 256), fromC1(3 * 256), fromC2(3 * 256);
    for (int i = 0; i < 256; ++i) {
        fromY[3 * i] = fromY[3 * i + 1] = fromY[3 * i + 2] = v.luma * i;
        fromC1[3 * i] = 0.0;
        fromC1[3 * i + 1] = -v.greenC1 * (i - 156);
        fromC1[3 * i + 2] = v.blue * (i - 156);
        fromC2[3 * i] = v.red * (i - 137);
        fromC2[3 * i + 1] = -v.greenC2 * (i - 137);
        fromC2[3 * i + 2] = 0.0;
    }
    uint8_t curve[351];
    for (uint32_t i = 0; i <= 350; ++i) curve[i] = PicPhotoCdCurve(variant, i);
    CPicProgress progress;
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* p = pixels + PicRowOffset(y, 3ull * width);
        for (uint32_t x = 0; x < width; ++x, p += 3) {
            uint32_t l = p[0], c1 = p[1], c2 = p[2];
            for (int c = 0; c < 3; ++c) {
                double sum = fromY[3 * l + c] + fromC1[3 * c1 + c] + fromC2[3 * c2 + c];
                p[c] = curve[(uint32_t)std::clamp(sum, 0.0, 350.0)];
            }
        }
        if (!PicReportRow(context, progress, y, height)) return false;
    }
    return true;
}

struct PackHeader {
    uint32_t variant = 1;
    uint32_t rotation = 0;
};

bool ReadPackHeader(CPicReaderContext& context, CPicIO& source, PackHeader& pack) {
    WipedBytes header(kHeaderBytes, 0);
    if (!source.ReadExact(header.data(), kHeaderBytes)) return context.Fail(PIC_ERR_BAD_PCD);
    if (memcmp(header.data(), "PCD_OPA", 7) == 0) return context.Fail(PIC_ERR_PCD_OVERVIEW);
    if (memcmp(header.data() + kSector, "PCD", 3) != 0) return context.Fail(PIC_ERR_BAD_PCD);
    pack.variant = memcmp(header.data() + kSector, "PCDS", 4) == 0 ? 0 : 1;
    pack.rotation = header[kRotationOffset] & 3;
    return true;
}

// Reads the base image of bw x bh into the planes: row pairs of luminance,
// then one row each of the two half-width chroma planes.
bool ReadBase(CPicReaderContext& context, CPicIO& source, Plane* planes, uint64_t stride, uint32_t bw, uint32_t bh) {
    if ((uint64_t)bw * bh * 3 / 2 > source.BytesLeft()) return context.Fail(PIC_ERR_FILE_READ);
    for (uint32_t pair = 0; pair < bh / 2; ++pair) {
        if (!source.ReadExact(planes[0].Row(2ull * pair, stride), bw) ||
            !source.ReadExact(planes[0].Row(2ull * pair + 1, stride), bw) ||
            !source.ReadExact(planes[1].Row(pair, stride), bw / 2) ||
            !source.ReadExact(planes[2].Row(pair, stride), bw / 2))
            return context.Fail(PIC_ERR_FILE_READ);
    }
    return true;
}

bool SeekForward(CPicReaderContext& context, CPicIO& source, uint64_t bytes) {
    return source.Seek((int64_t)bytes, 1) || context.Fail(PIC_ERR_FILE_READ);
}

// Decodes the sub-image into width x height red-green-blue pixels of a block
// from `allocate`; false with the code, the block (if any) filled as far as it came.
template <class Allocate>
uint8_t* DecodePack(CPicReaderContext& context, CPicIO& source, int32_t subImage, uint32_t& width, uint32_t& height,
                    uint32_t& rotation, Allocate&& allocate) {
    PackHeader pack;
    if (!ReadPackHeader(context, source, pack)) return nullptr;
    uint32_t level = (uint32_t)std::clamp(subImage, 1, 6);
    uint32_t baseLevel = std::min(level, 3u);
    uint32_t bw = 192u << (baseLevel - 1), bh = 128u << (baseLevel - 1);
    width = bw << (level - baseLevel);
    height = bh << (level - baseLevel);
    uint64_t pixels = (uint64_t)width * height;
    if (!PicCheckDeclaredImage(context, width, height, 3 * pixels, PIC_ERR_BAD_PCD)) return nullptr;
    static const uint32_t kBaseSkip[3] = {1, 20, 93};
    if (!SeekForward(context, source, (uint64_t)kBaseSkip[baseLevel - 1] * kSector)) return nullptr;
    Plane planes[3];
    for (Plane& p : planes) p.bytes.assign((size_t)pixels + 1, 0);
    uint64_t s = width;
    if (!ReadBase(context, source, planes, s, bw, bh)) return nullptr;
    if (level >= 4) {
        Enlarge(planes[0].bytes.data(), 768, 512, s);
        Enlarge(planes[1].bytes.data(), 384, 256, s);
        Enlarge(planes[2].bytes.data(), 384, 256, s);
        if (!SeekForward(context, source, 4ull * kSector) ||
            !ResidualPass(context, source, planes, s, pixels + 1, 1024, 1))
            return nullptr;
    }
    if (level >= 5) {
        Enlarge(planes[0].bytes.data(), 1536, 1024, s);
        Enlarge(planes[1].bytes.data(), 768, 512, s);
        Enlarge(planes[2].bytes.data(), 768, 512, s);
        uint64_t position = 0;
        if (!source.Tell(&position) || !source.Seek((int64_t)((position / kSector + 12) * kSector), 0))
            return context.Fail(PIC_ERR_FILE_READ), nullptr;
        if (!ResidualPass(context, source, planes, s, pixels + 1, 2048, 3)) return nullptr;
    }
    if (level >= 6) {
        Enlarge(planes[0].bytes.data(), 3072, 2048, s);
        Enlarge(planes[1].bytes.data(), 1536, 1024, s);
        Enlarge(planes[2].bytes.data(), 1536, 1024, s);
    }
    Enlarge(planes[1].bytes.data(), width / 2, height / 2, s);
    Enlarge(planes[2].bytes.data(), width / 2, height / 2, s);
    uint8_t* out = allocate(3 * pixels);
    if (out == nullptr) return nullptr;
    for (uint64_t i = 0; i < pixels; ++i) {
        out[3 * i] = planes[0].bytes[i];
        out[3 * i + 1] = planes[1].bytes[i];
        out[3 * i + 2] = planes[2].bytes[i];
    }
    for (Plane& p : planes) WipedBytes().swap(p.bytes);  // the planes go before the conversion's tables come
    if (!ConvertToRgb(context, out, width, height, pack.variant)) return out;
    rotation = pack.rotation;
    if (rotation != 0) {
        static const uint32_t kTurn[4] = {0, 2, 1, 0};  // counter-clockwise, half, clockwise
        CPicOperation op;
        if (!op.RotateUCharInPlace(out, width, height, kTurn[rotation], 3)) {
            context.Fail(op.status);
            return out;
        }
        if (rotation != 2) std::swap(width, height);
    }
    return out;
}

}  // namespace

uint8_t PicPhotoCdCurve(uint32_t variant, uint32_t index) {
    index = std::min(index, 350u);
    return variant == 0 ? Interpolate(kCurve0, index) : Interpolate(kCurve1, index);
}

void* WINAPI pic_ReadPCD(CPicIO* source, int32_t* width, int32_t* height, int32_t subImage, uint32_t flags) {
    return PicReaderEntry("pic_ReadPCD", (void*)nullptr, source, [&](CPicReaderContext& context) -> void* {
        uint32_t w = 0, h = 0, rotation = 0;
        CPicReaderOutput output;
        if ((flags & PIC_READ_DIB) == 0) {
            uint8_t* rgb = DecodePack(context, *source, subImage, w, h, rotation, [&](uint64_t bytes) {
                return output.Allocate(context, bytes) ? output.Data() : nullptr;
            });
            if (rgb == nullptr) return nullptr;
            if (width != nullptr) *width = (int32_t)w;
            if (height != nullptr) *height = (int32_t)h;
            return output.HandOver();
        }
        WipedBytes pixels;
        uint8_t* rgb = DecodePack(context, *source, subImage, w, h, rotation, [&](uint64_t bytes) {
            pixels.assign((size_t)bytes, 0);
            return pixels.data();
        });
        if (rgb == nullptr) return nullptr;
        int32_t code = context.result;  // an unfinished conversion stays reported
        context.result = PIC_ERR_OK;
        if (!PicBuildDib(context, output, rgb, w, h, 3ull * w, 24, nullptr, 0)) return nullptr;
        context.result = code;
        if (width != nullptr) *width = (int32_t)w;
        if (height != nullptr) *height = (int32_t)h;
        return output.HandOver();
    });
}
