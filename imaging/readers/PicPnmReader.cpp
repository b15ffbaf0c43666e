#include "imaging/readers/PicPnmReader.h"

#include <cstring>
#include <memory>
#include <vector>

#include "framework/base/WipedMemory.h"
#include "imaging/core/PicSizes.h"
#include "imaging/readers/PicDibBuilder.h"
#include "imaging/readers/PicPnmStream.h"
#include "imaging/readers/PicReaderFrame.h"

namespace {

// The name the layer's messages carry; a constant, so that concurrent reads
// share nothing writable.
constexpr const char kPnmProgramName[] = "PicLib";

using WipedSamples = std::vector<uint32_t, WipingAllocator<uint32_t>>;

// A raw row straight into the output; a row cut short is left zero.
void ReadRawRow(PnmStreamOps& stream, uint8_t* row, uint32_t bytes) {
    if (stream.feed.ReadExact(row, bytes)) return;
    memset(row, 0, bytes);
    PnmError(stream, "EOF / read error reading a one-byte sample");
}

struct PnmHeader {
    int32_t format = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t maxval = 1;
};

// Magic and header; a bad magic is 78 before anything else is read.
bool ReadHeader(CPicReaderContext& context, PnmStreamOps& stream, PnmHeader& h) {
    h.format = PnmReadMagic(stream);
    switch (PnmFormatType(h.format)) {
    case PNM_PLAIN_BITMAP: PnmReadBitmapHeader(stream, &h.width, &h.height); break;
    case PNM_PLAIN_GRAYMAP: PnmReadGraymapHeader(stream, &h.width, &h.height, &h.maxval); break;
    case PNM_PLAIN_PIXMAP: PnmReadPixmapHeader(stream, &h.width, &h.height, &h.maxval); break;
    default: return context.Fail(PIC_ERR_BAD_PNM);
    }
    // An empty image is a bad file, not a failed allocation.
    if (h.width == 0 || h.height == 0) return context.Fail(PIC_ERR_BAD_PNM);
    return true;
}

// Scales one sample to the output's full range (integer division), unless
// samples are asked for as stored or the range already is full. A sample
// above maxval is kept truncated to the sample width.
class SampleScale {
public:
    SampleScale(uint32_t maxval, uint32_t full, bool raw) : m_maxval(maxval), m_full(full) {
        m_identity = raw || maxval == full;
        if (!m_identity) {
            m_table.resize(maxval + 1);
            for (uint32_t s = 0; s <= maxval; ++s) m_table[s] = (uint16_t)((uint64_t)s * full / maxval);
        }
    }
    uint32_t operator()(uint32_t s) const {
        if (m_identity) return s;
        return s <= m_maxval ? m_table[s] : (uint32_t)((uint64_t)s * m_full / m_maxval);
    }
    bool Identity() const { return m_identity; }

private:
    uint32_t m_maxval;
    uint32_t m_full;
    bool m_identity;
    std::vector<uint16_t> m_table;
};

class CPicPNMReader {
public:
    virtual ~CPicPNMReader() = default;
    virtual int32_t Init(PnmStreamOps* stream, uint32_t width, uint32_t depth, int32_t format, uint32_t maxval,
                         bool swapRB, bool sixteenBit, bool rawSamples) {
        m_stream = stream;
        m_width = width;
        m_depth = depth;
        m_format = format;
        m_maxval = maxval;
        m_swapRB = swapRB;
        m_sixteenBit = sixteenBit;
        m_rawSamples = rawSamples;
        return 0;
    }
    virtual bool ReadRow(uint8_t* row) = 0;

protected:
    // The sample row and the scaling of the greymap and pixmap readers.
    int32_t InitSamples(size_t count) {
        m_samples.resize(count);
        m_scale = std::make_unique<SampleScale>(m_maxval, m_sixteenBit ? 65535u : 255u, m_rawSamples);
        return 0;
    }

    PnmStreamOps* m_stream = nullptr;
    uint32_t m_width = 0;
    uint32_t m_depth = 0;
    int32_t m_format = 0;
    uint32_t m_maxval = 1;
    bool m_swapRB = false;
    bool m_sixteenBit = false;
    bool m_rawSamples = false;
    WipedSamples m_samples;
    std::unique_ptr<SampleScale> m_scale;
};

// Bitmap rows packed 8 pixels a byte, first pixel in the top bit: 1 white, 0 black.
class CPicPNMPlusReaderMono : public CPicPNMReader {
public:
    int32_t Init(PnmStreamOps* stream, uint32_t width, uint32_t depth, int32_t format, uint32_t maxval, bool swapRB,
                 bool sixteenBit, bool rawSamples) override {
        CPicPNMReader::Init(stream, width, depth, format, maxval, swapRB, sixteenBit, rawSamples);
        m_bits.resize(width);
        return 0;
    }
    bool ReadRow(uint8_t* row) override {
        if (m_format == PNM_RAW_BITMAP) {
            // Stored 1 for black: the packed bytes are the complement.
            uint32_t bytes = (m_width + 7) / 8;
            ReadRawRow(*m_stream, row, bytes);
            for (uint32_t i = 0; i < bytes; ++i) row[i] = (uint8_t)~row[i];
            if (m_width % 8 != 0) row[bytes - 1] &= (uint8_t)(0xFF << (8 - m_width % 8));
            return true;
        }
        PnmReadBitmapRow(*m_stream, m_bits.data(), m_width, m_format);
        memset(row, 0, (m_width + 7) / 8);
        for (uint32_t x = 0; x < m_width; ++x)
            if (m_bits[x] == 0) row[x / 8] |= (uint8_t)(0x80 >> (x % 8));
        return true;
    }

private:
    WipedBytes m_bits;
};

class CPicPNMPlusReaderGray : public CPicPNMReader {
public:
    int32_t Init(PnmStreamOps* stream, uint32_t width, uint32_t depth, int32_t format, uint32_t maxval, bool swapRB,
                 bool sixteenBit, bool rawSamples) override {
        CPicPNMReader::Init(stream, width, depth, format, maxval, swapRB, sixteenBit, rawSamples);
        return InitSamples(width);
    }
    bool ReadRow(uint8_t* row) override {
        if (!m_sixteenBit && m_format == PNM_RAW_GRAYMAP && m_maxval < 256) {
            ReadRawRow(*m_stream, row, m_width);
            if (!m_scale->Identity())
                for (uint32_t x = 0; x < m_width; ++x) row[x] = (uint8_t)(*m_scale)(row[x]);
            return true;
        }
        PnmReadGraymapRow(*m_stream, m_samples.data(), m_width, m_maxval, m_format);
        for (uint32_t x = 0; x < m_width; ++x) {
            uint32_t v = (*m_scale)(m_samples[x]);
            if (m_sixteenBit)
                reinterpret_cast<uint16_t*>(row)[x] = (uint16_t)v;
            else
                row[x] = (uint8_t)v;
        }
        return true;
    }

};

class CPicPNMReaderColor : public CPicPNMReader {
public:
    int32_t Init(PnmStreamOps* stream, uint32_t width, uint32_t depth, int32_t format, uint32_t maxval, bool swapRB,
                 bool sixteenBit, bool rawSamples) override {
        CPicPNMReader::Init(stream, width, depth, format, maxval, swapRB, sixteenBit, rawSamples);
        return InitSamples(3ull * width);
    }
    bool ReadRow(uint8_t* row) override {
        if (!m_sixteenBit && m_format == PNM_RAW_PIXMAP && m_maxval < 256) {
            uint32_t bytes = 3 * m_width;
            ReadRawRow(*m_stream, row, bytes);
            if (!m_scale->Identity())
                for (uint32_t i = 0; i < bytes; ++i) row[i] = (uint8_t)(*m_scale)(row[i]);
            if (m_swapRB)
                for (uint32_t i = 0; i < bytes; i += 3) std::swap(row[i], row[i + 2]);
            return true;
        }
        PnmReadPixmapRow(*m_stream, m_samples.data(), m_width, m_maxval, m_format);
        for (uint32_t x = 0; x < m_width; ++x) {
            const uint32_t* s = &m_samples[3ull * x];
            uint32_t r = (*m_scale)(s[0]), g = (*m_scale)(s[1]), b = (*m_scale)(s[2]);
            if (m_swapRB) std::swap(r, b);
            if (m_sixteenBit) {
                uint16_t* p = reinterpret_cast<uint16_t*>(row) + 3ull * x;
                p[0] = (uint16_t)r;
                p[1] = (uint16_t)g;
                p[2] = (uint16_t)b;
            } else {
                uint8_t* p = row + 3ull * x;
                p[0] = (uint8_t)r;
                p[1] = (uint8_t)g;
                p[2] = (uint8_t)b;
            }
        }
        return true;
    }

};

void TraceLayerError(const VovIredev::PicException& e) {
    PicTrace("%s PNM Error : %s\n", kPnmProgramName, e.what());
}

// Bytes the raster takes at least: raw rasters as stored, plain ones one
// character a sample.
uint64_t LeastRasterBytes(const PnmHeader& h) {
    uint64_t samples = (uint64_t)h.width * h.height * (PnmFormatType(h.format) == PNM_PLAIN_PIXMAP ? 3 : 1);
    switch (h.format) {
    case PNM_RAW_BITMAP: return PicPackedRowBytes(h.width, 1) * h.height;
    case PNM_RAW_GRAYMAP:
    case PNM_RAW_PIXMAP: return samples * (h.maxval < 256 ? 1 : 2);
    default: return samples;
    }
}

void* ReadImage(CPicReaderContext& context, CPicIO& source, int32_t* outWidth, int32_t* outHeight, int32_t bitDepth,
                uint32_t flags) {
    bool dib = (flags & PIC_READ_DIB) != 0;
    bool padded = dib || (flags & PIC_PNM_PADDED) != 0;
    bool bottomUp = dib || (flags & PIC_PNM_BOTTOM_UP) != 0;
    bool blueFirst = dib || (flags & PIC_PNM_BLUE_FIRST) != 0;
    if ((bitDepth == 16 || bitDepth == 48) && padded) return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
    PnmStreamOps stream(source);
    PnmHeader h;
    try {
        int32_t magic = PnmReadMagic(stream);
        if (PnmFormatType(magic) == 0) return context.Fail(PIC_ERR_BAD_PNM), nullptr;
        int32_t type = PnmFormatType(magic);
        uint32_t depth = (uint32_t)bitDepth;
        if (dib) depth = type == PNM_PLAIN_BITMAP ? 1 : type == PNM_PLAIN_GRAYMAP ? 8 : 24;
        bool fits = (depth == 1 && type == PNM_PLAIN_BITMAP) ||
                    ((depth == 8 || depth == 16) && type == PNM_PLAIN_GRAYMAP) ||
                    ((depth == 24 || depth == 48) && type == PNM_PLAIN_PIXMAP);
        if (!fits) return context.Fail(PIC_ERR_BIT_DEPTH), nullptr;
        h.format = magic;
        if (type == PNM_PLAIN_BITMAP)
            PnmReadBitmapHeader(stream, &h.width, &h.height);
        else if (type == PNM_PLAIN_GRAYMAP)
            PnmReadGraymapHeader(stream, &h.width, &h.height, &h.maxval);
        else
            PnmReadPixmapHeader(stream, &h.width, &h.height, &h.maxval);
        if (h.width == 0 || h.height == 0) return context.Fail(PIC_ERR_BAD_PNM), nullptr;
        uint64_t stride = padded ? PicDIBRowBytes(h.width, depth) : PicPackedRowBytes(h.width, depth);
        uint32_t colours = !dib ? 0 : depth == 1 ? 2 : depth == 8 ? 256 : 0;
        uint64_t headerSize = dib ? sizeof(BITMAPINFOHEADER) + 4ull * colours : 0;
        uint64_t bytes = headerSize + stride * h.height;
        if (!PicCheckDeclaredImage(context, h.width, h.height, bytes, PIC_ERR_BAD_PNM) ||
            !PicCheckCodedBytes(context, LeastRasterBytes(h), source.BytesLeft(), PIC_EXPAND_RAW, PIC_ERR_BAD_PNM))
            return nullptr;
        CPicReaderOutput output;
        if (!output.Allocate(context, bytes)) return nullptr;
        if (dib) {
            RGBQUAD table[256];
            for (int i = 0; i < 256; ++i) table[i] = {(BYTE)i, (BYTE)i, (BYTE)i, 255};
            if (depth == 1) table[1] = {255, 255, 255, 255}, table[0] = {0, 0, 0, 255};
            PicWriteDibHeader(output.Data(), h.width, h.height, depth, colours, table);
        }
        std::unique_ptr<CPicPNMReader> reader;
        if (depth == 1)
            reader = std::make_unique<CPicPNMPlusReaderMono>();
        else if (depth <= 16)
            reader = std::make_unique<CPicPNMPlusReaderGray>();
        else
            reader = std::make_unique<CPicPNMReaderColor>();
        int32_t init = reader->Init(&stream, h.width, depth, h.format, h.maxval, blueFirst, depth == 16 || depth == 48,
                                    (flags & PIC_PNM_RAW_SAMPLES) != 0);
        if (init != 0) return context.Fail(init), nullptr;
        uint8_t* rows = output.Data() + headerSize;
        try {
            for (uint32_t y = 0; y < h.height; ++y)
                reader->ReadRow(rows + PicRowOffset(bottomUp ? h.height - 1 - y : y, stride));
        } catch (const VovIredev::PicException& e) {
            TraceLayerError(e);
            context.Fail(PIC_ERR_BAD_PNM);  // the rows read so far are kept
        }
        *outWidth = (int32_t)h.width;
        *outHeight = (int32_t)h.height;
        return output.HandOver();
    } catch (const VovIredev::PicException& e) {
        TraceLayerError(e);
        return context.Fail(PIC_ERR_BAD_PNM), nullptr;
    }
}

}  // namespace

BOOL WINAPI pic_GetPNMDims(CPicIO* source, int32_t* width, int32_t* height, int32_t* maxval, int32_t* format,
                           uint32_t) {
    return PicReaderEntry("pic_GetPNMDims", FALSE, source, [&](CPicReaderContext& context) -> BOOL {
        if (width == nullptr || height == nullptr || maxval == nullptr || format == nullptr)
            return context.Fail(PIC_ERR_BAD_PARAM);
        PnmStreamOps stream(*source);
        PnmHeader h;
        try {
            if (!ReadHeader(context, stream, h)) return FALSE;
        } catch (const VovIredev::PicException& e) {
            TraceLayerError(e);
            return context.Fail(PIC_ERR_BAD_PNM);
        }
        *width = (int32_t)h.width;
        *height = (int32_t)h.height;
        *maxval = (int32_t)h.maxval;
        *format = h.format;
        return TRUE;
    });
}

void* WINAPI pic_ReadPNM(CPicIO* source, int32_t* width, int32_t* height, int32_t bitDepth, uint32_t flags) {
    return PicReaderEntry("pic_ReadPNM", (void*)nullptr, source, [&](CPicReaderContext& context) -> void* {
        if (width == nullptr || height == nullptr) return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
        return ReadImage(context, *source, width, height, bitDepth, flags);
    });
}
