#include "imaging/readers/PicTlaReader.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "framework/base/WipedMemory.h"
#include "imaging/core/PicConvert.h"
#include "imaging/core/PicSizes.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicDibBuilder.h"
#include "imaging/readers/PicReaderFrame.h"
#include "imaging/readers/PicTlaCipher.h"

namespace {

// The decoder's own codes; TlaMapError turns them into the library's.
enum TlaCode : int32_t {
    kTlaOk = 0,
    kTlaBadArgument = 1,
    kTlaBadStream = 3,
    kTlaReadFailed = 4,
    kTlaNoFrame = 6,
    kTlaInflateStart = 8,
    kTlaUnsupported = 10,
    kTlaVersion = 11,
    kTlaPastTheEnd = 13,
    kTlaNoMemory = 14,
};

constexpr int32_t kLibraryZlibStart = 51;

int32_t TlaMapError(int32_t code) {
    switch (code) {
    case kTlaOk: return PIC_ERR_OK;
    case kTlaBadArgument: return PIC_ERR_BAD_PARAM;
    case 2: return PIC_ERR_FILE_OPEN;
    case kTlaBadStream: return PIC_ERR_BAD_TLA;
    case kTlaReadFailed: return PIC_ERR_FILE_READ;
    case 5: return PIC_ERR_FILE_WRITE;
    case kTlaNoFrame: return PIC_ERR_TLA_NO_FRAME;
    case 7: return 49;
    case kTlaInflateStart: return kLibraryZlibStart;
    case 9: return 50;
    case kTlaUnsupported: return PIC_ERR_UNSUPPORTED;
    case kTlaVersion:
    case 12: return PIC_ERR_BAD_TLA;
    case kTlaPastTheEnd: return PIC_ERR_END_OF_IMAGE;
    case kTlaNoMemory: return PIC_ERR_OUT_OF_MEMORY;
    default: return PIC_ERR_OK;
    }
}

enum TlaChunk : uint16_t {
    kVersion = 100,
    kHeader = 101,
    kList = 102,
    kCompression = 103,
    kPalette = 104,
    kFrame = 106,
};

enum TlaFilter : uint16_t { kFilterSub = 1, kFilterUp = 2, kFilterPaeth = 4 };

// Skips of 2^31 bytes or more would turn into backward seeks.
constexpr uint64_t kLargestSkip = 0x7FFFFFFF;

uint16_t Le16(const uint8_t* p) { return (uint16_t)(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) { return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24; }

voidpf WipedZAlloc(voidpf, uInt items, uInt size) {
    if (size != 0 && items > SIZE_MAX / size) return Z_NULL;
    return WipedAllocSized((size_t)items * size);
}
void WipedZFree(voidpf, voidpf block) { WipedFreeSized(block); }

struct TlaChunkHeader {
    uint16_t type = 0;
    uint32_t length = 0;
};

// One TLA stream being read over a byte source. Plain bytes (palette, list
// blocks, compressed and inflated frames) live in wiped memory; the key and
// the frame cipher wipe themselves.
class TlaDecoder {
public:
    explicit TlaDecoder(CPicIO& source) : m_source(source) {}
    ~TlaDecoder() {
        if (m_inflating) inflateEnd(&m_zip);
        WipeBytes(m_palette, sizeof m_palette);
    }
    TlaDecoder(const TlaDecoder&) = delete;
    TlaDecoder& operator=(const TlaDecoder&) = delete;

    void SetPassword(const char* password) {
        m_key.FromPassword(password);
        m_frameCipher.reset();
        if (m_key.present) {
            m_frameCipher.reset(new (std::nothrow) SapphireCipher);
            if (m_frameCipher) m_frameCipher->SetKey(m_key.bytes, 32);
        }
    }
    int32_t ReadSignature(bool& protectedStream);
    int32_t ReadHeaders();
    int32_t SetOutputFormat(int32_t outputCode);
    int32_t StartInflate();
    int32_t ReadRow(uint8_t* row);

    uint16_t width = 0, height = 0, bytesPerPixel = 0, colours = 0;
    bool reverseOrder = false;
    const uint8_t* Palette() const { return m_palette; }

private:
    int32_t Read(void* data, uint64_t length);
    int32_t ReadDecrypted(void* data, uint64_t length);
    int32_t Skip(uint64_t length);
    int32_t ReadChunkHeader(TlaChunkHeader& header);
    // A chunk of the type whose payload has exactly `length` bytes.
    int32_t ReadFixedChunk(uint16_t type, void* payload, uint32_t length);
    int32_t ReadVersion();
    int32_t ReadHeader();
    int32_t ReadPalette();
    int32_t ReadList();
    int32_t ReadFrame();
    void Unfilter(uint16_t flags, uint32_t rows);
    void ConvertRow(const uint8_t* in, uint8_t* out) const;

    CPicIO& m_source;
    TlaKey m_key;
    std::unique_ptr<SapphireCipher> m_frameCipher;
    uint8_t m_palette[256 * 4] = {};
    int32_t m_outputCode = 0;
    WipedBytes m_compressed;
    WipedBytes m_inflated;
    z_stream m_zip = {};
    bool m_inflating = false;
    uint32_t m_rowsLeft = 0;
    uint32_t m_chunkRows = 0;
    uint32_t m_rowsDelivered = 0;
};

int32_t TlaDecoder::Read(void* data, uint64_t length) {
    if (length > m_source.BytesLeft()) return kTlaReadFailed;  // never more than the source holds
    return m_source.ReadExact(data, (uint32_t)length) ? kTlaOk : kTlaReadFailed;
}

// Every header and payload of a protected stream starts the key stream anew.
int32_t TlaDecoder::ReadDecrypted(void* data, uint64_t length) {
    int32_t code = Read(data, length);
    if (code != kTlaOk || !m_key.present) return code;
    SapphireCipher cipher;
    cipher.SetKey(m_key.bytes, 32);
    cipher.DecryptBytes(static_cast<uint8_t*>(data), (size_t)length);
    return kTlaOk;
}

int32_t TlaDecoder::Skip(uint64_t length) {
    if (length > kLargestSkip) return kTlaBadStream;
    if (length > m_source.BytesLeft()) return kTlaReadFailed;
    return m_source.Seek((int64_t)length, 1) ? kTlaOk : kTlaReadFailed;
}

int32_t TlaDecoder::ReadChunkHeader(TlaChunkHeader& header) {
    uint8_t bytes[7];
    int32_t code = ReadDecrypted(bytes, sizeof bytes);
    header.type = Le16(bytes + 1);
    header.length = Le32(bytes + 3);
    return code;
}

int32_t TlaDecoder::ReadSignature(bool& protectedStream) {
    uint8_t signature[4];
    int32_t code = Read(signature, 4);
    if (code != kTlaOk) return code;
    if (memcmp(signature, "TLAU", 4) == 0)
        protectedStream = false;
    else if (memcmp(signature, "TLA\x01", 4) == 0)
        protectedStream = true;
    else
        return kTlaBadStream;
    return kTlaOk;
}

int32_t TlaDecoder::ReadFixedChunk(uint16_t type, void* payload, uint32_t length) {
    TlaChunkHeader chunk;
    int32_t code = ReadChunkHeader(chunk);
    if (code != kTlaOk) return code;
    if (chunk.type != type || chunk.length != length) return kTlaBadStream;
    return ReadDecrypted(payload, length);
}

int32_t TlaDecoder::ReadVersion() {
    uint8_t version[2];
    int32_t code = ReadFixedChunk(kVersion, version, 2);
    if (code != kTlaOk) return code;
    return Le16(version) == 1 ? kTlaOk : kTlaVersion;
}

int32_t TlaDecoder::ReadHeader() {
    uint8_t header[8];
    int32_t code = ReadFixedChunk(kHeader, header, 8);
    if (code != kTlaOk) return code;
    width = Le16(header);
    height = Le16(header + 2);
    bytesPerPixel = Le16(header + 4);
    colours = Le16(header + 6);
    if (bytesPerPixel < 1 || bytesPerPixel > 4) return kTlaBadStream;
    if (width == 0 || height == 0) return kTlaBadStream;  // nothing to allocate or deliver
    return kTlaOk;
}

// The table holds 256 entries: a palette that declares more has the rest skipped.
int32_t TlaDecoder::ReadPalette() {
    TlaChunkHeader chunk;
    int32_t code = ReadChunkHeader(chunk);
    if (code != kTlaOk) return code;
    if (chunk.type != kPalette) return kTlaBadStream;
    uint64_t kept = 0;
    if (bytesPerPixel == 1) {
        if ((uint64_t)chunk.length < 4ull * colours) return kTlaBadStream;
        kept = 4ull * (colours < 256 ? colours : 256);
        if ((code = ReadDecrypted(m_palette, kept)) != kTlaOk) return code;
    }
    return Skip(chunk.length - kept);
}

int32_t TlaDecoder::ReadList() {
    uint8_t countBytes[2];
    int32_t code = ReadFixedChunk(kList, countBytes, 2);
    if (code != kTlaOk) return code;
    uint16_t count = Le16(countBytes);
    PicPtrVector<CFileDataTag>& tags = GetThreadState()->tlaListTags;
    for (uint16_t i = 0; i < count; ++i) {
        TlaChunkHeader item;
        if ((code = ReadChunkHeader(item)) != kTlaOk) return code;
        if (item.length > m_source.BytesLeft()) return kTlaReadFailed;  // before allocating it
        CFileDataTag* tag = new (std::nothrow) CFileDataTag;
        if (tag == nullptr || !tag->bytes.Allocate(item.length)) {
            delete tag;
            return kTlaNoMemory;
        }
        if ((code = ReadDecrypted(tag->bytes.data, item.length)) != kTlaOk) {
            delete tag;
            return code;
        }
        if (!tags.Add(tag)) return kTlaNoMemory;
    }
    return kTlaOk;
}

int32_t TlaDecoder::ReadHeaders() {
    int32_t code = ReadVersion();
    if (code == kTlaOk) code = ReadHeader();
    if (code == kTlaOk) code = ReadPalette();
    if (code == kTlaOk) code = ReadList();
    return code;
}

int32_t TlaDecoder::SetOutputFormat(int32_t outputCode) {
    if (outputCode == 1 && bytesPerPixel > 1) return kTlaBadArgument;
    m_outputCode = outputCode;
    return kTlaOk;
}

int32_t TlaDecoder::StartInflate() {
    TlaChunkHeader chunk;
    uint8_t bytes[7];
    if (Read(bytes, sizeof bytes) == kTlaOk) {  // a stream that ends here fails at its first frame
        if (m_key.present) {
            SapphireCipher cipher;
            cipher.SetKey(m_key.bytes, 32);
            cipher.DecryptBytes(bytes, sizeof bytes);
        }
        chunk.type = Le16(bytes + 1);
        chunk.length = Le32(bytes + 3);
        if (chunk.type != kCompression) return kTlaBadStream;
        int32_t code = Skip(chunk.length);
        if (code != kTlaOk) return code;
    }
    m_zip = {};
    m_zip.zalloc = WipedZAlloc;
    m_zip.zfree = WipedZFree;
    if (inflateInit(&m_zip) != Z_OK) return kTlaInflateStart;
    m_inflating = true;
    return kTlaOk;
}

// Undoes the filters of one chunk's rows: Paeth, then up, then sub.
void TlaDecoder::Unfilter(uint16_t flags, uint32_t rows) {
    const uint32_t b = bytesPerPixel;
    const uint64_t length = (uint64_t)width * b;
    uint8_t* data = m_inflated.data();
    if (flags & kFilterPaeth) {
        for (uint32_t y = 1; y < rows; ++y) {
            uint8_t* row = data + y * length;
            const uint8_t* up = row - length;
            for (uint64_t i = b; i < length; ++i) {
                int a = row[i - b], u = up[i], c = up[i - b];
                int pa = abs(u - c), pb = abs(a - c), pc = abs(a + u - 2 * c);
                int predictor = (pa <= pb && pa <= pc) ? a : (pb <= pc ? u : c);
                row[i] = (uint8_t)(row[i] + predictor);
            }
        }
    }
    if (flags & kFilterUp) {
        for (uint32_t y = 1; y < rows; ++y) {
            uint8_t* row = data + y * length;
            for (uint64_t i = 0; i < length; ++i) row[i] = (uint8_t)(row[i] + row[i - length]);
        }
    }
    if (flags & kFilterSub) {
        for (uint32_t y = 0; y < rows; ++y) {
            uint8_t* row = data + y * length;
            for (uint64_t i = b; i < length; ++i) row[i] = (uint8_t)(row[i] + row[i - b]);
        }
    }
}

int32_t TlaDecoder::ReadFrame() {
    uint8_t header[8];
    int32_t code = ReadFixedChunk(kFrame, header, 8);
    if (code != kTlaOk) return code;
    uint32_t compressedSize = Le32(header);
    uint32_t rows = Le16(header + 4);
    uint16_t filters = Le16(header + 6);
    if (rows == 0) return kTlaNoFrame;
    // A chunk never holds more rows than the picture has left: its buffer
    // then stays within the picture's size, which the pixel budget allowed.
    if (rows > (uint32_t)height - m_rowsDelivered) return kTlaBadStream;
    if (compressedSize > m_source.BytesLeft()) return kTlaReadFailed;
    uint64_t rowBytes = (uint64_t)width * bytesPerPixel;
    uint64_t inflatedSize = rows * rowBytes;
    try {
        if (m_compressed.size() < compressedSize) m_compressed.resize(compressedSize);
        if (m_inflated.size() < inflatedSize + 1) m_inflated.resize((size_t)inflatedSize + 1);
    } catch (...) {
        return kTlaNoMemory;
    }
    if ((code = Read(m_compressed.data(), compressedSize)) != kTlaOk) return code;
    if (m_frameCipher) m_frameCipher->DecryptBytes(m_compressed.data(), compressedSize);
    m_zip.next_in = m_compressed.data();
    m_zip.avail_in = compressedSize;
    m_zip.next_out = m_inflated.data();
    m_zip.avail_out = (uInt)(inflatedSize + 1);
    int status = inflate(&m_zip, Z_FINISH);
    uint64_t produced = m_zip.total_out;
    uInt inputLeft = m_zip.avail_in, roomLeft = m_zip.avail_out;
    inflateReset(&m_zip);
    m_chunkRows = m_rowsLeft = rows;
    if (status != Z_STREAM_END || produced != inflatedSize) {
        // Never deliver what an earlier chunk left in the buffer.
        WipeBytes(m_inflated.data(), m_inflated.size());
        m_rowsLeft = 0;
        // Input used up with room left: the stream was cut; anything else is damage.
        bool cut = status == Z_BUF_ERROR && inputLeft == 0 && roomLeft != 0;
        return cut ? kTlaReadFailed : kTlaBadStream;
    }
    Unfilter(filters, rows);
    return kTlaOk;
}

void TlaDecoder::ConvertRow(const uint8_t* in, uint8_t* out) const {
    for (uint32_t x = 0; x < width; ++x) {
        const uint8_t* c = in + (size_t)x * bytesPerPixel;
        uint8_t r, g, b, a;
        bool alphaBit;
        switch (bytesPerPixel) {
        case 1: {
            if (m_outputCode == 1) {
                out[x] = c[0];
                continue;
            }
            const uint8_t* e = m_palette + 4 * c[0];
            r = e[2], g = e[1], b = e[0], a = e[3];
            alphaBit = e[3] > 128;
            break;
        }
        case 2: {
            uint16_t v = Le16(c);
            if (m_outputCode == 2) {
                memcpy(out + 2 * x, &v, 2);
                continue;
            }
            r = (uint8_t)((v >> 7) & 0xF8), g = (uint8_t)((v >> 2) & 0xF8), b = (uint8_t)((v & 0x1F) << 3);
            a = (v & 0x8000) ? 0xFF : 0;
            alphaBit = (v & 0x8000) != 0;
            break;
        }
        case 3: r = c[0], g = c[1], b = c[2], a = 0xFF, alphaBit = true; break;
        default: r = c[0], g = c[1], b = c[2], a = c[3], alphaBit = c[3] > 128; break;
        }
        if (reverseOrder) {
            uint8_t t = r;
            r = b;
            b = t;
        }
        switch (m_outputCode) {
        case 2: {
            uint16_t v = (uint16_t)((alphaBit ? 0x8000 : 0) | (r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
            memcpy(out + 2 * x, &v, 2);
            break;
        }
        case 3:
            out[3 * x] = r, out[3 * x + 1] = g, out[3 * x + 2] = b;
            break;
        default:
            out[4 * x] = r, out[4 * x + 1] = g, out[4 * x + 2] = b, out[4 * x + 3] = a;
            break;
        }
    }
}

int32_t TlaDecoder::ReadRow(uint8_t* row) {
    if (!m_inflating) return kTlaNoFrame;
    if (m_outputCode < 1 || m_outputCode > 4) return kTlaBadArgument;
    if (m_outputCode == 1 && bytesPerPixel > 1) return kTlaUnsupported;
    if (m_rowsDelivered >= height) return kTlaPastTheEnd;
    if (m_rowsLeft == 0) {
        int32_t code = ReadFrame();
        if (code != kTlaOk) return code;
    }
    uint64_t rowBytes = (uint64_t)width * bytesPerPixel;
    ConvertRow(m_inflated.data() + (m_chunkRows - m_rowsLeft) * rowBytes, row);
    --m_rowsLeft;
    ++m_rowsDelivered;
    return kTlaOk;
}

struct TlaOpenRequest {
    const char* password = nullptr;
    int32_t outputCode = 0;
    RGBQUAD* palette = nullptr;
    bool dimensionsOnly = false;
};

// Opens the stream up to its first frame (or its list chunk only); null
// with the library's code in the context.
std::unique_ptr<TlaDecoder> TlaOpen(CPicReaderContext& context, CPicIO& source, const TlaOpenRequest& request) {
    GetThreadState()->tlaListTags.DeleteAll();
    if (request.outputCode > 4) return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
    std::unique_ptr<TlaDecoder> decoder(new (std::nothrow) TlaDecoder(source));
    if (!decoder) return context.Fail(PIC_ERR_OUT_OF_MEMORY), nullptr;
    bool protectedStream = false;
    int32_t code = decoder->ReadSignature(protectedStream);
    if (code == kTlaOk) {
        decoder->SetPassword(protectedStream ? request.password : nullptr);
        code = decoder->ReadHeaders();
    }
    if (code == kTlaOk && request.outputCode <= 1 && request.palette != nullptr) {
        memset(request.palette, 0, 256 * sizeof(RGBQUAD));
        memcpy(request.palette, decoder->Palette(), 256 * sizeof(RGBQUAD));
    }
    if (code == kTlaOk && !request.dimensionsOnly) {
        code = decoder->SetOutputFormat(request.outputCode);
        if (code == kTlaOk) code = decoder->StartInflate();
    }
    if (code != kTlaOk) return context.Fail(TlaMapError(code)), nullptr;
    return decoder;
}

// The pixel budget, the block limit and what the source could still code,
// before the output is allocated.
bool CheckImage(CPicReaderContext& context, CPicIO& source, const TlaDecoder& decoder, uint64_t outputBytes) {
    return PicCheckDeclaredImage(context, decoder.width, decoder.height, outputBytes, PIC_ERR_BAD_TLA) &&
           PicCheckCodedBytes(context, (uint64_t)decoder.width * decoder.height * decoder.bytesPerPixel,
                              source.BytesLeft(), PIC_EXPAND_DEFLATE, PIC_ERR_BAD_TLA);
}

void* TlaReadRows(CPicReaderContext& context, CPicIO& source, int32_t* width, int32_t* height,
                  const char* password, int32_t outputCode, RGBQUAD* palette, uint32_t flags) {
    *width = *height = 0;
    if (outputCode < 1) return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
    std::unique_ptr<TlaDecoder> decoder = TlaOpen(context, source, {password, outputCode, palette, false});
    if (!decoder) return nullptr;
    uint64_t stride = (uint64_t)decoder->width * outputCode;
    if (flags & PIC_READ_DIB_ROWS) stride = PicPaddedRow(stride);
    uint32_t h = decoder->height;
    if (!CheckImage(context, source, *decoder, stride * h)) return nullptr;
    CPicReaderOutput output;
    if (!output.Allocate(context, stride * h)) return nullptr;
    CPicProgress progress;
    for (uint32_t y = 0; y < h; ++y) {
        int32_t code = decoder->ReadRow(output.Data() + PicRowOffset(y, stride));
        if (code != kTlaOk) {
            context.Fail(TlaMapError(code));
            break;
        }
        if (!PicReportRow(context, progress, y, h)) break;
    }
    *width = decoder->width;
    *height = (int32_t)h;
    return output.HandOver();
}

void* TlaReadDib(CPicReaderContext& context, CPicIO& source, int32_t* width, int32_t* height,
                 const char* password) {
    *width = *height = 0;
    RGBQUAD palette[256];
    std::unique_ptr<TlaDecoder> decoder = TlaOpen(context, source, {password, 1, palette, true});
    if (!decoder) return nullptr;
    uint32_t b = decoder->bytesPerPixel == 2 ? 4 : decoder->bytesPerPixel;
    uint32_t w = decoder->width, h = decoder->height;
    if (decoder->SetOutputFormat((int32_t)b) != kTlaOk || decoder->StartInflate() != kTlaOk)
        return context.Fail(PIC_ERR_BAD_TLA), nullptr;
    uint32_t colours = b == 1 ? 256 : 0;
    uint64_t size = PicDibBlockSize(w, h, 8 * b, colours);
    if (!CheckImage(context, source, *decoder, size)) return nullptr;
    CPicReaderOutput output;
    if (!output.Allocate(context, size)) return nullptr;
    PicWriteDibHeader(output.Data(), w, h, 8 * b, colours, palette);
    uint8_t* pixels = output.Data() + sizeof(BITMAPINFOHEADER) + 4ull * colours;
    uint64_t stride = PicDIBRowBytes(w, 8 * b);
    CPicProgress progress;
    for (uint32_t y = 0; y < h; ++y) {
        uint8_t* row = pixels + PicRowOffset(h - 1 - y, stride);
        int32_t code = decoder->ReadRow(row);
        if (code != kTlaOk) {
            context.Fail(TlaMapError(code));
            break;
        }
        if (b == 3) SwapRB24InPlace(row, w, 1);
        if (b == 4) SwapRB32InPlace(row, w, 1);
        if (!PicReportRow(context, progress, y, h)) break;
    }
    WipeBytes(palette, sizeof palette);
    *width = (int32_t)w;
    *height = (int32_t)h;
    return output.HandOver();
}

}  // namespace

BOOL WINAPI pic_GetTLADims_(CPicIO* source, int32_t* width, int32_t* height, int32_t* bitsPerPixel,
                            const char* password, void*) {
    // The name carries its trailing underscore as callers know it.
    return PicReaderEntry("pic_GetTLADims_", FALSE, source, [&](CPicReaderContext& context) -> BOOL {
        if (width == nullptr || height == nullptr || bitsPerPixel == nullptr)
            return context.Fail(PIC_ERR_BAD_PARAM);
        RGBQUAD palette[256];
        std::unique_ptr<TlaDecoder> decoder = TlaOpen(context, *source, {password, 0, palette, true});
        WipeBytes(palette, sizeof palette);
        if (!decoder) return FALSE;
        *width = decoder->width;
        *height = decoder->height;
        *bitsPerPixel = decoder->bytesPerPixel * 8;
        return TRUE;
    });
}

void* WINAPI pic_ReadTLA(CPicIO* source, int32_t* width, int32_t* height, const char* password,
                         int32_t outputCode, RGBQUAD* palette, uint32_t flags) {
    return PicReaderEntry("pic_ReadTLA", (void*)nullptr, source, [&](CPicReaderContext& context) -> void* {
        int32_t ignored = 0;
        int32_t* w = width != nullptr ? width : &ignored;
        int32_t* h = height != nullptr ? height : &ignored;
        if (flags & PIC_READ_DIB) return TlaReadDib(context, *source, w, h, password);
        return TlaReadRows(context, *source, w, h, password, outputCode, palette, flags);
    });
}
