#include "imaging/readers/PicPnmStream.h"

#include <cstdarg>
#include <cstdio>

#include "imaging/core/PicResult.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicException.h"

namespace {

constexpr uint32_t kLargestMaxval = 65535;

int GetByte(PnmStreamOps& stream) {
    uint8_t value;
    return stream.feed.Byte(value) ? value : -1;
}

bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

void PnmError(PnmStreamOps&, const char* format, ...) {
    char message[1024];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    LogMessage(message, PIC_ERR_BAD_PNM, 3, 0);
    throw VovIredev::PicException(message, 0);
}

int pm_getc(PnmStreamOps& stream) {
    int c = GetByte(stream);
    if (c == -1) PnmError(stream, "EOF / read error reading a byte");
    if (c != '#') return c;
    do {
        c = GetByte(stream);
        if (c == -1) PnmError(stream, "EOF / read error reading a byte");
    } while (c != '\n' && c != '\r');
    return c;
}

uint8_t PnmGetRawByte(PnmStreamOps& stream) {
    int c = GetByte(stream);
    if (c == -1) PnmError(stream, "EOF / read error reading a one-byte sample");
    return (uint8_t)c;
}

uint32_t PnmGetUint(PnmStreamOps& stream) {
    int c;
    do c = pm_getc(stream);
    while (IsSpace(c));
    if (c < '0' || c > '9') PnmError(stream, "junk in file where an unsigned integer should be");
    uint32_t value = 0;
    do {
        uint32_t digit = (uint32_t)(c - '0');
        if (value > 214748364 - digit) PnmError(stream, "ASCII decimal integer in file is too large to be processed.  ");
        value = value * 10 + digit;
        c = pm_getc(stream);
    } while (c >= '0' && c <= '9');
    return value;
}

int32_t PnmReadMagic(PnmStreamOps& stream) {
    int first = GetByte(stream);
    int second = first == -1 ? -1 : GetByte(stream);
    if (second == -1)
        PnmError(stream,
                 "Error reading magic number from Netpbm image stream.  Most often, this means your input file is "
                 "empty.");
    return first * 256 + second;
}

void PnmReadBitmapHeader(PnmStreamOps& stream, uint32_t* columns, uint32_t* rows) {
    *columns = PnmGetUint(stream);
    *rows = PnmGetUint(stream);
}

static void ReadMaxval(PnmStreamOps& stream, uint32_t* maxval, const char* tooLarge) {
    *maxval = PnmGetUint(stream);
    if (*maxval > kLargestMaxval) PnmError(stream, tooLarge, *maxval, kLargestMaxval);
    if (*maxval == 0) PnmError(stream, "maxval of input image is zero.");
}

void PnmReadGraymapHeader(PnmStreamOps& stream, uint32_t* columns, uint32_t* rows, uint32_t* maxval) {
    PnmReadBitmapHeader(stream, columns, rows);
    ReadMaxval(stream, maxval, "maxval of input image (%u) is too large.  The maximum allowed by PGM is %u.");
}

void PnmReadPixmapHeader(PnmStreamOps& stream, uint32_t* columns, uint32_t* rows, uint32_t* maxval) {
    PnmReadBitmapHeader(stream, columns, rows);
    ReadMaxval(stream, maxval, "maxval of input image (%u) is too large.  The maximum allowed by the PPM is %u.");
}

uint32_t PnmGetRawSample(PnmStreamOps& stream, uint32_t maxval) {
    if (maxval < 256) return PnmGetRawByte(stream);
    uint8_t pair[2];
    if (!stream.feed.ReadExact(pair, 2)) PnmError(stream, "EOF /read error while reading a long sample");
    return (uint32_t)pair[0] << 8 | pair[1];
}

uint8_t PnmGetBit(PnmStreamOps& stream) {
    int c;
    do c = pm_getc(stream);
    while (IsSpace(c));
    if (c != '0' && c != '1') PnmError(stream, "junk in file where bits should be");
    return (uint8_t)(c - '0');
}

void PnmReadBitmapRow(PnmStreamOps& stream, uint8_t* row, uint32_t columns, int32_t format) {
    if (format == PNM_PLAIN_BITMAP) {
        for (uint32_t x = 0; x < columns; ++x) row[x] = PnmGetBit(stream);
        return;
    }
    for (uint32_t x = 0; x < columns; x += 8) {
        uint8_t byte = PnmGetRawByte(stream);
        for (uint32_t b = 0; b < 8 && x + b < columns; ++b) row[x + b] = (byte >> (7 - b)) & 1;
    }
}

// Raw samples of a whole row at once: one byte each up to maxval 255, two
// big-endian bytes above.
static void ReadRawSamples(PnmStreamOps& stream, uint32_t* samples, uint32_t count, uint32_t maxval) {
    uint8_t chunk[4096];
    uint32_t width = maxval < 256 ? 1 : 2;
    uint32_t perChunk = sizeof chunk / width;
    for (uint32_t done = 0; done < count;) {
        uint32_t n = std::min(perChunk, count - done);
        uint32_t got = stream.feed.Read(chunk, n * width);
        for (uint32_t i = 0; i < got / width; ++i)
            samples[done + i] = width == 1 ? chunk[i] : (uint32_t)chunk[2 * i] << 8 | chunk[2 * i + 1];
        if (got < n * width) {
            done += got / width;
            PnmError(stream, width == 1 ? "EOF / read error reading a one-byte sample"
                                        : "EOF /read error while reading a long sample");
        }
        done += n;
    }
}

void PnmReadGraymapRow(PnmStreamOps& stream, uint32_t* samples, uint32_t columns, uint32_t maxval, int32_t format) {
    if (format == PNM_PLAIN_GRAYMAP) {
        for (uint32_t x = 0; x < columns; ++x) samples[x] = PnmGetUint(stream);
        return;
    }
    ReadRawSamples(stream, samples, columns, maxval);
}

void PnmReadPixmapRow(PnmStreamOps& stream, uint32_t* samples, uint32_t columns, uint32_t maxval, int32_t format) {
    if (format == PNM_PLAIN_PIXMAP) {
        for (uint64_t i = 0; i < 3ull * columns; ++i) samples[i] = PnmGetUint(stream);
        return;
    }
    ReadRawSamples(stream, samples, 3 * columns, maxval);
}

int32_t PnmFormatType(int32_t format) {
    switch (format) {
    case PNM_PLAIN_BITMAP:
    case PNM_RAW_BITMAP: return PNM_PLAIN_BITMAP;
    case PNM_PLAIN_GRAYMAP:
    case PNM_RAW_GRAYMAP: return PNM_PLAIN_GRAYMAP;
    case PNM_PLAIN_PIXMAP:
    case PNM_RAW_PIXMAP: return PNM_PLAIN_PIXMAP;
    default: return 0;
    }
}
