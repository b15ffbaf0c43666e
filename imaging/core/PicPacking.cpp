// Packed rows (1 to 8 bits per pixel, most significant bits first) to one
// byte per pixel and back.
#include <immintrin.h>

#include <cstring>

#include "imaging/core/PicConvert.h"
#include "imaging/core/PicCpuFeatures.h"
#include "imaging/core/PicLookupTables.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicSizes.h"

namespace {

struct NibbleTables {
    uint8_t fromNibbles[256][2];  // a byte of two 4-bit pixels
    uint8_t fromPairs[256][4];    // a byte of four 2-bit pixels
};
constexpr NibbleTables MakeNibbleTables() {
    NibbleTables t{};
    for (int b = 0; b < 256; ++b) {
        t.fromNibbles[b][0] = (uint8_t)(b >> 4);
        t.fromNibbles[b][1] = (uint8_t)(b & 15);
        for (int k = 0; k < 4; ++k) t.fromPairs[b][k] = (uint8_t)((b >> (6 - 2 * k)) & 3);
    }
    return t;
}
constexpr NibbleTables kNibbles = MakeNibbleTables();

void Unpack1Bit(const uint8_t* src, uint32_t width, uint8_t* dst) {
    const CPicLookupTables& tables = PicTables();
    uint32_t whole = width / 8;
    for (uint32_t i = 0; i < whole; ++i) memcpy(dst + 8 * (size_t)i, tables.unpack1Bit[src[i]], 8);
    if (uint32_t rest = width % 8) memcpy(dst + 8 * (size_t)whole, tables.unpack1Bit[src[whole]], rest);
}

template <uint32_t kPerByte, class Table>
void UnpackByTable(const uint8_t* src, uint32_t width, uint8_t* dst, const Table& table) {
    uint32_t whole = width / kPerByte;
    for (uint32_t i = 0; i < whole; ++i) memcpy(dst + kPerByte * (size_t)i, table[src[i]], kPerByte);
    if (uint32_t rest = width % kPerByte) memcpy(dst + kPerByte * (size_t)whole, table[src[whole]], rest);
}

// Any depth: successive fields of `bits` bits; a field that straddles two bytes
// takes its high part from the first.
void UnpackFields(const uint8_t* src, uint32_t width, uint32_t bits, uint8_t* dst) {
    const uint32_t mask = (1u << bits) - 1;
    uint64_t offset = 0;
    for (uint32_t i = 0; i < width; ++i, offset += bits) {
        size_t byte = (size_t)(offset / 8);
        uint32_t used = (uint32_t)(offset % 8) + bits;
        uint32_t window = (uint32_t)src[byte] << 8;
        if (used > 8) window |= src[byte + 1];
        dst[i] = (uint8_t)((window >> (16 - used)) & mask);
    }
}

void UnpackRow(const uint8_t* src, uint32_t width, uint32_t bits, uint8_t* dst) {
    switch (bits) {
    case 8: memcpy(dst, src, width); break;
    case 1: Unpack1Bit(src, width, dst); break;
    case 2: UnpackByTable<4>(src, width, dst, kNibbles.fromPairs); break;
    case 4: UnpackByTable<2>(src, width, dst, kNibbles.fromNibbles); break;
    default: UnpackFields(src, width, bits, dst); break;
    }
}

// Gathers packed pixels and writes a byte whenever eight bits are in.
class CBitWriter {
public:
    explicit CBitWriter(uint8_t* out) : m_out(out) {}
    bool Aligned() const { return m_count == 0; }
    uint8_t*& Out() { return m_out; }
    void Put(uint32_t value, uint32_t bits) {
        m_bits = (m_bits << bits) | (value & ((1u << bits) - 1));
        m_count += bits;
        if (m_count >= 8) {
            m_count -= 8;
            *m_out++ = (uint8_t)(m_bits >> m_count);
            m_bits &= (1u << m_count) - 1;
        }
    }
    // A partial byte is written left-aligned, its low bits zero.
    void Flush() {
        if (m_count > 0) *m_out++ = (uint8_t)(m_bits << (8 - m_count));
        m_bits = 0;
        m_count = 0;
    }

private:
    uint8_t* m_out;
    uint32_t m_bits = 0;
    uint32_t m_count = 0;
};

// 16 pixels of 1 bit per step: bit 0 of each byte moved to bit 7 and gathered;
// the gathered bits come first-pixel-lowest, so each byte is bit-reversed.
__attribute__((target("sse2"))) uint32_t Pack1BitSse2(const uint8_t* src, uint32_t width, uint8_t*& out) {
    const uint8_t* reversed = PicTables().reversedBits;
    uint32_t i = 0;
    for (; i + 16 <= width; i += 16) {
        __m128i v = _mm_slli_epi16(_mm_loadu_si128((const __m128i*)(src + i)), 7);
        uint32_t bits = (uint32_t)_mm_movemask_epi8(v);
        *out++ = reversed[bits & 0xFF];
        *out++ = reversed[bits >> 8];
    }
    return i;
}

// 16 pixels of 4 bits per step: each pair (first, second) becomes first << 4 | second.
__attribute__((target("sse2"))) uint32_t Pack4BitSse2(const uint8_t* src, uint32_t width, uint8_t*& out) {
    const __m128i nibbles = _mm_set1_epi8(0x0F);
    const __m128i highNibble = _mm_set1_epi16(0xF0);
    uint32_t i = 0;
    for (; i + 32 <= width; i += 32) {
        __m128i packed[2];
        for (int k = 0; k < 2; ++k) {
            __m128i pairs = _mm_and_si128(_mm_loadu_si128((const __m128i*)(src + i + 16 * k)), nibbles);
            packed[k] = _mm_or_si128(_mm_and_si128(_mm_slli_epi16(pairs, 4), highNibble), _mm_srli_epi16(pairs, 8));
        }
        _mm_storeu_si128((__m128i*)out, _mm_packus_epi16(packed[0], packed[1]));
        out += 16;
    }
    return i;
}

void PackRow(const uint8_t* src, uint32_t width, uint32_t bits, CBitWriter& writer) {
    uint32_t i = 0;
    const bool sse2 = PicHasCpuFeature(PIC_CPU_SSE2);
    if (bits == 8 && writer.Aligned()) {
        memcpy(writer.Out(), src, width);
        writer.Out() += width;
        return;
    }
    if (bits == 1 && writer.Aligned()) {
        uint8_t*& out = writer.Out();
        if (sse2) i = Pack1BitSse2(src, width, out);
        for (; i + 8 <= width; i += 8) {
            const uint8_t* s = src + i;
            *out++ = (uint8_t)(((s[0] & 1) << 7) | ((s[1] & 1) << 6) | ((s[2] & 1) << 5) | ((s[3] & 1) << 4) |
                               ((s[4] & 1) << 3) | ((s[5] & 1) << 2) | ((s[6] & 1) << 1) | (s[7] & 1));
        }
    } else if (bits == 4 && writer.Aligned()) {
        uint8_t*& out = writer.Out();
        if (sse2) i = Pack4BitSse2(src, width, out);
        for (; i + 2 <= width; i += 2) *out++ = (uint8_t)(((src[i] & 15) << 4) | (src[i + 1] & 15));
    }
    for (; i < width; ++i) writer.Put(src[i], bits);
}

}  // namespace

BOOL CPicOperation::UnpackRowTo8Bit(const uint8_t* src, uint32_t width, uint32_t bits, uint8_t* dst) {
    if (src == nullptr || dst == nullptr || bits < 1 || bits > 8) return Fail(PIC_ERR_BAD_PARAM);
    UnpackRow(src, width, bits, dst);
    return TRUE;
}

BOOL CPicOperation::UnpackBufferTo8Bit(const uint8_t* src, uint32_t width, uint32_t height, uint32_t srcStride,
                                       uint32_t bits, uint8_t* dst, uint32_t dstStride) {
    if (src == nullptr || dst == nullptr || bits < 1 || bits > 8 || width == 0 || height == 0 ||
        !PicStrideHoldsRow(srcStride, PicPackedRowBytes(width, bits), height) ||
        !PicStrideHoldsRow(dstStride, width, height))
        return Fail(PIC_ERR_BAD_PARAM);
    CPicCallDepthGuard depth;
    for (uint32_t y = 0; y < height; ++y)
        UnpackRow(src + PicRowOffset(y, srcStride), width, bits, dst + PicRowOffset(y, dstStride));
    return TRUE;
}

BOOL CPicOperation::PackRowsFrom8Bit(const uint8_t* src, uint32_t width, uint32_t rows, uint32_t srcStride,
                                     uint8_t* dst, uint32_t bits, bool eachRow, uint32_t dstStride) {
    if (src == nullptr || dst == nullptr || bits < 1 || bits > 8) return Fail(PIC_ERR_BAD_PARAM);
    if (eachRow && !PicStrideHoldsRow(dstStride, PicPackedRowBytes(width, bits), rows))
        return Fail(PIC_ERR_BAD_PARAM);
    CPicCallDepthGuard depth;
    CPicProgress progress;
    CBitWriter stream(dst);
    for (uint32_t y = 0; y < rows; ++y) {
        const uint8_t* row = src + PicRowOffset(y, srcStride);
        if (eachRow) {
            CBitWriter writer(dst + PicRowOffset(y, dstStride));
            PackRow(row, width, bits, writer);
            writer.Flush();
        } else {
            PackRow(row, width, bits, stream);
        }
        if (!progress.Report(y, rows)) return Cancelled();
    }
    stream.Flush();
    return TRUE;
}

void ExpandIndexRowTo8Bit(const uint8_t* src, uint8_t* dst, uint32_t width, uint32_t bits) {
    if (src == nullptr || dst == nullptr) return;
    if (bits == 1 || bits == 2 || bits == 4 || bits == 8) UnpackRow(src, width, bits, dst);
}

void Pack2BitRowTo4Bit(const uint8_t* src, uint8_t* dst, uint32_t bits, uint32_t width) {
    if (src == nullptr || dst == nullptr || bits != 2) return;
    for (uint32_t i = 0; i < width; i += 2) {
        uint8_t first = kNibbles.fromPairs[src[i / 4]][i % 4];
        uint8_t second = i + 1 < width ? kNibbles.fromPairs[src[(i + 1) / 4]][(i + 1) % 4] : 0;
        dst[i / 2] = (uint8_t)((first << 4) | second);
    }
}
