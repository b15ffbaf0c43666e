#include "imaging/readers/PicWbmpReader.h"

#include <cstring>

#include "framework/base/WipedMemory.h"
#include "imaging/core/PicSizes.h"
#include "imaging/readers/PicDibBuilder.h"
#include "imaging/readers/PicReaderFrame.h"

namespace {

// A size takes at most 5 bytes of 7 bits; a longer one is no real picture
// and would overflow.
constexpr int kMaxIntegerBytes = 5;
const RGBQUAD kBlackWhite[2] = {{0, 0, 0, 0}, {255, 255, 255, 255}};

bool ReadMultiByteInteger(CPicReaderContext& context, CPicIO& source, uint64_t& value) {
    value = 0;
    for (int i = 0; i < kMaxIntegerBytes; ++i) {
        uint8_t byte;
        if (!source.ReadExact(&byte, 1)) return context.Fail(PIC_ERR_BAD_WBMP);
        value = (value << 7) | (byte & 0x7F);
        if ((byte & 0x80) == 0) return true;
    }
    return context.Fail(PIC_ERR_BAD_WBMP);
}

bool ReadHeader(CPicReaderContext& context, CPicIO& source, uint64_t& width, uint64_t& height) {
    uint8_t type[2];
    if (!source.ReadExact(type, 2) || type[0] != 0 || type[1] != 0) return context.Fail(PIC_ERR_BAD_WBMP);
    if (!ReadMultiByteInteger(context, source, width) || !ReadMultiByteInteger(context, source, height)) return false;
    if (width > INT32_MAX || height > INT32_MAX) return context.Fail(PIC_ERR_BAD_WBMP);
    return true;
}

// The WBMP calls leave the call depth alone, so progress fires only inside an
// enclosing library call; otherwise this is the common reader frame.
template <class Result, class Body>
Result WbmpEntry(const char* name, Result failure, CPicIO* source, int32_t* width, int32_t* height, Body&& body) {
    if (GetThreadState() == nullptr) return failure;
    int32_t code = PIC_ERR_OK;
    Result result = failure;
    if (source == nullptr || width == nullptr || height == nullptr) {
        code = PIC_ERR_BAD_PARAM;
    } else if (!source->IsOpen()) {
        code = PIC_ERR_SOURCE_NOT_OPEN;
    } else {
        CPicReaderContext context;
        try {
            result = body(context);
        } catch (...) {
            context.Fail(PIC_ERR_OUT_OF_MEMORY);
            result = failure;
        }
        code = context.result;
    }
    ReportError(code, name, nullptr);
    return result;
}

void* ReadPixels(CPicReaderContext& context, CPicIO& source, int32_t* outWidth, int32_t* outHeight,
                 RGBQUAD* palette, int32_t bitsPerPixel, uint32_t flags) {
    bool dib = (flags & PIC_READ_DIB) != 0;
    bool padded = (flags & PIC_READ_DIB_ROWS) != 0;
    if (dib && padded) return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
    if (!dib && palette == nullptr) return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
    bool oneBit = dib || bitsPerPixel == 1;
    uint64_t width, height;
    if (!ReadHeader(context, source, width, height)) return nullptr;
    if (width == 0 || height == 0) return context.Fail(PIC_ERR_BAD_WBMP), nullptr;
    uint64_t fileRow = PicPackedRowBytes((uint32_t)width, 1);
    uint64_t rowSize = oneBit ? ((dib || padded) ? PicDIBRowBytes((uint32_t)width, 1) : fileRow)
                              : (padded ? PicPaddedRow(width) : width);
    uint64_t headerSize = dib ? sizeof(BITMAPINFOHEADER) + sizeof kBlackWhite : 0;
    if (!PicCheckDeclaredImage(context, width, height, headerSize + rowSize * height, PIC_ERR_BAD_WBMP) ||
        !PicCheckCodedBytes(context, fileRow * height, source.BytesLeft(), PIC_EXPAND_RAW, PIC_ERR_BAD_WBMP))
        return nullptr;
    CPicReaderOutput output;
    if (!output.Allocate(context, headerSize + rowSize * height)) return nullptr;
    uint8_t* block = output.Data();
    if (dib)
        PicWriteDibHeader(block, (uint32_t)width, (uint32_t)height, 1, 2, kBlackWhite);
    else
        memcpy(palette, kBlackWhite, sizeof kBlackWhite);
    uint8_t* rows = block + headerSize;
    WipedBytes bits(oneBit ? 0 : (size_t)fileRow);
    CPicProgress progress;
    for (uint32_t y = 0; y < height && context.Ok(); ++y) {
        uint8_t* row = rows + PicRowOffset(dib ? (uint32_t)height - 1 - y : y, rowSize);
        if (oneBit) {
            if (!source.ReadExact(row, (uint32_t)fileRow)) context.Fail(PIC_ERR_FILE_READ);
        } else if (!source.ReadExact(bits.data(), (uint32_t)fileRow)) {
            context.Fail(PIC_ERR_FILE_READ);
        } else {
            for (uint32_t x = 0; x < width; ++x) row[x] = (bits[x / 8] >> (7 - x % 8)) & 1;
        }
        if (context.Ok()) PicReportRow(context, progress, y, (uint32_t)height);
    }
    *outWidth = (int32_t)width;
    *outHeight = (int32_t)height;
    return output.HandOver();
}

}  // namespace

BOOL WINAPI pic_GetWBMPDims(CPicIO* source, int32_t* width, int32_t* height, uint32_t) {
    return WbmpEntry("pic_GetWBMPDims", FALSE, source, width, height, [&](CPicReaderContext& context) -> BOOL {
        *width = *height = 0;
        uint64_t w, h;
        if (!ReadHeader(context, *source, w, h)) return FALSE;
        *width = (int32_t)w;
        *height = (int32_t)h;
        return TRUE;
    });
}

void* WINAPI pic_ReadWBMP(CPicIO* source, int32_t* width, int32_t* height, RGBQUAD* palette, int32_t bitsPerPixel,
                          uint32_t flags) {
    return WbmpEntry("pic_ReadWBMP", (void*)nullptr, source, width, height, [&](CPicReaderContext& context) {
        return ReadPixels(context, *source, width, height, palette, bitsPerPixel, flags);
    });
}
