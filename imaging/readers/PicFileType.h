// Naming the format of an open source from its first bytes, and where those
// say nothing, from the name's extension, a Targa footer and a Photo CD
// signature.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/readers/PicIO.h"
#include "imaging/readers/PicReaderFrame.h"

enum PicGuessedType : int32_t {
    PIC_FT_NONE = 0,
    PIC_FT_BMP = 1,
    PIC_FT_GIF = 2,
    PIC_FT_JPEG = 3,
    PIC_FT_PNG = 4,
    PIC_FT_PCX = 5,
    PIC_FT_TIFF = 6,
    PIC_FT_WMF = 7,
    PIC_FT_EMF = 8,
    PIC_FT_PAX = 9,
    PIC_FT_PSD = 10,
    PIC_FT_TLA = 11,
    PIC_FT_TLAU = 12,
    PIC_FT_WBMP = 13,
    PIC_FT_TGA = 14,
    PIC_FT_PCD_OVERVIEW = 15,
    PIC_FT_PCD = 16,
    PIC_FT_JP2 = 17,
    PIC_FT_J2K_AT4 = 18,
    PIC_FT_COMPOUND = 19,
    PIC_FT_PBM = 20,
    PIC_FT_PGM = 21,
    PIC_FT_PPM = 22,
    PIC_FT_CALS = 23,
    PIC_FT_ICO = 24,
};

// The guessed type of the source from its current position (callers seek
// to the start first); 0 when unknown. Reports 0 before looking (5 for a null source).
int32_t WINAPI pic_GuessFileType(CPicIO* source);

// The whole guess without the entry point's report.
int32_t GuessFormatByMagic(CPicReaderContext& context, CPicIO& source);
// The hint of a file source's extension: 13, 14, 16, 23, 24 or 0.
int32_t GuessFormatByExtensionHint(CPicIO& source);
// The text from the last "." of a narrow name, or empty.
const char* PicExtensionOf(const char* name);
