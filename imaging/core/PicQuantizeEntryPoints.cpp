#include "imaging/core/PicQuantizeEntryPoints.h"

#include "imaging/core/PicOctreeQuantizer.h"

BOOL WINAPI pic_QuantizeRGBTo8Bit(const uint8_t* src, uint32_t width, uint32_t height, uint32_t srcStride,
                                  uint8_t* dst, uint32_t dstStride, uint32_t colours, RGBQUAD* palette,
                                  int32_t ditherMode, int32_t errorLimit, uint32_t flags) {
    return PicEntryPoint("pic_QuantizeRGBTo8Bit", FALSE, [&](CPicOperation& op) -> BOOL {
        colours = colours < 2 ? 1 : colours > 256 ? 256 : colours;
        return QuantizeRGBTo8Bit(op.status, src, width, height, srcStride, dst, dstStride, colours, palette,
                                 ditherMode, errorLimit, flags);
    });
}

BOOL WINAPI pic_RGBTo8BitDithered(const uint8_t* src, uint32_t width, uint32_t height, uint32_t srcStride,
                                  uint8_t* dst, uint32_t dstStride, uint32_t paletteCount, const RGBQUAD* palette,
                                  int32_t ditherMode, int32_t errorLimit, uint32_t flags) {
    return PicEntryPoint("pic_RGBTo8BitDithered", FALSE, [&](CPicOperation& op) -> BOOL {
        return MapRGBToPalette(op.status, src, dst, width, height, srcStride, dstStride, paletteCount, palette,
                               ditherMode, errorLimit, flags);
    });
}
