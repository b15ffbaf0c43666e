#include "imaging/readers/PicGenericReader.h"

#include <cstring>

#include "framework/base/WipedMemory.h"
#include "imaging/core/PicConvert.h"
#include "imaging/core/PicEntryPoints.h"
#include "imaging/core/PicImgUtil.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicThresholdLevels.h"
#include "imaging/core/PicSizes.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicFileType.h"
#include "imaging/readers/PicFormatTable.h"
#include "imaging/readers/PicGifReader.h"
#include "imaging/readers/PicReaderFrame.h"

namespace {

constexpr const char* kName = "pic_ReadImage";

// The working object of one generic read. For the whole read every buffer is
// global memory: the thread's allocation callbacks are put aside and back.
class CPicGenericReadBase {
public:
    CPicGenericReadBase(CPicThreadState& state, CPicIO& source, bool orient)
        : m_state(state), m_source(source), m_saved(state.allocCallbacks), m_orient(orient) {
        state.allocCallbacks = CPicAllocCallbacks();
    }
    virtual ~CPicGenericReadBase() {
        FreeBuffer();
        m_state.allocCallbacks = m_saved;
    }
    CPicGenericReadBase(const CPicGenericReadBase&) = delete;
    CPicGenericReadBase& operator=(const CPicGenericReadBase&) = delete;

    int32_t Read(int32_t kind);
    void* TakeBuffer() {
        void* b = m_buffer;
        m_buffer = nullptr;
        return b;
    }

    int32_t result = PIC_ERR_OK;
    int32_t width = 0;
    int32_t height = 0;

private:
    bool Identify();
    void FreeBuffer() {
        if (m_buffer != nullptr) GlobalFree(m_buffer);
        m_buffer = nullptr;
        m_bits = m_width = m_height = 0;
    }
    // The format's read through the table; false (17) when it is not built.
    bool FormatRead(int32_t depth, RGBQUAD* palette, uint32_t flags);
    void Read24();
    void Read32();
    void ReadDib();
    void Read1();
    // Replaces the 24-bit buffer with its grey levels cut at Otsu's threshold.
    void ThresholdToOneBit();
    // Replaces the buffer with palette lookups into a new 24-bit block.
    void IndexedToRgb(const RGBQUAD* palette, uint32_t count);
    // Replaces the 1-bit buffer with its two palette colours in a new 24-bit block.
    void OneBitToRgb(const RGBQUAD* palette);
    uint8_t* NewBlock(uint64_t bytes);

    CPicThreadState& m_state;
    CPicIO& m_source;
    CPicAllocCallbacks m_saved;
    bool m_orient;
    int32_t m_readerId = PIC_READER_UNKNOWN;
    CPicProbe m_probe;
    uint8_t* m_buffer = nullptr;
    int32_t m_bits = 0;
    int32_t m_width = 0;
    int32_t m_height = 0;
    RGBQUAD m_palette[256] = {};
};

bool CPicGenericReadBase::Identify() {
    m_source.Seek(0, 0);
    int32_t guessed = pic_GuessFileType(&m_source);
    m_readerId = PicReaderForGuessedType(guessed);
    if (m_readerId == PIC_READER_UNKNOWN) m_readerId = PicReaderForExtension(m_source.GetName());
    m_source.Seek(0, 0);
    const CPicFormatEntry& format = PicFormat(m_readerId);
    // A failed probe does not stop the read; GIF headers are not probed.
    if (format.probe != nullptr && m_readerId != PIC_READER_GIF) format.probe(&m_source, &m_probe);
    if (m_readerId == PIC_READER_TLA_PASSWORD || m_readerId == PIC_READER_UNKNOWN) {
        PicTrace("Unknown format in generic read\n");
        result = PIC_ERR_BAD_PARAM;
        return false;
    }
    m_source.Seek(0, 0);
    return true;
}

bool CPicGenericReadBase::FormatRead(int32_t depth, RGBQUAD* palette, uint32_t flags) {
    FreeBuffer();
    const CPicFormatEntry& format = PicFormat(m_readerId);
    if (format.read == nullptr) {
        result = PIC_ERR_UNSUPPORTED;
        return false;
    }
    PicTrace("Reading generic as %s\n", format.traceName);
    m_buffer = static_cast<uint8_t*>(format.read(&m_source, &m_width, &m_height, depth, palette, flags));
    result = pic_GetLastError();
    m_bits = depth;
    return m_buffer != nullptr;
}

uint8_t* CPicGenericReadBase::NewBlock(uint64_t bytes) {
    if (!PicBlockSizeAllowed(bytes)) return nullptr;
    return static_cast<uint8_t*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, (SIZE_T)bytes));
}

void CPicGenericReadBase::IndexedToRgb(const RGBQUAD* palette, uint32_t count) {
    uint8_t* rgb = NewBlock(3ull * m_width * m_height);
    if (rgb == nullptr) {
        result = PIC_ERR_OUT_OF_MEMORY;
        FreeBuffer();
        return;
    }
    int32_t kept = result;  // an incomplete image stays incomplete
    pic_8BitToRGB(m_buffer, (uint32_t)m_width, (uint32_t)m_height, (uint32_t)m_width, rgb, 3u * m_width, count,
                  palette, 0);
    int32_t converted = pic_GetLastError();
    GlobalFree(m_buffer);
    m_buffer = rgb;
    m_bits = 24;
    result = kept != PIC_ERR_OK ? kept : converted;
}

void CPicGenericReadBase::OneBitToRgb(const RGBQUAD* palette) {
    // One index a pixel, then the palette as for the indexed formats.
    uint64_t rowBytes = ((uint64_t)m_width + 7) / 8;
    uint8_t* indices = NewBlock((uint64_t)m_width * m_height);
    if (indices == nullptr) {
        result = PIC_ERR_OUT_OF_MEMORY;
        FreeBuffer();
        return;
    }
    for (int32_t y = 0; y < m_height; ++y)
        ExpandIndexRowTo8Bit(m_buffer + y * rowBytes, indices + (uint64_t)y * m_width, (uint32_t)m_width, 1);
    WipeBytes(m_buffer, (size_t)(rowBytes * m_height));
    GlobalFree(m_buffer);
    m_buffer = indices;
    IndexedToRgb(palette, 2);
}

void CPicGenericReadBase::Read24() {
    switch (m_readerId) {
    case PIC_READER_JPEG:
        FormatRead(24, nullptr, m_orient ? (uint32_t)PIC_READ_ORIENTATION : 0u);
        break;
    case PIC_READER_GIF:
    case PIC_READER_WBMP:
    case PIC_READER_PGM:
        memset(m_palette, 0, sizeof m_palette);
        if (FormatRead(8, m_palette, 0)) IndexedToRgb(m_palette, 256);
        break;
    case PIC_READER_PBM:
        if (FormatRead(1, m_palette, 0)) OneBitToRgb(m_palette);
        break;
    default:
        FormatRead(24, nullptr, 0);
        break;
    }
}

void CPicGenericReadBase::Read32() {
    // Formats with an alpha channel of their own are read at 32 bits; those
    // whose readers come later answer 17 from the table until they arrive.
    if (m_readerId == PIC_READER_BMP || m_readerId == PIC_READER_PNG || m_readerId == PIC_READER_TGA ||
        m_readerId == PIC_READER_TIFF || m_readerId == PIC_READER_TLA) {
        FormatRead(32, nullptr, 0);
        return;
    }
    if (m_readerId == PIC_READER_GIF) {
        memset(m_palette, 0, sizeof m_palette);
        FreeBuffer();
        int32_t transparent = -1;
        m_buffer = static_cast<uint8_t*>(
            pic_ReadGIF(&m_source, &m_width, &m_height, &transparent, m_palette, 0));
        result = pic_GetLastError();
        if (m_buffer == nullptr) return;
        uint8_t* rgba = NewBlock(4ull * m_width * m_height);
        if (rgba == nullptr) {
            result = PIC_ERR_OUT_OF_MEMORY;
            FreeBuffer();
            return;
        }
        for (uint64_t i = 0; i < (uint64_t)m_width * m_height; ++i) {
            const RGBQUAD& q = m_palette[m_buffer[i]];
            uint8_t* p = rgba + 4 * i;
            p[0] = q.rgbRed;
            p[1] = q.rgbGreen;
            p[2] = q.rgbBlue;
            p[3] = (transparent != -1 && m_buffer[i] == transparent) ? 0 : 255;
        }
        GlobalFree(m_buffer);
        m_buffer = rgba;
        m_bits = 32;
        return;
    }
    Read24();
    if (m_buffer == nullptr) return;
    uint8_t* rgba = NewBlock(4ull * m_width * m_height);
    if (rgba == nullptr) {
        result = PIC_ERR_OUT_OF_MEMORY;
        FreeBuffer();
        return;
    }
    int32_t kept = result;
    pic_RGBToRGBA(m_buffer, (uint32_t)m_width, (uint32_t)m_height, 3u * m_width, rgba, 4u * m_width, 255);
    int32_t converted = pic_GetLastError();
    GlobalFree(m_buffer);
    m_buffer = rgba;
    m_bits = 32;
    result = kept != PIC_ERR_OK ? kept : converted;
}

void CPicGenericReadBase::ReadDib() {
    uint32_t flags = PIC_READ_DIB;
    if (m_readerId == PIC_READER_JPEG && m_orient) flags |= PIC_READ_ORIENTATION;
    int32_t depth = m_readerId == PIC_READER_PNG ? m_probe.bitDepth : 24;
    if (!FormatRead(depth, nullptr, flags)) return;
    pic_DIBWidth(m_buffer, &m_width);
    pic_DIBHeight(m_buffer, &m_height);
}

void CPicGenericReadBase::Read1() {
    bool oneBit = m_probe.bitsPerPixel == 1;
    bool direct = ((m_readerId == PIC_READER_BMP || m_readerId == PIC_READER_PCX || m_readerId == PIC_READER_TIFF) &&
                   oneBit) ||
                  (m_readerId == PIC_READER_PNG && m_probe.bitDepth == 1 && m_probe.colourType == 3) ||
                  (m_readerId == PIC_READER_PBM && oneBit);
    if (direct) {
        FormatRead(1, m_palette, 0);
        return;
    }
    Read24();
    if (m_buffer != nullptr) ThresholdToOneBit();
}

void CPicGenericReadBase::ThresholdToOneBit() {
    uint32_t width = (uint32_t)m_width, height = (uint32_t)m_height;
    uint64_t pixels = (uint64_t)width * height;
    uint8_t* grey = NewBlock(pixels);
    uint8_t* bits = NewBlock((uint64_t)height * ((width + 7) / 8));
    if (grey == nullptr || bits == nullptr) {
        if (grey != nullptr) GlobalFree(grey);
        if (bits != nullptr) GlobalFree(bits);
        FreeBuffer();
        result = PIC_ERR_OUT_OF_MEMORY;
        return;
    }
    CPicImgUtilT<unsigned char> util;
    CPicOperation op;
    if (!util.RGBToGray(m_buffer, width, height, 3, 3 * width, width, 0, grey))
        op.status = util.status;
    else
        op.ThresholdTo1Bit(grey, bits, width, height, width, (width + 7) / 8, PIC_THRESH_OTSU, 0, 0, false, nullptr);
    GlobalFree(grey);
    GlobalFree(m_buffer);
    m_buffer = bits;
    m_bits = 1;
    if (op.status != PIC_ERR_OK) {
        FreeBuffer();
        result = op.status;
    }  // else an incomplete image stays incomplete
}

int32_t CPicGenericReadBase::Read(int32_t kind) {
    if (!Identify()) return result;
    switch (kind) {
    case PIC_KIND_RGBA: Read32(); break;
    case PIC_KIND_DIB: ReadDib(); break;
    case PIC_KIND_1BIT: Read1(); break;
    default: Read24(); break;
    }
    width = m_width;
    height = m_height;
    return result;
}

}  // namespace

void* WINAPI pic_ReadImage(CPicIO* source, int32_t* width, int32_t* height, int32_t kind, uint32_t flags) {
    CPicThreadState* state = GetThreadState();
    if (state == nullptr) return nullptr;
    ReportError(PIC_ERR_OK, kName, nullptr);
    if (kind != PIC_KIND_DIB && kind != PIC_KIND_1BIT) {
        if (width != nullptr) *width = 0;
        if (height != nullptr) *height = 0;
    }
    if (source == nullptr) {
        ReportError(PIC_ERR_BAD_PARAM, kName, nullptr);
        return nullptr;
    }
    if (!source->IsOpen()) {
        ReportError(PIC_ERR_SOURCE_NOT_OPEN, kName, nullptr);
        return nullptr;
    }
    void* buffer = nullptr;
    int32_t code = PIC_ERR_OK;
    try {
        CPicGenericReadBase reader(*state, *source, (flags & 1) == 0);
        code = reader.Read(kind);
        buffer = reader.TakeBuffer();
        if (width != nullptr) *width = reader.width;
        if (height != nullptr) *height = reader.height;
    } catch (...) {
        code = PIC_ERR_OUT_OF_MEMORY;
    }
    ReportError(code, kName, nullptr);
    return buffer;
}
