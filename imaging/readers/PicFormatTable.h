// The one table through which the generic reader and the image object reach
// a format's reader. Formats whose readers are not built yet have no calls:
// asking them for pixels answers "unsupported" (17); filling in their row
// changes nothing else.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/readers/PicIO.h"

enum PicReaderId : int32_t {
    PIC_READER_JPEG = 0,
    PIC_READER_BMP = 1,
    PIC_READER_GIF = 2,
    PIC_READER_PCX = 3,
    PIC_READER_PNG = 4,
    PIC_READER_TIFF = 5,
    PIC_READER_TGA = 6,
    PIC_READER_WMF = 7,
    PIC_READER_EMF = 8,
    PIC_READER_PSD = 9,
    PIC_READER_WBMP = 10,
    PIC_READER_TLA = 11,
    PIC_READER_TLA_PASSWORD = 12,
    PIC_READER_PCD = 13,
    PIC_READER_PBM = 14,
    PIC_READER_PGM = 15,
    PIC_READER_PPM = 16,
    PIC_READER_UNKNOWN = 17,
    PIC_READER_COUNT = 18,
};

// What a header says, as far as the callers of the table need it.
struct CPicProbe {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bitsPerPixel = 0;  // per pixel as the format reports it
    int32_t bitDepth = 0;      // per sample (PNG)
    int32_t colourType = 0;    // PNG colour type, PSD colour mode
    double xResolution = 0;
    double yResolution = 0;
    int32_t resolutionUnit = 0;
};

struct CPicFormatEntry {
    int32_t readerId;
    int32_t guessedType;  // of file-type detection; -1: none
    const char* traceName;
    // The header's values; null: the format is not probed.
    BOOL(WINAPI* probe)(CPicIO* source, CPicProbe* out);
    // Pixels at a depth with a palette for indexed depths, with reader flags;
    // null: the format's reader is not built (17).
    void*(WINAPI* read)(CPicIO* source, int32_t* width, int32_t* height, int32_t depth, RGBQUAD* palette,
                  uint32_t flags);
    // The colour table and its count; null: none.
    BOOL(WINAPI* palette)(CPicIO* source, int32_t* count, RGBQUAD* palette);
};

const CPicFormatEntry& PicFormat(int32_t readerId);
// The reader for a guessed type, or PIC_READER_UNKNOWN.
int32_t PicReaderForGuessedType(int32_t guessedType);
// The reader for the text from the last "." of a name, or PIC_READER_UNKNOWN.
int32_t PicReaderForExtension(const char* name);
