#include "imaging/readers/PicGifDecoder.h"

#include <cstring>

#include "imaging/core/PicSizes.h"

namespace {
// The code tables hold 4096 entries: larger minimum code sizes cannot be decoded.
constexpr int kMinCodeSize = 2;
constexpr int kMaxMinCodeSize = 11;
constexpr int kMaxCodeSize = 12;
constexpr int kEndOfCodes = -2;
constexpr int kBrokenCodes = -1;

uint32_t Get16(const uint8_t* p) { return (uint32_t)(p[0] | p[1] << 8); }
}  // namespace

CPicGIFReader::CPicGIFReader(CPicReaderContext& context, CPicIO& source) : m_context(context), m_source(source) {}

bool CPicGIFReader::ReadHeaderAndScreen(int32_t versionCode) {
    uint8_t header[6];
    if (!m_source.ReadExact(header, 6) || memcmp(header, "GIF", 3) != 0) return m_context.Fail(PIC_ERR_BAD_GIF);
    if (memcmp(header + 3, "87a", 3) != 0 && memcmp(header + 3, "89a", 3) != 0) return m_context.Fail(versionCode);
    uint8_t screen[7];
    if (!m_source.ReadExact(screen, 7)) return m_context.Fail(PIC_ERR_BAD_GIF);
    screenWidth = Get16(screen);
    screenHeight = Get16(screen + 2);
    screenFlags = screen[4];
    backgroundIndex = screen[5];
    globalCount = 2u << (screenFlags & 7);
    if (screenWidth == 0 || screenHeight == 0) return m_context.Fail(PIC_ERR_BAD_GIF);
    hasGlobalTable = (screenFlags & 0x80) != 0;
    if (hasGlobalTable && !ReadTable(globalCount)) return m_context.Fail(PIC_ERR_BAD_GIF);
    return true;
}

bool CPicGIFReader::ReadTable(uint32_t count) {
    uint8_t rgb[256 * 3];
    if (!m_source.ReadExact(rgb, count * 3)) return false;
    for (uint32_t i = 0; i < count; ++i)
        for (int c = 0; c < 3; ++c) colourMap[c][i] = rgb[i * 3 + c];
    return true;
}

uint32_t CPicGIFReader::ReadSubBlock(uint8_t* data) {
    uint8_t length = 0;
    if (!m_source.ReadExact(&length, 1) || length == 0) return 0;
    return m_source.ReadExact(data, length) ? length : 0;
}

// Skips sub-blocks up to and including the zero-length terminator.
bool CPicGIFReader::SkipSubBlocks() {
    uint8_t data[256];
    while (ReadSubBlock(data) != 0) {
    }
    return true;
}

void CPicGIFReader::ClearControl() {
    transparentIndex = 0;
    hasTransparency = false;
    delay = 0;
    userInput = 0;
    disposal = 0;
}

bool CPicGIFReader::ParseExtension() {
    uint8_t label;
    if (!m_source.ReadExact(&label, 1)) return m_context.Fail(PIC_ERR_FILE_READ);
    uint8_t data[256] = {};
    if (label == 0xF9) {
        uint32_t length = ReadSubBlock(data);
        if (length == 0) return true;
        disposal = (data[0] >> 2) & 7;
        userInput = (data[0] >> 1) & 1;
        delay = data[1] | data[2] << 8;
        hasTransparency = (data[0] & 1) != 0;
        transparentIndex = hasTransparency ? data[3] : 0;
    } else if (label == 0xFF) {
        uint32_t length = ReadSubBlock(data);
        if (length == 0) return true;
        if (length >= 11 && memcmp(data, "NETSCAPE2.0", 11) == 0) {
            length = ReadSubBlock(data);
            if (length == 0) return true;
            loopCount = data[1] | data[2] << 8;
        }
    }
    return SkipSubBlocks();
}

CPicGIFReader::Block CPicGIFReader::NextBlock() {
    for (;;) {
        uint8_t byte;
        if (!m_source.ReadExact(&byte, 1)) return m_context.Fail(PIC_ERR_FILE_READ), kEndOfData;
        if (byte == ',') return kImage;
        if (byte == ';') return kTrailer;
        if (byte == '!' && !ParseExtension()) return kEndOfData;
    }
}

bool CPicGIFReader::ReadDescriptor(CPicGIFImageDescriptor& image) {
    uint8_t bytes[9];
    if (!m_source.ReadExact(bytes, 9)) return m_context.Fail(PIC_ERR_FILE_READ);
    image.left = Get16(bytes);
    image.top = Get16(bytes + 2);
    image.width = Get16(bytes + 4);
    image.height = Get16(bytes + 6);
    image.hasLocalTable = (bytes[8] & 0x80) != 0;
    image.localCount = image.hasLocalTable ? 1u << ((bytes[8] & 7) + 1) : 0;
    image.interlaced = (bytes[8] & 0x40) != 0;
    if (image.width == 0 || image.height == 0) return m_context.Fail(PIC_ERR_BAD_GIF);
    return true;
}

bool CPicGIFReader::ReadLocalTable(const CPicGIFImageDescriptor& image) {
    if (image.hasLocalTable && !ReadTable(image.localCount)) return m_context.Fail(PIC_ERR_BAD_GIF);
    return true;
}

void CPicGIFReader::FillPalette(RGBQUAD* palette) const {
    for (uint32_t i = 0; i < 256; ++i) {
        palette[i].rgbRed = colourMap[0][i];
        palette[i].rgbGreen = colourMap[1][i];
        palette[i].rgbBlue = colourMap[2][i];
        palette[i].rgbReserved = i == transparentIndex ? 0 : 255;
    }
}

// ---- LZW ----

bool CPicGIFReader::StartDecoder() {
    uint8_t minimum;
    if (!m_source.ReadExact(&minimum, 1)) return m_context.Fail(PIC_ERR_FILE_READ);
    if (minimum < kMinCodeSize || minimum > kMaxMinCodeSize) return m_context.Fail(PIC_ERR_BAD_GIF);
    if (!m_prefix.Allocate(kTableSize) || !m_suffix.Allocate(kTableSize) || !m_stack.Allocate(kTableSize + 1))
        return m_context.Fail(PIC_ERR_OUT_OF_MEMORY);
    m_initialCodeSize = minimum;
    m_codeSize = minimum + 1;
    m_clearCode = 1 << minimum;
    m_endCode = m_clearCode + 1;
    m_nextCode = m_clearCode + 2;
    m_codeLimit = 2 * m_clearCode;
    m_bitPosition = m_bitCount = m_bufferLength = 0;
    m_exhausted = false;
    m_fresh = true;
    m_justCleared = false;
    m_prefix.Fill(0);
    m_suffix.Fill(0);
    for (int i = 0; i < m_clearCode; ++i) m_suffix[i] = (uint8_t)i;
    m_stackDepth = 0;
    return true;
}

int CPicGIFReader::ReadCode() {
    uint32_t n = (uint32_t)m_codeSize;
    while (m_bitPosition + n > m_bitCount) {
        if (m_exhausted) return kBrokenCodes;
        if (m_bufferLength > 1) {
            m_codeBuffer[0] = m_codeBuffer[m_bufferLength - 2];
            m_codeBuffer[1] = m_codeBuffer[m_bufferLength - 1];
        }
        uint32_t length = ReadSubBlock(m_codeBuffer + 2);
        if (length == 0) m_exhausted = true;
        m_bitPosition = m_bitPosition - m_bitCount + 16;
        m_bufferLength = length + 2;
        m_bitCount = m_bufferLength * 8;
        memset(m_codeBuffer + m_bufferLength, 0, 3);
    }
    uint32_t at = m_bitPosition >> 3;
    uint32_t bits = m_codeBuffer[at] | m_codeBuffer[at + 1] << 8 | m_codeBuffer[at + 2] << 16;
    m_bitPosition += n;
    return (int)((bits >> ((m_bitPosition - n) & 7)) & ((1u << n) - 1));
}

int CPicGIFReader::NextValue() {
    if (m_fresh) {
        m_fresh = false;
        int code;
        do {
            code = ReadCode();
        } while (code == m_clearCode);
        if (code < 0) return code;
        if (code == m_endCode) return kEndOfCodes;
        if (code > m_endCode) return kBrokenCodes;  // the table holds nothing yet
        m_previousCode = m_firstByte = code;
        return code;
    }
    if (m_stackDepth > 0) return m_stack[--m_stackDepth];
    for (;;) {
        int code = ReadCode();
        if (code < 0) return code;
        if (code == m_clearCode) {
            m_justCleared = true;
            m_codeSize = m_initialCodeSize + 1;
            m_nextCode = m_clearCode + 2;
            m_codeLimit = 2 * m_clearCode;
            continue;
        }
        if (code == m_endCode) return kEndOfCodes;
        if (m_justCleared) {
            m_justCleared = false;
            if (code >= m_clearCode) return kBrokenCodes;  // only a literal can follow a clear
            m_previousCode = m_firstByte = code;
            return m_suffix[code];
        }
        int incoming = code;
        if (code >= m_nextCode) {
            if (code > m_nextCode || !Push((uint8_t)m_firstByte)) return kBrokenCodes;
            code = m_previousCode;
        }
        while (code >= m_clearCode) {
            if (m_prefix[code] == code || !Push(m_suffix[code])) return kBrokenCodes;
            code = m_prefix[code];
        }
        m_firstByte = m_suffix[code];
        if (!Push((uint8_t)m_firstByte)) return kBrokenCodes;
        if (m_nextCode < (int)kTableSize) {
            m_prefix[m_nextCode] = (uint16_t)m_previousCode;
            m_suffix[m_nextCode] = (uint8_t)m_firstByte;
            ++m_nextCode;
            if (m_nextCode >= m_codeLimit && m_codeLimit < (int)kTableSize) {
                m_codeLimit *= 2;
                if (m_codeSize < kMaxCodeSize) ++m_codeSize;
            }
        }
        m_previousCode = incoming;
        if (m_stackDepth > 0) return m_stack[--m_stackDepth];
    }
}

bool CPicGIFReader::DecodePixels(const CPicGIFImageDescriptor& image, uint8_t* pixels, uint64_t stride,
                                 bool bottomUp) {
    if (!StartDecoder()) return false;
    uint32_t tableCount = image.hasLocalTable ? image.localCount : globalCount;
    uint32_t width = image.width, height = image.height;
    static const uint32_t kPassStart[4] = {0, 4, 2, 1};
    static const uint32_t kPassStep[4] = {8, 8, 4, 2};
    uint32_t pass = 0;
    uint32_t y = 0, x = 0, rowsDone = 0;
    bool outOfTable = false;
    CPicProgress progress;
    uint8_t* row = pixels + PicRowOffset(bottomUp ? height - 1 : 0, stride);
    for (;;) {
        int value = NextValue();
        if (value < 0) break;
        if ((uint32_t)value >= tableCount) outOfTable = true;
        row[x] = (uint8_t)value;
        if (++x < width) continue;
        x = 0;
        ++rowsDone;
        if (!PicReportRow(m_context, progress, rowsDone, height)) return false;
        if (image.interlaced) {
            y += kPassStep[pass];
            while (y >= height && pass < 3) {
                ++pass;
                y = kPassStart[pass];
            }
            if (y >= height) break;
        } else if (++y >= height) {
            break;
        }
        row = pixels + PicRowOffset(bottomUp ? height - 1 - y : y, stride);
    }
    if (outOfTable) m_context.Fail(PIC_ERR_BAD_GIF);
    // The rest of the image's sub-blocks, so that the next block can be read.
    if (!m_exhausted) SkipSubBlocks();
    if (rowsDone < height) return m_context.Fail(PIC_ERR_FILE_READ);  // incomplete: the rest stays index 0
    return true;
}
