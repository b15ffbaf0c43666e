#include "imaging/readers/PicMetafileReader.h"

#include <cstring>

#include "framework/base/WipedMemory.h"
#include "imaging/core/PicConvert.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicSizes.h"
#include "imaging/readers/PicDibBuilder.h"
#include "imaging/readers/PicIOFile.h"

namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr uint32_t kPlaceableHeaderSize = 22;

uint32_t Le32(const uint8_t* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
int16_t Le16s(const uint8_t* p) { return (int16_t)(p[0] | p[1] << 8); }

struct Placeable {
    bool present = false;
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    uint32_t unitsPerInch = 0;
    // Width and height in hundredths of a millimetre.
    uint32_t ExtentX() const { return (uint32_t)(right - left) * 2540u / unitsPerInch; }
    uint32_t ExtentY() const { return (uint32_t)(bottom - top) * 2540u / unitsPerInch; }
};

// The placeable header: units per inch 0 or an edge before its opposite is
// no picture (it would divide by zero or give a size from garbage).
bool ReadPlaceable(CPicReaderContext& context, const uint8_t* bytes, uint64_t size, Placeable& placeable) {
    if (size < kPlaceableHeaderSize || Le32(bytes) != kPlaceableKey) return true;
    placeable.present = true;
    placeable.left = Le16s(bytes + 6);
    placeable.top = Le16s(bytes + 8);
    placeable.right = Le16s(bytes + 10);
    placeable.bottom = Le16s(bytes + 12);
    placeable.unitsPerInch = (uint32_t)(bytes[14] | bytes[15] << 8);
    if (placeable.unitsPerInch == 0 || placeable.right <= placeable.left || placeable.bottom <= placeable.top)
        return context.Fail(PIC_ERR_BAD_METAFILE);
    return true;
}

bool IsEnhanced(const uint8_t* bytes, uint64_t size) {
    return size >= 44 && Le32(bytes) == EMR_HEADER && memcmp(bytes + 40, " EMF", 4) == 0;
}

// The record chain of an enhanced metafile: every record at least 8 bytes,
// whole words, inside the bytes the header counts and the data holds.
bool EnhancedRecordsFit(const uint8_t* bytes, uint64_t size) {
    if (size < 88) return false;
    uint64_t total = Le32(bytes + 48);
    if (total > size || total < 88) return false;
    for (uint64_t at = 0; at + 8 <= total;) {
        uint32_t type = Le32(bytes + at), length = Le32(bytes + at + 4);
        if (length < 8 || length % 4 != 0 || at + length > total) return false;
        if (type == EMR_EOF) return true;
        at += length;
    }
    return true;
}

// The records of an old-style metafile: the 18-byte header, then records
// of at least 3 words inside the words the header counts and the data holds.
// A record of no size would have the system's player go round for ever.
bool OldStyleRecordsFit(const uint8_t* bytes, uint64_t size) {
    if (size < 18) return false;
    uint32_t type = (uint32_t)(bytes[0] | bytes[1] << 8), headerWords = (uint32_t)(bytes[2] | bytes[3] << 8);
    uint64_t total = 2ull * Le32(bytes + 6);
    if ((type != 1 && type != 2) || headerWords != 9 || total > size || total < 18) return false;
    for (uint64_t at = 18; at + 6 <= total;) {
        uint64_t length = 2ull * Le32(bytes + at);
        uint32_t function = (uint32_t)(bytes[at + 4] | bytes[at + 5] << 8);
        if (length < 6 || at + length > total) return false;
        if (function == 0) return true;
        at += length;
    }
    return true;
}

// Whether the bytes are a metafile whose records the system can walk.
bool RecordsFit(CPicReaderContext& context, const WipedBytes& bytes) {
    const uint8_t* b = bytes.data();
    uint64_t size = bytes.size();
    bool fit = IsEnhanced(b, size) ? EnhancedRecordsFit(b, size)
               : size >= kPlaceableHeaderSize && Le32(b) == kPlaceableKey
                   ? OldStyleRecordsFit(b + kPlaceableHeaderSize, size - kPlaceableHeaderSize)
                   : OldStyleRecordsFit(b, size);
    return fit || context.Fail(PIC_ERR_BAD_METAFILE);
}

// An enhanced-metafile handle from a file's or a source's bytes.
HENHMETAFILE FromBytes(CPicReaderContext& context, const WipedBytes& bytes, int32_t W, int32_t H,
                       bool oldStyleKnown, Placeable& placeable) {
    if (bytes.empty()) return context.Fail(PIC_ERR_BAD_METAFILE), nullptr;
    if (IsEnhanced(bytes.data(), bytes.size())) {
        HENHMETAFILE emf = SetEnhMetaFileBits((UINT)bytes.size(), bytes.data());
        if (emf == nullptr) context.Fail(PIC_ERR_BAD_METAFILE);
        return emf;
    }
    if (!ReadPlaceable(context, bytes.data(), bytes.size(), placeable)) return nullptr;
    METAFILEPICT picture = {MM_ANISOTROPIC, W, H, nullptr};
    uint64_t offset = 0;
    if (placeable.present) {
        picture.xExt = (LONG)placeable.ExtentX();
        picture.yExt = (LONG)placeable.ExtentY();
        offset = kPlaceableHeaderSize;
    } else if (oldStyleKnown) {
        picture.xExt = picture.yExt = 0;
    }
    HDC reference = CreateCompatibleDC(nullptr);
    HENHMETAFILE emf = SetWinMetaFileBits((UINT)(bytes.size() - offset), bytes.data() + offset, reference, &picture);
    if (reference != nullptr) DeleteDC(reference);
    if (emf == nullptr) {
        PicTrace("SetWinMetaFileBits failed GetLastError = %d\n", (int)GetLastError());
        context.Fail(PIC_ERR_WIN_METAFILE_BITS);
    }
    return emf;
}

bool ReadAll(CPicReaderContext& context, CPicIO& source, WipedBytes& bytes) {
    uint64_t size = source.BytesLeft();
    if (size == 0) return context.Fail(PIC_ERR_BAD_METAFILE);
    if (!PicBlockSizeAllowed(size)) return context.Fail(PIC_ERR_OUT_OF_MEMORY);
    bytes.assign((size_t)size, 0);
    return source.ReadExact(bytes.data(), (uint32_t)size) || context.Fail(PIC_ERR_FILE_READ);
}

// An old-style metafile that the system loads by its name: its bits,
// converted with extents 0 x 0.
HENHMETAFILE FromOldStyleFile(CPicReaderContext& context, HMETAFILE old) {
    UINT size = GetMetaFileBitsEx(old, 0, nullptr);
    if (size == 0) return context.Fail(PIC_ERR_BAD_METAFILE), nullptr;
    WipedBytes bits(size, 0);
    if (GetMetaFileBitsEx(old, size, bits.data()) != size) return context.Fail(PIC_ERR_BAD_METAFILE), nullptr;
    METAFILEPICT picture = {MM_ANISOTROPIC, 0, 0, nullptr};
    HDC reference = CreateCompatibleDC(nullptr);
    HENHMETAFILE emf = SetWinMetaFileBits(size, bits.data(), reference, &picture);
    if (reference != nullptr) DeleteDC(reference);
    if (emf == nullptr) context.Fail(PIC_ERR_BAD_METAFILE);
    return emf;
}

// The rendered size in pixels; 27 for a size that is zero, negative or
// beyond kPicMetafileMaxSide (damaged frames, millimetres of 0).
bool ChooseSize(CPicReaderContext& context, HENHMETAFILE emf, HDC dc, const Placeable& placeable, int32_t W,
                int32_t H, uint32_t flags, int64_t& width, int64_t& height) {
    ENHMETAHEADER header = {};
    if (GetEnhMetaFileHeader(emf, sizeof header, &header) == 0) return context.Fail(PIC_ERR_BAD_METAFILE);
    if (flags & PIC_METAFILE_FIXED_SIZE) {
        width = W;
        height = H;
    } else if (placeable.present) {
        double dpiX = GetDeviceCaps(dc, LOGPIXELSX), dpiY = GetDeviceCaps(dc, LOGPIXELSY);
        width = (int64_t)(dpiX * (placeable.ExtentX() / 2540.1));
        height = (int64_t)((placeable.ExtentY() / 2540.1) * dpiY);
    } else {
        if (header.szlMillimeters.cx <= 0 || header.szlMillimeters.cy <= 0) return context.Fail(PIC_ERR_BAD_METAFILE);
        double perX = header.szlDevice.cx / (100.0 * header.szlMillimeters.cx);
        double perY = header.szlDevice.cy / (100.0 * header.szlMillimeters.cy);
        const RECTL& f = header.rclFrame;
        width = (int64_t)((float)f.right * perX) - (int64_t)((float)f.left * perX);
        height = (int64_t)((float)f.bottom * perY) - (int64_t)((float)f.top * perY);
    }
    if (flags & PIC_METAFILE_MULTIPLY) {
        width *= (uint32_t)W / 100;
        height *= (uint32_t)H / 100;
    }
    if (width <= 0 || height <= 0 || width > kPicMetafileMaxSide || height > kPicMetafileMaxSide)
        return context.Fail(PIC_ERR_BAD_METAFILE);
    return PicCheckDeclaredImage(context, (uint64_t)width, (uint64_t)height, 3ull * width * height,
                                 PIC_ERR_BAD_METAFILE);
}

// Plays the metafile over the background into a 24-bit DIB section and
// hands out its rows; the section is wiped before it is deleted.
void* Render(CPicReaderContext& context, HENHMETAFILE emf, const Placeable& placeable, int32_t* outWidth,
             int32_t* outHeight, int32_t W, int32_t H, COLORREF background, uint32_t flags) {
    CPicProgress progress;
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) return context.Fail(PIC_ERR_DC), nullptr;
    int64_t width = 0, height = 0;
    void* result = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    uint8_t* bits = nullptr;
    uint64_t stride = 0;
    do {
        if (!ChooseSize(context, emf, dc, placeable, W, H, flags, width, height)) break;
        if (!PicReportRow(context, progress, 1, 4)) break;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = (LONG)width;
        info.bmiHeader.biHeight = -(LONG)height;  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        void* sectionBits = nullptr;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &sectionBits, nullptr, 0);
        if (bitmap == nullptr || sectionBits == nullptr) {
            context.Fail(PIC_ERR_CREATE_BITMAP);
            break;
        }
        bits = static_cast<uint8_t*>(sectionBits);
        stride = PicDIBRowBytes((uint32_t)width, 24);
        previous = SelectObject(dc, bitmap);
        RECT whole = {0, 0, (LONG)width, (LONG)height};
        HBRUSH brush = CreateSolidBrush(background);
        if (brush == nullptr) {
            context.Fail(PIC_ERR_BRUSH);
            break;
        }
        FillRect(dc, &whole, brush);
        DeleteObject(brush);
        if (!PicReportRow(context, progress, 2, 4)) break;
        PlayEnhMetaFile(dc, emf, &whole);
        GdiFlush();
        if (!PicReportRow(context, progress, 3, 4)) break;
        CPicReaderOutput output;
        uint32_t w = (uint32_t)width, h = (uint32_t)height;
        if (flags & PIC_METAFILE_DIB) {
            if (!output.Allocate(context, PicDibBlockSize(w, h, 24, 0))) break;
            PicWriteDibHeader(output.Data(), w, h, 24, 0, nullptr);
            uint8_t* rows = output.Data() + sizeof(BITMAPINFOHEADER);
            for (uint32_t y = 0; y < h; ++y) memcpy(rows + (h - 1 - y) * stride, bits + y * stride, (size_t)stride);
        } else {
            if (!output.Allocate(context, 3ull * w * h)) break;
            for (uint32_t y = 0; y < h; ++y) CopySwapRB24(bits + y * stride, output.Data() + 3ull * w * y, w);
        }
        *outWidth = (int32_t)w;
        *outHeight = (int32_t)h;
        result = output.HandOver();
    } while (false);
    if (previous != nullptr) SelectObject(dc, previous);
    if (bits != nullptr) WipeBytes(bits, (size_t)(stride * (uint64_t)height));
    if (bitmap != nullptr) DeleteObject(bitmap);
    DeleteDC(dc);
    return result;
}

void* ReadByName(CPicReaderContext& context, const char* name, int32_t* width, int32_t* height, int32_t W,
                 int32_t H, COLORREF background, uint32_t flags) {
    if (name == nullptr) return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
    CPicProgress progress;
    if (!PicReportRow(context, progress, 0, 4)) return nullptr;
    if (GetFileAttributesA(name) == INVALID_FILE_ATTRIBUTES) return context.Fail(PIC_ERR_FILE_OPEN), nullptr;
    Placeable placeable;
    HENHMETAFILE emf = nullptr;
    CPicIO_File file;
    if (!file.Open(name)) return context.Fail(PIC_ERR_FILE_OPEN), nullptr;
    WipedBytes bytes;
    if (!ReadAll(context, file, bytes) || !RecordsFit(context, bytes)) return nullptr;
    file.Close();
    // A placeable file goes by its own header, which the system's loaders
    // would not size by.
    bool keyed = Le32(bytes.data()) == kPlaceableKey;
    if (!keyed) emf = GetEnhMetaFileA(name);
    if (emf == nullptr && !keyed) {
        if (HMETAFILE old = GetMetaFileA(name)) {
            emf = FromOldStyleFile(context, old);
            DeleteMetaFile(old);
            if (emf == nullptr) return nullptr;
        }
    }
    if (emf == nullptr) {
        emf = FromBytes(context, bytes, W, H, false, placeable);
        if (emf == nullptr) return nullptr;
    }
    void* result = Render(context, emf, placeable, width, height, W, H, background, flags);
    DeleteEnhMetaFile(emf);
    return result;
}

}  // namespace

void* WINAPI pic_ReadMetafile(const char* name, int32_t* width, int32_t* height, int32_t W, int32_t H,
                              COLORREF background, uint32_t flags) {
    if (GetThreadState() == nullptr) return nullptr;
    int32_t ignored = 0;
    if (width == nullptr) width = &ignored;
    if (height == nullptr) height = &ignored;
    *width = *height = 0;
    CPicReaderContext context;
    void* result = nullptr;
    {
        CPicCallDepthGuard depth;
        try {
            result = ReadByName(context, name, width, height, W, H, background, flags);
        } catch (...) {
            context.Fail(PIC_ERR_OUT_OF_MEMORY);
            result = nullptr;
        }
    }
    ReportError(context.result, "pic_ReadMetafile", nullptr);
    return result;
}

void* WINAPI pic_ReadMetafileSource(CPicIO* source, int32_t* width, int32_t* height, int32_t W, int32_t H,
                                    COLORREF background, uint32_t flags) {
    return PicReaderEntry("pic_ReadMetafileSource", (void*)nullptr, source, [&](CPicReaderContext& context) -> void* {
        int32_t ignored = 0;
        if (width == nullptr) width = &ignored;
        if (height == nullptr) height = &ignored;
        *width = *height = 0;
        WipedBytes bytes;
        if (!source->Rewind() || !ReadAll(context, *source, bytes) || !RecordsFit(context, bytes)) return nullptr;
        Placeable placeable;
        HENHMETAFILE emf = FromBytes(context, bytes, W, H, true, placeable);
        if (emf == nullptr) return nullptr;
        void* result = Render(context, emf, placeable, width, height, W, H, background, flags);
        DeleteEnhMetaFile(emf);
        return result;
    });
}
