#include "imaging/readers/PicPsdReader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/base/WipedMemory.h"
#include "imaging/core/PicConvert.h"
#include "imaging/core/PicSizes.h"
#include "imaging/readers/PicDibBuilder.h"
#include "imaging/readers/PicPsdResources.h"

namespace {

constexpr uint32_t kHeaderSize = 26;
constexpr uint32_t kPaletteBytes = 768;

uint32_t Be16(const uint8_t* p) { return (uint32_t)(p[0] << 8 | p[1]); }
uint32_t Be32(const uint8_t* p) { return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3]; }

struct PsdHeader {
    uint32_t channels = 0;
    uint32_t height = 0;
    uint32_t width = 0;
    uint32_t depth = 0;
    int32_t mode = 0;
};

bool IsPaletteMode(int32_t mode) {
    return mode == PIC_PSD_BITMAP || mode == PIC_PSD_GREY || mode == PIC_PSD_INDEXED || mode == PIC_PSD_DUOTONE;
}

// Where a read puts its pixels: the caller's output block, or a wiped
// working block that a packed bitmap is built from.
class PsdTarget {
public:
    virtual ~PsdTarget() = default;
    virtual uint8_t* Allocate(CPicReaderContext& context, uint64_t bytes) = 0;
};

class OutputTarget : public PsdTarget {
public:
    uint8_t* Allocate(CPicReaderContext& context, uint64_t bytes) override {
        return output.Allocate(context, bytes) ? output.Data() : nullptr;
    }
    CPicReaderOutput output;
};

class WipedTarget : public PsdTarget {
public:
    uint8_t* Allocate(CPicReaderContext&, uint64_t bytes) override {
        pixels.assign((size_t)bytes, 0);
        return pixels.data();
    }
    WipedBytes pixels;
};

// One pass over a file: the header, the sections before the image data, and
// the stored rows of its planes in the order they come.
class PsdFile {
public:
    PsdFile(CPicReaderContext& context, CPicIO& source) : m_context(context), m_source(source) {}

    bool ReadHeader();
    // The colour-mode data; the palette the mode implies goes into palette.
    bool ReadColourModeData(RGBQUAD* palette);
    // The image resources, kept in `kept` when it is given.
    bool ReadResources(std::vector<uint8_t>* kept);
    bool SkipLayers();
    bool ReadCompression();
    bool ReadSectionsAfterHeader(RGBQUAD* palette) {
        return ReadColourModeData(palette) && ReadResources(nullptr) && SkipLayers() && ReadCompression();
    }
    // The mode's channel needs: RGB 3, CMYK 4, every other mode 1 (47).
    bool CheckChannels();

    // Prepares the rows of the first `planes` planes: the PackBits byte
    // counts, and the proof that the source can hold what they promise.
    bool BeginPlanes(uint32_t planes, uint64_t decodedBytes);
    // The next stored row, decoded to RowBytes() bytes; false (3) when short.
    bool NextRow(const uint8_t*& row);
    // Raw rows in memory are taken in any order: all planes of a row at once
    // fill each output row in one pass.
    bool RowsByPosition() const { return !packBits && m_source.mode == PIC_SOURCE_MEMORY; }
    bool RowAt(uint32_t plane, uint32_t y, const uint8_t*& row);
    uint64_t RowBytes() const {
        return header.depth == 1 ? ((uint64_t)header.width + 7) / 8 : (uint64_t)header.width * (header.depth / 8);
    }

    PsdHeader header;
    bool packBits = false;

private:
    bool Fail(int32_t code) { return m_context.Fail(code); }
    bool Skip(uint64_t bytes);
    // A section length, which the source must still hold (else 3).
    bool ReadLength(uint64_t& length);
    bool DecodePackBits(uint32_t count);

    CPicReaderContext& m_context;
    CPicIO& m_source;
    uint64_t m_dataStart = 0;
    std::vector<uint32_t> m_counts;
    uint64_t m_nextRow = 0;
    WipedBytes m_coded;
    WipedBytes m_row;
};

bool PsdFile::ReadHeader() {
    uint8_t bytes[kHeaderSize];
    if (!m_source.ReadExact(bytes, 6)) return Fail(PIC_ERR_FILE_READ);
    if (memcmp(bytes, "8BPS", 4) != 0 || Be16(bytes + 4) != 1) return Fail(PIC_ERR_BAD_PSD);
    if (!m_source.ReadExact(bytes + 6, kHeaderSize - 6)) return Fail(PIC_ERR_FILE_READ);
    header.channels = Be16(bytes + 12);
    header.height = Be32(bytes + 14);
    header.width = Be32(bytes + 18);
    header.depth = Be16(bytes + 22);
    header.mode = (int32_t)Be16(bytes + 24);
    return true;
}

bool PsdFile::Skip(uint64_t bytes) {
    if (bytes == 0) return true;
    if (bytes > m_source.BytesLeft() || !m_source.Seek((int64_t)bytes, 1)) return Fail(PIC_ERR_FILE_READ);
    return true;
}

bool PsdFile::ReadLength(uint64_t& length) {
    uint8_t bytes[4];
    if (!m_source.ReadExact(bytes, 4)) return Fail(PIC_ERR_FILE_READ);
    length = Be32(bytes);
    return length <= m_source.BytesLeft() || Fail(PIC_ERR_FILE_READ);
}

bool PsdFile::ReadColourModeData(RGBQUAD* palette) {
    uint64_t length = 0;
    if (!ReadLength(length)) return false;
    if (header.mode == PIC_PSD_BITMAP) {
        palette[0] = {255, 255, 255, 255};
        for (int i = 1; i < 256; ++i) palette[i] = {0, 0, 0, 0};
        return Skip(length);
    }
    if (header.mode == PIC_PSD_GREY || header.mode == PIC_PSD_INDEXED || header.mode == PIC_PSD_DUOTONE) {
        for (int i = 0; i < 256; ++i) palette[i] = {(BYTE)i, (BYTE)i, (BYTE)i, 0};
    }
    // A colour table is 768 bytes, red of all entries, then green, then blue;
    // a shorter section is not one (the ramp stays), a longer one carries more.
    if ((header.mode == PIC_PSD_GREY || header.mode == PIC_PSD_INDEXED) && length >= kPaletteBytes) {
        uint8_t table[kPaletteBytes];
        if (!m_source.ReadExact(table, kPaletteBytes)) return Fail(PIC_ERR_FILE_READ);
        for (int i = 0; i < 256; ++i) palette[i] = {table[512 + i], table[256 + i], table[i], 0};
        return Skip(length - kPaletteBytes);
    }
    return Skip(length);
}

bool PsdFile::ReadResources(std::vector<uint8_t>* kept) {
    uint64_t length = 0;
    if (!ReadLength(length)) return false;
    if (kept == nullptr) return Skip(length);
    kept->resize((size_t)length);
    return m_source.ReadExact(kept->data(), (uint32_t)length) || Fail(PIC_ERR_FILE_READ);
}

bool PsdFile::SkipLayers() {
    uint64_t length = 0;
    return ReadLength(length) && Skip(length);
}

bool PsdFile::ReadCompression() {
    uint8_t bytes[2];
    if (!m_source.ReadExact(bytes, 2)) return Fail(PIC_ERR_FILE_READ);
    uint32_t compression = Be16(bytes);
    if (compression > 1) return Fail(PIC_ERR_FILE_READ);
    packBits = compression == 1;
    return true;
}

bool PsdFile::CheckChannels() {
    uint32_t needed = header.mode == PIC_PSD_RGB ? 3 : header.mode == PIC_PSD_CMYK ? 4 : 1;
    return header.channels >= needed || Fail(PIC_ERR_PSD_UNSUPPORTED);
}

bool PsdFile::BeginPlanes(uint32_t planes, uint64_t decodedBytes) {
    uint64_t rowBytes = RowBytes();
    uint64_t rows = (uint64_t)planes * header.height;
    if (!packBits) {
        // Stored rows must all be there: a short file cannot ask for a huge block.
        if (rows * rowBytes > m_source.BytesLeft()) return Fail(PIC_ERR_FILE_READ);
    } else {
        uint64_t allRows = (uint64_t)header.channels * header.height;
        if (allRows * 2 > m_source.BytesLeft()) return Fail(PIC_ERR_FILE_READ);
        m_counts.resize((size_t)rows);
        uint8_t chunk[4096];
        uint32_t maxCount = 0;
        for (uint64_t i = 0; i < rows;) {
            uint32_t n = (uint32_t)std::min<uint64_t>(rows - i, sizeof chunk / 2);
            if (!m_source.ReadExact(chunk, 2 * n)) return Fail(PIC_ERR_FILE_READ);
            for (uint32_t k = 0; k < n; ++k, ++i) {
                m_counts[i] = Be16(chunk + 2 * k);
                maxCount = std::max(maxCount, m_counts[i]);
            }
        }
        if (!Skip((allRows - rows) * 2)) return false;
        if (!PicCheckCodedBytes(m_context, decodedBytes, m_source.BytesLeft(), PIC_EXPAND_RLE, PIC_ERR_FILE_READ))
            return false;
        m_coded.assign(std::max<uint32_t>(maxCount, 1), 0);
    }
    m_row.assign((size_t)std::max<uint64_t>(rowBytes, 1), 0);
    m_nextRow = 0;
    return m_source.Tell(&m_dataStart) || Fail(PIC_ERR_FILE_READ);
}

bool PsdFile::RowAt(uint32_t plane, uint32_t y, const uint8_t*& row) {
    row = m_row.data();
    uint64_t at = m_dataStart + ((uint64_t)plane * header.height + y) * RowBytes();
    return (m_source.Seek((int64_t)at, 0) && m_source.ReadExact(m_row.data(), (uint32_t)RowBytes())) ||
           Fail(PIC_ERR_FILE_READ);
}

bool PsdFile::DecodePackBits(uint32_t count) {
    const uint8_t* in = m_coded.data();
    uint8_t* out = m_row.data();
    uint64_t wanted = RowBytes();
    uint64_t done = 0;
    uint32_t at = 0;
    std::fill(m_row.begin(), m_row.end(), 0);
    while (done < wanted && at < count) {
        int32_t n = (int8_t)in[at++];
        if (n >= 0) {
            uint32_t length = (uint32_t)n + 1;
            if (at + length > count) return Fail(PIC_ERR_FILE_READ);
            uint64_t fits = std::min<uint64_t>(length, wanted - done);
            memcpy(out + done, in + at, (size_t)fits);
            at += length;
            done += fits;
        } else if (n != -128) {
            if (at >= count) return Fail(PIC_ERR_FILE_READ);
            uint64_t fits = std::min<uint64_t>((uint64_t)(1 - n), wanted - done);
            memset(out + done, in[at++], (size_t)fits);
            done += fits;
        }
    }
    return true;
}

bool PsdFile::NextRow(const uint8_t*& row) {
    row = m_row.data();
    if (!packBits) return m_source.ReadExact(m_row.data(), (uint32_t)RowBytes()) || Fail(PIC_ERR_FILE_READ);
    if (m_nextRow >= m_counts.size()) return Fail(PIC_ERR_FILE_READ);
    uint32_t count = m_counts[m_nextRow++];
    if (!m_source.ReadExact(m_coded.data(), count)) return Fail(PIC_ERR_FILE_READ);
    return DecodePackBits(count);
}

// ---- 8-bit indices ----

// What the 8-bit output takes: bitmap files at 1 bit, grey, indexed and
// duotone files at 8 or 16 bits (the high byte), PackBits only at 1 or 8.
bool CheckIndexedFile(CPicReaderContext& context, const PsdFile& psd) {
    const PsdHeader& h = psd.header;
    if (h.depth != 1 && h.depth != 8 && h.depth != 16) return context.Fail(PIC_ERR_PSD_UNSUPPORTED);
    if (!IsPaletteMode(h.mode)) return context.Fail(PIC_ERR_PSD_UNSUPPORTED);
    if ((h.mode == PIC_PSD_BITMAP) != (h.depth == 1)) return context.Fail(PIC_ERR_PSD_UNSUPPORTED);
    if (psd.packBits && h.depth == 16)
        return context.Fail(h.mode == PIC_PSD_GREY ? PIC_ERR_BAD_PSD : PIC_ERR_UNSUPPORTED);
    return true;
}

// Decodes the first plane into width x height indices (1 = black for bitmaps).
bool DecodeIndices(CPicReaderContext& context, PsdFile& psd, uint8_t* out) {
    const PsdHeader& h = psd.header;
    CPicProgress progress;
    for (uint32_t y = 0; y < h.height; ++y) {
        const uint8_t* row;
        if (!psd.NextRow(row)) return false;
        uint8_t* o = out + PicRowOffset(y, h.width);
        if (h.depth == 1)
            for (uint32_t x = 0; x < h.width; ++x) o[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
        else if (h.depth == 8)
            memcpy(o, row, h.width);
        else
            for (uint32_t x = 0; x < h.width; ++x) o[x] = row[2 * x];
        if (!PicReportRow(context, progress, y, h.height)) return false;
    }
    return true;
}

// Header to indices in a block from the target. Null before anything is
// decoded; after a failure the rows decoded so far.
uint8_t* ReadIndices(CPicReaderContext& context, PsdFile& psd, RGBQUAD* palette, PsdTarget& target) {
    if (!psd.ReadHeader() || !psd.CheckChannels()) return nullptr;
    if (psd.header.depth != 1 && psd.header.depth != 8 && psd.header.depth != 16)
        return context.Fail(PIC_ERR_PSD_UNSUPPORTED), nullptr;
    if (!IsPaletteMode(psd.header.mode)) return context.Fail(PIC_ERR_PSD_UNSUPPORTED), nullptr;
    if (!psd.ReadSectionsAfterHeader(palette) || !CheckIndexedFile(context, psd)) return nullptr;
    uint64_t pixels = (uint64_t)psd.header.width * psd.header.height;
    if (!PicCheckDeclaredImage(context, psd.header.width, psd.header.height, pixels, PIC_ERR_BAD_PSD) ||
        !psd.BeginPlanes(1, pixels))
        return nullptr;
    uint8_t* out = target.Allocate(context, pixels);
    if (out == nullptr) return nullptr;
    DecodeIndices(context, psd, out);
    return out;
}

// ---- colour ----

// Merges the first `planes` planes into pixels of `planes` bytes (8-bit
// samples, or the high byte of 16-bit ones).
bool MergePlanes(CPicReaderContext& context, PsdFile& psd, uint32_t planes, uint8_t* out) {
    const PsdHeader& h = psd.header;
    CPicProgress progress;
    uint32_t total = planes * h.height;
    uint32_t sampleBytes = h.depth / 8;
    uint64_t stride = (uint64_t)h.width * planes;
    if (psd.RowsByPosition()) {
        for (uint32_t y = 0, done = 0; y < h.height; ++y) {
            for (uint32_t p = 0; p < planes; ++p, ++done) {
                const uint8_t* row;
                if (!psd.RowAt(p, y, row)) return false;
                uint8_t* o = out + PicRowOffset(y, stride) + p;
                for (uint32_t x = 0; x < h.width; ++x) o[(uint64_t)x * planes] = row[(uint64_t)x * sampleBytes];
                if (!PicReportRow(context, progress, done, total)) return false;
            }
        }
        return true;
    }
    for (uint32_t p = 0; p < planes; ++p) {
        for (uint32_t y = 0; y < h.height; ++y) {
            const uint8_t* row;
            if (!psd.NextRow(row)) return false;
            uint8_t* o = out + PicRowOffset(y, stride) + p;
            for (uint32_t x = 0; x < h.width; ++x) o[(uint64_t)x * planes] = row[(uint64_t)x * sampleBytes];
            if (!PicReportRow(context, progress, p * h.height + y, total)) return false;
        }
    }
    return true;
}

// Red, green, blue (or the CMYK channels as stored with keepCmyk) from any
// mode the colour output takes.
uint8_t* ReadColour(CPicReaderContext& context, PsdFile& psd, bool keepCmyk, PsdTarget& target,
                    uint32_t& bytesPerPixel) {
    RGBQUAD palette[256] = {};
    if (!psd.ReadHeader() || !psd.CheckChannels()) return nullptr;
    const PsdHeader& h = psd.header;
    bytesPerPixel = 3;
    if (IsPaletteMode(h.mode)) {
        if (!psd.ReadSectionsAfterHeader(palette) || !CheckIndexedFile(context, psd)) return nullptr;
        uint64_t pixels = (uint64_t)h.width * h.height;
        if (!PicCheckDeclaredImage(context, h.width, h.height, 3 * pixels, PIC_ERR_BAD_PSD) ||
            !psd.BeginPlanes(1, pixels))
            return nullptr;
        WipedBytes indices((size_t)pixels, 0);
        uint8_t* out = target.Allocate(context, 3 * pixels);
        if (out == nullptr) return nullptr;
        DecodeIndices(context, psd, indices.data());  // what was decoded is converted also after a failure
        for (uint64_t i = 0; i < pixels; ++i) {
            const RGBQUAD& q = palette[indices[i]];
            out[3 * i] = q.rgbRed;
            out[3 * i + 1] = q.rgbGreen;
            out[3 * i + 2] = q.rgbBlue;
        }
        return out;
    }
    if (h.mode != PIC_PSD_RGB && h.mode != PIC_PSD_CMYK) return context.Fail(PIC_ERR_PSD_UNSUPPORTED), nullptr;
    if (h.depth != 8 && h.depth != 16) return context.Fail(PIC_ERR_PSD_UNSUPPORTED), nullptr;
    if (!psd.ReadSectionsAfterHeader(palette)) return nullptr;
    if (psd.packBits && h.depth == 16) return context.Fail(PIC_ERR_BAD_PSD), nullptr;
    uint32_t planes = h.mode == PIC_PSD_RGB ? 3 : 4;
    bytesPerPixel = h.mode == PIC_PSD_CMYK && keepCmyk ? 4 : 3;
    uint64_t pixels = (uint64_t)h.width * h.height;
    if (!PicCheckDeclaredImage(context, h.width, h.height, bytesPerPixel * pixels, PIC_ERR_BAD_PSD) ||
        !psd.BeginPlanes(planes, planes * pixels))
        return nullptr;
    uint8_t* out = target.Allocate(context, bytesPerPixel * pixels);
    if (out == nullptr) return nullptr;
    if (planes == bytesPerPixel) {
        MergePlanes(context, psd, planes, out);
        return out;
    }
    WipedBytes cmyk((size_t)(4 * pixels), 0);
    MergePlanes(context, psd, 4, cmyk.data());
    // Stored values: 255 is no ink, so the products are the colour.
    for (uint64_t i = 0; i < pixels; ++i) {
        const uint8_t* s = cmyk.data() + 4 * i;
        out[3 * i] = (uint8_t)(s[0] * s[3] / 255);
        out[3 * i + 1] = (uint8_t)(s[1] * s[3] / 255);
        out[3 * i + 2] = (uint8_t)(s[2] * s[3] / 255);
    }
    return out;
}

// ---- 16-bit samples ----

void* Read16(CPicReaderContext& context, CPicIO& source, int32_t* width, int32_t* height, int32_t bitDepth,
             bool keepCmyk) {
    PsdFile psd(context, source);
    RGBQUAD palette[256] = {};
    if (!psd.ReadHeader() || !psd.CheckChannels()) return nullptr;
    const PsdHeader& h = psd.header;
    *width = (int32_t)h.width;
    *height = (int32_t)h.height;
    if (h.depth != 16) return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
    if (h.mode != PIC_PSD_GREY && h.mode != PIC_PSD_RGB && h.mode != PIC_PSD_CMYK)
        return context.Fail(PIC_ERR_PSD_UNSUPPORTED), nullptr;
    if (!psd.ReadSectionsAfterHeader(palette)) return nullptr;
    if (psd.packBits) return context.Fail(PIC_ERR_BAD_PSD), nullptr;
    bool cmykToRgb = h.mode == PIC_PSD_CMYK && !keepCmyk;
    // The output holds exactly the channels merged into it.
    uint32_t planes = cmykToRgb ? 4 : std::min<uint32_t>(h.channels, h.mode == PIC_PSD_CMYK ? 4 : bitDepth / 16);
    uint32_t outChannels = cmykToRgb ? 3 : planes;
    uint64_t pixels = (uint64_t)h.width * h.height;
    if (!PicCheckDeclaredImage(context, h.width, h.height, 2ull * outChannels * pixels, PIC_ERR_BAD_PSD) ||
        !psd.BeginPlanes(planes, 2ull * planes * pixels))
        return nullptr;
    CPicReaderOutput output;
    if (!output.Allocate(context, 2ull * outChannels * pixels)) return nullptr;
    WipedBytes merged;
    uint8_t* target = output.Data();
    if (cmykToRgb) {
        merged.assign((size_t)(8 * pixels), 0);
        target = merged.data();
    }
    CPicProgress progress;
    for (uint32_t p = 0; p < planes && context.Ok(); ++p) {
        for (uint32_t y = 0; y < h.height; ++y) {
            const uint8_t* row;
            if (!psd.NextRow(row)) break;
            uint8_t* o = target + 2 * (PicRowOffset(y, (uint64_t)h.width * planes) + p);
            for (uint32_t x = 0; x < h.width; ++x) memcpy(o + 2ull * planes * x, row + 2ull * x, 2);
            if (!PicReportRow(context, progress, p * h.height + y, planes * h.height)) break;
        }
    }
    if (cmykToRgb) {
        uint8_t* out = output.Data();
        for (uint64_t i = 0; i < pixels; ++i) {
            const uint8_t* s = merged.data() + 8 * i;
            uint64_t k = Be16(s + 6);
            for (int c = 0; c < 3; ++c) {
                uint32_t v = (uint32_t)(k * Be16(s + 2 * c) / 65535);
                out[6 * i + 2 * c] = (uint8_t)(v >> 8);
                out[6 * i + 2 * c + 1] = (uint8_t)v;
            }
        }
    }
    return output.HandOver();
}

// ---- packed bitmap ----

void* ReadDib(CPicReaderContext& context, CPicIO& source, int32_t* width, int32_t* height, bool keepCmyk) {
    int32_t mode = 0;
    {
        PsdFile probe(context, source);
        if (!probe.ReadHeader()) return nullptr;
        if (!source.Rewind()) return context.Fail(PIC_ERR_FILE_READ), nullptr;
        mode = probe.header.mode;
        if (!IsPaletteMode(mode) && mode != PIC_PSD_RGB && mode != PIC_PSD_CMYK)
            return context.Fail(PIC_ERR_BAD_PSD), nullptr;
    }
    PsdFile psd(context, source);
    WipedTarget pixels;
    CPicReaderOutput output;
    RGBQUAD palette[256] = {};
    if (IsPaletteMode(mode)) {
        if (ReadIndices(context, psd, palette, pixels) == nullptr) return nullptr;
        int32_t code = context.result;  // a partial image stays partial
        context.result = PIC_ERR_OK;
        if (!PicBuildDib(context, output, pixels.pixels.data(), psd.header.width, psd.header.height,
                         psd.header.width, 8, palette, 256))
            return nullptr;
        context.result = code;
    } else {
        uint32_t bytesPerPixel = 3;
        if (ReadColour(context, psd, keepCmyk, pixels, bytesPerPixel) == nullptr) return nullptr;
        int32_t code = context.result;
        context.result = PIC_ERR_OK;
        if (bytesPerPixel == 4) SwapRB32InPlace(pixels.pixels.data(), psd.header.width, psd.header.height);
        if (!PicBuildDib(context, output, pixels.pixels.data(), psd.header.width, psd.header.height,
                         (uint64_t)psd.header.width * bytesPerPixel, bytesPerPixel * 8, nullptr, 0))
            return nullptr;
        context.result = code;
    }
    *width = (int32_t)psd.header.width;
    *height = (int32_t)psd.header.height;
    return output.HandOver();
}

bool ReadResolution(CPicReaderContext& context, PsdFile& psd, PicResolutionInfo* resolution) {
    std::vector<uint8_t> resources;
    if (!psd.ReadResources(&resources)) return false;
    ImageResourceBlock block({kPsdResolutionResource});
    if (!block.Parse(resources.data(), resources.size())) {
        context.Fail(block.result);  // the dimensions stand
        return true;
    }
    const PicImageResource* record = block.Find(kPsdResolutionResource);
    if (record == nullptr || record->DataLength() < 16) return true;
    const uint8_t* d = record->Data();
    uint32_t horizontalUnit = Be16(d + 4);
    uint32_t verticalUnit = Be16(d + 12);
    resolution->x = (double)(Be32(d) >> 16);  // 16.16 fixed point, fraction dropped
    resolution->y = (double)(Be32(d + 8) >> 16);
    resolution->unit = horizontalUnit == 1 ? 1 : horizontalUnit == 2 ? 2 : 0;
    if (horizontalUnit == 1 && verticalUnit == 2) resolution->y = (double)(int32_t)resolution->y * 0.39370079;
    return true;
}

}  // namespace

BOOL WINAPI pic_GetPSDDims(CPicIO* source, int32_t* width, int32_t* height, int32_t* depth, int32_t* mode,
                           PicResolutionInfo* resolution, uint32_t) {
    return PicReaderEntry("pic_GetPSDDims", FALSE, source, [&](CPicReaderContext& context) -> BOOL {
        if (width == nullptr || height == nullptr || depth == nullptr || mode == nullptr)
            return context.Fail(PIC_ERR_BAD_PARAM);
        PsdFile psd(context, *source);
        if (!psd.ReadHeader()) return FALSE;
        *width = (int32_t)psd.header.width;
        *height = (int32_t)psd.header.height;
        *depth = (int32_t)psd.header.depth;
        *mode = psd.header.mode;
        RGBQUAD palette[256] = {};
        if (!psd.ReadColourModeData(palette)) return FALSE;
        if (resolution != nullptr && !ReadResolution(context, psd, resolution)) return FALSE;
        return TRUE;
    });
}

BOOL WINAPI pic_GetPSDPalette(CPicIO* source, int32_t* count, RGBQUAD* palette, uint32_t) {
    return PicReaderEntry("pic_GetPSDPalette", FALSE, source, [&](CPicReaderContext& context) -> BOOL {
        if (count == nullptr) return context.Fail(PIC_ERR_BAD_PARAM);
        *count = 0;
        PsdFile psd(context, *source);
        if (!psd.ReadHeader()) return FALSE;
        if (palette == nullptr) return context.Fail(PIC_ERR_BAD_PARAM);
        memset(palette, 0, 256 * sizeof(RGBQUAD));
        if (psd.header.depth != 1 && psd.header.depth != 8) return context.Fail(PIC_ERR_PSD_UNSUPPORTED);
        if (!IsPaletteMode(psd.header.mode)) return context.Fail(PIC_ERR_BIT_DEPTH);
        if (!psd.ReadColourModeData(palette)) return FALSE;
        *count = 256;
        return TRUE;
    });
}

void* WINAPI pic_ReadPSD(CPicIO* source, int32_t* width, int32_t* height, int32_t bitDepth, RGBQUAD* palette,
                         uint32_t flags) {
    return PicReaderEntry("pic_ReadPSD", (void*)nullptr, source, [&](CPicReaderContext& context) -> void* {
        if (width == nullptr || height == nullptr) return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
        bool keepCmyk = (flags & PIC_READ_PSD_KEEP_CMYK) != 0;
        if (flags & PIC_READ_DIB) return ReadDib(context, *source, width, height, keepCmyk);
        if (bitDepth == 48 || bitDepth == 64) return Read16(context, *source, width, height, bitDepth, keepCmyk);
        if (bitDepth != 8 && bitDepth != 24 && bitDepth != 32) return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
        if (bitDepth == 8 && palette == nullptr) return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
        PsdFile psd(context, *source);
        OutputTarget target;
        uint8_t* pixels = nullptr;
        if (bitDepth == 8) {
            memset(palette, 0, 256 * sizeof(RGBQUAD));
            pixels = ReadIndices(context, psd, palette, target);
            if (pixels != nullptr && psd.header.mode == PIC_PSD_BITMAP) {
                palette[0] = {255, 255, 255, 255};
                palette[1] = {0, 0, 0, 0};
            }
        } else {
            uint32_t bytesPerPixel = 3;
            pixels = ReadColour(context, psd, keepCmyk, target, bytesPerPixel);
        }
        if (psd.header.width != 0 || psd.header.height != 0) {
            *width = (int32_t)psd.header.width;
            *height = (int32_t)psd.header.height;
        }
        return pixels != nullptr ? target.output.HandOver() : nullptr;
    });
}
