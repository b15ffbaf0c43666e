#include "imaging/readers/PicFormatTable.h"

#include "imaging/core/PicResult.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicBmpReader.h"
#include "imaging/readers/PicFileType.h"
#include "imaging/readers/PicGifReader.h"
#include "imaging/readers/PicJpegReader.h"
#include "imaging/readers/PicPcxReader.h"
#include "imaging/readers/PicPngReader.h"
#include "imaging/readers/PicTlaReader.h"
#include "imaging/readers/PicPnmReader.h"
#include "imaging/readers/PicTgaReader.h"
#include "imaging/readers/PicWbmpReader.h"

namespace {

void TakeResolution(CPicProbe* out, const PicResolutionInfo& resolution) {
    out->xResolution = resolution.x;
    out->yResolution = resolution.y;
    out->resolutionUnit = resolution.unit;
}

BOOL WINAPI ProbeJpeg(CPicIO* source, CPicProbe* out) {
    PicResolutionInfo resolution = {0, 0, 0};
    BOOL ok = pic_GetJPGDims(source, &out->width, &out->height, &out->bitsPerPixel, nullptr, nullptr, &resolution,
                             nullptr);
    TakeResolution(out, resolution);
    return ok;
}

void* WINAPI ReadJpeg(CPicIO* source, int32_t* width, int32_t* height, int32_t depth, RGBQUAD*, uint32_t flags) {
    return pic_ReadJPG(source, width, height, depth, flags);
}

BOOL WINAPI ProbeBmp(CPicIO* source, CPicProbe* out) {
    PicResolutionInfo resolution = {0, 0, 0};
    BOOL ok = pic_GetBMPDims(source, &out->width, &out->height, &out->bitsPerPixel, &resolution, 0);
    TakeResolution(out, resolution);
    return ok;
}

BOOL WINAPI BmpPalette(CPicIO* source, int32_t* count, RGBQUAD* palette) { return pic_GetBMPPalette(source, count, palette, 0); }

BOOL WINAPI ProbePng(CPicIO* source, CPicProbe* out) {
    int32_t interlace, index, red, green, blue, grey;
    PicResolutionInfo resolution = {0, 0, 0};
    BOOL ok = pic_GetPNGDims(source, &out->width, &out->height, &out->bitDepth, &out->colourType, &interlace, &index,
                             &red, &green, &blue, &grey, &resolution, nullptr);
    TakeResolution(out, resolution);
    return ok;
}

BOOL WINAPI PngPalette(CPicIO* source, int32_t* count, RGBQUAD* palette) {
    return pic_GetPNGPalette(source, count, palette, nullptr);
}

BOOL WINAPI ProbeGif(CPicIO* source, CPicProbe* out) {
    int32_t background, transparent, interlaced;
    return pic_GetGIFDims(source, &out->width, &out->height, &out->bitsPerPixel, &background, &transparent, nullptr,
                          &interlaced, 0);
}

// GIF pixels are colour indices whatever depth is asked.
void* WINAPI ReadGif(CPicIO* source, int32_t* width, int32_t* height, int32_t, RGBQUAD* palette, uint32_t flags) {
    return pic_ReadGIF(source, width, height, nullptr, palette, flags);
}

BOOL WINAPI ProbeTla(CPicIO* source, CPicProbe* out) {
    return pic_GetTLADims_(source, &out->width, &out->height, &out->bitsPerPixel, nullptr, nullptr);
}

// Unprotected streams only: the generic reader has no password to give.
void* WINAPI ReadTla(CPicIO* source, int32_t* width, int32_t* height, int32_t depth, RGBQUAD*, uint32_t flags) {
    return pic_ReadTLA(source, width, height, "", depth / 8, nullptr, flags & PIC_READ_DIB);
}

BOOL WINAPI ProbePcx(CPicIO* source, CPicProbe* out) {
    PicResolutionInfo resolution = {0, 0, 0};
    BOOL ok = pic_GetPCXDims(source, &out->width, &out->height, &out->bitsPerPixel, &resolution, 0);
    TakeResolution(out, resolution);
    return ok;
}

BOOL WINAPI PcxPalette(CPicIO* source, int32_t* count, RGBQUAD* palette) { return pic_GetPCXPalette(source, count, palette, 0); }

BOOL WINAPI ProbeTga(CPicIO* source, CPicProbe* out) {
    return pic_GetTGADims(source, &out->width, &out->height, &out->bitsPerPixel, 0);
}

BOOL WINAPI TgaPalette(CPicIO* source, int32_t* count, RGBQUAD* palette) { return pic_GetTGAPalette(source, count, palette, 0); }

BOOL WINAPI ProbeWbmp(CPicIO* source, CPicProbe* out) {
    out->bitsPerPixel = 1;
    return pic_GetWBMPDims(source, &out->width, &out->height, 0);
}

// WBMP pixels are one byte each (0 black, 1 white) at any depth but 1.
void* WINAPI ReadWbmp(CPicIO* source, int32_t* width, int32_t* height, int32_t depth, RGBQUAD* palette,
                      uint32_t flags) {
    return pic_ReadWBMP(source, width, height, palette, depth, flags);
}

// The header's depth: 1 for bitmaps, 8 for greymaps, 24 for pixmaps.
BOOL WINAPI ProbePnm(CPicIO* source, CPicProbe* out) {
    int32_t maxval = 0, format = 0;
    BOOL ok = pic_GetPNMDims(source, &out->width, &out->height, &maxval, &format, 0);
    out->colourType = format;
    out->bitsPerPixel = format == 0x5031 || format == 0x5034 ? 1 : format == 0x5032 || format == 0x5035 ? 8 : 24;
    return ok;
}

// Bitmaps come with black and white as entries 0 and 1, greymaps with the grey ramp.
void* WINAPI ReadPnm(CPicIO* source, int32_t* width, int32_t* height, int32_t depth, RGBQUAD* palette,
                     uint32_t flags) {
    void* pixels = pic_ReadPNM(source, width, height, depth, flags);
    if (palette != nullptr && (flags & PIC_READ_DIB) == 0) {
        for (int i = 0; i < 256; ++i) palette[i] = {(BYTE)i, (BYTE)i, (BYTE)i, 0};
        if (depth == 1) palette[1] = {255, 255, 255, 0};
    }
    return pixels;
}

const CPicFormatEntry kFormats[PIC_READER_COUNT] = {
    {PIC_READER_JPEG, PIC_FT_JPEG, "JPG", ProbeJpeg, ReadJpeg, nullptr},
    {PIC_READER_BMP, PIC_FT_BMP, "BMP", ProbeBmp, pic_ReadBMP, BmpPalette},
    {PIC_READER_GIF, PIC_FT_GIF, "GIF", ProbeGif, ReadGif, nullptr},
    {PIC_READER_PCX, PIC_FT_PCX, "PCX", ProbePcx, pic_ReadPCX, PcxPalette},
    {PIC_READER_PNG, PIC_FT_PNG, "PNG", ProbePng, pic_ReadPNG, PngPalette},
    {PIC_READER_TIFF, PIC_FT_TIFF, "TIFF", nullptr, nullptr, nullptr},
    {PIC_READER_TGA, PIC_FT_TGA, "TGA", ProbeTga, pic_ReadTGA, TgaPalette},
    {PIC_READER_WMF, PIC_FT_WMF, "WMF", nullptr, nullptr, nullptr},
    {PIC_READER_EMF, PIC_FT_EMF, "EMF", nullptr, nullptr, nullptr},
    {PIC_READER_PSD, PIC_FT_PSD, "PSD", nullptr, nullptr, nullptr},
    {PIC_READER_WBMP, PIC_FT_WBMP, "WBMP", ProbeWbmp, ReadWbmp, nullptr},
    {PIC_READER_TLA, PIC_FT_TLAU, "TLAU", ProbeTla, ReadTla, nullptr},
    {PIC_READER_TLA_PASSWORD, PIC_FT_TLA, "TLA", nullptr, nullptr, nullptr},
    {PIC_READER_PCD, PIC_FT_PCD, "PCD", nullptr, nullptr, nullptr},
    {PIC_READER_PBM, PIC_FT_PBM, "PBM", ProbePnm, ReadPnm, nullptr},
    {PIC_READER_PGM, PIC_FT_PGM, "PGM", ProbePnm, ReadPnm, nullptr},
    {PIC_READER_PPM, PIC_FT_PPM, "PPM", ProbePnm, ReadPnm, nullptr},
    {PIC_READER_UNKNOWN, -1, "unknown", nullptr, nullptr, nullptr},
};

struct ExtensionReader {
    const char* extension;
    int32_t readerId;
};
// In the order they are compared.
const ExtensionReader kExtensions[] = {
    {".bmp", PIC_READER_BMP},   {".wbmp", PIC_READER_WBMP}, {".wbm", PIC_READER_WBMP}, {".pcd", PIC_READER_PCD},
    {".gif", PIC_READER_GIF},   {".tga", PIC_READER_TGA},   {".jpeg", PIC_READER_JPEG}, {".jpg", PIC_READER_JPEG},
    {".tif", PIC_READER_TIFF},  {".tiff", PIC_READER_TIFF}, {".pcx", PIC_READER_PCX},  {".psd", PIC_READER_PSD},
    {".tla", PIC_READER_TLA},   {".png", PIC_READER_PNG},   {".wmf", PIC_READER_WMF},  {".emf", PIC_READER_EMF},
    {".pbm", PIC_READER_PBM},   {".pgm", PIC_READER_PGM},   {".ppm", PIC_READER_PPM},
};

}  // namespace

const CPicFormatEntry& PicFormat(int32_t readerId) {
    if (readerId < 0 || readerId >= PIC_READER_COUNT) return kFormats[PIC_READER_UNKNOWN];
    return kFormats[readerId];
}

int32_t PicReaderForGuessedType(int32_t guessedType) {
    for (const CPicFormatEntry& entry : kFormats)
        if (entry.guessedType == guessedType && guessedType > 0) return entry.readerId;
    return PIC_READER_UNKNOWN;
}

int32_t PicReaderForExtension(const char* name) {
    const char* extension = PicExtensionOf(name);
    for (const ExtensionReader& e : kExtensions)
        if (lstrcmpiA(extension, e.extension) == 0) return e.readerId;
    return PIC_READER_UNKNOWN;
}
