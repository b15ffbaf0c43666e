#include "imaging/readers/PicBmpReader.h"

#include <cstring>
#include <vector>

#include "imaging/core/PicConvert.h"
#include "imaging/core/PicSizes.h"

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kCoreHeaderSize = 12;
// The version 4 and 5 headers: the 40-byte header, then the bit-field masks
// and colour-space fields, which only the masks are taken from.
constexpr uint32_t kV4HeaderSize = 108;
constexpr uint32_t kV5HeaderSize = 124;
enum BmpCompression : uint32_t { BMP_RGB = 0, BMP_RLE8 = 1, BMP_RLE4 = 2, BMP_BITFIELDS = 3 };

struct BmpFileHeader {
    uint32_t fileSize = 0;
    uint32_t offBits = 0;
};

struct BmpInfo {
    uint32_t headerSize = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t sizeImage = 0;
    int32_t xPerMetre = 0;
    int32_t yPerMetre = 0;
    uint32_t coloursUsed = 0;
    bool core = false;
    CPicBitFieldMasks headerMasks = {0, 0, 0};  // of a version 4 or 5 header

    bool MasksInHeader() const { return headerSize > kInfoHeaderSize; }

    uint64_t Rows() const { return core ? (uint64_t)(uint16_t)height : (uint64_t)std::abs((int64_t)height); }
    // File rows go bottom-up unless the height is negative.
    bool BottomUp() const { return core || height > 0; }
    uint64_t FileRowBytes() const { return PicDIBRowBytes((uint32_t)width, bitCount); }
};

// Exchanges red and blue of `count` 3- or 4-byte pixels.
void SwapRB24OrRB32(uint8_t* pixels, uint32_t count, uint32_t bytesPerPixel) {
    if (bytesPerPixel == 3)
        SwapRB24InPlace(pixels, count, 1);
    else
        SwapRB32InPlace(pixels, count, 1);
}

uint16_t Get16(const uint8_t* p) { return (uint16_t)(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) { return (uint32_t)(p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24); }

bool ReadFileHeader(CPicReaderContext& context, CPicIO& source, BmpFileHeader& header) {
    uint8_t bytes[kFileHeaderSize];
    if (!source.ReadExact(bytes, 2)) return context.Fail(PIC_ERR_FILE_READ);
    if (bytes[0] != 'B' || bytes[1] != 'M') return context.Fail(PIC_ERR_BAD_BMP);
    if (!source.ReadExact(bytes + 2, kFileHeaderSize - 2)) return context.Fail(PIC_ERR_FILE_READ);
    header.fileSize = Get32(bytes + 2);
    header.offBits = Get32(bytes + 10);
    return true;
}

// The info header: 40 bytes (or a version 4 or 5 header that begins with
// them), or the 12-byte OS/2 core header. The whole header is consumed.
bool ReadInfoHeader(CPicReaderContext& context, CPicIO& source, BmpInfo& info) {
    uint8_t bytes[kV5HeaderSize];
    if (!source.ReadExact(bytes, 4)) return context.Fail(PIC_ERR_FILE_READ);
    info.headerSize = Get32(bytes);
    if (info.headerSize != kInfoHeaderSize && info.headerSize != kCoreHeaderSize &&
        info.headerSize != kV4HeaderSize && info.headerSize != kV5HeaderSize)
        return context.Fail(PIC_ERR_BAD_BMP);
    if (!source.ReadExact(bytes + 4, info.headerSize - 4)) return context.Fail(PIC_ERR_FILE_READ);
    info.core = info.headerSize == kCoreHeaderSize;
    if (info.core) {
        info.width = Get16(bytes + 4);
        info.height = Get16(bytes + 6);
        info.bitCount = Get16(bytes + 10);
        return true;
    }
    info.width = (int32_t)Get32(bytes + 4);
    info.height = (int32_t)Get32(bytes + 8);
    info.bitCount = Get16(bytes + 14);
    info.compression = Get32(bytes + 16);
    info.sizeImage = Get32(bytes + 20);
    info.xPerMetre = (int32_t)Get32(bytes + 24);
    info.yPerMetre = (int32_t)Get32(bytes + 28);
    info.coloursUsed = Get32(bytes + 32);
    if (info.MasksInHeader()) info.headerMasks = {Get32(bytes + 40), Get32(bytes + 44), Get32(bytes + 48)};
    return true;
}

bool IsIndexedBitCount(uint32_t bits) { return bits == 1 || bits == 4 || bits == 8; }

// Colours of the table: colours used, or 2^bits when 0; more than the bit
// count can address is a bad file.
bool TableColours(CPicReaderContext& context, const BmpInfo& info, uint32_t& colours) {
    uint32_t full = info.bitCount <= 8 ? 1u << info.bitCount : 0;
    colours = info.coloursUsed != 0 ? info.coloursUsed : full;
    if (IsIndexedBitCount(info.bitCount) && info.coloursUsed > full) return context.Fail(PIC_ERR_BAD_BMP);
    if (colours > 256) colours = 256;
    return true;
}

// Reads `colours` table entries (4 bytes, or 3 after a core header) into the
// palette; the entries from there to 255 repeat entry 0 when fillRest is set.
bool ReadTable(CPicReaderContext& context, CPicIO& source, const BmpInfo& info, uint32_t colours,
               RGBQUAD* palette, bool fillRest) {
    for (uint32_t i = 0; i < colours; ++i) {
        uint8_t entry[4];
        if (!source.ReadExact(entry, info.core ? 3 : 4)) return context.Fail(PIC_ERR_FILE_READ);
        palette[i].rgbBlue = entry[0];
        palette[i].rgbGreen = entry[1];
        palette[i].rgbRed = entry[2];
        if (!info.core) palette[i].rgbReserved = entry[3];
    }
    if (fillRest)
        for (uint32_t i = colours; i < 256; ++i) palette[i] = palette[0];
    return true;
}

// Moves to the pixel data unless the offset says they follow (0, or an
// offset that left the info header out).
bool SeekToPixels(CPicReaderContext& context, CPicIO& source, const BmpFileHeader& header, uint64_t bytesRead) {
    if (header.offBits == 0) return true;
    if (header.offBits + (uint64_t)kInfoHeaderSize == bytesRead) {
        PicTrace("BMP read: assuming bfOffBits includes sizeof(BITMAPINFOHEADER)\n");
        return true;
    }
    if (header.offBits < bytesRead) PicTrace("BMP read: bfOffBits is less than the number of bytes already read!!!\n");
    return source.Seek(header.offBits, 0) || context.Fail(PIC_ERR_FILE_READ);
}

uint64_t OutputStride(uint32_t width, uint32_t bits, uint32_t flags) {
    uint64_t stride = PicPackedRowBytes(width, bits);
    return (flags & PIC_READ_DIB_ROWS) ? PicPaddedRow(stride) : stride;
}

// Checks the declared size of a read from rows stored as they are.
bool CheckRawImage(CPicReaderContext& context, CPicIO& source, const BmpInfo& info, uint64_t stride) {
    if (info.width < 1) return context.Fail(PIC_ERR_BAD_BMP);
    return PicCheckDeclaredImage(context, (uint32_t)info.width, info.Rows(), stride * info.Rows(), PIC_ERR_BAD_BMP) &&
           PicCheckCodedBytes(context, info.FileRowBytes() * info.Rows(), source.BytesLeft(), PIC_EXPAND_RAW,
                              PIC_ERR_BAD_BMP);
}

// Reads the stored rows one by one and hands each to convert(fileRow, outRow).
template <class Convert>
void ReadRows(CPicReaderContext& context, CPicIO& source, const BmpInfo& info, uint8_t* out, uint64_t stride,
              bool partialRowsAllowed, Convert&& convert) {
    uint32_t rows = (uint32_t)info.Rows();
    std::vector<uint8_t> fileRow((size_t)info.FileRowBytes());
    CPicProgress progress;
    for (uint32_t r = 0; r < rows; ++r) {
        uint32_t target = info.BottomUp() ? rows - 1 - r : r;
        if (!PicReportRow(context, progress, rows - target - 1, rows)) return;
        uint32_t got = (uint32_t)fileRow.size();
        if (partialRowsAllowed) {
            std::fill(fileRow.begin(), fileRow.end(), 0);
            got = source.Read(fileRow.data(), (uint32_t)fileRow.size());
            if (got == 0) {
                context.Fail(PIC_ERR_FILE_READ);
                return;
            }
        } else if (!source.ReadExact(fileRow.data(), (uint32_t)fileRow.size())) {
            context.Fail(PIC_ERR_FILE_READ);
            return;
        }
        convert(fileRow.data(), out + PicRowOffset(target, stride));
        if (got < fileRow.size() && partialRowsAllowed) {
            context.Fail(PIC_ERR_FILE_READ);  // a cut row: what came is kept, the image is incomplete
            return;
        }
    }
}

// ---- run-length coded files ----

class BmpRleDecoder {
public:
    BmpRleDecoder(CPicReaderContext& context, CPicIO& source, const BmpInfo& info, const RGBQUAD* palette,
                  uint32_t colours, uint32_t outBits, uint32_t flags, uint8_t* out, uint64_t stride)
        : m_context(context), m_source(source), m_info(info), m_palette(palette), m_colours(colours),
          m_outBits(outBits), m_flags(flags), m_out(out), m_stride(stride),
          m_width((uint32_t)info.width), m_rows((uint32_t)info.Rows()) {}

    void Decode();

private:
    bool Byte(uint8_t& value) {
        if (!m_source.ReadExact(&value, 1)) return m_context.Fail(PIC_ERR_FILE_READ);
        return true;
    }
    // Places indices at the current row and column; what lies beyond the
    // width or above the top is dropped.
    void Place(const uint8_t* indices, uint32_t count);
    bool NextRow(int64_t by);

    CPicReaderContext& m_context;
    CPicIO& m_source;
    const BmpInfo& m_info;
    const RGBQUAD* m_palette;
    uint32_t m_colours;
    uint32_t m_outBits;
    uint32_t m_flags;
    uint8_t* m_out;
    uint64_t m_stride;
    uint32_t m_width;
    uint32_t m_rows;
    int64_t m_row = 0;  // output row, counted from the top
    uint64_t m_column = 0;
    CPicProgress m_progress;
};

void BmpRleDecoder::Place(const uint8_t* indices, uint32_t count) {
    if (m_row < 0 || m_row >= m_rows || m_column >= m_width) {
        m_column += count;
        return;
    }
    uint32_t fits = (uint32_t)std::min<uint64_t>(count, m_width - m_column);
    uint8_t* row = m_out + PicRowOffset((uint32_t)m_row, m_stride);
    if (m_outBits == 8) {
        memcpy(row + m_column, indices, fits);
    } else {
        uint32_t bytes = m_outBits / 8;
        ConvertPackedRowToRGB(indices, row + m_column * bytes, fits, 8, m_palette, m_colours, nullptr, bytes == 4,
                              255, false);
        if (m_flags & PIC_READ_DIB_ROWS) SwapRB24OrRB32(row + m_column * bytes, fits, bytes);
    }
    m_column += count;
}

bool BmpRleDecoder::NextRow(int64_t by) {
    m_row -= by;
    if (m_row >= 0 && m_row < m_rows && !PicReportRow(m_context, m_progress, (uint32_t)(m_rows - m_row - 1), m_rows))
        return false;
    return true;
}

void BmpRleDecoder::Decode() {
    m_row = (int64_t)m_rows - 1;
    bool fourBits = m_info.bitCount == 4;
    uint8_t run[256];
    while (m_context.Ok()) {
        uint8_t count, value;
        if (!Byte(count) || !Byte(value)) return;
        if (count > 0) {
            for (uint32_t i = 0; i < count; ++i)
                run[i] = fourBits ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value;
            Place(run, count);
            continue;
        }
        if (value == 0) {  // end of line
            m_column = 0;
            if (!NextRow(1)) return;
        } else if (value == 1) {  // end of bitmap
            return;
        } else if (value == 2) {  // delta
            uint8_t dx, dy;
            if (!Byte(dx) || !Byte(dy)) return;
            m_column += dx;
            if (dy != 0 && !NextRow(dy)) return;
        } else {  // absolute run
            uint32_t bytes = fourBits ? (value + 1) / 2 : value;
            uint8_t coded[256];
            if (!m_source.ReadExact(coded, bytes)) {
                m_context.Fail(PIC_ERR_FILE_READ);
                return;
            }
            for (uint32_t i = 0; i < value; ++i)
                run[i] = fourBits ? (i % 2 == 0 ? coded[i / 2] >> 4 : coded[i / 2] & 0x0F) : coded[i];
            Place(run, value);
            uint8_t pad;
            if (bytes % 2 == 1 && !Byte(pad)) return;
        }
        if (m_row < 0) return;  // nothing further can be placed
    }
}


void* DecodeRle(CPicReaderContext& context, CPicIO& source, int32_t* width, int32_t* height, uint32_t outBits,
                RGBQUAD* palette, uint32_t flags) {
    if (outBits != 8 && outBits != 24 && outBits != 32) return context.Fail(PIC_ERR_BIT_DEPTH), nullptr;
    if (!source.Rewind()) return context.Fail(PIC_ERR_FILE_READ), nullptr;
    BmpFileHeader header;
    BmpInfo info;
    if (!ReadFileHeader(context, source, header) || !ReadInfoHeader(context, source, info)) return nullptr;
    if (info.core) return context.Fail(PIC_ERR_BAD_BMP), nullptr;
    if (!((info.compression == BMP_RLE4 && info.bitCount == 4) || (info.compression == BMP_RLE8 && info.bitCount == 8)))
        return context.Fail(PIC_ERR_RLE_UNSUPPORTED), nullptr;
    // Run-length rows are always written bottom-up; a top-down height has no meaning here.
    if (info.height < 0 || info.width < 1) return context.Fail(PIC_ERR_BAD_BMP), nullptr;
    uint32_t colours;
    RGBQUAD table[256] = {};
    if (!TableColours(context, info, colours) || !ReadTable(context, source, info, colours, table, true)) return nullptr;
    if (palette != nullptr) memcpy(palette, table, sizeof table);
    uint64_t read = kFileHeaderSize + info.headerSize + 4ull * colours;
    if (!SeekToPixels(context, source, header, read)) return nullptr;
    uint64_t stride = OutputStride((uint32_t)info.width, outBits, flags);
    if (!PicCheckDeclaredImage(context, (uint32_t)info.width, info.Rows(), stride * info.Rows(), PIC_ERR_BAD_BMP) ||
        !PicCheckCodedBytes(context, (uint64_t)(uint32_t)info.width * info.Rows(), source.BytesLeft(),
                            PIC_EXPAND_RLE, PIC_ERR_BAD_BMP))
        return nullptr;
    CPicReaderOutput output;
    if (!output.Allocate(context, stride * info.Rows())) return nullptr;
    uint8_t* out = output.Data();
    if (outBits > 8) {
        uint8_t first[4];
        uint8_t zero = 0;
        ConvertPackedRowToRGB(&zero, first, 1, 8, table, colours, nullptr, outBits == 32, 255,
                              false);
        if (flags & PIC_READ_DIB_ROWS) SwapRB24OrRB32(first, 1, outBits / 8);
        for (uint32_t y = 0; y < info.Rows(); ++y)
            for (uint32_t x = 0; x < (uint32_t)info.width; ++x)
                memcpy(out + PicRowOffset(y, stride) + (uint64_t)x * (outBits / 8), first, outBits / 8);
    }
    BmpRleDecoder(context, source, info, table, colours, outBits, flags, out, stride).Decode();
    *width = info.width;
    *height = info.height;
    return output.HandOver();
}

void* ReadCoreIndexed(CPicReaderContext& context, CPicIO& source, const BmpInfo& info, int32_t* width,
                      int32_t* height, uint32_t outBits, RGBQUAD* palette, uint32_t flags);

// 1- or 8-bit output: indices (one bit, or one byte each) and the palette.
void* ReadIndexed(CPicReaderContext& context, CPicIO& source, int32_t* width, int32_t* height, uint32_t outBits,
                  RGBQUAD* palette, uint32_t flags) {
    BmpFileHeader header;
    BmpInfo info;
    if (!ReadFileHeader(context, source, header) || !ReadInfoHeader(context, source, info)) return nullptr;
    if (info.core) return ReadCoreIndexed(context, source, info, width, height, outBits, palette, flags);
    if (info.bitCount > 8 || info.bitCount > outBits) return context.Fail(PIC_ERR_BIT_DEPTH), nullptr;
    if (!IsIndexedBitCount(info.bitCount) || info.width < 1) return context.Fail(PIC_ERR_BAD_BMP), nullptr;
    uint32_t colours;
    if (!TableColours(context, info, colours) || !ReadTable(context, source, info, colours, palette, true))
        return nullptr;
    if ((info.compression == BMP_RLE8 && info.bitCount == 8) || (info.compression == BMP_RLE4 && info.bitCount == 4)) {
        if (outBits != 8) return context.Fail(PIC_ERR_BIT_DEPTH), nullptr;
        return DecodeRle(context, source, width, height, 8, palette, flags);
    }
    if (info.compression != BMP_RGB) return context.Fail(PIC_ERR_BAD_BMP), nullptr;
    if (!SeekToPixels(context, source, header, kFileHeaderSize + info.headerSize + 4ull * colours)) return nullptr;
    uint64_t stride = OutputStride((uint32_t)info.width, outBits, flags);
    if (!CheckRawImage(context, source, info, stride)) return nullptr;
    CPicReaderOutput output;
    if (!output.Allocate(context, stride * info.Rows())) return nullptr;
    uint32_t w = (uint32_t)info.width;
    ReadRows(context, source, info, output.Data(), stride, false, [&](const uint8_t* fileRow, uint8_t* outRow) {
        if (outBits == 1)
            memcpy(outRow, fileRow, (size_t)PicPackedRowBytes(w, 1));
        else
            ExpandIndexRowTo8Bit(fileRow, outRow, w, info.bitCount);
    });
    *width = info.width;
    *height = (int32_t)info.Rows();
    return output.HandOver();
}

void* ReadCoreIndexed(CPicReaderContext& context, CPicIO& source, const BmpInfo& info, int32_t* width,
                      int32_t* height, uint32_t outBits, RGBQUAD* palette, uint32_t flags) {
    if (info.bitCount > 8 || info.bitCount > outBits) return context.Fail(PIC_ERR_BIT_DEPTH), nullptr;
    if (!IsIndexedBitCount(info.bitCount)) return context.Fail(PIC_ERR_BAD_BMP), nullptr;
    if (!ReadTable(context, source, info, 1u << info.bitCount, palette, false)) return nullptr;
    uint64_t stride = OutputStride((uint32_t)info.width, outBits, flags);
    if (!CheckRawImage(context, source, info, stride)) return nullptr;
    CPicReaderOutput output;
    if (!output.Allocate(context, stride * info.Rows())) return nullptr;
    uint32_t w = (uint32_t)info.width;
    ReadRows(context, source, info, output.Data(), stride, false, [&](const uint8_t* fileRow, uint8_t* outRow) {
        if (outBits == 1)
            memcpy(outRow, fileRow, (size_t)PicPackedRowBytes(w, 1));
        else
            ExpandIndexRowTo8Bit(fileRow, outRow, w, info.bitCount);
    });
    *width = info.width;
    *height = (int32_t)info.Rows();
    return output.HandOver();
}

// 24- or 32-bit output from every depth the file may have.
void* ReadRgb(CPicReaderContext& context, CPicIO& source, int32_t* width, int32_t* height, uint32_t outBits,
              uint32_t flags) {
    BmpFileHeader header;
    BmpInfo info;
    if (!ReadFileHeader(context, source, header) || !ReadInfoHeader(context, source, info)) return nullptr;
    if (info.width < 1) return context.Fail(PIC_ERR_BAD_BMP), nullptr;
    uint64_t read = kFileHeaderSize + info.headerSize;
    CPicBitFieldMasks masks = {0, 0, 0};
    bool useMasks = false;
    if (info.core) {
        if (info.bitCount != 24 && !IsIndexedBitCount(info.bitCount)) return context.Fail(PIC_ERR_BAD_BMP), nullptr;
    } else if (info.compression == BMP_BITFIELDS) {
        if (info.MasksInHeader()) {
            masks = info.headerMasks;
        } else {
            uint8_t bytes[12];
            if (!source.ReadExact(bytes, 12)) return context.Fail(PIC_ERR_FILE_READ), nullptr;
            masks = {Get32(bytes), Get32(bytes + 4), Get32(bytes + 8)};
            read += 12;
        }
        useMasks = info.bitCount == 16;
    } else if (info.compression == BMP_RLE8 || info.compression == BMP_RLE4) {
        if (info.bitCount != (info.compression == BMP_RLE8 ? 8 : 4)) return context.Fail(PIC_ERR_BAD_BMP), nullptr;
        return DecodeRle(context, source, width, height, outBits, nullptr, flags);
    } else if (info.compression != BMP_RGB) {
        return context.Fail(PIC_ERR_BAD_BMP), nullptr;
    }
    if (!IsIndexedBitCount(info.bitCount) && info.bitCount != 16 && info.bitCount != 24 && info.bitCount != 32)
        return context.Fail(PIC_ERR_BAD_BMP), nullptr;
    RGBQUAD table[256] = {};
    uint32_t colours = 0;
    if (IsIndexedBitCount(info.bitCount)) {
        if (info.core)
            colours = 1u << info.bitCount;
        else if (!TableColours(context, info, colours))
            return nullptr;
        if (!ReadTable(context, source, info, colours, table, false)) return nullptr;
        read += (info.core ? 3ull : 4ull) * colours;
    }
    if (!info.core && !SeekToPixels(context, source, header, read)) return nullptr;
    uint64_t stride = OutputStride((uint32_t)info.width, outBits, flags);
    if (!CheckRawImage(context, source, info, stride)) return nullptr;
    CPicReaderOutput output;
    if (!output.Allocate(context, stride * info.Rows())) return nullptr;
    uint32_t w = (uint32_t)info.width;
    bool keepOrder = (flags & PIC_READ_DIB_ROWS) && info.bitCount >= 24;
    ReadRows(context, source, info, output.Data(), stride, true, [&](const uint8_t* fileRow, uint8_t* outRow) {
        ConvertPackedRowToRGB(fileRow, outRow, w, info.bitCount, table, colours, useMasks ? &masks : nullptr,
                              outBits == 32, 255, keepOrder);
    });
    *width = info.width;
    *height = (int32_t)info.Rows();
    return output.HandOver();
}

void PutHeader(uint8_t* block, const BmpInfo& info, uint32_t bitCount, uint32_t sizeImage, uint32_t colours) {
    BITMAPINFOHEADER header = {};
    header.biSize = kInfoHeaderSize;
    header.biWidth = info.width;
    header.biHeight = info.height;
    header.biPlanes = 1;
    header.biBitCount = (WORD)bitCount;
    header.biSizeImage = sizeImage;
    header.biClrUsed = header.biClrImportant = colours;
    memcpy(block, &header, sizeof header);
}

// The OS/2 file as a packed bitmap with a 40-byte header and 4-byte entries.
void* ReadCoreDib(CPicReaderContext& context, CPicIO& source, const BmpInfo& info, int32_t* width,
                  int32_t* height) {
    uint32_t entries = IsIndexedBitCount(info.bitCount) ? 1u << info.bitCount : 0;
    if (entries == 0 && info.bitCount != 24) return context.Fail(PIC_ERR_BAD_BMP), nullptr;
    uint64_t rowBytes = info.FileRowBytes();
    uint64_t pixelBytes = rowBytes * info.Rows();
    if (!PicCheckDeclaredImage(context, (uint32_t)info.width, info.Rows(), pixelBytes + 40 + 4 * entries,
                               PIC_ERR_BAD_BMP) ||
        !PicCheckCodedBytes(context, pixelBytes, source.BytesLeft(), PIC_EXPAND_RAW, PIC_ERR_BAD_BMP))
        return nullptr;
    RGBQUAD table[256] = {};
    if (!ReadTable(context, source, info, entries, table, false)) return nullptr;
    CPicReaderOutput output;
    if (!output.Allocate(context, kInfoHeaderSize + 4ull * entries + pixelBytes)) return nullptr;
    uint8_t* block = output.Data();
    PutHeader(block, info, info.bitCount, (uint32_t)pixelBytes, entries);
    memcpy(block + kInfoHeaderSize, table, 4ull * entries);
    if (!source.ReadExact(block + kInfoHeaderSize + 4 * entries, (uint32_t)pixelBytes))
        return context.Fail(PIC_ERR_FILE_READ), nullptr;
    *width = info.width;
    *height = info.height;
    return output.HandOver();
}

// The file's own packed bitmap: header, table or masks, pixel data as stored.
void* ReadDib(CPicReaderContext& context, CPicIO& source, int32_t* width, int32_t* height) {
    BmpFileHeader header;
    BmpInfo info;
    if (!ReadFileHeader(context, source, header)) return nullptr;
    uint64_t sourceSize = 0;
    if (!source.GetSize(&sourceSize)) return context.Fail(PIC_ERR_FILE_READ), nullptr;
    uint64_t headerStart = 0;
    source.Tell(&headerStart);
    if (!ReadInfoHeader(context, source, info)) return nullptr;
    if (info.core) return ReadCoreDib(context, source, info, width, height);
    if (info.width < 1) return context.Fail(PIC_ERR_BAD_BMP), nullptr;
    uint64_t table = 0;
    if (IsIndexedBitCount(info.bitCount)) {
        uint32_t colours;
        if (!TableColours(context, info, colours)) return nullptr;
        table = 4ull * (info.coloursUsed != 0 ? info.coloursUsed : 1u << info.bitCount);
    } else if ((info.bitCount == 15 || info.bitCount == 16 || info.bitCount == 32) &&
               info.compression == BMP_BITFIELDS) {
        table = 12;
    }
    uint64_t known = 0;
    if (IsIndexedBitCount(info.bitCount) || info.bitCount == 24 || info.bitCount == 32)
        known = kInfoHeaderSize + table + PicDIBRowBytes((uint32_t)info.width, info.bitCount) * info.Rows();
    if (!PicCheckDeclaredImage(context, (uint32_t)info.width, info.Rows(), known, PIC_ERR_BAD_BMP)) return nullptr;
    uint64_t fromSource = sourceSize > headerStart + kInfoHeaderSize ? sourceSize - headerStart : 0;
    uint64_t blockSize = std::max(known, fromSource);
    blockSize = std::max<uint64_t>(blockSize, kInfoHeaderSize + table);  // never write past the block
    if (info.compression == BMP_RGB && !PicCheckCodedBytes(context, known, fromSource, PIC_EXPAND_RAW, PIC_ERR_BAD_BMP))
        return nullptr;
    CPicReaderOutput output;
    if (!output.Allocate(context, blockSize)) return nullptr;
    uint8_t* block = output.Data();
    if (!source.Seek((int64_t)headerStart, 0) || !source.ReadExact(block, kInfoHeaderSize))
        return context.Fail(PIC_ERR_FILE_READ), nullptr;
    // A longer header becomes a 40-byte one with its masks behind it.
    bool masksFromHeader = info.MasksInHeader() && info.compression == BMP_BITFIELDS && table == 12;
    if (info.MasksInHeader()) {
        reinterpret_cast<BITMAPINFOHEADER*>(block)->biSize = kInfoHeaderSize;
        if (!source.Seek((int64_t)(headerStart + info.headerSize), 0)) return context.Fail(PIC_ERR_FILE_READ), nullptr;
    }
    if (masksFromHeader) {
        uint32_t masks[3] = {info.headerMasks.red, info.headerMasks.green, info.headerMasks.blue};
        memcpy(block + kInfoHeaderSize, masks, sizeof masks);
    } else if (!source.ReadExact(block + kInfoHeaderSize, (uint32_t)table)) {
        return context.Fail(PIC_ERR_FILE_READ), nullptr;
    }
    uint64_t read = kFileHeaderSize + info.headerSize + (masksFromHeader ? 0 : table);
    if (header.offBits != read && header.offBits != kFileHeaderSize + kInfoHeaderSize &&
        header.offBits != kFileHeaderSize) {
        if (!source.Seek(header.offBits, 0)) return context.Fail(PIC_ERR_BAD_BMP), nullptr;
    }
    BITMAPINFOHEADER* stored = reinterpret_cast<BITMAPINFOHEADER*>(block);
    if (stored->biSizeImage == 0)
        stored->biSizeImage = (uint32_t)(PicDIBRowBytes((uint32_t)info.width, info.bitCount) * info.Rows());
    uint64_t room = blockSize - kInfoHeaderSize - table;
    uint64_t got = 0;
    uint8_t* pixels = block + kInfoHeaderSize + table;
    while (got < room) {
        uint32_t n = source.Read(pixels + got, (uint32_t)std::min<uint64_t>(room - got, 1 << 20));
        if (n == 0) break;
        got += n;
    }
    uint64_t needed = known > kInfoHeaderSize + table ? known - kInfoHeaderSize - table : 0;
    if (info.compression == BMP_RGB && got < needed) context.Fail(PIC_ERR_FILE_READ);  // incomplete pixels
    *width = info.width;
    *height = info.height;
    return output.HandOver();
}

bool ReadDims(CPicReaderContext& context, CPicIO& source, int32_t* width, int32_t* height, int32_t* bits,
              PicResolutionInfo* resolution) {
    BmpFileHeader header;
    BmpInfo info;
    if (!ReadFileHeader(context, source, header) || !ReadInfoHeader(context, source, info)) return false;
    *width = info.width;
    *height = info.height;
    *bits = info.bitCount;
    if (resolution != nullptr && !info.core) {
        resolution->x = info.xPerMetre;
        resolution->y = info.yPerMetre;
        resolution->unit = 2;
    }
    return true;
}

bool ReadPalette(CPicReaderContext& context, CPicIO& source, int32_t* count, RGBQUAD* palette) {
    BmpFileHeader header;
    BmpInfo info;
    if (!ReadFileHeader(context, source, header) || !ReadInfoHeader(context, source, info)) return false;
    if (!IsIndexedBitCount(info.bitCount)) return context.Fail(PIC_ERR_BIT_DEPTH);
    if (palette == nullptr) return context.Fail(PIC_ERR_BAD_PARAM);
    uint32_t colours = 1u << info.bitCount;
    if (!info.core && !TableColours(context, info, colours)) return false;
    if (!ReadTable(context, source, info, colours, palette, false)) return false;
    *count = (int32_t)colours;
    return true;
}

}  // namespace

BOOL WINAPI pic_GetBMPDims(CPicIO* source, int32_t* width, int32_t* height, int32_t* bitsPerPixel,
                           PicResolutionInfo* resolution, uint32_t) {
    return PicReaderEntry("pic_GetBMPDims", FALSE, source, [&](CPicReaderContext& context) -> BOOL {
        if (width == nullptr || height == nullptr || bitsPerPixel == nullptr) return context.Fail(PIC_ERR_BAD_PARAM);
        return ReadDims(context, *source, width, height, bitsPerPixel, resolution);
    });
}

BOOL WINAPI pic_GetBMPPalette(CPicIO* source, int32_t* colourCount, RGBQUAD* palette, uint32_t) {
    return PicReaderEntry("pic_GetBMPPalette", FALSE, source, [&](CPicReaderContext& context) -> BOOL {
        if (colourCount == nullptr) return context.Fail(PIC_ERR_BAD_PARAM);
        return ReadPalette(context, *source, colourCount, palette);
    });
}

void* WINAPI pic_ReadBMP(CPicIO* source, int32_t* width, int32_t* height, int32_t bitDepth, RGBQUAD* palette,
                         uint32_t flags) {
    return PicReaderEntry("pic_ReadBMP", (void*)nullptr, source, [&](CPicReaderContext& context) -> void* {
        int32_t ignored = 0;
        if (width == nullptr) width = &ignored;
        if (height == nullptr) height = &ignored;
        if (flags & PIC_READ_DIB) return ReadDib(context, *source, width, height);
        if (bitDepth == 1 || bitDepth == 8) {
            if (palette == nullptr) return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
            return ReadIndexed(context, *source, width, height, (uint32_t)bitDepth, palette, flags);
        }
        if (bitDepth == 24 || bitDepth == 32) return ReadRgb(context, *source, width, height, (uint32_t)bitDepth, flags);
        return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
    });
}
