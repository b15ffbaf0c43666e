#include "imaging/readers/PicPngReader.h"

#include <cstring>

#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicPngCodec.h"

namespace {

void LogPngMessage(const char* text, bool error) {
    LogMessage(text, PIC_ERR_BAD_PNG, error ? PIC_LOG_ERROR : PIC_LOG_WARNING, 0);
    if (error) PicTrace("PicLib PNG Error : %s\n", text);
}

const CPicPngLog& Log() {
    static const CPicPngLog log = LogPngMessage;
    return log;
}

void StoreBackground(const CPicPngInfo& info) {
    CPicThreadState* state = GetThreadState();
    CPicBackgroundColor& last = state->lastPngBackground;
    last = CPicBackgroundColor();
    if (info.hasBkgd) {
        last.index = info.bkgd.index;
        last.red = info.bkgd.red;
        last.green = info.bkgd.green;
        last.blue = info.bkgd.blue;
        last.gray = info.bkgd.gray;
    }
}

// 256 blue-green-red-alpha entries: PLTE colours (or a grey ramp for grey
// images and palette images without PLTE), alphas from tRNS; entries past the
// colour count repeat entry 0. Answers the colour count (0: left as it was).
uint32_t BuildPalette(const CPicPngInfo& info, RGBQUAD* palette, bool forRead) {
    memset(palette, 0, 256 * sizeof(RGBQUAD));
    uint32_t count = 0;
    if (info.colourType == 3 && info.paletteCount > 0) {
        count = (uint32_t)info.paletteCount;
        for (uint32_t i = 0; i < count; ++i)
            palette[i] = {info.palette[i][2], info.palette[i][1], info.palette[i][0], 255};
    } else if (info.colourType == 3) {
        if (forRead)
            for (uint32_t i = 0; i < 256; ++i) palette[i] = {(BYTE)i, (BYTE)i, (BYTE)i, 255};
        return 0;
    } else if (info.colourType == 0) {
        uint32_t bits = forRead ? std::min(info.bitDepth, 8) : (uint32_t)info.bitDepth;
        if (bits > 8) return 65536;  // a 16-bit grey image has no table
        count = 1u << bits;
        uint32_t step = 255 / (count - 1);
        for (uint32_t i = 0; i < count; ++i) palette[i] = {(BYTE)(i * step), (BYTE)(i * step), (BYTE)(i * step), 255};
    } else {
        return 0;
    }
    for (uint32_t i = count; i < 256; ++i) palette[i] = palette[0];
    for (int i = 0; i < info.trnsCount; ++i) palette[i].rgbReserved = info.trnsAlpha[i];
    return count;
}

void* ReadPng(CPicReaderContext& context, CPicIO& source, int32_t* width, int32_t* height, int32_t depth,
              RGBQUAD* palette, uint32_t flags) {
    bool dib = (flags & PIC_READ_DIB) != 0;
    if (dib && (flags & PIC_READ_DIB_ROWS)) return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
    if (!dib && depth != 1 && depth != 8 && depth != 16 && depth != 24 && depth != 32 && depth != 48 && depth != 64)
        return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
    if (!dib && (depth == 1 || depth == 8) && palette == nullptr) return context.Fail(PIC_ERR_BIT_DEPTH), nullptr;
    CPicThreadState* state = GetThreadState();
    CPicPngRequest request;
    request.depth = depth;
    request.dib = dib;
    request.gamma = (flags & PIC_PNG_GAMMA) != 0;
    request.grey16 = (flags & PIC_PNG_GREY16) != 0;
    request.paddedBgr = (flags & PIC_READ_DIB_ROWS) != 0;
    request.screenGamma = state->screenGamma;
    const CPicBackgroundColor& d = state->defaultPngBackground;
    request.defaultBackground = {d.index, d.red, d.green, d.blue, d.gray};
    request.maxDimension = (uint32_t)std::min<uint64_t>(PicGetPixelBudget(), 0x7FFFFFFF);
    uint64_t codedLeft = source.BytesLeft();
    request.checkSize = [&](uint64_t w, uint64_t h, uint64_t bytes) -> int {
        CPicReaderContext check;
        if (!PicCheckDeclaredImage(check, w, h, bytes, PIC_ERR_BAD_PNG) ||
            !PicCheckCodedBytes(check, bytes, codedLeft, PIC_EXPAND_DEFLATE, PIC_ERR_BAD_PNG))
            return check.result;
        return 0;
    };
    CPicReaderOutput output;
    request.allocate = [&](uint64_t bytes) -> uint8_t* {
        CPicReaderContext allocation;
        return output.Allocate(allocation, bytes) ? output.Data() : nullptr;
    };
    CPicProgress progress;
    request.progress = [&](uint32_t done, uint32_t total) { return progress.Report(done, total); };
    CPicPngInfo info;
    CPicPngLayout layout;
    bool made = false;
    int code = PngReadImage(source, request, Log(), info, layout, made);
    if (info.width != 0) StoreBackground(info);
    context.Fail(code);
    if (!made) return nullptr;
    RGBQUAD table[256];
    if (dib) {
        BuildPalette(info, table, true);
        memcpy(output.Data() + 40, table, 4ull * layout.dibColours);
    } else if (depth == 1 || depth == 8) {
        BuildPalette(info, palette, true);
    }
    *width = (int32_t)info.width;
    *height = (int32_t)info.height;
    return output.HandOver();
}

}  // namespace

BOOL WINAPI pic_GetPNGDims(CPicIO* source, int32_t* width, int32_t* height, int32_t* bitDepth,
                           int32_t* colourType, int32_t* interlace, int32_t* transIndex, int32_t* transRed,
                           int32_t* transGreen, int32_t* transBlue, int32_t* transGrey,
                           PicResolutionInfo* resolution, void*) {
    return PicReaderEntry("pic_GetPNGDims", FALSE, source, [&](CPicReaderContext& context) -> BOOL {
        if (width == nullptr || height == nullptr || bitDepth == nullptr || colourType == nullptr ||
            interlace == nullptr || transRed == nullptr || transGreen == nullptr || transBlue == nullptr ||
            transGrey == nullptr)
            return context.Fail(PIC_ERR_BAD_PARAM);
        CPicPngInfo info;
        if (int code = PngReadInfo(*source, info, Log())) return context.Fail(code);
        StoreBackground(info);
        *width = (int32_t)info.width;
        *height = (int32_t)info.height;
        *bitDepth = info.bitDepth;
        *colourType = info.colourType;
        *interlace = info.interlace;
        bool colourKey = info.hasTrns && info.colourType != 3;
        if (transIndex != nullptr) *transIndex = colourKey ? info.transIndex : -1;
        *transRed = colourKey ? info.transRed : -1;
        *transGreen = colourKey ? info.transGreen : -1;
        *transBlue = colourKey ? info.transBlue : -1;
        *transGrey = colourKey ? info.transGrey : -1;
        if (resolution != nullptr)
            *resolution = info.hasPhys ? PicResolutionInfo{info.physX, info.physY, info.physUnit}
                                       : PicResolutionInfo{0, 0, 0};
        return TRUE;
    });
}

BOOL WINAPI pic_GetPNGPalette(CPicIO* source, int32_t* colourCount, RGBQUAD* palette, void*) {
    return PicReaderEntry("pic_GetPNGPalette", FALSE, source, [&](CPicReaderContext& context) -> BOOL {
        if (colourCount == nullptr || palette == nullptr) return context.Fail(PIC_ERR_BAD_PARAM);
        CPicPngInfo info;
        if (int code = PngReadInfo(*source, info, Log())) return context.Fail(code);
        StoreBackground(info);
        uint32_t count = BuildPalette(info, palette, false);
        if (info.paletteCount > 0) count = (uint32_t)info.paletteCount;
        if (count != 0) *colourCount = (int32_t)count;
        return TRUE;
    });
}

void* WINAPI pic_ReadPNG(CPicIO* source, int32_t* width, int32_t* height, int32_t bitDepth, RGBQUAD* palette,
                         uint32_t flags) {
    return PicReaderEntry("pic_ReadPNG", (void*)nullptr, source, [&](CPicReaderContext& context) -> void* {
        int32_t ignored = 0;
        return ReadPng(context, *source, width != nullptr ? width : &ignored, height != nullptr ? height : &ignored,
                       bitDepth, palette, flags);
    });
}
