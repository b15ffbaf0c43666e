#include "imaging/readers/PicPcxReader.h"

#include <cstring>

#include "framework/base/WipedMemory.h"
#include "imaging/core/PicSizes.h"
#include "imaging/readers/PicDibBuilder.h"
#include "imaging/readers/PicSourceFeed.h"

namespace {

constexpr uint32_t kHeaderSize = 128;
constexpr uint32_t kPaletteTail = 769;  // marker 12 and 256 triplets at the end

struct PcxHeader {
    uint8_t version = 0;
    uint8_t bitsPerPlane = 0;
    uint16_t xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    uint16_t xDpi = 0, yDpi = 0;
    uint8_t triplets[48] = {};
    uint8_t planes = 0;
    uint16_t bytesPerLine = 0;

    uint32_t Width() const { return (uint32_t)xmax - xmin + 1; }
    uint32_t Height() const { return (uint32_t)ymax - ymin + 1; }
    uint32_t Depth() const { return (uint32_t)planes * bitsPerPlane; }
    uint32_t LineBytes() const { return (uint32_t)bytesPerLine * planes; }
};

// The plane and bit layouts PCX writers use; any other would leave the
// decoder without a meaning for its bits.
bool KnownLayout(uint32_t planes, uint32_t bits) {
    if (planes == 1) return bits == 1 || bits == 2 || bits == 4 || bits == 8;
    if (bits == 1) return planes >= 2 && planes <= 4;
    return planes == 3 && bits == 8;
}

uint16_t Get16(const uint8_t* p) { return (uint16_t)(p[0] | p[1] << 8); }

bool ReadHeader(CPicReaderContext& context, CPicIO& source, PcxHeader& h) {
    uint8_t b[kHeaderSize];
    if (!source.Rewind() || !source.ReadExact(b, kHeaderSize)) return context.Fail(PIC_ERR_BAD_PCX);
    h.version = b[1];
    h.bitsPerPlane = b[3];
    h.xmin = Get16(b + 4);
    h.ymin = Get16(b + 6);
    h.xmax = Get16(b + 8);
    h.ymax = Get16(b + 10);
    h.xDpi = Get16(b + 12);
    h.yDpi = Get16(b + 14);
    memcpy(h.triplets, b + 16, 48);
    h.planes = b[65];
    h.bytesPerLine = Get16(b + 66);
    if (b[0] != 10 || (h.version != 0 && h.version != 2 && h.version != 3 && h.version != 5))
        return context.Fail(PIC_ERR_BAD_PCX);
    if (h.xmax < h.xmin || h.ymax < h.ymin || h.Depth() == 0 || h.Depth() > 32 ||
        !KnownLayout(h.planes, h.bitsPerPlane))
        return context.Fail(PIC_ERR_BAD_PCX);
    // Every plane's line must hold the row's pixels.
    if (h.bytesPerLine < PicPackedRowBytes(h.Width(), h.bitsPerPlane)) return context.Fail(PIC_ERR_BAD_PCX);
    return true;
}

// The palette of an image of at most 8 bits (a grey ramp for 24-bit images).
void BuildPalette(CPicIO& source, const PcxHeader& h, RGBQUAD* palette) {
    for (int i = 0; i < 256; ++i) palette[i] = {(BYTE)i, (BYTE)i, (BYTE)i, 0};
    if (h.version == 5 && h.Depth() == 8) {
        uint8_t tail[kPaletteTail];
        if (source.Seek(-(int64_t)kPaletteTail, 2) && source.ReadExact(tail, kPaletteTail) && tail[0] == 12)
            for (int i = 0; i < 256; ++i) palette[i] = {tail[1 + 3 * i + 2], tail[1 + 3 * i + 1], tail[1 + 3 * i], 0};
    }
    if (h.Depth() >= 8) return;
    uint32_t used = 1u << h.Depth();
    if (h.Depth() == 1 && h.planes == 1) {
        palette[0] = {0, 0, 0, 0};
        palette[1] = {255, 255, 255, 0};
    } else {
        for (uint32_t i = 0; i < used && i < 16; ++i)
            palette[i] = {h.triplets[3 * i + 2], h.triplets[3 * i + 1], h.triplets[3 * i], 0};
    }
    for (uint32_t i = used; i < 256; ++i) palette[i] = palette[0];
}

// One scan line of all planes. A run that passes the end of the line is cut
// there; the data ending inside the line is 3.
bool DecodeLine(CPicReaderContext& context, CPicSourceFeed& feed, uint8_t* line, uint32_t size) {
    uint32_t at = 0;
    while (at < size) {
        uint8_t code, value;
        if (!feed.Byte(code)) return context.Fail(PIC_ERR_FILE_READ);
        if ((code & 0xC0) != 0xC0) {
            line[at++] = code;
            continue;
        }
        if (!feed.Byte(value)) return context.Fail(PIC_ERR_FILE_READ);
        uint32_t count = std::min<uint32_t>(code & 0x3F, size - at);
        memset(line + at, value, count);
        at += count;
    }
    return true;
}

// Pixel values of a line: packed bits of one plane, or bit i from plane i.
void LineToValues(const PcxHeader& h, const uint8_t* line, uint8_t* values, uint32_t width) {
    if (h.planes == 1) {
        uint32_t bits = h.bitsPerPlane;
        if (bits == 8) {
            memcpy(values, line, width);
            return;
        }
        uint32_t mask = (1u << bits) - 1;
        for (uint32_t x = 0; x < width; ++x) {
            uint32_t bit = x * bits;
            values[x] = (uint8_t)((line[bit / 8] >> (8 - bits - bit % 8)) & mask);
        }
        return;
    }
    for (uint32_t x = 0; x < width; ++x) {
        uint8_t v = 0;
        for (uint32_t p = 0; p < h.planes; ++p)
            v |= (uint8_t)(((line[p * h.bytesPerLine + x / 8] >> (7 - x % 8)) & 1) << p);
        values[x] = v;
    }
}

void* ReadPixels(CPicReaderContext& context, CPicIO& source, int32_t* width, int32_t* height, int32_t bitDepth,
                 RGBQUAD* palette, uint32_t flags) {
    bool dib = (flags & PIC_READ_DIB) != 0;
    bool padded = (flags & PIC_READ_DIB_ROWS) != 0;
    if (dib && padded) return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
    PcxHeader h;
    if (!ReadHeader(context, source, h)) return nullptr;
    uint32_t depth = h.Depth();
    uint32_t out;
    if (dib) {
        out = depth == 1 ? 1 : depth <= 8 ? 8 : 24;
    } else {
        if (bitDepth != 1 && bitDepth != 8 && bitDepth != 24) return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
        if (bitDepth != 24 && palette == nullptr) return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
        out = (uint32_t)bitDepth;
    }
    if (out < depth) return context.Fail(PIC_ERR_BIT_DEPTH), nullptr;
    RGBQUAD table[256];
    BuildPalette(source, h, table);
    if (!dib && out <= 8) memcpy(palette, table, sizeof table);
    uint32_t w = h.Width(), rows = h.Height();
    uint64_t stride = dib ? PicDIBRowBytes(w, out) : PicPackedRowBytes(w, out);
    if (padded) stride = PicPaddedRow(stride);
    uint32_t colours = !dib ? 0 : out == 1 ? 2 : out == 8 ? 256 : 0;
    uint64_t headerSize = dib ? sizeof(BITMAPINFOHEADER) + 4ull * colours : 0;
    if (!PicCheckDeclaredImage(context, w, rows, headerSize + stride * rows, PIC_ERR_BAD_PCX)) return nullptr;
    // To the pixels at 128: through the header's last byte, which is there
    // also when no pixel data follow.
    uint8_t last;
    if (!source.Seek(kHeaderSize - 1, 0) || !source.ReadExact(&last, 1)) return context.Fail(PIC_ERR_OUT_OF_MEMORY), nullptr;
    if (!PicCheckCodedBytes(context, (uint64_t)h.LineBytes() * rows, source.BytesLeft(), PIC_EXPAND_RLE,
                            PIC_ERR_BAD_PCX))
        return nullptr;
    CPicReaderOutput output;
    if (!output.Allocate(context, headerSize + stride * rows)) return nullptr;
    if (dib) PicWriteDibHeader(output.Data(), w, rows, out, colours, table);
    uint8_t* pixels = output.Data() + headerSize;
    WipedBytes line(h.LineBytes());
    WipedBytes values(w);
    bool blueFirst = dib || padded;
    CPicSourceFeed feed(source);
    CPicProgress progress;
    for (uint32_t y = 0; y < rows; ++y) {
        uint8_t* row = pixels + PicRowOffset(dib ? rows - 1 - y : y, stride);
        if (!DecodeLine(context, feed, line.data(), (uint32_t)line.size())) break;
        if (depth == 24) {
            const uint8_t* r = line.data();
            const uint8_t* g = r + h.bytesPerLine;
            const uint8_t* b = g + h.bytesPerLine;
            if (blueFirst) std::swap(r, b);
            for (uint32_t x = 0; x < w; ++x, row += 3) {
                row[0] = r[x];
                row[1] = g[x];
                row[2] = b[x];
            }
        } else if (out == 1) {
            memcpy(row, line.data(), (size_t)PicPackedRowBytes(w, 1));
        } else {
            LineToValues(h, line.data(), values.data(), w);
            if (out == 8) {
                memcpy(row, values.data(), w);
            } else {
                for (uint32_t x = 0; x < w; ++x, row += 3) {
                    const RGBQUAD& c = table[values[x]];
                    row[0] = blueFirst ? c.rgbBlue : c.rgbRed;
                    row[1] = c.rgbGreen;
                    row[2] = blueFirst ? c.rgbRed : c.rgbBlue;
                }
            }
        }
        if (!PicReportRow(context, progress, y, rows)) break;
    }
    *width = (int32_t)w;
    *height = (int32_t)rows;
    return output.HandOver();
}

}  // namespace

BOOL WINAPI pic_GetPCXDims(CPicIO* source, int32_t* width, int32_t* height, int32_t* bitsPerPixel,
                           PicResolutionInfo* resolution, uint32_t) {
    return PicReaderEntry("pic_GetPCXDims", FALSE, source, [&](CPicReaderContext& context) -> BOOL {
        if (width == nullptr || height == nullptr || bitsPerPixel == nullptr) return context.Fail(PIC_ERR_BAD_PARAM);
        PcxHeader h;
        if (!ReadHeader(context, *source, h)) return FALSE;
        *width = (int32_t)h.Width();
        *height = (int32_t)h.Height();
        *bitsPerPixel = (int32_t)h.Depth();
        if (resolution != nullptr) *resolution = {(double)h.xDpi, (double)h.yDpi, 0};
        return TRUE;
    });
}

BOOL WINAPI pic_GetPCXPalette(CPicIO* source, int32_t* colourCount, RGBQUAD* palette, uint32_t) {
    return PicReaderEntry("pic_GetPCXPalette", FALSE, source, [&](CPicReaderContext& context) -> BOOL {
        if (colourCount == nullptr || palette == nullptr) return context.Fail(PIC_ERR_BAD_PARAM);
        PcxHeader h;
        if (!ReadHeader(context, *source, h)) return FALSE;
        if (h.Depth() > 8) return context.Fail(PIC_ERR_BIT_DEPTH);
        BuildPalette(*source, h, palette);
        *colourCount = 256;
        return TRUE;
    });
}

void* WINAPI pic_ReadPCX(CPicIO* source, int32_t* width, int32_t* height, int32_t bitDepth, RGBQUAD* palette,
                         uint32_t flags) {
    return PicReaderEntry("pic_ReadPCX", (void*)nullptr, source, [&](CPicReaderContext& context) -> void* {
        int32_t ignored = 0;
        if (width == nullptr) width = &ignored;
        if (height == nullptr) height = &ignored;
        return ReadPixels(context, *source, width, height, bitDepth, palette, flags);
    });
}
