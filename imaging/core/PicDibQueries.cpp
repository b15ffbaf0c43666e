// Header queries on packed DIBs: a 40-byte BITMAPINFOHEADER, the colour
// table, then the pixel rows.
#include "imaging/core/PicEntryPoints.h"

namespace {

const BITMAPINFOHEADER* Header(const void* dib) { return static_cast<const BITMAPINFOHEADER*>(dib); }

// Colour-table entries of a DIB of 8 bits or less: biClrUsed, or the depth's
// full table when it is 0.
uint32_t PaletteEntries(const BITMAPINFOHEADER* h) {
    return h->biClrUsed != 0 ? h->biClrUsed : 1u << h->biBitCount;
}

template <class T, class Field>
BOOL QueryField(const void* dib, T* out, const char* name, Field field) {
    if (GetThreadState() == nullptr) return FALSE;
    if (dib == nullptr || out == nullptr) {
        ReportError(PIC_ERR_BAD_PARAM, name, nullptr);
        return FALSE;
    }
    if (Header(dib)->biSize != sizeof(BITMAPINFOHEADER)) {
        *out = 0;
        ReportError(PIC_ERR_BAD_PARAM, name, nullptr);
        return FALSE;
    }
    *out = (T)field(Header(dib));
    ReportError(PIC_ERR_OK, name, nullptr);
    return TRUE;
}

}  // namespace

BOOL WINAPI pic_DIBWidth(const void* dib, int32_t* width) {
    return QueryField(dib, width, "pic_DIBWidth", [](const BITMAPINFOHEADER* h) { return h->biWidth; });
}

BOOL WINAPI pic_DIBHeight(const void* dib, int32_t* height) {
    return QueryField(dib, height, "pic_DIBHeight", [](const BITMAPINFOHEADER* h) { return h->biHeight; });
}

BOOL WINAPI pic_DIBBitCount(const void* dib, uint32_t* bitCount) {
    return QueryField(dib, bitCount, "pic_DIBBitCount", [](const BITMAPINFOHEADER* h) { return h->biBitCount; });
}

void* WINAPI pic_DIBPixelStart(const void* dib) {
    if (GetThreadState() == nullptr) return nullptr;
    const BITMAPINFOHEADER* h = Header(dib);
    if (h == nullptr || h->biSize != sizeof(BITMAPINFOHEADER)) {
        ReportError(PIC_ERR_BAD_PARAM, "pic_DIBPixelStart", nullptr);
        return nullptr;
    }
    size_t offset = sizeof(BITMAPINFOHEADER);
    if (h->biBitCount >= 1 && h->biBitCount <= 8)
        offset += (size_t)PaletteEntries(h) * sizeof(RGBQUAD);
    else if (h->biBitCount > 8 && h->biCompression == BI_BITFIELDS)
        offset += 12;
    ReportError(PIC_ERR_OK, "pic_DIBPixelStart", nullptr);
    return (uint8_t*)dib + offset;
}

RGBQUAD* WINAPI pic_GetDIBPalette(const void* dib, int32_t* count) {
    if (GetThreadState() == nullptr) return nullptr;
    if (dib == nullptr || count == nullptr) {
        ReportError(PIC_ERR_BAD_PARAM, "pic_GetDIBPalette", nullptr);
        return nullptr;
    }
    *count = 0;
    const BITMAPINFOHEADER* h = Header(dib);
    if (h->biSize != sizeof(BITMAPINFOHEADER)) {
        ReportError(PIC_ERR_BAD_PARAM, "pic_GetDIBPalette", nullptr);
        return nullptr;
    }
    if (h->biBitCount > 8) {
        ReportError(PIC_ERR_BIT_DEPTH, "pic_GetDIBPalette", nullptr);
        return nullptr;
    }
    // Callers index the table with pixel values: never more entries than a pixel can name.
    uint32_t entries = PaletteEntries(h);
    uint32_t addressable = 1u << h->biBitCount;
    *count = (int32_t)(entries < addressable ? entries : addressable);
    return (RGBQUAD*)((uint8_t*)dib + sizeof(BITMAPINFOHEADER));
}
