#include "imaging/readers/PicTiffDecode.h"

#include <algorithm>
#include <cstring>

#include "framework/base/WipedMemory.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicSizes.h"
#include "imaging/readers/PicDibBuilder.h"

namespace {

// How far the coded bytes of a compression can expand.
uint32_t ExpansionOf(uint16_t compression) {
    switch (compression) {
    case COMPRESSION_NONE: return PIC_EXPAND_RAW;
    case COMPRESSION_PACKBITS: return PIC_EXPAND_RLE;
    case COMPRESSION_LZW: return PIC_EXPAND_LZW;
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE: return PIC_EXPAND_DEFLATE;
    case COMPRESSION_JPEG:
    case COMPRESSION_OJPEG: return PIC_EXPAND_JPEG;
    default: return 1u << 16;  // fax codes: a blank row is a few bits
    }
}

bool IsFaxCompression(uint16_t compression) {
    return compression == COMPRESSION_CCITTRLE || compression == COMPRESSION_CCITTFAX3 ||
           compression == COMPRESSION_CCITTFAX4 || compression == COMPRESSION_CCITTRLEW;
}

uint64_t SourceSize(CPicIO& source) {
    uint64_t size = 0;
    return source.GetSize(&size) ? size : 0;
}

// Holds `bytes` zeroed bytes; false when they cannot be had.
bool Zeroed(WipedBytes& buffer, uint64_t bytes) {
    try {
        buffer.assign(bytes, 0);
        return true;
    } catch (...) {
        buffer.clear();
        return false;
    }
}

// The page's pixels as stored, top-down, samples interleaved.
struct StoredImage {
    WipedBytes bytes;
    uint64_t rowBytes = 0;
    bool damaged = false;  // a strip or tile could not be read
};

class CStoredReader {
public:
    CStoredReader(CPicReaderContext& context, TIFF* tiff, const TiffPageTags& tags)
        : m_context(context), m_tiff(tiff), m_tags(tags) {}
    bool Read(StoredImage& image);
    // Contiguous pages only: the stored rows straight into `target`.
    bool ReadInto(uint8_t* target, uint64_t rowBytes, bool& damaged) { return ReadPlane(0, target, rowBytes, damaged); }

private:
    bool ReadPlane(uint16_t plane, uint8_t* target, uint64_t planeRow, bool& damaged);
    bool ReadStrips(uint16_t plane, uint8_t* target, uint64_t planeRow, bool& damaged);
    bool ReadTiles(uint16_t plane, uint8_t* target, uint64_t planeRow, bool& damaged);

    CPicReaderContext& m_context;
    TIFF* m_tiff;
    const TiffPageTags& m_tags;
    CPicProgress m_progress;
};

bool CStoredReader::Read(StoredImage& image) {
    const TiffPageTags& t = m_tags;
    uint32_t planes = t.planar == PLANARCONFIG_SEPARATE ? t.samples : 1;
    image.rowBytes = ((uint64_t)t.width * t.bits * t.samples + 7) / 8;
    if (planes > 1 && t.bits % 8 != 0) return m_context.Fail(PIC_ERR_BIT_DEPTH);
    if (!Zeroed(image.bytes, image.rowBytes * t.height)) return m_context.Fail(PIC_ERR_OUT_OF_MEMORY);
    if (planes == 1) return ReadPlane(0, image.bytes.data(), image.rowBytes, image.damaged);
    uint64_t planeRow = (uint64_t)t.width * t.bits / 8;
    uint32_t sampleBytes = t.bits / 8;
    WipedBytes plane;
    if (!Zeroed(plane, planeRow * t.height)) return m_context.Fail(PIC_ERR_OUT_OF_MEMORY);
    for (uint16_t p = 0; p < planes; ++p) {
        memset(plane.data(), 0, plane.size());
        if (!ReadPlane(p, plane.data(), planeRow, image.damaged)) return false;
        for (uint64_t y = 0; y < t.height; ++y) {
            const uint8_t* from = plane.data() + y * planeRow;
            uint8_t* to = image.bytes.data() + y * image.rowBytes + (uint64_t)p * sampleBytes;
            for (uint32_t x = 0; x < t.width; ++x)
                memcpy(to + (uint64_t)x * t.samples * sampleBytes, from + (uint64_t)x * sampleBytes, sampleBytes);
        }
    }
    return true;
}

bool CStoredReader::ReadPlane(uint16_t plane, uint8_t* target, uint64_t planeRow, bool& damaged) {
    return m_tags.tiled ? ReadTiles(plane, target, planeRow, damaged) : ReadStrips(plane, target, planeRow, damaged);
}

bool CStoredReader::ReadStrips(uint16_t plane, uint8_t* target, uint64_t planeRow, bool& damaged) {
    uint32_t height = m_tags.height;
    uint32_t rows = m_tags.rowsPerStrip == 0 || m_tags.rowsPerStrip > height ? height : m_tags.rowsPerStrip;
    for (uint32_t row = 0; row < height; row += rows) {
        uint32_t count = std::min(rows, height - row);
        tmsize_t expected = (tmsize_t)(count * planeRow);
        uint32_t strip = TIFFComputeStrip(m_tiff, row, plane);
        if (strip >= TIFFNumberOfStrips(m_tiff) ||
            TIFFReadEncodedStrip(m_tiff, strip, target + (uint64_t)row * planeRow, expected) != expected)
            damaged = true;
        if (!PicReportRow(m_context, m_progress, row, height)) return false;
    }
    return true;
}

bool CStoredReader::ReadTiles(uint16_t plane, uint8_t* target, uint64_t planeRow, bool& damaged) {
    uint32_t tileWidth = 0, tileLength = 0;
    TIFFGetField(m_tiff, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(m_tiff, TIFFTAG_TILELENGTH, &tileLength);
    uint64_t tileBytes = TIFFTileSize64(m_tiff), tileRow = TIFFTileRowSize64(m_tiff);
    if (tileWidth == 0 || tileLength == 0 || tileRow == 0 || tileBytes < tileRow * tileLength) {
        damaged = true;
        return true;
    }
    CPicReaderContext check;
    if (!PicCheckDeclaredImage(check, tileWidth, tileLength, tileBytes, PIC_ERR_BAD_TIFF)) {
        damaged = true;
        return true;
    }
    WipedBytes tile;
    if (!Zeroed(tile, tileBytes)) return m_context.Fail(PIC_ERR_OUT_OF_MEMORY);
    uint32_t pixelBits = m_tags.planar == PLANARCONFIG_SEPARATE ? m_tags.bits : (uint32_t)m_tags.bits * m_tags.samples;
    for (uint32_t y = 0; y < m_tags.height; y += tileLength) {
        for (uint32_t x = 0; x < m_tags.width; x += tileWidth) {
            memset(tile.data(), 0, tile.size());
            if (TIFFReadTile(m_tiff, tile.data(), x, y, 0, plane) < 0) {
                damaged = true;
                continue;
            }
            uint64_t xByte = (uint64_t)x * pixelBits / 8;
            uint64_t n = std::min(tileRow, planeRow - xByte);
            uint32_t rows = std::min(tileLength, m_tags.height - y);
            for (uint32_t r = 0; r < rows; ++r)
                memcpy(target + (uint64_t)(y + r) * planeRow + xByte, tile.data() + (uint64_t)r * tileRow, n);
        }
        if (!PicReportRow(m_context, m_progress, y, m_tags.height)) return false;
    }
    return true;
}

// The stored pixel at display position (dx, dy) under an Orientation value.
inline void SourceOf(int orientation, uint32_t w, uint32_t h, uint32_t dx, uint32_t dy, uint32_t& sx, uint32_t& sy) {
    switch (orientation) {
    case 2: sx = w - 1 - dx, sy = dy; break;
    case 3: sx = w - 1 - dx, sy = h - 1 - dy; break;
    case 4: sx = dx, sy = h - 1 - dy; break;
    case 5: sx = dy, sy = dx; break;
    case 6: sx = dy, sy = h - 1 - dx; break;
    case 7: sx = w - 1 - dy, sy = h - 1 - dx; break;
    case 8: sx = w - 1 - dy, sy = dx; break;
    default: sx = dx, sy = dy; break;
    }
}

bool Turns(int orientation) { return orientation >= 5 && orientation <= 8; }

// An image in memory: top-down rows of `pixelBytes` per pixel, or of bits
// when pixelBytes is 0 (1 bit per pixel, most significant first).
struct Pixels {
    WipedBytes bytes;
    uint32_t width = 0, height = 0;
    uint32_t pixelBytes = 0;
    uint64_t RowBytes() const { return pixelBytes == 0 ? (width + 7) / 8 : (uint64_t)width * pixelBytes; }
};

// Turns the image as the Orientation tag says, so it stands as meant.
bool ApplyOrientation(CPicReaderContext& context, Pixels& image, int orientation) {
    if (orientation < 2 || orientation > 8) return true;
    Pixels turned;
    turned.width = Turns(orientation) ? image.height : image.width;
    turned.height = Turns(orientation) ? image.width : image.height;
    turned.pixelBytes = image.pixelBytes;
    if (!Zeroed(turned.bytes, turned.RowBytes() * turned.height)) return context.Fail(PIC_ERR_OUT_OF_MEMORY);
    uint64_t fromRow = image.RowBytes(), toRow = turned.RowBytes();
    const uint8_t* from = image.bytes.data();
    uint8_t* to = turned.bytes.data();
    uint32_t n = image.pixelBytes;
    for (uint32_t dy = 0; dy < turned.height; ++dy)
        for (uint32_t dx = 0; dx < turned.width; ++dx) {
            uint32_t sx, sy;
            SourceOf(orientation, image.width, image.height, dx, dy, sx, sy);
            if (n != 0) {
                memcpy(to + dy * toRow + (uint64_t)dx * n, from + sy * fromRow + (uint64_t)sx * n, n);
            } else if (from[sy * fromRow + sx / 8] & (0x80 >> (sx % 8))) {
                to[dy * toRow + dx / 8] |= (uint8_t)(0x80 >> (dx % 8));
            }
        }
    std::swap(image.bytes, turned.bytes);
    image.width = turned.width;
    image.height = turned.height;
    return true;
}

void FlipRows(Pixels& image) {
    uint64_t row = image.RowBytes();
    WipedBytes swap(row);
    for (uint32_t top = 0, bottom = image.height - 1; top < bottom; ++top, --bottom) {
        uint8_t* a = image.bytes.data() + top * row;
        uint8_t* b = image.bytes.data() + bottom * row;
        memcpy(swap.data(), a, row);
        memcpy(a, b, row);
        memcpy(b, swap.data(), row);
    }
}

// Exchanges channel 0 and 2 of every pixel, each channel `sampleBytes` wide.
void SwapFirstAndThird(Pixels& image, uint32_t sampleBytes) {
    uint64_t pixels = (uint64_t)image.width * image.height;
    uint8_t t[4];
    for (uint64_t i = 0; i < pixels; ++i) {
        uint8_t* p = image.bytes.data() + i * image.pixelBytes;
        memcpy(t, p, sampleBytes);
        memmove(p, p + 2 * sampleBytes, sampleBytes);
        memcpy(p + 2 * sampleBytes, t, sampleBytes);
    }
}

// The resolution of a packed bitmap: the whole-number TIFF values in pixels
// per metre (none without a unit of length).
void DibResolution(TIFF* tiff, int32_t& x, int32_t& y) {
    float xr = 0, yr = 0;
    uint16_t unit = 0;
    TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &xr);
    TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &yr);
    TIFFGetField(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
    double perMetre = unit == RESUNIT_INCH ? 1 / 0.0254 : unit == RESUNIT_CENTIMETER ? 100 : 0;
    auto convert = [perMetre](float value) {
        if (!(value > 0)) return 0;
        double metre = (double)(int64_t)std::min(value, 1e9f) * perMetre;
        return (int32_t)std::clamp(metre, 0.0, 2147483647.0);
    };
    x = convert(xr);
    y = convert(yr);
}

// The library gives indexed 8-bit pixels with an alpha sample their colour
// but drops the alpha: this put routine keeps it.
void PutIndexedWithAlpha(TIFFRGBAImage* image, uint32_t* to, uint32_t, uint32_t, uint32_t w, uint32_t h,
                         int32_t fromSkew, int32_t toSkew, unsigned char* from) {
    int samples = image->samplesperpixel;
    for (; h > 0; --h) {
        for (uint32_t x = 0; x < w; ++x, from += samples)
            *to++ = (image->PALmap[from[0]][0] & 0x00FFFFFFu) | ((uint32_t)from[1] << 24);
        to += toSkew;
        from += (int64_t)fromSkew * samples;
    }
}

bool IsIndexedWithAlpha(const TIFFRGBAImage& image) {
    return image.photometric == PHOTOMETRIC_PALETTE && image.bitspersample == 8 && image.samplesperpixel == 2 &&
           image.isContig && image.PALmap != nullptr &&
           (image.alpha == EXTRASAMPLE_ASSOCALPHA || image.alpha == EXTRASAMPLE_UNASSALPHA);
}

class CTiffDecoder {
public:
    CTiffDecoder(CPicReaderContext& context, TiffPage& page, RGBQUAD* palette)
        : m_context(context), m_page(page), m_tiff(page.tiff), m_flags(page.flags), m_palette(palette),
          m_tags(TiffReadTags(page.tiff)) {}

    void* Decode(int32_t depth, int32_t* width, int32_t* height);

private:
    bool Flag(uint32_t flag) const { return (m_flags & flag) != 0; }
    int Orientation() const { return Flag(PIC_TIFF_NO_ORIENTATION) ? 1 : m_tags.orientation; }
    bool CheckDeclared(uint32_t outputPixelBytes);
    // The working image at the page's size, zeroed.
    bool NewWorkingImage(uint32_t pixelBytes);
    bool ReadStored(StoredImage& stored);
    bool DecodeOneBit();
    bool DecodeIndexed();
    bool DecodeSamples(int32_t depth);
    bool DecodeRgba(int32_t depth);
    bool DecodeKeptCmyk();
    bool DecodePlainRgb();
    bool Finish(bool damaged);
    void* Emit(int32_t depth, int32_t* width, int32_t* height);
    void* EmitDib(int32_t depth);

    CPicReaderContext& m_context;
    TiffPage& m_page;
    TIFF* m_tiff;
    uint32_t m_flags;
    RGBQUAD* m_palette;
    TiffPageTags m_tags;
    Pixels m_image;
    RGBQUAD m_table[256] = {};
    CPicReaderOutput m_output;
    bool m_decodedIntoOutput = false;  // the pixels are already in m_output
};

bool CTiffDecoder::NewWorkingImage(uint32_t pixelBytes) {
    m_image.width = m_tags.width;
    m_image.height = m_tags.height;
    m_image.pixelBytes = pixelBytes;
    return Zeroed(m_image.bytes, (uint64_t)pixelBytes * m_image.width * m_image.height) ||
           m_context.Fail(PIC_ERR_OUT_OF_MEMORY);
}

bool CTiffDecoder::CheckDeclared(uint32_t outputPixelBytes) {
    uint64_t w = m_tags.width, h = m_tags.height;
    if (!PicCheckDeclaredImage(m_context, w, h, std::max<uint64_t>(1, w * h * outputPixelBytes), PIC_ERR_BAD_TIFF))
        return false;
    uint64_t storedBytes = ((uint64_t)w * m_tags.bits * m_tags.samples + 7) / 8 * h;
    if (!PicBlockSizeAllowed(storedBytes)) return m_context.Fail(PIC_ERR_OUT_OF_MEMORY);
    return PicCheckCodedBytes(m_context, storedBytes, SourceSize(*m_page.source), ExpansionOf(m_tags.compression),
                              PIC_ERR_FILE_READ);
}

bool CTiffDecoder::ReadStored(StoredImage& stored) {
    return CStoredReader(m_context, m_tiff, m_tags).Read(stored);
}

// A set bit is black in every 1-bit result.
bool CTiffDecoder::DecodeOneBit() {
    uint32_t colour = m_tags.samples - std::min(m_tags.extraSamples, m_tags.samples);
    if (m_tags.bits != 1 || m_tags.samples != 1 || colour != 1) return m_context.Fail(PIC_ERR_BIT_DEPTH);
    if (!CheckDeclared(1)) return false;
    StoredImage stored;
    if (!ReadStored(stored)) return false;
    uint16_t photometric = m_tags.photometric;
    if (!m_tags.hasPhotometric) photometric = IsFaxCompression(m_tags.compression) ? 0 : 1;
    m_image.width = m_tags.width;
    m_image.height = m_tags.height;
    m_image.pixelBytes = 0;
    std::swap(m_image.bytes, stored.bytes);
    uint64_t row = m_image.RowBytes();
    uint8_t tail = (uint8_t)(0xFF00 >> (m_image.width % 8 == 0 ? 8 : m_image.width % 8));
    for (uint32_t y = 0; y < m_image.height; ++y) {
        uint8_t* p = m_image.bytes.data() + y * row;
        if (photometric == PHOTOMETRIC_MINISBLACK)
            for (uint64_t i = 0; i < row; ++i) p[i] = (uint8_t)~p[i];
        p[row - 1] &= tail;
    }
    m_table[0] = {255, 255, 255, 0};
    m_table[1] = {0, 0, 0, 0};
    return Finish(stored.damaged);
}

bool CTiffDecoder::DecodeIndexed() {
    uint16_t ph = m_tags.photometric, bits = m_tags.bits;
    if ((ph == PHOTOMETRIC_RGB && bits > 7) || ph == PHOTOMETRIC_SEPARATED || ph == PHOTOMETRIC_YCBCR ||
        ph == PHOTOMETRIC_LOGL)
        return m_context.Fail(PIC_ERR_BIT_DEPTH);
    uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    bool hasMap = TIFFGetField(m_tiff, TIFFTAG_COLORMAP, &red, &green, &blue) != 0;
    // A colour map of more than 256 entries does not fit the palette.
    if (hasMap && bits > 8) return m_context.Fail(PIC_ERR_BIT_DEPTH);
    bool wideGrey = bits == 16 && (ph == PHOTOMETRIC_MINISWHITE || ph == PHOTOMETRIC_MINISBLACK);
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && !wideGrey) return m_context.Fail(PIC_ERR_BAD_PARAM);
    if (hasMap) {
        if (red == nullptr || green == nullptr || blue == nullptr) return m_context.Fail(PIC_ERR_BAD_TIFF);
        uint32_t count = 1u << bits;
        bool wide = false;
        for (uint32_t i = 0; i < count; ++i) wide = wide || red[i] > 255 || green[i] > 255 || blue[i] > 255;
        auto level = [wide](uint16_t v) { return (BYTE)(wide ? v * 255u / 65535u : v & 0xFF); };
        for (uint32_t i = 0; i < count; ++i) m_table[i] = {level(blue[i]), level(green[i]), level(red[i]), 0};
    } else if (ph == PHOTOMETRIC_MINISBLACK || ph == PHOTOMETRIC_MINISWHITE) {
        // Two entries for 1-bit data, else the ramp of the values as they are.
        uint32_t count = bits == 1 ? 2 : 256;
        for (uint32_t i = 0; i < count; ++i) {
            BYTE v = bits == 1 ? (BYTE)(i * 255) : (BYTE)i;
            if (ph == PHOTOMETRIC_MINISWHITE) v = (BYTE)(255 - v);
            m_table[i] = {v, v, v, 0};
        }
    }
    if (!CheckDeclared(1)) return false;
    StoredImage stored;
    if (!ReadStored(stored)) return false;
    if (!NewWorkingImage(1)) return false;
    uint32_t samples = m_tags.samples;
    uint32_t mask = (1u << std::min<uint32_t>(bits, 8)) - 1;
    for (uint32_t y = 0; y < m_image.height; ++y) {
        const uint8_t* from = stored.bytes.data() + y * stored.rowBytes;
        uint8_t* to = m_image.bytes.data() + (uint64_t)y * m_image.width;
        for (uint32_t x = 0; x < m_image.width; ++x) {
            uint64_t first = (uint64_t)x * samples;  // the first sample of each pixel
            if (bits == 16) {
                uint16_t v;
                memcpy(&v, from + 2 * first, 2);
                to[x] = (uint8_t)(v * 255u / 65535u);
            } else if (bits == 8) {
                to[x] = from[first];
            } else {
                uint64_t bit = first * bits;
                to[x] = (uint8_t)((from[bit / 8] >> (8 - bits - bit % 8)) & mask);
            }
        }
    }
    return Finish(stored.damaged);
}

// 16 or 32 bits per sample, copied as the library gives them.
bool CTiffDecoder::DecodeSamples(int32_t depth) {
    uint32_t spp = m_tags.samples;
    bool floats = depth == 96;
    uint32_t sampleBits = floats ? 32 : 16;
    bool countOk = spp == 1 || spp == 3 || spp == 4 || (floats && m_tags.sampleFormat == SAMPLEFORMAT_IEEEFP);
    if (m_tags.bits != sampleBits || !countOk || (uint32_t)depth != sampleBits * spp)
        return m_context.Fail(PIC_ERR_BIT_DEPTH);
    if (!CheckDeclared(spp * sampleBits / 8)) return false;
    StoredImage stored;
    if (!ReadStored(stored)) return false;
    m_image.width = m_tags.width;
    m_image.height = m_tags.height;
    m_image.pixelBytes = spp * sampleBits / 8;
    std::swap(m_image.bytes, stored.bytes);
    bool keepStored = Flag(PIC_TIFF_FILE_ORDER) || Flag(PIC_TIFF_NO_ORIENTATION) ||
                      (!floats && Flag(PIC_TIFF_PADDED)) || (floats && m_tags.sampleFormat != SAMPLEFORMAT_IEEEFP);
    if (!keepStored && !ApplyOrientation(m_context, m_image, m_tags.orientation)) return false;
    if (Flag(PIC_TIFF_FILE_ORDER)) FlipRows(m_image);  // bottom-up, as a bitmap keeps them
    if (spp >= 3 && (floats || Flag(PIC_TIFF_BGR))) SwapFirstAndThird(m_image, sampleBits / 8);
    if (stored.damaged) m_context.Fail(PIC_ERR_FILE_READ);
    return true;
}

// 8-bit CMYK with its four samples as they are stored, not converted.
bool CTiffDecoder::DecodeKeptCmyk() {
    if (!CheckDeclared(4)) return false;
    StoredImage stored;
    if (!ReadStored(stored)) return false;
    if (!NewWorkingImage(4)) return false;
    for (uint64_t y = 0; y < m_image.height; ++y)
        for (uint64_t x = 0; x < m_image.width; ++x)
            memcpy(m_image.bytes.data() + 4 * (y * m_image.width + x),
                   stored.bytes.data() + y * stored.rowBytes + x * m_tags.samples, 4);
    if (Flag(PIC_TIFF_BGR) && !Flag(PIC_TIFF_DIB)) SwapFirstAndThird(m_image, 1);
    return Finish(stored.damaged);
}

// 8-bit RGB pages (and JPEG-coded YCbCr ones) are already what a 24-bit
// read delivers: their strips are decoded straight, without the library's
// RGBA conversion (which gives the same pixels through a raster a third
// larger).
bool CTiffDecoder::DecodePlainRgb() {
    if (!CheckDeclared(3)) return false;
    int orientation = Orientation();
    bool asStored = (orientation <= 1 || orientation > 8) && m_tags.planar == PLANARCONFIG_CONTIG &&
                    !Flag(PIC_TIFF_DIB) && !Flag(PIC_TIFF_PADDED) && !Flag(PIC_TIFF_BGR);
    if (asStored) {
        // The rows need no change: they are decoded into the caller's block.
        uint64_t bytes = 3ull * m_tags.width * m_tags.height;
        if (!m_output.Allocate(m_context, bytes)) return false;
        bool damaged = false;
        if (!CStoredReader(m_context, m_tiff, m_tags).ReadInto(m_output.Data(), 3ull * m_tags.width, damaged)) {
            WipeBytes(m_output.Data(), bytes);  // the block is not handed over
            return false;
        }
        m_image.width = m_tags.width;
        m_image.height = m_tags.height;
        m_image.pixelBytes = 3;
        m_decodedIntoOutput = true;
        if (damaged) m_context.Fail(PIC_ERR_FILE_READ);
        return true;
    }
    StoredImage stored;
    if (!ReadStored(stored)) return false;
    m_image.width = m_tags.width;
    m_image.height = m_tags.height;
    m_image.pixelBytes = 3;
    std::swap(m_image.bytes, stored.bytes);
    if (Flag(PIC_TIFF_BGR) && !Flag(PIC_TIFF_DIB)) SwapFirstAndThird(m_image, 1);
    return Finish(stored.damaged);
}

bool CTiffDecoder::DecodeRgba(int32_t depth) {
    bool threeBytes = depth == 24 && m_tags.bits == 8 && m_tags.samples == 3 && m_tags.extraSamples == 0;
    if (threeBytes && m_tags.photometric == PHOTOMETRIC_RGB) return DecodePlainRgb();
    // JPEG-coded YCbCr strips come out as RGB from the JPEG library itself,
    // as the RGBA conversion would have asked for them.
    if (threeBytes && m_tags.photometric == PHOTOMETRIC_YCBCR && m_tags.compression == COMPRESSION_JPEG &&
        m_tags.planar == PLANARCONFIG_CONTIG && TIFFSetField(m_tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB))
        return DecodePlainRgb();
    uint16_t inks = INKSET_CMYK;
    TIFFGetField(m_tiff, TIFFTAG_INKSET, &inks);
    if (TiffContextOf(m_tiff)->keepCMYK && m_tags.photometric == PHOTOMETRIC_SEPARATED && inks == INKSET_CMYK &&
        m_tags.bits == 8 && m_tags.samples >= 4)
        return DecodeKeptCmyk();
    char message[1024] = {};
    if (!TIFFRGBAImageOK(m_tiff, message)) {
        LogMessage((std::string("LibTiff Error: ") + message + "\n").c_str(), PIC_ERR_BAD_TIFF, PIC_LOG_ERROR, 0);
        return m_context.Fail(PIC_ERR_BAD_TIFF);
    }
    if (!CheckDeclared(4)) return false;
    TIFFRGBAImage rgba;
    if (!TIFFRGBAImageBegin(&rgba, m_tiff, 1, message)) return m_context.Fail(PIC_ERR_BAD_TIFF);
    // The raster in stored order: the orientation is then applied once, by us.
    rgba.req_orientation = rgba.orientation;
    if (IsIndexedWithAlpha(rgba)) rgba.put.contig = PutIndexedWithAlpha;
    uint32_t w = rgba.width, h = rgba.height;
    m_image.width = w;
    m_image.height = h;
    m_image.pixelBytes = 4;
    bool damaged = false;
    if (!Zeroed(m_image.bytes, 4ull * w * h)) {
        TIFFRGBAImageEnd(&rgba);
        return m_context.Fail(PIC_ERR_OUT_OF_MEMORY);
    }
    // Whole strips (or rows of tiles), a few hundred rows at a time.
    uint32_t unit = m_tags.rowsPerStrip;
    if (m_tags.tiled) TIFFGetField(m_tiff, TIFFTAG_TILELENGTH, &unit);
    if (unit == 0 || unit > h) unit = h;
    uint32_t band = unit * std::max<uint32_t>(1, 256 / unit);
    auto readRows = [&](uint32_t y, uint32_t rows) {
        rgba.row_offset = (int)y;
        rgba.col_offset = 0;
        return TIFFRGBAImageGet(&rgba, reinterpret_cast<uint32_t*>(m_image.bytes.data() + 4ull * w * y), w, rows) != 0;
    };
    CPicProgress progress;
    for (uint32_t y = 0; y < h; y += band) {
        uint32_t rows = std::min(band, h - y);
        // The library stops at a strip it cannot read: the band is read again
        // strip by strip, so only that strip's rows stay 0.
        if (!readRows(y, rows)) {
            damaged = true;
            memset(m_image.bytes.data() + 4ull * w * y, 0, 4ull * w * rows);
            for (uint32_t part = y; part < y + rows && rows > unit; part += unit)
                if (!readRows(part, std::min(unit, y + rows - part)))
                    memset(m_image.bytes.data() + 4ull * w * part, 0, 4ull * w * std::min(unit, y + rows - part));
        }
        if (!PicReportRow(m_context, progress, y, h)) break;
    }
    TIFFRGBAImageEnd(&rgba);
    if (!m_context.Ok()) return false;
    if (!Flag(PIC_TIFF_NO_ORIENTATION) && !ApplyOrientation(m_context, m_image, m_tags.orientation)) return false;
    if (depth == 24) {
        // Packed to red, green, blue in place.
        uint64_t pixels = (uint64_t)m_image.width * m_image.height;
        uint8_t* p = m_image.bytes.data();
        for (uint64_t i = 0; i < pixels; ++i) {
            p[3 * i] = p[4 * i];
            p[3 * i + 1] = p[4 * i + 1];
            p[3 * i + 2] = p[4 * i + 2];
        }
        m_image.pixelBytes = 3;
    }
    if (Flag(PIC_TIFF_BGR) && !Flag(PIC_TIFF_DIB)) SwapFirstAndThird(m_image, 1);
    if (damaged) m_context.Fail(PIC_ERR_FILE_READ);
    return true;
}

// An unreadable strip or tile leaves its rows zero and the image is handed
// over with 3: an incomplete picture never reads as a whole one.
bool CTiffDecoder::Finish(bool damaged) {
    int orientation = Orientation();
    if (!ApplyOrientation(m_context, m_image, orientation)) return false;
    if (damaged) m_context.Fail(PIC_ERR_FILE_READ);
    return true;
}

void* CTiffDecoder::EmitDib(int32_t depth) {
    int32_t xPerMetre = 0, yPerMetre = 0;
    DibResolution(m_tiff, xPerMetre, yPerMetre);
    uint32_t w = m_image.width, h = m_image.height;
    if (depth == 8 || depth == 24) {
        if (!PicBuildDib(m_context, m_output, m_image.bytes.data(), w, h, m_image.RowBytes(), depth, m_table,
                         depth == 8 ? 256 : 0))
            return nullptr;
        memcpy(m_output.Data() + 24, &xPerMetre, 4);
        memcpy(m_output.Data() + 28, &yPerMetre, 4);
        return m_output.HandOver();
    }
    uint32_t bits = depth == 1 ? 1 : 32, colours = depth == 1 ? 2 : 0;
    uint64_t row = PicPaddedRow(depth == 1 ? (w + 7) / 8 : 4ull * w);
    if (!m_output.Allocate(m_context, PicDibBlockSize(w, h, bits, colours))) return nullptr;
    PicWriteDibHeader(m_output.Data(), w, h, bits, colours, m_table, xPerMetre, yPerMetre);
    uint8_t* rows = m_output.Data() + 40 + 4 * colours;
    for (uint32_t y = 0; y < h; ++y) {
        const uint8_t* from = m_image.bytes.data() + y * m_image.RowBytes();
        uint8_t* to = rows + (uint64_t)(h - 1 - y) * row;
        memcpy(to, from, m_image.RowBytes());
        if (depth == 32)
            for (uint32_t x = 0; x < w; ++x) std::swap(to[4 * x], to[4 * x + 2]);
    }
    return m_output.HandOver();
}

void* CTiffDecoder::Emit(int32_t depth, int32_t* width, int32_t* height) {
    if (m_decodedIntoOutput) {
        *width = (int32_t)m_image.width;
        *height = (int32_t)m_image.height;
        return m_output.HandOver();
    }
    if (m_image.bytes.empty()) return nullptr;
    *width = (int32_t)m_image.width;
    *height = (int32_t)m_image.height;
    if (Flag(PIC_TIFF_DIB)) return EmitDib(depth);
    if (depth == 1 && Flag(PIC_TIFF_BITS_FILE_ORDER)) FlipRows(m_image);
    uint64_t row = m_image.RowBytes();
    bool padded = Flag(PIC_TIFF_PADDED) && depth != 32 && depth != 96;
    uint64_t outRow = padded ? PicPaddedRow(row) : row;
    if (!m_output.Allocate(m_context, outRow * m_image.height)) return nullptr;
    for (uint32_t y = 0; y < m_image.height; ++y)
        memcpy(m_output.Data() + y * outRow, m_image.bytes.data() + y * row, row);
    if ((depth == 1 || depth == 8) && m_palette != nullptr) {
        for (int i = 0; i < 256; ++i) {
            BYTE reserved = m_palette[i].rgbReserved;  // the caller's fourth bytes stay
            m_palette[i] = m_table[i];
            m_palette[i].rgbReserved = reserved;
        }
    }
    return m_output.HandOver();
}

void* CTiffDecoder::Decode(int32_t depth, int32_t* width, int32_t* height) {
    bool dib = Flag(PIC_TIFF_DIB);
    if ((depth == 1 || depth == 8) && dib && Flag(PIC_TIFF_PADDED)) return m_context.Fail(PIC_ERR_BAD_PARAM), nullptr;
    bool made = false;
    switch (depth) {
    case 1: made = DecodeOneBit(); break;
    case 8: made = DecodeIndexed(); break;
    case 16:
    case 48:
    case 64:
    case 96: made = DecodeSamples(depth); break;
    case 24:
    case 32: made = DecodeRgba(depth); break;
    default: m_context.Fail(PIC_ERR_UNSUPPORTED); break;
    }
    // Only an image that is whole, or merely missing strips (3), is handed over.
    if (!made || (m_context.result != PIC_ERR_OK && m_context.result != PIC_ERR_FILE_READ)) return nullptr;
    return Emit(depth, width, height);
}

}  // namespace

TiffPageTags TiffReadTags(TIFF* tiff) {
    TiffPageTags t;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &t.width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &t.height);
    TIFFGetField(tiff, TIFFTAG_SAMPLESPERPIXEL, &t.samples);
    TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &t.bits);
    t.hasPhotometric = TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &t.photometric) != 0;
    TIFFGetField(tiff, TIFFTAG_ORIENTATION, &t.orientation);
    TIFFGetField(tiff, TIFFTAG_SAMPLEFORMAT, &t.sampleFormat);
    TIFFGetField(tiff, TIFFTAG_PLANARCONFIG, &t.planar);
    TIFFGetField(tiff, TIFFTAG_COMPRESSION, &t.compression);
    uint16_t* kinds = nullptr;
    TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &t.extraSamples, &kinds);
    t.rowsPerStrip = t.height;
    TIFFGetField(tiff, TIFFTAG_ROWSPERSTRIP, &t.rowsPerStrip);
    t.tiled = TIFFIsTiled(tiff) != 0;
    return t;
}

int32_t TiffDibDepth(const TiffPageTags& t) {
    uint32_t colour = t.samples - std::min(t.extraSamples, t.samples);
    bool oneBit = t.bits == 1 && !(t.planar == PLANARCONFIG_SEPARATE && colour > 1) &&
                  (t.hasPhotometric || colour == 1);
    if (oneBit) return 1;
    if (t.bits <= 8 && t.samples == 1) return 8;
    if (t.bits <= 16 && t.samples == 1 && (t.photometric == PHOTOMETRIC_MINISWHITE || t.photometric == PHOTOMETRIC_MINISBLACK))
        return 8;
    return t.samples == 3 ? 24 : 32;
}

void* TiffDecodePage(CPicReaderContext& context, TiffPage& page, int32_t depth, RGBQUAD* palette, int32_t* width,
                     int32_t* height) {
    CTiffDecoder decoder(context, page, palette);
    void* pixels = decoder.Decode(depth, width, height);
    TiffContextOf(page.tiff)->lastError = context.result;
    return pixels;
}
