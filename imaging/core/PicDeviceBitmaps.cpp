// Packed DIBs to device bitmaps and back, device bitmaps and screen areas to
// RGB rows, and the blit of a device bitmap into a DC.
#include <cstring>

#include "imaging/core/PicAllocators.h"
#include "imaging/core/PicGdi.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicSizes.h"
#include "imaging/core/PicWipedCopies.h"

namespace {

constexpr uint32_t kHeaderSize = sizeof(BITMAPINFOHEADER);
constexpr uint32_t kBitFieldMaskBytes = 12;

bool ReadHeader(const void* dib, BITMAPINFOHEADER& h) {
    if (dib == nullptr) return false;
    memcpy(&h, dib, kHeaderSize);
    return h.biSize == kHeaderSize;
}

// Colour-table entries: biClrUsed, or every value of the depth up to 8 bits.
uint32_t ColourEntries(const BITMAPINFOHEADER& h) {
    if (h.biBitCount <= 8 && h.biClrUsed == 0) return 1u << h.biBitCount;
    return h.biClrUsed;
}

const uint8_t* PixelStart(const void* dib, const BITMAPINFOHEADER& h) {
    uint64_t offset = kHeaderSize + 4ull * ColourEntries(h);
    if (h.biBitCount > 8 && h.biCompression == BI_BITFIELDS) offset += kBitFieldMaskBytes;
    return static_cast<const uint8_t*>(dib) + offset;
}

uint64_t UncompressedImageBytes(const BITMAPINFOHEADER& h) {
    const uint64_t rows = h.biHeight < 0 ? -(int64_t)h.biHeight : h.biHeight;
    return PicDIBRowBytes((uint32_t)(h.biWidth < 0 ? 0 : h.biWidth), h.biBitCount) * rows;
}

// The logical palette a DIB brings to a palette device when the caller gave none.
HPALETTE PaletteForDIB(const void* dib, const BITMAPINFOHEADER& h, int caps, bool& failed) {
    failed = false;
    const uint32_t entries = ColourEntries(h);
    if (!(caps & RC_PALETTE) || entries == 0 || entries > 256) return nullptr;
    HPALETTE built = PicCreatePaletteFromQuads(
        reinterpret_cast<const RGBQUAD*>(static_cast<const uint8_t*>(dib) + kHeaderSize), entries);
    failed = built == nullptr;
    return built;
}

// The palette of the system's first 255 entries, for reading bitmaps of a palette device.
HPALETTE SystemPalette(HDC dc) {
    PALETTEENTRY entries[255] = {};
    GetSystemPaletteEntries(dc, 0, 255, entries);
    RGBQUAD quads[255];
    for (int i = 0; i < 255; ++i) quads[i] = {entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
    return PicCreatePaletteFromQuads(quads, 255);
}

class CPalette {
public:
    explicit CPalette(HPALETTE palette) : handle(palette) {}
    ~CPalette() {
        if (handle != nullptr) DeleteObject(handle);
    }
    CPalette(const CPalette&) = delete;
    CPalette& operator=(const CPalette&) = delete;
    HPALETTE handle;
};

// A memory DC with an object selected into it for its lifetime.
class CSelection {
public:
    CSelection(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(SelectObject(dc, object)) {}
    ~CSelection() {
        if (Held()) SelectObject(m_dc, m_previous);
    }
    CSelection(const CSelection&) = delete;
    CSelection& operator=(const CSelection&) = delete;
    bool Held() const { return m_previous != nullptr && m_previous != HGDI_ERROR; }

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

class CMemoryDC {
public:
    explicit CMemoryDC(HDC compatible) : dc(CreateCompatibleDC(compatible)) {}
    ~CMemoryDC() {
        if (dc != nullptr) DeleteDC(dc);
    }
    CMemoryDC(const CMemoryDC&) = delete;
    CMemoryDC& operator=(const CMemoryDC&) = delete;
    HDC dc;
};

}  // namespace

HBITMAP CPicOperation::DIBToHBITMAP(const void* dib, HPALETTE palette, HDC dc) {
    status = 0;
    BITMAPINFOHEADER h;
    if (!ReadHeader(dib, h)) {
        Fail(PIC_ERR_BAD_PARAM);
        return nullptr;
    }
    CPicBorrowedDC target(dc, h.biBitCount == 1);
    if (target.Get() == nullptr) {
        Fail(PIC_ERR_DC);
        return nullptr;
    }
    const bool sections = PicDibSectionsOn();
    const int caps = PicRasterCaps(target.Get());
    if (!sections && !(caps & RC_DI_BITMAP)) {
        Fail(PIC_ERR_DEVICE_CAPS);
        return nullptr;
    }
    bool paletteFailed = false;
    CPalette built(palette == nullptr ? PaletteForDIB(dib, h, caps, paletteFailed) : nullptr);
    if (paletteFailed) {
        Fail(PIC_ERR_OUT_OF_MEMORY);
        return nullptr;
    }
    const BITMAPINFO* info = static_cast<const BITMAPINFO*>(dib);
    const uint8_t* pixels = PixelStart(dib, h);
    HBITMAP bitmap = nullptr;
    {
        CPicPaletteSelection selection(target.Get(), palette != nullptr ? palette : built.handle);
        if (sections) {
            GdiFlush();
            void* bits = nullptr;
            bitmap = CreateDIBSection(target.Get(), info, DIB_RGB_COLORS, &bits, nullptr, 0);
            if (bitmap == nullptr) {
                Fail(PIC_ERR_DIB_TO_BITMAP);
            } else if (bits == nullptr) {
                DeleteObject(bitmap);
                bitmap = nullptr;
                Fail(PIC_ERR_DIB_SECTION);
            } else {
                // The section holds the uncompressed size; a header may claim more.
                const uint64_t full = UncompressedImageBytes(h);
                const uint64_t copied = h.biSizeImage != 0 && h.biSizeImage < full ? h.biSizeImage : full;
                memcpy(bits, pixels, (size_t)copied);
            }
        } else {
            bitmap = CreateDIBitmap(target.Get(), &info->bmiHeader, CBM_INIT, pixels, info, DIB_RGB_COLORS);
            if (bitmap == nullptr) Fail(PIC_ERR_DIB_TO_BITMAP);
        }
    }
    return bitmap;
}

HBITMAP CPicOperation::RGBToHBITMAP(const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride,
                                    HPALETTE palette, uint32_t flags, HDC dc) {
    status = 0;
    if (src == nullptr) {
        Fail(PIC_ERR_BAD_PARAM);
        return nullptr;
    }
    if (!PicDibSectionsOn()) {
        void* dib = MakeRGBDIB(src, width, height, stride, nullptr, flags);
        if (dib == nullptr) return nullptr;
        HBITMAP bitmap = DIBToHBITMAP(dib, palette, dc);
        PicWipeAndFreeGlobal(dib);  // a copy of a picture that may be a decrypted one
        return bitmap;
    }
    return RGBToDIBSection(src, width, height, stride, palette, dc);
}

HBITMAP CPicOperation::RGBToDIBSection(const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride,
                                       HPALETTE palette, HDC dc) {
    status = 0;
    if (src == nullptr) {
        Fail(PIC_ERR_BAD_PARAM);
        return nullptr;
    }
    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) {
        Fail(PIC_ERR_BAD_PARAM);
        return nullptr;
    }
    CPicBorrowedDC target(dc, false);
    if (target.Get() == nullptr) {
        Fail(PIC_ERR_DC);
        return nullptr;
    }
    BITMAPINFO info = {};
    info.bmiHeader = {kHeaderSize, (LONG)width, (LONG)height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    CPicPaletteSelection selection(target.Get(), palette);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(target.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr) {
        if (bitmap != nullptr) DeleteObject(bitmap);
        Fail(PIC_ERR_DIB_SECTION);
        return nullptr;
    }
    if (!ConvertRGBRowsToDIB(src, width, height, stride, static_cast<uint8_t*>(bits), 0)) {
        PicDeleteWipedBitmap(bitmap);  // rows converted before the failure are plain pixels
        return nullptr;
    }
    return bitmap;
}

void* CPicOperation::HBITMAPToDIB(HBITMAP bitmap, uint32_t compression, HPALETTE palette) {
    status = 0;
    if (compression == BI_BITFIELDS) {
        Fail(PIC_ERR_UNSUPPORTED);
        return nullptr;
    }
    BITMAP described = {};
    if (bitmap == nullptr || GetObjectA(bitmap, sizeof described, &described) == 0) {
        Fail(PIC_ERR_BAD_PARAM);
        return nullptr;
    }
    const uint32_t bits = (uint32_t)described.bmPlanes * described.bmBitsPixel;
    const uint32_t tableBytes = bits <= 8 ? 4u << bits : 0;
    CPicBorrowedDC screen(nullptr, false);
    if (screen.Get() == nullptr) {
        Fail(PIC_ERR_DC);
        return nullptr;
    }
    CPicPaletteSelection selection(screen.Get(), PicPaletteOrDefault(palette));
    HGLOBAL block = GlobalAlloc(GMEM_ZEROINIT, kHeaderSize + tableBytes);
    if (block == nullptr) {
        Fail(PIC_ERR_OUT_OF_MEMORY);
        return nullptr;
    }
    auto* header = static_cast<BITMAPINFOHEADER*>(block);
    *header = {kHeaderSize, described.bmWidth, described.bmHeight, 1, (WORD)bits, compression, 0, 0, 0, 0, 0};
    if (GetDIBits(screen.Get(), bitmap, 0, (UINT)described.bmHeight, nullptr,
                  static_cast<BITMAPINFO*>(block), DIB_RGB_COLORS) == 0) {
        GlobalFree(block);
        Fail(PIC_ERR_GETDIBITS);
        return nullptr;
    }
    uint64_t imageBytes = header->biSizeImage;
    if (imageBytes == 0) {
        imageBytes = PicDIBRowBytes((uint32_t)described.bmWidth, bits) * (uint32_t)described.bmHeight;
        if (compression != BI_RGB) imageBytes = imageBytes * 3 / 2;
    }
    const uint64_t total = kHeaderSize + tableBytes + imageBytes;
    HGLOBAL grown = total < UINT32_MAX ? SafeGlobalReAlloc(block, (uint32_t)total) : nullptr;
    if (grown == nullptr) {
        GlobalFree(block);
        Fail(PIC_ERR_OUT_OF_MEMORY);
        return nullptr;
    }
    block = grown;
    header = static_cast<BITMAPINFOHEADER*>(block);
    uint8_t* pixels = static_cast<uint8_t*>(block) + kHeaderSize + tableBytes;
    if (GetDIBits(screen.Get(), bitmap, 0, (UINT)described.bmHeight, pixels, static_cast<BITMAPINFO*>(block),
                  DIB_RGB_COLORS) == 0) {
        GlobalFree(block);
        Fail(PIC_ERR_GETDIBITS);
        return nullptr;
    }
    return block;
}

BOOL CPicOperation::HBITMAPToRGB(HBITMAP bitmap, HDC dc, HPALETTE palette, uint8_t* dst) {
    status = 0;
    if (dc == nullptr) return Fail(PIC_ERR_DEVICE_CAPS);
    const int caps = PicRasterCaps(dc);
    if (!(caps & RC_DI_BITMAP)) return Fail(PIC_ERR_DEVICE_CAPS);
    if (dst == nullptr) return Fail(PIC_ERR_BAD_PARAM);
    CPalette system(palette == nullptr && (caps & RC_PALETTE) ? SystemPalette(dc) : nullptr);
    void* dib = HBITMAPToDIB(bitmap, BI_RGB, palette != nullptr ? palette : system.handle);
    if (dib == nullptr) return FALSE;
    const BOOL converted = DIBToRGB(dib, dst);
    GlobalFree(dib);
    return converted;
}

BOOL CPicOperation::CaptureDCToRGB(HDC dc, int32_t x, int32_t y, uint32_t width, uint32_t height, uint8_t* dst) {
    status = 0;
    if (dc == nullptr || width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX)
        return Fail(PIC_ERR_BAD_PARAM);
    const int caps = PicRasterCaps(dc);
    if (!(caps & RC_BITBLT) || !(caps & RC_BITMAP64)) return Fail(PIC_ERR_DEVICE_CAPS);
    CMemoryDC memory(dc);
    if (memory.dc == nullptr) return Fail(PIC_ERR_DC);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, (int)width, (int)height);
    if (bitmap == nullptr) return Fail(PIC_ERR_CREATE_BITMAP);
    bool copied;
    {
        CSelection selection(memory.dc, bitmap);
        if (!selection.Held()) {
            DeleteObject(bitmap);
            return Fail(PIC_ERR_SELECT_OBJECT);
        }
        copied = BitBlt(memory.dc, 0, 0, (int)width, (int)height, dc, x, y, SRCCOPY) != FALSE;
    }
    const BOOL result = copied ? HBITMAPToRGB(bitmap, dc, nullptr, dst) : Fail(PIC_ERR_BITBLT);
    DeleteObject(bitmap);
    return result;
}

BOOL CPicOperation::BlitBitmap(HDC dc, HBITMAP bitmap, int32_t x, int32_t y, int32_t srcX, int32_t srcY,
                               uint32_t width, uint32_t height, HPALETTE palette) {
    status = 0;
    if (bitmap == nullptr || dc == nullptr) return Fail(PIC_ERR_BAD_PARAM);
    const int caps = PicRasterCaps(dc);
    if (!(caps & RC_BITBLT)) return Fail(PIC_ERR_DEVICE_CAPS);
    const HPALETTE used = PicPaletteOrDefault(palette);
    CPicPaletteSelection onTarget(dc, used);
    CMemoryDC memory(dc);
    if (memory.dc == nullptr) return Fail(PIC_ERR_DC);
    CPicPaletteSelection onMemory(memory.dc, used);
    CSelection selection(memory.dc, bitmap);
    if (!selection.Held()) return Fail((caps & RC_BITMAP64) ? PIC_ERR_SELECT_OBJECT : PIC_ERR_DEVICE_CAPS);
    if (!BitBlt(dc, x, y, (int)width, (int)height, memory.dc, srcX, srcY, SRCCOPY)) return Fail(PIC_ERR_BITBLT);
    return TRUE;
}
