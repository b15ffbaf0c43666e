#include "imaging/readers/PicTgaReader.h"

#include <cstring>

#include "framework/base/WipedMemory.h"
#include "imaging/core/PicConvert.h"
#include "imaging/core/PicSizes.h"
#include "imaging/readers/PicDibBuilder.h"
#include "imaging/readers/PicReaderFrame.h"
#include "imaging/readers/PicSourceFeed.h"

namespace {

constexpr uint32_t kHeaderSize = 18;
constexpr uint32_t kFooterSize = 26;
constexpr uint32_t kExtensionSize = 495;
const char kFooterSignature[18] = "TRUEVISION-XFILE.";

struct TgaHeader {
    uint8_t idLength = 0;
    uint8_t mapType = 0;
    uint8_t imageType = 0;
    uint16_t mapFirst = 0;
    uint16_t mapLength = 0;
    uint8_t mapEntryBits = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t pixelBits = 0;
    uint8_t descriptor = 0;

    bool KnownType() const {
        return imageType == 1 || imageType == 2 || imageType == 3 || imageType == 9 || imageType == 10 ||
               imageType == 11;
    }
    bool Mapped() const { return imageType == 1 || imageType == 9; }
    bool Grey() const { return imageType == 3 || imageType == 11; }
    bool RunLength() const { return imageType >= 9; }
    bool HasMap() const { return mapType != 0; }
    bool TopDown() const { return (descriptor & 0x20) != 0; }
};

// Bytes of a colour value of this many bits; 0 for a size the format has not.
uint32_t ValueBytes(uint32_t bits) {
    switch (bits) {
    case 8: return 1;
    case 15:
    case 16: return 2;
    case 24: return 3;
    case 32: return 4;
    default: return 0;
    }
}

bool ReadHeader(CPicReaderContext& context, CPicIO& source, TgaHeader& h) {
    uint8_t b[kHeaderSize];
    if (!source.ReadExact(b, kHeaderSize)) return context.Fail(PIC_ERR_FILE_READ);
    h.idLength = b[0];
    h.mapType = b[1];
    h.imageType = b[2];
    h.mapFirst = (uint16_t)(b[3] | b[4] << 8);
    h.mapLength = (uint16_t)(b[5] | b[6] << 8);
    h.mapEntryBits = b[7];
    h.width = (uint16_t)(b[12] | b[13] << 8);
    h.height = (uint16_t)(b[14] | b[15] << 8);
    h.pixelBits = b[16];
    h.descriptor = b[17];
    return true;
}

// Blue, green, red, alpha of one stored value.
RGBQUAD DecodeValue(const uint8_t* v, uint32_t bytes, uint8_t alphaOf24) {
    switch (bytes) {
    case 1: return {v[0], v[0], v[0], 255};
    case 2: {
        uint32_t e = v[0] | v[1] << 8;
        return {(BYTE)((e & 0x1F) * 8), (BYTE)(((e >> 5) & 0x1F) * 8), (BYTE)(((e >> 10) & 0x1F) * 8), 255};
    }
    case 3: return {v[0], v[1], v[2], alphaOf24};
    default: return {v[0], v[1], v[2], v[3]};
    }
}

// The colour map: its entries go to palette entries first..first + length - 1
// (those below 256 are kept) and exactly its bytes are consumed. `count` is
// first + length, at most 256. 24-bit entries take alphaOf24.
bool ReadColourMap(CPicReaderContext& context, CPicSourceFeed& feed, const TgaHeader& h, RGBQUAD* palette,
                   uint32_t& count, uint8_t alphaOf24) {
    uint32_t entryBytes = ValueBytes(h.mapEntryBits);
    if (entryBytes == 0) return context.Fail(PIC_ERR_BAD_TGA);
    WipedBytes map((size_t)h.mapLength * entryBytes);
    if (!feed.ReadExact(map.data(), (uint32_t)map.size())) return context.Fail(PIC_ERR_FILE_READ);
    for (uint32_t i = 0; i < h.mapLength && h.mapFirst + i < 256; ++i)
        palette[h.mapFirst + i] = DecodeValue(map.data() + (size_t)i * entryBytes, entryBytes, alphaOf24);
    count = std::min<uint32_t>((uint32_t)h.mapFirst + h.mapLength, 256);
    return true;
}

bool SkipImageId(CPicReaderContext& context, CPicSourceFeed& feed, const TgaHeader& h) {
    uint8_t id[255];
    return feed.ReadExact(id, h.idLength) || context.Fail(PIC_ERR_FILE_READ);
}

void GreyRamp(RGBQUAD* palette) {
    for (int i = 0; i < 256; ++i) palette[i] = {(BYTE)i, (BYTE)i, (BYTE)i, 255};
}

// The stored values of the image, one row at a time, from plain or
// run-length data; a run-length packet may go on into the next row.
class TgaValueRows {
public:
    TgaValueRows(CPicSourceFeed& feed, const TgaHeader& h)
        : m_feed(feed), m_runLength(h.RunLength()), m_bytes(ValueBytes(h.pixelBits)), m_width(h.width),
          m_row((size_t)h.width * m_bytes) {}

    // False (3) when the data end inside the row; what came stays in the row.
    bool Next(CPicReaderContext& context) {
        if (!m_runLength) return m_feed.ReadExact(m_row.data(), (uint32_t)m_row.size()) || context.Fail(PIC_ERR_FILE_READ);
        uint32_t filled = 0;
        while (filled < m_width) {
            if (m_left == 0) {
                uint8_t header;
                if (!m_feed.Byte(header)) return context.Fail(PIC_ERR_FILE_READ);
                m_isRun = header >= 128;
                m_left = (header & 0x7F) + 1u;
                if (m_isRun && !m_feed.ReadExact(m_runValue, m_bytes)) return context.Fail(PIC_ERR_FILE_READ);
            }
            uint32_t n = std::min(m_left, m_width - filled);
            uint8_t* at = m_row.data() + (size_t)filled * m_bytes;
            if (m_isRun) {
                Repeat(at, n);
            } else if (!m_feed.ReadExact(at, n * m_bytes)) {
                return context.Fail(PIC_ERR_FILE_READ);
            }
            m_left -= n;
            filled += n;
        }
        return true;
    }
    const uint8_t* Row() const { return m_row.data(); }

private:
    // The run's value n times from `at`.
    void Repeat(uint8_t* at, uint32_t n) const {
        switch (m_bytes) {
        case 1: memset(at, m_runValue[0], n); break;
        case 2:
            for (uint32_t i = 0; i < n; ++i, at += 2) at[0] = m_runValue[0], at[1] = m_runValue[1];
            break;
        case 3:
            for (uint32_t i = 0; i < n; ++i, at += 3) at[0] = m_runValue[0], at[1] = m_runValue[1], at[2] = m_runValue[2];
            break;
        default: {
            uint32_t value;
            memcpy(&value, m_runValue, 4);
            for (uint32_t i = 0; i < n; ++i, at += 4) memcpy(at, &value, 4);
        }
        }
    }

public:
    uint32_t ValueSize() const { return m_bytes; }

private:
    CPicSourceFeed& m_feed;
    bool m_runLength;
    uint32_t m_bytes;
    uint32_t m_width;
    WipedBytes m_row;
    uint32_t m_left = 0;
    bool m_isRun = false;
    uint8_t m_runValue[4] = {};
};

// Looks at the footer and the extension area; neither changes the image, so
// a footer that cannot be read or points nowhere is only traced.
void LookAtFooter(CPicIO& source) {
    uint8_t footer[kFooterSize];
    if (!source.Seek(-(int64_t)kFooterSize, 2) || !source.ReadExact(footer, kFooterSize)) {
        PicTrace("TGA footer could not be read\n");
        return;
    }
    if (memcmp(footer + 8, kFooterSignature, sizeof kFooterSignature) != 0) return;
    PicTrace("Found TGA footer\n");
    uint32_t extension = footer[0] | footer[1] << 8 | footer[2] << 16 | (uint32_t)footer[3] << 24;
    uint32_t developer = footer[4] | footer[5] << 8 | footer[6] << 16 | (uint32_t)footer[7] << 24;
    if (extension != 0) {
        uint8_t area[kExtensionSize];
        if (source.Seek(extension, 0) && source.ReadExact(area, kExtensionSize))
            PicTrace("Found TGA extension\n");
        else
            PicTrace("TGA extension offset points past the data\n");
    }
    if (developer != 0) PicTrace("TGA has developer ext\n");
}

struct TgaOutput {
    uint32_t bits;      // 8, 24 or 32
    uint64_t rowSize;
    uint64_t headerSize;  // of the packed bitmap, 0 without flag 2
    bool dib;
    bool blueFirst;
};

// Checks the declared image against the budget and the source, allocates
// the output and writes a packed bitmap's header.
bool Prepare(CPicReaderContext& context, CPicIO& source, const TgaHeader& h, const TgaOutput& out,
             const RGBQUAD* palette, CPicReaderOutput& output) {
    uint64_t bytes = out.headerSize + out.rowSize * h.height;
    uint64_t stored = (uint64_t)h.width * h.height * ValueBytes(h.pixelBits);
    if (!PicCheckDeclaredImage(context, h.width, h.height, bytes, PIC_ERR_BAD_TGA) ||
        !PicCheckCodedBytes(context, h.RunLength() ? (uint64_t)h.width * h.height : stored, source.BytesLeft(),
                            h.RunLength() ? PIC_EXPAND_RLE : PIC_EXPAND_RAW, PIC_ERR_BAD_TGA) ||
        !output.Allocate(context, bytes))
        return false;
    if (out.dib) {
        uint32_t colours = out.bits == 8 ? 256 : 0;
        PicWriteDibHeader(output.Data(), h.width, h.height, out.bits, colours, palette);
        BITMAPINFOHEADER* header = reinterpret_cast<BITMAPINFOHEADER*>(output.Data());
        header->biSizeImage = (DWORD)(out.rowSize * h.height);
    }
    return true;
}

// Decodes every row into the output, bottom-up files turned top-down (and
// the other way round for a packed bitmap); convert(values, outRow).
template <class Convert>
void DecodeRows(CPicReaderContext& context, CPicSourceFeed& feed, const TgaHeader& h, const TgaOutput& out,
                uint8_t* block, Convert&& convert) {
    TgaValueRows values(feed, h);
    CPicProgress progress;
    uint8_t* rows = block + out.headerSize;
    bool fillFromTop = h.TopDown() != out.dib;
    for (uint32_t y = 0; y < h.height; ++y) {
        uint32_t target = fillFromTop ? y : h.height - 1u - y;
        bool complete = values.Next(context);
        convert(values.Row(), rows + PicRowOffset(target, out.rowSize));
        if (!complete || !PicReportRow(context, progress, y, h.height)) return;
    }
}

void* ReadPaletteImage(CPicReaderContext& context, CPicIO& source, const TgaHeader& h, int32_t* width,
                       int32_t* height, RGBQUAD* palette, uint32_t flags) {
    bool dib = (flags & PIC_READ_DIB) != 0;
    if (dib && (flags & PIC_READ_DIB_ROWS)) return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
    if (h.pixelBits > 8) return context.Fail(PIC_ERR_BIT_DEPTH), nullptr;
    if (!h.Mapped() && !h.Grey()) return context.Fail(PIC_ERR_BIT_DEPTH), nullptr;
    if (h.pixelBits != 8) return context.Fail(PIC_ERR_BAD_TGA), nullptr;
    CPicSourceFeed feed(source);
    if (!SkipImageId(context, feed, h)) return nullptr;
    RGBQUAD table[256] = {};
    uint32_t count = 256;
    if (h.HasMap()) {
        if (!ReadColourMap(context, feed, h, table, count, 0)) return nullptr;
    } else if (h.Mapped()) {
        return context.Fail(PIC_ERR_BAD_TGA), nullptr;
    } else {
        GreyRamp(table);
    }
    if (palette != nullptr) memcpy(palette, table, sizeof table);
    TgaOutput out{8, dib ? PicDIBRowBytes(h.width, 8) : h.width, dib ? 40u + sizeof table : 0u, dib, false};
    if (flags & PIC_READ_DIB_ROWS) out.rowSize = PicPaddedRow(out.rowSize);
    CPicReaderOutput output;
    if (!Prepare(context, source, h, out, table, output)) return nullptr;
    // An index beyond the colour map reads entry 0.
    uint32_t limit = h.Mapped() ? count : 256;
    DecodeRows(context, feed, h, out, output.Data(), [&](const uint8_t* v, uint8_t* row) {
        for (uint32_t x = 0; x < h.width; ++x) row[x] = v[x] < limit ? v[x] : 0;
    });
    *width = h.width;
    *height = h.height;
    LookAtFooter(source);
    return output.HandOver();
}

void* ReadColourImage(CPicReaderContext& context, CPicIO& source, const TgaHeader& h, int32_t* width,
                      int32_t* height, int32_t bitsPerPixel, uint32_t flags) {
    bool dib = (flags & PIC_READ_DIB) != 0;
    uint32_t bits;
    if (dib) {
        if (flags & PIC_READ_DIB_ROWS) return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
        bits = h.pixelBits == 32 ? 32 : 24;
    } else {
        if (bitsPerPixel != 24 && bitsPerPixel != 32) return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
        bits = (uint32_t)bitsPerPixel;
    }
    uint32_t valueBytes = ValueBytes(h.pixelBits);
    if (h.pixelBits < 8 || valueBytes == 0 || !h.KnownType()) return context.Fail(PIC_ERR_BAD_TGA), nullptr;
    CPicSourceFeed feed(source);
    if (!SkipImageId(context, feed, h)) return nullptr;
    // 24-bit map entries are opaque here: they colour pixels, not a palette.
    RGBQUAD table[256] = {};
    uint32_t count = 0;
    if (h.HasMap() && !ReadColourMap(context, feed, h, table, count, 255)) return nullptr;
    bool lookUp = h.HasMap() && (h.Mapped() || h.imageType == 11);
    uint32_t pixelBytes = bits / 8;
    uint64_t rowBytes = (uint64_t)h.width * pixelBytes;
    TgaOutput out{bits, dib ? PicDIBRowBytes(h.width, bits) : rowBytes, dib ? 40u : 0u, dib,
                  dib || (flags & PIC_READ_DIB_ROWS) != 0};
    if (flags & PIC_READ_DIB_ROWS) out.rowSize = PicPaddedRow(out.rowSize);
    CPicReaderOutput output;
    if (!Prepare(context, source, h, out, nullptr, output)) return nullptr;
    uint32_t redAt = out.blueFirst ? 2 : 0, blueAt = out.blueFirst ? 0 : 2;
    DecodeRows(context, feed, h, out, output.Data(), [&](const uint8_t* v, uint8_t* row) {
        if (!lookUp && valueBytes == pixelBytes && valueBytes >= 3) {
            // Stored blue, green, red (, alpha): copied, or with red and blue exchanged.
            if (out.blueFirst) {
                memcpy(row, v, (size_t)h.width * pixelBytes);
            } else if (pixelBytes == 3) {
                CopySwapRB24(v, row, h.width);
            } else {
                memcpy(row, v, (size_t)h.width * 4);
                SwapRB32InPlace(row, h.width, 1);
            }
            return;
        }
        if (!lookUp && valueBytes == 3 && pixelBytes == 4 && !out.blueFirst) {
            for (uint32_t x = 0; x < h.width; ++x, v += 3, row += 4)
                row[0] = v[2], row[1] = v[1], row[2] = v[0], row[3] = 255;
            return;
        }
        for (uint32_t x = 0; x < h.width; ++x, v += valueBytes, row += pixelBytes) {
            RGBQUAD c;
            if (lookUp) {
                uint32_t index = v[0] | (valueBytes > 1 ? v[1] << 8 : 0);
                if (valueBytes > 2) index |= (uint32_t)v[2] << 16;  // never below 256: reads entry 0
                c = index < count ? table[index] : table[0];
            } else {
                c = DecodeValue(v, valueBytes, 255);
            }
            row[redAt] = c.rgbRed;
            row[1] = c.rgbGreen;
            row[blueAt] = c.rgbBlue;
            if (pixelBytes == 4) row[3] = c.rgbReserved;
        }
    });
    *width = h.width;
    *height = h.height;
    LookAtFooter(source);
    return output.HandOver();
}

bool ReadPaletteOnly(CPicReaderContext& context, CPicIO& source, int32_t* count, RGBQUAD* palette) {
    TgaHeader h;
    if (!ReadHeader(context, source, h)) return false;
    if (h.pixelBits > 8) return context.Fail(PIC_ERR_BIT_DEPTH);
    if (!h.KnownType()) return context.Fail(PIC_ERR_BAD_TGA);
    *count = 0;
    memset(palette, 0, 256 * sizeof(RGBQUAD));
    CPicSourceFeed feed(source);
    if (!SkipImageId(context, feed, h)) return false;
    if (h.HasMap()) {
        uint32_t n = 0;
        if (!ReadColourMap(context, feed, h, palette, n, 0)) return false;
        for (uint32_t i = n; i < 256; ++i) palette[i] = palette[0];
        *count = (int32_t)n;
        return true;
    }
    if (!h.Grey()) return context.Fail(PIC_ERR_BAD_TGA);
    GreyRamp(palette);
    *count = 256;
    return true;
}

}  // namespace

BOOL WINAPI pic_GetTGADims(CPicIO* source, int32_t* width, int32_t* height, int32_t* bitsPerPixel, uint32_t) {
    return PicReaderEntry("pic_GetTGADims", FALSE, source, [&](CPicReaderContext& context) -> BOOL {
        if (width == nullptr || height == nullptr || bitsPerPixel == nullptr) return context.Fail(PIC_ERR_BAD_PARAM);
        TgaHeader h;
        if (!ReadHeader(context, *source, h)) return FALSE;
        if (h.pixelBits > 32 || !h.KnownType()) return context.Fail(PIC_ERR_BAD_TGA);
        *width = h.width;
        *height = h.height;
        *bitsPerPixel = h.pixelBits;
        return TRUE;
    });
}

BOOL WINAPI pic_GetTGAPalette(CPicIO* source, int32_t* count, RGBQUAD* palette, uint32_t) {
    return PicReaderEntry("pic_GetTGAPalette", FALSE, source, [&](CPicReaderContext& context) -> BOOL {
        if (count == nullptr || palette == nullptr) return context.Fail(PIC_ERR_BAD_PARAM);
        return ReadPaletteOnly(context, *source, count, palette);
    });
}

void* WINAPI pic_ReadTGA(CPicIO* source, int32_t* width, int32_t* height, int32_t bitsPerPixel, RGBQUAD* palette,
                         uint32_t flags) {
    return PicReaderEntry("pic_ReadTGA", (void*)nullptr, source, [&](CPicReaderContext& context) -> void* {
        int32_t ignored = 0;
        if (width == nullptr) width = &ignored;
        if (height == nullptr) height = &ignored;
        bool dib = (flags & PIC_READ_DIB) != 0;
        if (!dib && bitsPerPixel != 8 && bitsPerPixel != 24 && bitsPerPixel != 32)
            return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
        TgaHeader h;
        if (!ReadHeader(context, *source, h)) return nullptr;
        if ((dib && h.pixelBits <= 8) || (!dib && bitsPerPixel == 8)) {
            if (!dib && palette == nullptr) return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
            return ReadPaletteImage(context, *source, h, width, height, palette, flags);
        }
        return ReadColourImage(context, *source, h, width, height, bitsPerPixel, flags);
    });
}
