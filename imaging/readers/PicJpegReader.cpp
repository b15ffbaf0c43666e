#include "imaging/readers/PicJpegReader.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "framework/base/WipedMemory.h"
#include "imaging/core/PicConvert.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicLookupTables.h"
#include "imaging/core/PicSizes.h"
#include "imaging/readers/PicDibBuilder.h"
#include "imaging/readers/PicExifReader.h"
#include "imaging/readers/PicJpegCodec.h"
#include "framework/base/WipedMemory.h"

namespace {

enum ColourKind { kNone = 0, kGrey = 1, kRgb = 2, kCmyk = 3, kYcck = 4, kYCbCr = 5 };

void LogLibraryError(const CPicJpegCodec& codec) {
    LogMessage(codec.LastMessage().c_str(), PIC_ERR_BAD_JPG, PIC_LOG_ERROR, 0);
    PicTrace("PicLib JPG Error : %s\n", codec.LastMessage().c_str());
}

bool LibraryFailed(CPicReaderContext& context, const CPicJpegCodec& codec, int32_t code) {
    LogLibraryError(codec);
    return context.Fail(code);
}

struct OutputChoice {
    int outputKind = kNone;
    uint32_t bitDepth = 0;
};

// The rows the library will deliver for the requested depth, or a refusal.
bool ChooseOutput(CPicReaderContext& context, int colourKind, uint32_t bitDepth, uint32_t flags, OutputChoice& out) {
    bool dib = (flags & PIC_READ_DIB) != 0;
    switch (colourKind) {
    case kGrey:
        if (dib) bitDepth = 8;
        if (bitDepth == 32) return context.Fail(PIC_ERR_BIT_DEPTH);  // "can't read 8-bit to 32-bit"
        out = {bitDepth == 8 ? kGrey : kRgb, bitDepth};
        return true;
    case kRgb:
    case kYCbCr:
        if (bitDepth != 24) return context.Fail(PIC_ERR_BIT_DEPTH);
        out = {colourKind, 24};
        return true;
    case kCmyk:
    case kYcck:
        if (dib) bitDepth = 24;
        if (flags & PIC_JPEG_CMYK) {
            if (bitDepth != 32) return context.Fail(PIC_ERR_BIT_DEPTH);
            out = {colourKind, 32};
        } else {
            if (bitDepth != 24) return context.Fail(PIC_ERR_BIT_DEPTH);
            out = {kRgb, 24};
        }
        return true;
    default:
        return context.Fail(PIC_ERR_BAD_JPG);  // "Invalid JPG colorspace"
    }
}

// One output row: straight in, or through the work row for grey to RGB and
// CMYK to RGB (the stored values of such files are inverted).
bool ReadRow(CPicReaderContext& context, CPicJpegCodec& codec, int outputKind, uint8_t* row,
             std::vector<uint8_t>& work) {
    if (codec.OutputScanline() >= codec.OutputHeight()) return context.Fail(PIC_ERR_END_OF_IMAGE);
    int components = codec.OutputComponents();
    if (outputKind != kRgb || components == 3) return codec.ReadRow(row) || LibraryFailed(context, codec, PIC_ERR_FILE_READ);
    if (!codec.ReadRow(work.data())) return LibraryFailed(context, codec, PIC_ERR_FILE_READ);
    uint32_t width = codec.OutputWidth();
    if (components == 1) {
        for (uint32_t x = 0; x < width; ++x) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = work[x];
    } else if (components == 4) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* p = &work[4 * x];
            row[3 * x] = (uint8_t)(p[0] * p[3] / 255);
            row[3 * x + 1] = (uint8_t)(p[1] * p[3] / 255);
            row[3 * x + 2] = (uint8_t)(p[2] * p[3] / 255);
        }
    }
    return true;
}

struct OrientationSteps {
    int quarterTurn;  // -1 none, else the rotation kind (0 clockwise, 2 counter-clockwise)
    bool verticalFlip;
    bool mirror;
};

OrientationSteps StepsForOrientation(int32_t orientation) {
    switch (orientation) {
    case 2: return {-1, false, true};
    case 3: return {-1, true, true};
    case 4: return {-1, true, false};
    case 5: return {0, false, true};
    case 6: return {2, true, true};
    case 7: return {2, false, true};
    case 8: return {2, false, false};
    default: return {-1, false, false};
    }
}

// Turns the finished rows upright as the file's EXIF orientation says. The
// decoder still reads from the source afterwards, so its position is kept.
void ApplyExifOrientation(CPicIO& source, uint8_t* rows, uint32_t& width, uint32_t& height, uint64_t& stride,
                          uint32_t bytesPerPixel) {
    uint64_t position = 0;
    if (!source.Tell(&position)) return;
    int32_t orientation = PicJpegExifOrientation(source);
    source.Seek((int64_t)position, 0);
    OrientationSteps steps = StepsForOrientation(orientation);
    // The pixels may be a decrypted picture's: the turn's copy lives in wiped
    // memory and the flips swap in place without a spare row.
    if (steps.quarterTurn >= 0) {
        WipedBytes turned;
        try {
            turned.resize((size_t)(stride * height));
        } catch (...) {
            return;
        }
        CPicOperation op;
        if (!op.RotateUChar(rows, width, height, (uint32_t)stride, turned.data(), height * bytesPerPixel,
                            (uint32_t)steps.quarterTurn, bytesPerPixel))
            return;
        memcpy(rows, turned.data(), turned.size());
        std::swap(width, height);
        stride = (uint64_t)width * bytesPerPixel;
    }
    if (steps.verticalFlip) {
        for (uint32_t y = 0; y < height / 2; ++y) {
            uint8_t* top = rows + PicRowOffset(y, stride);
            std::swap_ranges(top, top + stride, rows + PicRowOffset(height - 1 - y, stride));
        }
    }
    if (steps.mirror) {
        for (uint32_t y = 0; y < height; ++y) {
            uint8_t* row = rows + PicRowOffset(y, stride);
            for (uint32_t x = 0; x < width / 2; ++x) {
                uint8_t* left = row + (uint64_t)x * bytesPerPixel;
                std::swap_ranges(left, left + bytesPerPixel, row + (uint64_t)(width - 1 - x) * bytesPerPixel);
            }
        }
    }
}

// Zeroes what the decoder did not write into an unfilled block: the padding
// behind the first rowsWritten rows and every row after them.
void ZeroRowsLeft(uint8_t* rows, uint32_t rowsWritten, uint32_t height, uint64_t stride, uint64_t rowBytes) {
    if (stride > rowBytes)
        for (uint32_t y = 0; y < rowsWritten; ++y)
            memset(rows + PicRowOffset(y, stride) + rowBytes, 0, (size_t)(stride - rowBytes));
    if (rowsWritten < height)
        memset(rows + PicRowOffset(rowsWritten, stride), 0, (size_t)(stride * (height - rowsWritten)));
}

void* ReadJpeg(CPicReaderContext& context, CPicIO& source, int32_t* width, int32_t* height, uint32_t bitDepth,
               uint32_t flags) {
    if ((flags & PIC_READ_DIB) && (flags & PIC_READ_DIB_ROWS)) return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
    CPicThreadState* thread = GetThreadState();
    CPicReaderSettings& settings = thread->readerSettings;
    bool passes = (flags & PIC_JPEG_PASSES) && settings.progressivePass != nullptr;
    std::unique_ptr<CPicJpegCodec> codec(new (std::nothrow) CPicJpegCodec(source, (flags & PIC_JPEG_SEEK_BACK) != 0));
    if (!codec || !codec->Created()) return context.Fail(PIC_ERR_OUT_OF_MEMORY), nullptr;
    CPicJpegHeader header;
    if (!codec->ReadHeader(header)) return LibraryFailed(context, *codec, PIC_ERR_BAD_JPG), nullptr;
    // The whole image is entropy-decoded whatever the scale: its full size
    // must be one the remaining bytes could code.
    if (!PicCheckDeclaredImage(context, header.width, header.height, 0, PIC_ERR_BAD_JPG) ||
        !PicCheckCodedBytes(context, (uint64_t)header.width * header.height * 3, source.BytesLeft(), PIC_EXPAND_JPEG,
                            PIC_ERR_BAD_JPG))
        return nullptr;
    if (!codec->Start(settings.dctScaleNumerator, settings.dctScaleDenominator, (flags & PIC_JPEG_KEEP_YCBCR) != 0,
                      passes))
        return LibraryFailed(context, *codec, PIC_ERR_BAD_JPG), nullptr;
    uint32_t w = codec->OutputWidth(), h = codec->OutputHeight();
    int components = codec->OutputComponents();
    int colourKind = components == 1   ? kGrey
                     : components == 3 ? ((flags & PIC_JPEG_KEEP_YCBCR) ? kYCbCr : kRgb)
                     : components == 4 ? (header.colourSpace == 4 ? kCmyk : kYcck)
                                       : kNone;
    OutputChoice choice;
    if (!ChooseOutput(context, colourKind, bitDepth, flags, choice)) return nullptr;
    uint32_t bytesPerPixel = choice.outputKind == kGrey ? 1 : (choice.outputKind == kCmyk || choice.outputKind == kYcck) ? 4 : 3;
    uint64_t stride = (uint64_t)w * bytesPerPixel;
    if (flags & PIC_READ_DIB_ROWS) stride = PicPaddedRow(stride);
    if (!PicCheckDeclaredImage(context, w, h, stride * h, PIC_ERR_BAD_JPG)) return nullptr;
    std::vector<uint8_t> work;
    try {
        work.resize((size_t)w * components * 2);
    } catch (...) {
        return context.Fail(PIC_ERR_OUT_OF_MEMORY), nullptr;
    }
    bool dib = (flags & PIC_READ_DIB) != 0;
    CPicReaderOutput output;
    PicArray<uint8_t> rowsForDib;
    // For an encrypted picture both hold plain pixels: wiped on every way out.
    struct WipedOnReturn {
        std::vector<uint8_t>& work;
        PicArray<uint8_t>& dibRows;
        ~WipedOnReturn() {
            WipeBytes(work.data(), work.size());
            WipeBytes(dibRows.data, dibRows.count);
        }
    } wipedOnReturn{work, rowsForDib};
    uint8_t* rows = nullptr;
    if (dib) {
        if (!PicBlockSizeAllowed(stride * h) || !rowsForDib.Allocate((uint32_t)(stride * h)))
            return context.Fail(PIC_ERR_OUT_OF_MEMORY), nullptr;
        rows = rowsForDib.data;
    } else {
        // Every row is written or zeroed below (ZeroRowsLeft).
        if (!output.AllocateUnfilled(context, stride * h)) return nullptr;
        rows = output.Data();
    }
    uint32_t rowsWritten = 0;
    CPicProgress progress;
    bool stopped = false;
    do {
        if (passes && !codec->StartPass()) {
            LibraryFailed(context, *codec, PIC_ERR_FILE_READ);
            break;
        }
        for (uint32_t i = 0; i < h && !stopped; ++i) {
            uint8_t* row = rows + PicRowOffset(i, stride);
            if (!ReadRow(context, *codec, choice.outputKind, row, work)) {
                stopped = true;
                break;
            }
            if ((flags & PIC_READ_DIB_ROWS) && choice.outputKind == kRgb) SwapRB24InPlace(row, w, 1);
            rowsWritten = std::max(rowsWritten, i + 1);
            if (!PicReportRow(context, progress, i, h)) stopped = true;
        }
        if (!passes) break;
        if (!codec->FinishPass()) {
            LibraryFailed(context, *codec, PIC_ERR_FILE_READ);
            break;
        }
        if (stopped) break;
        bool complete = codec->InputComplete();
        ZeroRowsLeft(rows, rowsWritten, h, stride, (uint64_t)w * bytesPerPixel);
        if (settings.progressivePass(rows, w, h, choice.bitDepth, (uint32_t)(codec->InputScanNumber() - 1),
                                     settings.progressivePassUser) == 0 ||
            complete)
            break;
    } while (true);
    if (!dib) ZeroRowsLeft(rows, rowsWritten, h, stride, (uint64_t)w * bytesPerPixel);
    if ((flags & PIC_READ_ORIENTATION) && !passes && !(flags & PIC_READ_DIB_ROWS))
        ApplyExifOrientation(source, rows, w, h, stride, choice.bitDepth / 8);
    if (dib && context.Ok()) {
        if (!PicBuildDib(context, output, rows, w, h, stride, choice.bitDepth == 8 ? 8 : 24,
                         choice.bitDepth == 8 ? PicTables().grayPalette : nullptr, choice.bitDepth == 8 ? 256 : 0))
            return nullptr;
    }
    if (codec->PrematureEnd()) context.Fail(PIC_ERR_FILE_READ);  // the missing rows are the library's filler
    if (!codec->Finish()) {
        LogLibraryError(*codec);
        context.Fail(PIC_ERR_FILE_READ);
    }
    if (dib && output.Data() == nullptr) return nullptr;
    *width = (int32_t)w;
    *height = (int32_t)h;
    return output.HandOver();
}

bool ReadDims(CPicReaderContext& context, CPicIO& source, int32_t* width, int32_t* height, int32_t* bits,
              int32_t* colourSpace, int32_t* processFlags, PicResolutionInfo* resolution) {
    *width = *height = *bits = 0;
    if (colourSpace != nullptr) *colourSpace = 0;
    if (processFlags != nullptr) *processFlags = 0;
    if (resolution != nullptr) *resolution = {0, 0, 0};
    CPicJpegCodec codec(source, false);
    if (!codec.Created()) return context.Fail(PIC_ERR_OUT_OF_MEMORY);
    CPicJpegHeader header;
    if (!codec.ReadHeader(header)) return LibraryFailed(context, codec, PIC_ERR_BAD_JPG);
    *width = (int32_t)header.width;
    *height = (int32_t)header.height;
    *bits = header.components * 8;
    if (colourSpace != nullptr) *colourSpace = header.colourSpace;
    if (processFlags != nullptr) *processFlags = (header.progressive ? 1 : 0) | (header.arithmetic ? 2 : 0);
    if (resolution != nullptr) *resolution = {header.xDensity, header.yDensity, header.densityUnit};
    return true;
}

}  // namespace

bool JpegCollectMarkers(CPicReaderContext& context, CPicIO& source, CPicReaderSettings& settings) {
    PicPtrVector<CFileDataTag>& comments = settings.tagLists[CPicReaderSettings::kComments];
    PicPtrVector<CFileDataTag>& markers = settings.tagLists[CPicReaderSettings::kMarkers];
    comments.DeleteAll();
    markers.DeleteAll();
    CPicJpegCodec codec(source, false);
    CPicJpegHeader header;
    if (!codec.Created()) return context.Fail(PIC_ERR_OUT_OF_MEMORY);
    if (!codec.KeepMarkers() || !codec.ReadHeader(header)) return LibraryFailed(context, codec, PIC_ERR_BAD_JPG);
    bool stored = true;
    codec.Markers([&](int marker, const uint8_t* data, uint32_t length) {
        if (length == 0) return;
        CFileDataTag* tag = new (std::nothrow) CFileDataTag;
        if (tag == nullptr) {
            stored = false;
            return;
        }
        if (marker == 0xFE) {
            tag->text.assign((const char*)data, length);
            stored = comments.Add(tag) && stored;
            return;
        }
        tag->id = marker;
        if (!tag->bytes.Allocate(length + 4)) {
            delete tag;
            stored = false;
            return;
        }
        memset(tag->bytes.data, 0, 4);
        memcpy(tag->bytes.data + 4, data, length);
        stored = markers.Add(tag) && stored;
    });
    return stored || context.Fail(PIC_ERR_OUT_OF_MEMORY);
}

void WINAPI pic_SetJPGDCTScaleFactors(int32_t numerator, int32_t denominator) {
    CPicThreadState* state = GetThreadState();
    if (state == nullptr) return;
    ReportError(PIC_ERR_OK, "pic_SetJPGDCTScaleFactors", nullptr);
    state->readerSettings.dctScaleNumerator = numerator;
    state->readerSettings.dctScaleDenominator = denominator;
}

BOOL WINAPI pic_GetJPGDims(CPicIO* source, int32_t* width, int32_t* height, int32_t* bitsPerPixel,
                           int32_t* colourSpace, int32_t* processFlags, PicResolutionInfo* resolution, void*) {
    return PicReaderEntry("pic_GetJPGDims", FALSE, source, [&](CPicReaderContext& context) -> BOOL {
        if (width == nullptr || height == nullptr || bitsPerPixel == nullptr) return context.Fail(PIC_ERR_BAD_PARAM);
        return ReadDims(context, *source, width, height, bitsPerPixel, colourSpace, processFlags, resolution);
    });
}

void* WINAPI pic_ReadJPG(CPicIO* source, int32_t* width, int32_t* height, int32_t bitDepth, uint32_t flags) {
    return PicReaderEntry("pic_ReadJPG", (void*)nullptr, source, [&](CPicReaderContext& context) -> void* {
        if (bitDepth != 8 && bitDepth != 24 && bitDepth != 32) return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
        int32_t ignored = 0;
        return ReadJpeg(context, *source, width != nullptr ? width : &ignored, height != nullptr ? height : &ignored,
                        (uint32_t)bitDepth, flags);
    });
}
