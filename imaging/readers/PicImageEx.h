// CPicImageEx: the application's picture. One image at 1, 8, 24 or 32 bits
// with its palette, resolution and file type, loaded from a file, a block of
// memory or a resource through the readers, and converted. Its pixels are a
// global block from the library or a block of its own; it frees them itself.
// An image belongs to one thread at a time.
#pragma once

#include <windows.h>

#include <cstdint>

#include "framework/base/CString.h"
#include "imaging/readers/PicIO.h"

class CPicImageEx {
public:
    enum FileType : int32_t {
        FileTypeJPEG24 = 0,
        FileTypeJPEG8 = 1,
        FileTypeBMP24 = 2,
        FileTypeBMP8 = 3,
        FileTypePCX24 = 4,
        FileTypePCX8 = 5,
        FileTypePNG24 = 6,
        FileTypePNG32 = 7,
        FileTypePNG8 = 9,
        FileTypeTIFF24 = 10,
        FileTypeTIFF8 = 11,
        FileTypeTIFF32 = 13,
        FileTypeTGA24 = 14,
        FileTypeTGA8 = 15,
        FileTypeTGA32 = 16,
        FileTypeWMF = 17,
        FileTypeEMF = 18,
        FileTypePSD24 = 19,
        FileTypePSD8 = 20,
        FileTypeWBMP = 21,
        FileTypeTIFF1 = 22,
        FileTypePNG1 = 23,
        FileTypeBMP1 = 24,
        FileTypePCD24 = 25,
        FileTypeGIF8 = 26,
        FileTypeUnknown = 27,
    };

    // The two-pass scaler's method number beside the library's 0-18.
    static constexpr int32_t PIC_RESIZE_TWO_PASS = 20;

    CPicImageEx() = default;
    virtual ~CPicImageEx() { CPicImageEx::Free(); }
    CPicImageEx(const CPicImageEx&) = delete;
    CPicImageEx& operator=(const CPicImageEx&) = delete;

    virtual void Free();

    bool IsValid() const { return GetPixels() != nullptr; }
    SIZE GetSize() const { return SIZE{m_width, m_height}; }
    int32_t GetWidth() const { return m_width; }
    int32_t GetHeight() const { return m_height; }
    int32_t GetBitsPerPixel() const { return m_bitsPerPixel; }
    int32_t GetPaletteCount() const { return m_paletteCount; }
    const RGBQUAD* GetPalette() const { return m_palette; }
    uint8_t* GetPixels() const { return m_libraryOwned ? m_libraryPixels : m_heapPixels; }
    int32_t GetFileType() const { return m_fileType; }
    double GetXResolution() const { return m_xResolution; }
    double GetYResolution() const { return m_yResolution; }
    uint32_t GetXResolutionInt() const { return (uint32_t)m_xResolution; }
    uint32_t GetYResolutionInt() const { return (uint32_t)m_yResolution; }
    int32_t GetResolutionUnit() const { return m_resolutionUnit; }
    // Packed rows: (width + 7) / 8, width, 3 x width or 4 x width bytes.
    uint32_t GetRowBytes() const;
    uint64_t CalcBufferSize() const;

    // A block of its own, contents not cleared; 1 when it cannot be had.
    int32_t Allocate(int32_t width, int32_t height, int32_t bits);
    int32_t Create(int32_t width, int32_t height, int32_t bits) { return Allocate(width, height, bits); }
    int32_t CreateLike(const CPicImageEx& other);
    int32_t MoveFrom(CPicImageEx& other);
    int32_t CopyFrom(const CPicImageEx& other);
    void CopyPaletteAndAttributes(const CPicImageEx& other);
    void CopyAttributes(const CPicImageEx& other);
    void SetGrayPalette();

    int32_t LoadFromFile(const WCHAR* path, int32_t type, int32_t page);
    int32_t LoadFromMemory(const void* bytes, uint32_t length, int32_t type, int32_t page, const WCHAR* name);
    int32_t LoadFromResource(UINT resourceId, const WCHAR* resourceType);
    void SetDecodeSizeHint(int32_t width, int32_t height) {
        m_hintWidth = width;
        m_hintHeight = height;
    }

    int32_t ReadFromSource(CPicIO* source, int32_t type, int32_t page);
    static int32_t GuessTypeOfSource(CPicIO* source, const WCHAR* name);
    static int32_t GuessTypeOfFile(const WCHAR* path);
    static int32_t TypeFromExtension(const WCHAR* path);
    // The DCT reduction 1, 2, 4 or 8 for the hint (1 without one).
    int32_t ChooseJPEGScale(int32_t fullWidth, int32_t fullHeight) const;

    int32_t ConvertTo24Bit();
    int32_t ConvertTo24BitInto(CPicImageEx& out) const;
    int32_t SplitAlpha(CPicImageEx& rgb, CPicImageEx& alpha) const;
    // To 8 bits: through the given palette (count entries, at least 2), or
    // through a palette of 256 colours built for the image when it is null.
    int32_t ConvertTo8Bit(const RGBQUAD* palette, int32_t count);
    int32_t ConvertTo8BitInto(CPicImageEx& out, const RGBQUAD* palette, int32_t count) const;

    // Resize methods are the library's (PicResizeMethod) and PIC_RESIZE_TWO_PASS.
    int32_t Resize(SIZE size, int32_t method, bool toGrey);
    int32_t ResizeFrom(const CPicImageEx& source, int32_t width, int32_t height, int32_t method, bool toGrey);
    // This image becomes the 24-bit source resampled to size.
    int32_t CreateResizedRGB(SIZE size, const CPicImageEx& source, int32_t method);
    // Stretches the height of an image whose pixels are not square by the
    // ratio of its resolutions (TIFF loads call it); ratios within 25 % of 1
    // and beyond 1/8 to 8 leave it as it is.
    int32_t CorrectNonSquarePixels();

    // The whole image in a Windows colour 0x00BBGGRR (the top byte the alpha
    // of 32-bit images; 8 bits: the nearest palette entry; 1 bit: the low
    // byte as the bit value).
    int32_t Fill(COLORREF colour);

    // Drawing into a device context; results are the library's last error.
    // 1:1 with the top-left corner at the point (32 bits blend by alpha).
    int32_t Draw(HDC dc, POINT at, HPALETTE palette = nullptr) const;
    // Stretched into the rectangle; 32-bit images are not drawn (28).
    int32_t StretchDraw(HDC dc, const RECT& rect) const;
    // Frame index (clamped to the strip) of a horizontal strip of frameCount
    // equal frames, 1:1 at the point; a count below 1 is refused (5).
    int32_t DrawStripFrame(HDC dc, POINT at, int32_t index, int32_t frameCount) const;

    // Full size from the JPEG header before a reduced decoding (JPEG loads only).
    int32_t m_originalWidth = 0;
    int32_t m_originalHeight = 0;
    int32_t m_hintWidth = 0;
    int32_t m_hintHeight = 0;
    double m_xResolution = 0.0;
    double m_yResolution = 0.0;
    int32_t m_resolutionUnit = 1;  // 1 none, 2 per inch, 3 per centimetre
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_bitsPerPixel = 0;
    int32_t m_paletteCount = 0;
    RGBQUAD m_palette[256];
    int32_t m_fileType = FileTypeUnknown;
    CString m_sourceName;
    int32_t m_pageIndex = 0;

private:
    void ReadResolution(CPicIO* source, int32_t type);
    void Adopt(void* pixels, int32_t width, int32_t height, int32_t bits, int32_t type);
    // A rendered metafile's 24-bit pixels.
    void AdoptRendered(void* pixels, int32_t width, int32_t height, int32_t type);
    int32_t ResizePixelsFrom(const CPicImageEx& source, int32_t method, bool toGrey);
    int32_t ResizeOneBitFrom(const CPicImageEx& source, int32_t method, bool toGrey);
    int32_t DrawRows(HDC dc, const uint8_t* rows, int32_t width, uint32_t stride, POINT at, HPALETTE palette) const;

    bool m_libraryOwned = true;
    uint8_t* m_heapPixels = nullptr;
    uint64_t m_heapBytes = 0;
    uint8_t* m_libraryPixels = nullptr;
};
