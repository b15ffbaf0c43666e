#include "imaging/readers/PicGifReader.h"

#include <cstring>

#include "imaging/core/PicSizes.h"
#include "imaging/readers/PicGifDecoder.h"
#include "imaging/readers/PicReaderFrame.h"

namespace {

constexpr uint32_t kDibHeaderSize = sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD);

bool ReadToFirstImage(CPicGIFReader& gif, CPicReaderContext& context, CPicGIFImageDescriptor& image) {
    if (!gif.ReadHeaderAndScreen(PIC_ERR_BAD_GIF)) return false;
    CPicGIFReader::Block block = gif.NextBlock();
    if (block == CPicGIFReader::kEndOfData) return false;
    if (block == CPicGIFReader::kTrailer) return context.Fail(PIC_ERR_FILE_READ);  // no image at all
    return gif.ReadDescriptor(image);
}

void* ReadFirstImage(CPicReaderContext& context, CPicIO& source, int32_t* width, int32_t* height,
                     int32_t* transparentIndex, RGBQUAD* palette, uint32_t flags) {
    bool dib = (flags & PIC_READ_DIB) != 0;
    if (dib && (flags & PIC_READ_DIB_ROWS)) return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
    if (!dib && palette == nullptr) return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
    CPicGIFReader gif(context, source);
    CPicGIFImageDescriptor image;
    if (!ReadToFirstImage(gif, context, image)) return nullptr;
    uint64_t stride = (dib || (flags & PIC_READ_DIB_ROWS)) ? PicPaddedRow(image.width) : image.width;
    uint64_t header = dib ? kDibHeaderSize : 0;
    if (!PicCheckDeclaredImage(context, image.width, image.height, header + stride * image.height, PIC_ERR_BAD_GIF) ||
        !PicCheckCodedBytes(context, (uint64_t)image.width * image.height, source.BytesLeft(), PIC_EXPAND_LZW,
                            PIC_ERR_BAD_GIF))
        return nullptr;
    CPicReaderOutput output;
    if (!output.Allocate(context, header + stride * image.height)) return nullptr;
    if (!gif.ReadLocalTable(image)) return nullptr;
    gif.DecodePixels(image, output.Data() + header, stride, dib);
    RGBQUAD table[256];
    gif.FillPalette(table);
    if (dib) {
        BITMAPINFOHEADER* info = reinterpret_cast<BITMAPINFOHEADER*>(output.Data());
        info->biSize = sizeof(BITMAPINFOHEADER);
        info->biWidth = (LONG)image.width;
        info->biHeight = (LONG)image.height;
        info->biPlanes = 1;
        info->biBitCount = 8;
        info->biSizeImage = (DWORD)(stride * image.height);
        info->biClrUsed = 256;
        memcpy(output.Data() + sizeof(BITMAPINFOHEADER), table, sizeof table);
    } else {
        memcpy(palette, table, sizeof table);
    }
    *width = (int32_t)image.width;
    *height = (int32_t)image.height;
    if (transparentIndex != nullptr) *transparentIndex = gif.hasTransparency ? gif.transparentIndex : -1;
    return output.HandOver();
}

bool ReadDims(CPicReaderContext& context, CPicIO& source, int32_t* width, int32_t* height, int32_t* bits,
              int32_t* background, int32_t* transparentIndex, RGBQUAD* palette, int32_t* interlaced,
              uint32_t flags) {
    *width = *height = *bits = 0;
    *transparentIndex = -1;
    *interlaced = 0;
    if (palette != nullptr) memset(palette, 0, 256 * sizeof(RGBQUAD));
    CPicGIFReader gif(context, source);
    CPicGIFImageDescriptor image;
    if (!ReadToFirstImage(gif, context, image)) return false;
    if (!gif.ReadLocalTable(image)) return false;
    *width = (int32_t)((flags & 1) ? gif.screenWidth : image.width);
    *height = (int32_t)((flags & 1) ? gif.screenHeight : image.height);
    *bits = (gif.screenFlags & 7) + 1;
    *background = (int32_t)gif.backgroundIndex;
    *transparentIndex = gif.hasTransparency ? gif.transparentIndex : -1;
    *interlaced = image.interlaced ? 1 : 0;
    if (palette != nullptr && (gif.hasGlobalTable || image.hasLocalTable)) gif.FillPalette(palette);
    return true;
}

}  // namespace

BOOL WINAPI pic_GetGIFDims(CPicIO* source, int32_t* width, int32_t* height, int32_t* bitsPerPixel,
                           int32_t* backgroundIndex, int32_t* transparentIndex, RGBQUAD* palette,
                           int32_t* interlaced, uint32_t flags) {
    return PicReaderEntry("pic_GetGIFDims", FALSE, source, [&](CPicReaderContext& context) -> BOOL {
        if (width == nullptr || height == nullptr || bitsPerPixel == nullptr || backgroundIndex == nullptr ||
            transparentIndex == nullptr || interlaced == nullptr)
            return context.Fail(PIC_ERR_BAD_PARAM);
        return ReadDims(context, *source, width, height, bitsPerPixel, backgroundIndex, transparentIndex, palette,
                        interlaced, flags);
    });
}

void* WINAPI pic_ReadGIF(CPicIO* source, int32_t* width, int32_t* height, int32_t* transparentIndex,
                         RGBQUAD* palette, uint32_t flags) {
    return PicReaderEntry("pic_ReadGIF", (void*)nullptr, source, [&](CPicReaderContext& context) -> void* {
        int32_t ignored = 0;
        return ReadFirstImage(context, *source, width != nullptr ? width : &ignored,
                              height != nullptr ? height : &ignored, transparentIndex, palette, flags);
    });
}
