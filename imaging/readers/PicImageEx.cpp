#include "imaging/readers/PicImageEx.h"

#include <algorithm>
#include <cmath>
#include <climits>
#include <cstring>
#include <new>
#include <utility>

#include "imaging/core/PicEntryPoints.h"
#include "imaging/core/PicFillEntryPoints.h"
#include "imaging/core/PicHistogramEntryPoints.h"
#include "imaging/core/PicQuantizeEntryPoints.h"
#include "imaging/core/PicResizeBase.h"
#include "imaging/core/PicSizes.h"
#include "imaging/core/PicUtil.h"
#include "imaging/readers/PicFileType.h"
#include "imaging/readers/PicExifReader.h"
#include "imaging/readers/PicFormatTable.h"
#include "imaging/readers/PicGenericReader.h"
#include "imaging/readers/PicGifReader.h"
#include "imaging/readers/PicJpegReader.h"
#include "imaging/readers/PicSources.h"
#include "imaging/readers/TwoPassScale.h"

namespace {

// How each file type is read: the reader, the depth, and whether the
// palette call follows an indexed read.
struct TypeRead {
    int32_t type;
    int32_t readerId;
    int32_t depth;
    bool paletteCall;
};

const TypeRead kTypeReads[] = {
    {CPicImageEx::FileTypeJPEG24, PIC_READER_JPEG, 24, false}, {CPicImageEx::FileTypeJPEG8, PIC_READER_JPEG, 8, false},
    {CPicImageEx::FileTypeBMP24, PIC_READER_BMP, 24, false},   {CPicImageEx::FileTypeBMP8, PIC_READER_BMP, 8, true},
    {CPicImageEx::FileTypeBMP1, PIC_READER_BMP, 1, true},      {CPicImageEx::FileTypePCX24, PIC_READER_PCX, 24, false},
    {CPicImageEx::FileTypePCX8, PIC_READER_PCX, 8, true},      {CPicImageEx::FileTypePNG24, PIC_READER_PNG, 24, false},
    {CPicImageEx::FileTypePNG32, PIC_READER_PNG, 32, false},   {CPicImageEx::FileTypePNG8, PIC_READER_PNG, 8, true},
    {CPicImageEx::FileTypePNG1, PIC_READER_PNG, 1, true},      {CPicImageEx::FileTypeTIFF24, PIC_READER_TIFF, 24, false},
    {CPicImageEx::FileTypeTIFF8, PIC_READER_TIFF, 8, false},   {CPicImageEx::FileTypeTIFF32, PIC_READER_TIFF, 32, false},
    {CPicImageEx::FileTypeTIFF1, PIC_READER_TIFF, 1, false},   {CPicImageEx::FileTypeTGA24, PIC_READER_TGA, 24, false},
    {CPicImageEx::FileTypeTGA8, PIC_READER_TGA, 8, true},      {CPicImageEx::FileTypeTGA32, PIC_READER_TGA, 32, false},
    {CPicImageEx::FileTypePSD24, PIC_READER_PSD, 24, false},   {CPicImageEx::FileTypePSD8, PIC_READER_PSD, 8, true},
    {CPicImageEx::FileTypeWBMP, PIC_READER_WBMP, 8, false},    {CPicImageEx::FileTypePCD24, PIC_READER_PCD, 24, false},
    {CPicImageEx::FileTypeGIF8, PIC_READER_GIF, 8, false},
};

const TypeRead* FindTypeRead(int32_t type) {
    for (const TypeRead& r : kTypeReads)
        if (r.type == type) return &r;
    return nullptr;
}

struct GuessedToType {
    int32_t guessed;
    int32_t type;
};
const GuessedToType kGuessedTypes[] = {
    {PIC_FT_BMP, CPicImageEx::FileTypeBMP24},  {PIC_FT_GIF, CPicImageEx::FileTypeGIF8},
    {PIC_FT_JPEG, CPicImageEx::FileTypeJPEG24}, {PIC_FT_PNG, CPicImageEx::FileTypePNG24},
    {PIC_FT_PCX, CPicImageEx::FileTypePCX24},  {PIC_FT_TIFF, CPicImageEx::FileTypeTIFF24},
    {PIC_FT_WMF, CPicImageEx::FileTypeWMF},    {PIC_FT_EMF, CPicImageEx::FileTypeEMF},
    {PIC_FT_PSD, CPicImageEx::FileTypePSD24},  {PIC_FT_WBMP, CPicImageEx::FileTypeWBMP},
    {PIC_FT_TGA, CPicImageEx::FileTypeTGA24},  {PIC_FT_PCD, CPicImageEx::FileTypePCD24},
};

// Puts the thread's JPEG scale back to 1/1 when a load ends, so that no
// later read inherits a reduction it did not ask for.
struct JpegScaleScope {
    ~JpegScaleScope() { pic_SetJPGDCTScaleFactors(1, 1); }
};

}  // namespace

void CPicImageEx::Free() {
    if (m_libraryPixels != nullptr) GlobalFree(m_libraryPixels);
    delete[] m_heapPixels;
    m_libraryPixels = m_heapPixels = nullptr;
    m_libraryOwned = true;
    m_width = m_height = m_bitsPerPixel = m_paletteCount = 0;
}

uint32_t CPicImageEx::GetRowBytes() const {
    switch (m_bitsPerPixel) {
    case 1: return ((uint32_t)m_width + 7) / 8;
    case 8: return (uint32_t)m_width;
    case 24: return 3u * m_width;
    case 32: return 4u * m_width;
    default: return 0;
    }
}

uint64_t CPicImageEx::CalcBufferSize() const {
    if (m_bitsPerPixel == 1) return (uint64_t)m_height * (((uint64_t)m_width + 7) / 8);
    return (uint64_t)m_width * m_height * (m_bitsPerPixel / 8);
}

int32_t CPicImageEx::Allocate(int32_t width, int32_t height, int32_t bits) {
    Free();
    if (width <= 0 || height <= 0) return PIC_ERR_BAD_PARAM;
    m_width = width;
    m_height = height;
    m_bitsPerPixel = bits;
    uint64_t size = CalcBufferSize();
    if (size == 0 || !PicBlockSizeAllowed(size)) {
        Free();
        return PIC_ERR_OUT_OF_MEMORY;
    }
    m_heapPixels = new (std::nothrow) uint8_t[(size_t)size];
    if (m_heapPixels == nullptr) {
        Free();
        return PIC_ERR_OUT_OF_MEMORY;
    }
    m_libraryOwned = false;
    m_paletteCount = bits <= 8 ? 1 << bits : 0;
    return PIC_ERR_OK;
}

int32_t CPicImageEx::CreateLike(const CPicImageEx& other) {
    int32_t code = Create(other.m_width, other.m_height, other.m_bitsPerPixel);
    if (code == PIC_ERR_OK) CopyPaletteAndAttributes(other);
    return code;
}

void CPicImageEx::CopyPaletteAndAttributes(const CPicImageEx& other) {
    memcpy(m_palette, other.m_palette, sizeof m_palette);
    m_paletteCount = other.m_paletteCount;
    m_bitsPerPixel = other.m_bitsPerPixel;
    CopyAttributes(other);
}

void CPicImageEx::CopyAttributes(const CPicImageEx& other) {
    m_xResolution = other.m_xResolution;
    m_yResolution = other.m_yResolution;
    m_resolutionUnit = other.m_resolutionUnit;
    m_sourceName = other.m_sourceName;
    m_pageIndex = other.m_pageIndex;
    m_fileType = other.m_fileType;
}

int32_t CPicImageEx::CopyFrom(const CPicImageEx& other) {
    if (this == &other) return PIC_ERR_OK;
    Free();
    if (!other.IsValid()) return PIC_ERR_BAD_PARAM;
    int32_t code = CreateLike(other);
    if (code == PIC_ERR_OK) memcpy(GetPixels(), other.GetPixels(), (size_t)CalcBufferSize());
    return code;
}

int32_t CPicImageEx::MoveFrom(CPicImageEx& other) {
    if (this == &other) return PIC_ERR_OK;
    Free();
    if (!other.IsValid()) return PIC_ERR_BAD_PARAM;
    m_libraryOwned = other.m_libraryOwned;
    m_libraryPixels = other.m_libraryPixels;
    m_heapPixels = other.m_heapPixels;
    other.m_libraryPixels = other.m_heapPixels = nullptr;
    m_width = other.m_width;
    m_height = other.m_height;
    m_bitsPerPixel = other.m_bitsPerPixel;
    m_paletteCount = other.m_paletteCount;
    memcpy(m_palette, other.m_palette, sizeof(RGBQUAD) * (size_t)std::min(std::max(m_paletteCount, 0), 256));
    m_fileType = other.m_fileType;
    m_xResolution = other.m_xResolution;
    m_yResolution = other.m_yResolution;
    m_resolutionUnit = other.m_resolutionUnit;
    other.Free();
    return PIC_ERR_OK;
}

void CPicImageEx::SetGrayPalette() {
    for (int i = 0; i < 256; ++i) m_palette[i] = {(BYTE)i, (BYTE)i, (BYTE)i, 0};
    m_paletteCount = 256;
}

void CPicImageEx::Adopt(void* pixels, int32_t width, int32_t height, int32_t bits, int32_t type) {
    m_libraryOwned = true;
    m_libraryPixels = static_cast<uint8_t*>(pixels);
    m_width = width;
    m_height = height;
    m_bitsPerPixel = bits;
    m_fileType = type;
}

int32_t CPicImageEx::ChooseJPEGScale(int32_t fullWidth, int32_t fullHeight) const {
    if (m_hintWidth == 0 || m_hintHeight == 0) return 1;
    for (int32_t s : {8, 4, 2})
        if (m_hintWidth < fullWidth / s && m_hintHeight < fullHeight / s) return s;
    return 1;
}

void CPicImageEx::ReadResolution(CPicIO* source, int32_t type) {
    CPicProbe probe;
    const TypeRead* read = FindTypeRead(type);
    int32_t readerId = read != nullptr ? read->readerId : PIC_READER_UNKNOWN;
    const CPicFormatEntry& format = PicFormat(readerId);
    bool known = readerId == PIC_READER_JPEG || readerId == PIC_READER_BMP || readerId == PIC_READER_PNG;
    source->Seek(0, 0);
    if (!known || format.probe == nullptr || !format.probe(source, &probe)) {
        m_xResolution = m_yResolution = known ? 0.0 : 300.0;  // formats without a stated resolution: 300
        m_resolutionUnit = 1;
        return;
    }
    m_xResolution = probe.xResolution;
    m_yResolution = probe.yResolution;
    m_resolutionUnit = 1;
    if (readerId == PIC_READER_JPEG) {
        m_resolutionUnit = probe.resolutionUnit == 1 ? 2 : probe.resolutionUnit == 2 ? 3 : 1;
    } else if ((readerId == PIC_READER_BMP && probe.resolutionUnit == 2) ||
               (readerId == PIC_READER_PNG && probe.resolutionUnit == 1)) {
        m_resolutionUnit = 3;  // per metre becomes per centimetre
        m_xResolution /= 100;
        m_yResolution /= 100;
    }
}

int32_t CPicImageEx::ReadFromSource(CPicIO* source, int32_t type, int32_t page) {
    Free();
    const TypeRead* read = FindTypeRead(type);
    if (read == nullptr) return PIC_ERR_OK;  // types without pixels: nothing is read
    const CPicFormatEntry& format = PicFormat(read->readerId);
    if (format.read == nullptr) return PIC_ERR_UNSUPPORTED;
    JpegScaleScope scaleScope;
    uint32_t flags = 0;
    if (read->readerId == PIC_READER_JPEG) {
        int32_t bits = 0;
        pic_GetJPGDims(source, &m_originalWidth, &m_originalHeight, &bits, nullptr, nullptr, nullptr, nullptr);
        source->Seek(0, 0);
        pic_SetJPGDCTScaleFactors(1, ChooseJPEGScale(m_originalWidth, m_originalHeight));
        flags = PIC_READ_ORIENTATION;  // camera pictures are shown upright
    }
    int32_t width = 0, height = 0;
    void* pixels = format.read(source, &width, &height, read->depth, m_palette, flags);
    int32_t code = pic_GetLastError();
    if (pixels == nullptr) return code;
    if (read->readerId == PIC_READER_JPEG && PicJpegExifOrientation(*source) >= 5)
        std::swap(m_originalWidth, m_originalHeight);  // the picture was turned a quarter
    m_paletteCount = 0;
    if (read->readerId == PIC_READER_JPEG && read->depth == 8) {
        for (int i = 0; i < 256; ++i) m_palette[i] = {(BYTE)i, (BYTE)i, (BYTE)i, (BYTE)i};
        m_paletteCount = 256;
    } else if (read->paletteCall && format.palette != nullptr) {
        source->Seek(0, 0);
        format.palette(source, &m_paletteCount, m_palette);
    } else if (read->readerId == PIC_READER_GIF) {
        source->Seek(0, 0);
        int32_t w, h, bits = 8, background, transparent, interlaced;
        pic_GetGIFDims(source, &w, &h, &bits, &background, &transparent, nullptr, &interlaced, 0);
        m_paletteCount = 1 << bits;
        if (code == PIC_ERR_BAD_GIF) code = PIC_ERR_OK;  // an index beyond the table reads entry 0
    } else if (read->readerId == PIC_READER_WBMP) {
        m_paletteCount = 2;
    }
    ReadResolution(source, type);
    Adopt(pixels, width, height, read->depth, type);
    m_pageIndex = page;
    if (type == FileTypeTIFF24 || type == FileTypeTIFF8) {
        int32_t corrected = CorrectNonSquarePixels();
        if (code == PIC_ERR_OK) code = corrected;
    }
    return code;
}

int32_t CPicImageEx::TypeFromExtension(const WCHAR* path) {
    CString text(path != nullptr ? path : L"");
    int dot = text.ReverseFind(L'.');
    if (dot < 0) return FileTypeUnknown;
    CString extension = text.Mid(dot);
    struct Entry {
        const WCHAR* extension;
        int32_t type;
    } const entries[] = {
        {L".bmp", FileTypeBMP24}, {L".wbmp", FileTypeWBMP}, {L".wbm", FileTypeWBMP},  {L".tga", FileTypeTGA24},
        {L".jpeg", FileTypeJPEG24}, {L".jpg", FileTypeJPEG24}, {L".tif", FileTypeTIFF24}, {L".tiff", FileTypeTIFF24},
        {L".pcx", FileTypePCX24}, {L".gif", FileTypeGIF8},  {L".png", FileTypePNG24},   {L".wmf", FileTypeWMF},
        {L".emf", FileTypeEMF},   {L".psd", FileTypePSD24},
    };
    for (const Entry& e : entries)
        if (extension.CompareNoCase(e.extension) == 0) return e.type;
    return FileTypeUnknown;
}

int32_t CPicImageEx::GuessTypeOfSource(CPicIO* source, const WCHAR* name) {
    int32_t guessed = pic_GuessFileType(source);
    int32_t type = FileTypeUnknown;
    for (const GuessedToType& g : kGuessedTypes)
        if (g.guessed == guessed) type = g.type;
    if (type == FileTypeUnknown && name != nullptr) type = TypeFromExtension(name);
    source->Seek(0, 0);
    CPicProbe probe;
    const TypeRead* read = FindTypeRead(type);
    const CPicFormatEntry& format = PicFormat(read != nullptr ? read->readerId : PIC_READER_UNKNOWN);
    if (format.probe == nullptr || !format.probe(source, &probe)) return type;
    switch (type) {
    case FileTypeJPEG24: return probe.bitsPerPixel <= 8 ? FileTypeJPEG8 : type;
    case FileTypeBMP24:
        return probe.bitsPerPixel == 1 ? FileTypeBMP1 : probe.bitsPerPixel <= 8 ? FileTypeBMP8 : type;
    case FileTypePNG24:
        if (probe.bitDepth == 8 && probe.colourType == 6) return FileTypePNG32;
        if (probe.bitDepth == 1) return FileTypePNG1;
        if (probe.bitDepth <= 8 && (probe.colourType == 3 || probe.colourType == 0)) return FileTypePNG8;
        return type;
    case FileTypePCX24: return probe.bitsPerPixel <= 8 ? FileTypePCX8 : type;
    case FileTypeTGA24: return probe.bitsPerPixel == 32 ? FileTypeTGA32 : probe.bitsPerPixel <= 8 ? FileTypeTGA8 : type;
    default: return type;
    }
}

int32_t CPicImageEx::GuessTypeOfFile(const WCHAR* path) {
    CPicIO* source = pic_OpenFileSourceW(path);
    if (source == nullptr) return FileTypeUnknown;
    int32_t type = GuessTypeOfSource(source, path);
    pic_CloseSource(source);
    return type;
}

int32_t CPicImageEx::LoadFromFile(const WCHAR* path, int32_t type, int32_t page) {
    Free();
    if (path == nullptr || path[0] == 0) return PIC_ERR_FILE_OPEN;
    if (type == FileTypeUnknown) type = GuessTypeOfFile(path);
    if (type == FileTypeUnknown) return PIC_ERR_BAD_PARAM;
    // Metafiles are played by a reader that comes with the other formats.
    if (type == FileTypeWMF || type == FileTypeEMF) return PIC_ERR_UNSUPPORTED;
    CPicIO* source = pic_OpenFileSourceW(path);
    if (source == nullptr) return pic_GetLastError();
    int32_t code = ReadFromSource(source, type, page);
    m_sourceName = path;
    pic_CloseSource(source);
    return code;
}

int32_t CPicImageEx::LoadFromMemory(const void* bytes, uint32_t length, int32_t type, int32_t page,
                                   const WCHAR* name) {
    Free();
    CPicIO* source = pic_OpenMemorySource(bytes, length);
    if (source == nullptr) return pic_GetLastError();
    if (type == FileTypeUnknown) type = GuessTypeOfSource(source, name);
    int32_t code = PIC_ERR_BAD_PARAM;
    if (type != FileTypeUnknown) {
        source->Seek(0, 0);
        code = ReadFromSource(source, type, page);
        m_sourceName = L"memory";
    }
    pic_CloseSource(source);
    return code;
}

int32_t CPicImageEx::LoadFromResource(UINT resourceId, const WCHAR* resourceType) {
    Free();
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(resourceId), resourceType);
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) return PIC_ERR_BAD_PARAM;
    CPicIO* source = pic_OpenMemorySource(bytes, SizeofResource(module, found));
    if (source == nullptr) return pic_GetLastError();
    int32_t width = 0, height = 0;
    void* pixels = pic_ReadImage(source, &width, &height, PIC_KIND_RGB, 0);
    int32_t code = pic_GetLastError();
    pic_CloseSource(source);
    if (pixels != nullptr) {
        Adopt(pixels, width, height, 24, FileTypeUnknown);
        m_sourceName.Empty();
    }
    return code;
}

int32_t CPicImageEx::SplitAlpha(CPicImageEx& rgb, CPicImageEx& alpha) const {
    if (!IsValid()) return PIC_ERR_BAD_PARAM;
    if (m_bitsPerPixel != 32) return PIC_ERR_BIT_DEPTH;
    int32_t code = rgb.Create(m_width, m_height, 24);
    if (code == PIC_ERR_OK) code = alpha.Create(m_width, m_height, 8);
    if (code != PIC_ERR_OK) return code;
    pic_SplitRGBAToRGBPlusA(GetPixels(), (uint32_t)m_width, (uint32_t)m_height, 4u * m_width, rgb.GetPixels(),
                            3u * m_width, alpha.GetPixels(), (uint32_t)m_width, 0);
    return pic_GetLastError();
}

int32_t CPicImageEx::ConvertTo24BitInto(CPicImageEx& out) const {
    if (!IsValid()) return PIC_ERR_BAD_PARAM;
    if (m_bitsPerPixel == 24) return out.CopyFrom(*this);
    int32_t code = PIC_ERR_OK;
    if (m_bitsPerPixel == 32) {
        CPicImageEx alpha;
        code = SplitAlpha(out, alpha);
    } else if (m_bitsPerPixel == 8) {
        code = out.Create(m_width, m_height, 24);
        if (code != PIC_ERR_OK) return code;
        pic_8BitToRGB(GetPixels(), (uint32_t)m_width, (uint32_t)m_height, (uint32_t)m_width, out.GetPixels(),
                      3u * m_width, (uint32_t)m_paletteCount, m_palette, 0);
        code = pic_GetLastError();
    } else if (m_bitsPerPixel == 1) {
        CPicImageEx indices;
        code = ConvertTo8BitInto(indices, nullptr, 0);
        if (code == PIC_ERR_OK) code = indices.ConvertTo24BitInto(out);
    } else {
        return PIC_ERR_BIT_DEPTH;
    }
    out.CopyAttributes(*this);
    return code;
}

int32_t CPicImageEx::ConvertTo24Bit() {
    if (!IsValid()) return PIC_ERR_BAD_PARAM;
    if (m_bitsPerPixel == 24) return PIC_ERR_OK;
    CPicImageEx converted;
    int32_t code = ConvertTo24BitInto(converted);
    if (code == PIC_ERR_OK) MoveFrom(converted);
    return code;
}

int32_t CPicImageEx::ConvertTo8BitInto(CPicImageEx& out, const RGBQUAD* palette, int32_t count) const {
    if (!IsValid()) return PIC_ERR_BAD_PARAM;
    if (m_bitsPerPixel == 8) return out.CopyFrom(*this);
    if (m_bitsPerPixel == 32) {
        int32_t code = ConvertTo24BitInto(out);
        return code == PIC_ERR_OK ? out.ConvertTo8Bit(palette, count) : code;
    }
    if (m_bitsPerPixel != 24 && m_bitsPerPixel != 1) return PIC_ERR_BIT_DEPTH;
    int32_t code = out.Create(m_width, m_height, 8);
    if (code != PIC_ERR_OK) return code;
    if (m_bitsPerPixel == 1) {
        pic_UnpackBufferTo8Bit(GetPixels(), (uint32_t)m_width, (uint32_t)m_height, GetRowBytes(), 1, out.GetPixels(),
                               (uint32_t)m_width, 0);
        memcpy(out.m_palette, m_palette, sizeof m_palette);
        out.m_paletteCount = 256;
    } else if (palette != nullptr) {
        uint32_t colours = (uint32_t)std::min(std::max(count, 2), 256);
        pic_RGBTo8BitDithered(GetPixels(), (uint32_t)m_width, (uint32_t)m_height, 3u * m_width, out.GetPixels(),
                              (uint32_t)m_width, colours, palette, 1, 20, 0);
        memcpy(out.m_palette, palette, sizeof(RGBQUAD) * colours);
        out.m_paletteCount = (int32_t)colours;
    } else {
        pic_QuantizeRGBTo8Bit(GetPixels(), (uint32_t)m_width, (uint32_t)m_height, 3u * m_width, out.GetPixels(),
                              (uint32_t)m_width, 256, out.m_palette, 1, 20, 0);
        out.m_paletteCount = 256;
    }
    code = pic_GetLastError();
    out.CopyAttributes(*this);
    return code;
}

int32_t CPicImageEx::ConvertTo8Bit(const RGBQUAD* palette, int32_t count) {
    if (!IsValid()) return PIC_ERR_BAD_PARAM;
    if (m_bitsPerPixel == 8) return PIC_ERR_OK;
    CPicImageEx converted;
    int32_t code = ConvertTo8BitInto(converted, palette, count);
    if (code == PIC_ERR_OK) MoveFrom(converted);
    return code;
}

namespace {

int32_t MethodForOneBit(int32_t method, bool toGrey, bool enlarging) {
    if (toGrey) return method == PIC_RESIZE_DECIMATE_EX ? (int32_t)PIC_RESIZE_DECIMATE : std::min(method, (int32_t)PIC_RESIZE_BILINEAR);
    bool decimate = method == PIC_RESIZE_DECIMATE || method == PIC_RESIZE_DECIMATE_EX;
    return decimate && !enlarging ? PIC_RESIZE_DECIMATE : PIC_RESIZE_BILINEAR;
}

int32_t MethodForIndices(int32_t method, bool enlarging) {
    switch (method) {
    case PIC_RESIZE_DECIMATE:
    case PIC_RESIZE_DECIMATE_EX: return enlarging ? PIC_RESIZE_BILINEAR : PIC_RESIZE_DECIMATE;
    case PIC_RESIZE_NEAREST: return PIC_RESIZE_NEAREST;
    default: return PIC_RESIZE_BILINEAR;
    }
}

int32_t MethodForColour(int32_t method, int32_t bits, bool enlarging) {
    bool decimate = method == PIC_RESIZE_DECIMATE || method == PIC_RESIZE_DECIMATE_EX;
    if (enlarging && decimate) return PIC_RESIZE_BICUBIC;
    // The two-pass scaler takes 3-byte pixels only; 32-bit images get the
    // library's bilinear resize, the nearest of its own to a triangle filter.
    if (method == CPicImageEx::PIC_RESIZE_TWO_PASS && bits == 32) return PIC_RESIZE_BILINEAR;
    return method;
}

}  // namespace

int32_t CPicImageEx::ResizeOneBitFrom(const CPicImageEx& source, int32_t method, bool toGrey) {
    bool enlarging = m_width > source.m_width || m_height > source.m_height;
    method = MethodForOneBit(method, toGrey, enlarging);
    if (toGrey) {
        uint32_t zeroIsBlack = source.m_palette[0].rgbRed == 0 ? 1 : 0;
        pic_ResizeImage1To8Gray(source.GetPixels(), (uint32_t)source.m_width, (uint32_t)source.m_height,
                                source.GetRowBytes(), GetPixels(), (uint32_t)m_width, (uint32_t)m_height,
                                GetRowBytes(), (uint32_t)method, zeroIsBlack);
        return pic_GetLastError();
    }
    uint32_t threshold = 192;
    if (!enlarging) {
        uint32_t counts[2] = {0, 0};
        // Mostly 0 bits: a lower threshold keeps the few 1 bits visible.
        if (pic_GetOneBitHistogram(source.GetPixels(), (uint32_t)source.m_width, (uint32_t)source.m_height,
                                   source.GetRowBytes(), counts, 0) &&
            counts[1] < counts[0])
            threshold = 64;
    }
    pic_ResizeImage1(source.GetPixels(), (uint32_t)source.m_width, (uint32_t)source.m_height, source.GetRowBytes(),
                     GetPixels(), (uint32_t)m_width, (uint32_t)m_height, GetRowBytes(), threshold, (uint32_t)method, 0);
    return pic_GetLastError();
}

int32_t CPicImageEx::ResizePixelsFrom(const CPicImageEx& source, int32_t method, bool toGrey) {
    bool enlarging = m_width > source.m_width || m_height > source.m_height;
    switch (source.m_bitsPerPixel) {
    case 1: return ResizeOneBitFrom(source, method, toGrey);
    case 8:
        pic_ResizeImage8(source.GetPixels(), (uint32_t)source.m_width, (uint32_t)source.m_height,
                         source.GetRowBytes(), GetPixels(), (uint32_t)m_width, (uint32_t)m_height, GetRowBytes(),
                         source.m_palette, (uint32_t)source.m_paletteCount, (uint32_t)MethodForIndices(method, enlarging),
                         0);
        return pic_GetLastError();
    case 24:
    case 32:
        method = MethodForColour(method, source.m_bitsPerPixel, enlarging);
        if (method == PIC_RESIZE_TWO_PASS) {
            C2PassScale<CBilinearFilter, CDataRGB_UBYTE> scaler;
            bool done = scaler.Scale(source.GetPixels(), (uint32_t)source.m_width, (uint32_t)source.m_height,
                                     GetPixels(), (uint32_t)m_width, (uint32_t)m_height) != nullptr;
            return done ? PIC_ERR_OK : PIC_ERR_OUT_OF_MEMORY;
        }
        pic_ResizeImage(source.GetPixels(), (uint32_t)source.m_width, (uint32_t)source.m_height,
                        source.GetRowBytes(), GetPixels(), (uint32_t)m_width, (uint32_t)m_height, GetRowBytes(),
                        (uint32_t)source.m_bitsPerPixel / 8, (uint32_t)method, 0);
        return pic_GetLastError();
    default: return PIC_ERR_BIT_DEPTH;
    }
}

int32_t CPicImageEx::ResizeFrom(const CPicImageEx& source, int32_t width, int32_t height, int32_t method,
                                bool toGrey) {
    if (!source.IsValid() || this == &source) return PIC_ERR_BAD_PARAM;
    if (width == source.m_width && height == source.m_height) return CopyFrom(source);
    int32_t bits = toGrey && source.m_bitsPerPixel == 1 ? 8 : source.m_bitsPerPixel;
    int32_t code = Allocate(width, height, bits);
    if (code != PIC_ERR_OK) {
        Free();
        return code;
    }
    code = ResizePixelsFrom(source, method, toGrey);
    if (code != PIC_ERR_OK) return code;
    if (toGrey && source.m_bitsPerPixel == 1) {
        SetGrayPalette();
    } else {
        memcpy(m_palette, source.m_palette, sizeof m_palette);
        m_paletteCount = source.m_paletteCount;
    }
    m_fileType = source.m_fileType;
    m_xResolution = (double)(uint32_t)source.m_xResolution;
    m_yResolution = (double)(uint32_t)source.m_yResolution;
    m_resolutionUnit = source.m_resolutionUnit;
    return PIC_ERR_OK;
}

int32_t CPicImageEx::Resize(SIZE size, int32_t method, bool toGrey) {
    if (!IsValid()) return PIC_ERR_BAD_PARAM;
    CPicImageEx resized;
    int32_t code = resized.ResizeFrom(*this, size.cx, size.cy, method, toGrey);
    if (code == PIC_ERR_OK) MoveFrom(resized);
    return code;
}

int32_t CPicImageEx::CreateResizedRGB(SIZE size, const CPicImageEx& source, int32_t method) {
    if (this == &source) return PIC_ERR_BAD_PARAM;
    int32_t code = Create(size.cx, size.cy, 24);
    if (code != PIC_ERR_OK) return code;
    if (!source.IsValid()) return PIC_ERR_BAD_PARAM;
    // Other depths would be read as 3-byte pixels past the rows' end.
    if (source.m_bitsPerPixel != 24) return PIC_ERR_BIT_DEPTH;
    pic_ResizeImage(source.GetPixels(), (uint32_t)source.m_width, (uint32_t)source.m_height, source.GetRowBytes(),
                    GetPixels(), (uint32_t)m_width, (uint32_t)m_height, GetRowBytes(), 3, (uint32_t)method, 0);
    return pic_GetLastError();
}

int32_t CPicImageEx::CorrectNonSquarePixels() {
    if (!IsValid() || m_xResolution == m_yResolution || m_xResolution == 0) return PIC_ERR_OK;
    double ratio = m_yResolution / m_xResolution;
    // Ratios beyond 1/8 to 8 are damaged headers rather than real pixels.
    if (!(ratio >= 0.125 && ratio <= 8.0) || std::fabs(1.0 - ratio) <= 0.25) return PIC_ERR_OK;
    double height = (double)(uint32_t)(m_height / ratio);
    if (height < 1 || height > INT32_MAX) return PIC_ERR_OK;
    CPicImageEx stretched;
    int32_t code = stretched.ResizeFrom(*this, m_width, (int32_t)height, PIC_RESIZE_BOX, false);
    if (code == PIC_ERR_OK) MoveFrom(stretched);
    return code;
}

int32_t CPicImageEx::Fill(COLORREF colour) {
    if (!IsValid()) return PIC_ERR_BAD_PARAM;
    RECT whole = {0, 0, m_width, m_height};
    switch (m_bitsPerPixel) {
    case 1:
        pic_FillSolidRect1Bit(GetPixels(), (uint32_t)m_width, (uint32_t)m_height, GetRowBytes(), &whole, colour & 0xFF);
        break;
    case 8: {
        HGLOBAL matcher = pic_CreateColorMatcher(m_palette, (uint32_t)std::min(std::max(m_paletteCount, 1), 256));
        int32_t index = pic_FindClosestColor(matcher, GetRValue(colour), GetGValue(colour), GetBValue(colour));
        pic_DestroyColorMatcher(matcher);
        pic_FillSolidRect(GetPixels(), (uint32_t)m_width, (uint32_t)m_height, 1, GetRowBytes(), &whole,
                          (uint32_t)std::max(index, 0), 0);
        break;
    }
    case 24:
    case 32:
        pic_FillSolidRect(GetPixels(), (uint32_t)m_width, (uint32_t)m_height, (uint32_t)m_bitsPerPixel / 8,
                          GetRowBytes(), &whole, colour, 0);
        break;
    default: return PIC_ERR_BIT_DEPTH;
    }
    return pic_GetLastError();
}
