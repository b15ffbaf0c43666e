#include "imaging/readers/PicTiffReader.h"

#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicTiffDecode.h"
#include "imaging/readers/PicTiffPage.h"

namespace {

// The page open for one call, closed on every way out.
class CPageScope {
public:
    CPageScope(CPicReaderContext& context, CPicIO* source, int32_t page, uint32_t flags) {
        int32_t code = PIC_ERR_OK;
        m_page = OpenTiffPage(source, page, flags, &code);
        if (m_page == nullptr) context.Fail(code);
    }
    ~CPageScope() { CloseTiffPage(m_page); }
    CPageScope(const CPageScope&) = delete;
    CPageScope& operator=(const CPageScope&) = delete;
    TiffPage* get() const { return m_page; }

private:
    TiffPage* m_page = nullptr;
};

bool DepthAccepted(int32_t depth) {
    switch (depth) {
    case 1: case 8: case 16: case 24: case 32: case 48: case 64: case 96: return true;
    default: return false;
    }
}

}  // namespace

BOOL WINAPI pic_GetTIFFDims(CPicIO* source, int32_t page, int32_t* width, int32_t* height, int32_t* bitsPerPixel,
                            PicResolutionInfo* resolution, void*) {
    return PicReaderEntry("pic_GetTIFFDims", FALSE, source, [&](CPicReaderContext& context) -> BOOL {
        if (width == nullptr || height == nullptr || bitsPerPixel == nullptr) return context.Fail(PIC_ERR_BAD_PARAM);
        CPageScope scope(context, source, page, 0);
        if (scope.get() == nullptr) return FALSE;
        TIFF* tiff = scope.get()->tiff;
        TiffPageTags tags = TiffReadTags(tiff);
        *width = (int32_t)tags.width;
        *height = (int32_t)tags.height;
        *bitsPerPixel = (int32_t)tags.bits * tags.samples;
        if (resolution != nullptr) {
            float x = 0, y = 0;
            uint16_t unit = 0;
            TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &x);
            TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &y);
            TIFFGetField(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
            *resolution = {(double)(int64_t)x, (double)(int64_t)y, unit};
        }
        return TRUE;
    });
}

void* WINAPI pic_ReadTIFF(CPicIO* source, int32_t* width, int32_t* height, int32_t bitDepth, RGBQUAD* palette,
                          int32_t page, uint32_t flags) {
    return PicReaderEntry("pic_ReadTIFF", (void*)nullptr, source, [&](CPicReaderContext& context) -> void* {
        bool dib = (flags & PIC_TIFF_DIB) != 0;
        if (!dib && !DepthAccepted(bitDepth)) return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
        if (!dib && (bitDepth == 1 || bitDepth == 8) && palette == nullptr)
            return context.Fail(PIC_ERR_BAD_PARAM), nullptr;
        CPageScope scope(context, source, page, flags);
        if (scope.get() == nullptr) return nullptr;
        TiffPage& open = *scope.get();
        int32_t depth = dib ? TiffDibDepth(TiffReadTags(open.tiff)) : bitDepth;
        open.depth = depth;
        TiffReadContext* read = TiffContextOf(open.tiff);
        read->forcedAlphaMode = GetThreadState()->tiffAlpha;
        read->keepCMYK = depth == 32 && (flags & PIC_TIFF_KEEP_CMYK) != 0;
        int32_t ignored = 0;
        return TiffDecodePage(context, open, depth, dib ? nullptr : palette, width != nullptr ? width : &ignored,
                              height != nullptr ? height : &ignored);
    });
}
