// Drawing of 1-bit, palette, RGB and RGBA buffers into device contexts: 1:1
// through a device bitmap and a blit, or stretched with StretchDIBits. The
// copies of the picture made on the way are wiped before they are freed:
// the picture may be a decrypted one.
#include <cstring>

#include "imaging/core/PicArray.h"
#include "imaging/core/PicGdi.h"
#include "imaging/core/PicImgBuf.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicOverlay.h"
#include "imaging/core/PicSizes.h"
#include "imaging/core/PicWipedCopies.h"

namespace {

constexpr uint32_t kPaletteEntries = 256;

const uint8_t* DIBPixels(const void* dib) {
    BITMAPINFOHEADER h;
    memcpy(&h, dib, sizeof h);
    const uint32_t colours = h.biClrUsed != 0 ? h.biClrUsed : (h.biBitCount <= 8 ? 1u << h.biBitCount : 0);
    return static_cast<const uint8_t*>(dib) + sizeof h + 4ull * colours;
}

}  // namespace

// A section's pixels are wiped before it goes; a device bitmap's pixels are
// not reachable and go with it.
void PicDeleteWipedBitmap(HBITMAP bitmap) {
    DIBSECTION section = {};
    if (GetObjectW(bitmap, sizeof section, &section) == sizeof section && section.dsBm.bmBits != nullptr)
        PicWipeCopy(section.dsBm.bmBits, (size_t)section.dsBm.bmWidthBytes * (size_t)section.dsBm.bmHeight);
    DeleteObject(bitmap);
}

BOOL CPicOperation::BlitNewBitmap(HDC dc, HBITMAP bitmap, int32_t x, int32_t y, uint32_t width, uint32_t height,
                                  HPALETTE hpalette) {
    if (bitmap == nullptr) return FALSE;
    const BOOL drawn = BlitBitmap(dc, bitmap, x, y, 0, 0, width, height, hpalette);
    PicDeleteWipedBitmap(bitmap);
    return drawn;
}

BOOL CPicOperation::Draw1Bit(HDC dc, const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride,
                             const RGBQUAD* palette, int32_t x, int32_t y, HPALETTE hpalette) {
    status = 0;
    if (src == nullptr || dc == nullptr || palette == nullptr) return Fail(PIC_ERR_BAD_PARAM);
    void* dib = MakeMonoDIB(src, width, height, stride, palette, nullptr);
    if (dib == nullptr) return FALSE;
    HBITMAP bitmap = DIBToHBITMAP(dib, hpalette, nullptr);
    PicWipeAndFreeGlobal(dib);
    return BlitNewBitmap(dc, bitmap, x, y, width, height, hpalette);
}

BOOL CPicOperation::Draw8Bit(HDC dc, const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride,
                             const RGBQUAD* palette, int32_t x, int32_t y, HPALETTE hpalette) {
    status = 0;
    if (src == nullptr || dc == nullptr || palette == nullptr) return Fail(PIC_ERR_BAD_PARAM);
    void* dib = MakePalettedDIB(src, width, height, stride, kPaletteEntries, 8, palette, nullptr);
    if (dib == nullptr) return FALSE;
    HBITMAP bitmap = DIBToHBITMAP(dib, hpalette, dc);
    PicWipeAndFreeGlobal(dib);
    return BlitNewBitmap(dc, bitmap, x, y, width, height, hpalette);
}

BOOL CPicOperation::DrawRGB(HDC dc, const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride,
                            int32_t x, int32_t y, HPALETTE hpalette) {
    status = 0;
    if (src == nullptr || dc == nullptr) return Fail(PIC_ERR_BAD_PARAM);
    return BlitNewBitmap(dc, RGBToHBITMAP(src, width, height, stride, hpalette, 0, dc), x, y, width, height,
                         hpalette);
}

BOOL CPicOperation::DrawRGBA(HDC dc, const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride,
                             int32_t x, int32_t y, HPALETTE hpalette, uint32_t flags) {
    status = 0;
    if (src == nullptr || dc == nullptr) return Fail(PIC_ERR_BAD_PARAM);
    const uint64_t bytes = 3ull * width * height;
    PicArray<uint8_t> shown;
    if (bytes > UINT32_MAX || !shown.Allocate((uint32_t)bytes)) return Fail(PIC_ERR_OUT_OF_MEMORY);
    if (!CaptureDCToRGB(dc, x, y, width, height, shown.data)) return FALSE;
    VovIredev::CPicImgBufExtern<uint8_t> background(width, height, 3, 3 * width, shown.data);
    VovIredev::CPicImgBufExternConst<uint8_t> picture(width, height, 4, stride, src);
    CPicImgOverlay overlay;
    if (!overlay.OverlayUChar(background, picture, 0, 0, 1.0, 0, flags)) {
        PicWipeCopy(shown.data, (size_t)bytes);
        return Fail(overlay.status);
    }
    const BOOL drawn = BlitNewBitmap(dc, RGBToHBITMAP(shown.data, width, height, 3 * width, hpalette, flags, dc), x,
                                     y, width, height, hpalette);
    PicWipeCopy(shown.data, (size_t)bytes);
    return drawn;
}

BOOL CPicOperation::StretchDIB(HDC dc, void* dib, uint32_t height, int32_t x, int32_t y, int32_t dstWidth,
                               int32_t dstHeight) {
    BITMAPINFOHEADER h;
    memcpy(&h, dib, sizeof h);
    const int lines = StretchDIBits(dc, x, y, dstWidth, dstHeight, 0, 0, h.biWidth, (int)height, DIBPixels(dib),
                                    static_cast<const BITMAPINFO*>(dib), DIB_RGB_COLORS, SRCCOPY);
    PicWipeAndFreeGlobal(dib);
    // StretchDIBits reports the lines it copied; fewer than the source's is a failed draw.
    return lines == (int)height ? TRUE : Fail(PIC_ERR_BITBLT);
}

BOOL CPicOperation::StretchDraw1Bit(HDC dc, const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride,
                                    const RGBQUAD* palette, int32_t x, int32_t y, int32_t dstWidth,
                                    int32_t dstHeight) {
    status = 0;
    if (src == nullptr || dc == nullptr || palette == nullptr) return Fail(PIC_ERR_BAD_PARAM);
    if (!(PicRasterCaps(dc) & RC_STRETCHDIB)) return Fail(PIC_ERR_DEVICE_CAPS);
    void* dib = MakeMonoDIB(src, width, height, stride, palette, nullptr);
    return dib != nullptr && StretchDIB(dc, dib, height, x, y, dstWidth, dstHeight);
}

BOOL CPicOperation::StretchDraw8Bit(HDC dc, const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride,
                                    const RGBQUAD* palette, int32_t x, int32_t y, int32_t dstWidth,
                                    int32_t dstHeight) {
    status = 0;
    if (src == nullptr || dc == nullptr || palette == nullptr) return Fail(PIC_ERR_BAD_PARAM);
    if (!(PicRasterCaps(dc) & RC_STRETCHDIB)) return Fail(PIC_ERR_DEVICE_CAPS);
    void* dib = MakePalettedDIB(src, width, height, stride, kPaletteEntries, 8, palette, nullptr);
    return dib != nullptr && StretchDIB(dc, dib, height, x, y, dstWidth, dstHeight);
}

BOOL CPicOperation::StretchDrawRGB(HDC dc, const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride,
                                   int32_t x, int32_t y, int32_t dstWidth, int32_t dstHeight) {
    status = 0;
    if (src == nullptr || dc == nullptr) return Fail(PIC_ERR_BAD_PARAM);
    if (!(PicRasterCaps(dc) & RC_STRETCHDIB)) return Fail(PIC_ERR_DEVICE_CAPS);
    void* dib = MakeRGBDIB(src, width, height, stride, nullptr, 0);
    return dib != nullptr && StretchDIB(dc, dib, height, x, y, dstWidth, dstHeight);
}
