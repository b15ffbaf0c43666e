#include "imaging/readers/PicDibBuilder.h"

#include <cstring>

#include "imaging/core/PicConvert.h"
#include "imaging/core/PicSizes.h"

uint64_t PicDibBlockSize(uint32_t width, uint32_t height, uint32_t bits, uint32_t colours) {
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return 0;
    return sizeof(BITMAPINFOHEADER) + 4ull * colours + PicDIBRowBytes(width, bits) * height;
}

void PicWriteDibHeader(uint8_t* block, uint32_t width, uint32_t height, uint32_t bits, uint32_t colours,
                       const RGBQUAD* palette, int32_t xPerMetre, int32_t yPerMetre) {
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = (LONG)width;
    header.biHeight = (LONG)height;
    header.biPlanes = 1;
    header.biBitCount = (WORD)bits;
    header.biSizeImage = (DWORD)(PicDIBRowBytes(width, bits) * height);
    header.biXPelsPerMeter = xPerMetre;
    header.biYPelsPerMeter = yPerMetre;
    header.biClrUsed = colours;
    memcpy(block, &header, sizeof header);
    if (colours != 0 && palette != nullptr) memcpy(block + sizeof header, palette, 4ull * colours);
}

bool PicBuildDib(CPicReaderContext& context, CPicReaderOutput& output, const uint8_t* rows, uint32_t width,
                 uint32_t height, uint64_t stride, uint32_t bits, const RGBQUAD* palette, uint32_t colours) {
    uint64_t size = PicDibBlockSize(width, height, bits, colours);
    if (size == 0) return context.Fail(PIC_ERR_BAD_PARAM);
    if (!output.Allocate(context, size)) return false;
    uint8_t* block = output.Data();
    PicWriteDibHeader(block, width, height, bits, colours, palette);
    uint8_t* pixels = block + sizeof(BITMAPINFOHEADER) + 4ull * colours;
    uint64_t dibStride = PicDIBRowBytes(width, bits);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* in = rows + PicRowOffset(y, stride);
        uint8_t* out = pixels + PicRowOffset(height - 1 - y, dibStride);
        if (bits == 24)
            CopySwapRB24(in, out, width);
        else
            memcpy(out, in, (size_t)PicPackedRowBytes(width, bits));
    }
    return true;
}
